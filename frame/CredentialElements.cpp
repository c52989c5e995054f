// The credential elements of the Set requests (see CredentialElements.h).
#include "frame/CredentialElements.h"

#include <cstring>

#include "frame/EvExternal.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/security/StoredPassword.h"

namespace tkmm {
namespace {

constexpr int kDecryptToText = 3;
constexpr int kDecryptToBuffer = 1;
constexpr int kPasswordBufferSize = 4104;

// The stored form of a decrypted text by `storedFor` (the policy's form of a
// password, or of a user name that carries a proxy password); `plain` is
// wiped. False, with `out` wiped, when it was not decrypted or the policy
// refuses it (`refusal` says why).
bool storedFormOf(bool decrypted, std::string& plain,
                  bool (*storedFor)(const std::string&, std::size_t, std::string&, std::string&), const char* tag,
                  const char* what, std::string& out, std::string& refusal) {
  bool stored = decrypted;
  if (stored && !storedFor(plain, tkpassword::kPasswordColumnWidth, out, refusal)) {
    EvDebug::Error(tag, "the %s was refused for storage: %s", what, refusal.c_str());
    stored = false;
  }
  tkpassword::wipe(plain);
  if (!stored) tkpassword::wipe(out);
  return stored;
}

}  // namespace

void wipe(std::string& secret) { tkpassword::wipe(secret); }

bool decryptUserName(EvExternal& services, MessageInfo* request, const char* value, unsigned int length,
                     const char* tag, std::string& out) {
  wipe(out);
  std::string text;
  const bool decrypted = services.decryptAndPrepForStorage(request, value, static_cast<int>(length), kDecryptToText,
                                                           text, nullptr, nullptr, nullptr) == 1;
  if (decrypted)
    out = std::move(text);
  else
    EvDebug::Error(tag, "%s", "failed to decrypt the user name");
  wipe(text);
  return decrypted;
}

bool decryptUserNameForStorage(EvExternal& services, MessageInfo* request, const char* value, unsigned int length,
                               const char* tag, std::string& out, std::string& refusal) {
  refusal.clear();
  std::string plain;
  const bool decrypted = decryptUserName(services, request, value, length, tag, plain);
  return storedFormOf(decrypted, plain, tkpassword::storedUserNameFor, tag, "proxy password of the user name", out,
                      refusal);
}

bool decryptPassword(EvExternal& services, MessageInfo* request, const char* value, unsigned int length,
                     const char* tag, std::string& out, const char* failureText) {
  wipe(out);
  // One byte more than the decryption may fill: a password that fills the
  // whole buffer is still terminated, and taken by its size.
  char buffer[kPasswordBufferSize + 1] = {};
  int size = kPasswordBufferSize;
  std::string unused;
  const bool decrypted = services.decryptAndPrepForStorage(request, value, static_cast<int>(length),
                                                           kDecryptToBuffer, unused, nullptr, &size, buffer) == 1;
  if (decrypted) {
    const std::size_t taken = size < 0 ? 0 : static_cast<std::size_t>(size > kPasswordBufferSize ? kPasswordBufferSize : size);
    buffer[taken] = '\0';
    out.assign(buffer, strnlen(buffer, taken));
  } else {
    EvDebug::Error(tag, "%s", failureText);
  }
  std::memset(buffer, 0, sizeof buffer);
  return decrypted;
}

bool decryptPasswordForStorage(EvExternal& services, MessageInfo* request, const char* value, unsigned int length,
                               const char* tag, std::string& out, std::string& refusal, const char* failureText) {
  wipe(out);
  refusal.clear();
  std::string plain;
  const bool decrypted = decryptPassword(services, request, value, length, tag, plain, failureText);
  return storedFormOf(decrypted, plain, tkpassword::storedFormFor, tag, "password", out, refusal);
}

}  // namespace tkmm
