// Writing the configuration objects of a database-backed instance back to
// the central database: a rename, a Configure or Deconfigure (configured
// state and the object's settings) and a deletion each go through the
// media-configuration table access as one all-or-nothing change, so that
// the next load, another console and the handlers' own table reads all see
// what the model shows. A change that fails writes nothing; the object
// keeps its values and carries the reason as its last error.
//
// Settings each kind writes with a Configure or Deconfigure (besides what
// setters marked, platform/mac/ZQMACStoredSettings.h):
//   tape library      BarCodeReaderPresent, its shown state (a setting)
//   disk library      LowWaterMarkMB, LibraryAttribute, its shown state
//   media agent       Attribute (its shown state as bit 0x2000)
//   drive pool        DrivePoolType, CopyManagerCtrlId, CostCategoryId
//   drive             DriveNumber
//   drive path        DrivePoolId
//   mount path        UserName, MountPathTypeId, UserPassword (when set)
//   disk device       DeviceTypeId, DRUHostId
//   disk volume       Folder (its volume), UserName, DeviceAccessType,
//                     CredentialAssocId, UserPassword (when set)
//   copy manager      its configured state (a setting); a controller's
//                     rename is the row's ControllerName
#include <string>
#include <vector>

#include "platform/mac/ZQMACGraph.h"
#include "platform/db/DBValue.h"
#include "platform/db/DBtable.h"
#include "platform/mac/ZQMACPlatform.h"
#include "platform/mac/ZQMACSettingsDB.h"
#include "platform/mac/ZQMACTableErrors.h"
#include "platform/mmdb/MMMediaConfigDB.h"
#include "platform/tran/StoreStep.h"

namespace {

// Whether the object is to be written: it belongs to a database-backed
// instance and is of a kind the database holds. An object of such an
// instance that was never stored cannot be written yet: false with `error`.
bool writable(ZQMACInterface* object, MMStoredKind& kind, bool& refuse) {
  refuse = false;
  ZQMACMediaConfig* owner = object->GetOwner();
  if (owner == nullptr || !ZQMACGraph::IsDatabaseBacked(*owner) || !tkmac::storedKindOf(*object, kind)) return false;
  if (object->GetId() == 0xFFFFFFFFu) {
    refuse = true;
    return false;
  }
  return true;
}

void failWith(ZQMACInterface* object, const MMTableAccess& access) {
  object->SetLastError(tkmac::modelErrorOf(access), access.lastErrorText());
}

void refuseUnstored(ZQMACInterface* object) {
  object->SetLastError(tkmac::kErrorNotStored,
                       "The object is not stored in the configuration database; it cannot be changed there.");
}

}  // namespace

