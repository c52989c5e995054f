// Operation responses, status messages, the status and progress callbacks,
// and the class-wide accessors of the session holder.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <optional>
#include <string>
#include <vector>

#include "frame/mac/ZQMACMediaConfig.h"
#include "platform/mac/ZQMACPlatform.h"
#include "platform/testkit/debuglog.h"
#include "tests/support/FrameSession.h"

namespace {

using tktest::Connection;
using tktest::le32;
using tktest::tagsOf;
using tktest::wordAndText;
using Tags = std::vector<uint32_t>;

class Replies : public tktest::SessionTest {
 protected:
  // Makes `client` the session holder, as a lock would.
  void makeHolder(const Connection& client) {
    ASSERT_NE(EvMMConfigMgr::GetCurrentMediaConfig(client.request(1).get(), true), nullptr);
  }
};

// ---- operation response ----

TEST_F(Replies, OperationResponseItems) {
  const std::string cut(4107, 'x');
  const std::string longer(5000, 'x');
  const struct {
    const char* name;
    unsigned long status;
    int count;
    const char* text;
    bool countItem;
    std::string status2051;  // the bytes of item 2051
  } cases[] = {
      {"success", 1, 0, "Success", false, wordAndText(1, "Success")},
      {"status 1 ignores count", 1, 5, "Success", false, wordAndText(1, "Success")},
      {"warning without count", 2, 0, "warn", false, wordAndText(2, "warn")},
      {"warning with count", 2, 3, "warn", true, wordAndText(2, "warn")},
      {"negative count", 2, -1, "warn", false, wordAndText(2, "warn")},
      {"failure", 0, 7, "boom", false, wordAndText(0, "boom")},
      {"lock held elsewhere", 3, 0, "held", false, wordAndText(3, "held")},
      {"null text", 1, 0, nullptr, false, le32(1)},
      {"empty text", 0, 0, "", false, le32(0)},
      {"text at the limit", 1, 0, cut.c_str(), false, wordAndText(1, cut)},
      {"text over the limit is cut", 1, 0, longer.c_str(), false, wordAndText(1, cut)},
      {"status is sent as its low 32 bits", 0x100000001ul, 0, "x", false, wordAndText(1, "x")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Connection client;
    EXPECT_EQ(EvMMConfigMgr::sendOperationResponse(0x0009000000000044LL, client.socket(), 58, c.status, c.text,
                                                   c.count),
              1);
    const auto replies = client.replies();
    ASSERT_EQ(replies.size(), 1u);
    const auto& r = replies[0];
    EXPECT_EQ(r.messageId, 1024u);
    EXPECT_EQ(r.sequence, 0x0009000000000044LL);
    ASSERT_EQ(tagsOf(r), c.countItem ? (Tags{4001, 4117, 2051}) : (Tags{4001, 2051}));
    if (c.countItem) {
      EXPECT_EQ(r.items[1].bytes, le32(static_cast<uint32_t>(c.count)));
    }
    EXPECT_EQ(r.items.front().bytes, le32(58));
    EXPECT_EQ(r.items.back().bytes, c.status2051);
  }
}

TEST_F(Replies, OperationResponseLogsItsTextWhateverTheStatusAndNeverAsAFormat) {
  Connection client;
  testkit::debuglog::Capture log;
  EvMMConfigMgr::sendOperationResponse(1, client.socket(), 1, 1, "Success", 0);
  EvMMConfigMgr::sendOperationResponse(1, client.socket(), 1, 0, "disk %s at 100%n", 0);
  EvMMConfigMgr::sendOperationResponse(1, client.socket(), 1, 0, nullptr, 0);
  std::vector<std::string> texts;
  for (const auto& line : log.lines())
    if (line.tag == "EvMediaMgr::sendOperationResponse") {
      EXPECT_EQ(line.level, -1);
      texts.push_back(line.text);
    }
  EXPECT_EQ(texts, (std::vector<std::string>{"Success", "disk %s at 100%n"}));
  EXPECT_EQ(client.replies().at(1).items.back().bytes, wordAndText(0, "disk %s at 100%n"));
}

// ---- status messages ----

TEST_F(Replies, StatusMessageWithABareTextOrACode) {
  const std::string longer(5000, 'y');
  const struct {
    const char* name;
    const char* text;
    std::optional<unsigned long> code;
    std::optional<std::string> item;  // nullopt: nothing is sent
  } cases[] = {
      {"text", "Scanning ma1", std::nullopt, "Scanning ma1"},
      {"empty text", "", std::nullopt, ""},
      {"cut to 4,111", longer.c_str(), std::nullopt, std::string(4111, 'y')},
      {"null text sends nothing", nullptr, std::nullopt, std::nullopt},
      {"code 3", "Checking media agent ma1", 3, wordAndText(3, "Checking media agent ma1")},
      {"code 4", "closed", 4, wordAndText(4, "closed")},
      {"coded empty text", "", 3, le32(3)},
      {"coded, cut to 4,107", longer.c_str(), 3, wordAndText(3, std::string(4107, 'y'))},
      {"coded null text sends nothing", nullptr, 3, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Connection client;
    testkit::debuglog::Capture log;
    EXPECT_EQ(c.code ? EvMMConfigMgr::sendStatusResponse(22, client.socket(), c.text, *c.code)
                     : EvMMConfigMgr::sendStatusResponse(22, client.socket(), c.text),
              1);
    const auto replies = client.replies();
    if (!c.item) {
      EXPECT_TRUE(replies.empty());
      EXPECT_FALSE(log.contains("EvMediaMgr::sendStatusResponse", ""));
      continue;
    }
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].messageId, 11055u);
    EXPECT_EQ(replies[0].sequence, 22);
    ASSERT_EQ(tagsOf(replies[0]), Tags{c.code ? 11102u : 4151u});
    EXPECT_EQ(replies[0].items[0].bytes, *c.item);
    if (c.code) {
      EXPECT_TRUE(log.contains("EvMediaMgr::sendStatusResponse", c.text));
    }
  }
}

// ---- a reply object that cannot be made ----

TEST_F(Replies, AllocationFailureAnswersWithTheCatalogueText) {
  const struct {
    const char* name;
    std::function<int(CWySocket)> call;
  } cases[] = {
      {"operation response", [](CWySocket s) { return EvMMConfigMgr::sendOperationResponse(0x31, s, 1, 1, "ok", 0); }},
      {"bare status", [](CWySocket s) { return EvMMConfigMgr::sendStatusResponse(0x31, s, "ok"); }},
      {"coded status", [](CWySocket s) { return EvMMConfigMgr::sendStatusResponse(0x31, s, "ok", 3); }},
      // The callbacks answer the session holder.
      {"status callback", [](CWySocket) { return sendStatusResponse("x", 3), 0; }},
      {"progress callback", [](CWySocket) { return sendProgressResponse(1, 47), 0; }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Connection client;
    makeHolder(client);
    EvMMConfigMgr::SetClientSequenceNumber(0x31);
    testkit::debuglog::Capture log;
    testkit::reply::failNextAllocations(1);
    EXPECT_EQ(c.call(client.socket()), 0);
    const auto replies = client.replies();
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].messageId, 1024u);
    EXPECT_EQ(replies[0].sequence, 0x31);
    ASSERT_EQ(tagsOf(replies[0]), Tags{2051});
    EXPECT_EQ(replies[0].items[0].bytes, wordAndText(0, "Memory allocation failed."));
    bool logged = false;
    for (const auto& line : log.lines()) logged = logged || (line.level == -1 && line.text == "Memory allocation failed.");
    EXPECT_TRUE(logged);
  }
}

