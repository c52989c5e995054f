// Test control of the media-configuration object model.
//
//  - journal(): the model's calls "Initialize", "ReadCurrentConfig" and
//    "SetEvDebugFile" with their arguments; injectFailure(name, code, text)
//    makes the next call fail with that last error.
//  - ScopedLoader: the configuration source of ReadCurrentConfig for a scope
//    (for example one that seeds the standard world below).
//  - ScopedHandleCounter: moves the process's handle counter for a scope.
//  - seedWorld(config): fills an instance with a small installation and
//    returns its objects; ZQMACGraph (platform/mac/ZQMACGraph.h) builds
//    anything else.
//  - Session calls: failNext("TestConnectToMediaManager" |
//    "IsExhaustiveDetectedLibraryConfigured" | "Percentage" | "Initialize" |
//    "ReadCurrentConfig", code, text) makes the next call fail with that last
//    error; markExhaustiveDetected notes a library that exhaustive detection
//    found (configure it with ZQMACGraph::SetConfigured).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "frame/mac/ZQMACObjects.h"
#include "platform/mac/ZQMACGraph.h"
#include "platform/mac/ZQMACPlatform.h"

namespace testkit::mac {

inline tkjournal::Journal& journal() { return tkmac::journal(); }

// Forgets journal and scripted failures, removes the hooks and the loader
// (ReadCurrentConfig then reads the central database of TK_DB again),
// and sets the locale back to 0.
inline void reset() {
  tkmac::dropParkedGraph();
  tkmac::journal().reset();
  tkmac::setConfigLoader(nullptr);
  ZQMACMediaConfig::SetStatusTextFunc(nullptr, 0);
  ZQMACMediaConfig::SetPercentageFunc(nullptr, 0);
  ZQMACBase::SetLocale(0);
  tkmac::clearLongOperationScript();
  tkmac::clearDetectionScript();
  // Library set-up: agents see no library by serial; new mount paths get the default capacity.
  tkmac::setVisibleLibraries({});
  tkmac::setNewMountPathCapacity(5120000);
  tkmac::clearVerificationScript();
}

class ScopedLoader {
 public:
  explicit ScopedLoader(tkmac::ConfigLoader loader) : m_previous(tkmac::setConfigLoader(std::move(loader))) {}
  ~ScopedLoader() { tkmac::setConfigLoader(std::move(m_previous)); }
  ScopedLoader(const ScopedLoader&) = delete;
  ScopedLoader& operator=(const ScopedLoader&) = delete;

 private:
  tkmac::ConfigLoader m_previous;
};

// Sets the next handle for a scope (to test the top of the handle range),
// then puts the counter back where it was; handles given out inside the
// scope lie above every handle given out before it.
class ScopedHandleCounter {
 public:
  explicit ScopedHandleCounter(uint32_t next) : m_saved(tkmac::peekNextHandle()) { tkmac::setNextHandle(next); }
  ~ScopedHandleCounter() { tkmac::setNextHandle(m_saved); }
  ScopedHandleCounter(const ScopedHandleCounter&) = delete;
  ScopedHandleCounter& operator=(const ScopedHandleCounter&) = delete;

