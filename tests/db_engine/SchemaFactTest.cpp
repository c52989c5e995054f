// A fact about the schema kept from one run of a query holds for the next
// run of that statement only: a change of the schema by any connection, a
// run that was not kept, another statement or a forgotten fact makes the
// next run ask the engine again.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>

#include "platform/db/DBSession.h"
#include "platform/db/SchemaFact.h"
#include "tests/db_engine/ExampleBinding.h"
#include "tests/support/Seed.h"
#include "tests/support/TestDatabase.h"

namespace {

class SchemaFactRuns : public tktest::DatabaseTest {
 protected:
  void SetUp() override { ASSERT_EQ(0, db.exec("INSERT INTO exampleItem (name, flags) VALUES ('a', 1)")); }

  static tkdb::StatementMark markOf(const std::string& sql) {
    tkdb::StatementMark mark;
    tkdb::Session s;
    EXPECT_EQ(0, s.each(sql, {1}, [&](const tkdb::RowView& row) {
      mark = row.mark();
      return 0;
    }));
    return mark;
  }
};

const std::string kQuery = "SELECT name FROM exampleItem WHERE flags = ?";

TEST_F(SchemaFactRuns, AKeptFactServesOnlyTheNextRunOfItsStatementOnTheSameSchema) {
  struct Row {
    const char* what;
    bool keep;                              // the first run's fact kept
    std::function<void(tktest::TestDatabase&, tkdb::SchemaFact<long long>&)> between;
    std::string next;                       // the next run's statement
    std::optional<long long> asked;         // what the next run read itself
    std::optional<long long> expected;
  };
  const Row rows[] = {
      {"the next run, nothing between", true, nullptr, kQuery, std::nullopt, 7},
      {"the schema changed by another connection", true,
       [](tktest::TestDatabase& d, tkdb::SchemaFact<long long>&) { d.execElsewhere("CREATE TABLE notes (n TEXT)"); },
       kQuery, std::nullopt, std::nullopt},
      {"a run that was not kept", false, nullptr, kQuery, std::nullopt, std::nullopt},
      {"another statement", true, nullptr, kQuery + " ", std::nullopt, std::nullopt},
      {"the fact forgotten", true, [](tktest::TestDatabase&, tkdb::SchemaFact<long long>& f) { f.forget(); }, kQuery,
       std::nullopt, std::nullopt},
      {"a run one further on", true, [](tktest::TestDatabase&, tkdb::SchemaFact<long long>&) { markOf(kQuery); },
       kQuery, std::nullopt, std::nullopt},
      {"a run that read the fact itself", true,
       [](tktest::TestDatabase& d, tkdb::SchemaFact<long long>&) { d.execElsewhere("CREATE TABLE notes (n TEXT)"); },
       kQuery, 8, 8},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    tkdb::SchemaFact<long long> fact;
    EXPECT_TRUE(fact.mustAsk());
    const tkdb::StatementMark first = markOf(kQuery);
    fact.settle(first, fact.of(first, 7), row.keep);
    EXPECT_EQ(fact.mustAsk(), !row.keep);
    if (row.between) row.between(db, fact);
    const tkdb::StatementMark next = markOf(row.next);
    const std::optional<long long> got = fact.of(next, row.asked);
    EXPECT_EQ(got, row.expected);
    // What the next run goes by in turn: the fact when it had one.
    fact.settle(next, got, true);
    EXPECT_EQ(fact.mustAsk(), !got.has_value());
    if (got) {
      EXPECT_EQ(fact.of(markOf(row.next), std::nullopt), got);
    }
    db.execElsewhere("DROP TABLE IF EXISTS notes");
  }
}

}  // namespace
