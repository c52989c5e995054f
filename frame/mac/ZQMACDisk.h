// Disk devices and their volumes (a disk device as one media agent sees it).
#pragma once

#include <set>
#include <string>

#include "frame/mac/ZQMACBase.h"
#include "frame/mac/ZQMACLinkedList.h"

class ZQMACDiskDevice;
class ZQMACDiskVolume;

class ZQMACDiskDevice : public ZQMACInterface {
 public:
  ZQMACDiskDevice() = default;
  ZQMACDiskDevice(const ZQMACDiskDevice&) = default;
  ~ZQMACDiskDevice() override;

  int GetSanDBId() const { return m_iSanDBId; }
  int GetStartLBA() const { return m_iStartLBA; }
  int GetBlockCount() const { return m_iBlockCount; }
  int GetBlockSize() const { return m_iBlockSize; }
  const std::string& GetGuid() const { return m_sGuid; }
  int GetScsiLun() const { return m_iScsiLun; }
  int GetGuidType() const { return m_iGuidType; }
  int GetDRUId() const { return m_iDRUId; }
  // The display type when it is greater than 0, otherwise the device type.
  int GetDisplayDeviceType() const { return m_iDisplayType > 0 ? m_iDisplayType : m_iDeviceType; }

  ZQMACLinkedList<ZQMACDiskVolume> GetVolumeList() const { return m_volumeList; }

  unsigned int GetObjectType() const override;

 protected:
  friend class ZQMACGraph;
  void ForgetObject(const void* address) override;

  int m_iSanDBId = 0;
  int m_iStartLBA = 0;
  int m_iBlockCount = 0;
  int m_iBlockSize = 0;
  std::string m_sGuid;
  int m_iScsiLun = 0;
  int m_iGuidType = 0;
  int m_iDRUId = 0;
  int m_iDeviceType = 0;
  int m_iDisplayType = 0;

  ZQMACLinkedList<ZQMACDiskVolume> m_volumeList;
};

class ZQMACDiskVolume : public ZQMACInterface {
 public:
  ZQMACDiskVolume() = default;
  ZQMACDiskVolume(const ZQMACDiskVolume&) = default;
  ~ZQMACDiskVolume() override;

  ZQMACMediaAgent* GetMediaAgent() const { return m_pMediaAgent; }
  void SetMediaAgent(ZQMACMediaAgent* agent) { m_pMediaAgent = agent; }
  ZQMACDiskDevice* GetDiskDevice() const { return m_pDiskDevice; }
  const std::set<std::string>& GetMountPointList() const { return m_mountPoints; }
  const std::string& GetVolume() const { return m_sVolume; }
  void SetVolume(const std::string& volume) { m_sVolume = volume; }
  int GetSanDBId() const { return m_iSanDBId; }
  const std::string& GetUserName() const { return m_sUserName; }
  void SetUserName(const std::string& userName) { m_sUserName = userName; }
  const std::string& GetUserPassword() const { return m_sPassword; }
  void SetUserPassword(const std::string& password) { m_sPassword = password; }
  // Stores the flag and returns the value now stored.
  bool SetDetected(bool detected) { return m_bDetected = detected; }
  int GetDeviceAccessType() const { return m_iDeviceAccessType; }
  void SetDeviceAccessType(int type) { m_iDeviceAccessType = type; }
  int GetCredentialId() { return m_iCredentialId; }
  void SetCredentialId(int id) { m_iCredentialId = id; }

  bool IsDetected() const { return m_bDetected; }

  unsigned int GetObjectType() const override;

 protected:
  friend class ZQMACGraph;
  void ForgetObject(const void* address) override;

  ZQMACMediaAgent* m_pMediaAgent = nullptr;
  ZQMACDiskDevice* m_pDiskDevice = nullptr;
  std::set<std::string> m_mountPoints;
  std::string m_sVolume;
  int m_iSanDBId = 0;
  std::string m_sUserName;
  std::string m_sPassword;
  bool m_bDetected = false;
  int m_iDeviceAccessType = 0;
  int m_iCredentialId = 0;
};

#include "frame/mac/ZQMACObjects.h"
