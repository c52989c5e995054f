// The configuration session: the cache of media-configuration instances, the
// force-close rule, pruning, pins, cache entries, the handler class's
// construction and the one-time initialisation.
#include <gtest/gtest.h>

#include <atomic>
#include <ctime>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "frame/EvEvent.h"
#include "frame/EvMMConfigMgr.h"
#include "frame/MediaConfigContainer.h"
#include "frame/mac/ZQMACMediaConfig.h"
#include "platform/testkit/clock.h"
#include "platform/testkit/debuglog.h"
#include "tests/frame_session/SessionFixture.h"

namespace {

using sessiontest::Connection;
using sessiontest::tagsOf;
using sessiontest::wordAndText;

constexpr time_t kStart = 1'700'000'000;

class Session : public sessiontest::SessionTest {
 protected:
  static std::list<MediaConfigContainer>& cache() { return EvMMConfigMgr::m_tMediaConfigList; }
  static std::vector<ZQMACMediaConfig*> cachedInstances() {
    std::vector<ZQMACMediaConfig*> out;
    EvMMConfigMgr::SessionLock lock;
    for (const auto& entry : cache()) out.push_back(entry.GetMediaConfig());
    return out;
  }
  // A new session for the client at the clock's time.
  static ZQMACMediaConfig* newSession(const Connection& client, uint32_t userId = 1) {
    auto request = client.request(1, 0, userId);
    return EvMMConfigMgr::GetCurrentMediaConfig(request.get(), true);
  }

