// Media-management table access: the caller's own transactions and the
// shared helpers of the table-access classes (reading rows into records,
// changes, argument checks). The code texts are in MMErrorTexts.cpp, the
// test seam in MMTestControls.cpp.
#include "platform/mmdb/MMBaseDB.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <unordered_map>

#include "platform/db/DBSession.h"
#include "platform/db/DBtable.h"
#include "platform/db/SqlText.h"
#include "platform/db/TextWidth.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/mmdb/MMJournal.h"
#include "platform/tran/StoreStep.h"

namespace {

// "SELECT <columns> FROM <table>" of a layout, built once per thread: the
// layouts live as long as the process, and a lookup should not spend its
// time quoting sixty names.
const std::string& selectText(const MMLayout& layout) {
  struct Entry {
    const ZQDBColumnDesc* cols = nullptr;
    int count = 0;
    const char* table = nullptr;
    std::string text;
  };
  thread_local std::unordered_map<const MMLayout*, Entry> cache;
  Entry& entry = cache[&layout];
  if (entry.text.empty() || entry.cols != layout.cols || entry.count != layout.count || entry.table != layout.table) {
    entry.cols = layout.cols;
    entry.count = layout.count;
    entry.table = layout.table;
    entry.text = "SELECT " + MMTableAccess::columnList(layout) + " FROM " + tkdb::quoteIdent(layout.table);
  }
  return entry.text;
}

}  // namespace

// ---- MMBaseDB ----------------------------------------------------------------------------

void MMBaseDB::journalDeleteList(const char* call, const char* file, int line) {
  if (tkmmdb::journalOn()) tkmmdb::journal().record(call, tkjournal::args(file, line));
}

int MMBaseDB::transactionStep(const char* tag, DBtran* tran, TransactionStep step, int& code) {
  static const char* const kWhat[] = {"start", "commit", "roll back"};
  const auto which = static_cast<size_t>(step);
  clearError();
  code = DB_OK;
  if (tkmmdb::journalOn()) tkmmdb::journal().record(tag, tkjournal::args(mmTranText(tran)));
  if (tran == nullptr) {
    const std::string text = std::string("No transaction was given to ") + kWhat[which] + ".";
    setError(MMS2_ERROR_BAD_ARGUMENT, 0, text);
    EvDebug::Error(tag, "%s", text.c_str());
    return -1;
  }
  switch (step) {
    case TransactionStep::Start: code = tran->startTran(); break;
    case TransactionStep::Commit: code = tran->commitTran(0); break;
    case TransactionStep::RollBack: code = tran->rollbackTran(); break;
  }
  if (code != DB_OK) {
    const std::string text = step == TransactionStep::Start    ? tktran::startFailure(*tran, code)
                             : step == TransactionStep::Commit ? tktran::commitFailure(*tran, code)
                                                               : tktran::rollbackFailure(*tran, code);
    setError(MMS2_ERROR_DATABASE, code, text);
    EvDebug::Error(tag, "%s", text.c_str());
    return -1;
  }
  return 0;
}

int MMBaseDB::startTransaction(DBtran* tran, int& code) {
  return transactionStep("MMBaseDB::startTransaction", tran, TransactionStep::Start, code);
}

int MMBaseDB::commitTransaction(DBtran* tran, int& code) {
  return transactionStep("MMBaseDB::commitTransaction", tran, TransactionStep::Commit, code);
}

int MMBaseDB::rollbackTransaction(DBtran* tran) {
  int code = DB_OK;
  return transactionStep("MMBaseDB::rollbackTransaction", tran, TransactionStep::RollBack, code);
}

// ---- helpers of the table-access classes ------------------------------------------------

std::string MMTableAccess::describeError() const {
  return "[" + std::to_string(getErrorCode()) + ", " + lastErrorText() + "] dbErr[" + std::to_string(getDBError()) +
         "]";
}

