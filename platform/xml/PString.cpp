// Protected texts: the wire form of a password and its encryption type.
#include "platform/debuglog/EvDebug.h"
#include "platform/external/Cipher.h"
#include "platform/xml/CNMessageBase.h"

bool pstring::fromPlain(const std::string& plain, int encryptionType, pstring& out) {
  if (encryptionType == tkxml::kPlainText) {
    out = fromWire(tkxml::kPlainText, plain);
    return true;
  }
  if (encryptionType == tkxml::kCipherText) {
    out = fromWire(tkxml::kCipherText, tkcipher::encrypt(plain));
    return true;
  }
  return false;
}

pstring pstring::fromWire(int encryptionType, std::string wire) {
  pstring p;
  p.m_type = encryptionType;
  p.m_wire = std::move(wire);
  return p;
}

bool pstring::getPlainPassword(std::string& plain) const {
  if (m_type == tkxml::kPlainText) {
    plain = m_wire;
    return true;
  }
  if (m_wire.empty()) {
    plain.clear();
    return true;
  }
  if (m_type == tkxml::kCipherText && tkcipher::decrypt(m_wire, plain)) return true;
  plain.clear();
  return false;
}

bstring pstring::getPlainPassword() const {
  std::string plain;
  if (!getPlainPassword(plain)) {
    EvDebug::Error("pstring::getPlainPassword", "The protected text does not decrypt; the empty text is used.");
  }
  return bstring(plain);
}
