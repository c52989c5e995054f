// Binding of the stored procedure MMS2getArchGrpNCopyListByLibIdEZ: the
// storage policies that write to one disk library, one row per policy with
// its default copy, its number of deduplication copies, its retention and
// the library's disk settings. The disk-library setup wizard reads the
// first row, binding (library id, 1) when it reports a library and
// (library id, 0) when it configures one; one object may be bound again for
// the next library, and the first fetch after a binding runs afresh.
//
// The body is the database's (platform/db/procs/).
#pragma once

#include "Db/ZQDBBinding.h"

#define MMS2GETARCHGRPNCOPYLISTBYLIBIDEZ_COLUMNS(COL) \
  COL(o_ArchGroupId, i, 0)                            \
  COL(o_ArchGroupName, u, 1021)                       \
  COL(o_NumDedupCopies, i, 0)                         \
  COL(o_DefaultCopyId, i, 0)                          \
  COL(o_DefaultCopyName, u, 1021)                     \
  COL(o_RetentionDays, i, 0)                          \
  COL(o_RetentionCycles, i, 0)                        \
  COL(o_DiskCapacity, i, 0)                           \
  COL(o_AutoManageDisk, i, 0)

inline constexpr ZQDBBindingInfo MMS2getArchGrpNCopyListByLibIdEZ_info{
    .headerType = ZQDB_HEADER_PROCEDURE,
    .dbName = "MMS2getArchGrpNCopyListByLibIdEZ",
    .className = "MMS2getArchGrpNCopyListByLibIdEZ",
    .version = "00010005021000020000",
    .header = "Db/Proc/MMS2getArchGrpNCopyListByLibIdEZ",
    .line = __LINE__};

struct MMS2getArchGrpNCopyListByLibIdEZ_t {
  MMS2GETARCHGRPNCOPYLISTBYLIBIDEZ_COLUMNS(ZQDB_FIELD)
  ZQDB_ROW(MMS2getArchGrpNCopyListByLibIdEZ_t, MMS2GETARCHGRPNCOPYLISTBYLIBIDEZ_COLUMNS)
};

class MMS2getArchGrpNCopyListByLibIdEZ_t2
    : public ZQDBCatalogue<MMS2getArchGrpNCopyListByLibIdEZ_t2, MMS2getArchGrpNCopyListByLibIdEZ_t,
                           MMS2getArchGrpNCopyListByLibIdEZ_info> {
 public:
  MMS2getArchGrpNCopyListByLibIdEZ_t2() = default;
  MMS2getArchGrpNCopyListByLibIdEZ_t2(const MMS2getArchGrpNCopyListByLibIdEZ_t2&) = delete;
  MMS2getArchGrpNCopyListByLibIdEZ_t2& operator=(const MMS2getArchGrpNCopyListByLibIdEZ_t2&) = delete;
};

class MMS2getArchGrpNCopyListByLibIdEZ
    : public ZQDBProcedure<MMS2getArchGrpNCopyListByLibIdEZ_t, MMS2getArchGrpNCopyListByLibIdEZ_t2,
                           MMS2getArchGrpNCopyListByLibIdEZ_info> {
 public:
  explicit MMS2getArchGrpNCopyListByLibIdEZ(DBtran* tran) : ZQDBProcedure(tran) {}
  // Binds (library id, switch) in this order: value objects in the typed
  // mode, else the values clause ("%d,%d", after a size check of 29).
  void setValues(int libraryId, int flag) { bindInputs(libraryId, flag); }
  // Typed mode: the value objects go to the engine, which frees them.
  void setZQDBValues(ZQDB_int* libraryId, ZQDB_int* flag) { bindValues(libraryId, flag); }
};
