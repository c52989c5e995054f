// The configuration instance: ownership of the graph, the handle registry,
// the class-wide hooks, set-up and loading.
#include "frame/mac/ZQMACMediaConfig.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <mutex>
#include <utility>
#include <vector>

#include "frame/mac/ZQMACObjects.h"
#include "platform/mac/ZQMACGraph.h"
#include "platform/mac/ZQMACHeapFetch.h"
#include "platform/mac/ZQMACPlatform.h"

namespace tkmac {
namespace {

// Handles are numbered from 1 for the whole process and never given out
// twice; after 0xFFFFFFFF the counter stays at 0 and no handle is left.
std::atomic<uint32_t> g_nextHandle{1};

uint32_t takeHandle() {
  uint32_t handle = g_nextHandle.load();
  do {
    if (handle == 0) return 0;
  } while (!g_nextHandle.compare_exchange_weak(handle, handle == 0xFFFFFFFFu ? 0u : handle + 1));
  return handle;
}

struct LoaderSlot {
  std::mutex mutex;
  ConfigLoader loader;
};

LoaderSlot& loaderSlot() {
  static LoaderSlot* slot = new LoaderSlot();  // lives for the whole process
  return *slot;
}

}  // namespace

ConfigLoader setConfigLoader(ConfigLoader loader) {
  LoaderSlot& slot = loaderSlot();
  std::lock_guard<std::mutex> guard(slot.mutex);
  ConfigLoader previous = std::move(slot.loader);
  slot.loader = std::move(loader);
  return previous;
}

tkjournal::Journal& journal() {
  static tkjournal::Journal* j = new tkjournal::Journal();  // lives for the whole process
  return *j;
}

uint32_t peekNextHandle() { return g_nextHandle.load(); }

void setNextHandle(uint32_t next) { g_nextHandle.store(next); }

void dropParkedGraph() { ZQMACGraph::DropParked(); }

}  // namespace tkmac

// ---------------------------------------------------------------- class-wide

std::atomic<ZQMACPlatformType> ZQMACMediaConfig::m_eLocalPlatformType{ZQMAC_PLATFORM_UNIX};
std::atomic<ZQMACStatusTextFunc> ZQMACMediaConfig::m_pFuncSetStatusText{nullptr};
std::atomic<int> ZQMACMediaConfig::m_iStatusTextType{0};
std::atomic<ZQMACPercentageFunc> ZQMACMediaConfig::m_pFuncSetPercentage{nullptr};
std::atomic<int> ZQMACMediaConfig::m_iPercentageType{0};

void ZQMACMediaConfig::SetStatusText(const std::string& text) {
  ZQMACStatusTextFunc func = m_pFuncSetStatusText.load();
  if (func != nullptr) func(text, m_iStatusTextType.load());
}

void ZQMACMediaConfig::SetPercentage(int value) {
  ZQMACPercentageFunc func = m_pFuncSetPercentage.load();
  if (func != nullptr) func(value, m_iPercentageType.load());
}

// ---------------------------------------------------------------- life

ZQMACMediaConfig::ZQMACMediaConfig()
    : m_sLocalDrive("/"), m_sTKDBDrive("/"), m_pHome(std::make_unique<ZQMACGraphHome>()) {
  m_pHome->config = this;
}

// A clean graph goes to the next new instance instead (ZQMACGraph::Park).
ZQMACMediaConfig::~ZQMACMediaConfig() {
  if (!ZQMACGraph::Park(*this)) ClearObjects();
}

