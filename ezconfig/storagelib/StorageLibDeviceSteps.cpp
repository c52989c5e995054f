// Steps shared by the device operations of the storage-library request
// (see StorageLibDeviceSteps.h), and the one change of an operation's
// writes (StorageLibraryRequest.h).
#include "ezconfig/storagelib/StorageLibDeviceSteps.h"

#include <memory>
#include <string>

#include "frame/EvGuiAudit.h"
#include "frame/MessageInfo.h"
#include "frame/mac/ZQMACMediaConfig.h"
#include "platform/db/DBtable.h"
#include "platform/debuglog/EvDebug.h"

namespace tkezconfig {
namespace {

constexpr int kAuditObjectConfigured = 0x540000B5;
constexpr int kParamObject = 0x5500018B;  // %1 the object's name, %2 its text

}  // namespace

bool readRequestConfiguration(StorageLibraryRequest& w, const char* tag) {
  if (w.config != nullptr && w.config->ReadCurrentConfig(false)) return true;
  EvDebug::Error(tag, "%s", "ReadCurrentConfig - Failed to read from DB.");
  w.fail("Failed to read from DB");
  return false;
}

OperationChange::OperationChange(StorageLibraryRequest& work, const char* tag) : m_work(work), m_tag(tag) {}

OperationChange::~OperationChange() {
  if (m_tran == nullptr) return;
  const int rolledBack = m_tran->rollbackTran();
  if (rolledBack != 0) EvDebug::Error(m_tag, "Error [%d] rolling the change back.", rolledBack);
  m_tran.reset();
  m_work.config.reset();  // with the objects it made for the change
}

bool OperationChange::begin() {
  auto tran = std::make_unique<DBtran>(false);
  const int started = tran->startTran();
  if (started == 0) {
    m_tran = std::move(tran);
    return true;
  }
  EvDebug::Error(m_tag, "Error [%d] starting the change.", started);
  m_work.fail(std::string("The change could not be started: ") + DBtable::getErrorStr(started));
  return false;
}

bool OperationChange::commit() {
  if (m_tran == nullptr) return true;
  const int committed = m_tran->commitTran();
  if (committed == 0) {
    m_tran.reset();
    return true;
  }
  EvDebug::Error(m_tag, "Error [%d] committing the change.", committed);
  m_work.fail(std::string("The change could not be stored: ") + DBtable::getErrorStr(committed));
  return false;
}

void auditConfiguredObject(StorageLibraryRequest& w, const std::string& name, const std::string& text) {
  w.audit.setGUIAuditOperation(kAuditObjectConfigured, static_cast<int>(w.record.userId));
  EvMessageContainer message;
  message.SetMessageID(kParamObject, true);
  message << name.c_str() << text.c_str();
  w.audit.addGUIAuditParam(message, 0, 0, nullptr, nullptr);
  w.audit.guiAudit(0);
}

}  // namespace tkezconfig
