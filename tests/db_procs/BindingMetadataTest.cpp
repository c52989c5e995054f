// What every binding tells the engine and what its catalogue answers,
// checked against the column tables of the bindings: names, kinds, stamps
// and versions, select lists, schemas, keys, serial columns, foreign keys,
// descriptions, the value object of each column, and the rows' shape.
#include <gtest/gtest.h>

#include <cstddef>
#include <map>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "Db/Proc/MMIsMAPushedToAnotherTK.h"
#include "Db/Proc/MMMountpathCredentialAssociation.h"
#include "Db/Proc/MMS2GetMediaAgentList.h"
#include "Db/Proc/MMS2IsCenteraNDMPHostIdInUse.h"
#include "Db/Proc/QR_GetDeviceID.h"
#include "Db/Tbl/APP_Credentials.h"
#include "Db/Tbl/JMJobInfo.h"
#include "Db/Tbl/MMRPStoreConfig.h"
#include "Db/Tbl/TM_AssocEntity.h"
#include "platform/db/DBSession.h"

namespace {

using Columns = std::vector<std::pair<std::string, std::string>>;  // name, schema code as declared
using ForeignKeys = std::map<std::string, std::map<std::string, std::string>>;

struct Expected {
  const char* dbName;
  const char* className;
  int kind;        // the engine's object kind
  int headerType;  // the catalogue's
  const char* description;
  const char* version;  // dotted version (tables) or 20-digit stamp (procedures)
  Columns columns;
  std::vector<std::string> keys;
  const char* primaryWhere;
  int serialColNum;
  const char* serialName;  // what the engine is told; null for procedures
  bool serialField;        // the engine gets the row's first field as identity target
  const char* orderBy;
  ForeignKeys foreignKeys;
};

std::string joined(const Columns& columns) {
  std::string s;
  for (const auto& c : columns) s += (s.empty() ? "" : ", ") + c.first;
  return s;
}

// The schema text as the catalogue keeps it: x shows as b.
std::string schemaOf(const Columns& columns) {
  std::string s;
  for (const auto& c : columns) {
    std::string code = c.second;
    if (code[0] == 'x') code[0] = 'b';
    s += code + "|";
  }
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

// The catalogue class of a binding object, for getForeignKeyMap.
template <class Row, class Cat, const ZQDBBindingInfo& Info>
Cat* getCatalogueOf(const ZQDBProcedure<Row, Cat, Info>&);
template <class Row, class Cat, const ZQDBBindingInfo& Info>
Cat* getCatalogueOf(const ZQDBTable<Row, Cat, Info>&);

template <class Obj>
void checkBinding(const Expected& e) {
  SCOPED_TRACE(e.className);
  DBtable::b_newDBBase = 1;
  Obj obj(nullptr);
  EXPECT_EQ(e.dbName, obj.getObjectName());
  EXPECT_EQ(e.kind, obj.getKind());
  EXPECT_EQ(joined(e.columns), obj.getSelectList());
  EXPECT_STREQ(e.description, obj.getDescription());
  if (e.kind == ZQDB_KIND_PROCEDURE) {
    EXPECT_STREQ(e.version, obj.getStamp());
    EXPECT_EQ(20u, std::string(obj.getStamp()).size());
    EXPECT_EQ(nullptr, obj.getSerialColName());
    EXPECT_EQ("", obj.getOrderBy());
  } else {
    EXPECT_STREQ(e.version, obj.getVersion());
    EXPECT_STREQ(e.serialName, obj.getSerialColName());
    EXPECT_EQ(e.orderBy, obj.getOrderBy());
  }
  EXPECT_EQ(e.serialField ? static_cast<void*>(obj.getDataPtr()) : nullptr, obj.getSerialField());
  EXPECT_EQ(nullptr, obj.getTransaction());

  ZQDBRowBase* cat = obj.getCatalogue();
  ASSERT_NE(nullptr, cat);
  EXPECT_TRUE(cat->isGenerated());
  EXPECT_EQ(e.className, cat->getTableName());
  EXPECT_EQ(e.headerType, cat->getHeaderType());
  EXPECT_EQ(schemaOf(e.columns), cat->getStructDef());
  EXPECT_EQ(e.primaryWhere, cat->getPrimaryWhere());
  EXPECT_EQ(e.serialColNum, cat->getSerialColNum());
  EXPECT_EQ(e.keys, cat->primaryKeyNames());
  std::vector<ZQDBDataTypeBase*> keyValues = cat->getPrimaryData();
  ASSERT_EQ(e.keys.size(), keyValues.size());
  for (size_t k = 0; k < e.keys.size(); ++k) EXPECT_EQ(cat->columnMap().at(e.keys[k]), keyValues[k]);

  std::vector<ZQDBDataTypeBase*> values = cat->getData();
  ASSERT_EQ(e.columns.size(), values.size());
  for (size_t i = 0; i < e.columns.size(); ++i) {
    const int index = static_cast<int>(i);
    EXPECT_EQ(e.columns[i].first, cat->getColumnName(index));
    EXPECT_STREQ(e.columns[i].first.c_str(), cat->getColumnName_t2(index));
    EXPECT_EQ(cat->columnMap().at(e.columns[i].first), values[i]);
    EXPECT_EQ(typeCodeOf(e.columns[i].second), values[i]->getDataType()) << e.columns[i].first;
    EXPECT_TRUE(values[i]->isNull());
    EXPECT_EQ(ZQDB_NOT_UPDATED, values[i]->getUpdated());
  }
  EXPECT_EQ("", cat->getColumnName(static_cast<int>(e.columns.size())));

  // foreign keys through the concrete catalogue class
  using Cat = std::remove_pointer_t<decltype(getCatalogueOf(obj))>;
  auto* concrete = dynamic_cast<Cat*>(cat);
  ASSERT_NE(nullptr, concrete);
  EXPECT_EQ(e.foreignKeys, concrete->getForeignKeyMap());

  // The row's field table matches the columns (names, codes, lengths).
  const ZQDBColumns& fields = std::remove_pointer_t<decltype(obj.getDataPtr())>::zqdbColumns();
  ASSERT_EQ(static_cast<int>(e.columns.size()), fields.count);
  for (size_t i = 0; i < e.columns.size(); ++i) {
    std::string code(1, fields.cols[i].code);
    if (fields.cols[i].length > 0) code += std::to_string(fields.cols[i].length);
    EXPECT_EQ(e.columns[i].first, fields.cols[i].name);
    EXPECT_EQ(e.columns[i].second, code);
  }
}

const Columns kMediaAgentList = {
    {"o_hostClientId", "i"},
    {"o_hostName", "s256"},
    {"o_hostDisplayName", "s256"},
    {"o_hostNetworkName", "s256"},
    {"o_hostType", "i"},
    {"o_softState", "i"},
    {"o_enabled", "i"},
    {"o_MAOfflineReason", "i"},
    {"o_ReleaseId", "i"},
    {"o_SoftWareRelease", "s256"},
    {"o_SoftWareBuildId", "s256"},
    {"o_SystemOsVersion", "s256"},
    {"o_SystemHardWare", "s256"},
    {"o_SystemOsId", "i"},
    {"o_numLibraries", "i"},
    {"o_isTarnkeeper", "i"},
    {"o_isVirtualClient", "i"},
    {"o_attribute", "i"},
    {"o_isPreConfigured", "i"},
    {"o_patchStatus", "i"},
    {"o_isMACatalogServer", "i"},
    {"o_isEDCDiscovered", "i"},
    {"o_MAMaxReservations", "i"},
    {"o_flags", "i"},
    {"o_description", "s"},
    {"o_Capabilities", "b"},
    {"o_InstalledTime", "i"},
};

const Columns kCredentials = {
    {"credentialId", "i"}, {"credentialName", "u1021"}, {"recordType", "i"},     {"userName", "u1021"},
    {"password", "s801"},  {"description", "s2049"},    {"created", "x"},        {"enabled", "i"},
    {"flags", "i"},        {"credentialGUID", "s65"},   {"credentialInfo", "s"},
};

const Columns kJobInfo = {
    {"jobId", "i"},
    {"initFrom", "i"},
    {"opType", "i"},
    {"userId", "i"},
    {"clientPriority", "i"},
    {"opPriority", "i"},
    {"appPriority", "i"},
    {"combPriority", "i"},
    {"currentPhase", "i"},
    {"jobStartTime", "i"},
    {"attemptStartTime", "i"},
    {"serverEndTime", "i"},
    {"jobElapsedTime", "i"},
    {"elapsedTime", "i"},
    {"lastStartOrRun", "i"},
    {"phaseParams", "s"},
    {"restartString", "s"},
    {"startAttempts", "i"},
    {"runAttempts", "i"},
    {"state", "i"},
    {"pendingCause", "i"},
    {"restartable", "i"},
    {"appArgs", "s"},
    {"numOfFailures", "i"},
    {"failureReason", "s257"},
    {"preemptable", "i"},
    {"taskLinkID", "i"},
    {"percentcomplete", "i"},
    {"displayState", "i"},
    {"tarnfoldId", "i"},
    {"resourcesAllocated", "i"},
    {"currentContext", "i"},
    {"libraryList", "s"},
    {"driveList", "s"},
    {"opUsername", "s"},
    {"phaseOnSuccess", "i"},
    {"interruptedPhase", "i"},
    {"errorType", "i"},
    {"currentPhaseName", "s"},
    {"timeToComplete", "i"},
    {"lastUpdateFromClient", "i"},
    {"lastStateChangeTime", "b"},
    {"jobCategory", "i"},
    {"recoveredFromServiceRestart", "i"},
    {"noOfGUIMonitors", "i"},
    {"isScheduledAlert", "i"},
    {"jobBasedAlertId", "i"},
    {"alertName", "s257"},
    {"shortMediaAgent", "s"},
    {"seqNumber", "b"},
    {"activeFile", "u"},
    {"guiAlertColorLevel", "i"},
    {"jobDescription", "s"},
    {"xmlJobInfo", "s"},
    {"subOpType", "i"},
    {"foreignToken", "s4097"},
    {"preparedJobId", "i"},
};

Columns assocColumns() {
  Columns c;
  for (const char* name : {"assocId",
                           "assocType",
                           "taskId",
                           "flags",
                           "created",
                           "clientGroupId",
                           "clientId",
                           "apptypeId",
                           "instanceId",
                           "backupsetId",
                           "subclientId",
                           "policyId",
                           "copyId",
                           "srmReportSet",
                           "srmReportType",
                           "exclude",
                           "trackingPolicyId",
                           "MediaAgentId",
                           "agentlessPolicyId",
                           "workflowId",
                           "sidbStoreId",
                           "libraryId",
                           "logMonitoringPolicyId",
                           "entityId"}) {
    c.emplace_back(name, "i");
  }
  return c;
}

TEST(BindingMetadata, MediaAgentListProcedure) {
  checkBinding<MMS2GetMediaAgentList>({"MMS2GetMediaAgentList",
                                       "MMS2GetMediaAgentList",
                                       2,
                                       2,
                                       "Procedure MMS2GetMediaAgentList",
                                       "00010047001200080000",
                                       kMediaAgentList,
                                       {},
                                       "",
                                       -1,
                                       nullptr,
                                       false,
                                       "",
                                       {}});
  EXPECT_EQ("i|s256|s256|s256|i|i|i|i|i|s256|s256|s256|s256|i|i|i|i|i|i|i|i|i|i|i|s|b|i|", schemaOf(kMediaAgentList));
}

TEST(BindingMetadata, LibraryHostProcedure) {
  checkBinding<MMIsMAPushedToAnotherTK>({"MMIsMAPushedToAnotherTK",
                                         "MMIsMAPushedToAnotherTK",
                                         2,
                                         2,
                                         "Procedure MMIsMAPushedToAnotherTK",
                                         "00010001000400030000",
                                         {{"o_isPushedToAnotherTK", "i"}, {"o_reserveOutput", "i"}},
                                         {},
                                         "",
                                         -1,
                                         nullptr,
                                         false,
                                         "",
                                         {}});
}

TEST(BindingMetadata, CredentialsTable) {
  checkBinding<APP_Credentials>({"APP_Credentials",
                                 "APP_Credentials",
                                 1,
                                 1,
                                 "Table APP_Credentials",
                                 "1.1.2.5",
                                 kCredentials,
                                 {"credentialId"},
                                 "credentialId = ?",
                                 0,
                                 "credentialId",
                                 true,
                                 "credentialId",
                                 {}});
  EXPECT_EQ("i|u1021|i|u1021|s801|s2049|b|i|i|s65|s|", schemaOf(kCredentials));
}

TEST(BindingMetadata, JobInformationTable) {
  ASSERT_EQ(57u, kJobInfo.size());
  checkBinding<JMJobInfo>({"JMJobInfo",
                           "JMJobInfo",
                           1,
                           1,
                           "Table JMJobInfo",
                           "1.63.208.5",
                           kJobInfo,
                           {"jobId", "tarnfoldId"},
                           "jobId = ?AND tarnfoldId = ?",
                           -1,
                           "",
                           false,
                           "jobId, tarnfoldId",
                           {{"JMJobStats", {{"jobId", "jobId"}, {"tarnfoldId", "tarnfoldId"}}}}});
}

TEST(BindingMetadata, CredentialAssociationProcedure) {
  checkBinding<MMMountpathCredentialAssociation>({"MMMountpathCredentialAssociation",
                                                  "MMMountpathCredentialAssociation",
                                                  2,
                                                  2,
                                                  "Procedure MMMountpathCredentialAssociation",
                                                  "00010001000200020000",
                                                  {{"o_result", "i"}, {"o_oldCredentialName", "u1021"}},
                                                  {},
                                                  "",
                                                  -1,
                                                  nullptr,
                                                  false,
                                                  "",
                                                  {}});
  MMMountpathCredentialAssociation proc(nullptr);
  EXPECT_STREQ("o_result, o_oldCredentialName", proc.getSelectList());
  EXPECT_EQ("i|u1021|", proc.getCatalogue()->getStructDef());
}

TEST(BindingMetadata, NDMPHostUsageProcedure) {
  checkBinding<MMS2IsCenteraNDMPHostIdInUse>({"MMS2IsCenteraNDMPHostIdInUse",
                                              "MMS2IsCenteraNDMPHostIdInUse",
                                              2,
                                              2,
                                              "Procedure MMS2IsCenteraNDMPHostIdInUse",
                                              "00010002030400020000",
                                              {{"o_AppId", "i"},
                                               {"o_SubclientName", "s256"},
                                               {"o_AppTypeId", "i"},
                                               {"o_AppTypeName", "s256"},
                                               {"o_ClientId", "i"},
                                               {"o_ClientName", "s256"}},
                                              {},
                                              "",
                                              -1,
                                              nullptr,
                                              false,
                                              "",
                                              {}});
  MMS2IsCenteraNDMPHostIdInUse proc(nullptr);
  EXPECT_STREQ("o_AppId, o_SubclientName, o_AppTypeId, o_AppTypeName, o_ClientId, o_ClientName", proc.getSelectList());
  EXPECT_EQ("i|s256|i|s256|i|s256|", proc.getCatalogue()->getStructDef());
}

TEST(BindingMetadata, TaskAssociationTable) {
  Columns columns = assocColumns();
  ASSERT_EQ(24u, columns.size());
  checkBinding<TM_AssocEntity>({"TM_AssocEntity",
                                "TM_AssocEntity",
                                1,
                                1,
                                "Table TM_AssocEntity",
                                "1.9.2.3",
                                columns,
                                {"assocId"},
                                "assocId = ?",
                                0,
                                "assocId",
                                true,
                                "assocId",
                                {{"TM_Task", {{"taskId", "taskId"}}}}});
  std::string schema;
  for (int i = 0; i < 24; ++i) schema += "i|";
  EXPECT_EQ(schema, schemaOf(columns));
}

TEST(BindingMetadata, DeviceIdProcedure) {
  checkBinding<QR_GetDeviceID>({"QR_GetDeviceID",
                                "QR_GetDeviceID",
                                2,
                                2,
                                "Procedure QR_GetDeviceID",
                                "00010003029400020000",
                                {{"o_deviceID", "i"}},
                                {},
                                "",
                                -1,
                                nullptr,
                                false,
                                "",
                                {}});
}

// The tables exist in every database with their keys; the procedures do not.
TEST(BindingMetadata, TablesAreInTheSchemaAndProceduresHaveBodies) {
  std::string credentials = tkdb::schemaStatementFor("APP_Credentials");
  EXPECT_NE(std::string::npos, credentials.find("\"credentialId\" INTEGER PRIMARY KEY AUTOINCREMENT")) << credentials;
  EXPECT_NE(std::string::npos, credentials.find("\"credentialName\" TEXT COLLATE NOCASE")) << credentials;
  std::string jobs = tkdb::schemaStatementFor("JMJobInfo");
  EXPECT_NE(std::string::npos, jobs.find("PRIMARY KEY (\"jobId\", \"tarnfoldId\")")) << jobs;
  std::string assoc = tkdb::schemaStatementFor("TM_AssocEntity");
  EXPECT_NE(std::string::npos, assoc.find("\"assocId\" INTEGER PRIMARY KEY AUTOINCREMENT")) << assoc;
  for (const char* proc : {"MMS2GetMediaAgentList", "MMIsMAPushedToAnotherTK", "MMMountpathCredentialAssociation",
                           "MMS2IsCenteraNDMPHostIdInUse", "QR_GetDeviceID"}) {
    EXPECT_TRUE(tkdb::hasProcedure(proc)) << proc;
    EXPECT_EQ("", tkdb::schemaStatementFor(proc)) << proc;
  }
  for (const char* table : {"MMHost", "APP_CredentialAssoc", "APP_Application", "APP_ApplicationType",
                            "APP_SubClientProp", "SNRVolumeDeviceName", "APP_Client"}) {
    EXPECT_NE("", tkdb::schemaStatementFor(table)) << table;
  }
}

// --- rows ---------------------------------------------------------------------------------

// Rows that own heap texts are never copied by the compiler; no row here
// has an assignment of its own.
static_assert(!std::is_copy_constructible_v<APP_Credentials_t> && !std::is_copy_assignable_v<APP_Credentials_t>);
static_assert(!std::is_copy_constructible_v<JMJobInfo_t> && !std::is_copy_assignable_v<JMJobInfo_t>);
static_assert(!std::is_copy_constructible_v<MMS2GetMediaAgentList_t> &&
              !std::is_copy_assignable_v<MMS2GetMediaAgentList_t>);
static_assert(!std::is_copy_constructible_v<TM_AssocEntity_t> && !std::is_copy_assignable_v<TM_AssocEntity_t>);
static_assert(!std::is_copy_constructible_v<MMIsMAPushedToAnotherTK_t>);
static_assert(!std::is_copy_constructible_v<MMMountpathCredentialAssociation_t>);
static_assert(!std::is_copy_constructible_v<MMS2IsCenteraNDMPHostIdInUse_t>);
static_assert(!std::is_copy_constructible_v<QR_GetDeviceID_t>);
// The replication-store record owns nothing and is handed around in arrays.
static_assert(std::is_trivially_copyable_v<MMRPStoreConfig_t>);

// Field widths the callers rely on.
static_assert(sizeof(MMS2GetMediaAgentList_t::o_hostName) == 256);
static_assert(sizeof(APP_Credentials_t::credentialName) == 1021);
static_assert(sizeof(APP_Credentials_t::password) == 801);
static_assert(sizeof(APP_Credentials_t::description) == 2049);
static_assert(std::is_same_v<decltype(APP_Credentials_t::credentialInfo), char*>);
static_assert(std::is_same_v<decltype(APP_Credentials_t::created), long long>);
static_assert(sizeof(JMJobInfo_t::foreignToken) == 4097);
static_assert(sizeof(MMMountpathCredentialAssociation_t::o_oldCredentialName) == 1021);
static_assert(sizeof(MMS2IsCenteraNDMPHostIdInUse_t::o_ClientName) == 256);
static_assert(sizeof(MMRPStoreConfig_t::Name) == 1025);

template <class Row>
void expectFreshRow(const Row& row) {
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
        EXPECT_TRUE(reinterpret_cast<const DB_DATETIME*>(field)->isCleared());
        break;
    }
  }
}

