// Re-reads that cost what the change costs, and the hand-over of a clean
// graph from a freed instance to the next new one.
//
// A graph remembers the rows it was last laid over (the shared lists of
// MMMediaConfigDB::loadCurrent). The lists of a kind that did not change are
// the very same lists the next load hands out, so a re-read compares the
// lists of the disk side (disk libraries, devices, their volumes, mount
// paths) row by row and lays only the rows that differ, plus the objects
// changed in memory since (touched), as the load of every row would lay
// them: same fields, same links, new objects where the rows' id order puts
// them, objects whose rows are gone unlinked and freed (a disk library with
// its mount paths). The master pools, drive pools and controllers of disk
// libraries make no objects: their rows may change too. Anything else (a
// change of a media agent, tape library, its controllers or pools, a drive
// or drive path, a copy manager, a library that turns from or into a tape
// library, an object of the tape side changed in memory, a disk library
// changed in memory that stands for no row of its own, another database)
// takes the lay-over of every row (ZQMACDbLoader.cpp), which is always
// right. What the load in part looks up by id or name, or by the pools
// that give a library its media agent, it finds in an index it keeps
// beside the rows (ZQMACDiskIndex), so that a change costs what it
// changes, not what the installation holds.
//
// A row deleted and another inserted under its id is another object, even
// where the two rows hold the same values: the change log marks every row
// born (MMConfigChangeLog.h), and an object whose row was born again since
// the graph was laid is freed first, with its handle, so that the load of
// every row makes a new object of the new row; when the log no longer
// tells (pruned past the graph's read, of another epoch), every object of a
// row is. A handle therefore never names another row than the one it was
// given for.
//
// Hand-over: a request makes a new instance, loads it, works and frees it.
// A freed instance that is database-backed and clean (no instance-wide
// operation ran on it; objects changed in memory are known) parks its graph
// in one process-wide slot instead of freeing it: the handles it gave are
// dropped first, so none of them resolves anywhere again. The next new
// instance's first load takes the parked graph over and brings it up to date
// as a re-read does, except that objects changed in memory are made anew
// from their rows (a load of every row would not know their changes), so the
// result is what a load of every row gives a new instance.
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <initializer_list>
#include <memory>
#include <utility>
#include <map>
#include <mutex>
#include <set>
#include <type_traits>
#include <unordered_map>
#include <unordered_set>
#include <string>
#include <vector>

#include "platform/mac/ZQMACGraph.h"
#include "platform/mac/ZQMACNames.h"
#include "platform/mac/ZQMACPlatform.h"
#include "platform/mac/ZQMACTableErrors.h"
#include "platform/mmdb/MMLibraryDB.h"
#include "platform/mmdb/MMMediaConfigDB.h"

// What a load in part looks up that the instance keeps no map of, so that
// it finds what a change touches without a walk over every disk library or
// every pool: made by the first load in part after a lay-over of every row
// (from the rows that load laid and the instance's list), then kept in step
// by each load in part, and dropped by the next lay-over of every row.
struct ZQMACDiskIndex {
  // The disk libraries by id. An entry may name a library freed since
  // (a request deletes one): it counts only while the instance's list holds
  // it under that id. A library enters the list otherwise only made in
  // memory (touched, which takes the lay-over of every row) or by a load.
  std::unordered_map<int, ZQMACMagLib*> magLibs;
  // The same by the name each answers to, letter case folded (tkmac::foldedName);
  // an entry counts only while the library still answers to it.
  std::unordered_multimap<std::string, ZQMACMagLib*> byName;
  // The master pools of each library, and the drive pools with a media
  // agent of each master pool, in id order, as the rows laid have them:
  // what gives a disk library without a mount path its media agent
  // (DiskLibraryPoolAgents).
  std::unordered_map<int, std::vector<int>> mastersOfLibrary;
  std::unordered_map<int, std::vector<int>> agentPoolsOfMaster;
  // The mount paths of each library and of each device, and the volumes of
  // each device, in id order, as the rows laid have them: what a change of
  // a library or a device takes along.
  std::unordered_map<int, std::vector<int>> pathsOfLibrary;
  std::unordered_map<int, std::vector<int>> pathsOfDevice;
  std::unordered_map<int, std::vector<int>> volumesOfDevice;
};

// The rows a graph was laid over.
struct ZQMACLaidRows {
  MMStoredSnapshot rows;
  // The model's own settings laid over the graph with the rows.
  std::shared_ptr<const std::vector<tkmac::StoredSetting>> settings;
  // Null until a load in part needs it.
  std::shared_ptr<ZQMACDiskIndex> diskIndex;
};

// A graph parked between two instances: what an instance holds of its graph.
struct ZQMACParkedGraph {
  std::unique_ptr<ZQMACGraphHome> home = std::make_unique<ZQMACGraphHome>();
  std::vector<ZQMACInterface*> objects;
  std::vector<unsigned int> objectTypes;
  ZQMACTypePlaces placesOfType[kZQMACTypeLists];
  std::size_t liveObjects = 0;
  std::vector<ZQMACInterface*> touched;
  std::vector<std::pair<unsigned int, int>> freedStored;
  std::shared_ptr<ZQMACLaidRows> laidRows;
  bool databaseBacked = false;
  std::map<int, ZQMACMediaAgent*> mediaAgentMap;
  std::map<int, ZQMACMountPath*> mountPathMap;
  std::map<int, ZQMACDiskDevice*> diskDeviceMap;
  std::map<int, ZQMACCenteraCluster*> centeraClusterMap;
  std::map<int, ZQMACHost*> hostMap;
  std::map<int, std::set<int>> laidBeside;
  std::string besideBornEpoch;
  long long besideBornSeq = -1;
  ZQMACLinkedList<ZQMACMediaAgent> mediaAgentList;
  ZQMACLinkedList<ZQMACLms> lmsList;
  ZQMACLinkedList<ZQMACMagLib> magLibList;
  ZQMACLinkedList<ZQMACDiskDevice> diskDeviceList;
  ZQMACLinkedList<ZQMACCenteraCluster> centeraClusterList;
  ZQMACLinkedList<ZQMACHost> hostList;
  ZQMACLinkedList<ZQMACCopyMgrDevice> copyMgrDeviceList;
  ZQMACLinkedList<ZQMACCopyMgrController> copyMgrControllerList;
  ZQMACLinkedList<ZQMACIPLibController> ipLibControllerList;
  ZQMACLinkedList<ZQMACNode> costCategoryList;
};

