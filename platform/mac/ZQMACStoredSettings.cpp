// The model's own settings (ZQMACStoredSettings.h): their table access,
// the write of an object's columns and settings in one step, and the lay-
// over of what is stored onto an instance's graph after a load.
//
// A load reads the table whole (it holds a few values per changed object,
// not per object), and only when the configuration change log moved on
// since the process last read it: a change of the table is logged like the
// configuration's own, so a read at the same place of the log is current.
#include <atomic>
#include <climits>
#include <cstdlib>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "frame/ZQPassword.h"
#include "frame/mac/ZQMACObjects.h"
#include "platform/db/DBSession.h"
#include "platform/db/DBtable.h"
#include "platform/mac/ZQMACGraph.h"
#include "platform/mac/ZQMACPlatform.h"
#include "platform/mac/ZQMACSettingsDB.h"
#include "platform/mmdb/MMMediaConfigDB.h"

namespace tkmac {
namespace {

constexpr const char* kUpsert =
    "INSERT INTO \"MMObjectSetting\" (\"Kind\", \"ObjectId\", \"Name\", \"Value\") VALUES (?, ?, ?, ?) "
    "ON CONFLICT (\"Kind\", \"ObjectId\", \"Name\") DO UPDATE SET \"Value\" = excluded.\"Value\"";

// What the process last read of the table, and where in the change log;
// kept beside the snapshot's own lists (one of them held as the anchor),
// so that whatever makes the table access read the configuration anew
// (MMMediaConfigDB::forgetLoaded) makes the settings be read anew too.
struct SettingsCache {
  std::mutex mutex;
  std::string path;
  std::string epoch;
  long long seq = -1;
  MMStoredSnapshot::List<MMStoredMediaAgent> anchor;
  std::shared_ptr<const std::vector<StoredSetting>> rows;
};

// How many settings the last read found: the next one makes room for as
// many up front. Only a hint.
std::atomic<size_t> g_lastRows{0};

SettingsCache& settingsCache() {
  static SettingsCache* cache = new SettingsCache();  // lives for the whole process
  return *cache;
}

std::string namesOf(const SettingValues& values) {
  std::string names;
  for (const auto& [name, value] : values) names += (names.empty() ? "" : ",") + name;
  return names;
}

}  // namespace

int ObjectSettingDB::loadAll(std::vector<StoredSetting>& out) {
  static constexpr const char* kTag = "MMObjectSettingDB::loadAll";
  static constexpr int kUnusable = -1;  // a row's visitor result: not an engine code
  if (!beginCall(kTag)) return -1;
  tkdb::Session session(nullptr);
  // Read where the rows lie, each straight into its setting: a load reads
  // a few settings per object of a large configuration, and copying every
  // row first cost it as much again.
  std::vector<StoredSetting> settings;
  settings.reserve(g_lastRows.load(std::memory_order_relaxed));
  tkdb::DbCell cells[4];
  auto text = [](const tkdb::DbCell& cell) {
    return cell.type == tkdb::DbValue::Type::Text ? std::string(cell.text) : tkdb::textOf(cell.value());
  };
  const int rc = session.each("SELECT \"Kind\", \"ObjectId\", \"Name\", \"Value\" FROM \"MMObjectSetting\" "
                              "ORDER BY \"Kind\", \"ObjectId\", \"Name\"",
                              {}, [&](const tkdb::RowView& row) {
                                long long kind = 0;
                                long long id = 0;
                                if (row.read(cells, 4) != 4 || !tkdb::integerOf(cells[0], kind, false) ||
                                    !tkdb::integerOf(cells[1], id, false) || kind < 0 || kind > INT_MAX ||
                                    id < INT_MIN || id > INT_MAX)
                                  return kUnusable;
                                settings.push_back({static_cast<int>(kind), static_cast<int>(id), text(cells[2]),
                                                    text(cells[3])});
                                return 0;
                              });
  if (rc == kUnusable) return fail(kTag, MMS2_ERROR_BAD_VALUE, 0, "A row of MMObjectSetting holds an unusable value.");
  if (rc != DB_OK) return failDatabase(kTag, rc, session, "The objects' settings could not be read");
  g_lastRows.store(settings.size(), std::memory_order_relaxed);
  out = std::move(settings);
  return 0;
}

int ObjectSettingDB::loadBeside(const MMStoredSnapshot& snapshot,
                                std::shared_ptr<const std::vector<StoredSetting>>& out) {
  SettingsCache& cache = settingsCache();
  const std::string path = tkdb::currentDatabasePath();
  const bool keep = snapshot.logSeq >= 0 && !tkdb::threadTransactionOpen();
  if (keep) {
    std::lock_guard<std::mutex> guard(cache.mutex);
    if (cache.rows && cache.seq == snapshot.logSeq && cache.epoch == snapshot.logEpoch && cache.path == path &&
        cache.anchor == snapshot.mediaAgents) {
      out = cache.rows;
      return 0;
    }
  }
  std::vector<StoredSetting> rows;
  if (loadAll(rows) != 0) return -1;
  auto shared = std::make_shared<const std::vector<StoredSetting>>(std::move(rows));
  if (keep) {
    std::lock_guard<std::mutex> guard(cache.mutex);
    cache.path = path;
    cache.epoch = snapshot.logEpoch;
    cache.seq = snapshot.logSeq;
    cache.anchor = snapshot.mediaAgents;
    cache.rows = shared;
  }
  out = std::move(shared);
  return 0;
}

int ObjectSettingDB::store(int kind, int id, const SettingValues& values, DBtran* tran) {
  static constexpr const char* kTag = "MMObjectSettingDB::store";
  if (!beginCall(kTag, kind, id, namesOf(values), mmTranText(tran))) return -1;
  return atomically(kTag, tran, [&](tkdb::Session& s, Refusal&) -> int {
    for (const auto& [name, value] : values) {
      const int code = s.exec(kUpsert, {kind, id, name, value});
      if (code != DB_OK) return code;
    }
    return DB_OK;
  });
}

int ObjectSettingDB::removeAll(int kind, int id, DBtran* tran) {
  static constexpr const char* kTag = "MMObjectSettingDB::removeAll";
  if (!beginCall(kTag, kind, id, mmTranText(tran))) return -1;
  return atomically(kTag, tran, [&](tkdb::Session& s, Refusal&) -> int {
    return s.exec("DELETE FROM \"MMObjectSetting\" WHERE \"Kind\" = ? AND \"ObjectId\" = ?", {kind, id});
  });
}

int ObjectSettingDB::removeOrphans(DBtran* tran) {
  static constexpr const char* kTag = "MMObjectSettingDB::removeOrphans";
  if (!beginCall(kTag, mmTranText(tran))) return -1;
  // Each kind that has settings, with the table and key of its rows.
  static const std::string sql = [] {
    const struct {
      MMStoredKind kind;
      const char* table;
      const char* key;
    } kinds[] = {{MMStoredKind::Library, "MMLibrary", "LibraryId"},
                 {MMStoredKind::LibraryController, "MMLibraryController", "LibraryControllerId"},
                 {MMStoredKind::Drive, "MMDrive", "DriveId"},
                 {MMStoredKind::DrivePath, "MMDrivePath", "DrivePathId"},
                 {MMStoredKind::Device, "MMDevice", "DeviceId"},
                 {MMStoredKind::DeviceController, "MMDeviceController", "DeviceControllerId"}};
    std::string text = "DELETE FROM \"MMObjectSetting\" WHERE ";
    bool first = true;
    for (const auto& k : kinds) {
      text += std::string(first ? "" : " OR ") + "(\"Kind\" = " + std::to_string(static_cast<int>(k.kind)) +
              " AND NOT EXISTS (SELECT 1 FROM \"" + k.table + "\" WHERE \"" + k.key +
              "\" = \"MMObjectSetting\".\"ObjectId\"))";
      first = false;
    }
    return text;
  }();
  return atomically(kTag, tran, [&](tkdb::Session& s, Refusal&) -> int { return s.exec(sql); });
}

int ObjectSettingDB::insertController(int libraryId, int clientId, const std::string& name, int controllerType,
                                      int& id, DBtran* tran) {
  static constexpr const char* kTag = "MMObjectSettingDB::insertController";
  if (!beginCall(kTag, libraryId, clientId, name, controllerType, mmTranText(tran))) return -1;
  long long made = 0;
  const int rc = atomically(kTag, tran, [&](tkdb::Session& s, Refusal& refusal) -> int {
    int code = requireRow(s, "SELECT 1 FROM \"MMLibrary\" WHERE \"LibraryId\" = ?", libraryId,
                          "The library of the controller is no longer stored.", refusal);
    if (code != DB_OK) return code;
    code = requireRow(s, "SELECT 1 FROM \"MMHost\" WHERE \"ClientId\" = ?", clientId,
                      "The media agent of the controller is no longer stored.", refusal);
    if (code != DB_OK) return code;
    code = s.exec("INSERT INTO \"MMLibraryController\" (\"ControllerName\", \"ClientId\", \"LibraryId\", "
                  "\"IsActive\", \"IsEnabled\", \"ControllerType\") VALUES (?, ?, ?, NOT EXISTS (SELECT 1 FROM "
                  "\"MMLibraryController\" WHERE \"LibraryId\" = ? AND \"IsActive\" <> 0), 0, ?)",
                  {name, clientId, libraryId, libraryId, controllerType});
    made = s.lastInsertId();
    return code;
  });
  if (rc != 0) return rc;
  id = static_cast<int>(made);
  return 0;
}

bool storeLibrarySettings(ZQMACLms& lms) { return ZQMACGraph::StoreLibrarySettings(&lms); }

}  // namespace tkmac

