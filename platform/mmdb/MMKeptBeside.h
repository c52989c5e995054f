// Rows of a table of the model's own, kept between reads beside the
// configuration snapshot they were read with (MMMediaConfigDB::loadCurrent).
//
// A read at the same place of the same database's change log finds the same
// rows: every change of such a table is logged like the configuration's own.
// One of the snapshot's lists is held as the anchor, so that whatever makes
// the table access read the configuration anew (forgetLoaded) makes these
// be read anew too. A read made inside an open transaction is never kept:
// it sees changes that may yet be rolled back.
//
//   static auto* kept = new MMKeptBeside<std::vector<Row>>();  // one per table, for the process
//   if (auto rows = kept->find(snapshot)) { ... }  // else read, then kept->keep(snapshot, rows)
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "platform/db/DBSession.h"
#include "platform/mmdb/MMMediaConfigDB.h"

template <class Rows>
class MMKeptBeside {
 public:
  // The rows kept for `snapshot`, or null when they must be read.
  std::shared_ptr<const Rows> find(const MMStoredSnapshot& snapshot) {
    long long seq = -1;
    std::shared_ptr<const Rows> rows = findEarlier(snapshot, seq);
    return seq == snapshot.logSeq ? rows : nullptr;
  }
  // The rows kept at an earlier place of the same history of the same
  // database's log, with that place in `seq` (the caller asks the log
  // whether the table changed since); null when there are none.
  std::shared_ptr<const Rows> findEarlier(const MMStoredSnapshot& snapshot, long long& seq) {
    if (!keepable(snapshot)) return nullptr;
    const std::string path = tkdb::currentDatabasePath();
    std::lock_guard<std::mutex> guard(m_mutex);
    if (!m_rows || m_anchor != snapshot.mediaAgents || m_seq < 0 || m_seq > snapshot.logSeq ||
        m_epoch != snapshot.logEpoch || m_path != path)
      return nullptr;
    seq = m_seq;
    return m_rows;
  }
  // Keeps `rows`, read just now beside `snapshot`, when the read may be kept.
  void keep(const MMStoredSnapshot& snapshot, std::shared_ptr<const Rows> rows) {
    if (!keepable(snapshot)) return;
    const std::string path = tkdb::currentDatabasePath();
    std::lock_guard<std::mutex> guard(m_mutex);
    m_path = path;
    m_epoch = snapshot.logEpoch;
    m_seq = snapshot.logSeq;
    m_anchor = snapshot.mediaAgents;
    m_rows = std::move(rows);
  }

 private:
  static bool keepable(const MMStoredSnapshot& snapshot) {
    return snapshot.logSeq >= 0 && !tkdb::threadTransactionOpen();
  }

  std::mutex m_mutex;
  std::string m_path;
  std::string m_epoch;
  long long m_seq = -1;
  MMStoredSnapshot::List<MMStoredMediaAgent> m_anchor;
  std::shared_ptr<const Rows> m_rows;
};
