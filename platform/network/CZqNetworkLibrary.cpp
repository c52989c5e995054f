// The remote-library sessions of CZqNetwork (see CZqNetwork.h): attach to a
// named library on a host (platform/network/RemoteLibraries.h), send and
// receive typed messages whose bodies the NAS-client XDR table encodes, and
// release what decoding allocated.
//
// A received body holds heap texts and arrays that belong to the caller's
// structure; the session keeps the list of bodies it decoded and not yet
// released, so that FreeReceivedMessage frees only what it allocated, once,
// and a body that was never received (all zero) releases as nothing.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/nasclient/NasClientXdr.h"
#include "platform/network/CZqNetwork.h"
#include "platform/network/RemoteLibraries.h"
#include "platform/network/RemoteTools.h"

namespace {

using tknetwork::Bytes;

constexpr std::size_t kMaxMessage = 1 << 20;
constexpr int kLongestWaitSeconds = 480;

std::string hex(unsigned long value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%08lX", value);
  return text;
}

std::string hexBytes(const Bytes& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(bytes.size() * 2);
  for (uint8_t b : bytes) {
    text += kDigits[b >> 4];
    text += kDigits[b & 15];
  }
  return text;
}

CWyError fromFailure(const tkjournal::Failure& failure) {
  return CWyError(failure.code != 0 ? failure.code : -1, failure.text);
}

bool allZero(const char* bytes, std::size_t length) {
  return std::all_of(bytes, bytes + length, [](char c) { return c == 0; });
}

}  // namespace

struct CZqNetwork::LibrarySession {
  tknetwork::LibraryConnection connection;
  std::string peer;
  // Bodies decoded and not yet released: (buffer, type).
  std::mutex mutex;
  std::vector<std::pair<const char*, unsigned long>> decoded;
};

void CZqNetwork::LibrarySessionDeleter::operator()(LibrarySession* session) const { delete session; }

CZqNetwork::LibrarySession& CZqNetwork::library() {
  if (!m_library) m_library.reset(new LibrarySession);
  return *m_library;
}

bool CZqNetwork::libraryConnected() const { return m_library && m_library->connection.open(); }

const std::string* CZqNetwork::libraryPeer() const { return libraryConnected() ? &m_library->peer : nullptr; }

CWyError CZqNetwork::Attach_RemoteDLL(const std::string& host, const zqsRemoteDLLRequest& request,
                                      const char* localName, int timeout, int& flag) {
  const std::string name(request.library, strnlen(request.library, sizeof request.library));
  tknetwork::journal().record("Attach_RemoteDLL", host, name, localName != nullptr ? localName : "", timeout);
  flag = 1;
  LibrarySession& session = library();
  if (session.connection.open() && session.peer == host) {
    flag = 0;
    return CWyError::attached(0);
  }
  session.connection.close();
  session.peer.clear();
  tkjournal::Failure failure;
  if (tknetwork::journal().takeFailure("Attach_RemoteDLL", failure)) return fromFailure(failure);
  CWyError error = session.connection.start(host, name);
  if (error.IsError()) return error;
  session.peer = host;
  flag = 0;
  return CWyError::attached(1);
}

CWyError CZqNetwork::SendXDRMessage(unsigned long type, zqsDatabuf_v2& buffer, int /*flags*/, int /*timeout*/,
                                    int& flag) {
  flag = 1;
  Bytes bytes;
  std::string text;
  const bool encoded = type <= UINT32_MAX && tknasclient::encodeBody(static_cast<uint32_t>(type), buffer.getBuffer(),
                                                                      buffer.getLength(), bytes, text);
  tknetwork::journal().record("SendXDRMessage", hex(type), hexBytes(bytes));
  tkjournal::Failure failure;
  if (tknetwork::journal().takeFailure("SendXDRMessage", failure)) return fromFailure(failure);
  if (!encoded) return CWyError(tknetwork::kErrBadMessage, "Message " + hex(type) + " cannot be sent: " + text + ".");
  if (!libraryConnected()) return CWyError(tknetwork::kErrNotConnected, "The session is not connected.");
  if (!tknetwork::writeAll(m_library->connection.fd(), tknetwork::frame(static_cast<uint32_t>(type), bytes)))
    return CWyError(tknetwork::kErrSend, "Sending to [" + m_library->peer + "] failed: the connection was closed.");
  flag = 0;
  return CWyError();
}

