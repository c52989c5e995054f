// Adding and updating NDMP servers as the host calls them: the operation
// replies on the client's socket, the NDMP rows and NAS clients stored, the
// filer logins and the audit records.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/client/ZQApplicationType.h"
#include "tests/nas_ndmpserver/NdmpServerFixture.h"

namespace nastest {
namespace {

namespace nd = testkit::ndmp;

class NdmpServerAdd : public NdmpServerTest {
 protected:
  int clientIdOf(const std::string& name) {
    const auto found = db.query("SELECT id FROM APP_Client WHERE name = ?", {name});
    return found.empty() ? 0 : static_cast<int>(found[0][0].i);
  }
  bool isNasClient(const std::string& name) {
    for (const auto& row : testkit::nasclient::nasClients())
      if (row.name == name && !row.deleted) return true;
    return false;
  }
};

TEST_F(NdmpServerAdd, AFilerIsProvedThenStoredWithItsNasClientAndFlags) {
  seedFiler("filer1", 6, 0x21);
  EXPECT_EQ(run(addRecord("filer1", 6, 0)), 1);
  expectOnly(kAdd, 1, "Success");
  const int id = clientIdOf("filer1");
  ASSERT_NE(id, 0);
  EXPECT_EQ(rows(), (std::vector<Row>{{id, 6, "root", enc("secret"), 10000, "9.1P2", 0x21}}));
  EXPECT_TRUE(isNasClient("filer1"));
  EXPECT_EQ(nd::loginCount("filer1"), 1);
  EXPECT_FALSE(log.contains("secret"));
}

TEST_F(NdmpServerAdd, ASecondRecordInheritsWhatTheFirstOneSet) {
  seedFiler("filer1", 6);
  StreamBuilder b = server(kDetect, "filer1");
  credentials(b).u32(11066, 0).end();
  b.op(kAdd).u32(11064, 6).text(11065, "9.1P2").end();
  EXPECT_EQ(run(std::move(b)), 1);
  const auto got = replies();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].messageId, 11154u);
  expectOperation(got[1], kAdd, 1, "Success");
  EXPECT_EQ(rows().size(), 1u);
}

TEST_F(NdmpServerAdd, EachKindOfServerIsAddedAsItsKindRequires) {
  addClient(40, "ma1");  // network host name ma1.lab
  seedFiler("ma1.lab", 12);
  seedFiler("filer7", 8);
  {
    SCOPED_TRACE("an archive cluster needs no filer and no row");
    StreamBuilder b = server(kAdd, "");
    EXPECT_EQ(run(std::move(b.u32(11064, 14).text(9032, "cluster1").text(9031, "cluster1.pea").end())), 1);
    std::string resource;
    ApplicationTypeCenteraFS(static_cast<unsigned long>(clientIdOf("cluster1")), 88).getCenteraResourceFileName(resource);
    EXPECT_EQ(resource, "cluster1.pea");
    EXPECT_TRUE(isNasClient("cluster1"));
  }
  {
    SCOPED_TRACE("an archive cluster named by element 11058 lacks its host string");
    StreamBuilder b = server(kAdd, "cluster2");
    EXPECT_EQ(run(std::move(b.u32(11064, 14).end())), 0);
  }
  EXPECT_EQ(run(addRecord("nofiler", 20)), 1);
  EXPECT_EQ(run(addRecord("ma1", 12)), 1);        // the client's network host name is the filer
  EXPECT_EQ(run(addRecord("ghost", 16)), 0);      // names no client
  EXPECT_EQ(run(addRecord("filer7", 7)), 1);      // stored as what the filer reports
  const auto got = replies();
  ASSERT_EQ(got.size(), 6u);
  expectOperation(got[1], kAdd, 0, catalogueText(0x240001F3));
  expectOperation(got[4], kAdd, 0, catalogueText(0x24000056, "ghost"));
  EXPECT_EQ(nd::journal().count("LoginToFiler"), 2u);  // only ma1.lab and filer7
  EXPECT_EQ(rows(), (std::vector<Row>{{clientIdOf("nofiler"), 20, "root", enc("secret"), 10000, "9.1P2", 0},
                                      {40, 12, "root", enc("secret"), 10000, "9.1P2", 0},
                                      {clientIdOf("filer7"), 8, "root", enc("secret"), 10000, "9.1P2", 0}}));
  EXPECT_FALSE(isNasClient("ma1"));  // an existing client gets no second NAS-client row
}

