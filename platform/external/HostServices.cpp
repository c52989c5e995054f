// Bodies of EvExternal's host services.
#include "platform/external/HostServices.h"

#include <cstring>
#include <map>
#include <mutex>

#include "frame/EvExternal.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/external/Cipher.h"
#include "platform/security/Rights.h"
#include "platform/xml/CNMessageBase.h"

namespace tkhostsvc {
namespace {

struct State {
  std::mutex mutex;
  std::map<int, std::string> logins;
  bool autoRefresh = false;
  std::map<int, std::vector<int>> libraryAgents;
  std::vector<RefreshNotice> notices;
};

State& state() {
  static State s;
  return s;
}

std::string joinIds(const std::vector<int>& ids) {
  std::string out;
  for (size_t i = 0; i < ids.size(); ++i) {
    if (i != 0) out += ",";
    out += std::to_string(ids[i]);
  }
  return out;
}

}  // namespace

void setUserLogin(int userId, const std::string& login) {
  std::lock_guard<std::mutex> guard(state().mutex);
  state().logins[userId] = login;
}

void clearUserLogins() {
  std::lock_guard<std::mutex> guard(state().mutex);
  state().logins.clear();
}

void setAutoRefresh(bool on) {
  std::lock_guard<std::mutex> guard(state().mutex);
  state().autoRefresh = on;
}

void setLibraryMediaAgents(int libraryId, const std::vector<int>& mediaAgentIds) {
  std::lock_guard<std::mutex> guard(state().mutex);
  state().libraryAgents[libraryId] = mediaAgentIds;
}

void clearLibraryMediaAgents() {
  std::lock_guard<std::mutex> guard(state().mutex);
  state().libraryAgents.clear();
}

std::vector<RefreshNotice> refreshNotices() {
  std::lock_guard<std::mutex> guard(state().mutex);
  return state().notices;
}

void clearRefreshNotices() {
  std::lock_guard<std::mutex> guard(state().mutex);
  state().notices.clear();
}

tkjournal::Journal& journal() {
  static tkjournal::Journal j;
  return j;
}

void reset() {
  {
    std::lock_guard<std::mutex> guard(state().mutex);
    state().logins.clear();
    state().autoRefresh = false;
    state().libraryAgents.clear();
    state().notices.clear();
  }
  journal().reset();
}

}  // namespace tkhostsvc

int EvExternal::getUserLogin(int userId, char* login, int* size, DBtran*) {
  tkhostsvc::journal().record("getUserLogin", userId);
  const int capacity = size != nullptr ? *size : 1025;
  if (login == nullptr || capacity <= 0) return -1;
  login[0] = '\0';

  tkjournal::Failure failure;
  if (tkhostsvc::journal().takeFailure("getUserLogin", failure)) {
    EvDebug::Error("EvExternal::getUserLogin", "login of user [%d] not found: %s", userId, failure.text.c_str());
    return failure.code != 0 ? failure.code : -1;
  }
  std::string name;
  if (tksecurity::usesUsersTable()) {
    // The host's users are those of the users table.
    if (!tksecurity::tableLogin(userId, name)) return -1;
  } else {
    std::lock_guard<std::mutex> guard(tkhostsvc::state().mutex);
    auto it = tkhostsvc::state().logins.find(userId);
    if (it == tkhostsvc::state().logins.end()) return -1;
    name = it->second;
  }
  if (name.size() + 1 > static_cast<size_t>(capacity)) {
    EvDebug::Error("EvExternal::getUserLogin", "login of user [%d] does not fit %d bytes", userId, capacity);
    return -1;
  }
  std::memcpy(login, name.data(), name.size());
  login[name.size()] = '\0';
  if (size != nullptr) *size = static_cast<int>(name.size());
  return 0;
}

