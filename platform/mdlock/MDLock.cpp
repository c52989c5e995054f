#include "platform/mdlock/MDLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/clock/Clock.h"
#include "platform/debuglog/EvDebug.h"

namespace tkmdlock {

std::string lockDirectory() {
  const char* dir = std::getenv("TK_LOCK_DIR");
  return (dir != nullptr && *dir != '\0') ? std::string(dir) : std::string("var/locks");
}

std::string fileName(const std::string& name) {
  static const char digits[] = "0123456789ABCDEF";
  if (name.empty()) return std::string();
  std::string out;
  for (unsigned char c : name) {
    bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
    if (plain) {
      out.push_back(static_cast<char>(c));
    } else {
      out.push_back('%');
      out.push_back(digits[c >> 4]);
      out.push_back(digits[c & 0x0F]);
    }
  }
  if (out.size() <= 255) return out;
  // Too long for one file name: a prefix and a hash of the whole name ('~'
  // never appears in an escaped name, so this cannot meet a short name).
  uint64_t hash = 14695981039346656037ull;
  for (unsigned char c : name) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  out.resize(200);
  out.push_back('~');
  for (int shift = 60; shift >= 0; shift -= 4) out.push_back(digits[(hash >> shift) & 0x0F]);
  return out;
}

tkjournal::Journal& journal() {
  static tkjournal::Journal j;
  return j;
}

namespace {
std::atomic<int> g_waitsBegun{0};

void noteWaitBegun() { g_waitsBegun.fetch_add(1, std::memory_order_release); }
}  // namespace

int waitsBegun() { return g_waitsBegun.load(std::memory_order_acquire); }

}  // namespace tkmdlock

MDLock::MDLock(const char* name) : m_name(name != nullptr ? name : "") {
  const std::string file = tkmdlock::fileName(m_name);
  tkjournal::Failure failure;
  bool injected = tkmdlock::journal().takeFailure("MDLock", failure);
  if (!file.empty() && !injected) {
    const std::string dir = tkmdlock::lockDirectory();
    std::error_code ignored;
    std::filesystem::create_directories(dir, ignored);
    m_path = dir + "/" + file;
    reopen();
  } else if (file.empty()) {
    EvDebug::Error("MDLock::MDLock", "%s", "an empty name names no lock");
  }
  tkmdlock::journal().record("MDLock", m_name, isValid());
}

MDLock::~MDLock() {
  if (m_fd >= 0) ::close(m_fd);
}

void MDLock::reopen() {
  if (m_fd >= 0) ::close(m_fd);
  m_fd = ::open(m_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0660);
  if (m_fd < 0) {
    int err = errno;
    EvDebug::Error("MDLock::MDLock", "cannot open lock file [%s]: %s", m_path.c_str(), std::strerror(err));
  }
}

bool MDLock::isCurrentFile() const {
  struct stat locked{};
  struct stat named{};
  return m_fd >= 0 && ::fstat(m_fd, &locked) == 0 && ::stat(m_path.c_str(), &named) == 0 &&
         locked.st_dev == named.st_dev && locked.st_ino == named.st_ino;
}

bool MDLock::unsetAndRemove() {
  bool removed = false;
  if (m_held && m_fd >= 0) {
    // Removed while held: a waiter that gets the old file finds it is no
    // longer the name's and takes the name's new file instead.
    removed = ::unlink(m_path.c_str()) == 0;
    if (!removed) {
      int err = errno;
      EvDebug::Error("MDLock::unsetAndRemove", "cannot remove lock file [%s]: %s", m_path.c_str(),
                     std::strerror(err));
    }
  }
  tkmdlock::journal().record("remove", m_name, removed);
  return unset() && removed;
}

bool MDLock::set(unsigned int timeoutMs) {
  const int64_t start = tkclock::nowMs();
  for (;;) {
    const bool already = m_held;
    const bool got = takeOnce(timeoutMs, start);
    if (!got || already || isCurrentFile()) {
      m_held = got;
      tkmdlock::journal().record("set", m_name, timeoutMs, got);
      return got;
    }
    // The holder before us removed the file: the name has a new one.
    ::flock(m_fd, LOCK_UN);
    reopen();
  }
}

bool MDLock::takeOnce(unsigned int timeoutMs, int64_t start) {
  bool got = false;
  tkjournal::Failure failure;
  if (m_held) {
    got = true;
  } else if (tkmdlock::journal().takeFailure("set", failure)) {
    EvDebug::Error("MDLock::set", "cannot lock [%s]: %s", m_name.c_str(), failure.text.c_str());
  } else if (m_fd >= 0) {
    if (timeoutMs == kNoTimeLimit) {
      // A first attempt that does not wait tells a lock held elsewhere
      // apart, so that the wait can be counted before it begins.
      int rc = ::flock(m_fd, LOCK_EX | LOCK_NB);
      if (rc != 0 && (errno == EWOULDBLOCK || errno == EINTR)) {
        if (errno == EWOULDBLOCK) tkmdlock::noteWaitBegun();
        do {
          rc = ::flock(m_fd, LOCK_EX);
        } while (rc != 0 && errno == EINTR);
      }
      got = rc == 0;
      if (!got) {
        int err = errno;
        EvDebug::Error("MDLock::set", "cannot lock [%s]: %s", m_name.c_str(), std::strerror(err));
      }
    } else {
      const int64_t deadline = start + static_cast<int64_t>(timeoutMs);
      for (;;) {
        if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0) {
          got = true;
          break;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
          int err = errno;
          EvDebug::Error("MDLock::set", "cannot lock [%s]: %s", m_name.c_str(), std::strerror(err));
          break;
        }
        const int64_t left = deadline - tkclock::nowMs();
        if (left <= 0) break;
        tkclock::sleepMs(static_cast<uint32_t>(left < 10 ? left : 10));
      }
    }
  }
  return got;
}

bool MDLock::unset() {
  bool released = false;
  tkjournal::Failure failure;
  if (m_held && m_fd >= 0 && tkmdlock::journal().takeFailure("unset", failure)) {
    // Still held; closing the file (the object's end) releases it.
    EvDebug::Error("MDLock::unset", "cannot unlock [%s]: %s", m_name.c_str(), failure.text.c_str());
  } else if (m_held && m_fd >= 0) {
    released = ::flock(m_fd, LOCK_UN) == 0;
    m_held = false;
  }
  tkmdlock::journal().record("unset", m_name, released);
  return released;
}

bool MDLock::isSet() const {
  bool held = false;
  if (m_held) {
    held = true;
  } else if (m_fd >= 0) {
    // A holder may have removed the file this object opened: the probe goes
    // to the name's file as it is now (none: nobody holds the lock).
    const bool current = isCurrentFile();
    const int fd = current ? m_fd : ::open(m_path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    // A shared probe fails exactly when someone holds the lock; a free lock
    // is released again at once.
    int rc = 0;
    if (fd >= 0) {
      do {
        rc = ::flock(fd, LOCK_SH | LOCK_NB);
      } while (rc != 0 && errno == EINTR);
      if (rc == 0) {
        ::flock(fd, LOCK_UN);
      } else {
        held = errno == EWOULDBLOCK;
      }
    }
    if (!current && fd >= 0) ::close(fd);
  }
  tkmdlock::journal().record("isSet", m_name, held);
  return held;
}
