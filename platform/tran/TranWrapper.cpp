// The transaction wrapper. Given a transaction it works in it and leaves
// starting and ending it to the caller. Given none, ensureTran opens one of
// its own and commitIfOwnTran commits that one; the destructor rolls back an
// own transaction that is still open and frees it.
//
// The own transaction is a private one (DBtran::makePrivate): the wrappers
// live on a handler's stack while the handler writes with calls made without
// a transaction, and those writes must neither join the wrapper's
// transaction nor wait on its lock.
#include "frame/TranWrapper.h"

#include "platform/adapters/Adapters.h"
#include "platform/db/DBtable.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/tran/StoreStep.h"

namespace tktran {
tkjournal::Journal& journal() {
  static tkjournal::Journal j;
  return j;
}
}  // namespace tktran

TranWrapper::TranWrapper(DBtran* tran, const std::string& name) : m_tran(tran), m_name(name) {
  tktran::journal().record("TranWrapper", name, tran != nullptr);
}

TranWrapper::~TranWrapper() {
  if (m_ownTran) {
    delete m_tran;  // rolls back when still open
    m_tran = nullptr;
    m_ownTran = false;
  }
}

int TranWrapper::ensureTran(std::string* error) {
  tktran::journal().record("ensureTran", m_name);
  tkjournal::Failure failure;
  if (tktran::journal().takeFailure("ensureTran", failure)) {
    if (error != nullptr) *error = failure.text;
    return failure.code != 0 ? failure.code : -1;
  }
  // The caller's transaction is the caller's to start and to end.
  if (m_tran != nullptr && !m_ownTran) return 0;
  if (m_tran == nullptr) {
    m_tran = new DBtran(false);
    m_tran->makePrivate();
    m_ownTran = true;
  }
  if (m_tran->isOpen()) return 0;
  int code = m_tran->startTran();
  if (code != 0) {
    if (error != nullptr) *error = tktran::startFailure(*m_tran, code);
    EvDebug::Error("TranWrapper::ensureTran", "[%s] could not start its transaction (%d)", m_name.c_str(), code);
  }
  return code;
}

int TranWrapper::commitIfOwnTran(std::string* error) {
  tktran::journal().record("commitIfOwnTran", m_name);
  tkjournal::Failure failure;
  if (tktran::journal().takeFailure("commitIfOwnTran", failure)) {
    if (error != nullptr) *error = failure.text;
    return failure.code != 0 ? failure.code : -1;
  }
  if (!m_ownTran || m_tran == nullptr || !m_tran->isOpen()) return 0;
  int code = m_tran->commitTran(0);
  if (code != 0) {
    // Left open: the destructor rolls it back.
    if (error != nullptr) *error = tktran::commitFailure(*m_tran, code);
    EvDebug::Error("TranWrapper::commitIfOwnTran", "[%s] could not commit its transaction (%d)", m_name.c_str(), code);
  }
  return code;
}
