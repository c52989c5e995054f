// Detection end to end: the real tkhost on a database seeded with the
// demonstration installation, reached over its socket. The lock holder
// runs a detection by agent list, reads its progress before the answer
// (nothing is found on the stand-in's network), and then the empty
// detected listings.
#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>

#include "tests/mmconfig_control/ControlFixture.h"
#include "tests/support/HostHarness.h"

namespace {

using ctltest::Message;

class HostDetection : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_host.up()) << m_host.log(); }

  tktest::TempDir m_dir;
  hosttest::Host m_host{m_dir, m_dir.file("host.sock"), {"--seed-demo"},
                        {{"TK_LOCK_DIR", m_dir.file("locks")}, {"TK_LOG_DIR", m_dir.file("log")}}};
};

TEST_F(HostDetection, TheLockHolderDetectsNothingReadsTheProgressAndEmptyListings) {
  const int a = m_host.connect();
  ASSERT_GE(a, 0);
  ASSERT_TRUE(hosttest::takeLock(a));

  std::string stream;
  tkwire::appendElement(stream, 2048, tktest::le32(2) + "ma1");
  tkwire::appendU32(stream, 2052, 0);
  tkwire::StreamRequest detect;
  detect.handler = "onMsgMMAutoDetect";
  detect.sequence = 3;
  detect.firstField = tkwire::firstFieldOf(0, 3);
  detect.stream = stream;
  const auto replies = hosttest::sendAndRead(a, tkwire::encodeStreamRequest(detect));
  EXPECT_EQ(ctltest::messagesOf(replies, 3),
            (std::vector<Message>{ctltest::progress(47, 100),
                                  ctltest::operationResponse(47, 0, ctltest::text(0x24000177))}));

  for (const char* handler : {"onMsgGetMMDetectedLibraries", "onMsgGetMMDetectedDrives"}) {
    SCOPED_TRACE(handler);
    const auto listing = hosttest::sendAndRead(a, hosttest::streamFrame(handler, 4));
    ASSERT_EQ(listing.size(), 1u);
    EXPECT_TRUE(listing[0].items.empty());
  }
  ::close(a);
}

TEST_F(HostDetection, TheConsoleDetectsByItsWordShowsTheProgressAndReportsTheFailure) {
  const std::string script = m_dir.file("session.tk");
  std::ofstream(script) << "lock\ndetected-libraries\ndetect ma1 \"ma 2\"\nunlock\n";
  hosttest::Child console;
  ASSERT_TRUE(console.start(hosttest::consoleBinary(), {"--socket", m_host.socket(), "--script", script}, {},
                            m_dir.file("console.out"), m_dir.file("console.err")));
  // Nothing is found: the detection's answer is a failure.
  EXPECT_EQ(console.exitCode(), 3) << hosttest::readFile(m_dir.file("console.err"));
  const std::string output = hosttest::readFile(m_dir.file("console.out"));
  EXPECT_NE(output.find("> detected-libraries\nreply 11097 seq 2\n"), std::string::npos) << output;
  // The progress comes before the answer.
  const std::size_t detect = output.find("> detect ma1 \"ma 2\"\nreply 1017 seq 3\n");
  EXPECT_NE(detect, std::string::npos) << output;
  EXPECT_NE(output.find("reply 1024 seq 3\n", detect), std::string::npos) << output;

  // A wrong detection word sends nothing.
  for (const std::vector<std::string>& words :
       {std::vector<std::string>{"detect"}, std::vector<std::string>{"detected-drives", "ma1"}}) {
    hosttest::Child wrong;
    std::vector<std::string> args{"--socket", m_host.socket()};
    args.insert(args.end(), words.begin(), words.end());
    ASSERT_TRUE(wrong.start(hosttest::consoleBinary(), args, {}, m_dir.file("wrong.out"), m_dir.file("wrong.err")));
    EXPECT_EQ(wrong.exitCode(), 64) << words.size();
    EXPECT_EQ(hosttest::readFile(m_dir.file("wrong.out")), "");
  }
}

}  // namespace
