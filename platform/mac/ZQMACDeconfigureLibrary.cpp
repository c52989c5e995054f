// ZQMACMediaConfig::DeconfigureLibrary: a whole library leaves the
// configuration with its controllers, pools and drives. Journaled
// ("DeconfigureLibrary": media agent, library) and failable like the
// model's other calls (platform/testkit/mac.h).
//
// The library is the one stored under the id when one is given (its name
// then only serves the texts), else the one the name reaches
// (ZQMACGraph::FindLibrary); neither given names none.
//
// A disk library goes only once its mount paths are gone (they hold
// backup data; deleting them is the mount-path deletion's work): while one
// remains nothing is removed.
#include <string>

#include "frame/mac/ZQMACObjects.h"
#include "platform/mac/ZQMACGraph.h"
#include "platform/mac/ZQMACPlatform.h"
#include "platform/mmdb/MMMountPathDB.h"

bool ZQMACMediaConfig::DeconfigureLibrary(const std::string& mediaAgentName, const std::string& libraryName,
                                          int libraryId) {
  // Not an instance-wide change: what goes, goes with its rows
  // (DeleteObject), so the graph can still be handed over.
  tkmac::journal().record("DeconfigureLibrary", mediaAgentName, libraryName);
  if (tkmac::failedUntouched(*this, "DeconfigureLibrary")) return false;
  // An empty name names no library, not one stored with an empty name:
  // such a library goes by its id alone.
  if (libraryId <= 0 && libraryName.empty()) {
    SetLastError(tkmac::kErrorInvalidValue, "No library to deconfigure was named: give its id or its name.");
    return false;
  }
  std::string refusal;
  auto find = [&]() {
    return libraryId > 0 ? ZQMACGraph::FindLibraryById(*this, libraryId)
                         : ZQMACGraph::FindLibrary(*this, libraryName, &refusal);
  };
  ZQMACInterface* library = find();
  // An instance that has not read the configuration yet reads it now.
  if (library == nullptr && !m_bDatabaseBacked) {
    if (!ReadCurrentConfig(false)) return false;
    library = find();
  }
  if (library == nullptr) {
    SetLastError(refusal.empty() ? tkmac::kErrorObjectGone : tkmac::kErrorNameInUse,
                 refusal.empty() ? "Library [" + libraryName + "] is not configured." : refusal);
    return false;
  }
  if (auto* disk = dynamic_cast<ZQMACMagLib*>(library)) {
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
