// Disk-device changes (name, DRU host) and disk-volume changes: adding a
// network volume, sharing a disk with a further agent, changing one volume
// or every volume of a device, with the remote-host user-name rules.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/external/Cipher.h"
#include "tests/mmconfig_diskdevices/DiskFixture.h"

namespace {

using disktest::encrypted;
using disktest::Message;
using disktest::operationResponse;
using disktest::text;

using Answers = std::vector<Message>;
using AuditParams = std::vector<std::pair<int, std::vector<std::string>>>;

AuditParams paramsOf(const tkaudit::Record& r) {
  AuditParams out;
  for (const auto& p : r.params) out.emplace_back(p.messageId, p.arguments);
  return out;
}

class DiskChanges : public disktest::DiskTest {
 protected:
  tktest::StreamBuilder volumeOp(uint32_t op) { return stream().op(op); }
  std::size_t calls(const char* name) { return testkit::mac::journal().count(name); }
  ZQMACDiskVolume* volumeOf(ZQMACDiskDevice* device, ZQMACMediaAgent* agent) {
    return device->FindVolumeByMediaAgent(agent);
  }
  // A network device of the world reached through a remote file host, with
  // one volume on ma1.
  ZQMACDiskDevice* networkDevice(const std::string& storedUserName) {
    ZQMACDiskDevice* d = testkit::mac::addNetworkDevice(config(), 50, "NAS-1", 1);
    d->SetRemoteHostUserName(storedUserName);
    d->SetRemoteHostVolume("//nas/old");
    ZQMACDiskVolume* v = ZQMACGraph::AddDiskVolume(d, m_world.agent1, 501, "//nas/old");
    v->SetUserName("vol-user");
    v->SetCredentialId(5);
    return d;
  }
};

// ---------------------------------------------------------------- devices

TEST_F(DiskChanges, ADeviceTakesItsNameAndDRUHost) {
  const auto s = stream().op(3).handle(handleOf(m_device)).pair(11192, 0, "LUN-renamed").i32(11420, 42).end();
  EXPECT_EQ(setDevice(s, true), (Answers{operationResponse(3, 1, "Success")}));
  EXPECT_EQ(m_device->GetName(), "LUN-renamed");
  EXPECT_EQ(m_device->GetDRUId(), 42);
}

TEST_F(DiskChanges, ADeviceChangeWithoutChangesOrWithAnotherObjectAnswersSuccessAndCallsNothing) {
  for (unsigned long long handle : {handleOf(m_device), handleOf(m_world.volume1), 0x7777ull}) {
    SCOPED_TRACE(handle);
    const auto s = stream().op(3).handle(handle).i32(11420, -1).end();
    EXPECT_EQ(setDevice(s, true), (Answers{operationResponse(3, 1, "Success")}));
  }
  const auto other = stream().op(3).handle(handleOf(m_world.volume1)).pair(11192, 0, "x").i32(11420, 42).end();
  EXPECT_EQ(setDevice(other, true), (Answers{operationResponse(3, 1, "Success")}));
  EXPECT_EQ(calls("SetDRUId"), 0u);
  EXPECT_EQ(m_device->GetName(), "SAN-LUN-1");
}

TEST_F(DiskChanges, ARefusedDeviceChangeAnswersTheDevicesError) {
  const auto unknownHost = stream().op(3).handle(handleOf(m_device)).i32(11420, 77).end();
  EXPECT_EQ(setDevice(unknownHost, false), (Answers{operationResponse(3, 0, "The DRU host 77 is not known.")}));
  const auto emptyName = stream().op(3).handle(handleOf(m_device)).pair(11192, 0, "").end();
  EXPECT_EQ(setDevice(emptyName, false), (Answers{operationResponse(3, 0, "The name must not be empty.")}));
  EXPECT_EQ(m_device->GetDRUId(), 0);
}

// ---------------------------------------------------------------- operations 1 and 16

TEST_F(DiskChanges, AddingWithoutADeviceMakesANetworkDeviceWithTheRemoteHostSettings) {
  const std::size_t before = config().GetDiskDeviceList().GetListCount();
  const auto s = volumeOp(1)
                     .u32(11606, 7)
                     .pair(2048, 0, "ma2")
                     .text(11041, "//nas/share")
                     .raw(2401, encrypted("bob!!px@gate"))
                     .raw(2402, encrypted("pw"))
                     .raw(2408, encrypted("proxy-pw"))
                     .u32(11418, 3)
                     .end();
  EXPECT_EQ(setVolume(s, true), (Answers{operationResponse(1, 1, "Success")}));
  ZQMACLinkedList<ZQMACDiskDevice> devices = config().GetDiskDeviceList();
  ASSERT_EQ(devices.GetListCount(), before + 1);
  ZQMACDiskDevice* added = devices[static_cast<int>(before)];
  EXPECT_TRUE(added->IsRemoveFileHost());
  EXPECT_EQ(added->GetDisplayDeviceType(), 7);
  EXPECT_EQ(added->GetRemoteHostVolume(), "//nas/share");
  EXPECT_EQ(added->GetRemoteHostUserName(), "bob!!px@gate:" + tkcipher::encrypt("proxy-pw"));
  ZQMACDiskVolume* volume = volumeOf(added, m_world.agent2);
  ASSERT_NE(volume, nullptr);
  EXPECT_TRUE(config().OwnsObject(volume));
  EXPECT_EQ(volume->GetDeviceAccessType(), 3);
  EXPECT_TRUE(volume->IsDetected());
}

TEST_F(DiskChanges, AddingToALocalDeviceSetsTheVolumeAndAPasswordNeedsAUserName) {
  ZQMACDiskDevice* device = addDevice(60, 1);
  const auto s = volumeOp(1).u64(11148, handleOf(device)).pair(2048, 0, "ma1").text(11041, "/v").raw(2402, encrypted("pw")).end();
  EXPECT_EQ(setVolume(s, true), (Answers{operationResponse(1, 1, "Success")}));
  ZQMACDiskVolume* volume = volumeOf(device, m_world.agent1);
  ASSERT_NE(volume, nullptr);
  EXPECT_EQ(volume->GetVolume(), "/v");
  EXPECT_EQ(volume->GetUserPassword(), "");
}

TEST_F(DiskChanges, AddingOrSharingIsRefusedBeforeAnythingIsMade) {
  const std::size_t devices = config().GetDiskDeviceList().GetListCount();
  const std::size_t objects = config().GetObjectCount();
  const struct {
    const char* name;
    uint32_t op;
    tktest::StreamBuilder s;
    Answers answers;
    bool result;
  } cases[] = {
      {"no path", 1, volumeOp(1).pair(2048, 0, "ma1").end(), {operationResponse(1, 0, text(disktest::kTextNoObject))}, false},
      {"no agent", 16, volumeOp(16).text(11041, "/p").end(), {operationResponse(16, 0, text(disktest::kTextNoObject))}, false},
      {"unknown agent", 16, volumeOp(16).text(11041, "/p").pair(2048, 0, "nobody").end(),
       {operationResponse(16, 0, "Failed to get mediaagent nobody")}, false},
      {"unknown device", 1, volumeOp(1).u64(11148, 0x7777).text(11041, "/p").pair(2048, 0, "ma1").end(),
       {operationResponse(1, 1, "Success")}, true},
      {"device handle of a volume", 16,
       volumeOp(16).u64(11148, handleOf(m_world.volume1)).text(11041, "/p").pair(2048, 0, "ma1").end(),
       {operationResponse(16, 1, "Success")}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(setVolume(c.s, c.result), c.answers);
    EXPECT_EQ(config().GetDiskDeviceList().GetListCount(), devices);
    EXPECT_EQ(config().GetObjectCount(), objects);
  }
}

TEST_F(DiskChanges, SharingConfiguresTheVolumeWithTheStoredCredentialsAndAnswersTheDeviceId) {
  ZQMACDiskDevice* device = networkDevice("u");
  ASSERT_EQ(m_db.exec("INSERT INTO MMDeviceController (DeviceControllerId, ClientId, DeviceId, UserName, UserPassword) "
                      "VALUES (501, 2, 50, 'stored-user', 'stored-pw')"),
            0);
  const auto s = volumeOp(16).u64(11148, handleOf(device)).pair(2048, 0, "ma2").text(11041, "").end();
  EXPECT_EQ(setVolume(s, true), (Answers{operationResponse(16, 50, "Success")}));
  ZQMACDiskVolume* volume = volumeOf(device, m_world.agent2);
  ASSERT_NE(volume, nullptr);
  EXPECT_EQ(volume->GetUserName(), "vol-user");  // its own again after Configure
  EXPECT_EQ(volume->GetCredentialId(), 5);
  EXPECT_TRUE(volume->TestStateA());
  EXPECT_EQ(testkit::mmdb::calls("MMDeviceControllerDB::getInfoInDB").size(), 1u);

  // Without a stored row: the table's error text, and the volume goes.
  const auto again = volumeOp(16).u64(11148, handleOf(device)).pair(2048, 0, "ma1").text(11041, "").end();
  m_db.exec("DELETE FROM MMDeviceController");
  const Answers answers = setVolume(again, false);
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_EQ(ctltest::wordOf(answers[0].items[1].second), 0u);
  EXPECT_EQ(device->GetVolumeList().GetListCount(), 2);
}

TEST_F(DiskChanges, ARefusedConfigureDiscardsTheNewVolumeAndTheDeviceMadeForIt) {
  testkit::mac::failNext("Configure", 0x1F000099, "agent offline");
  const std::size_t devices = config().GetDiskDeviceList().GetListCount();
  const long long rows = m_db.scalar("SELECT COUNT(*) FROM MMDevice");
  const auto s = volumeOp(16).pair(2048, 0, "ma1").text(11041, "//nas/x").end();
  EXPECT_EQ(setVolume(s, false), (Answers{operationResponse(16, 0, "agent offline")}));
  // A refusal keeps nothing: no device without its volume, in the session
  // or stored.
  EXPECT_EQ(config().GetDiskDeviceList().GetListCount(), devices);
  EXPECT_EQ(m_db.scalar("SELECT COUNT(*) FROM MMDevice"), rows);
}

TEST_F(DiskChanges, SharingAStorageDeviceSharesThePoolAgentsAndRereads) {
  testkit::mac::ScopedLoader loader(testkit::mac::worldLoader());
  ASSERT_EQ(m_db.exec("INSERT INTO MMMountPath (MountPathId, LibraryId, MountPathName) VALUES (21, 9, '/mnt/disk1')"), 0);
  ASSERT_EQ(m_db.exec("INSERT INTO MMMountPathToStorageDevice (MountPathId, DeviceId) VALUES (21, 31)"), 0);
  const auto s = volumeOp(16).u64(11148, handleOf(m_device)).pair(2048, 0, "ma1").text(11041, "/vol/c").end();
  EXPECT_EQ(setVolume(s, true), (Answers{operationResponse(16, 31, "Success")}));
  EXPECT_EQ(calls("ReadCurrentConfigNames"), 1u);
}

// ---------------------------------------------------------------- operation 3

TEST_F(DiskChanges, AChangedPathIsStoredAndAudited) {
  ZQMACGraph::SetForeignAgentId(m_world.mountPath1, 31);  // DiskLib1 uses the device
  const auto s = stream().op(3).handle(handleOf(m_world.volume1)).text(11041, "/vol/new").u32(9819, 8).end();
  EXPECT_EQ(setVolume(s, true), (Answers{operationResponse(3, 1, "Success")}));
  EXPECT_EQ(m_world.volume1->GetVolume(), "/vol/new");
  EXPECT_EQ(m_world.volume1->GetCredentialId(), 8);
  EXPECT_EQ(calls("UpdateMountPath"), 1u);
  const auto records = testkit::audit::records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].operationId, 0x54000196);
  EXPECT_EQ(records[0].entityType, 9);
  EXPECT_EQ(records[0].entityId, 9);
  EXPECT_EQ(paramsOf(records[0]), (AuditParams{{0x55000456, {"/vol/a"}},
                                               {0x55000457, {"ma1", "/vol/a"}},
                                               {0x55000458, {"ma1", "/vol/new"}}}));
}

