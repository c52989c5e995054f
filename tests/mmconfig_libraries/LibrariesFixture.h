// Shared pieces of the library-listing tests: a session held by client A
// on a configuration instance the test fills with ZQMACGraph, a second
// client B, the listing requests of both handlers, and the bytes of the
// reply item layouts.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "frame/ElementTags.h"
#include "frame/EvMMConfigMgr.h"
#include "frame/mac/ZQMACObjects.h"
#include "platform/testkit/external.h"
#include "platform/testkit/mac.h"
#include "tests/support/FrameSession.h"
#include "tests/support/StreamBuilder.h"
#include "tests/support/TestDatabase.h"

namespace libtest {

using tktest::Connection;
using tktest::le32;
using tktest::le64;

inline constexpr uint32_t kReplyLibraries = tktag::kReplyLibraries;
inline constexpr int64_t kSequence = 0x42;

// Bytes of the item layouts.
inline std::string u32Bytes(uint32_t value) { return le32(value); }
inline std::string idText(uint32_t id, const std::string& text) { return le32(id) + text; }

// One item as expected: its tag and its bytes.
struct Expected {
  uint32_t tag;
  std::string bytes;
};

// The items of a reply, as (tag, bytes).
inline std::vector<Expected> itemsOf(const tkwire::Reply& reply) {
  std::vector<Expected> out;
  for (const auto& item : reply.items) out.push_back({item.tag, item.bytes});
  return out;
}

// `actual` holds exactly the expected items, item by item.
inline void expectItems(const std::vector<Expected>& actual, const std::vector<Expected>& expected) {
  for (std::size_t i = 0; i < expected.size() && i < actual.size(); ++i) {
    SCOPED_TRACE("item " + std::to_string(i + 1) + " tag " + std::to_string(expected[i].tag));
    EXPECT_EQ(actual[i].tag, expected[i].tag);
    EXPECT_EQ(actual[i].bytes.size(), expected[i].bytes.size());
    EXPECT_EQ(actual[i].bytes, expected[i].bytes);
  }
  EXPECT_EQ(actual.size(), expected.size());
}

// A library world for the listing: the tape library and the disk library
// of the standard world with every field the records read set to a value
// of its own.
struct ListingWorld {
  testkit::mac::World w;
  ZQMACLibController* sibling = nullptr;  // a further controller of the tape library on ma1
};

inline ListingWorld seedListingWorld(ZQMACMediaConfig& config) {
  ListingWorld lw;
  testkit::mac::World& w = lw.w;
  w = testkit::mac::seedWorld(config);

  ZQMACGraph::SetOSId(w.agent1, 0x100000007ll);
  ZQMACGraph::SetDetected(w.agent1, true);
  ZQMACGraph::SetCenteraAgent(w.agent1, true);
  ZQMACGraph::SetAgentLocalDrive(w.agent1, "/opt/tk");
  ZQMACGraph::SetDisplayName(w.agent1, "MA One");

  ZQMACGraph::SetGeometry(w.library, ZQMACGraph::LibraryGeometry{1, 6, 40, 7, 1});
  ZQMACGraph::SetLibraryAlias(w.library, "TL1-alias");
  ZQMACGraph::SetDeviceIdentity(w.library, {"VendorCo", "Changer X", "SN123", "1.0", "unit", 77});
  ZQMACGraph::SetLibraryAttribute(w.library, 5);
  ZQMACGraph::SetBarCodeReaderFlag(w.library, true);
  ZQMACGraph::SetDoorLock(w.library, true);
  ZQMACGraph::SetLibraryFlags(w.library, true, false, true, false);
  ZQMACGraph::SetVolumeRange(w.library, "A00000-A00099");
  ZQMACGraph::SetSlotRange(w.library, "1-40");
  ZQMACGraph::SetAutoDiscover(w.lms, true);
  ZQMACGraph::SetTexts(w.lms, "Tape library 1", "changer");
  ZQMACGraph::SetPropertyC(w.lms, 9);

  ZQMACGraph::SetUnitAddress(w.controller1, {"ma1 /dev/sg1", 3, 2, true});
  ZQMACGraph::SetServerFlag(w.controller1, true);
  ZQMACGraph::SetDetectedType(w.controller1, 4);
  lw.sibling = ZQMACGraph::AddLibController(w.lms, w.agent1, 53, "TapeLib1 on ma1, second path");
  ZQMACGraph::SetUnitAddress(lw.sibling, {"ma1 /dev/sg2", 4, 1, true});
  // One drive path not configured with state B: one pending path.
  ZQMACGraph::SetStateB(w.dms12, true);

  ZQMACGraph::SetAliasName(w.diskLibrary, "DL1-alias");
  ZQMACGraph::SetTexts(w.diskLibrary, "Disk library 1", "disk");
  ZQMACGraph::SetLowWatermark(w.diskLibrary, 15);
  ZQMACGraph::SetMagLibAttribute(w.diskLibrary, 8);
  ZQMACGraph::SetMagLibType(w.diskLibrary, 3);
  return lw;
}

inline void resetStandIns() {
  tktest::resetSessionStandIns();
  testkit::external::reset();
}

// Client A holds a new session whose instance the test fills; client B is
// another console.
class LibrariesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetStandIns();
    tktest::resetSessionState();
    auto request = m_a.request(1, 0, kUser);
    m_config = EvMMConfigMgr::GetCurrentMediaConfig(request.get(), true);
    ASSERT_NE(m_config, nullptr);
  }
  void TearDown() override {
    tktest::resetSessionState();
    resetStandIns();
  }

  ZQMACMediaConfig& config() { return *m_config; }
  unsigned long long handleOf(const ZQMACInterface* object) const { return m_config->GetHandle(object); }

  // onMsgGetMMLibraries from a client; what the client received.
  std::vector<tkwire::Reply> listLibraries(const Connection& client, bool expected = true) {
    auto request = client.request(kSequence, 0, kUser);
    EXPECT_EQ(m_mgr.onMsgGetMMLibraries(request.get()), expected);
    return client.replies();
  }
  // onMsgGetMMLibraryProperties of a handle from client A.
  std::vector<tkwire::Reply> libraryProperties(unsigned long long handle) {
    auto request = m_a.request(kSequence, 0, kUser);
    request->objectHandle = handle;
    EXPECT_TRUE(m_mgr.onMsgGetMMLibraryProperties(request.get()));
    return m_a.replies();
  }
  // The one reply 11002 of `replies`, with its items.
  static std::vector<Expected> onlyLibraryReply(const std::vector<tkwire::Reply>& replies) {
    EXPECT_EQ(replies.size(), 1u);
    if (replies.size() != 1) return {};
    EXPECT_EQ(replies[0].messageId, kReplyLibraries);
    EXPECT_EQ(replies[0].sequence, kSequence);
    return itemsOf(replies[0]);
  }

  static constexpr uint32_t kUser = 7;
  tktest::TestDatabase m_db;
  EvMMConfigMgr m_mgr;
  Connection m_a;
  Connection m_b;
  ZQMACMediaConfig* m_config = nullptr;
};

}  // namespace libtest
