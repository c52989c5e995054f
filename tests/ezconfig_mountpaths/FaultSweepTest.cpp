// The fault sweep over the mount-path operations: every platform call of an
// add, a share, an unshare and a property change fails in turn. Each run
// answers (a generic response with code -1 or a service's own code, or the
// success response), gives the media agent's lock back, and leaves the
// database as before or as the clean run left it, except for the audit
// record, which is whole on its own. A new mount path with its device, and
// a property change with its device path, are stored whole or not at all.
#include <gtest/gtest.h>

#include <string>

#include "frame/EvMMConfigMgr.h"
#include "tests/ezconfig_mountpaths/MountPathFixture.h"
#include "tests/support/FaultSweep.h"

namespace mountpathtest {
namespace {

struct Case {
  const char* name;
  Fields library;
  Fields second;
  std::vector<std::string> judgedTables;
};

class MountPathSweep : public MountPathTest {
 protected:
  tktest::SweepReport sweep(const Case& c) {
    std::string text;
    std::string buffer;
    long long result = 0;
    tktest::SweepPlan plan;
    plan.judgedTables = c.judgedTables;
    plan.setup = [&] {
      freshStandIns();
      testkit::audit::reset();
      text = request(c.library, c.second);
    };
    plan.request = [&] {
      auto message = record();
      buffer = text;
      result = m_mgr.HandleMMConfigMgrXmlMsg(message.get(), 0, 0, 0, kMessageId, buffer);
    };
    plan.check = [&](const tktest::SweepRun& run) -> std::string {
      if (EvMMConfigMgr::isConfigLibraryLocked("MAID2")) return "the lock MAID2 is still held";
      if (buffer.empty()) return run.failed("xml.serialize") ? "" : "no answer was written";
      if (result != 0) return "a written answer returned " + std::to_string(result);
      const Answer a = decode(buffer);
      if (!a.success && a.code == 999) return "the answer does not read: " + buffer;
      if (!a.success && (a.code == 0 || a.text.empty())) return "a failure without a code or text: " + buffer;
      if (run.k == 0 && !a.success) return "the clean run failed: " + buffer;
      return "";
    };
    return tktest::FaultSweep().run(plan);
  }
};

TEST_F(MountPathSweep, EveryFailingCallEndsAnsweredAndWhole) {
  tktest::addDevicePath(m_db, {501, kMa3, kDevice, 6, "/ma3/old"});
  // The audit record and the steps after it may be lost.
  const std::vector<std::string> audit{"AuditTrailRecord", "AuditTrailParam", "AuditTrailArgument", "sqlite_sequence"};
  const Case cases[] = {
      {"add", {{43, 4}, {1, kDiskLib}, {8, "disklib"}, {7, kMa2}, {3, "ma2"}, {24, "/mnt/new"}, {60, "newmp"}},
       {{64, 20}}, audit},
      {"share", {{43, 64}, {1, kDiskLib}, {8, "disklib"}, {7, kMa2}, {3, "ma2"}, {23, kMountPath}},
       {{7, kMa3}, {24, "/ma3/new"}, {54, 4}}, audit},
      {"unshare", {{43, 128}, {1, kDiskLib}, {8, "disklib"}, {7, kMa3}, {3, "ma3"}, {23, kMountPath}},
       {{7, kMa3}, {24, "/ma3/old"}}, audit},
      {"properties",
       {{43, 8}, {1, kDiskLib}, {8, "disklib"}, {7, kMa2}, {3, "ma2"}, {23, kMountPath}, {24, "/mnt/disk1"}},
       {{7, kMa2}, {24, "base1"}, {64, 0}, {66, 4096}, {76, 1}, {96, 0}, {55, "disk-a"}, {89, 1}}, audit},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // The share case must find ma3 without a path: it is removed for it.
    if (std::string(c.name) == "share") {
      ASSERT_EQ(m_db.exec("DELETE FROM MMDeviceController WHERE ClientId = 3"), 0);
    }
    if (std::string(c.name) == "unshare") tktest::addDevicePath(m_db, {501, kMa3, kDevice, 6, "/ma3/old"});
    const tktest::SweepReport report = sweep(c);
    EXPECT_TRUE(report.clean()) << report;
    EXPECT_GT(report.calls, 5);
  }
}

}  // namespace
}  // namespace mountpathtest
