// The frame shared by the SAN-volume and NAS handlers: element readers, the
// one-call failure answer, the element-stream walk and the Get frame. See
// SANVolFrame.h for how a handler uses it.
#include "frame/SANVolFrame.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "frame/ElementTags.h"
#include "frame/MessageInfo.h"
#include "frame/MessageWalker.h"
#include "frame/SANVolReplyItems.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/reply/EvReturnData.h"

namespace tksanvol {
namespace {

constexpr const char* kBadParameter = "Bad Parameter Received.";
constexpr const char* kInvalidOperation = "Received invalid operation type";
constexpr const char* kSuccess = "Success";

// Statuses of the answers; the SAN-volume handlers send no others.
constexpr unsigned long kStatusFailure = 0;
constexpr unsigned long kStatusSuccess = 1;

// Log levels of the frame's own lines.
constexpr int kLevelReceived = 7;
constexpr int kLevelGet = 10;

// The text of a value at `offset`, at most `maxLength` characters, never
// read past the value; an embedded zero ends it.
std::string textAt(const char* value, unsigned int length, std::size_t offset, std::size_t maxLength) {
  if (value == nullptr || length <= offset) return std::string();
  std::size_t room = length - offset;
  if (room > maxLength) room = maxLength;
  const char* start = value + offset;
  return std::string(start, strnlen(start, room));
}

// The 32-bit word at `offset` of a value: the bytes of it that lie within
// the value, the rest zero.
uint32_t wordAt(const char* value, unsigned int length, std::size_t offset) {
  if (value == nullptr || length <= offset) return 0;
  return readU32(value + offset, static_cast<unsigned int>(length - offset));
}

}  // namespace

// ---------------------------------------------------------------- element values

uint32_t readU32(const char* value, unsigned int length) { return MessageWalker::readU32(value, length); }
uint64_t readU64(const char* value, unsigned int length) { return MessageWalker::readU64(value, length); }

std::string readText(const char* value, unsigned int length) { return textAt(value, length, 0, kElementTextMax); }

IdText readIdText(const char* value, unsigned int length) {
  IdText out;
  out.id = wordAt(value, length, 0);
  out.text = textAt(value, length, 4, kElementIdTextMax);
  return out;
}

Hdr12Text readHdr12Text(const char* value, unsigned int length) {
  Hdr12Text out;
  out.id = wordAt(value, length, 0);
  out.clientId = wordAt(value, length, 4);
  out.flags = wordAt(value, length, 8);
  out.text = textAt(value, length, 12, kElementHdr12TextMax);
  return out;
}

// ---------------------------------------------------------------- operation reply

namespace {

constexpr const char* kOperationTag = "EvSANVolMgr::sendOperationResponse";

constexpr int kOperationReply = tktag::kReplyOperationResponse;
constexpr unsigned long kItemOperation = tktag::kOperation;
constexpr unsigned long kItemStatus = tktag::kStatus;
constexpr std::size_t kCatalogueBufferSize = 1024;

}  // namespace

// Item 2051 is [u32 status][text] built like an id+text item: the text is
// cut at 4,099 characters, its terminator not sent.
bool operationReply(long long sequenceNumber, const CWySocket& socket, std::optional<unsigned long long> operation,
                    unsigned long long status, const char* text, unsigned long lastTag, const void* lastData,
                    unsigned long lastLength, bool withLastItem, const char* logTag) {
  std::unique_ptr<EvReturnData> reply(
      new (std::nothrow) EvReturnData(kOperationReply, sequenceNumber, &socket, false, nullptr));
  if (reply == nullptr) {
    const char* tag = logTag != nullptr ? logTag : kOperationTag;
    EvDebug::Error(tag, "%s", "Memory allocation failed.");
    char buffer[kCatalogueBufferSize];
    EvEvent event(tag);
    event.evPrintf(tksanvol::kTextAllocationFailed, buffer, sizeof buffer, sequenceNumber);
    sendResponse(sequenceNumber, &socket, 0, buffer, nullptr);
    return false;
  }
  if (operation) {
    const uint32_t operation32 = static_cast<uint32_t>(*operation);
    reply->add(kItemOperation, &operation32, sizeof operation32);
  }
  const tksanvol::ReplyItem statusItem =
      tksanvol::ReplyItem::idText(static_cast<uint32_t>(status), tksanvol::textOf(text));
  if (!withLastItem) {
    statusItem.sendOn(*reply, kItemStatus);
    return true;
  }
  statusItem.addTo(*reply, kItemStatus);
  reply->send(lastTag, lastData, lastLength);
  return true;
}

// ---------------------------------------------------------------- answers

RequestAnswer::RequestAnswer(MessageInfo& request, const char* tag)
    : m_request(request), m_tag(tag != nullptr ? tag : ""), m_event(m_tag) {
  m_event.setLocaleId(request.sequenceNumber);
}

void RequestAnswer::explain(const char* text) {
  std::snprintf(m_buffer, sizeof m_buffer, "%s", text != nullptr ? text : "");
}

void RequestAnswer::send(unsigned long status, const char* text, AnswerForm form, unsigned long long operation) {
  if (form == AnswerForm::OperationResponse) {
    operationReply(m_request.sequenceNumber, m_request.socket, operation, status, text, 0, nullptr, 0, false);
  } else {
    sendResponse(m_request.sequenceNumber, &m_request.socket, status, text, nullptr);
  }
}

RecordOutcome RequestAnswer::fail(unsigned long messageId, const char* explanation, AnswerForm form,
                                  unsigned long long operation) {
  explain(explanation);
  EvDebug::Error(m_tag, "%s", m_buffer);
  // Locale 0: the locale the event was given with the request.
  m_event.evPrintf(messageId, m_buffer, sizeof m_buffer, 0);
  send(kStatusFailure, m_buffer, form, operation);
  return RecordOutcome::Failed;
}

RecordOutcome RequestAnswer::missingInformation(const char* logText, AnswerForm form, unsigned long long operation) {
  return fail(kTextMissingInformation, logText, form, operation);
}

RecordOutcome RequestAnswer::lookupFailed(const char* serviceErrorText, unsigned long messageId, AnswerForm form,
                                          unsigned long long operation) {
  return fail(messageId, serviceErrorText, form, operation);
}

void RequestAnswer::success(AnswerForm form, unsigned long long operation) {
  send(kStatusSuccess, kSuccess, form, operation);
}

// ---------------------------------------------------------------- element-stream frame

namespace {

enum class Step { GoOn, Stop };

// An element the handler does not know, by the handler's rule. Sets
// `result` when the walk stops.
Step unknownElement(StreamContext& context, const StreamRules& rules, unsigned int type, long long& result) {
  const char* name = getMessageName(type);
  char line[RequestAnswer::kAnswerBufferSize];
  std::snprintf(line, sizeof line, "Has received an unprocessed element type [%d-%s]", static_cast<int>(type), name);
  switch (rules.unknownElement) {
    case UnknownElement::LogAndGoOn:
      EvDebug::Error(rules.tag, "%s", line);
      return Step::GoOn;
    case UnknownElement::LogAndStopSilently:
      EvDebug::Error(rules.tag, "%s", line);
      result = 0;
      return Step::Stop;
    case UnknownElement::AnswerAndStop:
    case UnknownElement::AnswerAndGoOn:
      break;
  }
  EvEvent& event = context.answer.event();
  event.clearArguments();
  event << type << name;
  context.answer.fail(kTextUnprocessedElement, line);
  event.clearArguments();
  if (rules.unknownElement == UnknownElement::AnswerAndGoOn) return Step::GoOn;
  result = 0;
  return Step::Stop;
}

// The frame's checks of a record, then the handler's own handling.
RecordOutcome endOfRecord(StreamContext& context, const StreamRules& rules, StreamHandler& handler) {
  if (rules.hasOperations) {
    if (!context.hasOperation && rules.missingOperation == MissingOperation::AnswerMissingInformation)
      return context.answer.missingInformation(RequestAnswer::kMissingInformationLog, AnswerForm::OperationResponse,
                                               0);
    if (!handler.supportsOperation(context.operation)) {
      EvDebug::Debug(rules.tag, "Received invalid operation type [%llu].", context.operation);
      EvEvent& event = context.answer.event();
      event.clearArguments();
      event << static_cast<unsigned long>(context.operation);
      context.answer.fail(kTextInvalidOperation, kInvalidOperation);
      event.clearArguments();
      return RecordOutcome::Failed;
    }
  }
  return handler.onRecord(context);
}

}  // namespace

long long runElementStream(MessageInfo* request, const StreamRules& rules, StreamHandler& handler) {
  if (request == nullptr) {
    EvDebug::Debug(rules.tag, "%s", kBadParameter);
    return 0;
  }
  StreamContext context(*request, rules.tag);
  MessageValueBuffer value;
  MessageWalker walker;
  walker.setRequest(request, value);

  unsigned int type = 0;
  unsigned int length = 0;
  long long result = 1;
  for (char* v = walker.getFirst(&type, &length); v != nullptr; v = walker.getNext(&type, &length)) {
    if (type == kElementTarnfoldId) {
      context.tarnfoldId = readU32(v, length);
      context.hasTarnfoldId = true;
      EvDebug::DebugLvl(kLevelReceived, rules.tag, "Received, TarnfoldId = %lu.", context.tarnfoldId);
      continue;
    }
    if (type == kElementOperationType && rules.hasOperations) {
      context.operation = readU32(v, length);
      context.hasOperation = true;
      EvDebug::DebugLvl(kLevelReceived, rules.tag, "Received, Operation type = %llu.", context.operation);
      continue;
    }
    if (type == kElementEndOfRecord) {
      switch (endOfRecord(context, rules, handler)) {
        case RecordOutcome::GoOn:
          continue;
        case RecordOutcome::Handled:
          return 1;
        case RecordOutcome::Failed:
          return 0;
      }
      continue;
    }
    if (handler.takeElement(context, type, v, length)) continue;
    if (unknownElement(context, rules, type, result) == Step::Stop) return result;
  }
  return result;
}

// ---------------------------------------------------------------- simple Get frame

bool beginGet(EvReturnData& reply, MessageInfo* request, const GetRules& rules) {
  if (request == nullptr) {
    EvDebug::Debug(rules.tag, "%s", kBadParameter);
    return false;
  }
  if (rules.log == GetLog::TarnfoldIdAndSANHostId) {
    EvDebug::DebugLvl(kLevelReceived, rules.tag, "Received TarnfoldId = %d, SANHostId = %d",
                      static_cast<int>(request->tarnfoldId()), static_cast<int>(request->elementCount));
  } else {
    EvDebug::DebugLvl(kLevelGet, rules.tag, "Received TarnfoldId = %d", static_cast<int>(request->tarnfoldId()));
  }
  return beginReply(reply, *request, rules.replyId, rules.tag);
}

bool beginReply(EvReturnData& reply, MessageInfo& request, unsigned long replyId, const char* tag) {
  if (reply.begin(replyId, request.sequenceNumber, &request.socket, true)) return true;
  EvDebug::Error(tag, "%s", "Memory allocation failed.");
  char text[RequestAnswer::kAnswerBufferSize] = {};
  EvEvent event(tag);
  event.evPrintf(kTextAllocationFailed, text, sizeof text, request.sequenceNumber);
  sendResponse(request.sequenceNumber, &request.socket, kStatusFailure, text, nullptr);
  return false;
}

bool endGet(EvReturnData& reply) {
  reply.end(0);
  return !reply.refusedForSize();
}

}  // namespace tksanvol
