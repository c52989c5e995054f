// Binding of the stored procedure MMIsMAPushedToAnotherTK: whether one media
// agent may be offered as a library host. The list of library servers asks
// it only for agents whose configuration attribute does not already make
// them one (libraryHostNeedsQuery), and offers an agent only when the query
// read a row whose first column is above 0 (libraryHostOffered):
//
//   if (!libraryHostNeedsQuery(agent->GetAttribute()) || isOfferedAsLibraryHost(agent->GetId()))
//     ... list the agent ...
//
// The body is the database's (platform/db/procs/MMIsMAPushedToAnotherTK.cpp).
#pragma once

#include "Db/ZQDBProcBinding.h"

#define MMISMAPUSHEDTOANOTHERTK_COLUMNS(COL) \
  COL(o_isPushedToAnotherTK, i, 0)           \
  COL(o_reserveOutput, i, 0)

inline constexpr ZQDBBindingInfo MMIsMAPushedToAnotherTK_info{.headerType = ZQDB_HEADER_PROCEDURE,
                                                              .dbName = "MMIsMAPushedToAnotherTK",
                                                              .className = "MMIsMAPushedToAnotherTK",
                                                              .version = "00010001000400030000",
                                                              .header = "Db/Proc/MMIsMAPushedToAnotherTK",
                                                              .line = 379};

struct MMIsMAPushedToAnotherTK_t {
  MMISMAPUSHEDTOANOTHERTK_COLUMNS(ZQDB_FIELD)
  ZQDB_ROW(MMIsMAPushedToAnotherTK_t, MMISMAPUSHEDTOANOTHERTK_COLUMNS)
};

class MMIsMAPushedToAnotherTK_t2
    : public ZQDBCatalogue<MMIsMAPushedToAnotherTK_t2, MMIsMAPushedToAnotherTK_t, MMIsMAPushedToAnotherTK_info> {
 public:
  MMIsMAPushedToAnotherTK_t2() = default;
  MMIsMAPushedToAnotherTK_t2(const MMIsMAPushedToAnotherTK_t2&) = delete;
  MMIsMAPushedToAnotherTK_t2& operator=(const MMIsMAPushedToAnotherTK_t2&) = delete;
};

class MMIsMAPushedToAnotherTK
    : public ZQDBProcBinding<MMIsMAPushedToAnotherTK_t, MMIsMAPushedToAnotherTK_t2, MMIsMAPushedToAnotherTK_info> {
 public:
  explicit MMIsMAPushedToAnotherTK(DBtran* tran) : ZQDBProcBinding(tran) {}
  // (media-agent id, 0). Text mode: "%d,%d" after a size check of 29.
  void setValues(int mediaAgentId, int reserved) { bindInputs(mediaAgentId, reserved); }
  void setZQDBValues(ZQDB_int* mediaAgentId, ZQDB_int* reserved) { bindValues(mediaAgentId, reserved); }
};

// --- what the callers make of the result ------------------------------------------

// Configuration-attribute bits that make an agent a library host without
// asking the database.
inline constexpr int kLibraryHostAttributes = 0x1000 | 0x2000;

inline bool libraryHostNeedsQuery(int attribute) { return (attribute & kLibraryHostAttributes) == 0; }

// An agent is offered only when a row was read and its first column is
// above 0; no row, a database error, 0 or a negative value leave it out.
inline bool libraryHostOffered(int result, const MMIsMAPushedToAnotherTK_t* row) {
  return result == 0 && row != nullptr && row->o_isPushedToAnotherTK > 0;
}

// Runs the question for one agent (no transaction) and applies the rule.
inline bool isOfferedAsLibraryHost(int mediaAgentId, int* result = nullptr) {
  MMIsMAPushedToAnotherTK query(nullptr);
  query.setValues(mediaAgentId, 0);
  int code = getOneRow(&query, false, -1, 0);
  if (result != nullptr) *result = code;
  return libraryHostOffered(code, query.getDataPtr());
}
