// The control request of the media-management configuration
// (onMsgSetMMControl): one element-stream Set whose records each name an
// operation (element 4001) and act on the session's configuration instance
// as a whole (re-read it, replace it, abort a long operation) or on one
// object of it (configure it, run its long operation with progress, ...).
//
// It walks the stream with the Set loop of HandlerSkeleton.h and differs
// from the other Sets in its preamble: at each end of record the handle
// test (every operation but 12, 33, 68 and 70 needs element 11003) comes
// before the operation test, the object is looked up (an unknown handle
// reaches the operation as no object) and the automatic-refresh state is
// prepared; only then is the operation looked up in the operation table,
// whose rows say what each code does. Every element's value (and the
// handle) stays in force for the following records of the request.
//
// Client sequence number. The status and progress hooks of the object
// model answer the session holder under the class-wide client sequence
// number. Every operation but 33 sets it to the request's before its work
// and resets it on every way out after that; an operation refused before
// its work does neither. A long operation that ends while the instance's
// terminate flag is set (the session was released meanwhile) leaves the
// hooks, the step counters and the sequence number as they are and sends
// no failure answer: the console that ran it has gone. Nothing guards the
// hooks and counters: the session keeps long operations to one client.
//
// A failure answers status 0 with the failing object's (or instance's)
// last-error text, resets the sequence number and ends the request:
// records behind it are not read. The handler takes no lock of its own; it
// pins the instances it works on (the one it started on, and the new one of
// operations 12 and 68, which the following records use).
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "frame/CredentialElements.h"
#include "frame/ElementTags.h"
#include "frame/EvEvent.h"
#include "frame/EvExternal.h"
#include "frame/EvMMConfigMgr.h"
#include "frame/EvSecurity.h"
#include "frame/HandlerSkeleton.h"
#include "frame/MessageInfo.h"
#include "frame/MessageWalker.h"
#include "frame/mac/ZQMACObjects.h"
#include "mmconfig/ChangeNotices.h"
#include "mmconfig/control/ControlOperations.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/focus/ZQPI_Focus.h"
#include "platform/security/StoredPassword.h"

