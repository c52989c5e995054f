// Every disk-device, disk-volume and verification request under the fault
// sweep: a session loaded from the demonstration installation in the
// database, then each request made once for every platform call failing in
// turn. Every run must end with the request's reply or an answer on the
// client's socket, list no more than the clean run, and leave the database
// as it was or as the clean run left it.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "platform/mac/ZQMACPlatform.h"
#include "tests/mmconfig_diskdevices/DiskFixture.h"
#include "tests/support/DatabaseSession.h"
#include "tests/support/FaultSweep.h"

namespace {

using agenttest::Handler;

struct Demo {
  unsigned long long device = 0, volume = 0, library = 0;
  unsigned long long share = 0;  // a network share's device, when the case made one
  ZQMACDiskDevice* shareObject = nullptr;
  int deviceId = 0;
  std::string agent, otherAgent;
  ZQMACDiskVolume* volumeObject = nullptr;
};

class DiskFaultSweep : public ::testing::Test {
 protected:
  void SetUp() override {
    ctltest::resetStandIns();
    testkit::mac::reset();
    std::string report;
    ASSERT_GT(tkmac::seedDemoInstallation(report), 0) << report;
  }
  void TearDown() override {
    tktest::resetSessionState();
    testkit::mac::reset();
    ctltest::resetStandIns();
  }

  void freshSession() {
    ctltest::resetStandIns();
    tktest::resetSessionState();
    ZQMACMediaConfig* config = tktest::openDatabaseSession(m_a, kUser);
    ASSERT_NE(config, nullptr);
    ZQMACDiskDevice* device = config->GetDiskDeviceList().GetFirstNode();
    ASSERT_NE(device, nullptr);
    ZQMACDiskVolume* volume = device->GetVolumeList().GetFirstNode();
    ASSERT_NE(volume, nullptr);
    m_demo.device = config->GetHandle(device);
    m_demo.deviceId = static_cast<int>(device->GetId());
    m_demo.volume = config->GetHandle(volume);
    m_demo.volumeObject = volume;
    m_demo.library = config->GetHandle(config->GetMagLibList().GetFirstNode());
    m_demo.share = 0;
    m_demo.shareObject = nullptr;
    ZQMACLinkedList<ZQMACDiskDevice> devices = config->GetDiskDeviceList();
    for (ZQMACDiskDevice* d = devices.GetFirstNode(); d != nullptr; d = devices.GetNextNode())
      if (d->IsRemoveFileHost()) {
        m_demo.share = config->GetHandle(d);
        m_demo.shareObject = d;
      }
    m_demo.agent = volume->GetMediaAgent()->GetName();
    ZQMACLinkedList<ZQMACMediaAgent> agents = config->GetMediaAgentList();
    for (ZQMACMediaAgent* a = agents.GetFirstNode(); a != nullptr; a = agents.GetNextNode())
      if (a->GetName() != m_demo.agent && m_demo.otherAgent.empty()) m_demo.otherAgent = a->GetName();
    ASSERT_FALSE(m_demo.otherAgent.empty());
    m_a.replies();
  }

  // `replyId` 0: a Set, answered by operation responses.
  // A network share at //nas/s reached by the first media agent, made by
  // SQL as a load finds one.
  void makeShare() {
    ASSERT_EQ(m_db.exec("INSERT INTO MMDevice (DeviceTypeId, AliasName, DeviceEnabled) VALUES (1, 'Share_1', 1)"), 0);
    const long long id = m_db.scalar("SELECT MAX(DeviceId) FROM MMDevice");
    ASSERT_EQ(m_db.exec("INSERT INTO MMObjectSetting (Kind, ObjectId, Name, Value) VALUES (8, ?, 'RemoteFileHost', "
                        "'1'), (8, ?, 'RemoteHostVolume', '//nas/s'), (8, ?, 'GuidType', '999')",
                        {id, id, id}),
              0);
    ASSERT_EQ(m_db.exec("INSERT INTO MMDeviceController (ClientId, DeviceId, DeviceControllerActive, "
                        "DeviceControllerEnabled, DeviceAccessible, Folder, UserName, UserPassword) SELECT "
                        "MIN(ClientId), ?, 1, 1, 1, '//nas/s', 'u', '' FROM MMDeviceController",
                        {id}),
              0);
  }

