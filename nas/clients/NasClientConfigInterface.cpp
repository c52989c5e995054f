// The NAS-client configuration interface (see NasClientConfigInterface.h).
//
// Each operation attaches to the Tarnkeep's NAS-client service (and, to
// configure, to the proxy media agent's), sends one request and waits for
// its reply. A reply's own error code and text reach the caller unchanged;
// the interface's own failures become catalogue texts of their codes. Every
// reply body is released after its exchange, whatever the outcome.
#include "nas/clients/NasClientConfigInterface.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "frame/EvEvent.h"
#include "nas/clients/UtilityRoutines.h"
#include "platform/client/ZQClient.h"
#include "platform/client/ZQPlatformInfo.h"
#include "platform/clock/Clock.h"
#include "platform/nasclient/NasClientMessages.h"
#include "platform/nasclient/NasClientServices.h"
#include "platform/network/CZqNetwork.h"

namespace {

constexpr int kTarnkeepAttempts = 5;
constexpr int kMediaAgentRetries = 9;  // the 10th failure gives up
constexpr uint32_t kAttachPauseMs = 3000;
constexpr std::size_t kNameField = 256;

// A private heap copy of a request text, freed with its owner.
struct TextCopy {
  char* text = nullptr;
  TextCopy() = default;
  explicit TextCopy(const char* source) : text(source != nullptr ? ::strdup(source) : nullptr) {}
  ~TextCopy() { std::free(text); }
  TextCopy(const TextCopy&) = delete;
  TextCopy& operator=(const TextCopy&) = delete;
  bool failed(const char* source) const { return source != nullptr && text == nullptr; }
};

zqsRemoteDLLRequest libraryRequest(const char* library, const char* process) {
  zqsRemoteDLLRequest request;
  std::strncpy(request.library, library, sizeof request.library - 1);
  std::strncpy(request.process, process, sizeof request.process - 1);
  return request;
}

const char* orEmpty(const char* text) { return text != nullptr ? text : ""; }

}  // namespace

NasClientConfigInterface::NasClientConfigInterface()
    : tarnkeepConnection(std::make_unique<CZqNetwork>()), mediaAgentConnection(std::make_unique<CZqNetwork>()) {}

NasClientConfigInterface::~NasClientConfigInterface() { std::free(errorText); }

// ---- errors ----------------------------------------------------------------

void NasClientConfigInterface::setError(unsigned long code, EvEvent& event) {
  errorCode = code;
  UtilErrorText(errorTextCapacity, errorText, code, event);
}

void NasClientConfigInterface::setPlainError(unsigned long code) {
  EvEvent event;
  setError(code, event);
}

template <class Reply>
bool NasClientConfigInterface::takeReplyError(const Reply& reply) {
  if (reply.errorCode == 0) return false;
  errorCode = reply.errorCode;
  UtilCopyErrorText(errorTextCapacity, errorText, reply.errorText);
  return true;
}

// ---- attaching -------------------------------------------------------------

CWyError NasClientConfigInterface::attachTarnkeeper() {
  if (tarnkeepConnection->IsConnected()) return CWyError::attached(0);
  ZQPlatformInfo info;
  char localName[kNameField] = {};
  if (info.getZQPlatformType() & 1) {
    info.getTarnkeeperClientName(localName, sizeof localName);
  } else {
    std::strncpy(localName, info.getPhysicalMachine().c_str(), sizeof localName - 1);
  }
  char tarnkeepHost[kNameField] = {};
  info.getTarnkeeperHostName(tarnkeepHost, sizeof tarnkeepHost);
  std::string networkHost;
  {
    ZQClient client(tarnkeepHost, true, 0);
    client.getNetworkHostnameMangled(networkHost, nullptr);
  }
  // No network name known for the client: its host name serves.
  if (networkHost.empty()) networkHost = tarnkeepHost;
  const zqsRemoteDLLRequest request = libraryRequest(tknasclient::kTarnkeepLibrary, tknasclient::kTarnkeepProcess);
  CWyError result;
  for (int attempt = 1; attempt <= kTarnkeepAttempts; ++attempt) {
    int flag = 0;
    result = tarnkeepConnection->Attach_RemoteDLL(networkHost, request, localName, -1, flag);
    if (!result.IsError()) return result;
    if (attempt < kTarnkeepAttempts) WYSLEEP_InTeRnAl(kAttachPauseMs);
  }
  EvEvent event;
  event << tarnkeepConnection->GetPeerName() << tarnkeepHost << result.AsString();
  setError(tknas::kErrAttachTarnkeep, event);
  return result;
}