namespace {

int rowId(const MMStoredMediaAgent& r) { return r.clientId; }
int rowId(const MMStoredDrive& r) { return r.id; }
int rowId(const MMStoredDrivePath& r) { return r.id; }
int rowId(const MMStoredDevice& r) { return r.id; }
int rowId(const MMStoredDeviceController& r) { return r.id; }
int rowId(const MMStoredMountPath& r) { return r.id; }
int rowId(const MMStoredLibrary& r) { return r.libraryId; }
int rowId(const MMStoredLibraryController& r) { return r.id; }
int rowId(const MMStoredMasterPool& r) { return r.id; }
int rowId(const MMStoredDrivePool& r) { return r.id; }
int rowId(const MMStoredCopyManager& r) { return r.id; }

// The row of the id in a list in id order, or null.
template <class Row>
const Row* rowOf(const MMRowList<Row>& rows, int id) {
  return rows.find(id, [](const Row& r) { return rowId(r); });
}

// Walks two lists in id order side by side (walkRows): `differ(id)` for an
// id only one holds, `both(b, n)` for an id both hold, passing over what
// both share unread.
template <class Row, class Differ, class Both>
void walkBoth(const MMRowList<Row>& before, const MMRowList<Row>& now, Differ differ, Both both) {
  walkRows(before, now, [](const Row& r) { return rowId(r); }, differ, both);
}

// The ids whose rows differ between the two lists (new, changed or gone);
// none when they are the same list.
template <class Row>
std::vector<int> changedIds(const MMRowList<Row>& before, const MMRowList<Row>& now) {
  std::vector<int> ids;
  walkBoth(before, now, [&](int id) { ids.push_back(id); },
           [&](const Row& b, const Row& n) {
             if (b != n) ids.push_back(rowId(n));  // every column the load lays
           });
  return ids;
}

// The ids of `now` whose rows are others than the objects the graph laid
// over `before` holds of them (`born`: the ids born since `before` was
// read, `again`: those born twice or more): a row `before` holds too was
// deleted and the one of `now` inserted under its id; a row `before` does
// not hold, or one the session removed since (`freed`), was the session's
// own once born (the object it stored since), and is another row once born
// again. When the log cannot tell (`born` null), every row of `now` may
// have been, the row of an object the session stored since too: the
// session cannot tell its own row from another made under its id. A chunk
// of rows both lists share was read before: none of it was born since. In
// id order.
template <class Row>
void rebornIds(const MMStoredSnapshot::List<Row>& before, const MMStoredSnapshot::List<Row>& now,
               const std::set<int>* born, const std::set<int>* again, const std::set<int>& freed,
               std::vector<int>& ids) {
  if (before == nullptr || now == nullptr || before == now || (born != nullptr && born->empty())) return;
  if (born == nullptr) {
    walkBoth(
        *before, *now, [&](int id) { if (rowOf(*now, id) != nullptr) ids.push_back(id); },
        [&](const Row&, const Row& n) { ids.push_back(rowId(n)); });
    return;
  }
  for (int id : *born) {
    if (rowOf(*now, id) == nullptr) continue;  // gone again: the load frees its object
    const bool laid = rowOf(*before, id) != nullptr && freed.count(id) == 0;
    if (laid || (again != nullptr && again->count(id) != 0)) ids.push_back(id);
  }
}

// The ids of each stored kind whose objects the session removed with their
// rows since the graph was laid (ZQMACMediaConfig::m_freedStored).
std::array<std::set<int>, kStoredKinds> freedIdsOf(const std::vector<std::pair<unsigned int, int>>& freed) {
  std::array<std::set<int>, kStoredKinds> ids;
  for (const auto& [type, id] : freed) {
    MMStoredKind kind;
    if (storedKindOfType(type, kind) != nullptr) ids[static_cast<std::size_t>(kind)].insert(id);
  }
  return ids;
}

// The ids with those of the freed objects, each once.
std::vector<int> withFreed(std::vector<int> ids, const std::vector<int>& freed) {
  if (freed.empty()) return ids;
  ids.insert(ids.end(), freed.begin(), freed.end());
  std::sort(ids.begin(), ids.end());
  ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
  return ids;
}

// Keeps a list in id order: the element goes after the last one with a
// lower id (the end, for an id newer than all).
// Whether the library of the id is a tape or optical library in the rows:
// its objects are the full lay-over's. A disk library's master pools, drive
// pools and controllers make no objects.
bool isTapeLibrary(const MMStoredSnapshot& rows, int libraryId) {
  const MMStoredLibrary* row = rowOf(*rows.libraries, libraryId);
  return row != nullptr && !tkmac::isDiskLibraryTypeId(row->libraryTypeId);
}

bool isTapeMasterPool(const MMStoredSnapshot& rows, int masterPoolId) {
  const MMStoredMasterPool* row = rowOf(*rows.masterPools, masterPoolId);
  return row != nullptr && isTapeLibrary(rows, row->libraryId);
}

// Whether every row of the ids, before and now, is one that `tape` says
// makes no object of the tape side.
template <class Row, class Tape>
bool noneOfTheTapeSide(const std::vector<int>& ids, const MMStoredSnapshot& before, const MMStoredSnapshot& now,
                       const MMRowList<Row>& rowsBefore, const MMRowList<Row>& rowsNow, Tape tape) {
  for (int id : ids) {
    const Row* old = rowOf(rowsBefore, id);
    const Row* row = rowOf(rowsNow, id);
    if ((old != nullptr && tape(before, *old)) || (row != nullptr && tape(now, *row))) return false;
  }
  return true;
}

template <class T>
void insertById(ZQMACLinkedList<T>& list, T* element) {
  list.InsertOrdered(element, [](const T* a, const T* b) { return a->GetId() < b->GetId(); });
}

// Enters / removes an id in a list kept in id order.
void enterSorted(std::vector<int>& ids, int id) {
  auto at = std::lower_bound(ids.begin(), ids.end(), id);
  if (at == ids.end() || *at != id) ids.insert(at, id);
}
void leaveSorted(std::unordered_map<int, std::vector<int>>& lists, int key, int id) {
  auto list = lists.find(key);
  if (list == lists.end()) return;
  auto at = std::lower_bound(list->second.begin(), list->second.end(), id);
  if (at != list->second.end() && *at == id) list->second.erase(at);
  if (list->second.empty()) lists.erase(list);
}

// Enters the library under its name and the name it answers to now, each
// once.
void enterName(ZQMACDiskIndex& index, ZQMACMagLib* library) {
  for (const std::string* name : {&library->GetName(), &library->GetAliasName()}) {
    std::string key = tkmac::foldedName(*name);
    auto [first, last] = index.byName.equal_range(key);
    if (std::none_of(first, last, [&](const auto& entry) { return entry.second == library; }))
      index.byName.emplace(std::move(key), library);
  }
}

// The ids of the changed rows `changed` by the key each names in `now`
// (those gone from it name none), each key's in the order of `changed`: one
// look-up a changed row, however many keys are asked for.
template <class Row, class Key>
std::unordered_map<int, std::vector<int>> changedByKey(const std::vector<int>& changed, const MMRowList<Row>& now,
                                                       Key keyOf) {
  std::unordered_map<int, std::vector<int>> ids;
  for (int id : changed)
    if (const Row* row = rowOf(now, id)) ids[keyOf(*row)].push_back(id);
  return ids;
}

// The ids that the rows laid before name under `key` in `index`, with those
// of the changed rows that name it now (`changed`, changedByKey): every row
// that names it before or now, and perhaps a changed one that names it no
// more.
template <class Visit>
void forRowsNaming(const std::unordered_map<int, std::vector<int>>& index, int key,
                   const std::unordered_map<int, std::vector<int>>& changed, Visit visit) {
  for (const auto* ids : {&index, &changed})
    if (auto at = ids->find(key); at != ids->end())
      for (int id : at->second) visit(id);
}

// Moves the changed rows' ids in a by-key index from what `before` names
// to what `now` names.
template <class Row, class Key>
void moveRows(std::unordered_map<int, std::vector<int>>& index, const std::vector<int>& changed,
              const MMRowList<Row>& before, const MMRowList<Row>& now, Key keyOf) {
  for (int id : changed) {
    if (const Row* old = rowOf(before, id)) leaveSorted(index, keyOf(*old), id);
    if (const Row* row = rowOf(now, id)) enterSorted(index[keyOf(*row)], id);
  }
}

// The index of the pools of the rows `rows` (the libraries are the
// caller's).
std::shared_ptr<ZQMACDiskIndex> makeDiskIndex(const MMStoredSnapshot& rows) {
  auto index = std::make_shared<ZQMACDiskIndex>();
  for (const MMStoredMasterPool& m : *rows.masterPools) index->mastersOfLibrary[m.libraryId].push_back(m.id);
  for (const MMStoredDrivePool& p : *rows.drivePools)
    if (p.clientId > 0) index->agentPoolsOfMaster[p.masterPoolId].push_back(p.id);  // rows in id order
  for (const MMStoredMountPath& p : *rows.mountPaths) {
    index->pathsOfLibrary[p.libraryId].push_back(p.id);
    index->pathsOfDevice[p.deviceId].push_back(p.id);
  }
  for (const MMStoredDeviceController& v : *rows.deviceControllers) index->volumesOfDevice[v.deviceId].push_back(v.id);
  return index;
}

// A load in part lays up to this share of the rows (1/n), and up to
// kInPartAlways rows whatever the rows hold (a small installation's whole
// read costs little either way); a larger change is laid whole.
constexpr std::size_t kWholeReadShare = 4;
constexpr std::size_t kInPartAlways = 1024;

// The rows of every list of the snapshot.
std::size_t rowCount(const MMStoredSnapshot& rows) {
  std::size_t count = 0;
  rows.forEachList(rows, [&](MMStoredKind, const auto& list, const auto&) { count += list != nullptr ? list->size() : 0; });
  return count;
}

// The kinds a load in part makes anew from their rows: disk libraries,
// mount paths, disk devices and their volumes.
bool isDiskSideType(unsigned int type) {
  return type == ZQMAC_OBJ_MOUNT_PATH || type == ZQMAC_OBJ_DISK_DEVICE || type == ZQMAC_OBJ_DISK_VOLUME ||
         type == ZQMAC_OBJ_MAGLIB;
}

// A set of ids, made once and asked many times.
class IdSet {
 public:
  void take(std::vector<int> ids) {
    m_sorted = std::move(ids);  // in id order
    if (m_sorted.empty()) return;
    m_low = m_sorted.front();
    const auto span = static_cast<std::size_t>(static_cast<long long>(m_sorted.back()) - m_low + 1);
    if (span > 8 * m_sorted.size() + 4096) return;  // far apart: searched
    m_bits.assign(span, false);
    for (int id : m_sorted) m_bits[static_cast<std::size_t>(id - m_low)] = true;
  }
  bool has(int id) const {
    if (m_bits.empty()) return std::binary_search(m_sorted.begin(), m_sorted.end(), id);
    const long long at = static_cast<long long>(id) - m_low;
    return at >= 0 && static_cast<std::size_t>(at) < m_bits.size() && m_bits[static_cast<std::size_t>(at)];
  }

