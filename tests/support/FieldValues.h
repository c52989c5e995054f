// The fields of a message description as tests write them: by tag, each a
// number or a text (a password field takes its plain text), and setting
// them on a description of a registered class by what the class says the
// tag is.
//
//   tktest::FieldValues fields{{2, "disklib"}, {5, 40}};
//   tktest::fillFields(info, Info::kNamespace, Info::kClassNumber, Info::kClassHash, fields);
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>

#include "platform/xml/CNMessageBase.h"
#include "platform/xml/Registry.h"

namespace tktest {

struct FieldValue {
  FieldValue() = default;
  FieldValue(long long n) : isNumber(true), number(n) {}  // NOLINT
  FieldValue(int n) : isNumber(true), number(n) {}        // NOLINT
  FieldValue(const char* t) : text(t) {}                  // NOLINT
  FieldValue(std::string t) : text(std::move(t)) {}       // NOLINT
  bool isNumber = false;
  long long number = 0;
  std::string text;
};
using FieldValues = std::map<unsigned, FieldValue>;  // by tag

// Numbers as 64-bit integers, protected strings as plain text, the rest as
// strings; a tag the class does not have fails the running test.
inline void fillFields(CNMessageBase& info, unsigned ns, unsigned cls, unsigned classHash, const FieldValues& fields) {
  for (const auto& [tag, value] : fields) {
    const tkxml::FieldDef* def = tkxml::findClass(ns, cls)->byTag(tag);
    ASSERT_NE(def, nullptr) << "tag " << tag;
    if (def->kind == tkxml::FieldKind::Int64) {
      info.setint64(def->ordinal, def->tag, value.number, classHash, def->hash);
    } else if (def->kind == tkxml::FieldKind::PString) {
      info.setpstringobject(def->ordinal, def->tag, value.text, tkxml::kPlainText, classHash, def->hash);
    } else {
      info.setstring(def->ordinal, def->tag, value.text, classHash, def->hash);
    }
  }
}

}  // namespace tktest
