#include "tests/support/DatabaseDump.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "platform/db/DBSession.h"
#include "platform/db/DBtable.h"

namespace tktest {
namespace {

constexpr std::size_t kRowsShown = 4;

std::string quoted(const std::string& name) {
  std::string out = "\"";
  for (char c : name) {
    out.push_back(c);
    if (c == '"') out.push_back('"');
  }
  return out + "\"";
}

std::string render(const tkdb::DbRow& row) {
  std::string out = "(";
  for (std::size_t i = 0; i < row.size(); ++i) {
    if (i != 0) out += ", ";
    out += row[i].describe();
  }
  return out + ")";
}

// What is in `a` and not in `b`, both sorted.
std::vector<std::string> minus(const std::vector<std::string>& a, const std::vector<std::string>& b) {
  std::vector<std::string> out;
  std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
  return out;
}

}  // namespace

DatabaseDump DatabaseDump::take() {
  DatabaseDump dump;
  tkdb::Session session;
  tkdb::DbRows tables;
  int code = session.query(
      "SELECT name FROM sqlite_master WHERE type = 'table' AND (name NOT LIKE 'sqlite%' OR name = 'sqlite_sequence') "
      "AND name NOT IN ('MMConfigChange', 'MMConfigEpoch') ORDER BY name",
      {}, tables);
  if (code != 0) {
    ADD_FAILURE() << "the tables were not listed (" << code << "): " << session.errorText();
    return dump;
  }
  for (const tkdb::DbRow& table : tables) {
    const std::string name = table.at(0).s;
    tkdb::DbRows rows;
    code = session.query("SELECT * FROM " + quoted(name), {}, rows);
    if (code != 0) {
      ADD_FAILURE() << "table " << name << " was not read (" << code << "): " << session.errorText();
      continue;
    }
    std::vector<std::string>& rendered = dump.m_rendered[name];
    for (const tkdb::DbRow& row : rows) rendered.push_back(render(row));
    std::sort(rendered.begin(), rendered.end());
    dump.m_rows[name] = std::move(rows);
  }
  return dump;
}

DatabaseDump DatabaseDump::without(const std::vector<std::string>& tables) const {
  DatabaseDump out = *this;
  for (const std::string& table : tables) {
    out.m_rows.erase(table);
    out.m_rendered.erase(table);
  }
  return out;
}

std::size_t DatabaseDump::rowCount() const {
  std::size_t n = 0;
  for (const auto& [table, rows] : m_rows) n += rows.size();
  return n;
}

std::string DatabaseDump::describeChanges(const DatabaseDump& from, const DatabaseDump& to) {
  std::string out;
  std::vector<std::string> names;
  for (const auto& [table, rows] : from.m_rendered) names.push_back(table);
  for (const auto& [table, rows] : to.m_rendered)
    if (!from.m_rendered.count(table)) names.push_back(table);
  for (const std::string& table : names) {
    static const std::vector<std::string> empty;
    auto a = from.m_rendered.find(table);
    auto b = to.m_rendered.find(table);
    const std::vector<std::string>& before = a != from.m_rendered.end() ? a->second : empty;
    const std::vector<std::string>& after = b != to.m_rendered.end() ? b->second : empty;
    if (before == after) continue;
    out += "table " + table + ":";
    const std::vector<std::string> gone = minus(before, after);
    const std::vector<std::string> come = minus(after, before);
    for (std::size_t i = 0; i < gone.size() && i < kRowsShown; ++i) out += " -" + gone[i];
    if (gone.size() > kRowsShown) out += " (" + std::to_string(gone.size()) + " rows gone)";
    for (std::size_t i = 0; i < come.size() && i < kRowsShown; ++i) out += " +" + come[i];
    if (come.size() > kRowsShown) out += " (" + std::to_string(come.size()) + " rows come)";
    out += "\n";
  }
  return out;
}

int DatabaseDump::restore(const DatabaseDump& now) const {
  if (now == *this) return 0;
  tkdb::Session session;
  // Foreign-key actions would cascade into tables that are not restored.
  int code = session.exec("PRAGMA foreign_keys = OFF");
  if (code != 0) return code;
  code = session.atomically([&]() -> int {
    for (const auto& [table, rows] : m_rows) {
      auto current = now.m_rendered.find(table);
      if (current != now.m_rendered.end() && current->second == m_rendered.at(table)) continue;
      int rc = session.exec("DELETE FROM " + quoted(table));
      if (rc != 0) return rc;
      for (const tkdb::DbRow& row : rows) {
        std::string sql = "INSERT INTO " + quoted(table) + " VALUES (";
        for (std::size_t i = 0; i < row.size(); ++i) sql += i == 0 ? "?" : ", ?";
        rc = session.exec(sql + ")", row);
        if (rc != 0) return rc;
      }
    }
    return 0;
  });
  const int on = session.exec("PRAGMA foreign_keys = ON");
  if (code == 0) code = on;
  if (code != 0) ADD_FAILURE() << "the database was not restored (" << code << "): " << session.errorText();
  return code;
}

}  // namespace tktest
