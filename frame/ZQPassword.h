// Password encryption and comparison of the security library (platform).
// An encrypted password is the printable form that the consoles and the
// database use (platform/external/Cipher.h).
#pragma once

#include <string>

class ZQPassword {
 public:
  ZQPassword() = default;

  // Encrypts the plain text into `out`, NUL-terminated. `length` holds the
  // size of `out` on entry and the length written on return. 0 on success;
  // -1 (and an empty `out` when it has room) when the result does not fit or
  // an argument is null. (Stand-in: journaled in the security journal as
  // "encrypt" with the plain text's length; a failure can be injected.)
  static int encrypt(const char* plain, char* out, int* length);
  // The reverse of encrypt, with the same rules; -1 also when `encrypted` is
  // not an encrypted password.
  static int decrypt(const char* encrypted, char* out, int* length);

  // Keeps an encrypted password for the comparison below.
  void putEncPwd(const char* encrypted);
  // 1 when the other encrypted password is the same password as the kept one,
  // 0 when they differ.
  int compareEncPwd(const char* otherEncrypted) const;

 private:
  std::string m_encrypted;
};
