// The credentials of a library description in the form the media-management
// services take them: the user name with the encrypted proxy password
// appended (no separator), and the password plain or encrypted. Shared by
// the XML requests that configure folders on media agents, so that all of
// them refuse alike: a text that does not fit its buffer is refused, never
// cut (a cut credential would be stored and fail later, far from its cause),
// with the one password policy's text.
//
//   std::string userName, error;
//   if (!tkezconfig::userNameWithProxy(info, userName, error)) { ... answer -1 with `error` ... }
#pragma once

#include <cstddef>
#include <string>

#include "platform/security/StoredPassword.h"

class CNMessageBase;

namespace tkezconfig {

// The user name goes where every remote-host user name goes (its width,
// tkpassword::kUserNameWidth); the services' buffer holds 1,024 bytes of
// password with its terminator.
inline constexpr std::size_t kCredentialUserNameLimit = tkpassword::kUserNameWidth;
inline constexpr std::size_t kCredentialPasswordLimit = 1023;

// The user name (tag 28) of a StorageLibraryInfo with its encrypted proxy
// password (tag 33) appended when there is one. False, with the reason in
// `error`, when the proxy password does not encrypt or the whole is longer
// than kCredentialUserNameLimit.
bool userNameWithProxy(const CNMessageBase& info, std::string& out, std::string& error);
// The password (tag 32), plain or in its stored form (empty for none), by
// the one password policy (platform/security/StoredPassword.h): the stored
// form must fit kCredentialPasswordLimit bytes, a plain password's stored
// form a password column. False, with the policy's text in `error` (and
// `out` empty), when it does not.
bool preparedPassword(const CNMessageBase& info, bool plain, std::string& out, std::string& error);

}  // namespace tkezconfig
