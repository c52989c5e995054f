// The default configuration source of ReadCurrentConfig: the central
// database, read through the media-configuration table access in one
// consistent read, and laid over the instance's graph so that every object
// still stored keeps its address and handle.
//
// What a load costs: the table access keeps the rows the process last read
// and reads again only those of objects that the database's change log
// names since (platform/mmdb/MMConfigChangeLog.h), whoever changed them; the
// rows come as shared lists that every instance lays over its graph. So a
// request that makes a new instance, or re-reads after its own change, no
// longer reads the whole configuration from the database. The graph is
// still laid over every row: an object changed in memory and never stored
// takes its stored values again, as in a load of every row.
//
// Why re-reads keep objects: consoles hold handles across requests, and a
// request re-reads the configuration after its own changes and then goes on
// with the objects it holds. A re-read therefore refreshes objects in place
// and frees only those whose rows are gone; every list and pointer of the
// graph is rebuilt from the rows before anything is freed, and a freed
// object unlinks itself from whatever still named it.
//
// Tables and what they become (columns the model reads):
//   MMHost + APP_Client   media agents (name, net_hostname, displayName,
//                         simOperatingSystemId, Attribute: 0x2000 hides)
//   MMLibrary             a disk library (ZQMACMagLib) when LibraryTypeId is
//                         one of the disk kinds, else a tape or optical
//                         library (ZQMACLms with its ZQMACLibrary part)
//   MMLibraryController   controllers of tape libraries
//   MMMasterPool          master drive pools of tape libraries
//   MMDrivePool, MMDrive  pools and drives of those master pools (a drive's
//                         vendor, model, serial number and firmware revision
//                         are its identity)
//   MMDrivePath           drive paths (drive, pool, media agent)
//   MMDevice              disk devices
//   MMDeviceController    disk volumes (a device as one media agent sees it)
//   MMMountPath           mount paths of disk libraries, on the lowest device
//                         of MMMountPathToStorageDevice
//   MMCopyManager         software copy managers: a device with its one
//                         controller on a media agent
//   MMObjectSetting       what no column of those holds (ZQMACStoredSettings.h),
//                         read before the rows are laid: it says which
//                         controllers are IP library controllers
#include <algorithm>
#include <climits>
#include <cstdint>
#include <functional>
#include <mutex>
#include <tuple>
#include <type_traits>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "platform/mac/ZQMACGraph.h"
#include "platform/mac/ZQMACHeapFetch.h"
#include "platform/mac/ZQMACPlatform.h"
#include "platform/mac/ZQMACSettingsDB.h"
#include "platform/mac/ZQMACVendorCatalogue.h"
#include "platform/mmdb/MMCenteraClusterDB.h"
#include "platform/mmdb/MMConfigChangeLog.h"
#include "platform/mmdb/MMDRUHostDB.h"
#include "platform/mmdb/MMMediaConfigDB.h"

namespace {

// The model's own settings of the load in progress on this thread (set
// around LayStored), in kind and id order, and whether a lay-over of every
// row laid them too: it lays each object's settings as it makes the
// object, while its memory is at hand. A pass of their own after the build
// (ApplyStoredSettings) walks every object of a kind once more, a cache
// miss each in a large graph, and was a tenth of a load.
thread_local const std::vector<tkmac::StoredSetting>* t_settings = nullptr;
thread_local bool t_settingsLaid = false;

// The settings of one kind among settings in kind and id order.
std::pair<std::vector<tkmac::StoredSetting>::const_iterator, std::vector<tkmac::StoredSetting>::const_iterator>
settingsOfKind(const std::vector<tkmac::StoredSetting>& all, MMStoredKind kind) {
  struct ByKind {
    bool operator()(const tkmac::StoredSetting& s, int k) const { return s.kind < k; }
    bool operator()(int k, const tkmac::StoredSetting& s) const { return k < s.kind; }
  };
  return std::equal_range(all.begin(), all.end(), static_cast<int>(kind), ByKind{});
}

// The settings of one kind, handed to the objects of that kind as their
// rows come: both come in id order (the settings by kind, id and name), so
// one cursor walks them. A row out of order (none is) leaves the settings
// to the pass of their own (`ordered` false).
class KindSettings {
 public:
  KindSettings(const std::vector<tkmac::StoredSetting>* all, MMStoredKind kind) {
    if (all != nullptr) std::tie(m_at, m_end) = settingsOfKind(*all, kind);
  }
  void lay(ZQMACInterface* object, int id) {
    if (m_at == m_end) return;
    if (id < m_last) m_ordered = false;
    m_last = id;
    while (m_at != m_end && m_at->id < id) ++m_at;
    // An object only of a positive id has settings (ApplyStoredSettings).
    for (; m_at != m_end && m_at->id == id; ++m_at)
      if (id > 0) ZQMACGraph::ApplyStoredSetting(object, *m_at);
  }
  bool ordered() const { return m_ordered; }

