// The text forms of field values.
#include "platform/xml/detail/ValueForms.h"

namespace tkxml::detail {

char kindLetter(FieldKind kind) {
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

bool parseTag(std::string_view s, unsigned& tag) {
  if (s.empty() || s.size() > 10 || (s.size() > 1 && s[0] == '0')) return false;
  unsigned long long v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<unsigned>(c - '0');
  }
  if (v > 0xFFFFFFFFull) return false;
  tag = static_cast<unsigned>(v);
  return true;
}

bool parseFieldAttr(const std::string& name, char& letter, unsigned& tag) {
  if (name.size() < 2) return false;
  letter = name[0];
  if (letter != 'i' && letter != 's' && letter != 'p' && letter != 'b' && letter != 'l') return false;
  return parseTag(std::string_view(name).substr(1), tag);
}

bool parseInt64(std::string_view s, long long& out) {
  bool negative = !s.empty() && s[0] == '-';
  if (negative) s.remove_prefix(1);
  if (s.empty() || s.size() > 19) return false;
  unsigned long long v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<unsigned>(c - '0');
  }
  constexpr unsigned long long kMax = 9223372036854775807ull;
  if (v > kMax + (negative ? 1 : 0)) return false;
  out = negative ? static_cast<long long>(0 - v) : static_cast<long long>(v);
  return true;
}

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
