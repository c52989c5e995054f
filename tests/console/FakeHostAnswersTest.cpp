// How the console reads answers no real host gives on demand, played by the
// test as the host: an answer that ends cut short is an error, never shown
// as if whole; a failure that names a limit ends the console non-zero; and
// after a lock that failed, a script goes on, each later line found without
// a session naming the failed lock as the reason.
#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/FrameWire.h"
#include "tests/support/HostHarness.h"

namespace {

using tktest::le32;
using tktest::le64;
using tktest::wordAndText;

constexpr uint32_t kStatus = 2051;
constexpr uint32_t kEndOfRecord = 2052;

std::string itemsReply(uint32_t id, int64_t seq, std::vector<tkwire::Item> items) {
  tkwire::Reply r;
  r.kind = tkwire::kReplyItems;
  r.messageId = id;
  r.sequence = seq;
  r.items = std::move(items);
  return tkwire::encodeReply(r);
}

// One SAN volume record: its id, its device name, the end of record.
std::vector<tkwire::Item> volumeRecord(uint32_t id) {
  return {{11603, le32(id)}, {11605, "dev" + std::to_string(id)}, {kEndOfRecord, le32(0)}};
}

class FakeHost : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_GE(m_listen, 0); }
  void TearDown() override {
    if (m_conn >= 0) ::close(m_conn);
    if (m_listen >= 0) ::close(m_listen);
  }

  void startConsole(std::vector<std::string> args) {
    std::vector<std::string> all = {"--socket", m_socket, "--wait", "2000", "--timeout", "2000"};
    all.insert(all.end(), args.begin(), args.end());
    ASSERT_TRUE(m_console.start(hosttest::consoleBinary(), all, {}, m_dir.file("out"), m_dir.file("err")));
  }
  // Accepts the console's connection and reads one request frame.
  std::optional<tkwire::DecodedRequest> nextRequest() {
    if (m_conn < 0) m_conn = hosttest::acceptWithin(m_listen, hosttest::kStartMs);
    std::string body;
    if (m_conn < 0 || tkwire::readFrame(m_conn, hosttest::kStartMs, body) != tkwire::ReadStatus::Ok)
      return std::nullopt;
    return tkwire::decodeRequest(body);
  }
  // Answers the next request with `frames` and the end frame of `result`;
  // a frame that is XML text is the answer to an XML request.
  void answer(const std::vector<std::string>& frames, int64_t result) {
    const std::optional<tkwire::DecodedRequest> request = nextRequest();
    ASSERT_TRUE(request.has_value()) << out();
    const int64_t seq = request->kind == tkwire::kRequestXml ? request->xml.sequence : request->stream.sequence;
    for (const std::string& frame : frames) {
      if (frame.rfind("<", 0) == 0) {
        ASSERT_TRUE(tkwire::writeAll(m_conn, tkwire::encodeXmlAnswer(request->xml.messageId, seq, 0, frame)));
        continue;
      }
      // Each frame is made for sequence 0; the console's sequence goes in.
      std::optional<tkwire::Reply> reply = tkwire::decodeReply(frame.substr(4));
      ASSERT_TRUE(reply.has_value());
      reply->sequence = seq;
      ASSERT_TRUE(tkwire::writeAll(m_conn, tkwire::encodeReply(*reply)));
    }
    ASSERT_TRUE(tkwire::writeAll(m_conn, tkwire::encodeRequestEnd(seq, result)));
  }
  std::string out() { return hosttest::readFile(m_dir.file("out")); }

  tktest::TempDir m_dir;
  std::string m_socket = m_dir.file("fake.sock");
  int m_listen = hosttest::listenAt(m_socket);
  int m_conn = -1;
  hosttest::Child m_console;
};