  testkit::clock::FakeClock m_clock{kStart};
};

// The force-close notice the client gets when another user took over.
std::string noticeText(const char* loginName) {
  char text[512];
  EvGetLocText(0x240002FA, text, sizeof text, 0, loginName);
  return text;
}

TEST_F(Session, ANullRequestGetsNothing) {
  testkit::reply::Recorder recorder;
  EXPECT_EQ(EvMMConfigMgr::GetCurrentMediaConfig(nullptr, false), nullptr);
  EXPECT_EQ(EvMMConfigMgr::GetCurrentMediaConfig(nullptr, true), nullptr);
  EXPECT_TRUE(cache().empty());
  EXPECT_TRUE(recorder.replies().empty());
}

TEST_F(Session, TheHolderOnAnEmptyCacheGetsANewInstance) {
  Connection holder;
  EvMMConfigMgr::m_socketId = holder.socket();
  auto request = holder.request(5, 0, 17);
  ZQMACMediaConfig* config = EvMMConfigMgr::GetCurrentMediaConfig(request.get(), false);
  ASSERT_NE(config, nullptr);
  EXPECT_EQ(config->GetModuleMode(), 2);
  EXPECT_EQ(cache().size(), 1u);
  EXPECT_EQ(cache().front().GetCreattionTimeStamp(), kStart);
  EXPECT_EQ(cache().front().GetExpiredTimeStamp(), kStart + 7200);
  EXPECT_EQ(EvMMConfigMgr::m_ulUserId.load(), 17u);

  // Later uses hand out the same instance and renew its expiry.
  m_clock.advance(600);
  EXPECT_EQ(EvMMConfigMgr::GetCurrentMediaConfig(request.get(), false), config);
  EXPECT_EQ(cache().size(), 1u);
  EXPECT_EQ(cache().front().GetExpiredTimeStamp(), kStart + 600 + 7200);
  EXPECT_EQ(cache().front().GetCreattionTimeStamp(), kStart);
  EXPECT_TRUE(holder.replies().empty());
}

TEST_F(Session, TheExemptKindGetsTheNewestAndLeavesTheHolder) {
  Connection holder;
  Connection other;
  ZQMACMediaConfig* config = newSession(holder, 3);
  ASSERT_NE(config, nullptr);
  auto request = other.request(9, kRequestKindExempt, 44);
  EXPECT_EQ(EvMMConfigMgr::GetCurrentMediaConfig(request.get(), false), config);
  EXPECT_EQ(EvMMConfigMgr::GetSocketId(), holder.socket());
  EXPECT_EQ(EvMMConfigMgr::m_ulUserId.load(), 3u);
  EXPECT_TRUE(other.replies().empty());
}

TEST_F(Session, TheExemptKindOnAnEmptyCacheStartsASession) {
  Connection holder;
  Connection other;
  {
    EvMMConfigMgr::SessionLock lock;
    EvMMConfigMgr::m_socketId = holder.socket();
  }
  auto request = other.request(9, kRequestKindExempt, 44);
  ZQMACMediaConfig* config = EvMMConfigMgr::GetCurrentMediaConfig(request.get(), false);
  ASSERT_NE(config, nullptr);
  EXPECT_EQ(cachedInstances(), (std::vector<ZQMACMediaConfig*>{config}));
  EXPECT_EQ(EvMMConfigMgr::GetSocketId(), other.socket()) << "a new instance makes its client the holder";
  EXPECT_EQ(EvMMConfigMgr::m_ulUserId.load(), 44u);
  EXPECT_TRUE(other.replies().empty());
}

TEST_F(Session, AnotherClientIsForceClosed) {
  enum class Setup { HolderWithSession, HolderSocketOnly, NothingSinceLoad };
  struct Case {
    const char* name;
    Setup setup;
    uint32_t requestKind;
  } cases[] = {
      {"kind 15 with a session", Setup::HolderWithSession, 15},
      {"kind 15 on an empty cache", Setup::HolderSocketOnly, 15},
      {"kind 0 with a session", Setup::HolderWithSession, 0},
      {"nothing locked since load", Setup::NothingSinceLoad, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sessiontest::resetSessionState();
    Connection holder;
    Connection other;
    if (c.setup == Setup::HolderWithSession) {
      ASSERT_NE(newSession(holder), nullptr);
    }
    if (c.setup == Setup::HolderSocketOnly) {
      EvMMConfigMgr::SessionLock lock;
      EvMMConfigMgr::m_socketId = holder.socket();
    }
    EvMMConfigMgr::SetLastLoginName("alice");
    const std::size_t before = cache().size();
    testkit::debuglog::Capture log;

    auto request = other.request(0x0009000000000031LL, c.requestKind);
    EXPECT_EQ(EvMMConfigMgr::GetCurrentMediaConfig(request.get(), false), nullptr);

    EXPECT_EQ(cache().size(), before) << "no instance is made for a force-closed client";
    if (c.setup != Setup::NothingSinceLoad) {
      EXPECT_EQ(EvMMConfigMgr::GetSocketId(), holder.socket());
    }
    const auto replies = other.replies();
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].messageId, 11055u);
    EXPECT_EQ(replies[0].sequence, 0x0009000000000031LL);
    ASSERT_EQ(tagsOf(replies[0]), (std::vector<uint32_t>{11102}));
    EXPECT_EQ(replies[0].items[0].bytes, wordAndText(4, noticeText("alice")));
    EXPECT_NE(noticeText("alice").find("alice"), std::string::npos);
    EXPECT_TRUE(holder.replies().empty());
    EXPECT_TRUE(log.contains("EvMMConfigMgr::GetCurrentMediaConfig", "L&DC is force-closed by [alice]"));
    EXPECT_TRUE(
        log.contains("EvMMConfigMgr::GetCurrentMediaConfig", "Force exit Library and Drive Configuration by [alice]"));
  }
}

