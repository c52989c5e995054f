// Column value types, DB_DATETIME, the catalogue semaphore and strncpy_s.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#include <type_traits>
#include <cstddef>

#include "Db/ZQDBDataType.h"
#include "platform/db/DBtable.h"
#include "tests/support/WaitFor.h"

namespace {

TEST(ValueTypes, DefaultConstructedValuesAreNullNotUpdatedWithEmptyStringForm) {
  ZQDB_int i;
  ZQDB_int64 b;
  ZQDB_datetime t;
  ZQDB_string s;
  const ZQDBDataTypeBase* all[] = {&i, &b, &t, &s};
  const int codes[] = {1, 4, 5, 6};
  for (int k = 0; k < 4; ++k) {
    SCOPED_TRACE(k);
    EXPECT_TRUE(all[k]->isNull());
    EXPECT_EQ(ZQDB_NOT_UPDATED, all[k]->getUpdated());
    EXPECT_EQ("", all[k]->getStr());
    EXPECT_EQ(codes[k], all[k]->getDataType());
  }
  EXPECT_EQ("", s.getValue());
  ZQTIMESTAMP_STRUCT zero{};
  EXPECT_EQ(0, std::memcmp(&zero, &t.getValue(), sizeof zero));
}

TEST(ValueTypes, IntegerFromValueRendersWithTheEngineFormat) {
  ZQDB_int seven(7);
  EXPECT_FALSE(seven.isNull());
  EXPECT_EQ(ZQDB_UPDATED, seven.getUpdated());
  seven.setString();
  EXPECT_EQ("7", seven.getStr());

  ZQDB_int64 big(-9'000'000'000'123LL);
  big.setString();
  EXPECT_EQ("-9000000000123", big.getStr());
}

TEST(ValueTypes, StringBecomingNullLosesItsTextAndASecondNullChangesNothing) {
  ZQDB_string abc("abc");
  EXPECT_FALSE(abc.isNull());
  EXPECT_EQ(ZQDB_UPDATED, abc.getUpdated());
  EXPECT_EQ("abc", abc.getValue());
  abc.setInternalNull(true);
  EXPECT_TRUE(abc.isNull());
  EXPECT_EQ("", abc.getValue());
  abc.setInternalNull(true);
  EXPECT_TRUE(abc.isNull());
  EXPECT_EQ(ZQDB_UPDATED, abc.getUpdated());
  ZQDB_string none(nullptr);  // a string from a null pointer is null
  EXPECT_TRUE(none.isNull());
  EXPECT_EQ("", none.getValue());
}

TEST(ValueTypes, NumbersAndTimestampsKeepTheirValueWhenTheyBecomeNull) {
  ZQDB_int n(41);
  n.setInternalNull(true);
  EXPECT_TRUE(n.isNull());
  EXPECT_EQ(41, n.getValue());

  ZQDB_datetime t;
  ZQTIMESTAMP_STRUCT ts{2024, 2, 29, 23, 59, 58, 5};
  ASSERT_TRUE(t.setData(reinterpret_cast<const char*>(&ts), 0, sizeof ts, false));
  t.setInternalNull(false);
  t.setInternalNull(true);
  EXPECT_EQ(0, std::memcmp(&ts, &t.getValue(), sizeof ts));
}

TEST(ValueTypes, SetDataReplacesOnlyTheBytesItIsGivenWithinTheNumber) {
  ZQDB_int64 v(0x1111111122222222LL);
  v.setString();
  const int32_t upper = 0x33333333;
  ASSERT_TRUE(v.setData(reinterpret_cast<const char*>(&upper), 4, 4, false));
  EXPECT_EQ(0x3333333322222222LL, v.getValue());
  EXPECT_FALSE(v.isNull());
  EXPECT_EQ(ZQDB_UPDATED, v.getUpdated());
  EXPECT_FALSE(v.hasStringForm());

  ZQDB_int nullInt;
  const int32_t x = 5;
  ASSERT_TRUE(nullInt.setData(reinterpret_cast<const char*>(&x), 0, 4, false));
  EXPECT_TRUE(nullInt.isNull());
  EXPECT_EQ(ZQDB_NOT_UPDATED, nullInt.getUpdated());

  // Past the number: refused, nothing written.
  ZQDB_int nine(9);
  const char bytes[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_FALSE(nine.setData(bytes, 2, 4, false));
  EXPECT_FALSE(nine.setData(bytes, -1, 1, false));
  EXPECT_EQ(9, nine.getValue());
}

TEST(ValueTypes, EngineRendersEveryTypeAsTextAndAsLiteral) {
  ZQDB_string name("O'Neil");
  EXPECT_EQ("O'Neil", name.toString(0));
  EXPECT_EQ("'O''Neil'", name.toString(1));
  EXPECT_EQ("NULL", ZQDB_string().toString(1));
  EXPECT_EQ("12", ZQDB_int(12).toString(1));
  ZQDB_datetime t;
  ZQTIMESTAMP_STRUCT ts{2023, 1, 2, 3, 4, 5, 6'000'000};
  t.setData(reinterpret_cast<const char*>(&ts), 0, sizeof ts, false);
  t.setInternalNull(false);
  EXPECT_EQ("2023-01-02 03:04:05.006", t.toString(0));
  t.setString();
  EXPECT_EQ("2023-01-02 03:04:05.006", t.getStr());
}

TEST(DateTime, ClearEmptiesTextAndZeroesEveryField) {
  DB_DATETIME d;
  d = tagTIMESTAMP_STRUCT{2020, 5, 6, 7, 8, 9, 10};
  std::strcpy(d.text, "2020-05-06");
  d.flag = 3;
  d.clear();
  EXPECT_TRUE(d.isCleared());
  EXPECT_EQ('\0', d.text[0]);
  EXPECT_EQ(0, d.flag);
}

TEST(DateTime, AssignmentCopiesTheSevenFieldsAndFlagButNotTheText) {
  DB_DATETIME a;
  DB_DATETIME b;
  std::strcpy(a.text, "stale");
  b = tagTIMESTAMP_STRUCT{1999, 12, 31, 23, 59, 59, 999'999'999};
  std::strcpy(b.text, "1999-12-31");
  b.flag = 7;
  a = b;
  EXPECT_EQ(1999, a.year);
  EXPECT_EQ(12, a.month);
  EXPECT_EQ(31, a.day);
  EXPECT_EQ(23, a.hour);
  EXPECT_EQ(59, a.minute);
  EXPECT_EQ(59, a.second);
  EXPECT_EQ(999'999'999u, a.fraction);
  EXPECT_EQ(7, a.flag);
  EXPECT_STREQ("", a.text);

  DB_DATETIME c;
  c.flag = 4;
  c = tagTIMESTAMP_STRUCT{2001, 1, 1, 0, 0, 0, 0};
  EXPECT_EQ(0, c.flag);
}

// The layout mirrors the ODBC timestamp.
static_assert(offsetof(DB_DATETIME, fraction) == 12 && offsetof(DB_DATETIME, text) == 16);
static_assert(sizeof(tagTIMESTAMP_STRUCT) == 16 && std::is_signed_v<decltype(DB_DATETIME::year)>);
static_assert(std::is_unsigned_v<decltype(DB_DATETIME::month)>);

TEST(SimpleDBSem, ReleaseGivesBackOneUnitWhateverTheArgument) {
  ZQSimpleDBSem sem(0);
  sem.release(5);
  sem.wait();  // the one unit
  std::atomic<bool> second{false};
  std::thread waiter([&] {
    sem.wait();
    second = true;
  });
  // The waiter has reached its wait, or passed it when more than one unit came back.
  EXPECT_TRUE(tktest::waitUntil([&] { return sem.waiting() == 1 || second.load(); }));
  EXPECT_FALSE(second.load()) << "release(5) gave back more than one unit";
  sem.release(1);
  waiter.join();
  EXPECT_TRUE(second.load());
}

TEST(StrncpyS, CopiesBoundedTextAndRefusesWhatDoesNotFit) {
  char buf[5];
  EXPECT_EQ(0, strncpy_s(buf, sizeof buf, "", sizeof buf - 1));
  EXPECT_STREQ("", buf);
  EXPECT_EQ(0, strncpy_s(buf, sizeof buf, "abcd", 4));
  EXPECT_STREQ("abcd", buf);
  EXPECT_EQ(0, strncpy_s(buf, sizeof buf, "abcdefgh", 2));
  EXPECT_STREQ("ab", buf);
  EXPECT_EQ(ERANGE, strncpy_s(buf, sizeof buf, "abcdef", 6));
  EXPECT_STREQ("", buf);
  EXPECT_EQ(EINVAL, strncpy_s(buf, sizeof buf, nullptr, 3));
  EXPECT_EQ(EINVAL, strncpy_s(nullptr, 4, "a", 1));
}

}  // namespace
