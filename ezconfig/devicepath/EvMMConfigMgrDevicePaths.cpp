// The device-path request (EVGui::MMDevicePathInfoReq): adds, changes and
// removes the device paths (device controllers) of one mount path in one
// call, and answers EVGui::MMDevicePathInfoResp on every path.
//
// Order of effects. Every entry is checked first (sizes, data-server
// validation, stored state, installation directory, rights) and turned into
// one MMConfigDeviceControllerInfo record; nothing reaches the
// media-management service before the last entry has passed. Then one list
// update; only after its success the hybrid-cloud auto share, the writers
// procedure, the storage-pool sharing of added media agents and the audit
// records; the reply last. An abort drops the records gathered so far.
//
// No text is ever stored cut: a folder or user name over 1,023 bytes or an
// encrypted password over 2,047 aborts the request with a text naming the
// field and the media agent. An entry refused by the rights check leaves
// nothing behind (no record, no ControllerInfo line, no previous values,
// no audit record); the others are still applied. Passwords reach the
// records only encrypted. The request takes no lock of its own.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "Db/Proc/MMDataServerIPControllerValidation.h"
#include "Db/Proc/MMGetBestFitTransportTypeForGivenMountPath.h"
#include "Db/Proc/MMGetDeviceControllerForSharingCloud.h"
#include "Db/Proc/MMUpdateWritersForSANDataServerConfiguredMountPath.h"
#include "Db/Tbl/MMDrivePool.h"
#include "Db/Tbl/MMLibrary.h"
#include "ezconfig/InstallDirectoryGuard.h"
#include "ezconfig/ObjectOwnership.h"
#include "frame/AppAdapters.h"
#include "frame/EvAlertEx.h"
#include "frame/EvEvent.h"
#include "frame/EvExternal.h"
#include "frame/EvMMConfigMgr.h"
#include "frame/EvSecurity.h"
#include "frame/MessageInfo.h"
#include "frame/TextHelpers.h"
#include "platform/db/TextWidth.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/mmdb/MMDeviceControllerDB.h"
#include "platform/mmdb/MMLibraryDB.h"
#include "platform/mmdb/MMMountPathDB.h"
#include "platform/mmdb/ZQMMClientInfo.h"
#include "platform/security/StoredPassword.h"
#include "platform/xml/DevicePathMessages.h"
#include "platform/xml/ProxyUserNames.h"

namespace {

constexpr const char* kTag = "EvMMConfigMgr::onMsgDevicePathInfoReq";

// Catalogue texts.
constexpr unsigned long kTextXmlInitialize = 0x23000451;
constexpr unsigned long kTextXmlUnreadable = 0x23000452;
constexpr unsigned long kTextDatabaseFailed = 0x230001E3;
constexpr unsigned long kTextRightsRefused = 0x240001EF;  // %1 the reason
constexpr unsigned long kTextUpdateFailed = 0x240001BE;
constexpr unsigned long kTextNothingToApply = 0x24000346;

constexpr long kRightsAlertId = 1020;
constexpr long kRightsAlertCondition = 12;
constexpr unsigned long kTarnfoldId = 2;

constexpr long long kOperationAdd = 1;
constexpr long long kOperationChange = 2;
constexpr long long kOperationRemove = 3;
constexpr int kCloudMountPathType = 7;

// Longest encrypted password a record holds (its field less the terminator);
// store() takes the other fields' widths from the fields themselves.
constexpr std::size_t kMaxPassword = sizeof(MMDeviceControllerParams::password) - 1;

constexpr std::size_t kTextSize = 1024;
constexpr std::size_t kErrorTextSize = 1025;

using Req = EVGui::MMDevicePathInfoReq;
using Info = EVGui::MMDevicePathInfo;
using Resp = EVGui::MMDevicePathInfoResp;
using EVGui::ErrorInfo;
using EVGui::IdName;
using ZqEntities::CredentialEntity;

std::string catalogueText(unsigned long id, unsigned long locale) {
  char buffer[kTextSize];
  EvGetLocText(id, buffer, sizeof buffer, locale);
  return buffer;
}

// The state of one request.
struct Work {
  explicit Work(MessageInfo& r)
      : record(r),
        locale(EvReturnData::returnLocaleId(r.sequenceNumber)),
        startTime(static_cast<long>(std::time(nullptr))) {}

