// Building and editing the graph of a configuration instance: what a loader
// (and a test fixture) uses to make objects, link them and set the fields
// that the handlers read through the accessors.
//
// Each Add function makes the object, hands it to the instance (which owns
// it; its handle is given when first asked for), sets its id and name,
// links it to its parents and enters it in the instance's lists and id
// maps. They return null when the instance refuses the object (the reason
// is the instance's last error).
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "frame/mac/ZQMACObjects.h"

struct MMStoredConfig;
struct MMStoredSnapshot;
struct MMStoredDevice;
struct MMStoredDeviceController;
struct MMStoredMountPath;
struct MMStoredLibrary;
struct ZQMACParkedGraph;
struct ZQMACDiskIndex;
struct MMStoredDRUHost;
struct MMStoredCenteraCluster;
struct MMStoredColumn;
namespace tkmac {
struct StoredSetting;
struct StoredSettingRow;
}
enum class MMStoredKind;

class ZQMACGraph {
 public:
  // ---- making objects ----
  static ZQMACMediaAgent* AddMediaAgent(ZQMACMediaConfig& config, int id, const std::string& name,
                                        const std::string& netHostName);
  // A tape or optical library: the library-management object with its
  // library part (same id and name) and its controller group node.
  static ZQMACLms* AddLms(ZQMACMediaConfig& config, int id, const std::string& name);
  static ZQMACLibController* AddLibController(ZQMACLms* lms, ZQMACMediaAgent* agent, int id, const std::string& name);
  static ZQMACIPLibController* AddIPLibController(ZQMACLms* lms, ZQMACMediaAgent* agent, int id,
                                                  const std::string& name);
  static ZQMACDrivePool* AddDrivePool(ZQMACLms* lms, ZQMACMediaAgent* agent, int id, const std::string& name);
  static ZQMACMasterDrivePool* AddMasterDrivePool(ZQMACLms* lms, int id, const std::string& name);
  static void AddPoolToMaster(ZQMACMasterDrivePool* master, ZQMACDrivePool* pool);
  static ZQMACDrive* AddDrive(ZQMACLms* lms, int id, const std::string& name, int driveNumber);
  // A drive path: the drive as the agent reaches it, in the pool.
  static ZQMACDms* AddDms(ZQMACDrive* drive, ZQMACDrivePool* pool, ZQMACMediaAgent* agent, int id,
                          const std::string& name);
  static ZQMACMagLib* AddMagLib(ZQMACMediaConfig& config, ZQMACMediaAgent* agent, int id, const std::string& name);
  static ZQMACMountPath* AddMountPath(ZQMACMagLib* library, ZQMACMediaAgent* agent, int id, const std::string& name);
  static ZQMACDiskDevice* AddDiskDevice(ZQMACMediaConfig& config, int id, const std::string& name);
  static ZQMACDiskVolume* AddDiskVolume(ZQMACDiskDevice* device, ZQMACMediaAgent* agent, int id,
                                        const std::string& volume);
  static ZQMACCenteraCluster* AddCenteraCluster(ZQMACMediaConfig& config, int id, const std::string& name);
  static ZQMACHost* AddHost(ZQMACMediaConfig& config, int id, const std::string& name);
  static ZQMACCopyMgrDevice* AddCopyMgrDevice(ZQMACMediaConfig& config, int id, const std::string& name);
  static ZQMACCopyMgrController* AddCopyMgrController(ZQMACCopyMgrDevice* device, ZQMACMediaAgent* agent, int id,
                                                      const std::string& name);
  static ZQMACNode* AddCostCategory(ZQMACMediaConfig& config, int id, const std::string& name);

  // ---- reading where it lies ----
  // Clears the library from the mount paths of its list that name it (a
  // library being freed by its instance).
  static void UnlinkMountPaths(ZQMACMagLib* library);
  // A drive's paths, without the copy GetDmsList makes.
  static const ZQMACLinkedList<ZQMACDms>& DmsOf(const ZQMACDrive& drive) { return drive.m_dmsList; }

  // ---- common fields ----
  // Sets the database id and keeps the instance's id maps in step.
  static void SetId(ZQMACInterface* object, int id);
  // Stores a media agent the instance made for a new name, with its
  // attribute word, and gives it its id. True without writing in an
  // instance not backed by the database; false with the reason as the
  // agent's last error.
  static bool InsertMediaAgent(ZQMACMediaAgent* agent);
  // The same for an object a load makes from its row (not a change).
  static void IndexId(ZQMACInterface* object, int id);
  static void SetName(ZQMACInterface* object, const std::string& name) { object->NoteChange(); object->m_sName = name; }
  static void SetDisplayName(ZQMACInterface* object, const std::string& name) {
    object->NoteChange();
    object->m_sDisplayName = name;
  }
  static void SetTexts(ZQMACInterface* object, const std::string& textA, const std::string& textB) {
    object->NoteChange();
    object->m_sTextA = textA;
    object->m_sTextB = textB;
  }
  // The same for a tape library's description, which is stored with it
  // (marked, so that the library's first store writes it too).
  static void SetLibraryTexts(ZQMACLms* lms, const std::string& textA, const std::string& textB) {
    SetTexts(lms, textA, textB);
    lms->MarkChanged(&lms->m_sTextA);
    lms->MarkChanged(&lms->m_sTextB);
  }
  static void SetPropertyC(ZQMACInterface* object, unsigned int value) {
    object->NoteChange();
    object->m_uPropertyC = value;
  }
  static void SetConfigured(ZQMACInterface* object, bool configured) {
    object->NoteChange();
    object->m_bConfigured = configured;
  }
  static void SetStateB(ZQMACInterface* object, bool state) { object->NoteChange(); object->m_bStateB = state; }
  static void SetShownFlag(ZQMACInterface* object, bool shown) { object->NoteChange(); object->m_bShownFlag = shown; }
  static void SetServerHostName(ZQMACScsiUnit* unit, const std::string& host) {
    unit->NoteChange();
    unit->m_sServerHostName = host;
  }

