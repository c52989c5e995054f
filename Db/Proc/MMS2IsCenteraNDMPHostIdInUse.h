// Binding of the stored procedure MMS2IsCenteraNDMPHostIdInUse: the
// subclients that still use an NDMP host entry of the Centera archive kind,
// one row each (application id, subclient name, application type, client).
// The NDMP server deletion asks it before it removes such an entry and
// refuses while the first row names a subclient:
//
//   CenteraNDMPHostUse use = checkCenteraNDMPHostInUse(ndmpRow.clientId);
//   if (use.inUse) ... "CBRM in use by AppId:[%d] Client:[%s] SubClient:[%s]" with
//                      use.appId, use.clientName, use.subclientName ...
//
// A failed open or fetch counts as "in use": an entry is never removed on a
// check that did not answer.
//
// The body is the database's (platform/db/procs/MMS2IsCenteraNDMPHostIdInUse.cpp).
#pragma once

#include <string>

#include "Db/ZQDBProcBinding.h"

#define MMS2ISCENTERANDMPHOSTIDINUSE_COLUMNS(COL) \
  COL(o_AppId, i, 0)                              \
  COL(o_SubclientName, s, 256)                    \
  COL(o_AppTypeId, i, 0)                          \
  COL(o_AppTypeName, s, 256)                      \
  COL(o_ClientId, i, 0)                           \
  COL(o_ClientName, s, 256)

inline constexpr ZQDBBindingInfo MMS2IsCenteraNDMPHostIdInUse_info{.headerType = ZQDB_HEADER_PROCEDURE,
                                                                   .dbName = "MMS2IsCenteraNDMPHostIdInUse",
                                                                   .className = "MMS2IsCenteraNDMPHostIdInUse",
                                                                   .version = "00010002030400020000",
                                                                   .header = "Db/Proc/MMS2IsCenteraNDMPHostIdInUse",
                                                                   .line = __LINE__};

struct MMS2IsCenteraNDMPHostIdInUse_t {
  MMS2ISCENTERANDMPHOSTIDINUSE_COLUMNS(ZQDB_FIELD)
  ZQDB_ROW(MMS2IsCenteraNDMPHostIdInUse_t, MMS2ISCENTERANDMPHOSTIDINUSE_COLUMNS)
};

class MMS2IsCenteraNDMPHostIdInUse_t2
    : public ZQDBCatalogue<MMS2IsCenteraNDMPHostIdInUse_t2, MMS2IsCenteraNDMPHostIdInUse_t,
                           MMS2IsCenteraNDMPHostIdInUse_info> {
 public:
  MMS2IsCenteraNDMPHostIdInUse_t2() = default;
  MMS2IsCenteraNDMPHostIdInUse_t2(const MMS2IsCenteraNDMPHostIdInUse_t2&) = delete;
  MMS2IsCenteraNDMPHostIdInUse_t2& operator=(const MMS2IsCenteraNDMPHostIdInUse_t2&) = delete;
};

class MMS2IsCenteraNDMPHostIdInUse
    : public ZQDBProcBinding<MMS2IsCenteraNDMPHostIdInUse_t, MMS2IsCenteraNDMPHostIdInUse_t2,
                             MMS2IsCenteraNDMPHostIdInUse_info> {
 public:
  explicit MMS2IsCenteraNDMPHostIdInUse(DBtran* tran) : ZQDBProcBinding(tran) {}
  // The id of the NDMP host entry (its client id). Text mode: "%d" after a
  // size check of 14.
  void setValues(int hostId) { bindInputs(hostId); }
  void setZQDBValues(ZQDB_int* hostId) { bindValues(hostId); }
};

// --- what the callers make of the result ---------------------------------------------

// The entry is free when the last status (of the open, or of the fetch
// after a successful open) is 0 or 100 and there is no row or the row's
// o_AppId is 0. Only the first row counts.
inline bool centeraNDMPHostIsFree(int lastStatus, const MMS2IsCenteraNDMPHostIdInUse_t* row) {
  return (lastStatus == 0 || lastStatus == DB_NO_ROW) && (row == nullptr || row->o_AppId == 0);
}

struct CenteraNDMPHostUse {
  bool inUse = true;
  int status = 0;  // the last status of the open or the fetch
  int appId = 0;   // of the first row
  std::string clientName;
  std::string subclientName;
};

// Runs the check for one entry (no transaction): opens the result, fetches
// the first row only when the open succeeded.
inline CenteraNDMPHostUse checkCenteraNDMPHostInUse(int hostId) {
  MMS2IsCenteraNDMPHostIdInUse proc(nullptr);
  proc.setValues(hostId);
  const MMS2IsCenteraNDMPHostIdInUse_t* row = proc.getDataPtr();
  CenteraNDMPHostUse use;
  use.status = proc.openCursor();
  if (use.status == 0) use.status = proc.fetchCursor(true);
  use.inUse = !centeraNDMPHostIsFree(use.status, row);
  use.appId = row->o_AppId;
  use.clientName = row->o_ClientName;
  use.subclientName = row->o_SubclientName;
  return use;
}
