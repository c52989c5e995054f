// What every generated database binding must tell the engine and answer from
// its catalogue, checked against its column table as written out in the
// test (never taken from the binding itself), plus small helpers the
// database suites share.
//
//   const tktest::BindingCase kBindings[] = {
//       tktest::bindingCase<QR_GetDeviceID>({.className = "QR_GetDeviceID", .dbName = "QR_GetDeviceID",
//                                            .headerType = 2, .version = "00010003029400020000",
//                                            .columns = "o_deviceID:i"}),
//   };
//   using Bindings = tktest::BindingMetadata;
//   TEST_P(Bindings, AgreeWithTheirColumnTables) { GetParam().run(); }
//   INSTANTIATE_TEST_SUITE_P(All, Bindings, ::testing::ValuesIn(kBindings), tktest::bindingName);
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <new>
#include <ostream>
#include <sstream>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include "Db/ZQDBBinding.h"
#include "platform/db/DBSession.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/testkit/db.h"
#include "platform/testkit/debuglog.h"
#include "tests/support/TestDatabase.h"

namespace tktest {

using ForeignKeys = std::map<std::string, std::map<std::string, std::string>>;

// A binding's column table and identity.
struct ColumnTable {
  const char* className;     // the catalogue's table name and the binding class
  const char* dbName;        // the database object
  int headerType;            // 1 table, 2 procedure, 3 cursor, 4 view
  const char* version;       // tables and views: dotted version; procedures: 20-digit stamp; cursors: ""
  const char* columns;       // "name:code name:code ...", codes as in the schema string ("i", "x", "s129", "u")
  const char* primaryWhere = "";
  int serialColNum = -1;
  const char* serialName = "";  // the table's serial column, "" without one
  const char* orderBy = "";
  ForeignKeys foreignKeys = {};
  const char* header = nullptr;  // registration log; null: "Db/<Tbl|TKView|Proc|Cursor>/<dbName>"
  int line = 0;                  // registration log; 0: the line the binding declares as its own
};

struct TableColumn {
  std::string name;
  std::string code;
};

inline std::vector<TableColumn> columnsOf(const ColumnTable& e) {
  std::vector<TableColumn> out;
  std::istringstream in(e.columns);
  std::string item;
  while (in >> item) {
    const size_t colon = item.find(':');
    out.push_back({item.substr(0, colon), item.substr(colon + 1)});
  }
  return out;
}

inline std::string selectListOf(const std::vector<TableColumn>& cols) {
  std::string s;
  for (const TableColumn& c : cols) s += (s.empty() ? "" : ", ") + c.name;
  return s;
}

// The schema string; with `stored` the catalogue's form, every x as b.
inline std::string schemaOf(const std::vector<TableColumn>& cols, bool stored = false) {
  std::string s;
  for (const TableColumn& c : cols) s += (stored && c.code == "x" ? std::string("b") : c.code) + "|";
  return s;
}

// The primary-key names a primary where clause ("a = ?AND b = ?") names.
inline std::vector<std::string> keysOf(const std::string& where) {
  std::vector<std::string> keys;
  for (size_t at = 0; at < where.size();) {
    size_t end = where.find(" = ?", at);
    keys.push_back(where.substr(at, end - at));
    at = end + 4;
    if (where.compare(at, 4, "AND ") == 0) at += 4;
  }
  return keys;
}

inline int valueTypeOf(const std::string& code) {
  switch (code[0]) {
    case 'i': return ZQDB_TYPE_INT;            // 1
    case 'b':
    case 'x': return ZQDB_TYPE_INT64;          // 4
    case 't': return ZQDB_TYPE_DATETIME;       // 5
    default: return ZQDB_TYPE_STRING;          // 6
  }
}

// Row and catalogue class of a binding object, and its declaration.
template <class R, class C, const ZQDBBindingInfo& I>
struct BindingTypes {
  using Row = R;
  using Catalogue = C;
  using Object = ZQDBBoundObject<R, C, I>;
  static constexpr const ZQDBBindingInfo& info = I;
};
template <class R, class C, const ZQDBBindingInfo& I>
BindingTypes<R, C, I> bindingTypesOf(const ZQDBBoundObject<R, C, I>*);
template <class Obj>
using BindingOf = decltype(bindingTypesOf(static_cast<Obj*>(nullptr)));

// Nothing the compiler makes can copy or move one of these.
template <class... T>
inline constexpr bool kNoCopies =
    ((!std::is_copy_constructible_v<T> && !std::is_copy_assignable_v<T> && !std::is_move_constructible_v<T> &&
      !std::is_move_assignable_v<T> && !std::is_assignable_v<T&, T&>) &&
     ...);

// The field of type T at `offset` of a row, or null (a failure) when the
// column table puts it partly outside the row.
template <class T, class Row>
const T* rowField(const Row& row, size_t offset) {
  if (offset > sizeof(Row) || sizeof(Row) - offset < sizeof(T)) {
    ADD_FAILURE() << "the field at " << offset << " does not lie within the row";
    return nullptr;
  }
  return reinterpret_cast<const T*>(reinterpret_cast<const char*>(&row) + offset);
}

// A fresh row: integers 0, texts empty, heap texts null, date-times cleared.
// The bytes are spoiled first so that a field the constructor forgets shows.
template <class Row>
void expectFreshRow() {
  // Room for a whole field of any kind past the row: the optimiser cannot
  // tell which kinds a row has, and must not see a read beyond the storage.
  alignas(Row) unsigned char storage[sizeof(Row) + sizeof(DB_DATETIME)];
  std::memset(storage, 0x5A, sizeof storage);
  Row* row = new (storage) Row();
  const ZQDBColumns& cols = Row::zqdbColumns();
  for (int i = 0; i < cols.count; ++i) {
    const ZQDBColumnDesc& c = cols.cols[i];
    SCOPED_TRACE(c.name);
    switch (c.field) {
      case ZQDBFieldKind::Int32:
        if (const int* v = rowField<int>(*row, c.offset)) {
          EXPECT_EQ(0, *v);
        }
        break;
      case ZQDBFieldKind::Int64:
        if (const long long* v = rowField<long long>(*row, c.offset)) {
          EXPECT_EQ(0, *v);
        }
        break;
      case ZQDBFieldKind::FixedText:
        if (const char* v = rowField<char>(*row, c.offset)) {
          EXPECT_EQ('\0', *v);
        }
        break;
      case ZQDBFieldKind::HeapText:
        if (char* const* v = rowField<char*>(*row, c.offset)) {
          EXPECT_EQ(nullptr, *v);
        }
        break;
      case ZQDBFieldKind::DateTime:
        if (const DB_DATETIME* v = rowField<DB_DATETIME>(*row, c.offset)) {
          EXPECT_TRUE(v->isCleared());
        }
        break;
    }
  }
  row->~Row();
}

// The row struct's column table against the written one: names, codes,
// lengths, field kinds and sizes, fields in column order and aligned.
template <class Row>
void expectRowLayout(const std::vector<TableColumn>& cols) {
  const ZQDBColumns& desc = Row::zqdbColumns();
  ASSERT_EQ(static_cast<int>(cols.size()), desc.count);
  ASSERT_EQ(static_cast<int>(cols.size()), Row::kColumnCount);
  size_t end = 0;
  for (int i = 0; i < desc.count; ++i) {
    const ZQDBColumnDesc& got = desc.cols[i];
    const TableColumn& want = cols[static_cast<size_t>(i)];
    SCOPED_TRACE(want.name);
    EXPECT_EQ(want.name, got.name);
    EXPECT_EQ(want.code[0], got.code);
    const int length = want.code.size() > 1 ? std::stoi(want.code.substr(1)) : 0;
    EXPECT_EQ(length, got.length);
    struct Field {
      ZQDBFieldKind kind;
      size_t size, align;
    };
    const Field f = want.code[0] == 'i'                        ? Field{ZQDBFieldKind::Int32, 4, 4}
                    : want.code[0] == 'x' || want.code[0] == 'b' ? Field{ZQDBFieldKind::Int64, 8, 8}
                    : want.code[0] == 't' ? Field{ZQDBFieldKind::DateTime, sizeof(DB_DATETIME), alignof(DB_DATETIME)}
                    : length > 0          ? Field{ZQDBFieldKind::FixedText, static_cast<size_t>(length), 1}
                                          : Field{ZQDBFieldKind::HeapText, sizeof(char*), alignof(char*)};
    EXPECT_EQ(f.kind, got.field);
    EXPECT_EQ(f.size, got.size);
    EXPECT_EQ(0u, got.offset % f.align);
    EXPECT_GE(got.offset, end) << "fields out of column order";
    end = got.offset + got.size;
  }
  EXPECT_LE(end, sizeof(Row));
  EXPECT_EQ(schemaOf(cols), ZQDBSchemaString<Row>());
  EXPECT_EQ(selectListOf(cols), ZQDBSelectList<Row>());
}

// Whether another thread can take the engine's critical section now.
inline bool registrationSectionFree() {
  bool taken = false;
  std::thread other([&] {
    taken = DBtable::DBCriticalSection.TryLock();
    if (taken) DBtable::DBCriticalSection.Unlock();
  });
  other.join();
  return taken;
}

// Everything the object tells the engine and its catalogue answers, in the
// typed mode; a second catalogue sharing the class-wide part; the text mode
// building none.
template <class Obj>
void expectBindingMetadata(const ColumnTable& e) {
  using Row = typename BindingOf<Obj>::Row;
  using Catalogue = typename BindingOf<Obj>::Catalogue;
  const std::vector<TableColumn> cols = columnsOf(e);
  const size_t n = cols.size();
  const bool table = e.headerType == ZQDB_HEADER_TABLE || e.headerType == ZQDB_HEADER_VIEW;
  const char* kindWord = table ? "Table " : e.headerType == ZQDB_HEADER_PROCEDURE ? "Procedure " : "Cursor ";

  DBtable::b_newDBBase = 1;
  testkit::debuglog::Capture log;
  Obj obj(nullptr);
  EXPECT_TRUE(log.lines().empty()) << "made without a transaction: registered nowhere, nothing logged";
  EXPECT_EQ(nullptr, obj.getTransaction());
  EXPECT_TRUE(registrationSectionFree());
  EXPECT_EQ(e.dbName, obj.getObjectName());
  EXPECT_EQ(ZQDBObjectKindOf(e.headerType), obj.getKind());
  EXPECT_EQ(selectListOf(cols), obj.getSelectList());
  EXPECT_EQ(kindWord + std::string(e.className), obj.getDescription());
  EXPECT_EQ(e.orderBy, obj.getOrderBy());
  EXPECT_EQ(0, obj.getInputsBound());
  if (table) {
    EXPECT_STREQ(e.version, obj.getVersion());
    EXPECT_STREQ(e.serialName, obj.getSerialColName());
    const ZQDBColumns& desc = Row::zqdbColumns();
    const char* row = reinterpret_cast<const char*>(static_cast<typename BindingOf<Obj>::Object&>(obj).getDataPtr());
    EXPECT_EQ(*e.serialName == '\0' ? nullptr : row + desc.cols[e.serialColNum < 0 ? 0 : e.serialColNum].offset,
              static_cast<const char*>(obj.getSerialField()));
  } else {
    EXPECT_STREQ(e.version, obj.getStamp());
    EXPECT_STREQ("", obj.getVersion());
    EXPECT_EQ(nullptr, obj.getSerialColName());
    EXPECT_EQ(nullptr, obj.getSerialField());
  }
  if (e.headerType == ZQDB_HEADER_PROCEDURE) {
    EXPECT_EQ(20u, std::strlen(obj.getStamp()));
  }

  ZQDBRowBase* base = obj.getCatalogue();
  ASSERT_NE(nullptr, base);
  auto* cat = dynamic_cast<Catalogue*>(base);
  ASSERT_NE(nullptr, cat);
  EXPECT_TRUE(cat->isGenerated());
  EXPECT_EQ(e.className, cat->getTableName());
  EXPECT_EQ(e.headerType, cat->getHeaderType());
  EXPECT_EQ(schemaOf(cols, true), cat->getStructDef());
  EXPECT_EQ(e.primaryWhere, cat->getPrimaryWhere());
  EXPECT_EQ(e.serialColNum, cat->getSerialColNum());
  EXPECT_EQ(e.serialName, cat->serialColName());
  EXPECT_EQ(e.foreignKeys, cat->getForeignKeyMap());
  const std::vector<std::string> keys = keysOf(e.primaryWhere);
  EXPECT_EQ(keys, cat->primaryKeyNames());
  std::vector<ZQDBDataTypeBase*> keyValues = cat->getPrimaryData();
  ASSERT_EQ(keys.size(), keyValues.size());
  for (size_t k = 0; k < keys.size(); ++k) EXPECT_EQ(cat->columnMap().at(keys[k]), keyValues[k]) << keys[k];

  std::vector<ZQDBDataTypeBase*> values = cat->getData();
  ASSERT_EQ(n, values.size());
  EXPECT_EQ(n, cat->columnMap().size());
  for (size_t i = 0; i < n; ++i) {
    SCOPED_TRACE(cols[i].name);
    const int index = static_cast<int>(i);
    EXPECT_STREQ(cols[i].name.c_str(), cat->getColumnName_t2(index));
    EXPECT_EQ(cols[i].name, cat->getColumnName(index));
    EXPECT_EQ(valueTypeOf(cols[i].code), values[i]->getDataType());
    EXPECT_TRUE(values[i]->isNull());
    EXPECT_EQ(ZQDB_NOT_UPDATED, values[i]->getUpdated());
    EXPECT_EQ(values[i], cat->columnMap().at(cols[i].name));
  }
  EXPECT_EQ(nullptr, cat->getColumnName_t2(static_cast<int>(n)));
  EXPECT_EQ(nullptr, cat->getColumnName_t2(-1));
  EXPECT_EQ("", cat->getColumnName(static_cast<int>(n)));

  expectRowLayout<Row>(cols);
  expectFreshRow<Row>();

  {
    Catalogue second;
    EXPECT_EQ(n, Catalogue::m_staticColumnVec.size()) << "a second catalogue added to the class-wide part";
    EXPECT_EQ(e.foreignKeys.size(), Catalogue::m_foreignKeyMap.size());
    EXPECT_EQ(e.primaryWhere, second.getPrimaryWhere());
  }
  DBtable::b_newDBBase = 0;
  {
    Obj text(nullptr);
    EXPECT_EQ(nullptr, text.getCatalogue()) << "the text mode builds no catalogue";
    EXPECT_EQ(selectListOf(cols), text.getSelectList());
  }
  DBtable::b_newDBBase = 1;
}

// Registration in an open transaction; a throwing registration logged with
// the header, line, class and address, swallowed, the section given back and
// the object left usable. Needs a database.
template <class Obj>
void expectRegistration(const ColumnTable& e) {
  const std::string dir = e.headerType == ZQDB_HEADER_PROCEDURE ? "Proc"
                          : e.headerType == ZQDB_HEADER_CURSOR  ? "Cursor"
                          : e.headerType == ZQDB_HEADER_VIEW    ? "TKView"
                                                                : "Tbl";
  const std::string header = e.header != nullptr ? std::string(e.header) : "Db/" + dir + "/" + e.dbName;
  const int line = e.line != 0 ? e.line : BindingOf<Obj>::info.line;
  DBtran tran(true);
  ASSERT_TRUE(tran.isOpen());
  {
    testkit::debuglog::Capture log;
    Obj obj(&tran);
    EXPECT_EQ(&tran, obj.getTransaction());
    EXPECT_EQ(std::vector<DBtable*>{&obj}, tran.registeredObjects());
    EXPECT_TRUE(log.lines().empty());
  }
  testkit::db::setAddObjectThrows(true);
  testkit::debuglog::Capture log;
  {
    Obj obj(&tran);
    testkit::db::setAddObjectThrows(false);
    char expected[512];
    std::snprintf(expected, sizeof expected, "%s(%d): %s Constructor [0x%08x], caught an exception", header.c_str(),
                  line, e.className, static_cast<unsigned int>(reinterpret_cast<uintptr_t>(&obj) & 0xFFFFFFFFu));
    std::vector<testkit::debuglog::Line> lines = log.lines();
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ(expected, lines[0].text);
    EXPECT_EQ(kEvDebugError, lines[0].level);
    EXPECT_TRUE(tran.registeredObjects().empty());
    EXPECT_TRUE(registrationSectionFree());
    if (e.headerType == ZQDB_HEADER_TABLE || e.headerType == ZQDB_HEADER_VIEW) {
      obj.setWhere("1 = 0");
      EXPECT_EQ(100, getOneRow(&obj, false, -1, 0)) << "the unregistered object still reads";
    }
  }
  testkit::db::setAddObjectThrows(false);
  EXPECT_EQ(0, tran.rollbackTran());
}

// What the database holds for the binding: a table or view with exactly the
// columns of the column table, in order; for a procedure a body and no
// table. Needs a database.
inline void expectSchemaObject(const ColumnTable& e) {
  if (e.headerType == ZQDB_HEADER_TABLE || e.headerType == ZQDB_HEADER_VIEW) {
    tkdb::Session session;
    tkdb::DbRows rows;
    ASSERT_EQ(0, session.query("SELECT name FROM pragma_table_info(?)", {e.dbName}, rows));
    std::vector<std::string> names;
    for (const tkdb::DbRow& row : rows) names.push_back(row.at(0).s);
    std::vector<std::string> want;
    for (const TableColumn& c : columnsOf(e)) want.push_back(c.name);
    EXPECT_EQ(want, names);
  } else {
    EXPECT_EQ("", tkdb::schemaStatementFor(e.dbName));
    if (e.headerType == ZQDB_HEADER_PROCEDURE) {
      EXPECT_TRUE(tkdb::hasProcedure(e.dbName));
    }
  }
}

// One binding of a suite's table of bindings.
struct BindingCase {
  ColumnTable table;
  void (*check)(const ColumnTable&);
  void run() const { check(table); }
};

template <class Obj>
BindingCase bindingCase(ColumnTable table) {
  return {std::move(table), [](const ColumnTable& e) {
            SCOPED_TRACE(e.className);
            expectBindingMetadata<Obj>(e);
            expectRegistration<Obj>(e);
            expectSchemaObject(e);
          }};
}

// The fixture of a suite's table of bindings (a fresh database per case).
class BindingMetadata : public ::testing::TestWithParam<BindingCase> {
 protected:
  TestDatabase db;
};

inline void PrintTo(const BindingCase& c, std::ostream* os) { *os << c.table.className; }

inline std::string bindingName(const ::testing::TestParamInfo<BindingCase>& info) {
  return info.param.table.className;
}

// Runs `body` in the typed mode, then in the text mode, and restores the
// typed mode.
template <class Body>
void forBothModes(Body&& body) {
  for (int mode : {1, 0}) {
    SCOPED_TRACE(mode == 1 ? "typed mode" : "text mode");
    DBtable::b_newDBBase = mode;
    body(mode);
  }
  DBtable::b_newDBBase = 1;
}

// The size of the last values-clause check the engine was asked for, or
// "(none)".
inline std::string lastValuesCheck() {
  std::vector<tkjournal::Call> c = testkit::db::journal().calls("valuesClauseCheck");
  return c.empty() ? std::string("(none)") : c.back().args.at(1);
}

// The inputs of the last procedure body run, its name first.
inline std::vector<std::string> lastProcedureCall() {
  std::vector<tkjournal::Call> c = testkit::db::journal().calls("procedure");
  return c.empty() ? std::vector<std::string>{} : c.back().args;
}

}  // namespace tktest
