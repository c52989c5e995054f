// How the requests administrators make grow with the installation, through
// the real tkhost on databases of N = 100, 1,000 and 10,000 objects: N drives
// in N/20 tape libraries (with the settings the model keeps beside them:
// each library's, each drive's id and each drive path's access path), N/10
// mount paths (in disk libraries of ten), N/10
// NDMP servers and N/10 SAN volumes of one volume host, beside the
// demonstration installation (tkhost --seed-demo).
//
//   growth_<request>_<N>/ours   the request on N objects
//   growth_<request>_<N>/raw    the same request on 100 objects
//
// so that scripts/bench's ratio is the time at N over the time at 100.
//
//   libraries_<request>_<L>/ours   a change on an installation of L disk
//                                  libraries (10,000 and 100,000), each
//                                  with its master pool, a drive pool of
//                                  media agent ma1 and one mount path on a
//                                  disk device of its own
//   libraries_<request>_<L>/raw    the same change at 100 libraries
//
// for mount_path_add and library_delete: a change costs what it changes,
// not what the installation holds (goal: at most 1.3 at 100,000). The
// requests:
//   libraries        the library listing (onMsgGetMMLibraries) of a console
//                    that holds the configuration lock
//   ndmp_servers     the NDMP server names (onMsgGetMMNDMPServers, all kinds)
//   san_volumes      the SAN volumes of the volume host (onMsgGetSANVolumes)
//   mount_path_add   a mount path added to DiskLib1 on a spare device (the
//                    storage-library request, operation 4); deleted again
//                    (operation 16) untimed, so that every iteration is alike
//   library_create   a disk library created with its first mount path
//                    (operation 1); force-deleted again untimed
//   library_delete   the same library force-deleted (operation 8192) after an
//                    untimed creation
//
//   growth_<request>_10000_baseline   with TK_BENCH_BASELINE_HOST set to
//                  another build's tkhost, for mount_path_add and
//                  library_create: ours this build's host at 10,000
//                  objects, raw that build's on an installation of its own
//                  (goal: at most 1.1). TK_BENCH_HOST runs every case
//                  against another build's tkhost instead of this one's.
//
// The time is the host's own: the CPU time the tkhost process spent from the
// request's first byte written to its end frame read (all its threads, from
// the kernel's clock of the process), so that neither this client nor the
// machine's other load counts. The counters: wall_us the client's wall time
// per timed request, answer_bytes the size of its answer frames. Each
// repetition has a connection of its own, whose first round (the untimed
// steps and the request) goes untimed too: it also pays for what the host
// makes once per connection, its thread's database connection among them.
// Each N has one host for the listings and one for each kind of change (a
// change leaves rows behind that a listing would then read: a deleted
// library's disk device stays).
//
//   oneshot_<request>_10000/ours   the request as tkconsole makes a command:
//                                  on a new connection, its first request,
//                                  the connection closed after the answer
//   oneshot_<request>_10000/raw    the same request on a warm connection
//
// for the listings ndmp_servers and san_volumes, on the listings' host of
// 10,000 objects. A one-shot command's time is the host's CPU time from
// before the connection is made until the connection's thread has ended
// (what the host makes for a connection and frees with it is the command's
// cost too), so that ours/raw is what a command costs an administrator who
// types it against what it costs on a connection kept open.
#include <sqlite3.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "bench/BenchPairs.h"
#include "bench/RawSqlite.h"
#include "bench/TapeLibraryRows.h"
#include "tests/support/HostHarness.h"
#include "wire/WireCodec.h"

