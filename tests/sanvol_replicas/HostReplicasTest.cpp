// The replica requests end to end: the real tkhost reached by the real
// tkconsole, with the replica database in the host's own database file.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include "tests/support/HostHarness.h"

namespace {

class HostReplicas : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_host.up()) << m_host.log(); }

  // Runs the console with the words; its exit code, its output in `out`.
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
  // Runs SQL on the host's database as another server process would.
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

TEST_F(HostReplicas, AReleasedReplicaIsGoneAndASecondReleaseIsReportedAsAFailure) {
  exec("INSERT INTO \"ReplicationVolume\" (\"replicaId\", \"primaryVolumeId\", \"physicalVolumeId\") VALUES (42, 1, 2)");
  std::string out;
  EXPECT_EQ(console({"onMsgReleaseReplica", "first=2", "count=42"}, out), 0) << out;
  EXPECT_NE(out.find("reply 1024 seq 1\n"), std::string::npos) << out;
  EXPECT_NE(out.find("Success"), std::string::npos) << out;
  EXPECT_EQ(console({"onMsgReleaseReplica", "first=2", "count=42"}, out), 3) << out;
  EXPECT_NE(out.find("The replica could not be released."), std::string::npos) << out;
}

TEST_F(HostReplicas, AnEmptyPoolListsNoScratchVolumes) {
  std::string out;
  EXPECT_EQ(console({"onMsgGetAvailableRvScratchVolumes", "first=2", "count=9"}, out), 0) << out;
  EXPECT_NE(out.find("reply 11681 seq 1"), std::string::npos) << out;
}

}  // namespace
