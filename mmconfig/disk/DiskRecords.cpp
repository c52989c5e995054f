// The records of disk devices and disk volumes (see DiskRecords.h).
#include "mmconfig/disk/DiskRecords.h"

#include <cstdint>
#include <string>

#include "frame/AppAdapters.h"
#include "frame/mac/ZQMACObjects.h"
#include "mmconfig/RecordWriter.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/mmdb/MMDeviceDB.h"

namespace tkmm {
namespace {

constexpr unsigned long kItemDRUHost = 11420;
constexpr unsigned long kItemGuid = 11205;
constexpr unsigned long kItemGuidType = 11206;
constexpr unsigned long kItemDisplayType = 11606;
constexpr unsigned long kItemSanDBId = 11201;
constexpr unsigned long kItemStartLBA = 11202;
constexpr unsigned long kItemBlockCount = 11203;
constexpr unsigned long kItemBlockSize = 11204;
constexpr unsigned long kItemScsiLun = 11207;

constexpr unsigned long kItemVolume = 11200;
constexpr unsigned long kItemDeviceAttribute = 9640;
constexpr unsigned long kItemPath = 11208;
constexpr unsigned long kItemAgent = 2048;
constexpr unsigned long kItemMountPoint = 11209;
constexpr unsigned long kItemAccessType = 11418;
constexpr unsigned long kItemCredential = 9819;

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
  ZQMACMediaAgent noAgent;  // an agentless volume lists an empty agent entry
  const ZQMACMediaAgent& agent = volume.GetMediaAgent() != nullptr ? *volume.GetMediaAgent() : noAgent;
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