namespace {

constexpr int kBase = 100;                 // the size every other size is compared with
constexpr int kSizes[] = {1000, 10000};
constexpr int kLibrarySizes[] = {10000, 100000};
constexpr int kReplyMs = 60000;
constexpr int kVolumeHost = 101;           // the demonstration's SAN volume host, sanhost1
constexpr int kDrivesPerLibrary = 20;
constexpr int kMountPathsPerLibrary = 10;
constexpr long long kFirstId = 1001;       // bulk rows start here, beside the demonstration's
constexpr long long kFirstDiskLibraryId = 5001;
constexpr long long kFirstNdmpClientId = 10001;
constexpr unsigned long kStorageLibraryMessage = 0x0D130098;
constexpr const char* kDiskLibrary = "DiskLib1";
constexpr const char* kSpareFolder = "/srv/growth/spare";
constexpr const char* kGrowthLibrary = "GrowthLib";

// ---------------------------------------------------------------- the installation

int exec(sqlite3* db, const std::string& sql, long long count = 0) {
  return tkbench::execCounted(db, sql, count, "growth seed");
}

long long scalar(sqlite3* db, const std::string& sql) { return tkbench::scalarOf(db, sql); }

// The bulk rows of an installation of `n` objects, in one transaction, on
// top of the demonstration installation that the database already holds.
// The spare disk device (on media agent ma1, in no mount path) is the last
// device; its id is returned, or -1.
long long seedBulk(sqlite3* db, int n) {
  const long long agentA = scalar(db, "SELECT \"id\" FROM \"APP_Client\" WHERE \"name\" = 'ma1'");
  const long long agentB = scalar(db, "SELECT \"id\" FROM \"APP_Client\" WHERE \"name\" = 'ma2'");
  if (agentA < 0 || agentB < 0) return -1;
  const std::string count = "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ?1) ";
  const std::string id = std::to_string(kFirstId - 1) + " + i";
  const std::string a = std::to_string(agentA);
  const long long tenth = n / 10;
  std::vector<tkbench::BulkInsert> steps;
  tkbench::TapeLibraryShape shape;
  shape.libraries = n / kDrivesPerLibrary;
  shape.drivesPerLibrary = kDrivesPerLibrary;
  shape.firstId = kFirstId;
  shape.agentA = agentA;
  shape.agentB = agentB;
  // The tape libraries' objects with the model's own settings an
  // installation keeps beside them.
  steps = tkbench::tapeLibraryRows(shape);
  for (tkbench::BulkInsert& setting : tkbench::tapeLibrarySettings(shape)) steps.push_back(std::move(setting));
  // Disk libraries of ten mount paths, each mount path on a disk device of
  // its own that ma1 reaches; one device more is the spare.
  const std::string disk = std::to_string(kFirstDiskLibraryId - 1) + " + i";
  const std::string diskOfPath =
      std::to_string(kFirstDiskLibraryId) + " + (i - 1) / " + std::to_string(kMountPathsPerLibrary);
  steps.push_back({count + "INSERT INTO \"MMLibrary\" (\"LibraryId\", \"LibraryName\", \"AliasName\", "
                           "\"LibraryTypeId\", \"LibraryEnabled\", \"LowWaterMarkMB\") SELECT " + disk +
                       ", 'disklib' || i, 'disklib' || i, 3, 1, 1024 FROM n",
                   tenth / kMountPathsPerLibrary});
  steps.push_back({count + "INSERT INTO \"MMMasterPool\" (\"MasterPoolId\", \"LibraryId\", \"MasterPoolName\", "
                           "\"MaxDrivesToSwitch\") SELECT " + disk + ", " + disk +
                       ", 'MasterPool(disklib' || i || ')', -1 FROM n",
                   tenth / kMountPathsPerLibrary});
  steps.push_back({count + "INSERT INTO \"MMDevice\" (\"DeviceId\", \"DeviceTypeId\", \"AliasName\", "
                           "\"DeviceEnabled\") SELECT " + id + ", 1, 'growth device ' || i, 1 FROM n",
                   tenth + 1});
  steps.push_back({count + "INSERT INTO \"MMDeviceController\" (\"DeviceControllerId\", \"ClientId\", \"DeviceId\", "
                           "\"DeviceControllerActive\", \"DeviceControllerEnabled\", \"DeviceAccessible\", "
                           "\"Folder\") SELECT " + id + ", " + a + ", " + id +
                       ", 1, 1, 1, CASE WHEN i > ?1 - 1 THEN '" + kSpareFolder +
                       "' ELSE '/srv/growth/mp' || i END FROM n",
                   tenth + 1});
  steps.push_back({count + "INSERT INTO \"MMMountPath\" (\"MountPathId\", \"MountPathName\", \"IsEnabled\", "
                           "\"MaxConcurrentWriters\", \"MountPathTypeId\", \"MasterPoolId\", \"LibraryId\") SELECT " +
                       id + ", '/srv/growth/mp' || i, 1, 10, 1, " + diskOfPath + ", " + diskOfPath + " FROM n",
                   tenth});
  steps.push_back({count + "INSERT INTO \"MMMountPathToStorageDevice\" (\"MountPathId\", \"DeviceId\") SELECT " + id +
                       ", " + id + " FROM n",
                   tenth});
  // NDMP servers: a NAS client each, with its NDMP row.
  const std::string client = std::to_string(kFirstNdmpClientId - 1) + " + i";
  steps.push_back({count + "INSERT INTO \"APP_Client\" (\"id\", \"name\", \"net_hostname\", \"releaseId\", "
                           "\"simOperatingSystemId\") SELECT " + client +
                       ", 'ndmp' || i, 'ndmp' || i || '.example.net', 16, (SELECT \"id\" FROM "
                       "\"SimOperatingSystem\" WHERE \"isNAS\" = 1 LIMIT 1) FROM n",
                   tenth});
  steps.push_back({count + "INSERT INTO \"MMNDMPHostInfo\" (\"ndmpHostId\", \"clientId\", \"osType\", \"login\", "
                           "\"listenPort\", \"firmwareRevision\", \"hostSettingA\", \"hostSettingB\") SELECT " + id +
                       ", " + client + ", 6, 'root', 10000, '9.1', 2, 1 FROM n",
                   tenth});
  // SAN volumes of the volume host, each with its device name and a mount
  // point.
  steps.push_back({count + "INSERT INTO \"SNRVolume\" (\"volumeId\", \"deviceId\", \"deviceIdType\", \"lun\", "
                           "\"blockCount\", \"blockSize\", \"fsType\") SELECT " + id +
                       ", 'growth-volume-' || i, 3, 0, 2097152, 512, 'ext4' FROM n",
                   tenth});
  steps.push_back({count + "INSERT INTO \"SNRVolumeDeviceName\" (\"deviceNameId\", \"hostId\", \"deviceName\") "
                           "SELECT " + id + ", " + std::to_string(kVolumeHost) + ", '/dev/growth' || i FROM n",
                   tenth});
  steps.push_back({count + "INSERT INTO \"SNRVolumeDeviceNameEx\" (\"deviceNameId\", \"volumeId\", "
                           "\"caseSensitive\") SELECT " + id + ", " + id + ", 1 FROM n",
                   tenth});
  steps.push_back({count + "INSERT INTO \"SNRVolumeMountPoint\" (\"mountPointId\", \"deviceNameId\", "
                           "\"mountPath\", \"caseSensitive\") SELECT " + id + ", " + id + ", '/growth/v' || i, 1 FROM n",
                   tenth});

  int rc = exec(db, "BEGIN");
  for (const tkbench::BulkInsert& step : steps)
    if (rc == SQLITE_OK) rc = exec(db, step.sql, step.count);
  if (rc == SQLITE_OK) rc = exec(db, "COMMIT");
  if (rc != SQLITE_OK) return -1;
  return kFirstId + tenth;
}

// The bulk rows of an installation of `n` disk libraries, each with its
// master pool, a drive pool of media agent ma1 in it and one mount path on
// a disk device of its own that ma1 reaches, on top of the demonstration
// installation; one device more is the spare. Its id is returned, or -1.
long long seedLibraries(sqlite3* db, int n) {
  const long long agentA = scalar(db, "SELECT \"id\" FROM \"APP_Client\" WHERE \"name\" = 'ma1'");
  if (agentA < 0) return -1;
  const std::string count = "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ?1) ";
  const std::string id = std::to_string(kFirstId - 1) + " + i";
  const std::string a = std::to_string(agentA);
  const std::vector<tkbench::BulkInsert> steps = {
      {count + "INSERT INTO \"MMLibrary\" (\"LibraryId\", \"LibraryName\", \"AliasName\", \"LibraryTypeId\", "
               "\"LibraryEnabled\", \"LowWaterMarkMB\") SELECT " + id + ", 'disklib' || i, 'disklib' || i, 3, 1, "
               "1024 FROM n",
       n},
      {count + "INSERT INTO \"MMMasterPool\" (\"MasterPoolId\", \"LibraryId\", \"MasterPoolName\", "
               "\"MaxDrivesToSwitch\") SELECT " + id + ", " + id + ", 'MasterPool(disklib' || i || ')', -1 FROM n",
       n},
      {count + "INSERT INTO \"MMDrivePool\" (\"DrivePoolId\", \"DrivePoolName\", \"DrivePoolEnabled\", "
               "\"ClientId\", \"MasterPoolId\") SELECT " + id + ", 'DrivePool(ma1)', 1, " + a + ", " + id + " FROM n",
       n},
      {count + "INSERT INTO \"MMDevice\" (\"DeviceId\", \"DeviceTypeId\", \"AliasName\", \"DeviceEnabled\") "
               "SELECT " + id + ", 1, 'growth device ' || i, 1 FROM n",
       n + 1},
      {count + "INSERT INTO \"MMDeviceController\" (\"DeviceControllerId\", \"ClientId\", \"DeviceId\", "
               "\"DeviceControllerActive\", \"DeviceControllerEnabled\", \"DeviceAccessible\", \"Folder\") "
               "SELECT " + id + ", " + a + ", " + id + ", 1, 1, 1, CASE WHEN i > ?1 - 1 THEN '" + kSpareFolder +
               "' ELSE '/srv/growth/mp' || i END FROM n",
       n + 1},
      {count + "INSERT INTO \"MMMountPath\" (\"MountPathId\", \"MountPathName\", \"IsEnabled\", "
               "\"MaxConcurrentWriters\", \"MountPathTypeId\", \"MasterPoolId\", \"LibraryId\") SELECT " + id +
               ", '/srv/growth/mp' || i, 1, 10, 1, " + id + ", " + id + " FROM n",
       n},
      {count + "INSERT INTO \"MMMountPathToStorageDevice\" (\"MountPathId\", \"DeviceId\") SELECT " + id + ", " +
               id + " FROM n",
       n},
  };
  int rc = exec(db, "BEGIN");
  for (const tkbench::BulkInsert& step : steps)
    if (rc == SQLITE_OK) rc = exec(db, step.sql, step.count);
  if (rc == SQLITE_OK) rc = exec(db, "COMMIT");
  if (rc != SQLITE_OK) return -1;
  return kFirstId + n;
}

// What an installation holds: N objects of every kind (seedBulk) or N disk
// libraries (seedLibraries).
enum class Shape { Objects, Libraries };

std::map<std::string, std::string> hostEnvironment(const tktest::TempDir& dir) {
  return {{"TK_DB", dir.file("host.db")}, {"TK_LOCK_DIR", dir.file("locks")}, {"TK_RIGHTS", "table"}};
}

// The stored installation of `n` objects, made once: a database file that
// each host of that size starts from a copy of. Empty when it could not be
// made.
struct Template {
  tktest::TempDir dir;
  std::string database;
  long long spareDevice = -1;
};

const Template& templateOf(Shape shape, int n, const std::string& binary) {
  static std::mutex mutex;
  static std::map<std::tuple<Shape, int, std::string>, std::unique_ptr<Template>> made;
  std::lock_guard<std::mutex> guard(mutex);
  std::unique_ptr<Template>& t = made[{shape, n, binary}];
  if (t) return *t;
  t = std::make_unique<Template>();
  {
    // The demonstration installation and the schema, as the host makes them.
    hosttest::Host seeder(t->dir, t->dir.file("seed.sock"), {"--seed-demo", "--quiet"}, hostEnvironment(t->dir),
                          "host", binary);
    if (!seeder.up() || seeder.stop() != 0) return *t;
  }
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(t->dir.file("host.db").c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
    sqlite3_busy_timeout(db, 30000);
    // The bulk rows come after the host's schema step made every trigger,
    // as an installation's rows do: logged, with births where they are due.
    const long long triggers =
        scalar(db, "SELECT COUNT(*) FROM sqlite_master WHERE \"type\" = 'trigger' AND \"tbl_name\" = 'MMDrive'");
    if (triggers > 0) t->spareDevice = shape == Shape::Objects ? seedBulk(db, n) : seedLibraries(db, n);
    else std::fprintf(stderr, "growth seed: the host made no trigger on the drives\n");
    exec(db, "PRAGMA wal_checkpoint(TRUNCATE)");
  }
  sqlite3_close(db);
  if (t->spareDevice > 0) t->database = t->dir.file("host.db");
  return *t;
}

// A host on a copy of the installation of `n` objects, and what its
// requests need to know about it.
class Installation {
 public:
  Installation(Shape shape, int n, const std::string& binary) {
    const Template& from = templateOf(shape, n, binary);
    if (from.database.empty()) return;
    std::error_code error;
    std::filesystem::copy_file(from.database, m_dir.file("host.db"), error);
    if (error) return;
    m_spareDevice = from.spareDevice;
    m_host.emplace(m_dir, m_dir.file("host.sock"), std::vector<std::string>{"--seed-demo", "--quiet"},
                   hostEnvironment(m_dir), "host", binary);
    if (!m_host->up() || clock_getcpuclockid(m_host->child().pid(), &m_clock) != 0) return;
    if (sqlite3_open_v2(m_dir.file("host.db").c_str(), &m_db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) return;
    sqlite3_busy_timeout(m_db, 30000);
    m_agent = scalar(m_db, "SELECT \"id\" FROM \"APP_Client\" WHERE \"name\" = 'ma1'");
    m_up = m_agent > 0;
  }
  ~Installation() {
    if (m_db != nullptr) sqlite3_close(m_db);
  }
  Installation(const Installation&) = delete;
  Installation& operator=(const Installation&) = delete;

  bool up() const { return m_up; }
  int connect() const { return m_host->connect(); }
  // The CPU time the host has spent so far, in nanoseconds.
  long long hostNanos() const {
    timespec t{};
    clock_gettime(m_clock, &t);
    return t.tv_sec * 1000000000LL + t.tv_nsec;
  }
  // The host's threads now, from /proc.
  int threads() { return hosttest::countProcEntries(m_host->child().pid(), "task"); }
  long long spareDevice() const { return m_spareDevice; }
  long long agent() const { return m_agent; }
  // The mount path that the spare device stands in, or -1.
  long long spareMountPath() const {
    return scalar(m_db, "SELECT \"MountPathId\" FROM \"MMMountPathToStorageDevice\" WHERE \"DeviceId\" = " +
                            std::to_string(m_spareDevice));
  }

 private:
  tktest::TempDir m_dir;
  std::optional<hosttest::Host> m_host;
  clockid_t m_clock{};
  sqlite3* m_db = nullptr;
  long long m_spareDevice = -1;
  long long m_agent = -1;
  bool m_up = false;
};

// The tkhost the cases time: this build's, or another build's named by
// TK_BENCH_HOST (to run every case against it).
std::string benchHost() {
  return tkbench::otherBuild("TK_BENCH_HOST", hosttest::hostBinary());
}

// The host of size `n` for the requests of `group`, made at its first use.
Installation& installationOf(Shape shape, int n, const std::string& group, const std::string& binary) {
  static std::mutex mutex;
  static std::map<std::tuple<Shape, int, std::string, std::string>, std::unique_ptr<Installation>> hosts;
  std::lock_guard<std::mutex> guard(mutex);
  std::unique_ptr<Installation>& host = hosts[{shape, n, group, binary}];
  if (!host) host = std::make_unique<Installation>(shape, n, binary);
  return *host;
}

// ---------------------------------------------------------------- requests

// The bytes of the answers read by this thread's last request.
thread_local size_t t_answerBytes = 0;

// Writes `frame` and reads the replies up to the request's end frame; false
// when the host does not answer in time.
bool ask(int fd, const std::string& frame, std::vector<tkwire::Reply>& replies) {
  replies.clear();
  t_answerBytes = 0;
  if (!tkwire::writeAll(fd, frame)) return false;
  std::string body;
  for (;;) {
    if (tkwire::readFrame(fd, kReplyMs, body) != tkwire::ReadStatus::Ok) return false;
    t_answerBytes += body.size();
    std::optional<tkwire::Reply> reply = tkwire::decodeReply(body);
    if (!reply) return false;
    if (reply->isEnd()) return true;
    replies.push_back(std::move(*reply));
  }
}

std::string streamRequest(const char* handler, uint32_t parameter) {
  tkwire::StreamRequest request;
  request.handler = handler;
  request.sequence = 1;
  request.firstField = tkwire::firstFieldOf(2, parameter);  // Tarnfold id 2, the request's parameter
  return tkwire::encodeStreamRequest(request);
}

// The storage-library request with the library info's attributes `info`
// and the request's own `request`.
std::string storageLibraryRequest(const std::string& info, const std::string& request = "") {
  tkwire::XmlRequest r;
  r.handler = "HandleMMConfigMgrXmlMsg";
  r.sequence = 1;
  r.messageId = kStorageLibraryMessage;
  r.xml = "<EVGui_ConfigureStorageLibraryReq" + request + "><EVGui_StorageLibraryInfo tag=\"2\"" + info +
          "/></EVGui_ConfigureStorageLibraryReq>";
  return tkwire::encodeXmlRequest(r);
}

// A storage-library request that succeeded: its answer is the library's
// response, not the generic failure.
bool succeeded(const std::vector<tkwire::Reply>& replies) {
  if (replies.size() != 1) return false;
  const std::optional<tkwire::XmlAnswer> answer = tkwire::decodeXmlAnswer(replies[0]);
  return answer && answer->text.rfind("<EVGui_ConfigureStorageLibraryResp", 0) == 0;
}

// A request on a connection, with the replies it read; false when it failed.
using Action = std::function<bool(int fd, std::vector<tkwire::Reply>&)>;

// A listing: some reply must come.
Action listing(const std::string& frame) {
  return [frame](int fd, std::vector<tkwire::Reply>& r) { return ask(fd, frame, r) && !r.empty(); };
}
// A storage-library change that must succeed.
Action change(const std::string& frame) {
  return [frame](int fd, std::vector<tkwire::Reply>& r) { return ask(fd, frame, r) && succeeded(r); };
}

// One timed request between untimed steps, on one connection.
struct Step {
  Action before;  // may be empty
  Action timed;
  Action after;   // may be empty
  bool holdsLock = false;  // the console holds the configuration lock
};

struct Request {
  const char* name;
  const char* group;  // requests of one group share their hosts
  int iterations;
  std::function<Step(Installation&)> step;
};

const std::string kCreateLibrary = storageLibraryRequest(" s3=\"ma1\" s8=\"" + std::string(kGrowthLibrary) +
                                                         "\" s24=\"/srv/growthlib/mp1\" i43=\"1\"");
const std::string kDeleteLibrary =
    storageLibraryRequest(" s8=\"" + std::string(kGrowthLibrary) + "\" i43=\"8192\"", " i6=\"1\"");

const Request kRequests[] = {
    {"libraries", "read", 50,
     [](Installation&) { return Step{{}, listing(streamRequest("onMsgGetMMLibraries", 0)), {}, true}; }},
    {"ndmp_servers", "read", 50,
     [](Installation&) {
       // Every kind of server.
       return Step{{}, listing(streamRequest("onMsgGetMMNDMPServers", 1)), {}, false};
     }},
    {"san_volumes", "read", 50,
     [](Installation&) { return Step{{}, listing(streamRequest("onMsgGetSANVolumes", kVolumeHost)), {}, false}; }},
    {"mount_path_add", "mount_path", 10,
     [](Installation& at) {
       const std::string add = storageLibraryRequest(
           " s3=\"ma1\" s8=\"" + std::string(kDiskLibrary) + "\" s24=\"" + kSpareFolder + "\" i43=\"4\" i53=\"" +
           std::to_string(at.spareDevice()) + "\"");
       Installation* installation = &at;
       // The mount path's id is known only once it is stored.
       Action remove = [installation](int fd, std::vector<tkwire::Reply>& r) {
         const long long mountPath = installation->spareMountPath();
         return mountPath > 0 && change(storageLibraryRequest(" i7=\"" + std::to_string(installation->agent()) +
                                                              "\" s8=\"" + kDiskLibrary + "\" i23=\"" +
                                                              std::to_string(mountPath) + "\" s24=\"" +
                                                              kSpareFolder + "\" i43=\"16\""))(fd, r);
       };
       return Step{{}, change(add), remove, false};
     }},
    {"library_create", "library", 10,
     [](Installation&) { return Step{{}, change(kCreateLibrary), change(kDeleteLibrary), false}; }},
    {"library_delete", "library", 10,
     [](Installation&) { return Step{change(kCreateLibrary), change(kDeleteLibrary), {}, false}; }},
};

// Times `request` on the host of size `n`: the host's CPU time of each timed
// request is the iteration's time.
void timeRequest(benchmark::State& state, const Request& request, int n, Shape shape = Shape::Objects,
                 const std::string& binary = benchHost()) {
  Installation& at = installationOf(shape, n, request.group, binary);
  if (!at.up()) {
    state.SkipWithError("the installation's host did not come up");
    return;
  }
  const int fd = at.connect();
  if (fd < 0) {
    state.SkipWithError("no connection");
    return;
  }
  const Step step = request.step(at);
  if (step.holdsLock && !hosttest::takeLock(fd)) {
    ::close(fd);
    state.SkipWithError("the configuration lock was not granted");
    return;
  }
  std::vector<tkwire::Reply> replies;
  // One round untimed first: the connection's first request also pays for
  // what the host makes once per connection (its thread's database
  // connection among them), which is no part of the request's cost.
  if ((step.before && !step.before(fd, replies)) || !step.timed(fd, replies) ||
      (step.after && !step.after(fd, replies))) {
    if (step.holdsLock) hosttest::releaseLock(fd, 2);
    ::close(fd);
    state.SkipWithError("the untimed first round failed");
    return;
  }
  double wallSeconds = 0;
  size_t answerBytes = 0;
  for (auto _ : state) {
    if (step.before && !step.before(fd, replies)) {
      state.SkipWithError("the untimed request before failed");
      break;
    }
    const auto wallStart = std::chrono::steady_clock::now();
    const long long start = at.hostNanos();
    const bool answered = step.timed(fd, replies);
    const long long end = at.hostNanos();
    answerBytes = t_answerBytes;
    wallSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    if (!answered) {
      state.SkipWithError("the request failed or went unanswered");
      break;
    }
    state.SetIterationTime(static_cast<double>(end - start) / 1e9);
    if (step.after && !step.after(fd, replies)) {
      state.SkipWithError("the untimed request after failed");
      break;
    }
  }
  state.counters["wall_us"] = benchmark::Counter(wallSeconds * 1e6, benchmark::Counter::kAvgIterations);
  state.counters["answer_bytes"] = static_cast<double>(answerBytes);
  if (step.holdsLock) hosttest::releaseLock(fd, 2);
  ::close(fd);
}

// ---------------------------------------------------------------- one-shot commands

constexpr int kOneShotSize = 10000;
constexpr int kThreadEndMs = 10000;  // a closed connection's thread ends within this

// Times `request` as a one-shot command: each iteration connects, asks,
// closes and waits for the connection's thread to end; the host's CPU time
// over all of it is the iteration's time.
void timeOneShot(benchmark::State& state, const Request& request) {
  Installation& at = installationOf(Shape::Objects, kOneShotSize, request.group, benchHost());
  if (!at.up()) {
    state.SkipWithError("the installation's host did not come up");
    return;
  }
  const Step step = request.step(at);
  std::vector<tkwire::Reply> replies;
  double wallSeconds = 0;
  size_t answerBytes = 0;
  for (auto _ : state) {
    // A connection another case closed may still be ending: counting the
    // threads before each connection, the wait below ends once this one's
    // thread is gone whatever that one does.
    const int before = at.threads();
    const auto wallStart = std::chrono::steady_clock::now();
    const long long start = at.hostNanos();
    const int fd = at.connect();
    const bool answered = fd >= 0 && step.timed(fd, replies);
    answerBytes = t_answerBytes;
    if (fd >= 0) ::close(fd);
    const auto deadline = wallStart + std::chrono::milliseconds(kThreadEndMs);
    bool ended = true;
    while (at.threads() > before) {
      if (std::chrono::steady_clock::now() > deadline) {
        ended = false;
        break;
      }
      std::this_thread::yield();
    }
    const long long end = at.hostNanos();
    wallSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    if (!answered || !ended) {
      state.SkipWithError(!answered ? "the request failed or went unanswered" : "the connection's thread did not end");
      break;
    }
    state.SetIterationTime(static_cast<double>(end - start) / 1e9);
  }
  state.counters["wall_us"] = benchmark::Counter(wallSeconds * 1e6, benchmark::Counter::kAvgIterations);
  state.counters["answer_bytes"] = static_cast<double>(answerBytes);
}

const bool kRegistered = [] {
  for (const Request& request : kRequests) {
    const std::string name = request.name;
    if (name != "ndmp_servers" && name != "san_volumes") continue;
    const Request* r = &request;
    tkbench::registerPair(
        "oneshot_" + name + "_" + std::to_string(kOneShotSize), [r](benchmark::State& s) { timeOneShot(s, *r); },
        [r](benchmark::State& s) {
          timeRequest(s, *r, kOneShotSize);
          s.SetLabel("raw: the same request on a warm connection");
        },
        [r](tkbench::Benchmark* b) { b->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(r->iterations); });
  }
  for (const Request& request : kRequests)
    for (int n : kSizes) {
      const Request* r = &request;
      tkbench::registerPair(
          std::string("growth_") + request.name + "_" + std::to_string(n),
          [r, n](benchmark::State& s) { timeRequest(s, *r, n); },
          [r](benchmark::State& s) {
            timeRequest(s, *r, kBase);
            s.SetLabel("raw: the same request at " + std::to_string(kBase) + " objects");
          },
          [r](tkbench::Benchmark* b) {
            b->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(r->iterations);
          });
    }
  for (const Request& request : kRequests) {
    const std::string name = request.name;
    if (name != "mount_path_add" && name != "library_delete") continue;
    for (int n : kLibrarySizes) {
      const Request* r = &request;
      tkbench::registerPair(
          "libraries_" + name + "_" + std::to_string(n),
          [r, n](benchmark::State& s) { timeRequest(s, *r, n, Shape::Libraries); },
          [r](benchmark::State& s) {
            timeRequest(s, *r, kBase, Shape::Libraries);
            s.SetLabel("raw: the same request at " + std::to_string(kBase) + " libraries");
          },
          [r](tkbench::Benchmark* b) {
            b->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(r->iterations);
          });
    }
  }
  // Against another build's tkhost (TK_BENCH_BASELINE_HOST), each on an
  // installation of its own made by its own first start: a change at
  // 10,000 objects costs this build's host at most 1.1 times what it costs
  // that build's.
  if (const std::string other = tkbench::otherBuild("TK_BENCH_BASELINE_HOST"); !other.empty()) {
    for (const Request& request : kRequests) {
      const std::string name = request.name;
      if (name != "mount_path_add" && name != "library_create") continue;
      const Request* r = &request;
      const int n = kSizes[std::size(kSizes) - 1];
      tkbench::registerPair(
          "growth_" + name + "_" + std::to_string(n) + "_baseline",
          [r, n](benchmark::State& s) { timeRequest(s, *r, n); },
          [r, n, other](benchmark::State& s) {
            timeRequest(s, *r, n, Shape::Objects, other);
            s.SetLabel("raw: the baseline build's host, the same request");
          },
          [r](tkbench::Benchmark* b) {
            b->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(r->iterations);
          });
    }
  }
  return true;
}();

}  // namespace

BENCHMARK_MAIN();
