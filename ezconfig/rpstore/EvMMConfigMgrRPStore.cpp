// The replication-store library request (EVGui::RPStoreLibraryReq): one
// request, one operation code, on a replication-store (RP-store) library: a
// disk library with one mount path that stores block-level replication
// pairs, with its store row (space limits, off-peak schedule). Every
// operation shares the front here: reading the request, resolving the
// media-agent and library names, rights and the library lock, the request's
// own configuration model, the credentials, and for a plain creation the
// guards on its folder; then the dispatch through kOperations, and the
// answer (the response on success, EVGui::GenericResp with -1 and a text
// otherwise).
//
// Lock. With per-media-agent rights on ("MMS2_CONFIG_CHECK_USER_MA_RIGHT"),
// the request tests and takes the cross-process lock "MAID<media agent id>"
// (the id as resolved, also when it is 0), which serialises it with
// storage-library work on the same agent; the take waits without limit.
// Without those rights no lock is taken. The working record releases the
// lock after the answer is written, on every path.
//
// The request works on a configuration model of its own, so a takeover of
// the console's configuration lock does not change its answers.
#include <cctype>
#include <climits>
#include <cstdio>
#include <ctime>
#include <string>

#include "ezconfig/InstallDirectoryGuard.h"
#include "ezconfig/RequestCredentials.h"
#include "ezconfig/RightsRefusal.h"
#include "ezconfig/rpstore/RPStoreRequest.h"
#include "frame/EvEvent.h"
#include "frame/EvExternal.h"
#include "frame/EvMMConfigMgr.h"
#include "frame/EvSecurity.h"
#include "frame/MessageInfo.h"
#include "frame/TextHelpers.h"
#include "frame/mac/ZQMACMediaConfig.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/focus/ZQPI_Focus.h"
#include "platform/mmdb/MMDeviceControllerDB.h"
#include "platform/mmdb/MMHostDB.h"
#include "platform/mmdb/MMLibraryDB.h"
#include "platform/xml/EVGuiMessages.h"

