// The control request end to end: the real tkhost on a database seeded with
// the demonstration installation, reached over its socket. The lock holder
// runs the long operation of the tape library (given four drives) and reads
// its progress, four steps on the scale of 25, before the operation's answer.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <filesystem>
#include <fstream>

#include "platform/mdlock/MDLock.h"

#include "tests/mmconfig_control/ControlFixture.h"
#include "tests/support/HostHarness.h"

namespace {

using ctltest::Message;

class HostControl : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_host.up()) << m_host.log(); }

  // One record of the control request: the operation on the object of the handle.
  static std::string controlFrame(uint32_t operation, uint64_t handle, int64_t sequence) {
    tkwire::StreamRequest control;
    control.handler = "onMsgSetMMControl";
    control.sequence = sequence;
    control.firstField = tkwire::firstFieldOf(0, 3);
    tkwire::appendU32(control.stream, 4001, operation);
    tkwire::appendU64(control.stream, 11003, handle);
    tkwire::appendU32(control.stream, 2052, 0);
    return tkwire::encodeStreamRequest(control);
  }

  // Two more drives for the demonstration tape library, written into the
  // host's database as another server process would.
  void addTwoDrives() {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(m_dir.file("host.db").c_str(), &db), SQLITE_OK);
    sqlite3_busy_timeout(db, 30000);
    char* error = nullptr;
    const int rc = sqlite3_exec(db,
                                "INSERT INTO \"MMDrive\" (\"DriveName\", \"AliasName\", \"DriveEnabled\", "
                                "\"MasterPoolId\", \"DriveNumber\") "
                                "SELECT 'Drive' || n, 'Drive' || n, 1, m.\"MasterPoolId\", n "
                                "FROM \"MMMasterPool\" m JOIN \"MMLibrary\" l ON l.\"LibraryId\" = m.\"LibraryId\", "
                                "(SELECT 3 AS n UNION ALL SELECT 4) WHERE l.\"LibraryName\" = 'TapeLib1'",
                                nullptr, nullptr, &error);
    EXPECT_EQ(rc, SQLITE_OK) << (error != nullptr ? error : "");
    sqlite3_free(error);
    EXPECT_EQ(sqlite3_changes(db), 2);
    sqlite3_close(db);
  }

  // A new connection that takes the lock (request 1) and lists the
  // libraries (request 2): the connection, and the handle of the first
  // library of the listing, the tape library.
  void lockAndFindTapeLibrary(int& fd, uint64_t& handle) {
    fd = m_host.connect();
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(hosttest::takeLock(fd));
    const auto listing = hosttest::sendAndRead(fd, hosttest::streamFrame("onMsgGetMMLibraries", 2));
    ASSERT_EQ(listing.size(), 1u);
    const tkwire::Item* item = listing[0].find(11003);
    ASSERT_NE(item, nullptr);
    handle = item->u64();
  }

  tktest::TempDir m_dir;
  hosttest::Host m_host{m_dir, m_dir.file("host.sock"), {"--seed-demo"},
                        {{"TK_LOCK_DIR", m_dir.file("locks")}, {"TK_LOG_DIR", m_dir.file("log")}}};
};

TEST_F(HostControl, TheLockHolderRunsTheTapeLibrarysLongOperationAndReadsItsProgress) {
  addTwoDrives();
  int a = -1;
  uint64_t tapeLibrary = 0;
  ASSERT_NO_FATAL_FAILURE(lockAndFindTapeLibrary(a, tapeLibrary));

  const auto replies = hosttest::sendAndRead(a, controlFrame(50, tapeLibrary, 3));
  EXPECT_EQ(ctltest::messagesOf(replies, 3),
            (std::vector<Message>{ctltest::progress(50, 6), ctltest::progress(50, 12), ctltest::progress(50, 18),
                                  ctltest::progress(50, 25), ctltest::operationResponse(50, 1, "Success")}));
  ::close(a);
}

TEST_F(HostControl, TheConsoleSendsOneControlRecordByItsWord) {
  const std::string script = m_dir.file("session.tk");
  std::ofstream(script) << "lock\ncontrol 70\ncontrol 57\nunlock\n";
  hosttest::Child console;
  ASSERT_TRUE(console.start(hosttest::consoleBinary(), {"--socket", m_host.socket(), "--script", script}, {},
                            m_dir.file("console.out"), m_dir.file("console.err")));
  // Operation 57 without a handle is refused, so the console reports a failure.
  EXPECT_EQ(console.exitCode(), 3) << hosttest::readFile(m_dir.file("console.err"));
  const std::string output = hosttest::readFile(m_dir.file("console.out"));
  EXPECT_NE(output.find("> control 70\nreply 1024 seq 2\n"), std::string::npos) << output;
  // 57 needs a handle: the text of the missing handle.
  EXPECT_NE(output.find("> control 57\nreply 1024 seq 3\n"), std::string::npos) << output;

  // A wrong control word sends nothing.
  for (const std::vector<std::string>& words :
       {std::vector<std::string>{"control"}, std::vector<std::string>{"control", "fifty"},
        std::vector<std::string>{"control", "50", "1", "2"}}) {
    hosttest::Child wrong;
    std::vector<std::string> args{"--socket", m_host.socket()};
    args.insert(args.end(), words.begin(), words.end());
    ASSERT_TRUE(wrong.start(hosttest::consoleBinary(), args, {}, m_dir.file("wrong.out"), m_dir.file("wrong.err")));
    EXPECT_EQ(wrong.exitCode(), 64) << words.size();
    EXPECT_EQ(hosttest::readFile(m_dir.file("wrong.out")), "");
  }
}

// A library delete of the storage-library request that deleted nothing
// (delete-enable 0) has left the library's lock file; the lock holder then
// removes the library by its handle (operation 2), and the file goes with it.
TEST_F(HostControl, ALibraryRemovedByTheControlRequestTakesItsLockFileWithIt) {
  hosttest::Child kept;
  ASSERT_TRUE(kept.start(hosttest::consoleBinary(),
                         {"--socket", m_host.socket(), "storage-library", "43=2", "8=TapeLib1"}, {},
                         m_dir.file("kept.out"), m_dir.file("kept.err")));
  // Status 3: the console says that nothing was deleted.
  EXPECT_EQ(kept.exitCode(), 3) << hosttest::readFile(m_dir.file("kept.out"));
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(m_dir.file("locks")))
    if (entry.path().filename().string().find("LibID") != std::string::npos)
      files.push_back(entry.path().string());
  ASSERT_EQ(files.size(), 1u);

  int a = -1;
  uint64_t tapeLibrary = 0;
  ASSERT_NO_FATAL_FAILURE(lockAndFindTapeLibrary(a, tapeLibrary));
  EXPECT_EQ(ctltest::messagesOf(hosttest::sendAndRead(a, controlFrame(2, tapeLibrary, 3)), 3),
            (std::vector<Message>{ctltest::operationResponse(2, 1, "Success")}));
  EXPECT_FALSE(std::filesystem::exists(files[0])) << files[0];
  ::close(a);
}

}  // namespace
