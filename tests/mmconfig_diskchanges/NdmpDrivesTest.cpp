// NDMP drives through the drive request on the stored installation: probing
// a server for a drive (reply 11133) and adding a drive path with its drive
// and pool, stored in one change and found again by the next session.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/testkit/ndmpdetect.h"
#include "tests/mmconfig_diskchanges/StoredSession.h"

namespace {

using libtest::Message;
using libtest::operationResponse;
using libtest::text;
using tktest::le32;
using Answers = std::vector<Message>;



class NdmpDrives : public disktest::StoredSession {
 protected:
  void SetUp() override {
    StoredSession::SetUp();
    freshSession();
  }
  void freshSession() override {
    StoredSession::freshSession();
    ZQMACGraph::SetDriveVendors(*m_config, {{"ACME", "LTO-9", "lto"}, {"ZETA", "T10K", "t10k"}});
    testkit::ndmpdetect::reset();
    testkit::ndmpdetect::scriptNdmpDrive("filer1", "nrst0l", {"ACME", "LTO-9", "SN-77", "id-77"});
  }
  ZQMACLms* tape() { return m_config->GetLmsList().GetFirstNode(); }
  Answers run(const tktest::StreamBuilder& request, bool expected) {
    auto message = request.build();
    EXPECT_EQ(m_mgr.onMsgSetMMDrive(message.get()), expected);
    return libtest::messagesOf(m_a.replies());
  }
  tktest::StreamBuilder addPath(const std::string& agent = "ma1") {
    return stream()
        .op(1)
        .u64(11073, m_config->GetHandle(tape()))
        .u32(11069, 0)
        .u32(11043, 7)
        .pair(2048, 0, agent, true)
        .text(11058, "filer1", true)
        .text(11024, "nrst0l", true)
        .text(8202, "fw-1", true)
        .text(2282, "SN-console", true);
  }
  long long count(const char* table) { return m_db.scalar(std::string("SELECT COUNT(*) FROM ") + table); }
};

TEST_F(NdmpDrives, AProbeAnswersTheDetectedDriveThroughTheMediaAgentOrDirectly) {
  const Message probed{11133,
                       {{2282, "SN-77"}, {11069, le32(0xFFFFFFFF) + "ACME LTO-9"}, {11031, "id-77"}, {2052, le32(0)}}};
  for (bool viaAgent : {true, false}) {
    SCOPED_TRACE(viaAgent);
    testkit::mac::journal().reset();
    tktest::StreamBuilder s = stream().op(58).text(11058, "filer1", true).text(11024, "nrst0l", true);
    if (viaAgent) s.pair(2048, 0, "ma1", true);
    EXPECT_EQ(run(s.end(), true), (Answers{probed}));
    EXPECT_EQ(testkit::mac::journal().count("GetDeviceInfo"), viaAgent ? 1u : 0u);
  }
  EXPECT_EQ(run(stream().op(58).text(11058, "filer1", true).text(11024, "nrst9").end().op(12).end(), false),
            (Answers{operationResponse(58, 0, "No drive answers at [nrst9] on the NDMP server [filer1].")}));
}

TEST_F(NdmpDrives, ANewPathIsStoredWithItsDriveAndPoolAndTheNextPathOfThatServerJoinsThePool) {
  const long long pools = count("MMDrivePool");
  EXPECT_EQ(run(addPath().end(), true), (Answers{operationResponse(1, 1, "Success")}));
  EXPECT_EQ(count("MMDrivePool"), pools + 1);
  EXPECT_EQ(m_db.text("SELECT DrivePoolType || '|' || ClientId FROM MMDrivePool ORDER BY DrivePoolId DESC LIMIT 1"),
            "3|1");
  // The server's answer stands over the console's serial text.
  EXPECT_EQ(m_db.text("SELECT DriveVendor || '|' || DriveModel || '|' || SerialNumber || '|' || FirmwareRevision || "
                      "'|' || DriveNumber FROM MMDrive ORDER BY DriveId DESC LIMIT 1"),
            "ACME|LTO-9|SN-77|fw-1|7");
  EXPECT_EQ(m_db.text("SELECT PathName FROM MMDrivePath ORDER BY DrivePathId DESC LIMIT 1"), "nrst0l");

  freshSession();  // the next session loads the pool, and the next path joins it
  const long long paths = count("MMDrivePath");
  EXPECT_EQ(run(addPath().text(11024, "nrst1l", true).end(), true), (Answers{operationResponse(1, 1, "Success")}));
  EXPECT_EQ(count("MMDrivePool"), pools + 1);
  EXPECT_EQ(count("MMDrivePath"), paths + 1);
  ZQMACDrivePool* pool = nullptr;
  ZQMACLinkedList<ZQMACDrivePool> all = tape()->GetDrivePoolList();
  for (ZQMACDrivePool* p = all.GetFirstNode(); p != nullptr; p = all.GetNextNode())
    if (p->GetType() == 3) pool = p;
  ASSERT_NE(pool, nullptr);

  // A found pool needs neither media agent nor server.
  EXPECT_EQ(run(stream().op(1).u64(11074, m_config->GetHandle(pool)).u32(11069, 1).text(11024, "nrst2l", true).end(),
                true),
            (Answers{operationResponse(1, 1, "Success")}));
  EXPECT_EQ(count("MMDrivePath"), paths + 2);
}

TEST_F(NdmpDrives, AVendorIndexAtTheTableSizeAPoolWithoutAgentOrAMissingServerCreateNothing) {
  const std::size_t objects = m_config->GetObjectCount();
  EXPECT_EQ(run(addPath().u32(11069, 2).end(), false),
            (Answers{operationResponse(1, 0, "selected vendor type index [2] > total drive vendor type size [2]")}));
  EXPECT_EQ(run(stream().op(1).u32(11069, 0).pair(2048, 0, "ma1", true).end(), false),
            (Answers{operationResponse(1, 0, text(0x240001F3))}));
  ZQMACDrivePool* pool = tape()->GetDrivePoolList().GetFirstNode();
  pool->SetMediaAgent(nullptr);
  const auto answers = run(stream().op(1).u64(11074, m_config->GetHandle(pool)).u32(11069, 0).end(), false);
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_EQ(answers[0].items[1].second.substr(0, 4), le32(0));  // status 0
  // A media agent the installation does not know is refused and not kept.
  EXPECT_EQ(run(addPath("ma9").end(), false).size(), 1u);
  EXPECT_EQ(m_config->FindDBNode("ma9"), nullptr);
  EXPECT_EQ(m_config->GetObjectCount(), objects);
  EXPECT_EQ(count("MMDrivePath"), 4);
}

TEST_F(NdmpDrives, EveryFailingCallOfAnAdditionOrAProbeEndsInAnAnswerAndLeavesNoHalfChange) {
  // An addition at a path the server does not answer for: what the server
  // reports is not needed, so its failing changes nothing.
  const tktest::SweepReport added = sweep([&] {
    auto message = addPath().text(11024, "nrst5l", true).end().build();
    m_mgr.onMsgSetMMDrive(message.get());
  });
  EXPECT_TRUE(added.clean()) << added;

  // A probe answers with its record or with a failure.
  tktest::SweepPlan plan;
  plan.setup = [&] { freshSession(); };
  plan.request = [&] {
    auto message =
        stream().op(58).text(11058, "filer1", true).text(11024, "nrst0l", true).pair(2048, 0, "ma1", true).end().build();
    m_mgr.onMsgSetMMDrive(message.get());
  };
  plan.check = [&](const tktest::SweepRun& run) -> std::string {
    const auto replies = m_a.replies();
    for (const auto& reply : replies)
      if (reply.messageId == 11133) return {};
    return tktest::answeredOnSocket(replies, run);
  };
  const tktest::SweepReport probed = tktest::FaultSweep().run(plan);
  EXPECT_TRUE(probed.clean()) << probed;
}

}  // namespace
