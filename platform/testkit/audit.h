// Test control of the audit trail.
//
//   testkit::audit::reset();
//   ... code under test ...
//   auto written = testkit::audit::records();  // operation, user, entity, parameters
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

inline std::vector<Record> records() { return tkaudit::records(); }
inline tkjournal::Journal& journal() { return tkaudit::journal(); }
// Forgets records, calls and failures, and puts the in-memory writer back.
inline void reset() {
  tkaudit::setWriter(nullptr);
  tkaudit::clearRecords();
  tkaudit::journal().reset();
}

}  // namespace testkit::audit
