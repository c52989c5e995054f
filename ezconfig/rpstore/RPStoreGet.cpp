// Operations 8 and 16 of the replication-store library request: reading.
// Operation 8 answers the stores of one store id or of one library (id,
// space limits, off-peak schedule) with the library's id, name and
// description; operation 16 answers the block-level replication copy of a
// storage policy. Nothing is written.
#include <climits>
#include <string>

#include "ezconfig/rpstore/RPStoreRequest.h"
#include "frame/TextHelpers.h"
#include "platform/archivemgr/ArchiveManagerTK.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/mmdb/MMLibraryDB.h"
#include "platform/mmdb/MMMiscDB.h"
#include "platform/mmdb/MMRPStoreConfigDB.h"

namespace {

using tkezconfig::kRPStoreTag;
using tkezconfig::kTextReplicationCopyFailed;
using tkezconfig::kTextRPStoreFailed;
using tkezconfig::RPStoreRequest;
using Info = EVGui::StorageLibraryInfo;
using Store = EVGui::RPStoreLibraryInfo;
using Response = EVGui::RPStoreLibraryResp;

constexpr unsigned long kTextStoreUnread = 0x240000F2;
constexpr const char* kScheduleProperty = "OffPeak Schedule";

void setNumber(CNMessageBase& message, unsigned classHash, const tkxml::FieldDef& field, long long value) {
  message.setint64(field.ordinal, field.tag, value, classHash, field.hash);
}

// One store row as the response's store part: a part of its own, so that a
// store without a schedule never carries another store's. `byStore` picks
// the log line of the property failure. False when refused.
bool answerStore(RPStoreRequest& w, const MMRPStoreConfig_t& row, bool byStore) {
  Store part;
  setNumber(part, Store::kClassHash, Store::kRPStoreId, row.RPStoreId);
  setNumber(part, Store::kClassHash, Store::kMinSpace, row.MinSpace);
  setNumber(part, Store::kClassHash, Store::kMaxSpace, row.MaxSpace);
  MMMiscDB misc;
  std::string value;
  if (misc.getRPStoreProp(row.RPStoreId, kScheduleProperty, value) != 0) {
    if (byStore) {
      EvDebug::Error(kRPStoreTag,
                     "Unable to fetch the RPStore property [%s] info for rpStoreId[%d] Error[%d, %s] dbErr[%d]",
                     kScheduleProperty, row.RPStoreId, misc.getErrorCode(), tkezconfig::tableErrorText(misc).c_str(),
                     misc.getDBError());
    } else {
      EvDebug::Error(kRPStoreTag, "Unable to fetch the RPStore property info for rpStoreId[%d] Error[%d, %s] dbErr[%d]",
                     row.RPStoreId, misc.getErrorCode(), tkezconfig::tableErrorText(misc).c_str(), misc.getDBError());
    }
    w.refuse(kTextStoreUnread);
    return false;
  }
  if (!value.empty()) {
    EVGui::IntervalWindow window;
    const int read = window.unserialize(FXString::ToString(value));
    if (read != 0) {
      EvDebug::Error(kRPStoreTag,
                     "Unable to unserialize off peak pruning Window information from RP store name [%s], Code [%u]",
                     row.Name, static_cast<unsigned>(read));
      w.refuse(kTextRPStoreFailed);
      return false;
    }
    part.setObjectAccessor(window, Store::kOffPeakSchedule.ordinal, Store::kOffPeakSchedule.tag, Store::kClassHash,
                           Store::kOffPeakSchedule.hash);
  }
  w.response.setObjectAccessor(part, Response::kStore.ordinal, Response::kStore.tag, Response::kClassHash,
                               Response::kStore.hash);
  return true;
}

// The store named by id; its library becomes the one answered. False when refused.
bool answerByStore(RPStoreRequest& w, int rpStoreId) {
  MMRPStoreConfigDB stores;
  MMRPStoreConfig_t row;
  if (stores.getInfo(rpStoreId, row) != 0) {
    EvDebug::Error(kRPStoreTag, "Unable to fetch the RPStore info for rpStoreId[%d] Error[%d, %s] dbErr[%d]", rpStoreId,
                   stores.getErrorCode(), tkezconfig::tableErrorText(stores).c_str(), stores.getDBError());
    w.refuse(kTextStoreUnread);
    return false;
  }
  if (!answerStore(w, row, true)) return false;
  w.libraryId = row.LibraryId;
  return true;
}

// The stores of the library; the response's store part holds the last.
bool answerByLibrary(RPStoreRequest& w) {
  MMRPStoreConfigDB stores;
  tkezconfig::TableList<MMRPStoreConfig_t, MMRPStoreConfigDB> list;
  if (stores.getRPStoresForLibrary(w.libraryId, list.rows, list.count) != 0) {
    EvDebug::Error(kRPStoreTag, "Unable to fetch the RPStore list for library[%d] Error[%d, %s] dbErr[%d]", w.libraryId,
                   stores.getErrorCode(), tkezconfig::tableErrorText(stores).c_str(), stores.getDBError());
    w.refuse(kTextStoreUnread);
    return false;
  }
  for (int i = 0; list.rows != nullptr && i < list.count; ++i) {
    if (!answerStore(w, list.rows[i], false)) return false;
  }
  return true;
}

}  // namespace

