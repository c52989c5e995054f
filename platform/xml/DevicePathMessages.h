// Message classes of the device-path request: the request with its list of
// device paths of one mount path, the device path itself with its media-agent
// and credential objects, and the reply with its error object. Value types
// over CNMessageBase with no members of their own; each class states its
// numbers once, beside its class hash, and the registry
// (platform/xml/registry/devicepath.cpp) registers these very definitions.
//
// A field without a known ordinal has its tag as its ordinal (tags 16, 17 of
// a device path, both fields of the credential entity).
#pragma once

#include "platform/xml/CNMessageBase.h"
#include "platform/xml/ZqEntitiesMessages.h"
#include "platform/xml/Registry.h"

namespace EVGui {

// An id with a name (of a media agent, in a device path).
class IdName : public CNMessageBase {
 public:
  static constexpr const char* kName = "EVGui::IdName";
  static constexpr unsigned kNamespace = 13;
  static constexpr unsigned kClassNumber = 187;
  static constexpr unsigned kClassHash = 0x0D000003;
  static constexpr tkxml::FieldDef kId{1, 1, 3355, tkxml::FieldKind::Int64, "id"};
  static constexpr tkxml::FieldDef kIdName{2, 2, 3373707, tkxml::FieldKind::String, "id name"};
  IdName() : CNMessageBase(kNamespace, kClassNumber) {}
};

// The error of a reply: 0 success, -1 failure, or the code of the service.
class ErrorInfo : public CNMessageBase {
 public:
  static constexpr const char* kName = "EVGui::ErrorInfo";
  static constexpr unsigned kNamespace = 13;
  static constexpr unsigned kClassNumber = 171;
  static constexpr unsigned kClassHash = 0x0D000002;
  static constexpr tkxml::FieldDef kErrorCode{1, 1, 10268693, tkxml::FieldKind::Int64, "error code"};
  static constexpr tkxml::FieldDef kErrorText{2, 2, 13334585, tkxml::FieldKind::String, "error text"};
  ErrorInfo() : CNMessageBase(kNamespace, kClassNumber) {}
};

// One device path of a mount path: how one media agent reaches the device.
class MMDevicePathInfo : public CNMessageBase {
 public:
  static constexpr const char* kName = "EVGui::MMDevicePathInfo";
  static constexpr unsigned kNamespace = 13;
  static constexpr unsigned kClassNumber = 111;
  static constexpr unsigned kClassHash = 0x0DF8ECA9;
  static constexpr tkxml::FieldDef kDeviceId{1, 1, 1894929, tkxml::FieldKind::Int64, "device id"};
  static constexpr tkxml::FieldDef kDeviceControllerId{2, 2, 7444301, tkxml::FieldKind::Int64, "device-controller id"};
  static constexpr tkxml::FieldDef kMediaAgent{3, 3, 15937921, tkxml::FieldKind::Object, IdName::kNamespace,
                                               IdName::kClassNumber, "media agent"};
  static constexpr tkxml::FieldDef kFolder{4, 4, 3433509, tkxml::FieldKind::String, "folder"};
  static constexpr tkxml::FieldDef kUserName{8, 5, 1768694, tkxml::FieldKind::String, "user name"};
  static constexpr tkxml::FieldDef kPassword{12, 6, 9026203, tkxml::FieldKind::PString, "password"};
  static constexpr tkxml::FieldDef kAccessType{13, 7, 15623870, tkxml::FieldKind::Int64, "access type"};
  static constexpr tkxml::FieldDef kEnabled{16, 16, 1018689, tkxml::FieldKind::Int64, "enabled"};
  // 1 add, 2 change, 3 remove.
  static constexpr tkxml::FieldDef kOperation{17, 17, 12335291, tkxml::FieldKind::Int64, "operation"};
  static constexpr tkxml::FieldDef kProxyPassword{18, 12, 12688169, tkxml::FieldKind::PString, "proxy password"};
  static constexpr tkxml::FieldDef kAutoPickTransport{19, 13, 5276019, tkxml::FieldKind::Int64, "pick the transport automatically"};
  static constexpr tkxml::FieldDef kMaxDrivesToSwitch{20, 14, 7992314, tkxml::FieldKind::Int64, "drive-switch limit"};
  static constexpr tkxml::FieldDef kCredential{21, 15, 8451646, tkxml::FieldKind::Object,
                                               ZqEntities::CredentialEntity::kNamespace,
                                               ZqEntities::CredentialEntity::kClassNumber, "credential"};
  MMDevicePathInfo() : CNMessageBase(kNamespace, kClassNumber) {}
};

// The request: the device paths to add, change or remove, of one mount path.
// Its message id is its class hash.
class MMDevicePathInfoReq : public CNMessageBase {
 public:
  static constexpr const char* kName = "EVGui::MMDevicePathInfoReq";
  static constexpr unsigned kNamespace = 13;
  static constexpr unsigned kClassNumber = 812;
  static constexpr unsigned kClassHash = 0x0D9DA735;
  static constexpr tkxml::FieldDef kInfoList{1, 1, 9929324, tkxml::FieldKind::ObjectList,
                                             MMDevicePathInfo::kNamespace, MMDevicePathInfo::kClassNumber, "info list"};
  static constexpr tkxml::FieldDef kMountPathId{2, 2, 4128121, tkxml::FieldKind::Int64, "mount-path id"};
  MMDevicePathInfoReq() : CNMessageBase(kNamespace, kClassNumber) {}
};

// The reply.
class MMDevicePathInfoResp : public CNMessageBase {
 public:
  static constexpr const char* kName = "EVGui::MMDevicePathInfoResp";
  static constexpr unsigned kNamespace = 13;
  static constexpr unsigned kClassNumber = 673;
  static constexpr unsigned kClassHash = 0x0D174019;
  static constexpr tkxml::FieldDef kError{1, 1, 12898824, tkxml::FieldKind::Object, ErrorInfo::kNamespace,
                                          ErrorInfo::kClassNumber, "error"};
  MMDevicePathInfoResp() : CNMessageBase(kNamespace, kClassNumber) {}
};

}  // namespace EVGui
