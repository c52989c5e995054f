// Bodies of the configuration objects: the common interface with its
// defaults, object types, library membership, drive counts, and the
// unlinking of an object that goes away.
#include "frame/mac/ZQMACObjects.h"

#include "platform/mac/ZQMACGraph.h"
#include "platform/mac/ZQMACPlatform.h"

// ---------------------------------------------------------------- interface

ZQMACInterface::ZQMACInterface(const ZQMACInterface& other)
    : ZQMACBase(other),
      m_sName(other.m_sName),
      m_iId(other.m_iId),
      m_sDisplayName(other.m_sDisplayName),
      m_sTextA(other.m_sTextA),
      m_sTextB(other.m_sTextB),
      m_uPropertyC(other.m_uPropertyC),
      m_bConfigured(other.m_bConfigured),
      m_bStateB(other.m_bStateB),
      m_bShownFlag(other.m_bShownFlag),
      m_uPropertyD(other.m_uPropertyD) {}

ZQMACInterface::~ZQMACInterface() {
  if (ZQMACMediaConfig* owner = GetOwner()) owner->ObjectGone(this);
}

const std::string& ZQMACInterface::GetName() const { return m_sName; }

unsigned int ZQMACInterface::GetId() const { return m_iId < 0 ? 0xFFFFFFFFu : static_cast<unsigned int>(m_iId); }

bool ZQMACInterface::AssignName(const std::string& name) {
  if (name.empty()) {
    SetLastError(tkmac::kErrorInvalidName, "The name must not be empty.");
    return false;
  }
  Touch();
  m_sName = name;
  ClearLastError();
  return true;
}

bool ZQMACInterface::TestStateA() { return m_bConfigured; }

const std::string& ZQMACInterface::GetDisplayName() const { return m_sDisplayName.empty() ? m_sName : m_sDisplayName; }

// Configure, Deconfigure and the long operations: platform/mac/ZQMACControl.cpp.
// SetName writes a stored object of a database-backed instance through to
// the database first; the object changes only once its rows did.
bool ZQMACInterface::SetName(const std::string& name) {
  if (name.empty()) return AssignName(name);
  if (!ZQMACGraph::StoreObject(this, &name, -1)) return false;
  if (!AssignName(name)) return false;
  // A library and a drive are stored under their alias, which a load names
  // them (and a library's parts) after: the session shows them so too.
  ZQMACGraph::NameStored(this, name);
  return true;
}

std::string ZQMACInterface::GetTextA(bool /*forDisplay*/) { return m_sTextA; }

std::string ZQMACInterface::GetTextB(bool /*forDisplay*/) { return m_sTextB; }

unsigned int ZQMACInterface::GetObjectType() const { return ZQMAC_OBJ_UNKNOWN; }

unsigned int ZQMACInterface::GetPropertyC() { return m_uPropertyC; }

unsigned int ZQMACInterface::CountDrives(bool /*all*/) { return 0; }

ZQMACLms* ZQMACInterface::GetLms() { return nullptr; }

bool ZQMACInterface::TestStateB() { return m_bStateB; }

bool ZQMACInterface::IsShown() { return m_bShownFlag; }

// Each ForgetObjects below has its counterpart in holdersOf
// (ZQMACMediaConfig.cpp), which asks only the types that may hold the type
// that goes: a reference added here is added there too.
void ZQMACInterface::ForgetObjects(const ZQMACGone& /*gone*/) {}

// ---------------------------------------------------------------- SCSI unit

ZQMACScsiUnit::~ZQMACScsiUnit() = default;

std::string ZQMACScsiUnit::GetUnitText() const { return m_sServerHostName; }

// ---------------------------------------------------------------- node

ZQMACNode::~ZQMACNode() = default;

unsigned int ZQMACNode::GetObjectType() const { return m_uNodeType; }

ZQMACLms* ZQMACNode::GetLms() { return m_pLms; }

void ZQMACNode::ForgetObjects(const ZQMACGone& gone) { gone.Clear(m_pLms); }

// ---------------------------------------------------------------- media agent

ZQMACMediaAgent::~ZQMACMediaAgent() = default;

