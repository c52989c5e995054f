// The catalogues of the configuration dialogs and the media-configuration
// parameter: vendor tables item by item, the library-vendor selector, the
// media types with their list freed on every path, and the process-wide
// serial-number check set by one request and read by the next, from any
// session.
#include <gtest/gtest.h>

#include "platform/testkit/debuglog.h"
#include "tests/mmconfig_drives/DrivesFixture.h"

namespace {

using drivetest::Connection;
using drivetest::Expected;
using drivetest::itemsOf;
using drivetest::idText;
using drivetest::u32Bytes;

class Catalogues : public drivetest::DrivesTest {
 protected:
  void SetUp() override {
    drivetest::DrivesTest::SetUp();
    ZQMACMediaConfig::m_bCheckSerialNumber = true;
  }
  void TearDown() override {
    ZQMACMediaConfig::m_bCheckSerialNumber = true;
    drivetest::DrivesTest::TearDown();
  }

  // The parameter Set from a client; what it received.
  std::vector<tkwire::Reply> setParam(tktest::StreamBuilder stream, bool expected, const Connection* client = nullptr) {
    const Connection& c = client != nullptr ? *client : m_a;
    auto request = stream.socket(c.socket().GetSocketDescriptor()).user(kUser).sequence(libtest::kSequence).build();
    EXPECT_EQ(m_mgr.onMsgSetMMMediaConfigParam(request.get()), expected);
    return c.replies();
  }
  std::vector<Expected> param() { return only(&EvMMConfigMgr::onMsgGetMMMediaConfigParam, 11081, 0); }
  static std::vector<Expected> paramIs(uint32_t value) { return {{11077, u32Bytes(value)}, {2052, u32Bytes(0)}}; }
};

// The items of operation responses, as (4001, 2051) pairs.
std::vector<std::pair<uint32_t, std::string>> answers(const std::vector<tkwire::Reply>& replies) {
  std::vector<std::pair<uint32_t, std::string>> out;
  for (const auto& r : replies) {
    EXPECT_EQ(r.messageId, 1024u);
    const tkwire::Item* op = r.find(4001);
    const tkwire::Item* status = r.find(2051);
    out.push_back({op != nullptr ? op->u32() : 0xFFFFFFFF, status != nullptr ? status->bytes : std::string()});
  }
  return out;
}

TEST_F(Catalogues, LibraryAndDriveTypesAnswerEmptyBlocks) {
  EXPECT_TRUE(only(&EvMMConfigMgr::onMsgGetMMLibraryTypes, 11050, 0).empty());
  EXPECT_TRUE(only(&EvMMConfigMgr::onMsgGetMMDriveTypes, 11052, 0).empty());
  drivetest::expectItems(only(&EvMMConfigMgr::onMsgGetMMMediaConfigInfo, 11084, 0), {{2052, u32Bytes(0)}});
}

TEST_F(Catalogues, DriveVendorsAreSentAsVendorBlankModelEach) {
  EXPECT_TRUE(only(&EvMMConfigMgr::onMsgGetMMDriveVendorModelTypes, 11070, 0).empty());
  ZQMACGraph::SetDriveVendors(config(), {{"DriveCo", "LT-7", "lt7"},
                                         {std::string("Cut\0here", 8), "M2", "m2"},
                                         {"", "", ""}});
  drivetest::expectItems(only(&EvMMConfigMgr::onMsgGetMMDriveVendorModelTypes, 11070, 0),
                         {{11069, idText(0, "DriveCo LT-7")},
                          {2052, u32Bytes(0)},
                          {11069, idText(1, "Cut M2")},
                          {2052, u32Bytes(0)},
                          {11069, idText(2, " ")},
                          {2052, u32Bytes(0)}});
}

TEST_F(Catalogues, TheLibraryVendorSelectorComesFromThePayloadAndChoosesTheTable) {
  ZQMACGraph::SetLibraryVendors(config(), false, {{"VendorA", "ModelA", "A"}});
  ZQMACGraph::SetLibraryVendors(config(), true, {{"VendorB", "ModelB", "B"}, {"VendorC", "ModelC", "C"}});
  drivetest::expectItems(only(&EvMMConfigMgr::onMsgGetMMLibraryVendors, 11091, 0),
                         {{11092, idText(0, "A")}, {11086, "VendorA"}, {11087, "ModelA"}, {2052, u32Bytes(0)}});
  const std::vector<Expected> selected = {{11092, idText(0, "B")}, {11086, "VendorB"}, {11087, "ModelB"},
                                          {2052, u32Bytes(0)},     {11092, idText(1, "C")}, {11086, "VendorC"},
                                          {11087, "ModelC"},       {2052, u32Bytes(0)}};
  drivetest::expectItems(only(&EvMMConfigMgr::onMsgGetMMLibraryVendors, 11091, 0, {{4, 1}}), selected);
  drivetest::expectItems(only(&EvMMConfigMgr::onMsgGetMMLibraryVendors, 11091, 0, {{4, 0x80000000}}), selected);
}

TEST_F(Catalogues, TheMediaTypesOfTheLibraryInThePayloadAreSentAndTheirListFreed) {
  testkit::mmlib::scriptMediaTypes(5, {{1, "Data cartridge"}, {3, std::string(5000, 'm')}});
  const std::vector<Expected> items = only(&EvMMConfigMgr::onMsgGetMMLibraryMediaTypes, 11076, 0, {{4, 5}});
  ASSERT_EQ(items.size(), 4u);
  drivetest::expectItems({items[0], items[1], items[3]},
                         {{2225, idText(0, "Data cartridge")}, {2052, u32Bytes(0)}, {2052, u32Bytes(0)}});
  EXPECT_EQ(items[2].bytes, idText(1, std::string(4099, 'm')));
  EXPECT_EQ(testkit::mmlib::outstandingLists(), 0);
  const auto calls = testkit::mmlib::journal().calls("getMediaTypeList");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].args[0], "5");
}

