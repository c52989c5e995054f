// Names of the reply items and request elements the console shows by name.
#pragma once

#include <cstdint>

namespace tkconsole {

// The name of a tag, or null when the console does not know it.
const char* tagName(uint32_t tag);

}  // namespace tkconsole