TEST_F(Session, ANewSessionPutsAFreshInstanceInFrontAndMovesTheHolder) {
  Connection first;
  Connection second;
  ZQMACMediaConfig* a = newSession(first, 1);
  m_clock.advance(10);
  ZQMACMediaConfig* b = newSession(second, 2);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_NE(a, b);
  EXPECT_EQ(cachedInstances(), (std::vector<ZQMACMediaConfig*>{b, a}));
  EXPECT_EQ(EvMMConfigMgr::GetSocketId(), second.socket());
  EXPECT_EQ(EvMMConfigMgr::m_ulUserId.load(), 2u);

  // The first client is force-closed now; the second gets its instance.
  auto old = first.request(3);
  EXPECT_EQ(EvMMConfigMgr::GetCurrentMediaConfig(old.get(), false), nullptr);
  auto current = second.request(4);
  EXPECT_EQ(EvMMConfigMgr::GetCurrentMediaConfig(current.get(), false), b);
}

// Sets an entry's times to those of an entry made at `made`.
void backdate(MediaConfigContainer& entry, testkit::clock::FakeClock& clock, time_t made) {
  const time_t now = clock.now();
  clock.set(made);
  MediaConfigContainer stamp;
  clock.set(now);
  entry = stamp;
}

TEST_F(Session, PruningDropsTheFirstExpiredEntryAndEverythingBehindIt) {
  Connection client;
  ZQMACMediaConfig* c = newSession(client);
  m_clock.advance(10);
  ZQMACMediaConfig* b = newSession(client);
  m_clock.advance(10);
  ZQMACMediaConfig* a = newSession(client);
  ASSERT_EQ(cachedInstances(), (std::vector<ZQMACMediaConfig*>{a, b, c}));
  // B has expired; C, older, has not.
  backdate(*std::next(cache().begin()), m_clock, kStart - 8000);
  EXPECT_LT(std::next(cache().begin())->GetExpiredTimeStamp(), m_clock.now());
  EXPECT_GT(std::prev(cache().end())->GetExpiredTimeStamp(), m_clock.now());

  testkit::debuglog::Capture log;
  m_clock.advance(10);
  ZQMACMediaConfig* d = newSession(client);
  EXPECT_EQ(cachedInstances(), (std::vector<ZQMACMediaConfig*>{d, a}));
  EXPECT_TRUE(log.contains("EvMMConfigMgr::GetCurrentMediaConfig", "the number of old instances = 3."));
  EXPECT_TRUE(log.contains("EvMMConfigMgr::GetCurrentMediaConfig", "Deleted expired instances."));
}

TEST_F(Session, AnEntryExpiringNowIsKeptAndGoesASecondLater) {
  Connection client;
  ZQMACMediaConfig* e = newSession(client);
  m_clock.advance(7200);  // expiry == now
  testkit::debuglog::Capture log;
  ZQMACMediaConfig* n1 = newSession(client);
  EXPECT_EQ(cachedInstances(), (std::vector<ZQMACMediaConfig*>{n1, e}));
  EXPECT_FALSE(log.contains("Deleted expired instances."));

  m_clock.advance(1);
  ZQMACMediaConfig* n2 = newSession(client);
  EXPECT_EQ(cachedInstances(), (std::vector<ZQMACMediaConfig*>{n2, n1}));
  EXPECT_TRUE(log.contains("Deleted expired instances."));
}

TEST_F(Session, UsingAnInstanceKeepsItAlive) {
  Connection holder;
  Connection other;
  ZQMACMediaConfig* used = newSession(holder);
  m_clock.advance(7000);
  // A request of the exempt kind renews the newest instance.
  auto request = other.request(1, kRequestKindExempt);
  ASSERT_EQ(EvMMConfigMgr::GetCurrentMediaConfig(request.get(), false), used);
  m_clock.advance(7000);  // 14,000 s after creation, 7,000 after the last use
  ZQMACMediaConfig* next = newSession(other);
  EXPECT_EQ(cachedInstances(), (std::vector<ZQMACMediaConfig*>{next, used}));
}