// ---- callbacks ----

TEST_F(Replies, CallbacksAreSilentAtSequenceMinusOneOrWithoutAValidHolderSocket) {
  {
    testkit::reply::Recorder recorder;
    EvMMConfigMgr::SetClientSequenceNumber(5);
    sendStatusResponse("Detecting", 3);
    sendProgressResponse(10, 47);
    EXPECT_TRUE(recorder.replies().empty()) << "no holder socket";
  }
  Connection holder;
  makeHolder(holder);
  holder.replies();
  EvMMConfigMgr::SetClientSequenceNumber(0x7FFF000000000001LL);
  EXPECT_EQ(EvMMConfigMgr::GetClientSequenceNumber(), 0x7FFF000000000001LL);
  EvMMConfigMgr::ResetClientSequenceNumber();
  ASSERT_EQ(EvMMConfigMgr::GetClientSequenceNumber(), -1);
  sendStatusResponse("Detecting", 3);
  sendProgressResponse(10, 47);
  sendProgressResponse(10, 50);
  EXPECT_TRUE(holder.replies().empty());
  EXPECT_EQ(g_ulSteps.load(), 0u) << "a silent call counts no step";
}

TEST_F(Replies, StatusCallbackSendsACodedTextToTheHolder) {
  Connection holder;
  makeHolder(holder);
  EvMMConfigMgr::SetClientSequenceNumber(0x0009000000000123LL);
  sendStatusResponse("Found library TapeLib1", 7);
  sendStatusResponse("", 7);  // nothing
  sendStatusResponse(std::string(5000, 'k'), 1);
  const auto replies = holder.replies();
  ASSERT_EQ(replies.size(), 2u);
  EXPECT_EQ(replies[0].messageId, 11055u);
  EXPECT_EQ(replies[0].sequence, 0x0009000000000123LL);
  ASSERT_EQ(tagsOf(replies[0]), Tags{11102});
  EXPECT_EQ(replies[0].items[0].bytes, wordAndText(7, "Found library TapeLib1"));
  EXPECT_EQ(replies[1].items[0].bytes, wordAndText(1, std::string(4107, 'k')));
}

