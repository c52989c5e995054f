// The stored form of passwords (see StoredPassword.h).
//
// Telling a clear password from a stored one by its text cannot be exact:
// a clear password may itself be a letter and hex pairs. The test asks for
// everything the stored form always has (the canonical text of the cipher,
// which writes lower-case digits only) and for what every password a
// console sends has (printable UTF-8), so a clear password passes only when
// it is the version letter followed by lower-case hex pairs whose deciphered
// bytes happen to be printable UTF-8, which no password a person chose is
// likely to be; a stored one always passes, so nothing stored is ever
// enciphered twice.
#include "platform/security/StoredPassword.h"

#include <cstring>
#include <vector>

#include "frame/ZQPassword.h"

namespace tkpassword {
namespace {

// Bytes 0x00-0x1F and 0x7F: never part of a password a console sends.
bool isControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

// Well-formed UTF-8 without control characters.
bool printableUtf8(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    std::size_t more = 0;
    if (c < 0x80) {
      if (isControl(c)) return false;
    } else if (c >= 0xC2 && c <= 0xDF) {
      more = 1;
    } else if (c >= 0xE0 && c <= 0xEF) {
      more = 2;
    } else if (c >= 0xF0 && c <= 0xF4) {
      more = 3;
    } else {
      return false;
    }
    if (more > 0 && i + more >= text.size()) return false;
    for (std::size_t k = 1; k <= more; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    }
    i += more + 1;
  }
  return true;
}

}  // namespace

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
  const bool stored = plainForm(text, plain) && printableUtf8(plain);
  wipe(plain);
  return stored;
}

void wipe(std::string& secret) {
  if (!secret.empty()) std::memset(secret.data(), 0, secret.size());
  secret.clear();
}

}  // namespace tkpassword
