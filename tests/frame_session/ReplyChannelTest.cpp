// The reply channel: frames on the client's socket and one-call status
// replies.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <atomic>
#include <chrono>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "platform/reply/EvReturnData.h"
#include "platform/reply/ReplyFrame.h"
#include "platform/testkit/debuglog.h"
#include "platform/testkit/reply.h"
#include "tests/support/FrameSession.h"
#include "tests/support/WaitFor.h"

namespace {

using tktest::Connection;
using tktest::le32;
using tktest::le64;
using tktest::wordAndText;

class ReplyChannel : public tktest::SessionTest {};

// The body of the one frame waiting on the descriptor.
std::string frameBody(int fd) {
  std::string body;
  EXPECT_EQ(tkwire::readFrame(fd, 1000, body), tkwire::ReadStatus::Ok);
  return body;
}

TEST_F(ReplyChannel, ItemAndRawFramesHaveTheDocumentedBytes) {
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
  EXPECT_EQ(frameBody(client.peer()), le32(tkwire::kReplyItems) + le32(11133) + le64(0x0409000000000007ull) +
                                          le32(3) + le32(11003) + le32(8) + le64(handle) + le32(8251) + le32(2) +
                                          "ab" + le32(2052) + le32(0));

  EvReturnData raw(0x0DF9BE39, 42, &socket, 0, nullptr);
  EXPECT_TRUE(raw.sendRaw(0x0DF9BE39, "<x/>", 4));
  EXPECT_EQ(frameBody(client.peer()), le32(tkwire::kReplyRaw) + le32(0x0DF9BE39) + le64(42) + "<x/>");
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
  EXPECT_EQ(tktest::tagsOf(replies[1]), (std::vector<uint32_t>{11003, 2052}));
  EXPECT_EQ(replies[1].sequence, 9);
}

TEST_F(ReplyChannel, OneShotSendAddsTheLastItemAndCloses) {
  Connection client;
  EvReturnData* reply = nullptr;
  {
    const CWySocket shortLived = client.socket();  // the socket is read when the reply opens
    reply = new (std::nothrow) EvReturnData(1024, 77, &shortLived, false, nullptr);
  }
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
  EXPECT_EQ(replies[0].items[0].bytes, le32(58));
  EXPECT_EQ(replies[0].items[1].bytes, status);
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

TEST_F(ReplyChannel, AConsoleThatStopsReadingEndsTheConnectionInsteadOfStallingWriters) {
  // The host gives every connection a send time-out; a console that reads
  // nothing fills the socket, the write that times out fails and the stream
  // is shut down, so no later frame lands after a cut one.
  Connection client;
  const CWySocket socket = client.socket();
  const timeval timeout{0, 100 * 1000};
  ASSERT_EQ(::setsockopt(static_cast<int>(socket.GetSocketDescriptor()), SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout), 0);
  const std::string text(4000, 'x');
  testkit::debuglog::Capture log;
  int written = 0;
  std::atomic<bool> ended{false};
  std::thread writer([&] {
    while (sendResponse(written, &socket, 1, text.c_str(), nullptr) == 1 && written < 100000) ++written;
    ended = true;
  });
  // The bound only ends a write that would never end: the console's end is
  // shut then, so that the writer fails.
  if (!tktest::pollUntil([&] { return ended.load(); })) {
    ADD_FAILURE() << "a write on the full socket waits for good";
    ::shutdown(client.peer(), SHUT_RDWR);
  }
  writer.join();
  EXPECT_LT(written, 100000) << "the socket never filled up";
  EXPECT_TRUE(log.contains("sendResponse", "stayed full") || log.contains("EvReturnData", "stayed full"));

  // The console finds whole frames, then the end of the stream.
  std::string body;
  int frames = 0;
  while (tkwire::readFrame(client.peer(), 1000, body) == tkwire::ReadStatus::Ok) ++frames;
  EXPECT_GE(frames, written - 1);
  EXPECT_LE(frames, written);
  EXPECT_EQ(sendResponse(1, &socket, 1, "after", nullptr), 0) << "nothing is written after a cut frame";
}

TEST_F(ReplyChannel, AReplyLargerThanTheSocketBufferArrivesWholeThoughWrittenInPieces) {
  // A listing's reply is hundreds of kilobytes: on a non-blocking socket
  // each write takes only what the buffer has room for, so the header and
  // the items go out in many pieces, some of them across the two.
  Connection client;
  const CWySocket socket = client.socket();
  const int fd = static_cast<int>(socket.GetSocketDescriptor());
  ASSERT_EQ(::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK), 0);
  constexpr int kItems = 30000;
  std::string body;
  std::thread reader([&] { EXPECT_EQ(tkwire::readFrame(client.peer(), 10000, body), tkwire::ReadStatus::Ok); });
  EvReturnData reply;
  ASSERT_TRUE(reply.begin(11002, 9, &socket, true));
  std::string expected = le32(tkwire::kReplyItems) + le32(11002) + le64(9) + le32(kItems);
  for (int i = 0; i < kItems; ++i) {
    const std::string text = "item " + std::to_string(i);
    EXPECT_TRUE(reply.add(3000 + i % 7, text.data(), static_cast<unsigned long>(text.size())));
    expected += le32(3000 + i % 7) + le32(static_cast<uint32_t>(text.size())) + text;
  }
  EXPECT_TRUE(reply.end(0));
  reader.join();
  ASSERT_GT(expected.size(), 300000u);
  EXPECT_EQ(body.size(), expected.size());
  EXPECT_TRUE(body == expected) << "the frame's bytes differ";
}

TEST_F(ReplyChannel, ItemsOfEverySizeKeepTheirBytesAndTheNextMessageStartsEmpty) {
  // Items are written in place into room that grows and is kept for the
  // object's next message: numbers and handles by a path of their own, an
  // item larger than all the room so far by more than one doubling.
  Connection client;
  const CWySocket socket = client.socket();
  std::string first;
  std::string second;
  std::thread reader([&] {
    first = frameBody(client.peer());
    second = frameBody(client.peer());
  });
  EvReturnData reply;
  EXPECT_TRUE(reply.begin(11002, 5, &socket, true));
  std::string expected;
  unsigned int count = 0;
  auto add = [&](uint32_t tag, const std::string& bytes) {
    EXPECT_TRUE(reply.add(tag, bytes.empty() ? nullptr : bytes.data(), static_cast<unsigned long>(bytes.size())));
    expected += le32(tag) + le32(static_cast<uint32_t>(bytes.size())) + bytes;
    ++count;
  };
  const std::string large(20000, 'L');
  add(4000, large);
  for (std::size_t size : {0u, 1u, 3u, 4u, 5u, 7u, 8u, 9u, 255u, 256u, 4096u})
    add(static_cast<uint32_t>(5000 + size), std::string(size, static_cast<char>('a' + size % 26)));
  for (int i = 0; i < 3000; ++i) add(6000, le32(static_cast<uint32_t>(i)) + (i % 2 == 0 ? le32(~0u) : std::string()));
  EXPECT_TRUE(reply.end(0));
  EXPECT_TRUE(reply.begin(11003, 6, &socket, true));
  EXPECT_TRUE(reply.add(2052, "\0\0\0\0", 4));
  EXPECT_TRUE(reply.end(0));
  reader.join();
  EXPECT_EQ(first.size(), 20 + expected.size());
  EXPECT_TRUE(first == le32(tkwire::kReplyItems) + le32(11002) + le64(5) + le32(count) + expected)
      << "the frame's bytes differ";
  EXPECT_EQ(second, le32(tkwire::kReplyItems) + le32(11003) + le64(6) + le32(1) + le32(2052) + le32(4) +
                        std::string(4, '\0'));
}

TEST_F(ReplyChannel, ItemsWithoutDataAndUnendedRepliesAreDropped) {
  Connection client;
  const CWySocket socket = client.socket();
  EvReturnData reply;
  EXPECT_FALSE(reply.add(4001, "abcd", 4)) << "no reply open yet";
  EXPECT_FALSE(reply.end(0));
  reply.begin(100, 1, &socket, true);
  reply.add(1, "abcd", 4);
  reply.begin(200, 2, &socket, true);  // drops the reply that was never ended
  EXPECT_FALSE(reply.add(4001, nullptr, 4));
  const char small[4] = {};
  EXPECT_TRUE(reply.add(4001, small, 4));
  EXPECT_TRUE(reply.end(0));
  const auto replies = client.replies();
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].messageId, 200u);
  EXPECT_EQ(replies[0].sequence, 2);
  EXPECT_EQ(tktest::tagsOf(replies[0]), std::vector<uint32_t>{4001});
}

