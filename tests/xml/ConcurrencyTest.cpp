// The library used from many threads at once.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/testkit/xml.h"
#include "platform/xml/CNMessageBase.h"
#include "platform/xml/ZQGuiMessages.h"
#include "tests/xml/TestClasses.h"

using namespace xmltest;

namespace {

constexpr int kThreads = 8;

// Starts `body(i)` on kThreads threads released together.
template <typename Body>
void runTogether(Body body) {
  std::atomic<int> ready{0};
  std::atomic<bool> go{false};
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      ready.fetch_add(1);
      while (!go.load()) std::this_thread::yield();
      body(i);
    });
  }
  while (ready.load() < kThreads) std::this_thread::yield();
  go.store(true);
  for (std::thread& t : threads) t.join();
}

TEST(XmlConcurrency, InitializeFromEightThreadsAtOnce) {
  testkit::xml::Scope scope;
  std::vector<int> results(kThreads, -1);
  runTogether([&](int i) { results[static_cast<size_t>(i)] = CNMessageBase::Initialize(); });
  for (int rc : results) EXPECT_EQ(rc, 0);
  int initializeCalls = 0;
  for (const auto& record : testkit::xml::journal()) {
    if (record.call == testkit::xml::Call::Initialize) ++initializeCalls;
  }
  EXPECT_EQ(initializeCalls, kThreads);
}

TEST(XmlConcurrency, ReadingWritingAndMismatchesFromEightThreads) {
  testkit::xml::Scope scope;
  std::atomic<int> failures{0};
  constexpr int kRounds = 40;
  runTogether([&](int thread) {
    for (int round = 0; round < kRounds; ++round) {
      CNMessageBase m(kNs, kOuter);
      fillAll(m, 2, thread * 100 + round);
      std::string text;
      if (m.serialize(text) != 0) ++failures;
      CNMessageBase back(kNs, kOuter);
      if (back.unserialize(text) != 0 || !(back == m)) ++failures;
      ZQGui::GenericResp r;
      r.getint64(3, 0x010003F0, 0x9CB015);  // one wrong tag per round
    }
  });
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(testkit::xml::mismatchCount(), kThreads * kRounds);
}

}  // namespace