TEST_F(NdmpServerAdd, EachNewClientRunsTheCatalogueSystemOfItsKindAndAnExistingClientKeepsItsOwn) {
  seedFiler("filer1", 6);
  addClient(40, "ma1");  // network host name ma1.lab
  ASSERT_EQ(testkit::client::setClientFacts(40, 3, 0), 0);
  seedFiler("ma1.lab", 12);
  struct Case {
    const char* name;
    std::function<StreamBuilder()> record;
    const char* client;
    long long system;  // SimOperatingSystem id
    bool nas;
  } cases[] = {
      {"a filer", [] { return addRecord("filer1", 6); }, "filer1", 70, true},
      {"a NAS without a filer login", [] { return addRecord("nofiler", 20); }, "nofiler", 70, true},
      {"an archive cluster",
       [] {
         StreamBuilder b = server(kAdd, "");
         return std::move(b.u32(11064, 14).text(9032, "cluster1").end());
       },
       "cluster1", 55, false},
      {"a client already known", [] { return addRecord("ma1", 12); }, "ma1", 3, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(run(c.record()), 1);
    const long long system = db.scalar("SELECT simOperatingSystemId FROM APP_Client WHERE name = ?", {c.client});
    EXPECT_EQ(system, c.system);
    EXPECT_EQ(EvNASConfigMgr::IsNasOs(static_cast<unsigned int>(system)), c.nas);
  }
  // The NDMP kind stays in the NDMP row.
  EXPECT_EQ(db.scalar("SELECT osType FROM MMNDMPHostInfo WHERE clientId = ?", {clientIdOf("filer1")}), 6);
}

TEST_F(NdmpServerAdd, AnAddWithoutAPortIsRefusedBeforeAnyLogin) {
  seedFiler("filer1", 6);
  StreamBuilder b = server(kAdd, "filer1");
  credentials(b).u32(11064, 6).text(11065, "9.1");
  EXPECT_EQ(run(std::move(b.end())), 0);
  expectOnly(kAdd, 0, catalogueText(0x240001F3));
  EXPECT_EQ(nd::journal().count("LoginToFiler"), 0u);
}

TEST_F(NdmpServerAdd, EachFilerLoginFailureIsAnsweredWithItsMessageAndHost) {
  const struct {
    const char* name;
    std::function<void()> arrange;
    unsigned long message;
  } cases[] = {
      {"no such host", [] {}, 0x240002FB},
      {"no connection", [] { seedFiler("f", 6); nd::makeUnreachable("f", 0x27000099); }, 0x24000058},
      {"wrong password", [] { seedFiler("f", 6, 0, "admin"); }, 0x24000059},
      {"no OS type", [] { seedFiler("f", 6); nd::journal().injectFailure("getOsType", 0, "busy"); }, 0x2400005A},
      {"OS type 0", [] { seedFiler("f", 0); }, 0x2400005B},
      {"no session", [] { seedFiler("f", 6); nd::refuseSessions("f"); }, 0x2400005C},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    nd::reset();
    c.arrange();
    EXPECT_EQ(run(addRecord("f", 6)), 0);
    expectOnly(kAdd, 0, catalogueText(c.message, "f"));
    EXPECT_TRUE(rows().empty());
    EXPECT_TRUE(testkit::nasclient::nasClients().empty());
    EXPECT_EQ(nd::journal().count("LogOffFiler"), 1u);
  }
}

TEST_F(NdmpServerAdd, AFileSystemAgentWhoseSecondLoginFailsKeepsItsRow) {
  addClient(50, "agent1");
  addRow(50, 5, "old");
  seedFiler("agent1", 5, 0, "other");  // refuses root both times
  const std::vector<Row> before = rows();
  EXPECT_EQ(run(addRecord("agent1", 5)), 0);
  expectOnly(kAdd, 0, catalogueText(0x24000059, "agent1"));
  EXPECT_EQ(nd::journal().count("LoginToFiler"), 2u);
  EXPECT_EQ(rows(), before);
}

TEST_F(NdmpServerAdd, AFileSystemAgentRefusedASessionAtItsSecondLoginIsRolledBack) {
  addClient(50, "agent1");
  seedFiler("agent1", 5);
  nd::refuseSessions("agent1", 1);  // the first login gets a session, the second does not
  EXPECT_EQ(run(addRecord("agent1", 5)), 0);
  expectOnly(kAdd, 0, catalogueText(0x2400005C, "agent1"));
  EXPECT_EQ(nd::journal().count("LoginToFiler"), 2u);
  EXPECT_EQ(nd::loginCount("agent1"), 1);
  EXPECT_TRUE(rows().empty());
}

TEST_F(NdmpServerAdd, ARowThatCannotBeReadEndsTheAddWithNothingStored) {
  seedFiler("filer1", 6);
  testkit::mmdb::failNext("MMNDMPHostInfoDB::getInfoByClientId", MMS2_ERROR_DATABASE, "disk full", 205);
  EXPECT_EQ(run(addRecord("filer1", 6)), 0);
  expectOnly(kAdd, 0, catalogueText(0x2400005D));
  EXPECT_EQ(clientIdOf("filer1"), 0);
  EXPECT_TRUE(testkit::nasclient::nasClients().empty());
  EXPECT_TRUE(rows().empty());
}

TEST_F(NdmpServerAdd, CredentialsThatDoNotFitTheRowAreRefusedBeforeAnyWrite) {
  seedFiler("filer1", 6);
  StreamBuilder b = server(kAdd, "filer1");
  credentials(b, std::string(1025, 'l')).u32(11064, 6).u32(11066, 0).text(11065, "9.1");
  EXPECT_EQ(run(std::move(b.end())), 0);
  expectOnly(kAdd, 0, catalogueText(0x24000065, "NDMP login", "1024"));
  EXPECT_TRUE(rows().empty());
  EXPECT_EQ(nd::journal().count("LoginToFiler"), 0u);
}

// ---- update -------------------------------------------------------------------------

class NdmpServerUpdate : public NdmpServerTest {
 protected:
  void SetUp() override {
    addClient(60, "filer6");
    seedFiler("filer6.lab", 6);
  }
  static StreamBuilder updateRecord(int clientId) {
    StreamBuilder b = server(kUpdate, "");
    b.i32(4105, clientId);
    return b;
  }
  size_t writes() {
    size_t n = 0;
    for (const char* call : {"setLoginAndPassword", "setOSType", "setFirmwareRevision", "setCapabilityFlags",
                             "setListenPort", "addNDMPHostInfo"})
      n += testkit::mmdb::calls(std::string("MMNDMPHostInfoDB::") + call).size();
    return n;
  }
};

TEST_F(NdmpServerUpdate, AnUpdateThatChangesNothingWritesAuditsAndLogsInToNothing) {
  addRow(60, 6);
  testkit::mmdb::reset();
  StreamBuilder b = updateRecord(60);
  credentials(b).u32(11064, 6).u32(11066, 10000);
  EXPECT_EQ(run(std::move(b.end())), 1);
  expectOnly(kUpdate, 1, "Success");
  EXPECT_EQ(writes(), 0u);
  EXPECT_TRUE(testkit::audit::records().empty());
  EXPECT_EQ(nd::journal().count("LoginToFiler"), 0u);
}

TEST_F(NdmpServerUpdate, ANewLoginIsProvedStoredAndAudited) {
  addRow(60, 6);
  seedFiler("filer6.lab", 6, 0, "admin");
  StreamBuilder b = updateRecord(60);
  credentials(b, "admin");
  EXPECT_EQ(run(std::move(b.end())), 1);
  expectOnly(kUpdate, 1, "Success");
  EXPECT_EQ(rows()[0].login, "admin");
  const auto records = testkit::audit::records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].operationId, 0x54000111);
  EXPECT_EQ(records[0].entityType, 3);
  EXPECT_EQ(records[0].entityId, 60);
  EXPECT_EQ(auditParams(), std::vector<std::string>{std::to_string(0x55000566)});
  EXPECT_EQ(records[0].params[0].arguments, std::vector<std::string>{"filer6"});
}

