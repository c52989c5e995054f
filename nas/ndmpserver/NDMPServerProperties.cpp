// The NDMP properties of one client (reply 11061) and the media agents that
// can drive NDMP (reply 11072).
//
// The properties request carries, after the Tarnfold id, the client's name
// in a 256-byte field (read bounded: it may hold no terminator) and the
// client's id. A NAS answers its own NDMP row (a zeroed record when it has
// none); an ordinary client answers one record per kind of NDMP row it may
// have (OS type 5 for an old file-system agent, 12 for component 1029, 16
// for a media agent), found or not; a Centera client (OS type 55) first
// answers a record that is its 2052 alone. The login goes out encrypted for
// the client connection. Both listings build on the handler object's own
// reply base; no locks are taken.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "Db/Cursor/getClientProps.h"
#include "frame/ElementTags.h"
#include "frame/EvEvent.h"
#include "frame/MessageInfo.h"
#include "frame/SANVolFrame.h"
#include "frame/SANVolReplyItems.h"
#include "nas/EvNASConfigMgr.h"
#include "platform/client/ClientApplicationList.h"
#include "platform/client/ClientProperties.h"
#include "platform/client/ZQClient.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/mmdb/MMNDMPHostInfoDB.h"
#include "platform/mmdb/ZQMMClientInfo.h"

namespace {

constexpr const char* kPropsTag = "EvNASConfigMgr::onMsgGetMMNDMPServerProperties";
constexpr const char* kPropsWorkerTag = "EvNASConfigMgr::lookupMMNDMPServerProperties";
constexpr const char* kAgentsTag = "EvNASConfigMgr::onMsgGetMMMediaAgents";

constexpr unsigned long kReplyProperties = tktag::kReplyNdmpServerProperties;
constexpr unsigned long kReplyMediaAgents = tktag::kReplyMediaAgents;
constexpr unsigned long kItemLogin = tktag::kNdmpLogin;
constexpr unsigned long kItemClient = tktag::kClient;
constexpr unsigned long kItemOsType = tktag::kNdmpOsType;
constexpr unsigned long kItemFirmware = tktag::kFirmwareRevision;
constexpr unsigned long kItemPort = tktag::kNdmpPort;
constexpr unsigned long kItemDetectedMediaAgent = tktag::kDetectedMediaAgent;
constexpr unsigned long kItemTimeZone = tktag::kTimeZone;
constexpr unsigned long kItemMediaAgent = tktag::kMediaAgent;
constexpr unsigned long kItemSystemOsId = tktag::kOsId;

// OS types of NDMP rows and clients.
constexpr int kRowOldFileSystem = 5;
constexpr int kRowComponent1029 = 12;
constexpr int kRowMediaAgent = 16;
constexpr int kClientCentera = 55;
constexpr int kDefaultPort = 10000;

// Components whose presence asks for an NDMP row, and the release below
// which component 1004 still uses the old row.
constexpr int kComponentOldFileSystem = 1004;
constexpr int kComponentNdmp = 1029;
constexpr unsigned long long kReleaseNewFileSystem = 12;

// The platform-type bit of a media agent.
constexpr unsigned long long kPlatformMediaAgent = 2;

constexpr std::size_t kTextSize = 1024;

// What the properties listing knows about the client.
struct ClientFacts {
  unsigned long id = 0;
  std::string name;
  int osType = 0;
  bool isNas = false;
  bool isMediaAgent = false;
  bool hasOldFileSystem = false;
  bool hasNdmpComponent = false;
  unsigned long long releaseId = 0;
};

int portOf(const MMNDMPHostInfo_t& row) {
  return row.listenPort == 0 && row.hostSettingB == 1 ? kDefaultPort : row.listenPort;
}

// The row of the client for one OS type; a row that cannot be read is
// answered zeroed with the type asked for and its default port.
MMNDMPHostInfo_t rowOfType(MMNDMPHostInfoDB& table, int clientId, int osType) {
  MMNDMPHostInfo_t row;
  if (table.getInfoByClientIdAndOSType(clientId, osType, row) == 0) return row;
  row = MMNDMPHostInfo_t();
  row.osType = osType;
  row.listenPort = osType == kRowMediaAgent || osType == kRowComponent1029 ? kDefaultPort : 0;
  return row;
}

}  // namespace

