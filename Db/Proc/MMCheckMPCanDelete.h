// Binding of the stored procedure MMCheckMPCanDelete: whether a disk mount
// path may simply be deleted (o_errorCode 0) or needs a forced deletion
// (o_errorCode above 0, whose bits say what has to happen first), with the
// reason in the language of the locale passed, the jobs concerned and the
// deduplication stores (DDBs) that reference the mount path. The mount-path
// check of the forced deletion and of the deletability request runs it:
//
//   int code = 0;
//   std::string text, storeList;
//   if (checkMountPathCanDelete(mountPathId, libraryId, localeId, code, text, storeList) != 0)
//     ... 261: "Failed to check the mountpath[%d] can delete. Error : [%d, %s]." with `text` ...
//   if (code != 0) ... "needs force delete confirmation"; bits 2 and 1 of `code` steer the pre-phase ...
//
// The three texts are heap texts of the row: null until the database
// fills them, released when the row is refilled or destroyed. The row is
// never copied.
//
// The body is the database's (platform/db/procs/MMCheckMPCanDelete.cpp).
#pragma once

#include <string>

#include "Db/ZQDBProcBinding.h"
#include "platform/mmdb/ZQMMRecords.h"

#define MMCHECKMPCANDELETE_COLUMNS(COL) \
  COL(o_errorCode, i, 0)                \
  COL(o_errorString, s, 0)              \
  COL(o_JobsListXML, s, 0)              \
  COL(o_SIDBListXML, s, 0)

inline constexpr ZQDBBindingInfo MMCheckMPCanDelete_info{.headerType = ZQDB_HEADER_PROCEDURE,
                                                         .dbName = "MMCheckMPCanDelete",
                                                         .className = "MMCheckMPCanDelete",
                                                         .version = "00010001000200070000",
                                                         .header = "Db/Proc/MMCheckMPCanDelete",
                                                         .line = 474};

struct MMCheckMPCanDelete_t {
  MMCHECKMPCANDELETE_COLUMNS(ZQDB_FIELD)
  ZQDB_ROW(MMCheckMPCanDelete_t, MMCHECKMPCANDELETE_COLUMNS)
};

class MMCheckMPCanDelete_t2
    : public ZQDBCatalogue<MMCheckMPCanDelete_t2, MMCheckMPCanDelete_t, MMCheckMPCanDelete_info> {
 public:
  MMCheckMPCanDelete_t2() = default;
  MMCheckMPCanDelete_t2(const MMCheckMPCanDelete_t2&) = delete;
  MMCheckMPCanDelete_t2& operator=(const MMCheckMPCanDelete_t2&) = delete;
};

class MMCheckMPCanDelete
    : public ZQDBProcBinding<MMCheckMPCanDelete_t, MMCheckMPCanDelete_t2, MMCheckMPCanDelete_info> {
 public:
  explicit MMCheckMPCanDelete(DBtran* tran) : ZQDBProcBinding(tran) {}
  // (mount-path id, library id, locale id). Text mode: "%d,%d,%d" after a
  // size check of 44.
  void setValues(int mountPathId, int libraryId, int localeId) { bindInputs(mountPathId, libraryId, localeId); }
  void setZQDBValues(ZQDB_int* mountPathId, ZQDB_int* libraryId, ZQDB_int* localeId) {
    bindValues(mountPathId, libraryId, localeId);
  }
};

// --- what the callers make of the result ---------------------------------------------

// Bits of o_errorCode. The forced deletion acts on the first two.
inline constexpr int kMountPathNoPhysicalCleanup = 1;  // clear: record the mount path for physical cleanup
inline constexpr int kMountPathContentToDelete = 2;    // delete the backups on it first
inline constexpr int kMountPathDDBReferences = 4;      // deduplication stores reference it
inline constexpr int kMountPathRunningJobs = 8;        // jobs still run on it

// What the check returns when the procedure gave no row or failed.
inline constexpr int kMountPathCheckFailed = 261;

// The reason as the check hands it on: through a buffer of 2,048 bytes, so
// at most 2,047 characters (cut on a character boundary, always
// terminated); a null text reads as the empty text.
inline std::string mountPathCheckReason(const char* text) {
  char buffer[2048];
  MMCopyText(buffer, text);
  return std::string(buffer);
}

// Runs the check (no transaction). `code` is set to 0 first. No row or a
// database error: `text` gets the engine's text of the result and the
// check returns 261. A row with o_errorCode 0: returns 0, and `text` and
// `storeList` stay as they were. A row with o_errorCode above 0: `code`
// and `text` take code and reason, `storeList` takes o_SIDBListXML whole
// when it is not null (it goes on to MMInsertDeletedMPToDDB unchanged), and
// the check returns 0.
inline int checkMountPathCanDelete(int mountPathId, int libraryId, int localeId, int& code, std::string& text,
                                   std::string& storeList, int* fetchResult = nullptr) {
  code = 0;
  MMCheckMPCanDelete proc(nullptr);
  proc.setValues(mountPathId, libraryId, localeId);
  int result = getOneRow(&proc, false, -1, 0);
  if (fetchResult != nullptr) *fetchResult = result;
  if (result != 0) {
    text = DBtable::getErrorStr(result);
    return kMountPathCheckFailed;
  }
  const MMCheckMPCanDelete_t& row = *proc.getDataPtr();
  if (row.o_errorCode != 0) {
    code = row.o_errorCode;
    text = mountPathCheckReason(row.o_errorString);
    if (row.o_SIDBListXML != nullptr) storeList = row.o_SIDBListXML;
  }
  return 0;
}
