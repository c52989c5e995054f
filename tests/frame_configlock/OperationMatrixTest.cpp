// Every lock operation of both forms, from the holder and from another
// client, while alice holds the lock: the exact answer, the return value and
// the lock state afterwards; and the same operations while nobody holds it.
#include <gtest/gtest.h>

#include <functional>

#include "tests/frame_configlock/ConfigLockFixture.h"

namespace {

using locktest::kAlice;
using locktest::kBob;
using locktest::State;
using tktest::catalogueText;

enum class After { Unchanged, Unlocked, ForcedByRequester };

class OperationMatrix : public locktest::LockTest {
 protected:
  State expected(After after, uint32_t user, long long newServerSequence) const {
    switch (after) {
      case After::Unchanged: return holderState(kAlice, 1000);
      case After::Unlocked: return unlockedState(kAlice);
      case After::ForcedByRequester: return holderState(user, newServerSequence, user == kAlice ? "alice" : "bob");
    }
    return State{};
  }

  // Alice holds the lock afresh; her instance.
  ZQMACMediaConfig* startRow() {
    tktest::resetSessionState();
    aliceHoldsTheLock();
    testkit::mac::journal().reset();
    return locktest::newestInstance();
  }

  // The lock state and alice's instance after the operation.
  void expectAfter(After after, uint32_t user, long long serverSequence, ZQMACMediaConfig* aliceInstance,
                   bool terminated) {
    if (user == kBob) {
      EXPECT_TRUE(m_a.replies().empty()) << "the holder hears nothing";
    }
    EXPECT_EQ(State::now(), expected(after, user, serverSequence));
    EXPECT_EQ(aliceInstance->GetTerminateFlag(), terminated);
    if (after == After::ForcedByRequester) {
      EXPECT_EQ(aliceInstance->GetPercentage(), 100) << "the old session is reported complete";
      EXPECT_NE(locktest::newestInstance(), aliceInstance) << "a force lock starts a new session";
      EXPECT_EQ(locktest::newestInstance()->GetInstallationName(), locktest::kSite);
      EXPECT_EQ(testkit::mac::journal().count("TestConnectToMediaManager"), 0u) << "no connection test when forcing";
    } else {
      EXPECT_EQ(locktest::newestInstance(), aliceInstance);
      EXPECT_EQ(locktest::cacheSize(), 1u);
    }
  }
};

const auto heldByAlice = [] { return catalogueText(0x240002F9, "alice"); };

TEST_F(OperationMatrix, ElementStreamForm) {
  const auto granted = [] { return catalogueText(0x240001F0); };
  const auto success = [] { return std::string("Success"); };
  const struct {
    const char* name;
    uint32_t user;
    uint32_t operation;
    std::optional<uint32_t> status;  // nullopt: nothing answered
    std::function<std::string()> answerText;
    int result;
    After after;
    bool holderInstanceTerminated;
  } cases[] = {
      {"lock by the holder", kAlice, 1, 3u, heldByAlice, 0, After::Unchanged, false},
      {"lock by another", kBob, 1, 3u, heldByAlice, 0, After::Unchanged, false},
      {"force by the holder", kAlice, 3, 1u, granted, 1, After::ForcedByRequester, true},
      {"force by another", kBob, 3, 1u, granted, 1, After::ForcedByRequester, true},
      {"unlock by the holder", kAlice, 0, 1u, success, 1, After::Unlocked, true},
      {"unlock by another", kBob, 0, 1u, success, 0, After::Unchanged, false},
      {"unlock without check by the holder", kAlice, 2, 1u, success, 1, After::Unlocked, true},
      {"unlock without check by another", kBob, 2, 1u, success, 0, After::Unchanged, false},
      {"unknown operation by the holder", kAlice, 7, std::nullopt, nullptr, 1, After::Unchanged, false},
      {"unknown operation by another", kBob, 7, std::nullopt, nullptr, 1, After::Unchanged, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ZQMACMediaConfig* aliceInstance = startRow();
    ASSERT_NE(aliceInstance, nullptr);
    EXPECT_EQ(lockStream(c.user, c.operation, 2000, 2, 0x555), c.result);
    if (c.status) {
      expectAnswer(c.user, *c.status, c.answerText(), 0x555);
    } else {
      EXPECT_TRUE(client(c.user).replies().empty());
    }
    expectAfter(c.after, c.user, 2000, aliceInstance, c.holderInstanceTerminated);
  }
}

TEST_F(OperationMatrix, XmlForm) {
  const struct {
    const char* name;
    uint32_t user;
    long long operation;
    long long code;
    std::function<std::string()> answerText;  // null: no text in the response
    After after;
    bool forceCloseNotice;  // the requester is told first that it is not the holder
    bool holderInstanceTerminated;
  } cases[] = {
      {"lock by the holder", kAlice, 1, -1, heldByAlice, After::Unchanged, false, false},
      {"lock by another", kBob, 1, -1, heldByAlice, After::Unchanged, false, false},
      {"force by the holder", kAlice, 3, 0, nullptr, After::ForcedByRequester, false, true},
      {"force by another", kBob, 3, 0, nullptr, After::ForcedByRequester, false, true},
      {"unlock by the holder", kAlice, 0, 0, nullptr, After::Unlocked, false, true},
      // No holder test in this form: the lock goes, after the notice. The
      // holder's instance is not reached (the requester gets none).
      {"unlock by another", kBob, 0, 0, nullptr, After::Unlocked, true, false},
      {"unlock without check by the holder", kAlice, 2, 0, nullptr, After::Unlocked, false, true},
      {"unlock without check by another", kBob, 2, 0, nullptr, After::Unlocked, true, false},
      {"unknown operation by the holder", kAlice, 7, 0, nullptr, After::Unchanged, false, false},
      {"unknown operation by another", kBob, 7, 0, nullptr, After::Unchanged, false, false},
      {"negative operation by another", kBob, -1, 0, nullptr, After::Unchanged, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ZQMACMediaConfig* aliceInstance = startRow();
    ASSERT_NE(aliceInstance, nullptr);
    const locktest::XmlResponse response = lockXml(c.user, c.operation, 3000, 0x777);
    EXPECT_EQ(response.code, c.code);
    EXPECT_EQ(response.hasText, c.answerText != nullptr);
    EXPECT_EQ(response.text, c.answerText ? c.answerText() : "");

    const auto mine = client(c.user).replies();
    if (c.forceCloseNotice) {
      ASSERT_EQ(mine.size(), 1u);
      EXPECT_EQ(mine[0].messageId, 11055u);
      EXPECT_EQ(mine[0].sequence, 0x777);
      ASSERT_EQ(tktest::tagsOf(mine[0]), std::vector<uint32_t>{11102});
      // Nobody has forced yet: the notice names the session's holder, never
      // an empty "user []".
      EXPECT_EQ(mine[0].items[0].bytes, tktest::wordAndText(4, catalogueText(0x240002FA, "alice")));
    } else {
      EXPECT_TRUE(mine.empty());
    }
    expectAfter(c.after, c.user, 3000, aliceInstance, c.holderInstanceTerminated);
  }
}

TEST_F(OperationMatrix, WhileUnlocked) {
  // Element-stream unlock (of a client that is not the holder since nothing
  // was locked since load), then force lock.
  EXPECT_EQ(lockStream(kBob, 0, 5), 0);
  expectAnswer(kBob, 1, "Success");
  EXPECT_EQ(State::now(), (State{0, 0, -1, 0, ""}));
  EXPECT_EQ(lockStream(kBob, 3, 6), 1);
  expectAnswer(kBob, 1, catalogueText(0x240001F0));
  EXPECT_EQ(State::now(), holderState(kBob, 6, "")) << "forcing a free lock names nobody as the one who forced";

  // XML unlock by the holder, then XML lock.
  expectXml(lockXml(kBob, 0), 0);
  EXPECT_EQ(State::now(), unlockedState(kBob));
  const locktest::XmlResponse response = lockXml(kAlice, 1, 42);
  expectXml(response, 0);
  EXPECT_FALSE(response.hasText);
  EXPECT_EQ(State::now(), holderState(kAlice, 42, ""));
  EXPECT_TRUE(m_a.replies().empty());
  EXPECT_TRUE(m_b.replies().empty());
}

}  // namespace
