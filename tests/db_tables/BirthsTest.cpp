// Which rows the change log marks born: every way a row comes under an id
// (by hand too) is one, an update under its id is none; a reader's place
// in the log tells it only while the process read, or the log holds,
// everything after it; and a
// database of an older make, whose births were kept in a table of their
// own, gets the log anew; one whose births were indexed loses the index.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "platform/mmdb/MMBirthLedger.h"
#include "platform/mmdb/MMConfigChangeLog.h"
#include "platform/mmdb/MMMediaConfigDB.h"
#include "platform/testkit/db.h"
#include "tests/support/Seed.h"

namespace {

using Births = tktest::DatabaseTest;

const int kDrives = static_cast<int>(MMStoredKind::Drive);

// Where the log stands now.
MMBornSince now() {
  MMBornSince here;
  EXPECT_EQ(MMMediaConfigDB().bornSince("", -1, LLONG_MAX, here), 0);
  return here;
}

// The drives born since `place`, as "id id ..." ("unknown": the log cannot tell).
std::string drivesBornSince(const MMBornSince& place) {
  MMBornSince born;
  EXPECT_EQ(MMMediaConfigDB().bornSince(place.epoch, place.upTo, LLONG_MAX, born), 0);
  if (!born.known) return "unknown";
  std::string ids;
  for (int id : born.ids[kDrives]) ids += (ids.empty() ? "" : " ") + std::to_string(id);
  return ids;
}

TEST_F(Births, EveryWayARowComesUnderAnIdIsABirthAndAnUpdateUnderItIsNone) {
  ASSERT_EQ(db.exec("INSERT INTO MMDrive (DriveId, MasterPoolId, DriveName) VALUES (1, 1, 'one'), (2, 1, 'two')"), 0);
  const struct {
    const char* how;
    std::string sql;  // an administrator's plain SQL
    const char* born;
  } cases[] = {
      {"an update under its id", "UPDATE MMDrive SET DriveName = 'renamed' WHERE DriveId = 1", ""},
      {"deleted", "DELETE FROM MMDrive WHERE DriveId = 2", ""},
      {"deleted and inserted again", "DELETE FROM MMDrive WHERE DriveId = 1; INSERT INTO MMDrive (DriveId, "
                                     "MasterPoolId, DriveName) VALUES (1, 1, 'renamed')", "1"},
      {"replaced", "INSERT OR REPLACE INTO MMDrive (DriveId, MasterPoolId, DriveName) VALUES (1, 1, 'again')", "1"},
      // Every column copied back, as a restore of a saved row does.
      {"copied back", "CREATE TEMP TABLE saved AS SELECT * FROM MMDrive WHERE DriveId = 1; DELETE FROM MMDrive "
                      "WHERE DriveId = 1; INSERT INTO MMDrive SELECT * FROM saved; DROP TABLE saved", "1"},
      {"moved to another id", "UPDATE MMDrive SET DriveId = 5 WHERE DriveId = 1", "5"},
      {"under a new id", "INSERT INTO MMDrive (MasterPoolId) VALUES (1)", "6"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.how);
    const MMBornSince before = now();
    ASSERT_TRUE(before.upTo >= 0);
    db.execElsewhere(c.sql);
    EXPECT_EQ(drivesBornSince(before), c.born);
  }
}

// A place tells the rows born after it while the process has read, or the
// log still holds, every entry after it: the births the process read stay
// of use once the log prunes their entries. A place pruned past before the
// process read it, or of another history of the log, tells nothing; a
// place at the pruned mark itself, all.
TEST_F(Births, APlaceThePrunedLogOrAnotherEpochLeftBehindTellsNothing) {
  ASSERT_EQ(db.exec("INSERT INTO MMDrive (DriveId, MasterPoolId) VALUES (1, 1)"), 0);
  const MMBornSince before = now();
  db.execElsewhere("DELETE FROM MMDrive WHERE DriveId = 1; INSERT INTO MMDrive (DriveId, MasterPoolId) VALUES (1, 1)");
  EXPECT_EQ(drivesBornSince(before), "1");
  MMBornSince never = before;
  never.upTo = -1;
  EXPECT_EQ(drivesBornSince(never), "unknown");
  db.execElsewhere("UPDATE MMConfigEpoch SET Pruned = " + std::to_string(before.upTo + 1));
  EXPECT_EQ(drivesBornSince(before), "1") << "read before the log pruned it";
  // Pruned past the entries the process read: the place tells nothing.
  db.execElsewhere("INSERT INTO MMDrive (DriveId, MasterPoolId) VALUES (7, 1); UPDATE MMConfigEpoch SET Pruned = "
                   "(SELECT MAX(Seq) FROM MMConfigChange)");
  EXPECT_EQ(drivesBornSince(before), "unknown");
  const MMBornSince atTheMark = now();
  ASSERT_EQ(atTheMark.upTo, db.scalar("SELECT Pruned FROM MMConfigEpoch"));
  db.execElsewhere("INSERT INTO MMDrive (DriveId, MasterPoolId) VALUES (8, 1)");
  EXPECT_EQ(drivesBornSince(atTheMark), "8") << "every entry after the pruned mark is there";
  db.execElsewhere("UPDATE MMConfigEpoch SET Pruned = 0, Epoch = 'another'");
  EXPECT_EQ(drivesBornSince(before), "unknown");
  EXPECT_EQ(drivesBornSince(atTheMark), "unknown");
}

// A database whose log marks no births (an older make: births kept in
// MMConfigBirth, by triggers of their own) gets the log anew, and its
// readers read everything; a log dropped by hand starts again with nothing
// pruned.
TEST_F(Births, AnOlderDatabaseGetsTheLogAnewAndLosesTheTableOfBirths) {
  ASSERT_EQ(db.exec("INSERT INTO MMDrive (DriveId, MasterPoolId) VALUES (1, 1)"), 0);
  std::string drop;
  for (const tkdb::DbRow& row : db.query("SELECT upper(type), name FROM sqlite_master WHERE type IN ('trigger', "
                                         "'view') AND name LIKE 'MMConfigChange%'"))
    drop += "DROP " + row.at(0).s + " \"" + row.at(1).s + "\"; ";
  const std::string drives = std::to_string(kDrives);
  db.execElsewhere(drop +
                   "DROP TABLE MMConfigChange; CREATE TABLE MMConfigChange (Seq INTEGER PRIMARY KEY, Kind INTEGER NOT "
                   "NULL, ObjectId INTEGER); CREATE TRIGGER MMConfigChange_prune AFTER INSERT ON MMConfigChange WHEN "
                   "NEW.Seq % 1024 = 0 BEGIN DELETE FROM MMConfigChange WHERE Seq <= NEW.Seq - 65536; END; "
                   "CREATE TABLE MMConfigBirth (Kind INTEGER NOT NULL, ObjectId INTEGER NOT NULL, Birth INTEGER NOT "
                   "NULL, PRIMARY KEY (Kind, ObjectId)) WITHOUT ROWID; INSERT INTO MMConfigBirth VALUES (" + drives +
                   ", 1, 4242); CREATE TRIGGER MMConfigChange_MMDrive_insert_counted AFTER INSERT ON MMDrive BEGIN "
                   "INSERT INTO MMConfigChange (Kind, ObjectId) VALUES (" + drives + ", NEW.DriveId); END; "
                   "CREATE TRIGGER MMConfigChange_MMDrive_moved AFTER UPDATE OF DriveId ON MMDrive BEGIN "
                   "DELETE FROM MMConfigBirth WHERE Kind = " + drives + " AND ObjectId = OLD.DriveId; END; "
                   "INSERT INTO MMConfigChange (Kind, ObjectId) VALUES (" + drives + ", 1); "
                   "UPDATE MMConfigEpoch SET Epoch = 'older', Pruned = 70000");
  testkit::db::reset();  // the next open finds the older make
  const MMBornSince made = now();
  EXPECT_NE(made.epoch, "older");
  EXPECT_EQ(made.upTo, 0) << "the log anew";
  EXPECT_EQ(db.scalar("SELECT Pruned FROM MMConfigEpoch"), 0);
  EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM sqlite_master WHERE name IN ('MMConfigBirth', 'MMConfigChange_prune', "
                      "'MMConfigChange_MMDrive_insert_counted', 'MMConfigChange_MMDrive_moved')"),
            1) << "the log's own trigger, made again";
  EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM sqlite_master WHERE type = 'trigger' AND name LIKE 'MMConfigChange%'"),
            tkmmdb::changeLogTriggerCount());
  db.execElsewhere("DELETE FROM MMDrive WHERE DriveId = 1; INSERT INTO MMDrive (DriveId, MasterPoolId) VALUES (1, 1)");
  EXPECT_EQ(drivesBornSince(made), "1");
  EXPECT_EQ(db.text("SELECT group_concat(Kind || ':' || ObjectId) FROM MMConfigChangeBorn"), drives + ":1");

  db.execElsewhere("UPDATE MMConfigEpoch SET Pruned = 70000; DROP TABLE MMConfigChange");
  testkit::db::reset();
  EXPECT_EQ(db.scalar("SELECT Pruned FROM MMConfigEpoch"), 0);
  EXPECT_EQ(now().upTo, 0);
}

