// The library Set request: the steps of a library change, the object
// action, identification of new media and automatic discovery, with the
// dispatch by operation ranges and the values that persist across records.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/mmconfig_librarychanges/LibraryChangesFixture.h"

namespace {

using libtest::countedResponse;
using libtest::Message;
using libtest::operationResponse;
using libtest::statusReply;
using libtest::text;

constexpr const char* kDriveCountTooSmall = "Drive Count should be greater than last used drive number";

class LibraryChanges : public libtest::LibraryTest {};

// ---------------------------------------------------------------- dispatch

TEST_F(LibraryChanges, OperationsOutsideTheServedRangesAnswerTheInvalidOperationStatusReply) {
  for (uint32_t operation : {0u, 1u, 7u, 36u, 53u, 56u, 83u, 86u, 1000u}) {
    SCOPED_TRACE(operation);
    const auto answers = run(stream().op(operation).handle(handleOf(m_world.lms)).end(), false);
    EXPECT_EQ(answers, (std::vector<Message>{statusReply(0, "Received invalid operation type")}));
  }
}

TEST_F(LibraryChanges, ARecordWithoutAnOperationRepeatsTheEarlierOperation) {
  const auto answers = run(modify().u32(11164, 1).end().u32(11164, 0).end(), true);
  EXPECT_EQ(answers, (std::vector<Message>{operationResponse(3, 1, "Success"), operationResponse(3, 1, "Success")}));
  EXPECT_EQ(testkit::mac::journal().count("SetDoorLockFlag"), 2u);
  EXPECT_FALSE(m_world.library->GetDoorLockFlag());
}

TEST_F(LibraryChanges, OperationsThatNeedALibraryAreRefusedWithoutAHandle) {
  for (uint32_t operation : {3u, 12u, 84u, 85u}) {
    SCOPED_TRACE(operation);
    const auto answers = run(stream().op(operation).end(), false);
    EXPECT_EQ(answers, (std::vector<Message>{operationResponse(operation, 0, text(0x240001F3))}));
  }
}

TEST_F(LibraryChanges, AClientWhoseSessionWasTakenOverIsToldToClose) {
  tktest::Connection other;
  auto message = tktest::StreamBuilder()
                     .socket(other.socket().GetSocketDescriptor())
                     .user(libtest::kUser)
                     .sequence(libtest::kSequence)
                     .op(3)
                     .handle(handleOf(m_world.lms))
                     .u32(11164, 1)
                     .end()
                     .build();
  EXPECT_TRUE(m_mgr.onMsgSetMMLibrary(message.get()));
  const auto answers = libtest::messagesOf(other.replies());
  ASSERT_EQ(answers.size(), 2u);
  EXPECT_EQ(answers[1], operationResponse(3, 1, "Close"));
  EXPECT_EQ(testkit::mac::journal().count("SetDoorLockFlag"), 0u);
}

TEST_F(LibraryChanges, ANullRequestIsRefusedWithoutAnAnswer) { EXPECT_FALSE(m_mgr.onMsgSetMMLibrary(nullptr)); }

// ---------------------------------------------------------------- operation 3

TEST_F(LibraryChanges, AHandleThatNamesNoTapeLibraryChangesNothing) {
  for (const ZQMACInterface* object : {static_cast<const ZQMACInterface*>(m_world.diskLibrary),
                                       static_cast<const ZQMACInterface*>(m_world.drive1),
                                       static_cast<const ZQMACInterface*>(nullptr)}) {
    const unsigned long long handle = object != nullptr ? handleOf(object) : 0xFFFFFFF0ull;
    SCOPED_TRACE(handle);
    const auto answers = run(stream().op(3).handle(handle).u32(11009, 0).u32(11164, 1).text(8251, "X", true).end(), true);
    EXPECT_EQ(answers, (std::vector<Message>{operationResponse(3, 1, "Success")}));
  }
  EXPECT_TRUE(testkit::mac::journal().calls().empty() || testkit::mac::journal().count("SetDriveCount") == 0u);
  EXPECT_EQ(m_world.library->GetDriveCount(), 2);
  EXPECT_EQ(m_world.lms->GetName(), "TapeLib1");
}

TEST_F(LibraryChanges, EverySettingThatCameIsAppliedInOneRecord) {
  const auto answers = run(modify()
                               .text(8251, "Renamed", true)
                               .u32(11010, 77)
                               .text(11006, "unit text", true)
                               .pair(11007, static_cast<uint32_t>(handleOf(m_world.controller2)), "ignored", true)
                               .u32(11009, 6)
                               .u32(11164, 1)
                               .u32(11414, 1)
                               .u32(11415, 1)
                               .u32(11430, 1)
                               .u32(11431, 1)
                               .u32(11416, 0x40)
                               .text(11417, "A00-A99", true)
                               .u32(11432, 3)
                               .end(),
                           true);
  EXPECT_EQ(answers, (std::vector<Message>{operationResponse(3, 1, "Success")}));
  ZQMACLibrary& lib = *m_world.library;
  EXPECT_EQ(m_world.lms->GetName(), "Renamed");
  EXPECT_EQ(lib.GetDeviceValue(), 77u);
  EXPECT_EQ(lib.GetDeviceTextC(), "unit text");
  EXPECT_EQ(lib.GetDriveCount(), 6);
  EXPECT_TRUE(lib.GetDoorLockFlag());
  EXPECT_TRUE(lib.GetAutoConfigDDSFlag());
  EXPECT_TRUE(lib.GetAutoConfigFailoverFlag());
  EXPECT_TRUE(lib.GetUseACSLSCleanPoolFlag());
  EXPECT_TRUE(lib.GetUseIPDriveIDFlag());
  EXPECT_EQ(lib.GetLibAttributeFlag(), 0x40);
  EXPECT_EQ(lib.GetVolumeRangeString(), "A00-A99");
  EXPECT_EQ(lib.GetVTLType(), 3);
  const auto bus = testkit::mac::journal().calls("UpdateSCSIBus");
  ASSERT_EQ(bus.size(), 1u);
  EXPECT_EQ(bus[0].args, (std::vector<std::string>{std::to_string(handleOf(m_world.controller1)),
                                                   std::to_string(handleOf(m_world.controller2))}));
}

TEST_F(LibraryChanges, TheDriveCountMayEqualButNotFallBelowTheLastOccupiedDrive) {
  // The standard library's drives are numbers 1 and 2.
  EXPECT_EQ(run(modify().u32(11009, 2).end(), true), (std::vector<Message>{operationResponse(3, 1, "Success")}));
  EXPECT_EQ(m_world.library->GetDriveCount(), 2);
  EXPECT_EQ(run(modify().u32(11009, 1).end(), false),
            (std::vector<Message>{operationResponse(3, 0, kDriveCountTooSmall)}));
  EXPECT_EQ(m_world.library->GetDriveCount(), 2);
  EXPECT_EQ(testkit::mac::journal().count("SetDriveCount"), 1u);
}

// The library's own alias is refused as it is; in another letter case it
// names no other library and the rename takes it.
TEST_F(LibraryChanges, AnAliasAnyLibraryRowCarriesIsRefusedTheLibrarysOwnIncludedUnlessOnlyItsCaseChanges) {
  ASSERT_EQ(m_db.exec("INSERT INTO MMLibrary (LibraryId, LibraryName, AliasName) VALUES (5, 'TapeLib1', 'TapeLib1')"), 0);
  ASSERT_EQ(m_world.library->GetId(), 5u);
  for (const char* alias : {"TapeLib1", "tapelib1"}) {
    SCOPED_TRACE(alias);
    const bool ownInOtherCase = std::string(alias) == "tapelib1";
    const auto answers = run(modify().text(8251, alias, true).u32(11164, 1).end(), ownInOtherCase);
    EXPECT_EQ(answers, (std::vector<Message>{ownInOtherCase ? operationResponse(3, 1, "Success")
                                                            : operationResponse(3, 0, text(0x2400033D, alias))}));
  }
  EXPECT_EQ(m_world.lms->GetName(), "tapelib1");
  EXPECT_EQ(testkit::mac::journal().count("SetDoorLockFlag"), 1u);
}

TEST_F(LibraryChanges, AFailedStepEndsTheRequestAndKeepsWhatEarlierStepsChanged) {
  struct Case {
    const char* call;
    tktest::StreamBuilder (*elements)(tktest::StreamBuilder);
  };
  const Case cases[] = {
      {"SetDeviceValue", [](tktest::StreamBuilder s) { return s.u32(11010, 9); }},
      {"SetDeviceTextC", [](tktest::StreamBuilder s) { return s.text(11006, "t", true); }},
      {"UpdateSCSIBus", [](tktest::StreamBuilder s) { return s.pair(11007, 0, "", true); }},
      {"SetDriveCount", [](tktest::StreamBuilder s) { return s.u32(11009, 8); }},
      {"SetDoorLockFlag", [](tktest::StreamBuilder s) { return s.u32(11164, 1); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.call);
    testkit::mac::failNext(c.call, 0x1F000077, std::string("refused: ") + c.call);
    // A second record behind the failing one is never read.
    const std::string renamed = std::string("Renamed-") + c.call;
    const auto answers =
        run(c.elements(modify().text(8251, renamed, true)).u32(11432, 4).end().u32(11416, 0x99).end(), false);
    // UpdateSCSIBus refuses an unknown controller before any scripted fault.
    const std::string expected = std::string(c.call) == "UpdateSCSIBus"
                                     ? "The library controller to take the SCSI bus from does not exist."
                                     : std::string("refused: ") + c.call;
    EXPECT_EQ(answers, (std::vector<Message>{operationResponse(3, 0, expected)}));
    EXPECT_EQ(m_world.lms->GetName(), renamed);
    EXPECT_NE(m_world.library->GetVTLType(), 4);
    EXPECT_NE(m_world.library->GetLibAttributeFlag(), 0x99);
    testkit::mac::journal().reset();
  }
}

TEST_F(LibraryChanges, AControllerHandleThatNamesNoLiveControllerIsRefusedNeverPassedAsAPointer) {
  for (uint32_t handle : {0u, static_cast<uint32_t>(handleOf(m_world.lms)), 0xFFFFFFFFu}) {
    SCOPED_TRACE(handle);
    const auto answers = run(modify().pair(11007, handle, "x", true).end(), false);
    EXPECT_EQ(answers, (std::vector<Message>{
                           operationResponse(3, 0, "The library controller to take the SCSI bus from does not exist.")}));
  }
}

TEST_F(LibraryChanges, ASCSIBusUpdateOfALibraryWithoutControllersIsRefused) {
  ASSERT_TRUE(config().DeleteObject(m_world.controller1));
  ASSERT_TRUE(config().DeleteObject(m_world.controller2));
  const auto answers = run(modify().pair(11007, 1, "x", true).u32(11164, 1).end(), false);
  EXPECT_EQ(answers, (std::vector<Message>{operationResponse(3, 0, text(0x24000F02, "TapeLib1"))}));
  EXPECT_FALSE(m_world.library->GetDoorLockFlag());
}

// ---------------------------------------------------------------- operation 12

TEST_F(LibraryChanges, TheObjectActionRunsOnAnyObjectAndItsFailureEndsTheRequest) {
  EXPECT_EQ(run(stream().op(12).handle(handleOf(m_world.drive1)).end().handle(0xFFFFFF00).end(), true),
            (std::vector<Message>{operationResponse(12, 1, "Success"), operationResponse(12, 1, "Success")}));
  EXPECT_EQ(testkit::mac::journal().count("RunObjectAction"), 1u);
  testkit::mac::failNext("RunObjectAction", 0x1F000050, "the drive is busy");
  EXPECT_EQ(run(stream().op(12).handle(handleOf(m_world.drive1)).end().end(), false),
            (std::vector<Message>{operationResponse(12, 0, "the drive is busy")}));
}

// ---------------------------------------------------------------- operations 84 and 85

TEST_F(LibraryChanges, AutomaticDiscoveryTakesTheMediaTypeByNameAndEndsTheRequest) {
  const auto answers =
      run(stream().op(84).handle(handleOf(m_world.lms)).pair(2225, 9, "WORM cartridge", true).u32(11178, 1).end()
              .op(85).end(),
          true);
  EXPECT_EQ(answers, (std::vector<Message>{operationResponse(84, 1, "Success")}));
  const auto calls = testkit::mac::journal().calls("SetAutoDiscover");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].args.at(1), "true");
  EXPECT_EQ(calls[0].args.at(2), "2");
  EXPECT_TRUE(m_world.lms->IsAutoDiscover());
  EXPECT_EQ(testkit::mac::journal().count("SetDiscoverSchedule"), 0u);
}

