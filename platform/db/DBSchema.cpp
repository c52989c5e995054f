// CREATE statements of the bindings.
#include <strings.h>

#include <algorithm>
#include <mutex>

#include "platform/db/DBColumns.h"
#include "platform/db/DBSession.h"
#include "platform/db/SqlText.h"
#include "platform/debuglog/EvDebug.h"

namespace tkdb {

namespace {

const ZQDBColumnDesc* findColumn(const ZQDBColumns& columns, const std::string& name) {
  for (int i = 0; i < columns.count; ++i) {
    if (strcasecmp(columns.cols[i].name, name.c_str()) == 0) return &columns.cols[i];
  }
  return nullptr;
}

const char* sqlType(const ZQDBColumnDesc& col) {
  switch (col.code) {
    case 'i':
    case 'b':
    case 'x': return "INTEGER";
    case 't': return "TEXT";
    default: return "TEXT COLLATE NOCASE";
  }
}

struct ReferenceRegistry {
  std::mutex mutex;
  std::vector<TableReference> references;
};

ReferenceRegistry& referenceRegistry() {
  static ReferenceRegistry* r = new ReferenceRegistry();  // lives through static destruction
  return *r;
}

}  // namespace

void registerReferences(const std::string& table, const char* references) {
  ReferenceRegistry& r = referenceRegistry();
  std::lock_guard<std::mutex> guard(r.mutex);
  for (auto& key : parseForeignKeys(references)) {
    const std::string& referenced = key.first;
    const auto& columns = key.second;
    const bool known = std::any_of(r.references.begin(), r.references.end(), [&](const TableReference& k) {
      return strcasecmp(k.table.c_str(), table.c_str()) == 0 &&
             strcasecmp(k.referenced.c_str(), referenced.c_str()) == 0 && k.columns == columns;
    });
    if (!known) r.references.push_back(TableReference{table, referenced, columns});
  }
}

std::vector<TableReference> tableReferences() {
  ReferenceRegistry& r = referenceRegistry();
  std::lock_guard<std::mutex> guard(r.mutex);
  return r.references;
}

std::string createStatement(const ZQDBColumns& columns, const ZQDBBindingInfo& info) {
  std::string name = quoteIdent(info.dbName != nullptr ? info.dbName : "");
  if (info.headerType == ZQDB_HEADER_VIEW) {
    if (info.viewSql == nullptr || *info.viewSql == '\0') return std::string();
    std::string sql = "CREATE VIEW IF NOT EXISTS " + name + " (";
    for (int i = 0; i < columns.count; ++i) {
      if (i > 0) sql += ", ";
      sql += quoteIdent(columns.cols[i].name);
    }
    return sql + ") AS " + info.viewSql;
  }
  if (info.headerType != ZQDB_HEADER_TABLE) return std::string();

  std::string serial = info.serial != nullptr ? info.serial : "";
  std::vector<std::string> key = splitNames(info.primaryKey);
  // A key of one integer column is the row id whoever gives it: it is kept
  // as an identity too, so that the id of a deleted row is never given to
  // a new one (a handle or a reply that still carries it would name the
  // new row).
  if (serial.empty() && key.size() == 1) {
    const ZQDBColumnDesc* only = findColumn(columns, key[0]);
    if (only != nullptr && (only->code == 'i' || only->code == 'b' || only->code == 'x')) serial = only->name;
  }
  std::string sql = "CREATE TABLE IF NOT EXISTS " + name + " (";
  for (int i = 0; i < columns.count; ++i) {
    const ZQDBColumnDesc& col = columns.cols[i];
    if (i > 0) sql += ", ";
    sql += quoteIdent(col.name);
    if (!serial.empty() && strcasecmp(col.name, serial.c_str()) == 0) {
      sql += " INTEGER PRIMARY KEY AUTOINCREMENT";
    } else {
      sql += " ";
      sql += sqlType(col);
    }
  }
  bool keyIsSerial = key.size() == 1 && !serial.empty() && strcasecmp(key[0].c_str(), serial.c_str()) == 0;
  if (!key.empty() && !keyIsSerial) {
    sql += serial.empty() ? ", PRIMARY KEY (" : ", UNIQUE (";
    for (size_t k = 0; k < key.size(); ++k) {
      if (k > 0) sql += ", ";
      sql += quoteIdent(key[k]);
    }
    sql += ")";
  }
  return sql + ")";
}

bool registerBinding(const ZQDBColumns& columns, const ZQDBBindingInfo& info) {
  const char* className = info.className != nullptr ? info.className : "";
  std::vector<std::string> names = splitNames(info.primaryKey);
  if (info.serial != nullptr && *info.serial != '\0') names.push_back(info.serial);
  for (const auto& [object, pairs] : parseForeignKeys(info.foreignKeys)) {
    for (const auto& pair : pairs) names.push_back(pair.first);
  }
  for (const std::string& n : names) {
    if (findColumn(columns, n) == nullptr) {
      EvDebug::Error("tkdb::registerBinding", "binding %s names the key column [%s], which it does not have",
                     className, n.c_str());
    }
  }
  if (info.serial != nullptr && *info.serial != '\0') {
    const ZQDBColumnDesc* serial = findColumn(columns, info.serial);
    if (serial != nullptr && serial->code != 'i' && serial->code != 'b' && serial->code != 'x') {
      EvDebug::Error("tkdb::registerBinding", "binding %s has a serial column [%s] that is not an integer", className,
                     info.serial);
    }
  }
  std::string sql = createStatement(columns, info);
  if (!sql.empty()) registerSchema(info.dbName, sql);
  if (info.headerType == ZQDB_HEADER_TABLE && info.dbName != nullptr) registerReferences(info.dbName, info.foreignKeys);
  if (info.headerType == ZQDB_HEADER_TABLE && info.indexes != nullptr) {
    for (const std::string& index : splitNames(info.indexes, ';')) {
      for (const std::string& n : splitNames(index.c_str())) {
        if (findColumn(columns, n) == nullptr) {
          EvDebug::Error("tkdb::registerBinding", "binding %s indexes the column [%s], which it does not have",
                         className, n.c_str());
        }
      }
      registerIndex(info.dbName, index);
    }
  }
  return true;
}

void registerIndex(const std::string& table, const std::string& columns) {
  std::string name = table;
  std::string list;
  for (const std::string& column : splitNames(columns.c_str())) {
    name += "_" + column;
    list += (list.empty() ? "" : ", ") + quoteIdent(column);
  }
  registerSchema(name, "CREATE INDEX IF NOT EXISTS " + quoteIdent(name) + " ON " + quoteIdent(table) + " (" + list +
                           ")");
}

}  // namespace tkdb
