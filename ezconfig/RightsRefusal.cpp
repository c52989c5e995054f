// Rights refusals of the XML requests (see RightsRefusal.h).
#include "ezconfig/RightsRefusal.h"

#include "frame/EvEvent.h"
#include "platform/security/Rights.h"

namespace tkezconfig {
namespace {

constexpr std::size_t kTextSize = 1024;

}  // namespace

void sendRightsAlert(unsigned long userId, const std::string& reason) {
  tksecurity::sendRefusalAlert(static_cast<long long>(userId), reason);
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
