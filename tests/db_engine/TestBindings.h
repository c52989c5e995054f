// Small test-only bindings of the other kinds and key shapes, so that the
// engine's tests reach every branch of the pattern: a table with a
// two-column key and no serial, a table without keys, a view, two stored
// procedures (with and without output columns) and a cursor. They follow
// the same declarations as ExampleBinding.h.
#pragma once

#include "Db/ZQDBBinding.h"
#include "tests/db_engine/ExampleBinding.h"

// --- two-column key, no serial ----------------------------------------------------------
#define TESTJOBLINK_COLUMNS(COL) \
  COL(jobId, i, 0)               \
  COL(tarnfoldId, i, 0)          \
  COL(itemId, i, 0)              \
  COL(label, s, 33)

inline constexpr ZQDBBindingInfo TestJobLink_info{.headerType = ZQDB_HEADER_TABLE,
                                                  .dbName = "testJobLink",
                                                  .className = "TestJobLink",
                                                  .version = "1.0.0.1",
                                                  .primaryKey = "jobId, tarnfoldId",
                                                  .foreignKeys = "exampleItem: itemId = itemId; testJob: jobId = id",
                                                  .header = "tests/db_engine/TestBindings.h",
                                                  .line = 20};

struct TestJobLink_t {
  TESTJOBLINK_COLUMNS(ZQDB_FIELD)
  ZQDB_ROW(TestJobLink_t, TESTJOBLINK_COLUMNS)
};
class TestJobLink_t2 : public ZQDBCatalogue<TestJobLink_t2, TestJobLink_t, TestJobLink_info> {};
class TestJobLink : public ZQDBTable<TestJobLink_t, TestJobLink_t2, TestJobLink_info> {
 public:
  explicit TestJobLink(DBtran* tran) : ZQDBTable(tran) {}
};
ZQDB_REGISTER_SCHEMA(TestJobLink_t, TestJobLink_info);

// --- no key, no serial ---------------------------------------------------------------------
#define TESTSETTING_COLUMNS(COL) \
  COL(name, s, 129)              \
  COL(value, s, 0)

inline constexpr ZQDBBindingInfo TestSetting_info{.headerType = ZQDB_HEADER_TABLE,
                                                  .dbName = "testSetting",
                                                  .className = "TestSetting",
                                                  .version = "1.0.0.2",
                                                  .header = "tests/db_engine/TestBindings.h",
                                                  .line = 40};

struct TestSetting_t {
  TESTSETTING_COLUMNS(ZQDB_FIELD)
  ZQDB_ROW(TestSetting_t, TESTSETTING_COLUMNS)
};
class TestSetting_t2 : public ZQDBCatalogue<TestSetting_t2, TestSetting_t, TestSetting_info> {};
class TestSetting : public ZQDBTable<TestSetting_t, TestSetting_t2, TestSetting_info> {
 public:
  explicit TestSetting(DBtran* tran) : ZQDBTable(tran) {}
};
ZQDB_REGISTER_SCHEMA(TestSetting_t, TestSetting_info);

// --- a view ----------------------------------------------------------------------------------
#define TESTITEMVIEW_COLUMNS(COL) \
  COL(ItemId, i, 0)               \
  COL(ItemName, s, 65)            \
  COL(LinkCount, i, 0)

inline constexpr ZQDBBindingInfo TestItemView_info{
    .headerType = ZQDB_HEADER_VIEW,
    .dbName = "testItemView",
    .className = "TestItemView",
    .version = "1.5.0.0",
    .header = "tests/db_engine/TestBindings.h",
    .line = 60,
    .viewSql = "SELECT i.itemId, i.name, (SELECT COUNT(*) FROM testJobLink l WHERE l.itemId = i.itemId) "
               "FROM exampleItem i"};

struct TestItemView_t {
  TESTITEMVIEW_COLUMNS(ZQDB_FIELD)
  ZQDB_ROW(TestItemView_t, TESTITEMVIEW_COLUMNS)
};
class TestItemView_t2 : public ZQDBCatalogue<TestItemView_t2, TestItemView_t, TestItemView_info> {};
class TestItemView : public ZQDBTable<TestItemView_t, TestItemView_t2, TestItemView_info> {
 public:
  explicit TestItemView(DBtran* tran) : ZQDBTable(tran) {}
};
ZQDB_REGISTER_SCHEMA(TestItemView_t, TestItemView_info);

// --- a procedure: items from an id on whose name starts with a prefix ------------------------
#define TESTLISTITEMS_COLUMNS(COL) \
  COL(o_itemId, i, 0)              \
  COL(o_name, u, 257)              \
  COL(o_note, s, 0)

inline constexpr ZQDBBindingInfo TestListItems_info{.headerType = ZQDB_HEADER_PROCEDURE,
                                                    .dbName = "TestListItems",
                                                    .className = "TestListItems",
                                                    .version = "00010003019800050000",
                                                    .header = "tests/db_engine/TestBindings.h",
                                                    .line = 80};

struct TestListItems_t {
  TESTLISTITEMS_COLUMNS(ZQDB_FIELD)
  ZQDB_ROW(TestListItems_t, TESTLISTITEMS_COLUMNS)
};
class TestListItems_t2 : public ZQDBCatalogue<TestListItems_t2, TestListItems_t, TestListItems_info> {};
class TestListItems : public ZQDBProcedure<TestListItems_t, TestListItems_t2, TestListItems_info> {
 public:
  explicit TestListItems(DBtran* tran) : ZQDBProcedure(tran) {}
  void setValues(int fromId, const char* prefix) { bindInputs(fromId, prefix); }
  void setZQDBValues(ZQDB_int* fromId, ZQDB_string* prefix) { bindValues(fromId, prefix); }
};

