// A console's handle names the one stored object it was given for: once
// that object's row is deleted and another row takes its id (by another
// console's request or by SQL), the lock holder's re-read leaves the old
// handle naming nothing. Operations sent with it answer as for any unknown
// handle and change no row; the new row is listed under a handle of its own.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/FrameSession.h"
#include "tests/support/HostHarness.h"

namespace {

using hosttest::Child;

// One record of a listing: its handle (11003) and the id and name of the
// item `tag` that follows it.
struct Listed {
  uint64_t handle = 0;
  uint32_t id = 0;
  std::string name;
};

std::vector<Listed> listed(const std::vector<tkwire::Reply>& replies, uint32_t tag) {
  std::vector<Listed> out;
  uint64_t handle = 0;
  for (const tkwire::Reply& reply : replies)
    for (const tkwire::Item& item : reply.items) {
      if (item.tag == 11003) handle = item.u64();
      if (item.tag == tag && item.bytes.size() >= 4) out.push_back({handle, item.u32(), item.bytes.substr(4)});
    }
  return out;
}

std::optional<Listed> withId(const std::vector<Listed>& records, uint32_t id) {
  for (const Listed& r : records)
    if (r.id == id) return r;
  return std::nullopt;
}

// The handle of the record in which an item ends with `text`; 0 when none.
uint64_t handleNamed(const std::vector<tkwire::Reply>& replies, const std::string& text) {
  uint64_t handle = 0;
  for (const tkwire::Reply& reply : replies)
    for (const tkwire::Item& item : reply.items) {
      if (item.tag == 11003) handle = item.u64();
      else if (item.bytes.size() >= text.size() && item.bytes.compare(item.bytes.size() - text.size(), text.size(), text) == 0)
        return handle;
    }
  return 0;
}

constexpr uint32_t kLibraryItem = 2049;
constexpr uint32_t kMountPathItem = 8085;
constexpr uint32_t kDriveItem = 11225;

class HostStaleHandle : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_host.up()) << m_host.log();
    m_fd = m_host.connect();
    ASSERT_GE(m_fd, 0);
  }
  void TearDown() override {
    if (m_fd >= 0) ::close(m_fd);
  }

  std::vector<tkwire::Reply> ask(const std::string& handler, uint64_t firstField = 0, std::string stream = "") {
    tkwire::StreamRequest r;
    r.handler = handler;
    r.sequence = ++m_sequence;
    r.firstField = firstField;
    r.stream = std::move(stream);
    return hosttest::sendAndRead(m_fd, tkwire::encodeStreamRequest(r));
  }

  // The status of one control record (operation, and the object's handle
  // when not 0).
  uint32_t control(uint32_t operation, uint64_t handle = 0) {
    std::string stream;
    tkwire::appendU32(stream, 4001, operation);
    if (handle != 0) tkwire::appendU64(stream, 11003, handle);
    tkwire::appendU32(stream, 2052, 0);
    const auto replies = ask("onMsgSetMMControl", tkwire::firstFieldOf(0, handle != 0 ? 3 : 2), stream);
    const tkwire::Item* status = replies.size() == 1 ? replies[0].find(2051) : nullptr;
    return status != nullptr ? status->statusCode() : 0xFFFFFFFFu;
  }

  // The status and text of a Set request's one answer.
  std::pair<uint32_t, std::string> answer(const std::string& handler, uint32_t elements, const std::string& stream) {
    const auto replies = ask(handler, tkwire::firstFieldOf(0, elements), stream);
    const tkwire::Item* status = replies.size() == 1 ? replies[0].find(2051) : nullptr;
    if (status == nullptr) return {0xFFFFFFFFu, "(no single answer)"};
    return {status->statusCode(), status->statusText()};
  }

  std::vector<Listed> libraries() { return listed(ask("onMsgGetMMLibraries"), kLibraryItem); }
  uint64_t libraryHandle(uint32_t id) {
    const std::optional<Listed> library = withId(libraries(), id);
    return library.has_value() ? library->handle : 0;
  }

  // A request of another console (tkconsole, a connection of its own).
  std::string console(const std::vector<std::string>& words) {
    const std::string out = m_dir.file("console" + std::to_string(++m_runs) + ".out");
    std::vector<std::string> args{"--socket", m_host.socket()};
    args.insert(args.end(), words.begin(), words.end());
    Child child;
    EXPECT_TRUE(child.start(hosttest::consoleBinary(), args, {}, out, m_dir.file("console.err")));
    child.exitCode();
    return hosttest::readFile(out);
  }

  // SQL on a connection of its own, as an administrator's sqlite3: the
  // first column of the rows it gives, ';' between them.
  std::string sql(const std::string& statements) {
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open(m_dir.file("host.db").c_str(), &db), SQLITE_OK);
    sqlite3_busy_timeout(db, 10000);
    std::string out;
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(db, statements.c_str(),
                           [](void* text, int, char** values, char**) {
                             auto& o = *static_cast<std::string*>(text);
                             o += (o.empty() ? "" : ";") + std::string(values[0] != nullptr ? values[0] : "");
                             return 0;
                           },
                           &out, &error),
              SQLITE_OK)
        << (error ? error : "") << statements;
    sqlite3_free(error);
    sqlite3_close(db);
    return out;
  }

  tktest::TempDir m_dir;
  hosttest::Host m_host{m_dir, m_dir.file("host.sock"), {"--seed-demo"},
                        {{"TK_LOCK_DIR", m_dir.file("locks")}, {"TK_LOG_DIR", m_dir.file("log")}}};
  int m_fd = -1;
  int64_t m_sequence = 0;
  int m_runs = 0;
};

