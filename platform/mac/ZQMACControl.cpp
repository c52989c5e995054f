// The object model's calls that the control request makes on one object:
// Configure in its modes, Deconfigure, the long operation and the
// credential operation with their progress, and the linked object.
//
// Configure and Deconfigure write a stored object of a database-backed
// instance through to the database first; the object changes only once
// its rows did. Configure stores an object of such an instance that was
// never stored (a detected library or a part of one) with what it needs
// (platform/mac/ZQMACConfigureNew.cpp). In an instance that is not database-backed (a test's
// loader), Configure gives an object that was never stored the next id of
// the process (setNewObjectIds), as the database would on insertion.
//
// The long operations run their steps on a thread of their own and report
// through the class-wide hooks, as the real model does; the calling thread
// waits for that thread, so the hooks are never called after the call
// returns. What they do is scripted (scriptLongOperations).
#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include "frame/mac/ZQMACObjects.h"
#include "platform/mac/ZQMACGraph.h"
#include "platform/mac/ZQMACPlatform.h"

namespace tkmac {
namespace {

struct ControlScript {
  std::mutex mutex;
  std::optional<LongOperationScript> script;
};

ControlScript& controlScript() {
  static ControlScript* s = new ControlScript();  // lives for the whole process
  return *s;
}

std::atomic<int> g_nextNewObjectId{100000};

std::optional<LongOperationScript> currentScript() {
  ControlScript& s = controlScript();
  std::lock_guard<std::mutex> guard(s.mutex);
  return s.script;
}

// The end of a long operation: the scripted session end, the scripted
// outcome, or the abort.
bool finish(ZQMACInterface& object, const LongOperationScript& script, bool completed) {
  ZQMACMediaConfig* owner = object.GetOwner();
  if (script.terminate && owner != nullptr) owner->SetTerminateFlag(true);
  if (!completed) {
    object.SetLastError(kErrorAborted, "The operation was stopped at the console's request.");
    return false;
  }
  if (!script.succeed) {
    object.SetLastError(script.errorCode, script.errorText);
    return false;
  }
  object.ClearLastError();
  return true;
}

}  // namespace

// Runs the steps on a thread of their own and waits for it. False when the
// instance's abort flag stopped them.
bool runLongOperationSteps(ZQMACMediaConfig* owner, const LongOperationScript& script) {
  bool aborted = false;
  std::thread worker([&] {
    int index = 0;
    for (const LongOperationStep& step : script.steps) {
      if (owner != nullptr && owner->GetAbortFlag()) {
        aborted = true;
        return;
      }
      if (!step.status.empty()) ZQMACMediaConfig::SetStatusText(step.status);
      if (step.percentage >= 0) ZQMACMediaConfig::SetPercentage(step.percentage);
      if (script.onStep) script.onStep(index);
      ++index;
    }
  });
  worker.join();
  return !aborted;
}

void scriptLongOperations(LongOperationScript script) {
  ControlScript& s = controlScript();
  std::lock_guard<std::mutex> guard(s.mutex);
  s.script = std::move(script);
}

void clearLongOperationScript() {
  ControlScript& s = controlScript();
  std::lock_guard<std::mutex> guard(s.mutex);
  s.script.reset();
}

void setNewObjectIds(int first) { g_nextNewObjectId.store(first); }

int takeNewObjectId() { return g_nextNewObjectId.fetch_add(1); }

bool failed(ZQMACBase& object, const char* name) {
  object.NoteChange();  // the call is about to change it
  return failedUntouched(object, name);
}

bool failedUntouched(ZQMACBase& object, const char* name) {
  tkjournal::Failure failure;
  if (!journal().takeFailure(name, failure)) return false;
  object.SetLastError(static_cast<unsigned int>(failure.code), failure.text);
  return true;
}

}  // namespace tkmac

namespace {

// One row holds a copy manager's device and its controller, with one
// configured state: configuring or deconfiguring either shows on the other
// in this instance as well, as a re-read and a restart find them.
void sharePairedState(ZQMACInterface& object, bool configured) {
  ZQMACCopyMgrDevice* device = nullptr;
  if (object.GetObjectType() == ZQMAC_OBJ_COPY_MGR_DEVICE)
    device = static_cast<ZQMACCopyMgrDevice*>(&object);
  else if (object.GetObjectType() == ZQMAC_OBJ_COPY_MGR_CONTROLLER)
    device = static_cast<ZQMACCopyMgrController&>(object).GetCopyMgrDevice();
  if (device == nullptr) return;
  if (device != &object) ZQMACGraph::SetConfigured(device, configured);
  ZQMACLinkedList<ZQMACCopyMgrController> controllers = device->GetControllerList();
  for (ZQMACCopyMgrController* c = controllers.GetFirstNode(); c != nullptr; c = controllers.GetNextNode())
    if (c != &object) ZQMACGraph::SetConfigured(c, configured);
}

}  // namespace

bool ZQMACInterface::Configure(unsigned int mode) {
  tkmac::journal().record("Configure", GetHandle(), mode);
  if (tkmac::failed(*this, "Configure")) return false;
  if (ZQMACGraph::IsNeverStored(this)) {
    if (!ZQMACGraph::StoreNew(this)) return false;
  } else if (!ZQMACGraph::StoreObject(this, nullptr, 1)) {
    return false;
  }
  ZQMACMediaConfig* owner = GetOwner();
  if (GetId() == 0xFFFFFFFFu && owner != nullptr && !ZQMACGraph::IsDatabaseBacked(*owner))
    ZQMACGraph::SetId(this, tkmac::g_nextNewObjectId.fetch_add(1));
  m_bConfigured = true;
  sharePairedState(*this, true);
  ClearLastError();
  return true;
}

bool ZQMACInterface::Deconfigure(bool force) {
  tkmac::journal().record("Deconfigure", GetHandle(), force);
  if (tkmac::failed(*this, "Deconfigure")) return false;
  if (!ZQMACGraph::StoreObject(this, nullptr, 0)) return false;
  m_bConfigured = false;
  sharePairedState(*this, false);
  ClearLastError();
  return true;
}

bool ZQMACInterface::RunLongOperation() {
  tkmac::journal().record("RunLongOperation", GetHandle());
  if (tkmac::failed(*this, "RunLongOperation")) return false;
  std::optional<tkmac::LongOperationScript> script = tkmac::currentScript();
  if (!script) {
    script.emplace();
    const unsigned int drives = CountDrives(true);
    for (unsigned int i = 1; i <= drives; ++i)
      script->steps.push_back({std::string(), static_cast<int>(100ull * i / drives)});
  }
  const bool completed = tkmac::runLongOperationSteps(GetOwner(), *script);
  return tkmac::finish(*this, *script, completed);
}

bool ZQMACInterface::RunCredentialOperation(const std::string& name, const std::string& userName,
                                            const std::string& password, std::string& result) {
  tkmac::journal().record("RunCredentialOperation", GetHandle(), name, userName, password.size());
  result.clear();
  if (tkmac::failed(*this, "RunCredentialOperation")) return false;
  std::optional<tkmac::LongOperationScript> script = tkmac::currentScript();
  if (!script) {
    script.emplace();
    script->steps.push_back({std::string(), 50});
    script->result = "The credentials of [" + userName + "] were accepted for [" + name + "].";
  }
  const bool completed = tkmac::runLongOperationSteps(GetOwner(), *script);
  if (!tkmac::finish(*this, *script, completed)) return false;
  result = script->result;
  return true;
}

ZQMACInterface* ZQMACInterface::GetLinkedObject() { return this; }
