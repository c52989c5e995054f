// Test control of the audit trail.
//
//   testkit::audit::reset();
//   ... code under test ...
//   auto written = testkit::audit::records();  // operation, user, entity, time, parameters
//
// The records live in the audit tables of the central database (TK_DB), so
// records() reads what is committed there, or, on a thread inside an open
// transaction, what that transaction sees. A test that makes no database of
// its own (tests/support/TestDatabase.h) gets one of its process alone
// from reset(): when TK_DB is not set, reset() sets it to a temporary file
// that goes when the process exits.
//
// Journal ("setGUIAuditOperation": operation, user; "addGUIAuditParam":
// message id, value1, value2, then the message's arguments; "guiAudit":
// operation, user, entity type, entity id, parameter count, flags).
// journal().injectFailure("guiAudit", code, text) makes the next write fail.
#pragma once

#include "platform/audit/AuditTrail.h"

namespace testkit::audit {

using Record = tkaudit::Record;
using Param = tkaudit::Param;

// Every record in the order written, parameters and arguments in order.
inline std::vector<Record> records() { return tkaudit::records(); }
inline tkjournal::Journal& journal() { return tkaudit::journal(); }
// Forgets records, calls and failures, and puts the table writer back.
inline void reset() {
  tkaudit::isolateWhenUnset();
  tkaudit::setWriter(nullptr);
  tkaudit::clearRecords();
  tkaudit::journal().reset();
}

}  // namespace testkit::audit