bool ZQMACGraph::StoreObject(ZQMACInterface* object, const std::string* newName, int configured) {
  MMStoredKind kind;
  bool refuse = false;
  if (!writable(object, kind, refuse)) {
    if (refuse) refuseUnstored(object);
    return !refuse;
  }
  std::vector<MMStoredColumn> settings;
  const std::string* name = newName;
  const std::string* renamedController = nullptr;
  switch (object->GetObjectType()) {
    case ZQMAC_OBJ_LMS:
    case ZQMAC_OBJ_LIBRARY: {
      ZQMACLms* lms = object->GetLms();
      ZQMACLibrary* library = lms != nullptr ? lms->m_pLibrary : nullptr;
      if (library != nullptr && configured != MMMediaConfigDB::kKeepConfigured)
        settings.push_back({"BarCodeReaderPresent", library->m_bBarCodeReader ? 1 : 0});
      break;
    }
    case ZQMAC_OBJ_MAGLIB: {
      auto* m = static_cast<ZQMACMagLib*>(object);
      if (configured != MMMediaConfigDB::kKeepConfigured) {
        settings.push_back({"LowWaterMarkMB", m->m_iLowWatermark});
        settings.push_back({"LibraryAttribute", m->m_iAttribute});
      }
      break;
    }
    case ZQMAC_OBJ_MEDIA_AGENT: {
      auto* a = static_cast<ZQMACMediaAgent*>(object);
      if (configured != MMMediaConfigDB::kKeepConfigured) {
        const int attribute = a->m_bShown ? (a->m_iAttribute & ~kMMHiddenAttribute)
                                          : (a->m_iAttribute | kMMHiddenAttribute);
        settings.push_back({"Attribute", attribute});
      }
      // A media agent has no configured state of its own.
      configured = MMMediaConfigDB::kKeepConfigured;
      break;
    }
    case ZQMAC_OBJ_MASTER_DRIVE_POOL:
      configured = MMMediaConfigDB::kKeepConfigured;
      break;
    case ZQMAC_OBJ_DRIVE_POOL: {
      auto* p = static_cast<ZQMACDrivePool*>(object);
      if (configured != MMMediaConfigDB::kKeepConfigured) {
        settings.push_back({"DrivePoolType", p->m_iType});
        settings.push_back({"CopyManagerCtrlId", p->m_iCopyManagerId});
        settings.push_back({"CostCategoryId", p->m_iCostCategoryId});
      }
      break;
    }
    case ZQMAC_OBJ_DRIVE:
      if (configured != MMMediaConfigDB::kKeepConfigured)
        settings.push_back({"DriveNumber", static_cast<ZQMACDrive*>(object)->m_iDriveNumber});
      break;
    case ZQMAC_OBJ_DMS: {
      auto* p = static_cast<ZQMACDms*>(object);
      if (configured != MMMediaConfigDB::kKeepConfigured) {
        const ZQMACDrivePool* pool = p->m_pDrivePool;
        settings.push_back({"DrivePoolId", pool != nullptr && pool->m_iId > 0 ? pool->m_iId : 0});
      }
      break;
    }
    case ZQMAC_OBJ_MOUNT_PATH: {
      auto* p = static_cast<ZQMACMountPath*>(object);
      if (configured != MMMediaConfigDB::kKeepConfigured) {
        settings.push_back({"UserName", p->m_sUserName});
        settings.push_back({"MountPathTypeId", p->m_iMountPathType});
        if (!p->m_sPassword.empty()) settings.push_back({"UserPassword", p->m_sPassword});
      }
      break;
    }
    case ZQMAC_OBJ_DISK_DEVICE: {
      auto* d = static_cast<ZQMACDiskDevice*>(object);
      if (configured != MMMediaConfigDB::kKeepConfigured) {
        settings.push_back({"DeviceTypeId", d->m_iDeviceType});
        settings.push_back({"DRUHostId", d->m_iDRUId});
      }
      break;
    }
    case ZQMAC_OBJ_DISK_VOLUME: {
      auto* v = static_cast<ZQMACDiskVolume*>(object);
      if (configured != MMMediaConfigDB::kKeepConfigured) {
        // The volume is the stored name of a disk volume.
        if (name == nullptr && v->m_sVolume != v->m_sName && !v->m_sVolume.empty()) name = &v->m_sVolume;
        settings.push_back({"UserName", v->m_sUserName});
        settings.push_back({"DeviceAccessType", v->m_iDeviceAccessType});
        settings.push_back({"CredentialAssocId", v->m_iCredentialId});
        if (!v->m_sPassword.empty()) settings.push_back({"UserPassword", v->m_sPassword});
      }
      break;
    }
    case ZQMAC_OBJ_COPY_MGR_CONTROLLER:
      // The controller's name is a column of the copy manager's row.
      if (name != nullptr) {
        settings.push_back({"ControllerName", *name});
        name = nullptr;
        renamedController = newName;
      }
      break;
    default:
      break;
  }
  // A library's shown state is its own setting (the bits of its
  // ExtendedAttributes belong to the storage-library request), written
  // with a Configure or Deconfigure; whatever a setter marked goes along.
  const bool library = kind == MMStoredKind::Library;
  if (library && configured != MMMediaConfigDB::kKeepConfigured) object->MarkChanged(&object->m_bShownFlag);
  tkmac::MarkedValues marked;
  if (!tkmac::collectMarked(*object, kind, false, marked)) return false;
  for (MMStoredColumn& column : marked.columns) {
    bool given = false;
    for (const MMStoredColumn& known : settings) given = given || known.column == column.column;
    if (!given) settings.push_back(std::move(column));
  }
  if (!WriteStored(object, kind, static_cast<int>(object->GetId()), name, configured, settings, marked.values))
    return false;
  tkmac::forgetMarks(marked);
  // The stored values are the object's now; a library's parts share its name.
  if (renamedController != nullptr) object->m_sName = *renamedController;
  if (name != nullptr) {
    object->m_sName = *name;
    if (ZQMACLms* lms = (object->GetObjectType() == ZQMAC_OBJ_LMS || object->GetObjectType() == ZQMAC_OBJ_LIBRARY)
                            ? object->GetLms()
                            : nullptr) {
      lms->m_sName = *name;
      if (lms->m_pLibrary != nullptr) lms->m_pLibrary->m_sName = *name;
      if (lms->m_pLibControllerNode != nullptr) lms->m_pLibControllerNode->m_sName = *name;
    }
    if (object->GetObjectType() == ZQMAC_OBJ_DISK_VOLUME) static_cast<ZQMACDiskVolume*>(object)->m_sVolume = *name;
  }
  // A library's parts share its configured state as they share its row.
  if (configured != MMMediaConfigDB::kKeepConfigured &&
      (object->GetObjectType() == ZQMAC_OBJ_LMS || object->GetObjectType() == ZQMAC_OBJ_LIBRARY)) {
    if (ZQMACLms* lms = object->GetLms()) {
      lms->m_bConfigured = configured != 0;
      if (lms->m_pLibrary != nullptr) lms->m_pLibrary->m_bConfigured = configured != 0;
    }
  }
  if (object->GetObjectType() == ZQMAC_OBJ_MEDIA_AGENT && !settings.empty())
    static_cast<ZQMACMediaAgent*>(object)->m_iAttribute = static_cast<int>(settings.front().value.i);
  return true;
}

