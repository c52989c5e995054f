// The platform side of the media-configuration object model: where a
// configuration is loaded from, the journal of the model's calls, and the
// process-wide handle counter.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/journal/Journal.h"

class ZQMACMediaConfig;

namespace tkmac {

// Loads the graph of an initialised instance (ReadCurrentConfig). Returns
// false with the reason set as the instance's last error. The instance may
// already hold objects: a loader that re-reads clears them first
// (ZQMACMediaConfig::ClearObjects).
using ConfigLoader = std::function<bool(ZQMACMediaConfig& config, bool refresh)>;

// Installs the configuration source; returns the one it replaces. Without an
// installed loader (null restores that), ReadCurrentConfig loads from the
// central database (loadFromDatabase).
ConfigLoader setConfigLoader(ConfigLoader loader);

// The default source: the stored configuration, laid over the instance's
// graph (objects still stored keep their handles), and the instance
// becomes database-backed (platform/mac/ZQMACDbLoader.cpp).
bool loadFromDatabase(ZQMACMediaConfig& config, bool refresh);
// Whether a stored library type id is one of a disk library.
bool isDiskLibraryTypeId(int libraryTypeId);

// Fills an empty central database with the demonstration installation
// (platform/mac/ZQMACDbSeed.cpp): the number of objects made (0 when the
// database already held a configuration), or -1; `report` says what was
// made, or why it failed.
int seedDemoInstallation(std::string& report);

// Calls of the model that tests script and read: "Initialize" (installation
// name), "ReadCurrentConfig" (refresh flag), "SetEvDebugFile" (name). A
// failure injected into one of them makes the next call fail with its code
// and text as the instance's last error.
tkjournal::Journal& journal();

// Last-error codes of the model's own failures.
inline constexpr unsigned int kErrorNoInstallationName = 0x1F000002;
inline constexpr unsigned int kErrorAdoptRefused = 0x1F000003;
inline constexpr unsigned int kErrorInvalidName = 0x1F000004;
// The central database refused a read or a change.
inline constexpr unsigned int kErrorDatabase = 0x1F000005;
// The object's row is no longer in the database.
inline constexpr unsigned int kErrorObjectGone = 0x1F000006;
// The object was never stored, so the database cannot take its change.
inline constexpr unsigned int kErrorNotStored = 0x1F000007;

// The next handle the process will give out (0 once all are used up). Tests
// only: moving it backwards would hand out a handle twice.
uint32_t peekNextHandle();
// Takes `count` consecutive handles for a loader that makes many objects at
// once: the first of them, or 0 (none taken) when fewer are left.
uint32_t takeHandles(uint32_t count);
// Gives back the unused end [from, end) of a block of takeHandles, when no
// handle was taken since (otherwise they stay unused: never given twice).
void returnHandles(uint32_t from, uint64_t end);
void setNextHandle(uint32_t next);

}  // namespace tkmac