// --- a procedure with three integer inputs and no output columns -----------------------------
#define TESTTOUCHITEM_COLUMNS(COL)

inline constexpr ZQDBBindingInfo TestTouchItem_info{.headerType = ZQDB_HEADER_PROCEDURE,
                                                    .dbName = "TestTouchItem",
                                                    .className = "TestTouchItem",
                                                    .version = "00010001000200070000",
                                                    .header = "tests/db_engine/TestBindings.h",
                                                    .line = 100};

struct TestTouchItem_t {
  TESTTOUCHITEM_COLUMNS(ZQDB_FIELD)
  ZQDB_ROW(TestTouchItem_t, TESTTOUCHITEM_COLUMNS)
};
class TestTouchItem_t2 : public ZQDBCatalogue<TestTouchItem_t2, TestTouchItem_t, TestTouchItem_info> {};
class TestTouchItem : public ZQDBProcedure<TestTouchItem_t, TestTouchItem_t2, TestTouchItem_info> {
 public:
  explicit TestTouchItem(DBtran* tran) : ZQDBProcedure(tran) {}
  void setValues(int itemId, int flags, int extra) { bindInputs(itemId, flags, extra); }
};

// --- a cursor over one fixed query -----------------------------------------------------------
#define TESTITEMCURSOR_COLUMNS(COL) \
  COL(r_itemId, i, 0)               \
  COL(r_name, s, 65)                \
  COL(r_total, i, 0)

#define TESTITEMCURSOR_SQL                                                                       \
  "SELECT i.itemId, i.name, (SELECT COUNT(*) FROM exampleItem WITH (NOLOCK)) FROM exampleItem i " \
  "WITH (NOLOCK) WHERE i.itemId >= %d AND i.flags & %d = %d ORDER BY i.itemId"

inline constexpr ZQDBBindingInfo TestItemCursor_info{.headerType = ZQDB_HEADER_CURSOR,
                                                     .dbName = "testItemCursor",
                                                     .className = "TestItemCursor",
                                                     .header = "tests/db_engine/TestBindings.h",
                                                     .line = 120};

struct TestItemCursor_t {
  TESTITEMCURSOR_COLUMNS(ZQDB_FIELD)
  ZQDB_ROW(TestItemCursor_t, TESTITEMCURSOR_COLUMNS)
};
class TestItemCursor_t2 : public ZQDBCatalogue<TestItemCursor_t2, TestItemCursor_t, TestItemCursor_info> {};
class TestItemCursor : public ZQDBCursor<TestItemCursor_t, TestItemCursor_t2, TestItemCursor_info> {
 public:
  explicit TestItemCursor(DBtran* tran) : ZQDBCursor(tran) {}
  void setValues(int fromId, int mask, int bits) {
    querySizeCheck(static_cast<int>((sizeof(TESTITEMCURSOR_SQL) - 1 + 36) * 2), false);
    CallDBsprintfWrapper(TESTITEMCURSOR_SQL, fromId, mask, bits);
  }
};

// --- a cursor whose text SQLite cannot run: a body serves it -------------------------------
#define TESTBODYCURSOR_COLUMNS(COL) \
  COL(r_itemId, i, 0)               \
  COL(r_name, s, 65)                \
  COL(r_note, u, 0)                 \
  COL(r_big, x, 0)

// The server's own batch: variables, EXEC and a temporary table.
#define TESTBODYCURSOR_SQL                                                                \
  "SET NOCOUNT ON\n"                                                                      \
  "DECLARE @from int, @prefix varchar(64), @big bigint\n"                                 \
  "SELECT @from = %d, @prefix = '%s', @big = %lld\n"                                      \
  "EXEC listItemsInto #ITEMS, @from, @prefix, @big\n"                                     \
  "SELECT * FROM #ITEMS\n"                                                                \
  "SET NOCOUNT OFF\n"

inline constexpr ZQDBBindingInfo TestBodyCursor_info{.headerType = ZQDB_HEADER_CURSOR,
                                                     .dbName = "testBodyCursor",
                                                     .className = "TestBodyCursor",
                                                     .header = "tests/db_engine/TestBindings.h",
                                                     .line = 180};

struct TestBodyCursor_t {
  TESTBODYCURSOR_COLUMNS(ZQDB_FIELD)
  ZQDB_ROW(TestBodyCursor_t, TESTBODYCURSOR_COLUMNS)
};
class TestBodyCursor_t2 : public ZQDBCatalogue<TestBodyCursor_t2, TestBodyCursor_t, TestBodyCursor_info> {};
class TestBodyCursor : public ZQDBCursor<TestBodyCursor_t, TestBodyCursor_t2, TestBodyCursor_info> {
 public:
  explicit TestBodyCursor(DBtran* tran) : ZQDBCursor(tran) {}
  void setValues(int fromId, const char* prefix, long long big) {
    querySizeCheck(static_cast<int>((sizeof(TESTBODYCURSOR_SQL) - 1 + 36) * 2), false);
    CallDBsprintfWrapper(TESTBODYCURSOR_SQL, fromId, prefix, big);
  }
};
