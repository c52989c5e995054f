// Filer work that is not a session of its own: deleting the SnapVault or
// SnapMirror replica that a source volume keeps on a SnapVault volume, so
// that the space it holds is free again; and the display name of an NDMP
// OS type for messages.
//
//   NasUtil util;
//   if (util.deleteSnapVaultReplica(svHost, svUniqueId, srcHost, srcVolume, srcUniqueId, srcIdType,
//                                   replicaText, mode) == -1) ... failed ...
//
// The filers answer in memory: every deletion is journaled in the filers'
// journal (platform/testkit/ndmp.h) under "deleteSnapVaultReplica" with its
// eight arguments. A failure scripted under that name makes the next
// deletion return -1; one scripted under "deleteSnapVaultReplica:<source
// volume id>" only the deletion for that source volume. Thread-safe.
#pragma once

#include <string>

class NasUtil {
 public:
  NasUtil() = default;

  // 0 when the replica was deleted, -1 on failure.
  int deleteSnapVaultReplica(unsigned long snapVaultHostId, const std::string& snapVaultUniqueId,
                             unsigned long sourceHostId, int sourceVolumeId, const std::string& sourceUniqueId,
                             int sourceDeviceIdType, const std::string& replicaText, int releaseMode);

  // The name of an NDMP OS type as messages show it ("NDMP OS type N" for a
  // type without a name of its own).
  static std::string getOsTypeString(int osType);
};
