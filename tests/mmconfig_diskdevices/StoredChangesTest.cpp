// Disk-device and disk-volume changes on a session loaded from the
// installation in the database: what the requests change is stored, so a
// new session read from the database shows it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/mac/ZQMACPlatform.h"
#include "platform/mmdb/MMBaseDB.h"
#include "tests/mmconfig_diskdevices/DiskFixture.h"
#include "tests/support/DatabaseSession.h"

namespace {

using Answers = std::vector<disktest::Message>;
using disktest::operationResponse;

class StoredDiskChanges : public ::testing::Test {
 protected:
  void SetUp() override {
    ctltest::resetStandIns();
    testkit::mac::reset();
    std::string report;
    ASSERT_GT(tkmac::seedDemoInstallation(report), 0) << report;
    ASSERT_EQ(m_db.exec("INSERT INTO MMDRUHost (HostName) VALUES ('dru-a')"), 0);
    m_druId = static_cast<int>(m_db.scalar("SELECT HostId FROM MMDRUHost WHERE HostName = 'dru-a'"));
    reopen();
  }
  void TearDown() override {
    testkit::mmdb::stop();
    tktest::resetSessionState();
    testkit::mac::reset();
    ctltest::resetStandIns();
  }
  // A new session, read from the database alone.
  void reopen() {
    tktest::resetSessionState();
    m_config = tktest::openDatabaseSession(m_a, kUser);
    ASSERT_NE(m_config, nullptr);
    m_device = m_config->GetDiskDeviceList().GetFirstNode();
    ASSERT_NE(m_device, nullptr);
    m_a.replies();
  }
  tktest::StreamBuilder stream() const {
    return tktest::StreamBuilder().socket(m_a.socket().GetSocketDescriptor()).user(kUser).sequence(ctltest::kSequence);
  }
  Answers run(bool (EvMMConfigMgr::*handler)(MessageInfo*), const tktest::StreamBuilder& s) {
    auto message = s.build();
    EXPECT_TRUE((m_mgr.*handler)(message.get()));
    return ctltest::messagesOf(m_a.replies());
  }
  // The name of an agent of the installation other than `other`.
  std::string agentOtherThan(const std::string& other) const {
    ZQMACLinkedList<ZQMACMediaAgent> agents = m_config->GetMediaAgentList();
    for (ZQMACMediaAgent* a = agents.GetFirstNode(); a != nullptr; a = agents.GetNextNode())
      if (a->GetName() != other) return a->GetName();
    return {};
  }
  static ZQMACDiskVolume* volumeOn(ZQMACDiskDevice* device, const std::string& agent) {
    ZQMACLinkedList<ZQMACDiskVolume> volumes = device->GetVolumeList();
    for (ZQMACDiskVolume* v = volumes.GetFirstNode(); v != nullptr; v = volumes.GetNextNode())
      if (v->GetMediaAgent() != nullptr && v->GetMediaAgent()->GetName() == agent) return v;
    return nullptr;
  }

  static constexpr uint32_t kUser = 7;
  tktest::TestDatabase m_db;
  tktest::Connection m_a;
  EvMMConfigMgr m_mgr;
  ZQMACMediaConfig* m_config = nullptr;
  ZQMACDiskDevice* m_device = nullptr;
  int m_druId = 0;
};

TEST_F(StoredDiskChanges, ANewNetworkVolumeIsStoredWithItsDeviceAndReloads) {
  const std::string agent = m_device->GetVolumeList().GetFirstNode()->GetMediaAgent()->GetName();
  const long long devices = m_db.scalar("SELECT COUNT(*) FROM MMDevice");
  EXPECT_EQ(run(&EvMMConfigMgr::onMsgSetDiskVolume,
                stream().op(1).pair(2048, 0, agent).text(11041, "//nas/new").u32(11418, 2).end()),
            (Answers{operationResponse(1, 1, "Success")}));
  EXPECT_EQ(m_db.scalar("SELECT COUNT(*) FROM MMDevice"), devices + 1);

  reopen();
  ZQMACDiskDevice* made = nullptr;
  ZQMACLinkedList<ZQMACDiskDevice> list = m_config->GetDiskDeviceList();
  for (ZQMACDiskDevice* d = list.GetFirstNode(); d != nullptr; d = list.GetNextNode())
    if (d->GetName() == "DiskDevice_1") made = d;
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->GetDisplayDeviceType(), 1);
  ASSERT_EQ(made->GetVolumeList().GetListCount(), 1);
  ZQMACDiskVolume* volume = made->GetVolumeList().GetFirstNode();
  EXPECT_EQ(volume->GetVolume(), "//nas/new") << "the volume reaches the device's remote path";
  EXPECT_EQ(volume->GetMediaAgent()->GetName(), agent);
  EXPECT_EQ(volume->GetDeviceAccessType(), 2);
}

TEST_F(StoredDiskChanges, ASharedDiskIsStoredForTheFurtherAgentAndReloads) {
  const std::string first = m_device->GetVolumeList().GetFirstNode()->GetMediaAgent()->GetName();
  const std::string further = agentOtherThan(first);
  ASSERT_FALSE(further.empty());
  ASSERT_EQ(volumeOn(m_device, further), nullptr);
  const int deviceId = static_cast<int>(m_device->GetId());
  EXPECT_EQ(run(&EvMMConfigMgr::onMsgSetDiskVolume, stream()
                                                        .op(16)
                                                        .u64(11148, m_config->GetHandle(m_device))
                                                        .pair(2048, 0, further)
                                                        .text(11041, "/srv/shared")
                                                        .end()),
            (Answers{operationResponse(16, static_cast<uint32_t>(deviceId), "Success")}));

  reopen();
  ZQMACDiskDevice* device = m_config->FindDBNode<ZQMACDiskDevice>(deviceId);
  ASSERT_NE(device, nullptr);
  ZQMACDiskVolume* shared = volumeOn(device, further);
  ASSERT_NE(shared, nullptr);
  EXPECT_EQ(shared->GetVolume(), "/srv/shared");
  EXPECT_NE(volumeOn(device, first), nullptr) << "the first agent keeps its volume";
}

TEST_F(StoredDiskChanges, ADevicesDRUHostIsStoredAndReloadsAndARefusedWriteKeepsTheOldOne) {
  const int deviceId = static_cast<int>(m_device->GetId());
  const auto change = [&](int dru) {
    return stream().op(3).handle(m_config->GetHandle(m_device)).i32(11420, dru).end();
  };
  EXPECT_EQ(run(&EvMMConfigMgr::onMsgSetDiskDevice, change(m_druId)), (Answers{operationResponse(3, 1, "Success")}));
  EXPECT_EQ(m_db.scalar("SELECT DRUHostId FROM MMDevice WHERE DeviceId = ?", {deviceId}), m_druId);
  reopen();
  EXPECT_EQ(m_config->FindDBNode<ZQMACDiskDevice>(deviceId)->GetDRUId(), m_druId);

  // A write the database refuses leaves device and row tied to the host.
  testkit::mmdb::reset();
  testkit::mmdb::failNext("MMMediaConfigDB::storeObject", MMS2_ERROR_DATABASE, "disk I/O error", 205);
  auto message = change(0).build();
  EXPECT_FALSE(m_mgr.onMsgSetDiskDevice(message.get()));
  m_a.replies();
  EXPECT_EQ(m_device->GetDRUId(), m_druId);
  EXPECT_EQ(m_db.scalar("SELECT DRUHostId FROM MMDevice WHERE DeviceId = ?", {deviceId}), m_druId);
}

}  // namespace
