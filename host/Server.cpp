// The host's listener: a Unix stream socket, one thread per connection (see
// Server.h). Every descriptor is owned by a UniqueFd.
#include "host/Server.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "host/HostLog.h"
#include "host/Memory.h"

namespace tkhost {
namespace {

// Connections get descriptors from this number on, handed out in rotation:
// the handler library knows a client by its descriptor (the configuration
// session remembers the holder's). The library is told when a connection
// ends; the rotation is a second line of defence, so that a number that was
// just closed does not come back at once for another client either.
constexpr int kFirstConnectionFd = 64;
// Descriptors stay below this (some libraries still use select()).
constexpr int kConnectionFdCeiling = 1024;
// How long one write of a reply may wait for a console to read.
constexpr int kSendTimeoutMs = 10'000;

bool fillAddress(const std::string& path, sockaddr_un& address) {
  std::memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return true;
}

}  // namespace

Server::Server(const Dispatcher& dispatcher, size_t maxConnections, int frameDeadlineMs)
    : m_dispatcher(dispatcher), m_maxConnections(maxConnections), m_frameDeadlineMs(frameDeadlineMs) {}

Server::~Server() { stop(); }

bool Server::listen(const std::string& path, std::string& error) {
  sockaddr_un address;
  if (!fillAddress(path, address)) {
    error = "socket path must be 1 to " + std::to_string(sizeof address.sun_path - 1) + " bytes: " + path;
    return false;
  }
  std::filesystem::path parent = std::filesystem::path(path).parent_path();
  if (!parent.empty()) {
    std::error_code ec;
    std::filesystem::create_directories(parent, ec);
    if (ec) {
      error = "cannot create " + parent.string() + ": " + ec.message();
      return false;
    }
  }

  struct stat existing{};
  if (::lstat(path.c_str(), &existing) == 0) {
    if (!S_ISSOCK(existing.st_mode)) {
      error = path + " exists and is not a socket";
      return false;
    }
    UniqueFd probe(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (probe && ::connect(probe.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
      error = "another host is listening on " + path;
      return false;
    }
    ::unlink(path.c_str());  // left behind by a host that is gone
  }

  UniqueFd listener(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!listener) {
    error = std::string("socket: ") + std::strerror(errno);
    return false;
  }
  if (::bind(listener.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    error = "cannot bind " + path + ": " + std::strerror(errno);
    return false;
  }
  m_listenFd = std::move(listener);
  // Only the owner may connect: the host takes the user id a console names.
  // Nobody can connect before listen(), so there is no window.
  ::chmod(path.c_str(), 0600);
  struct stat bound{};
  if (::stat(path.c_str(), &bound) == 0) {
    m_dev = bound.st_dev;
    m_ino = bound.st_ino;
  }
  m_path = path;
  if (::listen(m_listenFd.get(), SOMAXCONN) != 0) {
    error = std::string("listen: ") + std::strerror(errno);
    stop();
    return false;
  }
  m_wakeFd.reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  if (!m_wakeFd) {
    error = std::string("eventfd: ") + std::strerror(errno);
    stop();
    return false;
  }
  return true;
}

void Server::run(int stopFd) {
  while (m_listenFd) {
    pollfd fds[3] = {{stopFd, POLLIN, 0}, {m_listenFd.get(), POLLIN, 0}, {m_wakeFd.get(), POLLIN, 0}};
    int r = ::poll(fds, 3, -1);
    if (r < 0) {
      if (errno == EINTR) continue;
      logLine(kLogError, "poll failed: %s", std::strerror(errno));
      break;
    }
    if (fds[0].revents != 0) break;
    if (fds[2].revents & POLLIN) {
      uint64_t count = 0;
      while (::read(m_wakeFd.get(), &count, sizeof count) > 0) {
      }
      reap(false);
    }
    if (fds[1].revents & POLLIN) accept();
  }
  stop();
}

void Server::accept() {
  UniqueFd fd(::accept4(m_listenFd.get(), nullptr, nullptr, SOCK_CLOEXEC));
  if (!fd) {
    if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
      logLine(kLogError, "cannot accept a connection: %s", std::strerror(errno));
      ::poll(nullptr, 0, 100);  // the connection waits in the backlog; do not spin
    }
    return;
  }
  fd = placeDescriptor(std::move(fd));
  // A console that stops reading its replies must not hold a handler (and
  // the locks it holds) in a write for ever: after this long the write fails
  // and the reply channel ends the connection.
  const timeval sendTimeout{kSendTimeoutMs / 1000, (kSendTimeoutMs % 1000) * 1000};
  if (::setsockopt(fd.get(), SOL_SOCKET, SO_SNDTIMEO, &sendTimeout, sizeof sendTimeout) != 0)
    logLine(kLogError, "cannot set the send time-out of connection %d: %s", fd.get(), std::strerror(errno));

  std::lock_guard<std::mutex> guard(m_mutex);
  if (m_connections.size() >= m_maxConnections) {
    logLine(0, "refused a connection: %zu connections are open", m_connections.size());
    refuse(fd.get(), 0, "too many connections");
    return;
  }
  auto connection = std::make_unique<Connection>();
  connection->fd = std::move(fd);
  Connection* c = connection.get();
  const int number = c->fd.get();
  try {
    c->thread = std::thread([this, c, number] {
      serveConnection(number, m_dispatcher, m_frameDeadlineMs);
      c->finished.store(true);
      uint64_t one = 1;
      ssize_t ignored = ::write(m_wakeFd.get(), &one, sizeof one);
      (void)ignored;
    });
  } catch (const std::system_error& e) {
    logLine(kLogError, "cannot start a connection thread: %s", e.what());
    refuse(number, 0, "the host cannot serve another connection");
    return;
  }
  logLine(1, "connection %d opened (%zu open)", number, m_connections.size() + 1);
  m_connections.push_back(std::move(connection));
}

UniqueFd Server::placeDescriptor(UniqueFd fd) {
  rlimit limit{};
  int ceiling = kConnectionFdCeiling;
  if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
      limit.rlim_cur < static_cast<rlim_t>(ceiling))
    ceiling = static_cast<int>(limit.rlim_cur);
  if (ceiling <= kFirstConnectionFd + 16) return fd;
  if (m_nextFd < kFirstConnectionFd || m_nextFd >= ceiling) m_nextFd = kFirstConnectionFd;
  for (int from : {m_nextFd, kFirstConnectionFd}) {
    UniqueFd placed(::fcntl(fd.get(), F_DUPFD_CLOEXEC, from));
    if (placed && placed.get() < ceiling) {
      m_nextFd = placed.get() + 1;
      return placed;  // the original number is closed with `fd`
    }
  }
  return fd;  // every number in the range is taken: keep the one we have
}

void Server::reap(bool all) {
  std::list<std::unique_ptr<Connection>> done;
  {
    std::lock_guard<std::mutex> guard(m_mutex);
    for (auto it = m_connections.begin(); it != m_connections.end();) {
      if (all || (*it)->finished.load()) {
        done.push_back(std::move(*it));
        it = m_connections.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (auto& c : done) {
    if (c->thread.joinable()) c->thread.join();
    const int number = c->fd.get();
    c->fd.reset();
    logLine(1, "connection %d closed", number);
  }
  if (!done.empty() && connectionsEnded()) logLine(2, "memory given back once connections with a large answer ended");
}

size_t Server::connectionCount() {
  std::lock_guard<std::mutex> guard(m_mutex);
  return m_connections.size();
}

void Server::stop() {
  m_listenFd.reset();
  if (!m_path.empty()) {
    // Remove the socket file only while it is still ours.
    struct stat current{};
    if (::lstat(m_path.c_str(), &current) == 0 && current.st_dev == m_dev && current.st_ino == m_ino)
      ::unlink(m_path.c_str());
    m_path.clear();
  }
  {
    std::lock_guard<std::mutex> guard(m_mutex);
    for (auto& c : m_connections) ::shutdown(c->fd.get(), SHUT_RDWR);
  }
  reap(true);
  m_wakeFd.reset();
}

}  // namespace tkhost
