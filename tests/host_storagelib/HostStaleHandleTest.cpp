// A console's handle names the one stored object it was given for: once
// that object's row is deleted and another row takes its id (by another
// console's request or by SQL), the lock holder's re-read leaves the old
// handle naming nothing. Operations sent with it answer as for any unknown
// handle and change no row; the new row is listed under a handle of its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

#include "frame/ElementTags.h"
#include "platform/mmdb/MMStoredKinds.h"
#include "tests/support/FrameSession.h"
#include "tests/support/HostHarness.h"
#include "tests/support/TestDatabase.h"

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

  // A library renamed through its handle (operation 3 of the tape libraries'
  // route, or of `handler`): the status and text of the answer.
  std::pair<uint32_t, std::string> rename(uint64_t handle, const std::string& name,
                                          const char* handler = "onMsgSetMMLibrary") {
    std::string stream;
    tkwire::appendU32(stream, 4001, 3);
    tkwire::appendU64(stream, 11003, handle);
    tkwire::appendElement(stream, 8251, name);
    tkwire::appendU32(stream, 2052, 0);
    return answer(handler, 4, stream);
  }

  std::vector<Listed> libraries() { return listed(ask("onMsgGetMMLibraries"), kLibraryItem); }

  // The session reads the configuration again: the handles of libraries 1
  // and 2 it lists, and the place in the change log it read at.
  struct Read {
    uint64_t tape = 0;
    uint64_t disk = 0;
    long long place = 0;
  };
  Read readAgain() {
    Read read;
    EXPECT_EQ(control(70), 1u);
    const std::vector<Listed> all = libraries();
    if (const std::optional<Listed> tape = withId(all, 1)) read.tape = tape->handle;
    if (const std::optional<Listed> disk = withId(all, 2)) read.disk = disk->handle;
    EXPECT_NE(read.tape, 0u);
    EXPECT_NE(read.disk, 0u);
    read.place = std::stoll(sql("SELECT MAX(Seq) FROM MMConfigChange"));
    return read;
  }
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
  std::string sql(const std::string& statements) { return tktest::sqlByHand(m_dir.file("host.db"), statements); }

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

