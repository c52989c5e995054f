// Media-management table access for the media-configuration object model:
// the whole stored configuration in one consistent read, and the changes the
// model writes back (names, configured state and settings, removals).
//
//   MMMediaConfigDB access;
//   MMStoredConfig stored;
//   if (access.loadAll(stored) != 0) ... access.lastErrorText() ...
//
// loadAll reads each table once (only the columns the model uses), in id
// order, inside one transaction, so a load never sees half of a change that
// another session makes. Texts are cut to the width of their column (on a
// character boundary), never longer than the row structs hold them.
//
// Every change is all or nothing: on failure nothing was written and the
// error (MMBaseDB.h) says why. Conventions in platform/mmdb/MMBaseDB.h.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/mmdb/MMBaseDB.h"
#include "platform/mmdb/MMCopyManagerDB.h"
#include "platform/mmdb/MMRowList.h"
#include "platform/mmdb/MMStoredKinds.h"

// The attribute bit of a media agent (MMHost.Attribute) and of a library
// (MMLibrary.ExtendedAttributes) that keeps it out of the consoles' lists.
inline constexpr int kMMHiddenAttribute = 0x2000;

// The records of a load. Their constructors are not defaulted: every member
// has its initializer, and a defaulted one makes a list's emplace_back()
// clear the whole record first (a load makes one per row).
struct MMStoredMediaAgent {
  MMStoredMediaAgent() {}  // not defaulted: see above
  int clientId = 0;
  std::string name;
  std::string netHostName;
  std::string displayName;
  long long osId = 0;
  int attribute = 0;
};

struct MMStoredLibrary {
  MMStoredLibrary() {}  // not defaulted: see above
  int libraryId = 0;
  std::string name;  // AliasName, or LibraryName when the alias is empty
  std::string aliasName;
  std::string vendor;    // LibraryVendor
  std::string model;     // LibraryModel
  std::string firmware;  // FirmwareRevision
  std::string serial;    // SerialNumber
  int libraryTypeId = 0;
  int vtlType = 0;
  int enabled = 0;
  int barCodeReader = 0;
  int driveCount = 0;
  int baseAddress = 0;
  int libraryAttribute = 0;
  int extendedAttributes = 0;
  int lowWaterMarkMB = 0;

  bool operator==(const MMStoredLibrary&) const = default;
};

struct MMStoredLibraryController {
  MMStoredLibraryController() {}  // not defaulted: see above
  int id = 0;
  std::string name;
  int clientId = 0;
  int libraryId = 0;
  int isActive = 0;
  int isEnabled = 0;
  int controllerType = 0;

  bool operator==(const MMStoredLibraryController&) const = default;
};

struct MMStoredMasterPool {
  MMStoredMasterPool() {}  // not defaulted: see above
  int id = 0;
  std::string name;
  int libraryId = 0;
  int type = 0;

  bool operator==(const MMStoredMasterPool&) const = default;
};

struct MMStoredDrivePool {
  MMStoredDrivePool() {}  // not defaulted: see above
  int id = 0;
  std::string name;
  int masterPoolId = 0;
  int clientId = 0;
  int type = 0;
  int enabled = 0;
  int copyManagerCtrlId = 0;
  int costCategoryId = 0;
  std::string proxyHost;  // NDMP pools: the NDMP server they reach (Descript)

  bool operator==(const MMStoredDrivePool&) const = default;
};

struct MMStoredDrive {
  MMStoredDrive() {}  // not defaulted: see above
  int id = 0;
  std::string name;  // AliasName, or DriveName when the alias is empty
  std::string aliasName;
  std::string serialNumber;
  std::string vendor;    // DriveVendor
  std::string model;     // DriveModel
  std::string firmware;  // FirmwareRevision
  int masterPoolId = 0;
  int driveNumber = 0;
  int enabled = 0;
};

struct MMStoredDrivePath {
  MMStoredDrivePath() {}  // not defaulted: see above
  int id = 0;
  int driveId = 0;
  int drivePoolId = 0;
  int clientId = 0;
  std::string pathName;
  int enabled = 0;
};

