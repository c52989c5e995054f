// The copy-manager controllers (onMsgGetCopyMgrControllers) and the
// configuration of one replication device of a client
// (onMsgConfigureDeviceCommand: operation 48 configures, 49 unconfigures).
//
// A device is first changed on the client through its volume service, then
// recorded in the replica database. When the record cannot be written the
// client's change stays; the answer says the record failed. Unlike the
// appliance and Quillmere handlers, this one keeps the frame's rules: an
// unknown element is answered with its catalogue text and ends the
// request, and failures are answered with catalogue texts. Values and
// presence marks carry over from one record to the next.
//
// Lasting state: none.
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
#include "sanvol/continuous/ContinuousControl.h"
#include "sanvol/flr/FlrShared.h"

namespace {

using tksanvol::AnswerForm;
using tksanvol::RecordOutcome;
using tksanvol::flr::formatText;

// ---------------------------------------------------------------- log tags

constexpr const char* kTagControllers = "EvSANVolMgr::onMsgGetCopyMgrControllers";
constexpr const char* kTagLookup = "EvSANVolMgr::lookupCopyMgrControllers";
constexpr const char* kTagConfigure = "EvSANVolMgr::onMsgConfigureDeviceCommand";

// ---------------------------------------------------------------- catalogue ids

constexpr unsigned long kTextNoReleaseId = 0x3900008a;       // %1 the device name
constexpr unsigned long kTextConfigureRecord = 0x3900008b;   // %1 the device as the client names it
constexpr unsigned long kTextUnconfigureRecord = 0x3900008d;  // %1 the device name

// ---------------------------------------------------------------- elements and items

constexpr unsigned long kReplyControllers = tktag::kReplyCopyManagerControllers;
constexpr unsigned long kItemController = tktag::kCopyManagerController;
constexpr unsigned long kItemClient = tktag::kMediaAgent;
constexpr unsigned long kItem8501 = tktag::kCopyManagerItem8501;
constexpr unsigned long kItem11702 = tktag::kCopyManagerItem11702;

constexpr unsigned int kElementDevice = tktag::kDeviceName;       // [device-name id][host id][flags][name]
constexpr unsigned int kElementProtection = tktag::kProtected;   // flag
constexpr unsigned int kElementExtentSize = tktag::kExtentSize;   // u32, widened
constexpr unsigned int kElementPersistent = tktag::kPersistentQuillmereState;   // flag
constexpr unsigned int kElementSnapChunk = tktag::kSnapChunkSize;    // u32, widened
constexpr unsigned int kElementUnmount = tktag::kUnmountVolume;      // flag
constexpr unsigned int kElementAddToVfstab = tktag::kAddToVfstab;  // flag

constexpr unsigned long long kOperationConfigure = 48;
constexpr unsigned long long kOperationUnconfigure = 49;

// Clients of this release or older take the unconfigure call without the
// display name.
constexpr unsigned long long kLastReleaseWithoutDisplayName = 14;

constexpr int kLevelReceived = 7;

// A received value with its presence mark.
template <class T>
struct Mark {
  T value{};
  bool present = false;
  void set(T v) {
    value = v;
    present = true;
  }
};

class DeviceCommand final : public tksanvol::StreamHandler {
 public:
  bool takeElement(tksanvol::StreamContext&, unsigned int type, const char* value, unsigned int length) override {
    const uint32_t number = tksanvol::readU32(value, length);
    const bool flag = number != 0;
    switch (type) {
      case kElementDevice:
        m_device.set(tksanvol::continuous::readHdr12TextValue(value, length));
        EvDebug::DebugLvl(kLevelReceived, kTagConfigure, "Received, SNRDeviceNameId=%d, SNRDeviceName = %s, HostId = %d.",
                          static_cast<int>(m_device.value.id), m_device.value.text.c_str(),
                          static_cast<int>(m_device.value.clientId));
        return true;
      case kElementProtection:
        m_protection.set(flag);
        EvDebug::DebugLvl(kLevelReceived, kTagConfigure, "Received QM Protection status = %d", flag ? 1 : 0);
        return true;
      case kElementExtentSize:
        m_extentSize.set(number);
        EvDebug::DebugLvl(kLevelReceived, kTagConfigure, "Received, Extent Size = %lu.", m_extentSize.value);
        return true;
      case kElementPersistent:
        m_persistent.set(flag);
        EvDebug::DebugLvl(kLevelReceived, kTagConfigure, "Received, Persistent QMState = %d.", flag ? 1 : 0);
        return true;
      case kElementSnapChunk:
        m_snapChunk.set(number);
        EvDebug::DebugLvl(kLevelReceived, kTagConfigure, "Received, Snap Chunk Size = %lu.", m_snapChunk.value);
        return true;
      case kElementUnmount:
        m_unmount.set(flag);
        EvDebug::DebugLvl(kLevelReceived, kTagConfigure, "Received, Unmount volume flag = %d", flag ? 1 : 0);
        return true;
      case kElementAddToVfstab:
        m_addToVfstab.set(flag);
        EvDebug::DebugLvl(kLevelReceived, kTagConfigure, "Received, Add to vfstab flag = %d", flag ? 1 : 0);
        return true;
      default:
        return false;
    }
  }
  // Operations are judged in onRecord: a missing device is refused before
  // an unknown operation.
  bool supportsOperation(unsigned long long) const override { return true; }

