// Binding of the global parameter table "HVGlobalParam": installation-wide
// settings as named parameters, one row each, with the value as text. The
// table has a serial column (id) but no primary key. The system reads one
// parameter through it, by name:
//
//   HVGlobalParam table(nullptr);
//   table.setWhere("name = '%s'", "Ostravel");
//   if (getOneRow(&table, false, -1, 0) == 0) ... table.getDataPtr()->value ...
#pragma once

#include "Db/ZQDBBinding.h"

#define HVGLOBALPARAM_COLUMNS(COL) \
  COL(id, i, 0)                    \
  COL(name, s, 129)                \
  COL(value, s, 0)                 \
  COL(created, x, 0)               \
  COL(modified, x, 0)

inline constexpr ZQDBBindingInfo HVGlobalParam_info{.headerType = ZQDB_HEADER_TABLE,
                                                    .dbName = "HVGlobalParam",
                                                    .className = "HVGlobalParam",
                                                    .version = "1.120.88.3",
                                                    .serial = "id",
                                                    .header = "Db/Tbl/HVGlobalParam",
                                                    .line = 501};

// The row owns value: it is never copied.
struct HVGlobalParam_t {
  HVGLOBALPARAM_COLUMNS(ZQDB_FIELD)
  ZQDB_ROW(HVGlobalParam_t, HVGLOBALPARAM_COLUMNS)
};

class HVGlobalParam_t2 : public ZQDBCatalogue<HVGlobalParam_t2, HVGlobalParam_t, HVGlobalParam_info> {
 public:
  HVGlobalParam_t2() = default;
  HVGlobalParam_t2(const HVGlobalParam_t2&) = delete;
  HVGlobalParam_t2& operator=(const HVGlobalParam_t2&) = delete;
};

class HVGlobalParam : public ZQDBTable<HVGlobalParam_t, HVGlobalParam_t2, HVGlobalParam_info> {
 public:
  explicit HVGlobalParam(DBtran* tran) : ZQDBTable(tran) {}
};

ZQDB_REGISTER_SCHEMA(HVGlobalParam_t, HVGlobalParam_info);