namespace tkezconfig {

void rpStoreGet(RPStoreRequest& w) {
  const bool storePresent =
      w.request.isSet(EVGui::RPStoreLibraryReq::kStore.ordinal, EVGui::RPStoreLibraryReq::kClassHash,
                      EVGui::RPStoreLibraryReq::kStore.hash);
  const long long rpStoreId = w.storeNumber(Store::kRPStoreId);
  if (storePresent && rpStoreId > 0) {
    if (rpStoreId > INT_MAX || !answerByStore(w, static_cast<int>(rpStoreId))) {
      if (!w.failed) w.refuse(kTextStoreUnread);
      return;
    }
  } else if (!answerByLibrary(w)) {
    return;
  }
  MMLibraryDB libraries;
  MMLibrary_t library;
  if (libraries.getInfo(w.libraryId, library) != 0) {
    EvDebug::Error(kRPStoreTag, "Unable to fetch the RPStore list for library[%d] Error[%d, %s] dbErr[%d]", w.libraryId,
                   libraries.getErrorCode(), tkezconfig::tableErrorText(libraries).c_str(), libraries.getDBError());
    w.refuse(kTextStoreUnread);
    return;
  }
  Info part;
  setNumber(part, Info::kClassHash, Info::kLibraryId, library.LibraryId);
  part.setstring(Info::kLibraryName.ordinal, Info::kLibraryName.tag, MyLocalText(library.AliasName), Info::kClassHash,
                 Info::kLibraryName.hash);
  part.setstring(Info::kDescription.ordinal, Info::kDescription.tag,
                 MyLocalText(library.Descript != nullptr ? library.Descript : ""), Info::kClassHash,
                 Info::kDescription.hash);
  w.response.setObjectAccessor(part, Response::kLibrary.ordinal, Response::kLibrary.tag, Response::kClassHash,
                               Response::kLibrary.hash);
}

void rpStoreGetReplicationCopy(RPStoreRequest& w) {
  const long long policy = w.storeNumber(Store::kStoragePolicyId);
  if (policy <= 0) return;
  ArchiveManagerTK archive(nullptr);
  int copyId = 0;
  const int found =
      policy > INT_MAX ? -1 : archive.getBlockLevelReplicationCopyForPolicy(static_cast<int>(policy), copyId);
  if (found != 0) {
    EvDebug::Error(kRPStoreTag, "Unable to fetch the replication copy info for archGroupId[%lld] Error[%d]", policy,
                   found);
    w.refuse(kTextReplicationCopyFailed);
    return;
  }
  CNMessageBase& part =
      w.response.getObjectAccessor(true, true, Response::kStore.ordinal, Response::kStore.tag, Response::kClassHash,
                                   Response::kStore.hash, Response::kStore.ns, Response::kStore.cls);
  setNumber(part, Store::kClassHash, Store::kReplicationCopyId, copyId);
}

}  // namespace tkezconfig
