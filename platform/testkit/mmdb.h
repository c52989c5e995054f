// Test control of the media-management table access and the client-info
// objects (platform/mmdb/).
//
//   testkit::mmdb::reset();   // journal on, no calls, no scripted failures
//   testkit::mmdb::failNext("MMLibraryControllerDB::getInfoForActiveCtrl", 309, "no active controller");
//   testkit::mmdb::failNext("MMLibraryDB::getInfo", MMS2_ERROR_DATABASE, "disk full", 205);
//   ... code under test ...
//   testkit::mmdb::calls("MMMountPathDB::setOffline")   // each with its arguments as texts
//
// Calls are named "Class::method"; their arguments are journaled in order as
// texts, a transaction argument as "tran" or "null" (passwords never). A
// scripted failure makes the next call of that name fail before it touches
// the database: a table-access call returns -1 with getErrorCode() the code,
// getDBError() the database result and getLastError() the text; a
// client-info call returns the code, with GetErrorCode / GetLastError. The
// DeleteList calls are journaled with the caller's file and line.
#pragma once

#include <string>
#include <vector>

#include "platform/journal/Journal.h"
#include "platform/mmdb/MMJournal.h"
#include "platform/mmdb/MMMediaConfigDB.h"

namespace testkit::mmdb {

// Forgets calls and scripted failures and turns the journal on.
inline void reset() {
  tkmmdb::resetTestState();
  tkmmdb::setJournalOn(true);
}
// Turns the journal (and scripted failures) off again.
inline void stop() {
  tkmmdb::setJournalOn(false);
  tkmmdb::resetTestState();
}

inline tkjournal::Journal& journal() { return tkmmdb::journal(); }
inline std::vector<tkjournal::Call> calls(const std::string& name) { return tkmmdb::journal().calls(name); }

// Makes the next configuration load read every row again, as the first
// load of the process does (MMMediaConfigDB::loadCurrent; it journals
// "MMMediaConfigDB::loadCurrent.read" with "whole" or "part" and the number
// of rows it read).
inline void forgetConfigurationReads() { MMMediaConfigDB::forgetLoaded(); }

// The next `times` calls of `call` fail with the code, text and database result.
inline void failNext(const std::string& call, int code, const std::string& text, int dbError = 0, int times = 1) {
  tkmmdb::injectFailure(call, code, text, dbError, times);
}

}  // namespace testkit::mmdb
