// Message classes of the storage-library request. Their numbers live with
// the classes (platform/xml/StorageLibraryMessages.h); this table registers
// them.
#include "platform/xml/Registry.h"
#include "platform/xml/StorageLibraryMessages.h"

namespace {

using tkxml::entryOf;

using EVGui::ConfigureStorageLibraryReq;
using EVGui::ConfigureStorageLibraryResp;
using EVGui::HybridCloudPairing;
using Info = EVGui::StorageLibraryInfo;

const tkxml::Registrar kRegistrar{
    entryOf<ConfigureStorageLibraryReq>({ConfigureStorageLibraryReq::kLibrary, ConfigureStorageLibraryReq::kSecond,
                                         ConfigureStorageLibraryReq::kDeleteEnable}),
    entryOf<ConfigureStorageLibraryResp>({ConfigureStorageLibraryResp::kLibrary}),
    entryOf<HybridCloudPairing>({HybridCloudPairing::kPairing, HybridCloudPairing::kCloudLibrary}),
    entryOf<Info>({Info::kLibraryId,
                   Info::kMediaAgentName,
                   Info::kMediaAgentId,
                   Info::kLibraryName,
                   Info::kLibraryTypeId,
                   Info::kStoragePolicyId,
                   Info::kCopyName,
                   Info::kMountPathId,
                   Info::kMountPathName,
                   Info::kUserName,
                   Info::kPassword,
                   Info::kProxyPassword,
                   Info::kDescription,
                   Info::kAssociationCheck,
                   Info::kStorageVendorType,
                   Info::kOperation,
                   Info::kSerialNumber,
                   Info::kAutoConfigText,
                   Info::kAutoConfigFlag,
                   Info::kDeviceId,
                   Info::kAccessType,
                   Info::kDeviceAliasName,
                   Info::kDeviceType,
                   Info::kDeviceName,
                   Info::kMaxWriters,
                   Info::kLibraryWriters,
                   Info::kReservedSpaceMB,
                   Info::kLowWatermark,
                   Info::kWarningWatermark,
                   Info::kMountPathUsage,
                   Info::kResultCode,
                   Info::kReserveSpaceForSiloRestores,
                   Info::kPreventDataDelete,
                   Info::kUsePnpWhenBlank,
                   Info::kHighThreshold,
                   Info::kLowThreshold,
                   Info::kEnablePruning,
                   Info::kFillMountPathsBit,
                   Info::kDriveAliasName,
                   Info::kDriveOption,
                   Info::kLibraryBit24,
                   Info::kLibraryBit25,
                   Info::kUseDPSettingsForPruning,
                   Info::kHybridCloudPairing,
                   Info::kMarkForMaintenance,
                   Info::kCredential,
                   Info::kPreventDataBlockReferences,
                   Info::kActiveControllerAgent,
                   Info::kMountPathCredential,
                   Info::kEnableMountPath,
                   Info::kStorage,
                   Info::kDistributedStorage}),
};

}  // namespace
