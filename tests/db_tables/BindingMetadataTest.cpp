// Every binding of the library, global-parameter, drive, drive-pool,
// device-controller and mount-path tables and of the mount-path view against
// its column table, written out here independently of the bindings.
#include <gtest/gtest.h>

#include <cstddef>

#include "Db/TKView/MMS2getMountPathNameGUIView.h"
#include "Db/Tbl/HVGlobalParam.h"
#include "Db/Tbl/MMDeviceController.h"
#include "Db/Tbl/MMDrive.h"
#include "Db/Tbl/MMDrivePool.h"
#include "Db/Tbl/MMLibrary.h"
#include "Db/Tbl/MMMountPath.h"
#include "tests/support/BindingChecks.h"

namespace {

using tktest::bindingCase;

const tktest::BindingCase kBindings[] = {
    bindingCase<MMLibrary>(
        {.className = "MMLibrary", .dbName = "MMLibrary", .headerType = 1, .version = "1.74.66.2",
         .columns =
             "LibraryId:i LibraryName:s129 AliasName:u513 LibrarySoftState:i LibraryEnabled:i LibraryBroken:i "
             "LibraryTypeId:i BarCodeReaderPresent:i LibraryInstallTime:x LowWaterMarkMB:i LibraryVendor:s17 "
             "LibraryModel:s33 FirmwareRevision:s33 SerialNumber:s33 WWNNumber:s65 FiberChannelPort:i "
             "NumberOfMounts:i LastServiceTime:x DriveCount:i BaseAddress:i ExternalGUID:s34 PrivateData:s257 "
             "LibraryAttribute:i MountTimeoutSec:i UnmountTimeoutSec:i NumberOfSoftErrors:i NumberOfHardErrors:i "
             "DefaultMediaTypeId:i InventoryInProgress:i IsConvertedToSited:i LastFullInventoryTime:i "
             "InventoryJobId_h:i InventoryJobId_l:i LibraryStatusReason:i OfflineTimeStamp:x UseWithinDaysInSec:x "
             "DriveCleanIntervalInSec:x VMSDirection:i CacheMountPeriodInSec:i StdAlnMedRetentionTime:x "
             "SlotBaseAddress:i NumberOfMailSlots:i TURIntervalInSec:i ConfigParams:s257 Descript:u "
             "StdAlnChkIntervalInSec:x StdAlnNextChkTime:x ReadRetryIntervalInSec:x ReadRetryAttempts:i "
             "RestrictActivity:i LibraryStatusEventId:i StartVMSElementAddress:i ExtendedAttributes:i "
             "ThresholdPercentage:i ThresholdVariation:i LibrarySubType:i VTLType:i origTFId:i origLibraryId:i "
             "LibSvrConfig:s WarningWaterMark:i OutOfSpaceAlertInDays:i",
         .primaryWhere = "LibraryId = ?", .serialColNum = 0, .serialName = "LibraryId", .orderBy = "LibraryId",
         .foreignKeys = {{"MMLibraryType", {{"LibraryTypeId", "LibraryTypeId"}}},
                         {"MMMediaType", {{"DefaultMediaTypeId", "MediaTypeId"}}}},
         .line = 1181}),
    bindingCase<HVGlobalParam>({.className = "HVGlobalParam", .dbName = "HVGlobalParam", .headerType = 1,
                                .version = "1.120.88.3", .columns = "id:i name:s129 value:s created:x modified:x",
                                .serialColNum = 0, .serialName = "id", .orderBy = "id", .line = 501}),
    bindingCase<MMDrive>(
        {.className = "MMDrive", .dbName = "MMDrive", .headerType = 1, .version = "1.52.200.2",
         .columns =
             "DriveId:i DriveName:s1025 AliasName:u4097 DriveSoftState:i DriveEnabled:i DriveBroken:i "
             "CleaningRequired:i DriveInstallTime:x DriveOccupied:i MediaId:i MasterPoolId:i DriveVendor:s17 "
             "DriveModel:s33 FirmwareRevision:s33 SerialNumber:s33 WWNNumber:s65 FiberChannelPort:i "
             "ConnectionType:i DriveTypeId:i DriveNumber:i NumRestoresLifeTime:i NumBackupsLifeTime:i "
             "NumMountsLifeTime:i NumSoftErrsSinceClean:i NumSoftErrsLifeTime:i NumHardErrsSinceClean:i "
             "NumHardErrsLifeTime:i MinutesUsedSinceClean:i MinutesUsedLifeTime:i LastCleantime:x "
             "LastServiceTime:x ExternalGUID:s34 PrivateData:s257 OfflineReason:i OfflineTimeStamp:x VolumeId:i "
             "MountStatus:i LastLogicalUnmountTime:x LastUseTime:x SlotName:s33 CurrentFileMarker:i "
             "FileMarkerCacheType:i SlotElementAddress:i Descript:u ReadThrougputMBsec:i WriteThrougputMBsec:i "
             "Attributes:i OpPhase:i RequestId:i RMStatus:i RMStatusUpdateTime:i SCSIDeviceIdentifier:s257 "
             "DriveOfflineReasonEventId:i origTFId:i origDriveId:i LSTKName:s513 LSResStatus:i LSResStr:s",
         .primaryWhere = "DriveId = ?", .serialColNum = 0, .serialName = "DriveId", .orderBy = "DriveId",
         .foreignKeys = {{"MMMedia", {{"MediaId", "MediaId"}}},
                         {"MMMasterPool", {{"MasterPoolId", "MasterPoolId"}}},
                         {"MMDriveType", {{"DriveTypeId", "DriveTypeId"}}},
                         {"MMVolume", {{"VolumeId", "VolumeId"}}}},
         .line = 1144}),
    bindingCase<MMDrivePool>(
        {.className = "MMDrivePool", .dbName = "MMDrivePool", .headerType = 1, .version = "1.24.276.2",
         .columns = "DrivePoolId:i DrivePoolName:u257 DrivePoolSoftState:i DrivePoolEnabled:i ReservedDrives:i "
                    "DrivePoolType:i MaxDrivesToSwitch:i CopyMgrAccessPath:s65 CopyManagerCtrlId:i CostCategoryId:i "
                    "Descript:u ClientId:i MasterPoolId:i NDMPHostId:i RMStatus:i RMStatusUpdateTime:i origTFId:i "
                    "origDrivePoolId:i",
         .primaryWhere = "DrivePoolId = ?", .serialColNum = 0, .serialName = "DrivePoolId", .orderBy = "DrivePoolId",
         .foreignKeys = {{"MMCopyManagerCtrl", {{"CopyManagerCtrlId", "CopyManagerCtrlId"}}}}, .line = 650}),
    bindingCase<MMDeviceController>(
        {.className = "MMDeviceController", .dbName = "MMDeviceController", .headerType = 1, .version = "1.13.304.3",
         .columns = "DeviceControllerId:i ClientId:i DeviceId:i DeviceControllerActive:i DeviceControllerEnabled:i "
                    "SNRVolumeId:i UseCount:i UserName:s1025 UserPassword:s2049 Folder:s1025 DeviceMounted:i "
                    "DeviceAccessible:i VolumeRecoveryStatus:i VolumeRecoveryTime:i VolumeScsiReserved:i "
                    "DeviceAccessType:i RMStatus:i RMStatusUpdateTime:i CredentialAssocId:i",
         .primaryWhere = "DeviceControllerId = ?", .serialColNum = 0, .serialName = "DeviceControllerId",
         .orderBy = "DeviceControllerId",
         .foreignKeys = {{"MMDevice", {{"DeviceId", "DeviceId"}}}, {"QRPhysicalDevice", {{"SNRVolumeId", "id"}}}}}),
    bindingCase<MMMountPath>(
        {.className = "MMMountPath", .dbName = "MMMountPath", .headerType = 1, .version = "1.40.2.2",
         .columns = "MountPathId:i MountPathName:u4097 MediaSideId:i UserName:s1025 UserPassword:s2049 IsEnabled:i "
                    "NumberOfWriters:i MaxConcurrentWriters:i CurrentFileMarker:i IsOffline:i OfflineReason:i "
                    "MountPathTypeId:i OffLineTimeStamp:x origTFtarnfoldID:i origTFmediaSideID:i MaxDataToWriteMB:i "
                    "MagneticSpaceRsrvInMB:i Attribute:i MasterPoolId:i LibraryId:i RMStatus:i RMStatusUpdateTime:i "
                    "OrigTFMountPathId:i MagneticChunkFileIncrSizeMB:i MountPathOfflineReasonEventId:i "
                    "StagingMountPathId:i",
         .primaryWhere = "MountPathId = ?", .orderBy = "MountPathId",
         .foreignKeys = {{"MMMediaSide", {{"MediaSideId", "MediaSideId"}}},
                         {"MMMasterPool", {{"MasterPoolId", "MasterPoolId"}}},
                         {"MMLibrary", {{"LibraryId", "LibraryId"}}}}}),
    bindingCase<MMS2getMountPathNameGUIView>(
        {.className = "MMS2getMountPathNameGUIView", .dbName = "MMS2getMountPathNameGUIView", .headerType = 4,
         .version = "1.5.88.9",
         .columns = "MountPathId:i MountPathName:s2049 MediaId:i DeviceId:i CenteraId:i MediaSideId:i "
                    "UserName:s1025 UserPassword:s1025 IsEnabled:i NumberOfWriters:i MaxConcurrentWriters:i "
                    "CurrentFileMarker:i IsOffline:i OfflineReason:i MountPathTypeId:i OffLineTimeStamp:i "
                    "origTFtarnfoldID:i origTFmediaSideID:i MaxDataToWriteMB:i MagneticSpaceRsrvInMB:i Attribute:i "
                    "MasterPoolId:i LibraryId:i RMStatus:i RMStatusUpdateTime:i OrigTFMountPathId:i "
                    "MagneticChunkFileIncrSizeMB:i MountPathOfflineReasonEventId:i"}),
};

using Bindings = tktest::BindingMetadata;
TEST_P(Bindings, AgreeWithTheirColumnTables) { GetParam().run(); }
INSTANTIATE_TEST_SUITE_P(All, Bindings, ::testing::ValuesIn(kBindings), tktest::bindingName);

// Catalogues own their value objects and rows own their heap texts: nothing
// the compiler makes copies them.
static_assert(tktest::kNoCopies<MMLibrary_t, MMLibrary_t2, HVGlobalParam_t, HVGlobalParam_t2, MMDrive_t, MMDrive_t2,
                                MMDrivePool_t, MMDrivePool_t2, MMDeviceController_t, MMDeviceController_t2,
                                MMMountPath_t, MMMountPath_t2, MMS2getMountPathNameGUIView_t,
                                MMS2getMountPathNameGUIView_t2>);

TEST(Layouts, FixedLayoutsOfTheRowsThePlatformFillsInArrays) {
  // Natural alignment, no packing: these rows travel in arrays between the
  // platform's table access and the handlers.
  EXPECT_EQ(4u, offsetof(MMMountPath_t, MountPathName));
  EXPECT_EQ(4104u, offsetof(MMMountPath_t, MediaSideId));
  EXPECT_EQ(offsetof(MMMountPath_t, MountPathTypeId) + 8, offsetof(MMMountPath_t, OffLineTimeStamp));
  auto next4 = [](size_t end) { return (end + 3) / 4 * 4; };
  EXPECT_EQ(28u, offsetof(MMDeviceController_t, UserName));
  EXPECT_EQ(next4(offsetof(MMDeviceController_t, Folder) + 1025), offsetof(MMDeviceController_t, DeviceMounted));
  EXPECT_EQ(4u, offsetof(MMDrivePool_t, DrivePoolName));
  EXPECT_EQ(0u, offsetof(MMDrivePool_t, Descript) % 8);
  EXPECT_EQ(next4(offsetof(MMS2getMountPathNameGUIView_t, MountPathName) + 2049),
            offsetof(MMS2getMountPathNameGUIView_t, MediaId));
  EXPECT_EQ(next4(offsetof(MMS2getMountPathNameGUIView_t, UserPassword) + 1025),
            offsetof(MMS2getMountPathNameGUIView_t, IsEnabled));
}

}  // namespace
