// DBtable: queries, row fetching, inserts, updates and procedure calls of the
// generated bindings.
#include "platform/db/DBtable.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <typeinfo>

#include "platform/db/DBRowBase.h"
#include "platform/db/DBInternal.h"
#include "platform/db/SqlText.h"

int DBtable::b_newDBBase = 1;
FXCriticalSection DBtable::DBCriticalSection;

namespace {

bool sameName(const char* a, const char* b) {
  if (a == nullptr || b == nullptr) return false;
  return strcasecmp(a, b) == 0;
}

// The journal entry of a procedure call (or a cursor served by a body):
// the name and the inputs as texts.
void journalProcedure(const std::string& name, const std::vector<tkdb::DbValue>& inputs) {
  if (!tkdb::journalOn()) return;
  std::vector<std::string> args{name};
  for (const tkdb::DbValue& v : inputs) args.push_back(v.describe());
  tkdb::journalCall("procedure", std::move(args));
}

}  // namespace

// --- construction --------------------------------------------------------------------

ZQSimpleDBConnObject::ZQSimpleDBConnObject() = default;

ZQSimpleDBConnObject::~ZQSimpleDBConnObject() { clearInputs(); }

void ZQSimpleDBConnObject::setExtIndicatorArray(void* array) { m_indicators = array; }

void ZQSimpleDBConnObject::clearInputs() {
  m_inputs.clear();
}

void ZQSimpleDBConnObject::clearResult() {
  if (m_stream) m_stream->close();
  m_streaming = false;
  m_rows.clear();
  m_next = 0;
  m_executed = false;
  m_atEnd = false;
}

DBtable::DBtable(const char* objectName, int /*unused*/, DBtran* tran)
    : m_objectName(objectName != nullptr ? objectName : ""), m_tran(tran) {
  if (m_tran != nullptr) m_tran->attach(this);
}

DBtable::~DBtable() {
  if (m_tran != nullptr) m_tran->detach(this);
  m_tran = nullptr;
}

namespace {

// Holds a lockable resource for the lifetime of the scope.
class SectionGuard {
 public:
  explicit SectionGuard(FXLockableResource& section) : m_section(section) { m_section.Lock(); }
  ~SectionGuard() { m_section.Unlock(); }
  SectionGuard(const SectionGuard&) = delete;
  SectionGuard& operator=(const SectionGuard&) = delete;

 private:
  FXLockableResource& m_section;
};

}  // namespace

void DBtable::registerInTransaction(const char* className, const char* header, int line) {
  SectionGuard guard(DBCriticalSection);
  try {
    if (m_tran != nullptr) m_tran->addObject(this);
  } catch (...) {
    // The address goes to %08x as its low 32 bits.
    log_error(header, line, "%s Constructor [0x%08x], caught an exception", className != nullptr ? className : "",
              static_cast<unsigned int>(reinterpret_cast<uintptr_t>(this) & 0xFFFFFFFFu));
  }
}

void DBtable::dataBindClearFirstTime() { m_connObj.clearResult(); }

void DBtable::dataBindClear() {
  m_connObj.clearResult();
  m_connObj.clearInputs();
}

// --- clauses -------------------------------------------------------------------------

void DBtable::invalidate() { m_connObj.clearResult(); }

int DBtable::setWhere(const char* format, ...) {
  va_list args;
  va_start(args, format);
  m_where = tkdb::formatSqlV(format, args);
  va_end(args);
  invalidate();
  return DB_OK;
}

int DBtable::setOrderBy(const char* order) {
  m_orderBy = order != nullptr ? order : "";
  invalidate();
  return DB_OK;
}

void DBtable::setTop(int count) {
  m_top = count;
  invalidate();
}

void DBtable::resetClauses() {
  m_where.clear();
  m_orderBy.clear();
  m_top = 0;
  m_isolation = 0;
  invalidate();
}

// --- inputs --------------------------------------------------------------------------