 private:
  std::vector<tkmac::StoredSetting>::const_iterator m_at{};
  std::vector<tkmac::StoredSetting>::const_iterator m_end{};
  int m_last = INT_MIN;
  bool m_ordered = true;
};

// The ids of the controllers that the settings make IP library
// controllers: those of the controllers' kind alone are looked at.
std::unordered_set<int> ipControllersOf(const std::vector<tkmac::StoredSetting>* all) {
  std::unordered_set<int> ids;
  if (all == nullptr) return ids;
  const auto [first, last] = settingsOfKind(*all, MMStoredKind::LibraryController);
  for (auto at = first; at != last; ++at)
    if (at->name == tkmac::setting::kIPController && at->value == "1") ids.insert(at->id);
  return ids;
}

// Library type ids stored for disk libraries; every other id is a tape or
// optical library.
bool isDiskLibraryType(int libraryTypeId) {
  switch (libraryTypeId) {
    case 3: case 4: case 5: case 6: case 7: case 8: case 10: return true;
    default: return false;
  }
}

// Whether `count` objects of ids up to `highest` are indexed by a flat
// table (a pointer per id up to the highest) rather than a hash map. Ids
// are serial numbers, but rows removed, or made in runs far apart, leave
// gaps: a table of up to 16 slots per object (128 bytes) costs about what
// a hash map's nodes, buckets and their allocations cost, and a look-up in
// it is one load instead of a hash, a bucket and a node, each a cache miss
// once the objects made since pushed them out. Only ids much further apart
// than that (an id set by hand, far past the others) take the hash map.
bool flatIds(long long highest, std::size_t count) {
  return highest >= 0 && static_cast<unsigned long long>(highest) < 16 * static_cast<unsigned long long>(count) + 1024;
}

// The objects of one kind by database id, for linking the rows of the next
// kinds: a flat table when the ids are dense enough (flatIds), else a hash
// map. Rows come in id order, so the last row's id is the highest.
template <class T>
class IdIndex {
 public:
  template <class Rows, class IdOf>
  IdIndex(const Rows& rows, IdOf idOf) {
    const long long highest = rows.empty() ? -1 : idOf(rows.back());
    if (flatIds(highest, rows.size()))
      m_dense.assign(static_cast<size_t>(highest) + 1, nullptr);
    else
      m_sparse.reserve(rows.size());
  }
  void put(int id, T* object) {
    if (id >= 0 && static_cast<size_t>(id) < m_dense.size())
      m_dense[static_cast<size_t>(id)] = object;
    else
      m_sparse[id] = object;
  }
  T* get(int id) const {
    if (id >= 0 && static_cast<size_t>(id) < m_dense.size()) return m_dense[static_cast<size_t>(id)];
    auto it = m_sparse.find(id);
    return it == m_sparse.end() ? nullptr : it->second;
  }

 private:
  std::vector<T*> m_dense;
  std::unordered_map<int, T*> m_sparse;
};

// `to` takes the text `from` points to, or is emptied: without a
// temporary copy of the text on the way, which a path per drive paid for.
void assignOrClear(std::string& to, const std::string* from) {
  if (from != nullptr)
    to = *from;
  else
    to.clear();
}

// The objects of one kind that an instance held before a load, by database
// id, each taken out as its row comes. Like IdIndex a flat table when the
// ids are dense (flatIds), so that a re-read costs no allocation per object.
template <class T>
class OldObjects {
 public:
  using mapped_type = T*;
  void collect(T* object, int id) { m_pending.emplace_back(object, id); }
  // Indexes what was collected; an object never stored (negative id) or
  // standing for an id another already has goes to `doomed`.
  void index(std::vector<ZQMACInterface*>& doomed) {
    int highest = -1;
    for (auto& [object, id] : m_pending) highest = std::max(highest, id);
    const bool dense = flatIds(highest, m_pending.size());
    if (dense) m_dense.assign(static_cast<size_t>(highest) + 1, nullptr);
    for (auto& [object, id] : m_pending) {
      bool entered = false;
      if (id >= 0 && dense) {
        T*& slot = m_dense[static_cast<size_t>(id)];
        if (slot == nullptr) {
          slot = object;
          entered = true;
        }
      } else if (id >= 0) {
        entered = m_sparse.emplace(id, object).second;
      }
      if (entered)
        ++m_count;
      else
        doomed.push_back(object);
    }
    std::vector<std::pair<T*, int>>().swap(m_pending);
  }
  bool empty() const { return m_count == 0; }
  T* find(int id) const {
    if (id < 0) return nullptr;
    if (static_cast<size_t>(id) < m_dense.size()) return m_dense[static_cast<size_t>(id)];
    auto it = m_sparse.find(id);
    return it == m_sparse.end() ? nullptr : it->second;
  }
  size_t count(int id) const { return find(id) != nullptr ? 1 : 0; }
  // The object of the id, no longer held here; null when there is none.
  T* take(int id) {
    if (id < 0 || m_count == 0) return nullptr;  // a first load holds nothing
    T* object = nullptr;
    if (static_cast<size_t>(id) < m_dense.size()) {
      std::swap(object, m_dense[static_cast<size_t>(id)]);
    } else {
      auto it = m_sparse.find(id);
      if (it == m_sparse.end()) return nullptr;
      object = it->second;
      m_sparse.erase(it);
    }
    if (object != nullptr) --m_count;
    return object;
  }
  template <class Visit>
  void forEach(Visit visit) const {
    if (m_count == 0) return;
    for (T* object : m_dense)
      if (object != nullptr) visit(object);
    for (auto& entry : m_sparse) visit(entry.second);
  }
  void clear() {
    std::vector<T*>().swap(m_dense);
    m_sparse.clear();
    m_count = 0;
  }

 private:
  std::vector<std::pair<T*, int>> m_pending;
  std::vector<T*> m_dense;
  std::unordered_map<int, T*> m_sparse;
  size_t m_count = 0;
};

// Makes room in a list that is about to take its first element for the
// rows from `i` on that share the row's key: rows come in id order, and the
// children of one parent mostly have consecutive ids, so a list costs one
// allocation instead of one per doubling. Only a hint.
template <class List, class Rows, class Key>
void reserveRun(List& list, const Rows& rows, std::size_t i, Key key) {
  if (list.GetListCount() != 0) return;
  const int k = key(rows[i]);
  std::size_t n = 1;
  while (i + n < rows.size() && n < (1u << 20) && key(rows[i + n]) == k) ++n;
  list.Reserve(static_cast<int>(n));
}

// The object types whose objects the lay-over of every row makes and
// relinks whole: the other objects are told of those that go.
bool isManagedType(unsigned int type) {
  MMStoredKind kind;
  const MMKindObject* what = storedKindOfType(type, kind);
  return what != nullptr && what->linksRebuilt;
}

}  // namespace

