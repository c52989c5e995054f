// Each call is one transaction: its own or the thread's open one. Injected
// failures report their text and code and change nothing; a failure at any
// step leaves nothing half written; threads adding at once get distinct
// ids and lose no rows.
#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

#include "platform/db/DBtable.h"
#include "tests/replicadb/ReplicaFixture.h"
#include "tests/support/DatabaseDump.h"
#include "tests/support/FaultSweep.h"

namespace {

using replicatest::ReplicaTest;

class Failures : public ReplicaTest {};

TEST_F(Failures, AnInjectedFailureReportsItsTextAndCodeAndTouchesNothing) {
  const int32_t pool = addPool("p");
  const tktest::DatabaseDump before = tktest::DatabaseDump::take();
  testkit::replicadb::failNext("RemoveRVScratchVolPool", -27, "pool busy");
  RemoveRVScratchVolumePoolArgs_t args;
  args.poolId = pool;
  RemoveRVScratchVolumePoolRet_t ret;
  EXPECT_FALSE(client_.RemoveRVScratchVolPool(args, ret));
  EXPECT_EQ("pool busy", ret.errorText);
  EXPECT_EQ(-27, ret.resultCode);
  testkit::replicadb::failNext("AddSNRDevice", -12, "already configured");
  AddSNRDeviceV5Args_t add;
  add.deviceName.deviceName = "/dev/x";
  AddSNRDeviceV5Ret_t added;
  EXPECT_FALSE(client_.AddSNRDevice(add, added));
  EXPECT_EQ(-12, added.resultCode);
  EXPECT_EQ("already configured", added.errorText);
  testkit::replicadb::failNext("ReplicationMgr::ConfigureDevice", 5, "locked");
  ConfigureDeviceV2Ret_t configured;
  EXPECT_FALSE(manager_.ConfigureDevice(ConfigureDeviceV2Args_t{}, configured, nullptr));
  EXPECT_EQ("locked", configured.errorText);
  EXPECT_EQ(before, tktest::DatabaseDump::take())
      << tktest::DatabaseDump::describeChanges(before, tktest::DatabaseDump::take());
  // The failure was for the next call only.
  EXPECT_TRUE(client_.RemoveRVScratchVolPool(args, ret)) << ret.errorText;
}

TEST_F(Failures, TheJournalNamesEachCallWithItsVersionIdsAndMask) {
  const int32_t volume = addDevice(5, "/dev/a");
  testkit::replicadb::reset();
  UpdateSNRVolumeV3Args_t args;
  args.volume.volumeId = volume;
  args.volume.SetQMState(1);
  args.volume.SetQuillmereProtected(true);
  UpdateSNRVolumeV3Ret_t ret;
  ASSERT_TRUE(client_.UpdateSNRVolume(args, ret));
  QuerySNRVolumeByIdV4Args_t q;
  q.volumeId = volume;
  QuerySNRVolumeByIdV4Ret_t got;
  ASSERT_TRUE(client_.QuerySNRVolume(q, got));
  const std::vector<tkjournal::Call> calls = testkit::replicadb::journal().calls();
  ASSERT_EQ(2u, calls.size());
  EXPECT_EQ("UpdateSNRVolume", calls[0].name);
  EXPECT_EQ((std::vector<std::string>{"3", std::to_string(volume), "768"}), calls[0].args);
  EXPECT_EQ("QuerySNRVolume", calls[1].name);
  EXPECT_EQ((std::vector<std::string>{"4", std::to_string(volume)}), calls[1].args);
}

TEST_F(Failures, AFailureAtAnyStepOfAddingADeviceLeavesNoVolumeDeviceOrMountPoint) {
  tktest::FaultSweep sweep;
  bool ok = false;
  AddSNRDeviceV5Ret_t ret;
  tktest::SweepPlan plan;
  plan.setup = [] {};
  plan.request = [&] {
    AddSNRDeviceV5Args_t args;
    args.deviceName.hostId = 5;
    args.deviceName.deviceName = "/dev/sweep";
    args.historyName.historyName = "h";
    SNRVolumeMountPointRecord_t mp;
    mp.mountPath = "/m1";
    args.mountPoints = {mp, mp};
    ok = manager_.AddSNRDevice(args, ret, nullptr);
  };
  plan.check = [&](const tktest::SweepRun& run) -> std::string {
    if (run.k == 0) return ok ? "" : "the clean run failed: " + ret.errorText;
    if (ok) return "a failed step reported success";
    if (ret.errorText.empty()) return "a failure without a text";
    if (count("SNRVolume") != 0 || count("SNRVolumeMountPoint") != 0 || count("SNRVolumeDeviceName") != 0) {
      return "a failed add left rows behind";
    }
    return "";
  };
  const tktest::SweepReport report = sweep.run(plan);
  EXPECT_TRUE(report.clean()) << report;
  EXPECT_GE(report.calls, 5);
}

TEST_F(Failures, AFailureAtAnyStepOfDeletingADeviceLeavesItWhole) {
  const int32_t volume = addDevice(5, "/dev/a");
  const int32_t device = deviceNameOf(volume);
  addScratch(addPool("p"), volume);
  tktest::FaultSweep sweep;
  bool ok = false;
  DeleteSNRDeviceRet_t ret;
  tktest::SweepPlan plan;
  plan.setup = [] {};
  plan.request = [&] {
    DeleteSNRDeviceArgs_t args;
    args.deviceNameId = device;
    ok = client_.DeleteSNRDevice(args, ret);
  };
  plan.check = [&](const tktest::SweepRun& run) -> std::string {
    if (run.k == 0) return ok ? "" : "the clean run failed: " + ret.errorText;
    if (ok) return "a failed step reported success";
    return count("SNRVolume") == 1 && count("RVScratchVolume") == 1 && count("SNRVolumeMountPoint") == 1
               ? ""
               : "a failed delete removed part of the device";
  };
  const tktest::SweepReport report = sweep.run(plan);
  EXPECT_TRUE(report.clean()) << report;
}

TEST_F(Failures, ABrowseThatFailsAtAnyStepReportsNothingOfWhatItReadBefore) {
  const int32_t primary = addDevice(5, "/dev/a");
  addReplica(primary, addDevice(8, "/dev/b"));
  tktest::FaultSweep sweep;
  bool ok = false;
  BrowseByClientIdV2Ret_t ret;
  tktest::SweepPlan plan;
  plan.setup = [] {};
  plan.request = [&] { ok = client_.BrowseByClientId(BrowseByClientIdV2Args_t(5), ret); };
  plan.check = [&](const tktest::SweepRun& run) -> std::string {
    if (run.k == 0)
      return ok && ret.replicas.size() == 1 && ret.volumes.size() == 2 ? "" : "the clean run is incomplete";
    if (ok) return "a failed step reported success";
    if (ret.errorText.empty()) return "a failure without a text";
    return ret.replicas.empty() && ret.volumes.empty() && ret.deviceNames.empty() && ret.mountPoints.empty()
               ? ""
               : "a failed browse reported part of what it read";
  };
  const tktest::SweepReport report = sweep.run(plan);
  EXPECT_TRUE(report.clean()) << report;
}

class Transactions : public ReplicaTest {};

TEST_F(Transactions, ACallInsideAnOpenTransactionRollsBackWithIt) {
  {
    DBtran tran;
    ASSERT_EQ(0, tran.startTran());
    AddSNRDeviceV5Args_t args;
    args.deviceName.hostId = 5;
    args.deviceName.deviceName = "/dev/in-tran";
    AddSNRDeviceV5Ret_t ret;
    ASSERT_TRUE(manager_.AddSNRDevice(args, ret, &tran)) << ret.errorText;
    // The thread's open transaction is joined by calls made without one.
    AddSNRMountPointArgs_t mp;
    mp.mountPoint.deviceNameId = deviceNameOf(ret.volumeId);
    AddSNRMountPointRet_t mpRet;
    ASSERT_TRUE(client_.AddSNRMountPoint(mp, mpRet)) << mpRet.errorText;
    ASSERT_EQ(0, tran.rollbackTran());
  }
  EXPECT_EQ(0, count("SNRVolume"));
  EXPECT_EQ(0, count("SNRVolumeDeviceName"));
  EXPECT_EQ(0, count("SNRVolumeMountPoint"));
}

TEST_F(Transactions, AFailingCallInsideAnOpenTransactionUndoesOnlyItself) {
  DBtran tran;
  ASSERT_EQ(0, tran.startTran());
  AddSNRDeviceV5Args_t args;
  args.deviceName.hostId = 5;
  args.deviceName.deviceName = "/dev/kept";
  AddSNRDeviceV5Ret_t ret;
  ASSERT_TRUE(manager_.AddSNRDevice(args, ret, &tran));
  EXPECT_FALSE(manager_.AddSNRDevice(args, ret, &tran));
  EXPECT_EQ(-12, ret.resultCode);
  ASSERT_EQ(0, tran.commitTran());
  EXPECT_EQ(1, count("SNRVolume"));
}

TEST_F(Transactions, ThreadsAddingAtOnceGetDistinctIdsAndLoseNoRows) {
  constexpr int kThreads = 4;
  constexpr int kEach = 10;
  std::vector<std::vector<int32_t>> ids(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &ids] {
      ReplicaDBClient own(1);
      for (int i = 0; i < kEach; ++i) {
        AddSNRDeviceV5Args_t args;
        args.deviceName.hostId = 100 + t;
        args.deviceName.deviceName = "/dev/t" + std::to_string(i);
        AddSNRDeviceV5Ret_t ret;
        if (own.AddSNRDevice(args, ret)) ids[t].push_back(ret.volumeId);
        AddQRApplianceArgs_t app;
        AddQRApplianceRet_t appRet;
        own.AddQRAppliance(app, appRet);
      }
    });
  }
  for (std::thread& th : threads) th.join();
  std::set<int32_t> all;
  for (const auto& list : ids) {
    EXPECT_EQ(static_cast<size_t>(kEach), list.size());
    all.insert(list.begin(), list.end());
  }
  EXPECT_EQ(static_cast<size_t>(kThreads * kEach), all.size());
  EXPECT_EQ(kThreads * kEach, count("SNRVolume"));
  EXPECT_EQ(kThreads * kEach, count("SNRVolumeDeviceName"));
  EXPECT_EQ(kThreads * kEach, count("QRAppliance"));
}

}  // namespace
