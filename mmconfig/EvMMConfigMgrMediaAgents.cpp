// The media agents a configuring client picks from: the agents the user may
// configure libraries and drives on (onMsgGetMMMediaAgents2, from the
// database), the agents free for a new software copy manager or for a
// plug-and-play disk of a library, the candidates of a library controller
// or drive path, the library-server names of a host or every agent usable
// as a library server (onMsgGetMMLibraryHosts), and the change that adds
// plug-and-play disks (operation 1) or chooses the agents the
// configuration shows (operation 15) (onMsgSetMMMediaAgents).
//
// The Gets answer one reply block through the Get wrapper
// (HandlerSkeleton.h); a handle of another kind of object than the request
// is about gives an empty block. The library-hosts request carries a fixed
// payload: the rights argument in the first fixed field, the library-vendor
// index in the next word and the host name behind it, read within the
// request body. A vendor index outside the vendor table gives an empty
// block; the table is never read past its end.
//
// The agent listings that apply the rights filter do so through
// MediaAgentRights (MediaAgentRights.h).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Db/Proc/MMIsMAPushedToAnotherTK.h"
#include "Db/Proc/MMS2GetMediaAgentList.h"
#include "frame/ElementTags.h"
#include "frame/EvEvent.h"
#include "frame/EvMMConfigMgr.h"
#include "frame/HandlerSkeleton.h"
#include "frame/MessageInfo.h"
#include "frame/MessageWalker.h"
#include "frame/mac/ZQMACObjects.h"
#include "mmconfig/MediaAgentRights.h"
#include "mmconfig/RecordWriter.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/reply/EvReturnData.h"