namespace {

constexpr const char* kTag = "EvMMConfigMgr::onMsgSetMMControl";

// Catalogue texts.
constexpr unsigned long kTextDetectedUnconfigured = 0x2400016B;
constexpr unsigned long kTextAddUserFailed = 0x24000330;  // %1 the object's name
constexpr unsigned long kTextMemory = 0x23000002;
constexpr std::size_t kCatalogueTextSize = 1024;

// Elements of the request.
constexpr uint32_t kElementName = tktag::kMediaAgent;          // [u32 id][text]
constexpr uint32_t kElementUserName = tktag::kUserName;      // encrypted
constexpr uint32_t kElementPassword = tktag::kPassword;      // encrypted
constexpr uint32_t kElementLibraryId = tktag::kLibraryId;     // audit entity and refresh key
constexpr uint32_t kElementVaultLock = tktag::kVaultLock;
constexpr uint32_t kElementAgentText = tktag::kNdmpServer;
constexpr uint32_t kElementReplacement = tktag::kDiskDeviceHandle;  // u64 handle
// Elements stored and not used.
constexpr uint32_t kElementsIgnored[] = {
    tktag::kDriveDetail, tktag::kUnused8259, tktag::kUnused11029, tktag::kCopyManagerController,
    tktag::kCopyManagerChoice};


// Audit operations and parameters.
constexpr int kAuditConfigure = 0x540000B5;        // 48, 69
constexpr int kAuditConfigureMode = 0x540000B6;    // 51
constexpr int kAuditLongOperation = 0x540001D0;    // 50
constexpr int kParamLibraryAlias = 0x550000BF;     // the library's alias
constexpr int kParamDriveConfigured = 0x550005D7;  // no text
constexpr int kParamLongOperation = 0x55000456;    // display name

// Operation codes of this file (the table below serves them).
constexpr uint32_t kOpNewInstanceChecked = 12;
constexpr uint32_t kOpAbort = 33;
constexpr uint32_t kOpConfigure = 48;
constexpr uint32_t kOpLongOperation = 50;
constexpr uint32_t kOpConfigureMode = 51;
constexpr uint32_t kOpAcknowledge = 57;
constexpr uint32_t kOpAcknowledgeLibrary = 60;
constexpr uint32_t kOpNewInstance = 68;
constexpr uint32_t kOpConfigureMode2 = 69;
constexpr uint32_t kOpReread = 70;
constexpr uint32_t kOpCredential = 105;

// Object type 13: configured with mode 3 by operation 51.
constexpr unsigned int kObjectTypeMode3 = 13;
// Hook numbers: the status texts of long operations carry code 1; at rest
// the status hook has type 0.
constexpr int kStatusTypeRunning = 1;
constexpr int kStatusTypeRest = 0;
constexpr int kProgressComplete = 100;

constexpr const char* kInvalidOperation = "Received invalid operation type";
constexpr const char* kSuccess = "Success";
constexpr unsigned int kNotStored = 0xFFFFFFFFu;

using tkmm::SetOutcome;

// What stands for a secret in a text the client sees.
constexpr const char* kHiddenSecret = "***";
// A password shorter than this is not looked for in a text: it would hide
// ordinary words of the text, and a text of the model names the user, not
// the password.
constexpr std::size_t kShortestSought = 4;

void replaceAll(std::string& text, const std::string& what, const std::string& with) {
  if (what.empty()) return;
  for (std::size_t at = 0; (at = text.find(what, at)) != std::string::npos; at += with.size())
    text.replace(at, what.size(), with);
}

// A text of the credential operation as the client may see it: the user
// named without the proxy password the name carries (user!!proxy-user@host,
// its ":" and password left out), and neither that nor the password of the
// request anywhere in it.
std::string withoutSecrets(std::string text, const std::string& userName, const std::string& password) {
  std::size_t at = 0;
  std::size_t length = 0;
  if (tkpassword::proxyPasswordSpan(userName, at, length)) {
    replaceAll(text, userName, userName.substr(0, at - 1));
    std::string proxy = userName.substr(at, length);
    if (proxy.size() >= kShortestSought) replaceAll(text, proxy, kHiddenSecret);
    tkpassword::wipe(proxy);
  }
  if (password.size() >= kShortestSought) replaceAll(text, password, kHiddenSecret);
  return text;
}

class ControlRequest;
using OperationBody = SetOutcome (ControlRequest::*)(uint32_t operation);

// One row of the operation table.
struct ControlOperation {
  uint32_t code;
  bool needsObject;  // refused without element 11003 in the request
  OperationBody run;
  tkmm::control::Body body = nullptr;  // for operations of their own files (run is null)
};

// What one request carries and works on.
class ControlRequest : public tkmm::SetRecordHandler {
 public:
  explicit ControlRequest(MessageInfo* request) : m_request(request), m_services(0) {}
  ~ControlRequest() override {
    // The credentials live only for the request.
    wipe(m_password);
    wipe(m_userName);
  }
  ControlRequest(const ControlRequest&) = delete;
  ControlRequest& operator=(const ControlRequest&) = delete;

  bool servesOperation(uint32_t) const override { return true; }  // the table decides, after the handle test
  bool needsObject(uint32_t operation) const override;
  bool takeElement(uint32_t type, const char* value, unsigned int length) override;
  SetOutcome apply(const tkmm::SetRecord& record) override;

  // ---- operations (the table's bodies) ----
  SetOutcome newInstanceChecked(uint32_t operation);
  SetOutcome newInstance(uint32_t operation);
  SetOutcome reread(uint32_t operation);
  SetOutcome abort(uint32_t operation);
  SetOutcome acknowledge(uint32_t operation);
  SetOutcome acknowledgeLibrary(uint32_t operation);
  SetOutcome configure(uint32_t operation);
  SetOutcome longOperation(uint32_t operation);
  SetOutcome credentialOperation(uint32_t operation);