TEST_F(DiskChanges, NoChangeOrAnUnchangedPathOrARenameAloneWritesNoAudit) {
  const unsigned long long v = handleOf(m_world.volume1);
  EXPECT_EQ(setVolume(stream().op(3).handle(v).end(), true), (Answers{operationResponse(3, 1, "Success")}));
  EXPECT_EQ(calls("UpdateMountPath"), 0u);
  EXPECT_EQ(setVolume(stream().op(3).handle(v).pair(11192, 0, "LUN-new").end(), true),
            (Answers{operationResponse(3, 1, "Success")}));
  EXPECT_EQ(calls("UpdateMountPath"), 0u);
  EXPECT_EQ(m_device->GetName(), "LUN-new");
  EXPECT_EQ(setVolume(stream().op(3).handle(v).text(11041, "/vol/a").end(), true),
            (Answers{operationResponse(3, 1, "Success")}));
  EXPECT_TRUE(testkit::audit::records().empty());
}

TEST_F(DiskChanges, ARefusedStorePutsTheVolumesValuesBack) {
  testkit::mac::failNext("UpdateMountPath", 0x1F000098, "store refused");
  const auto s = stream().op(3).handle(handleOf(m_world.volume1)).text(11041, "/x").raw(2401, encrypted("eve")).end();
  EXPECT_EQ(setVolume(s, false), (Answers{operationResponse(3, 0, "store refused")}));
  EXPECT_EQ(m_world.volume1->GetVolume(), "/vol/a");
  EXPECT_EQ(m_world.volume1->GetUserName(), "");
  EXPECT_TRUE(testkit::audit::records().empty());
}

