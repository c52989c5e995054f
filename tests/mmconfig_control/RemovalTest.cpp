// Removals and deconfigurations of the control request: the hybrid-cloud
// refusal, the warning status of a refused removal, the audit records
// written before or after, and operation 126 taking only the parts on
// media agents shown to the user.
#include <gtest/gtest.h>

#include <filesystem>

#include "Db/Proc/MMGetHybridCloudAssociations.h"
#include "platform/mdlock/MDLock.h"
#include "platform/testkit/db.h"
#include "tests/mmconfig_control/ControlFixture.h"
#include "tests/support/TempDir.h"

namespace {

using ctltest::Message;
using ctltest::operationResponse;

constexpr int kAuditDeconfigure = 0x540000B7;
constexpr unsigned long kTextCachedDedupe = 0x23000F43;

class Removal : public ctltest::ControlTest {
 protected:
  void SetUp() override {
    ControlTest::SetUp();
    for (ZQMACInterface* o : std::initializer_list<ZQMACInterface*>{
             m_world.diskLibrary, m_world.controller1, m_world.controller2, m_world.pool1, m_world.pool2,
             m_world.master, m_world.dms11, m_world.dms12, m_world.volume1, m_world.volume2, m_world.mountPath1})
      ZQMACGraph::SetConfigured(o, true);
    ZQMACGraph::SetTexts(m_world.diskLibrary, "disk text", "b");
  }
  void associateClouds() {
    ASSERT_EQ(0, m_db.exec("INSERT INTO MMLibrary (LibraryId, AliasName) VALUES (20, 'cloud-A'), (21, 'cloud-B')"));
    ASSERT_EQ(0, m_db.exec("INSERT INTO MMHybridCloudMapping (CloudLibraryId, DiskLibraryId) VALUES (21, 9), (20, 9)"));
  }
  std::vector<Message> runOn(uint32_t operation, const ZQMACInterface* object, bool expected, uint32_t libraryId = 9) {
    return run(stream().op(operation).handle(handleOf(object)).u32(ctltest::kElementLibraryId, libraryId).end(),
               expected);
  }
  // The handles Deconfigure was called on, in order.
  static std::vector<std::string> deconfigured() {
    std::vector<std::string> out;
    for (const auto& call : testkit::mac::journal().calls("Deconfigure")) out.push_back(call.args.at(0));
    return out;
  }
  std::string h(const ZQMACInterface* object) const { return std::to_string(handleOf(object)); }
  static std::vector<std::string> auditedNames() {
    std::vector<std::string> out;
    for (const auto& r : testkit::audit::records()) {
      EXPECT_EQ(r.operationId, kAuditDeconfigure);
      out.push_back(r.params.back().arguments.at(0));
    }
    return out;
  }
};

// ---- the hybrid-cloud check -----------------------------------------------------

TEST_F(Removal, TheHybridCloudCheckWithoutRowsAnswersAndLeavesFlagAndNamesAsTheyWere) {
  bool associated = false;
  std::string names, error;
  EXPECT_TRUE(EvMMConfigMgr::checkForHybridCloudAssociations(9, associated, names, error));
  EXPECT_FALSE(associated);
  EXPECT_EQ("", names);
  EXPECT_EQ("", error);
}

TEST_F(Removal, TheHybridCloudCheckJoinsTheCloudLibrariesWithCommaBlank) {
  associateClouds();
  bool associated = false;
  std::string names, error;
  EXPECT_TRUE(EvMMConfigMgr::checkForHybridCloudAssociations(9, associated, names, error));
  EXPECT_TRUE(associated);
  EXPECT_EQ("cloud-A, cloud-B", names);
}

TEST_F(Removal, AHybridCloudCheckFailingAfterOneRowKeepsThatRowAndAppendsTheError) {
  // The second row's cloud library id does not fit the procedure's column.
  ASSERT_EQ(0, m_db.exec("INSERT INTO MMLibrary (LibraryId, AliasName) VALUES (20, 'cloud-A')"));
  ASSERT_EQ(0, m_db.exec("INSERT INTO MMHybridCloudMapping (CloudLibraryId, DiskLibraryId) VALUES (20, 9), "
                         "(5000000000, 9)"));
  bool associated = false;
  std::string names;
  std::string error = "lookup: ";
  EXPECT_FALSE(EvMMConfigMgr::checkForHybridCloudAssociations(9, associated, names, error));
  EXPECT_TRUE(associated);
  EXPECT_EQ("cloud-A", names);
  EXPECT_EQ(std::string("lookup: ") + DBtable::getErrorStr(DB_ERR_CONVERT), error);
}

// ---- 2 and 44 ----------------------------------------------------------------------

TEST_F(Removal, ADiskLibraryThatCloudLibrariesCacheOnIsNotRemoved) {
  associateClouds();
  EXPECT_EQ(runOn(2, m_world.diskLibrary, false),
            (std::vector<Message>{operationResponse(2, 0, ctltest::text(kTextCachedDedupe, "cloud-A, cloud-B"))}));
  EXPECT_EQ(config().FindObject(handleOf(m_world.diskLibrary)), m_world.diskLibrary);
  EXPECT_TRUE(deconfigured().empty());
  EXPECT_TRUE(testkit::audit::records().empty());
  EXPECT_EQ(EvMMConfigMgr::GetClientSequenceNumber(), -1);
}

TEST_F(Removal, AFailedHybridCloudLookupRefusesWithTheDatabasesText) {
  testkit::db::journal().injectFailure("getNextRow", 204, "locked");
  EXPECT_EQ(runOn(44, m_world.diskLibrary, false),
            (std::vector<Message>{operationResponse(44, 0, DBtable::getErrorStr(204))}));
  EXPECT_NE(config().FindObject(handleOf(m_world.diskLibrary)), nullptr);
}

TEST_F(Removal, AnUnconfiguredObjectIsDeletedWithoutCheckDeconfigurationOrAudit) {
  ZQMACGraph::SetConfigured(m_world.diskLibrary, false);
  const unsigned long long handle = handleOf(m_world.diskLibrary);
  EXPECT_EQ(runOn(2, m_world.diskLibrary, true), (std::vector<Message>{operationResponse(2, 1, "Success")}));
  EXPECT_EQ(config().FindObject(handle), nullptr);
  EXPECT_TRUE(deconfigured().empty());
  EXPECT_TRUE(testkit::audit::records().empty());
  EXPECT_TRUE(testkit::db::journal().calls("procedure").empty());
}

TEST_F(Removal, AConfiguredObjectIsAuditedDeconfiguredNoticedAndDeleted) {
  testkit::external::setAutoRefresh(true);
  testkit::external::setLibraryMediaAgents(9, {2});
  const struct {
    uint32_t operation;
    ZQMACInterface* object;
    int entity;
    const char* force;
  } cases[] = {{2, m_world.diskLibrary, 9, "false"}, {44, m_world.mountPath1, 52, "true"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.operation);
    testkit::mac::journal().reset();
    testkit::audit::reset();
    testkit::external::reset();
    testkit::external::setAutoRefresh(true);
    const unsigned long long handle = handleOf(c.object);
    const std::string name = c.object->GetDisplayName();
    const std::string textA = c.object->GetTextA(false);
    EXPECT_EQ(runOn(c.operation, c.object, true), (std::vector<Message>{operationResponse(c.operation, 1, "Success")}));
    ASSERT_EQ(testkit::mac::journal().calls("Deconfigure").size(), 1u);
    EXPECT_EQ(testkit::mac::journal().calls("Deconfigure")[0].args,
              (std::vector<std::string>{std::to_string(handle), c.force}));
    const auto records = testkit::audit::records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].operationId, kAuditDeconfigure);
    EXPECT_EQ(records[0].entityId, 9);
    EXPECT_EQ(records[0].params[0].arguments, (std::vector<std::string>{name, textA}));
    const auto notices = testkit::external::refreshNotices();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].entityType, c.entity);
    EXPECT_EQ(config().FindObject(handle), nullptr);
  }
}

