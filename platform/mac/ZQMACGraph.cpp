#include "platform/mac/ZQMACGraph.h"

#include <algorithm>
#include <functional>
#include <optional>

#include "platform/mac/ZQMACHeapFetch.h"

namespace {

template <class T>
void indexById(std::map<int, T*>& map, T* object, int oldId, int newId) {
  auto it = map.find(oldId);
  if (it != map.end() && it->second == object) map.erase(it);
  if (newId >= 0) map[newId] = object;
}

}  // namespace

template <class T>
T* ZQMACGraph::Adopt(ZQMACMediaConfig& config, T* object, int id, const std::string& name) {
  object->m_sName = name;
  // The object's handle is given when one is first asked for.
  if (!config.TakeObject(object, false)) {
    delete object;
    return nullptr;
  }
  SetId(object, id);
  return object;
}

void ZQMACGraph::SetId(ZQMACInterface* object, int id) {
  object->NoteChange();
  IndexId(object, id);
}

void ZQMACGraph::IndexId(ZQMACInterface* object, int id) {
  const int oldId = object->m_iId;
  object->m_iId = id;
  ZQMACMediaConfig* config = object->GetOwner();
  if (config == nullptr) return;
  // Only objects that the instance lists are in its id maps.
  if (auto* agent = dynamic_cast<ZQMACMediaAgent*>(object)) {
    indexById(config->m_mediaAgentMap, agent, oldId, id);
  } else if (auto* path = dynamic_cast<ZQMACMountPath*>(object)) {
    indexById(config->m_mountPathMap, path, oldId, id);
  } else if (auto* device = dynamic_cast<ZQMACDiskDevice*>(object)) {
    indexById(config->m_diskDeviceMap, device, oldId, id);
  } else if (auto* cluster = dynamic_cast<ZQMACCenteraCluster*>(object)) {
    indexById(config->m_centeraClusterMap, cluster, oldId, id);
  } else if (auto* host = dynamic_cast<ZQMACHost*>(object)) {
    indexById(config->m_hostMap, host, oldId, id);
  }
}

ZQMACMediaAgent* ZQMACGraph::AddMediaAgent(ZQMACMediaConfig& config, int id, const std::string& name,
                                           const std::string& netHostName) {
  ZQMACMediaAgent* agent = Adopt(config, new ZQMACMediaAgent(), id, name);
  if (agent == nullptr) return nullptr;
  agent->m_sNetHostName = netHostName;
  config.m_mediaAgentList.AddNode(agent);
  return agent;
}

ZQMACLms* ZQMACGraph::AddLms(ZQMACMediaConfig& config, int id, const std::string& name) {
  ZQMACLms* lms = Adopt(config, new ZQMACLms(), id, name);
  if (lms == nullptr) return nullptr;
  ZQMACLibrary* library = Adopt(config, new ZQMACLibrary(), id, name);
  if (library == nullptr) {
    delete lms;
    return nullptr;
  }
  SetLibrary(lms, library);
  ZQMACNode* group = Adopt(config, new ZQMACNode(name, ZQMAC_OBJ_LIBRARY_CHILD), id, name);
  if (group == nullptr) {
    delete lms;
    delete library;
    return nullptr;
  }
  group->m_pLms = lms;
  lms->m_pLibControllerNode = group;
  config.m_lmsList.AddNode(lms);
  return lms;
}

ZQMACLibController* ZQMACGraph::AddLibController(ZQMACLms* lms, ZQMACMediaAgent* agent, int id,
                                                 const std::string& name) {
  if (lms == nullptr || lms->GetOwner() == nullptr) return nullptr;
  ZQMACLibController* controller = Adopt(*lms->GetOwner(), new ZQMACLibController(), id, name);
  if (controller == nullptr) return nullptr;
  controller->m_pLms = lms;
  controller->m_pMediaAgent = agent;
  lms->m_libControllerList.AddNode(controller);
  if (agent != nullptr) agent->m_libControllerList.AddNode(controller);
  return controller;
}

ZQMACIPLibController* ZQMACGraph::AddIPLibController(ZQMACLms* lms, ZQMACMediaAgent* agent, int id,
                                                     const std::string& name) {
  if (lms == nullptr || lms->GetOwner() == nullptr) return nullptr;
  ZQMACMediaConfig& config = *lms->GetOwner();
  ZQMACIPLibController* controller = Adopt(config, new ZQMACIPLibController(), id, name);
  if (controller == nullptr) return nullptr;
  controller->m_pLms = lms;
  controller->m_pMediaAgent = agent;
  lms->m_libControllerList.AddNode(controller);
  if (agent != nullptr) agent->m_libControllerList.AddNode(controller);
  config.m_ipLibControllerList.AddNode(controller);
  return controller;
}

