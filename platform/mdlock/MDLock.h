// The cross-process named lock of the server.
//
// Each name is one file in the lock directory (TK_LOCK_DIR, default
// "var/locks"), locked with flock(2). Every MDLock object opens the file
// afresh, so two objects of the same name exclude each other even within one
// process, and a holder that dies frees its lock with its descriptors.
// An object is used by one thread at a time.
//
// The holder of a lock whose name names nothing any more (a deleted
// library's) may remove its file. A lock taken on a file that is no longer
// the one its name leads to is given up and taken again on the name's
// current file, so removing never lets two holders in at once.
#pragma once

#include <cstdint>
#include <string>

#include "platform/journal/Journal.h"

class MDLock {
 public:
  // Time limit of set() that waits for as long as it takes.
  static constexpr unsigned int kNoTimeLimit = 0xFFFFFFFFu;

  explicit MDLock(const char* name);
  // Closes the file; a lock still held by this object is released with it.
  ~MDLock();
  MDLock(const MDLock&) = delete;
  MDLock& operator=(const MDLock&) = delete;

  // False when the lock file could not be opened; such an object never holds
  // the lock.
  bool isValid() const { return m_fd >= 0; }

  // Takes the lock, waiting at most `timeoutMs` milliseconds (kNoTimeLimit:
  // without limit). True when this object holds the lock.
  bool set(unsigned int timeoutMs);
  // Releases the lock held by this object; false when it held none.
  bool unset();
  // Removes the lock file and releases the lock; false (the file left as it
  // is) when this object does not hold the lock.
  bool unsetAndRemove();
  // True when any holder (this object or another, in any process) has the
  // lock. Asking leaves a free lock free.
  bool isSet() const;

  const std::string& name() const { return m_name; }
  const std::string& path() const { return m_path; }

 private:
  std::string m_name;
  std::string m_path;
  int m_fd = -1;
  bool m_held = false;

  // Whether m_fd is still the file at m_path (no holder has removed it).
  bool isCurrentFile() const;
  // Opens the name's file afresh (creating it).
  void reopen();
  // One attempt to take the lock on the open file, within the time limit
  // counted from `start`.
  bool takeOnce(unsigned int timeoutMs, int64_t start);
};

namespace tkmdlock {

// The lock directory in use (TK_LOCK_DIR or "var/locks").
std::string lockDirectory();
// The file name of a lock name: bytes other than letters, digits, '_' and
// '-' are written as %XX; a name too long for one file name is cut to a
// prefix followed by '~' and a hash of the whole name. Empty for an empty name.
std::string fileName(const std::string& name);

// Calls: "MDLock" (name, valid), "set" (name, time limit, result), "unset"
// (name, result), "remove" (name, result), "isSet" (name, result). A failure injected into "MDLock"
// makes the next object invalid, as if its file could not be opened; into
// "set", the next attempt to take a lock not yet held fails; into "unset",
// the next release of a held lock fails (the lock goes with the object).
tkjournal::Journal& journal();

// Waits that set() without a time limit has begun on a lock held by another
// holder, counted since the process started: a test learns from it that a
// thread has reached its wait.
int waitsBegun();

}  // namespace tkmdlock
