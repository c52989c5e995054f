// Reading and failing as the client stand-ins do (inside platform/client
// and platform/content only): a scripted failure or a database error
// becomes an error code, the journal records the call with its result.
#pragma once

#include <string>
#include <vector>

#include "platform/client/ZQClient.h"
#include "platform/db/DBSession.h"

namespace tkclient {

// Takes the failure scripted for `call`: its code (never 0), or 0.
inline int scriptedFailure(const char* call, std::string* text = nullptr) {
  tkjournal::Failure failure;
  if (!journal().takeFailure(call, failure)) return 0;
  if (text != nullptr) *text = failure.text;
  return failure.code != 0 ? failure.code : -1;
}

// Runs `work` on a session of the calling thread's connection; 0 (no row
// is no failure) or kErrorDatabase with the engine's text in `error`.
template <class Work>
int onSession(Work work, std::string* error) {
  tkdb::Session session;
  const int rc = work(session);
  if (rc == 0 || rc == DB_NO_ROW) return 0;
  if (error != nullptr) *error = session.errorText();
  return kErrorDatabase;
}

// Runs a query on the calling thread's connection; 0 (rows may be empty)
// or kErrorDatabase with the engine's text in `error`.
inline int queryRows(const std::string& sql, const std::vector<tkdb::DbValue>& params, tkdb::DbRows& rows,
                     std::string* error = nullptr) {
  return onSession([&](tkdb::Session& s) { return s.query(sql, params, rows); }, error);
}

// The same for a walk of the rows, each handed to `visit` where it lies.
inline int eachRow(const std::string& sql, const std::vector<tkdb::DbValue>& params, const tkdb::RowVisitor& visit,
                   std::string* error = nullptr) {
  return onSession([&](tkdb::Session& s) { return s.each(sql, params, visit); }, error);
}

inline long long integerAt(const tkdb::RowView& row, int column) {
  const tkdb::DbCell cell = row.at(column);
  if (cell.type == tkdb::DbValue::Type::Int) return cell.i;
  long long value = 0;
  return tkdb::integerOf(cell.value(), value, true) ? value : 0;
}

inline std::string textAt(const tkdb::RowView& row, int column) {
  const tkdb::DbCell cell = row.at(column);
  return cell.type == tkdb::DbValue::Type::Text ? std::string(cell.text) : tkdb::textOf(cell.value());
}

inline long long integerAt(const tkdb::DbRow& row, std::size_t column) {
  long long value = 0;
  return column < row.size() && tkdb::integerOf(row[column], value, true) ? value : 0;
}

inline std::string textAt(const tkdb::DbRow& row, std::size_t column) {
  return column < row.size() ? tkdb::textOf(row[column]) : std::string();
}

}  // namespace tkclient
