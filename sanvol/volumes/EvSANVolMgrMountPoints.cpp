// Mounting and unmounting a SAN volume at a path on a client: the client
// volume service does the mount (1) or unmount (2), the replica database
// records or forgets the mount point. A snapshot volume mounts with its
// source device; a VSS snapshot on a client of release 12 or later is named
// by its snapshot id. The mount's answer carries the new mount point's id.
//
// A mount done on the client stays done when it cannot be recorded; the
// failure answer says so.
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "frame/ElementTags.h"
#include "frame/MessageInfo.h"
#include "frame/SANVolFrame.h"
#include "frame/SANVolReplyItems.h"
#include "platform/client/ZQClient.h"
#include "platform/clientvol/ZQSVCClientSession.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/replicadb/ReplicaDBClient.h"
#include "sanvol/EvSANVolMgr.h"

namespace {

constexpr const char* kTag = "EvSANVolMgr::onMsgVolumeMountPointCommand";

// ---------------------------------------------------------------- catalogue ids

constexpr unsigned long kTextMountFailed = 0x39000083;           // %1 the device, %2 the mount path
constexpr unsigned long kTextMountNotRecorded = 0x39000085;      // %1 the mount path
constexpr unsigned long kTextUnmountFailed = 0x39000086;         // %1 the mount path
constexpr unsigned long kTextMountPointNotRemoved = 0x39000087;  // %1 the mount path

// ---------------------------------------------------------------- elements and operations

enum : unsigned int {
  kElementClient = tktag::kSanVolumeHost,
  kElementDeviceName = tktag::kDeviceName,
  kElementMountPoint = tktag::kVolumeMountPoint,
  kElementFsType = tktag::kFileSystemType,
  kElementMountOption = tktag::kMountOption,
  kElementSnapSource = tktag::kSnapshotSourceVolume,
  kElementSnapSourceOld = tktag::kPrimaryVolume,
};

constexpr unsigned long long kOperationMount = 1;
constexpr unsigned long long kOperationUnmount = 2;

constexpr unsigned long kItemMountPoint = tktag::kVolumeMountPoint;
// Clients of this release and later know VSS snapshot devices.
constexpr unsigned long long kReleaseWithVssSnapshots = 12;
constexpr const char* kVssMoniker = "VSS_SNAP_SSID_MONIKER";
constexpr char kVssSeparator = '\x15';
constexpr uint32_t kFlagCaseSensitive = 0x1;
constexpr uint32_t kFlagExtra = 0x2;
constexpr int kLevelReceived = 7;

class MountCommand final : public tksanvol::StreamHandler {
 public:
  bool takeElement(tksanvol::StreamContext&, unsigned int type, const char* v, unsigned int n) override {
    switch (type) {
      case kElementClient:
        m_client = tksanvol::readIdText(v, n);
        EvDebug::DebugLvl(kLevelReceived, kTag, "Received, Client Id=%d, Client Name = %s.",
                          static_cast<int>(m_client->id), m_client->text.c_str());
        return true;
      case kElementDeviceName:
        m_device = tksanvol::readHdr12Text(v, n);
        EvDebug::DebugLvl(kLevelReceived, kTag, "Received, SNRVolumeDeviceNameId=%d, SNRVolumeDeviceName = %s.",
                          static_cast<int>(m_device->id), m_device->text.c_str());
        return true;
      case kElementMountPoint:
        m_mountPoint = tksanvol::readHdr12Text(v, n);
        EvDebug::DebugLvl(kLevelReceived, kTag, "Received, SNRVolumeMountPointId=%d, SNRVolumeMountPoint = %s.",
                          static_cast<int>(m_mountPoint->id), m_mountPoint->text.c_str());
        return true;
      case kElementFsType:
        m_fsType = tksanvol::readText(v, n);
        EvDebug::DebugLvl(kLevelReceived, kTag, "Received, File System Type = %s.", m_fsType.c_str());
        return true;
      case kElementMountOption:
        m_option = tksanvol::readText(v, n);
        EvDebug::DebugLvl(kLevelReceived, kTag, "Received, Mount Cmd Option = %s.", m_option.c_str());
        return true;
      case kElementSnapSource:
      case kElementSnapSourceOld: {
        const uint32_t id = tksanvol::readU32(v, n);
        (type == kElementSnapSource ? m_snapSource : m_snapSourceOld) = id;
        EvDebug::DebugLvl(kLevelReceived, kTag, "Received, Snap source volume id = %lu",
                          static_cast<unsigned long>(id));
        return true;
      }
      default:
        return false;
    }
  }

