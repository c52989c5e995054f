// Detection through the host finds what the attached-hardware tables say
// each media agent sees: the demonstration's tape library on ma2, and a
// library an administrator adds with SQL.
#include <gtest/gtest.h>

#include <unistd.h>

#include "tests/host_installation/InstallationFixture.h"
#include "tests/mmconfig_control/ControlFixture.h"

namespace {

using ctltest::Message;
using tktest::le32;

using installtest::bytesOf;
using installtest::kUnstored;

Message lastOf(const std::vector<Message>& messages) { return messages.empty() ? Message{} : messages.back(); }

class HostAttachedHardware : public installtest::InstallationFixture {
 protected:
  // The messages answering an auto-detection (see detect()).
  std::vector<Message> detected(int fd, const std::string& agent, bool keep, int64_t sequence) {
    return ctltest::messagesOf(detect(fd, agent, keep, sequence), sequence);
  }
};

TEST_F(HostAttachedHardware, TheSeededLibraryOnTheSecondAgentIsDetectedWithItsFourDrives) {
  const int fd = m_host.connect();
  ASSERT_GE(fd, 0);
  ASSERT_TRUE(hosttest::takeLock(fd));

  // Kept for the listings: answered at once.
  EXPECT_EQ(detected(fd, "ma2", true, 3),
            (std::vector<Message>{ctltest::progress(47, 100), ctltest::operationResponse(47, 1, "Success")}));

  const auto libraries = listing(fd, "onMsgGetMMDetectedLibraries", 4);
  ASSERT_EQ(libraries.size(), 1u);
  EXPECT_EQ(libraries[0].size(), 5u);
  EXPECT_EQ(libraries[0][0].tag, 11003u);
  EXPECT_EQ(bytesOf(libraries[0], 8215), le32(kUnstored) + "DEMO TAPE-4 [LIB0004] /dev/sg4 on ma2");
  EXPECT_EQ(bytesOf(libraries[0], 11053), le32(0));

  // ma2 reaches TapeLib1's two drives too; the detected four follow, in
  // drive-number order, none of them stored.
  const auto drives = listing(fd, "onMsgGetMMDetectedDrives", 5);
  ASSERT_EQ(drives.size(), 6u);
  for (int d = 1; d <= 4; ++d) {
    SCOPED_TRACE(d);
    EXPECT_EQ(bytesOf(drives[1 + d], 2240), le32(kUnstored) + "DEMO LTO [SN010" + std::to_string(d) + "] /dev/nst" +
                                                std::to_string(d + 3) + " on ma2");
  }

  // Detecting again adds nothing; the devices are still new (not stored),
  // so the agent check ends with the new-device answer.
  const std::vector<Message> again = detected(fd, "ma2", false, 6);
  ASSERT_FALSE(again.empty());
  EXPECT_EQ(again.front(), ctltest::progress(47, 100));
  EXPECT_EQ(lastOf(again), ctltest::operationResponse(47, 1, ctltest::text(0x24000179)));
  EXPECT_EQ(lastOf(detected(fd, "ma2", true, 7)), ctltest::operationResponse(47, 1, "Success"));
  EXPECT_EQ(listing(fd, "onMsgGetMMDetectedLibraries", 8).size(), 1u);
  EXPECT_EQ(listing(fd, "onMsgGetMMDetectedDrives", 9).size(), 6u);
  ::close(fd);

  // Nothing was stored: detection only shows what is attached.
  EXPECT_EQ(m_db.scalar("SELECT COUNT(*) FROM MMLibrary WHERE LibraryName LIKE '%LIB0004%'"), 0);
}

TEST_F(HostAttachedHardware, ALibraryAnAdministratorAttachesWithSqlIsDetected) {
  // ma1 sees nothing at first (the existing answer), then the new library.
  const int fd = m_host.connect();
  ASSERT_GE(fd, 0);
  ASSERT_TRUE(hosttest::takeLock(fd));
  EXPECT_EQ(lastOf(detected(fd, "ma1", false, 3)), ctltest::operationResponse(47, 0, ctltest::text(0x24000177)));

  attachLibraryToMa1();
  EXPECT_EQ(lastOf(detected(fd, "ma1", true, 4)), ctltest::operationResponse(47, 1, "Success"));
  const auto libraries = listing(fd, "onMsgGetMMDetectedLibraries", 5);
  // TapeLib1's stored controller on ma1, then the new one.
  ASSERT_EQ(libraries.size(), 2u);
  EXPECT_EQ(bytesOf(libraries[1], 8215), le32(kUnstored) + "ACME TL-8 [TL8-0001] /dev/sg7 on ma1");
  ::close(fd);
}

TEST_F(HostAttachedHardware, ATableThatCannotBeReadFailsTheDetectionAndAddsNothing) {
  // A view in the table's place, over a table that is gone: a new
  // connection's schema leaves the name alone, and every read of it fails.
  // One transaction, or a connection of the running host may find the
  // table missing in between and make it again.
  ASSERT_EQ(m_db.exec("BEGIN IMMEDIATE; DROP TABLE \"MMAttachedDrive\"; CREATE TABLE \"gone\" (\"x\"); "
                      "CREATE VIEW \"MMAttachedDrive\" AS SELECT \"x\" AS \"Id\" FROM \"gone\"; "
                      "DROP TABLE \"gone\"; COMMIT"),
            0);
  const int fd = m_host.connect();
  ASSERT_GE(fd, 0);
  ASSERT_TRUE(hosttest::takeLock(fd));
  const Message answer = lastOf(detected(fd, "ma2", true, 3));
  ASSERT_EQ(answer.items.size(), 2u) << answer;
  EXPECT_EQ(answer.items[1].second.substr(0, 4), le32(0));
  EXPECT_EQ(answer.items[1].second.find("The hardware attached to media agent [ma2] could not be read: "), 4u)
      << answer;
  EXPECT_TRUE(listing(fd, "onMsgGetMMDetectedLibraries", 4).empty());
  ::close(fd);
}

}  // namespace
