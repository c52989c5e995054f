// The object model's call that adds a mount path to a disk library
// (ZQMACMagLib::AddMountPath): the description is checked, the mount path is
// stored with the library when its configuration lives on the central
// database (platform/mmdb/MMMediaConfigMountPaths.cpp), and only then made
// an object of the configuration, so a refusal leaves neither a row nor an
// object behind.
//
// Journal: "AddMountPath" (the library's handle, library id, path, user
// name, the password's length (never the password), type, device id); a
// failure injected into it makes the next call fail with its code and text
// as the library's last error.
#include <string>

#include "frame/mac/ZQMACObjects.h"
#include "platform/db/TextWidth.h"
#include "platform/mac/ZQMACGraph.h"
#include "platform/mac/ZQMACPlatform.h"
#include "platform/mac/ZQMACTableErrors.h"
#include "platform/mmdb/MMMediaConfigDB.h"
#include "platform/security/StoredPassword.h"

namespace {

// Widths of the stored texts, in bytes.
constexpr std::size_t kPathWidth = 4096;
constexpr std::size_t kUserNameWidth = tkpassword::kUserNameWidth;
constexpr std::size_t kPasswordWidth = tkpassword::kPasswordColumnWidth;

// Why the description cannot make a mount path; empty when it can.
std::string descriptionProblem(const MountPathInfo& info, unsigned int libraryId) {
  if (info.libraryId < 0 || static_cast<unsigned int>(info.libraryId) != libraryId)
    return "The mount path is described for library [" + std::to_string(info.libraryId) + "], not for this one.";
  if (info.path.empty()) return "No mount path was given.";
  std::string refusal;
  if (!tkdb::fitsColumn("mount path", info.path, kPathWidth, refusal) ||
      !tkpassword::userNameFits(info.userName, kUserNameWidth, refusal))
    return refusal;
  // The password comes in its stored form: one that does not fit its
  // column is refused as every route refuses it.
  if (info.password.size() > kPasswordWidth) return tkpassword::tooLongText(kPasswordWidth);
  if (info.password.find('\0') != std::string::npos) return "The mount path description holds a NUL character.";
  if (info.maxConcurrentWriters < 0 || info.reserveSpaceMB < 0) return "The mount path settings must not be negative.";
  return {};
}

}  // namespace

ZQMACMountPath* ZQMACMagLib::AddMountPath(MountPathInfo const& info) {
  tkmac::journal().record("AddMountPath", GetHandle(), info.libraryId, info.path, info.userName, info.password.size(),
                          info.mountPathType, info.deviceId);
  // The library changes only in its mount-path list and media agent, which
  // a re-read lays from the rows; the new mount path is touched.
  if (tkmac::failedUntouched(*this, "AddMountPath")) return nullptr;
  ZQMACMediaConfig* config = GetOwner();
  if (config == nullptr) {
    SetLastError(tkmac::kErrorNotStored, "The disk library is not configured yet; it cannot take mount paths.");
    return nullptr;
  }
  if (std::string problem = descriptionProblem(info, GetId()); !problem.empty()) {
    SetLastError(tkmac::kErrorInvalidValue, problem);
    return nullptr;
  }
  ZQMACDiskDevice* device = nullptr;
  ZQMACMediaAgent* agent = nullptr;
  if (info.deviceId != 0) {
    device = config->FindDBNode<ZQMACDiskDevice>(info.deviceId);
    if (device == nullptr) {
      SetLastError(kErrorMountPathNoDevice,
                   "The disk device [" + std::to_string(info.deviceId) + "] is not in the configuration.");
      return nullptr;
    }
    ZQMACLinkedList<ZQMACDiskVolume> volumes = device->GetVolumeList();
    for (ZQMACDiskVolume* v = volumes.GetFirstNode(); v != nullptr && agent == nullptr; v = volumes.GetNextNode())
      agent = v->GetMediaAgent();
    if (agent == nullptr) {
      SetLastError(kErrorMountPathUnreached,
                   "No media agent reaches the disk device [" + device->GetName() + "] of the mount path.");
      return nullptr;
    }
  }
  ZQMACLinkedList<ZQMACMountPath> paths = GetMountPathList();
  for (ZQMACMountPath* p = paths.GetFirstNode(); p != nullptr; p = paths.GetNextNode())
    if (p->GetName() == info.path) {
      SetLastError(kErrorMountPathInUse, "The library has a mount path [" + info.path + "] already.");
      return nullptr;
    }

  int id = 0;
  const bool stored = ZQMACGraph::IsDatabaseBacked(*config);
  if (stored) {
    MMNewMountPath row;
    row.libraryId = info.libraryId;
    row.name = info.path;
    row.userName = info.userName;
    row.password = info.password;
    row.typeId = info.mountPathType;
    row.deviceId = info.deviceId;
    row.maxConcurrentWriters = info.maxConcurrentWriters;
    row.reserveSpaceMB = info.reserveSpaceMB;
    row.capacity = tkmac::newMountPathCapacity();
    MMMediaConfigDB access;
    if (access.insertMountPath(row, id) != 0) {
      SetLastError(tkmac::modelErrorOf(access, kErrorMountPathInUse), access.lastErrorText());
      return nullptr;
    }
  } else {
    id = tkmac::takeNewObjectId();
  }
  ZQMACMountPath* path = ZQMACGraph::AddMountPath(this, agent, id, info.path);
  if (path == nullptr) {
    SetLastError(tkmac::kErrorAdoptRefused, config->GetLastError());
    if (stored) MMMediaConfigDB().removeObject(MMStoredKind::MountPath, id);
    return nullptr;
  }
  ZQMACGraph::SetMountPathType(path, info.mountPathType);
  ZQMACGraph::SetForeignAgentId(path, info.deviceId);
  ZQMACGraph::SetConfigured(path, true);
  path->SetUserName(info.userName);
  path->SetUserPassword(info.password);
  if (m_pMediaAgent == nullptr) m_pMediaAgent = agent;
  ClearLastError();
  return path;
}
