// The configuration lock: one console at a time configures media
// management. It comes in two forms that share one state (the lock flag,
// the server sequence number, the session holder and the last login name):
// the element-stream request LockMMConfiguration and the XML request
// OnMsgLockUnlockMMConfigurationXML. The forms differ on purpose in what
// they answer, in the rights argument they pass, in how an unlock from
// another client is treated, and in what a force lock tells the previous
// holder; each form keeps its own path below so that none of that is lost.
//
// In both forms a lock (or force lock) that cannot read the configuration
// takes neither the lock nor a session: the connection goes on as though it
// had not asked, so that no change is answered on a configuration that was
// never read. A lock whose client has gone before its answer (a console
// that gave up waiting) is released again: nobody could ever unlock it.
//
// Lock operations of both forms run one at a time under one mutex
// (lockOperationMutex), so that no two of them interleave their reads and
// writes of the lock state. The element-stream form sends its answer after
// leaving that mutex, so a slow client never holds up the next lock
// request. Lock order: the lock-operation mutex, then the session lock
// (taken inside GetCurrentMediaConfig and the pins).
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "frame/AnswerStatus.h"
#include "frame/EvAlertEx.h"
#include "frame/EvEvent.h"
#include "frame/EvExternal.h"
#include "frame/EvMMConfigMgr.h"
#include "frame/EvSecurity.h"
#include "frame/MessageInfo.h"
#include "frame/TextHelpers.h"
#include "frame/mac/ZQMACMediaConfig.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/focus/ZQPI_Focus.h"
#include "platform/mmdb/MMConfigsDB.h"
#include "platform/reply/ReplyChannel.h"
#include "platform/xml/EVGuiMessages.h"
#include "platform/xml/ZQGuiMessages.h"

namespace {

constexpr const char* kStreamTag = "EvMMConfigMgr::LockMMConfiguration";
constexpr const char* kXmlTag = "EvMMConfigMgr::OnMsgLockUnlockMMConfigurationXML";
constexpr const char* kCheckTag = "EvMMConfigMgr::doMACheck";

// Catalogue texts.
constexpr unsigned long kTextRightsRefused = 0x240001EF;   // %1 the reason
constexpr unsigned long kTextLockedByOther = 0x240002F9;   // %1 the holder's login name
constexpr unsigned long kTextLockTaken = 0x240001F0;
constexpr unsigned long kTextDetectedUnconfigured = 0x2400016B;
constexpr unsigned long kTextForceClosed = 0x240002FA;     // %1 the login name of who forced
constexpr unsigned long kTextServiceUnreachable = 0x1F00016D;  // %1 the server name
constexpr unsigned long kTextXmlInitialize = 0x23000451;
constexpr unsigned long kTextXmlUnreadable = 0x23000452;
constexpr unsigned long kTextMemory = 0x23000002;

// The rights alert.
constexpr long kRightsAlertId = 1020;
constexpr long kRightsAlertCondition = 12;
// Rights argument of the XML form.
constexpr unsigned long kXmlRightsArgument = 2;
// Code of item 11102 in the force-close notice.
constexpr int kForceClosedCode = 4;

// Buffer sizes of the texts.
constexpr std::size_t kReasonSize = 1040;
constexpr std::size_t kShortTextSize = 512;
constexpr std::size_t kTextSize = 1024;

// Message classes of the XML form (their numbers live with the classes).
using LockRequest = EVGui::MMConfigurationLockUnlockReq;
using LockInfo = EVGui::MMConfigurationLockUnlockInfo;
using Response = ZQGui::GenericResp;

// What the statuses of the element-stream form's answer mean for the lock.
constexpr AnswerStatus kUnlockRefused = AnswerStatus::kWarning;
constexpr AnswerStatus kHeldByAnother = AnswerStatus::kRefused;

constexpr const char* kConfigCheckUserMARight = "MMS2_CONFIG_CHECK_USER_MA_RIGHT";

// Held for the whole of every lock operation of either form.
std::mutex& lockOperationMutex() {
  static std::mutex* m = new std::mutex();  // lives for the whole process
  return *m;
}

// The login name of a user; empty when the host services do not know it.
// A catalogue text in the locale (a locale id), cut to fit `size` bytes.
template <class... Args>
std::string catalogueText(unsigned long id, std::size_t size, unsigned long locale, const Args&... arguments) {
  std::string buffer(size, '\0');
  EvGetLocText(id, buffer.data(), static_cast<unsigned long>(size), locale, arguments...);
  buffer.resize(std::strlen(buffer.c_str()));
  return buffer;
}

void logRequest(const char* tag, unsigned long long operation, const std::string& login) {
  if (operation == EvMMConfigMgr::kLockOpLock)
    EvDebug::Debug(tag, "Received request by [%s] to lock the MM configuration.", login.c_str());
  else if (operation == EvMMConfigMgr::kLockOpForceLock)
    EvDebug::Debug(tag, "Received request by [%s] to force lock the MM configuration.", login.c_str());
  else
    EvDebug::Debug(tag, "Received request by [%s] to unlock the MM configuration.", login.c_str());
}

// The rights check of both forms. Unless rights are checked per media
// agent, asks whether the user may manage the server with `rightsArgument`.
// A refusal raises alert 1020 with condition 12 and the reason, logs the
// reason and returns false with it in `reason`.
bool rightsAllowed(const MessageInfo& request, unsigned long rightsArgument, const char* tag, std::string& reason) {
  EvAlertEx alert;
  alert.setAlert(kRightsAlertId, nullptr);
  alert.setWhomId(static_cast<long>(request.userId), nullptr);
  if (EvMMConfigMgr::doMACheck()) return true;

  EvSecurityCheck security(request.sequenceNumber);
  if (security.canManageTarnkeep(request.userId, rightsArgument)) return true;

  const char* response = security.getResponseString();
  alert.setCondition(kRightsAlertCondition);
  alert.getMsgString() = response != nullptr ? response : "";
  alert.sendAlert(0, 0, 0);
  char copy[kReasonSize];
  std::snprintf(copy, sizeof copy, "%s", response != nullptr ? response : "");
  EvDebug::Error(tag, "%s", copy);
  reason = copy;
  return false;
}

// The answer of the element-stream form, sent once the lock operation is over.
struct StreamAnswer {
  bool send = false;
  AnswerStatus status = AnswerStatus::kFailure;
  std::string text;

