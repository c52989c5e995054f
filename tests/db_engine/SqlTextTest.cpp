// Formatting with quote doubling, the dialect translation and log masking.
#include <gtest/gtest.h>

#include <cstdarg>
#include <string>
#include <vector>

#include "platform/db/SqlText.h"

namespace {

using tkdb::formatSql;
using tkdb::maskLiterals;
using tkdb::translateDialect;

// Formats without the compiler's format check, for the server's own
// conversions and for arguments the check refuses.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
std::string unchecked(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string out = tkdb::formatSqlV(format, args);
  va_end(args);
  return out;
}
#pragma GCC diagnostic pop

// Text inside the format's quotes has its quotes doubled; text outside them
// is program SQL and stays as it is. Literals follow the format's quotes
// only, and a precision cuts before escaping so that a quote is never halved.
TEST(FormatSql, QuotesOfTextInsideTheFormatsLiteralsAreDoubled) {
  EXPECT_EQ("name = 'O''Neil'", formatSql("name = '%s'", "O'Neil"));
  EXPECT_EQ("name = 'x'' OR ''1''=''1'", formatSql("name = '%s'", "x' OR '1'='1"));
  EXPECT_EQ("a = '''' AND b = ''", formatSql("a = '%s' AND b = '%s'", "'", ""));
  EXPECT_EQ("N'It''s'", formatSql("N'%s'", "It's"));
  EXPECT_EQ("JobId in (1,2,3)", formatSql("JobId in (%s)", "1,2,3"));
  EXPECT_EQ("x = 'a' AND flags & 4 = 4", formatSql("x = 'a' AND %s", "flags & 4 = 4"));
  EXPECT_EQ("n = 'it''s ''me'''", formatSql("n = 'it''s %s'", "'me'"));  // an escaped quote of the format
  EXPECT_EQ("a = 'x''' AND b = 'y'''", formatSql("a = '%s' AND b = '%s'", "x'", "y'"));
  EXPECT_EQ("p LIKE '%a''b%' AND q = 'c''d.e'", formatSql("p LIKE '%%%s%%' AND q = '%s.%s'", "a'b", "c'd", "e"));
  EXPECT_EQ("n = 'abcd'''", formatSql("n = '%.5s'", "abcd'efg"));
  EXPECT_EQ("n = 'ab'", formatSql("n = '%.*s'", 2, "ab'"));
}

TEST(FormatSql, NumbersAndOtherConversionsFormatAsPrintfDoes) {
  struct Case {
    std::string got;
    const char* want;
  };
  const Case cases[] = {
      {formatSql("id = %d", -12), "id = -12"},
      {formatSql("%5d|%-4d|%05d", 7, 8, 9), "    7|8   |00009"},
      {formatSql("%u %x %X %o", 4000000000u, 255u, 255u, 8u), "4000000000 ff FF 10"},
      {formatSql("%lld %llu", -9000000000123LL, 18000000000000000000ULL), "-9000000000123 18000000000000000000"},
      {formatSql("%ld %lu", -5L, 5UL), "-5 5"},
      {unchecked("%I64d", 1234567890123LL), "1234567890123"},
      {formatSql("%.2f", 2.5), "2.50"},
      {formatSql("%c%c", 'a', 'b'), "ab"},
      {formatSql("'%c'", '\''), "''''"},
      {formatSql("100%%"), "100%"},
      {unchecked("%s|%s", static_cast<const char*>(nullptr), "x"), "|x"},
      {formatSql("%*d", 4, 1), "   1"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.want, c.got);
}

// Formats and keeps the values placed in the text.
std::string withValues(std::vector<tkdb::DbValue>& values, const char* format, ...) TK_PRINTF(2, 3);
std::string withValues(std::vector<tkdb::DbValue>& values, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string out = tkdb::formatSqlV(format, args, &values);
  va_end(args);
  return out;
}
// The same without the compiler's check (a null text).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
std::string withValuesUnchecked(std::vector<tkdb::DbValue>& values, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string out = tkdb::formatSqlV(format, args, &values);
  va_end(args);
  return out;
}
#pragma GCC diagnostic pop

TEST(FormatSql, TheValuesPlacedInTheTextAreKeptInFormatOrder) {
  std::vector<tkdb::DbValue> values;
  std::string text = withValues(values, "SELECT @a = %d, @b = '%s', @c = %lld, @d = %ld, @e = %s, @f = %u", -7,
                                "O'Neil", 5000000000LL, -3L, "plain", 4000000000u);
  EXPECT_EQ("SELECT @a = -7, @b = 'O''Neil', @c = 5000000000, @d = -3, @e = plain, @f = 4000000000", text);
  const std::vector<tkdb::DbValue> want = {tkdb::DbValue(-7),          tkdb::DbValue("O'Neil"),
                                           tkdb::DbValue(5000000000LL), tkdb::DbValue(-3),
                                           tkdb::DbValue("plain"),      tkdb::DbValue(4000000000LL)};
  EXPECT_EQ(want, values);  // texts as given: not escaped

  // Appended to what is there; a precision cuts the value as it cuts the
  // text, a width pads only the text; a null text is the empty text.
  text = withValues(values, " '%.3s' %5d %c %.1f %%", "abcdef", 4, 'z', 2.5);
  EXPECT_EQ(" 'abc'     4 z 2.5 %", text);
  ASSERT_EQ(10u, values.size());
  EXPECT_EQ(tkdb::DbValue("abc"), values[6]);
  EXPECT_EQ(tkdb::DbValue(4), values[7]);
  EXPECT_EQ(tkdb::DbValue("z"), values[8]);
  EXPECT_EQ(tkdb::DbValue(2.5), values[9]);

  values.clear();
  int written = 0;
  EXPECT_EQ("|a", withValuesUnchecked(values, "%s|%s%n", static_cast<const char*>(nullptr), "a", &written));
  EXPECT_EQ((std::vector<tkdb::DbValue>{tkdb::DbValue(std::string()), tkdb::DbValue("a")}), values);
}

TEST(FormatSql, PercentNWritesNothingAndLongTextsAreNotCut) {
  int written = 77;
  EXPECT_EQ("ab", formatSql("a%nb", &written));
  EXPECT_EQ(77, written);
  std::string big(5000, 'q');
  big[100] = '\'';
  EXPECT_EQ(5000u + 1 + 6, formatSql("v = '%s'", big.c_str()).size());
}

TEST(TranslateDialect, CommonFormsBecomeSQLite) {
  struct Case {
    const char* in;
    const char* out;
  };
  const Case cases[] = {
      {"id = 5", "id = 5"},
      {"MasterPoolId in (select MasterPoolId from MMMasterPool where LibraryId = 3) and ClientId = 4",
       "MasterPoolId in (select MasterPoolId from MMMasterPool where LibraryId = 3) and ClientId = 4"},
      {"x IN (SELECT a FROM t WITH (NOLOCK), u with(nolock) WHERE b = 1)", "x IN (SELECT a FROM t, u WHERE b = 1)"},
      {"MasterPoolid = (\tSELECT DISTINCT MP.MasterPoolId FROM MMMountPath MP WITH (NOLOCK) WHERE MP.MountPathId = 3)",
       "MasterPoolid = (\tSELECT DISTINCT MP.MasterPoolId FROM MMMountPath MP WHERE MP.MountPathId = 3)"},
      {"id = (SELECT TOP 1 id FROM t ORDER BY id DESC)", "id = (SELECT id FROM t ORDER BY id DESC LIMIT 1)"},
      {"id IN (SELECT DISTINCT TOP (5) id FROM t)", "id IN (SELECT DISTINCT id FROM t LIMIT 5)"},
      {"SELECT TOP 3 a FROM t", "SELECT a FROM t LIMIT 3"},
      {"SELECT TOP 2 a FROM t; SELECT b FROM u", "SELECT a FROM t LIMIT 2; SELECT b FROM u"},
      {"[name] = 'a' AND [Order Id] = 2", "\"name\" = 'a' AND \"Order Id\" = 2"},
      {"ISNULL(flags, 0) & 4 = 4", "IFNULL(flags, 0) & 4 = 4"},
      {"name = N'abc'", "name = 'abc'"},
      {"flags & 0x10 = 0", "flags & 0x10 = 0"},
      {"ATTRIBUTE & 8 <> 0 AND IsEnabled != 0", "ATTRIBUTE & 8 <> 0 AND IsEnabled != 0"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.out, translateDialect(c.in)) << c.in;
}

TEST(TranslateDialect, LiteralsAndQuotedNamesAreNeverTouched) {
  const char* untouched[] = {
      "name = 'WITH (NOLOCK)'",
      "name = '[x] SELECT TOP 1 ISNULL('",
      "name = 'it''s [x]'",
      "\"WITH (NOLOCK)\" = 1",
      "TOPIC = 1 AND STOP = 2 AND SELECTED = 3",
      "nolock = 1",
  };
  for (const char* s : untouched) EXPECT_EQ(s, translateDialect(s));
}

TEST(MaskLiterals, EveryLiteralLosesItsContent) {
  EXPECT_EQ("UserPassword = '?' AND name = '?'", maskLiterals("UserPassword = 'se''cret' AND name = 'x'"));
  EXPECT_EQ("id = 5", maskLiterals("id = 5"));
  EXPECT_EQ("a = '?'", maskLiterals("a = 'unterminated"));
}

}  // namespace