void DBtable::ClearBoundInputs() {
  m_connObj.clearInputs();
  m_values.clear();
  invalidate();
}

void DBtable::BindInput(ZQDBDataTypeBase* value) {
  m_connObj.m_inputs.emplace_back(value);
  m_values.clear();
  invalidate();
}

int DBtable::valuesClauseCheck(int size) {
  if (tkdb::journalOn()) tkdb::journalCall("valuesClauseCheck", {m_objectName, std::to_string(size)});
  m_target = Target::Values;
  m_connObj.clearInputs();
  m_values.clear();
  if (size > 0) m_values.reserve(static_cast<size_t>(size));
  invalidate();
  return size < 0 ? DB_ERR_INPUT : DB_OK;
}

int DBtable::querySizeCheck(int size, bool keep) {
  if (tkdb::journalOn()) {
    tkdb::journalCall("querySizeCheck", {m_objectName, std::to_string(size), keep ? "true" : "false"});
  }
  m_target = Target::Query;
  if (!keep) {
    m_query.clear();
    m_queryInputs.clear();
  }
  if (size > 0) m_query.reserve(static_cast<size_t>(size));
  invalidate();
  return size < 0 ? DB_ERR_INPUT : DB_OK;
}

int DBtable::CallDBsprintfWrapper(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const bool query = m_target == Target::Query;
  std::string text = tkdb::formatSqlV(format, args, query ? &m_queryInputs : nullptr);
  va_end(args);
  (query ? m_query : m_values) += text;
  invalidate();
  return DB_OK;
}

// --- execution -----------------------------------------------------------------------

std::shared_ptr<tkdb::Connection> DBtable::connection(int& code) {
  code = DB_OK;
  std::string detail;
  if (m_tran != nullptr && m_tran->isOpen() && m_tran->isPrivate()) {
    // Only ever the private transaction's own connection.
    std::shared_ptr<tkdb::Connection> conn = m_tran->privateConnection(code, detail);
    if (conn) conn->applySchema(detail);
    return conn;
  }
  if (m_tran != nullptr && m_tran->isOpen()) {
    std::shared_ptr<tkdb::Connection> conn = m_tran->openConnection();
    if (conn) {
      conn->applySchema(detail);
      return conn;
    }
  }
  return tkdb::Connection::forThread(code, detail);
}

std::string DBtable::quotedName() const { return tkdb::quoteIdent(m_objectName); }

std::string DBtable::selectSql(int limit) const {
  std::string sql = "SELECT ";
  if (m_columns != nullptr && m_columns->count > 0) {
    for (int i = 0; i < m_columns->count; ++i) {
      if (i > 0) sql += ", ";
      sql += tkdb::quoteIdent(m_columns->cols[i].name);
    }
  } else {
    sql += "*";
  }
  sql += " FROM " + quotedName();
  if (!m_where.empty()) sql += " WHERE " + tkdb::translateDialect(m_where);
  if (!m_orderBy.empty()) sql += " ORDER BY " + tkdb::translateDialect(m_orderBy);
  int effective = m_top > 0 ? m_top : 0;
  if (limit > 0 && (effective == 0 || limit < effective)) effective = limit;
  if (effective > 0) sql += " LIMIT " + std::to_string(effective);
  return sql;
}

int DBtable::fail(const char* call, int code, const std::string& sql, const std::string& detail) {
  // The tag is the function's name: the free row readers, or DBtable's own.
  std::string tag = call;
  if (tag != "getOneRow" && tag != "getNextRow") tag = "DBtable::" + tag;
  const char* object = m_description != nullptr && *m_description != '\0' ? m_description : m_objectName.c_str();
  // Literals are masked: a statement may carry a password.
  EvDebug::Error(tag.c_str(), "%s [%s] failed with %d (%s): %s", object, tkdb::maskLiterals(sql).c_str(), code,
                 getErrorStr(code), detail.c_str());
  return code;
}

