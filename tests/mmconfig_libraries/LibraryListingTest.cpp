// The library listing as a console sees it: the session rule, the
// configuration-wide items, which libraries are listed, the terminate flag,
// the property request's handle check, records of libraries with missing
// parts, and the cutting of long texts.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "platform/testkit/debuglog.h"
#include "platform/testkit/reply.h"
#include "tests/mmconfig_libraries/LibrariesFixture.h"

namespace {

using libtest::Expected;
using libtest::idText;
using libtest::ListingWorld;
using libtest::u32Bytes;

// A media agent that sets its configuration's terminate flag when its name
// is read, as a session released while the list is being built would.
class TerminatingAgent : public ZQMACMediaAgent {
 public:
  const std::string& GetName() const override {
    if (GetOwner() != nullptr) GetOwner()->SetTerminateFlag(true);
    return ZQMACMediaAgent::GetName();
  }
};

class LibraryListing : public libtest::LibrariesTest {
 protected:
  // The tags of the items, and the values of the 11003 items, of a list.
  static std::vector<unsigned long long> listedHandles(const std::vector<Expected>& items) {
    std::vector<unsigned long long> handles;
    for (const Expected& item : items)
      if (item.tag == 11003) {
        EXPECT_EQ(item.bytes.size(), 8u);
        unsigned long long h = 0;
        for (int i = 7; i >= 0; --i) h = (h << 8) | static_cast<unsigned char>(item.bytes[static_cast<std::size_t>(i)]);
        handles.push_back(h);
      }
    return handles;
  }
  // The configuration-wide items of a list (the first six).
  static std::vector<Expected> headerOf(const std::vector<Expected>& items) {
    return std::vector<Expected>(items.begin(), items.begin() + std::min<std::size_t>(6, items.size()));
  }
  static std::vector<Expected> header(uint32_t agents, uint32_t ready, uint32_t kinds, uint32_t type2,
                                      const std::string& local = "/", const std::string& database = "/") {
    return {{11190, u32Bytes(agents)}, {11191, u32Bytes(ready)}, {11212, u32Bytes(kinds)},
            {11419, u32Bytes(type2)},  {11215, local},              {11221, database}};
  }
};

// ---------------------------------------------------------------- the session

TEST_F(LibraryListing, AGetFromAClientThatIsNotTheSessionHolderGetsTheForceCloseNoticeThenAnEmptyReply) {
  libtest::seedListingWorld(config());
  EvMMConfigMgr::SetLastLoginName("carol");
  const std::string notice = tktest::wordAndText(4, tktest::catalogueText(0x240002FA, "carol"));
  for (int handler = 0; handler < 2; ++handler) {
    SCOPED_TRACE(handler == 0 ? "onMsgGetMMLibraries" : "onMsgGetMMLibraryProperties");
    auto request = m_b.request(libtest::kSequence, 0, 8);
    request->objectHandle = handleOf(config().GetLmsList().GetFirstNode());
    EXPECT_TRUE(handler == 0 ? m_mgr.onMsgGetMMLibraries(request.get())
                             : m_mgr.onMsgGetMMLibraryProperties(request.get()));
    const auto replies = m_b.replies();
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_EQ(replies[0].messageId, 11055u);
    EXPECT_EQ(replies[0].sequence, libtest::kSequence);
    ASSERT_EQ(tktest::tagsOf(replies[0]), std::vector<uint32_t>{11102});
    EXPECT_EQ(replies[0].items[0].bytes, notice);
    EXPECT_EQ(replies[1].messageId, 11002u);
    EXPECT_EQ(replies[1].sequence, libtest::kSequence);
    EXPECT_TRUE(replies[1].items.empty());
  }
  EXPECT_TRUE(m_a.replies().empty());
}

TEST_F(LibraryListing, ANullRequestIsRefusedWithoutAnAnswer) {
  testkit::debuglog::Capture log;
  testkit::reply::Recorder recorder;
  EXPECT_FALSE(m_mgr.onMsgGetMMLibraries(nullptr));
  EXPECT_FALSE(m_mgr.onMsgGetMMLibraryProperties(nullptr));
  EXPECT_TRUE(recorder.replies().empty());
  EXPECT_TRUE(log.contains("EvMMConfigMgr::onMsgGetMMLibraries", "Bad Parameter Received."));
  EXPECT_TRUE(log.contains("EvMMConfigMgr::onMsgGetMMLibraryProperties", "Bad Parameter Received."));
}

TEST_F(LibraryListing, AReplyThatCannotBeBegunIsAnsweredWithTheAllocationFailure) {
  libtest::seedListingWorld(config());
  testkit::reply::failNextBegins(1);
  const auto replies = listLibraries(m_a, false);
  tktest::expectStatus(replies, libtest::kSequence, 0, tktest::catalogueText(0x23000002));
}

// ---------------------------------------------------------------- the list

TEST_F(LibraryListing, TheListSendsTheConfigurationItemsThenEachShownLibraryWithItsRecord) {
  ListingWorld lw = libtest::seedListingWorld(config());
  ZQMACGraph::SetDrives(config(), "/srv/tk", "/srv/tkdb");
  const auto items = onlyLibraryReply(listLibraries(m_a));
  libtest::expectItems(headerOf(items), header(1, 1, 0, 0, "/srv/tk", "/srv/tkdb"));
  EXPECT_EQ(listedHandles(items),
            (std::vector<unsigned long long>{handleOf(lw.w.lms), handleOf(lw.w.diskLibrary)}));

  // Each record is the one the property request gives.
  const auto tape = onlyLibraryReply(libraryProperties(handleOf(lw.w.lms)));
  const auto disk = onlyLibraryReply(libraryProperties(handleOf(lw.w.diskLibrary)));
  std::vector<Expected> expected = header(1, 1, 0, 0, "/srv/tk", "/srv/tkdb");
  expected.push_back({11003, tktest::le64(handleOf(lw.w.lms))});
  expected.insert(expected.end(), tape.begin(), tape.end());
  expected.push_back({11003, tktest::le64(handleOf(lw.w.diskLibrary))});
  expected.insert(expected.end(), disk.begin(), disk.end());
  libtest::expectItems(items, expected);
}

TEST_F(LibraryListing, TheConfigurationItemsReportArchiveClusterAgentsAndDiskDeviceKinds) {
  struct Case {
    const char* name;
    bool centera1, detected1, hidden1, cluster;
    int deviceType;  // display type of the disk device
    bool deviceShown;
    std::vector<Expected> expected;
  };
  const Case cases[] = {
      {"no agent reaches archive clusters", false, true, false, true, 0, true, header(0, 0, 0, 0)},
      {"the only such agent is hidden", true, true, true, true, 0, true, header(0, 0, 0, 0)},
      {"agents but no cluster", true, true, false, false, 0, true, header(1, 0, 0, 0)},
      {"agents and a cluster, no agent detected", true, false, false, true, 0, true, header(1, 0, 0, 0)},
      {"agents, a cluster and a detected agent", true, true, false, true, 0, true, header(1, 1, 0, 0)},
      {"a disk device of type 3", false, false, false, true, 3, true, header(0, 0, 1, 0)},
      {"a disk device of type 4", false, false, false, true, 4, true, header(0, 0, 2, 0)},
      {"a disk device of type 2", false, false, false, true, 2, true, header(0, 0, 0, 1)},
      {"a hidden disk device of type 3", false, false, false, true, 3, false, header(0, 0, 0, 0)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    config().ClearObjects();
    testkit::mac::World w = testkit::mac::seedWorld(config());
    ZQMACGraph::SetCenteraAgent(w.agent1, c.centera1);
    ZQMACGraph::SetDetected(w.agent1, c.detected1);
    w.agent1->SetShown(!c.hidden1);
    if (!c.cluster) config().DeleteObject(w.cluster);
    ZQMACGraph::SetDeviceTypes(w.diskDevice, c.deviceType, 0);
    ZQMACGraph::SetShownFlag(w.diskDevice, c.deviceShown);
    libtest::expectItems(headerOf(onlyLibraryReply(listLibraries(m_a))), c.expected);
  }
  // Both kinds of disk device at once set both bits.
  config().ClearObjects();
  testkit::mac::World w = testkit::mac::seedWorld(config());
  ZQMACGraph::SetDeviceTypes(w.diskDevice, 3, 0);
  ZQMACGraph::SetDeviceTypes(ZQMACGraph::AddDiskDevice(config(), 32, "SAN-LUN-2"), 1, 4);
  libtest::expectItems(headerOf(onlyLibraryReply(listLibraries(m_a))), header(0, 0, 3, 0));
}

TEST_F(LibraryListing, HiddenLibrariesAreLeftOutEntirely) {
  ListingWorld lw = libtest::seedListingWorld(config());
  ZQMACLms* second = ZQMACGraph::AddLms(config(), 6, "TapeLib2");
  ZQMACMagLib* secondDisk = ZQMACGraph::AddMagLib(config(), lw.w.agent2, 10, "DiskLib2");
  ZQMACGraph::SetShownFlag(lw.w.lms, false);
  ZQMACGraph::SetShownFlag(lw.w.diskLibrary, false);
  const auto items = onlyLibraryReply(listLibraries(m_a));
  EXPECT_EQ(listedHandles(items), (std::vector<unsigned long long>{handleOf(second), handleOf(secondDisk)}));
  // A hidden library still answers its own property request.
  EXPECT_FALSE(onlyLibraryReply(libraryProperties(handleOf(lw.w.lms))).empty());
}

TEST_F(LibraryListing, TheTerminateFlagStopsTheListAfterTheCurrentLibrary) {
  ListingWorld lw = libtest::seedListingWorld(config());
  auto owned = std::make_unique<TerminatingAgent>();
  ASSERT_NE(config().AdoptObject(owned.get()), 0u);
  TerminatingAgent* stopper = owned.release();
  ZQMACGraph::SetName(stopper, "ma-stop");
  ZQMACLms* second = ZQMACGraph::AddLms(config(), 6, "TapeLib2");
  ZQMACGraph::AddLibController(second, stopper, 54, "TapeLib2 on ma-stop");
  ZQMACGraph::AddLms(config(), 7, "TapeLib3");

  const auto items = onlyLibraryReply(listLibraries(m_a));
  // The header, the first library, and the second library whole (its agent
  // set the flag while its record was written); nothing after it.
  EXPECT_EQ(listedHandles(items), (std::vector<unsigned long long>{handleOf(lw.w.lms), handleOf(second)}));
  ASSERT_FALSE(items.empty());
  EXPECT_EQ(items.back().tag, 2052u);
  EXPECT_EQ(std::count_if(items.begin(), items.end(), [](const Expected& e) { return e.tag == 2048; }), 2);

  // Set before the list: only the configuration items.
  const auto again = onlyLibraryReply(listLibraries(m_a));
  EXPECT_EQ(again.size(), 6u);
  libtest::expectItems(again, header(1, 1, 0, 0));
}

// ---------------------------------------------------------------- one library

TEST_F(LibraryListing, AHandleOfAnyOtherObjectOrNoObjectGivesAnEmptyBlock) {
  ListingWorld lw = libtest::seedListingWorld(config());
  ZQMACInterface* gone = ZQMACGraph::AddLms(config(), 8, "Gone");
  const unsigned long long goneHandle = handleOf(gone);
  config().DeleteObject(gone);
  ZQMACMediaConfig other;
  ZQMACLms* foreign = ZQMACGraph::AddLms(other, 5, "Foreign");

  const struct {
    const char* name;
    unsigned long long handle;
  } cases[] = {
      {"zero", 0},
      {"above 32 bits", (1ull << 32) | handleOf(lw.w.lms)},
      {"a drive", handleOf(lw.w.drive1)},
      {"a library controller", handleOf(lw.w.controller1)},
      {"the library part of a tape library", handleOf(lw.w.library)},
      {"the controller group of a tape library", handleOf(lw.w.lms->GetLibControllerNode())},
      {"a media agent", handleOf(lw.w.agent1)},
      {"a mount path", handleOf(lw.w.mountPath1)},
      {"a deleted library", goneHandle},
      {"a library of another instance", other.GetHandle(foreign)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_TRUE(onlyLibraryReply(libraryProperties(c.handle)).empty());
  }
}

TEST_F(LibraryListing, ALibraryWithoutControllerOrLibraryPartSendsItsItemsInTheirEmptyForm) {
  ListingWorld lw = libtest::seedListingWorld(config());
  const unsigned long long lms = handleOf(lw.w.lms);
  config().DeleteObject(lw.w.controller1);
  config().DeleteObject(lw.w.controller2);
  config().DeleteObject(lw.sibling);
  const std::vector<Expected> noController = {
      {2049, idText(5, "TapeLib1")},   {8081, u32Bytes(7)},         {8251, "TL1-alias"},
      {11176, std::string(8, '\0')},   {2220, idText(0, "VendorCo")}, {2221, idText(0, "Changer X")},
      {8213, "SN123"},                 {11005, "1.0"},              {11006, "unit"},
      {11008, u32Bytes(1)},            {11009, u32Bytes(2)},        {11115, u32Bytes(0)},
      {11164, u32Bytes(1)},            {11177, u32Bytes(1)},        {11414, u32Bytes(1)},
      {11415, u32Bytes(0)},            {11430, u32Bytes(1)},        {11431, u32Bytes(0)},
      {11416, u32Bytes(5)},            {11179, u32Bytes(1)},        {11417, "A00000-A00099"},
      {11007, idText(static_cast<uint32_t>(lms), "")},
      {11432, u32Bytes(1)},            {11433, idText(0, "Physical library")},
      {11433, idText(1, "Virtual tape library")},
      {11433, idText(2, "Virtual tape library with deduplication")},
      {2052, u32Bytes(0)},
  };
  libtest::expectItems(onlyLibraryReply(libraryProperties(lms)), noController);

  // Without its library part either: the part's items are blank too, and
  // a library not configured has no detected type to send.
  config().DeleteObject(lw.w.library);
  ZQMACGraph::SetConfigured(lw.w.lms, false);
  const std::vector<Expected> blank = {
      {2049, idText(0xFFFFFFFF, "")},  {8081, u32Bytes(0)},         {8251, ""},
      {11176, std::string(8, '\0')},   {2220, idText(0, "")},       {2221, idText(0, "")},
      {8213, ""},                      {11005, ""},                 {11006, ""},
      {11008, u32Bytes(0)},            {11009, u32Bytes(2)},        {11115, u32Bytes(0)},
      {11164, u32Bytes(1)},            {11177, u32Bytes(0)},        {11414, u32Bytes(0)},
      {11415, u32Bytes(0)},            {11430, u32Bytes(0)},        {11431, u32Bytes(0)},
      {11416, u32Bytes(0)},            {11179, u32Bytes(1)},        {11417, ""},
      {11007, idText(static_cast<uint32_t>(lms), "")},
      {11432, u32Bytes(0)},            {11433, idText(0, "Physical library")},
      {11433, idText(1, "Virtual tape library")},
      {11433, idText(2, "Virtual tape library with deduplication")},
      {2052, u32Bytes(0)},
  };
  libtest::expectItems(onlyLibraryReply(libraryProperties(lms)), blank);
}

// ---------------------------------------------------------------- texts

TEST_F(LibraryListing, TextsAreCutAt4099CharactersBehindAnIdAnd4103Bare) {
  ListingWorld lw = libtest::seedListingWorld(config());
  const struct {
    std::size_t length;
    std::size_t idTextSent;  // characters of 2049 behind the id
    std::size_t bareSent;    // characters of 8251
  } cases[] = {{0, 0, 0},          {4098, 4098, 4098}, {4099, 4099, 4099}, {4100, 4099, 4100},
               {4103, 4099, 4103}, {4104, 4099, 4103}, {9000, 4099, 4103}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.length);
    std::string text(c.length, 'x');
    for (std::size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>('a' + i % 26);
    ZQMACGraph::SetName(lw.w.library, text);
    ZQMACGraph::SetLibraryAlias(lw.w.library, text);
    const auto items = onlyLibraryReply(libraryProperties(handleOf(lw.w.lms)));
    ASSERT_GE(items.size(), 3u);
    EXPECT_EQ(items[0].tag, 2049u);
    EXPECT_EQ(items[0].bytes, idText(5, text.substr(0, c.idTextSent)));
    EXPECT_EQ(items[2].tag, 8251u);
    EXPECT_EQ(items[2].bytes, text.substr(0, c.bareSent));
  }
  // A text ends at its first zero byte, as a C string would.
  ZQMACGraph::SetLibraryAlias(lw.w.library, std::string("ab\0cd", 5));
  const auto items = onlyLibraryReply(libraryProperties(handleOf(lw.w.lms)));
  ASSERT_GE(items.size(), 3u);
  EXPECT_EQ(items[2].bytes, "ab");
}

}  // namespace