bool MMTableAccess::journalCall(const char* call, std::vector<std::string> args) {
  tkmmdb::journal().record(call, std::move(args));
  tkmmdb::Failure failure;
  if (!tkmmdb::takeFailure(call, failure)) return true;
  fail(call, failure.code != 0 ? failure.code : MMS2_ERROR_DATABASE, failure.dbError, failure.text);
  return false;
}

int MMTableAccess::fail(const char* tag, int code, int dbError, const std::string& text) {
  setError(code, dbError, text);
  EvDebug::Error(tag, "Error [%d] dbErr[%d]: %s", code, dbError, text.c_str());
  return -1;
}

int MMTableAccess::failQuiet(const char* tag, int code, int dbError, const std::string& text) {
  setError(code, dbError, text);
  EvDebug::Debug(tag, "%s", text.c_str());
  return -1;
}

int MMTableAccess::failDatabase(const char* tag, int dbCode, const tkdb::Session& session, const std::string& what) {
  std::string text = what + ": " + DBtable::getErrorStr(dbCode);
  if (!session.errorText().empty()) text += " (" + session.errorText() + ")";
  return fail(tag, MMS2_ERROR_DATABASE, dbCode, text);
}

std::string MMTableAccess::columnList(const MMLayout& layout, const char* alias) {
  std::string out;
  for (int i = 0; i < layout.count; ++i) {
    if (i > 0) out += ", ";
    if (alias != nullptr) {
      out += alias;
      out += '.';
    }
    out += tkdb::quoteIdent(layout.cols[i].name);
  }
  return out;
}

namespace {

// The values of a row as cells: a row read into memory, or the current row
// of a walk read where it lies.
struct MemoryCells {
  const tkdb::DbRow& row;
  int count() const { return static_cast<int>(row.size()); }
  tkdb::DbCell at(int c) const { return tkdb::cellOf(row[static_cast<size_t>(c)]); }
};
// The current row of a walk, each column read once (it is checked, then
// filled in); on the stack up to a size that every table fits.
class WalkCells {
 public:
  explicit WalkCells(const tkdb::RowView& row) : m_count(row.count()) {
    tkdb::DbCell* cells = m_local;
    if (m_count > kLocal) {
      m_more.resize(static_cast<size_t>(m_count));
      cells = m_more.data();
    }
    for (int c = 0; c < m_count; ++c) cells[c] = row.at(c);
    m_cells = cells;
  }
  WalkCells(const WalkCells&) = delete;
  WalkCells& operator=(const WalkCells&) = delete;
  int count() const { return m_count; }
  const tkdb::DbCell& at(int c) const { return m_cells[c]; }

 private:
  static constexpr int kLocal = 96;
  int m_count;
  tkdb::DbCell m_local[kLocal];
  std::vector<tkdb::DbCell> m_more;
  const tkdb::DbCell* m_cells = nullptr;
};

template <class Cells>
std::string checkCells(const MMLayout& layout, const Cells& values) {
  if (values.count() != layout.count) return "the row has the wrong number of columns";
  for (int i = 0; i < layout.count; ++i) {
    const ZQDBColumnDesc& col = layout.cols[i];
    switch (col.field) {
      case ZQDBFieldKind::Int32:
      case ZQDBFieldKind::Int64: {
        const tkdb::DbCell v = values.at(i);
        long long n = 0;
        if (!tkdb::integerOf(v, n, false) || (col.field == ZQDBFieldKind::Int32 && (n < INT_MIN || n > INT_MAX))) {
          return std::string("column ") + col.name + " holds " + v.value().describe() + ", not a number of its width";
        }
        break;
      }
      case ZQDBFieldKind::FixedText:
      case ZQDBFieldKind::HeapText:
        break;
      case ZQDBFieldKind::DateTime:
        return std::string("column ") + col.name + " is a date and time, which the table access does not read";
    }
  }
  return std::string();
}

template <class Cells>
void fillCells(const MMLayout& layout, void* row, const Cells& values) {
  char* base = static_cast<char*>(row);
  for (int i = 0; i < layout.count; ++i) {
    const ZQDBColumnDesc& col = layout.cols[i];
    const tkdb::DbCell v = values.at(i);
    char* field = base + col.offset;
    switch (col.field) {
      case ZQDBFieldKind::Int32: {
        long long n = 0;
        tkdb::integerOf(v, n, false);
        int n32 = static_cast<int>(n);
        std::memcpy(field, &n32, sizeof n32);
        break;
      }
      case ZQDBFieldKind::Int64: {
        long long n = 0;
        tkdb::integerOf(v, n, false);
        std::memcpy(field, &n, sizeof n);
        break;
      }
      case ZQDBFieldKind::FixedText:
        // A text goes into the field as it is; only a number is formatted first.
        if (v.type == tkdb::DbValue::Type::Text) {
          tkdb::putFixedText(field, col.size, v.text);
        } else {
          tkdb::putFixedText(field, col.size, tkdb::textOf(v.value()));
        }
        break;
      case ZQDBFieldKind::HeapText:
        if (v.type == tkdb::DbValue::Type::Text) {
          tkdb::putHeapText(*reinterpret_cast<char**>(field), v.text);
        } else {
          tkdb::putHeapText(*reinterpret_cast<char**>(field), v.value());
        }
        break;
      case ZQDBFieldKind::DateTime:
        break;  // refused by checkRecord
    }
  }
}

}  // namespace

