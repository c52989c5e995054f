// Binding of the stored procedure
// MMUpdateWritersForSANDataServerConfiguredMountPath: lets the database
// bring the writer settings of a mount path served through a data server
// in line with its device paths, after the device-path request changed
// them. It has no output column: no row, no indicator array and no
// getDataPtr(); it is run for its effect and a result of 100 is as good as 0:
//
//   int result = updateWritersForDataServerMountPath(mountPathId);
//   if (!writersUpdated(result)) ... "Failed to execute the stored proc to update the writers ..." ...
//
// The body is the database's
// (platform/db/procs/MMUpdateWritersForSANDataServerConfiguredMountPath.cpp).
#pragma once

#include "Db/ZQDBProcBinding.h"

#define MMUPDATEWRITERSFORSANDATASERVERCONFIGUREDMOUNTPATH_COLUMNS(COL)

inline constexpr ZQDBBindingInfo MMUpdateWritersForSANDataServerConfiguredMountPath_info{
    .headerType = ZQDB_HEADER_PROCEDURE,
    .dbName = "MMUpdateWritersForSANDataServerConfiguredMountPath",
    .className = "MMUpdateWritersForSANDataServerConfiguredMountPath",
    .version = "00010001000200040000",
    .header = "Db/Proc/MMUpdateWritersForSANDataServerConfiguredMountPath",
    .line = 351};

struct MMUpdateWritersForSANDataServerConfiguredMountPath_t {
  MMUPDATEWRITERSFORSANDATASERVERCONFIGUREDMOUNTPATH_COLUMNS(ZQDB_FIELD)
  ZQDB_ROW(MMUpdateWritersForSANDataServerConfiguredMountPath_t,
           MMUPDATEWRITERSFORSANDATASERVERCONFIGUREDMOUNTPATH_COLUMNS)
};

class MMUpdateWritersForSANDataServerConfiguredMountPath_t2
    : public ZQDBCatalogue<MMUpdateWritersForSANDataServerConfiguredMountPath_t2,
                           MMUpdateWritersForSANDataServerConfiguredMountPath_t,
                           MMUpdateWritersForSANDataServerConfiguredMountPath_info> {
 public:
  MMUpdateWritersForSANDataServerConfiguredMountPath_t2() = default;
  MMUpdateWritersForSANDataServerConfiguredMountPath_t2(const MMUpdateWritersForSANDataServerConfiguredMountPath_t2&) =
      delete;
  MMUpdateWritersForSANDataServerConfiguredMountPath_t2& operator=(
      const MMUpdateWritersForSANDataServerConfiguredMountPath_t2&) = delete;
};

class MMUpdateWritersForSANDataServerConfiguredMountPath
    : public ZQDBProcBinding<MMUpdateWritersForSANDataServerConfiguredMountPath_t,
                             MMUpdateWritersForSANDataServerConfiguredMountPath_t2,
                             MMUpdateWritersForSANDataServerConfiguredMountPath_info> {
 public:
  explicit MMUpdateWritersForSANDataServerConfiguredMountPath(DBtran* tran) : ZQDBProcBinding(tran) {}
  // (mount-path id). Text mode: "%d" after a size check of 14.
  void setValues(int mountPathId) { bindInputs(mountPathId); }
  void setZQDBValues(ZQDB_int* mountPathId) { bindValues(mountPathId); }

  // Nothing to read: the procedure has no output column.
  void getDataPtr() = delete;
  void getIndicators() const = delete;
};

// --- what the callers make of the result ---------------------------------------------

// 0 and 100 are success; anything else is only logged by the caller.
constexpr bool writersUpdated(int result) { return result == 0 || result == DB_NO_ROW; }

// Runs the procedure for the mount path (no transaction, isolation type 4);
// getOneRow's result.
inline int updateWritersForDataServerMountPath(int mountPathId) {
  MMUpdateWritersForSANDataServerConfiguredMountPath proc(nullptr);
  proc.setIsolationType(4);
  proc.setValues(mountPathId);
  return getOneRow(&proc, false, -1, 0);
}
