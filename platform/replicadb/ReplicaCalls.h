// Argument and result structs of the replica database service's calls about
// replicas, permanent replicas, replication policies, the subclients and
// volumes of continuous replication, and user applications. Conventions as
// in platform/replicadb/SNRVolumeCalls.h.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/replicadb/ReplicaRecords.h"
#include "platform/replicadb/SNRVolumeRecords.h"

// ---------------------------------------------------------------- replicas

struct QueryReplicationVolume42ByIdArgs_t {
  int32_t replicaId = -1;
};
struct QueryReplicationVolume42ByIdRet_t {
  std::string errorText;
  ReplicationVolumeRecord42_t replica;
};

struct QueryReplicationVolumeByIdV4Args_t {
  int32_t replicaId = -1;
};
struct QueryReplicationVolumeByIdV4Ret_t {
  std::string errorText;
  ReplicationVolumeV4Record_t replica;
};

struct QueryReplicationVolumeByIdV5Args_t {
  int32_t replicaId = -1;
};
struct QueryReplicationVolumeByIdV5Ret_t {
  std::string errorText;
  ReplicationVolumeV5Record_t replica;
};

struct QueryQRVolByUniqueSnapIdArgs_t {
  std::string uniqueSnapId;
};
struct QueryQRVolByUniqueSnapIdRet_t {
  std::vector<ReplicationVolumeV3Record_t> replicas;
  int32_t result = 0;
  std::string errorText;
};

struct GetReplicationVolumeListRet_t {
  std::string errorText;
  std::vector<ReplicationVolumeRecord_t> replicas;
};

struct UpdateReplicationVolume42Args_t {
  ReplicationVolumeRecord42_t replica;
};
struct UpdateReplicationVolume42Ret_t {
  std::string errorText;
};

struct UpdateReplicationVolumeV3Args_t {
  ReplicationVolumeV3Record_t replica;
};
struct UpdateReplicationVolumeV3Ret_t {
  std::string errorText;
};

struct RemoveReplicationVolumeArgs_t {
  explicit RemoveReplicationVolumeArgs_t(int32_t replicaIdValue) : replicaId(replicaIdValue) {}
  int32_t replicaId;
};
struct RemoveReplicationVolumeRet_t {
  std::string errorText;
};

// The applications whose directories a replica holds.
struct QueryAppDirByReplicaVolArgs_t {
  int32_t replicaId = -1;
};
struct QueryAppDirByReplicaVolRet_t {
  std::string errorText;
  std::vector<ApplicationDirsRecord_t> directories;
};

// ---------------------------------------------------------------- permanent replicas

// The snapshot device, the volume it replicates, and fields cleared to zero.
struct CreatePermanentReplicaV3Args_t {
  SNRVolumeRecordV3_t snapshotVolume;
  int32_t sourceVolumeId = -1;
  int32_t value1 = 0;
  int32_t value2 = 0;
};
struct CreatePermanentReplicaV3Ret_t {
  std::string errorText;
};

struct CreatePermanentReplicaV4Args_t {
  SNRVolumeRecordV4_t snapshotVolume;
  int32_t sourceVolumeId = -1;
  int32_t value1 = 0;
  int32_t value2 = 0;
};
struct CreatePermanentReplicaV4Ret_t {
  std::string errorText;
};

struct DeletePermanentReplicaArgs_t {
  int32_t volumeId = -1;
};
struct DeletePermanentReplicaRet_t {
  std::string errorText;
};

struct QueryPermanentReplicaArgs_t {
  int32_t volumeId = -1;
};
struct QueryPermanentReplicaRet_t {
  std::string errorText;
  ReplicationVolumeRecord_t replica;
};

// ---------------------------------------------------------------- replication policies

struct AddReplicationPolicyV3Args_t {
  ReplicationPolicyV3Record_t policy;
};
struct AddReplicationPolicyV3Ret_t {
  int32_t policyId = -1;  // the new policy
  std::string errorText;
};

struct RemoveReplicationPolicyArgs_t {
  int32_t policyId = -1;
};
struct RemoveReplicationPolicyRet_t {
  std::string errorText;
};

struct QueryReplicationPolicyV2ByIdArgs_t {
  int32_t policyId = -1;
};
struct QueryReplicationPolicyV2ByIdRet_t {
  std::string errorText;
  ReplicationPolicyV2Record_t policy;
};

struct UpdateReplicationPolicyV2Args_t {
  ReplicationPolicyV2Record_t policy;
};
struct UpdateReplicationPolicyV2Ret_t {
  std::string errorText;
};

struct GetReplicationPolicyV3ListRet_t {
  std::string errorText;
  std::vector<ReplicationPolicyV3Record_t> policies;
};

// ---------------------------------------------------------------- subclients and their volumes

struct GetQRSCListByPolicyArgs_t {
  explicit GetQRSCListByPolicyArgs_t(int32_t policyIdValue) : policyId(policyIdValue) {}
  int32_t policyId;
  std::vector<int32_t> values;
};
struct GetQRSCListByPolicyRet_t {
  std::string errorText;
  int32_t result = 0;
  std::vector<int32_t> subclientIds;
};

struct GetQRSubclientVolumesListRet_t {
  std::vector<int32_t> volumeIds;
  std::string errorText;
};

// ---------------------------------------------------------------- user applications

struct AddQRUserAppDefsArgs_t {
  QRUserAppDefsRecord_t application;
};
struct AddQRUserAppDefsRet_t {
  int32_t userAppId = -1;  // the new application
  std::string errorText;
};

struct DeleteQRUserAppDefsArgs_t {
  int32_t userAppId = -1;
};
struct DeleteQRUserAppDefsRet_t {
  std::string errorText;
};

struct QueryQRUserAppDefsArgs_t {
  int32_t userAppId = -1;
};
struct QueryQRUserAppDefsRet_t {
  QRUserAppDefsRecord_t application;
  std::string errorText;
};

struct UpdateQRUserAppDefsArgs_t {
  QRUserAppDefsRecord_t application;  // with its id and change mask
};
struct UpdateQRUserAppDefsRet_t {
  std::string errorText;
};

struct GetQRUserApplicationListListRet_t {
  std::string errorText;
  int32_t result = 0;
  std::vector<QRUserAppDefsRecord_t> applications;
};
