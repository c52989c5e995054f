// The replica database's records of replicas (replication volumes),
// replication policies, snapshot engines and volume snapshot parameters,
// appliances, continuous-replication history names and user applications,
// copy-manager controllers and virtualisation hosts.
//
// Plain value types with the conventions of platform/replicadb/SNRVolumeRecords.h: ids
// -1, texts empty, flags false, 64-bit numbers 0 unless a field says
// otherwise; a later version derives from the earlier one; numbers in
// comments are the elements under which a field travels.
#pragma once

#include <cstdint>
#include <string>

// ---------------------------------------------------------------- replicas

struct ReplicationVolumeRecord_t {
  int32_t replicaId = -1;            // 11626
  int32_t pointInTime = -1;          // 11627
  int32_t creationTime = -1;         // 11628
  int32_t modificationTime = -1;     // 11629
  int32_t auxId = -1;
  int32_t role = -1;                 // 11631
  int32_t primaryVolumeId = -1;      // 11632 the source SAN volume
  int32_t physicalVolumeId = -1;     // 11618 the SAN volume that holds the replica
  int32_t replicationPolicyId = -1;  // 11642
  int32_t scratchVolumeId = -1;      // 11624
  bool doNotPrune = false;           // 11688
};

struct ReplicationVolumeRecord42_t : ReplicationVolumeRecord_t {
  uint64_t jobId = 0;             // 2180 the job that made the replica
  bool snapshotActive = false;    // 11695
  bool activateSnapshot = false;  // 11696
};

struct ReplicationVolumeV3Record_t : ReplicationVolumeRecord42_t {
  int32_t item11751 = -1;
  bool item11713 = false;
  bool item11774 = false;
  bool item11775 = false;
};

struct ReplicationVolumeV4Record_t : ReplicationVolumeV3Record_t {
  int32_t item11746 = 0;
  int32_t auxValue = 0;
};

struct ReplicationVolumeV5Record_t : ReplicationVolumeV4Record_t {
  std::string replicaText;   // 11835 when not empty
  std::string replicaText2;
};

// ---------------------------------------------------------------- replication policies

struct ReplicationPolicyV2Record_t {
  int32_t policyId = -1;                // 11642 id
  std::string policyName;               // 11642 text
  int32_t retentionPeriod = -1;         // 11644
  bool replicationEnabled = false;      // 11645 through a copy manager
  int32_t copyManagerId = -1;           // 11646; 0 when replication is not enabled
  int32_t snapEngineId = -1;            // 11643
  int32_t scratchPoolId = -1;           // 11625; 0 when replication is not enabled
  bool allowSnapOnDestination = false;  // 11699
  int32_t snapshotCount = 0;            // 11700
};

struct ReplicationPolicyV3Record_t : ReplicationPolicyV2Record_t {
  int32_t copyManagerType = 0;  // 11741
  int32_t auxValue = 0;
};

// ---------------------------------------------------------------- snapshot engines and parameters

struct SnapEngineInfoV3Record_t {
  int32_t snapEngineId = -1;  // 11643 id
  std::string engineName;     // 11643 text
  bool item11654 = false;
  bool item11655 = false;
  bool item11656 = false;
  bool item11657 = false;
  std::string commandHint1;  // 11658
  std::string commandHint2;  // 11659
  std::string commandHint3;  // 11660
  std::string commandHint4;  // 11661
  std::string commandHint5;  // 11662
  std::string commandHint6;  // 11663
  int32_t item8501 = -1;
  int32_t item11746 = 0;
  std::string rollbackCommandHint;  // 11734
};

// The snapshot parameters of one volume: each client id is followed by the
// two command hints of its role.
struct VolSnapParamsV2Record_t {
  int32_t volumeId = -1;      // 11618
  int32_t snapEngineId = -1;  // 11643
  int32_t mountClientId = -1;  // 11672
  std::string commandHint1;    // 11658
  std::string commandHint2;    // 11659
  int32_t syncClientId = -1;   // 11674
  std::string commandHint3;    // 11660
  std::string commandHint4;    // 11661
  int32_t snapClientId = -1;   // 11673
  std::string commandHint5;    // 11662
  std::string commandHint6;    // 11663
  bool paramsFlag = false;
  std::string rollbackCommandHint;  // 11734
};

// ---------------------------------------------------------------- appliances, names and applications

struct QRApplianceRecord_t {
  int32_t applianceId = -1;   // 11708 id
  std::string applianceName;  // 11708 text
};

// The continuous-replication global history name of a volume (11724).
struct QuillmereHistoryNameRecord_t {
  int32_t volumeId = -1;
  std::string historyName;
};

struct QRUserAppDefsRecord_t {
  static constexpr int32_t kMaskAppName = 0x2;
  static constexpr int32_t kMaskAppTag = 0x4;
  static constexpr int32_t kMaskSuspendScript = 0x8;
  static constexpr int32_t kMaskResumeScript = 0x10;

  int32_t userAppId = -1;     // 11764 the record's own id
  int32_t appId = -1;         // 11761 the application id given on add
  std::string appName;        // 11760
  std::string appTag;         // 11759
  std::string suspendScript;  // 11763
  std::string resumeScript;   // 11762
  int32_t changeMask = 0;

  void UpdateAppName(const std::string& name) {
    appName = name;
    changeMask |= kMaskAppName;
  }
  void UpdateAppTag(const std::string& tag) {
    appTag = tag;
    changeMask |= kMaskAppTag;
  }
  void UpdateSuspendScript(const std::string& script) {
    suspendScript = script;
    changeMask |= kMaskSuspendScript;
  }
  void UpdateResumeScript(const std::string& script) {
    resumeScript = script;
    changeMask |= kMaskResumeScript;
  }
};

// A copy-manager controller.
struct QRCopyMgrCtrlRecord_t {
  int32_t controllerId = -1;   // 11119 id
  std::string controllerName;  // 11119 text
  int32_t item11702 = -1;
  int32_t clientId = -1;       // 2048 id
  std::string clientName;      // 2048 text
  int32_t item8501Id = -1;     // 8501 id
  std::string item8501Text;    // 8501 text
};

struct VEHostRecord_t {
  int32_t hostId = -1;    // 11602 id
  std::string hostName;   // 11602 text
  bool item11718 = false;
};

// An application whose data a replica holds.
struct QRVolumeApp_t {
  int32_t replicaId = -1;
  std::string appName;
};

// The directories of an application on a replica. The application code
// shifted right by 25 bits (arithmetic) gives the application category.
struct ApplicationDirsRecord_t {
  int32_t appDirId = -1;
  int32_t subclientId = -1;
  int32_t appCode = 0;
  int32_t replicaId = -1;
  std::string sourceDirectory;
  std::string replicaDirectory;
};
