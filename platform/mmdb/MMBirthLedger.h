// The ledger of births: the rows born under their ids (MMConfigChangeLog.h)
// that the process has read from the change log, so that a question about
// the births after a session's place (MMMediaConfigDB::sameRowSince,
// bornSince) reads only the entries after the last one read, however far
// behind the place lies, and is answered from what was read.
//
// One ledger per process, for one database file and one history of its
// log. It follows the log from the first place the process gives a session
// (a configuration read) and reads the entries of every change the host
// commits right after it (followBirths), so that the log never prunes an
// entry of the host's own changes before the ledger has read it: a place
// stays told however many changes the host makes after it. Only another
// writer's changes, more than the log keeps between two readings, can
// leave it behind.
//
// Before it answers, the ledger checks that the last entry it read is
// still there with the stamp it read: a log deleted back and grown again,
// or put back from a copy, numbers other entries as those it read, and the
// ledger then drops what it read and reads the place from the log as it is
// now. A place whose own entry is no longer the one the session read there
// cannot be told. The births the ledger holds keep answering after the log
// prunes their entries; it keeps at most kLedgerKept of them, and a place
// before the oldest births it dropped cannot be told either.
//
// A question asked inside the thread's transaction uses a ledger of its
// own: the entries it would read may yet roll back, and their places be
// given again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/db/DBSession.h"
#include "platform/mmdb/MMConfigChangeLog.h"
#include "platform/mmdb/MMMediaConfigDB.h"

namespace tkmmdb {

// How many births the ledger keeps: twice what the log keeps, so that a
// place the log pruned stays answerable while its session goes on.
inline constexpr std::size_t kLedgerKept = 2 * static_cast<std::size_t>(kLogKept);

// Where the log stands as a question about births found it: its history
// and newest entry (-1: none read).
struct LogNow {
  std::string epoch;
  long long newest = -1;
};

class BirthLedger {
 public:
  using Birth = MMStoredSnapshot::Birth;

  // How many rows of `kind` were born under `id` after `place`.
  std::size_t bornAfter(int kind, int id, long long place) const;
  // Calls f(birth) for each birth after `after` and at or before `to`, in
  // the log's order.
  void forEach(long long after, long long to, const std::function<void(const Birth&)>& f) const;

  // Reads the log's entries after the last one read, for a question about
  // the births after `place` in the log of `epoch` (`placeStamp`: the stamp
  // the asker read at its place, when it knows it). `known` false when the
  // log cannot tell them; else every birth after `place` is here. The
  // engine's code. A ledger the log no longer follows is dropped, and the
  // place read from the log itself when `restart`.
  int readFor(tkdb::Session& s, const std::string& epoch, long long place, const std::optional<long long>& placeStamp,
              bool& known, LogNow& now, bool restart = true);
  // Reads the entries after the last one read, when the ledger follows the
  // log of the current database file.
  void catchUp();

  // Starts following the log at `place` when the ledger follows no place
  // of this file and history (a configuration read gave it out).
  void follow(const std::string& path, const std::string& epoch, long long place, const std::optional<long long>& stamp);

  // How many births the ledger holds, and the place after which it holds
  // every one.
  std::size_t size() const { return m_births.size(); }
  long long from() const { return m_from; }
  // Keeps at most `kept` births, dropping the oldest: the ledger then
  // answers from the last one dropped on.
  void keepAtMost(std::size_t kept);
  void add(const Birth& b);

 private:
  // The places of one id's births, oldest first; those before `head` were
  // dropped (taken off the front at a flat cost, and the storage given back
  // once they are most of it).
  struct Places {
    std::vector<long long> seqs;
    std::size_t head = 0;
  };
  static uint64_t key(int kind, int id) {
    return (static_cast<uint64_t>(static_cast<uint32_t>(kind)) << 32) | static_cast<uint32_t>(id);
  }
  void startAt(const std::string& path, const std::string& epoch, long long place,
               const std::optional<long long>& stamp);
  void forget() { startAt(std::string(), std::string(), -1, std::nullopt); }

  std::string m_path;
  std::string m_epoch;
  long long m_from = -1;  // every birth after this place is here
  long long m_upTo = -1;  // the last entry read
  std::optional<long long> m_upToStamp;  // and its stamp
  std::deque<Birth> m_births;  // in the log's order
  std::unordered_map<uint64_t, Places> m_places;
};

// Runs `answer(ledger)` over a ledger brought to the log's newest entry for
// a question about the births after `place` (the process's, or one of the
// question's own inside a transaction); `known` false when the log cannot
// tell them, and then nothing is run. `now`: where the log stands.
int withBirthsSince(tkdb::Session& s, const std::string& epoch, long long place,
                    const std::optional<long long>& placeStamp, bool& known, LogNow& now,
                    const std::function<void(const BirthLedger&)>& answer);

// The process's ledger follows `place` of the log of `epoch` from now on,
// when it follows no place of the current database file yet (outside a
// transaction only).
void followBirthsFrom(const std::string& epoch, long long place, const std::optional<long long>& stamp);

// Reads the entries of the log after the process's ledger's last one, when
// it follows the log: called after every request that committed, so that
// the entries of the host's own changes are read while they are a few, and
// no session's place is left behind by them. A failure reads nothing (the
// next question reads the entries then).
void followBirths();

}  // namespace tkmmdb
