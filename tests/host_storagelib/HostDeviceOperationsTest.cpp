// The device operations of the storage-library request end to end: the
// console's storage-library word, the real tkhost on the demonstration
// installation, and what the request leaves in the database.
#include <gtest/gtest.h>

#include <string>
#include <vector>

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

// A device whose name its column cannot hold: refused naming the limit,
// and the refusal keeps nothing, however often it is sent.
TEST(HostDeviceOperations, ADeviceWhoseRenameIsRefusedLeavesNoRowHoweverOftenItIsSent) {
  tktest::TestDatabase db;
  std::string report;
  ASSERT_GT(tkmac::seedDemoInstallation(report), 0) << report;
  const char* const kTables[] = {"MMDevice", "MMDeviceController", "MMObjectSetting", "AuditTrailRecord"};
  std::vector<long long> before;
  for (const char* table : kTables) before.push_back(db.scalar(std::string("SELECT COUNT(*) FROM ") + table));

  tktest::TempDir dir;
  const std::string line = "storage-library 43=256 3=ma2 55=" + std::string(5000, 'n') + " 24=/mnt/ma2/nas1\n";
  const std::string refused =
      std::string("<EVGui_GenericResp i1=\"-1\" s2=\"The device name is longer than 512 bytes.\"/>");
  hosttest::expectConsoleRun(dir, db.path(), line + line, 3, {refused});
  const std::string output = hosttest::readFile(dir.file("console.out"));
  const std::size_t first = output.find(refused);
  ASSERT_NE(first, std::string::npos) << output;
  EXPECT_NE(output.find(refused, first + 1), std::string::npos) << "both tries are refused\n" << output;
  for (std::size_t i = 0; i < before.size(); ++i)
    EXPECT_EQ(db.scalar(std::string("SELECT COUNT(*) FROM ") + kTables[i]), before[i]) << kTables[i];
}

}  // namespace