TEST_F(LibraryChanges, DiscoveryCallsOfTheModelThatFailAnswerItsErrorAndAnUnknownLibrarySucceeds) {
  testkit::mac::failNext("SetAutoDiscover", 0x1F000051, "discovery is not licensed");
  EXPECT_EQ(run(stream().op(84).handle(handleOf(m_world.lms)).end(), false),
            (std::vector<Message>{operationResponse(84, 0, "discovery is not licensed")}));
  testkit::mac::failNext("SetDiscoverSchedule", 0x1F000052, "no schedule");
  EXPECT_EQ(run(stream().op(85).handle(handleOf(m_world.lms)).end(), false),
            (std::vector<Message>{operationResponse(85, 0, "no schedule")}));
  EXPECT_EQ(run(stream().op(85).handle(handleOf(m_world.diskLibrary)).end(), true),
            (std::vector<Message>{operationResponse(85, 1, "Success")}));
  EXPECT_EQ(testkit::mac::journal().count("SetDiscoverSchedule"), 1u);
}

// ---------------------------------------------------------------- operation 35

class Identification : public libtest::LibraryTest {
 protected:
  void usable() { testkit::mmlib::scriptLibraryState(5, {}); }
  tktest::StreamBuilder identify() const { return stream().op(35).handle(handleOf(m_world.lms)); }
};

