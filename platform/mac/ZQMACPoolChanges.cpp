// The object model's calls behind the pool-change requests: a drive pool's
// proxy client host, copy manager and cost category, and the master pools
// and drive pools a console adds to a tape library. A stored object of a
// database-backed instance is written through first and changes only once
// its row did; a new pool is stored before the instance takes it, so a
// refused pool leaves neither a row nor an object behind.
//
// Journal names (each can be made to fail, the code and text then the
// object's last error): "SetProxyClientHost" (handle, host),
// "SetCopyManagerId" (handle, id), "SetCostCategoryId" (handle, id),
// "AddMasterDrivePool" (library handle), "AddDrivePool" (library handle,
// media agent name).
#include <string>
#include <utility>

#include "frame/mac/ZQMACObjects.h"
#include "platform/mac/ZQMACGraph.h"
#include "platform/mac/ZQMACPlatform.h"
#include "platform/mac/ZQMACTableErrors.h"
#include "platform/mmdb/MMDerivedNames.h"
#include "platform/mmdb/MMMediaConfigDB.h"

namespace {

// A database refusal as the object's last error.
void failWith(ZQMACBase& object, const MMMediaConfigDB& access) {
  object.SetLastError(tkmac::modelErrorOf(access), access.lastErrorText());
}

bool storedIn(const ZQMACInterface& object) {
  ZQMACMediaConfig* owner = object.GetOwner();
  return owner != nullptr && ZQMACGraph::IsDatabaseBacked(*owner);
}

// A name not yet used by any of `list`: `named(")")`, else the names of
// ")_2", ")_3", ... (each made to fit its column by `named`).
template <class List, class Named>
std::string freeName(List list, Named named) {
  auto taken = [&](const std::string& name) {
    for (auto* node = list.GetFirstNode(); node != nullptr; node = list.GetNextNode())
      if (node->GetName() == name) return true;
    return false;
  };
  std::string name = named(")");
  for (int n = 2; taken(name); ++n) name = named(")_" + std::to_string(n));
  return name;
}

// One setting of a stored object written through; see StoreSetting.
bool storeSetting(ZQMACInterface* object, MMStoredColumn setting) {
  if (!storedIn(*object)) return true;
  MMStoredKind kind = MMStoredKind::DrivePool;
  switch (object->GetObjectType()) {
    case ZQMAC_OBJ_DRIVE_POOL: kind = MMStoredKind::DrivePool; break;
    case ZQMAC_OBJ_MAGLIB: kind = MMStoredKind::Library; break;
    default: return true;
  }
  if (object->GetId() == 0xFFFFFFFFu) {
    object->SetLastError(tkmac::kErrorNotStored,
                         "The object is not stored in the configuration database; it cannot be changed there.");
    return false;
  }
  MMMediaConfigDB access;
  if (access.storeObject(kind, static_cast<int>(object->GetId()), nullptr, MMMediaConfigDB::kKeepConfigured,
                         {std::move(setting)}) != 0) {
    failWith(*object, access);
    return false;
  }
  return true;
}

}  // namespace

bool ZQMACGraph::StoreSetting(ZQMACInterface* object, const char* column, int value) {
  return storeSetting(object, {column, value});
}

bool ZQMACGraph::StoreSetting(ZQMACInterface* object, const char* column, const std::string& value) {
  return storeSetting(object, {column, value});
}

bool ZQMACGraph::EnterNewMasterPool(ZQMACLms* lms, ZQMACMasterDrivePool* master, const std::string& name) {
  ZQMACMediaConfig* config = lms->GetOwner();
  if (config == nullptr) {
    lms->SetLastErrorMessage(tkmac::kErrorAdoptRefused);
    return false;
  }
  int id = -1;
  if (IsDatabaseBacked(*config)) {
    ZQMACLibrary* library = lms->m_pLibrary;
    MMMediaConfigDB access;
    if (access.insertMasterPool(library != nullptr ? library->m_iId : lms->m_iId, name, id) != 0) {
      failWith(*lms, access);
      return false;
    }
  }
  master->m_sName = name;
  if (config->AdoptObject(master) == 0) {
    lms->SetLastError(config->GetLastErrorCode(), config->GetLastError());
    if (id >= 0) MMMediaConfigDB().removeObject(MMStoredKind::MasterPool, id);
    return false;
  }
  if (id >= 0) {
    SetId(master, id);
    // The master-pool table has no configured state: a stored master pool
    // is a configured one, as every load lays it, so the session shows
    // what a re-read will.
    master->m_bConfigured = true;
  }
  master->m_pLms = lms;
  lms->m_masterDrivePoolList.AddNode(master);
  return true;
}

