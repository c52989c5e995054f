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
// What the handlers share (the NAS handlers too) lives in frame/ and beside
// the replica database service, so that a handler states only its own
// elements and operations:
//   frame/SANVolFrame.h       the element-stream frame, the simple Get frame,
//                              the one-call failure answer, element readers,
//                              the operation reply
//   frame/SANVolReplyItems.h  the reply item forms (u32, u64, text, id+text,
//                              hdr12+text) cut at their limits
//   platform/replicadb/Replica*.h, FLR*.h, SNRVolume*.h, ScratchPoolCalls.h
//                              the replica database's calls and value types
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "frame/CWySocket.h"
#include "platform/reply/EvReturnData.h"

struct MessageInfo;
struct volumeInfo;

namespace tksanvol {
struct NasCapacityCache;
}

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
  // ---- volume discovery (sanvol/volumes/EvSANVolMgrVolumeHost.cpp)
  // Operation 47: the mount paths of a SAN volume host's volumes with their
  // size; 58: the host's volumes in full, as the console records them
  // (a SnapVault appliance has none). Both answer with reply 11604.
  long long onMsgSetSANVolumeHost(MessageInfo* request);
  // The capacity (4,096-byte blocks) of the NAS volume with the unique id
  // "client<id>:<path>" as its filer reports it, through the reply's cache
  // of filer mount points; false (logged) when it cannot be found.
  static bool GetNetVolumeCapacityFromNDMP(const std::string& uniqueId, long long& capacity,
                                           tksanvol::NasCapacityCache& cache);
  // ---- volume changes and mounts (sanvol/volumes/EvSANVolMgrVolumeChanges.cpp,
  // sanvol/volumes/EvSANVolMgrMountPoints.cpp)
  // Add (48), replace the mount points of (15), delete (2) and update (3) a
  // SAN volume in the replica database.
  long long onMsgSetSANVolume(MessageInfo* request);
  // Mount (1) or unmount (2) a volume at a path on a client, recording or
  // removing the mount point.
  long long onMsgVolumeMountPointCommand(MessageInfo* request);
  // ---- replica listings (sanvol/replica/ReplicaListings.cpp)
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

  // ---- replica changes (sanvol/replica/ReplicaChanges.cpp)
  long long onMsgReserveSnrVolume(MessageInfo* request);
  long long onMsgUpdateReplica(MessageInfo* request);
  long long onMsgReleaseReplica(MessageInfo* request);
  long long onMsgGetReplicatedApps(MessageInfo* request);
  // ---- user applications (sanvol/UserApplications.cpp)
  // Reply 11766: every continuous-replication user application.
  long long onMsgGetQRUserApps(MessageInfo* request);
  long long lookupQRUserApps(MessageInfo* request);
  // Adds (1), deletes (2) and changes (3) user applications.
  long long onMsgManageQRUserApps(MessageInfo* request);
  // ---- snapshot import and its neighbours (sanvol/SnapshotImport.cpp)
  // Reply 11753: the source volumes of the snapshot whose id text stands in
  // the first-parameter place.
  long long onMsgGetSrcVolumesBySnapId(MessageInfo* request);
  long long lookupSrcVolumesBySnapId(MessageInfo* request);
  // Runs the snapshot tool on a client to import a snapshot, per record.
  long long onMsgImportSnapshotCommand(MessageInfo* request);
  // Reply 11794: the clients that have every given application package.
  long long onMsgGetHostsInstalledPackage(MessageInfo* request);
  // Whether a replication subclient is covered by a schedule (item 4300).
  long long onMsgQRSubclientHasSchedule(MessageInfo* request);
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

  // ---- copy managers, device configuration and continuous replication (sanvol/continuous/)
  // Reply 11693: the copy-manager controllers the replica database knows.
  long long onMsgGetCopyMgrControllers(MessageInfo* request);
  long long lookupCopyMgrControllers(MessageInfo* request);
  // Configures (48) or unconfigures (49) one replication device of a client.
  long long onMsgConfigureDeviceCommand(MessageInfo* request);
  // Reply 11707: the continuous-replication appliances; adding, deleting,
  // assigning one to a volume and moving a client to another server.
  long long onMsgGetQRAppliances(MessageInfo* request);
  long long lookupQRAppliances(MessageInfo* request);
  long long onMsgManageQRAppliance(MessageInfo* request);
  // Protect, terminate, suspend, resume, activate, deactivate and roll back
  // a continuous-replication volume on its client.
  long long onMsgManageQuillmereVolume(MessageInfo* request);
  // Reply 11720: a client's continuous-replication devices; configuring a
  // device pair; reply 11729: the cost categories (always empty).
  long long onMsgGetQuillmereDevices(MessageInfo* request);
  long long lookupQMDevices(MessageInfo* request);
  long long onMsgConfigureQuillmereDevice(MessageInfo* request);
  long long onMsgGetQRCostCategories(MessageInfo* request);
  // ---- device lists and fan-in recovery points: XML requests whose text
  // holds the request on entry and the reply on return
  // The filter configured on a list of a client's volumes in one call of
  // the client (sanvol/continuous/DeviceList.cpp). The result is the
  // reply's error code: 0, 0x3900008b when the central tables could not be
  // brought in step, -1 when the client could not be reached (a generic
  // reply), -1 with an empty text when the reply could not be written; the
  // early refusals 0xb0001 (message library), 0xb0002 (unreadable request)
  // and 0x39000006 (unknown client) leave the text as it came.
  long long onMsgConfigureDeviceListCommand(MessageInfo* request, std::string& text);
  // Records the devices of a device-list result in the central tables;
  // false when some step it tried failed (the other entries are still
  // recorded).
  static bool updateTKDatabaseForListOfVolumes(const std::vector<volumeInfo>& results, int clientId, int appType);
  // The recovery points of a destination volume, the pairs under one
  // recovery point, and the operations on one (sanvol/flr/FanIn.cpp). 0
  // when a reply was written into the text (the reply itself tells success
  // or failure), -1 when none was.
  long long onMsgGetFanInRP(MessageInfo* request, std::string& text);
  long long onMsgGetFanInRPPair(MessageInfo* request, std::string& text);
  long long onMsgManageFanInRP(MessageInfo* request, std::string& text);

  // ---- replication policies (sanvol/ReplicationPolicies.cpp)
  // Reply 11641: every replication policy.
  long long onMsgGetReplicationPolicies(MessageInfo* request);
  long long lookupReplicationPolicies(MessageInfo* request);
  // Adds (1), deletes (2) and updates (3) one policy per record.
  long long onMsgManageReplicationPolicies(MessageInfo* request);

  // ---- SnapVault hosts and replica space (sanvol/SnapVaultHosts.cpp)
  // Reply 11601: the clients with a SnapVault package installed (11750 the
  // package bits); only for users who may manage the Tarnkeep.
  long long onMsgGetSnapVaultCapableHosts(MessageInfo* request);
  long long lookupSnapVaultCapableHosts(MessageInfo* request);
  // Frees the space that SnapVault or SnapMirror replicas hold on the
  // SnapVault volume of a scratch volume (`isScratchVolume`) or of a
  // replica (`id` a replica id). True when freed or nothing was to be
  // freed; false after a failure, which it has answered on the request's
  // socket with a plain text unless a snapshot check stopped it.
  bool FreeSnapvaultReplicaSpace(MessageInfo* request, int32_t id, bool isScratchVolume);

  // ---- scratch-volume pools and scratch volumes (sanvol/ScratchVolumes.cpp)
  // Reply 11622: every pool; reply 11638: the scratch volumes the first
  // parameter selects (-1: all), with volume, replica, device and mounts.
  long long onMsgGetRVScratchVolumePools(MessageInfo* request);
  long long lookupScratchPools(MessageInfo* request);
  long long onMsgGetRVScratchVolumes(MessageInfo* request);
  long long lookupScratchVolumes(MessageInfo* request);
  // Pools: add (1), delete (2), update (3), cost category of the pool's
  // volumes (83). Scratch volumes: add (1), remove (2), release (12), cost
  // category of one volume (83).
  long long onMsgManageRVScratchVolumePools(MessageInfo* request);
  long long onMsgManageRVScratchVolumes(MessageInfo* request);

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

// Whether a task other than task 1 covers the subclient: 1 when that could
// be told (`covered` set; a null pointer is allowed), 0 on a database error
// (`covered` false).
int IsQRSubClientCoveredBySchedule(int subclientId, bool* covered);

// True when a policy would send SnapMirror replicas (copy manager type 6
// with a scratch pool of type 3) through a copy manager whose client runs a
// release older than 13. A pool or controller that cannot be read lets the
// policy through.
bool isSnapMirrorWithPre80CopyMananger(int32_t scratchPoolId, int32_t copyManagerType, uint64_t copyManagerId);

// The message that answers a failed pool deletion with `code`: the pool
// still holds scratch volumes (-27), a policy names it (-11), or another
// failure.
unsigned long getEventIdFromDelScratchPoolFailure(int code);
