// Helpers of the host tests: starting the real tkhost and tkconsole binaries,
// waiting for them with bounded waits, and talking to a socket.
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/FrameWire.h"
#include "tests/support/Owned.h"
#include "tests/support/TempDir.h"
#include "wire/WireCodec.h"

extern char** environ;

namespace hosttest {

// Bounds that only end a hang: a sanitized host on a machine busy with other
// work may take many times its usual time (it starts in well under a second
// on a quiet one), and a test that meets a bound fails.
inline constexpr int kStartMs = 60000;
inline constexpr int kReplyMs = 60000;
// A wait for a console (its exit, what it prints next) or an answer goes on
// while the processes the test started (consoles aside) spend CPU time: a
// host that is slow
// on a busy machine is waited for. It ends when none of them has spent any
// for stallMs() (a host that is stuck; tests/support/Owned.h), or after
// kExitMs in all.
inline constexpr int kStallMs = tkowned::kStallMs;
// The console's waits (--timeout for a host that is still starting and for
// a request's first answer, --wait for each later one) when a test starts
// tkconsole: its defaults of 3 and 10 seconds are for a person at a quiet
// host. The test's own wait (above) tells a slow host from a stuck one, so
// the console's is only the outer bound of one answer. A test of those
// waits passes its own, which come later on the command line and win.
inline constexpr int kConsoleWaitMs = 600000;  // the most it takes
// How long a test waits in all for a console it started to end
// (Child::exitCode), however busy the host.
inline constexpr int kExitMs = kConsoleWaitMs + kStartMs;

// One literal each: GCC 12 at -O2 takes the appending of a literal to a
// string made just before for a read past the literal (-Warray-bounds).
inline std::string hostBinary() { return TK_BINARY_DIR "/tkhost"; }
inline std::string consoleBinary() { return TK_BINARY_DIR "/tkconsole"; }

using tkowned::stallMs;
using tkowned::StallBound;
using tkowned::waitWhileWorking;

// How a wait for a process ended: it exited with a code, a signal ended
// it, the wait timed out, or it never started. Compares with an exit code
// (a time-out, a signal and a failed start compare as -1) and prints what
// ended the wait when a test's expectation on it fails.
class Ended {
 public:
  enum class How { NotStarted, Exited, Signalled, TimedOut };
  static Ended notStarted() { return Ended(How::NotStarted, 0); }
  static Ended timedOut(int64_t waitedMs, int64_t stalledMs) {
    Ended e(How::TimedOut, static_cast<int>(waitedMs / 1000));
    e.m_stalled = stalledMs < 0 ? -1 : static_cast<int>(stalledMs / 1000);
    return e;
  }
  static Ended fromStatus(int status) {
    return WIFEXITED(status) ? Ended(How::Exited, WEXITSTATUS(status)) : Ended(How::Signalled, WTERMSIG(status));
  }

  How how() const { return m_how; }
  // The exit code; -1 for anything else.
  int code() const { return m_how == How::Exited ? m_value : -1; }
  operator int() const { return code(); }  // NOLINT: reads as the exit code
  friend bool operator==(const Ended& e, int code) { return e.code() == code; }

  std::string text() const {
    switch (m_how) {
      case How::Exited: return "exited with code " + std::to_string(m_value);
      case How::Signalled: {
        const char* name = ::sigabbrev_np(m_value);
        return "ended by signal " + std::to_string(m_value) + (name != nullptr ? std::string(" (SIG") + name + ")" : "");
      }
      case How::TimedOut:
        return "timed out after " + std::to_string(m_value) + " s" +
               (m_stalled < 0 ? std::string()
                              : " (the started processes spent no CPU time for the last " +
                                    std::to_string(m_stalled) + " s)");
      case How::NotStarted: break;
    }
    return "did not start";
  }
  friend void PrintTo(const Ended& e, std::ostream* os) { *os << e.text(); }
  friend std::ostream& operator<<(std::ostream& os, const Ended& e) { return os << e.text(); }

