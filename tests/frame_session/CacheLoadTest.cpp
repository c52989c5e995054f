// The cache of media-configuration instances under a console that locks and
// unlocks again and again: it stays flat, so a lock costs the same and the
// host's memory stays where it was however long the console goes on.
#include <gtest/gtest.h>

#include <memory>

#include "frame/mac/ZQMACMediaConfig.h"
#include "platform/testkit/focus.h"
#include "platform/testkit/mac.h"
#include "tests/support/FrameSession.h"
#include "tests/support/TestDatabase.h"

namespace {

using tktest::Connection;

std::size_t cacheSize() {
  EvMMConfigMgr::SessionLock lock;
  return EvMMConfigMgr::m_tMediaConfigList.size();
}

class CacheLoad : public tktest::SessionTest {
 protected:
  void SetUp() override {
    EvMMConfigMgr::Initialize();
    tktest::SessionTest::SetUp();
    testkit::focus::setFocus("site-a");
    m_loader = std::make_unique<testkit::mac::ScopedLoader>(testkit::mac::worldLoader());
  }
  void TearDown() override {
    m_loader.reset();
    testkit::focus::reset();
    tktest::SessionTest::TearDown();
  }

  // One element-stream lock operation of `client`; the status it answered.
  uint32_t lock(const Connection& client, uint32_t operation) {
    auto request = client.request(100);
    request->firstWord = 2;
    request->elementCount = operation;
    m_mgr.LockMMConfiguration(request.get(), 1000, true);
    const tktest::Status status = tktest::onlyStatus(client.replies()).value_or(tktest::Status{});
    EXPECT_TRUE(status.status == 1) << status.text;
    return status.status;
  }

  tktest::TestDatabase m_db;
  std::unique_ptr<testkit::mac::ScopedLoader> m_loader;
  EvMMConfigMgr m_mgr;
};

TEST_F(CacheLoad, AThousandLockUnlockPairsLeaveTheCacheFlat) {
  Connection console;
  Connection other;
  constexpr int kPairs = 1000;
  for (int i = 0; i < kPairs; ++i) {
    ASSERT_EQ(lock(console, EvMMConfigMgr::kLockOpLock), 1u) << "pair " << i;
    ASSERT_EQ(lock(console, EvMMConfigMgr::kLockOpUnlockNoCheck), 1u) << "pair " << i;
    ASSERT_LE(cacheSize(), 2u) << "after pair " << i;
  }
  EXPECT_EQ(cacheSize(), 2u) << "the last session's instance and the one before it";

  // Force locks back and forth free the instances they force out as well.
  for (int i = 0; i < 100; ++i) {
    ASSERT_EQ(lock(i % 2 == 0 ? other : console, EvMMConfigMgr::kLockOpForceLock), 1u) << "force " << i;
    ASSERT_LE(cacheSize(), 2u) << "after force " << i;
  }
}

}  // namespace
