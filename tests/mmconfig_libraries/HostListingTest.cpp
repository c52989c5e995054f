// The library listing end to end: the real tkhost with the handler library,
// reached over its socket by the wire codec and by the tkconsole binary.
// The host's database is fresh and empty, so the configuration the lock
// loads holds no library: the list is its configuration-wide items.
#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/FrameSession.h"
#include "tests/support/HostHarness.h"

namespace {

using hosttest::Child;

const std::vector<uint32_t> kHeaderTags = {11190, 11191, 11212, 11419, 11215, 11221};

std::string frame(const std::string& handler, int64_t sequence, uint64_t firstField = 0) {
  tkwire::StreamRequest r;
  r.handler = handler;
  r.sequence = sequence;
  r.firstField = firstField;
  return tkwire::encodeStreamRequest(r);
}

class HostListing : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_host.up()) << m_host.log(); }

  tktest::TempDir m_dir;
  hosttest::Host m_host{m_dir, m_dir.file("host.sock"), {},
                        {{"TK_LOCK_DIR", m_dir.file("locks")}, {"TK_LOG_DIR", m_dir.file("log")}}};
};

TEST_F(HostListing, TheLockHolderListsTheLibrariesAndAnotherConsoleIsForceClosed) {
  const int a = m_host.connect();
  const int b = m_host.connect();
  ASSERT_GE(a, 0);
  ASSERT_GE(b, 0);
  // A takes the lock (the element-stream form keeps it whatever the read gave).
  const auto locked = tktest::onlyStatus(hosttest::sendAndRead(a, frame("LockMMConfiguration", 1, tkwire::firstFieldOf(2, 1))));
  ASSERT_TRUE(locked.has_value());
  EXPECT_NE(locked->status, 3u);

  auto replies = hosttest::sendAndRead(a, frame("onMsgGetMMLibraries", 2));
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].messageId, 11002u);
  EXPECT_EQ(replies[0].sequence, 2);
  EXPECT_EQ(tktest::tagsOf(replies[0]), kHeaderTags);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(replies[0].items[static_cast<std::size_t>(i)].bytes, tktest::le32(0)) << i;

  // A handle of nothing: an empty block.
  replies = hosttest::sendAndRead(a, frame("onMsgGetMMLibraryProperties", 3, 0xFFFFFFF0ull));
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].messageId, 11002u);
  EXPECT_TRUE(replies[0].items.empty());

  // B is not the session holder: the force-close notice, then an empty block.
  replies = hosttest::sendAndRead(b, frame("onMsgGetMMLibraries", 4));
  ASSERT_EQ(replies.size(), 2u);
  EXPECT_EQ(replies[0].messageId, 11055u);
  EXPECT_EQ(tktest::tagsOf(replies[0]), std::vector<uint32_t>{11102});
  EXPECT_EQ(replies[1].messageId, 11002u);
  EXPECT_EQ(replies[1].sequence, 4);
  EXPECT_TRUE(replies[1].items.empty());
  ::close(a);
  ::close(b);
}

TEST_F(HostListing, TheConsoleListsTheLibrariesByName) {
  const std::string script = m_dir.file("session.tk");
  std::ofstream(script) << "lock\nlibraries\nlibrary 4294967280\nunlock\n";
  Child console;
  ASSERT_TRUE(console.start(hosttest::consoleBinary(), {"--socket", m_host.socket(), "--script", script}, {},
                            m_dir.file("console.out"), m_dir.file("console.err")));
  // The handle names nothing: the empty record is an answer that did nothing.
  EXPECT_EQ(console.exitCode(), 3) << hosttest::readFile(m_dir.file("console.err"));
  const std::string output = hosttest::readFile(m_dir.file("console.out"));
  for (const std::string& expected :
       {std::string("> libraries\nreply 11002 seq 2\n  tag 11190 (archive-cluster agents) len 4: 0\n"
                    "  tag 11191 (archive clusters ready) len 4: 0\n"),
        std::string("> library 4294967280\nreply 11002 seq 3\n  (empty answer: handles last one connection; take "
                    "the handle from `libraries` after `lock` in the same --script or --script - session)\n"
                    "> unlock\n")}) {
    EXPECT_NE(output.find(expected), std::string::npos) << expected << "\nin\n" << output;
  }

  // A wrong library word sends nothing.
  for (const std::vector<std::string>& words : {std::vector<std::string>{"library"},
                                                std::vector<std::string>{"library", "twelve"},
                                                std::vector<std::string>{"libraries", "all"}}) {
    Child wrong;
    std::vector<std::string> args{"--socket", m_host.socket()};
    args.insert(args.end(), words.begin(), words.end());
    ASSERT_TRUE(wrong.start(hosttest::consoleBinary(), args, {}, m_dir.file("wrong.out"), m_dir.file("wrong.err")));
    EXPECT_EQ(wrong.exitCode(), 64) << words.size();
    EXPECT_EQ(hosttest::readFile(m_dir.file("wrong.out")), "");
  }
}

}  // namespace
