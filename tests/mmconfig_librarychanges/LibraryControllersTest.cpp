// The library Set request's library controllers: adding an NDMP or an IP
// library controller to a media agent, and probing an NDMP server or a
// library server before one is added.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/testkit/ndmp.h"
#include "tests/mmconfig_librarychanges/LibraryChangesFixture.h"

namespace {

using libtest::Message;
using libtest::operationResponse;
using libtest::text;
using tktest::le32;
namespace nd = testkit::ndmpdetect;

constexpr unsigned long kTextRequired = 0x240001F3;

const nd::Library kFiler{"", "VENDOR-N", "PRODUCT-N", "ID-N", "", 4, 6, 0, ""};

class LibraryControllers : public libtest::LibraryTest {
 protected:
  // Operation 54 with every required element, in the required order.
  tktest::StreamBuilder addNdmp(const std::string& agent = "ma1") const {
    return stream().op(54).text(11058, "filer1", true).text(11088, "mc0", true).pair(2048, 0, agent, true)
        .text(11086, "VENDOR-R", true).text(11087, "PRODUCT-R", true).text(11031, "ID-R", true).u32(11008, 1)
        .u32(11009, 2);
  }
  tktest::StreamBuilder addIP(const std::string& vendor = "VENDOR-R") const {
    return stream().op(55).text(11089, "ls1", true).pair(2048, 0, "ma2", true).text(11086, vendor, true)
        .text(11087, "PRODUCT-R", true).text(11031, "ID-R", true).u32(11008, 1).u32(11009, 2);
  }
  // The controllers of the agent that the request added (the world's come first).
  static ZQMACLibController* added(const ZQMACMediaAgent* agent) {
    ZQMACLinkedList<ZQMACLibController> list = agent->GetLibControllerList();
    return list.GetListCount() > 1 ? list[list.GetListCount() - 1] : nullptr;
  }
};

TEST_F(LibraryControllers, AMissingRequiredElementIsRefusedAndCreatesNothing) {
  struct Case {
    uint32_t operation;
    std::vector<uint32_t> required;
  };
  const Case cases[] = {{54, {11058, 11088, 2048, 11086, 11087, 11031, 11008, 11009}},
                        {55, {11089, 2048, 11086, 11087, 11031, 11008, 11009}}};
  for (const Case& c : cases) {
    for (uint32_t missing : c.required) {
      if (missing == 2048) {
        SCOPED_TRACE(std::to_string(c.operation) + " with a nameless media agent");
        const auto answers = run((c.operation == 54 ? addNdmp("") : addIP()).pair(2048, 0, "", true).end(), false);
        EXPECT_EQ(answers, (std::vector<Message>{operationResponse(c.operation, 0, text(kTextRequired))}));
        EXPECT_EQ(config().FindDBNode(""), nullptr);
      }
      SCOPED_TRACE(std::to_string(c.operation) + " without " + std::to_string(missing));
      tktest::StreamBuilder s = stream().op(c.operation);
      for (uint32_t tag : c.required) {
        if (tag == missing) continue;
        if (tag == 2048) s.pair(tag, 0, "new-agent", true);
        else if (tag == 11008 || tag == 11009) s.u32(tag, 1);
        else s.text(tag, "x", true);
      }
      testkit::mac::journal().reset();
      EXPECT_EQ(run(s.end(), false), (std::vector<Message>{operationResponse(c.operation, 0, text(kTextRequired))}));
      EXPECT_EQ(testkit::mac::journal().count("AddLibController"), 0u);
      EXPECT_EQ(config().FindDBNode("new-agent"), nullptr);
    }
  }
}

TEST_F(LibraryControllers, AnNdmpControllerIsAttachedWithTheRequestsLibraryThenReadFromTheServer) {
  nd::scriptNdmpLibrary("filer1", "mc0", kFiler);
  EXPECT_EQ(run(addNdmp().end(), true), (std::vector<Message>{operationResponse(54, 1, "Success")}));

  ZQMACLibController* controller = added(m_world.agent1);
  ASSERT_NE(controller, nullptr);
  EXPECT_NE(dynamic_cast<ZQMACNdmpLibController*>(controller), nullptr);
  EXPECT_EQ(controller->GetOwner(), &config());
  EXPECT_EQ(controller->GetMediaAgent(), m_world.agent1);
  EXPECT_EQ(controller->GetControllerText(), "mc0");
  EXPECT_EQ(controller->GetServerHostName(), "filer1");
  EXPECT_EQ(controller->GetUnitValue(), 1u);
  const ZQMACLibrary* library = controller->GetLibrary();
  ASSERT_NE(library, nullptr);
  EXPECT_EQ(library->GetVendor(), "VENDOR-N");
  EXPECT_EQ(library->GetDeviceIdentifier(), "ID-N");
  EXPECT_EQ(library->GetDriveCount(), 6);
  const auto calls = testkit::mac::journal().calls();
  std::vector<std::string> order;
  for (const auto& call : calls)
    if (call.name == "AddLibController" || call.name == "GetDeviceInfo" || call.name == "SetDriveCount")
      order.push_back(call.name + (call.name == "GetDeviceInfo" ? " " + call.args[1] + " " + call.args[2] : ""));
  EXPECT_EQ(order, (std::vector<std::string>{"SetDriveCount", "AddLibController", "GetDeviceInfo filer1 mc0"}));
}

TEST_F(LibraryControllers, AFailedReadKeepsTheControllerAndTheNewMediaAgentAndEndsTheRequest) {
  const auto answers = run(addNdmp("ma9").end().end(), false);
  EXPECT_EQ(answers, (std::vector<Message>{operationResponse(54, 0, "The NDMP server [filer1] does not answer.")}));
  ZQMACMediaAgent* agent = config().FindDBNode("ma9");
  ASSERT_NE(agent, nullptr);
  EXPECT_NE(handleOf(agent), 0u);
  ASSERT_EQ(agent->GetLibControllerList().GetListCount(), 1);
  EXPECT_EQ(agent->GetLibControllerList()[0]->GetLibrary()->GetVendor(), "VENDOR-R");
  EXPECT_EQ(testkit::mac::journal().count("AddLibController"), 1u);
}

TEST_F(LibraryControllers, AControllerTheModelCannotAttachFailsWithTheAgentsErrorAndStaysOut) {
  testkit::mac::journal().injectFailure("AddLibController", 0x1F000005, "cannot attach");
  EXPECT_EQ(run(addIP().end(), false), (std::vector<Message>{operationResponse(55, 0, "cannot attach")}));
  EXPECT_EQ(m_world.agent2->GetLibControllerList().GetListCount(), 1);
  EXPECT_EQ(config().GetIPLibControllerList().GetListCount(), 0);
}

TEST_F(LibraryControllers, AnIPControllerForANewLibraryTakesTheRequestsValues) {
  const auto answers = run(addIP().u32(11103, 7).text(11417, "V001-V100", true).end(), true);
  EXPECT_EQ(answers, (std::vector<Message>{operationResponse(55, 1, "Success")}));
  ZQMACLibController* controller = added(m_world.agent2);
  ASSERT_NE(controller, nullptr);
  EXPECT_EQ(controller->GetObjectType(), static_cast<unsigned int>(ZQMAC_OBJ_IP_LIB_CONTROLLER));
  EXPECT_EQ(controller->GetServerHostName(), "ls1");
  EXPECT_EQ(controller->GetUnitValue(), 7u);
  const ZQMACLibrary* library = controller->GetLibrary();
  EXPECT_EQ(library->GetVendor(), "VENDOR-R");
  EXPECT_EQ(library->GetProduct(), "PRODUCT-R");
  EXPECT_EQ(library->GetDeviceIdentifier(), "ID-R");
  EXPECT_EQ(library->GetBaseAddress(), 1);
  EXPECT_EQ(library->GetDriveCount(), 2);
  EXPECT_EQ(library->GetVolumeRangeString(), "V001-V100");
  EXPECT_EQ(library->GetAliasName(), "");
  EXPECT_EQ(config().FindLSLibrary("ls1", "VENDOR-R", "PRODUCT-R", "ID-R"), controller);
}

TEST_F(LibraryControllers, AnIPControllerForALibraryTheServerAlreadyServesIsItsCloneUnderTheLSAlias) {
  nd::scriptLibraryServer("ls1", {{"Big", "VENDOR-R", "PRODUCT-R", "ID-R", "fw1", 9, 12, 300, "1-300"}});
  ASSERT_EQ(config().GetLSLibraryList("ls1", false).GetListCount(), 1);

  EXPECT_EQ(run(addIP().u32(11103, 7).end(), true), (std::vector<Message>{operationResponse(55, 1, "Success")}));
  ZQMACLibController* controller = added(m_world.agent2);
  ASSERT_NE(controller, nullptr);
  ZQMACLibrary* library = controller->GetLibrary();
  EXPECT_EQ(library->GetAliasName(), "LS_Big");
  EXPECT_EQ(library->GetBaseAddress(), 9) << "the request's base address is not applied";
  EXPECT_EQ(library->GetDriveCount(), 12) << "nor its drive count";
  EXPECT_EQ(library->GetSlotRange(), "1-300");
  EXPECT_EQ(controller->GetUnitValue(), 0u) << "nor its unit value";
  EXPECT_EQ(testkit::mac::journal().count("SetDriveCount"), 0u);
}

TEST_F(LibraryControllers, AnNdmpProbeWithoutAKnownAgentAsksTheServerAndAnswersTheLibraryRecord) {
  nd::scriptNdmpLibrary("filer1", "mc0", kFiler);
  for (const char* agent : {"", "unknown-agent", "ma1"}) {
    SCOPED_TRACE(agent);
    testkit::mac::journal().reset();
    tktest::StreamBuilder s = stream().op(58).text(11058, "filer1", true).text(11088, "mc0", true);
    if (*agent != '\0') s.pair(2048, 0, agent, true);
    const auto answers = run(s.end(), true);
    EXPECT_EQ(answers, (std::vector<Message>{{11093,
                                              {{11086, "VENDOR-N"},
                                               {11087, "PRODUCT-N"},
                                               {11031, "ID-N"},
                                               {11008, le32(4)},
                                               {11009, le32(6)},
                                               {2052, le32(0)}}}}));
    // Only a media agent the instance knows reads it itself.
    EXPECT_EQ(testkit::mac::journal().count("GetDeviceInfo"), std::string(agent) == "ma1" ? 1u : 0u);
    EXPECT_EQ(config().FindDBNode("unknown-agent"), nullptr);
  }
}

TEST_F(LibraryControllers, AnNdmpProbeThatGetsNoAnswerSendsTheReasonAndEndsTheRequest) {
  // A filer that takes NDMP logins answers, also where it has no library.
  struct Case {
    const char* name;
    bool filer;
    bool reachable;
    std::string reason;
  } cases[] = {
      {"no server", false, false, "The NDMP server [filer2] does not answer."},
      {"a filer without a library there", true, true, "No library answers at [mc0] on the NDMP server [filer2]."},
      {"a filer that does not answer", true, false, "The NDMP server [filer2] does not answer."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testkit::ndmp::reset();
    testkit::ndmp::Filer filer;
    filer.reachable = c.reachable;
    if (c.filer) testkit::ndmp::seedFiler("filer2", filer);
    const auto answers = run(stream().op(58).text(11058, "filer2", true).text(11088, "mc0", true).end().end(), false);
    EXPECT_EQ(answers, (std::vector<Message>{operationResponse(58, 0, c.reason)}));
  }
  testkit::ndmp::reset();
}

TEST_F(LibraryControllers, ALibraryServersLibrariesAreOneRecordEachInOneReply) {
  nd::scriptLibraryServer("ls1", {{"L1", "V1", "P1", "I1", "fw1", 0, 2, 40, "1-40"},
                                  {"L2", "V2", "P2", "I2", "fw2", 0, 4, 80, "1-80"}});
  const auto answers = run(stream().op(58).text(11089, "ls1", true).end(), true);
  EXPECT_EQ(answers, (std::vector<Message>{{11091,
                                            {{11092, le32(0) + "L1(fw1)"},
                                             {11086, "V1"},
                                             {11087, "P1"},
                                             {11005, "fw1"},
                                             {11009, le32(2)},
                                             {11837, le32(40) + "1-40"},
                                             {2052, le32(0)},
                                             {11092, le32(0) + "L2(fw2)"},
                                             {11086, "V2"},
                                             {11087, "P2"},
                                             {11005, "fw2"},
                                             {11009, le32(4)},
                                             {11837, le32(80) + "1-80"},
                                             {2052, le32(0)}}}}));
  // Listing again reuses what the instance knows of the server.
  run(stream().op(58).text(11089, "ls1", true).end(), true);
  EXPECT_EQ(config().GetIPLibControllerList().GetListCount(), 2);
}

TEST_F(LibraryControllers, ALibraryServerThatOffersNothingIsRefusedWithItsReason) {
  nd::scriptLibraryServer("empty", {});
  struct Case {
    const char* server;
    std::string text;
  };
  const Case cases[] = {{"empty", text(0x24000177)}, {"nobody", "The library server [nobody] does not answer."}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.server);
    config().SetLastError(0x1F000005, "an earlier error");
    const auto answers = run(stream().op(58).text(11089, c.server, true).end(), false);
    EXPECT_EQ(answers, (std::vector<Message>{operationResponse(58, 0, c.text)}));
  }
}

}  // namespace
