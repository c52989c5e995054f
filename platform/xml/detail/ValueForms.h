// Inside the XML message library: the text forms of field values, shared by
// the reader and the writer. An attribute is named by a kind letter and the
// field's tag ("i1", "s2"); numbers are decimal, lists of numbers separated by
// one space, protected texts "<encryption type>:<wire form>".
#pragma once

#include <string>
#include <string_view>

#include "platform/xml/CNMessageBase.h"
#include "platform/xml/Registry.h"

namespace tkxml::detail {

// The attribute letter of a value field; '\0' for fields that hold messages.
// (Inline: the reader asks for every attribute.)
inline char kindLetter(FieldKind kind) {
  switch (kind) {
    case FieldKind::Int64: return 'i';
    case FieldKind::String: return 's';
    case FieldKind::PString: return 'p';
    case FieldKind::BString: return 'b';
    case FieldKind::IntList: return 'l';
    case FieldKind::Object:
    case FieldKind::ObjectList: return '\0';
  }
  return '\0';
}
// A tag: decimal, no leading zero, at most 2^32 - 1.
bool parseTag(std::string_view s, unsigned& tag);
// The same from ASCII as the parser holds it (one unit a byte).
bool parseTag(std::u16string_view s, unsigned& tag);
// "iN", "sN", ...: the letter and the tag; false for any other name.
bool parseFieldAttr(std::string_view name, char& letter, unsigned& tag);
bool parseFieldAttr(std::u16string_view name, char& letter, unsigned& tag);
bool parseInt64(std::string_view s, long long& out);
bool parseInt64(std::u16string_view s, long long& out);
bool parseIntList(const std::string& s, IntList& out);
bool parsePString(const std::string& s, pstring& out);

}  // namespace tkxml::detail