 private:
  std::vector<int> m_sorted;
  std::vector<bool> m_bits;
  int m_low = 0;
};

struct ParkedSlot {
  std::mutex mutex;
  std::unique_ptr<ZQMACParkedGraph> graph;
};

ParkedSlot& parkedSlot() {
  static ParkedSlot* slot = new ParkedSlot();  // lives for the whole process
  return *slot;
}

}  // namespace

// ---------------------------------------------------------------- the increment

bool ZQMACGraph::ApplyIncrement(ZQMACMediaConfig& config, const MMStoredSnapshot& before,
                                const MMStoredSnapshot& now, const std::vector<ZQMACInterface*>& remake,
                                const std::vector<std::pair<unsigned int, int>>& freed,
                                const std::vector<tkmac::StoredSetting>* settings,
                                std::shared_ptr<ZQMACDiskIndex>& index) {
  // ---- can the increment be known exactly? Nothing changes until it is. ----
  if (before.mediaAgents != now.mediaAgents || before.drives != now.drives || before.drivePaths != now.drivePaths ||
      before.copyManagers != now.copyManagers)
    return false;
  for (const MMStoredSnapshot* rows : {&before, &now})
    if (!rows->libraries || !rows->libraryControllers || !rows->masterPools || !rows->drivePools ||
        !rows->devices || !rows->deviceControllers || !rows->mountPaths || !rows->copyManagers)
      return false;
  // Libraries, their controllers and pools: only those of disk libraries,
  // before and now (a disk library's master pools, drive pools and
  // controllers make no objects; a library that turns from or into a tape
  // library is the full lay-over's).
  std::vector<int> changedLibraries = changedIds(*before.libraries, *now.libraries);
  const std::vector<int> changedMasters = changedIds(*before.masterPools, *now.masterPools);
  const std::vector<int> changedPools = changedIds(*before.drivePools, *now.drivePools);
  const std::vector<int> changedDevices = changedIds(*before.devices, *now.devices);
  const std::vector<int> changedVolumes = changedIds(*before.deviceControllers, *now.deviceControllers);
  const std::vector<int> changedPaths = changedIds(*before.mountPaths, *now.mountPaths);
  // A change of more than a share of the rows costs the load in part more
  // than the lay-over of every row costs (an object laid in part is looked
  // up, unlinked and linked again, where the lay-over appends it).
  const std::size_t changedRows = changedLibraries.size() + changedMasters.size() + changedPools.size() +
                                  changedDevices.size() + changedVolumes.size() + changedPaths.size() + freed.size();
  if (changedRows > std::max(kInPartAlways, rowCount(now) / kWholeReadShare)) return false;
  if (!noneOfTheTapeSide(changedLibraries, before, now, *before.libraries, *now.libraries,
                         [](const MMStoredSnapshot&, const MMStoredLibrary& r) {
                           return !tkmac::isDiskLibraryTypeId(r.libraryTypeId);
                         }) ||
      !noneOfTheTapeSide(changedIds(*before.libraryControllers, *now.libraryControllers), before, now,
                         *before.libraryControllers, *now.libraryControllers,
                         [](const MMStoredSnapshot& rows, const MMStoredLibraryController& r) {
                           return isTapeLibrary(rows, r.libraryId);
                         }) ||
      !noneOfTheTapeSide(changedMasters, before, now, *before.masterPools, *now.masterPools,
                         [](const MMStoredSnapshot& rows, const MMStoredMasterPool& r) {
                           return isTapeLibrary(rows, r.libraryId);
                         }) ||
      !noneOfTheTapeSide(changedPools, before, now, *before.drivePools,
                         *now.drivePools, [](const MMStoredSnapshot& rows, const MMStoredDrivePool& r) {
                           return isTapeMasterPool(rows, r.masterPoolId);
                         }))
    return false;
  // Stored objects freed with their rows since the graph was laid: their
  // rows are laid as changed ones (a row that is back, or that never went,
  // makes its object anew). One of the tape side is the full lay-over's.
  std::vector<int> freedDevices;
  std::vector<int> freedVolumes;
  std::vector<int> freedPaths;
  for (const auto& [type, id] : freed) {
    switch (type) {
      case ZQMAC_OBJ_MAGLIB: changedLibraries.push_back(id); break;
      case ZQMAC_OBJ_DISK_DEVICE: freedDevices.push_back(id); break;
      case ZQMAC_OBJ_DISK_VOLUME: freedVolumes.push_back(id); break;
      case ZQMAC_OBJ_MOUNT_PATH: freedPaths.push_back(id); break;
      default:
        if (IsLaidType(type)) return false;
        break;  // an object of no stored kind: no row lays it
    }
  }
  // The disk libraries by id, and their pools, as the index has them.
  if (index == nullptr) index = MakeDiskIndex(config, before);
  std::unordered_map<int, ZQMACMagLib*>& magLibs = index->magLibs;
  // The library of the id in the instance's list now, or null.
  auto magLibOf = [&](int id) -> ZQMACMagLib* {
    auto it = magLibs.find(id);
    if (it == magLibs.end()) return nullptr;
    if (config.m_magLibList.Contains(it->second) && it->second->m_iId == id) return it->second;
    magLibs.erase(it);  // freed since
    return nullptr;
  };
  std::vector<ZQMACInterface*> touched;
  {
    std::lock_guard<ZQMACRegistryMutex> guard(config.m_registryMutex);
    touched = config.m_touched;
  }
  for (ZQMACInterface* object : touched) {
    switch (object->GetObjectType()) {
      case ZQMAC_OBJ_DISK_DEVICE: case ZQMAC_OBJ_DISK_VOLUME: case ZQMAC_OBJ_MOUNT_PATH:
      case ZQMAC_OBJ_HOST: case ZQMAC_OBJ_CENTERA_CLUSTER:
        break;
      case ZQMAC_OBJ_MAGLIB:
        // A disk library in its place is laid again from its row (a new
        // one that Configure stored, one whose values a request set); one
        // that stands for no row of its own, or for the row of another
        // library in the list, is the full lay-over's.
        if (object->m_iId < 0 || !config.m_magLibList.Contains(static_cast<ZQMACMagLib*>(object))) return false;
        if (ZQMACMagLib* held = magLibOf(object->m_iId); held != nullptr && held != object) return false;
        break;
      default:
        // Objects of the kinds only the full lay-over relinks; objects of
        // no stored kind stay as a full lay-over leaves them.
        if (IsLaidKind(object)) return false;
        break;
    }
  }

  // ---- the work: id -> the object standing for it now (null: none yet) ----
  std::map<int, ZQMACDiskDevice*> deviceWork;
  std::map<int, ZQMACDiskVolume*> volumeWork;
  std::map<int, ZQMACMountPath*> pathWork;
  std::map<int, ZQMACMagLib*> libraryWork;
  std::set<ZQMACMagLib*> libraries;      // whose media agent follows their mount paths
  std::set<int> reachedDevices;          // whose mount paths take their media agent anew
  std::vector<ZQMACInterface*> doomed;   // unlinked, freed at the end
  std::vector<ZQMACInterface*> loose;    // changed in memory and standing for no row of their own
  std::vector<ZQMACInterface*> fresh;    // new objects, entered at the end
  std::set<ZQMACDiskDevice*> madeInMemory;  // touched devices, put where a load puts them
  ZQMACGraphHome* home = config.m_pHome.get();
  // A new object (of the kind `kind` points to) for the id, entered into
  // the instance with the others at the end.
  auto newObject = [&](auto* kind, int id) {
    auto* object = new std::remove_pointer_t<decltype(kind)>();
    object->m_pHome = home;
    object->m_iId = id;
    fresh.push_back(object);
    return object;
  };

  // An object laid from its row takes its settings then, as the lay-over
  // of every row lays them; the objects left alone still hold them.
  auto laySettings = [&](ZQMACInterface* object, MMStoredKind kind) {
    if (settings != nullptr) ApplyStoredSettingsOf(object, kind, *settings);
  };
  const std::set<ZQMACInterface*> remade(remake.begin(), remake.end());
  auto volumeIn = [](ZQMACDiskDevice* device, int id) -> ZQMACDiskVolume* {
    ZQMACDiskVolume* found = nullptr;
    if (device != nullptr)
      device->m_volumeList.AnyNode([&](ZQMACDiskVolume* v) { return v->m_iId == id && (found = v) != nullptr; });
    return found;
  };
  auto unlinkDevice = [&](ZQMACDiskDevice* d) {
    config.m_diskDeviceList.RemoveNode(d);
    auto it = config.m_diskDeviceMap.find(d->m_iId);
    if (it != config.m_diskDeviceMap.end() && it->second == d) config.m_diskDeviceMap.erase(it);
    d->m_volumeList.ForEachNode([&](ZQMACDiskVolume* v) {
      if (volumeWork.count(v->m_iId) == 0 || volumeWork[v->m_iId] == nullptr) volumeWork[v->m_iId] = v;
    });
    reachedDevices.insert(d->m_iId);
  };
  auto unlinkPath = [&](ZQMACMountPath* p) {
    if (p->m_pMagLib != nullptr) {
      p->m_pMagLib->m_mountPathList.RemoveNode(p);
      libraries.insert(p->m_pMagLib);
      p->m_pMagLib = nullptr;
    }
    auto it = config.m_mountPathMap.find(p->m_iId);
    if (it != config.m_mountPathMap.end() && it->second == p) config.m_mountPathMap.erase(it);
  };

  // Objects changed in memory: laid again from their rows where they stand
  // for one, or (handed over) made anew.
  for (ZQMACInterface* object : touched) {
    const bool anew = remade.count(object) != 0;
    const int id = object->m_iId;
    switch (object->GetObjectType()) {
      case ZQMAC_OBJ_DISK_DEVICE: {
        auto* d = static_cast<ZQMACDiskDevice*>(object);
        if (id < 0 || config.FindDBNode<ZQMACDiskDevice>(id) != d) {
          loose.push_back(d);
        } else if (anew) {
          unlinkDevice(d);
          doomed.push_back(d);
          deviceWork[id] = nullptr;
        } else {
          deviceWork[id] = d;
          madeInMemory.insert(d);
        }
        break;
      }
      case ZQMAC_OBJ_DISK_VOLUME: {
        auto* v = static_cast<ZQMACDiskVolume*>(object);
        if (id < 0 || v->m_pDiskDevice == nullptr || volumeIn(v->m_pDiskDevice, id) != v) {
          loose.push_back(v);
        } else if (anew) {
          v->m_pDiskDevice->m_volumeList.RemoveNode(v);
          reachedDevices.insert(v->m_pDiskDevice->m_iId);
          v->m_pDiskDevice = nullptr;
          doomed.push_back(v);
          volumeWork[id] = nullptr;
        } else {
          volumeWork[id] = v;
        }
        break;
      }
      case ZQMAC_OBJ_MAGLIB: {
        // Laid again as a library whose row changed; handed over, made
        // anew, its mount paths going to the new one.
        auto* m = static_cast<ZQMACMagLib*>(object);
        changedLibraries.push_back(id);
        // Made in memory since the index was: its row is laid over it, not
        // over a new object beside it.
        if (!anew) magLibs[id] = m;
        if (anew) {
          m->m_mountPathList.ForEachNode([&](ZQMACMountPath* p) {
            if (pathWork.count(p->m_iId) == 0) pathWork[p->m_iId] = p;
          });
          config.m_magLibList.RemoveNode(m);
          magLibs.erase(id);
          doomed.push_back(m);
        }
        break;
      }
      case ZQMAC_OBJ_MOUNT_PATH: {
        auto* p = static_cast<ZQMACMountPath*>(object);
        if (id < 0 || config.FindDBNode<ZQMACMountPath>(id) != p) {
          loose.push_back(p);
        } else if (anew) {
          unlinkPath(p);
          doomed.push_back(p);
          pathWork[id] = nullptr;
        } else {
          pathWork[id] = p;
        }
        break;
      }
      default:
        break;
    }
  }
  // A loose object is unlinked from wherever it is and freed, as the full
  // lay-over frees objects of the managed kinds that no row stands for.
  {
    ZQMACMediaConfig::RowsGoScope rowsGo(config);
    for (ZQMACInterface* object : loose) delete object;
  }

  // Rows that changed since the graph was laid.
  for (int id : withFreed(changedDevices, freedDevices)) {
    reachedDevices.insert(id);
    if (deviceWork.count(id) == 0) deviceWork[id] = config.FindDBNode<ZQMACDiskDevice>(id);
  }
  // The changed rows by what they name now, for the rows a changed library
  // or device takes along.
  const auto changedPathsOfLibrary =
      changedByKey(changedPaths, *now.mountPaths, [](const MMStoredMountPath& row) { return row.libraryId; });
  const auto changedPathsOfDevice =
      changedByKey(changedPaths, *now.mountPaths, [](const MMStoredMountPath& row) { return row.deviceId; });
  const auto changedVolumesOfDevice = changedByKey(changedVolumes, *now.deviceControllers,
                                                   [](const MMStoredDeviceController& row) { return row.deviceId; });
  for (int id : withFreed(changedVolumes, freedVolumes)) {
    const MMStoredDeviceController* old = rowOf(*before.deviceControllers, id);
    // The first volume of a device gives its mount paths their media agent.
    if (old != nullptr) reachedDevices.insert(old->deviceId);
    if (volumeWork.count(id) != 0) continue;
    volumeWork[id] = old != nullptr ? volumeIn(config.FindDBNode<ZQMACDiskDevice>(old->deviceId), id) : nullptr;
  }
  for (int id : withFreed(changedPaths, freedPaths)) {
    if (pathWork.count(id) == 0) pathWork[id] = config.FindDBNode<ZQMACMountPath>(id);
    // A mount path already freed (deleted by the request) leaves its
    // library's media agent to follow the paths that are left.
    if (const MMStoredMountPath* old = rowOf(*before.mountPaths, id)) {
      if (ZQMACMagLib* lib = magLibOf(old->libraryId)) libraries.insert(lib);
    }
  }
  // A disk library that changed (or was freed already, with its rows gone
  // by the request) takes its mount paths along: those it holds and those
  // whose rows name it, before and now.
  if (!changedLibraries.empty()) {
    const std::set<int> changed(changedLibraries.begin(), changedLibraries.end());
    for (int id : changed) {
      ZQMACMagLib* lib = magLibOf(id);
      libraryWork[id] = lib;
      if (lib != nullptr)
        lib->m_mountPathList.ForEachNode([&](ZQMACMountPath* p) {
          if (pathWork.count(p->m_iId) == 0) pathWork[p->m_iId] = p;
        });
    }
    for (int id : changed)
      forRowsNaming(index->pathsOfLibrary, id, changedPathsOfLibrary, [&](int path) {
                      if (pathWork.count(path) == 0) pathWork[path] = config.FindDBNode<ZQMACMountPath>(path);
                    });
  }

  // ---- devices ----
  for (auto& [id, d] : deviceWork) {
    const MMStoredDevice* row = rowOf(*now.devices, id);
    if (row == nullptr) {
      if (d != nullptr) {
        unlinkDevice(d);
        doomed.push_back(d);
      }
      continue;
    }
    if (d != nullptr) {
      // Where a load puts it: a device made in memory was put last (one a
      // load laid is in its place, and the walk to it would cost what the
      // list holds).
      if (madeInMemory.count(d) != 0) {
        config.m_diskDeviceList.RemoveNode(d);
        insertById(config.m_diskDeviceList, d);
      }
    } else {
      d = newObject(static_cast<ZQMACDiskDevice*>(nullptr), id);
      insertById(config.m_diskDeviceList, d);
      config.m_diskDeviceMap[id] = d;
      reachedDevices.insert(id);
      forRowsNaming(index->volumesOfDevice, id, changedVolumesOfDevice, [&](int volume) {
                      if (volumeWork.count(volume) == 0) volumeWork[volume] = nullptr;
                    });
    }
    FillDevice(d, *row);
    laySettings(d, MMStoredKind::Device);
  }

  // ---- volumes ----
  for (auto& [id, v] : volumeWork) {
    const MMStoredDeviceController* row = rowOf(*now.deviceControllers, id);
    ZQMACDiskDevice* device = row != nullptr ? config.FindDBNode<ZQMACDiskDevice>(row->deviceId) : nullptr;
    if (v != nullptr && v->m_pDiskDevice != nullptr) {
      v->m_pDiskDevice->m_volumeList.RemoveNode(v);
      reachedDevices.insert(v->m_pDiskDevice->m_iId);
      v->m_pDiskDevice = nullptr;
    }
    if (device == nullptr) {
      if (v != nullptr) doomed.push_back(v);
      continue;
    }
    if (v == nullptr) {
      v = newObject(static_cast<ZQMACDiskVolume*>(nullptr), id);
    }
    FillVolume(v, *row, device, config.FindDBNode<ZQMACMediaAgent>(row->clientId));
    laySettings(v, MMStoredKind::DeviceController);
    insertById(device->m_volumeList, v);
    reachedDevices.insert(device->m_iId);
  }

  // ---- disk libraries ----
  for (auto& [id, m] : libraryWork) {
    const MMStoredLibrary* row = rowOf(*now.libraries, id);
    if (row == nullptr) {
      if (m != nullptr) {
        config.m_magLibList.RemoveNode(m);
        magLibs.erase(id);
        libraries.erase(m);
        doomed.push_back(m);
      }
      continue;
    }
    // A library the list holds stays where it is: only a load entered it,
    // in id order, and its id is its row's.
    if (m == nullptr) {
      m = newObject(static_cast<ZQMACMagLib*>(nullptr), id);
      magLibs[id] = m;
      insertById(config.m_magLibList, m);
    }
    FillMagLib(m, *row, config);
    laySettings(m, MMStoredKind::Library);
    enterName(*index, m);
    libraries.insert(m);
  }

  // ---- mount paths ----
  for (int id : reachedDevices)
    forRowsNaming(index->pathsOfDevice, id, changedPathsOfDevice, [&](int path) {
                    if (pathWork.count(path) == 0) pathWork[path] = config.FindDBNode<ZQMACMountPath>(path);
                  });
  for (auto& [id, p] : pathWork) {
    const MMStoredMountPath* row = rowOf(*now.mountPaths, id);
    ZQMACMagLib* lib = row != nullptr ? magLibOf(row->libraryId) : nullptr;
    if (p != nullptr) unlinkPath(p);
    if (lib == nullptr) {
      if (p != nullptr) doomed.push_back(p);
      continue;
    }
    if (p == nullptr) {
      p = newObject(static_cast<ZQMACMountPath*>(nullptr), id);
    }
    FillMountPath(p, *row, lib, config.FindDBNode<ZQMACDiskDevice>(row->deviceId));
    insertById(lib->m_mountPathList, p);
    config.m_mountPathMap[id] = p;
    libraries.insert(lib);
  }
  // The pools that changed, before and now, into the index; the libraries
  // they give an agent to are asked again.
  std::set<int> poolLibraries;
  auto libraryOfMaster = [&](int masterId) {
    for (const MMStoredSnapshot* rows : {&before, &now})
      if (const MMStoredMasterPool* master = rowOf(*rows->masterPools, masterId))
        poolLibraries.insert(master->libraryId);
  };
  moveRows(index->mastersOfLibrary, changedMasters, *before.masterPools, *now.masterPools,
           [](const MMStoredMasterPool& row) { return row.libraryId; });
  for (int id : changedMasters) libraryOfMaster(id);
  for (int id : changedPools) {
    if (const MMStoredDrivePool* old = rowOf(*before.drivePools, id)) {
      if (old->clientId > 0) leaveSorted(index->agentPoolsOfMaster, old->masterPoolId, id);
      libraryOfMaster(old->masterPoolId);
    }
    if (const MMStoredDrivePool* row = rowOf(*now.drivePools, id)) {
      if (row->clientId > 0) enterSorted(index->agentPoolsOfMaster[row->masterPoolId], id);
      libraryOfMaster(row->masterPoolId);
    }
  }
  for (int id : poolLibraries)
    if (ZQMACMagLib* lib = magLibOf(id)) libraries.insert(lib);
  // A disk library's media agent: that of its first mount path that has
  // one, else the agent of the drive pool it was made with (the first by
  // id with an agent in one of its master pools), asked of each library
  // whose mount paths or pools changed.
  for (ZQMACMagLib* library : libraries) {
    int pool = 0;
    if (auto masters = index->mastersOfLibrary.find(library->m_iId); masters != index->mastersOfLibrary.end())
      for (int master : masters->second)
        if (auto pools = index->agentPoolsOfMaster.find(master); pools != index->agentPoolsOfMaster.end())
          if (pool == 0 || pools->second.front() < pool) pool = pools->second.front();
    const MMStoredDrivePool* row = pool != 0 ? rowOf(*now.drivePools, pool) : nullptr;
    library->m_pMediaAgent = MagLibAgent(library, row != nullptr ? config.FindDBNode<ZQMACMediaAgent>(row->clientId) : nullptr);
  }

  // The index names what `now` names from here on.
  moveRows(index->pathsOfLibrary, changedPaths, *before.mountPaths, *now.mountPaths,
           [](const MMStoredMountPath& row) { return row.libraryId; });
  moveRows(index->pathsOfDevice, changedPaths, *before.mountPaths, *now.mountPaths,
           [](const MMStoredMountPath& row) { return row.deviceId; });
  moveRows(index->volumesOfDevice, changedVolumes, *before.deviceControllers, *now.deviceControllers,
           [](const MMStoredDeviceController& row) { return row.deviceId; });

  DropUnreached(config, doomed);
  {
    std::lock_guard<ZQMACRegistryMutex> guard(config.m_registryMutex);
    for (ZQMACInterface* object : fresh) config.EnterObject(object);
  }
  return true;
}