// An object made by SQL (a drive, a library, a disk volume, a library
// controller) or by the session itself (a library server's controller, an
// NDMP controller whose add is refused, a disk library of the session's
// operation 1), listed, then deleted with its rows and made again under the
// same ids by SQL, as an import or a restore would: the new rows are another
// object, whoever made the old one. After the re-read (control 70) the old
// handle names nothing and the new rows are listed under a new handle;
// without it, a change through the old handle is refused naming the object,
// and the session drops it. Nothing changes the new rows.
TEST_F(HostStaleHandle, AnObjectMadeAgainBySqlUnderItsIdIsANewObject) {
  ASSERT_TRUE(hosttest::takeLock(m_fd, ++m_sequence));
  // %1 the name, %2 the id.
  auto fill = [](std::string text, const std::string& name, int id) {
    for (const auto& [mark, value] : {std::make_pair(std::string("%1"), name),
                                      std::make_pair(std::string("%2"), std::to_string(id))})
      for (size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at)) text.replace(at, 2, value);
    return text;
  };
  auto element = [](uint32_t tag, const std::string& value) {
    std::string s;
    tkwire::appendElement(s, tag, value);
    return s;
  };
  auto word = [](uint32_t tag, uint32_t value) {
    std::string s;
    tkwire::appendU32(s, tag, value);
    return s;
  };
  // A request of the session: its elements between the operation and the
  // end of record; the answers.
  auto session = [&](const char* handler, uint32_t operation, const std::vector<std::string>& elements) {
    std::string stream = word(4001, operation);
    for (const std::string& e : elements) stream += e;
    stream += word(2052, 0);
    return ask(handler, tkwire::firstFieldOf(0, static_cast<uint32_t>(elements.size()) + 2), stream);
  };
  auto status = [](const std::vector<tkwire::Reply>& replies) {
    for (const tkwire::Reply& reply : replies)
      if (const tkwire::Item* item = reply.find(2051)) return item->statusCode();
    return 0xFFFFFFFFu;
  };
  auto newestLibrary = [&] { return std::stoi(sql("SELECT MAX(LibraryId) FROM MMLibrary")); };
  // A controller the session adds to a media agent, as add-ip-controller
  // and add-ndmp-controller send it, reaching a new library "DEMO <product>".
  auto addController = [&](bool ndmp, const std::string& product) {
    std::vector<std::string> elements{element(2048, tktest::le32(0) + (ndmp ? "ma1" : "ma2"))};
    if (ndmp) {
      elements.push_back(element(11058, "nosuchfiler"));  // no answer: refused
      elements.push_back(element(11088, "/dev/robot1"));
    } else {
      elements.push_back(element(11089, "ls1.example.net"));
    }
    for (const std::string& e : {element(11086, "DEMO"), element(11087, product), element(11031, "ID-" + product),
                                 word(11008, 1), word(11009, 2)})
      elements.push_back(e);
    return session("onMsgSetMMLibrary", ndmp ? 54 : 55, elements);
  };
  // The rows of library %2 (the library, its controllers and master pools)
  // deleted and inserted again under their ids, the library named %1.
  const std::string libraryAgain =
      "CREATE TEMP TABLE l AS SELECT * FROM MMLibrary WHERE LibraryId = %2; CREATE TEMP TABLE c AS SELECT * FROM "
      "MMLibraryController WHERE LibraryId = %2; CREATE TEMP TABLE m AS SELECT * FROM MMMasterPool WHERE LibraryId = "
      "%2; DELETE FROM MMLibraryController WHERE LibraryId = %2; DELETE FROM MMMasterPool WHERE LibraryId = %2; "
      "DELETE FROM MMLibrary WHERE LibraryId = %2; UPDATE l SET AliasName = '%1'; INSERT INTO MMLibrary SELECT * "
      "FROM l; INSERT INTO MMMasterPool SELECT * FROM m; INSERT INTO MMLibraryController SELECT * FROM c";
  const std::string drive = "INSERT INTO MMDrive (DriveId, DriveName, AliasName, DriveEnabled, MasterPoolId, "
                            "DriveNumber) VALUES (%2, '%1', '%1', 1, 1, 3)";
  const std::string library = "INSERT INTO MMLibrary (LibraryId, LibraryName, AliasName, LibraryEnabled, "
                              "LibraryTypeId) VALUES (%2, '%1', '%1', 1, 3)";
  const std::string libraryRow = "AliasName || '|' || LibraryEnabled FROM MMLibrary WHERE LibraryId = %2";
  // A volume of ma2 on DiskLib1's first device, beside ma1's.
  const std::string volume = "INSERT INTO MMDeviceController (DeviceControllerId, ClientId, DeviceId, "
                             "DeviceControllerActive, DeviceControllerEnabled, DeviceAccessible, DeviceAccessType, "
                             "Folder) SELECT %2, id, 1, 1, 1, 1, 0, '%1' FROM APP_Client WHERE name = 'ma2'";
  // A second controller of TapeLib1, on ma1 beside its /dev/sg1.
  const std::string controller = "INSERT INTO MMLibraryController (LibraryControllerId, ControllerName, ClientId, "
                                 "LibraryId, IsActive, IsEnabled, ControllerType) SELECT %2, '%1', id, 1, 1, 1, 1 "
                                 "FROM APP_Client WHERE name = 'ma1'";
  // TapeLib1's controllers: each record's id (8215) and its controller's
  // own name (the first 11007 after it, behind the handle's low bits).
  auto controllers = [&] {
    std::vector<Listed> out;
    uint64_t handle = 0;
    for (const tkwire::Reply& reply : ask("onMsgGetMMLibraryControllers", libraryHandle(1)))
      for (const tkwire::Item& item : reply.items) {
        if (item.tag == 11003) handle = item.u64();
        if (item.tag == tktag::kLibraryController && item.bytes.size() >= 4) out.push_back({handle, item.u32(), ""});
        if (item.tag == tktag::kController && !out.empty() && out.back().name.empty() && item.bytes.size() >= 4)
          out.back().name = item.bytes.substr(4);
      }
    return out;
  };
  std::string drives(8, '\0');
  drives += tktest::le32(1);
  int bySql = 40;  // the id of the next object SQL makes
  int variant = 0;  // tells the names of the objects the session makes apart
  const struct {
    const char* what;
    std::function<int()> make;  // the object, made and read by the session; its id
    std::string again;          // SQL: its rows made again under id %2, named %1
    std::string row;            // SQL: the name and state of row %2
    const char* kind;
    std::function<std::vector<Listed>()> list;
    const char* handler;  // a change through its handle (no element: a control)
    std::string elements;
    // What the route answers a handle that names nothing (none: status 1).
    const char* unknown = nullptr;
  } cases[] = {
      {"a drive made by SQL",
       [&] {
         sql(fill(drive, "ByHand", bySql));
         EXPECT_EQ(control(70), 1u);
         return bySql++;
       },
       "DELETE FROM MMDrive WHERE DriveId = %2; " + drive, "DriveName || '|' || DriveEnabled FROM MMDrive WHERE DriveId = %2",
       "drive",
       [&] { return listed(ask("onMsgGetMMLibraryChildren", libraryHandle(1), drives), kDriveItem); },
       "onMsgSetMMControl", ""},
      {"a library made by SQL",
       [&] {
         sql(fill(library, "ByHand", bySql));
         EXPECT_EQ(control(70), 1u);
         return bySql++;
       },
       "DELETE FROM MMLibrary WHERE LibraryId = %2; " + library, libraryRow, "library", [&] { return libraries(); },
       "onMsgSetMMLibrary", element(8251, "ThroughOldHandle")},
      {"a library server's library the session added",
       [&] {
         EXPECT_EQ(status(addController(false, "TAPE-" + std::to_string(++variant))), 1u);
         return newestLibrary();
       },
       libraryAgain, libraryRow, "library", [&] { return libraries(); }, "onMsgSetMMLibrary",
       element(8251, "ThroughOldHandle")},
      {"the library of an NDMP controller whose add was refused",
       [&] {
         const int before = newestLibrary();
         EXPECT_EQ(status(addController(true, "NDMP-" + std::to_string(++variant))), 0u);
         EXPECT_GT(newestLibrary(), before) << "the refused add keeps its library";
         return newestLibrary();
       },
       libraryAgain, libraryRow, "library", [&] { return libraries(); }, "onMsgSetMMLibrary",
       element(8251, "ThroughOldHandle")},
      {"a disk library of the session's operation 1",
       [&] {
         EXPECT_EQ(status(session("onMsgSetMMMagneticLibrary", 1,
                                  {element(8251, "SessionDisk" + std::to_string(++variant)), word(11187, 3),
                                   element(2048, tktest::le32(0) + "ma1")})),
                   1u);
         return newestLibrary();
       },
       libraryAgain, libraryRow, "library", [&] { return libraries(); }, "onMsgSetMMMagneticLibrary",
       element(8251, "ThroughOldHandle")},
      {"a disk volume made by SQL",
       [&] {
         sql(fill(volume, "/srv/byhand", bySql));
         EXPECT_EQ(control(70), 1u);
         return bySql++;
       },
       "DELETE FROM MMDeviceController WHERE DeviceControllerId = %2; " + volume,
       "Folder || '|' || DeviceAccessType FROM MMDeviceController WHERE DeviceControllerId = %2", "disk volume",
       [&] {
         return listed(ask("onMsgGetDiskVolumes", handleNamed(ask("onMsgGetDiskDevices"), "DiskLib1 device 1")),
                       tktag::kDiskVolume);
       },
       "onMsgSetDiskVolume", element(tktag::kDeviceAccessType, tktest::le32(3)),
       "The request does not say which object to change: its object handle is missing."},
      {"a library controller made by SQL",
       [&] {
         sql(fill(controller, "ByHand", bySql));
         EXPECT_EQ(control(70), 1u);
         return bySql++;
       },
       "DELETE FROM MMLibraryController WHERE LibraryControllerId = %2; " + controller,
       "ControllerName || '|' || IsEnabled FROM MMLibraryController WHERE LibraryControllerId = %2",
       "library controller", controllers, "onMsgSetMMLibraryController",
       element(tktag::kController, tktest::le32(1) + "x")},
  };
  for (const auto& c : cases) {
    for (const bool reread : {true, false}) {
      SCOPED_TRACE(std::string(c.what) + (reread ? ", after the re-read" : ", without a re-read"));
      const int id = c.make();
      const std::optional<Listed> first = withId(c.list(), static_cast<uint32_t>(id));
      ASSERT_TRUE(first.has_value());
      const uint64_t old = first->handle;
      sql(fill(c.again, "Remade", id));
      const std::string remade = sql("SELECT " + fill(c.row, "", id));
      ASSERT_EQ(remade.substr(0, 7), "Remade|");

      if (reread) {
        EXPECT_EQ(control(70), 1u);
        EXPECT_EQ(control(90, old), 1u);
        EXPECT_EQ(control(2, old), 1u);
      } else {
        std::string stream;
        const bool control = std::string(c.handler) == "onMsgSetMMControl";
        tkwire::appendU32(stream, 4001, control ? 49 : 3);
        tkwire::appendU64(stream, 11003, old);
        stream += c.elements;
        tkwire::appendU32(stream, 2052, 0);
        const uint32_t count = c.elements.empty() ? 3 : 4;
        EXPECT_EQ(answer(c.handler, count, stream),
                  std::make_pair(0u, "No " + std::string(c.kind) + " with id [" + std::to_string(id) + "]."));
        // Dropped: the same change now names nothing (an unknown handle).
        const auto unknown = answer(c.handler, count, stream);
        if (c.unknown != nullptr)
          EXPECT_EQ(unknown, std::make_pair(0u, std::string(c.unknown)));
        else
          EXPECT_EQ(unknown.first, 1u) << unknown.second;
      }
      EXPECT_EQ(sql("SELECT " + fill(c.row, "", id)), remade) << "the old handle changed nothing";
      const std::optional<Listed> again = withId(c.list(), static_cast<uint32_t>(id));
      EXPECT_TRUE(again.has_value());
      if (!again.has_value()) continue;
      EXPECT_EQ(again->name, "Remade");
      EXPECT_NE(again->handle, old);
    }
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
    // What the route answers a handle that names nothing (none: status 1).
    const char* unknown = nullptr;
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
      {"a disk volume", [&] { return handleNamed(ask("onMsgGetDiskVolumes", handleNamed(ask("onMsgGetDiskDevices"),
                                                                                      "DiskLib1 device 1")),
                                                 "/srv/disklib1/mp1"); },
       [&] { sql("DELETE FROM MMDeviceController WHERE DeviceControllerId = 1"); }, "onMsgSetDiskVolume",
       element(tktag::kDeviceAccessType, tktest::le32(0)), 1, "No disk volume with id [1].",
       "The request does not say which object to change: its object handle is missing."},
      {"a disk device", [&] { return handleNamed(ask("onMsgGetDiskDevices"), "DiskLib1 device 2"); },
       [&] { sql("DELETE FROM MMMountPathToStorageDevice WHERE DeviceId = 2; DELETE FROM MMDeviceController WHERE "
                 "DeviceId = 2; DELETE FROM MMDevice WHERE DeviceId = 2"); },
       "onMsgSetDiskDevice", element(tktag::kDiskDevice, tktest::le32(0) + "GhostDevice"), 1,
       "No device with id [2]."},
      {"a library controller", [&] { return handleNamed(ask("onMsgGetMMLibraryControllers", tape), "/dev/sg1"); },
       [&] { sql("DELETE FROM MMLibraryController WHERE LibraryControllerId = 1"); }, "onMsgSetMMLibraryController",
       element(tktag::kController, tktest::le32(1) + "x"), 1, "No library controller with id [1]."},
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
    const auto again = answer(row.handler, 3 + row.count, stream);
    if (row.unknown != nullptr)
      EXPECT_EQ(again, std::make_pair(0u, std::string(row.unknown)));
    else
      EXPECT_EQ(again.first, 1u) << again.second;
  }
}

