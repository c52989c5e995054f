// The platform side of the media-configuration object model: where a
// configuration is loaded from, the journal of the model's calls, and the
// process-wide handle counter.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/journal/Journal.h"

class ZQMACBase;
class ZQMACMediaConfig;
class ZQMACMagLib;
class ZQMACInterface;
class ZQMACMountPath;
class ZQMACCopyMgrDevice;
struct MountPathInfo;
namespace tkdb {
class Session;
}

namespace tkmac {

// Loads the graph of an initialised instance (ReadCurrentConfig). Returns
// false with the reason set as the instance's last error. The instance may
// already hold objects: a loader that re-reads clears them first
// (ZQMACMediaConfig::ClearObjects).
using ConfigLoader = std::function<bool(ZQMACMediaConfig& config, bool refresh)>;

// Installs the configuration source; returns the one it replaces. Without an
// installed loader (null restores that), ReadCurrentConfig loads from the
// central database (loadFromDatabase).
ConfigLoader setConfigLoader(ConfigLoader loader);

// The default source: the stored configuration, laid over the instance's
// graph (objects still stored keep their handles), and the instance
// becomes database-backed (platform/mac/ZQMACDbLoader.cpp).
bool loadFromDatabase(ZQMACMediaConfig& config, bool refresh);
// Whether a stored library type id is one of a disk library.
bool isDiskLibraryTypeId(int libraryTypeId);
// The disk library of the instance that answers to `name` (its alias, or
// its name where the alias is empty), or null
// (platform/mac/ZQMACGraphIncrement.cpp): the one spelled so, else the only
// one whose name differs in letter case (A-Z matching a-z) alone.
// A database-backed instance finds it by the index its loads keep beside
// its graph, instead of comparing the name of every library; a library the
// index does not name (made or renamed in memory since) is looked for in
// the list.
// A disk library that only answers to the name in another letter case is
// not found when a tape library is spelled so (libraries of every kind
// share the name rule).
ZQMACMagLib* findMagLibAnswering(ZQMACMediaConfig& config, const std::string& name);
// The library of the instance stored under `libraryId` (a disk library, or
// a tape library's library-management object), or null: what a request
// that resolved, locked and checked a library works on.
ZQMACInterface* findLibraryById(ZQMACMediaConfig& config, int libraryId);

// Fills an empty central database with the demonstration installation
// (platform/mac/ZQMACDbSeed.cpp): the number of objects made (0 when the
// database already held a configuration), or -1; `report` says what was
// made, or why it failed.
int seedDemoInstallation(std::string& report);

// The storage policy of a new disk library just stored as `libraryId`
// (platform/mac/ZQMACWizard.cpp): false, with the archive manager's reason
// as the library's last error, when it cannot be made; the library's row is
// then removed again.
bool createLibraryStoragePolicy(ZQMACMagLib& library, int libraryId, const std::string& name);
// The wizard's first mount path of a disk library (ZQMACMagLib::AddMountPath
// with `info`): in a database-backed instance, a folder on no device given
// lies on a new device of the library's media agent, stored as the library
// set-up stores one (insertFolderDevice), in one step with the mount path,
// so that a re-read finds the library's agent through it. Null, with the
// reason as the library's last error, when nothing was stored.
ZQMACMountPath* addWizardMountPath(ZQMACMagLib& library, MountPathInfo info);

// Writes a stored software copy manager's name and concurrency limit
// (platform/mac/ZQMACCopyManagers.cpp), before the device takes them: true
// without writing for one of an instance not loaded from the central
// database; false, with the reason as the device's last error, when
// nothing was written.
bool storeCopyManager(ZQMACCopyMgrDevice& device, const std::string& name, int limit);

// Calls of the model that tests script and read: "Initialize" (installation
// name), "ReadCurrentConfig" (refresh flag), "SetEvDebugFile" (name);
// "LayStored" records how a load from the central database laid its rows:
// "taken over" (a graph handed over) or "own", then "part" or "every row". A
// failure injected into one of them makes the next call fail with its code
// and text as the instance's last error.
tkjournal::Journal& journal();
// Takes a failure injected into the call `name` of journal(), if any, as the
// object's (or instance's) last error: true when the call is to fail.
bool failed(ZQMACBase& object, const char* name);
// The same for a call whose changes to the object a re-read lays again from
// the rows (its links and the lists it is in): the object is not marked
// touched (see ZQMACMediaConfig.h) unless its last error changes.
bool failedUntouched(ZQMACBase& object, const char* name);

// Last-error codes of the model's own failures.
inline constexpr unsigned int kErrorNoInstallationName = 0x1F000002;
inline constexpr unsigned int kErrorAdoptRefused = 0x1F000003;
// What a request answers when it needs an object handle and the process has
// none left to give.
inline constexpr const char* kNoHandleLeftText =
    "No object handle is left: this host has given out every object handle it can. "
    "Restart the host to number the objects afresh.";
inline constexpr unsigned int kErrorInvalidName = 0x1F000004;
// The central database refused a read or a change.
inline constexpr unsigned int kErrorDatabase = 0x1F000005;
// The object's row is no longer in the database.
inline constexpr unsigned int kErrorObjectGone = 0x1F000006;
// The object was never stored, so the database cannot take its change.
inline constexpr unsigned int kErrorNotStored = 0x1F000007;

// The next handle the process will give out (0 once all are used up). Tests
// only: moving it backwards would hand out a handle twice.
uint32_t peekNextHandle();
void setNextHandle(uint32_t next);
// Frees the graph a freed instance left for the next new one, if any
// (ZQMACMediaConfig.h); tests start from none.
void dropParkedGraph();

// ---- the control request's calls (platform/mac/ZQMACControl.cpp) ----
// Journal names: "Configure" (handle, mode), "Deconfigure" (handle, force),
// "RunLongOperation" (handle), "RunCredentialOperation" (handle, name, user
// name, the password's length; never the password). A failure injected
// into one of them makes its next call fail with the code and text as the
// object's last error.
//
// The long operations report from a thread of their own, as the real model
// does: each step sends its status text (when not empty) through the
// status hook, then its percentage (when not negative) through the
// progress hook, and the call returns once the thread has ended. Before
// each step the operation looks at its instance's abort flag and stops
// with kErrorAborted when it is set.
struct LongOperationStep {
  std::string status;
  int percentage = -1;
};
struct LongOperationScript {
  std::vector<LongOperationStep> steps;
  bool succeed = true;             // false: the call fails after its steps
  unsigned int errorCode = 0;      // ... with this last error
  std::string errorText;
  std::string result;              // the credential operation's result text
  bool terminate = false;          // the session ends while it runs: the instance's terminate flag is set
  std::function<void(int step)> onStep;  // called on the operation's thread after each step
};
// The script of the following long operations (both kinds) until cleared.
// Without one, RunLongOperation reports one step per drive
// (CountDrives(true); percentages 100 * i / n) and RunCredentialOperation
// one step of 50 and the result "The credentials of [user] were accepted
// for [name]."
void scriptLongOperations(LongOperationScript script);
void clearLongOperationScript();
// The database id that Configure gives the next object not yet stored in
// an instance that is not database-backed; ids count up from it.
void setNewObjectIds(int first);
// Takes the next of those ids (for an object stored outside Configure).
int takeNewObjectId();
inline constexpr unsigned int kErrorAborted = 0x1F000008;
// Runs the script's steps on a thread of their own, as above, and waits for
// it; false when the owner's abort flag stopped them.
bool runLongOperationSteps(ZQMACMediaConfig* owner, const LongOperationScript& script);
// ---- end of the control request's calls ----

// ---- the library-change request's and drag and drop's calls ----
// (platform/mac/ZQMACLibraryChanges.cpp) Journal names: "SetDeviceValue",
// "SetDeviceTextC", "SetDriveCount", "SetDoorLockFlag" (the library's
// handle, the value), "SetAutoDiscover" (handle, flag, media type),
// "SetDiscoverSchedule" (handle), "UpdateSCSIBus" (handle, the source's
// handle or 0), "RunObjectAction" (handle), "DragNDrop" (source, target,
// mode). A failure injected into one of them makes its next call fail with
// the code and text as the last error of the object (the instance for
// DragNDrop).
// A drop the model refuses (a gesture that means nothing for the objects).
inline constexpr unsigned int kErrorDropRefused = 0x1F000003;
// A value out of range (a negative drive count, ...).
inline constexpr unsigned int kErrorInvalidValue = 0x1F000009;
// A library controller was asked for and the object is none of this instance.
inline constexpr unsigned int kErrorNoController = 0x1F00000A;
// ---- end of the library-change calls ----
// ---- detection (platform/mac/ZQMACDetection.cpp) ----
// Journal names: "AutoDetect" (the agent names joined by ",", libraries
// and drives found) for a detection by agent list, "AutoDetectHosts"
// (agent, the hosts joined by ",", keep), "ExhaustiveDetect" (the
// controller's handle, the drive identifiers joined by ","),
// "ExhaustiveDetectObject" (handle, number), "ExhaustiveDetectAgents"
// (the names joined by ",", number), "IsAnyNewDetectedDevice" (the agents'
// names joined by ",", answer). A failure injected into any but the last
// makes its next call fail with the code and text as the instance's last
// error.
//
// A detection runs its steps like a long operation (from a thread of its
// own, looking at the abort flag before each step), then ends as the
// script says.
struct DetectionScript {
  LongOperationScript run;         // the steps, the outcome, the session end
  std::map<std::string, std::pair<int, int>> found;  // agent name -> (libraries, drives)
  std::vector<std::string> newDeviceAgents;           // agents for which a new device was found
  // The candidate devices of an object as seen from a host ("" for the
  // agent itself, and for drives), by the object's handle: device handles.
  std::map<std::pair<unsigned long long, std::string>, std::vector<unsigned long long>> candidates;
};
// The script of the following detections until cleared. Without one a
// detection reports one step of 100 and finds nothing.
void scriptDetection(DetectionScript script);
void clearDetectionScript();
// ---- end of detection ----

// ---- library set-up (platform/mac/ZQMACAutoConfig.cpp) ----
// Journal name "AutoConfigLibrary" with the media-agent name, the serial
// library name, library id, serial number, library name, mount path, user
// name, the password's length (never the password), the flag, storage
// vendor type, device id, device name, the tag-48 text, credential id and
// provisioned storage type. A failure injected into it makes the next call
// fail with its code and text as the instance's last error.
//
// A library that a media agent sees, found by its serial number.
struct VisibleLibrary {
  std::string mediaAgent;
  std::string serialNumber;
  std::string vendor;
  std::string model;
};
// What the media agents see from now on (replacing the earlier list).
void setVisibleLibraries(std::vector<VisibleLibrary> libraries);
// The capacity of the media side of the next mount paths made (5,120,000
// until set).
void setNewMountPathCapacity(long long capacity);
// The capacity that the next mount path made gets.
long long newMountPathCapacity();

// The device a disk library's folder lies on, as the library set-up stores
// it: a device row with the media agent's device controller on the folder.
struct FolderDevice {
  int agentId = 0;
  std::string deviceName;
  int deviceType = 1;
  std::string folder;
  std::string userName;
  std::string password;  // in its stored form (tkpassword::storedFormFor)
};
// Inserts the two rows in the session (joining its open transaction): the
// new ids into `deviceId` and `volumeId`; the database's code.
int insertFolderDevice(tkdb::Session& s, const FolderDevice& device, int& deviceId, int& volumeId);

inline constexpr unsigned int kErrorUnknownMediaAgent = 0x1F00000B;
inline constexpr unsigned int kErrorNameInUse = 0x1F00000C;
inline constexpr unsigned int kErrorNotSeen = 0x1F00000D;
// DeconfigureLibrary: the disk library still has mount paths.
inline constexpr unsigned int kErrorMountPathsRemain = 0x1F000030;
// ---- end of library set-up ----

// ---- media agents (platform/mac/ZQMACMediaAgents.cpp) ----
// Journal names: "GetLibServerNameList" (the agent's name, vendor,
// product), "AddPnpDisk" (the library's handle, the agent names joined by
// ","). A failure injected into either makes its next call fail with the
// code and text as the last error of the agent (of the instance for
// AddPnpDisk).
// What the library server on a host offers from now on (replacing what it
// offered before); an empty list removes the host.
void setLibServerNames(const std::string& host, std::vector<std::string> names);
void clearLibServerNames();
// Copy managers (platform/mac/ZQMACCopyManagers.cpp): "SetConcurrencyLimit"
// (the device's handle, the limit) and "AddSoftwareCopyManager" (the
// agent's handle, the limit), scripted the same way.
// ---- end of media agents ----
// ---- the control request's changes (platform/mac/ZQMACControlChanges.cpp) ----
// Journal names: "ReplaceObject" (handle, the replacement's handle or 0,
// keep), "UpdateHost" (handle, host, agent), "AttachToLibrary" (the
// controller's handle, the library's handle), "DeconfigureDrive" (handle),
// "VerifyDevice" (the volume's handle, operation, value). A failure
// injected into one of them makes its next call fail with the code and
// text as the last error of the instance (ReplaceObject, UpdateHost) or of
// the object.
// An object or replacement that is null or none of this instance.
inline constexpr unsigned int kErrorUnknownObject = 0x1F000011;
// ---- end of the control request's changes ----
// ---- disk devices and volumes (platform/mac/ZQMACDiskDevices.cpp) ----
// Journal names: "SetDRUId" (the device's handle, the id),
// "UpdateRemoteHostInfo" (handle, remote path, user name),
// "UpdateMountPath" (the volume's handle, path, user name), "AddDiskDevice"
// (display type), "ReadCurrentConfigNames" (flags, refresh), and
// "VerifyDevice" (the volume's handle, operation, the volume's path for the
// path and cloud verifications). A failure injected into one of them makes
// its next call fail with the code and text as the last error of the object
// (the instance for AddDiskDevice and ReadCurrentConfigNames).
//
// What a path or cloud verification of a volume finds: success with the
// result text, or failure with the last error. Without a script for the
// volume's path and mode a verification succeeds with the path as its
// result; a volume without a path fails. A vault lock (mode 3) of a volume
// whose path is scripted to fail fails with that last error; otherwise it
// takes the value's number of days.
struct VerifyOutcome {
  bool succeed = true;
  std::string result;
  unsigned int errorCode = 0;
  std::string errorText;
};
void scriptVerification(const std::string& path, int mode, VerifyOutcome outcome);
void clearVerificationScript();
inline constexpr unsigned int kErrorUnreachable = 0x1F000012;
// ---- end of disk devices and volumes ----

}  // namespace tkmac