// The lock holder lists DiskLib1's mount paths; another console deletes one
// of them and adds one to DiskLib2, which gets a new id, and SQL moves that
// row under the freed one. The lock
// holder re-reads and sends the disabling and the removal with the old
// handle: both answer as for an unknown handle, and DiskLib2 keeps its
// mount paths as they were.
TEST_F(HostStaleHandle, ADeletedMountPathsHandleNamesNothingAfterAnotherConsoleAddsOne) {
  console({"storage-library", "43=1", "8=DiskLib2", "3=ma2", "24=/srv/disklib2/mp1"});
  console({"storage-library", "43=4", "1=2", "8=DiskLib1", "7=2", "3=ma2", "24=/srv/disklib1/mp3"});
  const std::string added = sql("SELECT MountPathId FROM MMMountPath WHERE LibraryId = 2 ORDER BY MountPathId DESC LIMIT 1");
  ASSERT_FALSE(added.empty());
  ASSERT_TRUE(hosttest::takeLock(m_fd, ++m_sequence));
  const uint64_t diskLib1 = libraryHandle(2);
  const uint64_t diskLib2 = libraryHandle(3);
  ASSERT_NE(diskLib1, 0u);
  ASSERT_NE(diskLib2, 0u);
  const std::optional<Listed> path = withId(listed(ask("onMsgGetMMMountPaths", diskLib1), kMountPathItem),
                              static_cast<uint32_t>(std::stoul(added)));
  ASSERT_TRUE(path.has_value());
  const uint64_t old = path->handle;

  console({"storage-library", "43=16", "1=2", "8=DiskLib1", "7=2", "23=" + added});
  console({"storage-library", "43=4", "1=3", "8=DiskLib2", "7=2", "3=ma2", "24=/srv/disklib2/mp2"});
  const std::string fresh = sql("SELECT MAX(MountPathId) FROM MMMountPath WHERE LibraryId = 3");
  EXPECT_GT(std::stoul(fresh), std::stoul(added)) << "a deleted mount path's id is never given again";
  // An administrator's SQL puts the new row under the freed id, as a build
  // that gave ids again did by itself.
  sql("UPDATE MMMountPath SET MountPathId = " + added + " WHERE MountPathId = " + fresh);
  const std::string before = sql("SELECT MountPathId || '|' || IsEnabled FROM MMMountPath WHERE LibraryId = 3 "
                                   "ORDER BY MountPathId");
  ASSERT_EQ(std::count(before.begin(), before.end(), ';'), 1) << before;
  EXPECT_EQ(sql("SELECT COUNT(*) FROM MMMountPath WHERE MountPathId = " + added), "1")
      << "the freed id serves DiskLib2's new mount path";

  EXPECT_EQ(control(70), 1u);
  EXPECT_EQ(control(90, old), 1u);
  EXPECT_EQ(control(2, old), 1u);
  EXPECT_EQ(sql("SELECT MountPathId || '|' || IsEnabled FROM MMMountPath WHERE LibraryId = 3 ORDER BY MountPathId"),
            before);
  const auto paths = listed(ask("onMsgGetMMMountPaths", diskLib2), kMountPathItem);
  ASSERT_EQ(paths.size(), 2u);
  for (const Listed& p : paths) EXPECT_NE(p.handle, old) << p.name;
  EXPECT_EQ(listed(ask("onMsgGetMMMountPaths", diskLib1), kMountPathItem).size(), 2u);
}

