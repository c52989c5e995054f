// Deleting an NDMP server, and detecting what a filer reports about itself.
//
// A delete removes the client's NDMP row and marks its NAS client removed in
// one store step, with the audit record: any failure rolls all of it back,
// and the delete commits once.
// The row of a file system agent is never deleted, nor that of a media agent
// that a subclient still uses.
//
// A detect logs in with the credentials given (or the stored ones) and
// answers reply 11154; it stores nothing lasting. To prove the credentials
// of a file system agent that has no row yet, a temporary row ("Temp") is
// stored for the second login and deleted right after it.
#include <cstdio>
#include <cstring>
#include <string>

#include "Db/Proc/MMS2IsCenteraNDMPHostIdInUse.h"
#include "frame/ElementTags.h"
#include "frame/EvEvent.h"
#include "frame/EvGuiAudit.h"
#include "frame/EvMessageContainer.h"
#include "frame/MessageInfo.h"
#include "frame/SANVolReplyItems.h"
#include "nas/EvNASConfigMgr.h"
#include "nas/ndmpserver/NDMPServerRequest.h"
#include "platform/db/DBtable.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/mmdb/MMNDMPHostInfoDB.h"
#include "platform/nasclient/NasConfTK.h"
#include "platform/ndmp/LibNdmpClientAccess.h"
#include "platform/ndmp/NasUtil.h"
#include "platform/ndmp/NdmpFilers.h"
#include "platform/tran/StoreStep.h"

