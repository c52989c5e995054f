// The in-process NAS-client services (see NasClientServices.h): each
// request is decoded with the protocol's XDR table, answered from the
// central database on the serving thread's own connection, and the reply
// encoded the same way. Scripted answers and the media agents' taken
// configurations are kept under one mutex.
#include "platform/nasclient/NasClientServices.h"

#include <functional>
#include <map>
#include <mutex>
#include <optional>

#include "platform/client/ZQClient.h"
#include "platform/client/ZQPlatformInfo.h"
#include "platform/db/DBSession.h"
#include "platform/db/DBtable.h"
#include "platform/nasclient/NasClientMessages.h"
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
  std::vector<MediaAgentConfiguration> configurations;
  std::map<uint32_t, ScriptedError> errors;
};

[[maybe_unused]] const bool kNasClientSchema = [] {
  tkdb::registerSchema("NasClient",
                       "CREATE TABLE IF NOT EXISTS \"NasClient\" ("
                       "\"id\" INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "\"name\" TEXT COLLATE NOCASE NOT NULL UNIQUE, "
                       "\"proxyMediaAgent\" TEXT NOT NULL DEFAULT '', "
                       "\"deleted\" INTEGER NOT NULL DEFAULT 0)");
  return true;
}();

// Media agents the consoles may see: hidden ones (attribute bit 0x2000) are
// left out.
constexpr const char* kMediaAgentsSql =
    "SELECT C.\"name\", C.\"net_hostname\", C.\"id\" FROM \"MMHost\" H JOIN \"APP_Client\" C "
    "ON C.\"id\" = H.\"ClientId\" WHERE (H.\"Attribute\" & 8192) = 0 ORDER BY C.\"id\"";
constexpr const char* kStoragePoliciesSql = "SELECT \"name\", \"id\", \"type\" FROM \"archGroup\" ORDER BY \"id\"";
constexpr const char* kNasClientsSql =
    "SELECT \"name\", \"proxyMediaAgent\", \"deleted\" FROM \"NasClient\" ORDER BY \"id\"";

int32_t numberOf(const tkdb::DbValue& value) { return static_cast<int32_t>(value.i); }

// The rows of one of the tables above; false with the refusal the service
// answers when the database cannot be read.
bool readRows(const char* sql, tkdb::DbRows& rows, ScriptedError& refusal) {
  tkdb::Session session;
  if (session.query(sql, {}, rows) == DB_OK) return true;
  refusal = {kServiceError, "The central database could not be read: " + session.errorText()};
  return false;
}

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

