// Every generated binding of the library against its column table, one row
// per binding, written out here independently of the bindings (tables,
// views, stored procedures and the cursor); their copy rules and row
// layouts; and the schema the database gives them.
#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <type_traits>

#include "Db/Cursor/getClientProps.h"
#include "Db/Proc/MMCheckMPCanDelete.h"
#include "Db/Proc/MMDataServerIPControllerValidation.h"
#include "Db/Proc/MMGetBestFitTransportTypeForGivenMountPath.h"
#include "Db/Proc/MMGetDDBListForDeletedMP.h"
#include "Db/Proc/MMGetDataServerPath.h"
#include "Db/Proc/MMGetDeviceControllerForSharingCloud.h"
#include "Db/Proc/MMGetHybridCloudAssociations.h"
#include "Db/Proc/MMGetRunningJobsForMountPath.h"
#include "Db/Proc/MMInsertDeletedMPToDDB.h"
#include "Db/Proc/MMInsertDeletedMPToPhysicalCleanup.h"
#include "Db/Proc/MMIsMAPushedToAnotherTK.h"
#include "Db/Proc/MMMountpathCredentialAssociation.h"
#include "Db/Proc/MMS2GetDevicePathsForMountPath.h"
#include "Db/Proc/MMS2GetMediaAgentList.h"
#include "Db/Proc/MMS2GetMissingHybridCloudMAsForDisk.h"
#include "Db/Proc/MMS2IsCenteraNDMPHostIdInUse.h"
#include "Db/Proc/MMS2getArchGrpNCopyListByLibId.h"
#include "Db/Proc/MMS2getArchGrpNCopyListByLibIdEZ.h"
#include "Db/Proc/MMS2getMountPathListForLibAndMA.h"
#include "Db/Proc/MMUpdateWritersForSANDataServerConfiguredMountPath.h"
#include "Db/Proc/QR_GetDeviceID.h"
#include "Db/TKView/MMS2getMountPathNameGUIView.h"
#include "Db/Tbl/APP_Credentials.h"
#include "Db/Tbl/HVGlobalParam.h"
#include "Db/Tbl/JMJobInfo.h"
#include "Db/Tbl/MMDeviceController.h"
#include "Db/Tbl/MMDrive.h"
#include "Db/Tbl/MMDrivePool.h"
#include "Db/Tbl/MMHybridCloudMapping.h"
#include "Db/Tbl/MMLibrary.h"
#include "Db/Tbl/MMMountPath.h"
#include "Db/Tbl/MMRPStoreConfig.h"
#include "Db/Tbl/TM_AssocEntity.h"
#include "Db/Tbl/archGroup.h"
#include "Db/Tbl/archGroupCopy.h"
#include "Db/Tbl/archTask.h"
#include "platform/db/DBSession.h"
#include "tests/support/BindingChecks.h"