// ---------------------------------------------------------------- the disk index

std::shared_ptr<ZQMACDiskIndex> ZQMACGraph::MakeDiskIndex(ZQMACMediaConfig& config, const MMStoredSnapshot& rows) {
  std::shared_ptr<ZQMACDiskIndex> index = makeDiskIndex(rows);
  index->magLibs.reserve(static_cast<std::size_t>(config.m_magLibList.GetListCount()));
  config.m_magLibList.ForEachNode([&](ZQMACMagLib* m) {
    index->magLibs.emplace(m->m_iId, m);
    enterName(*index, m);
  });
  return index;
}

std::vector<ZQMACMagLib*> ZQMACGraph::MagLibsAnswering(ZQMACMediaConfig& config, const std::string& name) {
  const std::string key = tkmac::foldedName(name);
  auto answers = [&](const ZQMACMagLib* m) { return tkmac::sameName(m->GetAliasName(), name); };
  std::vector<ZQMACMagLib*> found;
  // Only a database-backed instance keeps to the name rule (no two
  // libraries answer to one name) and lays its libraries from rows.
  if (config.m_bDatabaseBacked && config.m_pLaidRows != nullptr && config.m_pLaidRows->rows.masterPools != nullptr &&
      config.m_pLaidRows->rows.drivePools != nullptr) {
    std::shared_ptr<ZQMACDiskIndex>& index = config.m_pLaidRows->diskIndex;
    if (index == nullptr) index = MakeDiskIndex(config, config.m_pLaidRows->rows);
    auto [first, last] = index->byName.equal_range(key);
    for (auto at = first; at != last;) {
      ZQMACMagLib* m = at->second;
      if (!config.m_magLibList.Contains(m) || !answers(m)) {
        at = index->byName.erase(at);  // freed or renamed since
        continue;
      }
      found.push_back(m);
      ++at;
    }
    if (!found.empty()) return found;
  }
  // Not indexed (made or renamed in memory since the load, or not there):
  // every library is asked, in the list's order.
  config.m_magLibList.ForEachNode([&](ZQMACMagLib* m) {
    if (answers(m)) found.push_back(m);
  });
  return found;
}

