// Changes answered "Success" that are kept as the session showed them: the
// same values in the session that made them, on a connection of its own
// after a re-read (control 70), and after a restart, as an administrator
// reads them (listings and properties), and where they went in the rows.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tests/host_installation/InstallationFixture.h"
#include "tests/mmconfig_control/ControlFixture.h"

namespace {

using installtest::bytesOf;
using installtest::handleOf;
using installtest::recordNamed;
using installtest::recordsOf;
using tktest::le32;
using Record = std::vector<tkwire::Item>;

std::vector<ctltest::Message> success(uint32_t operation) {
  return {ctltest::operationResponse(operation, 1, "Success")};
}

class HostKeptChanges : public installtest::InstallationFixture {
 protected:
  // The answers of a request with a fixed payload only (the object's handle).
  std::vector<ctltest::Message> onHandle(int fd, const char* handler, uint64_t handle, int64_t sequence) {
    tkwire::StreamRequest request;
    request.handler = handler;
    request.sequence = sequence;
    request.firstField = handle;
    return ctltest::messagesOf(hosttest::sendAndRead(fd, tkwire::encodeStreamRequest(request)), sequence);
  }

  // A disk device listed with a volume on `path`, and that volume.
  std::optional<std::pair<Record, Record>> deviceWithVolume(int fd, const std::string& path, int64_t& sequence) {
    for (const Record& device : listing(fd, "onMsgGetDiskDevices", sequence++))
      for (const Record& volume : onObject(fd, "onMsgGetDiskVolumes", handleOf(device), "", sequence++))
        if (bytesOf(volume, 11208) == path) return std::make_pair(device, volume);
    return std::nullopt;
  }

  uint64_t tapeLibrary(int fd, int64_t& sequence) {
    return handleOf(recordNamed(listing(fd, "onMsgGetMMLibraries", sequence++), 2049, "TapeLib1"));
  }

