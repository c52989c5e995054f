// The configuration session: the cache of media-configuration instances, the
// force-close rule, pruning, pins, cache entries, the handler class's
// construction and the one-time initialisation.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <ctime>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "frame/MediaConfigContainer.h"
#include "frame/mac/ZQMACMediaConfig.h"
#include "platform/testkit/clock.h"
#include "platform/testkit/debuglog.h"
#include "tests/support/FrameSession.h"

namespace {

using tktest::Connection;
using tktest::tagsOf;
using tktest::wordAndText;
using Instances = std::vector<ZQMACMediaConfig*>;

constexpr time_t kStart = 1'700'000'000;

class Session : public tktest::SessionTest {
 protected:
  static std::list<MediaConfigContainer>& cache() { return EvMMConfigMgr::m_tMediaConfigList; }
  static Instances cachedInstances() {
    Instances out;
    EvMMConfigMgr::SessionLock lock;
    for (const auto& entry : cache()) out.push_back(entry.GetMediaConfig());
    return out;
  }
  // A new session for the client at the clock's time.
  static ZQMACMediaConfig* newSession(const Connection& client, uint32_t userId = 1) {
    return EvMMConfigMgr::GetCurrentMediaConfig(client.request(1, 0, userId).get(), true);
  }
  static void setHolderSocket(const Connection& client) {
    EvMMConfigMgr::SessionLock lock;
    EvMMConfigMgr::m_socketId = client.socket();
  }