ZQMACInterface* ZQMACGraph::FindLibrary(ZQMACMediaConfig& config, const std::string& name, std::string* refusal) {
  // Disk and tape libraries share one name space (MMLibrary): the one
  // spelled so among every kind, else the only one of any kind. An empty
  // name names none, whatever is stored with an empty name.
  if (refusal != nullptr) refusal->clear();
  if (name.empty()) return nullptr;
  struct Answering {
    unsigned int id;
    ZQMACInterface* library;
    std::string name;  // the name it answers to
  };
  std::vector<Answering> found;
  for (ZQMACMagLib* m : MagLibsAnswering(config, name)) found.push_back({m->GetId(), m, m->GetAliasName()});
  config.m_lmsList.ForEachNode([&](ZQMACLms* lms) {
    const ZQMACLibrary* library = lms->GetLibrary();
    if (library != nullptr && tkmac::sameName(library->GetAnsweredName(), name))
      found.push_back({lms->GetId(), lms, library->GetAnsweredName()});
  });
  std::stable_sort(found.begin(), found.end(), [](const Answering& a, const Answering& b) { return a.id < b.id; });
  std::vector<tkmmdb::AnsweringLibrary> answering;
  answering.reserve(found.size());
  for (const Answering& a : found) answering.push_back({static_cast<int>(a.id), a.name});
  std::string text;
  const int chosen = tkmmdb::libraryByName(name, answering, text);
  if (refusal != nullptr) *refusal = text;
  return chosen >= 0 ? found[static_cast<std::size_t>(chosen)].library : nullptr;
}