  // ---- instance ----
  static void SetServerName(ZQMACMediaConfig& config, const std::string& name) { config.m_sServerName = name; }
  static void SetDrives(ZQMACMediaConfig& config, const std::string& localDrive, const std::string& tkdbDrive) {
    config.m_sLocalDrive = localDrive;
    config.m_sTKDBDrive = tkdbDrive;
  }
  static void SetLocalPlatformType(ZQMACPlatformType type) { ZQMACMediaConfig::m_eLocalPlatformType.store(type); }
  static void SetDriveVendors(ZQMACMediaConfig& config, std::vector<ZQMACVendorEntry> entries) {
    config.m_vendorInfo.m_driveVendors = std::move(entries);
  }
  static void SetLibraryVendors(ZQMACMediaConfig& config, bool selector, std::vector<ZQMACVendorEntry> entries) {
    config.m_vendorInfo.m_libraryVendors[selector ? 1 : 0] = std::move(entries);
  }

  // ---- media agent ----
  static void SetNetHostName(ZQMACMediaAgent* a, const std::string& host) { a->NoteChange(); a->m_sNetHostName = host; }
  static void SetOSId(ZQMACMediaAgent* a, long long osId) { a->NoteChange(); a->m_llOSId = osId; }
  static void SetDetected(ZQMACMediaAgent* a, bool detected) { a->NoteChange(); a->m_bDetected = detected; }
  static void SetAutoUpdateSCSIAddress(ZQMACMediaAgent* a, bool on) {
    a->NoteChange();
    a->m_bAutoUpdateSCSIAddress = on;
  }
  static void SetAttribute(ZQMACMediaAgent* a, int attribute) { a->NoteChange(); a->m_iAttribute = attribute; }
  // ---- detection ----
  static void SetForeign(ZQMACMediaAgent* a, bool foreign) { a->NoteChange(); a->m_bForeign = foreign; }
  static void SetPropertyD(ZQMACInterface* object, unsigned int value) {
    object->NoteChange();
    object->m_uPropertyD = value;
  }
  // (The device part is reached through the object, which notes the change.)
  template <class T>
  static void SetDeviceIdentifier(T* object, const std::string& id) {
    object->NoteChange();
    static_cast<ZQMACDevicePart*>(object)->m_sDeviceIdentifier = id;
  }
  static void SetAddressParts(ZQMACScsiUnit* unit, unsigned int a, unsigned int b) {
    unit->NoteChange();
    unit->m_uAddressPartA = a;
    unit->m_uAddressPartB = b;
  }
  static void SetUnitStateC(ZQMACScsiUnit* unit, bool on) { unit->NoteChange(); unit->m_bStateC = on; }
  static void SetControllerType(ZQMACScsiUnit* unit, unsigned int type) {
    unit->NoteChange();
    unit->m_uControllerType = type;
  }
  static void SetUnitHostName(ZQMACScsiUnit* unit, const std::string& host) {
    unit->NoteChange();
    unit->m_sUnitHostName = host;
  }
  // ---- end of detection ----

  // ---- library ----
  struct LibraryGeometry {
    int baseAddress = 0;
    int driveCount = 0;
    int slotCount = 0;
    int type = 0;
    int vtlType = 0;
  };
  static void SetGeometry(ZQMACLibrary* l, const LibraryGeometry& g) {
    l->NoteChange();
    l->m_iBaseAddress = g.baseAddress;
    l->m_iDriveCount = g.driveCount;
    l->m_iSlotCount = g.slotCount;
    l->m_iType = g.type;
    l->m_iVTLType = g.vtlType;
  }
  static void SetLibraryAttribute(ZQMACLibrary* l, int attribute) { l->NoteChange(); l->m_iAttribute = attribute; }
  static void SetBarCodeReaderFlag(ZQMACLibrary* l, bool on) { l->NoteChange(); l->m_bBarCodeReader = on; }
  static void SetDoorLock(ZQMACLibrary* l, bool locked) { l->NoteChange(); l->m_bDoorLock = locked; }
  static void SetVolumeRange(ZQMACLibrary* l, const std::string& range) { l->NoteChange(); l->m_sVolumeRange = range; }
  static void SetSlotRange(ZQMACLibrary* l, const std::string& range) { l->NoteChange(); l->m_sSlotRange = range; }
  static void SetLibraryFlags(ZQMACLibrary* l, bool autoConfigDDS, bool autoConfigFailover, bool useACSLSCleanPool,
                              bool useIPDriveID) {
    l->m_bAutoConfigDDS = autoConfigDDS;
    l->m_bAutoConfigFailover = autoConfigFailover;
    l->m_bUseACSLSCleanPool = useACSLSCleanPool;
    l->m_bUseIPDriveID = useIPDriveID;
  }
  static void SetDriveIdentifiers(ZQMACLibrary* l, std::map<int, std::string> ids) {
    l->NoteChange();
    l->m_driveIdentifiers = std::move(ids);
  }
  static void SetLibrary(ZQMACLms* lms, ZQMACLibrary* library) {
    lms->m_pLibrary = library;
    if (library != nullptr) library->m_pLms = lms;
  }
  static void SetAutoDiscover(ZQMACLms* lms, bool on) { lms->NoteChange(); lms->m_bAutoDiscover = on; }

