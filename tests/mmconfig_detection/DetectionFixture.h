// Shared pieces of the detection tests: a session held by client A on an
// instance filled with the standard world, a second console B, the chosen
// media agents set and read as the detection handlers do, and the bytes of
// the detected records.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "frame/ElementTags.h"
#include "frame/EvMMConfigMgr.h"
#include "frame/mac/ZQMACObjects.h"
#include "mmconfig/detection/DetectAgents.h"
#include "platform/mac/ZQMACGraph.h"
#include "platform/testkit/external.h"
#include "platform/testkit/mac.h"
#include "tests/support/FrameSession.h"
#include "tests/support/TestDatabase.h"

namespace dettest {

using tktest::Connection;
using tktest::le32;
using tktest::le64;

inline constexpr uint32_t kReplyDetectedLibraries = tktag::kReplyDetectedLibraries;
inline constexpr uint32_t kReplyDetectedDrives = tktag::kReplyDetectedDrives;
inline constexpr int64_t kSequence = 0x51;

struct Item {
  uint32_t tag;
  std::string bytes;
  bool operator==(const Item&) const = default;
};

inline std::vector<Item> itemsOf(const tkwire::Reply& reply) {
  std::vector<Item> out;
  for (const auto& item : reply.items) out.push_back({item.tag, item.bytes});
  return out;
}

inline void expectItems(const std::vector<Item>& actual, const std::vector<Item>& expected) {
  for (std::size_t i = 0; i < expected.size() && i < actual.size(); ++i) {
    SCOPED_TRACE("item " + std::to_string(i + 1) + " tag " + std::to_string(expected[i].tag));
    EXPECT_EQ(actual[i].tag, expected[i].tag);
    EXPECT_EQ(actual[i].bytes, expected[i].bytes);
  }
  EXPECT_EQ(actual.size(), expected.size());
}

inline void chooseAgents(const std::vector<std::string>& names) {
  tkmm::detectAgents::clear();
  for (const std::string& name : names) tkmm::detectAgents::append(name);
}

inline void resetStandIns() {
  tktest::resetSessionStandIns();
  testkit::external::reset();
  testkit::mac::reset();
  tkmm::detectAgents::clear();
}

class DetectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetStandIns();
    tktest::resetSessionState();
    auto request = m_a.request(1, 0, kUser);
    m_config = EvMMConfigMgr::GetCurrentMediaConfig(request.get(), true);
    ASSERT_NE(m_config, nullptr);
    m_w = testkit::mac::seedWorld(*m_config);
    m_a.replies();
  }
  void TearDown() override {
    tktest::resetSessionState();
    resetStandIns();
  }

  ZQMACMediaConfig& config() { return *m_config; }
  unsigned long long handleOf(const ZQMACInterface* object) const { return m_config->GetHandle(object); }

  // The one reply of a detected listing, with its items.
  static std::vector<Item> onlyReply(const std::vector<tkwire::Reply>& replies, uint32_t replyId) {
    EXPECT_EQ(replies.size(), 1u);
    if (replies.size() != 1) return {};
    EXPECT_EQ(replies[0].messageId, replyId);
    EXPECT_EQ(replies[0].sequence, kSequence);
    return itemsOf(replies[0]);
  }
  std::vector<Item> detectedLibraries(const Connection& client) {
    auto request = client.request(kSequence, 0, kUser);
    EXPECT_TRUE(m_mgr.onMsgGetMMDetectedLibraries(request.get()));
    return onlyReply(client.replies(), kReplyDetectedLibraries);
  }
  std::vector<Item> detectedDrives(const Connection& client) {
    auto request = client.request(kSequence, 0, kUser);
    EXPECT_TRUE(m_mgr.onMsgGetMMDetectedDrives(request.get()));
    return onlyReply(client.replies(), kReplyDetectedDrives);
  }

  // The items of one detected record.
  std::vector<Item> record(ZQMACInterface* object, uint32_t idTag, const std::string& text, uint32_t propertyD,
                           bool shown, uint32_t icon) const {
    return {{11003, le64(handleOf(object))},
            {idTag, le32(object->GetId()) + text},
            {11053, le32(propertyD)},
            {11162, le32(shown ? 1 : 0)},
            {11116, le32(icon)},
            {2052, le32(0)}};
  }

  static constexpr uint32_t kUser = 7;
  tktest::TestDatabase m_db;
  EvMMConfigMgr m_mgr;
  Connection m_a;
  Connection m_b;
  ZQMACMediaConfig* m_config = nullptr;
  testkit::mac::World m_w;
};

inline std::vector<Item> concat(std::initializer_list<std::vector<Item>> parts) {
  std::vector<Item> out;
  for (const auto& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

}  // namespace dettest
