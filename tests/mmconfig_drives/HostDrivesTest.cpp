// The drive families end to end: the real tkhost on a database seeded with
// the demonstration installation, reached over its socket by the wire
// codec. The console that takes the lock lists the libraries, opens the
// tape library's children, and sets and reads the serial-number check. The
// vendor catalogues: the seeded ones listed, an NDMP drive path of a vendor
// added, the libraries a library server serves for a vendor listed, a
// vendor row added with SQL offered from the next configuration read on,
// and a row the read cannot use failing it with a reason.
#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "platform/mac/ZQMACPlatform.h"
#include "tests/support/FrameSession.h"
#include "tests/support/HostHarness.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestDatabase.h"

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

// The texts of the drive-vendor items of one 11070 answer, in order.
std::vector<std::string> driveVendors(const std::vector<tkwire::Reply>& replies) {
  std::vector<std::string> out;
  for (const tkwire::Reply& reply : replies) {
    if (reply.messageId != 11070) continue;
    for (const tkwire::Item& item : reply.items)
      if (item.tag == 11069) out.push_back(item.bytes.substr(4));
  }
  return out;
}

// The operation response of a control request: [operation] then
// [status][text]; nullopt when the replies are not one such response.
std::optional<tktest::Status> controlAnswer(const std::vector<tkwire::Reply>& replies, uint32_t operation) {
  EXPECT_EQ(replies.size(), 1u);
  if (replies.size() != 1 || tktest::tagsOf(replies[0]) != std::vector<uint32_t>{4001, 2051}) return std::nullopt;
  const tkwire::Reply& r = replies[0];
  EXPECT_EQ(r.messageId, 1024u);
  EXPECT_EQ(r.items[0].bytes, tktest::le32(operation));
  return tktest::Status{r.items[1].statusCode(), r.items[1].statusText(), r.sequence};
}

class HostVendorCatalogues : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string report;
    ASSERT_GT(tkmac::seedDemoInstallation(report), 0) << report;
  }
  tktest::TestDatabase m_db;
  tktest::TempDir m_dir;
};

TEST_F(HostVendorCatalogues, TheSeededCataloguesAreListedAndAVendorsDrivePathAndLibraryServerAreServed) {
  // ma1 sees a library of the first library-server vendor (DEMO TAPE-9).
  ASSERT_EQ(0, m_db.exec("INSERT INTO MMAttachedLibrary (ClientId, Vendor, Product, SerialNumber, DeviceName) "
                         "VALUES ((SELECT id FROM APP_Client WHERE name = 'ma1'), 'DEMO', 'TAPE-9', 'LSLIB1', "
                         "'/dev/sg7')"));
  hosttest::expectConsoleRun(
      m_dir, m_db.path(),
      "lock\n"
      "drive-vendors\n"
      "library-vendors\n"
      "library-vendors 1\n"
      "libraries\n"
      "onMsgSetMMDrive 4001=1 11073=u64:1 11058=filer2 2048=idtext:0:ma1 11024=s:/dev/nrst0 11069=1 2052=0\n"
      "onMsgGetMMLibraryHosts first=0 body=0 body=s:ma1 body=hex:00\n"
      "onMsgGetMMLibraryHosts first=0 body=1 body=s:ma1 body=hex:00\n"
      "unlock\n",
      0,
      {"reply 11070 seq 2\n"
       "  tag 11069 (drive vendor and model) len 12: 0 \"DEMO LTO\"\n"
       "  tag 2052 (end of record) len 4: 0\n"
       "  tag 11069 (drive vendor and model) len 21: 1 \"Tapewright TW-800\"\n"
       "  tag 2052 (end of record) len 4: 0\n"
       "  tag 11069 (drive vendor and model) len 27: 2 \"Reelmark RM-Cartridge 3\"\n"
       "  tag 2052 (end of record) len 4: 0\n> library-vendors\n",
       "reply 11091 seq 3\n"
       "  tag 11092 (library vendor entry) len 15: 0 \"DEMO TAPE-2\"\n"
       "  tag 11086 (library vendor) len 4: \"DEMO\"\n"
       "  tag 11087 (library product) len 6: \"TAPE-2\"\n"
       "  tag 2052 (end of record) len 4: 0\n"
       "  tag 11092 (library vendor entry) len 15: 1 \"DEMO TAPE-4\"\n",
       "  tag 11092 (library vendor entry) len 28: 2 \"Tapewright TW-Changer 24\"\n",
       "reply 11091 seq 4\n"
       "  tag 11092 (library vendor entry) len 30: 0 \"DEMO TAPE-9 library server\"\n"
       "  tag 11086 (library vendor) len 4: \"DEMO\"\n"
       "  tag 11087 (library product) len 6: \"TAPE-9\"\n"
       "  tag 2052 (end of record) len 4: 0\n"
       "  tag 11092 (library vendor entry) len 35: 1 \"Reelmark RM-Silo library server\"\n",
       "> onMsgSetMMDrive 4001=1 11073=u64:1 11058=filer2 2048=idtext:0:ma1 11024=s:/dev/nrst0 11069=1 2052=0\n"
       "reply 1024 seq 6\n"
       "  tag 4001 (operation) len 4: 1\n"
       "  tag 2051 (status) len 11: 1 (success) \"Success\"\n",
       "reply 11156 seq 7\n"
       "  tag 11089 (library server) len 6: \"LSLIB1\"\n"
       "  tag 2052 (end of record) len 4: 0\n"
       "> onMsgGetMMLibraryHosts first=0 body=1 body=s:ma1 body=hex:00\n"
       "reply 11156 seq 8\n> unlock\n"});
  EXPECT_EQ(m_db.scalar("SELECT COUNT(*) FROM MMDrivePath WHERE PathName = '/dev/nrst0'"), 1);
  EXPECT_EQ(m_db.text("SELECT Descript FROM MMDrivePool WHERE DrivePoolType = 3"), "filer2");
}

