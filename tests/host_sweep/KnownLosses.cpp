// The changes answered "Success" that do not read back yet, each with the
// fault it shows, and the rows the sweep cannot drive yet, each with why.
// A known loss must still lose: once its fault is mended, the sweep says to
// take it off the list.
#include "tests/host_sweep/Sweep.h"

namespace sweeptest {

const std::vector<std::pair<std::string, std::string>>& knownLosses() {
  static const std::vector<std::pair<std::string, std::string>> losses = {
      // Found by comparing whole records: the session shows one thing, a
      // re-read and a restart another.
      {"a disk library made by the set request reads back",
       "the session lists the new disk library on ma1; after a re-read its media agent item is 4294967295 (none)"},
      {"a library's alias set by operation 3 reads back",
       "the session still shows the old alias (TapeLib1) in a record where a re-read shows Robot-A"},
      {"a drive path's alias set by operation 3 reads back",
       "the session still shows the old drive alias (Drive1) on a path where a re-read shows Tape-A"},
      {"a detected library dropped on nothing is stored",
       "the session shows the detection's description of the library; after a re-read it is empty (not stored)"},
      {"a detected library configured through its controller is stored (control 48)",
       "the session shows the detection's description of the library; after a re-read it is empty (not stored)"},
      {"a detected library configured in mode 2 is stored (control 69)",
       "the session shows the detection's description of the library; after a re-read it is empty (not stored)"},
      {"a detected tape library configured by the wizard is stored",
       "the session shows the detection's description of the library; after a re-read it is empty (not stored)"},
      {"a detected drive configured by the wizard stores its library",
       "the session shows the detection's description of the library; after a re-read it is empty (not stored)"},
      {"the first controller takes another controller's bus, type and text (operation 3 with 11007)",
       "the session lists a library record that a re-read does not"},
      {"a library controller takes another controller's bus", "the session lists a library record that a re-read does not"},
      {"a detection stores no library until one is configured",
       "the session lists the detected library as a library; a re-read does not (nothing was stored)"},
      {"a tape library's alias set by the wizard reads back", "the session lists a library record that a re-read does not"},
      {"an IP library controller's library and volume range read back (operation 55)",
       "the session does not list the new library; a re-read does"},
      {"an NDMP library controller added after the NDMP server is stored (operation 54)",
       "the session does not list the new library; a re-read does"},
      {"a replication-store library added reads back", "the session does not list the new library; a re-read does"},
  };
  return losses;
}

const std::vector<std::pair<std::string, std::string>>& notDriven() {
  static const std::vector<std::pair<std::string, std::string>> rows = {
      {"a disk library's hybrid-cloud pairing is stored (storage-library 32, tag 86)",
       "the pairing is an object of its own (namespace 13, class 1015) holding a cloud library entity, which the "
       "console's storage-library word has no form for; the demonstration has no cloud library either"},
      {"a mount path's credential is stored (storage-library 8, tag 95)",
       "the credential is an entity of its own (namespace 18) inside the second description, which the console's "
       "storage-library word has no form for; the demonstration has no credential either"},
      {"a SAN volume recorded beside 100,000 others is listed whole",
       "under the sanitizers the host takes more than a minute to list 100,000 volumes, three times a row; the "
       "console's side (an answer cut short is an error, a failure naming the limit exits non-zero) is tested "
       "against a host played by the test"},
      {"a snapshot import is started",
       "the import runs the snapshot tool on the client through the network stand-in, which in the host knows no "
       "host: every import fails (and an import starts a job, storing no configuration)"},
  };
  return rows;
}

// Each entry names the fix it waits for by the branch it is made on.
const std::vector<std::pair<std::string, std::string>> kAwaitingFix = {
};

const std::vector<std::pair<std::string, std::string>>& changingByThemselves() {
  static const std::vector<std::pair<std::string, std::string>> items = {
      {"(object handle)", "a handle numbers an object in one session: each session numbers its objects afresh"},
      {"(first controller)", "the handle of the library's first controller: a handle, numbered afresh"},
      {"(controller)", "the handle of the library's controller before its device name: a handle, numbered afresh"},
      {"(drive path)", "the handle of a drive's path before its device name: a handle, numbered afresh"},
  };
  return items;
}

const std::vector<std::pair<std::string, std::string>>& tablesChangingByThemselves() {
  static const std::vector<std::pair<std::string, std::string>> tables = {
      {"MMConfigChange",
       "the change log: a lock and a re-read prune it and a new connection puts missing parts back, whatever "
       "the change did"},
  };
  return tables;
}

}  // namespace sweeptest
