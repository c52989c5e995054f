// Text helpers shared by the handlers: the string object of the XML message
// library, the text copy used on request texts, and the two C-string helpers
// of the XML handlers.
#pragma once

#include <cstddef>
#include <string>

// The string object of the XML message library, used for its password-typed
// text fields. Header-only: the XML message library of the platform uses it too.
class bstring {
 public:
  bstring() = default;
  bstring(const std::string& text) : m_value(text) {}  // NOLINT: implicit by design
  virtual ~bstring() = default;
  bstring(const bstring&) = default;
  bstring& operator=(const bstring&) = default;

  const char* c_str() const { return m_value.c_str(); }
  bool empty() const { return m_value.empty(); }
  std::size_t size() const { return m_value.size(); }

 private:
  std::string m_value;
};

// Text copy used wherever a text is taken out of a request: byte for byte,
// no change of encoding. Header-only: the platform uses it too.
class FXString {
 public:
  static std::string ToString(const std::string& text) { return std::string(text); }
  // A null pointer gives the empty text.
  static std::string ToString(const char* text) { return text == nullptr ? std::string() : std::string(text); }
};

// Size of the buffer of MyLocalText (a longer reply text is cut to
// kMyTextBufferSize - 1 bytes) and the least size of MyUTF8Text's.
inline constexpr std::size_t kMyTextBufferSize = 4096;

// Copy the text into a buffer of the calling thread's own (zero-filled, at
// most 4,095 bytes plus the terminator) and return it. The result stays valid
// until the same thread calls the same function again. Bytes are unchanged.
// For reply texts only.
char* MyLocalText(const std::string& text);
// As MyLocalText, with a buffer of its own that holds the whole text however
// long (request texts are stored: the column they go to refuses what does
// not fit, nothing is cut on the way); the text is not modified.
char* MyUTF8Text(std::string& text);
