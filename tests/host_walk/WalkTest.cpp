// Seeded random walks through tkhost and tkconsole (tests/host_walk/Walk.h):
// valid and refused requests on every change route, re-reads, a second
// connection's changes and deletes and another writer's SQL, in an order
// and with names drawn from each seed. The fixed seeds run in CI;
// TK_WALK_SEEDS=1,2,3 walks other seeds and TK_WALK_STEPS=N longer.
#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>

#include "tests/host_walk/Walk.h"

namespace walktest {
namespace {

constexpr int kSteps = 48;
constexpr int kCompareEvery = 8;
const std::vector<uint64_t> kSeeds = {10, 23, 27};

const char* const kAgents[] = {"ma1", "ma2"};

// A library of the rows: its id, the name requests know it by, its type.
struct Library {
  std::string id;
  std::string name;
  std::string type;
};

// Libraries another writer adds in runs are named "k..." (LibraryName):
// only that writer changes them, so that its deletes leave nothing that
// names them.
std::vector<Library> librariesWhere(Walk& w, const std::string& where) {
  std::vector<Library> out;
  for (const auto& row : w.rows("SELECT LibraryId, coalesce(nullif(AliasName, ''), LibraryName), LibraryTypeId "
                                "FROM MMLibrary WHERE " + where + " ORDER BY LibraryId"))
    out.push_back({row[0], row[1], row[2]});
  return out;
}

Library pickLibrary(Walk& w, const std::string& where = "1") {
  const std::vector<Library> all = librariesWhere(w, where + " AND LibraryName NOT LIKE 'k%'");
  return all.empty() ? Library{"0", "NoSuchLibrary", "0"} : all[w.below(static_cast<uint32_t>(all.size()))];
}

// The widths of the columns the walk's names go into: a new library's
// name, a library's alias, a drive pool's name.
constexpr size_t kLibraryNameWidth = 128;
constexpr size_t kAliasWidth = 512;
constexpr size_t kPoolNameWidth = 256;

// A name of this walk's own at the whole `width` of its column: the walk's
// name, then two-, three- and four-byte characters in turn, ASCII at the
// end where the next character would go past the width. A name the system
// makes of it (a pool's, a medium's, a device's, a policy's), cut to its
// own column, meets the cut inside a character as often as not.
std::string wideName(Walk& w, char kind, size_t width) {
  static const char* const kCharacters[] = {"\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9D\x84\x9E"};
  std::string name = w.name(kind);
  for (size_t i = 0; name.size() + std::char_traits<char>::length(kCharacters[i % 3]) <= width; ++i)
    name += kCharacters[i % 3];
  return name.size() < width ? name + std::string(width - name.size(), 'z') : name;
}

// A name of `width` bytes now and then, else a short one.
std::string walkName(Walk& w, char kind, size_t width) {
  return w.chance(25) ? wideName(w, kind, width) : w.name(kind);
}

// A name for a new library (`width`: its column's), or for a library
// renamed: now and then one a library has already, which every route
// refuses.
std::string newLibraryName(Walk& w, char kind, size_t width) {
  return w.chance(15) ? pickLibrary(w).name : walkName(w, kind, width);
}

// A value of a session line, quoted when it holds a blank (an IP or NDMP
// controller's library is named "VENDOR PRODUCT").
std::string value(const std::string& text) {
  return text.find(' ') == std::string::npos ? text : "'" + text + "'";
}

std::string agent(Walk& w) { return kAgents[w.below(2)]; }

// The first object handle an answer shows, "0" when none.
std::string firstHandle(const std::string& answer) {
  const std::string label = "(object handle) len 8: ";
  const size_t at = answer.find(label);
  return at == std::string::npos ? "0" : answer.substr(at + label.size(), answer.find('\n', at) - at - label.size());
}

// The session's handle of a library, from a listing asked now.
std::string sessionHandle(Walk& w, const Library& library) {
  const auto handles = Walk::libraryHandles(w.ask("libraries"));
  const auto found = handles.find(library.id);
  return found == handles.end() ? "0" : found->second.front();
}

// --- the steps ---------------------------------------------------------

void diskLibraryInSession(Walk& w) {
  w.ask("onMsgSetMMMagneticLibrary 4001=1 8251=s:" + value(newLibraryName(w, 'd', kLibraryNameWidth)) + " 11187=3 2048=idtext:0:" + agent(w) +
        " 2052=0");
}

void libraryByRequest(Walk& w) {
  const std::string name = newLibraryName(w, 'q', kLibraryNameWidth);
  w.other({"storage-library", "43=1", "8=" + name, "3=" + agent(w), "24=/srv/" + w.name('m') + "/mp1"});
}

void renameInSession(Walk& w) {
  const Library library = pickLibrary(w);
  const std::string handle = sessionHandle(w, library);
  w.ask("change-library 3 " + handle + " 8251=" + value(newLibraryName(w, 'r', kAliasWidth)));
}

void renameByRequest(Walk& w) {
  w.other({"storage-library", "43=32", "8=" + pickLibrary(w).name, "second.8=" + newLibraryName(w, 'r', kAliasWidth)});
}

void mountPathAdd(Walk& w) {
  // Now and then on a tape library, which has none: refused.
  const Library library = pickLibrary(w, w.chance(15) ? "LibraryTypeId <> 3" : "LibraryTypeId = 3");
  w.other({"storage-library", w.chance(50) ? "43=4" : "43=16384", "8=" + library.name, "3=" + agent(w),
           "24=/srv/" + w.name('m')});
}

// A mount path with its library and the media agent of its first device
// controller: id, path, library id, library name, agent id, agent name.
std::vector<std::string> pickMountPath(Walk& w) {
  const auto paths = w.rows(
      "SELECT m.MountPathId, m.MountPathName, l.LibraryId, coalesce(nullif(l.AliasName, ''), l.LibraryName), "
      "c.ClientId, a.name FROM MMMountPath m JOIN MMLibrary l ON l.LibraryId = m.LibraryId "
      "JOIN MMMountPathToStorageDevice s ON s.MountPathId = m.MountPathId "
      "JOIN MMDeviceController c ON c.DeviceId = s.DeviceId JOIN APP_Client a ON a.id = c.ClientId "
      "GROUP BY m.MountPathId ORDER BY m.MountPathId");
  return paths.empty() ? std::vector<std::string>{"0", "/none", "0", "NoSuchLibrary", "0", "ma1"}
                       : paths[w.below(static_cast<uint32_t>(paths.size()))];
}

void mountPathDelete(Walk& w) {
  const auto path = pickMountPath(w);
  // Now and then naming another library than the path's: refused.
  const std::string library = w.chance(15) ? pickLibrary(w).id : path[2];
  w.other({"storage-library", w.chance(70) ? "43=16" : "43=1024", "1=" + library, "8=" + path[3], "7=" + path[4],
           "23=" + path[0], "24=" + path[1]});
}

void mountPathShare(Walk& w) {
  const auto path = pickMountPath(w);
  if (w.chance(60)) {
    w.other({"storage-library", "43=64", "8=" + path[3], "3=" + path[5], "23=" + path[0],
             "second.3=" + std::string(path[5] == "ma1" ? "ma2" : "ma1"), "second.24=/mnt/" + w.name('s')});
    return;
  }
  const auto shares = w.rows(
      "SELECT a.name, c.Folder FROM MMMountPathToStorageDevice s JOIN MMDeviceController c ON c.DeviceId = s.DeviceId "
      "JOIN APP_Client a ON a.id = c.ClientId WHERE s.MountPathId = " + path[0] + " ORDER BY c.DeviceControllerId");
  const auto& share = shares.size() > 1 ? shares.back() : std::vector<std::string>{"ma2", "/mnt/none"};
  w.other({"storage-library", "43=128", "8=" + path[3], "23=" + path[0], "3=" + share[0], "24=" + share[1]});
}

// A mount path's credential or a library's (control 105), in the session.
void credentials(Walk& w) {
  const std::string user = "2401=enc:" + w.name('u');
  const std::string password = w.chance(15) ? "2402=enc:" + std::string(1100, 'p') : "2402=enc:" + w.name('p');
  if (w.chance(50)) {
    const Library library = pickLibrary(w);
    w.ask("onMsgSetMMControl 4001=105 11003=u64:" + sessionHandle(w, library) + " 2048=idtext:0:" + value(library.name) +
          " " + user + " " + password + " 2052=0");
    return;
  }
  const Library library = pickLibrary(w, "LibraryTypeId = 3");
  const std::string paths = w.ask("mount-paths " + sessionHandle(w, library));
  w.ask("onMsgSetMMMountPath 4001=3 11003=u64:" + firstHandle(paths) + " " + user + " " + password + " 2052=0");
}

// A drive pool renamed (now and then pointed at a copy manager that is not
// stored: refused), a drive path renamed, or a drive marked.
void poolsAndDrives(Walk& w) {
  const Library library = pickLibrary(w, "LibraryTypeId <> 3");
  if (w.chance(25)) {
    w.other({"storage-library", "43=512", "8=" + library.name, "3=" + agent(w), "78=Drive" + std::to_string(1 + w.below(2)),
             "82=" + std::to_string(1 + w.below(3))});
    return;
  }
  const std::string masters = w.ask("master-pools " + sessionHandle(w, library));
  const std::string pools = w.ask("drive-pools " + firstHandle(masters) + " master");
  const std::string pool = firstHandle(pools);
  if (w.chance(50)) {
    w.ask("onMsgSetMMDrivePool 4001=3 11003=u64:" + pool + " 8260=s:" + walkName(w, 'o', kPoolNameWidth) +
          (w.chance(20) ? " 11132=77" : "") + " 2052=0");
    return;
  }
  const std::string paths = w.ask("drive-paths " + pool);
  w.ask("onMsgSetMMDrive 4001=3 11003=u64:" + firstHandle(paths) + " 8252=" + w.name('v') + " 2052=0");
}

// Library controllers on a few hosts and robots: a second add of one is
// refused.
void ipController(Walk& w) {
  const std::string n = std::to_string(w.below(5));
  w.ask("add-ip-controller " + agent(w) + " ls" + n + ".example.net Wk " + w.name('i') + " LS" + n + " 1 1");
}

void ndmpController(Walk& w) {
  const std::string n = std::to_string(w.below(4));
  w.ask("add-ndmp-controller ma1 filer2 /dev/robot" + n + " Nd " + w.name('n') + " NLIB" + n + " 1 4");
}

// Another writer attaches a library to a media agent; detection finds it
// and configures one of what it found.
void detection(Walk& w) {
  if (w.chance(40)) {
    const std::string serial = w.name('a');
    w.sql("INSERT INTO MMAttachedLibrary (ClientId, Vendor, Product, SerialNumber, DeviceName, ScsiBus, ScsiTarget, "
          "ScsiLun) VALUES (" + std::to_string(1 + w.below(2)) + ", 'WALK', 'TAPE-2', '" + serial + "', '/dev/sg" +
          std::to_string(10 + w.below(50)) + "', 0, " + std::to_string(w.below(16)) + ", 0); "
          "INSERT INTO MMAttachedDrive (AttachedLibraryId, DriveNumber, Vendor, Product, SerialNumber, DeviceName) "
          "VALUES (last_insert_rowid(), 1, 'DEMO', 'LTO', '" + serial + "d', '/dev/nst" + std::to_string(10 + w.below(50)) +
          "');");
    return;
  }
  w.ask("detect-keep " + agent(w));
  const std::string found = w.ask("detected-libraries");
  std::vector<std::string> handles;
  for (size_t at = 0; (at = found.find("(object handle) len 8: ", at)) != std::string::npos; ++at)
    handles.push_back(firstHandle(found.substr(at)));
  if (!handles.empty())
    w.ask(std::string(w.chance(80) ? "control 48 " : "control 69 ") + handles[w.below(static_cast<uint32_t>(handles.size()))]);
}

void reread(Walk& w) { w.ask("control 70"); }

void relock(Walk& w) {
  w.ask("unlock");
  w.ask("lock");
}

// The request names a library by its alias: now and then the session
// renames one first, which the other connection then deletes.
void deleteByRequest(Walk& w) {
  Library library = pickLibrary(w);
  if (w.chance(40)) {
    const std::string handle = sessionHandle(w, library);
    library.name = walkName(w, 'r', kAliasWidth);
    w.ask("change-library 3 " + handle + " 8251=" + library.name);
  }
  std::vector<std::string> args{"storage-library", library.type == "3" ? "43=8192" : "43=2", "8=" + library.name};
  if (w.chance(85)) args.push_back("request.6=1");
  w.other(args);
}

// Another writer's runs of disk libraries with no mount path: runs of
// hundreds, now and then of thousands, so that the row lists' groups split
// and join.
void rowsAdded(Walk& w) {
  const int n = w.chance(40) ? 4200 + static_cast<int>(w.below(1800)) : 100 + static_cast<int>(w.below(500));
  const std::string name = "'k" + w.name('k').substr(1) + "_' || n";
  w.sql("WITH RECURSIVE k(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM k WHERE n < " + std::to_string(n) +
        ") INSERT INTO MMLibrary (LibraryName, AliasName, LibraryEnabled, LibraryTypeId, LowWaterMarkMB) SELECT " +
        name + ", " + name + ", 1, 3, 0 FROM k;");
}

// A range of the runs' ids: from a drawn id, `span` on.
// Without runs, one is added first.
std::pair<long, long> runRange(Walk& w, long span) {
  auto bounds = w.rows("SELECT min(LibraryId), max(LibraryId) FROM MMLibrary WHERE LibraryName LIKE 'k%'");
  if (bounds.empty() || bounds[0][0].empty()) {
    rowsAdded(w);
    bounds = w.rows("SELECT min(LibraryId), max(LibraryId) FROM MMLibrary WHERE LibraryName LIKE 'k%'");
  }
  if (bounds.empty() || bounds[0][0].empty()) return {0, -1};
  const long low = std::stol(bounds[0][0]);
  const long from = low + static_cast<long>(w.below(static_cast<uint32_t>(std::stol(bounds[0][1]) - low + 1)));
  return {from, from + span};
}

void rowsChanged(Walk& w) {
  const auto [from, to] = runRange(w, 100 + w.below(700));
  w.sql("UPDATE MMLibrary SET AliasName = '" + w.name('c') + "_' || LibraryId WHERE LibraryName LIKE 'k%' AND "
        "LibraryId BETWEEN " + std::to_string(from) + " AND " + std::to_string(to) + ";");
}

void rowsDeleted(Walk& w) {
  const auto [from, to] = runRange(w, w.chance(25) ? 1500 + w.below(3000) : 50 + w.below(600));
  w.sql("DELETE FROM MMLibrary WHERE LibraryName LIKE 'k%' AND LibraryId BETWEEN " + std::to_string(from) + " AND " +
        std::to_string(to) + ";");
}

// Rows given the ids of deleted ones again, in the middle of a run.
void rowsRefilled(Walk& w) {
  const auto [from, to] = runRange(w, 100 + w.below(900));
  const std::string name = "'k" + w.name('f').substr(1) + "_' || n";
  w.sql("WITH RECURSIVE k(n) AS (SELECT " + std::to_string(from) + " UNION ALL SELECT n + 1 FROM k WHERE n < " +
        std::to_string(to) + ") INSERT INTO MMLibrary (LibraryId, LibraryName, AliasName, LibraryEnabled, "
        "LibraryTypeId, LowWaterMarkMB) SELECT n, " + name + ", " + name + ", 1, 3, 0 FROM k WHERE n NOT IN "
        "(SELECT LibraryId FROM MMLibrary);");
}

// Single rows of other kinds changed by another writer.
void rowsOfOtherKinds(Walk& w) {
  const std::string name = w.name('h');
  switch (w.below(3)) {
    case 0: {
      const auto path = pickMountPath(w);
      w.sql("UPDATE MMMountPath SET MountPathName = '/srv/" + name + "' WHERE MountPathId = " + path[0] + ";");
      break;
    }
    case 1:
      w.sql("UPDATE MMDrivePool SET DrivePoolName = '" + name + "' WHERE DrivePoolId = (SELECT DrivePoolId FROM "
            "MMDrivePool ORDER BY DrivePoolId LIMIT 1 OFFSET " + std::to_string(w.below(4)) + ");");
      break;
    default:
      w.sql("UPDATE MMDevice SET AliasName = '" + name + "' WHERE DeviceId = (SELECT DeviceId FROM MMDevice ORDER BY "
            "DeviceId LIMIT 1 OFFSET " + std::to_string(w.below(3)) + ");");
  }
}

struct StepKind {
  const char* name;
  int weight;
  void (*run)(Walk&);
};

const StepKind kStepKinds[] = {
    {"disk library in the session", 6, diskLibraryInSession},
    {"library by request", 3, libraryByRequest},
    {"rename in the session", 5, renameInSession},
    {"rename by request", 3, renameByRequest},
    {"mount path added", 4, mountPathAdd},
    {"mount path deleted", 3, mountPathDelete},
    {"mount path shared or unshared", 3, mountPathShare},
    {"credentials", 3, credentials},
    {"pools and drives", 4, poolsAndDrives},
    {"IP controller", 6, ipController},
    {"NDMP controller", 3, ndmpController},
    {"detection", 4, detection},
    {"re-read", 6, reread},
    {"lock again", 3, relock},
    {"library deleted by request", 6, deleteByRequest},
    {"rows added", 2, rowsAdded},
    {"rows changed", 2, rowsChanged},
    {"rows deleted", 2, rowsDeleted},
    {"rows refilled", 2, rowsRefilled},
    {"rows of other kinds", 3, rowsOfOtherKinds},
};

void oneStep(Walk& w) {
  int total = 0;
  for (const StepKind& kind : kStepKinds) total += kind.weight;
  int drawn = static_cast<int>(w.below(static_cast<uint32_t>(total)));
  for (const StepKind& kind : kStepKinds) {
    if (drawn < kind.weight) return kind.run(w);
    drawn -= kind.weight;
  }
}

// The demonstration installation, made once; each walk copies the file.
const std::string& seededDatabase() {
  static tktest::TempDir dir;
  static const std::string path = [] {
    const std::string database = dir.file("seeded.db");
    hosttest::Host host(dir, dir.file("seed.sock"), {"--seed-demo"}, {{"TK_DB", database}}, "seed");
    EXPECT_TRUE(host.up()) << host.log();
    EXPECT_EQ(host.stop(), 0) << host.log();
    return database;
  }();
  return path;
}

std::vector<uint64_t> seeds() {
  const char* listed = std::getenv("TK_WALK_SEEDS");
  if (listed == nullptr || *listed == '\0') return kSeeds;
  std::vector<uint64_t> out;
  std::istringstream in(listed);
  for (std::string seed; std::getline(in, seed, ',');) out.push_back(std::stoull(seed));
  return out;
}

int steps() {
  const char* count = std::getenv("TK_WALK_STEPS");
  return count != nullptr && *count != '\0' ? std::atoi(count) : kSteps;
}

TEST(HostWalk, SeededWalksKeepOneObjectPerRowAndAFreshHostsListings) {
  Counts all;
  for (const uint64_t seed : seeds()) {
    Walk walk(seed, seededDatabase());
    EXPECT_EQ(walk.run(steps(), kCompareEvery, oneStep), "");
    const Counts& c = walk.counts();
    all.steps += c.steps;
    all.requests += c.requests;
    all.statements += c.statements;
    all.comparisons += c.comparisons;
    all.storeChecks += c.storeChecks;
  }
  std::cout << "walk: " << seeds().size() << " seeds, " << all.steps << " steps, " << all.requests << " requests, "
            << all.statements << " SQL transactions, " << all.storeChecks << " whole-store checks, " << all.comparisons
            << " comparisons with a fresh host and the rows" << std::endl;
}

}  // namespace
}  // namespace walktest