  // ---- drives ----
  static void SetCreatedByUser(ZQMACDrivePool* p, bool byUser) { p->NoteChange(); p->m_bCreatedByUser = byUser; }
  static void SetProxyClientHost(ZQMACDrivePool* p, const std::string& host) {
    p->NoteChange();
    p->m_sProxyClientHost = host;
  }
  static void SetCopyManagerId(ZQMACDrivePool* p, int id) { p->NoteChange(); p->m_iCopyManagerId = id; }
  static void SetCostCategoryId(ZQMACDrivePool* p, int id) { p->NoteChange(); p->m_iCostCategoryId = id; }
  static void SetDriveIds(ZQMACDrive* d, const std::string& driveId, const std::string& ibmDriveId) {
    d->NoteChange();
    d->m_sDriveId = driveId;
    d->m_sIBMDriveId = ibmDriveId;
  }
  static void SetDriveNumber(ZQMACDrive* d, int number) { d->NoteChange(); d->m_iDriveNumber = number; }

  // ---- disk libraries ----
  static void SetAliasName(ZQMACMagLib* l, const std::string& alias) { l->NoteChange(); l->m_sAliasName = alias; }
  static void SetLowWatermark(ZQMACMagLib* l, int watermark) { l->NoteChange(); l->m_iLowWatermark = watermark; }
  static void SetMagLibAttribute(ZQMACMagLib* l, int attribute) { l->NoteChange(); l->m_iAttribute = attribute; }
  static void SetForeignAgentId(ZQMACMountPath* p, int id) { p->NoteChange(); p->m_iForeignAgentId = id; }
  static void SetMountPathType(ZQMACMountPath* p, int type) { p->NoteChange(); p->m_iMountPathType = type; }
  static const std::string& GetPassword(const ZQMACMountPath* p) { return p->m_sPassword; }

  // ---- disks ----
  struct DiskGeometry {
    int sanDBId = 0;
    int startLBA = 0;
    int blockCount = 0;
    int blockSize = 0;
    int scsiLun = 0;
  };
  static void SetGeometry(ZQMACDiskDevice* d, const DiskGeometry& g) {
    d->NoteChange();
    d->m_iSanDBId = g.sanDBId;
    d->m_iStartLBA = g.startLBA;
    d->m_iBlockCount = g.blockCount;
    d->m_iBlockSize = g.blockSize;
    d->m_iScsiLun = g.scsiLun;
  }
  static void SetGuid(ZQMACDiskDevice* d, const std::string& guid, int guidType) {
    d->NoteChange();
    d->m_sGuid = guid;
    d->m_iGuidType = guidType;
  }
  static void SetDRUId(ZQMACDiskDevice* d, int id) { d->NoteChange(); d->m_iDRUId = id; }
  static void SetDeviceTypes(ZQMACDiskDevice* d, int deviceType, int displayType) {
    d->NoteChange();
    d->m_iDeviceType = deviceType;
    d->m_iDisplayType = displayType;
  }
  static void SetMountPoints(ZQMACDiskVolume* v, std::set<std::string> points) {
    v->NoteChange();
    v->m_mountPoints = std::move(points);
  }
  static void SetSanDBId(ZQMACDiskVolume* v, int id) { v->NoteChange(); v->m_iSanDBId = id; }

