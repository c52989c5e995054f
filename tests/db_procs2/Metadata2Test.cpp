// What the device-path, mount-path deletion and hybrid-cloud procedure
// bindings and the client-properties cursor tell the engine and what their
// catalogues answer, against their column tables; every row round-trips
// whole in both engine modes; the rows' shapes.
#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <type_traits>
#include <utility>
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
#include "platform/db/DBSession.h"
#include "platform/testkit/db.h"
#include "platform/testkit/debuglog.h"
#include "tests/db_procs/RowFill.h"
#include "tests/support/TestDatabase.h"

namespace {

using Columns = std::vector<std::pair<std::string, std::string>>;  // name, schema code

std::string joined(const Columns& columns) {
  std::string s;
  for (const auto& c : columns) s += (s.empty() ? "" : ", ") + c.first;
  return s;
}

std::string schemaOf(const Columns& columns) {
  std::string s;
  for (const auto& c : columns) s += c.second + "|";
  return s;
}

int typeCodeOf(const std::string& code) {
  switch (code[0]) {
    case 'i':
      return 1;
    case 'b':
    case 'x':
      return 4;
    case 't':
      return 5;
    default:
      return 6;
  }
}

template <class Obj>
using RowOf = std::remove_pointer_t<decltype(std::declval<Obj&>().getDataPtr())>;

// The catalogue class of a binding object, for its foreign-key map.
template <class Row, class Cat, const ZQDBBindingInfo& Info>
Cat* catalogueOf(const ZQDBProcedure<Row, Cat, Info>&);
template <class Row, class Cat, const ZQDBBindingInfo& Info>
Cat* catalogueOf(const ZQDBCursor<Row, Cat, Info>&);

// The part every procedure and the cursor share: names, kind, texts,
// catalogue, value objects, field table.
template <class Obj, class Row>
void checkShape(const char* dbName, const char* className, int kind, const char* description, const char* stamp,
                const Columns& columns) {
  SCOPED_TRACE(className);
  DBtable::b_newDBBase = 1;
  Obj obj(nullptr);
  EXPECT_EQ(dbName, obj.getObjectName());
  EXPECT_EQ(kind, obj.getKind());
  EXPECT_EQ(joined(columns), obj.getSelectList());
  EXPECT_STREQ(description, obj.getDescription());
  EXPECT_STREQ(stamp, obj.getStamp());
  EXPECT_STREQ("", obj.getVersion());
  EXPECT_EQ(nullptr, obj.getSerialColName());
  EXPECT_EQ(nullptr, obj.getSerialField());
  EXPECT_EQ("", obj.getOrderBy());
  EXPECT_EQ(nullptr, obj.getTransaction());
  EXPECT_EQ(0, obj.getInputsBound());

  ZQDBRowBase* cat = obj.getCatalogue();
  ASSERT_NE(nullptr, cat);
  EXPECT_TRUE(cat->isGenerated());
  EXPECT_EQ(className, cat->getTableName());
  EXPECT_EQ(kind, cat->getHeaderType());
  EXPECT_EQ(schemaOf(columns), cat->getStructDef());
  EXPECT_EQ("", cat->getPrimaryWhere());
  EXPECT_TRUE(cat->getPrimaryData().empty());
  EXPECT_EQ(-1, cat->getSerialColNum());
  EXPECT_TRUE(cat->primaryKeyNames().empty());
  EXPECT_EQ("", cat->serialColName());
  std::vector<ZQDBDataTypeBase*> values = cat->getData();
  ASSERT_EQ(columns.size(), values.size());
  for (size_t i = 0; i < columns.size(); ++i) {
    const int index = static_cast<int>(i);
    EXPECT_EQ(columns[i].first, cat->getColumnName(index));
    EXPECT_EQ(cat->columnMap().at(columns[i].first), values[i]);
    EXPECT_EQ(typeCodeOf(columns[i].second), values[i]->getDataType()) << columns[i].first;
    EXPECT_TRUE(values[i]->isNull());
  }
  EXPECT_EQ("", cat->getColumnName(static_cast<int>(columns.size())));
  using Cat = std::remove_pointer_t<decltype(catalogueOf(obj))>;
  auto* concrete = dynamic_cast<Cat*>(cat);
  ASSERT_NE(nullptr, concrete);
  EXPECT_TRUE(concrete->getForeignKeyMap().empty());

  const ZQDBColumns& fields = Row::zqdbColumns();
  ASSERT_EQ(static_cast<int>(columns.size()), fields.count);
  for (size_t i = 0; i < columns.size(); ++i) {
    std::string code(1, fields.cols[i].code);
    if (fields.cols[i].length > 0) code += std::to_string(fields.cols[i].length);
    EXPECT_EQ(columns[i].first, fields.cols[i].name);
    EXPECT_EQ(columns[i].second, code);
  }

  // The text mode builds no catalogue.
  DBtable::b_newDBBase = 0;
  Obj plain(nullptr);
  EXPECT_EQ(nullptr, plain.getCatalogue());
  DBtable::b_newDBBase = 1;
}

struct ProcExpect {
  const char* name;
  const char* stamp;
  Columns columns;
};

template <class Proc>
void checkProcedure(const ProcExpect& e) {
  checkShape<Proc, RowOf<Proc>>(e.name, e.name, 2, (std::string("Procedure ") + e.name).c_str(), e.stamp, e.columns);
}

const Columns kSharingCloud = {{"o_deviceControllerId", "i"},
                               {"o_userName", "s1025"},
                               {"o_userPassword", "s2049"},
                               {"o_folder", "s1025"},
                               {"o_credentialId", "i"}};
const Columns kDevicePaths = {{"deviceControllerId", "i"},
                              {"deviceControllerActive", "i"},
                              {"deviceControllerEnabled", "i"},
                              {"deviceAccessible", "i"},
                              {"MAClientId", "i"},
                              {"MAClientName", "s256"},
                              {"deviceControllerPath", "s1025"},
                              {"deviceControllerUser", "s1025"},
                              {"readWriteAccess", "i"},
                              {"servicePack", "i"},
                              {"dataServerPath", "s1025"},
                              {"deviceId", "i"},
                              {"credentialId", "i"},
                              {"credentialName", "u1021"},
                              {"MADisplayName", "u1021"}};
const Columns kBestFit = {{"o_TransportType", "i"},
                          {"o_Folder", "s1025"},
                          {"o_UserName", "s1025"},
                          {"o_UserPassword", "s2049"},
                          {"o_credentialId", "i"}};
const Columns kMissingMAs = {{"o_DeviceId", "i"},         {"o_Folder", "s1025"},   {"o_UserName", "s1025"},
                             {"o_UserPassword", "s2049"}, {"o_CredentialId", "i"}, {"o_DevCtrlEnabled", "i"},
                             {"o_HostClientId", "i"}};

const Columns kClientProps = {
    {"r_name", "s256"},
    {"r_desc", "s256"},
    {"r_netHostName", "s256"},
    {"r_interface", "s256"},
    {"r_diskFull", "i"},
    {"r_cacheAging", "i"},
    {"r_contentProxy", "i"},
    {"r_jobResultsThresholdMB", "i"},
    {"r_patchLoc", "s256"},
    {"r_patchLocFlag", "i"},
    {"r_TkHostName", "s256"},
    {"r_WyvoranInstallDir", "s256"},
    {"r_timezone", "s511"},
    {"r_TkClockSkew", "i"},
    {"r_restoreAccess", "i"},
    {"r_drtoolAccess", "i"},
    {"r_AltCachePrt", "s256"},
    {"r_JobResultsDir", "s511"},
    {"r_release", "s256"},
    {"r_build", "s256"},
    {"r_resourceFileName", "s256"},
    {"r_zqdPort", "i"},
    {"r_evmgrcPort", "i"},
    {"r_cipher", "i"},
    {"r_keylen", "i"},
    {"r_JRusername", "s256"},
    {"r_contentIndexingEnabled", "i"},
    {"r_CDRLogLocation", "s256"},
    {"r_nwErrRetryFlag", "i"},
    {"r_nwErrRetryFreq", "i"},
    {"r_nwErrRetryCount", "i"},
    {"r_isVitualClient", "i"},
    {"r_physicalNode", "i"},
    {"r_complianceSearchURL", "s256"},
    {"r_endUserSearchURL", "s256"},
    {"r_AdminURL", "s256"},
    {"r_webServerForSearch", "i"},
    {"r_proxyForExchange", "i"},
    {"r_updateCacheAgentId", "i"},
    {"r_snapShotEngine", "i"},
    {"r_snapBackupsEnabled", "i"},
    {"r_snapBackupsMAInstalled", "i"},
    {"r_collectDelegateInfo", "i"},
    {"r_donotSingleInstance", "i"},
    {"r_proxyFSClientId", "i"},
    {"r_globalZoneHostId", "i"},
    {"r_webSearchServer", "s256"},
    {"r_searchServiceUrl", "s256"},
    {"r_ArchiverEnabled", "i"},
};

class Metadata : public ::testing::Test {
 protected:
  tktest::TestDatabase db;
};

TEST_F(Metadata, DevicePathProcedures) {
  checkProcedure<MMGetDeviceControllerForSharingCloud>(
      {"MMGetDeviceControllerForSharingCloud", "00010002000200050000", kSharingCloud});
  checkProcedure<MMGetDataServerPath>({"MMGetDataServerPath", "00010002000200020000", {{"dataServerPath", "s1024"}}});
  checkProcedure<MMS2GetDevicePathsForMountPath>(
      {"MMS2GetDevicePathsForMountPath", "00010007000200100000", kDevicePaths});
  checkProcedure<MMDataServerIPControllerValidation>(
      {"MMDataServerIPControllerValidation", "00010001000400080000", {{"o_ExitCode", "b"}}});
  checkProcedure<MMGetBestFitTransportTypeForGivenMountPath>(
      {"MMGetBestFitTransportTypeForGivenMountPath", "00010001000200060000", kBestFit});
  EXPECT_EQ("i|s1025|s2049|s1025|i|", schemaOf(kSharingCloud));
  EXPECT_EQ("i|i|i|i|i|s256|s1025|s1025|i|i|s1025|i|i|u1021|u1021|", schemaOf(kDevicePaths));
  EXPECT_EQ("i|s1025|s1025|s2049|i|", schemaOf(kBestFit));
}

TEST_F(Metadata, TheExitCodeIsTheOnly64BitValueOfItsPart) {
  DBtable::b_newDBBase = 1;
  MMDataServerIPControllerValidation proc(nullptr);
  static_assert(std::is_same_v<decltype(MMDataServerIPControllerValidation_t::o_ExitCode), long long>);
  ZQDBDataTypeBase* value = proc.getCatalogue()->getData().at(0);
  EXPECT_NE(nullptr, dynamic_cast<ZQDB_int64*>(value));
  EXPECT_EQ(4, value->getDataType());
}

// No output column: no row fields, no indicator slots, no getDataPtr(),
// empty select list and schema, a catalogue without value objects.
template <class T>
concept HasDataPtr = requires(T& t) {
  t.getDataPtr();
};
template <class T>
concept HasIndicators = requires(T& t) {
  t.getIndicators();
};

TEST_F(Metadata, TheWritersProcedureHasNoOutputAtAll) {
  using Proc = MMUpdateWritersForSANDataServerConfiguredMountPath;
  using Row = MMUpdateWritersForSANDataServerConfiguredMountPath_t;
  static_assert(!HasDataPtr<Proc>, "nothing to read");
  static_assert(!HasIndicators<Proc>, "no indicator array");
  static_assert(HasDataPtr<MMGetDataServerPath>);
  static_assert(Row::kColumnCount == 0);
  static_assert(std::is_empty_v<Row>);
  checkShape<Proc, Row>("MMUpdateWritersForSANDataServerConfiguredMountPath",
                        "MMUpdateWritersForSANDataServerConfiguredMountPath", 2,
                        "Procedure MMUpdateWritersForSANDataServerConfiguredMountPath", "00010001000200040000", {});
  Proc proc(nullptr);
  EXPECT_STREQ("", proc.getSelectList());
  EXPECT_EQ("", proc.getCatalogue()->getStructDef());
  EXPECT_TRUE(proc.getCatalogue()->getData().empty());
}

TEST_F(Metadata, MountPathDeletionProcedures) {
  checkProcedure<MMCheckMPCanDelete>(
      {"MMCheckMPCanDelete",
       "00010001000200070000",
       {{"o_errorCode", "i"}, {"o_errorString", "s"}, {"o_JobsListXML", "s"}, {"o_SIDBListXML", "s"}}});
  checkProcedure<MMGetRunningJobsForMountPath>(
      {"MMGetRunningJobsForMountPath", "00010001000200020000", {{"o_jobId", "i"}}});
  checkProcedure<MMInsertDeletedMPToDDB>({"MMInsertDeletedMPToDDB", "00010001000200020000", {{"o_ErrorCode", "i"}}});
  checkProcedure<MMInsertDeletedMPToPhysicalCleanup>(
      {"MMInsertDeletedMPToPhysicalCleanup", "00010001000200070000", {{"o_ErrorCode", "i"}}});
  checkProcedure<MMGetDDBListForDeletedMP>(
      {"MMGetDDBListForDeletedMP",
       "00010001000200020000",
       {{"o_SIDBStoreId", "i"}, {"o_CopyId", "i"}, {"o_StoragePolicyId", "i"}, {"o_HasReference", "i"}}});
}

TEST_F(Metadata, HybridCloudProcedures) {
  checkProcedure<MMGetHybridCloudAssociations>({"MMGetHybridCloudAssociations",
                                                "00010001000200010000",
                                                {{"o_cloudLibId", "i"}, {"o_cloudLibAliasName", "u1021"}}});
  checkProcedure<MMS2GetMissingHybridCloudMAsForDisk>(
      {"MMS2GetMissingHybridCloudMAsForDisk", "00010001000200010000", kMissingMAs});
  EXPECT_EQ("i|s1025|s1025|s2049|i|i|i|", schemaOf(kMissingMAs));
}

TEST_F(Metadata, ClientPropertiesCursor) {
  ASSERT_EQ(49u, kClientProps.size());
  checkShape<GetClientProps, GetClientProps_t>("getClientProps", "GetClientProps", 3, "Cursor GetClientProps", "",
                                               kClientProps);
  GetClientProps cursor(nullptr);
  EXPECT_EQ(0u, cursor.getBoundInputCount());
}

// The registration line of each binding names its header and the line its
// declaration gives.
struct Registration {
  const char* text;
  void (*make)(DBtran*);
};

template <class Obj>
void makeOne(DBtran* tran) {
  Obj obj(tran);
}

TEST_F(Metadata, AFailedRegistrationNamesTheHeaderAndLineAndIsSwallowed) {
  const Registration kAll[] = {
      {"Db/Proc/MMGetDeviceControllerForSharingCloud(412): MMGetDeviceControllerForSharingCloud Constructor",
       makeOne<MMGetDeviceControllerForSharingCloud>},
      {"Db/Proc/MMGetDataServerPath(364): MMGetDataServerPath Constructor", makeOne<MMGetDataServerPath>},
      {"Db/Proc/MMS2GetDevicePathsForMountPath(529): MMS2GetDevicePathsForMountPath Constructor",
       makeOne<MMS2GetDevicePathsForMountPath>},
      {"Db/Proc/MMDataServerIPControllerValidation(372): MMDataServerIPControllerValidation Constructor",
       makeOne<MMDataServerIPControllerValidation>},
      {"Db/Proc/MMGetBestFitTransportTypeForGivenMountPath(419): MMGetBestFitTransportTypeForGivenMountPath "
       "Constructor",
       makeOne<MMGetBestFitTransportTypeForGivenMountPath>},
      {"Db/Proc/MMUpdateWritersForSANDataServerConfiguredMountPath(351): "
       "MMUpdateWritersForSANDataServerConfiguredMountPath Constructor",
       makeOne<MMUpdateWritersForSANDataServerConfiguredMountPath>},
      {"Db/Proc/MMCheckMPCanDelete(474): MMCheckMPCanDelete Constructor", makeOne<MMCheckMPCanDelete>},
      {"Db/Proc/MMGetRunningJobsForMountPath(366): MMGetRunningJobsForMountPath Constructor",
       makeOne<MMGetRunningJobsForMountPath>},
      {"Db/Proc/MMInsertDeletedMPToDDB(364): MMInsertDeletedMPToDDB Constructor", makeOne<MMInsertDeletedMPToDDB>},
      {"Db/Proc/MMInsertDeletedMPToPhysicalCleanup(369): MMInsertDeletedMPToPhysicalCleanup Constructor",
       makeOne<MMInsertDeletedMPToPhysicalCleanup>},
      {"Db/Proc/MMGetDDBListForDeletedMP(396): MMGetDDBListForDeletedMP Constructor",
       makeOne<MMGetDDBListForDeletedMP>},
      {"Db/Proc/MMGetHybridCloudAssociations(374): MMGetHybridCloudAssociations Constructor",
       makeOne<MMGetHybridCloudAssociations>},
      {"Db/Proc/MMS2GetMissingHybridCloudMAsForDisk(434): MMS2GetMissingHybridCloudMAsForDisk Constructor",
       makeOne<MMS2GetMissingHybridCloudMAsForDisk>},
      {"Db/Cursor/getClientProps(", makeOne<GetClientProps>},
  };
  testkit::db::setAddObjectThrows(true);
  for (const Registration& r : kAll) {
    SCOPED_TRACE(r.text);
    testkit::debuglog::Capture capture;
    DBtran tran;
    r.make(&tran);  // the exception goes no further
    ASSERT_EQ(1u, capture.lines().size());
    const std::string line = capture.lines()[0].text;
    EXPECT_EQ(0u, line.find(r.text)) << line;
    EXPECT_NE(std::string::npos, line.find(" Constructor [0x")) << line;
    EXPECT_NE(std::string::npos, line.find("], caught an exception")) << line;
    EXPECT_TRUE(tran.registeredObjects().empty());
  }
  testkit::db::setAddObjectThrows(false);
  // Given a transaction, every one of them registers (the cursor too).
  for (const Registration& r : kAll) {
    testkit::db::journal().reset();
    DBtran tran;
    r.make(&tran);
    EXPECT_EQ(1u, testkit::db::journal().calls("addObject").size()) << r.text;
  }
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
  MMInsertDeletedMPToDDB insert(nullptr);
  insert.setZQDBValues(new ZQDB_int(200), new ZQDB_string("<SIDBList/>"));
  ASSERT_EQ(0, getOneRow(&insert, false, -1, 0));
  std::vector<tkjournal::Call> calls = testkit::db::journal().calls("procedure");
  ASSERT_EQ(2u, calls.size());
  EXPECT_EQ((std::vector<std::string>{"MMDataServerIPControllerValidation", "3", "100", "14", "20"}), calls[0].args);
  EXPECT_EQ((std::vector<std::string>{"MMInsertDeletedMPToDDB", "200", "'<SIDBList/>'"}), calls[1].args);
  testkit::db::clearProcedureOverrides();
}

// --- full rows ------------------------------------------------------------------------

template <class Obj, class Bind>
void roundTrip(const char* name, Bind bind) {
  SCOPED_TRACE(name);
  using Row = RowOf<Obj>;
  Row expected;
  dbprocs::fillRow(expected, 7);
  testkit::db::overrideProcedure(name, {dbprocs::rowValues(expected)});
  for (int mode : {1, 0}) {
    SCOPED_TRACE(mode);
    DBtable::b_newDBBase = mode;
    Obj obj(nullptr);
    bind(obj);
    ASSERT_EQ(0, getOneRow(&obj, false, -1, 0));
    dbprocs::expectSameRow(expected, *obj.getDataPtr());
    if (mode == 1) {
      std::vector<ZQDBDataTypeBase*> values = obj.getCatalogue()->getData();
      for (ZQDBDataTypeBase* v : values) EXPECT_FALSE(v->isNull());
    }
  }
  DBtable::b_newDBBase = 1;
  testkit::db::clearProcedureOverrides();
}

TEST_F(Metadata, EveryRowRoundTripsWholeInBothModes) {
  roundTrip<MMGetDeviceControllerForSharingCloud>("MMGetDeviceControllerForSharingCloud",
                                                  [](auto& p) { p.setValues(3); });
  roundTrip<MMGetDataServerPath>("MMGetDataServerPath", [](auto& p) { p.setValues(3); });
  roundTrip<MMS2GetDevicePathsForMountPath>("MMS2GetDevicePathsForMountPath", [](auto& p) { p.setValues(3); });
  roundTrip<MMDataServerIPControllerValidation>("MMDataServerIPControllerValidation",
                                                [](auto& p) { p.setValues(1, 2, 3, 4); });
  roundTrip<MMGetBestFitTransportTypeForGivenMountPath>("MMGetBestFitTransportTypeForGivenMountPath",
                                                        [](auto& p) { p.setValues(3); });
  roundTrip<MMCheckMPCanDelete>("MMCheckMPCanDelete", [](auto& p) { p.setValues(3, 4, 0); });
  roundTrip<MMGetRunningJobsForMountPath>("MMGetRunningJobsForMountPath", [](auto& p) { p.setValues(3, 4, 1); });
  roundTrip<MMInsertDeletedMPToDDB>("MMInsertDeletedMPToDDB", [](auto& p) { p.setValues(3, ""); });
  roundTrip<MMInsertDeletedMPToPhysicalCleanup>("MMInsertDeletedMPToPhysicalCleanup", [](auto& p) { p.setValues(3); });
  roundTrip<MMGetDDBListForDeletedMP>("MMGetDDBListForDeletedMP", [](auto& p) { p.setValues(""); });
  roundTrip<MMGetHybridCloudAssociations>("MMGetHybridCloudAssociations", [](auto& p) { p.setValues(3); });
  roundTrip<MMS2GetMissingHybridCloudMAsForDisk>("MMS2GetMissingHybridCloudMAsForDisk",
                                                 [](auto& p) { p.setValues(3); });
  roundTrip<GetClientProps>("getClientProps", [](auto& c) { c.setValues(2, 3, 0); });
}

// --- rows -----------------------------------------------------------------------------

template <class Row>
void expectFreshRow() {
  Row row;
  const ZQDBColumns& c = Row::zqdbColumns();
  const char* base = reinterpret_cast<const char*>(&row);
  for (int i = 0; i < c.count; ++i) {
    SCOPED_TRACE(c.cols[i].name);
    const char* field = base + c.cols[i].offset;
    switch (c.cols[i].field) {
      case ZQDBFieldKind::Int32:
        EXPECT_EQ(0, *reinterpret_cast<const int*>(field));
        break;
      case ZQDBFieldKind::Int64:
        EXPECT_EQ(0, *reinterpret_cast<const long long*>(field));
        break;
      case ZQDBFieldKind::FixedText:
        EXPECT_STREQ("", field);
        break;
      case ZQDBFieldKind::HeapText:
        EXPECT_EQ(nullptr, *reinterpret_cast<char* const*>(field));
        break;
      case ZQDBFieldKind::DateTime:
        break;
    }
  }
}

TEST(Rows, FreshRowsHoldZeroesEmptyTextsAndNullHeapTexts) {
  expectFreshRow<MMGetDeviceControllerForSharingCloud_t>();
  expectFreshRow<MMGetDataServerPath_t>();
  expectFreshRow<MMS2GetDevicePathsForMountPath_t>();
  expectFreshRow<MMDataServerIPControllerValidation_t>();
  expectFreshRow<MMGetBestFitTransportTypeForGivenMountPath_t>();
  expectFreshRow<MMCheckMPCanDelete_t>();
  expectFreshRow<MMGetRunningJobsForMountPath_t>();
  expectFreshRow<MMInsertDeletedMPToDDB_t>();
  expectFreshRow<MMInsertDeletedMPToPhysicalCleanup_t>();
  expectFreshRow<MMGetDDBListForDeletedMP_t>();
  expectFreshRow<MMGetHybridCloudAssociations_t>();
  expectFreshRow<MMS2GetMissingHybridCloudMAsForDisk_t>();
  expectFreshRow<GetClientProps_t>();
}

// The row with heap texts is never copied by the compiler; none of these
// rows has an assignment of its own.
static_assert(!std::is_copy_constructible_v<MMCheckMPCanDelete_t> && !std::is_copy_assignable_v<MMCheckMPCanDelete_t>);
static_assert(std::is_same_v<decltype(MMCheckMPCanDelete_t::o_errorString), char*>);
static_assert(std::is_same_v<decltype(MMCheckMPCanDelete_t::o_SIDBListXML), char*>);
static_assert(!std::is_copy_constructible_v<GetClientProps_t>);
static_assert(!std::is_copy_constructible_v<MMS2GetDevicePathsForMountPath_t>);

// Field widths the callers rely on.
static_assert(sizeof(MMGetDeviceControllerForSharingCloud_t::o_userPassword) == 2049);
static_assert(sizeof(MMGetDeviceControllerForSharingCloud_t::o_folder) == 1025);
static_assert(sizeof(MMGetDataServerPath_t::dataServerPath) == 1024);
static_assert(sizeof(MMS2GetDevicePathsForMountPath_t::MAClientName) == 256);
static_assert(sizeof(MMS2GetDevicePathsForMountPath_t::credentialName) == 1021);
static_assert(sizeof(MMGetBestFitTransportTypeForGivenMountPath_t::o_UserPassword) == 2049);
static_assert(sizeof(MMGetHybridCloudAssociations_t::o_cloudLibAliasName) == 1021);
static_assert(sizeof(MMS2GetMissingHybridCloudMAsForDisk_t::o_UserPassword) == 2049);
static_assert(sizeof(GetClientProps_t::r_timezone) == 511);
static_assert(sizeof(GetClientProps_t::r_JobResultsDir) == 511);
static_assert(sizeof(GetClientProps_t::r_AdminURL) == 256);
static_assert(GetClientProps_t::kColumnCount == 49);

// The mapping row: two signed 32-bit fields, 0 from construction, nothing
// to release, copied freely.
static_assert(sizeof(MMHybridCloudMapping_t) == 2 * sizeof(int));
static_assert(std::is_same_v<decltype(MMHybridCloudMapping_t::CloudLibraryId), int>);
static_assert(std::is_same_v<decltype(MMHybridCloudMapping_t::DiskLibraryId), int>);
static_assert(std::is_trivially_destructible_v<MMHybridCloudMapping_t>);
static_assert(std::is_trivially_copyable_v<MMHybridCloudMapping_t>);

TEST(Rows, AMappingRowStartsWithBothFieldsZero) {
  MMHybridCloudMapping_t row;
  EXPECT_EQ(0, row.CloudLibraryId);
  EXPECT_EQ(0, row.DiskLibraryId);
}

TEST(Rows, HeapTextsOfTheCheckRowAreReleasedOnce) {
  MMCheckMPCanDelete_t* row = new MMCheckMPCanDelete_t();
  row->o_errorString = new char[4]{'a', 'b', 'c', 0};
  row->o_SIDBListXML = new char[1]{0};
  delete row;  // under the sanitizers a leak or a double release fails
}

// Every procedure has a body in this database, and the cursor's batch its
// equivalent under the cursor's name; none of them is a table.
TEST_F(Metadata, EveryObjectHasABodyAndTheTablesItReadsExist) {
  for (const char* name :
       {"MMGetDeviceControllerForSharingCloud", "MMGetDataServerPath", "MMS2GetDevicePathsForMountPath",
        "MMDataServerIPControllerValidation", "MMGetBestFitTransportTypeForGivenMountPath",
        "MMUpdateWritersForSANDataServerConfiguredMountPath", "MMCheckMPCanDelete", "MMGetRunningJobsForMountPath",
        "MMInsertDeletedMPToDDB", "MMInsertDeletedMPToPhysicalCleanup", "MMGetDDBListForDeletedMP",
        "MMGetHybridCloudAssociations", "MMS2GetMissingHybridCloudMAsForDisk", "getClientProps"}) {
    EXPECT_TRUE(tkdb::hasProcedure(name)) << name;
    EXPECT_EQ("", tkdb::schemaStatementFor(name)) << name;
  }
  for (const char* table : {"MMVolume", "MMDeletedMountPathDDB", "MMMountPathPhysicalCleanup", "APP_ClientProp",
                            "APP_Platform", "SchedTimeZone", "SimOperatingSystem", "patchInfo", "APP_IDAName",
                            "APP_IDAProp", "simAllHalvaneRel", "simInstallHistory"}) {
    EXPECT_NE("", tkdb::schemaStatementFor(table)) << table;
    EXPECT_EQ(0, db.scalar("SELECT COUNT(*) FROM \"" + std::string(table) + "\"")) << table;
  }
}

}  // namespace
