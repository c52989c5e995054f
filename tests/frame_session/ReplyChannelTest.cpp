// The reply channel: frames on the client's socket, one-call status replies,
// message names, and the test kit's failure script and journal.
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "platform/reply/EvReturnData.h"
#include "platform/reply/ReplyFrame.h"
#include "platform/testkit/debuglog.h"
#include "platform/testkit/reply.h"
#include "tests/frame_session/SessionFixture.h"

namespace {

using sessiontest::Connection;
using sessiontest::u32Bytes;
using sessiontest::wordAndText;

class ReplyChannel : public sessiontest::SessionTest {};

// Reads exactly `n` bytes that are already waiting on the descriptor.
std::string readBytes(int fd, std::size_t n) {
  std::string out;
  while (out.size() < n) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 1000) <= 0) break;
    char buffer[4096];
    const std::size_t want = std::min(sizeof buffer, n - out.size());
    const ssize_t got = ::read(fd, buffer, want);
    if (got <= 0) break;
    out.append(buffer, static_cast<std::size_t>(got));
  }
  return out;
}

std::string le32(uint32_t v) { return u32Bytes(v); }
std::string le64(uint64_t v) { return std::string(reinterpret_cast<const char*>(&v), 8); }

TEST_F(ReplyChannel, ItemFrameHasTheDocumentedBytes) {
  Connection client;
  const CWySocket socket = client.socket();
  EvReturnData reply;
  ASSERT_TRUE(reply.begin(11133, 0x0409000000000007LL, &socket, true));
  const uint64_t handle = 0x1122334455667788ull;
  EXPECT_TRUE(reply.add(11003, &handle, 8));
  EXPECT_TRUE(reply.add(8251, "ab", 2));
  EXPECT_TRUE(reply.add(2052, nullptr, 0));
  EXPECT_EQ(reply.itemCount(), 3u);
  EXPECT_TRUE(reply.end(0));
  EXPECT_FALSE(reply.isOpen());

  const std::string items = le32(11003) + le32(8) + le64(handle) + le32(8251) + le32(2) + "ab" + le32(2052) + le32(0);
  const std::string body = le32(tkwire::kReplyItems) + le32(11133) + le64(0x0409000000000007ull) + le32(3) + items;
  EXPECT_EQ(readBytes(client.peer(), 4 + body.size()), le32(static_cast<uint32_t>(body.size())) + body);
}

TEST_F(ReplyChannel, RawFrameHasTheDocumentedBytes) {
  Connection client;
  const CWySocket socket = client.socket();
  EvReturnData reply(0x0DF9BE39, 42, &socket, 0, nullptr);
  EXPECT_TRUE(reply.sendRaw(0x0DF9BE39, "<x/>", 4));
  const std::string body = le32(tkwire::kReplyRaw) + le32(0x0DF9BE39) + le64(42) + "<x/>";
  EXPECT_EQ(readBytes(client.peer(), 4 + body.size()), le32(static_cast<uint32_t>(body.size())) + body);
}

TEST_F(ReplyChannel, BegunReplyGoesOutAtItsEndAfterAStatusSentMeanwhile) {
  Connection client;
  const CWySocket socket = client.socket();
  EvReturnData listing;
  ASSERT_TRUE(listing.begin(11101, 9, &socket, true));
  const uint32_t id = 5;
  listing.add(11003, &id, 4);
  EXPECT_TRUE(client.replies().empty()) << "nothing of a begun reply goes out before its end";

  EXPECT_EQ(EvMMConfigMgr::sendStatusResponse(9, socket, "working", 3), 1);
  listing.add(2052, &id, 4);
  EXPECT_TRUE(listing.end(0));

  const auto replies = client.replies();
  ASSERT_EQ(replies.size(), 2u);
  EXPECT_EQ(replies[0].messageId, 11055u);
  EXPECT_EQ(replies[1].messageId, 11101u);
  EXPECT_EQ(sessiontest::tagsOf(replies[1]), (std::vector<uint32_t>{11003, 2052}));
  EXPECT_EQ(replies[1].sequence, 9);
}

