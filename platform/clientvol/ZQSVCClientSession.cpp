// The client volume service over the in-memory client agents.
#include "platform/clientvol/ZQSVCClientSession.h"

#include <algorithm>

#include "platform/clientvol/ClientAgents.h"

using tkclientvol::Agent;
using tkjournal::args;

namespace {

template <class T>
bool takeScripted(std::deque<T>& scripted, T& out) {
  if (scripted.empty()) return false;
  out = std::move(scripted.front());
  scripted.pop_front();
  return true;
}

ZQSVCClientVolumeInfo* volumeOfDevice(Agent& agent, const std::string& device) {
  for (auto& v : agent.volumes)
    if (v.deviceName == device) return &v;
  return nullptr;
}

// Mounts `device` at `path` as the client would: the mount and the
// volume's mount point.
void mount(Agent& agent, const std::string& device, const std::string& path) {
  agent.mounts[path] = device;
  if (ZQSVCClientVolumeInfo* volume = volumeOfDevice(agent, device)) {
    ZQSVCClientMountPointInfo point;
    point.m_mountPath = path;
    point.m_caseSensitive = volume->caseSensitive;
    volume->mountPoints.push_back(point);
  }
}

void unmount(Agent& agent, const std::string& path) {
  agent.mounts.erase(path);
  for (auto& v : agent.volumes) {
    auto& points = v.mountPoints;
    points.erase(std::remove_if(points.begin(), points.end(),
                                [&](const ZQSVCClientMountPointInfo& p) { return p.m_mountPath == path; }),
                 points.end());
  }
}

// The mount a removal names: a mount path; an ONTAP LUN text
// ("<ONTAP_LUN><SNAPNAME>...</SNAPNAME><MOUNT>path</MOUNT>"), its path; or a
// published share ("<where>/<share>"), the mount of the ONTAP mount that
// was asked for under that share name.
std::string mountedPathOf(const Agent& agent, const std::string& text) {
  if (agent.mounts.count(text) != 0) return text;
  const std::string open = "<MOUNT>", close = "</MOUNT>";
  if (text.rfind("<ONTAP_LUN>", 0) == 0) {
    const std::size_t from = text.find(open);
    const std::size_t to = text.rfind(close);
    if (from != std::string::npos && to != std::string::npos && to >= from + open.size())
      return text.substr(from + open.size(), to - from - open.size());
    return text;
  }
  const std::size_t slash = text.rfind('/');
  if (slash != std::string::npos) {
    const auto it = agent.ontapMounts.find(text.substr(slash + 1));
    if (it != agent.ontapMounts.end()) return it->second;
  }
  return text;
}

bool refuse(std::string& error, std::string text) {
  error = std::move(text);
  return false;
}

}  // namespace

ZQSVCClientSession::ZQSVCClientSession(const std::string& hostName, int, CZqNetwork*, CZqNetwork*)
    : m_host(hostName) {}

bool ZQSVCClientSession::call(const char* name, const std::function<std::vector<std::string>()>& arguments,
                              const std::function<bool(Agent&, std::string&)>& work) {
  if (tkjournal::recording()) {
    std::vector<std::string> texts = arguments();
    texts.insert(texts.begin(), m_host);
    tkclientvol::journal().record(name, std::move(texts));
  }
  m_lastError.clear();
  tkjournal::Failure failure;
  if (tkclientvol::journal().takeFailure(name, failure)) {
    m_lastError = failure.text;
    return false;
  }
  return tkclientvol::withAgent(m_host, work, m_lastError);
}

bool ZQSVCClientSession::getVolumeList(std::vector<ZQSVCClientVolumeInfo>& volumes) {
  return call("getVolumeList", [] { return std::vector<std::string>{}; }, [&](Agent& agent, std::string&) {
    if (!takeScripted(agent.volumeLists, volumes)) volumes = agent.volumes;
    return true;
  });
}

bool ZQSVCClientSession::getVolumeList(std::vector<ZQSVCClientVolumeInfo>& volumes, const std::string& filter,
                                       int kind, unsigned long flags) {
  return call("getVolumeList", [&] { return args(filter, kind, flags); }, [&](Agent& agent, std::string&) {
    if (!takeScripted(agent.volumeLists, volumes)) volumes = agent.volumes;
    return true;
  });
}

