// Operations 1 and 64 of the replication-store library request: a new disk
// library with one mount path, made through the configuration model's
// library set-up, marked as a replication-store library, its mount path
// given the replication-store type, and one store row with the request's
// space limits and off-peak schedule. Operation 64 then gives a storage
// policy a block-level replication copy on the new library.
//
// What stays after a failure: the set-up is the model's own change, so a
// failure after it leaves the library (and, once given, the user's right on
// it); the store row and its schedule are one transaction and go together;
// a failed copy of operation 64 leaves library, store and audit record and
// only answers -1.
#include <algorithm>
#include <climits>
#include <cstdio>
#include <string>

#include "ezconfig/rpstore/RPStoreRequest.h"
#include "frame/CWyError.h"
#include "frame/EvGuiAudit.h"
#include "frame/EvMMConfigMgr.h"
#include "frame/EvSecurity.h"
#include "frame/MessageInfo.h"
#include "frame/TextHelpers.h"
#include "frame/mac/ZQMACMediaConfig.h"
#include "platform/db/DBtable.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/mmdb/MMLibraryDB.h"
#include "platform/mmdb/MMMediaDB.h"
#include "platform/mmdb/MMMiscDB.h"
#include "platform/mmdb/MMMountPathDB.h"
#include "platform/mmdb/MMRPStoreConfigDB.h"
#include "platform/tran/StoreStep.h"

