// Steps shared by the device operations of the storage-library request
// (see StorageLibDeviceSteps.h), and the one change of an operation's
// writes (StorageLibraryRequest.h).
#include "ezconfig/storagelib/StorageLibDeviceSteps.h"

#include <memory>
#include <string>

#include "frame/EvGuiAudit.h"
#include "frame/MessageInfo.h"
#include "frame/mac/ZQMACMediaConfig.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/tran/StoreStep.h"

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
  if (m_step == nullptr) return;
  m_step.reset();         // rolls back
  m_work.config.reset();  // with the objects it made for the change
}

bool OperationChange::begin() {
  auto step = std::make_unique<tktran::StoreStep>(m_tag);
  if (!step->begin()) {
    m_work.fail("The change could not be started: " + step->error());
    return false;
  }
  m_step = std::move(step);
  return true;
}

bool OperationChange::commit() {
  if (m_step == nullptr) return true;
  if (m_step->commit()) {
    m_step.reset();
    return true;
  }
  m_work.fail("The change could not be stored: " + m_step->error());
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
