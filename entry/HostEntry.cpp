// The handler library's entry points for the host process: the handler objects
// of a connection and the one dispatch table of every handler the host may call.
#include "entry/HostEntry.h"

#include <cstdio>
#include <memory>
#include <new>
#include <string>

#include "ezconfig/rpstore/RPStoreRequest.h"
#include "frame/EvMMConfigMgr.h"
#include "frame/MessageInfo.h"
#include "platform/db/DBSession.h"
#include "platform/mmdb/MMBirthLedger.h"
#include "platform/xml/DeviceListMessages.h"
#include "platform/xml/EZTapeWizardMessages.h"
#include "platform/xml/EZWizardMessages.h"
#include "platform/xml/FanInMessages.h"
#include "platform/xml/RPStoreMessages.h"
#include "platform/xml/TaskMessages.h"
#include "platform/clientvol/DemoHost.h"
#include "platform/mac/ZQMACAttachedHardware.h"
#include "platform/mac/ZQMACPlatform.h"
#include "platform/nasclient/DemoNas.h"
#include "platform/nasclient/NasClientServices.h"
#include "platform/security/Rights.h"
#include "sanvol/EvSANVolMgr.h"
#include "nas/EvNASConfigMgr.h"

// The handler objects of one connection. The handler classes keep all lasting
// state class-wide; an object only carries the reply being built, so each
// connection (each host thread) gets objects of its own.
struct TkHandlers {
  std::unique_ptr<EvMMConfigMgr> mm;
  std::unique_ptr<EvSANVolMgr> san;
  std::unique_ptr<EvNASConfigMgr> nas;
};

