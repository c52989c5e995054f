// Body of the stored procedure MMGetHybridCloudAssociations(diskLibraryId).
//
// One row per cloud library whose deduplication metadata the disk library
// caches (a hybrid-cloud mapping with that disk library): its id and alias
// name (empty when the library row is gone), in cloud library id order.
// No row for a disk library without associations.
#include "Db/Proc/MMGetHybridCloudAssociations.h"

#include <string>
#include <vector>

#include "Db/Tbl/MMLibrary.h"
#include "platform/db/DBSession.h"
#include "platform/db/DBtable.h"
#include "platform/db/procs/ProcBodySupport.h"

namespace {

constexpr const char* kName = "MMGetHybridCloudAssociations";

constexpr const char* kSql =
    "SELECT M.CloudLibraryId, IFNULL(L.AliasName, '') FROM MMHybridCloudMapping M "
    "LEFT JOIN MMLibrary L ON L.LibraryId = M.CloudLibraryId "
    "WHERE M.DiskLibraryId = ?1 ORDER BY M.CloudLibraryId";

int body(tkdb::ProcCall& call) {
  std::vector<long long> in;
  if (!tkprocs::intInputs(call.inputs, 1, in)) {
    call.error = std::string(kName) + " takes one integer (the disk library id)";
    return DB_ERR_INPUT;
  }
  int code = call.session.query(kSql, {in[0]}, call.rows);
  if (code != DB_OK) call.error = call.session.errorText();
  return code;
}

[[maybe_unused]] const bool kRegistered = [] {
  tkdb::registerProcedure(kName, body);
  return true;
}();

}  // namespace
