// CREATE statements of the bindings.
#include <sqlite3.h>
#include <string.h>
#include <strings.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <map>
#include <mutex>

#include "platform/db/DBColumns.h"
#include "platform/db/DBInternal.h"
#include "platform/db/DBSession.h"
#include "platform/db/SqlText.h"
#include "platform/db/TextWidth.h"
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

struct OwnedTrigger {
  std::string name;
  std::string table;
  std::string create;
  // The text the engine keeps for the trigger `create` makes (what
  // sqlite_master holds), made once at registration; empty when `create`
  // holds no trigger statement it can be told from (then name and table
  // alone are compared).
  std::string stored;
};

bool startsWithWord(const std::string& text, size_t& at, const char* word) {
  const size_t n = strlen(word);
  if (text.size() - at < n || strncasecmp(text.c_str() + at, word, n) != 0) return false;
  if (at + n < text.size() && (isalnum(static_cast<unsigned char>(text[at + n])) || text[at + n] == '_'))
    return false;
  at += n;
  while (at < text.size() && isspace(static_cast<unsigned char>(text[at]))) ++at;
  return true;
}

// The text the engine stores for the CREATE TRIGGER statement among the
// statements of `createSql`: it keeps "CREATE TRIGGER " and the statement
// from the trigger's name to its END, without TEMP or IF NOT EXISTS, and
// without what comes after END. Empty when there is none.
std::string storedTriggerText(const std::string& createSql) {
  size_t start = 0;
  while (start < createSql.size()) {
    // The statement ends at the first semicolon after which the text is
    // complete (a trigger's body holds semicolons of its own).
    size_t end = start;
    for (;;) {
      end = createSql.find(';', end);
      if (end == std::string::npos) {
        end = createSql.size();
        break;
      }
      ++end;
      if (sqlite3_complete(createSql.substr(start, end - start).c_str()) != 0) break;
    }
    size_t at = start;
    while (at < end && isspace(static_cast<unsigned char>(createSql[at]))) ++at;
    if (startsWithWord(createSql, at, "CREATE")) {
      if (!startsWithWord(createSql, at, "TEMPORARY")) startsWithWord(createSql, at, "TEMP");
      if (startsWithWord(createSql, at, "TRIGGER")) {
        size_t ifAt = at;
        if (startsWithWord(createSql, ifAt, "IF") && startsWithWord(createSql, ifAt, "NOT") &&
            startsWithWord(createSql, ifAt, "EXISTS"))
          at = ifAt;
        size_t last = end;
        while (last > at && (createSql[last - 1] == ';' || isspace(static_cast<unsigned char>(createSql[last - 1]))))
          --last;
        return "CREATE TRIGGER " + createSql.substr(at, last - at);
      }
    }
    start = end;
  }
  return std::string();
}

// The triggers the schema keeps in place, the registrars still to call, and
// why a trigger could not be made again (empty: none).
struct TriggerRegistry {
  std::mutex mutex;
  std::vector<OwnedTrigger> triggers;
  std::vector<std::string> retired;  // lower case
  std::vector<void (*)()> later;
  std::atomic<bool> laterPending{false};
  // Held while the registrars run: a connection opened meanwhile on
  // another thread waits for their statements.
  std::mutex laterRunning;
  std::string refusal;
  // The database and schema version a connection of this process last
  // found every trigger in place in: another connection that finds the
  // same need not read the schema again.
  std::string verifiedPath;
  long long verifiedVersion = -1;
};

TriggerRegistry& triggerRegistry() {
  static TriggerRegistry* r = new TriggerRegistry();  // lives through static destruction
  return *r;
}

void setRefusal(const std::string& text) {
  TriggerRegistry& r = triggerRegistry();
  std::lock_guard<std::mutex> guard(r.mutex);
  r.refusal = text;
}

// Notes that every trigger is in place in `conn`'s database at `version`.
void verified(Connection& conn, long long version) {
  conn.triggersCheckedAt = version;
  TriggerRegistry& r = triggerRegistry();
  std::lock_guard<std::mutex> guard(r.mutex);
  r.refusal.clear();
  r.verifiedPath = conn.path();
  r.verifiedVersion = version;
}

