// The can-delete word and a mount-path deletion over the real tkhost, on
// the demonstration installation: the console asks, then deletes mount
// path 2 of DiskLib1; the library keeps its other mount path. A second disk
// library, DiskLib2, shows that a deletion naming it never reaches
// DiskLib1's mount path, plain or forced.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "tests/support/FrameSession.h"
#include "tests/support/HostHarness.h"
#include "tests/support/Seed.h"
#include "tests/support/TestDatabase.h"

namespace {

// The real tkhost on the demonstration installation in a database of the
// test's own, and tkconsole scripts run against it.
class MountPathDeletionThroughTheHost : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_host.up()) << m_host.log(); }
  // Runs `lines` as one console script: its exit status, and its output in `output`.
  int runScript(const std::string& lines, std::string& output) {
    const std::string script = m_dir.file("session.tk");
    std::ofstream(script) << lines;
    hosttest::Child console;
    if (!console.start(hosttest::consoleBinary(), {"--socket", m_host.socket(), "--script", script}, {},
                       m_dir.file("console.out"), m_dir.file("console.err")))
      return -1;
    const int status = console.exitCode();
    output = hosttest::readFile(m_dir.file("console.out"));
    return status;
  }

  tktest::TestDatabase m_db;
  tktest::TempDir m_dir;
  hosttest::Host m_host{m_dir, m_dir.file("host.sock"), {"--seed-demo"},
                        {{"TK_DB", m_db.path()},
                         {"TK_LOCK_DIR", m_dir.file("locks")},
                         {"TK_LOG_DIR", m_dir.file("log")}}};
};

TEST_F(MountPathDeletionThroughTheHost, TheConsoleAsksThenDeletesADemoMountPath) {
  std::string output;
  EXPECT_EQ(runScript("can-delete 2 2\n"
                      "storage-library 43=16 1=2 8=DiskLib1 7=2 23=2 24=/srv/disklib1/mp2\n",
                      output),
            0)
      << output;
  EXPECT_NE(output.find("> can-delete 2 2\nreply 0x0DF856C0 seq 1\n  result 0\n  xml len 33: "
                        "<EVGui_GenericResp i1=\"0\" s2=\"\"/>\n"),
            std::string::npos)
      << output;
  EXPECT_NE(output.find("<EVGui_ConfigureStorageLibraryResp>"), std::string::npos) << output;
  EXPECT_EQ(m_db.scalar("SELECT COUNT(*) FROM MMMountPath WHERE MountPathId = 2"), 0);
  EXPECT_EQ(m_db.scalar("SELECT COUNT(*) FROM MMMountPath WHERE MountPathId = 1"), 1);
  EXPECT_EQ(m_db.scalar("SELECT COUNT(*) FROM MMLibrary WHERE LibraryName = 'DiskLib1'"), 1);

  // A wrong word sends nothing.
  hosttest::Child wrong;
  ASSERT_TRUE(wrong.start(hosttest::consoleBinary(), {"--socket", m_host.socket(), "can-delete", "2"}, {},
                          m_dir.file("wrong.out"), m_dir.file("wrong.err")));
  EXPECT_EQ(wrong.exitCode(), 64);
}

TEST_F(MountPathDeletionThroughTheHost, ADeletionNamingAnotherLibraryLeavesBothWholeAndTheWholeLibraryIsAnswered) {
  tktest::TestDatabase& db = m_db;
  // DiskLib2 (library 10) with mount path 10 on device 10, reached by ma2.
  tktest::insertRows(db, "MMLibrary (LibraryId, LibraryName, AliasName, LibraryTypeId, LibraryEnabled)",
                     {{10, "DiskLib2", "DiskLib2", 3, 1}});
  tktest::insertRows(db, "MMDevice (DeviceId, AliasName, DeviceTypeId)", {{10, "DiskLib2 device 1", 1}});
  tktest::addMountPath(db, 10, 10, 10, "/srv/disklib2/mp1");
  tktest::addDevicePath(db, {10, 2, 10, 6, "/srv/disklib2/mp1"});
  const long long devicePaths = db.scalar("SELECT COUNT(*) FROM MMDeviceController WHERE DeviceId <> 10");

  std::string output;
  EXPECT_EQ(runScript("can-delete 0 2\n"
                      "storage-library 43=16 1=10 8=DiskLib2 7=2 23=2 24=/srv/disklib1/mp2\n"
                      "storage-library 43=1024 1=10 8=DiskLib2 7=2 23=2 24=/srv/disklib1/mp2\n"
                      "storage-library 43=16 1=10 8=DiskLib2 7=2 23=10 24=/srv/disklib2/mp1\n",
                      output),
            3)
      << output;
  // The whole demonstration disk library holds nothing: deletable as it is.
  EXPECT_NE(output.find("> can-delete 0 2\nreply 0x0DF856C0 seq 1\n  result 0\n  xml len 33: "
                        "<EVGui_GenericResp i1=\"0\" s2=\"\"/>\n"),
            std::string::npos)
      << output;
  const std::string refused =
      "<EVGui_GenericResp i1=\"-1\" s2=\"" + tktest::catalogueText(0x23000DA0, "2", "DiskLib2") + "\"/>";
  for (const char* seq : {"seq 2", "seq 3"})
    EXPECT_NE(output.find(std::string(seq) + "\n  result 0\n  xml len " + std::to_string(refused.size()) + ": " +
                          refused + "\n"),
              std::string::npos)
        << seq << "\n" << output;
  EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM MMMountPath WHERE MountPathId = 2 AND IFNULL(IsOffline, 0) = 0"), 1);
  EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM MMLibrary WHERE LibraryId = 2"), 1);
  // DiskLib2's own mount path went (and DiskLib2 with its last one), and
  // nothing of DiskLib1.
  EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM MMLibrary WHERE LibraryId = 10"), 0);
  EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM MMMountPath WHERE LibraryId = 2"), 2);
  EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM MMMountPath WHERE MountPathId = 10"), 0);
  EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM MMDeviceController WHERE DeviceId <> 10"), devicePaths);
}

}  // namespace
