// Tape and optical libraries: the library-management object (ZQMACLms) with
// its library part (ZQMACLibrary) and its controllers.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "frame/mac/ZQMACBase.h"
#include "frame/mac/ZQMACDevicePart.h"
#include "frame/mac/ZQMACLinkedList.h"
#include "platform/mmdb/MMLibraryName.h"

class ZQMACLms;
class ZQMACLibController;
class ZQMACDrivePool;
class ZQMACMasterDrivePool;
class ZQMACDrive;
class ZQMACDms;

// The library itself: its geometry, type and switches, and the device part
// by which the unit identifies itself.
class ZQMACLibrary : public ZQMACInterface, public ZQMACDevicePart {
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
  // False (reason in the last error) when the model refuses.
  bool SetBarCodeReader(bool present);
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

  // ---- the library as the listing shows it ----
  // The alias name under which the library is stored.
  const std::string& GetAliasName() const { return m_sAliasName; }
  // The name the library answers to, as the name rule compares it: its
  // alias, or its name where the alias is empty.
  const std::string& GetAnsweredName() const { return tkmmdb::answeredName(m_sAliasName, m_sName); }
  // A stand-alone unit (a drive without a changer), not a library of its own.
  bool IsStandAlone() const { return m_bStandAlone; }
  // True when `other` is this library, or (with `byIdentity`) the same unit
  // by vendor, product and serial text (device text A, not empty), or (with
  // `byName`) a library of the same non-empty name. Null is never the same.
  bool IsSame(const ZQMACLibrary* other, bool byIdentity, bool byName) const;
  // The virtual-tape-library types a library can be set to, in the order
  // the consoles offer them, and the text of one (empty for an unknown type).
  static const std::vector<int>& GetVTLTypeList();
  static std::string GetVTLTypeString(int vtlType);
  // ---- end of the listing block ----

  // ---- the library as the library-change request sets it ----
  // The unit's number (reported under 11010); 0 when the model refuses it
  // (reason in the last error).
  int SetDeviceValue(unsigned int value);
  // The unit's description text (reported under 11006); false = refused.
  bool SetDeviceTextC(const std::string& text);
  // False (reason in the last error) for a negative count or a refusal.
  bool SetDriveCount(int count);
  bool SetDoorLockFlag(bool locked);
  // Each is stored with the library at once (kept until the library is
  // stored when it is not yet); false (reason in the last error) when the
  // model refuses.
  bool SetAutoConfigDDSFlag(bool on);
  bool SetAutoConfigFailoverFlag(bool on);
  bool SetUseACSLSCleanPoolFlag(bool on);
  bool SetUseIPDriveIDFlag(bool on);
  bool SetLibAttributeFlag(int word);
  bool SetVolumeRangeString(const std::string& range);
  bool SetVTLType(int vtlType);
  // ---- end of the library-change block ----

  // ---- the library of a new library controller, as the library request fills it ----
  void SetVendor(const std::string& vendor) { Touch(); m_sVendor = vendor; }
  void SetProduct(const std::string& product) { Touch(); m_sProduct = product; }
  // The text detection identifies the unit by (GetDeviceIdentifier).
  void SetIdentificationText(const std::string& text) { Touch(); m_sDeviceIdentifier = text; }
  void SetBaseAddress(int address) { Touch(); m_iBaseAddress = address; }
  // ---- end of the new-controller block ----

  // ---- the library as the tape-library wizard names and lists it ----
  // (platform/mac/ZQMACTapeWizard.cpp) Sets the alias name; a library of
  // a database-backed instance stores it first (a name another library
  // has is refused). False, with the reason as the library's last error
  // and the name unchanged, when refused. A library that belongs to no
  // instance (one a new controller owns) only takes the name.
  bool SetAliasName(const std::string& alias);
  // True when drive identifiers are known for the library; `reserved` is
  // kept for callers that pass one (0).
  bool IsDriveIdentifierPresent(int reserved) const;
  // ---- end of the tape-library wizard block ----

  unsigned int GetObjectType() const override;
  ZQMACLms* GetLms() override;

 protected:
  friend class ZQMACGraph;
  void ForgetObjects(const ZQMACGone& gone) override;
  // Sets one of the library's stored members and stores it.
  template <class T, class V>
  bool setOwn(T& member, V&& value);

  // ---- fields of the listing block (a loader fills them) ----
  std::string m_sAliasName;
  bool m_bStandAlone = false;
  // ---- end of the listing fields ----

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
  // The media type that automatic discovery looks for (0: none given).
  int GetAutoDiscoverMediaType() const { return m_iAutoDiscoverMediaType; }
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
  // The controller and drive-path lists where they lie, for reading without
  // a copy: walk them with AnyNode or ForEachNode, which leave the cursor
  // alone (a listing reads them for every library).
  const ZQMACLinkedList<ZQMACLibController>& GetLibControllerListRef() const { return m_libControllerList; }
  const ZQMACLinkedList<ZQMACDms>& GetDmsListRef() const { return m_dmsList; }

