// The names of the NDMP servers (reply 11059): the clients that own rows of
// the NDMP host table, as the console lists them for NDMP configuration.
//
// The request carries no element stream: its first parameter is a filter
// word that selects the kinds of row (0 leaves out the rows that belong to
// ordinary clients, 2 keeps only NAS kinds, any other value keeps all). The
// reply is built on the handler object's own reply base; no locks are taken.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "frame/ElementTags.h"
#include "frame/MessageInfo.h"
#include "frame/SANVolFrame.h"
#include "frame/SANVolReplyItems.h"
#include "nas/EvNASConfigMgr.h"
#include "platform/client/ZQClient.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/mmdb/ZQMMNDMPHostInfo.h"
#include "platform/ndmp/NasHostTypes.h"

namespace {

constexpr const char* kTag = "EvNASConfigMgr::onMsgGetMMNDMPServers";
constexpr const char* kWorkerTag = "EvNASConfigMgr::lookupMMNDMPServers";

constexpr unsigned long kReplyServers = tktag::kReplyNdmpServers;
constexpr unsigned long kItemServerName = tktag::kNdmpServer;

// NDMP row kinds that belong to an ordinary client (filter 0 leaves them
// out) and the NAS kinds that filter 2 keeps.
constexpr int kOrdinaryKinds[] = {5, 12, 16};
constexpr int kNasKinds[] = {6, 7, 8, 13, 20, 22, 23, 25};
constexpr uint32_t kFilterNoOrdinary = 0;
constexpr uint32_t kFilterNasOnly = 2;

template <std::size_t N>
bool isOneOf(int osType, const int (&kinds)[N]) {
  return std::find(std::begin(kinds), std::end(kinds), osType) != std::end(kinds);
}

bool passesFilter(uint32_t filter, int osType) {
  if (filter == kFilterNoOrdinary) return !isOneOf(osType, kOrdinaryKinds);
  if (filter == kFilterNasOnly) return isOneOf(osType, kNasKinds);
  return true;
}

}  // namespace

long long EvNASConfigMgr::onMsgGetMMNDMPServers(MessageInfo* request) {
  const tksanvol::GetRules rules{kTag, kReplyServers, tksanvol::GetLog::TarnfoldId};
  return tksanvol::runGet(*this, request, rules, [this](MessageInfo& m) { return lookupMMNDMPServers(&m); });
}

long long EvNASConfigMgr::lookupMMNDMPServers(MessageInfo* request) {
  // The NDMP host list is walked, never held: of each entry that passes the
  // filter only its client id is kept, and the host name of an entry
  // without one, for its log line. The clients are named after the walk,
  // which reads the table and nothing else.
  struct Kept {
    int32_t clientId;
    std::string hostName;  // only without a client id
  };
  const uint32_t filter = request->elementCount;
  std::vector<Kept> kept;
  ZQMMNDMPHostInfo hosts(1);
  const int read = hosts.walkNDMPHostList([&](const MMNDMPHostInfoMsg& entry) {
    if (!passesFilter(filter, entry.osType)) return true;
    if (entry.clientId != 0)
      kept.push_back({entry.clientId, std::string()});
    else
      kept.push_back({0, std::string(entry.hostName, strnlen(entry.hostName, sizeof entry.hostName))});
    return true;
  });
  if (read < 0) return 0;

  std::vector<std::string> names;
  for (const Kept& entry : kept) {
    if (entry.clientId == 0) {
      EvDebug::Debug(kWorkerTag,
                     "NAS NDMP row for hostname [%s] has no client ID set. Not returning this NDMP server.",
                     entry.hostName.c_str());
      continue;
    }
    std::string name;
    ZQClient client(static_cast<unsigned long>(entry.clientId));
    client.getName(name, nullptr);
    if (name.empty()) {
      EvDebug::Debug(kWorkerTag,
                     "Unable to determine client name for NAS NDMP row with client ID [%d]. Not returning this NDMP "
                     "server.",
                     entry.clientId);
      continue;
    }
    names.push_back(std::move(name));
  }

  // Byte-wise order; a client with two rows is named twice.
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    tksanvol::addText(*this, kItemServerName, name);
    tksanvol::endRecord(*this);
  }
  return 1;
}
