// Binding of the table archTask: one row per task that a storage-policy
// copy points to (archGroupCopy.sealStoreTaskId). The disk-library setup
// wizard inserts one all-zero row as the rule that seals a copy's
// deduplication store, then reads the id the insert assigned:
//
//   ArchTask task(nullptr);
//   ArchTask_t row;                  // integers 0, date-times cleared
//   task.setValues(&row);
//   if (task.rowInsert(true) == 0) newId = task.getDataPtr()->id;
//
// The row owns nothing on the heap and keeps its field-by-field assignment
// (date-times through DB_DATETIME's, which does not carry the text form).
//
// Also here: ArchDeleteBackupByMedia_t, the record of one backup that the
// media table access removed with old media.
#pragma once

#include "Db/ZQDBBinding.h"

#define ARCHTASK_COLUMNS(COL) \
  COL(id, i, 0)               \
  COL(type, i, 0)             \
  COL(flags, i, 0)            \
  COL(active, i, 0)           \
  COL(periodType, i, 0)       \
  COL(numPeriod, i, 0)        \
  COL(dayNumber, i, 0)        \
  COL(dataSizeGB, b, 0)       \
  COL(lastEvent, t, 0)        \
  COL(nextEvent, t, 0)        \
  COL(percentCorruptLimit, i, 0)

inline constexpr ZQDBBindingInfo ArchTask_info{.headerType = ZQDB_HEADER_TABLE,
                                               .dbName = "archTask",
                                               .className = "ArchTask",
                                               .version = "1.3.2.1",
                                               .primaryKey = "id",
                                               .serial = "id",
                                               .header = "Db/Tbl/archTask",
                                               .line = __LINE__};

struct ArchTask_t {
  ARCHTASK_COLUMNS(ZQDB_FIELD)
  ZQDB_ROW_WITH_ASSIGN(ArchTask_t, ARCHTASK_COLUMNS)
};

class ArchTask_t2 : public ZQDBCatalogue<ArchTask_t2, ArchTask_t, ArchTask_info> {
 public:
  ArchTask_t2() = default;
  ArchTask_t2(const ArchTask_t2&) = delete;
  ArchTask_t2& operator=(const ArchTask_t2&) = delete;
};

class ArchTask : public ZQDBTable<ArchTask_t, ArchTask_t2, ArchTask_info> {
 public:
  explicit ArchTask(DBtran* tran) : ZQDBTable(tran) {}
  // Copies a whole row into the embedded row (the way to fill it before
  // rowInsert); a null row changes nothing.
  void setValues(ArchTask_t* row) {
    if (row != nullptr) *getDataPtr() = *row;
  }
};

ZQDB_REGISTER_SCHEMA(ArchTask_t, ArchTask_info);

// One backup that MMMediaDB::deleteAllBackupsFromOldMedia removed: five
// 32-bit values, the first the backup's job id. The mount-path content
// deletion copies all five, in order, into its deleted-job records; the
// system never makes or changes one itself.
struct ArchDeleteBackupByMedia_t {
  int jobId = 0;
  int appId = 0;
  int archGroupId = 0;
  int copyId = 0;
  int mediaId = 0;
};
