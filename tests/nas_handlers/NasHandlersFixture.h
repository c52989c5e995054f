// Shared pieces of the NAS handler tests: a fresh central database with the
// NAS-client service of the Tarnkeep "cs1" and of the media agent "ma1",
// clients, NDMP rows, a client connection and the shapes of the answers.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "nas/EvNASConfigMgr.h"
#include "platform/mmdb/MMNDMPHostInfoDB.h"
#include "platform/nasclient/NasClientMessages.h"
#include "platform/testkit/alerts.h"
#include "platform/testkit/client.h"
#include "platform/testkit/debuglog.h"
#include "platform/testkit/mmdb.h"
#include "platform/testkit/nasclient.h"
#include "platform/testkit/reply.h"
#include "platform/testkit/security.h"
#include "tests/support/FrameSession.h"
#include "tests/support/StreamBuilder.h"
#include "tests/support/TestDatabase.h"

namespace nastest {

using tktest::catalogueText;
using tktest::le32;
using tktest::StreamBuilder;
using tktest::tagsOf;
using tktest::wordAndText;
using Tags = std::vector<uint32_t>;

inline constexpr int64_t kSequence = 0x45;
inline constexpr uint32_t kUser = 9;
inline constexpr const char* kTarnkeep = "cs1";

// The one-call status reply: 1024 with the single item 2051 [status][text].
inline void expectResponse(const tkwire::Reply& reply, uint32_t status, const std::string& text) {
  EXPECT_EQ(reply.messageId, 1024u);
  EXPECT_EQ(reply.sequence, kSequence);
  ASSERT_EQ(tagsOf(reply), Tags{2051});
  EXPECT_EQ(reply.items[0].bytes, wordAndText(status, text));
}
// An operation reply: 4001 [operation], 2051 [status][text], never 4117.
inline void expectOperation(const tkwire::Reply& reply, uint32_t operation, uint32_t status,
                            const std::string& text) {
  EXPECT_EQ(reply.messageId, 1024u);
  EXPECT_EQ(reply.sequence, kSequence);
  ASSERT_EQ(tagsOf(reply), (Tags{4001, 2051}));
  EXPECT_EQ(reply.items[0].bytes, le32(operation));
  EXPECT_EQ(reply.items[1].bytes, wordAndText(status, text));
}

class NasHandlerTest : public ::testing::Test {
 protected:
  NasHandlerTest() { resetStandIns(); }
  ~NasHandlerTest() override {
    testkit::client::reset();
    testkit::security::reset();
    testkit::alerts::reset();
  }

  static void resetStandIns() {
    testkit::reply::reset();
    testkit::client::reset();
    testkit::security::reset();
    testkit::alerts::reset();
    testkit::mmdb::reset();
    testkit::client::PlatformSettings settings;
    settings.tarnkeeperClientName = "csclient";
    settings.tarnkeeperHostName = kTarnkeep;
    testkit::client::setPlatformInfo(settings);
    testkit::nasclient::reset(kTarnkeep);
    testkit::nasclient::addMediaAgentHost("ma1");
  }

  static void addClient(unsigned long id, const std::string& name) {
    testkit::client::ClientSeed seed;
    seed.id = id;
    seed.name = name;
    seed.hostName = name + ".lab";
    ASSERT_EQ(testkit::client::addClient(seed), 0);
  }
  static void addNdmpRow(int clientId, int osType) {
    MMNDMPHostInfo_t row;
    row.clientId = clientId;
    row.osType = osType;
    int id = 0;
    ASSERT_EQ(MMNDMPHostInfoDB().addNDMPHostInfo(row, id), 0);
  }

  // A simple request: the Tarnfold id and the first parameter.
  std::unique_ptr<MessageInfo> words(uint32_t firstParameter) {
    return StreamBuilder()
        .socket(static_cast<int>(client.socket().GetSocketDescriptor()))
        .sequence(kSequence)
        .firstWord(2)
        .count(firstParameter)
        .build();
  }
  // An element-stream request of the user on the client connection.
  std::unique_ptr<MessageInfo> stream(StreamBuilder builder) {
    return builder.socket(static_cast<int>(client.socket().GetSocketDescriptor()))
        .sequence(kSequence)
        .user(kUser, "nasadmin")
        .build();
  }
  // A remove (2) or restore (56) record of a NAS client served by "ma1".
  static StreamBuilder record(StreamBuilder builder, uint32_t operation, const std::string& name) {
    return std::move(builder.op(operation).u32(4106, 2).pair(2009, 0, name).pair(2048, 0, "ma1").end());
  }
  std::vector<tkwire::Reply> replies() { return client.replies(); }

  tktest::TestDatabase db;
  tktest::Connection client;
  testkit::debuglog::Capture log;
  EvNASConfigMgr handler;
};

}  // namespace nastest
