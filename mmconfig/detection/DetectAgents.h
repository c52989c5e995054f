// The media agents chosen for detection (EvMMConfigMgr::m_detectMediaAgentList)
// under one lock. A detection writes the list on the thread of the session
// holder's request while the detected listings of other consoles read it on
// theirs; every access goes through these calls, never to the list itself.
//
//   tkmm::detectAgents::clear();
//   tkmm::detectAgents::append("ma1");
//   for (const std::string& name : tkmm::detectAgents::names()) ...
#pragma once

#include <string>
#include <vector>

namespace tkmm::detectAgents {

// A copy of the names, in the order they were chosen (duplicates kept).
std::vector<std::string> names();
bool empty();
void append(const std::string& name);
void clear();

}  // namespace tkmm::detectAgents
