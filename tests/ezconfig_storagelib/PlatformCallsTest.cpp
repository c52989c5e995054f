// Every catalogue text that the storage-library request and its audit
// records name exists, and every message class it uses is registered
// without a contradiction.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "frame/EvEvent.h"
#include "platform/xml/Registry.h"
#include "platform/xml/StorageLibraryMessages.h"

namespace {

TEST(StorageLibraryPlatform, EveryTextTheRequestNamesIsInTheCatalogue) {
  for (unsigned long id : {0x23000451UL, 0x23000452UL, 0x230008B0UL, 0x230008B1UL, 0x230008B2UL, 0x230008B3UL,
                           0x230008B4UL, 0x23000AC8UL, 0x240001EFUL, 0x3E000BB6UL, 0x3E000BB7UL, 0x3F000353UL,
                           0x23000950UL, 0x23000916UL, 0x2300093DUL, 0x2300093CUL, 0x3E000457UL, 0x5400006EUL,
                           0x5400006FUL, 0x550000BFUL, 0x550000C4UL, 0x550006DBUL, 0x550006F8UL, 0x55000723UL}) {
    char missing[32];
    std::snprintf(missing, sizeof missing, "message 0x%08lX", id);
    char text[1024];
    EvGetLocText(id, text, sizeof text, 0);
    EXPECT_EQ(std::string(text).rfind(missing, 0), std::string::npos) << missing;
  }
}

TEST(StorageLibraryPlatform, TheMessageClassesAreRegisteredWithoutProblems) {
  for (const std::string& problem : tkxml::registryProblems()) ADD_FAILURE() << problem;
  const struct {
    unsigned ns;
    unsigned cls;
    unsigned hash;
  } classes[] = {{13, 27, 0x0D130098}, {13, 596, 0x0D1E7EAE}, {13, 494, 0x0D4D1316}, {13, 1015, 0},
                 {30, 1636, 0x1EE8DA5B}, {30, 3182, 0},         {20, 0, 0x148F63A6},  {18, 149, 0x12BB1F3A},
                 {18, 167, 0x1215E87B},  {18, 12, 0},           {18, 14, 0}};
  for (const auto& c : classes) {
    SCOPED_TRACE(std::to_string(c.ns) + ":" + std::to_string(c.cls));
    const tkxml::ClassInfoPtr info = tkxml::findClass(c.ns, c.cls);
    ASSERT_NE(info, nullptr);
    if (c.hash != 0) {
      EXPECT_EQ(info->classHash, c.hash);
    }
  }
}

}  // namespace
