// The continuous-replication appliances: the listing (onMsgGetQRAppliances)
// and the changes (onMsgManageQRAppliance: 1 add, 2 delete, 3 assign to a
// SAN volume, 15 move a client from one Quillmere server to another), with
// the two free functions that belong beside them: which volumes a
// subclient's content holds, and the message id of a device-configuration
// error.
//
// Every answer of the changes carries its text as it stands: a fixed text
// or a service's error text, never a catalogue text (only a reply that
// cannot be made gets one). An unknown element is logged and skipped.
// Values and presence marks carry over from one record to the next; the
// first failing record is answered and ends the request.
//
// An assignment changes only the volume's appliance (its change-mask bit):
// every other field stays as stored, whatever was read before.
//
// Lasting state: none.
#include <algorithm>
#include <string>
#include <vector>

#include "frame/ElementTags.h"
#include "frame/EvEvent.h"
#include "frame/MessageInfo.h"
#include "frame/SANVolFrame.h"
#include "frame/SANVolReplyItems.h"
#include "platform/clientvol/ZQSVCClientSession.h"
#include "platform/content/SubclientContent.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/replicadb/ReplicaDBClient.h"
#include "sanvol/EvSANVolMgr.h"
#include "sanvol/continuous/ContinuousControl.h"
#include "sanvol/flr/FlrShared.h"

namespace {

using tksanvol::AnswerForm;
using tksanvol::RecordOutcome;
using tksanvol::flr::answerWithText;

// ---------------------------------------------------------------- log tags

constexpr const char* kTagList = "EvSANVolMgr::onMsgGetQRAppliances";
constexpr const char* kTagLookup = "EvSANVolMgr::lookupQRAppliances";
constexpr const char* kTagManage = "EvSANVolMgr::onMsgManageQRAppliance";
constexpr const char* kTagSubclients = "getVolsContainedInSubClients";

// ---------------------------------------------------------------- elements and items

constexpr unsigned long kReplyAppliances = tktag::kReplyAppliances;
constexpr unsigned int kElementAppliance = tktag::kAppliance;  // [u32 id][name], also the listing's item
constexpr unsigned long kItemNewAppliance = tktag::kNewAppliance;
constexpr unsigned int kElementClient = tktag::kClient;
constexpr unsigned int kElementVolume = tktag::kSanVolume;
constexpr unsigned int kElementOldServer = tktag::kQuillmereServer;

constexpr unsigned long long kOperationAdd = 1;
constexpr unsigned long long kOperationDelete = 2;
constexpr unsigned long long kOperationAssign = 3;
constexpr unsigned long long kOperationChangeServer = 15;

constexpr int kLevelReceived = 7;

class ApplianceChange final : public tksanvol::StreamHandler {
 public:
  bool takeElement(tksanvol::StreamContext&, unsigned int type, const char* value, unsigned int length) override {
    switch (type) {
      case kElementClient:
        m_clientId = tksanvol::readU32(value, length);
        m_hasClient = true;
        EvDebug::DebugLvl(kLevelReceived, kTagManage, "Received, client id = %lu.",
                          static_cast<unsigned long>(m_clientId));
        return true;
      case kElementVolume:
        m_volumeId = tksanvol::readU32(value, length);
        m_hasVolume = true;
        EvDebug::DebugLvl(kLevelReceived, kTagManage, "Received, VolumeId = %lu.",
                          static_cast<unsigned long>(m_volumeId));
        return true;
      case kElementAppliance:
        m_appliance = tksanvol::continuous::readIdTextValue(value, length);
        m_hasAppliance = true;
        EvDebug::DebugLvl(kLevelReceived, kTagManage, "Received, ApplianceId =%d, ApplianceName = %s.",
                          static_cast<int>(m_appliance.id), m_appliance.text.c_str());
        return true;
      case kElementOldServer:
        m_oldServer = tksanvol::readText(value, length);
        m_hasOldServer = true;
        EvDebug::DebugLvl(kLevelReceived, kTagManage, "Received, Old QM server %s", m_oldServer.c_str());
        return true;
      default:
        return false;
    }
  }
  bool supportsOperation(unsigned long long) const override { return true; }

  RecordOutcome onRecord(tksanvol::StreamContext& context) override {
    const unsigned long long operation = context.operation;
    bool complete = true;
    switch (operation) {
      case kOperationAdd:
      case kOperationDelete:
        complete = context.hasOperation && m_hasAppliance;
        break;
      case kOperationAssign:
        complete = context.hasOperation && m_hasAppliance && m_hasVolume;
        break;
      case kOperationChangeServer:
        complete = m_hasAppliance && m_hasOldServer && m_hasClient;
        break;
      default:
        return tksanvol::flr::invalidOperation(context);
    }
    if (!complete)
      return answerWithText(context.answer, tksanvol::continuous::kMissingInformation, AnswerForm::OperationResponse,
                            operation);
    ReplicaDBClient db(1);
    switch (operation) {
      case kOperationAdd:
        return add(context, db);
      case kOperationDelete:
        return remove(context, db);
      case kOperationAssign:
        return assign(context, db);
      default:
        return changeServer(context);
    }
  }

 private:
  RecordOutcome add(tksanvol::StreamContext& context, ReplicaDBClient& db) {
    AddQRApplianceArgs_t args;
    args.appliance.applianceName = m_appliance.text;
    AddQRApplianceRet_t ret;
    if (!db.AddQRAppliance(args, ret)) return answerWithText(context.answer, ret.errorText);
    MessageInfo& request = context.request();
    const uint32_t newId = static_cast<uint32_t>(ret.applianceId);
    if (!EvSANVolMgr::sendOperationResponseWith(request.sequenceNumber, request.socket, context.operation, 1,
                                                "Success", kItemNewAppliance, &newId, sizeof newId))
      return RecordOutcome::Failed;
    return RecordOutcome::GoOn;
  }

