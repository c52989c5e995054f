// The replica database's value types: the defaults of every record version,
// the change-mask setters, the search predicates, the constructors of the
// file-level-recovery records, and the fixed-size outside descriptions.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/clientvol/ClientVolumeInventory.h"
#include "platform/ndmp/NasHostTypes.h"
#include "platform/network/RemoteToolReplies.h"
#include "platform/replicadb/FLRCalls.h"
#include "platform/replicadb/FLRRecords.h"
#include "platform/replicadb/ReplicaCalls.h"
#include "platform/replicadb/ReplicaRecords.h"
#include "platform/replicadb/SNRVolumeCalls.h"
#include "platform/replicadb/SNRVolumeRecords.h"
#include "platform/replicadb/ScratchPoolCalls.h"
#include "sanvol/replica/ReplicaPredicates.h"
#include "sanvol/volumes/SANVolText.h"

namespace {

// ---------------------------------------------------------------- defaults of every version

// What every version of a record family holds by default, checked on the
// fields each version has: ids -1, numbers of later versions 0, flags false,
// texts empty, change masks 0.
template <class Volume>
void expectVolumeDefaults(const Volume& v) {
  EXPECT_EQ(v.volumeId, -1);
  EXPECT_EQ(v.deviceIdType, -1);
  EXPECT_EQ(v.lun, -1);
  EXPECT_EQ(v.blockSize, -1);
  EXPECT_TRUE(v.deviceId.empty());
  EXPECT_TRUE(v.fsType.empty());
  EXPECT_FALSE(v.backupFromSnap || v.volumeLock || v.usePermanentReplica);
  if constexpr (requires { v.changeMask; }) {
    EXPECT_EQ(v.applianceId, -1);
    EXPECT_EQ(v.changeMask, 0);
    EXPECT_EQ(v.qmState, 0);
    EXPECT_EQ(v.costCategoryId, 0);
    EXPECT_FALSE(v.qmProtected || v.extraFlag || v.tailFlag);
    EXPECT_TRUE(v.auxText.empty());
  }
  if constexpr (requires { v.volumeType; }) {
    EXPECT_EQ(v.volumeType, 0);
  }
}

TEST(RecordDefaults, VolumeVersionOneHoldsA32BitLbaAndCountOfMinusOneLaterVersions64BitZero) {
  const SNRVolumeRecord_t v1;
  const SNRVolumeRecordV3_t v3;
  const SNRVolumeRecordV4_t v4;
  {
    SCOPED_TRACE("version 1");
    expectVolumeDefaults(v1);
    static_assert(sizeof v1.startLba == 4 && sizeof v1.blockCount == 4);
    EXPECT_EQ(v1.startLba, -1);
    EXPECT_EQ(v1.blockCount, -1);
  }
  for (const SNRVolumeRecordV3_t* v : {&v3, static_cast<const SNRVolumeRecordV3_t*>(&v4)}) {
    SCOPED_TRACE(v == &v3 ? "version 3" : "version 4");
    expectVolumeDefaults(*v);
    static_assert(sizeof v->startLba == 8 && sizeof v->blockCount == 8);
    EXPECT_EQ(v->startLba, 0);
    EXPECT_EQ(v->blockCount, 0);
  }
  expectVolumeDefaults(v4);
}

template <class DeviceName>
void expectDeviceNameDefaults(const DeviceName& d) {
  EXPECT_EQ(d.deviceNameId, -1);
  EXPECT_EQ(d.hostId, -1);
  EXPECT_EQ(d.volumeId, -1);
  EXPECT_TRUE(d.deviceName.empty());
  if constexpr (requires { d.changeMask; }) {
    EXPECT_FALSE(d.caseSensitive || d.deviceConfigured || d.extraFlag || d.configFlag);
    EXPECT_TRUE(d.osDeviceName.empty());
    EXPECT_EQ(d.changeMask, 0);
  }
  if constexpr (requires { d.accessPath; }) {
    EXPECT_TRUE(d.accessPath.empty());
  }
}

TEST(RecordDefaults, DeviceNamesOfEveryVersionAndTheFilerClientIdOfVersionFour) {
  expectDeviceNameDefaults(SNRVolumeDeviceNameRecord_t{});
  expectDeviceNameDefaults(SNRVolumeDeviceNameV2Record_t{});
  expectDeviceNameDefaults(SNRVolumeDeviceNameV3Record_t{});
  const SNRVolumeDeviceNameV4Record_t v4;
  expectDeviceNameDefaults(v4);
  // 1 names no filer: a listing that sends 9223 only above 1 sends none.
  EXPECT_EQ(v4.filerClientId, 1);
}

template <class Replica>
void expectReplicaDefaults(const Replica& r) {
  for (int32_t id : {r.replicaId, r.pointInTime, r.creationTime, r.modificationTime, r.auxId, r.role,
                     r.primaryVolumeId, r.physicalVolumeId, r.replicationPolicyId, r.scratchVolumeId})
    EXPECT_EQ(id, -1);
  EXPECT_FALSE(r.doNotPrune);
  if constexpr (requires { r.jobId; }) {
    EXPECT_EQ(r.jobId, 0u);
    EXPECT_FALSE(r.snapshotActive || r.activateSnapshot);
  }
  if constexpr (requires { r.item11751; }) {
    EXPECT_EQ(r.item11751, -1);
    EXPECT_FALSE(r.item11713 || r.item11774 || r.item11775);
  }
  if constexpr (requires { r.item11746; }) {
    EXPECT_EQ(r.item11746, 0);
    EXPECT_EQ(r.auxValue, 0);
  }
  if constexpr (requires { r.replicaText; }) {
    EXPECT_TRUE(r.replicaText.empty() && r.replicaText2.empty());
  }
}

TEST(RecordDefaults, ReplicasOfEveryVersion) {
  expectReplicaDefaults(ReplicationVolumeRecord_t{});
  expectReplicaDefaults(ReplicationVolumeRecord42_t{});
  expectReplicaDefaults(ReplicationVolumeV3Record_t{});
  expectReplicaDefaults(ReplicationVolumeV4Record_t{});
  expectReplicaDefaults(ReplicationVolumeV5Record_t{});
}

TEST(RecordDefaults, ScratchVolumesPoolsAndPoliciesOfEveryVersion) {
  for (const RVScratchVolumeRecord_t& s :
       {RVScratchVolumeRecord_t{}, RVScratchVolumeRecord_t(RVScratchVolumeV2Record_t{})}) {
    EXPECT_EQ(s.scratchVolumeId, -1);
    EXPECT_EQ(s.volumeId, -1);
    EXPECT_EQ(s.poolId, -1);
  }
  EXPECT_EQ(RVScratchVolumeV2Record_t{}.auxValue, 0u);

  const RVScratchVolumePoolV3Record_t pool;
  EXPECT_EQ(pool.poolType, 1);
  EXPECT_EQ(pool.auxValue, 0);
  for (int32_t id : {pool.poolId, pool.item11634, pool.item11635, pool.snapEngineId}) EXPECT_EQ(id, -1);
  EXPECT_TRUE(pool.poolName.empty());
  EXPECT_EQ(RVScratchVolumePoolV2Record_t{}.snapEngineId, -1);

  const ReplicationPolicyV3Record_t policy;
  for (int32_t id : {policy.policyId, policy.retentionPeriod, policy.copyManagerId, policy.snapEngineId,
                     policy.scratchPoolId})
    EXPECT_EQ(id, -1);
  EXPECT_FALSE(policy.replicationEnabled || policy.allowSnapOnDestination);
  EXPECT_EQ(policy.snapshotCount, 0);
  EXPECT_EQ(policy.copyManagerType, 0);
  EXPECT_EQ(policy.auxValue, 0);

  const VolSnapParamsV2Record_t params;
  for (int32_t id : {params.volumeId, params.snapEngineId, params.mountClientId, params.syncClientId,
                     params.snapClientId})
    EXPECT_EQ(id, -1);
  EXPECT_FALSE(params.paramsFlag);
  const QRUserAppDefsRecord_t app;
  EXPECT_EQ(app.userAppId, -1);
  EXPECT_EQ(app.appId, -1);
  EXPECT_EQ(app.changeMask, 0);
}

TEST(RecordDefaults, ResultStructsStartWithAnEmptyErrorTextAndDefaultRecords) {
  const QueryCPByIdRet_t cp;
  const FLRConsistencyPointRecord_t& c = cp.consistencyPoint;
  EXPECT_EQ(c.cpId, -1);
  EXPECT_EQ(c.creationTime, 0u);
  EXPECT_EQ(c.flrSetId, 0u);
  EXPECT_EQ(c.jobId, 0u);
  EXPECT_FALSE(c.item11825 || c.item11820 || c.item11819);
  EXPECT_EQ(c.cpValue1, -1);
  EXPECT_EQ(c.cpValue2, -1);
  EXPECT_EQ(c.cpValue3, -1);
  EXPECT_EQ(c.cpValue4 | c.cpValue5 | c.cpValue6, 0);
  EXPECT_TRUE(cp.errorText.empty());
  EXPECT_EQ(QueryCDRSnapBySnapIdRet_t{}.snapshot.engineType, 1);
  EXPECT_EQ(AddFLRSnapMountPointArgs_t{}.mountPoint.mountPointId, -1);
  EXPECT_EQ(AddFLRSnapNetworkShareArgs_t{}.share.mountPointId, -1);
  const ReleaseRVScratchVolumeV2Args_t release;
  EXPECT_EQ(release.scratchVolumeId, -1);
  EXPECT_EQ(release.replicaId, -1);
  EXPECT_FALSE(release.flag);
  const QuerySNRVolume2ByIdV5Args_t query;
  EXPECT_EQ(query.volumeId, -1);
  EXPECT_EQ(query.queryField, 0);
  EXPECT_EQ(query.relatedId, -1);
  const AddSNRDeviceV5Ret_t added;
  EXPECT_TRUE(added.errorText.empty());
  EXPECT_EQ(added.volumeId, -1);
}

// ---------------------------------------------------------------- setters

TEST(RecordSetters, EachSetterStoresItsFieldAndSetsOnlyItsBit) {
  {
    SCOPED_TRACE("SetQMState twice");
    SNRVolumeRecordV3_t v;
    v.SetQMState(1);
    v.SetQMState(2);
    EXPECT_EQ(v.qmState, 2);
    EXPECT_EQ(v.changeMask, 0x100);
  }
  {
    SCOPED_TRACE("SetQuillmereProtected");
    SNRVolumeRecordV4_t v;  // a later version has the setters too
    v.SetQuillmereProtected(true);
    EXPECT_TRUE(v.qmProtected);
    EXPECT_EQ(v.changeMask, 0x200);
  }
  {
    SCOPED_TRACE("SetCostCategoryId sign-extends");
    SNRVolumeRecordV3_t v;
    v.SetCostCategoryId(-5);
    EXPECT_EQ(v.costCategoryId, -5ll);
    EXPECT_EQ(static_cast<uint64_t>(v.costCategoryId), 0xFFFFFFFFFFFFFFFBull);
    EXPECT_EQ(v.changeMask, 0x800);
    v.SetQMState(0);
    v.SetQuillmereProtected(false);
    EXPECT_EQ(v.changeMask, 0xB00);
  }
  {
    SCOPED_TRACE("device name");
    SNRVolumeDeviceNameV4Record_t d;
    d.UpdateAccessPath("\\\\filer\\vol1");
    EXPECT_EQ(d.accessPath, "\\\\filer\\vol1");
    EXPECT_EQ(d.changeMask, 0x100);
    d.UpdateFilerClientId(12);
    EXPECT_EQ(d.filerClientId, 12);
    EXPECT_EQ(d.changeMask, 0x300);
  }
  const struct {
    const char* name;
    void (QRUserAppDefsRecord_t::*update)(const std::string&);
    std::string QRUserAppDefsRecord_t::*field;
    int32_t bit;
  } appCases[] = {
      {"UpdateAppName", &QRUserAppDefsRecord_t::UpdateAppName, &QRUserAppDefsRecord_t::appName, 0x2},
      {"UpdateAppTag", &QRUserAppDefsRecord_t::UpdateAppTag, &QRUserAppDefsRecord_t::appTag, 0x4},
      {"UpdateSuspendScript", &QRUserAppDefsRecord_t::UpdateSuspendScript, &QRUserAppDefsRecord_t::suspendScript, 0x8},
      {"UpdateResumeScript", &QRUserAppDefsRecord_t::UpdateResumeScript, &QRUserAppDefsRecord_t::resumeScript, 0x10},
  };
  for (const auto& c : appCases) {
    SCOPED_TRACE(c.name);
    QRUserAppDefsRecord_t app;
    (app.*c.update)("first");
    (app.*c.update)("second");
    EXPECT_EQ(app.*c.field, "second");
    EXPECT_EQ(app.changeMask, c.bit);
  }
  QRUserAppDefsRecord_t app;
  app.changeMask = 0x10;
  app.UpdateAppName("db");
  EXPECT_EQ(app.changeMask, 0x12);
}

// ---------------------------------------------------------------- predicates

TEST(RecordPredicates, ReplicasAreFoundByTheirPhysicalVolumeNotTheirOwnId) {
  std::vector<ReplicationVolumeV5Record_t> replicas(2);
  replicas[0].replicaId = 7;  // the id searched for, as a replica id
  replicas[0].physicalVolumeId = 70;
  replicas[1].replicaId = 8;
  replicas[1].physicalVolumeId = 7;
  FindReplicationVolByVolumeId byVolume;
  byVolume.id = 7;
  auto it = std::find_if(replicas.begin(), replicas.end(), byVolume);
  ASSERT_NE(it, replicas.end());
  EXPECT_EQ(it->replicaId, 8);
  byVolume.id = 8;
  EXPECT_EQ(std::find_if(replicas.begin(), replicas.end(), byVolume), replicas.end());
}

TEST(RecordPredicates, EachPredicateComparesItsOwnField) {
  SNRVolumeRecordV4_t volume;
  volume.volumeId = 3;
  SNRVolumeDeviceNameV4Record_t device;
  device.deviceNameId = 4;
  device.volumeId = 3;
  SNRVolumeMountPointRecord_t mount;
  mount.mountPointId = 3;
  mount.deviceNameId = 4;
  RVScratchVolumeV2Record_t scratch;
  scratch.scratchVolumeId = 4;
  scratch.volumeId = 3;
  QRApplianceRecord_t appliance;
  appliance.applianceId = 3;

  FindVolumeById byVolume;
  byVolume.id = 3;
  FindDeviceNameByVolumeId deviceByVolume;
  deviceByVolume.id = 3;
  FindMountPointByDeviceNameId mountByDevice;
  mountByDevice.id = 4;
  FindScratchVolByVolumeId scratchByVolume;
  scratchByVolume.id = 3;
  FindApplianceById applianceById;
  applianceById.id = 3;
  EXPECT_TRUE(byVolume(volume));
  EXPECT_TRUE(byVolume(SNRVolumeRecordV3_t(volume)));  // any version with a volume id
  EXPECT_TRUE(deviceByVolume(device));
  EXPECT_TRUE(mountByDevice(mount));
  EXPECT_TRUE(scratchByVolume(scratch));
  EXPECT_TRUE(applianceById(appliance));

  byVolume.id = deviceByVolume.id = mountByDevice.id = scratchByVolume.id = applianceById.id = 4;
  mountByDevice.id = 3;  // the mount point's own id
  EXPECT_FALSE(byVolume(volume));
  EXPECT_FALSE(deviceByVolume(device)) << "not the device name's own id";
  EXPECT_FALSE(mountByDevice(mount)) << "not the mount point's own id";
  EXPECT_FALSE(scratchByVolume(scratch)) << "not the scratch volume's own id";
  EXPECT_FALSE(applianceById(appliance));
}

// ---------------------------------------------------------------- file-level recovery

TEST(FLRRecords, TheConsistencyPointTakesTheSetIdBeforeTheCreationTime) {
  const FLRConsistencyPointRecord_t cp(7, 100, 200, 300, true, false, 11, 12, true, 13, 14, 15, 16);
  EXPECT_EQ(cp.cpId, 7);
  EXPECT_EQ(cp.flrSetId, 100u);
  EXPECT_EQ(cp.creationTime, 200u);
  EXPECT_EQ(cp.jobId, 300u);
  EXPECT_TRUE(cp.item11825);
  EXPECT_FALSE(cp.item11820);
  EXPECT_TRUE(cp.item11819);
  EXPECT_EQ((std::vector<int32_t>{cp.cpValue1, cp.cpValue2, cp.cpValue3, cp.cpValue4, cp.cpValue5, cp.cpValue6}),
            (std::vector<int32_t>{11, 12, 13, 14, 15, 16}));
}

TEST(FLRRecords, SnapshotEngineTypesAndNullTextsOfTheConstructors) {
  const struct {
    const char* name;
    FLRSnapshotRecord_t snapshot;
    bool vss, ontap;
  } cases[] = {
      {"default (engine 1)", FLRSnapshotRecord_t(), false, false},
      {"VSS", FLRSnapshotRecord_t(1, 2, "s", "v", "C:", 2, "", 0), true, false},
      {"ONTAP", FLRSnapshotRecord_t(1, 2, "s", "v", "filer / vol", 4, "\\\\filer\\s", 0), false, true},
      {"another engine", FLRSnapshotRecord_t(1, 2, nullptr, nullptr, nullptr, 3, "", 0), false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.snapshot.IsVSSSnapshot(), c.vss);
    EXPECT_EQ(c.snapshot.IsONTAPSnapshot(), c.ontap);
  }
  const FLRSnapshotRecord_t empty;
  EXPECT_EQ(empty.snapId, -1);
  EXPECT_EQ(empty.cpId, -1);
  EXPECT_EQ(empty.engineType, 1);
  EXPECT_TRUE(empty.snapName.empty() && empty.snapVolumeName.empty() && empty.snapText3.empty());
  EXPECT_EQ(empty.snapValue, 0);
  const FLRSnapshotRecord_t full(5, 6, "snap", "vol", "src", 2, "share", 9);
  EXPECT_EQ((std::vector<std::string>{full.snapName, full.snapVolumeName, full.snapText3, full.sharePath}),
            (std::vector<std::string>{"snap", "vol", "src", "share"}));
  EXPECT_EQ(full.snapId, 5);
  EXPECT_EQ(full.cpId, 6);
  EXPECT_EQ(full.snapValue, 9);

  const FLRSnapMountPointRecord_t mount(3, 4, nullptr);
  EXPECT_EQ(mount.mountPointId, 3);
  EXPECT_EQ(mount.snapId, 4);
  EXPECT_TRUE(mount.mountPath.empty());
  const FLRSnapNetworkShareRecord_t share(8, 3, "flr$");
  EXPECT_EQ(share.shareId, 8);
  EXPECT_EQ(share.mountPointId, 3);
  EXPECT_EQ(share.shareName, "flr$");
}

// ---------------------------------------------------------------- helpers and outside types

TEST(SanVolHelpers, NasVolumesAreTypesTwoToSix) {
  for (int type = -1; type <= 8; ++type) {
    SCOPED_TRACE(type);
    EXPECT_EQ(isNasVolume(type), type >= 2 && type <= 6);
  }
}

TEST(SanVolHelpers, CaseInsensitiveCompareTakesNullAsTheEmptyText) {
  EXPECT_EQ(_stricmp("Volume", "vOLUME"), 0);
  EXPECT_LT(_stricmp("alpha", "BETA"), 0);
  EXPECT_GT(_stricmp("beta", "ALPHA"), 0);
  EXPECT_EQ(_stricmp(nullptr, ""), 0);
  EXPECT_LT(_stricmp(nullptr, "a"), 0);
}

// Construction over bytes that are not zero shows every field zeroed.
TEST(SanVolHelpers, FixedSizeDescriptionsAreZeroedByTheirConstructors) {
  alignas(MMNDMPHostInfoMsg) unsigned char hostBytes[sizeof(MMNDMPHostInfoMsg)];
  std::memset(hostBytes, 0xAB, sizeof hostBytes);
  const MMNDMPHostInfoMsg* host = new (hostBytes) MMNDMPHostInfoMsg();
  EXPECT_EQ(std::string(host->hostName, sizeof host->hostName), std::string(1024, '\0'));
  EXPECT_EQ(std::string(host->encryptedPassword, sizeof host->encryptedPassword), std::string(2048, '\0'));
  EXPECT_EQ(std::string(host->text2, sizeof host->text2), std::string(32, '\0'));
  EXPECT_EQ(host->value1 | host->osType | host->clientId | host->value2 | host->value3, 0);

  alignas(MMCopyMgrCtrl) unsigned char ctrlBytes[sizeof(MMCopyMgrCtrl)];
  std::memset(ctrlBytes, 0xAB, sizeof ctrlBytes);
  const MMCopyMgrCtrl* ctrl = new (ctrlBytes) MMCopyMgrCtrl();
  EXPECT_EQ(ctrl->copyManagerId | ctrl->clientId | ctrl->controllerType, 0);
  EXPECT_EQ(std::string(ctrl->controllerName, sizeof ctrl->controllerName), std::string(1024, '\0'));
  EXPECT_EQ(std::string(ctrl->typeName, sizeof ctrl->typeName), std::string(32, '\0'));

  const snapDiscoveryResp discovered;
  EXPECT_EQ(discovered.applicationCode, 0u);
  EXPECT_EQ(discovered.value, 0u);
  const zqsRemoteExecuteResponseType executed;
  EXPECT_EQ(executed.errorCode, 0);
  EXPECT_EQ(executed.value64, 0);
  EXPECT_EQ(FLRDiscoveryAppsResp{}.applicationName, nullptr);
  EXPECT_EQ(LncaMountPointInfo{}.sizeBytes, 0u);
}

TEST(SanVolHelpers, ClientVolumeInventoryAccessorsReturnCopies) {
  ZQSVCClientVolumeInfo volume;
  volume.deviceName = "/dev/sdb";
  ZQSVCClientMountPointInfo mount;
  mount.m_mountPath = "/mnt/a";
  mount.m_caseSensitive = true;
  volume.getMountPoints().push_back(mount);
  std::string copy = volume.getDeviceName();
  copy += "1";
  EXPECT_EQ(volume.getDeviceName(), "/dev/sdb") << "the accessors return copies";
  ASSERT_EQ(volume.getMountPoints().size(), 1u);
  EXPECT_EQ(volume.getMountPoints()[0].mountPath(), "/mnt/a");
  EXPECT_TRUE(volume.getMountPoints()[0].isCaseSensitive());
  const volumeInfo entry;
  EXPECT_EQ(entry.errorCode, 0u);
}

}  // namespace
