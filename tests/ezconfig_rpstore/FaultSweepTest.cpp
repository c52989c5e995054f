// The fault sweep over the replication-store request: each request is rerun
// once for every platform call it makes with that call failing. Every run
// answers (only a failed write of the answer leaves the buffer empty), gives
// the library lock back, and leaves the database as it was or as the clean
// run left it, except what is kept on purpose: a library that the model's
// set-up made stays whole after a later failure, and after a failed copy of
// operation 64 the store and its audit record stay too. A copy and its
// candidate are one transaction: never one without the other's transaction.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "tests/ezconfig_rpstore/RPStoreFixture.h"
#include "tests/support/FaultSweep.h"

namespace rpstoretest {
namespace {

class RPStoreSweep : public RPStoreTest {
 protected:
  tktest::SweepReport sweep(const Request& r, bool cleanSucceeds, std::vector<std::string> judged) {
    std::string request;
    std::string buffer;
    long long result = 0;
    tktest::SweepPlan plan;
    plan.judgedTables = std::move(judged);
    plan.setup = [&] {
      freshStandIns();
      checkRightsPerAgent(true);
      request = text(r);
    };
    plan.request = [&] {
      auto message = record();
      buffer = request;
      result = m_mgr.HandleMMConfigMgrXmlMsg(message.get(), 0, 0, 0, kMessageId, buffer);
    };
    plan.check = [&](const tktest::SweepRun& run) -> std::string {
      if (EvMMConfigMgr::isConfigLibraryLocked("MAID2")) return "the lock MAID2 is still held";
      if (buffer.empty()) {
        if (result != -1) return "an empty buffer answered " + std::to_string(result);
        return run.failed("xml.serialize") ? "" : "no answer was written";
      }
      const Answer a = decode(buffer);
      if (!a.success && (a.code != -1 || a.text.empty())) return "not an answer: " + buffer;
      if (run.k == 0 && a.success != cleanSucceeds) return "the clean run answered " + buffer;
      if (a.success && !cleanSucceeds) return "a failed call turned the answer into success";
      // A library the set-up made is whole: its mount path on a media side.
      const long long libraries = count("MMLibrary", "AliasName = 'rplib'");
      const long long whole = count("MMMountPath M JOIN MMMediaSide S ON S.MediaSideId = M.MediaSideId "
                                    "JOIN MMLibrary L ON L.LibraryId = M.LibraryId",
                                    "L.AliasName = 'rplib'");
      if (libraries != whole) return "a library was left half made";
      // A store and its schedule go together.
      if (count("MMRPStoreConfig") != count("MMRPStoreProp", "PropName = 'OffPeak Schedule'"))
        return "a store without its schedule, or a schedule without its store";
      if (count("AuditTrailRecord") > count("MMRPStoreConfig")) return "an audit record without its store";
      // A candidate is never left without its copy.
      if (count("MMCopyFailoverCandidate", "CopyId NOT IN (SELECT id FROM archGroupCopy)") != 0)
        return "a failover candidate without its copy";
      return "";
    };
    return tktest::FaultSweep().run(plan);
  }
};

// What the set-up keeps after a later failure, and the audit trail, whose
// failures are not reported (and whose records carry the time of the run).
const std::vector<std::string> kSetUpTables = {
    "MMLibrary",   "MMMasterPool",          "MMDrivePool",     "MMDevice",          "MMDeviceController",
    "MMMedia",     "MMMediaSide",           "MMMountPath",     "MMMountPathToStorageDevice", "sqlite_sequence",
    "AuditTrailRecord", "AuditTrailParam", "AuditTrailArgument"};

TEST_F(RPStoreSweep, EveryFailingCallOfACreationEndsAnsweredWithTheLockReleased) {
  std::set<std::string> swept;
  {
    SCOPED_TRACE("operation 1");
    const tktest::SweepReport report = sweep(creation(), true, kSetUpTables);
    EXPECT_TRUE(report.clean()) << report;
    swept.insert(report.names.begin(), report.names.end());
  }
  {
    SCOPED_TRACE("operation 64 with a policy");
    Request r = creation(64);
    r.store[2] = kPolicy;
    std::vector<std::string> judged = kSetUpTables;
    // After its commit the store stays whatever the copy does; a copy stays
    // without its candidate when the candidate is refused.
    for (const char* t : {"MMRPStoreConfig", "MMRPStoreProp", "MMCopyFailoverCandidate"}) judged.push_back(t);
    const tktest::SweepReport report = sweep(r, true, judged);
    EXPECT_TRUE(report.clean()) << report;
    swept.insert(report.names.begin(), report.names.end());
  }
  for (const char* call : {"xml.Initialize", "xml.unserialize", "xml.serialize", "canManageMediaAgent", "Initialize",
                           "getPlatformInfo", "AutoConfigLibrary", "addUserToLibrary", "startTran", "commitTran",
                           "createArchGroupCopy"}) {
    EXPECT_TRUE(swept.count(call)) << call;
  }
}

TEST_F(RPStoreSweep, EveryFailingCallOfACopyLeavesNoCopy) {
  Request r;
  r.operation = 32;
  r.library = {{3, "ma2"}, {8, "disklib"}, {13, kPolicy}, {19, "c1"}};
  const tktest::SweepReport report = sweep(r, true, {});
  EXPECT_TRUE(report.clean()) << report;
}

}  // namespace
}  // namespace rpstoretest
