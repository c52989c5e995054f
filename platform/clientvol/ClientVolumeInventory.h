// What the client volume service reports about a client's volumes: one
// entry per volume with its mount points, and one result entry per device
// of a device-list configuration.
//
// Plain value types filled by the service; the handlers read them through
// the accessors. Numbers are 64-bit as the client reports them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class ZQSVCClientMountPointInfo {
 public:
  std::string mountPath() const { return m_mountPath; }
  bool isCaseSensitive() const { return m_caseSensitive; }

  std::string m_mountPath;
  bool m_caseSensitive = false;
};

class ZQSVCClientVolumeInfo {
 public:
  std::string getDeviceName() const { return deviceName; }
  std::string getIdString() const { return idString; }
  std::string getFSType() const { return fsType; }
  int64_t getIdType() const { return idType; }
  int64_t getLun() const { return lun; }
  int64_t getStartLBA() const { return startLba; }
  int64_t getBlockCount() const { return blockCount; }
  int64_t getBlockSize() const { return blockSize; }
  bool isCaseSensitive() const { return caseSensitive; }
  int32_t getDevConfigStatus() const { return devConfigStatus; }
  int32_t getVolumeType() const { return volumeType; }
  const std::string& getAccessPath() const { return accessPath; }
  std::vector<ZQSVCClientMountPointInfo>& getMountPoints() { return mountPoints; }
  const std::vector<ZQSVCClientMountPointInfo>& getMountPoints() const { return mountPoints; }
  // Replaces the block count (a NAS volume's capacity comes from its filer).
  void SetBlockCount(long long count) { blockCount = count; }

  std::string deviceName;
  std::string idString;
  std::string fsType;
  int64_t idType = 0;
  int64_t lun = 0;
  int64_t startLba = 0;
  int64_t blockCount = 0;
  int64_t blockSize = 0;
  bool caseSensitive = false;
  std::vector<ZQSVCClientMountPointInfo> mountPoints;
  int32_t devConfigStatus = 0;
  int32_t volumeType = 0;
  std::string accessPath;
};

// One entry of a device-list configuration's result; a non-zero error code
// marks an entry that failed.
struct volumeInfo {
  int32_t entryValue = 0;  // the service's own leading number
  std::string oldName;
  std::string changedName;
  std::string mountPath;
  std::string devicePath;
  int64_t blockCount = 0;
  bool vvmVolume = false;  // kept by the central server as the VVM-volume flag
  uint64_t errorCode = 0;
  std::string errorText;
};