  RecordOutcome onRecord(tksanvol::StreamContext& context) override {
    const unsigned long long operation = context.operation;
    if (!m_device.present || !context.hasOperation) return missing(context);
    if (operation == kOperationConfigure) {
      if (!m_extentSize.present || !m_protection.present || !m_snapChunk.present || !m_persistent.present ||
          !m_unmount.present || !m_addToVfstab.present)
        return missing(context);
      return configure(context);
    }
    if (operation == kOperationUnconfigure) {
      if (!m_protection.present) return missing(context);
      return unconfigure(context);
    }
    EvDebug::Debug(kTagConfigure, "Received invalid operation type [%llu].", operation);
    tksanvol::RequestAnswer& answer = context.answer;
    answer.event().clearArguments();
    answer.event() << static_cast<unsigned long>(operation);
    return answer.fail(tksanvol::kTextInvalidOperation, "Received invalid operation type");
  }

 private:
  static RecordOutcome missing(tksanvol::StreamContext& context) {
    return context.answer.missingInformation(tksanvol::RequestAnswer::kMissingInformationLog,
                                             AnswerForm::OperationResponse, context.operation);
  }

  // The client's host name, display name and release id (left 0 when it
  // cannot be read); the result of the release-id read.
  int readClient(std::string& host, std::string& displayName, unsigned long long& releaseId) const {
    ZQClient client(m_device.value.clientId);
    client.getNetworkHostname(host, nullptr);
    client.getDisplayName(displayName, nullptr);
    return client.getReleaseId(releaseId, nullptr);
  }

  // Operation 48.
  RecordOutcome configure(tksanvol::StreamContext& context) {
    tksanvol::RequestAnswer& answer = context.answer;
    const std::string& device = m_device.value.text;
    std::string host, displayName;
    unsigned long long releaseId = 0;
    if (readClient(host, displayName, releaseId) != 0) {
      const std::string line = formatText(
          "Failed to configure device %s on client %s. %s. Reason: Failed to get the release id of the client",
          device.c_str(), host.c_str(), "Reason: Failed to get the release version of the client machine");
      return tksanvol::flr::failWith(answer, kTextNoReleaseId, line, {device});
    }
    const unsigned long locale = answer.event().getLocaleId();
    ZQSVCClientSession session(host, static_cast<int>(m_device.value.clientId), nullptr, nullptr);
    std::string deviceText;
    bool vvm = false;
    unsigned long unused = 0;
    if (!session.configureQRDevice(device, deviceText, m_extentSize.value, m_persistent.value, m_snapChunk.value,
                                   m_protection.value, vvm, m_unmount.value, m_addToVfstab.value, &unused,
                                   static_cast<unsigned long>(releaseId), locale, displayName)) {
      const std::string reason = tksanvol::flr::reasonOf(session.getLastErrorString());
      EvDebug::Error(kTagConfigure, "Failed to configure device %s on client %s. %s", device.c_str(), host.c_str(),
                     reason.c_str());
      return tksanvol::flr::answerWithText(answer, reason);
    }
    ConfigureDeviceV2Args_t args;
    args.deviceName.deviceNameId = static_cast<int32_t>(m_device.value.id);
    args.deviceName.deviceName = deviceText;
    args.deviceName.configFlag = vvm;
    ConfigureDeviceV2Ret_t ret;
    if (!ReplicaDBClient(1).ConfigureDevice(args, ret))
      return tksanvol::flr::failWith(answer, kTextConfigureRecord, ret.errorText, {deviceText});
    answer.success(AnswerForm::OperationResponse, context.operation);
    return RecordOutcome::GoOn;
  }