TEST_F(ReplyChannel, AMessageTooLargeForAFrameIsAnsweredAsAFailureNamingTheLimitNeverCutShort) {
  const std::string half(EvReturnData::kMaxItemBytes, 'h');
  struct Case {
    const char* what;
    bool listing;               // begun with the flag true
    std::vector<unsigned long> items;  // lengths of the items added, then 2052 when listed
    std::string text;
  };
  const Case cases[] = {
      {"an item larger than an item may be", true, {4, EvReturnData::kMaxItemBytes + 1, 4},
       "Reply [300] was not sent: its item [4002] of 8388609 bytes is larger than a reply item may be (8388608 "
       "bytes)."},
      {"a record of a listing larger than a frame", true, {4, EvReturnData::kMaxItemBytes, EvReturnData::kMaxItemBytes},
       "Reply [300] was not sent whole: one of its records is larger than a reply frame may be (16777216 bytes)."},
      {"a message that is no listing", false, {EvReturnData::kMaxItemBytes, EvReturnData::kMaxItemBytes},
       "Reply [300] was not sent: it is larger than a reply frame may be (16777216 bytes)."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Connection client;
    const CWySocket socket = client.socket();
    EvReturnData reply;
    ASSERT_TRUE(reply.begin(300, 9, &socket, c.listing));
    bool refused = false;
    for (std::size_t i = 0; i < c.items.size(); ++i) refused |= !reply.add(4001 + i, half.data(), c.items[i]);
    EXPECT_TRUE(refused);
    EXPECT_FALSE(reply.add(2052, "\0\0\0\0", 4)) << "nothing more is kept";
    EXPECT_FALSE(reply.end(0));
    EXPECT_TRUE(reply.refusedForSize());
    EXPECT_FALSE(reply.isOpen());
    const auto replies = client.replies();
    ASSERT_EQ(replies.size(), 1u) << "the failure alone: nothing of the message";
    tktest::expectStatus({replies[0]}, 9, 0, c.text);
    // The object goes on with the next message.
    ASSERT_TRUE(reply.begin(301, 10, &socket, c.listing));
    EXPECT_TRUE(reply.add(2052, "\0\0\0\0", 4));
    EXPECT_TRUE(reply.end(0));
    EXPECT_FALSE(reply.refusedForSize());
    const auto next = client.replies();
    ASSERT_EQ(next.size(), 1u);
    EXPECT_EQ(next[0].messageId, 301u);
  }
}

TEST_F(ReplyChannel, ARawMessageLargerThanAFrameMayBeIsAnsweredAsAFailureNamingTheLimit) {
  const std::string large(tkwire::kMaxFrameBytes, 'x');
  Connection client;
  const CWySocket socket = client.socket();
  EvReturnData reply(1024, 21, &socket, 0, nullptr);
  EXPECT_FALSE(reply.sendRaw(0x1234, large.data(), static_cast<unsigned long>(large.size())));
  tktest::expectStatus(client.replies(), 21, 0,
                       "Reply [4660] was not sent: it is larger than a reply frame may be (16777216 bytes).");
}

TEST_F(ReplyChannel, SendResponseIsOneStatusItem) {
  Connection client;
  const CWySocket socket = client.socket();
  EXPECT_EQ(sendResponse(-7, &socket, 0, "Received invalid operation type", nullptr), 1);
  EXPECT_EQ(sendResponse(8, &socket, 3, nullptr, nullptr), 1);
  EXPECT_EQ(sendResponse(9, &socket, 1, std::string(5000, 'q').c_str(), nullptr), 1);
  const auto replies = client.replies();
  ASSERT_EQ(replies.size(), 3u);
  tktest::expectStatus({replies[0]}, -7, 0, "Received invalid operation type");
  tktest::expectStatus({replies[1]}, 8, 3, "");
  tktest::expectStatus({replies[2]}, 9, 1, std::string(EvReturnData::kStatusReplyTextMax, 'q'));
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

}  // namespace
