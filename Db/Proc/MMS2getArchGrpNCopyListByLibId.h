// Binding of the stored procedure MMS2getArchGrpNCopyListByLibId: the
// storage policies that write to one library, one row per policy and copy
// (ids and names). The tape-library setup wizard walks it for the
// library's policy:
//
//   MMS2getArchGrpNCopyListByLibId list(nullptr);
//   list.setIsolationType(4);
//   list.setValues(libraryId);
//   int count = 0;
//   while ((rc = getNextRow(&list, &count, -1, 0)) == 0) { ... list.getDataPtr()->groupId ... }
//
// The body is the database's (platform/db/procs/).
#pragma once

#include "Db/ZQDBBinding.h"

#define MMS2GETARCHGRPNCOPYLISTBYLIBID_COLUMNS(COL) \
  COL(groupId, i, 0)                                \
  COL(groupName, u, 1021)                           \
  COL(copyId, i, 0)                                 \
  COL(copyName, u, 1021)                            \
  COL(gName, u, 1021)

inline constexpr ZQDBBindingInfo MMS2getArchGrpNCopyListByLibId_info{
    .headerType = ZQDB_HEADER_PROCEDURE,
    .dbName = "MMS2getArchGrpNCopyListByLibId",
    .className = "MMS2getArchGrpNCopyListByLibId",
    .version = "00010003019800050000",
    .header = "Db/Proc/MMS2getArchGrpNCopyListByLibId",
    .line = __LINE__};

struct MMS2getArchGrpNCopyListByLibId_t {
  MMS2GETARCHGRPNCOPYLISTBYLIBID_COLUMNS(ZQDB_FIELD)
  ZQDB_ROW(MMS2getArchGrpNCopyListByLibId_t, MMS2GETARCHGRPNCOPYLISTBYLIBID_COLUMNS)
};

class MMS2getArchGrpNCopyListByLibId_t2
    : public ZQDBCatalogue<MMS2getArchGrpNCopyListByLibId_t2, MMS2getArchGrpNCopyListByLibId_t,
                           MMS2getArchGrpNCopyListByLibId_info> {
 public:
  MMS2getArchGrpNCopyListByLibId_t2() = default;
  MMS2getArchGrpNCopyListByLibId_t2(const MMS2getArchGrpNCopyListByLibId_t2&) = delete;
  MMS2getArchGrpNCopyListByLibId_t2& operator=(const MMS2getArchGrpNCopyListByLibId_t2&) = delete;
};

class MMS2getArchGrpNCopyListByLibId
    : public ZQDBProcedure<MMS2getArchGrpNCopyListByLibId_t, MMS2getArchGrpNCopyListByLibId_t2,
                           MMS2getArchGrpNCopyListByLibId_info> {
 public:
  explicit MMS2getArchGrpNCopyListByLibId(DBtran* tran) : ZQDBProcedure(tran) {}
  // Binds the library id: a value object in the typed mode, else the
  // values clause ("%d", after a size check of 14).
  void setValues(int libraryId) { bindInputs(libraryId); }
  // Typed mode: the value object goes to the engine, which frees it.
  void setZQDBValues(ZQDB_int* libraryId) { bindValues(libraryId); }
};