 private:
  Ended(How how, int value) : m_how(how), m_value(value) {}
  How m_how;
  int m_value;
  int m_stalled = 0;
};

// Starts `args` (the program first) with the environment `envp` (this
// process's when null), each of `redirects` applied first: its descriptor
// `fd` opened on `path` with `flags`, or made a copy of `from`. The child is
// entered among this process's own (Owned.h) and, started from the main
// thread, is killed by the kernel when this process dies (the parent-death
// signal is sent when the thread that started the child ends, so a child
// started from another thread goes only by its owner or Owned.h). A
// console's CPU time is no progress of a wait (it spends some waiting). The
// child's pid, or -1 when it did not start.
struct Redirect {
  int fd;
  int from;
  std::string path;
  int flags;
  static Redirect copy(int fd, int from) { return {fd, from, "", 0}; }
  static Redirect file(int fd, const std::string& path, int flags) { return {fd, -1, path, flags}; }
};
inline pid_t spawnOwned(std::vector<std::string> args, char** envp, const std::vector<Redirect>& redirects) {
  const bool works = args[0] != consoleBinary();
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const pid_t parent = ::getpid();
  const bool fromMain = ::syscall(SYS_gettid) == parent;
  // vfork: the child borrows this process's memory until it execs, so a
  // start costs no copy of a large sanitized test process's page tables
  // (a fork's copy cost more than the host it started). The child only
  // makes system calls, and says why it did not start in `error`.
  volatile int error = 0;
  const pid_t pid = ::vfork();
  if (pid == 0) {
    if (fromMain && (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::getppid() != parent)) {
      error = ESRCH;
      ::_exit(127);
    }
    for (const Redirect& r : redirects) {
      const int source = r.from >= 0 ? r.from : ::open(r.path.c_str(), r.flags, 0644);
      if (source < 0 || ::dup2(source, r.fd) < 0) {
        error = errno;
        ::_exit(127);
      }
      if (r.from < 0 && source != r.fd) ::close(source);
    }
    ::execve(argv[0], argv.data(), envp != nullptr ? envp : environ);
    error = errno;
    ::_exit(127);
  }
  if (pid < 0) return -1;
  if (error != 0) {
    ::waitpid(pid, nullptr, 0);
    return -1;
  }
  tkowned::enterProcess(pid, works);
  return pid;
}

// A request of a locked session with a short answer: sent behind a line of
// the session, its echo marks where that line's answers end.
inline constexpr const char* kAnswersEndMarker = "onMsgGetMMMediaConfigParam";

// A tkconsole started with `args` (after the program's name), reading its
// lines from a pipe and printing into another, its errors too when
// `errorsToo`, else into /dev/null. What it printed gathers in printed().
class PipedConsole {
 public:
  PipedConsole(std::vector<std::string> args, bool errorsToo) {
    int in[2];
    int out[2];
    if (::pipe2(in, O_CLOEXEC) != 0) return;
    if (::pipe2(out, O_CLOEXEC) != 0) {
      ::close(in[0]);
      ::close(in[1]);
      return;
    }
    args.insert(args.begin(), consoleBinary());
    std::vector<Redirect> redirects{Redirect::copy(0, in[0]), Redirect::copy(1, out[1])};
    redirects.push_back(errorsToo ? Redirect::copy(2, out[1]) : Redirect::file(2, "/dev/null", O_WRONLY));
    m_pid = spawnOwned(std::move(args), nullptr, redirects);
    ::close(in[0]);
    ::close(out[1]);
    m_in = in[1];
    m_out = out[0];
  }
  ~PipedConsole() {
    finish("");
    ::close(m_out);
  }
  PipedConsole(const PipedConsole&) = delete;
  PipedConsole& operator=(const PipedConsole&) = delete;

