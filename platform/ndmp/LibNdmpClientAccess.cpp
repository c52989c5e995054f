// NDMP filer access over the in-memory filers (platform/ndmp/NdmpFilers.h).
#include "platform/ndmp/LibNdmpClientAccess.h"

#include <utility>

#include "platform/ndmp/NdmpFilers.h"

namespace {

std::string textOf(const char* text) { return text != nullptr ? std::string(text) : std::string(); }

}  // namespace

LibNdmpClientAccess::LibNdmpClientAccess(int) {}

LibNdmpClientAccess::~LibNdmpClientAccess() {
  if (m_loggedIn) LogOffFiler();
}

void LibNdmpClientAccess::setFilerClientname(const char* name) { m_clientName = textOf(name); }
void LibNdmpClientAccess::setFilerHostname(const char* host) { m_host = textOf(host); }
void LibNdmpClientAccess::setLogin(const char* login) { m_login = textOf(login); }
void LibNdmpClientAccess::setEncryptedPassword(const char* password) { m_password = textOf(password); }
void LibNdmpClientAccess::setPort(int port) { m_port = port; }

bool LibNdmpClientAccess::fail(int code, std::string text) {
  m_lastCode = code;
  m_lastText = std::move(text);
  return false;
}

bool LibNdmpClientAccess::begin(const char* call, std::vector<std::string> arguments) {
  if (tkjournal::recording()) {
    arguments.insert(arguments.begin(), m_host);
    tkndmp::journal().record(call, std::move(arguments));
  }
  m_lastCode = 0;
  m_lastText.clear();
  tkjournal::Failure failure;
  if (tkndmp::journal().takeFailure(call, failure))
    return fail(failure.code != 0 ? failure.code : tkndmp::kErrorFiler, failure.text);
  return true;
}

bool LibNdmpClientAccess::LoginToFiler() {
  m_connected = m_authenticated = m_loggedIn = false;
  // The password is never journaled; the texts are made only while journals record.
  const bool recording = tkjournal::recording();
  if (!begin("LoginToFiler", recording ? tkjournal::args(m_clientName, m_login, m_port) : std::vector<std::string>{}))
    return false;
  bool known = false;
  tkndmp::withFiler(m_host, [&](tkndmp::Filer& filer) {
    known = true;
    if (!filer.reachable) {
      fail(filer.lastErrorCode != 0 ? filer.lastErrorCode : tkndmp::kErrorNoConnection,
           filer.lastErrorText.empty() ? "The filer [" + m_host + "] does not answer." : filer.lastErrorText);
      return;
    }
    m_connected = true;
    if (filer.login != m_login || filer.encryptedPassword != m_password) {
      fail(tkndmp::kErrorNotAuthenticated, "The filer [" + m_host + "] refused the login [" + m_login + "].");
      return;
    }
    m_authenticated = true;
    if (filer.sessionsLeft == 0) {
      fail(tkndmp::kErrorNotLoggedIn, "The filer [" + m_host + "] accepted the login [" + m_login +
                                          "] but refused a session.");
      return;
    }
    if (filer.sessionsLeft > 0) --filer.sessionsLeft;
    m_loggedIn = true;
    ++filer.loginCount;
  });
  if (!known) return fail(tkndmp::kErrorNoConnection, "The filer [" + m_host + "] does not answer.");
  return m_loggedIn;
}

void LibNdmpClientAccess::LogOffFiler() {
  tkndmp::journal().record("LogOffFiler", m_host);
  m_loggedIn = false;
}

bool LibNdmpClientAccess::getOsType(int& osType) {
  if (!begin("getOsType", {})) return false;
  // The server information is exchanged on connecting, before the login
  // is authenticated.
  if (!m_connected) return fail(tkndmp::kErrorNotLoggedIn, "Not connected to the filer [" + m_host + "].");
  int type = 0;
  if (!tkndmp::withFiler(m_host, [&](tkndmp::Filer& filer) { type = filer.osType; }))
    return fail(tkndmp::kErrorNoConnection, "The filer [" + m_host + "] does not answer.");
  osType = type;
  return true;
}

bool LibNdmpClientAccess::getOsVersion(std::string& version) {
  if (!begin("getOsVersion", {})) return false;
  if (!m_loggedIn) return fail(tkndmp::kErrorNotLoggedIn, "Not logged in to the filer [" + m_host + "].");
  std::string text;
  if (!tkndmp::withFiler(m_host, [&](tkndmp::Filer& filer) { text = filer.osVersion; }))
    return fail(tkndmp::kErrorNoConnection, "The filer [" + m_host + "] does not answer.");
  if (text.empty()) return fail(tkndmp::kErrorFiler, "The filer [" + m_host + "] gave no OS version.");
  version = text;
  return true;
}

bool LibNdmpClientAccess::configGetMountPointList(std::vector<LncaMountPointInfo>& mountPoints) {
  if (!begin("configGetMountPointList", {})) return false;
  if (!m_loggedIn) return fail(tkndmp::kErrorNotLoggedIn, "Not logged in to the filer [" + m_host + "].");
  std::vector<LncaMountPointInfo> points;
  if (!tkndmp::withFiler(m_host, [&](tkndmp::Filer& filer) { points = filer.mountPoints; }))
    return fail(tkndmp::kErrorNoConnection, "The filer [" + m_host + "] does not answer.");
  mountPoints = std::move(points);
  return true;
}

void LibNdmpClientAccess::detectCapabilityFlags(unsigned int& flags, int osType, const char* firmware) {
  tkndmp::journal().record("detectCapabilityFlags", m_host, flags, osType, firmware);
  if (!m_loggedIn) return;
  tkndmp::withFiler(m_host, [&](tkndmp::Filer& filer) { flags |= filer.capabilityFlags; });
}

int LibNdmpClientAccess::getLastError(const char*& text) const {
  text = m_lastText.c_str();
  return m_lastCode;
}
