// What the host deletes, it deletes whole: after every deletion route a
// console has (drag and drop, the control request's removals, the
// storage-library deletions, the replication-store deletion) no row points
// at a row that is gone. Beside them, the refusals that keep a request
// within what it names (a replication-store deletion of another kind of
// library, a vault lock of another library's vault), the create-device
// reply, and mount-path ids that are never given twice.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>

#include "tests/host_installation/InstallationFixture.h"
#include "tests/mmconfig_control/ControlFixture.h"
#include "tests/support/DatabaseDump.h"
#include "tests/support/ReferenceCheck.h"

namespace {

using installtest::bytesOf;
using installtest::handleOf;
using installtest::recordNamed;
using installtest::recordsOf;
using tktest::le32;
using Record = std::vector<tkwire::Item>;

class HostDeletions : public installtest::InstallationFixture {
 protected:
  long long libraryId(const std::string& name) {
    return m_db.scalar("SELECT \"LibraryId\" FROM \"MMLibrary\" WHERE \"AliasName\" = ?", {name});
  }

  // On a connection of its own with the lock: the control request's
  // `operation` on the library `name` as the library listing shows it,
  // after `before` (detection and the like, sequence numbers from 10).
  std::vector<ctltest::Message> controlOnLibrary(uint32_t operation, const std::string& name,
                                                 const std::function<void(int)>& before = {}) {
    const int fd = connect();
    EXPECT_GE(fd, 0);
    if (fd < 0 || !hosttest::takeLock(fd)) return {};
    if (before) before(fd);
    const Record library = recordNamed(listing(fd, "onMsgGetMMLibraries", 2), 2049, name);
    EXPECT_FALSE(library.empty()) << name;
    const std::vector<ctltest::Message> answers = control(fd, operation, handleOf(library), 3);
    EXPECT_TRUE(hosttest::releaseLock(fd, 4));
    ::close(fd);
    return answers;
  }

  // The replication-store library request (XML) as the console sends it.
  installtest::ConsoleRun rpStoreRequest(const std::string& xml) {
    const std::string path = m_dir.file("rpstore" + std::to_string(m_runs) + ".xml");
    std::ofstream(path) << xml;
    return console({"--xml", "0x0D64B786", "HandleMMConfigMgrXmlMsg", "--xml-file", path});
  }

  // A replication-store library as its creation leaves one: type 10, a
  // mount path on a device of its own, the store and a property of it.
  long long addReplicationStoreLibrary() {
    EXPECT_EQ(m_db.exec("INSERT INTO \"MMLibrary\" (\"LibraryName\", \"AliasName\", \"LibraryTypeId\", "
                        "\"LibraryEnabled\") VALUES ('RPLib', 'RPLib', 10, 1)"),
              0);
    const long long library = libraryId("RPLib");
    EXPECT_EQ(m_db.exec("INSERT INTO \"MMMasterPool\" (\"LibraryId\", \"MasterPoolName\") VALUES (?, 'MP(RPLib)')",
                        {library}),
              0);
    EXPECT_EQ(m_db.exec("INSERT INTO \"MMDevice\" (\"DeviceTypeId\", \"AliasName\", \"DeviceEnabled\") VALUES "
                        "(1, 'RPLib device', 1)"),
              0);
    EXPECT_EQ(m_db.exec("INSERT INTO \"MMMountPath\" (\"MountPathName\", \"IsEnabled\", \"MountPathTypeId\", "
                        "\"MasterPoolId\", \"LibraryId\") VALUES ('/srv/rp/mp1', 1, 1, (SELECT \"MasterPoolId\" FROM "
                        "\"MMMasterPool\" WHERE \"LibraryId\" = ?1), ?1)",
                        {library}),
              0);
    EXPECT_EQ(m_db.exec("INSERT INTO \"MMMountPathToStorageDevice\" (\"MountPathId\", \"DeviceId\") VALUES ("
                        "(SELECT MAX(\"MountPathId\") FROM \"MMMountPath\"), (SELECT MAX(\"DeviceId\") FROM "
                        "\"MMDevice\"))"),
              0);
    EXPECT_EQ(m_db.exec("INSERT INTO \"MMRPStoreConfig\" (\"Name\", \"LibraryId\", \"MountPathId\") VALUES "
                        "('store1', ?, (SELECT MAX(\"MountPathId\") FROM \"MMMountPath\"))",
                        {library}),
              0);
    EXPECT_EQ(m_db.exec("INSERT INTO \"MMRPStoreProp\" (\"RPStoreId\", \"PropName\", \"PropValue\") VALUES "
                        "((SELECT MAX(\"RPStoreId\") FROM \"MMRPStoreConfig\"), 'OffPeak Schedule', '')"),
              0);
    return library;
  }