ZQMACInterface* ZQMACGraph::FindLibraryById(ZQMACMediaConfig& config, int id) {
  if (id <= 0) return nullptr;
  const unsigned int wanted = static_cast<unsigned int>(id);
  if (config.m_pLaidRows != nullptr && config.m_pLaidRows->diskIndex != nullptr) {
    const auto& magLibs = config.m_pLaidRows->diskIndex->magLibs;
    if (auto at = magLibs.find(id);
        at != magLibs.end() && config.m_magLibList.Contains(at->second) && at->second->GetId() == wanted)
      return at->second;
  }
  ZQMACInterface* library = nullptr;
  auto take = [&](ZQMACInterface* object) {
    if (object->GetId() == wanted) library = object;
    return library != nullptr;
  };
  if (!config.m_magLibList.AnyNode(take)) config.m_lmsList.AnyNode(take);
  return library;
}

void ZQMACGraph::ForgetIndexed(ZQMACMediaConfig& config, const void* address, int id) {
  if (config.m_pLaidRows == nullptr || config.m_pLaidRows->diskIndex == nullptr) return;
  std::unordered_map<int, ZQMACMagLib*>& magLibs = config.m_pLaidRows->diskIndex->magLibs;
  auto it = magLibs.find(id);
  if (it != magLibs.end() && static_cast<const void*>(it->second) == address) magLibs.erase(it);
}

void ZQMACGraph::ForgetIndexed(ZQMACMediaConfig& config, const ZQMACGone& gone) {
  if (config.m_pLaidRows == nullptr || config.m_pLaidRows->diskIndex == nullptr) return;
  std::unordered_map<int, ZQMACMagLib*>& magLibs = config.m_pLaidRows->diskIndex->magLibs;
  for (auto it = magLibs.begin(); it != magLibs.end();)
    it = gone.Holds(static_cast<const void*>(it->second)) ? magLibs.erase(it) : std::next(it);
}

ZQMACMagLib* tkmac::findMagLibAnswering(ZQMACMediaConfig& config, const std::string& name) {
  return dynamic_cast<ZQMACMagLib*>(ZQMACGraph::FindLibrary(config, name));
}

ZQMACInterface* tkmac::findLibraryById(ZQMACMediaConfig& config, int libraryId) {
  return ZQMACGraph::FindLibraryById(config, libraryId);
}

// ---------------------------------------------------------------- rows born again

bool ZQMACGraph::FreeReborn(ZQMACMediaConfig& config, const MMStoredSnapshot& before, const MMStoredSnapshot& now) {
  // The rows born between the two reads, as the change log has them; when
  // it cannot tell, every row both hold may have been.
  MMBornSince born;
  const bool sameEpoch = before.bornSeq >= 0 && now.bornSeq >= 0 && before.bornEpoch == now.bornEpoch;
  if (sameEpoch && before.bornSeq == now.bornSeq) return false;
  MMMediaConfigDB access;
  if (!sameEpoch || access.bornSince(now, before.bornEpoch, before.bornSeq, now.bornSeq, born, before.bornStamp) != 0)
    born = MMBornSince();
  // The ids born again of each kind whose rows are read in the lists.
  std::array<std::set<int>, kStoredKinds> freed;
  {
    std::lock_guard<ZQMACRegistryMutex> guard(config.m_registryMutex);
    freed = freedIdsOf(config.m_freedStored);
  }
  std::array<std::vector<int>, kStoredKinds> reborn;
  bool any = false;
  before.forEachList(now, [&](MMStoredKind kind, const auto& was, const auto& is) {
    const auto k = static_cast<std::size_t>(kind);
    rebornIds(was, is, born.of(static_cast<int>(kind)), born.againOf(static_cast<int>(kind)), freed[k], reborn[k]);
    any = any || !reborn[k].empty();
  });
  if (!any) return false;
  // Each kind's ids as a set: a bitmap over their span where they lie
  // close together (when the log cannot tell, they are every id of the
  // kind, and each object is then one look instead of a search).
  std::array<IdSet, kStoredKinds> rebornSet;
  for (std::size_t k = 0; k < rebornSet.size(); ++k) rebornSet[k].take(std::move(reborn[k]));
  auto ownRow = [](unsigned int type) {
    MMStoredKind kind;
    const MMKindObject* what = storedKindOfType(type, kind);
    return what != nullptr && what->ownRow;
  };
  std::vector<ZQMACInterface*> gone;
  {
    std::lock_guard<ZQMACRegistryMutex> guard(config.m_registryMutex);
    // The objects that stand for a row of their own that the lay-over of
    // every row lays (a tape library's parts are not looked for: they go
    // with it); only the places of those types are read.
    config.ForEachObjectOfType(ownRow, [&](ZQMACInterface* object) {
      MMStoredKind kind;
      if (object->m_iId < 0 || storedKindOfType(object->GetObjectType(), kind) == nullptr) return;
      if (rebornSet[static_cast<std::size_t>(kind)].has(object->m_iId)) gone.push_back(object);
    });
  }
  if (gone.empty()) return false;
  // A library's parts go with it, and a copy manager's controller with
  // its device. All go in one pass: when the log cannot tell, that is
  // nearly the whole graph.
  bool copyDevices = false;
  for (std::size_t i = 0, found = gone.size(); i < found; ++i)
    if (gone[i]->GetObjectType() == ZQMAC_OBJ_LMS) {
      const auto* lms = static_cast<const ZQMACLms*>(gone[i]);
      gone.push_back(lms->m_pLibrary);
      gone.push_back(lms->m_pLibControllerNode);
    } else if (gone[i]->GetObjectType() == ZQMAC_OBJ_COPY_MGR_DEVICE) {
      copyDevices = true;
    }
  if (copyDevices) {
    const std::unordered_set<const ZQMACInterface*> devices(gone.begin(), gone.end());
    config.m_copyMgrControllerList.ForEachNode([&](ZQMACCopyMgrController* c) {
      if (devices.count(c->m_pCopyMgrDevice) != 0) gone.push_back(c);
    });
  }
  // Disk libraries, mount paths and volumes freed with their rows are made
  // anew by the load in part as well (their ids are among the freed ones
  // it lays, and a library's mount paths are found by their rows); any
  // other is the lay-over of every row's to make (a device's volumes, for
  // one, are found only through the device).
  const bool everyRow = !std::all_of(gone.begin(), gone.end(), [](const ZQMACInterface* object) {
    const unsigned int type = object->GetObjectType();
    return type == ZQMAC_OBJ_MAGLIB || type == ZQMAC_OBJ_MOUNT_PATH || type == ZQMAC_OBJ_DISK_VOLUME;
  });
  ZQMACMediaConfig::RowsGoScope rowsGo(config);
  DropObjects(config, std::move(gone));
  return everyRow;
}

bool ZQMACGraph::StillTheRowLaid(ZQMACInterface* object, MMStoredKind kind) {
  ZQMACMediaConfig* config = object->GetOwner();
  if (config == nullptr || config->m_pLaidRows == nullptr) return true;
  const MMStoredSnapshot& laid = config->m_pLaidRows->rows;
  const int id = static_cast<int>(object->GetId());
  // The rows born under the id since the graph was laid that the session
  // made itself: none for an object laid from its row, one for an object
  // the session stored since (it was not laid, or the session removed the
  // object laid under the id), as FreeReborn tells them at the next lay.
  bool laidRow = false;
  laid.forEachList(laid, [&](MMStoredKind k, const auto& rows, const auto&) {
    if (k == kind && rows != nullptr) laidRow = rowOf(*rows, id) != nullptr;
  });
  if (laidRow) {
    std::lock_guard<ZQMACRegistryMutex> guard(config->m_registryMutex);
    for (const auto& [type, freedId] : config->m_freedStored) {
      MMStoredKind freedKind;
      if (freedId == id && storedKindOfType(type, freedKind) != nullptr && freedKind == kind) laidRow = false;
    }
  }
  MMMediaConfigDB access;
  if (access.sameRowSince(kind, id, laid.bornEpoch, laid.bornSeq, laidRow ? 0 : 1, laid.bornStamp) == 0) return true;
  object->SetLastError(tkmac::modelErrorOf(access), access.lastErrorText());
  return false;
}

// ---------------------------------------------------------------- kinds

bool ZQMACGraph::IsLaidKind(const ZQMACInterface* object) { return IsLaidType(object->GetObjectType()); }

