// Body of the stored procedure MMS2GetMediaAgentList(userId, mediaAgentId,
// applyRights).
//
// One row per media agent (a client with an MMHost row) in client id
// order: every agent when mediaAgentId is 0, else only that one; with
// applyRights not 0 only the agents on which the user may manage media
// (the security service's canManageMediaAgent rights, read without asking
// it as a handler would). Names come from APP_Client: the display name
// (the client name when it is empty), the network host name, the release
// and the operating system; o_attribute is the agent's MMHost attribute. The
// database keeps no software, hardware or state details of agents: those
// columns read empty or 0, o_enabled 1 and o_description NULL.
#include "Db/Proc/MMS2GetMediaAgentList.h"

#include <vector>

#include "platform/db/procs/ProcBodySupport.h"
#include "platform/security/Rights.h"

namespace {

constexpr const char* kName = "MMS2GetMediaAgentList";

constexpr const char* kSql =
    "SELECT C.id, IFNULL(C.name, ''), "
    "CASE WHEN IFNULL(C.displayName, '') = '' THEN IFNULL(C.name, '') ELSE C.displayName END, "
    "IFNULL(C.net_hostname, ''), 0, 0, 1, 0, IFNULL(C.releaseId, 0), '', '', '', '', "
    "IFNULL(C.simOperatingSystemId, 0), 0, 0, 0, IFNULL(H.Attribute, 0), 0, 0, 0, 0, 0, 0, NULL, 0, 0 "
    "FROM MMHost H JOIN APP_Client C ON C.id = H.ClientId "
    "WHERE ?1 = 0 OR H.ClientId = ?1 "
    "ORDER BY C.id";

int body(tkdb::ProcCall& call) {
  std::vector<long long> in;
  if (!tkprocs::integerInputs(call, kName, 3, "three integers (user id, media-agent id, rights switch)", in)) {
    return DB_ERR_INPUT;
  }
  const long long userId = in[0];
  const long long mediaAgentId = in[1];
  const long long applyRights = in[2];
  tkdb::DbRows rows;
  int code = call.session.query(kSql, {mediaAgentId}, rows);
  if (code != DB_OK) return tkprocs::failed(call, code);
  for (tkdb::DbRow& row : rows) {
    if (applyRights != 0 && !tksecurity::refusal("canManageMediaAgent", userId, row[0].i).empty()) continue;
    call.rows.push_back(std::move(row));
  }
  return DB_OK;
}

[[maybe_unused]] const bool kRegistered = tkprocs::registered(kName, body);

}  // namespace