TEST_F(Identification, ALibraryThatIsNotUsableIsRefusedWithStatus3) {
  const testkit::mmlib::LibraryState states[] = {{true, true, 1}, {false, false, 1}, {false, true, 0}};
  for (const auto& state : states) {
    testkit::mmlib::scriptLibraryState(5, state);
    EXPECT_EQ(run(identify().end(), false), (std::vector<Message>{operationResponse(35, 3, text(0x2400002C, ""))}));
  }
  // No handle is library 0, which the database does not hold.
  EXPECT_EQ(run(stream().op(35).end(), false), (std::vector<Message>{operationResponse(35, 3, text(0x2400002C, ""))}));
  EXPECT_EQ(testkit::mmlib::journal().count("identifyNewMedia"), 0u);
}

TEST_F(Identification, WithoutACountTheOutcomeFollowsWhatTheServiceDecided) {
  usable();
  testkit::mmlib::scriptIdentification({0, 0});
  EXPECT_EQ(run(identify().end().end(), false), (std::vector<Message>{operationResponse(35, 3, text(0x2400002A, ""))}));
  testkit::mmlib::scriptIdentification({1, 0});
  EXPECT_EQ(run(identify().end(), true), (std::vector<Message>{operationResponse(35, 1, "Success")}));
  testkit::mmlib::scriptIdentification({4, 3});
  EXPECT_EQ(run(identify().end(), true), (std::vector<Message>{operationResponse(35, 1, "Success")}));
  EXPECT_TRUE(testkit::audit::records().empty());
  const auto calls = testkit::mmlib::journal().calls("identifyNewMedia");
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].args, (std::vector<std::string>{"5", "0", "-1"}));
}

