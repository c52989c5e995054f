// Volume discovery on a SAN volume host, before the console records any of
// its volumes (the recording is onMsgSetSANVolume). Operation 47 lists the
// mount paths of the host's volumes with their size; 58 lists the volumes
// in full. Volumes come from the client volume service, except on a host
// that the NDMP host list knows as a SnapVault appliance, which is reached
// over NDMP and lists none. A NAS volume reported without a size gets its
// capacity from its filer, one login per filer and reply: the filer's
// mount points are cached for the rest of the reply.
//
// The NDMP host list is walked one entry at a time and the walk ends at the
// appliance's entry, before the appliance login: everything the login and
// its failure answers need is copied out of that entry.
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "frame/ElementTags.h"
#include "frame/MessageInfo.h"
#include "frame/SANVolFrame.h"
#include "frame/SANVolReplyItems.h"
#include "platform/client/ZQClient.h"
#include "platform/clientvol/ZQSVCClientSession.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/mmdb/ZQMMNDMPHostInfo.h"
#include "platform/ndmp/LibNdmpClientAccess.h"
#include "sanvol/EvSANVolMgr.h"
#include "sanvol/volumes/SANVolText.h"
#include "sanvol/volumes/UniqueIdClient.h"

namespace tksanvol {

// The mount points of each filer client seen in one reply: (mount path,
// capacity in 4,096-byte blocks), in the filer's order.
struct NasCapacityCache {
  std::map<uint64_t, std::vector<std::pair<std::string, int64_t>>> byClient;
};

}  // namespace tksanvol

namespace {

constexpr const char* kTag = "EvSANVolMgr::onMsgSetSANVolumeHost";
constexpr const char* kCapacityTag = "EvSANVolMgr::GetNetVolumeCapacityFromNDMP";

// ---------------------------------------------------------------- catalogue ids

constexpr unsigned long kTextApplianceLoginFailed = 0x1f000086;      // %1 the appliance's host name
constexpr unsigned long kTextVolumeDetectionFailed = 0x39000090;     // %1 the host name
constexpr unsigned long kTextApplianceMountPointsFailed = 0x39000093;  // %1 the appliance's host name

// ---------------------------------------------------------------- elements, items, operations

enum : unsigned int {
  kElementHost = tktag::kSanVolumeHost,
  kElementFilerClientId = tktag::kClientId,
};

enum : unsigned long {
  kReplyVolumes = tktag::kReplySanVolumes,
  kItemDeviceName = tktag::kDeviceName,
  kItemQmProtected = tktag::kProtected,
  kItemHistoryName = tktag::kHistoryName,
  kItemAppliance = tktag::kAppliance,
  kItemMountPoint = tktag::kVolumeMountPoint,
  kItemHost = tktag::kSanVolumeHost,
  kItemDeviceId = tktag::kDeviceId,
  kItemFsType = tktag::kFileSystemType,
  kItemAccessPath = tktag::kReplicaAccessPath,
  kItemDeviceIdType = tktag::kDeviceIdType,
  kItemLun = tktag::kLun,
  kItemStartLba = tktag::kStartLBA,
  kItemBlockCount = tktag::kSanVolumeBlockCount,
  kItemBlockSize = tktag::kSanVolumeBlockSize,
  kItemVolumeType = tktag::kVolumeType,
  kItemDevConfigStatus = tktag::kDeviceConfigured,
  kItemMountPath = tktag::kSourcePath,
};

constexpr unsigned long long kOperationMountPaths = 47;
constexpr unsigned long long kOperationDiscover = 58;

// The NDMP OS type of a SnapVault appliance (and of a filer's entry).
constexpr int kOsTypeSnapVault = 2;
// A NAS volume of these types reported with 0 blocks is sized by its filer.
constexpr int kVolumeTypeFilerA = 2;
constexpr int kVolumeTypeFilerB = 5;
// An id that names no record yet.
constexpr uint32_t kNoId = 0xFFFFFFFF;
constexpr int kBlockShift = 12;  // 4,096-byte blocks
constexpr int kLevelReceived = 7;
constexpr int kLevelCapacity = 6;

uint32_t low32(int64_t value) { return static_cast<uint32_t>(value); }

template <std::size_t N>
std::string fieldText(const char (&field)[N]) {
  return std::string(field, strnlen(field, N));
}

// What the appliance login needs of an NDMP host entry, copied before the
// list is freed.
struct Appliance {
  std::string hostName;
  std::string login;
  std::string encryptedPassword;
};

// The three items that say "no continuous replication" after a device name
// or a mount point.
void addNoReplication(EvReturnData& reply) {
  tksanvol::addU32(reply, kItemQmProtected, 0);
  tksanvol::addText(reply, kItemHistoryName, "");
  tksanvol::addIdText(reply, kItemAppliance, 0, "");
}

class SetVolumeHost final : public tksanvol::StreamHandler {
 public:
  explicit SetVolumeHost(EvSANVolMgr& reply) : m_reply(reply) {}

