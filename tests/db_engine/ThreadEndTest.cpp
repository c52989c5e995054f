// A thread that ends with a transaction still open: its connection, kept
// for the threads that come next, must not carry the transaction to them.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "platform/db/DBSession.h"
#include "platform/testkit/db.h"
#include "tests/support/TestDatabase.h"

namespace {

class ThreadEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    // A wait on the lock the ended thread left behind fails fast.
    testkit::db::setBusyTimeoutMs(300);
    ASSERT_EQ(m_db.exec("CREATE TABLE \"left\" (\"name\" TEXT)"), 0);
  }
  tktest::TestDatabase m_db;
};

TEST_F(ThreadEnd, AThreadEndingAfterBeginWithoutCommitLeavesNoTransactionAndNoRowsToTheNextThreads) {
  const char* begins[] = {"BEGIN IMMEDIATE", "BEGIN", "SAVEPOINT unfinished"};
  for (const char* begin : begins) {
    SCOPED_TRACE(begin);
    std::thread([begin] {
      tkdb::Session session;
      EXPECT_EQ(session.exec(std::string(begin) + "; INSERT INTO \"left\" VALUES ('uncommitted')"), 0);
      EXPECT_TRUE(tkdb::threadTransactionOpen());
    }).join();
    // More threads than connections are kept: each may take over the
    // ended thread's connection.
    for (int next = 0; next < 3; ++next) {
      SCOPED_TRACE(next);
      std::thread([] {
        EXPECT_FALSE(tkdb::threadTransactionOpen());
        tkdb::Session session;
        tkdb::DbRow row;
        ASSERT_EQ(session.queryOne("SELECT COUNT(*) FROM \"left\"", {}, row), 0);
        EXPECT_EQ(row[0].i, 0);
        // Nobody holds the write lock any more.
        EXPECT_EQ(session.atomically([&] { return session.exec("DELETE FROM \"left\""); }), 0);
      }).join();
    }
    EXPECT_EQ(m_db.scalar("SELECT COUNT(*) FROM \"left\""), 0);
  }
}

}  // namespace
