// Drives of tape libraries: drives, drive paths (a drive as one media agent
// reaches it), drive pools and master drive pools.
#pragma once

#include <memory>
#include <string>

#include "frame/mac/ZQMACBase.h"
#include "frame/mac/ZQMACDevicePart.h"
#include "frame/mac/ZQMACLinkedList.h"

class ZQMACLms;
class ZQMACDrive;
class ZQMACDms;
class ZQMACDrivePool;
class ZQMACMasterDrivePool;

class ZQMACDrivePool : public ZQMACInterface {
 public:
  ZQMACDrivePool() = default;
  ZQMACDrivePool(const ZQMACDrivePool&) = default;
  ~ZQMACDrivePool() override;

  void SetCreatedByUser(bool byUser) { Touch(); m_bCreatedByUser = byUser; }
  int GetType() const { return m_iType; }
  void SetType(int type) { Touch(); m_iType = type; }
  // Pools of type 3 are NDMP pools.
  bool IsNdmp() const { return m_iType == 3; }
  const std::string& GetProxyClientHost() const { return m_sProxyClientHost; }
  int GetCopyManagerId() const { return m_iCopyManagerId; }
  ZQMACMediaAgent* GetMediaAgent() const { return m_pMediaAgent; }
  int GetCostCategoryId() const { return m_iCostCategoryId; }

  bool IsCreatedByUser() const { return m_bCreatedByUser; }
  ZQMACMasterDrivePool* GetMasterDrivePool() const { return m_pMasterDrivePool; }

  // ---- the pool as the pool-change requests change it ----
  // A stored pool's settings are written through to the database first;
  // false (reason in the last error) when the model or the database refuses.
  bool SetProxyClientHost(const std::string& host);
  bool SetCopyManagerId(int id);
  bool SetCostCategoryId(int id);
  // A new pool's media agent and master pool, before the library adds it:
  // SetMasterDrivePool gives 1, or 0 (reason in the last error) for a null
  // master pool or one without a library.
  void SetMediaAgent(ZQMACMediaAgent* agent) { Touch(); m_pMediaAgent = agent; }
  int SetMasterDrivePool(ZQMACMasterDrivePool* master);
  // ---- end of the pool-change block ----
  ZQMACLinkedList<ZQMACDms> GetDmsList() const { return m_dmsList; }

  // ---- NDMP drive paths (platform/mac/ZQMACNdmpDrives.cpp) ----
  // Stages a new drive path (owned by no instance) into this pool: the
  // path names the pool, and the media agent's AddDms stores and lists it
  // (with the pool, when the pool is new too). False for null or a path an
  // instance owns.
  bool AddDms(ZQMACDms* path);
  // ---- end of the NDMP block ----

  unsigned int GetObjectType() const override;
  ZQMACLms* GetLms() override;
  unsigned int CountDrives(bool all) override;

 protected:
  friend class ZQMACGraph;
  void ForgetObjects(const ZQMACGone& gone) override;

  bool m_bCreatedByUser = false;
  int m_iType = 0;
  std::string m_sProxyClientHost;
  int m_iCopyManagerId = 0;
  ZQMACMediaAgent* m_pMediaAgent = nullptr;
  int m_iCostCategoryId = 0;

  ZQMACLms* m_pLms = nullptr;
  ZQMACMasterDrivePool* m_pMasterDrivePool = nullptr;
  ZQMACLinkedList<ZQMACDms> m_dmsList;
};

class ZQMACMasterDrivePool : public ZQMACInterface {
 public:
  ZQMACMasterDrivePool() = default;
  ZQMACMasterDrivePool(const ZQMACMasterDrivePool&) = default;
  ~ZQMACMasterDrivePool() override;

  void SetCreatedByUser(bool byUser) { Touch(); m_bCreatedByUser = byUser; }
  // A copy of its drive-pool list (same elements).
  ZQMACLinkedList<ZQMACDrivePool> GetDrivePoolList() { return m_drivePoolList; }

  bool IsCreatedByUser() const { return m_bCreatedByUser; }

  unsigned int GetObjectType() const override;
  ZQMACLms* GetLms() override;
  unsigned int CountDrives(bool all) override;

 protected:
  friend class ZQMACGraph;
  void ForgetObjects(const ZQMACGone& gone) override;

  bool m_bCreatedByUser = false;
  ZQMACLinkedList<ZQMACDrivePool> m_drivePoolList;

  ZQMACLms* m_pLms = nullptr;
};

// A drive carries the device part by which the unit identifies itself
// (vendor, product, serial number, firmware revision, description).
class ZQMACDrive : public ZQMACInterface, public ZQMACDevicePart {
 public:
  // Not defaulted: every member has its initializer, and a defaulted one
  // makes `new ZQMACDrive()` clear the whole object first (a load makes one per row).
  ZQMACDrive() {}
  ZQMACDrive(const ZQMACDrive&) = default;
  ~ZQMACDrive() override;

  const std::string& GetDriveIdString() const { return m_sDriveId; }
  const std::string& GetIBMDriveIdString() const { return m_sIBMDriveId; }
  int GetDriveNumber() const { return m_iDriveNumber; }

  // ---- the drive as the drive-change request changes it ----
  // False (reason in the last error) when the model refuses.
  // The unit's own description (device text C).
  bool SetDeviceTextC(const std::string& text);
  bool SetDriveIdString(const std::string& id);
  // ---- end of the drive-change block ----