void ZQMACMediaConfig::ClearObjects() {
  // Every object leaves the instance before any is freed: their lists hold
  // each other, and no destructor may reach an object already freed. They
  // leave all at once, with the home they share: it stops naming the
  // instance, and the instance takes a new one. So the objects are not
  // walked once to be told and again to be freed (in a large graph each
  // walk over them costs a cache miss per object). The old home lives
  // until the last of them is gone.
  std::vector<ZQMACInterface*> objects;
  std::unique_ptr<ZQMACGraphHome> oldHome = std::make_unique<ZQMACGraphHome>();
  {
    std::lock_guard<ZQMACRegistryMutex> guard(m_registryMutex);
    objects.swap(m_objects);
    std::vector<unsigned int>().swap(m_objectTypes);
    for (ZQMACTypePlaces& list : m_placesOfType) list = ZQMACTypePlaces{};
    m_liveObjects = 0;
    m_touched.clear();
    m_freedStored.clear();
    m_registry.Clear();
    oldHome.swap(m_pHome);
    m_pHome->config = this;
    oldHome->config = nullptr;
  }
  m_pLaidRows.reset();
  m_mediaAgentList.RemoveAllNodes(false, true);
  m_lmsList.RemoveAllNodes(false, true);
  m_magLibList.RemoveAllNodes(false, true);
  m_diskDeviceList.RemoveAllNodes(false, true);
  m_centeraClusterList.RemoveAllNodes(false, true);
  m_hostList.RemoveAllNodes(false, true);
  m_copyMgrDeviceList.RemoveAllNodes(false, true);
  m_copyMgrControllerList.RemoveAllNodes(false, true);
  m_ipLibControllerList.RemoveAllNodes(false, true);
  m_costCategoryList.RemoveAllNodes(false, true);
  m_mediaAgentMap.clear();
  m_mountPathMap.clear();
  m_diskDeviceMap.clear();
  m_centeraClusterMap.clear();
  m_hostMap.clear();
  m_laidBeside.clear();
  m_besideBornEpoch.clear();
  m_besideBornSeq = -1;
  m_bDatabaseBacked = false;  // an empty graph stands for no stored configuration
  // In a large graph each object is a cache miss per line it spans: the
  // objects a few places on are fetched ahead, so that their misses overlap
  // the freeing of those before them.
  constexpr std::size_t kAhead = 6;
  // As many lines as a drive, the largest of the many objects, spans.
  constexpr std::size_t kLines = tkmac::heap::kLinesOf<ZQMACDrive>;
  for (std::size_t i = objects.size(); i-- > 0;) {
    if (i >= kAhead && objects[i - kAhead] != nullptr) tkmac::heap::fetchToFree(objects[i - kAhead], kLines);
    if (objects[i] != nullptr) delete objects[i];
  }
}

bool ZQMACMediaConfig::Initialize(const char* installationName) {
  const std::string name = installationName != nullptr ? installationName : "";
  tkmac::journal().record("Initialize", name);
  tkjournal::Failure failure;
  if (tkmac::journal().takeFailure("Initialize", failure)) {
    SetLastError(static_cast<unsigned int>(failure.code), failure.text);
    return false;
  }
  if (name.empty()) {
    SetLastError(tkmac::kErrorNoInstallationName, "The installation name is missing.");
    return false;
  }
  m_sInstallationName = name;
  m_sServerName = name;
  m_bAbort.store(false);
  m_bTerminate.store(false);
  m_bInitialized = true;
  ClearLastError();
  return true;
}

bool ZQMACMediaConfig::ReadCurrentConfig(bool refresh) {
  tkmac::journal().record("ReadCurrentConfig", refresh);
  tkjournal::Failure failure;
  if (tkmac::journal().takeFailure("ReadCurrentConfig", failure)) {
    SetLastError(static_cast<unsigned int>(failure.code), failure.text);
    return false;
  }
  tkmac::ConfigLoader loader;
  {
    tkmac::LoaderSlot& slot = tkmac::loaderSlot();
    std::lock_guard<std::mutex> guard(slot.mutex);
    loader = slot.loader;
  }
  ClearLastError();
  if (!loader) return tkmac::loadFromDatabase(*this, refresh);
  return loader(*this, refresh);
}

// ---------------------------------------------------------------- lookups

ZQMACMediaAgent* ZQMACMediaConfig::FindDBNode(const char* mediaAgentName) {
  if (mediaAgentName == nullptr) return nullptr;
  ZQMACLinkedList<ZQMACMediaAgent> agents = m_mediaAgentList;
  for (ZQMACMediaAgent* agent = agents.GetFirstNode(); agent != nullptr; agent = agents.GetNextNode()) {
    if (std::strcmp(agent->GetName().c_str(), mediaAgentName) == 0) return agent;
  }
  return nullptr;
}