bool ZQMACGraph::EnterNewDrivePool(ZQMACLms* lms, ZQMACDrivePool* pool, const std::string& name) {
  ZQMACMediaConfig* config = lms->GetOwner();
  ZQMACMasterDrivePool* master = pool->m_pMasterDrivePool;
  if (config == nullptr || master == nullptr || master->m_pLms != lms || pool->m_pMediaAgent == nullptr) {
    lms->SetLastError(tkmac::kErrorAdoptRefused, "The drive pool has no media agent or no master pool of the library.");
    return false;
  }
  int id = -1;
  if (IsDatabaseBacked(*config)) {
    MMMediaConfigDB access;
    if (access.insertDrivePool(master->m_iId, pool->m_pMediaAgent->m_iId, name, pool->m_iType, id) != 0) {
      failWith(*lms, access);
      return false;
    }
  }
  pool->m_sName = name;
  if (config->AdoptObject(pool) == 0) {
    lms->SetLastError(config->GetLastErrorCode(), config->GetLastError());
    if (id >= 0) MMMediaConfigDB().removeObject(MMStoredKind::DrivePool, id);
    return false;
  }
  // A new drive pool is empty and not configured, in the session as in its
  // stored row (enabled 0): configuring it is a step of its own.
  if (id >= 0) SetId(pool, id);
  lms->m_drivePoolList.AddNode(pool);
  AddPoolToMaster(master, pool);
  return true;
}

bool ZQMACDrivePool::SetProxyClientHost(const std::string& host) {
  tkmac::journal().record("SetProxyClientHost", GetHandle(), host);
  if (tkmac::failed(*this, "SetProxyClientHost")) return false;
  // Kept where NDMP pools keep the server they reach, so that the next load
  // finds it.
  if (!ZQMACGraph::StoreSetting(this, "Descript", host)) return false;
  m_sProxyClientHost = host;
  return true;
}

bool ZQMACDrivePool::SetCopyManagerId(int id) {
  tkmac::journal().record("SetCopyManagerId", GetHandle(), id);
  if (tkmac::failed(*this, "SetCopyManagerId")) return false;
  if (!ZQMACGraph::StoreSetting(this, "CopyManagerCtrlId", id)) return false;
  m_iCopyManagerId = id;
  return true;
}

bool ZQMACDrivePool::SetCostCategoryId(int id) {
  tkmac::journal().record("SetCostCategoryId", GetHandle(), id);
  if (tkmac::failed(*this, "SetCostCategoryId")) return false;
  if (!ZQMACGraph::StoreSetting(this, "CostCategoryId", id)) return false;
  m_iCostCategoryId = id;
  return true;
}

int ZQMACDrivePool::SetMasterDrivePool(ZQMACMasterDrivePool* master) {
  if (master == nullptr || master->GetLms() == nullptr) {
    SetLastError(tkmac::kErrorAdoptRefused, "The master drive pool belongs to no library.");
    return 0;
  }
  ZQMACGraph::StageMasterPool(this, master);
  return 1;
}

// A refused pool carries the library's reason as its own.
static bool refusedWith(ZQMACBase& library, ZQMACBase* pool) {
  if (pool != nullptr) pool->SetLastError(library.GetLastErrorCode(), library.GetLastError());
  return false;
}

bool ZQMACLms::AddMasterDrivePool(ZQMACMasterDrivePool* master) {
  if (!addMasterDrivePool(master)) return refusedWith(*this, master);
  return true;
}

bool ZQMACLms::AddDrivePool(ZQMACDrivePool* pool) {
  if (!addDrivePool(pool)) return refusedWith(*this, pool);
  return true;
}

bool ZQMACLms::addMasterDrivePool(ZQMACMasterDrivePool* master) {
  tkmac::journal().record("AddMasterDrivePool", GetHandle());
  if (tkmac::failed(*this, "AddMasterDrivePool")) return false;
  if (master == nullptr || master->GetOwner() != nullptr) {
    SetLastErrorMessage(tkmac::kErrorAdoptRefused);
    return false;
  }
  const std::string library = m_pLibrary != nullptr ? m_pLibrary->GetName() : GetName();
  return ZQMACGraph::EnterNewMasterPool(
      this, master,
      freeName(m_masterDrivePoolList, [&](const std::string& tail) { return tkmmdb::masterPoolName(library, tail); }));
}

bool ZQMACLms::addDrivePool(ZQMACDrivePool* pool) {
  ZQMACMediaAgent* agent = pool != nullptr ? pool->GetMediaAgent() : nullptr;
  tkmac::journal().record("AddDrivePool", GetHandle(), agent != nullptr ? agent->GetName() : std::string());
  if (tkmac::failed(*this, "AddDrivePool")) return false;
  if (pool == nullptr || pool->GetOwner() != nullptr || agent == nullptr) {
    SetLastError(tkmac::kErrorAdoptRefused, "The drive pool has no media agent.");
    return false;
  }
  ZQMACMasterDrivePool* master = pool->GetMasterDrivePool();
  auto named = [&](const std::string& tail) { return tkmmdb::drivePoolName(agent->GetName(), tail); };
  return ZQMACGraph::EnterNewDrivePool(this, pool,
                                       master != nullptr ? freeName(master->GetDrivePoolList(), named) : named(")"));
}