 private:
  static void wipe(std::string& secret) { tkmm::wipe(secret); }

  long long sequence() const { return m_request->sequenceNumber; }
  // Answers status 0 with the text, resets the client sequence number and
  // ends the request.
  SetOutcome fail(uint32_t operation, const std::string& text);
  SetOutcome failWithLastError(uint32_t operation, const ZQMACBase& failing) {
    return fail(operation, failing.GetLastError());
  }
  // Resets the client sequence number and answers "Success".
  SetOutcome succeed() {
    EvMMConfigMgr::ResetClientSequenceNumber();
    return SetOutcome::success();
  }
  // The refresh notice about the request's library, when refresh is set.
  void sendRefreshNotice(ZqEntities::EntityType entity);
  bool isLibrary(const ZQMACInterface& object) const {
    const unsigned int type = object.GetObjectType();
    return type == ZQMAC_OBJ_LMS || type == ZQMAC_OBJ_MAGLIB;
  }
  // The hooks, counters and sequence number back at rest.
  static void hooksAtRest();
  // The audit parameter that names the object.
  static tkmm::AuditParameter objectParameter(ZQMACInterface& object) {
    return tkmm::control::objectParameter(object);
  }
  // The drive's device text (audit parameter 0x550000BE).
  static tkmm::AuditParameter driveParameter(ZQMACInterface& object) {
    return tkmm::control::driveParameter(object);
  }

  MessageInfo* m_request;
  EvExternal m_services;

  // Element values; they stay in force for the following records.
  bool m_hasLibraryId = false;
  uint32_t m_libraryId = 0;
  bool m_hasVaultLock = false;
  uint32_t m_vaultLock = 0;
  bool m_hasReplacement = false;
  unsigned long long m_replacement = 0;
  bool m_hasName = false;
  std::string m_name;
  bool m_hasUserName = false;
  std::string m_userName;
  bool m_hasPassword = false;
  std::string m_password;
  bool m_hasAgentText = false;
  std::string m_agentText;

  // The instance that operations 12 and 68 made; the following records
  // work on it.
  MediaConfigPin m_newPin;
  ZQMACMediaConfig* m_newConfig = nullptr;

