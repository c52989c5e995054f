// Body of the stored procedure MMGetRunningJobsForMountPath(mountPathId,
// libraryId, hardDeleteLevel).
//
// One row per running job (a job of the job-information table) that has
// backups on the media of the mount path (level 1) or of any mount path of
// the library (level 2; a library id below 1 means the mount path's own
// library), in job id order, each job once. Any other level is refused.
#include "Db/Proc/MMGetRunningJobsForMountPath.h"

#include <vector>

#include "Db/Tbl/JMJobInfo.h"
#include "Db/Tbl/MMMountPath.h"
#include "platform/db/procs/ProcBodySupport.h"

namespace {

constexpr const char* kName = "MMGetRunningJobsForMountPath";

constexpr const char* kOneMountPath =
    "SELECT DISTINCT J.jobId FROM JMJobInfo J WHERE J.jobId IN (SELECT B.JobId FROM MMMediaBackup B "
    "JOIN MMMediaSide S ON S.MediaId = B.MediaId JOIN MMMountPath P ON P.MediaSideId = S.MediaSideId "
    "WHERE P.MountPathId = ?1) ORDER BY J.jobId";

constexpr const char* kWholeLibrary =
    "SELECT DISTINCT J.jobId FROM JMJobInfo J WHERE J.jobId IN (SELECT B.JobId FROM MMMediaBackup B "
    "JOIN MMMediaSide S ON S.MediaId = B.MediaId JOIN MMMountPath P ON P.MediaSideId = S.MediaSideId "
    "WHERE P.LibraryId = CASE WHEN ?2 > 0 THEN ?2 ELSE "
    "(SELECT LibraryId FROM MMMountPath WHERE MountPathId = ?1) END) ORDER BY J.jobId";

int body(tkdb::ProcCall& call) {
  static constexpr const char* kTakes = "three integers (mount-path id, library id, level 1 or 2)";
  std::vector<long long> in;
  if (!tkprocs::integerInputs(call, kName, 3, kTakes, in)) return DB_ERR_INPUT;
  if (in[2] != 1 && in[2] != 2) return tkprocs::refuse(call, kName, kTakes);
  return tkprocs::answer(call, in[2] == 1 ? kOneMountPath : kWholeLibrary, {in[0], in[1]});
}

[[maybe_unused]] const bool kRegistered = tkprocs::registered(kName, body);

}  // namespace
