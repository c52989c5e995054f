// Binding of the stored procedure MMInsertDeletedMPToPhysicalCleanup:
// inside the pre-phase transaction of a forced deletion, registers the
// mount path for the physical cleanup of its storage. o_ErrorCode 0 means
// registered; the caller treats any other value like a database error and
// rolls the pre-phase back:
//
//   int error = 0;
//   if (registerMountPathForPhysicalCleanup(mountPathId, tran, &error) != 0)
//     ... "Failed to add deleting mountpath to physical cleanup ...", error, DBtable::getErrorStr(error) ...
//
// The body is the database's (platform/db/procs/MMInsertDeletedMPToPhysicalCleanup.cpp).
#pragma once

#include "Db/Proc/MMInsertDeletedMPToDDB.h"
#include "Db/ZQDBProcBinding.h"

#define MMINSERTDELETEDMPTOPHYSICALCLEANUP_COLUMNS(COL) COL(o_ErrorCode, i, 0)

inline constexpr ZQDBBindingInfo MMInsertDeletedMPToPhysicalCleanup_info{
    .headerType = ZQDB_HEADER_PROCEDURE,
    .dbName = "MMInsertDeletedMPToPhysicalCleanup",
    .className = "MMInsertDeletedMPToPhysicalCleanup",
    .version = "00010001000200070000",
    .header = "Db/Proc/MMInsertDeletedMPToPhysicalCleanup",
    .line = 369};

struct MMInsertDeletedMPToPhysicalCleanup_t {
  MMINSERTDELETEDMPTOPHYSICALCLEANUP_COLUMNS(ZQDB_FIELD)
  ZQDB_ROW(MMInsertDeletedMPToPhysicalCleanup_t, MMINSERTDELETEDMPTOPHYSICALCLEANUP_COLUMNS)
};

class MMInsertDeletedMPToPhysicalCleanup_t2
    : public ZQDBCatalogue<MMInsertDeletedMPToPhysicalCleanup_t2, MMInsertDeletedMPToPhysicalCleanup_t,
                           MMInsertDeletedMPToPhysicalCleanup_info> {
 public:
  MMInsertDeletedMPToPhysicalCleanup_t2() = default;
  MMInsertDeletedMPToPhysicalCleanup_t2(const MMInsertDeletedMPToPhysicalCleanup_t2&) = delete;
  MMInsertDeletedMPToPhysicalCleanup_t2& operator=(const MMInsertDeletedMPToPhysicalCleanup_t2&) = delete;
};

class MMInsertDeletedMPToPhysicalCleanup
    : public ZQDBProcBinding<MMInsertDeletedMPToPhysicalCleanup_t, MMInsertDeletedMPToPhysicalCleanup_t2,
                             MMInsertDeletedMPToPhysicalCleanup_info> {
 public:
  explicit MMInsertDeletedMPToPhysicalCleanup(DBtran* tran) : ZQDBProcBinding(tran) {}
  // (mount-path id). Text mode: "%d" after a size check of 14.
  void setValues(int mountPathId) { bindInputs(mountPathId); }
  void setZQDBValues(ZQDB_int* mountPathId) { bindValues(mountPathId); }
};

// --- what the callers make of the result ---------------------------------------------

// Registers the mount path in the deletion's transaction (the object
// registers in it). Returns 0, or 261 with `error` set to the code whose
// text DBtable::getErrorStr gives.
inline int registerMountPathForPhysicalCleanup(int mountPathId, DBtran& tran, int* error = nullptr) {
  MMInsertDeletedMPToPhysicalCleanup proc(&tran);
  proc.setValues(mountPathId);
  int result = getOneRow(&proc, false, -1, 0);
  int code = deletedMountPathRecordError(result, result == 0 ? proc.getDataPtr()->o_ErrorCode : 0);
  if (error != nullptr) *error = code;
  return code == 0 ? 0 : kDeletedMountPathRecordFailed;
}
