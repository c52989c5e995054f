// Continuous-replication (Quillmere) devices: the listing of a client's
// devices (onMsgGetQuillmereDevices), the configuration of a Quill/Mere
// device pair on a client (onMsgConfigureQuillmereDevice), and the cost
// categories (onMsgGetQRCostCategories), which hold no entries.
//
// The listing reads its parameters from the request body: the client id
// in the first-parameter place, then the device kind and the server name,
// which is read within the body whether or not it is terminated. The
// configuration answers every failure with its text as it stands; an
// unknown element is logged and skipped, and values carry over from one
// record to the next.
//
// Lasting state: none.
#include <string>
#include <vector>

#include "frame/ElementTags.h"
#include "frame/MessageInfo.h"
#include "frame/SANVolFrame.h"
#include "frame/SANVolReplyItems.h"
#include "platform/clientvol/ZQSVCClientSession.h"
#include "platform/debuglog/EvDebug.h"
#include "sanvol/EvSANVolMgr.h"
#include "sanvol/continuous/ContinuousControl.h"
#include "sanvol/flr/FlrShared.h"

namespace {

using tksanvol::AnswerForm;
using tksanvol::RecordOutcome;
using tksanvol::flr::answerWithText;

constexpr const char* kTagList = "EvSANVolMgr::onMsgGetQuillmereDevices";
constexpr const char* kTagLookup = "EvSANVolMgr::lookupQMDevices";
constexpr const char* kTagConfigure = "EvSANVolMgr::onMsgConfigureQuillmereDevice";
constexpr const char* kTagCost = "EvSANVolMgr::onMsgGetQRCostCategories";

constexpr unsigned long kReplyDevices = tktag::kReplyQuillmereDevices;
constexpr unsigned long kReplyCostCategories = tktag::kReplyCostCategories;

// The listing's body: the client id in the first-parameter place (4), then
// the device kind and the server name.
constexpr std::size_t kBodyDeviceKind = 8;
constexpr std::size_t kBodyServerName = 12;

constexpr unsigned int kElementClient = tktag::kClient;
constexpr unsigned int kElementServer = tktag::kQuillmereServer;  // text
constexpr unsigned int kElementDevice = tktag::kQuillmereDevice;  // [u32 kind][name], also the listing's item
constexpr uint32_t kKindMere = 1;               // any other kind is a Quill device

constexpr unsigned long long kOperationConfigure = 1;
constexpr unsigned long long kOperationUnconfigure = 2;

// The client volume service answers an empty device list with one entry
// holding this text.
constexpr const char* kEmptyListMarker = "ZQ_QM_EMPTY_STRING_LIST_MARKER";

constexpr int kLevelReceived = 7;
constexpr int kLevelGet = 10;

class DevicePair final : public tksanvol::StreamHandler {
 public:
  bool takeElement(tksanvol::StreamContext&, unsigned int type, const char* value, unsigned int length) override {
    switch (type) {
      case kElementClient:
        m_clientId = tksanvol::readU32(value, length);
        m_hasClient = true;
        EvDebug::DebugLvl(kLevelReceived, kTagConfigure, "Received, client id = %d.", static_cast<int>(m_clientId));
        return true;
      case kElementServer:
        m_server = tksanvol::readText(value, length);
        EvDebug::DebugLvl(kLevelReceived, kTagConfigure, "Received, Quillmere server name = %s", m_server.c_str());
        return true;
      case kElementDevice: {
        const tksanvol::IdText device = tksanvol::continuous::readIdTextValue(value, length);
        if (device.id == kKindMere) {
          m_mere = device.text;
          m_hasMere = true;
          EvDebug::DebugLvl(kLevelReceived, kTagConfigure, "Received, Quillmere Mere device name = %s", m_mere.c_str());
        } else {
          m_quill = device.text;
          EvDebug::DebugLvl(kLevelReceived, kTagConfigure, "Received, Quillmere Quill device name = %s",
                            m_quill.c_str());
        }
        return true;
      }
      default:
        return false;
    }
  }
  bool supportsOperation(unsigned long long) const override { return true; }

