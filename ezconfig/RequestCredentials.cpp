// The credentials of a library description (see RequestCredentials.h).
#include "ezconfig/RequestCredentials.h"

#include <algorithm>

#include "frame/TextHelpers.h"
#include "platform/db/TextWidth.h"
#include "platform/security/StoredPassword.h"
#include "platform/xml/ProxyUserNames.h"
#include "platform/xml/StorageLibraryMessages.h"

namespace tkezconfig {
namespace {

using Info = EVGui::StorageLibraryInfo;

std::string plainPassword(const CNMessageBase& info, const tkxml::FieldDef& field) {
  std::string plain;
  info.getpstringobjectByRef(field.ordinal, field.tag, Info::kClassHash, field.hash).getPlainPassword(plain);
  return plain;
}

}  // namespace

bool userNameWithProxy(const CNMessageBase& info, std::string& out, std::string& error) {
  std::string name = info.getstring(Info::kUserName.ordinal, Info::kUserName.tag, Info::kClassHash,
                                    Info::kUserName.hash);
  // A proxy password written into the user name itself is kept only in the
  // stored form, as the one of its own field is.
  static_assert(tkxml::isProxyUserNameField<Info>(Info::kUserName), "a user name that may carry a proxy password");
  if (!tkpassword::storedUserNameIn(MyUTF8Text(name), kCredentialUserNameLimit, out, error)) return false;
  // The proxy password of its own field goes behind the name: the name as
  // stored must still fit.
  std::string proxy = plainPassword(info, Info::kProxyPassword);
  const std::size_t room = std::min(kCredentialUserNameLimit - out.size(), tkpassword::kPasswordColumnWidth);
  std::string proxyEncrypted;
  const bool made = tkdb::fitsColumn("proxy password", proxy, tkpassword::longestFitting(room), error) &&
                    tkpassword::storedFormFor(proxy, room, proxyEncrypted, error);
  tkpassword::wipe(proxy);
  if (made) out += proxyEncrypted;
  tkpassword::wipe(proxyEncrypted);
  return made;
}

bool preparedPassword(const CNMessageBase& info, bool plain, std::string& out, std::string& error) {
  std::string text = plainPassword(info, Info::kPassword);
  tkpassword::wipe(out);
  // The plain password goes to the library set-up, which stores it in a
  // password column; the stored form goes into the request's own buffer.
  // Either way the one policy says whether it fits, and an empty password
  // stays empty.
  const bool fits = plain ? tkpassword::storedFormFor(text, tkpassword::kPasswordColumnWidth, out, error)
                          : tkpassword::storedFormFor(text, kCredentialPasswordLimit, out, error);
  if (fits && plain) out = text;
  tkpassword::wipe(text);
  return fits;
}

}  // namespace tkezconfig
