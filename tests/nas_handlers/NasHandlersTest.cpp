// The NDMP server names and the NAS-client listing, removal and restore, as
// the host calls them: replies decoded from the client's socket, the
// service's rows, the rights questions, alerts and log lines.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "frame/EvEvent.h"
#include "platform/client/ZQApplicationType.h"
#include "platform/client/ZQClient.h"
#include "tests/nas_handlers/NasHandlersFixture.h"

namespace nastest {
namespace {

namespace nk = testkit::nasclient;

// ---- NDMP server names -------------------------------------------------------

class NdmpServers : public NasHandlerTest {
 protected:
  // The names of reply 11059, each checked to be followed by 2052 [0].
  std::vector<std::string> listedNames(uint32_t filter) {
    EXPECT_EQ(handler.onMsgGetMMNDMPServers(words(filter).get()), 1);
    const auto got = replies();
    EXPECT_EQ(got.size(), 1u);
    std::vector<std::string> names;
    if (got.empty()) return names;
    EXPECT_EQ(got[0].messageId, 11059u);
    EXPECT_EQ(got[0].sequence, kSequence);
    for (std::size_t i = 0; i < got[0].items.size(); i += 2) {
      EXPECT_EQ(got[0].items[i].tag, 11058u);
      names.push_back(got[0].items[i].bytes);
      EXPECT_TRUE(i + 1 < got[0].items.size() && got[0].items[i + 1].tag == 2052u &&
                  got[0].items[i + 1].bytes == le32(0));
    }
    return names;
  }
};

TEST_F(NdmpServers, TheFilterWordSelectsTheKindsOfRow) {
  addClient(5, "c05");
  addClient(12, "c12");
  addClient(16, "c16");
  addClient(6, "c06");
  for (const int osType : {5, 12, 16, 6}) addNdmpRow(osType, osType);
  const struct {
    uint32_t filter;
    std::vector<std::string> names;
  } cases[] = {
      {0, {"c06"}},
      {2, {"c06"}},
      {1, {"c05", "c06", "c12", "c16"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.filter);
    EXPECT_EQ(listedNames(c.filter), c.names);
  }
}

TEST_F(NdmpServers, NamesAreSortedAndAClientWithTwoRowsIsNamedTwice) {
  addClient(30, "zeta");
  addClient(31, "Alpha");
  addNdmpRow(30, 6);
  addNdmpRow(31, 7);
  addNdmpRow(30, 8);
  EXPECT_EQ(listedNames(1), (std::vector<std::string>{"Alpha", "zeta", "zeta"}));
}

TEST_F(NdmpServers, RowsWithoutAClientIdOrNameAreSkippedWithTheirLogLines) {
  addClient(40, "named");
  addNdmpRow(40, 6);
  addNdmpRow(0, 6);
  addNdmpRow(41, 6);  // no such client
  EXPECT_EQ(listedNames(1), std::vector<std::string>{"named"});
  EXPECT_TRUE(log.contains("has no client ID set. Not returning this NDMP server."));
  EXPECT_TRUE(log.contains(
      "Unable to determine client name for NAS NDMP row with client ID [41]. Not returning this NDMP server."));
}

TEST_F(NdmpServers, AnUnreadableHostListEndsTheReplyEmpty) {
  testkit::mmdb::failNext("ZQMMNDMPHostInfo::getNDMPHostList", -1, "down");
  EXPECT_EQ(handler.onMsgGetMMNDMPServers(words(1).get()), 0);
  const auto got = replies();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].messageId, 11059u);
  EXPECT_TRUE(got[0].items.empty());
}

// ---- NAS client listing --------------------------------------------------------

TEST_F(NasHandlerTest, NasClientsAreListedWithTheirDeletedMarkAndProxyAgent) {
  nk::setNasClients({{"filer1", "ma1", false}, {"filer2", "ma2", true}});
  EXPECT_EQ(handler.onMsgGetNASClients(words(0).get()), 1);
  const auto got = replies();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].messageId, 11501u);
  ASSERT_EQ(tagsOf(got[0]), (Tags{2009, 7501, 2048, 2052, 2009, 7501, 2048, 2052}));
  EXPECT_EQ(got[0].items[0].bytes.substr(4), "filer1");
  EXPECT_EQ(got[0].items[1].bytes, le32(0));
  EXPECT_EQ(got[0].items[2].bytes, wordAndText(0, "ma1"));
  EXPECT_EQ(got[0].items[4].bytes.substr(4), "filer2");
  EXPECT_EQ(got[0].items[5].bytes, le32(1));
  EXPECT_EQ(got[0].items[6].bytes, wordAndText(0, "ma2"));
}

