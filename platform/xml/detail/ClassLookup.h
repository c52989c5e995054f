// Inside the XML message library: the registry entry of a class, looked up
// without taking the registry's lock on the common path.
#pragma once

#include "platform/xml/Registry.h"

namespace tkxml::detail {

// The entry of the class; null when it is not registered. The entry stays
// valid for the life of the process, also after a later registration merged
// new fields into the class (lookups from then on give the merged entry).
const ClassInfo* classOf(unsigned ns, unsigned cls);

}  // namespace tkxml::detail
