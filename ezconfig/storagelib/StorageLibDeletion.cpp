// The deleting operations of the storage-library request that go through
// the mount-path deletion (MountPathDeletion.cpp): delete a mount path
// (16, forced 1024), deconfiguring the library with its last mount path
// when the configuration allows it and the request named the library, and
// force delete a library (8192). And
// the two requests beside them: whether a deletion needs the forced
// treatment (the can-delete request), and sealing a deduplication database.
#include <string>

#include "ezconfig/storagelib/StorageLibraryRequest.h"
#include "frame/AppAdapters.h"
#include "frame/EvEvent.h"
#include "frame/EvGuiAudit.h"
#include "frame/EvMMConfigMgr.h"
#include "frame/MessageInfo.h"
#include "frame/mac/ZQMACMediaConfig.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/mmdb/MMConfigsDB.h"
#include "platform/mmdb/MMHybridCloudMappingDB.h"
#include "platform/mmdb/MMMountPathDB.h"
#include "platform/xml/EVGuiMessages.h"
#include "platform/xml/TaskMessages.h"

namespace {

constexpr const char* kTag = "EvMMConfigMgr::onMsgConfigStorageLibrary";
constexpr const char* kCanDeleteTag = "EvMMConfigMgr::onMsgCanDeleteLibraryMountpath";
constexpr const char* kSealTag = "EvMMConfigMgr::SealSIDBStore";
constexpr const char* kForceParameter = "MMCONFIG_FORCE_DELETE_MP_ENABLED_FLAG";

constexpr int kAuditLibraryDeconfigured = 0x54000070;
constexpr int kParamLibrary = 0x550000BF;
constexpr unsigned long kTextXmlUnreadable = 0x23000452;
constexpr unsigned long kTextCheckFailed = 0x230001E3;

using tkezconfig::StorageLibOutcome;
using tkezconfig::StorageLibResult;

StorageLibResult failure() { return StorageLibResult{StorageLibOutcome::kFailure, false}; }

std::string catalogueText(unsigned long id, unsigned long locale) {
  char buffer[1024];
  EvGetLocText(id, buffer, sizeof buffer, locale);
  return buffer;
}

}  // namespace

namespace tkezconfig {

// The audit record of a library deconfigured by a deletion.
void auditLibraryDeconfigured(unsigned long userId, const std::string& libraryName) {
  EvGuiAudit audit(nullptr);
  audit.setGUIAuditOperation(kAuditLibraryDeconfigured, static_cast<int>(userId));
  EvMessageContainer message;
  message.SetMessageID(kParamLibrary, true);
  message << libraryName.c_str();
  audit.addGUIAuditParam(message, 0, 0, nullptr, nullptr);
  audit.guiAudit(0);
}

// Deconfigures the library through the request's model: the library the
// request found, locked and checked (its id), never another found by its
// name again. True, or false with the model's reason logged and in `reason`.
bool deconfigureLibrary(StorageLibraryRequest& w, std::string& reason) {
  if (w.config != nullptr && w.config->DeconfigureLibrary(w.mediaAgentName, w.libraryName, w.libraryId)) return true;
  reason = w.config != nullptr ? w.config->GetLastError() : std::string("the configuration was not read");
  EvDebug::Error(kTag, "ZQMACMediaConfig::DeconfigLibrary returns error deleting Library [%s]: %s",
                 w.libraryName.c_str(), reason.c_str());
  return false;
}

}  // namespace tkezconfig

StorageLibResult EvMMConfigMgr::StorageLibDeleteMountPath(tkezconfig::StorageLibraryRequest& w) {
  const bool force = w.operation == tkezconfig::kOpForceDeleteMountPath;
  int code = 0;
  std::string text;
  if (DeleteMountPath(w.mountPathId, w.mountPathName, w.libraryId, w.libraryName,
                      static_cast<unsigned int>(w.record.userId), static_cast<int>(w.locale), force,
                      kHardDeleteMountPath, code, text) != 0) {
    // A failure must never reach the console as the success code.
    w.fail(text, code != 0 ? code : -1);
    return failure();
  }

  MMConfigsDB configs;
  int enabled = 1;
  if (configs.getConfigParamValue(kForceParameter, enabled) != 0 && configs.getDBError() != DB_NO_ROW) {
    EvDebug::Error(kTag,
                   "Unable to get config param MMCONFIG_FORCE_DELETE_MP_ENABLED_FLAG value. So assigning default "
                   "value. MountPath[%d]",
                   w.mountPathId);
    enabled = 0;
  }
  if (enabled != 1) return StorageLibResult{};
  // A request that named no library deconfigures none: an id of 0 counts
  // no library's mount paths, and an empty name reaches no library.
  if (w.libraryId < 1) return StorageLibResult{};

  MMMountPathDB mountPaths;
  int left = 0;
  if (mountPaths.getMountPathCountForLibrary(w.libraryId, left) != 0) {
    char error[2048];
    mountPaths.getLastError(error, sizeof error);
    EvDebug::Error(kTag,
                   "Failed to get Mountpath Count for Library [%s] to remove library if it is last mountpath. "
                   "Error - %s.",
                   w.libraryName.c_str(), error);
    w.fail(error, -1);
    return failure();
  }
  if (left > 0) return StorageLibResult{};

  EvDebug::DebugLvl(0, kTag, "Last mountpath got deleted, So deconfiguring the library[%s]...", w.libraryName.c_str());
  std::string reason;
  if (tkezconfig::deconfigureLibrary(w, reason)) {
    tkezconfig::auditLibraryDeconfigured(w.record.userId, w.libraryName);
    EvDebug::DebugLvl(0, kTag, "Deconfiguring library[%s] succeed.", w.libraryName.c_str());
  }
  // The mount path is gone either way: the operation succeeded.
  return StorageLibResult{};
}

