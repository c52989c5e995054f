// A detected library on a session loaded from the database: configured by
// the control request (operation 48) or by dropping one of its drive paths
// on nothing, it is stored whole, and a new session finds it. Every call
// failing in turn ends in an answer and leaves no half-stored library.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/testkit/debuglog.h"
#include "tests/mmconfig_control/ControlSweep.h"

namespace {

using ctltest::Message;
using ctltest::operationResponse;

class DetectedLibrary : public ctltest::ControlFaultSweep {
 protected:
  // A library that ma2 (client 2) sees, put into the session by detection.
  testkit::mac::DetectedLibrary detect(const std::string& name) {
    return testkit::mac::addDetectedLibrary(*m_config, m_config->FindDBNode<ZQMACMediaAgent>(2), name);
  }
  std::vector<Message> configure(const ZQMACInterface* object) {
    auto request = stream().op(48).handle(m_config->GetHandle(object)).u32(ctltest::kElementLibraryId, 0).end().build();
    m_mgr.onMsgSetMMControl(request.get());
    return ctltest::messagesOf(m_a.replies());
  }
  std::vector<Message> drop(const ZQMACInterface* source) {
    auto request = stream().objectHandle(m_config->GetHandle(source)).payloadWord(20, 1).build();
    m_mgr.onMsgMMDragNDrop(request.get());
    return ctltest::messagesOf(m_a.replies());
  }
  // What a new session finds of the library: its drives with their pools
  // and media agents, "" when it is not there.
  std::string storedLibrary(const std::string& name) {
    freshSession();
    ZQMACLinkedList<ZQMACLms> list = m_config->GetLmsList();
    for (ZQMACLms* lms = list.GetFirstNode(); lms != nullptr; lms = list.GetNextNode()) {
      if (lms->GetName() != name) continue;
      std::string out = lms->TestStateA() ? "configured" : "not configured";
      ZQMACLinkedList<ZQMACDrive> drives = lms->GetDriveList();
      for (ZQMACDrive* d = drives.GetFirstNode(); d != nullptr; d = drives.GetNextNode()) {
        ZQMACDms* path = d->GetDmsList().GetFirstNode();
        out += ", " + d->GetName();
        if (path != nullptr && path->GetDrivePool() != nullptr && path->GetMediaAgent() != nullptr)
          out += " in " + path->GetDrivePool()->GetName() + " via " + path->GetMediaAgent()->GetName();
      }
      return out;
    }
    return "";
  }
  long long libraries() { return m_db.scalar("SELECT COUNT(*) FROM MMLibrary"); }
};

TEST_F(DetectedLibrary, TheControlRequestStoresADetectedLibraryThatANewSessionFinds) {
  freshSession();
  testkit::debuglog::Capture log;
  const auto detected = detect("Detected1");
  EXPECT_EQ(configure(detected.lms), std::vector<Message>{operationResponse(48, 1, "Success")});
  EXPECT_TRUE(log.contains("EvMMConfigMgr::onMsgSetMMControl", "CREATE NEW LIB"));
  EXPECT_NE(detected.lms->GetId(), 0xFFFFFFFFu);
  EXPECT_EQ(storedLibrary("Detected1"),
            "configured, Detected1 drive 1 in DrivePool(ma2) via ma2, Detected1 drive 2 in DrivePool(ma2) via ma2");
}

TEST_F(DetectedLibrary, ADrivePathDroppedOnNothingStoresItsNewLibrary) {
  freshSession();
  const auto detected = detect("Dropped1");
  EXPECT_EQ(drop(detected.paths[1]), std::vector<Message>{operationResponse(52, 1, "Success")});
  const auto records = testkit::audit::records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].entityId, static_cast<int>(detected.lms->GetId()));
  EXPECT_EQ(storedLibrary("Dropped1"),
            "configured, Dropped1 drive 1 in DrivePool(ma2) via ma2, Dropped1 drive 2 in DrivePool(ma2) via ma2");
}

TEST_F(DetectedLibrary, ALibraryNamedAsAStoredOneIsRefusedAndNothingIsStored) {
  freshSession();
  const long long before = libraries();
  const auto detected = detect("TapeLib1");
  const auto answers = configure(detected.lms);
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_EQ(answers[0], operationResponse(48, 0, "The name [TapeLib1] is already used by another library."));
  EXPECT_EQ(libraries(), before);
  EXPECT_TRUE(testkit::audit::records().empty());
}

TEST_F(DetectedLibrary, EveryFailingCallOfConfiguringOrDroppingADetectedLibraryEndsWithAnAnswerAndNoHalfChange) {
  for (bool byDrop : {false, true}) {
    SCOPED_TRACE(byDrop ? "drop" : "operation 48");
    const tktest::SweepReport report = sweep(
        [&] {
          const auto detected = detect("Detected1");
          if (byDrop) return stream().objectHandle(m_config->GetHandle(detected.paths[0])).payloadWord(20, 1);
          return stream().op(48).handle(m_config->GetHandle(detected.lms)).u32(ctltest::kElementLibraryId, 0).end();
        },
        byDrop ? &EvMMConfigMgr::onMsgMMDragNDrop : &EvMMConfigMgr::onMsgSetMMControl);
    EXPECT_TRUE(report.clean()) << report;
  }
}

}  // namespace
