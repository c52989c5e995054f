// An ordered list of typed message arguments.
//
// Type codes: 5 signed 32-bit, 6 unsigned 32-bit, 7 signed 64-bit, 8 unsigned
// 64-bit, 10 unsigned 64-bit (sent little-endian), 11 text. For the numbers
// AddArgument takes the address of the value; for a text, the text itself
// (a null text is kept as the empty text). An unknown type code is kept with
// no value. Header-only: the handlers and the platform both use it.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

class ArgumentInfo {
 public:
  enum Type : int {
    kInt32 = 5,
    kUInt32 = 6,
    kInt64 = 7,
    kUInt64 = 8,
    kUInt64LE = 10,
    kText = 11,
  };

  struct Argument {
    int type = 0;
    int64_t number = 0;     // signed types
    uint64_t unsignedNumber = 0;
    std::string text;       // type 11
    bool operator==(const Argument&) const = default;
  };

  ArgumentInfo() = default;
  ArgumentInfo(const ArgumentInfo&) = default;
  ArgumentInfo& operator=(const ArgumentInfo&) = default;
  ~ArgumentInfo() = default;

  void AddArgument(const void* value, int type) {
    Argument a;
    a.type = type;
    switch (type) {
      case kInt32: {
        int32_t v = 0;
        if (value != nullptr) std::memcpy(&v, value, sizeof v);
        a.number = v;
        break;
      }
      case kUInt32: {
        uint32_t v = 0;
        if (value != nullptr) std::memcpy(&v, value, sizeof v);
        a.unsignedNumber = v;
        break;
      }
      case kInt64: {
        int64_t v = 0;
        if (value != nullptr) std::memcpy(&v, value, sizeof v);
        a.number = v;
        break;
      }
      case kUInt64:
      case kUInt64LE: {
        uint64_t v = 0;
        if (value != nullptr) std::memcpy(&v, value, sizeof v);
        a.unsignedNumber = v;
        break;
      }
      case kText:
        if (value != nullptr) a.text = static_cast<const char*>(value);
        break;
      default:
        break;
    }
    m_args.push_back(std::move(a));
  }

  void Clear() { m_args.clear(); }
  void Append(const ArgumentInfo& other) {
    if (&other == this) {
      std::vector<Argument> copy = m_args;
      m_args.insert(m_args.end(), copy.begin(), copy.end());
    } else {
      m_args.insert(m_args.end(), other.m_args.begin(), other.m_args.end());
    }
  }

  size_t Count() const { return m_args.size(); }
  const Argument& At(size_t index) const { return m_args.at(index); }
  const std::vector<Argument>& Arguments() const { return m_args; }

  // The argument as text: numbers in decimal, texts as they are.
  std::string TextAt(size_t index) const {
    const Argument& a = m_args.at(index);
    switch (a.type) {
      case kInt32:
      case kInt64:
        return std::to_string(a.number);
      case kUInt32:
      case kUInt64:
      case kUInt64LE:
        return std::to_string(a.unsignedNumber);
      case kText:
        return a.text;
      default:
        return std::string();
    }
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> out;
    out.reserve(m_args.size());
    for (size_t i = 0; i < m_args.size(); ++i) out.push_back(TextAt(i));
    return out;
  }

  bool operator==(const ArgumentInfo& other) const { return m_args == other.m_args; }

  ArgumentInfo& operator<<(const char* text) {
    AddArgument(text, kText);
    return *this;
  }
  ArgumentInfo& operator<<(int value) {
    int copy = value;
    AddArgument(&copy, kInt32);
    return *this;
  }
  ArgumentInfo& operator<<(long value) {
    long copy = value;
    AddArgument(&copy, kInt64);
    return *this;
  }
  ArgumentInfo& operator<<(unsigned long value) {
    unsigned long copy = value;
    AddArgument(&copy, kUInt64);
    return *this;
  }
  // Wider forms, so that every integer type streams without ambiguity.
  ArgumentInfo& operator<<(unsigned int value) { return *this << static_cast<unsigned long>(value); }
  ArgumentInfo& operator<<(long long value) { return *this << static_cast<long>(value); }
  ArgumentInfo& operator<<(unsigned long long value) { return *this << static_cast<unsigned long>(value); }
  ArgumentInfo& operator<<(const std::string& text) { return *this << text.c_str(); }

 private:
  std::vector<Argument> m_args;
};