TEST(Rows, FreshRowsHoldZeroesEmptyTextsAndNullHeapTexts) {
  expectFreshRow(MMS2GetMediaAgentList_t());
  expectFreshRow(MMIsMAPushedToAnotherTK_t());
  expectFreshRow(APP_Credentials_t());
  expectFreshRow(JMJobInfo_t());
  expectFreshRow(MMMountpathCredentialAssociation_t());
  expectFreshRow(MMS2IsCenteraNDMPHostIdInUse_t());
  expectFreshRow(TM_AssocEntity_t());
  expectFreshRow(QR_GetDeviceID_t());
  EXPECT_EQ(24, TM_AssocEntity_t::kColumnCount);
  EXPECT_EQ(57, JMJobInfo_t::kColumnCount);
}

TEST(Rows, ReplicationStoreRecordStartsAllZero) {
  MMRPStoreConfig_t row;
  EXPECT_STREQ("", row.Name);
  const int fields[] = {row.RPStoreId, row.LibraryId, row.Field4,  row.MountPathId, row.State,  row.Field7,
                        row.MinSpace,  row.MaxSpace,  row.Field10, row.Field11,     row.Field12};
  for (int f : fields) EXPECT_EQ(0, f);
  MMRPStoreConfig_t copy = row;
  copy.State = kRPStoreStateCreated;
  EXPECT_EQ(2, copy.State);
  EXPECT_EQ(0, row.State);
}

TEST(Rows, HeapTextsAreReleasedOnceAndLeftNull) {
  // Under the sanitizers a leak or a double release fails the test.
  JMJobInfo_t* row = new JMJobInfo_t();
  row->phaseParams = new char[8]{'p', 'h', 'a', 's', 'e', 0, 0, 0};
  row->xmlJobInfo = new char[1]{0};
  delete row;
  MMS2GetMediaAgentList_t agent;
  agent.o_description = new char[4]{'a', 'b', 'c', 0};
}

}  // namespace