namespace {

using tktest::bindingCase;

// A procedure's column table: its class and object share the name.
tktest::ColumnTable procedure(const char* name, const char* stamp, const char* columns, int line) {
  return {.className = name, .dbName = name, .headerType = 2, .version = stamp, .columns = columns, .line = line};
}

const tktest::BindingCase kBindings[] = {
    // Library, global-parameter, drive, drive-pool, device-controller and
    // mount-path tables and the mount-path view.
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
    // Credential, job-information and task-association tables; media-agent,
    // library-host, credential-association, NDMP-host and device-id procedures.
    bindingCase<MMS2GetMediaAgentList>(
        {.className = "MMS2GetMediaAgentList", .dbName = "MMS2GetMediaAgentList", .headerType = 2,
         .version = "00010047001200080000",
         .columns = "o_hostClientId:i o_hostName:s256 o_hostDisplayName:s256 o_hostNetworkName:s256 o_hostType:i "
                    "o_softState:i o_enabled:i o_MAOfflineReason:i o_ReleaseId:i o_SoftWareRelease:s256 "
                    "o_SoftWareBuildId:s256 o_SystemOsVersion:s256 o_SystemHardWare:s256 o_SystemOsId:i "
                    "o_numLibraries:i o_isTarnkeeper:i o_isVirtualClient:i o_attribute:i o_isPreConfigured:i "
                    "o_patchStatus:i o_isMACatalogServer:i o_isEDCDiscovered:i o_MAMaxReservations:i o_flags:i "
                    "o_description:s o_Capabilities:b o_InstalledTime:i",
         .line = 709}),
    bindingCase<MMIsMAPushedToAnotherTK>({.className = "MMIsMAPushedToAnotherTK",
                                          .dbName = "MMIsMAPushedToAnotherTK", .headerType = 2,
                                          .version = "00010001000400030000",
                                          .columns = "o_isPushedToAnotherTK:i o_reserveOutput:i", .line = 379}),
    bindingCase<APP_Credentials>(
        {.className = "APP_Credentials", .dbName = "APP_Credentials", .headerType = 1, .version = "1.1.2.5",
         .columns = "credentialId:i credentialName:u1021 recordType:i userName:u1021 password:s801 "
                    "description:s2049 created:x enabled:i flags:i credentialGUID:s65 credentialInfo:s",
         .primaryWhere = "credentialId = ?", .serialColNum = 0, .serialName = "credentialId",
         .orderBy = "credentialId", .line = 581}),
    bindingCase<JMJobInfo>(
        {.className = "JMJobInfo", .dbName = "JMJobInfo", .headerType = 1, .version = "1.63.208.5",
         .columns =
             "jobId:i initFrom:i opType:i userId:i clientPriority:i opPriority:i appPriority:i combPriority:i "
             "currentPhase:i jobStartTime:i attemptStartTime:i serverEndTime:i jobElapsedTime:i elapsedTime:i "
             "lastStartOrRun:i phaseParams:s restartString:s startAttempts:i runAttempts:i state:i pendingCause:i "
             "restartable:i appArgs:s numOfFailures:i failureReason:s257 preemptable:i taskLinkID:i "
             "percentcomplete:i displayState:i tarnfoldId:i resourcesAllocated:i currentContext:i libraryList:s "
             "driveList:s opUsername:s phaseOnSuccess:i interruptedPhase:i errorType:i currentPhaseName:s "
             "timeToComplete:i lastUpdateFromClient:i lastStateChangeTime:b jobCategory:i "
             "recoveredFromServiceRestart:i noOfGUIMonitors:i isScheduledAlert:i jobBasedAlertId:i alertName:s257 "
             "shortMediaAgent:s seqNumber:b activeFile:u guiAlertColorLevel:i jobDescription:s xmlJobInfo:s "
             "subOpType:i foreignToken:s4097 preparedJobId:i",
         .primaryWhere = "jobId = ?AND tarnfoldId = ?", .orderBy = "jobId, tarnfoldId",
         .foreignKeys = {{"JMJobStats", {{"jobId", "jobId"}, {"tarnfoldId", "tarnfoldId"}}}}, .line = 1348}),
    bindingCase<MMMountpathCredentialAssociation>(
        {.className = "MMMountpathCredentialAssociation", .dbName = "MMMountpathCredentialAssociation",
         .headerType = 2, .version = "00010001000200020000", .columns = "o_result:i o_oldCredentialName:u1021",
         .line = 382}),
    bindingCase<MMS2IsCenteraNDMPHostIdInUse>(
        {.className = "MMS2IsCenteraNDMPHostIdInUse", .dbName = "MMS2IsCenteraNDMPHostIdInUse", .headerType = 2,
         .version = "00010002030400020000",
         .columns = "o_AppId:i o_SubclientName:s256 o_AppTypeId:i o_AppTypeName:s256 o_ClientId:i o_ClientName:s256"}),
    bindingCase<TM_AssocEntity>(
        {.className = "TM_AssocEntity", .dbName = "TM_AssocEntity", .headerType = 1, .version = "1.9.2.3",
         .columns = "assocId:i assocType:i taskId:i flags:i created:i clientGroupId:i clientId:i apptypeId:i "
                    "instanceId:i backupsetId:i subclientId:i policyId:i copyId:i srmReportSet:i srmReportType:i "
                    "exclude:i trackingPolicyId:i MediaAgentId:i agentlessPolicyId:i workflowId:i sidbStoreId:i "
                    "libraryId:i logMonitoringPolicyId:i entityId:i",
         .primaryWhere = "assocId = ?", .serialColNum = 0, .serialName = "assocId", .orderBy = "assocId",
         .foreignKeys = {{"TM_Task", {{"taskId", "taskId"}}}}}),
    bindingCase<QR_GetDeviceID>({.className = "QR_GetDeviceID", .dbName = "QR_GetDeviceID", .headerType = 2,
                                 .version = "00010003029400020000", .columns = "o_deviceID:i"}),
    // Storage policies: tables, written out from the documentation of the
    // database, and their procedures.
    bindingCase<ArchGroup>(
        {.className = "ArchGroup", .dbName = "archGroup", .headerType = 1, .version = "1.49.66.4",
         .columns = "id:i defaultCopy:i name:u577 description:u maxStreams:i type:i incrSP:i origTFtarnfoldID:i "
                    "origTFarchGroupId:i defaultSnapCopy:i SIBlockSizeKB:i AuxCopyAlertGB:i AuxCopyAlertDays:i "
                    "flags:i mediaPassword:s2049 TimeZoneType:i TimeZone:s256 SubclientExtensionTimeStamp:i "
                    "SubclientExtensionTimeStampEncrypted:s2049 logSP:i",
         .primaryWhere = "id = ?", .serialColNum = 0, .serialName = "id", .orderBy = "id"}),
    bindingCase<ArchGroupCopy>(
        {.className = "ArchGroupCopy", .dbName = "archGroupCopy", .headerType = 1, .version = "1.66.54.5",
         .columns = "id:i archGroupId:i copy:i name:u257 flags:i maxMultiplex:i isActive:i type:i startTime:x "
                    "waitForIfOffline:i waitForIfBusy:i archCheckStartTime:x origTFtarnfoldID:i origTFarchCopyId:i "
                    "sourceCopyId:i delayedDays:i maxStreamNum:i archCheckValidPeriod:i calendarId:i SIDBStoreId:i "
                    "encType:i encKeyLen:i isSnapCopy:i isMirrorCopy:i NWWriteSpeed:i SIDBSnapIntervalHours:i "
                    "siloAppId:i nDataInstance:i description:u dedupeFlags:i blockCacheValidDays:i nSiloStreams:i "
                    "silosInCache:i siloRestoreMAClientId:i siloRestoreClientId:i sealStoreTaskId:i "
                    "extendedFlags:b destMediaCopyId:i maxCacheDBSizeMB:i DDBLimitExtensionTimeStamp:i "
                    "DDBLimitExtensionTimeStampEncrypted:s2049 archCheckValidPeriodType:i endTime:x",
         .primaryWhere = "id = ?", .serialColNum = 0, .serialName = "id", .orderBy = "id",
         .foreignKeys = {{"APP_CustomCalendar", {{"calendarId", "id"}}},
                         {"archGroup", {{"archGroupId", "id"}}},
                         {"archTask", {{"sealStoreTaskId", "id"}}}}}),
    bindingCase<ArchTask>({.className = "ArchTask", .dbName = "archTask", .headerType = 1, .version = "1.3.2.1",
                           .columns = "id:i type:i flags:i active:i periodType:i numPeriod:i dayNumber:i "
                                      "dataSizeGB:b lastEvent:t nextEvent:t percentCorruptLimit:i",
                           .primaryWhere = "id = ?", .serialColNum = 0, .serialName = "id", .orderBy = "id"}),
    bindingCase<MMS2getArchGrpNCopyListByLibId>(
        {.className = "MMS2getArchGrpNCopyListByLibId", .dbName = "MMS2getArchGrpNCopyListByLibId",
         .headerType = 2, .version = "00010003019800050000",
         .columns = "groupId:i groupName:u1021 copyId:i copyName:u1021 gName:u1021"}),
    bindingCase<MMS2getArchGrpNCopyListByLibIdEZ>(
        {.className = "MMS2getArchGrpNCopyListByLibIdEZ", .dbName = "MMS2getArchGrpNCopyListByLibIdEZ",
         .headerType = 2, .version = "00010005021000020000",
         .columns = "o_ArchGroupId:i o_ArchGroupName:u1021 o_NumDedupCopies:i o_DefaultCopyId:i "
                    "o_DefaultCopyName:u1021 o_RetentionDays:i o_RetentionCycles:i o_DiskCapacity:i "
                    "o_AutoManageDisk:i"}),
    bindingCase<MMS2getMountPathListForLibAndMA>(
        {.className = "MMS2getMountPathListForLibAndMA", .dbName = "MMS2getMountPathListForLibAndMA",
         .headerType = 2, .version = "00010003019000080000",
         .columns = "o_mountPathId:i o_mountPathName:u4097 o_baseFolder:u4097 o_isEnabled:i o_isOffline:i "
                    "o_offlineReason:i o_freeBytesMB:b o_mountPathType:i o_mediaId:i o_clientId:i "
                    "o_clientName:s256 o_net_HostName:s256 o_InUse:i o_jobId:b o_Priority:i o_ReserveBitMask:i "
                    "o_ReleaseTime:i o_LogicalRelease:i o_totalSpaceMB:b o_driveId:i o_deviceTypeId:i "
                    "o_reseveSpaceInMB:i o_maxDataToWriteInMB:i o_MPUsedForLogCaching:i"}),
    // Device-path, mount-path deletion and hybrid-cloud procedures and the
    // client-properties cursor.
    bindingCase<MMGetDeviceControllerForSharingCloud>(procedure(
        "MMGetDeviceControllerForSharingCloud", "00010002000200050000",
        "o_deviceControllerId:i o_userName:s1025 o_userPassword:s2049 o_folder:s1025 o_credentialId:i", 412)),
    bindingCase<MMGetDataServerPath>(
        procedure("MMGetDataServerPath", "00010002000200020000", "dataServerPath:s1024", 364)),
    bindingCase<MMS2GetDevicePathsForMountPath>(procedure(
        "MMS2GetDevicePathsForMountPath", "00010007000200100000",
        "deviceControllerId:i deviceControllerActive:i deviceControllerEnabled:i deviceAccessible:i MAClientId:i "
        "MAClientName:s256 deviceControllerPath:s1025 deviceControllerUser:s1025 readWriteAccess:i servicePack:i "
        "dataServerPath:s1025 deviceId:i credentialId:i credentialName:u1021 MADisplayName:u1021",
        529)),
    bindingCase<MMDataServerIPControllerValidation>(
        procedure("MMDataServerIPControllerValidation", "00010001000400080000", "o_ExitCode:b", 372)),
    bindingCase<MMGetBestFitTransportTypeForGivenMountPath>(
        procedure("MMGetBestFitTransportTypeForGivenMountPath", "00010001000200060000",
                  "o_TransportType:i o_Folder:s1025 o_UserName:s1025 o_UserPassword:s2049 o_credentialId:i", 419)),
    bindingCase<MMUpdateWritersForSANDataServerConfiguredMountPath>(
        procedure("MMUpdateWritersForSANDataServerConfiguredMountPath", "00010001000200040000", "", 351)),
    bindingCase<MMCheckMPCanDelete>(
        procedure("MMCheckMPCanDelete", "00010001000200070000",
                  "o_errorCode:i o_errorString:s o_JobsListXML:s o_SIDBListXML:s", 474)),
    bindingCase<MMGetRunningJobsForMountPath>(
        procedure("MMGetRunningJobsForMountPath", "00010001000200020000", "o_jobId:i", 366)),
    bindingCase<MMInsertDeletedMPToDDB>(
        procedure("MMInsertDeletedMPToDDB", "00010001000200020000", "o_ErrorCode:i", 364)),
    bindingCase<MMInsertDeletedMPToPhysicalCleanup>(
        procedure("MMInsertDeletedMPToPhysicalCleanup", "00010001000200070000", "o_ErrorCode:i", 369)),
    bindingCase<MMGetDDBListForDeletedMP>(
        procedure("MMGetDDBListForDeletedMP", "00010001000200020000",
                  "o_SIDBStoreId:i o_CopyId:i o_StoragePolicyId:i o_HasReference:i", 396)),
    bindingCase<MMGetHybridCloudAssociations>(procedure("MMGetHybridCloudAssociations", "00010001000200010000",
                                                        "o_cloudLibId:i o_cloudLibAliasName:u1021", 374)),
    bindingCase<MMS2GetMissingHybridCloudMAsForDisk>(
        procedure("MMS2GetMissingHybridCloudMAsForDisk", "00010001000200010000",
                  "o_DeviceId:i o_Folder:s1025 o_UserName:s1025 o_UserPassword:s2049 o_CredentialId:i "
                  "o_DevCtrlEnabled:i o_HostClientId:i",
                  434)),
    bindingCase<GetClientProps>(
        {.className = "GetClientProps", .dbName = "getClientProps", .headerType = 3, .version = "",
         .columns =
             "r_name:s256 r_desc:s256 r_netHostName:s256 r_interface:s256 r_diskFull:i r_cacheAging:i "
             "r_contentProxy:i r_jobResultsThresholdMB:i r_patchLoc:s256 r_patchLocFlag:i r_TkHostName:s256 "
             "r_WyvoranInstallDir:s256 r_timezone:s511 r_TkClockSkew:i r_restoreAccess:i r_drtoolAccess:i "
             "r_AltCachePrt:s256 r_JobResultsDir:s511 r_release:s256 r_build:s256 r_resourceFileName:s256 "
             "r_zqdPort:i r_evmgrcPort:i r_cipher:i r_keylen:i r_JRusername:s256 r_contentIndexingEnabled:i "
             "r_CDRLogLocation:s256 r_nwErrRetryFlag:i r_nwErrRetryFreq:i r_nwErrRetryCount:i r_isVitualClient:i "
             "r_physicalNode:i r_complianceSearchURL:s256 r_endUserSearchURL:s256 r_AdminURL:s256 "
             "r_webServerForSearch:i r_proxyForExchange:i r_updateCacheAgentId:i r_snapShotEngine:i "
             "r_snapBackupsEnabled:i r_snapBackupsMAInstalled:i r_collectDelegateInfo:i r_donotSingleInstance:i "
             "r_proxyFSClientId:i r_globalZoneHostId:i r_webSearchServer:s256 r_searchServiceUrl:s256 "
             "r_ArchiverEnabled:i"}),
};

using Bindings = tktest::BindingMetadata;
TEST_P(Bindings, AgreeWithTheirColumnTables) { GetParam().run(); }
INSTANTIATE_TEST_SUITE_P(All, Bindings, ::testing::ValuesIn(kBindings), tktest::bindingName);

// --- library, drive and mount-path tables ---------------------------------------------

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

// --- credential, job and task tables; agent procedures ----------------------------------

// Rows are never copied by the compiler; the replication-store record owns
// nothing and is handed around in arrays.
static_assert(tktest::kNoCopies<APP_Credentials_t, JMJobInfo_t, MMS2GetMediaAgentList_t, TM_AssocEntity_t,
                                MMIsMAPushedToAnotherTK_t, MMMountpathCredentialAssociation_t,
                                MMS2IsCenteraNDMPHostIdInUse_t, QR_GetDeviceID_t>);
static_assert(std::is_trivially_copyable_v<MMRPStoreConfig_t>);
static_assert(sizeof(MMRPStoreConfig_t::Name) == 1025);

TEST(Schema, KeysOfTheTablesAndTheTablesTheProceduresRead) {
  std::string credentials = tkdb::schemaStatementFor("APP_Credentials");
  EXPECT_NE(std::string::npos, credentials.find("\"credentialId\" INTEGER PRIMARY KEY AUTOINCREMENT")) << credentials;
  EXPECT_NE(std::string::npos, credentials.find("\"credentialName\" TEXT COLLATE NOCASE")) << credentials;
  std::string jobs = tkdb::schemaStatementFor("JMJobInfo");
  EXPECT_NE(std::string::npos, jobs.find("PRIMARY KEY (\"jobId\", \"tarnfoldId\")")) << jobs;
  std::string assoc = tkdb::schemaStatementFor("TM_AssocEntity");
  EXPECT_NE(std::string::npos, assoc.find("\"assocId\" INTEGER PRIMARY KEY AUTOINCREMENT")) << assoc;
  for (const char* table : {"MMHost", "APP_CredentialAssoc", "APP_Application", "APP_ApplicationType",
                            "APP_SubClientProp", "SNRVolumeDeviceName", "APP_Client"}) {
    EXPECT_NE("", tkdb::schemaStatementFor(table)) << table;
  }
}

TEST(Rows, ReplicationStoreRecordStartsAllZeroAndCopiesAsAValue) {
  MMRPStoreConfig_t row;
  EXPECT_STREQ("", row.Name);
  for (int f : {row.RPStoreId, row.LibraryId, row.Field4, row.MountPathId, row.State, row.Field7, row.MinSpace,
                row.MaxSpace, row.Field10, row.Field11, row.Field12}) {
    EXPECT_EQ(0, f);
  }
  MMRPStoreConfig_t copy = row;
  copy.State = kRPStoreStateCreated;
  EXPECT_EQ(2, copy.State);
  EXPECT_EQ(0, row.State);
}

// --- storage policies ------------------------------------------------------------------

// Rows that own heap text, every catalogue and every object cannot be copied
// at all; the task row keeps its assignment, and only that.
static_assert(tktest::kNoCopies<ArchGroup_t, ArchGroupCopy_t, ArchGroup_t2, ArchGroupCopy_t2, ArchTask_t2,
                                MMS2getArchGrpNCopyListByLibId_t2, MMS2getArchGrpNCopyListByLibIdEZ_t2,
                                MMS2getMountPathListForLibAndMA_t2, MMS2getArchGrpNCopyListByLibId_t,
                                MMS2getArchGrpNCopyListByLibIdEZ_t, MMS2getMountPathListForLibAndMA_t, ArchGroup,
                                ArchGroupCopy, ArchTask>);
static_assert(std::is_copy_assignable_v<ArchTask_t> && !std::is_copy_constructible_v<ArchTask_t>);
static_assert(sizeof(ArchDeleteBackupByMedia_t) == 5 * sizeof(int));
static_assert(std::is_trivially_copyable_v<ArchDeleteBackupByMedia_t>);

TEST(Schema, OnlyIdIsTheKeyOfThePolicyTablesAndTheProceduresReadTheirTables) {
  tktest::TestDatabase db;
  for (const char* table : {"archGroup", "archGroupCopy", "archTask"}) {
    tkdb::DbRows cols = db.query(std::string("SELECT name, pk FROM pragma_table_info('") + table + "')");
    for (size_t i = 0; i < cols.size(); ++i) EXPECT_EQ(i == 0 ? 1 : 0, cols[i][1].i) << table << " " << cols[i][0].s;
  }
  for (const char* table : {"MMDataPath", "archAgingRule", "APP_Client"}) {
    EXPECT_EQ(1, db.scalar("SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND name = ?", {table}))
        << table;
  }
  EXPECT_TRUE(tkdb::hasProcedure("mms2getarchgrpncopylistbylibidez")) << "names ignore letter case";
}

}  // namespace
