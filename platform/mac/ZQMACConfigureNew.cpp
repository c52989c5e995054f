// Configuring an object of a database-backed instance that was never
// stored: a detected tape library (or a part of one) comes into the
// configuration. Its rows are written in one step (MMMediaConfigDB::
// insertObjects) with the rows of what it needs and what comes with it;
// only once they are written do the objects take their ids and links, so a
// refusal leaves neither a row nor a changed object behind. The pools a
// library gets for it are made first and freed again on a refusal.
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "frame/mac/ZQMACObjects.h"
#include "platform/mac/ZQMACGraph.h"
#include "platform/db/DBtable.h"
#include "platform/mac/ZQMACPlatform.h"
#include "platform/mac/ZQMACSettingsDB.h"
#include "platform/mac/ZQMACTableErrors.h"
#include "platform/mmdb/MMDerivedNames.h"
#include "platform/mmdb/MMMediaConfigDB.h"
#include "platform/tran/StoreStep.h"

namespace {

// The library type stored for a tape library whose own type is none or one
// of a disk library (the loader would take the row for a disk library).
constexpr int kTapeLibraryTypeId = 1;


// A link of the batch to its i-th new row of a kind.
int batchLink(size_t index) { return -static_cast<int>(index) - 1; }

}  // namespace

bool ZQMACGraph::IsNeverStored(ZQMACInterface* object) {
  ZQMACMediaConfig* owner = object != nullptr ? object->GetOwner() : nullptr;
  if (owner == nullptr || !IsDatabaseBacked(*owner) || object->m_iId >= 0) return false;
  switch (object->GetObjectType()) {
    case ZQMAC_OBJ_MEDIA_AGENT:
    case ZQMAC_OBJ_LMS:
    case ZQMAC_OBJ_LIBRARY:
    case ZQMAC_OBJ_LIBRARY_CHILD:
    case ZQMAC_OBJ_LIB_CONTROLLER:
    case ZQMAC_OBJ_IP_LIB_CONTROLLER:
    case ZQMAC_OBJ_MASTER_DRIVE_POOL:
    case ZQMAC_OBJ_DRIVE_POOL:
    case ZQMAC_OBJ_DRIVE:
    case ZQMAC_OBJ_DMS: return true;
    default: return false;
  }
}

