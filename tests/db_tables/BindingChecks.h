// Checks that every binding of this area must pass, run against the column
// table written out in ExpectedColumns.h: the catalogue's metadata, what the
// database object tells the engine, the row struct's layout and defaults,
// and the registration in a transaction.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <type_traits>
#include <vector>

#include "Db/ZQDBBinding.h"
#include "platform/testkit/db.h"
#include "platform/testkit/debuglog.h"
#include "tests/db_tables/ExpectedColumns.h"

namespace dbtables {

inline std::string expectedSchema(const ExpectedBinding& e) {
  std::string s;
  for (const ExpectedColumn& c : e.columns) s += std::string(c.code) + "|";
  return s;
}

// The schema with every "x" code written as "b".
inline std::string expectedStructDef(const ExpectedBinding& e) {
  std::string s;
  for (const ExpectedColumn& c : e.columns) s += (std::string(c.code) == "x" ? std::string("b") : std::string(c.code)) + "|";
  return s;
}

inline std::string expectedSelectList(const ExpectedBinding& e) {
  std::string s;
  for (const ExpectedColumn& c : e.columns) {
    if (!s.empty()) s += ", ";
    s += c.name;
  }
  return s;
}

// The value-object type a schema code stands for.
inline int expectedDataType(const char* code) {
  switch (code[0]) {
    case 'i': return 1;
    case 'b':
    case 'x': return 4;
    case 't': return 5;
    default: return 6;
  }
}

// The row field a schema code stands for: its kind and, for fixed texts, its size.
inline void expectField(const ZQDBColumnDesc& col, const ExpectedColumn& e) {
  SCOPED_TRACE(e.name);
  EXPECT_STREQ(e.name, col.name);
  switch (e.code[0]) {
    case 'i':
      EXPECT_EQ(ZQDBFieldKind::Int32, col.field);
      EXPECT_EQ(4u, col.size);
      EXPECT_EQ(0u, col.offset % 4);
      break;
    case 'x':
    case 'b':
      EXPECT_EQ(ZQDBFieldKind::Int64, col.field);
      EXPECT_EQ(8u, col.size);
      EXPECT_EQ(0u, col.offset % 8);
      break;
    default:
      if (e.code[1] == '\0') {
        EXPECT_EQ(ZQDBFieldKind::HeapText, col.field);
        EXPECT_EQ(sizeof(char*), col.size);
        EXPECT_EQ(0u, col.offset % alignof(char*));
      } else {
        EXPECT_EQ(ZQDBFieldKind::FixedText, col.field);
        EXPECT_EQ(std::stoul(e.code + 1), col.size);
      }
  }
}

// The catalogue's answers (a fresh catalogue, then a second one of the class).
template <class Catalogue>
void checkCatalogue(const ExpectedBinding& e) {
  const int count = static_cast<int>(e.columns.size());
  Catalogue cat;
  EXPECT_TRUE(cat.isGenerated());
  EXPECT_EQ(e.className, cat.getTableName());
  EXPECT_EQ(e.headerType, cat.getHeaderType());
  EXPECT_EQ(e.primaryWhere, cat.getPrimaryWhere());
  EXPECT_EQ(std::string::npos, cat.getPrimaryWhere().find("AND"));
  EXPECT_EQ(e.serialColNum, cat.getSerialColNum());
  EXPECT_EQ(e.serialName, cat.serialColName());
  EXPECT_EQ(expectedStructDef(e), cat.getStructDef());
  EXPECT_EQ(e.foreignKeys, cat.getForeignKeyMap());

  for (int i = 0; i < count; ++i) {
    SCOPED_TRACE(e.columns[static_cast<size_t>(i)].name);
    EXPECT_STREQ(e.columns[static_cast<size_t>(i)].name, cat.getColumnName_t2(i));
    EXPECT_EQ(e.columns[static_cast<size_t>(i)].name, cat.getColumnName(i));
  }
  EXPECT_EQ(nullptr, cat.getColumnName_t2(count));
  EXPECT_EQ(nullptr, cat.getColumnName_t2(-1));

  // One value object per column, of the column's type, NULL, reachable by name.
  std::vector<ZQDBDataTypeBase*> values = cat.getData();
  ASSERT_EQ(static_cast<size_t>(count), values.size());
  EXPECT_EQ(static_cast<size_t>(count), cat.columnMap().size());
  for (size_t i = 0; i < values.size(); ++i) {
    SCOPED_TRACE(e.columns[i].name);
    EXPECT_EQ(expectedDataType(e.columns[i].code), values[i]->getDataType());
    EXPECT_TRUE(values[i]->isNull());
    EXPECT_EQ(values[i], cat.columnMap().at(e.columns[i].name));
  }

  // The primary key: its name list and its value objects.
  std::vector<ZQDBDataTypeBase*> key = cat.getPrimaryData();
  if (std::string(e.primaryWhere).empty()) {
    EXPECT_TRUE(key.empty());
    EXPECT_TRUE(cat.primaryKeyNames().empty());
  } else {
    std::string keyName = std::string(e.primaryWhere).substr(0, std::string(e.primaryWhere).find(' '));
    ASSERT_EQ(1u, key.size());
    EXPECT_EQ(std::vector<std::string>{keyName}, cat.primaryKeyNames());
    EXPECT_EQ(cat.columnMap().at(keyName), key[0]);
  }

  // A second catalogue shares the class-wide part instead of adding to it.
  Catalogue second;
  EXPECT_EQ(static_cast<size_t>(count), Catalogue::m_staticColumnVec.size());
  EXPECT_EQ(nullptr, second.getColumnName_t2(count));
  EXPECT_EQ(e.foreignKeys.size(), second.getForeignKeyMap().size());
  EXPECT_EQ(e.primaryWhere, second.getPrimaryWhere());
}

// What the database object tells the engine, typed and text mode.
template <class Table, class Catalogue>
void checkTableObject(const ExpectedBinding& e) {
  testkit::debuglog::Capture log;
  Table table(nullptr);
  // Made without a transaction: registered nowhere, nothing logged.
  EXPECT_TRUE(log.lines().empty());
  EXPECT_EQ(e.dbName, table.getObjectName());
  EXPECT_EQ(ZQDB_KIND_TABLE, table.getKind());
  EXPECT_EQ(expectedSelectList(e), table.getSelectList());
  EXPECT_STREQ(e.version, table.getVersion());
  EXPECT_STREQ(e.serialName, table.getSerialColName());
  if (std::string(e.serialName).empty()) {
    EXPECT_EQ(nullptr, table.getSerialField());
  } else {
    // Every serial column is the row's first field.
    EXPECT_EQ(static_cast<void*>(table.getDataPtr()), table.getSerialField());
  }
  EXPECT_EQ(std::string("Table ") + e.className, table.getDescription());
  EXPECT_EQ(e.orderBy, table.getOrderBy());
  EXPECT_EQ(nullptr, table.getTransaction());
  ASSERT_NE(nullptr, table.getCatalogue());
  EXPECT_NE(nullptr, dynamic_cast<Catalogue*>(table.getCatalogue()));

  DBtable::b_newDBBase = 0;
  {
    Table text(nullptr);
    EXPECT_EQ(nullptr, text.getCatalogue());
    EXPECT_EQ(expectedSelectList(e), text.getSelectList());
  }
  DBtable::b_newDBBase = 1;
}

// The row: its columns against the column table, and a fresh row's values.
template <class Row>
void checkRow(const ExpectedBinding& e) {
  static_assert(!std::is_copy_constructible_v<Row>);
  static_assert(!std::is_copy_assignable_v<Row>);
  static_assert(!std::is_move_constructible_v<Row>);
  static_assert(!std::is_move_assignable_v<Row>);
  static_assert(!std::is_assignable_v<Row&, Row&>);

  EXPECT_EQ(expectedSchema(e), ZQDBSchemaString<Row>());
  EXPECT_EQ(expectedSelectList(e), ZQDBSelectList<Row>());
  const ZQDBColumns& cols = Row::zqdbColumns();
  ASSERT_EQ(static_cast<int>(e.columns.size()), cols.count);
  ASSERT_EQ(static_cast<int>(e.columns.size()), Row::kColumnCount);
  size_t end = 0;
  for (int i = 0; i < cols.count; ++i) {
    expectField(cols.cols[i], e.columns[static_cast<size_t>(i)]);
    // Fields lie in column order, each after the one before.
    EXPECT_GE(cols.cols[i].offset, end) << cols.cols[i].name;
    end = cols.cols[i].offset + cols.cols[i].size;
  }
  EXPECT_LE(end, sizeof(Row));

  // A fresh row: integers 0, texts empty, heap texts null. The bytes are set
  // first so that a field the constructor forgets shows.
  alignas(Row) unsigned char storage[sizeof(Row)];
  std::memset(storage, 0x5A, sizeof storage);
  Row* row = new (storage) Row();
  const char* base = reinterpret_cast<const char*>(row);
  for (int i = 0; i < cols.count; ++i) {
    const ZQDBColumnDesc& c = cols.cols[i];
    SCOPED_TRACE(c.name);
    switch (c.field) {
      case ZQDBFieldKind::Int32: {
        int v = -1;
        std::memcpy(&v, base + c.offset, sizeof v);
        EXPECT_EQ(0, v);
        break;
      }
      case ZQDBFieldKind::Int64: {
        long long v = -1;
        std::memcpy(&v, base + c.offset, sizeof v);
        EXPECT_EQ(0, v);
        break;
      }
      case ZQDBFieldKind::FixedText: EXPECT_EQ('\0', base[c.offset]); break;
      case ZQDBFieldKind::HeapText: {
        char* p = reinterpret_cast<char*>(1);
        std::memcpy(&p, base + c.offset, sizeof p);
        EXPECT_EQ(nullptr, p);
        break;
      }
      case ZQDBFieldKind::DateTime: ADD_FAILURE() << "no date-time column is expected"; break;
    }
  }
  row->~Row();
}

// Catalogues own their value objects: no compiler-made copies.
template <class Catalogue>
void checkCatalogueNotCopyable() {
  static_assert(!std::is_copy_constructible_v<Catalogue>);
  static_assert(!std::is_copy_assignable_v<Catalogue>);
  static_assert(!std::is_move_constructible_v<Catalogue>);
  static_assert(!std::is_move_assignable_v<Catalogue>);
  // The row base's assignment takes a non-const source: a catalogue that
  // does not delete its own would still be assignable from one.
  static_assert(!std::is_assignable_v<Catalogue&, Catalogue&>);
}

// Registration in an open transaction, and its failure's log line. Needs a
// database (the transaction is started).
template <class Table>
void checkRegistration(const ExpectedBinding& e, int line) {
  DBtran tran(true);
  ASSERT_TRUE(tran.isOpen());
  {
    testkit::debuglog::Capture log;
    Table table(&tran);
    EXPECT_EQ(&tran, table.getTransaction());
    std::vector<DBtable*> registered = tran.registeredObjects();
    ASSERT_EQ(1u, registered.size());
    EXPECT_EQ(static_cast<DBtable*>(&table), registered[0]);
    EXPECT_TRUE(log.lines().empty());
  }
  testkit::db::setAddObjectThrows(true);
  testkit::debuglog::Capture log;
  {
    Table table(&tran);
    testkit::db::setAddObjectThrows(false);
    char expected[256];
    std::snprintf(expected, sizeof expected, "%s(%d): %s Constructor [0x%08x], caught an exception", e.header, line,
                  e.className, static_cast<unsigned int>(reinterpret_cast<uintptr_t>(&table) & 0xFFFFFFFFu));
    std::vector<testkit::debuglog::Line> lines = log.lines();
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ(expected, lines[0].text);
    // The object stays usable, unregistered.
    for (DBtable* object : tran.registeredObjects()) EXPECT_NE(static_cast<DBtable*>(&table), object);
    table.setWhere("1 = 0");
    EXPECT_EQ(100, getOneRow(&table, false, -1, 0));
  }
  testkit::db::setAddObjectThrows(false);
  EXPECT_EQ(0, tran.rollbackTran());
}

}  // namespace dbtables