  // ---- fields of the library listing ----
  struct DeviceIdentity {
    std::string vendor;
    std::string product;
    std::string textA;  // serial number
    std::string textB;  // firmware revision
    std::string textC;  // the unit's own description
    unsigned int value = 0;
  };
  template <class T>
  static void SetDeviceIdentity(T* object, const DeviceIdentity& i) {
    object->NoteChange();
    ZQMACDevicePart* d = object;
    d->m_sVendor = i.vendor;
    d->m_sProduct = i.product;
    d->m_sDeviceTextA = i.textA;
    d->m_sDeviceTextB = i.textB;
    d->m_sDeviceTextC = i.textC;
    d->m_uDeviceValue = i.value;
  }
  struct UnitAddress {
    std::string controllerText;
    unsigned int address = 0;
    unsigned int controllerType = 0;
    bool stateC = false;
  };
  static void SetUnitAddress(ZQMACScsiUnit* u, const UnitAddress& a) {
    u->NoteChange();
    u->m_sControllerText = a.controllerText;
    u->m_uAddress = a.address;
    u->m_uControllerType = a.controllerType;
    u->m_bStateC = a.stateC;
  }
  static void SetLibraryAlias(ZQMACLibrary* l, const std::string& alias) { l->NoteChange(); l->m_sAliasName = alias; }
  // The name a stored library comes back under (its alias), given to every
  // part the load names after it: the library-management object, its
  // hardware part (name and alias) and its controller group.
  static void NameStoredLibrary(ZQMACLms* lms, const std::string& name) {
    for (ZQMACInterface* part : {static_cast<ZQMACInterface*>(lms), static_cast<ZQMACInterface*>(lms->m_pLibrary),
                                 lms->m_pLibControllerNode})
      if (part != nullptr) {
        part->NoteChange();
        part->m_sName = name;
      }
    if (lms->m_pLibrary != nullptr) lms->m_pLibrary->m_sAliasName = name;
  }
  // The media agent of a disk library as a load gives it: that of its first
  // mount path that has one, else the agent of the drive pool the library
  // was made with (`poolAgent`, null when it has none).
  // Library id to the client id of the first drive pool (by id) with an
  // agent in a master pool of that library (ZQMACDbLoader.cpp).
  static std::map<int, int> DiskLibraryPoolAgents(const MMStoredSnapshot& stored);
  static ZQMACMediaAgent* MagLibAgent(const ZQMACMagLib* library, ZQMACMediaAgent* poolAgent) {
    ZQMACMediaAgent* agent = nullptr;
    library->m_mountPathList.AnyNode([&](ZQMACMountPath* p) {
      agent = p->m_pMediaAgent;
      return agent != nullptr;
    });
    return agent != nullptr ? agent : poolAgent;
  }
  // The same for a stored drive: its name and its alias.
  static void NameStoredDrive(ZQMACDrive* drive, const std::string& name) {
    drive->NoteChange();
    drive->m_sName = name;
    drive->m_sAliasName = name;
  }
  // After a stored object took a new name: what a load names after it.
  static void NameStored(ZQMACInterface* object, const std::string& name) {
    if (object->m_iId <= 0) return;
    if (object->GetObjectType() == ZQMAC_OBJ_LMS) NameStoredLibrary(static_cast<ZQMACLms*>(object), name);
    if (object->GetObjectType() == ZQMAC_OBJ_DRIVE) NameStoredDrive(static_cast<ZQMACDrive*>(object), name);
  }
  static void SetStandAlone(ZQMACLibrary* l, bool standAlone) { l->NoteChange(); l->m_bStandAlone = standAlone; }
  static void SetDetectedType(ZQMACLibController* c, unsigned int type) { c->NoteChange(); c->m_uDetectedType = type; }
  static void SetServerFlag(ZQMACLibController* c, bool server) { c->NoteChange(); c->m_bServerFlag = server; }
  static void SetMagLibType(ZQMACMagLib* l, int type) { l->NoteChange(); l->m_iMagLibType = type; }
  static void SetCenteraAgent(ZQMACMediaAgent* a, bool on) { a->NoteChange(); a->m_bCenteraAgent = on; }
  static void SetAgentLocalDrive(ZQMACMediaAgent* a, const std::string& drive) {
    a->NoteChange();
    a->m_sLocalDrive = drive;
  }
  // ---- end of the listing fields ----

  // ---- fields of the drive listing (drive identity: SetDeviceIdentity) ----
  static void SetDriveAlias(ZQMACDrive* d, const std::string& alias) { d->NoteChange(); d->m_sAliasName = alias; }
  struct PathTexts {
    std::string text;    // beside the drive path's handle
    std::string detail;  // the path's detail
    bool stateF = false;
  };
  static void SetPathTexts(ZQMACScsiUnit* u, const PathTexts& t) {
    u->NoteChange();
    u->m_sPathText = t.text;
    u->m_sPathDetail = t.detail;
    u->m_bStateF = t.stateF;
  }
  static void SetAcslsText(ZQMACScsiUnit* u, const std::string& text) { u->NoteChange(); u->m_sAcslsText = text; }
  static void SetAcslsStates(ZQMACLibController* c, bool stateD, bool stateE) {
    c->NoteChange();
    c->m_bStateD = stateD;
    c->m_bStateE = stateE;
  }
  // What the ACSLS server reports to the agent through a controller of that
  // ACSLS text (an empty list removes the entry).
  static void SetACSLSDriveIds(ZQMACMediaAgent* a, const std::string& acslsText, std::vector<std::string> ids) {
    a->NoteChange();
    if (ids.empty())
      a->m_acslsDriveIds.erase(acslsText);
    else
      a->m_acslsDriveIds[acslsText] = std::move(ids);
  }
  // ---- end of the drive listing fields ----
  // ---- fields the control request reads ----
  static void SetMixedDriveType(ZQMACLms* l, bool mixed) { l->NoteChange(); l->m_bMixedDriveType = mixed; }
  // ---- end of the control-request fields ----

  // ---- further devices ----
  static void SetConcurrencyLimit(ZQMACCopyMgrDevice* d, int limit) { d->NoteChange(); d->m_iConcurrencyLimit = limit; }
  static void SetCopyManagerTexts(ZQMACCopyMgrController* c, const std::string& copyManagerText,
                                  const std::string& unitText) {
    c->m_sCopyManagerText = copyManagerText;
    c->m_sUnitText = unitText;
  }
  static void SetCluster(ZQMACCenteraCluster* c, const std::string& clusterName, const std::string& clusterId,
                         long long capacity, const std::string& version) {
    c->m_sClusterName = clusterName;
    c->m_sClusterId = clusterId;
    c->m_llCapacity = capacity;
    c->m_sVersion = version;
  }