bool verifiedBefore(const Connection& conn, long long version) {
  TriggerRegistry& r = triggerRegistry();
  std::lock_guard<std::mutex> guard(r.mutex);
  return r.refusal.empty() && r.verifiedVersion == version && r.verifiedPath == conn.path();
}

// The registered triggers that the database lacks, has on another table or
// has with another text (one replaced by hand under its name, with a body
// that records nothing), and the retired ones it has (with no statement:
// they are only dropped). One read of the schema's triggers, compared with
// the texts made at registration. False when the schema cannot be read.
bool displacedTriggers(Connection& conn, std::vector<OwnedTrigger>& out) {
  std::vector<OwnedTrigger> owned;
  std::vector<std::string> retired;
  {
    TriggerRegistry& r = triggerRegistry();
    std::lock_guard<std::mutex> guard(r.mutex);
    owned = r.triggers;
    retired = r.retired;
  }
  // Read past the statement cache: the schema's own look is no scan of a
  // table that a statement of the caller made (testkit::db::scannedRows).
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(conn.handle(),
                         "SELECT lower(\"name\"), lower(\"tbl_name\"), \"sql\" FROM sqlite_master "
                         "WHERE \"type\" = 'trigger'",
                         -1, &stmt, nullptr) != SQLITE_OK) {
    sqlite3_finalize(stmt);
    return false;
  }
  struct Found {
    std::string table;
    std::string text;
  };
  std::map<std::string, Found> found;
  int rc;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    const unsigned char* name = sqlite3_column_text(stmt, 0);
    const unsigned char* table = sqlite3_column_text(stmt, 1);
    const unsigned char* text = sqlite3_column_text(stmt, 2);
    if (name != nullptr && table != nullptr)
      found[reinterpret_cast<const char*>(name)] =
          Found{reinterpret_cast<const char*>(table), text != nullptr ? reinterpret_cast<const char*>(text) : ""};
  }
  sqlite3_finalize(stmt);
  if (rc != SQLITE_DONE) return false;
  for (OwnedTrigger& trigger : owned) {
    auto it = found.find(lowerName(trigger.name));
    if (it == found.end() || it->second.table != lowerName(trigger.table) ||
        (!trigger.stored.empty() && it->second.text != trigger.stored))
      out.push_back(std::move(trigger));
  }
  for (const std::string& name : retired) {
    auto it = found.find(name);
    if (it != found.end()) out.push_back(OwnedTrigger{name, it->second.table, std::string(), std::string()});
  }
  return true;
}

long long schemaVersion(Connection& conn) {
  DbRows rows;
  std::string why;
  if (conn.run("PRAGMA schema_version", {}, &rows, why) != DB_OK || rows.empty() || rows[0].empty()) return -1;
  return rows[0][0].i;
}

}  // namespace

void registerTrigger(const std::string& name, const std::string& table, const std::string& createSql) {
  registerSchema(name, createSql);
  TriggerRegistry& r = triggerRegistry();
  std::lock_guard<std::mutex> guard(r.mutex);
  const std::string key = lowerName(name);
  for (const OwnedTrigger& known : r.triggers)
    if (lowerName(known.name) == key) return;
  r.triggers.push_back(OwnedTrigger{name, table, createSql, storedTriggerText(createSql)});
}

void retireTrigger(const std::string& name) {
  TriggerRegistry& r = triggerRegistry();
  std::lock_guard<std::mutex> guard(r.mutex);
  r.retired.push_back(lowerName(name));
}

void registerSchemaLater(void (*registrar)()) {
  TriggerRegistry& r = triggerRegistry();
  std::lock_guard<std::mutex> guard(r.mutex);
  r.later.push_back(registrar);
  r.laterPending.store(true, std::memory_order_release);
}

void runLateRegistrars() {
  TriggerRegistry& r = triggerRegistry();
  if (!r.laterPending.load(std::memory_order_acquire)) return;
  std::lock_guard<std::mutex> running(r.laterRunning);
  std::vector<void (*)()> due;
  {
    std::lock_guard<std::mutex> guard(r.mutex);
    due.swap(r.later);
  }
  for (void (*registrar)() : due) registrar();
  std::lock_guard<std::mutex> guard(r.mutex);
  if (r.later.empty()) r.laterPending.store(false, std::memory_order_release);
}

