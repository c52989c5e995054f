// The text forms of field values.
#include "platform/xml/detail/ValueForms.h"

namespace tkxml::detail {

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
