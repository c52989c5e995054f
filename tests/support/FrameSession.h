// Shared pieces of the session and lock tests: a client connection made of a
// socketpair with requests on it, catalogue texts, and a fixture that puts
// the class-wide session state and the stand-ins back to where the library
// starts.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "frame/CWySocket.h"
#include "frame/EvEvent.h"
#include "frame/EvMMConfigMgr.h"
#include "frame/MessageInfo.h"
#include "platform/testkit/archivemgr.h"
#include "platform/testkit/audit.h"
#include "platform/testkit/client.h"
#include "platform/testkit/debugfile.h"
#include "platform/testkit/mac.h"
#include "platform/testkit/mountd.h"
#include "platform/testkit/reply.h"
#include "tests/support/FrameWire.h"

namespace tktest {

// One client connection: the handler writes on `socket()`, the test reads
// what the client would see on `peer()`.
class Connection {
 public:
  CWySocket socket() const { return CWySocket(m_pair.a); }
  int peer() const { return m_pair.b; }
  // Every reply already written (the writes are synchronous, so nothing is
  // waited for).
  std::vector<tkwire::Reply> replies(int quietMs = 0) const { return tkwire::readReplies(m_pair.b, quietMs); }
  // The client goes away.
  void closePeer() { m_pair.closeB(); }

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
  SocketPair m_pair;
};

// A catalogue text in locale 0, with its arguments.
template <class... Args>
std::string catalogueText(unsigned long id, const Args&... arguments) {
  char buffer[1024];
  EvGetLocText(id, buffer, sizeof buffer, 0, arguments...);
  return buffer;
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

inline void resetSessionStandIns() {
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
    resetSessionStandIns();
    resetSessionState();
  }
  void TearDown() override {
    resetSessionState();
    resetSessionStandIns();
  }
};

}  // namespace tktest