  // ---- the central database (platform/mac/ZQMACDbLoader.cpp, ZQMACDbWrite.cpp) ----
  // Makes the instance's graph what the database holds: an object still
  // stored keeps its address and handle and takes the stored values and
  // links; a new row makes a new object; an object whose row is gone (or
  // that was never stored) is freed. Objects of other kinds (cost
  // categories; archive clusters and DRU hosts, which the functions of
  // their own below lay over the graph) stay as they are. The instance
  // becomes database-backed. New objects get their handles only when one is
  // asked for, so a load takes none. `stored` is only read: loads share its
  // lists. Always true.
  static bool ApplyStored(ZQMACMediaConfig& config, const MMStoredSnapshot& stored);
  // Writes an object of a database-backed instance: its new name (null:
  // kept), its configured state (1 or 0, -1: kept) and its settings. True
  // without writing for an object of an instance that is not
  // database-backed, or of a kind the database does not hold. False, with
  // the reason as the object's last error, when nothing was written.
  static bool StoreObject(ZQMACInterface* object, const std::string* newName, int configured);
  // Removes an object's rows (with those of what depends on it) and puts
  // into `dependents` the objects of the instance that go with it. True
  // without writing as for StoreObject; false with the object's last error.
  static bool RemoveStored(ZQMACInterface* object, std::vector<ZQMACInterface*>& dependents);
  // Whether the stored object's row is still there (another connection may
  // have removed it since this instance read it). True without reading for
  // what StoreObject would not write. False, with the object's last error,
  // when the row is gone (kErrorObjectGone, "No library with id [3].") or
  // the database could not tell.
  static bool StillStored(ZQMACInterface* object);
  // The names the model makes of another object's name (pools, media,
  // devices, policies) are made to fit their columns in one place:
  // platform/mmdb/MMDerivedNames.h.
  // The database-backed state of an instance.
  static bool IsDatabaseBacked(const ZQMACMediaConfig& config) { return config.m_bDatabaseBacked; }
  // ---- the model's own settings (platform/mac/ZQMACStoredSettings.cpp) ----
  // The declarations of what the model stores (tkmac::storedSettingRows).
  static const std::vector<tkmac::StoredSettingRow>& StoredSettingRows();
  // Writes the object's marked members, all or nothing, and forgets the
  // marks (tkmac::storeChanges). True without writing for an object that is
  // not stored in a database-backed instance; false, with the reason as the
  // object's last error, when nothing was written.
  static bool StoreChanges(ZQMACInterface* object);
  // Writes the stored object `id` of `kind` in one step: its new name
  // (null: kept), configured state (kKeepConfigured: kept) and columns,
  // and its settings; false with the reason as the object's last error.
  static bool WriteStored(ZQMACInterface* object, MMStoredKind kind, int id, const std::string* name, int configured,
                          const std::vector<MMStoredColumn>& columns,
                          const std::vector<std::pair<std::string, std::string>>& values);
  // Gives the unit of `object` the SCSI address, controller type and text
  // of `source` and stores them together; false (the unit keeps its own,
  // the reason as the object's last error) when nothing was stored.
  static bool TakeScsiBus(ZQMACInterface* object, ZQMACScsiUnit* unit, const ZQMACScsiUnit& source);
  // Lays the stored settings over the graph a load has just laid.
  static void ApplyStoredSettings(ZQMACMediaConfig& config, const std::vector<tkmac::StoredSetting>& settings);
  // Lays the settings of the object (of the stored kind `kind`, by its id)
  // over it; `settings` in kind and id order, as ObjectSettingDB reads them.
  static void ApplyStoredSettingsOf(ZQMACInterface* object, MMStoredKind kind,
                                    const std::vector<tkmac::StoredSetting>& settings);
  // Lays one stored setting over the object of its kind and id.
  static void ApplyStoredSetting(ZQMACInterface* object, const tkmac::StoredSetting& setting);
  // A tape library's parts show as the library does.
  static void ShowLibraryParts(ZQMACLms* lms);
  // ---- network shares (ZQMACNetworkShare.cpp) ----
  // A device's marked remote-host settings stored (StoreChanges), with
  // its volumes' paths made its remote path when `movePaths`, in one step.
  static bool StoreRemoteHostInfo(ZQMACDiskDevice* device, bool movePaths);
  // A new device's declared settings (its identification type) marked and
  // written under `id`, joining the thread's open transaction; false with
  // the reason as its last error.
  static bool StoreNewDeviceSettings(ZQMACDiskDevice* device, int id);
  // Writes the configured states of objects (1 or 0) in one step; false,
  // with the reason as the last error of `errorTo`, when nothing was
  // written. Objects not stored are left out.
  static bool StoreConfiguredStates(const std::vector<std::pair<ZQMACInterface*, int>>& states, ZQMACBase& errorTo);
  // ---- end of the model's own settings ----
  // ---- objects configured before they were ever stored (ZQMACConfigureNew.cpp) ----
  // Whether Configure has to store the object first: an object of a
  // database-backed instance, of a kind the tape-library tables hold (media
  // agent, library and its parts, controller, master pool, drive pool,
  // drive, drive path), that was never stored.
  static bool IsNeverStored(ZQMACInterface* object);
  // Stores such an object configured, in one step with what it needs and
  // what comes with it: an object of a library that was never stored
  // stores the whole library (its controllers, master pools, drive pools,
  // drives and drive paths, and the media agents they reach); in a stored
  // library the object with its never-stored parents, a drive with its
  // drive paths, a master pool with its drive pools. A drive or drive pool
  // without a master pool goes into the library's first one, or a new one
  // "MasterPool(<library>)"; a drive path without a drive pool into the
  // library's pool of its media agent, or a new one "DrivePool(<agent>)".
  // The objects take their ids (a library's parts the library's) and are
  // configured. False, with the reason as the object's last error, when
  // nothing was stored; the graph is then as it was.
  static bool StoreNew(ZQMACInterface* object);
  // ---- end of the objects configured before they were stored ----

