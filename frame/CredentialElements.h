// The credential elements of the media-management Set requests: a user name
// (2401) and a password (2402) arrive encrypted, as the consoles send them,
// and are decrypted the moment they are read. A value that cannot be
// decrypted is logged under the handler's tag and counts as absent (an
// earlier one is not kept with it). A password a route stores is taken in
// the one form passwords are stored in, never in clear. Secrets are wiped
// when they go.
//
//   std::string user;
//   bool hasUser = tkmm::decryptUserName(services, request, value, length, kTag, user);
#pragma once

#include <string>

class EvExternal;
struct MessageInfo;

namespace tkmm {

// Fills `out` with the decrypted user name; false (out empty) when it
// cannot be decrypted.
bool decryptUserName(EvExternal& services, MessageInfo* request, const char* value, unsigned int length,
                     const char* tag, std::string& out);
// The same for a password, taken by the size the decryption reports (a
// password that fills the whole buffer is still whole). `failureText` is
// what the log says when it cannot be decrypted.
bool decryptPassword(EvExternal& services, MessageInfo* request, const char* value, unsigned int length,
                     const char* tag, std::string& out, const char* failureText = "failed to decrypt the password");
// The same password in the form the database keeps passwords in, made by
// the one policy (tkpassword::storedFormFor, for a password column), for
// the routes that store it. An empty password stays empty. False, with
// `out` empty, when it cannot be decrypted (logged; `refusal` empty: the
// element counts as absent) or when the policy refuses it (`refusal` holds
// the text to answer: the record must be refused, not stored without it).
bool decryptPasswordForStorage(EvExternal& services, MessageInfo* request, const char* value, unsigned int length,
                               const char* tag, std::string& out, std::string& refusal,
                               const char* failureText = "failed to decrypt the password");
// The same user name as the routes store it: a proxy password it carries
// (user!!proxy-user@proxy-host:password, tkpassword::proxyPasswordSpan) in
// the form passwords are stored in, by the same policy as a password of
// its own element (2408), so that the name never holds it in clear
// whichever element brought it. False, with `out` empty, when it cannot be
// decrypted (logged; `refusal` empty) or when the policy refuses the proxy
// password (`refusal` holds the text to answer).
bool decryptUserNameForStorage(EvExternal& services, MessageInfo* request, const char* value, unsigned int length,
                               const char* tag, std::string& out, std::string& refusal);
// Zeroes the secret's bytes and empties it.
void wipe(std::string& secret);

}  // namespace tkmm
