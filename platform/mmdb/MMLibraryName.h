// The name a library answers to, and how two such names compare: the one
// rule behind every lookup of a library by name, in the tables
// (MMLibraryDB) and in the object model (ZQMACLibrary, ZQMACMagLib and the
// graph's lookups) alike.
#pragma once

#include <algorithm>
#include <cctype>
#include <string>

namespace tkmmdb {

// A library answers to its alias, or to its name where the alias is empty.
inline const std::string& answeredName(const std::string& alias, const std::string& name) {
  return alias.empty() ? name : alias;
}

// The same as a column expression of MMLibrary (a NULL alias counts as
// empty). The columns compare letter case aside (their collation), as
// sameLibraryName does.
inline constexpr const char* kAnsweredNameSql = "IFNULL(NULLIF(\"AliasName\", ''), \"LibraryName\")";

// Whether the row's library answers to the statement's parameter ?1,
// letter case aside: kAnsweredNameSql = ?1 under the columns' collation,
// written so that each column's index serves.
inline constexpr const char* kAnswersToSql =
    "(\"AliasName\" = ?1 OR (\"LibraryName\" = ?1 AND IFNULL(\"AliasName\", '') = ''))";

// Two names are one library name when they differ at most in letter case,
// A-Z against a-z (ASCII, as the columns' collation compares).
inline bool sameLibraryName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace tkmmdb
