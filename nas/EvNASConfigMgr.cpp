// The NAS handler class, its operation reply and the text of a failed call
// of the NAS-client service.
#include "nas/EvNASConfigMgr.h"

#include <cstdint>
#include <memory>
#include <new>

#include "frame/ElementTags.h"
#include "frame/EvEvent.h"
#include "frame/SANVolFrame.h"
#include "frame/SANVolReplyItems.h"
#include "platform/client/ZQSimOperatingSystem.h"
#include "platform/debuglog/EvDebug.h"

namespace {

constexpr const char* kOperationTag = "EvMediaMgr::sendOperationResponse";

constexpr int kOperationReply = tktag::kReplyOperationResponse;
constexpr unsigned long kItemOperation = tktag::kOperation;
constexpr unsigned long kItemStatus = tktag::kStatus;
constexpr std::size_t kCatalogueBufferSize = 1024;

// Error codes of the NAS-client service and the messages that explain them.
constexpr unsigned long long kCodeTarnkeepNoReply = 0x29000005;
constexpr unsigned long long kCodeMediaAgentNoReply = 0x29000006;
constexpr unsigned long long kCodesUnreachable[] = {0x29000002, 0x29000003, 0x29000007, 0x29000008};
constexpr unsigned long kTextNoReply = 0x29000022;      // %1 operation, %2 client, %3 host
constexpr unsigned long kTextUnreachable = 0x29000021;  // %1 operation, %2 client, %3 host
constexpr unsigned long kTextFailed = 0x29000023;       // %1 operation, %2 client

const char* orEmpty(const char* text) { return text != nullptr ? text : ""; }

}  // namespace

EvNASConfigMgr::EvNASConfigMgr() : EvReturnData(0, 0, nullptr, 0, nullptr) {}
EvNASConfigMgr::~EvNASConfigMgr() = default;

bool EvNASConfigMgr::sendOperationResponse(long long sequenceNumber, CWySocket socket, unsigned long long operation,
                                           unsigned long long status, const char* text, int /*count*/) {
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
  const uint32_t operation32 = static_cast<uint32_t>(operation);
  reply->add(kItemOperation, &operation32, sizeof operation32);
  tksanvol::ReplyItem::idText(static_cast<uint32_t>(status), tksanvol::textOf(text)).sendOn(*reply, kItemStatus);
  return true;
}

void EvNASConfigMgr::ncwErrorText(EvEvent& event, unsigned long long code, char* buffer, unsigned long long length,
                                  long long sequenceNumber, const char* operationWord, const char* /*errorText*/,
                                  const char* proxyMediaAgent, const char* tarnkeepHost, const char* clientName) {
  if (buffer == nullptr || length == 0) return;
  unsigned long messageId = kTextFailed;
  const char* host = nullptr;
  if (code == kCodeTarnkeepNoReply) {
    messageId = kTextNoReply;
    host = tarnkeepHost;
  } else if (code == kCodeMediaAgentNoReply) {
    messageId = kTextNoReply;
    host = proxyMediaAgent;
  } else {
    for (const unsigned long long unreachable : kCodesUnreachable) {
      if (code != unreachable) continue;
      messageId = kTextUnreachable;
      host = proxyMediaAgent;
    }
  }
  event.clearArguments();
  event << orEmpty(operationWord) << orEmpty(clientName);
  if (messageId != kTextFailed) event << orEmpty(host);
  event.setLocaleId(sequenceNumber);
  event.evPrintf(messageId, buffer, static_cast<unsigned long>(length), 0);
  event.clearArguments();
}

bool EvNASConfigMgr::IsNasOs(unsigned int osType) {
  ZQSimOperatingSystem systems(nullptr);
  bool isNas = false;
  return systems.IsNAS(osType, isNas) == 0 && isNas;
}
