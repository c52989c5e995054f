// The library request end to end: the real tkhost on a database seeded with
// the demonstration installation, reached over its socket. A console lists
// the libraries, turns on the tape library's door lock and sets its drive
// count, and the next listing of the same session shows both.
#include <gtest/gtest.h>

#include <unistd.h>

#include "tests/mmconfig_librarychanges/LibraryChangesFixture.h"
#include "tests/support/HostHarness.h"

namespace {

class HostLibraryChanges : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_host.up()) << m_host.log(); }

  tktest::TempDir m_dir;
  hosttest::Host m_host{m_dir, m_dir.file("host.sock"), {"--seed-demo"},
                        {{"TK_LOCK_DIR", m_dir.file("locks")}, {"TK_LOG_DIR", m_dir.file("log")}}};
};

TEST_F(HostLibraryChanges, AConsoleChangesTheTapeLibraryAndTheNextListingShowsIt) {
  const int a = m_host.connect();
  ASSERT_GE(a, 0);
  // The console takes the configuration lock, which opens its session.
  ASSERT_TRUE(hosttest::takeLock(a));

  const auto listing = hosttest::sendAndRead(a, hosttest::streamFrame("onMsgGetMMLibraries", 4), 40);
  ASSERT_EQ(listing.size(), 1u);
  const tkwire::Item* handle = listing[0].find(11003);
  ASSERT_NE(handle, nullptr);

  std::string stream;
  tkwire::appendU32(stream, 4001, 3);
  tkwire::appendU64(stream, 11003, handle->u64());
  tkwire::appendU32(stream, 11164, 1);
  tkwire::appendU32(stream, 11009, 8);
  tkwire::appendU32(stream, 2052, 0);
  tkwire::appendU32(stream, 4001, 7);
  tkwire::appendU32(stream, 2052, 0);
  tkwire::StreamRequest change;
  change.handler = "onMsgSetMMLibrary";
  change.sequence = 2;
  change.firstField = tkwire::firstFieldOf(0, 7);
  change.stream = stream;
  const auto replies = hosttest::sendAndRead(a, tkwire::encodeStreamRequest(change), 40);
  EXPECT_EQ(libtest::messagesOf(replies, 2),
            (std::vector<libtest::Message>{libtest::operationResponse(3, 1, "Success"),
                                           libtest::statusReply(0, "Received invalid operation type")}));

  const auto after = hosttest::sendAndRead(a, hosttest::streamFrame("onMsgGetMMLibraries", 5), 40);
  ASSERT_EQ(after.size(), 1u);
  const tkwire::Item* doorLock = after[0].find(11164);
  ASSERT_NE(doorLock, nullptr);
  EXPECT_EQ(doorLock->u32(), 1u);
  ::close(a);
}

}  // namespace