  MessageInfo& record;
  unsigned long locale;
  long startTime;
  Req request;
  Req previous;  // the previous values of operation-2 entries
  std::vector<MMConfigDeviceControllerInfo> records;
  std::vector<EvMMConfigMgr::DevicePathAuditEntry> entries;
  std::string controllerInfo;
  std::string refusal;
  bool perAgentRights = false;
  int mountPathId = 0;
  int deviceId = 0;
  int mountPathType = 0;  // as read for the last addition or change
  MMLibrary_t library;
  long long code = 0;
  std::string text;

  void fail(long long c, std::string t) {
    code = c;
    text = std::move(t);
  }
  void fail(unsigned long id) { fail(-1, catalogueText(id, locale)); }
};

std::string responseString(const EvSecurityMgr& security) {
  const char* text = security.getResponseString();
  return text != nullptr ? text : "";
}

void sendRightsAlert(const Work& w, const std::string& reason) {
  EvAlertEx alert;
  alert.setAlert(kRightsAlertId, nullptr);
  alert.setWhomId(static_cast<long>(w.record.userId), nullptr);
  alert.setCondition(kRightsAlertCondition);
  alert.getMsgString() = reason;
  alert.sendAlert(0, 0, 0);
}

// ---------------------------------------------------------------- one entry

// What the request says of one device path.
struct Entry {
  const CNMessageBase* message = nullptr;
  long long deviceId = 0;
  long long operation = 0;
  bool autoPick = false;
  std::string password;       // plain
  std::string proxyPassword;  // plain
  bool passwordsRead = true;  // false when a protected field does not decrypt
  // Texts as given, checked against their fields before they are stored.
  std::string folder;
  std::string userName;
};

long long intOf(const CNMessageBase& m, unsigned classHash, const tkxml::FieldDef& f) {
  return m.getint64(f.tag, classHash, f.hash);
}
std::string textOf(const CNMessageBase& m, unsigned classHash, const tkxml::FieldDef& f) {
  std::string text = m.getstring(f.ordinal, f.tag, classHash, f.hash);
  return MyUTF8Text(text);
}

Entry readEntry(const CNMessageBase& source, MMConfigDeviceControllerInfo& r) {
  CNMessageBase info(source);  // the object accessors need a message of their own
  Entry e;
  e.message = &source;
  const CNMessageBase& agent = info.getObjectAccessor(false, false, Info::kMediaAgent.ordinal, Info::kMediaAgent.tag,
                                                      Info::kClassHash, Info::kMediaAgent.hash, Info::kMediaAgent.ns,
                                                      Info::kMediaAgent.cls);
  const CNMessageBase& credential =
      info.getObjectAccessor(false, false, Info::kCredential.ordinal, Info::kCredential.tag, Info::kClassHash,
                             Info::kCredential.hash, Info::kCredential.ns, Info::kCredential.cls);
  r.clientId = static_cast<uint32_t>(intOf(agent, IdName::kClassHash, IdName::kId));
  r.deviceControllerId = static_cast<uint32_t>(intOf(info, Info::kClassHash, Info::kDeviceControllerId));
  r.deviceAccessType = static_cast<uint32_t>(intOf(info, Info::kClassHash, Info::kAccessType));
  e.operation = intOf(info, Info::kClassHash, Info::kOperation);
  r.operation = static_cast<uint32_t>(e.operation);
  r.maxDrivesToSwitch = static_cast<uint32_t>(intOf(info, Info::kClassHash, Info::kMaxDrivesToSwitch));
  r.enabled = intOf(info, Info::kClassHash, Info::kEnabled);
  r.credentialId = static_cast<uint32_t>(intOf(credential, CredentialEntity::kClassHash, CredentialEntity::kId));
  e.deviceId = intOf(info, Info::kClassHash, Info::kDeviceId);
  e.folder = textOf(info, Info::kClassHash, Info::kFolder);
  e.userName = textOf(info, Info::kClassHash, Info::kUserName);
  e.autoPick = info.isSet(Info::kAutoPickTransport.ordinal, Info::kClassHash, Info::kAutoPickTransport.hash) &&
               intOf(info, Info::kClassHash, Info::kAutoPickTransport) != 0;
  const pstring& password =
      info.getpstringobjectByRef(Info::kPassword.ordinal, Info::kPassword.tag, Info::kClassHash, Info::kPassword.hash);
  const pstring& proxy = info.getpstringobjectByRef(Info::kProxyPassword.ordinal, Info::kProxyPassword.tag,
                                                    Info::kClassHash, Info::kProxyPassword.hash);
  e.passwordsRead = password.getPlainPassword(e.password) && proxy.getPlainPassword(e.proxyPassword);
  return e;
}

std::string agentText(const MMConfigDeviceControllerInfo& r) {
  return "media agent [" + std::to_string(r.clientId) + "]";
}

// A text into its record field, or an abort naming the field when it does
// not fit whole.
template <std::size_t N>
bool store(Work& w, char (&field)[N], const std::string& text, const char* name,
           const MMConfigDeviceControllerInfo& r) {
  std::string refusal;
  if (!tkdb::fitsColumn(std::string(name) + " of the device path of " + agentText(r), text, N - 1, refusal)) {
    EvDebug::Error(kTag, "%s", refusal.c_str());
    w.fail(-1, refusal);
    return false;
  }
  MMCopyText(field, text.c_str());
  return true;
}

// Step 7: the transport picked for the mount path. False on abort.
bool autoPickTransport(Work& w, Entry& e, MMConfigDeviceControllerInfo& r) {
  EvDebug::Debug(kTag, "Auto pick transport type is enabled. Identifying the apt transport type from the given MountPath [%d]",
                 w.mountPathId);
  // The pick works on the record; the entry's own texts go in first so that
  // what the pick leaves alone stays.
  if (!store(w, r.folder, e.folder, "folder", r) || !store(w, r.userName, e.userName, "user name", r)) return false;
  BestFitTransport pick = pickBestFitTransport(w.mountPathId, r);
  switch (pick.outcome) {
    case BestFit::NothingToPick:
      return true;
    case BestFit::Failed:
      EvDebug::Error(kTag,
                     "Failed to execute the stored proc to get identify the best fit transport type for given mount "
                     "path id [%d] failed with error code [%d]",
                     w.mountPathId, pick.result);
      w.fail(kTextDatabaseFailed);
      return false;
    case BestFit::Picked:
      break;
  }
  if (pick.transportBits > 0) EvDebug::Debug(kTag, "Auto picked transport type is [%d]", pick.transportBits);
  if (pick.tookFolder) {
    EvDebug::Debug(kTag,
                   "Folder/User credentials retrieved as part of auto pick are [%s] and [%s]. This will be used for "
                   "adding controller [%d].",
                   r.folder, r.userName, static_cast<int>(r.clientId));
    e.folder = r.folder;
    e.userName = r.userName;
  }
  if (pick.tookUserAndPassword) {
    std::string plain;
    if (!tkpassword::plainForm(std::string(pick.encryptedPassword, strnlen(pick.encryptedPassword,
                                                                           sizeof pick.encryptedPassword)),
                               plain)) {
      // Without its password the path could not be used: never add it so.
      EvDebug::Error(kTag, "The password of the transport picked for media agent [%u] could not be decrypted.",
                     r.clientId);
      w.fail(-1, "The password of the device path picked for " + agentText(r) + " could not be read.");
      return false;
    }
    e.password = plain;
    tkpassword::wipe(plain);
  }
  return true;
}

// Step 8: the data-server validation of additions and removals. False on abort.
bool validateDataServer(Work& w, const Entry& e, const MMConfigDeviceControllerInfo& r) {
  long long reason = 0;
  int result = 0;
  switch (validateDataServerIPController(static_cast<int>(e.operation), w.mountPathId, static_cast<int>(r.clientId),
                                         static_cast<int>(r.deviceAccessType), &reason, &result)) {
    case DataServerValidation::Valid:
      return true;
    case DataServerValidation::Refused: {
      const std::string text = catalogueText(static_cast<unsigned long>(reason), w.locale);
      EvDebug::Error(kTag,
                     "Validation error [%lld : %s] occurred for add/remove of DataServerIP device path. MountPath "
                     "[%d], Controller MediaAgent [%d]",
                     reason, text.c_str(), w.mountPathId, static_cast<int>(r.clientId));
      w.fail(1, text);
      return false;
    }
    case DataServerValidation::Failed:
      break;
  }
  EvDebug::Error(kTag,
                 "Failed to execute the DataServerIP validation stored proc for mount path id [%d] failed with error "
                 "code [%d]",
                 w.mountPathId, result);
  w.fail(kTextDatabaseFailed);
  return false;
}

// What an operation-2 entry changes from.
struct Stored {
  std::string folder;
  std::string userName;
  char password[sizeof(MMDeviceControllerParams::password)] = {};
};

void setInfoInt(CNMessageBase& m, unsigned classHash, const tkxml::FieldDef& f, long long v) {
  m.setint64(f.ordinal, f.tag, v, classHash, f.hash);
}
void setInfoText(CNMessageBase& m, unsigned classHash, const tkxml::FieldDef& f, const std::string& v) {
  m.setstring(f.ordinal, f.tag, v, classHash, f.hash);
}

// Step 9.1: the stored state of a changed controller and its previous
// values. False on abort.
bool readStoredState(Work& w, const Entry& e, const MMConfigDeviceControllerInfo& r, Stored& stored,
                     Info& previous) {
  MMDeviceController_t row;
  {
    MMDeviceControllerDB controllers;
    if (controllers.getInfo(static_cast<int>(r.deviceControllerId), row) != 0) {
      EvDebug::Error(kTag, "Failed to Get deviceCtrl Info for Client[%d], deviceControllerId [%d]",
                     static_cast<int>(r.clientId), static_cast<int>(r.deviceControllerId));
      w.fail(-1, "The device path [" + std::to_string(r.deviceControllerId) + "] of " + agentText(r) +
                     " could not be read.");
      return false;
    }
  }
  if (std::string refusal;
      !tkdb::fitsColumn("stored password of the device path of " + agentText(r), row.UserPassword, kMaxPassword,
                        refusal)) {
    w.fail(-1, refusal);
    return false;
  }
  MMCopyText(stored.password, row.UserPassword);
  stored.folder = row.Folder;
  stored.userName = row.UserName;
  setInfoInt(previous, Info::kClassHash, Info::kAccessType, row.DeviceAccessType);
  setInfoText(previous, Info::kClassHash, Info::kFolder, row.Folder);
  setInfoText(previous, Info::kClassHash, Info::kUserName, row.UserName);

  MMDrivePool pool(nullptr);
  pool.setWhere(
      "MasterPoolid = (\tSELECT DISTINCT MP.MasterPoolId FROM MMMountPathToStorageDevice MSD WITH (NOLOCK), "
      "MMDeviceController MDC WITH (NOLOCK), MMMountPath MP WITH (NOLOCK) WHERE MSD.DeviceId = MDC.DeviceId AND "
      "MSD.MountPathId = MP.MountPathId AND MP.MountPathId = %d AND MDC.ClientId = %d AND MDC.DeviceId = %d AND "
      "MDC.DeviceControllerId = %d)",
      w.mountPathId, static_cast<int>(r.clientId), static_cast<int>(e.deviceId),
      static_cast<int>(r.deviceControllerId));
  const int read = getOneRow(&pool, false, -1, 0);
  if (read != 0) {
    EvDebug::Error(kTag, "DB Query Failed with error code [%d]", read);
    w.fail(-1, "The drive pool of " + agentText(r) + " for mount path [" + std::to_string(w.mountPathId) +
                   "] could not be read.");
    return false;
  }
  setInfoInt(previous, Info::kClassHash, Info::kMaxDrivesToSwitch, pool.getDataPtr()->MaxDrivesToSwitch);
  if (row.CredentialAssocId != 0) {
    CredentialMgrHelper credentials;
    int credentialId = 0;
    int entityType = 0;
    int entityId = 0;
    std::string name;
    credentials.getCredentialIdFromAssocIdForEntity(row.CredentialAssocId, credentialId, entityType, entityId,
                                                    nullptr);
    credentials.getCredentialNameForId(credentialId, name, nullptr);
    CNMessageBase& credential =
        previous.getObjectAccessor(true, true, Info::kCredential.ordinal, Info::kCredential.tag, Info::kClassHash,
                                   Info::kCredential.hash, Info::kCredential.ns, Info::kCredential.cls);
    setInfoInt(credential, CredentialEntity::kClassHash, CredentialEntity::kId, credentialId);
    setInfoText(credential, CredentialEntity::kClassHash, CredentialEntity::kCredentialName, name);
  }
  return true;
}

// Step 9.4, operation 2 on a cloud path: the proxy password of the user
// name, kept from the stored one or replaced by the entry's. False on abort.
bool carryProxyPassword(Work& w, const Entry& e, const Stored& stored, std::string& userName,
                        const MMConfigDeviceControllerInfo& r) {
  std::string newUser = userName;
  std::string oldUser = stored.userName;
  std::string host;
  std::string proxyUser;
  std::string proxyPassword;
  std::string oldProxyUser;
  std::string oldProxyPassword;
  int port = 0;
  EvMMConfigMgr::GetProxyInfoFromUserName(newUser, host, port, proxyUser, proxyPassword);
  EvMMConfigMgr::GetProxyInfoFromUserName(oldUser, host, port, oldProxyUser, oldProxyPassword);
  if (proxyUser.empty()) return true;
  // A new name that carries its own proxy password keeps it, unless the
  // entry gives one, which takes its place: a name never carries two, the
  // second of which would be the one read back.
  if (e.proxyPassword.empty()) {
    if (proxyPassword.empty() && !oldProxyPassword.empty()) userName += ":" + oldProxyPassword;
    tkpassword::wipe(proxyPassword);
    tkpassword::wipe(oldProxyPassword);
    return true;
  }
  if (!proxyPassword.empty()) userName.erase(userName.size() - proxyPassword.size() - 1);
  tkpassword::wipe(proxyPassword);
  tkpassword::wipe(oldProxyPassword);
  std::string encrypted;
  std::string refusal;
  if (!tkpassword::storedFormFor(e.proxyPassword, kMaxPassword, encrypted, refusal)) {
    EvDebug::Error(kTag, "The proxy password of media agent [%u] was refused: %s", r.clientId, refusal.c_str());
    w.fail(-1, refusal);
    return false;
  }
  userName += ":";
  userName += encrypted;
  tkpassword::wipe(encrypted);
  return true;
}

// Step 10: the rights on one entry. False when refused (the refusal kept).
bool entryAllowed(Work& w, const MMConfigDeviceControllerInfo& r) {
  EvSecurityCheck security(w.record.sequenceNumber);
  if (w.perAgentRights && security.canManageMediaAgent(w.record.userId, kTarnfoldId, r.clientId)) return true;
  if (security.canAdminLibrary(w.record.userId, kTarnfoldId, static_cast<unsigned long>(w.library.LibraryId)))
    return true;
  const std::string reason = responseString(security);
  sendRightsAlert(w, reason);
  const std::string login = w.record.loginName();
  EvDebug::Error(kTag, "%s", reason.c_str());
  EvDebug::Error(kTag, "UserId [%d, %s] tarnfoldId [%lu] does not have permission.", static_cast<int>(w.record.userId),
                 login.c_str(), static_cast<unsigned long>(w.record.tarnfoldId()));
  EvDebug::Error(kTag,
                 "The user lacks library administration or management permission on library [%s], or, with the media "
                 "agent rights parameter MMS2_CONFIG_CHECK_USER_MA_RIGHT set, media agent management permission on "
                 "media agent [%u].",
                 w.library.AliasName, r.clientId);
  w.refusal = reason;
  return false;
}

// The entry's device and device path are those of the request's mount
// path. False (aborted, naming both) when not.
bool ofTheMountPath(Work& w, const Entry& e, const MMConfigDeviceControllerInfo& r) {
  std::string refusal;
  tkezconfig::Ownership owned = tkezconfig::Ownership::kOwn;
  if (e.deviceId != 0) owned = tkezconfig::deviceOfMountPath(w.deviceId, w.mountPathId, w.locale, refusal);
  if (owned == tkezconfig::Ownership::kOwn && (e.operation == kOperationChange || e.operation == kOperationRemove))
    owned = tkezconfig::devicePathOfMountPath(static_cast<int>(r.deviceControllerId), w.mountPathId, w.locale,
                                              refusal);
  if (owned == tkezconfig::Ownership::kOwn) return true;
  w.fail(-1, refusal);
  return false;
}

// Steps 6 to 12 for one entry. False on abort.
bool checkEntry(Work& w, const CNMessageBase& source) {
  MMConfigDeviceControllerInfo r;
  Entry e = readEntry(source, r);
  if (!e.passwordsRead) {
    // preProcess has refused such a request already; kept for the records' sake.
    w.fail(kTextXmlUnreadable);
    return false;
  }
  // A proxy password written into the user name itself is kept as the
  // entry's own proxy password is: only in the stored form.
  static_assert(tkxml::isProxyUserNameField<Info>(Info::kUserName), "a user name that may carry a proxy password");
  std::string refusal;
  if (!tkpassword::storedUserNameIn(std::string(e.userName), tkpassword::kUserNameWidth, e.userName, refusal,
                                    "user name of the device path of " + agentText(r))) {
    EvDebug::Error(kTag, "The proxy password of the user name of media agent [%u] was refused: %s", r.clientId,
                   refusal.c_str());
    w.fail(-1, refusal);
    return false;
  }
  if (e.deviceId != 0) {
    if (w.deviceId != 0 && w.deviceId != e.deviceId) {
      // One list update goes to one device: a second one would get records meant for another.
      EvDebug::Error(kTag, "The request names devices [%d] and [%lld].", w.deviceId, e.deviceId);
      w.fail(-1, "The device paths of one request must all lie on one device; devices [" + std::to_string(w.deviceId) +
                     "] and [" + std::to_string(e.deviceId) + "] were named.");
      return false;
    }
    if (e.deviceId < INT32_MIN || e.deviceId > INT32_MAX) {
      w.fail(kTextXmlUnreadable);
      return false;
    }
    w.deviceId = static_cast<int>(e.deviceId);
  }
  // The list update goes to the device an entry names, and a change or a
  // removal to the device path it names: both must be of the request's
  // mount path, whose library the rights were checked against.
  if (!ofTheMountPath(w, e, r)) return false;

  if (e.operation == kOperationAdd && e.autoPick && !autoPickTransport(w, e, r)) return false;
  if ((e.operation == kOperationAdd || e.operation == kOperationRemove) && !validateDataServer(w, e, r)) return false;

  Stored stored;
  Info previous;
  std::string line;
  bool hasPrevious = false;
  if (e.operation == kOperationAdd || e.operation == kOperationChange) {
    if (e.operation == kOperationChange) {
      if (!readStoredState(w, e, r, stored, previous)) return false;
      hasPrevious = true;
    }
    if (e.operation == kOperationAdd || e.folder != stored.folder) {
      const unsigned long refusal =
          tkezconfig::installDirectoryRefusal(kTag, r.clientId, w.startTime, e.folder);
      if (refusal != 0) {
        w.fail(refusal);
        return false;
      }
    }
    MMMountPath_t mountPath;
    {
      MMMountPathDB mountPaths;
      if (mountPaths.getInfo(w.mountPathId, mountPath) != 0) {
        EvDebug::Error(kTag,
                       "DB query to get the mount path information for mount path id [%d] failed with error code [%d]",
                       w.mountPathId, mountPaths.getErrorCode());
        w.fail(kTextDatabaseFailed);
        return false;
      }
    }
    w.mountPathType = mountPath.MountPathTypeId;
    if (mountPath.MountPathTypeId == kCloudMountPathType) {
      if (e.operation == kOperationAdd) {
        int result = 0;
        MMDeviceControllerParams shared;
        switch (takeCloudSharingController(w.mountPathId, shared, stored.password, &result)) {
          case CloudSharing::Taken:
            e.folder = shared.folder;
            e.userName = shared.userName;
            r.credentialId = shared.credentialId;
            break;
          case CloudSharing::NoController:
            break;
          case CloudSharing::Failed:
            EvDebug::Error(kTag,
                           "DB query to get the device information for mount path id [%d] failed with error code [%d]",
                           w.mountPathId, result);
            w.fail(kTextDatabaseFailed);
            return false;
        }
      } else if (!carryProxyPassword(w, e, stored, e.userName, r)) {
        return false;
      }
    }
    if (e.operation == kOperationAdd) {
      line = "<MAWithAccessType Id=\"" + std::to_string(r.clientId) + "\" AccessType=\"" +
             std::to_string(r.deviceAccessType) + "\" />\n";
    }
  }

  if (!store(w, r.folder, e.folder, "folder", r) || !store(w, r.userName, e.userName, "user name", r)) return false;
  // Step 11: the password, encrypted; else the stored one.
  if (!e.password.empty()) {
    std::string encrypted;
    std::string refusal;
    const bool fits = tkpassword::storedFormFor(e.password, kMaxPassword, encrypted, refusal);
    if (fits) std::memcpy(r.password, encrypted.c_str(), encrypted.size() + 1);
    tkpassword::wipe(encrypted);
    if (!fits) {
      EvDebug::Error(kTag, "The password of media agent [%u] was refused: %s", r.clientId, refusal.c_str());
      w.fail(-1, refusal);
      return false;
    }
  } else if (e.operation == kOperationAdd || e.operation == kOperationChange) {
    MMCopyText(r.password, stored.password);
  }

  const bool allowed = entryAllowed(w, r);
  if (hasPrevious) {
    // The audit pass keeps one previous-values entry per operation-2 entry;
    // a refused one keeps an empty one.
    w.previous.getlistobject(Req::kInfoList.ordinal, Req::kInfoList.tag, Req::kClassHash, Req::kInfoList.hash)
        .push_back(allowed ? previous : Info());
  }
  w.entries.push_back({&source, allowed});
  if (!allowed) return true;  // skipped
  if (!line.empty()) {
    if (w.controllerInfo.empty()) w.controllerInfo = "<ControllerInfo>\n";
    w.controllerInfo += line;
  }
  w.records.push_back(r);
  return true;
}

// ---------------------------------------------------------------- the request

// Steps 2 to 5. False (the reply set) when the request is refused.
bool admit(Work& w, std::string& xml) {
  if (!EvMMConfigMgr::doMACheck()) {
    EvSecurityCheck security(w.record.sequenceNumber);
    if (!security.canManageTarnkeep(w.record.userId, kTarnfoldId)) {
      const std::string reason = responseString(security);
      sendRightsAlert(w, reason);
      EvDebug::Error(kTag, "%s", reason.c_str());
      EvDebug::Error(kTag, "UserId [%d, %s] tarnfoldId [%lu]", static_cast<int>(w.record.userId),
                     w.record.loginName().c_str(), static_cast<unsigned long>(w.record.tarnfoldId()));
      EvEvent event(kTag);
      event.setLocaleId(w.record.sequenceNumber);
      event << reason;
      char buffer[512];
      event.evPrintf(kTextRightsRefused, buffer, sizeof buffer, 0);
      w.fail(-1, buffer);
      return false;
    }
  } else {
    w.perAgentRights = true;
  }
  const int initialized = CNMessageBase::Initialize();
  if (initialized != 0) {
    EvDebug::Error(kTag, "Error [%d] return form CNMessageBase::Initialize.", initialized);
    w.fail(kTextXmlInitialize);
    return false;
  }
  // A request that does not read, or whose protected field does not decrypt,
  // is refused: read as empty, a password would be stored empty.
  EvExternal services(0);
  const int read = services.preProcessXMLStringForPassword(&w.record, w.request, xml);
  const long long mountPathId = w.request.getint64(Req::kMountPathId.tag, Req::kClassHash, Req::kMountPathId.hash);
  if (read != 0 || mountPathId < INT32_MIN || mountPathId > INT32_MAX) {
    EvDebug::Error(kTag, "Error [%d] return from EVGui::MMDevicePathInfoReq::unserialize.", read);
    w.fail(kTextXmlUnreadable);
    return false;
  }
  w.mountPathId = static_cast<int>(mountPathId);
  MMLibraryDB libraries;
  if (libraries.getInfoByMountPathId(w.mountPathId, w.library) != 0) {
    EvDebug::Error(kTag, "DB query to get the library information for mount path id [%d] failed with error code [%d]",
                   w.mountPathId, libraries.getErrorCode());
    w.fail(kTextDatabaseFailed);
    return false;
  }
  return true;
}

// Step 13. The list update's result.
int apply(Work& w) {
  if (w.records.empty()) {
    if (!w.refusal.empty())
      w.fail(-1, w.refusal);
    else
      w.fail(kTextNothingToApply);
    return 0;
  }
  ZQMMDeviceInfo devices(1);
  const int result = devices.configDeviceControllerList(w.deviceId, w.records);
  if (result != 0) {
    int code = 0;
    devices.GetErrorCode(code);
    EvDebug::Error(kTag, "Failed to send config request for the device Controllers to MediaManager due to error[%d]",
                   code);
    char text[kErrorTextSize] = {};
    ErrorTrans::getErrorString(code, text, sizeof text, w.locale);
    // A failure is never answered as a success.
    w.fail(code != 0 ? code : -1, text[0] != '\0' ? std::string(text) : catalogueText(kTextUpdateFailed, w.locale));
    return result;
  }
  if (w.mountPathType == kCloudMountPathType) EvMMConfigMgr::autoShareMAsForHybridDisk(w.library.LibraryId);
  const int writers = updateWritersForDataServerMountPath(w.mountPathId);
  if (writers != 0 && writers != DB_NO_ROW) {
    EvDebug::Error(kTag,
                   "Failed to execute the stored proc to update the writers for SAN DataServer for given mount path id "
                   "[%d] failed with error code [%d]",
                   w.mountPathId, writers);
  }
  if (!w.controllerInfo.empty()) w.controllerInfo += "</ControllerInfo>\n";
  for (const MMConfigDeviceControllerInfo& r : w.records) {
    if (r.operation != kOperationAdd) continue;
    int code = 0;
    std::string text;
    if (!EvMMConfigMgr::AddMediaAgentToStoragePool(w.mountPathId, w.locale, w.record.userId, code, text,
                                                   w.controllerInfo)) {
      EvDebug::Error(kTag, "Sharing media agent [%u] into the storage pools failed with [%d]: %s", r.clientId, code,
                     text.c_str());
      w.fail(code != 0 ? code : -1, catalogueText(kTextUpdateFailed, w.locale));
      return result;
    }
  }
  const tkxml::MessageList& previous =
      w.previous.getlistobject(Req::kInfoList.ordinal, Req::kInfoList.tag, Req::kClassHash, Req::kInfoList.hash);
  EvMMConfigMgr::auditDevicePathChanges(w.entries, previous, w.library, w.mountPathId, w.record.userId, w.locale);
  return result;
}

void reply(Work& w, std::string& xml) {
  Resp response;
  CNMessageBase& error = response.getObjectAccessor(true, true, Resp::kError.ordinal, Resp::kError.tag,
                                                    Resp::kClassHash, Resp::kError.hash, Resp::kError.ns,
                                                    Resp::kError.cls);
  error.setint64(ErrorInfo::kErrorCode.ordinal, ErrorInfo::kErrorCode.tag, w.code, ErrorInfo::kClassHash,
                 ErrorInfo::kErrorCode.hash);
  error.setstring(ErrorInfo::kErrorText.ordinal, ErrorInfo::kErrorText.tag, MyLocalText(w.text),
                  ErrorInfo::kClassHash, ErrorInfo::kErrorText.hash);
  const int written = response.serialize(xml, false);
  if (written != 0) {
    EvDebug::Error(kTag, "Error [%d] return from EVGui::MMDevicePathInfoResp::serialize.", written);
    xml.clear();
  }
}

}  // namespace