namespace {

constexpr const char* kAgentsTag = "EvMMConfigMgr::lookupMMMediaAgents2";
constexpr const char* kCopyManagerAgentsTag = "EvMMConfigMgr::onMsgGetMMSoftwareCMMediaAgents";
constexpr const char* kAgentsForLibTag = "EvMMConfigMgr::lookupMMMediaAgentsForLib";
constexpr const char* kLibraryCandidatesTag = "EvMMConfigMgr::onMsgGetMMLibraryCandidates";
constexpr const char* kDriveCandidatesTag = "EvMMConfigMgr::onMsgGetMMDriveCandidates";
constexpr const char* kLibraryHostsTag = "EvMMConfigMgr::lookupMMLibraryHosts";
constexpr const char* kSetTag = "EvMMConfigMgr::onMsgSetMMMediaAgents";

constexpr unsigned long kReplyAgents = tktag::kReplyMediaAgents;
constexpr unsigned long kReplyDriveCandidates = tktag::kReplyDriveCandidates;
constexpr unsigned long kReplyLibraryCandidates = tktag::kReplyLibraryCandidates;
constexpr unsigned long kReplyAgentsForLib = tktag::kReplyAgentsForLibrary;
constexpr unsigned long kReplyLibraryHosts = tktag::kReplyLibraryHosts;

constexpr unsigned long kItemAgent = tktag::kMediaAgent;
constexpr unsigned long kItemDrivePath = tktag::kPathDrive;
constexpr unsigned long kItemController = tktag::kLibraryController;
constexpr unsigned long kItemOsId = tktag::kOsId;
constexpr unsigned long kItemHost = tktag::kLibraryServer;

// The library-hosts payload: the host name behind the vendor index.
constexpr std::size_t kPositionHostName = 8;
// Host name and vendor index that ask for every agent usable as a library server.
constexpr const char* kAllServersHost = "ZQ";
constexpr uint32_t kAllServersIndex = 1000;

constexpr unsigned long kTextAccessDenied = 0x240001EF;
constexpr std::size_t kEventTextSize = 512;

constexpr uint32_t kOpAddPnpDisk = 1;
constexpr uint32_t kOpChooseShown = 15;
constexpr uint32_t kElementAgentName = tktag::kMediaAgent;

uint32_t low32(long long value) { return static_cast<uint32_t>(static_cast<unsigned long long>(value) & 0xFFFFFFFFull); }

// lookupMMMediaAgents2: the rows of the user's agents, without those flagged
// hidden. False, after a status-0 answer, when the procedure gave no row at
// all (the user may use no agent) or could not be read.
bool lookupMediaAgents2(tkmm::RecordWriter& out, const MessageInfo& request) {
  MMS2GetMediaAgentList list(nullptr);
  list.setValues(static_cast<int>(request.userId), 0, 1);
  int count = 0;
  int result = 0;
  while ((result = getNextRow(&list, &count, -1, 0)) == 0) {
    const MMS2GetMediaAgentList_t* row = list.getDataPtr();
    if (row == nullptr) break;
    if (!mediaAgentListShows(*row)) continue;
    out.idText(kItemAgent, static_cast<uint32_t>(row->o_hostClientId), row->o_hostName);
    out.u32(kItemOsId, static_cast<uint32_t>(row->o_SystemOsId));
    out.text(tkmm::kItemTextB, mediaAgentShownName(*row));
    out.endOfRecord();
  }
  if (ZQDBFetchOf(result) == ZQDBFetch::Error) {
    // A database that cannot be read is no refusal of the user's rights.
    EvDebug::Error(kAgentsTag, "The media agents of user [%d] cannot be read [%d].", static_cast<int>(request.userId),
                   result);
    sendResponse(request.sequenceNumber, &request.socket, 0, "The media agents cannot be read.", nullptr);
    return false;
  }
  if (count != 0) return true;
  EvDebug::Error(kAgentsTag, "User [%d] has no right to access any media agent for Library and Drive Configuration.",
                 static_cast<int>(request.userId));
  char text[kEventTextSize] = {};
  EvEvent event(kAgentsTag);
  event << "Access Denied.";
  event.evPrintf(kTextAccessDenied, text, sizeof text, request.sequenceNumber);
  sendResponse(request.sequenceNumber, &request.socket, 0, text, nullptr);
  return false;
}

// Candidates: id and second text of each, with its handle.
void candidateRecords(tkmm::RecordWriter& out, const ZQMACMediaConfig& config, unsigned long tag,
                      ZQMACLinkedList<ZQMACInterface> candidates) {
  for (ZQMACInterface* c = candidates.GetFirstNode(); c != nullptr; c = candidates.GetNextNode()) {
    out.idText(tag, c->GetId(), c->GetTextB(false));
    out.handle(tkmm::kItemObjectHandle, config.GetHandle(c));
    out.endOfRecord();
  }
}

void hostRecord(tkmm::RecordWriter& out, const std::string& name) {
  out.text(kItemHost, name);
  out.endOfRecord();
}

// Every agent usable as a library server that the requester may use.
void libraryServers(tkmm::RecordWriter& out, ZQMACMediaConfig& config, const MessageInfo& request) {
  tkmm::MediaAgentRights rights(request, request.firstWord, kLibraryHostsTag);
  ZQMACLinkedList<ZQMACMediaAgent> agents = config.GetMediaAgentList();
  for (ZQMACMediaAgent* agent = agents.GetFirstNode(); agent != nullptr; agent = agents.GetNextNode()) {
    const int id = static_cast<int>(agent->GetId());
    if (libraryHostNeedsQuery(agent->GetAttribute()) && !isOfferedAsLibraryHost(id)) {
      EvDebug::Debug(kLibraryHostsTag, "MA [%d:%s] is not configured to use as a Library server.  Skip ...", id,
                     agent->GetName().c_str());
      continue;
    }
    if (!rights.allows(agent->GetId())) continue;
    hostRecord(out, agent->GetName());
  }
}

// The library-server names of the host for the library vendor of `index`.
void hostServerNames(tkmm::RecordWriter& out, ZQMACMediaConfig& config, const std::string& host, uint32_t index) {
  const ZQMACVendorInfo* vendors = config.GetVendorInfo();
  const int size = vendors->GetLibraryVendorInfoSize(true);
  if (size <= 0 || index >= static_cast<uint32_t>(size)) {
    EvDebug::Error(kLibraryHostsTag, "Library vendor index [%u] is out of range [%d].", index, size);
    return;
  }
  const ZQMACVendorEntry& entry = vendors->GetLibraryVendorInfo(true)[index];
  ZQMACMediaAgent* agent = config.FindDBNode(host);
  // A host the installation does not know is asked through an agent object
  // of its own for this request only: a listing adds nothing to the
  // configuration.
  std::unique_ptr<ZQMACMediaAgent> probe;
  if (agent == nullptr) {
    probe = std::make_unique<ZQMACMediaAgent>(host, nullptr, nullptr);
    agent = probe.get();
  }
  for (const std::string& name : agent->GetLibServerNameList(entry.first, entry.second)) hostRecord(out, name);
}

// ---------------------------------------------------------------- change

class MediaAgentsChange : public tkmm::SetRecordHandler {
 public:
  explicit MediaAgentsChange(MessageInfo& request) : m_request(request) {}

