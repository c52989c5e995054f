// The object model's NDMP drive paths, as the drive request adds and probes
// them: a new path owns a drive of its own that a probe fills, is staged into
// a drive pool (found by FindDrivePool, or new), and is stored by the media
// agent's AddDms with its drive (and a new pool) in one change before any of
// them becomes an object of the configuration.
//
// Journal names: "GetDeviceInfo" (the agent's handle, host, the path's
// access path), "AddDms" (the agent's handle, access path, the library's
// handle, number); a failure injected into one of them makes its next call
// fail with the code and text as the agent's last error. The NDMP servers
// are the detection stand-ins (platform/ndmpdetect).
#include <memory>
#include <string>

#include "frame/mac/ZQMACObjects.h"
#include "platform/mac/ZQMACGraph.h"
#include "platform/mac/ZQMACPlatform.h"
#include "platform/mac/ZQMACStoredSettings.h"
#include "platform/mac/ZQMACTableErrors.h"
#include "platform/mmdb/MMDerivedNames.h"
#include "platform/mmdb/MMMediaConfigDB.h"
#include "platform/ndmpdetect/ZQNDMPAutoDetect.h"

namespace {

constexpr unsigned int kNotStored = 0xFFFFFFFFu;

// The vendor-table match text of a drive: its own, or that of the table
// entry of its vendor and product.
std::string matchTextOf(const ZQMACDrive& drive, ZQMACMediaConfig* config) {
  if (!drive.GetPoolMatchText().empty() || config == nullptr) return drive.GetPoolMatchText();
  const ZQMACVendorInfo* vendors = config->GetVendorInfo();
  const ZQMACVendorEntry* entries = vendors->GetDriveVendorInfo();
  for (int i = 0; i < vendors->GetDriveVendorInfoSize(); ++i)
    if (entries[i].first == drive.GetVendor() && entries[i].second == drive.GetProduct()) return entries[i].third;
  return {};
}

}  // namespace

ZQMACNdmpDms::ZQMACNdmpDms() : m_ownDrive(std::make_unique<ZQMACDrive>()) {
  ZQMACGraph::StageDrive(this, m_ownDrive.get());
}

ZQMACNdmpDms::ZQMACNdmpDms(ZQMACNdmpDms* source)
    : ZQMACBase(source != nullptr ? static_cast<const ZQMACBase&>(*source) : ZQMACBase()),
      ZQMACDms(source != nullptr ? static_cast<const ZQMACDms&>(*source) : ZQMACDms()) {
  if (source != nullptr) m_uUnitValue = source->m_uUnitValue;
  const bool ownsDrive =
      source == nullptr || (source->m_ownDrive != nullptr && source->GetDrive() == source->m_ownDrive.get());
  if (!ownsDrive) return;  // it names the stored drive its source names
  m_ownDrive = source == nullptr ? std::make_unique<ZQMACDrive>() : std::make_unique<ZQMACDrive>(*source->m_ownDrive);
  ZQMACGraph::StageDrive(this, m_ownDrive.get());
}

bool ZQMACDrivePool::AddDms(ZQMACDms* path) {
  if (path == nullptr || path->GetOwner() != nullptr) return false;
  ZQMACGraph::StageDrivePool(path, this);
  return true;
}

ZQMACDrivePool* ZQMACLms::FindDrivePool(ZQMACMediaAgent* agent, const std::string& matchText, ZQMACDms* /*path*/,
                                        const std::string& host, int /*flags*/) {
  ZQMACLinkedList<ZQMACDrivePool> pools = m_drivePoolList;
  for (ZQMACDrivePool* pool = pools.GetFirstNode(); pool != nullptr; pool = pools.GetNextNode()) {
    if (!pool->IsNdmp() || pool->GetMediaAgent() != agent || pool->GetProxyClientHost() != host) continue;
    ZQMACLinkedList<ZQMACDms> paths = pool->GetDmsList();
    bool matches = paths.GetFirstNode() == nullptr;
    for (ZQMACDms* p = paths.GetFirstNode(); p != nullptr && !matches; p = paths.GetNextNode())
      matches = p->GetDrive() != nullptr && matchTextOf(*p->GetDrive(), GetOwner()) == matchText;
    if (matches) return pool;
  }
  return nullptr;
}

bool ZQMACMediaAgent::GetNdmpDriveInfo(const std::string& host, ZQMACDms* drivePath) {
  tkmac::journal().record("GetDeviceInfo", GetHandle(), host, drivePath->GetPathDetail());
  if (tkmac::failed(*this, "GetDeviceInfo")) return false;
  ZQMACDrive* drive = drivePath->GetDrive();
  if (drive == nullptr) {
    SetLastError(tkndmpdetect::kErrorNoAnswer, "The drive path has no drive to read.");
    return false;
  }
  tkndmpdetect::Drive found;
  std::string error;
  if (!tkndmpdetect::probeNdmpDrive(host, drivePath->GetPathDetail(), found, error)) {
    SetLastError(tkndmpdetect::kErrorNoAnswer, error);
    return false;
  }
  tkndmpdetect::fill(*drive, found);
  ClearLastError();
  return true;
}

