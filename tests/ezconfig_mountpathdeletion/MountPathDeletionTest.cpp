// Mount-path deletion through the storage-library request (delete mount
// path 16, forced 1024, force delete library 8192) and the can-delete
// request, on the installation of the storage-library tests: disk library 5
// "disklib" whose mount path 40 "/mnt/disk1" ma2 reaches. Content is seeded
// as media with backups, running jobs in JMJobInfo and deduplication stores
// on the mount path's volumes; what a deletion did is read back from the
// rows, the audit trail and the journals of the stand-ins.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "platform/db/DBtable.h"
#include "platform/testkit/clock.h"
#include "platform/testkit/client.h"
#include "platform/testkit/jobs.h"
#include "platform/xml/TaskMessages.h"
#include "tests/ezconfig_mountpathdeletion/DeletionFixture.h"
#include "tests/support/FaultSweep.h"

namespace storagelibtest {
namespace {

constexpr unsigned long kCanDeleteId = 0x0DF856C0;

class MountPathDeletion : public DeletionTest {
 protected:
  // Media 900 on side 90 of mount path `mountPathId`, with backups of the
  // jobs (job ids also running when listed in `running`) and volumes of
  // the stores.
  void seedContent(int mountPathId, int side, std::vector<int> jobs, std::vector<int> running,
                   std::vector<int> stores) {
    const int media = side * 10;
    tktest::insertRows(m_db, "MMMedia (MediaId, MediaName)", {{media, "media" + std::to_string(media)}});
    tktest::insertRows(m_db, "MMMediaSide (MediaSideId, MediaId, DataWrittenBytes)", {{side, media, 4096}});
    ASSERT_EQ(m_db.exec("UPDATE MMMountPath SET MediaSideId = ? WHERE MountPathId = ?", {side, mountPathId}), 0);
    for (int job : jobs)
      tktest::insertRows(m_db, "MMMediaBackup (JobId, AppId, ArchGroupId, CopyId, MediaId)", {{job, 3, 4, 5, media}});
    for (int job : running) tktest::insertRows(m_db, "JMJobInfo (jobId, tarnfoldId)", {{job, 2}});
    for (int store : stores) tktest::insertRows(m_db, "MMVolume (MediaSideId, SIDBStoreId)", {{side, store}});
  }
  void setForceParameter(int value) {
    tktest::insertRows(m_db, "MMConfigs (name, value)", {{"MMCONFIG_FORCE_DELETE_MP_ENABLED_FLAG", value}});
  }
  Answer deleteMountPath(int operation, int mountPathId = kMountPath) {
    return call(request({{43, operation}, {1, kDiskLib}, {8, "disklib"}, {7, kMa2}, {23, mountPathId},
                         {24, "/mnt/disk1"}}));
  }
  long long rows(const std::string& table) { return m_db.scalar("SELECT COUNT(*) FROM " + table); }
  // A sweep plan for the forced deletion of mount path `mountPathId`
  // (named `name`) through library 5; the answer lands in `buffer`.
  tktest::SweepPlan forcedDeletionSweep(int mountPathId, const std::string& name, std::string& buffer) {
    tktest::SweepPlan plan;
    plan.setup = [this] {
      freshStandIns();
      testkit::jobs::reset();
    };
    const std::string text =
        request({{43, 1024}, {1, kDiskLib}, {8, "disklib"}, {7, kMa2}, {23, mountPathId}, {24, name}});
    plan.request = [this, text, &buffer] {
      testkit::clock::FakeClock clock;
      auto message = record();
      buffer = text;
      m_mgr.HandleMMConfigMgrXmlMsg(message.get(), 0, 0, 0, kMessageId, buffer);
    };
    return plan;
  }
  // The audit records as "operation: message[args] ...".
  std::vector<std::string> audits() {
    std::vector<std::string> out;
    for (const auto& r : testkit::audit::records()) {
      char head[16];
      std::snprintf(head, sizeof head, "%08X:", static_cast<unsigned>(r.operationId));
      std::string line = head;
      for (const auto& p : r.params) {
        char id[16];
        std::snprintf(id, sizeof id, " %08X", static_cast<unsigned>(p.messageId));
        line += id;
        for (const auto& a : p.arguments) line += "[" + a + "]";
      }
      out.push_back(line);
    }
    return out;
  }
};

TEST_F(MountPathDeletion, APlainDeletionRunsNoPhaseAndTakesTheLastMountPathsLibraryAlong) {
  const Answer a = deleteMountPath(16);
  EXPECT_TRUE(a.success) << a.xml;
  EXPECT_EQ(rows("MMMountPath"), 0);
  EXPECT_EQ(m_db.scalar("SELECT COUNT(*) FROM MMLibrary WHERE LibraryId = 5"), 0);
  EXPECT_TRUE(testkit::jobs::journal().calls("kill").empty());
  EXPECT_TRUE(testkit::mmdb::journal().calls("MMMountPathDB::setOffline").empty());
  EXPECT_EQ(audits(), (std::vector<std::string>{"5400006F: 550000BF[disklib] 550000C4[/mnt/disk1]",
                                                "54000070: 550000BF[disklib]"}));
}

TEST_F(MountPathDeletion, WithTheParameterOffNoPhaseRunsForceReachesTheClientAndTheLibraryStays) {
  setForceParameter(0);
  seedContent(kMountPath, 90, {11}, {}, {});
  const Answer a = deleteMountPath(1024);
  EXPECT_TRUE(a.success) << a.xml;
  const auto deleted = testkit::mmdb::journal().calls("ZQMMmountPath::delMountPath");
  ASSERT_EQ(deleted.size(), 1u);
  EXPECT_EQ(deleted[0].args, (std::vector<std::string>{"40", "true"}));
  EXPECT_TRUE(testkit::mmdb::journal().calls("MMMountPathDB::setOffline").empty());
  EXPECT_EQ(m_db.scalar("SELECT COUNT(*) FROM MMLibrary WHERE LibraryId = 5"), 1);
  EXPECT_TRUE(testkit::mmdb::journal().calls("MMMediaDB::deleteAllBackupsFromOldMedia").empty());
}

TEST_F(MountPathDeletion, APlainDeletionOfAMountPathWithDataAnswersTheClientsRefusal) {
  seedContent(kMountPath, 90, {11}, {}, {});
  setForceParameter(0);
  const Answer a = deleteMountPath(16);
  EXPECT_FALSE(a.success);
  EXPECT_EQ(a.code, 1);  // 419: the console may offer the forced deletion
  EXPECT_EQ(a.text, "Mount path [40] still holds 1 backups.");
  EXPECT_EQ(rows("MMMountPath"), 1);
}

TEST_F(MountPathDeletion, AForcedDeletionKillsDeletesContentAndStartsVerificationJobs) {
  testkit::clock::FakeClock clock;
  seedContent(kMountPath, 90, {11, 12}, {12}, {77});
  tktest::insertRows(m_db, "archGroupCopy (id, archGroupId, SIDBStoreId)", {{5, 4, 77}});
  tktest::insertRows(m_db, "archGroup (id, name)", {{4, "sp4"}});
  testkit::jobs::setSleepsUntilGone(2);
  testkit::jobs::scriptJobIds({501});

  const Answer a = deleteMountPath(1024);
  EXPECT_TRUE(a.success) << a.xml;
  // Killed twice with the mount-path reason, then waited for.
  const auto kills = testkit::jobs::journal().calls("kill");
  ASSERT_EQ(kills.size(), 2u);
  EXPECT_EQ(kills[1].args, (std::vector<std::string>{"12", std::to_string(0x550006F8)}));
  EXPECT_EQ(rows("JMJobInfo"), 0);
  // Content, store marks and the cleanup record; the mount path is gone.
  EXPECT_EQ(rows("MMMediaBackup"), 0);
  EXPECT_EQ(m_db.scalar("SELECT COUNT(*) FROM MMDeletedMountPathDDB WHERE MountPathId = 40 AND SIDBStoreId = 77"), 1);
  EXPECT_EQ(m_db.text("SELECT MountPathName FROM MMMountPathPhysicalCleanup WHERE MountPathId = 40"), "/mnt/disk1");
  EXPECT_EQ(rows("MMMountPath"), 0);
  // The verification job of store 77's copy.
  const auto tasks = testkit::jobs::journal().calls("CreateTask");
  ASSERT_EQ(tasks.size(), 1u);
  EXPECT_EQ(tasks[0].args[1],
            "<TMMsg_CreateTaskReq><TMMsg_TaskInfo tag=\"2\"><TMMsg_Task tag=\"1\" i5=\"1\" i9=\"3\"/>"
            "<list tag=\"3\"><ZqEntities_GenericEntity i37=\"5\" i39=\"4\" i108=\"77\"/></list>"
            "<list tag=\"5\"><TMMsg_SubTaskInfo><TMMsg_SubTask tag=\"1\" i3=\"1\" i4=\"4007\"/>"
            "<TMMsg_JobOption tag=\"4\"><TMMsg_AdminOption tag=\"3\"><TMMsg_ArchiveCheckOption tag=\"4\" i1=\"1\" "
            "i5=\"1\"/></TMMsg_AdminOption></TMMsg_JobOption></TMMsg_SubTaskInfo></list></TMMsg_TaskInfo>"
            "</TMMsg_CreateTaskReq>");
  EXPECT_EQ(audits(), (std::vector<std::string>{
                          "54000056: 550000BF[disklib] 550000C4[/mnt/disk1] 550006F8 550006F9[12]",
                          "54000036: 550000BF[disklib] 550000C4[/mnt/disk1] 550006F8 550006FA 55000003[11, 12]",
                          "5400028E: 550000BF[disklib] 550000C4[/mnt/disk1] 550006F8 55000725[501]",
                          "5400006F: 550000BF[disklib] 550000C4[/mnt/disk1] 550006F8",
                          "54000070: 550000BF[disklib]"}));
}

TEST_F(MountPathDeletion, AuditOfDeletedContentWritesFiftyJobIdsPerParameter) {
  for (int count : {100, 120}) {
    SCOPED_TRACE(count);
    std::vector<MMDeletedJob> jobs(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) jobs[static_cast<std::size_t>(i)].jobId = i + 1;
    testkit::audit::reset();
    DBtran tran;
    ASSERT_EQ(tran.startTran(), 0);
    EvMMConfigMgr::AuditMountPathDeleteContent(kAlice, kDiskLib, "disklib", "/mnt/disk1", kHardDeleteLibrary, jobs,
                                               tran);
    ASSERT_EQ(tran.commitTran(0), 0);
    const auto records = testkit::audit::records();
    ASSERT_EQ(records.size(), 1u);
    std::vector<std::size_t> chunks;
    for (const auto& p : records[0].params)
      if (p.messageId == 0x55000003) chunks.push_back(p.arguments[0].size());
    const std::string fifty = [] {
      std::string s;
      for (int i = 1; i <= 50; ++i) s += (i > 1 ? ", " : "") + std::to_string(i);
      return s;
    }();
    ASSERT_EQ(chunks.size(), count == 100 ? 2u : 3u);
    EXPECT_EQ(records[0].params[0].arguments[0], "disklib");
    EXPECT_EQ(records[0].params[2].messageId, 0x55000723);
    EXPECT_EQ(chunks[0], fifty.size());
    EXPECT_TRUE(records[0].inTransaction);
  }
}

TEST_F(MountPathDeletion, KillFailuresEndTheDeletionAndPutTheMountPathOnlineAgain) {
  struct Case {
    const char* name;
    std::function<void()> script;
    int code;
  };
  const Case cases[] = {
      {"host unknown", [] { testkit::client::journal().injectFailure("getTarnkeepHostName", -1, "none"); }, 804},
      {"controller refuses init", [] { testkit::jobs::journal().injectFailure("init", -1, "down"); }, 44055},
      {"second kill refused", [] { testkit::jobs::journal().injectFailure("kill", -1, "no", 1); }, 44055},
      {"jobs stay past the limit", [] { testkit::jobs::setSleepsUntilGone(-1); }, 44055},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testkit::clock::FakeClock clock;
    testkit::jobs::reset();
    m_db.exec("DELETE FROM JMJobInfo; DELETE FROM MMMediaBackup; DELETE FROM MMMediaSide; DELETE FROM MMMedia");
    seedContent(kMountPath, 90, {11}, {11}, {});
    c.script();
    const long long start = clock.now();
    const Answer a = deleteMountPath(1024);
    EXPECT_FALSE(a.success);
    EXPECT_EQ(a.code, c.code);
    EXPECT_FALSE(a.text.empty());
    EXPECT_EQ(m_db.scalar("SELECT IsOffline FROM MMMountPath WHERE MountPathId = 40"), 0);
    EXPECT_EQ(rows("MMMediaBackup"), 1);
    if (std::string(c.name) == "jobs stay past the limit") {
      EXPECT_GE(clock.now() - start, 600);
    }
  }
}

TEST_F(MountPathDeletion, ALibraryDeletionStopsAtTheFailingMountPathAndPutsTheRestOnline) {
  tktest::addMountPath(m_db, 41, kDiskLib, kDevice, "/mnt/disk2");
  tktest::addMountPath(m_db, 42, kDiskLib, kDevice, "/mnt/disk3");
  // The database refuses to let the second one go.
  ASSERT_EQ(m_db.exec("CREATE TRIGGER busy BEFORE DELETE ON MMMountPath WHEN OLD.MountPathId = 41 "
                      "BEGIN SELECT RAISE(ABORT, 'disk busy'); END"),
            0);
  const Answer a = call(request({{43, 8192}, {1, kDiskLib}, {8, "disklib"}, {7, kMa2}}));
  EXPECT_FALSE(a.success);
  EXPECT_EQ(a.code, -1);
  EXPECT_FALSE(a.text.empty());
  EXPECT_EQ(m_db.scalar("SELECT COUNT(*) FROM MMMountPath"), 2);  // 40 deleted
  EXPECT_EQ(m_db.scalar("SELECT SUM(IsOffline) FROM MMMountPath"), 0);
  const auto online = testkit::mmdb::journal().calls("MMMountPathDB::setOnline");
  ASSERT_EQ(online.size(), 2u);
  EXPECT_EQ(online[0].args[0], "41");
  EXPECT_EQ(online[1].args[0], "42");
  EXPECT_EQ(m_db.scalar("SELECT COUNT(*) FROM MMLibrary WHERE LibraryId = 5"), 1);
}

TEST_F(MountPathDeletion, ForceDeletingALibraryDeletesEveryMountPathAndDeconfiguresIt) {
  tktest::addMountPath(m_db, 41, kDiskLib, kDevice, "/mnt/disk2");
  const Answer a = call(request({{43, 8192}, {1, kDiskLib}, {8, "disklib"}, {7, kMa2}}));
  EXPECT_TRUE(a.success) << a.xml;
  EXPECT_FALSE(a.has(Info::kLibraryId));  // the success response stays unfilled
  EXPECT_EQ(rows("MMMountPath"), 0);
  EXPECT_EQ(m_db.scalar("SELECT COUNT(*) FROM MMLibrary WHERE LibraryId = 5"), 0);
  EXPECT_EQ(audits().back(), "54000070: 550000BF[disklib]");
  const auto kills = testkit::jobs::journal().calls("kill");
  EXPECT_TRUE(kills.empty());  // nothing ran on it
}

TEST_F(MountPathDeletion, TheCanDeleteRequestAnswersTheChecksCodeAndMessage) {
  seedContent(kMountPath, 90, {11}, {}, {77});
  struct Case {
    const char* name;
    std::string xml;
    long long code;
    std::string text;
  };
  const auto ask = [](int mountPath, int library) {
    return "<EVGui_CanDeleteLibraryMountPathReq i1=\"" + std::to_string(mountPath) + "\" i2=\"" +
           std::to_string(library) + "\"/>";
  };
  const Case cases[] = {
      {"content", ask(kMountPath, kDiskLib), 2 | 4, ""},
      {"no such mount path", ask(99, kDiskLib), -1, tktest::catalogueText(0x230001E3)},
      {"unreadable", "<not xml", -1, tktest::catalogueText(0x23000452)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto message = record();
    std::string buffer = c.xml;
    m_mgr.HandleMMConfigMgrXmlMsg(message.get(), 0, 0, 0, kCanDeleteId, buffer);
    EVGui::GenericResp answer;
    ASSERT_EQ(answer.unserialize(buffer), 0) << buffer;
    using G = EVGui::GenericResp;
    EXPECT_EQ(answer.getint64(G::kCode.tag, G::kClassHash, G::kCode.hash), c.code);
    const std::string text = answer.getstring(G::kText.ordinal, G::kText.tag, G::kClassHash, G::kText.hash);
    if (c.code > 0)
      EXPECT_NE(text.find("/mnt/disk1"), std::string::npos) << text;
    else
      EXPECT_EQ(text, c.text);
  }
}

// ---------------------------------------------------- two libraries

// Library 6 "lonely" gets mount path 41 "/mnt/lonely1" on device 61, which
// ma2 reaches too: a request naming library 5 with mount path 41 names
// another library's mount path.
class TwoLibraries : public MountPathDeletion {
 protected:
  static constexpr int kOtherMountPath = 41;
  void SetUp() override {
    MountPathDeletion::SetUp();
    tktest::insertRows(m_db, "MMDevice (DeviceId, AliasName, DeviceTypeId)", {{61, "dev61", 1}});
    tktest::addMountPath(m_db, kOtherMountPath, kLonelyLib, 61, "/mnt/lonely1");
    tktest::addDevicePath(m_db, {501, kMa2, 61, 6, "base2"});
  }
  std::string refusal() const { return tktest::catalogueText(0x23000DA0, "41", "disklib"); }
  long long mountPath(int id) {
    return m_db.scalar("SELECT COUNT(*) FROM MMMountPath WHERE MountPathId = " + std::to_string(id));
  }
};

TEST_F(TwoLibraries, AMountPathOfAnotherLibraryIsNotDeletedPlainOrForced) {
  seedContent(kOtherMountPath, 91, {11}, {11}, {});
  for (const int operation : {16, 1024}) {
    SCOPED_TRACE(operation);
    expectRefused(deleteMountPath(operation, kOtherMountPath), refusal());
    EXPECT_EQ(mountPath(kOtherMountPath), 1);
    EXPECT_EQ(mountPath(kMountPath), 1);
    EXPECT_EQ(m_db.scalar("SELECT COUNT(*) FROM MMLibrary WHERE LibraryId IN (5, 6)"), 2);
    EXPECT_EQ(m_db.scalar("SELECT COUNT(*) FROM MMMountPath WHERE IsOffline <> 0"), 0);
    EXPECT_EQ(rows("JMJobInfo"), 1);  // its job was not killed
    EXPECT_EQ(rows("MMMediaBackup"), 1);
    EXPECT_TRUE(testkit::mmdb::journal().calls("ZQMMmountPath::delMountPath").empty());
    EXPECT_TRUE(testkit::jobs::journal().calls("kill").empty());
    EXPECT_TRUE(audits().empty());
  }
  // The library's own mount path is still deleted.
  const Answer own = deleteMountPath(1024);
  EXPECT_TRUE(own.success) << own.xml;
  EXPECT_EQ(mountPath(kMountPath), 0);
  EXPECT_EQ(mountPath(kOtherMountPath), 1);
  EXPECT_EQ(m_db.scalar("SELECT COUNT(*) FROM MMLibrary WHERE LibraryId = 6"), 1);
}

// Each platform call of the refused forced deletion failing in turn: an
// answer with a text, and both libraries' mount paths as they were.
TEST_F(TwoLibraries, EveryFailingCallOfARefusedCrossLibraryDeletionLeavesBothLibrariesWhole) {
  seedContent(kOtherMountPath, 91, {11}, {11}, {});
  std::string buffer;
  tktest::SweepPlan plan = forcedDeletionSweep(kOtherMountPath, "/mnt/lonely1", buffer);
  plan.judgedTables = {"AuditTrailRecord", "MMLibrary", "MMMountPath", "MMMediaBackup", "JMJobInfo",
                       "MMMountPathToStorageDevice", "MMDeviceController"};
  plan.check = [&](const tktest::SweepRun& run) -> std::string {
    if (buffer.empty()) return run.failed("xml.serialize") ? "" : "no answer was written";
    const Answer a = decode(buffer);
    if (a.success) return "a cross-library deletion answered success";
    if (a.text.empty()) return "a failure without a text: " + buffer;
    if (run.k == 0 && a.text != refusal()) return "the clean run was not the ownership refusal: " + buffer;
    if (mountPath(kOtherMountPath) != 1 || mountPath(kMountPath) != 1) return "a mount path went";
    if (m_db.scalar("SELECT COUNT(*) FROM MMMountPath WHERE IsOffline <> 0") != 0) return "a mount path went offline";
    return "";
  };
  const tktest::SweepReport report = tktest::FaultSweep().run(plan);
  EXPECT_TRUE(report.clean()) << report;
}

TEST_F(TwoLibraries, ALibraryIdAndANameOfTwoLibrariesAreRefused) {
  // The lock and the rights go by the id, the deconfiguration by the name:
  // deleting through library 5 would deconfigure "lonely".
  for (const int operation : {16, 2, 8192}) {
    SCOPED_TRACE(operation);
    const Answer a =
        call(request({{43, operation}, {1, kDiskLib}, {8, "lonely"}, {7, kMa2}, {23, kMountPath}, {24, "/mnt/disk1"}}));
    expectRefused(a, tktest::catalogueText(0x23000DA1, "5", "lonely"));
    EXPECT_EQ(mountPath(kMountPath), 1);
    EXPECT_EQ(mountPath(kOtherMountPath), 1);
    EXPECT_EQ(m_db.scalar("SELECT COUNT(*) FROM MMLibrary WHERE LibraryId IN (5, 6)"), 2);
    EXPECT_TRUE(audits().empty());
  }
}

TEST_F(TwoLibraries, TheCanDeleteCheckAnswersOnlyForTheLibrarysOwnMountPathsAndForAWholeLibrary) {
  seedContent(kOtherMountPath, 91, {11}, {}, {});
  const auto ask = [&](int mountPath, int library) {
    auto message = record();
    std::string buffer = "<EVGui_CanDeleteLibraryMountPathReq i1=\"" + std::to_string(mountPath) + "\" i2=\"" +
                         std::to_string(library) + "\"/>";
    m_mgr.HandleMMConfigMgrXmlMsg(message.get(), 0, 0, 0, kCanDeleteId, buffer);
    using G = EVGui::GenericResp;
    G answer;
    EXPECT_EQ(answer.unserialize(buffer), 0) << buffer;
    return std::make_pair(answer.getint64(G::kCode.tag, G::kClassHash, G::kCode.hash),
                          answer.getstring(G::kText.ordinal, G::kText.tag, G::kClassHash, G::kText.hash));
  };
  const std::string failed = tktest::catalogueText(0x230001E3);
  EXPECT_EQ(ask(kOtherMountPath, kDiskLib), std::make_pair(-1LL, failed));
  EXPECT_EQ(ask(kOtherMountPath, kLonelyLib).first, 2);
  EXPECT_EQ(ask(kMountPath, kDiskLib), std::make_pair(0LL, std::string()));
  // The whole library: its mount paths together; an unknown one has no answer.
  EXPECT_EQ(ask(0, kDiskLib), std::make_pair(0LL, std::string()));
  EXPECT_EQ(ask(0, kLonelyLib),
            std::make_pair(2LL, tktest::catalogueText(0x23000DA5, "lonely", "1", "0", "0")));
  EXPECT_EQ(ask(0, 99), std::make_pair(-1LL, failed));
  EXPECT_EQ(ask(0, 0), std::make_pair(-1LL, failed));
}

TEST_F(MountPathDeletion, SealingADatabaseSendsItsRequestThroughTheAdapter) {
  EXPECT_EQ(EvMMConfigMgr::SealSIDBStore(77, 5, 4, 9), 0);
  const auto sent = testkit::adapters::journal().calls("handleXMLReq");
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].args[0], "9");
  EXPECT_EQ(sent[0].args[1], std::to_string(App::SealSIDBStoreReq::kClassHash));
  EXPECT_EQ(sent[0].args[2],
            "<App_SealSIDBStoreReq i3=\"77\"><ZqEntities_StoragePolicyCopyEntity tag=\"2\" i1=\"5\" i4=\"4\"/>"
            "</App_SealSIDBStoreReq>");
  testkit::adapters::journal().injectFailure("handleXMLReq", 31, "no seal");
  EXPECT_EQ(EvMMConfigMgr::SealSIDBStore(77, 5, 4, 9), 31);
}

// Every platform call of a forced deletion failing in turn: an answer, and
// no mount path left offline. The deletion goes on step by step (what is
// deleted stays deleted), so the check judges the steps itself: the
// pre-phase whole or not at all, the mount path gone only with its content,
// the library gone only with its mount path.
TEST_F(MountPathDeletion, EveryFailingCallOfAForcedDeletionEndsAnsweredAndWhole) {
  seedContent(kMountPath, 90, {11, 12}, {12}, {77});
  std::string buffer;
  tktest::SweepPlan plan = forcedDeletionSweep(kMountPath, "/mnt/disk1", buffer);
  plan.judgedTables = {"AuditTrailRecord", "AuditTrailParam", "AuditTrailArgument", "sqlite_sequence", "MMLibrary",
                       "MMLibraryController", "MMMedia", "MMMediaSide", "MMMediaBackup", "MMMountPath",
                       "MMMountPathToStorageDevice", "MMDeletedMountPathDDB", "MMMountPathPhysicalCleanup",
                       "JMJobInfo", "MMVolume"};
  plan.check = [&](const tktest::SweepRun& run) -> std::string {
    if (buffer.empty()) return run.failed("xml.serialize") ? "" : "no answer was written";
    const Answer a = decode(buffer);
    if (!a.success && a.text.empty()) return "a failure without a text: " + buffer;
    if (run.k == 0 && !a.success) return "the clean run failed: " + buffer;
    if (m_db.scalar("SELECT COUNT(*) FROM MMMountPath WHERE IsOffline <> 0") != 0) return "a mount path stayed offline";
    const bool gone = m_db.scalar("SELECT COUNT(*) FROM MMMountPath WHERE MountPathId = 40") == 0;
    const long long backups = rows("MMMediaBackup");
    const long long cleanup = rows("MMMountPathPhysicalCleanup");
    const long long marks = rows("MMDeletedMountPathDDB");
    if (a.success && !gone) return "success with the mount path still there";
    if (gone && backups != 0) return "the mount path went without its content";
    if (!(backups == 2 && cleanup == 0 && marks == 0) && !(backups == 0 && cleanup == 1 && marks == 1) &&
        !(gone && backups == 0))
      return "the pre-phase was half done";
    if (m_db.scalar("SELECT COUNT(*) FROM MMLibrary WHERE LibraryId = 5") == 0 && !gone)
      return "the library went before its mount path";
    return "";
  };
  const tktest::SweepReport report = tktest::FaultSweep().run(plan);
  EXPECT_TRUE(report.clean()) << report;
}

}  // namespace
}  // namespace storagelibtest