// Sends progress values of an operation and returns what arrived (the values
// of item 2036).
std::vector<int32_t> progressValues(const Connection& holder, int operation, const std::vector<int>& values) {
  for (int v : values) sendProgressResponse(v, operation);
  std::vector<int32_t> out;
  for (const auto& r : holder.replies()) {
    EXPECT_EQ(r.messageId, 1017u);
    EXPECT_EQ(r.sequence, 40);
    EXPECT_EQ(tagsOf(r), (Tags{4001, 2036}));
    if (r.items.size() != 2) continue;
    EXPECT_EQ(r.items[0].u32(), static_cast<uint32_t>(operation));
    out.push_back(static_cast<int32_t>(r.items[1].u32()));
  }
  return out;
}

TEST_F(Replies, ProgressByOperation) {
  using Values = std::vector<int32_t>;
  Connection holder;
  makeHolder(holder);
  EvMMConfigMgr::SetClientSequenceNumber(40);
  // Detection (47) and operation 105 send the value as it is.
  EXPECT_EQ(progressValues(holder, 47, {0, 33, 100}), (Values{0, 33, 100}));
  EXPECT_EQ(progressValues(holder, 105, {70, -1}), (Values{70, -1}));
  // Other operations send nothing.
  EXPECT_TRUE(progressValues(holder, 0, {10}).empty());
  for (int operation : {46, 48, 49, 51, 104, 106, -50}) EXPECT_TRUE(progressValues(holder, operation, {10}).empty());
  EXPECT_EQ(g_ulSteps.load(), 0u);

  // The control steps (50) count a step each, on a scale of 25 ...
  g_ulTotalSteps = 4;
  EXPECT_EQ(progressValues(holder, 50, {99, 99, 99, 99, 99}), (Values{6, 12, 18, 25, 31}));
  EXPECT_EQ(g_ulSteps.load(), 5u);
  // ... or as the value when there is no total,
  g_ulSteps = 0;
  g_ulTotalSteps = 0;
  EXPECT_EQ(progressValues(holder, 50, {40, 41, 7}), (Values{40, 41, 7}));
  EXPECT_EQ(g_ulSteps.load(), 3u) << "steps are counted all the same";
  // ... computed in single precision: 29 / 25 * 25 is 29 (28 in double
  // precision), 53 / 25 * 25 is 52 (53 in double),
  g_ulSteps = 0;
  g_ulTotalSteps = 25;
  const Values values = progressValues(holder, 50, std::vector<int>(60, 0));
  ASSERT_EQ(values.size(), 60u);
  EXPECT_EQ((Values{values[24], values[27], values[28], values[52], values[56], values[58]}),
            (Values{25, 28, 29, 52, 57, 58}));
  // ... and within 32 bits.
  g_ulSteps = 0x7FFFFFF0u;
  g_ulTotalSteps = 1;
  EXPECT_EQ(progressValues(holder, 50, {0}), Values{INT32_MAX});
}

TEST_F(Replies, CallbacksAnswerTheHolderNotTheRunningRequest) {
  Connection holder;
  Connection other;
  makeHolder(holder);
  // A request of the exempt kind from another client runs a long operation.
  auto request = other.request(0x500, kRequestKindExempt);
  ASSERT_NE(EvMMConfigMgr::GetCurrentMediaConfig(request.get(), false), nullptr);
  EvMMConfigMgr::SetClientSequenceNumber(request->sequenceNumber);
  sendStatusResponse("step", 3);
  sendProgressResponse(5, 47);
  EXPECT_TRUE(other.replies().empty());
  auto atHolder = holder.replies();
  ASSERT_EQ(atHolder.size(), 2u);
  EXPECT_EQ(atHolder[0].sequence, 0x500);

  // A new session of the other client moves them.
  ASSERT_NE(EvMMConfigMgr::GetCurrentMediaConfig(other.request(0x501).get(), true), nullptr);
  sendProgressResponse(6, 47);
  EXPECT_TRUE(holder.replies().empty());
  EXPECT_EQ(other.replies().size(), 1u);
}

