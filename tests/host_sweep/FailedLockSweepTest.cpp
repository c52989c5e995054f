// Every change the configuration session serves, sent on a connection whose
// lock failed: none of it is done, and nothing stored changes.
#include <gtest/gtest.h>

#include <sstream>

#include "tests/host_sweep/Sweep.h"

namespace sweeptest {

std::vector<Row> failedLockRows() {
  std::string lines;
  for (auto family : {&libraryRows, &driveRows, &diskRows, &agentRows, &xmlRows})
    for (const Row& row : family()) {
      // Rows that set the stage first or need the demonstration's outside
      // world are left out: their lines mean nothing without it.
      if (row.lockFails || !row.before.empty() || row.outsideWorld) continue;
      std::istringstream in(row.change);
      for (std::string line; std::getline(in, line);) {
        // A failed lock on this connection does not concern the requests
        // served apart from the session.
        if (line.empty() || servedApartFromTheSession(line)) continue;
        lines += line + "\n";
      }
    }
  Row row{"every change of the configuration session on a connection whose lock failed does nothing",
          "onMsgSetMMLibrary", lines, "libraries\nonMsgGetDRUHostList\nonMsgGetCenteraClusterList\nonMsgGetMMCMDevices",
          {"reply 11002"}};
  row.lockFails = true;
  row.keepsNothing = true;
  row.changeExit = 3;
  return {row};
}

const bool kFailedLockRowsListed =
    listFamily("EveryChangeOfTheSessionOnAConnectionWhoseLockFailedDoesNothing", &failedLockRows);
TEST(HostSweep, EveryChangeOfTheSessionOnAConnectionWhoseLockFailedDoesNothing) { sweep(failedLockRows()); }

}  // namespace sweeptest