bool ZQMACGraph::StillStored(ZQMACInterface* object) {
  MMStoredKind kind;
  bool refuse = false;
  if (!writable(object, kind, refuse)) return true;
  // A write of nothing finds the row and changes none.
  MMMediaConfigDB access;
  if (access.storeObject(kind, static_cast<int>(object->GetId()), nullptr, MMMediaConfigDB::kKeepConfigured, {}) != 0) {
    failWith(object, access);
    return false;
  }
  // A row deleted and inserted again under the id is another object.
  return StillTheRowLaid(object, kind);
}

bool ZQMACGraph::RemoveStored(ZQMACInterface* object, std::vector<ZQMACInterface*>& dependents) {
  dependents.clear();
  MMStoredKind kind;
  bool refuse = false;
  if (!writable(object, kind, refuse)) return true;  // nothing stored: only the object goes
  // The rows and the model's own settings of what they took go together.
  tktran::StoreStep step(__func__);
  if (!step.begin()) {
    object->SetLastError(tkmac::kErrorDatabase,
                         "The object could not be removed: " + step.error());
    return false;
  }
  // The settings that go are those of the objects the change log names
  // for the removal.
  MMMediaConfigDB access;
  long long mark = -1;
  if (access.changeLogMark(mark) != 0) {
    failWith(object, access);
    return false;
  }
  if (access.removeObject(kind, static_cast<int>(object->GetId())) != 0) {
    failWith(object, access);
    return false;
  }
  tkmac::ObjectSettingDB settings;
  if (settings.removeGone(mark) != 0) {
    failWith(object, settings);
    return false;
  }
  if (!step.commit()) {
    object->SetLastError(tkmac::kErrorDatabase,
                         "The object could not be removed: " + step.error());
    return false;
  }
  // What the rows took with them goes from the graph too; each object once.
  auto add = [&](ZQMACInterface* dependent) {
    if (dependent == nullptr || dependent == object) return;
    for (ZQMACInterface* known : dependents)
      if (known == dependent) return;
    dependents.push_back(dependent);
  };
  auto addAll = [&](auto list) {
    for (auto* e = list.GetFirstNode(); e != nullptr; e = list.GetNextNode()) add(e);
  };
  switch (object->GetObjectType()) {
    case ZQMAC_OBJ_LMS:
    case ZQMAC_OBJ_LIBRARY: {
      ZQMACLms* lms = object->GetLms();
      if (lms == nullptr) break;
      addAll(lms->m_dmsList);
      addAll(lms->m_driveList);
      addAll(lms->m_drivePoolList);
      addAll(lms->m_masterDrivePoolList);
      addAll(lms->m_libControllerList);
      add(lms->m_pLibControllerNode);
      add(lms->m_pLibrary);
      add(lms);
      break;
    }
    case ZQMAC_OBJ_MAGLIB:
      addAll(static_cast<ZQMACMagLib*>(object)->m_mountPathList);
      break;
    case ZQMAC_OBJ_DRIVE:
      addAll(static_cast<ZQMACDrive*>(object)->m_dmsList);
      break;
    case ZQMAC_OBJ_DRIVE_POOL:
      addAll(static_cast<ZQMACDrivePool*>(object)->m_dmsList);
      break;
    case ZQMAC_OBJ_MASTER_DRIVE_POOL: {
      ZQMACLinkedList<ZQMACDrivePool> pools = static_cast<ZQMACMasterDrivePool*>(object)->m_drivePoolList;
      for (ZQMACDrivePool* pool = pools.GetFirstNode(); pool != nullptr; pool = pools.GetNextNode()) {
        addAll(pool->m_dmsList);
        add(pool);
      }
      break;
    }
    case ZQMAC_OBJ_DISK_DEVICE:
      addAll(static_cast<ZQMACDiskDevice*>(object)->m_volumeList);
      break;
    // One row holds a copy manager's device and its controller: either
    // takes the other along.
    case ZQMAC_OBJ_COPY_MGR_DEVICE:
      addAll(static_cast<ZQMACCopyMgrDevice*>(object)->GetControllerList());
      break;
    case ZQMAC_OBJ_COPY_MGR_CONTROLLER:
      if (ZQMACCopyMgrDevice* device = static_cast<ZQMACCopyMgrController*>(object)->m_pCopyMgrDevice) {
        addAll(device->GetControllerList());
        add(device);
      }
      break;
    default:
      break;
  }
  return true;
}

