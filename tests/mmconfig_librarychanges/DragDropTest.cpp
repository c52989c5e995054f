// Drag and drop: the model's verdict on the gesture, and the library
// configured when a drive or drive path is dropped on nothing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/mmconfig_librarychanges/LibraryChangesFixture.h"

namespace {

using libtest::Message;
using libtest::operationResponse;
using libtest::text;

class DragDrop : public libtest::LibraryTest {
 protected:
  std::vector<std::string> configured() const {
    std::vector<std::string> out;
    for (const auto& call : testkit::mac::journal().calls("Configure")) out.push_back(call.args.at(0) + "/" + call.args.at(1));
    return out;
  }
  std::string controller1Configured() const { return std::to_string(handleOf(m_world.controller1)) + "/1"; }
};

TEST_F(DragDrop, ADropOnARealTargetOrWithoutADropModeNeverConfiguresALibrary) {
  struct Case {
    unsigned long long target;
    uint32_t mode;
  };
  const Case cases[] = {{handleOf(m_world.pool2), 1}, {handleOf(m_world.pool2), 0}, {0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    EXPECT_EQ(drop(handleOf(m_world.dms11), c.target, c.mode, true),
              (std::vector<Message>{operationResponse(52, 1, "Success")}));
  }
  const auto calls = testkit::mac::journal().calls("DragNDrop");
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].args, (std::vector<std::string>{std::to_string(handleOf(m_world.dms11)),
                                                     std::to_string(handleOf(m_world.pool2)), "1"}));
  EXPECT_TRUE(configured().empty());
  EXPECT_TRUE(testkit::audit::records().empty());
}

TEST_F(DragDrop, ADrivePathOrADriveDroppedOnNothingConfiguresItsLibrarysFirstController) {
  for (const ZQMACInterface* source : {static_cast<const ZQMACInterface*>(m_world.dms12),
                                       static_cast<const ZQMACInterface*>(m_world.drive2)}) {
    testkit::mac::journal().reset();
    testkit::audit::reset();
    EXPECT_EQ(drop(handleOf(source), 0, 2, true), (std::vector<Message>{operationResponse(52, 1, "Success")}));
    EXPECT_EQ(configured(), (std::vector<std::string>{controller1Configured()}));
    const auto records = testkit::audit::records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].operationId, 0x540000B6);
    EXPECT_EQ(records[0].entityId, 5);
    ASSERT_EQ(records[0].params.size(), 1u);
    EXPECT_EQ(records[0].params[0].messageId, 0x5500018B);
    EXPECT_EQ(records[0].params[0].arguments, (std::vector<std::string>{"TapeLib1 on ma1", ""}));
  }
}

TEST_F(DragDrop, OtherSourcesAndADriveWithoutDrivePathsOnlyDrop) {
  ZQMACDrive* bare = ZQMACGraph::AddDrive(m_world.lms, 73, "Drive3", 3);
  for (const ZQMACInterface* source : {static_cast<const ZQMACInterface*>(bare),
                                       static_cast<const ZQMACInterface*>(m_world.pool1)}) {
    EXPECT_EQ(drop(handleOf(source), 0, 1, true), (std::vector<Message>{operationResponse(52, 1, "Success")}));
  }
  EXPECT_TRUE(configured().empty());
}

TEST_F(DragDrop, TheModelsRefusalCodeDecidesBetweenStatus3And0) {
  testkit::mac::failNext("DragNDrop", 0x1F000003, "a drive cannot be dropped there");
  EXPECT_EQ(drop(handleOf(m_world.dms11), 0, 1, false),
            (std::vector<Message>{operationResponse(52, 3, "a drive cannot be dropped there")}));
  testkit::mac::failNext("DragNDrop", 0x1F000004, "the model failed");
  EXPECT_EQ(drop(handleOf(m_world.dms11), 0, 1, false),
            (std::vector<Message>{operationResponse(52, 0, "the model failed")}));
  // A source that does not exist is the model's refusal of its own kind.
  EXPECT_EQ(drop(0xFFFFFF00ull, 0, 1, false).at(0).items.at(1).second.substr(0, 4), libtest::le32(3));
  EXPECT_TRUE(configured().empty());
}

