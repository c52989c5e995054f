// The can-delete word and a mount-path deletion over the real tkhost, on
// the demonstration installation: the console asks, then deletes mount
// path 2 of DiskLib1; the library keeps its other mount path.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "tests/support/HostHarness.h"
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

}  // namespace
