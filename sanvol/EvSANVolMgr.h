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

#include <cstdint>
#include <optional>
#include <string>

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
  // ---- replica listings (sanvol/ReplicaListings.cpp)
  // One volume by its id (the first parameter): reply 11604 with one
  // record; 1 whatever the worker did.
  long long onMsgGetSnrVolume(MessageInfo* request);
  // Writes the record of one volume into the open reply: 1 when it was
  // closed with 2052, 0 after a failure answer. A non-zero source client id
  // names the replica's source client; otherwise it is the client of the
  // primary volume's first device name.
  long long lookupSNRVolume(int volumeId, long long sequenceNumber, MessageInfo* request, int queryField,
                            int sourceClientId, bool checkSubclients, bool heldBySubclient);
  // The replicas of a replication policy / of a client (the first
  // parameter): reply 11604, one record per replica.
  long long onMsgGetReplicationVolumesByPolicy(MessageInfo* request);
  long long onMsgGetReplicationVolumesByClient(MessageInfo* request);
  // The free scratch volumes of a pool (the first parameter): reply 11681.
  long long onMsgGetAvailableRvScratchVolumes(MessageInfo* request);
  // The host name of the filer of a NAS volume's unique id
  // ("client<id>:<path>"); "UnknownFiler" when it cannot be found.
  static void GetNASFileServerNameFromUniqueId(const std::string& uniqueId, std::string& name);

  // ---- replica changes (sanvol/ReplicaChanges.cpp)
  long long onMsgReserveSnrVolume(MessageInfo* request);
  long long onMsgUpdateReplica(MessageInfo* request);
  long long onMsgReleaseReplica(MessageInfo* request);
  long long onMsgGetReplicatedApps(MessageInfo* request);
  // ---- file-level recovery (sanvol/flr/)
  // Discovery of a client's applications that support file-level recovery:
  // reply 11801 around the worker, which runs the discovery tool on the
  // client (1 when the client was reached).
  long long onMsgFLRDiscoverApps(MessageInfo* request);
  long long DiscoverFLRSupportedApps(MessageInfo* request);
  // Consistency points of a client's application or of an FLR set (11805),
  // the snapshots of a consistency point (11809), the alternate cache
  // partition of a scratch pool's client.
  long long onMsgFLRGetCPs(MessageInfo* request);
  long long onMsgFLRGetSnaps(MessageInfo* request);
  long long onMsgGetAltCachePartitionByPoolId(MessageInfo* request);
  // Deletion of consistency points; the replication sets of paths (11826).
  long long onMsgManageFLRCP(MessageInfo* request);
  long long onMsgFindPathRepSet(MessageInfo* request);
  // Mounts and unmounts of snapshots on clients, and their network shares.
  long long onMsgManageFLRSnapshotMount(MessageInfo* request);
  long long onMsgManageFLRSnapshotNetworkShare(MessageInfo* request);

  // ---- replication policies (sanvol/ReplicationPolicies.cpp)
  // Reply 11641: every replication policy.
  long long onMsgGetReplicationPolicies(MessageInfo* request);
  long long lookupReplicationPolicies(MessageInfo* request);
  // Adds (1), deletes (2) and updates (3) one policy per record.
  long long onMsgManageReplicationPolicies(MessageInfo* request);

  // ---- snapshot engines and parameters (sanvol/SnapEngines.cpp)
  // Reply 11652: every snapshot engine.
  long long onMsgGetSnapEngineInfo(MessageInfo* request);
  long long lookupSnapEngineInfo(MessageInfo* request);
  // Reply 11665: the snapshot parameters of the volume (first parameter).
  long long onMsgGetVolumeSnapParams(MessageInfo* request);
  long long lookupVolumeSnapParams(MessageInfo* request);
  // Adds (1), removes (2) and updates (3) a volume's snapshot parameters.
  long long onMsgManageVolumeSnapParams(MessageInfo* request);
  // Reply 11677: the snapshot-capable applications that the snapshot tool
  // finds on the client (first parameter).
  long long onMsgGetZqSnapInstalledApps(MessageInfo* request);
  long long lookupZqSnapInstalledApps(MessageInfo* request);
};

// True when a policy would send SnapMirror replicas (copy manager type 6
// with a scratch pool of type 3) through a copy manager whose client runs a
// release older than 13. A pool or controller that cannot be read lets the
// policy through.
bool isSnapMirrorWithPre80CopyMananger(int32_t scratchPoolId, int32_t copyManagerType, uint64_t copyManagerId);
