// The base of every column catalogue. The database engine reads catalogues
// through it, so it lives beside the engine (platform/db/DBRowBase.h); this
// header keeps the handlers' path.
#pragma once

#include "platform/db/DBRowBase.h"
