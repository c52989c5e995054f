// A message or event under construction: typed arguments pushed with
// operator<<, formatted by message id into catalogue text in a locale, or
// raised as an entry of the server's event log.
//
// The stream operators are the system's own; the formatting and the event
// log are the platform's (platform/events/).
#pragma once

#include <string>
#include <type_traits>
#include <vector>

#include "frame/ArgumentInfo.h"

class EvEvent {
 public:
  EvEvent() = default;
  // `location` names the code that owns the event (for the log).
  explicit EvEvent(const char* location) : m_location(location != nullptr ? location : "") {}
  EvEvent(const EvEvent&) = default;
  EvEvent& operator=(const EvEvent&) = default;
  virtual ~EvEvent() = default;

  void addArgument(const void* value, int type) { m_arguments.AddArgument(value, type); }
  void clearArguments() { m_arguments.Clear(); }
  const ArgumentInfo& arguments() const { return m_arguments; }
  const std::string& location() const { return m_location; }

  EvEvent& operator<<(const char* text) {
    addArgument(text, ArgumentInfo::kText);
    return *this;
  }
  EvEvent& operator<<(int value) {
    int copy = value;
    addArgument(&copy, ArgumentInfo::kInt32);
    return *this;
  }
  EvEvent& operator<<(unsigned int value) {
    unsigned int copy = value;
    addArgument(&copy, ArgumentInfo::kUInt32);
    return *this;
  }
  EvEvent& operator<<(long value) {
    long copy = value;
    addArgument(&copy, ArgumentInfo::kInt64);
    return *this;
  }
  EvEvent& operator<<(long long value) { return *this << static_cast<long>(value); }
  EvEvent& operator<<(unsigned long value) {
    unsigned long copy = value;  // little-endian on every host this runs on
    addArgument(&copy, ArgumentInfo::kUInt64LE);
    return *this;
  }
  EvEvent& operator<<(unsigned long long value) { return *this << static_cast<unsigned long>(value); }
  EvEvent& operator<<(const std::string& text) { return *this << text.c_str(); }
  // Appends every argument of another list; a null list adds nothing.
  EvEvent& operator<<(const ArgumentInfo* arguments) {
    if (arguments != nullptr) m_arguments.Append(*arguments);
    return *this;
  }

  // The locale of the request whose sequence number is given (its top 16 bits).
  void setLocaleId(long long sequenceNumber);
  unsigned long getLocaleId() const { return m_localeId; }

  // Writes the catalogue text of the message, with the arguments pushed so
  // far, into `buffer` (at most size - 1 bytes and a terminator) and returns
  // the buffer. `locale` is a sequence number (its top 16 bits are the locale)
  // or 0 for the locale given with setLocaleId.
  char* evPrintf(unsigned long messageId, char* buffer, unsigned long size, long long locale);

  // Entries of the server's event log, with the arguments pushed so far.
  // 0 when the entry was recorded.
  int MajorEvent(int messageId, long long value = 0, int flags = 0);
  int CriticalEvent(int messageId, long long value = 0, int flags = 0);
  int InfoEvent(int messageId, long long value = 0, int flags = 0);

 private:
  std::string m_location;
  ArgumentInfo m_arguments;
  unsigned long m_localeId = 0;
};

// Writes the catalogue text of the message in the locale into `buffer` (at
// most size - 1 bytes and a terminator) and returns the buffer. `locale` is a
// locale id (0 to 65,535) or a sequence number carrying one in its top bits.
char* EvGetLocTextV(unsigned long messageId, char* buffer, unsigned long size, unsigned long long locale,
                    const std::vector<std::string>& arguments);

namespace evevent_detail {
inline std::string argText(const char* text) { return text != nullptr ? std::string(text) : std::string(); }
inline std::string argText(const std::string& text) { return text; }
inline std::string argText(char* text) { return argText(static_cast<const char*>(text)); }
template <class T>
std::string argText(const T& number) {
  static_assert(std::is_integral_v<T> || std::is_enum_v<T>, "catalogue arguments are texts or integers");
  if constexpr (std::is_enum_v<T>) {
    return std::to_string(static_cast<long long>(number));
  } else {
    return std::to_string(number);
  }
}
}  // namespace evevent_detail

// The catalogue text of the message with the given arguments (texts or
// integers, in order).
template <class... Args>
char* EvGetLocText(unsigned long messageId, char* buffer, unsigned long size, unsigned long long locale,
                   const Args&... arguments) {
  return EvGetLocTextV(messageId, buffer, size, locale, {evevent_detail::argText(arguments)...});
}
