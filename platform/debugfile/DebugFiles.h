// Journal of debug-log instance openings ("EvDebugFile": the name). A
// failure injected into "EvDebugFile" makes that many next openings fail
// (platform/testkit/debugfile.h).
#pragma once

#include "platform/journal/Journal.h"

namespace tkdebugfile {
tkjournal::Journal& journal();
}  // namespace tkdebugfile