  bool supportsOperation(unsigned long long operation) const override {
    return operation == kOperationMount || operation == kOperationUnmount;
  }

  tksanvol::RecordOutcome onRecord(tksanvol::StreamContext& context) override {
    m_localeId = context.answer.event().getLocaleId();
    std::string sourceDevice;
    if (!sourceDeviceOf(context, sourceDevice)) return tksanvol::RecordOutcome::Failed;
    if (context.operation == kOperationMount) return mount(context, sourceDevice);
    return unmount(context, sourceDevice);
  }

 private:
  tksanvol::RecordOutcome missing(tksanvol::StreamContext& context) {
    return context.answer.missingInformation(tksanvol::RequestAnswer::kMissingInformationLog,
                                             tksanvol::AnswerForm::OperationResponse, context.operation);
  }

  tksanvol::RecordOutcome failWith(tksanvol::StreamContext& context, unsigned long messageId, const char* text,
                                   const std::string& first, const std::string* second = nullptr) {
    EvEvent& event = context.answer.event();
    event.clearArguments();
    event << first;
    if (second != nullptr) event << *second;
    context.answer.fail(messageId, text);
    event.clearArguments();
    return tksanvol::RecordOutcome::Failed;
  }

  // The device of the snapshot's source volume, when the request names
  // one; false after the failure answer.
  bool sourceDeviceOf(tksanvol::StreamContext& context, std::string& sourceDevice) {
    const uint32_t volumeId = m_snapSource != 0 ? m_snapSource : m_snapSourceOld;
    if (volumeId == 0) return true;
    // The lookup is by the mount point's client.
    if (!m_mountPoint) {
      missing(context);
      return false;
    }
    GetSNRInfoByClientIdAndVolIdV3Args_t args(static_cast<int32_t>(m_mountPoint->clientId),
                                              static_cast<int32_t>(volumeId));
    GetSNRInfoByClientIdAndVolIdV3Ret_t info;
    if (!m_service.GetSNRInfoByClientAndVol(args, info)) {
      EvDebug::Error(kTag, "Cannot get the device name of volume id %lu", static_cast<unsigned long>(volumeId));
      context.answer.lookupFailed(info.errorText.c_str(), tksanvol::kTextLookupFailed,
                                  tksanvol::AnswerForm::OperationResponse, context.operation);
      return false;
    }
    sourceDevice = info.deviceName.deviceName;
    return true;
  }