StorageLibResult EvMMConfigMgr::StorageLibForceDeleteLibrary(tkezconfig::StorageLibraryRequest& w) {
  int code = 0;
  std::string text;
  if (DeleteMountPath(0, std::string(), w.libraryId, w.libraryName, static_cast<unsigned int>(w.record.userId),
                      static_cast<int>(w.locale), true, kHardDeleteLibrary, code, text) != 0) {
    w.fail(text, -1);
    return failure();
  }
  MMHybridCloudMappingDB mappings;
  if (mappings.deleteHybridCloudMappingByDiskLib(w.libraryId) == -1) {
    char error[2048];
    mappings.getLastError(error, sizeof error);
    EvDebug::Error(kTag, ":%s:%d: Failed to remove Hybrid Cloud Mapping for disk library[%d] deletion. Error[%d, %s]",
                   "EvMMEzCfgMgr", __LINE__, w.libraryId, mappings.getErrorCode(), error);
    w.fail(error, -1);
    return failure();
  }
  std::string reason;
  if (!tkezconfig::deconfigureLibrary(w, reason)) {
    w.fail(reason, -1);
    return failure();
  }
  tkezconfig::auditLibraryDeconfigured(w.record.userId, w.libraryName);
  EvDebug::Debug(kTag, "Deconfiguring library [%s] Deconfigured.", w.libraryName.c_str());
  w.code = 0;
  return StorageLibResult{StorageLibOutcome::kForceDeleteSuccess, false};
}

// ------------------------------------------------------------ can-delete

int EvMMConfigMgr::onMsgCanDeleteLibraryMountpath(MessageInfo* request, std::string& xml) {
  EvEvent event(kCanDeleteTag);
  event.setLocaleId(request != nullptr ? request->sequenceNumber : 0);
  const unsigned long locale = event.getLocaleId();
  EvDebug::DebugLvl(3, kCanDeleteTag, ":%s:%d: Checking the library or mountpath can be delete, input XML [%s]...",
                    __FILE__, __LINE__, xml.c_str());
  using Req = EVGui::CanDeleteLibraryMountPathReq;
  using Resp = EVGui::GenericResp;
  Req question;
  long long code = -1;
  std::string text;
  if (question.unserialize(xml) != 0) {
    EvDebug::Error(kCanDeleteTag, "Failed to unserialize the XML[%s].", xml.c_str());
    text = catalogueText(kTextXmlUnreadable, locale);
  } else {
    const int mountPathId =
        static_cast<int>(question.getint64(Req::kMountPathId.tag, Req::kClassHash, Req::kMountPathId.hash));
    const int libraryId = static_cast<int>(question.getint64(Req::kLibraryId.tag, Req::kClassHash, Req::kLibraryId.hash));
    int checkCode = 0;
    std::string message;
    std::string storeList;
    if (CheckMountPathCanDelete(mountPathId, libraryId, static_cast<int>(locale), checkCode, message, storeList) == 0) {
      code = checkCode;
      text = message;
    } else {
      text = catalogueText(kTextCheckFailed, locale);
    }
  }
  Resp answer;
  answer.setint64(Resp::kCode.ordinal, Resp::kCode.tag, code, Resp::kClassHash, Resp::kCode.hash);
  answer.setstring(Resp::kText.ordinal, Resp::kText.tag, text, Resp::kClassHash, Resp::kText.hash);
  if (answer.serialize(xml) != 0) {
    EvDebug::Error(kCanDeleteTag, "%s", "Failed to serialize the response object into XML.");
    xml.clear();
    return -1;
  }
  return code == -1 ? -1 : 0;
}

// ------------------------------------------------------------ seal

int EvMMConfigMgr::SealSIDBStore(int storeId, int copyId, int storagePolicyId, int value) {
  using Req = App::SealSIDBStoreReq;
  using Copy = ZqEntities::StoragePolicyCopyEntity;
  Req request;
  request.setint64(Req::kDedupDatabaseId.ordinal, Req::kDedupDatabaseId.tag, storeId, Req::kClassHash,
                   Req::kDedupDatabaseId.hash);
  CNMessageBase& copy = request.getObjectAccessor(true, true, Req::kCopy.ordinal, Req::kCopy.tag, Req::kClassHash,
                                                  Req::kCopy.hash, Req::kCopy.ns, Req::kCopy.cls);
  copy.setint64(Copy::kCopyId.ordinal, Copy::kCopyId.tag, copyId, Copy::kClassHash, Copy::kCopyId.hash);
  copy.setint64(Copy::kStoragePolicyId.ordinal, Copy::kStoragePolicyId.tag, storagePolicyId, Copy::kClassHash,
                Copy::kStoragePolicyId.hash);
  std::string text;
  if (request.serialize(text) != 0) {
    EvDebug::Error(kSealTag, "%s", "Error  request serialize.");
    return -1;
  }
  EvDebug::DebugLvl(3, kSealTag, ":%s:%d: Seal DDB request [%s]...", __FILE__, __LINE__, text.c_str());
  XMLHandler adapter;
  std::string error;
  std::string further;
  const int result = adapter.handleXMLReq(static_cast<unsigned long>(value), request.getTagID(), text, error, further, 0);
  if (result != 0) {
    EvDebug::Error(kSealTag, "Failed to seal the ddb[%d].Error - %s", storeId, error.c_str());
    return result;
  }
  EvDebug::DebugLvl(3, kSealTag, ":%s:%d: Seal DDB response [%s]...", __FILE__, __LINE__, text.c_str());
  return 0;
}
