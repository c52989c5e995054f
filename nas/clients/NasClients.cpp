// NAS clients as the central server's NAS-client service keeps them: the
// listing (reply 11501) and the removal (operation 2) or restore (56) of one
// NAS client per record. Adding (1) is refused here: a NAS client comes into
// being with its NDMP server.
//
// Each listing or operation makes its own NasClientConfigInterface, so the
// service connections are never shared between requests. The change is an
// element stream: its values persist from one record to the next, every
// record is answered with an operation reply, and the first refused or
// failed record ends the request (the records before it stay done). No
// locks are taken; the listing builds on the handler object's reply base.
#include <cstdint>
#include <string>

#include "frame/ElementTags.h"
#include "frame/EvAlertEx.h"
#include "frame/EvEvent.h"
#include "frame/EvSecurity.h"
#include "frame/MessageInfo.h"
#include "frame/MessageWalker.h"
#include "frame/SANVolFrame.h"
#include "frame/SANVolReplyItems.h"
#include "nas/EvNASConfigMgr.h"
#include "nas/clients/NasClientConfigInterface.h"
#include "nas/clients/NasClientItems.h"
#include "platform/client/ZQPlatformInfo.h"
#include "platform/debuglog/EvDebug.h"

namespace {

constexpr const char* kListTag = "EvNASConfigMgr::onMsgGetNASClients";
constexpr const char* kSetTag = "EvNASConfigMgr::onMsgSetNASClient";

// Catalogue ids.
constexpr unsigned long kTextAddRefused = 0x4800003B;
constexpr unsigned long kTextMissingObject = 0x240001F3;
constexpr unsigned long kTextRemoveRefused = 0x240001F6;   // %1 the reason of the refusal
constexpr unsigned long kTextRestoreRefused = 0x240001F7;  // %1 the client's name, %2 the reason
constexpr std::size_t kTextSize = 1024;

// Replies and items.
constexpr unsigned long kReplyNasClients = tktag::kReplyNasClients;
constexpr unsigned long kItemClient = tktag::kClient;
constexpr unsigned long kItemDeleted = tktag::kDeleted;
constexpr unsigned long kItemMediaAgent = tktag::kMediaAgent;
// Elements accepted and not used.
constexpr unsigned int kIgnoredElements[] = {
    tktag::kNdmpServer, tktag::kUnused6011, tktag::kUnused11502, tktag::kUnused11503};

// Operations.
constexpr unsigned long long kOperationAdd = 1;
constexpr unsigned long long kOperationRemove = 2;
constexpr unsigned long long kOperationRestore = 56;

// The service is spoken to as the central server.
constexpr int kLocalPlatformType = 1;

// The rights question: permission 2018 on the Tarnfold (entity kind 1).
constexpr int kRightsEntityKind = 1;
constexpr unsigned long kRightsPermission = 2018;
constexpr long kRightsAlertId = 1020;
constexpr long kRightsAlertCondition = 12;

constexpr unsigned long kStatusFailure = 0;
constexpr unsigned long kStatusSuccess = 1;

// The catalogue text of `id` with up to two text arguments, in the
// request's locale.
std::string catalogueText(long long sequenceNumber, unsigned long id, const char* argument = nullptr,
                          const char* second = nullptr) {
  EvEvent event(kSetTag);
  event.setLocaleId(sequenceNumber);
  if (argument != nullptr) event << argument;
  if (second != nullptr) event << second;
  char buffer[kTextSize] = {};
  event.evPrintf(id, buffer, sizeof buffer, 0);
  return buffer;
}

class SetNasClient final : public tksanvol::StreamHandler {
 public:
  bool takeElement(tksanvol::StreamContext&, unsigned int type, const char* value, unsigned int length) override {
    switch (type) {
      case kItemClient: {
        const tksanvol::IdText client = tksanvol::readIdText(value, length);
        m_clientId = static_cast<int32_t>(client.id);
        m_clientName = client.text;
        m_hasClient = true;
        EvDebug::DebugLvl(7, kSetTag, "Received, Client = [%d-%s].", m_clientId, m_clientName.c_str());
        return true;
      }
      case kItemMediaAgent:
        m_mediaAgent = tksanvol::readIdText(value, length).text;
        m_hasMediaAgent = true;
        EvDebug::DebugLvl(7, kSetTag, "Received, Proxy media agent = [%s].", m_mediaAgent.c_str());
        return true;
      default:
        for (const unsigned int ignored : kIgnoredElements)
          if (type == ignored) return true;
        return false;
    }
  }

  // Every operation reaches onRecord, which answers the unknown ones itself.
  bool supportsOperation(unsigned long long) const override { return true; }

