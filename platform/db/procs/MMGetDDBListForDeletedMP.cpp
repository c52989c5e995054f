// Body of the stored procedure MMGetDDBListForDeletedMP(mountPathList).
//
// For the deleted mount paths of the list (<MountPathIdList><MountPath
// id="M"/>...</MountPathIdList>; the empty text is the empty list, which
// gives no row) one row per deduplication store recorded for any of them
// by MMInsertDeletedMPToDDB and per copy that uses the store: store, copy
// and its storage policy (0 and 0 when no copy uses the store), and
// whether volumes still reference the store (1) or not (0); by store, then
// copy. A list that cannot be read whole is refused.
#include "Db/Proc/MMGetDDBListForDeletedMP.h"

#include <string>
#include <vector>

#include "Db/Tbl/archGroupCopy.h"
#include "platform/db/procs/ProcBodySupport.h"

namespace {

constexpr const char* kName = "MMGetDDBListForDeletedMP";

int body(tkdb::ProcCall& call) {
  std::string list;
  if (call.inputs.size() != 1 || !tkprocs::textInput(call.inputs, 0, list)) {
    return tkprocs::refuse(call, kName, "one text (the list of deleted mount paths)");
  }
  std::vector<long long> mountPaths;
  if (!tkprocs::readIdList(list, "MountPathIdList", "MountPath", mountPaths)) {
    call.error = std::string(kName) + ": the list of deleted mount paths cannot be read";
    return DB_ERR_INPUT;
  }
  if (mountPaths.empty()) return DB_OK;
  std::vector<tkdb::DbValue> params(mountPaths.begin(), mountPaths.end());
  const std::string sql =
      "SELECT D.SIDBStoreId, IFNULL(G.id, 0), IFNULL(G.archGroupId, 0), "
      "CASE WHEN EXISTS (SELECT 1 FROM MMVolume V WHERE V.SIDBStoreId = D.SIDBStoreId) THEN 1 ELSE 0 END "
      "FROM (SELECT DISTINCT SIDBStoreId FROM MMDeletedMountPathDDB WHERE MountPathId IN (" +
      tkprocs::marks(params.size()) +
      ")) D LEFT JOIN archGroupCopy G ON G.SIDBStoreId = D.SIDBStoreId "
      "ORDER BY D.SIDBStoreId, IFNULL(G.id, 0)";
  return tkprocs::answer(call, sql, params);
}

[[maybe_unused]] const bool kRegistered = tkprocs::registered(kName, body);

}  // namespace
