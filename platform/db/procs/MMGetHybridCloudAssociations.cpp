// Body of the stored procedure MMGetHybridCloudAssociations(diskLibraryId).
//
// One row per cloud library whose deduplication metadata the disk library
// caches (a hybrid-cloud mapping with that disk library): its id and alias
// name (empty when the library row is gone), in cloud library id order.
// No row for a disk library without associations.
#include "Db/Proc/MMGetHybridCloudAssociations.h"

#include "Db/Tbl/MMLibrary.h"
#include "platform/db/procs/ProcBodySupport.h"

namespace {

constexpr const char* kName = "MMGetHybridCloudAssociations";

constexpr const char* kSql =
    "SELECT M.CloudLibraryId, IFNULL(L.AliasName, '') FROM MMHybridCloudMapping M "
    "LEFT JOIN MMLibrary L ON L.LibraryId = M.CloudLibraryId "
    "WHERE M.DiskLibraryId = ?1 ORDER BY M.CloudLibraryId";

[[maybe_unused]] const bool kRegistered =
    tkprocs::registered(kName, tkprocs::queryOverIntegers(kName, 1, "one integer (the disk library id)", kSql));

}  // namespace
