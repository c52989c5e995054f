// The media-management configuration of the installation as one object
// graph: ZQMACMediaConfig owns every object of its graph.
//
// Object handles. Replies hand out objects by handle (item 11003) and later
// requests bring them back. A handle is a registry number of the instance:
// non-zero, below 2^32 (some replies carry only its low 32 bits) and never
// reused within the process. An object gets its handle the first time one
// is asked of it (GetHandle, or AdoptObject of a new object), so loading a
// graph costs no handles; the registry holds only handles given. FindObject
// looks a handle up in this instance only and never turns a client value
// into a pointer (a handle never given finds nothing); the typed forms also
// check the object's type against what the caller expects. An object that is
// deleted (through DeleteObject, or `delete` through any of its base parts)
// is first unlinked from every list and map of its instance, and its handle
// stops resolving.
//
// Changes in memory and the hand-over of a graph. A load lays the objects
// over the stored rows; any other change of an object in memory (a setter,
// an operation of the object) marks it touched (NoteChange), and an
// instance-wide operation (detection, drag and drop, replacement, ...) marks
// the instance unclean. A re-read lays the rows that changed since the last
// one, and touched objects again. When a database-backed instance that is
// not unclean is freed, its graph is handed to the next new instance of the
// process instead of being freed (platform/mac/ZQMACGraphIncrement.cpp): the
// handles it gave are dropped first, and that instance's first load makes
// the touched objects anew from their rows, so what it sees is what a load
// of every row gives.
//
// Class-wide settings (one value for the whole process): the platform type,
// the status-text and progress hooks with their numbers, and the locale of
// ZQMACBase. The instance flags (abort, terminate, auto-DDS, detect in
// parallel) may be set from another thread while a long operation reads them.
#pragma once

#include <atomic>
#include <cstdint>
#include <list>
#include <map>
#include <set>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "frame/mac/ZQMACBase.h"
#include "frame/mac/ZQMACHandleRegistry.h"
#include "frame/mac/ZQMACLinkedList.h"
#include "frame/mac/ZQMACRegistryMutex.h"

class ZQMACMediaAgent;
class ZQMACMountPath;
class ZQMACDiskDevice;
class ZQMACCenteraCluster;
class ZQMACHost;
class ZQMACLms;
class ZQMACMagLib;
class ZQMACCopyMgrDevice;
class ZQMACCopyMgrController;
class ZQMACIPLibController;
class ZQMACNode;
class ZQMACLibController;  // the listing block below
class ZQMACDrive;
struct ZQMACLaidRows;

// The places among an instance's objects of those of one object type, and
// how many of them are alive: a freed object's place stays listed until
// the list is pruned.
struct ZQMACTypePlaces {
  std::vector<std::size_t> places;
  std::size_t live = 0;
};
// One list per object type; the last holds every type from there on.
inline constexpr unsigned int kZQMACTypeLists = 32;

// One entry of a vendor table: three texts (for drives: vendor, product and
// the text drive pools are matched on).
struct ZQMACVendorEntry {
  std::string first;
  std::string second;
  std::string third;
};

// The vendor tables of drives and libraries.
class ZQMACVendorInfo {
 public:
  const ZQMACVendorEntry* GetDriveVendorInfo() const { return m_driveVendors.data(); }
  int GetDriveVendorInfoSize() const { return static_cast<int>(m_driveVendors.size()); }
  const ZQMACVendorEntry* GetLibraryVendorInfo(bool selector) const { return m_libraryVendors[selector ? 1 : 0].data(); }
  int GetLibraryVendorInfoSize(bool selector) const {
    return static_cast<int>(m_libraryVendors[selector ? 1 : 0].size());
  }

 private:
  friend class ZQMACGraph;
  std::vector<ZQMACVendorEntry> m_driveVendors;
  std::vector<ZQMACVendorEntry> m_libraryVendors[2];
};

enum ZQMACPlatformType : int32_t {
  ZQMAC_PLATFORM_UNKNOWN = 0,
  ZQMAC_PLATFORM_WINDOWS = 1,
  ZQMAC_PLATFORM_UNIX = 2,
};