namespace {

using tkezconfig::kRPStoreTag;
using tkezconfig::RPStoreRequest;
using Info = EVGui::StorageLibraryInfo;
using Store = EVGui::RPStoreLibraryInfo;
using Request = EVGui::RPStoreLibraryReq;
using Generic = EVGui::GenericResp;

// Catalogue texts.
constexpr unsigned long kTextXmlInitialize = 0x23000451;
constexpr unsigned long kTextXmlUnreadable = 0x23000452;
constexpr unsigned long kTextMediaAgentUnknown = 0x230008B0;
constexpr unsigned long kTextLibraryUnknown = 0x230008B1;
constexpr unsigned long kTextMediaAgentLocked = 0x230008B3;
constexpr unsigned long kTextRightsRefused = 0x240001EF;       // %1 the reason
constexpr unsigned long kTextControllersUnread = 0x3E000040;
constexpr unsigned long kTextInsideDiskFolder = 0x230011D2;

constexpr const char* kTextModelUninitialized = "Failed to initialize the media configuration";

// The rights arguments.
constexpr unsigned long kTarnfoldId = 2;
// Access-type bits of a device controller that mark data-server access: such
// a folder is no disk folder of the agent.
constexpr int kDataServerAccess = 0x10 | 0x20 | 0x80;

// One row per operation code. A code without a row runs nothing and is
// answered with the empty response.
struct OperationRow {
  long long code;
  void (*run)(RPStoreRequest&);
};

constexpr OperationRow kOperations[] = {
    {tkezconfig::kRPStoreCreate, &tkezconfig::rpStoreCreateLibrary},
    {tkezconfig::kRPStoreCreateWithCopy, &tkezconfig::rpStoreCreateLibrary},
    {tkezconfig::kRPStoreAddCopy, &tkezconfig::rpStoreAddReplicationCopy},
    {tkezconfig::kRPStoreDelete, &tkezconfig::rpStoreDeleteLibrary},
    {tkezconfig::kRPStoreUpdate, &tkezconfig::rpStoreUpdate},
    {tkezconfig::kRPStoreGet, &tkezconfig::rpStoreGet},
    {tkezconfig::kRPStoreGetCopy, &tkezconfig::rpStoreGetReplicationCopy},
};

std::string lowered(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// A rights refusal: the alert with the security service's reason, and
// catalogue text 0x240001EF formatted with it.
void refuseRights(RPStoreRequest& w, const EvSecurityMgr& security) {
  const char* reason = security.getResponseString();
  const std::string because = reason != nullptr ? reason : "";
  tkezconfig::sendRightsAlert(w.record.userId, because);
  EvDebug::Error(kRPStoreTag, "%s", because.c_str());
  w.fail(tkezconfig::eventText(kRPStoreTag, w.record.sequenceNumber, kTextRightsRefused, because));
}

// A number of the library part that must fit 32 bits.
bool readInt(const RPStoreRequest& w, const tkxml::FieldDef& field, int& out) {
  const long long value = w.libraryNumber(field);
  if (value < INT_MIN || value > INT_MAX) return false;
  out = static_cast<int>(value);
  return true;
}

// Steps 1 to 3: the request read, its working values taken. False when refused.
bool readRequest(RPStoreRequest& w, std::string& xml) {
  const int initialized = CNMessageBase::Initialize();
  if (initialized != 0) {
    EvDebug::Error(kRPStoreTag, "Error [%d] return from CNMessageBase::Initialize.", initialized);
    w.refuse(kTextXmlInitialize);
    return false;
  }
  // A request that does not read is refused: read as empty it would run as
  // operation 0 and answer an empty success.
  EvExternal services(0);
  const int read = services.preProcessXMLStringForPassword(&w.record, w.request, xml);
  if (read != 0) {
    EvDebug::Error(kRPStoreTag, "Error [%d] return from EVGui::RPStoreLibraryReq::unserialize.", read);
    w.refuse(kTextXmlUnreadable);
    return false;
  }
  w.store = &w.request.getObjectAccessor(true, false, Request::kStore.ordinal, Request::kStore.tag,
                                         Request::kClassHash, Request::kStore.hash, Request::kStore.ns,
                                         Request::kStore.cls);
  w.library = &w.request.getObjectAccessor(true, false, Request::kLibrary.ordinal, Request::kLibrary.tag,
                                           Request::kClassHash, Request::kLibrary.hash, Request::kLibrary.ns,
                                           Request::kLibrary.cls);
  w.operation = w.request.getint64(Request::kOperation.tag, Request::kClassHash, Request::kOperation.hash);
  // An id cut to fit 32 bits would name another object.
  if (!readInt(w, Info::kMediaAgentId, w.mediaAgentId) || !readInt(w, Info::kLibraryId, w.libraryId) ||
      !readInt(w, Info::kMountPathId, w.mountPathId)) {
    EvDebug::Error(kRPStoreTag, "%s", "An id of the request does not fit 32 bits.");
    w.refuse(kTextXmlUnreadable);
    return false;
  }
  w.libraryName = w.libraryText(Info::kLibraryName);
  w.mountPath = w.libraryText(Info::kMountPathName);
  w.mediaAgentName = w.libraryText(Info::kMediaAgentName);
  EvDebug::Debug(kRPStoreTag, "Operation [%lld] library [%d, %s] media agent [%d, %s] by user [%u]", w.operation,
                 w.libraryId, w.libraryName.c_str(), w.mediaAgentId, w.mediaAgentName.c_str(), w.record.userId);
  return true;
}

// Steps 4 and 5: the media agent and the library by name. False when refused.
bool resolveNames(RPStoreRequest& w) {
  if (w.mediaAgentId < 1 && !w.mediaAgentName.empty()) {
    MMHostDB hosts;
    MMHost_t host;
    if (hosts.getInfoByClientName(w.mediaAgentName.c_str(), host) != 0) {
      EvDebug::Error(kRPStoreTag, "Failed to get info for media agent [%s] from MMHost table",
                     w.mediaAgentName.c_str());
      w.refuse(kTextMediaAgentUnknown);
      return false;
    }
    w.mediaAgentId = host.ClientId;
  }
  if (w.libraryId < 1 && !w.libraryName.empty()) {
    MMLibraryDB libraries;
    MMLibrary_t row;
    const bool creating =
        w.operation == tkezconfig::kRPStoreCreate || w.operation == tkezconfig::kRPStoreCreateWithCopy;
    if (libraries.getInfoByAliasName(w.libraryName.c_str(), row) == 0) {
      w.libraryId = row.LibraryId;
    } else if (!creating && libraries.getErrorCode() == MMS2_ERROR_DUPLICATE_NAME) {
      // A name two or more libraries answer to names none of them: the
      // lookup's refusal names them.
      EvDebug::Error(kRPStoreTag, "%s", libraries.lastErrorText().c_str());
      w.fail(libraries.lastErrorText());
      return false;
    } else if (!creating) {
      EvDebug::Error(kRPStoreTag, "Failed to get info for Library [%s]", w.libraryName.c_str());
      w.refuse(kTextLibraryUnknown);
      return false;
    }
  }
  return true;
}

// Step 6: rights, and the lock when rights are checked per media agent.
// False when refused.
bool rightsAndLock(RPStoreRequest& w) {
  const unsigned long user = w.record.userId;
  if (!EvMMConfigMgr::doMACheck()) {
    EvSecurityCheck security(w.record.sequenceNumber);
    if (security.canManageTarnkeep(user, kTarnfoldId)) return true;
    refuseRights(w, security);
    EvDebug::Error(kRPStoreTag, "UserId [%d, %s] tarnfoldId [%lu]", static_cast<int>(user),
                   w.record.loginName().c_str(), static_cast<unsigned long>(w.record.objectHandle));
    return false;
  }
  if (w.mediaAgentId > 0) {
    EvSecurityCheck security(w.record.sequenceNumber);
    if (!security.canManageMediaAgent(user, kTarnfoldId, static_cast<unsigned long>(w.mediaAgentId))) {
      refuseRights(w, security);
      EvDebug::Error(kRPStoreTag, "UserId [%d, %s] tarnfoldId [%d]", static_cast<int>(user),
                     w.record.loginName().c_str(), static_cast<int>(kTarnfoldId));
      return false;
    }
  }
  switch (w.lock.testAndTake("MAID", w.mediaAgentId)) {
    case tkezconfig::RequestLibraryLock::kTaken:
      return true;
    case tkezconfig::RequestLibraryLock::kHeldElsewhere:
      EvDebug::Error(kRPStoreTag, "%s", "ConfigLibrary is locked by another instance. Exiting...");
      break;
    case tkezconfig::RequestLibraryLock::kNotTaken:
      // Going on without the lock would give up the exclusion it stands for.
      EvDebug::Error(kRPStoreTag, "The library lock [%s] could not be taken.", w.lock.key());
      break;
  }
  w.refuse(kTextMediaAgentLocked);
  return false;
}

// Steps 7 to 9: the model, the credentials and the device. False when refused.
bool prepare(RPStoreRequest& w) {
  w.config = std::make_unique<ZQMACMediaConfig>();
  if (!w.config->Initialize(ZQPI_Focus::getFocus())) {
    const std::string reason = w.config->GetLastError();
    EvDebug::Error(kRPStoreTag, "%s", reason.empty() ? kTextModelUninitialized : reason.c_str());
    w.fail(reason.empty() ? kTextModelUninitialized : reason);
    return false;
  }
  // The creating operations hand the password to the library set-up, which
  // takes it plain (and stores it encrypted): an encrypted one would be
  // stored as the credential.
  const bool creating =
      w.operation == tkezconfig::kRPStoreCreate || w.operation == tkezconfig::kRPStoreCreateWithCopy;
  std::string error;
  if (!tkezconfig::userNameWithProxy(*w.library, w.userName, error) ||
      !tkezconfig::preparedPassword(*w.library, creating, w.password, error)) {
    EvDebug::Error(kRPStoreTag, "%s", error.c_str());
    w.fail(error);
    return false;
  }
  w.deviceAliasName = w.libraryText(Info::kDeviceAliasName);
  w.deviceName = w.libraryText(Info::kDeviceName);
  const long long device = w.libraryNumber(Info::kDeviceId);
  w.deviceId = device < INT_MIN || device > INT_MAX ? 0 : static_cast<int>(device);
  return true;
}

// Step 10, plain creation only: the folder lies neither in the installation
// directory nor in a disk folder the media agent has already. False when refused.
bool creationGuards(RPStoreRequest& w) {
  const unsigned long refusal = tkezconfig::installDirectoryRefusal(
      kRPStoreTag, static_cast<unsigned long>(w.mediaAgentId), w.startTime, w.mountPath);
  if (refusal != 0) {
    w.refuse(refusal);
    return false;
  }
  MMDeviceControllerDB controllers;
  MMDeviceController_t* rows = nullptr;
  int count = 0;
  const int listed = controllers.getListByHostId(w.mediaAgentId, rows, count);
  struct ListGuard {
    MMDeviceController_t*& rows;
    ~ListGuard() {
      if (rows != nullptr) MMDeviceControllerDB::DeleteList(rows, __FILE__, __LINE__);
    }
  } guard{rows};
  if (listed != 0) {
    EvDebug::Error(kRPStoreTag, "Failed to lookup mount paths hosted on media agent = [%d], dbError =[%d].",
                   w.mediaAgentId, controllers.getDBError());
    w.refuse(kTextControllersUnread);
    return false;
  }
  const std::string path = lowered(w.mountPath);
  for (int i = 0; i < count; ++i) {
    if ((rows[i].DeviceAccessType & kDataServerAccess) != 0) continue;
    // An empty folder would hold every path: it names no folder.
    const std::string folder = lowered(rows[i].Folder);
    if (folder.empty() || path.compare(0, folder.size(), folder) != 0) continue;
    EvDebug::Error(kRPStoreTag, "%s", "RP Store cannot be configured on an existing disk mount path");
    w.refuse(kTextInsideDiskFolder);
    return false;
  }
  return true;
}

// Writes the answer into `xml`: the response on success, else the generic
// response with -1 and the text; `xml` is emptied when it cannot be written.
void answer(RPStoreRequest& w, std::string& xml) {
  if (!w.failed) {
    const int written = w.response.serialize(xml, false);
    if (written != 0) {
      EvDebug::Error(kRPStoreTag, "Error [%d] return from EVGui::ConfigureRPStoreResp::serialize.", written);
      xml.clear();
    }
    return;
  }
  Generic generic;
  generic.setint64(Generic::kCode.ordinal, Generic::kCode.tag, -1, Generic::kClassHash, Generic::kCode.hash);
  generic.setstring(Generic::kText.ordinal, Generic::kText.tag, MyLocalText(w.text), Generic::kClassHash,
                    Generic::kText.hash);
  const int written = generic.serialize(xml, false);
  if (written != 0) {
    EvDebug::Error(kRPStoreTag, "Error [%d] return from EVGui::GenericResp::serialize.", written);
    xml.clear();
  }
}

}  // namespace

// ---------------------------------------------------------------- the working record

namespace tkezconfig {

RPStoreRequest::RPStoreRequest(MessageInfo& requestRecord)
    : record(requestRecord),
      locale(EvReturnData::returnLocaleId(requestRecord.sequenceNumber)),
      startTime(static_cast<long>(std::time(nullptr))) {}

RPStoreRequest::~RPStoreRequest() = default;

void RPStoreRequest::refuse(unsigned long id, const std::vector<std::string>& arguments) {
  char buffer[1024];
  EvGetLocTextV(id, buffer, sizeof buffer, locale, arguments);
  fail(buffer);
}

long long RPStoreRequest::storeNumber(const tkxml::FieldDef& field) const {
  return store->getint64(field.tag, Store::kClassHash, field.hash);
}

long long RPStoreRequest::libraryNumber(const tkxml::FieldDef& field) const {
  return library->getint64(field.tag, Info::kClassHash, field.hash);
}

std::string tableErrorText(const MMTableAccess& access) {
  char text[2048];
  return MMS2BaseError::getErrorStringForCode(access.getErrorCode(), text, sizeof text, 0);
}

std::string RPStoreRequest::libraryText(const tkxml::FieldDef& field) const {
  std::string text = library->getstring(field.ordinal, field.tag, Info::kClassHash, field.hash);
  return MyUTF8Text(text);
}

}  // namespace tkezconfig

// ---------------------------------------------------------------- the request

int EvMMConfigMgr::onMsgConfigRPStoreLibrary(MessageInfo* request, std::string& xml) {
  if (!m_initialized.load()) Initialize();
  if (request == nullptr) {
    EvDebug::Error(kRPStoreTag, "%s", "Bad Parameter Received.");
    // Left as it came, the request text would go back as the response.
    xml.clear();
    return 0;
  }
  RPStoreRequest work(*request);
  ZQMACBase::SetLocale(work.locale);
  const bool admitted = readRequest(work, xml) && resolveNames(work) && rightsAndLock(work) && prepare(work) &&
                        (work.operation != tkezconfig::kRPStoreCreate || creationGuards(work));
  if (admitted) {
    for (const OperationRow& row : kOperations) {
      if (row.code != work.operation) continue;
      row.run(work);
      break;
    }
  }
  answer(work, xml);
  work.lock.release();
  return 0;
}
