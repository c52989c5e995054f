// The audit trail behind EvGuiAudit: each record written by guiAudit goes
// through one writer function. The default writer keeps the records in
// memory (read them through platform/testkit/audit.h); setWriter swaps it,
// e.g. for one that writes into a table in the caller's transaction.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/journal/Journal.h"

class DBtran;

namespace tkaudit {

struct Param {
  int messageId = 0;
  std::vector<std::string> arguments;  // the message's arguments as texts
  int value1 = 0;
  int value2 = 0;
};

struct Record {
  int operationId = 0;
  int userId = 0;
  int entityType = 0;
  int entityId = 0;
  std::vector<Param> params;
  long flags = 0;
  bool inTransaction = false;  // written in the caller's transaction
};

// Writes one record; 0 on success, anything else is returned by guiAudit.
using Writer = std::function<int(const Record& record, DBtran* tran)>;

// Installs a writer and returns the one it replaces; an empty writer
// restores the in-memory one.
Writer setWriter(Writer writer);

// The in-memory writer and what it kept.
int memoryWriter(const Record& record, DBtran* tran);
std::vector<Record> records();
void clearRecords();

// Calls of setGUIAuditOperation, addGUIAuditParam and guiAudit; failures of
// "guiAudit" are scriptable.
tkjournal::Journal& journal();

}  // namespace tkaudit
