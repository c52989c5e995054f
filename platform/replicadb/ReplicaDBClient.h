// The replica database service as the SAN-volume handlers reach it: one
// method per operation and struct version, each taking its argument struct
// and filling its result struct. True is success; false leaves the error
// text in the result (and a result code where the struct has one: -1 when
// the database itself failed, an injected failure's own code, or the codes
// below). Every call is one transaction, its own or the thread's open one;
// a failing call leaves nothing of itself behind. Thread-safe: construct
// one per request (the argument is ignored).
//
// State lives in the central database (platform/replicadb/ReplicaTables.h).
// What the service decides where the record types leave it open:
//   - Ids come from the tables and are never handed out twice, not after
//     deletes either. Reads return change mask 0.
//   - Masked updates (UpdateSNRVolume V3 with bits 0x100 qmState, 0x200
//     qmProtected, 0x400 applianceId, 0x800 costCategoryId; UpdateSNRDevice
//     0x100 accessPath, 0x200 filerClientId; UpdateApplication 0x2 to 0x10)
//     change only the marked fields; mask 0 changes nothing. Other updates
//     store every field of their record version and leave later fields.
//   - AddSNRDevice adds a volume, its device name for the client (the row
//     QR_GetDeviceID finds), the mount points and the history name under
//     the new volume id; the mount paths come back. A client that already
//     has a device of that name (letter case aside) is refused with -12.
//     DeleteSNRDevice removes the device name with its mount points, and
//     the volume with its scratch record, snapshot parameters and history
//     name once no device name sees it; replicas that name it stay.
//   - ConfigureDevice renames the device name, stores its configFlag and
//     marks it configured; UnconfigureDevice clears both marks.
//   - RemoveRVScratchVolPool: -27 while the pool holds scratch volumes,
//     -11 while a replication policy names it. GetClientIdByPoolId: the
//     client of the device names of the pool's volumes; -19 with client 0
//     when it has none. GetAvailableVolFromPool: the volumes of the pool's
//     scratch volumes that are neither reserved (ReserveSNRVolume) nor
//     held by a replica. ReleaseRVScratchVol with the flag set takes a
//     scratch volume id, otherwise a replica id: the replicas on that
//     scratch volume (or that replica) are removed and its volume is free
//     again.
//   - QuerySNRVolume2: query field 1 gives the replicas whose physical
//     volume is the volume, 24 with fourth field 5 those whose primary
//     volume is it; other selections are refused with a text.
//   - QuerySNRDevice: the client's device names, their volumes and mount
//     points, the scratch records of those volumes and the replicas they
//     hold; or a page of them (the device names after an id, at most so
//     many, with what belongs to those device names and their volumes).
//     QueryRVScratchVol V6: one scratch volume (-1: all) with its volume,
//     device names, mount points and the replicas made on it.
//   - BrowseByClientId: the replicas whose primary volume has a device name
//     of the client; BrowseByPolicyId: those of the policy. Each comes with
//     its physical and primary volumes (those that still exist), their
//     device names, mount points and scratch records, and its applications.
//   - The permanent replica of a volume is a replica marked permanent whose
//     primary volume is it; CreatePermanentReplica adds the snapshot
//     device's volume and that replica, DeletePermanentReplica removes both.
//   - History names are keyed by volume id, the latest wins; a volume
//     without one is refused with a text.
//   - UpdateReplicationPolicy keeps the stored retention period and snapshot
//     engine where the record carries -1.
//   - QueryCPsByClientIdAndAppType and QueryFLRConsistencyPointsByFLRSetId
//     answer -3 with an empty list when nothing is found.
//   - QueryReplicationVolumeByUniqueSnapId matches replicaText2, the unique
//     snapshot id of a replica. IsDevVSSSnap answers result 1 with the two
//     texts of a device name recorded as a VSS snapshot, else 0.
//   - SnapVault hosts, copy managers, snapshot engines, application
//     directories, replica applications, subclients, fan-in and replication
//     set records are what the installation (or platform/testkit/replicadb.h)
//     put there.
#pragma once

#include "platform/replicadb/FLRCalls.h"
#include "platform/replicadb/ReplicaCalls.h"
#include "platform/replicadb/SNRVolumeCalls.h"
#include "platform/replicadb/ScratchPoolCalls.h"

class ReplicaDBClient {
 public:
  explicit ReplicaDBClient(int mode = 1) : m_mode(mode) {}

