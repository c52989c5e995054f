// Device auto-detection (onMsgMMAutoDetect): one element-stream request
// whose end of record runs, in this order, the exhaustive detection of an
// IP library controller (elements 11073 and 11136), then either a
// detection through hosts (11058) or a detection by the agent list
// (2048). The model reports progress (reply 1017, operation 47) and status
// texts from its own thread to the console that holds the session, under
// the request's sequence number; each detection ends with an operation
// response of operation 47.
//
// A detection by agent list that found devices checks each detected agent
// (CheckMediaAgent) and each shown library for configuration problems and
// sends one status warning per problem, in a fixed order, before the
// answer. With element 11033 set it answers "Success" at once and keeps the
// chosen agents for the exhaustive detection and the detected listings.
//
// A detection that ends while the instance's terminate flag is set (the
// session was released meanwhile) answers nothing and leaves the hooks and
// the sequence number as they are: its console has gone. Every other way
// out unregisters and resets them.
#include <cstdint>
#include <list>
#include <string>
#include <vector>

#include "frame/ElementTags.h"
#include "frame/EvMMConfigMgr.h"
#include "frame/HandlerSkeleton.h"
#include "frame/MessageInfo.h"
#include "frame/MessageWalker.h"
#include "frame/mac/ZQMACObjects.h"
#include "mmconfig/detection/DetectAgents.h"
#include "platform/debuglog/EvDebug.h"

namespace {

constexpr const char* kTag = "EvMMConfigMgr::onMsgMMAutoDetect";

constexpr unsigned long kOpDetect = 47;
constexpr unsigned long kStatusFailed = 0;
constexpr unsigned long kStatusSuccess = 1;
constexpr unsigned long kStatusDone = 2;
constexpr int kWarning = 3;
constexpr int kStatusTypeRunning = 1;
constexpr int kStatusTypeRest = 0;
constexpr unsigned int kControllerTypeInspected = 0;
constexpr unsigned int kControllerTypeIP = 2;

// Catalogue texts.
constexpr unsigned long kTextNothingDetected = 0x24000177;
constexpr unsigned long kTextNoNewDevice = 0x24000178;
constexpr unsigned long kTextNewDevice = 0x24000179;
constexpr unsigned long kTextLibraryWithoutDrives = 0x2400002F;
constexpr unsigned long kTextLibraryUnidentified = 0x24000030;   // vendor, product
constexpr unsigned long kTextDriveUnidentified = 0x24000031;     // vendor, product
constexpr unsigned long kTextAutoUpdateSCSI = 0x2400015A;        // agent
constexpr unsigned long kTextControllerMissing = 0x24000052;     // controller, agent
constexpr unsigned long kTextUnknownDriveCount = 0x1F00004B;     // controller, vendor, product, address
constexpr unsigned long kTextDrivePathMissing = 0x24000053;      // drive path, agent
constexpr unsigned long kTextDrivePathWithoutUnit = 0x1F000046;  // drive path
constexpr unsigned long kTextLibraryNeedsExhaustive = 0x240001ED;  // library

// Elements of the request.
constexpr uint32_t kElementAgent = tktag::kMediaAgent;          // [u32 id][text]
constexpr uint32_t kElementKeep = tktag::kKeep;          // u32
constexpr uint32_t kElementHost = tktag::kNdmpServer;          // text
constexpr uint32_t kElementIPController = tktag::kLibraryHandle;  // u64 handle
constexpr uint32_t kElementDriveId = tktag::kDriveIdChoice;       // text
constexpr uint32_t kElementAutoDDS = tktag::kAutoDDS;       // u32
constexpr uint32_t kElementParallel = tktag::kParallel;      // u32

constexpr const char* kSuccess = "Success";
constexpr int kUnknownDriveCount = -1;

using tkmm::SetOutcome;

void warn(const std::string& text) { ::sendStatusResponse(text, kWarning); }

// Also (again) under the request's sequence number: a detection that
// follows the IP controller's in the same record reports too.
void registerHooks(ZQMACMediaConfig& config, long long sequence) {
  EvMMConfigMgr::SetClientSequenceNumber(sequence);
  ZQMACMediaConfig::SetStatusTextFunc(::sendStatusResponse, kStatusTypeRunning);
  ZQMACMediaConfig::SetPercentageFunc(::sendProgressResponse, static_cast<int>(kOpDetect));
  config.SetAbortFlag(false);
}

void unregisterHooks() {
  ZQMACMediaConfig::SetPercentageFunc(nullptr, 0);
  ZQMACMediaConfig::SetStatusTextFunc(::sendStatusResponse, kStatusTypeRest);
}

// The candidate libraries of a detection by agent list: shown, not
// stand-alone, first controller not an IP controller, no drive identifiers
// and no drives; warned about when some controller has state C.
void checkShownLibraries(ZQMACMediaConfig& config) {
  ZQMACLinkedList<ZQMACLms> shown = config.GetShownLmsList();
  for (ZQMACLms* lms = shown.GetFirstNode(); lms != nullptr; lms = shown.GetNextNode()) {
    ZQMACLibrary* library = lms->GetLibrary();
    if (library == nullptr || library->IsStandAlone()) continue;
    ZQMACLinkedList<ZQMACLibController> controllers = lms->GetLibControllerList();
    ZQMACLibController* first = controllers.GetFirstNode();
    if (first == nullptr || first->GetControllerType() == kControllerTypeIP) continue;
    if (!library->GetDriveIdentifierMap().empty() || lms->CountDrives(false) != 0) continue;
    for (ZQMACLibController* c = controllers.GetFirstNode(); c != nullptr; c = controllers.GetNextNode()) {
      if (c->TestStateC()) {
        warn(ZQMACBase::GetMessageString(kTextLibraryNeedsExhaustive, lms->GetDisplayName().c_str()));
        break;
      }
    }
  }
}

class AutoDetectRequest : public tkmm::SetRecordHandler {
 public:
  explicit AutoDetectRequest(MessageInfo* request, EvMMConfigMgr& manager) : m_request(request), m_manager(manager) {}

