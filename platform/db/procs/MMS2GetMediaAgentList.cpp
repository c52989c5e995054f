// Body of the stored procedure MMS2GetMediaAgentList(userId, mediaAgentId,
// applyRights).
//
// One row per media agent (a client with an MMHost row) in client id
// order: every agent when mediaAgentId is 0, else only that one; with
// applyRights not 0 only the agents on which the user may manage media
// (the security service's canManageMediaAgent rights, read without asking
// it as a handler would). Names come from APP_Client: the display name
// (the client name when the table has no display name or it is empty),
// the network host name, and, where the table keeps them, the release and
// the operating system; o_attribute is the agent's MMHost attribute. The
// database keeps no software, hardware or state details of agents: those
// columns read empty or 0, o_enabled 1 and o_description NULL.
#include "Db/Proc/MMS2GetMediaAgentList.h"

#include <cctype>
#include <set>
#include <string>

#include "platform/db/DBSession.h"
#include "platform/db/DBtable.h"
#include "platform/security/Rights.h"

namespace {

constexpr const char* kName = "MMS2GetMediaAgentList";

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// The columns APP_Client has in this database.
int clientColumns(tkdb::Session& session, std::set<std::string>& names) {
  tkdb::DbRows rows;
  int code = session.query("PRAGMA table_info(\"APP_Client\")", {}, rows);
  if (code != DB_OK) return code;
  for (const tkdb::DbRow& row : rows) {
    if (row.size() > 1 && row[1].type == tkdb::DbValue::Type::Text) names.insert(lower(row[1].s));
  }
  return DB_OK;
}

bool readInt(const tkdb::DbValue& value, long long& out) {
  if (value.type == tkdb::DbValue::Type::Int) {
    out = value.i;
    return true;
  }
  return false;
}

int body(tkdb::ProcCall& call) {
  long long userId = 0, mediaAgentId = 0, applyRights = 0;
  if (call.inputs.size() != 3 || !readInt(call.inputs[0], userId) || !readInt(call.inputs[1], mediaAgentId) ||
      !readInt(call.inputs[2], applyRights)) {
    call.error = std::string(kName) + " takes three integers (user id, media-agent id, rights switch)";
    return DB_ERR_INPUT;
  }
  std::set<std::string> has;
  int code = clientColumns(call.session, has);
  if (code != DB_OK) {
    call.error = call.session.errorText();
    return code;
  }
  const std::string displayName =
      has.count("displayname") > 0
          ? "CASE WHEN IFNULL(C.displayName, '') = '' THEN IFNULL(C.name, '') ELSE C.displayName END"
          : "IFNULL(C.name, '')";
  const std::string releaseId = has.count("releaseid") > 0 ? "IFNULL(C.releaseId, 0)" : "0";
  const std::string osId = has.count("simoperatingsystemid") > 0 ? "IFNULL(C.simOperatingSystemId, 0)" : "0";
  const std::string sql = "SELECT C.id, IFNULL(C.name, ''), " + displayName +
                          ", IFNULL(C.net_hostname, ''), 0, 0, 1, 0, " + releaseId + ", '', '', '', '', " + osId +
                          ", 0, 0, 0, IFNULL(H.Attribute, 0), 0, 0, 0, 0, 0, 0, NULL, 0, 0 "
                          "FROM MMHost H JOIN APP_Client C ON C.id = H.ClientId "
                          "WHERE ?1 = 0 OR H.ClientId = ?1 "
                          "ORDER BY C.id";
  tkdb::DbRows rows;
  code = call.session.query(sql, {mediaAgentId}, rows);
  if (code != DB_OK) {
    call.error = call.session.errorText();
    return code;
  }
  for (tkdb::DbRow& row : rows) {
    if (applyRights != 0 && !tksecurity::refusal("canManageMediaAgent", userId, row[0].i).empty()) continue;
    call.rows.push_back(std::move(row));
  }
  return DB_OK;
}

[[maybe_unused]] const bool kRegistered = [] {
  tkdb::registerProcedure(kName, body);
  return true;
}();

}  // namespace
