// The console's value forms of the SAN-volume elements: id+text and
// hdr12+text, sent by the real tkconsole to a listener played by the test.
#include <gtest/gtest.h>

#include "tests/support/HostHarness.h"

namespace {

using tktest::le32;

std::string element(uint32_t type, const std::string& value) {
  return le32(type) + le32(static_cast<uint32_t>(value.size())) + value;
}

class ConsoleForms : public ::testing::Test {
 protected:
  void TearDown() override {
    if (m_conn >= 0) ::close(m_conn);
    if (m_listen >= 0) ::close(m_listen);
  }
  // Runs the console with the words and returns the element stream it sent.
  std::optional<std::string> sentStream(const std::vector<std::string>& words) {
    std::vector<std::string> args = {"--socket", m_socket, "--wait", "50", "--timeout", "100"};
    args.insert(args.end(), words.begin(), words.end());
    hosttest::Child console;
    if (!console.start(hosttest::consoleBinary(), args, {}, m_dir.file("out"), m_dir.file("err")))
      return std::nullopt;
    m_conn = hosttest::acceptWithin(m_listen, hosttest::kStartMs);
    std::string body;
    if (m_conn < 0 || tkwire::readFrame(m_conn, hosttest::kStartMs, body) != tkwire::ReadStatus::Ok)
      return std::nullopt;
    std::optional<tkwire::DecodedRequest> request = tkwire::decodeRequest(body);
    ::close(m_conn);
    m_conn = -1;
    console.exitCode();
    if (!request) return std::nullopt;
    return request->stream.stream;
  }
  int refusedWith(const std::vector<std::string>& words, std::string& error) {
    std::vector<std::string> args = {"--socket", m_socket};
    args.insert(args.end(), words.begin(), words.end());
    hosttest::Child console;
    if (!console.start(hosttest::consoleBinary(), args, {}, m_dir.file("out"), m_dir.file("err"))) return -1;
    const int code = console.exitCode();
    error = hosttest::readFile(m_dir.file("err"));
    return code;
  }

  tktest::TempDir m_dir;
  std::string m_socket = m_dir.file("fake.sock");
  int m_listen = hosttest::listenAt(m_socket);
  int m_conn = -1;
};

TEST_F(ConsoleForms, IdTextAndHdr12TextValuesGoOutAsHeaderWordsAndTheTextWithoutItsZero) {
  ASSERT_GE(m_listen, 0);
  const std::optional<std::string> stream =
      sentStream({"onMsgSetSANVolume", "11642=idtext:42:Gold policy", "11625=idtext:-1:",
                  "11633=hdr12:7,0x10,1:/dev/sdb", "11653=hdr12:3,-1,0:C:\\mnt:a", "11640=\"idtext:1:x\""});
  ASSERT_TRUE(stream.has_value());
  EXPECT_EQ(*stream, element(11642, le32(42) + "Gold policy") + element(11625, le32(0xFFFFFFFFu)) +
                         element(11633, le32(7) + le32(16) + le32(1) + "/dev/sdb") +
                         element(11653, le32(3) + le32(0xFFFFFFFFu) + le32(0) + "C:\\mnt:a") +
                         element(11640, "idtext:1:x"));
}

TEST_F(ConsoleForms, MalformedCompoundValuesAreRefusedBeforeAnythingIsSent) {
  ASSERT_GE(m_listen, 0);
  const struct {
    std::string word;
    std::string message;
  } cases[] = {
      {"1=idtext:42", "idtext needs a colon before its text"},
      {"1=idtext:x:a", "not a 32-bit number in idtext: x"},
      {"1=idtext:1,2:a", "idtext takes 1 number before its text"},
      {"1=hdr12:1,2:a", "hdr12 takes 3 numbers separated by commas"},
      {"1=hdr12:1,2,4294967296:a", "not a 32-bit number in hdr12: 4294967296"},
      {"1=hdr12:1,,3:a", "not a 32-bit number in hdr12: "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.word);
    std::string error;
    EXPECT_EQ(refusedWith({"H", c.word}, error), 64);
    EXPECT_NE(error.find(c.message), std::string::npos) << error;
  }
  EXPECT_LT(hosttest::acceptWithin(m_listen, 0), 0) << "nobody connected";
}

}  // namespace