  // The record being applied.
  ZQMACMediaConfig* m_config = nullptr;
  ZQMACInterface* m_object = nullptr;
  bool m_autoRefresh = false;
  std::vector<int> m_mediaAgentIds;
};

// The operation table. Codes not in it (0 to 126 and above) are invalid.
constexpr ControlOperation kOperations[] = {
    {kOpNewInstanceChecked, false, &ControlRequest::newInstanceChecked},
    {kOpAbort, false, &ControlRequest::abort},
    {kOpConfigure, true, &ControlRequest::configure},
    {kOpLongOperation, true, &ControlRequest::longOperation},
    {kOpConfigureMode, true, &ControlRequest::configure},
    {kOpAcknowledge, true, &ControlRequest::acknowledge},
    {kOpAcknowledgeLibrary, true, &ControlRequest::acknowledgeLibrary},
    {kOpNewInstance, false, &ControlRequest::newInstance},
    {kOpConfigureMode2, true, &ControlRequest::configure},
    {kOpReread, false, &ControlRequest::reread},
    {kOpCredential, true, &ControlRequest::credentialOperation},
    // Operations of their own files (mmconfig/control/ControlOperations.h).
    {2, true, nullptr, &tkmm::control::removeObject},
    {39, true, nullptr, &tkmm::control::replaceObject},
    {44, true, nullptr, &tkmm::control::removeObject},
    {49, true, nullptr, &tkmm::control::deconfigureObject},
    {55, true, nullptr, &tkmm::control::addControllersForShownAgents},
    {61, true, nullptr, &tkmm::control::replaceObject},
    {90, true, nullptr, &tkmm::control::deconfigureForced},
    {109, true, nullptr, &tkmm::control::lockVault},
    {118, true, nullptr, &tkmm::control::updateHost},
    {126, true, nullptr, &tkmm::control::deconfigureObject},
};

const ControlOperation* findOperation(uint32_t code) {
  for (const ControlOperation& entry : kOperations)
    if (entry.code == code) return &entry;
  return nullptr;
}

// ---------------------------------------------------------------- the preamble

bool ControlRequest::needsObject(uint32_t operation) const {
  // The handle test comes before the operation test: an invalid code is
  // refused for a missing handle first.
  const ControlOperation* entry = findOperation(operation);
  return entry == nullptr || entry->needsObject;
}

bool ControlRequest::takeElement(uint32_t type, const char* value, unsigned int length) {
  switch (type) {
    case kElementName:
      m_name = length < sizeof(uint32_t) ? std::string() : MessageWalker::readPairText(value, length);
      m_hasName = true;
      return true;
    case kElementUserName:
      m_hasUserName = tkmm::decryptUserName(m_services, m_request, value, length, kTag, m_userName);
      return true;
    case kElementPassword:
      m_hasPassword = tkmm::decryptPassword(m_services, m_request, value, length, kTag, m_password);
      return true;
    case kElementLibraryId:
      m_libraryId = MessageWalker::readU32(value, length);
      m_hasLibraryId = true;
      return true;
    case kElementVaultLock:
      m_vaultLock = MessageWalker::readU32(value, length);
      m_hasVaultLock = true;
      return true;
    case kElementAgentText:
      m_agentText = MessageWalker::readText(value, length);
      m_hasAgentText = true;
      return true;
    case kElementReplacement:
      m_replacement = MessageWalker::readU64(value, length);
      m_hasReplacement = true;
      return true;
    default:
      for (uint32_t ignored : kElementsIgnored)
        if (type == ignored) return true;
      return false;
  }
}

SetOutcome ControlRequest::apply(const tkmm::SetRecord& record) {
  m_config = m_newConfig != nullptr ? m_newConfig : &record.config;
  // No handle is handle 0, which names no object.
  m_object = m_config->FindObject(record.hasHandle ? record.handle : 0);
  m_autoRefresh = m_services.isAutoRefreshSet();
  m_mediaAgentIds.clear();
  if (m_hasLibraryId && m_autoRefresh) m_services.getMAsforLibrary(static_cast<int>(m_libraryId), m_mediaAgentIds);

  const ControlOperation* entry = findOperation(record.operation);
  if (entry == nullptr) {
    EvDebug::Debug(kTag, "Received invalid operation type [%lu].", static_cast<unsigned long>(record.operation));
    sendResponse(sequence(), &m_request->socket, 0, kInvalidOperation, nullptr);
    return SetOutcome::answered(false, false);
  }
  if (entry->run != nullptr) return (this->*entry->run)(record.operation);
  tkmm::control::Record context{*m_request, m_services, *m_config, m_object, m_hasLibraryId, m_libraryId,
                                m_autoRefresh, m_mediaAgentIds, m_hasReplacement, m_replacement, m_name,
                                m_agentText, m_hasVaultLock, m_vaultLock};
  return entry->body(context, record.operation);
}

SetOutcome ControlRequest::fail(uint32_t operation, const std::string& text) {
  EvDebug::Error(kTag, "%s", text.c_str());
  return tkmm::control::answerFailure(*m_request, operation, text);
}

void ControlRequest::sendRefreshNotice(ZqEntities::EntityType entity) {
  m_services.sendAutoRefreshUpdateGUM(static_cast<int>(m_libraryId), entity, m_request->autoRefreshGuiId,
                                      &m_mediaAgentIds);
}

void ControlRequest::hooksAtRest() {
  g_ulSteps = 0;
  g_ulTotalSteps = 0;
  ZQMACMediaConfig::SetPercentageFunc(nullptr, 0);
  ZQMACMediaConfig::SetStatusTextFunc(::sendStatusResponse, kStatusTypeRest);
  EvMMConfigMgr::ResetClientSequenceNumber();
}

// ---------------------------------------------------------------- session operations

// 12: a new instance, read, only while every library that exhaustive
// detection found is configured; otherwise status 2 ends the request.
SetOutcome ControlRequest::newInstanceChecked(uint32_t operation) {
  if (!m_config->IsExhaustiveDetectedLibraryConfigured()) {
    const std::string text = ZQMACBase::GetMessageString(kTextDetectedUnconfigured);
    EvMMConfigMgr::sendOperationResponse(sequence(), m_request->socket, operation, 2, text.c_str(), 0);
    return SetOutcome::answered(false, false);
  }
  return newInstance(operation);
}

// 68 (and 12 after its test): a new instance in front of the cache, with
// the requester as the session holder, initialised and read; the following
// records work on it.
SetOutcome ControlRequest::newInstance(uint32_t operation) {
  EvMMConfigMgr::SetClientSequenceNumber(sequence());
  ZQMACMediaConfig* fresh = EvMMConfigMgr::GetCurrentMediaConfig(m_request, true, m_newPin);
  if (fresh == nullptr) {
    char text[kCatalogueTextSize];
    EvEvent event(kTag);
    event.evPrintf(kTextMemory, text, sizeof text, sequence());
    return fail(operation, text);
  }
  m_newConfig = fresh;
  m_config = fresh;
  ZQMACBase::SetLocale(EvReturnData::returnLocaleId(sequence()));
  // A failed initialisation is a failed read: the instance cannot be read
  // for an installation it does not know.
  if (!fresh->Initialize(ZQPI_Focus::getFocus())) return failWithLastError(operation, *fresh);
  if (!fresh->ReadCurrentConfig(false)) return failWithLastError(operation, *fresh);
  return succeed();
}

// 70: the current instance read again.
SetOutcome ControlRequest::reread(uint32_t operation) {
  EvMMConfigMgr::SetClientSequenceNumber(sequence());
  if (!m_config->ReadCurrentConfig(true)) return failWithLastError(operation, *m_config);
  return succeed();
}

// 33: the instance's abort flag, which a running long operation observes;
// no sequence-number bracket.
SetOutcome ControlRequest::abort(uint32_t /*operation*/) {
  m_config->SetAbortFlag(true);
  return SetOutcome::success();
}

// 57: acknowledged.
SetOutcome ControlRequest::acknowledge(uint32_t /*operation*/) {
  EvMMConfigMgr::SetClientSequenceNumber(sequence());
  return succeed();
}

// 60: acknowledged; for a tape or optical library the media agents are
// fetched and nothing is decided with them.
SetOutcome ControlRequest::acknowledgeLibrary(uint32_t /*operation*/) {
  EvMMConfigMgr::SetClientSequenceNumber(sequence());
  if (m_object != nullptr && m_object->GetObjectType() == ZQMAC_OBJ_LMS) {
    const ZQMACLinkedList<ZQMACMediaAgent> agents = m_config->GetMediaAgentList();
    EvDebug::Debug(kTag, "The library has [%d] media agents to choose from.", agents.GetListCount());
  }
  return succeed();
}

// ---------------------------------------------------------------- configuration

// 48 (mode 0), 51 (mode 3 for drive paths, drives and type 13, else 1) and
// 69 (mode 2): the object's configuration written. A new library gives the
// requesting user access to it; a library whose drives came into use for
// the first time answers status 2 "Success" and ends the request.
SetOutcome ControlRequest::configure(uint32_t operation) {
  // A handle whose object is not in the instance (gone since the listing
  // that gave it) changes nothing and is answered "Success", as most object
  // operations of the table answer it: the records behind it are still read.
  if (m_object == nullptr) return succeed();
  ZQMACInterface& object = *m_object;
  const unsigned int type = object.GetObjectType();

  ZQMACLms* lms = object.GetLms();
  ZQMACLibrary* library = lms != nullptr ? lms->GetLibrary() : nullptr;
  const bool driveWarning = lms != nullptr && lms->CountDrives(false) >= 1 && lms->CountDrives(true) == 0 &&
                            !lms->IsMixedDriveType() && library != nullptr && !library->IsStandAlone();
  EvMMConfigMgr::SetClientSequenceNumber(sequence());

  // 48 builds its record before the change and notifies whatever happens.
  std::vector<tkmm::AuditParameter> parameters;
  if (operation == kOpConfigure) {
    if (library != nullptr) parameters.push_back({kParamLibraryAlias, {library->GetAliasName()}});
    parameters.push_back(objectParameter(object));
    if (type == ZQMAC_OBJ_DRIVE) {
      parameters.push_back({kParamDriveConfigured, {}});
      parameters.push_back(driveParameter(object));
    }
    if (m_autoRefresh && isLibrary(object)) sendRefreshNotice(ZqEntities::ENTITY_LIBRARY);
  }

  const bool newObject = object.GetId() == kNotStored;
  if (newObject)
    EvDebug::Debug(kTag, "%s", "CREATE NEW LIB");
  else
    EvDebug::Debug(kTag, "CONFIG EXISTING LIB [%d]", static_cast<int>(object.GetId()));

  unsigned int mode = 0;
  if (operation == kOpConfigureMode)
    mode = type == ZQMAC_OBJ_DMS || type == kObjectTypeMode3 || type == ZQMAC_OBJ_DRIVE ? 3 : 1;
  else if (operation == kOpConfigureMode2)
    mode = 2;
  if (!object.Configure(mode)) return failWithLastError(operation, object);

  switch (operation) {
    case kOpConfigure:
      tkmm::writeAuditRecord(kAuditConfigure, static_cast<int>(m_libraryId), parameters);
      break;
    case kOpConfigureMode:
      if (m_autoRefresh && isLibrary(object)) sendRefreshNotice(ZqEntities::ENTITY_LIBRARY);
      tkmm::writeAuditRecord(kAuditConfigureMode, static_cast<int>(object.GetId()), {objectParameter(object)});
      break;
    default:
      tkmm::writeAuditRecord(kAuditConfigure, static_cast<int>(object.GetId()), {objectParameter(object)});
      break;
  }

  // The requesting user gets access to a library that has just been stored.
  const unsigned int newId = object.GetId();
  if (EvMMConfigMgr::doMACheck() && newObject && newId != 0 && newId != kNotStored) {
    EvSecurityCheck security(sequence());
    std::string error;
    const int added = security.addUserToLibrary(m_request->userId, EvReturnData::returnLocaleId(sequence()), newId,
                                                error, nullptr);
    if (added != 0 || !error.empty()) {
      EvDebug::Error(kTag, "Failed to add user to library with error [%s]", error.c_str());
      return fail(operation, ZQMACBase::GetMessageString(kTextAddUserFailed, object.GetName().c_str()));
    }
  }

  if (driveWarning && lms->CountDrives(true) >= 1) {
    EvMMConfigMgr::sendOperationResponse(sequence(), m_request->socket, operation, 2, kSuccess, 0);
    EvMMConfigMgr::ResetClientSequenceNumber();
    return SetOutcome::answered(false, true);
  }
  return succeed();
}

// ---------------------------------------------------------------- long operations

// 50: the object's long operation; the model's progress calls become steps
// of CountDrives(true) on a scale of 25. Audited in any case once it ran.
SetOutcome ControlRequest::longOperation(uint32_t operation) {
  EvMMConfigMgr::SetClientSequenceNumber(sequence());
  ZQMACMediaConfig::SetStatusTextFunc(::sendStatusResponse, kStatusTypeRunning);
  ZQMACMediaConfig::SetPercentageFunc(::sendProgressResponse, static_cast<int>(kOpLongOperation));
  g_ulSteps = 0;
  if (m_object != nullptr) {
    g_ulTotalSteps = m_object->CountDrives(true);
    m_config->SetAbortFlag(false);
    if (!m_object->RunLongOperation()) {
      // The session was released meanwhile: its console has gone.
      if (m_config->GetTerminateFlag()) return SetOutcome::answered(false, false);
      const std::string text = m_object->GetLastError();
      EvDebug::Error(kTag, "%s", text.c_str());
      EvMMConfigMgr::sendOperationResponse(sequence(), m_request->socket, operation, 0, text.c_str(), 0);
      hooksAtRest();
      return SetOutcome::answered(false, false);
    }
  }
  if (!m_config->GetTerminateFlag()) hooksAtRest();
  if (m_object != nullptr) {
    // The record always carries its operation: an object without a library
    // part is audited against library 0.
    ZQMACLms* lms = m_object->GetLms();
    ZQMACLibrary* library = lms != nullptr ? lms->GetLibrary() : nullptr;
    std::vector<tkmm::AuditParameter> parameters;
    if (library != nullptr) parameters.push_back({kParamLibraryAlias, {library->GetAliasName()}});
    parameters.push_back({kParamLongOperation, {m_object->GetDisplayName()}});
    if (m_object->GetObjectType() == ZQMAC_OBJ_DRIVE) parameters.push_back(driveParameter(*m_object));
    tkmm::writeAuditRecord(kAuditLongOperation, library != nullptr ? static_cast<int>(library->GetId()) : 0,
                           parameters);
  }
  return SetOutcome::success();
}

// 105: the object's credential operation with the name (2048), user name
// (2401) and password (2402) of the request; the model's percentages pass
// as they come, and the end sends 100 and the result text.
SetOutcome ControlRequest::credentialOperation(uint32_t operation) {
  std::string result;
  auto complete = [&] {
    if (m_config->GetTerminateFlag()) return;
    ZQMACMediaConfig::SetPercentage(kProgressComplete);
    ZQMACMediaConfig::SetStatusText(result);
    ZQMACMediaConfig::SetPercentageFunc(nullptr, 0);
    ZQMACMediaConfig::SetStatusTextFunc(::sendStatusResponse, kStatusTypeRest);
    EvMMConfigMgr::ResetClientSequenceNumber();
  };
  if (m_object == nullptr) {
    complete();
    return SetOutcome::success();
  }
  if (!m_hasName || !m_hasUserName || !m_hasPassword) {
    const std::string text = ZQMACBase::GetMessageString(tkmm::kTextNoObjectHandle);
    EvDebug::Error(kTag, "%s", text.c_str());
    EvMMConfigMgr::sendOperationResponse(sequence(), m_request->socket, operation, 0, text.c_str(), 0);
    return SetOutcome::answered(false, false);
  }
  EvMMConfigMgr::SetClientSequenceNumber(sequence());
  ZQMACMediaConfig::SetStatusTextFunc(::sendStatusResponse, kStatusTypeRunning);
  ZQMACMediaConfig::SetPercentageFunc(::sendProgressResponse, static_cast<int>(kOpCredential));
  const bool ran = m_object->RunCredentialOperation(m_name, m_userName, m_password, result);
  // The texts go to the client and the log: the model may have named the
  // credentials in them.
  result = withoutSecrets(result, m_userName, m_password);
  if (!ran) {
    if (m_config->GetTerminateFlag()) return SetOutcome::answered(false, false);
    const std::string text = withoutSecrets(m_object->GetLastError(), m_userName, m_password);
    EvDebug::Error(kTag, "%s", text.c_str());
    EvMMConfigMgr::sendOperationResponse(sequence(), m_request->socket, operation, 0, text.c_str(), 0);
    ZQMACMediaConfig::SetPercentageFunc(nullptr, 0);
    ZQMACMediaConfig::SetStatusTextFunc(::sendStatusResponse, kStatusTypeRest);
    EvMMConfigMgr::ResetClientSequenceNumber();
    return SetOutcome::answered(false, false);
  }
  complete();
  return SetOutcome::success();
}

}  // namespace

bool EvMMConfigMgr::onMsgSetMMControl(MessageInfo* request) {
  ControlRequest control(request);
  return tkmm::runSet(request, kTag, control);
}