TEST_F(ReplyChannel, OneShotSendAddsTheLastItemAndCloses) {
  Connection client;
  const CWySocket socket = client.socket();
  EvReturnData* reply = new (std::nothrow) EvReturnData(1024, 77, &socket, false, nullptr);
  ASSERT_NE(reply, nullptr);
  const uint32_t op = 58;
  reply->add(4001, &op, 4);
  const std::string status = wordAndText(1, "Success");
  EXPECT_TRUE(reply->send(2051, status.data(), static_cast<unsigned long>(status.size())));
  // Closed: a late item is refused and nothing more is written.
  EXPECT_FALSE(reply->add(9, &op, 4));
  EXPECT_FALSE(reply->end(0));
  delete reply;

  const auto replies = client.replies();
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].kind, tkwire::kReplyItems);
  EXPECT_EQ(replies[0].messageId, 1024u);
  EXPECT_EQ(replies[0].sequence, 77);
  ASSERT_EQ(replies[0].items.size(), 2u);
  EXPECT_EQ(replies[0].items[0].bytes, u32Bytes(58));
  EXPECT_EQ(replies[0].items[1].bytes, status);
}

TEST_F(ReplyChannel, DumpBufferWritesWhatWasAdded) {
  Connection client;
  const CWySocket socket = client.socket();
  EvReturnData reply(11101, 3, &socket, 0, nullptr);
  const uint64_t handle = 17;
  reply.add(11003, &handle, 8);
  EXPECT_TRUE(reply.dumpBuffer(9));
  const auto replies = client.replies();
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].messageId, 11101u);
  ASSERT_EQ(replies[0].items.size(), 1u);
  EXPECT_EQ(replies[0].items[0].u64(), 17u);
}

TEST_F(ReplyChannel, TheSocketIsReadWhenTheReplyOpens) {
  Connection client;
  EvReturnData* reply = nullptr;
  {
    const CWySocket shortLived = client.socket();
    reply = new EvReturnData(1024, 1, &shortLived, 0, nullptr);
  }
  EXPECT_TRUE(reply->send(2051, "\0\0\0\0", 4));
  delete reply;
  EXPECT_EQ(client.replies().size(), 1u);
}

TEST_F(ReplyChannel, NothingIsWrittenWithoutAValidSocket) {
  testkit::reply::Recorder recorder;
  EvReturnData noSocket(1024, 1, nullptr, 0, nullptr);
  EXPECT_FALSE(noSocket.send(2051, "\0\0\0\0", 4));
  const CWySocket invalid;
  EvReturnData invalidSocket(1024, 1, &invalid, 0, nullptr);
  EXPECT_FALSE(invalidSocket.send(2051, "\0\0\0\0", 4));
  EXPECT_EQ(sendResponse(1, &invalid, 0, "x", nullptr), 0);

  const auto sent = recorder.replies();
  ASSERT_EQ(sent.size(), 3u);
  for (const auto& s : sent) {
    EXPECT_EQ(s.descriptor, -1);
    EXPECT_FALSE(s.delivered);
  }
}

TEST_F(ReplyChannel, AWriteToAClosedPeerFailsQuietly) {
  // Without MSG_NOSIGNAL this would end the test process with SIGPIPE.
  Connection client;
  const CWySocket socket = client.socket();
  client.closePeer();
  testkit::debuglog::Capture log;
  EvReturnData reply(1024, 5, &socket, 0, nullptr);
  EXPECT_FALSE(reply.send(2051, "\1\0\0\0", 4));
  EXPECT_EQ(sendResponse(5, &socket, 0, "gone", nullptr), 0);
  EXPECT_EQ(EvMMConfigMgr::sendOperationResponse(5, socket, 1, 1, "Success", 0), 1)
      << "the handlers never look at a write's result";
  EXPECT_TRUE(log.contains("EvReturnData::send", "Could not write a reply"));
}