bool ZQMACGraph::StoreNew(ZQMACInterface* object) {
  ZQMACMediaConfig& config = *object->GetOwner();
  const unsigned int type = object->GetObjectType();
  ZQMACLms* lms = type == ZQMAC_OBJ_MEDIA_AGENT ? nullptr : object->GetLms();
  if (type != ZQMAC_OBJ_MEDIA_AGENT && (lms == nullptr || !config.OwnsObject(lms))) {
    object->SetLastError(tkmac::kErrorNotStored,
                         "The object belongs to no library of the configuration; it cannot be stored.");
    return false;
  }

  // ---- what is to be stored ----
  std::vector<ZQMACInterface*> wanted;
  auto want = [&](ZQMACInterface* o) {
    if (o != nullptr && o->m_iId < 0) wanted.push_back(o);
  };
  auto wantAll = [&](auto list) {
    for (auto* e = list.GetFirstNode(); e != nullptr; e = list.GetNextNode()) want(e);
  };
  const bool wholeLibrary = lms != nullptr && lms->m_iId < 0;
  if (wholeLibrary) {
    want(lms);
    wantAll(lms->m_libControllerList);
    wantAll(lms->m_masterDrivePoolList);
    wantAll(lms->m_drivePoolList);
    wantAll(lms->m_driveList);
    wantAll(lms->m_dmsList);
    ZQMACLinkedList<ZQMACDrive> drives = lms->m_driveList;
    for (ZQMACDrive* d = drives.GetFirstNode(); d != nullptr; d = drives.GetNextNode()) wantAll(d->m_dmsList);
  } else {
    want(object);
    if (type == ZQMAC_OBJ_DRIVE) wantAll(static_cast<ZQMACDrive*>(object)->m_dmsList);
    if (type == ZQMAC_OBJ_MASTER_DRIVE_POOL) wantAll(static_cast<ZQMACMasterDrivePool*>(object)->m_drivePoolList);
  }

  // ---- the pools the objects get ----
  // Made as objects now (and freed on a refusal); the links of the objects
  // to them are made only once the rows are written.
  std::vector<std::unique_ptr<ZQMACInterface>> made;
  auto refuseMade = [&]() {
    const std::string text = config.GetLastError();
    for (auto it = made.rbegin(); it != made.rend(); ++it) it->reset();
    object->SetLastError(tkmac::kErrorAdoptRefused, text);
    return false;
  };
  ZQMACMasterDrivePool* master = nullptr;  // the library's pool for drives and pools without one
  auto masterOf = [&]() -> ZQMACMasterDrivePool* {
    if (master == nullptr) {
      ZQMACLinkedList<ZQMACMasterDrivePool> masters = lms->m_masterDrivePoolList;
      master = masters.GetFirstNode();
    }
    if (master == nullptr) {
      master = AddMasterDrivePool(lms, -1, tkmmdb::masterPoolName(lms->m_sName));
      if (master != nullptr) made.emplace_back(master);
    }
    return master;
  };
  std::map<ZQMACDrivePool*, ZQMACMasterDrivePool*> poolMaster;  // pools that join a master pool
  std::map<ZQMACDms*, ZQMACDrivePool*> pathPool;                // drive paths that join a pool
  const size_t explicitCount = wanted.size();
  for (size_t i = 0; i < explicitCount; ++i) {
    ZQMACInterface* o = wanted[i];
    if (o->GetObjectType() == ZQMAC_OBJ_DMS && static_cast<ZQMACDms*>(o)->m_pDrivePool == nullptr) {
      auto* path = static_cast<ZQMACDms*>(o);
      ZQMACDrivePool* pool = nullptr;
      ZQMACLinkedList<ZQMACDrivePool> pools = lms->m_drivePoolList;
      for (ZQMACDrivePool* p = pools.GetFirstNode(); p != nullptr && pool == nullptr; p = pools.GetNextNode())
        if (p->m_pMediaAgent == path->m_pMediaAgent && !p->IsNdmp()) pool = p;  // NDMP pools reach filers only
      if (pool == nullptr) {
        if (masterOf() == nullptr) return refuseMade();
        const std::string agent = path->m_pMediaAgent != nullptr ? path->m_pMediaAgent->m_sName : lms->m_sName;
        pool = AddDrivePool(lms, path->m_pMediaAgent, -1, tkmmdb::drivePoolName(agent));
        if (pool == nullptr) return refuseMade();
        made.emplace_back(pool);
        AddPoolToMaster(master, pool);
      }
      pathPool[path] = pool;
    }
  }
  // Every pool without a master pool joins the library's (new pools above
  // have theirs).
  auto poolsWithoutMaster = [&](ZQMACDrivePool* p) {
    if (p != nullptr && p->m_iId < 0 && p->m_pMasterDrivePool == nullptr && poolMaster.count(p) == 0) {
      if (masterOf() == nullptr) return false;
      poolMaster[p] = master;
    }
    return true;
  };
  for (ZQMACInterface* o : wanted) {
    if (o->GetObjectType() == ZQMAC_OBJ_DRIVE_POOL && !poolsWithoutMaster(static_cast<ZQMACDrivePool*>(o)))
      return refuseMade();
    if (o->GetObjectType() == ZQMAC_OBJ_DMS) {
      auto* path = static_cast<ZQMACDms*>(o);
      if (!poolsWithoutMaster(path->m_pDrivePool)) return refuseMade();
    }
    if (o->GetObjectType() == ZQMAC_OBJ_DRIVE && masterOf() == nullptr) return refuseMade();
    if (o->GetObjectType() == ZQMAC_OBJ_DMS && static_cast<ZQMACDms*>(o)->m_pDrive != nullptr &&
        static_cast<ZQMACDms*>(o)->m_pDrive->m_iId < 0 && masterOf() == nullptr)
      return refuseMade();
  }
  for (auto& m : made) want(m.get());

  // ---- the rows, parents first within the batch ----
  MMStoredConfig rows;
  std::map<ZQMACInterface*, int> links;  // object -> its link in `rows`
  std::vector<std::pair<ZQMACInterface*, std::pair<MMStoredKind, size_t>>> placed;
  auto place = [&](ZQMACInterface* o, MMStoredKind kind, size_t index) {
    links[o] = batchLink(index);
    placed.push_back({o, {kind, index}});
    return links[o];
  };
  // The link of an object that needs no new row (none, stored, or placed
  // already): true with `link` set.
  auto known = [&](ZQMACInterface* o, int& link) {
    if (o == nullptr || o->m_iId >= 0) {
      link = o == nullptr ? 0 : o->m_iId;
      return true;
    }
    auto it = links.find(o);
    if (it == links.end()) return false;
    link = it->second;
    return true;
  };
  auto agentLink = [&](ZQMACMediaAgent* a) -> int {
    if (int link = 0; known(a, link)) return link;
    MMStoredMediaAgent row;
    row.name = a->m_sName;
    row.attribute = a->m_bShown ? (a->m_iAttribute & ~kMMHiddenAttribute) : (a->m_iAttribute | kMMHiddenAttribute);
    rows.mediaAgents.push_back(std::move(row));
    return place(a, MMStoredKind::MediaAgent, rows.mediaAgents.size() - 1);
  };
  auto libraryLink = [&]() -> int {
    if (int link = 0; known(lms, link)) return link;
    MMStoredLibrary row;
    row.name = lms->m_sName;
    row.enabled = 1;
    row.libraryTypeId = kTapeLibraryTypeId;
    lms->MarkChanged(&lms->m_bShownFlag);  // a setting of its own, stored below
    if (const ZQMACLibrary* l = lms->m_pLibrary) {
      row.aliasName = l->m_sAliasName;
      row.vendor = l->m_sVendor;
      row.model = l->m_sProduct;
      row.serial = l->m_sDeviceTextA;
      row.firmware = l->m_sDeviceTextB;
      if (l->m_iType > 0 && !tkmac::isDiskLibraryTypeId(l->m_iType)) row.libraryTypeId = l->m_iType;
      row.vtlType = l->m_iVTLType;
      row.barCodeReader = l->m_bBarCodeReader ? 1 : 0;
      row.driveCount = l->m_iDriveCount;
      row.baseAddress = l->m_iBaseAddress;
      row.libraryAttribute = l->m_iAttribute;
    }
    rows.libraries.push_back(std::move(row));
    return place(lms, MMStoredKind::Library, rows.libraries.size() - 1);
  };
  auto masterLink = [&](ZQMACMasterDrivePool* m) -> int {
    if (int link = 0; known(m, link)) return link;
    MMStoredMasterPool row;
    row.name = m->m_sName;
    row.libraryId = libraryLink();
    rows.masterPools.push_back(std::move(row));
    return place(m, MMStoredKind::MasterPool, rows.masterPools.size() - 1);
  };
  auto poolLink = [&](ZQMACDrivePool* p) -> int {
    if (int link = 0; known(p, link)) return link;
    MMStoredDrivePool row;
    row.name = p->m_sName;
    row.enabled = 1;
    row.type = p->m_iType;
    row.copyManagerCtrlId = p->m_iCopyManagerId;
    row.costCategoryId = p->m_iCostCategoryId;
    if (p->IsNdmp()) row.proxyHost = p->m_sProxyClientHost;
    row.clientId = agentLink(p->m_pMediaAgent);
    auto joined = poolMaster.find(p);
    row.masterPoolId = masterLink(joined != poolMaster.end() ? joined->second : p->m_pMasterDrivePool);
    rows.drivePools.push_back(std::move(row));
    return place(p, MMStoredKind::DrivePool, rows.drivePools.size() - 1);
  };
  auto driveLink = [&](ZQMACDrive* d) -> int {
    if (int link = 0; known(d, link)) return link;
    MMStoredDrive row;
    row.name = d->m_sName;
    row.aliasName = d->m_sAliasName.empty() ? d->m_sName : d->m_sAliasName;
    row.serialNumber = d->m_sDeviceTextA.empty() ? d->m_sDriveId : d->m_sDeviceTextA;
    row.vendor = d->m_sVendor;
    row.model = d->m_sProduct;
    row.firmware = d->m_sDeviceTextB;
    row.driveNumber = d->m_iDriveNumber;
    row.enabled = 1;
    row.masterPoolId = masterLink(masterOf());
    rows.drives.push_back(std::move(row));
    return place(d, MMStoredKind::Drive, rows.drives.size() - 1);
  };
  for (ZQMACInterface* o : wanted) {
    switch (o->GetObjectType()) {
      case ZQMAC_OBJ_MEDIA_AGENT: agentLink(static_cast<ZQMACMediaAgent*>(o)); break;
      case ZQMAC_OBJ_LMS:
      case ZQMAC_OBJ_LIBRARY:
      case ZQMAC_OBJ_LIBRARY_CHILD: libraryLink(); break;
      case ZQMAC_OBJ_LIB_CONTROLLER:
      case ZQMAC_OBJ_IP_LIB_CONTROLLER: {
        auto* c = dynamic_cast<ZQMACLibController*>(o);
        if (c == nullptr || links.count(c) != 0) break;
        MMStoredLibraryController row;
        row.name = c->m_sName;
        row.isEnabled = 1;
        row.controllerType = static_cast<int>(c->m_uControllerType);
        row.clientId = agentLink(c->m_pMediaAgent);
        row.libraryId = libraryLink();
        rows.libraryControllers.push_back(std::move(row));
        place(c, MMStoredKind::LibraryController, rows.libraryControllers.size() - 1);
        break;
      }
      case ZQMAC_OBJ_MASTER_DRIVE_POOL: masterLink(static_cast<ZQMACMasterDrivePool*>(o)); break;
      case ZQMAC_OBJ_DRIVE_POOL: poolLink(static_cast<ZQMACDrivePool*>(o)); break;
      case ZQMAC_OBJ_DRIVE: driveLink(static_cast<ZQMACDrive*>(o)); break;
      case ZQMAC_OBJ_DMS: {
        auto* p = static_cast<ZQMACDms*>(o);
        if (links.count(p) != 0) break;
        if (p->m_pDrive == nullptr) {
          config.SetLastError(tkmac::kErrorNotStored, "The drive path [" + p->m_sName + "] reaches no drive.");
          return refuseMade();
        }
        MMStoredDrivePath row;
        row.pathName = p->m_sName;
        row.enabled = 1;
        row.driveId = driveLink(p->m_pDrive);
        auto joined = pathPool.find(p);
        row.drivePoolId = poolLink(joined != pathPool.end() ? joined->second : p->m_pDrivePool);
        row.clientId = agentLink(p->m_pMediaAgent);
        rows.drivePaths.push_back(std::move(row));
        place(p, MMStoredKind::DrivePath, rows.drivePaths.size() - 1);
        break;
      }
      default: break;
    }
  }

  // ---- written in one step: the rows, then what setters marked on them ----
  auto refuseWritten = [&](unsigned int code, const std::string& text) {
    for (auto it = made.rbegin(); it != made.rend(); ++it) it->reset();
    object->SetLastError(code, text);
    return false;
  };
  tktran::StoreStep step(__func__);
  if (!step.begin())
    return refuseWritten(tkmac::kErrorDatabase,
                         "The change could not be stored: " + step.error());
  MMMediaConfigDB access;
  if (access.insertObjects(rows) != 0) return refuseWritten(tkmac::modelErrorOf(access), access.lastErrorText());
  // The id each placed object's row took.
  auto idOf = [&](MMStoredKind kind, size_t index) {
    switch (kind) {
      case MMStoredKind::MediaAgent: return rows.mediaAgents[index].clientId;
      case MMStoredKind::Library: return rows.libraries[index].libraryId;
      case MMStoredKind::LibraryController: return rows.libraryControllers[index].id;
      case MMStoredKind::MasterPool: return rows.masterPools[index].id;
      case MMStoredKind::DrivePool: return rows.drivePools[index].id;
      case MMStoredKind::Drive: return rows.drives[index].id;
      case MMStoredKind::DrivePath: return rows.drivePaths[index].id;
      default: return -1;
    }
  };
  std::vector<tkmac::MarkedValues> marked(placed.size());
  for (size_t i = 0; i < placed.size(); ++i) {
    const auto& [o, where] = placed[i];
    const auto [kind, index] = where;
    const int id = idOf(kind, index);
    // A library's marks are read through its library-management object.
    if (!tkmac::collectMarked(*o, kind, true, marked[i]))
      return refuseWritten(o->GetLastErrorCode(), o->GetLastError());
    tkmac::ObjectSettingDB settings;
    if (!marked[i].values.empty() && settings.store(static_cast<int>(kind), id, marked[i].values) != 0)
      return refuseWritten(tkmac::modelErrorOf(settings), settings.lastErrorText());
  }
  if (!step.commit())
    return refuseWritten(tkmac::kErrorDatabase,
                         "The change could not be stored: " + step.error());
  for (const tkmac::MarkedValues& written : marked) tkmac::forgetMarks(written);

  // ---- the objects take their ids and links ----
  for (auto& m : made) m.release();  // the instance keeps them
  for (const auto& [o, where] : placed) {
    const auto [kind, index] = where;
    if (kind == MMStoredKind::Drive) {
      // A drive stored without an alias of its own is stored under its
      // name, which the loader takes as its alias: the session shows it so.
      SetId(o, idOf(kind, index));
      static_cast<ZQMACDrive*>(o)->m_sAliasName = rows.drives[index].aliasName;
    } else if (kind != MMStoredKind::Library) {
      SetId(o, idOf(kind, index));
    } else {
      const MMStoredLibrary& row = rows.libraries[index];
      // The loader names a library by its alias when it has one.
      const std::string& name = row.aliasName.empty() ? row.name : row.aliasName;
      for (ZQMACInterface* part : {static_cast<ZQMACInterface*>(lms), static_cast<ZQMACInterface*>(lms->m_pLibrary),
                                   static_cast<ZQMACInterface*>(lms->m_pLibControllerNode)}) {
        if (part == nullptr) continue;
        SetId(part, row.libraryId);
        part->m_sName = name;
        part->m_bConfigured = true;
      }
    }
    o->m_bConfigured = true;
  }
  for (const auto& [pool, m] : poolMaster) AddPoolToMaster(m, pool);
  for (const auto& [path, pool] : pathPool) {
    path->m_pDrivePool = pool;
    pool->m_dmsList.AddNode(path);
  }
  object->ClearLastError();
  return true;
}
