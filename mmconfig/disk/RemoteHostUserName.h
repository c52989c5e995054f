// The user name of a network share reached through a remote file host, as
// the disk device stores it in one text:
//
//   user [ "!!" proxy-user "@" proxy-host [ ":" proxy-password ] ]
//
// The proxy parts are found from the end: the last "!!", behind it the
// last "@", behind that the last ":" (which must not be the first character
// there, so a proxy host cannot be empty before its password). A change of
// the user name keeps the stored proxy password when the new name names a
// proxy and no new proxy password came, in the element of its own or in
// the name itself; one that came in its own element replaces one the name
// carries, so that the name holds one proxy password and its host stays
// as it was written.
#pragma once

#include <string>

namespace tkmm {

// True when the name names a proxy: it holds "!!", behind the last "!!" an
// "@", and behind the last "@" something.
bool namesProxy(const std::string& userName);
// The proxy-password part of a stored name, ":" included; empty when the
// name has none.
std::string proxyPasswordPart(const std::string& storedUserName);
// True when the name carries a proxy password of its own (a non-empty part
// behind the ":").
bool carriesProxyPassword(const std::string& userName);
// The name without the proxy password it carries (its ":" included); the
// name itself when it carries none.
std::string withoutProxyPassword(const std::string& userName);

}  // namespace tkmm