  RecordOutcome remove(tksanvol::StreamContext& context, ReplicaDBClient& db) {
    DeleteQRApplianceArgs_t args;
    args.applianceId = static_cast<int32_t>(m_appliance.id);
    DeleteQRApplianceRet_t ret;
    if (!db.DeleteQRAppliance(args, ret)) return answerWithText(context.answer, ret.errorText);
    context.answer.success(AnswerForm::OperationResponse, context.operation);
    return RecordOutcome::GoOn;
  }

  RecordOutcome assign(tksanvol::StreamContext& context, ReplicaDBClient& db) {
    QuerySNRVolumeByIdV3Args_t query;
    query.volumeId = static_cast<int32_t>(m_volumeId);
    QuerySNRVolumeByIdV3Ret_t found;
    if (!db.QuerySNRVolume(query, found)) return answerWithText(context.answer, found.errorText);
    UpdateSNRVolumeV3Args_t update;
    update.volume = found.volume;
    update.volume.SetApplianceId(static_cast<int>(m_appliance.id));
    UpdateSNRVolumeV3Ret_t ret;
    if (!db.UpdateSNRVolume(update, ret)) return answerWithText(context.answer, ret.errorText);
    MessageInfo& request = context.request();
    if (!EvSANVolMgr::sendOperationResponse(request.sequenceNumber, request.socket, context.operation, 1, "Success",
                                            0))
      return RecordOutcome::Failed;
    return RecordOutcome::GoOn;
  }

  RecordOutcome changeServer(tksanvol::StreamContext& context) {
    const std::string host = tksanvol::continuous::networkHostOf(m_clientId);
    ZQSVCClientSession session(host, static_cast<int>(m_clientId), nullptr, nullptr);
    if (!session.DeconfigureQMServer(m_oldServer, m_appliance.text)) {
      const std::string reason = tksanvol::flr::reasonOf(session.getLastErrorString());
      EvDebug::Error(kTagManage, "%s. Old Quillmere server was %s, new QM server %s in client %s.", reason.c_str(),
                     m_oldServer.c_str(), m_appliance.text.c_str(), host.c_str());
      return answerWithText(context.answer, reason);
    }
    context.answer.success(AnswerForm::OperationResponse, context.operation);
    return RecordOutcome::GoOn;
  }

  uint32_t m_clientId = 0;
  uint32_t m_volumeId = 0;
  tksanvol::IdText m_appliance;
  std::string m_oldServer;
  bool m_hasClient = false, m_hasVolume = false, m_hasAppliance = false, m_hasOldServer = false;
};

// The message ids of device-configuration errors, by operation 1 to 4: the
// id for client code 512, then the id for any other code.
struct ErrorIds {
  unsigned long code512;
  unsigned long other;
};
constexpr ErrorIds kDeviceErrorIds[] = {
    {0x390000fc, 0x390000fd},
    {0x390000fe, 0x390000ff},
    {0x39000100, 0x39000101},
    {0x39000102, 0x39000103},
};
constexpr unsigned long kDeviceErrorOther = 0x3900008c;
constexpr long long kDeviceErrorCode512 = 512;

}  // namespace

namespace tksanvol {

bool getVolsContainedInSubClients(std::vector<int>& volumeIds) {
  ContentQuery query;
  for (auto it = volumeIds.begin(); it != volumeIds.end();) {
    std::vector<int> subclients;
    if (query.getSCListHavingVolId(*it, subclients, nullptr) != 0) {
      EvDebug::Error(kTagSubclients, "Error retrieving a list of associated subclients for volume [%d].", *it);
      return false;
    }
    it = subclients.empty() ? volumeIds.erase(it) : std::next(it);
  }
  std::sort(volumeIds.begin(), volumeIds.end());
  return true;
}

unsigned long buildConfigQRDeviceErrorEvent(EvEvent& event, int operation, long long code) {
  const int count = static_cast<int>(std::size(kDeviceErrorIds));
  if (operation < 1 || operation > count) return kDeviceErrorOther;
  const ErrorIds& ids = kDeviceErrorIds[operation - 1];
  if (code == kDeviceErrorCode512) return ids.code512;
  event << static_cast<long>(code);
  return ids.other;
}

}  // namespace tksanvol

long long EvSANVolMgr::onMsgGetQRAppliances(MessageInfo* request) {
  const tksanvol::GetRules rules{kTagList, kReplyAppliances, tksanvol::GetLog::TarnfoldId};
  return tksanvol::runGet(*this, request, rules, [this](MessageInfo& m) { return lookupQRAppliances(&m); });
}

long long EvSANVolMgr::lookupQRAppliances(MessageInfo* request) {
  if (request == nullptr) return 0;
  GetQRApplianceListRet_t ret;
  if (!ReplicaDBClient(1).GetQRApplianceList(ret)) {
    EvDebug::DebugLvl(kLevelReceived, kTagLookup, "%s", ret.errorText.c_str());
    tksanvol::RequestAnswer answer(*request, kTagLookup);
    answerWithText(answer, ret.errorText);
    return 0;
  }
  for (const QRApplianceRecord_t& appliance : ret.appliances) {
    tksanvol::addIdText(*this, kElementAppliance, static_cast<uint32_t>(appliance.applianceId),
                        appliance.applianceName);
    tksanvol::endRecord(*this);
  }
  return 1;
}

long long EvSANVolMgr::onMsgManageQRAppliance(MessageInfo* request) {
  ApplianceChange handler;
  return tksanvol::runElementStream(request, tksanvol::continuous::walkOnRules(kTagManage), handler);
}
