// The host's listener: a Unix stream socket, one thread per connection.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstddef>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "host/Dispatcher.h"
#include "host/UniqueFd.h"

namespace tkhost {

inline constexpr size_t kDefaultMaxConnections = 256;

class Server {
 public:
  // At most `maxConnections` are served at once; a further one is answered
  // "too many connections" and closed. Once a request frame has begun, the
  // whole of it must arrive within `frameDeadlineMs`, else its connection is
  // dropped (see serveConnection).
  explicit Server(const Dispatcher& dispatcher, size_t maxConnections = kDefaultMaxConnections,
                  int frameDeadlineMs = kDefaultFrameDeadlineMs);
  ~Server();  // stops, if still running
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // Creates the socket file (and its directory) and listens on it. A socket
  // file left behind by a host that is gone is replaced; one on which another
  // host still listens, or a file that is not a socket, is refused.
  bool listen(const std::string& path, std::string& error);

  // Accepts connections until `stopFd` becomes readable; then stops.
  void run(int stopFd);

  // Closes the listener and removes its socket file, shuts every connection
  // down and waits for its thread. Safe to call twice.
  void stop();

  size_t connectionCount();

 private:
  struct Connection {
    UniqueFd fd;
    std::thread thread;
    std::atomic<bool> finished{false};
  };

  void accept();
  void reap(bool all);
  UniqueFd placeDescriptor(UniqueFd fd);

  const Dispatcher& m_dispatcher;
  size_t m_maxConnections;
  int m_frameDeadlineMs;
  UniqueFd m_listenFd;
  UniqueFd m_wakeFd;  // eventfd: a connection thread has finished
  std::string m_path;
  dev_t m_dev = 0;
  ino_t m_ino = 0;
  std::mutex m_mutex;
  std::list<std::unique_ptr<Connection>> m_connections;
  int m_nextFd = 0;
};

}  // namespace tkhost