  void set(AnswerStatus newStatus, const std::string& newText) {
    send = true;
    status = newStatus;
    text = newText;
  }
  void fail(const std::string& newText) { set(AnswerStatus::kFailure, newText); }
};

// The answer of the XML form.
struct XmlAnswer {
  long long code = Response::kCodeSuccess;
  std::string text;

  void fail(const std::string& newText) {
    code = Response::kCodeFailure;
    text = newText;
  }
};

// The failures both forms answer alike, each logged where it is answered.

// No instance to work on (an instance could not be made).
template <class Answer>
void failWithoutInstance(const char* tag, unsigned long locale, Answer& answer) {
  EvDebug::Error(tag, "%s", "Memory allocation failed.");
  answer.fail(catalogueText(kTextMemory, kTextSize, locale));
}

// The media-management service does not answer: the instance's last error
// names the server.
template <class Answer>
void failUnreachable(const char* tag, ZQMACMediaConfig& config, Answer& answer) {
  config.SetLastErrorMessage(kTextServiceUnreachable, config.GetServerName().c_str());
  EvDebug::Error(tag, "%s", config.GetLastError().c_str());
  answer.fail(config.GetLastError());
}

// A step of the model failed: logs what failed and the instance's last
// error, and answers with that error.
template <class Answer>
void failWithModelError(const char* tag, const char* what, ZQMACMediaConfig& config, Answer& answer) {
  EvDebug::Error(tag, "%s", what);
  EvDebug::Error(tag, "%s", config.GetLastError().c_str());
  answer.fail(config.GetLastError());
}

constexpr const char* kInitializeFailed = "Error occurred while initialize ZQMACMediaConfig";
constexpr const char* kReadFailed = "Error occurred while reading the current configuration";

// A lock that could not read the configuration (or reach the service)
// leaves no session: the instance it made goes and the previous holder
// stays the holder, as though the lock had not been asked for.
void withdraw(const MessageInfo& request, MediaConfigPin& pin, const EvMMConfigMgr::SessionHolder& before) {
  const ZQMACMediaConfig* config = pin.get();
  pin.release();
  EvMMConfigMgr::WithdrawSession(request, config, before);
}

// A lock or force lock granted to `request` whose client has gone before
// the answer reached it: the lock is released again, since the console
// that asked never learns that it holds it. Under the lock-operation mutex.
void releaseUnansweredLocked(const CWySocket& socket, const char* tag) {
  if (EvMMConfigMgr::m_ulLockedMMConfig.load() != 1 || !(EvMMConfigMgr::m_socketId == socket)) return;
  EvMMConfigMgr::m_ulLockedMMConfig.store(0);
  EvMMConfigMgr::m_serverSequenceNumber.store(0);
  EvDebug::Error(tag, "The client of connection %d has gone before the answer to its lock: the lock is released.",
                 static_cast<int>(socket.GetSocketDescriptor()));
}
void releaseUnansweredLocked(const MessageInfo& request, const char* tag) {
  releaseUnansweredLocked(request.socket, tag);
}

// The XML form's lock granted by the request this thread served last: the
// host writes that form's answer after the handler returns, and tells
// (AnswerLost) when it could not. The count of frames the thread had
// written when the lock was granted tells that request from any later one:
// the answer is the only frame written in between.
struct XmlGrant {
  bool pending = false;
  int descriptor = -1;
  unsigned long long frames = 0;
};
thread_local XmlGrant t_xmlGrant;

bool grantsLock(unsigned long long operation) {
  return operation == EvMMConfigMgr::kLockOpLock || operation == EvMMConfigMgr::kLockOpForceLock;
}

// ---------------------------------------------------------------- element-stream form

// Lock (1). Under the lock-operation mutex.
int streamLock(MessageInfo& request, long long serverSequenceNumber, bool bHonourLock, StreamAnswer& answer) {
  const unsigned long locale = EvReturnData::returnLocaleId(request.sequenceNumber);
  // Without bHonourLock the lock is taken over without notice; a lock that
  // then fails gives it back to its holder.
  const bool takenOver = !bHonourLock && EvMMConfigMgr::m_ulLockedMMConfig.load() == 1;
  if (!bHonourLock) EvMMConfigMgr::m_ulLockedMMConfig.store(0);

  if (EvMMConfigMgr::m_ulLockedMMConfig.load() == 1) {
    const std::string holder = EvMMConfigMgr::LoginNameOf(EvMMConfigMgr::m_ulUserId.load());
    answer.set(kHeldByAnother, catalogueText(kTextLockedByOther, kShortTextSize, locale, holder));
    EvDebug::Debug(kStreamTag, "%s", "Another has locked media manager configuration");
    return 0;
  }

  const EvMMConfigMgr::SessionHolder before = EvMMConfigMgr::CurrentHolder();
  MediaConfigPin pin;
  ZQMACMediaConfig* config = EvMMConfigMgr::GetCurrentMediaConfig(&request, true, pin);
  if (config == nullptr) {
    failWithoutInstance(kStreamTag, locale, answer);
    return 0;
  }
  ZQMACBase::SetLocale(locale);
  // The result is not examined: a failed initialisation shows in the
  // connection test or the read.
  config->Initialize(ZQPI_Focus::getFocus());

  if (!ZQMACDbInterface::TestConnectToMediaManager()) {
    failUnreachable(kStreamTag, *config, answer);
    withdraw(request, pin, before);
    if (takenOver) EvMMConfigMgr::m_ulLockedMMConfig.store(1);
    return 0;  // the lock stays as it was
  }

  if (!config->ReadCurrentConfig(false)) {
    // Neither the lock nor a session on a configuration that was never
    // read: changes made on it would answer success and store nothing.
    failWithModelError(kStreamTag, kReadFailed, *config, answer);
    withdraw(request, pin, before);
    if (takenOver) EvMMConfigMgr::m_ulLockedMMConfig.store(1);
    return 0;
  }
  answer.set(AnswerStatus::kSuccess, ZQMACBase::GetMessageString(kTextLockTaken));
  EvMMConfigMgr::m_serverSequenceNumber.store(serverSequenceNumber);
  EvMMConfigMgr::m_ulLockedMMConfig.store(1);
  EvDebug::Debug(kStreamTag, "%s", "User can configure the Media Manager");
  return 1;
}

// Unlock (0 checks the libraries found by exhaustive detection, 2 does
// not). Under the lock-operation mutex.
int streamUnlock(MessageInfo& request, unsigned long operation, StreamAnswer& answer) {
  if (!(EvMMConfigMgr::m_socketId == request.socket)) {
    // A console that closes without holding the lock: nothing changes.
    answer.set(AnswerStatus::kSuccess, "Success");
    EvDebug::Debug(kStreamTag, "%s", "Exit Library and Drive Configuration from closing GUI");
    return 0;
  }
  MediaConfigPin pin;
  ZQMACMediaConfig* config = EvMMConfigMgr::GetCurrentMediaConfig(&request, false, pin);
  if (operation == EvMMConfigMgr::kLockOpUnlock && config != nullptr && !config->IsExhaustiveDetectedLibraryConfigured()) {
    const std::string text =
        catalogueText(kTextDetectedUnconfigured, kTextSize, EvReturnData::returnLocaleId(request.sequenceNumber));
    answer.set(kUnlockRefused, text);
    EvDebug::Debug(kStreamTag, "%s", text.c_str());
    return 0;  // the lock stays
  }
  EvMMConfigMgr::m_ulLockedMMConfig.store(0);
  EvMMConfigMgr::m_serverSequenceNumber.store(0);
  answer.set(AnswerStatus::kSuccess, "Success");
  EvDebug::Debug(kStreamTag, "%s", "Exit Library and Drive Configuration");
  if (config != nullptr) config->SetTerminateFlag(true);
  return 1;
}

// Force lock (3). Under the lock-operation mutex.
int streamForceLock(MessageInfo& request, long long serverSequenceNumber, StreamAnswer& answer) {
  const unsigned long locale = EvReturnData::returnLocaleId(request.sequenceNumber);
  const bool forced = EvMMConfigMgr::m_ulLockedMMConfig.load() == 1;
  // A holder forced out has been told so: a force lock that then fails does
  // not give it its session back.
  const EvMMConfigMgr::SessionHolder before = forced ? EvMMConfigMgr::SessionHolder{} : EvMMConfigMgr::CurrentHolder();
  if (forced) {
    EvMMConfigMgr::SetLastLoginName(EvMMConfigMgr::LoginNameOf(request.userId).c_str());
    const std::string forcedBy = EvMMConfigMgr::GetLastLoginName();
    EvDebug::Debug(kStreamTag, "L&DC will be force-closed by [%s]", forcedBy.c_str());
    MediaConfigPin oldPin;
    ZQMACMediaConfig* previous = EvMMConfigMgr::GetNewestMediaConfig(oldPin);
    if (previous != nullptr) {
      const std::string notice = catalogueText(kTextForceClosed, kTextSize, locale, forcedBy);
      previous->Percentage(100);
      // Reaches the previous holder while one of its long operations waits
      // for status texts; otherwise it learns at its next request.
      ::sendStatusResponse(notice, kForceClosedCode);
      previous->SetTerminateFlag(true);
    }
    EvMMConfigMgr::m_ulLockedMMConfig.store(0);
  }

  MediaConfigPin pin;
  ZQMACMediaConfig* config = EvMMConfigMgr::GetCurrentMediaConfig(&request, true, pin);
  if (config == nullptr) {
    failWithoutInstance(kStreamTag, locale, answer);
    return 0;
  }
  // The lock is the requester's from here on, unless its configuration
  // cannot be read.
  EvMMConfigMgr::m_serverSequenceNumber.store(serverSequenceNumber);
  EvMMConfigMgr::m_ulLockedMMConfig.store(1);
  ZQMACBase::SetLocale(locale);

  if (!config->Initialize(ZQPI_Focus::getFocus())) {
    failWithModelError(kStreamTag, kInitializeFailed, *config, answer);
  } else if (!config->ReadCurrentConfig(false)) {
    failWithModelError(kStreamTag, kReadFailed, *config, answer);
  } else {
    answer.set(AnswerStatus::kSuccess, ZQMACBase::GetMessageString(kTextLockTaken));
    EvDebug::Debug(kStreamTag, "%s", "User can configure the Media Manager");
    return 1;
  }
  // Neither the lock nor a session on a configuration that was never read.
  EvMMConfigMgr::m_ulLockedMMConfig.store(0);
  EvMMConfigMgr::m_serverSequenceNumber.store(0);
  withdraw(request, pin, before);
  return 0;
}

// ---------------------------------------------------------------- XML form

// Lock (1). Under the lock-operation mutex.
void xmlLock(MessageInfo& request, long long serverSequenceNumber, unsigned long locale, XmlAnswer& answer) {
  if (EvMMConfigMgr::m_ulLockedMMConfig.load() == 1) {
    EvDebug::Debug(kXmlTag, "%s", "Another user has locked media manager configuration");
    answer.fail(catalogueText(kTextLockedByOther, kTextSize, locale, EvMMConfigMgr::LoginNameOf(EvMMConfigMgr::m_ulUserId.load())));
    return;
  }
  const EvMMConfigMgr::SessionHolder before = EvMMConfigMgr::CurrentHolder();
  MediaConfigPin pin;
  ZQMACMediaConfig* config = EvMMConfigMgr::GetCurrentMediaConfig(&request, true, pin);
  if (config == nullptr) {
    failWithoutInstance(kXmlTag, locale, answer);
    return;
  }
  ZQMACBase::SetLocale(locale);
  config->Initialize(ZQPI_Focus::getFocus());

  if (!ZQMACDbInterface::TestConnectToMediaManager()) {
    failUnreachable(kXmlTag, *config, answer);
    withdraw(request, pin, before);
    return;
  }
  if (!config->ReadCurrentConfig(false)) {
    failWithModelError(kXmlTag, kReadFailed, *config, answer);
    withdraw(request, pin, before);
    return;
  }
  EvMMConfigMgr::m_serverSequenceNumber.store(serverSequenceNumber);
  EvMMConfigMgr::m_ulLockedMMConfig.store(1);
  EvDebug::Debug(kXmlTag, "%s", "User can configure the Media Manager");
}

// Unlock (0 or 2). There is no holder test in this form: a client that is
// not the holder gets the force-close notice from GetCurrentMediaConfig,
// and the lock is released all the same. Under the lock-operation mutex.
void xmlUnlock(MessageInfo& request, long long operation, unsigned long locale, XmlAnswer& answer) {
  if (EvMMConfigMgr::m_ulLockedMMConfig.load() != 1 && !(EvMMConfigMgr::m_socketId == request.socket)) {
    // Nothing is held and nobody took anything over: the force-close
    // notice would tell the client a falsehood. The lock is free, as asked.
    EvDebug::Debug(kXmlTag, "%s", "The configuration lock is not held: nothing to release.");
    return;
  }
  MediaConfigPin pin;
  ZQMACMediaConfig* config = EvMMConfigMgr::GetCurrentMediaConfig(&request, false, pin);
  if (operation == static_cast<long long>(EvMMConfigMgr::kLockOpUnlock) && config != nullptr &&
      !config->IsExhaustiveDetectedLibraryConfigured()) {
    const std::string text = catalogueText(kTextDetectedUnconfigured, kTextSize, locale);
    EvDebug::Debug(kXmlTag, "%s", text.c_str());
    answer.fail(text);
    return;  // the lock stays
  }
  EvMMConfigMgr::m_ulLockedMMConfig.store(0);
  EvMMConfigMgr::m_serverSequenceNumber.store(0);
  if (config != nullptr) config->SetTerminateFlag(true);
  EvDebug::Debug(kXmlTag, "%s", "Library and Drive Configuration exited");
}

// Force lock (3). Under the lock-operation mutex.
void xmlForceLock(MessageInfo& request, long long serverSequenceNumber, unsigned long locale, XmlAnswer& answer) {
  const bool forced = EvMMConfigMgr::m_ulLockedMMConfig.load() == 1;
  const EvMMConfigMgr::SessionHolder before = forced ? EvMMConfigMgr::SessionHolder{} : EvMMConfigMgr::CurrentHolder();
  if (forced) {
    EvMMConfigMgr::SetLastLoginName(EvMMConfigMgr::LoginNameOf(request.userId).c_str());
    EvDebug::Debug(kXmlTag, "Library & Drive Configuration will be force-closed by [%s]",
                   EvMMConfigMgr::GetLastLoginName().c_str());
    // No status text goes to the previous holder in this form.
    MediaConfigPin oldPin;
    ZQMACMediaConfig* previous = EvMMConfigMgr::GetNewestMediaConfig(oldPin);
    if (previous != nullptr) {
      previous->Percentage(100);
      previous->SetTerminateFlag(true);
    }
    EvMMConfigMgr::m_ulLockedMMConfig.store(0);
  }

  MediaConfigPin pin;
  ZQMACMediaConfig* config = EvMMConfigMgr::GetCurrentMediaConfig(&request, true, pin);
  if (config == nullptr) {
    failWithoutInstance(kXmlTag, locale, answer);
    return;
  }
  EvMMConfigMgr::m_serverSequenceNumber.store(serverSequenceNumber);
  EvMMConfigMgr::m_ulLockedMMConfig.store(1);
  ZQMACBase::SetLocale(locale);

  if (!config->Initialize(ZQPI_Focus::getFocus())) {
    failWithModelError(kXmlTag, kInitializeFailed, *config, answer);
  } else if (!config->ReadCurrentConfig(false)) {
    failWithModelError(kXmlTag, kReadFailed, *config, answer);
  } else {
    return;
  }
  // Neither the lock nor a session on a configuration that was never read.
  EvMMConfigMgr::m_ulLockedMMConfig.store(0);
  EvMMConfigMgr::m_serverSequenceNumber.store(0);
  withdraw(request, pin, before);
}

}  // namespace

