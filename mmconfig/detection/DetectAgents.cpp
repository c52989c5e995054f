// The lock of the media agents chosen for detection (DetectAgents.h).
#include "mmconfig/detection/DetectAgents.h"

#include <list>
#include <mutex>

#include "frame/EvMMConfigMgr.h"

namespace tkmm::detectAgents {
namespace {

std::mutex& listMutex() {
  static std::mutex* mutex = new std::mutex();  // lives for the whole process
  return *mutex;
}

}  // namespace

std::vector<std::string> names() {
  std::lock_guard<std::mutex> guard(listMutex());
  return {EvMMConfigMgr::m_detectMediaAgentList.begin(), EvMMConfigMgr::m_detectMediaAgentList.end()};
}

bool empty() {
  std::lock_guard<std::mutex> guard(listMutex());
  return EvMMConfigMgr::m_detectMediaAgentList.empty();
}

void append(const std::string& name) {
  std::lock_guard<std::mutex> guard(listMutex());
  EvMMConfigMgr::m_detectMediaAgentList.push_back(name);
}

void clear() {
  std::lock_guard<std::mutex> guard(listMutex());
  EvMMConfigMgr::m_detectMediaAgentList.clear();
}

}  // namespace tkmm::detectAgents
