// The demonstration installation of `tkhost --seed-demo`, made through the
// media-configuration table access (MMMediaConfigDB::seedDemo), so that what
// the host then loads is exactly what any other session would store.
#include <string>

#include "platform/mac/ZQMACPlatform.h"
#include "platform/mmdb/MMMediaConfigDB.h"

namespace tkmac {

int seedDemoInstallation(std::string& report) {
  MMMediaConfigDB access;
  int made = 0;
  if (access.seedDemo(made, report) != 0) {
    report = "the demonstration installation could not be stored: " + access.lastErrorText();
    return -1;
  }
  return made;
}

}  // namespace tkmac
