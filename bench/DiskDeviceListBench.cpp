// How the disk-device list (onMsgGetDiskDeviceList, filter 1: every device a
// disk library is made on, in use or not) grows with the devices, through
// the real tkhost on installations of disk libraries each with its master
// pool, one mount path and the disk device it stands on (reached by media
// agent ma1), beside the demonstration installation:
//
//   disk_devices_2000_vs_500/ours   the list on 2,000 such libraries
//   disk_devices_2000_vs_500/raw    the list on 500
//
// so that scripts/bench's ratio is what four times the devices cost: a list
// linear in its devices stays near 4 (goal: at most 4.5). Every device is
// asked which library uses it, which once walked every library's mount
// paths for each device. The time is the host's own CPU time from the
// request's first byte written to its end frame read; each repetition has a
// connection of its own, which takes the configuration lock (the list is
// asked in a configuration session) and asks once untimed first. The
// counters: wall_us the client's wall time per request, answer_bytes the
// size of the answer frames, devices the devices listed.
#include <sqlite3.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "bench/BenchPairs.h"
#include "bench/RawSqlite.h"
#include "tests/support/HostHarness.h"
#include "wire/WireCodec.h"

namespace {

constexpr int kSmall = 500;
constexpr int kLarge = 2000;
constexpr int kIterations = 5;
constexpr int kReplyMs = 120000;
constexpr long long kFirstId = 1001;  // bulk rows start here, beside the demonstration's
constexpr uint32_t kEveryDevice = 1;  // the list's filter: in use or not
constexpr uint32_t kItemDevice = 11192;

int exec(sqlite3* db, const std::string& sql, long long count = 0) {
  return tkbench::execCounted(db, sql, count, "disk-device seed");
}

long long scalar(sqlite3* db, const std::string& sql) { return tkbench::scalarOf(db, sql); }

// `n` disk libraries, each with its master pool and one mount path on a
// disk device of its own that ma1 reaches, in one transaction; false when
// a step failed.
bool seedLibraries(sqlite3* db, int n) {
  const long long agent = scalar(db, "SELECT \"id\" FROM \"APP_Client\" WHERE \"name\" = 'ma1'");
  if (agent < 0) return false;
  const std::string count = "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ?1) ";
  const std::string id = std::to_string(kFirstId - 1) + " + i";
  const std::string steps[] = {
      count + "INSERT INTO \"MMLibrary\" (\"LibraryId\", \"LibraryName\", \"AliasName\", \"LibraryTypeId\", "
              "\"LibraryEnabled\", \"LowWaterMarkMB\") SELECT " + id + ", 'devlib' || i, 'devlib' || i, 3, 1, 1024 "
              "FROM n",
      count + "INSERT INTO \"MMMasterPool\" (\"MasterPoolId\", \"LibraryId\", \"MasterPoolName\", "
              "\"MaxDrivesToSwitch\") SELECT " + id + ", " + id + ", 'MasterPool(devlib' || i || ')', -1 FROM n",
      count + "INSERT INTO \"MMDevice\" (\"DeviceId\", \"DeviceTypeId\", \"AliasName\", \"DeviceEnabled\") SELECT " +
          id + ", 1, 'listed device ' || i, 1 FROM n",
      count + "INSERT INTO \"MMDeviceController\" (\"DeviceControllerId\", \"ClientId\", \"DeviceId\", "
              "\"DeviceControllerActive\", \"DeviceControllerEnabled\", \"DeviceAccessible\", \"Folder\") SELECT " +
          id + ", " + std::to_string(agent) + ", " + id + ", 1, 1, 1, '/srv/devlist/mp' || i FROM n",
      count + "INSERT INTO \"MMMountPath\" (\"MountPathId\", \"MountPathName\", \"IsEnabled\", "
              "\"MaxConcurrentWriters\", \"MountPathTypeId\", \"MasterPoolId\", \"LibraryId\") SELECT " + id +
          ", '/srv/devlist/mp' || i, 1, 10, 1, " + id + ", " + id + " FROM n",
      count + "INSERT INTO \"MMMountPathToStorageDevice\" (\"MountPathId\", \"DeviceId\") SELECT " + id + ", " + id +
          " FROM n",
  };
  int rc = exec(db, "BEGIN");
  for (const std::string& step : steps)
    if (rc == SQLITE_OK) rc = exec(db, step, n);
  if (rc == SQLITE_OK) rc = exec(db, "COMMIT");
  return rc == SQLITE_OK;
}

std::map<std::string, std::string> hostEnvironment(const tktest::TempDir& dir) {
  return {{"TK_DB", dir.file("host.db")}, {"TK_LOCK_DIR", dir.file("locks")}, {"TK_RIGHTS", "table"}};
}

// A host on an installation of `n` disk libraries: the demonstration
// installation and the schema as the host makes them, then the bulk rows
// written after the schema step (logged, as an installation's are).
class Installation {
 public:
  explicit Installation(int n) {
    {
      hosttest::Host seeder(m_dir, m_dir.file("seed.sock"), {"--seed-demo", "--quiet"}, hostEnvironment(m_dir));
      if (!seeder.up() || seeder.stop() != 0) return;
    }
    sqlite3* db = nullptr;
    bool seeded = false;
    if (sqlite3_open_v2(m_dir.file("host.db").c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
      sqlite3_busy_timeout(db, 30000);
      seeded = seedLibraries(db, n) && exec(db, "PRAGMA wal_checkpoint(TRUNCATE)") == SQLITE_OK;
    }
    sqlite3_close(db);
    if (!seeded) return;
    m_host.emplace(m_dir, m_dir.file("host.sock"), std::vector<std::string>{"--quiet"}, hostEnvironment(m_dir));
    m_up = m_host->up() && clock_getcpuclockid(m_host->child().pid(), &m_clock) == 0;
  }

  bool up() const { return m_up; }
  int connect() const { return m_host->connect(); }
  // The CPU time the host has spent so far, in nanoseconds.
  long long hostNanos() const {
    timespec t{};
    clock_gettime(m_clock, &t);
    return t.tv_sec * 1000000000LL + t.tv_nsec;
  }

 private:
  tktest::TempDir m_dir;
  std::optional<hosttest::Host> m_host;
  clockid_t m_clock{};
  bool m_up = false;
};

Installation& installationOf(int n) {
  static std::mutex mutex;
  static std::map<int, std::unique_ptr<Installation>> made;
  std::lock_guard<std::mutex> guard(mutex);
  std::unique_ptr<Installation>& at = made[n];
  if (!at) at = std::make_unique<Installation>(n);
  return *at;
}

// The list asked on `fd`: the devices it named (-1 when the host did not
// answer in time) and the bytes of its answers.
long long listDevices(int fd, size_t& answerBytes) {
  tkwire::StreamRequest request;
  request.handler = "onMsgGetDiskDeviceList";
  request.sequence = 1;
  request.firstField = tkwire::firstFieldOf(2, kEveryDevice);  // rights 2, the filter as the element count
  answerBytes = 0;
  if (!tkwire::writeAll(fd, tkwire::encodeStreamRequest(request))) return -1;
  long long devices = 0;
  std::string body;
  for (;;) {
    if (tkwire::readFrame(fd, kReplyMs, body) != tkwire::ReadStatus::Ok) return -1;
    answerBytes += body.size();
    std::optional<tkwire::Reply> reply = tkwire::decodeReply(body);
    if (!reply) return -1;
    if (reply->isEnd()) return devices;
    for (const tkwire::Item& item : reply->items)
      if (item.tag == kItemDevice) ++devices;
  }
}

void timeList(benchmark::State& state, int n) {
  Installation& at = installationOf(n);
  if (!at.up()) {
    state.SkipWithError("the installation's host did not come up");
    return;
  }
  const int fd = at.connect();
  if (fd < 0) {
    state.SkipWithError("no connection");
    return;
  }
  // The list is asked in the configuration session of the console that
  // holds the lock, as a console chooses a device.
  if (!hosttest::takeLock(fd)) {
    ::close(fd);
    state.SkipWithError("the configuration lock was not granted");
    return;
  }
  size_t answerBytes = 0;
  // Untimed: the session's first list.
  long long devices = listDevices(fd, answerBytes);
  if (devices < n) {
    hosttest::releaseLock(fd, 2);
    ::close(fd);
    state.SkipWithError("the untimed first list did not name every device");
    return;
  }
  double wallSeconds = 0;
  for (auto _ : state) {
    const auto wallStart = std::chrono::steady_clock::now();
    const long long start = at.hostNanos();
    devices = listDevices(fd, answerBytes);
    const long long end = at.hostNanos();
    wallSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    if (devices < n) {
      state.SkipWithError("the list failed or went unanswered");
      break;
    }
    state.SetIterationTime(static_cast<double>(end - start) / 1e9);
  }
  state.counters["wall_us"] = benchmark::Counter(wallSeconds * 1e6, benchmark::Counter::kAvgIterations);
  state.counters["answer_bytes"] = static_cast<double>(answerBytes);
  state.counters["devices"] = static_cast<double>(devices);
  hosttest::releaseLock(fd, 2);
  ::close(fd);
}

const bool kRegistered = [] {
  tkbench::registerPair(
      "disk_devices_" + std::to_string(kLarge) + "_vs_" + std::to_string(kSmall),
      [](benchmark::State& s) { timeList(s, kLarge); },
      [](benchmark::State& s) {
        timeList(s, kSmall);
        s.SetLabel("raw: the same list at " + std::to_string(kSmall) + " devices");
      },
      [](tkbench::Benchmark* b) { b->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(kIterations); });
  return true;
}();

}  // namespace

BENCHMARK_MAIN();
