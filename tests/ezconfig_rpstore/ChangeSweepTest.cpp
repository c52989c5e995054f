// The fault sweep over deleting, updating and reading replication stores:
// every platform call failing in turn ends in an answer with the lock given
// back. An update keeps nothing of a failed run, and a failed telling of the
// pairs never changes its answer; a deletion goes mount path by mount path,
// each whole or not at all, and the library goes only in a run that answers
// success.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/testkit/blr.h"
#include "tests/ezconfig_rpstore/RPStoreSeed.h"
#include "tests/support/FaultSweep.h"

namespace rpstoretest {
namespace {

class RPStoreChangeSweep : public RPStoreTest {
 protected:
  tktest::SweepReport sweep(const std::string& request, std::vector<std::string> judged,
                            const std::function<std::string(const Answer&)>& extra = {}) {
    std::string buffer;
    tktest::SweepPlan plan;
    plan.judgedTables = std::move(judged);
    plan.setup = [&] {
      freshStandIns();
      testkit::blr::reset();
      checkRightsPerAgent(true);
    };
    plan.request = [&] {
      auto message = record();
      buffer = request;
      m_mgr.HandleMMConfigMgrXmlMsg(message.get(), 0, 0, 0, kMessageId, buffer);
    };
    plan.check = [&](const tktest::SweepRun& run) -> std::string {
      if (EvMMConfigMgr::isConfigLibraryLocked("MAID0")) return "the lock MAID0 is still held";
      if (buffer.empty()) return run.failed("xml.serialize") ? "" : "no answer was written";
      const Answer a = decode(buffer);
      if (!a.success && (a.code != -1 || a.text.empty())) return "not an answer: " + buffer;
      if (run.k == 0 && !a.success) return "the clean run answered " + buffer;
      return extra ? extra(a) : "";
    };
    return tktest::FaultSweep().run(plan);
  }
};

TEST_F(RPStoreChangeSweep, AnUpdateKeepsNothingOfAFailedRunAndAlwaysAnswers) {
  seedRPStoreLibrary(m_db);
  addPair(m_db, 1, kStoreA, kMa3, "00112233445566778899aabbccddee01", 1);
  addPair(m_db, 2, kStoreA, kMa2, "00112233445566778899aabbccddee02", 1);
  Request r;
  r.operation = 4;
  r.library = {{8, "rplib8"}, {37, "new words"}};
  r.store = {{6, 11}, {7, 22}};
  r.window = kWindow;
  std::string xml = text(r);
  Req req;
  ASSERT_EQ(req.unserialize(xml), 0);
  req.setint64(Req::kUpdateMask.ordinal, Req::kUpdateMask.tag, 0x1F, Req::kClassHash, Req::kUpdateMask.hash);
  xml.clear();
  ASSERT_EQ(req.serialize(xml), 0);
  const tktest::SweepReport report = sweep(xml, {});
  EXPECT_TRUE(report.clean()) << report;
  const std::set<std::string> swept(report.names.begin(), report.names.end());
  for (const char* call :
       {"startTran", "commitTran", "getPairs", "connect", "applyRepCfg", "getNetworkHostnameMangled"})
    EXPECT_TRUE(swept.count(call)) << call;
}

TEST_F(RPStoreChangeSweep, ADeletionGoesMountPathByMountPathAndAlwaysAnswers) {
  seedRPStoreLibrary(m_db);
  Request r;
  r.operation = 2;
  r.library = {{8, "rplib8"}};
  const tktest::SweepReport report = sweep(
      text(r),
      {"MMLibrary", "MMMountPath", "MMMountPathToStorageDevice", "MMRPStoreConfig", "MMRPStoreProp", "MMMedia",
       "MMMediaSide", "MMMasterPool", "MMDrivePool", "AuditTrailRecord", "AuditTrailParam", "AuditTrailArgument"},
      [&](const Answer& a) -> std::string {
        if (count("MMRPStoreConfig", "MountPathId NOT IN (SELECT MountPathId FROM MMMountPath)") != 0)
          return "a store outlived its mount path";
        if (count("MMMountPath", "LibraryId = 8 AND MountPathId NOT IN (SELECT MountPathId FROM MMRPStoreConfig)"))
          return "a mount path lost its store";
        const bool libraryGone = count("MMLibrary", "LibraryId = 8") == 0;
        if (libraryGone != a.success) return "the library's fate disagrees with the answer";
        if (!a.success && count("AuditTrailRecord") != 0) return "a failed deletion was audited";
        return "";
      });
  EXPECT_TRUE(report.clean()) << report;
}

TEST_F(RPStoreChangeSweep, EveryReadAlwaysAnswersAndWritesNothing) {
  seedRPStoreLibrary(m_db);
  tktest::insertRows(m_db, "archGroupCopy (id, archGroupId, copy, name, type, flags, isActive, extendedFlags)",
                     {{71, kPolicy, 1, "blr", 9, 16384, 1, 0}});
  Request byStore;
  byStore.operation = 8;
  byStore.store = {{1, kStoreA}};
  Request byLibrary;
  byLibrary.operation = 8;
  byLibrary.library = {{8, "rplib8"}};
  Request copy;
  copy.operation = 16;
  copy.store = {{2, kPolicy}};
  for (const Request* r : {&byStore, &byLibrary, &copy}) {
    SCOPED_TRACE(r->operation);
    const tktest::SweepReport report = sweep(text(*r), {});
    EXPECT_TRUE(report.clean()) << report;
  }
}

}  // namespace
}  // namespace rpstoretest