namespace tkmac {

bool isDiskLibraryTypeId(int libraryTypeId) { return isDiskLibraryType(libraryTypeId); }

bool loadFromDatabase(ZQMACMediaConfig& config, bool /*refresh*/) {
  MMMediaConfigDB access;
  MMStoredSnapshot stored;
  if (access.loadCurrent(stored) != 0) {
    config.SetLastError(kErrorDatabase, "The media-management configuration could not be read: " +
                                            access.lastErrorText());
    return false;
  }
  // The vendor catalogues, DRU hosts and archive clusters: read before the
  // graph changes, laid over it after; read again only once the change
  // log, which names their changes too, has moved on since the process last
  // read them.
  std::vector<MMStoredVendorEntry> catalogues;
  std::vector<MMStoredDRUHost> druHosts;
  std::vector<MMStoredCenteraCluster> clusters;
  const bool kept = MMMediaConfigDB::keptBeside(stored, catalogues, druHosts, clusters);
  if (!kept) {
    if (!readVendorCatalogues(config, catalogues)) return false;
    MMDRUHostDB druAccess;
    if (druAccess.loadAll(druHosts) != 0) {
      config.SetLastError(kErrorDatabase, "The DRU hosts could not be read: " + druAccess.lastErrorText());
      return false;
    }
    MMCenteraClusterDB clusterAccess;
    if (clusterAccess.loadAll(clusters) != 0) {
      config.SetLastError(kErrorDatabase, "The archive clusters could not be read: " + clusterAccess.lastErrorText());
      return false;
    }
    MMMediaConfigDB::keepBeside(stored, catalogues, druHosts, clusters);
  }
  giveVendorCatalogues(config, catalogues);
  // The model's own settings, laid over the objects the rows made (which
  // controllers are IP controllers, the lay-over of every row reads
  // before it makes them: the object's class depends on it). A change of
  // a few objects reads and lays nothing of the others' settings, so that
  // it costs what it touches whatever the installation holds.
  std::shared_ptr<const std::vector<tkmac::StoredSetting>> settings;
  tkmac::ObjectSettingDB settingAccess;
  if (settingAccess.loadBeside(stored, settings) != 0) {
    config.SetLastError(kErrorDatabase, "The objects' settings could not be read: " + settingAccess.lastErrorText());
    return false;
  }
  // Laid by the load itself (as it lays each object), else in a pass of
  // their own.
  t_settings = settings.get();
  t_settingsLaid = false;
  const bool laidInPart = ZQMACGraph::LayStored(config, stored, settings);
  t_settings = nullptr;
  if (!laidInPart && !t_settingsLaid) ZQMACGraph::ApplyStoredSettings(config, *settings);
  const bool beside = ZQMACGraph::ApplyStoredBeside(config, stored, kept, druHosts, clusters);
#ifndef NDEBUG
  ZQMACGraph::CheckLaid(config, "a load");
#endif
  return beside;
}

}  // namespace tkmac

bool ZQMACGraph::ApplyStoredBeside(ZQMACMediaConfig& config, const MMStoredSnapshot& stored, bool kept,
                                   std::vector<MMStoredDRUHost>& druHosts,
                                   std::vector<MMStoredCenteraCluster>& clusters) {
  // The DRU hosts and archive clusters whose rows were born since the
  // instance laid them, up to the log's newest entry: whenever their rows
  // were read, no birth before it is missed (one after their read makes a
  // new object of the older row, which the next read lays over). Rows kept
  // beside the rows read at the very place the instance reached last time
  // can hold none.
  MMBornSince born;
  if (kept && stored.bornSeq >= 0 && stored.bornSeq == config.m_besideBornSeq &&
      stored.bornEpoch == config.m_besideBornEpoch) {
    born.known = true;
    born.epoch = stored.bornEpoch;
    born.upTo = stored.bornSeq;
  } else {
    MMMediaConfigDB access;
    if (access.bornSince(stored, config.m_besideBornEpoch, config.m_besideBornSeq, LLONG_MAX, born) != 0)
      born = MMBornSince();
    if (stored.bornSeq < 0) born.known = false;
  }
  const bool hosts = ApplyStoredDRUHosts(config, druHosts, born.of(tkmmdb::kLoggedDRUHosts));
  const bool archives = ApplyStoredCenteraClusters(config, clusters, born.of(tkmmdb::kLoggedArchiveClusters));
  config.m_besideBornEpoch = born.epoch;
  config.m_besideBornSeq = stored.bornSeq >= 0 ? born.upTo : -1;
  return archives && hosts;
}

void ZQMACGraph::FillDevice(ZQMACDiskDevice* d, const MMStoredDevice& row) {
  d->m_sName = row.name;
  d->m_iDeviceType = row.typeId;
  d->m_iDRUId = row.druHostId;
  d->m_bConfigured = true;
}

void ZQMACGraph::FillVolume(ZQMACDiskVolume* v, const MMStoredDeviceController& row, ZQMACDiskDevice* device,
                            ZQMACMediaAgent* agent) {
  v->m_sName = row.folder;
  v->m_sVolume = row.folder;
  v->m_sUserName = row.userName;
  v->m_iDeviceAccessType = row.accessType;
  v->m_iCredentialId = row.credentialAssocId;
  v->m_iSanDBId = row.snrVolumeId;
  v->m_bConfigured = row.enabled != 0;
  v->m_pDiskDevice = device;
  v->m_pMediaAgent = agent;
}

std::map<int, int> ZQMACGraph::DiskLibraryPoolAgents(const MMStoredSnapshot& stored) {
  std::map<int, int> libraryOfMaster;
  if (stored.masterPools != nullptr)
    for (const MMStoredMasterPool& m : *stored.masterPools) libraryOfMaster[m.id] = m.libraryId;
  std::map<int, int> agents;
  if (stored.drivePools == nullptr) return agents;
  for (const MMStoredDrivePool& p : *stored.drivePools) {
    auto library = libraryOfMaster.find(p.masterPoolId);
    if (p.clientId > 0 && library != libraryOfMaster.end()) agents.emplace(library->second, p.clientId);
  }
  return agents;
}

