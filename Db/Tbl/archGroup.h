// Binding of the table archGroup: one row per storage policy.
//
// The setup wizards read a policy by id ("id = %d") for its type, and OR
// flag bits into it ("flags = flags | %d"); no row is inserted through the
// binding. The row owns its description on the heap, so neither the row nor
// its catalogue can be copied.
#pragma once

#include "Db/ZQDBBinding.h"

#define ARCHGROUP_COLUMNS(COL)                    \
  COL(id, i, 0)                                   \
  COL(defaultCopy, i, 0)                          \
  COL(name, u, 577)                               \
  COL(description, u, 0)                          \
  COL(maxStreams, i, 0)                           \
  COL(type, i, 0)                                 \
  COL(incrSP, i, 0)                               \
  COL(origTFtarnfoldID, i, 0)                     \
  COL(origTFarchGroupId, i, 0)                    \
  COL(defaultSnapCopy, i, 0)                      \
  COL(SIBlockSizeKB, i, 0)                        \
  COL(AuxCopyAlertGB, i, 0)                       \
  COL(AuxCopyAlertDays, i, 0)                     \
  COL(flags, i, 0)                                \
  COL(mediaPassword, s, 2049)                     \
  COL(TimeZoneType, i, 0)                         \
  COL(TimeZone, s, 256)                           \
  COL(SubclientExtensionTimeStamp, i, 0)          \
  COL(SubclientExtensionTimeStampEncrypted, s, 2049) \
  COL(logSP, i, 0)

inline constexpr ZQDBBindingInfo ArchGroup_info{.headerType = ZQDB_HEADER_TABLE,
                                                .dbName = "archGroup",
                                                .className = "ArchGroup",
                                                .version = "1.49.66.4",
                                                .primaryKey = "id",
                                                .serial = "id",
                                                .header = "Db/Tbl/archGroup",
                                                .line = __LINE__};

struct ArchGroup_t {
  ARCHGROUP_COLUMNS(ZQDB_FIELD)
  ZQDB_ROW(ArchGroup_t, ARCHGROUP_COLUMNS)
};

class ArchGroup_t2 : public ZQDBCatalogue<ArchGroup_t2, ArchGroup_t, ArchGroup_info> {
 public:
  ArchGroup_t2() = default;
  ArchGroup_t2(const ArchGroup_t2&) = delete;
  ArchGroup_t2& operator=(const ArchGroup_t2&) = delete;
};

class ArchGroup : public ZQDBTable<ArchGroup_t, ArchGroup_t2, ArchGroup_info> {
 public:
  explicit ArchGroup(DBtran* tran) : ZQDBTable(tran) {}
};

ZQDB_REGISTER_SCHEMA(ArchGroup_t, ArchGroup_info);
