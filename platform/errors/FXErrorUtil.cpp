#include "platform/errors/FXErrorUtil.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/debuglog/EvDebug.h"

namespace {

int negativeCode(int code) {
  if (code < 0) return code;
  if (code == 0) return -1;
  return -code;
}

boost::shared_ptr<FXErrorPrivate> details(const FXCodeLocation& location, int givenCode, bool isErrNo,
                                          std::string text) {
  boost::shared_ptr<FXErrorPrivate> d(new FXErrorPrivate);
  d->givenCode = givenCode;
  d->isErrNo = isErrNo;
  d->text = std::move(text);
  d->file = location.File() != nullptr ? location.File() : "";
  d->function = location.Function() != nullptr ? location.Function() : "";
  d->line = location.Line();
  return d;
}

}  // namespace

CWyError::~CWyError() = default;

std::string CWyError::AsString() const {
  if (!IsError()) return "Success";
  std::string out = "Error [" + std::to_string(m_code) + "]";
  if (const FXErrorPrivate* d = m_details.get()) {
    if (!d->text.empty()) out += ": " + d->text;
    if (!d->file.empty()) out += " (" + d->file + ":" + std::to_string(d->line) + ")";
  }
  return out;
}

CWyError FXErrorUtil::ErrorErrNo(const FXCodeLocation& location, int errorNumber) {
  char buffer[256];
  const char* text = strerror_r(errorNumber, buffer, sizeof buffer);
  return CWyError(negativeCode(errorNumber), details(location, errorNumber, true, text != nullptr ? text : ""));
}

CWyError FXErrorUtil::ErrorInt(const FXCodeLocation& location, int code, const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  std::string text = tkVFormat(fmt, args);
  va_end(args);
  return CWyError(negativeCode(code), details(location, code, false, std::move(text)));
}

bool FXErrorUtil::IsErrNo(const CWyError& error, int errorNumber) {
  const FXErrorPrivate* d = error.GetDetails();
  return d != nullptr && d->isErrNo && d->givenCode == errorNumber;
}
