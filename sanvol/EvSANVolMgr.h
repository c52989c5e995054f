// The SAN-volume handler class: every request about SAN and snapshot
// volumes, their hosts, scratch pools, replication policies, replicas,
// continuous-replication devices, file-level recovery and fan-in recovery
// points is one method of it.
//
// An object holds nothing but the reply it is building (its EvReturnData
// base): the host gives each connection its own object, so the Get handlers,
// which build their reply on that base, never share it between threads. All
// other state of a request lives on the handler call's stack.
//
// What the handlers share lives beside this class, so that a handler states
// only its own elements and operations:
//   sanvol/SANVolFrame.h       the element-stream frame, the simple Get frame,
//                              the one-call failure answer, element readers
//   sanvol/SANVolReplyItems.h  the reply item forms (u32, u64, text, id+text,
//                              hdr12+text) cut at their limits
//   sanvol/Replica*.h, FLR*.h  the replica database's value types
#pragma once

#include <optional>

#include "frame/CWySocket.h"
#include "platform/reply/EvReturnData.h"

struct MessageInfo;

class EvSANVolMgr : public EvReturnData {
 public:
  EvSANVolMgr();
  ~EvSANVolMgr() override;
  EvSANVolMgr(const EvSANVolMgr&) = delete;
  EvSANVolMgr& operator=(const EvSANVolMgr&) = delete;

  // Reply 1024 with exactly two items: 4001 (the operation as a 32-bit
  // number) and last 2051 ([u32 status][text], length text length + 4; a
  // null text is the empty text; the text is cut at 4,099 characters so
  // that status, text and terminator fit the 4,104-byte status item). Never
  // sends item 4117. `reserved` is passed as 0 by every caller and changes
  // nothing. True when the reply was made; false when the reply object could
  // not be made, in which case the client gets the catalogue text of
  // 0x23000002 through sendResponse with status 0.
  static bool sendOperationResponse(long long sequenceNumber, CWySocket socket, unsigned long long operation,
                                    unsigned long long status, const char* text, int reserved);

  // The inline operation reply of handlers whose answer carries a result:
  // reply 1024 with item 4001 (left out when `operation` is empty), item
  // 2051 as above, then the result as the last item `lastTag` with
  // `lastLength` bytes of `lastData`. The allocation failure is answered as
  // in sendOperationResponse.
  static bool sendOperationResponseWith(long long sequenceNumber, CWySocket socket,
                                        std::optional<unsigned long long> operation, unsigned long long status,
                                        const char* text, unsigned long lastTag, const void* lastData,
                                        unsigned long lastLength);

  // ---- SAN volume hosts and volumes (EvSANVolMgrVolumes.cpp)
  // Reply 11601: the SAN volume hosts the user may manage.
  long long onMsgGetSANVolumeHosts(MessageInfo* request);
  long long lookupSANVolumeHosts(MessageInfo* request);
  // Reply 11604: every device name of the host (first parameter) with its
  // volume, mount points, replica, scratch volume and permanent replica.
  long long onMsgGetSANVolumes(MessageInfo* request);
  long long lookupSANVolumes(MessageInfo* request);
};
