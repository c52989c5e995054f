// The changes answered "Success" that do not read back yet, each with the
// fault it shows, and the rows the sweep cannot drive yet, each with why.
// A known loss must still lose: once its fault is mended, the sweep says to
// take it off the list.
#include "tests/host_sweep/Sweep.h"

namespace sweeptest {

const std::vector<std::pair<std::string, std::string>>& knownLosses() {
  static const std::vector<std::pair<std::string, std::string>> losses = {
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
