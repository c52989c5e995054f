// Column value types of the generated database bindings. They are the
// database engine's own types, so they live beside it
// (platform/db/DBDataType.h); this header keeps the handlers' path.
#pragma once

#include "platform/db/DBDataType.h"
