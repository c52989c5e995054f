// What the model stores of its objects (ZQMACStoredSettings.h): the
// declarations, the table access of the model's own settings, the write of
// an object's marked members in one step, and the lay-over of what is
// stored onto an instance's graph after a load.
//
// A load reads the table whole (it holds a few values per changed object,
// not per object), and only when the configuration change log moved on
// since the process last read it: a change of the table is logged like the
// configuration's own, so a read at the same place of the log is current.
#include <algorithm>
#include <array>
#include <atomic>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "frame/mac/ZQMACObjects.h"
#include "platform/db/DBSession.h"
#include "platform/db/DBtable.h"
#include "platform/mac/ZQMACGraph.h"
#include "platform/mac/ZQMACPlatform.h"
#include "platform/mac/ZQMACSettingsDB.h"
#include "platform/mac/ZQMACTableErrors.h"
#include "platform/mmdb/MMConfigChangeLog.h"
#include "platform/mmdb/MMKeptBeside.h"
#include "platform/mmdb/MMMediaConfigDB.h"
#include "platform/security/StoredPassword.h"
#include "platform/tran/StoreStep.h"

namespace tkmac {
namespace {

constexpr const char* kUpsert = kMMObjectSettingUpsert;

// How many settings the last read found: the next one makes room for as
// many up front. Only a hint.
std::atomic<size_t> g_lastRows{0};

MMKeptBeside<std::vector<StoredSetting>>& kept() {
  static auto* kept = new MMKeptBeside<std::vector<StoredSetting>>();  // lives for the whole process
  return *kept;
}

// Each kind that has settings declared, once: `term(kind, table, key)`.
template <class Term>
void forEachSettingKind(Term term) {
  bool done[kStoredKinds] = {};
  for (const StoredSettingRow& row : storedSettingRows()) {
    const int kind = static_cast<int>(row.kind);
    if (row.in != StoredIn::Setting || done[kind]) continue;
    done[kind] = true;
    term(kind, MMMediaConfigDB::rowTable(row.kind), MMMediaConfigDB::rowKey(row.kind));
  }
}

bool settingBefore(const StoredSetting& a, const StoredSetting& b) {
  return a.kind != b.kind ? a.kind < b.kind : a.id < b.id;
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
  if (auto rows = kept().find(snapshot)) {
    out = std::move(rows);
    return 0;
  }
  // Rows kept at an earlier place of the log stay when the log names no
  // change of the settings since (and holds every change since): most
  // changes touch no setting, and reading every object's settings again
  // after each made every change cost what the installation holds. When
  // the log cannot tell, they are read again.
  long long since = -1;
  if (auto rows = kept().findEarlier(snapshot, since)) {
    tkdb::Session session(nullptr);
    tkdb::DbRow same;
    const int rc =
        session.queryOne(tkmmdb::kindUnchangedQuery(tkmmdb::kLoggedObjectSettings), {since, snapshot.logEpoch}, same);
    if (rc == DB_OK && !same.empty() && same[0].i == 1) {
      kept().keep(snapshot, rows);
      out = std::move(rows);
      return 0;
    }
  }
  std::vector<StoredSetting> rows;
  if (loadAll(rows) != 0) return -1;
  // A load finds an object's settings by kind and id (a cursor or a
  // binary search), so the order is the kept list's own promise, not only
  // the engine's: it holds even where a value stored by hand sorts
  // otherwise.
  if (!std::is_sorted(rows.begin(), rows.end(), settingBefore))
    std::stable_sort(rows.begin(), rows.end(), settingBefore);
  out = std::make_shared<const std::vector<StoredSetting>>(std::move(rows));
  kept().keep(snapshot, out);
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
  static const std::string sql = [] {
    std::string text = "DELETE FROM \"MMObjectSetting\" WHERE ";
    bool first = true;
    forEachSettingKind([&](int kind, const char* table, const char* key) {
      text += std::string(first ? "" : " OR ") + "(\"Kind\" = " + std::to_string(kind) +
              " AND NOT EXISTS (SELECT 1 FROM \"" + table + "\" WHERE \"" + key +
              "\" = \"MMObjectSetting\".\"ObjectId\"))";
      first = false;
    });
    return text;
  }();
  return atomically(kTag, tran, [&](tkdb::Session& s, Refusal&) -> int { return s.exec(sql); });
}

int ObjectSettingDB::removeGone(long long mark, DBtran* tran) {
  if (mark < 0) return removeOrphans(tran);
  static constexpr const char* kTag = "MMObjectSettingDB::removeGone";
  if (!beginCall(kTag, mark, mmTranText(tran))) return -1;
  // The settings of the objects the log names since the mark, each found
  // by its key; of those, the ones whose row is no longer there.
  static const std::string sql = [] {
    std::string kinds;
    std::string gone;
    forEachSettingKind([&](int kind, const char* table, const char* key) {
      kinds += (kinds.empty() ? "" : ", ") + std::to_string(kind);
      gone += " WHEN " + std::to_string(kind) + " THEN NOT EXISTS (SELECT 1 FROM \"" + table + "\" WHERE \"" + key +
              "\" = \"MMObjectSetting\".\"ObjectId\")";
    });
    return "DELETE FROM \"MMObjectSetting\" WHERE (\"Kind\", \"ObjectId\") IN (SELECT \"Kind\", \"ObjectId\" FROM "
           "\"MMConfigChange\" WHERE \"Seq\" > ?1 AND \"Kind\" IN (" + kinds + ") AND \"ObjectId\" IS NOT NULL) AND "
           "CASE \"Kind\"" + gone + " ELSE 0 END";
  }();
  return atomically(kTag, tran, [&](tkdb::Session& s, Refusal&) -> int { return s.exec(sql, {mark}); });
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

}  // namespace tkmac


namespace tkmac {

bool storedKindOf(const ZQMACInterface& object, MMStoredKind& kind) {
  const MMKindObject* what = storedKindOfType(object.GetObjectType(), kind);
  return what != nullptr && what->stored;
}

const std::vector<StoredSettingRow>& storedSettingRows() { return ZQMACGraph::StoredSettingRows(); }

const StoredSettingRow* findStoredSetting(MMStoredKind kind, const std::string& name) {
  // Each kind's rows apart: a load looks up every stored setting.
  static const auto byKind = [] {
    std::array<std::vector<const StoredSettingRow*>, kStoredKinds> rows;
    for (const StoredSettingRow& row : storedSettingRows()) rows[static_cast<size_t>(row.kind)].push_back(&row);
    return rows;
  }();
  const auto k = static_cast<size_t>(kind);
  if (k >= byKind.size()) return nullptr;
  for (const StoredSettingRow* row : byKind[k])
    if (name == row->name) return row;
  return nullptr;
}

bool storeChanges(ZQMACInterface& object) { return ZQMACGraph::StoreChanges(&object); }

namespace {

// The stored text of a member.
std::string textOf(StoredType type, const void* address) {
  switch (type) {
    case StoredType::Flag: return *static_cast<const bool*>(address) ? "1" : "0";
    case StoredType::Number: return std::to_string(*static_cast<const int*>(address));
    case StoredType::Unsigned: return std::to_string(*static_cast<const unsigned int*>(address));
    case StoredType::Text:
    case StoredType::Password: return *static_cast<const std::string*>(address);
    case StoredType::Marker: return "1";
  }
  return {};
}

// A member's value for a column of the object's table.
tkdb::DbValue columnValueOf(StoredType type, const void* address) {
  switch (type) {
    case StoredType::Flag: return *static_cast<const bool*>(address) ? 1 : 0;
    case StoredType::Number: return *static_cast<const int*>(address);
    case StoredType::Unsigned: return static_cast<long long>(*static_cast<const unsigned int*>(address));
    default: return *static_cast<const std::string*>(address);
  }
}

// Lays a stored text into a member; a number that does not read keeps the
// member as it is.
void layText(StoredType type, void* address, const std::string& value) {
  auto number = [&](long long& out) {
    const char* end = value.data() + value.size();
    const auto [stop, error] = std::from_chars(value.data(), end, out);
    return !value.empty() && error == std::errc() && stop == end;
  };
  long long n = 0;
  switch (type) {
    case StoredType::Flag: *static_cast<bool*>(address) = value == "1"; break;
    case StoredType::Number:
      if (number(n) && n >= INT_MIN && n <= INT_MAX) *static_cast<int*>(address) = static_cast<int>(n);
      break;
    case StoredType::Unsigned:
      if (number(n) && n >= 0 && n <= UINT_MAX) *static_cast<unsigned int*>(address) = static_cast<unsigned int>(n);
      break;
    case StoredType::Text: *static_cast<std::string*>(address) = value; break;
    case StoredType::Password:
    case StoredType::Marker: break;  // never laid back
  }
}

}  // namespace

void SessionState::take(ZQMACInterface* object) {
  if (object == nullptr) return;
  Taken taken{object, object->GetName(), {}};
  MMStoredKind kind{};
  if (storedKindOf(*object, kind))
    for (const StoredSettingRow& row : storedSettingRows()) {
      if (row.kind != kind || row.type == StoredType::Password || row.type == StoredType::Marker) continue;
      const StoredMember member = row.member(*object);
      if (member.holder == nullptr || member.address == nullptr) continue;
      taken.values.push_back({&row, member, textOf(row.type, member.address)});
    }
  m_taken.push_back(std::move(taken));
}

void SessionState::giveBack() {
  for (auto t = m_taken.rbegin(); t != m_taken.rend(); ++t) {
    for (const Value& v : t->values) {
      if (textOf(v.row->type, v.member.address) != v.text) layText(v.row->type, v.member.address, v.text);
      v.member.holder->ForgetChanged(v.member.address);
    }
    if (t->object->GetName() != t->name) {
      ZQMACGraph::SetName(t->object, t->name);
      ZQMACGraph::NameStored(t->object, t->name);
    }
  }
  m_taken.clear();
}

bool encryptPassword(ZQMACBase& errorTo, const std::string& plain, std::string& encrypted) {
  std::string refusal;
  if (tkpassword::storedFormFor(plain, tkpassword::kPasswordColumnWidth, encrypted, refusal)) return true;
  errorTo.SetLastError(kErrorInvalidValue, refusal);
  return false;
}

bool collectMarked(ZQMACInterface& object, MMStoredKind kind, bool newObject, MarkedValues& out) {
  for (const StoredSettingRow& row : storedSettingRows()) {
    if (row.kind != kind) continue;
    const StoredMember member = row.member(object);
    if (member.holder == nullptr) continue;
    if (row.type == StoredType::Marker) {
      if (newObject) out.values.emplace_back(row.name, "1");
      continue;
    }
    if (!member.holder->IsMarkedChanged(member.address)) continue;
    out.marks.emplace_back(member.holder, member.address);
    if (row.in == StoredIn::Column) {
      if (!newObject) out.columns.push_back({row.name, columnValueOf(row.type, member.address), 0});
      continue;
    }
    if (row.type != StoredType::Password) {
      out.values.emplace_back(row.name, textOf(row.type, member.address));
      continue;
    }
    // None given: the stored one stays.
    const std::string& plain = *static_cast<const std::string*>(member.address);
    if (plain.empty()) continue;
    std::string encrypted;
    if (!encryptPassword(object, plain, encrypted)) return false;
    out.values.emplace_back(row.name, std::move(encrypted));
  }
  return true;
}

void forgetMarks(const MarkedValues& written) {
  for (const auto& [holder, address] : written.marks) holder->ForgetChanged(address);
}

}  // namespace tkmac

namespace {


// Where the model keeps a library's values: its library part, and the
// library-management object (a library part that belongs to none has no
// such values).
ZQMACLibrary* libraryPartOf(ZQMACInterface& object) {
  switch (object.GetObjectType()) {
    case ZQMAC_OBJ_LMS: return static_cast<ZQMACLms&>(object).GetLibrary();
    case ZQMAC_OBJ_LIBRARY: return &static_cast<ZQMACLibrary&>(object);
    default: return nullptr;
  }
}

ZQMACLms* lmsOf(ZQMACInterface& object) {
  switch (object.GetObjectType()) {
    case ZQMAC_OBJ_LMS: return &static_cast<ZQMACLms&>(object);
    case ZQMAC_OBJ_LIBRARY: return static_cast<ZQMACLibrary&>(object).GetLmsObject();
    default: return nullptr;
  }
}

template <class T>
tkmac::StoredMember memberOf(ZQMACBase* holder, T* address) {
  return holder == nullptr ? tkmac::StoredMember{} : tkmac::StoredMember{holder, address};
}

}  // namespace

const std::vector<tkmac::StoredSettingRow>& ZQMACGraph::StoredSettingRows() {
  using tkmac::StoredIn;
  using tkmac::StoredMember;
  using tkmac::StoredType;
  namespace s = tkmac::setting;
  using K = MMStoredKind;
  // Each accessor gives the member of the object of its kind, or nothing.
#define TK_LIBRARY(member) \
  [](ZQMACInterface& o) { ZQMACLibrary* l = libraryPartOf(o); return memberOf(l, l ? &l->member : nullptr); }
#define TK_LMS(member) [](ZQMACInterface& o) { ZQMACLms* l = lmsOf(o); return memberOf(l, l ? &l->member : nullptr); }
#define TK_OF(Class, member) \
  [](ZQMACInterface& o) { auto& c = static_cast<Class&>(o); return memberOf(&c, &c.member); }
  static const std::vector<tkmac::StoredSettingRow> rows = {
      // A media agent: its shown state is the hidden bit of its attribute word.
      {K::MediaAgent, "Attribute", StoredIn::Column, StoredType::Number, TK_OF(ZQMACMediaAgent, m_iAttribute)},
      // A library: every library's shown state, a tape library's settings.
      {K::Library, s::kShown, StoredIn::Setting, StoredType::Flag,
       [](ZQMACInterface& o) { return memberOf(&o, &o.m_bShownFlag); }},
      {K::Library, s::kDoorLock, StoredIn::Setting, StoredType::Flag, TK_LIBRARY(m_bDoorLock)},
      {K::Library, s::kVolumeRange, StoredIn::Setting, StoredType::Text, TK_LIBRARY(m_sVolumeRange)},
      {K::Library, s::kAutoConfigDDS, StoredIn::Setting, StoredType::Flag, TK_LIBRARY(m_bAutoConfigDDS)},
      {K::Library, s::kAutoConfigFailover, StoredIn::Setting, StoredType::Flag, TK_LIBRARY(m_bAutoConfigFailover)},
      {K::Library, s::kUseACSLSCleanPool, StoredIn::Setting, StoredType::Flag, TK_LIBRARY(m_bUseACSLSCleanPool)},
      {K::Library, s::kUseIPDriveID, StoredIn::Setting, StoredType::Flag, TK_LIBRARY(m_bUseIPDriveID)},
      {K::Library, s::kDeviceValue, StoredIn::Setting, StoredType::Unsigned, TK_LIBRARY(m_uDeviceValue)},
      {K::Library, s::kDeviceTextC, StoredIn::Setting, StoredType::Text, TK_LIBRARY(m_sDeviceTextC)},
      {K::Library, s::kAutoDiscover, StoredIn::Setting, StoredType::Flag, TK_LMS(m_bAutoDiscover)},
      {K::Library, s::kAutoDiscoverMediaType, StoredIn::Setting, StoredType::Number, TK_LMS(m_iAutoDiscoverMediaType)},
      // What a detection described a tape library by, kept once it is configured.
      {K::Library, s::kDescription, StoredIn::Setting, StoredType::Text, TK_LMS(m_sTextA)},
      {K::Library, s::kDisplayDescription, StoredIn::Setting, StoredType::Text, TK_LMS(m_sTextB)},
      {K::Library, "BarCodeReaderPresent", StoredIn::Column, StoredType::Flag, TK_LIBRARY(m_bBarCodeReader)},
      {K::Library, "LibraryAttribute", StoredIn::Column, StoredType::Number, TK_LIBRARY(m_iAttribute)},
      {K::Library, "VTLType", StoredIn::Column, StoredType::Number, TK_LIBRARY(m_iVTLType)},
      {K::Library, "DriveCount", StoredIn::Column, StoredType::Number, TK_LIBRARY(m_iDriveCount)},
      // A library controller; an IP controller is made one again from its marker.
      {K::LibraryController, s::kIPController, StoredIn::Setting, StoredType::Marker,
       [](ZQMACInterface& o) {
         return memberOf(o.GetObjectType() == ZQMAC_OBJ_IP_LIB_CONTROLLER ? &o : nullptr, &o);
       }},
      {K::LibraryController, s::kServerHost, StoredIn::Setting, StoredType::Text,
       TK_OF(ZQMACLibController, m_sServerHostName)},
      {K::LibraryController, s::kScsiAddress, StoredIn::Setting, StoredType::Unsigned,
       TK_OF(ZQMACLibController, m_uAddress)},
      {K::LibraryController, s::kControllerText, StoredIn::Setting, StoredType::Text,
       TK_OF(ZQMACLibController, m_sControllerText)},
      {K::LibraryController, "ControllerType", StoredIn::Column, StoredType::Unsigned,
       TK_OF(ZQMACLibController, m_uControllerType)},
      // What a detection described a controller and a drive path by, kept
      // once they are configured.
      {K::LibraryController, s::kDescription, StoredIn::Setting, StoredType::Text,
       [](ZQMACInterface& o) { return memberOf(&o, &o.m_sTextA); }},
      {K::LibraryController, s::kDisplayDescription, StoredIn::Setting, StoredType::Text,
       [](ZQMACInterface& o) { return memberOf(&o, &o.m_sTextB); }},
      // A drive and a drive path.
      {K::Drive, s::kDriveIdString, StoredIn::Setting, StoredType::Text, TK_OF(ZQMACDrive, m_sDriveId)},
      {K::Drive, s::kDeviceTextC, StoredIn::Setting, StoredType::Text, TK_OF(ZQMACDrive, m_sDeviceTextC)},
      {K::DrivePath, s::kAccessPath, StoredIn::Setting, StoredType::Text, TK_OF(ZQMACDms, m_sPathDetail)},
      {K::DrivePath, s::kScsiAddress, StoredIn::Setting, StoredType::Unsigned, TK_OF(ZQMACDms, m_uAddress)},
      {K::DrivePath, s::kControllerType, StoredIn::Setting, StoredType::Unsigned,
       TK_OF(ZQMACDms, m_uControllerType)},
      {K::DrivePath, s::kControllerText, StoredIn::Setting, StoredType::Text, TK_OF(ZQMACDms, m_sControllerText)},
      {K::DrivePath, s::kServerHost, StoredIn::Setting, StoredType::Text, TK_OF(ZQMACDms, m_sServerHostName)},
      {K::DrivePath, s::kDescription, StoredIn::Setting, StoredType::Text,
       [](ZQMACInterface& o) { return memberOf(&o, &o.m_sTextA); }},
      {K::DrivePath, s::kDisplayDescription, StoredIn::Setting, StoredType::Text,
       [](ZQMACInterface& o) { return memberOf(&o, &o.m_sTextB); }},
      // A disk device reached through a remote file host, and a disk volume.
      {K::Device, s::kRemoteFileHost, StoredIn::Setting, StoredType::Flag,
       TK_OF(ZQMACDiskDevice, m_bRemoteFileHost)},
      {K::Device, s::kRemoteHostVolume, StoredIn::Setting, StoredType::Text,
       TK_OF(ZQMACDiskDevice, m_sRemoteHostVolume)},
      {K::Device, s::kRemoteHostUserName, StoredIn::Setting, StoredType::Text,
       TK_OF(ZQMACDiskDevice, m_sRemoteHostUserName)},
      {K::Device, s::kRemoteHostPassword, StoredIn::Setting, StoredType::Password,
       TK_OF(ZQMACDiskDevice, m_sRemoteHostPassword)},
      // Whatever a device is reached through: a network share, cloud storage.
      {K::Device, s::kGuidType, StoredIn::Setting, StoredType::Number, TK_OF(ZQMACDiskDevice, m_iGuidType)},
      {K::DeviceController, s::kVaultLock, StoredIn::Setting, StoredType::Number,
       TK_OF(ZQMACDiskVolume, m_iVaultLock)},
      // A copy manager's configured state (its device's and its controller's).
      {K::CopyManager, storedKind(K::CopyManager).stateSetting, StoredIn::Setting, StoredType::Flag,
       [](ZQMACInterface& o) { return memberOf(&o, &o.m_bConfigured); }},
  };
#undef TK_LIBRARY
#undef TK_LMS
#undef TK_OF
  return rows;
}

bool ZQMACGraph::WriteStored(ZQMACInterface* object, MMStoredKind kind, int id, const std::string* name,
                             int configured, const std::vector<MMStoredColumn>& columns,
                             const tkmac::SettingValues& values) {
  // The object's row is written, or found when only settings are: the
  // settings of a row another connection removed are refused with it.
  auto failWith = [&](const MMBaseDB& access) {
    object->SetLastError(tkmac::modelErrorOf(access), access.lastErrorText());
    return false;
  };
  auto failTran = [&](const std::string& reason) {
    object->SetLastError(tkmac::kErrorDatabase, "The change could not be stored: " + reason);
    return false;
  };
  // Both parts in one transaction when there are two (nested in the
  // thread's open one, when there is one).
  tktran::StoreStep step(__func__);
  const bool both = !values.empty();
  if (both && !step.begin()) return failTran(step.error());
  MMMediaConfigDB access;
  if (access.storeObject(kind, id, name != nullptr ? name->c_str() : nullptr, configured, columns) != 0)
    return failWith(access);
  if (both) {
    tkmac::ObjectSettingDB settings;
    if (settings.store(static_cast<int>(kind), id, values) != 0) return failWith(settings);
    if (!step.commit()) return failTran(step.error());
  }
  return true;
}

// Whether the object is stored in a database-backed instance, with its kind.
static bool storedInDatabase(ZQMACInterface* object, MMStoredKind& kind) {
  ZQMACMediaConfig* owner = object->GetOwner();
  return owner != nullptr && ZQMACGraph::IsDatabaseBacked(*owner) && tkmac::storedKindOf(*object, kind) &&
         object->GetId() != 0xFFFFFFFFu;
}

bool ZQMACGraph::StoreChanges(ZQMACInterface* object) {
  MMStoredKind kind;
  // An object of no stored kind, or one never stored, keeps its values
  // (and marks) in the instance until it is stored.
  if (!storedInDatabase(object, kind)) return true;
  tkmac::MarkedValues marked;
  if (!tkmac::collectMarked(*object, kind, false, marked)) return false;
  if (marked.columns.empty() && marked.values.empty()) return true;
  if (!WriteStored(object, kind, static_cast<int>(object->GetId()), nullptr, MMMediaConfigDB::kKeepConfigured,
                   marked.columns, marked.values))
    return false;
  tkmac::forgetMarks(marked);
  return true;
}

bool ZQMACGraph::TakeScsiBus(ZQMACInterface* object, ZQMACScsiUnit* unit, const ZQMACScsiUnit& source) {
  const unsigned int address = unit->m_uAddress;
  const unsigned int type = unit->m_uControllerType;
  const std::string text = unit->m_sControllerText;
  object->NoteChange();
  unit->m_uAddress = source.m_uAddress;
  unit->m_uControllerType = source.m_uControllerType;
  unit->m_sControllerText = source.m_sControllerText;
  const void* members[] = {&unit->m_uAddress, &unit->m_uControllerType, &unit->m_sControllerText};
  for (const void* member : members) object->MarkChanged(member);
  if (tkmac::storeChanges(*object)) return true;
  unit->m_uAddress = address;
  unit->m_uControllerType = type;
  unit->m_sControllerText = text;
  for (const void* member : members) object->ForgetChanged(member);
  return false;
}

void ZQMACGraph::ApplyStoredSettings(ZQMACMediaConfig& config, const std::vector<tkmac::StoredSetting>& settings) {
  // The objects of each kind that has settings, by id; a kind without
  // settings is not walked.
  bool wanted[kStoredKinds] = {};
  for (const tkmac::StoredSetting& row : settings)
    if (row.kind >= 0 && row.kind < kStoredKinds) wanted[row.kind] = true;
  auto want = [&](MMStoredKind kind) { return wanted[static_cast<int>(kind)]; };
  std::unordered_map<int, ZQMACInterface*> byId[kStoredKinds];
  auto put = [&](MMStoredKind kind, ZQMACInterface* object) {
    if (object->m_iId > 0) byId[static_cast<int>(kind)][object->m_iId] = object;
  };
  ZQMACLinkedList<ZQMACLms> libraries = config.m_lmsList;
  for (ZQMACLms* lms = libraries.GetFirstNode(); lms != nullptr; lms = libraries.GetNextNode()) {
    if (want(MMStoredKind::Library)) put(MMStoredKind::Library, lms);
    if (want(MMStoredKind::LibraryController))
      for (int i = 0; i < lms->m_libControllerList.GetListCount(); ++i)
        put(MMStoredKind::LibraryController, lms->m_libControllerList[i]);
    if (want(MMStoredKind::Drive))
      for (int i = 0; i < lms->m_driveList.GetListCount(); ++i) put(MMStoredKind::Drive, lms->m_driveList[i]);
    if (want(MMStoredKind::DrivePath))
      for (int i = 0; i < lms->m_dmsList.GetListCount(); ++i) put(MMStoredKind::DrivePath, lms->m_dmsList[i]);
  }
  if (want(MMStoredKind::Library)) {
    ZQMACLinkedList<ZQMACMagLib> magLibs = config.m_magLibList;
    for (ZQMACMagLib* m = magLibs.GetFirstNode(); m != nullptr; m = magLibs.GetNextNode())
      put(MMStoredKind::Library, m);
  }
  if (want(MMStoredKind::Device) || want(MMStoredKind::DeviceController)) {
    for (const auto& [id, device] : config.m_diskDeviceMap) {
      put(MMStoredKind::Device, device);
      if (want(MMStoredKind::DeviceController))
        for (int i = 0; i < device->m_volumeList.GetListCount(); ++i)
          put(MMStoredKind::DeviceController, device->m_volumeList[i]);
    }
  }
  // A copy manager is configured only by its setting, which its controller
  // shares.
  ZQMACLinkedList<ZQMACCopyMgrController> copyControllers = config.m_copyMgrControllerList;
  for (ZQMACCopyMgrController* c = copyControllers.GetFirstNode(); c != nullptr; c = copyControllers.GetNextNode())
    if (ZQMACCopyMgrDevice* device = c->m_pCopyMgrDevice) {
      device->m_bConfigured = false;
      if (want(MMStoredKind::CopyManager)) put(MMStoredKind::CopyManager, device);
    }
  for (const tkmac::StoredSetting& row : settings) {
    if (row.kind < 0 || row.kind >= kStoredKinds) continue;
    auto found = byId[row.kind].find(row.id);
    if (found == byId[row.kind].end()) continue;  // an object the graph has no place for
    ApplyStoredSetting(found->second, row);
  }
  for (ZQMACCopyMgrController* c = copyControllers.GetFirstNode(); c != nullptr; c = copyControllers.GetNextNode())
    if (c->m_pCopyMgrDevice != nullptr) c->m_bConfigured = c->m_pCopyMgrDevice->m_bConfigured;
  if (want(MMStoredKind::Library))
    for (ZQMACLms* lms = libraries.GetFirstNode(); lms != nullptr; lms = libraries.GetNextNode()) ShowLibraryParts(lms);
}

void ZQMACGraph::ApplyStoredSettingsOf(ZQMACInterface* object, MMStoredKind kind,
                                       const std::vector<tkmac::StoredSetting>& settings) {
  const int id = object->m_iId;
  if (id <= 0) return;  // as ApplyStoredSettings: an object never stored has none
  const tkmac::StoredSetting key{static_cast<int>(kind), id, {}, {}};
  const auto [first, last] = std::equal_range(settings.begin(), settings.end(), key, tkmac::settingBefore);
  for (auto at = first; at != last; ++at) ApplyStoredSetting(object, *at);
}

void ZQMACGraph::ApplyStoredSetting(ZQMACInterface* object, const tkmac::StoredSetting& row) {
  const tkmac::StoredSettingRow* declared = tkmac::findStoredSetting(static_cast<MMStoredKind>(row.kind), row.name);
  if (declared == nullptr || declared->in != tkmac::StoredIn::Setting) return;
  const tkmac::StoredMember member = declared->member(*object);
  if (member.holder != nullptr) tkmac::layText(declared->type, member.address, row.value);
}

void ZQMACGraph::ShowLibraryParts(ZQMACLms* lms) {
  if (lms->m_pLibrary != nullptr) lms->m_pLibrary->m_bShownFlag = lms->m_bShownFlag;
  if (lms->m_pLibControllerNode != nullptr) lms->m_pLibControllerNode->m_bShownFlag = lms->m_bShownFlag;
}
