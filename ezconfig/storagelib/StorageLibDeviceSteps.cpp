// Steps shared by the device operations of the storage-library request
// (see StorageLibDeviceSteps.h).
#include "ezconfig/storagelib/StorageLibDeviceSteps.h"

#include "frame/EvGuiAudit.h"
#include "frame/MessageInfo.h"
#include "frame/mac/ZQMACMediaConfig.h"
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

void auditConfiguredObject(StorageLibraryRequest& w, const std::string& name, const std::string& text) {
  w.audit.setGUIAuditOperation(kAuditObjectConfigured, static_cast<int>(w.record.userId));
  EvMessageContainer message;
  message.SetMessageID(kParamObject, true);
  message << name.c_str() << text.c_str();
  w.audit.addGUIAuditParam(message, 0, 0, nullptr, nullptr);
  w.audit.guiAudit(0);
}

}  // namespace tkezconfig