long long EvNASConfigMgr::onMsgGetMMNDMPServerProperties(MessageInfo* request) {
  if (request == nullptr) {
    EvDebug::Debug(kPropsTag, "%s", "Bad Parameter Received.");
    return 0;
  }
  if (!tksanvol::beginReply(*this, *request, kReplyProperties, kPropsTag)) return 0;
  const long long result = lookupMMNDMPServerProperties(request);
  tksanvol::endGet(*this);
  return result;
}

long long EvNASConfigMgr::lookupMMNDMPServerProperties(MessageInfo* request) {
  const std::string requestName = request->ndmpClientName();
  const unsigned long requestId = request->ndmpClientId();
  MMNDMPHostInfoDB table(nullptr);

  ClientFacts facts;
  {
    std::unique_ptr<ZQClient> client =
        requestId != 0 ? std::make_unique<ZQClient>(requestId)
                       : std::make_unique<ZQClient>(request->tarnfoldId(), requestName, true, 0);
    const int found = client->lookup(nullptr);
    if (found != 0 && found != DB_NO_ROW) {
      EvDebug::Error(kPropsWorkerTag, "ZQClient::lookup() failed: %d", found);
      char text[kTextSize] = {};
      EvEvent event(kPropsWorkerTag);
      event.evPrintf(tksanvol::kTextAllocationFailed, text, sizeof text, request->sequenceNumber);
      sendResponse(request->sequenceNumber, &request->socket, 0, text, nullptr);
      return 0;
    }
    facts.id = requestId != 0 ? requestId : client->getClientId();
    client->getName(facts.name, nullptr);
    client->getOSType(facts.osType, nullptr);
    unsigned long long platformTypes = 0;
    client->getORdPlatformTypes(platformTypes, false, nullptr, nullptr);
    client->getReleaseId(facts.releaseId, nullptr);
    facts.isNas = IsNasOs(static_cast<unsigned int>(facts.osType));
    if (!facts.isNas) {
      facts.isMediaAgent = (platformTypes & kPlatformMediaAgent) != 0;
      client->isComponentInstalled(kComponentOldFileSystem, facts.hasOldFileSystem, nullptr);
      client->isComponentInstalled(kComponentNdmp, facts.hasNdmpComponent, nullptr);
    }
  }

  const int clientId = static_cast<int>(facts.id);
  std::vector<MMNDMPHostInfo_t> rows;
  if (facts.osType == kClientCentera) tksanvol::endRecord(*this);
  if (facts.isNas && facts.osType != kClientCentera) {
    MMNDMPHostInfo_t row;
    if (table.getInfoByClientId(clientId, row) != 0) {
      char error[kTextSize] = {};
      EvDebug::Error(kPropsWorkerTag, "%s", table.getLastError(error, sizeof error));
      row = MMNDMPHostInfo_t();
      EvDebug::Debug(kPropsWorkerTag,
                     "Could not look-up the NDMP credentials for client [%s]. This is a normal condition for a "
                     "virtual file server using the physical client NDMP credentials.",
                     facts.name.c_str());
    }
    rows.push_back(row);
  } else if (!facts.isNas) {
    if (facts.hasOldFileSystem && facts.releaseId < kReleaseNewFileSystem)
      rows.push_back(rowOfType(table, clientId, kRowOldFileSystem));
    if (facts.hasNdmpComponent) rows.push_back(rowOfType(table, clientId, kRowComponent1029));
    if (facts.isMediaAgent) rows.push_back(rowOfType(table, clientId, kRowMediaAgent));
  }

  for (const MMNDMPHostInfo_t& row : rows) {
    const std::size_t loginLength = strnlen(row.login, sizeof row.login);
    unsigned int encryptedLength = 0;
    if (request->secureSocket.EncryptData(row.login, static_cast<unsigned int>(loginLength), nullptr,
                                          &encryptedLength) != 0) {
      EvDebug::Error(kPropsWorkerTag, "%s", "Failed to EncryptData for username");
    } else {
      std::vector<char> encrypted(encryptedLength + 1u);
      if (request->secureSocket.EncryptData(row.login, static_cast<unsigned int>(loginLength), encrypted.data(),
                                            &encryptedLength) == 0)
        add(kItemLogin, encrypted.data(), encryptedLength);
      else
        EvDebug::Error(kPropsWorkerTag, "%s", "Failed to EncryptData for username");
    }
    tksanvol::addIdText(*this, kItemClient, static_cast<uint32_t>(row.clientId), requestName);
    tksanvol::addU32(*this, kItemOsType, static_cast<uint32_t>(row.osType));
    tksanvol::addText(*this, kItemFirmware,
                      std::string(row.firmwareRevision, strnlen(row.firmwareRevision, sizeof row.firmwareRevision)));
    tksanvol::addU32(*this, kItemPort, static_cast<uint32_t>(portOf(row)));
    if (facts.isNas) {
      ClientProperties properties(facts.id);
      unsigned long mediaAgentId = 0;
      if (properties.getDetectMAForNDMP(mediaAgentId, nullptr) == 0 && mediaAgentId != 0) {
        std::string mediaAgent;
        ZQClient(mediaAgentId).getName(mediaAgent, nullptr);
        tksanvol::addIdText(*this, kItemDetectedMediaAgent, static_cast<uint32_t>(mediaAgentId), mediaAgent);
      }
      int timeZoneId = 0;
      if (properties.getClientTimeZoneId(timeZoneId, nullptr) == 0 && timeZoneId != 0) {
        GetClientProps cursor(nullptr);
        cursor.setValues(static_cast<int>(request->tarnfoldId()), clientId, 0);
        int status = 0;
        if (getNextRow(&cursor, &status, -1, 0) == 0) {
          const char* zone = cursor.getDataPtr()->r_timezone;
          const std::string text(zone, strnlen(zone, sizeof cursor.getDataPtr()->r_timezone));
          if (!text.empty()) tksanvol::addText(*this, kItemTimeZone, text);
        }
      }
    }
    tksanvol::endRecord(*this);
  }
  return 1;
}

