// The mount service of the server, as the handler frame uses it: the frame
// registers itself once when it initialises. Registrations are recorded
// (platform/testkit/mountd.h).
#pragma once

#include "platform/journal/Journal.h"

class ZqMountd {
 public:
  // 0 on success.
  static int RegisterSubsystem();
};

namespace tkmountd {
// "RegisterSubsystem" calls; its failures are scriptable.
tkjournal::Journal& journal();
}  // namespace tkmountd
