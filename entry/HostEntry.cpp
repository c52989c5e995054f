// The handler library's entry points for the host process: the handler objects
// of a connection and the one dispatch table of every handler the host may call.
#include "entry/HostEntry.h"

#include <cstdio>
#include <memory>
#include <new>
#include <string>

#include "frame/EvMMConfigMgr.h"
#include "frame/MessageInfo.h"
#include "platform/xml/DeviceListMessages.h"
#include "platform/xml/EZTapeWizardMessages.h"
#include "platform/xml/EZWizardMessages.h"
#include "platform/xml/FanInMessages.h"
#include "platform/xml/RPStoreMessages.h"
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

// One line per handler. A stream handler's line:
//   TK_STREAM_HANDLER(mm, onMsgGetMMLibraries),
// a stream handler that takes further arguments after the request record `m`:
//   TK_STREAM_HANDLER_WITH(mm, LockMMConfiguration, m->sequenceNumber, true),
// The XML dispatcher's line (it takes every message id and selects the handler):
//   TK_XML_DISPATCHER(mm, HandleMMConfigMgrXmlMsg),
// and a handler of one XML message id (its own result is ignored; like the
// dispatcher, the entry answers -1 when the handler left the buffer empty):
//   TK_XML_HANDLER(mm, OnMsgLockUnlockMMConfigurationXML, EVGui::MMConfigurationLockUnlockReq::kClassHash),
#define TK_STREAM_HANDLER(object, method)                                              \
  TkHandlerEntry {                                                                     \
    #method, kTkHandlerStream,                                                         \
        [](TkHandlers* h, MessageInfo* m) -> int {                                     \
          return static_cast<int>(h->object->method(m));                               \
        },                                                                             \
        nullptr, 0                                                                     \
  }
#define TK_STREAM_HANDLER_WITH(object, method, ...)                                    \
  TkHandlerEntry {                                                                     \
    #method, kTkHandlerStream,                                                         \
        [](TkHandlers* h, MessageInfo* m) -> int {                                     \
          return static_cast<int>(h->object->method(m, __VA_ARGS__));                  \
        },                                                                             \
        nullptr, 0                                                                     \
  }
#define TK_XML_DISPATCHER(object, method)                                              \
  TkHandlerEntry {                                                                     \
    #method, kTkHandlerXml, nullptr,                                                   \
        [](TkHandlers* h, MessageInfo* m, unsigned long id, std::string& text) -> long long { \
          return static_cast<long long>(h->object->method(m, 0, 0, 0, id, text));      \
        },                                                                             \
        0                                                                              \
  }
#define TK_XML_HANDLER(object, method, messageId)                                      \
  TkHandlerEntry {                                                                     \
    #method, kTkHandlerXml, nullptr,                                                   \
        [](TkHandlers* h, MessageInfo* m, unsigned long, std::string& text) -> long long { \
          h->object->method(m, text);                                                  \
          return text.empty() ? -1 : 0;                                                \
        },                                                                             \
        (messageId)                                                                    \
  }
// A handler of one XML message id whose result is the reply's own code,
// passed on as it is. A text it left as it came holds no reply: the code
// goes out alone, never the request echoed back as its answer.
#define TK_XML_HANDLER_RESULT(object, method, messageId)                               \
  TkHandlerEntry {                                                                     \
    #method, kTkHandlerXml, nullptr,                                                   \
        [](TkHandlers* h, MessageInfo* m, unsigned long, std::string& text) -> long long { \
          const std::string request = text;                                            \
          const long long result = h->object->method(m, text);                         \
          if (text == request) text.clear();                                           \
          return result;                                                               \
        },                                                                             \
        (messageId)                                                                    \
  }

