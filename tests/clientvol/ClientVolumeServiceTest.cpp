// The client volume service and the FLR agent against in-memory clients.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/clientvol/ZQFLRClientApi.h"
#include "platform/clientvol/ZQSVCClientSession.h"
#include "platform/testkit/clientvol.h"

namespace {

using Strings = std::vector<std::string>;

ZQSVCClientVolumeInfo volume(const std::string& device, long long blocks) {
  ZQSVCClientVolumeInfo v;
  v.deviceName = device;
  v.idString = "id-" + device;
  v.fsType = "NTFS";
  v.blockCount = blocks;
  v.blockSize = 512;
  v.caseSensitive = true;
  return v;
}

Strings paths(const ZQSVCClientVolumeInfo& v) {
  Strings out;
  for (const auto& p : v.getMountPoints()) out.push_back(p.mountPath());
  return out;
}

class ClientVolumeService : public ::testing::Test {
 protected:
  void SetUp() override {
    testkit::clientvol::reset();
    testkit::clientvol::seedHost("client1", 7);
    testkit::clientvol::seedVolume("client1", volume("\\\\.\\Disk1", 1000));
    testkit::clientvol::seedVolume("client1", volume("\\\\.\\Disk2", 2000));
  }
  void TearDown() override { testkit::clientvol::reset(); }

