// Body of the stored procedure MMS2getArchGrpNCopyListByLibId(libraryId).
//
// The storage policies that write to a library, one row per policy and
// copy: groupId, groupName, copyId, copyName and gName ("policy/copy").
// A copy writes to the library when one of its data paths (MMDataPath)
// leads to a drive pool of one of the library's master pools. Rows come in
// policy id order, then copy id order. An unknown or NULL library gives no
// rows; a call with another number of inputs is refused.
#include "Db/Proc/MMS2getArchGrpNCopyListByLibId.h"
#include "Db/Tbl/MMDrivePool.h"
#include "Db/Tbl/archGroup.h"
#include "Db/Tbl/archGroupCopy.h"
#include "platform/db/procs/ProcBodySupport.h"

namespace {

constexpr const char* kName = "MMS2getArchGrpNCopyListByLibId";

constexpr const char* kSql =
    "SELECT G.id, G.name, C.id, C.name, IFNULL(G.name, '') || '/' || IFNULL(C.name, '') "
    "FROM archGroup G JOIN archGroupCopy C ON C.archGroupId = G.id "
    "WHERE EXISTS (SELECT 1 FROM MMDataPath DP "
    "JOIN MMDrivePool DRP ON DRP.DrivePoolId = DP.DrivePoolId "
    "JOIN MMMasterPool MAP ON MAP.MasterPoolId = DRP.MasterPoolId "
    "WHERE DP.CopyId = C.id AND MAP.LibraryId = ?1) "
    "ORDER BY G.id, C.id";

int body(tkdb::ProcCall& call) {
  if (!tkprocs::inputCount(call, kName, 1, "one input (library id)")) return DB_ERR_INPUT;
  return tkprocs::answer(call, kSql, {call.inputs[0]});
}

[[maybe_unused]] const bool kRegistered = tkprocs::registered(kName, body);

}  // namespace
