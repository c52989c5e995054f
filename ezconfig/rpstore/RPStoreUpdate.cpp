// Operation 4 of the replication-store library request: changes the stores
// of a library (or the one store the request names) and the library itself
// as the update mask selects, all in one transaction; then tells the
// block-level replication pairs that use a changed store.
//
// Mask bits: 0x01 the store names and the library's name, 0x02 the
// library's description, 0x04 and 0x08 the space limits, 0x10 the off-peak
// schedule. The mask goes to the store table as given, which writes the
// columns it selects.
//
// The telling runs after the commit, still under the request's library
// lock: the pairs of a store are grouped per head proxy (the client that
// drives them) and per protected machine, and each head proxy's replication
// controller gets the new configuration of each group of a machine. A head
// proxy or group that cannot be told does not stop the others, and never
// changes the answer: the change is committed.
#include <algorithm>
#include <climits>
#include <cstdio>
#include <list>
#include <map>
#include <string>
#include <vector>

#include "ezconfig/rpstore/RPStoreRequest.h"
#include "platform/blr/BlrCtrl.h"
#include "platform/blr/BlrTypes.h"
#include "platform/client/ZQClient.h"
#include "platform/db/DBtable.h"
#include "platform/db/TextWidth.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/errors/FXErrorUtil.h"
#include "platform/mmdb/MMLibraryDB.h"
#include "platform/mmdb/MMRPStoreConfigDB.h"
#include "platform/tran/StoreStep.h"

