#include "platform/adapters/Adapters.h"

#include <map>
#include <mutex>
#include <tuple>

#include "frame/AppAdapters.h"
#include "platform/db/DBSession.h"
#include "platform/db/DBtable.h"

namespace tkadapters {
namespace {

struct State {
  std::mutex mutex;
  std::map<unsigned long, std::string> installDirs;
  std::map<int, std::string> credentialNames;
  std::map<int, std::tuple<int, int, int>> associations;
  std::map<unsigned long, std::string> xmlResponses;
};

State& state() {
  static State s;
  return s;
}

}  // namespace

void setInstallDirectory(unsigned long clientId, const std::string& directory) {
  std::lock_guard<std::mutex> guard(state().mutex);
  state().installDirs[clientId] = directory;
}

void setCredentialName(int credentialId, const std::string& name) {
  std::lock_guard<std::mutex> guard(state().mutex);
  state().credentialNames[credentialId] = name;
}

void setCredentialAssociation(int assocId, int credentialId, int entityType, int entityId) {
  std::lock_guard<std::mutex> guard(state().mutex);
  state().associations[assocId] = std::make_tuple(credentialId, entityType, entityId);
}

void setXmlResponse(unsigned long classHash, const std::string& response) {
  std::lock_guard<std::mutex> guard(state().mutex);
  state().xmlResponses[classHash] = response;
}

tkjournal::Journal& journal() {
  static tkjournal::Journal j;
  return j;
}

void reset() {
  {
    std::lock_guard<std::mutex> guard(state().mutex);
    state().installDirs.clear();
    state().credentialNames.clear();
    state().associations.clear();
    state().xmlResponses.clear();
  }
  journal().reset();
  tktran::journal().reset();
}

}  // namespace tkadapters

namespace {

bool failed(const char* call, std::string* errorText, int& code) {
  tkjournal::Failure failure;
  if (!tkadapters::journal().takeFailure(call, failure)) return false;
  if (errorText != nullptr) *errorText = failure.text;
  code = failure.code != 0 ? failure.code : -1;
  return true;
}

}  // namespace

AdaptersInterface* AdaptersBase::getAdaptersInterface() { return nullptr; }

std::string AdaptersBase::getErrorString() { return m_errorString; }

int AdaptersBase::getActiveApplicationInfo(unsigned long clientId, const std::string& applicationName,
                                           unsigned long& applicationId, unsigned long& instanceId,
                                           std::string& version, void*) {
  tkadapters::journal().record("getActiveApplicationInfo", clientId, applicationName);
  int code = 0;
  if (failed("getActiveApplicationInfo", &m_errorString, code)) return code;
  applicationId = 0;
  instanceId = 0;
  version.clear();
  return 0;
}

int AdaptersInterfaceDB::getPlatformInfo(unsigned long& clientId, unsigned long& kind, std::string& info, long& time,
                                         void*) {
  tkadapters::journal().record("getPlatformInfo", clientId, kind, time);
  int code = 0;
  if (failed("getPlatformInfo", &m_text, code)) return code;
  if (kind != 2) return -1;
  {
    std::lock_guard<std::mutex> guard(tkadapters::state().mutex);
    auto it = tkadapters::state().installDirs.find(clientId);
    if (it != tkadapters::state().installDirs.end()) {
      info = it->second;
      return 0;
    }
  }
  // Otherwise what the client reported when it was installed.
  tkdb::Session session(nullptr);
  tkdb::DbRow row;
  const int read = session.queryOne("SELECT \"installDirectory\" FROM \"APP_Client\" WHERE \"id\" = ?",
                                    {static_cast<long long>(clientId)}, row);
  if (read != DB_OK || row.empty() || row.front().isNull()) {
    m_text = "no installation directory known for client " + std::to_string(clientId);
    return -1;
  }
  info = row.front().s;
  return 0;
}

int CredentialMgrHelper::getCredentialNameForId(int credentialId, std::string& name, void*) {
  tkadapters::journal().record("getCredentialNameForId", credentialId);
  name.clear();
  int code = 0;
  if (failed("getCredentialNameForId", &m_errorString, code)) return code;
  std::lock_guard<std::mutex> guard(tkadapters::state().mutex);
  auto it = tkadapters::state().credentialNames.find(credentialId);
  if (it == tkadapters::state().credentialNames.end()) {
    m_errorString = "no credential with id " + std::to_string(credentialId);
    return -1;
  }
  name = it->second;
  return 0;
}

int CredentialMgrHelper::getCredentialIdFromAssocIdForEntity(int assocId, int& credentialId, int& entityType,
                                                             int& entityId, void*) {
  tkadapters::journal().record("getCredentialIdFromAssocIdForEntity", assocId);
  int code = 0;
  if (failed("getCredentialIdFromAssocIdForEntity", &m_errorString, code)) return code;
  std::lock_guard<std::mutex> guard(tkadapters::state().mutex);
  auto it = tkadapters::state().associations.find(assocId);
  if (it == tkadapters::state().associations.end()) {
    m_errorString = "no credential association with id " + std::to_string(assocId);
    return -1;
  }
  std::tie(credentialId, entityType, entityId) = it->second;
  return 0;
}

int XMLHandler::handleXMLReq(unsigned long value, unsigned long classHash, std::string& text, std::string& error,
                             std::string further, unsigned long flags) {
  tkadapters::journal().record("handleXMLReq", value, classHash, text, further, flags);
  int code = 0;
  if (failed("handleXMLReq", &error, code)) {
    m_errorString = error;
    return code;
  }
  std::lock_guard<std::mutex> guard(tkadapters::state().mutex);
  auto it = tkadapters::state().xmlResponses.find(classHash);
  if (it != tkadapters::state().xmlResponses.end()) text = it->second;
  return 0;
}

EvSocket::EvSocket(EvDebugFileInstance* instance) : m_instance(instance) {
  tkadapters::journal().record("EvSocket", instance != nullptr);
}

EvSocket::~EvSocket() = default;