// A database made when the log's births were indexed by object id (an
// index every birth and every prune paid for) loses the index when it is
// opened, and keeps its history: a reader's place still tells the rows
// born after it, and the look at one object's births finds them.
TEST_F(Births, ADatabaseMadeWithTheIndexOfBirthsLosesItAndKeepsItsHistory) {
  ASSERT_EQ(db.exec("INSERT INTO MMDrive (DriveId, MasterPoolId) VALUES (1, 1), (2, 1)"), 0);
  const char* kIndexes = "SELECT COUNT(*) FROM sqlite_master WHERE type = 'index' AND tbl_name = 'MMConfigChange'";
  EXPECT_EQ(db.scalar(kIndexes), 0) << "a new database's log has no index to keep";
  db.execElsewhere("DROP VIEW IF EXISTS MMConfigChangeUnindexed; CREATE INDEX MMConfigChange_born ON MMConfigChange "
                   "(ObjectId, Kind, Seq) WHERE Born = 1");
  ASSERT_EQ(db.scalar(kIndexes), 1);
  const MMBornSince before = now();
  testkit::db::reset();  // the next open finds the older make
  const MMBornSince place = now();
  EXPECT_EQ(db.scalar(kIndexes), 0);
  EXPECT_EQ(place.epoch, before.epoch) << "readers keep their place";
  EXPECT_EQ(place.upTo, before.upTo);
  db.execElsewhere("DELETE FROM MMDrive WHERE DriveId = 1; INSERT INTO MMDrive (DriveId, MasterPoolId) VALUES (1, 1)");
  EXPECT_EQ(drivesBornSince(place), "1");
  MMMediaConfigDB access;
  EXPECT_EQ(access.sameRowSince(MMStoredKind::Drive, 2, place.epoch, place.upTo, 0), 0);
  EXPECT_EQ(access.sameRowSince(MMStoredKind::Drive, 1, place.epoch, place.upTo, 1), 0) << "the reader's own birth";
  EXPECT_EQ(access.sameRowSince(MMStoredKind::Drive, 1, place.epoch, place.upTo, 0), -1);
  EXPECT_EQ(access.lastErrorText(), "No drive with id [1].");
  // Where the log cannot tell, the row is not taken for the one read.
  EXPECT_EQ(access.sameRowSince(MMStoredKind::Drive, 2, "another", place.upTo, 0), -1);
  EXPECT_EQ(access.getErrorCode(), MMS2_ERROR_UNTOLD);
  EXPECT_EQ(access.lastErrorText(),
            "The change log no longer tells whether the drive with id [2] is the one this session read; nothing was "
            "changed. Read the configuration again (control 70) and use the handle its listing gives.");
}