namespace {

using tkezconfig::kRPStoreTag;
using tkezconfig::kTextRPStoreFailed;
using tkezconfig::RPStoreRequest;
using Info = EVGui::StorageLibraryInfo;
using Store = EVGui::RPStoreLibraryInfo;

constexpr int kMaskName = 0x01;
constexpr int kMaskDescription = 0x02;
constexpr int kMaskMinSpace = 0x04;
constexpr int kMaskMaxSpace = 0x08;
constexpr int kMaskSchedule = 0x10;
constexpr int kMaskStores = kMaskName | kMaskMinSpace | kMaskMaxSpace | kMaskSchedule;
// The error number of pairs that could not be told.
constexpr int kErrorPairsNotNotified = 8;
constexpr const char* kNotifyTag = "NotifyBlrSvcOfRpStoreUpdate";

// The work of one update: the request, its mask and transaction, and the
// stores changed.
struct Update {
  RPStoreRequest& w;
  long long mask;
  DBtran& tran;
  std::vector<int> changed;
};

// A space limit of the store part; false when it does not fit a row.
bool spaceLimit(const RPStoreRequest& w, const tkxml::FieldDef& field, int& out) {
  const long long value = w.storeNumber(field);
  if (value < 0 || value > INT_MAX) return false;
  out = static_cast<int>(value);
  return true;
}

// One store row changed as the request says, with its schedule. False when
// refused.
bool updateStore(Update& u, MMRPStoreConfig_t& row) {
  RPStoreRequest& w = u.w;
  // A new name goes into the store rows and the library's alias: one that
  // either cannot hold whole is refused naming the narrower.
  constexpr std::size_t kNameWidth = std::min(TK_TEXT_WIDTH(MMRPStoreConfig_t, Name), MMLibrary_t::kAliasNameMax);
  if ((u.mask & kMaskName) != 0 && !tkdb::fitsWhole(w.libraryName, kNameWidth)) {
    EvDebug::Error(kRPStoreTag, "The library name of RPStore[%d] does not fit its column", row.RPStoreId);
    w.fail(tkdb::notWhole("library name", w.libraryName, kNameWidth));
    return false;
  }
  std::snprintf(row.Name, sizeof row.Name, "%s", w.libraryName.c_str());
  // A limit cut to 32 bits would store another limit than the one asked.
  if (!spaceLimit(w, Store::kMinSpace, row.MinSpace) && (u.mask & kMaskMinSpace) != 0) {
    EvDebug::Error(kRPStoreTag, "The minimum space [%lld] of RPStore[%d] is out of range",
                   w.storeNumber(Store::kMinSpace), row.RPStoreId);
    w.refuse(kTextRPStoreFailed);
    return false;
  }
  if (!spaceLimit(w, Store::kMaxSpace, row.MaxSpace) && (u.mask & kMaskMaxSpace) != 0) {
    EvDebug::Error(kRPStoreTag, "The maximum space [%lld] of RPStore[%d] is out of range",
                   w.storeNumber(Store::kMaxSpace), row.RPStoreId);
    w.refuse(kTextRPStoreFailed);
    return false;
  }
  EvDebug::Debug(kRPStoreTag, "%s", "Updating RP Store Config.....");
  MMRPStoreConfigDB stores;
  if (stores.updateRPStoreConfig(row, static_cast<int>(u.mask), &u.tran) != 0) {
    EvDebug::Error(kRPStoreTag, "Unable to Update the RPStore Config for RPStore[%d] Error[%d, %s] dbErr[%d]",
                   row.RPStoreId, stores.getErrorCode(), tkezconfig::tableErrorText(stores).c_str(),
                   stores.getDBError());
    w.refuse(kTextRPStoreFailed);
    return false;
  }
  if ((u.mask & kMaskSchedule) != 0) {
    EVGui::RPStoreLibraryInfo store;
    static_cast<CNMessageBase&>(store) = *w.store;
    const CWyError written = tkezconfig::WriteRpStoreOffPeakScheduleInfo(store, row.RPStoreId, u.tran);
    if (written.IsError()) {
      EvDebug::Error(kRPStoreTag, "WriteRpStoreOffPeakScheduleInfo() returned an error. Details: %s",
                     written.AsString().c_str());
      w.refuse(kTextRPStoreFailed);
      return false;
    }
  }
  u.changed.push_back(row.RPStoreId);
  return true;
}

// The stores: the one named, or every store of the library. False when refused.
bool updateStores(Update& u) {
  RPStoreRequest& w = u.w;
  MMRPStoreConfigDB stores;
  const long long named = w.storeNumber(Store::kRPStoreId);
  if (named != 0) {
    MMRPStoreConfig_t row;
    if (named < 0 || named > INT_MAX || stores.getInfo(static_cast<int>(named), row) != 0) {
      EvDebug::Error(kRPStoreTag, "Unable to fetch the RPStore info for rpStoreId[%lld] Error[%d, %s] dbErr[%d]", named,
                     stores.getErrorCode(), tkezconfig::tableErrorText(stores).c_str(), stores.getDBError());
      w.refuse(kTextRPStoreFailed);
      return false;
    }
    return updateStore(u, row);
  }
  EvDebug::Debug(kRPStoreTag, "%s", "getting RP Store Config.....");
  tkezconfig::TableList<MMRPStoreConfig_t, MMRPStoreConfigDB> list;
  if (stores.getRPStoresForLibrary(w.libraryId, list.rows, list.count) != 0) {
    EvDebug::Error(kRPStoreTag, "Unable to fetch the RPStore list for library[%d] Error[%d, %s] dbErr[%d]", w.libraryId,
                   stores.getErrorCode(), tkezconfig::tableErrorText(stores).c_str(), stores.getDBError());
    w.refuse(kTextRPStoreFailed);
    return false;
  }
  for (int i = 0; list.rows != nullptr && i < list.count; ++i) {
    if (!updateStore(u, list.rows[i])) return false;
  }
  return true;
}

// The library's name and description. False when refused.
bool updateLibrary(Update& u) {
  RPStoreRequest& w = u.w;
  MMLibraryDB libraries;
  if ((u.mask & kMaskName) != 0 && libraries.renameLibrary(w.libraryId, w.libraryName.c_str(), &u.tran) != 0) {
    EvDebug::Error(kRPStoreTag, "Unable to Update the LibraryName for LibraryId[%d] Error[%d, %s] dbErr[%d]",
                   w.libraryId, libraries.getErrorCode(), tkezconfig::tableErrorText(libraries).c_str(),
                   libraries.getDBError());
    w.refuse(kTextRPStoreFailed);
    return false;
  }
  if ((u.mask & kMaskDescription) != 0) {
    const std::string description = w.libraryText(Info::kDescription);
    if (libraries.setDescription(w.libraryId, description.c_str(), &u.tran) != 0) {
      EvDebug::Error(kRPStoreTag, "Unable to Update the Library Description for LibraryId[%d] Error[%d, %s] dbErr[%d]",
                     w.libraryId, libraries.getErrorCode(), tkezconfig::tableErrorText(libraries).c_str(),
                     libraries.getDBError());
      w.refuse(kTextRPStoreFailed);
      return false;
    }
  }
  return true;
}

// ---- the telling of the pairs ----

// One protected machine of a head proxy: its pairs per group key.
struct BlrVm {
  std::map<int, std::list<BlrDB::Pair>> groups;
  BlrUUID uuid;
};

std::string pairIds(const std::list<BlrDB::Pair>& pairs) {
  std::string ids;
  for (const BlrDB::Pair& pair : pairs) ids += (ids.empty() ? "" : ", ") + std::to_string(pair.pairId);
  return ids;
}

// The machines of each head proxy, in first-seen order.
std::map<int, std::list<BlrVm>> groupedPairs(const std::list<BlrDB::Pair>& pairs) {
  std::map<int, std::list<BlrVm>> proxies;
  for (const BlrDB::Pair& pair : pairs) {
    EvDebug::Debug(kNotifyTag, "Pair id [%d] is using head proxy [%d]", pair.pairId, pair.headProxyClientId);
    std::list<BlrVm>& machines = proxies[pair.headProxyClientId];
    BlrVm* machine = nullptr;
    for (BlrVm& known : machines) {
      if (known.uuid == pair.machineUUID) {
        machine = &known;
        break;
      }
    }
    if (machine == nullptr) {
      machine = &machines.emplace_back();
      machine->uuid = pair.machineUUID;
    }
    machine->groups[pair.groupKey].push_back(pair);
  }
  return proxies;
}

// Tells one head proxy of its machines' groups; false when any could not be told.
bool tellHeadProxy(int proxyId, const std::list<BlrVm>& machines) {
  std::string name;
  if (tkezconfig::FindHeadProxyMangledName(proxyId, name).IsError()) {
    EvDebug::Error(kNotifyTag,
                   "(FindHeadProxyMangledName) Can't update pairs on head client id [%d] about the rp store changes",
                   proxyId);
    return false;
  }
  BlrCtrl control;
  const CWyError connected = control.connect(name);
  if (connected.IsError()) {
    EvDebug::Error(kNotifyTag, "Can't connect to head client id [%d], Info: [%s]", proxyId,
                   connected.AsString().c_str());
    return false;
  }
  bool told = true;
  for (const BlrVm& machine : machines) {
    for (const auto& [key, group] : machine.groups) {
      if (!control.applyRepCfg(machine.uuid, group).IsError()) continue;
      EvDebug::Error(kNotifyTag, "Not able to notify pair(s) of the changes in the RP store. Head Proxy Name: [%s]",
                     name.c_str());
      EvDebug::Error(kNotifyTag, "Affected pairs: [%s]", pairIds(group).c_str());
      told = false;
    }
  }
  return told;
}

}  // namespace

