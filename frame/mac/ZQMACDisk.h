// Disk devices and their volumes (a disk device as one media agent sees it).
#pragma once

#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "frame/mac/ZQMACBase.h"
#include "frame/mac/ZQMACLinkedList.h"

class ZQMACDiskDevice;
class ZQMACDiskVolume;
class ZQMACMagLib;

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
  // ---- the device as the control request asks it ----
  // The device's volume on that media agent, or null.
  ZQMACDiskVolume* FindVolumeByMediaAgent(const ZQMACMediaAgent* agent) const;
  // ---- end of the control-request block ----

  // ---- network-sharing devices (platform/mac/ZQMACNetworkShare.cpp) ----
  // Device types the model gives storage kinds: a network share, cloud
  // storage (a range of services), a deduplicating appliance, and a shared
  // cluster file system.
  static constexpr int kDeviceTypeNetworkShare = 2;
  static constexpr int kDeviceTypeCloudFirst = 3;
  static constexpr int kDeviceTypeCloudLast = 1000;
  static constexpr int kDeviceTypeBoost = 1001;
  static constexpr int kDeviceTypeGFS = 1002;
  bool IsCloud() const { return m_iDeviceType >= kDeviceTypeCloudFirst && m_iDeviceType <= kDeviceTypeCloudLast; }
  bool IsBoost() const { return m_iDeviceType == kDeviceTypeBoost; }
  bool IsGFS() const { return m_iDeviceType == kDeviceTypeGFS; }
  // A new device of that kind (1: a network share), owned by no
  // configuration until ZQMACMediaConfig::AddDiskDevice takes it; null for
  // a kind the model does not know.
  static std::unique_ptr<ZQMACDiskDevice> GetNewNetworkSharingDiskObject(int kind);
  // ---- end of the network-sharing block ----

  // ---- disk-device listing and changes (platform/mac/ZQMACDiskDevices.cpp) ----
  // The disk library that uses the device through one of its mount paths
  // (a mount path whose foreign agent id is the device's id), or null; of
  // several, the first in the configuration's list.
  ZQMACMagLib* UsedByMagLibrary() const;
  // UsedByMagLibrary's answers for every device of one configuration, from
  // one walk of every library's mount paths: a listing that asks about
  // each device pays for the walk once, not once per device. Valid while
  // the configuration's libraries and mount paths stay as they were.
  class MagLibraryUsers {
   public:
    explicit MagLibraryUsers(ZQMACMediaConfig& config);
    // What device.UsedByMagLibrary() answers.
    ZQMACMagLib* Of(const ZQMACDiskDevice& device) const;

   private:
    const ZQMACMediaConfig* m_config;
    std::vector<std::pair<int, ZQMACMagLib*>> m_users;  // by device id, each id once
  };
  // The identification type as text: "Network share" (999), "Cloud
  // storage" (1000), else "Type N".
  std::string GetGuidTypeString() const;
  // True for a network share reached through a remote file host: its path
  // and credentials are the device's (the remote-host settings below), not
  // its volumes'.
  bool IsRemoveFileHost() const { return m_bRemoteFileHost; }
  const std::string& GetRemoteHostVolume() const { return m_sRemoteHostVolume; }
  void SetRemoteHostVolume(const std::string& path) {
    Touch();
    m_sRemoteHostVolume = path;
    MarkChanged(&m_sRemoteHostVolume);
  }
  // The user name in its stored form: user, optionally "!!" proxy user "@"
  // proxy host, optionally ":" proxy password.
  const std::string& GetRemoteHostUserName() const { return m_sRemoteHostUserName; }
  void SetRemoteHostUserName(const std::string& userName) {
    Touch();
    m_sRemoteHostUserName = userName;
    MarkChanged(&m_sRemoteHostUserName);
  }
  void SetRemoteHostUserPassword(const std::string& password) {
    Touch();
    m_sRemoteHostPassword = password;
    MarkChanged(&m_sRemoteHostPassword);
  }
  // Stores the remote-host settings (those the setters above changed);
  // false with the reason in the last error.
  bool UpdateRemoteHostInfo();
  // Ties the device to the DRU host of that id (0: to none), stored with
  // the device when the configuration lives on the database; false, with
  // the reason in the last error, for a host the instance does not know or
  // a refused write (the device keeps its DRU host then).
  bool SetDRUId(int id);
  // A new network disk device of that display type, reached through a
  // remote file host; not stored and owned by no configuration until
  // ZQMACMediaConfig::AddDiskDevice takes it. Distinct from the
  // network-sharing device above, which is of the network-share type.
  static std::unique_ptr<ZQMACDiskDevice> GetNewNetworkDiskObject(int displayDeviceType);
  // ---- end of the disk-device block ----

  unsigned int GetObjectType() const override;

 protected:
  friend class ZQMACGraph;
  friend class ZQMACDiskVolume;
  void ForgetObjects(const ZQMACGone& gone) override;
  // Marks every remote-host setting as changed: they are stored together,
  // whichever the setters changed.
  void MarkRemoteHostInfo();

  // ---- fields of the disk-device block ----
  bool m_bRemoteFileHost = false;
  std::string m_sRemoteHostVolume;
  std::string m_sRemoteHostUserName;
  std::string m_sRemoteHostPassword;
  // ---- end of the disk-device fields ----

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

  // ---- disk-volume changes (platform/mac/ZQMACDiskDevices.cpp) ----
  // A new volume with the settings of `source` (null: an empty volume): its
  // name, path, credentials, access type and media agent; not its
  // credential id, and attached to no device.
  explicit ZQMACDiskVolume(const ZQMACDiskVolume* source);
  // Takes the volume out of its device's volume list, then makes `device`
  // its device (null: none). With `attach` the volume enters that device's
  // list: at once when a configuration owns the volume, else when its
  // Configure saves it, so a device lists only volumes of its
  // configuration and a refused new volume is in no list. A volume that no
  // configuration owns is detached (SetDiskDevice with null) before its
  // device is freed; an owned one is unlinked by its configuration.
  void SetDiskDevice(ZQMACDiskDevice* device, bool attach);
  // Stores the volume's path, user name, password, access type and
  // credential id; false with the reason in the last error.
  bool UpdateMountPath();
  // ---- end of the disk-volume block ----

  ZQMACMediaAgent* GetMediaAgent() const { return m_pMediaAgent; }
  void SetMediaAgent(ZQMACMediaAgent* agent) { Touch(); m_pMediaAgent = agent; }
  ZQMACDiskDevice* GetDiskDevice() const { return m_pDiskDevice; }
  const std::set<std::string>& GetMountPointList() const { return m_mountPoints; }
  const std::string& GetVolume() const { return m_sVolume; }
  void SetVolume(const std::string& volume) { Touch(); m_sVolume = volume; }
  int GetSanDBId() const { return m_iSanDBId; }
  const std::string& GetUserName() const { return m_sUserName; }
  void SetUserName(const std::string& userName) { Touch(); m_sUserName = userName; }
  const std::string& GetUserPassword() const { return m_sPassword; }
  void SetUserPassword(const std::string& password) { Touch(); m_sPassword = password; }
  // Stores the flag and returns the value now stored.
  bool SetDetected(bool detected) { Touch(); return m_bDetected = detected; }
  int GetDeviceAccessType() const { return m_iDeviceAccessType; }
  void SetDeviceAccessType(int type) { Touch(); m_iDeviceAccessType = type; }
  int GetCredentialId() { return m_iCredentialId; }
  void SetCredentialId(int id) { Touch(); m_iCredentialId = id; }

  bool IsDetected() const { return m_bDetected; }

  // ---- a new volume of a configuration (ZQMACNetworkShare.cpp) ----
  // A volume not saved yet is stored (its device, a stored one of a
  // configuration, and its media agent must be set; it is stored with them
  // when the configuration lives on the database) and owned by the device's
  // configuration from then on; a volume of a device reached through a
  // remote file host and with no path of its own takes the device's remote
  // path. A saved one goes the common way. False (reason in the last error;
  // the caller keeps a new volume) when refused.
  bool Configure(unsigned int mode) override;
  // ---- end of the new-volume block ----

  // ---- verification of the volume (platform/mac/ZQMACDiskDevices.cpp) ----
  // What VerifyDevice is asked to do.
  enum ZQMAV_Verify_OP : int {
    ZQMAV_VERIFY_PATH = 2,        // reach the volume's path; the value becomes what was found there
    ZQMAV_VERIFY_VAULT_LOCK = 3,  // lock the vault for the value's number of days
    ZQMAV_VERIFY_CLOUD = 4,       // reach the volume's cloud target; the value becomes what was found there
  };
  // Runs the verification `operation` with its value (the text may be
  // rewritten by the operation). False, with the reason in the volume's
  // last error, for an operation the model does not know or a refusal.
  bool VerifyDevice(int operation, std::string& value);
  // The vault-lock value the volume last took; 0 until then.
  int GetVaultLock() const { return m_iVaultLock; }
  // ---- end of verification ----

  unsigned int GetObjectType() const override;

 protected:
  friend class ZQMACGraph;
  void ForgetObjects(const ZQMACGone& gone) override;
  // The vault-lock verification: the value's number of days.
  bool LockVault(std::string& value);

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
  int m_iVaultLock = 0;  // verification block
  bool m_bJoinDevice = false;  // enters its device's list when saved
};

#include "frame/mac/ZQMACObjects.h"
