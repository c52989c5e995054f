// The rows the sweep cannot drive, each with why, and what the sweep takes
// as changing by itself between the session, a re-read and a restart, each
// with why. Nothing else is excepted: a change answered "Success" that does
// not read back whole fails its row.
#include "tests/host_sweep/Sweep.h"

namespace sweeptest {

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

const std::vector<std::pair<std::string, std::string>>& changingByThemselves() {
  static const std::vector<std::pair<std::string, std::string>> items = {
      {"(object handle)", "a handle numbers an object in one session: each session numbers its objects afresh"},
      {"(first controller)", "the handle of the library's first controller: a handle, numbered afresh"},
      {"(controller)", "the handle of the library's controller before its device name: a handle, numbered afresh"},
      {"(drive path)", "the handle of a drive's path before its device name: a handle, numbered afresh"},
  };
  return items;
}

const std::vector<std::pair<std::string, std::string>>& recordsChangingByThemselves() {
  static const std::vector<std::pair<std::string, std::string>> records = {
      {"(library)",
       "a library a detection found and nobody configured: a detection stores nothing (what the agents see is read "
       "again by the next detection), so the session lists it until a re-read, which lists what is stored"},
  };
  return records;
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
