// The error-text routines: the caller's buffer grows, is reused and is
// emptied; catalogue texts carry their arguments; two threads make texts
// at once without mixing them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "frame/EvEvent.h"
#include "nas/clients/UtilityRoutines.h"
#include "platform/nasclient/NasClientMessages.h"

namespace {

// A caller's error buffer, freed at the end.
struct Buffer {
  unsigned long capacity = 0;
  char* text = nullptr;
  ~Buffer() { std::free(text); }
};

TEST(UtilityTexts, CopyErrorTextAllocatesGrowsReusesAndEmpties) {
  Buffer b;
  UtilCopyErrorText(b.capacity, b.text, nullptr);
  EXPECT_EQ(b.text, nullptr);  // nothing to empty yet

  UtilCopyErrorText(b.capacity, b.text, "short");
  ASSERT_NE(b.text, nullptr);
  EXPECT_STREQ(b.text, "short");
  EXPECT_EQ(b.capacity, 6u);

  UtilCopyErrorText(b.capacity, b.text, "a longer text");
  EXPECT_STREQ(b.text, "a longer text");
  EXPECT_EQ(b.capacity, 14u);

  const char* kept = b.text;
  UtilCopyErrorText(b.capacity, b.text, "tiny");
  EXPECT_EQ(b.text, kept);
  EXPECT_STREQ(b.text, "tiny");
  EXPECT_EQ(b.capacity, 14u);  // never shrinks

  UtilCopyErrorText(b.capacity, b.text, nullptr);
  EXPECT_EQ(b.text, kept);
  EXPECT_STREQ(b.text, "");
}

TEST(UtilityTexts, ErrorTextIsTheCatalogueTextWithTheEventsArguments) {
  struct Case {
    uint32_t code;
    std::vector<std::string> args;
    const char* expected;
  };
  const std::vector<Case> cases = {
      {tknas::kErrInvalidArguments, {}, "The NAS client request has invalid arguments."},
      {tknas::kErrAttachTarnkeep,
       {"", "cs1", "refused"},
       "Could not attach to the NAS client service of the Tarnkeep [cs1] (peer []): refused"},
      {tknas::kErrAttachMediaAgent, {"ma1", "gone"}, "Could not attach to the NAS client service of media agent [ma1]: gone"},
      {tknas::kErrNoReplyTarnkeep, {"cs1"}, "The Tarnkeep's NAS client service [cs1] did not reply."},
      {tknas::kErrNoReplyMediaAgent, {"ma1"}, "The NAS client service of media agent [ma1] did not reply."},
      {tknas::kErrTransportTarnkeep, {"cs1", "x"}, "Communication with the Tarnkeep's NAS client service [cs1] failed: x"},
      {tknas::kErrTransportMediaAgent,
       {"ma1", "y"},
       "Communication with the NAS client service of media agent [ma1] failed: y"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.code);
    EvEvent event;
    for (const auto& a : k.args) event << a;
    Buffer b;
    EXPECT_EQ(UtilErrorText(b.capacity, b.text, k.code, event), b.text);
    EXPECT_STREQ(b.text, k.expected);
  }
}

TEST(UtilityTexts, ErrorTextsMadeOnTwoThreadsAtOnceStayTheirOwn) {
  constexpr int kRounds = 300;
  auto run = [](const char* peer, bool& ok) {
    ok = true;
    Buffer b;
    const std::string expected = std::string("The Tarnkeep's NAS client service [") + peer + "] did not reply.";
    for (int i = 0; i < kRounds; ++i) {
      EvEvent event;
      event << peer;
      UtilErrorText(b.capacity, b.text, tknas::kErrNoReplyTarnkeep, event);
      if (expected != b.text) ok = false;
    }
  };
  bool ok1 = false, ok2 = false;
  std::thread t1(run, "first-peer", std::ref(ok1));
  std::thread t2(run, "the-second-peer-name", std::ref(ok2));
  t1.join();
  t2.join();
  EXPECT_TRUE(ok1);
  EXPECT_TRUE(ok2);
}

}  // namespace
