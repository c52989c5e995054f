// Every change request the host serves has a row in the sweep: a request
// added to the host's table fails here until the sweep tries it.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>
#include <string>

#include "entry/HostEntry.h"
#include "tests/host_sweep/Sweep.h"
#include "tests/support/HostHarness.h"

namespace {

// The handlers `tkconsole --list` names, with the access of each in the
// host's table.
std::set<std::string> changeEntriesListed() {
  tktest::TempDir dir;
  hosttest::Host host(dir, dir.file("h.sock"));
  EXPECT_TRUE(host.up()) << host.log();
  hosttest::Child console;
  EXPECT_TRUE(console.start(hosttest::consoleBinary(), {"--socket", host.socket(), "--list"}, {}, dir.file("out"),
                            dir.file("err")));
  EXPECT_EQ(console.exitCode(), 0);
  size_t count = 0;
  const TkHandlerEntry* table = TkHostHandlerTable(&count);
  std::set<std::string> changes;
  std::istringstream listed(hosttest::readFile(dir.file("out")));
  for (std::string line; std::getline(listed, line);) {
    const std::string name = line.substr(0, line.find(' '));
    const TkHandlerEntry* entry =
        std::find_if(table, table + count, [&](const TkHandlerEntry& e) { return name == e.name; });
    EXPECT_NE(entry, table + count) << name;
    if (entry != table + count && entry->access != kTkAccessLooks) changes.insert(name);
  }
  EXPECT_EQ(host.stop(), 0);
  return changes;
}

TEST(SweepCoverage, EveryChangeEntryOfTheHostsTableHasARowAndEveryRowAChangeEntry) {
  std::set<std::string> swept;
  for (auto family : {&sweeptest::libraryRows, &sweeptest::driveRows, &sweeptest::diskRows, &sweeptest::agentRows,
                      &sweeptest::xmlRows, &sweeptest::nasRows, &sweeptest::sanRows,
                      &sweeptest::failedLockRows})
    for (const sweeptest::Row& row : family()) swept.insert(row.request);
  const std::set<std::string> changes = changeEntriesListed();
  EXPECT_GE(changes.size(), 40u);
  std::vector<std::string> unswept;
  std::set_difference(changes.begin(), changes.end(), swept.begin(), swept.end(), std::back_inserter(unswept));
  EXPECT_EQ(unswept, std::vector<std::string>{}) << "change requests without a row";
  std::vector<std::string> unknown;
  std::set_difference(swept.begin(), swept.end(), changes.begin(), changes.end(), std::back_inserter(unknown));
  EXPECT_EQ(unknown, std::vector<std::string>{}) << "rows of no change request";
}

TEST(SweepCoverage, EveryRowNotDrivenNamesOneRowOfTheSweep) {
  std::set<std::string> names;
  for (auto family : {&sweeptest::libraryRows, &sweeptest::driveRows, &sweeptest::diskRows, &sweeptest::agentRows,
                      &sweeptest::xmlRows, &sweeptest::nasRows, &sweeptest::sanRows,
                      &sweeptest::failedLockRows})
    for (const sweeptest::Row& row : family()) EXPECT_TRUE(names.insert(row.proves).second) << row.proves;
  for (const auto& [row, why] : sweeptest::notDriven()) {
    SCOPED_TRACE(why);
    EXPECT_EQ(names.count(row), 1u) << row;
  }
}

}  // namespace
