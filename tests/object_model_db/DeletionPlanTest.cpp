// The statements a removal runs find their rows through an index: a
// removal that reads a whole table costs more the larger the installation
// is, for every object removed. The statements are the ones the removals
// ran (the engine's statement journal), so that a statement added or
// changed later is checked too.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "platform/mmdb/MMMediaConfigDB.h"
#include "platform/testkit/db.h"
#include "tests/object_model_db/ModelDatabaseFixture.h"

namespace {

class DeletionPlan : public modeldb::ModelDatabase {
 protected:
  // The plan lines of `sql` that read a whole table, or build an index of
  // one for the statement alone (which reads it whole as well).
  std::vector<std::string> wholeTableReads(const std::string& sql) {
    std::set<std::string> tables;
    for (const tkdb::DbRow& row : db.query("SELECT \"name\" FROM sqlite_master WHERE \"type\" = 'table'"))
      tables.insert(row.at(0).s);
    std::vector<std::string> out;
    for (const tkdb::DbRow& row : db.query("EXPLAIN QUERY PLAN " + sql)) {
      const std::string detail = row.at(3).s;
      const bool automatic = detail.find("AUTOMATIC") != std::string::npos;
      bool scan = false;
      if (detail.rfind("SCAN ", 0) == 0) {
        const std::string rest = detail.substr(5);
        scan = tables.count(rest.substr(0, rest.find(' '))) > 0;
      }
      if (scan || automatic) out.push_back(detail);
    }
    return out;
  }
};

TEST_F(DeletionPlan, NoStatementOfARemovalReadsAWholeTable) {
  struct Removal {
    MMStoredKind kind;
    int id;
  };
  // In an order in which each removal is allowed: the demonstration
  // installation emptied object by object, every kind's route once.
  const std::vector<Removal> removals = {
      {MMStoredKind::MountPath, 1},  {MMStoredKind::DrivePath, 1},  {MMStoredKind::Drive, 2},
      {MMStoredKind::Drive, 1},      {MMStoredKind::DrivePool, 2},  {MMStoredKind::DrivePool, 1},
      {MMStoredKind::MasterPool, 1}, {MMStoredKind::Device, 1},     {MMStoredKind::Library, 1},
      {MMStoredKind::Library, 2},    {MMStoredKind::Device, 2},     {MMStoredKind::MediaAgent, 2},
  };
  MMMediaConfigDB access;
  size_t deletions = 0;
  for (const Removal& removal : removals) {
    SCOPED_TRACE("kind " + std::to_string(static_cast<int>(removal.kind)) + " id " + std::to_string(removal.id));
    testkit::db::journal().reset();
    ASSERT_EQ(access.removeObject(removal.kind, removal.id), 0) << access.lastErrorText();
    std::vector<std::string> statements;
    for (const tkjournal::Call& call : testkit::db::journal().calls("sql"))
      if (call.args.size() > 2 && call.args[2].rfind("DELETE", 0) == 0) statements.push_back(call.args[2]);
    EXPECT_FALSE(statements.empty());
    deletions += statements.size();
    for (const std::string& sql : statements) EXPECT_EQ(wholeTableReads(sql), std::vector<std::string>{}) << sql;
  }
  // The library removals alone run more than a dozen.
  EXPECT_GE(deletions, 30u);
}

// The model's removal takes the removed objects' own settings with them:
// those statements find their rows through an index too.
TEST_F(DeletionPlan, TheSettingsOfRemovedObjectsAreFoundThroughAnIndex) {
  ASSERT_EQ(0, db.exec("INSERT INTO \"MMObjectSetting\" (\"Kind\", \"ObjectId\", \"Name\", \"Value\") VALUES "
                       "(1, 1, 'DoorLock', '1'), (5, 1, 'DriveIdString', 'a'), (6, 1, 'AccessPath', 'p1')"));
  std::unique_ptr<ZQMACMediaConfig> config = load();
  ZQMACLms* library = tapeLibrary(*config);
  ASSERT_NE(library, nullptr);
  testkit::db::journal().reset();
  ASSERT_TRUE(config->DeleteObject(library)) << config->GetLastError();
  std::vector<std::string> statements;
  for (const tkjournal::Call& call : testkit::db::journal().calls("sql"))
    if (call.args.size() > 2 && call.args[2].rfind("DELETE FROM \"MMObjectSetting\"", 0) == 0)
      statements.push_back(call.args[2]);
  ASSERT_FALSE(statements.empty());
  for (const std::string& sql : statements) EXPECT_EQ(wholeTableReads(sql), std::vector<std::string>{}) << sql;
  EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM \"MMObjectSetting\" WHERE \"Kind\" IN (1, 5, 6) AND \"ObjectId\" = 1"), 0);
}

}  // namespace
