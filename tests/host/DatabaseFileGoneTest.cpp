// The host's database file removed, or replaced by another file, while the
// host runs: every request is refused naming the file (a change, the lock,
// a read), no connection makes the file again, and no change goes into the
// removed file nor into the one put in its place. With the file back, the
// host serves again.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "tests/host_installation/InstallationFixture.h"

namespace {

using installtest::ConsoleRun;

// The mount paths stored in the database file at `path`, read as an
// administrator's sqlite3 would; -1 when it cannot be read.
long long mountPathsIn(const std::string& path) {
  sqlite3* db = nullptr;
  sqlite3_stmt* stmt = nullptr;
  long long count = -1;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK &&
      sqlite3_prepare_v2(db, "SELECT COUNT(*) FROM \"MMMountPath\"", -1, &stmt, nullptr) == SQLITE_OK &&
      sqlite3_step(stmt) == SQLITE_ROW)
    count = sqlite3_column_int64(stmt, 0);
  sqlite3_finalize(stmt);
  sqlite3_close(db);
  return count;
}

// Moves the database file at `from` and its journal files to `to`.
void moveDatabase(const std::string& from, const std::string& to) {
  for (const char* suffix : {"", "-wal", "-shm"})
    if (std::filesystem::exists(from + suffix)) std::filesystem::rename(from + suffix, to + suffix);
}

class HostDatabaseFile : public installtest::InstallationFixture {};

TEST_F(HostDatabaseFile, RemovedOrReplacedWhileTheHostRunsEveryRequestIsRefusedNamingItAndNothingIsStored) {
  const std::string path = m_db.path();
  const std::string kept = path + ".kept";
  const std::string away = path + ".away";
  const std::string other = path + ".other";
  // A copy of the host's file put in its place; `wal`: in the journal mode
  // of the host's own file, which a connection's opening leaves as it is
  // (one in another mode it turns, a commit the host's check refuses).
  const auto replace = [&](bool wal) {
    std::filesystem::remove(other);  // a copy a row before put aside
    m_db.execElsewhere("VACUUM INTO '" + other + "'");
    if (wal) {
      EXPECT_EQ(tktest::sqlByHand(other, "PRAGMA journal_mode=WAL"), "wal");
    }
    moveDatabase(path, away);
    std::filesystem::rename(other, path);
  };
  const auto putBack = [&] {
    std::filesystem::rename(path, other);
    moveDatabase(away, path);
    return other;
  };
  const struct {
    const char* what;
    // Done to the file while the host runs; `undo` puts the host's file
    // back and says where the file put in its place went ("" for none).
    std::function<void()> event;
    std::function<std::string()> undo;
    const char* refusal;  // after "The database file [path] "
  } cases[] = {
      // A hard link keeps the removed file for the look at what it holds.
      {"removed",
       [&] {
         ASSERT_EQ(::link(path.c_str(), kept.c_str()), 0);
         std::filesystem::remove(path);
       },
       [&] {
         std::filesystem::rename(kept, path);
         return std::string();
       },
       "was removed while the host ran; nothing was changed."},
      {"replaced by another file", [&] { replace(false); }, putBack,
       "was replaced by another file while the host ran; nothing was changed."},
      // A host's first connection reads the database on its own thread as
      // it makes its handler objects, before any request is looked at: the
      // database connection it opens finds the other file, and must be
      // refused at its open, or it would be kept for the connections after
      // it and take their changes once the host's file is back.
      {"replaced before the host's first connection",
       [&] {
         ASSERT_TRUE(restart(SIGTERM, false)) << host().log();
         replace(true);
       },
       putBack, "was replaced by another file while the host ran; nothing was changed."},
  };
  int row = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const long long before = mountPathsIn(path);
    ASSERT_GT(before, 0);
    const std::vector<std::string> add = {"storage-library", "43=4", "8=DiskLib1", "3=ma1",
                                          "24=/srv/gone/" + std::to_string(++row)};
    c.event();
    const std::string refusal = std::string("The database file [") + path + "] " + c.refusal;
    for (const std::vector<std::string>& request : {add, std::vector<std::string>{"lock"},
                                                    std::vector<std::string>{"ndmp-servers"}}) {
      SCOPED_TRACE(request.front());
      const ConsoleRun run = console(request);
      EXPECT_EQ(run.status, 3) << run.out;
      EXPECT_NE(run.out.find(refusal), std::string::npos) << run.out;
    }
    const std::string logged =
        refusal + " Every request is refused until the file is put back or the host is restarted.";
    EXPECT_NE(host().log().find(logged), std::string::npos) << host().log();
    // No connection made a new file where the removed one was.
    EXPECT_EQ(hosttest::exists(path), std::string(c.what) != "removed");
    const std::string put = c.undo();
    if (!put.empty()) {
      EXPECT_EQ(mountPathsIn(put), before);
    }
    // Back in place, the host's file holds nothing of what was refused, and
    // the host serves again: the same change is stored now.
    EXPECT_EQ(mountPathsIn(path), before);
    const ConsoleRun again = console(add);
    EXPECT_EQ(again.status, 0) << again.out;
    EXPECT_EQ(mountPathsIn(path), before + 1);
  }
}

}  // namespace
