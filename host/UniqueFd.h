// An owned file descriptor: closed when its owner goes, whichever way it
// leaves. Move-only; `release()` hands the number over without closing it.
//
//     UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
//     if (!fd) return false;             // -1 is the empty value
//     if (::connect(fd.get(), ...) != 0) return false;   // closed here
#pragma once

#include <unistd.h>

#include <utility>

namespace tkhost {

class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : m_fd(fd) {}
  ~UniqueFd() { reset(); }
  UniqueFd(UniqueFd&& other) noexcept : m_fd(other.release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int get() const { return m_fd; }
  explicit operator bool() const { return m_fd >= 0; }
  // Closes what it holds and takes `fd` instead.
  void reset(int fd = -1) {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = fd;
  }
  int release() { return std::exchange(m_fd, -1); }

 private:
  int m_fd = -1;
};

}  // namespace tkhost