TEST_F(DragDrop, AFailedConfigurationAnswersTheControllersErrorWithoutAudit) {
  testkit::mac::failNext("Configure", 0x1F000040, "the library does not answer");
  EXPECT_EQ(drop(handleOf(m_world.dms11), 0, 1, false),
            (std::vector<Message>{operationResponse(52, 0, "the library does not answer")}));
  EXPECT_TRUE(testkit::audit::records().empty());
}

TEST_F(DragDrop, ADrivePathWithoutLibraryOrALibraryWithoutControllerIsAFailureNotASuccess) {
  ASSERT_TRUE(config().DeleteObject(m_world.controller1));
  ASSERT_TRUE(config().DeleteObject(m_world.controller2));
  EXPECT_EQ(drop(handleOf(m_world.dms11), 0, 1, false),
            (std::vector<Message>{operationResponse(52, 0, text(0x24000F02, "TapeLib1"))}));
  ASSERT_TRUE(config().DeleteObject(m_world.lms));
  EXPECT_EQ(drop(handleOf(m_world.dms11), 0, 1, false),
            (std::vector<Message>{operationResponse(52, 0, text(0x24000F01, "Drive1 via ma1"))}));
  EXPECT_TRUE(configured().empty());
}

TEST_F(DragDrop, OnlyANewlyStoredLibraryUnderPerMediaAgentRightsIsGrantedToTheUser) {
  struct Case {
    bool rights;
    bool newController;
    bool granted;
  };
  const Case cases[] = {{true, true, true}, {true, false, false}, {false, true, false}, {false, false, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.rights << c.newController);
    ASSERT_EQ(m_db.exec("DELETE FROM MMConfigs WHERE name = 'MMS2_CONFIG_CHECK_USER_MA_RIGHT'"), 0);
    if (c.rights) {
      perMediaAgentRights(true);
    }
    ZQMACGraph::SetId(m_world.controller1, c.newController ? -1 : 51);
    testkit::mac::setNewObjectIds(900);
    testkit::security::reset();
    EXPECT_EQ(drop(handleOf(m_world.dms11), 0, 1, true), (std::vector<Message>{operationResponse(52, 1, "Success")}));
    EXPECT_EQ(testkit::security::journal().count("addUserToLibrary"), c.granted ? 1u : 0u);
  }
}

TEST_F(DragDrop, AUserWhoCannotBeGrantedTheNewLibraryIsToldSoAfterTheAudit) {
  perMediaAgentRights(true);
  ZQMACGraph::SetId(m_world.controller1, -1);
  testkit::security::journal().injectFailure("addUserToLibrary", 5, "the user directory is down");
  EXPECT_EQ(drop(handleOf(m_world.dms11), 0, 1, false),
            (std::vector<Message>{operationResponse(52, 0, text(0x24000330, "TapeLib1 on ma1"))}));
  EXPECT_EQ(testkit::audit::records().size(), 1u);
}

TEST_F(DragDrop, AClientWhoseSessionWasTakenOverIsToldToClose) {
  tktest::Connection other;
  auto message = tktest::StreamBuilder()
                     .socket(other.socket().GetSocketDescriptor())
                     .user(libtest::kUser)
                     .sequence(libtest::kSequence)
                     .objectHandle(handleOf(m_world.dms11))
                     .payloadWord(20, 1)
                     .build();
  EXPECT_TRUE(m_mgr.onMsgMMDragNDrop(message.get()));
  const auto answers = libtest::messagesOf(other.replies());
  ASSERT_EQ(answers.size(), 2u);
  EXPECT_EQ(answers[1], operationResponse(52, 1, "Close"));
  EXPECT_EQ(testkit::mac::journal().count("DragNDrop"), 0u);
}

}  // namespace
