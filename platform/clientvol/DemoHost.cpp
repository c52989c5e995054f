// The demonstration SAN volume host (see DemoHost.h).
#include "platform/clientvol/DemoHost.h"

#include "platform/clientvol/ClientAgents.h"
#include "platform/db/DBSession.h"

namespace tkclientvol {
namespace {

ZQSVCClientVolumeInfo demoVolume(const std::string& device, const std::string& id, const std::string& fsType,
                                 const std::string& mountPath, int64_t blocks) {
  ZQSVCClientVolumeInfo volume;
  volume.deviceName = device;
  volume.idString = id;
  volume.fsType = fsType;
  volume.idType = 3;
  volume.blockCount = blocks;
  volume.blockSize = 512;
  volume.caseSensitive = device[0] == '/';
  volume.mountPoints.push_back({mountPath, volume.caseSensitive});
  return volume;
}

}  // namespace

int seedDemoHost(std::string& report) {
  tkdb::Session session;
  const int rc = session.atomically([&] {
    int code = session.exec(
        "INSERT OR IGNORE INTO \"APP_Client\" (\"id\", \"name\", \"net_hostname\", \"releaseId\", \"displayName\") "
        "VALUES (?, ?, ?, 12, ?)",
        {kDemoHostClientId, kDemoHostName, kDemoHostName, kDemoHostName});
    if (code != 0) return code;
    return session.exec("INSERT OR IGNORE INTO \"VEHost\" (\"hostId\", \"hostName\", \"item11718\") VALUES (?, ?, 0)",
                        {kDemoHostClientId, kDemoHostName});
  });
  if (rc != 0) return rc;
  // A second seed in the same process finds the agent seeded already.
  if (snapshot(kDemoHostName).volumes.empty()) {
    seedHost(kDemoHostName, kDemoHostClientId);
    seedVolume(kDemoHostName, demoVolume("E:", "\\\\?\\Volume{5e1d0c2a}", "NTFS", "E:\\", 2097152));
    seedVolume(kDemoHostName, demoVolume("/dev/sdb", "scsi-3600a0b800012", "ext4", "/data", 4194304));
  }
  // The volumes are on the host's agent, not recorded: the volume listing
  // shows a volume only once the console has recorded it.
  report = "SAN volume host sanhost1 (client 101); its agent reports volumes E: and /dev/sdb, which san-discover "
           "101 sanhost1 shows and san-volumes 101 lists once they are recorded (onMsgSetSANVolume operation 48)";
  return 0;
}

}  // namespace tkclientvol