  testkit::clock::FakeClock m_clock{kStart};
};

TEST_F(Session, TheHolderOnAnEmptyCacheGetsANewInstanceThenTheSameOneRenewed) {
  {
    testkit::reply::Recorder recorder;
    EXPECT_EQ(EvMMConfigMgr::GetCurrentMediaConfig(nullptr, false), nullptr);
    EXPECT_EQ(EvMMConfigMgr::GetCurrentMediaConfig(nullptr, true), nullptr);
    EXPECT_TRUE(recorder.replies().empty()) << "a null request gets nothing";
    EXPECT_TRUE(cache().empty());
  }
  Connection holder;
  setHolderSocket(holder);
  auto request = holder.request(5, 0, 17);
  ZQMACMediaConfig* config = EvMMConfigMgr::GetCurrentMediaConfig(request.get(), false);
  ASSERT_NE(config, nullptr);
  EXPECT_EQ(config->GetModuleMode(), 2);
  EXPECT_EQ(cache().size(), 1u);
  EXPECT_EQ(cache().front().GetCreattionTimeStamp(), kStart);
  EXPECT_EQ(cache().front().GetExpiredTimeStamp(), kStart + 7200);
  EXPECT_EQ(EvMMConfigMgr::m_ulUserId.load(), 17u);

  m_clock.advance(600);
  EXPECT_EQ(EvMMConfigMgr::GetCurrentMediaConfig(request.get(), false), config);
  EXPECT_EQ(cache().size(), 1u);
  EXPECT_EQ(cache().front().GetExpiredTimeStamp(), kStart + 600 + 7200);
  EXPECT_EQ(cache().front().GetCreattionTimeStamp(), kStart);
  EXPECT_TRUE(holder.replies().empty());
}

TEST_F(Session, TheExemptKindGetsTheNewestOrStartsASessionOnAnEmptyCache) {
  Connection holder;
  Connection other;
  // On an empty cache: a new instance, whose client becomes the holder.
  setHolderSocket(holder);
  auto request = other.request(9, kRequestKindExempt, 44);
  ZQMACMediaConfig* config = EvMMConfigMgr::GetCurrentMediaConfig(request.get(), false);
  ASSERT_NE(config, nullptr);
  EXPECT_EQ(cachedInstances(), Instances{config});
  EXPECT_EQ(EvMMConfigMgr::GetSocketId(), other.socket());
  EXPECT_EQ(EvMMConfigMgr::m_ulUserId.load(), 44u);

  // With a session: the newest instance, the holder left alone.
  ZQMACMediaConfig* held = newSession(holder, 3);
  ASSERT_NE(held, nullptr);
  EXPECT_EQ(EvMMConfigMgr::GetCurrentMediaConfig(request.get(), false), held);
  EXPECT_EQ(EvMMConfigMgr::GetSocketId(), holder.socket());
  EXPECT_EQ(EvMMConfigMgr::m_ulUserId.load(), 3u);
  EXPECT_TRUE(other.replies().empty());
}

TEST_F(Session, AnotherClientIsForceClosed) {
  enum class Setup { HolderWithSession, HolderSocketOnly, NothingSinceLoad };
  const struct {
    const char* name;
    Setup setup;
    uint32_t requestKind;
    // The login that forced the lock last; empty: nobody forced it.
    const char* forcedBy;
  } cases[] = {
      {"kind 15 with a session", Setup::HolderWithSession, 15, "alice"},
      {"kind 15 on an empty cache", Setup::HolderSocketOnly, 15, "alice"},
      {"kind 0 with a session", Setup::HolderWithSession, 0, "alice"},
      {"nothing locked since load", Setup::NothingSinceLoad, 0, "alice"},
      // Nobody ever held the configuration: the notice names nobody, and
      // says that nobody holds it, with the same reply and code.
      {"nobody held it since load", Setup::NothingSinceLoad, 0, ""},
  };
  const std::string named = tktest::catalogueText(0x240002FA, "alice");
  EXPECT_NE(named.find("alice"), std::string::npos);
  const std::string nobody = tktest::catalogueText(0x24000F04);
  EXPECT_EQ(nobody, "Library and Drive Configuration is not open: nobody holds the configuration.");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    tktest::resetSessionState();
    Connection holder;
    Connection other;
    if (c.setup == Setup::HolderWithSession) {
      ASSERT_NE(newSession(holder), nullptr);
    }
    if (c.setup == Setup::HolderSocketOnly) setHolderSocket(holder);
    EvMMConfigMgr::SetLastLoginName(c.forcedBy);
    const std::size_t before = cache().size();
    testkit::debuglog::Capture log;

    auto request = other.request(0x0009000000000031LL, c.requestKind);
    EXPECT_EQ(EvMMConfigMgr::GetCurrentMediaConfig(request.get(), false), nullptr);

    EXPECT_EQ(cache().size(), before) << "no instance is made for a force-closed client";
    if (c.setup != Setup::NothingSinceLoad) {
      EXPECT_EQ(EvMMConfigMgr::GetSocketId(), holder.socket());
    }
    const bool nobodyHeld = *c.forcedBy == '\0';
    const auto replies = other.replies();
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].messageId, 11055u);
    EXPECT_EQ(replies[0].sequence, 0x0009000000000031LL);
    ASSERT_EQ(tagsOf(replies[0]), std::vector<uint32_t>{11102});
    EXPECT_EQ(replies[0].items[0].bytes, wordAndText(4, nobodyHeld ? nobody : named));
    EXPECT_TRUE(holder.replies().empty());
    if (nobodyHeld) {
      EXPECT_TRUE(log.contains("EvMMConfigMgr::GetCurrentMediaConfig", "L&DC is not open: nobody holds the configuration."));
      EXPECT_FALSE(log.contains("EvMMConfigMgr::GetCurrentMediaConfig", "L&DC is force-closed by []"));
      continue;
    }
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
  EXPECT_EQ(cachedInstances(), (Instances{b, a}));
  EXPECT_EQ(EvMMConfigMgr::GetSocketId(), second.socket());
  EXPECT_EQ(EvMMConfigMgr::m_ulUserId.load(), 2u);
  // The first client is force-closed now; the second gets its instance.
  EXPECT_EQ(EvMMConfigMgr::GetCurrentMediaConfig(first.request(3).get(), false), nullptr);
  EXPECT_EQ(EvMMConfigMgr::GetCurrentMediaConfig(second.request(4).get(), false), b);
}

