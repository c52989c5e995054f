// Texts of device paths: the data-server type of an access type and its
// text, the access kind's text, the texts of an access-type change, and the
// bounds of every text taken from the catalogue.
#include <gtest/gtest.h>

#include <string>

#include "frame/EvMMConfigMgr.h"
#include "platform/catalogue/Catalogue.h"
#include "platform/testkit/events.h"

namespace {

TEST(DataServerType, TheFirstOfBits16_32_128GivesTheType) {
  const struct {
    int access;
    int type;
  } kCases[] = {{0, 0}, {2, 0}, {4 | 8, 0}, {16, 16}, {48, 16}, {16 | 128, 16}, {32, 32}, {32 | 128, 32},
                {128, 128}, {128 | 2, 128}, {64, 0}, {-1, 16}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.access);
    int type = -5;
    EvMMConfigMgr::IdentifyDataServerType(c.access, type);
    EXPECT_EQ(c.type, type);
  }
}

TEST(DataServerType, ItsTextReplacesTheCallersTextOnlyForADataServerPath) {
  const struct {
    int access;
    const char* text;
  } kCases[] = {{16, "DataServer-IP"}, {48, "DataServer-IP"}, {32, "DataServer-SAN"}, {128, "DataServer-iSCSI"},
                {4, "/mnt/folder"}, {0, "/mnt/folder"}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.access);
    std::string text = "/mnt/folder";
    EvMMConfigMgr::getDataServerString(c.access, text, 0);
    EXPECT_EQ(c.text, text);
  }
}

TEST(AccessTypeText, TheKindWithThePreferredTextBeforeItOrUnknown) {
  const struct {
    int access;
    const char* text;
  } kCases[] = {{2, "Read/Write"},         {6, "Read/Write"}, {10, "Preferred Read/Write"},
                {4, "Read Only"},          {12, "Preferred Read Only"}, {16, "Unknown"},
                {8, "Unknown"},            {0, "Unknown"},    {20, "Read Only"}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.access);
    EXPECT_EQ(c.text, EvMMConfigMgr::getDeviceAccessTypeText(c.access, 0));
  }
}

TEST(AccessTypeText, AChangeGivesBothTextsAndEqualTypesGiveNone) {
  std::string oldText = "stale";
  std::string newText = "stale";
  EvMMConfigMgr::getDeviceAccessTypeChangeInfo(6, 6, oldText, newText, 0);
  EXPECT_EQ("", oldText);
  EXPECT_EQ("", newText);
  EvMMConfigMgr::getDeviceAccessTypeChangeInfo(2, 12, oldText, newText, 0);
  EXPECT_EQ("Read/Write", oldText);
  EXPECT_EQ("Preferred Read Only", newText);
  // Two types with the same text still count as a change.
  EvMMConfigMgr::getDeviceAccessTypeChangeInfo(2, 6, oldText, newText, 0);
  EXPECT_EQ("Read/Write", oldText);
  EXPECT_EQ("Read/Write", newText);
}

TEST(AccessTypeText, TextsAreFetchedInTheCallersLocale) {
  testkit::events::reset();
  std::string text = "x";
  EvMMConfigMgr::getDataServerString(32, text, 7);
  EvMMConfigMgr::getDeviceAccessTypeText(10, 7);
  const auto calls = testkit::events::journal().calls("EvGetLocText");
  ASSERT_EQ(3u, calls.size());
  for (const auto& call : calls) EXPECT_EQ("7", call.args.at(2));
  EXPECT_EQ(std::to_string(0x23000C66), calls[0].args.at(0));
}

// Catalogue texts longer than the results (and texts that look like
// formats) are copied bounded and verbatim.
TEST(AccessTypeText, LongCatalogueTextsAreCutToTheirResultsOnACharacterBoundary) {
  const std::string euro = "\xE2\x82\xAC";
  const std::string longKind = "%s%n" + std::string(1500, 'k');
  const std::string longServer = std::string(1022, 'd') + euro;  // 1,025 bytes
  struct PutBack {
    ~PutBack() {
      static const tkcatalogue::Text kBack[] = {{0x24000344, "Read/Write"}, {0x23000C66, "DataServer-SAN"}};
      tkcatalogue::add(kBack, 2);
    }
  } putBack;
  const tkcatalogue::Text kLong[] = {{0x24000344, longKind.c_str()}, {0x23000C66, longServer.c_str()}};
  tkcatalogue::add(kLong, 2);

  const std::string kind = EvMMConfigMgr::getDeviceAccessTypeText(2, 0);
  const std::string preferred = EvMMConfigMgr::getDeviceAccessTypeText(10, 0);
  std::string server = "/folder";
  EvMMConfigMgr::getDataServerString(32, server, 0);

  EXPECT_EQ(longKind.substr(0, 1023), kind);
  EXPECT_EQ(1023u, preferred.size());
  EXPECT_EQ("Preferred %s%n", preferred.substr(0, 14));
  EXPECT_EQ(std::string(1022, 'd'), server);  // the euro sign would be cut: it goes whole
}

}  // namespace
