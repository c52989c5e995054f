// Binding of the stored procedure MMInsertDeletedMPToDDB: inside the
// pre-phase transaction of a forced deletion, records the mount path
// against the deduplication stores (DDBs) listed by MMCheckMPCanDelete
// (o_SIDBListXML, passed on unchanged), so that they are marked, and
// removes their references from the mount path's volumes. o_ErrorCode 0
// means recorded; the caller treats any other value like a database error
// and rolls the pre-phase back:
//
//   int error = 0;
//   if (markDeletedMountPathInDDBs(mountPathId, storeList, tran, &error) != 0)
//     ... "Failed to add deleting mountpath to DDB association ...", error, DBtable::getErrorStr(error) ...
//
// The list is a text input: in the text mode it stands between single
// quotes in the values clause with every quote in it doubled, so any list
// reaches the procedure exactly as it was read.
//
// The body is the database's (platform/db/procs/MMInsertDeletedMPToDDB.cpp).
#pragma once

#include <string>

#include "Db/ZQDBProcBinding.h"

#define MMINSERTDELETEDMPTODDB_COLUMNS(COL) COL(o_ErrorCode, i, 0)

inline constexpr ZQDBBindingInfo MMInsertDeletedMPToDDB_info{.headerType = ZQDB_HEADER_PROCEDURE,
                                                             .dbName = "MMInsertDeletedMPToDDB",
                                                             .className = "MMInsertDeletedMPToDDB",
                                                             .version = "00010001000200020000",
                                                             .header = "Db/Proc/MMInsertDeletedMPToDDB",
                                                             .line = 364};

struct MMInsertDeletedMPToDDB_t {
  MMINSERTDELETEDMPTODDB_COLUMNS(ZQDB_FIELD)
  ZQDB_ROW(MMInsertDeletedMPToDDB_t, MMINSERTDELETEDMPTODDB_COLUMNS)
};

class MMInsertDeletedMPToDDB_t2
    : public ZQDBCatalogue<MMInsertDeletedMPToDDB_t2, MMInsertDeletedMPToDDB_t, MMInsertDeletedMPToDDB_info> {
 public:
  MMInsertDeletedMPToDDB_t2() = default;
  MMInsertDeletedMPToDDB_t2(const MMInsertDeletedMPToDDB_t2&) = delete;
  MMInsertDeletedMPToDDB_t2& operator=(const MMInsertDeletedMPToDDB_t2&) = delete;
};

class MMInsertDeletedMPToDDB
    : public ZQDBProcBinding<MMInsertDeletedMPToDDB_t, MMInsertDeletedMPToDDB_t2, MMInsertDeletedMPToDDB_info> {
 public:
  explicit MMInsertDeletedMPToDDB(DBtran* tran) : ZQDBProcBinding(tran) {}
  // (mount-path id, list of deduplication stores). Text mode: "%d,'%s'"
  // after a size check of 19 plus the escaped length of the list.
  void setValues(int mountPathId, const char* storeList) { bindInputs(mountPathId, storeList); }
  void setZQDBValues(ZQDB_int* mountPathId, ZQDB_string* storeList) { bindValues(mountPathId, storeList); }
};

// --- what the callers make of the result ---------------------------------------------

// The code of a run of either insert procedure: getOneRow's result when
// it is not 0 (no row included), else the row's o_ErrorCode. 0 = recorded.
inline int deletedMountPathRecordError(int result, int errorCode) { return result != 0 ? result : errorCode; }

// What the pre-phase steps return when the record could not be made.
inline constexpr int kDeletedMountPathRecordFailed = 261;

// Records the mount path against the stores in the deletion's transaction
// (the object registers in it). Returns 0, or 261 with `error` set to the
// code whose text DBtable::getErrorStr gives.
inline int markDeletedMountPathInDDBs(int mountPathId, const std::string& storeList, DBtran& tran,
                                      int* error = nullptr) {
  MMInsertDeletedMPToDDB proc(&tran);
  proc.setValues(mountPathId, storeList.c_str());
  int result = getOneRow(&proc, false, -1, 0);
  int code = deletedMountPathRecordError(result, result == 0 ? proc.getDataPtr()->o_ErrorCode : 0);
  if (error != nullptr) *error = code;
  return code == 0 ? 0 : kDeletedMountPathRecordFailed;
}