  // ---- volumes, device names, mount points
  bool AddSNRDevice(const AddSNRDeviceV5Args_t& args, AddSNRDeviceV5Ret_t& ret);
  bool DeleteSNRDevice(const DeleteSNRDeviceArgs_t& args, DeleteSNRDeviceRet_t& ret);
  bool UpdateSNRDevice(const UpdateSNRDeviceV4Args_t& args, UpdateSNRDeviceV4Ret_t& ret);
  bool ConfigureDevice(const ConfigureDeviceV2Args_t& args, ConfigureDeviceV2Ret_t& ret);
  bool UnconfigureDevice(const UnconfigureDeviceArgs_t& args, UnconfigureDeviceRet_t& ret);
  bool QuerySNRDevice(const QuerySNRDeviceV6Args_t& args, QuerySNRDeviceV6Ret_t& ret);
  bool QuerySNRVolDevName(const QuerySNRVolDevNameBySNRVolIdArgs_t& args, QuerySNRVolDevNameBySNRVolIdRet_t& ret);
  bool QuerySNRVolDevName(const QuerySNRVolDevNameBySNRVolIdV2Args_t& args, QuerySNRVolDevNameBySNRVolIdV2Ret_t& ret);
  bool QuerySNRVolDevName(const QuerySNRVolDevNameBySNRVolIdV4Args_t& args, QuerySNRVolDevNameBySNRVolIdV4Ret_t& ret);
  bool IsDevVSSSnap(const IsDevVSSSnapArgs_t& args, IsDevVSSSnapRet_t& ret);
  bool GetSNRInfoByClientAndVol(const GetSNRInfoByClientIdAndVolIdV3Args_t& args,
                                GetSNRInfoByClientIdAndVolIdV3Ret_t& ret);

  bool QuerySNRVolume(const QuerySNRVolumeByIdArgs_t& args, QuerySNRVolumeByIdRet_t& ret);
  bool QuerySNRVolume(const QuerySNRVolumeByIdV3Args_t& args, QuerySNRVolumeByIdV3Ret_t& ret);
  bool QuerySNRVolume(const QuerySNRVolumeByIdV4Args_t& args, QuerySNRVolumeByIdV4Ret_t& ret);
  bool QuerySNRVolume(const QuerySNRVolumeByIdV5Args_t& args, QuerySNRVolumeByIdV5Ret_t& ret);
  bool QuerySNRVolume2(const QuerySNRVolume2ByIdV3Args_t& args, QuerySNRVolume2ByIdV3Ret_t& ret);
  bool QuerySNRVolume2(const QuerySNRVolume2ByIdV5Args_t& args, QuerySNRVolume2ByIdV5Ret_t& ret);
  bool UpdateSNRVolume(const UpdateSNRVolumeV3Args_t& args, UpdateSNRVolumeV3Ret_t& ret);
  bool UpdateSNRVolume(const UpdateSNRVolumeV4Args_t& args, UpdateSNRVolumeV4Ret_t& ret);
  bool ReserveSNRVolume(const ReserveSNRVolumeListArgs_t& args, ReserveSNRVolumeListRet_t& ret);

  bool AddSNRMountPoint(const AddSNRMountPointArgs_t& args, AddSNRMountPointRet_t& ret);
  bool RemoveSNRMountPoint(const RemoveSNRMountPointArgs_t& args, RemoveSNRMountPointRet_t& ret);
  bool QuerySNRMountPointBySNRVolId(const QuerySNRMountPointBySNRVolIdArgs_t& args,
                                    QuerySNRMountPointBySNRVolIdRet_t& ret);
  bool QuerySNRVolMountPoint(const QuerySNRVolMountPointBySNRVolDevIdArgs_t& args,
                             QuerySNRVolMountPointBySNRVolDevIdRet_t& ret);

  // ---- browsing
  bool BrowseByClientId(const BrowseByClientIdV2Args_t& args, BrowseByClientIdV2Ret_t& ret);
  bool BrowseByPolicyId(const BrowseByPolicyIdV2Args_t& args, BrowseByPolicyIdV2Ret_t& ret);