int EvExternal::decryptAndPrepForStorage(MessageInfo*, const void* value, int length, int mode, std::string& text,
                                         int*, int* size, char* buffer) {
  auto finish = [&](int result) {
    tkhostsvc::journal().record("decryptAndPrepForStorage", mode, length, result);
    return result;
  };
  tkjournal::Failure failure;
  if (tkhostsvc::journal().takeFailure("decryptAndPrepForStorage", failure)) return finish(0);
  if (value == nullptr || length < 0) return finish(0);

  std::string plain;
  if (!tkcipher::decrypt(std::string(static_cast<const char*>(value), static_cast<size_t>(length)), plain))
    return finish(0);

  switch (mode) {
    case 2:
    case 3:
      text = plain;
      return finish(1);
    case 1: {
      if (buffer == nullptr || size == nullptr || *size <= 0) return finish(0);
      if (plain.size() + 1 > static_cast<size_t>(*size) || plain.find('\0') != std::string::npos) return finish(0);
      std::memcpy(buffer, plain.data(), plain.size());
      buffer[plain.size()] = '\0';
      *size = static_cast<int>(plain.size());
      return finish(1);
    }
    default:
      return finish(0);
  }
}

int EvExternal::encryptForTransport(const std::string& plain, std::string& encrypted) {
  tkhostsvc::journal().record("encryptForTransport", static_cast<int>(plain.size()));
  tkjournal::Failure failure;
  if (tkhostsvc::journal().takeFailure("encryptForTransport", failure)) {
    encrypted.clear();
    return 0;
  }
  encrypted = tkcipher::encrypt(plain);
  return 1;
}

int EvExternal::sendAutoRefreshUpdateGUM(int libraryId, ZqEntities::EntityType entityType, unsigned int guiId,
                                         std::vector<int>* mediaAgentIds) {
  const std::vector<int> none;
  const std::vector<int>& ids = mediaAgentIds != nullptr ? *mediaAgentIds : none;
  if (tkjournal::recording()) {
    tkhostsvc::journal().record("sendAutoRefreshUpdateGUM", libraryId, static_cast<int>(entityType), guiId,
                                tkhostsvc::joinIds(ids));
  }
  tkjournal::Failure failure;
  if (tkhostsvc::journal().takeFailure("sendAutoRefreshUpdateGUM", failure)) return failure.code != 0 ? failure.code : -1;
  // The notices are kept only for the tests that read them.
  if (!tkjournal::recording()) return 0;
  std::lock_guard<std::mutex> guard(tkhostsvc::state().mutex);
  tkhostsvc::state().notices.push_back(tkhostsvc::RefreshNotice{libraryId, static_cast<int>(entityType), guiId, ids});
  return 0;
}

int EvExternal::getMAsforLibrary(int libraryId, std::vector<int>& mediaAgentIds) {
  tkhostsvc::journal().record("getMAsforLibrary", libraryId);
  tkjournal::Failure failure;
  if (tkhostsvc::journal().takeFailure("getMAsforLibrary", failure)) return failure.code != 0 ? failure.code : -1;
  std::lock_guard<std::mutex> guard(tkhostsvc::state().mutex);
  auto it = tkhostsvc::state().libraryAgents.find(libraryId);
  if (it != tkhostsvc::state().libraryAgents.end())
    mediaAgentIds.insert(mediaAgentIds.end(), it->second.begin(), it->second.end());
  return 0;
}

bool EvExternal::isAutoRefreshSet() {
  bool on;
  {
    std::lock_guard<std::mutex> guard(tkhostsvc::state().mutex);
    on = tkhostsvc::state().autoRefresh;
  }
  tkjournal::Failure failure;
  // A setting that cannot be read sends no notices.
  if (tkhostsvc::journal().takeFailure("isAutoRefreshSet", failure)) on = false;
  tkhostsvc::journal().record("isAutoRefreshSet", on);
  return on;
}

int EvExternal::preProcessXMLStringForPassword(MessageInfo* request, CNMessageBase& message, std::string& xml) {
  tkhostsvc::journal().record("preProcessXMLStringForPassword", xml.size());
  tkjournal::Failure failure;
  if (tkhostsvc::journal().takeFailure("preProcessXMLStringForPassword", failure)) {
    EvDebug::Error("EvExternal::preProcessXMLStringForPassword", "the request text was not read: %s",
                   failure.text.c_str());
    return failure.code != 0 ? failure.code : -1;
  }
  return tkxml::preProcessXMLStringForPassword(request, message, xml);
}