void ZQMACGraph::FillMagLib(ZQMACMagLib* m, const MMStoredLibrary& row, ZQMACMediaConfig& config) {
  m->m_sName = row.name;
  m->m_iLowWatermark = row.lowWaterMarkMB;
  m->m_iAttribute = row.libraryAttribute;
  m->m_iMagLibType = row.libraryTypeId;
  m->m_sAliasName = row.aliasName;
  m->m_pMediaConfig = &config;
  m->m_bConfigured = row.enabled != 0;
  // Its shown state is a setting of its own (laid over after the rows):
  // bit 0x2000 of a disk library's ExtendedAttributes is not the model's.
  m->m_bShownFlag = true;
}

void ZQMACGraph::FillMountPath(ZQMACMountPath* p, const MMStoredMountPath& row, ZQMACMagLib* library,
                               ZQMACDiskDevice* device) {
  p->m_sName = row.name;
  p->m_sUserName = row.userName;
  p->m_iMountPathType = row.typeId;
  p->m_iForeignAgentId = row.deviceId;
  p->m_bConfigured = row.enabled != 0;
  p->m_pMagLib = library;
  // The media agent of a mount path is the first that reaches its device.
  ZQMACDiskVolume* first = device != nullptr ? device->m_volumeList.operator[](0) : nullptr;
  p->m_pMediaAgent = first != nullptr ? first->m_pMediaAgent : nullptr;
}

// Frees objects that the rebuilt graph no longer reaches, all at once: no
// managed object names them any more (their links were rebuilt from the
// rows), so only the objects of other kinds are told to forget them, instead
// of every object of the instance once per freed object.
void ZQMACGraph::DropUnreached(ZQMACMediaConfig& config, std::vector<ZQMACInterface*>& doomed) {
  if (doomed.empty()) return;
  // Each once, in the order they were found (no order of addresses).
  {
    std::unordered_set<const ZQMACInterface*> seen;
    seen.reserve(doomed.size());
    doomed.erase(std::remove_if(doomed.begin(), doomed.end(),
                                [&](const ZQMACInterface* object) { return !seen.insert(object).second; }),
                 doomed.end());
  }
  std::vector<ZQMACInterface*> others;
  std::vector<unsigned int> types;  // as each was entered
  {
    std::lock_guard<ZQMACRegistryMutex> guard(config.m_registryMutex);
    std::vector<ZQMACInterface*> owned;
    owned.reserve(doomed.size());
    types.reserve(doomed.size());
    // Leaving the instance clears the owner: the destructor has nothing
    // left to unlink.
    for (ZQMACInterface* object : doomed) {
      const unsigned int type = config.EnteredType(object);
      if (!config.LeaveObject(object)) continue;
      owned.push_back(object);
      types.push_back(type);
    }
    doomed.swap(owned);
    // Only the places of the other types are read: a load in part that
    // frees a few objects does not walk the whole graph for them.
    config.ForEachObjectOfType([](unsigned int type) { return !isManagedType(type); },
                               [&](ZQMACInterface* object) { others.push_back(object); });
  }
  // Each other object is walked once for all that go, not once for each.
  const ZQMACGone leaving(std::vector<const void*>(doomed.begin(), doomed.end()));
  for (ZQMACInterface* other : others) other->ForgetObjects(leaving);
  // The instance's own lists and maps: a load rebuilt those of the kinds
  // it lays, but not every list holds only such objects (the IP
  // controllers), and a load in part unlinks only what it relinks.
  for (std::size_t i = 0; i < doomed.size(); ++i)
    config.ForgetOwnReferencesOf(types[i], doomed[i], doomed[i]->m_iId, false);
#ifndef NDEBUG
  CheckNoneHeld(config, doomed, "a load");
#endif
  for (ZQMACInterface* object : doomed) delete object;
  doomed.clear();
}