TEST_F(NdmpServerUpdate, AClientWithoutARowGetsOneWithoutALogin) {
  StreamBuilder b = updateRecord(60);
  credentials(b).u32(11064, 16).u32(11066, 0);
  EXPECT_EQ(run(std::move(b.end())), 1);
  expectOnly(kUpdate, 1, "Success");
  EXPECT_EQ(rows(), (std::vector<Row>{{60, 16, "root", enc("secret"), 10000, "", 0}}));
  EXPECT_EQ(nd::journal().count("LoginToFiler"), 0u);
}

TEST_F(NdmpServerUpdate, AFileSystemAgentsPasswordNeedsTheCurrentOne) {
  addRow(60, 5);
  const std::vector<Row> before = rows();
  StreamBuilder b = updateRecord(60);
  credentials(b, "root", "new").u32(11064, 5).raw(2402, enc("wrong"));
  EXPECT_EQ(run(std::move(b.end())), 0);
  expectOnly(kUpdate, 2, catalogueText(0x24000062));
  EXPECT_EQ(rows(), before);
}

TEST_F(NdmpServerUpdate, AnUpdateOfNoKnownClientIsRefusedAfterTheRightsCheck) {
  StreamBuilder b = updateRecord(99);
  EXPECT_EQ(run(std::move(b.text(9032, "ghost").end())), 0);
  expectOnly(kUpdate, 0, catalogueText(0x24000056, "ghost"));
  EXPECT_EQ(testkit::security::journal().count("userHasRight"), 1u);
  EXPECT_TRUE(rows().empty());
}

}  // namespace
}  // namespace nastest