TEST_F(Replies, CallbacksNeverWaitForTheSessionLock) {
  // A force lock reports the old session complete while it holds the
  // session; the model may call back on another thread meanwhile.
  Connection holder;
  makeHolder(holder);
  EvMMConfigMgr::SetClientSequenceNumber(61);
  std::future<void> callbacks;
  {
    EvMMConfigMgr::SessionLock lock;
    callbacks = std::async(std::launch::async, [] {
      sendProgressResponse(100, 47);
      sendStatusResponse("closed", 4);
    });
    EXPECT_EQ(callbacks.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    // And on the thread that holds it.
    ZQMACMediaConfig::SetPercentageFunc(sendProgressResponse, 47);
    ZQMACMediaConfig::SetPercentage(100);
  }
  callbacks.wait();
  EXPECT_EQ(holder.replies().size(), 3u);
}

// ---- accessors ----

TEST_F(Replies, HolderSocketAndServerSequenceOnlyWhileLocked) {
  Connection holder;
  makeHolder(holder);
  EvMMConfigMgr::m_serverSequenceNumber = 4321;

  CWySocket socket(999);
  long long sequence = -99;
  EXPECT_EQ(EvMMConfigMgr::GetSocket(&socket), 0);
  EXPECT_EQ(EvMMConfigMgr::GetServerSequenceNumber(&sequence), 0);
  EXPECT_EQ(static_cast<int>(socket.GetSocketDescriptor()), 999) << "left alone while unlocked";
  EXPECT_EQ(sequence, -99);
  EXPECT_EQ(EvMMConfigMgr::GetSocketId(), holder.socket()) << "GetSocketId answers whether locked or not";

  EvMMConfigMgr::m_ulLockedMMConfig = 1;
  EXPECT_EQ(EvMMConfigMgr::GetSocket(&socket), 1);
  EXPECT_EQ(EvMMConfigMgr::GetServerSequenceNumber(&sequence), 1);
  EXPECT_EQ(socket, holder.socket());
  EXPECT_EQ(sequence, 4321);
}

// With the process's object handles used up, a listing whose objects all
// have their handles still answers; one that has to give an object its
// first handle answers a failure that says so and what to do, and logs it,
// instead of records with handle 0 that name nothing.
TEST_F(Replies, AListingThatNeedsAHandleWhenNoneIsLeftAnswersWhyAndWhatToDo) {
  Connection holder;
  ZQMACMediaConfig* config = EvMMConfigMgr::GetCurrentMediaConfig(holder.request(1).get(), true);
  ASSERT_NE(config, nullptr);
  testkit::mac::seedWorld(*config);
  EvMMConfigMgr mgr;
  EXPECT_TRUE(mgr.onMsgGetMMLibraries(holder.request(2).get()));
  const auto listed = holder.replies();
  ASSERT_EQ(listed.size(), 1u);
  const auto handles = listed[0].findAll(11003);
  ASSERT_EQ(handles.size(), 2u);  // the tape library, then the disk library

  testkit::mac::ScopedHandleCounter counter(0);  // none left
  testkit::debuglog::Capture log;
  EXPECT_TRUE(mgr.onMsgGetMMLibraries(holder.request(3).get()));
  auto replies = holder.replies();
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(tagsOf(replies[0]), tagsOf(listed[0])) << "every object listed has its handle";

  auto paths = holder.request(4);
  paths->objectHandle = handles[1]->u64();
  EXPECT_FALSE(mgr.onMsgGetMMMountPaths(paths.get()));
  replies = holder.replies();
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].messageId, 1024u);
  EXPECT_EQ(replies[0].sequence, 4);
  ASSERT_EQ(tagsOf(replies[0]), Tags{2051});
  EXPECT_EQ(replies[0].items[0].bytes, wordAndText(0, tkmac::kNoHandleLeftText));
  EXPECT_NE(std::string(tkmac::kNoHandleLeftText).find("Restart the host"), std::string::npos);
  EXPECT_TRUE(log.contains("EvMMConfigMgr::onMsgGetMMMountPaths", "No object handle is left"));
}

}  // namespace
