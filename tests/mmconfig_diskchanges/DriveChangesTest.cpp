// Changes to drives and drive paths, and the audited object action.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/mmconfig_diskchanges/StoredSession.h"

namespace {

using libtest::Message;
using libtest::operationResponse;
using libtest::statusReply;
using tktest::le32;
using Answers = std::vector<Message>;

class DriveChanges : public libtest::LibraryTest {
 protected:
  Answers run(const tktest::StreamBuilder& request, bool expected) {
    auto message = request.build();
    EXPECT_EQ(m_mgr.onMsgSetMMDrive(message.get()), expected);
    return libtest::messagesOf(m_a.replies());
  }
};

TEST_F(DriveChanges, ADrivePathChangesItsDriveItsScsiBusAndItsAccessPath) {
  const auto answers = run(stream()
                               .op(3)
                               .handle(handleOf(m_world.dms11))
                               .text(8252, "DriveA", true)
                               .text(11023, "desc", true)
                               .pair(11054, static_cast<uint32_t>(handleOf(m_world.dms22)), "ignored", true)
                               .text(11024, "/dev/nst4", true)
                               .text(11135, "ID-9", true)
                               .end(),
                           true);
  EXPECT_EQ(answers, (Answers{operationResponse(3, 1, "Success")}));
  EXPECT_EQ(m_world.drive1->GetName(), "DriveA");
  EXPECT_EQ(m_world.drive1->GetDeviceTextC(), "desc");
  EXPECT_EQ(m_world.drive1->GetDriveIdString(), "ID-9");
  EXPECT_EQ(m_world.dms11->GetPathDetail(), "/dev/nst4");
  EXPECT_EQ(testkit::mac::journal().count("UpdateSCSIBus"), 1u);
}

TEST_F(DriveChanges, ADriveIgnoresThePathElementsAndOtherObjectsChangeNothing) {
  EXPECT_EQ(run(stream().op(3).handle(handleOf(m_world.drive2)).pair(11054, 1, "", true).text(11024, "x", true).end(),
                true),
            (Answers{operationResponse(3, 1, "Success")}));
  EXPECT_EQ(run(stream().op(3).handle(handleOf(m_world.lms)).text(8252, "Nope", true).end(), true),
            (Answers{operationResponse(3, 1, "Success")}));
  EXPECT_EQ(m_world.lms->GetName(), "TapeLib1");
  EXPECT_EQ(testkit::mac::journal().count("UpdateSCSIBus"), 0u);
  EXPECT_EQ(testkit::mac::journal().count("SetAccessPath"), 0u);
}

TEST_F(DriveChanges, AnUnknownScsiSourceIsRefusedWithoutReachingTheModel) {
  const auto answers =
      run(stream().op(3).handle(handleOf(m_world.dms11)).pair(11054, 0xFFFFFF, "", true).text(11024, "y", true).end(),
          false);
  EXPECT_EQ(answers,
            (Answers{operationResponse(3, 0, "The drive path [16777215] to take the SCSI bus from does not exist.")}));
  EXPECT_EQ(testkit::mac::journal().count("UpdateSCSIBus"), 0u);
  EXPECT_EQ(testkit::mac::journal().count("SetAccessPath"), 0u);
}

TEST_F(DriveChanges, ARefusedStepKeepsTheEarlierOnesAndSkipsTheRest) {
  testkit::mac::journal().injectFailure("SetDeviceTextC", 2, "description refused");
  EXPECT_EQ(run(stream().op(3).handle(handleOf(m_world.drive1)).text(8252, "First", true).text(11023, "d", true)
                    .text(11135, "never", true).end(),
                false),
            (Answers{operationResponse(3, 0, "description refused")}));
  EXPECT_EQ(m_world.drive1->GetName(), "First");
  EXPECT_EQ(m_world.drive1->GetDriveIdString(), "");
}

TEST_F(DriveChanges, TheObjectActionIsAuditedWithTheConditionalParameters) {
  struct Case {
    const ZQMACInterface* object;
    bool detail;
    std::vector<int> params;
  };
  const Case cases[] = {
      {m_world.drive1, true, {0x550000BF, 0x55000456, 0x550000BE, 0x550005D5}},
      {m_world.drive1, false, {0x550000BF, 0x55000456, 0x550005D5}},
      {m_world.dms11, true, {0x550000BF, 0x55000456, 0x550005D5}},
      {m_world.mountPath1, true, {0x55000456, 0x550005D5}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.object->GetName());
    testkit::audit::reset();
    tktest::StreamBuilder s = stream().op(12).handle(handleOf(c.object)).u32(4108, 5);
    if (c.detail) s.u32(4115, 0);
    EXPECT_EQ(run(s.end(), true), (Answers{operationResponse(12, 1, "Success")}));
    const auto records = testkit::audit::records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].operationId, 0x540001D6);
    EXPECT_EQ(records[0].entityId, 5);
    std::vector<int> ids;
    for (const auto& p : records[0].params) ids.push_back(p.messageId);
    EXPECT_EQ(ids, c.params);
  }
}

TEST_F(DriveChanges, AnUnknownHandleOrAFailedActionIsNotAudited) {
  EXPECT_EQ(run(stream().op(12).handle(0xFFFFFF).end(), true), (Answers{operationResponse(12, 1, "Success")}));
  testkit::mac::journal().injectFailure("RunObjectAction", 3, "busy");
  EXPECT_EQ(run(stream().op(12).handle(handleOf(m_world.drive1)).end(), false),
            (Answers{operationResponse(12, 0, "busy")}));
  EXPECT_TRUE(testkit::audit::records().empty());
  EXPECT_EQ(run(stream().op(7).handle(handleOf(m_world.drive1)).end(), false),
            (Answers{statusReply(0, "Received invalid operation type")}));
}

using StoredDrives = disktest::StoredSession;

TEST_F(StoredDrives, EveryFailingCallOfADriveChangeOrActionEndsInAnAnswerAndLeavesNoHalfChange) {
  const tktest::SweepReport report = sweep([&] {
    ZQMACLms* lms = m_config->GetLmsList().GetFirstNode();
    ZQMACDrive* drive = lms != nullptr ? lms->GetDriveList().GetFirstNode() : nullptr;
    ASSERT_NE(drive, nullptr);
    auto message = stream().op(3).handle(m_config->GetHandle(drive)).text(8252, "Renamed", true).end()
                       .op(12).u32(4108, 1).u32(4115, 0).end().build();
    m_mgr.onMsgSetMMDrive(message.get());
  });
  EXPECT_TRUE(report.clean()) << report;
}

}  // namespace
