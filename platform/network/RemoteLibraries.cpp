// The in-process remote libraries (see RemoteLibraries.h).
#include "platform/network/RemoteLibraries.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <utility>

#include "platform/network/RemoteTools.h"

namespace tknetwork {
namespace {

struct Library {
  LibraryService service;
  int dropReplies = 0;
};

struct Registry {
  std::mutex mutex;
  std::map<std::pair<std::string, std::string>, Library> libraries;
  std::map<std::string, std::function<LibraryService(const std::string&)>> everyHost;
  std::map<std::string, int> refusals;
};

Registry& registry() {
  static Registry r;
  return r;
}

std::string lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

uint32_t wordAt(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}

bool readExactly(int fd, uint8_t* out, std::size_t length, int timeoutSeconds, std::string& error) {
  const int waitMs = timeoutSeconds < 0 ? -1 : timeoutSeconds * 1000;
  std::size_t got = 0;
  while (got < length) {
    pollfd p{fd, POLLIN, 0};
    const int ready = ::poll(&p, 1, waitMs);
    if (ready < 0 && errno == EINTR) continue;
    if (ready == 0) {
      error = "no message within the time-out";
      return false;
    }
    if (ready < 0) {
      error = std::string("waiting for a message failed: ") + std::strerror(errno);
      return false;
    }
    const ssize_t n = ::recv(fd, out + got, length - got, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = std::string("receiving failed: ") + std::strerror(errno);
      return false;
    }
    if (n == 0) {
      error = got == 0 ? "the connection was closed" : "the connection was closed in the middle of a message";
      return false;
    }
    got += static_cast<std::size_t>(n);
  }
  return true;
}

// Whether the library should drop this reply (and closes nothing itself).
bool takeDrop(const std::string& host, const std::string& name) {
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  auto it = r.libraries.find({host, name});
  if (it == r.libraries.end() || it->second.dropReplies == 0) return false;
  --it->second.dropReplies;
  return true;
}

// Serves one connection until the session closes its end.
void serve(Descriptor fd, LibraryService service, std::string host, std::string name) {
  for (;;) {
    uint32_t type = 0;
    Bytes bytes;
    std::string error;
    if (!readFrame(fd.get(), -1, 1 << 20, type, bytes, error)) return;
    if (takeDrop(host, name)) return;  // the session sees the connection close
    LibraryReply reply = service(type, bytes);
    if (!writeAll(fd.get(), frame(reply.type, reply.bytes))) return;
  }
}

}  // namespace

bool readFrame(int fd, int timeoutSeconds, std::size_t maxLength, uint32_t& type, Bytes& bytes, std::string& error) {
  uint8_t head[8];
  if (!readExactly(fd, head, sizeof head, timeoutSeconds, error)) return false;
  type = wordAt(head);
  const uint32_t length = wordAt(head + 4);
  if (length > maxLength) {
    error = "a message of " + std::to_string(length) + " bytes is longer than allowed";
    return false;
  }
  bytes.assign(length, 0);
  return length == 0 || readExactly(fd, bytes.data(), length, timeoutSeconds, error);
}

bool writeAll(int fd, const Bytes& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

void addLibrary(const std::string& host, const std::string& name, LibraryService service) {
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  r.libraries[{lower(host), name}] = Library{std::move(service), 0};
}

void addLibraryOnEveryHost(const std::string& name, std::function<LibraryService(const std::string& host)> make) {
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  r.everyHost[name] = std::move(make);
}

void refuseAttaches(const std::string& host, int count) {
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  r.refusals[lower(host)] = count;
}

void dropNextReply(const std::string& host, const std::string& name) {
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  auto it = r.libraries.find({lower(host), name});
  if (it != r.libraries.end()) ++it->second.dropReplies;
}

void resetLibraries() {
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  r.libraries.clear();
  r.everyHost.clear();
  r.refusals.clear();
}

CWyError LibraryConnection::start(const std::string& host, const std::string& name) {
  close();
  const std::string key = lower(host);
  LibraryService service;
  std::function<LibraryService(const std::string&)> make;
  {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    auto refusal = r.refusals.find(key);
    if (refusal != r.refusals.end() && refusal->second > 0) {
      --refusal->second;
      return CWyError(kErrAttachRefused, "Host [" + host + "] refused the connection.");
    }
    auto it = r.libraries.find({key, name});
    auto every = r.everyHost.find(name);
    if (it != r.libraries.end())
      service = it->second.service;
    else if (every != r.everyHost.end())
      make = every->second;
    else
      return CWyError(kErrNoLibrary, "Library [" + name + "] is not available on host [" + host + "].");
  }
  if (make) service = make(host);
  int ends[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
    return CWyError(kErrSocket, std::string("Could not open a connection: ") + std::strerror(errno));
  m_fd.reset(ends[0]);
  Descriptor far(ends[1]);
  try {
    m_server = std::thread(serve, std::move(far), std::move(service), key, name);
  } catch (const std::system_error& e) {
    m_fd.reset();
    return CWyError(kErrSocket, std::string("Could not start the service: ") + e.what());
  }
  return CWyError();
}

void LibraryConnection::close() {
  if (m_fd) ::shutdown(m_fd.get(), SHUT_RDWR);
  m_fd.reset();
  if (m_server.joinable()) m_server.join();
}

}  // namespace tknetwork
