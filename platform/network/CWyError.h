// The result of a remote-session call: no error, or a code with its text.
// A remote-library attach succeeds with a code of its own (1 on a fresh
// attach, 0 on an existing connection), made with attached().
//
//   CWyError error = network.ReplyDisconnect(120, flag);
//   if (error.IsError()) log(error.AsString());
#pragma once

#include <string>
#include <utility>

// The handler frame has a CWyError of its own (frame/CWyError.h) with other
// members; this one lives in an inline namespace so that the two never share
// a symbol (each library would otherwise run the other's destructor).
inline namespace tknetworkerror {

class CWyError {
 public:
  CWyError() = default;
  CWyError(int code, std::string text) : m_code(code), m_text(std::move(text)) {}

  // A success that carries a code (an attach: 1 fresh, 0 existing).
  static CWyError attached(int code) {
    CWyError result(code, std::string());
    result.m_success = true;
    return result;
  }

  bool IsError() const { return !m_success && m_code != 0; }
  int GetCode() const { return m_code; }
  // The failure's text; empty when there is no error.
  std::string AsString() const { return IsError() ? m_text : std::string(); }

 private:
  int m_code = 0;
  std::string m_text;
  bool m_success = false;
};

}  // namespace tknetworkerror
