// A disk library force-deleted (operation 8192) and created (operation 1)
// through the storage-library request while a freed instance's graph waits
// for the next one: the deletion takes the graph over and lays only the
// changed rows, and after either request the next new instance is what a
// load of every row makes of a new instance; so too after every failing
// platform call of the deletion.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "frame/EvMMConfigMgr.h"
#include "frame/mac/ZQMACObjects.h"
#include "tests/ezconfig_mountpathdeletion/DeletionFixture.h"
#include "tests/support/FaultSweep.h"
#include "tests/support/ModelDump.h"

namespace storagelibtest {
namespace {

std::unique_ptr<ZQMACMediaConfig> loaded() {
  auto config = std::make_unique<ZQMACMediaConfig>();
  if (!config->Initialize("site-a") || !config->ReadCurrentConfig(false)) return nullptr;
  return config;
}

// How the loads since the journal was cleared laid their rows, as
// "taken over/part own/every row ...".
std::string lays() {
  std::string out;
  for (const auto& call : testkit::mac::journal().calls("LayStored"))
    out += (out.empty() ? "" : " ") + call.args.at(0) + "/" + call.args.at(1);
  return out;
}

// "" when the next new instance takes a graph over and is what a new
// instance makes of every row; else what differs.
std::string nextInstanceAsNew() {
  testkit::mac::journal().reset();
  auto next = loaded();
  auto fresh = loaded();  // the graph is held by `next`: this one builds its own
  if (next == nullptr || fresh == nullptr) return "the configuration could not be loaded";
  const std::string how = lays();
  if (how.rfind("taken over/", 0) != 0 || how.find(" own/every row") == std::string::npos)
    return "the next instance did not take a graph over: " + how;
  const std::string a = tktest::ModelDump::of(*next);
  const std::string b = tktest::ModelDump::of(*fresh);
  return a == b ? "" : "the next instance differs from a new one:\n" + a + "\n---\n" + b;
}

class LibraryHandOver : public DeletionTest {
 protected:
  static std::string forceDelete() { return request({{43, 8192}, {1, kDiskLib}, {8, "disklib"}, {7, kMa2}}); }
};

TEST_F(LibraryHandOver, ADeletedAndACreatedLibraryAreLaidInPartAndHandedOn) {
  tktest::addMountPath(m_db, 41, kDiskLib, kDevice, "/mnt/disk2");
  loaded();  // freed at once: its graph waits for the request
  testkit::mac::journal().reset();
  const Answer gone = call(forceDelete());
  ASSERT_TRUE(gone.success) << gone.xml;
  EXPECT_EQ(lays(), "taken over/part");
  EXPECT_EQ(nextInstanceAsNew(), "");

  const Answer made = call({{43, 1}, {3, "ma2"}, {8, "newlib"}, {24, "/mnt/newlib"}});
  ASSERT_TRUE(made.success) << made.xml;
  EXPECT_EQ(nextInstanceAsNew(), "");
  auto config = loaded();
  ASSERT_NE(config, nullptr);
  const std::string dump = tktest::ModelDump::of(*config);
  EXPECT_NE(dump.find("'newlib'"), std::string::npos) << dump;
  EXPECT_EQ(dump.find("'disklib'"), std::string::npos) << dump;
}

TEST_F(LibraryHandOver, AfterEveryFailingCallOfAForcedLibraryDeletionTheNextInstanceIsAsNew) {
  std::string buffer;
  tktest::SweepPlan plan;
  plan.judgedTables = {"AuditTrailRecord", "AuditTrailParam", "AuditTrailArgument", "sqlite_sequence", "MMLibrary",
                       "MMLibraryController", "MMMasterPool", "MMDrivePool", "MMMedia", "MMMediaSide",
                       "MMMountPath", "MMMountPathToStorageDevice", "MMMountPathPhysicalCleanup"};
  plan.setup = [&] {
    freshStandIns();
    testkit::jobs::reset();
    loaded();  // freed at once: its graph waits for the request
  };
  const std::string text = forceDelete();
  plan.request = [&] {
    auto message = record();
    buffer = text;
    m_mgr.HandleMMConfigMgrXmlMsg(message.get(), 0, 0, 0, kMessageId, buffer);
  };
  plan.check = [&](const tktest::SweepRun& run) -> std::string {
    if (buffer.empty()) return run.failed("xml.serialize") ? "" : "no answer was written";
    const Answer a = decode(buffer);
    if (!a.success && a.text.empty()) return "a failure without a text: " + buffer;
    if (run.k == 0 && !a.success) return "the clean run failed: " + buffer;
    const bool libraryGone = m_db.scalar("SELECT COUNT(*) FROM MMLibrary WHERE LibraryId = 5") == 0;
    if (a.success != libraryGone) return "the answer and the library's rows disagree: " + buffer;
    return nextInstanceAsNew();
  };
  const tktest::SweepReport report = tktest::FaultSweep().run(plan);
  EXPECT_TRUE(report.clean()) << report;
  EXPECT_GT(report.calls, 5);
}

}  // namespace
}  // namespace storagelibtest
