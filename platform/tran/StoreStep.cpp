// The store step (see StoreStep.h) and the texts of a transaction that could
// not be started or committed.
#include "platform/tran/StoreStep.h"

#include "platform/db/DBtable.h"
#include "platform/debuglog/EvDebug.h"

namespace tktran {
namespace {

// The step's fixed text and, in brackets, the database's reason: its own
// words when it gave them, else the text of a code that says more than the
// step's (a lock that outlasted the time-out, a read-only file).
std::string failureText(const DBtran& tran, int code, int stepCode) {
  std::string text = DBtable::getErrorStr(stepCode);
  std::string reason = tran.failureDetail();
  if (reason.empty() && code != stepCode) reason = DBtable::getErrorStr(code);
  if (!reason.empty()) text += " (" + reason + ")";
  return text;
}

}  // namespace

std::string startFailure(const DBtran& tran, int code) { return failureText(tran, code, DB_ERR_BEGIN); }

std::string commitFailure(const DBtran& tran, int code) { return failureText(tran, code, DB_ERR_COMMIT); }

std::string rollbackFailure(const DBtran& tran, int code) { return failureText(tran, code, DB_ERR_ROLLBACK); }

StoreStep::StoreStep(const char* tag) : m_tag(tag != nullptr ? tag : "StoreStep") {}

StoreStep::~StoreStep() { rollBack(); }

bool StoreStep::isOpen() const { return m_tran != nullptr && m_tran->isOpen(); }

DBtran* StoreStep::tran() const { return isOpen() ? m_tran.get() : nullptr; }

bool StoreStep::begin() {
  rollBack();
  m_code = 0;
  m_error.clear();
  auto tran = std::make_unique<DBtran>(false);
  const int started = tran->startTran();
  if (started != DB_OK) {
    m_code = started;
    m_error = startFailure(*tran, started);
    EvDebug::Error(m_tag, "%s", m_error.c_str());
    return false;
  }
  m_tran = std::move(tran);
  return true;
}

bool StoreStep::commit() {
  if (!isOpen()) {
    // Ended under the step (an enclosing transaction rolled back, or the
    // step was never begun): nothing of its writes is kept.
    m_code = DB_ERR_NO_TRAN;
    m_error = std::string(DBtable::getErrorStr(DB_ERR_COMMIT)) + " (" + DBtable::getErrorStr(DB_ERR_NO_TRAN) + ")";
    EvDebug::Error(m_tag, "%s", m_error.c_str());
    m_tran.reset();
    return false;
  }
  const int committed = m_tran->commitTran(0);
  if (committed != DB_OK) {
    m_code = committed;
    m_error = commitFailure(*m_tran, committed);
    EvDebug::Error(m_tag, "%s", m_error.c_str());
    // Still open until the step leaves its scope (or rollBack): what the
    // caller undoes after the failure is undone inside it.
    return false;
  }
  m_tran.reset();
  return true;
}

void StoreStep::rollBack() {
  if (m_tran == nullptr) return;
  if (m_tran->isOpen()) {
    const int rolledBack = m_tran->rollbackTran();
    if (rolledBack != DB_OK)
      EvDebug::Error(m_tag, "%s", rollbackFailure(*m_tran, rolledBack).c_str());
  }
  // A transaction that would not roll back rolls back as it is freed (or
  // with the connection): the step keeps nothing either way.
  m_tran.reset();
}

}  // namespace tktran
