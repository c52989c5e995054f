// Changes to master drive pools and drive pools, and their creation, on the
// standard world (in memory) and on the demonstration installation (stored
// in the database, with the fault sweep).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/mmconfig_librarychanges/LibraryChangesFixture.h"
#include "tests/mmconfig_diskchanges/StoredSession.h"

namespace {

using libtest::Message;
using libtest::operationResponse;
using libtest::statusReply;
using libtest::text;
using Answers = std::vector<Message>;

class PoolChanges : public libtest::LibraryTest {
 protected:
  Answers setPool(const tktest::StreamBuilder& request, bool expected) {
    auto message = request.build();
    EXPECT_EQ(m_mgr.onMsgSetMMDrivePool(message.get()), expected);
    return libtest::messagesOf(m_a.replies());
  }
  Answers setMaster(const tktest::StreamBuilder& request, bool expected) {
    auto message = request.build();
    EXPECT_EQ(m_mgr.onMsgSetMMMasterDrivePool(message.get()), expected);
    return libtest::messagesOf(m_a.replies());
  }
  Answers addMaster(unsigned long long library, bool expected) {
    auto message = stream().objectHandle(library).build();
    EXPECT_EQ(m_mgr.onMsgAddMasterDrivePool(message.get()), expected);
    return libtest::messagesOf(m_a.replies());
  }
  Answers addPool(unsigned long long master, uint32_t agentId, bool expected) {
    auto message = stream().objectHandle(master).payloadWord(8, 0xDEADBEEF).payloadWord(12, agentId).build();
    EXPECT_EQ(m_mgr.onMsgAddDrivePool(message.get()), expected);
    return libtest::messagesOf(m_a.replies());
  }
  tktest::StreamBuilder pool1() const { return stream().op(3).handle(handleOf(m_world.pool1)); }
};

TEST_F(PoolChanges, ADrivePoolTakesItsNameProxyHostCopyManagerAndCostCategory) {
  const auto answers = setPool(
      pool1().text(8260, "Renamed", true).pair(11019, 0, "proxy.example.net", true).u32(11132, 7).u32(11217, 9).end(),
      true);
  EXPECT_EQ(answers, (Answers{operationResponse(3, 1, "Success")}));
  EXPECT_EQ(m_world.pool1->GetName(), "Renamed");
  EXPECT_EQ(m_world.pool1->GetProxyClientHost(), "proxy.example.net");
  EXPECT_EQ(m_world.pool1->GetCopyManagerId(), 7);
  EXPECT_EQ(m_world.pool1->GetCostCategoryId(), 9);
}

TEST_F(PoolChanges, ARefusedCopyManagerKeepsTheProxyHostAndSkipsTheCostCategory) {
  testkit::mac::journal().injectFailure("SetCopyManagerId", 5, "copy manager refused");
  const auto answers =
      setPool(pool1().pair(11019, 0, "proxy", true).u32(11132, 7).u32(11217, 9).end().end(), false);
  EXPECT_EQ(answers, (Answers{operationResponse(3, 0, "copy manager refused")}));
  EXPECT_EQ(m_world.pool1->GetProxyClientHost(), "proxy");
  EXPECT_EQ(m_world.pool1->GetCostCategoryId(), 0);
}

TEST_F(PoolChanges, AnUnknownHandleOrOneOfAnotherKindChangesNothingAndAnswersSuccess) {
  for (unsigned long long handle : {0xFFFFFFull, handleOf(m_world.master)}) {
    SCOPED_TRACE(handle);
    const auto answers = setPool(stream().op(3).handle(handle).text(8260, "X", true).u32(11132, 4).end(), true);
    EXPECT_EQ(answers, (Answers{operationResponse(3, 1, "Success")}));
  }
  EXPECT_EQ(m_world.master->GetName(), "MDP1");
  EXPECT_EQ(testkit::mac::journal().count("SetCopyManagerId"), 0u);
}

TEST_F(PoolChanges, TheSetRequestsServeOnlyOperationThreeAndNeedAHandle) {
  EXPECT_EQ(setPool(stream().op(1).handle(handleOf(m_world.pool1)).end(), false),
            (Answers{statusReply(0, "Received invalid operation type")}));
  EXPECT_EQ(setMaster(stream().op(3).end(), false), (Answers{operationResponse(3, 0, text(0x240001F3))}));
  EXPECT_FALSE(m_mgr.onMsgSetMMDrivePool(nullptr));
  EXPECT_FALSE(m_mgr.onMsgAddDrivePool(nullptr));
}

TEST_F(PoolChanges, AMasterPoolIsRenamedAndTheMasterNameIsNotADrivePoolName) {
  const auto answers = setMaster(
      stream().op(3).handle(handleOf(m_world.master)).text(8258, "Master2", true).text(8260, "ignored", true).end(),
      true);
  // 8260 is not the master request's: logged and skipped.
  EXPECT_EQ(answers, (Answers{operationResponse(3, 1, "Success")}));
  EXPECT_EQ(m_world.master->GetName(), "Master2");
}

TEST_F(PoolChanges, AddingAMasterPoolMakesAUserPoolNamedAfterTheLibrary) {
  EXPECT_EQ(addMaster(handleOf(m_world.lms), true), (Answers{operationResponse(1, 1, "Success")}));
  ZQMACLinkedList<ZQMACMasterDrivePool> masters = m_world.lms->GetMasterDrivePoolList();
  ASSERT_EQ(masters.GetListCount(), 2);
  masters.GetFirstNode();
  ZQMACMasterDrivePool* added = masters.GetNextNode();
  EXPECT_TRUE(added->IsCreatedByUser());
  EXPECT_EQ(added->GetLms(), m_world.lms);
  EXPECT_EQ(added->GetName(), "MasterPool(" + m_world.library->GetName() + ")");
}

TEST_F(PoolChanges, AMasterPoolTheLibraryRefusesAnswersItsReasonAndLeavesNoPool) {
  const std::size_t before = config().GetObjectCount();
  testkit::mac::journal().injectFailure("AddMasterDrivePool", 3, "no more master pools");
  EXPECT_EQ(addMaster(handleOf(m_world.lms), false), (Answers{operationResponse(1, 0, "no more master pools")}));
  EXPECT_EQ(config().GetObjectCount(), before);
  EXPECT_EQ(m_world.lms->GetMasterDrivePoolList().GetListCount(), 1);
}

TEST_F(PoolChanges, AddingADrivePoolTakesTheMediaAgentFromTheFixedPayload) {
  EXPECT_EQ(addPool(handleOf(m_world.master), 3, true), (Answers{operationResponse(1, 1, "Success")}));
  ZQMACLinkedList<ZQMACDrivePool> pools = m_world.master->GetDrivePoolList();
  ASSERT_EQ(pools.GetListCount(), 3);
  ZQMACDrivePool* added = nullptr;
  for (ZQMACDrivePool* p = pools.GetFirstNode(); p != nullptr; p = pools.GetNextNode()) added = p;
  EXPECT_EQ(added->GetMediaAgent(), m_world.agent2);
  EXPECT_EQ(added->GetMasterDrivePool(), m_world.master);
  EXPECT_EQ(added->GetLms(), m_world.lms);
  EXPECT_TRUE(added->IsCreatedByUser());
}

TEST_F(PoolChanges, AnUnknownMasterPoolOrMediaAgentCreatesNothingAndAnswersSuccess) {
  const std::size_t before = config().GetObjectCount();
  EXPECT_EQ(addPool(handleOf(m_world.master), 999, true), (Answers{operationResponse(1, 1, "Success")}));
  EXPECT_EQ(addPool(handleOf(m_world.lms), 2, true), (Answers{operationResponse(1, 1, "Success")}));
  EXPECT_EQ(addMaster(handleOf(m_world.pool1), true), (Answers{operationResponse(1, 1, "Success")}));
  EXPECT_EQ(config().GetObjectCount(), before);
}

TEST_F(PoolChanges, ADrivePoolTheLibraryRefusesAnswersThePoolsReason) {
  testkit::mac::journal().injectFailure("AddDrivePool", 3, "pool refused");
  EXPECT_EQ(addPool(handleOf(m_world.master), 2, false), (Answers{operationResponse(1, 0, "pool refused")}));
  EXPECT_EQ(m_world.master->GetDrivePoolList().GetListCount(), 2);
}

// On the stored installation: what the requests make and change is in the
// database, and each platform call failing in turn leaves it whole.
class StoredPools : public disktest::StoredSession {
 public:
  void freshSession() override {
    // The copy manager the pool changes name (11132=4) is there: a pool
    // pointed at none is refused.
    ASSERT_EQ(m_db.exec("INSERT OR IGNORE INTO MMCopyManager (CopyManagerId, CopyManagerName, ClientId) "
                        "VALUES (4, 'cm4', 1)"),
              0);
    StoredSession::freshSession();
    m_lms = m_config->GetLmsList().GetFirstNode();
    ASSERT_NE(m_lms, nullptr);
    m_master = m_lms->GetMasterDrivePoolList().GetFirstNode();
    m_pool = m_lms->GetDrivePoolList().GetFirstNode();
    ASSERT_NE(m_pool, nullptr);
    m_agentId = static_cast<uint32_t>(m_pool->GetMediaAgent()->GetId());
    m_poolId = m_pool->GetId();
  }
  void addMaster() {
    auto message = stream().objectHandle(m_config->GetHandle(m_lms)).build();
    m_mgr.onMsgAddMasterDrivePool(message.get());
  }
  void addPool() {
    auto message = stream().objectHandle(m_config->GetHandle(m_master)).payloadWord(12, m_agentId).build();
    m_mgr.onMsgAddDrivePool(message.get());
  }
  void changePool() {
    auto message = stream()
                       .op(3)
                       .handle(m_config->GetHandle(m_pool))
                       .text(8260, "Pool-X", true)
                       .u32(11132, 4)
                       .u32(11217, 6)
                       .end()
                       .build();
    m_mgr.onMsgSetMMDrivePool(message.get());
  }
  void renameMaster() {
    auto message = stream().op(3).handle(m_config->GetHandle(m_master)).text(8258, "Master-X", true).end().build();
    m_mgr.onMsgSetMMMasterDrivePool(message.get());
  }
  // One stored step, so that a failure leaves the row as it was.
  void changeCostCategory() {
    auto message = stream().op(3).handle(m_config->GetHandle(m_pool)).u32(11217, 6).end().build();
    m_mgr.onMsgSetMMDrivePool(message.get());
  }
  // Every step of the drive-pool change: name, proxy host, copy manager and
  // cost category, each stored on its own.
  void changeEverything() {
    auto message = stream()
                       .op(3)
                       .handle(m_config->GetHandle(m_pool))
                       .text(8260, "Pool-X", true)
                       .pair(11019, 0, "ndmp-proxy.example.net", true)
                       .u32(11132, 4)
                       .u32(11217, 6)
                       .end()
                       .build();
    m_mgr.onMsgSetMMDrivePool(message.get());
  }
  // The steps of changeEverything the pool's row shows, in their order.
  std::vector<bool> stepsStored() {
    const int id = static_cast<int>(m_poolId);
    return {m_db.text("SELECT DrivePoolName FROM MMDrivePool WHERE DrivePoolId = ?", {id}) == "Pool-X",
            m_db.text("SELECT IFNULL(Descript, '') FROM MMDrivePool WHERE DrivePoolId = ?", {id}) ==
                "ndmp-proxy.example.net",
            m_db.scalar("SELECT CopyManagerCtrlId FROM MMDrivePool WHERE DrivePoolId = ?", {id}) == 4,
            m_db.scalar("SELECT CostCategoryId FROM MMDrivePool WHERE DrivePoolId = ?", {id}) == 6};
  }
  long long count(const std::string& sql) { return m_db.scalar(sql); }

