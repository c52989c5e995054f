// Argument and result structs of the replica database service's calls about
// SAN/snapshot volumes, their device names and mount points, appliances,
// history names, virtualisation hosts and copy managers.
//
// One argument struct (the operation's name and version with the suffix
// Args_t) and one result struct (suffix Ret_t) per call. Every result holds
// an error text, empty until the service fills it, in the place the
// service's layout gives it: first, after a leading 32-bit result, or after
// the payload. Ids default to -1; a constructor with arguments stores them
// in the order given. Lists keep the service's order.
#pragma once

#include <cstdint>
#include <list>
#include <string>
#include <vector>

#include "platform/replicadb/ReplicaRecords.h"
#include "platform/replicadb/SNRVolumeRecords.h"

// ---------------------------------------------------------------- browsing

struct BrowseByClientIdV2Args_t {
  explicit BrowseByClientIdV2Args_t(int32_t clientIdValue) : clientId(clientIdValue) {}
  int32_t clientId;
};

// Everything the service holds about the volumes of a client or a policy.
struct BrowseByClientIdV2Ret_t {
  std::vector<SNRVolumeRecordV4_t> volumes;
  std::vector<SNRVolumeDeviceNameV4Record_t> deviceNames;
  std::vector<SNRVolumeMountPointRecord_t> mountPoints;
  std::vector<RVScratchVolumeV2Record_t> scratchVolumes;
  std::vector<ReplicationVolumeV5Record_t> replicas;
  std::vector<QRVolumeApp_t> replicaApps;
  std::string errorText;
};

struct BrowseByPolicyIdV2Args_t {
  explicit BrowseByPolicyIdV2Args_t(int32_t policyIdValue) : policyId(policyIdValue) {}
  int32_t policyId;
};

struct BrowseByPolicyIdV2Ret_t : BrowseByClientIdV2Ret_t {};

struct GetSNRInfoByClientIdAndVolIdV3Args_t {
  GetSNRInfoByClientIdAndVolIdV3Args_t(int32_t clientIdValue, int32_t volumeIdValue)
      : clientId(clientIdValue), volumeId(volumeIdValue) {}
  int32_t clientId;
  int32_t volumeId;
};

struct GetSNRInfoByClientIdAndVolIdV3Ret_t {
  std::string errorText;
  SNRVolumeRecordV4_t volume;
  SNRVolumeDeviceNameV3Record_t deviceName;
  std::vector<SNRVolumeMountPointRecord_t> mountPoints;
};

// ---------------------------------------------------------------- devices

struct AddSNRDeviceV5Args_t {
  SNRVolumeRecordV4_t volume;
  SNRVolumeDeviceNameV4Record_t deviceName;
  std::vector<SNRVolumeMountPointRecord_t> mountPoints;
  QuillmereHistoryNameRecord_t historyName;
};

struct AddSNRDeviceV5Ret_t {
  static constexpr int32_t kDeviceAlreadyConfigured = -12;

  std::string errorText;
  int32_t volumeId = -1;  // the added volume
  std::vector<SNRMountPath_t> mountPaths;
  int32_t resultCode = 0;
};

struct ConfigureDeviceV2Args_t {
  SNRVolumeDeviceNameV3Record_t deviceName;
};
struct ConfigureDeviceV2Ret_t {
  std::string errorText;
};

struct UnconfigureDeviceArgs_t {
  int32_t deviceNameId = -1;
};
struct UnconfigureDeviceRet_t {
  std::string errorText;
};

struct DeleteSNRDeviceArgs_t {
  int32_t deviceNameId = -1;
};
struct DeleteSNRDeviceRet_t {
  std::string errorText;
};

struct UpdateSNRDeviceV4Args_t {
  SNRVolumeDeviceNameV4Record_t deviceName;  // with its change mask
};
struct UpdateSNRDeviceV4Ret_t {
  std::string errorText;
};

// The whole answer by default, or one page of it: the host's device names
// after `afterDeviceNameId` in id order, at most `maxDeviceNames` of them,
// with only the other records that belong to those device names or their
// volumes. A caller that pages asks for the next page after the last device
// name of the page before, until a page comes back short. The start is wider
// than a device-name id so that its default lies before every one of them.
struct QuerySNRDeviceV6Args_t {
  static constexpr int64_t kFromFirst = INT64_MIN;
  static constexpr int32_t kNoLimit = 0;

