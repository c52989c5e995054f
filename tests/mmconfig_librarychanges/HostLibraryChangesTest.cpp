// The library request end to end: the real tkhost on a database seeded with
// the demonstration installation, reached over its socket. A console lists
// the libraries, turns on the tape library's door lock and sets its drive
// count, and the next listing of the same session shows both.
#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "tests/mmconfig_librarychanges/LibraryChangesFixture.h"
#include "tests/support/HostHarness.h"

namespace {

class HostLibraryChanges : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_host.up()) << m_host.log(); }

  tktest::TempDir m_dir;
  hosttest::Host m_host{m_dir, m_dir.file("host.sock"), {"--seed-demo"},
                        {{"TK_LOCK_DIR", m_dir.file("locks")}, {"TK_LOG_DIR", m_dir.file("log")}}};
};

TEST_F(HostLibraryChanges, AConsoleChangesTheTapeLibraryAndTheNextListingShowsIt) {
  const int a = m_host.connect();
  ASSERT_GE(a, 0);
  // The console takes the configuration lock, which opens its session.
  ASSERT_TRUE(hosttest::takeLock(a));

  const auto listing = hosttest::sendAndRead(a, hosttest::streamFrame("onMsgGetMMLibraries", 4));
  ASSERT_EQ(listing.size(), 1u);
  const tkwire::Item* handle = listing[0].find(11003);
  ASSERT_NE(handle, nullptr);

  std::string stream;
  tkwire::appendU32(stream, 4001, 3);
  tkwire::appendU64(stream, 11003, handle->u64());
  tkwire::appendU32(stream, 11164, 1);
  tkwire::appendU32(stream, 11009, 8);
  tkwire::appendU32(stream, 2052, 0);
  tkwire::appendU32(stream, 4001, 7);
  tkwire::appendU32(stream, 2052, 0);
  tkwire::StreamRequest change;
  change.handler = "onMsgSetMMLibrary";
  change.sequence = 2;
  change.firstField = tkwire::firstFieldOf(0, 7);
  change.stream = stream;
  const auto replies = hosttest::sendAndRead(a, tkwire::encodeStreamRequest(change));
  EXPECT_EQ(libtest::messagesOf(replies, 2),
            (std::vector<libtest::Message>{libtest::operationResponse(3, 1, "Success"),
                                           libtest::statusReply(0, "Received invalid operation type")}));

  const auto after = hosttest::sendAndRead(a, hosttest::streamFrame("onMsgGetMMLibraries", 5));
  ASSERT_EQ(after.size(), 1u);
  const tkwire::Item* doorLock = after[0].find(11164);
  ASSERT_NE(doorLock, nullptr);
  EXPECT_EQ(doorLock->u32(), 1u);
  ::close(a);
}

TEST_F(HostLibraryChanges, TheConsoleWordsSendTheLibraryChangesControllersAndDrops) {
  const std::string script = m_dir.file("session.tk");
  std::ofstream(script) << "lock\nadd-ip-controller ma2 ls1 DEMO TAPE-9 LSLIB1 1 4 11103=2\n"
                           "change-library 3 4294967280 11164=1\nlibrary-server ls1\ndrag 4294967280 7 1\nunlock\n";
  hosttest::Child console;
  ASSERT_TRUE(console.start(hosttest::consoleBinary(), {"--socket", m_host.socket(), "--script", script}, {},
                            m_dir.file("console.out"), m_dir.file("console.err")));
  EXPECT_EQ(console.exitCode(), 3) << hosttest::readFile(m_dir.file("console.err"));
  const std::string output = hosttest::readFile(m_dir.file("console.out"));
  for (const char* expected :
       {"> add-ip-controller ma2 ls1 DEMO TAPE-9 LSLIB1 1 4 11103=2\nreply 1024 seq 2\n"
        "  tag 4001 (operation) len 4: 55\n  tag 2051 (status) len 11: 1 (success) \"Success\"\n",
        "> change-library 3 4294967280 11164=1\nreply 1024 seq 3\n  tag 4001 (operation) len 4: 3\n",
        "> library-server ls1\nreply 1024 seq 4\n  tag 4001 (operation) len 4: 58\n"
        "  tag 2051 (status) len 45: 0 (failure) \"The library server [ls1] does not answer.\"\n",
        "> drag 4294967280 7 1\nreply 1024 seq 5\n  tag 4001 (operation) len 4: 52\n"})
    EXPECT_NE(output.find(expected), std::string::npos) << expected << "\nin\n" << output;

  // A wrong word sends nothing.
  for (const std::vector<std::string>& words :
       {std::vector<std::string>{"change-library", "3"}, std::vector<std::string>{"drag"},
        std::vector<std::string>{"drag", "1", "2", "x"}, std::vector<std::string>{"probe-ndmp", "filer1"},
        std::vector<std::string>{"add-ndmp-controller", "ma1", "filer1", "mc0", "V", "P", "I", "1"},
        std::vector<std::string>{"library-server"}}) {
    hosttest::Child wrong;
    std::vector<std::string> args{"--socket", m_host.socket()};
    args.insert(args.end(), words.begin(), words.end());
    ASSERT_TRUE(wrong.start(hosttest::consoleBinary(), args, {}, m_dir.file("wrong.out"), m_dir.file("wrong.err")));
    EXPECT_EQ(wrong.exitCode(), 64) << words[0] << " " << words.size();
    EXPECT_EQ(hosttest::readFile(m_dir.file("wrong.out")), "");
  }
}

}  // namespace
