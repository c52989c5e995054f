// SQL texts of the engine: printf-style formatting with quote doubling,
// translation of the server's dialect into SQLite's, reading values
// clauses, and masking of literals for log lines.
#pragma once

#include <cstdarg>
#include <string>
#include <vector>

#include "platform/db/DBValue.h"
#include "platform/debuglog/EvDebug.h"

namespace tkdb {

// A name of the schema (table, column, trigger) as SQLite compares names:
// its ASCII letters in lower case.
inline std::string lowerName(std::string name) {
  for (char& c : name)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return name;
}

// Formats like vsnprintf, except that a %s or %c argument placed inside a
// single-quoted literal of the format has its single quotes doubled (a
// precision cuts the argument before it is escaped, so a cut can never
// split a doubled quote). %n writes nothing. A null %s argument is empty.
std::string formatSqlV(const char* format, va_list args) TK_PRINTF(1, 0);
std::string formatSql(const char* format, ...) TK_PRINTF(1, 2);
// The same, and the values it placed in the text, in format order,
// appended to `values` (when not null): integer conversions (%d, %i, %u,
// %o, %x, %X with any length) as integers, %s and %c as texts (cut by a
// precision as in the text, but neither escaped nor padded; a null %s is
// the empty text), floating conversions as reals. %p and %n give none.
std::string formatSqlV(const char* format, va_list args, std::vector<DbValue>* values) TK_PRINTF(1, 0);

// The server's dialect in SQLite's, outside literals and quoted names only:
//   "WITH (NOLOCK)" (any letter case and spacing) is removed;
//   [name] becomes "name";
//   SELECT [DISTINCT] TOP n / TOP (n) loses the TOP and gets LIMIT n at the
//     end of its own query (before the parenthesis that closes it);
//   ISNULL( becomes IFNULL(;
//   N'text' loses its N.
// Everything else (bit tests with &, names in other letter cases, <>, !=)
// SQLite reads as it is.
std::string translateDialect(const std::string& sql);

// The text with the content of every quoted literal replaced by ?: what a
// log line may show of a statement that could carry a password.
std::string maskLiterals(const std::string& sql);

// The literals of a values clause, in order: 'text' (quotes doubled),
// N'text', NULL or a number, separated by commas; an empty clause has
// none. False (and `out` incomplete) when the clause is anything else.
bool parseValuesClause(const std::string& clause, std::vector<DbValue>& out);

// Double-quoted SQL identifier.
std::string quoteIdent(const std::string& name);

}  // namespace tkdb
