// The changes answered "Success" that do not read back yet, each with the
// fault it shows, and the rows the sweep cannot drive yet, each with why.
// A known loss must still lose: once its fault is mended, the sweep says to
// take it off the list.
#include "tests/host_sweep/Sweep.h"

namespace sweeptest {

const std::vector<std::pair<std::string, std::string>>& knownLosses() {
  static const std::vector<std::pair<std::string, std::string>> losses = {
      {"an IP library controller's library and volume range read back (operation 55)",
       "IP controller volume range: operation 55 stages the volume range and nothing stores it"},
      {"the first controller takes another controller's bus, type and text (operation 3 with 11007)",
       "controller bus: the library controller's bus update stores address and text but not the type"},
      {"a library controller takes another controller's bus",
       "controller bus: the library controller's bus update stores address and text but not the type"},
      {"a network share keeps its kind and remote-host settings",
       "network share kind: a network share's kind is stored nowhere; after a re-read it is \"Type 0\""},
      {"a network share's path changed by operation 3 reads back",
       "network share path: the volume listing keeps showing the old path while the stored setting holds the new one"},
      {"an added master pool reads back configured as the session showed it",
       "master pool state: the session shows the added master pool not configured (21), a re-read configured (20)"},
      {"a library's usePnpWhenBlank flag leaves it shown (storage-library 32, tag 73)",
       "shown state: the shown state shares bit 0x2000 of the extended attributes with usePnpWhenBlank"},
      {"a disk library made by the wizard keeps its media agent",
       "disk wizard agent: no device, device-controller or mount-path-to-device row is written for the wizard's mount "
       "path"},
      {"a copy manager added on a media agent is listed", "copy manager: nothing of the added copy manager is stored"},
      {"a copy-manager device's name and limit read back",
       "copy manager: the copy manager the change renames is not stored, so neither is its new name"},
  };
  return losses;
}

const std::vector<std::pair<std::string, std::string>>& notDriven() {
  static const std::vector<std::pair<std::string, std::string>> rows = {
      {"an NDMP drive path added by operation 1 is stored",
       "the host's model has no drive vendor table (nothing stored or loaded fills one), so every vendor index "
       "(11069) is beyond it and the add is refused; a vendor catalogue is the loader's to read, not the "
       "demonstration's to seed"},
      {"a disk library's hybrid-cloud pairing is stored (storage-library 32, tag 86)",
       "the pairing is an object of its own (namespace 13, class 1015) holding a cloud library entity, which the "
       "console's storage-library word has no form for; the demonstration has no cloud library either"},
      {"a mount path's credential is stored (storage-library 8, tag 95)",
       "the credential is an entity of its own (namespace 18) inside the second description, which the console's "
       "storage-library word has no form for; the demonstration has no credential either"},
      {"a snapshot import is started",
       "the import runs the snapshot tool on the client through the network stand-in, which in the host knows no "
       "host: every import fails (and an import starts a job, storing no configuration)"},
  };
  return rows;
}

}  // namespace sweeptest