  // Operation 49.
  RecordOutcome unconfigure(tksanvol::StreamContext& context) {
    tksanvol::RequestAnswer& answer = context.answer;
    const std::string& device = m_device.value.text;
    std::string host, displayName;
    unsigned long long releaseId = 0;
    readClient(host, displayName, releaseId);
    const unsigned long locale = answer.event().getLocaleId();
    ZQSVCClientSession session(host, static_cast<int>(m_device.value.clientId), nullptr, nullptr);
    const bool done = releaseId <= kLastReleaseWithoutDisplayName
                          ? session.unconfigureQRDevice(device, m_protection.value, locale)
                          : session.unconfigureQRDevice100(device, m_protection.value, locale, displayName);
    if (!done) {
      EvDebug::Error(kTagConfigure, "Failed to unconfigure device %s on client %s.", device.c_str(), host.c_str());
      return tksanvol::flr::answerWithText(answer, tksanvol::flr::reasonOf(session.getLastErrorString()));
    }
    UnconfigureDeviceArgs_t args;
    args.deviceNameId = static_cast<int32_t>(m_device.value.id);
    UnconfigureDeviceRet_t ret;
    if (!ReplicaDBClient(1).UnconfigureDevice(args, ret))
      return tksanvol::flr::failWith(answer, kTextUnconfigureRecord, ret.errorText, {device});
    answer.success(AnswerForm::OperationResponse, context.operation);
    return RecordOutcome::GoOn;
  }

  Mark<tksanvol::Hdr12Text> m_device;
  Mark<bool> m_protection, m_persistent, m_unmount, m_addToVfstab;
  Mark<unsigned long> m_extentSize, m_snapChunk;
};

}  // namespace

long long EvSANVolMgr::onMsgGetCopyMgrControllers(MessageInfo* request) {
  const tksanvol::GetRules rules{kTagControllers, kReplyControllers, tksanvol::GetLog::TarnfoldId};
  return tksanvol::runGet(*this, request, rules, [this](MessageInfo& m) { return lookupCopyMgrControllers(&m); });
}

long long EvSANVolMgr::lookupCopyMgrControllers(MessageInfo* request) {
  if (request == nullptr) return 0;
  GetQRCopyMgrCtrlsRet_t ret;
  if (!ReplicaDBClient(1).GetCopyMgrs(ret)) {
    EvDebug::Debug(kTagLookup, "Unable to retrieve a list of copy managers. Reason: %s", ret.errorText.c_str());
    tksanvol::RequestAnswer answer(*request, kTagLookup);
    answer.fail(tksanvol::kTextLookupFailed, "Unable to retrieve a list of copy managers.");
    return 0;
  }
  for (const QRCopyMgrCtrlRecord_t& c : ret.controllers) {
    tksanvol::addIdText(*this, kItemController, static_cast<uint32_t>(c.controllerId), c.controllerName);
    tksanvol::addIdText(*this, kItemClient, static_cast<uint32_t>(c.clientId), c.clientName);
    tksanvol::addIdText(*this, kItem8501, static_cast<uint32_t>(c.item8501Id), c.item8501Text);
    tksanvol::addU32(*this, kItem11702, static_cast<uint32_t>(c.item11702));
    tksanvol::endRecord(*this);
  }
  return 1;
}

long long EvSANVolMgr::onMsgConfigureDeviceCommand(MessageInfo* request) {
  tksanvol::StreamRules rules;
  rules.tag = kTagConfigure;
  DeviceCommand handler;
  return tksanvol::runElementStream(request, rules, handler);
}
