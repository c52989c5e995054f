// Every catalogue text that the replication-store request names exists, and
// its message classes are registered without a contradiction.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "frame/EvEvent.h"
#include "platform/xml/Registry.h"

namespace {

TEST(RPStorePlatform, EveryTextTheRequestNamesIsInTheCatalogue) {
  for (unsigned long id : {0x23000451UL, 0x23000452UL, 0x230008B0UL, 0x230008B1UL, 0x230008B3UL, 0x240001EFUL,
                           0x2300093DUL, 0x2300093CUL, 0x3E000040UL, 0x230011D2UL, 0x2300091FUL, 0x230008B7UL,
                           0x2400033DUL, 0x24000330UL, 0x240001BEUL, 0x24000141UL, 0x540000B5UL, 0x5500018BUL,
                           0x240000F2UL, 0x540000B7UL, 0x550000BFUL}) {
    char missing[32];
    std::snprintf(missing, sizeof missing, "message 0x%08lX", id);
    char text[1024];
    EvGetLocText(id, text, sizeof text, 0);
    EXPECT_EQ(std::string(text).rfind(missing, 0), std::string::npos) << missing;
  }
}

TEST(RPStorePlatform, TheMessageClassesAreRegisteredWithTheirHashes) {
  for (const std::string& problem : tkxml::registryProblems()) ADD_FAILURE() << problem;
  const struct {
    unsigned cls;
    unsigned hash;
  } classes[] = {{975, 0x0D64B786}, {976, 0x0D3239E8}, {977, 0x0D2E42C6}, {1056, 0}, {596, 0x0D1E7EAE}};
  for (const auto& c : classes) {
    SCOPED_TRACE(c.cls);
    const tkxml::ClassInfoPtr info = tkxml::findClass(13, c.cls);
    ASSERT_NE(info, nullptr);
    if (c.hash != 0) {
      EXPECT_EQ(info->classHash, c.hash);
    }
  }
}

}  // namespace
