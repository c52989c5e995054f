// The installation the server manages (its "focus"): the name under which
// the media-configuration object model is initialised for it.
//
// The name is the server's own setting; in this platform it is set by the
// host's start-up and by tests (platform/testkit/focus.h), and is
// "tarnkeep" until someone sets it. Thread-safe.
#pragma once

#include <string>

#include "platform/journal/Journal.h"

class ZQPI_Focus {
 public:
  // The installation name (never empty).
  static std::string getFocus();
};

namespace tkfocus {

inline constexpr const char* kDefaultFocus = "tarnkeep";

// Sets the installation name; an empty name puts the default back.
void setFocus(const std::string& name);
// Calls of getFocus ("getFocus", with the name handed out). A failure
// injected into "getFocus" makes the next call answer the default name, as
// a server whose setting cannot be read.
tkjournal::Journal& journal();

}  // namespace tkfocus
