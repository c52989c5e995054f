// Binding of the stored procedure MMGetHybridCloudAssociations: the cloud
// libraries whose deduplication metadata a disk library caches (hybrid
// clouds), one row each. Before a disk library is taken away the
// association check collects their alias names:
//
//   bool found = false;
//   std::string names, error;
//   if (!collectHybridCloudAssociations(libraryId, found, names, error))
//     ... "MMGetHybridCloudAssociations returned error during lookup [%s]", error ...
//   else if (found) ... refused: the library caches data of `names` ...
//
// The body is the database's (platform/db/procs/MMGetHybridCloudAssociations.cpp).
#pragma once

#include <cstdint>
#include <string>

#include "Db/ZQDBProcBinding.h"

#define MMGETHYBRIDCLOUDASSOCIATIONS_COLUMNS(COL) \
  COL(o_cloudLibId, i, 0)                         \
  COL(o_cloudLibAliasName, u, 1021)

inline constexpr ZQDBBindingInfo MMGetHybridCloudAssociations_info{.headerType = ZQDB_HEADER_PROCEDURE,
                                                                   .dbName = "MMGetHybridCloudAssociations",
                                                                   .className = "MMGetHybridCloudAssociations",
                                                                   .version = "00010001000200010000",
                                                                   .header = "Db/Proc/MMGetHybridCloudAssociations",
                                                                   .line = 374};

struct MMGetHybridCloudAssociations_t {
  MMGETHYBRIDCLOUDASSOCIATIONS_COLUMNS(ZQDB_FIELD)
  ZQDB_ROW(MMGetHybridCloudAssociations_t, MMGETHYBRIDCLOUDASSOCIATIONS_COLUMNS)
};

class MMGetHybridCloudAssociations_t2
    : public ZQDBCatalogue<MMGetHybridCloudAssociations_t2, MMGetHybridCloudAssociations_t,
                           MMGetHybridCloudAssociations_info> {
 public:
  MMGetHybridCloudAssociations_t2() = default;
  MMGetHybridCloudAssociations_t2(const MMGetHybridCloudAssociations_t2&) = delete;
  MMGetHybridCloudAssociations_t2& operator=(const MMGetHybridCloudAssociations_t2&) = delete;
};

class MMGetHybridCloudAssociations
    : public ZQDBProcBinding<MMGetHybridCloudAssociations_t, MMGetHybridCloudAssociations_t2,
                             MMGetHybridCloudAssociations_info> {
 public:
  explicit MMGetHybridCloudAssociations(DBtran* tran) : ZQDBProcBinding(tran) {}
  // (disk library id). Text mode: "%d" after a size check of 14.
  void setValues(int diskLibraryId) { bindInputs(diskLibraryId); }
  void setZQDBValues(ZQDB_int* diskLibraryId) { bindValues(diskLibraryId); }
};

// --- what the callers make of the rows ---------------------------------------------

// Runs the procedure for the library (no transaction; a library id handed
// over as unsigned long is bound as its low 32 bits). For every row `found`
// is set and the row's alias name appended to `names`, with ", " before
// every name but the first of this call; `found` is never cleared. True
// when the walk ended with 100 (the list is complete); otherwise the
// engine's text of the result is appended to `error` and false returned.
inline bool collectHybridCloudAssociations(unsigned long libraryId, bool& found, std::string& names,
                                           std::string& error) {
  MMGetHybridCloudAssociations proc(nullptr);
  proc.setValues(static_cast<int>(static_cast<uint32_t>(libraryId)));
  int count = 0;
  int code = 0;
  bool first = true;
  while ((code = getNextRow(&proc, &count, -1, 0)) == 0) {
    found = true;
    if (!first) names += ", ";
    names += proc.getDataPtr()->o_cloudLibAliasName;
    first = false;
  }
  if (code == DB_NO_ROW) return true;
  error += DBtable::getErrorStr(code);
  return false;
}
