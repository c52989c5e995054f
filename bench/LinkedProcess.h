#pragma once
// A process of the benchmark's own (an echo of the host, say) that lives as
// long as this one does, whatever way this one ends: the child reads the end
// of a pipe whose other end only this process holds, and leaves when it
// closes. (A parent-death signal would come when the thread that forked
// ends, and the first use may come on a benchmark thread that ends with its
// case.) The destructor ends it at once.
#include <fcntl.h>
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sys/socket.h>

#include <cerrno>
#include <functional>
#include <string>
#include <thread>

#include "wire/FrameReader.h"

namespace tkbench {

class LinkedProcess {
 public:
  LinkedProcess() = default;
  LinkedProcess(const LinkedProcess&) = delete;
  LinkedProcess& operator=(const LinkedProcess&) = delete;
  ~LinkedProcess() {
    if (m_lifeline >= 0) ::close(m_lifeline);
    if (m_child <= 0) return;
    ::kill(m_child, SIGKILL);
    ::waitpid(m_child, nullptr, 0);
  }

  // Runs `body` in a child process, which ends when `body` returns or this
  // process goes; false when the process could not be made.
  bool start(const std::function<void()>& body) {
    int lifeline[2];
    if (::pipe2(lifeline, O_CLOEXEC) != 0) return false;
    m_child = ::fork();
    if (m_child == 0) {
      ::close(lifeline[1]);
      std::thread([fd = lifeline[0]] {
        char byte;
        while (::read(fd, &byte, 1) < 0 && errno == EINTR) {
        }
        ::_exit(0);
      }).detach();
      body();
      ::_exit(0);
    }
    ::close(lifeline[0]);
    if (m_child < 0) {
      ::close(lifeline[1]);
      return false;
    }
    m_lifeline = lifeline[1];
    return true;
  }

  bool up() const { return m_child > 0; }
  pid_t pid() const { return m_child; }

 private:
  pid_t m_child = -1;
  int m_lifeline = -1;  // the pipe end whose closing ends the child
};

// An echo's life in its process: accepts on `listenFd` until the process
// is killed, a thread per connection (as the host serves them) that reads
// the requests as the host does (a frame reader that reads ahead) and has
// `answer(fd, body)` write the answer of each; false ends the connection.
[[noreturn]] inline void serveEachRequest(int listenFd,
                                          const std::function<bool(int fd, const std::string& body)>& answer) {
  for (;;) {
    const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) ::_exit(0);
    std::thread([fd, &answer] {
      tkwire::FrameReader reader(fd);
      std::string body;
      while (reader.next(-1, -1, body) == tkwire::ReadStatus::Ok)
        if (!answer(fd, body)) break;
      ::close(fd);
    }).detach();
  }
}

}  // namespace tkbench
