// The edition test of the media-management handler class: the global
// parameter "Ostravel" read through the global-parameter table.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "frame/EvMMConfigMgr.h"
#include "platform/testkit/db.h"
#include "platform/testkit/debuglog.h"
#include "tests/support/Seed.h"
#include "tests/support/TestDatabase.h"

namespace {

class Edition : public tktest::DatabaseTest {
 protected:
  EvMMConfigMgr handler;
};

// The value is read as a decimal number as before; numbers beyond 32 bits
// are held at the nearest bound.
TEST_F(Edition, ValueIsReadAsADecimalNumber) {
  struct Case {
    tkdb::DbValue value;
    int expected;
  };
  const Case cases[] = {
      {"1", 1},          {"0", 0},       {"", 0},           {nullptr, 0},          {"yes", 0},
      {"  42", 42},      {"\t7", 7},     {"12abc", 12},     {"-3", -3},            {"+8", 8},
      {"3.9", 3},        {"0x10", 0},    {"- 4", 0},        {"2147483647", INT_MAX}, {"-2147483648", INT_MIN},
      {"007", 7},        {"2147483648", INT_MAX},           {"-2147483649", INT_MIN},
      {"99999999999999999999999999", INT_MAX},              {"-99999999999999999999999999", INT_MIN},
      {"9223372036854775808", INT_MAX},
  };
  EXPECT_EQ(0, handler.isOstravel()) << "no parameter row";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value.describe());
    ASSERT_EQ(0, db.exec("DELETE FROM HVGlobalParam"));
    tktest::insertRows(db, "HVGlobalParam (name, value)", {{"Ostravel", c.value}});
    EXPECT_EQ(c.expected, handler.isOstravel());
  }
}

TEST_F(Edition, ParameterNameIgnoresLetterCaseAndOtherParametersDoNotCount) {
  tktest::insertRows(db, "HVGlobalParam (name, value)", {{"OtherParameter", "5"}, {"Ostravel2", "9"}});
  EXPECT_EQ(0, handler.isOstravel());
  tktest::insertRows(db, "HVGlobalParam (name, value)", {{"OSTRAVEL", "4"}});
  EXPECT_EQ(4, handler.isOstravel());
  // The query names the parameter inside its literal.
  bool found = false;
  for (const std::string& sql : testkit::db::statements()) {
    found |= sql.find("HVGlobalParam") != std::string::npos && sql.find("name = 'Ostravel'") != std::string::npos;
  }
  EXPECT_TRUE(found);
}

TEST_F(Edition, DatabaseFailureAnswersZeroAndIsLogged) {
  tktest::insertRows(db, "HVGlobalParam (name, value)", {{"Ostravel", "1"}});
  testkit::debuglog::Capture log;
  testkit::db::journal().injectFailure("getOneRow", 204, "locked");
  EXPECT_EQ(0, handler.isOstravel());
  EXPECT_TRUE(log.contains("EvMMConfigMgr::isOstravel", "Ostravel"));
  EXPECT_EQ(1, handler.isOstravel());
}

}  // namespace