TEST_F(Session, ThePruningLogShowsBothTimesEachInItsOwnText) {
  Connection client;
  newSession(client);
  m_clock.advance(3600);
  testkit::debuglog::Capture log;
  newSession(client);

  auto text = [](time_t t) {
    struct tm parts;
    localtime_r(&t, &parts);
    char buffer[64];
    std::strftime(buffer, sizeof buffer, "%a %b %e %H:%M:%S %Y", &parts);
    return std::string(buffer);
  };
  // The new entry first, then the old one; creation and expiry differ.
  const std::string newLine = "Old instance creation timestamp = " + text(kStart + 3600) +
                              ", expired timestamp = " + text(kStart + 3600 + 7200) + ".";
  const std::string oldLine = "Old instance creation timestamp = " + text(kStart) +
                              ", expired timestamp = " + text(kStart + 7200) + ".";
  std::vector<std::string> lines;
  for (const auto& line : log.lines())
    if (line.text.rfind("Old instance creation timestamp", 0) == 0) lines.push_back(line.text);
  EXPECT_EQ(lines, (std::vector<std::string>{newLine, oldLine}));
  EXPECT_NE(text(kStart), text(kStart + 7200));
}

TEST_F(Session, APinnedInstanceOutlivesPruning) {
  Connection client;
  MediaConfigPin pin;
  auto request = client.request(1);
  ZQMACMediaConfig* longOperation = EvMMConfigMgr::GetCurrentMediaConfig(request.get(), true, pin);
  ASSERT_NE(longOperation, nullptr);
  EXPECT_EQ(pin.get(), longOperation);
  m_clock.advance(100);
  ASSERT_NE(newSession(client), nullptr);  // a newer session, unused after this
  m_clock.advance(20000);                  // both have expired now
  testkit::debuglog::Capture log;
  ZQMACMediaConfig* fresh = newSession(client);
  // The newer session is the first expired entry and goes; the pinned one
  // behind it, expired too, stays.
  EXPECT_EQ(cachedInstances(), (std::vector<ZQMACMediaConfig*>{fresh, longOperation}));
  EXPECT_TRUE(log.contains("Kept [1] expired instances that handlers still use."));
  EXPECT_EQ(longOperation->GetModuleMode(), 2) << "still a live instance";

  // Once released, the next new session drops it.
  pin.release();
  EXPECT_FALSE(pin);
  m_clock.advance(1);
  ZQMACMediaConfig* later = newSession(client);
  EXPECT_EQ(cachedInstances(), (std::vector<ZQMACMediaConfig*>{later, fresh}));
}

TEST_F(Session, PinsCountAndOnlyPinCachedInstances) {
  Connection client;
  ZQMACMediaConfig* config = newSession(client);
  {
    MediaConfigPin first(config);
    MediaConfigPin second(config);
    EXPECT_TRUE(first);
    EXPECT_EQ(cache().front().GetPinCount(), 2);
    second.release();
    EXPECT_EQ(cache().front().GetPinCount(), 1);
    EXPECT_TRUE(cache().front().IsPinned());
  }
  EXPECT_FALSE(cache().front().IsPinned());

  ZQMACMediaConfig stranger;
  MediaConfigPin none(&stranger);
  EXPECT_FALSE(none);
  EXPECT_EQ(none.get(), nullptr);
  EXPECT_FALSE(none.pin(nullptr));
  EXPECT_TRUE(none.pin(config));
  EXPECT_EQ(cache().front().GetPinCount(), 1);
}

TEST_F(Session, AForceClosedRequestLeavesItsPinEmpty) {
  Connection holder;
  Connection other;
  ASSERT_NE(newSession(holder), nullptr);
  MediaConfigPin pin(cache().front().GetMediaConfig());
  auto request = other.request(2);
  EXPECT_EQ(EvMMConfigMgr::GetCurrentMediaConfig(request.get(), false, pin), nullptr);
  EXPECT_FALSE(pin) << "the pin given was released first";
  EXPECT_FALSE(cache().front().IsPinned());
}

