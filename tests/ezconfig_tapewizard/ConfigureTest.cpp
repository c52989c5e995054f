// The wizard's last step: the library's configuration and its policy's
// retention.
#include "tests/ezconfig_tapewizard/TapeWizardFixture.h"

#include <functional>

#include "frame/EvEvent.h"
#include "platform/mac/ZQMACGraph.h"

namespace tapetest {
namespace {

class Configure : public TapeWizardTest {
 protected:
  void dropPolicies() {
    for (const char* table : {"archAgingRule", "MMDataPath", "archGroupCopy", "archGroup"}) {
      ASSERT_EQ(m_db.exec(std::string("DELETE FROM ") + table), 0);
    }
  }
};

std::string policyNotSet(const std::string& name) {
  char buffer[1024];
  return EvGetLocTextV(0x4100000E, buffer, sizeof buffer, 0, {name});
}

TEST_F(Configure, TheRetentionOfTheFirstRecordGoesToThePrimaryPolicy) {
  const int policy = addPolicy();
  testkit::archivemgr::journal().reset();
  expectDone(call(kConfigureId, configureText(libraryHandle(), 21, 1, libraryHandle(), 99)));
  EXPECT_EQ(calls(testkit::mac::journal(), "EZConfig"),
            (std::vector<std::string>{std::to_string(libraryHandle()) + " " + std::to_string(libraryHandle())}));
  EXPECT_EQ(calls(testkit::archivemgr::journal(), "SetAgingRuleAndThreshold"),
            (std::vector<std::string>{std::to_string(policy) + " 21 1 0 1 0"}));
  EXPECT_EQ(count("archAgingRule", "retentionDays = 21"), 1);
}

TEST_F(Configure, ALibraryConfiguredWithoutAPolicyGetsTheDefaultOneWithTheRetention) {
  struct Case {
    const char* name;
    std::function<void()> arm;
    bool done;
    long long policies;  // of the library afterwards
  };
  const Case cases[] = {
      {"the default policy is made", [] {}, true, 1},
      {"the default policy cannot be made",
       [] { testkit::archivemgr::journal().injectFailure("CreateStoragePolicyForLibraryArgs", 5, "refused"); }, false,
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    dropPolicies();
    ZQMACGraph::SetConfigured(tapeLibrary(), false);
    testkit::archivemgr::journal().reset();
    c.arm();
    const Answer a = call(kConfigureId, configureText(libraryHandle(), 21, 1));
    if (c.done) {
      expectDone(a);
    } else {
      expectRefused(a, policyNotSet("TapeLib1"));
    }
    EXPECT_EQ(calls(testkit::archivemgr::journal(), "CreateStoragePolicyForLibraryArgs"),
              (std::vector<std::string>{"1 16384 7"}));
    EXPECT_EQ(count("archGroup", "type = 1"), c.policies);
    EXPECT_EQ(count("archAgingRule", "retentionDays = 21"), c.policies);
  }
  // Without the configure flag nothing is made: a library without a policy
  // of type 1 is refused naming its alias.
  dropPolicies();
  testkit::archivemgr::journal().reset();
  expectRefused(call(kConfigureId, configureText(libraryHandle(), 21, 0)), policyNotSet("TapeLib1"));
  EXPECT_TRUE(calls(testkit::archivemgr::journal(), "CreateStoragePolicyForLibraryArgs").empty());
  EXPECT_EQ(count("archGroup"), 0);
}

TEST_F(Configure, FailuresAnswerTheirReasonAndAConfigurationDoneStays) {
  testkit::mac::failNext("EZConfig", 9, "the library does not answer");
  expectRefused(call(kConfigureId, configureText(libraryHandle(), 21, 1)), "the library does not answer");
  expectRefused(call(kConfigureId, configureText(0xFFFF0, 21, 1)),
                "The library to configure is not part of this configuration.");

  addPolicy();
  m_db.exec("UPDATE archGroup SET type = 2");
  expectRefused(call(kConfigureId, configureText(libraryHandle(), 21, 0)), policyNotSet("TapeLib1"));
  // A first policy row that cannot be read ends the search, though a later
  // one would do.
  m_db.exec("UPDATE archGroup SET type = 2");
  addPolicy();
  testkit::db::journal().injectFailure("getOneRow", 204, "locked");
  expectRefused(call(kConfigureId, configureText(libraryHandle(), 21, 0)), policyNotSet("SP_TapeLib1"));

  testkit::archivemgr::journal().injectFailure("SetAgingRuleAndThreshold", 5, "refused");
  expectRefused(call(kConfigureId, configureText(libraryHandle(), 21, 1)), policyNotSet("SP_TapeLib1"));
  EXPECT_EQ(count("archAgingRule", "retentionDays = 21"), 0);
}

TEST_F(Configure, AnUnknownLibraryWithoutConfigurationSucceedsWithoutAChange) {
  expectDone(call(kConfigureId, configureText(0xFFFF0, 21, 0)));
  EXPECT_TRUE(calls(testkit::mac::journal(), "EZConfig").empty());
  EXPECT_TRUE(calls(testkit::archivemgr::journal(), "SetAgingRuleAndThreshold").empty());
}

}  // namespace
}  // namespace tapetest
