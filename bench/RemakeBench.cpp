// Making the whole graph anew when the change log cannot tell which rows
// were born since the graph was laid, against a fresh start's first load of
// the same database.
//
//   remake_10000/ours  an instance that loaded the configuration (tape
//                      libraries of 20 drives with a drive path each, every
//                      library and drive with a handle, as a console's
//                      listings give them) reads it again after the log was
//                      pruned past that read: its first read, as the next
//                      lock makes it, frees the old graph and lays every
//                      object anew; 10,000 drives
//   remake_10000/raw   a new instance's first load of the same database in
//                      a process that keeps nothing of it (a fresh start)
//   remake_20000/...   the same at 20,000 drives
//
// Goal: ours at most 1.5x raw, and ours at 20,000 at most 2.2x ours at
// 10,000. The database is made once, as an installation has it
// (bench/Installation.h), and grows or shrinks to the case's size before
// the case (scripts/bench interleaves the repetitions of the cases).
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include "bench/BenchPairs.h"
#include "bench/Installation.h"
#include "bench/TapeLibraryRows.h"
#include "frame/mac/ZQMACObjects.h"
#include "platform/db/DBSession.h"
#include "platform/mac/ZQMACPlatform.h"
#include "platform/testkit/mmdb.h"

namespace {

constexpr int kDrivesPerLibrary = 20;
constexpr int kStep = 500;  // libraries: the database grows and shrinks by as many

// The benchmark database with `libraries` (a multiple of kStep) tape
// libraries; false with the reason when it could not be made.
bool grownTo(int libraries, std::string& error) {
  static int held = -1;  // -1: no database yet
  if (held < 0) {
    static std::string directory = [] {
      char dir[] = "/tmp/tkbench.XXXXXX";
      return mkdtemp(dir) != nullptr ? std::string(dir) : std::string();
    }();
    if (directory.empty()) {
      error = "no temporary directory";
      return false;
    }
    setenv("TK_DB", (directory + "/tarnkeep.db").c_str(), 1);
    std::atexit([] {
      for (const char* suffix : {"", "-wal", "-shm"}) ::unlink((directory + "/tarnkeep.db" + suffix).c_str());
      ::rmdir(directory.c_str());
    });
    if (!tkbench::readConfigurationFirst(error)) return false;
    tkdb::Session s;
    if (s.exec("INSERT INTO \"APP_Client\" (\"id\", \"name\", \"net_hostname\") VALUES (1, 'ma1', "
               "'ma1.example.net'), (2, 'ma2', 'ma2.example.net')") != 0 ||
        s.exec("INSERT INTO \"MMHost\" (\"ClientId\") VALUES (1), (2)") != 0) {
      error = s.errorText();
      return false;
    }
    held = 0;
  }
  if (held == libraries) return true;
  if (held > libraries) {
    // The rows of the libraries past those wanted, which took the ids past
    // theirs in every table (see below).
    const std::string past = std::to_string(static_cast<long long>(libraries) * kDrivesPerLibrary);
    tkdb::Session s;
    int rc = s.exec("DELETE FROM \"MMObjectSetting\" WHERE \"ObjectId\" > " + past);
    const char* const keys[][2] = {{"MMDrivePath", "DrivePathId"},   {"MMDrive", "DriveId"},
                                   {"MMDrivePool", "DrivePoolId"},   {"MMMasterPool", "MasterPoolId"},
                                   {"MMLibraryController", "LibraryControllerId"}, {"MMLibrary", "LibraryId"}};
    for (const auto& [table, key] : keys)
      rc |= s.exec(std::string("DELETE FROM \"") + table + "\" WHERE \"" + key + "\" > " + past);
    if (rc != 0) {
      error = s.errorText();
      return false;
    }
    held = libraries;
    testkit::mmdb::forgetConfigurationReads();
    tkmac::dropParkedGraph();
    return true;
  }
  // In steps of the smaller case, each with ids past every row there is (a
  // library's rows take ids of as many drives as it has, in every table),
  // so that a step's rows are those past its first id in every table.
  tkdb::Session s;
  for (; held < libraries; held += kStep) {
    tkbench::TapeLibraryShape shape;
    shape.libraries = kStep;
    shape.drivesPerLibrary = kDrivesPerLibrary;
    shape.firstId = static_cast<long long>(held) * kDrivesPerLibrary + 1;
    int rc = 0;
    for (const auto& part : {tkbench::tapeLibraryRows(shape), tkbench::tapeLibrarySettings(shape)})
      for (const tkbench::BulkInsert& step : part) rc |= s.exec(step.sql, {step.count});
    if (rc != 0) {
      error = s.errorText();
      return false;
    }
  }
  testkit::mmdb::forgetConfigurationReads();
  tkmac::dropParkedGraph();
  return true;
}

// A new instance loaded as a fresh start loads it; null with the reason.
std::unique_ptr<ZQMACMediaConfig> freshLoad(std::string& error) {
  testkit::mmdb::forgetConfigurationReads();
  tkmac::dropParkedGraph();
  auto config = std::make_unique<ZQMACMediaConfig>();
  config->Initialize("bench");
  if (!config->ReadCurrentConfig(false)) {
    error = config->GetLastError();
    return nullptr;
  }
  return config;
}

// Gives every library and drive of the instance a handle.
void giveHandles(ZQMACMediaConfig& config) {
  ZQMACLinkedList<ZQMACLms> libraries = config.GetLmsList();
  for (ZQMACLms* lms = libraries.GetFirstNode(); lms != nullptr; lms = libraries.GetNextNode()) {
    config.GetHandle(lms);
    ZQMACLinkedList<ZQMACDrive> drives = lms->GetDriveList();
    for (ZQMACDrive* drive = drives.GetFirstNode(); drive != nullptr; drive = drives.GetNextNode())
      config.GetHandle(drive);
  }
}

void remakeOurs(benchmark::State& state, int libraries) {
  std::string error;
  if (!grownTo(libraries, error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  std::unique_ptr<ZQMACMediaConfig> kept = freshLoad(error);
  if (kept == nullptr) {
    state.SkipWithError(error.c_str());
    return;
  }
  for (auto _ : state) {
    state.PauseTiming();
    giveHandles(*kept);
    tkdb::Session s;
    // A change logged since the read, and the log's entries pruned past it,
    // as an administrator's script of more changes than the log keeps
    // leaves them.
    const bool pruned = s.exec("UPDATE \"MMDrive\" SET \"DriveEnabled\" = 1 WHERE \"DriveId\" = 1") == 0 &&
                        s.exec("UPDATE \"MMConfigEpoch\" SET \"Pruned\" = \"Pruned\" + 1000000") == 0;
    state.ResumeTiming();
    if (!pruned || !kept->ReadCurrentConfig(false)) {
      state.SkipWithError(pruned ? kept->GetLastError().c_str() : "the log could not be pruned");
      break;
    }
  }
  state.counters["objects"] = static_cast<double>(kept->GetObjectCount());
  kept.reset();
  tkmac::dropParkedGraph();
}

void remakeRaw(benchmark::State& state, int libraries) {
  std::string error;
  if (!grownTo(libraries, error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  std::size_t objects = 0;
  for (auto _ : state) {
    state.PauseTiming();
    testkit::mmdb::forgetConfigurationReads();
    tkmac::dropParkedGraph();
    state.ResumeTiming();
    auto config = std::make_unique<ZQMACMediaConfig>();
    config->Initialize("bench");
    if (!config->ReadCurrentConfig(false)) {
      state.SkipWithError(config->GetLastError().c_str());
      break;
    }
    state.PauseTiming();
    objects = config->GetObjectCount();
    config.reset();
    tkmac::dropParkedGraph();
    state.ResumeTiming();
  }
  state.counters["objects"] = static_cast<double>(objects);
}

[[maybe_unused]] const bool kRegistered = [] {
  for (const int drives : {10000, 20000}) {
    const int libraries = drives / kDrivesPerLibrary;
    tkbench::registerPair(
        "remake_" + std::to_string(drives),
        [libraries](benchmark::State& s) {
          s.SetLabel("ours: first read after the log cannot tell");
          remakeOurs(s, libraries);
        },
        [libraries](benchmark::State& s) {
          s.SetLabel("raw: a fresh start's first load");
          remakeRaw(s, libraries);
        },
        [](tkbench::Benchmark* b) { b->Unit(benchmark::kMillisecond)->Iterations(10); });
  }
  return true;
}();

}  // namespace

BENCHMARK_MAIN();
