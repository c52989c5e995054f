// The triggers that record changes follow the tables they watch, whatever
// an administrator does to those with SQL: a table rebuilt by hand (its
// triggers move onto the old table with the rename) or a trigger dropped
// is given its triggers back before the host's next configuration read,
// and the edits after it are seen. A trigger that cannot be made again
// makes the host refuse changes, saying why.
//
// Every edit and every look at the file here goes through a connection of
// its own, as an administrator's sqlite3 would: the test process's own
// connections would put the triggers back themselves.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

#include "tests/host_installation/InstallationFixture.h"

namespace {

using installtest::ConsoleRun;

class HostTriggerRepair : public installtest::InstallationFixture {
 protected:
  // The first column of the first row of `sql`, as text ("" for none).
  std::string elsewhere(const std::string& sql) {
    sqlite3* handle = nullptr;
    std::string out;
    if (sqlite3_open_v2(m_db.path().c_str(), &handle, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
      sqlite3_stmt* stmt = nullptr;
      if (sqlite3_prepare_v2(handle, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW &&
          sqlite3_column_text(stmt, 0) != nullptr)
        out = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
      else
        ADD_FAILURE() << sqlite3_errmsg(handle) << "\n" << sql;
      sqlite3_finalize(stmt);
    }
    sqlite3_close(handle);
    return out;
  }
  std::string triggersOn(const std::string& table) {
    return elsewhere("SELECT COUNT(*) FROM sqlite_master WHERE type = 'trigger' AND tbl_name = '" + table + "'");
  }
  // A change through the host on one connection: the lock taken and given back.
  ConsoleRun change() { return script("lock\nunlock\n"); }
};

TEST_F(HostTriggerRepair, EveryHandEditOfTheUsersTablesIsFollowedByTheNextRequest) {
  struct Row {
    const char* name;
    const char* handEdit;  // done first, then a request the host answers
    const char* takeAway;  // after it: user 1 may no longer change
    const char* refusal;
    const char* giveBack;
  };
  const char* const kDeleteAdmin = "DELETE FROM UMUsers WHERE id = 1";
  const char* const kAdminAgain = "INSERT INTO UMUsers (id, login) VALUES (1, 'admin')";
  const char* const kUnknown = "User [1] is not a user of this installation.";
  const char* const kLookOnly = "UPDATE UMUserRights SET mayChange = 0 WHERE userId = 1";
  const char* const kChangeAgain = "UPDATE UMUserRights SET mayChange = 1 WHERE userId = 1";
  const char* const kMayNot = "User [admin] may look at but not change the installation.";
  const std::vector<Row> rows = {
      {"an update of the rights alone", "", kLookOnly, kMayNot, kChangeAgain},
      {"the rights' update trigger dropped", "DROP TRIGGER UMUserRights_stamp_UPDATE", kLookOnly, kMayNot,
       kChangeAgain},
      {"the rights' update trigger replaced by one that does nothing",
       "DROP TRIGGER UMUserRights_stamp_UPDATE; CREATE TRIGGER UMUserRights_stamp_UPDATE AFTER UPDATE ON "
       "UMUserRights BEGIN SELECT 1; END",
       kLookOnly, kMayNot, kChangeAgain},
      {"the users' delete trigger dropped", "DROP TRIGGER UMUsers_stamp_DELETE", kDeleteAdmin, kUnknown, kAdminAgain},
      {"the users table renamed and rebuilt",
       "ALTER TABLE UMUsers RENAME TO UMUsers_old; CREATE TABLE UMUsers (id INTEGER PRIMARY KEY, login TEXT NOT NULL "
       "UNIQUE); INSERT INTO UMUsers SELECT * FROM UMUsers_old",
       kDeleteAdmin, kUnknown, kAdminAgain},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    if (*row.handEdit != '\0') m_db.execElsewhere(row.handEdit);
    const ConsoleRun before = change();
    ASSERT_EQ(before.status, 0) << before.out;
    EXPECT_EQ(triggersOn("UMUsers"), "3");
    EXPECT_EQ(triggersOn("UMUserRights"), "3");

    m_db.execElsewhere(row.takeAway);
    const ConsoleRun refused = change();
    EXPECT_EQ(refused.status, 3) << refused.out;
    EXPECT_NE(refused.out.find(row.refusal), std::string::npos) << refused.out;

    m_db.execElsewhere(row.giveBack);
    const ConsoleRun again = change();
    EXPECT_EQ(again.status, 0) << again.out;
  }
  EXPECT_EQ(triggersOn("UMUsers_old"), "0");
}

TEST_F(HostTriggerRepair, AMountPathTableRebuiltByHandLogsTheEditsAfterTheNextRequest) {
  m_db.execElsewhere(
      "PRAGMA legacy_alter_table = ON; ALTER TABLE MMMountPath RENAME TO MMMountPath_old; CREATE TABLE MMMountPath AS "
      "SELECT * FROM MMMountPath_old");
  ASSERT_EQ(triggersOn("MMMountPath"), "0");
  const std::string epoch = elsewhere("SELECT Epoch FROM MMConfigEpoch");
  ASSERT_EQ(console({"ndmp-servers"}).status, 0);
  // The log's three (those of an insert and of an update also marking the
  // rows born), back on the table the configuration is read from; the
  // host's readers read everything anew.
  EXPECT_EQ(triggersOn("MMMountPath"), "3");
  EXPECT_EQ(triggersOn("MMMountPath_old"), "0");
  EXPECT_NE(elsewhere("SELECT Epoch FROM MMConfigEpoch"), epoch);

  const std::string id = elsewhere("SELECT MIN(MountPathId) FROM MMMountPath");
  const std::string logged = "SELECT COUNT(*) FROM MMConfigChange WHERE Kind = 7 AND ObjectId = " + id;
  const std::string before = elsewhere(logged);
  m_db.execElsewhere("UPDATE MMMountPath SET MountPathName = '/mnt/renamed' WHERE MountPathId = " + id);
  EXPECT_EQ(std::stoi(elsewhere(logged)), std::stoi(before) + 1);
  m_db.execElsewhere("DROP TABLE MMMountPath_old");
}

TEST_F(HostTriggerRepair, AChangeLogTriggerReplacedByHandIsMadeAgainByTheNextRequestAndLogsAgain) {
  const char* const kName = "MMConfigChange_MMMountPath_delete";
  const std::string made = elsewhere(std::string("SELECT sql FROM sqlite_master WHERE name = '") + kName + "'");
  m_db.execElsewhere(std::string("DROP TRIGGER ") + kName + "; CREATE TRIGGER " + kName +
                     " AFTER DELETE ON MMMountPath BEGIN SELECT 1; END");
  const std::string epoch = elsewhere("SELECT Epoch FROM MMConfigEpoch");
  ASSERT_EQ(console({"ndmp-servers"}).status, 0);
  EXPECT_EQ(elsewhere(std::string("SELECT sql FROM sqlite_master WHERE name = '") + kName + "'"), made);
  // What was changed while it recorded nothing is read anew.
  EXPECT_NE(elsewhere("SELECT Epoch FROM MMConfigEpoch"), epoch);

  const std::string id = elsewhere("SELECT MIN(MountPathId) FROM MMMountPath");
  const std::string logged = "SELECT COUNT(*) FROM MMConfigChange WHERE Kind = 7 AND ObjectId = " + id;
  const std::string before = elsewhere(logged);
  // The row deleted and put back: the delete is logged, and the insert.
  m_db.execElsewhere("CREATE TABLE MountPathAside AS SELECT * FROM MMMountPath WHERE MountPathId = " + id +
                     "; DELETE FROM MMMountPath WHERE MountPathId = " + id +
                     "; INSERT INTO MMMountPath SELECT * FROM MountPathAside; DROP TABLE MountPathAside");
  EXPECT_EQ(std::stoi(elsewhere(logged)), std::stoi(before) + 2);
}

// A file whose change log indexed its births (an older build's: every
// birth and every prune paid for the index) loses the index at the host's
// next start; the log keeps its history, so readers keep their place, and
// logs the births after it.
TEST_F(HostTriggerRepair, AnOlderFilesIndexOfBirthsIsDroppedAtTheNextStartAndTheLogKeepsItsHistory) {
  const std::string indexed = "SELECT COUNT(*) FROM sqlite_master WHERE name = 'MMConfigChange_born'";
  m_db.execElsewhere("DROP VIEW IF EXISTS MMConfigChangeUnindexed; CREATE INDEX IF NOT EXISTS MMConfigChange_born ON "
                     "MMConfigChange (ObjectId, Kind, Seq) WHERE Born = 1");
  ASSERT_EQ(elsewhere(indexed), "1");
  const std::string epoch = elsewhere("SELECT Epoch FROM MMConfigEpoch");
  const std::string newest = elsewhere("SELECT MAX(Seq) FROM MMConfigChange");
  ASSERT_TRUE(restart()) << host().log();
  ASSERT_EQ(console({"ndmp-servers"}).status, 0);
  EXPECT_EQ(elsewhere(indexed), "0");
  EXPECT_EQ(elsewhere("SELECT Epoch FROM MMConfigEpoch"), epoch);
  EXPECT_NE(elsewhere("SELECT COUNT(*) FROM MMConfigChange WHERE Seq <= " + newest + " AND Born = 1"), "0");
  const ConsoleRun added =
      console({"storage-library", "43=4", "8=DiskLib1", "3=ma1", "24=/srv/disklib1/after-index"});
  EXPECT_EQ(added.status, 0) << added.out;
  EXPECT_EQ(elsewhere("SELECT COUNT(*) FROM MMConfigChange WHERE Kind = 7 AND Born = 1 AND Seq > " + newest), "1");
}

TEST_F(HostTriggerRepair, ATriggerThatCannotBeMadeAgainRefusesChangesUntilItCanWithTheReason) {
  // The access nodes' table renamed, and a view in its place: its triggers
  // can go nowhere else. A table merely renamed away would not do: the
  // schema step of the host's next new connection makes a table of that
  // name again, and the triggers could be made after all. The view keeps
  // the name taken. One transaction, so that no connection of the running
  // host finds the table missing in between.
  m_db.execElsewhere(
      "BEGIN IMMEDIATE; ALTER TABLE MMCenteraAccessNode RENAME TO AccessNodesAside; "
      "CREATE VIEW MMCenteraAccessNode AS SELECT * FROM AccessNodesAside; COMMIT");
  const std::vector<std::string> removal{"storage-library", "43=2", "8=DiskLib1", "request.6=1"};
  const ConsoleRun refused = console(removal);
  EXPECT_EQ(refused.status, 3) << refused.out;
  EXPECT_NE(refused.out.find("<EVGui_GenericResp i1=\"-1\" s2=\"The database lacks the trigger "
                             "[MMConfigChange_MMCenteraAccessNode_insert] on [MMCenteraAccessNode], which could not "
                             "be made again (cannot create AFTER trigger on view: MMCenteraAccessNode): changes are "
                             "refused, as they would go unrecorded.\"/>"),
            std::string::npos)
      << refused.out;
  EXPECT_EQ(elsewhere("SELECT COUNT(*) FROM MMLibrary WHERE AliasName = 'DiskLib1'"), "1");
  // Looking is not refused.
  EXPECT_EQ(console({"ndmp-servers"}).status, 0);

  m_db.execElsewhere(
      "BEGIN IMMEDIATE; DROP VIEW MMCenteraAccessNode; ALTER TABLE AccessNodesAside RENAME TO MMCenteraAccessNode; "
      "COMMIT");
  // The request reaches its handler again, which has its own answer.
  const ConsoleRun again = console(removal);
  EXPECT_EQ(again.out.find("The database lacks"), std::string::npos) << again.out;
  EXPECT_NE(again.out.find("Library [DiskLib1] still has mount paths; delete them first."), std::string::npos)
      << again.out;
  EXPECT_EQ(triggersOn("MMCenteraAccessNode"), "3");
}

}  // namespace
