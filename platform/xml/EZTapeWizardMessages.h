// Messages of the tape-library setup wizard (namespace 1, ZQGui): the tape
// library and drive records the wizard lists, the listing request and
// response, and the requests that configure a library, its drives and the
// alias name of a library or drive (all answered by ZQGui::GenericResp but
// the listing). Value types over CNMessageBase with no members of their own;
// numbers stated once beside each class hash and registered by
// platform/xml/registry/eztapewizard.cpp.
//
// Numbers travel as 64-bit values; the handlers use the low 32 bits of all
// but the handles.
#pragma once

#include "platform/xml/CNMessageBase.h"
#include "platform/xml/Registry.h"

namespace ZQGui {

// An id with a name, as the wizard names media agents.
class IdName : public CNMessageBase {
 public:
  static constexpr const char* kName = "ZQGui::IdName";
  static constexpr unsigned kNamespace = 1;
  static constexpr unsigned kClassNumber = 50;
  static constexpr unsigned kClassHash = 0x01000003;
  using K = tkxml::FieldKind;
  static constexpr tkxml::FieldDef kId{1, 1, 3355, K::Int64, "id"};
  static constexpr tkxml::FieldDef kIdName{2, 2, 3373707, K::String, "id name"};
  IdName() : CNMessageBase(kNamespace, kClassNumber) {}
};

// One drive of a listed tape library.
class EZTapeDrive : public CNMessageBase {
 public:
  static constexpr const char* kName = "ZQGui::EZTapeDrive";
  static constexpr unsigned kNamespace = 1;
  static constexpr unsigned kClassNumber = 199;
  static constexpr unsigned kClassHash = 0x01000BBD;
  using K = tkxml::FieldKind;
  static constexpr tkxml::FieldDef kDriveId{1, 1, 7759941, K::Int64, "drive id"};
  // The handle of the drive path in the configuration the listing used.
  static constexpr tkxml::FieldDef kHandle{2, 2, 13384629, K::Int64, "handle"};
  static constexpr tkxml::FieldDef kIconId{3, 3, 13896564, K::Int64, "icon id"};
  static constexpr tkxml::FieldDef kDriveName{4, 4, 8368949, K::String, "drive name"};
  static constexpr tkxml::FieldDef kDescription{8, 5, 3507196, K::String, "description"};
  EZTapeDrive() : CNMessageBase(kNamespace, kClassNumber) {}
};

// One tape library as the wizard lists it (and, in a configuration request,
// the library chosen).
class EZTapeLibrary : public CNMessageBase {
 public:
  static constexpr const char* kName = "ZQGui::EZTapeLibrary";
  static constexpr unsigned kNamespace = 1;
  static constexpr unsigned kClassNumber = 144;
  static constexpr unsigned kClassHash = 0x01000BBE;
  using K = tkxml::FieldKind;
  static constexpr tkxml::FieldDef kLibraryId{1, 1, 7465782, K::Int64, "library id"};  // 0 while not stored
  // The handle of the library in the configuration the listing used.
  static constexpr tkxml::FieldDef kHandle{2, 2, 13384629, K::Int64, "handle"};
  static constexpr tkxml::FieldDef kIconId{3, 3, 13896564, K::Int64, "icon id"};
  static constexpr tkxml::FieldDef kLibraryName{4, 4, 10894822, K::String, "library name"};
  static constexpr tkxml::FieldDef kPolicyId{8, 5, 210628, K::Int64, "policy id"};
  static constexpr tkxml::FieldDef kPolicyName{9, 6, 1236468, K::String, "policy name"};
  static constexpr tkxml::FieldDef kDriveIdsPresent{13, 7, 8788212, K::Int64, "drive ids present"};
  static constexpr tkxml::FieldDef kConfigured{14, 8, 339482, K::Int64, "configured"};
  static constexpr tkxml::FieldDef kStandAlone{15, 9, 1436911, K::Int64, "stand alone"};
  // The first library controller's second state flag (0 without one).
  static constexpr tkxml::FieldDef kControllerFlag{16, 10, 3325388, K::Int64, "controller flag"};
  static constexpr tkxml::FieldDef kDrives{17, 11, 1873961, K::ObjectList, EZTapeDrive::kNamespace,
                                           EZTapeDrive::kClassNumber, "drives"};
  static constexpr tkxml::FieldDef kRetentionDays{18, 12, 9972211, K::Int64, "retention days"};
  static constexpr tkxml::FieldDef kDescription{19, 13, 3507196, K::String, "description"};
  EZTapeLibrary() : CNMessageBase(kNamespace, kClassNumber) {}
};

// Which tape libraries the chosen media agents see, optionally after a
// detection on them. Media agents by id (a non-empty id list wins) or by
// id and name.
class EZGetTapeLibrariesReq : public CNMessageBase {
 public:
  static constexpr const char* kName = "ZQGui::EZGetTapeLibrariesReq";
  static constexpr unsigned kNamespace = 1;
  static constexpr unsigned kClassNumber = 6;
  static constexpr unsigned kClassHash = 0x01000BBF;
  using K = tkxml::FieldKind;
  static constexpr tkxml::FieldDef kMediaAgentIds{2, 2, 4547898, K::IntList, "media-agent ids"};
  static constexpr tkxml::FieldDef kMediaAgents{3, 3, 3190207, K::ObjectList, IdName::kNamespace,
                                                IdName::kClassNumber, "media agents"};
  static constexpr tkxml::FieldDef kDetect{4, 4, 12955954, K::Int64, "detect"};
  EZGetTapeLibrariesReq() : CNMessageBase(kNamespace, kClassNumber) {}
};

class EZGetTapeLibrariesResp : public CNMessageBase {
 public:
  static constexpr const char* kName = "ZQGui::EZGetTapeLibrariesResp";
  static constexpr unsigned kNamespace = 1;
  static constexpr unsigned kClassNumber = 117;
  static constexpr unsigned kClassHash = 0x01000BC0;
  static constexpr tkxml::FieldDef kLibraries{1, 1, 7451289, tkxml::FieldKind::ObjectList,
                                              EZTapeLibrary::kNamespace, EZTapeLibrary::kClassNumber, "libraries"};
  EZGetTapeLibrariesResp() : CNMessageBase(kNamespace, kClassNumber) {}
};

// Configure a listed tape library and set its policy's retention.
class EZConfigureTapeLibraryReq : public CNMessageBase {
 public:
  static constexpr const char* kName = "ZQGui::EZConfigureTapeLibraryReq";
  static constexpr unsigned kNamespace = 1;
  static constexpr unsigned kClassNumber = 57;
  static constexpr unsigned kClassHash = 0x01000BC1;
  using K = tkxml::FieldKind;
  static constexpr tkxml::FieldDef kLibrary{2, 2, 4318977, K::Object, EZTapeLibrary::kNamespace,
                                            EZTapeLibrary::kClassNumber, "library"};
  // Only its handle is read.
  static constexpr tkxml::FieldDef kSecondLibrary{3, 3, 4384702, K::Object, EZTapeLibrary::kNamespace,
                                                  EZTapeLibrary::kClassNumber, "second library"};
  // Not 0: the library is configured before its policy is set.
  static constexpr tkxml::FieldDef kConfigure{4, 4, 13121739, K::Int64, "configure"};
  EZConfigureTapeLibraryReq() : CNMessageBase(kNamespace, kClassNumber) {}
};

// Configure the listed drives (of one library).
class EZConfigureTapeLibraryDrivesReq : public CNMessageBase {
 public:
  static constexpr const char* kName = "ZQGui::EZConfigureTapeLibraryDrivesReq";
  static constexpr unsigned kNamespace = 1;
  static constexpr unsigned kClassNumber = 163;
  static constexpr unsigned kClassHash = 0x015845CD;
  static constexpr tkxml::FieldDef kDrives{2, 2, 1873961, tkxml::FieldKind::ObjectList, EZTapeDrive::kNamespace,
                                           EZTapeDrive::kClassNumber, "drives"};
  EZConfigureTapeLibraryDrivesReq() : CNMessageBase(kNamespace, kClassNumber) {}
};

// Rename a listed library or drive.
class EZSetTapeLibraryAliasNameReq : public CNMessageBase {
 public:
  static constexpr const char* kName = "ZQGui::EZSetTapeLibraryAliasNameReq";
  static constexpr unsigned kNamespace = 1;
  static constexpr unsigned kClassNumber = 91;
  static constexpr unsigned kClassHash = 0x01A8EB4F;
  using K = tkxml::FieldKind;
  static constexpr tkxml::FieldDef kAliasName{2, 2, 10894822, K::String, "alias name"};
  static constexpr tkxml::FieldDef kHandle{6, 6, 13384629, K::Int64, "handle"};
  EZSetTapeLibraryAliasNameReq() : CNMessageBase(kNamespace, kClassNumber) {}
};

}  // namespace ZQGui
