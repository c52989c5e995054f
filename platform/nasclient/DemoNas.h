// The NAS side of the demonstration installation (tkhost --seed-demo): the
// NAS client "filer1" (client 102, on a NAS operating system) with its NDMP
// row (login "root", port 10000) served by the media agent "nasma1" (client
// 103), as the NDMP and NAS-client listings show them; and the filer
// "filer2" (NDMP login root, password "demo"), not yet an NDMP server, for
// the demonstration to add, detect and delete, with a tape library (DEMO
// TAPE-9, identified as NLIB1, 4 drives from address 1) at /dev/robot1,
// whose drives (DEMO LTO-9, serials NSN0001 to NSN0004) it answers for at
// /dev/nrst0 to /dev/nrst3.
//
// Rows are added once; a second seed leaves them as they are. The filer is
// kept in memory and seeded at every start.
#pragma once

#include <string>

namespace tknasclient {

inline constexpr int kDemoFilerClientId = 102;
inline constexpr int kDemoNasMediaAgentId = 103;
inline constexpr char kDemoFilerHost[] = "filer2";
inline constexpr char kDemoFilerLibraryPath[] = "/dev/robot1";
// The access path of the filer's first drive; the others follow by number.
inline constexpr char kDemoFilerDrivePath[] = "/dev/nrst";

// 0 with what was seeded in `report`; an error code otherwise.
int seedDemoNas(std::string& report);

}  // namespace tknasclient
