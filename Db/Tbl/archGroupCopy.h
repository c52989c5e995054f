// Binding of the table archGroupCopy: one row per copy of a storage policy,
// pointing back at its policy (archGroupId), at its calendar and at the task
// that seals its deduplication store (sealStoreTaskId).
//
// The disk-library setup wizard ORs deduplication bits into a copy and
// stores the id of the new seal-store task with one update
// ("dedupeFlags = (dedupeFlags | %d), sealStoreTaskId = %d"); the row is
// never read or inserted through the binding. The row owns its description
// on the heap, so neither the row nor its catalogue can be copied.
#pragma once

#include "Db/ZQDBBinding.h"

#define ARCHGROUPCOPY_COLUMNS(COL)                 \
  COL(id, i, 0)                                    \
  COL(archGroupId, i, 0)                           \
  COL(copy, i, 0)                                  \
  COL(name, u, 257)                                \
  COL(flags, i, 0)                                 \
  COL(maxMultiplex, i, 0)                          \
  COL(isActive, i, 0)                              \
  COL(type, i, 0)                                  \
  COL(startTime, x, 0)                             \
  COL(waitForIfOffline, i, 0)                      \
  COL(waitForIfBusy, i, 0)                         \
  COL(archCheckStartTime, x, 0)                    \
  COL(origTFtarnfoldID, i, 0)                      \
  COL(origTFarchCopyId, i, 0)                      \
  COL(sourceCopyId, i, 0)                          \
  COL(delayedDays, i, 0)                           \
  COL(maxStreamNum, i, 0)                          \
  COL(archCheckValidPeriod, i, 0)                  \
  COL(calendarId, i, 0)                            \
  COL(SIDBStoreId, i, 0)                           \
  COL(encType, i, 0)                               \
  COL(encKeyLen, i, 0)                             \
  COL(isSnapCopy, i, 0)                            \
  COL(isMirrorCopy, i, 0)                          \
  COL(NWWriteSpeed, i, 0)                          \
  COL(SIDBSnapIntervalHours, i, 0)                 \
  COL(siloAppId, i, 0)                             \
  COL(nDataInstance, i, 0)                         \
  COL(description, u, 0)                           \
  COL(dedupeFlags, i, 0)                           \
  COL(blockCacheValidDays, i, 0)                   \
  COL(nSiloStreams, i, 0)                          \
  COL(silosInCache, i, 0)                          \
  COL(siloRestoreMAClientId, i, 0)                 \
  COL(siloRestoreClientId, i, 0)                   \
  COL(sealStoreTaskId, i, 0)                       \
  COL(extendedFlags, b, 0)                         \
  COL(destMediaCopyId, i, 0)                       \
  COL(maxCacheDBSizeMB, i, 0)                      \
  COL(DDBLimitExtensionTimeStamp, i, 0)            \
  COL(DDBLimitExtensionTimeStampEncrypted, s, 2049) \
  COL(archCheckValidPeriodType, i, 0)              \
  COL(endTime, x, 0)

inline constexpr ZQDBBindingInfo ArchGroupCopy_info{
    .headerType = ZQDB_HEADER_TABLE,
    .dbName = "archGroupCopy",
    .className = "ArchGroupCopy",
    .version = "1.66.54.5",
    .primaryKey = "id",
    .serial = "id",
    .foreignKeys = "archGroup: archGroupId = id; APP_CustomCalendar: calendarId = id; archTask: sealStoreTaskId = id",
    .header = "Db/Tbl/archGroupCopy",
    .line = __LINE__};

struct ArchGroupCopy_t {
  ARCHGROUPCOPY_COLUMNS(ZQDB_FIELD)
  ZQDB_ROW(ArchGroupCopy_t, ARCHGROUPCOPY_COLUMNS)
};

class ArchGroupCopy_t2 : public ZQDBCatalogue<ArchGroupCopy_t2, ArchGroupCopy_t, ArchGroupCopy_info> {
 public:
  ArchGroupCopy_t2() = default;
  ArchGroupCopy_t2(const ArchGroupCopy_t2&) = delete;
  ArchGroupCopy_t2& operator=(const ArchGroupCopy_t2&) = delete;
};

class ArchGroupCopy : public ZQDBTable<ArchGroupCopy_t, ArchGroupCopy_t2, ArchGroupCopy_info> {
 public:
  explicit ArchGroupCopy(DBtran* tran) : ZQDBTable(tran) {}
};

ZQDB_REGISTER_SCHEMA(ArchGroupCopy_t, ArchGroupCopy_info);
