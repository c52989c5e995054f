// Media-management table access: the software copy managers.
#include "platform/mmdb/MMCopyManagerDB.h"

#include <climits>
#include <memory>
#include <mutex>

#include "platform/db/DBSession.h"
#include "platform/db/DBtable.h"
#include "platform/mmdb/MMConfigChangeLog.h"
#include "platform/mmdb/MMKeptBeside.h"
#include "platform/mmdb/MMMediaConfigDB.h"

namespace {

std::string missingRow(int id) { return "No copy manager with id [" + std::to_string(id) + "]."; }

MMKeptBeside<std::vector<MMStoredCopyManager>>& kept() {
  static auto* kept = new MMKeptBeside<std::vector<MMStoredCopyManager>>();  // lives for the whole process
  return *kept;
}

}  // namespace

bool MMCopyManagerDB::checkRow(const char* tag, const MMStoredCopyManager& row) {
  if (row.concurrencyLimit < 0) {
    fail(tag, MMS2_ERROR_BAD_ARGUMENT, 0, "The concurrency limit cannot be negative.");
    return false;
  }
  return checkText(tag, "copy manager name", row.name.c_str(), kNameWidth, false) &&
         checkText(tag, "copy manager controller name", row.controllerName.c_str(), kNameWidth, true);
}

int MMCopyManagerDB::loadBeside(const MMStoredSnapshot& snapshot, std::vector<MMStoredCopyManager>& out) {
  static constexpr const char* kTag = "MMCopyManagerDB::loadBeside";
  if (auto rows = kept().find(snapshot)) {
    out = *rows;
    return 0;
  }
  if (!beginCall(kTag)) return -1;
  tkmmdb::registerChangeLog();
  tkdb::Session session;
  tkdb::DbRows rows;
  const int rc = session.query("SELECT \"CopyManagerId\", \"CopyManagerName\", \"ConcurrencyLimit\", \"ClientId\", "
                               "\"ControllerName\" FROM \"MMCopyManager\" ORDER BY \"CopyManagerId\"",
                               {}, rows);
  if (rc != DB_OK) return failDatabase(kTag, rc, session, "The copy managers could not be read");
  std::vector<MMStoredCopyManager> read;
  read.reserve(rows.size());
  for (const tkdb::DbRow& row : rows) {
    long long id = 0;
    long long limit = 0;
    long long client = 0;
    if (row.size() != 5 || !tkdb::integerOf(row[0], id, false) || !tkdb::integerOf(row[2], limit, false) ||
        !tkdb::integerOf(row[3], client, false) || id < 1 || id > INT_MAX || limit < 0 || limit > INT_MAX ||
        client < INT_MIN || client > INT_MAX)
      return fail(kTag, MMS2_ERROR_BAD_VALUE, 0, "A row of MMCopyManager holds an unusable value.");
    read.push_back({static_cast<int>(id), tkdb::textOf(row[1]), static_cast<int>(limit), static_cast<int>(client),
                    tkdb::textOf(row[4])});
  }
  kept().keep(snapshot, std::make_shared<const std::vector<MMStoredCopyManager>>(read));
  out = std::move(read);
  return 0;
}

int MMCopyManagerDB::insertCopyManager(MMStoredCopyManager& row, DBtran* tran) {
  static constexpr const char* kTag = "MMCopyManagerDB::insertCopyManager";
  if (!beginCall(kTag, row.name, row.concurrencyLimit, row.clientId, mmTranText(tran))) return -1;
  if (!checkRow(kTag, row)) return -1;
  long long id = 0;
  const int rc = atomically(kTag, tran, [&](tkdb::Session& s, Refusal& refusal) -> int {
    const int code = requireRow(s, "SELECT 1 FROM \"MMHost\" WHERE \"ClientId\" = ?", row.clientId,
                                "The media agent is no longer in the configuration.", refusal);
    if (code != DB_OK) return code;
    const int inserted = s.exec("INSERT INTO \"MMCopyManager\" (\"CopyManagerName\", \"ConcurrencyLimit\", "
                                "\"ClientId\", \"ControllerName\") VALUES (?, ?, ?, ?)",
                                {row.name, row.concurrencyLimit, row.clientId, row.controllerName});
    id = s.lastInsertId();
    return inserted;
  });
  if (rc != 0) return rc;
  row.id = static_cast<int>(id);
  return 0;
}

int MMCopyManagerDB::updateCopyManager(const MMStoredCopyManager& row, DBtran* tran) {
  static constexpr const char* kTag = "MMCopyManagerDB::updateCopyManager";
  if (!beginCall(kTag, row.id, row.name, row.concurrencyLimit, mmTranText(tran))) return -1;
  if (!checkRow(kTag, row)) return -1;
  return change(kTag, "UPDATE \"MMCopyManager\" SET \"CopyManagerName\" = ?, \"ConcurrencyLimit\" = ? WHERE "
                "\"CopyManagerId\" = ?",
                {row.name, row.concurrencyLimit, row.id}, tran, missingRow(row.id));
}

int MMCopyManagerDB::removeCopyManager(int id, DBtran* tran) {
  static constexpr const char* kTag = "MMCopyManagerDB::removeCopyManager";
  if (!beginCall(kTag, id, mmTranText(tran))) return -1;
  return change(kTag, "DELETE FROM \"MMCopyManager\" WHERE \"CopyManagerId\" = ?", {id}, tran, missingRow(id));
}
