// The remote libraries that a session attaches to by name on a host
// (CZqNetwork::Attach_RemoteDLL), as in-process services: each connection
// is a Unix socket pair whose far end a thread of the service's own serves,
// one reply frame for each request frame, until the session closes its end.
//
//   tknetwork::addLibrary("cs1", "sLNNCWTK", [](uint32_t type, const Bytes& body) {
//     return LibraryReply{type + 0x100, encode(...)};
//   });
//
// Frames are those of the tool sessions (tknetwork::frame). Hosts compare
// without regard to letter case. Test controls: a host can refuse the next
// n attaches, and a library can drop its next reply (it then closes its end,
// so the waiting session fails at once instead of waiting out its time-out).
// Thread-safe.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "platform/network/CWyError.h"
#include "platform/network/Descriptor.h"
#include "platform/network/RemoteReplyXdr.h"

namespace tknetwork {

struct LibraryReply {
  uint32_t type = 0;
  Bytes bytes;
};

// Answers one request. Called on the connection's own thread.
using LibraryService = std::function<LibraryReply(uint32_t type, const Bytes& bytes)>;

inline constexpr int kErrNoLibrary = 0x37000109;
inline constexpr int kErrAttachRefused = 0x3700010A;
inline constexpr int kErrSend = 0x3700010B;

void addLibrary(const std::string& host, const std::string& name, LibraryService service);
// A library that every host offers (a service each machine of the
// installation runs): an attach to a host without a library of that name
// of its own gets the service `make` builds for that host.
void addLibraryOnEveryHost(const std::string& name, std::function<LibraryService(const std::string& host)> make);
// The next `count` attaches to any library of the host fail.
void refuseAttaches(const std::string& host, int count);
// The library's next reply is not sent; its connection closes instead.
void dropNextReply(const std::string& host, const std::string& name);
// Forgets libraries (those of every host too) and controls.
void resetLibraries();

// Reads one frame (u32 type, u32 length, bytes) of at most `maxLength`
// bytes; `timeoutSeconds` < 0 waits while the peer is there. False with
// `error` set at the end of the stream, on a time-out or an error.
bool readFrame(int fd, int timeoutSeconds, std::size_t maxLength, uint32_t& type, Bytes& bytes, std::string& error);
// Writes all of the bytes; false when the peer is gone.
bool writeAll(int fd, const Bytes& bytes);

// A session's connection to a library: its end of the socket pair and the
// thread serving the other end. Joined when closed.
class LibraryConnection {
 public:
  LibraryConnection() = default;
  ~LibraryConnection() { close(); }
  LibraryConnection(const LibraryConnection&) = delete;
  LibraryConnection& operator=(const LibraryConnection&) = delete;

  // Attaches to the library `name` of `host`.
  CWyError start(const std::string& host, const std::string& name);
  int fd() const { return m_fd.get(); }
  bool open() const { return static_cast<bool>(m_fd); }
  void close();

 private:
  Descriptor m_fd;
  std::thread m_server;
};

}  // namespace tknetwork
