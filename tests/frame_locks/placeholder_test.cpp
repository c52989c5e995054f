#include <gtest/gtest.h>

#include "frame/FXLockableResource.h"

TEST(CTimeInterval, TruncatesTowardZero) {
  EXPECT_EQ(CTimeInterval(15000).AsMilliseconds(), 1);
  EXPECT_EQ(CTimeInterval(-15000).AsMilliseconds(), -1);
  EXPECT_EQ(CTimeInterval(9999).AsMilliseconds(), 0);
}
