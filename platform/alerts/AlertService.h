// The alert service behind EvAlertEx: while a test records, the alerts sent
// with sendAlert are kept in a journal (read them through
// platform/testkit/alerts.h); a production process keeps nothing.
#pragma once

#include <string>
#include <vector>

#include "platform/journal/Journal.h"

namespace tkalerts {

struct SentAlert {
  long alertId = 0;
  long condition = 0;
  long whomId = 0;
  std::string message;
  int flags = 0;
  int delay = 0;
  int reserved = 0;
};

std::vector<SentAlert> sent();
void clearSent();
// Calls of "sendAlert" (alert id, condition, whom id, message, flags, delay,
// reserved) and "fmtNewMsgString" (the formatted text); failures of
// "sendAlert" are scriptable (the alert is then not kept).
tkjournal::Journal& journal();

}  // namespace tkalerts