TEST_F(FakeHost, AnAnswerCutShortOrAFailureNamingALimitEndsTheConsoleNonZero) {
  std::vector<tkwire::Item> whole;
  for (uint32_t id = 1; id <= 2; ++id)
    for (const tkwire::Item& item : volumeRecord(id)) whole.push_back(item);
  std::vector<tkwire::Item> cut = whole;
  cut.push_back({11603, le32(3)});
  struct Case {
    const char* what;
    std::vector<std::string> frames;
    int64_t result;
    int status;
    std::string said;
  } cases[] = {
      {"whole records", {itemsReply(11604, 0, whole)}, 1, 0, ""},
      {"whole records and a status", {itemsReply(11604, 0, whole), itemsReply(11604, 0, {{kStatus, wordAndText(1, "Success")}})}, 1, 0, ""},
      {"a record begun and not ended, no status behind it", {itemsReply(11604, 0, cut)}, 1, 3,
       "  tag 11603 len 4: 3\n  (error: this answer of "},
      {"a frame cut short in the first of several frames", {itemsReply(11604, 0, cut), itemsReply(11604, 0, whole)}, 1, 3,
       "ends cut short: its last record is not whole and no status says why; what it shows is not the whole "
       "answer)\n"},
      {"a failure that names the limit",
       {itemsReply(11604, 0, {{kStatus, wordAndText(0, "The answer does not fit in 16777216 bytes")}})}, 0, 3,
       ": 0 (failure) \"The answer does not fit in 16777216 bytes\"\n"},
      {"a host that ends the request with a failure", {itemsReply(11604, 0, whole)}, -1, 3, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    startConsole({"san-volumes", "101"});
    answer(c.frames, c.result);
    EXPECT_EQ(m_console.exitCode(), c.status) << out();
    EXPECT_NE(out().find(c.said), std::string::npos) << out();
    EXPECT_EQ(out().find("(error: ") != std::string::npos, c.said.find("cut short") != std::string::npos ||
                                                              c.said.find("(error: ") != std::string::npos)
        << out();
    ::close(m_conn);
    m_conn = -1;
  }
}

TEST_F(FakeHost, AfterAFailedLockAScriptGoesOnAndEachLineFoundWithoutASessionNamesTheFailedLock) {
  const std::string script = m_dir.file("after.tk");
  std::ofstream(script) << "lock\nlibraries\nstorage-library 43=4 8=DiskLib1 3=ma1 24=/srv/x\nlock\nlibraries\n";
  startConsole({"--script", script});
  const std::string unread = "The media-management configuration could not be read: step (database is locked)";
  const std::string close = itemsReply(1024, 0, {{4001, le32(1)}, {kStatus, wordAndText(1, "Close")}});
  // The lock fails; the listing finds no session; a request that needs none
  // is served; a later lock is taken, and the listing after it is answered.
  answer({itemsReply(1024, 0, {{kStatus, wordAndText(0, unread)}})}, 0);
  answer({close}, 0);
  answer({"<ZQGui_GenericResp i1=\"0\"/>"}, 0);
  answer({itemsReply(1024, 0, {{kStatus, wordAndText(1, "The media management configuration is loaded and locked "
                                                        "for you.")}})},
         1);
  answer({itemsReply(11002, 0, volumeRecord(1))}, 0);
  EXPECT_EQ(m_console.exitCode(), 3) << out();
  const std::string shown = out();
  EXPECT_NE(shown.find("> lock\nreply 1024 seq 1\n  tag 2051 (status) len " + std::to_string(4 + unread.size()) + ": 0 (failure) \"" + unread +
                       "\"\n  (the lock failed: this connection holds no configuration session, and what follows on "
                       "it that needs one is not done until a `lock` succeeds)\n> libraries\n"),
            std::string::npos)
      << shown;
  EXPECT_NE(shown.find("\"Close\"\n  (nothing was done: the `lock` before it failed (" + unread +
                       "), so this connection holds no configuration session; take the lock again (`lock`), then "
                       "`libraries` in the same --script or --script - session)\n> storage-library"),
            std::string::npos)
      << shown;
  // The lock taken later ends it: the listing after it is a listing.
  const size_t later = shown.rfind("> libraries\n");
  ASSERT_NE(later, std::string::npos);
  EXPECT_EQ(shown.find("(nothing was done", later), std::string::npos) << shown;
  EXPECT_EQ(shown.find("(the lock failed", shown.find("> storage-library")), std::string::npos) << shown;
}

}  // namespace
