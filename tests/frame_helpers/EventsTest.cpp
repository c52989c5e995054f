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

TEST_F(Events, EvPrintfWritesTheCatalogueTextIntoTheBuffer) {
  EvEvent e;
  char buffer[1024];
  std::memset(buffer, 'x', sizeof buffer);
  char* out = e.evPrintf(0x23000002, buffer, sizeof buffer, 0);
  EXPECT_EQ(out, buffer);
  EXPECT_STREQ(buffer, "Memory allocation failed.");

  auto calls = testkit::events::journal().calls("evPrintf");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].args, (std::vector<std::string>{std::to_string(0x23000002), "1024", "0"}));
}

TEST_F(Events, EvPrintfIsBoundedByTheBufferSize) {
  EvEvent e;
  char buffer[16];
  std::memset(buffer, 'x', sizeof buffer);
  e.evPrintf(0x23000002, buffer, 10, 0);
  EXPECT_STREQ(buffer, "Memory al");  // 9 bytes and the terminator
  EXPECT_EQ(buffer[10], 'x');          // nothing past the size
  EXPECT_EQ(e.evPrintf(0x23000002, buffer, 0, 0), buffer);
  EXPECT_EQ(buffer[0], 'M');           // size 0 writes nothing
}

TEST_F(Events, ArgumentsAreFilledInAndNeverReadAsFormats) {
  EvEvent e;
  e << "100%s %n %1" << 5;
  char buffer[256];
  e.evPrintf(0x2300FFFF, buffer, sizeof buffer, 0);  // an id without text shows its arguments
  EXPECT_STREQ(buffer, "message 0x2300FFFF [100%s %n %1] [5]");
}

TEST_F(Events, LocaleComesFromTheSequenceNumberOrTheEvent) {
  EvEvent e;
  e.setLocaleId(9LL << 48);
  char buffer[64];
  e.evPrintf(0x23000002, buffer, sizeof buffer, 0);
  e.evPrintf(0x23000002, buffer, sizeof buffer, (3LL << 48) | 77);
  EXPECT_STREQ(buffer, "Memory allocation failed.");  // every locale falls back to English
  auto calls = testkit::events::journal().calls("evPrintf");
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].args[2], "9");
  EXPECT_EQ(calls[1].args[2], "3");
}

TEST_F(Events, EvGetLocTextTakesTypedArguments) {
  char buffer[1024];
  char* out = EvGetLocText(0x23000F43, buffer, sizeof buffer, 0x0409, "lib%d", 12, 7UL);
  EXPECT_EQ(out, buffer);
  EXPECT_STREQ(buffer, "message 0x23000F43 [lib%d] [12] [7]");
  EvGetLocText(0x23000002, buffer, 8, (5LL << 48));
  EXPECT_STREQ(buffer, "Memory ");
  auto calls = testkit::events::journal().calls("EvGetLocText");
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].args, (std::vector<std::string>{std::to_string(0x23000F43), "1024", std::to_string(0x0409),
                                                     "lib%d", "12", "7"}));
  EXPECT_EQ(calls[1].args[2], "5");  // a sequence number gives its top 16 bits
}

TEST_F(Events, EventLogKeepsEachKindWithItsArguments) {
  EvEvent e("Snap::import");
  e << "host-a";
  EXPECT_EQ(e.MajorEvent(0x39000062), 0);
  EXPECT_EQ(e.InfoEvent(0x39000063), 0);
  EvEvent lock("EvMMConfigMgr::lockConfigLibrary");
  EXPECT_EQ(lock.CriticalEvent(0x42000001, 0, 0), 0);

  auto log = testkit::events::entries();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0].kind, "Major");
  EXPECT_EQ(log[0].messageId, 0x39000062);
  EXPECT_EQ(log[0].arguments, (std::vector<std::string>{"host-a"}));
  EXPECT_EQ(log[0].location, "Snap::import");
  EXPECT_EQ(log[1].kind, "Info");
  EXPECT_EQ(log[2].kind, "Critical");
  EXPECT_EQ(log[2].text, "The configuration lock of a library or media agent could not be created.");
}

TEST_F(Events, InjectedFailureLeavesTheEventUnrecorded) {
  testkit::events::journal().injectFailure("MajorEvent", -4, "event log full");
  EvEvent e;
  EXPECT_EQ(e.MajorEvent(1), -4);
  EXPECT_EQ(e.MajorEvent(2), 0);
  auto log = testkit::events::entries();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].messageId, 2);
  EXPECT_EQ(testkit::events::journal().count("MajorEvent"), 2u);
}

}  // namespace
