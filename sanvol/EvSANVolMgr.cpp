// The SAN-volume handler class and its operation replies.
#include "sanvol/EvSANVolMgr.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "frame/EvEvent.h"
#include "platform/debuglog/EvDebug.h"
#include "sanvol/SANVolFrame.h"
#include "sanvol/SANVolReplyItems.h"

namespace {

constexpr const char* kOperationTag = "EvSANVolMgr::sendOperationResponse";

constexpr int kOperationReply = 1024;
constexpr unsigned long kItemOperation = 4001;
constexpr unsigned long kItemStatus = 2051;
constexpr std::size_t kCatalogueBufferSize = 1024;

// The operation reply with or without a last result item. Item 2051 is
// [u32 status][text] built like an id+text item: the text is cut at 4,099
// characters, its terminator not sent.
bool operationReply(long long sequenceNumber, const CWySocket& socket, std::optional<unsigned long long> operation,
                    unsigned long long status, const char* text, unsigned long lastTag, const void* lastData,
                    unsigned long lastLength, bool withLastItem) {
  std::unique_ptr<EvReturnData> reply(
      new (std::nothrow) EvReturnData(kOperationReply, sequenceNumber, &socket, false, nullptr));
  if (reply == nullptr) {
    EvDebug::Error(kOperationTag, "%s", "Memory allocation failed.");
    char buffer[kCatalogueBufferSize];
    EvEvent event(kOperationTag);
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

}  // namespace

EvSANVolMgr::EvSANVolMgr() = default;
EvSANVolMgr::~EvSANVolMgr() = default;

bool EvSANVolMgr::sendOperationResponse(long long sequenceNumber, CWySocket socket, unsigned long long operation,
                                        unsigned long long status, const char* text, int /*reserved*/) {
  return operationReply(sequenceNumber, socket, operation, status, text, 0, nullptr, 0, false);
}

bool EvSANVolMgr::sendOperationResponseWith(long long sequenceNumber, CWySocket socket,
                                            std::optional<unsigned long long> operation, unsigned long long status,
                                            const char* text, unsigned long lastTag, const void* lastData,
                                            unsigned long lastLength) {
  return operationReply(sequenceNumber, socket, operation, status, text, lastTag, lastData, lastLength, true);
}
