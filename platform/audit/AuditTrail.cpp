#include "platform/audit/AuditTrail.h"

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <system_error>

#include "frame/EvGuiAudit.h"
#include "platform/clock/Clock.h"
#include "platform/db/DBSession.h"
#include "platform/db/DBtable.h"
#include "platform/debuglog/EvDebug.h"

namespace tkaudit {
namespace {

std::mutex& stateMutex() {
  static std::mutex m;
  return m;
}
Writer& currentWriter() {
  static Writer* writer = new Writer(tableWriter);  // lives through static destruction
  return *writer;
}

int asInt(const tkdb::DbValue& v) { return v.type == tkdb::DbValue::Type::Int ? static_cast<int>(v.i) : 0; }
long long asLong(const tkdb::DbValue& v) { return v.type == tkdb::DbValue::Type::Int ? v.i : 0; }

}  // namespace

Writer setWriter(Writer writer) {
  std::lock_guard<std::mutex> guard(stateMutex());
  Writer old = currentWriter();
  currentWriter() = writer ? std::move(writer) : Writer(tableWriter);
  return old;
}

int tableWriter(const Record& record, DBtran* tran) {
  tkdb::Session session(tran);
  int code = session.atomically([&]() -> int {
    int rc = session.exec(
        "INSERT INTO AuditTrailRecord (operationId, userId, entityType, entityId, auditTime, flags, inTransaction) "
        "VALUES (?, ?, ?, ?, ?, ?, ?)",
        {record.operationId, record.userId, record.entityType, record.entityId, record.time,
         static_cast<long long>(record.flags), record.inTransaction ? 1 : 0});
    if (rc != DB_OK) return rc;
    const long long recordId = session.lastInsertId();
    for (size_t p = 0; p < record.params.size(); ++p) {
      const Param& param = record.params[p];
      rc = session.exec(
          "INSERT INTO AuditTrailParam (recordId, position, messageId, value1, value2) VALUES (?, ?, ?, ?, ?)",
          {recordId, static_cast<long long>(p), param.messageId, param.value1, param.value2});
      if (rc != DB_OK) return rc;
      for (size_t a = 0; a < param.arguments.size(); ++a) {
        rc = session.exec(
            "INSERT INTO AuditTrailArgument (recordId, paramPosition, position, text) VALUES (?, ?, ?, ?)",
            {recordId, static_cast<long long>(p), static_cast<long long>(a), param.arguments[a]});
        if (rc != DB_OK) return rc;
      }
    }
    return DB_OK;
  });
  if (code != DB_OK) {
    EvDebug::Error("tkaudit::tableWriter", "audit record 0x%08X not stored (%d: %s): %s",
                   static_cast<unsigned>(record.operationId), code, DBtable::getErrorStr(code),
                   session.errorText().c_str());
  }
  return code;
}

std::vector<Record> records() {
  tkdb::Session session;
  tkdb::DbRows rows;
  // One statement: one consistent view of the three tables.
  int code = session.query(
      "SELECT r.id, r.operationId, r.userId, r.entityType, r.entityId, r.auditTime, r.flags, r.inTransaction, "
      "p.position, p.messageId, p.value1, p.value2, a.position, a.text "
      "FROM AuditTrailRecord r "
      "LEFT JOIN AuditTrailParam p ON p.recordId = r.id "
      "LEFT JOIN AuditTrailArgument a ON a.recordId = p.recordId AND a.paramPosition = p.position "
      "ORDER BY r.id, p.position, a.position",
      {}, rows);
  std::vector<Record> out;
  if (code != DB_OK) {
    EvDebug::Error("tkaudit::records", "the audit trail was not read (%d: %s): %s", code,
                   DBtable::getErrorStr(code), session.errorText().c_str());
    return out;
  }
  long long paramOf = -1;  // position of the last parameter read
  for (const tkdb::DbRow& row : rows) {
    if (row.size() < 14) continue;
    const long long id = asLong(row[0]);
    if (out.empty() || out.back().id != id) {
      Record r;
      r.id = id;
      r.operationId = asInt(row[1]);
      r.userId = asInt(row[2]);
      r.entityType = asInt(row[3]);
      r.entityId = asInt(row[4]);
      r.time = asLong(row[5]);
      r.flags = static_cast<long>(asLong(row[6]));
      r.inTransaction = asLong(row[7]) != 0;
      out.push_back(std::move(r));
      paramOf = -1;
    }
    if (row[8].isNull()) continue;
    Record& r = out.back();
    if (r.params.empty() || paramOf != row[8].i) {
      Param p;
      p.messageId = asInt(row[9]);
      p.value1 = asInt(row[10]);
      p.value2 = asInt(row[11]);
      r.params.push_back(std::move(p));
      paramOf = row[8].i;
    }
    if (row[12].isNull()) continue;
    r.params.back().arguments.push_back(row[13].type == tkdb::DbValue::Type::Text ? row[13].s : std::string());
  }
  return out;
}

int clearRecords() {
  tkdb::Session session;
  return session.atomically([&]() -> int {
    int rc = session.exec("DELETE FROM AuditTrailArgument");
    if (rc == DB_OK) rc = session.exec("DELETE FROM AuditTrailParam");
    if (rc == DB_OK) rc = session.exec("DELETE FROM AuditTrailRecord");
    return rc;
  });
}

tkjournal::Journal& journal() {
  static tkjournal::Journal j;
  return j;
}

void isolateWhenUnset() {
  const char* current = std::getenv("TK_DB");
  if (current != nullptr && *current != '\0') return;
  static std::mutex mutex;
  static std::string* directory = nullptr;  // this process's own, made once
  std::lock_guard<std::mutex> guard(mutex);
  if (directory == nullptr) {
    std::error_code ec;
    std::filesystem::path base = std::filesystem::temp_directory_path(ec);
    if (ec) base = "/tmp";
    std::string pattern = (base / "tk-audit-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
      EvDebug::Error("tkaudit::isolateWhenUnset", "no directory for a database of this process: %s",
                     pattern.c_str());
      return;
    }
    directory = new std::string(pattern);
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(*directory, ignored);
    });
  }
  setenv("TK_DB", (*directory + "/tarnkeep.db").c_str(), 1);
}

}  // namespace tkaudit

