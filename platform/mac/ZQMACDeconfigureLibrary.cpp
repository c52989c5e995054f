// ZQMACMediaConfig::DeconfigureLibrary: a whole library leaves the
// configuration with its controllers, pools and drives. Journaled
// ("DeconfigureLibrary": media agent, library) and failable like the
// model's other calls (platform/testkit/mac.h).
//
// A disk library goes only once its mount paths are gone (they hold
// backup data; deleting them is the mount-path deletion's work): while one
// remains nothing is removed.
#include <strings.h>

#include <cstddef>
#include <string>
#include <vector>

#include "frame/mac/ZQMACObjects.h"
#include "platform/mac/ZQMACGraph.h"
#include "platform/mac/ZQMACPlatform.h"
#include "platform/mmdb/MMLibraryDB.h"
#include "platform/mmdb/MMMountPathDB.h"

namespace {

// The element named `name` as libraries are looked up by name everywhere
// (tkmmdb::libraryByName): the one spelled so, else the only one named so
// without regard to letter case; null when none is, or two or more are
// only in other cases.
template <class T>
T* findByName(const ZQMACLinkedList<T>& list, const std::string& name) {
  std::vector<T*> found;
  std::vector<std::string> names;
  list.ForEachNode([&](T* e) {
    if (strcasecmp(e->GetName().c_str(), name.c_str()) != 0) return;
    found.push_back(e);
    names.push_back(e->GetName());
  });
  std::string refusal;
  const int chosen = tkmmdb::libraryByName(name, names, refusal);
  return chosen >= 0 ? found[static_cast<std::size_t>(chosen)] : nullptr;
}

}  // namespace

bool ZQMACMediaConfig::DeconfigureLibrary(const std::string& mediaAgentName, const std::string& libraryName) {
  // Not an instance-wide change: what goes, goes with its rows
  // (DeleteObject), so the graph can still be handed over.
  tkmac::journal().record("DeconfigureLibrary", mediaAgentName, libraryName);
  if (tkmac::failedUntouched(*this, "DeconfigureLibrary")) return false;
  ZQMACMagLib* disk = nullptr;
  auto find = [&]() -> ZQMACInterface* {
    disk = ZQMACGraph::FindMagLib(*this, libraryName, false);
    if (disk != nullptr) return disk;
    return findByName(m_lmsList, libraryName);
  };
  ZQMACInterface* library = find();
  // An instance that has not read the configuration yet reads it now.
  if (library == nullptr && !m_bDatabaseBacked) {
    if (!ReadCurrentConfig(false)) return false;
    library = find();
  }
  if (library == nullptr) {
    SetLastError(tkmac::kErrorObjectGone, "Library [" + libraryName + "] is not configured.");
    return false;
  }
  if (disk != nullptr) {
    // The database knows best for an instance it backs: its graph may hold
    // mount paths that the table access removed since it was read.
    int remaining = disk->GetMountPathList().GetFirstNode() != nullptr ? 1 : 0;
    if (m_bDatabaseBacked) {
      MMMountPathDB mountPaths;
      if (mountPaths.getMountPathCountForLibrary(static_cast<int>(disk->GetId()), remaining) != 0) {
        char error[1024];
        SetLastError(tkmac::kErrorDatabase, mountPaths.getLastError(error, sizeof error));
        return false;
      }
    }
    if (remaining > 0) {
      SetLastError(tkmac::kErrorMountPathsRemain,
                   "Library [" + libraryName + "] still has mount paths; delete them first.");
      return false;
    }
  }
  return DeleteObject(library);
}
