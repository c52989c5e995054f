// The six storage-policy bindings against their column tables, written out
// here from the documentation of the database; their copy rules; and the
// tables and procedure bodies the database holds for them.
#include <gtest/gtest.h>

#include <string>
#include <type_traits>

#include "Db/Proc/MMS2getArchGrpNCopyListByLibId.h"
#include "Db/Proc/MMS2getArchGrpNCopyListByLibIdEZ.h"
#include "Db/Proc/MMS2getMountPathListForLibAndMA.h"
#include "Db/Tbl/archGroup.h"
#include "Db/Tbl/archGroupCopy.h"
#include "Db/Tbl/archTask.h"
#include "platform/db/DBSession.h"
#include "tests/support/BindingChecks.h"

namespace {

using tktest::bindingCase;

const tktest::BindingCase kBindings[] = {
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
};

using Bindings = tktest::BindingMetadata;
TEST_P(Bindings, AgreeWithTheirColumnTables) { GetParam().run(); }
INSTANTIATE_TEST_SUITE_P(All, Bindings, ::testing::ValuesIn(kBindings), tktest::bindingName);

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
