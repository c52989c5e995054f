// The media-agent rights filter of the listings of media agents. While
// rights are checked per media agent (EvMMConfigMgr::doMACheck, asked again
// for each agent), an agent is kept when the requester may manage the
// server with the request's rights argument, or else may manage that
// agent; an agent that fails both is logged and left out. With per-agent
// rights off every agent is kept.
//
//   tkmm::MediaAgentRights rights(*request, request->firstWord, kTag);
//   for (...) if (rights.allows(agent->GetId())) ... list the agent ...
#pragma once

#include <cstdint>

#include "frame/EvSecurity.h"

struct MessageInfo;

namespace tkmm {

class MediaAgentRights {
 public:
  // One security object per request, made from its sequence number.
  MediaAgentRights(const MessageInfo& request, uint32_t rightsArgument, const char* tag);
  MediaAgentRights(const MediaAgentRights&) = delete;
  MediaAgentRights& operator=(const MediaAgentRights&) = delete;

  bool allows(unsigned int mediaAgentId);

 private:
  uint32_t m_userId;
  uint32_t m_rightsArgument;
  const char* m_tag;
  EvSecurityCheck m_security;
};

}  // namespace tkmm