bool ZQSVCClientSession::configureQRDevice(const std::string& device, std::string& deviceText,
                                           unsigned long value1, bool flag1, unsigned long value2, bool flag2,
                                           bool& vvm, bool flag3, bool flag4, unsigned long* errorCode,
                                           unsigned long value3, unsigned long locale, std::string extra) {
  if (errorCode != nullptr) *errorCode = 0;
  const bool ok = call(
      "configureQRDevice",
      [&] { return args(device, value1, flag1, value2, flag2, flag3, flag4, value3, locale, extra); },
      [&](Agent& agent, std::string& error) {
        if (device.empty()) return refuse(error, "No device was named.");
        if (!takeScripted(agent.deviceTexts, deviceText)) deviceText = device;
        bool scriptedVvm = false;
        vvm = takeScripted(agent.vvmFlags, scriptedVvm) && scriptedVvm;
        agent.configuredDevices.insert(device);
        return true;
      });
  if (!ok && errorCode != nullptr) *errorCode = tkclientvol::kErrorClientAgent;
  return ok;
}

bool ZQSVCClientSession::configureListOfQRDevices(int count, std::vector<std::string>& devices,
                                                  std::vector<volumeInfo>& results, unsigned long* errorCode,
                                                  unsigned long value, unsigned long locale, std::string extra) {
  if (errorCode != nullptr) *errorCode = 0;
  const bool ok = call(
      "configureListOfQRDevices",
      [&] {
        std::vector<std::string> texts = args(count, value, locale, extra);
        texts.insert(texts.end(), devices.begin(), devices.end());
        return texts;
      },
      [&](Agent& agent, std::string&) {
        if (!takeScripted(agent.deviceListResults, results)) {
          results.clear();
          for (const auto& device : devices) {
            volumeInfo entry;
            entry.oldName = device;
            entry.changedName = device;
            entry.devicePath = device;
            if (const ZQSVCClientVolumeInfo* volume = volumeOfDevice(agent, device)) {
              entry.blockCount = volume->blockCount;
              if (!volume->mountPoints.empty()) entry.mountPath = volume->mountPoints.front().m_mountPath;
            }
            results.push_back(entry);
          }
        }
        for (const auto& entry : results)
          if (entry.errorCode == 0) agent.configuredDevices.insert(entry.oldName);
        return true;
      });
  if (!ok && errorCode != nullptr) *errorCode = tkclientvol::kErrorClientAgent;
  return ok;
}

namespace {

bool unconfigure(Agent& agent, const std::string& device, std::string& error) {
  if (agent.configuredDevices.erase(device) == 0)
    return refuse(error, "Device [" + device + "] is not configured on the client.");
  return true;
}

}  // namespace

bool ZQSVCClientSession::unconfigureQRDevice(const std::string& device, bool flag, unsigned long locale) {
  return call("unconfigureQRDevice", [&] { return args(device, flag, locale); },
              [&](Agent& agent, std::string& error) { return unconfigure(agent, device, error); });
}

bool ZQSVCClientSession::unconfigureQRDevice100(const std::string& device, bool flag, unsigned long locale,
                                                std::string extra) {
  return call("unconfigureQRDevice100", [&] { return args(device, flag, locale, extra); },
              [&](Agent& agent, std::string& error) { return unconfigure(agent, device, error); });
}

bool ZQSVCClientSession::ProtectQuillmereVolume(const std::string& server, const std::string& volume) {
  return call("ProtectQuillmereVolume", [&] { return args(server, volume); }, [&](Agent& agent, std::string& error) {
    if (agent.quillmereVolumes.count(volume) != 0)
      return refuse(error, "Volume [" + volume + "] is already protected.");
    agent.quillmereVolumes[volume] = tkclientvol::QuillmereVolume{server, 1};
    return true;
  });
}

bool ZQSVCClientSession::TerminateQuillmereVolume(const std::string& server, const std::string& volume) {
  return call("TerminateQuillmereVolume", [&] { return args(server, volume); },
              [&](Agent& agent, std::string& error) {
                if (agent.quillmereVolumes.erase(volume) == 0)
                  return refuse(error, "Volume [" + volume + "] is not protected.");
                return true;
              });
}

