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
