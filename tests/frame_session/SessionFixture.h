// Shared pieces of the session tests: a client connection made of a
// socketpair, requests on it, and a fixture that puts the class-wide session
// state and the stand-ins back to where the library starts.
#pragma once

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "frame/CWySocket.h"
#include "frame/EvMMConfigMgr.h"
#include "frame/MessageInfo.h"
#include "platform/testkit/archivemgr.h"
#include "platform/testkit/audit.h"
#include "platform/testkit/client.h"
#include "platform/testkit/debugfile.h"
#include "platform/testkit/mac.h"
#include "platform/testkit/mountd.h"
#include "platform/testkit/reply.h"
#include "tests/support/wire/WireCodec.h"

namespace sessiontest {

// One client connection: the handler writes on `ours`, the test reads what
// the client would see on `theirs`.
class Connection {
 public:
  Connection() {
    int fds[2] = {-1, -1};
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) ADD_FAILURE() << "socketpair failed";
    m_ours = fds[0];
    m_theirs = fds[1];
  }
  ~Connection() {
    if (m_ours >= 0) ::close(m_ours);
    if (m_theirs >= 0) ::close(m_theirs);
  }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  CWySocket socket() const { return CWySocket(m_ours); }
  int peer() const { return m_theirs; }
  // Every reply already written (the writes are synchronous, so nothing is
  // waited for).
  std::vector<tkwire::Reply> replies(int quietMs = 0) const { return tkwire::readReplies(m_theirs, quietMs); }
  // The client goes away.
  void closePeer() {
    ::close(m_theirs);
    m_theirs = -1;
  }

  // A request record on this connection.
  std::unique_ptr<MessageInfo> request(int64_t sequence, uint32_t requestKind = 0, uint32_t userId = 1) const {
    auto message = std::make_unique<MessageInfo>();
    message->socket = socket();
    message->sequenceNumber = sequence;
    message->requestKind = requestKind;
    message->userId = userId;
    return message;
  }

 private:
  int m_ours = -1;
  int m_theirs = -1;
};

inline uint32_t u32At(const std::string& bytes, std::size_t at = 0) {
  uint32_t value = 0;
  if (bytes.size() >= at + 4) std::memcpy(&value, bytes.data() + at, 4);
  return value;
}
inline std::string u32Bytes(uint32_t value) { return std::string(reinterpret_cast<const char*>(&value), 4); }
// [u32 word][text] as on the wire.
inline std::string wordAndText(uint32_t word, const std::string& text) { return u32Bytes(word) + text; }

// Tags of a reply, in order.
inline std::vector<uint32_t> tagsOf(const tkwire::Reply& reply) {
  std::vector<uint32_t> tags;
  for (const auto& item : reply.items) tags.push_back(item.tag);
  return tags;
}

// The class-wide session state as the library starts, with an empty cache.
inline void resetSessionState() {
  {
    EvMMConfigMgr::SessionLock lock;
    EvMMConfigMgr::m_tMediaConfigList.clear();
    EvMMConfigMgr::m_socketId = CWySocket();
  }
  EvMMConfigMgr::m_ulUserId = 0;
  EvMMConfigMgr::m_ulLockedMMConfig = 0;
  EvMMConfigMgr::m_serverSequenceNumber = 0;
  EvMMConfigMgr::ResetClientSequenceNumber();
  g_ulSteps = 0;
  g_ulTotalSteps = 0;
  EvMMConfigMgr::SetLastLoginName("");
}

inline void resetStandIns() {
  testkit::reply::reset();
  testkit::mac::reset();
  testkit::audit::reset();
  testkit::archivemgr::reset();
  testkit::client::reset();
  testkit::mountd::reset();
  testkit::debugfile::reset();
}

class SessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetStandIns();
    resetSessionState();
  }
  void TearDown() override {
    resetSessionState();
    resetStandIns();
  }
};

}  // namespace sessiontest
