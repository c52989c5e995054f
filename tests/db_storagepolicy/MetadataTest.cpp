// Metadata of the six storage-policy bindings against their column tables,
// copy rules of their rows and catalogues, construction in both engine
// modes and registration in a transaction.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include "Db/Proc/MMS2getArchGrpNCopyListByLibId.h"
#include "Db/Proc/MMS2getArchGrpNCopyListByLibIdEZ.h"
#include "Db/Proc/MMS2getMountPathListForLibAndMA.h"
#include "Db/Tbl/archGroup.h"
#include "Db/Tbl/archGroupCopy.h"
#include "Db/Tbl/archTask.h"
#include "platform/db/DBSession.h"
#include "platform/testkit/db.h"
#include "platform/testkit/debuglog.h"
#include "tests/db_storagepolicy/ColumnTables.h"
#include "tests/support/TestDatabase.h"

namespace {

using namespace sptest;

// --- copy rules ------------------------------------------------------------------

// Rows that own heap text, and every catalogue, cannot be copied at all.
template <class T>
constexpr bool kNoCopies = !std::is_copy_constructible_v<T> && !std::is_copy_assignable_v<T> &&
                           !std::is_move_constructible_v<T> && !std::is_move_assignable_v<T> &&
                           !std::is_assignable_v<T&, T&>;

static_assert(kNoCopies<ArchGroup_t>);
static_assert(kNoCopies<ArchGroupCopy_t>);
static_assert(kNoCopies<ArchGroup_t2>);
static_assert(kNoCopies<ArchGroupCopy_t2>);
static_assert(kNoCopies<ArchTask_t2>);
static_assert(kNoCopies<MMS2getArchGrpNCopyListByLibId_t2>);
static_assert(kNoCopies<MMS2getArchGrpNCopyListByLibIdEZ_t2>);
static_assert(kNoCopies<MMS2getMountPathListForLibAndMA_t2>);
static_assert(kNoCopies<MMS2getArchGrpNCopyListByLibId_t>);
static_assert(kNoCopies<MMS2getArchGrpNCopyListByLibIdEZ_t>);
static_assert(kNoCopies<MMS2getMountPathListForLibAndMA_t>);
static_assert(kNoCopies<ArchGroup> && kNoCopies<ArchGroupCopy> && kNoCopies<ArchTask>);
// The task row keeps its assignment, and only that.
static_assert(std::is_copy_assignable_v<ArchTask_t>);
static_assert(!std::is_copy_constructible_v<ArchTask_t>);

// Row field types as the column tables give them.
static_assert(std::is_same_v<decltype(ArchGroup_t::name), char[577]>);
static_assert(std::is_same_v<decltype(ArchGroup_t::description), char*>);
static_assert(std::is_same_v<decltype(ArchGroup_t::TimeZone), char[256]>);
static_assert(std::is_same_v<decltype(ArchGroupCopy_t::startTime), long long>);
static_assert(std::is_same_v<decltype(ArchGroupCopy_t::extendedFlags), long long>);
static_assert(std::is_same_v<decltype(ArchGroupCopy_t::name), char[257]>);
static_assert(std::is_same_v<decltype(ArchGroupCopy_t::description), char*>);
static_assert(std::is_same_v<decltype(ArchTask_t::lastEvent), DB_DATETIME>);
static_assert(std::is_same_v<decltype(ArchTask_t::dataSizeGB), long long>);
static_assert(std::is_same_v<decltype(MMS2getArchGrpNCopyListByLibId_t::gName), char[1021]>);
static_assert(std::is_same_v<decltype(MMS2getArchGrpNCopyListByLibIdEZ_t::o_DefaultCopyName), char[1021]>);
static_assert(std::is_same_v<decltype(MMS2getMountPathListForLibAndMA_t::o_baseFolder), char[4097]>);
static_assert(std::is_same_v<decltype(MMS2getMountPathListForLibAndMA_t::o_net_HostName), char[256]>);
static_assert(std::is_same_v<decltype(MMS2getMountPathListForLibAndMA_t::o_jobId), long long>);
static_assert(offsetof(ArchGroup_t, id) == 0 && offsetof(ArchGroupCopy_t, id) == 0 && offsetof(ArchTask_t, id) == 0);
static_assert(sizeof(ArchDeleteBackupByMedia_t) == 5 * sizeof(int));
static_assert(std::is_trivially_copyable_v<ArchDeleteBackupByMedia_t>);

// --- metadata, one case per binding ---------------------------------------------

class Metadata : public ::testing::Test {
 protected:
  tktest::TestDatabase db;
};

template <class Object, class Catalogue, class Row>
void checkAll(const BindingTable& table) {
  checkRowLayout<Row>(table);
  Object object(nullptr);
  checkObject<Object, Catalogue>(object, table);
  EXPECT_EQ(static_cast<size_t>(Row::kColumnCount), table.columns.size());
  // A second catalogue shares the class-wide part, filled once.
  Catalogue second;
  checkCatalogue(&second, table);
  EXPECT_EQ(table.columns.size(), Catalogue::m_staticColumnVec.size());
  EXPECT_EQ(table.foreignKeys.size(), Catalogue::m_foreignKeyMap.size());
}

TEST_F(Metadata, ArchGroup) { checkAll<ArchGroup, ArchGroup_t2, ArchGroup_t>(archGroupTable()); }
TEST_F(Metadata, ArchGroupCopy) { checkAll<ArchGroupCopy, ArchGroupCopy_t2, ArchGroupCopy_t>(archGroupCopyTable()); }
TEST_F(Metadata, ArchTask) { checkAll<ArchTask, ArchTask_t2, ArchTask_t>(archTaskTable()); }
TEST_F(Metadata, ArchGroupListProcedure) {
  checkAll<MMS2getArchGrpNCopyListByLibId, MMS2getArchGrpNCopyListByLibId_t2, MMS2getArchGrpNCopyListByLibId_t>(
      listByLibIdTable());
}
TEST_F(Metadata, ArchGroupListProcedureEZ) {
  checkAll<MMS2getArchGrpNCopyListByLibIdEZ, MMS2getArchGrpNCopyListByLibIdEZ_t2,
           MMS2getArchGrpNCopyListByLibIdEZ_t>(listByLibIdEZTable());
}
TEST_F(Metadata, MountPathListProcedure) {
  checkAll<MMS2getMountPathListForLibAndMA, MMS2getMountPathListForLibAndMA_t2, MMS2getMountPathListForLibAndMA_t>(
      mountPathListTable());
}

TEST_F(Metadata, StoredSchemaTurnsOnlyTheCopyTablesXIntoB) {
  ArchGroupCopy_t2 copy;
  std::string declared = archGroupCopyTable().schema;
  std::string stored = copy.getStructDef();
  ASSERT_EQ(declared.size(), stored.size());
  std::vector<size_t> changed;
  for (size_t i = 0; i < declared.size(); ++i) {
    if (declared[i] != stored[i]) {
      EXPECT_EQ('x', declared[i]);
      EXPECT_EQ('b', stored[i]);
      changed.push_back(i);
    }
  }
  // Columns 9, 12 and 43 (counted from 1) carry the three x codes.
  std::vector<size_t> columnsChanged;
  for (size_t pos : changed) {
    columnsChanged.push_back(static_cast<size_t>(std::count(declared.begin(), declared.begin() + static_cast<long>(pos), '|')) + 1);
  }
  EXPECT_EQ((std::vector<size_t>{9, 12, 43}), columnsChanged);
  ArchGroup_t2 group;
  EXPECT_EQ(archGroupTable().schema, group.getStructDef());
}

TEST_F(Metadata, ConcurrentCatalogueConstructionKeepsOneNameList) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([] {
      for (int i = 0; i < 20; ++i) {
        ArchGroupCopy_t2 copy;
        MMS2getMountPathListForLibAndMA_t2 list;
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(43u, ArchGroupCopy_t2::m_staticColumnVec.size());
  EXPECT_EQ(3u, ArchGroupCopy_t2::m_foreignKeyMap.size());
  EXPECT_EQ(24u, MMS2getMountPathListForLibAndMA_t2::m_staticColumnVec.size());
}

// --- rows fresh from their constructors --------------------------------------------

TEST(Rows, FreshRowsAreZeroEmptyAndNull) {
  ArchGroup_t g;
  EXPECT_EQ(0, g.id);
  EXPECT_EQ(0, g.logSP);
  EXPECT_STREQ("", g.name);
  EXPECT_STREQ("", g.mediaPassword);
  EXPECT_STREQ("", g.TimeZone);
  EXPECT_STREQ("", g.SubclientExtensionTimeStampEncrypted);
  EXPECT_EQ(nullptr, g.description);

  ArchGroupCopy_t c;
  EXPECT_EQ(0, c.id);
  EXPECT_EQ(0, c.startTime);
  EXPECT_EQ(0, c.archCheckStartTime);
  EXPECT_EQ(0, c.extendedFlags);
  EXPECT_EQ(0, c.endTime);
  EXPECT_EQ(0, c.sealStoreTaskId);
  EXPECT_STREQ("", c.name);
  EXPECT_STREQ("", c.DDBLimitExtensionTimeStampEncrypted);
  EXPECT_EQ(nullptr, c.description);

  ArchTask_t t;
  EXPECT_EQ(0, t.id);
  EXPECT_EQ(0, t.dataSizeGB);
  EXPECT_EQ(0, t.percentCorruptLimit);
  EXPECT_TRUE(t.lastEvent.isCleared());
  EXPECT_TRUE(t.nextEvent.isCleared());
  EXPECT_STREQ("", t.lastEvent.text);
  EXPECT_EQ(0, t.nextEvent.flag);

  MMS2getArchGrpNCopyListByLibId_t l;
  EXPECT_EQ(0, l.groupId);
  EXPECT_EQ(0, l.copyId);
  EXPECT_STREQ("", l.groupName);
  EXPECT_STREQ("", l.copyName);
  EXPECT_STREQ("", l.gName);

  MMS2getArchGrpNCopyListByLibIdEZ_t e;
  EXPECT_EQ(0, e.o_ArchGroupId);
  EXPECT_EQ(0, e.o_AutoManageDisk);
  EXPECT_STREQ("", e.o_ArchGroupName);
  EXPECT_STREQ("", e.o_DefaultCopyName);

  MMS2getMountPathListForLibAndMA_t m;
  EXPECT_EQ(0, m.o_mountPathId);
  EXPECT_EQ(0, m.o_freeBytesMB);
  EXPECT_EQ(0, m.o_jobId);
  EXPECT_EQ(0, m.o_totalSpaceMB);
  EXPECT_EQ(0, m.o_MPUsedForLogCaching);
  EXPECT_STREQ("", m.o_mountPathName);
  EXPECT_STREQ("", m.o_baseFolder);
  EXPECT_STREQ("", m.o_clientName);
  EXPECT_STREQ("", m.o_net_HostName);

  ArchDeleteBackupByMedia_t d;
  EXPECT_EQ(0, d.jobId);
  EXPECT_EQ(0, d.mediaId);
}

TEST(Rows, HeapDescriptionsAreReleasedByTheirRows) {
  // Under LeakSanitizer a row that forgot its text fails the run.
  auto* g = new ArchGroup_t();
  g->description = new char[32];
  std::snprintf(g->description, 32, "policy of the vault");
  delete g;
  auto* c = new ArchGroupCopy_t();
  c->description = new char[8];
  std::snprintf(c->description, 8, "copy");
  delete c;
}

// --- engine modes and transactions -------------------------------------------------------

TEST_F(Metadata, TextModeBuildsNoCatalogueAndHandsNoIndicatorArray) {
  DBtable::b_newDBBase = 0;
  {
    ArchGroup g(nullptr);
    ArchGroupCopy c(nullptr);
    ArchTask t(nullptr);
    MMS2getArchGrpNCopyListByLibId l(nullptr);
    MMS2getArchGrpNCopyListByLibIdEZ e(nullptr);
    MMS2getMountPathListForLibAndMA m(nullptr);
    for (DBtable* object : std::vector<DBtable*>{&g, &c, &t, &l, &e, &m}) {
      EXPECT_EQ(nullptr, object->getCatalogue()) << object->getObjectName();
    }
    EXPECT_STREQ("00010005021000020000", e.getStamp());
    EXPECT_STREQ("1.3.2.1", t.getVersion());
    EXPECT_EQ(&t.getDataPtr()->id, t.getSerialField());
  }
  DBtable::b_newDBBase = 1;
}

TEST_F(Metadata, EveryBindingRegistersInAGivenTransactionAndNoneWithout) {
  DBtran tran;
  ASSERT_EQ(0, tran.startTran());
  ArchGroup g(&tran);
  ArchGroupCopy c(&tran);
  ArchTask t(&tran);
  MMS2getArchGrpNCopyListByLibId l(&tran);
  MMS2getArchGrpNCopyListByLibIdEZ e(&tran);
  MMS2getMountPathListForLibAndMA m(&tran);
  ArchGroup loose(nullptr);
  MMS2getMountPathListForLibAndMA looseProc(nullptr);
  EXPECT_EQ((std::vector<DBtable*>{&g, &c, &t, &l, &e, &m}), tran.registeredObjects());
  EXPECT_EQ(6u, testkit::db::journal().count("addObject"));
  EXPECT_EQ(nullptr, loose.getTransaction());
  EXPECT_EQ(nullptr, looseProc.getTransaction());
  EXPECT_EQ(0, tran.rollbackTran());
}

// A registration that throws is logged with the binding's header and class
// name and swallowed; the object stays usable.
template <class Object>
void expectRegistrationFailureLogged(DBtran& tran, const char* header, const char* className) {
  testkit::db::setAddObjectThrows(true);
  testkit::debuglog::Capture log;
  Object object(&tran);
  testkit::db::setAddObjectThrows(false);
  std::vector<testkit::debuglog::Line> lines = log.lines();
  ASSERT_EQ(1u, lines.size()) << className;
  char suffix[160];
  std::snprintf(suffix, sizeof suffix, "): %s Constructor [0x%08x], caught an exception", className,
                static_cast<unsigned int>(reinterpret_cast<uintptr_t>(&object) & 0xFFFFFFFFu));
  EXPECT_EQ(0u, lines[0].text.rfind(std::string(header) + "(", 0)) << lines[0].text;
  EXPECT_NE(std::string::npos, lines[0].text.find(suffix)) << lines[0].text;
  for (DBtable* registered : tran.registeredObjects()) EXPECT_NE(static_cast<DBtable*>(&object), registered);
  EXPECT_NE(nullptr, object.getDataPtr());
}

TEST_F(Metadata, AThrowingRegistrationIsLoggedWithTheHeaderAndSwallowed) {
  DBtran tran;
  ASSERT_EQ(0, tran.startTran());
  expectRegistrationFailureLogged<ArchGroup>(tran, "Db/Tbl/archGroup", "ArchGroup");
  expectRegistrationFailureLogged<ArchGroupCopy>(tran, "Db/Tbl/archGroupCopy", "ArchGroupCopy");
  expectRegistrationFailureLogged<ArchTask>(tran, "Db/Tbl/archTask", "ArchTask");
  expectRegistrationFailureLogged<MMS2getArchGrpNCopyListByLibId>(tran, "Db/Proc/MMS2getArchGrpNCopyListByLibId",
                                                                  "MMS2getArchGrpNCopyListByLibId");
  expectRegistrationFailureLogged<MMS2getArchGrpNCopyListByLibIdEZ>(
      tran, "Db/Proc/MMS2getArchGrpNCopyListByLibIdEZ", "MMS2getArchGrpNCopyListByLibIdEZ");
  expectRegistrationFailureLogged<MMS2getMountPathListForLibAndMA>(
      tran, "Db/Proc/MMS2getMountPathListForLibAndMA", "MMS2getMountPathListForLibAndMA");
  EXPECT_TRUE(tran.registeredObjects().empty());
  EXPECT_EQ(0, tran.rollbackTran());
}

// --- the schema in the database ---------------------------------------------------------

TEST_F(Metadata, TheTablesExistWithTheirColumnsAndIdentity) {
  for (const BindingTable* table : {&archGroupTable(), &archGroupCopyTable(), &archTaskTable()}) {
    SCOPED_TRACE(table->dbName);
    tkdb::DbRows cols = db.query(std::string("SELECT name, pk FROM pragma_table_info('") + table->dbName + "')");
    ASSERT_EQ(table->columns.size(), cols.size());
    for (size_t i = 0; i < cols.size(); ++i) {
      EXPECT_EQ(table->columns[i].name, cols[i][0].s);
      EXPECT_EQ(i == 0 ? 1 : 0, cols[i][1].i) << "only id is the key";
    }
  }
  // Procedures are no tables.
  EXPECT_EQ(0, db.scalar("SELECT COUNT(*) FROM sqlite_master WHERE name LIKE 'MMS2get%'"));
  // The platform tables the procedure bodies read.
  for (const char* table : {"MMDataPath", "archAgingRule", "APP_Client"}) {
    EXPECT_EQ(1, db.scalar("SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND name = ?", {table}))
        << table;
  }
  EXPECT_TRUE(tkdb::hasProcedure("MMS2getArchGrpNCopyListByLibId"));
  EXPECT_TRUE(tkdb::hasProcedure("mms2getarchgrpncopylistbylibidez"));
  EXPECT_TRUE(tkdb::hasProcedure("MMS2getMountPathListForLibAndMA"));
}

}  // namespace
