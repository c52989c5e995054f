// Argument and result structs of the replica database service's calls about
// scratch volumes and their pools, snapshot engines and the snapshot
// parameters of volumes. Conventions as in platform/replicadb/SNRVolumeCalls.h.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/replicadb/ReplicaRecords.h"
#include "platform/replicadb/SNRVolumeRecords.h"

// ---------------------------------------------------------------- scratch volumes

struct AddRVScratchVolumeArgs_t {
  int32_t poolId = -1;
  int32_t volumeId = -1;
};
struct AddRVScratchVolumeRet_t {
  std::string errorText;
  int32_t scratchVolumeId = -1;  // the new scratch volume
};

struct RemoveRVScratchVolumeArgs_t {
  int32_t scratchVolumeId = -1;
};
struct RemoveRVScratchVolumeRet_t {
  std::string errorText;
};

struct ReleaseRVScratchVolumeV2Args_t {
  int32_t scratchVolumeId = -1;
  int32_t replicaId = -1;
  bool flag = false;
};
struct ReleaseRVScratchVolumeV2Ret_t {
  std::string errorText;
};

// A scratch volume with what the service holds about it.
struct QueryRVScratchVolV6Args_t {
  int32_t scratchVolumeId = -1;
};
struct QueryRVScratchVolV6Ret_t {
  std::string errorText;
  int32_t result = 0;
  std::vector<RVScratchVolumeV2Record_t> scratchVolumes;
  std::vector<SNRVolumeDeviceNameV4Record_t> deviceNames;
  std::vector<ReplicationVolumeV5Record_t> replicas;
  std::vector<SNRVolumeRecordV4_t> volumes;
  std::vector<SNRVolumeMountPointRecord_t> mountPoints;
};

struct QueryScratchVolByIdArgs_t {
  explicit QueryScratchVolByIdArgs_t(int32_t scratchVolumeIdValue) : scratchVolumeId(scratchVolumeIdValue) {}
  int32_t scratchVolumeId;
};
struct QueryScratchVolByIdRet_t {
  RVScratchVolumeV2Record_t scratchVolume;
  std::string errorText;
};

struct QueryRVScratchVolBySNRVolIdV2Args_t {
  int32_t volumeId = -1;
};
struct QueryRVScratchVolBySNRVolIdV2Ret_t {
  std::string errorText;
  RVScratchVolumeV2Record_t scratchVolume;
};

// ---------------------------------------------------------------- pools

struct AddRVScratchVolPoolV3Args_t {
  RVScratchVolumePoolV3Record_t pool;
};
struct AddRVScratchVolPoolV3Ret_t {
  std::string errorText;
  int32_t result = 0;
  int32_t poolId = -1;  // the new pool
};

struct RemoveRVScratchVolumePoolArgs_t {
  int32_t poolId = -1;
};
struct RemoveRVScratchVolumePoolRet_t {
  // Result codes told apart by the pool handlers.
  static constexpr int32_t kPoolHasVolumes = -27;     // the pool still holds scratch volumes
  static constexpr int32_t kPoolNamedByPolicy = -11;  // a replication policy names the pool

  std::string errorText;
  int32_t resultCode = 0;
};

struct UpdateRVScratchVolPoolArgs_t {
  RVScratchVolumePoolRecord_t pool;
};
struct UpdateRVScratchVolPoolRet_t {
  std::string errorText;
};

struct UpdateRVScratchVolPoolV2Args_t {
  RVScratchVolumePoolV2Record_t pool;
};
struct UpdateRVScratchVolPoolV2Ret_t {
  std::string errorText;
};

struct QueryRVScratchVolPoolV3Args_t {
  int32_t poolId = -1;
};
struct QueryRVScratchVolPoolV3Ret_t {
  std::string errorText;
  int32_t result = 0;
  RVScratchVolumePoolV3Record_t pool;
};

struct GetRVScratchVolPoolV3ListRet_t {
  std::string errorText;
  int32_t result = 0;
  std::vector<RVScratchVolumePoolV3Record_t> pools;
};

struct GetAvailVolFromPoolArgs_t {
  int32_t poolId = -1;
};
struct GetAvailVolFromPoolRet_t {
  std::string errorText;
  std::vector<int32_t> volumeIds;
};

struct GetClientIdByPoolIdArgs_t {
  explicit GetClientIdByPoolIdArgs_t(int32_t poolIdValue) : poolId(poolIdValue) {}
  int32_t poolId;
};
struct GetClientIdByPoolIdRet_t {
  static constexpr int32_t kPoolWithoutClient = -19;

  int32_t clientId = -1;
  std::string errorText;
  int32_t resultCode = 0;
};

struct UpdateCostCategoryToVolsInPoolArgs_t {
  int32_t poolId = -1;
  uint64_t costCategoryId = 0;
};
struct UpdateCostCategoryToVolsInPoolRet_t {
  int32_t result = 0;
  std::string errorText;
};

// ---------------------------------------------------------------- snapshot engines and parameters

struct GetSnapEngineInfoV3ListRet_t {
  std::string errorText;
  int32_t result = 0;
  std::vector<SnapEngineInfoV3Record_t> engines;
};

struct AddVolSnapParamsV2Args_t {
  VolSnapParamsV2Record_t params;
};
struct AddVolSnapParamsV2Ret_t {
  std::string errorText;
};

struct QueryVolSnapParamsV2Args_t {
  int32_t volumeId = -1;
};
struct QueryVolSnapParamsV2Ret_t {
  VolSnapParamsV2Record_t params;
  std::string errorText;
};

struct UpdateVolSnapParamsV2Args_t {
  VolSnapParamsV2Record_t params;
};
struct UpdateVolSnapParamsV2Ret_t {
  std::string errorText;
};

struct RemoveVolSnapParamArgs_t {
  int32_t volumeId = -1;
};
struct RemoveVolSnapParamRet_t {
  std::string errorText;
};
