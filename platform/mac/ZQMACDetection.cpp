// The object model's detections: by agent list, by host list, and the
// exhaustive detection of one IP library controller, with the new-device
// test that follows them.
//
// What a detection finds and reports is scripted (scriptDetection in
// ZQMACPlatform.h, driven by platform/testkit/mac.h); its steps run on a
// thread of their own like the long operations, so the hooks are called
// from another thread than the request's, and never after the call returns.
// Without a script, a database-backed instance finds what the attached-
// hardware tables list for the agents (ZQMACAttachedHardware.h).
#include <algorithm>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "frame/mac/ZQMACObjects.h"
#include "platform/mac/ZQMACAttachedHardware.h"
#include "platform/mac/ZQMACGraph.h"
#include "platform/mac/ZQMACPlatform.h"

namespace tkmac {
namespace {

struct DetectionState {
  std::mutex mutex;
  std::optional<DetectionScript> script;
};

DetectionState& detectionState() {
  static DetectionState* s = new DetectionState();  // lives for the whole process
  return *s;
}

DetectionScript currentDetection() {
  DetectionState& s = detectionState();
  std::lock_guard<std::mutex> guard(s.mutex);
  if (s.script) return *s.script;
  DetectionScript script;
  script.run.steps.push_back({std::string(), 100});
  return script;
}

// Whether the detections of the instance read the attached-hardware
// tables: no test scripted them and the instance is the database's.
bool detectsAttachedHardware(const ZQMACMediaConfig& config) {
  DetectionState& s = detectionState();
  std::lock_guard<std::mutex> guard(s.mutex);
  return !s.script && ZQMACGraph::IsDatabaseBacked(config);
}

// Adds what the agents see; false with the instance's last error.
template <class Names>
bool attachFor(ZQMACMediaConfig& config, const Names& agents, int& libraries, int& drives) {
  return attachDetectedHardware(config, std::vector<std::string>(agents.begin(), agents.end()), libraries, drives);
}
template <class Names>
bool attachFor(ZQMACMediaConfig& config, const Names& agents) {
  int libraries = 0;
  int drives = 0;
  return attachFor(config, agents, libraries, drives);
}

template <class Names>
std::string joined(const Names& names) {
  std::string out;
  for (const std::string& name : names) {
    if (!out.empty()) out += ',';
    out += name;
  }
  return out;
}

// Runs the script's steps and ends as it says.
bool runDetection(ZQMACMediaConfig& config, const DetectionScript& script) {
  const bool completed = runLongOperationSteps(&config, script.run);
  if (script.run.terminate) config.SetTerminateFlag(true);
  if (!completed) {
    config.SetLastError(kErrorAborted, "The detection was stopped at the console's request.");
    return false;
  }
  if (!script.run.succeed) {
    config.SetLastError(script.run.errorCode, script.run.errorText);
    return false;
  }
  config.ClearLastError();
  return true;
}

}  // namespace

void scriptDetection(DetectionScript script) {
  DetectionState& s = detectionState();
  std::lock_guard<std::mutex> guard(s.mutex);
  s.script = std::move(script);
}

void clearDetectionScript() {
  DetectionState& s = detectionState();
  std::lock_guard<std::mutex> guard(s.mutex);
  s.script.reset();
}

}  // namespace tkmac

bool ZQMACMediaConfig::AutoDetect(std::list<std::string>& mediaAgents, int& libraries, int& drives, bool /*checkNew*/) {
  NoteChange();  // an instance-wide change: the graph is not handed over
  libraries = 0;
  drives = 0;
  if (tkmac::failed(*this, "AutoDetect")) {
    tkmac::journal().record("AutoDetect", tkmac::joined(mediaAgents), 0, 0);
    return false;
  }
  const bool attached = tkmac::detectsAttachedHardware(*this);
  const tkmac::DetectionScript script = tkmac::currentDetection();
  bool done = tkmac::runDetection(*this, script);
  if (done && attached) {
    done = tkmac::attachFor(*this, mediaAgents, libraries, drives);
  } else if (done) {
    for (const std::string& name : mediaAgents) {
      auto it = script.found.find(name);
      if (it == script.found.end()) continue;
      libraries += it->second.first;
      drives += it->second.second;
    }
  }
  tkmac::journal().record("AutoDetect", tkmac::joined(mediaAgents), libraries, drives);
  return done;
}

bool ZQMACMediaConfig::AutoDetect(const std::string& mediaAgent, std::vector<std::string>& hosts, bool keep) {
  NoteChange();  // an instance-wide change: the graph is not handed over
  tkmac::journal().record("AutoDetectHosts", mediaAgent, tkmac::joined(hosts), keep);
  if (tkmac::failed(*this, "AutoDetectHosts")) return false;
  const bool attached = tkmac::detectsAttachedHardware(*this);
  if (!tkmac::runDetection(*this, tkmac::currentDetection())) return false;
  return !attached || tkmac::attachFor(*this, std::vector<std::string>{mediaAgent});
}

