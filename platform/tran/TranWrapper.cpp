// The transaction wrapper. It keeps the caller's transaction; opening and
// committing a transaction of its own is left to the database engine, which
// is wired in here: until then ensureTran and commitIfOwnTran only record
// the call and report success.
#include "frame/TranWrapper.h"

#include "platform/adapters/Adapters.h"

namespace tktran {
tkjournal::Journal& journal() {
  static tkjournal::Journal j;
  return j;
}
}  // namespace tktran

TranWrapper::TranWrapper(DBtran* tran, const std::string& name) : m_tran(tran), m_name(name) {
  tktran::journal().record("TranWrapper", tkjournal::args(name, tran != nullptr));
}

TranWrapper::~TranWrapper() = default;

int TranWrapper::ensureTran(std::string* error) {
  tktran::journal().record("ensureTran", tkjournal::args(m_name));
  tkjournal::Failure failure;
  if (tktran::journal().takeFailure("ensureTran", failure)) {
    if (error != nullptr) *error = failure.text;
    return failure.code != 0 ? failure.code : -1;
  }
  return 0;
}

int TranWrapper::commitIfOwnTran(std::string* error) {
  tktran::journal().record("commitIfOwnTran", tkjournal::args(m_name));
  tkjournal::Failure failure;
  if (tktran::journal().takeFailure("commitIfOwnTran", failure)) {
    if (error != nullptr) *error = failure.text;
    return failure.code != 0 ? failure.code : -1;
  }
  return 0;
}
