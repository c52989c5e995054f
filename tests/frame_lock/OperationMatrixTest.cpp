// Every lock operation of both forms, from the holder and from another
// client, while alice holds the lock: the exact answer, the return value and
// the lock state afterwards.
#include <gtest/gtest.h>

#include <functional>

#include "tests/frame_lock/LockFixture.h"

namespace {

using locktest::kAlice;
using locktest::kBob;
using locktest::State;
using locktest::text;

enum class Who { Holder, Other };
enum class After { Unchanged, Unlocked, ForcedByRequester };

class OperationMatrix : public locktest::LockTest {
 protected:
  const locktest::Connection& client(Who who) const { return who == Who::Holder ? m_a : m_b; }
  uint32_t user(Who who) const { return who == Who::Holder ? kAlice : kBob; }
  std::string login(Who who) const { return who == Who::Holder ? "alice" : "bob"; }

  State expected(After after, Who who, long long newServerSequence) const {
    switch (after) {
      case After::Unchanged: return holderState(m_a, kAlice, 1000);
      case After::Unlocked: return State{0, 0, m_a.socket().GetSocketDescriptor(), kAlice, ""};
      case After::ForcedByRequester: return holderState(client(who), user(who), newServerSequence, login(who));
    }
    return State{};
  }
};

TEST_F(OperationMatrix, ElementStreamForm) {
  struct Case {
    const char* name;
    Who who;
    uint32_t operation;
    std::optional<uint32_t> status;  // nullopt: nothing answered
    std::function<std::string()> answerText;
    int result;
    After after;
    bool holderInstanceTerminated;
  };
  const Case cases[] = {
      {"lock by the holder", Who::Holder, 1, 3u, [] { return text(0x240002F9, "alice"); }, 0, After::Unchanged, false},
      {"lock by another", Who::Other, 1, 3u, [] { return text(0x240002F9, "alice"); }, 0, After::Unchanged, false},
      {"force by the holder", Who::Holder, 3, 1u, [] { return text(0x240001F0); }, 1, After::ForcedByRequester, true},
      {"force by another", Who::Other, 3, 1u, [] { return text(0x240001F0); }, 1, After::ForcedByRequester, true},
      {"unlock by the holder", Who::Holder, 0, 1u, [] { return std::string("Success"); }, 1, After::Unlocked, true},
      {"unlock by another", Who::Other, 0, 1u, [] { return std::string("Success"); }, 0, After::Unchanged, false},
      {"unlock without check by the holder", Who::Holder, 2, 1u, [] { return std::string("Success"); }, 1,
       After::Unlocked, true},
      {"unlock without check by another", Who::Other, 2, 1u, [] { return std::string("Success"); }, 0,
       After::Unchanged, false},
      {"unknown operation by the holder", Who::Holder, 7, std::nullopt, nullptr, 1, After::Unchanged, false},
      {"unknown operation by another", Who::Other, 7, std::nullopt, nullptr, 1, After::Unchanged, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sessiontest::resetSessionState();
    aliceHoldsTheLock();
    ZQMACMediaConfig* aliceInstance = locktest::newestInstance();
    ASSERT_NE(aliceInstance, nullptr);
    testkit::mac::journal().reset();

    auto request = locktest::streamRequest(client(c.who), user(c.who), c.operation, 2, 0x0000000000000555LL);
    EXPECT_EQ(m_mgr.LockMMConfiguration(request.get(), 2000, true), c.result);

    const auto mine = client(c.who).replies();
    if (c.status) {
      auto status = locktest::onlyStatus(mine);
      ASSERT_TRUE(status.has_value());
      EXPECT_EQ(status->status, *c.status);
      EXPECT_EQ(status->text, c.answerText());
      EXPECT_EQ(status->sequence, 0x555);
    } else {
      EXPECT_TRUE(mine.empty());
    }
    if (c.who == Who::Other) {
      EXPECT_TRUE(m_a.replies().empty()) << "the holder hears nothing";
    }
    EXPECT_EQ(State::now(), expected(c.after, c.who, 2000));
    EXPECT_EQ(aliceInstance->GetTerminateFlag(), c.holderInstanceTerminated);
    if (c.after == After::ForcedByRequester) {
      EXPECT_EQ(aliceInstance->GetPercentage(), 100) << "the old session is reported complete";
      EXPECT_NE(locktest::newestInstance(), aliceInstance) << "a force lock starts a new session";
      EXPECT_EQ(locktest::newestInstance()->GetInstallationName(), locktest::kSite);
      EXPECT_EQ(testkit::mac::journal().count("TestConnectToMediaManager"), 0u) << "no connection test when forcing";
    } else {
      EXPECT_EQ(locktest::newestInstance(), aliceInstance);
      EXPECT_EQ(locktest::cacheSize(), 1u);
    }
  }
}

TEST_F(OperationMatrix, XmlForm) {
  struct Case {
    const char* name;
    Who who;
    long long operation;
    long long code;
    std::function<std::string()> answerText;  // null: no text in the response
    After after;
    bool forceCloseNotice;  // the requester is told first that it is not the holder
    bool holderInstanceTerminated;
  };
  const Case cases[] = {
      {"lock by the holder", Who::Holder, 1, -1, [] { return text(0x240002F9, "alice"); }, After::Unchanged, false,
       false},
      {"lock by another", Who::Other, 1, -1, [] { return text(0x240002F9, "alice"); }, After::Unchanged, false, false},
      {"force by the holder", Who::Holder, 3, 0, nullptr, After::ForcedByRequester, false, true},
      {"force by another", Who::Other, 3, 0, nullptr, After::ForcedByRequester, false, true},
      {"unlock by the holder", Who::Holder, 0, 0, nullptr, After::Unlocked, false, true},
      // No holder test in this form: the lock goes, after the notice. The
      // holder's instance is not reached (the requester gets none).
      {"unlock by another", Who::Other, 0, 0, nullptr, After::Unlocked, true, false},
      {"unlock without check by the holder", Who::Holder, 2, 0, nullptr, After::Unlocked, false, true},
      {"unlock without check by another", Who::Other, 2, 0, nullptr, After::Unlocked, true, false},
      {"unknown operation by the holder", Who::Holder, 7, 0, nullptr, After::Unchanged, false, false},
      {"unknown operation by another", Who::Other, 7, 0, nullptr, After::Unchanged, false, false},
      {"negative operation by another", Who::Other, -1, 0, nullptr, After::Unchanged, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sessiontest::resetSessionState();
    aliceHoldsTheLock();
    ZQMACMediaConfig* aliceInstance = locktest::newestInstance();
    ASSERT_NE(aliceInstance, nullptr);

    const std::string answer = xmlCall(client(c.who), user(c.who), locktest::xmlRequest(c.operation, 3000), 0x777);
    auto response = locktest::readResponse(answer);
    ASSERT_TRUE(response.has_value());
    EXPECT_EQ(response->code, c.code);
    EXPECT_EQ(response->hasText, c.answerText != nullptr);
    if (c.answerText) {
      EXPECT_EQ(response->text, c.answerText());
    }

    const auto mine = client(c.who).replies();
    if (c.forceCloseNotice) {
      ASSERT_EQ(mine.size(), 1u);
      EXPECT_EQ(mine[0].messageId, 11055u);
      EXPECT_EQ(mine[0].sequence, 0x777);
      ASSERT_EQ(mine[0].items.size(), 1u);
      EXPECT_EQ(mine[0].items[0].tag, 11102u);
      // Nobody has forced yet: the notice names nobody.
      EXPECT_EQ(mine[0].items[0].bytes, locktest::wordAndText(4, text(0x240002FA, "")));
    } else {
      EXPECT_TRUE(mine.empty());
    }
    if (c.who == Who::Other) {
      EXPECT_TRUE(m_a.replies().empty());
    }
    EXPECT_EQ(State::now(), expected(c.after, c.who, 3000));
    EXPECT_EQ(aliceInstance->GetTerminateFlag(), c.holderInstanceTerminated);
    if (c.after == After::ForcedByRequester) {
      EXPECT_EQ(aliceInstance->GetPercentage(), 100);
      EXPECT_NE(locktest::newestInstance(), aliceInstance);
    } else {
      EXPECT_EQ(locktest::newestInstance(), aliceInstance);
    }
  }
}

// The same operations while nobody holds the lock.
TEST_F(OperationMatrix, WhileUnlocked) {
  // Element-stream lock, unlock (of a client that is not the holder since
  // nothing was locked since load), force lock.
  {
    auto request = locktest::streamRequest(m_b, kBob, 0);
    EXPECT_EQ(m_mgr.LockMMConfiguration(request.get(), 5, true), 0);
    auto status = locktest::onlyStatus(m_b.replies());
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(status->status, 1u);
    EXPECT_EQ(status->text, "Success");
    EXPECT_EQ(State::now(), (State{0, 0, -1, 0, ""}));
  }
  {
    auto request = locktest::streamRequest(m_b, kBob, 3);
    EXPECT_EQ(m_mgr.LockMMConfiguration(request.get(), 6, true), 1);
    auto status = locktest::onlyStatus(m_b.replies());
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(status->status, 1u);
    EXPECT_EQ(status->text, text(0x240001F0));
    // Forcing a free lock names nobody as the one who forced.
    EXPECT_EQ(State::now(), holderState(m_b, kBob, 6, ""));
  }
  {
    // XML unlock by the holder, then XML lock.
    auto response = locktest::readResponse(xmlCall(m_b, kBob, locktest::xmlRequest(0)));
    ASSERT_TRUE(response.has_value());
    EXPECT_EQ(response->code, 0);
    EXPECT_EQ(State::now(), (State{0, 0, m_b.socket().GetSocketDescriptor(), kBob, ""}));
    response = locktest::readResponse(xmlCall(m_a, kAlice, locktest::xmlRequest(1, 42)));
    ASSERT_TRUE(response.has_value());
    EXPECT_EQ(response->code, 0);
    EXPECT_FALSE(response->hasText);
    EXPECT_EQ(State::now(), holderState(m_a, kAlice, 42, ""));
    EXPECT_TRUE(m_a.replies().empty());
    EXPECT_TRUE(m_b.replies().empty());
  }
}

}  // namespace
