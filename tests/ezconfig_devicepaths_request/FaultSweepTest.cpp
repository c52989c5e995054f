// The fault sweep over the device-path request: each request is rerun once
// for every platform call it makes with that call failing. Every run
// answers (only a failed write of the answer leaves the buffer empty), and
// the controller rows are either as before or as the clean run left them:
// the list update is one step, all or nothing. What follows it (storage-pool
// sharing, audit records, hybrid-cloud sharing) goes on after a failed step,
// so its tables are judged here: a failed list update leaves no share
// and no audit record behind.
#include <gtest/gtest.h>

#include <string>

#include "tests/ezconfig_devicepaths_request/DevicePathsFixture.h"
#include "tests/support/FaultSweep.h"

namespace dpreq {
namespace {

class DevicePathsSweep : public DevicePathsTest {
 protected:
  tktest::SweepReport sweep(int mountPathId, const std::vector<Path>& paths) {
    std::string text;
    std::string buffer;
    std::vector<std::string> cleanRows;
    std::vector<std::string> startRows;
    tktest::SweepPlan plan;
    plan.setup = [&] {
      freshStandIns();
      text = request(mountPathId, paths);
      startRows = controllers();
    };
    plan.request = [&] {
      auto message = record();
      buffer = text;
      m_mgr.HandleMMConfigMgrXmlMsg(message.get(), 0, 0, 0, kMessageId, buffer);
    };
    plan.check = [&](const tktest::SweepRun& run) -> std::string {
      const auto rows = controllers();
      if (run.k == 0) cleanRows = rows;
      // A refused entry is skipped by design: the others are still applied.
      const bool entryRefused = run.failed("canAdminLibrary") || run.failed("canManageMediaAgent");
      if (rows != startRows && rows != cleanRows && !entryRefused) return "the controller rows were half changed";
      const bool updated = rows != startRows;
      if (!updated && !testkit::archivemgr::shareCalls().empty()) return "shared without a list update";
      if (buffer.empty()) return run.failed("xml.serialize") ? "" : "no answer was written";
      const Answer a = decode(buffer);
      if (!a.read) return "the answer does not read: " + buffer;
      if (run.k == 0 && a.code != 0) return "the clean run failed: " + a.text;
      if (a.code == 0 && !updated) return "success without the list update";
      return "";
    };
    plan.judgedTables = {"MMDeviceController", "AuditTrailRecord", "AuditTrailParam", "AuditTrailArgument", "sqlite_sequence"};
    return tktest::FaultSweep().run(plan);
  }
};

TEST_F(DevicePathsSweep, EveryFailingCallOfAnAdditionEndsAnsweredAndWhole) {
  const auto report = sweep(kDiskMountPath, {{.clientId = 12, .folder = "/d12", .user = "u", .password = "pw"}});
  EXPECT_TRUE(report.clean()) << report;
}

TEST_F(DevicePathsSweep, EveryFailingCallOfAChangeAndARemovalEndsAnsweredAndWhole) {
  const auto report = sweep(kDiskMountPath, {{.operation = 2, .clientId = 11, .controllerId = 501,
                                              .folder = "/new70", .user = "u11", .drives = 7},
                                             {.operation = 1, .clientId = 13, .folder = "/d13", .autoPick = 1}});
  EXPECT_TRUE(report.clean()) << report;
}

TEST_F(DevicePathsSweep, EveryFailingCallOfACloudChangeEndsAnsweredAndWhole) {
  const auto report = sweep(kCloudMountPath, {{.operation = 2, .clientId = 12, .deviceId = 80, .controllerId = 601,
                                               .folder = "bucket", .user = "k!!p.example@pu", .proxyPassword = "x"},
                                              {.clientId = 13, .deviceId = 80, .folder = "b"}});
  EXPECT_TRUE(report.clean()) << report;
}

}  // namespace
}  // namespace dpreq
