// Operation 2 of the replication-store library request: removes a
// replication-store library. Each mount path goes with its store rows, and
// only while no block-level replication pair uses its stores; the library
// goes last, through the media agent.
//
// A request that names a mount path removes nothing and is refused: this
// operation has no way to delete one mount path with the checks every other
// mount-path deletion runs (content, running jobs), and answering success
// for a deletion that did not happen would mislead. The refusal names the
// mount-path deletion of the storage-library request as the way, or, for a
// mount path of another library, both the mount path and the library.
//
// Only a replication-store library (library type 10, as its creation marks
// it) is removed here; any other library is refused by name with nothing
// removed: it has its own deletion, with the checks of its kind.
//
// The removal is not one transaction: mount paths removed before a failure
// stay removed with their store rows, and the answer is -1.
#include <string>

#include "ezconfig/ObjectOwnership.h"
#include "ezconfig/rpstore/RPStoreRequest.h"
#include "frame/EvGuiAudit.h"
#include "frame/MessageInfo.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/mmdb/MMLibraryDB.h"
#include "platform/mmdb/MMMiscDB.h"
#include "platform/mmdb/MMMountPathDB.h"
#include "platform/mmdb/MMRPStoreConfigDB.h"
#include "platform/mmdb/ZQMMClientInfo.h"