  bool takeElement(tksanvol::StreamContext&, unsigned int type, const char* value, unsigned int length) override {
    switch (type) {
      case kElementHost:
        m_host = tksanvol::readIdText(value, length);
        m_hasHost = true;
        EvDebug::DebugLvl(kLevelReceived, kTag, "Received, SanVolumeHostId=%d, SanVolumeHostName = %s",
                          static_cast<int>(m_host.id), m_host.text.c_str());
        return true;
      case kElementFilerClientId:
        m_filerClientId = tksanvol::readU32(value, length);
        EvDebug::DebugLvl(kLevelReceived, kTag, "Received, iFilerClientid=%d", static_cast<int>(m_filerClientId));
        return true;
      default:
        return false;
    }
  }

  bool supportsOperation(unsigned long long operation) const override {
    return operation == kOperationMountPaths || operation == kOperationDiscover;
  }

  tksanvol::RecordOutcome onRecord(tksanvol::StreamContext& context) override {
    // The host is read by both operations: without it nothing is asked.
    if (!m_hasHost) return context.answer.missingInformation();
    m_localeId = context.answer.event().getLocaleId();
    if (context.operation == kOperationMountPaths) return mountPaths(context);
    return discover(context);
  }

 private:
  // The client volume service's volumes of the host; false after the
  // failure answer.
  bool hostVolumes(tksanvol::StreamContext& context, ZQSVCClientSession& session,
                   std::vector<ZQSVCClientVolumeInfo>& volumes) {
    char text[tksanvol::RequestAnswer::kAnswerBufferSize];
    std::string shortName;
    ZQClient client(m_host.id);
    if (client.getShortName(shortName, nullptr) != 0) {
      std::snprintf(text, sizeof text, "Failed to get client name for client id [%d]", static_cast<int>(m_host.id));
      failWithHost(context, kTextVolumeDetectionFailed, text, m_host.text);
      return false;
    }
    if (!session.getVolumeList(volumes, shortName, static_cast<int>(m_filerClientId), m_localeId)) {
      std::snprintf(text, sizeof text, "Volume detection failed for client [%s]", m_host.text.c_str());
      failWithHost(context, kTextVolumeDetectionFailed, text, m_host.text);
      return false;
    }
    return true;
  }

  void failWithHost(tksanvol::StreamContext& context, unsigned long messageId, const char* text,
                    const std::string& host) {
    EvEvent& event = context.answer.event();
    event.clearArguments();
    event << host;
    context.answer.fail(messageId, text);
    event.clearArguments();
  }

  // Operation 47.
  tksanvol::RecordOutcome mountPaths(tksanvol::StreamContext& context) {
    ZQSVCClientSession session(m_host.text, static_cast<int>(m_host.id), nullptr, nullptr);
    std::vector<ZQSVCClientVolumeInfo> volumes;
    if (!hostVolumes(context, session, volumes)) return tksanvol::RecordOutcome::Failed;
    if (!tksanvol::beginReply(m_reply, context.request(), kReplyVolumes, kTag)) return tksanvol::RecordOutcome::Failed;
    for (const ZQSVCClientVolumeInfo& volume : volumes) {
      if (volume.getMountPoints().empty()) continue;
      tksanvol::addU64(m_reply, kItemBlockCount, static_cast<uint64_t>(volume.getBlockCount()));
      tksanvol::addU32(m_reply, kItemBlockSize, low32(volume.getBlockSize()));
      for (const ZQSVCClientMountPointInfo& mountPoint : volume.getMountPoints())
        tksanvol::addText(m_reply, kItemMountPath, mountPoint.mountPath());
      tksanvol::endRecord(m_reply);
    }
    m_reply.end(0);
    return tksanvol::RecordOutcome::GoOn;
  }

