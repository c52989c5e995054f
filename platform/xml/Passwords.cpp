// Password helpers: a request text read with its protected fields prepared.
#include "platform/debuglog/EvDebug.h"
#include "platform/xml/CNMessageBase.h"
#include "platform/xml/detail/Body.h"

using tkxml::detail::Body;
using tkxml::detail::ListSlot;
using tkxml::detail::ObjectSlot;
using tkxml::detail::Value;
using Access = CNMessageBase::Access;

namespace {

int preparePasswords(CNMessageBase& m, const std::string& where) {
  if (Access::bodyIfAny(m) == nullptr) return tkxml::kOk;
  Body& b = Access::body(m);
  int result = tkxml::kOk;
  b.forEach([&](unsigned tag, Value& value) {
    if (auto* slot = std::get_if<tkxml::detail::PStringSlot>(&value)) {
      pstring& p = **slot;
      if (p.getEncryptionType() == tkxml::kPlainText) {
        pstring protectedForm;
        pstring::fromPlain(p.getWireForm(), tkxml::kCipherText, protectedForm);
        p = protectedForm;
      } else {
        std::string plain;
        if (!p.getPlainPassword(plain)) {
          EvDebug::Error("tkxml::preProcessXMLStringForPassword", "Protected field tag [%u] of %s does not decrypt.",
                         tag, where.c_str());
          result = tkxml::kErrPassword;
        }
      }
    } else if (auto* o = std::get_if<ObjectSlot>(&value)) {
      if (int rc = preparePasswords(*o->msg, o->msg->getClassName()); rc != tkxml::kOk) result = rc;
    } else if (auto* l = std::get_if<ListSlot>(&value)) {
      for (CNMessageBase& item : Body::items(*l->list)) {
        if (int rc = preparePasswords(item, item.getClassName()); rc != tkxml::kOk) result = rc;
      }
    }
  });
  return result;
}

}  // namespace

namespace tkxml {

int preProcessXMLStringForPassword(void* requestRecord, CNMessageBase& msg, std::string& xml) {
  (void)requestRecord;
  int rc = msg.unserialize(xml);
  if (rc != kOk) return rc;
  return preparePasswords(msg, msg.getClassName());
}

}  // namespace tkxml
