// ZQMACMediaConfig::DeconfigureLibrary: a whole library leaves the
// configuration. Journaled ("DeconfigureLibrary": media agent, library) and
// failable like the model's other calls (platform/testkit/mac.h).
#include <string>

#include "frame/mac/ZQMACObjects.h"
#include "platform/mac/ZQMACPlatform.h"

bool ZQMACMediaConfig::DeconfigureLibrary(const std::string& mediaAgentName, const std::string& libraryName) {
  tkmac::journal().record("DeconfigureLibrary", mediaAgentName, libraryName);
  if (tkmac::failed(*this, "DeconfigureLibrary")) return false;
  auto find = [&]() -> ZQMACInterface* {
    ZQMACInterface* found = m_magLibList.FindNode(libraryName.c_str());
    return found != nullptr ? found : m_lmsList.FindNode(libraryName.c_str());
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
  return DeleteObject(library);
}
