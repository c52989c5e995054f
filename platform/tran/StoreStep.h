// The store step: one change request's writes, stored together or not at
// all, with one error path.
//
//   tktran::StoreStep step("EvMMConfigMgr::onMsgSetMMCMDevice");
//   if (!step.begin()) return fail(step.error());
//   ... the writes: table access, the model's setters ...
//   if (!step.commit()) return fail(step.error());
//
// or, the writes as a callable that says whether they all held:
//
//   std::string error;
//   if (!tktran::storeTogether(tag, [&] { ...; return true; }, error)) ...
//
// A step that was begun and not committed rolls back when it leaves its
// scope (a refused write, an early return, an exception), so a request never
// keeps half of its writes.
//
// Begun on a thread with no open transaction, the step is the thread's
// outermost transaction: every write made while it is open, by the table
// access or by the model (whose own transactions nest in it as savepoints),
// joins it, and the request commits once, at commit(). Begun inside another
// transaction, it is a savepoint of that one and commit() releases it; the
// enclosing transaction commits.
//
// error() is the one text of a failed begin or commit, the database's reason
// in brackets when it gave one:
//   "The transaction could not be committed (disk I/O error: File too large)"
// The same text is logged under the step's tag.
#pragma once

#include <memory>
#include <string>

class DBtran;

namespace tktran {

class StoreStep {
 public:
  // `tag` names the request in log lines; it must outlive the step.
  explicit StoreStep(const char* tag);
  ~StoreStep();  // rolls back when begun and not committed
  StoreStep(const StoreStep&) = delete;
  StoreStep& operator=(const StoreStep&) = delete;

  // Begins the step. False, with code() and error() set, when the database
  // refused; nothing was begun then.
  bool begin();
  // Commits what the writes stored. False, with code() and error() set, when
  // the database refused: the writes are rolled back with rollBack() or
  // when the step leaves its scope (the step stays open until then).
  bool commit();
  // Undoes the writes (nothing when the step is not open).
  void rollBack();

  bool isOpen() const;
  // The engine's code of the last failure (0 when none) and its text.
  int code() const { return m_code; }
  const std::string& error() const { return m_error; }
  // The step's transaction while open (null otherwise), for calls that take
  // the caller's transaction.
  DBtran* tran() const;

 private:
  const char* m_tag;
  std::unique_ptr<DBtran> m_tran;
  int m_code = 0;
  std::string m_error;
};

// The text of a failed start, commit or roll back of `tran` that returned
// `code`: the fixed text of the step, with the database's reason in brackets
// when there is one. What every caller that starts or commits a transaction
// answers or logs.
std::string startFailure(const DBtran& tran, int code);
std::string commitFailure(const DBtran& tran, int code);
std::string rollbackFailure(const DBtran& tran, int code);

// Begins a step, runs `writes` and commits when they return true. True when
// committed; false with `error` set to the step's text (a failed begin or
// commit) or left as `writes` set it (they returned false), in which case
// every write was rolled back.
template <class Writes>
bool storeTogether(const char* tag, Writes&& writes, std::string& error) {
  StoreStep step(tag);
  if (!step.begin()) {
    error = step.error();
    return false;
  }
  if (!writes()) return false;
  if (!step.commit()) {
    error = step.error();
    return false;
  }
  return true;
}

}  // namespace tktran