TEST_F(DiskChanges, ARemoteUserNameKeepsTheStoredProxyPasswordOnlyWhenItNamesAProxy) {
  const struct {
    const char* stored;
    const char* user;
    const char* proxyPassword;  // null: none sent
    std::string expected;
  } cases[] = {
      {"old!!p@h:secret", "new!!p2@h2", nullptr, "new!!p2@h2:secret"},
      {"old!!p@h", "new!!p2@h2", nullptr, "new!!p2@h2"},  // no ":" behind the last "@"
      {"old!!p@:secret", "new!!p2@h2", nullptr, "new!!p2@h2"},  // ":" first behind the "@"
      {"old!!p@h:secret", "plain", nullptr, "plain"},
      {"old!!p@h:secret", "new!!p2@", nullptr, "new!!p2@"},  // nothing behind "@": no proxy
      {"old!!p@h:secret", "new!!p2@h2", "given", "new!!p2@h2:" + tkcipher::encrypt("given")},
      {"old", "plain", "given", "plain:" + tkcipher::encrypt("given")},
  };
  ZQMACDiskDevice* device = networkDevice("");
  ZQMACDiskVolume* volume = device->GetVolumeList().GetFirstNode();
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.stored) + " + " + c.user);
    device->SetRemoteHostUserName(c.stored);
    auto s = stream().op(3).handle(handleOf(volume)).raw(2401, encrypted(c.user));
    if (c.proxyPassword != nullptr) s.raw(2408, encrypted(c.proxyPassword));
    EXPECT_EQ(setVolume(s.end(), true), (Answers{operationResponse(3, 1, "Success")}));
    EXPECT_EQ(device->GetRemoteHostUserName(), c.expected);
  }
  EXPECT_EQ(calls("UpdateRemoteHostInfo"), 7u);
  EXPECT_EQ(calls("UpdateMountPath"), 0u);
  EXPECT_EQ(volume->GetUserName(), "vol-user");
}

