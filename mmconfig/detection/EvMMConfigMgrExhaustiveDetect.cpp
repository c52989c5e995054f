// Exhaustive detection (onMsgMMExaustiveDetect, so spelled on the wire):
// one element-stream request whose records each run one exhaustive
// detection, with progress (reply 1017, operation 47) and status texts to
// the session holder while it runs and an operation response of operation
// 47 at the end.
//
// While media agents are chosen for detection (an auto-detection with
// element 11033 kept them) a record detects over those agents and then
// forgets them; otherwise it detects the record's object: the handle of
// element 11003, made the record's object by a following element 11053,
// whose value is set on the object first. A record with neither is refused
// (status 0, the missing-handle text) before anything is touched.
//
// A detection that ends while the instance's terminate flag is set (the
// session was released meanwhile) answers nothing and leaves the hooks and
// the sequence number as they are: its console has gone. The request takes
// no lock of its own; it pins the instance it works on.
#include <cstdint>
#include <list>
#include <string>
#include <vector>

#include "frame/ElementTags.h"
#include "frame/EvEvent.h"
#include "frame/EvMMConfigMgr.h"
#include "frame/HandlerSkeleton.h"
#include "frame/MessageInfo.h"
#include "frame/MessageWalker.h"
#include "frame/mac/ZQMACObjects.h"
#include "mmconfig/ChangeNotices.h"
#include "mmconfig/detection/DetectAgents.h"
#include "platform/debuglog/EvDebug.h"

namespace {

constexpr const char* kTag = "EvMMConfigMgr::onMsgMMExaustiveDetect";
constexpr const char* kBadParameter = "Bad Parameter Received.";
constexpr const char* kClose = "Close";

constexpr unsigned long kOpDetect = 47;
constexpr unsigned long kStatusFailed = 0;
constexpr unsigned long kStatusClose = 1;
constexpr unsigned long kStatusDone = 2;
constexpr int kStatusTypeRunning = 1;
constexpr int kStatusTypeRest = 0;
constexpr unsigned long kTextNewDevice = 0x24000179;

constexpr uint32_t kElementNumber = tktag::kDriveNumber;     // u32
constexpr uint32_t kElementPropertyD = tktag::kPropertyC;  // u32

// The audit record of an object's detection.
constexpr int kAuditConfigure = 0x540000B5;
constexpr int kParamLibraryAlias = 0x550000BF;
constexpr int kParamObject = 0x5500018B;
constexpr int kParamExhaustive = 0x550005D6;
constexpr int kParamDriveDevice = 0x550000BE;

void registerHooks() {
  ZQMACMediaConfig::SetStatusTextFunc(::sendStatusResponse, kStatusTypeRunning);
  ZQMACMediaConfig::SetPercentageFunc(::sendProgressResponse, static_cast<int>(kOpDetect));
}

void hooksAtRest() {
  ZQMACMediaConfig::SetPercentageFunc(nullptr, 0);
  ZQMACMediaConfig::SetStatusTextFunc(::sendStatusResponse, kStatusTypeRest);
  EvMMConfigMgr::ResetClientSequenceNumber();
}

void auditObjectDetection(ZQMACInterface& object, const std::string& textA) {
  std::vector<tkmm::AuditParameter> parameters;
  ZQMACLms* lms = object.GetLms();
  ZQMACLibrary* library = lms != nullptr ? lms->GetLibrary() : nullptr;
  if (library != nullptr) parameters.push_back({kParamLibraryAlias, {library->GetAliasName()}});
  parameters.push_back({kParamObject, {object.GetDisplayName(), textA}});
  parameters.push_back({kParamExhaustive, {}});
  if (object.GetObjectType() == ZQMAC_OBJ_DRIVE) {
    auto* drive = dynamic_cast<ZQMACDrive*>(&object);
    parameters.push_back({kParamDriveDevice, {drive != nullptr ? drive->GetDeviceTextB() : std::string()}});
  }
  tkmm::writeAuditRecord(kAuditConfigure, static_cast<int>(object.GetId()), parameters);
}

}  // namespace