int DBtable::gatherInputs(std::vector<tkdb::DbValue>& inputs, std::string& detail) {
  inputs.clear();
  if (!m_connObj.m_inputs.empty()) {
    for (const std::unique_ptr<ZQDBDataTypeBase>& owned : m_connObj.m_inputs) {
      ZQDBDataTypeBase* value = owned.get();
      if (value == nullptr || value->isNull()) {
        inputs.emplace_back();
        continue;
      }
      switch (value->getDataType()) {
        case ZQDB_TYPE_INT: {
          auto* v = dynamic_cast<ZQDB_int*>(value);
          inputs.emplace_back(v != nullptr ? v->getValue() : 0);
          break;
        }
        case ZQDB_TYPE_INT64: {
          auto* v = dynamic_cast<ZQDB_int64*>(value);
          inputs.emplace_back(v != nullptr ? v->getValue() : 0LL);
          break;
        }
        case ZQDB_TYPE_STRING: {
          auto* v = dynamic_cast<ZQDBStringValue*>(value);
          inputs.emplace_back(v != nullptr ? v->getValue() : std::string());
          break;
        }
        case ZQDB_TYPE_DATETIME: {
          auto* v = dynamic_cast<ZQDBDateTimeValue*>(value);
          inputs.emplace_back(v != nullptr ? tkdb::dateTimeText(v->getValue()) : std::string());
          break;
        }
        default:
          detail = "an input of type " + std::to_string(value->getDataType()) + " cannot be passed";
          return DB_ERR_INPUT;
      }
    }
    return DB_OK;
  }
  if (tkdb::parseValuesClause(m_values, inputs)) return DB_OK;
  detail = "the values clause is not a list of literals";
  return DB_ERR_INPUT;
}

int DBtable::runBody(tkdb::Connection& conn, tkdb::ProcLookup& proc, const std::vector<tkdb::DbValue>& inputs,
                     tkdb::DbRows& rows, std::string& detail) {
  journalProcedure(m_objectName, inputs);
  if (proc.overridden) {
    detail = proc.text;
    if (proc.code == DB_OK) rows = std::move(proc.rows);
    return proc.code;
  }
  tkdb::Session session(m_tran);
  std::string error;
  tkdb::ProcCall callInfo{session, inputs, rows, error};
  int code;
  std::lock_guard<std::recursive_mutex> guard(conn.mutex());
  try {
    code = proc.body(callInfo);
  } catch (...) {
    code = DB_ERR_PROC;
    error = "the body threw an exception";
  }
  detail = error;
  if (code != DB_OK) rows.clear();
  return code;
}

int DBtable::execute(const char* call, int limit) {
  invalidate();
  int code = DB_OK;
  std::string text;
  if (tkdb::takeInjectedFailure(call, code, text)) return fail(call, code, "", text);

  std::shared_ptr<tkdb::Connection> conn = connection(code);
  if (!conn) return fail(call, code != DB_OK ? code : DB_ERR_OPEN, "", "no connection");

  tkdb::DbRows rows;
  std::string detail;
  tkdb::ProcLookup proc;
  if (m_kind == ZQDB_KIND_PROCEDURE) {
    std::vector<tkdb::DbValue> inputs;
    code = gatherInputs(inputs, detail);
    if (code != DB_OK) return fail(call, code, m_values, detail);
    if (tkdb::lookupProcedure(m_objectName, proc)) {
      code = runBody(*conn, proc, inputs, rows, detail);
    } else {
      journalProcedure(m_objectName, inputs);
      code = DB_ERR_NO_PROC;
      detail = "no body is registered for " + m_objectName;
    }
    if (code != DB_OK) return fail(call, code, "", detail);
  } else if (m_kind == ZQDB_KIND_CURSOR && tkdb::lookupProcedure(m_objectName, proc)) {
    // The body registered under the cursor's name serves it in place of
    // its text, with the values formatted into the text.
    code = runBody(*conn, proc, m_queryInputs, rows, detail);
    if (code != DB_OK) return fail(call, code, "", detail);
  } else if (m_kind == ZQDB_KIND_CURSOR) {
    // A cursor's text may be a batch: its rows are those of its last query.
    std::string sql = tkdb::translateDialect(m_query);
    if (tkdb::journalOn()) tkdb::journalCall("sql", {m_objectName, call, sql});
    code = conn->run(sql, {}, &rows, detail);
    if (code != DB_OK) return fail(call, code, sql, detail);
  } else {
    std::string sql = selectSql(limit);
    if (tkdb::journalOn()) tkdb::journalCall("sql", {m_objectName, call, sql});
    if (!m_connObj.m_stream) m_connObj.m_stream = std::make_unique<tkdb::RowStream>();
    code = m_connObj.m_stream->open(conn, sql, {}, detail);
    if (code != DB_OK) return fail(call, code, sql, detail);
    m_connObj.m_streaming = true;
  }
  if (limit > 0 && rows.size() > static_cast<size_t>(limit)) rows.resize(static_cast<size_t>(limit));
  m_connObj.m_rows = std::move(rows);
  m_connObj.m_next = 0;
  m_connObj.m_atEnd = false;
  m_connObj.m_executed = true;
  return DB_OK;
}

