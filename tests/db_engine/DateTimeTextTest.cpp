// Date-times between the database and the row: every text form the engine
// reads lands in the fields and the row's text as the canonical form, a text
// that is no date and time fails the fetch, and the text the engine writes
// keeps each part at its printf width however wide the part is.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/db/DBtable.h"
#include "tests/db_engine/ExampleBinding.h"
#include "tests/support/Seed.h"
#include "tests/support/TestDatabase.h"

namespace {

class DateTimeText : public tktest::DatabaseTest {
 protected:
  // The row whose created column holds `stored` (a text: the column's
  // affinity), as a fetch gives it; the fetch's result in `code`.
  ExampleItem_t* fetch(const tkdb::DbValue& stored, int& code) {
    EXPECT_EQ(0, db.exec("DELETE FROM exampleItem"));
    EXPECT_EQ(0, db.exec("INSERT INTO exampleItem (itemId, name, created) VALUES (1, 'a', ?)", {stored}));
    m_item = std::make_unique<ExampleItem>(nullptr);
    m_item->setWhere("itemId = %d", 1);
    code = getOneRow(m_item.get(), false, -1, 0);
    return m_item->getDataPtr();
  }

 private:
  std::unique_ptr<ExampleItem> m_item;
};

TEST_F(DateTimeText, EveryFormReadLandsInTheFieldsAndTheCanonicalText) {
  struct Case {
    tkdb::DbValue stored;
    tagTIMESTAMP_STRUCT want;
    const char* text;
  };
  const Case cases[] = {
      {"2024-06-07 08:09:10.123", {2024, 6, 7, 8, 9, 10, 123'000'000}, "2024-06-07 08:09:10.123"},
      {"2024-06-07T08:09", {2024, 6, 7, 8, 9, 0, 0}, "2024-06-07 08:09:00.000"},
      {"  2024-06-07 08:09:10.000000001  ", {2024, 6, 7, 8, 9, 10, 1}, "2024-06-07 08:09:10.000000001"},
      {"2024-06-07 08:09:10.1234567891", {2024, 6, 7, 8, 9, 10, 123'456'789}, "2024-06-07 08:09:10.123456789"},
      {"1999-12-31 23:59:60.5", {1999, 12, 31, 23, 59, 60, 500'000'000}, "1999-12-31 23:59:60.500"},
      {"0001-01-01", {1, 1, 1, 0, 0, 0, 0}, "0001-01-01 00:00:00.000"},
      // As long as the stored form, but not it: read, then written anew.
      {"2024-06-07T08:09:10.123", {2024, 6, 7, 8, 9, 10, 123'000'000}, "2024-06-07 08:09:10.123"},
      {" 2024-06-07 08:09:10.12", {2024, 6, 7, 8, 9, 10, 120'000'000}, "2024-06-07 08:09:10.120"},
      {"0000-12-31 00:00:60.000", {0, 12, 31, 0, 0, 60, 0}, "0000-12-31 00:00:60.000"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored.describe());
    int code = -1;
    const ExampleItem_t* row = fetch(c.stored, code);
    ASSERT_EQ(DB_OK, code);
    const DB_DATETIME& got = row->created;
    EXPECT_EQ(c.want.year, got.year);
    EXPECT_EQ(c.want.month, got.month);
    EXPECT_EQ(c.want.day, got.day);
    EXPECT_EQ(c.want.hour, got.hour);
    EXPECT_EQ(c.want.minute, got.minute);
    EXPECT_EQ(c.want.second, got.second);
    EXPECT_EQ(c.want.fraction, got.fraction);
    EXPECT_STREQ(c.text, got.text);
  }
}

TEST_F(DateTimeText, ATextThatIsNoDateAndTimeFailsTheFetch) {
  for (const char* stored : {"2024-06-07x", "2024-13-01", "2024-06-00", "2024-06-07 24:00", "2024-06-07 08",
                             "24-06-07", "2024-06-07 08:09:1", "", "yesterday",
                             // the stored form's length and layout, a part out of its range or no digit
                             "2024-00-07 08:09:10.123", "2024-13-07 08:09:10.123", "2024-06-32 08:09:10.123",
                             "2024-06-07 24:09:10.123", "2024-06-07 08:60:10.123", "2024-06-07 08:09:61.123",
                             "2024-06-07 08:09:10.12x", "2024/06/07 08:09:10.123"}) {
    SCOPED_TRACE(stored);
    int code = -1;
    fetch(stored, code);
    EXPECT_EQ(DB_ERR_CONVERT, code);
  }
}

TEST(DateTimeTextWritten, EachPartKeepsItsPrintfWidthHoweverWide) {
  struct Case {
    tagTIMESTAMP_STRUCT ts;
    const char* text;
  };
  const Case cases[] = {
      {{2024, 6, 7, 8, 9, 10, 123'000'000}, "2024-06-07 08:09:10.123"},
      {{2024, 6, 7, 8, 9, 10, 1}, "2024-06-07 08:09:10.000000001"},
      {{0, 0, 0, 0, 0, 0, 0}, "0000-00-00 00:00:00.000"},
      {{9999, 99, 99, 99, 99, 99, 999'999'999}, "9999-99-99 99:99:99.999999999"},
      {{-5, 1, 2, 3, 4, 5, 0}, "-005-01-02 03:04:05.000"},
      {{12000, 1, 2, 3, 4, 5, 0}, "12000-01-02 03:04:05.000"},
      {{2024, 100, 2, 3, 4, 65535, 0}, "2024-100-02 03:04:65535.000"},
      {{2024, 1, 2, 3, 4, 5, 4'000'000'000u}, "2024-01-02 03:04:05.4000"},
      {{2024, 1, 2, 3, 4, 5, 4'000'000'001u}, "2024-01-02 03:04:05.4000000001"},
  };
  for (const Case& c : cases) {
    ZQDB_datetime value;
    value.setData(reinterpret_cast<const char*>(&c.ts), 0, sizeof c.ts, false);
    value.setInternalNull(false);
    EXPECT_EQ(c.text, value.toString(0));
    EXPECT_EQ(std::string("'") + c.text + "'", value.toString(1));
  }
}

}  // namespace
