// The error object of the platform's network-session calls: a code (0 is
// success, any negative value an error) with details shared by all copies.
#pragma once

#include <boost/shared_ptr.hpp>
#include <string>

struct FXErrorPrivate;  // the error library's details

class CWyError {
 public:
  CWyError() : m_code(0) {}
  // Made by the error library; a failure always carries a negative code.
  CWyError(int code, boost::shared_ptr<FXErrorPrivate> details) : m_code(code), m_details(std::move(details)) {}
  CWyError(const CWyError& other) : m_code(other.m_code), m_details(other.m_details) {}
  CWyError& operator=(const CWyError& other) {
    m_code = other.m_code;
    m_details = other.m_details;  // shares the source's details, releasing the old ones
    return *this;
  }
  ~CWyError();

  static CWyError Success() { return CWyError(); }

  bool IsError() const { return m_code < 0; }
  int GetErrorCode() const { return m_code; }
  // Readable description of the error (platform).
  std::string AsString() const;
  // The shared details, null for a success.
  const FXErrorPrivate* GetDetails() const { return m_details.get(); }
  long DetailsUseCount() const { return m_details.use_count(); }

 private:
  int m_code;
  boost::shared_ptr<FXErrorPrivate> m_details;
};
