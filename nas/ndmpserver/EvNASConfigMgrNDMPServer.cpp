// The NDMP server change request (onMsgSetMMNDMPServer): the walk of its
// element stream, its elements, and the steps that add, update, delete and
// detect share (answers, client resolution, the rights check, the filer
// login, reading the client's NDMP row).
//
// Logins and passwords arrive encrypted for the connection. A login is kept
// as its plain text; a password is kept only in the form the NDMP host table
// stores and the filer access takes (enciphered), so no plain password is
// ever stored or logged: log lines say only "received" or "none".
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "frame/ElementTags.h"
#include "frame/EvAlertEx.h"
#include "frame/EvEvent.h"
#include "frame/EvExternal.h"
#include "frame/EvSecurity.h"
#include "frame/MessageInfo.h"
#include "nas/EvNASConfigMgr.h"
#include "nas/ndmpserver/NDMPServerRequest.h"
#include "platform/client/ZQClient.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/mmdb/MMNDMPHostInfoDB.h"
#include "platform/ndmp/LibNdmpClientAccess.h"
#include "platform/ndmp/NdmpFilers.h"
#include "platform/security/StoredPassword.h"
#include "platform/tran/StoreStep.h"

namespace tknas {
namespace {

// Elements.
constexpr unsigned int kElementClientId = tktag::kClientId;
constexpr unsigned int kElementClient = tktag::kClient;
constexpr unsigned int kElementHostName = tktag::kHostName;
constexpr unsigned int kElementServerName = tktag::kNdmpServer;
constexpr unsigned int kElementCenteraResource = tktag::kArchiveClusterResource;
constexpr unsigned int kElementLogin = tktag::kNdmpLogin;
constexpr unsigned int kElementPassword = tktag::kNdmpPassword;
constexpr unsigned int kElementCurrentPassword = tktag::kPassword;
constexpr unsigned int kElementOsType = tktag::kNdmpOsType;
constexpr unsigned int kElementFirmware = tktag::kFirmwareRevision;
constexpr unsigned int kElementPort = tktag::kNdmpPort;

// Operations.
constexpr unsigned long long kOperationAdd = 1;
constexpr unsigned long long kOperationDelete = 2;
constexpr unsigned long long kOperationUpdate = 3;
constexpr unsigned long long kOperationDetect = 58;

// Decryption modes of the host services.
constexpr int kDecryptToText = 2;
constexpr int kDecryptToBuffer = 1;
constexpr int kDecryptBufferSize = 4104;

// The rights question.
constexpr int kEntityTarnfold = 1;
constexpr int kEntityClient = 2;
constexpr unsigned long kPermissionTarnfold = 2018;
constexpr unsigned long kPermissionClient = 2009;
constexpr long kRightsAlertCondition = 12;

// Catalogue ids of the shared steps.
constexpr unsigned long kTextRefused = 0x240001F4;       // %1 the reason
constexpr unsigned long kTextNoConnection = 0x24000058;  // %1 the host
constexpr unsigned long kTextUnreachable = 0x240002FB;   // %1 the host
constexpr unsigned long kTextBadCredentials = 0x24000059;
constexpr unsigned long kTextNoOsType = 0x2400005A;
constexpr unsigned long kTextOsTypeZero = 0x2400005B;
constexpr unsigned long kTextNotLoggedIn = 0x2400005C;

constexpr unsigned long kTextNoTransaction = 0x230000B7;  // %1 code, %2 text
constexpr unsigned long kTextTooLong = 0x24000065;       // %1 what, %2 the width in bytes
constexpr unsigned long kTextCommitFailed = 0x4800003A;

constexpr std::size_t kTextSize = 1024;

// A password as it arrives (encrypted for the connection) in the form it
// is stored in, by the one password policy for the row's field; false when
// it cannot be read, or (the reason in `refusal`) when the policy refuses
// it.
bool storedPassword(MessageInfo& request, const char* value, unsigned int length, std::string& stored,
                    std::string& refusal) {
  refusal.clear();
  EvExternal external(0);
  std::vector<char> plain(kDecryptBufferSize, '\0');
  int size = kDecryptBufferSize;
  std::string unused;
  if (external.decryptAndPrepForStorage(&request, value, static_cast<int>(length), kDecryptToBuffer, unused, nullptr,
                                        &size, plain.data()) != 1)
    return false;
  std::string text(plain.data(), strnlen(plain.data(), plain.size()));
  std::fill(plain.begin(), plain.end(), '\0');
  const bool made = tkpassword::storedFormFor(text, kPasswordMax, stored, refusal);
  tkpassword::wipe(text);
  return made;
}

}  // namespace

bool NdmpServerRequest::takeElement(tksanvol::StreamContext& context, unsigned int type, const char* value,
                                    unsigned int length) {
  NdmpServerFields& f = m_fields;
  switch (type) {
    case kElementClientId:
      f.clientId = tksanvol::readI32(value, length);
      EvDebug::DebugLvl(7, kTag, "Received, ClientId = %d.", f.clientId);
      return true;
    case kElementClient: {
      const tksanvol::IdText client = tksanvol::readIdText(value, length);
      f.clientId = static_cast<int32_t>(client.id);
      if (!client.text.empty()) {
        f.host = client.text;
        f.hasHost = true;
      }
      EvDebug::DebugLvl(7, kTag, "Received, Client = [%d-%s].", f.clientId, client.text.c_str());
      return true;
    }
    case kElementHostName:
      f.host = f.hostString = tksanvol::readText(value, length);
      f.hasHost = true;
      EvDebug::DebugLvl(7, kTag, "Received, Host name = [%s].", f.host.c_str());
      return true;
    case kElementServerName:
      f.host = tksanvol::readText(value, length);
      f.hasHost = true;
      EvDebug::DebugLvl(7, kTag, "Received, NDMP server = [%s].", f.host.c_str());
      return true;
    case kElementCenteraResource:
      f.centeraResource = tksanvol::readText(value, length);
      EvDebug::DebugLvl(7, kTag, "Received, Centera resource file name = [%s].", f.centeraResource.c_str());
      return true;
    case kElementLogin: {
      EvExternal external(0);
      std::string login;
      f.hasLogin = external.decryptAndPrepForStorage(&context.request(), value, static_cast<int>(length),
                                                     kDecryptToText, login, nullptr, nullptr, nullptr) == 1;
      f.login = f.hasLogin ? login : std::string();
      if (!f.hasLogin) EvDebug::Error(kTag, "%s", "failed to decrypt er user name");
      return true;
    }
    case kElementPassword:
      f.hasPassword = storedPassword(context.request(), value, length, f.password, f.passwordRefusal);
      if (!f.hasPassword) {
        f.password.clear();
        EvDebug::Error(kTag, "%s", f.passwordRefusal.empty() ? "failed to decrypt er password" : f.passwordRefusal.c_str());
      }
      return true;
    case kElementCurrentPassword: {
      // The current password is only compared: one too long to be stored
      // cannot be the stored one.
      std::string refusal;
      if (!storedPassword(context.request(), value, length, f.currentPassword, refusal)) {
        f.currentPassword.clear();
        EvDebug::Error(kTag, "%s", refusal.empty() ? "failed to decrypt er password" : refusal.c_str());
      }
      return true;
    }
    case kElementOsType:
      f.osType = tksanvol::readU32(value, length);
      f.hasOsType = true;
      EvDebug::DebugLvl(7, kTag, "Received, OS type = %u.", f.osType);
      return true;
    case kElementFirmware:
      // The row keeps 32 characters: a longer text is refused before it is
      // stored (textsFit), never cut to another version.
      f.firmware = tksanvol::readText(value, length);
      f.hasFirmware = true;
      EvDebug::DebugLvl(7, kTag, "Received, Firmware = [%s].", f.firmware.c_str());
      return true;
    case kElementPort:
      f.port = tksanvol::readU32(value, length);
      f.hasPort = true;
      EvDebug::DebugLvl(7, kTag, "Received, Port = %u.", f.port);
      return true;
    default:
      return false;
  }
}

tksanvol::RecordOutcome NdmpServerRequest::onRecord(tksanvol::StreamContext& context) {
  switch (context.operation) {
    case kOperationAdd: return add(context);
    case kOperationDelete: return remove(context);
    case kOperationUpdate: return update(context);
    case kOperationDetect: return detect(context);
    default: {
      MessageInfo& request = context.request();
      EvDebug::Debug(kTag, "Received invalid operation type [%llu].", context.operation);
      sendResponse(request.sequenceNumber, &request.socket, kStatusFailure, "Received invalid operation type",
                   nullptr);
      return Outcome::Failed;
    }
  }
}

// ---------------------------------------------------------------- answers

tksanvol::RecordOutcome NdmpServerRequest::fail(tksanvol::StreamContext& context, unsigned long messageId,
                                                std::initializer_list<std::string> arguments, unsigned long status) {
  EvEvent event(kTag);
  for (const std::string& argument : arguments) event << argument.c_str();
  return failWith(context, event, messageId, status);
}

tksanvol::RecordOutcome NdmpServerRequest::failWith(tksanvol::StreamContext& context, EvEvent& event,
                                                    unsigned long messageId, unsigned long status) {
  MessageInfo& request = context.request();
  char text[kTextSize] = {};
  event.setLocaleId(request.sequenceNumber);
  event.evPrintf(messageId, text, sizeof text, 0);
  EvDebug::Error(kTag, "%s", text);
  EvNASConfigMgr::sendOperationResponse(request.sequenceNumber, request.socket, context.operation, status, text, 0);
  return Outcome::Failed;
}

tksanvol::RecordOutcome NdmpServerRequest::failText(tksanvol::StreamContext& context, const std::string& text) {
  MessageInfo& request = context.request();
  EvDebug::Error(kTag, "%s", text.c_str());
  EvNASConfigMgr::sendOperationResponse(request.sequenceNumber, request.socket, context.operation, kStatusFailure,
                                        text.c_str(), 0);
  return Outcome::Failed;
}

tksanvol::RecordOutcome NdmpServerRequest::succeed(tksanvol::StreamContext& context) {
  MessageInfo& request = context.request();
  EvNASConfigMgr::sendOperationResponse(request.sequenceNumber, request.socket, context.operation, kStatusSuccess,
                                        "Success", 0);
  return Outcome::GoOn;
}

// ---------------------------------------------------------------- shared steps

bool NdmpServerRequest::resolveClient(bool lookupFlag, bool retry, ResolvedClient& resolved) {
  // A lookup that fails for another reason than a missing client is not
  // taken for "no such client".
  auto readFrom = [&resolved](ZQClient& client) {
    resolved = ResolvedClient();
    const int found = client.lookup(nullptr);
    const unsigned long id = found == 0 ? client.getClientId() : 0;
    if (found != 0 && found != tkclient::kErrorUnknownClient) return false;
    if (id == 0) return true;  // no such client
    resolved.id = static_cast<int32_t>(id);
    return client.getName(resolved.name, nullptr) == 0 &&
           client.getNetworkHostname(resolved.networkHost, nullptr) == 0 &&
           client.getOSType(resolved.osType, nullptr) == 0;
  };
  bool readable = false;
  if (m_fields.clientId < 1) {
    ZQClient client(m_fields.host, lookupFlag, 0);
    readable = readFrom(client);
  } else {
    ZQClient client(static_cast<unsigned long>(m_fields.clientId));
    readable = readFrom(client);
  }
  if (readable && resolved.id < 1 && retry && !m_fields.host.empty()) {
    ZQClient client(m_fields.host, false, 0);
    readable = readFrom(client);
  }
  if (!readable) EvDebug::Error(kTag, "The client [%d-%s] could not be read.", m_fields.clientId, m_fields.host.c_str());
  return readable;
}

bool NdmpServerRequest::allowed(tksanvol::StreamContext& context, int32_t clientId) {
  MessageInfo& request = context.request();
  EvAlertEx alert;
  EvSecurityMgr security(request.sequenceNumber);
  const bool onTarnfold = clientId == 0;
  if (security.userHasRight(request.userId, onTarnfold ? kEntityTarnfold : kEntityClient, false,
                            onTarnfold ? kPermissionTarnfold : kPermissionClient,
                            onTarnfold ? context.tarnfoldId : static_cast<unsigned long>(clientId), 0, 0, 0, 0, 0, 0,
                            2, true))
    return true;
  const std::string reason = security.getResponseString();
  alert.setCondition(kRightsAlertCondition);
  alert.getMsgString() = reason;
  alert.sendAlert(0, 0, 0);
  EvDebug::Error(kTag, "%s", reason.c_str());
  EvEvent event(kTag);
  event.setLocaleId(request.sequenceNumber);
  event << reason.c_str();
  char text[kTextSize] = {};
  event.evPrintf(kTextRefused, text, sizeof text, 0);
  sendResponse(request.sequenceNumber, &request.socket, kStatusFailure, text, nullptr);
  return false;
}

bool NdmpServerRequest::loginToFiler(tksanvol::StreamContext& context, LibNdmpClientAccess& filer,
                                     const std::string& clientName, const std::string& host, const std::string& login,
                                     const std::string& password, int port, uint32_t osType, int& filerOsType) {
  filer.setFilerClientname(clientName.c_str());
  filer.setFilerHostname(host.c_str());
  filer.setLogin(login.c_str());
  filer.setEncryptedPassword(password.c_str());
  filer.setPort(port);
  filer.LoginToFiler();
  unsigned long refusal = 0;
  if (!filer.connectSuccess()) {
    failLogin(context, filer, host);
    return false;
  }
  if (!filer.authenticateSuccess() && osType != kOsFileSystemAgent) {
    refusal = kTextBadCredentials;
  } else if (!filer.isLoggedIn() && osType != kOsFileSystemAgent) {
    refusal = kTextNotLoggedIn;
  } else if (!filer.getOsType(filerOsType)) {
    refusal = kTextNoOsType;
  } else if (filerOsType == 0) {
    refusal = kTextOsTypeZero;
  }
  if (refusal == 0) return true;
  fail(context, refusal, {host});
  filer.LogOffFiler();
  return false;
}

tksanvol::RecordOutcome NdmpServerRequest::failLogin(tksanvol::StreamContext& context, LibNdmpClientAccess& filer,
                                                     const std::string& host) {
  unsigned long messageId = kTextNotLoggedIn;
  if (!filer.connectSuccess()) {
    const char* detail = nullptr;
    messageId = filer.getLastError(detail) == tkndmp::kErrorNoConnection ? kTextUnreachable : kTextNoConnection;
  } else if (!filer.authenticateSuccess()) {
    messageId = kTextBadCredentials;
  }
  fail(context, messageId, {host});
  filer.LogOffFiler();
  return Outcome::Failed;
}

int NdmpServerRequest::readRow(MMNDMPHostInfoDB& table, int32_t clientId, MMNDMPHostInfo_t& row, bool anyType,
                               DBtran* tran) {
  const uint32_t osType = m_fields.osType;
  const bool byType = m_fields.hasOsType && osType != 0 &&
                      (anyType || osType == kOsFileSystemAgent || osType == kOsNdmpComponent || osType == kOsMediaAgent);
  int rc = 0;
  if (byType) {
    EvDebug::Debug(kTag, "Getting NDMP row using ClientID:[%d] and OS type:[%lu].", clientId,
                   static_cast<unsigned long>(osType));
    rc = table.getInfoByClientIdAndOSType(clientId, static_cast<int>(osType), row, tran);
  } else {
    EvDebug::Debug(kTag, "Getting NDMP row using ClientID:[%d].", clientId);
    rc = table.getInfoByClientId(clientId, row, tran);
  }
  if (rc == 0) return 0;
  if (rc == 1 || table.getErrorCode() == MMS2_ERROR_NDMP_HOST_NOT_FOUND) return 1;
  char error[kTextSize] = {};
  EvDebug::Error(kTag, "%s", table.getLastError(error, sizeof error));
  return -1;
}

bool NdmpServerRequest::beginStep(tksanvol::StreamContext& context, tktran::StoreStep& step) {
  if (step.begin()) return true;
  fail(context, kTextNoTransaction, {std::to_string(step.code()), step.error()});
  return false;
}

bool NdmpServerRequest::commitStep(tksanvol::StreamContext& context, tktran::StoreStep& step) {
  if (step.commit()) return true;
  // Nothing of the change is kept by the time the client reads why.
  step.rollBack();
  EvEvent event(kTag);
  MessageInfo& request = context.request();
  char text[kTextSize] = {};
  event.setLocaleId(request.sequenceNumber);
  event.evPrintf(kTextCommitFailed, text, sizeof text, 0);
  // The catalogue's text stays whole in front: the reason follows it.
  failText(context, std::string(text) + " " + step.error());
  return false;
}

bool NdmpServerRequest::textsFit(tksanvol::StreamContext& context) {
  const struct {
    bool given;
    const std::string& text;
    std::size_t width;
    const char* what;
  } texts[] = {{m_fields.hasLogin, m_fields.login, kLoginMax, "NDMP login"},
               {m_fields.hasFirmware, m_fields.firmware, kFirmwareMax, "firmware revision"}};
  for (const auto& t : texts) {
    if (!t.given || t.text.size() <= t.width) continue;
    EvDebug::Error(kTag, "The %s of %zu characters is longer than %zu.", t.what, t.text.size(), t.width);
    fail(context, kTextTooLong, {t.what, std::to_string(t.width)});
    return false;
  }
  return true;
}

std::string NdmpServerRequest::settingsText() const {
  const NdmpServerFields& f = m_fields;
  return std::string("Login[") + mark(f.hasLogin) + "," + f.login + "] Password[" + mark(f.hasPassword) +
         "] OSType[" + mark(f.hasOsType) + "," + std::to_string(f.osType) + "] Port[" + mark(f.hasPort) + "," +
         std::to_string(f.port) + "] Firmware[" + mark(f.hasFirmware) + "," + f.firmware + "]";
}

void NdmpServerRequest::fillNewRow(MMNDMPHostInfo_t& row, int32_t clientId, uint32_t osType, uint32_t port,
                                   unsigned int flags) const {
  row = MMNDMPHostInfo_t();
  // Texts that do not fit were refused before (textsFit).
  std::snprintf(row.login, sizeof row.login, "%s", m_fields.login.c_str());
  std::snprintf(row.password, sizeof row.password, "%s", m_fields.password.c_str());
  std::snprintf(row.firmwareRevision, sizeof row.firmwareRevision, "%s", m_fields.firmware.c_str());
  std::snprintf(row.hostTag, sizeof row.hostTag, "%s", " ");
  row.listenPort = static_cast<int>(port == 0 ? kDefaultPort : port);
  row.osType = static_cast<int>(osType);
  row.hostSettingA = 2;
  row.hostSettingB = 1;
  row.capabilityFlags = flags;
  row.clientId = clientId;
}

}  // namespace tknas

long long EvNASConfigMgr::onMsgSetMMNDMPServer(MessageInfo* request) {
  const tksanvol::StreamRules rules{tknas::kTag, tksanvol::UnknownElement::LogAndGoOn, true,
                                    tksanvol::MissingOperation::AsOperationZero};
  tknas::NdmpServerRequest handler(*this);
  return tksanvol::runElementStream(request, rules, handler);
}
