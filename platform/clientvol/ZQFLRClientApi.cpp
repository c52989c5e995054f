// File-level-recovery mounts over the in-memory client agents.
#include "platform/clientvol/ZQFLRClientApi.h"

#include "platform/clientvol/ClientAgents.h"

using tkclientvol::Agent;

namespace {

std::string textOf(const char* text) { return text != nullptr ? text : ""; }

int run(const char* name, const std::string& host, std::vector<std::string> arguments, std::string& lastError,
        const std::function<bool(Agent&, std::string&)>& work) {
  if (tkjournal::recording()) {
    arguments.insert(arguments.begin(), host);
    tkclientvol::journal().record(name, std::move(arguments));
  }
  lastError.clear();
  tkjournal::Failure failure;
  if (tkclientvol::journal().takeFailure(name, failure)) {
    lastError = failure.text;
    return failure.code != 0 ? failure.code : tkclientvol::kErrorClientAgent;
  }
  return tkclientvol::withAgent(host, work, lastError) ? 0 : tkclientvol::kErrorClientAgent;
}

}  // namespace

ZQFLRClientApi::ZQFLRClientApi(const std::string& hostName, int, CZqNetwork*) : m_host(hostName) {}

int ZQFLRClientApi::FLRMountSnap(const char* device, const char* mountPath) {
  const std::string snap = textOf(device), path = textOf(mountPath);
  return run("FLRMountSnap", m_host, {snap, path}, m_lastError, [&](Agent& agent, std::string& error) {
    if (snap.empty() || path.empty()) {
      error = "A device and a mount path are needed.";
      return false;
    }
    if (!agent.agentMounts.emplace(path, snap).second) {
      error = "Path [" + path + "] is already mounted.";
      return false;
    }
    return true;
  });
}

int ZQFLRClientApi::FLRUnmountSnap(const char* mountPath) {
  const std::string path = textOf(mountPath);
  return run("FLRUnmountSnap", m_host, {path}, m_lastError, [&](Agent& agent, std::string& error) {
    if (agent.agentMounts.erase(path) == 0) {
      error = "Path [" + path + "] is not mounted.";
      return false;
    }
    return true;
  });
}
