// The media-agent rights filter (MediaAgentRights.h).
#include "mmconfig/MediaAgentRights.h"

#include "frame/EvMMConfigMgr.h"
#include "frame/MessageInfo.h"
#include "platform/debuglog/EvDebug.h"

namespace tkmm {

MediaAgentRights::MediaAgentRights(const MessageInfo& request, uint32_t rightsArgument, const char* tag)
    : m_userId(request.userId),
      m_rightsArgument(rightsArgument),
      m_tag(tag),
      m_security(request.sequenceNumber) {}

bool MediaAgentRights::allows(unsigned int mediaAgentId) {
  if (!EvMMConfigMgr::doMACheck()) return true;
  if (m_security.canManageTarnkeep(m_userId, m_rightsArgument)) return true;
  if (m_security.canManageMediaAgent(m_userId, m_rightsArgument, mediaAgentId)) return true;
  EvDebug::Error(m_tag, "User [%d] has no Admin rights to TK and no rights to MA [%d].", static_cast<int>(m_userId),
                 static_cast<int>(mediaAgentId));
  return false;
}

}  // namespace tkmm
