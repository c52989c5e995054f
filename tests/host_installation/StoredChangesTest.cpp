// Whatever the host answers "Success" for is stored: a connection of its
// own (whose configuration is read anew) and the host after a restart see
// the change, and the rows say where it went.
#include <gtest/gtest.h>

#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/external/Cipher.h"
#include "tests/host_installation/InstallationFixture.h"
#include "tests/mmconfig_control/ControlFixture.h"

namespace {

using installtest::bytesOf;
using installtest::handleOf;
using installtest::recordNamed;
using installtest::recordsOf;
using tktest::le32;
using Record = std::vector<tkwire::Item>;

int countNamed(const std::vector<Record>& records, uint32_t tag, const std::string& text) {
  int n = 0;
  for (const Record& record : records) {
    const std::string bytes = bytesOf(record, tag);
    if (bytes.size() >= 4 && bytes.substr(4) == text) ++n;
  }
  return n;
}

class HostStoredChanges : public installtest::InstallationFixture {
 protected:
  std::vector<Record> libraries(int fd, int64_t sequence) { return listing(fd, "onMsgGetMMLibraries", sequence); }
  // The first drive of the library and its first drive path, as listed.
  std::pair<Record, Record> firstDriveAndPath(int fd, uint64_t library, int64_t& sequence) {
    std::string drivesOnly(8, '\0');
    drivesOnly += le32(1);
    for (const Record& child : onObject(fd, "onMsgGetMMLibraryChildren", library, drivesOnly, sequence++)) {
      if (bytesOf(child, tktag::kDrive).rfind("(no item", 0) == 0) continue;
      const std::vector<Record> paths = onObject(fd, "onMsgGetMMDrives", handleOf(child), "", sequence++);
      return {child, paths.empty() ? Record{} : paths.front()};
    }
    return {};
  }
  long long setting(int kind, const std::string& name) {
    return m_db.scalar("SELECT COUNT(*) FROM \"MMObjectSetting\" WHERE \"Kind\" = ? AND \"Name\" = ?", {kind, name});
  }
};

// ---------------------------------------------------------------- control 55

TEST_F(HostStoredChanges, ControllerCopiesOfAnIPControllerAreStoredOnTheirLibraryAfterAReReadAndARestart) {
  const installtest::ConsoleRun added =
      script("lock\nadd-ip-controller ma2 ls1.example.net DEMO TAPE-9 LSLIB1 1 4\nunlock\n");
  ASSERT_EQ(added.status, 0) << added.out;
  const long long libraryId = m_db.scalar("SELECT \"LibraryId\" FROM \"MMLibrary\" WHERE \"LibraryName\" = 'DEMO TAPE-9'");
  ASSERT_GT(libraryId, 0);
  // The library's IP controllers, each with its library server.
  constexpr const char* kControllers =
      "SELECT COUNT(*) FROM \"MMLibraryController\" c JOIN \"MMObjectSetting\" i ON i.\"Kind\" = 2 AND "
      "i.\"ObjectId\" = c.\"LibraryControllerId\" AND i.\"Name\" = 'IPController' AND i.\"Value\" = '1' JOIN "
      "\"MMObjectSetting\" h ON h.\"Kind\" = 2 AND h.\"ObjectId\" = c.\"LibraryControllerId\" AND h.\"Name\" = "
      "'ServerHost' AND h.\"Value\" = 'ls1.example.net' WHERE c.\"LibraryId\" = ?";
  EXPECT_EQ(m_db.scalar(kControllers, {libraryId}), 1);

  // After a restart, and after a re-read of its own (control 70), the
  // library's IP controller is one to copy.
  ASSERT_TRUE(restart()) << host().log();
  const int fd = connect();
  ASSERT_GE(fd, 0);
  ASSERT_TRUE(hosttest::takeLock(fd));
  EXPECT_EQ(control(fd, 70, 0, 2), (std::vector<ctltest::Message>{ctltest::operationResponse(70, 1, "Success")}));
  const uint64_t library = handleOf(recordNamed(libraries(fd, 3), 2049, "DEMO TAPE-9"));
  ASSERT_NE(library, 0u);
  EXPECT_EQ(control(fd, 55, library, 4), (std::vector<ctltest::Message>{ctltest::operationResponse(55, 1, "Success")}));
  EXPECT_EQ(control(fd, 70, 0, 5), (std::vector<ctltest::Message>{ctltest::operationResponse(70, 1, "Success")}));
  EXPECT_EQ(countNamed(libraries(fd, 6), 2049, "DEMO TAPE-9"), 1);
  // Every shown agent has one now: a second copy adds none.
  EXPECT_EQ(control(fd, 55, library, 7), (std::vector<ctltest::Message>{ctltest::operationResponse(55, 1, "Success")}));
  EXPECT_TRUE(hosttest::releaseLock(fd, 8));
  ::close(fd);

  EXPECT_EQ(m_db.scalar("SELECT COUNT(*) FROM \"MMLibrary\" WHERE \"LibraryName\" = 'DEMO TAPE-9'"), 1);
  EXPECT_EQ(m_db.scalar(kControllers, {libraryId}), 2);
  EXPECT_EQ(m_db.scalar("SELECT COUNT(*) FROM \"MMLibraryController\" c JOIN \"APP_Client\" a ON a.\"id\" = "
                        "c.\"ClientId\" WHERE c.\"LibraryId\" = ? AND a.\"name\" = 'ma1' AND c.\"IsEnabled\" = 1",
                        {libraryId}),
            1);
}

// ---------------------------------------------------------------- item by item

struct Change {
  const char* name;
  // The change on connection `fd` (locked), from sequence 2 on.
  std::function<void(int fd)> make;
  // What a connection of its own sees, on `fd` (locked).
  std::function<void(int fd)> check;
};

TEST_F(HostStoredChanges, EveryChangeAnsweredSuccessIsSeenByANewConnectionAndAfterARestart) {
  const std::vector<ctltest::Message> success{ctltest::operationResponse(3, 1, "Success")};
  auto tapeLibrary = [&](int fd) { return recordNamed(libraries(fd, 2), 2049, "TapeLib1"); };
  const std::vector<Change> changes = {
      {"library settings (operation 3)",
       [&](int fd) {
         std::string s;
         tkwire::appendU32(s, 4001, 3);
         tkwire::appendU64(s, 11003, handleOf(tapeLibrary(fd)));
         tkwire::appendU32(s, 11009, 4);
         tkwire::appendU32(s, 11164, 1);
         tkwire::appendU32(s, 11414, 1);
         tkwire::appendU32(s, 11431, 1);
         tkwire::appendU32(s, 11416, 6);
         tkwire::appendElement(s, 11417, "VOLRANGE-XYZ");
         tkwire::appendU32(s, 11432, 2);
         tkwire::appendU32(s, 2052, 0);
         EXPECT_EQ(set(fd, "onMsgSetMMLibrary", s, 10, 3), success);
       },
       [&](int fd) {
         const Record r = tapeLibrary(fd);
         EXPECT_EQ(bytesOf(r, tktag::kDriveCount), le32(4));
         EXPECT_EQ(bytesOf(r, 11164), le32(1));
         EXPECT_EQ(bytesOf(r, 11414), le32(1));
         EXPECT_EQ(bytesOf(r, 11415), le32(0));
         EXPECT_EQ(bytesOf(r, 11431), le32(1));
         EXPECT_EQ(bytesOf(r, 11416), le32(6));
         EXPECT_EQ(bytesOf(r, 11417), "VOLRANGE-XYZ");
         EXPECT_EQ(bytesOf(r, 11432), le32(2));
         EXPECT_EQ(m_db.scalar("SELECT \"DriveCount\" * 100 + \"LibraryAttribute\" * 10 + \"VTLType\" FROM "
                                 "\"MMLibrary\" WHERE \"LibraryId\" = 1"),
                   462);
       }},
      {"automatic discovery (operation 84)",
       [&](int fd) {
         std::string s;
         tkwire::appendU32(s, 4001, 84);
         tkwire::appendU64(s, 11003, handleOf(tapeLibrary(fd)));
         tkwire::appendU32(s, 11178, 1);
         tkwire::appendU32(s, 2052, 0);
         EXPECT_EQ(set(fd, "onMsgSetMMLibrary", s, 4, 3),
                   (std::vector<ctltest::Message>{ctltest::operationResponse(84, 1, "Success")}));
       },
       [&](int fd) { EXPECT_EQ(bytesOf(tapeLibrary(fd), 11179), le32(1)); }},
      {"drive and drive path (drive operation 3)",
       [&](int fd) {
         int64_t sequence = 3;
         const auto [drive, path] = firstDriveAndPath(fd, handleOf(tapeLibrary(fd)), sequence);
         ASSERT_NE(handleOf(path), 0u);
         std::string s;
         tkwire::appendU32(s, 4001, 3);
         tkwire::appendU64(s, 11003, handleOf(path));
         tkwire::appendElement(s, 11023, "drive text");
         tkwire::appendElement(s, 11024, "/dev/nst9");
         tkwire::appendElement(s, 11135, "ACS-0,1,2,3");
         tkwire::appendU32(s, 2052, 0);
         EXPECT_EQ(set(fd, "onMsgSetMMDrive", s, 6, sequence), success);
       },
       [&](int fd) {
         int64_t sequence = 3;
         const auto [drive, path] = firstDriveAndPath(fd, handleOf(tapeLibrary(fd)), sequence);
         EXPECT_EQ(bytesOf(path, 11023), "drive text");
         EXPECT_EQ(bytesOf(path, 11024), "/dev/nst9");
         EXPECT_EQ(setting(5, "DriveIdString"), 1);
       }},
      {"replacement and host move (control 61 and 118)",
       [&](int fd) {
         // The first drive's first path gives its place to the second
         // drive's first path, which then moves to another host.
         int64_t sequence = 3;
         const uint64_t library = handleOf(tapeLibrary(fd));
         std::string drivesOnly(8, '\0');
         drivesOnly += le32(1);
         std::vector<uint64_t> paths;
         for (const Record& child : onObject(fd, "onMsgGetMMLibraryChildren", library, drivesOnly, sequence++)) {
           if (bytesOf(child, tktag::kDrive).rfind("(no item", 0) == 0) continue;
           const std::vector<Record> found = onObject(fd, "onMsgGetMMDrives", handleOf(child), "", sequence++);
           if (!found.empty()) paths.push_back(handleOf(found.front()));
         }
         ASSERT_EQ(paths.size(), 2u);
         auto last = [](const std::vector<ctltest::Message>& m) { return m.empty() ? ctltest::Message{} : m.back(); };
         std::string replace;
         tkwire::appendU32(replace, 4001, 61);
         tkwire::appendU64(replace, 11003, paths[0]);
         tkwire::appendU64(replace, tktag::kDiskDeviceHandle, paths[1]);
         tkwire::appendU32(replace, 2052, 0);
         EXPECT_EQ(last(set(fd, "onMsgSetMMControl", replace, 4, sequence++)),
                   ctltest::operationResponse(61, 1, "Success"));
         std::string move;
         tkwire::appendU32(move, 4001, 118);
         tkwire::appendU64(move, 11003, paths[1]);
         tkwire::appendElement(move, tktag::kMediaAgent, le32(0) + "newhost.example.net");
         tkwire::appendU32(move, 2052, 0);
         EXPECT_EQ(last(set(fd, "onMsgSetMMControl", move, 4, sequence++)),
                   ctltest::operationResponse(118, 1, "Success"));
       },
       [&](int) {
         EXPECT_EQ(m_db.text("SELECT group_concat(\"IsEnabled\", ',') FROM (SELECT \"IsEnabled\" FROM "
                             "\"MMDrivePath\" WHERE \"ClientId\" = 1 ORDER BY \"DriveId\")"),
                   "0,1");
         EXPECT_EQ(m_db.text("SELECT \"Value\" FROM \"MMObjectSetting\" WHERE \"Kind\" = 6 AND \"Name\" = "
                             "'ServerHost'"),
                   "newhost.example.net");
       }},
      {"a network share's remote-host settings (disk volume operation 1)",
       [&](int fd) {
         std::string s;
         tkwire::appendU32(s, 4001, 1);
         tkwire::appendElement(s, tktag::kMediaAgent, le32(1) + "ma1");
         tkwire::appendElement(s, tktag::kPath, "//nas1/share");
         tkwire::appendElement(s, tktag::kUserName, tkcipher::encrypt("backup"));
         tkwire::appendElement(s, tktag::kPassword, tkcipher::encrypt("s3cret"));
         tkwire::appendU32(s, 2052, 0);
         EXPECT_EQ(set(fd, "onMsgSetDiskVolume", s, 6, 3),
                   (std::vector<ctltest::Message>{ctltest::operationResponse(1, 1, "Success")}));
       },
       [&](int) {
         const std::string settings = m_db.text(
             "SELECT group_concat(\"Name\" || '=' || CASE WHEN \"Name\" = 'RemoteHostPassword' THEN "
             "(\"Value\" <> 's3cret' AND \"Value\" <> '') ELSE \"Value\" END, ',') FROM (SELECT * FROM "
             "\"MMObjectSetting\" WHERE \"Kind\" = 8 ORDER BY \"Name\")");
         EXPECT_EQ(settings,
                   "GuidType=999,RemoteFileHost=1,RemoteHostPassword=1,RemoteHostUserName=backup,"
                   "RemoteHostVolume=//nas1/share");
       }},
      {"vault lock (storage-library operation 4096)",
       [&](int) {
         const installtest::ConsoleRun run = console({"storage-library", "43=4096", "23=1", "69=30"});
         EXPECT_EQ(run.status, 0) << run.out;
       },
       [&](int) {
         EXPECT_EQ(m_db.scalar("SELECT \"Value\" FROM \"MMObjectSetting\" WHERE \"Kind\" = 9 AND \"Name\" = "
                                 "'VaultLock'"),
                   30);
       }},
  };
  for (const Change& change : changes) {
    SCOPED_TRACE(change.name);
    int fd = connect();
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(hosttest::takeLock(fd));
    change.make(fd);
    EXPECT_TRUE(hosttest::releaseLock(fd, 90));
    ::close(fd);
    for (const char* when : {"a new connection", "after a restart"}) {
      SCOPED_TRACE(when);
      if (std::string(when) == "after a restart") {
        ASSERT_TRUE(restart()) << host().log();
      }
      fd = connect();
      ASSERT_GE(fd, 0);
      ASSERT_TRUE(hosttest::takeLock(fd));
      change.check(fd);
      EXPECT_TRUE(hosttest::releaseLock(fd, 91));
      ::close(fd);
    }
  }
}

}  // namespace
