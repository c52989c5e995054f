// The column tables of the storage-policy bindings, written out once from
// the documentation of the database, for the metadata checks.
#pragma once

#include "tests/db_storagepolicy/BindingChecks.h"

namespace sptest {

inline const BindingTable& archGroupTable() {
  static const BindingTable table{
      "archGroup",
      "ArchGroup",
      1,
      1,
      "1.49.66.4",
      "Table ArchGroup",
      "id, defaultCopy, name, description, maxStreams, type, incrSP, origTFtarnfoldID, origTFarchGroupId, "
      "defaultSnapCopy, SIBlockSizeKB, AuxCopyAlertGB, AuxCopyAlertDays, flags, mediaPassword, TimeZoneType, "
      "TimeZone, SubclientExtensionTimeStamp, SubclientExtensionTimeStampEncrypted, logSP",
      "i|i|u577|u|i|i|i|i|i|i|i|i|i|i|s2049|i|s256|i|s2049|i|",
      "i|i|u577|u|i|i|i|i|i|i|i|i|i|i|s2049|i|s256|i|s2049|i|",
      "id = ?",
      0,
      "id",
      "id",
      {{"id", "i"},
       {"defaultCopy", "i"},
       {"name", "u577"},
       {"description", "u"},
       {"maxStreams", "i"},
       {"type", "i"},
       {"incrSP", "i"},
       {"origTFtarnfoldID", "i"},
       {"origTFarchGroupId", "i"},
       {"defaultSnapCopy", "i"},
       {"SIBlockSizeKB", "i"},
       {"AuxCopyAlertGB", "i"},
       {"AuxCopyAlertDays", "i"},
       {"flags", "i"},
       {"mediaPassword", "s2049"},
       {"TimeZoneType", "i"},
       {"TimeZone", "s256"},
       {"SubclientExtensionTimeStamp", "i"},
       {"SubclientExtensionTimeStampEncrypted", "s2049"},
       {"logSP", "i"}},
      {}};
  return table;
}

inline const BindingTable& archGroupCopyTable() {
  static const BindingTable table{
      "archGroupCopy",
      "ArchGroupCopy",
      1,
      1,
      "1.66.54.5",
      "Table ArchGroupCopy",
      "id, archGroupId, copy, name, flags, maxMultiplex, isActive, type, startTime, waitForIfOffline, "
      "waitForIfBusy, archCheckStartTime, origTFtarnfoldID, origTFarchCopyId, sourceCopyId, delayedDays, "
      "maxStreamNum, archCheckValidPeriod, calendarId, SIDBStoreId, encType, encKeyLen, isSnapCopy, "
      "isMirrorCopy, NWWriteSpeed, SIDBSnapIntervalHours, siloAppId, nDataInstance, description, dedupeFlags, "
      "blockCacheValidDays, nSiloStreams, silosInCache, siloRestoreMAClientId, siloRestoreClientId, "
      "sealStoreTaskId, extendedFlags, destMediaCopyId, maxCacheDBSizeMB, DDBLimitExtensionTimeStamp, "
      "DDBLimitExtensionTimeStampEncrypted, archCheckValidPeriodType, endTime",
      "i|i|i|u257|i|i|i|i|x|i|i|x|i|i|i|i|i|i|i|i|i|i|i|i|i|i|i|i|u|i|i|i|i|i|i|i|b|i|i|i|s2049|i|x|",
      "i|i|i|u257|i|i|i|i|b|i|i|b|i|i|i|i|i|i|i|i|i|i|i|i|i|i|i|i|u|i|i|i|i|i|i|i|b|i|i|i|s2049|i|b|",
      "id = ?",
      0,
      "id",
      "id",
      {{"id", "i"},
       {"archGroupId", "i"},
       {"copy", "i"},
       {"name", "u257"},
       {"flags", "i"},
       {"maxMultiplex", "i"},
       {"isActive", "i"},
       {"type", "i"},
       {"startTime", "x"},
       {"waitForIfOffline", "i"},
       {"waitForIfBusy", "i"},
       {"archCheckStartTime", "x"},
       {"origTFtarnfoldID", "i"},
       {"origTFarchCopyId", "i"},
       {"sourceCopyId", "i"},
       {"delayedDays", "i"},
       {"maxStreamNum", "i"},
       {"archCheckValidPeriod", "i"},
       {"calendarId", "i"},
       {"SIDBStoreId", "i"},
       {"encType", "i"},
       {"encKeyLen", "i"},
       {"isSnapCopy", "i"},
       {"isMirrorCopy", "i"},
       {"NWWriteSpeed", "i"},
       {"SIDBSnapIntervalHours", "i"},
       {"siloAppId", "i"},
       {"nDataInstance", "i"},
       {"description", "u"},
       {"dedupeFlags", "i"},
       {"blockCacheValidDays", "i"},
       {"nSiloStreams", "i"},
       {"silosInCache", "i"},
       {"siloRestoreMAClientId", "i"},
       {"siloRestoreClientId", "i"},
       {"sealStoreTaskId", "i"},
       {"extendedFlags", "b"},
       {"destMediaCopyId", "i"},
       {"maxCacheDBSizeMB", "i"},
       {"DDBLimitExtensionTimeStamp", "i"},
       {"DDBLimitExtensionTimeStampEncrypted", "s2049"},
       {"archCheckValidPeriodType", "i"},
       {"endTime", "x"}},
      {{"APP_CustomCalendar", {{"calendarId", "id"}}},
       {"archGroup", {{"archGroupId", "id"}}},
       {"archTask", {{"sealStoreTaskId", "id"}}}}};
  return table;
}

inline const BindingTable& archTaskTable() {
  static const BindingTable table{
      "archTask",
      "ArchTask",
      1,
      1,
      "1.3.2.1",
      "Table ArchTask",
      "id, type, flags, active, periodType, numPeriod, dayNumber, dataSizeGB, lastEvent, nextEvent, "
      "percentCorruptLimit",
      "i|i|i|i|i|i|i|b|t|t|i|",
      "i|i|i|i|i|i|i|b|t|t|i|",
      "id = ?",
      0,
      "id",
      "id",
      {{"id", "i"},
       {"type", "i"},
       {"flags", "i"},
       {"active", "i"},
       {"periodType", "i"},
       {"numPeriod", "i"},
       {"dayNumber", "i"},
       {"dataSizeGB", "b"},
       {"lastEvent", "t"},
       {"nextEvent", "t"},
       {"percentCorruptLimit", "i"}},
      {}};
  return table;
}

inline const BindingTable& listByLibIdTable() {
  static const BindingTable table{"MMS2getArchGrpNCopyListByLibId",
                                "MMS2getArchGrpNCopyListByLibId",
                                2,
                                2,
                                "00010003019800050000",
                                "Procedure MMS2getArchGrpNCopyListByLibId",
                                "groupId, groupName, copyId, copyName, gName",
                                "i|u1021|i|u1021|u1021|",
                                "i|u1021|i|u1021|u1021|",
                                "",
                                -1,
                                nullptr,
                                "",
                                {{"groupId", "i"},
                                 {"groupName", "u1021"},
                                 {"copyId", "i"},
                                 {"copyName", "u1021"},
                                 {"gName", "u1021"}},
                                {}};
  return table;
}

inline const BindingTable& listByLibIdEZTable() {
  static const BindingTable table{
      "MMS2getArchGrpNCopyListByLibIdEZ",
      "MMS2getArchGrpNCopyListByLibIdEZ",
      2,
      2,
      "00010005021000020000",
      "Procedure MMS2getArchGrpNCopyListByLibIdEZ",
      "o_ArchGroupId, o_ArchGroupName, o_NumDedupCopies, o_DefaultCopyId, o_DefaultCopyName, o_RetentionDays, "
      "o_RetentionCycles, o_DiskCapacity, o_AutoManageDisk",
      "i|u1021|i|i|u1021|i|i|i|i|",
      "i|u1021|i|i|u1021|i|i|i|i|",
      "",
      -1,
      nullptr,
      "",
      {{"o_ArchGroupId", "i"},
       {"o_ArchGroupName", "u1021"},
       {"o_NumDedupCopies", "i"},
       {"o_DefaultCopyId", "i"},
       {"o_DefaultCopyName", "u1021"},
       {"o_RetentionDays", "i"},
       {"o_RetentionCycles", "i"},
       {"o_DiskCapacity", "i"},
       {"o_AutoManageDisk", "i"}},
      {}};
  return table;
}

inline const BindingTable& mountPathListTable() {
  static const BindingTable table{
      "MMS2getMountPathListForLibAndMA",
      "MMS2getMountPathListForLibAndMA",
      2,
      2,
      "00010003019000080000",
      "Procedure MMS2getMountPathListForLibAndMA",
      "o_mountPathId, o_mountPathName, o_baseFolder, o_isEnabled, o_isOffline, o_offlineReason, o_freeBytesMB, "
      "o_mountPathType, o_mediaId, o_clientId, o_clientName, o_net_HostName, o_InUse, o_jobId, o_Priority, "
      "o_ReserveBitMask, o_ReleaseTime, o_LogicalRelease, o_totalSpaceMB, o_driveId, o_deviceTypeId, "
      "o_reseveSpaceInMB, o_maxDataToWriteInMB, o_MPUsedForLogCaching",
      "i|u4097|u4097|i|i|i|b|i|i|i|s256|s256|i|b|i|i|i|i|b|i|i|i|i|i|",
      "i|u4097|u4097|i|i|i|b|i|i|i|s256|s256|i|b|i|i|i|i|b|i|i|i|i|i|",
      "",
      -1,
      nullptr,
      "",
      {{"o_mountPathId", "i"},     {"o_mountPathName", "u4097"}, {"o_baseFolder", "u4097"},
       {"o_isEnabled", "i"},       {"o_isOffline", "i"},         {"o_offlineReason", "i"},
       {"o_freeBytesMB", "b"},     {"o_mountPathType", "i"},     {"o_mediaId", "i"},
       {"o_clientId", "i"},        {"o_clientName", "s256"},     {"o_net_HostName", "s256"},
       {"o_InUse", "i"},           {"o_jobId", "b"},             {"o_Priority", "i"},
       {"o_ReserveBitMask", "i"},  {"o_ReleaseTime", "i"},       {"o_LogicalRelease", "i"},
       {"o_totalSpaceMB", "b"},    {"o_driveId", "i"},           {"o_deviceTypeId", "i"},
       {"o_reseveSpaceInMB", "i"}, {"o_maxDataToWriteInMB", "i"}, {"o_MPUsedForLogCaching", "i"}},
      {}};
  return table;
}

}  // namespace sptest
