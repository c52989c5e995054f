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
#include "tests/support/ModelDump.h"

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
  // The configuration as a new session loads it from the host's database:
  // values no answer carries are read back from what the loader laid back.
  static std::string loadedModel() {
    ZQMACMediaConfig config;
    EXPECT_TRUE(config.Initialize("cs01.example.net"));
    EXPECT_TRUE(config.ReadCurrentConfig(false)) << config.GetLastError();
    return tktest::ModelDump::of(config);
  }
  // The vault locks of the loaded disk volumes that have one, in load order.
  static std::string loadedVaultLocks() {
    ZQMACMediaConfig config;
    EXPECT_TRUE(config.Initialize("cs01.example.net"));
    EXPECT_TRUE(config.ReadCurrentConfig(false)) << config.GetLastError();
    std::string locks;
    ZQMACLinkedList<ZQMACDiskDevice> devices = config.GetDiskDeviceList();
    for (ZQMACDiskDevice* d = devices.GetFirstNode(); d != nullptr; d = devices.GetNextNode()) {
      ZQMACLinkedList<ZQMACDiskVolume> volumes = d->GetVolumeList();
      for (ZQMACDiskVolume* v = volumes.GetFirstNode(); v != nullptr; v = volumes.GetNextNode())
        if (v->GetVaultLock() != 0) locks += (locks.empty() ? "" : " ") + std::to_string(v->GetVaultLock());
    }
    return locks;
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

// Each change is made twice, the second time with other values (round 1),
// so that a write that keeps the first value shows.
struct Change {
  const char* name;
  // The change on connection `fd` (locked), from sequence 2 on.
  std::function<void(int fd, int round)> make;
  // What a connection of its own sees, on `fd` (locked).
  std::function<void(int fd, int round)> check;
  // A change that adds an object is made once.
  int rounds = 2;
};

TEST_F(HostStoredChanges, EveryChangeAnsweredSuccessIsSeenByANewConnectionAndAfterARestart) {
  const std::vector<ctltest::Message> success{ctltest::operationResponse(3, 1, "Success")};
  auto tapeLibrary = [&](int fd) { return recordNamed(libraries(fd, 2), 2049, "TapeLib1"); };
  const std::vector<Change> changes = {
      {"library settings (operation 3)",
       [&](int fd, int round) {
         std::string s;
         tkwire::appendU32(s, 4001, 3);
         tkwire::appendU64(s, 11003, handleOf(tapeLibrary(fd)));
         tkwire::appendU32(s, 11009, round == 0 ? 4 : 3);
         tkwire::appendU32(s, 11164, 1);
         tkwire::appendU32(s, 11414, 1);
         tkwire::appendU32(s, 11431, 1);
         tkwire::appendU32(s, 11416, round == 0 ? 6 : 7);
         tkwire::appendElement(s, 11417, round == 0 ? "VOLRANGE-XYZ" : "VOLRANGE-UVW");
         tkwire::appendU32(s, 11432, 2);
         tkwire::appendU32(s, 2052, 0);
         EXPECT_EQ(set(fd, "onMsgSetMMLibrary", s, 10, 3), success);
       },
       [&](int fd, int round) {
         const Record r = tapeLibrary(fd);
         EXPECT_EQ(bytesOf(r, tktag::kDriveCount), le32(round == 0 ? 4 : 3));
         EXPECT_EQ(bytesOf(r, 11164), le32(1));
         EXPECT_EQ(bytesOf(r, 11414), le32(1));
         EXPECT_EQ(bytesOf(r, 11415), le32(0));
         EXPECT_EQ(bytesOf(r, 11431), le32(1));
         EXPECT_EQ(bytesOf(r, 11416), le32(round == 0 ? 6 : 7));
         EXPECT_EQ(bytesOf(r, 11417), round == 0 ? "VOLRANGE-XYZ" : "VOLRANGE-UVW");
         EXPECT_EQ(bytesOf(r, 11432), le32(2));
         EXPECT_EQ(m_db.scalar("SELECT \"DriveCount\" * 100 + \"LibraryAttribute\" * 10 + \"VTLType\" FROM "
                                 "\"MMLibrary\" WHERE \"LibraryId\" = 1"),
                   round == 0 ? 462 : 372);
       }},
      {"automatic discovery (operation 84)",
       [&](int fd, int round) {
         std::string s;
         tkwire::appendU32(s, 4001, 84);
         tkwire::appendU64(s, 11003, handleOf(tapeLibrary(fd)));
         tkwire::appendU32(s, 11178, round == 0 ? 1 : 0);
         tkwire::appendU32(s, 2052, 0);
         EXPECT_EQ(set(fd, "onMsgSetMMLibrary", s, 4, 3),
                   (std::vector<ctltest::Message>{ctltest::operationResponse(84, 1, "Success")}));
       },
       [&](int fd, int round) { EXPECT_EQ(bytesOf(tapeLibrary(fd), 11179), le32(round == 0 ? 1 : 0)); }},
      {"drive and drive path (drive operation 3)",
       [&](int fd, int round) {
         int64_t sequence = 3;
         const auto [drive, path] = firstDriveAndPath(fd, handleOf(tapeLibrary(fd)), sequence);
         ASSERT_NE(handleOf(path), 0u);
         std::string s;
         tkwire::appendU32(s, 4001, 3);
         tkwire::appendU64(s, 11003, handleOf(path));
         tkwire::appendElement(s, 11023, round == 0 ? "drive text" : "drive text 2");
         tkwire::appendElement(s, 11024, round == 0 ? "/dev/nst9" : "/dev/nst10");
         tkwire::appendElement(s, 11135, round == 0 ? "ACS-0,1,2,3" : "ACS-0,1,2,4");
         tkwire::appendU32(s, 2052, 0);
         EXPECT_EQ(set(fd, "onMsgSetMMDrive", s, 6, sequence), success);
       },
       [&](int fd, int round) {
         int64_t sequence = 3;
         const auto [drive, path] = firstDriveAndPath(fd, handleOf(tapeLibrary(fd)), sequence);
         EXPECT_EQ(bytesOf(path, 11023), round == 0 ? "drive text" : "drive text 2");
         EXPECT_EQ(bytesOf(path, 11024), round == 0 ? "/dev/nst9" : "/dev/nst10");
         // No answer carries the drive id of a library without a silo
         // controller: the loaded model and its row do.
         const std::string driveId = round == 0 ? "ACS-0,1,2,3" : "ACS-0,1,2,4";
         EXPECT_NE(loadedModel().find(" driveid=" + driveId + " "), std::string::npos);
         EXPECT_EQ(m_db.text("SELECT \"Value\" FROM \"MMObjectSetting\" WHERE \"Kind\" = 5 AND \"Name\" = "
                             "'DriveIdString'"),
                   driveId);
       }},
      {"replacement and host move (control 61 and 118)",
       [&](int fd, int round) {
         // The first drive's first path gives its place to the second
         // drive's first path, which then moves to another host (the
         // second time, only to a third host).
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
         if (round == 0) {
           std::string replace;
           tkwire::appendU32(replace, 4001, 61);
           tkwire::appendU64(replace, 11003, paths[0]);
           tkwire::appendU64(replace, tktag::kDiskDeviceHandle, paths[1]);
           tkwire::appendU32(replace, 2052, 0);
           EXPECT_EQ(last(set(fd, "onMsgSetMMControl", replace, 4, sequence++)),
                     ctltest::operationResponse(61, 1, "Success"));
         }
         std::string move;
         tkwire::appendU32(move, 4001, 118);
         tkwire::appendU64(move, 11003, paths[1]);
         tkwire::appendElement(move, tktag::kMediaAgent,
                               le32(0) + (round == 0 ? "newhost.example.net" : "thirdhost.example.net"));
         tkwire::appendU32(move, 2052, 0);
         EXPECT_EQ(last(set(fd, "onMsgSetMMControl", move, 4, sequence++)),
                   ctltest::operationResponse(118, 1, "Success"));
       },
       [&](int, int round) {
         EXPECT_EQ(m_db.text("SELECT group_concat(\"IsEnabled\", ',') FROM (SELECT \"IsEnabled\" FROM "
                             "\"MMDrivePath\" WHERE \"ClientId\" = 1 ORDER BY \"DriveId\")"),
                   "0,1");
         // No answer carries a drive path's server host: the loaded model
         // and its row do.
         const std::string host = round == 0 ? "newhost.example.net" : "thirdhost.example.net";
         EXPECT_NE(loadedModel().find(" server=" + host + " "), std::string::npos);
         EXPECT_EQ(m_db.text("SELECT \"Value\" FROM \"MMObjectSetting\" WHERE \"Kind\" = 6 AND \"Name\" = "
                             "'ServerHost'"),
                   host);
       }},
      {"a network share's remote-host settings (disk volume operation 1)",
       [&](int fd, int) {
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
       [&](int, int) {
         const std::string settings = m_db.text(
             "SELECT group_concat(\"Name\" || '=' || CASE WHEN \"Name\" = 'RemoteHostPassword' THEN "
             "(\"Value\" <> 's3cret' AND \"Value\" <> '') ELSE \"Value\" END, ',') FROM (SELECT * FROM "
             "\"MMObjectSetting\" WHERE \"Kind\" = 8 ORDER BY \"Name\")");
         EXPECT_EQ(settings,
                   "GuidType=999,RemoteFileHost=1,RemoteHostPassword=1,RemoteHostUserName=backup,"
                   "RemoteHostVolume=//nas1/share");
       },
       1},
      {"vault lock (storage-library operation 4096)",
       [&](int, int round) {
         const installtest::ConsoleRun run =
             console({"storage-library", "43=4096", "23=1", round == 0 ? "69=30" : "69=45"});
         EXPECT_EQ(run.status, 0) << run.out;
       },
       [&](int, int round) {
         // No answer carries a vault lock: the loaded model and its row do.
         const int days = round == 0 ? 30 : 45;
         EXPECT_EQ(loadedVaultLocks(), std::to_string(days));
         EXPECT_EQ(m_db.scalar("SELECT \"Value\" FROM \"MMObjectSetting\" WHERE \"Kind\" = 9 AND \"Name\" = "
                                 "'VaultLock'"),
                   days);
       }},
  };
  for (const Change& change : changes) {
    SCOPED_TRACE(change.name);
    for (int round = 0; round < change.rounds; ++round) {
      SCOPED_TRACE(round);
      int fd = connect();
      ASSERT_GE(fd, 0);
      ASSERT_TRUE(hosttest::takeLock(fd));
      change.make(fd, round);
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
        change.check(fd, round);
        EXPECT_TRUE(hosttest::releaseLock(fd, 91));
        ::close(fd);
      }
    }
  }
}

}  // namespace
