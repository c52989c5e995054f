// The stored procedures over seeded tables, in both engine modes, and the
// rules their callers apply to what they answer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Db/Proc/MMIsMAPushedToAnotherTK.h"
#include "Db/Proc/MMMountpathCredentialAssociation.h"
#include "Db/Proc/MMS2GetMediaAgentList.h"
#include "Db/Proc/MMS2IsCenteraNDMPHostIdInUse.h"
#include "Db/Proc/QR_GetDeviceID.h"
#include "platform/testkit/db.h"
#include "platform/testkit/security.h"
#include "tests/support/RowFill.h"
#include "tests/support/Seed.h"

namespace {

class Procs : public tktest::DatabaseTest {
 protected:
  Procs() { testkit::security::reset(); }
  ~Procs() override { testkit::security::reset(); }
};

// --- MMS2GetMediaAgentList ---------------------------------------------------------------

struct Agent {
  int id;
  std::string name;
  std::string shown;
  int attribute;
};

std::vector<Agent> listAgents(int userId, int agentId, int applyRights, int* count = nullptr) {
  MMS2GetMediaAgentList list(nullptr);
  list.setValues(userId, agentId, applyRights);
  std::vector<Agent> out;
  int n = 0;
  while (getNextRow(&list, &n, -1, 0) == 0) {
    const MMS2GetMediaAgentList_t* row = list.getDataPtr();
    EXPECT_EQ(1, row->o_enabled);
    EXPECT_EQ(nullptr, row->o_description);
    out.push_back({row->o_hostClientId, row->o_hostName, mediaAgentShownName(*row), row->o_attribute});
  }
  if (count != nullptr) *count = n;
  return out;
}

std::vector<int> ids(const std::vector<Agent>& agents) {
  std::vector<int> out;
  for (const Agent& a : agents) out.push_back(a.id);
  return out;
}

class MediaAgentList : public Procs {
 protected:
  void SetUp() override {
    ASSERT_EQ(0, db.exec("INSERT INTO APP_Client (id, name, net_hostname) VALUES "
                         "(2, 'ma2', 'ma2.example.net'), (3, 'ma3', 'ma3.example.net'), "
                         "(4, 'client4', 'c4.example.net'), (5, 'ma5', 'ma5.example.net')"));
    ASSERT_EQ(0, db.exec("INSERT INTO MMHost (ClientId, Attribute) VALUES (5, 0), (2, 0), (3, 8192)"));
  }
};

TEST_F(MediaAgentList, ListsEveryAgentInClientOrderInBothModes) {
  tktest::forBothModes([&](int) {
    int count = 0;
    std::vector<Agent> agents = listAgents(7, 0, 1, &count);
    EXPECT_EQ((std::vector<int>{2, 3, 5}), ids(agents));  // client 4 is no media agent
    EXPECT_EQ(3, count);
    ASSERT_EQ(3u, agents.size());
    EXPECT_EQ("ma2", agents[0].name);
    EXPECT_EQ("ma2(ma2.example.net)", agents[0].shown);  // no display name kept: the client name
    EXPECT_EQ(8192, agents[1].attribute);
  });
  EXPECT_EQ("44", tktest::lastValuesCheck());
}

TEST_F(MediaAgentList, RightsSelectTheAgentsOfTheUser) {
  testkit::security::deny("canManageMediaAgent", 7, 2);
  EXPECT_EQ((std::vector<int>{3, 5}), ids(listAgents(7, 0, 1)));
  EXPECT_EQ((std::vector<int>{2, 3, 5}), ids(listAgents(8, 0, 1)));
  EXPECT_EQ((std::vector<int>{2, 3, 5}), ids(listAgents(7, 0, 0)));  // rights not applied
  EXPECT_EQ((std::vector<int>{5}), ids(listAgents(7, 5, 1)));        // one agent
  EXPECT_TRUE(listAgents(7, 2, 1).empty());
  EXPECT_TRUE(testkit::security::journal().calls("canManageMediaAgent").empty())
      << "the procedure reads the rights; it does not ask them as a handler";
}

TEST_F(MediaAgentList, AUserWithoutAgentsReadsNoRowAndHiddenRowsStillCount) {
  testkit::security::deny("canManageMediaAgent", 9);
  int count = -1;
  EXPECT_TRUE(listAgents(9, 0, 1, &count).empty());
  EXPECT_EQ(0, count);  // the listing refuses this user

  testkit::security::deny("canManageMediaAgent", 10, 2);
  testkit::security::deny("canManageMediaAgent", 10, 5);
  std::vector<Agent> agents = listAgents(10, 0, 1, &count);
  EXPECT_EQ(1, count);  // not refused ...
  ASSERT_EQ(1u, agents.size());
  MMS2GetMediaAgentList_t row;
  row.o_attribute = agents[0].attribute;
  EXPECT_FALSE(mediaAgentListShows(row));  // ... yet nothing is shown
  row.o_attribute = 0x1000 | 0x4000;
  EXPECT_TRUE(mediaAgentListShows(row));
}

TEST_F(MediaAgentList, DisplayNameReleaseAndSystemComeFromTheClientTable) {
  ASSERT_EQ(0, db.exec("UPDATE APP_Client SET displayName = 'Media Agent 2', releaseId = 16, "
                       "simOperatingSystemId = 31 WHERE id = 2"));
  ASSERT_EQ(0, db.exec("UPDATE APP_Client SET displayName = '' WHERE id = 3"));
  MMS2GetMediaAgentList list(nullptr);
  list.setValues(1, 0, 1);
  int count = 0;
  ASSERT_EQ(0, getNextRow(&list, &count, -1, 0));
  EXPECT_EQ("Media Agent 2(ma2.example.net)", mediaAgentShownName(*list.getDataPtr()));
  EXPECT_EQ(16, list.getDataPtr()->o_ReleaseId);
  EXPECT_EQ(31, list.getDataPtr()->o_SystemOsId);
  ASSERT_EQ(0, getNextRow(&list, &count, -1, 0));
  EXPECT_STREQ("ma3", list.getDataPtr()->o_hostDisplayName);  // empty display name: the client name
  EXPECT_EQ(0, list.getDataPtr()->o_SystemOsId);
}

TEST_F(MediaAgentList, NamesOf255CharactersFitAndTheShownNameStaysWithin512) {
  const std::string name255(255, 'd');
  const std::string net300(300, 'n');
  ASSERT_EQ(0, db.exec("UPDATE APP_Client SET name = ?, net_hostname = ? WHERE id = 5", {name255, net300}));
  std::vector<Agent> agents = listAgents(1, 5, 1);
  ASSERT_EQ(1u, agents.size());
  EXPECT_EQ(name255, agents[0].name);
  EXPECT_EQ(name255 + "(" + std::string(255, 'n') + ")", agents[0].shown);
  EXPECT_EQ(512u, agents[0].shown.size());
}

TEST_F(MediaAgentList, ScriptedRowsAndFailuresReachTheCaller) {
  testkit::db::overrideProcedure("MMS2GetMediaAgentList",
                                 {{21, "x", "X", "x.net", 0, 0, 1, 0, 0, "", "",          "",        "", 3,
                                   0,  0,   0,   0x2000,  0, 0, 0, 0, 0, 0,  "described", 1LL << 40, 0}});
  MMS2GetMediaAgentList list(nullptr);
  list.setValues(1, 0, 1);
  int count = 0;
  ASSERT_EQ(0, getNextRow(&list, &count, -1, 0));
  EXPECT_STREQ("described", list.getDataPtr()->o_description);
  EXPECT_EQ(1LL << 40, list.getDataPtr()->o_Capabilities);
  EXPECT_FALSE(mediaAgentListShows(*list.getDataPtr()));
  EXPECT_EQ(100, getNextRow(&list, &count, -1, 0));
  EXPECT_EQ(1, count);

  testkit::db::failProcedure("MMS2GetMediaAgentList", 50001, "refused");
  list.setValues(1, 0, 1);
  EXPECT_EQ(50001, getNextRow(&list, &count, -1, 0));
}

// --- MMIsMAPushedToAnotherTK ---------------------------------------------------------------

TEST_F(Procs, LibraryHostQueryAnswersOneRowForEveryAgent) {
  ASSERT_EQ(0, db.exec("INSERT INTO MMHost (ClientId, IsPushedToAnotherTK) VALUES (2, 1), (3, 0), (4, 7)"));
  tktest::forBothModes([&](int) {
    int result = -1;
    EXPECT_TRUE(isOfferedAsLibraryHost(2, &result));
    EXPECT_EQ(0, result);
    EXPECT_TRUE(isOfferedAsLibraryHost(4));
    EXPECT_FALSE(isOfferedAsLibraryHost(3, &result));
    EXPECT_EQ(0, result);
    EXPECT_FALSE(isOfferedAsLibraryHost(99, &result));  // unknown agent: a row with 0
    EXPECT_EQ(0, result);
  });
  EXPECT_EQ("29", tktest::lastValuesCheck());
}

TEST_F(Procs, LibraryHostIsLeftOutOnNoRowErrorZeroOrNegative) {
  int result = -1;
  testkit::db::overrideProcedure("MMIsMAPushedToAnotherTK", {});
  EXPECT_FALSE(isOfferedAsLibraryHost(2, &result));
  EXPECT_EQ(100, result);
  testkit::db::overrideProcedure("MMIsMAPushedToAnotherTK", {{-4, 0}});
  EXPECT_FALSE(isOfferedAsLibraryHost(2, &result));
  testkit::db::overrideProcedure("MMIsMAPushedToAnotherTK", {{0, 1}});
  EXPECT_FALSE(isOfferedAsLibraryHost(2, &result));
  testkit::db::overrideProcedure("MMIsMAPushedToAnotherTK", {{1, 0}});
  EXPECT_TRUE(isOfferedAsLibraryHost(2, &result));
  testkit::db::failProcedure("MMIsMAPushedToAnotherTK", 204, "locked");
  EXPECT_FALSE(isOfferedAsLibraryHost(2, &result));
  EXPECT_EQ(204, result);

  MMIsMAPushedToAnotherTK_t row;
  row.o_isPushedToAnotherTK = 1;
  EXPECT_FALSE(libraryHostOffered(0, nullptr));
  EXPECT_FALSE(libraryHostOffered(100, &row));
  EXPECT_TRUE(libraryHostOffered(0, &row));
}

TEST(LibraryHostRule, AgentsWithBit1000Or2000AreNotAsked) {
  EXPECT_TRUE(libraryHostNeedsQuery(0));
  EXPECT_TRUE(libraryHostNeedsQuery(0x4000 | 0x800));
  EXPECT_FALSE(libraryHostNeedsQuery(0x1000));
  EXPECT_FALSE(libraryHostNeedsQuery(0x2000));
  EXPECT_FALSE(libraryHostNeedsQuery(0x3000 | 1));
}

// --- MMMountpathCredentialAssociation --------------------------------------------------------

class CredentialAssociationTest : public Procs {
 protected:
  void SetUp() override {
    const std::string longName(1020, 'L');
    ASSERT_EQ(0, db.exec("INSERT INTO APP_Credentials (credentialId, credentialName, recordType) VALUES "
                         "(4, 'nas-admin', 103), (6, 'backup''s key', 103), (8, ?, 105)",
                         {longName}));
  }
  long long associated(int mountPathId) {
    return db.scalar("SELECT credentialId FROM APP_CredentialAssoc WHERE entityType = 52 AND entityId = ?",
                     {mountPathId});
  }
};

TEST_F(CredentialAssociationTest, NewReplacedAndUnchangedAssociationsInBothModes) {
  tktest::forBothModes([&](int mode) {
    const int mountPath = 17 + mode;

    CredentialAssociation first = associateMountPathCredential(mountPath, 4);
    EXPECT_TRUE(first.succeeded);
    EXPECT_EQ(0, first.oResult);
    EXPECT_EQ(CredentialAssociationAudit::NewCredential, first.audit);
    EXPECT_EQ(4, associated(mountPath));

    CredentialAssociation again = associateMountPathCredential(mountPath, 4);
    EXPECT_TRUE(again.succeeded);
    EXPECT_EQ(-3, again.oResult);
    EXPECT_EQ(CredentialAssociationAudit::None, again.audit);  // nothing for the audit record

    CredentialAssociation replaced = associateMountPathCredential(mountPath, 6);
    EXPECT_TRUE(replaced.succeeded);
    EXPECT_EQ(4, replaced.oResult);
    EXPECT_EQ("nas-admin", replaced.oldName);
    EXPECT_EQ(CredentialAssociationAudit::ReplacedCredential, replaced.audit);
    EXPECT_EQ(6, associated(mountPath));

    CredentialAssociation back = associateMountPathCredential(mountPath, 8);
    EXPECT_EQ(6, back.oResult);
    EXPECT_EQ("backup's key", back.oldName);
    CredentialAssociation longOld = associateMountPathCredential(mountPath, 4);
    EXPECT_EQ(std::string(1020, 'L'), longOld.oldName);  // a name of 1,020 characters comes back whole
  });
  EXPECT_EQ(2, db.scalar("SELECT COUNT(*) FROM APP_CredentialAssoc"));
}

TEST_F(CredentialAssociationTest, RefusalsAssociateNothing) {
  CredentialAssociation unknown = associateMountPathCredential(17, 5);
  EXPECT_FALSE(unknown.succeeded);
  EXPECT_EQ(-1, unknown.oResult);
  CredentialAssociation noPath = associateMountPathCredential(0, 4);
  EXPECT_FALSE(noPath.succeeded);
  EXPECT_EQ(-2, noPath.oResult);
  EXPECT_EQ(0, db.scalar("SELECT COUNT(*) FROM APP_CredentialAssoc"));
}

TEST_F(CredentialAssociationTest, NoRowOrADatabaseErrorIsAFailureNotTheUnchangedSuccess) {
  testkit::db::overrideProcedure("MMMountpathCredentialAssociation", {});
  CredentialAssociation none = associateMountPathCredential(17, 4);
  EXPECT_FALSE(none.succeeded);
  EXPECT_EQ(100, none.fetchResult);
  EXPECT_EQ(CredentialAssociationAudit::None, none.audit);

  testkit::db::failProcedure("MMMountpathCredentialAssociation", 50001, "refused");
  CredentialAssociation failed = associateMountPathCredential(17, 4);
  EXPECT_FALSE(failed.succeeded);
  EXPECT_EQ(50001, failed.fetchResult);

  testkit::db::overrideProcedure("MMMountpathCredentialAssociation", {{-7, ""}});
  EXPECT_FALSE(associateMountPathCredential(17, 4).succeeded);
  testkit::db::overrideProcedure("MMMountpathCredentialAssociation", {{-3, ""}});
  CredentialAssociation unchanged = associateMountPathCredential(17, 4);
  EXPECT_TRUE(unchanged.succeeded);
  EXPECT_EQ(CredentialAssociationAudit::None, unchanged.audit);
  testkit::db::overrideProcedure("MMMountpathCredentialAssociation", {{12, "old one"}});
  CredentialAssociation replaced = associateMountPathCredential(17, 4);
  EXPECT_EQ(CredentialAssociationAudit::ReplacedCredential, replaced.audit);
  EXPECT_EQ("old one", replaced.oldName);
}

TEST(CredentialAssociationRule, ResultsOfAFetchedRow) {
  struct Case {
    int oResult;
    bool succeeded;
    CredentialAssociationAudit audit;
  };
  const Case cases[] = {
      {0, true, CredentialAssociationAudit::NewCredential},
      {1, true, CredentialAssociationAudit::ReplacedCredential},
      {99, true, CredentialAssociationAudit::ReplacedCredential},
      {-3, true, CredentialAssociationAudit::None},
      {-1, false, CredentialAssociationAudit::None},
      {-2, false, CredentialAssociationAudit::None},
      {-4, false, CredentialAssociationAudit::None},
  };
  for (const Case& c : cases) {
    MMMountpathCredentialAssociation_t row;
    row.o_result = c.oResult;
    CredentialAssociation out = credentialAssociationOf(0, &row);
    EXPECT_EQ(c.succeeded, out.succeeded) << c.oResult;
    EXPECT_EQ(c.audit, out.audit) << c.oResult;
    EXPECT_FALSE(credentialAssociationOf(100, &row).succeeded) << c.oResult;
    EXPECT_FALSE(credentialAssociationOf(204, &row).succeeded) << c.oResult;
  }
  EXPECT_FALSE(credentialAssociationOf(0, nullptr).succeeded);
}

TEST_F(CredentialAssociationTest, AnAssociationRolledBackWithTheCallersTransactionIsGone) {
  {
    DBtran tran;
    ASSERT_EQ(0, tran.startTran());
    MMMountpathCredentialAssociation proc(&tran);
    proc.setValues(30, 4, kMountPathEntityType);
    ASSERT_EQ(0, getOneRow(&proc, false, -1, 0));
    EXPECT_EQ(0, proc.getDataPtr()->o_result);
    EXPECT_EQ(4, associated(30));  // seen inside the transaction
    ASSERT_EQ(0, tran.rollbackTran());
  }
  EXPECT_EQ(0, db.scalar("SELECT COUNT(*) FROM APP_CredentialAssoc"));
}

// --- MMS2IsCenteraNDMPHostIdInUse -----------------------------------------------------------

class NDMPHostUse : public Procs {
 protected:
  void SetUp() override {
    ASSERT_EQ(0, db.exec("INSERT INTO APP_Client (id, name) VALUES (12, 'filer12'), (40, 'archiver')"));
    ASSERT_EQ(0, db.exec("INSERT INTO APP_ApplicationType (id, name) VALUES (88, 'Centera archive')"));
    ASSERT_EQ(0, db.exec("INSERT INTO APP_Application (id, clientId, appTypeId, subclientName) VALUES "
                         "(7, 40, 88, 'mail archive'), (5, 40, 88, 'file archive'), (9, 40, 88, 'other')"));
    ASSERT_EQ(0, db.exec("INSERT INTO APP_SubClientProp (componentNameId, attrName, attrVal) VALUES "
                         "(7, 'Centera NDMP Host Id', '12'), (5, 'centera ndmp host id', '12'), "
                         "(9, 'Centera NDMP Host Id', '13'), (9, 'Other Property', '14')"));
  }
};

TEST_F(NDMPHostUse, AHostUsedByASubclientIsInUseInBothModes) {
  tktest::forBothModes([&](int) {
    CenteraNDMPHostUse use = checkCenteraNDMPHostInUse(12);
    EXPECT_TRUE(use.inUse);
    EXPECT_EQ(0, use.status);
    EXPECT_EQ(5, use.appId);  // the first row: lowest subclient id
    EXPECT_EQ("archiver", use.clientName);
    EXPECT_EQ("file archive", use.subclientName);
  });
  EXPECT_EQ("14", tktest::lastValuesCheck());

  MMS2IsCenteraNDMPHostIdInUse proc(nullptr);
  proc.setValues(12);
  ASSERT_EQ(0, proc.openCursor());
  ASSERT_EQ(0, proc.fetchCursor(true));
  EXPECT_EQ(88, proc.getDataPtr()->o_AppTypeId);
  EXPECT_STREQ("Centera archive", proc.getDataPtr()->o_AppTypeName);
  EXPECT_EQ(40, proc.getDataPtr()->o_ClientId);
  ASSERT_EQ(0, proc.fetchCursor(true));
  EXPECT_EQ(7, proc.getDataPtr()->o_AppId);
  EXPECT_EQ(100, proc.fetchCursor(true));
}

TEST_F(NDMPHostUse, AnUnusedHostIsFree) {
  for (int host : {14, 99}) {
    CenteraNDMPHostUse use = checkCenteraNDMPHostInUse(host);
    EXPECT_FALSE(use.inUse) << host;
    EXPECT_EQ(100, use.status) << host;
  }
  EXPECT_TRUE(checkCenteraNDMPHostInUse(13).inUse);
}

TEST_F(NDMPHostUse, OnlyTheFirstRowCountsAndAFailedCheckMeansInUse) {
  testkit::db::overrideProcedure("MMS2IsCenteraNDMPHostIdInUse", {{0, "", 0, "", 0, ""}, {5, "s", 1, "t", 2, "c"}});
  EXPECT_FALSE(checkCenteraNDMPHostInUse(12).inUse);

  testkit::db::clearProcedureOverrides();
  testkit::db::journal().injectFailure("openCursor", 204, "locked");
  CenteraNDMPHostUse failed = checkCenteraNDMPHostInUse(14);
  EXPECT_TRUE(failed.inUse);
  EXPECT_EQ(204, failed.status);

  testkit::db::failProcedure("MMS2IsCenteraNDMPHostIdInUse", 50001, "refused");
  EXPECT_TRUE(checkCenteraNDMPHostInUse(14).inUse);
}

TEST(NDMPHostRule, FreeOnlyWithAnAnswerAndNoSubclient) {
  MMS2IsCenteraNDMPHostIdInUse_t none;
  MMS2IsCenteraNDMPHostIdInUse_t used;
  used.o_AppId = 5;
  EXPECT_TRUE(centeraNDMPHostIsFree(0, nullptr));
  EXPECT_TRUE(centeraNDMPHostIsFree(100, nullptr));
  EXPECT_TRUE(centeraNDMPHostIsFree(0, &none));
  EXPECT_TRUE(centeraNDMPHostIsFree(100, &none));
  EXPECT_FALSE(centeraNDMPHostIsFree(0, &used));
  EXPECT_FALSE(centeraNDMPHostIsFree(204, nullptr));
  EXPECT_FALSE(centeraNDMPHostIsFree(1, &none));
}

// --- QR_GetDeviceID ---------------------------------------------------------------------------

class DeviceIds : public Procs {
 protected:
  void SetUp() override {
    ASSERT_EQ(0, db.exec("INSERT INTO SNRVolumeDeviceName (deviceNameId, hostId, deviceName) VALUES "
                         "(31, 5, '/dev/sdb'), (32, 5, 'O''Neil''s volume'), (33, 6, '/dev/sdb')"));
  }
};

TEST_F(DeviceIds, FindsTheDeviceOfTheClientByNameInBothModes) {
  tktest::forBothModes([&](int) {
    struct Case {
      int client;
      const char* name;
      DeviceIdOutcome outcome;
      int id;
    };
    const Case cases[] = {
        {5, "/dev/sdb", DeviceIdOutcome::Found, 31},
        {5, "/DEV/SDB", DeviceIdOutcome::Found, 31},  // names compare without regard to case
        {5, "O'Neil's volume", DeviceIdOutcome::Found, 32},
        {6, "/dev/sdb", DeviceIdOutcome::Found, 33},
        {7, "/dev/sdb", DeviceIdOutcome::QueryFailed, 0},
        {5, "", DeviceIdOutcome::QueryFailed, 0},
        {5, "x' OR '1'='1", DeviceIdOutcome::QueryFailed, 0},
    };
    for (const Case& c : cases) {
      int deviceId = -1;
      int result = -1;
      EXPECT_EQ(c.outcome, lookupDeviceId(c.client, c.name, &deviceId, &result)) << c.client << " " << c.name;
      EXPECT_EQ(c.id, deviceId) << c.name;
      EXPECT_EQ(c.outcome == DeviceIdOutcome::Found ? 0 : 100, result) << c.name;
    }
  });
}

TEST_F(DeviceIds, EitherTextFindsTheDevice) {
  QR_GetDeviceID proc(nullptr);
  proc.setValues(5, "not there", "/dev/sdb");
  ASSERT_EQ(0, getOneRow(&proc, false, -1, 0));
  EXPECT_EQ(31, proc.getDataPtr()->o_deviceID);
}

TEST_F(DeviceIds, IdZeroNoRowAndErrorsAreFailures) {
  int deviceId = -1;
  int result = -1;
  testkit::db::overrideProcedure("QR_GetDeviceID", {{0}});
  EXPECT_EQ(DeviceIdOutcome::ZeroId, lookupDeviceId(5, "/dev/sdb", &deviceId, &result));
  EXPECT_EQ(0, deviceId);
  EXPECT_EQ(0, result);
  testkit::db::failProcedure("QR_GetDeviceID", 204, "locked");
  EXPECT_EQ(DeviceIdOutcome::QueryFailed, lookupDeviceId(5, "/dev/sdb", &deviceId, &result));
  EXPECT_EQ(204, result);

  QR_GetDeviceID_t row;
  EXPECT_EQ(DeviceIdOutcome::NoRow, deviceIdOutcomeOf(0, nullptr));
  EXPECT_EQ(DeviceIdOutcome::ZeroId, deviceIdOutcomeOf(0, &row));
  EXPECT_EQ(DeviceIdOutcome::QueryFailed, deviceIdOutcomeOf(100, &row));
  row.o_deviceID = -2;
  EXPECT_EQ(DeviceIdOutcome::Found, deviceIdOutcomeOf(0, &row));
}

// --- full rows ---------------------------------------------------------------------------

TEST_F(Procs, EveryProcedureRowRoundTripsWhole) {
  using tktest::expectProcedureRoundTrip;
  expectProcedureRoundTrip<MMS2GetMediaAgentList>("MMS2GetMediaAgentList", 4, [](auto& p) { p.setValues(1, 0, 1); });
  expectProcedureRoundTrip<MMIsMAPushedToAnotherTK>("MMIsMAPushedToAnotherTK", 4, [](auto& p) { p.setValues(2, 0); });
  expectProcedureRoundTrip<MMMountpathCredentialAssociation>("MMMountpathCredentialAssociation", 4,
                                                             [](auto& p) { p.setValues(17, 4, 52); });
  expectProcedureRoundTrip<MMS2IsCenteraNDMPHostIdInUse>("MMS2IsCenteraNDMPHostIdInUse", 4,
                                                         [](auto& p) { p.setValues(12); });
  expectProcedureRoundTrip<QR_GetDeviceID>("QR_GetDeviceID", 4, [](auto& p) { p.setValues(5, "a", "b"); });
}

}  // namespace
