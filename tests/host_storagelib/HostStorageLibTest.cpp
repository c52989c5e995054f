// The storage-library request end to end: the real tkhost with the handler
// library, reached over the real socket through the XML dispatcher, and the
// tkconsole word that builds the request.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "platform/xml/StorageLibraryMessages.h"
#include "tests/support/FrameSession.h"
#include "tests/support/HostHarness.h"

namespace {

using hosttest::Child;
using tktest::catalogueText;
using Info = EVGui::StorageLibraryInfo;
using Resp = EVGui::ConfigureStorageLibraryResp;

constexpr unsigned long kMessageId = 0x0D130098;

std::string frame(const std::string& xml, int64_t sequence) {
  tkwire::XmlRequest r;
  r.handler = "HandleMMConfigMgrXmlMsg";
  r.sequence = sequence;
  r.messageId = kMessageId;
  r.xml = xml;
  return tkwire::encodeXmlRequest(r);
}

class HostStorageLibrary : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_host.up()) << m_host.log(); }

  tktest::TempDir m_dir;
  hosttest::Host m_host{m_dir, m_dir.file("host.sock"), {},
                        {{"TK_LOCK_DIR", m_dir.file("locks")}, {"TK_LOG_DIR", m_dir.file("log")}}};
};

TEST_F(HostStorageLibrary, ARequestThroughTheHostIsAnsweredByTheStorageLibraryHandler) {
  const int fd = m_host.connect();
  ASSERT_GE(fd, 0);
  // A code without an operation, for media agent 2: the success response.
  const std::string xml =
      "<EVGui_ConfigureStorageLibraryReq><EVGui_StorageLibraryInfo tag=\"2\" i1=\"12\" i7=\"2\" s24=\"/mnt/x\" "
      "i43=\"3\"/></EVGui_ConfigureStorageLibraryReq>";
  const std::vector<tkwire::Reply> replies = hosttest::sendAndRead(fd, frame(xml, 21));
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].messageId, kMessageId);
  EXPECT_EQ(replies[0].sequence, 21);
  const std::optional<tkwire::XmlAnswer> answer = tkwire::decodeXmlAnswer(replies[0]);
  ASSERT_TRUE(answer.has_value());
  EXPECT_EQ(answer->result, 0);
  Resp response;
  ASSERT_EQ(response.unserialize(answer->text), 0) << answer->text;
  const CNMessageBase& info = response.getObjectAccessor(true, false, Resp::kLibrary.ordinal, Resp::kLibrary.tag,
                                                         Resp::kClassHash, Resp::kLibrary.hash, Resp::kLibrary.ns,
                                                         Resp::kLibrary.cls);
  EXPECT_EQ(info.getint64(Info::kLibraryId.tag, Info::kClassHash, Info::kLibraryId.hash), 12);
  EXPECT_EQ(info.getint64(Info::kMediaAgentId.tag, Info::kClassHash, Info::kMediaAgentId.hash), 2);
  EXPECT_EQ(info.getstring(Info::kMountPathName.ordinal, Info::kMountPathName.tag, Info::kClassHash,
                           Info::kMountPathName.hash),
            "/mnt/x");
  ::close(fd);
}

TEST_F(HostStorageLibrary, TheConsoleWordBuildsTheRequestFromTags) {
  const std::string script = m_dir.file("session.tk");
  // The second deletion names its library by id (a deletion naming none is
  // refused) and, without the delete-enable field, deletes nothing.
  std::ofstream(script) << "storage-library 43=2 8=\"no such lib\"\n"
                        << "storage-library 43=2 1=2 7=2 24=\"/mnt/o'brien\" second.24=/seen\n";
  Child console;
  ASSERT_TRUE(console.start(hosttest::consoleBinary(), {"--socket", m_host.socket(), "--script", script}, {},
                            m_dir.file("console.out"), m_dir.file("console.err")));
  // The first request is refused, so the console reports a failure.
  EXPECT_EQ(console.exitCode(), 3) << hosttest::readFile(m_dir.file("console.err"));
  const std::string output = hosttest::readFile(m_dir.file("console.out"));
  const std::string refused =
      "<EVGui_GenericResp i1=\"-1\" s2=\"" + catalogueText(0x230008B1) + "\"/>";
  for (const std::string& expected :
       {std::string("> storage-library 43=2 8=\"no such lib\"\nreply 0x0D130098") +
            " seq 1\n  result 0\n  xml len " + std::to_string(refused.size()) + ": " + refused + "\n",
        std::string("i1=\"2\""), std::string("i7=\"2\""), std::string("s24=\"/mnt/o'brien\"")}) {
    EXPECT_NE(output.find(expected), std::string::npos) << expected << "\nin\n" << output;
  }

  // A wrong field sends nothing.
  Child wrong;
  ASSERT_TRUE(wrong.start(hosttest::consoleBinary(), {"--socket", m_host.socket(), "storage-library", "97=1"}, {},
                          m_dir.file("wrong.out"), m_dir.file("wrong.err")));
  EXPECT_EQ(wrong.exitCode(), 64);
  EXPECT_NE(hosttest::readFile(m_dir.file("wrong.err")).find("tag 97 holds a message"), std::string::npos);

  // So does an operation code the request does not have: answered, it would
  // be a success that did nothing.
  Child unknown;
  ASSERT_TRUE(unknown.start(hosttest::consoleBinary(), {"--socket", m_host.socket(), "storage-library", "43=3", "7=2"},
                            {}, m_dir.file("unknown.out"), m_dir.file("unknown.err")));
  EXPECT_EQ(unknown.exitCode(), 64);
  EXPECT_EQ(hosttest::readFile(m_dir.file("unknown.out")), "");
  EXPECT_NE(hosttest::readFile(m_dir.file("unknown.err")).find("storage-library has no operation 3"),
            std::string::npos);
}

}  // namespace
