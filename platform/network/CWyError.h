// The result of a remote-session call: no error, or a code with its text.
//
//   CWyError error = network.ReplyDisconnect(120, flag);
//   if (error.IsError()) log(error.AsString());
#pragma once

#include <string>
#include <utility>

class CWyError {
 public:
  CWyError() = default;
  CWyError(int code, std::string text) : m_code(code), m_text(std::move(text)) {}

  bool IsError() const { return m_code != 0; }
  int GetCode() const { return m_code; }
  // The failure's text; empty when there is no error.
  std::string AsString() const { return IsError() ? m_text : std::string(); }

 private:
  int m_code = 0;
  std::string m_text;
};
