// The library listings under the fault sweep: a session loaded from the
// demonstration installation in the database, then each listing request
// made once for every platform call failing in turn. Every run must end
// with the listing's reply on the client's socket (a failure status when
// the reply cannot be begun; nothing when the failed call was the write of
// the reply) and leave the database as it was: a listing
// changes nothing.
#include <gtest/gtest.h>

#include <string>

#include "platform/mac/ZQMACPlatform.h"
#include "tests/mmconfig_libraries/LibrariesFixture.h"
#include "tests/support/DatabaseSession.h"
#include "tests/support/FaultSweep.h"

namespace {

using libtest::Connection;

class ListingFaultSweep : public ::testing::Test {
 protected:
  void SetUp() override {
    libtest::resetStandIns();
    testkit::mac::reset();
    std::string report;
    ASSERT_GT(tkmac::seedDemoInstallation(report), 0) << report;
  }
  void TearDown() override {
    tktest::resetSessionState();
    testkit::mac::reset();
    libtest::resetStandIns();
  }

  // A new session of client A on the configuration stored in the database;
  // the handles of its tape and disk library.
  void freshSession() {
    libtest::resetStandIns();
    tktest::resetSessionState();
    ZQMACMediaConfig* config = tktest::openDatabaseSession(m_a, kUser);
    ASSERT_NE(config, nullptr);
    ZQMACLms* tape = config->GetLmsList().GetFirstNode();
    ZQMACMagLib* disk = config->GetMagLibList().GetFirstNode();
    ASSERT_NE(tape, nullptr);
    ASSERT_NE(disk, nullptr);
    m_tapeHandle = config->GetHandle(tape);
    m_diskHandle = config->GetHandle(disk);
    m_a.replies();
  }

  // The sweep of one listing request; `handle` picks the object of a
  // property request (null for the whole listing).
  tktest::SweepReport sweep(const unsigned long long* handle) {
    tktest::SweepPlan plan;
    size_t cleanItems = 0;
    plan.setup = [&] { freshSession(); };
    plan.request = [&] {
      auto request = m_a.request(libtest::kSequence, 0, kUser);
      if (handle == nullptr) {
        m_mgr.onMsgGetMMLibraries(request.get());
      } else {
        request->objectHandle = *handle;
        m_mgr.onMsgGetMMLibraryProperties(request.get());
      }
    };
    plan.check = [&](const tktest::SweepRun& run) -> std::string {
      const std::vector<tkwire::Reply> replies = m_a.replies();
      const tkwire::Reply* listing = nullptr;
      for (const tkwire::Reply& reply : replies)
        if (reply.messageId == libtest::kReplyLibraries) listing = &reply;
      // A reply that cannot be begun is answered with a failure status.
      if (listing == nullptr) return tktest::answeredOnSocket(replies, run);
      if (listing->sequence != libtest::kSequence) return "the listing answers another request";
      if (run.k == 0) {
        cleanItems = listing->items.size();
        if (cleanItems == 0) return "the clean run listed nothing";
      } else if (listing->items.size() > cleanItems) {
        return "a failing run listed more than the clean one";
      }
      return "";
    };
    return tktest::FaultSweep().run(plan);
  }

  static constexpr uint32_t kUser = 7;
  tktest::TestDatabase m_db;
  Connection m_a;
  EvMMConfigMgr m_mgr;
  unsigned long long m_tapeHandle = 0;
  unsigned long long m_diskHandle = 0;
};

TEST_F(ListingFaultSweep, EveryFailingCallOfAListingEndsWithItsReplyAndChangesNothing) {
  {
    SCOPED_TRACE("all libraries");
    const tktest::SweepReport report = sweep(nullptr);
    EXPECT_TRUE(report.clean()) << report;
  }
  {
    SCOPED_TRACE("tape library properties");
    const tktest::SweepReport report = sweep(&m_tapeHandle);
    EXPECT_TRUE(report.clean()) << report;
  }
  {
    SCOPED_TRACE("disk library properties");
    const tktest::SweepReport report = sweep(&m_diskHandle);
    EXPECT_TRUE(report.clean()) << report;
  }
}

}  // namespace
