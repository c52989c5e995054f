// The device-list configuration: an XML request that configures the
// replication filter on a list of one client's volumes in one call of the
// client's volume service, answers with one entry per volume, and records
// what the client configured in the central tables through the replication
// manager.
//
// The answer is the reply's error code. A request that cannot be read, or
// names an unknown client, is refused before anything is written into the
// text (the host sends the code alone); a request the client could not
// serve is answered with the generic reply; one the client served is
// answered with its entries even when recording them failed (code
// 0x3900008b): the devices are configured on the client by then.
//
// The recording is best effort entry by entry: a failing entry is logged,
// turns the result false and does not stop the walk; each replication
// manager call is whole on its own (none runs in a transaction of ours).
#include <optional>
#include <string>
#include <vector>

#include "Db/Proc/QR_GetDeviceID.h"
#include "frame/EvEvent.h"
#include "frame/MessageInfo.h"
#include "platform/client/ZQClient.h"
#include "platform/clientvol/ClientVolumeInventory.h"
#include "platform/clientvol/ZQSVCClientSession.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/replicadb/ReplicationMgr.h"
#include "platform/xml/DeviceListMessages.h"
#include "platform/xml/ZQGuiMessages.h"
#include "sanvol/EvSANVolMgr.h"

namespace {

using EVGui::DKBFConfigureDeviceRespEntry;
using EVGui::DKBFConfigureDevicesReq;
using EVGui::DKBFConfigureDevicesResponse;
using EVGui::IdName;
using ZQGui::GenericResp;

constexpr const char* kTag = "EvSANVolMgr::onMsgConfigureDeviceListCommand";
constexpr const char* kUpdateTag = "EvSANVolMgr::updateTKDatabaseForListOfVolumes";

// Results of the request besides 0 and the response's own codes.
constexpr long long kResultInitialize = 0xb0001;  // the message library could not be initialised
constexpr long long kResultUnreadable = 0xb0002;  // the request, or the generic reply, could not be read or written
constexpr long long kResultNotWritten = -1;       // the response could not be written
// Codes of the generic reply (and results): the client or its release id
// could not be read; the client could not be reached.
constexpr long long kCodeLookupFailed = 0x39000006;
constexpr long long kCodeClientUnreachable = -1;

constexpr const char* kUnreachableText =
    "Unable to contact Client. Please make sure that client services are up and running. ";
constexpr const char* kDatabaseText = "DB error";

// The application types whose devices the central tables record with
// their device and mount point (the others are only renamed).
bool recordsDevices(int appType) { return appType == 84 || appType == 29 || appType == 21 || appType == 19; }

// Values of a recorded device.
constexpr int32_t kDeviceIdType = 1;
constexpr int32_t kBlockSize = 512;
constexpr int32_t kVolumeType = 1;

// ---------------------------------------------------------------- recording

// What one entry did to the overall result.
enum class Entry { Kept, Failed };

// The device id of the client's device of that name, logged; nothing when
// the lookup failed, found no row or found id 0 (the entry then ends
// without changing the result).
std::optional<int> deviceIdOf(int clientId, const std::string& name) {
  int deviceId = 0;
  int result = 0;
  switch (lookupDeviceId(clientId, name.c_str(), &deviceId, &result)) {
    case DeviceIdOutcome::QueryFailed:
      EvDebug::Error(kUpdateTag, "QR_GetDeviceID::getOneRow failed with Error [%lu] for clientID [%d] DeviceName [%s]",
                     static_cast<unsigned long>(static_cast<unsigned int>(result)), clientId, name.c_str());
      return std::nullopt;
    case DeviceIdOutcome::NoRow:
      EvDebug::Error(kUpdateTag, "%s", "pDeviceInfo is NULL");
      return std::nullopt;
    case DeviceIdOutcome::ZeroId:
      EvDebug::Error(kUpdateTag, "%s", "o_deviceID is Zero");
      return std::nullopt;
    case DeviceIdOutcome::Found:
      break;
  }
  EvDebug::Debug(kUpdateTag, "deviceID = [%d]", deviceId);
  return deviceId;
}

Entry failed(const std::string& errorText) {
  EvDebug::Error(kUpdateTag, "%s", errorText.c_str());
  return Entry::Failed;
}

// A device already configured under its name: brings its first mount point
// in step with the entry. Kept with `updated` false when the entry is done.
Entry checkMountPath(const volumeInfo& entry, int clientId, bool& updated) {
  updated = false;
  const std::optional<int> deviceId = deviceIdOf(clientId, entry.oldName);
  if (!deviceId) return Entry::Kept;
  EvDebug::Debug(kUpdateTag, "Calling  ReplicationMgr::QuerySNRVolMountPoint function with Device ID [%d]", *deviceId);
  ReplicationMgr manager;
  QuerySNRVolMountPointBySNRVolDevIdArgs_t query;
  query.deviceNameId = *deviceId;
  QuerySNRVolMountPointBySNRVolDevIdRet_t found;
  if (!manager.QuerySNRVolMountPoint(query, found, nullptr)) return failed(found.errorText);
  if (found.mountPoints.empty()) {
    // Nothing to bring in step, and nothing wrong with the device itself.
    EvDebug::Error(kUpdateTag, "No mount point is recorded for Device ID [%d]; the mount path [%s] is not updated",
                   *deviceId, entry.mountPath.c_str());
    return Entry::Kept;
  }
  SNRVolumeMountPointRecord_t mountPoint = found.mountPoints.front();
  if (mountPoint.mountPath == entry.mountPath) {
    EvDebug::Debug(kUpdateTag,
                   "Not updated the mount path [%s] in the database for Device ID [%d]:: Reason - No change in the "
                   "mount path ",
                   entry.mountPath.c_str(), *deviceId);
    return Entry::Kept;
  }
  EvDebug::Debug(kUpdateTag,
                 "Calling  ReplicationMgr::UpdateSNRVolMountPoint function with Device ID [%d] and MountPath [%s]",
                 *deviceId, entry.mountPath.c_str());
  // The record as stored (its flags kept), moved to the entry's path.
  UpdateSNRMountPointArgs_t update;
  update.mountPoint = mountPoint;
  update.mountPoint.deviceNameId = *deviceId;
  update.mountPoint.mountPath = entry.mountPath;
  UpdateSNRMountPointRet_t updatedRet;
  if (!manager.UpdateSNRVolMountPoint(update, updatedRet, nullptr)) return failed(updatedRet.errorText);
  updated = true;
  return Entry::Kept;
}

// Adds the entry's device with its volume; Kept with `added` false when the
// client already has it (-12).
Entry addDevice(ReplicationMgr& manager, const volumeInfo& entry, int clientId, bool& added) {
  added = false;
  AddSNRDeviceV5Args_t args;
  SNRVolumeRecordV4_t& volume = args.volume;
  volume.deviceId = "client" + std::to_string(clientId) + ":" + entry.devicePath;
  volume.deviceIdType = kDeviceIdType;
  volume.lun = 0;
  volume.startLba = 0;
  volume.blockCount = entry.blockCount;
  volume.blockSize = kBlockSize;
  volume.backupFromSnap = false;
  volume.volumeLock = false;
  volume.usePermanentReplica = false;
  volume.applianceId = 0;
  volume.volumeType = kVolumeType;
  SNRVolumeDeviceNameV4Record_t& device = args.deviceName;
  device.hostId = clientId;
  device.deviceName = entry.devicePath;
  device.caseSensitive = true;
  device.configFlag = entry.vvmVolume;
  EvDebug::Debug(kUpdateTag, "Calling  ReplicationMgr::AddSNRDevice function for DeviceName [%s]",
                 entry.devicePath.c_str());
  AddSNRDeviceV5Ret_t ret;
  if (manager.AddSNRDevice(args, ret, nullptr)) {
    added = true;
    return Entry::Kept;
  }
  if (ret.resultCode == AddSNRDeviceV5Ret_t::kDeviceAlreadyConfigured) {
    EvDebug::Debug(kUpdateTag, "%s", "DKBF is already configured ..");
    return Entry::Kept;
  }
  return failed(ret.errorText);
}

// Records one entry of the result.
Entry recordEntry(const volumeInfo& entry, int clientId, int appType) {
  if (entry.errorCode != 0) return Entry::Kept;
  const bool withDevice = recordsDevices(appType);
  if (entry.oldName == entry.changedName) {
    EvDebug::Debug(kUpdateTag, "Dkbf is already configured for this device[%s]. Checking the mount path ..",
                   entry.oldName.c_str());
    if (!withDevice) return Entry::Kept;
    bool updated = false;
    if (checkMountPath(entry, clientId, updated) == Entry::Failed) return Entry::Failed;
    if (!updated) return Entry::Kept;
  }
  EvDebug::Debug(kUpdateTag, "Updating QR tables for the apptype [%d]", appType);
  ReplicationMgr manager;
  bool added = false;
  if (withDevice) {
    if (addDevice(manager, entry, clientId, added) == Entry::Failed) return Entry::Failed;
    if (!added) return Entry::Kept;
  }
  const std::optional<int> deviceId = deviceIdOf(clientId, withDevice ? entry.devicePath : entry.oldName);
  if (!deviceId) return Entry::Kept;
  if (added) {
    AddSNRMountPointArgs_t args;
    args.mountPoint.deviceNameId = *deviceId;
    args.mountPoint.mountPath = entry.mountPath;
    args.mountPoint.caseSensitive = true;
    EvDebug::Debug(kUpdateTag, "Calling  ReplicationMgr::AddMountPoint function with Device ID [%d] and MountPath [%s]",
                   *deviceId, entry.mountPath.c_str());
    AddSNRMountPointRet_t ret;
    if (!manager.AddMountPoint(args, ret, nullptr)) return failed(ret.errorText);
  }
  ConfigureDeviceV2Args_t args;
  args.deviceName.deviceNameId = *deviceId;
  args.deviceName.deviceName = entry.changedName;
  args.deviceName.configFlag = entry.vvmVolume;
  EvDebug::Debug(kUpdateTag,
                 "Calling  ReplicationMgr::ConfigureDevice function with Device ID [%d] for DeviceName [%s] VVMVol [%d]",
                 *deviceId, entry.changedName.c_str(), entry.vvmVolume ? 1 : 0);
  ConfigureDeviceV2Ret_t ret;
  if (!manager.ConfigureDevice(args, ret, nullptr)) return failed(ret.errorText);
  return Entry::Kept;
}

// ---------------------------------------------------------------- replies

// The generic reply of a request the client could not serve, written into
// the text; the code, or kResultUnreadable when it could not be written.
long long answerGeneric(long long code, const std::string& sessionError, std::string& text) {
  const std::string reason = code == kCodeClientUnreachable ? kUnreachableText + sessionError : kDatabaseText;
  EvDebug::Error(kTag, "Error in processing the GUI request. errorCode [%lld], Session Error [%s]", code,
                 sessionError.c_str());
  GenericResp reply;
  reply.setint64(GenericResp::kCode.ordinal, GenericResp::kCode.tag, code, GenericResp::kClassHash,
                 GenericResp::kCode.hash);
  reply.setstring(GenericResp::kText.ordinal, GenericResp::kText.tag, reason, GenericResp::kClassHash,
                  GenericResp::kText.hash);
  const int written = reply.serialize(text, false);
  if (written != 0) {
    EvDebug::Error(kTag, "Error [%d] return from ZQGui::GenericResp::serialize.", written);
    text.clear();
    return kResultUnreadable;
  }
  return code;
}

void appendEntry(tkxml::MessageList& entries, DKBFConfigureDeviceRespEntry& item, const volumeInfo& result) {
  using E = DKBFConfigureDeviceRespEntry;
  item.setint64(E::kValue.ordinal, E::kValue.tag, result.entryValue, E::kClassHash, E::kValue.hash);
  item.setstring(E::kOldName.ordinal, E::kOldName.tag, result.oldName, E::kClassHash, E::kOldName.hash);
  item.setstring(E::kChangedName.ordinal, E::kChangedName.tag, result.changedName, E::kClassHash,
                 E::kChangedName.hash);
  item.setint64(E::kErrorCode.ordinal, E::kErrorCode.tag, static_cast<long long>(result.errorCode), E::kClassHash,
                E::kErrorCode.hash);
  item.setstring(E::kErrorText.ordinal, E::kErrorText.tag, result.errorText, E::kClassHash, E::kErrorText.hash);
  entries.push_back(item);
  EvDebug::Debug(kTag,
                 " Old Volume Name [%s] :: Changed Volume Name [%s] :: DirMountPath [%s] :: DirDevicePath [%s] :: "
                 "Error Code [%lu] :: Error String [%s] ",
                 result.oldName.c_str(), result.changedName.c_str(), result.mountPath.c_str(),
                 result.devicePath.c_str(), static_cast<unsigned long>(result.errorCode), result.errorText.c_str());
}

}  // namespace

