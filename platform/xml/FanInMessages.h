// Message classes of the fan-in recovery-point requests: the listing of a
// destination volume's recovery points, the listing of the source and
// destination pairs under one recovery point, and the operations on one
// recovery point. Value types over CNMessageBase with no members of their
// own; each class states its numbers once, beside its class hash, and the
// registry (platform/xml/registry/fanin.cpp) registers these very
// definitions. The message id of each request is its class hash.
//
// A field the readers address by its slot alone has its slot as its tag.
// The pair sub-message (an id with a name) is EVGui::IdName.
#pragma once

#include "platform/xml/DevicePathMessages.h"
#include "platform/xml/Registry.h"

namespace EVGui {

// The recovery points of one volume of a destination client.
class CDRFanInGetRecoveryPointsReq : public CNMessageBase {
 public:
  static constexpr const char* kName = "EVGui::CDRFanInGetRecoveryPointsReq";
  static constexpr unsigned kNamespace = 13;
  static constexpr unsigned kClassNumber = 875;
  static constexpr unsigned kClassHash = 0x0D000416;
  static constexpr tkxml::FieldDef kDestClientId{1, 1, 0x253646, tkxml::FieldKind::Int64, "dest client id"};
  static constexpr tkxml::FieldDef kVolumeName{2, 2, 0xD336D1, tkxml::FieldKind::String, "volume name"};
  CDRFanInGetRecoveryPointsReq() : CNMessageBase(kNamespace, kClassNumber) {}
};

// One recovery point of the listing.
class CDRFanInRecoveryPoint : public CNMessageBase {
 public:
  static constexpr const char* kName = "EVGui::CDRFanInRecoveryPoint";
  static constexpr unsigned kNamespace = 13;
  static constexpr unsigned kClassNumber = 329;
  static constexpr unsigned kClassHash = 0x0D000415;
  static constexpr tkxml::FieldDef kId{1, 1, 0x3583D9, tkxml::FieldKind::Int64, "id"};
  static constexpr tkxml::FieldDef kText{2, 2, 0x337A8B, tkxml::FieldKind::String, "text"};
  static constexpr tkxml::FieldDef kValue{6, 3, 0x88AE4C, tkxml::FieldKind::Int64, "value"};
  // 1 when something is mounted for the recovery point, else 0.
  static constexpr tkxml::FieldDef kMounted{7, 4, 0x86EDEE, tkxml::FieldKind::Int64, "mounted"};
  // Where it is mounted, or the share it is published under.
  static constexpr tkxml::FieldDef kPath{8, 5, 0x55D0F7, tkxml::FieldKind::String, "path"};
  static constexpr tkxml::FieldDef kSecondValue{12, 6, 0x9A9B8, tkxml::FieldKind::Int64, "second value"};
  CDRFanInRecoveryPoint() : CNMessageBase(kNamespace, kClassNumber) {}
};

class CDRFanInGetRecoveryPointsResp : public CNMessageBase {
 public:
  static constexpr const char* kName = "EVGui::CDRFanInGetRecoveryPointsResp";
  static constexpr unsigned kNamespace = 13;
  static constexpr unsigned kClassNumber = 873;
  static constexpr unsigned kClassHash = 0x0D000417;
  static constexpr tkxml::FieldDef kRecoveryPoints{1, 1, 0x1504D8, tkxml::FieldKind::ObjectList,
                                                   CDRFanInRecoveryPoint::kNamespace,
                                                   CDRFanInRecoveryPoint::kClassNumber, "recovery points"};
  CDRFanInGetRecoveryPointsResp() : CNMessageBase(kNamespace, kClassNumber) {}
};

// The source and destination pairs under one recovery point.
class CDRFanInGetPairsUnderRecoveryPointReq : public CNMessageBase {
 public:
  static constexpr const char* kName = "EVGui::CDRFanInGetPairsUnderRecoveryPointReq";
  static constexpr unsigned kNamespace = 13;
  static constexpr unsigned kClassNumber = 315;
  static constexpr unsigned kClassHash = 0x0D000419;
  static constexpr tkxml::FieldDef kRecoveryPointId{1, 1, 0x3583D9, tkxml::FieldKind::Int64, "recovery point id"};
  CDRFanInGetPairsUnderRecoveryPointReq() : CNMessageBase(kNamespace, kClassNumber) {}
};

// One pair: two texts and two ids with names.
class CDRFanInPairInfo : public CNMessageBase {
 public:
  static constexpr const char* kName = "EVGui::CDRFanInPairInfo";
  static constexpr unsigned kNamespace = 13;
  static constexpr unsigned kClassNumber = 805;
  static constexpr unsigned kClassHash = 0x0D000418;
  static constexpr tkxml::FieldDef kFirstText{1, 1, 0xBEBAE0, tkxml::FieldKind::String, "first text"};
  static constexpr tkxml::FieldDef kFirstPair{5, 2, 0x6287C6, tkxml::FieldKind::Object, IdName::kNamespace,
                                              IdName::kClassNumber, "first pair"};
  static constexpr tkxml::FieldDef kSecondText{6, 3, 0xEF6553, tkxml::FieldKind::String, "second text"};
  static constexpr tkxml::FieldDef kSecondPair{10, 4, 0x4BEA85, tkxml::FieldKind::Object, IdName::kNamespace,
                                               IdName::kClassNumber, "second pair"};
  CDRFanInPairInfo() : CNMessageBase(kNamespace, kClassNumber) {}
};

class CDRFanInGetPairsUnderRecoveryPointResp : public CNMessageBase {
 public:
  static constexpr const char* kName = "EVGui::CDRFanInGetPairsUnderRecoveryPointResp";
  static constexpr unsigned kNamespace = 13;
  static constexpr unsigned kClassNumber = 128;
  static constexpr unsigned kClassHash = 0x0D00041A;
  static constexpr tkxml::FieldDef kPairs{1, 1, 0x57F8D9, tkxml::FieldKind::ObjectList, CDRFanInPairInfo::kNamespace,
                                          CDRFanInPairInfo::kClassNumber, "pairs"};
  CDRFanInGetPairsUnderRecoveryPointResp() : CNMessageBase(kNamespace, kClassNumber) {}
};

// An operation on one recovery point; answered with ZQGui::GenericResp.
class CDRFanInExecuteRPOperationReq : public CNMessageBase {
 public:
  static constexpr const char* kName = "EVGui::CDRFanInExecuteRPOperationReq";
  static constexpr unsigned kNamespace = 13;
  static constexpr unsigned kClassNumber = 221;
  static constexpr unsigned kClassHash = 0x0D00041B;
  static constexpr tkxml::FieldDef kRecoveryPointId{1, 1, 0x3583D9, tkxml::FieldKind::Int64, "recovery point id"};
  // 0 mount, 1 unmount, 2 delete the consistency point, 3 mount and
  // publish an ONTAP snapshot, 4 remove the published share and its mount.
  static constexpr tkxml::FieldDef kOperation{2, 2, 0xBB20E2, tkxml::FieldKind::Int64, "operation"};
  // The mount path; for operation 3 also the share's name.
  static constexpr tkxml::FieldDef kMountPath{3, 3, 0x5E9143, tkxml::FieldKind::String, "mount path"};
  // Non-zero: a writeable snapshot (operation 3).
  static constexpr tkxml::FieldDef kWriteable{7, 7, 0x32E5B9, tkxml::FieldKind::Int64, "writeable"};
  CDRFanInExecuteRPOperationReq() : CNMessageBase(kNamespace, kClassNumber) {}
};

}  // namespace EVGui