ZQMACInterface* ZQMACMediaConfig::FindObject(unsigned long long handle) const {
  if (handle == 0 || handle > 0xFFFFFFFFull) return nullptr;
  std::shared_lock<ZQMACRegistryMutex> guard(m_registryMutex);
  return m_registry.Find(static_cast<unsigned int>(handle));
}

ZQMACInterface* ZQMACMediaConfig::FindObject(unsigned long long handle, unsigned int objectType) const {
  ZQMACInterface* object = FindObject(handle);
  return object != nullptr && object->GetObjectType() == objectType ? object : nullptr;
}

// ---------------------------------------------------------------- ownership

unsigned long long ZQMACInterface::GiveHandle() const {
  ZQMACMediaConfig* owner = GetOwner();
  return owner != nullptr ? owner->GiveHandle(this) : 0;
}

void ZQMACInterface::MarkTouched() {
  ZQMACMediaConfig* owner = GetOwner();
  if (owner == nullptr) {
    m_bTouched.store(true, std::memory_order_relaxed);
    return;
  }
  std::lock_guard<ZQMACRegistryMutex> guard(owner->m_registryMutex);
  if (!m_bTouched.exchange(true, std::memory_order_relaxed)) owner->m_touched.push_back(this);
}

unsigned long long ZQMACMediaConfig::GiveHandle(const ZQMACInterface* object) const {
  std::lock_guard<ZQMACRegistryMutex> guard(m_registryMutex);
  uint32_t handle = object->m_uHandle.load(std::memory_order_relaxed);
  if (handle != 0 || object->GetOwner() != this) return handle;
  handle = tkmac::takeHandle();
  if (handle == 0) {
    m_ulHandlesRefused.fetch_add(1, std::memory_order_relaxed);
    return 0;
  }
  // Handles only grow, so a new one almost always goes at the end.
  m_registry.Add(handle, const_cast<ZQMACInterface*>(object));
  object->m_uHandle.store(handle, std::memory_order_release);
  return handle;
}

namespace {

unsigned int typeList(unsigned int type) { return std::min(type, kZQMACTypeLists - 1); }

}  // namespace

void ZQMACMediaConfig::EnterObject(ZQMACInterface* object) {
  object->m_pHome = m_pHome.get();
  object->m_uSlot = m_objects.size();
  const unsigned int type = object->GetObjectType();
  ZQMACTypePlaces& list = m_placesOfType[typeList(type)];
  list.places.push_back(m_objects.size());
  ++list.live;
  m_objects.push_back(object);
  m_objectTypes.push_back(type);
  object->m_bEntered.store(true, std::memory_order_release);
  ++m_liveObjects;
}

unsigned int ZQMACMediaConfig::EnteredType(const ZQMACInterface* object) const {
  return object->m_bEntered.load(std::memory_order_relaxed) && object->GetOwner() == this
             ? m_objectTypes[object->m_uSlot]
             : 0;
}

bool ZQMACMediaConfig::LeaveObject(ZQMACInterface* object, bool closeHoles) {
  const std::size_t slot = object->m_uSlot;
  if (object->GetOwner() != this || slot >= m_objects.size() || m_objects[slot] != object) return false;
  m_objects[slot] = nullptr;
  object->m_bEntered.store(false, std::memory_order_release);
  --m_liveObjects;
  // A list of a type's places is pruned once the freed outnumber the
  // living, so that a walk over a type costs what the type holds.
  ZQMACTypePlaces& list = m_placesOfType[typeList(m_objectTypes[slot])];
  --list.live;
  if (list.places.size() > 2 * list.live + 64)
    list.places.erase(std::remove_if(list.places.begin(), list.places.end(),
                                     [&](std::size_t i) { return m_objects[i] == nullptr; }),
                      list.places.end());
  const uint32_t handle = object->m_uHandle.load(std::memory_order_relaxed);
  if (handle != 0) m_registry.Erase(handle, object);
  object->m_uHandle.store(0, std::memory_order_relaxed);
  object->m_pHome = nullptr;
  if (object->m_bTouched.exchange(false, std::memory_order_relaxed)) {
    auto it = std::find(m_touched.begin(), m_touched.end(), object);
    if (it != m_touched.end()) m_touched.erase(it);
  }
  if (closeHoles) CloseHoles();
  return true;
}