struct MMStoredMountPath {
  MMStoredMountPath() {}  // not defaulted: see above
  int id = 0;
  std::string name;
  std::string userName;
  int libraryId = 0;
  int typeId = 0;
  int enabled = 0;
  int deviceId = 0;  // the lowest device the path lies on; 0 for none

  bool operator==(const MMStoredMountPath&) const = default;
};

struct MMStoredDevice {
  MMStoredDevice() {}  // not defaulted: see above
  int id = 0;
  std::string name;
  int typeId = 0;
  int druHostId = 0;  // the DRU host the device is tied to; 0: none

  bool operator==(const MMStoredDevice&) const = default;
};

struct MMStoredDeviceController {
  MMStoredDeviceController() {}  // not defaulted: see above
  int id = 0;
  int clientId = 0;
  int deviceId = 0;
  std::string folder;
  std::string userName;
  int enabled = 0;
  int accessType = 0;
  int credentialAssocId = 0;
  int snrVolumeId = 0;

  bool operator==(const MMStoredDeviceController&) const = default;
};

// ---- a new mount path (MMMediaConfigDB::insertMountPath) ----
struct MMNewMountPath {
  int libraryId = 0;
  std::string name;  // the folder or share path
  std::string userName;
  std::string password;  // as prepared for storage
  int typeId = 0;
  int deviceId = 0;  // 0: on no device
  int maxConcurrentWriters = 0;
  int reserveSpaceMB = 0;
  long long capacity = 0;  // of its media side
};
// ---- end of the new mount path ----

// ---- a new NDMP drive path (MMMediaConfigDB::insertNdmpDrivePath) ----
struct MMNewNdmpDrivePath {
  int masterPoolId = 0;
  int clientId = 0;           // the media agent
  int drivePoolId = 0;        // an existing pool; 0: a new one ...
  std::string drivePoolName;  // ... of this name
  std::string proxyHost;      // ... and NDMP server
  int drivePoolType = 0;
  MMStoredDrive drive;        // name, serial number, vendor, model, firmware, drive number
  std::string pathName;       // the access path
  // The path's own settings (MMObjectSetting, kind DrivePath: name, value),
  // written with its row.
  std::vector<std::pair<std::string, std::string>> pathSettings;
};
// ---- end of the new NDMP drive path ----

// The stored configuration, each list in id order.
struct MMStoredConfig {
  std::vector<MMStoredMediaAgent> mediaAgents;  // clients with a host row (MMHost)
  std::vector<MMStoredLibrary> libraries;
  std::vector<MMStoredLibraryController> libraryControllers;
  std::vector<MMStoredMasterPool> masterPools;
  std::vector<MMStoredDrivePool> drivePools;
  std::vector<MMStoredDrive> drives;
  std::vector<MMStoredDrivePath> drivePaths;
  std::vector<MMStoredMountPath> mountPaths;
  std::vector<MMStoredDevice> devices;
  std::vector<MMStoredDeviceController> deviceControllers;
  std::vector<MMStoredCopyManager> copyManagers;
};

// What a change addresses: a stored kind (its registry: MMStoredKinds.h).

