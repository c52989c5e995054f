// Media-management table access: RP stores.
#include "platform/mmdb/MMRPStoreConfigDB.h"

#include "platform/db/DBSession.h"
#include "platform/db/DBtable.h"
#include "platform/mmdb/MMJournal.h"
#include "platform/mmdb/MMLayouts.h"

namespace {

constexpr size_t kStoreNameMax = sizeof(MMRPStoreConfig_t::Name) - 1;

std::string missingStore(int rpStoreId) { return "No RP store with id [" + std::to_string(rpStoreId) + "]."; }

std::string storeName(const MMRPStoreConfig_t& row) { return std::string(row.Name, strnlen(row.Name, sizeof row.Name)); }

}  // namespace

int MMRPStoreConfigDB::addRPStoreConfig(MMRPStoreConfig_t& row, int& newId, DBtran* tran) {
  static constexpr const char* kTag = "MMRPStoreConfigDB::addRPStoreConfig";
  const std::string name = storeName(row);
  if (!beginCall(kTag, name, row.LibraryId, row.MountPathId, row.State, row.MinSpace, row.MaxSpace,
                       mmTranText(tran))) {
    return -1;
  }
  if (!checkText(kTag, "RP store name", name.c_str(), kStoreNameMax, false)) return -1;
  const MMLayout& layout = tkmmdb::rpStoreLayout();
  const std::vector<tkdb::DbValue> values = recordValues(layout, &row, "RPStoreId");
  long long id = 0;
  int rc = atomically(kTag, tran, [&](tkdb::Session& s, Refusal& refusal) -> int {
    tkdb::DbRow found;
    int code = s.queryOne("SELECT 1 FROM \"MMLibrary\" WHERE \"LibraryId\" = ?", {row.LibraryId}, found);
    if (code == DB_NO_ROW) {
      refusal = {MMS2_ERROR_REFERENCE, DB_NO_ROW, "No library with id [" + std::to_string(row.LibraryId) + "].", false};
      return kRefused;
    }
    if (code != DB_OK) return code;
    code = s.exec(insertSql(layout, "RPStoreId"), values);
    if (code != DB_OK) return code;
    id = s.lastInsertId();
    return 0;
  });
  if (rc != 0) return rc;
  newId = static_cast<int>(id);
  row.RPStoreId = newId;
  return 0;
}

int MMRPStoreConfigDB::updateRPStoreConfig(MMRPStoreConfig_t& row, int mask, DBtran* tran) {
  static constexpr const char* kTag = "MMRPStoreConfigDB::updateRPStoreConfig";
  const std::string name = storeName(row);
  if (!beginCall(kTag, row.RPStoreId, mask, name, row.MinSpace, row.MaxSpace, mmTranText(tran))) {
    return -1;
  }
  std::string set;
  std::vector<tkdb::DbValue> params;
  auto add = [&](const char* column, tkdb::DbValue value) {
    if (!set.empty()) set += ", ";
    set += std::string("\"") + column + "\" = ?";
    params.push_back(std::move(value));
  };
  if ((mask & MM_RPSTORE_UPDATE_NAME) != 0) {
    if (!checkText(kTag, "RP store name", name.c_str(), kStoreNameMax, false)) return -1;
    add("Name", name);
  }
  if ((mask & MM_RPSTORE_UPDATE_MIN_SPACE) != 0) add("MinSpace", row.MinSpace);
  if ((mask & MM_RPSTORE_UPDATE_MAX_SPACE) != 0) add("MaxSpace", row.MaxSpace);
  params.emplace_back(row.RPStoreId);
  // Without a column to write the store must still exist.
  const std::string sql = set.empty()
                              ? "UPDATE \"MMRPStoreConfig\" SET \"RPStoreId\" = \"RPStoreId\" WHERE \"RPStoreId\" = ?"
                              : "UPDATE \"MMRPStoreConfig\" SET " + set + " WHERE \"RPStoreId\" = ?";
  return change(kTag, sql, params, tran, missingStore(row.RPStoreId));
}

int MMRPStoreConfigDB::getInfo(int rpStoreId, MMRPStoreConfig_t& row, DBtran* tran) {
  static constexpr const char* kTag = "MMRPStoreConfigDB::getInfo";
  if (!beginCall(kTag, rpStoreId, mmTranText(tran))) return -1;
  return readOne(kTag, tkmmdb::rpStoreLayout(), "\"RPStoreId\" = ?", {rpStoreId}, &row, tran, missingStore(rpStoreId));
}

int MMRPStoreConfigDB::getRPStoresForLibrary(int libraryId, MMRPStoreConfig_t*& rows, int& count, DBtran* tran) {
  static constexpr const char* kTag = "MMRPStoreConfigDB::getRPStoresForLibrary";
  rows = nullptr;
  count = 0;
  if (!beginCall(kTag, libraryId, mmTranText(tran))) return -1;
  return readList(kTag, tkmmdb::rpStoreLayout(), "\"LibraryId\" = ?", {libraryId}, rows, count, tran);
}

void MMRPStoreConfigDB::DeleteList(MMRPStoreConfig_t*& rows, const char* file, int line) {
  if (tkmmdb::journalOn()) tkmmdb::journal().record("MMRPStoreConfigDB::DeleteList", tkjournal::args(file, line));
  delete[] rows;
  rows = nullptr;
}

int MMRPStoreConfigDB::deleteRPStoreForMP(int mountPathId, DBtran* tran) {
  static constexpr const char* kTag = "MMRPStoreConfigDB::deleteRPStoreForMP";
  if (!beginCall(kTag, mountPathId, mmTranText(tran))) return -1;
  return atomically(kTag, tran, [&](tkdb::Session& s, Refusal&) -> int {
    int rc = s.exec("DELETE FROM \"MMRPStoreProp\" WHERE \"RPStoreId\" IN (SELECT \"RPStoreId\" FROM "
                    "\"MMRPStoreConfig\" WHERE \"MountPathId\" = ?)",
                    {mountPathId});
    if (rc != DB_OK) return rc;
    return s.exec("DELETE FROM \"MMRPStoreConfig\" WHERE \"MountPathId\" = ?", {mountPathId});
  });
}