void ZQMACMediaConfig::CloseHoles() {
  // Holes are closed once they outnumber the objects, so a walk costs at
  // most twice the objects and a removal stays cheap.
  if (m_objects.size() > 64 && m_objects.size() - m_liveObjects > m_liveObjects) {
    std::size_t next = 0;
    for (std::size_t i = 0; i < m_objects.size(); ++i) {
      ZQMACInterface* kept = m_objects[i];
      if (kept == nullptr) continue;
      kept->m_uSlot = next;
      m_objectTypes[next] = m_objectTypes[i];
      m_objects[next++] = kept;
    }
    m_objects.resize(next);
    m_objectTypes.resize(next);
    for (ZQMACTypePlaces& list : m_placesOfType) list.places.clear();
    for (std::size_t i = 0; i < next; ++i) m_placesOfType[typeList(m_objectTypes[i])].places.push_back(i);
  }
}

bool ZQMACMediaConfig::TakeObject(ZQMACInterface* object, bool withHandle, bool touched) {
  if (object == nullptr) {
    SetLastError(tkmac::kErrorAdoptRefused, "No object was given.");
    return false;
  }
  if (object->GetOwner() != nullptr) {
    SetLastError(tkmac::kErrorAdoptRefused, "The object belongs to another configuration.");
    return false;
  }
  // Lists index an object by its address as its own class; the interface
  // part must start the object, so that the address is the same whichever
  // class a list holds it as.
  if (dynamic_cast<void*>(object) != static_cast<void*>(object)) {
    SetLastError(tkmac::kErrorAdoptRefused, "The object's interface part does not start the object.");
    return false;
  }
  const uint32_t handle = withHandle ? tkmac::takeHandle() : 0;
  if (withHandle && handle == 0) {
    m_ulHandlesRefused.fetch_add(1, std::memory_order_relaxed);
    SetLastError(tkmac::kErrorAdoptRefused, tkmac::kNoHandleLeftText);
    return false;
  }
  std::lock_guard<ZQMACRegistryMutex> guard(m_registryMutex);
  EnterObject(object);
  // An object made in memory is touched: no row laid it.
  if (touched || object->m_bTouched.load(std::memory_order_relaxed)) {
    object->m_bTouched.store(true, std::memory_order_relaxed);
    m_touched.push_back(object);
  }
  if (handle != 0) {
    m_registry.Add(handle, object);
    object->m_uHandle.store(handle, std::memory_order_release);
  }
  return true;
}

unsigned long long ZQMACMediaConfig::AdoptObject(ZQMACInterface* object) {
  if (object != nullptr && object->GetOwner() == this) {
    const unsigned long long handle = object->GetHandle();
    if (handle == 0) SetLastError(tkmac::kErrorAdoptRefused, tkmac::kNoHandleLeftText);
    return handle;
  }
  return TakeObject(object, true) ? object->GetHandle() : 0;
}

bool ZQMACMediaConfig::OwnsObject(const ZQMACInterface* object) const {
  return object != nullptr && object->m_bEntered.load(std::memory_order_acquire) && object->GetOwner() == this;
}

bool ZQMACMediaConfig::DeleteObject(ZQMACInterface* object) {
  if (!OwnsObject(object)) return false;
  // A stored object's rows go first, with those of what depends on it; the
  // objects of those rows go with it. A refused removal keeps everything.
  std::vector<ZQMACInterface*> dependents;
  if (!ZQMACGraph::RemoveStored(object, dependents)) {
    std::string text;
    const unsigned int code = object->GetLastError(text);
    SetLastError(code, text);
    return false;
  }
  RowsGoScope rowsGo(*this);  // their rows are gone
  for (ZQMACInterface* dependent : dependents) {
    if (OwnsObject(dependent)) delete dependent;
  }
  if (OwnsObject(object)) delete object;  // its destructor unlinks it before the memory goes
  return true;
}

