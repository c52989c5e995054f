// Password encryption and comparison over the wire cipher.
#include "frame/ZQPassword.h"

#include <cstring>

#include "platform/external/Cipher.h"
#include "platform/security/Rights.h"

namespace {

int copyOut(const std::string& text, char* out, int* length) {
  if (out == nullptr || length == nullptr || *length <= 0) return -1;
  if (text.size() + 1 > static_cast<size_t>(*length)) {
    out[0] = '\0';
    return -1;
  }
  std::memcpy(out, text.data(), text.size());
  out[text.size()] = '\0';
  *length = static_cast<int>(text.size());
  return 0;
}

}  // namespace

int ZQPassword::encrypt(const char* plain, char* out, int* length) {
  // The journal keeps the length only: never a password.
  tksecurity::journal().record("encrypt", plain != nullptr ? std::strlen(plain) : 0);
  tkjournal::Failure failure;
  if (tksecurity::journal().takeFailure("encrypt", failure)) {
    if (out != nullptr && length != nullptr && *length > 0) out[0] = '\0';
    return -1;
  }
  if (plain == nullptr) {
    if (out != nullptr && length != nullptr && *length > 0) out[0] = '\0';
    return -1;
  }
  return copyOut(tkcipher::encrypt(plain), out, length);
}

int ZQPassword::decrypt(const char* encrypted, char* out, int* length) {
  std::string plain;
  if (encrypted == nullptr || !tkcipher::decrypt(encrypted, plain)) {
    if (out != nullptr && length != nullptr && *length > 0) out[0] = '\0';
    return -1;
  }
  return copyOut(plain, out, length);
}

void ZQPassword::putEncPwd(const char* encrypted) { m_encrypted = encrypted != nullptr ? encrypted : ""; }

int ZQPassword::compareEncPwd(const char* otherEncrypted) const {
  const std::string other = otherEncrypted != nullptr ? otherEncrypted : "";
  std::string plainKept;
  std::string plainOther;
  // An empty text is the empty password (stored as nothing, or as the
  // cipher's form of nothing by older builds).
  auto read = [](const std::string& text, std::string& plain) { return text.empty() || tkcipher::decrypt(text, plain); };
  // Compare the passwords themselves where both decrypt, else the stored forms.
  if (read(m_encrypted, plainKept) && read(other, plainOther)) return plainKept == plainOther ? 1 : 0;
  return m_encrypted == other ? 1 : 0;
}