TEST_F(ReplyChannel, ItemsWithoutDataOrTooLargeAreRefused) {
  Connection client;
  const CWySocket socket = client.socket();
  EvReturnData reply(1024, 1, &socket, 0, nullptr);
  EXPECT_FALSE(reply.add(4001, nullptr, 4));
  const char small[4] = {};
  EXPECT_FALSE(reply.add(4001, small, EvReturnData::kMaxItemBytes + 1));
  EXPECT_TRUE(reply.add(4001, small, 4));
  EXPECT_TRUE(reply.end(0));
  const auto replies = client.replies();
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].items.size(), 1u);
}

TEST_F(ReplyChannel, ABeginDropsAReplyThatWasNeverEnded) {
  Connection client;
  const CWySocket socket = client.socket();
  EvReturnData reply;
  EXPECT_FALSE(reply.add(4001, "abcd", 4)) << "no reply open yet";
  EXPECT_FALSE(reply.end(0));
  reply.begin(100, 1, &socket, true);
  reply.add(1, "abcd", 4);
  reply.begin(200, 2, &socket, true);
  reply.add(2, "efgh", 4);
  reply.end(0);
  const auto replies = client.replies();
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].messageId, 200u);
  EXPECT_EQ(replies[0].sequence, 2);
}

TEST_F(ReplyChannel, SendResponseIsOneStatusItem) {
  Connection client;
  const CWySocket socket = client.socket();
  EXPECT_EQ(sendResponse(-7, &socket, 0, "Received invalid operation type", nullptr), 1);
  EXPECT_EQ(sendResponse(8, &socket, 3, nullptr, nullptr), 1);
  const std::string longText(5000, 'q');
  EXPECT_EQ(sendResponse(9, &socket, 1, longText.c_str(), nullptr), 1);

  const auto replies = client.replies();
  ASSERT_EQ(replies.size(), 3u);
  for (const auto& r : replies) {
    EXPECT_EQ(r.messageId, tkwire::kHostStatusReply);
    ASSERT_EQ(r.items.size(), 1u);
    EXPECT_EQ(r.items[0].tag, tkwire::kHostStatusItem);
  }
  EXPECT_EQ(replies[0].sequence, -7);
  EXPECT_EQ(replies[0].items[0].bytes, wordAndText(0, "Received invalid operation type"));
  EXPECT_EQ(replies[1].items[0].bytes, u32Bytes(3));
  EXPECT_EQ(replies[2].items[0].bytes, wordAndText(1, std::string(EvReturnData::kStatusReplyTextMax, 'q')));
}

TEST_F(ReplyChannel, AllocationsFailOnDemand) {
  testkit::reply::failNextAllocations(2);
  EXPECT_EQ(new (std::nothrow) EvReturnData(1024, 1, nullptr, 0, nullptr), nullptr);
  EXPECT_THROW(delete new EvReturnData(1024, 1, nullptr, 0, nullptr), std::bad_alloc);
  EvReturnData* third = new (std::nothrow) EvReturnData(1024, 1, nullptr, 0, nullptr);
  EXPECT_NE(third, nullptr);
  delete third;
}

TEST_F(ReplyChannel, BeginFailsOnDemand) {
  Connection client;
  const CWySocket socket = client.socket();
  testkit::reply::failNextBegins(1);
  EvReturnData reply;
  EXPECT_FALSE(reply.begin(11101, 1, &socket, true));
  EXPECT_FALSE(reply.add(11003, "abcdefgh", 8));
  EXPECT_FALSE(reply.end(0));
  EXPECT_TRUE(client.replies().empty());
  EXPECT_TRUE(reply.begin(11101, 2, &socket, true));
  EXPECT_TRUE(reply.end(0));
  EXPECT_EQ(client.replies().size(), 1u);
}

