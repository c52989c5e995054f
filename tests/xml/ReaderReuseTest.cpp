// Every thread reuses one parser for all its reads: nothing of one read (a
// refusal, an unknown field, a half-built tree, the parser's grown buffers)
// may reach the next.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/testkit/xml.h"
#include "platform/xml/CNMessageBase.h"
#include "platform/xml/EVGuiMessages.h"
#include "platform/xml/ZQGuiMessages.h"
#include "tests/xml/TestClasses.h"

using namespace xmltest;

namespace {

constexpr unsigned kZqHash = 0x010003F0;
constexpr unsigned kCodeHash = 0x9CB015;
constexpr unsigned kTextHash = 0xB7ECDF;

const std::string kLockText =
    "<EVGui_MMConfigurationLockUnlockReq><EVGui_MMConfigurationLockUnlockInfo tag=\"1\" i1=\"-1\" i2=\"1\"/>"
    "</EVGui_MMConfigurationLockUnlockReq>";

std::string nestedUnknown(int levels) {
  std::string text = "<ZQGui_GenericResp i1=\"5\">";
  for (int i = 0; i < levels; ++i) text += "<a x=\"" + std::to_string(i) + "\">";
  for (int i = 0; i < levels; ++i) text += "</a>";
  return text + "</ZQGui_GenericResp>";
}

// Texts that each stop the parser at a different point: in the builder (too
// deep, too many elements, a value too long), in the parser (not
// well-formed, not UTF-8, cut short) and after it (wrong root, bad value).
struct Refusal {
  const char* what;
  std::string text;
  int code;
};

std::vector<Refusal> refusals() {
  std::string many = "<ZQGui_GenericResp>";
  for (size_t i = 0; i <= tkxml::kMaxElements; ++i) many += "<a/>";
  many += "</ZQGui_GenericResp>";
  return {
      {"too deep", nestedUnknown(tkxml::kMaxDepth + 5), tkxml::kErrTooDeep},
      {"too many elements", many, tkxml::kErrTooLarge},
      {"attribute too long", "<ZQGui_GenericResp s2=\"" + std::string(tkxml::kMaxValueBytes + 1, 'v') + "\"/>",
       tkxml::kErrTooLarge},
      {"cut inside an element", "<ZQGui_GenericResp i1=\"1\"><unknown a=\"1\"><b>", tkxml::kErrMalformed},
      {"mismatched end tag", "<ZQGui_GenericResp><x></y></ZQGui_GenericResp>", tkxml::kErrMalformed},
      {"not UTF-8", "<ZQGui_GenericResp s2=\"\xC3\x28\"/>", tkxml::kErrMalformed},
      {"undeclared entity", "<ZQGui_GenericResp s2=\"&nope;\"/>", tkxml::kErrMalformed},
      {"a DOCTYPE", "<!DOCTYPE ZQGui_GenericResp><ZQGui_GenericResp/>", tkxml::kErrDoctype},
      {"wrong root", "<EVGui_GenericResp i1=\"1\"/>", tkxml::kErrWrongRoot},
      {"bad number", "<ZQGui_GenericResp i1=\"1x\" unknown=\"u\"><extra/></ZQGui_GenericResp>", tkxml::kErrBadValue},
  };
}

// Reads the lock request and checks exactly what it holds, by its canonical text.
void expectLockRead() {
  EVGui::MMConfigurationLockUnlockReq req;
  ASSERT_EQ(req.unserialize(kLockText), 0);
  std::string text;
  ASSERT_EQ(req.serialize(text), 0);
  EXPECT_EQ(text, kLockText);
}

class XmlReaderReuse : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(CNMessageBase::Initialize(), 0); }
  void TearDown() override { EXPECT_EQ(testkit::xml::mismatchCount(), 0); }
  testkit::xml::Scope scope;
};

TEST_F(XmlReaderReuse, EachRefusedTextIsFollowedByAnExactValidRead) {
  for (const Refusal& r : refusals()) {
    SCOPED_TRACE(r.what);
    ZQGui::GenericResp m;
    EXPECT_EQ(m.unserialize(r.text), r.code);
    expectLockRead();
    // The same refusal again: the parser refuses it the same way after reuse.
    EXPECT_EQ(m.unserialize(r.text), r.code);
    EXPECT_TRUE(m.isNull() || !m.isSet(1, kZqHash, kCodeHash)) << "a refused read leaves the message as it was";
  }
}

