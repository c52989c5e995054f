// Binding of the table TM_AssocEntity: each row ties one task (taskId, a row
// of TM_Task) to the entity that it covers, named by id columns at the
// levels of the entity tree (client group, client, application type,
// instance, backup set, subclient, policy, copy, media agent, library, ...).
// The task manager writes it; the system only reads it, to learn whether a
// replication subclient is covered by a scheduled task:
//
//   int result = 0;
//   switch (subclientCoverage(subclientId, &result)) {
//     case SubclientCoverage::Covered: ...
//     case SubclientCoverage::NotCovered: ...
//     case SubclientCoverage::Error: ... DBtable::getErrorStr(result) ...
//   }
//
// Task 1 does not count as a schedule.
#pragma once

#include "Db/ZQDBProcBinding.h"

#define TM_ASSOCENTITY_COLUMNS(COL) \
  COL(assocId, i, 0)                \
  COL(assocType, i, 0)              \
  COL(taskId, i, 0)                 \
  COL(flags, i, 0)                  \
  COL(created, i, 0)                \
  COL(clientGroupId, i, 0)          \
  COL(clientId, i, 0)               \
  COL(apptypeId, i, 0)              \
  COL(instanceId, i, 0)             \
  COL(backupsetId, i, 0)            \
  COL(subclientId, i, 0)            \
  COL(policyId, i, 0)               \
  COL(copyId, i, 0)                 \
  COL(srmReportSet, i, 0)           \
  COL(srmReportType, i, 0)          \
  COL(exclude, i, 0)                \
  COL(trackingPolicyId, i, 0)       \
  COL(MediaAgentId, i, 0)           \
  COL(agentlessPolicyId, i, 0)      \
  COL(workflowId, i, 0)             \
  COL(sidbStoreId, i, 0)            \
  COL(libraryId, i, 0)              \
  COL(logMonitoringPolicyId, i, 0)  \
  COL(entityId, i, 0)

inline constexpr ZQDBBindingInfo TM_AssocEntity_info{.headerType = ZQDB_HEADER_TABLE,
                                                     .dbName = "TM_AssocEntity",
                                                     .className = "TM_AssocEntity",
                                                     .version = "1.9.2.3",
                                                     .primaryKey = "assocId",
                                                     .serial = "assocId",
                                                     .foreignKeys = "TM_Task: taskId = taskId",
                                                     .header = "Db/Tbl/TM_AssocEntity",
                                                     .line = __LINE__};

struct TM_AssocEntity_t {
  TM_ASSOCENTITY_COLUMNS(ZQDB_FIELD)
  ZQDB_ROW(TM_AssocEntity_t, TM_ASSOCENTITY_COLUMNS)
};

class TM_AssocEntity_t2 : public ZQDBCatalogue<TM_AssocEntity_t2, TM_AssocEntity_t, TM_AssocEntity_info> {
 public:
  TM_AssocEntity_t2() = default;
  TM_AssocEntity_t2(const TM_AssocEntity_t2&) = delete;
  TM_AssocEntity_t2& operator=(const TM_AssocEntity_t2&) = delete;
};

class TM_AssocEntity : public ZQDBTable<TM_AssocEntity_t, TM_AssocEntity_t2, TM_AssocEntity_info> {
 public:
  explicit TM_AssocEntity(DBtran* tran) : ZQDBTable(tran) {}
};

ZQDB_REGISTER_SCHEMA(TM_AssocEntity_t, TM_AssocEntity_info);

// --- what the callers make of the result ---------------------------------------------

enum class SubclientCoverage {
  Covered,     // a row exists (0, or 1004): a task other than task 1 covers the subclient
  NotCovered,  // 100: no row
  Error,       // anything else: the check fails
};

constexpr SubclientCoverage subclientCoverageOf(int result) {
  return result == 0 || result == 1004 ? SubclientCoverage::Covered
         : result == DB_NO_ROW               ? SubclientCoverage::NotCovered
                                       : SubclientCoverage::Error;
}

// Asks whether a task other than task 1 covers the subclient (no
// transaction); `result` gets getOneRow's answer.
inline SubclientCoverage subclientCoverage(int subclientId, int* result = nullptr) {
  TM_AssocEntity assoc(nullptr);
  assoc.setWhere("subclientId=%d and taskId <> 1", subclientId);
  int code = getOneRow(&assoc, false, -1, 0);
  if (result != nullptr) *result = code;
  return subclientCoverageOf(code);
}
