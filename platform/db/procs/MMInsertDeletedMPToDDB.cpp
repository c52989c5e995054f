// Body of the stored procedure MMInsertDeletedMPToDDB(mountPathId, storeList).
//
// Records the mount path against every deduplication store of the list
// (<SIDBList><SIDB id="S"/>...</SIDBList>, as MMCheckMPCanDelete gives it;
// the empty text is the empty list), which marks the stores for the DV2
// jobs that follow the deletion, and removes the stores' references from
// the volumes of the mount path's media side. One row, o_ErrorCode: 0 when
// recorded; 213 (and nothing recorded) for an unknown mount path or a list
// that cannot be read whole. Atomic: in the caller's transaction (the
// deletion's), or one of its own.
#include "Db/Proc/MMInsertDeletedMPToDDB.h"

#include <string>
#include <vector>

#include "Db/Tbl/MMMountPath.h"
#include "platform/db/procs/ProcBodySupport.h"

namespace {

constexpr const char* kName = "MMInsertDeletedMPToDDB";

int body(tkdb::ProcCall& call) {
  std::string list;
  if (call.inputs.size() != 2 || call.inputs[0].type != tkdb::DbValue::Type::Int ||
      !tkprocs::textInput(call.inputs, 1, list)) {
    return tkprocs::refuse(call, kName, "an integer (the mount-path id) and a text (the store list)");
  }
  const long long mountPathId = call.inputs[0].i;
  std::vector<long long> stores;
  if (!tkprocs::readIdList(list, "SIDBList", "SIDB", stores)) {
    call.rows.push_back({tkdb::DbValue(DB_ERR_INPUT)});
    return DB_OK;
  }
  tkdb::Session& db = call.session;
  tkdb::DbRow side;
  int code = db.queryOne("SELECT IFNULL(MediaSideId, 0) FROM MMMountPath WHERE MountPathId = ?", {mountPathId}, side);
  if (code == DB_NO_ROW) {
    call.rows.push_back({tkdb::DbValue(DB_ERR_INPUT)});
    return DB_OK;
  }
  if (code == DB_OK) {
    code = db.atomically([&]() -> int {
      for (long long store : stores) {
        int rc = db.exec("INSERT OR IGNORE INTO MMDeletedMountPathDDB (MountPathId, SIDBStoreId) VALUES (?, ?)",
                         {mountPathId, store});
        if (rc != DB_OK) return rc;
        rc = db.exec("UPDATE MMVolume SET SIDBStoreId = 0 WHERE MediaSideId = ?1 AND ?1 > 0 AND SIDBStoreId = ?2",
                     {side[0], store});
        if (rc != DB_OK) return rc;
      }
      return DB_OK;
    });
  }
  if (code != DB_OK) return tkprocs::failed(call, code);
  call.rows.push_back({tkdb::DbValue(0)});
  return DB_OK;
}

[[maybe_unused]] const bool kRegistered = tkprocs::registered(kName, body);

}  // namespace