// The hooks through which the model reports status texts and progress.
using ZQMACStatusTextFunc = void (*)(const std::string& text, int type);
using ZQMACPercentageFunc = void (*)(int value, int operation);

class ZQMACMediaConfig : public virtual ZQMACBase {
 public:
  ZQMACMediaConfig();
  // Frees every object of the graph.
  ~ZQMACMediaConfig() override;
  ZQMACMediaConfig(const ZQMACMediaConfig&) = delete;
  ZQMACMediaConfig& operator=(const ZQMACMediaConfig&) = delete;

  // An instance-wide change: the instance no longer hands its graph over.
  void NoteChange() override { m_bUnclean.store(true); }
  // While one is alive, objects of the instance that are freed go with
  // their rows (or are made anew from them): the graph stays one to hand
  // over. An object freed otherwise is an instance-wide change. For the
  // object model's own code.
  class RowsGoScope {
   public:
    explicit RowsGoScope(ZQMACMediaConfig& config) : m_config(config) { ++m_config.m_iRowsGo; }
    ~RowsGoScope() { --m_config.m_iRowsGo; }
    RowsGoScope(const RowsGoScope&) = delete;
    RowsGoScope& operator=(const RowsGoScope&) = delete;

   private:
    ZQMACMediaConfig& m_config;
  };

  // ---- class-wide ----
  static ZQMACPlatformType GetLocalPlatformType() { return m_eLocalPlatformType.load(std::memory_order_relaxed); }
  // Registers the status-text hook and the number passed back as its second
  // argument; (null, 0) removes it.
  static void SetStatusTextFunc(ZQMACStatusTextFunc func, int type) {
    m_iStatusTextType.store(type);
    m_pFuncSetStatusText.store(func);
  }
  // Registers the progress hook and the operation code passed back with it;
  // (null, 0) removes it.
  static void SetPercentageFunc(ZQMACPercentageFunc func, int operation) {
    m_iPercentageType.store(operation);
    m_pFuncSetPercentage.store(func);
  }
  // Report through the hooks; nothing happens while a hook is not set.
  static void SetStatusText(const std::string& text);
  static void SetPercentage(int value);

  // ---- set-up ----
  // Prepares the instance for the installation; false (reason in the last
  // error) for a missing name or a failure of the model.
  bool Initialize(const char* installationName);
  bool Initialize(const std::string& installationName) { return Initialize(installationName.c_str()); }
  bool IsInitialized() const { return m_bInitialized; }
  const std::string& GetInstallationName() const { return m_sInstallationName; }
  // Loads the graph from the configuration source of the platform; false
  // with the reason in the last error.
  bool ReadCurrentConfig(bool refresh);
  // Frees every object of the graph; their handles never resolve again.
  void ClearObjects();

  // ---- accessors ----
  const std::string& GetServerName() const { return m_sServerName; }
  void SetModuleMode(int mode) { m_iModuleMode = mode; }
  int GetModuleMode() const { return m_iModuleMode; }
  void SetAbortFlag(bool abort) { m_bAbort.store(abort); }
  bool GetAbortFlag() const { return m_bAbort.load(); }
  // Set when the session is released or taken over: listings and
  // detections stop their walks at their next step.
  void SetTerminateFlag(bool terminate) { m_bTerminate.store(terminate); }
  bool GetTerminateFlag() const { return m_bTerminate.load(); }
  void SetAutoDDSFlag(bool autoDDS) { m_bAutoDDS.store(autoDDS); }
  bool GetAutoDDSFlag() const { return m_bAutoDDS.load(); }
  void SetDetectInParallelFlag(bool parallel) { m_bDetectInParallel.store(parallel); }
  bool GetDetectInParallelFlag() const { return m_bDetectInParallel.load(); }
  const std::string& GetLocalDrive() const { return m_sLocalDrive; }
  const std::string& GetTKDBDrive() const { return m_sTKDBDrive; }
  ZQMACVendorInfo* GetVendorInfo() { return &m_vendorInfo; }