bool ZQMACMediaConfig::ExhaustiveDetect(ZQMACIPLibController* controller, std::vector<std::string>& driveIdentifiers) {
  NoteChange();  // an instance-wide change: the graph is not handed over
  tkmac::journal().record("ExhaustiveDetect", GetHandle(controller), tkmac::joined(driveIdentifiers));
  if (tkmac::failed(*this, "ExhaustiveDetect")) return false;
  if (controller == nullptr || !OwnsObject(controller)) {
    SetLastError(0, "The library controller is not part of this configuration.");
    return false;
  }
  return tkmac::runDetection(*this, tkmac::currentDetection());
}

bool ZQMACMediaConfig::ExhaustiveDetect(ZQMACInterface* object, unsigned int number) {
  NoteChange();  // an instance-wide change: the graph is not handed over
  tkmac::journal().record("ExhaustiveDetectObject", GetHandle(object), number);
  if (tkmac::failed(*this, "ExhaustiveDetectObject")) return false;
  if (object == nullptr || !OwnsObject(object)) {
    SetLastError(0, "The object to detect is not part of this configuration.");
    return false;
  }
  if (!tkmac::runDetection(*this, tkmac::currentDetection())) return false;
  // A library found this way must be configured before the session closes.
  if (ZQMACLms* lms = object->GetLms()) AddExhaustiveDetectedLibrary(lms);
  return true;
}

bool ZQMACMediaConfig::ExhaustiveDetect(std::list<std::string>& mediaAgents, unsigned int number) {
  NoteChange();  // an instance-wide change: the graph is not handed over
  tkmac::journal().record("ExhaustiveDetectAgents", tkmac::joined(mediaAgents), number);
  if (tkmac::failed(*this, "ExhaustiveDetectAgents")) return false;
  const bool attached = tkmac::detectsAttachedHardware(*this);
  if (!tkmac::runDetection(*this, tkmac::currentDetection())) return false;
  return !attached || tkmac::attachFor(*this, mediaAgents);
}

namespace tkmac {
namespace {

// The scripted candidates of the object seen from the host, those of its
// instance that still exist.
ZQMACLinkedList<ZQMACInterface> candidatesOf(ZQMACMediaConfig* config, ZQMACInterface* object,
                                             const std::string& host) {
  ZQMACLinkedList<ZQMACInterface> list;
  if (config == nullptr || object == nullptr) return list;
  const DetectionScript script = currentDetection();
  auto it = script.candidates.find({config->GetHandle(object), host});
  if (it == script.candidates.end()) return list;
  for (unsigned long long handle : it->second)
    if (ZQMACInterface* device = config->FindObject(handle)) list.AddNode(device);
  return list;
}

}  // namespace
}  // namespace tkmac

ZQMACLinkedList<ZQMACInterface> ZQMACMediaAgent::GetDetectedCandidateDeviceList(ZQMACInterface* object,
                                                                              const std::string& host) {
  tkmac::journal().record("GetDetectedCandidateDeviceList", GetName(), object != nullptr ? object->GetHandle() : 0,
                          host);
  return tkmac::candidatesOf(GetOwner(), object, host);
}

ZQMACLinkedList<ZQMACInterface> ZQMACMediaConfig::GetDetectedCandidateDeviceList(ZQMACDrive* drive) {
  tkmac::journal().record("GetDetectedCandidateDeviceList", std::string(), GetHandle(drive), std::string());
  return tkmac::candidatesOf(this, drive, std::string());
}

bool ZQMACMediaConfig::IsAnyNewDetectedDevice(ZQMACLinkedList<ZQMACInterface>& agents) {
  const bool attached = tkmac::detectsAttachedHardware(*this);
  const tkmac::DetectionScript script = tkmac::currentDetection();
  std::vector<std::string> names;
  bool any = false;
  for (ZQMACInterface* agent = agents.GetFirstNode(); agent != nullptr; agent = agents.GetNextNode()) {
    names.push_back(agent->GetName());
    if (attached) {
      if (tkmac::hasUnstoredDevice(dynamic_cast<ZQMACMediaAgent*>(agent))) any = true;
    } else if (std::find(script.newDeviceAgents.begin(), script.newDeviceAgents.end(), agent->GetName()) !=
        script.newDeviceAgents.end())
      any = true;
  }
  tkmac::journal().record("IsAnyNewDetectedDevice", tkmac::joined(names), any);
  return any;
}