// ---------------------------------------------------------------- new media agents and controllers

bool ZQMACGraph::InsertMediaAgent(ZQMACMediaAgent* agent) {
  ZQMACMediaConfig* owner = agent->GetOwner();
  if (owner == nullptr || !IsDatabaseBacked(*owner)) return true;
  MMStoredMediaAgent row;
  row.name = agent->m_sName;
  row.netHostName = agent->m_sNetHostName.empty() ? agent->m_sName : agent->m_sNetHostName;
  row.attribute = agent->m_iAttribute;
  MMMediaConfigDB access;
  if (access.insertMediaAgent(row) != 0) {
    failWith(agent, access);
    return false;
  }
  SetId(agent, row.clientId);
  agent->ForgetChanged(&agent->m_iAttribute);
  return true;
}

bool ZQMACGraph::InsertLibController(ZQMACMediaAgent* agent, ZQMACLibController* controller) {
  ZQMACMediaConfig* owner = agent->GetOwner();
  if (owner == nullptr || !IsDatabaseBacked(*owner)) return true;
  ZQMACLibrary* library = controller->GetLibrary();
  const int type = static_cast<int>(controller->m_uControllerType);
  // A controller of a library the instance holds already (a copy of one of
  // its controllers) is the only new row; else the library is new too.
  const bool storedLibrary = library != nullptr && library->GetOwner() == owner && library->m_iId > 0;
  if (storedLibrary && agent->m_iId <= 0) {
    refuseUnstored(agent);
    return false;
  }
  auto failTran = [&](const std::string& reason) {
    agent->SetLastError(tkmac::kErrorDatabase, "The library controller could not be stored: " + reason);
    return false;
  };
  tktran::StoreStep step(__func__);
  if (!step.begin()) return failTran(step.error());
  int controllerId = 0;
  int libraryId = storedLibrary ? library->m_iId : -1;
  int clientId = agent->m_iId;
  if (storedLibrary) {
    tkmac::ObjectSettingDB access;
    if (access.insertController(libraryId, clientId, controller->m_sName, type, controllerId) != 0) {
      failWith(agent, access);
      return false;
    }
  } else {
    MMStoredLibrary row;
    MMStoredLibraryController link;
    // The library is stored under the name it is known by so far; the
    // console gives it its alias when it configures it.
    row.name = NewLibraryName(library, controller);
    if (library != nullptr) {
      row.vendor = library->m_sVendor;
      row.model = library->m_sProduct;
      row.driveCount = library->m_iDriveCount;
      row.baseAddress = library->m_iBaseAddress;
    }
    link.name = controller->m_sName;
    link.clientId = agent->m_iId >= 0 ? agent->m_iId : -1;
    link.controllerType = type;
    MMMediaConfigDB access;
    if (access.insertLibraryController(agent->m_sName, row, link) != 0) {
      failWith(agent, access);
      return false;
    }
    controllerId = link.id;
    libraryId = row.libraryId;
    clientId = link.clientId;
  }
  // What the request set on the new controller and on a new library (an
  // IP controller's marker and library server, a volume range, ...) goes
  // with their rows; the columns are in the rows already.
  // An IP controller is reached through its library server, which is
  // stored with it whether or not a setter marked it (a copy carries no
  // marks of its own).
  if (controller->GetObjectType() == ZQMAC_OBJ_IP_LIB_CONTROLLER)
    controller->MarkChanged(&controller->m_sServerHostName);
  tkmac::MarkedValues controllerValues;
  tkmac::MarkedValues libraryValues;
  if (!tkmac::collectMarked(*controller, MMStoredKind::LibraryController, true, controllerValues) ||
      (!storedLibrary && library != nullptr &&
       !tkmac::collectMarked(*library, MMStoredKind::Library, true, libraryValues))) {
    agent->SetLastError(controller->GetLastErrorCode(), controller->GetLastError());
    return false;
  }
  tkmac::ObjectSettingDB settings;
  if ((!controllerValues.values.empty() &&
       settings.store(static_cast<int>(MMStoredKind::LibraryController), controllerId, controllerValues.values) != 0) ||
      (!libraryValues.values.empty() &&
       settings.store(static_cast<int>(MMStoredKind::Library), libraryId, libraryValues.values) != 0)) {
    failWith(agent, settings);
    return false;
  }
  if (!step.commit()) return failTran(step.error());
  tkmac::forgetMarks(controllerValues);
  tkmac::forgetMarks(libraryValues);
  if (agent->m_iId < 0) SetId(agent, clientId);
  controller->m_iId = controllerId;
  if (library != nullptr && library->GetOwner() == nullptr) library->m_iId = libraryId;
  return true;
}

