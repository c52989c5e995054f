// Adding and updating an NDMP server.
//
// An add proves the credentials on the filer, then makes the NAS client and
// the NDMP row in one store step: any failure after it began rolls it back,
// so no NAS client outlives a failed add. Writes on a row the client
// already had join that step too, and the add commits once.
//
// An update changes the stored row in place (no transaction): the login and
// password are proved on the filer before they are stored, the OS type must
// be the one the filer reports, and one audit record tells what changed.
#include <cstdio>
#include <cstring>
#include <string>

#include "frame/EvEvent.h"
#include "frame/EvGuiAudit.h"
#include "frame/EvMessageContainer.h"
#include "frame/MessageInfo.h"
#include "frame/ZQPassword.h"
#include "nas/ndmpserver/NDMPServerRequest.h"
#include "platform/client/ZQApplicationType.h"
#include "platform/client/ZQClient.h"
#include "platform/db/DBtable.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/mmdb/MMNDMPHostInfoDB.h"
#include "platform/nasclient/NasConfTK.h"
#include "platform/ndmp/LibNdmpClientAccess.h"
#include "platform/ndmp/NasUtil.h"
#include "platform/tran/StoreStep.h"

namespace tknas {
namespace {

constexpr unsigned long kTextMissingFields = 0x240001F3;
constexpr unsigned long kTextUnknownHost = 0x24000056;   // %1 the host
constexpr unsigned long kTextOtherOsType = 0x24000057;   // %1 the host, %2 the filer's OS type
constexpr unsigned long kTextTableFailed = 0x2400005D;
constexpr unsigned long kTextWrongPassword = 0x24000062;
constexpr unsigned long kTextCenteraFailed = 0x240002EA;

constexpr int kCenteraAppType = 88;
constexpr int kAuditOperation = 0x54000111;
constexpr int kAuditCredentials = 0x55000566;  // %1 the client's name
constexpr int kAuditSettings = 0x55000565;     // %1 the client's name

constexpr std::size_t kErrorSize = 1024;

bool isRowOfClient(uint32_t osType) { return osType == kOsNdmpComponent || osType == kOsMediaAgent; }

// True when the two stored passwords are different passwords.
bool passwordsDiffer(const char* stored, const std::string& other) {
  ZQPassword password;
  password.putEncPwd(stored);
  return password.compareEncPwd(other.c_str()) == 0;
}

std::string fieldText(const char* field, std::size_t size) { return std::string(field, strnlen(field, size)); }

}  // namespace

tksanvol::RecordOutcome NdmpServerRequest::add(tksanvol::StreamContext& context) {
  NdmpServerFields& f = m_fields;
  LibNdmpClientAccess filer(0);
  const uint32_t port = f.port == 0 ? kDefaultPort : f.port;
  EvDebug::Debug(kTag, "ADDING NDMP Entry: Host[%s,%s] %s", mark(f.hasHost), f.host.c_str(), settingsText().c_str());

  // A password the row cannot hold is refused, never stored cut or empty.
  if (!f.passwordRefusal.empty()) return failText(context, f.passwordRefusal);
  const bool complete = f.osType == kOsCentera
                            ? !f.hostString.empty()
                            : f.hasHost && f.hasPort && f.hasLogin && f.hasPassword && f.hasOsType && f.hasFirmware;
  if (!complete) return fail(context, kTextMissingFields);
  if (!allowed(context, 0)) return Outcome::Failed;
  if (!textsFit(context)) return Outcome::Failed;
  EvDebug::Debug(kTag, "Adding host:[%s] OStype:[%lu] Login:[%s].", f.host.c_str(),
                 static_cast<unsigned long>(f.osType), f.login.c_str());

  // A media agent's or NDMP component's row belongs to a known client,
  // named by its network host name.
  if (isRowOfClient(f.osType)) {
    ZQClient first(f.host, true, 0);
    std::string firstHost;
    const bool matches = first.getClientId() != 0 && first.getNetworkHostname(firstHost, nullptr) == 0 &&
                         firstHost == f.host;
    if (!matches) {
      ZQClient second(f.host, false, 0);
      std::string secondHost;
      if (second.getClientId() == 0 || second.getNetworkHostname(secondHost, nullptr) != 0 || secondHost.empty())
        return fail(context, kTextUnknownHost, {f.host});
      f.host = secondHost;
    }
  }

  uint32_t nasOsType = f.osType;
  const bool usesFiler = f.osType != kOsNoFilerLogin && f.osType != kOsCentera;
  if (usesFiler) {
    int filerOsType = 0;
    if (!loginToFiler(context, filer, f.host, f.host, f.login, f.password, static_cast<int>(port), f.osType,
                      filerOsType))
      return Outcome::Failed;
    nasOsType = static_cast<uint32_t>(filerOsType);
  }

  MMNDMPHostInfoDB table(nullptr);
  // Every failure from here on leaves nothing behind: the step rolls back
  // as it leaves its scope uncommitted.
  tktran::StoreStep step(kTag);
  if (!beginStep(context, step)) return Outcome::Failed;
  DBtran* tran = step.tran();

  std::string host = f.host;
  std::string root = "/";
  ncwAddNasClientV3 nasClient{};
  nasClient.hostName = host.data();
  nasClient.clientName = host.data();
  nasClient.path = root.data();
  nasClient.osType = nasOsType;
  int clientId = -1;
  EvMessageContainer refusal;
  AddNasClientTK(nullptr, &nasClient, 0, clientId, refusal, tran);
  nasClient = ncwAddNasClientV3{};
  if (refusal.GetMessageID() != 0) {
    step.rollBack();
    EvEvent event(kTag);
    event << refusal.GetArguments();
    return failWith(context, event, static_cast<unsigned long>(refusal.GetMessageID()));
  }

  if (f.osType != kOsCentera) {
    unsigned int flags = 0;
    if (usesFiler) filer.detectCapabilityFlags(flags, static_cast<int>(nasOsType), f.firmware.c_str());
    MMNDMPHostInfo_t row;
    fillNewRow(row, clientId, nasOsType, port, flags);
    MMNDMPHostInfo_t existing;
    const int found = readRow(table, clientId, existing, false, tran);
    bool stored = found == 1;
    if (found == 1) {
      int newId = 0;
      stored = table.addNDMPHostInfo(row, newId, tran) == 0;
    } else if (found == 0) {
      const int id = existing.ndmpHostId;
      stored = table.setLoginAndPassword(id, row.login, row.password, tran) == 0 &&
               table.setOSType(id, row.osType, tran) == 0 &&
               table.setFirmwareRevision(id, row.firmwareRevision, tran) == 0 &&
               table.setCapabilityFlags(id, row.capabilityFlags, tran) == 0 &&
               table.setListenPort(id, row.listenPort, tran) == 0;
    }
    if (!stored) {
      char error[kErrorSize] = {};
      EvDebug::Error(kTag, "%s", table.getLastError(error, sizeof error));
      step.rollBack();
      return fail(context, kTextTableFailed);
    }
  }
  if (usesFiler) filer.LogOffFiler();

  // A file system agent takes its credentials from the stored row: the
  // second login proves them.
  if (f.osType == kOsFileSystemAgent) {
    if (!filer.LoginToFiler()) {
      step.rollBack();
      return failLogin(context, filer, f.host);
    }
    filer.LogOffFiler();
  }

  if (f.osType == kOsCentera && !f.centeraResource.empty()) {
    ApplicationTypeCenteraFS centera(static_cast<unsigned long>(clientId), kCenteraAppType);
    const int rc = centera.setCenteraResourceFileName(f.centeraResource, tran);
    if (rc != 0) {
      EvDebug::Error(kTag, "Unable to set Centera resource file name to [%s]. Error [%d]=[%s].",
                     f.centeraResource.c_str(), rc, ZQApplicationType::getErrorString(rc).c_str());
      step.rollBack();
      return fail(context, kTextCenteraFailed);
    }
  }

  if (!commitStep(context, step)) return Outcome::Failed;
  return succeed(context);
}

tksanvol::RecordOutcome NdmpServerRequest::update(tksanvol::StreamContext& context) {
  NdmpServerFields& f = m_fields;
  EvDebug::Debug(kTag, "UPDATING NDMP Entry: Client[%d] Host[%s,%s] %s", f.clientId, mark(f.hasHost), f.host.c_str(),
                 settingsText().c_str());
  if (f.clientId == -1 && !f.hasHost) return fail(context, kTextMissingFields);
  if (!f.passwordRefusal.empty()) return failText(context, f.passwordRefusal);

  ResolvedClient client;
  if (!resolveClient(true, true, client)) return fail(context, kTextTableFailed);
  f.clientId = client.id;
  if (!allowed(context, client.id)) return Outcome::Failed;
  if (client.id < 1) return fail(context, kTextUnknownHost, {f.host});
  if (!textsFit(context)) return Outcome::Failed;

  MMNDMPHostInfoDB table(nullptr);
  MMNDMPHostInfo_t row;
  const bool centera = client.isCentera();
  if (!centera) {
    const int found = readRow(table, client.id, row, false);
    if (found < 0) return fail(context, kTextTableFailed);
    if (found == 1) {
      EvDebug::Debug(kTag, "%s", "Added new NDMP row to the DB. Likely updating the NDMP settings for an MA.");
      fillNewRow(row, client.id, f.osType, f.port, 0);
      int newId = 0;
      if (table.addNDMPHostInfo(row, newId) != 0) {
        char error[kErrorSize] = {};
        EvDebug::Error(kTag, "%s", table.getLastError(error, sizeof error));
        return fail(context, kTextTableFailed);
      }
      // The new row holds what was received: nothing is left to change.
      f.hasPassword = f.hasFirmware = f.hasPort = false;
    }
  }
  const uint32_t osType = f.hasOsType ? f.osType : static_cast<uint32_t>(row.osType);

  if (osType == kOsFileSystemAgent && f.hasPassword && passwordsDiffer(row.password, f.currentPassword)) {
    EvDebug::Error(kTag, "The current password given for client [%s] is wrong.", client.name.c_str());
    return fail(context, kTextWrongPassword, {}, kStatusWarning);
  }

  bool credentialsChanged = false;
  bool settingsChanged = false;
  LibNdmpClientAccess filer(0);
  if (!centera) {
    const bool passwordChanged = f.hasPassword && passwordsDiffer(row.password, f.password);
    const bool loginChanged = f.hasLogin && f.login != fieldText(row.login, sizeof row.login);
    const bool osTypeChanged = f.hasOsType && static_cast<int>(f.osType) != row.osType;
    const bool portReceived = f.hasPort && f.port != 0;
    const bool portChanged = portReceived && static_cast<int>(f.port) != row.listenPort;
    credentialsChanged = passwordChanged || loginChanged;
    settingsChanged = osTypeChanged || portChanged;
    const int port = portReceived ? static_cast<int>(f.port) : row.listenPort;

    if (credentialsChanged || osTypeChanged || portChanged) {
      if (f.hasPassword) std::snprintf(row.password, sizeof row.password, "%s", f.password.c_str());
      if (f.hasLogin) std::snprintf(row.login, sizeof row.login, "%s", f.login.c_str());
      int filerOsType = 0;
      if (!loginToFiler(context, filer, client.name, client.networkHost, row.login, row.password, port, osType,
                        filerOsType))
        return Outcome::Failed;
      const bool firstLoggedIn = filer.isLoggedIn();
      filer.LogOffFiler();
      if (static_cast<uint32_t>(filerOsType) != osType)
        return fail(context, kTextOtherOsType, {client.networkHost, NasUtil::getOsTypeString(filerOsType)});
      if (credentialsChanged && table.setLoginAndPassword(row.ndmpHostId, row.login, row.password) != 0)
        return fail(context, kTextTableFailed);
      if (osTypeChanged) {
        if (table.setOSType(row.ndmpHostId, static_cast<int>(osType)) != 0) return fail(context, kTextTableFailed);
        row.osType = static_cast<int>(osType);
      }
      if (osType == kOsFileSystemAgent && (!firstLoggedIn || credentialsChanged)) {
        if (!filer.LoginToFiler()) return failLogin(context, filer, client.networkHost);
        filer.LogOffFiler();
      }
    }

    if (f.hasFirmware) {
      if (f.firmware != fieldText(row.firmwareRevision, sizeof row.firmwareRevision)) {
        if (table.setFirmwareRevision(row.ndmpHostId, f.firmware.c_str()) != 0) return fail(context, kTextTableFailed);
        settingsChanged = true;
      }
      filer.setFilerClientname(client.name.c_str());
      filer.setFilerHostname(client.networkHost.c_str());
      filer.setLogin(row.login);
      filer.setEncryptedPassword(row.password);
      unsigned int flags = row.capabilityFlags;
      filer.detectCapabilityFlags(flags, row.osType, f.firmware.c_str());
      if (flags != row.capabilityFlags) {
        if (table.setCapabilityFlags(row.ndmpHostId, flags) != 0) return fail(context, kTextTableFailed);
        settingsChanged = true;
      }
    }
    if (portChanged && table.setListenPort(row.ndmpHostId, port) != 0) return fail(context, kTextTableFailed);
  } else if (!f.centeraResource.empty()) {
    ApplicationTypeCenteraFS centera(static_cast<unsigned long>(client.id), kCenteraAppType);
    std::string current;
    centera.getCenteraResourceFileName(current);
    if (current != f.centeraResource) {
      const int rc = centera.setCenteraResourceFileName(f.centeraResource, nullptr);
      if (rc != 0) {
        EvDebug::Error(kTag, "Unable to update Centera resource file name from [%s] to [%s]. Error [%d]=[%s].",
                       current.c_str(), f.centeraResource.c_str(), rc, ZQApplicationType::getErrorString(rc).c_str());
        return fail(context, kTextCenteraFailed);
      }
    }
  }

  if (credentialsChanged || settingsChanged) {
    EvGuiAudit audit(nullptr);
    audit.setGUIAuditOperation(kAuditOperation, static_cast<int>(context.request().userId));
    audit.SetEntityParam(ZqEntities::ENTITY_CLIENT, client.id);
    for (const auto& [changed, messageId] : {std::pair{credentialsChanged, kAuditCredentials},
                                             std::pair{settingsChanged, kAuditSettings}}) {
      if (!changed) continue;
      EvMessageContainer parameter;
      parameter.SetMessageID(messageId, true);
      parameter << client.name.c_str();
      audit.addGUIAuditParam(parameter, 0, 0, nullptr, nullptr);
    }
    if (audit.guiAudit(0) != 0) EvDebug::Error(kTag, "The audit record of client [%s] was not written.", client.name.c_str());
  }
  return succeed(context);
}

}  // namespace tknas
