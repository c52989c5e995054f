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
// The parsers of numbers and attribute names, over bytes or over ASCII in
// UTF-16 alike (inline: the reader parses every attribute with them).
template <class Char>
bool parseTagOf(std::basic_string_view<Char> s, unsigned& tag) {
  if (s.empty() || s.size() > 10 || (s.size() > 1 && s[0] == '0')) return false;
  unsigned long long v = 0;
  for (Char c : s) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<unsigned>(c - '0');
  }
  if (v > 0xFFFFFFFFull) return false;
  tag = static_cast<unsigned>(v);
  return true;
}

template <class Char>
bool parseInt64Of(std::basic_string_view<Char> s, long long& out) {
  bool negative = !s.empty() && s[0] == '-';
  if (negative) s.remove_prefix(1);
  if (s.empty() || s.size() > 19) return false;
  unsigned long long v = 0;
  for (Char c : s) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<unsigned>(c - '0');
  }
  constexpr unsigned long long kMax = 9223372036854775807ull;
  if (v > kMax + (negative ? 1 : 0)) return false;
  out = negative ? static_cast<long long>(0 - v) : static_cast<long long>(v);
  return true;
}

template <class Char>
bool parseFieldAttrOf(std::basic_string_view<Char> name, char& letter, unsigned& tag) {
  if (name.size() < 2) return false;
  const Char first = name[0];
  if (first != 'i' && first != 's' && first != 'p' && first != 'b' && first != 'l') return false;
  letter = static_cast<char>(first);
  return parseTagOf(name.substr(1), tag);
}

// A tag: decimal, no leading zero, at most 2^32 - 1.
inline bool parseTag(std::string_view s, unsigned& tag) { return parseTagOf(s, tag); }
// The same from ASCII as the parser holds it (one unit a byte).
inline bool parseTag(std::u16string_view s, unsigned& tag) { return parseTagOf(s, tag); }
// "iN", "sN", ...: the letter and the tag; false for any other name.
inline bool parseFieldAttr(std::string_view name, char& letter, unsigned& tag) {
  return parseFieldAttrOf(name, letter, tag);
}
inline bool parseFieldAttr(std::u16string_view name, char& letter, unsigned& tag) {
  return parseFieldAttrOf(name, letter, tag);
}
inline bool parseInt64(std::string_view s, long long& out) { return parseInt64Of(s, out); }
inline bool parseInt64(std::u16string_view s, long long& out) { return parseInt64Of(s, out); }
bool parseIntList(const std::string& s, IntList& out);
bool parsePString(const std::string& s, pstring& out);

}  // namespace tkxml::detail
