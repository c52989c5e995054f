#include "tests/support/ReferenceCheck.h"

#include <map>
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

// One reference as SQL over its table (alias t): the condition of a row
// that names a row the referenced table does not have, and its values.
struct Probe {
  std::string label;
  std::string from;
  std::string where;
  std::string values;
};

}  // namespace

std::string danglingReferences() {
  // Every fault-sweep run calls this twice: the whole check is two
  // statements, the columns of every table and one count per reference.
  const std::vector<tkdb::TableReference> references = tkdb::tableReferences();
  if (references.empty()) return "";
  std::string tables;
  for (const tkdb::TableReference& ref : references)
    tables += (tables.empty() ? "'" : ", '") + lower(ref.table) + "', '" + lower(ref.referenced) + "'";
  tkdb::Session session;
  tkdb::DbRows catalogue;
  if (session.query("SELECT lower(m.name), lower(p.name) FROM sqlite_master m, pragma_table_info(m.name) p WHERE "
                    "m.type = 'table' AND lower(m.name) IN (" + tables + ")",
                    {}, catalogue) != 0)
    return "the tables' columns were not read: " + session.errorText() + "\n";
  std::map<std::string, std::set<std::string>> columnsOf;
  for (const tkdb::DbRow& row : catalogue) columnsOf[row.at(0).s].insert(row.at(1).s);
  auto has = [&](const std::string& table, const std::string& column) {
    auto it = columnsOf.find(lower(table));
    return it != columnsOf.end() && it->second.count(lower(column)) > 0;
  };

  std::vector<Probe> probes;
  for (const tkdb::TableReference& ref : references) {
    bool checkable = !ref.columns.empty();
    Probe probe;
    std::string matched;
    std::string columns;
    for (const auto& [mine, theirs] : ref.columns) {
      checkable = checkable && has(ref.table, mine) && has(ref.referenced, theirs);
      const std::string column = "t." + tkdb::quoteIdent(mine);
      probe.where += column + " IS NOT NULL AND " + column + " <> 0 AND ";
      matched += std::string(matched.empty() ? "" : " AND ") + "r." + tkdb::quoteIdent(theirs) + " = " + column;
      probe.values += std::string(probe.values.empty() ? "" : " || ',' || ") + column;
      columns += (columns.empty() ? "" : ",") + mine;
    }
    if (!checkable) continue;
    probe.label = ref.table + "(" + columns + ") -> " + ref.referenced;
    probe.from = tkdb::quoteIdent(ref.table) + " t";
    probe.where += "NOT EXISTS (SELECT 1 FROM " + tkdb::quoteIdent(ref.referenced) + " r WHERE " + matched + ")";
    probes.push_back(probe);
  }
  if (probes.empty()) return "";
  std::string sql;
  for (std::size_t i = 0; i < probes.size(); ++i) {
    if (i > 0) sql += " UNION ALL ";
    sql += "SELECT " + std::to_string(i) + ", COUNT(*), (SELECT group_concat(v, ' ') FROM (SELECT " +
           probes[i].values + " AS v FROM " + probes[i].from + " WHERE " + probes[i].where + " LIMIT 5)) FROM " +
           probes[i].from + " WHERE " + probes[i].where;
  }
  tkdb::DbRows counts;
  if (session.query(sql, {}, counts) != 0) return "the references were not read: " + session.errorText() + "\n";
  std::string found;
  for (const tkdb::DbRow& row : counts) {
    if (row.at(1).i == 0) continue;
    found += probes[static_cast<std::size_t>(row.at(0).i)].label + ": " + std::to_string(row.at(1).i) +
             " rows point at none, values " + row.at(2).s + "\n";
  }
  return found;
}

}  // namespace tktest
