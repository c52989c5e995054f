// tkhost against a raw Unix-socket echo, over real sockets:
//   host_roundtrip_cN         N consoles (1, 2, 4, 8), each on its own
//                             connection, each sending lock/unlock pairs of
//                             the element-stream lock request and reading
//                             each reply, against the same frames echoed by
//                             a thread-per-connection echo server in a
//                             process of its own, as the host is (threads
//                             of one process switch without changing the
//                             address space). One iteration is one pair
//                             (two round trips); the time is wall time per
//                             pair over all consoles, so it falls as the
//                             host serves consoles in parallel. The echo
//                             answers each request with the frames a host
//                             answered it with (its reply and its end
//                             frame, recorded once), and both sides are
//                             read by the same lean client: blocking reads
//                             up to the end frame, as tkconsole reads a
//                             frame, a socket time-out instead of a poll.
//   host_roundtrip_after_N    one console's pairs on a host that has already
//                             served N pairs (10, 100,000): flat is the goal.
//                             The label tells how many pairs were served
//                             before timing (the warm-up stops after
//                             kWarmupSeconds) and how much the host's
//                             resident memory grew meanwhile.
//   host_memory_per_1000_pairs  one console's pairs, as host_roundtrip_c1,
//                             on a host warmed up with kMemoryWarmupPairs
//                             pairs; the label tells how much the host's
//                             resident memory grew per 1,000 pairs over all
//                             the pairs timed since (flat: 0 KB).
//   host_listing_cN           the library listing (the console's `libraries`)
//                             from N consoles (1, 8) on a host whose database
//                             holds 10,000 drives (kListingLibraries tape
//                             libraries of kDrivesPerLibrary drives, a path
//                             each); one iteration is one listing, wall time
//                             per listing over all consoles. One console
//                             holds the configuration lock (its read loaded
//                             the model); the consoles that list send the
//                             request kind that reads the holder's
//                             configuration. The raw side is the ceiling
//                             loop (below) on N threads.
//   host_listing_scaling_c8   what a listing costs the host when 8 consoles
//                             list at once against when one does: the host
//                             process's CPU time (all its threads, the
//                             kernel's clock of the process) per listing,
//                             ours with 8 consoles listing together, raw
//                             with 1 (in turns, each on a new thread, so
//                             that where the scheduler puts a console and
//                             its host thread is averaged out). Each side
//                             lists for a fixed time, every console going on
//                             until it is up. CPU time, not wall time: what
//                             the host's threads spend on each other (a
//                             lock they wait for spinning, a shared line
//                             bouncing between cores) shows in it, while
//                             the machine's other load and a console's idle
//                             gaps between requests do not.
//   host_roundtrip_scaling_c8 the same measure for lock/unlock pairs: host
//                             CPU per pair with 8 consoles against 1, on a
//                             host of its own whose eight consoles stay
//                             connected.
//   host_cpu_per_pair         the host's CPU time per lock/unlock pair of one
//                             console on an unchanged configuration (the
//                             scaling case's host, its configuration read
//                             and rights check included), against the echo
//                             process's CPU time per pair (raw): what the
//                             host spends beyond moving the frames.
// The ceiling loop is CPU-bound work with no lock and no shared data: a chain
// of integer mixing steps per thread, as many steps as take one listing's
// single-console wall time (calibrated once per process, against the median
// of a few listings). Whatever the machine's cores and their current load
// give 8 such threads is the most 8 consoles could get.
// Every case has a fresh host of its own, and a fixed number of iterations,
// so that no case times a host that another case has grown.
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bench/BenchPairs.h"
#include "bench/LinkedProcess.h"
#include "bench/Installation.h"
#include "bench/TapeLibraryRows.h"
#include "frame/MessageInfo.h"
#include "tests/support/HostHarness.h"
#include "wire/FrameReader.h"
#include "wire/WireCodec.h"