bool EvSANVolMgr::updateTKDatabaseForListOfVolumes(const std::vector<volumeInfo>& results, int clientId,
                                                   int appType) {
  bool allRecorded = true;
  for (const volumeInfo& entry : results)
    if (recordEntry(entry, clientId, appType) == Entry::Failed) allRecorded = false;
  return allRecorded;
}

long long EvSANVolMgr::onMsgConfigureDeviceListCommand(MessageInfo* request, std::string& text) {
  if (request == nullptr) {
    EvDebug::Debug(kTag, "%s", "Bad Parameter Received.");
    return kResultNotWritten;
  }
  EvEvent event(kTag);
  event.setLocaleId(request->sequenceNumber);
  const unsigned long locale = event.getLocaleId();

  const int initialized = CNMessageBase::Initialize();
  if (initialized != 0) {
    EvDebug::Error(kTag, "%s", "request Initialize() failed.");
    return kResultInitialize;
  }
  DKBFConfigureDevicesReq devicesRequest;
  const int read = devicesRequest.unserialize(text);
  if (read != 0) {
    EvDebug::Error(kTag, "Error [%d] returned from unserialize.", read);
    return kResultUnreadable;
  }
  using Req = DKBFConfigureDevicesReq;
  const int clientId =
      static_cast<int>(devicesRequest.getint64(Req::kClientId.tag, Req::kClassHash, Req::kClientId.hash));
  const int appType = static_cast<int>(devicesRequest.getint64(Req::kAppType.tag, Req::kClassHash, Req::kAppType.hash));
  const unsigned long clientKey = static_cast<unsigned long>(static_cast<unsigned int>(clientId));
  ZQClient client(clientKey);
  const int lookedUp = client.lookup(nullptr);
  if (lookedUp != 0) {
    EvDebug::Error(kTag, "Client lookup failed for client [%d] Error [%d].", clientId, lookedUp);
    return kCodeLookupFailed;
  }
  std::string host;
  client.getNetworkHostname(host, nullptr);
  ZQSVCClientSession session(host, clientId, nullptr, nullptr);

  std::vector<std::string> names;
  const tkxml::MessageList& volumes =
      devicesRequest.getlistobject(Req::kVolumes.ordinal, Req::kVolumes.tag, Req::kClassHash, Req::kVolumes.hash, false);
  for (const CNMessageBase& volume : volumes) {
    names.push_back(volume.getstringByRef(IdName::kIdName.ordinal, IdName::kIdName.tag, IdName::kClassHash,
                                          IdName::kIdName.hash));
    EvDebug::Debug(kTag, "Volume name [%s] got from GUI request", names.back().c_str());
  }
  if (names.empty()) {
    EvDebug::Error(kTag, "%s", "There are no volumes in the GUI request");
    return answerGeneric(kCodeClientUnreachable, session.getLastErrorString(), text);
  }
  unsigned long long releaseId = 0;
  if (client.getReleaseId(releaseId, nullptr) != 0) {
    EvDebug::Error(kTag, "Unable to get the release id for client [%d]", clientId);
    return answerGeneric(kCodeLookupFailed, session.getLastErrorString(), text);
  }
  std::string displayName;
  client.getDisplayName(displayName, nullptr);
  std::vector<volumeInfo> results;
  unsigned long listCode = 0;
  if (!session.configureListOfQRDevices(appType, names, results, &listCode, static_cast<unsigned long>(releaseId),
                                        locale, displayName)) {
    EvDebug::Error(kTag, "%s", "ZQSVCClientSession::configureListOfQRDevices failed");
    return answerGeneric(kCodeClientUnreachable, session.getLastErrorString(), text);
  }

  using Resp = DKBFConfigureDevicesResponse;
  Resp response;
  long long code = 0;
  tkxml::MessageList& entries =
      response.getlistobject(Resp::kEntries.ordinal, Resp::kEntries.tag, Resp::kClassHash, Resp::kEntries.hash, true);
  DKBFConfigureDeviceRespEntry item;
  for (const volumeInfo& result : results) appendEntry(entries, item, result);
  if (!updateTKDatabaseForListOfVolumes(results, clientId, appType)) {
    EvDebug::Error(kTag, " Error in updating TK database for the client [%d]", clientId);
    code = Resp::kErrorDatabase;
  }
  response.setint64(Resp::kErrorCode.ordinal, Resp::kErrorCode.tag, code, Resp::kClassHash, Resp::kErrorCode.hash);
  const int written = response.serialize(text, false);
  if (written != 0) {
    EvDebug::Error(kTag, "%s", "Serialization failed for myResp");
    // No reply in the text: the host must not send the request back as one.
    text.clear();
    return kResultNotWritten;
  }
  return code;
}