TEST_F(Session, TheNewestInstanceWithoutTheTest) {
  MediaConfigPin pin;
  EXPECT_EQ(EvMMConfigMgr::GetNewestMediaConfig(pin), nullptr);
  EXPECT_FALSE(pin);
  EXPECT_TRUE(cache().empty()) << "nothing is made";

  Connection holder;
  ZQMACMediaConfig* config = newSession(holder);
  EXPECT_EQ(EvMMConfigMgr::GetNewestMediaConfig(pin), config);
  EXPECT_EQ(pin.get(), config);
  EXPECT_TRUE(cache().front().IsPinned());
}

TEST_F(Session, ManyThreadsShareTheCacheSafely) {
  // Sessions start and requests run on several threads while the clock runs
  // past the instances' lifetime. Instances in use are pinned; any use after
  // pruning would be caught by the address sanitizer.
  constexpr int kThreads = 4;
  constexpr int kRounds = 25;
  std::vector<std::unique_ptr<Connection>> clients;
  for (int i = 0; i < kThreads; ++i) clients.push_back(std::make_unique<Connection>());
  std::atomic<int> handedOut{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      const Connection& me = *clients[static_cast<std::size_t>(t)];
      for (int round = 0; round < kRounds; ++round) {
        MediaConfigPin pin;
        auto request = me.request(round, kRequestKindExempt, static_cast<uint32_t>(t));
        ZQMACMediaConfig* config = EvMMConfigMgr::GetCurrentMediaConfig(request.get(), round % 3 == 0, pin);
        if (config == nullptr) continue;
        ++handedOut;
        m_clock.advance(3000);
        EXPECT_EQ(config->GetModuleMode(), 2);
        EXPECT_EQ(config->GetObjectCount(), 0u);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(handedOut.load(), kThreads * kRounds);
  EXPECT_FALSE(cache().empty());
  for (const auto& entry : cache()) EXPECT_FALSE(entry.IsPinned());
  for (auto& client : clients) client->replies();
}

// ---- cache entries ----

TEST_F(Session, ANewEntryOwnsAFreshInstance) {
  MediaConfigContainer entry;
  ASSERT_NE(entry.GetMediaConfig(), nullptr);
  EXPECT_EQ(entry.GetMediaConfig()->GetModuleMode(), 2);
  EXPECT_EQ(entry.GetCreattionTimeStamp(), kStart);
  EXPECT_EQ(entry.GetExpiredTimeStamp(), kStart + 7200);
  m_clock.advance(50);
  entry.SetExpiredTimeStamp();
  EXPECT_EQ(entry.GetExpiredTimeStamp(), kStart + 50 + 7200);
  EXPECT_EQ(entry.GetCreattionTimeStamp(), kStart);
}

TEST_F(Session, ACopyKeepsTheCreationTimeAndGetsItsOwnEmptyInstance) {
  MediaConfigContainer source;
  testkit::mac::seedWorld(*source.GetMediaConfig());
  ASSERT_GT(source.GetMediaConfig()->GetObjectCount(), 0u);
  source.AddPin();
  m_clock.advance(300);

  MediaConfigContainer copy(source);
  EXPECT_EQ(copy.GetCreattionTimeStamp(), kStart);
  EXPECT_EQ(copy.GetExpiredTimeStamp(), kStart + 300 + 7200);
  ASSERT_NE(copy.GetMediaConfig(), nullptr);
  EXPECT_NE(copy.GetMediaConfig(), source.GetMediaConfig());
  EXPECT_EQ(copy.GetMediaConfig()->GetObjectCount(), 0u);
  EXPECT_EQ(copy.GetMediaConfig()->GetModuleMode(), 2);
  EXPECT_FALSE(copy.IsPinned());
}

TEST_F(Session, AssignmentCopiesTheTimesAndKeepsItsOwnInstance) {
  MediaConfigContainer source;
  m_clock.advance(1000);
  MediaConfigContainer target;
  ZQMACMediaConfig* own = target.GetMediaConfig();
  target.AddPin();
  target = source;
  EXPECT_EQ(target.GetMediaConfig(), own);
  EXPECT_NE(target.GetMediaConfig(), source.GetMediaConfig());
  EXPECT_EQ(target.GetCreattionTimeStamp(), kStart);
  EXPECT_EQ(target.GetExpiredTimeStamp(), kStart + 7200);
  EXPECT_TRUE(target.IsPinned());
  target = target;  // harmless
  EXPECT_EQ(target.GetMediaConfig(), own);
}

// ---- construction and initialisation ----

TEST_F(Session, TheConstructorTriesToOpenTheLogUntilItIsOpen) {
  EvMMConfigMgr::m_bInitLogFile = false;
  testkit::debugfile::failNextOpens(1);
  { EvMMConfigMgr first; }
  EXPECT_FALSE(EvMMConfigMgr::m_bInitLogFile.load());
  { EvMMConfigMgr second; }
  EXPECT_TRUE(EvMMConfigMgr::m_bInitLogFile.load());
  EXPECT_TRUE(EvMMConfigMgr::m_libHandlerLogFileInstance.isOpen());
  { EvMMConfigMgr third; }
  const auto opens = testkit::mac::journal().calls("SetEvDebugFile");
  ASSERT_EQ(opens.size(), 2u) << "no opening once the log is open";
  EXPECT_EQ(opens[0].args, (std::vector<std::string>{"TK_ZQMMInst"}));
  EXPECT_EQ(testkit::debugfile::journal().count("EvDebugFile"), 2u);
}

TEST_F(Session, HandlerObjectsStartWithNoReplyOpen) {
  EvMMConfigMgr handler;
  EXPECT_EQ(handler.replyId(), 0);
  EXPECT_EQ(handler.sequenceNumber(), 0);
  EXPECT_EQ(handler.socket(), nullptr);
  Connection client;
  const CWySocket socket = client.socket();
  handler.begin(11101, 6, &socket, true);
  handler.end(0);
  EXPECT_EQ(client.replies().size(), 1u);
}

TEST_F(Session, InitializeRunsOnceHoweverManyThreadsCallIt) {
  EvMMConfigMgr::m_initialized = false;
  EvMMConfigMgr::SetLastLoginName("bob");
  ZQMACMediaConfig::SetStatusTextFunc(nullptr, 0);
  constexpr int kThreads = 8;
  std::atomic<int> ready{0};
  std::atomic<int> ones{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&] {
      ++ready;
      while (ready.load() < kThreads) std::this_thread::yield();
      if (EvMMConfigMgr::Initialize() == 1) ++ones;
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(ones.load(), kThreads);
  EXPECT_TRUE(EvMMConfigMgr::m_initialized.load());
  EXPECT_EQ(testkit::mountd::journal().count("RegisterSubsystem"), 1u);
  EXPECT_EQ(EvMMConfigMgr::GetLastLoginName(), "");
  EXPECT_EQ(EvMMConfigMgr::Initialize(), 1);
  EXPECT_EQ(testkit::mountd::journal().count("RegisterSubsystem"), 1u);

  // The status callback is registered with type 0.
  Connection holder;
  ASSERT_NE(newSession(holder), nullptr);
  EvMMConfigMgr::SetClientSequenceNumber(3);
  ZQMACMediaConfig::SetStatusText("hello");
  const auto replies = holder.replies();
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].items.at(0).bytes, wordAndText(0, "hello"));
}

TEST_F(Session, LastLoginNameIsKeptWithinItsField) {
  EvMMConfigMgr::SetLastLoginName("carol");
  EXPECT_EQ(EvMMConfigMgr::GetLastLoginName(), "carol");
  EXPECT_STREQ(g_sLastLoginName, "carol");
  const std::string longName(3000, 'n');
  EvMMConfigMgr::SetLastLoginName(longName.c_str());
  EXPECT_EQ(EvMMConfigMgr::GetLastLoginName(), std::string(1024, 'n'));
  EvMMConfigMgr::SetLastLoginName(nullptr);
  EXPECT_EQ(EvMMConfigMgr::GetLastLoginName(), "");
}

}  // namespace