namespace {

// The table kind of an object whose settings the table keeps.
bool settingKind(const ZQMACInterface* object, MMStoredKind& kind) {
  switch (object->GetObjectType()) {
    case ZQMAC_OBJ_LMS:
    case ZQMAC_OBJ_LIBRARY: kind = MMStoredKind::Library; return true;
    case ZQMAC_OBJ_LIB_CONTROLLER:
    case ZQMAC_OBJ_IP_LIB_CONTROLLER: kind = MMStoredKind::LibraryController; return true;
    case ZQMAC_OBJ_DRIVE: kind = MMStoredKind::Drive; return true;
    case ZQMAC_OBJ_DMS: kind = MMStoredKind::DrivePath; return true;
    case ZQMAC_OBJ_DISK_DEVICE: kind = MMStoredKind::Device; return true;
    case ZQMAC_OBJ_DISK_VOLUME: kind = MMStoredKind::DeviceController; return true;
    default: return false;
  }
}

unsigned int errorCodeOf(const MMBaseDB& access) {
  return access.getErrorCode() == MMS2_ERROR_NOT_FOUND ? tkmac::kErrorObjectGone : tkmac::kErrorDatabase;
}

bool flag(const std::string& value) { return value == "1"; }

long long number(const std::string& value) { return std::strtoll(value.c_str(), nullptr, 10); }

}  // namespace

