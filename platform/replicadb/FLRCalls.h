// Argument and result structs of the replica database service's calls about
// file-level recovery (consistency points, snapshots, their mounts and
// shares), replication sets and fan-in recovery points. Conventions as in
// platform/replicadb/SNRVolumeCalls.h; a consistency point or snapshot in a result
// starts as the record's default.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/replicadb/FLRRecords.h"

// ---------------------------------------------------------------- consistency points

struct QueryCPByIdArgs_t {
  explicit QueryCPByIdArgs_t(int32_t cpIdValue) : cpId(cpIdValue) {}
  int32_t cpId;
};
struct QueryCPByIdRet_t {
  FLRConsistencyPointRecord_t consistencyPoint = FLRConsistencyPointRecord_t::empty();
  std::string errorText;
};

// Result code of the listings when no consistency point was found.
inline constexpr int32_t kFLRNoneFound = -3;

struct QueryFLRCPsByClientIdAndAppTypeV1Args_t {
  QueryFLRCPsByClientIdAndAppTypeV1Args_t(int32_t clientIdValue, int32_t appTypeValue)
      : clientId(clientIdValue), appType(appTypeValue) {}
  int32_t clientId;
  int32_t appType;
};
struct QueryFLRCPsByClientIdAndAppTypeRet_t {
  std::vector<FLRConsistencyPointRecord_t> consistencyPoints;
  int32_t resultCode = 0;
  std::string errorText;
};

struct QueryFLRConsistencyPointsByFLRSetIdV1Args_t {
  explicit QueryFLRConsistencyPointsByFLRSetIdV1Args_t(int32_t flrSetIdValue) : flrSetId(flrSetIdValue) {}
  int32_t flrSetId;
};
struct QueryFLRConsistencyPointsByFLRSetIdRet_t {
  std::vector<FLRConsistencyPointRecord_t> consistencyPoints;
  int32_t resultCode = 0;
  std::string errorText;
};

struct DelCPArgs_t {
  DelCPArgs_t(int32_t cpIdValue, bool flagValue) : cpId(cpIdValue), flag(flagValue) {}
  int32_t cpId;
  bool flag;
};
struct DelCPRet_t {
  int32_t result = 0;
  std::string errorText;
};

// ---------------------------------------------------------------- snapshots

struct QueryCDRSnapBySnapIdArgs_t {
  explicit QueryCDRSnapBySnapIdArgs_t(int32_t snapIdValue) : snapId(snapIdValue) {}
  int32_t snapId;
};
struct QueryCDRSnapBySnapIdRet_t {
  FLRSnapshotRecord_t snapshot;
  std::string errorText;
};

struct QueryFLRSnapshotsByCPIdArgs_t {
  explicit QueryFLRSnapshotsByCPIdArgs_t(int32_t cpIdValue) : cpId(cpIdValue) {}
  int32_t cpId;
};
struct QueryFLRSnapshotsByCPIdRet_t {
  int32_t result = 0;
  std::string errorText;
  std::vector<FLRSnapshotRecord_t> snapshots;
  std::vector<FLRSnapPairRecord_t> pairs;
  std::vector<FLRPairPathRecord_t> pairPaths;
  std::vector<FLRSnapMountPointRecord_t> mountPoints;
  std::vector<FLRSnapNetworkShareRecord_t> shares;
};

// Writes the snapshot records of the list.
struct UpdateFLRSnapshotArgs_t {
  int32_t value = 0;
  std::string text;
  std::vector<FLRSnapshotRecord_t> snapshots;
};
struct UpdateFLRSnapshotRet_t {
  int32_t result = 0;
  std::string errorText;
};

// ---------------------------------------------------------------- mounts and shares

struct AddFLRSnapMountPointArgs_t {
  FLRSnapMountPointRecord_t mountPoint{-1, -1, nullptr};
};
struct AddFLRSnapMountPointRet_t {
  int32_t mountPointId = -1;  // the new mount point
  std::string errorText;
};

struct DeleteFLRSnapMountPointArgs_t {
  explicit DeleteFLRSnapMountPointArgs_t(int32_t mountPointIdValue) : mountPointId(mountPointIdValue) {}
  int32_t mountPointId;
};
struct DeleteFLRSnapMountPointRet_t {
  int32_t result = 0;
  std::string errorText;
};

struct AddFLRSnapNetworkShareArgs_t {
  FLRSnapNetworkShareRecord_t share{-1, -1, nullptr};
};
struct AddFLRSnapNetworkShareRet_t {
  int32_t shareId = -1;  // the new share
  std::string errorText;
};

struct DeleteFLRSnapNetworkShareArgs_t {
  explicit DeleteFLRSnapNetworkShareArgs_t(int32_t shareIdValue) : shareId(shareIdValue) {}
  int32_t shareId;
};
struct DeleteFLRSnapNetworkShareRet_t {
  int32_t result = 0;
  std::string errorText;
};

// ---------------------------------------------------------------- replication sets and fan-in

struct FindRepSetByVolumeArgs_t {
  explicit FindRepSetByVolumeArgs_t(int32_t repSetIdValue) : repSetId(repSetIdValue) {}
  std::vector<std::string> paths;
  int32_t repSetId;
};
struct FindRepSetByVolumeRet_t {
  std::vector<RepSetVolume_t> volumes;
  int32_t result = 0;
  std::string errorText;
};

struct QueryRPByDstClientIdAndVolNameArgs_t {
  QueryRPByDstClientIdAndVolNameArgs_t(int32_t destClientIdValue, const std::string& volumeNameValue,
                                       bool flagValue)
      : destClientId(destClientIdValue), volumeName(volumeNameValue), flag(flagValue) {}
  int32_t destClientId;
  std::string volumeName;
  bool flag;
};
struct QueryRPByDstClientIdAndVolNameRet_t {
  int32_t result = 0;
  std::string errorText;
  std::vector<RPInfo1Record_t> recoveryPoints;
};

struct QueryFanInDetailInfoByRPIdArgs_t {
  explicit QueryFanInDetailInfoByRPIdArgs_t(int32_t rpIdValue) : rpId(rpIdValue) {}
  int32_t rpId;
};
struct QueryFanInDetailInfoByRPIdRet_t {
  std::string errorText;
  int32_t result = 0;
  std::vector<FanInDetail_t> details;
};