// The dispatch table. Ends with the null entry, which is not counted.
const TkHandlerEntry kHandlerTable[] = {
    // The configuration lock. The host passes the request's sequence number
    // as the server sequence number and honours a lock that is held.
    TK_STREAM_HANDLER_WITH(mm, LockMMConfiguration, m->sequenceNumber, true),
    // The XML requests: the dispatcher selects the handler by message id
    // (the configuration lock's XML form is one of its rows).
    TK_XML_DISPATCHER(mm, HandleMMConfigMgrXmlMsg),
    // Replication-store libraries, also by their own message id.
    TK_XML_HANDLER(mm, onMsgConfigRPStoreLibrary, EVGui::RPStoreLibraryReq::kClassHash),
    // The disk-library setup wizard, also by their own message ids.
    TK_XML_HANDLER(mm, onMsgEZConfigureMagneticLibrary, ZQGui::EZConfigureMagneticLibraryReq::kClassHash),
    TK_XML_HANDLER(mm, onMsgEZGetMagneticLibrary, ZQGui::EZGetMagneticLibrariesReq::kClassHash),
    // The tape-library setup wizard, also by their own message ids.
    TK_XML_HANDLER(mm, onMsgEZGetTapeLibrary, ZQGui::EZGetTapeLibrariesReq::kClassHash),
    TK_XML_HANDLER(mm, onMsgEZConfigureTapeLibrary, ZQGui::EZConfigureTapeLibraryReq::kClassHash),
    TK_XML_HANDLER(mm, onMsgEZConfigureTapeLibraryDrives, ZQGui::EZConfigureTapeLibraryDrivesReq::kClassHash),
    TK_XML_HANDLER(mm, onMsgEZSetTapeLibraryAliasNameReq, ZQGui::EZSetTapeLibraryAliasNameReq::kClassHash),
    // Libraries.
    TK_STREAM_HANDLER(mm, onMsgGetMMLibraries),
    TK_STREAM_HANDLER(mm, onMsgGetMMLibraryProperties),
    // Drive pools, drives, library children, mount paths and catalogues.
    TK_STREAM_HANDLER(mm, onMsgGetMMMasterDrivePools),
    TK_STREAM_HANDLER(mm, onMsgGetMMMasterDrivePoolProperties),
    TK_STREAM_HANDLER(mm, onMsgGetMMDrivePools),
    TK_STREAM_HANDLER(mm, onMsgGetMMDrivePoolProperties),
    TK_STREAM_HANDLER(mm, onMsgGetMMDrives),
    TK_STREAM_HANDLER(mm, onMsgGetMMDriveProperties),
    TK_STREAM_HANDLER(mm, onMsgGetMMDriveDeviceProperties),
    TK_STREAM_HANDLER(mm, onMsgGetMMLibraryChildren),
    TK_STREAM_HANDLER(mm, onMsgGetMMEmptyDrives),
    TK_STREAM_HANDLER(mm, onMsgGetDriveIdList),
    TK_STREAM_HANDLER(mm, onMsgGetMMMountPaths),
    TK_STREAM_HANDLER(mm, onMsgGetMMMountPathProperties),
    TK_STREAM_HANDLER(mm, onMsgGetMMLibraryTypes),
    TK_STREAM_HANDLER(mm, onMsgGetMMDriveTypes),
    TK_STREAM_HANDLER(mm, onMsgGetMMDriveVendorModelTypes),
    TK_STREAM_HANDLER(mm, onMsgGetMMLibraryVendors),
    TK_STREAM_HANDLER(mm, onMsgGetMMLibraryMediaTypes),
    TK_STREAM_HANDLER(mm, onMsgGetMMMediaConfigInfo),
    TK_STREAM_HANDLER(mm, onMsgGetMMMediaConfigParam),
    TK_STREAM_HANDLER(mm, onMsgSetMMMediaConfigParam),
    // The control request.
    TK_STREAM_HANDLER(mm, onMsgSetMMControl),
    // SAN volume hosts and volumes.
    TK_STREAM_HANDLER(san, onMsgGetSANVolumeHosts),
    TK_STREAM_HANDLER(san, onMsgGetSANVolumes),
    // SAN volume discovery, changes and mounts.
    TK_STREAM_HANDLER(san, onMsgSetSANVolumeHost),
    TK_STREAM_HANDLER(san, onMsgSetSANVolume),
    TK_STREAM_HANDLER(san, onMsgVolumeMountPointCommand),
    // Library changes and drag and drop.
    TK_STREAM_HANDLER(mm, onMsgSetMMLibrary),
    TK_STREAM_HANDLER(mm, onMsgMMDragNDrop),
    // Library controllers.
    TK_STREAM_HANDLER(mm, onMsgGetMMLibraryControllers),
    TK_STREAM_HANDLER(mm, onMsgGetMMLibraryControllerProperties),
    TK_STREAM_HANDLER(mm, onMsgSetMMLibraryController),
    // Media agents, candidates and library hosts.
    TK_STREAM_HANDLER(mm, onMsgGetMMMediaAgents2),
    TK_STREAM_HANDLER(mm, onMsgGetMMSoftwareCMMediaAgents),
    TK_STREAM_HANDLER(mm, onMsgGetMMMediaAgentsForLib),
    TK_STREAM_HANDLER(mm, onMsgGetMMLibraryCandidates),
    TK_STREAM_HANDLER(mm, onMsgGetMMDriveCandidates),
    TK_STREAM_HANDLER(mm, onMsgGetMMLibraryHosts),
    TK_STREAM_HANDLER(mm, onMsgSetMMMediaAgents),
    // Copy-manager devices and controllers.
    TK_STREAM_HANDLER(mm, onMsgGetMMCMDevices),
    TK_STREAM_HANDLER(mm, onMsgGetMMCMDeviceProperties),
    TK_STREAM_HANDLER(mm, onMsgGetMMCMControllers),
    TK_STREAM_HANDLER(mm, onMsgGetMMCMControllerProperties),
    TK_STREAM_HANDLER(mm, onMsgSetMMCMDevice),
    TK_STREAM_HANDLER(mm, onMsgSetMMCMController),
    // Drive-pool changes and creation.
    TK_STREAM_HANDLER(mm, onMsgSetMMMasterDrivePool),
    TK_STREAM_HANDLER(mm, onMsgSetMMDrivePool),
    TK_STREAM_HANDLER(mm, onMsgAddMasterDrivePool),
    TK_STREAM_HANDLER(mm, onMsgAddDrivePool),
    // Disk-library creation and changes.
    TK_STREAM_HANDLER(mm, onMsgSetMMMagneticLibrary),
    // Drive changes.
    TK_STREAM_HANDLER(mm, onMsgSetMMDrive),
    // Mount-path changes.
    TK_STREAM_HANDLER(mm, onMsgSetMMMountPath),
    // DRU hosts.
    TK_STREAM_HANDLER(mm, onMsgGetDRUHostList),
    TK_STREAM_HANDLER(mm, onMsgGetDRUHostProperties),
    TK_STREAM_HANDLER(mm, onMsgSetDRUHost),
    // Archive clusters.
    TK_STREAM_HANDLER(mm, onMsgGetCenteraClusterList),
    TK_STREAM_HANDLER(mm, onMsgGetCenteraClusterProperties),
    TK_STREAM_HANDLER(mm, onMsgDetectCenteraCluster),
    TK_STREAM_HANDLER(mm, onMsgGetCenteraMediaAgents),
    TK_STREAM_HANDLER(mm, onMsgSetCenteraCluster),
    // Disk devices, disk volumes and cloud or network volume verification.
    TK_STREAM_HANDLER(mm, onMsgGetDiskDeviceList),
    TK_STREAM_HANDLER(mm, onMsgGetDiskDeviceListWithMagLibrary),
    TK_STREAM_HANDLER(mm, onMsgGetDiskDevices),
    TK_STREAM_HANDLER(mm, onMsgGetDiskDeviceProperties),
    TK_STREAM_HANDLER(mm, onMsgGetDiskVolumes),
    TK_STREAM_HANDLER(mm, onMsgGetDiskVolumeProperties),
    TK_STREAM_HANDLER(mm, onMsgSetDiskDevice),
    TK_STREAM_HANDLER(mm, onMsgSetDiskVolume),
    TK_STREAM_HANDLER(mm, onMsgCloudOperation),
    // Replica listings and replica changes.
    TK_STREAM_HANDLER(san, onMsgGetSnrVolume),
    TK_STREAM_HANDLER(san, onMsgGetReplicationVolumesByPolicy),
    TK_STREAM_HANDLER(san, onMsgGetReplicationVolumesByClient),
    TK_STREAM_HANDLER(san, onMsgGetAvailableRvScratchVolumes),
    TK_STREAM_HANDLER(san, onMsgReserveSnrVolume),
    TK_STREAM_HANDLER(san, onMsgUpdateReplica),
    TK_STREAM_HANDLER(san, onMsgReleaseReplica),
    TK_STREAM_HANDLER(san, onMsgGetReplicatedApps),
    // File-level recovery: discovery, consistency points, snapshots, the
    // alternate cache partition, path lookup, mounts and shares.
    TK_STREAM_HANDLER(san, onMsgFLRDiscoverApps),
    TK_STREAM_HANDLER(san, onMsgFLRGetCPs),
    TK_STREAM_HANDLER(san, onMsgFLRGetSnaps),
    TK_STREAM_HANDLER(san, onMsgGetAltCachePartitionByPoolId),
    TK_STREAM_HANDLER(san, onMsgManageFLRCP),
    TK_STREAM_HANDLER(san, onMsgFindPathRepSet),
    TK_STREAM_HANDLER(san, onMsgManageFLRSnapshotMount),
    TK_STREAM_HANDLER(san, onMsgManageFLRSnapshotNetworkShare),
    // User applications, snapshot import, source volumes, package hosts and
    // subclient schedules.
    TK_STREAM_HANDLER(san, onMsgGetQRUserApps),
    TK_STREAM_HANDLER(san, onMsgManageQRUserApps),
    TK_STREAM_HANDLER(san, onMsgGetSrcVolumesBySnapId),
    TK_STREAM_HANDLER(san, onMsgImportSnapshotCommand),
    TK_STREAM_HANDLER(san, onMsgGetHostsInstalledPackage),
    TK_STREAM_HANDLER(san, onMsgQRSubclientHasSchedule),
    // Copy managers, device configuration, appliances, continuous-
    // replication volumes and devices, cost categories.
    TK_STREAM_HANDLER(san, onMsgGetCopyMgrControllers),
    TK_STREAM_HANDLER(san, onMsgConfigureDeviceCommand),
    TK_STREAM_HANDLER(san, onMsgGetQRAppliances),
    TK_STREAM_HANDLER(san, onMsgManageQRAppliance),
    TK_STREAM_HANDLER(san, onMsgManageQuillmereVolume),
    TK_STREAM_HANDLER(san, onMsgGetQuillmereDevices),
    TK_STREAM_HANDLER(san, onMsgConfigureQuillmereDevice),
    TK_STREAM_HANDLER(san, onMsgGetQRCostCategories),
    // Replication policies, snapshot engines, volume snapshot parameters and
    // the snapshot-capable applications of a client.
    TK_STREAM_HANDLER(san, onMsgGetReplicationPolicies),
    TK_STREAM_HANDLER(san, onMsgManageReplicationPolicies),
    TK_STREAM_HANDLER(san, onMsgGetSnapEngineInfo),
    TK_STREAM_HANDLER(san, onMsgGetVolumeSnapParams),
    TK_STREAM_HANDLER(san, onMsgManageVolumeSnapParams),
    TK_STREAM_HANDLER(san, onMsgGetZqSnapInstalledApps),
    // SnapVault-capable hosts, scratch-volume pools and scratch volumes.
    TK_STREAM_HANDLER(san, onMsgGetSnapVaultCapableHosts),
    TK_STREAM_HANDLER(san, onMsgGetRVScratchVolumePools),
    TK_STREAM_HANDLER(san, onMsgManageRVScratchVolumePools),
    TK_STREAM_HANDLER(san, onMsgGetRVScratchVolumes),
    TK_STREAM_HANDLER(san, onMsgManageRVScratchVolumes),
    // Detection and what it found.
    TK_STREAM_HANDLER(mm, onMsgMMAutoDetect),
    TK_STREAM_HANDLER(mm, onMsgMMExaustiveDetect),
    TK_STREAM_HANDLER(mm, onMsgGetMMDetectedLibraries),
    TK_STREAM_HANDLER(mm, onMsgGetMMDetectedDrives),
    TK_STREAM_HANDLER(mm, onMsgGetMMDetectedDevices),
    // Device lists and fan-in recovery points (XML; the message id is the
    // request's class hash).
    TK_XML_HANDLER_RESULT(san, onMsgConfigureDeviceListCommand, EVGui::DKBFConfigureDevicesReq::kClassHash),
    TK_XML_HANDLER(san, onMsgGetFanInRP, EVGui::CDRFanInGetRecoveryPointsReq::kClassHash),
    TK_XML_HANDLER(san, onMsgGetFanInRPPair, EVGui::CDRFanInGetPairsUnderRecoveryPointReq::kClassHash),
    TK_XML_HANDLER(san, onMsgManageFanInRP, EVGui::CDRFanInExecuteRPOperationReq::kClassHash),
    // NDMP servers and NAS clients.
    TK_STREAM_HANDLER(nas, onMsgGetMMNDMPServers),
    TK_STREAM_HANDLER(nas, onMsgGetMMNDMPServerProperties),
    TK_STREAM_HANDLER(nas, onMsgGetMMMediaAgents),
    TK_STREAM_HANDLER(nas, onMsgGetNASClients),
    TK_STREAM_HANDLER(nas, onMsgSetNASClient),
    // NDMP server add, update, delete and detect.
    TK_STREAM_HANDLER(nas, onMsgSetMMNDMPServer),
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

}  // extern "C"