TEST_F(Removal, AFailedDeconfigurationOfARemovalIsAWarningUnlessRefusedOrForced) {
  const struct {
    uint32_t operation;
    int code;
    uint32_t status;
  } cases[] = {{2, 470, 0}, {2, 0x1F000095, 0}, {2, 0x1F000001, 2}, {2, 0x1D5, 2}, {44, 0x1F000001, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.operation << " code " << c.code);
    testkit::audit::reset();
    testkit::mac::failNext("Deconfigure", c.code, "still in use");
    EXPECT_EQ(runOn(c.operation, m_world.diskLibrary, false),
              (std::vector<Message>{operationResponse(c.operation, c.status, "still in use")}));
    EXPECT_EQ(config().FindObject(handleOf(m_world.diskLibrary)), m_world.diskLibrary);
    EXPECT_EQ(testkit::audit::records().size(), 1u);  // written before the removal was tried
    EXPECT_EQ(EvMMConfigMgr::GetClientSequenceNumber(), -1);
  }
}

// ---- 90 and 49 ---------------------------------------------------------------------

TEST_F(Removal, AForcedDeconfigurationIsAuditedBeforeAndTheRecordStaysWhenItFails) {
  for (bool fails : {false, true}) {
    SCOPED_TRACE(fails);
    testkit::audit::reset();
    testkit::mac::journal().reset();
    if (fails) testkit::mac::failNext("Deconfigure", 0x1F000001, "busy");
    EXPECT_EQ(runOn(90, m_world.pool1, !fails),
              (std::vector<Message>{fails ? operationResponse(90, 0, "busy") : operationResponse(90, 1, "Success")}));
    EXPECT_EQ(deconfigured(), (std::vector<std::string>{h(m_world.pool1)}));
    EXPECT_EQ(testkit::mac::journal().calls("Deconfigure")[0].args.at(1), "true");
    EXPECT_EQ(auditedNames(), (std::vector<std::string>{"DP_ma1"}));
  }
}

