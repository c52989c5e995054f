// The fault sweep over the disk-library wizard: each request is rerun once
// for every platform call it makes, with that call failing. Every run
// answers (only a failed write of the answer leaves the buffer empty) and no
// step is left half done. The configuration has no transaction on purpose:
// its steps stand alone, so the tables it changes step by step are judged
// here, the rest by the sweep (as before, or as after the clean run).
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/ezconfig_wizard/WizardFixture.h"

namespace wiztest {
namespace {

const std::vector<std::string> kStepTables = {"archGroup",     "archGroupCopy", "archTask",     "archAgingRule",
                                              "MMLibrary",     "MMMountPath",   "MMMasterPool", "MMDrivePool",
                                              "MMDataPath",    "sqlite_sequence"};

class Sweep : public WizardTest {
 protected:
  tktest::SweepReport sweep(unsigned long id, const std::function<std::string()>& text) {
    const auto check = [&](const std::string& buffer, long long result, const tktest::SweepRun& run) -> std::string {
      const Answer answer = decode(buffer, result);
      if (answer.xml.empty())
        return answer.result == -1 && run.failed("xml.serialize") ? "" : "no answer was written";
      if (!answer.success && (answer.code != -1 || answer.text.empty())) return "not an answer: " + answer.xml;
      if (run.k == 0 && !answer.success) return "the clean run failed: " + answer.xml;
      // Deduplication is one whole step: the copy's task exists.
      if (count("archGroupCopy", "sealStoreTaskId IS NOT NULL AND sealStoreTaskId NOT IN (SELECT id FROM archTask)"))
        return "a copy points at a seal-store task that is not there";
      if (count("archGroupCopy", "(dedupeFlags & 786432) <> 0 AND sealStoreTaskId IS NULL"))
        return "deduplication without its seal-store task";
      // A disk library is never stored without the storage policy it was made with.
      if (count("MMLibrary", "LibraryTypeId = 3 AND LibraryId NOT IN (SELECT LibraryId FROM MMMasterPool)"))
        return "a disk library without its storage policy";
      if (answer.success && run.k > 0 && id == kConfigureId &&
          count("archGroup", "flags = 544") + count("archAgingRule", "retentionDays = 14 AND flags = 8") != 2)
        return "a failed step answered success";
      return "";
    };
    return sweepXml(id, kStepTables, text, check);
  }
};

TEST_F(Sweep, EveryFailingCallOfAConfigurationEndsAnsweredWithEachStepWhole) {
  const tktest::SweepReport report = sweep(kConfigureId, [&] {
    Fields f = existing();
    f.insert({{23, "/srv/disklib1/new"}, {27, "svc"}, {31, "pw"}, {40, 1}});
    return configureText(f, 1, 1);
  });
  EXPECT_TRUE(report.clean()) << report;
}

TEST_F(Sweep, EveryFailingCallOfANewLibraryEndsAnsweredWithEachStepWhole) {
  const tktest::SweepReport report = sweep(kConfigureId, [] {
    return configureText({{3, "ma1"}, {23, "/srv/wiz"}, {27, "svc"}, {31, "pw"}, {32, 1}, {34, 14}, {40, 1}}, 0, 1);
  });
  EXPECT_TRUE(report.clean()) << report;
}

TEST_F(Sweep, EveryFailingCallOfAListingEndsAnswered) {
  const tktest::SweepReport report = sweep(kListId, [] { return listText({}); });
  EXPECT_TRUE(report.clean()) << report;
}

}  // namespace
}  // namespace wiztest
