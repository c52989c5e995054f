// The device-path, mount-path deletion and hybrid-cloud procedures and the
// client-properties cursor: every row in whole through each binding in both
// engine modes, the value objects bound in order, the rows' shapes and the
// tables the bodies read. Their column tables are checked with every other
// binding's (tests/db_bindings).
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