namespace {

using Cell = tkdb::DbCell;

// The current row of a statement.
struct StatementCells {
  sqlite3_stmt* stmt;
  int count() const { return sqlite3_column_count(stmt); }
  Cell at(int c) const { return tkdb::statementCell(stmt, c); }
};

// A row held in memory (procedure bodies, drained streams).
struct RowCells {
  const tkdb::DbRow& row;
  int count() const { return static_cast<int>(row.size()); }
  Cell at(int c) const { return tkdb::cellOf(row[static_cast<size_t>(c)]); }
};

}  // namespace

template <class Cells>
int DBtable::fillRow(const Cells& cells, std::string& detail) {
  if (m_rowBase == nullptr || m_columns == nullptr) return DB_OK;
  using Write = tkdb::FetchColumn::Write;
  const ZQDBColumnDesc* const cols = m_columns->cols;
  const int columns = m_columns->count;
  std::vector<tkdb::FetchColumn>& plan = m_connObj.m_plan;
  if (!m_connObj.m_planned) {
    m_connObj.m_planned = true;
    std::vector<ZQDBDataTypeBase*> values;
    if (m_catalogue != nullptr) values = m_catalogue->getData();
    plan.resize(static_cast<size_t>(std::max(columns, 0)));
    for (size_t i = 0; i < plan.size(); ++i) {
      tkdb::FetchColumn& p = plan[i];
      p.offset = static_cast<uint32_t>(cols[i].offset);
      p.size = static_cast<uint32_t>(cols[i].size);
      p.extent = p.size;
      p.field = cols[i].field;
      ZQDBDataTypeBase* value = i < values.size() ? values[i] : nullptr;
      p.value = value;
      if (value == nullptr) {
        p.write = Write::None;
      } else if (dynamic_cast<ZQDB_int*>(value) != nullptr) {
        p.write = Write::Int;
      } else if (dynamic_cast<ZQDB_int64*>(value) != nullptr) {
        p.write = Write::Int64;
      } else if (typeid(*value) == typeid(ZQDB_string)) {
        // Texts and date-times are written past setData only into the
        // engine's own types: a type derived from them may give setData a
        // meaning of its own.
        p.write = Write::Text;
      } else if (typeid(*value) == typeid(ZQDB_datetime)) {
        p.write = Write::DateTime;
      } else {
        p.write = Write::Value;
      }
    }
  }
  // Read once into locals: the fields written below are reached through a
  // char pointer, which the compiler must assume may change any member.
  char* const base = static_cast<char*>(m_rowBase);
  auto* const indicators = static_cast<long long*>(m_connObj.m_indicators);
  tkdb::FetchColumn* const planData = plan.data();
  const int present = cells.count();
  int result = DB_OK;
  for (int i = 0; i < columns; ++i) {
    tkdb::FetchColumn& col = planData[i];
    const Cell v = i < present ? cells.at(i) : Cell();
    char* field = base + col.offset;
    long long indicator = ZQDB_NULL_DATA;
    ZQDBDataTypeBase* value = col.value;
    // Set when an engine helper wrote the catalogue's value and marked it
    // not NULL: nothing is left to do for it.
    bool marked = false;
    switch (col.field) {
      case ZQDBFieldKind::Int32:
      case ZQDBFieldKind::Int64: {
        long long n = 0;
        bool ok = tkdb::integerOf(v, n, true);
        if (ok && col.field == ZQDBFieldKind::Int32 && (n < INT_MIN || n > INT_MAX)) ok = false;
        if (!ok) {
          detail = std::string("column ") + cols[i].name + " holds a value that is not a number of its width";
          result = DB_ERR_CONVERT;
          n = 0;
        }
        if (col.field == ZQDBFieldKind::Int32) {
          int n32 = static_cast<int>(n);
          std::memcpy(field, &n32, sizeof n32);
          if (!v.isNull()) indicator = sizeof n32;
          if (col.write == Write::Int) {
            static_cast<ZQDB_int*>(value)->assign(n32);
            marked = true;
          }
        } else {
          std::memcpy(field, &n, sizeof n);
          if (!v.isNull()) indicator = sizeof n;
          if (col.write == Write::Int64) {
            static_cast<ZQDB_int64*>(value)->assign(n);
            marked = true;
          }
        }
        break;
      }
      case ZQDBFieldKind::DateTime: {
        auto* dt = reinterpret_cast<DB_DATETIME*>(field);
        tagTIMESTAMP_STRUCT ts{0, 0, 0, 0, 0, 0, 0};
        // The text form the engine writes is read at fixed places and is
        // its own text form; any other form is read and written again.
        char formatted[64];
        std::string_view text;
        if (!v.isNull()) {
          if (v.type == tkdb::DbValue::Type::Text && tkdb::parseStoredDateTime(v.text, ts)) {
            text = v.text;
          } else if (!tkdb::parseDateTime(v, ts)) {
            detail = std::string("column ") + cols[i].name + " holds a value that is not a date and time";
            result = DB_ERR_CONVERT;
          }
        }
        *dt = ts;
        if (!v.isNull() && result == DB_OK) {
          if (text.data() == nullptr) text = std::string_view(formatted, tkdb::putDateTimeText(ts, formatted));
          const size_t n = std::min(text.size(), sizeof dt->text - 1);
          std::memcpy(dt->text, text.data(), n);
          dt->text[n] = '\0';
          indicator = sizeof(tagTIMESTAMP_STRUCT);
        }
        if (col.write == Write::DateTime) {
          static_cast<ZQDB_datetime*>(value)->assignTimestamp(ts);
          marked = true;
        } else if (value != nullptr) {
          value->setData(reinterpret_cast<const char*>(&ts), 0, sizeof ts, false);
        }
        break;
      }
      case ZQDBFieldKind::FixedText:
      case ZQDBFieldKind::HeapText: {
        // Texts go straight from the row into the field and the catalogue;
        // only a number read as text is formatted first.
        std::string formatted;
        std::string_view text = v.text;
        if (v.type == tkdb::DbValue::Type::Int || v.type == tkdb::DbValue::Type::Real) {
          formatted = tkdb::textOf(v.value());
          text = formatted;
        }
        size_t n = text.size();
        if (col.field == ZQDBFieldKind::FixedText) {
          std::size_t extent = col.extent;
          n = tkdb::putFixedText(field, col.size, text, extent);
          col.extent = static_cast<uint32_t>(extent);
        } else {
          char*& heap = *reinterpret_cast<char**>(field);
          if (v.isNull()) {
            delete[] heap;
            heap = nullptr;
          } else {
            tkdb::putHeapText(heap, text);
          }
        }
        if (!v.isNull()) indicator = static_cast<long long>(text.size());
        if (col.field == ZQDBFieldKind::FixedText || !v.isNull()) {
          const char* data = text.empty() ? "" : text.data();
          if (col.write == Write::Text) {
            static_cast<ZQDB_string*>(value)->assignText(data, n);
            marked = true;
          } else if (value != nullptr) {
            value->setData(data, 0, static_cast<int>(n), false);
          }
        }
        break;
      }
    }
    if (value != nullptr && (v.isNull() || !marked)) value->setInternalNull(v.isNull());
    if (indicators != nullptr) indicators[i] = indicator;
  }
  return result;
}

