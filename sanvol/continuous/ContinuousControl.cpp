// The pieces the continuous-replication handlers share; see
// ContinuousControl.h.
#include "sanvol/continuous/ContinuousControl.h"

#include "platform/client/ZQClient.h"

namespace tksanvol::continuous {

StreamRules walkOnRules(const char* tag) {
  StreamRules rules;
  rules.tag = tag;
  rules.unknownElement = UnknownElement::LogAndGoOn;
  rules.missingOperation = MissingOperation::AsOperationZero;
  return rules;
}

IdText readIdTextValue(const char* value, unsigned int length) {
  if (length < sizeof(uint32_t)) return IdText{};
  return readIdText(value, length);
}

Hdr12Text readHdr12TextValue(const char* value, unsigned int length) {
  if (length < 3 * sizeof(uint32_t)) return Hdr12Text{};
  return readHdr12Text(value, length);
}

std::string networkHostOf(uint32_t clientId) {
  std::string host;
  ZQClient client(clientId);
  client.getNetworkHostname(host, nullptr);
  return host;
}

}  // namespace tksanvol::continuous