// `count` changes of another writer: catalogue rows inserted and deleted
// again by SQL, each an entry of the change log (the log keeps the newest
// 65,536 and prunes at every 1,024th).
std::string logEntries(int count) {
  return "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < " + std::to_string(count / 2) +
         ") INSERT INTO MMVendorCatalogue (Catalogue, Vendor, Product) SELECT 0, 'Bulk', 'P' || x FROM n; "
         "DELETE FROM MMVendorCatalogue WHERE Vendor = 'Bulk'" +
         (count % 2 != 0 ? std::string("; INSERT INTO MMVendorCatalogue (Catalogue, Vendor, Product) VALUES (0, "
                                       "'Odd', 'P')")
                         : std::string());
}

// Library %2's row deleted and inserted again by SQL under its id, named %1.
std::string libraryMadeAgain(int id, const std::string& name) {
  const std::string i = std::to_string(id);
  return "DROP TABLE IF EXISTS temp.l; CREATE TEMP TABLE l AS SELECT * FROM MMLibrary WHERE LibraryId = " + i +
         "; DELETE FROM MMLibraryController WHERE LibraryId = " + i + "; DELETE FROM MMLibrary WHERE LibraryId = " + i +
         "; UPDATE l SET AliasName = '" + name + "'; INSERT INTO MMLibrary SELECT * FROM l";
}