bool EvMMConfigMgr::onMsgMMExaustiveDetect(MessageInfo* request) {
  MediaConfigPin pin;
  ZQMACMediaConfig* config = GetCurrentMediaConfig(request, false, pin);
  if (request == nullptr) {
    EvDebug::Debug(kTag, "%s", kBadParameter);
    return false;
  }
  const long long sequence = request->sequenceNumber;
  const CWySocket socket = request->socket;
  auto answer = [&](unsigned long status, const std::string& text) {
    sendOperationResponse(sequence, socket, kOpDetect, status, text.c_str(), 0);
  };
  auto answerLastError = [&] {
    const std::string text = config->GetLastError();
    EvDebug::Error(kTag, "%s", text.c_str());
    answer(kStatusFailed, text);
  };

  bool hasHandle = false;
  unsigned long long handle = 0;
  uint32_t number = 0;
  // The record's object, by handle: looked up again when the record ends,
  // so an object deleted meanwhile is no object.
  bool hasObject = false;
  unsigned long long objectHandle = 0;

  MessageValueBuffer value;
  MessageWalker walker;
  walker.setRequest(request, value);
  unsigned int type = 0;
  unsigned int length = 0;
  for (char* v = walker.getFirst(&type, &length); v != nullptr; v = walker.getNext(&type, &length)) {
    switch (type) {
      case tkmm::kElementObjectHandle:
        handle = MessageWalker::readU64(v, length);
        hasHandle = true;
        continue;
      case kElementNumber:
        number = MessageWalker::readU32(v, length);
        continue;
      case kElementPropertyD: {
        ZQMACInterface* object = (hasHandle && config != nullptr) ? config->FindObject(handle) : nullptr;
        if (object != nullptr) {
          object->SetPropertyD(MessageWalker::readU32(v, length));
          hasObject = true;
          objectHandle = handle;
        }
        continue;
      }
      case tkmm::kElementInstallationId:
        continue;
      case tkmm::kElementEndOfRecord:
        break;
      default:
        EvDebug::Error(kTag, "Has received an unprocessed element type [%d-%s]", static_cast<int>(type),
                       getMessageName(type));
        continue;
    }

    // The end of a record.
    if (config == nullptr) {
      sendOperationResponse(sequence, socket, kOpDetect, kStatusClose, kClose, 0);
      return true;
    }
    ZQMACInterface* object = hasObject ? config->FindObject(objectHandle) : nullptr;
    std::list<std::string> agents;
    for (const std::string& name : tkmm::detectAgents::names()) agents.push_back(name);
    if (agents.empty() && object == nullptr) {
      // Nothing to detect: the object is never touched.
      const std::string text = ZQMACBase::GetMessageString(tkmm::kTextNoObjectHandle);
      EvDebug::Error(kTag, "%s", text.c_str());
      answer(kStatusFailed, text);
      return false;
    }
    const std::string textA = object != nullptr ? object->GetTextA(false) : std::string();
    SetClientSequenceNumber(sequence);
    registerHooks();

    if (agents.empty()) {
      const bool done = config->ExhaustiveDetect(object, number);
      if (config->GetTerminateFlag()) return false;
      if (!done) {
        answerLastError();
        hooksAtRest();
        return false;
      }
      hooksAtRest();
      auditObjectDetection(*object, textA);
      answer(kStatusDone, ZQMACBase::GetMessageString(kTextNewDevice));
      continue;
    }

    const bool done = config->ExhaustiveDetect(agents, 0);
    if (config->GetTerminateFlag()) return false;
    if (!done) {
      tkmm::detectAgents::clear();
      answerLastError();
      hooksAtRest();
      return false;
    }
    hooksAtRest();
    answer(kStatusDone, ZQMACBase::GetMessageString(kTextNewDevice));
    tkmm::detectAgents::clear();
  }
  return true;
}
