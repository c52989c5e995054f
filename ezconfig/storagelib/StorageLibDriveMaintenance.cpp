// Drive maintenance: operation 512 of the storage-library request. A drive
// of the library, named by its alias among the library's master pools, was
// replaced (every counter reset), cleaned (the cleaning counters reset) or
// fixed (marked good). The frame has checked rights and holds the media
// agent's lock. Exactly one table call acts on the drive.
//
// A name that matches no drive of the library is refused before anything
// is touched: acting on "the drive of the row not read" would reach a drive
// the user never named. The name reaches the where clause only as a quoted
// engine argument.
//
// The audit is the frame's record (the library as its entity) with one
// parameter; it sets no operation of its own.
#include <string>

#include "Db/Tbl/MMDrive.h"
#include "ezconfig/storagelib/StorageLibDeviceSteps.h"
#include "ezconfig/storagelib/StorageLibraryRequest.h"
#include "frame/EvGuiAudit.h"
#include "frame/EvMMConfigMgr.h"
#include "frame/TextHelpers.h"
#include "platform/db/DBtable.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/mmdb/MMDriveDB.h"

namespace {

constexpr const char* kTag = "EvMMConfigMgr::StorageLibDriveMaintenance";

// Catalogue texts.
constexpr unsigned long kTextInvalidDriveOption = 0x23000AB2;
constexpr unsigned long kTextQueryFailed = 0x230001E3;

constexpr std::size_t kErrorTextSize = 1025;
constexpr unsigned kIsolation = 4;

using tkezconfig::StorageLibOutcome;
using tkezconfig::StorageLibraryRequest;
using tkezconfig::StorageLibResult;
using Info = EVGui::StorageLibraryInfo;

// One drive option: its table call, its audit message (%1 the drive, %2
// the library) and what the drive was marked, for the log.
struct DriveOption {
  int (MMDriveDB::*action)(int, DBtran*);
  int auditMessage;
  const char* marked;
};

constexpr DriveOption kOptions[] = {
    {&MMDriveDB::resetAllCounters, 0x55000531, "replaced"},
    {&MMDriveDB::resetCleaningCounters, 0x55000532, "cleaned"},
    {&MMDriveDB::setGood, 0x55000533, "fixed"},
};

const StorageLibResult kFailure{StorageLibOutcome::kFailure, false};

}  // namespace

StorageLibResult EvMMConfigMgr::StorageLibDriveMaintenance(StorageLibraryRequest& w) {
  // 1. The option and the drive's alias name.
  const long long option = w.library->getint64(Info::kDriveOption.tag, Info::kClassHash, Info::kDriveOption.hash);
  std::string alias = w.library->getstring(Info::kDriveAliasName.ordinal, Info::kDriveAliasName.tag,
                                           Info::kClassHash, Info::kDriveAliasName.hash);
  alias = MyUTF8Text(alias);
  if (option < 1 || option > 3 || alias.empty()) {
    EvDebug::Error(kTag, "%s", "Invalid drive option passed.");
    tkezconfig::refuseWithText(w, kTextInvalidDriveOption);
    return kFailure;
  }
  const DriveOption& chosen = kOptions[option - 1];

  // 2, 3. The drive among the library's master pools.
  MMDrive drives(nullptr);
  drives.setIsolationType(kIsolation);
  drives.setWhere("AliasName = '%s' AND MasterPoolId IN (SELECT MasterPoolId FROM MMMasterPool WHERE LibraryId = %d) ",
                  alias.c_str(), w.libraryId);
  const int read = getOneRow(&drives, false, -1, 0);
  if (read != 0 && read != DB_NO_ROW) {
    EvDebug::Error(kTag,
                   "DB query to get the drive information for library id [%d] and drive alias name [%s] failed with "
                   "error code [%d]",
                   w.libraryId, alias.c_str(), read);
    tkezconfig::refuseWithText(w, kTextQueryFailed);
    return kFailure;
  }
  if (read == DB_NO_ROW) {
    EvDebug::Error(kTag, "No drive [%s] in library id [%d].", alias.c_str(), w.libraryId);
    tkezconfig::refuseWithText(w, kTextInvalidDriveOption);
    return kFailure;
  }
  const int driveId = drives.getDataPtr()->DriveId;

  // 4. The one action of the option.
  MMDriveDB table;
  if ((table.*chosen.action)(driveId, nullptr) != 0) {
    EvDebug::Error(kTag, "Failed to mark drive %s [ Drive Id : %d]", chosen.marked, driveId);
    const int code = table.getErrorCode();
    char text[kErrorTextSize];
    ErrorTrans::getErrorString(code, text, sizeof text, w.locale);
    w.fail(text[0] != '\0' ? std::string(text) : "Error code " + std::to_string(code) + ".");
    return kFailure;
  }

  // 5. The audit: the frame's record with the option's parameter.
  EvMessageContainer message;
  message.SetMessageID(chosen.auditMessage, true);
  message << alias.c_str() << w.libraryName.c_str();
  w.audit.addGUIAuditParam(message, 0, 0, nullptr, nullptr);
  w.audit.guiAudit(0);
  return StorageLibResult{};
}