std::string MMTableAccess::checkRecord(const MMLayout& layout, const tkdb::DbRow& values) {
  return checkCells(layout, MemoryCells{values});
}

void MMTableAccess::fillRecord(const MMLayout& layout, void* row, const tkdb::DbRow& values) {
  fillCells(layout, row, MemoryCells{values});
}

std::vector<tkdb::DbValue> MMTableAccess::recordValues(const MMLayout& layout, const void* row, const char* skip) {
  std::vector<tkdb::DbValue> out;
  for (int i = 0; i < layout.count; ++i) {
    const ZQDBColumnDesc& col = layout.cols[i];
    if (skip != nullptr && std::strcmp(col.name, skip) == 0) continue;
    // A date and time is never in a table-access layout (checkRecord refuses it).
    out.push_back(col.field == ZQDBFieldKind::DateTime ? tkdb::DbValue() : tkdb::fieldValue(col, row));
  }
  return out;
}

std::string MMTableAccess::insertSql(const MMLayout& layout, const char* skip) {
  std::string names;
  std::string marks;
  for (int i = 0; i < layout.count; ++i) {
    if (skip != nullptr && std::strcmp(layout.cols[i].name, skip) == 0) continue;
    if (!names.empty()) {
      names += ", ";
      marks += ", ";
    }
    names += tkdb::quoteIdent(layout.cols[i].name);
    marks += "?";
  }
  return "INSERT INTO " + tkdb::quoteIdent(layout.table) + " (" + names + ") VALUES (" + marks + ")";
}

int MMTableAccess::queryRows(const char* tag, const MMLayout& layout, const std::string& where,
                             const std::vector<tkdb::DbValue>& params, tkdb::DbRows& rows, DBtran* tran,
                             int limit) {
  std::string sql = selectText(layout);
  if (!where.empty()) sql += " WHERE " + where;
  if (layout.orderBy != nullptr && *layout.orderBy != '\0') sql += std::string(" ORDER BY ") + layout.orderBy;
  if (limit > 0) sql += " LIMIT " + std::to_string(limit);
  tkdb::Session session(tran);
  int rc = session.query(sql, params, rows);
  if (rc != DB_OK) {
    rows.clear();
    return failDatabase(tag, rc, session, std::string("Could not read ") + layout.table);
  }
  for (const tkdb::DbRow& row : rows) {
    std::string problem = checkRecord(layout, row);
    if (!problem.empty()) {
      rows.clear();
      return fail(tag, MMS2_ERROR_BAD_VALUE, 0, std::string("A row of ") + layout.table + " is unusable: " + problem);
    }
  }
  return 0;
}

