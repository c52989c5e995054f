// Whether the central database holds rows that point at rows that are not
// there: for every reference the tables declare (tkdb::tableReferences,
// the bindings' foreign keys and the platform tables' own) and every one of
// the registry of stored kinds (storedReferences), the rows whose columns
// name a row the referenced table does not have. A column of 0 or NULL
// names no row (nor, for the registry's, one below 0). A reference whose
// table, referenced table or columns the database does not have is not
// checked. (StoreCheck.h: the same check on any connection, beside the
// texts' widths.)
//
//   EXPECT_EQ(tktest::danglingReferences(), "");
//
// Reads on the calling thread's connection (outside any transaction, or
// within the thread's own).
#pragma once

#include <string>

namespace tktest {

// "" when every reference holds; else one line per reference that does not,
// with the count and the first few of its rows.
std::string danglingReferences();

}  // namespace tktest