// A database whose log stamps no entries (an older make) gets the log
// anew, stamped, and its readers read everything once more; the entries
// after it carry stamps of their own.
TEST_F(Births, ADatabaseWhoseLogHasNoStampsGetsItAnew) {
  const MMBornSince before = now();
  db.execElsewhere("DROP VIEW MMConfigChangeStamped; DROP TABLE MMConfigChange; CREATE TABLE MMConfigChange (Seq "
                   "INTEGER PRIMARY KEY, Kind INTEGER NOT NULL, ObjectId INTEGER, Born INTEGER); DROP TABLE "
                   "MMConfigEpoch; CREATE TABLE MMConfigEpoch (Epoch TEXT NOT NULL, Pruned INTEGER NOT NULL DEFAULT "
                   "0); INSERT INTO MMConfigEpoch VALUES ('older', 3)");
  testkit::db::reset();  // the next open finds the older make
  const MMBornSince made = now();
  EXPECT_NE(made.epoch, "older");
  EXPECT_NE(made.epoch, before.epoch);
  EXPECT_EQ(db.scalar("SELECT Pruned FROM MMConfigEpoch"), 0);
  EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM sqlite_master WHERE type = 'trigger' AND name LIKE 'MMConfigChange%'"),
            tkmmdb::changeLogTriggerCount());
  ASSERT_EQ(db.exec("INSERT INTO MMDrive (DriveId, MasterPoolId) VALUES (1, 1), (2, 1)"), 0);
  EXPECT_EQ(db.scalar("SELECT COUNT(DISTINCT Stamp) FROM MMConfigChange"), 2) << "a stamp of its own for each";
  EXPECT_EQ(drivesBornSince(made), "1 2");
}