bool ZQSVCClientSession::SuspendQuillmereVolume(const std::string& volume) {
  return call("SuspendQuillmereVolume", [&] { return args(volume); }, [&](Agent& agent, std::string& error) {
    auto it = agent.quillmereVolumes.find(volume);
    if (it == agent.quillmereVolumes.end() || it->second.state != 1)
      return refuse(error, "Volume [" + volume + "] is not being protected.");
    it->second.state = 2;
    return true;
  });
}

bool ZQSVCClientSession::ResumeQuillmereVolume(const std::string& volume) {
  return call("ResumeQuillmereVolume", [&] { return args(volume); }, [&](Agent& agent, std::string& error) {
    auto it = agent.quillmereVolumes.find(volume);
    if (it == agent.quillmereVolumes.end() || it->second.state != 2)
      return refuse(error, "Volume [" + volume + "] is not suspended.");
    it->second.state = 1;
    return true;
  });
}

bool ZQSVCClientSession::ActivateQMVolume(const std::string& server, const std::string& location, int clientId,
                                          const std::string& historyName, int sourceVolumeId, int volumeId,
                                          unsigned long timestamp) {
  return call("ActivateQMVolume",
              [&] { return args(server, location, clientId, historyName, sourceVolumeId, volumeId, timestamp); },
              [&](Agent& agent, std::string& error) {
                if (!agent.activeVolumes.insert(volumeId).second)
                  return refuse(error, "Volume [" + std::to_string(volumeId) + "] is already active.");
                return true;
              });
}

bool ZQSVCClientSession::DeactivateQMVolume(const std::string& server, int clientId, const std::string& text,
                                            int volumeId) {
  return call("DeactivateQMVolume", [&] { return args(server, clientId, text, volumeId); },
              [&](Agent& agent, std::string& error) {
                if (agent.activeVolumes.erase(volumeId) == 0)
                  return refuse(error, "Volume [" + std::to_string(volumeId) + "] is not active.");
                return true;
              });
}

bool ZQSVCClientSession::RollbackQMVolumeFromVE(const std::string& server, int volumeId, long timestamp,
                                                bool differential, bool online, int targetVolumeId) {
  return call("RollbackQMVolumeFromVE",
              [&] { return args(server, volumeId, timestamp, differential, online, targetVolumeId); },
              [](Agent&, std::string&) { return true; });
}

bool ZQSVCClientSession::RollbackQMVolumeFromBrowse(const std::string& server, const std::string& historyName,
                                                    bool differential, bool online, int volumeId,
                                                    int targetVolumeId) {
  return call("RollbackQMVolumeFromBrowse",
              [&] { return args(server, historyName, differential, online, volumeId, targetVolumeId); },
              [](Agent&, std::string&) { return true; });
}

bool ZQSVCClientSession::ConfigureQMDevice(const std::string& server, const std::string& quillDevice,
                                           const std::string& mereDevice) {
  return call("ConfigureQMDevice", [&] { return args(server, quillDevice, mereDevice); },
              [&](Agent& agent, std::string& error) {
                auto& list = agent.quillmereDevices[server];
                const std::string pair = quillDevice + "-" + mereDevice;
                if (std::find(list.begin(), list.end(), pair) != list.end())
                  return refuse(error, "Device pair [" + pair + "] is already configured.");
                list.push_back(pair);
                return true;
              });
}

bool ZQSVCClientSession::DeconfigureQMServer(const std::string& oldServer, const std::string& newServer) {
  return call("DeconfigureQMServer", [&] { return args(oldServer, newServer); },
              [&](Agent& agent, std::string& error) {
                auto it = agent.quillmereDevices.find(oldServer);
                if (it == agent.quillmereDevices.end())
                  return refuse(error, "Server [" + oldServer + "] is not configured on the client.");
                std::vector<std::string> devices = std::move(it->second);
                agent.quillmereDevices.erase(it);
                if (!newServer.empty()) {
                  auto& moved = agent.quillmereDevices[newServer];
                  moved.insert(moved.end(), devices.begin(), devices.end());
                }
                for (auto& entry : agent.quillmereVolumes)
                  if (entry.second.server == oldServer) entry.second.server = newServer;
                return true;
              });
}

