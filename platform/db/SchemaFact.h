// A fact about the schema (its version, whether every trigger of a set is
// there) that a query on the calling thread's connection reads beside its
// rows, kept from one run of the query to the next so that the runs after
// it need not ask the engine again: asking costs a statement of its own,
// or a read of the whole schema, on every call of a path as hot as a
// request's first read.
//
// The fact holds while the runs that follow the one that read it are of the
// same compiled statement, not compiled again (StatementMark::followedBy):
// any change of the schema, by this connection or another, makes the
// engine compile the statement anew before its next run. A run that cannot
// go by a kept fact asks again.
//
//   thread_local tkdb::SchemaFact<long long> t_version;
//   ... run the query, asking for the version when t_version.mustAsk() ...
//   std::optional<long long> version = t_version.of(row.mark(), asked);  // none: ask
//   t_version.settle(row.mark(), version, version && !tkdb::threadTransactionOpen());
//
// One instance per query and thread (thread_local): marks of another
// connection's statements never follow each other.
#pragma once

#include <optional>

#include "platform/db/DBSession.h"

namespace tkdb {

template <class Fact>
class SchemaFact {
 public:
  // Whether the next run must ask: no run is kept to follow.
  bool mustAsk() const { return m_run.statement == nullptr; }

  // The fact the run of `mark` ran under: what it read itself (`asked`),
  // else the kept one when the run follows the kept run with no
  // compilation between; none when neither.
  std::optional<Fact> of(const StatementMark& mark, const std::optional<Fact>& asked) const {
    if (asked) return asked;
    if (m_run.followedBy(mark)) return m_fact;
    return std::nullopt;
  }

  // The run the next one goes by: `mark` with its fact when `keep`, else
  // none (the next run asks). A run inside a transaction whose schema may
  // yet roll back, or one whose fact the caller does not trust, is not kept.
  void settle(const StatementMark& mark, const std::optional<Fact>& fact, bool keep) {
    if (keep && fact) {
      m_run = mark;
      m_fact = *fact;
    } else {
      forget();
    }
  }

  void forget() { m_run = StatementMark(); }

 private:
  StatementMark m_run;  // no statement: none kept
  Fact m_fact{};
};

}  // namespace tkdb