namespace {

using tkezconfig::kRPStoreTag;
using tkezconfig::kTextRPStoreFailed;
using tkezconfig::RPStoreRequest;

constexpr int kAuditLibraryDeconfigured = 0x540000B7;
constexpr int kParamLibrary = 0x550000BF;
constexpr int kErrorTextSize = 2048;
// %1 the mount path, %2 the library: the way to delete one mount path.
constexpr unsigned long kTextSingleMountPath = 0x23000DA4;
constexpr const char* kTextNoReason = "The request failed.";
// %1 the library: it is not a replication-store library.
constexpr unsigned long kTextNotRPStoreLibrary = 0x23000DA6;
constexpr int kLibraryTypeRPStore = 10;
constexpr int kNoRow = 100;

// The last error of a client-info object, answered with its text.
struct LastError {
  int code = 0;
  char text[kErrorTextSize] = {};
};
LastError lastError(const ZQMMbase& object) {
  LastError error;
  object.GetLastError(error.code, error.text, sizeof error.text);
  return error;
}
void failWith(RPStoreRequest& w, const LastError& error) { w.fail(error.text[0] != '\0' ? error.text : kTextNoReason); }

// Removes one mount path and its store rows when no pair uses them. False
// when refused.
bool removeMountPath(RPStoreRequest& w, int mountPathId) {
  MMMiscDB misc;
  tkezconfig::TableList<BlrPair_t, MMMiscDB> pairs;
  if (misc.getBLRPairsForMountPath(mountPathId, pairs.rows, pairs.count) != 0) {
    EvDebug::Error(kRPStoreTag, "Unable to fetch the BlrPairs for MPId[%d] Error[%d, %s] dbErr[%d]", mountPathId,
                   misc.getErrorCode(), tkezconfig::tableErrorText(misc).c_str(), misc.getDBError());
    w.refuse(kTextRPStoreFailed);
    return false;
  }
  if (pairs.count > 0) {
    EvDebug::Error(kRPStoreTag, "RPStore is in use by the BlrPairs[%d] for MPId[%d]", pairs.count, mountPathId);
    w.refuse(kTextRPStoreFailed);
    return false;
  }
  ZQMMmountPath mountPaths(1);
  if (mountPaths.delMountPath(mountPathId, true) != 0) {
    const LastError error = lastError(mountPaths);
    EvDebug::Error(kRPStoreTag, "Error [%d, %s] occurred while deleting the mountPath[%d]", error.code, error.text,
                   mountPathId);
    failWith(w, error);
    return false;
  }
  MMRPStoreConfigDB stores;
  if (stores.deleteRPStoreForMP(mountPathId) != 0) {
    EvDebug::Error(kRPStoreTag, "Unable to delete the RPStore Config for MPId[%d] Error[%d, %s] dbErr[%d]", mountPathId,
                   stores.getErrorCode(), tkezconfig::tableErrorText(stores).c_str(), stores.getDBError());
    w.refuse(kTextRPStoreFailed);
    return false;
  }
  return true;
}

// A request naming one mount path: refused, nothing removed.
void refuseSingleMountPath(RPStoreRequest& w) {
  std::string refusal;
  if (tkezconfig::mountPathOfLibrary(w.mountPathId, w.libraryId, w.libraryName, w.locale, refusal) !=
      tkezconfig::Ownership::kOwn) {
    w.fail(refusal);
    return;
  }
  EvDebug::Error(kRPStoreTag, "The deletion names mount path [%d] of library [%d, %s]; nothing is deleted.",
                 w.mountPathId, w.libraryId, w.libraryName.c_str());
  w.refuse(kTextSingleMountPath,
           {std::to_string(w.mountPathId), w.libraryName.empty() ? std::to_string(w.libraryId) : w.libraryName});
}

// The library is a replication-store library, or none at all (the
// uninstall answers for an unknown one). False when refused.
bool isRPStoreLibrary(RPStoreRequest& w) {
  MMLibraryDB libraries;
  MMLibrary_t row;
  if (libraries.getInfo(w.libraryId, row) != 0) {
    if (libraries.getDBError() == kNoRow) return true;
    EvDebug::Error(kRPStoreTag, "Unable to read library[%d] Error[%d, %s] dbErr[%d]", w.libraryId,
                   libraries.getErrorCode(), tkezconfig::tableErrorText(libraries).c_str(), libraries.getDBError());
    w.refuse(kTextRPStoreFailed);
    return false;
  }
  if (row.LibraryTypeId == kLibraryTypeRPStore) return true;
  EvDebug::Error(kRPStoreTag, "Library [%d, %s] is of type [%d], not a replication-store library; nothing is deleted.",
                 w.libraryId, row.AliasName, row.LibraryTypeId);
  w.refuse(kTextNotRPStoreLibrary, {row.AliasName});
  return false;
}

// Removes every mount path of the library, then the library. False when
// refused. A library without mount paths is uninstalled all the same: it is
// what the request asked to remove.
bool removeLibrary(RPStoreRequest& w) {
  MMMountPathDB mountPaths;
  tkezconfig::TableList<MMMountPath_t, MMMountPathDB> list;
  if (mountPaths.getListForLibrary(w.libraryId, list.rows, list.count) != 0) {
    EvDebug::Error(kRPStoreTag, "Unable to get the mountPath list for library[%d]", w.libraryId);
    w.refuse(kTextRPStoreFailed);
    return false;
  }
  for (int i = 0; list.rows != nullptr && i < list.count; ++i) {
    if (!removeMountPath(w, list.rows[i].MountPathId)) return false;
  }
  ZQMMmedAgentInfo agent(1);
  if (agent.uninstallLibrary(w.libraryId, nullptr) != 0) {
    const LastError error = lastError(agent);
    EvDebug::Error(kRPStoreTag, "Error [%d, %s] occurred while uninstalling the Library[%d]", error.code, error.text,
                   w.libraryId);
    failWith(w, error);
    return false;
  }
  return true;
}

}  // namespace

namespace tkezconfig {

void rpStoreDeleteLibrary(RPStoreRequest& w) {
  if (w.mountPathId != 0) {
    refuseSingleMountPath(w);
    return;
  }
  if (!isRPStoreLibrary(w) || !removeLibrary(w)) return;
  EvGuiAudit record(nullptr);
  record.setGUIAuditOperation(kAuditLibraryDeconfigured, static_cast<int>(w.record.userId));
  EvMessageContainer message;
  message.SetMessageID(kParamLibrary, true);
  message << w.libraryName.c_str();
  record.addGUIAuditParam(message, 0, 0, nullptr, nullptr);
  record.guiAudit(0);
  EvDebug::Error(kRPStoreTag, "Deconfiguring library [%s] [%s]", w.libraryName.c_str(), "Deconfigured");
}

}  // namespace tkezconfig
