// Every row of every table of the test's central database, to tell whether a
// request changed the database and how, and to put it back.
//
//   const tktest::DatabaseDump before = tktest::DatabaseDump::take();
//   ... request ...
//   const tktest::DatabaseDump after = tktest::DatabaseDump::take();
//   EXPECT_EQ(after, before) << tktest::DatabaseDump::describeChanges(before, after);
//   before.restore();   // the database as it was
//
// Tables are compared by content: the rows of a table as a multiset of
// values (type and value), in no particular order. sqlite_sequence is a
// table like any other, so identity counters that moved count as a change.
// The configuration's change log (MMConfigChange, MMConfigEpoch) is left
// out: it is the database's own record of changes to the other tables, and
// putting those back logs them again.
// Reads and writes run on the calling thread's connection; take and restore
// outside any transaction.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/db/DBValue.h"

namespace tktest {

class DatabaseDump {
 public:
  // The rows of every table now (a failure to read fails the running test).
  static DatabaseDump take();

  bool operator==(const DatabaseDump& other) const { return m_rendered == other.m_rendered; }
  bool operator!=(const DatabaseDump& other) const { return !(*this == other); }

  // The tables whose rows differ, each with a few rows gone (-) and come (+).
  static std::string describeChanges(const DatabaseDump& from, const DatabaseDump& to);

  // Puts the rows of every table that differs now back as they are in this
  // dump (foreign-key actions off meanwhile); 0 or the engine's code.
  int restore() const { return restore(take()); }
  // The same, given a dump of the database as it is now.
  int restore(const DatabaseDump& now) const;

  // The same dump without the named tables.
  DatabaseDump without(const std::vector<std::string>& tables) const;

  std::size_t tableCount() const { return m_rows.size(); }
  std::size_t rowCount() const;

 private:
  std::map<std::string, tkdb::DbRows> m_rows;                  // by table, as read
  std::map<std::string, std::vector<std::string>> m_rendered;  // by table, rows rendered and sorted
};

}  // namespace tktest
