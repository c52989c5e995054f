// Message classes of namespace 13 (EVGui) used by the configuration lock and
// the XML handlers' failure answers. Value types over CNMessageBase with no
// members of their own. Each class states its numbers once, beside its class
// hash: the registry (platform/xml/registry/) registers these very field
// definitions and the handlers address the fields through them.
#pragma once

#include "platform/xml/CNMessageBase.h"
#include "platform/xml/Registry.h"
#include "platform/xml/ZQGuiMessages.h"

namespace EVGui {

// The body of the lock request.
class MMConfigurationLockUnlockInfo : public CNMessageBase {
 public:
  static constexpr const char* kName = "EVGui::MMConfigurationLockUnlockInfo";
  static constexpr unsigned kNamespace = 13;
  static constexpr unsigned kClassNumber = 959;
  static constexpr unsigned kClassHash = 0x0D17D425;
  // Field 1: the server sequence number (optional).
  static constexpr tkxml::FieldDef kServerSequence{1, 1, 0x3A3E51, tkxml::FieldKind::Int64, "server sequence number"};
  // Field 2: the lock operation (1 lock, 3 force lock, 0 unlock, 2 unlock
  // without the test).
  static constexpr tkxml::FieldDef kOperation{2, 2, 0xCE3B05, tkxml::FieldKind::Int64, "operation"};
  MMConfigurationLockUnlockInfo() : CNMessageBase(kNamespace, kClassNumber) {}
};

// The configuration lock request.
class MMConfigurationLockUnlockReq : public CNMessageBase {
 public:
  static constexpr const char* kName = "EVGui::MMConfigurationLockUnlockReq";
  static constexpr unsigned kNamespace = 13;
  static constexpr unsigned kClassNumber = 960;
  static constexpr unsigned kClassHash = 0x0DF9BE39;
  // Field 1: the body, a MMConfigurationLockUnlockInfo.
  static constexpr tkxml::FieldDef kInfo{1, 1, 0x37931, tkxml::FieldKind::Object,
                                         MMConfigurationLockUnlockInfo::kNamespace,
                                         MMConfigurationLockUnlockInfo::kClassNumber, "lock request"};
  MMConfigurationLockUnlockReq() : CNMessageBase(kNamespace, kClassNumber) {}
};

// The generic answer of namespace 13: the same two fields as
// ZQGui::GenericResp (a field's hash is the same in every class).
class GenericResp : public CNMessageBase {
 public:
  static constexpr const char* kName = "EVGui::GenericResp";
  static constexpr unsigned kNamespace = 13;
  static constexpr unsigned kClassNumber = 1;
  static constexpr unsigned kClassHash = 0x0DF2BE27;
  static constexpr tkxml::FieldDef kCode = ZQGui::GenericResp::kCode;
  static constexpr tkxml::FieldDef kText = ZQGui::GenericResp::kText;
  GenericResp() : CNMessageBase(kNamespace, kClassNumber) {}
};

}  // namespace EVGui