  tksanvol::RecordOutcome onRecord(tksanvol::StreamContext& context) override {
    MessageInfo& request = context.request();
    const unsigned long long operation = context.operation;
    if (operation == kOperationAdd) return failOperation(request, operation, catalogueText(request.sequenceNumber, kTextAddRefused));
    if (operation != kOperationRemove && operation != kOperationRestore) {
      EvDebug::Debug(kSetTag, "Received invalid operation type [%llu].", operation);
      sendResponse(request.sequenceNumber, &request.socket, kStatusFailure, "Received invalid operation type",
                   nullptr);
      return tksanvol::RecordOutcome::Failed;
    }
    if (!m_hasClient || !m_hasMediaAgent)
      return failOperation(request, operation, catalogueText(request.sequenceNumber, kTextMissingObject));
    if (!allowed(context, operation)) return tksanvol::RecordOutcome::Failed;

    NasClientConfigInterface nas;
    nas.SetLocalPlatformType(ZqsPlatType_e(kLocalPlatformType));
    const bool done = operation == kOperationRemove
                          ? nas.RemoveNasClient(m_clientId, m_clientName.c_str(), m_mediaAgent.c_str())
                          : nas.UndeleteNasClient(m_clientId, m_clientName.c_str(), m_mediaAgent.c_str());
    if (done) {
      EvNASConfigMgr::sendOperationResponse(request.sequenceNumber, request.socket, operation, kStatusSuccess,
                                            "Success", 0);
      return tksanvol::RecordOutcome::GoOn;
    }
    char tarnkeepHost[kTextSize] = {};
    if (!ZQPI_Tarnkeeper().getTarnkeepHostName(tarnkeepHost, sizeof tarnkeepHost)) tarnkeepHost[0] = '\0';
    char text[kTextSize] = {};
    EvEvent event(kSetTag);
    EvNASConfigMgr::ncwErrorText(event, nas.GetErrorCode(), text, sizeof text, request.sequenceNumber,
                                 operation == kOperationRemove ? "remove" : "unremove", nas.GetErrorText(),
                                 m_mediaAgent.c_str(), tarnkeepHost, m_clientName.c_str());
    EvDebug::Error(kSetTag, "%s", nas.GetErrorText() != nullptr ? nas.GetErrorText() : "");
    return failOperation(request, operation, text);
  }

 private:
  static tksanvol::RecordOutcome failOperation(MessageInfo& request, unsigned long long operation,
                                               const std::string& text) {
    EvNASConfigMgr::sendOperationResponse(request.sequenceNumber, request.socket, operation, kStatusFailure,
                                          text.c_str(), 0);
    return tksanvol::RecordOutcome::Failed;
  }

  // The user's right to change NAS clients of the Tarnfold. A refusal raises
  // the rights alert and answers the reason.
  bool allowed(tksanvol::StreamContext& context, unsigned long long operation) {
    MessageInfo& request = context.request();
    EvAlertEx alert;
    alert.setAlert(kRightsAlertId, nullptr);
    alert.setWhomId(static_cast<long>(request.userId), nullptr);
    EvSecurityMgr security(request.sequenceNumber);
    if (security.userHasRight(request.userId, kRightsEntityKind, false, kRightsPermission, context.tarnfoldId, 0, 0,
                              0, 0, 0, 0, 2, true))
      return true;
    const std::string reason = security.getResponseString();
    alert.setCondition(kRightsAlertCondition);
    alert.getMsgString() = reason;
    alert.sendAlert(0, 0, 0);
    EvDebug::Error(kSetTag, "%s", reason.c_str());
    const std::string text = operation == kOperationRemove
                                 ? catalogueText(request.sequenceNumber, kTextRemoveRefused, reason.c_str())
                                 : catalogueText(request.sequenceNumber, kTextRestoreRefused, m_clientName.c_str(),
                                                 reason.c_str());
    sendResponse(request.sequenceNumber, &request.socket, kStatusFailure, text.c_str(), nullptr);
    return false;
  }

  int32_t m_clientId = 0;
  std::string m_clientName;
  std::string m_mediaAgent;
  bool m_hasClient = false;
  bool m_hasMediaAgent = false;
};

}  // namespace

long long EvNASConfigMgr::onMsgGetNASClients(MessageInfo* request) {
  const tksanvol::GetRules rules{kListTag, kReplyNasClients, tksanvol::GetLog::TarnfoldId};
  return tksanvol::runGet(*this, request, rules, [this](MessageInfo& m) { return lookupNASClients(&m); });
}

long long EvNASConfigMgr::lookupNASClients(MessageInfo* /*request*/) {
  NasClientConfigInterface nas;
  nas.SetLocalPlatformType(ZqsPlatType_e(kLocalPlatformType));
  NasClientItem* clients = nullptr;
  int count = 0;
  if (!nas.GetNasClientList(clients, count)) {
    EvDebug::Error(kListTag, "%s", nas.GetErrorText() != nullptr ? nas.GetErrorText() : "");
    return 0;
  }
  for (int i = 0; i < count && clients != nullptr; ++i) {
    const NasClientItem& client = clients[i];
    tksanvol::addIdText(*this, kItemClient, static_cast<uint32_t>(client.GetId()),
                        tksanvol::textOf(client.GetName()));
    tksanvol::addU32(*this, kItemDeleted, client.IsDeleted() ? 1u : 0u);
    tksanvol::addIdText(*this, kItemMediaAgent, 0, tksanvol::textOf(client.GetProxyMediaAgent()));
    tksanvol::endRecord(*this);
  }
  return 1;
}

long long EvNASConfigMgr::onMsgSetNASClient(MessageInfo* request) {
  const tksanvol::StreamRules rules{kSetTag, tksanvol::UnknownElement::LogAndGoOn, true,
                                    tksanvol::MissingOperation::AsOperationZero};
  SetNasClient handler;
  return tksanvol::runElementStream(request, rules, handler);
}
