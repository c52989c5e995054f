// The installation-directory guard: a disk mount path may not lie inside the
// software's installation directory on its media agent. Used wherever a
// request configures a folder on a media agent (storage libraries, device
// paths, replication stores), so that all of them refuse alike.
//
//   const unsigned long refusal = tkezconfig::installDirectoryRefusal(tag, agentId, startTime, folder);
//   if (refusal != 0) { ... answer code -1 with catalogue text `refusal` ... }
#pragma once

#include <string>

namespace tkezconfig {

// Catalogue texts of the guard's refusals.
inline constexpr unsigned long kTextInstallDirectoryUnknown = 0x2300093D;
inline constexpr unsigned long kTextInsideInstallDirectory = 0x2300093C;

// True when `folder` lies inside `directory` (or is it): unless the
// directory ends with a slash or a backslash or is exactly as long as the
// folder, a separator is appended to it (a backslash if it holds one, else
// a slash if it holds one, else nothing); then, with both lower-cased byte
// by byte, the folder begins with the directory.
bool isInsideInstallDirectory(const std::string& directory, const std::string& folder);

// Asks the adapters for the installation directory of the media agent
// (kind 2, at `startTime`) and checks `folder` against it. 0 when the
// folder may be used; kTextInstallDirectoryUnknown when the lookup fails or
// finds an empty directory; kTextInsideInstallDirectory when the folder
// lies inside it. Each refusal is logged under `tag`.
unsigned long installDirectoryRefusal(const char* tag, unsigned long mediaAgentId, long startTime,
                                      const std::string& folder);

}  // namespace tkezconfig
