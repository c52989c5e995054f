// Search predicates over lists that the replica database service returns.
// Each is made empty, given the id to look for in its public `id`, and
// handed to a linear search:
//
//   FindReplicationVolByVolumeId byVolume;
//   byVolume.id = volume.volumeId;
//   auto it = std::find_if(replicas.begin(), replicas.end(), byVolume);
//
// Replicas are found by the SAN volume that holds them (physicalVolumeId),
// never by their own replica id.
#pragma once

#include <cstdint>

#include "platform/replicadb/ReplicaRecords.h"
#include "platform/replicadb/SNRVolumeRecords.h"

struct FindVolumeById {
  int32_t id = -1;
  // Any record with a volumeId (the volume records of every version).
  template <class Record>
  bool operator()(const Record& record) const {
    return record.volumeId == id;
  }
};

struct FindDeviceNameByVolumeId {
  int32_t id = -1;
  bool operator()(const SNRVolumeDeviceNameV4Record_t& record) const { return record.volumeId == id; }
};

struct FindMountPointByDeviceNameId {
  int32_t id = -1;
  bool operator()(const SNRVolumeMountPointRecord_t& record) const { return record.deviceNameId == id; }
};

struct FindScratchVolByVolumeId {
  int32_t id = -1;
  bool operator()(const RVScratchVolumeV2Record_t& record) const { return record.volumeId == id; }
};

struct FindReplicationVolByVolumeId {
  int32_t id = -1;
  bool operator()(const ReplicationVolumeV5Record_t& record) const { return record.physicalVolumeId == id; }
};

struct FindApplianceById {
  int32_t id = -1;
  bool operator()(const QRApplianceRecord_t& record) const { return record.applianceId == id; }
};

// Made beside the others by the volume listing but never applied.
struct FindQuillmereSnapshotByVolumeId {
  int32_t id = -1;
};