TEST_F(Session, PruningDropsTheFirstExpiredEntryAndEverythingBehindItThatIsNotPinned) {
  Connection client;
  ZQMACMediaConfig* c = newSession(client);
  MediaConfigPin inUse(c);  // keeps C where pruning would drop it
  m_clock.advance(10);
  ZQMACMediaConfig* b = newSession(client);
  m_clock.advance(10);
  ZQMACMediaConfig* a = newSession(client);
  ASSERT_EQ(cachedInstances(), (Instances{a, b, c}));
  // B has expired (its times are those of an entry made 8,000 s before the
  // start); C, older, has not.
  m_clock.set(kStart - 8000);
  MediaConfigContainer stamp;
  m_clock.set(kStart + 20);
  *std::next(cache().begin()) = stamp;
  EXPECT_LT(std::next(cache().begin())->GetExpiredTimeStamp(), m_clock.now());
  EXPECT_GT(std::prev(cache().end())->GetExpiredTimeStamp(), m_clock.now());

  testkit::debuglog::Capture log;
  m_clock.advance(10);
  ZQMACMediaConfig* d = newSession(client);
  EXPECT_EQ(cachedInstances(), (Instances{d, a, c}));
  EXPECT_TRUE(log.contains("EvMMConfigMgr::GetCurrentMediaConfig", "the number of old instances = 3."));
  EXPECT_TRUE(log.contains("EvMMConfigMgr::GetCurrentMediaConfig", "Deleted expired instances."));
  inUse.release();
  m_clock.advance(1);
  ZQMACMediaConfig* e = newSession(client);
  EXPECT_EQ(cachedInstances(), (Instances{e, d}));
}

TEST_F(Session, AnEntryExpiringNowIsKeptAndGoesASecondLater) {
  Connection client;
  ZQMACMediaConfig* e = newSession(client);
  m_clock.advance(7200);  // expiry == now
  testkit::debuglog::Capture log;
  ZQMACMediaConfig* n1 = newSession(client);
  EXPECT_EQ(cachedInstances(), (Instances{n1, e}));
  EXPECT_FALSE(log.contains("Deleted expired instances."));

  m_clock.advance(1);
  ZQMACMediaConfig* n2 = newSession(client);
  EXPECT_EQ(cachedInstances(), (Instances{n2, n1}));
  EXPECT_TRUE(log.contains("Deleted expired instances."));
}

TEST_F(Session, UsingAnInstanceKeepsItAlive) {
  Connection holder;
  Connection other;
  ZQMACMediaConfig* used = newSession(holder);
  m_clock.advance(7000);
  // A request of the exempt kind renews the newest instance.
  ASSERT_EQ(EvMMConfigMgr::GetCurrentMediaConfig(other.request(1, kRequestKindExempt).get(), false), used);
  m_clock.advance(7000);  // 14,000 s after creation, 7,000 after the last use
  ZQMACMediaConfig* next = newSession(other);
  EXPECT_EQ(cachedInstances(), (Instances{next, used}));
}

TEST_F(Session, PruningLogsBothTimesOfEachEntryItDropsAndNothingOfThoseItKeeps) {
  Connection client;
  newSession(client);
  m_clock.advance(3600);
  ZQMACMediaConfig* kept = newSession(client);
  m_clock.advance(3700);  // the first entry has expired, the second has not
  testkit::debuglog::Capture log;
  ZQMACMediaConfig* fresh = newSession(client);  // drops the first, keeps the second

  auto text = [](time_t t) {
    struct tm parts;
    localtime_r(&t, &parts);
    char buffer[64];
    std::strftime(buffer, sizeof buffer, "%a %b %e %H:%M:%S %Y", &parts);
    return std::string(buffer);
  };
  auto line = [&](time_t made) {
    return "Old instance creation timestamp = " + text(made) + ", expired timestamp = " + text(made + 7200) + ".";
  };
  std::vector<std::string> lines;
  for (const auto& l : log.lines())
    if (l.text.rfind("Old instance creation timestamp", 0) == 0) lines.push_back(l.text);
  EXPECT_EQ(lines, (std::vector<std::string>{line(kStart)}));
  EXPECT_NE(text(kStart), text(kStart + 7200));
  EXPECT_EQ(cachedInstances(), (Instances{fresh, kept}));
}

