// Binding of the stored procedure MMGetDDBListForDeletedMP: after a forced
// deletion, the deduplication stores (DDBs) that used the deleted mount
// paths, each with its copy and storage policy, for which a DV2 job is to
// be started. Its one input is the list of the deleted mount paths:
//
//   std::string list = deletedMountPathList(deletedIds);   // ids in any order
//   int result = forEachDDBOfDeletedMountPaths(list, [&](const MMGetDDBListForDeletedMP_t& row) {
//     ... StartDV2Job(row.o_SIDBStoreId, row.o_CopyId, row.o_StoragePolicyId, ...) ...
//   });
//
// The body is the database's (platform/db/procs/MMGetDDBListForDeletedMP.cpp).
#pragma once

#include <set>
#include <string>

#include "Db/ZQDBProcBinding.h"

#define MMGETDDBLISTFORDELETEDMP_COLUMNS(COL) \
  COL(o_SIDBStoreId, i, 0)                    \
  COL(o_CopyId, i, 0)                         \
  COL(o_StoragePolicyId, i, 0)                \
  COL(o_HasReference, i, 0)

inline constexpr ZQDBBindingInfo MMGetDDBListForDeletedMP_info{.headerType = ZQDB_HEADER_PROCEDURE,
                                                               .dbName = "MMGetDDBListForDeletedMP",
                                                               .className = "MMGetDDBListForDeletedMP",
                                                               .version = "00010001000200020000",
                                                               .header = "Db/Proc/MMGetDDBListForDeletedMP",
                                                               .line = 396};

struct MMGetDDBListForDeletedMP_t {
  MMGETDDBLISTFORDELETEDMP_COLUMNS(ZQDB_FIELD)
  ZQDB_ROW(MMGetDDBListForDeletedMP_t, MMGETDDBLISTFORDELETEDMP_COLUMNS)
};

class MMGetDDBListForDeletedMP_t2
    : public ZQDBCatalogue<MMGetDDBListForDeletedMP_t2, MMGetDDBListForDeletedMP_t, MMGetDDBListForDeletedMP_info> {
 public:
  MMGetDDBListForDeletedMP_t2() = default;
  MMGetDDBListForDeletedMP_t2(const MMGetDDBListForDeletedMP_t2&) = delete;
  MMGetDDBListForDeletedMP_t2& operator=(const MMGetDDBListForDeletedMP_t2&) = delete;
};

class MMGetDDBListForDeletedMP
    : public ZQDBProcBinding<MMGetDDBListForDeletedMP_t, MMGetDDBListForDeletedMP_t2, MMGetDDBListForDeletedMP_info> {
 public:
  explicit MMGetDDBListForDeletedMP(DBtran* tran) : ZQDBProcBinding(tran) {}
  // (list of deleted mount paths). Text mode: "'%s'" after a size check of
  // 4 plus the escaped length of the list; the empty list gives '' and 4.
  void setValues(const char* mountPathList) { bindInputs(mountPathList); }
  void setZQDBValues(ZQDB_string* mountPathList) { bindValues(mountPathList); }
};

// --- what the callers make of the rows ---------------------------------------------

// The list of deleted mount paths: "<MountPathIdList>", then per id in
// ascending order (each once) <MountPath id="ID"/>, then
// "</MountPathIdList>", without blanks or line breaks. No id gives the
// empty text.
template <class Ids>
std::string deletedMountPathList(const Ids& mountPathIds) {
  std::set<int> ascending;
  for (const auto& id : mountPathIds) ascending.insert(static_cast<int>(id));
  if (ascending.empty()) return std::string();
  std::string text = "<MountPathIdList>";
  for (int id : ascending) {
    text += "<MountPath id=\"";
    text += std::to_string(id);
    text += "\"/>";
  }
  text += "</MountPathIdList>";
  return text;
}

// Runs the procedure for the list (no transaction; the clauses reset
// first) and calls `perRow` with every row. Returns the result that ended
// the walk (100 after the last row).
template <class PerRow>
int forEachDDBOfDeletedMountPaths(const std::string& mountPathList, PerRow perRow) {
  MMGetDDBListForDeletedMP proc(nullptr);
  proc.resetClauses();
  proc.setValues(mountPathList.c_str());
  int count = 0;
  int code = 0;
  while ((code = getNextRow(&proc, &count, -1, 0)) == 0) {
    const MMGetDDBListForDeletedMP_t& row = *proc.getDataPtr();
    perRow(row);
  }
  return code;
}
