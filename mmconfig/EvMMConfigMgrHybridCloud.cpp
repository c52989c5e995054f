// The hybrid-cloud association check: before a disk library is taken
// away, the cloud libraries that keep cached deduplication metadata on it
// are looked up in the database (procedure MMGetHybridCloudAssociations,
// no transaction). The control request's removals and the storage-library
// request refuse the change while there are any.
#include <string>

#include "Db/Proc/MMGetHybridCloudAssociations.h"
#include "frame/EvMMConfigMgr.h"

bool EvMMConfigMgr::checkForHybridCloudAssociations(unsigned long libraryId, bool& associated,
                                                    std::string& libraries, std::string& error) {
  return collectHybridCloudAssociations(libraryId, associated, libraries, error);
}
