// Inside the XML message library: the registry entry of a class, looked up
// without taking the registry's lock on the common path.
#pragma once

#include <atomic>

#include "platform/xml/Registry.h"

namespace tkxml::detail {

// Counts the registry's publications: what was looked up at one count is
// still the registry's answer while the count holds (the thread caches of
// classOf, the entry a message's body was laid out by).
inline std::atomic<unsigned long long> g_registryGeneration{0};

inline unsigned long long registryGeneration() { return g_registryGeneration.load(std::memory_order_acquire); }

// The entry of the class; null when it is not registered. The entry stays
// valid for the life of the process, also after a later registration merged
// new fields into the class (lookups from then on give the merged entry).
const ClassInfo* classOf(unsigned ns, unsigned cls);

}  // namespace tkxml::detail