int DBtable::fetchNext(const char* call) {
  ZQSimpleDBConnObject& state = m_connObj;
  if (state.m_atEnd) return DB_NO_ROW;
  std::string detail;
  int code;
  if (state.m_streaming) {
    // Under the connection's mutex: the row must not be drained away while
    // it is read.
    std::lock_guard<std::recursive_mutex> guard(state.m_stream->mutex());
    code = state.m_stream->next(detail);
    if (code == DB_NO_ROW) {
      state.m_atEnd = true;
      return DB_NO_ROW;
    }
    if (code != DB_OK) {
      state.m_atEnd = true;
      return fail(call, code, "", detail);
    }
    ++state.m_next;
    if (sqlite3_stmt* stmt = state.m_stream->statement()) {
      code = fillRow(StatementCells{stmt}, detail);
    } else {
      code = fillRow(RowCells{*state.m_stream->drainedRow()}, detail);
    }
  } else {
    if (state.m_next >= state.m_rows.size()) {
      state.m_atEnd = true;
      return DB_NO_ROW;
    }
    code = fillRow(RowCells{state.m_rows[state.m_next++]}, detail);
  }
  if (code != DB_OK) return fail("fetch", code, "", detail);
  return DB_OK;
}

int getOneRow(DBtable* object, bool /*lock*/, int /*a*/, int /*b*/) {
  if (object == nullptr) return DB_ERR_STATE;
  int code = object->execute("getOneRow", 1);
  if (code != DB_OK) return code;
  int result = object->fetchNext("getOneRow");
  // One row, no open cursor: a following getNextRow runs the query afresh.
  object->invalidate();
  return result;
}