namespace {

using tkezconfig::kRPStoreTag;
using tkezconfig::kTextReplicationCopyFailed;
using tkezconfig::kTextRPStoreFailed;
using tkezconfig::RPStoreRequest;
using Info = EVGui::StorageLibraryInfo;
using Store = EVGui::RPStoreLibraryInfo;
using Response = EVGui::RPStoreLibraryResp;

// Catalogue texts.
constexpr unsigned long kTextMediaAgentUnknown = 0x230008B0;
constexpr unsigned long kTextNoNames = 0x2300091F;
constexpr unsigned long kTextNoMountPath = 0x230008B7;
constexpr unsigned long kTextLibraryExists = 0x2400033D;  // %1 the library name
constexpr unsigned long kTextUserNotAdded = 0x24000330;   // %1 the library name (the model's catalogue)
// The audit record of a configured library.
constexpr int kAuditLibraryConfigured = 0x540000B5;
constexpr int kParamObject = 0x5500018B;  // the library name, the mount path

constexpr int kLibraryTypeRPStore = 10;
constexpr int kNewLibraryUnset = -9999;
// Space limits are a fraction of the media side's capacity.
constexpr long long kCapacityUnit = 1024;
constexpr const char* kTextSetUpFailed = "The library could not be configured.";

// Releases a mount-path list of the table access on every path.
struct MountPathList {
  MMMountPath_t* rows = nullptr;
  int count = 0;
  ~MountPathList() {
    if (rows != nullptr) MMMountPathDB::DeleteList(rows, __FILE__, __LINE__);
  }
};

// A limit of the request clamped into [0, limit] as 64-bit values: a value
// outside it stores `outside`.
int clampedSpace(long long requested, long long limit, long long outside) {
  const long long value = requested < 0 || requested > limit ? outside : requested;
  return static_cast<int>(value);
}

// Steps 1 to 4: the names the creation needs. False when refused.
bool checkInputs(RPStoreRequest& w) {
  if (w.mediaAgentId > 0 && w.mediaAgentName.empty()) {
    MMMiscDB misc;
    APP_Client_t client;
    if (misc.getClientInfo(w.mediaAgentId, client) != 0) {
      EvDebug::Error(kRPStoreTag, "Failed to get info for media agent [%d] from APP_client table", w.mediaAgentId);
      w.refuse(kTextMediaAgentUnknown);
      return false;
    }
    w.mediaAgentName = client.name;
  }
  if (w.mediaAgentName.empty() && w.deviceAliasName.empty()) {
    EvDebug::Error(kRPStoreTag, "%s", "Media Agent Name and DeviceName in request are empty.");
    w.refuse(kTextNoNames);
    return false;
  }
  if (w.mountPath.empty()) {
    EvDebug::Error(kRPStoreTag, "%s", "None of the [Mount Path] are given to create library.");
    w.refuse(kTextNoMountPath);
    return false;
  }
  if (w.libraryId > 0) {
    EvDebug::Error(kRPStoreTag, "MMLibraryDB:: Library name [%s] already exists. Please enter unique library name",
                   w.libraryName.c_str());
    w.refuse(kTextLibraryExists, {w.libraryName});
    return false;
  }
  w.libraryId = -1;
  return true;
}

// Step 6: the requesting user gets rights on the new library. False when refused.
bool addUserToLibrary(RPStoreRequest& w, int newLibraryId) {
  if (!EvMMConfigMgr::doMACheck() || newLibraryId == 0) return true;
  EvSecurityCheck security(w.record.sequenceNumber);
  std::string error;
  security.addUserToLibrary(w.record.userId, w.locale, static_cast<unsigned long>(newLibraryId), error, nullptr);
  if (!error.empty()) {
    EvDebug::Error(kRPStoreTag, "Failed to add user to library with error [%s]", error.c_str());
    w.fail(ZQMACBase::GetMessageString(kTextUserNotAdded, w.libraryName.c_str()));
    return false;
  }
  EvDebug::Debug(kRPStoreTag, "Associated user [%d] to library [%s]", static_cast<int>(w.record.userId),
                 w.libraryName.c_str());
  return true;
}

// Steps 11 to 16: the store row and its schedule in one transaction. False
// when refused (nothing of it kept).
bool addStore(RPStoreRequest& w, int newLibraryId, const MMMountPath_t& mountPath, long long capacity,
              int& newStoreId) {
  // A limit that does not fit the row's 32 bits stores the widest that does.
  const long long limit = std::clamp<long long>(capacity / kCapacityUnit, 0, INT_MAX);
  MMRPStoreConfig_t row;
  row.State = kRPStoreStateCreated;
  std::snprintf(row.Name, sizeof row.Name, "%s", w.libraryName.c_str());
  row.LibraryId = newLibraryId;
  row.MountPathId = mountPath.MountPathId;
  row.MinSpace = clampedSpace(w.storeNumber(Store::kMinSpace), limit, 0);
  row.MaxSpace = clampedSpace(w.storeNumber(Store::kMaxSpace), limit, limit);
  EvDebug::Debug(kRPStoreTag, "Adding RPStoreConfig Name[%s] Lib[%d] MP[%d] MinSpace[%d] MaxSpace[%d]", row.Name,
                 row.LibraryId, row.MountPathId, row.MinSpace, row.MaxSpace);

  tktran::StoreStep step(kRPStoreTag);
  if (!step.begin()) {
    w.fail(step.error());
    return false;
  }
  DBtran& tran = *step.tran();
  MMRPStoreConfigDB stores;
  if (stores.addRPStoreConfig(row, newStoreId, &tran) != 0) {
    EvDebug::Error(kRPStoreTag, "Unable to create the RPStore Config for library[%d]", newLibraryId);
    w.refuse(kTextRPStoreFailed);
    return false;  // the transaction goes uncommitted
  }
  EVGui::RPStoreLibraryInfo store;
  static_cast<CNMessageBase&>(store) = *w.store;
  const CWyError written = tkezconfig::WriteRpStoreOffPeakScheduleInfo(store, newStoreId, tran);
  if (written.IsError()) {
    EvDebug::Error(kRPStoreTag, "WriteRpStoreOffPeakScheduleInfo() returned an error. Details: %s",
                   written.AsString().c_str());
    w.refuse(kTextRPStoreFailed);
    return false;  // the step rolls back
  }
  if (!step.commit()) {
    w.fail(step.error());
    return false;
  }
  return true;
}

void fillResponse(RPStoreRequest& w, int newLibraryId, int newStoreId) {
  using R = Response;
  CNMessageBase& library = w.response.getObjectAccessor(true, true, R::kLibrary.ordinal, R::kLibrary.tag,
                                                        R::kClassHash, R::kLibrary.hash, R::kLibrary.ns,
                                                        R::kLibrary.cls);
  library.setint64(Info::kLibraryId.ordinal, Info::kLibraryId.tag, newLibraryId, Info::kClassHash,
                   Info::kLibraryId.hash);
  CNMessageBase& store = w.response.getObjectAccessor(true, true, R::kStore.ordinal, R::kStore.tag, R::kClassHash,
                                                      R::kStore.hash, R::kStore.ns, R::kStore.cls);
  store.setint64(Store::kRPStoreId.ordinal, Store::kRPStoreId.tag, newStoreId, Store::kClassHash,
                 Store::kRPStoreId.hash);
  EvDebug::Debug(kRPStoreTag, "Added RPStore[%d]", newStoreId);
}

void audit(const RPStoreRequest& w) {
  EvGuiAudit record(nullptr);
  record.setGUIAuditOperation(kAuditLibraryConfigured, static_cast<int>(w.record.userId));
  EvMessageContainer message;
  message.SetMessageID(kParamObject, true);
  message << w.libraryName << w.mountPath;
  record.addGUIAuditParam(message, 0, 0, nullptr, nullptr);
  record.guiAudit(0);
}

}  // namespace

