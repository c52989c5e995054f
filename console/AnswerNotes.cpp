// Answers that did nothing while reading as a success (see AnswerNotes.h).
#include "console/AnswerNotes.h"

#include <cstdint>
#include <string>

#include "console/Answers.h"

namespace tkconsole {
namespace {

constexpr uint32_t kStatusReply = 11055;
constexpr uint32_t kCodedTextItem = 11102;
constexpr uint32_t kTakeOverCode = 4;
constexpr uint32_t kOperationReply = 1024;
constexpr uint32_t kOperationItem = 4001;
constexpr uint32_t kLibraryReply = 11002;
constexpr uint32_t kUnlockOperation = 0;
constexpr uint32_t kUnlockAnywayOperation = 2;
// What the notice says when no login ever took the session on this host.
constexpr const char* kNobody = "user [] took over";

bool isUnlock(const Request& request) {
  if (request.xml || request.stream.handler != "LockMMConfiguration") return false;
  const uint32_t operation = static_cast<uint32_t>(request.stream.firstField >> 32);
  return operation == kUnlockOperation || operation == kUnlockAnywayOperation;
}

bool isSuccess(const tkwire::Item& status) { return status.bytes.size() >= 4 && status.statusCode() == 1; }

// An operation response that says no more than its operation and status.
bool isBareOperationResponse(const tkwire::Reply& reply) {
  if (reply.messageId != kOperationReply) return false;
  for (const tkwire::Item& item : reply.items)
    if (item.tag != kOperationItem && item.tag != kStatusItem) return false;
  return true;
}

}  // namespace

void SilentAnswerCheck::see(const tkwire::Reply& reply) {
  if (reply.isEnd()) {
    m_endResultZero = reply.endResult() == 0;
    return;
  }
  if (reply.kind != tkwire::kReplyItems) {
    m_otherReplies = true;
    m_substance = true;
    // An XML handler that found no session refuses with the notice's text.
    if (m_request.xml && reply.kind == tkwire::kReplyRaw && reply.messageId == m_request.xmlRequest.messageId &&
        reportsFailure(reply, true))
      m_xmlRefused = true;
    return;
  }
  if (reply.messageId == kStatusReply) {
    const tkwire::Item* coded = reply.find(kCodedTextItem);
    if (coded != nullptr && coded->bytes.size() >= 4 && coded->statusCode() == kTakeOverCode) {
      m_takeOverNotice = true;
      m_noticeNamesNobody = m_noticeNamesNobody || coded->statusText().find(kNobody) != std::string::npos;
      return;
    }
  }
  if (reply.messageId != kLibraryReply) m_otherReplies = true;
  if (!reply.items.empty()) m_itemsSeen = true;
  if (!isBareOperationResponse(reply) && !reply.items.empty()) m_substance = true;
  const tkwire::Item* status = reply.find(kStatusItem);
  if (status != nullptr && isSuccess(*status)) {
    m_unlockSucceeded = true;
    if (reply.messageId == kOperationReply && status->statusText() == "Close") m_closeAnswer = true;
  }
}

std::string SilentAnswerCheck::note() const {
  // A notice followed by a real answer (an operation that went on after the
  // session was taken over) has said what happened; one that stands for the
  // answer has not, and neither has a "Close" or an XML refusal after it.
  const bool noSession = m_request.xml ? m_takeOverNotice && m_xmlRefused
                                       : (m_takeOverNotice && !m_substance) || m_closeAnswer;
  if (noSession) {
    const std::string why = m_noticeNamesNobody || !m_takeOverNotice
                                ? "no configuration session is open on this connection"
                                : "this connection holds no configuration session";
    const std::string then = m_typed.empty() ? "ask" : "`" + m_typed + "`";
    return "nothing was done: " + why + "; take the lock first (`lock`), then " + then +
           " in the same --script or --script - session";
  }
  if (m_request.xml) return std::string();
  if (m_request.stream.handler == "onMsgGetMMLibraryProperties" && !m_itemsSeen && !m_otherReplies)
    return "empty answer: handles last one connection; take the handle from `libraries` after `lock` in the same "
           "--script or --script - session";
  if (isUnlock(m_request) && m_unlockSucceeded && m_endResultZero)
    return "nothing released: this connection holds no configuration lock (a lock belongs to the connection that "
           "took it; `unlock xml` releases it from any console)";
  return std::string();
}

}  // namespace tkconsole