int getNextRow(DBtable* object, int* count, int /*a*/, int /*b*/) {
  if (object == nullptr) return DB_ERR_STATE;
  ZQSimpleDBConnObject& state = object->m_connObj;
  if (!state.m_executed) {
    int code = object->execute("getNextRow", 0);
    if (code != DB_OK) return code;
  }
  int code = object->fetchNext("getNextRow");
  if (count != nullptr) *count = static_cast<int>(state.m_next);
  return code;
}

int DBtable::openCursor() { return execute("openCursor", 0); }

int DBtable::fetchCursor(bool closeAtEnd) {
  if (!m_connObj.m_executed) {
    int code = execute("openCursor", 0);
    if (code != DB_OK) return code;
  }
  int code = fetchNext("fetchCursor");
  if (code == DB_NO_ROW && closeAtEnd) {
    // Closed: its rows are let go, and further fetches stay at the end
    // until it is opened again.
    if (m_connObj.m_stream) m_connObj.m_stream->close();
    m_connObj.m_rows.clear();
  }
  return code;
}

// --- writes --------------------------------------------------------------------------

int DBtable::rowInsert(bool fetchIdentity) {
  int code = DB_OK;
  std::string text;
  if (tkdb::takeInjectedFailure("rowInsert", code, text)) return fail("rowInsert", code, "", text);
  if (m_kind != ZQDB_KIND_TABLE || m_rowBase == nullptr || m_columns == nullptr) {
    return fail("rowInsert", DB_ERR_STATE, "", "the object has no row to insert");
  }
  std::string names;
  std::string marks;
  std::vector<tkdb::DbValue> values;
  const ZQDBColumnDesc* serial = nullptr;
  for (int i = 0; i < m_columns->count; ++i) {
    const ZQDBColumnDesc& col = m_columns->cols[i];
    if (sameName(col.name, m_serialColName)) {
      serial = &col;
      continue;  // the database assigns the identity
    }
    values.push_back(tkdb::fieldValue(col, m_rowBase));
    if (!names.empty()) {
      names += ", ";
      marks += ", ";
    }
    names += tkdb::quoteIdent(col.name);
    marks += "?";
  }
  std::string sql = "INSERT INTO " + quotedName();
  sql += names.empty() ? std::string(" DEFAULT VALUES") : " (" + names + ") VALUES (" + marks + ")";
  if (serial != nullptr) sql += " RETURNING " + tkdb::quoteIdent(serial->name);

  std::shared_ptr<tkdb::Connection> conn = connection(code);
  if (!conn) return fail("rowInsert", code != DB_OK ? code : DB_ERR_OPEN, sql, "no connection");
  if (tkdb::journalOn()) tkdb::journalCall("sql", {m_objectName, "rowInsert", sql});
  tkdb::DbRows rows;
  std::string detail;
  code = conn->runSingle(sql, values, &rows, detail);
  if (code != DB_OK) return fail("rowInsert", code, sql, detail);
  if (fetchIdentity && serial != nullptr && !rows.empty() && !rows.front().empty()) {
    long long id = rows.front().front().i;
    char* field = static_cast<char*>(m_rowBase) + serial->offset;
    if (serial->field == ZQDBFieldKind::Int32) {
      int id32 = static_cast<int>(id);
      std::memcpy(field, &id32, sizeof id32);
    } else if (serial->field == ZQDBFieldKind::Int64) {
      std::memcpy(field, &id, sizeof id);
    }
  }
  return DB_OK;
}

