// The records of disk devices and disk volumes (see DiskRecords.h).
#include "mmconfig/disk/DiskRecords.h"

#include <cstdint>
#include <string>

#include "frame/AppAdapters.h"
#include "frame/ElementTags.h"
#include "frame/mac/ZQMACObjects.h"
#include "mmconfig/RecordWriter.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/mmdb/MMDeviceDB.h"

namespace tkmm {
namespace {

constexpr unsigned long kItemDRUHost = tktag::kDRUHost;
constexpr unsigned long kItemGuid = tktag::kDeviceIdentification;
constexpr unsigned long kItemGuidType = tktag::kIdentificationType;
constexpr unsigned long kItemDisplayType = tktag::kDeviceIdType;
constexpr unsigned long kItemSanDBId = tktag::kSanVolumeId;
constexpr unsigned long kItemStartLBA = tktag::kStartBlock;
constexpr unsigned long kItemBlockCount = tktag::kBlockCount;
constexpr unsigned long kItemBlockSize = tktag::kBlockSize;
constexpr unsigned long kItemScsiLun = tktag::kScsiLun;

constexpr unsigned long kItemVolume = tktag::kDiskVolume;
constexpr unsigned long kItemDeviceAttribute = tktag::kDeviceAttribute;
constexpr unsigned long kItemPath = tktag::kVolumePath;
constexpr unsigned long kItemAgent = tktag::kMediaAgent;
constexpr unsigned long kItemMountPoint = tktag::kMountPoint;
constexpr unsigned long kItemAccessType = tktag::kDeviceAccessType;
constexpr unsigned long kItemCredential = tktag::kCredential;

// Catalogue text of "no DRU host" (the none entry of the DRU host list).
constexpr unsigned long kTextNoDRUHost = 0x240002F5;

std::string druHostName(ZQMACMediaConfig& config, int druId) {
  if (druId != 0)
    if (ZQMACHost* host = config.FindDBNode<ZQMACHost>(druId)) return host->GetName();
  return ZQMACBase::GetMessageString(kTextNoDRUHost);
}

// The attribute field of the stored device row of that name; 0 (logged)
// when the row cannot be read.
uint32_t deviceAttribute(const std::string& name, const char* tag) {
  MMDeviceDB devices;
  MMDevice_t row;
  if (devices.getInfoByAliasName(name.c_str(), row, nullptr) != 0) {
    EvDebug::Error(tag, "Failed to get deviceInfo from DB for device[%s] due to error [%d]", name.c_str(),
                   devices.getErrorCode());
    return 0;
  }
  return static_cast<uint32_t>(row.DeviceAttribute);
}

std::string credentialName(int credentialId) {
  std::string name;
  if (credentialId < 1) return name;
  CredentialMgrHelper credentials;
  if (credentials.getCredentialNameForId(credentialId, name, nullptr) != 0) name.clear();
  return name;
}

}  // namespace

void diskDeviceRecord(RecordWriter& out, ZQMACMediaConfig& config, ZQMACDiskDevice& device) {
  out.idText(kItemDiskDevice, device.GetId(), device.GetDisplayName());
  out.idText(kItemDRUHost, static_cast<uint32_t>(device.GetDRUId()), druHostName(config, device.GetDRUId()));
  out.textA(device);
  out.text(kItemGuid, device.GetGuid());
  out.text(kItemGuidType, device.GetGuidTypeString());
  out.u32(kItemDisplayType, static_cast<uint32_t>(device.GetDisplayDeviceType()));
  out.u32(kItemSanDBId, static_cast<uint32_t>(device.GetSanDBId()));
  out.u32(kItemStartLBA, static_cast<uint32_t>(device.GetStartLBA()));
  out.u32(kItemBlockCount, static_cast<uint32_t>(device.GetBlockCount()));
  out.u32(kItemBlockSize, static_cast<uint32_t>(device.GetBlockSize()));
  out.u32(kItemScsiLun, static_cast<uint32_t>(device.GetScsiLun()));
  out.textB(device);
  out.shown(device);
  out.icon(config, device);
  out.endOfRecord();
}

void diskVolumeRecord(RecordWriter& out, ZQMACMediaConfig& config, ZQMACDiskVolume& volume, const char* tag) {
  std::unique_ptr<ZQMACMediaAgent> noAgent;  // an agentless volume lists an empty agent entry
  const ZQMACMediaAgent& agent = orBlank(volume.GetMediaAgent(), noAgent);
  const int credentialId = volume.GetCredentialId();
  out.idText(kItemVolume, volume.GetId(), volume.GetDisplayName());
  out.textA(volume);
  out.u32(kItemSanDBId, static_cast<uint32_t>(volume.GetSanDBId()));
  out.u32(kItemDeviceAttribute, deviceAttribute(volume.GetName(), tag));
  out.text(kItemPath, volume.GetVolume());
  out.idText(kItemAgent, agent.GetId(), agent.GetName());
  for (const std::string& point : volume.GetMountPointList()) out.text(kItemMountPoint, point);
  out.textB(volume);
  out.u32(kItemAccessType, static_cast<uint32_t>(volume.GetDeviceAccessType()));
  out.shown(volume);
  out.icon(config, volume);
  out.idText(kItemCredential, credentialId < 1 ? 0u : static_cast<uint32_t>(credentialId), credentialName(credentialId));
  out.endOfRecord();
}

}  // namespace tkmm
