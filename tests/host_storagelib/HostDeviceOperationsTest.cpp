// The device operations of the storage-library request end to end: the
// console's storage-library word, the real tkhost on the demonstration
// installation, and what the request leaves in the database.
#include <gtest/gtest.h>

#include <string>

#include "platform/mac/ZQMACPlatform.h"
#include "tests/support/FrameSession.h"
#include "tests/support/HostHarness.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestDatabase.h"

namespace {

using tktest::catalogueText;

TEST(HostDeviceOperations, TheConsoleMarksADriveOfTheTapeLibraryCleanedAndRefusesAnUnknownDrive) {
  tktest::TestDatabase db;
  std::string report;
  ASSERT_GT(tkmac::seedDemoInstallation(report), 0) << report;
  ASSERT_EQ(0, db.exec("UPDATE MMDrive SET CleaningRequired = 1, NumHardErrsSinceClean = 4 WHERE AliasName = 'Drive1'"));
  const long long driveTwoBefore = db.scalar("SELECT LastCleantime FROM MMDrive WHERE AliasName = 'Drive2'");

  tktest::TempDir dir;
  const std::string refused = "<EVGui_GenericResp i1=\"-1\" s2=\"" + catalogueText(0x23000AB2) + "\"/>";
  hosttest::expectConsoleRun(dir, db.path(),
                             "storage-library 43=512 8=TapeLib1 3=ma1 78=Drive1 82=2\n"
                             "storage-library 43=512 8=TapeLib1 3=ma1 78=NoSuchDrive 82=2\n",
                             3, {"<EVGui_ConfigureStorageLibraryResp>", "s8=\"TapeLib1\"", "i70=\"0\"", refused});

  EXPECT_EQ(db.scalar("SELECT CleaningRequired FROM MMDrive WHERE AliasName = 'Drive1'"), 0);
  EXPECT_EQ(db.scalar("SELECT NumHardErrsSinceClean FROM MMDrive WHERE AliasName = 'Drive1'"), 0);
  EXPECT_EQ(db.scalar("SELECT LastCleantime FROM MMDrive WHERE AliasName = 'Drive2'"), driveTwoBefore);
  EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM AuditTrailParam WHERE MessageId = ?", {0x55000532}), 1);
}

}  // namespace