namespace tknas {
namespace {

constexpr unsigned long kTextMissingFields = 0x240001F3;
constexpr unsigned long kTextOtherOsType = 0x24000057;   // %1 the host, %2 the filer's OS type
constexpr unsigned long kTextNoConnection = 0x24000058;  // %1 the host
constexpr unsigned long kTextUnreachable = 0x240002FB;   // %1 the host
constexpr unsigned long kTextBadCredentials = 0x24000059;
constexpr unsigned long kTextNoOsType = 0x2400005A;
constexpr unsigned long kTextTableFailed = 0x2400005D;
constexpr unsigned long kTextNoVersion = 0x24000061;      // %1 the host
constexpr unsigned long kTextReferred = 0x24000063;       // %1 the host
constexpr unsigned long kTextAgentRow = 0x24000064;
constexpr unsigned long kTextInUse = 0x240002F6;
constexpr unsigned long kTextNasClientKept = 0x240001F6;  // %1 the client's name

constexpr int kAuditOperation = 0x54000111;
constexpr int kAuditDeleted = 0x55000567;  // %1 the client's name

// The detect reply.
constexpr unsigned long kReplyDetect = tktag::kReplyNdmpDetect;
constexpr unsigned long kItemOsType = tktag::kNdmpOsType;
constexpr unsigned long kItemVersion = tktag::kFirmwareRevision;
constexpr unsigned long kItemPort = tktag::kNdmpPort;
constexpr unsigned long kItemFlags = tktag::kNdmpCapabilityFlags;

// A host text that names a NAS client without a filer.
constexpr const char kNoFilerPrefix[] = "#ZQNAS";
constexpr unsigned int kTempRowFlags = 5;

constexpr std::size_t kErrorSize = 1024;
constexpr std::size_t kTableErrorSize = 513;

}  // namespace

tksanvol::RecordOutcome NdmpServerRequest::remove(tksanvol::StreamContext& context) {
  NdmpServerFields& f = m_fields;
  EvDebug::Debug(kTag, "DELETING NDMP Entry: Client[%d,%s] %s", f.clientId < 0 ? 0 : f.clientId, f.host.c_str(),
                 settingsText().c_str());
  ResolvedClient client;
  if (!resolveClient(false, false, client)) return fail(context, kTextTableFailed);
  f.clientId = client.id;
  if (!allowed(context, client.id)) return Outcome::Failed;

  MMNDMPHostInfoDB table(nullptr);
  MMNDMPHostInfo_t row;
  uint32_t osType = f.hasOsType ? f.osType : 0;
  if (client.isCentera()) {
    if (osType == 0) osType = kOsCentera;
  } else {
    const int found = readRow(table, client.id, row, true);
    if (found == 0 && osType == 0) osType = static_cast<uint32_t>(row.osType);
    if (found < 0 || osType == 0) {
      fail(context, kTextTableFailed);
      EvDebug::Error(kTag, "DB error deleting row. OSType[%lu] ClientID[%u] ClientName[%s].",
                     static_cast<unsigned long>(osType), static_cast<unsigned>(client.id), client.name.c_str());
      return Outcome::Failed;
    }
  }
  EvDebug::Debug(kTag, "DELETING NDMP Entry: Client ID:[%u] HostType:[%lu] NDMPHostId:[%u].",
                 static_cast<unsigned>(client.id), static_cast<unsigned long>(osType),
                 static_cast<unsigned>(row.ndmpHostId));

  if (osType == kOsFileSystemAgent) return fail(context, kTextAgentRow);
  if (osType == kOsMediaAgent) {
    const CenteraNDMPHostUse use = checkCenteraNDMPHostInUse(client.id);
    if (use.inUse) {
      EvDebug::Error(kTag, "CBRM in use by AppId:[%d] Client:[%s] SubClient:[%s]", use.appId, use.clientName.c_str(),
                     use.subclientName.c_str());
      return fail(context, kTextInUse);
    }
  }

  tktran::StoreStep step(kTag);
  if (!beginStep(context, step)) return Outcome::Failed;
  DBtran* tran = step.tran();
  bool changed = false;

  if (row.ndmpHostId > 0) {
    if (table.deleteNDMPHostInfo(row.ndmpHostId, tran) != 0) {
      char error[kTableErrorSize] = {};
      EvDebug::Error(kTag, "%s", table.getLastError(error, sizeof error));
      step.rollBack();
      if (std::strstr(error, "Constraint violation") != nullptr)
        return fail(context, kTextReferred, {f.host.empty() ? client.name : f.host});
      return fail(context, kTextTableFailed);
    }
    EvGuiAudit audit(tran);
    audit.setGUIAuditOperation(kAuditOperation, static_cast<int>(context.request().userId));
    audit.SetEntityParam(ZqEntities::ENTITY_CLIENT, client.id);
    EvMessageContainer parameter;
    parameter.SetMessageID(kAuditDeleted, true);
    parameter << client.name.c_str();
    audit.addGUIAuditParam(parameter, 0, 0, nullptr, nullptr);
    // The deletion goes only with its audit record.
    if (audit.guiAudit(0) != 0) {
      EvDebug::Error(kTag, "The audit record of client [%s] was not written.", client.name.c_str());
      step.rollBack();
      return fail(context, kTextTableFailed);
    }
    changed = true;
  }

  // The NAS client goes with its NDMP server; a client without one has
  // nothing to remove.
  const int removed = NasConfTKRemove(client.name.c_str(), 0, tran);
  if (removed == NASCONFTK_ERR_OK) {
    changed = true;
  } else if (removed != NASCONFTK_ERR_NO_CLIENT) {
    step.rollBack();
    return fail(context, kTextNasClientKept, {client.name});
  }

  // Nothing changed, nothing to commit.
  if (!changed)
    step.rollBack();
  else if (!commitStep(context, step))
    return Outcome::Failed;
  return succeed(context);
}

tksanvol::RecordOutcome NdmpServerRequest::detect(tksanvol::StreamContext& context) {
  NdmpServerFields& f = m_fields;
  EvDebug::Debug(kTag, "DETECTING NDMP: Host[%s,%s] %s", mark(f.hasHost), f.host.c_str(), settingsText().c_str());
  if (!f.hasHost || !f.hasLogin) return fail(context, kTextMissingFields);
  if (!allowed(context, 0)) return Outcome::Failed;

  MessageInfo& request = context.request();
  auto reply = [&](uint32_t osType, const std::string& version, uint32_t port, unsigned int flags) {
    if (!tksanvol::beginReply(m_replies, request, kReplyDetect, kTag)) return Outcome::Failed;
    tksanvol::addU32(m_replies, kItemOsType, osType);
    tksanvol::addText(m_replies, kItemVersion, version);
    tksanvol::addU32(m_replies, kItemPort, port);
    if (flags != 0) tksanvol::addU32(m_replies, kItemFlags, flags);
    tksanvol::endRecord(m_replies);
    m_replies.end(0);
    return Outcome::GoOn;
  };
  if (f.host.compare(0, sizeof kNoFilerPrefix - 1, kNoFilerPrefix) == 0)
    return reply(kOsNoFilerLogin, "1.0", kDefaultPort, 0);

  ResolvedClient client;
  if (!resolveClient(true, false, client)) return fail(context, kTextTableFailed);
  MMNDMPHostInfoDB table(nullptr);
  MMNDMPHostInfo_t row;
  const bool haveRow = client.id > 0 && readRow(table, client.id, row, true) == 0;
  const std::string password = f.hasPassword || !haveRow ? f.password : std::string(row.password);
  const uint32_t port = f.port != 0 || !haveRow ? f.port : static_cast<uint32_t>(row.listenPort);

  LibNdmpClientAccess filer(0);
  filer.setFilerClientname(client.name.c_str());
  filer.setFilerHostname(f.host.c_str());
  filer.setLogin(f.login.c_str());
  filer.setEncryptedPassword(password.c_str());
  if (port != 0) filer.setPort(static_cast<int>(port));
  filer.LoginToFiler();
  if (!filer.connectSuccess()) {
    const char* detail = nullptr;
    const bool unreachable = filer.getLastError(detail) == tkndmp::kErrorNoConnection;
    filer.LogOffFiler();
    return fail(context, unreachable ? kTextUnreachable : kTextNoConnection, {f.host});
  }
  int filerOsType = 0;
  if (!filer.getOsType(filerOsType)) {
    const bool authenticated = filer.authenticateSuccess();
    filer.LogOffFiler();
    return authenticated ? fail(context, kTextNoOsType, {f.host})
                         : fail(context, kTextBadCredentials, {f.host}, kStatusWarning);
  }
  if (f.hasOsType && f.osType != 0 && f.osType != kOsAnyNdmp && static_cast<int>(f.osType) != filerOsType) {
    EvDebug::Error(kTag, "Not allowing switching from OS type:[%lu] to OS type:[%d].",
                   static_cast<unsigned long>(f.osType), filerOsType);
    filer.LogOffFiler();
    return fail(context, kTextOtherOsType, {f.host, NasUtil::getOsTypeString(filerOsType)});
  }

  // A file system agent takes its credentials from its stored row: log in
  // again with the stored ones, or with the given ones stored for the while.
  if (!filer.authenticateSuccess() && filerOsType == static_cast<int>(kOsFileSystemAgent)) {
    MMNDMPHostInfo_t agentRow;
    int tempId = 0;
    if (table.getInfoByClientIdAndOSType(client.id, static_cast<int>(kOsFileSystemAgent), agentRow) == 0) {
      filer.setLogin(agentRow.login);
      filer.setEncryptedPassword(agentRow.password);
      if (port != 0 && static_cast<int>(port) != agentRow.listenPort) filer.setPort(static_cast<int>(port));
    } else {
      MMNDMPHostInfo_t temp;
      if (f.login.size() <= kLoginMax) std::snprintf(temp.login, sizeof temp.login, "%s", f.login.c_str());
      if (f.password.size() <= kPasswordMax)
        std::snprintf(temp.password, sizeof temp.password, "%s", f.password.c_str());
      std::snprintf(temp.firmwareRevision, sizeof temp.firmwareRevision, "%s", "Temp");
      temp.clientId = client.id;
      temp.listenPort = static_cast<int>(port != 0 ? port : kDefaultPort);
      temp.osType = filerOsType;
      temp.hostSettingA = 2;
      temp.hostSettingB = 1;
      temp.capabilityFlags = kTempRowFlags;
      if (table.addNDMPHostInfo(temp, tempId) != 0) {
        char error[kErrorSize] = {};
        EvDebug::Error(kTag, "%s", table.getLastError(error, sizeof error));
        filer.LogOffFiler();
        return fail(context, kTextTableFailed);
      }
    }
    filer.LoginToFiler();
    // The temporary row must not outlive the login: one more try when the
    // first deletion fails.
    if (tempId > 0 && table.deleteNDMPHostInfo(tempId) != 0 && table.deleteNDMPHostInfo(tempId) != 0) {
      char error[kErrorSize] = {};
      EvDebug::Error(kTag, "The temporary NDMP row [%d] could not be deleted: %s", tempId,
                     table.getLastError(error, sizeof error));
    }
  }

  if (!filer.isLoggedIn()) {
    filer.LogOffFiler();
    return fail(context, kTextNoConnection, {f.host});
  }
  std::string version;
  const bool hasVersion = filer.getOsVersion(version);
  unsigned int flags = 0;
  filer.detectCapabilityFlags(flags, filerOsType, version.c_str());
  filer.LogOffFiler();
  if (!hasVersion) return fail(context, kTextNoVersion, {f.host});
  return reply(static_cast<uint32_t>(filerOsType), version, port, flags);
}

}  // namespace tknas