// A list reply: a scripted error, the database's refusal, or every row of
// `sql` as an entry.
template <class Entry, class Fill>
tknetwork::LibraryReply answerList(uint32_t replyType, const char* sql, Fill fill) {
  ncwList<Entry> body;
  ScriptedError error;
  tkdb::DbRows rows;
  bool scripted = false;
  {
    std::lock_guard<std::mutex> lock(state().mutex);
    scripted = takeError(state(), replyType, error);
  }
  if (scripted || !readRows(sql, rows, error)) {
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

// Adds a NAS-client row; the refusal when the name is taken or the row
// cannot be written.
ScriptedError addClientRow(const std::string& name, const std::string& proxy) {
  tkdb::Session session;
  tkdb::DbRow row;
  ScriptedError refusal;
  const int rc = session.atomically([&]() -> int {
    const int found = session.queryOne("SELECT 1 FROM \"NasClient\" WHERE \"name\" = ?", {name}, row);
    if (found == DB_OK) {
      refusal = {kServiceError, "NAS client [" + name + "] exists."};
      return found;
    }
    if (found != DB_NO_ROW) return found;
    return session.exec("INSERT INTO \"NasClient\" (\"name\", \"proxyMediaAgent\") VALUES (?, ?)", {name, proxy});
  });
  if (rc != DB_OK && refusal.code == 0)
    refusal = {kServiceError, "NAS client [" + name + "] could not be stored: " + session.errorText()};
  return refusal;
}

// Sets or clears the deleted mark of a NAS client.
ScriptedError markClientRow(const std::string& name, bool deleted) {
  tkdb::Session session;
  const int rc = session.exec("UPDATE \"NasClient\" SET \"deleted\" = ? WHERE \"name\" = ?", {deleted ? 1 : 0, name});
  if (rc != DB_OK) return {kServiceError, "NAS client [" + name + "] could not be changed: " + session.errorText()};
  if (session.changes() == 0) return {kServiceError, "NAS client [" + name + "] is not known."};
  return {};
}

tknetwork::LibraryReply serveTarnkeep(uint32_t type, const tknetwork::Bytes& bytes) {
  tkjournal::OutsideSweep service;  // the central server's process, not this one
  const uint32_t replyType = type + 0x100 - (type & 0xFF);
  ScriptedError error;
  auto scripted = [&] {
    std::lock_guard<std::mutex> lock(state().mutex);
    return takeError(state(), replyType, error);
  };
  switch (type) {
    case tknas::kGetMediaAgents:
      return answerList<ncwNasMediaAgentEntry>(replyType, kMediaAgentsSql, [](tkdb::DbRow& r, auto& e) {
        e.name = text(r[0].s);
        e.hostName = text(r[1].s);
        e.id = numberOf(r[2]);
      });
    case tknas::kGetStoragePolicies:
      return answerList<ncwStoragePolicyEntry>(replyType, kStoragePoliciesSql, [](tkdb::DbRow& r, auto& e) {
        e.name = text(r[0].s);
        e.id = numberOf(r[1]);
        e.type = numberOf(r[2]);
      });
    case tknas::kGetNasClients:
      return answerList<ncwNasClientEntry>(replyType, kNasClientsSql, [](tkdb::DbRow& r, auto& e) {
        e.name = text(r[0].s);
        e.proxyMediaAgent = text(r[1].s);
        e.flags = r[2].i != 0 ? 1 : 0;
      });
    case tknas::kConfigureAtTarnkeep: {
      Request<ncwConfigureNasClientRequest> request(type, bytes);
      if (scripted()) return answerChange(replyType, error);
      if (!request.ok || request.body.text2 == nullptr)
        return answerChange(replyType, {kServiceError, "The request could not be read."});
      return answerChange(replyType, addClientRow(request.body.text2, owned(request.body.text1)));
    }
    case tknas::kRemoveNasClient:
    case tknas::kUndeleteNasClient: {
      const bool remove = type == tknas::kRemoveNasClient;
      if (scripted()) return answerChange(replyType, error);
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
      if (!ok) return answerChange(replyType, {kServiceError, "The request could not be read."});
      return answerChange(replyType, markClientRow(name, remove));
    }
    default:
      return tknetwork::LibraryReply{replyType, {}};
  }
}

tknetwork::LibraryReply serveMediaAgent(const std::string& host, uint32_t type, const tknetwork::Bytes& bytes) {
  tkjournal::OutsideSweep service;  // the media agent's process, not this one
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

namespace {

// Whether the host services are in place; resetServices() forgets it, as the
// tests that reset the services take the libraries away with them.
struct HostServices {
  std::mutex mutex;
  bool installed = false;
};

HostServices& hostServices() {
  static HostServices h;
  return h;
}

void installHostServicesNow() {
  ZQPlatformInfo info;
  char host[256] = {};
  if (info.getTarnkeeperHostName(host, sizeof host) != 0 || host[0] == '\0') return;
  installTarnkeepService(host);
  std::string networkHost;
  {
    ZQClient client(host, true, 0);
    client.getNetworkHostnameMangled(networkHost, nullptr);
  }
  if (!networkHost.empty()) installTarnkeepService(networkHost);
  tknetwork::addLibraryOnEveryHost(kMediaAgentLibrary, [](const std::string& agentHost) {
    return tknetwork::LibraryService(
        [agentHost](uint32_t type, const tknetwork::Bytes& bytes) { return serveMediaAgent(agentHost, type, bytes); });
  });
}

}  // namespace

void installHostServices() {
  HostServices& h = hostServices();
  std::lock_guard<std::mutex> lock(h.mutex);
  if (h.installed) return;
  installHostServicesNow();  // a throw leaves it to the next call, as before
  h.installed = true;
}

void installMediaAgentService(const std::string& host) {
  tknetwork::addLibrary(host, kMediaAgentLibrary,
                        [host](uint32_t type, const tknetwork::Bytes& bytes) { return serveMediaAgent(host, type, bytes); });
}

namespace {

// Runs the statements of a test table change in one transaction.
void replaceRows(const std::function<int(tkdb::Session&)>& work) {
  tkdb::Session session;
  session.atomically([&] { return work(session); });
}

}  // namespace

void setMediaAgents(std::vector<MediaAgentRow> rows) {
  replaceRows([&](tkdb::Session& s) {
    int rc = s.exec("DELETE FROM \"MMHost\"");
    for (const MediaAgentRow& row : rows) {
      if (rc == DB_OK)
        rc = s.exec("INSERT OR REPLACE INTO \"APP_Client\" (\"id\", \"name\", \"net_hostname\") VALUES (?, ?, ?)",
                    {row.id, row.name, row.host});
      if (rc == DB_OK) rc = s.exec("INSERT INTO \"MMHost\" (\"ClientId\") VALUES (?)", {row.id});
    }
    return rc;
  });
}
void setStoragePolicies(std::vector<StoragePolicyRow> rows) {
  replaceRows([&](tkdb::Session& s) {
    int rc = s.exec("DELETE FROM \"archGroup\"");
    for (const StoragePolicyRow& row : rows)
      if (rc == DB_OK)
        rc = s.exec("INSERT INTO \"archGroup\" (\"id\", \"name\", \"type\") VALUES (?, ?, ?)",
                    {row.id, row.name, row.type});
    return rc;
  });
}
void setNasClients(std::vector<NasClientRow> rows) {
  replaceRows([&](tkdb::Session& s) {
    int rc = s.exec("DELETE FROM \"NasClient\"");
    for (const NasClientRow& row : rows)
      if (rc == DB_OK)
        rc = s.exec("INSERT INTO \"NasClient\" (\"name\", \"proxyMediaAgent\", \"deleted\") VALUES (?, ?, ?)",
                    {row.name, row.proxyMediaAgent, row.deleted ? 1 : 0});
    return rc;
  });
}
std::vector<NasClientRow> nasClients() {
  tkdb::DbRows rows;
  ScriptedError ignored;
  std::vector<NasClientRow> out;
  if (!readRows(kNasClientsSql, rows, ignored)) return out;
  for (const tkdb::DbRow& r : rows) out.push_back({tkdb::textOf(r[0]), tkdb::textOf(r[1]), r[2].i != 0});
  return out;
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
  {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.configurations.clear();
    s.errors.clear();
  }
  HostServices& h = hostServices();
  std::lock_guard<std::mutex> lock(h.mutex);
  h.installed = false;
}

}  // namespace tknasclient
