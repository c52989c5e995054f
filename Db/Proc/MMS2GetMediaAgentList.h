// Binding of the stored procedure MMS2GetMediaAgentList: the media agents
// that a user may use, one row per agent with its host names, state,
// software release, operating system and flags. The media-agent listing of
// the library and drive configuration walks it row by row:
//
//   MMS2GetMediaAgentList list(nullptr);
//   list.setValues(userId, 0, 1);
//   int count = 0;
//   while (getNextRow(&list, &count, -1, 0) == 0) {
//     const MMS2GetMediaAgentList_t* row = list.getDataPtr();
//     if (!mediaAgentListShows(*row)) continue;
//     ... row->o_hostClientId, row->o_hostName, mediaAgentShownName(*row) ...
//   }
//   if (count == 0) ... the user may use no media agent ...
//
// The rows that are not shown still count: a user whose agents are all
// hidden is not refused, he only sees none.
//
// The body is the database's (platform/db/procs/MMS2GetMediaAgentList.cpp).
#pragma once

#include <string>

#include "Db/ZQDBProcBinding.h"

#define MMS2GETMEDIAAGENTLIST_COLUMNS(COL) \
  COL(o_hostClientId, i, 0)                \
  COL(o_hostName, s, 256)                  \
  COL(o_hostDisplayName, s, 256)           \
  COL(o_hostNetworkName, s, 256)           \
  COL(o_hostType, i, 0)                    \
  COL(o_softState, i, 0)                   \
  COL(o_enabled, i, 0)                     \
  COL(o_MAOfflineReason, i, 0)             \
  COL(o_ReleaseId, i, 0)                   \
  COL(o_SoftWareRelease, s, 256)           \
  COL(o_SoftWareBuildId, s, 256)           \
  COL(o_SystemOsVersion, s, 256)           \
  COL(o_SystemHardWare, s, 256)            \
  COL(o_SystemOsId, i, 0)                  \
  COL(o_numLibraries, i, 0)                \
  COL(o_isTarnkeeper, i, 0)                \
  COL(o_isVirtualClient, i, 0)             \
  COL(o_attribute, i, 0)                   \
  COL(o_isPreConfigured, i, 0)             \
  COL(o_patchStatus, i, 0)                 \
  COL(o_isMACatalogServer, i, 0)           \
  COL(o_isEDCDiscovered, i, 0)             \
  COL(o_MAMaxReservations, i, 0)           \
  COL(o_flags, i, 0)                       \
  COL(o_description, s, 0)                 \
  COL(o_Capabilities, b, 0)                \
  COL(o_InstalledTime, i, 0)

inline constexpr ZQDBBindingInfo MMS2GetMediaAgentList_info{.headerType = ZQDB_HEADER_PROCEDURE,
                                                            .dbName = "MMS2GetMediaAgentList",
                                                            .className = "MMS2GetMediaAgentList",
                                                            .version = "00010047001200080000",
                                                            .header = "Db/Proc/MMS2GetMediaAgentList",
                                                            .line = 709};

// The row owns o_description; it is never copied.
struct MMS2GetMediaAgentList_t {
  MMS2GETMEDIAAGENTLIST_COLUMNS(ZQDB_FIELD)
  ZQDB_ROW(MMS2GetMediaAgentList_t, MMS2GETMEDIAAGENTLIST_COLUMNS)
};

class MMS2GetMediaAgentList_t2
    : public ZQDBCatalogue<MMS2GetMediaAgentList_t2, MMS2GetMediaAgentList_t, MMS2GetMediaAgentList_info> {
 public:
  MMS2GetMediaAgentList_t2() = default;
  MMS2GetMediaAgentList_t2(const MMS2GetMediaAgentList_t2&) = delete;
  MMS2GetMediaAgentList_t2& operator=(const MMS2GetMediaAgentList_t2&) = delete;
};

class MMS2GetMediaAgentList
    : public ZQDBProcBinding<MMS2GetMediaAgentList_t, MMS2GetMediaAgentList_t2, MMS2GetMediaAgentList_info> {
 public:
  explicit MMS2GetMediaAgentList(DBtran* tran) : ZQDBProcBinding(tran) {}
  // (user id, media-agent client id or 0 for every agent, 1 to keep only
  // the agents the user may use or 0 for all); the listing passes
  // (user id, 0, 1). Text mode: "%d,%d,%d" after a size check of 44.
  void setValues(int userId, int mediaAgentId, int applyRights) { bindInputs(userId, mediaAgentId, applyRights); }
  void setZQDBValues(ZQDB_int* userId, ZQDB_int* mediaAgentId, ZQDB_int* applyRights) {
    bindValues(userId, mediaAgentId, applyRights);
  }
};

// --- what the callers make of the rows ---------------------------------------------

// Attribute bit of an agent that is listed for nobody.
inline constexpr int kMediaAgentHiddenAttribute = 0x2000;

// True when the listing shows the row's agent.
inline bool mediaAgentListShows(const MMS2GetMediaAgentList_t& row) {
  return (row.o_attribute & kMediaAgentHiddenAttribute) == 0;
}

// The name the listing shows: display name, then the network host name in
// parentheses ("ma1(ma1.example.net)"); at most 512 characters.
inline std::string mediaAgentShownName(const MMS2GetMediaAgentList_t& row) {
  std::string shown = row.o_hostDisplayName;
  shown += "(";
  shown += row.o_hostNetworkName;
  shown += ")";
  return shown;
}