TEST_F(NasHandlerTest, AListingTheServiceCannotGiveIsAnEmptyReplyAndFails) {
  nk::answerError(tknas::kNasClientList, 0x29000099, "busy");
  EXPECT_EQ(handler.onMsgGetNASClients(words(0).get()), 0);
  const auto got = replies();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].messageId, 11501u);
  EXPECT_TRUE(got[0].items.empty());
}

// ---- NAS client removal and restore ---------------------------------------------

TEST_F(NasHandlerTest, ARemoveAndARestoreInOneRequestAreBothCarriedOut) {
  nk::setNasClients({{"filer1", "ma1", false}, {"filer2", "ma1", true}});
  StreamBuilder builder;
  builder = record(std::move(builder), 2, "filer1");
  builder = record(std::move(builder), 56, "filer2");
  EXPECT_EQ(handler.onMsgSetNASClient(stream(std::move(builder)).get()), 1);
  const auto got = replies();
  ASSERT_EQ(got.size(), 2u);
  expectOperation(got[0], 2, 1, "Success");
  expectOperation(got[1], 56, 1, "Success");
  const auto rows = nk::nasClients();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_TRUE(rows[0].deleted);
  EXPECT_FALSE(rows[1].deleted);
  // The rights question: permission 2018 on the Tarnfold.
  const auto asked = testkit::security::journal().calls("userHasRight");
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[0].args, (std::vector<std::string>{"9", "1", "false", "2018", "2", "0", "0", "0", "0", "0", "0", "2",
                                                     "true"}));
}

TEST_F(NasHandlerTest, ARemoveWithoutItsProxyAgentIsRefusedBeforeAnyRightsQuestion) {
  nk::setNasClients({{"filer1", "ma1", false}});
  EXPECT_EQ(handler.onMsgSetNASClient(stream(StreamBuilder().op(2).pair(2009, 0, "filer1").end()).get()), 0);
  const auto got = replies();
  ASSERT_EQ(got.size(), 1u);
  expectOperation(got[0], 2, 0, catalogueText(0x240001F3));
  EXPECT_TRUE(testkit::security::journal().calls("userHasRight").empty());
  EXPECT_FALSE(nk::nasClients()[0].deleted);
}

TEST_F(NasHandlerTest, AddAndUnknownOperationsAreRefused) {
  EXPECT_EQ(handler.onMsgSetNASClient(stream(record(StreamBuilder(), 1, "filer1")).get()), 0);
  EXPECT_EQ(handler.onMsgSetNASClient(stream(record(StreamBuilder(), 9, "filer1")).get()), 0);
  const auto got = replies();
  ASSERT_EQ(got.size(), 2u);
  expectOperation(got[0], 1, 0, catalogueText(0x4800003B));
  expectResponse(got[1], 0, "Received invalid operation type");
  EXPECT_TRUE(log.contains("Received invalid operation type [9]."));
}

TEST_F(NasHandlerTest, RefusedRightsRaiseTheAlertAndAnswerTheRefusalText) {
  // The name and the reason carry format characters: they are arguments of
  // the catalogue texts, never formats.
  const std::string name = "filer%s%n";
  const std::string reason = "no right %s%n on cs";
  nk::setNasClients({{name, "ma1", true}});
  testkit::security::deny("userHasRight", kUser, testkit::security::kAny, reason);
  const struct {
    uint32_t operation;
    std::string text;
  } cases[] = {
      {2, catalogueText(0x240001F6, reason.c_str())},
      // The restore names the client and gives the reason, which names the user.
      {56, "You may not restore the NAS client [" + name + "]: " + reason},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.operation);
    testkit::alerts::reset();
    EXPECT_EQ(handler.onMsgSetNASClient(stream(record(StreamBuilder(), c.operation, name)).get()), 0);
    const auto got = replies();
    ASSERT_EQ(got.size(), 1u);
    expectResponse(got[0], 0, c.text);
    const auto alerts = testkit::alerts::sent();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].alertId, 1020);
    EXPECT_EQ(alerts[0].condition, 12);
    EXPECT_EQ(alerts[0].whomId, static_cast<long>(kUser));
    EXPECT_EQ(alerts[0].message, reason);
    EXPECT_TRUE(nk::nasClients()[0].deleted);
  }
  EXPECT_NE(cases[1].text.find(name), std::string::npos);
}

