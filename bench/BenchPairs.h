// What the benchmarks share: every case is a pair of benchmarks, our path
// "<case>/ours" and the raw baseline "<case>/raw" doing the same work with
// the library under it, registered together with the same settings, and
// scripts/bench prints the ratio of their medians.
//
//   const bool kRegistered = [] {
//     tkbench::registerPair("walker_12B_elements", walkOurs, walkRaw, [](tkbench::Benchmark* b) {
//       b->Unit(benchmark::kMicrosecond);
//     });
//     return true;
//   }();
//   ...
//   BENCHMARK_MAIN();   // each file has its own main
//
// A benchmark that cannot run (its setup failed) calls state.SkipWithError.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <functional>
#include <string>

namespace tkbench {

using Body = std::function<void(benchmark::State&)>;
using Benchmark = benchmark::internal::Benchmark;

inline void registerPair(const std::string& name, Body ours, Body raw,
                         const std::function<void(Benchmark*)>& configure = {}) {
  Benchmark* pair[] = {benchmark::RegisterBenchmark((name + "/ours").c_str(), std::move(ours)),
                                  benchmark::RegisterBenchmark((name + "/raw").c_str(), std::move(raw))};
  if (configure)
    for (Benchmark* b : pair) configure(b);
}

// Another build's binary named by the environment variable `name` (as
// TK_BENCH_BASELINE_HOST names a tkhost), or `otherwise` when it is unset
// or empty.
inline std::string otherBuild(const char* name, const std::string& otherwise = "") {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : otherwise;
}

}  // namespace tkbench