  tktest::SweepReport sweep(Handler handler, uint32_t replyId, std::function<std::unique_ptr<MessageInfo>(Demo&)> build,
                            const tktest::Connection& client, bool newDeviceStays, bool share = false) {
    tktest::SweepPlan plan;
    // An audit record that cannot be written is logged and the change it
    // records stands; the audit tables are left out of the comparison.
    plan.judgedTables = {"AuditTrailRecord", "AuditTrailParam", "AuditTrailArgument", "sqlite_sequence"};
    // A new network device stays when its volume fails; the check holds the
    // device table to at most that one new row.
    // The device stays with its identification type among the settings;
    // its remote-host settings come and go with its volume.
    if (newDeviceStays) {
      plan.judgedTables.push_back("MMDevice");
      plan.judgedTables.push_back("MMObjectSetting");
    }
    long long devicesBefore = 0;
    long long otherSettingsBefore = 0;
    size_t cleanItems = 0;
    const char* otherSettings = "SELECT COUNT(*) FROM MMObjectSetting WHERE Kind <> 8";
    plan.setup = [&] {
      if (share) makeShare();
      freshSession();
      if (share) {
        EXPECT_NE(m_demo.shareObject, nullptr);
      }
      devicesBefore = m_db.scalar("SELECT COUNT(*) FROM MMDevice");
      otherSettingsBefore = m_db.scalar(otherSettings);
    };
    plan.request = [&] {
      std::unique_ptr<MessageInfo> request = build(m_demo);
      (m_mgr.*handler)(request.get());
    };
    plan.check = [&](const tktest::SweepRun& run) -> std::string {
      const std::vector<tkwire::Reply> replies = client.replies();
      if (newDeviceStays && m_db.scalar("SELECT COUNT(*) FROM MMDevice") > devicesBefore + 1)
        return "more than the one new device was stored";
      if (newDeviceStays && m_db.scalar(otherSettings) != otherSettingsBefore)
        return "settings of other objects changed";
      if (newDeviceStays && m_db.scalar("SELECT COUNT(*) FROM MMObjectSetting S WHERE S.Kind = 8 AND (S.ObjectId NOT "
                                        "IN (SELECT DeviceId FROM MMDevice) OR (S.Name <> 'GuidType' AND NOT EXISTS "
                                        "(SELECT 1 FROM MMDeviceController C WHERE C.DeviceId = S.ObjectId)))") != 0)
        return "a device setting without its device, or remote-host settings without the volume";
      // The session shows the share where the database has it.
      if (share && m_demo.shareObject != nullptr) {
        const std::string stored =
            m_db.text("SELECT Value FROM MMObjectSetting WHERE Kind = 8 AND Name = 'RemoteHostVolume'");
        if (m_demo.shareObject->GetRemoteHostVolume() != stored)
          return "the session's share is at " + m_demo.shareObject->GetRemoteHostVolume() + ", the stored one at " +
                 stored;
      }
      const tkwire::Reply* reply = nullptr;
      for (const tkwire::Reply& r : replies)
        if (replyId != 0 && r.messageId == replyId) reply = &r;
      if (reply == nullptr) return tktest::answeredOnSocket(replies, run);
      if (run.k == 0) cleanItems = reply->items.size();
      else if (reply->items.size() > cleanItems + 1) return "a failing run listed more than the clean one";
      return "";
    };
    tktest::SweepReport report = tktest::FaultSweep().run(plan);
    // A credential that cannot be decrypted, or a password that cannot be
    // put in its stored form, counts as not sent: the record is carried out
    // without it, which is neither the state before nor the clean run's,
    // and sound.
    std::vector<std::string> kept;
    for (const std::string& finding : report.findings)
      if (finding.find("(decryptAndPrepForStorage): the database is half changed") == std::string::npos &&
          finding.find("(encrypt): the database is half changed") == std::string::npos)
        kept.push_back(finding);
    report.findings = kept;
    return report;
  }

  std::unique_ptr<MessageInfo> get(unsigned long long handle, uint32_t count = 0) const {
    auto request = m_a.request(ctltest::kSequence, 0, kUser);
    request->objectHandle = handle;
    if (handle == 0) request->elementCount = count;
    return request;
  }
  tktest::StreamBuilder stream() const {
    return tktest::StreamBuilder().socket(m_a.socket().GetSocketDescriptor()).user(kUser).sequence(ctltest::kSequence);
  }