  // True while the console runs (it started and was not finished).
  bool started() const { return m_pid > 0; }
  // Writes `text` to the console's input; false when it is gone.
  bool send(const std::string& text) {
    return m_in >= 0 && ::write(m_in, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  }
  // Adds what the console prints next to printed(), waiting for it while
  // the host and console work (waitWhileWorking); false when nothing came
  // or the console ended, and quiet() says which.
  bool readSome() {
    if (m_out < 0) return false;
    pollfd p{m_out, POLLIN, 0};
    int64_t stalled = 0;
    const int64_t start = nowMs();
    if (!waitWhileWorking([&p] { return ::poll(&p, 1, 20) == 1; }, kExitMs, stalled, 0)) {
      m_quiet = Ended::timedOut(nowMs() - start, stalled);
      return false;
    }
    char buffer[65536];
    const ssize_t n = ::read(m_out, buffer, sizeof buffer);
    if (n <= 0) return false;
    m_printed.append(buffer, static_cast<size_t>(n));
    return true;
  }
  // Reads until printed() holds, at or after `from`, the echo of `line` at
  // the start of a line ("> line"): its offset, or npos when the console
  // ended or went quiet first. Sent behind a line as a marker
  // (kAnswersEndMarker), it says that line's answers are complete.
  std::size_t awaitEcho(const std::string& line, std::size_t from) {
    const std::string echo = "> " + line + "\n";
    for (;;) {
      for (std::size_t at = m_printed.find(echo, from); at != std::string::npos; at = m_printed.find(echo, at + 1))
        if (at == 0 || m_printed[at - 1] == '\n') return at;
      if (!readSome()) return std::string::npos;
    }
  }
  // Sends the line `last` (none when empty), closes the console's input,
  // reads what it prints to its end and returns how it ended (did not
  // start also when it was finished before). A console that went quiet
  // while still running is killed, and the wait's time-out returned.
  Ended finish(const std::string& last) {
    if (!last.empty() && !send(last + "\n")) m_printed += "(console gone)\n";
    if (m_in >= 0) ::close(m_in);
    m_in = -1;
    m_quiet.reset();
    while (readSome()) {
    }
    if (m_pid <= 0) return Ended::notStarted();
    if (m_quiet) ::kill(m_pid, SIGKILL);
    int status = 0;
    ::waitpid(m_pid, &status, 0);
    tkowned::forgetProcess(m_pid);
    m_pid = -1;
    return m_quiet ? *m_quiet : Ended::fromStatus(status);
  }
  // Why the last read found nothing: a time-out, or nothing (the console
  // ended its output).
  const std::optional<Ended>& quiet() const { return m_quiet; }
  std::string& printed() { return m_printed; }
  const std::string& printed() const { return m_printed; }

 private:
  static int64_t nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }

  pid_t m_pid = -1;
  int m_in = -1;
  int m_out = -1;
  std::string m_printed;
  std::optional<Ended> m_quiet;
};

inline int64_t nowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

inline void pauseMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream os;
  os << in.rdbuf();
  return os.str();
}

// A child process: stdin from a file (/dev/null unless named), stdout and
// stderr into files. tkconsole is started with the tests' waits
// (kConsoleWaitMs) ahead of the test's own arguments.
class Child {
 public:
  Child() = default;
  ~Child() { kill(); }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  // Starts the program; the environment is this process's with `env` on top.
  bool start(const std::string& program, const std::vector<std::string>& args,
             const std::map<std::string, std::string>& env, const std::string& outPath, const std::string& errPath,
             const std::string& inPath = "/dev/null") {
    std::vector<std::string> argStore{program};
    if (program == consoleBinary())
      argStore.insert(argStore.end(), {"--timeout", std::to_string(kConsoleWaitMs), "--wait",
                                       std::to_string(kConsoleWaitMs)});
    argStore.insert(argStore.end(), args.begin(), args.end());

    std::vector<std::string> envStore;
    for (char** e = environ; *e != nullptr; ++e) {
      std::string entry = *e;
      if (env.count(entry.substr(0, entry.find('='))) == 0) envStore.push_back(entry);
    }
    for (const auto& [name, value] : env) envStore.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (std::string& e : envStore) envp.push_back(e.data());
    envp.push_back(nullptr);

    const pid_t pid = spawnOwned(std::move(argStore), envp.data(),
                                 {Redirect::file(0, inPath, O_RDONLY),
                                  Redirect::file(1, outPath, O_WRONLY | O_CREAT | O_TRUNC),
                                  Redirect::file(2, errPath, O_WRONLY | O_CREAT | O_TRUNC)});
    if (pid < 0) return false;
    m_pid = pid;
    m_status.reset();
    return true;
  }

