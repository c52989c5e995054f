// The device-path request end to end: the real tkhost with the handler
// library, over its socket, through the XML dispatcher, on a seeded
// database: a device path is changed; and the console word on the
// demonstration installation.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "tests/ezconfig_devicepaths_request/DevicePathsFixture.h"
#include "tests/support/HostHarness.h"
#include "tests/support/TempDir.h"

namespace dpreq {
namespace {

TEST(DevicePathsThroughTheHost, ADevicePathIsChangedAndTheReplySaysSo) {
  tktest::TestDatabase db;
  seed(db);
  tktest::TempDir dir;
  hosttest::Host host{dir, dir.file("host.sock"), {},
                      {{"TK_DB", db.path()}, {"TK_LOCK_DIR", dir.file("locks")}, {"TK_LOG_DIR", dir.file("log")}}};
  ASSERT_TRUE(host.up()) << host.log();
  const int fd = host.connect();
  ASSERT_GE(fd, 0);
  tkwire::XmlRequest r;
  r.handler = "HandleMMConfigMgrXmlMsg";
  r.sequence = 31;
  r.messageId = kMessageId;
  r.xml = request(kDiskMountPath, {{.operation = 2, .clientId = 11, .controllerId = 501, .folder = "/direct70", .user = "u11b",
                                          .password = "pw11b"}});
  const std::vector<tkwire::Reply> replies = hosttest::sendAndRead(fd, tkwire::encodeXmlRequest(r));
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].messageId, kMessageId);
  EXPECT_EQ(replies[0].sequence, 31);
  const std::optional<tkwire::XmlAnswer> answer = tkwire::decodeXmlAnswer(replies[0]);
  ASSERT_TRUE(answer.has_value());
  EXPECT_EQ(answer->result, 0);
  const Answer a = decode(answer->text);
  ASSERT_TRUE(a.read) << answer->text;
  EXPECT_EQ(a.code, 0) << a.text;
  const auto rows = db.query("SELECT Folder, UserName, UserPassword FROM MMDeviceController WHERE "
                             "DeviceControllerId = 501");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(tkdb::textOf(rows[0][0]), "/direct70");
  EXPECT_EQ(tkdb::textOf(rows[0][1]), "u11b");
  EXPECT_EQ(decrypted(tkdb::textOf(rows[0][2])), "pw11b");
}


// The console word on the demonstration installation: the first mount path
// gains a device path for the second media agent (stored with its password
// encrypted); a folder inside the agents' registered installation directory
// is refused, and the console reports the refusal.
TEST(DevicePathsThroughTheHost, TheConsoleWordAddsADevicePathForASecondAgent) {
  tktest::TestDatabase db;
  tktest::TempDir dir;
  hosttest::Host host{dir, dir.file("host.sock"), {"--seed-demo"},
                      {{"TK_DB", db.path()}, {"TK_LOCK_DIR", dir.file("locks")}, {"TK_LOG_DIR", dir.file("log")}}};
  ASSERT_TRUE(host.up()) << host.log();
  const std::string script = dir.file("session.tk");
  std::ofstream(script) << "device-paths 1 path agent=2 17=1 1=1 4=/srv/disklib1/mp1 13=4 16=1 8=svc 12='pw s'\n"
                        << "device-paths 1 path agent=2 17=1 1=1 4=/opt/Tarnkeep/mp 13=4\n";
  hosttest::Child console;
  ASSERT_TRUE(console.start(hosttest::consoleBinary(), {"--socket", host.socket(), "--script", script}, {},
                            dir.file("console.out"), dir.file("console.err")));
  EXPECT_EQ(console.exitCode(), 3) << hosttest::readFile(dir.file("console.err"));
  const std::string output = hosttest::readFile(dir.file("console.out"));
  const std::string added =
      "<EVGui_MMDevicePathInfoResp><EVGui_ErrorInfo tag=\"1\" i1=\"0\" s2=\"\"/></EVGui_MMDevicePathInfoResp>";
  const std::string refused = "<EVGui_MMDevicePathInfoResp><EVGui_ErrorInfo tag=\"1\" i1=\"-1\" s2=\"" +
                              tktest::catalogueText(0x2300093C) + "\"/></EVGui_MMDevicePathInfoResp>";
  for (const std::string& reply : {added, refused}) {
    const std::string expected = "  result 0\n  xml len " + std::to_string(reply.size()) + ": " + reply + "\n";
    EXPECT_NE(output.find(expected), std::string::npos) << expected << "\nin\n" << output;
  }

  const auto rows = db.query("SELECT ClientId, DeviceId, Folder, UserName, UserPassword FROM MMDeviceController "
                             "ORDER BY DeviceControllerId");
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[2][0].i, 2);
  EXPECT_EQ(rows[2][1].i, 1);
  EXPECT_EQ(tkdb::textOf(rows[2][2]), "/srv/disklib1/mp1");
  EXPECT_EQ(tkdb::textOf(rows[2][3]), "svc");
  EXPECT_EQ(decrypted(tkdb::textOf(rows[2][4])), "pw s");
}

}  // namespace
}  // namespace dpreq
