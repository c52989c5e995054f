// Deleting and detecting NDMP servers, and every operation under the fault
// sweep: each platform call failing in turn ends in an answer on the socket
// and leaves no half change.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "platform/testkit/clock.h"
#include "platform/testkit/db.h"
#include "tests/nas_ndmpserver/NdmpServerFixture.h"
#include "tests/support/DatabaseDump.h"
#include "tests/support/FaultSweep.h"
#include "tests/support/FileSizeLimit.h"

namespace nastest {
namespace {

namespace nd = testkit::ndmp;

class NdmpServerDelete : public NdmpServerTest {
 protected:
  void SetUp() override { addClient(70, "filer7"); }
  long long remove(int osType = 0) {
    StreamBuilder b = server(kDelete, "filer7");
    b.i32(4105, 70);
    if (osType != 0) b.u32(11064, static_cast<uint32_t>(osType));
    return run(std::move(b.end()));
  }
};

TEST_F(NdmpServerDelete, TheRowGoesWithItsNasClientAndAnAuditRecord) {
  addRow(70, 6);
  testkit::nasclient::setNasClients({{"filer7", "ma1", false}});
  EXPECT_EQ(remove(), 1);
  expectOnly(kDelete, 1, "Success");
  EXPECT_TRUE(rows().empty());
  EXPECT_TRUE(testkit::nasclient::nasClients()[0].deleted);
  EXPECT_EQ(auditParams(), std::vector<std::string>{std::to_string(0x55000567)});
}

TEST_F(NdmpServerDelete, RowsThatMustStayAreRefused) {
  const int agentRow = addRow(70, 5);
  (void)agentRow;
  addRow(70, 16);
  const int nasRow = addRow(70, 6);
  ASSERT_EQ(db.exec("INSERT INTO APP_Application (id, clientId, appTypeId, subclientName) VALUES (7, 70, 88, 'sc')"), 0);
  ASSERT_EQ(db.exec("INSERT INTO APP_SubClientProp (componentNameId, attrName, attrVal) VALUES "
                    "(7, 'Centera NDMP Host Id', '70')"),
            0);
  ASSERT_EQ(db.exec("INSERT INTO MMDrivePool (DrivePoolName, NDMPHostId) VALUES ('ndmp pool', ?)", {nasRow}), 0);
  const std::vector<Row> before = rows();
  const struct {
    int osType;
    std::string text;
  } cases[] = {
      {5, catalogueText(0x24000064)},
      {16, catalogueText(0x240002F6)},
      {6, catalogueText(0x24000063, "filer7")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.osType);
    testkit::db::takeStatementsRun();
    EXPECT_EQ(remove(c.osType), 0);
    expectOnly(kDelete, 0, c.text);
    // Only the row that a pool names gets as far as the store step.
    const std::vector<std::string> run = testkit::db::takeStatementsRun();
    EXPECT_EQ(std::count(run.begin(), run.end(), "BEGIN IMMEDIATE"), c.osType == 6 ? 1 : 0);
  }
  EXPECT_EQ(rows(), before);
  EXPECT_TRUE(testkit::audit::records().empty());
}

TEST_F(NdmpServerDelete, AFailedNasClientRemovalKeepsRowAndClient) {
  addRow(70, 6);
  testkit::nasclient::setNasClients({{"filer7", "ma1", false}});
  testkit::nasclient::centralCalls().injectFailure("NasConfTKRemove", 0, "busy");
  EXPECT_EQ(remove(), 0);
  expectOnly(kDelete, 0, catalogueText(0x240001F6, "filer7"));
  EXPECT_EQ(rows().size(), 1u);
  EXPECT_FALSE(testkit::nasclient::nasClients()[0].deleted);
  EXPECT_TRUE(testkit::audit::records().empty());
}

// ---- detect -------------------------------------------------------------------------

class NdmpServerDetect : public NdmpServerTest {
 protected:
  long long detect(const std::string& host, uint32_t osType, uint32_t port = 0) {
    StreamBuilder b = server(kDetect, host);
    credentials(b).u32(11066, port);
    if (osType != 0) b.u32(11064, osType);
    return run(std::move(b.end()));
  }
  void expectDetected(uint32_t osType, const std::string& version, uint32_t port, uint32_t flags) {
    const auto got = replies();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].messageId, 11154u);
    Tags tags{11064, 11065, 11066};
    if (flags != 0) tags.push_back(9064);
    tags.push_back(2052);
    ASSERT_EQ(tagsOf(got[0]), tags);
    EXPECT_EQ(got[0].items[0].bytes, le32(osType));
    EXPECT_EQ(got[0].items[1].bytes, version);
    EXPECT_EQ(got[0].items[2].bytes, le32(port));
    if (flags != 0) {
      EXPECT_EQ(got[0].items[3].bytes, le32(flags));
    }
  }
};

TEST_F(NdmpServerDetect, AHostWithoutAFilerIsAnsweredWithoutALogin) {
  // A host value of the full 4,104 bytes carries no terminator.
  EXPECT_EQ(detect("#ZQNAS" + std::string(4098, 'x'), 0), 1);
  expectDetected(20, "1.0", 10000, 0);
  EXPECT_EQ(nd::journal().count("LoginToFiler"), 0u);
}

TEST_F(NdmpServerDetect, AnyNdmpTypeAcceptsWhatTheFilerReports) {
  seedFiler("filer8", 6, 0x21);
  EXPECT_EQ(detect("filer8", 10, 9000), 1);
  expectDetected(6, "9.1P2", 9000, 0x21);
}