// The stored configuration as a load hands it out: each list in id order,
// shared and never changed once made, so that loads can hand out the same
// lists to many configurations while a later re-read makes new lists for
// the kinds that changed (sharing the chunks of rows that did not).
struct MMStoredSnapshot {
  template <class Row>
  using List = std::shared_ptr<const MMRowList<Row>>;
  List<MMStoredMediaAgent> mediaAgents;
  List<MMStoredLibrary> libraries;
  List<MMStoredLibraryController> libraryControllers;
  List<MMStoredMasterPool> masterPools;
  List<MMStoredDrivePool> drivePools;
  List<MMStoredDrive> drives;
  List<MMStoredDrivePath> drivePaths;
  List<MMStoredMountPath> mountPaths;
  List<MMStoredDevice> devices;
  List<MMStoredDeviceController> deviceControllers;
  List<MMStoredCopyManager> copyManagers;
  // Calls f(kind, mine, theirs) with each kind's list of rows here and the
  // same kind's list of `other`, in kind order: every kind.
  template <class F>
  void forEachList(const MMStoredSnapshot& other, F&& f) const {
    using K = MMStoredKind;
    f(K::MediaAgent, mediaAgents, other.mediaAgents);
    f(K::Library, libraries, other.libraries);
    f(K::LibraryController, libraryControllers, other.libraryControllers);
    f(K::MasterPool, masterPools, other.masterPools);
    f(K::DrivePool, drivePools, other.drivePools);
    f(K::Drive, drives, other.drives);
    f(K::DrivePath, drivePaths, other.drivePaths);
    f(K::MountPath, mountPaths, other.mountPaths);
    f(K::Device, devices, other.devices);
    f(K::DeviceController, deviceControllers, other.deviceControllers);
    f(K::CopyManager, copyManagers, other.copyManagers);
  }
  // Where in its database's change log the lists were read, when the log
  // can tell a later read what changed since; else logSeq is -1.
  std::string logEpoch;
  long long logSeq = -1;
  // Where in the log the rows born after the lists were read begin
  // (MMMediaConfigDB::bornSince), inside a transaction too; else -1.
  std::string bornEpoch;
  long long bornSeq = -1;
  // The stamp of the log's entry at bornSeq (none: the log was empty), so
  // that a question about the place can tell that the log still holds the
  // entry read there.
  std::optional<long long> bornStamp;
  // The births the read that made the lists found in the log after
  // `bornFrom` up to bornSeq (a read in part lists them with what changed),
  // so that the reads that follow it learn them without reading the log
  // again; null when the read listed none to go by.
  struct Birth {
    int kind;
    int id;
    long long seq;
  };
  long long bornFrom = -1;
  std::optional<long long> bornFromStamp;  // of the entry at bornFrom, found as the read before read it
  std::shared_ptr<const std::vector<Birth>> born;
};

// The rows born (inserted, or moved to their id) in a span of the change
// log, by kind (MMStoredKind, or a kind the log names beside them:
// MMConfigChangeLog.h), when the log still holds the whole span.
struct MMBornSince {
  bool known = false;    // else no object of before the span can be told from a new one
  std::string epoch;     // of the log now
  long long upTo = -1;   // the span's last place: its end, or the log's newest entry before it
  std::map<int, std::set<int>> ids;
  // Of those, the ids under which two or more rows were born in the span:
  // a row made since the span began is another object once a row is born
  // again under its id.
  std::map<int, std::set<int>> again;
  // The ids born of `kind` (none: an empty set), or null when the log
  // cannot tell: then every row of the kind may have been.
  const std::set<int>* of(int kind) const;
  // The ids of `kind` born twice or more, as `of` gives the ids born.
  const std::set<int>* againOf(int kind) const;
  // Notes a birth in the span.
  void add(int kind, int id) {
    if (!ids[kind].insert(id).second) again[kind].insert(id);
  }
};

struct MMStoredDRUHost;
struct MMStoredCenteraCluster;

// A row of the vendor catalogues (MMVendorCatalogue): which catalogue (0
// drives, 1 libraries, 2 libraries a library server serves) and its texts.
struct MMStoredVendorEntry {
  long long catalogue = 0;
  std::string vendor;
  std::string product;
  std::string label;
};

// One column of a settings change. The column must be one of the kind's
// settable columns (settableColumns); the value is bound, never formatted.
// A non-zero `mask` (integer columns) changes only those bits of the stored
// value to the value's, and keeps every other bit as stored.
struct MMStoredColumn {
  std::string column;
  tkdb::DbValue value;
  int64_t mask = 0;
};

class MMMediaConfigDB : public MMTableAccess {
 public:
  explicit MMMediaConfigDB(MMDebug* log = nullptr) : MMTableAccess(log) {}

