// Sharing the media agents of a mount path into the storage pools that use
// it, with the audit record of what was shared.
#include <string>

#include "frame/EvGuiAudit.h"
#include "frame/EvMMConfigMgr.h"
#include "frame/EvMessageContainer.h"
#include "frame/TextHelpers.h"
#include "platform/archivemgr/ArchiveManagerTK.h"
#include "platform/client/ZQClient.h"

namespace {

// Audit operation of a share, and the parameter naming one added agent.
constexpr int kAuditShareOperation = 0x540001EF;
constexpr int kAuditAgentAddedMessage = 0x5500056F;

}  // namespace

bool EvMMConfigMgr::AddMediaAgentToStoragePool(int mountPathId, unsigned long locale, unsigned long userId,
                                               int& errorCode, std::string& errorText, std::string controllerInfo) {
  EvGuiAudit audit(nullptr);
  EvMessageContainer parameter;
  ArchiveManagerTK::SharedMediaAgentMap added;
  ArchiveManagerTK::SharedMediaAgents agents;
  std::string resultText;
  ArchiveManagerTK archiveManager(nullptr);

  if (!archiveManager.ShareMediaAgentsInStoragePool(0, 0, mountPathId, FXString::ToString(""), locale, userId, false,
                                                    errorCode, errorText, resultText, added, nullptr, controllerInfo,
                                                    0))
    return false;

  // The audit record names the user by the low 32 bits of the id.
  if (!added.empty()) audit.setGUIAuditOperation(kAuditShareOperation, static_cast<int>(static_cast<uint32_t>(userId)));
  for (const auto& pool : added) {  // ascending key order
    agents = pool.second;
    for (const auto& agent : agents) {
      std::string displayName;
      {
        ZQClient client(static_cast<unsigned long>(static_cast<long>(agent.first)));
        client.getDisplayName(displayName, nullptr);  // empty when the lookup fails
      }
      parameter.SetMessageID(kAuditAgentAddedMessage, true);
      parameter << displayName.c_str() << agent.second.c_str() << resultText.c_str();
      audit.addGUIAuditParam(parameter, 0, 0, nullptr, nullptr);
    }
  }
  // Written even when nothing was added: a record without operation or
  // parameters. A failed write is not reported.
  audit.guiAudit(0);
  return true;
}