constexpr const char* kUntold =
    "The change log no longer tells whether the library with id [%1] is the one this session read; nothing was "
    "changed. Read the configuration again (control 70) and use the handle its listing gives.";

std::string untold(int id) {
  std::string text = kUntold;
  text.replace(text.find("%1"), 2, std::to_string(id));
  return text;
}

// Where the change log cannot tell whether a row is still the one the
// session read (its history renewed, as another host's start does; a
// trigger of it dropped; the session's place pruned by others' changes),
// a change through a handle is refused saying to read again, for a library
// read from its row and for one the session made itself, and changes no
// row. The re-read takes both for other objects: their old handles name
// nothing, and the rows are listed under new handles.
TEST_F(HostStaleHandle, WhereTheLogCannotTellAChangeThroughAHandleIsRefusedUntilTheSessionReadsAgain) {
  ASSERT_TRUE(hosttest::takeLock(m_fd, ++m_sequence));
  // More births than the host keeps (131,072), each 30,000 of another
  // writer followed by another console's request by name, after which the
  // host reads them: none is pruned before the host read it.
  auto moreBirthsThanKept = [&] {
    for (int round = 0; round < 5; ++round) {
      sql("WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < 30000) INSERT INTO MMDrive "
          "(DriveName, MasterPoolId) SELECT 'born_' || x, 1 FROM n; DELETE FROM MMDrive WHERE DriveName LIKE "
          "'born\\_%' ESCAPE '\\'");
      const std::string tape = sql("SELECT AliasName FROM MMLibrary WHERE LibraryId = 1");
      EXPECT_NE(console({"storage-library", "43=512", "8=" + tape, "3=ma1", "78=Drive1", "82=2"}).find("i70=\"0\""),
                std::string::npos);
    }
  };
  const struct {
    const char* what;
    std::function<void()> cause;  // what leaves the log unable to tell
  } cases[] = {
      {"another history of the log", [&] { sql("UPDATE MMConfigEpoch SET Epoch = 'another host'"); }},
      {"a trigger of the log dropped", [&] { sql("DROP TRIGGER \"MMConfigChange_MMLibrary_inserted\""); }},
      {"the session's place pruned by 67,000 changes of another writer", [&] { sql(logEntries(67000)); }},
      {"150,000 births since the session's place, more than the host keeps", moreBirthsThanKept},
  };
  int variant = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ++variant;
    std::string stream;
    tkwire::appendU32(stream, 4001, 1);
    tkwire::appendElement(stream, 8251, "Own" + std::to_string(variant));
    tkwire::appendU32(stream, 11187, 3);
    tkwire::appendElement(stream, 2048, tktest::le32(0) + "ma1");
    tkwire::appendU32(stream, 2052, 0);
    uint32_t made = 0xFFFFFFFFu;
    for (const tkwire::Reply& reply : ask("onMsgSetMMMagneticLibrary", tkwire::firstFieldOf(0, 5), stream))
      if (const tkwire::Item* item = reply.find(2051)) made = item->statusCode();
    ASSERT_EQ(made, 1u);
    const int own = std::stoi(sql("SELECT MAX(LibraryId) FROM MMLibrary"));
    const uint64_t tape = libraryHandle(1);
    const uint64_t mine = libraryHandle(static_cast<uint32_t>(own));
    ASSERT_NE(tape, 0u);
    ASSERT_NE(mine, 0u);

    c.cause();
    sql(libraryMadeAgain(1, "Other" + std::to_string(variant)) + "; " +
        libraryMadeAgain(own, "OtherOwn" + std::to_string(variant)));
    const std::string rows = sql("SELECT AliasName FROM MMLibrary ORDER BY LibraryId");
    EXPECT_EQ(rename(tape, "RenamedX"), std::make_pair(0u, untold(1)));
    EXPECT_EQ(rename(mine, "RenamedY", "onMsgSetMMMagneticLibrary"), std::make_pair(0u, untold(own)));
    // Refused again until the session reads again: nothing was dropped.
    EXPECT_EQ(rename(tape, "RenamedX"), std::make_pair(0u, untold(1)));
    EXPECT_EQ(sql("SELECT AliasName FROM MMLibrary ORDER BY LibraryId"), rows) << "no row was changed";

    EXPECT_EQ(control(70), 1u);
    EXPECT_EQ(rename(tape, "RenamedX").first, 1u) << "the old handle names nothing";
    EXPECT_EQ(rename(mine, "RenamedY", "onMsgSetMMMagneticLibrary").first, 1u) << "the old handle names nothing";
    EXPECT_EQ(sql("SELECT AliasName FROM MMLibrary ORDER BY LibraryId"), rows) << "no row was changed";
    const std::vector<Listed> after = libraries();
    const std::optional<Listed> other = withId(after, 1);
    const std::optional<Listed> otherOwn = withId(after, static_cast<uint32_t>(own));
    ASSERT_TRUE(other.has_value() && otherOwn.has_value());
    EXPECT_EQ(other->name, "Other" + std::to_string(variant));
    EXPECT_NE(other->handle, tape);
    EXPECT_EQ(otherOwn->name, "OtherOwn" + std::to_string(variant));
    EXPECT_NE(otherOwn->handle, mine);
    // The new handles serve.
    EXPECT_EQ(rename(other->handle, "TapeLib" + std::to_string(variant)), std::make_pair(1u, std::string("Success")));
  }
}

