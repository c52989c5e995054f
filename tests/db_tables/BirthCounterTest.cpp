// Which inserted rows get a birth: a row under an id its table never gave
// has none, a row made again under an id given before gets a new one, and
// that holds wherever the table's identity counter is kept: in the slot
// the schema step pins it to, moved off it (as a renumbering VACUUM does),
// with another table's counter in its slot, or with no counter row at all.
#include <gtest/gtest.h>

#include <string>

#include "platform/mmdb/MMMediaConfigDB.h"
#include "tests/support/Seed.h"

namespace {

using BirthCounter = tktest::DatabaseTest;

TEST_F(BirthCounter, ARowMadeAgainUnderItsIdGetsABirthAndANewIdNoneWhereverTheCounterIsKept) {
  ASSERT_EQ(db.exec("SELECT 1"), 0);  // the schema step
  const std::string drives = std::to_string(static_cast<int>(MMStoredKind::Drive));
  // A new installation has every counter in its slot, the counter of a
  // table without rows too, so that no insert looks one up by name.
  const long long slot = db.scalar("SELECT rowid FROM sqlite_sequence WHERE name = 'MMDrive'");
  EXPECT_LE(slot, -1000);
  EXPECT_LE(db.scalar("SELECT rowid FROM sqlite_sequence WHERE name = 'MMDrivePath'"), -1000);
  EXPECT_EQ(db.scalar("SELECT seq FROM sqlite_sequence WHERE name = 'MMDrivePath'"), 0);
  EXPECT_EQ(db.scalar("SELECT COUNT(DISTINCT rowid) FROM sqlite_sequence WHERE rowid <= -1000"),
            db.scalar("SELECT COUNT(*) FROM sqlite_sequence WHERE rowid <= -1000"));

  auto birth = [&](long long id) {
    return db.text("SELECT IFNULL((SELECT Birth FROM MMConfigBirth WHERE Kind = " + drives +
                   " AND ObjectId = " + std::to_string(id) + "), 'none')");
  };
  const struct {
    const char* counter;
    std::string sql;  // plain SQL of an administrator, before the inserts
    bool newIdBorn;   // a table without a counter gives every row a birth
  } cases[] = {
      {"in its slot", "", false},
      {"moved off its slot", "UPDATE sqlite_sequence SET rowid = 4242 WHERE name = 'MMDrive'", false},
      // Another table's counter, far below the drives' ids, in the slot:
      // were it taken for the drives', a drive made again would get none.
      {"another counter in its slot",
       "UPDATE sqlite_sequence SET rowid = 4243 WHERE name = 'MMDrive'; UPDATE sqlite_sequence SET rowid = " +
           std::to_string(slot) + ", seq = 0 WHERE name = 'MMLibrary'",
       false},
      {"no counter row", "DELETE FROM sqlite_sequence WHERE name = 'MMDrive'", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.counter);
    if (!c.sql.empty()) db.execElsewhere(c.sql);
    ASSERT_EQ(db.exec("INSERT INTO MMDrive (MasterPoolId) VALUES (1)"), 0);
    const long long id = db.scalar("SELECT MAX(DriveId) FROM MMDrive");
    EXPECT_EQ(birth(id) != "none", c.newIdBorn) << "a drive under a new id";

    db.execElsewhere("DELETE FROM MMDrive WHERE DriveId = " + std::to_string(id) +
                     "; INSERT INTO MMDrive (DriveId, MasterPoolId) VALUES (" + std::to_string(id) + ", 1)");
    const std::string remade = birth(id);
    EXPECT_NE(remade, "none") << "a drive made again under its id";

    db.execElsewhere("INSERT OR REPLACE INTO MMDrive (DriveId, MasterPoolId) VALUES (" + std::to_string(id) + ", 2)");
    EXPECT_NE(birth(id), remade) << "a drive replaced under its id";
  }
}

}  // namespace
