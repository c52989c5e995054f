// The stored rows' list, kept in shared chunks and groups: after any run of
// merges it reads as the rows it stands for would (in order, by index, by
// id, by iterator arithmetic), a walk of two lists names exactly the ids
// that differ, and a change shares every group it did not touch.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/mmdb/MMRowList.h"

namespace {

struct Row {
  int id = 0;
  int value = 0;
  bool operator==(const Row& o) const { return id == o.id && value == o.value; }
  bool operator!=(const Row& o) const { return !(*this == o); }
};
using List = MMRowList<Row>;
int idOf(const Row& r) { return r.id; }

// What a list holds, as the rows by id.
using Rows = std::map<int, int>;

List made(const Rows& rows) {
  std::vector<Row> v;
  for (const auto& [id, value] : rows) v.push_back({id, value});
  return List(std::move(v));
}

void expectHolds(const List& list, const Rows& rows, const std::string& what) {
  SCOPED_TRACE(what);
  ASSERT_EQ(list.size(), rows.size());
  std::size_t i = 0;
  for (auto it = list.begin(); it != list.end(); ++it, ++i) {
    ASSERT_EQ(&list[i], &*it) << "index " << i;
  }
  ASSERT_EQ(i, rows.size());
  i = 0;
  for (const auto& [id, value] : rows) {
    ASSERT_EQ(list[i].id, id) << "index " << i;
    ASSERT_EQ(list[i].value, value) << "index " << i;
    const Row* found = list.find(id, idOf);
    ASSERT_NE(found, nullptr) << "id " << id;
    ASSERT_EQ(found, &list[i]) << "id " << id;
    ++i;
  }
  for (int absent : {-5, 0, 1 << 30})
    if (rows.count(absent) == 0) {
      EXPECT_EQ(list.find(absent, idOf), nullptr) << absent;
    }
  // Random access as the loaders' binary searches use it.
  std::ptrdiff_t index = 0;
  int previous = 0;
  for (const auto& [id, value] : rows) {
    auto at = std::lower_bound(list.begin(), list.end(), id, [](const Row& r, int v) { return r.id < v; });
    ASSERT_NE(at, list.end());
    ASSERT_EQ(at->id, id);
    ASSERT_EQ(at - list.begin(), index);
    if (index > 0) {
      ASSERT_EQ((at - 1)->id, previous);
    }
    if (index % 97 == 1) {
      EXPECT_EQ((--at)->id, previous);
    }
    previous = id;
    ++index;
  }
  if (!rows.empty()) {
    EXPECT_EQ(list.front().id, rows.begin()->first);
    EXPECT_EQ(list.back().id, rows.rbegin()->first);
  }
}

// A change: ids deleted, ids inserted or changed (value + 1000).
struct Change {
  std::vector<int> gone;
  std::vector<int> put;
};

std::vector<int> range(int from, int to, int step = 1) {
  std::vector<int> ids;
  for (int id = from; id <= to; id += step) ids.push_back(id);
  return ids;
}

TEST(RowList, MergesReadAsTheRowsTheyStandFor) {
  struct Case {
    const char* what;
    int rows;  // ids 10, 20, ... at the start
    std::vector<Change> changes;
    std::size_t sharedGroupsAtLeast;  // of the last change's list with the one before
  };
  const std::vector<Case> cases = {
      {"an empty list gains rows", 0, {{{}, range(1, 300)}, {{}, range(301, 301)}}, 0},
      {"one chunk", 40, {{{10, 400}, {15, 410}}, {range(10, 400, 10), {}}}, 0},
      {"a chunk and one row more", 65, {{{650}, {651, 660}}}, 0},
      {"a group and one row more, at the end", 64 * 64 + 1, {{{}, {40'980}}}, 1},
      {"rows in the middle and at the ends", 20'000,
       {{{10, 100'000, 200'000}, {5, 99'995, 100'001, 200'010}}, {{}, range(200'011, 200'100)}}, 4},
      {"a run longer than a group goes, then comes back in part", 20'000,
       {{range(50'000, 150'000, 10), {}}, {{}, range(60'005, 140'005, 20)}}, 1},
      {"all but a few go", 10'000, {{range(30, 100'000, 10), {}}}, 0},
      {"a run of 10,000 rows changes: the groups rebuilt are split again", 20'000,
       {{{}, range(50'000, 150'000, 10)}}, 1},
      {"a small group left in front joins the group changed after it", 6'004,
       {{range(10, 40'000, 10), {}}, {{}, {50'000}}}, 0},
      {"an id deleted from the middle of a chunk, then the rows around it", 5'000,
       {{{20'010}, {}}, {{20'000, 20'020}, {}}}, 1},
      {"rows added one by one at the end", 5'000,
       {{{}, {50'001}}, {{}, {50'002}}, {{}, {50'003}}, {{}, {50'004}}, {{}, {50'005}}}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Rows rows;
    for (int i = 1; i <= c.rows; ++i) rows[i * 10] = i;
    List list = made(rows);
    expectHolds(list, rows, "made whole");
    List before;
    for (std::size_t n = 0; n < c.changes.size(); ++n) {
      const Change& change = c.changes[n];
      Rows next = rows;
      std::vector<int> named;
      for (int id : change.gone) {
        next.erase(id);
        named.push_back(id);
      }
      std::vector<Row> fresh;
      for (int id : change.put) {
        next[id] = next.count(id) != 0 ? next[id] + 1000 : id;
        named.push_back(id);
      }
      for (int id : change.put) fresh.push_back({id, next[id]});
      std::sort(fresh.begin(), fresh.end(), [](const Row& a, const Row& b) { return a.id < b.id; });
      std::sort(named.begin(), named.end());
      named.erase(std::unique(named.begin(), named.end()), named.end());
      List merged = mergedRows(list, fresh, named, idOf);
      expectHolds(merged, next, "after change " + std::to_string(n));
      // An id deleted finds nothing, not the row after it.
      for (int id : change.gone)
        if (next.count(id) == 0) {
          EXPECT_EQ(merged.find(id, idOf), nullptr) << "change " << n << ", id " << id;
        }
      // The walk names exactly the ids new, gone or changed.
      std::vector<int> differ;
      walkRows(list, merged, idOf, [&](int id) { differ.push_back(id); },
               [&](const Row& b, const Row& m) {
                 if (b != m) differ.push_back(m.id);
               });
      std::vector<int> want;
      for (int id : named)
        if (rows.count(id) != next.count(id) || (rows.count(id) != 0 && rows[id] != next[id])) want.push_back(id);
      EXPECT_EQ(differ, want) << "change " << n;
      // The list before is left as it was.
      expectHolds(list, rows, "the list before change " + std::to_string(n));
      before = list;
      list = merged;
      rows = next;
    }
    std::size_t shared = 0;
    for (const auto& group : list.groups())
      shared += std::count(before.groups().begin(), before.groups().end(), group);
    EXPECT_GE(shared, c.sharedGroupsAtLeast);
  }
}

// Rows read one by one into chunks make the list a whole read makes: full
// chunks and groups, each chunk's rows where the read put them.
TEST(RowList, RowsReadIntoChunksMakeTheListAsAWholeReadDoes) {
  for (int count : {0, 1, 64, 65, 4096, 4097, 10'000}) {
    SCOPED_TRACE(count);
    MMRowChunks<Row> read;
    Rows rows;
    std::vector<const Row*> where;
    for (int id = 1; id <= count; ++id) {
      Row& row = read.emplace_back();
      row = {id * 3, id};
      rows[id * 3] = id;
      where.push_back(&row);
    }
    ASSERT_EQ(read.size(), static_cast<std::size_t>(count));
    const List list(std::move(read));
    expectHolds(list, rows, "read into chunks");
    EXPECT_EQ(list.groups().size(), (static_cast<std::size_t>(count) + 4095) / 4096);
    for (int i = 0; i < count; ++i) ASSERT_EQ(&list[static_cast<std::size_t>(i)], where[static_cast<std::size_t>(i)]) << i;
    const List whole = made(rows);
    ASSERT_EQ(whole.groups().size(), list.groups().size());
    for (std::size_t g = 0; g < list.groups().size(); ++g)
      EXPECT_EQ(list.groups()[g]->chunks().size(), whole.groups()[g]->chunks().size()) << g;
  }
}

// A change at the end of 100,000 rows shares every group but the last and
// every chunk of that but the last, and rows added there one by one come
// together instead of leaving a chunk each.
TEST(RowList, AChangeAtTheEndSharesAllButTheLastGroup) {
  Rows rows;
  for (int i = 1; i <= 100'000; ++i) rows[i] = i;
  List list = made(rows);
  ASSERT_EQ(list.groups().size(), 25u);
  for (int id = 100'001; id <= 100'500; ++id) {
    std::vector<Row> fresh{{id, id}};
    List merged = mergedRows(list, fresh, {id}, idOf);
    std::size_t shared = 0;
    for (std::size_t g = 0; g + 1 < list.groups().size(); ++g) shared += merged.groups()[g] == list.groups()[g];
    ASSERT_EQ(shared, list.groups().size() - 1) << id;
    list = merged;
    rows[id] = id;
  }
  std::size_t chunks = 0;
  for (const auto& group : list.groups()) chunks += group->chunks().size();
  EXPECT_LE(chunks, (100'500 + 31) / 32);
  EXPECT_LE(list.groups().size(), 26u);
  expectHolds(list, rows, "after 500 rows added one by one");
}

}  // namespace