// The host reads each entry of the change log once, so a session's place
// stays of use after the log prunes it: a place exactly at the pruned mark
// still tells (every entry after it is there), and a session that checks
// its handles while others make 145,000 changes still tells a row made
// again under its id from the row it read, long after the log pruned the
// place it read at.
TEST_F(HostStaleHandle, ASessionsPlaceTellsRowsMadeAgainAfterTheLogPrunedItsEntries) {
  // The session's place on a multiple of 1,024, so that 65,536 more
  // entries prune the log up to it exactly.
  const long long padded = std::stoll(sql("SELECT MAX(Seq) FROM MMConfigChange"));
  if (padded % 1024 != 0) sql(logEntries(static_cast<int>(1024 - padded % 1024)));
  ASSERT_TRUE(hosttest::takeLock(m_fd, ++m_sequence));
  const uint64_t tape = libraryHandle(1);
  const uint64_t disk = libraryHandle(2);
  ASSERT_NE(tape, 0u);
  ASSERT_NE(disk, 0u);
  const long long place = std::stoll(sql("SELECT MAX(Seq) FROM MMConfigChange"));
  ASSERT_EQ(place % 1024, 0) << "the lock's read logs nothing";
  const std::pair<uint32_t, std::string> success{1u, "Success"};

  sql(logEntries(65536));
  ASSERT_EQ(sql("SELECT Pruned FROM MMConfigEpoch"), std::to_string(place));
  EXPECT_EQ(rename(disk, "DiskAtTheMark", "onMsgSetMMMagneticLibrary"), success) << "a place at the pruned mark tells";
  for (int round = 0; round < 2; ++round) {
    sql(logEntries(40000));
    EXPECT_EQ(rename(disk, "Disk" + std::to_string(round), "onMsgSetMMMagneticLibrary"), success);
  }
  EXPECT_GT(std::stoll(sql("SELECT Pruned FROM MMConfigEpoch")), place + 65536);
  sql(libraryMadeAgain(1, "OtherLib"));
  EXPECT_EQ(rename(tape, "RenamedX"), std::make_pair(0u, std::string("No library with id [1].")));
  EXPECT_EQ(sql("SELECT AliasName FROM MMLibrary WHERE LibraryId IN (1, 2) ORDER BY LibraryId"), "OtherLib;Disk1");
}

