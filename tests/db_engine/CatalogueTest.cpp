// The row base, the catalogues and the generated binding pattern: the test
// bindings of every kind and key shape against their column tables, the
// class-wide part filled once under threads, and the rows' assignment.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include "Db/ZQDBBinding.h"
#include "tests/db_engine/ExampleBinding.h"
#include "tests/db_engine/TestBindings.h"
#include "tests/support/BindingChecks.h"

namespace {

using tktest::bindingCase;

constexpr const char* kTestBindings = "tests/db_engine/TestBindings.h";

// Primary where clauses of no, one and two keys (no blank before AND), a
// serial column at its position or none (-1), and every kind.
const tktest::BindingCase kBindings[] = {
    bindingCase<ExampleItem>({.className = "ExampleItem", .dbName = "exampleItem", .headerType = 1,
                              .version = "1.2.3.4",
                              .columns = "itemId:i name:s65 note:u sizeBytes:x created:t flags:i",
                              .primaryWhere = "itemId = ?", .serialColNum = 0, .serialName = "itemId",
                              .orderBy = "itemId", .header = "tests/db_engine/ExampleBinding.h", .line = 42}),
    bindingCase<TestJobLink>({.className = "TestJobLink", .dbName = "testJobLink", .headerType = 1,
                              .version = "1.0.0.1", .columns = "jobId:i tarnfoldId:i itemId:i label:s33",
                              .primaryWhere = "jobId = ?AND tarnfoldId = ?", .orderBy = "jobId, tarnfoldId",
                              .foreignKeys = {{"exampleItem", {{"itemId", "itemId"}}}, {"testJob", {{"jobId", "id"}}}},
                              .header = kTestBindings, .line = 20}),
    bindingCase<TestSetting>({.className = "TestSetting", .dbName = "testSetting", .headerType = 1,
                              .version = "1.0.0.2", .columns = "name:s129 value:s", .header = kTestBindings,
                              .line = 40}),
    bindingCase<TestItemView>({.className = "TestItemView", .dbName = "testItemView", .headerType = 4,
                               .version = "1.5.0.0", .columns = "ItemId:i ItemName:s65 LinkCount:i",
                               .header = kTestBindings, .line = 60}),
    bindingCase<TestListItems>({.className = "TestListItems", .dbName = "TestListItems", .headerType = 2,
                                .version = "00010003019800050000", .columns = "o_itemId:i o_name:u257 o_note:s",
                                .header = kTestBindings, .line = 80}),
    bindingCase<TestTouchItem>({.className = "TestTouchItem", .dbName = "TestTouchItem", .headerType = 2,
                                .version = "00010001000200070000", .columns = "", .header = kTestBindings,
                                .line = 100}),
    bindingCase<TestItemCursor>({.className = "TestItemCursor", .dbName = "testItemCursor", .headerType = 3,
                                 .version = "", .columns = "r_itemId:i r_name:s65 r_total:i",
                                 .header = kTestBindings, .line = 120}),
    bindingCase<TestBodyCursor>({.className = "TestBodyCursor", .dbName = "testBodyCursor", .headerType = 3,
                                 .version = "", .columns = "r_itemId:i r_name:s65 r_note:u r_big:x",
                                 .header = kTestBindings, .line = 180}),
};

using Bindings = tktest::BindingMetadata;
TEST_P(Bindings, AgreeWithTheirColumnTables) { GetParam().run(); }
INSTANTIATE_TEST_SUITE_P(All, Bindings, ::testing::ValuesIn(kBindings), tktest::bindingName);

// The row base's own answers, through the smallest possible catalogue.
class BareCatalogue : public ZQDBRowBase {
 public:
  int getSerialColNum() override { return -1; }
  std::string getTableName() override { return "bare"; }
  std::string getPrimaryWhere() override { return ""; }
  std::vector<ZQDBDataTypeBase*> getPrimaryData() override { return {}; }
  void setTableName(std::string) override {}
  const char* getColumnName_t2(const int&) const override { return nullptr; }
  void pushColumnName(const char*) override {}
};

TEST(RowBase, BaseAnswersAndFillForTimeTurnsOnlyXIntoB) {
  BareCatalogue bare;
  EXPECT_EQ(-1, bare.getHeaderType());
  EXPECT_EQ("", bare.getStructDef());
  EXPECT_EQ(0, bare.searchForeignKey("anything"));
  EXPECT_FALSE(bare.isGenerated());
  EXPECT_EQ("", bare.getColumnName(0));
  BareCatalogue other;
  EXPECT_EQ(&bare, &(bare = other));
  EXPECT_EQ("i|s129|s|b|b|", bare.fillForTime("i|s129|s|x|x|"));
  EXPECT_EQ("i|u577|u|s2049|", bare.fillForTime("i|u577|u|s2049|"));
  EXPECT_EQ("", bare.fillForTime(""));
  EXPECT_EQ("", bare.fillForTime(nullptr));
}

// A catalogue class used by no other test; the test below empties its
// class-wide part before the threads race to fill it.
#define RACEPROBE_COLUMNS(COL) \
  COL(a, i, 0)                 \
  COL(b, x, 0)                 \
  COL(c, s, 17)                \
  COL(d, t, 0)                 \
  COL(e, u, 0)

inline constexpr ZQDBBindingInfo RaceProbe_info{.headerType = ZQDB_HEADER_TABLE,
                                                .dbName = "raceProbe",
                                                .className = "RaceProbe",
                                                .primaryKey = "a",
                                                .serial = "a"};
struct RaceProbe_t {
  RACEPROBE_COLUMNS(ZQDB_FIELD)
  ZQDB_ROW(RaceProbe_t, RACEPROBE_COLUMNS)
};
class RaceProbe_t2 : public ZQDBCatalogue<RaceProbe_t2, RaceProbe_t, RaceProbe_info> {};

// Puts the class-wide part of RaceProbe_t2 back as the process starts it,
// so that the race below is run again on a repeat.
void emptyRaceProbeStatics() {
  RaceProbe_t2::s_isInitialized.store(false);
  RaceProbe_t2::m_name.clear();
  RaceProbe_t2::m_type = 0;
  RaceProbe_t2::structSchema.clear();
  RaceProbe_t2::m_staticColumnVec.clear();
  RaceProbe_t2::m_foreignKeyMap.clear();
}

TEST(Catalogue, StaticsAreFilledExactlyOnceUnderEightThreads) {
  emptyRaceProbeStatics();
  constexpr int kThreads = 8;
  std::atomic<int> ready{0};
  std::atomic<bool> go{false};
  std::vector<std::thread> threads;
  std::atomic<int> complete{0};
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      ready.fetch_add(1);
      while (!go.load()) std::this_thread::yield();
      for (int round = 0; round < 20; ++round) {
        RaceProbe_t2 cat;
        // Whoever sees the class initialised sees all of it.
        if (cat.getColumnName_t2(4) != nullptr && cat.getStructDef() == "i|b|s17|t|u|" &&
            cat.getTableName() == "RaceProbe" && cat.getHeaderType() == 1 && cat.getSerialColNum() == 0) {
          complete.fetch_add(1);
        }
      }
    });
  }
  while (ready.load() < kThreads) std::this_thread::yield();
  go = true;
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(kThreads * 20, complete.load());
  EXPECT_EQ((std::vector<std::string>{"a", "b", "c", "d", "e"}), RaceProbe_t2::m_staticColumnVec);
}

