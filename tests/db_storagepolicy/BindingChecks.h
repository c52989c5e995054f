// What every binding of the storage-policy area must tell the engine and
// its catalogue, checked against the column table the binding declares:
// names, kind, version or stamp, select list, schema string and its stored
// form, keys, serial column, foreign keys, the catalogue's value objects and
// the row struct's field layout.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "Db/ZQDBBinding.h"

namespace sptest {

// One column as the column table gives it: name and schema code with its
// length ("i", "x", "t", "u577", "s").
struct ColumnEntry {
  const char* name;
  const char* code;
};

using ForeignKeys = std::map<std::string, std::map<std::string, std::string>>;

struct BindingTable {
  const char* dbName;
  const char* className;
  int headerType;          // catalogue: 1 table, 2 procedure, 4 view
  int kind;                // engine: 1 table or view, 2 procedure
  const char* version;     // tables: dotted text; procedures: 20-digit stamp
  const char* description;
  const char* selectList;  // as the description gives it literally
  const char* schema;      // schema string as declared
  const char* structDef;   // stored form (x turned into b)
  const char* primaryWhere;
  int serialColNum;
  const char* serialName;  // table object's serial column name; nullptr for procedures
  const char* orderBy;
  std::vector<ColumnEntry> columns;
  ForeignKeys foreignKeys;
};

inline std::string joinNames(const std::vector<ColumnEntry>& columns) {
  std::string s;
  for (const ColumnEntry& c : columns) {
    if (!s.empty()) s += ", ";
    s += c.name;
  }
  return s;
}

inline std::string joinCodes(const std::vector<ColumnEntry>& columns) {
  std::string s;
  for (const ColumnEntry& c : columns) s += std::string(c.code) + "|";
  return s;
}

inline int dataTypeOf(char code) {
  switch (code) {
    case 'i': return 1;
    case 'b':
    case 'x': return 4;
    case 't': return 5;
    default: return 6;
  }
}

inline size_t fieldSizeOf(const ColumnEntry& c) {
  std::string code = c.code;
  switch (code[0]) {
    case 'i': return sizeof(int);
    case 'b':
    case 'x': return sizeof(long long);
    case 't': return sizeof(DB_DATETIME);
    default: return code.size() > 1 ? static_cast<size_t>(std::stoi(code.substr(1))) : sizeof(char*);
  }
}

// The row struct's column table: names, codes, lengths, field sizes, and
// fields laid out in column order.
template <class Row>
void checkRowLayout(const BindingTable& table) {
  SCOPED_TRACE(table.className);
  const ZQDBColumns& cols = Row::zqdbColumns();
  ASSERT_EQ(static_cast<int>(table.columns.size()), cols.count);
  ASSERT_EQ(static_cast<int>(table.columns.size()), Row::kColumnCount);
  size_t lastEnd = 0;
  for (int i = 0; i < cols.count; ++i) {
    const ColumnEntry& want = table.columns[static_cast<size_t>(i)];
    const ZQDBColumnDesc& got = cols.cols[i];
    SCOPED_TRACE(want.name);
    EXPECT_STREQ(want.name, got.name);
    EXPECT_EQ(want.code[0], got.code);
    std::string code = want.code;
    EXPECT_EQ(code.size() > 1 ? std::stoi(code.substr(1)) : 0, got.length);
    EXPECT_EQ(fieldSizeOf(want), got.size);
    EXPECT_GE(got.offset, lastEnd) << "fields out of column order";
    lastEnd = got.offset + got.size;
  }
  EXPECT_LE(lastEnd, sizeof(Row));
  EXPECT_EQ(table.schema, ZQDBSchemaString<Row>());
  EXPECT_EQ(joinCodes(table.columns), ZQDBSchemaString<Row>());
  EXPECT_EQ(table.selectList, ZQDBSelectList<Row>());
  EXPECT_EQ(joinNames(table.columns), ZQDBSelectList<Row>());
}

// The catalogue, through the base's virtual operations as the engine uses it.
inline void checkCatalogue(ZQDBRowBase* cat, const BindingTable& table) {
  SCOPED_TRACE(table.className);
  ASSERT_NE(nullptr, cat);
  EXPECT_TRUE(cat->isGenerated());
  EXPECT_EQ(table.className, cat->getTableName());
  EXPECT_EQ(table.headerType, cat->getHeaderType());
  EXPECT_EQ(table.primaryWhere, cat->getPrimaryWhere());
  EXPECT_EQ(table.serialColNum, cat->getSerialColNum());
  EXPECT_EQ(table.structDef, cat->getStructDef());
  EXPECT_EQ(0, cat->searchForeignKey("archGroup"));
  const int n = static_cast<int>(table.columns.size());
  for (int i = 0; i < n; ++i) {
    EXPECT_STREQ(table.columns[static_cast<size_t>(i)].name, cat->getColumnName_t2(i)) << "column " << i;
    EXPECT_EQ(table.columns[static_cast<size_t>(i)].name, cat->getColumnName(i)) << "column " << i;
  }
  EXPECT_EQ(nullptr, cat->getColumnName_t2(n));
  EXPECT_EQ(nullptr, cat->getColumnName_t2(-1));

  std::vector<ZQDBDataTypeBase*> data = cat->getData();
  ASSERT_EQ(table.columns.size(), data.size());
  ASSERT_EQ(table.columns.size(), cat->columnMap().size());
  for (size_t i = 0; i < data.size(); ++i) {
    SCOPED_TRACE(table.columns[i].name);
    ASSERT_NE(nullptr, data[i]);
    EXPECT_EQ(dataTypeOf(table.columns[i].code[0]), data[i]->getDataType());
    EXPECT_TRUE(data[i]->isNull());
    EXPECT_EQ(ZQDB_NOT_UPDATED, data[i]->getUpdated());
    EXPECT_EQ(data[i], cat->columnMap().at(table.columns[i].name));
  }

  std::vector<ZQDBDataTypeBase*> key = cat->getPrimaryData();
  std::vector<std::string> keyNames = cat->primaryKeyNames();
  if (*table.primaryWhere == '\0') {
    EXPECT_TRUE(key.empty());
    EXPECT_TRUE(keyNames.empty());
  } else {
    ASSERT_EQ(1u, key.size());
    ASSERT_EQ(1u, keyNames.size());
    EXPECT_EQ(cat->columnMap().at(keyNames[0]), key[0]);
    EXPECT_EQ(keyNames[0] + " = ?", table.primaryWhere);
  }
  EXPECT_EQ(table.serialName != nullptr ? table.serialName : "", cat->serialColName());
}

template <class Catalogue>
void checkForeignKeys(Catalogue& cat, const BindingTable& table) {
  SCOPED_TRACE(table.className);
  EXPECT_EQ(table.foreignKeys, cat.getForeignKeyMap());
}

// The database object as the engine sees it after construction over no
// transaction, in the typed mode.
template <class Object, class Catalogue>
void checkObject(Object& object, const BindingTable& table) {
  SCOPED_TRACE(table.className);
  EXPECT_EQ(table.dbName, object.getObjectName());
  EXPECT_EQ(table.kind, object.getKind());
  EXPECT_STREQ(table.selectList, object.getSelectList());
  EXPECT_STREQ(table.description, object.getDescription());
  EXPECT_EQ(table.orderBy, object.getOrderBy());
  EXPECT_EQ(nullptr, object.getTransaction());
  if (table.kind == ZQDB_KIND_PROCEDURE) {
    EXPECT_STREQ(table.version, object.getStamp());
    EXPECT_EQ(nullptr, object.getSerialColName());
    EXPECT_EQ(nullptr, object.getSerialField());
  } else {
    EXPECT_STREQ(table.version, object.getVersion());
    ASSERT_NE(nullptr, object.getSerialColName());
    EXPECT_STREQ(table.serialName, object.getSerialColName());
    // Every serial column is the row's first field.
    EXPECT_EQ(static_cast<void*>(object.getDataPtr()), object.getSerialField());
  }
  ASSERT_NE(nullptr, object.getCatalogue());
  auto* cat = dynamic_cast<Catalogue*>(object.getCatalogue());
  ASSERT_NE(nullptr, cat);
  checkCatalogue(cat, table);
  checkForeignKeys(*cat, table);
}

}  // namespace sptest