  // ---- the library as the listing shows it ----
  // The drives the library holds now: every drive of the library when
  // `agent` is null, else those that the agent reaches through a drive
  // path. `reserved` and `filter` are kept for callers that pass them; the
  // listing passes 0 and the empty text.
  unsigned int GetCurrentDriveCount(const ZQMACMediaAgent* agent, int reserved, const std::string& filter);
  // ---- end of the listing block ----

  // ---- the library as the drive listing shows it ----
  // True when drive bay `bay` (1 to the library's drive count) holds no
  // drive of the library (no drive has that drive number). `agent` and
  // `filter` are kept for callers that pass them; the listing passes null
  // and the empty text.
  bool IsEmptyDrive(int bay, const ZQMACMediaAgent* agent, const std::string& filter);
  // ---- end of the drive listing block ----
  // ---- the library as the control request asks it ----
  // True when the library holds drives of more than one type.
  bool IsMixedDriveType() const { return m_bMixedDriveType; }
  // ---- end of the control-request block ----

  // ---- the library as the library-change request asks it ----
  // The highest drive number of the library's drives; 0 when it has none.
  int GetLastOccupiedDriveNumber() const;
  // Switches automatic discovery of new media of the media type; false
  // (reason in the last error) when the model refuses.
  bool SetAutoDiscover(bool on, int mediaType);
  // Plans the library's discovery schedule; false = refused.
  bool SetDiscoverSchedule();
  // ---- end of the library-change block ----
  // ---- the library as the control request's controller copy asks it ----
  // True when one of the library's controllers is reached through the
  // agent, from the host `host` ("__Any_Host__": from any host).
  bool FindMediaAgent(const ZQMACMediaAgent* agent, const std::string& host) const;
  // ---- end of the controller-copy block ----

  // ---- NDMP drive pools (platform/mac/ZQMACNdmpDrives.cpp) ----
  // The NDMP drive pool of this library through which the agent reaches the
  // NDMP server `host`, for drives whose vendor-table match text is
  // `matchText` (a pool without drives takes any), or null. `path` and
  // `flags` are kept for callers that pass them (null, 0).
  ZQMACDrivePool* FindDrivePool(ZQMACMediaAgent* agent, const std::string& matchText, ZQMACDms* path,
                                const std::string& host, int flags);
  // ---- end of the NDMP drive pools ----

  // ---- pools the console adds to the library ----
  // Stores a new master pool of this library (named after the library) or
  // a new drive pool of one of its master pools (named after its media
  // agent) and takes it into the instance; false (reason in the library's
  // last error; the caller keeps the pool) when refused.
  bool AddMasterDrivePool(ZQMACMasterDrivePool* master);
  bool AddDrivePool(ZQMACDrivePool* pool);

 private:
  bool addMasterDrivePool(ZQMACMasterDrivePool* master);
  bool addDrivePool(ZQMACDrivePool* pool);

 public:
  // ---- end of the pool block ----

  unsigned int GetObjectType() const override;
  ZQMACLms* GetLms() override;
  unsigned int CountDrives(bool all) override;

 protected:
  friend class ZQMACGraph;
  void ForgetObjects(const ZQMACGone& gone) override;

  ZQMACLibrary* m_pLibrary = nullptr;
  bool m_bAutoDiscover = false;
  int m_iAutoDiscoverMediaType = 0;
  ZQMACInterface* m_pLibControllerNode = nullptr;

  ZQMACLinkedList<ZQMACLibController> m_libControllerList;
  ZQMACLinkedList<ZQMACDrivePool> m_drivePoolList;
  ZQMACLinkedList<ZQMACMasterDrivePool> m_masterDrivePoolList;
  ZQMACLinkedList<ZQMACDrive> m_driveList;
  ZQMACLinkedList<ZQMACDms> m_dmsList;

  // ---- fields of the control-request block (a loader fills them) ----
  bool m_bMixedDriveType = false;
  // ---- end of the control-request fields ----
};

// The library a new library controller owns until it belongs to a
// library-management object; copied with the controller.
class ZQMACOwnedLibrary {
 public:
  ZQMACOwnedLibrary() = default;
  ZQMACOwnedLibrary(const ZQMACOwnedLibrary& other)
      : m_pLibrary(other.m_pLibrary == nullptr ? nullptr : std::make_unique<ZQMACLibrary>(*other.m_pLibrary)) {}
  ZQMACOwnedLibrary& operator=(const ZQMACOwnedLibrary&) = delete;
  ZQMACLibrary* get() const { return m_pLibrary.get(); }
  // Gives the controller a library of its own, when it has none yet.
  void make() {
    if (m_pLibrary == nullptr) m_pLibrary = std::make_unique<ZQMACLibrary>();
  }