CWyError NasClientConfigInterface::attachMediaAgent(const char* name) {
  if (name == nullptr) {
    setPlainError(tknas::kErrInvalidArguments);
    return CWyError(static_cast<int>(tknas::kErrInvalidArguments), "No media agent was named.");
  }
  if (mediaAgentConnection->IsConnected()) {
    if (mediaAgentConnection->GetPeerName() == name) return CWyError::attached(0);
    mediaAgentConnection->Disconnect(120);
  }
  const zqsRemoteDLLRequest request =
      libraryRequest(tknasclient::kMediaAgentLibrary, tknasclient::kMediaAgentProcess);
  CWyError result;
  for (int failures = 0;;) {
    int flag = 0;
    result = mediaAgentConnection->Attach_RemoteDLL(name, request, nullptr, -1, flag);
    if (!result.IsError()) return result;
    if (++failures > kMediaAgentRetries) break;
    WYSLEEP_InTeRnAl(kAttachPauseMs);
  }
  EvEvent event;
  event << name << result.AsString();
  setError(tknas::kErrAttachMediaAgent, event);
  return result;
}

// ---- one exchange ----------------------------------------------------------

// Sends the request and receives its reply; false with the error set on a
// transport failure, a reply's own error or no reply.
template <class Reply>
bool NasClientConfigInterface::exchange(CZqNetwork& connection, bool tarnkeep, uint32_t request, void* body,
                                        int length, uint32_t replyType, Reply& reply) {
  // The peer is named as it was before a failure aborted the connection.
  const std::string peer = connection.GetPeerName();
  CWyError error = UtilSendMessage(connection, request, body, length);
  int received = 0;
  if (!error.IsError())
    error = UtilReceiveMessage(connection, replyType, &reply, sizeof reply, kNasReplyTimeout, &received);
  if (error.IsError()) {
    EvEvent event;
    event << peer << error.AsString();
    setError(tarnkeep ? tknas::kErrTransportTarnkeep : tknas::kErrTransportMediaAgent, event);
    return false;
  }
  if (takeReplyError(reply)) return false;
  if (received == 0) {
    EvEvent event;
    event << peer;
    setError(tarnkeep ? tknas::kErrNoReplyTarnkeep : tknas::kErrNoReplyMediaAgent, event);
    return false;
  }
  return true;
}

// ---- lists -----------------------------------------------------------------

template <class Item, class Entry, class Fill>
bool NasClientConfigInterface::getList(uint32_t request, uint32_t replyType, std::unique_ptr<Item[]>& stored,
                                       int& storedCount, Item*& list, int& count, Fill fill) {
  bool result = true;
  list = nullptr;
  count = 0;
  ncwList<Entry> reply{};
  stored.reset();
  storedCount = 0;
  if (attachTarnkeeper().IsError()) return false;
  if (!exchange(*tarnkeepConnection, true, request, nullptr, 0, replyType, reply)) {
    result = false;
  } else if (reply.count != 0 && reply.entries != nullptr) {
    stored.reset(new (std::nothrow) Item[reply.count]);
    if (stored == nullptr) {
      setPlainError(tknas::kErrNoMemory);
      result = false;
    } else {
      storedCount = static_cast<int>(reply.count);
      for (uint32_t i = 0; i < reply.count; ++i) {
        fill(stored[i], reply.entries[i]);
        if (stored[i].GetName() == nullptr) {
          setPlainError(tknas::kErrNoMemory);
          result = false;
          break;
        }
      }
    }
  }
  list = stored.get();
  count = storedCount;
  UtilFreeMessage(*tarnkeepConnection, replyType, &reply, sizeof reply);
  return result;
}

bool NasClientConfigInterface::GetNasMediaAgentList(NasMediaAgentItem*& list, int& count) {
  return getList<NasMediaAgentItem, ncwNasMediaAgentEntry>(
      tknas::kGetMediaAgents, tknas::kMediaAgentList, mediaAgents, mediaAgentCount, list, count,
      [](NasMediaAgentItem& item, const ncwNasMediaAgentEntry& entry) {
        item.SetId(entry.id);
        item.SetName(orEmpty(entry.name));
        item.SetHostname(orEmpty(entry.hostName));
      });
}

bool NasClientConfigInterface::GetStoragePolicyList(StoragePolicyItem*& list, int& count) {
  return getList<StoragePolicyItem, ncwStoragePolicyEntry>(
      tknas::kGetStoragePolicies, tknas::kStoragePolicyList, storagePolicies, storagePolicyCount, list, count,
      [](StoragePolicyItem& item, const ncwStoragePolicyEntry& entry) {
        item.SetId(entry.id);
        item.SetType(entry.type);
        item.SetName(orEmpty(entry.name));
      });
}

