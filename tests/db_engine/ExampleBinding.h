// An example table binding, declared exactly as the bindings under Db/ are
// (see Db/ZQDBBinding.h): one column table, the identity, the row, the
// catalogue, the table object and the schema registration. The engine's
// tests run against it.
#pragma once

#include "Db/ZQDBBinding.h"

#define EXAMPLEITEM_COLUMNS(COL) \
  COL(itemId, i, 0)              \
  COL(name, s, 65)               \
  COL(note, u, 0)                \
  COL(sizeBytes, x, 0)           \
  COL(created, t, 0)             \
  COL(flags, i, 0)

inline constexpr ZQDBBindingInfo ExampleItem_info{.headerType = ZQDB_HEADER_TABLE,
                                                  .dbName = "exampleItem",
                                                  .className = "ExampleItem",
                                                  .version = "1.2.3.4",
                                                  .primaryKey = "itemId",
                                                  .serial = "itemId",
                                                  .indexes = "name; flags, name",
                                                  .header = "tests/db_engine/ExampleBinding.h",
                                                  .line = 42};

struct ExampleItem_t {
  EXAMPLEITEM_COLUMNS(ZQDB_FIELD)
  ZQDB_ROW_WITH_ASSIGN(ExampleItem_t, EXAMPLEITEM_COLUMNS)
};

class ExampleItem_t2 : public ZQDBCatalogue<ExampleItem_t2, ExampleItem_t, ExampleItem_info> {};

class ExampleItem : public ZQDBTable<ExampleItem_t, ExampleItem_t2, ExampleItem_info> {
 public:
  explicit ExampleItem(DBtran* tran) : ZQDBTable(tran) {}
  void setValues(ExampleItem_t* row) { *getDataPtr() = *row; }
};

ZQDB_REGISTER_SCHEMA(ExampleItem_t, ExampleItem_info);