int MMTableAccess::readOne(const char* tag, const MMLayout& layout, const std::string& where,
                           const std::vector<tkdb::DbValue>& params, void* row, DBtran* tran,
                           const std::string& missing, int missingCode) {
  const std::string& select = selectText(layout);
  const bool ordered = layout.orderBy != nullptr && *layout.orderBy != '\0';
  std::string sql;
  sql.reserve(select.size() + where.size() + (ordered ? std::strlen(layout.orderBy) : 0) + 32);
  sql += select;
  if (!where.empty()) {
    sql += " WHERE ";
    sql += where;
  }
  if (ordered) {
    sql += " ORDER BY ";
    sql += layout.orderBy;
  }
  sql += " LIMIT 1";
  // The row is checked and filled where it lies, without a copy of its
  // values: a lookup by key is mostly that copy otherwise. The record is
  // written only once the whole row has been found usable. What the
  // visitor found is told by its own state, never by the code the walk
  // ends with: a failure of the walk may carry any code at all.
  struct Reading {
    const MMLayout& layout;
    void* row;
    bool filled = false;
    std::string problem;
  } reading{layout, row, false, {}};
  tkdb::Session session(tran);
  // One pointer captured: the visitor needs no allocation of its own.
  const int rc = session.each(sql, params, [r = &reading](const tkdb::RowView& found) {
    const WalkCells cells(found);
    r->problem = checkCells(r->layout, cells);
    if (r->problem.empty()) {
      fillCells(r->layout, r->row, cells);
      r->filled = true;
    }
    return DB_NO_ROW;  // one row is all a lookup reads
  });
  if (reading.filled) return 0;
  if (!reading.problem.empty()) {
    return fail(tag, MMS2_ERROR_BAD_VALUE, 0,
                std::string("A row of ") + layout.table + " is unusable: " + reading.problem);
  }
  if (rc != DB_OK) return failDatabase(tag, rc, session, std::string("Could not read ") + layout.table);
  return failQuiet(tag, missingCode, DB_NO_ROW, missing);
}

int MMTableAccess::change(const char* tag, const std::string& sql, const std::vector<tkdb::DbValue>& params,
                          DBtran* tran, const std::string& missing) {
  tkdb::Session session(tran);
  int rc = session.exec(sql, params);
  if (rc != DB_OK) return failDatabase(tag, rc, session, "The change was not made");
  if (session.changes() == 0) return failQuiet(tag, MMS2_ERROR_NOT_FOUND, DB_NO_ROW, missing);
  return 0;
}

int MMTableAccess::atomically(const char* tag, DBtran* tran,
                              const std::function<int(tkdb::Session&, Refusal&)>& work) {
  tkdb::Session session(tran);
  Refusal refusal;
  int rc = session.atomically([&]() { return work(session, refusal); });
  if (rc == DB_OK) return 0;
  if (rc == kRefused) {
    return refusal.quiet ? failQuiet(tag, refusal.code, refusal.dbError, refusal.text)
                         : fail(tag, refusal.code, refusal.dbError, refusal.text);
  }
  return failDatabase(tag, rc, session, "The change was not made");
}

bool MMTableAccess::checkText(const char* tag, const char* what, const char* text, size_t maxBytes, bool allowEmpty) {
  if (text == nullptr || (!allowEmpty && text[0] == '\0')) {
    fail(tag, MMS2_ERROR_BAD_ARGUMENT, 0, std::string("No ") + what + " was given.");
    return false;
  }
  if (std::string refusal; !tkdb::fitsColumn(what, std::string_view(text, strnlen(text, maxBytes + 1)), maxBytes, refusal)) {
    fail(tag, MMS2_ERROR_TEXT_TOO_LONG, 0, refusal);
    return false;
  }
  return true;
}

int MMTableAccess::requireRow(tkdb::Session& s, const char* sql, int id, const char* missing, Refusal& refusal) {
  tkdb::DbRow row;
  const int code = s.queryOne(sql, {id}, row);
  if (code == DB_NO_ROW) {
    refusal = {MMS2_ERROR_NOT_FOUND, DB_NO_ROW, missing, false};
    return kRefused;
  }
  return code;
}