  bool servesOperation(uint32_t) const override { return true; }
  bool needsObject(uint32_t) const override { return false; }
  bool takeElement(uint32_t type, const char* value, unsigned int length) override;
  SetOutcome apply(const tkmm::SetRecord& record) override;

 private:
  long long sequence() const { return m_request->sequenceNumber; }
  void answer(unsigned long status, const std::string& text) {
    EvMMConfigMgr::sendOperationResponse(sequence(), m_request->socket, kOpDetect, status, text.c_str(), 0);
  }
  // Logs the instance's last error and answers it with status 0.
  void answerLastError(const ZQMACMediaConfig& config) {
    const std::string text = config.GetLastError();
    EvDebug::Error(kTag, "%s", text.c_str());
    answer(kStatusFailed, text);
  }
  // 0x24000178, or 0x24000179 when the model found a new device for the agents.
  static std::string doneText(ZQMACMediaConfig& config, ZQMACLinkedList<ZQMACInterface>& agents) {
    return ZQMACBase::GetMessageString(config.IsAnyNewDetectedDevice(agents) ? kTextNewDevice : kTextNoNewDevice);
  }

  // False (the request ends) when the detection failed.
  bool exhaustiveDetect(ZQMACMediaConfig& config);
  SetOutcome detectByHosts(ZQMACMediaConfig& config);
  SetOutcome detectByAgents(ZQMACMediaConfig& config);

  MessageInfo* m_request;
  EvMMConfigMgr& m_manager;

