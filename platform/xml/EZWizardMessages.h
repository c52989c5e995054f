// Messages of the disk-library setup wizard (namespace 1, ZQGui): the one
// disk-library record the wizard shows and configures, the listing request
// and response, and the configuration request and response. Value types over
// CNMessageBase with no members of their own; numbers stated once beside each
// class hash and registered by platform/xml/registry/ezwizard.cpp.
//
// Numbers travel as 64-bit values; the handlers use the low 32 bits of all
// but the library handle.
#pragma once

#include "platform/xml/CNMessageBase.h"
#include "platform/xml/Registry.h"

namespace ZQGui {

// One disk library as the wizard shows it (and, in a configuration request,
// what the console chose for it).
class EZMagneticLibrary : public CNMessageBase {
 public:
  static constexpr const char* kName = "ZQGui::EZMagneticLibrary";
  static constexpr unsigned kNamespace = 1;
  static constexpr unsigned kClassNumber = 72;
  static constexpr unsigned kClassHash = 0x01000BB9;
  using K = tkxml::FieldKind;
  static constexpr tkxml::FieldDef kLibraryId{1, 1, 7465782, K::Int64, "library id"};
  // The library's handle in the console's cached configuration.
  static constexpr tkxml::FieldDef kHandle{2, 2, 13384629, K::Int64, "handle"};
  static constexpr tkxml::FieldDef kMediaAgentName{3, 3, 3241900, K::String, "media-agent name"};  // network host name
  static constexpr tkxml::FieldDef kMediaAgentId{7, 4, 15523452, K::Int64, "media-agent id"};
  static constexpr tkxml::FieldDef kAliasName{8, 5, 10894822, K::String, "alias name"};
  static constexpr tkxml::FieldDef kLibraryType{12, 6, 11096725, K::Int64, "library type"};
  static constexpr tkxml::FieldDef kPolicyId{13, 7, 210628, K::Int64, "policy id"};
  static constexpr tkxml::FieldDef kPolicyName{14, 8, 1236468, K::String, "policy name"};
  static constexpr tkxml::FieldDef kCopyId{18, 9, 9392998, K::Int64, "copy id"};
  static constexpr tkxml::FieldDef kCopyName{19, 10, 678422, K::String, "copy name"};
  static constexpr tkxml::FieldDef kMountPath{23, 11, 3956702, K::String, "mount path"};
  static constexpr tkxml::FieldDef kUserName{27, 12, 8585620, K::String, "user name"};
  // The mount path's password, encrypted as the consoles send it (requests only).
  static constexpr tkxml::FieldDef kPassword{31, 13, 9026203, K::BString, "password"};
  static constexpr tkxml::FieldDef kAutoManageDisk{32, 14, 16600091, K::Int64, "auto manage disk"};
  static constexpr tkxml::FieldDef kDiskCapacity{33, 15, 10066295, K::Int64, "disk capacity"};
  static constexpr tkxml::FieldDef kRetentionDays{34, 16, 9972211, K::Int64, "retention days"};
  static constexpr tkxml::FieldDef kDescription{35, 17, 3507196, K::String, "description"};
  // Greater than 0: client-side deduplication is wanted.
  static constexpr tkxml::FieldDef kDedupCopies{40, 19, 10046164, K::Int64, "dedup copies"};
  EZMagneticLibrary() : CNMessageBase(kNamespace, kClassNumber) {}
};

// Configure a disk library: create it, add its first mount path or change
// that path's credentials, and set up its storage policy.
class EZConfigureMagneticLibraryReq : public CNMessageBase {
 public:
  static constexpr const char* kName = "ZQGui::EZConfigureMagneticLibraryReq";
  static constexpr unsigned kNamespace = 1;
  static constexpr unsigned kClassNumber = 104;
  static constexpr unsigned kClassHash = 0x01000BBC;
  using K = tkxml::FieldKind;
  static constexpr tkxml::FieldDef kLibrary{2, 2, 15213755, K::Object, EZMagneticLibrary::kNamespace,
                                            EZMagneticLibrary::kClassNumber, "library"};
  // Not 0: the path and credentials go to the library's existing first mount path.
  static constexpr tkxml::FieldDef kUpdateMountPath{3, 3, 13121739, K::Int64, "update mount path"};
  // Greater than 0 selects the one set of storage-policy flags, else the other.
  static constexpr tkxml::FieldDef kPolicyOption{4, 4, 16576167, K::Int64, "policy option"};
  EZConfigureMagneticLibraryReq() : CNMessageBase(kNamespace, kClassNumber) {}
};

class EZConfigureMagneticLibraryResp : public CNMessageBase {
 public:
  static constexpr const char* kName = "ZQGui::EZConfigureMagneticLibraryResp";
  static constexpr unsigned kNamespace = 1;
  static constexpr unsigned kClassNumber = 56;
  static constexpr unsigned kClassHash = 0x01000BC7;
  using K = tkxml::FieldKind;
  static constexpr tkxml::FieldDef kLibrary{1, 1, 15213755, K::Object, EZMagneticLibrary::kNamespace,
                                            EZMagneticLibrary::kClassNumber, "library"};
  EZConfigureMagneticLibraryResp() : CNMessageBase(kNamespace, kClassNumber) {}
};

// Which disk library is set up already, seen through the listed media agents
// (an empty list: all of them).
class EZGetMagneticLibrariesReq : public CNMessageBase {
 public:
  static constexpr const char* kName = "ZQGui::EZGetMagneticLibrariesReq";
  static constexpr unsigned kNamespace = 1;
  static constexpr unsigned kClassNumber = 42;
  static constexpr unsigned kClassHash = 0x01000BBA;
  static constexpr tkxml::FieldDef kMediaAgentIds{2, 2, 4547898, tkxml::FieldKind::IntList, "media-agent ids"};
  EZGetMagneticLibrariesReq() : CNMessageBase(kNamespace, kClassNumber) {}
};

// At most one library.
class EZGetMagneticLibrariesResp : public CNMessageBase {
 public:
  static constexpr const char* kName = "ZQGui::EZGetMagneticLibrariesResp";
  static constexpr unsigned kNamespace = 1;
  static constexpr unsigned kClassNumber = 183;
  static constexpr unsigned kClassHash = 0x01000BBB;
  static constexpr tkxml::FieldDef kLibraries{1, 1, 7451289, tkxml::FieldKind::ObjectList,
                                              EZMagneticLibrary::kNamespace, EZMagneticLibrary::kClassNumber, "libraries"};
  EZGetMagneticLibrariesResp() : CNMessageBase(kNamespace, kClassNumber) {}
};

}  // namespace ZQGui