// Rows that own heap text cannot be copied by the compiler; a binding that
// asks for an assignment gets one that copies each field and owns its text.
static_assert(tktest::kNoCopies<TestSetting_t> && !std::is_copy_constructible_v<ExampleItem_t>);
static_assert(std::is_copy_assignable_v<ExampleItem_t>);

TEST(Rows, GeneratedAssignmentCopiesEachFieldAndOwnsItsHeapText) {
  ExampleItem_t a;
  a.itemId = 3;
  std::strcpy(a.name, "tape-01");
  a.note = new char[6];
  std::strcpy(a.note, "hello");
  a.sizeBytes = 1LL << 40;
  a.created = tagTIMESTAMP_STRUCT{2022, 3, 4, 5, 6, 7, 0};
  std::strcpy(a.created.text, "text");
  a.created.flag = 2;
  a.flags = 9;

  ExampleItem_t b;
  b.note = new char[2];
  std::strcpy(b.note, "x");
  b = a;
  EXPECT_EQ(3, b.itemId);
  EXPECT_STREQ("tape-01", b.name);
  ASSERT_NE(nullptr, b.note);
  EXPECT_NE(a.note, b.note);
  EXPECT_STREQ("hello", b.note);
  EXPECT_EQ(1LL << 40, b.sizeBytes);
  EXPECT_EQ(2022, b.created.year);
  EXPECT_EQ(2, b.created.flag);
  EXPECT_STREQ("", b.created.text);
  EXPECT_EQ(9, b.flags);

  ExampleItem_t& same = b;
  b = same;  // self-assignment keeps the text
  EXPECT_STREQ("hello", b.note);

  ExampleItem_t empty;
  b = empty;
  EXPECT_EQ(nullptr, b.note);
}

}  // namespace
