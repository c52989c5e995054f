// Message classes of namespace 1 (ZQGui) used by the configuration lock and the
// XML handlers' failure answers. Value types over CNMessageBase with no members
// of their own. Each class states its numbers once, beside its class hash: the
// registry (platform/xml/registry/) registers these very field definitions and
// the handlers address the fields through them.
#pragma once

#include "platform/xml/CNMessageBase.h"
#include "platform/xml/Registry.h"

namespace ZQGui {

// The generic answer.
class GenericResp : public CNMessageBase {
 public:
  static constexpr const char* kName = "ZQGui::GenericResp";
  static constexpr unsigned kNamespace = 1;
  static constexpr unsigned kClassNumber = 0;
  static constexpr unsigned kClassHash = 0x010003F0;
  // Field 1: the code, kCodeSuccess or kCodeFailure.
  static constexpr tkxml::FieldDef kCode{1, 1, 0x9CB015, tkxml::FieldKind::Int64, "code"};
  // Field 2: the text.
  static constexpr tkxml::FieldDef kText{2, 2, 0xB7ECDF, tkxml::FieldKind::String, "text"};
  static constexpr long long kCodeSuccess = 0;
  static constexpr long long kCodeFailure = -1;
  GenericResp() : CNMessageBase(kNamespace, kClassNumber) {}
};

}  // namespace ZQGui