bool NasClientConfigInterface::GetNasClientList(NasClientItem*& list, int& count) {
  return getList<NasClientItem, ncwNasClientEntry>(
      tknas::kGetNasClients, tknas::kNasClientList, nasClients, nasClientCount, list, count,
      [](NasClientItem& item, const ncwNasClientEntry& entry) {
        item.SetId(0);
        item.SetName(orEmpty(entry.name));
        item.SetProxyMediaAgent(orEmpty(entry.proxyMediaAgent));
        if (entry.flags & 1)
          item.SetDeleted();
        else
          item.SetNotDeleted();
      });
}

void NasClientConfigInterface::DeleteNasMediaAgentList() {
  mediaAgents.reset();
  mediaAgentCount = 0;
}

void NasClientConfigInterface::DeleteStoragePolicyList() {
  storagePolicies.reset();
  storagePolicyCount = 0;
}

void NasClientConfigInterface::DeleteNasClientList() {
  nasClients.reset();
  nasClientCount = 0;
}

// ---- changes ---------------------------------------------------------------

bool NasClientConfigInterface::ConfigureNasClient(const char* text1, const char* text2, const char* text3,
                                                  int number1, int number2, int number3, int& out) {
  ncwAddNasClientResponse tarnkeepReply{};
  ncwNasResponse mediaAgentReply{};
  if (text1 == nullptr || text2 == nullptr || number2 < 0 || number3 < 0) {
    setPlainError(tknas::kErrInvalidArguments);
    return false;
  }
  out = 0;
  if (attachTarnkeeper().IsError() || attachMediaAgent(text1).IsError()) return false;
  bool result = false;
  TextCopy copy1(text1), copy2(text2), copy3(text3);
  if (copy1.failed(text1) || copy2.failed(text2)) {
    setPlainError(tknas::kErrNoMemory);
  } else {
    ncwConfigureNasClientRequest request{};
    request.text1 = copy1.text;
    request.text2 = copy2.text;
    request.text3 = copy3.text;
    request.number1 = number1;
    request.number2 = number2;
    request.number3 = number3;
    result = exchange(*tarnkeepConnection, true, tknas::kConfigureAtTarnkeep, &request, sizeof request,
                      tknas::kConfigureAtTarnkeepReply, tarnkeepReply) &&
             exchange(*mediaAgentConnection, false, tknas::kConfigureAtMediaAgent, &request, sizeof request,
                      tknas::kConfigureAtMediaAgentReply, mediaAgentReply);
  }
  UtilFreeMessage(*tarnkeepConnection, tknas::kConfigureAtTarnkeepReply, &tarnkeepReply, sizeof tarnkeepReply);
  UtilFreeMessage(*mediaAgentConnection, tknas::kConfigureAtMediaAgentReply, &mediaAgentReply,
                  sizeof mediaAgentReply);
  return result;
}

bool NasClientConfigInterface::RemoveNasClient(int /*clientId*/, const char* clientName,
                                               const char* /*proxyMediaAgent*/) {
  if (clientName == nullptr) {
    setPlainError(tknas::kErrInvalidArguments);
    return false;
  }
  if (attachTarnkeeper().IsError()) return false;
  TextCopy name(clientName);
  if (name.failed(clientName)) {
    setPlainError(tknas::kErrNoMemory);
    return false;
  }
  ncwRemoveNasClientRequest request{};
  request.clientName = name.text;
  ncwNasResponse reply{};
  const bool result = exchange(*tarnkeepConnection, true, tknas::kRemoveNasClient, &request, sizeof request,
                               tknas::kRemoveNasClientReply, reply);
  UtilFreeMessage(*tarnkeepConnection, tknas::kRemoveNasClientReply, &reply, sizeof reply);
  return result;
}

bool NasClientConfigInterface::UndeleteNasClient(int /*clientId*/, const char* clientName,
                                                 const char* proxyMediaAgent) {
  if (clientName == nullptr) {
    setPlainError(tknas::kErrInvalidArguments);
    return false;
  }
  if (attachTarnkeeper().IsError()) return false;
  TextCopy proxy(proxyMediaAgent);
  TextCopy name(clientName);
  if (proxyMediaAgent == nullptr || proxy.failed(proxyMediaAgent) || name.failed(clientName)) {
    setPlainError(tknas::kErrNoMemory);
    return false;
  }
  ncwUndeleteNasClientRequest request{};
  request.proxyMediaAgent = proxy.text;
  request.clientName = name.text;
  ncwNasResponse reply{};
  const bool result = exchange(*tarnkeepConnection, true, tknas::kUndeleteNasClient, &request, sizeof request,
                               tknas::kUndeleteNasClientReply, reply);
  UtilFreeMessage(*tarnkeepConnection, tknas::kUndeleteNasClientReply, &reply, sizeof reply);
  return result;
}
