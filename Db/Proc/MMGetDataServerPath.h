// Binding of the stored procedure MMGetDataServerPath: the data-server path
// of a device path (device controller), shown in the audit record of a
// changed device path whose own folder is empty:
//
//   std::string path;
//   int result = dataServerPathOf(deviceControllerId, path);
//   if (!dataServerPathRead(result)) ... "DB query to get the data server path information ..." ...
//   if (path.empty()) ... the text of 0x230006AE stands in ...
//
// The body is the database's (platform/db/procs/MMGetDataServerPath.cpp).
#pragma once

#include <string>

#include "Db/ZQDBProcBinding.h"

#define MMGETDATASERVERPATH_COLUMNS(COL) COL(dataServerPath, s, 1024)

inline constexpr ZQDBBindingInfo MMGetDataServerPath_info{.headerType = ZQDB_HEADER_PROCEDURE,
                                                          .dbName = "MMGetDataServerPath",
                                                          .className = "MMGetDataServerPath",
                                                          .version = "00010002000200020000",
                                                          .header = "Db/Proc/MMGetDataServerPath",
                                                          .line = 364};

struct MMGetDataServerPath_t {
  MMGETDATASERVERPATH_COLUMNS(ZQDB_FIELD)
  ZQDB_ROW(MMGetDataServerPath_t, MMGETDATASERVERPATH_COLUMNS)
};

class MMGetDataServerPath_t2
    : public ZQDBCatalogue<MMGetDataServerPath_t2, MMGetDataServerPath_t, MMGetDataServerPath_info> {
 public:
  MMGetDataServerPath_t2() = default;
  MMGetDataServerPath_t2(const MMGetDataServerPath_t2&) = delete;
  MMGetDataServerPath_t2& operator=(const MMGetDataServerPath_t2&) = delete;
};

class MMGetDataServerPath
    : public ZQDBProcBinding<MMGetDataServerPath_t, MMGetDataServerPath_t2, MMGetDataServerPath_info> {
 public:
  explicit MMGetDataServerPath(DBtran* tran) : ZQDBProcBinding(tran) {}
  // (device-controller id). Text mode: "%d" after a size check of 14.
  void setValues(int deviceControllerId) { bindInputs(deviceControllerId); }
  void setZQDBValues(ZQDB_int* deviceControllerId) { bindValues(deviceControllerId); }
};

// --- what the callers make of the result ---------------------------------------------

// 0 and 100 both count: no row leaves the path empty.
constexpr bool dataServerPathRead(int result) { return result == 0 || result == DB_NO_ROW; }

// Runs the procedure (no transaction, isolation type 4); `path` gets the
// data-server path, or the empty text when there is no row or the query
// failed. Returns getOneRow's result.
inline int dataServerPathOf(int deviceControllerId, std::string& path) {
  MMGetDataServerPath proc(nullptr);
  proc.setIsolationType(4);
  proc.setValues(deviceControllerId);
  int code = getOneRow(&proc, false, -1, 0);
  path = code == 0 ? std::string(proc.getDataPtr()->dataServerPath) : std::string();
  return code;
}