bool ZQMACGraph::IsLaidType(unsigned int type) {
  MMStoredKind kind;
  const MMKindObject* what = storedKindOfType(type, kind);
  return what != nullptr;
}

namespace {

bool isDiskSide(const ZQMACInterface* object) { return isDiskSideType(object->GetObjectType()); }

}  // namespace

// ---------------------------------------------------------------- the hand-over

void ZQMACGraph::SwapGraph(ZQMACMediaConfig& config, ZQMACParkedGraph& parked) {
  std::lock_guard<ZQMACRegistryMutex> guard(config.m_registryMutex);
  std::swap(config.m_pHome, parked.home);
  std::swap(config.m_objects, parked.objects);
  std::swap(config.m_objectTypes, parked.objectTypes);
  std::swap(config.m_placesOfType, parked.placesOfType);
  std::swap(config.m_liveObjects, parked.liveObjects);
  std::swap(config.m_touched, parked.touched);
  std::swap(config.m_freedStored, parked.freedStored);
  std::swap(config.m_pLaidRows, parked.laidRows);
  std::swap(config.m_bDatabaseBacked, parked.databaseBacked);
  std::swap(config.m_mediaAgentMap, parked.mediaAgentMap);
  std::swap(config.m_mountPathMap, parked.mountPathMap);
  std::swap(config.m_diskDeviceMap, parked.diskDeviceMap);
  std::swap(config.m_centeraClusterMap, parked.centeraClusterMap);
  std::swap(config.m_hostMap, parked.hostMap);
  std::swap(config.m_laidBeside, parked.laidBeside);
  std::swap(config.m_besideBornEpoch, parked.besideBornEpoch);
  std::swap(config.m_besideBornSeq, parked.besideBornSeq);
  config.m_mediaAgentList.Swap(parked.mediaAgentList);
  config.m_lmsList.Swap(parked.lmsList);
  config.m_magLibList.Swap(parked.magLibList);
  config.m_diskDeviceList.Swap(parked.diskDeviceList);
  config.m_centeraClusterList.Swap(parked.centeraClusterList);
  config.m_hostList.Swap(parked.hostList);
  config.m_copyMgrDeviceList.Swap(parked.copyMgrDeviceList);
  config.m_copyMgrControllerList.Swap(parked.copyMgrControllerList);
  config.m_ipLibControllerList.Swap(parked.ipLibControllerList);
  config.m_costCategoryList.Swap(parked.costCategoryList);
  config.m_pHome->config = &config;
  parked.home->config = nullptr;
}

namespace {

// Frees a parked graph: an instance of its own takes it and frees it as it
// is freed (it hands nothing over).
void freeParked(std::unique_ptr<ZQMACParkedGraph> parked) {
  if (parked == nullptr) return;
  ZQMACMediaConfig holder;
  holder.NoteChange();
  ZQMACGraph::Unpark(holder, *parked);
}

}  // namespace

void ZQMACGraph::Unpark(ZQMACMediaConfig& config, ZQMACParkedGraph& parked) {
  // A disk library names its instance through its home (GetMediaConfig):
  // none of the graph's objects is walked.
  SwapGraph(config, parked);
}

bool ZQMACGraph::Park(ZQMACMediaConfig& config) {
  if (!config.m_bDatabaseBacked || config.m_pLaidRows == nullptr || config.m_bUnclean.load()) return false;
  {
    std::lock_guard<ZQMACRegistryMutex> guard(config.m_registryMutex);
    if (config.m_liveObjects == 0) return false;
    // The handles the instance gave resolve nowhere from now on.
    config.m_registry.ForEach([](ZQMACInterface* object) { object->m_uHandle.store(0, std::memory_order_relaxed); });
    config.m_registry.Clear();
  }
  auto parked = std::make_unique<ZQMACParkedGraph>();
  SwapGraph(config, *parked);
  ParkedSlot& slot = parkedSlot();
  {
    std::lock_guard<std::mutex> guard(slot.mutex);
    std::swap(slot.graph, parked);
  }
  freeParked(std::move(parked));  // the graph parked before, if any
  return true;
}

bool ZQMACGraph::TakeParked(ZQMACMediaConfig& config) {
  std::unique_ptr<ZQMACParkedGraph> parked;
  {
    ParkedSlot& slot = parkedSlot();
    std::lock_guard<std::mutex> guard(slot.mutex);
    parked = std::move(slot.graph);
  }
  if (parked == nullptr) return false;
  Unpark(config, *parked);  // the instance's empty graph goes with `parked`
  return true;
}

void ZQMACGraph::DropParked() {
  std::unique_ptr<ZQMACParkedGraph> parked;
  {
    ParkedSlot& slot = parkedSlot();
    std::lock_guard<std::mutex> guard(slot.mutex);
    parked = std::move(slot.graph);
  }
  freeParked(std::move(parked));
}

void ZQMACGraph::FreeForRemaking(ZQMACMediaConfig& config, ZQMACInterface* object) {
  const unsigned int type = object->GetObjectType();
  // A copy manager's device and controller are made anew together.
  if (type == ZQMAC_OBJ_COPY_MGR_DEVICE || type == ZQMAC_OBJ_COPY_MGR_CONTROLLER) {
    ZQMACCopyMgrDevice* device = type == ZQMAC_OBJ_COPY_MGR_DEVICE
                                     ? static_cast<ZQMACCopyMgrDevice*>(object)
                                     : static_cast<ZQMACCopyMgrController*>(object)->m_pCopyMgrDevice;
    std::vector<ZQMACInterface*> pair;
    if (device != nullptr && config.OwnsObject(device)) {
      pair.push_back(device);
      device->GetControllerList().ForEachNode([&](ZQMACCopyMgrController* c) { pair.push_back(c); });
    }
    if (std::find(pair.begin(), pair.end(), object) == pair.end()) pair.push_back(object);
    for (ZQMACInterface* each : pair)
      if (config.OwnsObject(each)) delete each;
    return;
  }
  ZQMACLms* lms = type == ZQMAC_OBJ_LMS ? static_cast<ZQMACLms*>(object)
                  : type == ZQMAC_OBJ_LIBRARY || type == ZQMAC_OBJ_LIBRARY_CHILD ? object->GetLms()
                                                                                   : nullptr;
  if (lms == nullptr || !config.OwnsObject(lms)) {
    delete object;
    return;
  }
  ZQMACInterface* parts[] = {lms->m_pLibrary, lms->m_pLibControllerNode};
  const bool isPart = object == parts[0] || object == parts[1];
  delete lms;
  for (ZQMACInterface* part : parts)
    if (part != nullptr && config.OwnsObject(part)) delete part;
  if (type != ZQMAC_OBJ_LMS && !isPart && config.OwnsObject(object)) delete object;
}

// ---------------------------------------------------------------- loading

bool ZQMACGraph::LayStored(ZQMACMediaConfig& config, const MMStoredSnapshot& stored,
                           const std::shared_ptr<const std::vector<tkmac::StoredSetting>>& settings) {
  ZQMACMediaConfig::RowsGoScope rowsGo(config);  // what it frees, rows make anew
  bool whole = config.m_pLaidRows == nullptr || !config.m_bDatabaseBacked;
  std::vector<ZQMACInterface*> remake;
  const bool takenOver = !config.m_bDatabaseBacked && config.GetObjectCount() == 0 && TakeParked(config);
  if (takenOver) whole = false;
  // Objects of rows born again go before anything else looks at the graph;
  // the load of every row makes their new objects and links them (the load
  // in part, when they are all of the disk side).
  if (config.m_pLaidRows != nullptr && config.m_bDatabaseBacked &&
      FreeReborn(config, config.m_pLaidRows->rows, stored))
    whole = true;
  if (takenOver) {
    // What was changed in memory is made anew from its rows: objects of the
    // disk side by the load in part, the others (freed now) by the load of
    // every row when rows stand for them; objects of no stored kind go.
    for (;;) {
      ZQMACInterface* next = nullptr;
      {
        std::lock_guard<ZQMACRegistryMutex> guard(config.m_registryMutex);
        for (ZQMACInterface* object : config.m_touched)
          if (!isDiskSide(object)) {
            next = object;
            break;
          }
      }
      if (next == nullptr) break;
      if (IsLaidKind(next)) whole = true;
      FreeForRemaking(config, next);
    }
    std::lock_guard<ZQMACRegistryMutex> guard(config.m_registryMutex);
    remake = config.m_touched;
  }
  std::vector<std::pair<unsigned int, int>> freed;
  {
    std::lock_guard<ZQMACRegistryMutex> guard(config.m_registryMutex);
    freed.swap(config.m_freedStored);
  }
  // The settings laid over the graph before, when they are these very
  // ones, still stand on every object a load in part leaves alone.
  const bool settingsHold = !whole && settings != nullptr && config.m_pLaidRows != nullptr &&
                            config.m_pLaidRows->settings == settings;
  std::shared_ptr<ZQMACDiskIndex> index = config.m_pLaidRows != nullptr ? config.m_pLaidRows->diskIndex : nullptr;
  const bool part = !whole && ApplyIncrement(config, config.m_pLaidRows->rows, stored, remake, freed,
                                             settingsHold ? settings.get() : nullptr, index);
  if (!part) {
    index.reset();  // made again by the next load in part, from these rows
    for (ZQMACInterface* object : remake)
      if (config.OwnsObject(object)) delete object;  // made anew from its row below
    ApplyStored(config, stored);
  }
  {
    // What the load itself freed, it laid.
    std::lock_guard<ZQMACRegistryMutex> guard(config.m_registryMutex);
    config.m_freedStored.clear();
  }
  tkmac::journal().record("LayStored", takenOver ? "taken over" : "own", part ? "part" : "every row");
  config.m_pLaidRows = std::make_shared<ZQMACLaidRows>(ZQMACLaidRows{stored, settings, std::move(index)});
  config.m_pLaidRows->rows.born.reset();  // the births of this read serve this load only
  return part && settingsHold;
}