TEST_F(XmlReaderReuse, NothingOfOneReadReachesTheNext) {
  // Unknown attributes and elements of one read are absent from the next.
  ZQGui::GenericResp first;
  ASSERT_EQ(first.unserialize("<ZQGui_GenericResp i1=\"1\" old=\"o\"><Older tag=\"3\">t</Older></ZQGui_GenericResp>"), 0);
  ZQGui::GenericResp second;
  ASSERT_EQ(second.unserialize("<ZQGui_GenericResp s2=\"two\"/>"), 0);
  std::string text;
  ASSERT_EQ(second.serialize(text), 0);
  EXPECT_EQ(text, "<ZQGui_GenericResp s2=\"two\"/>");

  // A read stopped deep inside unknown elements leaves no half-built tree
  // and no open element behind: the next read of a shallow text is exact,
  // and a text just within the depth limit is still taken.
  ZQGui::GenericResp stopped;
  ASSERT_EQ(stopped.unserialize(nestedUnknown(tkxml::kMaxDepth + 1)), tkxml::kErrTooDeep);
  ZQGui::GenericResp shallow;
  ASSERT_EQ(shallow.unserialize("<ZQGui_GenericResp i1=\"9\"/>"), 0);
  ASSERT_EQ(shallow.serialize(text), 0);
  EXPECT_EQ(text, "<ZQGui_GenericResp i1=\"9\"/>");
  ZQGui::GenericResp deepest;
  EXPECT_EQ(deepest.unserialize(nestedUnknown(tkxml::kMaxDepth - 1)), 0);

  // The element count starts again at every read: two texts of just under
  // the limit each are both taken.
  std::string almost = "<ZQGui_GenericResp>";
  for (size_t i = 0; i + 1 < tkxml::kMaxElements; ++i) almost += "<a/>";
  almost += "</ZQGui_GenericResp>";
  ZQGui::GenericResp big;
  EXPECT_EQ(big.unserialize(almost), 0);
  EXPECT_EQ(big.unserialize(almost), 0);

  // A refusal's reason is its own: after a bad number, a good text reads
  // with its own number.
  ZQGui::GenericResp numbers;
  EXPECT_EQ(numbers.unserialize("<ZQGui_GenericResp i1=\"x\"/>"), tkxml::kErrBadValue);
  EXPECT_EQ(numbers.unserialize("<ZQGui_GenericResp i1=\"-7\"/>"), 0);
  EXPECT_EQ(numbers.getint64(1, kZqHash, kCodeHash), -7);
}

TEST_F(XmlReaderReuse, TextsAfterALargeTextReadTheSame) {
  // A large text makes the thread drop its parser afterwards; the next read
  // makes a new one.
  const std::string large(512 * 1024, 'L');
  ZQGui::GenericResp m;
  ASSERT_EQ(m.unserialize("<ZQGui_GenericResp s2=\"" + large + "\"/>"), 0);
  EXPECT_EQ(m.getstringByRef(2, 2, kZqHash, kTextHash), large);
  expectLockRead();
  ASSERT_EQ(m.unserialize("<ZQGui_GenericResp s2=\"small\"/>"), 0);
  EXPECT_EQ(m.getstringByRef(2, 2, kZqHash, kTextHash), "small");
}

TEST_F(XmlReaderReuse, EightThreadsAlternatingRefusedAndValidTextsReadEveryValidOneExactly) {
  const std::vector<Refusal> bad = refusals();
  constexpr int kThreads = 8;
  constexpr int kRounds = 12;
  std::atomic<int> wrongCodes{0};
  std::atomic<int> wrongReads{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < kRounds; ++round) {
        const Refusal& r = bad[static_cast<size_t>(t + round) % bad.size()];
        ZQGui::GenericResp refused;
        if (refused.unserialize(r.text) != r.code) ++wrongCodes;

        // A valid text of this thread and round, with an unknown field that
        // only this read has.
        const std::string value = "t" + std::to_string(t) + "r" + std::to_string(round);
        const std::string text = "<ZQGui_GenericResp i1=\"" + std::to_string(t * 1000 + round) + "\" s2=\"" + value +
                                 "\" u" + std::to_string(round) + "=\"x\"/>";
        ZQGui::GenericResp good;
        std::string back;
        if (good.unserialize(text) != 0 || good.serialize(back) != 0) {
          ++wrongReads;
          continue;
        }
        const std::string want = "<ZQGui_GenericResp i1=\"" + std::to_string(t * 1000 + round) + "\" s2=\"" + value +
                                 "\" u" + std::to_string(round) + "=\"x\"/>";
        if (back != want) ++wrongReads;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(wrongCodes.load(), 0);
  EXPECT_EQ(wrongReads.load(), 0);
}

TEST_F(XmlReaderReuse, TheJournalRecordsOnlyWhileATestAsks) {
  testkit::xml::recordJournal(false);
  testkit::xml::clearJournal();
  expectLockRead();
  EXPECT_TRUE(testkit::xml::journal().empty());
  testkit::xml::recordJournal(true);
  expectLockRead();
  const auto calls = testkit::xml::journal();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].call, testkit::xml::Call::Unserialize);
  EXPECT_EQ(calls[0].className, "EVGui::MMConfigurationLockUnlockReq");
  EXPECT_EQ(calls[1].call, testkit::xml::Call::Serialize);
}

}  // namespace
