// The client volume service: operations that run on a client machine
// (listing its volumes, configuring replication devices, continuous-
// replication volume control, mounts and CIFS shares), one object per
// operation, addressed to the client by its host name.
//
//   ZQSVCClientSession session(hostName, clientId, nullptr, nullptr);
//   if (!session.ProtectQuillmereVolume(volume, server))
//     log("... Reason: " + session.getLastErrorString());
//
// Every operation returns true on success; on false getLastErrorString()
// of the same object gives the reason (an unknown host fails every call).
// The agents behind it are in memory (platform/clientvol/ClientAgents.h);
// the network pointers are accepted and unused.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/clientvol/ClientVolumeInventory.h"

class CZqNetwork;

namespace tkclientvol {
struct Agent;
}

class ZQSVCClientSession {
 public:
  ZQSVCClientSession(const std::string& hostName, int clientId, CZqNetwork* first = nullptr,
                     CZqNetwork* second = nullptr);

  // The client's volumes with their mount points.
  bool getVolumeList(std::vector<ZQSVCClientVolumeInfo>& volumes);
  bool getVolumeList(std::vector<ZQSVCClientVolumeInfo>& volumes, const std::string& filter, int kind,
                     unsigned long flags);

  // Configures a replication device; `deviceText` receives the device as
  // the client names it and `vvm` whether it is a VVM volume.
  bool configureQRDevice(const std::string& device, std::string& deviceText, unsigned long value1, bool flag1,
                         unsigned long value2, bool flag2, bool& vvm, bool flag3, bool flag4,
                         unsigned long* errorCode, unsigned long value3, unsigned long locale, std::string extra);
  // Configures each device of the list; one result entry per device, a
  // non-zero error code marking a failed entry.
  bool configureListOfQRDevices(int count, std::vector<std::string>& devices, std::vector<volumeInfo>& results,
                                unsigned long* errorCode, unsigned long value, unsigned long locale,
                                std::string extra);
  // Unconfigures a configured device (an unknown one fails).
  bool unconfigureQRDevice(const std::string& device, bool flag, unsigned long locale);
  bool unconfigureQRDevice100(const std::string& device, bool flag, unsigned long locale, std::string extra);

  // Continuous-replication volumes.
  // Protect and terminate take the replication server, then the volume.
  bool ProtectQuillmereVolume(const std::string& server, const std::string& volume);
  bool TerminateQuillmereVolume(const std::string& server, const std::string& volume);
  bool SuspendQuillmereVolume(const std::string& volume);
  bool ResumeQuillmereVolume(const std::string& volume);
  bool ActivateQMVolume(const std::string& server, const std::string& location, int clientId,
                        const std::string& historyName, int sourceVolumeId, int volumeId, unsigned long timestamp);
  bool DeactivateQMVolume(const std::string& server, int clientId, const std::string& text, int volumeId);
  bool RollbackQMVolumeFromVE(const std::string& server, int volumeId, long timestamp, bool differential,
                              bool online, int targetVolumeId);
  bool RollbackQMVolumeFromBrowse(const std::string& server, const std::string& historyName, bool differential,
                                  bool online, int volumeId, int targetVolumeId);
  bool ConfigureQMDevice(const std::string& server, const std::string& quillDevice, const std::string& mereDevice);
  bool DeconfigureQMServer(const std::string& oldServer, const std::string& newServer);
  bool GetQuillmereDevices(const std::string& server, int kind, std::vector<std::string>& devices);

  // Mounts and shares. `chosenPath` (may be null) receives the path where
  // the client mounted.
  bool addVolumeMountPoint(const std::string& device, const std::string& mountPath, const std::string& fsType,
                           const std::string& option, std::string* chosenPath, const std::string& sourceDevice,
                           unsigned long clientId, unsigned long locale);
  bool addVolumeMountPointOntap(const std::string& snapshot, const std::string& mountPath,
                                const std::string& snapVolume, const std::string& source, const std::string& user,
                                const std::string& password, std::string* chosenPath, int writeable,
                                unsigned long locale);
  bool removeVolumeMountPoint(const std::string& mountPath, const std::string& source, unsigned long value,
                              unsigned long locale);
  bool AddCIFSShare(const std::string& shareName, const std::string& path, int maxConnections,
                    const std::string* remark);
  bool DelCIFSShare(const std::string& shareName);

  std::string getLastErrorString() const { return m_lastError; }

 private:
  // Journals the call, takes an injected failure, and runs `work` on the
  // host's agent; the last error is its text on failure.
  bool call(const char* name, const std::function<std::vector<std::string>()>& arguments,
            const std::function<bool(tkclientvol::Agent&, std::string&)>& work);

  std::string m_host;
  std::string m_lastError;
};
