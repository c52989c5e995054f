#include "tests/support/ReferenceCheck.h"

#include <set>

#include "platform/db/DBColumns.h"
#include "platform/db/DBSession.h"
#include "platform/db/SqlText.h"

namespace tktest {
namespace {

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// The columns of `table` (lower case); empty when there is no such table.
std::set<std::string> columnsOf(tkdb::Session& session, const std::string& table) {
  tkdb::DbRows rows;
  std::set<std::string> out;
  if (session.query("SELECT name FROM pragma_table_info(?)", {table}, rows) != 0) return out;
  for (const tkdb::DbRow& row : rows) out.insert(lower(row.at(0).s));
  return out;
}

}  // namespace

std::string danglingReferences() {
  tkdb::Session session;
  std::string found;
  for (const tkdb::TableReference& ref : tkdb::tableReferences()) {
    const std::set<std::string> local = columnsOf(session, ref.table);
    const std::set<std::string> remote = columnsOf(session, ref.referenced);
    bool checkable = !local.empty() && !remote.empty() && !ref.columns.empty();
    std::string named;
    std::string matched;
    std::string shown;
    for (const auto& [mine, theirs] : ref.columns) {
      checkable = checkable && local.count(lower(mine)) > 0 && remote.count(lower(theirs)) > 0;
      const std::string column = "t." + tkdb::quoteIdent(mine);
      named += " AND " + column + " IS NOT NULL AND " + column + " <> 0";
      matched += std::string(matched.empty() ? "" : " AND ") + "r." + tkdb::quoteIdent(theirs) + " = " + column;
      shown += std::string(shown.empty() ? "" : " || ',' || ") + column;
    }
    if (!checkable) continue;
    tkdb::DbRow row;
    const int code = session.queryOne("SELECT COUNT(*), (SELECT group_concat(v, ' ') FROM (SELECT " + shown +
                                          " AS v FROM " + tkdb::quoteIdent(ref.table) + " t WHERE 1" + named +
                                          " AND NOT EXISTS (SELECT 1 FROM " + tkdb::quoteIdent(ref.referenced) +
                                          " r WHERE " + matched + ") LIMIT 5)) FROM " + tkdb::quoteIdent(ref.table) +
                                          " t WHERE 1" + named + " AND NOT EXISTS (SELECT 1 FROM " +
                                          tkdb::quoteIdent(ref.referenced) + " r WHERE " + matched + ")",
                                      {}, row);
    std::string columns;
    for (const auto& [mine, theirs] : ref.columns) columns += (columns.empty() ? "" : ",") + mine;
    if (code != 0) {
      found += ref.table + "(" + columns + ") -> " + ref.referenced + ": not read (" + std::to_string(code) + ": " +
               session.errorText() + ")\n";
      continue;
    }
    if (row.at(0).i == 0) continue;
    found += ref.table + "(" + columns + ") -> " + ref.referenced + ": " + std::to_string(row.at(0).i) +
             " rows point at none, values " + row.at(1).s + "\n";
  }
  return found;
}

}  // namespace tktest
