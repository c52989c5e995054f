// The replies of the media-management handlers: the operation response, the
// two status messages, and the status and progress callbacks through which
// the object model reports long operations to the session holder.
#include <cstdint>
#include <cstring>
#include <new>

#include "frame/ElementTags.h"
#include "frame/EvEvent.h"
#include "frame/EvMMConfigMgr.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/reply/EvReturnData.h"

namespace {

// Message and item ids.
constexpr int kOperationResponse = tktag::kReplyOperationResponse;
constexpr int kStatusMessage = tktag::kReplyStatusMessage;
constexpr int kProgressMessage = tktag::kReplyProgressMessage;
constexpr unsigned long kItemOperation = tktag::kOperation;
constexpr unsigned long kItemCount = tktag::kCount;
constexpr unsigned long kItemStatus = tktag::kStatus;
constexpr unsigned long kItemCodedText = tktag::kStatusText;
constexpr unsigned long kItemBareText = tktag::kText;
constexpr unsigned long kItemProgressValue = tktag::kProgressValue;

// Progress operations.
constexpr int kOperationAutoDetect = 47;
constexpr int kOperationControlSteps = 50;
constexpr int kOperation105 = 105;
// Operation 50 reports its steps on a scale of 25.
constexpr float kControlStepScale = 25.0f;

// Text buffers: a text is cut to fit with its terminator.
constexpr std::size_t kTextBufferSize = 4112;
constexpr std::size_t kBareTextMax = kTextBufferSize - 1;          // 4,111
constexpr std::size_t kTextBehindWordMax = kTextBufferSize - 1 - 4;  // 4,107
constexpr std::size_t kCatalogueBufferSize = 1024;
// Catalogue text sent when a reply object cannot be made.
constexpr unsigned long kAllocationFailedText = 0x23000002;

using TextBuffer = char[kTextBufferSize];

// [u32 word][text, cut to 4,107][NUL] into the buffer; returns the item
// length (text length + 4, the terminator not counted). A null text is the
// empty text.
unsigned long fillWordAndText(TextBuffer& buffer, uint32_t word, const char* text) {
  std::memcpy(buffer, &word, sizeof word);
  const std::size_t length = text != nullptr ? strnlen(text, kTextBehindWordMax) : 0;
  if (length != 0) std::memcpy(buffer + sizeof word, text, length);
  buffer[sizeof word + length] = '\0';
  return static_cast<unsigned long>(length + sizeof word);
}

// The bare text, cut to 4,111, and its terminator; returns its length.
unsigned long fillBareText(TextBuffer& buffer, const char* text) {
  const std::size_t length = strnlen(text, kBareTextMax);
  std::memcpy(buffer, text, length);
  buffer[length] = '\0';
  return static_cast<unsigned long>(length);
}

// A reply object could not be made: log it and answer the client with the
// catalogue text in its locale.
void answerAllocationFailure(const char* tag, long long sequenceNumber, const CWySocket& socket) {
  EvDebug::Error(tag, "%s", "Memory allocation failed.");
  char text[kCatalogueBufferSize];
  EvEvent event(tag);
  event.evPrintf(kAllocationFailedText, text, sizeof text, sequenceNumber);
  sendResponse(sequenceNumber, &socket, 0, text, nullptr);
}

// The progress value of operation 50: one more step, then steps / total on
// the scale of 25, in single precision and truncated toward zero; the given
// value while no total is set.
int32_t controlStepValue(int value) {
  const uint32_t steps = g_ulSteps.fetch_add(1) + 1;
  const uint32_t total = g_ulTotalSteps.load();
  if (total == 0) return value;
  const float ratio = static_cast<float>(static_cast<int32_t>(steps)) / static_cast<float>(static_cast<int32_t>(total));
  const float scaled = ratio * kControlStepScale;
  // Counters far outside their use could give a value beyond 32 bits;
  // converting such a float would be undefined.
  if (!(scaled < 2147483648.0f)) return INT32_MAX;
  if (!(scaled > -2147483648.0f)) return INT32_MIN;
  return static_cast<int32_t>(scaled);
}

}  // namespace

