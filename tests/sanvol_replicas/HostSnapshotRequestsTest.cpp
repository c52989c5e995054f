// User applications and the source volumes of a snapshot end to end: the
// real tkhost reached by the real tkconsole, the snapshot id sent as raw
// bytes from the first-parameter place on.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include "tests/support/HostHarness.h"

namespace {

class HostSnapshotRequests : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_host.up()) << m_host.log(); }

  int console(const std::vector<std::string>& words, std::string& out) {
    std::vector<std::string> args{"--socket", m_host.socket()};
    args.insert(args.end(), words.begin(), words.end());
    hosttest::Child child;
    if (!child.start(hosttest::consoleBinary(), args, {}, m_dir.file("console.out"), m_dir.file("console.err")))
      return -1;
    const int code = child.exitCode();
    out = hosttest::readFile(m_dir.file("console.out"));
    return code;
  }
  void exec(const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(m_dir.file("host.db").c_str(), &db), SQLITE_OK);
    sqlite3_busy_timeout(db, 30000);
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << (error != nullptr ? error : "");
    sqlite3_free(error);
    sqlite3_close(db);
  }

  tktest::TempDir m_dir;
  hosttest::Host m_host{m_dir, m_dir.file("host.sock"), {},
                        {{"TK_LOCK_DIR", m_dir.file("locks")}, {"TK_LOG_DIR", m_dir.file("log")}}};
};

TEST_F(HostSnapshotRequests, AnAddedUserApplicationIsListedAndASnapshotIdSentAsRawBytesFindsItsSourceVolumes) {
  std::string out;
  EXPECT_EQ(console({"onMsgManageQRUserApps", "4001=1", "4106=2", "11761=84", "11760=Mail", "11759=mail",
                     "11762=resume.sh", "11763=suspend.sh", "2052=0"},
                    out),
            0)
      << out;
  EXPECT_EQ(console({"onMsgGetQRUserApps"}, out), 0) << out;
  EXPECT_NE(out.find("reply 11766"), std::string::npos) << out;
  EXPECT_NE(out.find("resume.sh"), std::string::npos) << out;

  exec("INSERT INTO \"ReplicationVolume\" (\"replicaId\", \"primaryVolumeId\", \"physicalVolumeId\", "
       "\"replicaText2\") VALUES (42, 5, 6, 'u1')");
  EXPECT_EQ(console({"onMsgGetSrcVolumesBySnapId", "first=2", "body=s:host:u1"}, out), 0) << out;
  EXPECT_NE(out.find("reply 11753 seq 1\n  tag 11632 (primary volume) len 4: 5\n  tag 11618 (SAN volume) len 4: 6\n"),
            std::string::npos)
      << out;
  EXPECT_EQ(console({"onMsgGetSrcVolumesBySnapId", "first=2", "body=s:nocolon"}, out), 3) << out;
}

}  // namespace
