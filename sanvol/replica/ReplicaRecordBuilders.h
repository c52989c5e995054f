// The builders that write one volume, replica, device name or mount point
// into a listing reply that the caller has begun (EvReturnData::begin), in
// the item order the clients read them. The replica listings use them as
// they stand; the single-volume lookup writes the same groups with its own
// differences (an appliance name found in a list, an empty cost category,
// the source client among the replica items, the filer id of every device
// of a NAS volume), which the lower-level writers below take as arguments,
// so that both listings share one order.
//
//   AddPVol(*this, volume, applianceNames, costCategoryNames, false);
//   AddQRVol(*this, replica);
//   for (const auto& device : devices) {
//     AddDevice(*this, device, clientNames);
//     for (const auto& mp : mountPointsOf(device)) AddMountPoint(*this, mp, device.hostId);
//   }
//   tksanvol::endRecord(*this);
//
// Texts go through the 4,104-byte item buffer (frame/SANVolReplyItems.h):
// at most 4,103 characters.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "platform/replicadb/ReplicaRecords.h"
#include "platform/replicadb/SNRVolumeRecords.h"

class EvReturnData;

// Id to name maps of the listings (clients, appliances, cost categories).
using IdNameMap = std::map<int32_t, std::string>;

// The volume: 11618, then the items of tksanvol::addVolumeDetails. The
// appliance (11708) and cost category (11730) names come from the maps when
// the id is non-zero and the map holds it, else empty.
void AddPVol(EvReturnData& reply, const SNRVolumeRecordV4_t& volume, const IdNameMap& applianceNames,
             const IdNameMap& costCategoryNames, bool heldBySubclient);
// The replica: 11626 to 11746 (tksanvol::addReplicaDetails without a
// source client).
void AddQRVol(EvReturnData& reply, const ReplicationVolumeV5Record_t& replica);
// The device name: 11633, 11602 (the client's name from the map, else
// "UnknownClient"), 11703, 11723, 11773, 11704 when the OS device name is
// not empty, 9223 when the filer client id is greater than 1.
void AddDevice(EvReturnData& reply, const SNRVolumeDeviceNameV4Record_t& device, const IdNameMap& clientNames);
// The mount point: 11653 hdr12+text (id, the client id given, flags bit 0
// case-sensitive and bit 1 the extra flag, the path).
void AddMountPoint(EvReturnData& reply, const SNRVolumeMountPointRecord_t& mountPoint, int clientId);

namespace tksanvol {

inline constexpr const char* kUnknownClientName = "UnknownClient";

// The volume items after its id, in order: 11606, 11615, 11675, 11607,
// 11608 (u64), 11614 (u64), 11619, 11620, 11711, 11712, 11708 (appliance id
// and name), 11730 (the cost category's low 32 bits and name), 11742,
// 11776, 11694 (held by a subclient), 11613.
void addVolumeDetails(EvReturnData& reply, const SNRVolumeRecordV4_t& volume, const std::string& applianceName,
                      const std::string& costCategoryName, bool heldBySubclient);

// The replica items, in order: 11626, 11627, 11629, 11628, 11631, 11688,
// 11713, 2180 (u64), 11632, [11697 the source client's name, when given],
// 11642 (policy id, empty text), 11695, 11696, 11751, 11774, 11775, 11746.
void addReplicaDetails(EvReturnData& reply, const ReplicationVolumeV4Record_t& replica,
                       const std::optional<std::string>& sourceClientName);

// Where a device's filer client id (9223) goes.
enum class FilerItem {
  AfterOsDeviceNameWhenAFiler,  // after 11704, only for an id greater than 1 (the listings)
  BeforeOsDeviceNameAlways,     // before 11704, whatever its value (a device of a NAS volume)
  None,
};
void addDeviceDetails(EvReturnData& reply, const SNRVolumeDeviceNameV4Record_t& device, const std::string& clientName,
                      FilerItem filer);

}  // namespace tksanvol
