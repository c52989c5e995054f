// The whole-store checks (StoreCheck.h).
#include "tests/support/StoreCheck.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <set>
#include <utility>

#include "platform/db/DBColumns.h"
#include "platform/db/DBSession.h"
#include "platform/db/SqlText.h"
#include "platform/db/TextWidth.h"
#include "platform/mmdb/MMStoredReferences.h"

namespace tktest {
namespace {

using Rows = std::vector<std::vector<std::string>>;

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// The columns of the named tables as the database spells them: lowered
// table, to lowered column, to the spelling.
using Columns = std::map<std::string, std::map<std::string, std::string>>;

bool columnsOf(const StoreQuery& query, const std::set<std::string>& tables, Columns& out, std::string& why) {
  if (tables.empty()) return true;
  std::string list;
  for (const std::string& t : tables) list += (list.empty() ? "'" : ", '") + t + "'";
  Rows rows;
  if (!query("SELECT lower(m.name), m.name, p.name FROM sqlite_master m, pragma_table_info(m.name) p WHERE "
             "m.type = 'table' AND lower(m.name) IN (" + list + ")",
             rows, why))
    return false;
  for (const std::vector<std::string>& row : rows)
    if (row.size() >= 3) {
      out[row[0]][lower(row[2])] = row[2];
      out[row[0]][""] = row[1];  // the table's own spelling
    }
  return true;
}

// The spelling of `column` of `table` in the database, or "" when it has none.
std::string spelled(const Columns& columns, const std::string& table, const std::string& column) {
  const auto t = columns.find(lower(table));
  if (t == columns.end()) return "";
  const auto c = t->second.find(lower(column));
  return c == t->second.end() ? "" : c->second;
}

// One probe a row of the result: its number, a count and a text; the
// probes in compound statements of a size the engine takes.
bool runProbes(const StoreQuery& query, const std::vector<std::string>& probes, Rows& out, std::string& why) {
  constexpr std::size_t kPerStatement = 200;
  for (std::size_t from = 0; from < probes.size(); from += kPerStatement) {
    std::string sql;
    for (std::size_t i = from; i < probes.size() && i < from + kPerStatement; ++i)
      sql += (sql.empty() ? "" : " UNION ALL ") + probes[i];
    Rows rows;
    if (!query(sql, rows, why)) return false;
    out.insert(out.end(), rows.begin(), rows.end());
  }
  // In the probes' order, whatever order the engine gave the rows in.
  std::stable_sort(out.begin(), out.end(), [](const std::vector<std::string>& a, const std::vector<std::string>& b) {
    return a.empty() || b.empty() ? a.size() < b.size() : std::stoul(a[0]) < std::stoul(b[0]);
  });
  return true;
}

}  // namespace

std::string overlongTextsIn(const StoreQuery& query, StoreCoverage* coverage) {
  const std::vector<tkdb::DeclaredTextWidth> widths = tkdb::declaredTextWidths();
  std::set<std::string> tables;
  for (const tkdb::DeclaredTextWidth& w : widths) tables.insert(lower(w.table));
  Columns columns;
  std::string why;
  if (!columnsOf(query, tables, columns, why)) return "the tables' columns were not read: " + why + "\n";
  std::vector<const tkdb::DeclaredTextWidth*> checked;
  std::vector<std::string> probes;
  for (const tkdb::DeclaredTextWidth& w : widths) {
    const std::string column = spelled(columns, w.table, w.column);
    if (column.empty()) continue;
    const std::string length = "length(CAST(" + tkdb::quoteIdent(column) + " AS BLOB))";
    probes.push_back("SELECT " + std::to_string(checked.size()) + ", COUNT(*), MAX(" + length + ") FROM " +
                     tkdb::quoteIdent(spelled(columns, w.table, "")) + " WHERE " + length + " > " +
                     std::to_string(w.width));
    checked.push_back(&w);
  }
  if (coverage != nullptr) coverage->textColumns = checked.size();
  Rows rows;
  if (!runProbes(query, probes, rows, why)) return "the texts' lengths were not read: " + why + "\n";
  std::string found;
  for (const std::vector<std::string>& row : rows) {
    if (row.size() < 3 || row[1] == "0") continue;
    const tkdb::DeclaredTextWidth& w = *checked.at(std::stoul(row[0]));
    found += w.table + "." + w.column + ": " + row[1] + " rows longer than " + std::to_string(w.width) +
             " bytes, the longest " + row[2] + "\n";
  }
  return found;
}

std::string danglingReferencesIn(const StoreQuery& query, StoreCoverage* coverage) {
  // One reference: the columns of `table` naming the key columns of
  // `referenced`; `positive`: a value of 0 or below names none (else 0 or NULL).
  struct Reference {
    std::string table;
    std::string referenced;
    std::vector<std::pair<std::string, std::string>> columns;
    bool positive = false;
  };
  std::vector<Reference> references;
  std::set<std::string> seen;
  auto add = [&](Reference r) {
    std::string key = lower(r.table) + ">" + lower(r.referenced);
    for (const auto& [mine, theirs] : r.columns) key += ":" + lower(mine) + "=" + lower(theirs);
    if (seen.insert(key).second) references.push_back(std::move(r));
  };
  for (const tkdb::TableReference& ref : tkdb::tableReferences())
    add({ref.table, ref.referenced, {ref.columns.begin(), ref.columns.end()}, false});
  for (const MMStoredReference& ref : storedReferences()) {
    const MMStoredKindRow& owner = storedKind(ref.kind);
    const MMStoredKindRow& target = storedKind(ref.refers);
    add({owner.table, ref.table != nullptr ? ref.table : target.table,
         {{ref.column, ref.table != nullptr ? ref.key : target.key}}, true});
  }
  std::set<std::string> tables;
  for (const Reference& r : references) {
    tables.insert(lower(r.table));
    tables.insert(lower(r.referenced));
  }
  Columns columns;
  std::string why;
  if (!columnsOf(query, tables, columns, why)) return "the tables' columns were not read: " + why + "\n";

  std::vector<std::string> labels;
  std::vector<std::string> probes;
  for (const Reference& r : references) {
    bool checkable = !r.columns.empty();
    std::string where;
    std::string matched;
    std::string values;
    std::string names;
    for (const auto& [mine, theirs] : r.columns) {
      const std::string local = spelled(columns, r.table, mine);
      const std::string remote = spelled(columns, r.referenced, theirs);
      checkable = checkable && !local.empty() && !remote.empty();
      const std::string column = "t." + tkdb::quoteIdent(local);
      where += r.positive ? column + " > 0 AND " : column + " IS NOT NULL AND " + column + " <> 0 AND ";
      matched += std::string(matched.empty() ? "" : " AND ") + "r." + tkdb::quoteIdent(remote) + " = " + column;
      values += std::string(values.empty() ? "" : " || ',' || ") + column;
      names += (names.empty() ? "" : ",") + mine;
    }
    if (!checkable) continue;
    const std::string from = tkdb::quoteIdent(spelled(columns, r.table, "")) + " t";
    where += "NOT EXISTS (SELECT 1 FROM " + tkdb::quoteIdent(spelled(columns, r.referenced, "")) + " r WHERE " +
             matched + ")";
    probes.push_back("SELECT " + std::to_string(labels.size()) + ", COUNT(*), (SELECT group_concat(v, ' ') FROM "
                     "(SELECT " + values + " AS v FROM " + from + " WHERE " + where + " LIMIT 5)) FROM " + from +
                     " WHERE " + where);
    labels.push_back(r.table + "(" + names + ") -> " + r.referenced);
  }
  if (coverage != nullptr) coverage->references = labels.size();
  Rows rows;
  if (!runProbes(query, probes, rows, why)) return "the references were not read: " + why + "\n";
  std::string found;
  for (const std::vector<std::string>& row : rows) {
    if (row.size() < 3 || row[1] == "0") continue;
    found += labels.at(std::stoul(row[0])) + ": " + row[1] + " rows point at none, values " + row[2] + "\n";
  }
  return found;
}

bool sessionQuery(const std::string& sql, std::vector<std::vector<std::string>>& rows, std::string& why) {
  tkdb::Session session;
  tkdb::DbRows found;
  if (session.query(sql, {}, found) != 0) {
    why = session.errorText();
    return false;
  }
  rows.clear();
  for (const tkdb::DbRow& row : found) {
    std::vector<std::string>& out = rows.emplace_back();
    for (const tkdb::DbValue& v : row)
      out.push_back(v.type == tkdb::DbValue::Type::Int    ? std::to_string(v.i)
                    : v.type == tkdb::DbValue::Type::Real ? std::to_string(v.r)
                                                          : v.s);
  }
  return true;
}

std::string wholeStoreFaults() { return overlongTextsIn(sessionQuery) + danglingReferencesIn(sessionQuery); }

namespace {

// The file `path` opened read-only, a writer's lock waited out up to
// `busyMs`; null, with why, when it cannot be.
sqlite3* openReading(const std::string& path, int busyMs, std::string& why) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    why = db != nullptr ? sqlite3_errmsg(db) : "no memory";
    sqlite3_close(db);
    return nullptr;
  }
  sqlite3_busy_timeout(db, busyMs);
  return db;
}

