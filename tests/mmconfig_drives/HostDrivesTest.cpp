// The drive families end to end: the real tkhost on a database seeded with
// the demonstration installation, reached over its socket by the wire
// codec. The console that takes the lock lists the libraries, opens the
// tape library's children, and sets and reads the serial-number check.
#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/FrameSession.h"
#include "tests/support/HostHarness.h"

namespace {

std::string frame(const std::string& handler, int64_t sequence, uint64_t firstField = 0, std::string stream = "") {
  tkwire::StreamRequest r;
  r.handler = handler;
  r.sequence = sequence;
  r.firstField = firstField;
  r.stream = std::move(stream);
  return tkwire::encodeStreamRequest(r);
}

class HostDrives : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_host.up()) << m_host.log(); }

  tktest::TempDir m_dir;
  hosttest::Host m_host{m_dir, m_dir.file("host.sock"), {"--seed-demo"},
                        {{"TK_LOCK_DIR", m_dir.file("locks")}, {"TK_LOG_DIR", m_dir.file("log")}}};
};

TEST_F(HostDrives, TheLockHolderOpensTheTapeLibraryAndSetsTheSerialNumberCheck) {
  const int a = m_host.connect();
  ASSERT_GE(a, 0);
  const auto locked =
      tktest::onlyStatus(hosttest::sendAndRead(a, frame("LockMMConfiguration", 1, tkwire::firstFieldOf(2, 1))));
  ASSERT_TRUE(locked.has_value());
  EXPECT_EQ(locked->status, 1u) << locked->text;

  // The tape library's handle is the first one the listing gives.
  auto replies = hosttest::sendAndRead(a, frame("onMsgGetMMLibraries", 2));
  ASSERT_EQ(replies.size(), 1u);
  const tkwire::Item* first = replies[0].find(11003);
  ASSERT_NE(first, nullptr);
  ASSERT_EQ(first->bytes.size(), 8u);
  uint64_t library = 0;
  for (int i = 7; i >= 0; --i) library = (library << 8) | static_cast<unsigned char>(first->bytes[static_cast<size_t>(i)]);

  // Its children: the controller node, then its master pool, then no empty bay.
  replies = hosttest::sendAndRead(a, frame("onMsgGetMMLibraryChildren", 3, library));
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].messageId, 11047u);
  EXPECT_EQ(replies[0].sequence, 3);
  const std::vector<uint32_t> expectedTags = {11171, 11003, 11031, 11150, 11162, 11116, 2052,
                                              11003, 8235,  11031, 8236,  11149, 11150, 11162, 11116, 2052};
  EXPECT_EQ(tktest::tagsOf(replies[0]), expectedTags);
  const tkwire::Item* master = replies[0].find(8235);
  ASSERT_NE(master, nullptr);
  EXPECT_EQ(master->bytes.substr(4), "MasterPool(TapeLib1)");

  // The serial-number check: set off by one request, read by the next.
  std::string stream;
  tkwire::appendU32(stream, 4001, 3);
  tkwire::appendU32(stream, 11077, 0);
  tkwire::appendU32(stream, 2052, 0);
  replies = hosttest::sendAndRead(a, frame("onMsgSetMMMediaConfigParam", 4, tkwire::firstFieldOf(0, 3), stream));
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].messageId, 1024u);
  EXPECT_EQ(tktest::tagsOf(replies[0]), (std::vector<uint32_t>{4001, 2051}));
  EXPECT_EQ(replies[0].items[1].bytes, tktest::wordAndText(1, "Success"));
  replies = hosttest::sendAndRead(a, frame("onMsgGetMMMediaConfigParam", 5));
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].messageId, 11081u);
  ASSERT_EQ(tktest::tagsOf(replies[0]), (std::vector<uint32_t>{11077, 2052}));
  EXPECT_EQ(replies[0].items[0].bytes, tktest::le32(0));
  ::close(a);
}

}  // namespace

namespace {

TEST_F(HostDrives, TheConsoleWordsSendTheRequestsTheyStandFor) {
  const std::string script = m_dir.file("session.tk");
  std::ofstream(script) << "lock\nmedia-types 1\nserial-check off\nserial-check\nchildren 4294967280 drives\n"
                           "drive-paths 4294967280 short\nunlock\n";
  hosttest::Child console;
  ASSERT_TRUE(console.start(hosttest::consoleBinary(), {"--socket", m_host.socket(), "--script", script}, {},
                            m_dir.file("console.out"), m_dir.file("console.err")));
  EXPECT_EQ(console.exitCode(), 0) << hosttest::readFile(m_dir.file("console.err"));
  const std::string output = hosttest::readFile(m_dir.file("console.out"));
  for (const std::string& expected :
       {std::string("> media-types 1\nreply 11076 seq 2\n  tag 2225 (media type) len 18: 0 \"Data cartridge\"\n"),
        std::string("> serial-check off\nreply 1024 seq 3\n  tag 4001 (operation) len 4: 3\n"
                    "  tag 2051 (status) len 11: 1 (success) \"Success\"\n"),
        std::string("> serial-check\nreply 11081 seq 4\n  tag 11077 (check serial number) len 4: 0\n"),
        std::string("> children 4294967280 drives\nreply 11047 seq 5\n> drive-paths 4294967280 short\n"
                    "reply 11022 seq 6\n> unlock\n")}) {
    EXPECT_NE(output.find(expected), std::string::npos) << expected << "\nin\n" << output;
  }

  // A wrong drive word sends nothing.
  for (const std::vector<std::string>& words :
       {std::vector<std::string>{"children"}, std::vector<std::string>{"children", "12", "pools"},
        std::vector<std::string>{"drive", "twelve"}, std::vector<std::string>{"media-types"},
        std::vector<std::string>{"serial-check", "maybe"}, std::vector<std::string>{"drive-vendors", "1"}}) {
    hosttest::Child wrong;
    std::vector<std::string> args{"--socket", m_host.socket()};
    args.insert(args.end(), words.begin(), words.end());
    ASSERT_TRUE(wrong.start(hosttest::consoleBinary(), args, {}, m_dir.file("wrong.out"), m_dir.file("wrong.err")));
    EXPECT_EQ(wrong.exitCode(), 64) << words[0];
    EXPECT_EQ(hosttest::readFile(m_dir.file("wrong.out")), "");
  }
}

}  // namespace
