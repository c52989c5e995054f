// Values the model keeps among its own settings, changed through the real
// tkhost: a new connection after a re-read (control 70) and the host after
// a restart list what the change answered "Success" for.
#include <gtest/gtest.h>

#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "frame/ElementTags.h"
#include "tests/host_installation/InstallationFixture.h"
#include "tests/mmconfig_control/ControlFixture.h"

namespace {

using installtest::bytesOf;
using installtest::handleOf;
using installtest::recordNamed;
using tktest::le32;
using Record = std::vector<tkwire::Item>;

class HostStoredSettings : public installtest::InstallationFixture {
 protected:
  struct Row {
    const char* name;
    std::vector<std::string> sql;  // what an administrator set up first
    std::function<void(int fd, int64_t& sequence)> make;   // on a connection without the lock
    std::function<void(int fd, int64_t& sequence)> check;  // locked, after a re-read
  };

  Record library(int fd, const std::string& name, int64_t& sequence) {
    return recordNamed(listing(fd, "onMsgGetMMLibraries", sequence++), tktag::kLibrary, name);
  }

  void rereadOn(int fd, int64_t& sequence) {
    EXPECT_EQ(control(fd, 70, 0, sequence++),
              (std::vector<ctltest::Message>{ctltest::operationResponse(70, 1, "Success")}));
  }

  // Each row's change, then its check on a new connection after a re-read
  // and after a restart.
  void run(const std::vector<Row>& rows) {
    for (const Row& row : rows) {
      SCOPED_TRACE(row.name);
      for (const std::string& sql : row.sql) ASSERT_EQ(m_db.exec(sql), 0) << sql;
      int64_t sequence = 2;
      int fd = connect();
      ASSERT_GE(fd, 0);
      row.make(fd, sequence);
      ::close(fd);
      for (const bool restarted : {false, true}) {
        SCOPED_TRACE(restarted ? "after a restart" : "a new connection after control 70");
        if (restarted) {
          ASSERT_TRUE(restart()) << host().log();
        }
        fd = connect();
        ASSERT_GE(fd, 0);
        ASSERT_TRUE(hosttest::takeLock(fd));
        sequence = 2;
        rereadOn(fd, sequence);
        row.check(fd, sequence);
        EXPECT_TRUE(hosttest::releaseLock(fd, sequence++));
        ::close(fd);
      }
    }
  }
};

TEST_F(HostStoredSettings, AVolumeRangeAControllersSCSIBusAndADiskLibrarysPnpBitReadBackAsAnsweredSuccess) {
  const std::vector<Row> rows = {
      {"the volume range of a new IP controller's library (library operation 55)",
       {},
       [&](int, int64_t&) {
         const installtest::ConsoleRun added = script(
             "lock\nadd-ip-controller ma2 ls1.example.net DEMO TAPE-9 LSLIB1 1 4 11417=VOLRANGE-55\nunlock\n");
         EXPECT_EQ(added.status, 0) << added.out;
       },
       [&](int fd, int64_t& sequence) {
         EXPECT_EQ(bytesOf(library(fd, "DEMO TAPE-9", sequence), tktag::kVolumeRange), "VOLRANGE-55");
       }},
      {"the first controller takes another's SCSI bus, type and text (library operation 3, 11007)",
       {"INSERT INTO \"MMLibraryController\" (\"ControllerName\", \"ClientId\", \"LibraryId\", \"IsActive\", "
        "\"IsEnabled\", \"ControllerType\") VALUES ('/dev/sg9', 2, 1, 0, 1, 2)",
        "INSERT INTO \"MMObjectSetting\" SELECT 2, MAX(\"LibraryControllerId\"), 'ScsiAddress', '5' FROM "
        "\"MMLibraryController\"",
        "INSERT INTO \"MMObjectSetting\" SELECT 2, MAX(\"LibraryControllerId\"), 'ControllerText', 'sg9 text' FROM "
        "\"MMLibraryController\""},
       [&](int fd, int64_t& sequence) {
         ASSERT_TRUE(hosttest::takeLock(fd));
         rereadOn(fd, sequence);
         const uint64_t tape = handleOf(library(fd, "TapeLib1", sequence));
         ASSERT_NE(tape, 0u);
         uint32_t source = 0;
         for (const Record& r : onObject(fd, "onMsgGetMMLibraryControllers", tape, "", sequence++)) {
           const std::string item = bytesOf(r, tktag::kController);
           if (item.size() > 4 && item.substr(4) == "sg9 text") source = tkwire::Item{0, item.substr(0, 4)}.u32();
         }
         ASSERT_NE(source, 0u);
         std::string s;
         tkwire::appendU32(s, 4001, 3);
         tkwire::appendU64(s, 11003, tape);
         tkwire::appendU32(s, tktag::kController, source);
         tkwire::appendU32(s, 2052, 0);
         EXPECT_EQ(set(fd, "onMsgSetMMLibrary", s, 4, sequence++),
                   (std::vector<ctltest::Message>{ctltest::operationResponse(3, 1, "Success")}));
         EXPECT_TRUE(hosttest::releaseLock(fd, sequence++));
       },
       [&](int fd, int64_t& sequence) {
         const Record tape = library(fd, "TapeLib1", sequence);
         EXPECT_EQ(bytesOf(tape, tktag::kControllerType), le32(2));
         EXPECT_EQ(bytesOf(tape, tktag::kAddress), le32(5));
         EXPECT_EQ(bytesOf(tape, tktag::kController).substr(4), "sg9 text");
         EXPECT_EQ(m_db.scalar("SELECT \"ControllerType\" FROM \"MMLibraryController\" WHERE "
                               "\"LibraryControllerId\" = 1"),
                   2);
       }},
      {"a disk library's usePnpWhenBlank leaves it listed (storage-library 43=32, second.73=1)",
       {"UPDATE \"MMLibrary\" SET \"LibraryTypeId\" = 4 WHERE \"LibraryName\" = 'DiskLib1'"},
       [&](int, int64_t&) {
         const installtest::ConsoleRun run = console({"storage-library", "43=32", "8=DiskLib1", "second.73=1"});
         EXPECT_EQ(run.status, 0) << run.out;
       },
       [&](int fd, int64_t& sequence) {
         EXPECT_NE(handleOf(library(fd, "DiskLib1", sequence)), 0u);
         EXPECT_EQ(m_db.scalar("SELECT \"ExtendedAttributes\" & 8192 FROM \"MMLibrary\" WHERE \"LibraryName\" = "
                               "'DiskLib1'"),
                   8192);
       }},
  };
  run(rows);
}

}  // namespace