 private:
  std::unique_ptr<ZQMACLibrary> m_pLibrary;
};

// A library controller: the path by which one media agent controls a
// library. Its second base part is the SCSI unit.
class ZQMACLibController : public ZQMACInterface, public ZQMACScsiUnit {
 public:
  ZQMACLibController() = default;
  // A copy owns a copy of the controller's own library.
  ZQMACLibController(const ZQMACLibController&) = default;
  ~ZQMACLibController() override;

  // The library of the controller's library-management object; until the
  // controller belongs to one, the library it owns (a new NDMP or IP
  // controller owns one from the start), else null.
  ZQMACLibrary* GetLibrary() const { return m_pLms == nullptr ? m_ownLibrary.get() : m_pLms->GetLibrary(); }

  // ---- a new library controller, as the library request builds it ----
  // (platform/mac/ZQMACLibraryControllers.cpp) The path by which the media
  // agent reaches the library (the controller's name and text).
  void SetAccessPath(const std::string& path);
  void SetMediaAgent(ZQMACMediaAgent* agent) { Touch(); m_pMediaAgent = agent; }
  // A number the object library keeps with the SCSI unit of a controller
  // whose library is not known yet.
  void SetUnitValue(unsigned int value) { Touch(); m_uUnitValue = value; }
  unsigned int GetUnitValue() const { return m_uUnitValue; }
  // Takes the library (a copy) and the unit's settings of `source`, the
  // controller by which a library server already serves the library; the
  // name, instance and media agent stay this controller's. Null: nothing.
  void Clone(const ZQMACLibController* source);
  // ---- end of the new-controller block ----

  // ---- the controller as the listing shows it ----
  // The library type that the controller's media agent detected for the
  // unit (what the listing sends for a library not configured yet); 0 when
  // nothing was detected.
  unsigned int CheckType() const;
  // The controller reaches its library through a library server.
  bool TestServerFlag() const { return m_bServerFlag; }
  // ---- end of the listing block ----

  // ---- the controller as the drive listing shows it ----
  // Either state set: the library's drives are identified through ACSLS
  // (the drive ids the controller's media agent reports).
  bool TestStateD() const { return m_bStateD; }
  bool TestStateE() const { return m_bStateE; }
  // ---- end of the drive listing block ----

  // ---- the controller as the library-change request asks it ----
  // Moves this controller's library onto the SCSI bus of `source` (a live
  // library controller of the same instance). False (reason in this
  // controller's last error) for null, an object that is no live library
  // controller of the instance, or a refusal: a client's value never
  // reaches here as a pointer.
  bool UpdateSCSIBus(ZQMACLibController* source);
  // ---- end of the library-change block ----
  // ---- the controller as the control request's controller copy asks it ----
  // Makes this controller (of the library's instance) one of the library's
  // controllers; `configure` is kept for callers that pass it. False
  // (reason in this controller's last error) for a null library, a
  // library or controller of another instance, or a refusal.
  bool AttachToLibrary(ZQMACLms* lms, bool configure);
  // ---- end of the controller-copy block ----

  unsigned int GetObjectType() const override;
  ZQMACLms* GetLms() override;

 protected:
  friend class ZQMACGraph;
  void ForgetObjects(const ZQMACGone& gone) override;

  ZQMACLms* m_pLms = nullptr;

  // ---- fields of the listing block (a loader fills them) ----
  unsigned int m_uDetectedType = 0;
  bool m_bServerFlag = false;
  // ---- end of the listing fields ----

  // ---- fields of the drive listing block (a loader fills them) ----
  bool m_bStateD = false;
  bool m_bStateE = false;
  // ---- end of the drive listing fields ----

  // ---- fields of the new-controller block ----
  ZQMACOwnedLibrary m_ownLibrary;
  unsigned int m_uUnitValue = 0;
  // ---- end of the new-controller fields ----
};

// A library controller reached over the network.
class ZQMACIPLibController : public ZQMACLibController {
 public:
  // Owns a library of its own until it belongs to a library.
  ZQMACIPLibController();
  ZQMACIPLibController(const ZQMACIPLibController&) = default;
  ~ZQMACIPLibController() override;

  unsigned int GetObjectType() const override;
};

// The controller of an NDMP library. Handlers keep working copies of one on
// the stack, made from an existing object (a null source makes an empty one).
class ZQMACNdmpLibController : public ZQMACLibController {
 public:
  // Both own a library of their own (a copy of the source's).
  ZQMACNdmpLibController();
  explicit ZQMACNdmpLibController(ZQMACNdmpLibController* source);
  ~ZQMACNdmpLibController() override {}
};

#include "frame/mac/ZQMACObjects.h"
