// A seeded random walk over one tkhost: a configuration session on one
// tkconsole connection, a second connection's requests, and another writer's
// SQL on the database file between them, each step drawn from the seed.
// After every step the whole store is checked (tests/support/StoreCheck.h);
// every few steps the session re-reads (control 70) and each of its
// listings is compared with a fresh host's on a copy of the file, and its
// libraries with the rows (one object per row, none stale, none missing).
//
// Everything is derived from the seed: what each step does, the names it
// gives, the rows it picks. A failing walk reports what failed and every
// step before it as a person replays them on a fresh --seed-demo database:
//   session: LINE     a line of `tkconsole --script -` (one connection,
//                     handles as this host gave them)
//   other:   ARGS     `tkconsole ARGS` on a connection of its own
//   sql:     TEXT     `sqlite3 DATABASE` on the file
//   compare           control 70 in the session, then the comparison
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "tests/support/HostHarness.h"
#include "tests/support/TempDir.h"

namespace walktest {

class Console;

// What a walk did, for the summary line.
struct Counts {
  int steps = 0;
  int requests = 0;
  int statements = 0;
  int comparisons = 0;
  int storeChecks = 0;
};

class Walk {
 public:
  // `database`: the seeded file the walk starts from (copied).
  Walk(uint64_t seed, const std::string& database);
  ~Walk();
  Walk(const Walk&) = delete;
  Walk& operator=(const Walk&) = delete;

  // Runs the steps, comparing every `compareEvery` of them and once at the
  // end; "" when every check held, else what failed and the steps that
  // reproduce it.
  template <class Step>
  std::string run(int steps, int compareEvery, Step&& step) {
    for (int i = 1; i <= steps && m_failure.empty(); ++i) {
      step(*this);
      ++m_counts.steps;
      afterStep();
      if (m_failure.empty() && (i % compareEvery == 0 || i == steps)) compare();
    }
    return report();
  }

  // What the steps use. A number below n, a chance in percent, a name of
  // this walk's own ("w<seed>x<n>" with the kind's letter for x).
  uint32_t below(uint32_t n) { return n == 0 ? 0 : static_cast<uint32_t>(m_random() % n); }
  bool chance(int percent) { return below(100) < static_cast<uint32_t>(percent); }
  std::string name(char kind) { return "w" + std::to_string(m_seed) + kind + std::to_string(++m_named); }
  uint64_t seed() const { return m_seed; }

  // A line of the session and its answers.
  std::string ask(const std::string& line);
  // A request on a connection of its own (tkconsole's arguments) and its
  // answers.
  std::string other(const std::vector<std::string>& args);
  // Statements of another writer, in one transaction.
  void sql(const std::string& statements);
  // A query's rows, each column as text (NULL as "").
  std::vector<std::vector<std::string>> rows(const std::string& query) const;

  // The handles a libraries listing gives each library id, in its order.
  static std::map<std::string, std::vector<std::string>> libraryHandles(const std::string& listing);
  // The object handle of the record that shows `text` last in `answer`;
  // "0" when none does.
  static std::string handleOf(const std::string& answer, const std::string& text);

  const Counts& counts() const { return m_counts; }

 private:
  void afterStep();
  void compare();
  void fail(const std::string& what);
  std::string report() const;

  uint64_t m_seed;
  std::mt19937_64 m_random;
  int m_named = 0;
  tktest::TempDir m_dir;
  std::string m_database;
  std::unique_ptr<hosttest::Host> m_host;
  std::unique_ptr<Console> m_session;
  std::vector<std::string> m_steps;
  std::string m_failure;
  Counts m_counts;
};

}  // namespace walktest