TEST_F(NasHandlerTest, AServiceFailureIsExplainedByItsCodeClass) {
  nk::setNasClients({{"filer1", "ma1", false}});
  const struct {
    uint32_t code;
    std::string text;
  } cases[] = {
      {0x29000005, catalogueText(0x29000022, "remove", "filer1", kTarnkeep)},
      {0x29000006, catalogueText(0x29000022, "remove", "filer1", "ma1")},
      {0x29000002, catalogueText(0x29000021, "remove", "filer1", "ma1")},
      {0x29000008, catalogueText(0x29000021, "remove", "filer1", "ma1")},
      {0x29000099, catalogueText(0x29000023, "remove", "filer1")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    nk::answerError(tknas::kRemoveNasClientReply, c.code, "service says no");
    EXPECT_EQ(handler.onMsgSetNASClient(stream(record(StreamBuilder(), 2, "filer1")).get()), 0);
    const auto got = replies();
    ASSERT_EQ(got.size(), 1u);
    expectOperation(got[0], 2, 0, c.text);
    EXPECT_FALSE(nk::nasClients()[0].deleted);
  }
  EXPECT_TRUE(log.contains("service says no"));
}

TEST_F(NasHandlerTest, AFailedRestoreIsAnsweredAsARestoreNotAsARemove) {
  nk::setNasClients({{"filer2", "ma1", true}});
  nk::answerError(tknas::kUndeleteNasClientReply, 0x29000005, "service says no");
  EXPECT_EQ(handler.onMsgSetNASClient(stream(record(StreamBuilder(), 56, "filer2")).get()), 0);
  const auto got = replies();
  ASSERT_EQ(got.size(), 1u);
  expectOperation(got[0], 56, 0, catalogueText(0x29000022, "unremove", "filer2", kTarnkeep));
  EXPECT_TRUE(nk::nasClients()[0].deleted);
  EXPECT_TRUE(log.contains("service says no"));
}

TEST_F(NasHandlerTest, TheErrorTextOfARestoreNamesTheOperationUnremove) {
  char buffer[64];
  EvEvent event;
  EvNASConfigMgr::ncwErrorText(event, 0x29000099, buffer, sizeof buffer, kSequence, "unremove", "ignored", "ma1",
                               kTarnkeep, nullptr);
  EXPECT_EQ(std::string(buffer), catalogueText(0x29000023, "unremove", "").substr(0, sizeof buffer - 1));
}

TEST_F(NasHandlerTest, AClientNameFillingTheWholeValueIsReadBoundedAndCut) {
  // 4 + 4,100 bytes: the value buffer is full and holds no terminator.
  const std::string name(4100, 'n');
  nk::setNasClients({{name.substr(0, 4099), "ma1", false}});
  EXPECT_EQ(handler.onMsgSetNASClient(stream(record(StreamBuilder(), 2, name)).get()), 1);
  const auto got = replies();
  ASSERT_EQ(got.size(), 1u);
  expectOperation(got[0], 2, 1, "Success");
  EXPECT_TRUE(nk::nasClients()[0].deleted);
}

TEST_F(NasHandlerTest, ElementsOfOtherRequestsAreSkippedAndLogged) {
  nk::setNasClients({{"filer1", "ma1", false}});
  auto builder = StreamBuilder().u32(11502, 1).text(11503, "x").u32(6011, 3).text(11058, "y").u32(777, 1);
  EXPECT_EQ(handler.onMsgSetNASClient(stream(record(std::move(builder), 2, "filer1")).get()), 1);
  expectOperation(replies().at(0), 2, 1, "Success");
  EXPECT_TRUE(log.contains("Has received an unprocessed element type [777-"));
  EXPECT_FALSE(log.contains("Has received an unprocessed element type [11502-"));
}

TEST_F(NasHandlerTest, ANullRequestIsRefusedWithoutAnswer) {
  EXPECT_EQ(handler.onMsgSetNASClient(nullptr), 0);
  EXPECT_TRUE(replies().empty());
  EXPECT_TRUE(log.contains("Bad Parameter Received."));
}

}  // namespace
}  // namespace nastest

namespace {

// The application-type chain goes through its virtual bases, whichever class
// the object is deleted as (the sanitizers check the deletes).
TEST(ApplicationTypes, EachKindKeepsItsClientAndGoesThroughItsBase) {
  std::vector<std::unique_ptr<ZQApplicationType>> types;
  types.push_back(std::make_unique<ApplicationTypeFS>(7, 33));
  types.push_back(std::make_unique<ApplicationTypeNetwareFS>(8, 12));
  types.push_back(std::make_unique<ApplicationTypeCenteraFS>(9, 88));
  EXPECT_EQ(types[2]->getClientId(), 9u);
  EXPECT_EQ(types[2]->getAppTypeId(), 88);
  EXPECT_EQ(ZQApplicationType::getErrorString(-1), ZQClient::getErrorString(-1));
}

}  // namespace