TEST_F(Session, AnInstanceBehindTheOneJustSupersededIsFreedUnlessPinned) {
  // Every request is handed the newest instance: the one just superseded
  // stays for whoever was told of its end, and behind it nobody but a
  // handler that pinned one reaches an instance any more, whether its
  // session ended (unlock, force, its holder gone) or its holder moved on.
  enum class End { Terminated, HolderGone };
  for (End end : {End::Terminated, End::HolderGone}) {
    SCOPED_TRACE(end == End::Terminated ? "terminated" : "holder gone");
    tktest::resetSessionState();
    // Ends the session of the holder `client` with the instance `config`.
    auto endSession = [end](const Connection& client, ZQMACMediaConfig* config) {
      if (end == End::Terminated) {
        config->SetTerminateFlag(true);
      } else {
        EvMMConfigMgr::ConnectionClosed(client.socket());
      }
    };
    Connection first;
    Connection second;
    ZQMACMediaConfig* superseded = newSession(second);
    ZQMACMediaConfig* ended = newSession(first);
    endSession(first, ended);
    EXPECT_EQ(cachedInstances(), (Instances{ended, superseded}));
    ZQMACMediaConfig* n1 = newSession(second);
    EXPECT_EQ(cachedInstances(), (Instances{n1, ended}));
    ZQMACMediaConfig* n2 = newSession(second);
    EXPECT_EQ(cachedInstances(), (Instances{n2, n1}));

    // Pinned, it stays until the pin goes and a new one comes. A closing
    // holder's instances behind the newest go at once.
    MediaConfigPin pin(n2);
    endSession(second, n2);
    EXPECT_EQ(cachedInstances(), end == End::Terminated ? (Instances{n2, n1}) : (Instances{n2}));
    ZQMACMediaConfig* n3 = newSession(first);
    ZQMACMediaConfig* n4 = newSession(first);
    EXPECT_EQ(cachedInstances(), (Instances{n4, n3, n2}));
    pin.release();
    ZQMACMediaConfig* n5 = newSession(first);
    EXPECT_EQ(cachedInstances(), (Instances{n5, n4}));
  }
}

TEST_F(Session, OneClientRenewingItsInstanceForEverKeepsTwoAndOneOnceItHasGone) {
  Connection other;
  ASSERT_NE(newSession(other), nullptr);
  Connection client;
  for (int i = 0; i < 1000; ++i) ASSERT_NE(newSession(client), nullptr);
  EXPECT_EQ(cache().size(), 2u);
  // The other client's instance went long ago, and its address may have
  // been given to one of the client's since: the owner says whose each is.
  for (const auto& entry : cache()) EXPECT_EQ(entry.GetOwner(), client.socket());
  ZQMACMediaConfig* newest = cache().front().GetMediaConfig();

  testkit::debuglog::Capture log;
  EvMMConfigMgr::ConnectionClosed(client.socket());
  EXPECT_EQ(cachedInstances(), Instances{newest}) << "the one just superseded is freed with its client";
  EXPECT_TRUE(cache().front().IsSessionEnded());
  EXPECT_TRUE(log.contains("EvMMConfigMgr::GetCurrentMediaConfig",
                           "The connection " + std::to_string(static_cast<int>(client.socket().GetSocketDescriptor())) +
                               " has closed: [2] of its instances ended, [1] freed, [1] instances cached."));
}