namespace tkezconfig {

CWyError FindHeadProxyMangledName(int clientId, std::string& name) {
  ZQClient client(static_cast<unsigned long>(clientId < 0 ? 0 : clientId));
  client.lookup(nullptr);
  // A client whose host name cannot be read has no controller to reach.
  if (client.getNetworkHostnameMangled(name, nullptr) != 0 || name.empty()) {
    EvDebug::Error("FindHeadProxyMangledName", "No network host name for client id [%d]", clientId);
    return FXErrorUtil::ErrorErrNo(FX_CODE_LOCATION, kErrorPairsNotNotified);
  }
  EvDebug::Debug("FindHeadProxyMangledName", "ZQClient::getNetworkHostnameMangled() for client id [%d] returned [%s]",
                 clientId, name.c_str());
  return CWyError::Success();
}

CWyError NotifyBlrSvcOfRpStoreUpdate(int rpStoreId) {
  BlrDB::Pair filter;
  filter.rpStoreId = rpStoreId;
  std::list<BlrDB::Pair> pairs;
  const CWyError read = BlrDB::getPairs(filter, pairs);
  if (read.IsError()) {
    EvDebug::Error(kNotifyTag, "Can't get the list of pairs associated with rp store id [%d]. Info: [%s]", rpStoreId,
                   read.AsString().c_str());
    return FXErrorUtil::ErrorErrNo(FX_CODE_LOCATION, kErrorPairsNotNotified);
  }
  if (pairs.empty()) {
    EvDebug::DebugLvl(2, kNotifyTag, "There are not pairs using this rp store id [%d]", rpStoreId);
    return CWyError::Success();
  }
  EvDebug::DebugLvl(2, kNotifyTag, "[%zu] BLR pairs are using RP store with id [%d]", pairs.size(), rpStoreId);
  bool told = true;
  for (const auto& [proxyId, machines] : groupedPairs(pairs)) {
    if (!tellHeadProxy(proxyId, machines)) told = false;
  }
  if (!told) return FXErrorUtil::ErrorErrNo(FX_CODE_LOCATION, kErrorPairsNotNotified);
  EvDebug::Debug(kNotifyTag, "All BLR pairs using RP store id [%d] have been notified of the RP store changes",
                 rpStoreId);
  return CWyError::Success();
}

void rpStoreUpdate(RPStoreRequest& w) {
  tktran::StoreStep step(kRPStoreTag);
  if (!step.begin()) {
    w.fail(step.error());
    return;
  }
  DBtran& tran = *step.tran();
  Update u{w,
           w.request.getint64(EVGui::RPStoreLibraryReq::kUpdateMask.tag, EVGui::RPStoreLibraryReq::kClassHash,
                              EVGui::RPStoreLibraryReq::kUpdateMask.hash),
           tran,
           {}};
  if ((u.mask & kMaskStores) != 0 && !updateStores(u)) return;  // the transaction goes uncommitted
  if (!updateLibrary(u)) return;
  if (!step.commit()) {
    w.fail(step.error());
    return;
  }
  for (const int storeId : u.changed) {
    const CWyError told = NotifyBlrSvcOfRpStoreUpdate(storeId);
    if (FXErrorUtil::IsErrNo(told, kErrorPairsNotNotified)) {
      EvDebug::Error("onMsgConfigRPStoreLibrary",
                     "Error while trying to notify the pairs of changes to RP store with id [%d]", storeId);
    }
  }
}

}  // namespace tkezconfig
