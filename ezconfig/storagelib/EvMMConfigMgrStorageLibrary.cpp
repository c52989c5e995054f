// The storage-library request (EVGui::ConfigureStorageLibraryReq): one
// request, one operation code, on a disk or cloud storage library, its mount
// paths, devices and device controllers. Every operation shares the frame
// here: reading the request, resolving media-agent and library names, the
// rights check, the named library lock, the preparation
// (StorageLibPrepare.cpp), the dispatch on the operation code through
// kOperations, and the completion (the answer, the undo of cloud storage
// provisioned for a request that failed, the release of the lock).
//
// Locks. A request holds at most one cross-process library lock: "LibID<id>"
// for the deleting operations, "MAID<id>" for the others, none for the vault
// lock (4096). The lock is tested first and refused while held, then taken
// (the take waits without limit: two requests that pass the test together
// run one after the other). The working record releases it on every path.
//
// The request works on a media-configuration model of its own, not the
// console's cached one, so a takeover of the configuration lock does not
// change its answers.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "ezconfig/RightsRefusal.h"
#include "ezconfig/storagelib/StorageLibraryRequest.h"
#include "frame/EvEvent.h"
#include "frame/EvExternal.h"
#include "frame/EvMMConfigMgr.h"
#include "frame/EvSecurity.h"
#include "frame/MessageInfo.h"
#include "frame/TextHelpers.h"
#include "frame/mac/ZQMACMediaConfig.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/mmdb/MMHostDB.h"
#include "platform/mmdb/MMLibraryControllerDB.h"
#include "platform/mmdb/MMLibraryDB.h"

