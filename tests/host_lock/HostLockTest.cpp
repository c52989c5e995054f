// The configuration lock end to end: the real tkhost with the handler
// library, reached by consoles over the real socket (the wire codec, and
// the tkconsole binary with its lock words).
#include <gtest/gtest.h>

#include <fstream>
#include <latch>
#include <thread>

#include "frame/EvEvent.h"
#include "tests/host/HostHarness.h"
#include "tests/support/TempDir.h"
#include "tests/support/wire/WireCodec.h"

namespace {

using hosttest::Child;

constexpr int kStartMs = 30000;
constexpr int kReplyMs = 10000;
constexpr uint32_t kLockXmlId = 0x0DF9BE39;

std::string catalogueText(unsigned long id, const char* argument) {
  char buffer[1024];
  EvGetLocText(id, buffer, sizeof buffer, 0, argument);
  return buffer;
}

// The host knows no login names: the lock names its holder as "".
std::string heldText() { return catalogueText(0x240002F9, ""); }

// The replies to one request: the first within kReplyMs, then until quiet.
std::vector<tkwire::Reply> answers(int fd, int quietMs = 40) {
  std::vector<tkwire::Reply> out;
  std::string body;
  int wait = kReplyMs;
  while (tkwire::readFrame(fd, wait, body) == tkwire::ReadStatus::Ok) {
    std::optional<tkwire::Reply> reply = tkwire::decodeReply(body);
    EXPECT_TRUE(reply.has_value());
    if (reply) out.push_back(*reply);
    wait = quietMs;
  }
  return out;
}

std::string lockFrame(uint32_t operation, int64_t sequence, uint32_t user = 1) {
  tkwire::StreamRequest r;
  r.handler = "LockMMConfiguration";
  r.userId = user;
  r.sequence = sequence;
  r.firstField = tkwire::firstFieldOf(2, operation);
  return tkwire::encodeStreamRequest(r);
}

std::string xmlLockFrame(uint32_t operation, int64_t sequence, uint32_t user = 1) {
  tkwire::XmlRequest r;
  r.handler = "OnMsgLockUnlockMMConfigurationXML";
  r.userId = user;
  r.sequence = sequence;
  r.messageId = kLockXmlId;
  r.xml = "<EVGui_MMConfigurationLockUnlockReq><EVGui_MMConfigurationLockUnlockInfo tag=\"1\" i2=\"" +
          std::to_string(operation) + "\"/></EVGui_MMConfigurationLockUnlockReq>";
  return tkwire::encodeXmlRequest(r);
}

struct StatusAnswer {
  uint32_t status = 0xFFFFFFFF;
  std::string text;
};

// The one status reply of the element-stream lock.
StatusAnswer statusOf(const std::vector<tkwire::Reply>& replies, int64_t sequence) {
  EXPECT_EQ(replies.size(), 1u);
  if (replies.size() != 1) return {};
  EXPECT_EQ(replies[0].messageId, 1024u);
  EXPECT_EQ(replies[0].sequence, sequence);
  EXPECT_EQ(replies[0].items.size(), 1u);
  if (replies[0].items.size() != 1 || replies[0].items[0].tag != 2051) return {};
  return {replies[0].items[0].statusCode(), replies[0].items[0].statusText()};
}

class HostLock : public ::testing::Test {
 protected:
  void SetUp() override {
    m_socket = m_dir.file("host.sock");
    ASSERT_TRUE(m_host.start(hosttest::hostBinary(), {"--socket", m_socket},
                             {{"TK_DB", m_dir.file("tarnkeep.db")},
                              {"TK_LOCK_DIR", m_dir.file("locks")},
                              {"TK_LOG_DIR", m_dir.file("log")}},
                             m_dir.file("host.out"), m_dir.file("host.err")));
    int probe = hosttest::connectWithin(m_socket, kStartMs);
    ASSERT_GE(probe, 0) << hosttest::readFile(m_dir.file("host.err"));
    ::close(probe);
  }
  void TearDown() override { m_host.kill(); }

  int connect() {
    int fd = hosttest::connectWithin(m_socket, kStartMs);
    EXPECT_GE(fd, 0);
    return fd;
  }

