// The credentials of a library description (see RequestCredentials.h).
#include "ezconfig/RequestCredentials.h"

#include "frame/TextHelpers.h"
#include "platform/security/StoredPassword.h"
#include "platform/xml/StorageLibraryMessages.h"

namespace tkezconfig {
namespace {

using Info = EVGui::StorageLibraryInfo;

constexpr int kEncryptSize = 2048;
constexpr const char* kTextUserNameTooLong =
    "The user name and the encrypted proxy password together are longer than 2047 bytes.";
constexpr const char* kTextPasswordTooLong = "The encrypted password is longer than 1023 bytes.";
constexpr const char* kTextPlainPasswordTooLong = "The password is longer than 1023 bytes.";
constexpr const char* kTextNotEncrypted = "A password of the request could not be encrypted.";

// The service's output limit stays: a longer form is refused as before.
bool encrypted(const std::string& plain, std::string& out) {
  if (tkpassword::storedForm(plain, out) && out.size() < kEncryptSize) return true;
  tkpassword::wipe(out);
  return false;
}

std::string plainPassword(const CNMessageBase& info, const tkxml::FieldDef& field) {
  std::string plain;
  info.getpstringobjectByRef(field.ordinal, field.tag, Info::kClassHash, field.hash).getPlainPassword(plain);
  return plain;
}

}  // namespace

bool userNameWithProxy(const CNMessageBase& info, std::string& out, std::string& error) {
  std::string name = info.getstring(Info::kUserName.ordinal, Info::kUserName.tag, Info::kClassHash,
                                    Info::kUserName.hash);
  out = MyUTF8Text(name);
  const std::string proxy = plainPassword(info, Info::kProxyPassword);
  std::string proxyEncrypted;
  if (!proxy.empty() && !encrypted(proxy, proxyEncrypted)) {
    error = kTextNotEncrypted;
    return false;
  }
  if (out.size() + proxyEncrypted.size() > kCredentialUserNameLimit) {
    error = kTextUserNameTooLong;
    return false;
  }
  out += proxyEncrypted;
  return true;
}

bool preparedPassword(const CNMessageBase& info, bool plain, std::string& out, std::string& error) {
  const std::string text = plainPassword(info, Info::kPassword);
  if (plain) {
    out = text;
  } else if (!encrypted(text, out)) {
    out.clear();
    error = kTextNotEncrypted;
    return false;
  }
  if (out.size() > kCredentialPasswordLimit) {
    out.clear();
    error = plain ? kTextPlainPasswordTooLong : kTextPasswordTooLong;
    return false;
  }
  return true;
}

}  // namespace tkezconfig
