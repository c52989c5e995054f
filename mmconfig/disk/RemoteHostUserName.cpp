// The stored form of a remote-host user name (see RemoteHostUserName.h).
#include "mmconfig/disk/RemoteHostUserName.h"

#include "platform/security/StoredPassword.h"

namespace tkmm {
namespace {

constexpr const char* kProxyMark = "!!";
constexpr std::size_t kProxyMarkSize = 2;

// What follows the last "@" behind the last "!!"; false when there is none.
bool proxyHostPart(const std::string& name, std::string& hostPart) {
  const std::size_t mark = name.rfind(kProxyMark);
  if (mark == std::string::npos) return false;
  const std::string proxy = name.substr(mark + kProxyMarkSize);
  const std::size_t at = proxy.rfind('@');
  if (at == std::string::npos) return false;
  hostPart = proxy.substr(at + 1);
  return true;
}

}  // namespace

bool namesProxy(const std::string& userName) {
  std::string hostPart;
  return proxyHostPart(userName, hostPart) && !hostPart.empty();
}

std::string proxyPasswordPart(const std::string& storedUserName) {
  std::string hostPart;
  if (!proxyHostPart(storedUserName, hostPart)) return std::string();
  const std::size_t colon = hostPart.rfind(':');
  if (colon == std::string::npos || colon == 0) return std::string();
  return hostPart.substr(colon);
}

bool carriesProxyPassword(const std::string& userName) {
  std::size_t at = 0, length = 0;
  return tkpassword::proxyPasswordSpan(userName, at, length);
}

std::string withoutProxyPassword(const std::string& userName) {
  std::size_t at = 0, length = 0;
  if (!tkpassword::proxyPasswordSpan(userName, at, length)) return userName;
  return userName.substr(0, at - 1);
}

}  // namespace tkmm
