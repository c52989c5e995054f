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
// What the notice says where nobody held the configuration: no session was
// ever taken on this host.
constexpr const char* kNobody = "is not open: nobody holds the configuration.";

// The requests that answer one object's record by its handle, and the
// listing a good handle comes from.
struct RecordRequest {
  const char* handler;
  const char* listing;
};

const RecordRequest kRecordRequests[] = {
    {"onMsgGetMMLibraryProperties", "libraries"},
    {"onMsgGetMMMountPathProperties", "mount-paths DISKLIB"},
    {"onMsgGetMMDriveDeviceProperties", "children LIB drives"},
    {"onMsgGetMMDriveProperties", "drive-paths POOL"},
    {"onMsgGetMMMasterDrivePoolProperties", "master-pools LIB"},
    {"onMsgGetMMDrivePoolProperties", "drive-pools LIB"},
};

const RecordRequest* recordRequestOf(const Request& request) {
  if (request.xml) return nullptr;
  for (const RecordRequest& record : kRecordRequests)
    if (request.stream.handler == record.handler) return &record;
  return nullptr;
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
    m_endResult = reply.endResult();
    return;
  }
  if (reply.kind != tkwire::kReplyItems) {
    m_otherReplies = true;
    m_substance = true;
    if (m_request.xml && reply.kind == tkwire::kReplyRaw && reply.messageId == m_request.xmlRequest.messageId) {
      m_xmlAnswered = true;
      // An XML handler that found no session refuses with the notice's text.
      if (reportsFailure(reply, true)) m_xmlRefused = true;
    }
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
  if (!reply.items.empty()) m_itemsSeen = true;
  if (!isBareOperationResponse(reply) && !reply.items.empty()) m_substance = true;
  const tkwire::Item* status = reply.find(kStatusItem);
  if (status != nullptr && isSuccess(*status)) {
    m_unlockSucceeded = true;
    if (reply.messageId == kOperationReply && status->statusText() == "Close") m_closeAnswer = true;
  }
}

bool SilentAnswerCheck::foundNoSession() const {
  // A notice followed by a real answer (an operation that went on after the
  // session was taken over) has said what happened; one that stands for the
  // answer has not, and neither has a "Close" or an XML refusal after it.
  return m_request.xml ? m_takeOverNotice && m_xmlRefused : (m_takeOverNotice && !m_substance) || m_closeAnswer;
}

std::string SilentAnswerCheck::note(const std::function<LockState()>& lockState, const std::string& console) const {
  if (foundNoSession()) {
    // A notice that says nobody holds the configuration comes from a host on
    // which no lock was ever taken: there is nothing to ask.
    LockState state;
    if (m_noticeNamesNobody) state.holder = LockState::Holder::Nobody;
    else state = lockState();
    return adviceWithoutSession(state, m_typed, console);
  }
  if (m_request.xml) return std::string();
  if (const RecordRequest* record = recordRequestOf(m_request); record != nullptr && !m_itemsSeen && !m_otherReplies)
    return std::string("empty answer: handles last one connection; take the handle from `") +
           record->listing + "` after `lock` in the same --script or --script - session";
  const bool unlock = m_lockOperation == kLockUnlock || m_lockOperation == kLockUnlockAnyway;
  if (unlock && m_unlockSucceeded && m_endResult == 0) return adviceNothingReleased(lockState(), console);
  return std::string();
}

std::optional<bool> SilentAnswerCheck::holdsLockAfter() const {
  if (m_lockOperation) {
    const bool changed = m_request.xml ? m_xmlAnswered && !m_xmlRefused : m_endResult == 1;
    if (changed && (*m_lockOperation == kLockLock || *m_lockOperation == kLockForce)) return true;
    if (changed && (*m_lockOperation == kLockUnlock || *m_lockOperation == kLockUnlockAnyway)) return false;
  }
  // Whoever took the session over holds the lock now.
  if (m_takeOverNotice) return false;
  return std::nullopt;
}

}  // namespace tkconsole
