// Body of the stored procedure MMInsertDeletedMPToPhysicalCleanup(mountPathId).
//
// Registers the mount path, with its library and name, for the physical
// cleanup of its storage (once: registering it again keeps one row). One
// row, o_ErrorCode: 0 when registered; 213 (nothing registered) for an
// unknown mount path. In the caller's transaction (the deletion's) when
// there is one.
#include "Db/Proc/MMInsertDeletedMPToPhysicalCleanup.h"

#include <vector>

#include "Db/Tbl/MMMountPath.h"
#include "platform/db/procs/ProcBodySupport.h"

namespace {

constexpr const char* kName = "MMInsertDeletedMPToPhysicalCleanup";

int body(tkdb::ProcCall& call) {
  std::vector<long long> in;
  if (!tkprocs::integerInputs(call, kName, 1, "one integer (the mount-path id)", in)) return DB_ERR_INPUT;
  tkdb::Session& db = call.session;
  int code = db.exec(
      "INSERT OR REPLACE INTO MMMountPathPhysicalCleanup (MountPathId, LibraryId, MountPathName) "
      "SELECT MountPathId, IFNULL(LibraryId, 0), IFNULL(MountPathName, '') FROM MMMountPath WHERE MountPathId = ?",
      {in[0]});
  if (code != DB_OK) return tkprocs::failed(call, code);
  call.rows.push_back({tkdb::DbValue(db.changes() > 0 ? 0 : DB_ERR_INPUT)});
  return DB_OK;
}

[[maybe_unused]] const bool kRegistered = tkprocs::registered(kName, body);

}  // namespace
