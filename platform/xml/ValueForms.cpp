// The text forms of field values.
#include "platform/xml/detail/ValueForms.h"

namespace tkxml::detail {

namespace {

// The parsers of numbers, over bytes or over ASCII in UTF-16 alike.
template <class Char>
bool tagOf(std::basic_string_view<Char> s, unsigned& tag) {
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
bool int64Of(std::basic_string_view<Char> s, long long& out) {
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

}  // namespace

bool parseTag(std::string_view s, unsigned& tag) { return tagOf(s, tag); }
bool parseTag(std::u16string_view s, unsigned& tag) { return tagOf(s, tag); }
bool parseInt64(std::string_view s, long long& out) { return int64Of(s, out); }
bool parseInt64(std::u16string_view s, long long& out) { return int64Of(s, out); }

namespace {

template <class Char>
bool fieldAttrOf(std::basic_string_view<Char> name, char& letter, unsigned& tag) {
  if (name.size() < 2) return false;
  const Char first = name[0];
  if (first != 'i' && first != 's' && first != 'p' && first != 'b' && first != 'l') return false;
  letter = static_cast<char>(first);
  return tagOf(name.substr(1), tag);
}

}  // namespace

bool parseFieldAttr(std::string_view name, char& letter, unsigned& tag) { return fieldAttrOf(name, letter, tag); }
bool parseFieldAttr(std::u16string_view name, char& letter, unsigned& tag) { return fieldAttrOf(name, letter, tag); }

bool parseIntList(const std::string& s, IntList& out) {
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && s[i] == ' ') ++i;
    if (i >= s.size()) break;
    size_t end = s.find(' ', i);
    if (end == std::string::npos) end = s.size();
    long long v = 0;
    if (!parseInt64(std::string_view(s).substr(i, end - i), v)) return false;
    out.push_back(v);
    i = end;
  }
  return true;
}

bool parsePString(const std::string& s, pstring& out) {
  size_t colon = s.find(':');
  if (colon == std::string::npos) return false;
  std::string_view type = std::string_view(s).substr(0, colon);
  if (type != "0" && type != "1") return false;
  out = pstring::fromWire(type == "0" ? kPlainText : kCipherText, s.substr(colon + 1));
  return true;
}

}  // namespace tkxml::detail