// A drive and a library made by SQL, listed, then deleted and made again
// under the same id by SQL: after the re-read the old handle names nothing,
// and the new row is listed under a new handle.
TEST_F(HostStaleHandle, AnObjectMadeAgainBySqlUnderItsIdIsANewObject) {
  ASSERT_TRUE(hosttest::takeLock(m_fd, ++m_sequence));
  const std::string drive = "INSERT INTO MMDrive (DriveId, DriveName, AliasName, DriveEnabled, MasterPoolId, "
                            "DriveNumber) VALUES (40, '%1', '%1', 1, 1, 3)";
  const std::string library = "INSERT INTO MMLibrary (LibraryId, LibraryName, AliasName, LibraryEnabled, "
                              "LibraryTypeId) VALUES (40, '%1', '%1', 1, 3)";
  const struct {
    const char* what;
    std::string insert;  // %1: the name
    const char* table;
    const char* key;
    const char* row;     // name and enabled state of row 40
    std::function<std::vector<Listed>()> list;
  } cases[] = {
      {"drive", drive, "MMDrive", "DriveId", "DriveName || '|' || DriveEnabled FROM MMDrive WHERE DriveId = 40",
       [&] {
         std::string drives(8, '\0');
         drives += tktest::le32(1);
         return listed(ask("onMsgGetMMLibraryChildren", libraryHandle(1), drives), kDriveItem);
       }},
      {"library", library, "MMLibrary", "LibraryId",
       "AliasName || '|' || LibraryEnabled FROM MMLibrary WHERE LibraryId = 40", [&] { return libraries(); }},
  };
  auto named = [](std::string text, const std::string& name) {
    for (size_t at = text.find("%1"); at != std::string::npos; at = text.find("%1", at)) text.replace(at, 2, name);
    return text;
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    sql(named(c.insert, "ByHand"));
    EXPECT_EQ(control(70), 1u);
    const std::optional<Listed> first = withId(c.list(), 40);
    ASSERT_TRUE(first.has_value());
    const uint64_t old = first->handle;
    sql(std::string("DELETE FROM ") + c.table + " WHERE " + c.key + " = 40; " + named(c.insert, "Remade"));

    EXPECT_EQ(control(70), 1u);
    EXPECT_EQ(control(90, old), 1u);
    EXPECT_EQ(control(2, old), 1u);
    EXPECT_EQ(sql(std::string("SELECT ") + c.row), "Remade|1") << "the old handle changed nothing";
    const std::optional<Listed> remade = withId(c.list(), 40);
    EXPECT_TRUE(remade.has_value());
    if (!remade.has_value()) continue;
    EXPECT_EQ(remade->name, "Remade");
    EXPECT_NE(remade->handle, old);
  }
}