  bool servesOperation(uint32_t operation) const override {
    return operation == kOpAddPnpDisk || operation == kOpChooseShown;
  }
  bool needsObject(uint32_t operation) const override { return operation == kOpAddPnpDisk; }
  bool takeElement(uint32_t type, const char* value, unsigned int length) override {
    if (type != kElementAgentName) return false;
    // A nameless agent is no choice: the configuration would get an agent
    // without a name.
    const std::string name = length < sizeof(uint32_t) ? std::string() : MessageWalker::readPairText(value, length);
    if (!name.empty()) m_names.push_back(name);
    return true;
  }
  tkmm::SetOutcome apply(const tkmm::SetRecord& record) override {
    return record.operation == kOpAddPnpDisk ? addPnpDisk(record) : chooseShown(record);
  }

 private:
  tkmm::SetOutcome addPnpDisk(const tkmm::SetRecord& record) {
    ZQMACLms* library = record.object<ZQMACLms>();
    if (library == nullptr)
      return tkmm::SetOutcome::failure(ZQMACBase::GetMessageString(tkmm::kTextNoObjectHandle));
    if (!record.config.AddPnpDisk(library, m_names)) return tkmm::SetOutcome::lastError(record.config);
    return tkmm::SetOutcome::success();
  }

  // The named agents (made for names the configuration does not know) are
  // shown, every other agent hidden, and the choice is stored. Every name
  // is resolved before anything is hidden; when an agent cannot be made or
  // the choice cannot be stored, those made for this record go again and
  // nothing changes. Status 2 tells the client that an agent was made.
  tkmm::SetOutcome chooseShown(const tkmm::SetRecord& record) {
    ZQMACMediaConfig& config = record.config;
    ZQMACLinkedList<ZQMACInterface> chosen;
    std::vector<ZQMACMediaAgent*> made;
    auto failure = [&](const std::string& reason) {
      for (ZQMACMediaAgent* m : made) config.DeleteObject(m);
      return tkmm::SetOutcome::failure(reason);
    };
    for (const std::string& name : m_names) {
      ZQMACMediaAgent* agent = config.FindDBNode(name);
      if (agent == nullptr) {
        auto fresh = std::make_unique<ZQMACMediaAgent>(name, &config, nullptr);
        if (fresh->GetOwner() == nullptr) return failure(config.GetLastError());
        agent = fresh.release();  // the configuration owns it
        made.push_back(agent);
      }
      chosen.AddNode(agent);
    }
    // Asked before the choice is stored: a stored agent is no new one.
    const bool anyNew = config.IsAnyNewAgent(chosen);
    if (!ZQMACMediaAgent::ChooseShown(config, chosen)) return failure(config.GetLastError());
    if (!anyNew) return tkmm::SetOutcome::success();
    EvMMConfigMgr::sendOperationResponse(m_request.sequenceNumber, m_request.socket, kOpChooseShown, 2, "Success", 0);
    return tkmm::SetOutcome::answered(true, true);
  }

  MessageInfo& m_request;
  // Every name of the request so far: a later record sees those of the
  // earlier ones too.
  std::vector<std::string> m_names;
};

}  // namespace

bool EvMMConfigMgr::onMsgGetMMMediaAgents2(MessageInfo* request) {
  return tkmm::runGet(*this, request, kReplyAgents, kAgentsTag, [&](ZQMACMediaConfig&) {
    tkmm::RecordWriter out(*this);
    return lookupMediaAgents2(out, *request);
  });
}