namespace {

// One line per handler, ending with what its requests do to the
// configuration (TkHandlerAccess): TK_LOOKS, TK_CHANGES, or for an XML entry
// TK_PER_REQUEST(function of the request). A stream handler's line:
//   TK_STREAM_HANDLER(mm, onMsgGetMMLibraries, TK_LOOKS),
// a stream handler that takes further arguments after the request record `m`:
//   TK_STREAM_HANDLER_WITH(mm, LockMMConfiguration, TK_LOOKS, m->sequenceNumber, true),
// The XML dispatcher's line (it takes every message id and selects the handler):
//   TK_XML_DISPATCHER(mm, HandleMMConfigMgrXmlMsg, TK_PER_REQUEST(&mmXmlAccess)),
// and a handler of one XML message id (its own result is ignored; like the
// dispatcher, the entry answers -1 when the handler left the buffer empty):
//   TK_XML_HANDLER(mm, onMsgEZGetTapeLibrary, ZQGui::EZGetTapeLibrariesReq::kClassHash, TK_LOOKS),
// Ends every request: what the request committed is read from the change
// log while it is a few entries, so that the sessions' places follow the
// host's own changes (tkmmdb::followBirths).
struct AfterRequest {
  AfterRequest() = default;
  AfterRequest(const AfterRequest&) = delete;
  AfterRequest& operator=(const AfterRequest&) = delete;
  ~AfterRequest() {
    if (tkdb::takeCommitted()) tkmmdb::followBirths();
  }
};

#define TK_LOOKS kTkAccessLooks, nullptr
#define TK_CHANGES kTkAccessChanges, nullptr
#define TK_PER_REQUEST(function) kTkAccessPerRequest, (function)
#define TK_STREAM_HANDLER(object, method, access)                                      \
  TkHandlerEntry {                                                                     \
    #method, kTkHandlerStream,                                                         \
        [](TkHandlers* h, MessageInfo* m) -> int {                                     \
          const AfterRequest after;                                                    \
          return static_cast<int>(h->object->method(m));                               \
        },                                                                             \
        nullptr, 0, access                                                             \
  }
#define TK_STREAM_HANDLER_WITH(object, method, access, ...)                            \
  TkHandlerEntry {                                                                     \
    #method, kTkHandlerStream,                                                         \
        [](TkHandlers* h, MessageInfo* m) -> int {                                     \
          const AfterRequest after;                                                    \
          return static_cast<int>(h->object->method(m, __VA_ARGS__));                  \
        },                                                                             \
        nullptr, 0, access                                                             \
  }
#define TK_XML_DISPATCHER(object, method, access)                                      \
  TkHandlerEntry {                                                                     \
    #method, kTkHandlerXml, nullptr,                                                   \
        [](TkHandlers* h, MessageInfo* m, unsigned long id, std::string& text) -> long long { \
          const AfterRequest after;                                                    \
          return static_cast<long long>(h->object->method(m, 0, 0, 0, id, text));      \
        },                                                                             \
        0, access                                                                      \
  }
#define TK_XML_HANDLER(object, method, messageId, access)                              \
  TkHandlerEntry {                                                                     \
    #method, kTkHandlerXml, nullptr,                                                   \
        [](TkHandlers* h, MessageInfo* m, unsigned long, std::string& text) -> long long { \
          const AfterRequest after;                                                    \
          h->object->method(m, text);                                                  \
          return text.empty() ? -1 : 0;                                                \
        },                                                                             \
        (messageId), access                                                            \
  }
// A handler of one XML message id whose result is the reply's own code,
// passed on as it is. A text it left as it came holds no reply: the code
// goes out alone, never the request echoed back as its answer.
#define TK_XML_HANDLER_RESULT(object, method, messageId, access)                       \
  TkHandlerEntry {                                                                     \
    #method, kTkHandlerXml, nullptr,                                                   \
        [](TkHandlers* h, MessageInfo* m, unsigned long, std::string& text) -> long long { \
          const AfterRequest after;                                                    \
          const std::string request = text;                                            \
          const long long result = h->object->method(m, text);                         \
          if (text == request) text.clear();                                           \
          return result;                                                               \
        },                                                                             \
        (messageId), access                                                            \
  }

// The replication-store request lists (get a store, get its copy) or
// changes, by its operation code; a request that cannot be read changes.
uint32_t rpStoreAccess(unsigned long, const std::string& text) {
  using Request = EVGui::RPStoreLibraryReq;
  Request request;
  if (request.unserialize(text) != 0) return kTkAccessChanges;
  const long long operation = request.getint64(Request::kOperation.tag, Request::kClassHash, Request::kOperation.hash);
  return operation == tkezconfig::kRPStoreGet || operation == tkezconfig::kRPStoreGetCopy ? kTkAccessLooks
                                                                                          : kTkAccessChanges;
}

// The requests of the XML dispatcher (ezconfig/EvMMEzCfgDispatch.cpp), by
// message id. The configuration lock asks its own rights question; an id
// the dispatcher has no row for counts as a change.
uint32_t mmXmlAccess(unsigned long messageId, const std::string& text) {
  switch (messageId) {
    case EVGui::CanDeleteLibraryMountPathReq::kClassHash:
    case ZQGui::EZGetMagneticLibrariesReq::kClassHash:
    case ZQGui::EZGetTapeLibrariesReq::kClassHash:
    case EvMMConfigMgr::kLockUnlockXmlMessageId:
      return kTkAccessLooks;
    case EVGui::RPStoreLibraryReq::kClassHash:
      return rpStoreAccess(messageId, text);
    default:
      return kTkAccessChanges;
  }
}

// The dispatch table. Ends with the null entry, which is not counted.
const TkHandlerEntry kHandlerTable[] = {
    // The configuration lock. The host passes the request's sequence number
    // as the server sequence number and honours a lock that is held.
    TK_STREAM_HANDLER_WITH(mm, LockMMConfiguration, TK_LOOKS, m->sequenceNumber, true),
    // The XML requests: the dispatcher selects the handler by message id
    // (the configuration lock's XML form is one of its rows).
    TK_XML_DISPATCHER(mm, HandleMMConfigMgrXmlMsg, TK_PER_REQUEST(&mmXmlAccess)),
    // Replication-store libraries, also by their own message id.
    TK_XML_HANDLER(mm, onMsgConfigRPStoreLibrary, EVGui::RPStoreLibraryReq::kClassHash, TK_PER_REQUEST(&rpStoreAccess)),
    // The disk-library setup wizard, also by their own message ids.
    TK_XML_HANDLER(mm, onMsgEZConfigureMagneticLibrary, ZQGui::EZConfigureMagneticLibraryReq::kClassHash, TK_CHANGES),
    TK_XML_HANDLER(mm, onMsgEZGetMagneticLibrary, ZQGui::EZGetMagneticLibrariesReq::kClassHash, TK_LOOKS),
    // The tape-library setup wizard, also by their own message ids.
    TK_XML_HANDLER(mm, onMsgEZGetTapeLibrary, ZQGui::EZGetTapeLibrariesReq::kClassHash, TK_LOOKS),
    TK_XML_HANDLER(mm, onMsgEZConfigureTapeLibrary, ZQGui::EZConfigureTapeLibraryReq::kClassHash, TK_CHANGES),
    TK_XML_HANDLER(mm, onMsgEZConfigureTapeLibraryDrives, ZQGui::EZConfigureTapeLibraryDrivesReq::kClassHash, TK_CHANGES),
    TK_XML_HANDLER(mm, onMsgEZSetTapeLibraryAliasNameReq, ZQGui::EZSetTapeLibraryAliasNameReq::kClassHash, TK_CHANGES),
    // Libraries.
    TK_STREAM_HANDLER(mm, onMsgGetMMLibraries, TK_LOOKS),
    TK_STREAM_HANDLER(mm, onMsgGetMMLibraryProperties, TK_LOOKS),
    // Drive pools, drives, library children, mount paths and catalogues.
    TK_STREAM_HANDLER(mm, onMsgGetMMMasterDrivePools, TK_LOOKS),
    TK_STREAM_HANDLER(mm, onMsgGetMMMasterDrivePoolProperties, TK_LOOKS),
    TK_STREAM_HANDLER(mm, onMsgGetMMDrivePools, TK_LOOKS),
    TK_STREAM_HANDLER(mm, onMsgGetMMDrivePoolProperties, TK_LOOKS),
    TK_STREAM_HANDLER(mm, onMsgGetMMDrives, TK_LOOKS),
    TK_STREAM_HANDLER(mm, onMsgGetMMDriveProperties, TK_LOOKS),
    TK_STREAM_HANDLER(mm, onMsgGetMMDriveDeviceProperties, TK_LOOKS),
    TK_STREAM_HANDLER(mm, onMsgGetMMLibraryChildren, TK_LOOKS),
    TK_STREAM_HANDLER(mm, onMsgGetMMEmptyDrives, TK_LOOKS),
    TK_STREAM_HANDLER(mm, onMsgGetDriveIdList, TK_LOOKS),
    TK_STREAM_HANDLER(mm, onMsgGetMMMountPaths, TK_LOOKS),
    TK_STREAM_HANDLER(mm, onMsgGetMMMountPathProperties, TK_LOOKS),
    TK_STREAM_HANDLER(mm, onMsgGetMMLibraryTypes, TK_LOOKS),
    TK_STREAM_HANDLER(mm, onMsgGetMMDriveTypes, TK_LOOKS),
    TK_STREAM_HANDLER(mm, onMsgGetMMDriveVendorModelTypes, TK_LOOKS),
    TK_STREAM_HANDLER(mm, onMsgGetMMLibraryVendors, TK_LOOKS),
    TK_STREAM_HANDLER(mm, onMsgGetMMLibraryMediaTypes, TK_LOOKS),
    TK_STREAM_HANDLER(mm, onMsgGetMMMediaConfigInfo, TK_LOOKS),
    TK_STREAM_HANDLER(mm, onMsgGetMMMediaConfigParam, TK_LOOKS),
    TK_STREAM_HANDLER(mm, onMsgSetMMMediaConfigParam, TK_CHANGES),
    // The control request.
    TK_STREAM_HANDLER(mm, onMsgSetMMControl, TK_CHANGES),
    // SAN volume hosts and volumes.
    TK_STREAM_HANDLER(san, onMsgGetSANVolumeHosts, TK_LOOKS),
    TK_STREAM_HANDLER(san, onMsgGetSANVolumes, TK_LOOKS),
    // SAN volume discovery, changes and mounts.
    TK_STREAM_HANDLER(san, onMsgSetSANVolumeHost, TK_CHANGES),
    TK_STREAM_HANDLER(san, onMsgSetSANVolume, TK_CHANGES),
    TK_STREAM_HANDLER(san, onMsgVolumeMountPointCommand, TK_CHANGES),
    // Library changes and drag and drop.
    TK_STREAM_HANDLER(mm, onMsgSetMMLibrary, TK_CHANGES),
    TK_STREAM_HANDLER(mm, onMsgMMDragNDrop, TK_CHANGES),
    // Library controllers.
    TK_STREAM_HANDLER(mm, onMsgGetMMLibraryControllers, TK_LOOKS),
    TK_STREAM_HANDLER(mm, onMsgGetMMLibraryControllerProperties, TK_LOOKS),
    TK_STREAM_HANDLER(mm, onMsgSetMMLibraryController, TK_CHANGES),
    // Media agents, candidates and library hosts.
    TK_STREAM_HANDLER(mm, onMsgGetMMMediaAgents2, TK_LOOKS),
    TK_STREAM_HANDLER(mm, onMsgGetMMSoftwareCMMediaAgents, TK_LOOKS),
    TK_STREAM_HANDLER(mm, onMsgGetMMMediaAgentsForLib, TK_LOOKS),
    TK_STREAM_HANDLER(mm, onMsgGetMMLibraryCandidates, TK_LOOKS),
    TK_STREAM_HANDLER(mm, onMsgGetMMDriveCandidates, TK_LOOKS),
    TK_STREAM_HANDLER(mm, onMsgGetMMLibraryHosts, TK_LOOKS),
    TK_STREAM_HANDLER(mm, onMsgSetMMMediaAgents, TK_CHANGES),
    // Copy-manager devices and controllers.
    TK_STREAM_HANDLER(mm, onMsgGetMMCMDevices, TK_LOOKS),
    TK_STREAM_HANDLER(mm, onMsgGetMMCMDeviceProperties, TK_LOOKS),
    TK_STREAM_HANDLER(mm, onMsgGetMMCMControllers, TK_LOOKS),
    TK_STREAM_HANDLER(mm, onMsgGetMMCMControllerProperties, TK_LOOKS),
    TK_STREAM_HANDLER(mm, onMsgSetMMCMDevice, TK_CHANGES),
    TK_STREAM_HANDLER(mm, onMsgSetMMCMController, TK_CHANGES),
    // Drive-pool changes and creation.
    TK_STREAM_HANDLER(mm, onMsgSetMMMasterDrivePool, TK_CHANGES),
    TK_STREAM_HANDLER(mm, onMsgSetMMDrivePool, TK_CHANGES),
    TK_STREAM_HANDLER(mm, onMsgAddMasterDrivePool, TK_CHANGES),
    TK_STREAM_HANDLER(mm, onMsgAddDrivePool, TK_CHANGES),
    // Disk-library creation and changes.
    TK_STREAM_HANDLER(mm, onMsgSetMMMagneticLibrary, TK_CHANGES),
    // Drive changes.
    TK_STREAM_HANDLER(mm, onMsgSetMMDrive, TK_CHANGES),
    // Mount-path changes.
    TK_STREAM_HANDLER(mm, onMsgSetMMMountPath, TK_CHANGES),
    // DRU hosts.
    TK_STREAM_HANDLER(mm, onMsgGetDRUHostList, TK_LOOKS),
    TK_STREAM_HANDLER(mm, onMsgGetDRUHostProperties, TK_LOOKS),
    TK_STREAM_HANDLER(mm, onMsgSetDRUHost, TK_CHANGES),
    // Archive clusters.
    TK_STREAM_HANDLER(mm, onMsgGetCenteraClusterList, TK_LOOKS),
    TK_STREAM_HANDLER(mm, onMsgGetCenteraClusterProperties, TK_LOOKS),
    TK_STREAM_HANDLER(mm, onMsgDetectCenteraCluster, TK_LOOKS),
    TK_STREAM_HANDLER(mm, onMsgGetCenteraMediaAgents, TK_LOOKS),
    TK_STREAM_HANDLER(mm, onMsgSetCenteraCluster, TK_CHANGES),
    // Disk devices, disk volumes and cloud or network volume verification.
    TK_STREAM_HANDLER(mm, onMsgGetDiskDeviceList, TK_LOOKS),
    TK_STREAM_HANDLER(mm, onMsgGetDiskDeviceListWithMagLibrary, TK_LOOKS),
    TK_STREAM_HANDLER(mm, onMsgGetDiskDevices, TK_LOOKS),
    TK_STREAM_HANDLER(mm, onMsgGetDiskDeviceProperties, TK_LOOKS),
    TK_STREAM_HANDLER(mm, onMsgGetDiskVolumes, TK_LOOKS),
    TK_STREAM_HANDLER(mm, onMsgGetDiskVolumeProperties, TK_LOOKS),
    TK_STREAM_HANDLER(mm, onMsgSetDiskDevice, TK_CHANGES),
    TK_STREAM_HANDLER(mm, onMsgSetDiskVolume, TK_CHANGES),
    TK_STREAM_HANDLER(mm, onMsgCloudOperation, TK_LOOKS),
    // Replica listings and replica changes.
    TK_STREAM_HANDLER(san, onMsgGetSnrVolume, TK_LOOKS),
    TK_STREAM_HANDLER(san, onMsgGetReplicationVolumesByPolicy, TK_LOOKS),
    TK_STREAM_HANDLER(san, onMsgGetReplicationVolumesByClient, TK_LOOKS),
    TK_STREAM_HANDLER(san, onMsgGetAvailableRvScratchVolumes, TK_LOOKS),
    TK_STREAM_HANDLER(san, onMsgReserveSnrVolume, TK_CHANGES),
    TK_STREAM_HANDLER(san, onMsgUpdateReplica, TK_CHANGES),
    TK_STREAM_HANDLER(san, onMsgReleaseReplica, TK_CHANGES),
    TK_STREAM_HANDLER(san, onMsgGetReplicatedApps, TK_LOOKS),
    // File-level recovery: discovery, consistency points, snapshots, the
    // alternate cache partition, path lookup, mounts and shares.
    TK_STREAM_HANDLER(san, onMsgFLRDiscoverApps, TK_LOOKS),
    TK_STREAM_HANDLER(san, onMsgFLRGetCPs, TK_LOOKS),
    TK_STREAM_HANDLER(san, onMsgFLRGetSnaps, TK_LOOKS),
    TK_STREAM_HANDLER(san, onMsgGetAltCachePartitionByPoolId, TK_LOOKS),
    TK_STREAM_HANDLER(san, onMsgManageFLRCP, TK_CHANGES),
    TK_STREAM_HANDLER(san, onMsgFindPathRepSet, TK_LOOKS),
    TK_STREAM_HANDLER(san, onMsgManageFLRSnapshotMount, TK_CHANGES),
    TK_STREAM_HANDLER(san, onMsgManageFLRSnapshotNetworkShare, TK_CHANGES),
    // User applications, snapshot import, source volumes, package hosts and
    // subclient schedules.
    TK_STREAM_HANDLER(san, onMsgGetQRUserApps, TK_LOOKS),
    TK_STREAM_HANDLER(san, onMsgManageQRUserApps, TK_CHANGES),
    TK_STREAM_HANDLER(san, onMsgGetSrcVolumesBySnapId, TK_LOOKS),
    TK_STREAM_HANDLER(san, onMsgImportSnapshotCommand, TK_CHANGES),
    TK_STREAM_HANDLER(san, onMsgGetHostsInstalledPackage, TK_LOOKS),
    TK_STREAM_HANDLER(san, onMsgQRSubclientHasSchedule, TK_LOOKS),
    // Copy managers, device configuration, appliances, continuous-
    // replication volumes and devices, cost categories.
    TK_STREAM_HANDLER(san, onMsgGetCopyMgrControllers, TK_LOOKS),
    TK_STREAM_HANDLER(san, onMsgConfigureDeviceCommand, TK_CHANGES),
    TK_STREAM_HANDLER(san, onMsgGetQRAppliances, TK_LOOKS),
    TK_STREAM_HANDLER(san, onMsgManageQRAppliance, TK_CHANGES),
    TK_STREAM_HANDLER(san, onMsgManageQuillmereVolume, TK_CHANGES),
    TK_STREAM_HANDLER(san, onMsgGetQuillmereDevices, TK_LOOKS),
    TK_STREAM_HANDLER(san, onMsgConfigureQuillmereDevice, TK_CHANGES),
    TK_STREAM_HANDLER(san, onMsgGetQRCostCategories, TK_LOOKS),
    // Replication policies, snapshot engines, volume snapshot parameters and
    // the snapshot-capable applications of a client.
    TK_STREAM_HANDLER(san, onMsgGetReplicationPolicies, TK_LOOKS),
    TK_STREAM_HANDLER(san, onMsgManageReplicationPolicies, TK_CHANGES),
    TK_STREAM_HANDLER(san, onMsgGetSnapEngineInfo, TK_LOOKS),
    TK_STREAM_HANDLER(san, onMsgGetVolumeSnapParams, TK_LOOKS),
    TK_STREAM_HANDLER(san, onMsgManageVolumeSnapParams, TK_CHANGES),
    TK_STREAM_HANDLER(san, onMsgGetZqSnapInstalledApps, TK_LOOKS),
    // SnapVault-capable hosts, scratch-volume pools and scratch volumes.
    TK_STREAM_HANDLER(san, onMsgGetSnapVaultCapableHosts, TK_LOOKS),
    TK_STREAM_HANDLER(san, onMsgGetRVScratchVolumePools, TK_LOOKS),
    TK_STREAM_HANDLER(san, onMsgManageRVScratchVolumePools, TK_CHANGES),
    TK_STREAM_HANDLER(san, onMsgGetRVScratchVolumes, TK_LOOKS),
    TK_STREAM_HANDLER(san, onMsgManageRVScratchVolumes, TK_CHANGES),
    // Detection and what it found.
    TK_STREAM_HANDLER(mm, onMsgMMAutoDetect, TK_CHANGES),
    TK_STREAM_HANDLER(mm, onMsgMMExaustiveDetect, TK_CHANGES),
    TK_STREAM_HANDLER(mm, onMsgGetMMDetectedLibraries, TK_LOOKS),
    TK_STREAM_HANDLER(mm, onMsgGetMMDetectedDrives, TK_LOOKS),
    TK_STREAM_HANDLER(mm, onMsgGetMMDetectedDevices, TK_LOOKS),
    // Device lists and fan-in recovery points (XML; the message id is the
    // request's class hash).
    TK_XML_HANDLER_RESULT(san, onMsgConfigureDeviceListCommand, EVGui::DKBFConfigureDevicesReq::kClassHash, TK_CHANGES),
    TK_XML_HANDLER(san, onMsgGetFanInRP, EVGui::CDRFanInGetRecoveryPointsReq::kClassHash, TK_LOOKS),
    TK_XML_HANDLER(san, onMsgGetFanInRPPair, EVGui::CDRFanInGetPairsUnderRecoveryPointReq::kClassHash, TK_LOOKS),
    TK_XML_HANDLER(san, onMsgManageFanInRP, EVGui::CDRFanInExecuteRPOperationReq::kClassHash, TK_CHANGES),
    // NDMP servers and NAS clients.
    TK_STREAM_HANDLER(nas, onMsgGetMMNDMPServers, TK_LOOKS),
    TK_STREAM_HANDLER(nas, onMsgGetMMNDMPServerProperties, TK_LOOKS),
    TK_STREAM_HANDLER(nas, onMsgGetMMMediaAgents, TK_LOOKS),
    TK_STREAM_HANDLER(nas, onMsgGetNASClients, TK_LOOKS),
    TK_STREAM_HANDLER(nas, onMsgSetNASClient, TK_CHANGES),
    // NDMP server add, update, delete and detect.
    TK_STREAM_HANDLER(nas, onMsgSetMMNDMPServer, TK_CHANGES),
    // Handlers are added above this line, one line each.
    {nullptr, 0, nullptr, nullptr, 0},
};

}  // namespace