TEST_F(ReplyChannel, RecorderKeepsEveryFrameWithItsItems) {
  Connection client;
  const CWySocket socket = client.socket();
  {
    testkit::reply::Recorder recorder;
    EvMMConfigMgr::sendOperationResponse(12, socket, 4, 1, "Success", 0);
    sendResponse(13, &socket, 0, "no", nullptr);
    const auto sent = recorder.replies();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].messageId, 1024u);
    EXPECT_EQ(sent[0].sequence, 12);
    EXPECT_EQ(sent[0].descriptor, socket.GetSocketDescriptor());
    EXPECT_TRUE(sent[0].delivered);
    ASSERT_EQ(sent[0].items.size(), 2u);
    EXPECT_EQ(sent[0].items[1].bytes, wordAndText(1, "Success"));
    auto calls = testkit::reply::journal().calls("sendResponse");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].args, (std::vector<std::string>{"13", std::to_string(socket.GetSocketDescriptor()), "0", "no"}));
  }
  // Without a recorder nothing is kept.
  EvMMConfigMgr::sendOperationResponse(14, socket, 4, 1, "Success", 0);
  EXPECT_TRUE(tkreply::sentReplies().empty());
}

TEST_F(ReplyChannel, FramesFromManyThreadsNeverInterleave) {
  Connection client;
  const CWySocket socket = client.socket();
  constexpr int kThreads = 4;
  constexpr int kFrames = 40;
  std::atomic<bool> go{false};
  std::vector<tkwire::Reply> received;
  std::thread reader([&] {
    while (received.size() < static_cast<std::size_t>(kThreads * kFrames)) {
      std::string body;
      if (tkwire::readFrame(client.peer(), 5000, body) != tkwire::ReadStatus::Ok) break;
      if (auto r = tkwire::decodeReply(body)) received.push_back(*r);
    }
  });
  std::vector<std::thread> writers;
  for (int t = 0; t < kThreads; ++t) {
    writers.emplace_back([&, t] {
      while (!go.load()) std::this_thread::yield();
      const std::string fill(3000 + t * 1000, static_cast<char>('a' + t));
      for (int i = 0; i < kFrames; ++i) {
        EvReturnData reply(2000 + t, i, &socket, 0, nullptr);
        reply.add(1, fill.data(), static_cast<unsigned long>(fill.size()));
        reply.send(2, fill.data(), static_cast<unsigned long>(fill.size()));
      }
    });
  }
  go = true;
  for (auto& w : writers) w.join();
  reader.join();
  ASSERT_EQ(received.size(), static_cast<std::size_t>(kThreads * kFrames));
  for (const auto& r : received) {
    const int t = static_cast<int>(r.messageId) - 2000;
    ASSERT_GE(t, 0);
    ASSERT_LT(t, kThreads);
    const std::string fill(3000 + t * 1000, static_cast<char>('a' + t));
    ASSERT_EQ(r.items.size(), 2u);
    EXPECT_EQ(r.items[0].bytes, fill);
    EXPECT_EQ(r.items[1].bytes, fill);
  }
}

TEST(MessageNames, NameTheTypesAndNeverGiveNull) {
  EXPECT_STREQ(getMessageName(2052), "end of record");
  EXPECT_STREQ(getMessageName(4001), "operation");
  EXPECT_STREQ(getMessageName(11003), "object handle");
  EXPECT_STREQ(getMessageName(11102), "status text");
  EXPECT_STREQ(getMessageName(0), "unknown");
  EXPECT_STREQ(getMessageName(0xFFFFFFFFul), "unknown");
}

TEST(ReturnDataObject, KeepsWhatItWasOpenedWith) {
  const CWySocket socket(33);
  EvReturnData reply;
  EXPECT_EQ(reply.replyId(), 0);
  EXPECT_EQ(reply.socket(), nullptr);
  EXPECT_FALSE(reply.isOpen());
  reply.begin(11101, -5, &socket, true);
  EXPECT_EQ(reply.replyId(), 11101);
  EXPECT_EQ(reply.sequenceNumber(), -5);
  EXPECT_EQ(reply.socket(), &socket);
  EXPECT_EQ(reply.flags(), 1);
  EXPECT_TRUE(reply.isOpen());
}

}  // namespace