  tktest::TempDir m_dir;
  std::string m_socket;
  Child m_host;
};

TEST_F(HostLock, TwoConsolesLockingAtOnceNeverBothHoldTheLock) {
  for (int round = 0; round < 6; ++round) {
    SCOPED_TRACE(round);
    const int fds[2] = {connect(), connect()};
    ASSERT_GE(fds[0], 0);
    ASSERT_GE(fds[1], 0);
    // Both consoles use the element-stream form, which keeps the lock even
    // when the host cannot read the configuration: the one answered with
    // anything but 3 holds it.
    StatusAnswer got[2];
    std::latch start(2);
    std::vector<std::thread> threads;
    for (int i = 0; i < 2; ++i) {
      threads.emplace_back([&, i] {
        start.arrive_and_wait();
        if (!tkwire::writeAll(fds[i], lockFrame(1, 10 + i))) return;
        got[i] = statusOf(answers(fds[i]), 10 + i);
      });
    }
    for (auto& t : threads) t.join();

    const int refused = (got[0].status == 3) + (got[1].status == 3);
    ASSERT_EQ(refused, 1) << "answers " << got[0].status << " and " << got[1].status;
    const int winner = got[0].status == 3 ? 1 : 0;
    const int loser = 1 - winner;
    EXPECT_EQ(got[loser].text, heldText());
    EXPECT_TRUE(got[winner].status == 0 || got[winner].status == 1) << got[winner].text;

    // The loser's element-stream unlock changes nothing; it is still refused.
    ASSERT_TRUE(tkwire::writeAll(fds[loser], lockFrame(0, 20)));
    StatusAnswer unlock = statusOf(answers(fds[loser]), 20);
    EXPECT_EQ(unlock.status, 1u);
    EXPECT_EQ(unlock.text, "Success");
    ASSERT_TRUE(tkwire::writeAll(fds[loser], lockFrame(1, 21)));
    EXPECT_EQ(statusOf(answers(fds[loser]), 21).status, 3u);

    // The winner releases it; then the loser gets it.
    ASSERT_TRUE(tkwire::writeAll(fds[winner], lockFrame(0, 22)));
    unlock = statusOf(answers(fds[winner]), 22);
    EXPECT_EQ(unlock.status, 1u);
    EXPECT_EQ(unlock.text, "Success");
    ASSERT_TRUE(tkwire::writeAll(fds[loser], lockFrame(1, 23)));
    EXPECT_NE(statusOf(answers(fds[loser]), 23).status, 3u);
    ASSERT_TRUE(tkwire::writeAll(fds[loser], lockFrame(2, 24)));
    EXPECT_EQ(statusOf(answers(fds[loser]), 24).status, 1u);
    ::close(fds[0]);
    ::close(fds[1]);
  }
}

TEST_F(HostLock, BothFormsShareOneLock) {
  const int a = connect();
  const int b = connect();
  ASSERT_GE(a, 0);
  ASSERT_GE(b, 0);
  ASSERT_TRUE(tkwire::writeAll(a, lockFrame(1, 1)));
  EXPECT_NE(statusOf(answers(a), 1).status, 3u);

  // B's XML lock is refused with the holder named.
  ASSERT_TRUE(tkwire::writeAll(b, xmlLockFrame(1, 2)));
  std::vector<tkwire::Reply> replies = answers(b);
  ASSERT_EQ(replies.size(), 1u);
  std::optional<tkwire::XmlAnswer> answer = tkwire::decodeXmlAnswer(replies[0]);
  ASSERT_TRUE(answer.has_value());
  EXPECT_EQ(answer->result, 0);
  EXPECT_EQ(answer->text, "<ZQGui_GenericResp i1=\"-1\" s2=\"" + heldText() + "\"/>");

  // B's XML unlock: first the force-close notice (B is not the holder),
  // then the answer; the lock is released all the same.
  ASSERT_TRUE(tkwire::writeAll(b, xmlLockFrame(0, 3)));
  replies = answers(b);
  ASSERT_EQ(replies.size(), 2u);
  EXPECT_EQ(replies[0].messageId, 11055u);
  EXPECT_EQ(replies[0].sequence, 3);
  ASSERT_EQ(replies[0].items.size(), 1u);
  EXPECT_EQ(replies[0].items[0].tag, 11102u);
  EXPECT_EQ(replies[0].items[0].statusCode(), 4u);
  EXPECT_EQ(replies[0].items[0].statusText(), catalogueText(0x240002FA, ""));
  answer = tkwire::decodeXmlAnswer(replies[1]);
  ASSERT_TRUE(answer.has_value());
  EXPECT_EQ(answer->text, "<ZQGui_GenericResp i1=\"0\"/>");

  // Free again: B's element-stream lock wins, A is refused.
  ASSERT_TRUE(tkwire::writeAll(b, lockFrame(1, 4)));
  EXPECT_NE(statusOf(answers(b), 4).status, 3u);
  ASSERT_TRUE(tkwire::writeAll(a, lockFrame(1, 5)));
  EXPECT_EQ(statusOf(answers(a), 5).status, 3u);

  // A forces it; B's element-stream unlock is no longer B's to make.
  ASSERT_TRUE(tkwire::writeAll(a, lockFrame(3, 6)));
  EXPECT_NE(statusOf(answers(a), 6).status, 3u);
  ASSERT_TRUE(tkwire::writeAll(b, lockFrame(1, 7)));
  EXPECT_EQ(statusOf(answers(b), 7).status, 3u);
  ASSERT_TRUE(tkwire::writeAll(a, lockFrame(2, 8)));
  EXPECT_EQ(statusOf(answers(a), 8).text, "Success");
  ::close(a);
  ::close(b);
}

TEST_F(HostLock, TheConsoleTakesAndReleasesTheLock) {
  const std::string script = m_dir.file("session.tk");
  {
    std::ofstream out(script);
    out << "lock\n"
           "lock xml server-seq=9\n"
           "unlock\n"
           "lock xml\n"
           "unlock-anyway xml\n";
  }
  Child console;
  ASSERT_TRUE(console.start(hosttest::consoleBinary(), {"--socket", m_socket, "--script", script}, {},
                            m_dir.file("console.out"), m_dir.file("console.err")));
  std::optional<int> status = console.wait(kStartMs);
  ASSERT_TRUE(status.has_value());
  ASSERT_TRUE(WIFEXITED(*status));
  EXPECT_EQ(WEXITSTATUS(*status), 0) << hosttest::readFile(m_dir.file("console.err"));
  const std::string output = hosttest::readFile(m_dir.file("console.out"));
  const std::string held = "<ZQGui_GenericResp i1=\"-1\" s2=\"" + heldText() + "\"/>";
  EXPECT_NE(output.find("> lock\nreply 1024 seq 1\n  tag 2051 (status)"), std::string::npos) << output;
  EXPECT_NE(output.find("> lock xml server-seq=9\nreply 234470969 seq 2\n  result 0\n  xml len " +
                        std::to_string(held.size()) + ": " + held + "\n"),
            std::string::npos)
      << output;
  EXPECT_NE(output.find("> unlock\nreply 1024 seq 3\n  tag 2051 (status) len 11: 1 \"Success\"\n"), std::string::npos)
      << output;
  EXPECT_NE(output.find("> unlock-anyway xml\nreply 234470969 seq 5\n  result 0\n  xml len 27: "
                        "<ZQGui_GenericResp i1=\"0\"/>\n"),
            std::string::npos)
      << output;

  // A wrong lock word sends nothing.
  Child wrong;
  ASSERT_TRUE(wrong.start(hosttest::consoleBinary(), {"--socket", m_socket, "force-lock", "xml", "rights=3"}, {},
                          m_dir.file("wrong.out"), m_dir.file("wrong.err")));
  status = wrong.wait(kStartMs);
  ASSERT_TRUE(status.has_value());
  ASSERT_TRUE(WIFEXITED(*status));
  EXPECT_EQ(WEXITSTATUS(*status), 64);
  EXPECT_NE(hosttest::readFile(m_dir.file("wrong.err")).find("rights= is for the element-stream form"),
            std::string::npos);
}

}  // namespace
