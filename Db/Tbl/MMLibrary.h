// Binding of the library table "MMLibrary": one row per library of the
// Tarnfold, tape and disk libraries alike. The platform's library table
// access fills MMLibrary_t rows that the caller owns; the table object
// serves the update of an existing library by the storage-library request:
//
//   MMLibrary table(nullptr);
//   table.setWhere("LibraryId = %d", row.LibraryId);
//   table.rowUpdate("LowWaterMarkMB = %d, ..., AliasName = '%s'", ..., row.AliasName);
//
// AliasName is the name under which consoles know a library (lookups by
// name match it); a new name goes into a row through setAliasName, which
// refuses a name the field cannot hold instead of cutting it.
#pragma once

#include <cstring>

#include "Db/ZQDBBinding.h"

#define MMLIBRARY_COLUMNS(COL)          \
  COL(LibraryId, i, 0)                  \
  COL(LibraryName, s, 129)              \
  COL(AliasName, u, 513)                \
  COL(LibrarySoftState, i, 0)           \
  COL(LibraryEnabled, i, 0)             \
  COL(LibraryBroken, i, 0)              \
  COL(LibraryTypeId, i, 0)              \
  COL(BarCodeReaderPresent, i, 0)       \
  COL(LibraryInstallTime, x, 0)         \
  COL(LowWaterMarkMB, i, 0)             \
  COL(LibraryVendor, s, 17)             \
  COL(LibraryModel, s, 33)              \
  COL(FirmwareRevision, s, 33)          \
  COL(SerialNumber, s, 33)              \
  COL(WWNNumber, s, 65)                 \
  COL(FiberChannelPort, i, 0)           \
  COL(NumberOfMounts, i, 0)             \
  COL(LastServiceTime, x, 0)            \
  COL(DriveCount, i, 0)                 \
  COL(BaseAddress, i, 0)                \
  COL(ExternalGUID, s, 34)              \
  COL(PrivateData, s, 257)              \
  COL(LibraryAttribute, i, 0)           \
  COL(MountTimeoutSec, i, 0)            \
  COL(UnmountTimeoutSec, i, 0)          \
  COL(NumberOfSoftErrors, i, 0)         \
  COL(NumberOfHardErrors, i, 0)         \
  COL(DefaultMediaTypeId, i, 0)         \
  COL(InventoryInProgress, i, 0)        \
  COL(IsConvertedToSited, i, 0)         \
  COL(LastFullInventoryTime, i, 0)      \
  COL(InventoryJobId_h, i, 0)           \
  COL(InventoryJobId_l, i, 0)           \
  COL(LibraryStatusReason, i, 0)        \
  COL(OfflineTimeStamp, x, 0)           \
  COL(UseWithinDaysInSec, x, 0)         \
  COL(DriveCleanIntervalInSec, x, 0)    \
  COL(VMSDirection, i, 0)               \
  COL(CacheMountPeriodInSec, i, 0)      \
  COL(StdAlnMedRetentionTime, x, 0)     \
  COL(SlotBaseAddress, i, 0)            \
  COL(NumberOfMailSlots, i, 0)          \
  COL(TURIntervalInSec, i, 0)           \
  COL(ConfigParams, s, 257)             \
  COL(Descript, u, 0)                   \
  COL(StdAlnChkIntervalInSec, x, 0)     \
  COL(StdAlnNextChkTime, x, 0)          \
  COL(ReadRetryIntervalInSec, x, 0)     \
  COL(ReadRetryAttempts, i, 0)          \
  COL(RestrictActivity, i, 0)           \
  COL(LibraryStatusEventId, i, 0)       \
  COL(StartVMSElementAddress, i, 0)     \
  COL(ExtendedAttributes, i, 0)         \
  COL(ThresholdPercentage, i, 0)        \
  COL(ThresholdVariation, i, 0)         \
  COL(LibrarySubType, i, 0)             \
  COL(VTLType, i, 0)                    \
  COL(origTFId, i, 0)                   \
  COL(origLibraryId, i, 0)              \
  COL(LibSvrConfig, s, 0)               \
  COL(WarningWaterMark, i, 0)           \
  COL(OutOfSpaceAlertInDays, i, 0)

inline constexpr ZQDBBindingInfo MMLibrary_info{
    .headerType = ZQDB_HEADER_TABLE,
    .dbName = "MMLibrary",
    .className = "MMLibrary",
    .version = "1.74.66.2",
    .primaryKey = "LibraryId",
    .serial = "LibraryId",
    .foreignKeys = "MMLibraryType: LibraryTypeId = LibraryTypeId; MMMediaType: DefaultMediaTypeId = MediaTypeId",
    .indexes = "AliasName; LibraryName",
    .header = "Db/Tbl/MMLibrary",
    .line = 1181};

// The row owns Descript and LibSvrConfig: it is never copied.
struct MMLibrary_t {
  MMLIBRARY_COLUMNS(ZQDB_FIELD)
  ZQDB_ROW(MMLibrary_t, MMLIBRARY_COLUMNS)

  // The longest alias name the row holds, in bytes.
  static constexpr size_t kAliasNameMax = sizeof(AliasName) - 1;

  // Puts a new alias name into the row. A null name or one longer than
  // kAliasNameMax bytes is refused: false, and the row keeps its name.
  bool setAliasName(const char* name) {
    if (name == nullptr) return false;
    size_t length = strnlen(name, kAliasNameMax + 1);
    if (length > kAliasNameMax) return false;
    std::memcpy(AliasName, name, length);
    AliasName[length] = '\0';
    return true;
  }
};

class MMLibrary_t2 : public ZQDBCatalogue<MMLibrary_t2, MMLibrary_t, MMLibrary_info> {
 public:
  MMLibrary_t2() = default;
  MMLibrary_t2(const MMLibrary_t2&) = delete;
  MMLibrary_t2& operator=(const MMLibrary_t2&) = delete;
};

class MMLibrary : public ZQDBTable<MMLibrary_t, MMLibrary_t2, MMLibrary_info> {
 public:
  explicit MMLibrary(DBtran* tran) : ZQDBTable(tran) {}
};

ZQDB_REGISTER_SCHEMA(MMLibrary_t, MMLibrary_info);
