// Rights refusals of the XML requests (see RightsRefusal.h).
#include "ezconfig/RightsRefusal.h"

#include "frame/EvAlertEx.h"
#include "frame/EvEvent.h"

namespace tkezconfig {
namespace {

constexpr long kRightsAlertId = 1020;
constexpr long kRightsAlertCondition = 12;
constexpr std::size_t kTextSize = 1024;

}  // namespace

void sendRightsAlert(unsigned long userId, const std::string& reason) {
  EvAlertEx alert;
  alert.setAlert(kRightsAlertId, nullptr);
  alert.setWhomId(static_cast<long>(userId), nullptr);
  alert.setCondition(kRightsAlertCondition);
  alert.getMsgString() = reason;
  alert.sendAlert(0, 0, 0);
}

std::string eventText(const char* tag, long long sequenceNumber, unsigned long id, const std::string& argument) {
  EvEvent event(tag);
  event.setLocaleId(sequenceNumber);
  event << argument;
  char buffer[kTextSize];
  event.evPrintf(id, buffer, sizeof buffer, 0);
  return buffer;
}

}  // namespace tkezconfig
