// A limit on the size of the files this process writes, for as long as the
// object lives: a write past it fails with EFBIG ("File too large"), as on a
// server whose administrator set one, instead of raising SIGXFSZ (ignored
// meanwhile). A limit of 0 refuses every write to a regular file, so the
// next commit of the database fails when it writes its log.
#pragma once

#include <signal.h>
#include <sys/resource.h>

namespace tktest {

class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    m_handler = ::signal(SIGXFSZ, SIG_IGN);
    m_set = ::getrlimit(RLIMIT_FSIZE, &m_old) == 0;
    if (!m_set) return;
    rlimit limit = m_old;
    limit.rlim_cur = bytes;
    m_set = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
  }
  ~FileSizeLimit() {
    if (m_set) ::setrlimit(RLIMIT_FSIZE, &m_old);
    ::signal(SIGXFSZ, m_handler);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;
  bool set() const { return m_set; }

 private:
  rlimit m_old{};
  sighandler_t m_handler = SIG_DFL;
  bool m_set = false;
};

}  // namespace tktest
