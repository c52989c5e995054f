// Media-management table access: the software copy managers.
#include "platform/mmdb/MMCopyManagerDB.h"

#include "platform/db/DBSession.h"
#include "platform/db/TextWidth.h"

namespace {

std::string missingRow(int id) { return "No copy manager with id [" + std::to_string(id) + "]."; }

// The width checkRow holds both names to.
[[maybe_unused]] const bool kWidthsDeclared = [] {
  tkdb::declareTextWidth("MMCopyManager", "CopyManagerName", MMCopyManagerDB::kNameWidth);
  tkdb::declareTextWidth("MMCopyManager", "ControllerName", MMCopyManagerDB::kNameWidth);
  return true;
}();

}  // namespace

bool MMCopyManagerDB::checkRow(const char* tag, const MMStoredCopyManager& row) {
  if (row.concurrencyLimit < 0) {
    fail(tag, MMS2_ERROR_BAD_ARGUMENT, 0, "The concurrency limit cannot be negative.");
    return false;
  }
  return checkText(tag, "copy manager name", row.name.c_str(), kNameWidth, false) &&
         checkText(tag, "copy manager controller name", row.controllerName.c_str(), kNameWidth, true);
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