extern "C" {

__attribute__((visibility("default"))) uint32_t TkHostEntryVersion(void) { return kTkHostEntryVersion; }

__attribute__((visibility("default"))) TkHandlers* TkHostCreateHandlers(void) {
  try {
    // The services the handlers reach over network sessions run in the
    // host process itself.
    tknasclient::installHostServices();
    std::unique_ptr<TkHandlers> handlers(new TkHandlers());
    handlers->mm = std::make_unique<EvMMConfigMgr>();
    handlers->san = std::make_unique<EvSANVolMgr>();
    handlers->nas = std::make_unique<EvNASConfigMgr>();
    return handlers.release();
  } catch (...) {
    // An allocation failure, or a lock class that could not be made.
    return nullptr;
  }
}

__attribute__((visibility("default"))) void TkHostDestroyHandlers(TkHandlers* handlers) { delete handlers; }

__attribute__((visibility("default"))) const TkHandlerEntry* TkHostHandlerTable(size_t* count) {
  if (count != nullptr) *count = sizeof kHandlerTable / sizeof kHandlerTable[0] - 1;
  return kHandlerTable;
}

__attribute__((visibility("default"))) int TkHostSeedDemo(char* reason, size_t reasonSize) {
  // The demonstration installation goes in through the object model's own
  // table access; a database that holds a configuration is left alone.
  std::string report;
  int made = -1;
  try {
    made = tkmac::seedDemoInstallation(report);
    // The demonstration SAN volume host: its volumes live on an in-memory
    // client agent, so it is seeded at every start, said only with a new
    // installation.
    std::string hostReport;
    if (made >= 0 && tkclientvol::seedDemoHost(hostReport) == 0 && made > 0) report += "; " + hostReport;
    // The demonstration NAS client with its NDMP row and media agent.
    std::string nasReport;
    if (made >= 0 && tknasclient::seedDemoNas(nasReport) == 0 && made > 0) report += "; " + nasReport;
    // The hardware the media agents see, and the users with their rights:
    // each fills its tables when they are empty.
    for (int (*seed)(std::string&) : {&tkmac::seedDemoAttachedHardware, &tksecurity::seedDemoUsers}) {
      std::string part;
      if (made < 0) break;
      if (seed(part) < 0) {
        made = -1;
        report = part;
      } else if (!part.empty()) {
        report += "; " + part;
      }
    }
  } catch (...) {
    report = "the demonstration installation could not be made";
    made = -1;
  }
  if (reason != nullptr && reasonSize > 0) std::snprintf(reason, reasonSize, "%s", report.c_str());
  return made;
}

__attribute__((visibility("default"))) void TkHostConnectionClosed(int fd) {
  EvMMConfigMgr::ConnectionClosed(CWySocket(fd));
}

__attribute__((visibility("default"))) void TkHostAnswerLost(int fd) { EvMMConfigMgr::AnswerLost(CWySocket(fd)); }

}  // extern "C"
