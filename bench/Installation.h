// A benchmark's database as an installation has it: its rows written after
// the schema step made the configuration change log and its triggers, so
// that the log marks every stored object born (MMConfigChangeLog.h). A
// database filled before that has a log without them, and a change timed
// on it times less than any installation pays.
//
//   std::string error;
//   if (!tkbench::readConfigurationFirst(error)) ...   // on the empty TK_DB
//   ...                                                 // then write the rows
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

// How many rows of the stored objects' tables the change log does not
// mark as born (0 on a database seeded as an installation is, whose log
// has pruned nothing yet): one row, one number.
inline std::string unbornRowsQuery() {
  std::string rows;
  for (int kind = 0; kind < kStoredKinds; ++kind)
    rows += std::string("(SELECT count(*) FROM \"") + storedTable(kind) + "\") + ";
  return "SELECT " + rows + "0 - (SELECT count(*) FROM (SELECT DISTINCT \"Kind\", \"ObjectId\" FROM "
         "\"MMConfigChangeBorn\" WHERE \"Kind\" < " + std::to_string(kStoredKinds) + "))";
}

}  // namespace tkbench