TEST_F(HostVendorCatalogues, AVendorRowAddedWithSqlIsOfferedFromTheNextConfigurationRead) {
  hosttest::Host host{m_dir, m_dir.file("host.sock"), {},
                      {{"TK_DB", m_db.path()}, {"TK_LOCK_DIR", m_dir.file("locks")}, {"TK_LOG_DIR", m_dir.file("log")}}};
  ASSERT_TRUE(host.up()) << host.log();
  const int a = host.connect();
  ASSERT_GE(a, 0);
  const auto locked =
      tktest::onlyStatus(hosttest::sendAndRead(a, frame("LockMMConfiguration", 1, tkwire::firstFieldOf(2, 1))));
  ASSERT_TRUE(locked.has_value());
  EXPECT_EQ(locked->status, 1u) << locked->text;
  const std::vector<std::string> seeded{"DEMO LTO", "Tapewright TW-800", "Reelmark RM-Cartridge 3"};
  EXPECT_EQ(driveVendors(hosttest::sendAndRead(a, frame("onMsgGetMMDriveVendorModelTypes", 2))), seeded);

  ASSERT_EQ(0, m_db.exec("INSERT INTO MMVendorCatalogue (Catalogue, Vendor, Product, Label) "
                         "VALUES (0, 'Tapewright', 'TW-900', 'LTO')"));
  std::string reread;
  tkwire::appendU32(reread, 4001, 70);
  tkwire::appendU32(reread, 2052, 0);
  const auto reread70 =
      controlAnswer(hosttest::sendAndRead(a, frame("onMsgSetMMControl", 3, tkwire::firstFieldOf(2, 2), reread)), 70);
  ASSERT_TRUE(reread70.has_value());
  EXPECT_EQ(reread70->status, 1u) << reread70->text;
  std::vector<std::string> extended = seeded;
  extended.push_back("Tapewright TW-900");
  EXPECT_EQ(driveVendors(hosttest::sendAndRead(a, frame("onMsgGetMMDriveVendorModelTypes", 4))), extended);

  // A row that names no catalogue fails the next read with its reason.
  ASSERT_EQ(0, m_db.exec("PRAGMA ignore_check_constraints = 1"));
  ASSERT_EQ(0, m_db.exec("INSERT INTO MMVendorCatalogue (Catalogue, Vendor, Product) VALUES (7, 'X', 'Y')"));
  const auto refused =
      controlAnswer(hosttest::sendAndRead(a, frame("onMsgSetMMControl", 5, tkwire::firstFieldOf(2, 2), reread)), 70);
  ASSERT_TRUE(refused.has_value());
  EXPECT_EQ(refused->status, 0u);
  EXPECT_NE(refused->text.find("A row of MMVendorCatalogue names no catalogue (0, 1 or 2)."), std::string::npos)
      << refused->text;
  ::close(a);
}

}  // namespace