long long EvNASConfigMgr::onMsgGetMMMediaAgents(MessageInfo* request) {
  const tksanvol::GetRules rules{kAgentsTag, kReplyMediaAgents, tksanvol::GetLog::TarnfoldId};
  return tksanvol::runGet(*this, request, rules, [this](MessageInfo& m) { return lookupMMMediaAgents(&m); });
}

long long EvNASConfigMgr::lookupMMMediaAgents(MessageInfo* request) {
  std::vector<int> ids;
  std::vector<std::string> names;
  ClientApplicationList list;
  if (list.getClientList(ids, names, static_cast<int>(request->tarnfoldId()), nullptr, 0) != 0) {
    EvDebug::Error(kAgentsTag, "Error fetching client List for tarnfold [%d]", static_cast<int>(request->tarnfoldId()));
    return 0;
  }
  for (const int id : ids) {
    ZQClient client(static_cast<unsigned long>(id));
    std::string host;
    int code = client.getNetworkHostname(host, nullptr);
    if (code != 0 || host.empty()) {
      EvDebug::Error(kAgentsTag, "Error fetching network hostName for client [%lu] Error [%s]",
                     static_cast<unsigned long>(id), ZQClient::getErrorString(code).c_str());
      continue;
    }
    unsigned long long platformTypes = 0;
    code = client.getORdPlatformTypes(platformTypes, false, nullptr, nullptr);
    if (code != 0) {
      EvDebug::Error(kAgentsTag, "Error fetching platform Types for client [%lu] Error [%s]",
                     static_cast<unsigned long>(id), ZQClient::getErrorString(code).c_str());
      continue;
    }
    if ((platformTypes & kPlatformMediaAgent) == 0) continue;
    int osId = 0;
    int second = 0;
    ZQMMmedAgentInfo agent(host.c_str(), 1);
    if (agent.getSystemOSId(osId, second) != 0) osId = 0;
    tksanvol::addIdText(*this, kItemMediaAgent, static_cast<uint32_t>(id), host);
    tksanvol::addU32(*this, kItemSystemOsId, static_cast<uint32_t>(osId));
    tksanvol::endRecord(*this);
  }
  return 1;
}