ZQMACDrivePool* ZQMACGraph::AddDrivePool(ZQMACLms* lms, ZQMACMediaAgent* agent, int id, const std::string& name) {
  if (lms == nullptr || lms->GetOwner() == nullptr) return nullptr;
  ZQMACDrivePool* pool = Adopt(*lms->GetOwner(), new ZQMACDrivePool(), id, name);
  if (pool == nullptr) return nullptr;
  pool->m_pLms = lms;
  pool->m_pMediaAgent = agent;
  lms->m_drivePoolList.AddNode(pool);
  return pool;
}

ZQMACMasterDrivePool* ZQMACGraph::AddMasterDrivePool(ZQMACLms* lms, int id, const std::string& name) {
  if (lms == nullptr || lms->GetOwner() == nullptr) return nullptr;
  ZQMACMasterDrivePool* master = Adopt(*lms->GetOwner(), new ZQMACMasterDrivePool(), id, name);
  if (master == nullptr) return nullptr;
  master->m_pLms = lms;
  lms->m_masterDrivePoolList.AddNode(master);
  return master;
}

void ZQMACGraph::AddPoolToMaster(ZQMACMasterDrivePool* master, ZQMACDrivePool* pool) {
  if (master == nullptr || pool == nullptr) return;
  master->m_drivePoolList.AddNode(pool);
  pool->m_pMasterDrivePool = master;
}

ZQMACDrive* ZQMACGraph::AddDrive(ZQMACLms* lms, int id, const std::string& name, int driveNumber) {
  if (lms == nullptr || lms->GetOwner() == nullptr) return nullptr;
  ZQMACDrive* drive = Adopt(*lms->GetOwner(), new ZQMACDrive(), id, name);
  if (drive == nullptr) return nullptr;
  drive->m_pLms = lms;
  drive->m_iDriveNumber = driveNumber;
  lms->m_driveList.AddNode(drive);
  return drive;
}

ZQMACDms* ZQMACGraph::AddDms(ZQMACDrive* drive, ZQMACDrivePool* pool, ZQMACMediaAgent* agent, int id,
                             const std::string& name) {
  if (drive == nullptr || drive->GetOwner() == nullptr) return nullptr;
  ZQMACDms* dms = Adopt(*drive->GetOwner(), new ZQMACDms(), id, name);
  if (dms == nullptr) return nullptr;
  dms->m_pDrive = drive;
  dms->m_pDrivePool = pool;
  dms->m_pMediaAgent = agent;
  dms->m_pLms = drive->m_pLms;
  drive->m_dmsList.AddNode(dms);
  if (pool != nullptr) pool->m_dmsList.AddNode(dms);
  if (agent != nullptr) agent->m_dmsList.AddNode(dms);
  if (dms->m_pLms != nullptr) dms->m_pLms->m_dmsList.AddNode(dms);
  return dms;
}

ZQMACMagLib* ZQMACGraph::AddMagLib(ZQMACMediaConfig& config, ZQMACMediaAgent* agent, int id, const std::string& name) {
  ZQMACMagLib* library = Adopt(config, new ZQMACMagLib(), id, name);
  if (library == nullptr) return nullptr;
  library->m_pMediaConfig = &config;
  library->m_pMediaAgent = agent;
  config.m_magLibList.AddNode(library);
  return library;
}

ZQMACMountPath* ZQMACGraph::AddMountPath(ZQMACMagLib* library, ZQMACMediaAgent* agent, int id,
                                         const std::string& name) {
  if (library == nullptr || library->GetOwner() == nullptr) return nullptr;
  ZQMACMountPath* path = Adopt(*library->GetOwner(), new ZQMACMountPath(), id, name);
  if (path == nullptr) return nullptr;
  path->m_pMagLib = library;
  path->m_pMediaAgent = agent;
  library->m_mountPathList.AddNode(path);
  return path;
}

ZQMACDiskDevice* ZQMACGraph::AddDiskDevice(ZQMACMediaConfig& config, int id, const std::string& name) {
  ZQMACDiskDevice* device = Adopt(config, new ZQMACDiskDevice(), id, name);
  if (device == nullptr) return nullptr;
  config.m_diskDeviceList.AddNode(device);
  return device;
}

ZQMACDiskVolume* ZQMACGraph::AddDiskVolume(ZQMACDiskDevice* device, ZQMACMediaAgent* agent, int id,
                                           const std::string& volume) {
  if (device == nullptr || device->GetOwner() == nullptr) return nullptr;
  ZQMACDiskVolume* disk = Adopt(*device->GetOwner(), new ZQMACDiskVolume(), id, volume);
  if (disk == nullptr) return nullptr;
  disk->m_pDiskDevice = device;
  disk->m_pMediaAgent = agent;
  disk->m_sVolume = volume;
  device->m_volumeList.AddNode(disk);
  return disk;
}

