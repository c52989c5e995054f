// The console's advice about the configuration lock (see LockAdvice.h).
#include "console/LockAdvice.h"

#include "console/Answers.h"
#include "platform/xml/EVGuiMessages.h"

namespace tkconsole {
namespace {

using LockRequest = EVGui::MMConfigurationLockUnlockReq;
using LockInfo = EVGui::MMConfigurationLockUnlockInfo;

constexpr const char* kLockHandler = "LockMMConfiguration";
// The rights argument the console's lock words send.
constexpr uint32_t kLockRights = 2;
// The answer status of a lock held already.
constexpr uint32_t kHeld = 3;
// The end result of a lock request that took or released the lock.
constexpr int64_t kLockChanged = 1;

// A request of the lock in the element-stream form, as `like`'s user asks.
Request lockRequest(const Request& like, uint32_t operation) {
  const tkwire::RequestHead& head = like.xml ? static_cast<const tkwire::RequestHead&>(like.xmlRequest)
                                             : static_cast<const tkwire::RequestHead&>(like.stream);
  Request request;
  static_cast<tkwire::RequestHead&>(request.stream) = head;
  request.stream.handler = kLockHandler;
  request.stream.firstField = tkwire::firstFieldOf(kLockRights, operation);
  return request;
}

std::string heldElsewhere(const std::string& login) {
  const std::string who = login.empty() ? "another connection holds the configuration lock"
                                        : "user [" + login + "] holds the configuration lock on another connection";
  return who + ", which may have closed (a lock outlives the console that took it)";
}

}  // namespace

std::optional<uint32_t> lockOperationOf(const Request& request) {
  if (!request.xml) {
    if (request.stream.handler != kLockHandler) return std::nullopt;
    return static_cast<uint32_t>(request.stream.firstField >> 32);
  }
  if (request.xmlRequest.messageId != LockRequest::kClassHash) return std::nullopt;
  LockRequest sent;
  if (sent.unserialize(request.xmlRequest.xml) != 0) return std::nullopt;
  constexpr tkxml::FieldDef kInfo = LockRequest::kInfo;
  constexpr tkxml::FieldDef kOperation = LockInfo::kOperation;
  const CNMessageBase& info =
      sent.getObjectAccessor(false, false, kInfo.ordinal, kInfo.tag, LockRequest::kClassHash, kInfo.hash, kInfo.ns,
                             kInfo.cls);
  if (!info.isSet(kOperation.ordinal, LockInfo::kClassHash, kOperation.hash)) return std::nullopt;
  return static_cast<uint32_t>(info.getint64(kOperation.tag, LockInfo::kClassHash, kOperation.hash));
}

std::string loginNamedIn(const std::string& text) {
  const std::string opening = "user [";
  const std::size_t at = text.find(opening);
  if (at == std::string::npos) return std::string();
  const std::size_t from = at + opening.size();
  const std::size_t end = text.find(']', from);
  return end == std::string::npos ? std::string() : text.substr(from, end - from);
}

std::optional<std::string> lockHeldIn(const Request& request, const tkwire::Reply& reply) {
  if (lockOperationOf(request) != kLockLock) return std::nullopt;
  if (!request.xml) {
    const tkwire::Item* status = reply.find(kStatusItem);
    if (status == nullptr || status->bytes.size() < 4 || status->statusCode() != kHeld) return std::nullopt;
    return loginNamedIn(status->statusText());
  }
  // The XML form refuses a held lock like any other failure: its text is
  // the one that names the holder.
  if (reply.kind != tkwire::kReplyRaw || reply.messageId != request.xmlRequest.messageId) return std::nullopt;
  const std::optional<tkwire::XmlAnswer> answer = tkwire::decodeXmlAnswer(reply);
  if (!answer || !reportsFailure(reply, true)) return std::nullopt;
  const std::string login = loginNamedIn(answer->text);
  if (login.empty()) return std::nullopt;
  return login;
}

LockState askLockState(const Request& like, const AskAside& ask) {
  LockState state;
  const std::vector<tkwire::Reply> answers = ask(lockRequest(like, kLockLock));
  const tkwire::Item* status = nullptr;
  int64_t result = 0;
  for (const tkwire::Reply& reply : answers) {
    if (reply.isEnd()) result = reply.endResult();
    const tkwire::Item* item = reply.find(kStatusItem);
    if (status == nullptr && item != nullptr && item->bytes.size() >= 4) status = item;
  }
  if (status != nullptr && status->statusCode() == kHeld) {
    state.holder = LockState::Holder::Elsewhere;
    state.login = loginNamedIn(status->statusText());
    return state;
  }
  if (result == kLockChanged) {
    // Nobody held it; the question's connection gives it back at once.
    ask(lockRequest(like, kLockUnlockAnyway));
    state.holder = LockState::Holder::Nobody;
    return state;
  }
  if (status != nullptr) state.reason = status->statusText();
  return state;
}

std::string adviceWithoutSession(const LockState& state, const std::string& typed, const std::string& console) {
  const std::string then = (typed.empty() ? std::string("ask") : "`" + typed + "`") +
                           " in the same --script or --script - session";
  if (state.holder == LockState::Holder::Elsewhere)
    return "nothing was done: " + heldElsewhere(state.login) + "; take it over with `force-lock`, then " + then +
           ", or release it first with `" + console + " unlock xml`";
  if (state.holder == LockState::Holder::Unknown && !state.reason.empty())
    return "nothing was done: no configuration session is open on this connection, and the configuration lock "
           "cannot be taken: " +
           state.reason;
  return "nothing was done: no configuration session is open on this connection; take the lock first (`lock`), "
         "then " +
         then;
}

std::string adviceLockFailed() {
  return "the lock failed: this connection holds no configuration session, and what follows on it that needs one "
         "is not done until a `lock` succeeds";
}

std::string adviceAfterFailedLock(const std::string& reason, const std::string& typed) {
  return "nothing was done: the `lock` before it failed" + (reason.empty() ? std::string() : " (" + reason + ")") +
         ", so this connection holds no configuration session; take the lock again (`lock`), then " +
         (typed.empty() ? std::string("ask") : "`" + typed + "`") + " in the same --script or --script - session";
}

std::string adviceNothingReleased(const LockState& state, const std::string& console) {
  if (state.holder == LockState::Holder::Nobody) return "nothing released: nobody holds the configuration lock";
  if (state.holder == LockState::Holder::Elsewhere)
    return "nothing released: " + heldElsewhere(state.login) +
           "; `" + console + " unlock xml` releases it from any console";
  return "nothing released: this connection holds no configuration lock (a lock belongs to the connection that took "
         "it; `" +
         console + " unlock xml` releases it from any console)";
}

std::string adviceLockHeld(const LockState& state, const std::string& console) {
  if (state.holder == LockState::Holder::ThisConnection) return "this connection holds the configuration lock already";
  return heldElsewhere(state.login) + "; `force-lock` takes it over, `" + console + " unlock xml` releases it";
}

std::string adviceHeldAfterExit(const std::string& console) {
  return "the configuration lock stays held after this console exits, while this connection's session ends with it "
         "(a later `lock` is refused): `" +
         console + " unlock xml` releases it; lock, ask and unlock in one --script to leave nothing held";
}

}  // namespace tkconsole