TEST_F(Identification, MediaIdentifiedAnswerStatus2WithTheirCountAndAreAudited) {
  usable();
  testkit::mmlib::scriptIdentification({1, 5});
  const auto answers = run(identify().end(), true);
  EXPECT_EQ(answers, (std::vector<Message>{countedResponse(35, 5, text(0x23000029))}));
  const auto records = testkit::audit::records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].operationId, 0x5400002C);
  EXPECT_EQ(records[0].entityId, 5);
  ASSERT_EQ(records[0].params.size(), 1u);
  EXPECT_EQ(records[0].params[0].messageId, 0x550000BF);
}

TEST_F(Identification, ACountedIdentificationAnswersByTheServicesAction) {
  usable();
  struct Case {
    int action;
    uint32_t status;
    std::string text;
  };
  const Case cases[] = {{0, 3, text(0x2400002A, "")}, {2, 1, "Success"}, {1, 0, text(0x2400002B, "")},
                        {7, 0, text(0x2400002B, "")}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.action);
    testkit::mmlib::scriptIdentification({c.action, 4});
    EXPECT_EQ(run(identify().u32(4117, 4).u32(4109, 6).pair(2225, 0, "Data cartridge", true).end(), c.status != 0 && c.status != 3),
              (std::vector<Message>{operationResponse(35, c.status, c.text)}));
  }
  EXPECT_EQ(testkit::mmlib::journal().calls("identifyNewMedia").at(0).args, (std::vector<std::string>{"5", "1", "6"}));
}

