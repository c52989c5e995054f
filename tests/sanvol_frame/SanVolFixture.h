// Shared pieces of the SAN-volume frame tests: a client connection, a
// handler that states a few elements and operations as a real handler
// would and keeps a record of what it carried out, and a fixture that
// resets the reply channel and captures the log.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "frame/ElementTags.h"
#include "frame/SANVolFrame.h"
#include "platform/testkit/debuglog.h"
#include "platform/testkit/reply.h"
#include "sanvol/EvSANVolMgr.h"
#include "tests/support/FrameSession.h"
#include "tests/support/StreamBuilder.h"

namespace sanvoltest {

using tktest::Connection;
using tktest::le32;
using tktest::le64;
using tktest::tagsOf;
using tktest::wordAndText;
using Tags = std::vector<uint32_t>;

inline constexpr const char* kTag = "EvSANVolMgr::onMsgTestVolume";

// Elements of the test handler.
inline constexpr uint32_t kVolumeId = tktag::kSanVolume;     // u32, required by every record
inline constexpr uint32_t kDeviceId = tktag::kDeviceId;     // text
inline constexpr uint32_t kPolicy = tktag::kReplicationPolicy;       // id+text
inline constexpr uint32_t kDeviceName = tktag::kDeviceName;   // hdr12+text
// Operations: 1 and 2 succeed, 3 fails its lookup with `lookupError`.
inline constexpr unsigned long long kOpLookupFails = 3;

// A record the handler carried out.
struct Effect {
  unsigned long long operation = 0;
  int32_t volumeId = 0;
  std::string deviceId;
  tksanvol::IdText policy;
  tksanvol::Hdr12Text deviceName;
};

class TestVolumeHandler final : public tksanvol::StreamHandler {
 public:
  bool takeElement(tksanvol::StreamContext&, unsigned int type, const char* value, unsigned int length) override {
    switch (type) {
      case kVolumeId:
        m_volumeId = tksanvol::readI32(value, length);
        m_hasVolumeId = true;
        return true;
      case kDeviceId:
        m_deviceId = tksanvol::readText(value, length);
        return true;
      case kPolicy:
        m_policy = tksanvol::readIdText(value, length);
        return true;
      case kDeviceName:
        m_deviceName = tksanvol::readHdr12Text(value, length);
        return true;
      default:
        return false;
    }
  }
  bool supportsOperation(unsigned long long operation) const override { return operation >= 1 && operation <= 3; }
  tksanvol::RecordOutcome onRecord(tksanvol::StreamContext& context) override {
    if (!m_hasVolumeId) return context.answer.missingInformation("Did not receive the volume id");
    if (context.operation == kOpLookupFails) return context.answer.lookupFailed(lookupError.c_str());
    effects.push_back(Effect{context.operation, m_volumeId, m_deviceId, m_policy, m_deviceName});
    context.answer.success(tksanvol::AnswerForm::OperationResponse, context.operation);
    return tksanvol::RecordOutcome::GoOn;
  }

  std::vector<Effect> effects;
  std::string lookupError = "the replica database is not reachable";

 private:
  int32_t m_volumeId = 0;
  bool m_hasVolumeId = false;
  std::string m_deviceId;
  tksanvol::IdText m_policy;
  tksanvol::Hdr12Text m_deviceName;
};

inline tksanvol::StreamRules rules(tksanvol::UnknownElement unknown = tksanvol::UnknownElement::AnswerAndStop,
                                   tksanvol::MissingOperation missing = tksanvol::MissingOperation::AsOperationZero) {
  tksanvol::StreamRules r;
  r.tag = kTag;
  r.unknownElement = unknown;
  r.missingOperation = missing;
  return r;
}

// The operation reply of a success: 4001 [operation], 2051 [1]["Success"].
inline void expectSuccess(const tkwire::Reply& reply, int64_t sequence, uint32_t operation) {
  EXPECT_EQ(reply.messageId, 1024u);
  EXPECT_EQ(reply.sequence, sequence);
  ASSERT_EQ(tagsOf(reply), (Tags{4001, 2051}));
  EXPECT_EQ(reply.items[0].bytes, le32(operation));
  EXPECT_EQ(reply.items[1].bytes, wordAndText(1, "Success"));
}

// The one-call failure answer: 1024 with the single item 2051 [0][text].
inline void expectFailure(const tkwire::Reply& reply, int64_t sequence, const std::string& text) {
  EXPECT_EQ(reply.messageId, 1024u);
  EXPECT_EQ(reply.sequence, sequence);
  ASSERT_EQ(tagsOf(reply), Tags{2051});
  EXPECT_EQ(reply.items[0].bytes, wordAndText(0, text));
}

class SanVolTest : public ::testing::Test {
 protected:
  void SetUp() override { testkit::reply::reset(); }
  void TearDown() override { testkit::reply::reset(); }

  // A request on the client connection with the given elements.
  std::unique_ptr<MessageInfo> request(tktest::StreamBuilder builder, int64_t sequence = 0x44) {
    return builder.socket(static_cast<int>(client.socket().GetSocketDescriptor())).sequence(sequence).build();
  }
  // True when some line of the capture has the tag, the level and exactly the text.
  bool logged(int level, const std::string& text) const {
    for (const auto& line : log.lines())
      if (line.tag == kTag && line.level == level && line.text == text) return true;
    return false;
  }

  Connection client;
  testkit::debuglog::Capture log;
};

}  // namespace sanvoltest