void keepTriggersInPlace(Connection& conn) {
  std::lock_guard<std::recursive_mutex> guard(conn.mutex());
  // Inside a transaction the repair would roll back with it; during a walk
  // it could not write: both wait for the connection's next use.
  if (sqlite3_get_autocommit(conn.handle()) == 0 || conn.reading()) return;
  const long long version = schemaVersion(conn);
  if (version < 0) return;
  conn.schemaMoved = false;
  if (version == conn.triggersCheckedAt) return;
  if (verifiedBefore(conn, version)) {
    conn.triggersCheckedAt = version;
    return;
  }
  // The version is noted as looked at only once every trigger is found or
  // made again in place: after a failed look or repair (a lock another
  // process held past the time-out) the next read that asks looks again,
  // although no statement of it meets a newer schema.
  std::vector<OwnedTrigger> displaced;
  if (!displacedTriggers(conn, displaced)) return;
  if (displaced.empty()) {
    verified(conn, version);
    return;
  }
  std::string why;
  std::string failed;
  int code = conn.run("BEGIN IMMEDIATE", {}, nullptr, why);
  for (const OwnedTrigger& trigger : displaced) {
    if (code != DB_OK) break;
    failed = trigger.name + "] on [" + trigger.table;
    code = conn.run("DROP TRIGGER IF EXISTS " + quoteIdent(trigger.name), {}, nullptr, why);
    if ((code == DB_OK || code == DB_NO_ROW) && !trigger.create.empty())
      code = conn.run(trigger.create, {}, nullptr, why);
    if (code == DB_NO_ROW) code = DB_OK;
  }
  if (code == DB_OK) code = conn.run("COMMIT", {}, nullptr, why);
  if (code != DB_OK) {
    std::string ignored;
    if (sqlite3_get_autocommit(conn.handle()) == 0) conn.run("ROLLBACK", {}, nullptr, ignored);
    if (failed.empty()) failed = displaced.front().name + "] on [" + displaced.front().table;
    const std::string text = "The database lacks the trigger [" + failed +
                             "], which could not be made again (" + why +
                             "): changes are refused, as they would go unrecorded.";
    EvDebug::Error("tkdb::keepTriggersInPlace", "%s", text.c_str());
    setRefusal(text);
    return;
  }
  for (const OwnedTrigger& trigger : displaced)
    EvDebug::Debug("tkdb::keepTriggersInPlace", "the trigger [%s] on [%s] %s", trigger.name.c_str(),
                   trigger.table.c_str(), trigger.create.empty() ? "is no longer made: dropped"
                                                                 : "was missing, on another table or changed: made again");
  verified(conn, schemaVersion(conn));
}

void checkOwnedTriggers() {
  int code = DB_OK;
  std::string detail;
  std::shared_ptr<Connection> conn = Connection::forThread(code, detail);
  if (!conn) return;
  // The schema's version alone, unless it moved since the connection last
  // looked: no statement of it need have found the change yet.
  keepTriggersInPlace(*conn);
}

bool ownedTriggersInPlaceAt(long long version) {
  int code = DB_OK;
  std::string detail;
  std::shared_ptr<Connection> conn = Connection::forThread(code, detail);
  if (!conn) return false;
  std::lock_guard<std::recursive_mutex> guard(conn->mutex());
  if (version < 0) return false;
  if (version != conn->triggersCheckedAt && !verifiedBefore(*conn, version)) return false;
  conn->triggersCheckedAt = version;
  conn->schemaMoved = false;
  return true;
}

std::string schemaRefusal() {
  int code = DB_OK;
  std::string detail;
  std::shared_ptr<Connection> conn = Connection::forThread(code, detail);
  TriggerRegistry& r = triggerRegistry();
  {
    std::lock_guard<std::mutex> guard(r.mutex);
    if (r.refusal.empty()) return std::string();
  }
  if (conn) {
    // Looks again: what failed may work now (a lock another process held).
    std::lock_guard<std::recursive_mutex> guard(conn->mutex());
    conn->triggersCheckedAt = -1;
    keepTriggersInPlace(*conn);
  }
  std::lock_guard<std::mutex> guard(r.mutex);
  return r.refusal;
}

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
  if (info.headerType == ZQDB_HEADER_TABLE && info.dbName != nullptr) {
    registerReferences(info.dbName, info.foreignKeys);
    declareTextWidths(info.dbName, columns.cols, columns.count);
  }
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
