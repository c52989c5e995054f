// Every copy-manager, device, appliance and Quillmere request under the
// fault sweep: made once for each platform call failing in turn. Every run
// must end with an answer on the client's socket (a status reply, or the
// listing when the failed call only lost a log line), raise nothing, and
// leave the database as it was or as the clean run left it.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "tests/sanvol_continuous/ContinuousControlFixture.h"
#include "tests/support/FaultSweep.h"

namespace cctest {
namespace {

class ControlFaultSweep : public ContinuousTest {
 protected:
  // Sweeps one request; `listing` is the reply id a run may end with
  // instead of a status (0: a status reply is required). `arrangeAgent`
  // puts the client agent, which lives in memory, where the request needs
  // it before every run.
  void sweep(const char* name, const std::function<std::unique_ptr<MessageInfo>()>& make,
             const std::function<long long(MessageInfo*)>& call, const std::function<void()>& arrangeAgent = {},
             uint32_t listing = 0) {
    SCOPED_TRACE(name);
    tktest::FaultSweep sweeper;
    tktest::SweepPlan plan;
    plan.setup = [&] {
      testkit::clientvol::reset();
      testkit::clientvol::seedHost(kHost, static_cast<int>(kClient));
      if (arrangeAgent) arrangeAgent();
      forgetAgentCalls();
    };
    plan.request = [&] {
      auto request = make();
      call(request.get());
    };
    plan.check = [&](const tktest::SweepRun& run) -> std::string {
      const auto got = replies();
      for (const auto& reply : got) {
        if (listing != 0 && reply.messageId == listing) return "";
        // The add's reply carries its result after the status item.
        for (const auto& item : reply.items)
          if (reply.messageId == 1024 && item.tag == 2051) return "";
      }
      return tktest::answeredOnSocket(got, run);
    };
    const tktest::SweepReport report = sweeper.run(plan);
    EXPECT_TRUE(report.clean()) << report;
  }
  std::function<long long(MessageInfo*)> call(long long (EvSANVolMgr::*method)(MessageInfo*)) {
    return [this, method](MessageInfo* m) { return (handler.*method)(m); };
  }
};

TEST_F(ControlFaultSweep, CopyManagersAndDeviceConfigurationAlwaysAnswer) {
  QRCopyMgrCtrlRecord_t controller;
  controller.controllerName = "cm1";
  testkit::replicadb::seed(controller);
  SNRVolumeDeviceNameV4Record_t device;
  device.hostId = static_cast<int32_t>(kClient);
  device.deviceName = "/dev/sdb";
  const uint32_t deviceId = static_cast<uint32_t>(testkit::replicadb::seedDeviceName(device));
  auto record = [&](uint32_t operation) {
    return stream(StreamBuilder()
                      .op(operation)
                      .raw(11633, le32(deviceId) + le32(kClient) + le32(0) + "/dev/sdb")
                      .u32(11733, 64)
                      .u32(11712, 1)
                      .u32(11736, 16)
                      .u32(11735, 1)
                      .u32(11780, 0)
                      .u32(11787, 1)
                      .end());
  };
  sweep("copy managers", [&] { return simple(); }, call(&EvSANVolMgr::onMsgGetCopyMgrControllers), {}, 11693);
  sweep("cost categories", [&] { return simple(); }, call(&EvSANVolMgr::onMsgGetQRCostCategories), {}, 11729);
  sweep("configure", [&] { return record(48); }, call(&EvSANVolMgr::onMsgConfigureDeviceCommand));
  sweep("unconfigure", [&] { return record(49); }, call(&EvSANVolMgr::onMsgConfigureDeviceCommand), [] {
    std::string text;
    bool vvm = false;
    agentSession().configureQRDevice("/dev/sdb", text, 0, false, 0, false, vvm, false, false, nullptr, 0, 0, "");
  });
}

TEST_F(ControlFaultSweep, ApplianceRequestsAlwaysAnswer) {
  QRApplianceRecord_t appliance;
  appliance.applianceName = "qm1";
  const uint32_t applianceId = static_cast<uint32_t>(testkit::replicadb::seed(appliance));
  SNRVolumeRecordV4_t volume;
  const uint32_t volumeId = static_cast<uint32_t>(testkit::replicadb::seed(volume));
  auto manage = call(&EvSANVolMgr::onMsgManageQRAppliance);
  sweep("listing", [&] { return simple(); }, call(&EvSANVolMgr::onMsgGetQRAppliances), {}, 11707);
  sweep("add", [&] { return stream(StreamBuilder().op(1).pair(11708, 0, "qm2").end()); }, manage);
  sweep("delete", [&] { return stream(StreamBuilder().op(2).pair(11708, applianceId, "").end()); }, manage);
  sweep("assign", [&] { return stream(StreamBuilder().op(3).u32(11618, volumeId).pair(11708, 6, "").end()); },
        manage);
  sweep("change of server",
        [&] {
          return stream(StreamBuilder().op(15).u32(2009, kClient).text(11715, "qm-old").pair(11708, 6, "qm2").end());
        },
        manage, [] { agentSession().ConfigureQMDevice("qm-old", "q", "m"); });
}

TEST_F(ControlFaultSweep, VolumeCommandsAlwaysAnswer) {
  SNRVolumeRecordV4_t volume;
  const int32_t volumeId = testkit::replicadb::seed(volume);
  ReplicationVolumeV5Record_t replica;
  replica.physicalVolumeId = volumeId;
  replica.primaryVolumeId = 50;
  testkit::replicadb::seed(replica);
  for (int32_t id : {50, volumeId}) {
    QuillmereHistoryNameRecord_t history;
    history.volumeId = id;
    history.historyName = "h";
    testkit::replicadb::seed(history);
  }
  auto command = [&](uint32_t operation, const std::function<void(StreamBuilder&)>& extra = {}) {
    StreamBuilder b;
    b.u32(4106, 2).op(operation).u32(2009, kClient).text(11715, "qm1").pair(11716, static_cast<uint32_t>(volumeId), "vol1");
    if (extra) extra(b);
    return stream(b.end());
  };
  auto manage = call(&EvSANVolMgr::onMsgManageQuillmereVolume);
  auto protectedOnAgent = [] { agentSession().ProtectQuillmereVolume("qm1", "vol1"); };
  sweep("protect", [&] { return command(109); }, manage);
  sweep("terminate", [&] { return command(110); }, manage, protectedOnAgent);
  sweep("suspend", [&] { return command(111); }, manage, protectedOnAgent);
  sweep("activate", [&] { return command(41, [](StreamBuilder& b) { b.text(11726, "/mnt"); }); }, manage);
  sweep("deactivate", [&] { return command(42); }, manage,
        [&] { agentSession().ActivateQMVolume("qm1", "/mnt", 7, "", 0, volumeId, 0); });
  sweep("rollback", [&] { return command(97, [](StreamBuilder& b) { b.u32(11731, 1).u32(11732, 1); }); }, manage);
}

TEST_F(ControlFaultSweep, DeviceRequestsAlwaysAnswer) {
  sweep("listing",
        [&] { return simple(StreamBuilder().count(kClient).payloadWord(8, 1).payloadText(12, "qm1")); },
        call(&EvSANVolMgr::onMsgGetQuillmereDevices), [] { agentSession().ConfigureQMDevice("qm1", "q", "m"); },
        11720);
  sweep("configure",
        [&] {
          return stream(
              StreamBuilder().op(1).u32(2009, kClient).text(11715, "qm1").pair(11721, 1, "m").pair(11721, 2, "q").end());
        },
        call(&EvSANVolMgr::onMsgConfigureQuillmereDevice));
}

}  // namespace
}  // namespace cctest
