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

TEST(MountPathDeletionThroughTheHost, TheConsoleAsksThenDeletesADemoMountPath) {
  tktest::TestDatabase db;
  tktest::TempDir dir;
  hosttest::Host host{dir, dir.file("host.sock"), {"--seed-demo"},
                      {{"TK_DB", db.path()}, {"TK_LOCK_DIR", dir.file("locks")}, {"TK_LOG_DIR", dir.file("log")}}};
  ASSERT_TRUE(host.up()) << host.log();
  const std::string script = dir.file("session.tk");
  std::ofstream(script) << "can-delete 2 2\n"
                        << "storage-library 43=16 1=2 8=DiskLib1 7=2 23=2 24=/srv/disklib1/mp2\n";
  hosttest::Child console;
  ASSERT_TRUE(console.start(hosttest::consoleBinary(), {"--socket", host.socket(), "--script", script}, {},
                            dir.file("console.out"), dir.file("console.err")));
  EXPECT_EQ(console.exitCode(), 0) << hosttest::readFile(dir.file("console.err"));
  const std::string output = hosttest::readFile(dir.file("console.out"));
  EXPECT_NE(output.find("> can-delete 2 2\nreply 0x0DF856C0 seq 1\n  result 0\n  xml len 33: "
                        "<EVGui_GenericResp i1=\"0\" s2=\"\"/>\n"),
            std::string::npos)
      << output;
  EXPECT_NE(output.find("<EVGui_ConfigureStorageLibraryResp>"), std::string::npos) << output;
  EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM MMMountPath WHERE MountPathId = 2"), 0);
  EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM MMMountPath WHERE MountPathId = 1"), 1);
  EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM MMLibrary WHERE LibraryName = 'DiskLib1'"), 1);

  // A wrong word sends nothing.
  hosttest::Child wrong;
  ASSERT_TRUE(wrong.start(hosttest::consoleBinary(), {"--socket", host.socket(), "can-delete", "2"}, {},
                          dir.file("wrong.out"), dir.file("wrong.err")));
  EXPECT_EQ(wrong.exitCode(), 64);
}

TEST(MountPathDeletionThroughTheHost, ADeletionNamingAnotherLibraryLeavesBothWholeAndTheWholeLibraryIsAnswered) {
  tktest::TestDatabase db;
  tktest::TempDir dir;
  hosttest::Host host{dir, dir.file("host.sock"), {"--seed-demo"},
                      {{"TK_DB", db.path()}, {"TK_LOCK_DIR", dir.file("locks")}, {"TK_LOG_DIR", dir.file("log")}}};
  ASSERT_TRUE(host.up()) << host.log();
  // DiskLib2 (library 10) with mount path 10 on device 10, reached by ma2.
  tktest::insertRows(db, "MMLibrary (LibraryId, LibraryName, AliasName, LibraryTypeId, LibraryEnabled)",
                     {{10, "DiskLib2", "DiskLib2", 3, 1}});
  tktest::insertRows(db, "MMDevice (DeviceId, AliasName, DeviceTypeId)", {{10, "DiskLib2 device 1", 1}});
  tktest::addMountPath(db, 10, 10, 10, "/srv/disklib2/mp1");
  tktest::addDevicePath(db, {10, 2, 10, 6, "/srv/disklib2/mp1"});
  const long long devicePaths = db.scalar("SELECT COUNT(*) FROM MMDeviceController WHERE DeviceId <> 10");

  const std::string script = dir.file("session.tk");
  std::ofstream(script) << "can-delete 0 2\n"
                        << "storage-library 43=16 1=10 8=DiskLib2 7=2 23=2 24=/srv/disklib1/mp2\n"
                        << "storage-library 43=1024 1=10 8=DiskLib2 7=2 23=2 24=/srv/disklib1/mp2\n"
                        << "storage-library 43=16 1=10 8=DiskLib2 7=2 23=10 24=/srv/disklib2/mp1\n";
  hosttest::Child console;
  ASSERT_TRUE(console.start(hosttest::consoleBinary(), {"--socket", host.socket(), "--script", script}, {},
                            dir.file("console.out"), dir.file("console.err")));
  EXPECT_EQ(console.exitCode(), 3) << hosttest::readFile(dir.file("console.err"));
  const std::string output = hosttest::readFile(dir.file("console.out"));
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