namespace {

constexpr const char* kTag = "EvMMConfigMgr::onMsgConfigStorageLibrary";

// Catalogue texts.
constexpr unsigned long kTextXmlInitialize = 0x23000451;
constexpr unsigned long kTextXmlUnreadable = 0x23000452;
constexpr unsigned long kTextMediaAgentUnknown = 0x230008B0;
constexpr unsigned long kTextLibraryUnknown = 0x230008B1;
constexpr unsigned long kTextMediaAgentLocked = 0x230008B3;
constexpr unsigned long kTextControllersUnread = 0x230008B4;
constexpr unsigned long kTextDeleteUnderway = 0x23000AC8;
constexpr unsigned long kTextRightsRefused = 0x240001EF;       // %1 the reason
constexpr unsigned long kTextNoDeleteLibrary = 0x3E000BB6;     // %1 the login name
constexpr unsigned long kTextNoDeleteMountPath = 0x3E000BB7;   // %1 the login name
constexpr unsigned long kTextAskForDeleteRights = 0x3F000353;  // %1 the login name
// Our own text: a library deletion that gives neither an id nor a name.
constexpr const char* kTextNoLibraryToDelete =
    "The request names no library to delete: give its id or its name.";

// The rights arguments.
constexpr unsigned long kTarnfoldId = 2;
constexpr int kPermissionManageMediaAgent = 8;
constexpr int kEntityMediaAgent = ZqEntities::ENTITY_MEDIA_AGENT;

constexpr std::size_t kTextSize = 1024;

using tkezconfig::StorageLibOutcome;
using tkezconfig::StorageLibraryRequest;
using tkezconfig::StorageLibResult;
using Request = EVGui::ConfigureStorageLibraryReq;
using Info = EVGui::StorageLibraryInfo;
using Response = EVGui::ConfigureStorageLibraryResp;
using Generic = EVGui::GenericResp;

// One row per operation code. A row whose member is null names an
// operation that is not available yet: it is answered -1 with its name.
struct OperationRow {
  long long code;
  const char* name;
  EvMMConfigMgr::StorageLibOperationFn run;
};

constexpr OperationRow kOperations[] = {
    {tkezconfig::kOpCreateLibrary, "create library", &EvMMConfigMgr::StorageLibCreateLibrary},
    {tkezconfig::kOpDeleteLibrary, "delete library", &EvMMConfigMgr::StorageLibDeleteLibrary},
    {tkezconfig::kOpAddMountPath, "add mount path", &EvMMConfigMgr::StorageLibAddMountPath},
    {tkezconfig::kOpMountPathProperties, "change mount-path properties", &EvMMConfigMgr::StorageLibShareMountPath},
    {tkezconfig::kOpDeleteMountPath, "delete mount path", &EvMMConfigMgr::StorageLibDeleteMountPath},
    {tkezconfig::kOpModifyLibrary, "modify library", &EvMMConfigMgr::StorageLibModifyLibrary},
    {tkezconfig::kOpShareMountPath, "share mount path", &EvMMConfigMgr::StorageLibShareMountPath},
    {tkezconfig::kOpUnshareMountPath, "unshare mount path", &EvMMConfigMgr::StorageLibShareMountPath},
    {tkezconfig::kOpCreateDevice, "create device", &EvMMConfigMgr::StorageLibCreateDevice},
    {tkezconfig::kOpDriveMaintenance, "drive maintenance", &EvMMConfigMgr::StorageLibDriveMaintenance},
    {tkezconfig::kOpForceDeleteMountPath, "force delete mount path", &EvMMConfigMgr::StorageLibDeleteMountPath},
    {tkezconfig::kOpVaultLock, "set vault lock", &EvMMConfigMgr::StorageLibSetVaultLock},
    {tkezconfig::kOpForceDeleteLibrary, "force delete library", &EvMMConfigMgr::StorageLibForceDeleteLibrary},
    {tkezconfig::kOpAddMountPathShared, "add shared mount path", &EvMMConfigMgr::StorageLibAddMountPath},
};

bool isDeleteOperation(long long operation) {
  return operation == tkezconfig::kOpDeleteLibrary || operation == tkezconfig::kOpDeleteMountPath ||
         operation == tkezconfig::kOpForceDeleteMountPath || operation == tkezconfig::kOpForceDeleteLibrary;
}

// A catalogue text in the request's locale.
template <class... Args>
std::string catalogueText(const StorageLibraryRequest& w, unsigned long id, const Args&... arguments) {
  char buffer[kTextSize];
  EvGetLocText(id, buffer, sizeof buffer, w.locale, arguments...);
  return buffer;
}

// A catalogue text formatted with one text argument through the event.
std::string printed(const StorageLibraryRequest& w, unsigned long id, const std::string& argument) {
  return tkezconfig::eventText(kTag, w.record.sequenceNumber, id, argument);
}

void refuse(StorageLibraryRequest& w, unsigned long id) { w.fail(catalogueText(w, id)); }

void sendRightsAlert(const StorageLibraryRequest& w, const std::string& text) {
  tkezconfig::sendRightsAlert(w.record.userId, text);
}

// A rights refusal: the alert with the security service's reason, and
// catalogue text 0x240001EF with that reason.
void refuseRights(StorageLibraryRequest& w, const std::string& reason) {
  sendRightsAlert(w, reason);
  w.fail(printed(w, kTextRightsRefused, reason));
}

std::string responseString(const EvSecurityMgr& security) {
  const char* text = security.getResponseString();
  return text != nullptr ? text : "";
}

// ---------------------------------------------------------------- reading

// A number of the description that must fit 32 bits; false when it does not.
bool readInt(const CNMessageBase& msg, const tkxml::FieldDef& field, int& out) {
  const long long value = msg.getint64(field.tag, Info::kClassHash, field.hash);
  if (value < INT32_MIN || value > INT32_MAX) return false;
  out = static_cast<int>(value);
  return true;
}

std::string readText(const CNMessageBase& msg, const tkxml::FieldDef& field) {
  std::string text = msg.getstring(field.ordinal, field.tag, Info::kClassHash, field.hash);
  return MyUTF8Text(text);
}

// Step 4: the working values of the request. False when a number does not
// fit its 32 bits (an id cut to fit would name another object).
bool readRequest(StorageLibraryRequest& w) {
  constexpr tkxml::FieldDef kLibrary = Request::kLibrary;
  constexpr tkxml::FieldDef kSecond = Request::kSecond;
  w.library = &w.request.getObjectAccessor(true, true, kLibrary.ordinal, kLibrary.tag, Request::kClassHash,
                                           kLibrary.hash, kLibrary.ns, kLibrary.cls);
  w.second = &w.request.getObjectAccessor(true, true, kSecond.ordinal, kSecond.tag, Request::kClassHash,
                                          kSecond.hash, kSecond.ns, kSecond.cls);
  const CNMessageBase& library = *w.library;
  const CNMessageBase& second = *w.second;
  w.operation = library.getint64(Info::kOperation.tag, Info::kClassHash, Info::kOperation.hash);

  constexpr tkxml::FieldDef kStorageId = ZqEntities::DistributedStorageEntity::kId;
  const CNMessageBase& storage = w.library->getObjectAccessor(
      true, false, Info::kDistributedStorage.ordinal, Info::kDistributedStorage.tag, Info::kClassHash,
      Info::kDistributedStorage.hash, Info::kDistributedStorage.ns, Info::kDistributedStorage.cls);
  const long long distributed =
      storage.getint64(kStorageId.tag, ZqEntities::DistributedStorageEntity::kClassHash, kStorageId.hash);
  if (distributed < INT32_MIN || distributed > INT32_MAX) return false;
  w.distributedStorageId = static_cast<int>(distributed);

  if (!readInt(library, Info::kMediaAgentId, w.mediaAgentId) ||
      !readInt(second, Info::kMediaAgentId, w.secondMediaAgentId) ||
      !readInt(library, Info::kLibraryId, w.libraryId) || !readInt(library, Info::kMountPathId, w.mountPathId) ||
      !readInt(library, Info::kLibraryTypeId, w.libraryTypeId))
    return false;
  w.libraryName = readText(library, Info::kLibraryName);
  w.secondLibraryName = readText(second, Info::kLibraryName);
  w.mountPathName = readText(library, Info::kMountPathName);
  w.secondMountPathName = readText(second, Info::kMountPathName);
  w.mediaAgentName = readText(library, Info::kMediaAgentName);
  w.secondMediaAgentName = readText(second, Info::kMediaAgentName);
  w.autoConfigText = readText(library, Info::kAutoConfigText);
  return true;
}

// ---------------------------------------------------------------- admission

// Step 6: a media agent named but not numbered. False when refused.
bool resolveMediaAgent(StorageLibraryRequest& w, int& id, const std::string& name) {
  if (id >= 1 || name.empty()) return true;
  MMHostDB hosts;
  MMHost_t host;
  if (hosts.getInfoByClientName(name.c_str(), host) != 0) {
    EvDebug::Error(kTag, "Failed to get info for media agent [%s] from MMHost table", name.c_str());
    refuse(w, kTextMediaAgentUnknown);
    return false;
  }
  id = host.ClientId;
  return true;
}

// Step 7: a library named but not numbered. False when refused. A library
// deletion that names no library is refused here, before any lock: an
// empty name names none, not one stored with an empty name. A name two
// libraries are spelled so is refused naming their ids; the change of a
// library and of a mount path's properties act by the name, so that the
// refusal asks for the id beside it (StorageLibPrepare checks the two
// agree).
bool resolveLibrary(StorageLibraryRequest& w) {
  const bool deletesLibrary =
      w.operation == tkezconfig::kOpDeleteLibrary || w.operation == tkezconfig::kOpForceDeleteLibrary;
  if (deletesLibrary && w.libraryId < 1 && w.libraryName.empty()) {
    EvDebug::Error(kTag, "%s", "The library delete names no library.");
    w.fail(kTextNoLibraryToDelete);
    return false;
  }
  if (w.libraryId >= 1 || w.libraryName.empty() || w.operation == tkezconfig::kOpCreateDevice) return true;
  tkmmdb::NameLookup how;
  how.idBesideName = w.operation == tkezconfig::kOpModifyLibrary || w.operation == tkezconfig::kOpMountPathProperties;
  MMLibraryDB libraries;
  MMLibrary_t row;
  if (libraries.getInfoByAliasName(w.libraryName.c_str(), row, nullptr, how) == 0) {
    w.libraryId = row.LibraryId;
    w.libraryTypeId = row.LibraryTypeId;
    return true;
  }
  const bool missing = libraries.getErrorCode() == MMS2_ERROR_NOT_FOUND;
  if (missing && w.operation == tkezconfig::kOpCreateLibrary) return true;  // the library is to be made
  EvDebug::Error(kTag, "Failed to get info for Library [%s]", w.libraryName.c_str());
  // A library that is not there, or the database's reason it could not be
  // read (a create is refused then too: it cannot tell the name is free).
  if (missing) {
    refuse(w, kTextLibraryUnknown);
  } else {
    w.fail(libraries.lastErrorText());
  }
  return false;
}

// Tests the lock and takes it: "LibID<library id>" for a delete, else
// "MAID<media agent id>". False (refused) when it is held, or when it cannot
// be made: going on without it would give up the exclusion it stands for.
bool takeLock(StorageLibraryRequest& w, bool deleting) {
  const int id = deleting ? w.libraryId : w.mediaAgentId;
  const unsigned long lockedText = deleting ? kTextDeleteUnderway : kTextMediaAgentLocked;
  switch (w.lock.testAndTake(deleting ? "LibID" : "MAID", id)) {
    case tkezconfig::RequestLibraryLock::kTaken:
      return true;
    case tkezconfig::RequestLibraryLock::kHeldElsewhere:
      if (deleting)
        EvDebug::Error(kTag, "A delete operation is underway for Library [%d]", id);
      else
        EvDebug::Error(kTag, "%s", "ConfigLibrary is locked by another instance. Exiting...");
      break;
    case tkezconfig::RequestLibraryLock::kNotTaken:
      EvDebug::Error(kTag, "The library lock [%s] could not be taken.", w.lock.key());
      break;
  }
  refuse(w, lockedText);
  return false;
}

// Step 9.2: whether the user may delete in the library.
bool mayDelete(StorageLibraryRequest& w, EvSecurityCheck& security, bool& refused) {
  const unsigned long user = w.record.userId;
  const std::string login = w.record.loginName();
  if (security.canAdminLibrary(user, kTarnfoldId, static_cast<unsigned long>(w.libraryId))) return true;

  MMLibraryControllerDB controllers;
  MMLibraryController_t* rows = nullptr;
  int count = 0;
  if (controllers.getListByLibraryId(w.libraryId, rows, count) != 0) {
    EvDebug::Error(kTag, "Error [%d] return from while getting the libraryController List for LibId[%d].",
                   controllers.getErrorCode(), w.libraryId);
    refuse(w, kTextControllersUnread);
    refused = true;
    return false;
  }
  struct ListGuard {
    MMLibraryController_t*& rows;
    ~ListGuard() {
      if (rows != nullptr) MMLibraryControllerDB::DeleteList(rows, __FILE__, __LINE__);
    }
  } guard{rows};
  if (count == 0) return security.canManageTarnkeep(user, kTarnfoldId);
  for (int i = 0; i < count; ++i) {
    const int agent = rows[i].ClientId;
    if (!security.canManageMediaAgent(user, kTarnfoldId, static_cast<unsigned long>(agent))) {
      EvDebug::Error(kTag,
                     "UserId [%d, %s] tarnfoldId [%d] does not have MediaAgent Management permission on "
                     "mediaAgent[%d]",
                     static_cast<int>(user), login.c_str(), static_cast<int>(kTarnfoldId), agent);
      return false;
    }
    EvDebug::Debug(kTag, "UserId [%d, %s] tarnfoldId [%d] has MediaAgent Management permission on mediaAgentId[%d]",
                   static_cast<int>(user), login.c_str(), static_cast<int>(kTarnfoldId), agent);
  }
  return true;
}

// Step 8: the vault lock needs installation rights. False when refused.
bool vaultLockAllowed(StorageLibraryRequest& w) {
  EvSecurityCheck security(w.record.sequenceNumber);
  if (security.canManageTarnkeep(w.record.userId, kTarnfoldId)) return true;
  EvDebug::Error(kTag, "UserId [%d, %s] tarnfoldId [%lu]", static_cast<int>(w.record.userId),
                 w.record.loginName().c_str(), static_cast<unsigned long>(w.record.objectHandle));
  refuseRights(w, responseString(security));
  return false;
}

// Step 9.1: rights on the second media agent. False when refused.
bool secondMediaAgentAllowed(StorageLibraryRequest& w) {
  if (w.secondMediaAgentId < 1) return true;
  EvSecurityCheck security(w.record.sequenceNumber);
  if (security.canManageMediaAgent(w.record.userId, kTarnfoldId, static_cast<unsigned long>(w.secondMediaAgentId)))
    return true;
  EvDebug::Error(kTag, "UserId [%d, %s] tarnfoldId [%d]", static_cast<int>(w.record.userId),
                 w.record.loginName().c_str(), static_cast<int>(kTarnfoldId));
  refuseRights(w, responseString(security));
  return false;
}

// Step 9.2, after the lock: rights to delete in the library. False when refused.
bool deleteAllowed(StorageLibraryRequest& w) {
  EvSecurityCheck security(w.record.sequenceNumber);
  bool refused = false;
  if (mayDelete(w, security, refused)) return true;
  if (refused) return false;
  const std::string login = w.record.loginName();
  sendRightsAlert(w, responseString(security));
  const unsigned long first =
      w.operation == tkezconfig::kOpDeleteLibrary ? kTextNoDeleteLibrary : kTextNoDeleteMountPath;
  w.fail(printed(w, first, login) + "  " + printed(w, kTextAskForDeleteRights, login));
  return false;
}

// Step 9.3, before the lock: rights on the media agent, or permission on
// it as an entity. False when refused.
bool mediaAgentAllowed(StorageLibraryRequest& w) {
  const unsigned long user = w.record.userId;
  {
    EvSecurityCheck security(w.record.sequenceNumber);
    if (security.canManageMediaAgent(user, kTarnfoldId, static_cast<unsigned long>(w.mediaAgentId))) return true;
  }
  bool allowed = false;
  EvSecurityNew permissions(nullptr, static_cast<int>(w.locale));
  permissions.hasPermissionForUserOnEntity(allowed, kPermissionManageMediaAgent, static_cast<int>(user),
                                           kEntityMediaAgent, w.mediaAgentId, 0, 0, 0, 0, 0, 0, 0, 0);
  if (allowed) return true;
  const std::string reason = permissions.getUTF8ErrorMessage();
  EvDebug::Error(kTag, "UserId [%d, %s] tarnfoldId [%d]", static_cast<int>(user), w.record.loginName().c_str(),
                 static_cast<int>(kTarnfoldId));
  sendRightsAlert(w, reason);
  w.fail(printed(w, kTextRightsRefused, reason));
  return false;
}

// Steps 8 and 9: rights and the lock. Each rights checker ends before the
// request may wait for a lock. False when refused.
bool checkRightsAndLock(StorageLibraryRequest& w) {
  if (w.operation == tkezconfig::kOpVaultLock) return vaultLockAllowed(w);  // no lock for the vault lock
  if (!secondMediaAgentAllowed(w)) return false;
  // A delete tests and takes the library's lock first: a refusal of rights
  // keeps it until completion.
  if (isDeleteOperation(w.operation)) return takeLock(w, true) && deleteAllowed(w);
  return mediaAgentAllowed(w) && takeLock(w, false);
}

// Steps 2 to 9. False when the request is refused (the answer is set).
bool admit(StorageLibraryRequest& w, std::string& xml) {
  const int initialized = CNMessageBase::Initialize();
  if (initialized != 0) {
    EvDebug::Error(kTag, "Error [%d] return from CNMessageBase::Initialize.", initialized);
    refuse(w, kTextXmlInitialize);
    return false;
  }
  // A request that does not read (or whose protected field does not
  // decrypt) is refused: read as empty it would run as operation 0.
  EvExternal services(0);
  const int read = services.preProcessXMLStringForPassword(&w.record, w.request, xml);
  if (read != 0) {
    EvDebug::Error(kTag, "Error [%d] return from EVGui::ConfigureStorageLibraryReq::unserialize.", read);
    refuse(w, kTextXmlUnreadable);
    return false;
  }
  if (!readRequest(w)) {
    EvDebug::Error(kTag, "%s", "An id of the request does not fit 32 bits.");
    refuse(w, kTextXmlUnreadable);
    return false;
  }
  EvDebug::Debug(kTag, "Operation [%lld] library [%d, %s] media agent [%d, %s] by user [%u]", w.operation,
                 w.libraryId, w.libraryName.c_str(), w.mediaAgentId, w.mediaAgentName.c_str(), w.record.userId);
  w.audit.SetEntityParam(ZqEntities::ENTITY_LIBRARY, w.libraryId);
  return resolveMediaAgent(w, w.mediaAgentId, w.mediaAgentName) &&
         resolveMediaAgent(w, w.secondMediaAgentId, w.secondMediaAgentName) && resolveLibrary(w) &&
         checkRightsAndLock(w);
}

}  // namespace