int EvMMConfigMgr::sendOperationResponse(long long sequenceNumber, CWySocket socket, unsigned long operation,
                                         unsigned long status, const char* text, int count) {
  static const char* const kTag = "EvMediaMgr::sendOperationResponse";
  EvReturnData* reply = new (std::nothrow) EvReturnData(kOperationResponse, sequenceNumber, &socket, false, nullptr);
  if (reply == nullptr) {
    answerAllocationFailure(kTag, sequenceNumber, socket);
    return 0;
  }
  const uint32_t operation32 = static_cast<uint32_t>(operation);
  reply->add(kItemOperation, &operation32, sizeof operation32);
  if (status == 2 && count >= 1) {
    const uint32_t count32 = static_cast<uint32_t>(count);
    reply->add(kItemCount, &count32, sizeof count32);
  }
  TextBuffer buffer;
  const unsigned long length = fillWordAndText(buffer, static_cast<uint32_t>(status), text);
  if (text != nullptr) EvDebug::Error(kTag, "%s", text);
  reply->send(kItemStatus, buffer, length);
  delete reply;
  return 1;
}

int EvMMConfigMgr::sendStatusResponse(long long sequenceNumber, CWySocket socket, const char* text) {
  static const char* const kTag = "EvMediaMgr::sendStatusResponse";
  EvReturnData* reply = new (std::nothrow) EvReturnData(kStatusMessage, sequenceNumber, &socket, false, nullptr);
  if (reply == nullptr) {
    answerAllocationFailure(kTag, sequenceNumber, socket);
    return 0;
  }
  if (text != nullptr) {
    TextBuffer buffer;
    const unsigned long length = fillBareText(buffer, text);
    reply->send(kItemBareText, buffer, length);
  }
  delete reply;
  return 1;
}

int EvMMConfigMgr::sendStatusResponse(long long sequenceNumber, CWySocket socket, const char* text,
                                      unsigned long code) {
  static const char* const kTag = "EvMediaMgr::sendStatusResponse";
  EvReturnData* reply = new (std::nothrow) EvReturnData(kStatusMessage, sequenceNumber, &socket, false, nullptr);
  if (reply == nullptr) {
    answerAllocationFailure(kTag, sequenceNumber, socket);
    return 0;
  }
  if (text != nullptr) {
    TextBuffer buffer;
    const unsigned long length = fillWordAndText(buffer, static_cast<uint32_t>(code), text);
    EvDebug::Error(kTag, "%s", text);
    reply->send(kItemCodedText, buffer, length);
  }
  delete reply;
  return 1;
}

// The callbacks read only atomics and take no lock of the session: they may
// run on the object model's threads while a handler holds the session lock.
// They answer the session holder, not the request that is running.

void sendStatusResponse(const std::string& text, int code) {
  static const char* const kTag = "sendStatusResponse";
  const long long sequenceNumber = EvMMConfigMgr::GetClientSequenceNumber();
  const CWySocket socket = EvMMConfigMgr::GetSocketId();
  if (sequenceNumber == -1 || !socket.IsValid()) return;
  EvReturnData* reply = new (std::nothrow) EvReturnData(kStatusMessage, sequenceNumber, &socket, false, nullptr);
  if (reply == nullptr) {
    answerAllocationFailure(kTag, sequenceNumber, socket);
    return;
  }
  if (!text.empty()) {
    TextBuffer buffer;
    const unsigned long length = fillWordAndText(buffer, static_cast<uint32_t>(code), text.c_str());
    reply->send(kItemCodedText, buffer, length);
  }
  delete reply;
}

void sendProgressResponse(int value, int operation) {
  static const char* const kTag = "sendProgressResponse";
  const long long sequenceNumber = EvMMConfigMgr::GetClientSequenceNumber();
  const CWySocket socket = EvMMConfigMgr::GetSocketId();
  if (sequenceNumber == -1 || !socket.IsValid()) return;
  EvReturnData* reply = new (std::nothrow) EvReturnData(kProgressMessage, sequenceNumber, &socket, false, nullptr);
  if (reply == nullptr) {
    answerAllocationFailure(kTag, sequenceNumber, socket);
    return;
  }
  // Item 4001 leads the message; a message of another operation is never
  // sent, so it is added only where the message goes out.
  const uint32_t operation32 = static_cast<uint32_t>(operation);
  switch (operation) {
    case kOperationAutoDetect:
    case kOperation105: {
      const int32_t value32 = value;
      reply->add(kItemOperation, &operation32, sizeof operation32);
      reply->send(kItemProgressValue, &value32, sizeof value32);
      break;
    }
    case kOperationControlSteps: {
      const int32_t value32 = controlStepValue(value);
      reply->add(kItemOperation, &operation32, sizeof operation32);
      reply->send(kItemProgressValue, &value32, sizeof value32);
      break;
    }
    default:
      break;  // no progress is reported for other operations
  }
  delete reply;
}