// A change by a handle whose row another connection removed after the lock
// holder listed it is refused naming the object, on every route that takes
// a handle, whatever kind the route serves (a disk library through the tape
// libraries' route included), and the holder's session drops the object.
TEST_F(HostStaleHandle, AChangeToAnObjectAnotherConnectionRemovedIsRefusedNamingItAndTheSessionDropsIt) {
  console({"storage-library", "43=1", "8=DiskLib2", "3=ma2", "24=/srv/disklib2/mp1"});
  console({"storage-library", "43=1", "8=DiskLib3", "3=ma2", "24=/srv/disklib3/mp1"});
  ASSERT_TRUE(hosttest::takeLock(m_fd, ++m_sequence));
  const uint64_t tape = libraryHandle(1);
  ASSERT_NE(tape, 0u);
  ask("onMsgAddMasterDrivePool", tape);
  std::string drives(8, '\0');
  drives += tktest::le32(1);
  auto element = [](uint32_t tag, const std::string& value) {
    std::string s;
    tkwire::appendElement(s, tag, value);
    return s;
  };
  const struct {
    const char* what;
    std::function<uint64_t()> handle;  // taken before the removal
    std::function<void()> remove;      // by another connection
    const char* handler;
    std::string elements;  // between the handle and the end of record
    uint32_t count;        // how many they are
    std::string refusal;
  } rows[] = {
      {"a disk library through the tape libraries' route", [&] { return libraryHandle(3); },
       [&] { console({"storage-library", "43=8192", "8=DiskLib2"}); }, "onMsgSetMMLibrary",
       element(8251, "GhostRenamed"), 1, "No library with id [3]."},
      {"a disk library renamed", [&] { return libraryHandle(4); },
       [&] { console({"storage-library", "43=8192", "8=DiskLib3"}); }, "onMsgSetMMMagneticLibrary",
       element(8251, "GhostRenamed"), 1, "No library with id [4]."},
      {"a mount path", [&] { return withId(listed(ask("onMsgGetMMMountPaths", libraryHandle(2)), kMountPathItem), 2)->handle; },
       [&] { console({"storage-library", "43=16", "1=2", "8=DiskLib1", "7=2", "23=2"}); }, "onMsgSetMMMountPath",
       element(11041, "/srv/elsewhere"), 1, "No mount path with id [2]."},
      {"a drive pool", [&] { return handleNamed(ask("onMsgGetMMDrivePools", tape), "DrivePool(ma2)"); },
       [&] { sql("DELETE FROM MMDrivePath WHERE DrivePoolId = 2; DELETE FROM MMDataPath WHERE DrivePoolId = 2; "
                 "DELETE FROM MMCopyFailoverCandidate WHERE DrivePoolId = 2; DELETE FROM MMDrivePool WHERE DrivePoolId = 2"); },
       "onMsgSetMMDrivePool", element(8260, "PK1") + element(11019, tktest::le32(1) + "ph1"), 2,
       "No drive pool with id [2]."},
      {"a master pool", [&] { return handleNamed(ask("onMsgGetMMMasterDrivePools", tape), "MasterPool(TapeLib1)_2"); },
       [&] { sql("DELETE FROM MMMasterPool WHERE MasterPoolName = 'MasterPool(TapeLib1)_2'"); },
       "onMsgSetMMMasterDrivePool", element(8258, "MP1"), 1, "No master pool with id [5]."},
      {"a drive through the control route", [&] { return withId(listed(ask("onMsgGetMMLibraryChildren", tape, drives), kDriveItem), 2)->handle; },
       [&] { sql("DELETE FROM MMDrivePath WHERE DriveId = 2; DELETE FROM MMDrive WHERE DriveId = 2"); },
       "onMsgSetMMControl", "", 0, "No drive with id [2]."},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    const uint64_t handle = row.handle();
    ASSERT_NE(handle, 0u);
    row.remove();
    std::string stream;
    const bool control = std::string(row.handler) == "onMsgSetMMControl";
    tkwire::appendU32(stream, 4001, control ? 49 : 3);
    tkwire::appendU64(stream, 11003, handle);
    stream += row.elements;
    tkwire::appendU32(stream, 2052, 0);
    EXPECT_EQ(answer(row.handler, 3 + row.count, stream), std::make_pair(0u, row.refusal));
    // Dropped: the same change now names nothing (an unknown handle).
    EXPECT_EQ(answer(row.handler, 3 + row.count, stream).first, 1u);
  }
}

}  // namespace