// ---------------------------------------------------------------- rights switch

bool EvMMConfigMgr::doMACheck() {
  MMConfigsDB configs;
  int value = 0;
  if (configs.getConfigParamValue(kConfigCheckUserMARight, value, nullptr) != 0) {
    if (configs.getDBError() != DB_NO_ROW)
      EvDebug::DebugLvl(1, kCheckTag, "Could not read [%s]: %s", kConfigCheckUserMARight,
                        configs.lastErrorText().c_str());
    return false;
  }
  return value != 0;
}

// ---------------------------------------------------------------- element-stream form

int EvMMConfigMgr::LockMMConfiguration(MessageInfo* request, long long serverSequenceNumber, bool bHonourLock) {
  if (!m_initialized.load()) Initialize();
  if (request == nullptr) {
    EvDebug::Error(kStreamTag, "%s", "Bad Parameter Received.");
    return 0;
  }
  const unsigned long operation = request->elementCount;
  const unsigned long rightsArgument = request->firstWord;
  logRequest(kStreamTag, operation, EvMMConfigMgr::LoginNameOf(request->userId));

  std::string reason;
  if (!rightsAllowed(*request, rightsArgument, kStreamTag, reason)) {
    const std::string text = catalogueText(kTextRightsRefused, kShortTextSize,
                                           EvReturnData::returnLocaleId(request->sequenceNumber), reason);
    sendResponse(request->sequenceNumber, &request->socket, toWire(AnswerStatus::kFailure), text.c_str(), nullptr);
    return 0;
  }

  StreamAnswer answer;
  int result = 1;
  {
    std::lock_guard<std::mutex> guard(lockOperationMutex());
    switch (operation) {
      case kLockOpLock:
        result = streamLock(*request, serverSequenceNumber, bHonourLock, answer);
        break;
      case kLockOpForceLock:
        result = streamForceLock(*request, serverSequenceNumber, answer);
        break;
      case kLockOpUnlock:
      case kLockOpUnlockNoCheck:
        result = streamUnlock(*request, operation, answer);
        break;
      default:
        // Not an operation of the lock: nothing is answered.
        result = 1;
        break;
    }
    if (result == 1 && grantsLock(operation) && ConnectionGone(request->socket)) {
      releaseUnansweredLocked(*request, kStreamTag);
      return 0;
    }
  }
  if (answer.send) {
    const int delivered =
        sendResponse(request->sequenceNumber, &request->socket, toWire(answer.status), answer.text.c_str(), nullptr);
    if (delivered == 0 && result == 1 && grantsLock(operation)) {
      std::lock_guard<std::mutex> guard(lockOperationMutex());
      releaseUnansweredLocked(*request, kStreamTag);
      return 0;
    }
  }
  return result;
}