  // Element values; the lists grow over the records of one request.
  std::list<std::string> m_agents;
  std::string m_lastAgent;
  std::vector<std::string> m_hosts;
  std::vector<std::string> m_driveIds;
  bool m_hasKeep = false;
  uint32_t m_keep = 0;
  bool m_hasController = false;
  unsigned long long m_controller = 0;
  bool m_hasAutoDDS = false;
  uint32_t m_autoDDS = 0;
  bool m_hasParallel = false;
  uint32_t m_parallel = 0;
};

bool AutoDetectRequest::takeElement(uint32_t type, const char* value, unsigned int length) {
  switch (type) {
    case kElementAgent: {
      const std::string name = length < sizeof(uint32_t) ? std::string() : MessageWalker::readPairText(value, length);
      m_agents.push_back(name);
      tkmm::detectAgents::append(name);
      m_lastAgent = name;
      return true;
    }
    case kElementKeep:
      m_keep = MessageWalker::readU32(value, length);
      m_hasKeep = true;
      return true;
    case kElementHost:
      m_hosts.push_back(MessageWalker::readText(value, length));
      return true;
    case kElementIPController:
      m_controller = MessageWalker::readU64(value, length);
      m_hasController = true;
      return true;
    case kElementDriveId:
      m_driveIds.push_back(MessageWalker::readText(value, length));
      return true;
    case kElementAutoDDS:
      m_autoDDS = MessageWalker::readU32(value, length);
      m_hasAutoDDS = true;
      return true;
    case kElementParallel:
      m_parallel = MessageWalker::readU32(value, length);
      m_hasParallel = true;
      return true;
    default:
      return false;
  }
}

SetOutcome AutoDetectRequest::apply(const tkmm::SetRecord& record) {
  ZQMACMediaConfig& config = record.config;
  if (!exhaustiveDetect(config)) return SetOutcome::answered(false, false);
  if (!m_hosts.empty()) return detectByHosts(config);
  return detectByAgents(config);
}

bool AutoDetectRequest::exhaustiveDetect(ZQMACMediaConfig& config) {
  // Only an IP library controller of this instance counts: any other
  // handle is an unknown one.
  ZQMACIPLibController* controller =
      m_hasController ? config.FindObject<ZQMACIPLibController>(m_controller) : nullptr;
  if (controller == nullptr || m_driveIds.empty() || controller->GetControllerType() != kControllerTypeIP ||
      controller->TestStateD())
    return true;
  registerHooks(config, sequence());
  const bool done = config.ExhaustiveDetect(controller, m_driveIds);
  if (config.GetTerminateFlag()) return done;
  if (!done) {
    answerLastError(config);
    unregisterHooks();
    EvMMConfigMgr::ResetClientSequenceNumber();
    return false;
  }
  unregisterHooks();
  EvMMConfigMgr::ResetClientSequenceNumber();
  answer(kStatusDone, ZQMACBase::GetMessageString(kTextNewDevice));
  return true;
}

SetOutcome AutoDetectRequest::detectByHosts(ZQMACMediaConfig& config) {
  tkmm::detectAgents::clear();
  std::vector<std::string> hosts = m_hosts;
  if (m_hasAutoDDS) config.SetAutoDDSFlag(m_autoDDS != 0);
  registerHooks(config, sequence());
  const bool done = config.AutoDetect(m_lastAgent, hosts, m_hasKeep && m_keep != 0);
  if (done) {
    unregisterHooks();
    if (!config.GetTerminateFlag()) {
      ZQMACMediaAgent* agent = config.FindDBNode(m_lastAgent);
      EvMMConfigMgr::ResetClientSequenceNumber();
      ZQMACLinkedList<ZQMACInterface> agents;
      if (agent != nullptr) agents.AddNode(agent);
      answer(kStatusDone, doneText(config, agents));
      EvMMConfigMgr::ResetClientSequenceNumber();
    }
  } else if (!config.GetTerminateFlag()) {
    unregisterHooks();
    answerLastError(config);
    EvMMConfigMgr::ResetClientSequenceNumber();
  }
  // The records behind this one are not read.
  return SetOutcome::answered(false, false);
}

SetOutcome AutoDetectRequest::detectByAgents(ZQMACMediaConfig& config) {
  int libraries = 0;
  int drives = 0;
  if (m_hasAutoDDS) config.SetAutoDDSFlag(m_autoDDS != 0);
  if (m_hasParallel) config.SetDetectInParallelFlag(m_parallel != 0);
  registerHooks(config, sequence());
  const bool done = config.AutoDetect(m_agents, libraries, drives, true);
  if (!done) {
    if (!config.GetTerminateFlag()) {
      answerLastError(config);
      tkmm::detectAgents::clear();
      unregisterHooks();
      EvMMConfigMgr::ResetClientSequenceNumber();
    }
    return SetOutcome::answered(false, false);
  }
  if (config.GetTerminateFlag()) return SetOutcome::answered(false, false);
  unregisterHooks();
  if (libraries == 0 && drives == 0) {
    answer(kStatusFailed, ZQMACBase::GetMessageString(kTextNothingDetected));
    tkmm::detectAgents::clear();
    EvMMConfigMgr::ResetClientSequenceNumber();
    return SetOutcome::answered(false, false);
  }
  if (m_hasKeep && m_keep != 0) {
    // The chosen agents stay for the exhaustive detection and the lists.
    EvMMConfigMgr::ResetClientSequenceNumber();
    answer(kStatusSuccess, kSuccess);
    return SetOutcome::answered(true, true);
  }
  ZQMACLinkedList<ZQMACInterface> agents;
  for (const std::string& name : m_agents) {
    ZQMACMediaAgent* agent = config.FindDBNode(name);
    if (agent == nullptr) continue;
    m_manager.CheckMediaAgent(agent, m_request, &config);
    agents.AddNode(agent);
  }
  checkShownLibraries(config);
  answer(kStatusSuccess, doneText(config, agents));
  tkmm::detectAgents::clear();
  EvMMConfigMgr::ResetClientSequenceNumber();
  return SetOutcome::answered(false, true);
}

}  // namespace