TEST_F(Identification, SlotsBeyondTheCountAreNotPassedOn) {
  usable();
  const auto answers =
      run(identify().u32(4117, 2).u32(4109, 1).u32(11139, 10).u32(11139, 11).u32(11139, 12).end(), true);
  EXPECT_EQ(answers, (std::vector<Message>{operationResponse(35, 1, text(0x240000D3))}));
  const auto calls = testkit::mmlib::journal().calls("identifyNewMediaBySlotId");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].args, (std::vector<std::string>{"5", "0", "1", "2", "10,11"}));
}

TEST_F(Identification, FewerSlotsThanTheCountPassOnOnlyTheSlotsReceived) {
  usable();
  EXPECT_EQ(run(identify().u32(4117, 50).u32(11139, 3).end(), true),
            (std::vector<Message>{operationResponse(35, 1, text(0x240000D3))}));
  EXPECT_EQ(testkit::mmlib::journal().calls("identifyNewMediaBySlotId").at(0).args.at(3), "1");
}

TEST_F(Identification, AFailedIdentificationAnswersTheServicesError) {
  usable();
  testkit::mmlib::failNext("identifyNewMedia", 17, "the changer is stuck");
  EXPECT_EQ(run(identify().u32(4117, 1).end(), false),
            (std::vector<Message>{operationResponse(35, 0, "the changer is stuck")}));
  testkit::mmlib::failNext("identifyNewMediaBySlotId", 18, "slot 4 is empty");
  EXPECT_EQ(run(identify().u32(4117, 1).u32(11139, 4).end(), false),
            (std::vector<Message>{operationResponse(35, 0, "slot 4 is empty")}));
  testkit::mmlib::failNext("identifyNewMedia", 17, "the changer is jammed");
  EXPECT_EQ(run(identify().end(), false), (std::vector<Message>{operationResponse(35, 0, "the changer is jammed")}));
  EXPECT_TRUE(testkit::audit::records().empty());
}

}  // namespace