// Another console's changes through the host are read once, as its
// requests read the configuration, so the session's place stays of use
// however many they are:
// after two requests that delete a library of 35,000 drives each (more
// entries than the log keeps, between two checks of the session), a change
// through the session's handle is still told from one through a row made
// again under its id.
TEST_F(HostStaleHandle, AnotherConsolesChangesThroughTheHostLeaveTheSessionsPlaceOfUse) {
  ASSERT_TRUE(hosttest::takeLock(m_fd, ++m_sequence));
  const uint64_t tape = libraryHandle(1);
  const uint64_t disk = libraryHandle(2);
  ASSERT_NE(tape, 0u);
  ASSERT_NE(disk, 0u);
  const std::pair<uint32_t, std::string> success{1u, "Success"};
  // Two libraries of another writer, each made between two checks of the
  // session, which read their entries as they come.
  for (const int id : {50, 51}) {
    const std::string i = std::to_string(id);
    sql("INSERT INTO MMLibrary (LibraryId, LibraryName, AliasName, LibraryEnabled, LibraryTypeId) VALUES (" + i +
        ", 'BigLib" + i + "', 'BigLib" + i + "', 1, 3); INSERT INTO MMMasterPool (MasterPoolId, LibraryId, "
        "MasterPoolName) VALUES (" + i + "0, " + i + ", 'BigPool" + i + "'); WITH RECURSIVE n(x) AS (SELECT 1 UNION "
        "ALL SELECT x + 1 FROM n WHERE x < 35000) INSERT INTO MMDrive (DriveName, AliasName, DriveEnabled, "
        "MasterPoolId, DriveNumber) SELECT 'big" + i + "_' || x, 'big" + i + "_' || x, 1, " + i + "0, x FROM n");
    EXPECT_EQ(rename(disk, "Disk" + i, "onMsgSetMMMagneticLibrary"), success);
  }
  const long long before = std::stoll(sql("SELECT MAX(Seq) FROM MMConfigChange"));

  console({"storage-library", "43=2", "8=BigLib50", "request.6=1"});
  console({"storage-library", "43=2", "8=BigLib51", "request.6=1"});
  ASSERT_EQ(sql("SELECT COUNT(*) FROM MMDrive WHERE MasterPoolId IN (500, 510)"), "0") << "the other console deleted them";
  ASSERT_GT(std::stoll(sql("SELECT Pruned FROM MMConfigEpoch")), before) << "pruned past the session's last check";
  EXPECT_EQ(rename(disk, "Disk3", "onMsgSetMMMagneticLibrary"), success);
  sql(libraryMadeAgain(1, "OtherLib"));
  EXPECT_EQ(rename(tape, "RenamedX", "onMsgSetMMLibrary"), std::make_pair(0u, std::string("No library with id [1].")));
  EXPECT_EQ(sql("SELECT AliasName FROM MMLibrary WHERE LibraryId IN (1, 2) ORDER BY LibraryId"), "OtherLib;Disk3");
}