namespace {

constexpr int kReplyMs = 10000;
constexpr int kIterations = 1000;   // pairs per console and repetition
constexpr int kWarmupSeconds = 120;  // at most, before a host_roundtrip_after case
constexpr int kMemoryWarmupPairs = 10000;
// The configuration the listing cases list.
constexpr int kListingLibraries = 500;  // 10,000 drives
constexpr int kDrivesPerLibrary = 20;
constexpr int kListingIterations = 100;  // listings per console and repetition
constexpr double kScalingSeconds = 0.2;  // each side of a scaling repetition
constexpr int kScalingTurns = 5;          // the single console's side in this many turns

const std::string kLock = hosttest::lockRequestFrame(1, 1);
const std::string kUnlock = hosttest::lockRequestFrame(0, 2);

// A connection of the lean client. It reads a frame as tkconsole does (its
// length, then its body), without a poll before a read (the socket's
// receive time-out ends a wait that would never end).
class LeanClient {
 public:
  explicit LeanClient(int fd) : m_fd(fd) {
    if (fd < 0) return;
    timeval limit{kReplyMs / 1000, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  }
  ~LeanClient() {
    if (m_fd >= 0) ::close(m_fd);
  }
  LeanClient(const LeanClient&) = delete;
  LeanClient& operator=(const LeanClient&) = delete;
  bool connected() const { return m_fd >= 0; }
  int fd() const { return m_fd; }
  tkwire::ReadStatus next(std::string& body) { return tkwire::readFrame(m_fd, -1, -1, body); }

 private:
  int m_fd;
};

// One request and its answer: the reply frames up to the end-of-request
// frame.
bool roundTrip(LeanClient& client, const std::string& frame, std::string& reply) {
  if (!client.connected() || !tkwire::writeAll(client.fd(), frame)) return false;
  for (;;) {
    if (client.next(reply) != tkwire::ReadStatus::Ok) return false;
    // The frame's kind, its first four bytes, tells the end frame: the lean
    // client reads every byte of the answer but makes no item of it, so
    // that eight consoles leave the machine's cores to the host they time.
    if (reply.size() < 16) return false;
    uint32_t kind = 0;
    for (int i = 3; i >= 0; --i) kind = (kind << 8) | static_cast<unsigned char>(reply[static_cast<size_t>(i)]);
    if (kind == tkwire::kReplyEnd) return true;
    if (kind != tkwire::kReplyItems && kind != tkwire::kReplyRaw) return false;
  }
}

bool pair(LeanClient& client, std::string& reply) {
  return roundTrip(client, kLock, reply) && roundTrip(client, kUnlock, reply);
}

// The frames (length prefix included) that answer `frame`, up to and with
// the end frame.
std::vector<std::string> answerOf(int fd, const std::string& frame) {
  std::vector<std::string> frames;
  std::string body;
  if (!tkwire::writeAll(fd, frame)) return {};
  for (;;) {
    if (tkwire::readFrame(fd, kReplyMs, body) != tkwire::ReadStatus::Ok) return {};
    std::string whole(4, '\0');
    for (int i = 0; i < 4; ++i) whole[i] = static_cast<char>((body.size() >> (8 * i)) & 0xFF);
    frames.push_back(whole + body);
    const std::optional<tkwire::Reply> decoded = tkwire::decodeReply(body);
    if (!decoded || decoded->isEnd()) return frames;
  }
}

using hosttest::residentKb;

// A fresh tkhost in a directory of its own.
class BenchHost {
 public:
  BenchHost()
      : m_host(m_dir, m_dir.file("host.sock"), {"--quiet"},
               {{"TK_LOCK_DIR", m_dir.file("locks")}, {"TK_RIGHTS", "table"}}) {
    // Rights from the users table, as an installation answers them: the
    // requests' user 1 may change everything.
    sqlite3* db = nullptr;
    m_up = m_host.up() && sqlite3_open_v2(database().c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK &&
           sqlite3_busy_timeout(db, 30000) == SQLITE_OK &&
           sqlite3_exec(db,
                        "INSERT INTO \"UMUsers\" (\"id\", \"login\") VALUES (1, 'admin'); INSERT INTO "
                        "\"UMUserRights\" (\"userId\", \"entityKind\", \"entityId\", \"mayChange\") VALUES (1, '*', -1, 1)",
                        nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
  }
  bool up() const { return m_up; }
  int connect() { return m_host.connect(); }
  pid_t pid() { return m_host.child().pid(); }
  // The CPU time the host process has spent so far, in nanoseconds; -1
  // when it cannot be read.
  long long cpuNanos() {
    clockid_t clock{};
    timespec t{};
    if (clock_getcpuclockid(pid(), &clock) != 0 || clock_gettime(clock, &t) != 0) return -1;
    return t.tv_sec * 1000000000LL + t.tv_nsec;
  }
  std::string database() const { return m_dir.file("host.db"); }

 private:
  tktest::TempDir m_dir;
  hosttest::Host m_host;
  bool m_up = false;
};

// The raw baseline: a process of its own, as the host is, with a thread per
// connection that answers the lock and the unlock request with the frames a
// host answered them with. It reads requests as the host does (a frame
// reader that reads ahead). In this process, its threads and the client's
// would switch within one address space, which no server process gets.
class EchoServer {
 public:
  EchoServer() : m_path(m_dir.file("echo.sock")) {
    std::vector<std::string> lockAnswer;
    std::vector<std::string> unlockAnswer;
    {
      // The answers, as a host of its own gave them once.
      BenchHost host;
      const int fd = host.up() ? host.connect() : -1;
      if (fd >= 0) {
        lockAnswer = answerOf(fd, kLock);
        unlockAnswer = answerOf(fd, kUnlock);
        ::close(fd);
      }
    }
    if (lockAnswer.empty() || unlockAnswer.empty()) return;
    const int listenFd = hosttest::listenAt(m_path);
    if (listenFd < 0) return;
    // The echo ends with this process, whatever way that goes.
    m_child.start([&] { serve(listenFd, lockAnswer, unlockAnswer); });
    ::close(listenFd);
  }
  bool up() const { return m_child.up(); }
  int connect() const { return hosttest::connectWithin(m_path, 5000); }
  // The CPU time the echo process has spent so far, in nanoseconds; -1
  // when it cannot be read.
  long long cpuNanos() const {
    clockid_t clock{};
    timespec t{};
    if (!m_child.up() || clock_getcpuclockid(m_child.pid(), &clock) != 0 || clock_gettime(clock, &t) != 0) return -1;
    return t.tv_sec * 1000000000LL + t.tv_nsec;
  }

 private:
  // The echo process's life: accepts until it is killed.
  [[noreturn]] static void serve(int listenFd, const std::vector<std::string>& lockAnswer,
                                 const std::vector<std::string>& unlockAnswer) {
    const std::string lockBody = kLock.substr(4);
    tkbench::serveEachRequest(listenFd, [&](int fd, const std::string& body) {
      bool written = true;
      for (const std::string& frame : body == lockBody ? lockAnswer : unlockAnswer)
        written = written && tkwire::writeAll(fd, frame);
      return written;
    });
  }

  tktest::TempDir m_dir;
  std::string m_path;
  tkbench::LinkedProcess m_child;
};

EchoServer& echoServer() {
  static EchoServer server;
  return server;
}

// The host of one case, made at its first use and kept for its repetitions.
BenchHost& hostOf(const std::string& name) {
  static std::mutex mutex;
  static std::map<std::string, std::unique_ptr<BenchHost>> hosts;
  std::lock_guard<std::mutex> guard(mutex);
  std::unique_ptr<BenchHost>& host = hosts[name];
  if (!host) host = std::make_unique<BenchHost>();
  return *host;
}

// Times pairs on a connection of this benchmark thread.
template <class Server>
void timePairs(benchmark::State& state, Server& server) {
  if (!server.up()) {
    state.SkipWithError("the server did not come up");
    return;
  }
  LeanClient client(server.connect());
  if (!client.connected()) {
    state.SkipWithError("no connection");
    return;
  }
  // One pair untimed first: the first request of a connection also pays
  // for what the host makes once per connection (its thread's database
  // connection among them).
  std::string reply;
  if (!pair(client, reply)) {
    state.SkipWithError("a request went unanswered");
    return;
  }
  for (auto _ : state) {
    if (!pair(client, reply)) {
      state.SkipWithError("a request went unanswered");
      break;
    }
  }
}

void configure(tkbench::Benchmark* b, int consoles) {
  b->Unit(benchmark::kMicrosecond)->UseRealTime()->Iterations(kIterations)->Threads(consoles);
}

// Serves `pairs` pairs (or as many as kWarmupSeconds allow) before the first
// repetition; the label tells what was done.
void warmUp(BenchHost& host, int pairs, std::string& label) {
  if (!label.empty() || !host.up()) return;
  const long before = residentKb(host.pid());
  LeanClient client(host.connect());
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kWarmupSeconds);
  int served = 0;
  std::string reply;
  while (served < pairs && pair(client, reply)) {
    ++served;
    if (served % 256 == 0 && std::chrono::steady_clock::now() > deadline) break;
  }
  label = "after " + std::to_string(served) + " pairs" +
          (served < pairs ? " (warm-up stopped at " + std::to_string(kWarmupSeconds) + " s)" : std::string()) +
          "; host memory +" + std::to_string(residentKb(host.pid()) - before) + " KB";
}

// ---------------------------------------------------------------- memory per pair

// One console's pairs on one connection that lasts across repetitions, so
// that what the label shows is what pairs cost, not connections.
void timeMemoryPairs(benchmark::State& state) {
  static BenchHost& host = hostOf("host_memory_per_1000_pairs");
  static std::unique_ptr<LeanClient> client;
  static long baseline = -1;
  static long pairsSince = 0;
  if (!host.up()) {
    state.SkipWithError("the server did not come up");
    return;
  }
  if (baseline < 0) {
    std::string ignored;
    warmUp(host, kMemoryWarmupPairs, ignored);
    client = std::make_unique<LeanClient>(host.connect());
    baseline = residentKb(host.pid());
  }
  std::string reply;
  for (auto _ : state) {
    if (!pair(*client, reply)) {
      state.SkipWithError("a request went unanswered");
      return;
    }
  }
  pairsSince += static_cast<long>(state.iterations());
  const long grown = residentKb(host.pid()) - baseline;
  state.SetLabel("host memory " + std::string(grown < 0 ? "" : "+") + std::to_string(grown * 1000 / pairsSince) +
                 " KB per 1,000 pairs: " + std::to_string(grown) + " KB over " + std::to_string(pairsSince) +
                 " pairs after a " + std::to_string(kMemoryWarmupPairs) + "-pair warm-up");
}

// ---------------------------------------------------------------- the listing

// The library listing in the request kind that reads the configuration the
// lock holder loaded.
std::string listingFrame() {
  tkwire::StreamRequest request;
  request.handler = "onMsgGetMMLibraries";
  request.sequence = 3;
  request.requestKind = kRequestKindExempt;
  return tkwire::encodeStreamRequest(request);
}

const std::string kListing = listingFrame();

// The tape libraries of the listing, written into the host's database with
// SQLite directly once the host's first configuration read made the change
// log's triggers (so the log marks each row born, as in an installation): a
// media agent, kListingLibraries libraries with a controller, a master pool
// and a drive pool each, and their drives with one path each, with the
// settings their configuration stores.
bool seedLibraries(const std::string& path, std::string& error) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    error = "cannot open " + path;
    sqlite3_close(db);
    return false;
  }
  sqlite3_busy_timeout(db, 30000);
  const std::string libraries = std::to_string(kListingLibraries);
  const std::string drives = std::to_string(kListingLibraries * kDrivesPerLibrary);
  const std::string per = std::to_string(kDrivesPerLibrary);
  const std::string n = "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ";
  const std::string sql =
      "BEGIN;"
      "INSERT INTO \"APP_Client\" (\"id\", \"name\", \"net_hostname\") VALUES (1, 'ma1', 'ma1.example.net');"
      "INSERT INTO \"MMHost\" (\"ClientId\") VALUES (1);" +
      n + libraries +
      ") INSERT INTO \"MMLibrary\" (\"LibraryId\", \"LibraryName\", \"AliasName\", \"LibraryTypeId\", "
      "\"LibraryEnabled\", \"DriveCount\") SELECT i, 'lib' || i, 'Library ' || i, 1, 1, " + per + " FROM n;" +
      n + libraries +
      ") INSERT INTO \"MMLibraryController\" (\"LibraryControllerId\", \"ControllerName\", \"ClientId\", "
      "\"LibraryId\", \"IsActive\", \"IsEnabled\") SELECT i, '/dev/sg' || i, 1, i, 1, 1 FROM n;" +
      n + libraries +
      ") INSERT INTO \"MMMasterPool\" (\"MasterPoolId\", \"LibraryId\", \"MasterPoolName\") "
      "SELECT i, i, 'MasterPool(Library ' || i || ')' FROM n;" +
      n + libraries +
      ") INSERT INTO \"MMDrivePool\" (\"DrivePoolId\", \"DrivePoolName\", \"ClientId\", \"MasterPoolId\", "
      "\"DrivePoolEnabled\") SELECT i, 'DrivePool ' || i, 1, i, 1 FROM n;" +
      n + drives +
      ") INSERT INTO \"MMDrive\" (\"DriveId\", \"DriveName\", \"AliasName\", \"MasterPoolId\", \"DriveNumber\", "
      "\"SerialNumber\", \"DriveEnabled\") SELECT i, 'drive' || i, 'Drive ' || i, (i - 1) / " + per +
      " + 1, (i - 1) % " + per + " + 1, 'SN' || i, 1 FROM n;" +
      n + drives +
      ") INSERT INTO \"MMDrivePath\" (\"DrivePathId\", \"DriveId\", \"DrivePoolId\", \"ClientId\", \"PathName\", "
      "\"IsEnabled\") SELECT i, i, (i - 1) / " + per + " + 1, 1, '/dev/nst' || i, 1 FROM n;";
  char* message = nullptr;
  bool done = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK;
  tkbench::TapeLibraryShape shape;
  shape.libraries = kListingLibraries;
  shape.drivesPerLibrary = kDrivesPerLibrary;
  for (const tkbench::BulkInsert& step : tkbench::tapeLibrarySettings(shape)) {
    sqlite3_stmt* stmt = nullptr;
    done = done && sqlite3_prepare_v2(db, step.sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK &&
           sqlite3_bind_int64(stmt, 1, step.count) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_DONE;
    sqlite3_finalize(stmt);
  }
  done = done && sqlite3_exec(db, "COMMIT", nullptr, nullptr, &message) == SQLITE_OK;
  // The log marks every object born, or the listing is timed on a database
  // no installation has.
  sqlite3_stmt* unborn = nullptr;
  if (done && sqlite3_prepare_v2(db, tkbench::unbornRowsQuery().c_str(), -1, &unborn, nullptr) == SQLITE_OK &&
      sqlite3_step(unborn) == SQLITE_ROW && sqlite3_column_int64(unborn, 0) != 0) {
    done = false;
    error = "the seeded rows are not logged as born";
  }
  sqlite3_finalize(unborn);
  if (!done)
    error = std::string("cannot seed the libraries: ") + (message != nullptr ? message : sqlite3_errmsg(db));
  sqlite3_free(message);
  sqlite3_close(db);
  return done;
}

// A host of its own and eight consoles' connections to it; what each
// console does first (untimed) is the derived host's.
class ConsolesHost {
 public:
  const std::string& error() const { return m_error; }
  // The connection of console `c` (0 to 7).
  LeanClient& console(int c) const { return *m_consoles[static_cast<size_t>(c)]; }
  long long hostCpuNanos() { return m_host.cpuNanos(); }