  // ---- lookups by database id ----
  std::map<int, ZQMACMediaAgent*>& GetNodeMap(const ZQMACMediaAgent*) { return m_mediaAgentMap; }
  std::map<int, ZQMACMountPath*>& GetNodeMap(const ZQMACMountPath*) { return m_mountPathMap; }
  std::map<int, ZQMACDiskDevice*>& GetNodeMap(const ZQMACDiskDevice*) { return m_diskDeviceMap; }
  std::map<int, ZQMACCenteraCluster*>& GetNodeMap(const ZQMACCenteraCluster*) { return m_centeraClusterMap; }
  std::map<int, ZQMACHost*>& GetNodeMap(const ZQMACHost*) { return m_hostMap; }

  // The object of that database id, or null; the second argument only
  // selects the kind. Nothing is inserted.
  template <class T>
  T* FindDBNode(int id, T const* kind = nullptr) {
    auto& map = GetNodeMap(kind);
    auto it = map.find(id);
    return it == map.end() ? nullptr : it->second;
  }
  // The media agent of that name, or null (also for a null name).
  ZQMACMediaAgent* FindDBNode(const char* mediaAgentName);
  ZQMACMediaAgent* FindDBNode(const std::string& mediaAgentName) { return FindDBNode(mediaAgentName.c_str()); }

  // ---- lookups by handle ----
  // Any live object of this instance, or null (also for 0 and values of
  // 2^32 and above).
  ZQMACInterface* FindObject(unsigned long long handle) const;
  // Only an object whose GetObjectType is `objectType`.
  ZQMACInterface* FindObject(unsigned long long handle, unsigned int objectType) const;
  // Only an object of class T (or derived from it).
  template <class T>
  T* FindObject(unsigned long long handle) const {
    return dynamic_cast<T*>(FindObject(handle));
  }
  // The handle of an object of this instance (given now if it had none);
  // 0 for any other, and when the process has no handle left to give.
  unsigned long long GetHandle(const ZQMACInterface* object) const {
    return object != nullptr && object->GetOwner() == this ? object->GetHandle() : 0;
  }
  // How many times an object of this instance needed a handle when none was
  // left (the process gave out every handle there is; only a restart of
  // the process numbers objects afresh). A request that compares it before
  // and after its work knows whether an answer would carry handle 0.
  unsigned long GetHandlesRefused() const { return m_ulHandlesRefused.load(std::memory_order_relaxed); }

  // ---- ownership ----
  // Takes ownership of a new object and gives it a handle, which it returns.
  // Refused (0, reason in the last error; the caller keeps the object) for
  // null, an object of another instance, or when no handle is left. An
  // object already owned keeps its handle (given now if it had none).
  unsigned long long AdoptObject(ZQMACInterface* object);
  // Unlinks the object from every list and map and frees it; false when
  // this instance does not own it. In an instance loaded from the central
  // database a stored object's rows go first, with those of what depends on
  // it (a library's drives, pools and paths, ...), whose objects go too;
  // false, with the reason as the last error of the object and of the
  // instance, when the database refuses (nothing changes then).
  bool DeleteObject(ZQMACInterface* object);
  bool OwnsObject(const ZQMACInterface* object) const;
  std::size_t GetObjectCount() const;

  // ---- the graph's lists (copies; the elements stay the instance's) ----
  ZQMACLinkedList<ZQMACMediaAgent> GetMediaAgentList() const { return m_mediaAgentList; }
  ZQMACLinkedList<ZQMACLms> GetLmsList() const { return m_lmsList; }
  ZQMACLinkedList<ZQMACMagLib> GetMagLibList() const { return m_magLibList; }
  ZQMACLinkedList<ZQMACDiskDevice> GetDiskDeviceList() const { return m_diskDeviceList; }
  ZQMACLinkedList<ZQMACCenteraCluster> GetCenteraClusterList() const { return m_centeraClusterList; }
  ZQMACLinkedList<ZQMACHost> GetHostList() const { return m_hostList; }
  ZQMACLinkedList<ZQMACCopyMgrDevice> GetCopyMgrDeviceList() const { return m_copyMgrDeviceList; }
  ZQMACLinkedList<ZQMACCopyMgrController> GetCopyMgrControllerList() const { return m_copyMgrControllerList; }
  ZQMACLinkedList<ZQMACIPLibController> GetIPLibControllerList() const { return m_ipLibControllerList; }
  ZQMACLinkedList<ZQMACNode> GetCostCategoryList() const { return m_costCategoryList; }

