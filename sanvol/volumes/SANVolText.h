// Text helpers of the SAN-volume handlers.
//
// Texts are std::string throughout; joining a text and a C text is the
// standard operator+ (const std::string&, const char*), which the handlers
// use as it stands.
#pragma once

#include <strings.h>

// Case-insensitive comparison of two C texts, with the result of the
// platform's case-insensitive compare (<0, 0, >0). A null text compares as
// the empty text.
inline int _stricmp(const char* a, const char* b) {
  return ::strcasecmp(a != nullptr ? a : "", b != nullptr ? b : "");
}
