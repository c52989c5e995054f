// The credential, job-information and task-association tables and the
// media-agent, library-host, credential-association, NDMP-host and
// device-id procedures against their column tables, written out here; their
// copy rules; and the schema the database gives the tables.
#include <gtest/gtest.h>

#include <string>
#include <type_traits>

#include "Db/Proc/MMIsMAPushedToAnotherTK.h"
#include "Db/Proc/MMMountpathCredentialAssociation.h"
#include "Db/Proc/MMS2GetMediaAgentList.h"
#include "Db/Proc/MMS2IsCenteraNDMPHostIdInUse.h"
#include "Db/Proc/QR_GetDeviceID.h"
#include "Db/Tbl/APP_Credentials.h"
#include "Db/Tbl/JMJobInfo.h"
#include "Db/Tbl/MMRPStoreConfig.h"
#include "Db/Tbl/TM_AssocEntity.h"
#include "tests/support/BindingChecks.h"

namespace {

using tktest::bindingCase;

const tktest::BindingCase kBindings[] = {
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
};

using Bindings = tktest::BindingMetadata;
TEST_P(Bindings, AgreeWithTheirColumnTables) { GetParam().run(); }
INSTANTIATE_TEST_SUITE_P(All, Bindings, ::testing::ValuesIn(kBindings), tktest::bindingName);

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

}  // namespace