  // ---- what the library listing asks of the configuration ----
  // The tape and optical libraries that are shown (IsShown) and seen
  // through a shown media agent (one of their controllers' agents is
  // shown; a library without controllers needs none), in list order
  // (platform/mac/ZQMACTapeWizard.cpp).
  ZQMACLinkedList<ZQMACLms> GetShownLmsList() const;
  // The icon number of an object of this instance: ten times its object
  // type, plus 1 while it is not configured (TestStateA false); 0 for null
  // or an object of another instance.
  unsigned int GetIconId(ZQMACInterface* object) const;
  // The disk devices of a kind: 0 those a disk library is made on (display
  // type, GetDisplayDeviceType, other than 2 to 4), 1 every device, any
  // other kind the devices of that display type; with `shownOnly` only
  // those that are shown.
  ZQMACLinkedList<ZQMACDiskDevice> GetShownDiskDeviceList(bool shownOnly, int deviceType) const;
  // Whether GetShownDiskDeviceList would list any device, without making
  // the list.
  bool HasShownDiskDevice(bool shownOnly, int deviceType) const;
  // The shown media agents that can reach archive clusters
  // (IsCenteraAgent); with `detectedOnly` only those that answered
  // detection (IsDetected).
  ZQMACLinkedList<ZQMACMediaAgent> GetAvailableMediaAgentForCentraCluster(bool detectedOnly) const;
  // True when the controller is one of this instance's, reaches its library
  // through a library server (TestServerFlag) and that server gave the
  // library's slot configuration (a slot range is known). False for null.
  bool GetLibraryServerConfigInfo(ZQMACLibController* controller) const;
  // ---- end of the listing block ----

  // ---- the tape-library wizard (platform/mac/ZQMACTapeWizard.cpp) ----
  // Configures the tape library of handle `library` (a library-management
  // object of this instance) as the wizard chose it: the library is stored
  // as configured when it is not yet. `second` names the wizard's second
  // library record and is kept for callers that pass one. False, with the
  // reason as the instance's last error, for a handle of no library of this
  // instance or a refusal.
  bool EZConfig(unsigned long long library, unsigned long long second);
  // ---- end of the tape-library wizard ----

  // ---- drag and drop ----
  // Carries out one drag-and-drop gesture of the configuration tree: the
  // object of `source` dropped on the object of `target` (0 = on nothing)
  // in the drop mode. False, with the reason as the instance's last error,
  // when the model refuses (kErrorDropRefused for a gesture that means
  // nothing for these objects) or a handle names no live object.
  bool DragNDrop(unsigned long long source, unsigned long long target, unsigned int mode);
  // ---- end of drag and drop ----

  // ---- library deconfiguration ----
  // Removes a tape or disk library of this instance with what depends on
  // it, from the instance and, when the instance lives on the central
  // database, from there: the library stored under `libraryId` when it is
  // above 0 (a request that found, locked and checked that library hands
  // it so, and the name only names it), else the one that answers to
  // `libraryName` as every lookup by name goes. The media agent names the
  // agent the request came through; the whole library goes. False with the
  // reason as the instance's last error when there is no such library or
  // the removal is refused (nothing is then removed).
  bool DeconfigureLibrary(const std::string& mediaAgentName, const std::string& libraryName, int libraryId = 0);
  // ---- end of library deconfiguration ----
  // ---- library servers (platform/mac/ZQMACLibraryControllers.cpp) ----
  // The IP library controller of this instance by which the library server
  // `host` serves the library of that vendor, product and identification
  // text, or null.
  ZQMACIPLibController* FindLSLibrary(const std::string& host, const std::string& vendor, const std::string& product,
                                      const std::string& identification);
  // The libraries the library server `host` offers, one IP library
  // controller of this instance each (a controller already known for a
  // library is reused, with the server's current answer). `refresh` is
  // kept for callers that pass it. Empty when the server offers none, or,
  // with the reason as the instance's last error, when it cannot be asked.
  ZQMACLinkedList<ZQMACIPLibController> GetLSLibraryList(const std::string& host, bool refresh);
  // ---- end of library servers ----

