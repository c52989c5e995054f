// Message classes of namespace 1 (ZQGui) used by the configuration lock and the
// XML handlers' failure answers. Value types over CNMessageBase with no members
// of their own; their fields are in the registry (platform/xml/registry/).
#pragma once

#include "platform/xml/CNMessageBase.h"

namespace ZQGui {

// The generic answer: field 1 (tag 1, hash 0x9CB015) the code, -1 on failure
// and 0 otherwise; field 2 (tag 2, hash 0xB7ECDF) the text.
class GenericResp : public CNMessageBase {
 public:
  static constexpr unsigned kNamespace = 1;
  static constexpr unsigned kClassNumber = 0;
  static constexpr unsigned kClassHash = 0x010003F0;
  GenericResp() : CNMessageBase(kNamespace, kClassNumber) {}
};

}  // namespace ZQGui