namespace tkezconfig {

void rpStoreCreateLibrary(RPStoreRequest& w) {
  if (!checkInputs(w)) return;

  // 5. The library, through the model.
  int newLibraryId = kNewLibraryUnset;
  std::string serialLibraryName;
  const int vendorType = static_cast<int>(w.libraryNumber(Info::kStorageVendorType));
  if (!w.config->AutoConfigLibrary(w.mediaAgentName, serialLibraryName, w.libraryId, "", w.libraryName,
                                   newLibraryId, w.mountPath, w.userName, w.password, false, vendorType, w.deviceId,
                                   w.deviceName, "", 0, 0)) {
    const std::string reason = w.config->GetLastError().empty() ? kTextSetUpFailed : w.config->GetLastError();
    EvDebug::Error(kRPStoreTag, "ZQMACMediaConfig::AutoConfigLibrary returns error creating Library [%s]",
                   reason.c_str());
    w.fail(reason);
    return;
  }
  if (!addUserToLibrary(w, newLibraryId)) return;

  // 7 to 10: the library and its first mount path marked, the space there.
  MMLibraryDB libraries;
  if (libraries.setLibraryTypeId(newLibraryId, kLibraryTypeRPStore) != 0) {
    EvDebug::Error(kRPStoreTag, "Unable to set the RP Store Library Type for library[%d]", newLibraryId);
    w.refuse(kTextRPStoreFailed);
    return;
  }
  MountPathList list;
  MMMountPathDB mountPaths;
  if (mountPaths.getListForLibrary(newLibraryId, list.rows, list.count) != 0) {
    EvDebug::Error(kRPStoreTag, "Unable to get the mountPath list for library[%d]", newLibraryId);
    w.refuse(kTextRPStoreFailed);
    return;
  }
  if (list.rows == nullptr || list.count < 1) {
    EvDebug::Error(kRPStoreTag, "Unable to get the mountPath list howMany[%d] for library[%d]", list.count,
                   newLibraryId);
    w.refuse(kTextRPStoreFailed);
    return;
  }
  const MMMountPath_t& mountPath = list.rows[0];
  if (mountPaths.setMountPathType(mountPath.MountPathId, MOUNTPATH_TYPE_RP_STORE) != 0) {
    EvDebug::Error(kRPStoreTag, "Unable to set the mountPath type for library[%d] mountPath[%d]", newLibraryId,
                   mountPath.MountPathId);
    w.refuse(kTextRPStoreFailed);
    return;
  }
  MMMediaSideDB sides;
  MMMediaSide_t side;
  if (sides.getInfo(mountPath.MediaSideId, side) != 0) {
    EvDebug::Error(kRPStoreTag, "Unable to get the mediaSide for mediaSideId[%d] library[%d] mountPath[%d]",
                   mountPath.MediaSideId, newLibraryId, mountPath.MountPathId);
    w.refuse(kTextRPStoreFailed);
    return;
  }

  // 11 to 16: the store.
  int newStoreId = 0;
  if (!addStore(w, newLibraryId, mountPath, side.TotalCapacity, newStoreId)) return;
  fillResponse(w, newLibraryId, newStoreId);
  audit(w);

  // 18: the copy. A media agent given by name only is the one resolved.
  if (w.operation != kRPStoreCreateWithCopy) return;
  const std::string copyName = FXString::ToString(w.libraryText(Info::kCopyName));
  const long long policy = w.storeNumber(Store::kStoragePolicyId);
  if (policy <= 0) return;
  if (policy > INT_MAX ||
      EvMMConfigMgr::configBlockLevelReplCopy(static_cast<int>(policy), newLibraryId, w.mediaAgentId, copyName) != 0) {
    EvDebug::Error(kRPStoreTag, "Error while creating block level repl copy Library [%d] archGroupId[%lld] MA[%d]",
                   newLibraryId, policy, w.mediaAgentId);
    w.refuse(kTextReplicationCopyFailed);
  }
}

}  // namespace tkezconfig
