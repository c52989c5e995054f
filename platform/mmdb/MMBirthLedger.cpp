// The ledger of births the process read from the change log (MMBirthLedger.h).
#include "platform/mmdb/MMBirthLedger.h"

#include <algorithm>
#include <climits>
#include <mutex>

#include "platform/mmdb/MMChangeLogHeader.h"

namespace tkmmdb {

namespace {

// The process's ledger and the mutex every question holds while it reads
// into it and is answered from it.
struct ProcessLedger {
  std::mutex mutex;
  BirthLedger ledger;
};

ProcessLedger& processLedger() {
  static ProcessLedger* ledger = new ProcessLedger();  // lives for the whole process
  return *ledger;
}

// What one read of the births after an entry finds: the births in the
// log's order, the log's newest entry (0: none) and the stamps of the
// entries at the two places asked about and of the newest one.
struct BirthsRead {
  std::vector<MMStoredSnapshot::Birth> born;
  long long newest = 0;
  std::optional<long long> sinceStamp;
  std::optional<long long> placeStamp;
  std::optional<long long> newestStamp;
};

// The rows born after the log's entry `since`, and the stamps of the
// entries at `since` and `place`, in one read. The engine passes over the
// entries between the births.
int readBirthsAfter(tkdb::Session& s, long long since, long long place, BirthsRead& out) {
  out = BirthsRead();
  static const std::string sql =
      "SELECT NULL, NULL, (SELECT MAX(\"Seq\") FROM \"MMConfigChange\"), " + stampAtSql("?1") + ", " +
      stampAtSql("?2") + ", " + newestStampSql() +
      " FROM \"MMConfigEpoch\" UNION ALL SELECT * FROM (SELECT \"Kind\", \"ObjectId\", \"Seq\", NULL, NULL, NULL "
      "FROM \"MMConfigChange\" WHERE \"Seq\" > ?1 AND \"Born\" = 1 ORDER BY \"Seq\")";
  return s.each(sql, {since, place}, [&](const tkdb::RowView& row) {
    const tkdb::DbCell kind = row.at(0);
    const tkdb::DbCell id = row.at(1);
    if (kind.type == tkdb::DbValue::Type::Null) {
      out.newest = row.at(2).i;  // NULL (an empty log) reads 0
      out.sinceStamp = stampOf(row.at(3));
      out.placeStamp = stampOf(row.at(4));
      out.newestStamp = stampOf(row.at(5));
    } else if (id.type == tkdb::DbValue::Type::Int && id.i >= INT_MIN && id.i <= INT_MAX && kind.i >= INT_MIN &&
               kind.i <= INT_MAX) {
      out.born.push_back({static_cast<int>(kind.i), static_cast<int>(id.i), row.at(2).i});
    }
    return int(DB_OK);
  });
}

}  // namespace

std::size_t BirthLedger::bornAfter(int kind, int id, long long place) const {
  auto it = m_places.find(key(kind, id));
  if (it == m_places.end()) return 0;
  const std::vector<long long>& seqs = it->second.seqs;
  const auto first = seqs.begin() + static_cast<std::ptrdiff_t>(it->second.head);
  return static_cast<std::size_t>(seqs.end() - std::upper_bound(first, seqs.end(), place));
}

void BirthLedger::forEach(long long after, long long to, const std::function<void(const Birth&)>& f) const {
  auto it = std::upper_bound(m_births.begin(), m_births.end(), after,
                             [](long long place, const Birth& b) { return place < b.seq; });
  for (; it != m_births.end() && it->seq <= to; ++it) f(*it);
}

void BirthLedger::startAt(const std::string& path, const std::string& epoch, long long place,
                          const std::optional<long long>& stamp) {
  m_path = path;
  m_epoch = epoch;
  m_from = m_upTo = place;
  m_upToStamp = stamp;
  m_births.clear();
  m_places.clear();
}

void BirthLedger::add(const Birth& b) {
  m_births.push_back(b);
  m_places[key(b.kind, b.id)].seqs.push_back(b.seq);
}

void BirthLedger::keepAtMost(std::size_t kept) {
  while (m_births.size() > kept) {
    const Birth b = m_births.front();
    m_births.pop_front();
    auto it = m_places.find(key(b.kind, b.id));
    if (it != m_places.end()) {
      Places& places = it->second;
      ++places.head;
      if (places.head == places.seqs.size()) {
        m_places.erase(it);
      } else if (places.head >= 64 && places.head * 2 >= places.seqs.size()) {
        places.seqs.erase(places.seqs.begin(), places.seqs.begin() + static_cast<std::ptrdiff_t>(places.head));
        places.head = 0;
      }
    }
    m_from = b.seq;
  }
}

void BirthLedger::follow(const std::string& path, const std::string& epoch, long long place,
                         const std::optional<long long>& stamp) {
  if (m_from >= 0 && m_path == path && m_epoch == epoch) return;
  startAt(path, epoch, place, stamp);
}

int BirthLedger::readFor(tkdb::Session& s, const std::string& epoch, long long place,
                         const std::optional<long long>& placeStamp, bool& known, LogNow& now, bool restart) {
  known = false;
  now = LogNow();
  const std::string path = tkdb::currentDatabasePath();
  bool continues = m_from >= 0 && m_path == path && m_epoch == epoch && place >= m_from;
  for (;;) {
    // Only the births after the entries read, in one statement with the
    // log's newest entry and the stamps; then the loads' own header query,
    // naming no change, and their fact of the triggers. The header is read
    // after the births: a log it finds holding every entry after `since`,
    // of the same history, held them all when the births were read.
    const long long since = continues ? m_upTo : place;
    BirthsRead read;
    int rc = readBirthsAfter(s, since >= 0 ? since : LLONG_MAX, place, read);
    if (rc != DB_OK) return rc;
    LogHeader header;
    bool complete = false;
    rc = readWholeLogHeader(s, LLONG_MAX, header, complete);
    if (rc != DB_OK) return rc;
    now.epoch = header.epoch;
    now.newest = read.newest;
    // Every entry after `since` was still there, of the same history (an
    // entry at the pruned mark itself is gone, and none after it is), and
    // the entry at `since` is still the one read there: a log that went
    // back and grew again holds other entries under the same numbers.
    const bool sinceAsRead = continues ? read.sinceStamp == m_upToStamp : true;
    const bool whole = complete && place >= 0 && header.epoch == epoch && header.pruned <= since &&
                       since <= read.newest && sinceAsRead;
    if (!whole) {
      // What the ledger read no longer follows the log (pruned past it, a
      // file put back from before it, the log gone back): it is dropped,
      // and the place asked about is read from the log itself.
      if (!continues) return DB_OK;
      forget();
      if (!restart) return DB_OK;
      continues = false;
      continue;
    }
    // The asker's own place: its entry, while the log still holds it (or
    // its stamp, at the pruned mark), must be the one the asker read there.
    // One the log pruned since was read past by the ledger, which has found
    // the log going on from it at every reading since.
    if (placeStamp && place >= header.pruned && read.placeStamp != placeStamp) return DB_OK;
    if (!continues) startAt(path, epoch, place, read.placeStamp);
    for (const Birth& b : read.born)
      if (b.seq > m_upTo) add(b);
    if (read.newest >= m_upTo) {
      m_upTo = read.newest;
      m_upToStamp = read.newestStamp;
    }
    keepAtMost(kLedgerKept);
    known = place >= m_from;
    return DB_OK;
  }
}

int withBirthsSince(tkdb::Session& s, const std::string& epoch, long long place,
                    const std::optional<long long>& placeStamp, bool& known, LogNow& now,
                    const std::function<void(const BirthLedger&)>& answer) {
  if (tkdb::threadTransactionOpen()) {
    BirthLedger own;
    const int rc = own.readFor(s, epoch, place, placeStamp, known, now);
    if (rc == DB_OK && known) answer(own);
    return rc;
  }
  ProcessLedger& p = processLedger();
  std::lock_guard<std::mutex> guard(p.mutex);
  const int rc = p.ledger.readFor(s, epoch, place, placeStamp, known, now);
  if (rc == DB_OK && known) answer(p.ledger);
  return rc;
}

void BirthLedger::catchUp() {
  if (m_from < 0 || m_path != tkdb::currentDatabasePath()) return;
  tkdb::Session s;
  bool known = false;
  LogNow now;
  // Read where the ledger stands; a log that no longer follows it drops
  // it, and nothing starts again here.
  readFor(s, m_epoch, m_upTo, m_upToStamp, known, now, false);
}

void followBirthsFrom(const std::string& epoch, long long place, const std::optional<long long>& stamp) {
  if (tkdb::threadTransactionOpen() || place < 0) return;
  ProcessLedger& p = processLedger();
  std::lock_guard<std::mutex> guard(p.mutex);
  p.ledger.follow(tkdb::currentDatabasePath(), epoch, place, stamp);
}

void followBirths() {
  if (tkdb::threadTransactionOpen()) return;
  ProcessLedger& p = processLedger();
  std::lock_guard<std::mutex> guard(p.mutex);
  p.ledger.catchUp();
}

}  // namespace tkmmdb
