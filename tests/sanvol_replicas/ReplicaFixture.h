// Shared pieces of the replica handler tests: a fresh database with the
// stand-ins reset, a client connection, request records as the host makes
// them, and the reply items as (tag, bytes) pairs so that whole records are
// compared byte for byte.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/testkit/client.h"
#include "platform/testkit/content.h"
#include "platform/testkit/debuglog.h"
#include "platform/testkit/replicadb.h"
#include "platform/testkit/reply.h"
#include "platform/testkit/security.h"
#include "sanvol/EvSANVolMgr.h"
#include "tests/support/FaultSweep.h"
#include "tests/support/FrameSession.h"
#include "tests/support/StreamBuilder.h"
#include "tests/support/TestDatabase.h"

namespace replicastest {

using tktest::catalogueText;
using tktest::le32;
using tktest::le64;
using tktest::tagsOf;
using tktest::wordAndText;
using Item = std::pair<uint32_t, std::string>;
using Items = std::vector<Item>;
using Tags = std::vector<uint32_t>;

inline Items itemsOf(const tkwire::Reply& reply) {
  Items out;
  for (const auto& item : reply.items) out.emplace_back(item.tag, item.bytes);
  return out;
}
inline std::string u32(int32_t v) { return le32(static_cast<uint32_t>(v)); }
inline std::string u64(uint64_t v) { return le64(v); }
inline std::string idText(int32_t id, const std::string& text) { return le32(static_cast<uint32_t>(id)) + text; }
inline std::string hdr12(int32_t id, int32_t client, uint32_t flags, const std::string& text) {
  return le32(static_cast<uint32_t>(id)) + le32(static_cast<uint32_t>(client)) + le32(flags) + text;
}
inline void append(Items& to, const Items& more) { to.insert(to.end(), more.begin(), more.end()); }

// The one-call failure answer: 1024 with the single item 2051 [0][text].
inline void expectFailure(const tkwire::Reply& reply, int64_t sequence, const std::string& text) {
  EXPECT_EQ(reply.messageId, 1024u);
  EXPECT_EQ(reply.sequence, sequence);
  EXPECT_EQ(itemsOf(reply), (Items{{2051, wordAndText(0, text)}}));
}
inline void expectSuccess(const tkwire::Reply& reply, int64_t sequence) {
  EXPECT_EQ(reply.messageId, 1024u);
  EXPECT_EQ(reply.sequence, sequence);
  EXPECT_EQ(itemsOf(reply), (Items{{2051, wordAndText(1, "Success")}}));
}

inline void resetStandIns() {
  testkit::replicadb::reset();
  testkit::client::reset();
  testkit::security::reset();
  testkit::reply::reset();
}

class ReplicaTest : public ::testing::Test {
 protected:
  ReplicaTest() { resetStandIns(); }
  ~ReplicaTest() override { resetStandIns(); }

  // A simple request: the Tarnfold id 2 and the first parameter.
  std::unique_ptr<MessageInfo> simple(uint32_t firstParameter, int64_t sequence = 0x21) {
    return tktest::StreamBuilder()
        .socket(static_cast<int>(client.socket().GetSocketDescriptor()))
        .sequence(sequence)
        .user(7)
        .firstWord(2)
        .count(firstParameter)
        .build();
  }
  // An element-stream request.
  std::unique_ptr<MessageInfo> stream(tktest::StreamBuilder builder, int64_t sequence = 0x22) {
    return builder.socket(static_cast<int>(client.socket().GetSocketDescriptor())).sequence(sequence).user(7).build();
  }
  bool logged(const std::string& tag, int level, const std::string& text) const {
    for (const auto& line : log.lines())
      if (line.tag == tag && line.level == level && line.text == text) return true;
    return false;
  }

  // Runs the request under the fault sweep: every run must answer on the
  // socket (a status answer, or the listing reply `listingId` when the
  // request lists) and leave the database as before or as the clean run
  // left it.
  tktest::SweepReport sweep(const std::function<void()>& request, uint32_t listingId = 0) {
    tktest::FaultSweep sweeper;
    return sweeper.run({
        .setup =
            [this] {
              resetStandIns();
              client.replies();
            },
        .request = request,
        .check = [this, listingId](const tktest::SweepRun& run) -> std::string {
          if (mgr.isOpen()) return "a begun reply was left open";
          const auto replies = client.replies();
          std::string answered = tktest::answeredOnSocket(replies, run);
          if (answered.empty()) return "";
          for (const auto& reply : replies)
            if (listingId != 0 && reply.messageId == listingId) return "";
          return answered;
        },
        .judgedTables = {},
    });
  }

  tktest::TestDatabase db;
  tktest::Connection client;
  EvSANVolMgr mgr;
  testkit::debuglog::Capture log;
};

}  // namespace replicastest