TEST_F(Session, AClosingConnectionEndsEveryInstanceMadeForItAndLeavesOthersAlone) {
  Connection first;
  Connection second;
  ZQMACMediaConfig* a = newSession(first);
  MediaConfigPin inUse(a);
  ZQMACMediaConfig* b = newSession(second);
  ZQMACMediaConfig* c = newSession(first);
  ASSERT_EQ(cachedInstances(), (Instances{c, b, a}));

  // The second client is no longer the holder; its instance goes with it,
  // the first client's stay, the pinned one too.
  EvMMConfigMgr::ConnectionClosed(second.socket());
  EXPECT_EQ(cachedInstances(), (Instances{c, a}));
  EXPECT_EQ(EvMMConfigMgr::GetSocketId(), first.socket());
  EXPECT_FALSE(cache().front().IsSessionEnded());

  // The holder goes: both its instances end, the newest stays, the pinned
  // one stays until it is released and a new session comes.
  EvMMConfigMgr::ConnectionClosed(first.socket());
  EXPECT_EQ(cachedInstances(), (Instances{c, a}));
  for (const auto& entry : cache()) EXPECT_TRUE(entry.IsSessionEnded());
  EXPECT_FALSE(EvMMConfigMgr::GetSocketId().IsValid());
  inUse.release();
  Connection third;
  ZQMACMediaConfig* d = newSession(third);
  ZQMACMediaConfig* e = newSession(third);
  EXPECT_EQ(cachedInstances(), (Instances{e, d}));
}

TEST_F(Session, AHolderWhoseConnectionClosedIsNeverMatchedByALaterClientOnTheSameDescriptor) {
  auto holder = std::make_unique<Connection>();
  ZQMACMediaConfig* config = newSession(*holder, 5);
  ASSERT_NE(config, nullptr);
  EvMMConfigMgr::m_ulLockedMMConfig = 1;
  const CWySocket number = holder->socket();
  // The host tells the library, then closes the descriptor.
  EvMMConfigMgr::ConnectionClosed(number);
  EXPECT_FALSE(EvMMConfigMgr::GetSocketId().IsValid());
  holder.reset();

  // A new client on the very same descriptor number.
  Connection later;
  ASSERT_EQ(::dup2(later.socket().GetSocketDescriptor(), number.GetSocketDescriptor()),
            static_cast<int>(number.GetSocketDescriptor()));
  auto request = later.request(0x44, 0, 6);
  request->socket = number;
  EvMMConfigMgr::SetLastLoginName("alice");
  EXPECT_EQ(EvMMConfigMgr::GetCurrentMediaConfig(request.get(), false), nullptr) << "not the holder's session";
  const auto replies = later.replies();
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].messageId, 11055u);
  EXPECT_EQ(replies[0].items.at(0).bytes, wordAndText(4, tktest::catalogueText(0x240002FA, "alice")));
  // The lock stays held, by nobody reachable, until it is forced; the status
  // callbacks no longer go to that descriptor number.
  EXPECT_EQ(EvMMConfigMgr::m_ulLockedMMConfig.load(), 1u);
  CWySocket out(123);
  EXPECT_EQ(EvMMConfigMgr::GetSocket(&out), 1);
  EXPECT_FALSE(out.IsValid());
  EvMMConfigMgr::SetClientSequenceNumber(3);
  ZQMACMediaConfig::SetStatusTextFunc(::sendStatusResponse, 0);
  ZQMACMediaConfig::SetStatusText("for the holder only");
  EXPECT_TRUE(later.replies().empty());
  ::close(static_cast<int>(number.GetSocketDescriptor()));

  // A connection that was not the holder's changes nothing.
  Connection holderAgain;
  ASSERT_NE(newSession(holderAgain), nullptr);
  Connection bystander;
  EvMMConfigMgr::ConnectionClosed(bystander.socket());
  EvMMConfigMgr::ConnectionClosed(CWySocket());
  EXPECT_EQ(EvMMConfigMgr::GetSocketId(), holderAgain.socket());
}