std::size_t ZQMACMediaConfig::GetObjectCount() const {
  std::shared_lock<ZQMACRegistryMutex> guard(m_registryMutex);
  return m_liveObjects;
}

namespace {

// Which objects may hold an object of type `gone`, by type: what the
// ForgetObject bodies (ZQMACObjects.cpp) forget, read backwards, and the two
// must change together. A deletion then asks only those objects (a disk
// library going asks its mount paths' kind, not the drives, drive paths and
// volumes of a large installation). An object of a type this table does not
// know (a library's controller group, a plain node) may sit where the table
// cannot see it, so every object is asked of it; so too of a library's LMS
// and of a media agent, which nearly every object points at.
struct Holders {
  bool known = false;       // false: every object is asked
  std::uint32_t types = 0;  // a bit per type that may hold it
  bool Include(unsigned int type) const { return type < 32 && (types >> type & 1u) != 0; }
};

Holders holdersOf(unsigned int gone) {
  const auto of = [](std::initializer_list<unsigned int> types) {
    Holders holders;
    holders.known = true;
    for (unsigned int type : types) holders.types |= std::uint32_t{1} << type;
    return holders;
  };
  switch (gone) {
    case ZQMAC_OBJ_LIBRARY:
      return of({ZQMAC_OBJ_LMS});
    case ZQMAC_OBJ_LIB_CONTROLLER:
    case ZQMAC_OBJ_IP_LIB_CONTROLLER:
      return of({ZQMAC_OBJ_MEDIA_AGENT, ZQMAC_OBJ_LMS});
    case ZQMAC_OBJ_DRIVE_POOL:
      return of({ZQMAC_OBJ_LMS, ZQMAC_OBJ_MASTER_DRIVE_POOL, ZQMAC_OBJ_DMS});
    case ZQMAC_OBJ_MASTER_DRIVE_POOL:
      return of({ZQMAC_OBJ_LMS, ZQMAC_OBJ_DRIVE_POOL});
    case ZQMAC_OBJ_DRIVE:
      return of({ZQMAC_OBJ_LMS, ZQMAC_OBJ_DMS});
    case ZQMAC_OBJ_DMS:
      return of({ZQMAC_OBJ_MEDIA_AGENT, ZQMAC_OBJ_LMS, ZQMAC_OBJ_DRIVE_POOL, ZQMAC_OBJ_DRIVE});
    case ZQMAC_OBJ_MAGLIB:
      return of({});  // its mount paths forget it as it goes (~ZQMACMagLib)
    case ZQMAC_OBJ_MOUNT_PATH:
      return of({ZQMAC_OBJ_MAGLIB});
    case ZQMAC_OBJ_DISK_DEVICE:
      return of({ZQMAC_OBJ_DISK_VOLUME});
    case ZQMAC_OBJ_DISK_VOLUME:
      return of({ZQMAC_OBJ_DISK_DEVICE});
    case ZQMAC_OBJ_COPY_MGR_DEVICE:
      return of({ZQMAC_OBJ_COPY_MGR_CONTROLLER});
    case ZQMAC_OBJ_COPY_MGR_CONTROLLER:
      return of({ZQMAC_OBJ_MEDIA_AGENT});
    case ZQMAC_OBJ_CENTERA_CLUSTER:
    case ZQMAC_OBJ_HOST:
      return of({});
    default:
      return Holders{};
  }
}

template <class T>
void eraseAllByAddress(std::map<int, T*>& map, const ZQMACGone& gone) {
  for (auto it = map.begin(); it != map.end();) {
    if (gone.Holds(static_cast<const void*>(it->second)))
      it = map.erase(it);
    else
      ++it;
  }
}

}  // namespace