  RecordOutcome onRecord(tksanvol::StreamContext& context) override {
    if (!m_hasClient || !m_hasMere || !context.hasOperation) {
      EvDebug::Error(kTagConfigure, "%s",
                     "All information required to process Quillmere device configuration was not received");
      return answerWithText(context.answer, tksanvol::continuous::kMissingInformation);
    }
    const std::string host = tksanvol::continuous::networkHostOf(m_clientId);
    ZQSVCClientSession session(host, static_cast<int>(m_clientId), nullptr, nullptr);
    switch (context.operation) {
      case kOperationConfigure:
        if (!session.ConfigureQMDevice(m_server, m_quill, m_mere)) {
          const std::string reason = tksanvol::flr::reasonOf(session.getLastErrorString());
          EvDebug::Error(kTagConfigure, "Failed to configure Quillmere device (%s-%s) on client %s. %s",
                         m_quill.c_str(), m_mere.c_str(), host.c_str(), reason.c_str());
          return answerWithText(context.answer, reason);
        }
        context.answer.success(AnswerForm::OperationResponse, context.operation);
        return RecordOutcome::GoOn;
      case kOperationUnconfigure:
        return answerWithText(context.answer, "Quillmere device unconfiguration is not implemented");
      default:
        return tksanvol::flr::invalidOperation(context);
    }
  }

 private:
  uint32_t m_clientId = 0;
  std::string m_server, m_quill, m_mere;
  bool m_hasClient = false, m_hasMere = false;
};

}  // namespace

long long EvSANVolMgr::onMsgGetQuillmereDevices(MessageInfo* request) {
  const tksanvol::GetRules rules{kTagList, kReplyDevices, tksanvol::GetLog::TarnfoldId};
  return tksanvol::runGet(*this, request, rules, [this](MessageInfo& m) { return lookupQMDevices(&m); });
}

long long EvSANVolMgr::lookupQMDevices(MessageInfo* request) {
  if (request == nullptr) return 0;
  const uint32_t clientId = request->elementCount;
  const uint32_t kind = request->payloadWord(kBodyDeviceKind);
  const std::string server = request->payloadText(kBodyServerName);
  const std::string host = tksanvol::continuous::networkHostOf(clientId);
  ZQSVCClientSession session(host, static_cast<int>(clientId), nullptr, nullptr);
  std::vector<std::string> devices;
  if (!session.GetQuillmereDevices(server, static_cast<int>(kind), devices)) {
    const std::string reason = tksanvol::flr::reasonOf(session.getLastErrorString());
    EvDebug::Error(kTagLookup, "Failed to get list of Quillmere devices on client %s. %s", host.c_str(),
                   reason.c_str());
    tksanvol::RequestAnswer answer(*request, kTagLookup);
    answerWithText(answer, reason);
    return 0;
  }
  if (!devices.empty() && devices.front().find(kEmptyListMarker) != std::string::npos) {
    tksanvol::endRecord(*this);
    EvDebug::DebugLvl(kLevelGet, kTagLookup, "%s", "QM Device list is empty");
    return 1;
  }
  for (const std::string& device : devices) {
    tksanvol::addIdText(*this, kElementDevice, kind, device);
    tksanvol::endRecord(*this);
  }
  return 1;
}

long long EvSANVolMgr::onMsgConfigureQuillmereDevice(MessageInfo* request) {
  DevicePair handler;
  return tksanvol::runElementStream(request, tksanvol::continuous::walkOnRules(kTagConfigure), handler);
}

// The cost categories hold no entries: an empty reply, and 0 to the host.
long long EvSANVolMgr::onMsgGetQRCostCategories(MessageInfo* request) {
  const tksanvol::GetRules rules{kTagCost, kReplyCostCategories, tksanvol::GetLog::TarnfoldId};
  return tksanvol::runGet(*this, request, rules, [](MessageInfo&) { return 0LL; });
}