 protected:
  BenchHost m_host;
  std::array<std::unique_ptr<LeanClient>, 8> m_consoles;
  std::string m_error;
};

// A host with the libraries, and a console that holds the configuration
// lock for as long as the host lives.
class ListingHost : public ConsolesHost {
 public:
  ListingHost() {
    if (!m_host.up()) {
      m_error = "the host did not come up";
      return;
    }
    // The host's first configuration read (a lock taken and given back)
    // makes the change log before the rows are written.
    std::string reply;
    {
      LeanClient first(m_host.connect());
      if (!pair(first, reply)) {
        m_error = "the first configuration lock went unanswered";
        return;
      }
    }
    if (!seedLibraries(m_host.database(), m_error)) return;
    m_holder = std::make_unique<LeanClient>(m_host.connect());
    if (!roundTrip(*m_holder, kLock, reply)) {
      m_error = "the configuration lock went unanswered";
      return;
    }
    // The consoles, each with a listing that holds the libraries (not a
    // refusal or an empty block) behind it: what a connection costs once
    // (its host thread, the thread's database connection) is not timed.
    for (std::unique_ptr<LeanClient>& console : m_consoles) {
      console = std::make_unique<LeanClient>(m_host.connect());
      std::string body;
      std::optional<tkwire::Reply> first;
      if (console->connected() && tkwire::writeAll(console->fd(), kListing) &&
          console->next(body) == tkwire::ReadStatus::Ok)
        first = tkwire::decodeReply(body);
      if (!first || first->messageId != 11002 || first->items.size() < static_cast<size_t>(kListingLibraries)) {
        m_error = "the listing does not hold the libraries";
        return;
      }
      while (!first->isEnd() && console->next(body) == tkwire::ReadStatus::Ok) first = tkwire::decodeReply(body);
    }
  }