  // ---- media agents (platform/mac/ZQMACMediaAgents.cpp) ----
  // The shown media agents of this installation that have no copy-manager
  // controller yet: those a new software copy manager can go to.
  ZQMACLinkedList<ZQMACMediaAgent> GetAvailableMediaAgentForNewSoftwareCopyManagerList() const;
  // The shown media agents of this installation that can take a
  // plug-and-play disk of the library: those without a controller of it
  // (every shown agent for null).
  ZQMACLinkedList<ZQMACMediaAgent> GetAvailableMediaAgentsForPnpDisk(ZQMACLms* library) const;
  // Gives the named media agents plug-and-play disks of the library (a
  // library of this instance). False, with the reason as the instance's
  // last error, for null or a refusal; nothing changes then.
  bool AddPnpDisk(ZQMACLms* library, const std::vector<std::string>& mediaAgentNames);
  // True when one of the objects is a media agent not stored yet (made for
  // a name the installation did not know).
  bool IsAnyNewAgent(ZQMACLinkedList<ZQMACInterface>& agents) const;
  // The copy-manager devices that are shown (IsShown), in list order
  // (platform/mac/ZQMACCopyManagers.cpp).
  ZQMACLinkedList<ZQMACCopyMgrDevice> GetShownCopyMgrDeviceList() const;
  // ---- end of media agents ----
  // ---- replacement and host update (platform/mac/ZQMACControlChanges.cpp) ----
  // Puts `replacement` in the place of `object` (both of this instance);
  // with `keep` the object's own settings stay with the replacement. False,
  // with the reason as the instance's last error, for an object or a
  // replacement that is null or none of this instance, or a refusal.
  bool ReplaceObject(ZQMACInterface* object, ZQMACInterface* replacement, bool keep);
  // Moves the object (of this instance) to the host `host`, reached through
  // the media agent named `agent`. False, with the reason as the
  // instance's last error, for an object that is none of this instance, an
  // empty host or a refusal.
  bool UpdateHost(ZQMACInterface* object, const std::string& host, const std::string& agent);
  // ---- end of replacement and host update ----
  // ---- disk devices (platform/mac/ZQMACDiskDevices.cpp) ----
  // (New devices come in through AddDiskDevice, declared further down.)
  // Re-reads the configuration as ReadCurrentConfig(refresh) does; the
  // names narrow nothing yet and `flags` is kept for callers that pass it.
  bool ReadCurrentConfig(std::vector<std::string>& names, int flags, bool refresh);
  // ---- end of disk devices ----

  // ---- DRU hosts (platform/mac/ZQMACDRUHosts.cpp) ----
  // The DRU hosts, in the order they were stored.
  ZQMACLinkedList<ZQMACHost> GetDRUHostList() const { return m_hostList; }
  // Stores a new host (named, of no instance; in an instance loaded from
  // the central database in its own row) and takes ownership of it; the
  // host gets its id and handle. False, with the reason as the instance's
  // last error, for null, a host of an instance, an empty name or one
  // another host carries (without regard to letter case), or a refusal of
  // the database: the caller keeps the host then.
  bool AddDRUHost(ZQMACHost* host);
  // Removes a host of this instance (its row first) and frees it. False,
  // with the reason as the instance's last error, for null, a host of
  // another instance, a host a disk device is tied to, or a refusal of the
  // database: nothing changes then.
  bool RemoveDRUHost(ZQMACHost* host);
  // ---- end of DRU hosts ----

  // ---- archive clusters (platform/mac/ZQMACCenteraClusters.cpp) ----
  // Stores a new cluster with its values and access nodes (named, of no
  // instance) and takes ownership of it, as AddDRUHost does a host.
  bool AddCenteraCluster(ZQMACCenteraCluster* cluster);
  // Removes a cluster of this instance (its rows first) and frees it; false,
  // with the reason as the instance's last error, when nothing changed.
  bool RemoveCenteraCluster(ZQMACCenteraCluster* cluster);
  // ---- end of archive clusters ----