  pid_t pid() const { return m_pid; }
  bool running() {
    poll();
    return m_pid > 0 && !m_status;
  }

  // The wait status once the child has ended within timeoutMs, else nullopt.
  std::optional<int> wait(int timeoutMs) {
    int64_t deadline = nowMs() + timeoutMs;
    for (;;) {
      poll();
      if (m_status || m_pid <= 0) return m_status;
      if (nowMs() >= deadline) return std::nullopt;
      pauseMs(5);
    }
  }

  // How the child ended: waited for while the started processes work
  // (waitWhileWorking), up to kExitMs; or within a fixed `timeoutMs`. Its
  // exit code as an int (-1 for a time-out, a signal, no start); printed,
  // what ended the wait.
  Ended exitCode(int timeoutMs = 0) {
    if (m_pid <= 0) return Ended::notStarted();
    const int64_t start = nowMs();
    int64_t stalled = 0;
    const bool ended = timeoutMs > 0 ? wait(timeoutMs).has_value() : waitWhileWorking([this] {
      poll();
      return m_status.has_value();
    }, kExitMs, stalled);
    if (!ended) return Ended::timedOut(nowMs() - start, timeoutMs > 0 ? -1 : stalled);
    return Ended::fromStatus(*m_status);
  }

  void signal(int sig) {
    if (running()) ::kill(m_pid, sig);
  }

  // Ends the child if it still runs: SIGTERM, then SIGKILL.
  void kill() {
    if (!running()) return;
    ::kill(m_pid, SIGTERM);
    if (!wait(5000)) {
      ::kill(m_pid, SIGKILL);
      wait(5000);
    }
  }

 private:
  void poll() {
    if (m_pid <= 0 || m_status) return;
    int status = 0;
    if (::waitpid(m_pid, &status, WNOHANG) != m_pid) return;
    m_status = status;
    tkowned::forgetProcess(m_pid);
  }

  pid_t m_pid = -1;
  std::optional<int> m_status;
};

inline sockaddr_un unixAddress(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return address;
}

inline int connectOnce(const std::string& path) {
  sockaddr_un address = unixAddress(path);
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// Connects, retrying until timeoutMs has passed; -1 when it never succeeds.
inline int connectWithin(const std::string& path, int timeoutMs = kStartMs) {
  int64_t deadline = nowMs() + timeoutMs;
  for (;;) {
    int fd = connectOnce(path);
    if (fd >= 0 || nowMs() >= deadline) return fd;
    pauseMs(10);
  }
}

// A listening socket at `path` (for a fake host); -1 on failure.
inline int listenAt(const std::string& path) {
  sockaddr_un address = unixAddress(path);
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd >= 0 && (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 8) != 0)) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// Accepts one connection within timeoutMs; -1 when none comes.
inline int acceptWithin(int listenFd, int timeoutMs) {
  pollfd p{listenFd, POLLIN, 0};
  if (::poll(&p, 1, timeoutMs) != 1) return -1;
  return ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
}

// True when the peer has closed the connection within timeoutMs (no data).
inline bool closedWithin(int fd, int timeoutMs = kReplyMs) {
  std::string body;
  return tkwire::readFrame(fd, timeoutMs, body) == tkwire::ReadStatus::Closed;
}

inline bool exists(const std::string& path) {
  struct stat st{};
  return ::lstat(path.c_str(), &st) == 0;
}

// Counts the entries of a /proc directory of a process (threads, descriptors).
inline int countProcEntries(pid_t pid, const char* what) {
  std::string dir = "/proc/" + std::to_string(pid) + "/" + what;
  int n = 0;
  if (DIR* d = ::opendir(dir.c_str())) {
    while (dirent* e = ::readdir(d))
      if (e->d_name[0] != '.') ++n;
    ::closedir(d);
  }
  return n;
}