bool ZQMACGraph::ApplyStored(ZQMACMediaConfig& config, const MMStoredSnapshot& stored) {
  // ---- what the instance holds now, by kind and database id ----
  OldObjects<ZQMACMediaAgent> oldAgents;
  OldObjects<ZQMACLms> oldLms;
  OldObjects<ZQMACMagLib> oldMagLibs;
  OldObjects<ZQMACLibController> oldControllers;
  OldObjects<ZQMACMasterDrivePool> oldMasters;
  OldObjects<ZQMACDrivePool> oldPools;
  OldObjects<ZQMACDrive> oldDrives;
  OldObjects<ZQMACDms> oldPaths;
  OldObjects<ZQMACMountPath> oldMountPaths;
  OldObjects<ZQMACDiskDevice> oldDevices;
  OldObjects<ZQMACDiskVolume> oldVolumes;
  OldObjects<ZQMACCopyMgrDevice> oldCopyDevices;
  OldObjects<ZQMACCopyMgrController> oldCopyControllers;
  std::vector<ZQMACInterface*> doomed;  // managed objects never stored, or stored twice

  std::vector<ZQMACInterface*> objects;
  {
    std::lock_guard<ZQMACRegistryMutex> guard(config.m_registryMutex);
    objects.reserve(config.m_liveObjects);
    config.ForEachObject([&](ZQMACInterface* object) { objects.push_back(object); });
  }
  auto index = [&](auto& map, auto* object) { map.collect(object, object->m_iId); };
  for (ZQMACInterface* object : objects) {
    switch (object->GetObjectType()) {
      case ZQMAC_OBJ_MEDIA_AGENT: index(oldAgents, static_cast<ZQMACMediaAgent*>(object)); break;
      case ZQMAC_OBJ_LMS: index(oldLms, static_cast<ZQMACLms*>(object)); break;
      case ZQMAC_OBJ_MAGLIB: index(oldMagLibs, static_cast<ZQMACMagLib*>(object)); break;
      case ZQMAC_OBJ_LIB_CONTROLLER: index(oldControllers, static_cast<ZQMACLibController*>(object)); break;
      // A stored IP controller is a controller row like any; one never
      // stored (a library server's library, listed only) goes.
      case ZQMAC_OBJ_IP_LIB_CONTROLLER: index(oldControllers, static_cast<ZQMACLibController*>(object)); break;
      case ZQMAC_OBJ_MASTER_DRIVE_POOL: index(oldMasters, static_cast<ZQMACMasterDrivePool*>(object)); break;
      case ZQMAC_OBJ_DRIVE_POOL: index(oldPools, static_cast<ZQMACDrivePool*>(object)); break;
      case ZQMAC_OBJ_DRIVE: index(oldDrives, static_cast<ZQMACDrive*>(object)); break;
      case ZQMAC_OBJ_DMS: index(oldPaths, static_cast<ZQMACDms*>(object)); break;
      case ZQMAC_OBJ_MOUNT_PATH: index(oldMountPaths, static_cast<ZQMACMountPath*>(object)); break;
      case ZQMAC_OBJ_DISK_DEVICE: index(oldDevices, static_cast<ZQMACDiskDevice*>(object)); break;
      case ZQMAC_OBJ_DISK_VOLUME: index(oldVolumes, static_cast<ZQMACDiskVolume*>(object)); break;
      case ZQMAC_OBJ_COPY_MGR_DEVICE: index(oldCopyDevices, static_cast<ZQMACCopyMgrDevice*>(object)); break;
      case ZQMAC_OBJ_COPY_MGR_CONTROLLER:
        index(oldCopyControllers, static_cast<ZQMACCopyMgrController*>(object));
        break;
      default: break;  // library parts and group nodes go with their library; other kinds stay
    }
  }
  oldAgents.index(doomed);
  oldLms.index(doomed);
  oldMagLibs.index(doomed);
  oldControllers.index(doomed);
  oldMasters.index(doomed);
  oldPools.index(doomed);
  oldDrives.index(doomed);
  oldPaths.index(doomed);
  oldMountPaths.index(doomed);
  oldDevices.index(doomed);
  oldVolumes.index(doomed);
  oldCopyDevices.index(doomed);
  oldCopyControllers.index(doomed);

  // ---- unlink: every list and pointer between managed objects is rebuilt ----
  config.m_mediaAgentList.RemoveAllNodes(false, true);
  config.m_lmsList.RemoveAllNodes(false, true);
  config.m_magLibList.RemoveAllNodes(false, true);
  config.m_diskDeviceList.RemoveAllNodes(false, true);
  config.m_copyMgrDeviceList.RemoveAllNodes(false, true);
  config.m_copyMgrControllerList.RemoveAllNodes(false, true);
  config.m_ipLibControllerList.RemoveAllNodes(false, true);
  config.m_mediaAgentMap.clear();
  config.m_mountPathMap.clear();
  config.m_diskDeviceMap.clear();
  oldAgents.forEach([&](auto* a) {
    a->m_libControllerList.RemoveAllNodes(false, true);
    a->m_dmsList.RemoveAllNodes(false, true);
    a->m_copyMgrControllerList.RemoveAllNodes(false, true);
  });
  oldLms.forEach([&](auto* l) {
    l->m_libControllerList.RemoveAllNodes(false, true);
    l->m_drivePoolList.RemoveAllNodes(false, true);
    l->m_masterDrivePoolList.RemoveAllNodes(false, true);
    l->m_driveList.RemoveAllNodes(false, true);
    l->m_dmsList.RemoveAllNodes(false, true);
  });
  oldControllers.forEach([&](auto* c) {
    c->m_pLms = nullptr;
    c->m_pMediaAgent = nullptr;
  });
  oldMasters.forEach([&](auto* m) {
    m->m_pLms = nullptr;
    m->m_drivePoolList.RemoveAllNodes(false, true);
  });
  oldPools.forEach([&](auto* p) {
    p->m_pLms = nullptr;
    p->m_pMediaAgent = nullptr;
    p->m_pMasterDrivePool = nullptr;
    p->m_dmsList.RemoveAllNodes(false, true);
  });
  oldDrives.forEach([&](auto* d) {
    d->m_pLms = nullptr;
    d->m_dmsList.RemoveAllNodes(false, true);
  });
  oldPaths.forEach([&](auto* p) {
    p->m_pLms = nullptr;
    p->m_pDrive = nullptr;
    p->m_pDrivePool = nullptr;
    p->m_pMediaAgent = nullptr;
  });
  oldMagLibs.forEach([&](auto* m) {
    m->m_mountPathList.RemoveAllNodes(false, true);
    m->m_pMediaAgent = nullptr;
  });
  oldMountPaths.forEach([&](auto* p) {
    p->m_pMagLib = nullptr;
    p->m_pMediaAgent = nullptr;
  });
  oldDevices.forEach([&](auto* d) { d->m_volumeList.RemoveAllNodes(false, true); });
  oldVolumes.forEach([&](auto* v) {
    v->m_pDiskDevice = nullptr;
    v->m_pMediaAgent = nullptr;
  });
  oldCopyControllers.forEach([&](auto* c) {
    c->m_pCopyMgrDevice = nullptr;
    c->m_pMediaAgent = nullptr;
  });

  // ---- rebuild from the rows ----
  // Every list filled below was emptied above or belongs to a new object,
  // and each row stands for its own object, so no list is searched for the
  // object before it is appended (AddNewNode).
  // New objects get no handle: a handle is given when one is first asked
  // for, so a load costs none however many objects it makes. They enter
  // the instance as they are made, while their memory is at hand: entered
  // in a pass of their own after the build, each cost a cache miss in a
  // large graph. The registry stays locked for the whole build (nothing in
  // it takes the lock), instead of once per object.
  std::unique_lock<ZQMACRegistryMutex> registry(config.m_registryMutex);
  if (config.m_liveObjects == 0) {
    // A first load: as many objects as rows, and two parts per library.
    const std::size_t rows = stored.mediaAgents->size() + 3 * stored.libraries->size() +
                             stored.libraryControllers->size() + stored.masterPools->size() +
                             stored.drivePools->size() + stored.drives->size() + stored.drivePaths->size() +
                             stored.devices->size() + stored.deviceControllers->size() + stored.mountPaths->size() +
                             2 * stored.copyManagers->size();
    config.m_objects.reserve(config.m_objects.size() + rows);
    config.m_objectTypes.reserve(config.m_objects.capacity());
  }
  // The object of that id from before (taken out of `old`), or a new one
  // of the instance.
  auto obtain = [&](auto& old, int id) {
    using T = std::remove_pointer_t<typename std::remove_reference_t<decltype(old)>::mapped_type>;
    if (T* object = old.take(id)) return object;
    T* object = new T();
    // The next objects of the kind mostly come where the allocator puts
    // them after this one: fetched now, their lines are at hand when they
    // are made.
    tkmac::heap::fetchMadeAfter(object, 4);
    object->m_iId = id;
    config.EnterObject(object);
    return object;
  };
  auto adopt = [&](ZQMACInterface* object) { config.EnterObject(object); };
  // Each object's settings, laid when its own values are (after them: a
  // setting such as a controller's server host stands over its row's).
  KindSettings librarySettings(t_settings, MMStoredKind::Library);
  const std::unordered_set<int> ipControllers = ipControllersOf(t_settings);
  KindSettings controllerSettings(t_settings, MMStoredKind::LibraryController);
  KindSettings driveSettings(t_settings, MMStoredKind::Drive);
  KindSettings pathSettings(t_settings, MMStoredKind::DrivePath);
  KindSettings deviceSettings(t_settings, MMStoredKind::Device);
  KindSettings volumeSettings(t_settings, MMStoredKind::DeviceController);
  KindSettings copyManagerSettings(t_settings, MMStoredKind::CopyManager);

  IdIndex<ZQMACMediaAgent> agents(*stored.mediaAgents, [](const MMStoredMediaAgent& r) { return r.clientId; });
  for (const MMStoredMediaAgent& row : *stored.mediaAgents) {
    ZQMACMediaAgent* a = obtain(oldAgents, row.clientId);
    a->m_sName = row.name;
    a->m_sNetHostName = row.netHostName;
    a->m_sDisplayName = row.displayName;
    a->m_llOSId = row.osId;
    a->m_iAttribute = row.attribute;
    a->m_bShown = (row.attribute & kMMHiddenAttribute) == 0;
    a->m_bShownFlag = a->m_bShown;
    a->m_bConfigured = true;
    config.m_mediaAgentList.AddNewNode(a);
    config.m_mediaAgentMap[row.clientId] = a;
    agents.put(row.clientId, a);
  }

  IdIndex<ZQMACLms> lmsById(*stored.libraries, [](const MMStoredLibrary& r) { return r.libraryId; });
  IdIndex<ZQMACMagLib> magLibs(*stored.libraries, [](const MMStoredLibrary& r) { return r.libraryId; });
  for (const MMStoredLibrary& row : *stored.libraries) {
    // A tape library's shown state is a setting of its own, laid over after
    // the rows; one stored before there was that setting is in the bit that
    // only the model writes for a tape library.
    const bool shown = (row.extendedAttributes & kMMHiddenAttribute) == 0;
    const bool configured = row.enabled != 0;
    if (isDiskLibraryType(row.libraryTypeId)) {
      ZQMACMagLib* m = obtain(oldMagLibs, row.libraryId);
      FillMagLib(m, row, config);
      librarySettings.lay(m, row.libraryId);
      config.m_magLibList.AddNewNode(m);
      magLibs.put(row.libraryId, m);
      continue;
    }
    ZQMACLms* lms = obtain(oldLms, row.libraryId);
    // A library-management object carries its library part and its
    // controller group; both are made with it and go with it.
    if (lms->m_pLibrary == nullptr) {
      auto* library = new ZQMACLibrary();
      adopt(library);
      lms->m_pLibrary = library;
      library->m_pLms = lms;
    }
    if (lms->m_pLibControllerNode == nullptr) {
      auto* group = new ZQMACNode(row.name, ZQMAC_OBJ_LIBRARY_CHILD);
      adopt(group);
      group->m_pLms = lms;
      lms->m_pLibControllerNode = group;
    }
    ZQMACLibrary* library = lms->m_pLibrary;
    for (ZQMACInterface* part : {static_cast<ZQMACInterface*>(lms), static_cast<ZQMACInterface*>(library),
                                 lms->m_pLibControllerNode}) {
      part->m_sName = row.name;
      part->m_iId = row.libraryId;
      part->m_bConfigured = configured;
      part->m_bShownFlag = shown;
    }
    library->m_iType = row.libraryTypeId;
    library->m_iVTLType = row.vtlType;
    library->m_iDriveCount = row.driveCount;
    library->m_iBaseAddress = row.baseAddress;
    library->m_iAttribute = row.libraryAttribute;
    library->m_bBarCodeReader = row.barCodeReader != 0;
    library->m_sAliasName = row.aliasName;
    library->m_sVendor = row.vendor;
    library->m_sProduct = row.model;
    library->m_sDeviceTextA = row.serial;
    library->m_sDeviceTextB = row.firmware;
    librarySettings.lay(lms, row.libraryId);
    ShowLibraryParts(lms);
    config.m_lmsList.AddNewNode(lms);
    lmsById.put(row.libraryId, lms);
  }

  for (const MMStoredLibraryController& row : *stored.libraryControllers) {
    ZQMACLms* lms = lmsById.get(row.libraryId);
    if (lms == nullptr) continue;  // not a tape library's: the model has no place for it
    // A stored IP controller comes back as one; an object of the other
    // kind under the id goes (the kind is part of what the row says).
    const bool ip = ipControllers.count(row.id) != 0;
    ZQMACLibController* c = oldControllers.take(row.id);
    if (c != nullptr && (dynamic_cast<ZQMACIPLibController*>(c) != nullptr) != ip) {
      doomed.push_back(c);
      c = nullptr;
    }
    if (c == nullptr) {
      c = ip ? new ZQMACIPLibController() : new ZQMACLibController();
      c->m_iId = row.id;
      config.EnterObject(c);
    }
    ZQMACMediaAgent* agent = agents.get(row.clientId);
    c->m_sName = row.name;
    c->m_bConfigured = row.isEnabled != 0;
    c->m_pLms = lms;
    c->m_pMediaAgent = agent;
    assignOrClear(c->m_sServerHostName, agent != nullptr ? &agent->m_sNetHostName : nullptr);
    c->m_sControllerText = row.name;
    c->m_uControllerType = static_cast<unsigned int>(row.controllerType);
    controllerSettings.lay(c, row.id);
    lms->m_libControllerList.AddNewNode(c);
    if (agent != nullptr) agent->m_libControllerList.AddNewNode(c);
    if (ip) config.m_ipLibControllerList.AddNewNode(static_cast<ZQMACIPLibController*>(c));
  }

  IdIndex<ZQMACMasterDrivePool> masters(*stored.masterPools, [](const MMStoredMasterPool& r) { return r.id; });
  for (const MMStoredMasterPool& row : *stored.masterPools) {
    ZQMACLms* lms = lmsById.get(row.libraryId);
    if (lms == nullptr) continue;  // a disk library's master pool
    ZQMACMasterDrivePool* m = obtain(oldMasters, row.id);
    m->m_sName = row.name;
    m->m_bConfigured = true;
    m->m_pLms = lms;
    lms->m_masterDrivePoolList.AddNewNode(m);
    masters.put(row.id, m);
  }

  IdIndex<ZQMACDrivePool> pools(*stored.drivePools, [](const MMStoredDrivePool& r) { return r.id; });
  const auto& poolRows = *stored.drivePools;
  auto poolMaster = [](const MMStoredDrivePool& r) { return r.masterPoolId; };
  for (std::size_t i = 0; i < poolRows.size(); ++i) {
    const MMStoredDrivePool& row = poolRows[i];
    ZQMACMasterDrivePool* master = masters.get(row.masterPoolId);
    if (master == nullptr) continue;
    ZQMACDrivePool* p = obtain(oldPools, row.id);
    p->m_sName = row.name;
    p->m_iType = row.type;
    p->m_sProxyClientHost = (row.proxyHost);
    p->m_iCopyManagerId = row.copyManagerCtrlId;
    p->m_iCostCategoryId = row.costCategoryId;
    p->m_bConfigured = row.enabled != 0;
    p->m_pLms = master->m_pLms;
    p->m_pMasterDrivePool = master;
    p->m_pMediaAgent = agents.get(row.clientId);
    reserveRun(master->m_pLms->m_drivePoolList, poolRows, i, poolMaster);
    master->m_pLms->m_drivePoolList.AddNewNode(p);
    reserveRun(master->m_drivePoolList, poolRows, i, poolMaster);
    master->m_drivePoolList.AddNewNode(p);
    pools.put(row.id, p);
  }

  IdIndex<ZQMACDrive> drives(*stored.drives, [](const MMStoredDrive& r) { return r.id; });
  const auto& driveRows = *stored.drives;
  for (std::size_t i = 0; i < driveRows.size(); ++i) {
    const MMStoredDrive& row = driveRows[i];
    ZQMACMasterDrivePool* master = masters.get(row.masterPoolId);
    if (master == nullptr) continue;
    ZQMACDrive* d = obtain(oldDrives, row.id);
    d->m_sName = (row.name);
    d->m_sAliasName = (row.aliasName);
    d->m_sVendor = (row.vendor);
    d->m_sProduct = (row.model);
    d->m_sDeviceTextA = row.serialNumber;  // the unit's serial number identifies it
    d->m_sDeviceTextB = (row.firmware);
    d->m_sDriveId = (row.serialNumber);
    d->m_iDriveNumber = row.driveNumber;
    d->m_bConfigured = row.enabled != 0;
    d->m_pLms = master->m_pLms;
    driveSettings.lay(d, row.id);
    reserveRun(master->m_pLms->m_driveList, driveRows, i, [](const MMStoredDrive& r) { return r.masterPoolId; });
    master->m_pLms->m_driveList.AddNewNode(d);
    drives.put(row.id, d);
  }

  // A drive path links into its drive and pool, whose memory a large graph
  // no longer holds at hand (every other drive was made since): those of a
  // row a few rows on are fetched ahead, so that their misses overlap the
  // work on the rows before it.
  const auto& pathRows = *stored.drivePaths;
  constexpr std::size_t kAhead = 8;
  auto fetchList = [](const auto& list) {
    __builtin_prefetch(&list, 1);
    __builtin_prefetch(reinterpret_cast<const char*>(&list) + sizeof list - 1, 1);
  };
  // A media agent's list of paths is long (every path of the agent) and
  // keeps an index of its elements: filled in a pass of its own after the
  // paths are made, the index stays at hand instead of being pushed out of
  // the cache by the paths, drives and pools between two of its entries.
  std::vector<std::pair<ZQMACMediaAgent*, ZQMACDms*>> agentPaths;
  agentPaths.reserve(pathRows.size());
  for (std::size_t i = 0; i < pathRows.size(); ++i) {
    const MMStoredDrivePath& row = pathRows[i];
    if (i + kAhead < pathRows.size()) {
      if (const ZQMACDrive* next = drives.get(pathRows[i + kAhead].driveId)) {
        __builtin_prefetch(&next->m_pLms, 1);
        fetchList(next->m_dmsList);
      }
      if (const ZQMACDrivePool* next = pools.get(pathRows[i + kAhead].drivePoolId)) fetchList(next->m_dmsList);
    }
    ZQMACDrive* drive = drives.get(row.driveId);
    if (drive == nullptr) continue;
    ZQMACDms* p = obtain(oldPaths, row.id);
    ZQMACDrivePool* pool = pools.get(row.drivePoolId);
    ZQMACMediaAgent* agent = agents.get(row.clientId);
    p->m_sName = (row.pathName);
    p->m_sPathText = p->m_sName;
    p->m_bConfigured = row.enabled != 0;
    p->m_pDrive = drive;
    p->m_pDrivePool = pool;
    p->m_pMediaAgent = agent;
    p->m_pLms = drive->m_pLms;
    assignOrClear(p->m_sServerHostName, agent != nullptr ? &agent->m_sNetHostName : nullptr);
    pathSettings.lay(p, row.id);
    drive->m_dmsList.AddNewNode(p);
    if (pool != nullptr) {
      reserveRun(pool->m_dmsList, pathRows, i, [](const MMStoredDrivePath& r) { return r.drivePoolId; });
      pool->m_dmsList.AddNewNode(p);
    }
    if (agent != nullptr) agentPaths.emplace_back(agent, p);
    if (p->m_pLms != nullptr) {
      // A library's drives mostly have a path each.
      if (p->m_pLms->m_dmsList.GetListCount() == 0) p->m_pLms->m_dmsList.Reserve(p->m_pLms->m_driveList.GetListCount());
      p->m_pLms->m_dmsList.AddNewNode(p);
    }
  }
  for (const auto& [agent, path] : agentPaths) agent->m_dmsList.AddNewNode(path);

  IdIndex<ZQMACDiskDevice> devices(*stored.devices, [](const MMStoredDevice& r) { return r.id; });
  for (const MMStoredDevice& row : *stored.devices) {
    ZQMACDiskDevice* d = obtain(oldDevices, row.id);
    FillDevice(d, row);
    deviceSettings.lay(d, row.id);
    config.m_diskDeviceList.AddNewNode(d);
    config.m_diskDeviceMap[row.id] = d;
    devices.put(row.id, d);
  }

  for (const MMStoredDeviceController& row : *stored.deviceControllers) {
    ZQMACDiskDevice* device = devices.get(row.deviceId);
    if (device == nullptr) continue;
    ZQMACDiskVolume* v = obtain(oldVolumes, row.id);
    FillVolume(v, row, device, agents.get(row.clientId));
    volumeSettings.lay(v, row.id);
    device->m_volumeList.AddNewNode(v);
  }

  for (const MMStoredMountPath& row : *stored.mountPaths) {
    ZQMACMagLib* library = magLibs.get(row.libraryId);
    if (library == nullptr) continue;
    ZQMACMountPath* p = obtain(oldMountPaths, row.id);
    FillMountPath(p, row, library, devices.get(row.deviceId));
    library->m_mountPathList.AddNewNode(p);
    config.m_mountPathMap[row.id] = p;
  }
  {
    const std::map<int, int> poolAgents = DiskLibraryPoolAgents(stored);
    ZQMACLinkedList<ZQMACMagLib> list = config.m_magLibList;
    for (ZQMACMagLib* m = list.GetFirstNode(); m != nullptr; m = list.GetNextNode()) {
      auto it = poolAgents.find(m->m_iId);
      m->m_pMediaAgent = MagLibAgent(m, it != poolAgents.end() ? agents.get(it->second) : nullptr);
    }
  }

  // A copy manager's row is its device and the device's one controller,
  // both of its id. Its configured state is a setting of the model's own,
  // which the controller shares.
  for (const MMStoredCopyManager& row : *stored.copyManagers) {
    ZQMACCopyMgrDevice* d = obtain(oldCopyDevices, row.id);
    d->m_sName = row.name;
    d->m_iConcurrencyLimit = row.concurrencyLimit;
    d->m_bConfigured = false;
    copyManagerSettings.lay(d, row.id);
    config.m_copyMgrDeviceList.AddNewNode(d);
    ZQMACCopyMgrController* c = obtain(oldCopyControllers, row.id);
    ZQMACMediaAgent* agent = agents.get(row.clientId);
    c->m_sName = row.controllerName;
    c->m_bConfigured = d->m_bConfigured;
    c->m_pCopyMgrDevice = d;
    c->m_pMediaAgent = agent;
    config.m_copyMgrControllerList.AddNewNode(c);
    if (agent != nullptr) agent->m_copyMgrControllerList.AddNewNode(c);
  }

  // ---- free what the database no longer holds ----
  // Everything still named in the `old` maps was not reused; the lists and
  // pointers above no longer reach it, and its destructor unlinks it from
  // whatever else does.
  auto drop = [&](auto& old) {
    old.forEach([&](ZQMACInterface* object) { doomed.push_back(object); });
    old.clear();
  };
  oldLms.forEach([&](auto* l) {
    if (l->m_pLibrary != nullptr) doomed.push_back(l->m_pLibrary);
    if (l->m_pLibControllerNode != nullptr) doomed.push_back(l->m_pLibControllerNode);
  });
  drop(oldCopyControllers);
  drop(oldCopyDevices);
  drop(oldVolumes);
  drop(oldMountPaths);
  drop(oldPaths);
  drop(oldDrives);
  drop(oldPools);
  drop(oldMasters);
  drop(oldControllers);
  drop(oldDevices);
  drop(oldMagLibs);
  drop(oldLms);
  drop(oldAgents);
  registry.unlock();
  DropUnreached(config, doomed);
  t_settingsLaid = t_settings != nullptr && librarySettings.ordered() && controllerSettings.ordered() &&
                   driveSettings.ordered() && pathSettings.ordered() && deviceSettings.ordered() &&
                   volumeSettings.ordered() && copyManagerSettings.ordered();

  config.m_bDatabaseBacked = true;
  config.ClearLastError();
  return true;
}
