// The audit trail behind EvGuiAudit: each record written by guiAudit goes
// through one writer function. The default writer puts the record into the
// audit tables of the central database (platform/db/schema/AuditTrail.cpp)
// in the record's transaction: the `DBtran*` given to EvGuiAudit when it is
// open, else the calling thread's connection, where it autocommits or joins
// the thread's open transaction. A record and its parameters go in as one
// unit (a savepoint inside a transaction), so a record is there whole or
// not at all, and one written in a transaction that rolls back goes with it.
//
// setWriter swaps the writer (tests); platform/testkit/audit.h reads the
// records back.
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
  long long id = 0;  // the record's row (0 before it is written)
  int operationId = 0;
  int userId = 0;
  int entityType = 0;
  int entityId = 0;
  long long time = 0;  // seconds since the epoch (the clock seam)
  std::vector<Param> params;
  long flags = 0;
  bool inTransaction = false;  // written inside an open transaction of the caller
};

// Writes one record; 0 on success, anything else is returned by guiAudit.
using Writer = std::function<int(const Record& record, DBtran* tran)>;

// Installs a writer and returns the one it replaces; an empty writer puts
// the table writer back.
Writer setWriter(Writer writer);

// The table writer: the record in `tran` when it is open, else on the
// thread's connection. 0, or the engine's code.
int tableWriter(const Record& record, DBtran* tran);

// Every record of the current database, in the order written, each with its
// parameters and their arguments in order. Read on the calling thread's
// connection (so inside its open transaction, if any).
std::vector<Record> records();
// Deletes every record; 0, or the engine's code.
int clearRecords();

// Calls of setGUIAuditOperation, addGUIAuditParam and guiAudit; failures of
// "guiAudit" are scriptable.
tkjournal::Journal& journal();

// For tests that make no database of their own: when TK_DB is not set, sets
// it to a database file of this process alone (removed when the process
// exits), so that such tests neither write the default database nor see
// the records of other test processes.
void isolateWhenUnset();

}  // namespace tkaudit