TEST_F(NdmpServerDetect, TheStoredPasswordAndPortServeWhenNoneIsGiven) {
  addClient(80, "filer8");
  addRow(80, 6, "root", 8000);
  seedFiler("filer8", 6);
  StreamBuilder b = server(kDetect, "filer8");
  EXPECT_EQ(run(std::move(b.raw(11062, enc("root")).end())), 1);
  expectDetected(6, "9.1P2", 8000, 0);
}

TEST_F(NdmpServerDetect, AnotherOsTypeIsAnsweredWithTheMismatchOnly) {
  seedFiler("filer8", 8);
  EXPECT_EQ(detect("filer8", 7), 0);
  expectOnly(kDetect, 0, catalogueText(0x24000057, "filer8", "NAS Filer (cluster mode)"));
}

TEST_F(NdmpServerDetect, ARefusedFileSystemAgentLoginLeavesNoTemporaryRow) {
  addClient(81, "agent8");
  seedFiler("agent8", 5, 0, "other");
  EXPECT_EQ(detect("agent8", 0), 0);
  expectOnly(kDetect, 0, catalogueText(0x24000058, "agent8"));
  EXPECT_EQ(testkit::mmdb::calls("MMNDMPHostInfoDB::addNDMPHostInfo").size(), 1u);  // the "Temp" row
  EXPECT_EQ(nd::journal().count("LoginToFiler"), 2u);
  EXPECT_TRUE(rows().empty());
}

// ---- fault sweep ----------------------------------------------------------------------

class NdmpServerSweep : public NdmpServerTest {
 protected:
  void sweep(const char* name, const std::function<void()>& setup, const std::function<StreamBuilder()>& make,
             std::vector<std::string> judgedTables = {}, long commits = 1) {
    SCOPED_TRACE(name);
    tktest::SweepPlan plan;
    plan.commits = commits;
    plan.setup = setup;
    plan.request = [&] { run(make()); };
    plan.judgedTables = std::move(judgedTables);
    plan.check = [&](const tktest::SweepRun& run) -> std::string {
      const auto got = replies();
      for (const auto& reply : got)
        if (reply.messageId == 11154u) return "";
      return tktest::answeredOnSocket(got, run);
    };
    const tktest::SweepReport report = tktest::FaultSweep().run(plan);
    EXPECT_TRUE(report.clean()) << report;
    // A request whose writes are stored together commits exactly once
    // (the sweep holds it to at most once).
    if (plan.judgedTables.empty()) {
      EXPECT_EQ(report.commits, commits);
    }
  }
  testkit::clock::FakeClock clock;  // audit records of every run carry the same time
};

TEST_F(NdmpServerSweep, EveryOperationAlwaysAnswersAndNeverHalfChanges) {
  addClient(90, "agent9");
  addClient(91, "filer9");
  addRow(91, 6);
  testkit::nasclient::setNasClients({{"filer9", "ma1", false}});
  seedFiler("newfiler", 6, 0x21);
  seedFiler("agent9", 5, 0, "other");
  seedFiler("filer9.lab", 6, 0x21, "admin");
  sweep("add", [] {}, [] { return addRecord("newfiler", 6); });
  sweep("add of an archive cluster", [] {}, [] {
    StreamBuilder b = server(kAdd, "");
    return std::move(b.u32(11064, 14).text(9032, "cluster9").text(9031, "c9.pea").end());
  });
  sweep("delete", [] {}, [] {
    StreamBuilder b = server(kDelete, "filer9");
    return std::move(b.end());
  });
  // The temporary row is stored for the filer's login and removed after it.
  sweep(
      "detect with a temporary row", [] {},
      [] {
        StreamBuilder b = server(kDetect, "agent9");
        return std::move(credentials(b).end());
      },
      {}, 2);
  // An update writes outside a transaction, one setting after another: each
  // is whole, and the request ends at the first failure.
  sweep("update", [] {},
        [] {
          StreamBuilder b = server(kUpdate, "filer9");
          return std::move(credentials(b, "admin").u32(11066, 10001).text(11065, "9.2").end());
        },
        {"MMNDMPHostInfo", "AuditTrailRecord", "AuditTrailParam", "AuditTrailArgument"});
}

// A store step that cannot commit answers the catalogue's text with the
// database's reason, and keeps nothing: no row, no NAS client change, no
// audit record.
TEST_F(NdmpServerSweep, AStepThatCannotCommitAnswersTheDatabasesReasonAndKeepsNothing) {
  addClient(91, "filer9");
  addRow(91, 6);
  testkit::nasclient::setNasClients({{"filer9", "ma1", false}});
  seedFiler("newfiler", 6, 0x21);
  const std::string text =
      catalogueText(0x4800003A) + " The transaction could not be committed (disk I/O error: File too large)";
  for (auto [operation, request] : {std::pair{kAdd, addRecord("newfiler", 6)},
                                    std::pair{kDelete, std::move(server(kDelete, "filer9").end())}}) {
    SCOPED_TRACE(operation);
    const tktest::DatabaseDump before = tktest::DatabaseDump::take();
    {
      // The change's pages stay in memory until the commit writes the log.
      tktest::FileSizeLimit limit(0);
      ASSERT_TRUE(limit.set());
      EXPECT_EQ(run(std::move(request)), 0);
    }
    expectOnly(operation, 0, text);
    const tktest::DatabaseDump after = tktest::DatabaseDump::take();
    EXPECT_TRUE(after == before) << tktest::DatabaseDump::describeChanges(before, after);
    EXPECT_EQ(testkit::nasclient::nasClients().size(), 1u);
    EXPECT_FALSE(testkit::nasclient::nasClients()[0].deleted);
    EXPECT_TRUE(testkit::audit::records().empty());
  }
}

}  // namespace
}  // namespace nastest