int DBtable::rowUpdate(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string set = tkdb::formatSqlV(format, args);
  va_end(args);
  int code = DB_OK;
  std::string text;
  if (tkdb::takeInjectedFailure("rowUpdate", code, text)) return fail("rowUpdate", code, "", text);
  if (m_kind != ZQDB_KIND_TABLE) return fail("rowUpdate", DB_ERR_STATE, "", "the object is not a table");
  return change("rowUpdate", "UPDATE " + quotedName() + " SET " + tkdb::translateDialect(set));
}

int DBtable::rowDelete() {
  int code = DB_OK;
  std::string text;
  if (tkdb::takeInjectedFailure("rowDelete", code, text)) return fail("rowDelete", code, "", text);
  if (m_kind != ZQDB_KIND_TABLE) return fail("rowDelete", DB_ERR_STATE, "", "the object is not a table");
  return change("rowDelete", "DELETE FROM " + quotedName());
}

int DBtable::change(const char* call, const std::string& statement) {
  // A change without a where clause would take the whole table: no caller
  // means that, so it is refused before it reaches the database.
  bool blank = std::all_of(m_where.begin(), m_where.end(),
                           [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; });
  if (blank) return fail(call, DB_ERR_NO_WHERE, statement, "the statement has no where clause");
  std::string sql = statement + " WHERE " + tkdb::translateDialect(m_where);
  int code = DB_OK;
  std::shared_ptr<tkdb::Connection> conn = connection(code);
  if (!conn) return fail(call, code != DB_OK ? code : DB_ERR_OPEN, sql, "no connection");
  if (tkdb::journalOn()) tkdb::journalCall("sql", {m_objectName, call, sql});
  std::string detail;
  int changes = 0;
  code = conn->runSingle(sql, {}, nullptr, detail, &changes);
  if (code != DB_OK) return fail(call, code, sql, detail);
  return changes > 0 ? DB_OK : DB_NO_ROW;
}
