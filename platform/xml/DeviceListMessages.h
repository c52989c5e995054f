// Message classes of the device-list configuration: the request naming a
// client's volumes, the response with one entry per configured device.
// Value types over CNMessageBase with no members of their own; each class
// states its numbers once, beside its class hash, and the registry
// (platform/xml/registry/devicelist.cpp) registers these very definitions.
// The message id of the request is its class hash. A volume of the request
// is an EVGui::IdName whose name is the volume's name.
#pragma once

#include "platform/xml/DevicePathMessages.h"
#include "platform/xml/Registry.h"

namespace EVGui {

class DKBFConfigureDevicesReq : public CNMessageBase {
 public:
  static constexpr const char* kName = "EVGui::DKBFConfigureDevicesReq";
  static constexpr unsigned kNamespace = 13;
  static constexpr unsigned kClassNumber = 858;
  static constexpr unsigned kClassHash = 0x0D00067E;
  static constexpr tkxml::FieldDef kClientId{1, 1, 2438726, tkxml::FieldKind::Int64, "client id"};
  static constexpr tkxml::FieldDef kAppType{2, 2, 12325083, tkxml::FieldKind::Int64, "app type"};
  static constexpr tkxml::FieldDef kVolumes{3, 3, 14953687, tkxml::FieldKind::ObjectList, IdName::kNamespace,
                                            IdName::kClassNumber, "volumes"};
  DKBFConfigureDevicesReq() : CNMessageBase(kNamespace, kClassNumber) {}
};

// One configured device.
class DKBFConfigureDeviceRespEntry : public CNMessageBase {
 public:
  static constexpr const char* kName = "EVGui::DKBFConfigureDeviceRespEntry";
  static constexpr unsigned kNamespace = 13;
  static constexpr unsigned kClassNumber = 234;
  static constexpr unsigned kClassHash = 0x0D00067F;
  static constexpr tkxml::FieldDef kValue{1, 1, 9277909, tkxml::FieldKind::Int64, "value"};
  static constexpr tkxml::FieldDef kOldName{2, 2, 6028876, tkxml::FieldKind::String, "old name"};
  static constexpr tkxml::FieldDef kChangedName{6, 3, 13313689, tkxml::FieldKind::String, "changed name"};
  static constexpr tkxml::FieldDef kErrorCode{10, 4, 10268693, tkxml::FieldKind::Int64, "error code"};
  static constexpr tkxml::FieldDef kErrorText{11, 5, 13334585, tkxml::FieldKind::String, "error text"};
  DKBFConfigureDeviceRespEntry() : CNMessageBase(kNamespace, kClassNumber) {}
};

class DKBFConfigureDevicesResponse : public CNMessageBase {
 public:
  static constexpr const char* kName = "EVGui::DKBFConfigureDevicesResponse";
  static constexpr unsigned kNamespace = 13;
  static constexpr unsigned kClassNumber = 152;
  static constexpr unsigned kClassHash = 0x0D000681;
  // 0, or kErrorDatabase when the central tables could not be brought in step.
  static constexpr tkxml::FieldDef kErrorCode{1, 1, 10268693, tkxml::FieldKind::Int64, "error code"};
  static constexpr tkxml::FieldDef kEntries{2, 2, 15149146, tkxml::FieldKind::ObjectList,
                                            DKBFConfigureDeviceRespEntry::kNamespace,
                                            DKBFConfigureDeviceRespEntry::kClassNumber, "entries"};
  static constexpr long long kErrorDatabase = 0x3900008B;
  DKBFConfigureDevicesResponse() : CNMessageBase(kNamespace, kClassNumber) {}
};

}  // namespace EVGui
