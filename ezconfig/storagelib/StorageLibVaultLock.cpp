// Vault lock: operation 4096 of the storage-library request. The storage
// behind a mount path (or, when the configuration holds no mount path of
// the request's id, behind the request's disk device) is asked through the
// first volume of its disk device to lock its vault for the requested
// value. The frame has checked installation rights and holds no lock; the
// change goes through the media-configuration model alone.
//
// A request that names a library acts only on a vault of that library: the
// mount path must be one of it, or the device must hold one of its mount
// paths; else it is refused naming both, with nothing asked or audited, as
// every request that names an object with a library is (ObjectOwnership.h).
//
// The audit names the device as the control request's vault lock does: its
// display name, and its descriptive text followed by ", Vault Lock".
#include <cstdint>
#include <string>

#include "ezconfig/ObjectOwnership.h"
#include "ezconfig/storagelib/StorageLibDeviceSteps.h"
#include "ezconfig/storagelib/StorageLibraryRequest.h"
#include "frame/EvMMConfigMgr.h"
#include "frame/mac/ZQMACMediaConfig.h"
#include "frame/mac/ZQMACObjects.h"
#include "platform/debuglog/EvDebug.h"

namespace {

constexpr const char* kTag = "EvMMConfigMgr::StorageLibSetVaultLock";
constexpr const char* kTextNoVault = "Cannot find the vault, the mount path/device id may be wrong!";

using tkezconfig::StorageLibOutcome;
using tkezconfig::StorageLibraryRequest;
using tkezconfig::StorageLibResult;
using Info = EVGui::StorageLibraryInfo;

// The disk device of the mount path, or else the one of the device id.
ZQMACDiskDevice* findDevice(ZQMACMediaConfig& config, ZQMACMountPath* path, int deviceId) {
  if (path != nullptr) return config.FindDBNode<ZQMACDiskDevice>(path->GetForeignAgantId());
  return deviceId > 0 ? config.FindDBNode<ZQMACDiskDevice>(deviceId) : nullptr;
}

// The object the lock goes to is of the library the request names (by id,
// by name, or both alike). False with the request refused when not.
bool ofNamedLibrary(StorageLibraryRequest& w, bool byMountPath) {
  std::string refusal;
  tkezconfig::Ownership outcome = tkezconfig::libraryIdMatchesName(w.libraryId, w.libraryName, w.locale, refusal);
  if (outcome == tkezconfig::Ownership::kOwn && byMountPath)
    outcome = tkezconfig::mountPathOfLibrary(w.mountPathId, w.libraryId, w.libraryName, w.locale, refusal);
  else if (outcome == tkezconfig::Ownership::kOwn && w.deviceId > 0)
    outcome = tkezconfig::deviceOfLibrary(w.deviceId, w.libraryId, w.libraryName, w.locale, refusal);
  if (outcome == tkezconfig::Ownership::kOwn) return true;
  EvDebug::Error(kTag, "Failed to set Vault Lock, due to Error: %s", refusal.c_str());
  w.fail(refusal);
  return false;
}

}  // namespace

StorageLibResult EvMMConfigMgr::StorageLibSetVaultLock(StorageLibraryRequest& w) {
  const StorageLibResult failure{StorageLibOutcome::kFailure, false};
  if (!tkezconfig::readRequestConfiguration(w, kTag)) return failure;

  ZQMACMountPath* path = w.config->FindDBNode<ZQMACMountPath>(w.mountPathId);
  if (!ofNamedLibrary(w, path != nullptr)) return failure;
  ZQMACDiskDevice* device = findDevice(*w.config, path, w.deviceId);
  // Only the first volume is asked.
  ZQMACDiskVolume* volume = device != nullptr ? device->GetVolumeList().GetFirstNode() : nullptr;
  // The value travels in 64 bits; its low 32 bits are the lock.
  const long long sent = w.library->getint64(Info::kMountPathUsage.tag, Info::kClassHash, Info::kMountPathUsage.hash);
  std::string value = ZQMACBase::Int2String(static_cast<int32_t>(static_cast<uint32_t>(sent)));
  if (volume == nullptr || !volume->VerifyDevice(ZQMACDiskVolume::ZQMAV_VERIFY_VAULT_LOCK, value)) {
    std::string text = volume == nullptr ? std::string(kTextNoVault) : volume->GetLastError();
    if (text.empty()) text = "The vault lock was refused.";
    EvDebug::Error(kTag, "Failed to set Vault Lock, due to Error: %s", text.c_str());
    w.fail(text);
    return failure;
  }
  tkezconfig::auditConfiguredObject(w, device->GetDisplayName(), device->GetTextA(false) + ", Vault Lock");
  return StorageLibResult{};
}
