// The column lists of the replica database's tables, and their CREATE
// statements registered with the central database's schema at library load.
#include "platform/replicadb/ReplicaTables.h"

#include "platform/db/DBSession.h"

namespace tkreplicadb {

SNRVolumeRecord_t volumeV1(const SNRVolumeRecordV4_t& v) {
  SNRVolumeRecord_t out;
  out.volumeId = v.volumeId;
  out.deviceId = v.deviceId;
  out.deviceIdType = v.deviceIdType;
  out.lun = v.lun;
  out.startLba = static_cast<int32_t>(v.startLba);
  out.blockCount = static_cast<int32_t>(v.blockCount);
  out.blockSize = v.blockSize;
  out.backupFromSnap = v.backupFromSnap;
  out.volumeLock = v.volumeLock;
  out.fsType = v.fsType;
  out.usePermanentReplica = v.usePermanentReplica;
  return out;
}

namespace {

using DN = SNRVolumeDeviceNameV4Record_t;

std::vector<Column<DN>> deviceNameExtraColumns() {
  return {
      column<DN>("volumeId", &DN::volumeId),
      column<DN>("caseSensitive", &DN::caseSensitive),
      column<DN>("osDeviceName", &DN::osDeviceName),
      column<DN>("deviceConfigured", &DN::deviceConfigured),
      column<DN>("extraFlag", &DN::extraFlag),
      column<DN>("configFlag", &DN::configFlag),
      column<DN>("accessPath", &DN::accessPath, DN::kMaskAccessPath),
      column<DN>("filerClientId", &DN::filerClientId, DN::kMaskFilerClientId),
  };
}

}  // namespace

const RecordTable<DN>& deviceNameExtras() {
  static const RecordTable<DN> table(kDeviceNameExTable, column<DN>("deviceNameId", &DN::deviceNameId), false,
                                     deviceNameExtraColumns(),
                                     "FOREIGN KEY (\"deviceNameId\") REFERENCES \"SNRVolumeDeviceName\" "
                                     "(\"deviceNameId\") ON DELETE CASCADE");
  return table;
}

const RecordTable<DN>& deviceNames() {
  static const RecordTable<DN> table = [] {
    std::vector<Column<DN>> c = {column<DN>("hostId", &DN::hostId), column<DN>("deviceName", &DN::deviceName)};
    for (Column<DN>& extra : deviceNameExtraColumns()) c.push_back(std::move(extra));
    return RecordTable<DN>(kDeviceNameView, column<DN>("deviceNameId", &DN::deviceNameId), false, std::move(c));
  }();
  return table;
}

const RecordTable<SNRVolumeMountPointRecord_t>& mountPoints() {
  using M = SNRVolumeMountPointRecord_t;
  static const RecordTable<M> table(
      "SNRVolumeMountPoint", column<M>("mountPointId", &M::mountPointId), true,
      {column<M>("deviceNameId", &M::deviceNameId), column<M>("mountPath", &M::mountPath),
       column<M>("caseSensitive", &M::caseSensitive), column<M>("extraFlag", &M::extraFlag)},
      "\"mounted\" INTEGER NOT NULL DEFAULT 0");
  return table;
}

const RecordTable<RVScratchVolumeV2Record_t>& scratchVolumes() {
  using S = RVScratchVolumeV2Record_t;
  static const RecordTable<S> table(
      "RVScratchVolume", column<S>("scratchVolumeId", &S::scratchVolumeId), true,
      {column<S>("volumeId", &S::volumeId), column<S>("poolId", &S::poolId), column<S>("auxValue", &S::auxValue)});
  return table;
}

const RecordTable<SnapEngineInfoV3Record_t>& snapEngines() {
  using E = SnapEngineInfoV3Record_t;
  static const RecordTable<E> table(
      "SnapEngineInfo", column<E>("snapEngineId", &E::snapEngineId), true,
      {column<E>("engineName", &E::engineName), column<E>("item11654", &E::item11654),
       column<E>("item11655", &E::item11655), column<E>("item11656", &E::item11656),
       column<E>("item11657", &E::item11657), column<E>("commandHint1", &E::commandHint1),
       column<E>("commandHint2", &E::commandHint2), column<E>("commandHint3", &E::commandHint3),
       column<E>("commandHint4", &E::commandHint4), column<E>("commandHint5", &E::commandHint5),
       column<E>("commandHint6", &E::commandHint6), column<E>("item8501", &E::item8501),
       column<E>("item11746", &E::item11746), column<E>("rollbackCommandHint", &E::rollbackCommandHint)});
  return table;
}

const RecordTable<VolSnapParamsV2Record_t>& volSnapParams() {
  using P = VolSnapParamsV2Record_t;
  static const RecordTable<P> table(
      "VolSnapParams", column<P>("volumeId", &P::volumeId), false,
      {column<P>("snapEngineId", &P::snapEngineId), column<P>("mountClientId", &P::mountClientId),
       column<P>("commandHint1", &P::commandHint1), column<P>("commandHint2", &P::commandHint2),
       column<P>("syncClientId", &P::syncClientId), column<P>("commandHint3", &P::commandHint3),
       column<P>("commandHint4", &P::commandHint4), column<P>("snapClientId", &P::snapClientId),
       column<P>("commandHint5", &P::commandHint5), column<P>("commandHint6", &P::commandHint6),
       column<P>("paramsFlag", &P::paramsFlag), column<P>("rollbackCommandHint", &P::rollbackCommandHint)});
  return table;
}

const RecordTable<QRApplianceRecord_t>& appliances() {
  using A = QRApplianceRecord_t;
  static const RecordTable<A> table("QRAppliance", column<A>("applianceId", &A::applianceId), true,
                                    {column<A>("applianceName", &A::applianceName)});
  return table;
}

const RecordTable<QuillmereHistoryNameRecord_t>& historyNames() {
  using H = QuillmereHistoryNameRecord_t;
  static const RecordTable<H> table("QuillmereHistoryName", column<H>("volumeId", &H::volumeId), false,
                                    {column<H>("historyName", &H::historyName)});
  return table;
}

const RecordTable<QRUserAppDefsRecord_t>& userApps() {
  using U = QRUserAppDefsRecord_t;
  static const RecordTable<U> table("QRUserAppDefs", column<U>("userAppId", &U::userAppId), true,
                                    {column<U>("appId", &U::appId), column<U>("appName", &U::appName, U::kMaskAppName),
                                     column<U>("appTag", &U::appTag, U::kMaskAppTag),
                                     column<U>("suspendScript", &U::suspendScript, U::kMaskSuspendScript),
                                     column<U>("resumeScript", &U::resumeScript, U::kMaskResumeScript)});
  return table;
}

const RecordTable<QRCopyMgrCtrlRecord_t>& copyManagers() {
  using C = QRCopyMgrCtrlRecord_t;
  static const RecordTable<C> table(
      "QRCopyMgrCtrl", column<C>("controllerId", &C::controllerId), true,
      {column<C>("controllerName", &C::controllerName), column<C>("item11702", &C::item11702),
       column<C>("clientId", &C::clientId), column<C>("clientName", &C::clientName),
       column<C>("item8501Id", &C::item8501Id), column<C>("item8501Text", &C::item8501Text)});
  return table;
}

const RecordTable<VEHostRecord_t>& veHosts() {
  using H = VEHostRecord_t;
  static const RecordTable<H> table("VEHost", column<H>("hostId", &H::hostId), false,
                                    {column<H>("hostName", &H::hostName), column<H>("item11718", &H::item11718)});
  return table;
}

const RecordTable<QRVolumeApp_t>& replicaApps() {
  using A = QRVolumeApp_t;
  static const RecordTable<A> table("QRVolumeApp", Column<A>{}, false,
                                    {column<A>("replicaId", &A::replicaId), column<A>("appName", &A::appName)});
  return table;
}

const RecordTable<ApplicationDirsRecord_t>& appDirs() {
  using D = ApplicationDirsRecord_t;
  static const RecordTable<D> table(
      "ApplicationDirs", column<D>("appDirId", &D::appDirId), true,
      {column<D>("subclientId", &D::subclientId), column<D>("appCode", &D::appCode),
       column<D>("replicaId", &D::replicaId), column<D>("sourceDirectory", &D::sourceDirectory),
       column<D>("replicaDirectory", &D::replicaDirectory)});
  return table;
}

const RecordTable<FLRConsistencyPointRecord_t>& consistencyPoints() {
  using C = FLRConsistencyPointRecord_t;
  static const RecordTable<C> table(
      "FLRConsistencyPoint", column<C>("cpId", &C::cpId), true,
      {column<C>("creationTime", &C::creationTime), column<C>("flrSetId", &C::flrSetId), column<C>("jobId", &C::jobId),
       column<C>("item11825", &C::item11825), column<C>("item11820", &C::item11820),
       column<C>("cpValue1", &C::cpValue1), column<C>("cpValue2", &C::cpValue2), column<C>("item11819", &C::item11819),
       column<C>("cpValue3", &C::cpValue3), column<C>("cpValue4", &C::cpValue4), column<C>("cpValue5", &C::cpValue5),
       column<C>("cpValue6", &C::cpValue6)},
      "\"clientId\" INTEGER NOT NULL DEFAULT -1, \"appType\" INTEGER NOT NULL DEFAULT -1");
  return table;
}

const RecordTable<FLRSnapshotRecord_t>& flrSnapshots() {
  using S = FLRSnapshotRecord_t;
  static const RecordTable<S> table("FLRSnapshot", column<S>("snapId", &S::snapId), true,
                                    {column<S>("cpId", &S::cpId), column<S>("snapName", &S::snapName),
                                     column<S>("snapVolumeName", &S::snapVolumeName),
                                     column<S>("snapText3", &S::snapText3), column<S>("engineType", &S::engineType),
                                     column<S>("sharePath", &S::sharePath), column<S>("snapValue", &S::snapValue)});
  return table;
}

const RecordTable<FLRSnapPairRecord_t>& flrSnapPairs() {
  using P = FLRSnapPairRecord_t;
  static const RecordTable<P> table("FLRSnapPair", column<P>("pairId", &P::pairId), true,
                                    {column<P>("snapId", &P::snapId), column<P>("pairValue", &P::pairValue)});
  return table;
}

const RecordTable<FLRPairPathRecord_t>& flrPairPaths() {
  using P = FLRPairPathRecord_t;
  static const RecordTable<P> table(
      "FLRPairPath", column<P>("pairId", &P::pairId), true,
      {column<P>("snapId", &P::snapId), column<P>("sourcePath", &P::sourcePath), column<P>("pairPath", &P::pairPath)});
  return table;
}

const RecordTable<FLRSnapMountPointRecord_t>& flrMountPoints() {
  using M = FLRSnapMountPointRecord_t;
  static const RecordTable<M> table("FLRSnapMountPoint", column<M>("mountPointId", &M::mountPointId), true,
                                    {column<M>("snapId", &M::snapId), column<M>("mountPath", &M::mountPath)});
  return table;
}

const RecordTable<FLRSnapNetworkShareRecord_t>& flrShares() {
  using S = FLRSnapNetworkShareRecord_t;
  static const RecordTable<S> table(
      "FLRSnapNetworkShare", column<S>("shareId", &S::shareId), true,
      {column<S>("mountPointId", &S::mountPointId), column<S>("shareName", &S::shareName)});
  return table;
}

const RecordTable<RepSetVolume_t>& repSetVolumes() {
  using V = RepSetVolume_t;
  static const RecordTable<V> table(
      "RepSetVolume", Column<V>{}, false,
      {column<V>("path", &V::path), column<V>("secondText", &V::secondText), column<V>("clientName", &V::clientName),
       column<V>("value", &V::value), column<V>("clientId", &V::clientId)},
      "\"repSetId\" INTEGER NOT NULL DEFAULT -1");
  return table;
}

const RecordTable<RPInfo1Record_t>& recoveryPoints() {
  using P = RPInfo1Record_t;
  static const RecordTable<P> table(
      "RPInfo1", column<P>("rpId", &P::rpId), true,
      {column<P>("rpValue1", &P::rpValue1), column<P>("rpText", &P::rpText), column<P>("mountPath", &P::mountPath),
       column<P>("rpValue2", &P::rpValue2)},
      "\"destClientId\" INTEGER NOT NULL DEFAULT -1, \"volumeName\" TEXT NOT NULL DEFAULT ''");
  return table;
}

const RecordTable<FanInDetail_t>& fanInDetails() {
  using F = FanInDetail_t;
  static const RecordTable<F> table(
      "FanInDetail", Column<F>{}, false,
      {column<F>("text1", &F::text1), column<F>("text2", &F::text2), column<F>("value1", &F::value1),
       column<F>("value2", &F::value2), column<F>("text3", &F::text3), column<F>("text4", &F::text4),
       column<F>("destClientId", &F::destClientId), column<F>("text5", &F::text5), column<F>("text6", &F::text6),
       column<F>("text7", &F::text7), column<F>("text8", &F::text8)},
      "\"rpId\" INTEGER NOT NULL DEFAULT -1");
  return table;
}

namespace {

template <class R>
void declare(const RecordTable<R>& table) {
  tkdb::registerSchema(table.name(), table.createSql());
}

[[maybe_unused]] const bool kRegistered = [] {
  declare(volumes());
  declare(deviceNameExtras());
  tkdb::registerSchema(kDeviceNameView,
                       "CREATE VIEW IF NOT EXISTS \"SNRVolumeDeviceNameFull\" AS SELECT d.\"deviceNameId\" AS "
                       "\"deviceNameId\", d.\"hostId\" AS \"hostId\", d.\"deviceName\" AS \"deviceName\", "
                       "COALESCE(e.\"volumeId\", -1) AS \"volumeId\", COALESCE(e.\"caseSensitive\", 0) AS "
                       "\"caseSensitive\", COALESCE(e.\"osDeviceName\", '') AS \"osDeviceName\", "
                       "COALESCE(e.\"deviceConfigured\", 0) AS \"deviceConfigured\", COALESCE(e.\"extraFlag\", 0) "
                       "AS \"extraFlag\", COALESCE(e.\"configFlag\", 0) AS \"configFlag\", "
                       "COALESCE(e.\"accessPath\", '') AS \"accessPath\", COALESCE(e.\"filerClientId\", 1) AS "
                       "\"filerClientId\" FROM \"SNRVolumeDeviceName\" d LEFT JOIN \"SNRVolumeDeviceNameEx\" e "
                       "ON e.\"deviceNameId\" = d.\"deviceNameId\"");
  declare(mountPoints());
  declare(scratchVolumes());
  declare(pools());
  declare(replicas());
  declare(policies());
  declare(snapEngines());
  declare(volSnapParams());
  declare(appliances());
  declare(historyNames());
  declare(userApps());
  declare(copyManagers());
  declare(veHosts());
  declare(replicaApps());
  declare(appDirs());
  declare(consistencyPoints());
  declare(flrSnapshots());
  declare(flrSnapPairs());
  declare(flrPairPaths());
  declare(flrMountPoints());
  declare(flrShares());
  declare(repSetVolumes());
  declare(recoveryPoints());
  declare(fanInDetails());
  // A host's device listing is read a page of device names at a time; each
  // page finds its mount points, scratch volumes and replicas by these
  // keys, so that a page costs what it holds, not what the tables hold.
  tkdb::registerIndex(mountPoints().name(), "deviceNameId");
  tkdb::registerIndex(scratchVolumes().name(), "volumeId");
  tkdb::registerIndex(replicas().name(), "physicalVolumeId");
  // Which subclients use a policy (for the application types), and which
  // volumes continuous-replication subclients hold.
  tkdb::registerSchema("QRPolicySubclient",
                       "CREATE TABLE IF NOT EXISTS \"QRPolicySubclient\" (\"policyId\" INTEGER NOT NULL, "
                       "\"subclientId\" INTEGER NOT NULL, \"appType\" INTEGER NOT NULL DEFAULT 0)");
  tkdb::registerSchema("QRSubclientVolume",
                       "CREATE TABLE IF NOT EXISTS \"QRSubclientVolume\" (\"volumeId\" INTEGER NOT NULL)");
  // The device names that are VSS snapshots, with the two texts about them.
  tkdb::registerSchema("VSSSnapDevice",
                       "CREATE TABLE IF NOT EXISTS \"VSSSnapDevice\" (\"deviceNameId\" INTEGER PRIMARY KEY, "
                       "\"snapshotText1\" TEXT NOT NULL DEFAULT '', \"snapshotText2\" TEXT NOT NULL DEFAULT '')");
  return true;
}();

}  // namespace

}  // namespace tkreplicadb
