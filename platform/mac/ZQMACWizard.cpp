// The object model's calls behind the disk-library setup wizard: the shown
// test of a disk library, and the storage policy a library made by the
// wizard is stored with.
#include <string>

#include "frame/mac/ZQMACObjects.h"
#include "platform/archivemgr/ArchiveManagerTK.h"
#include "platform/mac/ZQMACPlatform.h"
#include "platform/mmdb/MMMediaConfigDB.h"

bool ZQMACMagLib::IsShown() {
  return m_bShownFlag && (m_pMediaAgent == nullptr || m_pMediaAgent->IsShown());
}

namespace tkmac {

bool createLibraryStoragePolicy(ZQMACMagLib& library, int libraryId, const std::string& name) {
  const ZQMACMediaAgent* agent = library.GetMediaAgent();
  const int agentId = agent != nullptr ? static_cast<int>(agent->GetId()) : 0;
  ArchiveManagerTK archive(nullptr);
  int policy = 0;
  std::string error;
  const int rc = archive.CreateStoragePolicyForLibrary(libraryId, name, agentId, nullptr, policy, error);
  if (rc == 0) return true;
  library.SetLastError(kErrorDatabase, error);
  MMMediaConfigDB().removeObject(MMStoredKind::Library, libraryId);
  return false;
}

}  // namespace tkmac