  explicit QuerySNRDeviceV6Args_t(int32_t clientIdValue) : clientId(clientIdValue) {}
  int32_t clientId;  // the SAN host
  int64_t afterDeviceNameId = kFromFirst;
  int32_t maxDeviceNames = kNoLimit;  // 0 (or less): every device name after the start
};

struct QuerySNRDeviceV6Ret_t {
  std::string errorText;
  int32_t result = 0;
  std::vector<SNRVolumeDeviceNameV4Record_t> deviceNames;
  std::vector<SNRVolumeRecordV4_t> volumes;
  std::vector<SNRVolumeMountPointRecord_t> mountPoints;
  std::vector<RVScratchVolumeV2Record_t> scratchVolumes;
  std::vector<ReplicationVolumeV5Record_t> replicas;
};

struct QuerySNRVolDevNameBySNRVolIdArgs_t {
  int32_t volumeId = -1;
};
struct QuerySNRVolDevNameBySNRVolIdRet_t {
  std::string errorText;
  std::vector<SNRVolumeDeviceNameRecord_t> deviceNames;
};

struct QuerySNRVolDevNameBySNRVolIdV2Args_t {
  explicit QuerySNRVolDevNameBySNRVolIdV2Args_t(int32_t volumeIdValue) : volumeId(volumeIdValue) {}
  int32_t volumeId;
};
struct QuerySNRVolDevNameBySNRVolIdV2Ret_t {
  std::string errorText;
  std::vector<SNRVolumeDeviceNameV2Record_t> deviceNames;
};

struct QuerySNRVolDevNameBySNRVolIdV4Args_t {
  int32_t volumeId = -1;
};
struct QuerySNRVolDevNameBySNRVolIdV4Ret_t {
  std::string errorText;
  std::vector<SNRVolumeDeviceNameV4Record_t> deviceNames;
};

// Whether a device is a VSS snapshot: a leading result, the error text and
// two texts about the snapshot.
struct IsDevVSSSnapArgs_t {
  explicit IsDevVSSSnapArgs_t(int32_t deviceNameIdValue) : deviceNameId(deviceNameIdValue) {}
  int32_t deviceNameId;
};
struct IsDevVSSSnapRet_t {
  int32_t result = 0;
  std::string errorText;
  std::string snapshotText1;
  std::string snapshotText2;
};

// ---------------------------------------------------------------- volumes

struct QuerySNRVolumeByIdArgs_t {
  int32_t volumeId = -1;
};
struct QuerySNRVolumeByIdRet_t {
  std::string errorText;
  SNRVolumeRecord_t volume;
  RVScratchVolumeRecord_t scratchVolume;
  ReplicationVolumeRecord_t replica;
};

struct QuerySNRVolumeByIdV3Args_t {
  int32_t volumeId = -1;
};
struct QuerySNRVolumeByIdV3Ret_t {
  std::string errorText;
  int32_t result = 0;
  SNRVolumeRecordV3_t volume;
  RVScratchVolumeRecord_t scratchVolume;
  ReplicationVolumeV3Record_t replica;
};

struct QuerySNRVolumeByIdV4Args_t {
  int32_t volumeId = -1;
  int32_t value = 0;
};
struct QuerySNRVolumeByIdV4Ret_t {
  std::string errorText;
  int32_t result = 0;
  SNRVolumeRecordV4_t volume;
  RVScratchVolumeV2Record_t scratchVolume;
  ReplicationVolumeV4Record_t replica;
};

struct QuerySNRVolumeByIdV5Args_t {
  int32_t volumeId = -1;
  int32_t value = 0;
};
struct QuerySNRVolumeByIdV5Ret_t {
  std::string errorText;
  int32_t result = 0;
  SNRVolumeRecordV4_t volume;
  RVScratchVolumeV2Record_t scratchVolume;
  ReplicationVolumeV5Record_t replica;
};