  // ---- scratch volumes and pools
  bool AddRVScratchVol(const AddRVScratchVolumeArgs_t& args, AddRVScratchVolumeRet_t& ret);
  bool RemoveRVScratchVol(const RemoveRVScratchVolumeArgs_t& args, RemoveRVScratchVolumeRet_t& ret);
  bool ReleaseRVScratchVol(const ReleaseRVScratchVolumeV2Args_t& args, ReleaseRVScratchVolumeV2Ret_t& ret);
  bool QueryRVScratchVol(const QueryRVScratchVolV6Args_t& args, QueryRVScratchVolV6Ret_t& ret);
  bool QueryRVScratchVol(const QueryScratchVolByIdArgs_t& args, QueryScratchVolByIdRet_t& ret);
  bool QueryRVScratchVolBySNRVolId(const QueryRVScratchVolBySNRVolIdV2Args_t& args,
                                   QueryRVScratchVolBySNRVolIdV2Ret_t& ret);
  bool AddRVScratchVolPool(const AddRVScratchVolPoolV3Args_t& args, AddRVScratchVolPoolV3Ret_t& ret);
  bool RemoveRVScratchVolPool(const RemoveRVScratchVolumePoolArgs_t& args, RemoveRVScratchVolumePoolRet_t& ret);
  bool UpdateRVScratchVolPool(const UpdateRVScratchVolPoolArgs_t& args, UpdateRVScratchVolPoolRet_t& ret);
  bool UpdateRVScratchVolPool(const UpdateRVScratchVolPoolV2Args_t& args, UpdateRVScratchVolPoolV2Ret_t& ret);
  bool QueryRVScratchVolPool(const QueryRVScratchVolPoolV3Args_t& args, QueryRVScratchVolPoolV3Ret_t& ret);
  bool GetRVScrathVolPoolList(GetRVScratchVolPoolV3ListRet_t& ret);
  bool GetAvailableVolFromPool(const GetAvailVolFromPoolArgs_t& args, GetAvailVolFromPoolRet_t& ret);
  bool GetClientIdByPoolId(const GetClientIdByPoolIdArgs_t& args, GetClientIdByPoolIdRet_t& ret);
  bool UpdateCostToVolsInPool(const UpdateCostCategoryToVolsInPoolArgs_t& args,
                              UpdateCostCategoryToVolsInPoolRet_t& ret);

  // ---- snapshot engines and parameters
  bool GetSnapEngineInfoList(GetSnapEngineInfoV3ListRet_t& ret);
  bool AddVolSnapParams(const AddVolSnapParamsV2Args_t& args, AddVolSnapParamsV2Ret_t& ret);
  bool QueryVolSnapParams(const QueryVolSnapParamsV2Args_t& args, QueryVolSnapParamsV2Ret_t& ret);
  bool UpdateVolSnapParams(const UpdateVolSnapParamsV2Args_t& args, UpdateVolSnapParamsV2Ret_t& ret);
  bool RemoveVolSnapParams(const RemoveVolSnapParamArgs_t& args, RemoveVolSnapParamRet_t& ret);

  // ---- replication policies
  bool AddReplicationPolicy(const AddReplicationPolicyV3Args_t& args, AddReplicationPolicyV3Ret_t& ret);
  bool DeleteReplicationPolicy(const RemoveReplicationPolicyArgs_t& args, RemoveReplicationPolicyRet_t& ret);
  bool QueryReplicationPolicy(const QueryReplicationPolicyV2ByIdArgs_t& args, QueryReplicationPolicyV2ByIdRet_t& ret);
  bool UpdateReplicationPolicy(const UpdateReplicationPolicyV2Args_t& args, UpdateReplicationPolicyV2Ret_t& ret);
  bool GetReplicationPolicyList(GetReplicationPolicyV3ListRet_t& ret);
  bool GetSCListByQRPolicy(const GetQRSCListByPolicyArgs_t& args, GetQRSCListByPolicyRet_t& ret);
  bool GetSubclientVolumesList(GetQRSubclientVolumesListRet_t& ret);

  // ---- replicas
  bool GetReplicationVolumeList(GetReplicationVolumeListRet_t& ret);
  bool QueryReplicationVolume(const QueryReplicationVolume42ByIdArgs_t& args, QueryReplicationVolume42ByIdRet_t& ret);
  bool QueryReplicationVolume(const QueryReplicationVolumeByIdV4Args_t& args, QueryReplicationVolumeByIdV4Ret_t& ret);
  bool QueryReplicationVolume(const QueryReplicationVolumeByIdV5Args_t& args, QueryReplicationVolumeByIdV5Ret_t& ret);
  bool QueryReplicationVolumeByUniqueSnapId(const QueryQRVolByUniqueSnapIdArgs_t& args,
                                            QueryQRVolByUniqueSnapIdRet_t& ret);
  bool UpdateReplicationVolume(const UpdateReplicationVolume42Args_t& args, UpdateReplicationVolume42Ret_t& ret);
  bool UpdateReplicationVolume(const UpdateReplicationVolumeV3Args_t& args, UpdateReplicationVolumeV3Ret_t& ret);
  bool DeleteReplicationVolume(const RemoveReplicationVolumeArgs_t& args, RemoveReplicationVolumeRet_t& ret);
  bool QueryAppDirByReplicaVol(const QueryAppDirByReplicaVolArgs_t& args, QueryAppDirByReplicaVolRet_t& ret);
  bool CreatePermanentReplica(const CreatePermanentReplicaV3Args_t& args, CreatePermanentReplicaV3Ret_t& ret);
  bool CreatePermanentReplica(const CreatePermanentReplicaV4Args_t& args, CreatePermanentReplicaV4Ret_t& ret);
  bool DeletePermanentReplica(const DeletePermanentReplicaArgs_t& args, DeletePermanentReplicaRet_t& ret);
  bool QueryPermanentReplica(const QueryPermanentReplicaArgs_t& args, QueryPermanentReplicaRet_t& ret);