  // The SnapVault appliance entry of the NDMP host list for the host, if
  // any: the first entry of OS type 2 named as the host, ignoring case;
  // false after the failure answer.
  bool findAppliance(tksanvol::StreamContext& context, std::optional<Appliance>& appliance) {
    ZQMMNDMPHostInfo hosts(1);
    const int read = hosts.walkNDMPHostList([&](const MMNDMPHostInfoMsg& entry) {
      if (entry.osType != kOsTypeSnapVault) return true;
      const std::string hostName = fieldText(entry.hostName);
      if (_stricmp(hostName.c_str(), m_host.text.c_str()) != 0) return true;
      appliance = Appliance{hostName, fieldText(entry.loginName), fieldText(entry.encryptedPassword)};
      return false;
    });
    if (read == -1) {
      context.answer.lookupFailed("Error detected trying to get list of NDMP hosts");
      return false;
    }
    return true;
  }

  // Logs in to the appliance and reads its mount points; false after the
  // failure answer.
  bool readAppliance(tksanvol::StreamContext& context, const Appliance& appliance) {
    char text[tksanvol::RequestAnswer::kAnswerBufferSize];
    LibNdmpClientAccess filer(0);
    filer.setFilerHostname(appliance.hostName.c_str());
    filer.setLogin(appliance.login.c_str());
    filer.setEncryptedPassword(appliance.encryptedPassword.c_str());
    if (!filer.LoginToFiler()) {
      std::snprintf(text, sizeof text, "Could not login to Snap Vault appliance %s", m_host.text.c_str());
      failWithHost(context, kTextApplianceLoginFailed, text, appliance.hostName);
      return false;
    }
    std::vector<LncaMountPointInfo> mountPoints;
    const bool read = filer.configGetMountPointList(mountPoints);
    filer.LogOffFiler();
    if (!read) {
      std::snprintf(text, sizeof text, "Could not get mount point information from Snap Vault appliance %s",
                    m_host.text.c_str());
      failWithHost(context, kTextApplianceMountPointsFailed, text, appliance.hostName);
      return false;
    }
    return true;
  }

  // Operation 58.
  tksanvol::RecordOutcome discover(tksanvol::StreamContext& context) {
    std::optional<Appliance> appliance;
    if (!findAppliance(context, appliance)) return tksanvol::RecordOutcome::Failed;
    ZQSVCClientSession session(m_host.text, static_cast<int>(m_host.id), nullptr, nullptr);
    std::vector<ZQSVCClientVolumeInfo> volumes;
    if (appliance) {
      if (!readAppliance(context, *appliance)) return tksanvol::RecordOutcome::Failed;
    } else if (!hostVolumes(context, session, volumes)) {
      return tksanvol::RecordOutcome::Failed;
    }
    if (!tksanvol::beginReply(m_reply, context.request(), kReplyVolumes, kTag)) return tksanvol::RecordOutcome::Failed;
    tksanvol::NasCapacityCache cache;
    for (ZQSVCClientVolumeInfo& volume : volumes) {
      const int type = volume.getVolumeType();
      if ((type == kVolumeTypeFilerA || type == kVolumeTypeFilerB) && volume.getBlockCount() == 0) {
        long long capacity = 0;
        if (!EvSANVolMgr::GetNetVolumeCapacityFromNDMP(volume.getIdString(), capacity, cache)) continue;
        volume.SetBlockCount(capacity);
        EvDebug::DebugLvl(kLevelCapacity, kTag, "Volume %s capacity found thru NDMP", volume.getIdString().c_str());
      }
      addVolume(volume);
    }
    m_reply.end(0);
    return tksanvol::RecordOutcome::GoOn;
  }

