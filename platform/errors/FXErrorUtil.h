// The error library: makes CWyError objects for an error number or for a
// code with a formatted text, at a code location, and tests them.
//
// Every error it makes carries a negative code, because the callers test
// errors with IsError(): an error number n gives -n, a code c gives c when
// it is negative and -c (or -1 for 0) otherwise; the details keep the value
// as it was given.
#pragma once

#include <string>

#include "frame/CWyError.h"
#include "frame/FXCodeLocation.h"
#include "platform/debuglog/EvDebug.h"  // TK_PRINTF

struct FXErrorPrivate {
  int givenCode = 0;       // the error number or code as the caller gave it
  bool isErrNo = false;    // made by ErrorErrNo
  std::string text;        // strerror text, or the formatted text
  std::string file;
  std::string function;
  int line = 0;
};

class FXErrorUtil {
 public:
  static CWyError ErrorErrNo(const FXCodeLocation& location, int errorNumber);
  static CWyError ErrorInt(const FXCodeLocation& location, int code, const char* fmt, ...) TK_PRINTF(3, 4);
  // True when the error was made for that error number.
  static bool IsErrNo(const CWyError& error, int errorNumber);
};
