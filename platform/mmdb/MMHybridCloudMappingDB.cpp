// Media-management table access: hybrid-cloud mappings.
#include "platform/mmdb/MMHybridCloudMappingDB.h"

#include "platform/db/DBSession.h"
#include "platform/db/DBtable.h"
#include "platform/mmdb/MMLayouts.h"

int MMHybridCloudMappingDB::getInfoByCloudLibId(int cloudLibraryId, MMHybridCloudMapping_t& row, DBtran* tran) {
  static constexpr const char* kTag = "MMHybridCloudMappingDB::getInfoByCloudLibId";
  if (!beginCall(kTag, cloudLibraryId, mmTranText(tran))) return -1;
  return readOne(kTag, tkmmdb::hybridCloudLayout(), "\"CloudLibraryId\" = ?", {cloudLibraryId}, &row, tran,
                 "Cloud library [" + std::to_string(cloudLibraryId) + "] has no hybrid-cloud mapping.");
}

int MMHybridCloudMappingDB::deleteHybridCloudMappingByDiskLib(int diskLibraryId, DBtran* tran) {
  static constexpr const char* kTag = "MMHybridCloudMappingDB::deleteHybridCloudMappingByDiskLib";
  if (!beginCall(kTag, diskLibraryId, mmTranText(tran))) return -1;
  tkdb::Session session(tran);
  int rc = session.exec("DELETE FROM \"MMHybridCloudMapping\" WHERE \"DiskLibraryId\" = ?", {diskLibraryId});
  if (rc != DB_OK) return failDatabase(kTag, rc, session, "Could not delete the hybrid-cloud mappings of a library");
  return 0;
}
