// The SAN volume host of the demonstration installation (tkhost
// --seed-demo): client 101 "sanhost1", known to the replica database as a
// volume host, with two volumes on its client agent ("E:" and "/dev/sdb",
// each with one mount point) waiting to be discovered and recorded.
//
// The client agents live in memory, so the host seeds them at every start
// with --seed-demo; the client and volume-host rows are added once.
#pragma once

#include <string>

namespace tkclientvol {

inline constexpr int kDemoHostClientId = 101;
inline constexpr const char* kDemoHostName = "sanhost1";

// 0 with what was seeded in `report`; a database error code otherwise.
int seedDemoHost(std::string& report);

}  // namespace tkclientvol