  std::string rpStoreDelete(long long library) {
    return "<EVGui_RPStoreLibraryReq i4=\"2\"><EVGui_StorageLibraryInfo tag=\"3\" i1=\"" + std::to_string(library) +
           "\"/></EVGui_RPStoreLibraryReq>";
  }
};

// ---- no orphans ----------------------------------------------------------

TEST_F(HostDeletions, NoDeletionRouteLeavesARowPointingAtNothing) {
  const std::vector<ctltest::Message> success{ctltest::operationResponse(2, 1, "Success")};
  struct Route {
    const char* name;
    std::function<void()> run;
    const char* gone;  // the library the route removes ("" when it removes none)
  };
  const std::vector<Route> routes{
      {"drag and drop: a detected drive path dropped on nothing",
       [&] {
         attachLibraryToMa1();
         const int fd = connect();
         ASSERT_GE(fd, 0);
         ASSERT_TRUE(hosttest::takeLock(fd));
         detect(fd, "ma1", true, 2);
         const Record path =
             recordNamed(listing(fd, "onMsgGetMMDetectedDrives", 3), 2240, "ACME LTO-8 [D-0001] /dev/nst7 on ma1");
         ASSERT_FALSE(path.empty());
         tkwire::StreamRequest request;
         request.handler = "onMsgMMDragNDrop";
         request.sequence = 4;
         request.firstField = handleOf(path);
         request.stream = le32(0) + le32(0) + le32(0) + le32(1);
         EXPECT_EQ(ctltest::messagesOf(hosttest::sendAndRead(fd, tkwire::encodeStreamRequest(request)), 4),
                   (std::vector<ctltest::Message>{ctltest::operationResponse(52, 1, "Success")}));
         EXPECT_TRUE(hosttest::releaseLock(fd, 5));
         ::close(fd);
         EXPECT_GT(libraryId("TL-8_TL8-0001"), 0);
       },
       ""},
      {"control 2: the dropped library removed",
       [&] {
         EXPECT_EQ(controlOnLibrary(2, "TL-8_TL8-0001"), success);
       },
       "TL-8_TL8-0001"},
      {"control 44: a configured library removed with force",
       [&] {
         const std::vector<ctltest::Message> answers = controlOnLibrary(44, "TAPE-4_LIB0004", [&](int fd) {
           detect(fd, "ma2", true, 10);
           const Record controller = recordNamed(listing(fd, "onMsgGetMMDetectedLibraries", 11), 8215,
                                                 "DEMO TAPE-4 [LIB0004] /dev/sg4 on ma2");
           ASSERT_FALSE(controller.empty());
           EXPECT_EQ(control(fd, 48, handleOf(controller), 12),
                     (std::vector<ctltest::Message>{ctltest::operationResponse(48, 1, "Success")}));
         });
         EXPECT_EQ(answers, (std::vector<ctltest::Message>{ctltest::operationResponse(44, 1, "Success")}));
       },
       "TAPE-4_LIB0004"},
      {"storage-library 43=2: the tape library with its drives, pools and drive paths",
       [&] {
         const installtest::ConsoleRun run = console({"storage-library", "43=2", "8=TapeLib1", "request.6=1"});
         EXPECT_NE(run.out.find("xml len 36: <EVGui_ConfigureStorageLibraryResp/>"), std::string::npos) << run.out;
       },
       "TapeLib1"},
      {"replication-store delete: the library with its mount path and store",
       [&] {
         const long long library = addReplicationStoreLibrary();
         const installtest::ConsoleRun run = rpStoreRequest(rpStoreDelete(library));
         EXPECT_EQ(run.status, 0) << run.out;
       },
       "RPLib"},
      {"storage-library 43=8192: the disk library with its mount paths, by force",
       [&] {
         const installtest::ConsoleRun run =
             console({"storage-library", "43=8192", "1=2", "8=DiskLib1", "request.6=1"});
         EXPECT_EQ(run.status, 0) << run.out;
       },
       "DiskLib1"},
  };
  for (const Route& route : routes) {
    SCOPED_TRACE(route.name);
    route.run();
    if (*route.gone != '\0') {
      EXPECT_EQ(m_db.scalar("SELECT COUNT(*) FROM \"MMLibrary\" WHERE \"AliasName\" = ?", {route.gone}), 0);
    }
    EXPECT_EQ(tktest::danglingReferences(), "");
  }
  // Every library went, and with it every drive path and mount path.
  EXPECT_EQ(m_db.scalar("SELECT COUNT(*) FROM \"MMLibrary\""), 0);
  EXPECT_EQ(m_db.scalar("SELECT COUNT(*) FROM \"MMDrivePath\""), 0);
  EXPECT_EQ(m_db.scalar("SELECT COUNT(*) FROM \"MMMountPath\""), 0);
}

// ---- refusals --------------------------------------------------------------

TEST_F(HostDeletions, TheReplicationStoreDeleteOfATapeLibraryIsRefusedNamingItAndRemovesNothing) {
  const tktest::DatabaseDump before = tktest::DatabaseDump::take();
  const installtest::ConsoleRun run = rpStoreRequest(rpStoreDelete(1));
  EXPECT_NE(run.out.find("<EVGui_GenericResp i1=\"-1\" s2=\"Library [TapeLib1] is not a replication-store library; "
                         "nothing was deleted.\"/>"),
            std::string::npos)
      << run.out;
  const tktest::DatabaseDump after = tktest::DatabaseDump::take();
  EXPECT_EQ(after, before) << tktest::DatabaseDump::describeChanges(before, after);
}

TEST_F(HostDeletions, AVaultLockActsOnlyOnAVaultOfTheLibraryTheRequestNames) {
  ASSERT_EQ(m_db.exec("INSERT INTO \"MMLibrary\" (\"LibraryName\", \"AliasName\", \"LibraryTypeId\", "
                      "\"LibraryEnabled\") VALUES ('DiskLibB', 'DiskLibB', 3, 1)"),
            0);
  const std::string libraryB = std::to_string(libraryId("DiskLibB"));
  const struct {
    const char* object;
    const char* refusal;
  } kCases[] = {
      {"23=1", "Mount path [1] does not belong to library [DiskLibB]; nothing was changed."},
      {"53=1", "Device [1] holds no mount path of library [DiskLibB]; nothing was changed."},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.object);
    const tktest::DatabaseDump before = tktest::DatabaseDump::take();
    const installtest::ConsoleRun run =
        console({"storage-library", "43=4096", "1=" + libraryB, "8=DiskLibB", c.object, "69=30"});
    EXPECT_NE(run.out.find(std::string("s2=\"") + c.refusal + "\""), std::string::npos) << run.out;
    const tktest::DatabaseDump after = tktest::DatabaseDump::take();
    EXPECT_EQ(after, before) << tktest::DatabaseDump::describeChanges(before, after);
  }
  // The library's own vault, by mount path and by device.
  for (const char* object : {"23=1", "53=1"}) {
    SCOPED_TRACE(object);
    const long long audits = m_db.scalar("SELECT COUNT(*) FROM \"AuditTrailRecord\"");
    const installtest::ConsoleRun run = console({"storage-library", "43=4096", "8=DiskLib1", object, "69=30"});
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(m_db.scalar("SELECT COUNT(*) FROM \"AuditTrailRecord\""), audits + 1);
  }
}

