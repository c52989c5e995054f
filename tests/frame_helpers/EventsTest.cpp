// Catalogue formatting and the event log behind EvEvent.
#include <gtest/gtest.h>

#include <cstring>

#include "frame/EvEvent.h"
#include "platform/testkit/events.h"

namespace {

class Events : public ::testing::Test {
 protected:
  void SetUp() override { testkit::events::reset(); }
};

TEST_F(Events, EvPrintfWritesTheCatalogueTextBoundedByTheBufferSize) {
  EvEvent e;
  char buffer[1024];
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(e.evPrintf(0x23000002, buffer, sizeof buffer, 0), buffer);
  EXPECT_STREQ(buffer, "Memory allocation failed.");
  auto calls = testkit::events::journal().calls("evPrintf");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].args, (std::vector<std::string>{std::to_string(0x23000002), "1024", "0"}));

  std::memset(buffer, 'x', sizeof buffer);
  e.evPrintf(0x23000002, buffer, 10, 0);
  EXPECT_STREQ(buffer, "Memory al");  // 9 bytes and the terminator
  EXPECT_EQ(buffer[10], 'x');          // nothing past the size
  EXPECT_EQ(e.evPrintf(0x23000002, buffer, 0, 0), buffer);
  EXPECT_EQ(buffer[0], 'M');  // size 0 writes nothing
}

TEST_F(Events, ArgumentsAreFilledInAndNeverReadAsFormats) {
  EvEvent e;
  e << "100%s %n %1" << 5;
  char buffer[256];
  e.evPrintf(0x2300FFFF, buffer, sizeof buffer, 0);  // an id without text shows its arguments
  EXPECT_STREQ(buffer, "message 0x2300FFFF [100%s %n %1] [5]");
}

TEST_F(Events, EvGetLocTextTakesTypedArguments) {
  char buffer[1024];
  EXPECT_EQ(EvGetLocText(0x2300FFFF, buffer, sizeof buffer, 0x0409, "lib%d", 12, 7UL), buffer);
  EXPECT_STREQ(buffer, "message 0x2300FFFF [lib%d] [12] [7]");
  EvGetLocText(0x23000002, buffer, 8, (5LL << 48));
  EXPECT_STREQ(buffer, "Memory ");
  auto calls = testkit::events::journal().calls("EvGetLocText");
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[1].args[2], "5");  // a sequence number gives its top 16 bits
}

}  // namespace