// ---------------------------------------------------------------- the working record

namespace tkezconfig {

// ---------------------------------------------------------------- completion

namespace {

void setNumber(CNMessageBase& info, const tkxml::FieldDef& field, long long value) {
  info.setint64(field.ordinal, field.tag, value, Info::kClassHash, field.hash);
}
void setText(CNMessageBase& info, const tkxml::FieldDef& field, const std::string& value) {
  info.setstring(field.ordinal, field.tag, MyLocalText(value), Info::kClassHash, field.hash);
}

// Step 12.1: the description the success response carries.
void fillResponse(StorageLibraryRequest& w) {
  constexpr tkxml::FieldDef kLibrary = Response::kLibrary;
  CNMessageBase& info = w.response.getObjectAccessor(true, true, kLibrary.ordinal, kLibrary.tag,
                                                     Response::kClassHash, kLibrary.hash, kLibrary.ns, kLibrary.cls);
  setNumber(info, Info::kLibraryId, w.libraryId);
  setText(info, Info::kLibraryName, w.libraryName);
  setText(info, Info::kSerialNumber, w.serialNumber);
  setNumber(info, Info::kLibraryTypeId, w.libraryTypeId);
  setNumber(info, Info::kDeviceId, w.deviceId);
  setNumber(info, Info::kResultCode, 0);
  const bool second = w.secondMediaAgentId != 0;
  setNumber(info, Info::kMediaAgentId, second ? w.secondMediaAgentId : w.mediaAgentId);
  setText(info, Info::kMediaAgentName, second ? w.secondMediaAgentName : w.mediaAgentName);
  setText(info, Info::kMountPathName, second ? w.secondMountPathName : w.mountPathName);
}

}  // namespace

void completeStorageLibRequest(StorageLibraryRequest& w, const StorageLibResult& result, std::string& xml) {
  if (result.outcome == StorageLibOutcome::kFailure && w.code == 0) {
    // A failure is never answered as a success, whatever code it carried.
    w.code = -1;
    if (w.text.empty()) w.text = "The storage library operation failed.";
  }
  if (result.outcome == StorageLibOutcome::kSuccess && w.code == 0) fillResponse(w);

  if (w.code == 0) {
    const int written = w.response.serialize(xml, false);
    if (written != 0) {
      EvDebug::Error(kTag, "Error [%d] return from EVGui::ConfigureStorageLibraryResp::serialize.", written);
      xml.clear();
    }
  } else {
    // Cloud storage made for this request goes again, unless the operation
    // made a library or mount path that uses it.
    const bool provisioningOperation =
        w.operation == tkezconfig::kOpCreateLibrary || w.operation == tkezconfig::kOpAddMountPath;
    if (w.provisionedStorageType == App::kFerraneStorageType && provisioningOperation && !result.created) {
      const int deleted = w.ferrane.deleteStorage(w.container);
      if (deleted != 0) EvDebug::Error(kTag, "Error [%d] deleting the provisioned ferrane storage.", deleted);
    }
    Generic generic;
    generic.setint64(Generic::kCode.ordinal, Generic::kCode.tag, w.code, Generic::kClassHash, Generic::kCode.hash);
    generic.setstring(Generic::kText.ordinal, Generic::kText.tag, MyLocalText(w.text), Generic::kClassHash,
                      Generic::kText.hash);
    const int written = generic.serialize(xml, false);
    if (written != 0) {
      EvDebug::Error(kTag, "Error [%d] return from EVGui::GenericResp::serialize.", written);
      xml.clear();
    }
  }
  const bool libraryGone = result.outcome == StorageLibOutcome::kForceDeleteSuccess && w.code == 0 &&
                           (w.operation == tkezconfig::kOpDeleteLibrary ||
                            w.operation == tkezconfig::kOpForceDeleteLibrary);
  if (libraryGone)
    w.lock.releaseAndRemove();
  else
    w.lock.release();
}

StorageLibraryRequest::StorageLibraryRequest(MessageInfo& requestRecord)
    : record(requestRecord),
      locale(EvReturnData::returnLocaleId(requestRecord.sequenceNumber)),
      startTime(static_cast<long>(std::time(nullptr))) {}

StorageLibraryRequest::~StorageLibraryRequest() = default;

}  // namespace tkezconfig

// ---------------------------------------------------------------- the request

int EvMMConfigMgr::onMsgConfigStorageLibrary(MessageInfo* request, std::string& xml) {
  if (!m_initialized.load()) Initialize();
  if (request == nullptr) {
    EvDebug::Error(kTag, "%s", "Bad Parameter Received.");
    // Left as it came, the request text would go back as the response.
    xml.clear();
    return 0;
  }
  StorageLibraryRequest work(*request);
  StorageLibResult result;
  result.outcome = StorageLibOutcome::kFailure;
  if (admit(work, xml) && StorageLibPrepare(work)) {
    result.outcome = StorageLibOutcome::kSuccess;  // a code without an operation answers success
    for (const OperationRow& row : kOperations) {
      if (row.code != work.operation) continue;
      if (row.run == nullptr) {
        EvDebug::Error(kTag, "Operation [%lld] (%s) is not available.", row.code, row.name);
        work.fail("The storage library operation " + std::to_string(row.code) + " (" + row.name +
                  ") is not available.");
        result.outcome = StorageLibOutcome::kFailure;
      } else {
        result = (this->*row.run)(work);
      }
      break;
    }
  }
  tkezconfig::completeStorageLibRequest(work, result, xml);
  return 0;
}