  ZQMACLms* m_lms = nullptr;
  ZQMACMasterDrivePool* m_master = nullptr;
  ZQMACDrivePool* m_pool = nullptr;
  uint32_t m_agentId = 0;
  uint32_t m_poolId = 0;
};

TEST_F(StoredPools, NewPoolsAndPoolSettingsAreStoredAndSurviveAReload) {
  freshSession();
  addMaster();
  addPool();
  changePool();
  EXPECT_EQ(count("SELECT COUNT(*) FROM MMMasterPool WHERE MasterPoolName LIKE 'MasterPool(%)_2'"), 1);
  EXPECT_EQ(count("SELECT COUNT(*) FROM MMDrivePool WHERE DrivePoolName LIKE 'DrivePool(%)_2'"), 1);
  EXPECT_EQ(count("SELECT COUNT(*) FROM MMDrivePool WHERE DrivePoolName = 'Pool-X' AND CopyManagerCtrlId = 4 "
                  "AND CostCategoryId = 6"),
            1);
  ASSERT_TRUE(m_config->ReadCurrentConfig(true));
  EXPECT_EQ(m_lms->GetMasterDrivePoolList().GetListCount(), 2);
  EXPECT_EQ(m_lms->GetDrivePoolList().GetListCount(), 3);
}

TEST_F(StoredPools, AProxyHostIsStoredWhereNdmpPoolsKeepTheirsAndSurvivesANewLoad) {
  freshSession();
  changeEverything();
  EXPECT_EQ(stepsStored(), (std::vector<bool>{true, true, true, true}));
  freshSession();  // a new session loads the rows
  EXPECT_EQ(m_pool->GetProxyClientHost(), "ndmp-proxy.example.net");
  EXPECT_EQ(m_pool->GetName(), "Pool-X");

  // One longer than the column takes is refused before anything is stored.
  auto message = stream()
                     .op(3)
                     .handle(m_config->GetHandle(m_pool))
                     .pair(11019, 0, std::string(300, 'h'), true)
                     .u32(11217, 9)
                     .end()
                     .build();
  EXPECT_FALSE(m_mgr.onMsgSetMMDrivePool(message.get()));
  const auto answers = libtest::messagesOf(m_a.replies());
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_NE(answers[0], operationResponse(3, 1, "Success"));
  EXPECT_EQ(m_pool->GetProxyClientHost(), "ndmp-proxy.example.net");
  EXPECT_EQ(stepsStored(), (std::vector<bool>{true, true, true, true}));
}

TEST_F(StoredPools, EveryFailingCallEndsInAnAnswerAndLeavesNoHalfChange) {
  for (auto request :
       {&StoredPools::addMaster, &StoredPools::addPool, &StoredPools::renameMaster, &StoredPools::changeCostCategory}) {
    const tktest::SweepReport report = sweep([&, request] { (this->*request)(); });
    EXPECT_TRUE(report.clean()) << report;
  }
}

TEST_F(StoredPools, EveryFailingCallOfAWholeDrivePoolChangeKeepsTheStepsBeforeItAndNoneAfter) {
  // A failed step ends the request and keeps the steps before it: the
  // pool's row shows a first part of the steps, each whole.
  const tktest::SweepReport report =
      sweepSteps([&] { changeEverything(); }, "MMDrivePool", [&] { return stepsStored(); });
  EXPECT_TRUE(report.clean()) << report;
}

}  // namespace