  // ---- media-configuration parameters ----
  // Whether drives and libraries are matched by serial number: one value
  // for every instance and session of the process (true at load); consoles
  // read and set it through the media-configuration parameter requests.
  static std::atomic<bool> m_bCheckSerialNumber;
  // ---- end of the parameters ----

  // ---- session (configuration lock) ----
  // Reports the instance's progress through the progress hook (for example
  // 100 when a session is taken over: whatever ran on it is complete) and
  // keeps the value. False, with the reason in the last error and nothing
  // reported, when the model refuses.
  bool Percentage(int value);
  // The value last reported with Percentage; 0 until then.
  int GetPercentage() const { return m_iPercentage.load(); }
  // False while a library that an exhaustive detection on this instance
  // found is still not configured (its TestStateA is false), or when the
  // model cannot tell (reason in the last error). Libraries deleted since
  // they were found no longer count.
  bool IsExhaustiveDetectedLibraryConfigured();
  // Notes a library (a ZQMACLms or ZQMACMagLib of this instance) that an
  // exhaustive detection found; false for null or an object of another
  // instance.
  bool AddExhaustiveDetectedLibrary(ZQMACInterface* library);

  // ---- detection ----
  // Probes the listed media agents for tape and optical libraries and
  // drives, reporting through the hooks; `libraries` and `drives` are what
  // it found (both 0: nothing). False with the reason in the last error.
  bool AutoDetect(std::list<std::string>& mediaAgents, int& libraries, int& drives, bool checkNew);
  // Probes the named agent through the given hosts. False as above.
  bool AutoDetect(const std::string& mediaAgent, std::vector<std::string>& hosts, bool keep);
  // Exhaustive detection of one IP library controller with the drive
  // identifiers the console gave. False as above.
  bool ExhaustiveDetect(ZQMACIPLibController* controller, std::vector<std::string>& driveIdentifiers);
  // Exhaustive detection of one object of this instance, with a number
  // the console gives; of the listed media agents. False as above.
  bool ExhaustiveDetect(ZQMACInterface* object, unsigned int number);
  bool ExhaustiveDetect(std::list<std::string>& mediaAgents, unsigned int number);
  // The devices the last detection found that could be the drive.
  ZQMACLinkedList<ZQMACInterface> GetDetectedCandidateDeviceList(ZQMACDrive* drive);
  // True when the last detection found a device new to the listed agents.
  bool IsAnyNewDetectedDevice(ZQMACLinkedList<ZQMACInterface>& agents);
  // ---- end of detection ----

  // ---- library set-up (platform/mac/ZQMACAutoConfig.cpp) ----
  // Configures a library on the named media agent, keyed by the first of:
  //  - a mount path: a new disk library `libraryName` with a device, the
  //    agent's device controller to it and the mount path on it (the user
  //    name and the plain password are the controller's and the mount
  //    path's; the password is stored encrypted);
  //  - a serial number: the library of that serial that the agent sees
  //    (an existing one is taken as it is; `serialLibraryName` gets its
  //    name);
  //  - a device id: a new disk library over that disk device, at the
  //    agent's folder on it.
  // True with `newLibraryId` and `libraryId` the library's id and
  // `deviceId` its device (disk libraries). False, with the reason as the
  // instance's last error and nothing stored, for an unknown media agent,
  // serial or device, a name in use by another library, or a failure of
  // the database. `flag`, `storageVendorType` (the device's type),
  // `deviceName`, `autoConfigText`, `credentialId` and
  // `provisionedStorageType` are taken as the console gave them.
  bool AutoConfigLibrary(const std::string& mediaAgentName, std::string& serialLibraryName, int& libraryId,
                         const std::string& serialNumber, std::string& libraryName, int& newLibraryId,
                         const std::string& mountPath, const std::string& userName, const std::string& password,
                         bool flag, int storageVendorType, int& deviceId, const std::string& deviceName,
                         const std::string& autoConfigText, int credentialId, int provisionedStorageType);
  // ---- end of library set-up ----

