// Message classes of namespace 13 (EVGui) used by the configuration lock and
// the XML handlers' failure answers. Value types over CNMessageBase with no
// members of their own; their fields are in the registry
// (platform/xml/registry/).
#pragma once

#include "platform/xml/CNMessageBase.h"

namespace EVGui {

// The configuration lock request: field 1 (tag 1, hash 0x37931) is a
// MMConfigurationLockUnlockInfo.
class MMConfigurationLockUnlockReq : public CNMessageBase {
 public:
  static constexpr unsigned kNamespace = 13;
  static constexpr unsigned kClassNumber = 960;
  static constexpr unsigned kClassHash = 0x0DF9BE39;
  MMConfigurationLockUnlockReq() : CNMessageBase(kNamespace, kClassNumber) {}
};

// The body of the lock request: field 1 (tag 1, hash 0x3A3E51) the server
// sequence number (optional); field 2 (tag 2, hash 0xCE3B05) the lock
// operation (1 lock, 3 force lock, 0 unlock, 2 unlock without the test).
class MMConfigurationLockUnlockInfo : public CNMessageBase {
 public:
  static constexpr unsigned kNamespace = 13;
  static constexpr unsigned kClassNumber = 959;
  static constexpr unsigned kClassHash = 0x0D17D425;
  MMConfigurationLockUnlockInfo() : CNMessageBase(kNamespace, kClassNumber) {}
};

// The generic answer of namespace 13: the same two fields as
// ZQGui::GenericResp (code, tag 1, hash 0x9CB015; text, tag 2, hash 0xB7ECDF).
class GenericResp : public CNMessageBase {
 public:
  static constexpr unsigned kNamespace = 13;
  static constexpr unsigned kClassNumber = 1;
  static constexpr unsigned kClassHash = 0x0DF2BE27;
  GenericResp() : CNMessageBase(kNamespace, kClassNumber) {}
};

}  // namespace EVGui