bool ZQSVCClientSession::GetQuillmereDevices(const std::string& server, int kind, std::vector<std::string>& devices) {
  return call("GetQuillmereDevices", [&] { return args(server, kind); }, [&](Agent& agent, std::string&) {
    auto it = agent.quillmereDevices.find(server);
    devices = it != agent.quillmereDevices.end() ? it->second : std::vector<std::string>{};
    return true;
  });
}

bool ZQSVCClientSession::addVolumeMountPoint(const std::string& device, const std::string& mountPath,
                                             const std::string& fsType, const std::string& option,
                                             std::string* chosenPath, const std::string& sourceDevice,
                                             unsigned long clientId, unsigned long locale) {
  return call("addVolumeMountPoint",
              [&] { return args(device, mountPath, fsType, option, sourceDevice, clientId, locale); },
              [&](Agent& agent, std::string& error) {
                if (mountPath.empty()) return refuse(error, "No mount path was given.");
                if (agent.mounts.count(mountPath) != 0)
                  return refuse(error, "Path [" + mountPath + "] is already a mount point.");
                mount(agent, device, mountPath);
                if (chosenPath != nullptr) *chosenPath = mountPath;
                return true;
              });
}

bool ZQSVCClientSession::addVolumeMountPointOntap(const std::string& snapshot, const std::string& mountPath,
                                                  const std::string& snapVolume, const std::string& source,
                                                  const std::string& user, const std::string& password,
                                                  std::string* chosenPath, int writeable, unsigned long locale) {
  // The password is never journaled.
  return call("addVolumeMountPointOntap",
              [&] {
                return args(snapshot, mountPath, snapVolume, source, user, password.empty() ? "" : "********",
                            writeable, locale);
              },
              [&](Agent& agent, std::string& error) {
                std::string chosen;
                if (!takeScripted(agent.ontapMountPaths, chosen)) chosen = mountPath;
                if (chosen.empty()) return refuse(error, "No mount path was given.");
                if (agent.mounts.count(chosen) != 0)
                  return refuse(error, "Path [" + chosen + "] is already a mount point.");
                mount(agent, snapshot, chosen);
                agent.ontapMounts[mountPath] = chosen;
                if (chosenPath != nullptr) *chosenPath = chosen;
                return true;
              });
}

bool ZQSVCClientSession::removeVolumeMountPoint(const std::string& mountPath, const std::string& source,
                                                unsigned long value, unsigned long locale) {
  return call("removeVolumeMountPoint", [&] { return args(mountPath, source, value, locale); },
              [&](Agent& agent, std::string& error) {
                const std::string path = mountedPathOf(agent, mountPath);
                if (agent.mounts.count(path) == 0)
                  return refuse(error, "Path [" + mountPath + "] is not a mount point.");
                unmount(agent, path);
                for (auto it = agent.ontapMounts.begin(); it != agent.ontapMounts.end();) {
                  it = it->second == path ? agent.ontapMounts.erase(it) : std::next(it);
                }
                return true;
              });
}

bool ZQSVCClientSession::AddCIFSShare(const std::string& shareName, const std::string& path, int maxConnections,
                                      const std::string* remark) {
  return call("AddCIFSShare",
              [&] { return args(shareName, path, maxConnections, remark != nullptr ? *remark : "(none)"); },
              [&](Agent& agent, std::string& error) {
                if (shareName.empty()) return refuse(error, "No share name was given.");
                if (agent.shares.count(shareName) != 0)
                  return refuse(error, "Share [" + shareName + "] already exists.");
                agent.shares[shareName] =
                    tkclientvol::CIFSShare{path, maxConnections, remark != nullptr ? *remark : std::string()};
                return true;
              });
}

bool ZQSVCClientSession::DelCIFSShare(const std::string& shareName) {
  return call("DelCIFSShare", [&] { return args(shareName); }, [&](Agent& agent, std::string& error) {
    if (agent.shares.erase(shareName) == 0) return refuse(error, "Share [" + shareName + "] does not exist.");
    return true;
  });
}
