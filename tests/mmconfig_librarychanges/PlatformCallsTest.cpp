// Every catalogue text the library request and drag and drop answer with
// has a text of its own (an id without one would render as "message 0x...").
#include <gtest/gtest.h>

#include <string>

#include "tests/mmconfig_librarychanges/LibraryChangesFixture.h"

namespace {

TEST(LibraryChangesTexts, EveryMessageTheHandlersAnswerWithHasAText) {
  for (unsigned long id : {0x240001F3ul, 0x2400033Dul, 0x2400002Cul, 0x2400002Aul, 0x2400002Bul, 0x240000D3ul,
                           0x24000F01ul, 0x24000F02ul, 0x24000330ul, 0x23000029ul, 0x5400002Cul, 0x550000BFul,
                           0x540000B6ul, 0x5500018Bul}) {
    SCOPED_TRACE(testing::Message() << std::hex << id);
    const std::string rendered = libtest::text(id, "x");
    EXPECT_EQ(rendered.find("message 0x"), std::string::npos) << rendered;
  }
}

}  // namespace