bool ZQMACGraph::StoreSettings(ZQMACInterface* object, const std::vector<MMStoredColumn>& columns,
                               const tkmac::SettingValues& values) {
  ZQMACMediaConfig* owner = object->GetOwner();
  MMStoredKind kind;
  // An object of no stored kind, or one never stored, keeps its values in
  // the instance until it is stored.
  if (owner == nullptr || !IsDatabaseBacked(*owner) || !settingKind(object, kind) || object->GetId() == 0xFFFFFFFFu)
    return true;
  const int id = static_cast<int>(object->GetId());
  auto failWith = [&](const MMBaseDB& access) {
    object->SetLastError(errorCodeOf(access), access.lastErrorText());
    return false;
  };
  // Both parts in one transaction when there are two.
  DBtran tran(false);
  const bool both = !columns.empty() && !values.empty();
  if (both) {
    const int started = tran.startTran();
    if (started != 0) {
      object->SetLastError(tkmac::kErrorDatabase,
                           std::string("The change could not be stored: ") + DBtable::getErrorStr(started));
      return false;
    }
  }
  if (!columns.empty()) {
    MMMediaConfigDB access;
    if (access.storeObject(kind, id, nullptr, MMMediaConfigDB::kKeepConfigured, columns) != 0) return failWith(access);
  }
  if (!values.empty()) {
    tkmac::ObjectSettingDB settings;
    if (settings.store(static_cast<int>(kind), id, values) != 0) return failWith(settings);
  }
  if (both) {
    const int committed = tran.commitTran(0);
    if (committed != 0) {
      object->SetLastError(tkmac::kErrorDatabase,
                           std::string("The change could not be stored: ") + DBtable::getErrorStr(committed));
      return false;
    }
  }
  return true;
}