// The ledger keeps its newest births up to its cap and drops the oldest,
// each at the same cost however many births its id has; it then answers
// from the last one dropped on, and counts the births after a place
// exactly (one at the place itself is not after it).
TEST(BirthLedger, DropsItsOldestBirthsAndAnswersFromTheLastOneDropped) {
  const struct {
    const char* what;
    int ids;  // the births go round these ids
  } cases[] = {{"one id born again and again", 1}, {"every birth an id of its own", 1000000}, {"three ids", 3}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    tkmmdb::BirthLedger ledger;
    for (long long seq = 1; seq <= 30000; ++seq) ledger.add({kDrives, static_cast<int>((seq - 1) % c.ids) + 1, seq});
    ledger.keepAtMost(10000);
    EXPECT_EQ(ledger.size(), 10000u);
    EXPECT_EQ(ledger.from(), 20000) << "every birth after the last one dropped";
    // Id 1's newest birth, and how many of its births the ledger keeps.
    long long newest = 0;
    std::size_t kept = 0;
    for (long long seq = 1; seq <= 30000; ++seq) {
      if ((seq - 1) % c.ids != 0) continue;
      newest = seq;
      kept += seq > 20000 ? 1 : 0;
    }
    EXPECT_EQ(ledger.bornAfter(kDrives, 1, 20000), kept);
    EXPECT_EQ(ledger.bornAfter(kDrives, 1, newest), 0u) << "the birth at the place is not after it";
    EXPECT_EQ(ledger.bornAfter(kDrives, 1, newest - 1), newest > 20000 ? 1u : 0u);
    std::size_t listed = 0;
    ledger.forEach(19999, 30000, [&](const MMStoredSnapshot::Birth&) { ++listed; });
    EXPECT_EQ(listed, 10000u);
  }
}

}  // namespace
