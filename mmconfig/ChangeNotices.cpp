// The audit record and the automatic-refresh notice of a change (see
// ChangeNotices.h).
#include "mmconfig/ChangeNotices.h"

#include "frame/EvExternal.h"
#include "frame/EvGuiAudit.h"
#include "frame/EvMMConfigMgr.h"
#include "frame/EvMessageContainer.h"
#include "platform/debuglog/EvDebug.h"

namespace tkmm {

namespace {
constexpr const char* kAuditTag = "EvMMConfigMgr::guiAudit";
}  // namespace

bool writeAuditRecord(int operationId, int entityId, const std::vector<AuditParameter>& parameters,
                      ZqEntities::EntityType entityType) {
  EvGuiAudit audit(nullptr);
  EvMessageContainer message;
  audit.SetEntityParam(entityType, entityId);
  audit.setGUIAuditOperation(operationId, static_cast<int>(EvMMConfigMgr::m_ulUserId.load()));
  for (const AuditParameter& parameter : parameters) {
    message.SetMessageID(parameter.messageId, true);
    for (const std::string& text : parameter.texts) message << text.c_str();
    audit.addGUIAuditParam(message, 0, 0, nullptr, nullptr);
  }
  const int written = audit.guiAudit(0);
  if (written != 0) {
    EvDebug::Error(kAuditTag, "The audit record of operation [0x%08X] could not be written [%d].",
                   static_cast<unsigned int>(operationId), written);
    return false;
  }
  return true;
}

void sendRefreshNotice(int libraryId, ZqEntities::EntityType entityType, uint32_t guiId) {
  EvExternal services(0);
  if (!services.isAutoRefreshSet()) return;
  std::vector<int> mediaAgentIds;
  services.getMAsforLibrary(libraryId, mediaAgentIds);
  services.sendAutoRefreshUpdateGUM(libraryId, entityType, guiId, &mediaAgentIds);
}

}  // namespace tkmm
