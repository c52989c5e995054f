// References between stored objects (MMStoredReferences.h).
#include "platform/mmdb/MMStoredReferences.h"

#include <cstdint>

#include "platform/catalogue/Catalogue.h"
#include "platform/db/DBSession.h"
#include "platform/mmdb/MMMediaConfigDB.h"

namespace {

// The refusal of a reference to nothing (%1 what is named, %2 its id).
constexpr uint32_t kTextMissingReference = 0x24000F03;

std::string quoted(const char* name) { return std::string("\"") + name + "\""; }

// Where the object a reference names is: its table and key.
void placeOf(const MMStoredReference& r, const char*& table, const char*& key) {
  if (r.table != nullptr) {
    table = r.table;
    key = r.key;
    return;
  }
  const MMStoredKindRow& row = storedKind(r.refers);
  table = row.table;
  key = row.key;
}

int rowExists(tkdb::Session& s, const char* table, const char* key, long long id) {
  tkdb::DbRow row;
  return s.queryOne("SELECT 1 FROM " + quoted(table) + " WHERE " + quoted(key) + " = ?", {id}, row);
}

}  // namespace

int storedObjectExists(tkdb::Session& s, MMStoredKind kind, long long id) {
  const MMStoredKindRow& row = storedKind(kind);
  return rowExists(s, row.table, row.key, id);
}

const std::vector<MMStoredReference>& storedReferences() {
  using K = MMStoredKind;
  // A drive pool copies through its copy manager (the pool's column holds
  // the copy manager's id); a drive path belongs to a drive pool; a disk
  // device is reached through a DRU host, which is kept in a table of its
  // own; a disk volume logs in with a stored credential (the model's
  // credential id, kept in the controller's CredentialAssocId).
  static const std::vector<MMStoredReference> kReferences = {
      {K::DrivePool, "CopyManagerCtrlId", K::CopyManager, "copy manager", nullptr, nullptr},
      {K::DrivePath, "DrivePoolId", K::DrivePool, "drive pool", nullptr, nullptr},
      {K::Device, "DRUHostId", K::MediaAgent, "DRU host", "MMDRUHost", "HostId"},
      {K::DeviceController, "CredentialAssocId", K::DeviceController, "credential", "APP_Credentials",
       "credentialId"},
  };
  return kReferences;
}

std::string missingReferenceText(const char* what, long long id) {
  return tkcatalogue::render(kTextMissingReference, 0, {what, std::to_string(id)});
}

int checkStoredReferences(tkdb::Session& s, MMStoredKind kind, int id, const std::vector<MMStoredColumn>& settings,
                          std::string& refusal) {
  const MMStoredKindRow& owner = storedKind(kind);
  for (const MMStoredReference& r : storedReferences()) {
    if (r.kind != kind) continue;
    for (const MMStoredColumn& setting : settings) {
      if (setting.column != r.column || setting.mask != 0) continue;
      long long target = 0;
      if (!tkdb::integerOf(setting.value, target, false) || target <= 0) continue;  // names nothing
      // Unchanged: stored before, not asked again.
      tkdb::DbRow row;
      int rc = s.queryOne("SELECT 1 FROM " + quoted(owner.table) + " WHERE " + quoted(owner.key) + " = ? AND " +
                              quoted(r.column) + " = ?",
                          {id, target}, row);
      if (rc == DB_OK) continue;
      if (rc != DB_NO_ROW) return rc;
      const char* table = nullptr;
      const char* key = nullptr;
      placeOf(r, table, key);
      rc = rowExists(s, table, key, target);
      if (rc == DB_NO_ROW) refusal = missingReferenceText(r.what, target);
      if (rc != DB_OK) return rc;
    }
  }
  return DB_OK;
}
