// The replica database's records of SAN/snapshot volumes, the devices through
// which clients see them, their mount points, and the scratch volumes and
// pools that replicas are made on.
//
// Plain value types shared by the SAN-volume handlers, the replica database
// service and the client volume service. Conventions of every record:
// ids are signed 32-bit with default -1 (no object), texts are empty, flags
// false and 64-bit numbers 0, unless a field says otherwise. A later version
// of a record repeats the earlier one and appends its fields, so it derives
// from it; the one exception is the version-1 volume record, whose start LBA
// and block count are 32-bit with default -1.
//
// Records updated field by field carry a change mask (0 after construction):
// each update setter stores its field and sets its bit, and the service
// changes only the marked fields. Numbers in comments are the request and
// reply elements under which a field travels.
#pragma once

#include <cstdint>
#include <string>

// Volume types 2 to 6 are NAS volumes.
inline bool isNasVolume(int volumeType) { return volumeType >= 2 && volumeType <= 6; }

// ---------------------------------------------------------------- volumes

struct SNRVolumeRecord_t {
  int32_t volumeId = -1;            // 11618
  std::string deviceId;             // 11615 the volume's unique device id
  int32_t deviceIdType = -1;        // 11606
  int32_t lun = -1;                 // 11607
  int32_t startLba = -1;            // 11608 (32-bit in this version)
  int32_t blockCount = -1;          // 11614 (32-bit in this version)
  int32_t blockSize = -1;           // 11619
  bool backupFromSnap = false;      // 11613
  bool volumeLock = false;          // 11620
  std::string fsType;               // 11675
  bool usePermanentReplica = false;  // 11684
};

struct SNRVolumeRecordV3_t {
  static constexpr int32_t kMaskQMState = 0x100;
  static constexpr int32_t kMaskQMProtected = 0x200;
  static constexpr int32_t kMaskApplianceId = 0x400;
  static constexpr int32_t kMaskCostCategoryId = 0x800;

  int32_t volumeId = -1;             // 11618
  std::string deviceId;              // 11615
  int32_t deviceIdType = -1;         // 11606
  int32_t lun = -1;                  // 11607
  int64_t startLba = 0;              // 11608
  int64_t blockCount = 0;            // 11614
  int32_t blockSize = -1;            // 11619
  bool backupFromSnap = false;       // 11613
  bool volumeLock = false;           // 11620
  std::string fsType;                // 11675
  bool usePermanentReplica = false;  // 11684
  std::string auxText;               // cleared when a volume is added
  bool extraFlag = false;            // 11698
  bool qmProtected = false;          // 11712 continuous-replication protected
  int32_t applianceId = -1;          // 11708
  int32_t changeMask = 0;
  int32_t qmState = 0;               // 11711: 0 not protected, 1 protected, 2 suspended
  int64_t costCategoryId = 0;        // 11730 (replies carry the low 32 bits)
  bool tailFlag = false;             // 11776

  void SetQMState(int state) {
    qmState = state;
    changeMask |= kMaskQMState;
  }
  void SetQuillmereProtected(bool isProtected) {
    qmProtected = isProtected;
    changeMask |= kMaskQMProtected;
  }
  void SetApplianceId(int id) {
    applianceId = id;
    changeMask |= kMaskApplianceId;
  }
  // The id is sign-extended to 64 bits.
  void SetCostCategoryId(int id) {
    costCategoryId = static_cast<int64_t>(id);
    changeMask |= kMaskCostCategoryId;
  }
};

struct SNRVolumeRecordV4_t : SNRVolumeRecordV3_t {
  int32_t volumeType = 0;  // 11742; see isNasVolume
};

// ---------------------------------------------------------------- device names

// One device, as a client names it, through which a SAN volume is seen.
struct SNRVolumeDeviceNameRecord_t {
  int32_t deviceNameId = -1;  // first word of the 11633 item
  int32_t hostId = -1;        // 11602; second word of the 11633 item
  int32_t volumeId = -1;
  std::string deviceName;     // text of the 11633 item
};

struct SNRVolumeDeviceNameV2Record_t : SNRVolumeDeviceNameRecord_t {
  bool caseSensitive = false;     // bit 0 of the 11633 flags word
  std::string osDeviceName;       // 11704
  bool deviceConfigured = false;  // 11703
  bool extraFlag = false;         // 11723
  bool configFlag = false;        // set from the client's answer when a device is configured
  int32_t changeMask = 0;
};

struct SNRVolumeDeviceNameV3Record_t : SNRVolumeDeviceNameV2Record_t {
  std::string accessPath;  // 11773
};

struct SNRVolumeDeviceNameV4Record_t : SNRVolumeDeviceNameV3Record_t {
  static constexpr int32_t kMaskAccessPath = 0x100;
  static constexpr int32_t kMaskFilerClientId = 0x200;

  int32_t filerClientId = 1;  // 9223; 1 or less names no NAS filer

  void UpdateAccessPath(const std::string& path) {
    accessPath = path;
    changeMask |= kMaskAccessPath;
  }
  void UpdateFilerClientId(int clientId) {
    filerClientId = clientId;
    changeMask |= kMaskFilerClientId;
  }
};

// ---------------------------------------------------------------- mount points

struct SNRVolumeMountPointRecord_t {
  int32_t mountPointId = -1;  // first word of the 11653 item
  int32_t deviceNameId = -1;  // the device name it belongs to
  std::string mountPath;      // text of the 11653 item
  bool caseSensitive = false;  // bit 0 of the 11653 flags word
  bool extraFlag = false;      // bit 1 of the 11653 flags word
};

// A mount point with whether something is mounted on it now.
struct SNRVolumeMountPointExRecord_t {
  bool mounted = false;
  SNRVolumeMountPointRecord_t mountPoint;
};

struct SNRMountPath_t {
  std::string mountPath;
};

// ---------------------------------------------------------------- scratch volumes and pools

// A SAN volume set aside as a replica target.
struct RVScratchVolumeRecord_t {
  int32_t scratchVolumeId = -1;  // 11624
  int32_t volumeId = -1;         // 11618 the SAN volume that it is
  int32_t poolId = -1;           // 11625 its scratch-volume pool
};

struct RVScratchVolumeV2Record_t : RVScratchVolumeRecord_t {
  uint64_t auxValue = 0;
};

struct RVScratchVolumePoolRecord_t {
  int32_t poolId = -1;     // 11625 id
  int32_t item11634 = -1;
  int32_t item11635 = -1;
  std::string poolName;    // 11625 text
};

struct RVScratchVolumePoolV2Record_t : RVScratchVolumePoolRecord_t {
  int32_t snapEngineId = -1;  // 11643
};

struct RVScratchVolumePoolV3Record_t : RVScratchVolumePoolV2Record_t {
  int32_t poolType = 1;  // 11740
  int32_t auxValue = 0;
};