TEST_F(DiskChanges, AllVolumesOfADeviceChangeTogetherWithOneAudit) {
  m_world.volume1->SetUserName("old-user");
  const unsigned long long notAVolume = handleOf(m_device);
  const auto s = stream()
                     .op(3)
                     .handle(notAVolume)
                     .u64(11148, handleOf(m_device))
                     .text(11041, "/vol/all")
                     .raw(2401, encrypted("new-user"))
                     .raw(2402, encrypted("pw"))
                     .end();
  EXPECT_EQ(setVolume(s, true), (Answers{operationResponse(3, 1, "Success")}));
  EXPECT_EQ(m_world.volume1->GetVolume(), "/vol/all");
  EXPECT_EQ(m_world.volume2->GetVolume(), "/vol/b");  // without a user name: left alone
  const auto records = testkit::audit::records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].entityId, 0);
  EXPECT_EQ(paramsOf(records[0]), (AuditParams{{0x55000456, {"/vol/a"}},
                                               {0x55000457, {"ma1", "/vol/a"}},
                                               {0x55000458, {"ma1", "/vol/all"}},
                                               {0x55000632, {"old-user", "new-user"}},
                                               {0x55000631, {}}}));
}

TEST_F(DiskChanges, AllVolumesOfADeviceWithoutVolumesOrOfNoUsableDevice) {
  ZQMACDiskDevice* empty = addDevice(61, 1);
  const auto none = stream().op(3).handle(handleOf(empty)).u64(11148, handleOf(empty)).text(11041, "/p").end();
  EXPECT_EQ(setVolume(none, true), (Answers{operationResponse(3, 1, "Success")}));
  EXPECT_TRUE(testkit::audit::records().empty());
  ZQMACDiskDevice* remote = networkDevice("u");
  for (unsigned long long device : {0ull, handleOf(remote), handleOf(m_world.volume1)}) {
    SCOPED_TRACE(device);
    const auto s = stream().op(3).handle(0x7777).u64(11148, device).text(11041, "/p").end();
    EXPECT_EQ(setVolume(s, false), (Answers{operationResponse(3, 0, text(disktest::kTextNoObject))}));
  }
}

}  // namespace
