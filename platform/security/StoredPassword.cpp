// The stored form of passwords (see StoredPassword.h).
//
// Telling a clear password from a stored one by its text cannot be exact:
// a clear password may itself be the version letter and hex pairs. The
// test asks for everything the stored form always has and nothing more:
// the canonical text of the cipher (the version letter, lower-case digits
// only, two per byte) of bytes without a NUL, which no stored form holds.
// It does not ask what the deciphered bytes look like: an older build
// stored passwords of any bytes (Latin-1, a tab), and taking such a stored
// form for a clear password would encipher it a second time and lose it.
// So a clear password passes only when it is the version letter followed
// by lower-case hex pairs none of which deciphers to a NUL, which no
// password a person chose is likely to be; it then stays as it was.
#include "platform/security/StoredPassword.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "frame/ZQPassword.h"
#include "platform/db/TextWidth.h"

namespace tkpassword {
namespace {

// The version letter and two digits per byte.
std::size_t formLength(std::size_t plainLength) { return 1 + 2 * plainLength; }

}  // namespace

std::size_t longestFitting(std::size_t width) { return width == 0 ? 0 : (width - 1) / 2; }

std::string tooLongText(std::size_t width) {
  return "The password is too long to be stored: a password of at most " + std::to_string(longestFitting(width)) +
         " bytes fits.";
}

bool storedFormFor(const std::string& plain, std::size_t width, std::string& stored, std::string& refusal) {
  wipe(stored);
  refusal.clear();
  if (plain.empty()) return true;
  if (formLength(plain.size()) > width) {
    refusal = tooLongText(width);
    return false;
  }
  if (storedForm(plain, stored) && stored.size() <= width) return true;
  wipe(stored);
  refusal = "The password could not be encrypted.";
  return false;
}

bool storedForm(const std::string& plain, std::string& stored) {
  wipe(stored);
  // The version letter, two digits per byte and the terminator.
  std::vector<char> out(plain.size() * 2 + 2, '\0');
  int length = static_cast<int>(out.size());
  const bool made = plain.find('\0') == std::string::npos && ZQPassword::encrypt(plain.c_str(), out.data(), &length) == 0;
  if (made) stored.assign(out.data(), static_cast<std::size_t>(length));
  std::memset(out.data(), 0, out.size());
  return made;
}

bool plainForm(const std::string& stored, std::string& plain) {
  wipe(plain);
  std::vector<char> out(stored.size() / 2 + 2, '\0');
  int length = static_cast<int>(out.size());
  const bool read = ZQPassword::decrypt(stored.c_str(), out.data(), &length) == 0;
  if (read) plain.assign(out.data(), static_cast<std::size_t>(length));
  std::memset(out.data(), 0, out.size());
  return read;
}

bool isStoredForm(const std::string& text) {
  for (std::size_t i = 1; i < text.size(); ++i) {
    const char c = text[i];
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  std::string plain;
  const bool stored = plainForm(text, plain) && plain.find('\0') == std::string::npos;
  wipe(plain);
  return stored;
}

bool proxyPasswordSpan(const std::string& userName, std::size_t& at, std::size_t& length) {
  at = length = 0;
  const std::size_t mark = userName.rfind("!!");
  if (mark == std::string::npos) return false;
  const std::size_t sign = userName.rfind('@');
  if (sign == std::string::npos || sign < mark + 2) return false;
  const std::size_t colon = userName.rfind(':');
  // A ":" first behind the "@" belongs to the proxy's own part, not to a
  // password.
  if (colon == std::string::npos || colon <= sign + 1 || colon + 1 >= userName.size()) return false;
  at = colon + 1;
  length = userName.size() - at;
  return true;
}

namespace {

bool isStoredPart(const std::string& name, std::size_t at, std::size_t length) {
  std::string part = name.substr(at, length);
  const bool stored = isStoredForm(part);
  wipe(part);
  return stored;
}

// The clear proxy password of `userName` (`at`, `length`): the span behind
// the last ":" when it is not in the stored form. A name whose last part is
// a stored form carries no clear one, whatever stands before it: a proxy
// host may itself hold ":" (a port, an IPv6 address, any text the user
// wrote), so user!!proxy-user@proxy-host:more:STORED is a name in the form
// this build stores, and never read as an older build's clear password
// with a stale one appended behind it (see hasClearProxyPassword).
bool clearProxyPasswordSpan(const std::string& userName, std::size_t& at, std::size_t& length) {
  return proxyPasswordSpan(userName, at, length) && !isStoredPart(userName, at, length);
}

}  // namespace

bool hasClearProxyPassword(const std::string& userName) {
  std::size_t at = 0, length = 0;
  return clearProxyPasswordSpan(userName, at, length);
}

namespace {

// What a user name says of itself in a refusal.
constexpr const char* kUserNameWhat = "user name";
constexpr const char* kProxyPasswordWhat = "proxy password of the user name";

// The longest proxy password that fits behind the first `at` bytes of a
// name in a column of `width` bytes, and no more than a password column.
std::size_t proxyRoom(std::size_t at, std::size_t width) {
  return at >= width ? 0 : std::min(width - at, kPasswordColumnWidth);
}

// storedUserNameFor with the proxy password's form bounded by the password
// policy (`passwordWidth`, its own refusal) and, when the name has a column
// (`width`, SIZE_MAX for none), by what the rest of the name leaves it.
bool storedName(const std::string& userName, std::size_t passwordWidth, std::size_t width, const std::string& what,
                std::string& stored, std::string& refusal) {
  wipe(stored);
  refusal.clear();
  std::size_t at = 0, length = 0;
  if (!clearProxyPasswordSpan(userName, at, length)) {
    stored = userName;
    return true;
  }
  std::string plain = userName.substr(at, length);
  std::string form;
  bool made = true;
  if (width != SIZE_MAX)
    made = at < width ? tkdb::fitsColumn(kProxyPasswordWhat, plain, longestFitting(proxyRoom(at, width)), refusal)
                      : tkdb::fitsColumn(what, userName, width, refusal);
  made = made && storedFormFor(plain, passwordWidth, form, refusal);
  wipe(plain);
  if (!made) return false;
  stored.reserve(at + form.size());
  stored.assign(userName, 0, at);
  stored += form;
  wipe(form);
  return true;
}

}  // namespace

bool storedUserNameFor(const std::string& userName, std::size_t width, std::string& stored, std::string& refusal) {
  return storedName(userName, width, SIZE_MAX, kUserNameWhat, stored, refusal);
}

bool storedUserNameIn(const std::string& userName, std::size_t width, std::string& stored, std::string& refusal,
                      const std::string& what) {
  if (storedName(userName, kPasswordColumnWidth, width, what, stored, refusal) &&
      userNameFits(stored, width, refusal, what))
    return true;
  wipe(stored);
  return false;
}

bool proxyPasswordFits(const std::string& storedName, std::size_t width, std::string& refusal) {
  std::size_t at = 0, length = 0;
  if (tkdb::fitsWhole(storedName, width) || !proxyPasswordSpan(storedName, at, length) || at >= width ||
      !isStoredPart(storedName, at, length))
    return true;
  std::string plain;
  const bool fits = !plainForm(storedName.substr(at, length), plain) ||
                    tkdb::fitsColumn(kProxyPasswordWhat, plain, longestFitting(proxyRoom(at, width)), refusal);
  wipe(plain);
  return fits;
}

bool userNameFits(const std::string& storedName, std::size_t width, std::string& refusal, const std::string& what) {
  return proxyPasswordFits(storedName, width, refusal) && tkdb::fitsColumn(what, storedName, width, refusal);
}

void wipe(std::string& secret) {
  if (!secret.empty()) std::memset(secret.data(), 0, secret.size());
  secret.clear();
}

}  // namespace tkpassword