void EvMMConfigMgr::GetProxyInfoFromUserName(std::string& userName, std::string& host, int& port,
                                             std::string& proxyUser, std::string& proxyPassword) {
  host.clear();
  proxyUser.clear();
  proxyPassword.clear();
  port = 0;
  const std::size_t bang = userName.rfind("!!");
  if (bang == std::string::npos) return;
  std::string rest = userName.substr(bang + 2);
  userName.erase(bang);
  const std::size_t at = rest.rfind('@');
  if (at == std::string::npos) return;
  const std::string proxy = rest.substr(at + 1);
  rest.erase(at);
  const std::size_t colon = proxy.rfind(':');
  if (colon == std::string::npos || colon == 0) {
    proxyUser = proxy;
  } else {
    proxyUser = proxy.substr(0, colon);
    proxyPassword = proxy.substr(colon + 1);
  }
  const std::size_t portColon = rest.rfind(':');
  if (portColon == std::string::npos) {
    host = rest;
  } else {
    host = rest.substr(0, portColon);
    port = std::atoi(rest.c_str() + portColon + 1);
  }
}

int EvMMConfigMgr::onMsgDevicePathInfoReq(MessageInfo* request, std::string& xml) {
  if (!m_initialized.load()) Initialize();
  if (request == nullptr) {
    EvDebug::Error(kTag, "%s", "Bad Parameter Received.");
    xml.clear();  // left as it came, the request would go back as the reply
    return 0;
  }
  Work w(*request);
  int result = 0;
  if (admit(w, xml)) {
    const tkxml::MessageList& list = w.request.getlistobject(Req::kInfoList.ordinal, Req::kInfoList.tag,
                                                             Req::kClassHash, Req::kInfoList.hash, false);
    bool aborted = false;
    for (std::size_t i = 0; i < list.size(); ++i) {
      if (!checkEntry(w, list[i])) {
        aborted = true;
        break;
      }
    }
    if (!aborted) result = apply(w);
  }
  reply(w, xml);
  return result;
}
