// The device-path request end to end: the real tkhost with the handler
// library, over its socket, through the XML dispatcher, on a seeded
// database: a device path is changed (same folder, new user and password;
// a host knows no installation directories, so a new folder would be
// refused there).
#include <gtest/gtest.h>

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
  const std::vector<tkwire::Reply> replies = hosttest::sendAndRead(fd, tkwire::encodeXmlRequest(r), 40);
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

}  // namespace
}  // namespace dpreq
