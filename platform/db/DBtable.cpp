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

#include "Db/ZQDBRowBase.h"
#include "platform/db/DBInternal.h"
#include "platform/db/SqlText.h"

int DBtable::b_newDBBase = 1;
FXCriticalSection DBtable::DBCriticalSection;

namespace {

bool sameName(const char* a, const char* b) {
  if (a == nullptr || b == nullptr) return false;
  return strcasecmp(a, b) == 0;
}

// One literal of a values clause: 'text' (quotes doubled), N'text', NULL or
// a number.
int parseValuesClause(const std::string& clause, std::vector<tkdb::DbValue>& out) {
  out.clear();
  size_t i = 0;
  auto skip = [&]() {
    while (i < clause.size() && std::isspace(static_cast<unsigned char>(clause[i])) != 0) ++i;
  };
  skip();
  if (i >= clause.size()) return DB_OK;
  while (true) {
    skip();
    if (i >= clause.size()) return DB_ERR_INPUT;
    if ((clause[i] == 'N' || clause[i] == 'n') && i + 1 < clause.size() && clause[i + 1] == '\'') ++i;
    if (clause[i] == '\'') {
      std::string text;
      ++i;
      bool closed = false;
      while (i < clause.size()) {
        if (clause[i] == '\'') {
          if (i + 1 < clause.size() && clause[i + 1] == '\'') {
            text += '\'';
            i += 2;
            continue;
          }
          ++i;
          closed = true;
          break;
        }
        text += clause[i++];
      }
      if (!closed) return DB_ERR_INPUT;
      out.emplace_back(std::move(text));
    } else {
      size_t start = i;
      while (i < clause.size() && clause[i] != ',') ++i;
      std::string token = clause.substr(start, i - start);
      while (!token.empty() && std::isspace(static_cast<unsigned char>(token.back())) != 0) token.pop_back();
      if (strcasecmp(token.c_str(), "NULL") == 0) {
        out.emplace_back();
      } else {
        char* end = nullptr;
        errno = 0;
        long long n = std::strtoll(token.c_str(), &end, 10);
        if (!token.empty() && errno == 0 && end != nullptr && *end == '\0') {
          out.emplace_back(n);
        } else {
          char* dend = nullptr;
          double d = std::strtod(token.c_str(), &dend);
          if (token.empty() || dend == nullptr || *dend != '\0') return DB_ERR_INPUT;
          out.emplace_back(d);
        }
      }
    }
    skip();
    if (i >= clause.size()) return DB_OK;
    if (clause[i] != ',') return DB_ERR_INPUT;
    ++i;
  }
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

DBtable::DBtable(const char* objectName, int /*unused*/, DBtran* tran)
    : m_objectName(objectName != nullptr ? objectName : ""), m_tran(tran), m_connObj(new ZQSimpleDBConnObject()) {
  if (m_tran != nullptr) m_tran->attach(this);
}

DBtable::~DBtable() {
  if (m_tran != nullptr) m_tran->detach(this);
  m_tran = nullptr;
  delete m_connObj;
  m_connObj = nullptr;
}

void DBtable::registerInTransaction(const char* className, const char* header, int line) {
  DBCriticalSection.Lock();
  try {
    if (m_tran != nullptr) m_tran->addObject(this);
  } catch (...) {
    // The address goes to %08x as its low 32 bits.
    log_error(header, line, "%s Constructor [0x%08x], caught an exception", className != nullptr ? className : "",
              static_cast<unsigned int>(reinterpret_cast<uintptr_t>(this) & 0xFFFFFFFFu));
  }
  DBCriticalSection.Unlock();
}

void DBtable::dataBindClearFirstTime() { m_connObj->clearResult(); }

void DBtable::dataBindClear() {
  m_connObj->clearResult();
  m_connObj->clearInputs();
}

// --- clauses -------------------------------------------------------------------------

void DBtable::invalidate() { m_connObj->clearResult(); }

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
  m_connObj->clearInputs();
  m_values.clear();
  invalidate();
}

void DBtable::BindInput(ZQDBDataTypeBase* value) {
  m_connObj->m_inputs.push_back(value);
  m_values.clear();
  invalidate();
}

int DBtable::valuesClauseCheck(int size) {
  tkdb::journalCall("valuesClauseCheck", {m_objectName, std::to_string(size)});
  m_target = Target::Values;
  m_connObj->clearInputs();
  m_values.clear();
  if (size > 0) m_values.reserve(static_cast<size_t>(size));
  invalidate();
  return size < 0 ? DB_ERR_INPUT : DB_OK;
}

int DBtable::querySizeCheck(int size, bool keep) {
  tkdb::journalCall("querySizeCheck", {m_objectName, std::to_string(size), keep ? "true" : "false"});
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
  if (!m_connObj->m_inputs.empty()) {
    for (ZQDBDataTypeBase* value : m_connObj->m_inputs) {
      if (value == nullptr || value->isNull()) {
        inputs.emplace_back();
        continue;
      }
      switch (value->getDataType()) {
        case 1: {
          auto* v = dynamic_cast<ZQDB_int*>(value);
          inputs.emplace_back(v != nullptr ? v->getValue() : 0);
          break;
        }
        case 4: {
          auto* v = dynamic_cast<ZQDB_int64*>(value);
          inputs.emplace_back(v != nullptr ? v->getValue() : 0LL);
          break;
        }
        case 6: {
          auto* v = dynamic_cast<ZQDBCompositeType<std::string, 6>*>(value);
          inputs.emplace_back(v != nullptr ? v->getValue() : std::string());
          break;
        }
        case 5: {
          auto* v = dynamic_cast<ZQDBCompositeType<ZQTIMESTAMP_STRUCT, 5>*>(value);
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
  int rc = parseValuesClause(m_values, inputs);
  if (rc != DB_OK) detail = "the values clause is not a list of literals";
  return rc;
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
  } else {
    std::string sql = m_kind == ZQDB_KIND_CURSOR ? tkdb::translateDialect(m_query) : selectSql(limit);
    if (tkdb::journalOn()) tkdb::journalCall("sql", {m_objectName, call, sql});
    code = conn->run(sql, {}, &rows, detail);
    if (code != DB_OK) return fail(call, code, sql, detail);
  }
  if (limit > 0 && rows.size() > static_cast<size_t>(limit)) rows.resize(static_cast<size_t>(limit));
  m_connObj->m_rows = std::move(rows);
  m_connObj->m_next = 0;
  m_connObj->m_executed = true;
  return DB_OK;
}

int DBtable::fetchInto(size_t index) {
  std::string detail;
  int code = fillRow(m_connObj->m_rows[index], detail);
  if (code != DB_OK) return fail("fetch", code, "", detail);
  return DB_OK;
}

int DBtable::fillRow(const tkdb::DbRow& values, std::string& detail) {
  if (m_rowBase == nullptr || m_columns == nullptr) return DB_OK;
  char* base = static_cast<char*>(m_rowBase);
  auto* indicators = static_cast<long long*>(m_connObj->m_indicators);
  std::vector<ZQDBDataTypeBase*> catalogue;
  if (m_catalogue != nullptr) catalogue = m_catalogue->getData();
  static const tkdb::DbValue kNull;
  int result = DB_OK;
  for (int i = 0; i < m_columns->count; ++i) {
    const ZQDBColumnDesc& col = m_columns->cols[i];
    const tkdb::DbValue& v = static_cast<size_t>(i) < values.size() ? values[static_cast<size_t>(i)] : kNull;
    char* field = base + col.offset;
    long long indicator = ZQDB_NULL_DATA;
    ZQDBDataTypeBase* value = static_cast<size_t>(i) < catalogue.size() ? catalogue[static_cast<size_t>(i)] : nullptr;
    switch (col.field) {
      case ZQDBFieldKind::Int32:
      case ZQDBFieldKind::Int64: {
        long long n = 0;
        bool ok = tkdb::integerOf(v, n, true);
        if (ok && col.field == ZQDBFieldKind::Int32 && (n < INT_MIN || n > INT_MAX)) ok = false;
        if (!ok) {
          detail = std::string("column ") + col.name + " holds a value that is not a number of its width";
          result = DB_ERR_CONVERT;
          n = 0;
        }
        if (col.field == ZQDBFieldKind::Int32) {
          int n32 = static_cast<int>(n);
          std::memcpy(field, &n32, sizeof n32);
          if (!v.isNull()) indicator = sizeof n32;
          if (auto* typed = dynamic_cast<ZQDB_int*>(value)) typed->assign(n32);
        } else {
          std::memcpy(field, &n, sizeof n);
          if (!v.isNull()) indicator = sizeof n;
          if (auto* typed = dynamic_cast<ZQDB_int64*>(value)) typed->assign(n);
        }
        break;
      }
      case ZQDBFieldKind::DateTime: {
        auto* dt = reinterpret_cast<DB_DATETIME*>(field);
        tagTIMESTAMP_STRUCT ts{0, 0, 0, 0, 0, 0, 0};
        if (!v.isNull() && !tkdb::parseDateTime(v, ts)) {
          detail = std::string("column ") + col.name + " holds a value that is not a date and time";
          result = DB_ERR_CONVERT;
        }
        *dt = ts;
        if (!v.isNull() && result == DB_OK) {
          std::string text = tkdb::dateTimeText(ts);
          strncpy_s(dt->text, sizeof dt->text, text.c_str(), sizeof dt->text - 1);
          indicator = sizeof(tagTIMESTAMP_STRUCT);
        }
        if (value != nullptr) {
          value->setData(reinterpret_cast<const char*>(&ts), 0, sizeof ts, false);
        }
        break;
      }
      case ZQDBFieldKind::FixedText: {
        std::string text = tkdb::textOf(v);
        size_t n = tkdb::putFixedText(field, col.size, text);
        if (!v.isNull()) indicator = static_cast<long long>(text.size());
        if (value != nullptr) value->setData(text.data(), 0, static_cast<int>(n), false);
        break;
      }
      case ZQDBFieldKind::HeapText: {
        char*& heap = *reinterpret_cast<char**>(field);
        tkdb::putHeapText(heap, v);
        if (!v.isNull()) {
          std::string text = tkdb::textOf(v);
          indicator = static_cast<long long>(text.size());
          if (value != nullptr) value->setData(text.data(), 0, static_cast<int>(text.size()), false);
        }
        break;
      }
    }
    if (value != nullptr) value->setInternalNull(v.isNull());
    if (indicators != nullptr) indicators[i] = indicator;
  }
  return result;
}

int getOneRow(DBtable* object, bool /*lock*/, int /*a*/, int /*b*/) {
  if (object == nullptr) return DB_ERR_STATE;
  int code = object->execute("getOneRow", 1);
  if (code != DB_OK) return code;
  int result = object->m_connObj->m_rows.empty() ? DB_NO_ROW : object->fetchInto(0);
  // One row, no open cursor: a following getNextRow runs the query afresh.
  object->invalidate();
  return result;
}

int getNextRow(DBtable* object, int* count, int /*a*/, int /*b*/) {
  if (object == nullptr) return DB_ERR_STATE;
  ZQSimpleDBConnObject* state = object->m_connObj;
  if (!state->m_executed) {
    int code = object->execute("getNextRow", 0);
    if (code != DB_OK) return code;
  }
  if (state->m_next >= state->m_rows.size()) {
    if (count != nullptr) *count = static_cast<int>(state->m_next);
    return DB_NO_ROW;
  }
  int code = object->fetchInto(state->m_next++);
  if (count != nullptr) *count = static_cast<int>(state->m_next);
  return code;
}

int DBtable::openCursor() { return execute("openCursor", 0); }

int DBtable::fetchCursor(bool closeAtEnd) {
  if (!m_connObj->m_executed) {
    int code = execute("openCursor", 0);
    if (code != DB_OK) return code;
  }
  if (m_connObj->m_next >= m_connObj->m_rows.size()) {
    if (closeAtEnd) {
      // Closed: its rows are let go, and further fetches stay at the end
      // until it is opened again.
      m_connObj->m_rows.clear();
      m_connObj->m_next = 0;
    }
    return DB_NO_ROW;
  }
  return fetchInto(m_connObj->m_next++);
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
  code = conn->run(sql, values, &rows, detail);
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
  std::string sql = "UPDATE " + quotedName() + " SET " + tkdb::translateDialect(set);
  if (!m_where.empty()) sql += " WHERE " + tkdb::translateDialect(m_where);
  std::shared_ptr<tkdb::Connection> conn = connection(code);
  if (!conn) return fail("rowUpdate", code != DB_OK ? code : DB_ERR_OPEN, sql, "no connection");
  if (tkdb::journalOn()) tkdb::journalCall("sql", {m_objectName, "rowUpdate", sql});
  std::string detail;
  int changes = 0;
  code = conn->run(sql, {}, nullptr, detail, nullptr, &changes);
  if (code != DB_OK) return fail("rowUpdate", code, sql, detail);
  return changes > 0 ? DB_OK : DB_NO_ROW;
}

int DBtable::rowDelete() {
  int code = DB_OK;
  std::string text;
  if (tkdb::takeInjectedFailure("rowDelete", code, text)) return fail("rowDelete", code, "", text);
  if (m_kind != ZQDB_KIND_TABLE) return fail("rowDelete", DB_ERR_STATE, "", "the object is not a table");
  std::string sql = "DELETE FROM " + quotedName();
  if (!m_where.empty()) sql += " WHERE " + tkdb::translateDialect(m_where);
  std::shared_ptr<tkdb::Connection> conn = connection(code);
  if (!conn) return fail("rowDelete", code != DB_OK ? code : DB_ERR_OPEN, sql, "no connection");
  if (tkdb::journalOn()) tkdb::journalCall("sql", {m_objectName, "rowDelete", sql});
  std::string detail;
  int changes = 0;
  code = conn->run(sql, {}, nullptr, detail, nullptr, &changes);
  if (code != DB_OK) return fail("rowDelete", code, sql, detail);
  return changes > 0 ? DB_OK : DB_NO_ROW;
}
