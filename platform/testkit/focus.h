// Test control of the installation name (platform/focus/ZQPI_Focus.h).
//
//   testkit::focus::ScopedFocus focus("site-a");   // getFocus() answers "site-a"
//   ... code under test ...
//   testkit::focus::journal().calls("getFocus")
#pragma once

#include <string>

#include "platform/focus/ZQPI_Focus.h"

namespace testkit::focus {

inline void setFocus(const std::string& name) { tkfocus::setFocus(name); }
inline tkjournal::Journal& journal() { return tkfocus::journal(); }
// The default name, and an empty journal.
inline void reset() {
  tkfocus::setFocus(std::string());
  tkfocus::journal().reset();
}

// Sets the name for a scope, then puts the default back.
class ScopedFocus {
 public:
  explicit ScopedFocus(const std::string& name) { tkfocus::setFocus(name); }
  ~ScopedFocus() { tkfocus::setFocus(std::string()); }
  ScopedFocus(const ScopedFocus&) = delete;
  ScopedFocus& operator=(const ScopedFocus&) = delete;
};

}  // namespace testkit::focus
