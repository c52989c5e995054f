// The edition test of the media-management handler class: the global
// parameter "Ostravel" read through the global-parameter table.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "Db/Tbl/HVGlobalParam.h"
#include "frame/EvMMConfigMgr.h"
#include "platform/testkit/db.h"
#include "platform/testkit/debuglog.h"
#include "tests/support/TestDatabase.h"

namespace {

class Edition : public ::testing::Test {
 protected:
  tktest::TestDatabase db;
  EvMMConfigMgr handler;

  void setParameter(const char* name, const tkdb::DbValue& value) {
    ASSERT_EQ(0, db.exec("INSERT INTO HVGlobalParam (name, value) VALUES (?, ?)", {name, value}));
  }
};

TEST_F(Edition, NoParameterRowAnswersZero) {
  setParameter("OtherParameter", "5");
  EXPECT_EQ(0, handler.isOstravel());
}

TEST_F(Edition, ValueIsReadAsADecimalNumberAsBefore) {
  struct Case {
    tkdb::DbValue value;
    int expected;
  };
  const Case cases[] = {
      {"1", 1},          {"0", 0},       {"", 0},           {nullptr, 0},          {"yes", 0},
      {"  42", 42},      {"\t7", 7},     {"12abc", 12},     {"-3", -3},            {"+8", 8},
      {"3.9", 3},        {"0x10", 0},    {"- 4", 0},        {"2147483647", INT_MAX}, {"-2147483648", INT_MIN},
      {"007", 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value.describe());
    ASSERT_EQ(0, db.exec("DELETE FROM HVGlobalParam"));
    setParameter("Ostravel", c.value);
    EXPECT_EQ(c.expected, handler.isOstravel());
  }
}

TEST_F(Edition, NumbersBeyondThirtyTwoBitsAreHeldAtTheNearestBound) {
  struct Case {
    const char* value;
    int expected;
  };
  const Case cases[] = {
      {"2147483648", INT_MAX},
      {"-2147483649", INT_MIN},
      {"99999999999999999999999999", INT_MAX},
      {"-99999999999999999999999999", INT_MIN},
      {"9223372036854775808", INT_MAX},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    ASSERT_EQ(0, db.exec("DELETE FROM HVGlobalParam"));
    setParameter("Ostravel", c.value);
    EXPECT_EQ(c.expected, handler.isOstravel());
  }
}

TEST_F(Edition, ParameterNameIgnoresLetterCaseAndOtherParametersDoNotCount) {
  setParameter("Ostravel2", "9");
  setParameter("OSTRAVEL", "4");
  EXPECT_EQ(4, handler.isOstravel());
}

TEST_F(Edition, DatabaseFailureAnswersZeroAndIsLogged) {
  setParameter("Ostravel", "1");
  testkit::debuglog::Capture log;
  testkit::db::journal().injectFailure("getOneRow", 204, "locked");
  EXPECT_EQ(0, handler.isOstravel());
  EXPECT_TRUE(log.contains("EvMMConfigMgr::isOstravel", "Ostravel"));
  EXPECT_EQ(1, handler.isOstravel());
}

TEST_F(Edition, TheQueryNamesTheParameterInsideItsLiteral) {
  setParameter("Ostravel", "1");
  EXPECT_EQ(1, handler.isOstravel());
  bool found = false;
  for (const std::string& sql : testkit::db::statements()) {
    if (sql.find("HVGlobalParam") != std::string::npos && sql.find("name = 'Ostravel'") != std::string::npos) {
      found = true;
    }
  }
  EXPECT_TRUE(found);
}

}  // namespace
