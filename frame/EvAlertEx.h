// An alert record raised through the server's alert service. The handlers
// set the alert id, the user it concerns, the condition and the message text,
// then send it. The setters are the system's; formatting the text and sending
// are the alert service's (platform/alerts/).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/debuglog/EvDebug.h"  // TK_PRINTF

// An element of an alert's event list.
struct AlertEventMsg {
  int64_t id = 0;
  int32_t kind = 0;
  std::string text;
};

// An element of an alert's phase list.
struct InfoManagementPhaseDetails {
  int64_t phase = 0;
  std::string text;
};

class EvAlertEx {
 public:
  EvAlertEx() { Clear(); }
  ~EvAlertEx() = default;
  EvAlertEx(const EvAlertEx&) = default;
  EvAlertEx& operator=(const EvAlertEx&) = default;

  // Every number and flag 0, every text and list empty.
  void Clear() {
    m_alertId = 0;
    m_condition = 0;
    m_whomId = 0;
    m_clientId = 0;
    m_jobId = 0;
    m_flags = 0;
    m_sent = false;
    m_whomName.clear();
    m_clientName.clear();
    m_textArguments.clear();
    m_events.clear();
    m_phases.clear();
    m_msgString.clear();
  }

  // The text argument is not used.
  void setAlert(long alertId, const char* /*unused*/) { m_alertId = alertId; }
  void setCondition(long condition) { m_condition = condition; }
  // The text argument is not used.
  void setWhomId(long userId, const char* /*unused*/) { m_whomId = userId; }
  // The alert's message text; callers assign it through the reference.
  std::string& getMsgString() { return m_msgString; }
  const std::string& getMsgString() const { return m_msgString; }

  long getAlertId() const { return m_alertId; }
  long getCondition() const { return m_condition; }
  long getWhomId() const { return m_whomId; }

  // Platform operations.
  // Formats the message text from a printf-style format; texts from clients
  // or the catalogue go in as arguments of "%s".
  void fmtNewMsgString(const char* fmt, ...) TK_PRINTF(2, 3);
  // Raises the alert; 0 when the service took it.
  int sendAlert(int flags, int delay, int reserved);

 private:
  int64_t m_alertId;
  int64_t m_condition;
  int64_t m_whomId;
  int64_t m_clientId;
  int64_t m_jobId;
  int32_t m_flags;
  bool m_sent;
  std::string m_whomName;
  std::string m_clientName;
  std::vector<std::string> m_textArguments;
  std::vector<AlertEventMsg> m_events;
  std::vector<InfoManagementPhaseDetails> m_phases;
  std::string m_msgString;
};
