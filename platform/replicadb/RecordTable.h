// One table of the replica database per kind of record, driven by a list of
// columns: each column names a field of the record, how it is declared, and
// the change-mask bit that marks it (0: none). The same list makes the
// CREATE statement, the select list, the insert and the updates, so a field
// is stored, read back and updated in one way for every kind.
//
//   const RecordTable<QRApplianceRecord_t>& t = appliances();
//   int32_t id = -1;
//   int rc = t.insert(session, record, id);        // a fresh id, never reused
//   rc = t.select(session, "WHERE applianceId = ?", {id}, found);
//   rc = t.update(session, record, kWholeRecord, changed);
//
// A table of an older record version (a base of the latest one) lists only
// the fields that version has: a whole-record update through it stores those
// fields and leaves the rest. Every text and value reaches SQL as a bound
// parameter. Results are the engine's codes (0, 100, or an error).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/db/DBSession.h"
#include "platform/db/DBValue.h"

namespace tkreplicadb {

// The update mask that stores every field of the table's record version.
inline constexpr int32_t kWholeRecord = -1;

// A record as it starts: its default constructor, or its documented empty
// value where it has none.
template <class R>
R blankRecord() {
  if constexpr (std::is_default_constructible_v<R>) {
    return R{};
  } else {
    return R::empty();
  }
}

template <class R>
struct Column {
  std::string name;
  bool isText = false;
  int32_t maskBit = 0;
  std::function<tkdb::DbValue(const R&)> get;
  std::function<void(R&, const tkdb::DbValue&)> set;
};

// A column over a field of R (or of a base of R).
template <class R, class B, class T>
Column<R> column(const char* name, T B::*member, int32_t maskBit = 0) {
  static_assert(std::is_base_of_v<B, R>, "the field must belong to the record");
  Column<R> c;
  c.name = name;
  c.maskBit = maskBit;
  c.isText = std::is_same_v<T, std::string>;
  c.get = [member](const R& record) -> tkdb::DbValue {
    const T& value = record.*member;
    if constexpr (std::is_same_v<T, std::string>) {
      return tkdb::DbValue(value);
    } else if constexpr (std::is_same_v<T, bool>) {
      return tkdb::DbValue(value ? 1 : 0);
    } else {
      static_assert(std::is_integral_v<T>, "numbers, flags and texts only");
      return tkdb::DbValue(static_cast<long long>(value));
    }
  };
  c.set = [member](R& record, const tkdb::DbValue& value) {
    T& field = record.*member;
    if constexpr (std::is_same_v<T, std::string>) {
      field = tkdb::textOf(value);
    } else {
      long long number = 0;
      if (!tkdb::integerOf(value, number, false)) number = 0;
      if constexpr (std::is_same_v<T, bool>) {
        field = number != 0;
      } else {
        field = static_cast<T>(number);
      }
    }
  };
  return c;
}

template <class R>
class RecordTable {
 public:
  // `id` is the record's own id column: with `autoId` the table makes it
  // (a fresh one each time, never one used before), otherwise the caller
  // gives it; a table without an id column passes an empty name. `extra`
  // declares further columns that are no field of the record.
  RecordTable(std::string table, Column<R> id, bool autoId, std::vector<Column<R>> columns,
              std::string extra = std::string())
      : m_table(std::move(table)),
        m_id(std::move(id)),
        m_autoId(autoId),
        m_columns(std::move(columns)),
        m_extra(std::move(extra)) {}

  const std::string& name() const { return m_table; }
  bool hasId() const { return !m_id.name.empty(); }

  std::string createSql() const {
    const R blank = blankRecord<R>();
    std::string sql = "CREATE TABLE IF NOT EXISTS \"" + m_table + "\" (";
    bool first = true;
    if (hasId()) {
      sql += "\"" + m_id.name + "\" INTEGER PRIMARY KEY" + (m_autoId ? " AUTOINCREMENT" : "");
      first = false;
    }
    for (const Column<R>& c : m_columns) {
      if (!first) sql += ", ";
      first = false;
      sql += "\"" + c.name + "\" ";
      sql += c.isText ? "TEXT NOT NULL DEFAULT ''" : "INTEGER NOT NULL DEFAULT " + c.get(blank).describe();
    }
    if (!m_extra.empty()) sql += ", " + m_extra;
    sql += ")";
    return sql;
  }