// A field of a process's /proc status in KiB ("VmRSS:", "VmHWM:"); -1 when
// unknown.
inline long statusKb(pid_t pid, const char* field) {
  std::istringstream status(readFile("/proc/" + std::to_string(pid) + "/status"));
  const std::size_t length = std::strlen(field);
  for (std::string line; std::getline(status, line);)
    if (line.compare(0, length, field) == 0) return std::strtol(line.c_str() + length, nullptr, 10);
  return -1;
}

// The resident memory of a process in KiB, from /proc; -1 when unknown.
inline long residentKb(pid_t pid) { return statusKb(pid, "VmRSS:"); }

// Measures the most memory a process held resident over a stretch of work:
// from the start (which sets the process's peak back to what it holds now)
// to grownKb(), the peak's growth in KiB since then (-1 when unknown).
class PeakResident {
 public:
  // Whether a process's memory tells what its code holds: not under the
  // thread sanitizer, whose shadow of each byte the code touches is several
  // times the byte (a test that bounds memory skips there).
  static bool tellsWhatCodeHolds() {
#if defined(__SANITIZE_THREAD__)
    return false;
#else
    return true;
#endif
  }

  explicit PeakResident(pid_t pid) : m_pid(pid) {
    std::ofstream("/proc/" + std::to_string(pid) + "/clear_refs") << "5";
    m_start = residentKb(pid);
  }
  // The kernel brings a process's peak up to date lazily: read just after
  // the start, it may still stand a little below what was resident then.
  long grownKb() const {
    const long peak = statusKb(m_pid, "VmHWM:");
    return peak < 0 || m_start < 0 ? -1 : std::max(0L, peak - m_start);
  }

 private:
  pid_t m_pid;
  long m_start = -1;
};

// The environment for a host whose memory a test measures: the address
// sanitizer's quarantine of freed memory, which would count as held, made
// small (the options of this process kept otherwise).
inline std::map<std::string, std::string> measuredMemoryEnv() {
  const char* options = std::getenv("ASAN_OPTIONS");
  std::string value = options != nullptr ? options : "";
  if (!value.empty()) value += ':';
  return {{"ASAN_OPTIONS", value + "quarantine_size_mb=1:thread_local_quarantine_size_kb=64"}};
}

// Lowers this process's soft limit of open descriptors for a scope, so that
// a child started within it inherits the limit.
class ScopedDescriptorLimit {
 public:
  explicit ScopedDescriptorLimit(rlim_t limit) {
    ::getrlimit(RLIMIT_NOFILE, &m_saved);
    rlimit lowered = m_saved;
    lowered.rlim_cur = limit;
    ::setrlimit(RLIMIT_NOFILE, &lowered);
  }
  ~ScopedDescriptorLimit() { ::setrlimit(RLIMIT_NOFILE, &m_saved); }
  ScopedDescriptorLimit(const ScopedDescriptorLimit&) = delete;
  ScopedDescriptorLimit& operator=(const ScopedDescriptorLimit&) = delete;

 private:
  rlimit m_saved{};
};

// Writes `frame` and returns the replies to it, read up to the request's end
// frame, each within kReplyMs. The host ends every request with that frame,
// so nothing of this request is left for the next read to take as its own
// however slowly a loaded machine delivers it.
inline std::vector<tkwire::Reply> sendAndRead(int fd, const std::string& frame) {
  EXPECT_TRUE(tkwire::writeAll(fd, frame));
  return tktest::awaitReplies(fd, kReplyMs, kReplyMs);
}

// An element-stream request frame for `handler`.
inline std::string streamFrame(const std::string& handler, int64_t sequence, std::string stream = "") {
  tkwire::StreamRequest r;
  r.handler = handler;
  r.sequence = sequence;
  r.stream = std::move(stream);
  return tkwire::encodeStreamRequest(r);
}

// The frame of the configuration lock request as the console's `lock` and
// `unlock` make it (element-stream form, rights 2, the operation as the
// element count): operation 1 takes the lock, 0 releases it.
inline std::string lockRequestFrame(uint32_t operation, int64_t sequence) {
  tkwire::StreamRequest lock;
  lock.handler = "LockMMConfiguration";
  lock.sequence = sequence;
  lock.firstField = tkwire::firstFieldOf(2, operation);
  return tkwire::encodeStreamRequest(lock);
}