  // Operation 1.
  tksanvol::RecordOutcome mount(tksanvol::StreamContext& context, std::string sourceDevice) {
    if (!context.hasTarnfoldId || !m_device || !m_mountPoint) return missing(context);
    const tksanvol::Hdr12Text& device = *m_device;
    const tksanvol::Hdr12Text& point = *m_mountPoint;
    std::string host;
    unsigned long long release = kReleaseWithVssSnapshots;
    ZQClient client(device.clientId);
    client.getNetworkHostname(host, nullptr);
    client.getReleaseId(release, nullptr);

    std::string deviceText = device.text;
    if (release >= kReleaseWithVssSnapshots) {
      IsDevVSSSnapRet_t vss;
      if (!m_service.IsDevVSSSnap(IsDevVSSSnapArgs_t(static_cast<int32_t>(device.id)), vss)) {
        EvDebug::Debug(kTag, "Failed to check if device id [%d] is a VSS snapshot. Using default arguments",
                       static_cast<int>(device.id));
      } else if (!vss.snapshotText2.empty()) {
        deviceText = std::string(kVssMoniker) + kVssSeparator + vss.snapshotText2;
        sourceDevice = vss.snapshotText1;
      }
    }

    ZQSVCClientSession session(host, static_cast<int>(device.clientId), nullptr, nullptr);
    std::string chosenPath;
    if (!session.addVolumeMountPoint(deviceText, point.text, m_fsType, m_option, &chosenPath, sourceDevice,
                                     point.clientId, m_localeId)) {
      const std::string error = session.getLastErrorString();
      const std::string reason = error.empty() ? std::string() : "Reason: " + error;
      char text[tksanvol::RequestAnswer::kAnswerBufferSize];
      std::snprintf(text, sizeof text, "Failed to add mount point %s for device %s on client %s. %s",
                    point.text.c_str(), deviceText.c_str(), host.c_str(), reason.c_str());
      return failWith(context, kTextMountFailed, text, deviceText, &point.text);
    }

    AddSNRMountPointArgs_t args;
    args.mountPoint.deviceNameId = static_cast<int32_t>(device.id);
    args.mountPoint.mountPath = point.text.empty() ? chosenPath : point.text;
    args.mountPoint.caseSensitive = (point.flags & kFlagCaseSensitive) != 0;
    args.mountPoint.extraFlag = (point.flags & kFlagExtra) != 0;
    AddSNRMountPointRet_t added;
    if (!m_service.AddSNRMountPoint(args, added))
      return failWith(context, kTextMountNotRecorded, added.errorText.c_str(), point.text);

    MessageInfo& request = context.request();
    const tksanvol::ReplyItem answer = tksanvol::ReplyItem::hdr12Text(static_cast<uint32_t>(added.mountPointId),
                                                                      point.clientId, point.flags, point.text);
    EvSANVolMgr::sendOperationResponseWith(request.sequenceNumber, request.socket, kOperationMount, 1, "Success",
                                           kItemMountPoint, answer.data(), answer.length());
    return tksanvol::RecordOutcome::GoOn;
  }

  // Operation 2.
  tksanvol::RecordOutcome unmount(tksanvol::StreamContext& context, const std::string& sourceDevice) {
    if (!context.hasTarnfoldId || !m_mountPoint || !m_client) return missing(context);
    const tksanvol::Hdr12Text& point = *m_mountPoint;
    ZQSVCClientSession session(m_client->text, static_cast<int>(m_client->id), nullptr, nullptr);
    if (!session.removeVolumeMountPoint(point.text, sourceDevice, point.clientId, m_localeId)) {
      char text[tksanvol::RequestAnswer::kAnswerBufferSize];
      std::snprintf(text, sizeof text, "Failed to remove mount point %s on client %s.", point.text.c_str(),
                    m_client->text.c_str());
      return failWith(context, kTextUnmountFailed, text, point.text);
    }
    RemoveSNRMountPointArgs_t args;
    args.mountPointId = static_cast<int32_t>(point.id);
    RemoveSNRMountPointRet_t removed;
    if (!m_service.RemoveSNRMountPoint(args, removed))
      return failWith(context, kTextMountPointNotRemoved, removed.errorText.c_str(), point.text);
    context.answer.success(tksanvol::AnswerForm::OperationResponse, kOperationUnmount);
    return tksanvol::RecordOutcome::GoOn;
  }

  std::optional<tksanvol::IdText> m_client;
  std::optional<tksanvol::Hdr12Text> m_device;
  std::optional<tksanvol::Hdr12Text> m_mountPoint;
  std::string m_fsType;
  std::string m_option;
  uint32_t m_snapSource = 0;
  uint32_t m_snapSourceOld = 0;
  unsigned long m_localeId = 0;
  ReplicaDBClient m_service{1};
};

}  // namespace

long long EvSANVolMgr::onMsgVolumeMountPointCommand(MessageInfo* request) {
  tksanvol::StreamRules rules;
  rules.tag = kTag;
  MountCommand handler;
  return tksanvol::runElementStream(request, rules, handler);
}
