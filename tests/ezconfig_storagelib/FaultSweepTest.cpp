// The fault sweep over the storage-library request: each request is rerun
// once for every platform call it makes with that call failing. Every run
// answers (a success response, or a generic response with code -1; only a
// failed write of the answer leaves the buffer empty), leaves the database
// as it was, gives its library lock back, and leaves no cloud storage that
// it provisioned behind (unless the service fails to delete it, which is
// not reported).
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "frame/EvMMConfigMgr.h"
#include "tests/ezconfig_storagelib/StorageLibFixture.h"
#include "tests/support/FaultSweep.h"

namespace storagelibtest {
namespace {

struct Case {
  const char* name;
  Fields library;
  Fields second;
  bool cleanSucceeds;
};

class StorageLibSweep : public StorageLibTest {
 protected:
  tktest::SweepReport sweep(const Case& c, const std::function<void()>& extraSetup = {}) {
    std::string text;
    std::string buffer;
    long long result = 0;
    tktest::SweepPlan plan;
    plan.setup = [&] {
      freshStandIns();
      if (extraSetup) extraSetup();
      text = request(c.library, c.second);
    };
    plan.request = [&] {
      auto message = record();
      buffer = text;
      result = m_mgr.HandleMMConfigMgrXmlMsg(message.get(), 0, 0, 0, kMessageId, buffer);
    };
    plan.check = [&](const tktest::SweepRun& run) -> std::string {
      for (const char* key : {"MAID2", "LibID5"}) {
        if (EvMMConfigMgr::isConfigLibraryLocked(key)) return std::string("the lock ") + key + " is still held";
      }
      // The one way to leave cloud storage behind: the service fails to delete it.
      if (!testkit::cloud::storages().empty() && !run.failed("deleteStorage"))
        return "provisioned cloud storage was left behind";
      if (buffer.empty()) {
        if (result != -1) return "an empty buffer answered " + std::to_string(result);
        return run.failed("xml.serialize") ? "" : "no answer was written";
      }
      if (result != 0) return "a written answer returned " + std::to_string(result);
      const Answer a = decode(buffer);
      if (!a.success && a.code != -1) return "the answer does not read: " + buffer;
      if (!a.success && a.text.empty()) return "a failure without a text";
      if (run.k == 0 && a.success != c.cleanSucceeds) return "the clean run answered " + buffer;
      if (a.success && !c.cleanSucceeds) return "a failed call turned the answer into success";
      return "";
    };
    return tktest::FaultSweep().run(plan);
  }
};

TEST_F(StorageLibSweep, EveryFailingCallEndsAnsweredWithTheLockReleased) {
  const Case cases[] = {
      {"no operation, names resolved",
       {{43, 3}, {3, "ma2"}, {8, "disklib"}, {55, "dev60"}},
       {{3, "ma3"}},
       true},
      {"delete by controller rights", {{43, 2}, {8, "disklib"}}, {}, true},
      {"delete mount path looked up by name, not found",
       {{43, 16}, {1, kDiskLib}, {7, kMa2}, {24, "/mnt/none"}, {60, "base1"}}, {}, false},
      {"share with a new media agent", {{43, 64}, {1, kDiskLib}, {7, kMa2}, {23, kMountPath}}, {{7, kMa3}}, false},
      {"cloud library provisioned and undone: the name is taken",
       {{43, 1}, {7, kMa2}, {8, "disklib"}, {24, "/bucket"}, {28, "owner"}, {32, "pw"}, {33, "proxy"}, {42, 400}},
       {},
       false},
  };
  std::set<std::string> swept;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const tktest::SweepReport report = sweep(c, [&] {
      if (std::string(c.name) == "delete by controller rights") testkit::security::deny("canAdminLibrary", kAlice);
    });
    EXPECT_TRUE(report.clean()) << report;
    swept.insert(report.names.begin(), report.names.end());
  }
  for (const char* call : {"xml.Initialize", "xml.unserialize", "xml.serialize", "canManageMediaAgent",
                           "canAdminLibrary", "Initialize", "getPlatformInfo", "provisionStorage", "deleteStorage",
                           "getNextRow", "getOneRow", "encrypt"}) {
    EXPECT_TRUE(swept.count(call)) << call;
  }
}

TEST_F(StorageLibSweep, RefusedRightsAreSweptToo) {
  const Case refused{"media agent refused", {{43, 3}, {7, kMa2}}, {}, false};
  const tktest::SweepReport report = sweep(refused, [] {
    testkit::security::deny("canManageMediaAgent", kAlice);
    testkit::security::deny("hasPermissionForUserOnEntity", kAlice);
  });
  EXPECT_TRUE(report.clean()) << report;
  EXPECT_NE(std::find(report.names.begin(), report.names.end(), "sendAlert"), report.names.end()) << report;
}

}  // namespace
}  // namespace storagelibtest