  ZQMACLinkedList<ZQMACDms> GetDmsList() const { return m_dmsList; }

  // ---- the drive as the drive listing shows it ----
  // The alias name under which the drive is stored (may be empty).
  const std::string& GetAliasName() const { return m_sAliasName; }
  // (platform/mac/ZQMACTapeWizard.cpp) Sets the alias name, stored first
  // in a database-backed instance; false, with the reason as the drive's
  // last error and the name unchanged, when refused.
  bool SetAliasName(const std::string& alias);
  // True when `other` is this drive, or (with `byIdentity`) the same unit
  // by vendor, product and serial text (device text A, not empty), or
  // (with `byName`) a drive of the same non-empty name. Null is never the
  // same.
  bool IsSame(const ZQMACDrive* other, bool byIdentity, bool byName) const;
  // ---- end of the drive listing block ----

  unsigned int GetObjectType() const override;
  ZQMACLms* GetLms() override;
  // The drive paths that reach the drive (a drive shared by several media
  // agents counts more than one).
  // ---- the drive as the control request deconfigures it ----
  // Removes the configuration of the drive with its drive paths; false =
  // failed, reason in the drive's last error.
  bool DeconfigureDrive();
  // ---- end of the deconfiguration block ----
  unsigned int CountDrives(bool all) override;

  // ---- a new NDMP drive (platform/mac/ZQMACNdmpDrives.cpp) ----
  // The texts of a drive not stored yet: its serial number (device text
  // A), firmware revision (device text B), vendor, product, and the vendor
  // table's text that drive pools are matched on (kept in memory only).
  void SetSerialNumber(const std::string& text) { Touch(); m_sDeviceTextA = text; }
  void SetFirmware(const std::string& text) { Touch(); m_sDeviceTextB = text; }
  void SetVendor(const std::string& text) { Touch(); m_sVendor = text; }
  void SetProduct(const std::string& text) { Touch(); m_sProduct = text; }
  void SetPoolMatchText(const std::string& text) { Touch(); m_sPoolMatchText = text; }
  const std::string& GetPoolMatchText() const { return m_sPoolMatchText; }
  // ---- end of the new NDMP drive ----

 protected:
  friend class ZQMACGraph;
  void ForgetObjects(const ZQMACGone& gone) override;

  // ---- fields of the drive listing block (a loader fills them) ----
  std::string m_sAliasName;
  // ---- end of the drive listing fields ----

  std::string m_sPoolMatchText;  // new NDMP drive block
  std::string m_sDriveId;
  std::string m_sIBMDriveId;
  int m_iDriveNumber = 0;

  ZQMACLms* m_pLms = nullptr;
  ZQMACLinkedList<ZQMACDms> m_dmsList;
};

// A drive path: a drive as one media agent reaches it, with its drive pool.
// Its second base part is the SCSI unit.
class ZQMACDms : public ZQMACInterface, public ZQMACScsiUnit {
 public:
  // Not defaulted: every member has its initializer, and a defaulted one
  // makes `new ZQMACDms()` clear the whole object first (a load makes one per row).
  ZQMACDms() {}
  ZQMACDms(const ZQMACDms&) = default;
  ~ZQMACDms() override;

  ZQMACDrivePool* GetDrivePool() const { return m_pDrivePool; }
  ZQMACDrive* GetDrive() const { return m_pDrive; }

  // ---- the drive path as the drive-change request changes it ----
  // Takes the SCSI address of `source`, a live drive path of this path's
  // instance; false (reason in the last error) otherwise or when refused.
  bool UpdateSCSIBus(ZQMACDms* source);
  // The path by which the media agent reaches the drive (path detail).
  bool SetAccessPath(const std::string& path);
  // ---- end of the drive-path block ----

  unsigned int GetObjectType() const override;
  ZQMACLms* GetLms() override;

 protected:
  friend class ZQMACGraph;
  void ForgetObjects(const ZQMACGone& gone) override;

  ZQMACDrivePool* m_pDrivePool = nullptr;
  ZQMACDrive* m_pDrive = nullptr;

  ZQMACLms* m_pLms = nullptr;
};

// The drive path of an NDMP drive. Handlers keep working copies of one on
// the stack, made from an existing object (a null source makes an empty one).
// ---- NDMP drive paths (platform/mac/ZQMACNdmpDrives.cpp) ----
// A new path owns a drive of its own (GetDrive), which a probe fills and
// the media agent's AddDms stores as a drive of the library; a copy of a
// path that owns its drive owns a copy of it.
// ---- end of the NDMP note ----
class ZQMACNdmpDms : public ZQMACDms {
 public:
  ZQMACNdmpDms();
  explicit ZQMACNdmpDms(ZQMACNdmpDms* source);
  ~ZQMACNdmpDms() override {}

  // ---- a new NDMP drive path ----
  void SetUnitMediaAgent(ZQMACMediaAgent* agent) { Touch(); m_pMediaAgent = agent; }
  // A number the object library keeps with the unit of a new path.
  void SetUnitValue(unsigned int value) { Touch(); m_uUnitValue = value; }
  unsigned int GetUnitValue() const { return m_uUnitValue; }
  // ---- end of the new NDMP drive path ----

 private:
  std::unique_ptr<ZQMACDrive> m_ownDrive;
  unsigned int m_uUnitValue = 0;
};

#include "frame/mac/ZQMACObjects.h"