// ---------------------------------------------------------------- the instance's own lists, checked

namespace {

// What a check names an object by: its kind, id and name (the object is
// still whole: it left the instance but is not freed yet).
std::string describe(const ZQMACInterface* object) {
  const char* kind = "object";
  switch (object->GetObjectType()) {
    case ZQMAC_OBJ_LMS: kind = "tape library"; break;
    case ZQMAC_OBJ_MASTER_DRIVE_POOL: kind = "master drive pool"; break;
    case ZQMAC_OBJ_DRIVE_POOL: kind = "drive pool"; break;
    case ZQMAC_OBJ_DMS: kind = "drive path"; break;
    case ZQMAC_OBJ_MAGLIB: kind = "disk library"; break;
    case ZQMAC_OBJ_MOUNT_PATH: kind = "mount path"; break;
    case ZQMAC_OBJ_DISK_DEVICE: kind = "disk device"; break;
    case ZQMAC_OBJ_DRIVE: kind = "drive"; break;
    case ZQMAC_OBJ_MEDIA_AGENT: kind = "media agent"; break;
    case ZQMAC_OBJ_LIB_CONTROLLER: kind = "library controller"; break;
    case ZQMAC_OBJ_IP_LIB_CONTROLLER: kind = "IP library controller"; break;
    case ZQMAC_OBJ_LIBRARY: kind = "library part"; break;
    case ZQMAC_OBJ_DISK_VOLUME: kind = "disk volume"; break;
    case ZQMAC_OBJ_COPY_MGR_DEVICE: kind = "copy manager device"; break;
    case ZQMAC_OBJ_COPY_MGR_CONTROLLER: kind = "copy manager controller"; break;
    case ZQMAC_OBJ_CENTERA_CLUSTER: kind = "archive cluster"; break;
    case ZQMAC_OBJ_HOST: kind = "DRU host"; break;
    default: break;
  }
  char address[32];
  std::snprintf(address, sizeof address, "%p", static_cast<const void*>(object));
  return std::string(kind) + " " + std::to_string(static_cast<int>(object->GetId())) + " \"" + object->GetName() +
         "\" (" + address + ")";
}

[[noreturn]] void checkFailed(const std::string& text) {
  std::fprintf(stderr, "configuration graph check failed: %s\n", text.c_str());
  std::fflush(stderr);
  std::abort();
}

}  // namespace

template <class Visit>
void ZQMACGraph::ForEachHeld(ZQMACMediaConfig& config, Visit visit) {
  auto list = [&](const char* name, const auto& held) {
    held.ForEachNode([&](auto* object) { visit(name, static_cast<const void*>(object), -1); });
  };
  auto map = [&](const char* name, const auto& held) {
    for (const auto& [id, object] : held) visit(name, static_cast<const void*>(object), id);
  };
  list("media agents", config.m_mediaAgentList);
  list("tape libraries", config.m_lmsList);
  list("disk libraries", config.m_magLibList);
  list("disk devices", config.m_diskDeviceList);
  list("archive clusters", config.m_centeraClusterList);
  list("DRU hosts", config.m_hostList);
  list("copy manager devices", config.m_copyMgrDeviceList);
  list("copy manager controllers", config.m_copyMgrControllerList);
  list("IP library controllers", config.m_ipLibControllerList);
  list("cost categories", config.m_costCategoryList);
  map("media agents by id", config.m_mediaAgentMap);
  map("mount paths by id", config.m_mountPathMap);
  map("disk devices by id", config.m_diskDeviceMap);
  map("archive clusters by id", config.m_centeraClusterMap);
  map("DRU hosts by id", config.m_hostMap);
  if (config.m_pLaidRows != nullptr && config.m_pLaidRows->diskIndex != nullptr)
    map("disk index's libraries by id", config.m_pLaidRows->diskIndex->magLibs);
  std::lock_guard<ZQMACRegistryMutex> guard(config.m_registryMutex);
  for (ZQMACInterface* object : config.m_touched) visit("objects changed in memory", object, -1);
  config.m_registry.ForEach([&](ZQMACInterface* object) { visit("handles", object, -1); });
}

std::string ZQMACGraph::HeldFault(ZQMACMediaConfig& config, const std::vector<ZQMACInterface*>& dropped,
                                  const char* when) {
  std::string fault;
  if (dropped.empty()) return fault;
  const ZQMACGone gone(std::vector<const void*>(dropped.begin(), dropped.end()));
  ForEachHeld(config, [&](const char* name, const void* address, int) {
    if (!fault.empty() || !gone.Holds(address)) return;
    const auto* object = *std::find(dropped.begin(), dropped.end(), address);
    fault = std::string("the instance's list of ") + name + " holds " + describe(object) + ", which " + when + " frees";
  });
  return fault;
}

std::string ZQMACGraph::LaidFault(ZQMACMediaConfig& config, const char* when) {
  std::string fault;
  std::unordered_set<const void*> live;
  {
    std::lock_guard<ZQMACRegistryMutex> guard(config.m_registryMutex);
    live.reserve(config.m_liveObjects);
    config.ForEachObject([&](ZQMACInterface* object) { live.insert(object); });
  }
  ForEachHeld(config, [&](const char* name, const void* address, int id) {
    if (!fault.empty() || live.count(address) != 0) return;
    char text[32];
    std::snprintf(text, sizeof text, "%p", address);
    fault = std::string("after ") + when + " the instance's list of " + name + " holds " + text +
            (id >= 0 ? " (id " + std::to_string(id) + ")" : std::string()) + ", which is none of its objects (freed)";
  });
  if (!fault.empty()) return fault;  // the lists are not read further
  // A load makes one object per stored row.
  std::map<std::pair<std::string, int>, const ZQMACInterface*> seen;
  auto once = [&](const std::string& name, const ZQMACInterface* object) {
    if (!fault.empty() || object->m_iId < 0) return;  // never stored
    auto [at, fresh] = seen.emplace(std::make_pair(name, object->m_iId), object);
    if (!fresh)
      fault = std::string("after ") + when + " the instance's list of " + name + " holds " + describe(at->second) +
              " and " + describe(object) + " for one stored row";
  };
  auto rowsOf = [&](const char* name, const auto& list) {
    list.ForEachNode([&](const ZQMACInterface* object) { once(name, object); });
  };
  rowsOf("media agents", config.m_mediaAgentList);
  rowsOf("tape libraries", config.m_lmsList);
  rowsOf("disk libraries", config.m_magLibList);
  rowsOf("disk devices", config.m_diskDeviceList);
  rowsOf("copy manager devices", config.m_copyMgrDeviceList);
  rowsOf("copy manager controllers", config.m_copyMgrControllerList);
  rowsOf("IP library controllers", config.m_ipLibControllerList);
  config.m_magLibList.ForEachNode([&](const ZQMACMagLib* library) { rowsOf("mount paths", library->m_mountPathList); });
  return fault;
}

void ZQMACGraph::CheckNoneHeld(ZQMACMediaConfig& config, const std::vector<ZQMACInterface*>& dropped,
                               const char* when) {
  if (std::string fault = HeldFault(config, dropped, when); !fault.empty()) checkFailed(fault);
}

void ZQMACGraph::CheckLaid(ZQMACMediaConfig& config, const char* when) {
  if (std::string fault = LaidFault(config, when); !fault.empty()) checkFailed(fault);
}