bool EvMMConfigMgr::onMsgMMAutoDetect(MessageInfo* request) {
  // The chosen agents are those of this request only.
  if (request != nullptr) tkmm::detectAgents::clear();
  AutoDetectRequest detect(request, *this);
  return tkmm::runSet(request, kTag, detect);
}

void EvMMConfigMgr::CheckMediaAgent(ZQMACMediaAgent* agent, MessageInfo* /*request*/, ZQMACMediaConfig* /*config*/) {
  if (agent == nullptr) return;
  ZQMACLinkedList<ZQMACLibController> controllers = agent->GetLibControllerList();
  ZQMACLinkedList<ZQMACDms> paths = agent->GetDmsList();
  const char* agentName = agent->GetDisplayName().c_str();

  // Once per agent. A controller without a library, or a drive path
  // without a drive, has nothing to test here.
  for (ZQMACLibController* c = controllers.GetFirstNode(); c != nullptr; c = controllers.GetNextNode()) {
    const ZQMACLibrary* library = c->GetLibrary();
    if (library != nullptr && library->GetDriveCount() < 1) {
      warn(ZQMACBase::GetMessageString(kTextLibraryWithoutDrives));
      break;
    }
  }
  for (ZQMACLibController* c = controllers.GetFirstNode(); c != nullptr; c = controllers.GetNextNode()) {
    const ZQMACLibrary* library = c->GetLibrary();
    if (library != nullptr && library->GetDeviceIdentifier().empty() && !library->IsStandAlone()) {
      warn(ZQMACBase::GetMessageString(kTextLibraryUnidentified, library->GetVendor().c_str(),
                                       library->GetProduct().c_str()));
      break;
    }
  }
  for (ZQMACDms* path = paths.GetFirstNode(); path != nullptr; path = paths.GetNextNode()) {
    const ZQMACDrive* drive = path->GetDrive();
    if (drive != nullptr && drive->GetDeviceIdentifier().empty()) {
      warn(ZQMACBase::GetMessageString(kTextDriveUnidentified, drive->GetVendor().c_str(), drive->GetProduct().c_str()));
      break;
    }
  }
  if (agent->IsAutoUpdateSCSIAddress()) warn(ZQMACBase::GetMessageString(kTextAutoUpdateSCSI, agentName));

  // Per controller, then per drive path, in list order.
  for (ZQMACLibController* c = controllers.GetFirstNode(); c != nullptr; c = controllers.GetNextNode()) {
    const ZQMACLibrary* library = c->GetLibrary();
    if (library == nullptr) continue;
    if (c->TestStateA() && !c->TestStateC() && !library->IsStandAlone() &&
        c->GetControllerType() == kControllerTypeInspected)
      warn(ZQMACBase::GetMessageString(kTextControllerMissing, c->GetDisplayName().c_str(), agentName));
    if (library->GetDriveCount() == kUnknownDriveCount) {
      const std::string a = ZQMACBase::Int2String(c->GetAddressPartA());
      const std::string b = ZQMACBase::Int2String(c->GetAddressPartB());
      const std::string address = ZQMACBase::Int2String(c->GetAddress());
      warn(ZQMACBase::GetMessageString(kTextUnknownDriveCount, c->GetDisplayName().c_str(), library->GetVendor().c_str(),
                                       library->GetProduct().c_str(), a.c_str(), b.c_str(), address.c_str()));
    }
  }
  for (ZQMACDms* path = paths.GetFirstNode(); path != nullptr; path = paths.GetNextNode()) {
    if (path->GetControllerType() != kControllerTypeInspected) continue;
    if (path->TestStateA() && !path->TestStateC())
      warn(ZQMACBase::GetMessageString(kTextDrivePathMissing, path->GetDisplayName().c_str(), agentName));
    if (path->TestStateC() && path->GetUnitText().empty())
      warn(ZQMACBase::GetMessageString(kTextDrivePathWithoutUnit, path->GetDisplayName().c_str()));
  }
}
