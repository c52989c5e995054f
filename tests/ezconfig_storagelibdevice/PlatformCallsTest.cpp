// Every catalogue text that the device operations answer or audit with
// exists.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "frame/EvEvent.h"

namespace {

TEST(StorageLibDevicePlatform, EveryTextTheDeviceOperationsNameIsInTheCatalogue) {
  for (unsigned long id : {0x2300091BUL, 0x2300091CUL, 0x23000AB0UL, 0x23000AB1UL, 0x230008B0UL, 0x2300091DUL,
                           0x2300091EUL, 0x23000919UL, 0x23000AB2UL, 0x230001E3UL, 0x540000B5UL, 0x5500018BUL,
                           0x55000531UL, 0x55000532UL, 0x55000533UL}) {
    char missing[32];
    std::snprintf(missing, sizeof missing, "message 0x%08lX", id);
    char text[1024];
    EvGetLocText(id, text, sizeof text, 0);
    EXPECT_EQ(std::string(text).rfind(missing, 0), std::string::npos) << missing;
  }
}

}  // namespace