  // ---- DRU hosts on the central database (ZQMACDRUHosts.cpp) ----
  // Makes the instance's DRU hosts those of the rows (id order): a host
  // still stored keeps its address and handle and takes the stored values;
  // a new row makes a new host; a host whose row is gone (or that was never
  // stored) is freed, and so is a host whose row was born again (`reborn`:
  // the ids of the rows born since the hosts were laid; null: every one,
  // when the change log cannot tell). False, with the reason as the
  // instance's last error, when the instance refuses a new host.
  static bool ApplyStoredDRUHosts(ZQMACMediaConfig& config, std::vector<MMStoredDRUHost>& rows,
                                  const std::set<int>* reborn);
  // ---- end of DRU hosts ----
  // ---- archive clusters on the central database (ZQMACCenteraClusters.cpp) ----
  // As ApplyStoredDRUHosts, for the archive clusters with their access nodes.
  static bool ApplyStoredCenteraClusters(ZQMACMediaConfig& config, std::vector<MMStoredCenteraCluster>& rows,
                                         const std::set<int>* reborn);
  // Lays the DRU hosts and the archive clusters read beside `stored`
  // (`kept`: as the process kept them, else read now) over the instance's,
  // each row born again since the instance laid them making a new object;
  // false as the two do.
  static bool ApplyStoredBeside(ZQMACMediaConfig& config, const MMStoredSnapshot& stored, bool kept,
                                std::vector<MMStoredDRUHost>& druHosts, std::vector<MMStoredCenteraCluster>& clusters);
  // ---- end of archive clusters ----

  // ---- controllers added to media agents (ZQMACLibraryControllers.cpp) ----
  // The name a new controller's new library is stored under: its alias, its
  // name, its vendor and product, else the controller's name.
  static std::string NewLibraryName(const ZQMACLibrary* library, const ZQMACLibController* controller) {
    std::string name;
    if (library != nullptr) {
      name = library->GetAnsweredName();
      if (name.empty()) name = library->m_sVendor + (library->m_sProduct.empty() ? "" : " " + library->m_sProduct);
    }
    return name.empty() ? controller->m_sName : name;
  }
  // After InsertLibController stored a new controller's new library: the
  // library enters the instance as a load makes it of the rows just written
  // (ZQMACLibraryControllers.cpp), so that the session lists it as a re-read
  // does.
  static void EnterStoredControllerLibrary(ZQMACMediaConfig& config, ZQMACLibController* controller);
  // Stores a new controller of the agent with the library it reaches (and
  // the agent when it is not stored yet), in one step, and gives them their
  // ids (platform/mac/ZQMACDbWrite.cpp). True without writing for an
  // instance that is not database-backed; false with the reason as the
  // agent's last error when nothing was written.
  static bool InsertLibController(ZQMACMediaAgent* agent, ZQMACLibController* controller);
  // Removes what InsertLibController stored (when the instance then cannot
  // own the controller).
  static void RemoveInsertedLibController(ZQMACLibController* controller);
  // Writes what a library reported of itself to the stored library of the
  // controller (when it has one in a database-backed instance). False with
  // the reason as the agent's last error when nothing was written.
  static bool StoreLibraryDescription(ZQMACMediaAgent* agent, ZQMACLibController* controller,
                                      const std::string& vendor, const std::string& product, int driveCount,
                                      int baseAddress);
  // Enters a new media agent (owned by the instance) into its lists.
  static void EnterMediaAgent(ZQMACMediaConfig& config, ZQMACMediaAgent* agent) {
    config.m_mediaAgentList.AddNode(agent);
  }
  // Links an owned controller to its agent (and, for an IP controller, to
  // the instance's IP controllers).
  static void EnterLibController(ZQMACMediaAgent* agent, ZQMACLibController* controller);
  // The library server libraries the instance knows (GetLSLibraryList).
  static void EnterIPLibController(ZQMACMediaConfig& config, ZQMACIPLibController* controller) {
    config.m_ipLibControllerList.AddNode(controller);
  }
  // ---- end of the added controllers ----
  // ---- the control request's controller copy (ZQMACControlChanges.cpp) ----
  // Makes an owned controller one of the library's controllers.
  static void LinkLibController(ZQMACLms* lms, ZQMACLibController* controller) {
    lms->NoteChange();
    controller->m_pLms = lms;
    lms->m_libControllerList.AddNode(controller);
  }
  // ---- end of the controller copy ----

