#include "tests/support/TestDatabase.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "platform/db/DBSession.h"
#include "platform/db/DBtable.h"
#include "platform/testkit/db.h"

namespace tktest {

TestDatabase::TestDatabase()
    : m_path(m_dir.file("var/tarnkeep.db")), m_env("TK_DB", m_path) {
  testkit::db::reset();
}

TestDatabase::~TestDatabase() {
  // Closes this thread's connection before the file goes; other threads'
  // connections reopen on their next use.
  testkit::db::reset();
}

int TestDatabase::exec(const std::string& sql, const std::vector<tkdb::DbValue>& params) {
  tkdb::Session session;
  return session.exec(sql, params);
}

tkdb::DbRows TestDatabase::query(const std::string& sql, const std::vector<tkdb::DbValue>& params) {
  tkdb::Session session;
  tkdb::DbRows rows;
  int code = session.query(sql, params, rows);
  if (code != 0) {
    ADD_FAILURE() << "query failed (" << code << ": " << DBtable::getErrorStr(code) << "): " << session.errorText()
                  << "\n  " << sql;
  }
  return rows;
}

long long TestDatabase::scalar(const std::string& sql, const std::vector<tkdb::DbValue>& params) {
  tkdb::DbRows rows = query(sql, params);
  if (rows.empty() || rows.front().empty()) return -1;
  const tkdb::DbValue& v = rows.front().front();
  if (v.type == tkdb::DbValue::Type::Int) return v.i;
  if (v.type == tkdb::DbValue::Type::Real) return static_cast<long long>(v.r);
  if (v.type == tkdb::DbValue::Type::Text) return std::atoll(v.s.c_str());
  return 0;
}

std::string TestDatabase::text(const std::string& sql, const std::vector<tkdb::DbValue>& params) {
  tkdb::DbRows rows = query(sql, params);
  if (rows.empty() || rows.front().empty()) return std::string();
  const tkdb::DbValue& v = rows.front().front();
  if (v.type == tkdb::DbValue::Type::Text) return v.s;
  if (v.type == tkdb::DbValue::Type::Int) return std::to_string(v.i);
  return std::string();
}

void TestDatabase::execElsewhere(const std::string& sql) { sqlByHand(m_path, sql); }

std::string sqlByHand(const std::string& path, const std::string& statements) {
  sqlite3* handle = nullptr;
  if (sqlite3_open(path.c_str(), &handle) != SQLITE_OK) {
    ADD_FAILURE() << "cannot open " << path << ": " << sqlite3_errmsg(handle);
    sqlite3_close(handle);
    return std::string();
  }
  sqlite3_busy_timeout(handle, 10000);
  std::string out;
  char* error = nullptr;
  EXPECT_EQ(sqlite3_exec(handle, statements.c_str(),
                         [](void* text, int, char** values, char**) {
                           auto& o = *static_cast<std::string*>(text);
                           o += (o.empty() ? "" : ";") + std::string(values[0] != nullptr ? values[0] : "");
                           return 0;
                         },
                         &out, &error),
            SQLITE_OK)
      << (error ? error : "") << "\n" << statements;
  sqlite3_free(error);
  sqlite3_close(handle);
  return out;
}

}  // namespace tktest