// A volume with the replicas related to it: `queryField` selects the
// relation (24 with `queryValue` 5: the snapshots of the volume; 1: the
// source volumes that use a scratch volume).
struct QuerySNRVolume2ByIdV3Args_t {
  int32_t volumeId = -1;
  int32_t queryField = 0;
  int32_t relatedId = -1;
  int32_t queryValue = 0;
};
struct QuerySNRVolume2ByIdV3Ret_t {
  std::string errorText;
  SNRVolumeRecordV3_t volume;
  RVScratchVolumeRecord_t scratchVolume;
  std::vector<ReplicationVolumeV3Record_t> replicas;
};

struct QuerySNRVolume2ByIdV5Args_t {
  int32_t volumeId = -1;
  int32_t queryField = 0;
  int32_t relatedId = -1;
  int32_t queryValue = 0;
};
struct QuerySNRVolume2ByIdV5Ret_t {
  std::string errorText;
  SNRVolumeRecordV4_t volume;
  RVScratchVolumeV2Record_t scratchVolume;
  std::vector<ReplicationVolumeV5Record_t> replicas;
};

struct UpdateSNRVolumeV3Args_t {
  SNRVolumeRecordV3_t volume;  // with its change mask
};
struct UpdateSNRVolumeV3Ret_t {
  std::string errorText;
};

struct UpdateSNRVolumeV4Args_t {
  SNRVolumeRecordV4_t volume;
};
struct UpdateSNRVolumeV4Ret_t {
  std::string errorText;
};

struct ReserveSNRVolumeListArgs_t {
  std::vector<int32_t> volumeIds;
};
struct ReserveSNRVolumeListRet_t {
  std::string errorText;
};

// ---------------------------------------------------------------- mount points

struct AddSNRMountPointArgs_t {
  SNRVolumeMountPointRecord_t mountPoint;
};
struct AddSNRMountPointRet_t {
  int32_t mountPointId = -1;  // the new mount point
  std::string errorText;
};

struct RemoveSNRMountPointArgs_t {
  int32_t mountPointId = -1;
};
struct RemoveSNRMountPointRet_t {
  std::string errorText;
};

struct UpdateSNRMountPointArgs_t {
  SNRVolumeMountPointRecord_t mountPoint;
};
struct UpdateSNRMountPointRet_t {
  std::string errorText;
};

struct QuerySNRMountPointBySNRVolIdArgs_t {
  int32_t volumeId = -1;
};
struct QuerySNRMountPointBySNRVolIdRet_t {
  std::string errorText;
  std::vector<SNRVolumeMountPointExRecord_t> mountPoints;
};

struct QuerySNRVolMountPointBySNRVolDevIdArgs_t {
  int32_t deviceNameId = -1;
};
struct QuerySNRVolMountPointBySNRVolDevIdRet_t {
  std::string errorText;
  std::vector<SNRVolumeMountPointRecord_t> mountPoints;
};

// ---------------------------------------------------------------- history names

struct AddQuillmereVolHistoryNameArgs_t {
  QuillmereHistoryNameRecord_t historyName;
};
struct AddQuillmereVolHistoryNameRet_t {
  int32_t result = 0;
  std::string errorText;
};

struct QueryQMGlobalHistoryNameByVolumeIdArgs_t {
  int32_t volumeId = -1;
};
struct QueryQMGlobalHistoryNameByVolumeIdRet_t {
  QuillmereHistoryNameRecord_t historyName;
  std::string errorText;
};

// ---------------------------------------------------------------- appliances, hosts, copy managers

struct AddQRApplianceArgs_t {
  QRApplianceRecord_t appliance;
};
struct AddQRApplianceRet_t {
  int32_t applianceId = -1;  // the new appliance
  std::string errorText;
};

struct DeleteQRApplianceArgs_t {
  int32_t applianceId = -1;
};
struct DeleteQRApplianceRet_t {
  std::string errorText;
};

struct GetQRApplianceListRet_t {
  std::list<QRApplianceRecord_t> appliances;
  std::string errorText;
};

struct GetVEHostsRet_t {
  std::vector<VEHostRecord_t> hosts;
  std::string errorText;
};

struct GetQRCopyMgrCtrlsRet_t {
  std::vector<QRCopyMgrCtrlRecord_t> controllers;
  int32_t result = 0;
  std::string errorText;
};