void EvGuiAudit::setGUIAuditOperation(int operationId, int userId) {
  tkaudit::journal().record("setGUIAuditOperation", operationId, userId);
  m_operationId = operationId;
  m_userId = userId;
}

void EvGuiAudit::addGUIAuditParam(EvMessageContainer message, int value1, int value2, const wchar_t* text1,
                                  const wchar_t* text2) {
  if (tkjournal::recording()) {
    std::vector<std::string> args = tkjournal::args(message.GetMessageID(), value1, value2);
    std::vector<std::string> texts = message.GetArguments()->Texts();
    args.insert(args.end(), texts.begin(), texts.end());
    tkaudit::journal().record("addGUIAuditParam", std::move(args));
  }
  m_params.emplace_back(message, value1, value2, text1, text2);
}

int EvGuiAudit::guiAudit(long flags) {
  tkaudit::journal().record("guiAudit", m_operationId, m_userId, static_cast<int>(m_entityType), m_entityId, numParam(),
                            flags);
  tkjournal::Failure failure;
  if (tkaudit::journal().takeFailure("guiAudit", failure)) {
    EvDebug::Error("EvGuiAudit::guiAudit", "audit record 0x%08X not written: %s", static_cast<unsigned>(m_operationId),
                   failure.text.c_str());
    return failure.code != 0 ? failure.code : -1;
  }

  tkaudit::Record record;
  record.operationId = m_operationId;
  record.userId = m_userId;
  record.entityType = static_cast<int>(m_entityType);
  record.entityId = m_entityId;
  record.time = static_cast<long long>(tkclock::now());
  record.flags = flags;
  record.inTransaction = m_tran != nullptr && m_tran->isOpen();
  for (const EvGuiParam& p : m_params) {
    tkaudit::Param param;
    param.messageId = p.message().GetMessageID();
    param.arguments = p.message().GetArguments()->Texts();
    param.value1 = p.value1();
    param.value2 = p.value2();
    record.params.push_back(std::move(param));
  }

  tkaudit::Writer writer;
  {
    std::lock_guard<std::mutex> guard(tkaudit::stateMutex());
    writer = tkaudit::currentWriter();
  }
  int rc = writer(record, m_tran);
  if (rc != 0) {
    EvDebug::Error("EvGuiAudit::guiAudit", "audit record 0x%08X not written: error [%d]",
                   static_cast<unsigned>(m_operationId), rc);
  }
  return rc;
}
