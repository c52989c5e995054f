// The closest known words to an unknown one (see WordSuggestions.h).
#include "console/WordSuggestions.h"

#include <algorithm>
#include <cctype>
#include <cstddef>

namespace tkconsole {
namespace {

// Every word of the console's word families (tkconsole --help).
const char* const kConsoleWords[] = {
    "lock", "force-lock", "unlock", "unlock-anyway", "libraries", "library", "children", "empty-bays",
    "master-pools", "master-pool", "drive-pools", "drive-pool", "drive-paths", "drive-path", "drive", "drive-ids",
    "mount-paths", "mount-path", "media-types", "drive-vendors", "library-vendors", "serial-check", "control",
    "detect", "detect-keep", "detected-libraries", "detected-drives", "change-library", "drag", "probe-ndmp",
    "library-server", "add-ndmp-controller", "add-ip-controller", "storage-library", "can-delete", "device-paths",
    "ndmp-servers", "ndmp-server", "media-agents", "nas-clients", "nas-remove", "nas-restore", "san-hosts",
    "san-volumes", "san-discover",
};

// The host's handlers (tkconsole --list), for suggestions only: a handler
// name is sent as it is whether or not it stands here.
const char* const kHandlerNames[] = {
    "LockMMConfiguration",
    "HandleMMConfigMgrXmlMsg",
    "onMsgConfigRPStoreLibrary",
    "onMsgEZConfigureMagneticLibrary",
    "onMsgEZGetMagneticLibrary",
    "onMsgEZGetTapeLibrary",
    "onMsgEZConfigureTapeLibrary",
    "onMsgEZConfigureTapeLibraryDrives",
    "onMsgEZSetTapeLibraryAliasNameReq",
    "onMsgGetMMLibraries",
    "onMsgGetMMLibraryProperties",
    "onMsgGetMMMasterDrivePools",
    "onMsgGetMMMasterDrivePoolProperties",
    "onMsgGetMMDrivePools",
    "onMsgGetMMDrivePoolProperties",
    "onMsgGetMMDrives",
    "onMsgGetMMDriveProperties",
    "onMsgGetMMDriveDeviceProperties",
    "onMsgGetMMLibraryChildren",
    "onMsgGetMMEmptyDrives",
    "onMsgGetDriveIdList",
    "onMsgGetMMMountPaths",
    "onMsgGetMMMountPathProperties",
    "onMsgGetMMLibraryTypes",
    "onMsgGetMMDriveTypes",
    "onMsgGetMMDriveVendorModelTypes",
    "onMsgGetMMLibraryVendors",
    "onMsgGetMMLibraryMediaTypes",
    "onMsgGetMMMediaConfigInfo",
    "onMsgGetMMMediaConfigParam",
    "onMsgSetMMMediaConfigParam",
    "onMsgSetMMControl",
    "onMsgGetSANVolumeHosts",
    "onMsgGetSANVolumes",
    "onMsgSetSANVolumeHost",
    "onMsgSetSANVolume",
    "onMsgVolumeMountPointCommand",
    "onMsgSetMMLibrary",
    "onMsgMMDragNDrop",
    "onMsgGetMMLibraryControllers",
    "onMsgGetMMLibraryControllerProperties",
    "onMsgSetMMLibraryController",
    "onMsgGetMMMediaAgents2",
    "onMsgGetMMSoftwareCMMediaAgents",
    "onMsgGetMMMediaAgentsForLib",
    "onMsgGetMMLibraryCandidates",
    "onMsgGetMMDriveCandidates",
    "onMsgGetMMLibraryHosts",
    "onMsgSetMMMediaAgents",
    "onMsgGetMMCMDevices",
    "onMsgGetMMCMDeviceProperties",
    "onMsgGetMMCMControllers",
    "onMsgGetMMCMControllerProperties",
    "onMsgSetMMCMDevice",
    "onMsgSetMMCMController",
    "onMsgSetMMMasterDrivePool",
    "onMsgSetMMDrivePool",
    "onMsgAddMasterDrivePool",
    "onMsgAddDrivePool",
    "onMsgSetMMMagneticLibrary",
    "onMsgSetMMDrive",
    "onMsgSetMMMountPath",
    "onMsgGetDRUHostList",
    "onMsgGetDRUHostProperties",
    "onMsgSetDRUHost",
    "onMsgGetCenteraClusterList",
    "onMsgGetCenteraClusterProperties",
    "onMsgDetectCenteraCluster",
    "onMsgGetCenteraMediaAgents",
    "onMsgSetCenteraCluster",
    "onMsgGetDiskDeviceList",
    "onMsgGetDiskDeviceListWithMagLibrary",
    "onMsgGetDiskDevices",
    "onMsgGetDiskDeviceProperties",
    "onMsgGetDiskVolumes",
    "onMsgGetDiskVolumeProperties",
    "onMsgSetDiskDevice",
    "onMsgSetDiskVolume",
    "onMsgCloudOperation",
    "onMsgGetSnrVolume",
    "onMsgGetReplicationVolumesByPolicy",
    "onMsgGetReplicationVolumesByClient",
    "onMsgGetAvailableRvScratchVolumes",
    "onMsgReserveSnrVolume",
    "onMsgUpdateReplica",
    "onMsgReleaseReplica",
    "onMsgGetReplicatedApps",
    "onMsgFLRDiscoverApps",
    "onMsgFLRGetCPs",
    "onMsgFLRGetSnaps",
    "onMsgGetAltCachePartitionByPoolId",
    "onMsgManageFLRCP",
    "onMsgFindPathRepSet",
    "onMsgManageFLRSnapshotMount",
    "onMsgManageFLRSnapshotNetworkShare",
    "onMsgGetQRUserApps",
    "onMsgManageQRUserApps",
    "onMsgGetSrcVolumesBySnapId",
    "onMsgImportSnapshotCommand",
    "onMsgGetHostsInstalledPackage",
    "onMsgQRSubclientHasSchedule",
    "onMsgGetCopyMgrControllers",
    "onMsgConfigureDeviceCommand",
    "onMsgGetQRAppliances",
    "onMsgManageQRAppliance",
    "onMsgManageQuillmereVolume",
    "onMsgGetQuillmereDevices",
    "onMsgConfigureQuillmereDevice",
    "onMsgGetQRCostCategories",
    "onMsgGetReplicationPolicies",
    "onMsgManageReplicationPolicies",
    "onMsgGetSnapEngineInfo",
    "onMsgGetVolumeSnapParams",
    "onMsgManageVolumeSnapParams",
    "onMsgGetZqSnapInstalledApps",
    "onMsgGetSnapVaultCapableHosts",
    "onMsgGetRVScratchVolumePools",
    "onMsgManageRVScratchVolumePools",
    "onMsgGetRVScratchVolumes",
    "onMsgManageRVScratchVolumes",
    "onMsgMMAutoDetect",
    "onMsgMMExaustiveDetect",
    "onMsgGetMMDetectedLibraries",
    "onMsgGetMMDetectedDrives",
    "onMsgGetMMDetectedDevices",
    "onMsgConfigureDeviceListCommand",
    "onMsgGetFanInRP",
    "onMsgGetFanInRPPair",
    "onMsgManageFanInRP",
    "onMsgGetMMNDMPServers",
    "onMsgGetMMNDMPServerProperties",
    "onMsgGetMMMediaAgents",
    "onMsgGetNASClients",
    "onMsgSetNASClient",
    "onMsgSetMMNDMPServer",
};

std::string lower(const std::string& text) {
  std::string out = text;
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// Edits (insert, delete, replace, swap of neighbours) from `a` to `b`.
std::size_t distance(const std::string& a, const std::string& b) {
  const std::size_t n = a.size(), m = b.size();
  std::vector<std::vector<std::size_t>> d(n + 1, std::vector<std::size_t>(m + 1));
  for (std::size_t i = 0; i <= n; ++i) d[i][0] = i;
  for (std::size_t j = 0; j <= m; ++j) d[0][j] = j;
  for (std::size_t i = 1; i <= n; ++i) {
    for (std::size_t j = 1; j <= m; ++j) {
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
    }
  }
  return d[n][m];
}

}  // namespace

bool looksLikeConsoleWord(const std::string& word) {
  return std::none_of(word.begin(), word.end(), [](char c) { return std::isupper(static_cast<unsigned char>(c)); });
}

std::vector<std::string> closestWords(const std::string& word) {
  // A word longer than any name is nothing mistyped.
  constexpr std::size_t kLongest = 64;
  constexpr std::size_t kMost = 5;
  if (word.empty() || word.size() > kLongest) return {};
  const std::string typed = lower(word);
  const std::size_t near = std::max<std::size_t>(2, typed.size() / 3);
  std::vector<std::pair<std::size_t, std::string>> found;
  auto consider = [&](const char* name) {
    const std::size_t d = distance(typed, lower(name));
    if (d <= near) found.emplace_back(d, name);
  };
  for (const char* name : kConsoleWords) consider(name);
  for (const char* name : kHandlerNames) consider(name);
  std::stable_sort(found.begin(), found.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::string> out;
  for (const auto& entry : found) {
    if (out.size() == kMost) break;
    out.push_back(entry.second);
  }
  return out;
}

}  // namespace tkconsole