  // ---- disk devices added by the mount-path request (ZQMACNetworkShare.cpp) ----
  // Takes a new device (owned by no configuration) into this one: named
  // the first free "DiskDevice_<n>" when it has no name, stored first when
  // the configuration lives on the database; listed and found by its id
  // from then on. False (reason in the instance's last error; the caller
  // keeps the device) when refused.
  bool AddDiskDevice(ZQMACDiskDevice* device);
  // ---- end of the disk devices ----

 protected:
  friend class ZQMACGraph;
  friend class ZQMACInterface;

  // Called by an owned object's destructor: unlinks it everywhere and drops
  // its handle.
  void ObjectGone(ZQMACInterface* object);
  // The handle of an object of this instance, given now when it has none
  // (ZQMACInterface::GetHandle); 0 for another object or when no handle is
  // left.
  unsigned long long GiveHandle(const ZQMACInterface* object) const;
  // Takes a new object (of no instance) as this instance's, with a handle
  // at once or none until one is asked for, touched (made in memory) or not
  // (made by a load from its row); false, with the reason as the last
  // error, as AdoptObject refuses.
  bool TakeObject(ZQMACInterface* object, bool withHandle, bool touched = true);
  // Enters an object among the instance's objects / removes it from them
  // with its handle; the caller holds m_registryMutex. A caller that
  // removes many at once asks LeaveObject to leave the holes and closes
  // them once after the last (CloseHoles), instead of every time they come
  // to outnumber the objects: each closing writes to every object still
  // there, a cache miss each in a large graph.
  void EnterObject(ZQMACInterface* object);
  bool LeaveObject(ZQMACInterface* object, bool closeHoles = true);
  void CloseHoles();
  // The object type the instance took the object in with (still known
  // while the object is being freed, when GetObjectType no longer is), or 0
  // when it is not among the instance's objects; the caller holds
  // m_registryMutex.
  unsigned int EnteredType(const ZQMACInterface* object) const;
  // Calls `visit` with each object of the instance, in the order they came;
  // the caller holds m_registryMutex.
  template <class Visit>
  void ForEachObject(Visit visit) const {
    for (ZQMACInterface* object : m_objects)
      if (object != nullptr) visit(object);
  }
  // The same for the objects whose type `keep` keeps, type by type: only
  // the places of those types are read.
  template <class Keep, class Visit>
  void ForEachObjectOfType(Keep keep, Visit visit) const {
    for (unsigned int type = 0; type < kZQMACTypeLists; ++type) {
      if (type + 1 < kZQMACTypeLists && !keep(type)) continue;
      for (std::size_t i : m_placesOfType[type].places)
        if (m_objects[i] != nullptr && keep(m_objectTypes[i])) visit(m_objects[i]);
    }
  }
  // Drops the instance's own references (lists, id maps) to what goes.
  void ForgetOwnReferences(const ZQMACGone& gone);
  // The same for one object of `type` (the type it was entered with) at
  // `address` with the id `id`: only the lists and maps that hold objects
  // of that type are looked at, an id map under the id (`anyId`: every
  // entry of it when the object is not there).
  void ForgetOwnReferencesOf(unsigned int type, const void* address, int id, bool anyId);

  // Class-wide members.
  static std::atomic<ZQMACPlatformType> m_eLocalPlatformType;
  static std::atomic<ZQMACStatusTextFunc> m_pFuncSetStatusText;
  static std::atomic<int> m_iStatusTextType;
  static std::atomic<ZQMACPercentageFunc> m_pFuncSetPercentage;
  static std::atomic<int> m_iPercentageType;

  // Instance members.
  std::string m_sLocalDrive;
  std::string m_sTKDBDrive;
  int m_iModuleMode = 0;
  ZQMACVendorInfo m_vendorInfo;
  std::atomic<bool> m_bAbort{false};
  std::atomic<bool> m_bTerminate{false};
  std::atomic<bool> m_bAutoDDS{false};
  std::atomic<bool> m_bDetectInParallel{false};
  std::string m_sServerName;