TEST_F(Session, APinnedInstanceOutlivesPruning) {
  Connection client;
  MediaConfigPin pin;
  ZQMACMediaConfig* longOperation = EvMMConfigMgr::GetCurrentMediaConfig(client.request(1).get(), true, pin);
  ASSERT_NE(longOperation, nullptr);
  EXPECT_EQ(pin.get(), longOperation);
  m_clock.advance(100);
  ASSERT_NE(newSession(client), nullptr);  // a newer session, unused after this
  m_clock.advance(20000);                  // both have expired now
  testkit::debuglog::Capture log;
  ZQMACMediaConfig* fresh = newSession(client);
  // The newer session is the first expired entry and goes; the pinned one
  // behind it, expired too, stays.
  EXPECT_EQ(cachedInstances(), (Instances{fresh, longOperation}));
  EXPECT_TRUE(log.contains("Kept [1] expired instances that handlers still use."));
  EXPECT_EQ(longOperation->GetModuleMode(), 2) << "still a live instance";

  // Once released, the next new session drops it.
  pin.release();
  EXPECT_FALSE(pin);
  m_clock.advance(1);
  ZQMACMediaConfig* later = newSession(client);
  EXPECT_EQ(cachedInstances(), (Instances{later, fresh}));
}

TEST_F(Session, PinsCountOnlyPinCachedInstancesAndAreEmptiedByAForceClose) {
  // The newest instance without the force-close test: none on an empty cache.
  MediaConfigPin newest;
  EXPECT_EQ(EvMMConfigMgr::GetNewestMediaConfig(newest), nullptr);
  EXPECT_FALSE(newest);
  EXPECT_TRUE(cache().empty()) << "nothing is made";

  Connection client;
  ZQMACMediaConfig* config = newSession(client);
  EXPECT_EQ(EvMMConfigMgr::GetNewestMediaConfig(newest), config);
  EXPECT_EQ(newest.get(), config);
  EXPECT_EQ(cache().front().GetPinCount(), 1);
  newest.release();
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

  // A force-closed request: the pin given is released first.
  Connection other;
  EXPECT_EQ(EvMMConfigMgr::GetCurrentMediaConfig(other.request(2).get(), false, none), nullptr);
  EXPECT_FALSE(none);
  EXPECT_FALSE(cache().front().IsPinned());
}

TEST_F(Session, ManyThreadsShareTheCacheSafely) {
  // Sessions start and requests run on several threads while the clock runs
  // past the instances' lifetime; requests that only read share the session
  // lock. Instances in use are pinned; any use after pruning would be caught
  // by the address sanitizer.
  constexpr int kThreads = 4;
  constexpr int kRounds = 25;
  std::vector<Connection> clients(kThreads);
  std::atomic<int> handedOut{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < kRounds; ++round) {
        MediaConfigPin pin;
        auto request = clients[static_cast<std::size_t>(t)].request(round, kRequestKindExempt, static_cast<uint32_t>(t));
        ZQMACMediaConfig* config = EvMMConfigMgr::GetCurrentMediaConfig(request.get(), round % 3 == 0, pin);
        if (config == nullptr) continue;
        ++handedOut;
        // The other ways in that share the session lock: pinning an
        // instance in hand, and the newest one.
        MediaConfigPin again(config);
        MediaConfigPin newestPin;
        ZQMACMediaConfig* newest = EvMMConfigMgr::GetNewestMediaConfig(newestPin);
        m_clock.advance(3000);
        EXPECT_EQ(config->GetModuleMode(), 2);
        EXPECT_EQ(config->GetObjectCount(), 0u);
        if (newest != nullptr) {
          EXPECT_EQ(newest->GetModuleMode(), 2);
        }
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(handedOut.load(), kThreads * kRounds);
  EXPECT_FALSE(cache().empty());
  for (const auto& entry : cache()) EXPECT_FALSE(entry.IsPinned());
}

// ---- cache entries ----

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
  const MediaConfigContainer& self = target;
  target = self;  // harmless
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
  EvMMConfigMgr::SetLastLoginName(std::string(3000, 'n').c_str());
  EXPECT_EQ(EvMMConfigMgr::GetLastLoginName(), std::string(1024, 'n'));
  EvMMConfigMgr::SetLastLoginName(nullptr);
  EXPECT_EQ(EvMMConfigMgr::GetLastLoginName(), "");
}

}  // namespace
