// Body of the stored procedure MMS2IsCenteraNDMPHostIdInUse(hostId).
//
// One row per subclient that still goes through the NDMP host entry: a
// subclient (APP_Application) whose property "Centera NDMP Host Id"
// (APP_SubClientProp) holds the id, with its name, application type (name
// from APP_ApplicationType) and client (name from APP_Client), in
// subclient id order; no row when none does.
#include "Db/Proc/MMS2IsCenteraNDMPHostIdInUse.h"

#include "platform/db/procs/ProcBodySupport.h"

namespace {

constexpr const char* kName = "MMS2IsCenteraNDMPHostIdInUse";

constexpr const char* kSql =
    "SELECT A.id, IFNULL(A.subclientName, ''), A.appTypeId, IFNULL(T.name, ''), A.clientId, IFNULL(C.name, '') "
    "FROM APP_Application A "
    "LEFT JOIN APP_ApplicationType T ON T.id = A.appTypeId "
    "LEFT JOIN APP_Client C ON C.id = A.clientId "
    "WHERE A.id <> 0 AND EXISTS (SELECT 1 FROM APP_SubClientProp P WHERE P.componentNameId = A.id "
    "AND P.attrName = 'Centera NDMP Host Id' AND trim(P.attrVal) = CAST(?1 AS TEXT)) "
    "ORDER BY A.id";

[[maybe_unused]] const bool kRegistered =
    tkprocs::registered(kName, tkprocs::queryOverIntegers(kName, 1, "one integer (the NDMP host id)", kSql));

}  // namespace
