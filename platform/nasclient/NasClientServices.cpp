// The in-process NAS-client services (see NasClientServices.h): each
// request is decoded with the protocol's XDR table, answered from the
// tables under one mutex, and the reply encoded the same way.
#include "platform/nasclient/NasClientServices.h"

#include <map>
#include <mutex>
#include <optional>

#include "nas/NasClientMessages.h"
#include "platform/nasclient/NasClientXdr.h"
#include "platform/network/RemoteLibraries.h"

namespace tknasclient {
namespace {

struct ScriptedError {
  uint32_t code = 0;
  std::optional<std::string> text;
};

struct State {
  std::mutex mutex;
  std::vector<MediaAgentRow> mediaAgents;
  std::vector<StoragePolicyRow> policies;
  std::vector<NasClientRow> clients;
  std::vector<MediaAgentConfiguration> configurations;
  std::map<uint32_t, ScriptedError> errors;
};

State& state() {
  static State s;
  return s;
}

char* text(const std::string& value) { return const_cast<char*>(value.c_str()); }
char* text(const std::optional<std::string>& value) { return value ? text(*value) : nullptr; }
std::string owned(const char* value) { return value != nullptr ? value : ""; }

template <class Body>
tknetwork::LibraryReply reply(uint32_t type, Body& body) {
  tknetwork::LibraryReply out;
  out.type = type;
  std::string error;
  tknasclient::encodeBody(type, &body, sizeof body, out.bytes, error);
  return out;
}

// A decoded request, released when it goes.
template <class Body>
struct Request {
  Body body{};
  uint32_t type;
  bool ok;
  Request(uint32_t t, const tknetwork::Bytes& bytes) : type(t) {
    std::string error;
    ok = decodeBody(type, bytes.data(), bytes.size(), &body, sizeof body, error);
  }
  ~Request() { freeBody(type, &body); }
  Request(const Request&) = delete;
  Request& operator=(const Request&) = delete;
};

// Takes the scripted error of the reply type; the caller holds the mutex.
bool takeError(State& s, uint32_t replyType, ScriptedError& error) {
  auto it = s.errors.find(replyType);
  if (it == s.errors.end()) return false;
  error = it->second;
  s.errors.erase(it);
  return true;
}

// The reply of a change: success, a scripted error, or the refusal.
tknetwork::LibraryReply answerChange(uint32_t replyType, const ScriptedError& error) {
  if (replyType == tknas::kConfigureAtTarnkeepReply) {
    ncwAddNasClientResponse body;
    body.errorCode = error.code;
    body.errorText = text(error.text);
    return reply(replyType, body);
  }
  ncwNasResponse body;
  body.errorCode = error.code;
  body.errorText = text(error.text);
  return reply(replyType, body);
}

template <class Entry, class Row, class Fill>
tknetwork::LibraryReply answerList(uint32_t replyType, const std::vector<Row>& rows, Fill fill) {
  State& s = state();
  ncwList<Entry> body;
  ScriptedError error;
  if (takeError(s, replyType, error)) {
    body.errorCode = error.code;
    body.errorText = text(error.text);
    return reply(replyType, body);
  }
  std::vector<Entry> entries(rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) fill(rows[i], entries[i]);
  body.count = static_cast<uint32_t>(entries.size());
  body.entries = entries.empty() ? nullptr : entries.data();
  return reply(replyType, body);
}

NasClientRow* findClient(State& s, const char* name) {
  if (name == nullptr) return nullptr;
  for (NasClientRow& row : s.clients)
    if (row.name == name) return &row;
  return nullptr;
}

tknetwork::LibraryReply serveTarnkeep(uint32_t type, const tknetwork::Bytes& bytes) {
  State& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  const uint32_t replyType = type + 0x100 - (type & 0xFF);
  ScriptedError error;
  switch (type) {
    case tknas::kGetMediaAgents:
      return answerList<ncwNasMediaAgentEntry>(replyType, s.mediaAgents, [](const MediaAgentRow& r, auto& e) {
        e.name = text(r.name);
        e.hostName = text(r.host);
        e.id = r.id;
      });
    case tknas::kGetStoragePolicies:
      return answerList<ncwStoragePolicyEntry>(replyType, s.policies, [](const StoragePolicyRow& r, auto& e) {
        e.name = text(r.name);
        e.id = r.id;
        e.type = r.type;
      });
    case tknas::kGetNasClients:
      return answerList<ncwNasClientEntry>(replyType, s.clients, [](const NasClientRow& r, auto& e) {
        e.name = text(r.name);
        e.proxyMediaAgent = text(r.proxyMediaAgent);
        e.flags = r.deleted ? 1 : 0;
      });
    case tknas::kConfigureAtTarnkeep: {
      Request<ncwConfigureNasClientRequest> request(type, bytes);
      if (takeError(s, replyType, error)) return answerChange(replyType, error);
      if (!request.ok || request.body.text2 == nullptr)
        return answerChange(replyType, {kServiceError, "The request could not be read."});
      if (findClient(s, request.body.text2) != nullptr)
        return answerChange(replyType, {kServiceError, "NAS client [" + owned(request.body.text2) + "] exists."});
      s.clients.push_back({request.body.text2, owned(request.body.text1), false});
      return answerChange(replyType, {});
    }
    case tknas::kRemoveNasClient:
    case tknas::kUndeleteNasClient: {
      const bool remove = type == tknas::kRemoveNasClient;
      if (takeError(s, replyType, error)) return answerChange(replyType, error);
      std::string name;
      bool ok = false;
      if (remove) {
        Request<ncwRemoveNasClientRequest> request(type, bytes);
        ok = request.ok;
        name = owned(request.body.clientName);
      } else {
        Request<ncwUndeleteNasClientRequest> request(type, bytes);
        ok = request.ok;
        name = owned(request.body.clientName);
      }
      NasClientRow* row = ok ? findClient(s, name.c_str()) : nullptr;
      if (row == nullptr) return answerChange(replyType, {kServiceError, "NAS client [" + name + "] is not known."});
      row->deleted = remove;
      return answerChange(replyType, {});
    }
    default:
      return tknetwork::LibraryReply{replyType, {}};
  }
}

tknetwork::LibraryReply serveMediaAgent(const std::string& host, uint32_t type, const tknetwork::Bytes& bytes) {
  State& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  const uint32_t replyType = type + 0x100 - (type & 0xFF);
  if (type != tknas::kConfigureAtMediaAgent) return tknetwork::LibraryReply{replyType, {}};
  ScriptedError error;
  if (takeError(s, replyType, error)) return answerChange(replyType, error);
  Request<ncwConfigureNasClientRequest> request(type, bytes);
  if (!request.ok) return answerChange(replyType, {kServiceError, "The request could not be read."});
  const ncwConfigureNasClientRequest& r = request.body;
  s.configurations.push_back({host, owned(r.text1), owned(r.text2), owned(r.text3), r.text3 != nullptr, r.number1,
                              r.number2, r.number3});
  return answerChange(replyType, {});
}

}  // namespace

void installTarnkeepService(const std::string& host) {
  tknetwork::addLibrary(host, kTarnkeepLibrary, serveTarnkeep);
}

void installMediaAgentService(const std::string& host) {
  tknetwork::addLibrary(host, kMediaAgentLibrary,
                        [host](uint32_t type, const tknetwork::Bytes& bytes) { return serveMediaAgent(host, type, bytes); });
}

void setMediaAgents(std::vector<MediaAgentRow> rows) {
  std::lock_guard<std::mutex> lock(state().mutex);
  state().mediaAgents = std::move(rows);
}
void setStoragePolicies(std::vector<StoragePolicyRow> rows) {
  std::lock_guard<std::mutex> lock(state().mutex);
  state().policies = std::move(rows);
}
void setNasClients(std::vector<NasClientRow> rows) {
  std::lock_guard<std::mutex> lock(state().mutex);
  state().clients = std::move(rows);
}
std::vector<NasClientRow> nasClients() {
  std::lock_guard<std::mutex> lock(state().mutex);
  return state().clients;
}
std::vector<MediaAgentConfiguration> mediaAgentConfigurations() {
  std::lock_guard<std::mutex> lock(state().mutex);
  return state().configurations;
}

void answerError(uint32_t replyType, uint32_t code, const char* errorText) {
  std::lock_guard<std::mutex> lock(state().mutex);
  ScriptedError error;
  error.code = code;
  if (errorText != nullptr) error.text = errorText;
  state().errors[replyType] = error;
}

void resetServices() {
  State& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.mediaAgents.clear();
  s.policies.clear();
  s.clients.clear();
  s.configurations.clear();
  s.errors.clear();
}

}  // namespace tknasclient
