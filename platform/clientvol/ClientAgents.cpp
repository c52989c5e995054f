// The in-memory client agents (see ClientAgents.h).
#include "platform/clientvol/ClientAgents.h"

#include <algorithm>
#include <cctype>
#include <functional>

namespace tkclientvol {
namespace {

std::string lowered(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

struct Agents {
  std::mutex mutex;
  std::map<std::string, Agent> byHost;
};

Agents& agents() {
  static Agents a;
  return a;
}

// The agent of a host, made when `create`.
Agent* find(const std::string& host, bool create) {
  auto& all = agents().byHost;
  auto it = all.find(lowered(host));
  if (it != all.end()) return &it->second;
  if (!create) return nullptr;
  return &all[lowered(host)];
}

void onAgent(const std::string& host, const std::function<void(Agent&)>& change) {
  std::lock_guard<std::mutex> guard(agents().mutex);
  change(*find(host, true));
}

}  // namespace

bool withAgent(const std::string& host, const std::function<bool(Agent&, std::string&)>& work, std::string& error) {
  std::lock_guard<std::mutex> guard(agents().mutex);
  Agent* agent = host.empty() ? nullptr : find(host, false);
  if (agent == nullptr) {
    error = "Could not connect to the volume service on client [" + host + "].";
    return false;
  }
  return work(*agent, error);
}

void seedHost(const std::string& host, int clientId) {
  onAgent(host, [&](Agent& a) { a.clientId = clientId; });
}
void seedVolume(const std::string& host, const ZQSVCClientVolumeInfo& volume) {
  onAgent(host, [&](Agent& a) { a.volumes.push_back(volume); });
}
Agent snapshot(const std::string& host) {
  std::lock_guard<std::mutex> guard(agents().mutex);
  const Agent* agent = find(host, false);
  return agent != nullptr ? *agent : Agent{};
}
void scriptDeviceText(const std::string& host, const std::string& text) {
  onAgent(host, [&](Agent& a) { a.deviceTexts.push_back(text); });
}
void scriptVVMFlag(const std::string& host, bool vvm) {
  onAgent(host, [&](Agent& a) { a.vvmFlags.push_back(vvm); });
}
void scriptOntapMountPath(const std::string& host, const std::string& path) {
  onAgent(host, [&](Agent& a) { a.ontapMountPaths.push_back(path); });
}
void scriptDeviceListResult(const std::string& host, const std::vector<volumeInfo>& result) {
  onAgent(host, [&](Agent& a) { a.deviceListResults.push_back(result); });
}
void scriptVolumeList(const std::string& host, const std::vector<ZQSVCClientVolumeInfo>& volumes) {
  onAgent(host, [&](Agent& a) { a.volumeLists.push_back(volumes); });
}
void resetAgents() {
  std::lock_guard<std::mutex> guard(agents().mutex);
  agents().byHost.clear();
}

tkjournal::Journal& journal() {
  static tkjournal::Journal j;
  return j;
}

}  // namespace tkclientvol