CWyError CZqNetwork::receiveFromLibrary(unsigned long* type, zqsDatabuf_v2& buffer, int timeout, int& flag) {
  const unsigned long expected = type != nullptr ? *type : 0;
  tknetwork::journal().record("ReceiveXDRMessage", hex(expected), timeout);
  flag = 1;
  tkjournal::Failure failure;
  if (tknetwork::journal().takeFailure("ReceiveXDRMessage", failure)) return fromFailure(failure);
  if (type == nullptr || expected > UINT32_MAX || !tknasclient::isKnownType(static_cast<uint32_t>(expected)))
    return CWyError(tknetwork::kErrBadType, "No XDR routine for message type " + hex(expected) + ".");
  LibrarySession& session = *m_library;
  const int wait = timeout < 0 || timeout > kLongestWaitSeconds ? kLongestWaitSeconds : timeout;
  uint32_t received = 0;
  Bytes bytes;
  std::string text;
  if (!tknetwork::readFrame(session.connection.fd(), wait, kMaxMessage, received, bytes, text))
    return CWyError(tknetwork::kErrReceive, "Receiving from [" + session.peer + "] failed: " + text + ".");
  tknetwork::journal().record("received", hex(received), hexBytes(bytes));
  if (received != expected)
    return CWyError(tknetwork::kErrBadType, "Received message type " + hex(received) + " from [" + session.peer +
                                                "] where " + hex(expected) + " was expected.");
  if (!tknasclient::decodeBody(received, bytes.data(), bytes.size(), buffer.getBuffer(), buffer.getLength(), text))
    return CWyError(tknetwork::kErrBadMessage, "A message from [" + session.peer + "] could not be decoded: " + text +
                                                   ".");
  if (tknasclient::bodySize(received) != 0) {
    std::lock_guard<std::mutex> lock(session.mutex);
    session.decoded.emplace_back(buffer.getBuffer(), received);
  }
  flag = 0;
  return CWyError();
}

bool CZqNetwork::holdsLibraryMessage(unsigned long type, const zqsDatabuf_v2& /*buffer*/) const {
  return type <= UINT32_MAX && tknasclient::isKnownType(static_cast<uint32_t>(type));
}

CWyError CZqNetwork::freeLibraryMessage(unsigned long type, zqsDatabuf_v2& buffer) {
  tknetwork::journal().record("FreeReceivedMessage", hex(type));
  const uint32_t kind = static_cast<uint32_t>(type);
  const std::size_t size = tknasclient::bodySize(kind);
  if (size == 0) return CWyError();
  if (buffer.getBuffer() == nullptr || buffer.getLength() < size)
    return CWyError(tknetwork::kErrNoFree, "The buffer cannot hold a message of type " + hex(type) + ".");
  LibrarySession& session = library();
  bool held = false;
  {
    std::lock_guard<std::mutex> lock(session.mutex);
    auto it = std::find(session.decoded.begin(), session.decoded.end(),
                        std::pair<const char*, unsigned long>(buffer.getBuffer(), type));
    if (it != session.decoded.end()) {
      session.decoded.erase(it);
      held = true;
    }
  }
  if (held) {
    tknasclient::freeBody(kind, buffer.getBuffer());
    return CWyError();
  }
  // Nothing received into it: there is nothing to release, unless it holds
  // pointers the session did not make.
  if (allZero(buffer.getBuffer(), size)) return CWyError();
  return CWyError(tknetwork::kErrNoFree, "The buffer holds no decoded message of type " + hex(type) + ".");
}

CWyError CZqNetwork::AbortConnection(const zqsAbortStatus& status, int timeout, int& flag) {
  tknetwork::journal().record("AbortConnection", status.kind, status.code, status.severity, timeout);
  flag = 0;
  if (m_library) {
    m_library->connection.close();
    m_library->peer.clear();
  }
  return CWyError();
}

CWyError CZqNetwork::Disconnect(int timeout) {
  tknetwork::journal().record("Disconnect", timeout);
  const bool wasConnected = libraryConnected();
  if (m_library) {
    m_library->connection.close();
    m_library->peer.clear();
  }
  tkjournal::Failure failure;
  if (tknetwork::journal().takeFailure("Disconnect", failure)) return fromFailure(failure);
  if (!wasConnected) return CWyError(tknetwork::kErrNotConnected, "The session is not connected.");
  return CWyError();
}
