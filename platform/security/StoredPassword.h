// The one form in which passwords are kept in the database: the password
// service's encrypted text (frame/ZQPassword.h). Every route that stores a
// password makes this form with storedForm, and every route that needs the
// password itself takes it back with plainForm, so that a password stored
// by one route reads back whole through any other.
//
// The stored form hides a password from a look at the rows, a copy of the
// file or a capture; it does not protect it from anyone who can run this
// system's code or read its cipher, which is reversible by design (the
// media agents need the password itself).
//
// Every route takes the stored form through one policy, storedFormFor:
// an empty password stays empty (none), a password is enciphered once, from
// its plain text, and a form that does not fit the column it goes to is
// refused with one text that names the longest password that fits, never
// cut and never stored empty in its place.
//
//   std::string stored, refusal;
//   if (!tkpassword::storedFormFor(plain, tkpassword::kPasswordColumnWidth, stored, refusal)) {
//     ... refuse with `refusal`: nothing to store ...
//   }
#pragma once

#include <cstddef>
#include <string>

namespace tkpassword {

// The width of the password columns of the configuration tables (mount
// paths, device controllers, DRU hosts, the model's settings), in bytes,
// terminator not included.
inline constexpr std::size_t kPasswordColumnWidth = 2048;

// The longest password (in bytes) whose stored form fits `width` bytes.
std::size_t longestFitting(std::size_t width);

// The text a route refuses a password with when its stored form does not
// fit `width` bytes.
std::string tooLongText(std::size_t width);

// The stored form of `plain` for a column `width` bytes wide: empty for an
// empty password. False, with `stored` empty and the reason in `refusal`,
// when the form does not fit (tooLongText) or cannot be made (a NUL byte,
// the service failing). `plain` is the password itself: a stored form
// passed here would be enciphered a second time.
bool storedFormFor(const std::string& plain, std::size_t width, std::string& stored, std::string& refusal);

// The stored form of `plain`, whatever its length; false (and `stored`
// empty) when the service cannot make it. Routes go through storedFormFor.
bool storedForm(const std::string& plain, std::string& stored);

// The password of a stored form; false (and `plain` empty) when `stored`
// is not one.
bool plainForm(const std::string& stored, std::string& plain);

// True when `text` reads as a stored form: exactly what storedForm makes
// (the service's version letter and lower-case hex pairs, nothing else)
// of a password storedForm takes (one without a NUL byte). What the
// password is made of is not asked: a stored form of Latin-1 bytes or a
// tab is one all the same. Used only to tell the clear passwords of older
// database files from stored ones; see StoredPassword.cpp.
bool isStoredForm(const std::string& text);

// A user name that reaches a share or a cloud path through a proxy carries
// the proxy's password in its own text, behind the last ":" behind the last
// "@" behind the last "!!":
//   user "!!" proxy-user "@" proxy-host [":" proxy-password]    (a share)
//   user "!!" host [":" port] "@" proxy-user [":" proxy-password]  (a cloud path)
// That part is a password like any other: the database keeps it only in
// the stored form, wherever the name is kept.

// Where the proxy password of `userName` lies (`at`, `length`, the ":" not
// included); false when the name carries none (no proxy, no ":" there, or
// the ":" first behind the "@", or nothing behind it).
bool proxyPasswordSpan(const std::string& userName, std::size_t& at, std::size_t& length);

// The name as it is stored: `userName` with a clear proxy password put into
// its stored form for a column `width` bytes wide (storedFormFor: the same
// limit and refusal text as any password), a stored one left as it is (never
// enciphered twice); a name without a proxy password unchanged. False, with
// `stored` empty and the reason in `refusal`, as storedFormFor refuses.
bool storedUserNameFor(const std::string& userName, std::size_t width, std::string& stored, std::string& refusal);

// True when `userName` carries a proxy password that is not in the stored
// form (what an older build wrote): the part behind the last ":" is clear.
// A name whose last part is a stored form carries none, whatever stands
// before it. An older build also wrote a new user name that carried its
// own proxy password with the stored one appended behind it
// (user!!proxy-user@proxy-host:NEW:STORED), but that text is also a name
// in the stored form whose proxy host holds a ":" (proxy-host:NEW, as a
// port or an IPv6 address does), and the two cannot be told apart: it is
// read as the latter and kept as it is, every byte the user wrote in it
// included, where the other reading would drop the stored password.
bool hasClearProxyPassword(const std::string& userName);

// The width of a remote-host user name, in bytes, on every route that
// stores one (the mount paths' and device controllers' columns, and the
// device-path record that carries it to the media agent, the narrowest).
inline constexpr std::size_t kUserNameWidth = 1023;

// The name as it is stored in a user-name column of `width` bytes
// (kUserNameWidth): storedUserNameFor, with the proxy password's stored
// form bounded by what the rest of the name leaves it. False, with `stored`
// empty, when the stored name does not fit: `refusal` names the proxy
// password and the longest that fits with the rest of this name when the
// proxy password makes it too long (tkdb::fitsColumn's text), else the
// user name (`what`, as the route names it) and `width`.
bool storedUserNameIn(const std::string& userName, std::size_t width, std::string& stored, std::string& refusal,
                      const std::string& what = "user name");

// Whether the proxy password a user name carries in the stored form leaves
// the name within a column of `width` bytes: false, with `refusal` naming
// the proxy password and the longest that fits with the rest of this name,
// when the name is too long because of it; true otherwise (no proxy
// password, or a name too long without it).
bool proxyPasswordFits(const std::string& storedName, std::size_t width, std::string& refusal);

// Whether a user name as stored (its proxy password, if any, already in the
// stored form) fits a column of `width` bytes; when not, `refusal` is the
// one text of storedUserNameIn.
bool userNameFits(const std::string& storedName, std::size_t width, std::string& refusal,
                  const std::string& what = "user name");

// Puts every clear proxy password that a stored user name holds (an older
// build's, hasClearProxyPassword) into the stored form, once per database
// file: the conversion and the file's mark of it are one transaction, and a
// file that carries the mark is not looked at again. The host calls it at
// every start. A name whose stored form would not fit its column is left as
// it is, and logged by its length. False when the store could not be
// changed (the next start tries again).
bool storeClearProxyPasswords();

// Zeroes the secret's bytes and empties it.
void wipe(std::string& secret);

}  // namespace tkpassword