  // The whole stored configuration; `out` is replaced only on success.
  int loadAll(MMStoredConfig& out, DBtran* tran = nullptr);
  // The whole stored configuration as it is now, in one consistent read as
  // loadAll makes it; `out` is replaced only on success. The process keeps
  // what it last read of the central database: a later call reads again
  // only the rows of the objects that the database's change log
  // (MMConfigChangeLog.h) names since, and reads everything when it cannot
  // tell what changed (first read, another database, the log incomplete,
  // pruned or of another history). A call made while the thread's
  // transaction is open reads everything and keeps nothing: it sees the
  // transaction's own changes, which may yet be rolled back. A re-read
  // scans no table of a kind the log names nothing of, so the statements
  // made depend on what the process kept and on what changed since: a read
  // after forgetLoaded makes the same statements as any other whole read.
  int loadCurrent(MMStoredSnapshot& out);
  // The rows born after the place `from` of the log of `epoch` and at or
  // before `to` (LLONG_MAX: up to the log's newest entry), in the thread's
  // transaction; `out.known` false when they cannot all be told (another
  // epoch, a trigger missing, `from` -1, or pruned past `from` before the
  // process read the entries). Outside a transaction the process reads each
  // entry of the log once: a question reads only the entries after the last
  // one read, and the births read answer from then on, also once the log
  // has pruned them.
  // `fromStamp`, when the asker knows it, is the stamp of the entry at its
  // place: a log whose entry there is another (it went back and grew
  // again) cannot tell.
  int bornSince(const std::string& epoch, long long from, long long to, MMBornSince& out,
                const std::optional<long long>& fromStamp = std::nullopt);
  // The same, answered from the births `read` (a snapshot loadCurrent
  // made) lists where they cover the span, the log read only past them.
  int bornSince(const MMStoredSnapshot& read, const std::string& epoch, long long from, long long to,
                MMBornSince& out, const std::optional<long long>& fromStamp = std::nullopt);
  // Whether the row of `kind` under `id` is still the one a reader took it
  // for at the place `from` of the log of `epoch`: no more rows were born
  // under the id after that place than `ownBirths`, the rows the reader
  // itself made under it since (0, or 1 for an object it stored after that
  // read), as bornSince tells them, at the cost of the entries the process
  // has not read yet. 0 when so. -1 with MMS2_ERROR_NOT_FOUND and the text
  // of a missing object ("No library with id [3].") when another row was
  // born under the id since; -1 with MMS2_ERROR_UNTOLD, and a text that
  // says to read the configuration again, when the log cannot tell
  // (another epoch, pruned past `from` before the process read it, `from`
  // -1, a trigger of it missing); else a database failure.
  int sameRowSince(MMStoredKind kind, int id, const std::string& epoch, long long from, int ownBirths,
                   const std::optional<long long>& fromStamp = std::nullopt);
  // Forgets what the process read: the next loadCurrent reads everything.
  static void forgetLoaded();
  // Where the change log stands now, in the thread's transaction: its
  // newest entry (0: none), or -1 when it cannot tell every change (a
  // trigger of it missing). Taken before a removal, what the log names
  // after it is what the removal took.
  int changeLogMark(long long& mark);
  // The vendor catalogues, DRU hosts and archive clusters that a
  // configuration read reads beside `snapshot` (as loadCurrent gave it), as
  // the process kept them: true with them when they were kept at the
  // snapshot's place in the change log, which names every change of theirs,
  // so that none has been made since they were read; false when they must
  // be read, and then keepBeside keeps what was read for the next read at
  // that place.
  static bool keptBeside(const MMStoredSnapshot& snapshot, std::vector<MMStoredVendorEntry>& catalogues,
                         std::vector<MMStoredDRUHost>& hosts, std::vector<MMStoredCenteraCluster>& clusters);
  static void keepBeside(const MMStoredSnapshot& snapshot, const std::vector<MMStoredVendorEntry>& catalogues,
                         const std::vector<MMStoredDRUHost>& hosts,
                         const std::vector<MMStoredCenteraCluster>& clusters);

