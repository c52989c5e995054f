// Filer work that is not a session of its own: deleting the SnapVault or
// SnapMirror replica that a source volume keeps on a SnapVault volume, so
// that the space it holds is free again.
//
//   NasUtil util;
//   if (util.deleteSnapVaultReplica(svHost, svUniqueId, srcHost, srcVolume, srcUniqueId, srcIdType,
//                                   replicaText, mode) == -1) ... failed ...
//
// The filers answer in memory: every deletion is journaled in the filers'
// journal (platform/testkit/ndmp.h) under "deleteSnapVaultReplica" with its
// eight arguments, and a failure scripted under that name makes it return
// -1. Thread-safe.
#pragma once

#include <string>

class NasUtil {
 public:
  NasUtil() = default;

  // 0 when the replica was deleted, -1 on failure.
  int deleteSnapVaultReplica(unsigned long snapVaultHostId, const std::string& snapVaultUniqueId,
                             unsigned long sourceHostId, int sourceVolumeId, const std::string& sourceUniqueId,
                             int sourceDeviceIdType, const std::string& replicaText, int releaseMode);
};