  std::map<int, ZQMACMediaAgent*> m_mediaAgentMap;
  std::map<int, ZQMACMountPath*> m_mountPathMap;
  std::map<int, ZQMACDiskDevice*> m_diskDeviceMap;
  std::map<int, ZQMACCenteraCluster*> m_centeraClusterMap;
  std::map<int, ZQMACHost*> m_hostMap;
  // The ids of the rows the objects read beside the lists (DRU hosts,
  // archive clusters) were laid from, by the number the
  // change log names their kind by, and the place in the log after which a
  // row born under one of them makes a new object (MergeStoredRows; -1:
  // every one does).
  std::map<int, std::set<int>> m_laidBeside;
  std::string m_besideBornEpoch;
  long long m_besideBornSeq = -1;

  ZQMACLinkedList<ZQMACMediaAgent> m_mediaAgentList;
  ZQMACLinkedList<ZQMACLms> m_lmsList;
  ZQMACLinkedList<ZQMACMagLib> m_magLibList;
  ZQMACLinkedList<ZQMACDiskDevice> m_diskDeviceList;
  ZQMACLinkedList<ZQMACCenteraCluster> m_centeraClusterList;
  ZQMACLinkedList<ZQMACHost> m_hostList;
  ZQMACLinkedList<ZQMACCopyMgrDevice> m_copyMgrDeviceList;
  ZQMACLinkedList<ZQMACCopyMgrController> m_copyMgrControllerList;
  ZQMACLinkedList<ZQMACIPLibController> m_ipLibControllerList;
  ZQMACLinkedList<ZQMACNode> m_costCategoryList;

  std::string m_sInstallationName;
  bool m_bInitialized = false;

  // ---- persistence in the central database ----
  // Set once the graph was loaded from the central database: from then on
  // names, configurations and deletions of its stored objects are written
  // back there. An instance filled another way (a test's loader) keeps its
  // changes in memory.
  bool m_bDatabaseBacked = false;
  // ---- end of persistence ----

 private:
  // The home of this instance's graph (ZQMACGraphHome); a graph handed over
  // brings its own.
  std::unique_ptr<ZQMACGraphHome> m_pHome;
  // The rows the graph was last laid over (null until a load from the
  // central database), and whether an instance-wide change ran.
  std::shared_ptr<ZQMACLaidRows> m_pLaidRows;
  std::atomic<bool> m_bUnclean{false};
  int m_iRowsGo = 0;  // RowsGoScope

  // Taken shared to find an object by its handle (listings do, for every
  // object, from many threads at once), exclusively for everything else.
  mutable ZQMACRegistryMutex m_registryMutex;
  // handle -> object, for the handles given so far (a const GetHandle gives
  // one, hence mutable).
  mutable ZQMACHandleRegistry m_registry;
  mutable std::atomic<unsigned long> m_ulHandlesRefused{0};  // GetHandlesRefused
  // Every object the instance owns, in the order it took them; each object
  // knows its place (m_uSlot). A freed object leaves a hole that a later
  // compaction closes.
  std::vector<ZQMACInterface*> m_objects;
  // The object type of each place of m_objects, so that a walk for objects
  // of some types reads no object of the others.
  std::vector<unsigned int> m_objectTypes;
  // The places of each type's objects, so that such a walk costs what the
  // types walked hold (a freed object's kin are asked of it by type).
  ZQMACTypePlaces m_placesOfType[kZQMACTypeLists];
  std::size_t m_liveObjects = 0;
  // The objects marked touched, in the order they were.
  std::vector<ZQMACInterface*> m_touched;
  // Stored objects freed with their rows since the graph was laid (object
  // type, id): the rows the graph was laid over no longer tell what it
  // holds of them, so the next load lays them as changed rows.
  std::vector<std::pair<unsigned int, int>> m_freedStored;

  // Session bookkeeping: the progress last reported, and the handles of the
  // libraries that exhaustive detection found (under m_detectedMutex).
  std::atomic<int> m_iPercentage{0};
  mutable std::mutex m_detectedMutex;
  std::vector<unsigned long long> m_exhaustiveDetectedLibraries;
};

// The model's link to the media-management service.
class ZQMACDbInterface {
 public:
  // True when the media-management service answers. False, with the
  // reason in GetLastError, when it does not.
  static bool TestConnectToMediaManager();
  // The reason of the last failed call (empty after a success).
  static std::string GetLastError();
};

#include "frame/mac/ZQMACObjects.h"