 private:
  std::unique_ptr<LeanClient> m_holder;
};

ListingHost& listingHost() {
  static ListingHost host;
  return host;
}

// One unit of the ceiling loop: `steps` dependent mixing steps.
uint64_t ceilingUnit(uint64_t steps, uint64_t seed) {
  uint64_t x = seed | 1;
  for (uint64_t i = 0; i < steps; ++i) {
    x = x * 6364136223846793005ull + 1442695040888963407ull;
    x ^= x >> 29;
  }
  return x;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Wall seconds for `threads` threads, started together, to run
// `work(t, start)` each (`start`: when they were let go); false from `work`
// is a failure (then -1).
template <class Work>
double together(int threads, const Work& work) {
  std::atomic<int> ready{0};
  std::atomic<bool> go{false};
  std::atomic<bool> failed{false};
  std::chrono::steady_clock::time_point start;
  std::vector<std::thread> running;
  for (int t = 0; t < threads; ++t)
    running.emplace_back([&, t] {
      ready.fetch_add(1);
      while (!go.load()) std::this_thread::yield();
      if (!work(t, start)) failed.store(true);
    });
  while (ready.load() < threads) std::this_thread::yield();
  start = std::chrono::steady_clock::now();
  go.store(true);
  for (std::thread& t : running) t.join();
  return failed.load() ? -1 : secondsSince(start);
}

// What `threads` threads did when each went on with units of work until
// `seconds` had passed since they were let go, finishing the unit it was in:
// the units done and the wall time until the last one stopped.
struct Done {
  long units = 0;
  double seconds = -1;  // negative: a unit failed
};

template <class Unit>
Done forAWhile(int threads, double seconds, const Unit& unit) {
  std::atomic<long> units{0};
  Done done;
  done.seconds = together(threads, [&](int t, std::chrono::steady_clock::time_point start) {
    long mine = 0;
    while (secondsSince(start) < seconds) {
      if (!unit(t, mine)) return false;
      ++mine;
    }
    units.fetch_add(mine);
    return true;
  });
  done.units = units.load();
  return done;
}

// Listings that `consoles` consoles, each on its connection, make in
// `seconds`.
Done listingsFor(int consoles, double seconds) {
  return forAWhile(consoles, seconds, [](int c, long) {
    thread_local std::string reply;
    return roundTrip(listingHost().console(c), kListing, reply);
  });
}

// The ceiling loop's steps per unit: as many as take one listing's
// single-console wall time (the median of a few).
uint64_t ceilingSteps() {
  static const uint64_t steps = [] {
    if (!listingHost().error().empty()) return uint64_t{1};
    std::vector<double> listings;
    std::string reply;
    for (int i = 0; i < 15; ++i) {
      const auto start = std::chrono::steady_clock::now();
      roundTrip(listingHost().console(0), kListing, reply);
      listings.push_back(secondsSince(start));
    }
    std::sort(listings.begin(), listings.end());
    constexpr uint64_t kProbe = 1u << 22;
    std::vector<double> probes;
    for (int i = 0; i < 5; ++i) {
      const auto start = std::chrono::steady_clock::now();
      benchmark::DoNotOptimize(ceilingUnit(kProbe, static_cast<uint64_t>(i)));
      probes.push_back(secondsSince(start));
    }
    std::sort(probes.begin(), probes.end());
    return std::max<uint64_t>(1, static_cast<uint64_t>(listings[listings.size() / 2] / probes[0] * kProbe));
  }();
  return steps;
}

void timeListings(benchmark::State& state) {
  if (!listingHost().error().empty()) {
    state.SkipWithError(listingHost().error().c_str());
    return;
  }
  LeanClient& console = listingHost().console(state.thread_index());
  std::string reply;
  for (auto _ : state) {
    if (!roundTrip(console, kListing, reply)) {
      state.SkipWithError("a listing went unanswered");
      break;
    }
  }
}

void timeLoop(benchmark::State& state) {
  if (!listingHost().error().empty()) {
    state.SkipWithError(listingHost().error().c_str());
    return;
  }
  const uint64_t steps = ceilingSteps();
  uint64_t seed = static_cast<uint64_t>(state.thread_index());
  for (auto _ : state) benchmark::DoNotOptimize(ceilingUnit(steps, ++seed));
}

// The host's CPU time per unit (a listing, a lock/unlock pair) with
// `consoles` consoles working together (1: in kScalingTurns turns, each on a
// new thread), as the iteration's time. `unitsFor(consoles, seconds)` makes
// the units; `what` names them in the label.
template <class Host, class Units>
void timeHostCpu(benchmark::State& state, int consoles, Host& host, const Units& unitsFor, const char* what) {
  if (!host.error().empty()) {
    state.SkipWithError(host.error().c_str());
    return;
  }
  const int turns = consoles == 1 ? kScalingTurns : 1;
  for (auto _ : state) {
    long units = 0;
    long long cpu = 0;
    for (int turn = 0; turn < turns; ++turn) {
      const long long start = host.hostCpuNanos();
      const Done part = unitsFor(consoles, kScalingSeconds / turns);
      const long long end = host.hostCpuNanos();
      if (part.seconds <= 0 || start < 0 || end < start) {
        units = 0;
        break;
      }
      units += part.units;
      cpu += end - start;
    }
    if (units == 0) {
      state.SkipWithError("a request went unanswered");
      break;
    }
    state.SetIterationTime(static_cast<double>(cpu) / 1e9 / static_cast<double>(units));
  }
  // scripts/bench shows one label per case: the one of ours says both.
  if (consoles > 1)
    state.SetLabel(std::string("time = host CPU per ") + what + " at " + std::to_string(consoles) +
                   " consoles; raw at 1");
}

// The echo process's CPU time per lock/unlock pair of one console: what
// reading the two requests and writing the host's answers costs a process
// that does nothing else (the raw side of host_cpu_per_pair).
void timeEchoCpu(benchmark::State& state) {
  EchoServer& echo = echoServer();
  LeanClient client(echo.up() ? echo.connect() : -1);
  if (!client.connected()) {
    state.SkipWithError("the echo server did not come up");
    return;
  }
  std::string reply;
  for (auto _ : state) {
    const long long start = echo.cpuNanos();
    long units = 0;
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(kScalingSeconds);
    while (std::chrono::steady_clock::now() < until) {
      if (!pair(client, reply)) {
        state.SkipWithError("a request went unanswered");
        return;
      }
      ++units;
    }
    const long long end = echo.cpuNanos();
    if (start < 0 || end < start || units == 0) {
      state.SkipWithError("the echo's CPU time could not be read");
      return;
    }
    state.SetIterationTime(static_cast<double>(end - start) / 1e9 / static_cast<double>(units));
  }
}

// ---------------------------------------------------------------- lock/unlock scaling

// Eight consoles connected, each past its first (untimed) pair. The
// consoles are one user's: while one holds the lock, the others' lock
// requests are answered as a second console of the same user is, as in
// host_roundtrip_c8.
class PairsHost : public ConsolesHost {
 public:
  PairsHost() {
    if (!m_host.up()) {
      m_error = "the host did not come up";
      return;
    }
    std::string reply;
    for (std::unique_ptr<LeanClient>& console : m_consoles) {
      console = std::make_unique<LeanClient>(m_host.connect());
      if (!pair(*console, reply)) {
        m_error = "a request went unanswered";
        return;
      }
    }
  }
};

PairsHost& pairsHost() {
  static PairsHost host;
  return host;
}

Done pairsFor(int consoles, double seconds) {
  return forAWhile(consoles, seconds, [](int c, long) {
    thread_local std::string reply;
    return pair(pairsHost().console(c), reply);
  });
}

const bool kRegistered = [] {
  for (int consoles : {1, 2, 4, 8}) {
    const std::string name = "host_roundtrip_c" + std::to_string(consoles);
    tkbench::registerPair(
        name, [name](benchmark::State& s) { timePairs(s, hostOf(name)); },
        [](benchmark::State& s) { timePairs(s, echoServer()); },
        [consoles](tkbench::Benchmark* b) { configure(b, consoles); });
  }
  for (int pairs : {10, 100000}) {
    const std::string name = "host_roundtrip_after_" + std::to_string(pairs);
    tkbench::registerPair(
        name,
        [name, pairs](benchmark::State& s) {
          static std::map<std::string, std::string> labels;
          BenchHost& host = hostOf(name);
          warmUp(host, pairs, labels[name]);
          timePairs(s, host);
          s.SetLabel(labels[name]);
        },
        [](benchmark::State& s) { timePairs(s, echoServer()); }, [](tkbench::Benchmark* b) { configure(b, 1); });
  }
  tkbench::registerPair(
      "host_memory_per_1000_pairs", timeMemoryPairs, [](benchmark::State& s) { timePairs(s, echoServer()); },
      [](tkbench::Benchmark* b) { configure(b, 1); });
  for (int consoles : {1, 8})
    tkbench::registerPair("host_listing_c" + std::to_string(consoles), timeListings, timeLoop,
                          [consoles](tkbench::Benchmark* b) {
                            b->Unit(benchmark::kMicrosecond)->UseRealTime()->Iterations(kListingIterations)->Threads(
                                consoles);
                          });
  const auto scaling = [](tkbench::Benchmark* b) {
    b->Unit(benchmark::kMicrosecond)->UseManualTime()->Iterations(3);
  };
  tkbench::registerPair(
      "host_listing_scaling_c8",
      [](benchmark::State& s) { timeHostCpu(s, 8, listingHost(), listingsFor, "listing"); },
      [](benchmark::State& s) { timeHostCpu(s, 1, listingHost(), listingsFor, "listing"); }, scaling);
  tkbench::registerPair(
      "host_roundtrip_scaling_c8", [](benchmark::State& s) { timeHostCpu(s, 8, pairsHost(), pairsFor, "pair"); },
      [](benchmark::State& s) { timeHostCpu(s, 1, pairsHost(), pairsFor, "pair"); }, scaling);
  // What one console's lock/unlock pair on an unchanged configuration costs
  // the host (its configuration read included) against what the frames
  // alone cost a process: ours is the number to compare between trees.
  tkbench::registerPair(
      "host_cpu_per_pair", [](benchmark::State& s) { timeHostCpu(s, 1, pairsHost(), pairsFor, "pair"); },
      timeEchoCpu, scaling);
  return true;
}();

}  // namespace

BENCHMARK_MAIN();
