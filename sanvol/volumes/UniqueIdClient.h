// The client id inside a NAS volume's unique id. A NAS volume's unique id
// is "client", the filer's client id in decimal, ":", the path on the
// filer ("client42:/vol/vol0"); the first six characters are not examined.
//
// The number must start at the seventh character and run up to the first
// character that is not a digit. An id shorter than seven characters, one
// whose ":" comes before the seventh, one without digits there and one
// whose number does not fit a client id (above 2,147,483,647) give no
// number: nothing is read past the text, and no wrapped value is used.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace tksanvol {

inline std::optional<int32_t> clientIdOfUniqueId(std::string_view uniqueId) {
  constexpr std::size_t kPrefixLength = 6;
  constexpr int64_t kLargestClientId = INT32_MAX;
  if (uniqueId.size() <= kPrefixLength) return std::nullopt;
  const std::size_t colon = uniqueId.find(':');
  if (colon != std::string_view::npos && colon < kPrefixLength) return std::nullopt;
  int64_t value = 0;
  std::size_t at = kPrefixLength;
  for (; at < uniqueId.size() && uniqueId[at] >= '0' && uniqueId[at] <= '9'; ++at) {
    value = value * 10 + (uniqueId[at] - '0');
    if (value > kLargestClientId) return std::nullopt;
  }
  if (at == kPrefixLength) return std::nullopt;
  return static_cast<int32_t>(value);
}

}  // namespace tksanvol
