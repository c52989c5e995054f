// Older record versions from the latest: a record of a later version
// derives from the earlier one, so its earlier part is taken as it is; the
// version-1 volume record is converted (32-bit LBA and block count).
// Inside platform/replicadb only.
#pragma once

#include <vector>

#include "platform/replicadb/ReplicaTables.h"

namespace tkreplicadb {

inline void assignVersion(SNRVolumeRecord_t& to, const SNRVolumeRecordV4_t& from) { to = volumeV1(from); }
template <class To, class From>
void assignVersion(To& to, const From& from) {
  to = from;
}
template <class To, class From>
void appendVersions(std::vector<To>& to, const std::vector<From>& from) {
  for (const From& record : from) {
    To older;
    assignVersion(older, record);
    to.push_back(older);
  }
}

}  // namespace tkreplicadb
