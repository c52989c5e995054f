// The object model's calls behind the disk-library setup wizard: the shown
// test of a disk library, the storage policy a library made by the wizard
// is stored with, and the device its first mount path lies on.
#include <string>

#include "frame/mac/ZQMACObjects.h"
#include "platform/archivemgr/ArchiveManagerTK.h"
#include "platform/db/DBSession.h"
#include "platform/db/DBtable.h"
#include "platform/mac/ZQMACGraph.h"
#include "platform/mac/ZQMACPlatform.h"
#include "platform/mmdb/MMDerivedNames.h"
#include "platform/mmdb/MMMediaConfigDB.h"
#include "platform/tran/StoreStep.h"

bool ZQMACMagLib::IsShown() {
  return m_bShownFlag && (m_pMediaAgent == nullptr || m_pMediaAgent->IsShown());
}

namespace tkmac {

bool createLibraryStoragePolicy(ZQMACMagLib& library, int libraryId, const std::string& name) {
  const ZQMACMediaAgent* agent = library.GetMediaAgent();
  const int agentId = agent != nullptr ? static_cast<int>(agent->GetId()) : 0;
  ArchiveManagerTK archive(nullptr);
  int policy = 0;
  std::string error;
  const int rc = archive.CreateStoragePolicyForLibrary(libraryId, name, agentId, nullptr, policy, error);
  if (rc == 0) return true;
  library.SetLastError(kErrorDatabase, error);
  MMMediaConfigDB().removeObject(MMStoredKind::Library, libraryId);
  return false;
}

ZQMACMountPath* addWizardMountPath(ZQMACMagLib& library, MountPathInfo info) {
  ZQMACMediaConfig* config = library.GetOwner();
  ZQMACMediaAgent* agent = library.GetMediaAgent();
  if (config == nullptr || !ZQMACGraph::IsDatabaseBacked(*config) || agent == nullptr ||
      agent->GetId() == 0xFFFFFFFFu || info.deviceId != 0 || info.path.empty())
    return library.AddMountPath(info);
  auto refuse = [&](const std::string& why, const std::string& reason) {
    library.SetLastError(kErrorDatabase, why + (reason.empty() ? std::string() : ": " + reason));
    return nullptr;
  };
  FolderDevice made;
  made.agentId = static_cast<int>(agent->GetId());
  made.deviceName = tkmmdb::folderDeviceName(library.GetName());
  made.folder = info.path;
  made.userName = info.userName;
  // The description carries the password in its stored form already: the
  // device keeps the same text as the mount path, never enciphered again.
  made.password = info.password;
  tktran::StoreStep step(__func__);
  if (!step.begin()) return refuse("The mount path could not be stored", step.error());
  int deviceId = 0;
  int volumeId = 0;
  tkdb::Session s;
  const int inserted = s.atomically([&]() { return insertFolderDevice(s, made, deviceId, volumeId); });
  if (inserted != 0) return refuse("The device of the mount path could not be stored", DBtable::getErrorStr(inserted));
  // The device and its volume as a load lays them from the rows.
  ZQMACDiskDevice* device = ZQMACGraph::AddDiskDevice(*config, deviceId, made.deviceName);
  if (device == nullptr) return refuse(config->GetLastError(), "");
  ZQMACGraph::SetDeviceTypes(device, made.deviceType, 0);
  ZQMACGraph::SetConfigured(device, true);
  ZQMACDiskVolume* volume = ZQMACGraph::AddDiskVolume(device, agent, volumeId, made.folder);
  if (volume != nullptr) ZQMACGraph::SetConfigured(volume, true);
  info.deviceId = deviceId;
  ZQMACMountPath* path = volume != nullptr ? library.AddMountPath(info) : nullptr;
  if (path != nullptr && step.commit()) return path;
  // Nothing is stored (the transaction goes back); the objects go too.
  if (path != nullptr) {
    config->DeleteObject(path);
    refuse("The mount path could not be stored", step.error());
  } else if (volume == nullptr) {
    refuse(config->GetLastError(), "");
  }
  config->DeleteObject(device);
  return nullptr;
}

}  // namespace tkmac