  // ---- appliances, history names, user applications, hosts, copy managers
  bool AddQRAppliance(const AddQRApplianceArgs_t& args, AddQRApplianceRet_t& ret);
  bool DeleteQRAppliance(const DeleteQRApplianceArgs_t& args, DeleteQRApplianceRet_t& ret);
  bool GetQRApplianceList(GetQRApplianceListRet_t& ret);
  bool AddQMGlobalHistoryName(const AddQuillmereVolHistoryNameArgs_t& args, AddQuillmereVolHistoryNameRet_t& ret);
  bool QueryQMGlobalHistoryNameByVolId(const QueryQMGlobalHistoryNameByVolumeIdArgs_t& args,
                                       QueryQMGlobalHistoryNameByVolumeIdRet_t& ret);
  bool AddApplication(const AddQRUserAppDefsArgs_t& args, AddQRUserAppDefsRet_t& ret);
  bool DeleteApplication(const DeleteQRUserAppDefsArgs_t& args, DeleteQRUserAppDefsRet_t& ret);
  bool QueryApplication(const QueryQRUserAppDefsArgs_t& args, QueryQRUserAppDefsRet_t& ret);
  bool UpdateApplication(const UpdateQRUserAppDefsArgs_t& args, UpdateQRUserAppDefsRet_t& ret);
  bool GetApplicationList(GetQRUserApplicationListListRet_t& ret);
  bool GetVEHosts(GetVEHostsRet_t& ret);
  bool GetCopyMgrs(GetQRCopyMgrCtrlsRet_t& ret);

  // ---- file-level recovery, replication sets, fan-in
  bool QueryCPById(const QueryCPByIdArgs_t& args, QueryCPByIdRet_t& ret);
  bool QueryCPsByClientIdAndAppType(const QueryFLRCPsByClientIdAndAppTypeV1Args_t& args,
                                    QueryFLRCPsByClientIdAndAppTypeRet_t& ret);
  bool QueryFLRConsistencyPointsByFLRSetId(const QueryFLRConsistencyPointsByFLRSetIdV1Args_t& args,
                                           QueryFLRConsistencyPointsByFLRSetIdRet_t& ret);
  bool DelCP(const DelCPArgs_t& args, DelCPRet_t& ret);
  bool QueryCDRSnapBySnapId(const QueryCDRSnapBySnapIdArgs_t& args, QueryCDRSnapBySnapIdRet_t& ret);
  bool QueryFLRSnapshotsByCPId(const QueryFLRSnapshotsByCPIdArgs_t& args, QueryFLRSnapshotsByCPIdRet_t& ret);
  bool UpdateFLRSnapshot(const UpdateFLRSnapshotArgs_t& args, UpdateFLRSnapshotRet_t& ret);
  bool AddFLRSnapMountPoint(const AddFLRSnapMountPointArgs_t& args, AddFLRSnapMountPointRet_t& ret);
  bool DeleteFLRSnapMountPoint(const DeleteFLRSnapMountPointArgs_t& args, DeleteFLRSnapMountPointRet_t& ret);
  bool AddFLRSnapNetworkShare(const AddFLRSnapNetworkShareArgs_t& args, AddFLRSnapNetworkShareRet_t& ret);
  bool DeleteFLRSnapNetworkShare(const DeleteFLRSnapNetworkShareArgs_t& args, DeleteFLRSnapNetworkShareRet_t& ret);
  bool FindRepSetByVolume(const FindRepSetByVolumeArgs_t& args, FindRepSetByVolumeRet_t& ret);
  bool QueryRPByDstClientIdAndVolName(const QueryRPByDstClientIdAndVolNameArgs_t& args,
                                      QueryRPByDstClientIdAndVolNameRet_t& ret);
  bool QueryFanInRPDetails(const QueryFanInDetailInfoByRPIdArgs_t& args, QueryFanInDetailInfoByRPIdRet_t& ret);

 private:
  [[maybe_unused]] int m_mode;
};
