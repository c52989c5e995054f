// The header of the change log as the process reads it (MMChangeLogHeader.h).
#include "platform/mmdb/MMChangeLogHeader.h"

#include <climits>

#include "platform/db/SchemaFact.h"
#include "platform/mmdb/MMConfigChangeLog.h"

namespace tkmmdb {

namespace {

// Whether every trigger of the log was there when the thread's last run of
// the log's query counted them: while the runs that follow it are of the
// same statement, not compiled again, they are all still there. Kept only
// when they were.
thread_local tkdb::SchemaFact<bool> t_triggersSeen;

// The schema's version under the thread's last run of the log's query,
// kept as the fact of the triggers is: every run of the query reads it or
// goes by the run before, so that the schema's own triggers are looked at
// again only when it moved (tkdb::ownedTriggersInPlaceAt), with no
// statement of their own for a read that finds nothing changed.
thread_local tkdb::SchemaFact<long long> t_schemaSeen;

int readLogRows(tkdb::Session& s, long long since, bool count, LogHeader& header) {
  return s.each(changeLogHeaderQuery(), {since, count ? 1 : 0}, [&](const tkdb::RowView& row) {
    const tkdb::DbCell tag = row.at(0);
    if (tag.i == -1) {
      ++header.epochRows;
      header.epoch = std::string(row.at(1).text);
      header.pruned = row.at(2).i;
      header.newest = row.at(3).i;
      header.mark = row.mark();
      const tkdb::DbCell triggers = row.at(4);
      header.triggersCounted = triggers.type != tkdb::DbValue::Type::Null;
      header.triggers = triggers.i;
      const tkdb::DbCell schema = row.at(5);
      if (schema.type != tkdb::DbValue::Type::Null) header.schema = schema.i;
      header.sinceStamp = stampOf(row.at(6));
      header.newestStamp = stampOf(row.at(7));
    } else {
      const tkdb::DbCell id = row.at(1);
      const bool oneId = id.type == tkdb::DbValue::Type::Int && id.i >= INT_MIN && id.i <= INT_MAX;
      const tkdb::DbCell born = row.at(2);
      if (oneId && born.type == tkdb::DbValue::Type::Int && born.i == 1 && tag.i >= INT_MIN && tag.i <= INT_MAX)
        header.born.push_back({static_cast<int>(tag.i), static_cast<int>(id.i), row.at(3).i});
      if (tag.i >= 0 && tag.i < kStoredKinds) {
        if (oneId)
          header.changed[tag.i].push_back(static_cast<int>(id.i));
        else
          header.whole[tag.i] = true;
      }
    }
    return int(DB_OK);
  });
}

}  // namespace

std::optional<long long> stampOf(const tkdb::DbCell& cell) {
  if (cell.type != tkdb::DbValue::Type::Int) return std::nullopt;
  return cell.i;
}

bool triggersMustBeCounted() { return t_triggersSeen.mustAsk(); }

int readLogHeader(tkdb::Session& s, long long since, bool count, LogHeader& header, bool keep) {
  const int rc = readLogRows(s, since, count || t_schemaSeen.mustAsk(), header);
  if (rc == DB_OK && header.epochRows == 1) header.schemaNow = t_schemaSeen.of(header.mark, header.schema);
  t_schemaSeen.settle(header.mark, header.schemaNow, keep);
  return rc;
}

bool allTriggersThere(const LogHeader& header, int logged, bool keep) {
  std::optional<bool> counted;
  if (header.triggersCounted) counted = header.triggers == changeLogTriggerCount();
  const bool all = logged == DB_OK && header.epochRows == 1 && t_triggersSeen.of(header.mark, counted).value_or(false);
  t_triggersSeen.settle(header.mark, all, keep && all);
  return all;
}

int readWholeLogHeader(tkdb::Session& s, long long since, LogHeader& header, bool& complete) {
  // A fact counted inside a transaction may rest on a schema change that
  // rolls back; one carried over from a run before is the schema's still.
  auto read = [&](bool count) {
    header = LogHeader();
    const int rc = readLogHeader(s, since, count, header);
    complete = rc == DB_OK && header.epochRows == 1 &&
               allTriggersThere(header, rc, !header.triggersCounted || !tkdb::threadTransactionOpen());
    return rc;
  };
  const int rc = read(t_triggersSeen.mustAsk());
  // Uncounted and not complete: the run could not go by the one before it
  // (another connection changed the schema, and the statement was compiled
  // again), or a trigger was found missing before. Counting tells which.
  if (rc == DB_OK && !complete && !header.triggersCounted && header.epochRows == 1) return read(true);
  return rc;
}

}  // namespace tkmmdb