  ZQSVCClientSession session{"CLIENT1", 7, nullptr, nullptr};
};

TEST_F(ClientVolumeService, EveryCallToAnUnknownHostFailsWithALastErrorText) {
  ZQSVCClientSession nowhere("nowhere", 9, nullptr, nullptr);
  const std::string text = "Could not connect to the volume service on client [nowhere].";
  std::vector<ZQSVCClientVolumeInfo> volumes;
  std::vector<std::string> devices;
  std::string out;
  bool vvm = true;
  unsigned long code = 0;
  const std::vector<std::pair<const char*, std::function<bool()>>> calls = {
      {"getVolumeList", [&] { return nowhere.getVolumeList(volumes); }},
      {"configureQRDevice",
       [&] { return nowhere.configureQRDevice("d", out, 0, false, 0, false, vvm, false, false, &code, 0, 0, ""); }},
      {"unconfigureQRDevice", [&] { return nowhere.unconfigureQRDevice("d", false, 0); }},
      {"ProtectQuillmereVolume", [&] { return nowhere.ProtectQuillmereVolume("s", "v"); }},
      {"GetQuillmereDevices", [&] { return nowhere.GetQuillmereDevices("s", 0, devices); }},
      {"addVolumeMountPoint", [&] { return nowhere.addVolumeMountPoint("d", "/m", "", "", &out, "", 9, 0); }},
      {"AddCIFSShare", [&] { return nowhere.AddCIFSShare("s", "/m", 5, nullptr); }},
      {"DelCIFSShare", [&] { return nowhere.DelCIFSShare("s"); }},
  };
  for (const auto& c : calls) {
    SCOPED_TRACE(c.first);
    EXPECT_FALSE(c.second());
    EXPECT_EQ(nowhere.getLastErrorString(), text);
  }
  EXPECT_EQ(code, 0x38000001u);
  ZQFLRClientApi agent("nowhere", 9, nullptr);
  EXPECT_NE(agent.FLRMountSnap("/dev/s", "/mnt/a"), 0);
  EXPECT_EQ(agent.lastError(), text);
}

TEST_F(ClientVolumeService, TheVolumeListShowsMountsAsTheyAreAddedAndRemoved) {
  std::string chosen;
  ASSERT_TRUE(session.addVolumeMountPoint("\\\\.\\Disk2", "E:\\", "NTFS", "", &chosen, "src", 7, 0x409));
  EXPECT_EQ(chosen, "E:\\");
  EXPECT_EQ(session.getLastErrorString(), "");
  std::vector<ZQSVCClientVolumeInfo> volumes;
  ASSERT_TRUE(session.getVolumeList(volumes));
  ASSERT_EQ(volumes.size(), 2u);
  EXPECT_EQ(paths(volumes[0]), Strings{});
  EXPECT_EQ(paths(volumes[1]), Strings{"E:\\"});
  EXPECT_TRUE(volumes[1].getMountPoints()[0].isCaseSensitive());

  // The same path twice, and removing what is not there.
  EXPECT_FALSE(session.addVolumeMountPoint("\\\\.\\Disk1", "E:\\", "NTFS", "", nullptr, "", 7, 0));
  EXPECT_EQ(session.getLastErrorString(), "Path [E:\\] is already a mount point.");
  EXPECT_FALSE(session.removeVolumeMountPoint("F:\\", "src", 7, 0));
  EXPECT_EQ(session.getLastErrorString(), "Path [F:\\] is not a mount point.");

  ASSERT_TRUE(session.removeVolumeMountPoint("E:\\", "src", 7, 0));
  ASSERT_TRUE(session.getVolumeList(volumes, "", 0, 0));
  EXPECT_EQ(paths(volumes[1]), Strings{});
  EXPECT_TRUE(testkit::clientvol::agent("client1").mounts.empty());

  const auto adds = testkit::clientvol::journal().calls("addVolumeMountPoint");
  ASSERT_EQ(adds.size(), 2u);
  EXPECT_EQ(adds[0].args, (Strings{"CLIENT1", "\\\\.\\Disk2", "E:\\", "NTFS", "", "src", "7", "1033"}));
}

TEST_F(ClientVolumeService, AnOntapMountTakesTheScriptedPathAndNeverJournalsThePassword) {
  testkit::clientvol::scriptOntapMountPath("client1", "\\\\client1\\snap_share");
  std::string chosen;
  ASSERT_TRUE(session.addVolumeMountPointOntap("snap1", "snap_share", "vol0", "filer / vol0", "admin", "s3cret",
                                               &chosen, 1, 0x409));
  EXPECT_EQ(chosen, "\\\\client1\\snap_share");
  // Without a script the client mounts where it was asked.
  ASSERT_TRUE(session.addVolumeMountPointOntap("snap2", "share2", "vol0", "", "admin", "s3cret", &chosen, 0, 0));
  EXPECT_EQ(chosen, "share2");
  for (const auto& call : testkit::clientvol::journal().calls()) {
    for (const auto& arg : call.args) EXPECT_EQ(arg.find("s3cret"), std::string::npos) << call.name;
  }
  EXPECT_EQ(testkit::clientvol::journal().calls("addVolumeMountPointOntap")[0].args[6], "********");
}

TEST_F(ClientVolumeService, SharesAreAddedOnceAndDeletedOnce) {
  const std::string remark = "FLR";
  ASSERT_TRUE(session.AddCIFSShare("snapshare", "E:\\", 10, &remark));
  EXPECT_FALSE(session.AddCIFSShare("snapshare", "F:\\", 10, nullptr));
  EXPECT_EQ(session.getLastErrorString(), "Share [snapshare] already exists.");
  const auto held = testkit::clientvol::agent("client1").shares;
  ASSERT_EQ(held.size(), 1u);
  EXPECT_EQ(held.at("snapshare").path, "E:\\");
  EXPECT_EQ(held.at("snapshare").comment, "FLR");
  ASSERT_TRUE(session.DelCIFSShare("snapshare"));
  EXPECT_FALSE(session.DelCIFSShare("snapshare"));
  EXPECT_EQ(session.getLastErrorString(), "Share [snapshare] does not exist.");
  EXPECT_EQ(testkit::clientvol::journal().calls("AddCIFSShare")[1].args,
            (Strings{"CLIENT1", "snapshare", "F:\\", "10", "(none)"}));
}

TEST_F(ClientVolumeService, DevicesAreConfiguredWithScriptedOutputsAndUnconfiguredOnce) {
  testkit::clientvol::scriptDeviceText("client1", "\\\\?\\Volume{abc}");
  testkit::clientvol::scriptVVMFlag("client1", true);
  std::string text;
  bool vvm = false;
  unsigned long code = 99;
  ASSERT_TRUE(session.configureQRDevice("\\\\.\\Disk1", text, 1, true, 2, false, vvm, false, true, &code, 3, 0x409,
                                        "x"));
  EXPECT_EQ(text, "\\\\?\\Volume{abc}");
  EXPECT_TRUE(vvm);
  EXPECT_EQ(code, 0u);
  // Scripts are used once: the next answer is the client's own.
  ASSERT_TRUE(session.configureQRDevice("\\\\.\\Disk2", text, 1, true, 2, false, vvm, false, true, &code, 3, 0,
                                        ""));
  EXPECT_EQ(text, "\\\\.\\Disk2");
  EXPECT_FALSE(vvm);
  EXPECT_EQ(testkit::clientvol::agent("client1").configuredDevices,
            (std::set<std::string>{"\\\\.\\Disk1", "\\\\.\\Disk2"}));

  ASSERT_TRUE(session.unconfigureQRDevice("\\\\.\\Disk1", false, 0));
  EXPECT_FALSE(session.unconfigureQRDevice("\\\\.\\Disk1", false, 0));
  EXPECT_EQ(session.getLastErrorString(), "Device [\\\\.\\Disk1] is not configured on the client.");
  ASSERT_TRUE(session.unconfigureQRDevice100("\\\\.\\Disk2", true, 0, "y"));
  EXPECT_FALSE(session.unconfigureQRDevice100("\\\\.\\Disk2", true, 0, "y"));
  EXPECT_EQ(testkit::clientvol::journal().calls("configureQRDevice")[0].args,
            (Strings{"CLIENT1", "\\\\.\\Disk1", "1", "true", "2", "false", "false", "true", "3", "1033", "x"}));
}

TEST_F(ClientVolumeService, ADeviceListGivesOneEntryPerDeviceOrTheScriptedEntries) {
  std::vector<std::string> devices = {"\\\\.\\Disk2", "\\\\.\\Disk9"};
  std::vector<volumeInfo> results;
  unsigned long code = 5;
  ASSERT_TRUE(session.configureListOfQRDevices(2, devices, results, &code, 0, 0, ""));
  ASSERT_EQ(results.size(), 2u);
  EXPECT_EQ(results[0].oldName, "\\\\.\\Disk2");
  EXPECT_EQ(results[0].blockCount, 2000);
  EXPECT_EQ(results[1].errorCode, 0u);
  EXPECT_EQ(code, 0u);

  volumeInfo failed;
  failed.oldName = "\\\\.\\Disk1";
  failed.errorCode = 0x1234;
  failed.errorText = "device busy";
  testkit::clientvol::reset();
  testkit::clientvol::seedHost("client1", 7);
  testkit::clientvol::scriptDeviceListResult("client1", {failed});
  devices = {"\\\\.\\Disk1"};
  ASSERT_TRUE(session.configureListOfQRDevices(1, devices, results, &code, 0, 0, ""));
  ASSERT_EQ(results.size(), 1u);
  EXPECT_EQ(results[0].errorText, "device busy");
  EXPECT_TRUE(testkit::clientvol::agent("client1").configuredDevices.empty()) << "a failed entry is not configured";
}

TEST_F(ClientVolumeService, ContinuousReplicationVolumesMoveThroughTheirStates) {
  EXPECT_FALSE(session.SuspendQuillmereVolume("E:"));
  EXPECT_EQ(session.getLastErrorString(), "Volume [E:] is not being protected.");
  ASSERT_TRUE(session.ProtectQuillmereVolume("qr1", "E:"));
  EXPECT_FALSE(session.ProtectQuillmereVolume("qr1", "E:"));
  EXPECT_FALSE(session.ResumeQuillmereVolume("E:"));
  ASSERT_TRUE(session.SuspendQuillmereVolume("E:"));
  EXPECT_EQ(testkit::clientvol::agent("client1").quillmereVolumes.at("E:").state, 2);
  ASSERT_TRUE(session.ResumeQuillmereVolume("E:"));
  ASSERT_TRUE(session.TerminateQuillmereVolume("qr1", "E:"));
  EXPECT_FALSE(session.TerminateQuillmereVolume("qr1", "E:"));
  EXPECT_EQ(session.getLastErrorString(), "Volume [E:] is not protected.");

  ASSERT_TRUE(session.ActivateQMVolume("qr1", "loc", 7, "hist", 3, 4, 0));
  EXPECT_FALSE(session.ActivateQMVolume("qr1", "loc", 7, "hist", 3, 4, 0));
  ASSERT_TRUE(session.DeactivateQMVolume("qr1", 7, "", 4));
  EXPECT_FALSE(session.DeactivateQMVolume("qr1", 7, "", 4));
  EXPECT_EQ(session.getLastErrorString(), "Volume [4] is not active.");
  EXPECT_TRUE(session.RollbackQMVolumeFromVE("qr1", 4, 1700000000L, true, false, 5));
  EXPECT_TRUE(session.RollbackQMVolumeFromBrowse("qr1", "hist", false, true, 4, 5));
  EXPECT_EQ(testkit::clientvol::journal().calls("RollbackQMVolumeFromVE")[0].args,
            (Strings{"CLIENT1", "qr1", "4", "1700000000", "true", "false", "5"}));
}

TEST_F(ClientVolumeService, DevicePairsAreListedPerServerAndMoveWithADeconfiguredServer) {
  std::vector<std::string> devices = {"stale"};
  ASSERT_TRUE(session.GetQuillmereDevices("qr1", 0, devices));
  EXPECT_TRUE(devices.empty());
  ASSERT_TRUE(session.ConfigureQMDevice("qr1", "Q1", "M1"));
  ASSERT_TRUE(session.ConfigureQMDevice("qr1", "Q2", "M2"));
  EXPECT_FALSE(session.ConfigureQMDevice("qr1", "Q1", "M1"));
  ASSERT_TRUE(session.GetQuillmereDevices("qr1", 0, devices));
  EXPECT_EQ(devices, (Strings{"Q1-M1", "Q2-M2"}));
  ASSERT_TRUE(session.DeconfigureQMServer("qr1", "qr2"));
  EXPECT_FALSE(session.DeconfigureQMServer("qr1", "qr2"));
  EXPECT_EQ(session.getLastErrorString(), "Server [qr1] is not configured on the client.");
  ASSERT_TRUE(session.GetQuillmereDevices("qr2", 0, devices));
  EXPECT_EQ(devices, (Strings{"Q1-M1", "Q2-M2"}));
}

TEST_F(ClientVolumeService, ScriptedVolumeListsAndInjectedFailuresComeFirst) {
  testkit::clientvol::scriptVolumeList("client1", {volume("nas:/vol/a", 5)});
  std::vector<ZQSVCClientVolumeInfo> volumes;
  ASSERT_TRUE(session.getVolumeList(volumes));
  ASSERT_EQ(volumes.size(), 1u);
  EXPECT_EQ(volumes[0].getDeviceName(), "nas:/vol/a");
  testkit::clientvol::journal().injectFailure("getVolumeList", 0, "The service timed out.");
  EXPECT_FALSE(session.getVolumeList(volumes));
  EXPECT_EQ(session.getLastErrorString(), "The service timed out.");
  ASSERT_TRUE(session.getVolumeList(volumes));
  EXPECT_EQ(volumes.size(), 2u);
  EXPECT_EQ(session.getLastErrorString(), "") << "a success clears the last error";
}

TEST_F(ClientVolumeService, TheFLRAgentMountsAndUnmountsOnce) {
  ZQFLRClientApi agent("client1", 7, nullptr);
  EXPECT_EQ(agent.FLRMountSnap("/dev/snap1", "/mnt/flr"), 0);
  EXPECT_NE(agent.FLRMountSnap("/dev/snap2", "/mnt/flr"), 0);
  EXPECT_EQ(agent.lastError(), "Path [/mnt/flr] is already mounted.");
  EXPECT_EQ(testkit::clientvol::agent("client1").agentMounts.at("/mnt/flr"), "/dev/snap1");
  EXPECT_EQ(agent.FLRUnmountSnap("/mnt/flr"), 0);
  EXPECT_NE(agent.FLRUnmountSnap("/mnt/flr"), 0);
  EXPECT_NE(agent.FLRMountSnap(nullptr, "/mnt/x"), 0);
  testkit::clientvol::journal().injectFailure("FLRUnmountSnap", 31, "busy");
  EXPECT_EQ(agent.FLRUnmountSnap("/mnt/flr"), 31);
  EXPECT_EQ(testkit::clientvol::journal().calls("FLRMountSnap")[0].args,
            (Strings{"client1", "/dev/snap1", "/mnt/flr"}));
}

TEST_F(ClientVolumeService, SessionsOnTwoThreadsChangeOneClientWithoutLosingAChange) {
  auto work = [](const std::string& prefix) {
    ZQSVCClientSession s("client1", 7, nullptr, nullptr);
    for (int i = 0; i < 200; ++i) {
      const std::string path = prefix + std::to_string(i);
      if (!s.addVolumeMountPoint("\\\\.\\Disk1", path, "NTFS", "", nullptr, "", 7, 0)) return;
      if (!s.AddCIFSShare(path, path, 1, nullptr)) return;
    }
  };
  std::thread a(work, "/a");
  std::thread b(work, "/b");
  a.join();
  b.join();
  const auto held = testkit::clientvol::agent("client1");
  EXPECT_EQ(held.mounts.size(), 400u);
  EXPECT_EQ(held.shares.size(), 400u);
  EXPECT_EQ(held.volumes[0].getMountPoints().size(), 400u);
}

}  // namespace