bool EvMMConfigMgr::onMsgGetMMSoftwareCMMediaAgents(MessageInfo* request) {
  return tkmm::runGet(*this, request, kReplyAgents, kCopyManagerAgentsTag, [&](ZQMACMediaConfig& config) {
    tkmm::RecordWriter out(*this);
    ZQMACLinkedList<ZQMACMediaAgent> agents = config.GetAvailableMediaAgentForNewSoftwareCopyManagerList();
    for (ZQMACMediaAgent* agent = agents.GetFirstNode(); agent != nullptr; agent = agents.GetNextNode()) {
      out.idText(kItemAgent, agent->GetId(), agent->GetName());
      out.endOfRecord();
    }
    return true;
  });
}

bool EvMMConfigMgr::onMsgGetMMMediaAgentsForLib(MessageInfo* request) {
  return tkmm::runGet(*this, request, kReplyAgentsForLib, kAgentsForLibTag, [&](ZQMACMediaConfig& config) {
    tkmm::RecordWriter out(*this);
    ZQMACInterface* object = config.FindObject(request->objectHandle);
    if (object != nullptr && object->GetObjectType() != ZQMAC_OBJ_LMS) {
      EvDebug::Error(kAgentsForLibTag, "EvMMConfigMgr::lookupMMMediaAgentsForLib() Got the wrong object type!!!");
      return true;
    }
    ZQMACLinkedList<ZQMACMediaAgent> agents =
        config.GetAvailableMediaAgentsForPnpDisk(dynamic_cast<ZQMACLms*>(object));
    for (ZQMACMediaAgent* agent = agents.GetFirstNode(); agent != nullptr; agent = agents.GetNextNode()) {
      out.idText(kItemAgent, agent->GetId(), agent->GetName());
      out.u32(kItemOsId, low32(agent->GetOSId()));
      out.endOfRecord();
    }
    return true;
  });
}

bool EvMMConfigMgr::onMsgGetMMLibraryCandidates(MessageInfo* request) {
  return tkmm::runPropertyGet(*this, request, kReplyLibraryCandidates, kLibraryCandidatesTag,
                              [&](ZQMACMediaConfig& config, ZQMACInterface& object) {
                                tkmm::RecordWriter out(*this);
                                auto* controller = dynamic_cast<ZQMACLibController*>(&object);
                                ZQMACMediaAgent* agent = controller != nullptr ? controller->GetMediaAgent() : nullptr;
                                if (agent != nullptr)
                                  candidateRecords(out, config, kItemController, agent->GetCandidateList(controller));
                                return true;
                              });
}

bool EvMMConfigMgr::onMsgGetMMDriveCandidates(MessageInfo* request) {
  return tkmm::runPropertyGet(*this, request, kReplyDriveCandidates, kDriveCandidatesTag,
                              [&](ZQMACMediaConfig& config, ZQMACInterface& object) {
                                tkmm::RecordWriter out(*this);
                                auto* path = object.GetObjectType() == ZQMAC_OBJ_DMS ? dynamic_cast<ZQMACDms*>(&object)
                                                                                    : nullptr;
                                ZQMACMediaAgent* agent = path != nullptr ? path->GetMediaAgent() : nullptr;
                                if (agent != nullptr)
                                  candidateRecords(out, config, kItemDrivePath, agent->GetCandidateList(path));
                                return true;
                              });
}

bool EvMMConfigMgr::onMsgGetMMLibraryHosts(MessageInfo* request) {
  return tkmm::runGet(*this, request, kReplyLibraryHosts, kLibraryHostsTag, [&](ZQMACMediaConfig& config) {
    tkmm::RecordWriter out(*this);
    const std::string host = request->payloadText(kPositionHostName);
    const uint32_t index = request->elementCount;
    if (host == kAllServersHost && index == kAllServersIndex)
      libraryServers(out, config, *request);
    else
      hostServerNames(out, config, host, index);
    return true;
  });
}

bool EvMMConfigMgr::onMsgSetMMMediaAgents(MessageInfo* request) {
  if (request == nullptr) {
    EvDebug::Error(kSetTag, "Bad Parameter Received.");
    return false;
  }
  MediaAgentsChange change(*request);
  return tkmm::runSet(request, kSetTag, change);
}
