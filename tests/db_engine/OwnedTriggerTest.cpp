// The triggers the schema owns are kept as the schema makes them: one
// replaced by hand under its own name (with a body that does nothing, on
// another table, or dropped) is made again by the next connection that
// finds the schema changed, and records again afterwards.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/db/DBSession.h"
#include "tests/db_engine/ExampleBinding.h"
#include "tests/support/Seed.h"
#include "tests/support/TestDatabase.h"

namespace {

// Triggers on the example table that count what happens to it, made as the
// owners in the product make theirs: a statement before the trigger (a
// stamp renewed), and IF NOT EXISTS with spacing of its own.
const bool kRegistered = [] {
  tkdb::registerSchema("ownedTriggerCount", "CREATE TABLE IF NOT EXISTS ownedTriggerCount (event TEXT PRIMARY KEY, "
                                            "n INTEGER NOT NULL DEFAULT 0)");
  for (const char* event : {"INSERT", "UPDATE", "DELETE"}) {
    const std::string name = std::string("ownedTrigger_") + event;
    const std::string count = "INSERT OR IGNORE INTO ownedTriggerCount (event) VALUES ('" + std::string(event) +
                              "'); UPDATE ownedTriggerCount SET n = n + 1 WHERE event = '" + event + "';";
    tkdb::registerTrigger(name, "exampleItem",
                          "UPDATE ownedTriggerCount SET n = n WHERE 0; CREATE  TRIGGER IF NOT EXISTS \"" + name +
                              "\" AFTER " + event + " ON \"exampleItem\" BEGIN " + count + " END;");
  }
  return true;
}();

class OwnedTriggers : public tktest::DatabaseTest {
 protected:
  long long counted(const char* event) {
    return db.scalar("SELECT COALESCE((SELECT n FROM ownedTriggerCount WHERE event = ?), 0)", {event});
  }
  // One use of a connection of this process: the check runs when it finds
  // the schema changed.
  void use() {
    EXPECT_EQ(0, db.exec("SELECT COUNT(*) FROM exampleItem"));
    EXPECT_EQ(0, db.exec("SELECT COUNT(*) FROM exampleItem WHERE flags > 0"));
  }
};

TEST_F(OwnedTriggers, ATriggerReplacedByHandIsMadeAgainAsTheSchemaMakesItAndRecordsAgain) {
  ASSERT_TRUE(kRegistered);
  struct Row {
    const char* what;
    const char* event;
    std::string handEdit;
  };
  auto gutted = [](const char* event) {
    return std::string("DROP TRIGGER ownedTrigger_") + event + "; CREATE TRIGGER ownedTrigger_" + event + " AFTER " +
           event + " ON exampleItem BEGIN SELECT 1; END";
  };
  const std::vector<Row> rows = {
      {"an insert trigger with a body that does nothing", "INSERT", gutted("INSERT")},
      {"an update trigger with a body that does nothing", "UPDATE", gutted("UPDATE")},
      {"a delete trigger with a body that does nothing", "DELETE", gutted("DELETE")},
      {"a trigger that fires on another event under its name", "UPDATE",
       "DROP TRIGGER ownedTrigger_UPDATE; CREATE TRIGGER ownedTrigger_UPDATE AFTER INSERT ON exampleItem BEGIN "
       "UPDATE ownedTriggerCount SET n = n + 1 WHERE event = 'UPDATE'; END"},
      {"a trigger dropped", "DELETE", "DROP TRIGGER ownedTrigger_DELETE"},
  };
  ASSERT_EQ(0, db.exec("INSERT INTO exampleItem (name, flags) VALUES ('a', 1)"));
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const std::string made = db.text("SELECT sql FROM sqlite_master WHERE name = ?",
                                      {std::string("ownedTrigger_") + row.event});
    ASSERT_NE(made, "");
    db.execElsewhere(row.handEdit);
    use();
    EXPECT_EQ(db.text("SELECT sql FROM sqlite_master WHERE name = ?", {std::string("ownedTrigger_") + row.event}),
              made);
    EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM sqlite_master WHERE type = 'trigger' AND tbl_name = 'exampleItem'"), 3);

    // Each records again, whoever changes the table.
    const long long before = counted(row.event);
    const std::string what = row.event;
    if (what == "INSERT") db.execElsewhere("INSERT INTO exampleItem (name, flags) VALUES ('b', 2)");
    if (what == "UPDATE") db.execElsewhere("UPDATE exampleItem SET flags = flags + 1 WHERE name = 'a'");
    if (what == "DELETE") {
      db.execElsewhere("DELETE FROM exampleItem WHERE name = 'b'");
      db.execElsewhere("INSERT INTO exampleItem (name, flags) VALUES ('b', 2)");
    }
    EXPECT_EQ(counted(row.event), before + 1);
  }
}

TEST_F(OwnedTriggers, TheCheckBeforeAReadFindsAHandEditThatNoStatementHasMetYet) {
  ASSERT_TRUE(kRegistered);
  use();
  const std::string made = db.text("SELECT sql FROM sqlite_master WHERE name = 'ownedTrigger_INSERT'");
  db.execElsewhere("DROP TRIGGER ownedTrigger_INSERT; CREATE TRIGGER ownedTrigger_INSERT AFTER INSERT ON exampleItem "
                   "BEGIN SELECT 1; END");
  tkdb::checkOwnedTriggers();
  // Seen from elsewhere: nothing of this process ran in between.
  db.execElsewhere("CREATE TABLE IF NOT EXISTS seen AS SELECT sql FROM sqlite_master WHERE name = "
                   "'ownedTrigger_INSERT'");
  EXPECT_EQ(db.text("SELECT sql FROM seen"), made);
  db.execElsewhere("DROP TABLE seen");
}

TEST_F(OwnedTriggers, TheTextsTheSchemaMadeAreLeftAloneAndTheFileUnchanged) {
  ASSERT_TRUE(kRegistered);
  use();
  const long long version = db.scalar("PRAGMA schema_version");
  db.execElsewhere("CREATE TABLE handMade (n INTEGER)");  // the schema moves, the triggers stay as made
  use();
  use();
  EXPECT_EQ(db.scalar("PRAGMA schema_version"), version + 1);
  db.execElsewhere("DROP TABLE handMade");
}

}  // namespace
