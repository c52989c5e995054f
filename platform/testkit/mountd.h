// Test control of the mount service: journal().count("RegisterSubsystem")
// tells how often the frame registered; injectFailure scripts a failure.
#pragma once

#include "platform/mountd/ZqMountd.h"

namespace testkit::mountd {

inline tkjournal::Journal& journal() { return tkmountd::journal(); }
inline void reset() { tkmountd::journal().reset(); }

}  // namespace testkit::mountd
