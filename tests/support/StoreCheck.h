// Rules that hold for the whole store, checked over the whole store: no
// stored text is longer than its column, and no row names a row that is not
// there. The columns and references come from the schema and the registry,
// not from a list of routes, so that a column no test names is covered too:
//   - texts: every column with a declared width (tkdb::declaredTextWidths:
//     the table bindings, the records the table access fills, the registry
//     of stored kinds and the table access's own widths), counted in bytes;
//   - references: every reference the tables declare
//     (tkdb::tableReferences) and every one of the registry of stored kinds
//     (storedReferences); a value of 0 or NULL names no row.
// A table or column the database does not have is not checked.
//
//   const std::string faults = tktest::wholeStoreFaults(databaseFile);
//   EXPECT_EQ(faults, "");
//
// Each check is one statement over the tables it covers, plus one read of
// their columns.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace tktest {

// Runs one statement and gives its rows as texts (NULL as ""): true, or
// false with why.
using StoreQuery =
    std::function<bool(const std::string& sql, std::vector<std::vector<std::string>>& rows, std::string& why)>;

// What a check covered in the database it read.
struct StoreCoverage {
  std::size_t textColumns = 0;
  std::size_t references = 0;
};

// "" when no text is longer than its column; else one line per column that
// holds one, with the count, the width and the longest length.
std::string overlongTextsIn(const StoreQuery& query, StoreCoverage* coverage = nullptr);
// "" when every reference names a row; else one line per reference that
// does not, with the count and the first few of its values.
std::string danglingReferencesIn(const StoreQuery& query, StoreCoverage* coverage = nullptr);

// Both checks on the database file `path`, opened read-only for them.
std::string wholeStoreFaults(const std::string& path, StoreCoverage* coverage = nullptr);
// Both on the calling thread's connection (outside any transaction, or
// within the thread's own).
std::string wholeStoreFaults();
// One statement on the calling thread's connection, as a StoreQuery.
bool sessionQuery(const std::string& sql, std::vector<std::vector<std::string>>& rows, std::string& why);
// One statement on the database file `path`, opened read-only for it (a
// writer's lock waited out up to `busyMs`), its rows as a StoreQuery gives
// them.
bool fileQuery(const std::string& path, const std::string& sql, std::vector<std::vector<std::string>>& rows,
               std::string& why, int busyMs = 10000);

}  // namespace tktest