// A log that went back and grew again is not the log the host read: its
// entries after the place it went back to are others under the same
// numbers. The host drops what it read and answers from the log as it is
// now: a row made again after the session's place is told (its old handle
// refused, no row written), a row left alone still answers, and a session
// whose own place the log no longer holds as it read it cannot tell.
TEST_F(HostStaleHandle, ALogThatWentBackIsAnotherHistoryOfTheLog) {
  const std::string copy = m_dir.file("copy.db");
  // Every table the log and the libraries live in, put back from the copy,
  // the change log and its epoch last (as an administrator's restore does).
  const std::string putBack = "ATTACH '" + copy + "' AS old; DELETE FROM MMLibraryController; DELETE FROM MMLibrary; "
                              "INSERT INTO MMLibrary SELECT * FROM old.MMLibrary; INSERT INTO MMLibraryController "
                              "SELECT * FROM old.MMLibraryController; DELETE FROM MMConfigChange; INSERT INTO "
                              "MMConfigChange SELECT * FROM old.MMConfigChange; DELETE FROM MMConfigEpoch; INSERT INTO "
                              "MMConfigEpoch SELECT * FROM old.MMConfigEpoch; DETACH old";
  const struct {
    const char* what;
    bool copyBeforeTheRead;  // the copy is taken before the session's read, with changes after it
    std::function<std::string(long long)> wentBack;  // SQL, given the session's place
    std::pair<uint32_t, std::string> madeAgain, leftAlone;  // the answers through the old handles
  } cases[] = {
      {"the entries after the session's place deleted and numbered again", false,
       [](long long place) { return "DELETE FROM MMConfigChange WHERE Seq > " + std::to_string(place); },
       {0u, "No library with id [2]."}, {1u, "Success"}},
      {"every table put back from a copy taken at the session's place", false,
       [&](long long) { return putBack; }, {0u, "No library with id [2]."}, {1u, "Success"}},
      {"every table put back from a copy taken before the session's place", true,
       [&](long long) { return putBack; }, {0u, untold(2)}, {0u, untold(1)}},
  };
  ASSERT_TRUE(hosttest::takeLock(m_fd, ++m_sequence));
  int round = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ++round;
    ::unlink(copy.c_str());
    if (c.copyBeforeTheRead) {
      sql("VACUUM INTO '" + copy + "'");
      sql(logEntries(10));
    }
    const auto [tape, disk, place] = readAgain();
    if (!c.copyBeforeTheRead) sql("VACUUM INTO '" + copy + "'");
    // The host reads the log past the session's place.
    EXPECT_EQ(rename(tape, "Tape" + std::to_string(round) + "a"), std::make_pair(1u, std::string("Success")));
    EXPECT_EQ(rename(tape, "Tape" + std::to_string(round) + "b"), std::make_pair(1u, std::string("Success")));
    ASSERT_GT(std::stoll(sql("SELECT MAX(Seq) FROM MMConfigChange")), place + 1);

    sql(c.wentBack(place));
    sql(libraryMadeAgain(2, "Reborn" + std::to_string(round)) + "; " + logEntries(100));
    const std::string rows = sql("SELECT AliasName FROM MMLibrary ORDER BY LibraryId");
    EXPECT_EQ(rename(disk, "Written", "onMsgSetMMMagneticLibrary"), c.madeAgain);
    EXPECT_EQ(sql("SELECT AliasName FROM MMLibrary ORDER BY LibraryId"), rows) << "no row was written";
    EXPECT_EQ(rename(tape, "Tape" + std::to_string(round) + "c"), c.leftAlone);
    // The session reads again: the rows as they are now, under handles
    // that serve.
    ASSERT_EQ(control(70), 1u);
    const std::optional<Listed> reborn = withId(libraries(), 2);
    ASSERT_TRUE(reborn.has_value());
    EXPECT_EQ(reborn->name, "Reborn" + std::to_string(round));
    EXPECT_EQ(rename(libraryHandle(2), "Disk" + std::to_string(round) + "d", "onMsgSetMMMagneticLibrary"),
              std::make_pair(1u, std::string("Success")));
    EXPECT_EQ(rename(libraryHandle(1), "Tape" + std::to_string(round) + "d"),
              std::make_pair(1u, std::string("Success")));
  }
}

// The host reads the change log after every change it commits, on every
// route: however many changes it makes after a session's place, and
// however the other writer's changes around them prune the log, the
// session's handles still serve, and a row made again is still told. Each
// row: another writer's 65,000 changes by SQL (the log is not pruned yet),
// one request through the host that reads no configuration through a
// handle, 10,000 more by SQL (the log is pruned past the session's place),
// then changes through the session's handles.
TEST_F(HostStaleHandle, TheHostsOwnChangesOnAnyRouteLeaveTheSessionsPlaceOfUse) {
  ASSERT_TRUE(hosttest::takeLock(m_fd, ++m_sequence));
  const struct {
    const char* what;
    std::vector<std::string> words;  // another console's request
  } cases[] = {
      {"a drive's flags set by name", {"storage-library", "43=512", "8=TapeLib1", "3=ma1", "78=Drive1", "82=2"}},
      {"a library renamed by name", {"storage-library", "43=32", "8=Disk1", "second.8=DiskLibX"}},
  };
  int round = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ++round;
    const auto [tape, disk, place] = readAgain();
    sql(logEntries(65000));
    console(c.words);
    sql(logEntries(10000));
    ASSERT_GT(std::stoll(sql("SELECT Pruned FROM MMConfigEpoch")), place) << "pruned past the session's place";
    EXPECT_EQ(rename(disk, "Disk" + std::to_string(round), "onMsgSetMMMagneticLibrary"),
              std::make_pair(1u, std::string("Success")));
    sql(libraryMadeAgain(1, "Again" + std::to_string(round)));
    EXPECT_EQ(rename(tape, "RenamedX"), std::make_pair(0u, std::string("No library with id [1].")));
    EXPECT_EQ(sql("SELECT AliasName FROM MMLibrary WHERE LibraryId = 1"), "Again" + std::to_string(round));
  }
}

