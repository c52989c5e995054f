// The fault sweep over the tape-library wizard: each request is rerun once
// for every platform call it makes, with that call failing. Every run
// answers (only a failed write of the answer leaves the buffer empty), and
// no step is left half done. The drive step configures drive by drive on
// purpose, so the tables it changes step by step are judged here: a policy
// is never stored without its copy, data path and aging rule.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/ezconfig_tapewizard/TapeWizardFixture.h"

namespace tapetest {
namespace {

const std::vector<std::string> kStepTables = {"archGroup",   "archGroupCopy", "archAgingRule",       "MMLibrary",
                                              "MMDrivePath", "MMDrivePool",   "MMLibraryController", "MMMasterPool",
                                              "MMDataPath",  "MMDrive",       "sqlite_sequence"};

class Sweep : public TapeWizardTest {
 protected:
  tktest::SweepReport sweep(unsigned long id, const std::function<std::string()>& text, uint32_t origin = 0) {
    const auto check = [&](const std::string& buffer, long long result, const tktest::SweepRun& run) -> std::string {
      const Answer answer = decode(buffer, result);
      if (answer.xml.empty())
        return answer.result == -1 && run.failed("xml.serialize") ? "" : "no answer was written";
      if (answer.code != 0 && (answer.code != -1 || answer.text.empty())) return "not an answer: " + answer.xml;
      if (run.k == 0 && answer.code != 0) return "the clean run failed: " + answer.xml;
      if (count("archGroup", "defaultCopy NOT IN (SELECT id FROM archGroupCopy)"))
        return "a policy without its default copy";
      if (count("archGroupCopy", "id NOT IN (SELECT copyId FROM archAgingRule) OR id NOT IN (SELECT CopyId FROM "
                                 "MMDataPath)"))
        return "a copy without its aging rule or data path";
      return "";
    };
    return sweepXml(id, kStepTables, text, check, origin);
  }
};

TEST_F(Sweep, EveryFailingCallOfTheWizardsRequestsEndsAnsweredWithEachStepWhole) {
  struct Case {
    const char* name;
    unsigned long id;
    std::function<std::string()> text;
    uint32_t origin;
  };
  const Case cases[] = {
      {"listing with detection", kListId, [] { return listText({}, {}, 1); }, 0},
      {"private listing", kListId, [] { return listText({}); }, kRequestOriginPrivateConfig},
      {"configuration", kConfigureId, [&] { addPolicy(); return configureText(libraryHandle(), 21, 1); }, 0},
      {"configuration that makes the default policy", kConfigureId,
       [&] { return configureText(libraryHandle(), 21, 1); }, 0},
      {"drives", kDrivesId, [&] { return drivesText(pathHandles()); }, 0},
      {"alias", kAliasId, [&] { return aliasText(pathHandles()[0], "Bay1"); }, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const tktest::SweepReport report = sweep(c.id, c.text, c.origin);
    EXPECT_TRUE(report.clean()) << report;
  }
}

}  // namespace
}  // namespace tapetest
