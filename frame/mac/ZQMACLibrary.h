// Tape and optical libraries: the library-management object (ZQMACLms) with
// its library part (ZQMACLibrary) and its controllers.
#pragma once

#include <map>
#include <string>

#include "frame/mac/ZQMACBase.h"
#include "frame/mac/ZQMACLinkedList.h"

class ZQMACLms;
class ZQMACLibController;
class ZQMACDrivePool;
class ZQMACMasterDrivePool;
class ZQMACDrive;
class ZQMACDms;

// The library itself: its geometry, type and switches.
class ZQMACLibrary : public ZQMACInterface {
 public:
  ZQMACLibrary() = default;
  ZQMACLibrary(const ZQMACLibrary&) = default;
  ~ZQMACLibrary() override;

  int GetBaseAddress() const { return m_iBaseAddress; }
  int GetDriveCount() const { return m_iDriveCount; }
  int GetSlotCount() const { return m_iSlotCount; }
  int GetType() const { return m_iType; }
  int GetVTLType() const { return m_iVTLType; }
  // The whole attribute word.
  int GetLibAttributeFlag() const { return m_iAttribute; }
  bool GetBarCodeReader() const { return m_bBarCodeReader; }
  // Stores the flag only while the library is not configured (the state
  // query of its interface part answers no); a configured library keeps it.
  void SetBarCodeReader(bool present) {
    if (!TestStateA()) m_bBarCodeReader = present;
  }
  bool GetDoorLockFlag() const { return m_bDoorLock; }
  const std::string& GetVolumeRangeString() const { return m_sVolumeRange; }
  bool GetAutoConfigDDSFlag() const { return m_bAutoConfigDDS; }
  bool GetAutoConfigFailoverFlag() const { return m_bAutoConfigFailover; }
  bool GetUseACSLSCleanPoolFlag() const { return m_bUseACSLSCleanPool; }
  bool GetUseIPDriveIDFlag() const { return m_bUseIPDriveID; }
  const std::map<int, std::string>& GetDriveIdentifierMap() const { return m_driveIdentifiers; }
  std::string GetSlotRange() { return m_sSlotRange; }

  // The library-management object the library belongs to.
  ZQMACLms* GetLmsObject() const { return m_pLms; }

  unsigned int GetObjectType() const override;
  ZQMACLms* GetLms() override;

 protected:
  friend class ZQMACGraph;
  void ForgetObject(const void* address) override;

  int m_iBaseAddress = 0;
  int m_iDriveCount = 0;
  int m_iSlotCount = 0;
  int m_iType = 0;
  int m_iVTLType = 0;
  int m_iAttribute = 0;
  bool m_bBarCodeReader = false;
  bool m_bDoorLock = false;
  std::string m_sVolumeRange;
  bool m_bAutoConfigDDS = false;
  bool m_bAutoConfigFailover = false;
  bool m_bUseACSLSCleanPool = false;
  bool m_bUseIPDriveID = false;
  std::map<int, std::string> m_driveIdentifiers;
  std::string m_sSlotRange;

  ZQMACLms* m_pLms = nullptr;
};

// The library-management object: a library with its controllers, drive
// pools and drives. Consoles address tape libraries by its handle.
class ZQMACLms : public ZQMACInterface {
 public:
  ZQMACLms() = default;
  ZQMACLms(const ZQMACLms&) = default;
  ~ZQMACLms() override;

  ZQMACLibrary* GetLibrary() const { return m_pLibrary; }
  bool IsAutoDiscover() const { return m_bAutoDiscover; }
  // The object that stands for the library's controllers as a group.
  ZQMACInterface* GetLibControllerNode() const { return m_pLibControllerNode; }
  // The library's door-lock flag; true (locked) when there is no library.
  bool GetDoorLockFlag() const { return m_pLibrary == nullptr ? true : m_pLibrary->GetDoorLockFlag(); }

  // Copies of the lists (same elements).
  ZQMACLinkedList<ZQMACLibController> GetLibControllerList() const { return m_libControllerList; }
  ZQMACLinkedList<ZQMACDrivePool> GetDrivePoolList() const { return m_drivePoolList; }
  ZQMACLinkedList<ZQMACMasterDrivePool> GetMasterDrivePoolList() const { return m_masterDrivePoolList; }
  ZQMACLinkedList<ZQMACDrive> GetDriveList() const { return m_driveList; }
  ZQMACLinkedList<ZQMACDms> GetDmsList() const { return m_dmsList; }

  unsigned int GetObjectType() const override;
  ZQMACLms* GetLms() override;
  unsigned int CountDrives(bool all) override;

 protected:
  friend class ZQMACGraph;
  void ForgetObject(const void* address) override;

  ZQMACLibrary* m_pLibrary = nullptr;
  bool m_bAutoDiscover = false;
  ZQMACInterface* m_pLibControllerNode = nullptr;

  ZQMACLinkedList<ZQMACLibController> m_libControllerList;
  ZQMACLinkedList<ZQMACDrivePool> m_drivePoolList;
  ZQMACLinkedList<ZQMACMasterDrivePool> m_masterDrivePoolList;
  ZQMACLinkedList<ZQMACDrive> m_driveList;
  ZQMACLinkedList<ZQMACDms> m_dmsList;
};

// A library controller: the path by which one media agent controls a
// library. Its second base part is the SCSI unit.
class ZQMACLibController : public ZQMACInterface, public ZQMACScsiUnit {
 public:
  ZQMACLibController() = default;
  ZQMACLibController(const ZQMACLibController&) = default;
  ~ZQMACLibController() override;

  // The library of the controller's library-management object; null when
  // the controller belongs to none.
  ZQMACLibrary* GetLibrary() const { return m_pLms == nullptr ? nullptr : m_pLms->GetLibrary(); }

  unsigned int GetObjectType() const override;
  ZQMACLms* GetLms() override;

 protected:
  friend class ZQMACGraph;
  void ForgetObject(const void* address) override;

  ZQMACLms* m_pLms = nullptr;
};

// A library controller reached over the network.
class ZQMACIPLibController : public ZQMACLibController {
 public:
  ZQMACIPLibController() = default;
  ZQMACIPLibController(const ZQMACIPLibController&) = default;
  ~ZQMACIPLibController() override;

  unsigned int GetObjectType() const override;
};

// The controller of an NDMP library. Handlers keep working copies of one on
// the stack, made from an existing object (a null source makes an empty one).
class ZQMACNdmpLibController : public ZQMACLibController {
 public:
  ZQMACNdmpLibController() = default;
  explicit ZQMACNdmpLibController(ZQMACNdmpLibController* source);
  ~ZQMACNdmpLibController() override {}
};

#include "frame/mac/ZQMACObjects.h"