  // The rows that `tail` (a where and order clause over bound parameters)
  // picks, in id order unless `tail` orders them.
  // Each row becomes its record as it is read: a listing of many rows
  // holds the records, not a copy of every row beside them.
  int select(tkdb::Session& session, const std::string& tail, const std::vector<tkdb::DbValue>& params,
             std::vector<R>& out) const {
    std::string order = tail.find("ORDER BY") == std::string::npos && hasId() ? " ORDER BY \"" + m_id.name + "\"" : "";
    std::vector<R> found;
    int rc = session.each("SELECT " + selectList() + " FROM \"" + m_table + "\" " + tail + order, params,
                          [&](const tkdb::RowView& row) {
                            found.push_back(fromView(row));
                            return 0;
                          });
    if (rc != 0) return rc;
    if (out.empty()) {
      out = std::move(found);
    } else {
      for (R& record : found) out.push_back(std::move(record));
    }
    return 0;
  }
  // The first such row: 0, or 100 when there is none.
  int selectOne(tkdb::Session& session, const std::string& tail, const std::vector<tkdb::DbValue>& params,
                R& out) const {
    std::vector<R> found;
    int rc = select(session, tail, params, found);
    if (rc != 0) return rc;
    if (found.empty()) return DB_NO_ROW;
    out = std::move(found.front());
    return 0;
  }
  // The record with that id: 0, or 100.
  int byId(tkdb::Session& session, long long id, R& out) const {
    return selectOne(session, "WHERE \"" + m_id.name + "\" = ?", {tkdb::DbValue(id)}, out);
  }

  // Stores the record; with a made id, `newId` is the fresh one, otherwise
  // the record's own.
  int insert(tkdb::Session& session, const R& record, int32_t& newId) const {
    std::string names, marks;
    std::vector<tkdb::DbValue> params;
    if (hasId() && !m_autoId) add(m_id, record, names, marks, params);
    for (const Column<R>& c : m_columns) add(c, record, names, marks, params);
    int rc = session.exec("INSERT INTO \"" + m_table + "\" (" + names + ") VALUES (" + marks + ")", params);
    if (rc != 0) return rc;
    if (hasId()) newId = m_autoId ? static_cast<int32_t>(session.lastInsertId()) : idOf(record);
    return 0;
  }

  // Changes the record with the record's id: the columns whose bit `mask`
  // holds, or every column with kWholeRecord. `changed` is the number of
  // rows changed (0: no such record, or nothing marked).
  int update(tkdb::Session& session, const R& record, int32_t mask, int& changed) const {
    changed = 0;
    std::string sets;
    std::vector<tkdb::DbValue> params;
    for (const Column<R>& c : m_columns) {
      if (mask != kWholeRecord && (c.maskBit == 0 || (mask & c.maskBit) == 0)) continue;
      if (!sets.empty()) sets += ", ";
      sets += "\"" + c.name + "\" = ?";
      params.push_back(c.get(record));
    }
    if (sets.empty()) return 0;
    params.push_back(m_id.get(record));
    int rc = session.exec("UPDATE \"" + m_table + "\" SET " + sets + " WHERE \"" + m_id.name + "\" = ?", params);
    if (rc == 0) changed = session.changes();
    return rc;
  }

  // Deletes the rows that `where` picks; `changed` counts them.
  int remove(tkdb::Session& session, const std::string& where, const std::vector<tkdb::DbValue>& params,
             int& changed) const {
    int rc = session.exec("DELETE FROM \"" + m_table + "\" " + where, params);
    changed = rc == 0 ? session.changes() : 0;
    return rc;
  }

  int32_t idOf(const R& record) const {
    long long id = 0;
    tkdb::integerOf(m_id.get(record), id, false);
    return static_cast<int32_t>(id);
  }

 private:
  std::string selectList() const {
    std::string list;
    if (hasId()) list = "\"" + m_id.name + "\"";
    for (const Column<R>& c : m_columns) list += (list.empty() ? "\"" : ", \"") + c.name + "\"";
    return list;
  }
  R fromView(const tkdb::RowView& row) const {
    R record = blankRecord<R>();
    int i = 0;
    if (hasId()) m_id.set(record, row.at(i++).value());
    for (const Column<R>& c : m_columns) c.set(record, row.at(i++).value());
    return record;
  }
  static void add(const Column<R>& c, const R& record, std::string& names, std::string& marks,
                  std::vector<tkdb::DbValue>& params) {
    if (!names.empty()) {
      names += ", ";
      marks += ", ";
    }
    names += "\"" + c.name + "\"";
    marks += "?";
    params.push_back(c.get(record));
  }

  std::string m_table;
  Column<R> m_id;
  bool m_autoId;
  std::vector<Column<R>> m_columns;
  std::string m_extra;
};

}  // namespace tkreplicadb
