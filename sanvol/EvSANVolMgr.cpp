// The SAN-volume handler class and its operation replies (built by the
// frame's operationReply, which the NAS handlers share).
#include "sanvol/EvSANVolMgr.h"

#include "frame/SANVolFrame.h"

EvSANVolMgr::EvSANVolMgr() = default;
EvSANVolMgr::~EvSANVolMgr() = default;

bool EvSANVolMgr::sendOperationResponse(long long sequenceNumber, CWySocket socket, unsigned long long operation,
                                        unsigned long long status, const char* text, int /*reserved*/) {
  return tksanvol::operationReply(sequenceNumber, socket, operation, status, text, 0, nullptr, 0, false);
}

bool EvSANVolMgr::sendOperationResponseWith(long long sequenceNumber, CWySocket socket,
                                            std::optional<unsigned long long> operation, unsigned long long status,
                                            const char* text, unsigned long lastTag, const void* lastData,
                                            unsigned long lastLength) {
  return tksanvol::operationReply(sequenceNumber, socket, operation, status, text, lastTag, lastData, lastLength,
                                  true);
}