 private:
  uint32_t m_saved;
};

// The objects of the standard world.
struct World {
  ZQMACMediaAgent* agent1 = nullptr;  // id 2 "ma1", host "ma1.example.net"
  ZQMACMediaAgent* agent2 = nullptr;  // id 3 "ma2", host "ma2.example.net"
  // Tape library id 5 "TapeLib1" with one controller per agent.
  ZQMACLms* lms = nullptr;
  ZQMACLibrary* library = nullptr;
  ZQMACLibController* controller1 = nullptr;  // id 51 on ma1
  ZQMACLibController* controller2 = nullptr;  // id 52 on ma2
  ZQMACDrivePool* pool1 = nullptr;            // id 61 "DP_ma1" on ma1
  ZQMACDrivePool* pool2 = nullptr;            // id 62 "DP_ma2" on ma2
  ZQMACMasterDrivePool* master = nullptr;     // id 60 "MDP1" over both pools
  ZQMACDrive* drive1 = nullptr;               // id 71 "Drive1", number 1
  ZQMACDrive* drive2 = nullptr;               // id 72 "Drive2", number 2
  ZQMACDms* dms11 = nullptr;                  // drive1 via ma1 (id 711)
  ZQMACDms* dms12 = nullptr;                  // drive1 via ma2 (id 712)
  ZQMACDms* dms21 = nullptr;                  // drive2 via ma1 (id 721)
  ZQMACDms* dms22 = nullptr;                  // drive2 via ma2 (id 722)
  // Disk library id 9 "DiskLib1" on ma1 with two mount paths.
  ZQMACMagLib* diskLibrary = nullptr;
  ZQMACMountPath* mountPath1 = nullptr;  // id 21 "/mnt/disk1" on ma1
  ZQMACMountPath* mountPath2 = nullptr;  // id 22 "/mnt/disk2" on ma2
  // Disk device id 31 "SAN-LUN-1" seen by both agents.
  ZQMACDiskDevice* diskDevice = nullptr;
  ZQMACDiskVolume* volume1 = nullptr;  // id 311 "/vol/a" on ma1
  ZQMACDiskVolume* volume2 = nullptr;  // id 312 "/vol/b" on ma2
  ZQMACCenteraCluster* cluster = nullptr;  // id 41 "Cluster1"
  ZQMACHost* host = nullptr;               // id 42 "dru-host1"
  ZQMACCopyMgrDevice* copyDevice = nullptr;          // id 43 "CopyMgr1"
  ZQMACCopyMgrController* copyController = nullptr;  // id 431 on ma1
  ZQMACNode* costCategory = nullptr;                 // id 44 "Gold"
};

// Fills the instance with the standard world (the instance should be empty).
inline World seedWorld(ZQMACMediaConfig& config) {
  World w;
  w.agent1 = ZQMACGraph::AddMediaAgent(config, 2, "ma1", "ma1.example.net");
  w.agent2 = ZQMACGraph::AddMediaAgent(config, 3, "ma2", "ma2.example.net");

  w.lms = ZQMACGraph::AddLms(config, 5, "TapeLib1");
  w.library = w.lms->GetLibrary();
  ZQMACGraph::SetGeometry(w.library, ZQMACGraph::LibraryGeometry{1, 2, 40, 7, 0});
  ZQMACGraph::SetConfigured(w.lms, true);
  ZQMACGraph::SetConfigured(w.library, true);
  w.controller1 = ZQMACGraph::AddLibController(w.lms, w.agent1, 51, "TapeLib1 on ma1");
  w.controller2 = ZQMACGraph::AddLibController(w.lms, w.agent2, 52, "TapeLib1 on ma2");
  w.pool1 = ZQMACGraph::AddDrivePool(w.lms, w.agent1, 61, "DP_ma1");
  w.pool2 = ZQMACGraph::AddDrivePool(w.lms, w.agent2, 62, "DP_ma2");
  w.master = ZQMACGraph::AddMasterDrivePool(w.lms, 60, "MDP1");
  ZQMACGraph::AddPoolToMaster(w.master, w.pool1);
  ZQMACGraph::AddPoolToMaster(w.master, w.pool2);
  w.drive1 = ZQMACGraph::AddDrive(w.lms, 71, "Drive1", 1);
  w.drive2 = ZQMACGraph::AddDrive(w.lms, 72, "Drive2", 2);
  w.dms11 = ZQMACGraph::AddDms(w.drive1, w.pool1, w.agent1, 711, "Drive1 via ma1");
  w.dms12 = ZQMACGraph::AddDms(w.drive1, w.pool2, w.agent2, 712, "Drive1 via ma2");
  w.dms21 = ZQMACGraph::AddDms(w.drive2, w.pool1, w.agent1, 721, "Drive2 via ma1");
  w.dms22 = ZQMACGraph::AddDms(w.drive2, w.pool2, w.agent2, 722, "Drive2 via ma2");

  w.diskLibrary = ZQMACGraph::AddMagLib(config, w.agent1, 9, "DiskLib1");
  w.mountPath1 = ZQMACGraph::AddMountPath(w.diskLibrary, w.agent1, 21, "/mnt/disk1");
  w.mountPath2 = ZQMACGraph::AddMountPath(w.diskLibrary, w.agent2, 22, "/mnt/disk2");

  w.diskDevice = ZQMACGraph::AddDiskDevice(config, 31, "SAN-LUN-1");
  w.volume1 = ZQMACGraph::AddDiskVolume(w.diskDevice, w.agent1, 311, "/vol/a");
  w.volume2 = ZQMACGraph::AddDiskVolume(w.diskDevice, w.agent2, 312, "/vol/b");

  w.cluster = ZQMACGraph::AddCenteraCluster(config, 41, "Cluster1");
  w.host = ZQMACGraph::AddHost(config, 42, "dru-host1");
  w.copyDevice = ZQMACGraph::AddCopyMgrDevice(config, 43, "CopyMgr1");
  w.copyController = ZQMACGraph::AddCopyMgrController(w.copyDevice, w.agent1, 431, "CopyMgr1 on ma1");
  w.costCategory = ZQMACGraph::AddCostCategory(config, 44, "Gold");
  return w;
}

// A loader that seeds the standard world into an empty instance (a re-read
// starts over).
inline tkmac::ConfigLoader worldLoader() {
  return [](ZQMACMediaConfig& config, bool /*refresh*/) {
    config.ClearObjects();
    seedWorld(config);
    return true;
  };
}

// The next `times` calls of the model's call `name` fail with the code and
// the text (the instance's last error; ZQMACDbInterface::GetLastError for
// the service link).
inline void failNext(const std::string& name, int code, const std::string& text, int times = 1) {
  tkmac::journal().injectFailure(name, code, text, times);
}

// Notes `library` (a tape or disk library of `config`) as found by
// exhaustive detection; false when the instance refuses it.
inline bool markExhaustiveDetected(ZQMACMediaConfig& config, ZQMACInterface* library) {
  return config.AddExhaustiveDetectedLibrary(library);
}

// ---- the control request ----
// The long operations' script (steps of status texts and percentages sent
// from the operation's own thread, outcome, result text); reset() clears it.
using LongOperationStep = tkmac::LongOperationStep;
using LongOperationScript = tkmac::LongOperationScript;
inline void scriptLongOperations(LongOperationScript script) { tkmac::scriptLongOperations(std::move(script)); }
// Steps that send only percentages.
inline LongOperationScript percentages(std::initializer_list<int> values) {
  LongOperationScript script;
  for (int v : values) script.steps.push_back({std::string(), v});
  return script;
}
// The id Configure gives the next object not yet stored (in-memory instances).
inline void setNewObjectIds(int first) { tkmac::setNewObjectIds(first); }
// The drives of the library are of more than one type.
inline void setMixedDriveType(ZQMACLms* lms, bool mixed) { ZQMACGraph::SetMixedDriveType(lms, mixed); }
// ---- end of the control request ----

// ---- detection ----
// What the following detections find and report until reset(): their steps
// (status texts and percentages from the detection's own thread, as the
// long operations), the outcome, a session ended while they run
// (run.terminate), the libraries and drives found per agent name (summed
// over the agents of a detection by agent list), and the agents for which
// IsAnyNewDetectedDevice answers true. Journal names: "AutoDetect",
// "AutoDetectHosts", "ExhaustiveDetect", "IsAnyNewDetectedDevice".
using DetectionScript = tkmac::DetectionScript;
inline void scriptDetection(DetectionScript script) { tkmac::scriptDetection(std::move(script)); }
// A tape library as detection leaves it in the session, never stored: seen
// by `agent` through one controller ("<name> on <agent>", controller type
// 2), vendor "ACME", product "TL4000", serial "SN-<name>", firmware "fw-2",
// with `drives` drives ("<name> drive <n>", numbers from 1, serial
// "SN-<name>-<n>"), each reached by the agent at "/dev/nst<n-1>" and in no
// drive pool. Null members when the instance refused an object.
struct DetectedLibrary {
  ZQMACLms* lms = nullptr;
  ZQMACLibController* controller = nullptr;
  std::vector<ZQMACDrive*> drives;
  std::vector<ZQMACDms*> paths;
};
inline DetectedLibrary addDetectedLibrary(ZQMACMediaConfig& config, ZQMACMediaAgent* agent, const std::string& name,
                                          int drives = 2) {
  DetectedLibrary d;
  d.lms = ZQMACGraph::AddLms(config, -1, name);
  if (d.lms == nullptr) return d;
  ZQMACGraph::SetDeviceIdentity(d.lms->GetLibrary(), {"ACME", "TL4000", "SN-" + name, "fw-2", "", 0});
  ZQMACGraph::SetGeometry(d.lms->GetLibrary(), ZQMACGraph::LibraryGeometry{1, drives, 24, 0, 0});
  const std::string agentName = agent != nullptr ? agent->GetName() : std::string();
  d.controller = ZQMACGraph::AddLibController(d.lms, agent, -1, name + " on " + agentName);
  if (d.controller != nullptr) ZQMACGraph::SetControllerType(d.controller, 2);
  for (int n = 1; n <= drives; ++n) {
    ZQMACDrive* drive = ZQMACGraph::AddDrive(d.lms, -1, name + " drive " + std::to_string(n), n);
    if (drive == nullptr) continue;
    ZQMACGraph::SetDeviceIdentity(drive, {"ACME", "LTO-8", "SN-" + name + "-" + std::to_string(n), "fw-8", "", 0});
    d.drives.push_back(drive);
    d.paths.push_back(ZQMACGraph::AddDms(drive, nullptr, agent, -1, "/dev/nst" + std::to_string(n - 1)));
  }
  return d;
}
// ---- end of detection ----

// ---- disk devices and volumes ----
// A verification of the path in that mode finds `outcome` until reset().
inline void scriptVerification(const std::string& path, int mode, tkmac::VerifyOutcome outcome) {
  tkmac::scriptVerification(path, mode, std::move(outcome));
}
// A network disk device of the instance (owned, not stored), as
// GetNewNetworkDiskObject makes them, with the id given.
inline ZQMACDiskDevice* addNetworkDevice(ZQMACMediaConfig& config, int id, const std::string& name, int displayType) {
  std::unique_ptr<ZQMACDiskDevice> device = ZQMACDiskDevice::GetNewNetworkDiskObject(displayType);
  ZQMACGraph::SetName(device.get(), name);
  if (!config.AddDiskDevice(device.get())) return nullptr;
  ZQMACGraph::SetId(device.get(), id);
  return device.release();
}
// ---- end of disk devices and volumes ----

}  // namespace testkit::mac