TEST_F(Catalogues, AMediaTypeListWithNoEntryIsRefusedAndStillFreed) {
  testkit::debuglog::Capture log;
  testkit::mmlib::scriptMediaTypes(5, {});
  EXPECT_TRUE(only(&EvMMConfigMgr::onMsgGetMMLibraryMediaTypes, 11076, 0, {{4, 5}}, false).empty());
  EXPECT_EQ(testkit::mmlib::outstandingLists(), 0);
  EXPECT_EQ(testkit::mmlib::journal().calls("deleteMediaTypesList").size(), 1u);
  EXPECT_TRUE(log.contains("EvMMConfigMgr::onMsgGetMMLibraryMediaTypes",
                           tktest::catalogueText(0x24000027, "")));

  SCOPED_TRACE("a library that cannot be read gives no list at all");
  testkit::mmlib::journal().reset();
  EXPECT_TRUE(only(&EvMMConfigMgr::onMsgGetMMLibraryMediaTypes, 11076, 0, {{4, 77}}, false).empty());
  EXPECT_EQ(testkit::mmlib::journal().calls("deleteMediaTypesList").size(), 0u);
  EXPECT_EQ(testkit::mmlib::outstandingLists(), 0);
}

// ---------------------------------------------------------------- the parameter

TEST_F(Catalogues, TheSerialNumberCheckSetByOneRequestIsReadByTheNextOfAnySession) {
  drivetest::expectItems(param(), paramIs(1));
  EXPECT_EQ(answers(setParam(tktest::StreamBuilder().op(3).u32(4106, 2).u32(11077, 0).end(), true)),
            (std::vector<std::pair<uint32_t, std::string>>{{3, tktest::wordAndText(1, "Success")}}));
  drivetest::expectItems(param(), paramIs(0));
  EXPECT_FALSE(ZQMACMediaConfig::m_bCheckSerialNumber.load());

  // A new session (client B takes it over) reads the same value.
  tktest::resetSessionState();
  auto request = m_b.request(1, 0, kUser);
  ASSERT_NE(EvMMConfigMgr::GetCurrentMediaConfig(request.get(), true), nullptr);
  const auto replies = ask(&EvMMConfigMgr::onMsgGetMMMediaConfigParam, 0, {}, &m_b);
  ASSERT_EQ(replies.size(), 1u);
  drivetest::expectItems(itemsOf(replies[0]), paramIs(0));
}

TEST_F(Catalogues, EachRecordOfTheParameterSetIsAnsweredByItself) {
  const auto success = tktest::wordAndText(1, "Success");
  // Two records; any non-zero value switches the check on; a record
  // without 11077 keeps the value of the earlier one.
  EXPECT_EQ(answers(setParam(tktest::StreamBuilder().op(3).u32(11077, 0).end().u32(11077, 7).end().end(), true)),
            (std::vector<std::pair<uint32_t, std::string>>{{3, success}, {3, success}, {3, success}}));
  EXPECT_TRUE(ZQMACMediaConfig::m_bCheckSerialNumber.load());

  ZQMACMediaConfig::m_bCheckSerialNumber = false;
  EXPECT_EQ(answers(setParam(tktest::StreamBuilder().op(3).end(), true)),
            (std::vector<std::pair<uint32_t, std::string>>{{3, success}}));
  EXPECT_FALSE(ZQMACMediaConfig::m_bCheckSerialNumber.load());
}

TEST_F(Catalogues, TheParameterSetRefusesOtherOperationsAndAnswersATakenOverSessionClose) {
  struct Case {
    const char* name;
    tktest::StreamBuilder stream;
    const Connection* client;
    bool result;
    std::vector<std::pair<uint32_t, std::string>> expected;
  };
  const std::string invalid = tktest::wordAndText(0, "Received invalid operation type");
  const Case cases[] = {
      {"operation 4", tktest::StreamBuilder().op(4).u32(11077, 0).end(), &m_a, false, {{0xFFFFFFFF, invalid}}},
      {"no operation", tktest::StreamBuilder().u32(11077, 0).end(), &m_a, false, {{0xFFFFFFFF, invalid}}},
      {"a session taken over", tktest::StreamBuilder().op(3).u32(11077, 0).end(), &m_b, true,
       {{3, tktest::wordAndText(1, "Close")}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<tkwire::Reply> replies = setParam(c.stream, c.result, c.client);
    // The session-taken-over client also gets the force-close notice first.
    if (c.client == &m_b && !replies.empty() && replies[0].messageId == 11055) replies.erase(replies.begin());
    EXPECT_EQ(answers(replies), c.expected);
    EXPECT_TRUE(ZQMACMediaConfig::m_bCheckSerialNumber.load());
  }
}

}  // namespace