ZQMACCenteraCluster* ZQMACGraph::AddCenteraCluster(ZQMACMediaConfig& config, int id, const std::string& name) {
  ZQMACCenteraCluster* cluster = Adopt(config, new ZQMACCenteraCluster(), id, name);
  if (cluster == nullptr) return nullptr;
  cluster->m_sClusterName = name;
  config.m_centeraClusterList.AddNode(cluster);
  return cluster;
}

ZQMACHost* ZQMACGraph::AddHost(ZQMACMediaConfig& config, int id, const std::string& name) {
  ZQMACHost* host = Adopt(config, new ZQMACHost(), id, name);
  if (host == nullptr) return nullptr;
  config.m_hostList.AddNode(host);
  return host;
}

ZQMACCopyMgrDevice* ZQMACGraph::AddCopyMgrDevice(ZQMACMediaConfig& config, int id, const std::string& name) {
  ZQMACCopyMgrDevice* device = Adopt(config, new ZQMACCopyMgrDevice(), id, name);
  if (device == nullptr) return nullptr;
  config.m_copyMgrDeviceList.AddNode(device);
  return device;
}

ZQMACCopyMgrController* ZQMACGraph::AddCopyMgrController(ZQMACCopyMgrDevice* device, ZQMACMediaAgent* agent, int id,
                                                         const std::string& name) {
  if (device == nullptr || device->GetOwner() == nullptr) return nullptr;
  ZQMACMediaConfig& config = *device->GetOwner();
  ZQMACCopyMgrController* controller = Adopt(config, new ZQMACCopyMgrController(), id, name);
  if (controller == nullptr) return nullptr;
  controller->m_pCopyMgrDevice = device;
  controller->m_pMediaAgent = agent;
  if (agent != nullptr) agent->m_copyMgrControllerList.AddNode(controller);
  config.m_copyMgrControllerList.AddNode(controller);
  return controller;
}

ZQMACNode* ZQMACGraph::AddCostCategory(ZQMACMediaConfig& config, int id, const std::string& name) {
  ZQMACNode* node = Adopt(config, new ZQMACNode(name, ZQMAC_OBJ_NODE), id, name);
  if (node == nullptr) return nullptr;
  config.m_costCategoryList.AddNode(node);
  return node;
}

void ZQMACGraph::DropObjects(ZQMACMediaConfig& config, std::vector<ZQMACInterface*> gone) {
  std::vector<ZQMACInterface*> owned;
  std::vector<const void*> addresses;
  std::vector<ZQMACInterface*> others;
  std::optional<ZQMACGone> leaving;  // sorted once, for the touched list and every holder
  owned.reserve(gone.size());
  addresses.reserve(gone.size());
  {
    std::lock_guard<ZQMACRegistryMutex> guard(config.m_registryMutex);
    bool anyTouched = false;
    for (ZQMACInterface* object : gone) {
      if (!config.OwnsObject(object)) continue;
      const unsigned int type = config.EnteredType(object);
      if (config.m_iRowsGo == 0)
        config.m_bUnclean.store(true);  // freed while its row may stay
      else if (object->m_iId >= 0)
        config.m_freedStored.emplace_back(type, object->m_iId);
      // The touched list is cleaned once below, not searched per object.
      anyTouched = object->m_bTouched.exchange(false, std::memory_order_relaxed) || anyTouched;
      // Leaving the instance drops the handle and clears the owner: the
      // destructor has nothing left to unlink. The holes are closed once,
      // after the last.
      config.LeaveObject(object, false);
      owned.push_back(object);
      addresses.push_back(static_cast<const void*>(object));
    }
    config.CloseHoles();
    leaving.emplace(std::move(addresses));
    if (anyTouched)
      config.m_touched.erase(std::remove_if(config.m_touched.begin(), config.m_touched.end(),
                                            [&](const ZQMACInterface* object) { return leaving->Holds(object); }),
                             config.m_touched.end());
    others.reserve(config.m_liveObjects);
    config.ForEachObject([&](ZQMACInterface* object) { others.push_back(object); });
  }
  if (owned.empty()) return;
  for (ZQMACInterface* other : others) other->ForgetObjects(*leaving);
  config.ForgetOwnReferences(*leaving);
#ifndef NDEBUG
  CheckNoneHeld(config, owned, "a drop");
#endif
  // In a large graph each object is a cache miss per line it spans: those a
  // few places on are fetched ahead, as ClearObjects does, so that their
  // misses overlap the freeing of those before them.
  constexpr std::size_t kAhead = 6;
  for (std::size_t i = 0; i < owned.size(); ++i) {
    if (i + kAhead < owned.size()) tkmac::heap::fetchToFree(owned[i + kAhead], tkmac::heap::kLinesOf<ZQMACDrive>);
    delete owned[i];
  }
}