void ZQMACGraph::RemoveInsertedLibController(ZQMACLibController* controller) {
  ZQMACLibrary* library = controller->GetLibrary();
  if (controller->m_iId < 0 || library == nullptr || library->m_iId < 0) return;
  if (library->GetOwner() != nullptr) {
    // Only the controller was new: the library stays.
    MMMediaConfigDB access;
    access.removeObject(MMStoredKind::LibraryController, controller->m_iId);
    tkmac::ObjectSettingDB settings;
    settings.removeAll(static_cast<int>(MMStoredKind::LibraryController), controller->m_iId);
    controller->m_iId = -1;
    return;
  }
  MMMediaConfigDB access;
  access.removeObject(MMStoredKind::Library, library->m_iId);
  controller->m_iId = -1;
  library->m_iId = -1;
}

bool ZQMACGraph::StoreConfiguredStates(const std::vector<std::pair<ZQMACInterface*, int>>& states,
                                       ZQMACBase& errorTo) {
  tktran::StoreStep step(__func__);
  bool open = false;
  for (const auto& [object, configured] : states) {
    MMStoredKind kind;
    bool refuse = false;
    if (!writable(object, kind, refuse)) continue;
    // Kinds without a configured state of their own (as StoreObject).
    if (kind == MMStoredKind::MediaAgent || kind == MMStoredKind::MasterPool) continue;
    if (!open) {
      if (!step.begin()) {
        errorTo.SetLastError(tkmac::kErrorDatabase,
                             "The change could not be stored: " + step.error());
        return false;
      }
      open = true;
    }
    MMMediaConfigDB access;
    if (access.storeObject(kind, static_cast<int>(object->GetId()), nullptr, configured, {}) != 0) {
      errorTo.SetLastError(tkmac::modelErrorOf(access), access.lastErrorText());
      return false;
    }
  }
  if (!open) return true;
  if (!step.commit()) {
    errorTo.SetLastError(tkmac::kErrorDatabase,
                         "The change could not be stored: " + step.error());
    return false;
  }
  return true;
}

bool ZQMACGraph::StoreLibraryDescription(ZQMACMediaAgent* agent, ZQMACLibController* controller,
                                         const std::string& vendor, const std::string& product, int driveCount,
                                         int baseAddress) {
  ZQMACMediaConfig* owner = controller->GetOwner();
  ZQMACLibrary* library = controller->GetLibrary();
  if (owner == nullptr || !IsDatabaseBacked(*owner) || library == nullptr || library->m_iId < 0) return true;
  MMMediaConfigDB access;
  if (access.storeObject(MMStoredKind::Library, library->m_iId, nullptr, MMMediaConfigDB::kKeepConfigured,
                         {{"LibraryVendor", vendor},
                          {"LibraryModel", product},
                          {"DriveCount", driveCount},
                          {"BaseAddress", baseAddress}}) != 0) {
    failWith(agent, access);
    return false;
  }
  return true;
}