unsigned int ZQMACMediaAgent::GetObjectType() const { return ZQMAC_OBJ_MEDIA_AGENT; }

void ZQMACMediaAgent::ForgetObjects(const ZQMACGone& gone) {
  gone.From(m_libControllerList);
  gone.From(m_dmsList);
  gone.From(m_copyMgrControllerList);
}

// ---------------------------------------------------------------- libraries

ZQMACLibrary::~ZQMACLibrary() = default;

unsigned int ZQMACLibrary::GetObjectType() const { return ZQMAC_OBJ_LIBRARY; }

ZQMACLms* ZQMACLibrary::GetLms() { return m_pLms; }

void ZQMACLibrary::ForgetObjects(const ZQMACGone& gone) { gone.Clear(m_pLms); }

ZQMACLms::~ZQMACLms() = default;

unsigned int ZQMACLms::GetObjectType() const { return ZQMAC_OBJ_LMS; }

ZQMACLms* ZQMACLms::GetLms() { return this; }

unsigned int ZQMACLms::CountDrives(bool /*all*/) { return static_cast<unsigned int>(m_driveList.GetListCount()); }

void ZQMACLms::ForgetObjects(const ZQMACGone& gone) {
  gone.Clear(m_pLibrary);
  gone.Clear(m_pLibControllerNode);
  gone.From(m_libControllerList);
  gone.From(m_drivePoolList);
  gone.From(m_masterDrivePoolList);
  gone.From(m_driveList);
  gone.From(m_dmsList);
}

ZQMACLibController::~ZQMACLibController() = default;

unsigned int ZQMACLibController::GetObjectType() const { return ZQMAC_OBJ_LIB_CONTROLLER; }

ZQMACLms* ZQMACLibController::GetLms() { return m_pLms; }

void ZQMACLibController::ForgetObjects(const ZQMACGone& gone) {
  gone.Clear(m_pLms);
  gone.Clear(m_pMediaAgent);
}

ZQMACIPLibController::~ZQMACIPLibController() = default;

unsigned int ZQMACIPLibController::GetObjectType() const { return ZQMAC_OBJ_IP_LIB_CONTROLLER; }

// The NDMP controller's constructors: platform/mac/ZQMACLibraryControllers.cpp.

// ---------------------------------------------------------------- drives

ZQMACDrivePool::~ZQMACDrivePool() = default;

unsigned int ZQMACDrivePool::GetObjectType() const { return ZQMAC_OBJ_DRIVE_POOL; }

ZQMACLms* ZQMACDrivePool::GetLms() { return m_pLms; }

unsigned int ZQMACDrivePool::CountDrives(bool /*all*/) { return static_cast<unsigned int>(m_dmsList.GetListCount()); }

void ZQMACDrivePool::ForgetObjects(const ZQMACGone& gone) {
  gone.Clear(m_pMediaAgent);
  gone.Clear(m_pLms);
  gone.Clear(m_pMasterDrivePool);
  gone.From(m_dmsList);
}

ZQMACMasterDrivePool::~ZQMACMasterDrivePool() = default;

unsigned int ZQMACMasterDrivePool::GetObjectType() const { return ZQMAC_OBJ_MASTER_DRIVE_POOL; }

ZQMACLms* ZQMACMasterDrivePool::GetLms() { return m_pLms; }

unsigned int ZQMACMasterDrivePool::CountDrives(bool all) {
  unsigned int count = 0;
  ZQMACLinkedList<ZQMACDrivePool> pools = m_drivePoolList;
  for (ZQMACDrivePool* pool = pools.GetFirstNode(); pool != nullptr; pool = pools.GetNextNode())
    count += pool->CountDrives(all);
  return count;
}

void ZQMACMasterDrivePool::ForgetObjects(const ZQMACGone& gone) {
  gone.Clear(m_pLms);
  gone.From(m_drivePoolList);
}

ZQMACDrive::~ZQMACDrive() = default;

unsigned int ZQMACDrive::GetObjectType() const { return ZQMAC_OBJ_DRIVE; }

ZQMACLms* ZQMACDrive::GetLms() { return m_pLms; }

