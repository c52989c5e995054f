// The alert service: alerts are handed to it and, while a test records
// (platform/journal/Journal.h), kept for the test to read.
#include "platform/alerts/AlertService.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "frame/EvAlertEx.h"
#include "platform/debuglog/EvDebug.h"

namespace tkalerts {
namespace {

std::mutex& sentMutex() {
  static std::mutex m;
  return m;
}
std::vector<SentAlert>& sentList() {
  static std::vector<SentAlert> list;
  return list;
}

}  // namespace

std::vector<SentAlert> sent() {
  std::lock_guard<std::mutex> guard(sentMutex());
  return sentList();
}

void clearSent() {
  std::lock_guard<std::mutex> guard(sentMutex());
  sentList().clear();
}

tkjournal::Journal& journal() {
  static tkjournal::Journal j;
  return j;
}

}  // namespace tkalerts

void EvAlertEx::fmtNewMsgString(const char* fmt, ...) {
  m_msgString.clear();
  if (fmt == nullptr) return;
  va_list args;
  va_start(args, fmt);
  m_msgString = tkVFormat(fmt, args);
  va_end(args);
  tkalerts::journal().record("fmtNewMsgString", m_msgString);
}

int EvAlertEx::sendAlert(int flags, int delay, int reserved) {
  tkalerts::journal().record("sendAlert", static_cast<long>(m_alertId), static_cast<long>(m_condition),
                             static_cast<long>(m_whomId), m_msgString, flags, delay, reserved);
  tkjournal::Failure failure;
  if (tkalerts::journal().takeFailure("sendAlert", failure)) {
    EvDebug::Error("EvAlertEx::sendAlert", "alert %ld not sent: %s", static_cast<long>(m_alertId),
                   failure.text.c_str());
    return failure.code != 0 ? failure.code : -1;
  }
  m_sent = true;
  // The host's only record of an alert is its debug log.
  EvDebug::Debug("EvAlertEx::sendAlert", "alert [%ld] condition [%ld] for [%ld]: %s", static_cast<long>(m_alertId),
                 static_cast<long>(m_condition), static_cast<long>(m_whomId), m_msgString.c_str());
  // The alerts sent are kept only for the tests that read them.
  if (!tkjournal::recording()) return 0;
  tkalerts::SentAlert alert;
  alert.alertId = static_cast<long>(m_alertId);
  alert.condition = static_cast<long>(m_condition);
  alert.whomId = static_cast<long>(m_whomId);
  alert.message = m_msgString;
  alert.flags = flags;
  alert.delay = delay;
  alert.reserved = reserved;
  {
    std::lock_guard<std::mutex> guard(tkalerts::sentMutex());
    tkalerts::sentList().push_back(std::move(alert));
  }
  return 0;
}