// What leaves the change log as it was leaves the session's handles as
// they were: another connection's change of the schema (which has the
// host's statements compiled again), another host started and stopped on
// the file, and a row born at the very entry the session read at (the
// birth is the one the session read, not one after its place). Another
// console's requests by name, on a connection of their own that read the
// log before the change, come around it with 75,000 changes of another
// writer: the host follows the log through them, and the changes through
// the session's handles answer as they would without it.
TEST_F(HostStaleHandle, WhatKeepsTheLogKeepsTheHandles) {
  ASSERT_TRUE(hosttest::takeLock(m_fd, ++m_sequence));
  hosttest::PipedConsole other({"--socket", m_host.socket(), "--script", "-"}, true);
  ASSERT_TRUE(other.started());
  std::string tapeName = "TapeLib1";
  auto byName = [&] {
    const std::size_t from = other.printed().size();
    ASSERT_TRUE(other.send("storage-library 43=512 8=" + tapeName + " 3=ma1 78=Drive1 82=2\n" +
                           std::string(hosttest::kAnswersEndMarker) + "\n"));
    const std::size_t end = other.awaitEcho(hosttest::kAnswersEndMarker, from);
    ASSERT_NE(end, std::string::npos) << other.printed();
    EXPECT_NE(other.printed().substr(from, end - from).find("i70 (result code): 0\n"), std::string::npos)
        << other.printed().substr(from);
  };
  const struct {
    const char* what;
    bool beforeTheRead;
    std::function<void()> change;
  } cases[] = {
      {"a VACUUM", false, [&] { sql("VACUUM"); }},
      {"a table made", false, [&] { sql("CREATE TABLE AdminNotes (Note TEXT)"); }},
      {"an index made", false,
       [&] { sql("CREATE INDEX \"AdminVendorIndex\" ON \"MMVendorCatalogue\" (\"Vendor\")"); }},
      {"a table altered", false, [&] { sql("ALTER TABLE AdminNotes ADD COLUMN Author TEXT"); }},
      {"another host started and stopped", false,
       [&] {
         hosttest::Host second{m_dir,
                               m_dir.file("second.sock"),
                               {},
                               {{"TK_DB", m_dir.file("host.db")},
                                {"TK_LOCK_DIR", m_dir.file("locks")},
                                {"TK_LOG_DIR", m_dir.file("log2")}},
                               "second"};
         ASSERT_TRUE(second.up()) << second.log();
         second.stop();
       }},
      {"the library born at the entry the session read at", true,
       [&] {
         sql(libraryMadeAgain(2, "DiskLib1"));
         ASSERT_EQ(sql("SELECT Kind || ' ' || ObjectId || ' ' || Born FROM MMConfigChange ORDER BY Seq DESC LIMIT 1"),
                   std::to_string(static_cast<int>(MMStoredKind::Library)) + " 2 1");
       }},
  };
  const std::string epoch = sql("SELECT Epoch FROM MMConfigEpoch");
  int round = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string r = std::to_string(++round);
    if (c.beforeTheRead) c.change();
    const auto [tape, disk, place] = readAgain();
    byName();
    if (!c.beforeTheRead) c.change();
    sql(logEntries(65000));
    byName();
    sql(logEntries(10000));
    ASSERT_GT(std::stoll(sql("SELECT Pruned FROM MMConfigEpoch")), place) << "pruned past the session's place";
    EXPECT_EQ(rename(disk, "Disk" + r, "onMsgSetMMMagneticLibrary"), std::make_pair(1u, std::string("Success")));
    EXPECT_EQ(rename(tape, "Tape" + r), std::make_pair(1u, std::string("Success")));
    EXPECT_EQ(sql("SELECT AliasName FROM MMLibrary WHERE LibraryId IN (1, 2) ORDER BY LibraryId"),
              "Tape" + r + ";Disk" + r);
    tapeName = "Tape" + r;
  }
  EXPECT_EQ(sql("SELECT Epoch FROM MMConfigEpoch"), epoch) << "the log kept its history";
}

}  // namespace
