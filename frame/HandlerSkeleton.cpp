// The Get wrapper and the Set loop of the element-stream handlers (see
// HandlerSkeleton.h).
#include "frame/HandlerSkeleton.h"

#include "frame/EvEvent.h"
#include "frame/EvMMConfigMgr.h"
#include "frame/MessageInfo.h"
#include "frame/MessageWalker.h"
#include "frame/mac/ZQMACMediaConfig.h"
#include "platform/mac/ZQMACGraph.h"
#include "platform/mac/ZQMACPlatform.h"
#include "platform/mac/ZQMACStoredSettings.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/reply/EvReturnData.h"
#include "platform/tran/StoreStep.h"

namespace tkmm {

namespace {

// Catalogue text sent when a reply cannot be made.
constexpr unsigned long kTextMemory = 0x23000002;
constexpr std::size_t kCatalogueTextSize = 1024;

constexpr const char* kBadParameter = "Bad Parameter Received.";
constexpr const char* kInvalidOperation = "Received invalid operation type";
constexpr const char* kClose = "Close";
constexpr const char* kSuccess = "Success";

// Begins the reply, runs `body` when there is an instance, ends the reply.
template <class Body>
bool runReply(EvReturnData& reply, MessageInfo* request, unsigned long replyId, const char* tag, Body body) {
  MediaConfigPin pin;
  ZQMACMediaConfig* config = EvMMConfigMgr::GetCurrentMediaConfig(request, false, pin);
  if (request == nullptr) {
    EvDebug::Error(tag, "%s", kBadParameter);
    return false;
  }
  if (!reply.begin(replyId, request->sequenceNumber, &request->socket, true)) {
    answerAllocationFailure(tag, *request);
    return false;
  }
  const unsigned long refused = config == nullptr ? 0 : config->GetHandlesRefused();
  const bool result = config == nullptr ? true : body(*config);
  if (config != nullptr && config->GetHandlesRefused() != refused) {
    // An object needed a handle and none was left: its record would carry
    // handle 0, which names nothing. The client is told why instead, and
    // what to do.
    reply.drop();
    EvDebug::Error(tag, "%s", tkmac::kNoHandleLeftText);
    sendResponse(request->sequenceNumber, &request->socket, 0, tkmac::kNoHandleLeftText, nullptr);
    return false;
  }
  reply.end(0);
  return result;
}

}  // namespace

void answerAllocationFailure(const char* tag, const MessageInfo& request) {
  EvDebug::Error(tag, "%s", "Memory allocation failed.");
  char text[kCatalogueTextSize];
  EvEvent event(tag);
  event.evPrintf(kTextMemory, text, sizeof text, request.sequenceNumber);
  sendResponse(request.sequenceNumber, &request.socket, 0, text, nullptr);
}

// ---------------------------------------------------------------- Get

bool runGet(EvReturnData& reply, MessageInfo* request, unsigned long replyId, const char* tag,
            const ListLookup& lookup) {
  return runReply(reply, request, replyId, tag, [&](ZQMACMediaConfig& config) { return lookup(config); });
}

bool runPropertyGet(EvReturnData& reply, MessageInfo* request, unsigned long replyId, const char* tag,
                    const ObjectLookup& lookup) {
  return runReply(reply, request, replyId, tag, [&](ZQMACMediaConfig& config) {
    ZQMACInterface* object = config.FindObject(request->objectHandle);
    return object == nullptr ? true : lookup(config, *object);
  });
}

// ---------------------------------------------------------------- Set

ZQMACInterface* SetRecord::anyObject() const { return hasHandle ? config.FindObject(handle) : nullptr; }

SetOutcome SetOutcome::lastError(const ZQMACBase& object) { return failure(object.GetLastError()); }

SetOutcome storedTogether(const char* tag, const char* what, const std::function<SetOutcome()>& steps) {
  tktran::StoreStep step(tag);
  if (!step.begin()) return SetOutcome::failure(step.error());
  SetOutcome outcome = steps();
  if (outcome.kind() != SetOutcome::Kind::Success) return outcome;  // the step rolls back
  if (!step.commit()) {
    EvDebug::Error(tag, "Failed to store %s.", what);
    return SetOutcome::failure(step.error());
  }
  return outcome;
}

SetOutcome storedAsKept(const char* tag, const char* what, const std::vector<ZQMACInterface*>& objects,
                        const std::function<SetOutcome()>& steps) {
  tktran::StoreStep step(tag);
  if (!step.begin()) return SetOutcome::failure(step.error());
  tkmac::SessionState before;
  for (ZQMACInterface* object : objects) before.take(object);
  SetOutcome outcome = steps();
  if (!step.commit()) {
    EvDebug::Error(tag, "Failed to store %s.", what);
    step.rollBack();
    before.giveBack();
    if (outcome.kind() == SetOutcome::Kind::Success) return SetOutcome::failure(step.error());
  }
  return outcome;
}

bool runSet(MessageInfo* request, const char* tag, SetRecordHandler& handler) {
  MediaConfigPin pin;
  ZQMACMediaConfig* config = EvMMConfigMgr::GetCurrentMediaConfig(request, false, pin);
  if (request == nullptr) {
    EvDebug::Debug(tag, "%s", kBadParameter);
    return false;
  }
  const long long sequence = request->sequenceNumber;
  const CWySocket socket = request->socket;

  uint32_t operation = 0;
  bool hasHandle = false;
  unsigned long long handle = 0;
  bool hasInstallationId = false;
  uint32_t installationId = 0;

  MessageValueBuffer value;
  MessageWalker walker;
  walker.setRequest(request, value);
  unsigned int type = 0;
  unsigned int length = 0;
  for (char* v = walker.getFirst(&type, &length); v != nullptr; v = walker.getNext(&type, &length)) {
    switch (type) {
      case kElementOperation:
        operation = MessageWalker::readU32(v, length);
        continue;
      case kElementInstallationId:
        installationId = MessageWalker::readU32(v, length);
        hasInstallationId = true;
        continue;
      case kElementObjectHandle:
        handle = MessageWalker::readU64(v, length);
        hasHandle = true;
        continue;
      case kElementEndOfRecord:
        break;
      default:
        if (!handler.takeElement(type, v, length))
          EvDebug::Error(tag, "Has received an unprocessed element type [%d-%s]", static_cast<int>(type),
                         getMessageName(type));
        continue;
    }

    // The end of a record.
    if (config == nullptr) {
      EvMMConfigMgr::sendOperationResponse(sequence, socket, operation, 1, kClose, 0);
      return true;
    }
    if (!handler.servesOperation(operation)) {
      EvDebug::Debug(tag, "Received invalid operation type [%lu].", static_cast<unsigned long>(operation));
      sendResponse(sequence, &socket, 0, kInvalidOperation, nullptr);
      return false;
    }
    if (handler.needsObject(operation) && !hasHandle) {
      const std::string text = ZQMACBase::GetMessageString(kTextNoObjectHandle);
      EvDebug::Error(tag, "%s", text.c_str());
      EvMMConfigMgr::sendOperationResponse(sequence, socket, operation, 0, text.c_str(), 0);
      return false;
    }
    // An object whose row another connection removed since the session read
    // it is refused, naming it, and the session reads again what changed,
    // which drops it: no route answers "Success" for a change to it.
    if (ZQMACInterface* object = hasHandle ? config->FindObject(handle) : nullptr;
        object != nullptr && !ZQMACGraph::StillStored(object)) {
      const std::string text = object->GetLastError();
      if (object->GetLastErrorCode() == tkmac::kErrorObjectGone && !config->ReadCurrentConfig(true))
        EvDebug::Error(tag, "%s", config->GetLastError().c_str());
      EvDebug::Error(tag, "%s", text.c_str());
      EvMMConfigMgr::sendOperationResponse(sequence, socket, operation, 0, text.c_str(), 0);
      return false;
    }
    const SetRecord record{*request, *config, operation, hasHandle, handle, hasInstallationId, installationId};
    const SetOutcome outcome = handler.apply(record);
    switch (outcome.kind()) {
      case SetOutcome::Kind::Success:
        EvMMConfigMgr::sendOperationResponse(sequence, socket, operation, 1, kSuccess, 0);
        break;
      case SetOutcome::Kind::Failure:
        EvDebug::Error(tag, "%s", outcome.text().c_str());
        EvMMConfigMgr::sendOperationResponse(sequence, socket, operation, 0, outcome.text().c_str(), 0);
        return false;
      case SetOutcome::Kind::Answered:
        if (!outcome.goOn()) return outcome.result();
        break;
    }
  }
  return true;
}

}  // namespace tkmm