  // Writes an object's configuration in one step: its name (null: kept),
  // its configured state and the given settings. A name must be 1 to the
  // column's width bytes; a library's, a device's and a media agent's must
  // be new among their kind, a mount path's and a master pool's within their
  // library: MMS2_ERROR_DUPLICATE_NAME. A missing object is
  // MMS2_ERROR_NOT_FOUND; a column the kind cannot set MMS2_ERROR_BAD_ARGUMENT.
  int storeObject(MMStoredKind kind, int id, const char* name, int configured,
                  const std::vector<MMStoredColumn>& settings, DBtran* tran = nullptr);
  // Pass as `configured` to leave the configured state as it is.
  static constexpr int kKeepConfigured = -1;

  // Removes the object's rows with what depends on them: a library with
  // everything of it (drive paths included); a drive or a drive pool with
  // its drive paths; a master pool with its drive pools and their paths
  // (refused while drives or mount paths still belong to it); a drive pool
  // or master pool is refused while storage-policy copies write through it
  // (MMDataPath); a device (refused while
  // mount paths lie on it) with its device controllers; a media agent's
  // host row (refused while controllers, pools, paths or device
  // controllers of it remain). MMS2_ERROR_NOT_FOUND when it is gone already.
  int removeObject(MMStoredKind kind, int id, DBtran* tran = nullptr);

  // Stores a library controller added to a media agent, with the library it
  // reaches (a tape library, not configured yet: LibraryName, vendor, model,
  // drive count and base address of `library`), in one step. A negative
  // `controller.clientId` asks for the media agent of the client named
  // `agentName` (its host row is made when the client is no media agent
  // yet; MMS2_ERROR_NOT_FOUND when no client has that name). The new ids
  // come back in library.libraryId, controller.id, controller.libraryId and
  // controller.clientId.
  int insertLibraryController(const std::string& agentName, MMStoredLibrary& library,
                              MMStoredLibraryController& controller, DBtran* tran = nullptr);

  // Stores a media agent made for a name the configuration does not know:
  // the client of that name (made, with the name as its network host name,
  // when no client has it yet) gets its host row with `agent.attribute`, or
  // the hidden bit of that attribute when another writer made the row
  // meanwhile. The client id comes back in agent.clientId.
  int insertMediaAgent(MMStoredMediaAgent& agent, DBtran* tran = nullptr);

  // Stores a new master pool of the library, or a new drive pool (of
  // `type`) of the master pool for the media agent `clientId`; the new id
  // comes back in `id`. The name must be new within the library:
  // MMS2_ERROR_DUPLICATE_NAME; a missing library or master pool is
  // MMS2_ERROR_NOT_FOUND.
  int insertMasterPool(int libraryId, const std::string& name, int& id, DBtran* tran = nullptr);
  int insertDrivePool(int masterPoolId, int clientId, const std::string& name, int type, int& id,
                      DBtran* tran = nullptr);

  // Stores a new disk library, configured: LibraryName `library.name`,
  // AliasName, LibraryTypeId, LowWaterMarkMB and LibraryAttribute; a name
  // or alias that a library already carries as its name or alias is
  // MMS2_ERROR_DUPLICATE_NAME. The new id comes back in library.libraryId.
  int insertDiskLibrary(MMStoredLibrary& library, DBtran* tran = nullptr);

