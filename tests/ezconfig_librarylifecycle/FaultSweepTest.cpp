// The fault sweep over creating, deleting and changing a library: every
// platform call failing in turn ends in an answer, gives the lock back and
// leaves no half change. Where a step is kept on purpose after a later one
// fails (the created library, the parts a walk deleted, the row update
// before the writer limit), the check judges those tables itself.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "tests/ezconfig_librarylifecycle/LifecycleFixture.h"
#include "tests/support/FaultSweep.h"

namespace lifecycletest {
namespace {

const std::vector<std::string> kAuditTables = {"AuditTrailRecord", "AuditTrailParam", "AuditTrailArgument",
                                               "sqlite_sequence"};

struct Case {
  const char* name;
  std::function<std::string()> request;
  std::vector<std::string> judged;  // besides the audit tables
  // "" when the run's rows are sound for its answer.
  std::function<std::string(bool success, tktest::TestDatabase&)> rows;
  // The commits of the clean run: one, but for a walk that keeps each part
  // it deleted when a later one fails (one per part).
  long commits = 1;
};

class LifecycleSweep : public LifecycleTest {
 public:
  void SetUp() override {
    LifecycleTest::SetUp();
    tktest::insertRows(m_db, "MMMasterPool (MasterPoolId, LibraryId)", {{96, kDiskLib}});
    m_db.exec("UPDATE MMLibraryController SET IsActive = 0 WHERE LibraryControllerId = 70");
    m_db.exec("UPDATE MMLibrary SET WarningWaterMark = 0 WHERE LibraryId = 5");
  }
  tktest::SweepReport sweep(const Case& c) {
    std::string text;
    std::string buffer;
    std::string cleanRows;
    tktest::SweepPlan plan;
    plan.commits = c.commits;
    plan.setup = [&] {
      freshStandIns();
      testkit::audit::reset();
      text = c.request();
    };
    plan.request = [&] {
      auto message = record();
      buffer = text;
      m_mgr.HandleMMConfigMgrXmlMsg(message.get(), 0, 0, 0, kMessageId, buffer);
    };
    plan.check = [&](const tktest::SweepRun& run) -> std::string {
      for (const char* key : {"MAID2", "LibID5", "LibID6", "LibID7"})
        if (EvMMConfigMgr::isConfigLibraryLocked(key)) return std::string("the lock ") + key + " is still held";
      if (buffer.empty()) return run.failed("xml.serialize") ? "" : "no answer was written";
      const Answer a = decode(buffer);
      if (!a.success && (a.code != -1 || a.text.empty())) return "not an answer: " + buffer;
      if (run.k == 0 && !a.success) return "the clean run failed: " + buffer;
      if (c.rows) return c.rows(a.success, m_db);
      return "";
    };
    plan.judgedTables = kAuditTables;
    plan.judgedTables.insert(plan.judgedTables.end(), c.judged.begin(), c.judged.end());
    return tktest::FaultSweep().run(plan);
  }
};

// A library made stays made, and keeps its cloud storage.
std::string createdKeepsStorage(bool success, tktest::TestDatabase& db) {
  const bool made = db.scalar("SELECT COUNT(*) FROM MMLibrary WHERE AliasName = 'cloudlib'") == 1;
  const bool stored = !testkit::cloud::storages().empty();
  if (success && !made) return "success without the library";
  if (made && !stored) return "the library lost its cloud storage";
  return "";
}

// The library row is the old one or the clean run's, never a mix.
std::string wholeRow(bool, tktest::TestDatabase& db) {
  const std::string row = db.text("SELECT WarningWaterMark || '/' || AliasName FROM MMLibrary WHERE LibraryId = 5");
  return row == "0/disklib" || row == "40/renamed" ? "" : "a half-written row: " + row;
}

std::vector<Case> cases() {
  return {
      {"create over cloud storage",
       [] {
         return requestText(
             {{43, 1}, {7, kMa2}, {8, "cloudlib"}, {24, "/bucket"}, {28, "owner"}, {32, "pw"}, {42, 400}});
       },
       {"MMLibrary", "MMMasterPool", "MMDrivePool", "MMDevice", "MMDeviceController", "MMMedia", "MMMediaSide",
        "MMMountPath", "MMMountPathToStorageDevice"},
       createdKeepsStorage},
      {"delete a whole library",
       [] { return requestText({{43, 2}, {8, "lonely"}, {41, 0}}, {}, 1); }, {}, {}},
      {"delete one media agent's parts",
       [] { return requestText({{43, 2}, {8, "tapelib"}, {3, "ma2"}}, {}, 1); },
       {"MMDrivePool", "MMLibraryController", "MMMasterPool"},
       {},
       4},
      {"modify with writers, pairing and a switch",
       [] {
         return requestText({{43, 32}, {7, kMa2}, {8, "disklib"}}, {{8, "renamed"}, {68, 40}, {65, 5}}, -1,
                            [](CNMessageBase& first, CNMessageBase& second) {
                              CNMessageBase& p = child(second, Info::kClassHash, Info::kHybridCloudPairing);
                              p.setint64(Pairing::kPairing.ordinal, Pairing::kPairing.tag, 1, Pairing::kClassHash,
                                         Pairing::kPairing.hash);
                              CNMessageBase& cloud = child(p, Pairing::kClassHash, Pairing::kCloudLibrary);
                              cloud.setint64(0, 0, kLonelyLib, ZqEntities::LibraryEntity::kClassHash,
                                             ZqEntities::LibraryEntity::kId.hash);
                              CNMessageBase& agent = child(first, Info::kClassHash, Info::kActiveControllerAgent);
                              agent.setint64(0, 0, kMa2, ZqEntities::ClientEntity::kClassHash,
                                             ZqEntities::ClientEntity::kId.hash);
                            });
       },
       {"MMLibrary", "MMMasterPool", "MMHybridCloudMapping", "MMLibraryController"},
       wholeRow},
    };
}

// Sweeps the cases whose names start with `operation`; the calls they made.
std::set<std::string> sweepCases(LifecycleSweep& t, const std::string& operation) {
  std::set<std::string> swept;
  for (const Case& c : cases()) {
    if (std::string(c.name).rfind(operation, 0) != 0) continue;
    SCOPED_TRACE(c.name);
    const tktest::SweepReport report = t.sweep(c);
    EXPECT_TRUE(report.clean()) << report;
    swept.insert(report.names.begin(), report.names.end());
  }
  return swept;
}

TEST_F(LifecycleSweep, CreatingALibrary) {
  const std::set<std::string> swept = sweepCases(*this, "create");
  for (const char* call : {"AutoConfigLibrary", "addUserToLibrary", "guiAudit", "provisionStorage"})
    EXPECT_TRUE(swept.count(call)) << call;
}

TEST_F(LifecycleSweep, DeletingALibrary) {
  const std::set<std::string> swept = sweepCases(*this, "delete");
  for (const char* call : {"DeconfigureLibrary", "ReadCurrentConfig", "guiAudit"}) EXPECT_TRUE(swept.count(call)) << call;
}

TEST_F(LifecycleSweep, ChangingALibrary) {
  const std::set<std::string> swept = sweepCases(*this, "modify");
  EXPECT_TRUE(swept.count("guiAudit"));
}

}  // namespace
}  // namespace lifecycletest
