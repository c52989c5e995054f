// Bytes and replies as the wire carries them, shared by the frame, lock and
// host tests: little-endian words, status items, a socket pair, and readers
// of the replies that arrive on a descriptor.
#pragma once

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/Owned.h"
#include "wire/WireCodec.h"

namespace tktest {

inline std::string le32(uint32_t v) {
  std::string out;
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  return out;
}
inline std::string le64(uint64_t v) { return le32(static_cast<uint32_t>(v)) + le32(static_cast<uint32_t>(v >> 32)); }
// A status item: [u32 word][text].
inline std::string wordAndText(uint32_t word, const std::string& text) { return le32(word) + text; }

// The tags of a reply, in order.
inline std::vector<uint32_t> tagsOf(const tkwire::Reply& reply) {
  std::vector<uint32_t> tags;
  for (const auto& item : reply.items) tags.push_back(item.tag);
  return tags;
}

// Two connected stream sockets, closed with the object.
struct SocketPair {
  SocketPair() {
    int fds[2] = {-1, -1};
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) ADD_FAILURE() << "socketpair failed";
    a = fds[0];
    b = fds[1];
  }
  ~SocketPair() {
    closeA();
    closeB();
  }
  SocketPair(const SocketPair&) = delete;
  SocketPair& operator=(const SocketPair&) = delete;
  void closeA() {
    if (a >= 0) ::close(a);
    a = -1;
  }
  void closeB() {
    if (b >= 0) ::close(b);
    b = -1;
  }
  int a = -1;
  int b = -1;
};

// The replies that arrive on `fd`: the first within firstMs, the rest until
// the host's end frame of the request (not returned) or none comes for
// quietMs. A frame that does not decode is a test failure.
// A wait of a minute or more only ends a hang: it goes on while the
// processes the test started work (a host slow on a busy machine), up to
// 15 minutes, and ends once they stand still (tests/support/Owned.h).
inline tkwire::ReadStatus awaitFrame(int fd, int waitMs, std::string& body) {
  if (waitMs < 60000) return tkwire::readFrame(fd, waitMs, body);
  pollfd p{fd, POLLIN, 0};
  int64_t stalled = 0;
  tkowned::waitWhileWorking([&p] { return ::poll(&p, 1, 20) == 1; }, 900000, stalled, 0);
  return tkwire::readFrame(fd, 1000, waitMs + 1000, body);
}

inline std::vector<tkwire::Reply> awaitReplies(int fd, int firstMs, int quietMs = 100) {
  std::vector<tkwire::Reply> out;
  std::string body;
  for (int wait = firstMs; awaitFrame(fd, wait, body) == tkwire::ReadStatus::Ok; wait = quietMs) {
    std::optional<tkwire::Reply> reply = tkwire::decodeReply(body);
    EXPECT_TRUE(reply.has_value()) << "undecodable reply";
    if (reply && reply->isEnd()) break;  // the request's answers are complete
    if (reply) out.push_back(*reply);
  }
  return out;
}

// The one status reply (1024 with the single item 2051) of `replies`,
// decoded; nullopt and a test failure when the replies are anything else.
struct Status {
  uint32_t status = 0xFFFFFFFF;
  std::string text;
  int64_t sequence = 0;
};
inline std::optional<Status> onlyStatus(const std::vector<tkwire::Reply>& replies) {
  EXPECT_EQ(replies.size(), 1u);
  if (replies.size() != 1) return std::nullopt;
  const tkwire::Reply& r = replies[0];
  EXPECT_EQ(r.kind, tkwire::kReplyItems);
  EXPECT_EQ(r.messageId, 1024u);
  EXPECT_EQ(tagsOf(r), std::vector<uint32_t>{2051});
  if (r.messageId != 1024 || tagsOf(r) != std::vector<uint32_t>{2051}) return std::nullopt;
  EXPECT_GE(r.items[0].bytes.size(), 4u);
  return Status{r.items[0].statusCode(), r.items[0].statusText(), r.sequence};
}

// `replies` is exactly one status reply with these values, its item 2051
// [status][text] to the byte.
inline void expectStatus(const std::vector<tkwire::Reply>& replies, int64_t sequence, uint32_t status,
                         const std::string& text) {
  ASSERT_EQ(replies.size(), 1u);
  const tkwire::Reply& r = replies[0];
  EXPECT_EQ(r.kind, tkwire::kReplyItems);
  EXPECT_EQ(r.messageId, 1024u);
  EXPECT_EQ(r.sequence, sequence);
  ASSERT_EQ(tagsOf(r), std::vector<uint32_t>{2051});
  EXPECT_EQ(r.items[0].bytes, wordAndText(status, text));
}

}  // namespace tktest
