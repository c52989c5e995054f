// Replica deletion on the in-memory filers (platform/ndmp/NdmpFilers.h).
#include "platform/ndmp/NasUtil.h"

#include <string>

#include "platform/ndmp/NdmpFilers.h"

int NasUtil::deleteSnapVaultReplica(unsigned long snapVaultHostId, const std::string& snapVaultUniqueId,
                                    unsigned long sourceHostId, int sourceVolumeId, const std::string& sourceUniqueId,
                                    int sourceDeviceIdType, const std::string& replicaText, int releaseMode) {
  tkndmp::journal().record("deleteSnapVaultReplica", snapVaultHostId, snapVaultUniqueId, sourceHostId, sourceVolumeId,
                           sourceUniqueId, sourceDeviceIdType, replicaText, releaseMode);
  tkjournal::Failure failure;
  if (tkndmp::journal().takeFailure("deleteSnapVaultReplica", failure) ||
      tkndmp::journal().takeFailure("deleteSnapVaultReplica:" + std::to_string(sourceVolumeId), failure))
    return -1;
  return 0;
}

std::string NasUtil::getOsTypeString(int osType) {
  struct Name {
    int osType;
    const char* name;
  };
  static constexpr Name kNames[] = {
      {5, "File System Agent"},      {6, "NAS Filer"},          {7, "NAS Filer (clustered)"},
      {8, "NAS Filer (cluster mode)"}, {10, "Any NDMP Server"},  {12, "NDMP Component"},
      {13, "NAS Gateway"},           {14, "Archive Cluster"},   {16, "Media Agent"},
      {20, "NAS without Filer Login"},
  };
  for (const Name& n : kNames)
    if (n.osType == osType) return n.name;
  return "NDMP OS type " + std::to_string(osType);
}
