// Binding of the stored procedure MMGetRunningJobsForMountPath: the jobs
// still running on one mount path (hard-delete level 1) or on every mount
// path of its library (level 2), one job id per row. The job killer of a
// forced deletion collects them before it kills them:
//
//   std::vector<int> jobs;
//   int result = runningJobsOfMountPath(mountPathId, libraryId, level, jobs);
//   if (jobs.empty()) ... nothing to kill ...
//
// A result other than 100 means the walk stopped on a database failure:
// the list then holds the jobs read before it and may be incomplete.
//
// The body is the database's (platform/db/procs/MMGetRunningJobsForMountPath.cpp).
#pragma once

#include <vector>

#include "Db/ZQDBProcBinding.h"

#define MMGETRUNNINGJOBSFORMOUNTPATH_COLUMNS(COL) COL(o_jobId, i, 0)

inline constexpr ZQDBBindingInfo MMGetRunningJobsForMountPath_info{.headerType = ZQDB_HEADER_PROCEDURE,
                                                                   .dbName = "MMGetRunningJobsForMountPath",
                                                                   .className = "MMGetRunningJobsForMountPath",
                                                                   .version = "00010001000200020000",
                                                                   .header = "Db/Proc/MMGetRunningJobsForMountPath",
                                                                   .line = 366};

struct MMGetRunningJobsForMountPath_t {
  MMGETRUNNINGJOBSFORMOUNTPATH_COLUMNS(ZQDB_FIELD)
  ZQDB_ROW(MMGetRunningJobsForMountPath_t, MMGETRUNNINGJOBSFORMOUNTPATH_COLUMNS)
};

class MMGetRunningJobsForMountPath_t2
    : public ZQDBCatalogue<MMGetRunningJobsForMountPath_t2, MMGetRunningJobsForMountPath_t,
                           MMGetRunningJobsForMountPath_info> {
 public:
  MMGetRunningJobsForMountPath_t2() = default;
  MMGetRunningJobsForMountPath_t2(const MMGetRunningJobsForMountPath_t2&) = delete;
  MMGetRunningJobsForMountPath_t2& operator=(const MMGetRunningJobsForMountPath_t2&) = delete;
};

class MMGetRunningJobsForMountPath
    : public ZQDBProcBinding<MMGetRunningJobsForMountPath_t, MMGetRunningJobsForMountPath_t2,
                             MMGetRunningJobsForMountPath_info> {
 public:
  explicit MMGetRunningJobsForMountPath(DBtran* tran) : ZQDBProcBinding(tran) {}
  // (mount-path id, library id, hard-delete level: 1 the mount path, 2
  // every mount path of the library). Text mode: "%d,%d,%d" after a size
  // check of 44.
  void setValues(int mountPathId, int libraryId, int hardDeleteLevel) {
    bindInputs(mountPathId, libraryId, hardDeleteLevel);
  }
  void setZQDBValues(ZQDB_int* mountPathId, ZQDB_int* libraryId, ZQDB_int* hardDeleteLevel) {
    bindValues(mountPathId, libraryId, hardDeleteLevel);
  }
};

// --- what the callers make of the rows ---------------------------------------------

// Runs the procedure (no transaction) and appends o_jobId of every row, in
// row order, to `jobs`. Returns the result that ended the walk (100 after
// the last row).
inline int runningJobsOfMountPath(int mountPathId, int libraryId, int hardDeleteLevel, std::vector<int>& jobs) {
  MMGetRunningJobsForMountPath proc(nullptr);
  proc.setValues(mountPathId, libraryId, hardDeleteLevel);
  int count = 0;
  int code = 0;
  while ((code = getNextRow(&proc, &count, -1, 0)) == 0) jobs.push_back(proc.getDataPtr()->o_jobId);
  return code;
}
