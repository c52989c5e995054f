// A benchmark's database as an installation has it: its rows written after
// the schema step made the configuration change log and its triggers, so
// that every stored object has its birth (MMConfigBirth). A database filled
// before that has no births, and a load or a listing timed on it times less
// than any installation pays.
//
//   std::string error;
//   if (!tkbench::readConfigurationFirst(error)) ...   // on the empty TK_DB
//   tkbench::bornRowsAhead()                            // then write the rows
//   SELECT tkbench::unbornRowsQuery()                   // 0
#pragma once

#include <string>

#include "frame/mac/ZQMACObjects.h"
#include "platform/mac/ZQMACPlatform.h"
#include "platform/mmdb/MMMediaConfigDB.h"
#include "platform/testkit/mmdb.h"

namespace tkbench {

// The schema step of an installation's first configuration read, made in
// this process on the database TK_DB names (the change log and its
// triggers among it), before any row is written; false with the reason
// when the read fails. Nothing of the read is kept.
inline bool readConfigurationFirst(std::string& error) {
  {
    ZQMACMediaConfig first;
    first.Initialize("bench");
    if (!first.ReadCurrentConfig(false)) {
      error = first.GetLastError();
      return false;
    }
  }
  tkmac::dropParkedGraph();
  testkit::mmdb::forgetConfigurationReads();
  return true;
}

// The table of the stored objects of `kind`.
inline const char* storedTable(int kind) { return MMMediaConfigDB::rowTable(static_cast<MMStoredKind>(kind)); }

// Run before the rows are written: the identity counters of the stored
// objects' tables are raised above every id the rows take, so that each
// row is written under an id its table may have given before and gets its
// birth through the triggers, as the rows of a database made by hand or
// restored have them (a reader's heaviest case). Ids the host gives later
// follow the counters.
inline std::string bornRowsAhead() {
  std::string names;
  for (int kind = 0; kind < kStoredKinds; ++kind)
    names += std::string(names.empty() ? "'" : ", '") + storedTable(kind) + "'";
  return "UPDATE sqlite_sequence SET \"seq\" = MAX(\"seq\", 100000000) WHERE \"name\" IN (" + names + ")";
}

// How many rows of the stored objects' tables lack their birth (0 on a
// database seeded as an installation is): one row, one number.
inline std::string unbornRowsQuery() {
  std::string rows;
  for (int kind = 0; kind < kStoredKinds; ++kind)
    rows += std::string("(SELECT count(*) FROM \"") + storedTable(kind) + "\") + ";
  return "SELECT " + rows + "0 - (SELECT count(*) FROM \"MMConfigBirth\" WHERE \"Kind\" < " +
         std::to_string(kStoredKinds) + ")";
}

}  // namespace tkbench
