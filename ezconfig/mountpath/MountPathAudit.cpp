// The audit-trail records of adding and deleting mount paths. Each is one
// record with the operation, the requesting user and one catalogue message
// per parameter (a new message id per parameter drops the arguments of the
// one before, so each carries only its own).
#include <map>
#include <string>

#include "frame/EvGuiAudit.h"
#include "frame/EvMMConfigMgr.h"

namespace {

// Audit operations.
constexpr int kAuditMountPathAdded = 0x5400006E;
constexpr int kAuditMountPathDeleted = 0x5400006F;
// Audit parameter messages.
constexpr int kParamLibrary = 0x550000BF;         // %1 the library name
constexpr int kParamMountPath = 0x550000C4;       // %1 the mount path
constexpr int kParamCredential = 0x550006DB;      // %1 the credential name
constexpr int kParamForcedMountPath = 0x550006F8;
constexpr int kParamForcedLibrary = 0x55000723;

void addParam(EvGuiAudit& audit, EvMessageContainer& message, int id) {
  message.SetMessageID(id, true);
  audit.addGUIAuditParam(message, 0, 0, nullptr, nullptr);
}

void addParam(EvGuiAudit& audit, EvMessageContainer& message, int id, const std::string& argument) {
  message.SetMessageID(id, true);
  message << argument.c_str();
  audit.addGUIAuditParam(message, 0, 0, nullptr, nullptr);
}

}  // namespace

void EvMMConfigMgr::auditMountPathAdd(unsigned long userId, const std::string& libraryName, std::string& mountPath,
                                      const std::string& mediaAgentName, const char* credentialName) {
  EvGuiAudit audit(nullptr);
  audit.setGUIAuditOperation(kAuditMountPathAdded, static_cast<int>(userId));
  mountPath = "[" + mediaAgentName + "]" + " " + mountPath;
  EvMessageContainer message;
  addParam(audit, message, kParamLibrary, libraryName);
  addParam(audit, message, kParamMountPath, mountPath);
  if (credentialName != nullptr) addParam(audit, message, kParamCredential, credentialName);
  audit.guiAudit(0);
}

void EvMMConfigMgr::auditMountPathDel(unsigned long userId, int libraryId, const std::string& libraryName,
                                      std::map<int, std::string> mountPaths, HardDeleteLevel level, bool force) {
  EvGuiAudit audit(nullptr);
  audit.SetEntityParam(ZqEntities::ENTITY_LIBRARY, libraryId);
  audit.setGUIAuditOperation(kAuditMountPathDeleted, static_cast<int>(userId));
  EvMessageContainer message;
  addParam(audit, message, kParamLibrary, libraryName);
  for (const auto& entry : mountPaths) addParam(audit, message, kParamMountPath, entry.second);
  if (force) addParam(audit, message, level == kHardDeleteLibrary ? kParamForcedLibrary : kParamForcedMountPath);
  audit.guiAudit(0);
}