  // The group of one discovered volume.
  void addVolume(const ZQSVCClientVolumeInfo& volume) {
    const std::string deviceName = volume.getDeviceName();
    const bool rooted = !deviceName.empty() && deviceName[0] == '/';
    tksanvol::addHdr12Text(m_reply, kItemDeviceName, kNoId, m_host.id, volume.isCaseSensitive() ? 1u : 0u,
                           deviceName);
    if (rooted) addNoReplication(m_reply);
    for (const ZQSVCClientMountPointInfo& mountPoint : volume.getMountPoints()) {
      tksanvol::addHdr12Text(m_reply, kItemMountPoint, kNoId, m_host.id, mountPoint.isCaseSensitive() ? 1u : 0u,
                             mountPoint.mountPath());
      if (!rooted) addNoReplication(m_reply);
    }
    tksanvol::addIdText(m_reply, kItemHost, m_host.id, m_host.text);
    tksanvol::addText(m_reply, kItemDeviceId, volume.getIdString());
    tksanvol::addText(m_reply, kItemFsType, volume.getFSType());
    tksanvol::addText(m_reply, kItemAccessPath, volume.getAccessPath());
    tksanvol::addU32(m_reply, kItemDeviceIdType, low32(volume.getIdType()));
    tksanvol::addU32(m_reply, kItemLun, low32(volume.getLun()));
    tksanvol::addU64(m_reply, kItemStartLba, static_cast<uint64_t>(volume.getStartLBA()));
    tksanvol::addU64(m_reply, kItemBlockCount, static_cast<uint64_t>(volume.getBlockCount()));
    tksanvol::addU32(m_reply, kItemBlockSize, low32(volume.getBlockSize()));
    tksanvol::addU32(m_reply, kItemVolumeType, static_cast<uint32_t>(volume.getVolumeType()));
    tksanvol::addU32(m_reply, kItemDevConfigStatus, static_cast<uint32_t>(volume.getDevConfigStatus()));
    tksanvol::endRecord(m_reply);
  }

  EvSANVolMgr& m_reply;
  tksanvol::IdText m_host;
  bool m_hasHost = false;
  uint32_t m_filerClientId = 0;
  unsigned long m_localeId = 0;
};

}  // namespace

long long EvSANVolMgr::onMsgSetSANVolumeHost(MessageInfo* request) {
  tksanvol::StreamRules rules;
  rules.tag = kTag;
  SetVolumeHost handler(*this);
  return tksanvol::runElementStream(request, rules, handler);
}

bool EvSANVolMgr::GetNetVolumeCapacityFromNDMP(const std::string& uniqueId, long long& capacity,
                                               tksanvol::NasCapacityCache& cache) {
  const std::size_t colon = uniqueId.find(':');
  if (colon == std::string::npos) {
    EvDebug::Error(kCapacityTag, "Could not find \":\" in the UniqueId argument [%s]", uniqueId.c_str());
    return false;
  }
  const std::string path = uniqueId.substr(colon + 1);
  const std::optional<int32_t> clientId = tksanvol::clientIdOfUniqueId(uniqueId);
  if (!clientId || *clientId == 0) {
    EvDebug::Error(kCapacityTag, "Cannot figure out client id from the unique id [%s]", uniqueId.c_str());
    return false;
  }
  auto& known = cache.byClient[static_cast<uint64_t>(*clientId)];
  for (const auto& [mountPath, blocks] : known)
    if (_stricmp(mountPath.c_str(), path.c_str()) == 0) {
      capacity = blocks;
      return true;
    }
  known.clear();

  ZQMMNDMPHostInfo hosts(1);
  MMNDMPHostInfoMsg entry;
  if (hosts.getNDMPHostInfoByClientIdAndOSType(*clientId, kOsTypeSnapVault, entry) != 0) {
    EvDebug::Error(kCapacityTag, "Volume's NDMP filer information could not be found [%s]", uniqueId.c_str());
    return false;
  }
  const std::string filerHost = fieldText(entry.hostName);
  LibNdmpClientAccess filer(0);
  filer.setFilerHostname(filerHost.c_str());
  filer.setLogin(fieldText(entry.loginName).c_str());
  filer.setEncryptedPassword(fieldText(entry.encryptedPassword).c_str());
  if (!filer.LoginToFiler()) {
    EvDebug::Error(kCapacityTag, "Could not login to filer [%s]", filerHost.c_str());
    return false;
  }
  std::vector<LncaMountPointInfo> mountPoints;
  const bool read = filer.configGetMountPointList(mountPoints);
  filer.LogOffFiler();
  if (!read) {
    EvDebug::Error(kCapacityTag, "Could not get mount point information from filer [%s]", filerHost.c_str());
    return false;
  }
  bool found = false;
  for (const LncaMountPointInfo& mountPoint : mountPoints) {
    const int64_t blocks = static_cast<int64_t>(mountPoint.sizeBytes >> kBlockShift);
    known.emplace_back(mountPoint.mountPath, blocks);
    if (_stricmp(mountPoint.mountPath.c_str(), path.c_str()) == 0) {
      capacity = blocks;
      found = true;
    }
  }
  return found;
}
