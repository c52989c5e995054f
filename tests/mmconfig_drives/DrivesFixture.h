// Shared pieces of the drive, mount-path and catalogue tests: the library
// fixture's session (client A holds it, client B is another console), one
// call to ask any Get handler with a handle and fixed payload words, and a
// drive world: the standard world with the fields the drive records read
// set to values of their own.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/testkit/mmlib.h"
#include "tests/mmconfig_libraries/LibrariesFixture.h"

namespace drivetest {

using libtest::Connection;
using libtest::Expected;
using libtest::expectItems;
using libtest::idText;
using libtest::itemsOf;
using libtest::u32Bytes;

using Handler = bool (EvMMConfigMgr::*)(MessageInfo*);

// A fixed payload word: its position from the first fixed field and value.
struct Word {
  std::size_t position;
  uint32_t value;
};

inline uint32_t low32(unsigned long long handle) { return static_cast<uint32_t>(handle); }
inline std::string zeros(std::size_t n) { return std::string(n, '\0'); }

// The header items 11149, 11150, 11162, 11116 and the record end.
inline std::vector<Expected> tail(uint32_t icon, const std::string& textB = "", uint32_t stateB = 0) {
  return {{11149, u32Bytes(stateB)}, {11150, textB}, {11162, u32Bytes(1)}, {11116, u32Bytes(icon)}, {2052, u32Bytes(0)}};
}

inline std::vector<Expected> join(std::vector<Expected> a, const std::vector<Expected>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// The standard world with identities, path texts and states set.
struct DriveWorld {
  testkit::mac::World w;
};

inline DriveWorld seedDriveWorld(ZQMACMediaConfig& config) {
  DriveWorld dw;
  testkit::mac::World& w = dw.w;
  w = testkit::mac::seedWorld(config);
  ZQMACGraph::SetOSId(w.agent1, 0x100000007ll);
  ZQMACGraph::SetOSId(w.agent2, 9);
  ZQMACGraph::SetDetected(w.agent1, true);
  ZQMACGraph::SetDeviceIdentity(w.library, {"VendorCo", "Changer X", "SN123", "1.0", "unit", 77});
  ZQMACGraph::SetDeviceIdentity(w.drive1, {"DriveCo", "LT-7", "D1SN", "fw7", "drive one", 0});
  ZQMACGraph::SetDeviceIdentity(w.drive2, {"DriveCo", "LT-7", "D2SN", "fw7", "drive two", 0});
  ZQMACGraph::SetDriveAlias(w.drive1, "Drive1-alias");
  ZQMACGraph::SetDriveIds(w.drive1, "D-9", "IBM-1");
  ZQMACGraph::SetDriveIds(w.drive2, "D-2", "");
  ZQMACGraph::SetPathTexts(w.dms11, {"/dev/nst0", "ma1 bus 0 target 1", true});
  ZQMACGraph::SetPathTexts(w.dms21, {"/dev/nst1", "ma1 bus 0 target 2", false});
  ZQMACGraph::SetPathTexts(w.dms12, {"/dev/st0", "ma2 bus 1", false});
  ZQMACGraph::SetUnitAddress(w.dms11, {"", 0, 6, true});
  ZQMACGraph::SetConfigured(w.dms11, true);
  ZQMACGraph::SetTexts(w.dms11, "path text A", "path text B");
  ZQMACGraph::SetTexts(w.pool1, "Pool one", "pool");
  ZQMACGraph::SetCopyManagerId(w.pool1, 431);
  ZQMACGraph::SetCostCategoryId(w.pool1, 44);
  ZQMACGraph::SetTexts(w.master, "Master one", "master");
  ZQMACGraph::SetTexts(w.drive1, "Drive text A", "drive");
  ZQMACGraph::SetPropertyC(w.drive1, 4);
  ZQMACGraph::SetAcslsText(w.controller1, "acs0");
  ZQMACGraph::SetAcslsText(w.controller2, "acs1");
  return dw;
}

class DrivesTest : public libtest::LibrariesTest {
 protected:
  void SetUp() override {
    libtest::LibrariesTest::SetUp();
    testkit::mmlib::reset();
  }
  void TearDown() override {
    testkit::mmlib::reset();
    libtest::LibrariesTest::TearDown();
  }

  // The handler asked by `client` with the handle in the first fixed field
  // and the payload words; what the client received.
  std::vector<tkwire::Reply> ask(Handler handler, unsigned long long handle, const std::vector<Word>& words = {},
                                 const Connection* client = nullptr, bool expected = true) {
    const Connection& c = client != nullptr ? *client : m_a;
    auto request = c.request(libtest::kSequence, 0, kUser);
    request->objectHandle = handle;
    for (const Word& w : words) request->setPayloadWord(w.position, w.value);
    EXPECT_EQ((m_mgr.*handler)(request.get()), expected);
    return c.replies();
  }
  // The items of the one reply of that id that client A received.
  std::vector<Expected> only(Handler handler, uint32_t replyId, unsigned long long handle,
                             const std::vector<Word>& words = {}, bool expected = true) {
    const std::vector<tkwire::Reply> replies = ask(handler, handle, words, nullptr, expected);
    EXPECT_EQ(replies.size(), 1u);
    if (replies.size() != 1) return {};
    EXPECT_EQ(replies[0].messageId, replyId);
    EXPECT_EQ(replies[0].sequence, libtest::kSequence);
    return itemsOf(replies[0]);
  }
  unsigned long long h(const ZQMACInterface* object) const { return handleOf(object); }
};

}  // namespace drivetest