  long long agentId(const char* name) {
    return m_db.scalar("SELECT \"id\" FROM \"APP_Client\" WHERE \"name\" = ?", {std::string(name)});
  }
};

struct Change {
  const char* name;
  // The change, on the connection `fd` (locked).
  std::function<void(int fd, int64_t& sequence)> make;
  // What an administrator sees on `fd` (locked).
  std::function<void(int fd, int64_t& sequence)> check;
};

TEST_F(HostKeptChanges, EachChangeShowsTheSameInItsSessionAfterAReReadOnANewConnectionAndAfterARestart) {
  std::string newMasterPool;
  const std::vector<Change> changes = {
      {"a network share made by disk volume operation 1, its path changed by operation 3",
       [&](int fd, int64_t& sequence) {
         std::string add;
         tkwire::appendU32(add, 4001, 1);
         tkwire::appendElement(add, tktag::kMediaAgent, le32(1) + "ma1");
         tkwire::appendElement(add, tktag::kPath, "//nas1/share");
         tkwire::appendU32(add, 2052, 0);
         ASSERT_EQ(set(fd, "onMsgSetDiskVolume", add, 4, sequence++), success(1));
         const auto made = deviceWithVolume(fd, "//nas1/share", sequence);
         ASSERT_TRUE(made.has_value());
         std::string move;
         tkwire::appendU32(move, 4001, 3);
         tkwire::appendU64(move, 11003, handleOf(made->second));
         tkwire::appendElement(move, tktag::kPath, "//nas1/other");
         tkwire::appendU32(move, 2052, 0);
         EXPECT_EQ(set(fd, "onMsgSetDiskVolume", move, 4, sequence++), success(3));
       },
       [&](int fd, int64_t& sequence) {
         EXPECT_FALSE(deviceWithVolume(fd, "//nas1/share", sequence).has_value());
         const auto seen = deviceWithVolume(fd, "//nas1/other", sequence);
         ASSERT_TRUE(seen.has_value());
         EXPECT_EQ(bytesOf(seen->first, 11206), "Network share");
         EXPECT_EQ(bytesOf(seen->second, 2048).substr(4), "ma1");
         EXPECT_EQ(m_db.text("SELECT group_concat(\"Folder\", ',') FROM \"MMDeviceController\" WHERE \"Folder\" LIKE "
                             "'//nas1/%'"),
                   "//nas1/other");
       }},
      {"a master pool added to a tape library",
       [&](int fd, int64_t& sequence) {
         const uint64_t library = tapeLibrary(fd, sequence);
         ASSERT_NE(library, 0u);
         std::vector<std::string> before;
         for (const Record& r : onObject(fd, "onMsgGetMMMasterDrivePools", library, "", sequence++))
           before.push_back(bytesOf(r, tktag::kMasterDrivePool));
         ASSERT_EQ(onHandle(fd, "onMsgAddMasterDrivePool", library, sequence++), success(1));
         for (const Record& r : onObject(fd, "onMsgGetMMMasterDrivePools", library, "", sequence++))
           if (std::find(before.begin(), before.end(), bytesOf(r, tktag::kMasterDrivePool)) == before.end())
             newMasterPool = bytesOf(r, tktag::kMasterDrivePool).substr(4);
         EXPECT_EQ(newMasterPool, "MasterPool(TapeLib1)_2");
       },
       [&](int fd, int64_t& sequence) {
         const uint64_t library = tapeLibrary(fd, sequence);
         const Record pool = recordNamed(onObject(fd, "onMsgGetMMMasterDrivePools", library, "", sequence++),
                                         tktag::kMasterDrivePool, newMasterPool);
         ASSERT_FALSE(pool.empty());
         EXPECT_EQ(bytesOf(pool, 11116), le32(20)) << "configured";
       }},
      {"a disk library made by the disk-library wizard on ma2",
       [&](int fd, int64_t& sequence) {
         tkwire::XmlRequest request;
         request.handler = "onMsgEZConfigureMagneticLibrary";
         request.sequence = sequence++;
         request.messageId = 0x01000BBC;
         request.xml = "<ZQGui_EZConfigureMagneticLibraryReq><ZQGui_EZMagneticLibrary tag=\"2\" s3=\"ma2\" "
                       "s23=\"/srv/kept\" s27=\"svc\"/></ZQGui_EZConfigureMagneticLibraryReq>";
         const std::vector<tkwire::Reply> replies = hosttest::sendAndRead(fd, tkwire::encodeXmlRequest(request));
         std::optional<tkwire::XmlAnswer> answer;
         for (const tkwire::Reply& reply : replies)
           if (!answer) answer = tkwire::decodeXmlAnswer(reply);
         ASSERT_TRUE(answer.has_value());
         EXPECT_NE(answer->text.find("<ZQGui_EZConfigureMagneticLibraryResp>"), std::string::npos) << answer->text;
       },
       [&](int fd, int64_t& sequence) {
         const Record library = recordNamed(listing(fd, "onMsgGetMMLibraries", sequence++), 2049, "DiskLibrary_1");
         ASSERT_FALSE(library.empty());
         EXPECT_EQ(bytesOf(library, 2048).substr(0, 4), le32(static_cast<uint32_t>(agentId("ma2"))));
         // The mount path lies on a device that ma2 reaches through its folder.
         EXPECT_EQ(m_db.text("SELECT group_concat(C.\"Folder\" || '@' || A.\"name\", ',') FROM \"MMMountPath\" P "
                             "JOIN \"MMLibrary\" L ON L.\"LibraryId\" = P.\"LibraryId\" JOIN "
                             "\"MMMountPathToStorageDevice\" S ON S.\"MountPathId\" = P.\"MountPathId\" JOIN "
                             "\"MMDeviceController\" C ON C.\"DeviceId\" = S.\"DeviceId\" JOIN \"APP_Client\" A ON "
                             "A.\"id\" = C.\"ClientId\" WHERE L.\"LibraryName\" = 'DiskLibrary_1'"),
                   "/srv/kept@ma2");
       }},
      {"a software copy manager added to ma1, renamed and given another limit",
       [&](int fd, int64_t& sequence) {
         std::string add;
         tkwire::appendU32(add, 4001, 1);
         tkwire::appendU32(add, 4106, 2);
         tkwire::appendElement(add, tktag::kMediaAgent, le32(0) + "ma1");
         tkwire::appendU32(add, 11167, 3);
         tkwire::appendU32(add, 2052, 0);
         ASSERT_EQ(set(fd, "onMsgSetMMCMController", add, 5, sequence++), success(1));
         const Record device =
             recordNamed(listing(fd, "onMsgGetMMCMDevices", sequence++), 11119, "Software copy manager on ma1");
         ASSERT_FALSE(device.empty());
         EXPECT_EQ(bytesOf(device, 11120), le32(3));
         std::string change;
         tkwire::appendU32(change, 4001, 3);
         tkwire::appendU64(change, 11003, handleOf(device));
         tkwire::appendElement(change, 11119, le32(0) + "copies of ma1");
         tkwire::appendU32(change, 11167, 7);
         tkwire::appendU32(change, 2052, 0);
         EXPECT_EQ(set(fd, "onMsgSetMMCMDevice", change, 5, sequence++), success(3));
       },
       [&](int fd, int64_t& sequence) {
         const std::vector<Record> devices = listing(fd, "onMsgGetMMCMDevices", sequence++);
         ASSERT_EQ(devices.size(), 1u);
         EXPECT_EQ(bytesOf(devices[0], 11119).substr(4), "copies of ma1");
         EXPECT_EQ(bytesOf(devices[0], 11120), le32(7));
         const std::vector<Record> controllers =
             onObject(fd, "onMsgGetMMCMControllers", handleOf(devices[0]), "", sequence++);
         ASSERT_EQ(controllers.size(), 1u);
         EXPECT_EQ(bytesOf(controllers[0], 2048), le32(static_cast<uint32_t>(agentId("ma1"))) + "ma1");
       }},
  };
  for (const Change& change : changes) {
    SCOPED_TRACE(change.name);
    int64_t sequence = 2;
    int fd = connect();
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(hosttest::takeLock(fd));
    change.make(fd, sequence);
    {
      SCOPED_TRACE("in the session");
      change.check(fd, sequence);
    }
    EXPECT_TRUE(hosttest::releaseLock(fd, sequence++));
    ::close(fd);
    for (const char* when : {"a new connection after control 70", "after a restart"}) {
      SCOPED_TRACE(when);
      if (std::string(when) == "after a restart") {
        ASSERT_TRUE(restart()) << host().log();
      }
      fd = connect();
      ASSERT_GE(fd, 0);
      ASSERT_TRUE(hosttest::takeLock(fd));
      EXPECT_EQ(control(fd, 70, 0, sequence), success(70));
      ++sequence;
      change.check(fd, sequence);
      EXPECT_TRUE(hosttest::releaseLock(fd, sequence++));
      ::close(fd);
    }
  }
}

// A drive pool's change is stored in one commit: the host killed while it
// writes the change's last step (made slow by an administrator's trigger)
// keeps none of it, and once the change is committed, all of it. The kill
// comes as soon as another connection sees the new name: at once when the
// name were committed apart from the proxy host.
TEST_F(HostKeptChanges, ADrivePoolsChangeKilledWhileItIsStoredIsKeptWholeOrNotAtAll) {
  ASSERT_EQ(m_db.exec("CREATE TABLE Slow (x INTEGER)"), 0);
  ASSERT_EQ(m_db.exec("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 400) "
                      "INSERT INTO Slow SELECT x FROM c"),
            0);
  ASSERT_EQ(m_db.exec("CREATE TRIGGER SlowProxyHost AFTER UPDATE OF Descript ON MMDrivePool BEGIN "
                      "SELECT COUNT(*) FROM Slow a, Slow b, Slow c WHERE a.x + b.x = c.x; END"),
            0);
  const std::string row = "SELECT DrivePoolName || '|' || IFNULL(Descript, '') FROM MMDrivePool WHERE DrivePoolId = 2";
  const std::string before = m_db.text(row);
  int64_t sequence = 2;
  const int fd = connect();
  ASSERT_GE(fd, 0);
  ASSERT_TRUE(hosttest::takeLock(fd));
  const uint64_t pool = [&] {
    tkwire::StreamRequest list;
    list.handler = "onMsgGetMMDrivePools";
    list.sequence = sequence++;
    list.firstField = tapeLibrary(fd, sequence);
    for (const Record& record : recordsOf(hosttest::sendAndRead(fd, tkwire::encodeStreamRequest(list))))
      for (const tkwire::Item& item : record)
        if (item.bytes.size() > 4 && item.bytes.substr(4) == "DrivePool(ma2)") return handleOf(record);
    return uint64_t{0};
  }();
  ASSERT_NE(pool, 0u);
  std::string stream;
  tkwire::appendU32(stream, 4001, 3);
  tkwire::appendU64(stream, 11003, pool);
  tkwire::appendElement(stream, 8260, std::string("PK1"));
  tkwire::appendElement(stream, 11019, le32(1) + "ph1");
  tkwire::appendU32(stream, 2052, 0);
  tkwire::StreamRequest change;
  change.handler = "onMsgSetMMDrivePool";
  change.sequence = sequence++;
  change.firstField = tkwire::firstFieldOf(0, 5);
  change.stream = stream;
  ASSERT_TRUE(tkwire::writeAll(fd, tkwire::encodeStreamRequest(change)));
  const int64_t deadline = hosttest::nowMs() + 120000;
  while (m_db.text(row).rfind("PK1|", 0) != 0 && hosttest::nowMs() < deadline) hosttest::pauseMs(2);
  ASSERT_TRUE(restart(SIGKILL)) << host().log();
  ::close(fd);
  ASSERT_EQ(m_db.exec("DROP TRIGGER SlowProxyHost"), 0);
  EXPECT_EQ(m_db.text(row), "PK1|ph1") << "was " << before;
}

}  // namespace
