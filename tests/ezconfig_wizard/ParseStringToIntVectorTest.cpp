// Number lists as text: pieces, separators of any length, numbers held
// within 32 bits.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "ezconfig/ParseStringToIntVector.h"

namespace {

TEST(ParseStringToIntVector, EachNonEmptyPieceAddsTheNumberItStartsWith) {
  struct Case {
    std::string text;
    std::string separator;
    std::vector<int> expected;
  };
  const Case cases[] = {
      {"1,2,,3", ",", {1, 2, 3}},
      {",5,", ",", {5}},
      {"", ",", {}},
      {"7,x,9", ",", {7, 0, 9}},
      {" -4,+6,12abc", ",", {-4, 6, 12}},
      {"1;;2", ";;", {1, 2}},
      {";;1;;;;2;;", ";;", {1, 2}},
      {"10<>20<>x", "<>", {10, 20, 0}},
      {"3;;", ";;", {3}},
      {"42", "", {42}},
      {"99999999999,-99999999999,2147483647,-2147483648", ",", {INT_MAX, INT_MIN, INT_MAX, INT_MIN}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("\"" + c.text + "\" by \"" + c.separator + "\"");
    std::vector<int> out = {77};
    ParseStringToIntVector(c.text, c.separator, out);
    EXPECT_EQ(out, c.expected);
  }
}

}  // namespace