TEST_F(Removal, DeconfiguringADriveAuditsItsLibraryAliasNameAndDeviceText) {
  ZQMACGraph::SetLibraryAlias(m_world.library, "TL1-alias");
  ZQMACGraph::SetTexts(m_world.drive1, "Drive one", "b");
  ZQMACGraph::SetDeviceIdentity(m_world.drive1, {"VendorCo", "LTO", "SN1", "fw-7", "unit", 0});
  EXPECT_EQ(runOn(49, m_world.drive1, true, 5), (std::vector<Message>{operationResponse(49, 1, "Success")}));
  const auto records = testkit::audit::records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].entityId, 5);
  ASSERT_EQ(records[0].params.size(), 3u);
  EXPECT_EQ(records[0].params[0].messageId, 0x550000BF);
  EXPECT_EQ(records[0].params[0].arguments, (std::vector<std::string>{"TL1-alias"}));
  EXPECT_EQ(records[0].params[1].arguments, (std::vector<std::string>{"Drive1", "Drive one"}));
  EXPECT_EQ(records[0].params[2].messageId, 0x550000BE);
  EXPECT_EQ(records[0].params[2].arguments, (std::vector<std::string>{"fw-7"}));
}

// ---- 126 ---------------------------------------------------------------------------

TEST_F(Removal, DeconfiguringForShownAgentsTakesOnlyThePartsOnShownAgents) {
  using W = testkit::mac::World;
  using Items = std::vector<ZQMACInterface*>;
  const struct {
    const char* name;
    bool agent2Shown;
    std::function<ZQMACInterface*(const W&)> object;
    std::function<Items(const W&)> items;
  } cases[] = {
      {"library, ma2 hidden: the master pool keeps a configured pool", false, [](const W& w) { return w.lms; },
       [](const W& w) { return Items{w.controller1, w.pool1}; }},
      {"library, all shown: controllers, pools, then the master pool", true, [](const W& w) { return w.lms; },
       [](const W& w) { return Items{w.controller1, w.controller2, w.pool1, w.pool2, w.master}; }},
      {"controller group: controllers only", true, [](const W& w) { return w.lms->GetLibControllerNode(); },
       [](const W& w) { return Items{w.controller1, w.controller2}; }},
      {"drive", false, [](const W& w) { return w.drive1; }, [](const W& w) { return Items{w.dms11}; }},
      {"master drive pool", false, [](const W& w) { return w.master; }, [](const W& w) { return Items{w.pool1}; }},
      {"disk device", false, [](const W& w) { return w.diskDevice; }, [](const W& w) { return Items{w.volume1}; }},
      {"disk device, no volume on a shown agent", false, [](const W& w) { return w.diskDevice; },
       [](const W& w) {
         w.agent1->SetShown(false);
         return Items{};
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    m_world.agent2->SetShown(c.agent2Shown);
    ZQMACInterface* object = c.object(m_world);
    std::vector<std::string> expected, names;
    for (ZQMACInterface* item : c.items(m_world)) {
      expected.push_back(h(item));
      names.push_back(item->GetDisplayName());
    }
    EXPECT_EQ(runOn(126, object, true), (std::vector<Message>{operationResponse(126, 1, "Success")}));
    EXPECT_EQ(deconfigured(), expected);
    EXPECT_EQ(auditedNames(), names);
  }
  EXPECT_TRUE(m_world.lms->TestStateA());  // never the library itself
}

TEST_F(Removal, ADrivePathDeconfiguresItsDriveAndIsAuditedItself) {
  EXPECT_EQ(runOn(126, m_world.dms12, true), (std::vector<Message>{operationResponse(126, 1, "Success")}));
  ASSERT_EQ(testkit::mac::journal().calls("DeconfigureDrive").size(), 1u);
  EXPECT_EQ(testkit::mac::journal().calls("DeconfigureDrive")[0].args.at(0), h(m_world.drive1));
  EXPECT_EQ(auditedNames(), (std::vector<std::string>{"Drive1 via ma2"}));
  EXPECT_FALSE(m_world.dms11->TestStateA());
}

TEST_F(Removal, AFailingItemEndsTheLoopWithItsOwnLastError) {
  testkit::mac::failNext("Deconfigure", 0x1F000001, "controller busy");
  EXPECT_EQ(runOn(126, m_world.lms, false), (std::vector<Message>{operationResponse(126, 0, "controller busy")}));
  EXPECT_EQ(deconfigured(), (std::vector<std::string>{h(m_world.controller1)}));
  EXPECT_TRUE(testkit::audit::records().empty());
  EXPECT_TRUE(m_world.pool1->TestStateA());
  EXPECT_EQ(EvMMConfigMgr::GetClientSequenceNumber(), -1);
}

// ---- the lock file of a removed library ----------------------------------------

// Libraries whose named lock has been taken once (by a delete the
// storage-library request refused or that deleted nothing) have a lock file.
class RemovalLockFile : public Removal {
 protected:
  std::string lockFile(unsigned int libraryId) const {
    return m_lockDir.file("locks/" + tkmdlock::fileName("ZQ_ConfigLibrary_LibID" + std::to_string(libraryId)));
  }
  void leaveLockFile(unsigned int libraryId) {
    MDLock* handle = EvMMConfigMgr::lockConfigLibrary(("LibID" + std::to_string(libraryId)).c_str());
    ASSERT_NE(handle, nullptr);
    EvMMConfigMgr::unlockConfigLibrary(handle);
    ASSERT_TRUE(std::filesystem::exists(lockFile(libraryId)));
  }

  tktest::TempDir m_lockDir;
  tktest::ScopedEnv m_lockEnv{"TK_LOCK_DIR", m_lockDir.file("locks")};
};

TEST_F(RemovalLockFile, ARemovedLibraryTakesItsLockFileWithIt) {
  leaveLockFile(9);
  leaveLockFile(5);
  EXPECT_EQ(runOn(2, m_world.diskLibrary, true), (std::vector<Message>{operationResponse(2, 1, "Success")}));
  EXPECT_FALSE(std::filesystem::exists(lockFile(9)));
  EXPECT_TRUE(std::filesystem::exists(lockFile(5))) << "another library's file stays";
  EXPECT_EQ(runOn(44, m_world.lms, true, 5), (std::vector<Message>{operationResponse(44, 1, "Success")}));
  EXPECT_FALSE(std::filesystem::exists(lockFile(5)));
  EXPECT_FALSE(EvMMConfigMgr::isConfigLibraryLocked("LibID9"));
}

TEST_F(RemovalLockFile, ARefusedRemovalOrARemovedPartLeavesTheLibrarysLockFile) {
  leaveLockFile(9);
  EXPECT_EQ(runOn(2, m_world.mountPath1, true), (std::vector<Message>{operationResponse(2, 1, "Success")}));
  testkit::mac::failNext("Deconfigure", 470, "still in use");
  EXPECT_EQ(runOn(2, m_world.diskLibrary, false), (std::vector<Message>{operationResponse(2, 0, "still in use")}));
  associateClouds();
  EXPECT_EQ(runOn(44, m_world.diskLibrary, false),
            (std::vector<Message>{operationResponse(44, 0, ctltest::text(kTextCachedDedupe, "cloud-A, cloud-B"))}));
  EXPECT_TRUE(std::filesystem::exists(lockFile(9)));
}

TEST_F(RemovalLockFile, TheLockOfAnotherRequestIsLeftToItsHolder) {
  MDLock* holder = EvMMConfigMgr::lockConfigLibrary("LibID9");
  ASSERT_NE(holder, nullptr);
  EXPECT_EQ(runOn(2, m_world.diskLibrary, true), (std::vector<Message>{operationResponse(2, 1, "Success")}));
  EXPECT_TRUE(holder->isSet());
  EXPECT_TRUE(std::filesystem::exists(lockFile(9)));
  // The holder, a delete of the same library, removes the file itself.
  EXPECT_TRUE(holder->unsetAndRemove());
  EvMMConfigMgr::unlockConfigLibrary(holder);
  EXPECT_FALSE(std::filesystem::exists(lockFile(9)));
}

}  // namespace
