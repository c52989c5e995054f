// Verification of cloud and network targets: the cloud verification with
// its fallback to the path, the result split into path items, the failure
// item, the extra answer of operation 50, and clients that do not hold the
// session.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/mmconfig_diskdevices/DiskFixture.h"

namespace {

using disktest::encrypted;
using disktest::Items;
using disktest::Message;
using tktest::le32;

using Answers = std::vector<Message>;

class CloudOperation : public disktest::DiskTest {
 protected:
  Answers verify(const tktest::StreamBuilder& s, bool expected, const tktest::Connection* client = nullptr) {
    auto message = s.build();
    EXPECT_EQ(m_mgr.onMsgCloudOperation(message.get()), expected);
    return ctltest::messagesOf((client != nullptr ? *client : m_a).replies());
  }
  static Items pieces(std::initializer_list<const char*> names) {
    Items items;
    for (const char* n : names) {
      items.emplace_back(11041, n);
      items.emplace_back(2052, le32(0));
    }
    return items;
  }
  std::size_t verifications() { return testkit::mac::journal().count("VerifyDevice"); }
};

TEST_F(CloudOperation, AFailedCloudVerificationFallsBackToThePathSplitIntoItems) {
  testkit::mac::scriptVerification("/pool/share", 4, {false, "", 0x1F000050, "no cloud there"});
  const auto s = stream().op(58).pair(2048, 0, "ma1").text(11041, "/pool/share").end();
  EXPECT_EQ(verify(s, true), (Answers{{11841, pieces({"", "pool", "share"})}}));
  EXPECT_EQ(verifications(), 2u);
  EXPECT_EQ(config().GetDiskDeviceList().GetListCount(), 1);  // the new network device went again
}

TEST_F(CloudOperation, ResultTextsAreSplitAtEverySlash) {
  const struct {
    const char* result;
    Items items;
  } cases[] = {
      {"", {}},
      {"a", pieces({"a"})},
      {"a//b", pieces({"a", "", "b"})},
      {"bucket/dir/", pieces({"bucket", "dir"})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.result);
    testkit::mac::scriptVerification("s3://x", 4, {true, c.result, 0, ""});
    EXPECT_EQ(verify(stream().op(58).pair(2048, 0, "ma1").text(11041, "s3://x").end(), true),
              (Answers{{11841, c.items}}));
  }
}

TEST_F(CloudOperation, AFailureEndsWithTheLastErrorAndOperation50AnswersToo) {
  testkit::mac::scriptVerification("//bad", 2, {false, "", 0x1F000051, "share not reachable"});
  // The first record fails, the second verifies: the answer still reports the failure.
  const auto s = stream()
                     .op(50)
                     .pair(2048, 0, "ma1")
                     .text(11041, "//bad")
                     .end()
                     .text(11041, "//good")
                     .end();
  EXPECT_EQ(verify(s, false),
            (Answers{ctltest::operationResponse(50, 0, "share not reachable"),
                     {11841, {{11041, ""}, {2052, le32(0)}, {11041, ""}, {2052, le32(0)}, {11041, "good"},
                              {2052, le32(0)}, {2051, le32(0) + "share not reachable"}}}}));
  EXPECT_EQ(verify(stream().op(50).pair(2048, 0, "ma1").text(11041, "//good").end(), true),
            (Answers{ctltest::operationResponse(50, 1, ""), {11841, pieces({"", "", "good"})}}));
}

TEST_F(CloudOperation, ACloudVerificationWithoutAPathHasNoFallback) {
  const auto s = stream().op(58).pair(2048, 0, "ma1").raw(2401, encrypted("u")).raw(2402, encrypted("p")).end();
  const Answers answers = verify(s, false);
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_EQ(answers[0].items, (Items{{2051, le32(0) + "The volume has no path to verify."}}));
  EXPECT_EQ(verifications(), 1u);
}

TEST_F(CloudOperation, AClientWithoutTheSessionVerifiesOnAnInstanceOfItsOwn) {
  testkit::mac::ScopedLoader loader(testkit::mac::worldLoader());
  const std::size_t objects = config().GetObjectCount();
  const auto s = tktest::StreamBuilder()
                     .socket(m_b.socket().GetSocketDescriptor())
                     .user(ctltest::kUser)
                     .sequence(ctltest::kSequence)
                     .op(2)
                     .pair(11192, 31, "")
                     .pair(2048, 0, "ma2")
                     .pair(9819, 4, "key")
                     .end();
  EXPECT_EQ(verify(s, true, &m_b), (Answers{{11841, pieces({"", "vol", "b"})}}));  // the path of ma2's volume
  EXPECT_TRUE(m_a.replies().empty());
  EXPECT_EQ(config().GetObjectCount(), objects);
  EXPECT_EQ(m_device->GetVolumeList().GetListCount(), 2);
  EXPECT_EQ(testkit::mac::journal().count("ReadCurrentConfig"), 1u);
  EXPECT_EQ(EvMMConfigMgr::GetSocketId(), m_a.socket());

  testkit::mac::failNext("ReadCurrentConfig", 0x1F000052, "configuration unreadable");
  const Answers failed = verify(s, false, &m_b);
  ASSERT_EQ(failed.size(), 1u);
  EXPECT_EQ(failed[0].items, (Items{{2051, le32(0) + "configuration unreadable"}}));
}

}  // namespace
