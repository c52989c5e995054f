// Media-management table access: the DRU host table.
#include "platform/mmdb/MMDRUHostDB.h"

#include <climits>

#include "platform/db/DBSession.h"
#include "platform/db/DBtable.h"
#include "platform/db/TextWidth.h"
#include "platform/journal/Journal.h"

namespace {

constexpr const char* kNameInUse = "SELECT 1 FROM \"MMDRUHost\" WHERE \"HostName\" = ? AND \"HostId\" <> ?";

std::string missingHost(int id) { return "No DRU host with id [" + std::to_string(id) + "]."; }

// The widths checkHost holds the row's texts to.
[[maybe_unused]] const bool kWidthsDeclared = [] {
  tkdb::declareTextWidth("MMDRUHost", "HostName", MMDRUHostDB::kNameWidth);
  tkdb::declareTextWidth("MMDRUHost", "UserName", MMDRUHostDB::kUserNameWidth);
  tkdb::declareTextWidth("MMDRUHost", "UserPassword", MMDRUHostDB::kPasswordWidth);
  return true;
}();

// Whether another host than `id` carries the name: 0 (no), 1 (yes) or the
// engine's result.
int nameTaken(tkdb::Session& s, const std::string& name, int id, bool& taken) {
  tkdb::DbRows rows;
  const int rc = s.query(kNameInUse, {name, id}, rows);
  taken = rc == DB_OK && !rows.empty();
  return rc;
}

}  // namespace

bool MMDRUHostDB::checkHost(const char* tag, const MMStoredDRUHost& host) {
  return checkText(tag, "DRU host name", host.name.c_str(), kNameWidth, false) &&
         checkText(tag, "DRU host user name", host.userName.c_str(), kUserNameWidth, true) &&
         checkText(tag, "DRU host password", host.password.c_str(), kPasswordWidth, true);
}

int MMDRUHostDB::loadAll(std::vector<MMStoredDRUHost>& out, DBtran* tran) {
  static constexpr const char* kTag = "MMDRUHostDB::loadAll";
  if (!beginCall(kTag, mmTranText(tran))) return -1;
  tkdb::Session session(tran);
  tkdb::DbRows rows;
  const int rc = session.query(
      "SELECT \"HostId\", \"HostName\", \"UserName\", \"UserPassword\", \"Port\" FROM \"MMDRUHost\" ORDER BY "
      "\"HostId\"",
      {}, rows);
  if (rc != DB_OK) return failDatabase(kTag, rc, session, "The DRU hosts could not be read");
  std::vector<MMStoredDRUHost> hosts;
  hosts.reserve(rows.size());
  for (const tkdb::DbRow& row : rows) {
    long long id = 0;
    long long port = 0;
    if (row.size() != 5 || !tkdb::integerOf(row[0], id, false) || !tkdb::integerOf(row[4], port, false) ||
        id < 0 || id > INT_MAX || port < INT_MIN || port > INT_MAX)
      return fail(kTag, MMS2_ERROR_BAD_VALUE, 0, "A row of MMDRUHost holds an unusable value.");
    hosts.push_back({static_cast<int>(id), tkdb::textOf(row[1]), tkdb::textOf(row[2]), tkdb::textOf(row[3]),
                     static_cast<int>(port)});
  }
  out = std::move(hosts);
  return 0;
}

int MMDRUHostDB::insertHost(MMStoredDRUHost& host, DBtran* tran) {
  static constexpr const char* kTag = "MMDRUHostDB::insertHost";
  if (!beginCall(kTag, host.name, host.userName, host.port, mmTranText(tran))) return -1;
  if (!checkHost(kTag, host)) return -1;
  long long id = 0;
  const int rc = atomically(kTag, tran, [&](tkdb::Session& s, Refusal& refusal) -> int {
    bool taken = false;
    int code = nameTaken(s, host.name, -1, taken);
    if (code != DB_OK) return code;
    if (taken) {
      refusal = {MMS2_ERROR_DUPLICATE_NAME, 0, "A DRU host named [" + host.name + "] exists already.", false};
      return kRefused;
    }
    code = s.exec("INSERT INTO \"MMDRUHost\" (\"HostName\", \"UserName\", \"UserPassword\", \"Port\") VALUES (?, ?, ?, ?)",
                  {host.name, host.userName, host.password, host.port});
    id = s.lastInsertId();
    return code;
  });
  if (rc != 0) return rc;
  host.id = static_cast<int>(id);
  return 0;
}

int MMDRUHostDB::updateHost(const MMStoredDRUHost& host, DBtran* tran) {
  static constexpr const char* kTag = "MMDRUHostDB::updateHost";
  if (!beginCall(kTag, host.id, host.name, host.userName, host.port, mmTranText(tran))) return -1;
  if (!checkHost(kTag, host)) return -1;
  return atomically(kTag, tran, [&](tkdb::Session& s, Refusal& refusal) -> int {
    bool taken = false;
    int code = nameTaken(s, host.name, host.id, taken);
    if (code != DB_OK) return code;
    if (taken) {
      refusal = {MMS2_ERROR_DUPLICATE_NAME, 0, "A DRU host named [" + host.name + "] exists already.", false};
      return kRefused;
    }
    code = s.exec("UPDATE \"MMDRUHost\" SET \"HostName\" = ?, \"UserName\" = ?, \"UserPassword\" = ?, \"Port\" = ? "
                  "WHERE \"HostId\" = ?",
                  {host.name, host.userName, host.password, host.port, host.id});
    if (code != DB_OK) return code;
    if (s.changes() == 0) {
      refusal = {MMS2_ERROR_NOT_FOUND, DB_NO_ROW, missingHost(host.id), true};
      return kRefused;
    }
    return DB_OK;
  });
}

int MMDRUHostDB::removeHost(int id, DBtran* tran) {
  static constexpr const char* kTag = "MMDRUHostDB::removeHost";
  if (!beginCall(kTag, id, mmTranText(tran))) return -1;
  return change(kTag, "DELETE FROM \"MMDRUHost\" WHERE \"HostId\" = ?", {id}, tran, missingHost(id));
}