ZQMACDms* ZQMACMediaAgent::AddDms(ZQMACDms* path, ZQMACLms* library, int number, void* /*reserved*/) {
  tkmac::journal().record("AddDms", GetHandle(), path != nullptr ? path->GetPathDetail() : std::string(),
                          library != nullptr ? library->GetHandle() : 0ULL, number);
  if (tkmac::failed(*this, "AddDms")) return nullptr;
  ZQMACMediaConfig* config = GetOwner();
  ZQMACDrive* staged = path != nullptr ? path->GetDrive() : nullptr;
  ZQMACDrivePool* pool = path != nullptr ? path->GetDrivePool() : nullptr;
  if (library == nullptr && pool != nullptr) library = pool->GetLms();
  auto refuse = [&](unsigned int code, const std::string& text) -> ZQMACDms* {
    SetLastError(code, text);
    return nullptr;
  };
  if (config == nullptr || path == nullptr || path->GetOwner() != nullptr || staged == nullptr ||
      staged->GetOwner() != nullptr || pool == nullptr)
    return refuse(tkmac::kErrorAdoptRefused, "The drive path cannot be added through this media agent.");
  if (library == nullptr || library->GetOwner() != config)
    return refuse(tkmac::kErrorUnknownObject, "The drive path names no library of the configuration.");
  const bool newPool = pool->GetOwner() == nullptr;
  if (!newPool && (pool->GetOwner() != config || pool->GetLms() != library))
    return refuse(tkmac::kErrorUnknownObject, "The drive pool is none of the library's.");
  if (path->GetPathDetail().empty()) return refuse(tkmac::kErrorInvalidValue, "The drive path has no access path.");
  ZQMACMasterDrivePool* master = newPool ? library->GetMasterDrivePoolList().GetFirstNode() : pool->GetMasterDrivePool();
  if (master == nullptr) return refuse(tkmac::kErrorUnknownObject, "The library has no master drive pool.");

  const std::string host = pool->GetProxyClientHost();
  MMNewNdmpDrivePath row;
  row.masterPoolId = static_cast<int>(master->GetId());
  row.clientId = static_cast<int>(GetId());
  row.drivePoolId = newPool ? 0 : static_cast<int>(pool->GetId());
  row.drivePoolName = tkmmdb::ndmpDrivePoolName(GetName(), host);
  row.drivePoolType = pool->GetType();
  row.proxyHost = host;
  row.drive.name = tkmmdb::ndmpDriveName(number, host);
  row.drive.serialNumber = staged->GetDeviceTextA();
  row.drive.firmware = staged->GetDeviceTextB();
  row.drive.vendor = staged->GetVendor();
  row.drive.model = staged->GetProduct();
  row.drive.driveNumber = number;
  row.pathName = path->GetPathDetail();
  // What the new path shows of itself beyond its row's columns: the access
  // path it was asked for and the NDMP server it reaches, stored with it so
  // that a re-read and a restart show it as this instance does.
  row.pathSettings.push_back({tkmac::setting::kAccessPath, row.pathName});
  if (!path->GetServerHostName().empty())
    row.pathSettings.push_back({tkmac::setting::kServerHost, path->GetServerHostName()});
  int pathId = 0;
  const bool stored = ZQMACGraph::IsDatabaseBacked(*config);
  if (stored) {
    if (GetId() == kNotStored) return refuse(tkmac::kErrorNotStored, "The media agent [" + GetName() + "] is not stored.");
    MMMediaConfigDB access;
    if (access.insertNdmpDrivePath(row, pathId) != 0)
      return refuse(tkmac::modelErrorOf(access), access.lastErrorText());
  } else {
    if (newPool) row.drivePoolId = tkmac::takeNewObjectId();
    row.drive.id = tkmac::takeNewObjectId();
    pathId = tkmac::takeNewObjectId();
  }

  // The objects, linked as a load would link them; should the instance
  // refuse one (no handle left), what was stored goes again.
  ZQMACDrivePool* target = pool;
  if (newPool) {
    target = ZQMACGraph::AddDrivePool(library, this, row.drivePoolId, row.drivePoolName);
    if (target != nullptr) {
      target->SetType(pool->GetType());
      ZQMACGraph::SetProxyClientHost(target, host);
      ZQMACGraph::AddPoolToMaster(master, target);
      ZQMACGraph::SetConfigured(target, true);
    }
  }
  ZQMACDrive* drive = target != nullptr ? ZQMACGraph::AddDrive(library, row.drive.id, row.drive.name, number) : nullptr;
  ZQMACDms* added = drive != nullptr ? ZQMACGraph::AddDms(drive, target, this, pathId, row.pathName) : nullptr;
  if (added == nullptr) {
    if (stored) {
      MMMediaConfigDB access;
      access.removeObject(MMStoredKind::Drive, row.drive.id);
      if (newPool) access.removeObject(MMStoredKind::DrivePool, row.drivePoolId);
    }
    if (drive != nullptr) delete drive;
    if (newPool && target != nullptr) delete target;
    return refuse(tkmac::kErrorAdoptRefused, config->GetLastError());
  }
  ZQMACGraph::DeviceIdentity identity;
  identity.vendor = staged->GetVendor();
  identity.product = staged->GetProduct();
  identity.textA = staged->GetDeviceTextA();
  identity.textB = staged->GetDeviceTextB();
  identity.textC = staged->GetDeviceTextC();
  ZQMACGraph::SetDeviceIdentity(drive, identity);
  ZQMACGraph::SetDeviceIdentifier(drive, staged->GetDeviceIdentifier());
  ZQMACGraph::SetDriveIds(drive, staged->GetDeviceTextA(), std::string());
  // Its row's alias is its name.
  ZQMACGraph::SetDriveAlias(drive, row.drive.name);
  drive->SetPoolMatchText(staged->GetPoolMatchText());
  ZQMACGraph::SetConfigured(drive, true);
  ZQMACGraph::SetPathTexts(added, {row.pathName, row.pathName, false});
  ZQMACGraph::SetServerHostName(added, path->GetServerHostName());
  ZQMACGraph::SetConfigured(added, true);
  ClearLastError();
  return added;
}
