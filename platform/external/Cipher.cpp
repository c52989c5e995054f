#include "platform/external/Cipher.h"

#include <cstdint>

namespace tkcipher {
namespace {

constexpr char kVersion = 'E';

// A position-dependent key stream; it hides texts from a casual look in logs
// and captures, nothing more.
uint8_t keyByte(size_t index) {
  uint32_t x = static_cast<uint32_t>(index) * 2654435761u + 0x5A17C3u;
  x ^= x >> 13;
  x *= 0x85EBCA6Bu;
  x ^= x >> 16;
  return static_cast<uint8_t>(x);
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string encrypt(const std::string& plain) {
  static const char digits[] = "0123456789abcdef";
  std::string out(1, kVersion);
  out.reserve(1 + plain.size() * 2);
  for (size_t i = 0; i < plain.size(); ++i) {
    uint8_t b = static_cast<uint8_t>(plain[i]) ^ keyByte(i);
    out.push_back(digits[b >> 4]);
    out.push_back(digits[b & 0x0F]);
  }
  return out;
}

bool decrypt(const std::string& encrypted, std::string& plain) {
  if (encrypted.empty() || encrypted[0] != kVersion || (encrypted.size() - 1) % 2 != 0) return false;
  std::string out;
  out.reserve((encrypted.size() - 1) / 2);
  for (size_t i = 1, n = 0; i < encrypted.size(); i += 2, ++n) {
    int hi = hexValue(encrypted[i]);
    int lo = hexValue(encrypted[i + 1]);
    if (hi < 0 || lo < 0) return false;
    out.push_back(static_cast<char>(static_cast<uint8_t>((hi << 4) | lo) ^ keyByte(n)));
  }
  plain.swap(out);
  return true;
}

}  // namespace tkcipher
