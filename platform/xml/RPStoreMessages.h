// Messages of the replication-store library request (namespace 13, EVGui):
// the request with its store part and library part (the library part is the
// storage-library description, platform/xml/StorageLibraryMessages.h), the
// store description, the response, and the off-peak schedule window. Value
// types over CNMessageBase with no members of their own; numbers stated once
// beside each class hash and registered by platform/xml/registry/rpstore.cpp.
#pragma once

#include "platform/xml/CNMessageBase.h"
#include "platform/xml/Registry.h"
#include "platform/xml/StorageLibraryMessages.h"

namespace EVGui {

// The off-peak windows of a store. Its fields belong to the consoles and the
// pruning service: the handlers keep its content as it came (fields the
// registry does not know are carried through a round trip unchanged).
class IntervalWindow : public CNMessageBase {
 public:
  static constexpr const char* kName = "EVGui::IntervalWindow";
  static constexpr unsigned kNamespace = 13;
  static constexpr unsigned kClassNumber = 1056;
  static constexpr unsigned kClassHash = 0x0D6E1A5C;
  IntervalWindow() : CNMessageBase(kNamespace, kClassNumber) {}
};

// One replication store (RP store).
class RPStoreLibraryInfo : public CNMessageBase {
 public:
  static constexpr const char* kName = "EVGui::RPStoreLibraryInfo";
  static constexpr unsigned kNamespace = 13;
  static constexpr unsigned kClassNumber = 977;
  static constexpr unsigned kClassHash = 0x0D2E42C6;
  using K = tkxml::FieldKind;
  static constexpr tkxml::FieldDef kRPStoreId{1, 1, 15070654, K::Int64, "RP-store id"};
  // The storage policy that gets a block-level replication copy.
  static constexpr tkxml::FieldDef kStoragePolicyId{2, 2, 210628, K::Int64, "storage-policy id"};
  static constexpr tkxml::FieldDef kReplicationCopyId{3, 3, 4239216, K::Int64, "replication copy id"};
  static constexpr tkxml::FieldDef kMinSpace{6, 6, 10251477, K::Int64, "minimum space"};
  static constexpr tkxml::FieldDef kMaxSpace{7, 7, 16528387, K::Int64, "maximum space"};
  static constexpr tkxml::FieldDef kOffPeakSchedule{10, 10, 2180373, K::Object, IntervalWindow::kNamespace,
                                                    IntervalWindow::kClassNumber, "off-peak schedule"};
  RPStoreLibraryInfo() : CNMessageBase(kNamespace, kClassNumber) {}
};

// The request: one operation on a replication-store library.
class RPStoreLibraryReq : public CNMessageBase {
 public:
  static constexpr const char* kName = "EVGui::RPStoreLibraryReq";
  static constexpr unsigned kNamespace = 13;
  static constexpr unsigned kClassNumber = 975;
  static constexpr unsigned kClassHash = 0x0D64B786;
  using K = tkxml::FieldKind;
  static constexpr tkxml::FieldDef kStore{2, 2, 1952925, K::Object, RPStoreLibraryInfo::kNamespace,
                                          RPStoreLibraryInfo::kClassNumber, "store part"};
  static constexpr tkxml::FieldDef kLibrary{3, 3, 3328448, K::Object, StorageLibraryInfo::kNamespace,
                                            StorageLibraryInfo::kClassNumber, "library part"};
  static constexpr tkxml::FieldDef kOperation{4, 4, 12335291, K::Int64, "operation code"};
  static constexpr tkxml::FieldDef kUpdateMask{5, 5, 7199550, K::Int64, "update mask"};
  RPStoreLibraryReq() : CNMessageBase(kNamespace, kClassNumber) {}
};

// The answer on success: the store and the library as the operation left them.
class RPStoreLibraryResp : public CNMessageBase {
 public:
  static constexpr const char* kName = "EVGui::RPStoreLibraryResp";
  static constexpr unsigned kNamespace = 13;
  static constexpr unsigned kClassNumber = 976;
  static constexpr unsigned kClassHash = 0x0D3239E8;
  using K = tkxml::FieldKind;
  static constexpr tkxml::FieldDef kStore{1, 1, 0x1DCC9D, K::Object, RPStoreLibraryInfo::kNamespace,
                                          RPStoreLibraryInfo::kClassNumber, "store"};
  static constexpr tkxml::FieldDef kLibrary{2, 2, 0x32C9C0, K::Object, StorageLibraryInfo::kNamespace,
                                            StorageLibraryInfo::kClassNumber, "library"};
  RPStoreLibraryResp() : CNMessageBase(kNamespace, kClassNumber) {}
};

}  // namespace EVGui
