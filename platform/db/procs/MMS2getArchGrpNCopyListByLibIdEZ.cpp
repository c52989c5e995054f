// Body of the stored procedure MMS2getArchGrpNCopyListByLibIdEZ(libraryId,
// switch).
//
// The storage policies whose default copy writes to a disk library (a data
// path of the copy leads to a drive pool of one of the library's master
// pools), one row per policy in policy id order:
//   o_ArchGroupId, o_ArchGroupName   the policy
//   o_NumDedupCopies                 its copies that deduplicate: with a
//                                    deduplication store (SIDBStoreId > 0)
//                                    or the client-side deduplication bit
//                                    (0x40000 in dedupeFlags)
//   o_DefaultCopyId, ..Name          its default copy (archGroup.defaultCopy)
//   o_RetentionDays, ..Cycles        the default copy's aging rule (0 and 0
//                                    when it has none)
//   o_DiskCapacity                   the library's ThresholdPercentage
//   o_AutoManageDisk                 1 when the aging rule carries flag 8
// The switch (1 when a library is reported, 0 when it is configured) does
// not change the rows. An unknown or NULL library gives no rows; a call
// with another number of inputs is refused.
#include "Db/Proc/MMS2getArchGrpNCopyListByLibIdEZ.h"
#include "Db/Tbl/MMDrivePool.h"
#include "Db/Tbl/MMLibrary.h"
#include "Db/Tbl/archGroup.h"
#include "Db/Tbl/archGroupCopy.h"
#include "platform/db/procs/ProcBodySupport.h"

namespace {

constexpr const char* kName = "MMS2getArchGrpNCopyListByLibIdEZ";

constexpr const char* kSql =
    "SELECT G.id, G.name, "
    "(SELECT COUNT(*) FROM archGroupCopy D WHERE D.archGroupId = G.id "
    "AND (D.SIDBStoreId > 0 OR (D.dedupeFlags & 262144) <> 0)), "
    "C.id, C.name, IFNULL(R.retentionDays, 0), IFNULL(R.retentionCycles, 0), "
    "IFNULL(L.ThresholdPercentage, 0), CASE WHEN (IFNULL(R.flags, 0) & 8) <> 0 THEN 1 ELSE 0 END "
    "FROM archGroup G JOIN archGroupCopy C ON C.id = G.defaultCopy AND C.archGroupId = G.id "
    "JOIN MMLibrary L ON L.LibraryId = ?1 "
    "LEFT JOIN archAgingRule R ON R.copyId = C.id "
    "WHERE EXISTS (SELECT 1 FROM MMDataPath DP "
    "JOIN MMDrivePool DRP ON DRP.DrivePoolId = DP.DrivePoolId "
    "JOIN MMMasterPool MAP ON MAP.MasterPoolId = DRP.MasterPoolId "
    "WHERE DP.CopyId = C.id AND MAP.LibraryId = ?1) "
    "ORDER BY G.id";

int body(tkdb::ProcCall& call) {
  if (!tkprocs::inputCount(call, kName, 2, "two inputs (library id, switch)")) return DB_ERR_INPUT;
  return tkprocs::answer(call, kSql, {call.inputs[0]});
}

[[maybe_unused]] const bool kRegistered = tkprocs::registered(kName, body);

}  // namespace