// One statement on an open connection, its rows as texts (NULL as "").
bool rowsOn(sqlite3* db, const std::string& sql, Rows& rows, std::string& why) {
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
    why = sqlite3_errmsg(db);
    return false;
  }
  rows.clear();
  int rc = SQLITE_ROW;
  while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
    std::vector<std::string>& row = rows.emplace_back();
    for (int i = 0; i < sqlite3_column_count(statement); ++i) {
      const unsigned char* text = sqlite3_column_text(statement, i);
      row.emplace_back(text != nullptr ? reinterpret_cast<const char*>(text) : "");
    }
  }
  if (rc != SQLITE_DONE) why = sqlite3_errmsg(db);
  sqlite3_finalize(statement);
  return rc == SQLITE_DONE;
}

}  // namespace

bool fileQuery(const std::string& path, const std::string& sql, Rows& rows, std::string& why, int busyMs) {
  sqlite3* db = openReading(path, busyMs, why);
  if (db == nullptr) return false;
  const bool read = rowsOn(db, sql, rows, why);
  sqlite3_close(db);
  return read;
}

std::string wholeStoreFaults(const std::string& path, StoreCoverage* coverage) {
  std::string why;
  sqlite3* db = openReading(path, 10000, why);
  if (db == nullptr) return "the database was not opened: " + why + "\n";
  const StoreQuery query = [db](const std::string& sql, Rows& rows, std::string& why) {
    return rowsOn(db, sql, rows, why);
  };
  StoreCoverage texts;
  const std::string found = overlongTextsIn(query, &texts) + danglingReferencesIn(query, coverage);
  if (coverage != nullptr) coverage->textColumns = texts.textColumns;
  sqlite3_close(db);
  return found;
}

}  // namespace tktest
