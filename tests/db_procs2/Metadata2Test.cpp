// The device-path, mount-path deletion and hybrid-cloud procedure bindings
// and the client-properties cursor against their column tables, written out
// here; every row in whole through each binding in both engine modes; the
// rows' shapes and the tables the bodies read.
#include <gtest/gtest.h>

#include <string>
#include <type_traits>
#include <vector>

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
#include "Db/Proc/MMS2GetDevicePathsForMountPath.h"
#include "Db/Proc/MMS2GetMissingHybridCloudMAsForDisk.h"
#include "Db/Proc/MMUpdateWritersForSANDataServerConfiguredMountPath.h"
#include "Db/Tbl/MMHybridCloudMapping.h"
#include "tests/support/RowFill.h"
#include "tests/support/Seed.h"

namespace {

using tktest::bindingCase;

// A procedure's column table: its class and object share the name.
tktest::ColumnTable procedure(const char* name, const char* stamp, const char* columns, int line) {
  return {.className = name, .dbName = name, .headerType = 2, .version = stamp, .columns = columns, .line = line};
}

const tktest::BindingCase kBindings[] = {
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

// The validation's verdict is its only value, 64 bits wide.
static_assert(std::is_same_v<decltype(MMDataServerIPControllerValidation_t::o_ExitCode), long long>);

// The writers procedure has no output column: nothing to read, no indicator
// array, an empty row.
template <class T>
concept HasDataPtr = requires(T& t) { t.getDataPtr(); };
template <class T>
concept HasIndicators = requires(T& t) { t.getIndicators(); };
static_assert(!HasDataPtr<MMUpdateWritersForSANDataServerConfiguredMountPath>);
static_assert(!HasIndicators<MMUpdateWritersForSANDataServerConfiguredMountPath>);
static_assert(HasDataPtr<MMGetDataServerPath>);
static_assert(std::is_empty_v<MMUpdateWritersForSANDataServerConfiguredMountPath_t>);

// Rows are never copied by the compiler; the mapping row holds two signed
// 32-bit fields and is copied freely.
static_assert(tktest::kNoCopies<MMCheckMPCanDelete_t, GetClientProps_t, MMS2GetDevicePathsForMountPath_t>);
static_assert(sizeof(MMHybridCloudMapping_t) == 2 * sizeof(int));
static_assert(std::is_same_v<decltype(MMHybridCloudMapping_t::CloudLibraryId), int>);
static_assert(std::is_same_v<decltype(MMHybridCloudMapping_t::DiskLibraryId), int>);
static_assert(std::is_trivially_copyable_v<MMHybridCloudMapping_t>);

using Metadata = tktest::DatabaseTest;

TEST_F(Metadata, AMappingRowStartsWithBothFieldsZero) {
  MMHybridCloudMapping_t row;
  EXPECT_EQ(0, row.CloudLibraryId);
  EXPECT_EQ(0, row.DiskLibraryId);
}

// setZQDBValues hands the caller's value objects to the engine in
// parameter order; the body gets exactly those inputs.
TEST_F(Metadata, SetZQDBValuesBindsTheValueObjectsInOrder) {
  testkit::db::overrideProcedure("MMDataServerIPControllerValidation", {{0}});
  testkit::db::overrideProcedure("MMInsertDeletedMPToDDB", {{0}});
  MMDataServerIPControllerValidation validation(nullptr);
  validation.setZQDBValues(new ZQDB_int(3), new ZQDB_int(100), new ZQDB_int(14), new ZQDB_int(20));
  EXPECT_EQ(4u, validation.getBoundInputCount());
  ASSERT_EQ(0, getOneRow(&validation, false, -1, 0));
  EXPECT_EQ((std::vector<std::string>{"MMDataServerIPControllerValidation", "3", "100", "14", "20"}),
            tktest::lastProcedureCall());
  MMInsertDeletedMPToDDB insert(nullptr);
  insert.setZQDBValues(new ZQDB_int(200), new ZQDB_string("<SIDBList/>"));
  ASSERT_EQ(0, getOneRow(&insert, false, -1, 0));
  EXPECT_EQ((std::vector<std::string>{"MMInsertDeletedMPToDDB", "200", "'<SIDBList/>'"}), tktest::lastProcedureCall());
}

TEST_F(Metadata, EveryRowArrivesWholeInBothModes) {
  using tktest::expectProcedureRoundTrip;
  auto one = [](auto& p) { p.setValues(3); };
  expectProcedureRoundTrip<MMGetDeviceControllerForSharingCloud>("MMGetDeviceControllerForSharingCloud", 7, one);
  expectProcedureRoundTrip<MMGetDataServerPath>("MMGetDataServerPath", 7, one);
  expectProcedureRoundTrip<MMS2GetDevicePathsForMountPath>("MMS2GetDevicePathsForMountPath", 7, one);
  expectProcedureRoundTrip<MMDataServerIPControllerValidation>("MMDataServerIPControllerValidation", 7,
                                                               [](auto& p) { p.setValues(1, 2, 3, 4); });
  expectProcedureRoundTrip<MMGetBestFitTransportTypeForGivenMountPath>("MMGetBestFitTransportTypeForGivenMountPath",
                                                                       7, one);
  expectProcedureRoundTrip<MMCheckMPCanDelete>("MMCheckMPCanDelete", 7, [](auto& p) { p.setValues(3, 4, 0); });
  expectProcedureRoundTrip<MMGetRunningJobsForMountPath>("MMGetRunningJobsForMountPath", 7,
                                                         [](auto& p) { p.setValues(3, 4, 1); });
  expectProcedureRoundTrip<MMInsertDeletedMPToDDB>("MMInsertDeletedMPToDDB", 7, [](auto& p) { p.setValues(3, ""); });
  expectProcedureRoundTrip<MMInsertDeletedMPToPhysicalCleanup>("MMInsertDeletedMPToPhysicalCleanup", 7, one);
  expectProcedureRoundTrip<MMGetDDBListForDeletedMP>("MMGetDDBListForDeletedMP", 7, [](auto& p) { p.setValues(""); });
  expectProcedureRoundTrip<MMGetHybridCloudAssociations>("MMGetHybridCloudAssociations", 7, one);
  expectProcedureRoundTrip<MMS2GetMissingHybridCloudMAsForDisk>("MMS2GetMissingHybridCloudMAsForDisk", 7, one);
  expectProcedureRoundTrip<GetClientProps>("getClientProps", 7, [](auto& c) { c.setValues(2, 3, 0); });
}

// The cursor's batch has its equivalent under the cursor's name; the tables
// the bodies read exist, empty.
TEST_F(Metadata, TheCursorHasABodyAndTheTablesTheBodiesReadExist) {
  EXPECT_TRUE(tkdb::hasProcedure("getClientProps"));
  for (const char* table : {"MMVolume", "MMDeletedMountPathDDB", "MMMountPathPhysicalCleanup", "APP_ClientProp",
                            "APP_Platform", "SchedTimeZone", "SimOperatingSystem", "patchInfo", "APP_IDAName",
                            "APP_IDAProp", "simAllHalvaneRel", "simInstallHistory"}) {
    EXPECT_NE("", tkdb::schemaStatementFor(table)) << table;
    EXPECT_EQ(0, db.scalar("SELECT COUNT(*) FROM \"" + std::string(table) + "\"")) << table;
  }
}

}  // namespace