  // ---- new mount paths (platform/mmdb/MMMediaConfigMountPaths.cpp) ----
  // Stores a new mount path of a disk library in one step: the library's
  // master pool when it has none yet, a medium with its media side of the
  // given capacity, the mount path on them, and its link to the device.
  // A name that a mount path of the library carries already is
  // MMS2_ERROR_DUPLICATE_NAME; a missing library or device
  // MMS2_ERROR_NOT_FOUND; texts too wide for their columns
  // MMS2_ERROR_TEXT_TOO_LONG. The new id comes back in `id`.
  int insertMountPath(const MMNewMountPath& mountPath, int& id, DBtran* tran = nullptr);
  // Stores a new disk device (AliasName `device.name`, new among devices:
  // else MMS2_ERROR_DUPLICATE_NAME; DeviceTypeId), enabled; the new id
  // comes back in device.id.
  int insertDevice(MMStoredDevice& device, DBtran* tran = nullptr);
  // Stores a new device controller (a disk volume) of the media agent
  // `controller.clientId` to the device `controller.deviceId` (both must
  // exist: MMS2_ERROR_NOT_FOUND): Folder, UserName, the password as
  // prepared for storage, DeviceAccessType, CredentialAssocId, accessible
  // as `detected` says; the new id comes back in controller.id.
  int insertDeviceController(MMStoredDeviceController& controller, const std::string& password, bool detected,
                             DBtran* tran = nullptr);
  // Stores a new NDMP drive path in one step: its drive pool when it is
  // new, its drive in the master pool and the path. A missing master pool,
  // pool or media agent is MMS2_ERROR_NOT_FOUND; a new pool's name that the
  // library has MMS2_ERROR_DUPLICATE_NAME. The new ids come back in
  // path.drivePoolId, path.drive.id and `pathId`.
  int insertNdmpDrivePath(MMNewNdmpDrivePath& path, int& pathId, DBtran* tran = nullptr);
  // ---- end of new mount paths ----
  // ---- objects configured before they were ever stored (platform/mmdb/MMMediaConfigNewObjects.cpp) ----
  // Stores, in one step, the media agents, tape libraries, library
  // controllers, master pools, drive pools, drives and drive paths of
  // `objects` (its mount paths, devices and device controllers must be
  // empty), each list in its order. A link (clientId, libraryId,
  // masterPoolId, drivePoolId, driveId) is the id of a stored row (> 0),
  // -(i + 1) for the i-th new row of that kind, or 0 for none where a row
  // may have none (a controller's, pool's or path's media agent, a path's
  // pool). A media agent is named by its client (name); an existing client
  // without a host row gets one. Drive pools carry their NDMP server in
  // proxyHost. On success every row's own id holds its new id and every
  // link the id it names. A library name or alias that a library carries
  // already, a master pool's or drive pool's name that its library has, is
  // MMS2_ERROR_DUPLICATE_NAME; a stored row a link names that is gone, or a
  // client of that name that does not exist, MMS2_ERROR_NOT_FOUND; a
  // missing name or a link outside the batch MMS2_ERROR_BAD_ARGUMENT; a
  // text too wide for its column MMS2_ERROR_TEXT_TOO_LONG. Nothing is
  // stored then.
  int insertObjects(MMStoredConfig& objects, DBtran* tran = nullptr);
  // ---- end of the objects configured before they were stored ----

  // The widest text a kind's name column holds, in bytes.
  static size_t nameWidth(MMStoredKind kind);
  // The table that holds a row per object of the kind, and its key column.
  static const char* rowTable(MMStoredKind kind);
  static const char* rowKey(MMStoredKind kind);
  // The columns storeObject may set for a kind.
  static const std::vector<std::string>& settableColumns(MMStoredKind kind);

  // Whether the configuration tables hold no library and no media agent.
  int isEmpty(bool& empty, DBtran* tran = nullptr);
  // Fills an empty configuration with the demonstration installation, all
  // or nothing: two media agents, a tape library with a controller, two
  // drives reached by both agents, a drive pool per agent in one master
  // pool, and a disk library with two mount paths on a disk device.
  // `made` is the number of objects made (0 when the configuration was not
  // empty and nothing was made), `report` says what was made.
  int seedDemo(int& made, std::string& report, DBtran* tran = nullptr);

 private:
  // An object a new row names (its `kind` and `id`) is stored: DB_OK; a
  // refusal naming it (kRefused) when it is not; else the engine's code.
  static int requireStoredObject(tkdb::Session& s, MMStoredKind kind, int id, Refusal& refusal);
};
