// A drive pool added by a console end to end: the real tkhost on the
// demonstration installation shows the new, empty pool not configured in
// the session, after a re-read and after a restart alike, and once it is
// configured it stays configured the same three ways.
#include <gtest/gtest.h>

#include <string>

#include "platform/mac/ZQMACPlatform.h"
#include "tests/support/HostHarness.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestDatabase.h"

namespace {

// The record of ma2's new pool of TapeLib1's master pool, with its handle
// and icon.
std::string newPoolRecord(int handle, const std::string& icon) {
  return "  tag 11003 (object handle) len 8: " + std::to_string(handle) + "\n"
         "  tag 8061 (drive pool) len 20: 5 \"DrivePool(ma2)_2\"\n"
         "  tag 11031 (description) len 0:\n"
         "  tag 2049 (library) len 12: 1 \"TapeLib1\"\n"
         "  tag 2048 (media agent) len 7: 2 \"ma2\"\n"
         "  tag 11030 (OS id) len 4: 2\n"
         "  tag 11018 (pool drives) len 4: 0\n"
         "  tag 8227 (drive pool type) len 4: 0\n"
         "  tag 11095 (pool text) len 0:\n"
         "  tag 11132 (copy manager) len 4: 0\n"
         "  tag 11217 (cost category) len 4: 0\n"
         "  tag 11149 (state B) len 4: 0\n"
         "  tag 11150 (detail) len 0:\n"
         "  tag 11162 (shown) len 4: 1\n"
         "  tag 11116 (icon id) len 4: " + icon + "\n"
         "  tag 2052 (end of record) len 4: 0\n";
}

int occurrences(const std::string& text, const std::string& part) {
  int n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

TEST(HostAddedDrivePool, AnAddedPoolIsShownAsStoredInTheSessionAfterAReReadAndAfterARestart) {
  tktest::TestDatabase db;
  std::string report;
  ASSERT_GT(tkmac::seedDemoInstallation(report), 0) << report;
  // The library is handle 1 and its master pool 4 on a fresh host; the new
  // pool is the first one the pool listing names (5) right after the add,
  // and the third (7) on a host that starts with it.
  const std::string added = newPoolRecord(5, "31 (drive pool, not configured)");
  const std::string notConfigured = newPoolRecord(7, "31 (drive pool, not configured)");
  const std::string configured = newPoolRecord(7, "30 (drive pool)");
  const std::string open = "lock\nlibraries\nmaster-pools 1\n";
  struct Step {
    const char* name;
    std::string script;
    const std::string& record;
    int times;  // listings that show the record
  };
  const Step steps[] = {
      {"added: in the session and after a re-read",
       open + "onMsgAddDrivePool first=4 body=0 body=0 body=2\ndrive-pools 4 master\ncontrol 70\n"
              "drive-pools 4 master\nunlock\n",
       added, 2},
      {"after a restart, then configured: in the session and after a re-read",
       open + "drive-pools 4 master\ncontrol 48 7\ndrive-pools 4 master\ncontrol 70\ndrive-pools 4 master\nunlock\n",
       configured, 2},
      {"configured, after a restart", open + "drive-pools 4 master\nunlock\n", configured, 1},
  };
  int stepNumber = 0;
  for (const Step& step : steps) {
    SCOPED_TRACE(step.name);
    tktest::TempDir dir;
    hosttest::expectConsoleRun(dir, db.path(), step.script, 0, {step.record});
    const std::string output = hosttest::readFile(dir.file("console.out"));
    EXPECT_EQ(occurrences(output, step.record), step.times) << output;
    if (stepNumber++ == 1) {
      EXPECT_EQ(occurrences(output, notConfigured), 1) << output;  // before control 48
    }
    EXPECT_EQ(db.scalar("SELECT DrivePoolEnabled FROM MMDrivePool WHERE DrivePoolName = 'DrivePool(ma2)_2'"),
              &step.record == &configured ? 1 : 0);
  }
}

}  // namespace