bool ZQMACGraph::StoreLibrarySettings(ZQMACLms* lms) {
  ZQMACLibrary* library = lms->m_pLibrary;
  if (library == nullptr) return true;
  const std::vector<MMStoredColumn> columns = {
      {"BarCodeReaderPresent", library->m_bBarCodeReader ? 1 : 0},
      {"LibraryAttribute", library->m_iAttribute},
      {"VTLType", library->m_iVTLType},
      {"DriveCount", library->m_iDriveCount},
  };
  const tkmac::SettingValues values = {
      {tkmac::setting::kDoorLock, library->m_bDoorLock ? "1" : "0"},
      {tkmac::setting::kVolumeRange, library->m_sVolumeRange},
      {tkmac::setting::kAutoConfigDDS, library->m_bAutoConfigDDS ? "1" : "0"},
      {tkmac::setting::kAutoConfigFailover, library->m_bAutoConfigFailover ? "1" : "0"},
      {tkmac::setting::kUseACSLSCleanPool, library->m_bUseACSLSCleanPool ? "1" : "0"},
      {tkmac::setting::kUseIPDriveID, library->m_bUseIPDriveID ? "1" : "0"},
  };
  // The library part carries the error the handler answers with.
  if (StoreSettings(lms, columns, values)) return true;
  library->SetLastError(lms->GetLastErrorCode(), lms->GetLastError());
  return false;
}

bool ZQMACGraph::StoreEncryptedSetting(ZQMACInterface* object, const std::string& name, const std::string& plain,
                                       tkmac::SettingValues& values) {
  if (plain.empty()) return true;  // none given: the stored one stays
  std::vector<char> encrypted(2 * plain.size() + 64, '\0');
  int length = static_cast<int>(encrypted.size());
  if (ZQPassword::encrypt(plain.c_str(), encrypted.data(), &length) != 0) {
    object->SetLastError(tkmac::kErrorInvalidValue, "The password could not be encrypted.");
    return false;
  }
  values.emplace_back(name, std::string(encrypted.data(), static_cast<size_t>(length)));
  return true;
}

void ZQMACGraph::ApplyStoredSettings(ZQMACMediaConfig& config, const std::vector<tkmac::StoredSetting>& settings) {
  const std::vector<tkmac::StoredSetting>* rows = &settings;
  if (rows->empty()) return;
  // The objects of each kind that has settings, by id; a kind without
  // settings is not walked.
  bool wanted[kStoredKinds] = {};
  for (const tkmac::StoredSetting& row : *rows)
    if (row.kind >= 0 && row.kind < kStoredKinds) wanted[row.kind] = true;
  auto want = [&](MMStoredKind kind) { return wanted[static_cast<int>(kind)]; };
  std::unordered_map<int, ZQMACInterface*> byId[kStoredKinds];
  auto put = [&](MMStoredKind kind, ZQMACInterface* object) {
    if (object->m_iId > 0) byId[static_cast<int>(kind)][object->m_iId] = object;
  };
  ZQMACLinkedList<ZQMACLms> libraries = config.m_lmsList;
  for (ZQMACLms* lms = libraries.GetFirstNode(); lms != nullptr; lms = libraries.GetNextNode()) {
    if (want(MMStoredKind::Library) && lms->m_pLibrary != nullptr) put(MMStoredKind::Library, lms);
    if (want(MMStoredKind::LibraryController))
      for (int i = 0; i < lms->m_libControllerList.GetListCount(); ++i)
        put(MMStoredKind::LibraryController, lms->m_libControllerList[i]);
    if (want(MMStoredKind::Drive))
      for (int i = 0; i < lms->m_driveList.GetListCount(); ++i) put(MMStoredKind::Drive, lms->m_driveList[i]);
    if (want(MMStoredKind::DrivePath))
      for (int i = 0; i < lms->m_dmsList.GetListCount(); ++i) put(MMStoredKind::DrivePath, lms->m_dmsList[i]);
  }
  if (want(MMStoredKind::Device) || want(MMStoredKind::DeviceController)) {
    for (const auto& [id, device] : config.m_diskDeviceMap) {
      put(MMStoredKind::Device, device);
      if (want(MMStoredKind::DeviceController))
        for (int i = 0; i < device->m_volumeList.GetListCount(); ++i)
          put(MMStoredKind::DeviceController, device->m_volumeList[i]);
    }
  }
  for (const tkmac::StoredSetting& row : *rows) {
    if (row.kind < 0 || row.kind >= kStoredKinds) continue;
    auto found = byId[row.kind].find(row.id);
    if (found == byId[row.kind].end()) continue;  // an object the graph has no place for
    ApplyStoredSetting(found->second, row);
  }
}