unsigned int ZQMACDrive::CountDrives(bool /*all*/) { return static_cast<unsigned int>(m_dmsList.GetListCount()); }

void ZQMACDrive::ForgetObjects(const ZQMACGone& gone) {
  gone.Clear(m_pLms);
  gone.From(m_dmsList);
}

ZQMACDms::~ZQMACDms() = default;

unsigned int ZQMACDms::GetObjectType() const { return ZQMAC_OBJ_DMS; }

ZQMACLms* ZQMACDms::GetLms() { return m_pLms; }

void ZQMACDms::ForgetObjects(const ZQMACGone& gone) {
  gone.Clear(m_pDrivePool);
  gone.Clear(m_pDrive);
  gone.Clear(m_pLms);
  gone.Clear(m_pMediaAgent);
}

// The NDMP drive path's constructors: platform/mac/ZQMACNdmpDrives.cpp.

// ---------------------------------------------------------------- disk libraries

ZQMACMountPath::~ZQMACMountPath() = default;

unsigned int ZQMACMountPath::GetObjectType() const { return ZQMAC_OBJ_MOUNT_PATH; }

void ZQMACMountPath::ForgetObjects(const ZQMACGone& gone) {
  gone.Clear(m_pMagLib);
  gone.Clear(m_pMediaAgent);
}

ZQMACMagLib::~ZQMACMagLib() {
  // The mount paths that name the library are those of its list (a load
  // and AddMountPath link both ways): they forget it here, so that its
  // instance does not ask every mount path it holds (ZQMACMediaConfig::
  // ObjectGone). A library freed with others after leaving its instance
  // has no links left to clear.
  if (GetOwner() != nullptr) ZQMACGraph::UnlinkMountPaths(this);
}

void ZQMACGraph::UnlinkMountPaths(ZQMACMagLib* library) {
  library->m_mountPathList.ForEachNode([library](ZQMACMountPath* p) {
    if (p->m_pMagLib == library) p->m_pMagLib = nullptr;
  });
}

unsigned int ZQMACMagLib::GetObjectType() const { return ZQMAC_OBJ_MAGLIB; }

void ZQMACMagLib::ForgetObjects(const ZQMACGone& gone) {
  gone.From(m_mountPathList);
  gone.Clear(m_pMediaAgent);
}

// ---------------------------------------------------------------- disks

ZQMACDiskDevice::~ZQMACDiskDevice() = default;

unsigned int ZQMACDiskDevice::GetObjectType() const { return ZQMAC_OBJ_DISK_DEVICE; }

void ZQMACDiskDevice::ForgetObjects(const ZQMACGone& gone) { gone.From(m_volumeList); }

ZQMACDiskVolume::~ZQMACDiskVolume() = default;

unsigned int ZQMACDiskVolume::GetObjectType() const { return ZQMAC_OBJ_DISK_VOLUME; }

void ZQMACDiskVolume::ForgetObjects(const ZQMACGone& gone) {
  gone.Clear(m_pMediaAgent);
  gone.Clear(m_pDiskDevice);
}

// ---------------------------------------------------------------- further devices

ZQMACCopyMgrDevice::~ZQMACCopyMgrDevice() = default;

unsigned int ZQMACCopyMgrDevice::GetObjectType() const { return ZQMAC_OBJ_COPY_MGR_DEVICE; }

ZQMACCopyMgrController::~ZQMACCopyMgrController() = default;

unsigned int ZQMACCopyMgrController::GetObjectType() const { return ZQMAC_OBJ_COPY_MGR_CONTROLLER; }

void ZQMACCopyMgrController::ForgetObjects(const ZQMACGone& gone) {
  gone.Clear(m_pMediaAgent);
  gone.Clear(m_pCopyMgrDevice);
}

ZQMACCenteraCluster::~ZQMACCenteraCluster() = default;

unsigned int ZQMACCenteraCluster::GetObjectType() const { return ZQMAC_OBJ_CENTERA_CLUSTER; }

ZQMACHost::~ZQMACHost() = default;

unsigned int ZQMACHost::GetObjectType() const { return ZQMAC_OBJ_HOST; }
