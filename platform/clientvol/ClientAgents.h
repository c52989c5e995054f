// The agents on client hosts that the client volume service and the
// file-level-recovery mounts talk to, kept in memory: per host its
// volumes with their mount points, configured replication devices,
// continuous-replication volumes and device lists, mounts, CIFS shares and
// agent mounts, changed by the calls as the client would change them, and
// the outputs a test scripts.
//
// Hosts compare without regard to letter case; a host nobody seeded is
// unknown and every call to it fails. Seeded and scripted through
// platform/testkit/clientvol.h. Thread-safe: one mutex guards all hosts.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/clientvol/ClientVolumeInventory.h"
#include "platform/journal/Journal.h"

namespace tkclientvol {

// A continuous-replication volume on a client.
struct QuillmereVolume {
  std::string server;  // the replication server it is protected to
  int state = 1;       // 1 protected, 2 suspended
};

struct CIFSShare {
  std::string path;
  int permission = 0;
  std::string comment;
};

struct Agent {
  int clientId = 0;
  std::vector<ZQSVCClientVolumeInfo> volumes;
  std::set<std::string> configuredDevices;
  std::map<std::string, QuillmereVolume> quillmereVolumes;
  std::map<std::string, std::vector<std::string>> quillmereDevices;  // by server
  std::map<std::string, std::string> mounts;                        // mount path -> device
  std::map<std::string, CIFSShare> shares;                          // by share name
  std::map<std::string, std::string> agentMounts;                   // FLR mount path -> snapshot
  std::map<std::string, std::string> ontapMounts;  // the path an ONTAP mount was asked for -> the path it chose
  std::set<int> activeVolumes;                                      // activated replica volumes by id

  // Scripted outputs, used once each in order; without one the call
  // answers as an agent would on its own.
  std::deque<std::string> deviceTexts;                  // configureQRDevice's device text
  std::deque<bool> vvmFlags;                            // configureQRDevice's VVM flag
  std::deque<std::string> ontapMountPaths;              // the path an ONTAP mount chooses
  std::deque<std::vector<volumeInfo>> deviceListResults;  // configureListOfQRDevices
  std::deque<std::vector<ZQSVCClientVolumeInfo>> volumeLists;  // getVolumeList
};

// Code of a failure for which no other code is known.
inline constexpr int kErrorClientAgent = 0x38000001;

// Runs `work` on the agent of `host` under the agents' mutex; false with
// the unknown-host text in `error` when there is none.
bool withAgent(const std::string& host, const std::function<bool(Agent&, std::string&)>& work, std::string& error);

// Seeding and inspection (the test kit).
void seedHost(const std::string& host, int clientId);
void seedVolume(const std::string& host, const ZQSVCClientVolumeInfo& volume);
Agent snapshot(const std::string& host);  // a copy; empty for an unknown host
void scriptDeviceText(const std::string& host, const std::string& text);
void scriptVVMFlag(const std::string& host, bool vvm);
void scriptOntapMountPath(const std::string& host, const std::string& path);
void scriptDeviceListResult(const std::string& host, const std::vector<volumeInfo>& result);
void scriptVolumeList(const std::string& host, const std::vector<ZQSVCClientVolumeInfo>& volumes);
void resetAgents();

// Journal of every call with its arguments (the host first); a failure
// injected into a call's name makes the next such call fail with its text.
tkjournal::Journal& journal();

}  // namespace tkclientvol
