// The tables of the replica database, one per kind of record, with the
// columns that carry its fields. A record of an older version is read by
// reading the latest and keeping its part; a table of an older version
// (the template argument) lists only that version's fields, so a
// whole-record update of version N stores what version N has.
//
// Columns that are no field of a record:
//   SNRVolume.reserved             a scratch target handed out by ReserveSNRVolume
//   SNRVolumeMountPoint.mounted     something is mounted there now
//   ReplicationVolume.permanent     the permanent replica of its primary volume
//   FLRConsistencyPoint.clientId, appType   what QueryCPsByClientIdAndAppType selects on
//   RepSetVolume.repSetId, RPInfo1.destClientId and volumeName, FanInDetail.rpId
// Device names live in the landed SNRVolumeDeviceName table (id, client,
// name: what QR_GetDeviceID searches) and in SNRVolumeDeviceNameEx, one row
// per device name with the further fields; SNRVolumeDeviceNameFull joins
// them for reading.
#pragma once

#include <type_traits>
#include <vector>

#include "platform/replicadb/FLRRecords.h"
#include "platform/replicadb/RecordTable.h"
#include "platform/replicadb/ReplicaRecords.h"
#include "platform/replicadb/SNRVolumeRecords.h"

namespace tkreplicadb {

// Change-mask bit of SNRVolumeRecordV3_t for applianceId (the others are
// the record's own constants).
inline constexpr int32_t kMaskApplianceId = 0x400;

inline constexpr const char* kDeviceNameTable = "SNRVolumeDeviceName";
inline constexpr const char* kDeviceNameExTable = "SNRVolumeDeviceNameEx";
inline constexpr const char* kDeviceNameView = "SNRVolumeDeviceNameFull";

// ---------------------------------------------------------------- volumes

template <class R>
const RecordTable<R>& volumeTable() {
  static const RecordTable<R> table = [] {
    using V = SNRVolumeRecordV3_t;
    std::vector<Column<R>> c = {
        column<R>("deviceId", &V::deviceId),
        column<R>("deviceIdType", &V::deviceIdType),
        column<R>("lun", &V::lun),
        column<R>("startLba", &V::startLba),
        column<R>("blockCount", &V::blockCount),
        column<R>("blockSize", &V::blockSize),
        column<R>("backupFromSnap", &V::backupFromSnap),
        column<R>("volumeLock", &V::volumeLock),
        column<R>("fsType", &V::fsType),
        column<R>("usePermanentReplica", &V::usePermanentReplica),
        column<R>("auxText", &V::auxText),
        column<R>("extraFlag", &V::extraFlag),
        column<R>("qmProtected", &V::qmProtected, V::kMaskQMProtected),
        column<R>("applianceId", &V::applianceId, kMaskApplianceId),
        column<R>("qmState", &V::qmState, V::kMaskQMState),
        column<R>("costCategoryId", &V::costCategoryId, V::kMaskCostCategoryId),
        column<R>("tailFlag", &V::tailFlag),
    };
    if constexpr (std::is_base_of_v<SNRVolumeRecordV4_t, R>) {
      c.push_back(column<R>("volumeType", &SNRVolumeRecordV4_t::volumeType));
    }
    return RecordTable<R>("SNRVolume", column<R>("volumeId", &V::volumeId), true, std::move(c),
                          "\"reserved\" INTEGER NOT NULL DEFAULT 0");
  }();
  return table;
}
inline const RecordTable<SNRVolumeRecordV4_t>& volumes() { return volumeTable<SNRVolumeRecordV4_t>(); }

// The version-1 form of a volume (32-bit start LBA and block count).
SNRVolumeRecord_t volumeV1(const SNRVolumeRecordV4_t& volume);

// ---------------------------------------------------------------- device names and mount points

// The further fields of a device name, keyed by the landed table's id.
const RecordTable<SNRVolumeDeviceNameV4Record_t>& deviceNameExtras();
// Every field of a device name (the joined view; read only).
const RecordTable<SNRVolumeDeviceNameV4Record_t>& deviceNames();
const RecordTable<SNRVolumeMountPointRecord_t>& mountPoints();

// ---------------------------------------------------------------- scratch volumes and pools

const RecordTable<RVScratchVolumeV2Record_t>& scratchVolumes();

template <class R>
const RecordTable<R>& poolTable() {
  static const RecordTable<R> table = [] {
    using P = RVScratchVolumePoolRecord_t;
    std::vector<Column<R>> c = {
        column<R>("item11634", &P::item11634),
        column<R>("item11635", &P::item11635),
        column<R>("poolName", &P::poolName),
    };
    if constexpr (std::is_base_of_v<RVScratchVolumePoolV2Record_t, R>) {
      c.push_back(column<R>("snapEngineId", &RVScratchVolumePoolV2Record_t::snapEngineId));
    }
    if constexpr (std::is_base_of_v<RVScratchVolumePoolV3Record_t, R>) {
      c.push_back(column<R>("poolType", &RVScratchVolumePoolV3Record_t::poolType));
      c.push_back(column<R>("auxValue", &RVScratchVolumePoolV3Record_t::auxValue));
    }
    return RecordTable<R>("RVScratchVolumePool", column<R>("poolId", &P::poolId), true, std::move(c));
  }();
  return table;
}
inline const RecordTable<RVScratchVolumePoolV3Record_t>& pools() { return poolTable<RVScratchVolumePoolV3Record_t>(); }

// ---------------------------------------------------------------- replicas and policies

template <class R>
const RecordTable<R>& replicaTable() {
  static const RecordTable<R> table = [] {
    using V1 = ReplicationVolumeRecord_t;
    std::vector<Column<R>> c = {
        column<R>("pointInTime", &V1::pointInTime),
        column<R>("creationTime", &V1::creationTime),
        column<R>("modificationTime", &V1::modificationTime),
        column<R>("auxId", &V1::auxId),
        column<R>("role", &V1::role),
        column<R>("primaryVolumeId", &V1::primaryVolumeId),
        column<R>("physicalVolumeId", &V1::physicalVolumeId),
        column<R>("replicationPolicyId", &V1::replicationPolicyId),
        column<R>("scratchVolumeId", &V1::scratchVolumeId),
        column<R>("doNotPrune", &V1::doNotPrune),
    };
    if constexpr (std::is_base_of_v<ReplicationVolumeRecord42_t, R>) {
      using V = ReplicationVolumeRecord42_t;
      c.push_back(column<R>("jobId", &V::jobId));
      c.push_back(column<R>("snapshotActive", &V::snapshotActive));
      c.push_back(column<R>("activateSnapshot", &V::activateSnapshot));
    }
    if constexpr (std::is_base_of_v<ReplicationVolumeV3Record_t, R>) {
      using V = ReplicationVolumeV3Record_t;
      c.push_back(column<R>("item11751", &V::item11751));
      c.push_back(column<R>("item11713", &V::item11713));
      c.push_back(column<R>("item11774", &V::item11774));
      c.push_back(column<R>("item11775", &V::item11775));
    }
    if constexpr (std::is_base_of_v<ReplicationVolumeV4Record_t, R>) {
      c.push_back(column<R>("item11746", &ReplicationVolumeV4Record_t::item11746));
      c.push_back(column<R>("auxValue", &ReplicationVolumeV4Record_t::auxValue));
    }
    if constexpr (std::is_base_of_v<ReplicationVolumeV5Record_t, R>) {
      c.push_back(column<R>("replicaText", &ReplicationVolumeV5Record_t::replicaText));
      c.push_back(column<R>("replicaText2", &ReplicationVolumeV5Record_t::replicaText2));
    }
    return RecordTable<R>("ReplicationVolume", column<R>("replicaId", &V1::replicaId), true, std::move(c),
                          "\"permanent\" INTEGER NOT NULL DEFAULT 0");
  }();
  return table;
}
inline const RecordTable<ReplicationVolumeV5Record_t>& replicas() {
  return replicaTable<ReplicationVolumeV5Record_t>();
}

template <class R>
const RecordTable<R>& policyTable() {
  static const RecordTable<R> table = [] {
    using P = ReplicationPolicyV2Record_t;
    std::vector<Column<R>> c = {
        column<R>("policyName", &P::policyName),
        column<R>("retentionPeriod", &P::retentionPeriod),
        column<R>("replicationEnabled", &P::replicationEnabled),
        column<R>("copyManagerId", &P::copyManagerId),
        column<R>("snapEngineId", &P::snapEngineId),
        column<R>("scratchPoolId", &P::scratchPoolId),
        column<R>("allowSnapOnDestination", &P::allowSnapOnDestination),
        column<R>("snapshotCount", &P::snapshotCount),
    };
    if constexpr (std::is_base_of_v<ReplicationPolicyV3Record_t, R>) {
      c.push_back(column<R>("copyManagerType", &ReplicationPolicyV3Record_t::copyManagerType));
      c.push_back(column<R>("auxValue", &ReplicationPolicyV3Record_t::auxValue));
    }
    return RecordTable<R>("ReplicationPolicy", column<R>("policyId", &P::policyId), true, std::move(c));
  }();
  return table;
}
inline const RecordTable<ReplicationPolicyV3Record_t>& policies() { return policyTable<ReplicationPolicyV3Record_t>(); }

// ---------------------------------------------------------------- snapshot engines and parameters

const RecordTable<SnapEngineInfoV3Record_t>& snapEngines();
const RecordTable<VolSnapParamsV2Record_t>& volSnapParams();  // keyed by volume id

// ---------------------------------------------------------------- appliances, names, applications, hosts

const RecordTable<QRApplianceRecord_t>& appliances();
const RecordTable<QuillmereHistoryNameRecord_t>& historyNames();  // keyed by volume id
const RecordTable<QRUserAppDefsRecord_t>& userApps();
const RecordTable<QRCopyMgrCtrlRecord_t>& copyManagers();
const RecordTable<VEHostRecord_t>& veHosts();
const RecordTable<QRVolumeApp_t>& replicaApps();
const RecordTable<ApplicationDirsRecord_t>& appDirs();

// ---------------------------------------------------------------- file-level recovery and fan-in

const RecordTable<FLRConsistencyPointRecord_t>& consistencyPoints();
const RecordTable<FLRSnapshotRecord_t>& flrSnapshots();
const RecordTable<FLRSnapPairRecord_t>& flrSnapPairs();
const RecordTable<FLRPairPathRecord_t>& flrPairPaths();
const RecordTable<FLRSnapMountPointRecord_t>& flrMountPoints();
const RecordTable<FLRSnapNetworkShareRecord_t>& flrShares();
const RecordTable<RepSetVolume_t>& repSetVolumes();
const RecordTable<RPInfo1Record_t>& recoveryPoints();
const RecordTable<FanInDetail_t>& fanInDetails();

}  // namespace tkreplicadb