  static constexpr uint32_t kUser = 7;
  tktest::TestDatabase m_db;
  tktest::Connection m_a;
  tktest::Connection m_b;
  EvMMConfigMgr m_mgr;
  Demo m_demo;
};

TEST_F(DiskFaultSweep, EveryFailingCallEndsWithAnAnswerAndNoHalfChange) {
  // Encrypted before the sweep: the console's encryption is not the request's.
  const std::string demo = disktest::encrypted("demo"), pw = disktest::encrypted("pw"),
                    after = disktest::encrypted("after"), proxyUser = disktest::encrypted("u!!p@h"),
                    proxyPassword = disktest::encrypted("x");
  struct Case {
    const char* name;
    Handler handler;
    uint32_t replyId;
    std::function<std::unique_ptr<MessageInfo>(Demo&)> build;
    bool otherClient = false;
    bool newDeviceStays = false;
    bool share = false;
  };
  const Case cases[] = {
      {"device list", &EvMMConfigMgr::onMsgGetDiskDeviceList, 11211, [this](Demo&) { return get(0, 1); }},
      {"device list of a library", &EvMMConfigMgr::onMsgGetDiskDeviceListWithMagLibrary, 11211,
       [this](Demo& d) { return get(d.library); }},
      {"devices", &EvMMConfigMgr::onMsgGetDiskDevices, 11198, [this](Demo&) { return get(0); }},
      {"device", &EvMMConfigMgr::onMsgGetDiskDeviceProperties, 11198, [this](Demo& d) { return get(d.device); }},
      {"volumes", &EvMMConfigMgr::onMsgGetDiskVolumes, 11199, [this](Demo& d) { return get(d.device); }},
      {"volume", &EvMMConfigMgr::onMsgGetDiskVolumeProperties, 11199, [this](Demo& d) { return get(d.volume); }},
      {"device change", &EvMMConfigMgr::onMsgSetDiskDevice, 0,
       [this](Demo& d) { return stream().op(3).handle(d.device).pair(11192, 0, "Renamed").i32(11420, 0).end().build(); }},
      {"volume change", &EvMMConfigMgr::onMsgSetDiskVolume, 0,
       [&, this](Demo& d) {
         return stream().op(3).handle(d.volume).text(11041, "/srv/new").raw(2401, demo).raw(2402, pw)
             .u32(11418, 2).end().build();
       }},
      {"all volumes of a device", &EvMMConfigMgr::onMsgSetDiskVolume, 0,
       [&, this](Demo& d) {
         d.volumeObject->SetUserName("before");
         return stream().op(3).handle(d.device).u64(11148, d.device).text(11041, "/srv/all").raw(2401, after)
             .end().build();
       }},
      {"network volume", &EvMMConfigMgr::onMsgSetDiskVolume, 0,
       [&, this](Demo& d) {
         return stream().op(1).pair(2048, 0, d.agent).text(11041, "//nas/a").raw(2401, proxyUser)
             .raw(2408, proxyPassword).end().build();
       },
       false, true},
      {"shared disk", &EvMMConfigMgr::onMsgSetDiskVolume, 0,
       [this](Demo& d) {
         return stream().op(16).u64(11148, d.device).pair(2048, 0, d.otherAgent).text(11041, "/srv/b").end().build();
       }},
      // The share and both volumes move to the new path together, or none.
      {"network share shared with a new path", &EvMMConfigMgr::onMsgSetDiskVolume, 0,
       [this](Demo& d) {
         return stream().op(16).u64(11148, d.share).pair(2048, 0, d.otherAgent).text(11041, "/srv/s").end().build();
       },
       false, false, true},
      {"verification", &EvMMConfigMgr::onMsgCloudOperation, 11841,
       [this](Demo& d) {
         return stream().op(58).pair(11192, static_cast<uint32_t>(d.deviceId), "").pair(2048, 0, d.agent)
             .text(11041, "/a/b").end().build();
       }},
      {"verification by another client", &EvMMConfigMgr::onMsgCloudOperation, 11841,
       [this](Demo& d) {
         return tktest::StreamBuilder().socket(m_b.socket().GetSocketDescriptor()).user(kUser).sequence(ctltest::kSequence)
             .op(50).pair(2048, 0, d.agent).text(11041, "/a").end().build();
       },
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const tktest::SweepReport report =
        sweep(c.handler, c.replyId, c.build, c.otherClient ? m_b : m_a, c.newDeviceStays, c.share);
    EXPECT_TRUE(report.clean()) << report;
    EXPECT_GE(report.runs, 2) << report;
  }
}

}  // namespace