void ZQMACMediaConfig::ObjectGone(ZQMACInterface* object) {
  const void* address = static_cast<const void*>(object);
  std::vector<ZQMACInterface*> others;
  unsigned int type = 0;
  Holders holders;
  {
    std::lock_guard<ZQMACRegistryMutex> guard(m_registryMutex);
    type = EnteredType(object);
    holders = holdersOf(type);
    LeaveObject(object);
    if (m_iRowsGo == 0)
      m_bUnclean.store(true);  // freed while its row may stay
    else if (object->m_iId >= 0)
      m_freedStored.emplace_back(type, object->m_iId);
    if (holders.known) {
      if (holders.types != 0)
        ForEachObjectOfType([&](unsigned int other) { return holders.Include(other); },
                            [&](ZQMACInterface* other) { others.push_back(other); });
    } else {
      others.reserve(m_liveObjects);
      ForEachObject([&](ZQMACInterface* other) { others.push_back(other); });
    }
  }
  for (ZQMACInterface* other : others) other->ForgetObject(address);
  if (!holders.known) {
    ForgetOwnReferences(ZQMACGone(address));
    return;
  }
  ForgetOwnReferencesOf(type, address, object->m_iId, true);
}

void ZQMACMediaConfig::ForgetOwnReferencesOf(unsigned int type, const void* address, int id, bool anyId) {
  // Each of the instance's own lists and maps holds objects of one class,
  // entered with that class's type: only those of the type that goes are
  // searched. The cost categories are plain nodes, entered with any type.
  // An id map holds an object under the id it has (IndexId keeps them in
  // step); with `anyId` every entry is looked at when it is not there.
  auto forget = [&](auto& map) {
    auto found = map.find(id);
    if (found != map.end() && static_cast<const void*>(found->second) == address)
      map.erase(found);
    else if (anyId)
      eraseAllByAddress(map, ZQMACGone(address));
  };
  switch (type) {
    case ZQMAC_OBJ_MEDIA_AGENT:
      m_mediaAgentList.RemoveNodeAt(address);
      forget(m_mediaAgentMap);
      break;
    case ZQMAC_OBJ_LMS:
      m_lmsList.RemoveNodeAt(address);
      break;
    case ZQMAC_OBJ_MAGLIB:
      m_magLibList.RemoveNodeAt(address);
      ZQMACGraph::ForgetIndexed(*this, address, id);
      break;
    case ZQMAC_OBJ_MOUNT_PATH:
      forget(m_mountPathMap);
      break;
    case ZQMAC_OBJ_DISK_DEVICE:
      m_diskDeviceList.RemoveNodeAt(address);
      forget(m_diskDeviceMap);
      break;
    case ZQMAC_OBJ_CENTERA_CLUSTER:
      m_centeraClusterList.RemoveNodeAt(address);
      forget(m_centeraClusterMap);
      break;
    case ZQMAC_OBJ_HOST:
      m_hostList.RemoveNodeAt(address);
      forget(m_hostMap);
      break;
    case ZQMAC_OBJ_COPY_MGR_DEVICE:
      m_copyMgrDeviceList.RemoveNodeAt(address);
      break;
    case ZQMAC_OBJ_COPY_MGR_CONTROLLER:
      m_copyMgrControllerList.RemoveNodeAt(address);
      break;
    case ZQMAC_OBJ_IP_LIB_CONTROLLER:
      m_ipLibControllerList.RemoveNodeAt(address);
      break;
    default:
      break;
  }
  m_costCategoryList.RemoveNodeAt(address);
}

void ZQMACMediaConfig::ForgetOwnReferences(const ZQMACGone& gone) {
  gone.From(m_mediaAgentList);
  gone.From(m_lmsList);
  gone.From(m_magLibList);
  gone.From(m_diskDeviceList);
  gone.From(m_centeraClusterList);
  gone.From(m_hostList);
  gone.From(m_copyMgrDeviceList);
  gone.From(m_copyMgrControllerList);
  gone.From(m_ipLibControllerList);
  gone.From(m_costCategoryList);
  eraseAllByAddress(m_mediaAgentMap, gone);
  eraseAllByAddress(m_mountPathMap, gone);
  eraseAllByAddress(m_diskDeviceMap, gone);
  eraseAllByAddress(m_centeraClusterMap, gone);
  eraseAllByAddress(m_hostMap, gone);
  ZQMACGraph::ForgetIndexed(*this, gone);
}
