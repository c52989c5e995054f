// Shared helpers of the audit-trail tests: a small configuration table with
// its binding (what a handler writes), audit records built from a compact
// description, and reads made from another thread (another connection,
// which sees only what is committed).
#pragma once

#include <cstring>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "Db/ZQDBBinding.h"
#include "frame/EvGuiAudit.h"
#include "platform/db/DBSession.h"
#include "platform/testkit/audit.h"

#define AUDITTESTSETTING_COLUMNS(COL) \
  COL(settingId, i, 0)                \
  COL(name, s, 65)                    \
  COL(value, i, 0)

inline constexpr ZQDBBindingInfo AuditTestSetting_info{.headerType = ZQDB_HEADER_TABLE,
                                                       .dbName = "auditTestSetting",
                                                       .className = "AuditTestSetting",
                                                       .version = "1.0.0.1",
                                                       .primaryKey = "settingId",
                                                       .serial = "settingId",
                                                       .header = "tests/audit_trail/AuditHelpers.h",
                                                       .line = 30};

struct AuditTestSetting_t {
  AUDITTESTSETTING_COLUMNS(ZQDB_FIELD)
  ZQDB_ROW_WITH_ASSIGN(AuditTestSetting_t, AUDITTESTSETTING_COLUMNS)
};

class AuditTestSetting_t2
    : public ZQDBCatalogue<AuditTestSetting_t2, AuditTestSetting_t, AuditTestSetting_info> {};

class AuditTestSetting : public ZQDBTable<AuditTestSetting_t, AuditTestSetting_t2, AuditTestSetting_info> {
 public:
  explicit AuditTestSetting(DBtran* tran) : ZQDBTable(tran) {}
};

ZQDB_REGISTER_SCHEMA(AuditTestSetting_t, AuditTestSetting_info);

namespace audittest {

// One audit parameter: a message id and its text arguments.
struct AuditParam {
  int messageId;
  std::vector<std::string> arguments;
};

// Writes one record over `tran` the way the handlers do; guiAudit's result.
inline int writeAudit(DBtran* tran, int operationId, int userId, const std::vector<AuditParam>& params,
                      ZqEntities::EntityType type = ZqEntities::ENTITY_NONE, int entityId = 0) {
  EvGuiAudit audit(tran);
  audit.setGUIAuditOperation(operationId, userId);
  if (type != ZqEntities::ENTITY_NONE) audit.SetEntityParam(type, entityId);
  for (const AuditParam& p : params) {
    EvMessageContainer message;
    message.SetMessageID(p.messageId, true);
    for (const std::string& a : p.arguments) message << a.c_str();
    audit.addGUIAuditParam(message, 0, 0, nullptr, nullptr);
  }
  return audit.guiAudit(0);
}

// A handler's configuration write through a binding: the new row's id, or
// the negated engine code.
inline int writeSetting(DBtran* tran, const char* name, int value) {
  AuditTestSetting table(tran);
  std::strncpy(table.getDataPtr()->name, name, sizeof table.getDataPtr()->name - 1);
  table.getDataPtr()->value = value;
  int rc = table.rowInsert(true);
  return rc == 0 ? table.getDataPtr()->settingId : -rc;
}

// What another thread sees: committed records only.
inline std::vector<testkit::audit::Record> recordsFromAnotherThread() {
  std::vector<testkit::audit::Record> out;
  std::thread other([&] { out = testkit::audit::records(); });
  other.join();
  return out;
}

// Rows of a table as another thread sees them.
inline long long countFromAnotherThread(const std::string& table) {
  long long n = -1;
  std::thread other([&] {
    tkdb::Session session;
    tkdb::DbRow row;
    if (session.queryOne("SELECT COUNT(*) FROM " + table, {}, row) == 0 && !row.empty()) n = row[0].i;
  });
  other.join();
  return n;
}

}  // namespace audittest
