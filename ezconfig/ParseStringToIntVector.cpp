// Number lists as text (see ParseStringToIntVector.h).
#include "ezconfig/ParseStringToIntVector.h"

#include <climits>
#include <cstdlib>

namespace {

// The number a piece starts with, held within 32 bits; 0 without one.
int leadingNumber(const std::string& piece) {
  const char* text = piece.c_str();
  char* end = nullptr;
  const long long number = std::strtoll(text, &end, 10);
  if (end == text) return 0;
  if (number > INT_MAX) return INT_MAX;
  if (number < INT_MIN) return INT_MIN;
  return static_cast<int>(number);
}

}  // namespace

void ParseStringToIntVector(std::string text, std::string separator, std::vector<int>& out) {
  out.clear();
  if (text.empty()) return;
  if (separator.empty()) {
    out.push_back(leadingNumber(text));
    return;
  }
  std::string::size_type position = 0;
  while (position < text.size()) {
    const std::string::size_type found = text.find(separator, position);
    const std::string piece = text.substr(position, found == std::string::npos ? std::string::npos : found - position);
    if (!piece.empty()) out.push_back(leadingNumber(piece));
    if (found == std::string::npos) break;
    position = found + separator.size();
  }
}