// ---- replies and ids ---------------------------------------------------------

TEST_F(HostDeletions, TheCreateDeviceReplyCarriesTheMountPathTheDataServerAccessCleared) {
  const installtest::ConsoleRun run =
      console({"storage-library", "43=256", "3=ma1", "55=DiskLib1 device 2", "54=16", "24=/ignored"});
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(run.out.find("/ignored"), std::string::npos) << run.out;
  EXPECT_EQ(m_db.scalar("SELECT COUNT(*) FROM \"MMDeviceController\" WHERE \"Folder\" = '/ignored'"), 0);
}

TEST_F(HostDeletions, AMountPathIdIsNotGivenAgainAfterItsMountPathWasDeleted) {
  auto add = [&](const char* folder) {
    const installtest::ConsoleRun run = console({"storage-library", "43=4", "8=DiskLib1", "3=ma1",
                                                 std::string("24=") + folder});
    EXPECT_EQ(run.status, 0) << run.out;
    return m_db.scalar("SELECT MAX(\"MountPathId\") FROM \"MMMountPath\"");
  };
  const long long first = add("/srv/disklib1/mp3");
  ASSERT_EQ(first, 3);
  const installtest::ConsoleRun removed = console(
      {"storage-library", "43=16", "1=2", "8=DiskLib1", "7=1", "23=3", "24=/srv/disklib1/mp3"});
  EXPECT_EQ(removed.status, 0) << removed.out;
  ASSERT_EQ(m_db.scalar("SELECT COUNT(*) FROM \"MMMountPath\" WHERE \"MountPathId\" = 3"), 0);
  EXPECT_EQ(add("/srv/disklib1/mp4"), 4);
}

}  // namespace
