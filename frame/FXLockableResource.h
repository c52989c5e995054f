// Lockable resources that record the thread holding them. The platform's
// own components (the database engine) use them as well, so they live with
// the lock implementations (platform/locks/FXLockableResource.h); this
// header keeps the handlers' path.
#pragma once

#include "platform/locks/FXLockableResource.h"