  // ---- pools and settings the change requests write (ZQMACPoolChanges.cpp) ----
  // Writes one integer (or text) setting of a stored object of a
  // database-backed instance (true without writing otherwise); false with
  // the reason as the object's last error.
  static bool StoreSetting(ZQMACInterface* object, const char* column, int value);
  static bool StoreSetting(ZQMACInterface* object, const char* column, const std::string& value);
  // Stores a new master pool of the library (or a new drive pool of the
  // master pool, for its media agent) under `name`, takes it into the
  // library's instance and links it. False, with the reason as the
  // library's last error, when nothing was stored or taken (the caller
  // keeps the pool).
  static bool EnterNewMasterPool(ZQMACLms* lms, ZQMACMasterDrivePool* master, const std::string& name);
  static bool EnterNewDrivePool(ZQMACLms* lms, ZQMACDrivePool* pool, const std::string& name);
  // A new drive pool's staged links, read before it is added.
  static void StageMasterPool(ZQMACDrivePool* pool, ZQMACMasterDrivePool* master) {
    pool->NoteChange();
    pool->m_pMasterDrivePool = master;
    pool->m_pLms = master->m_pLms;
  }
  // Enters a new disk library (owned by the instance) into its list.
  static void EnterMagLib(ZQMACMediaConfig& config, ZQMACMagLib* library) { config.m_magLibList.AddNode(library); }
  // ---- end of the pools ----
  // ---- network-sharing volumes (ZQMACNetworkShare.cpp) ----
  // Enters a saved volume (owned by the device's instance) into the
  // device's volume list.
  static void AddVolumeToDevice(ZQMACDiskDevice* device, ZQMACDiskVolume* volume) {
    device->NoteChange();
    device->m_volumeList.AddNode(volume);
  }
  // ---- end of the network-sharing volumes ----
  // ---- NDMP drive paths (ZQMACNdmpDrives.cpp) ----
  // A new drive path's staged pool (and the drive it owns), read before
  // the media agent adds it.
  static void StageDrivePool(ZQMACDms* path, ZQMACDrivePool* pool) { path->NoteChange(); path->m_pDrivePool = pool; }
  static void StageDrive(ZQMACDms* path, ZQMACDrive* drive) { path->NoteChange(); path->m_pDrive = drive; }
  // ---- end of the NDMP drive paths ----

  // ---- re-reads in part and the hand-over (ZQMACGraphIncrement.cpp) ----
  // Brings the instance's graph to the stored rows: a new instance's first
  // load takes over a parked graph when there is one (its touched objects
  // are made anew from their rows); the rows that changed since the graph
  // was laid are laid when that can be known exactly, else every row
  // (ApplyStored). The rows are kept with the graph, and the settings to
  // lay over it. True when the settings laid over the graph before are
  // these very ones and only rows of the disk side were laid: the objects
  // laid then took their settings with their rows, and every other object
  // still holds them. False when the caller is to lay them.
  static bool LayStored(ZQMACMediaConfig& config, const MMStoredSnapshot& stored,
                        const std::shared_ptr<const std::vector<tkmac::StoredSetting>>& settings);
  // Parks the graph of an instance that is being freed, when it is
  // database-backed and the instance is not unclean; true when it did (the
  // instance is then empty). A graph parked before is freed.
  static bool Park(ZQMACMediaConfig& config);
  // Frees the parked graph, if any.
  static void DropParked();
  // Moves a parked graph into an empty instance.
  static void Unpark(ZQMACMediaConfig& config, ZQMACParkedGraph& parked);
  // The library of any kind (a disk library, or a tape library's
  // library-management object) that answers to `name` (its alias, or its
  // name where the alias is empty) as every lookup by name goes
  // (tkmmdb::libraryByName): spelled so among every kind, else the only one
  // of any kind in another letter case; null when none is, for an empty
  // name (a library stored with an empty name is found by its id alone),
  // or when two or more are spelled so, or are only in other cases (then
  // with `refusal`, when given, naming them; else it is emptied).
  static ZQMACInterface* FindLibrary(ZQMACMediaConfig& config, const std::string& name,
                                     std::string* refusal = nullptr);
  // The library stored under `id` (a disk library, or a tape library's
  // library-management object), or null.
  static ZQMACInterface* FindLibraryById(ZQMACMediaConfig& config, int id);
  // Drops a disk library that goes from the disk index's libraries by id
  // (its entries by name count only while the instance lists the library,
  // and are dropped when next looked at).
  static void ForgetIndexed(ZQMACMediaConfig& config, const void* address, int id);
  static void ForgetIndexed(ZQMACMediaConfig& config, const ZQMACGone& gone);
  // The stale check's second half (StillStored): whether the row under the
  // object's id is still the one it stands for, as FreeReborn tells at the
  // next lay. False, with the object's last error ("No library with id
  // [3]."), when the change log names a row born under the id since that
  // the session did not make; false too when the log cannot tell (the
  // session's place pruned before the process read it, another history of
  // the log, a trigger of it missing), with a text that says to read the
  // configuration again. The log's entries are read once by the process,
  // however far behind the session's place lies (MMMediaConfigDB).
  static bool StillTheRowLaid(ZQMACInterface* object, MMStoredKind kind);
  // ---- end of re-reads in part ----

  // ---- the instance's own lists, checked (ZQMACGraphIncrement.cpp; Debug
  // builds check after every load and every drop of a load) ----
  // The first of the instance's lists or id maps (or its touched objects,
  // its handles, the disk index's libraries) that holds one of `dropped`
  // (objects that left the instance and are about to be freed by `when`),
  // named with the object; empty when none does.
  static std::string HeldFault(ZQMACMediaConfig& config, const std::vector<ZQMACInterface*>& dropped,
                               const char* when);
  // The first of them that holds an object that is not one of the
  // instance's (a freed one), else the first list a load fills from rows
  // that holds two objects of one stored id (each disk library's mount
  // paths counted together), named with the objects; empty when none.
  static std::string LaidFault(ZQMACMediaConfig& config, const char* when);
  // The same, ending the process with the text on the standard error.
  static void CheckNoneHeld(ZQMACMediaConfig& config, const std::vector<ZQMACInterface*>& dropped,
                            const char* when);
  static void CheckLaid(ZQMACMediaConfig& config, const char* when);
  // ---- end of the check ----

