// The host keeps what it read of the configuration between requests: a
// change made to the database by hand, outside the host, is seen by the
// next request all the same.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>

#include "tests/support/HostHarness.h"

namespace {

using hosttest::Child;

class HostReread : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_host.up()) << m_host.log(); }

  // A mount path added to the demonstration disk library (library 2) through
  // ma2 by tkconsole, the library named as the request names it; the
  // console's output.
  std::string addMountPath(const std::string& library, const std::string& path) {
    const std::string out = m_dir.file("console" + std::to_string(++m_runs) + ".out");
    Child console;
    EXPECT_TRUE(console.start(hosttest::consoleBinary(),
                              {"--socket", m_host.socket(), "storage-library", "43=4", "1=2", "8=" + library, "7=2",
                               "3=ma2", "24=" + path, "60=" + path},
                              {}, out, m_dir.file("console.err")));
    console.exitCode();
    return hosttest::readFile(out);
  }

  // SQL on a connection of its own, as an administrator's sqlite3.
  void byHand(const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(m_dir.file("host.db").c_str(), &db), SQLITE_OK);
    sqlite3_busy_timeout(db, 10000);
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "");
    sqlite3_free(error);
    sqlite3_close(db);
  }

  tktest::TempDir m_dir;
  hosttest::Host m_host{m_dir, m_dir.file("host.sock"), {"--seed-demo"},
                        {{"TK_LOCK_DIR", m_dir.file("locks")}, {"TK_LOG_DIR", m_dir.file("log")}}};
  int m_runs = 0;
};

TEST_F(HostReread, ALibraryRenamedByHandIsFoundUnderItsNewNameOnly) {
  const std::string first = addMountPath("DiskLib1", "/mnt/a");
  EXPECT_NE(first.find("s8=\"DiskLib1\""), std::string::npos) << first;
  EXPECT_NE(first.find("i1=\"2\""), std::string::npos) << first;

  byHand("UPDATE MMLibrary SET AliasName = 'Renamed by hand' WHERE LibraryId = 2");
  const std::string renamed = addMountPath("Renamed by hand", "/mnt/b");
  EXPECT_NE(renamed.find("s8=\"Renamed by hand\""), std::string::npos) << renamed;
  const std::string old = addMountPath("DiskLib1", "/mnt/c");
  EXPECT_NE(old.find("The library [DiskLib1] could not be found."), std::string::npos) << old;
}

}  // namespace