// ---------------------------------------------------------------- XML form

void EvMMConfigMgr::AnswerLost(CWySocket socket) {
  const XmlGrant grant = t_xmlGrant;
  t_xmlGrant = XmlGrant{};
  if (!grant.pending || grant.descriptor != static_cast<int>(socket.GetSocketDescriptor()) ||
      tkreply::threadWrites().frames > grant.frames + 1)
    return;
  std::lock_guard<std::mutex> guard(lockOperationMutex());
  releaseUnansweredLocked(socket, kXmlTag);
}

int EvMMConfigMgr::OnMsgLockUnlockMMConfigurationXML(MessageInfo* request, std::string& xml) {
  t_xmlGrant = XmlGrant{};
  XmlAnswer answer;
  if (!m_initialized.load()) Initialize();
  if (request == nullptr) {
    EvDebug::Error(kXmlTag, "%s", "Bad Parameter Received.");
    // Left as it came, the request text would go back as the response.
    xml.clear();
    return 0;
  }
  EvEvent event(kXmlTag);
  event.setLocaleId(request->sequenceNumber);
  const unsigned long locale = event.getLocaleId();

  [&] {
    const int initialized = CNMessageBase::Initialize();
    if (initialized != 0) {
      EvDebug::Error(kXmlTag, "Error [%d] return from CNMessageBase::Initialize.", initialized);
      answer.fail(catalogueText(kTextXmlInitialize, kTextSize, locale));
      return;
    }
    LockRequest lockRequest;
    const int read = lockRequest.unserialize(xml);
    if (read != 0) {
      EvDebug::Error(kXmlTag, "Error [%d] return from EVGui::MMConfigurationLockUnlockReq::unserialize.", read);
      answer.fail(catalogueText(kTextXmlUnreadable, kTextSize, locale));
      return;
    }
    constexpr tkxml::FieldDef kInfo = LockRequest::kInfo;
    constexpr tkxml::FieldDef kOperation = LockInfo::kOperation;
    constexpr tkxml::FieldDef kServerSequence = LockInfo::kServerSequence;
    const CNMessageBase& info = lockRequest.getObjectAccessor(false, false, kInfo.ordinal, kInfo.tag,
                                                              LockRequest::kClassHash, kInfo.hash, kInfo.ns, kInfo.cls);
    // A request without its operation is not read as an unlock (which an
    // absent number would read as): it is refused as unreadable.
    if (!info.isSet(kOperation.ordinal, LockInfo::kClassHash, kOperation.hash)) {
      EvDebug::Error(kXmlTag, "%s", "The lock request carries no lock operation.");
      answer.fail(catalogueText(kTextXmlUnreadable, kTextSize, locale));
      return;
    }
    const long long operation = info.getint64(kOperation.tag, LockInfo::kClassHash, kOperation.hash);
    logRequest(kXmlTag, static_cast<unsigned long long>(operation), EvMMConfigMgr::LoginNameOf(request->userId));

    std::string reason;
    if (!rightsAllowed(*request, kXmlRightsArgument, kXmlTag, reason)) {
      answer.fail(catalogueText(kTextRightsRefused, kTextSize, locale, reason));
      return;
    }
    const long long serverSequenceNumber =
        info.isSet(kServerSequence.ordinal, LockInfo::kClassHash, kServerSequence.hash)
            ? info.getint64(kServerSequence.tag, LockInfo::kClassHash, kServerSequence.hash)
            : -1;

    std::lock_guard<std::mutex> guard(lockOperationMutex());
    if (operation == static_cast<long long>(kLockOpLock)) {
      xmlLock(*request, serverSequenceNumber, locale, answer);
    } else if (operation == static_cast<long long>(kLockOpUnlock) ||
               operation == static_cast<long long>(kLockOpUnlockNoCheck)) {
      xmlUnlock(*request, operation, locale, answer);
    } else if (operation == static_cast<long long>(kLockOpForceLock)) {
      xmlForceLock(*request, serverSequenceNumber, locale, answer);
    }
    // Any other operation: code 0, no text.
    if (answer.code == Response::kCodeSuccess && grantsLock(static_cast<unsigned long long>(operation))) {
      if (ConnectionGone(request->socket))
        releaseUnansweredLocked(*request, kXmlTag);
      else if (m_socketId == request->socket && m_ulLockedMMConfig.load() == 1)
        t_xmlGrant = XmlGrant{true, static_cast<int>(request->socket.GetSocketDescriptor()),
                              tkreply::threadWrites().frames};
    }
  }();

  Response response;
  constexpr tkxml::FieldDef kCode = Response::kCode;
  constexpr tkxml::FieldDef kText = Response::kText;
  response.setint64(kCode.ordinal, kCode.tag, answer.code, Response::kClassHash, kCode.hash);
  if (!answer.text.empty()) {
    response.setstring(kText.ordinal, kText.tag, MyLocalText(answer.text), Response::kClassHash, kText.hash);
  }
  const int written = response.serialize(xml, false);
  if (written != 0) {
    EvDebug::Error(kXmlTag, "Error [%d] return from ZQGui::GenericResp::serialize.", written);
    xml.clear();
  }
  return 0;
}