void ZQMACGraph::ApplyStoredSetting(ZQMACInterface* object, const tkmac::StoredSetting& row) {
  namespace s = tkmac::setting;
  const std::string& n = row.name;
  const std::string& v = row.value;
  switch (static_cast<MMStoredKind>(row.kind)) {
    case MMStoredKind::Library: {
      auto* lms = static_cast<ZQMACLms*>(object);
      ZQMACLibrary* l = lms->m_pLibrary;
      if (n == s::kDoorLock) l->m_bDoorLock = flag(v);
      else if (n == s::kVolumeRange) l->m_sVolumeRange = v;
      else if (n == s::kAutoConfigDDS) l->m_bAutoConfigDDS = flag(v);
      else if (n == s::kAutoConfigFailover) l->m_bAutoConfigFailover = flag(v);
      else if (n == s::kUseACSLSCleanPool) l->m_bUseACSLSCleanPool = flag(v);
      else if (n == s::kUseIPDriveID) l->m_bUseIPDriveID = flag(v);
      else if (n == s::kAutoDiscover) lms->m_bAutoDiscover = flag(v);
      else if (n == s::kDeviceValue) l->m_uDeviceValue = static_cast<unsigned int>(number(v));
      else if (n == s::kDeviceTextC) l->m_sDeviceTextC = v;
      break;
    }
    case MMStoredKind::LibraryController: {
      auto* c = static_cast<ZQMACLibController*>(object);
      if (n == s::kServerHost) c->m_sServerHostName = v;
      else if (n == s::kScsiAddress) c->m_uAddress = static_cast<unsigned int>(number(v));
      else if (n == s::kControllerText) c->m_sControllerText = v;
      break;
    }
    case MMStoredKind::Drive: {
      auto* d = static_cast<ZQMACDrive*>(object);
      if (n == s::kDriveIdString) d->m_sDriveId = v;
      else if (n == s::kDeviceTextC) d->m_sDeviceTextC = v;
      break;
    }
    case MMStoredKind::DrivePath: {
      auto* p = static_cast<ZQMACDms*>(object);
      if (n == s::kAccessPath) p->m_sPathDetail = v;
      else if (n == s::kScsiAddress) p->m_uAddress = static_cast<unsigned int>(number(v));
      else if (n == s::kControllerType) p->m_uControllerType = static_cast<unsigned int>(number(v));
      else if (n == s::kControllerText) p->m_sControllerText = v;
      else if (n == s::kServerHost) p->m_sServerHostName = v;
      break;
    }
    case MMStoredKind::Device: {
      auto* d = static_cast<ZQMACDiskDevice*>(object);
      if (n == s::kRemoteFileHost) d->m_bRemoteFileHost = flag(v);
      else if (n == s::kRemoteHostVolume) d->m_sRemoteHostVolume = v;
      else if (n == s::kRemoteHostUserName) d->m_sRemoteHostUserName = v;
      // The password stays stored: the model never hands it out.
      break;
    }
    case MMStoredKind::DeviceController:
      if (n == s::kVaultLock) static_cast<ZQMACDiskVolume*>(object)->m_iVaultLock = static_cast<int>(number(v));
      break;
    default:
      break;
  }
}
