#include "platform/audit/AuditTrail.h"

#include <mutex>

#include "frame/EvGuiAudit.h"
#include "platform/debuglog/EvDebug.h"

namespace tkaudit {
namespace {

std::mutex& stateMutex() {
  static std::mutex m;
  return m;
}
std::vector<Record>& memory() {
  static std::vector<Record> list;
  return list;
}
Writer& currentWriter() {
  static Writer writer = memoryWriter;
  return writer;
}

}  // namespace

Writer setWriter(Writer writer) {
  std::lock_guard<std::mutex> guard(stateMutex());
  Writer old = currentWriter();
  currentWriter() = writer ? std::move(writer) : Writer(memoryWriter);
  return old;
}

int memoryWriter(const Record& record, DBtran*) {
  std::lock_guard<std::mutex> guard(stateMutex());
  memory().push_back(record);
  return 0;
}

std::vector<Record> records() {
  std::lock_guard<std::mutex> guard(stateMutex());
  return memory();
}

void clearRecords() {
  std::lock_guard<std::mutex> guard(stateMutex());
  memory().clear();
}

tkjournal::Journal& journal() {
  static tkjournal::Journal j;
  return j;
}

}  // namespace tkaudit

void EvGuiAudit::setGUIAuditOperation(int operationId, int userId) {
  tkaudit::journal().record("setGUIAuditOperation", tkjournal::args(operationId, userId));
  m_operationId = operationId;
  m_userId = userId;
}

void EvGuiAudit::addGUIAuditParam(EvMessageContainer message, int value1, int value2, const wchar_t* text1,
                                  const wchar_t* text2) {
  std::vector<std::string> args = tkjournal::args(message.GetMessageID(), value1, value2);
  std::vector<std::string> texts = message.GetArguments()->Texts();
  args.insert(args.end(), texts.begin(), texts.end());
  tkaudit::journal().record("addGUIAuditParam", args);
  m_params.emplace_back(message, value1, value2, text1, text2);
}

int EvGuiAudit::guiAudit(long flags) {
  tkaudit::journal().record("guiAudit", tkjournal::args(m_operationId, m_userId, static_cast<int>(m_entityType),
                                                       m_entityId, numParam(), flags));
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
  record.flags = flags;
  record.inTransaction = m_tran != nullptr;
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