 private:
  // The disk libraries that answer to `name` letter case aside, in no
  // order (FindLibrary orders what it gathers by id).
  static std::vector<ZQMACMagLib*> MagLibsAnswering(ZQMACMediaConfig& config, const std::string& name);
  // ---- re-reads in part (ZQMACGraphIncrement.cpp) ----
  // Lays the rows of the disk side (disk libraries, devices, volumes, mount
  // paths) that differ between `before` (what the graph was laid over) and
  // `now` (disk libraries' master pools, drive pools and controllers may
  // differ too: they make no objects), the rows of the stored objects
  // freed with their rows since (`freed`: object type and id), and the
  // touched objects of those kinds (`remake`: made anew, the others laid
  // again in place); each object laid takes its `settings` too, unless
  // they are null. `index` (ZQMACGraphIncrement.cpp) finds the disk
  // libraries and their pools without a walk over all of them: made from
  // `before` when null, and kept in step. False, with nothing changed, when
  // the change is not only there.
  static bool ApplyIncrement(ZQMACMediaConfig& config, const MMStoredSnapshot& before, const MMStoredSnapshot& now,
                             const std::vector<ZQMACInterface*>& remake,
                             const std::vector<std::pair<unsigned int, int>>& freed,
                             const std::vector<tkmac::StoredSetting>* settings,
                             std::shared_ptr<ZQMACDiskIndex>& index);
  // The disk index of the instance's libraries and of the pools of `rows`.
  static std::shared_ptr<ZQMACDiskIndex> MakeDiskIndex(ZQMACMediaConfig& config, const MMStoredSnapshot& rows);
  // Frees the objects whose rows `now` holds under their ids but were
  // inserted anew since `before` was read (the change log marks them born;
  // when it cannot tell, every row both hold may have been): their handles
  // name nothing from then on, and a load makes new objects of the new
  // rows. True when it freed one that only the lay-over of every row makes
  // anew (one of the disk side, the load in part makes anew too).
  static bool FreeReborn(ZQMACMediaConfig& config, const MMStoredSnapshot& before, const MMStoredSnapshot& now);
  // Exchanges the graph of the instance with the parked one.
  static void SwapGraph(ZQMACMediaConfig& config, ZQMACParkedGraph& parked);
  // Whether a load lays objects of the object's kind from rows.
  static bool IsLaidKind(const ZQMACInterface* object);
  static bool IsLaidType(unsigned int type);
  // Takes over the parked graph into an empty instance; false when none is parked.
  static bool TakeParked(ZQMACMediaConfig& config);
  // Frees a touched object for a hand-over: a library part goes with its
  // library and the library's other part, a copy manager's device and
  // controller go together.
  static void FreeForRemaking(ZQMACMediaConfig& config, ZQMACInterface* object);
  // What a row gives its object, for the load of every row and the load in part.
  static void FillDevice(ZQMACDiskDevice* device, const MMStoredDevice& row);
  static void FillVolume(ZQMACDiskVolume* volume, const MMStoredDeviceController& row, ZQMACDiskDevice* device,
                         ZQMACMediaAgent* agent);
  static void FillMountPath(ZQMACMountPath* path, const MMStoredMountPath& row, ZQMACMagLib* library,
                            ZQMACDiskDevice* device);
  // A disk library's own values (its mount paths and media agent come from
  // the mount-path rows).
  static void FillMagLib(ZQMACMagLib* library, const MMStoredLibrary& row, ZQMACMediaConfig& config);
  // ---- end of re-reads in part ----

  // Unlinks objects of the instance from every list and map and frees them,
  // all in one pass: each object left is asked once to forget them all,
  // instead of once for each (a re-read that makes every object anew frees
  // nearly the whole graph). Their handles name nothing from then on. As
  // each would be freed alone, they go with their rows while a RowsGoScope
  // is alive, and are an instance-wide change otherwise. Objects the
  // instance does not own, and a second mention of one, are passed over.
  static void DropObjects(ZQMACMediaConfig& config, std::vector<ZQMACInterface*> gone);
  // Frees, in one pass, objects of the instance that no list or link of the
  // managed kinds reaches any more (ApplyStored).
  static void DropUnreached(ZQMACMediaConfig& config, std::vector<ZQMACInterface*>& doomed);
  // Calls `visit(name, address, id)` with every object a list or map of the
  // instance holds (CheckNoneHeld): the list's name, the object's address
  // (not read: it may be freed) and the id a map holds it under (-1 for a
  // list).
  template <class Visit>
  static void ForEachHeld(ZQMACMediaConfig& config, Visit visit);
  // Hands the object to the instance with its id and name; deletes it and
  // returns null when the instance refuses it.
  template <class T>
  static T* Adopt(ZQMACMediaConfig& config, T* object, int id, const std::string& name);
  // The merge of ApplyStoredDRUHosts and ApplyStoredCenteraClusters
  // (platform/mac/ZQMACStoredObjects.h).
  template <class T, class Row, class Fill>
  static bool MergeStoredRows(ZQMACMediaConfig& config, ZQMACLinkedList<T>& list, std::set<int>& laid,
                              const std::set<int>* reborn, std::vector<Row>& rows, Fill fill);
};