// The configuration lock request on connection `fd`: operation 1 takes the
// lock, which opens the connection's session; 0 releases it (closing the
// connection does not). True when the host grants it.
inline bool lockOperation(int fd, uint32_t operation, int64_t sequence) {
  const auto status = tktest::onlyStatus(sendAndRead(fd, lockRequestFrame(operation, sequence)));
  return status.has_value() && status->status == 1;
}
inline bool takeLock(int fd, int64_t sequence = 1) { return lockOperation(fd, 1, sequence); }
inline bool releaseLock(int fd, int64_t sequence) { return lockOperation(fd, 0, sequence); }

// The real tkhost on a socket in `dir`, with its own database there and its
// output in "<name>.out" and "<name>.err". It answers rights questions with
// the test kit's scripted rules (everything allowed), so that a test needs
// no seeded user; a test of the users table passes {"TK_RIGHTS", "table"}.
class Host {
 public:
  // `binary`: another build's tkhost, for the benchmarks that compare two.
  Host(const tktest::TempDir& dir, const std::string& socket, std::vector<std::string> extraArgs = {},
       std::map<std::string, std::string> env = {}, const std::string& name = "host",
       const std::string& binary = hostBinary())
      : m_socket(socket), m_err(dir.file(name + ".err")) {
    std::vector<std::string> args{"--socket", socket};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    env.emplace("TK_DB", dir.file(name + ".db"));
    env.emplace("TK_RIGHTS", "scripted");
    m_started = m_child.start(binary, args, env, dir.file(name + ".out"), m_err);
  }

  bool started() const { return m_started; }
  // A new connection, once the host accepts them; -1 when it never does.
  int connect() const { return m_started ? connectWithin(m_socket) : -1; }
  // True once the host accepts connections. The probe asks for the host's
  // list and waits for its first frame before it closes: the connection's
  // thread has then made its handler objects, whose first making reads the
  // database, so nothing of the probe reaches the file after the caller's
  // own edits (a host that refuses the connection answers too).
  bool up() const {
    int fd = connect();
    if (fd < 0) return false;
    std::string body;
    if (tkwire::writeAll(fd, streamFrame(tkwire::kListHandlersName, 0))) tkwire::readFrame(fd, kReplyMs, body);
    ::close(fd);
    return true;
  }
  std::string log() const { return readFile(m_err); }
  // Signals the host; how it ended (compares with its exit code, -1 when it
  // did not end normally).
  Ended stop(int sig = SIGTERM) {
    m_child.signal(sig);
    return m_child.exitCode();
  }
  Child& child() { return m_child; }
  const std::string& socket() const { return m_socket; }

 private:
  std::string m_socket;
  std::string m_err;
  Child m_child;
  bool m_started = false;
};

// Runs the console on `script` (its lines, as the --script file holds them)
// against a real host on the database at `database`, its lock and log
// directories in `dir`; expects the console to end with `exitCode` and to
// print each of `parts`.
inline void expectConsoleRun(const tktest::TempDir& dir, const std::string& database, const std::string& script,
                             int exitCode, const std::vector<std::string>& parts) {
  Host host{dir, dir.file("host.sock"), {},
            {{"TK_DB", database}, {"TK_LOCK_DIR", dir.file("locks")}, {"TK_LOG_DIR", dir.file("log")}}};
  ASSERT_TRUE(host.up()) << host.log();
  const std::string path = dir.file("session.tk");
  std::ofstream(path) << script;
  Child console;
  ASSERT_TRUE(console.start(consoleBinary(), {"--socket", host.socket(), "--script", path}, {},
                            dir.file("console.out"), dir.file("console.err")));
  EXPECT_EQ(console.exitCode(), exitCode) << readFile(dir.file("console.err"));
  const std::string output = readFile(dir.file("console.out"));
  for (const std::string& part : parts) EXPECT_NE(output.find(part), std::string::npos) << part << "\nin\n" << output;
}

}  // namespace hosttest
