// The disk-library wizard's configuration: an existing library with a mount
// path (its credentials and storage policy), a new library, a library
// without a mount path, and what each refuses before any change.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/external/Cipher.h"
#include "tests/ezconfig_wizard/WizardFixture.h"

namespace wiztest {
namespace {

class Configure : public WizardTest {
 protected:
  std::string mountPathColumn(const char* column, int id = 1) const {
    const auto rows = m_db.query(std::string("SELECT ") + column + " FROM MMMountPath WHERE MountPathId = ?", {id});
    return rows.empty() ? "<none>" : tkdb::textOf(rows[0][0]);
  }
  long long policyFlags() const { return m_db.scalar("SELECT flags FROM archGroup WHERE id = ?", {m_policy}); }
  long long copyColumn(const char* column) const {
    return m_db.scalar(std::string("SELECT ") + column + " FROM archGroupCopy WHERE id = ?", {copyOf(m_policy)});
  }
  long long agingColumn(const char* column) const {
    return m_db.scalar(std::string("SELECT ") + column + " FROM archAgingRule WHERE copyId = ?", {copyOf(m_policy)});
  }
};

// ---------------------------------------------------------------- case A

TEST_F(Configure, AnExistingLibraryGetsItsPathCredentialsAndEveryPolicyStep) {
  Fields f = existing();
  f.insert({{23, "/srv/disklib1/new"}, {27, "svc"}, {31, "pw one"}, {40, 2}});
  const Answer a = configure(f, 1, 1);
  ASSERT_TRUE(a.success) << a.xml;
  EXPECT_EQ(a.result, 0);
  ASSERT_EQ(a.libraries.size(), 1u);
  Fields shown = f;
  shown.erase(31);
  RecordValues expected;
  for (const auto& [tag, v] : shown) expected[tag] = v.isNumber ? std::to_string(v.number) : v.text;
  EXPECT_EQ(a.libraries[0], expected) << "the response is the request's record";

  EXPECT_EQ(mountPathColumn("MountPathName"), "/srv/disklib1/new");
  EXPECT_EQ(mountPathColumn("UserName"), "svc");
  EXPECT_EQ(mountPathColumn("UserPassword"), tkcipher::encrypt("pw one"));
  EXPECT_EQ(policyFlags(), 0x220);
  ASSERT_EQ(count("archTask"), 1);
  EXPECT_EQ(count("archTask", "type = 0 AND flags = 0 AND active = 0 AND periodType = 0 AND numPeriod = 0 AND "
                              "dayNumber = 0 AND dataSizeGB = 0 AND percentCorruptLimit = 0"),
            1);
  EXPECT_EQ(copyColumn("dedupeFlags"), 0xC0000);
  EXPECT_EQ(copyColumn("sealStoreTaskId"), m_db.scalar("SELECT id FROM archTask"));
  EXPECT_EQ(agingColumn("retentionDays"), 14);
  EXPECT_EQ(agingColumn("retentionCycles"), 1);
  EXPECT_EQ(agingColumn("flags"), 8);
  EXPECT_EQ(m_db.scalar("SELECT ThresholdPercentage FROM MMLibrary WHERE LibraryId = ?", {kDiskLib}), 80);
  const auto aging = testkit::archivemgr::journal().calls("SetAgingRuleAndThreshold");
  ASSERT_EQ(aging.size(), 1u);
  EXPECT_EQ(aging[0].args, (std::vector<std::string>{std::to_string(m_policy), "14", "1", "8", "2", "80"}));

  // Without a password the stored one stays; the user name still changes.
  f.erase(31);
  f.at(27) = Value("svc2");
  ASSERT_TRUE(configure(f, 1, 1).success);
  EXPECT_EQ(mountPathColumn("UserName"), "svc2");
  EXPECT_EQ(mountPathColumn("UserPassword"), tkcipher::encrypt("pw one"));
}

TEST_F(Configure, WithoutTheUpdateFlagNoCredentialChangesButThePolicyIsSetUp) {
  Fields f = existing();
  f.insert({{23, "/elsewhere"}, {27, "nobody"}, {31, "secret"}});
  f.at(32) = Value(0);
  ASSERT_TRUE(configure(f, 0, 0).success);
  EXPECT_EQ(mountPathColumn("MountPathName"), "/srv/disklib1/mp1");
  EXPECT_EQ(mountPathColumn("UserName"), "");
  EXPECT_EQ(policyFlags(), 0xA0);
  EXPECT_EQ(count("archTask"), 0) << "no deduplication asked for";
  EXPECT_EQ(copyColumn("dedupeFlags"), 0);
  EXPECT_EQ(agingColumn("flags"), 0);
}

TEST_F(Configure, ThePolicyOptionSelectsTheFlags) {
  const struct {
    long long option;
    long long flags;
  } cases[] = {{-1, 0xA0}, {0, 0xA0}, {1, 0x220}, {7, 0x220}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.option);
    ASSERT_EQ(m_db.exec("UPDATE archGroup SET flags = 1"), 0);
    ASSERT_TRUE(configure(existing(), 0, c.option).success);
    EXPECT_EQ(policyFlags(), c.flags | 1) << "or-ed into the flags";
  }
}

// Each failing step of the policy answers with the policy's name; what the
// steps before it did stays.
TEST_F(Configure, AFailingPolicyStepAnswersWithThePolicyNameAndEarlierStepsStay) {
  const struct {
    const char* trigger;  // the table and change refused, or "" for the aging rule
    long long flags;
    long long tasks;
    long long dedupe;
  } cases[] = {
      {"UPDATE ON archGroup", 0, 0, 0},
      {"INSERT ON archTask", 0x220, 0, 0},
      {"UPDATE ON archGroupCopy", 0x220, 1, 0},
      {"", 0x220, 1, 0xC0000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.trigger);
    ASSERT_EQ(m_db.exec("UPDATE archGroup SET flags = 0; UPDATE archGroupCopy SET dedupeFlags = 0, "
                        "sealStoreTaskId = NULL; DELETE FROM archTask"),
              0);
    if (*c.trigger != '\0')
      ASSERT_EQ(m_db.exec(std::string("CREATE TRIGGER refuse BEFORE ") + c.trigger +
                          " BEGIN SELECT RAISE(ABORT, 'refused'); END"),
                0);
    else
      testkit::archivemgr::journal().injectFailure("SetAgingRuleAndThreshold", 1, "refused");
    Fields f = existing();
    f.insert({{40, 1}});
    expectRefused(configure(f, 0, 1), tktest::catalogueText(0x4100000E, "SP_DiskLib1"));
    EXPECT_EQ(policyFlags(), c.flags);
    EXPECT_EQ(count("archTask"), c.tasks);
    EXPECT_EQ(copyColumn("dedupeFlags"), c.dedupe);
    EXPECT_EQ(agingColumn("retentionDays"), ArchiveManagerTK::kDefaultRetentionDays);
    ASSERT_EQ(m_db.exec("DROP TRIGGER IF EXISTS refuse"), 0);
  }
}

// ---------------------------------------------------------------- refusals before any change

TEST_F(Configure, WhatCannotBeTakenWholeIsRefusedBeforeAnyChange) {
  const std::string unreadable = tktest::catalogueText(0x23000452);
  const std::string agentUnknown = tktest::catalogueText(0x23000019);
  const std::string tapeHandle = std::to_string(m_config->GetHandle(m_config->GetLmsList().GetFirstNode()));
  struct Case {
    const char* name;
    Fields fields;
    std::string text;
  };
  Fields longPath = existing();
  longPath.insert({{23, std::string(4096, 'p')}});
  Fields longUser = existing();
  longUser.insert({{27, std::string(5000, 'u')}});
  Fields userTooLong = existing();
  userTooLong.insert({{27, std::string(1025, 'u')}});
  Fields proxyTooLong = existing();
  proxyTooLong.insert({{27, "wu!!p@h:" + std::string(508, 'x')}});
  Fields nulPath = existing();
  nulPath.insert({{23, std::string("/srv/a\0/b", 9)}});
  Fields badPassword = existing();
  badPassword.insert({{23, "/srv/bad-password"}});
  const Case cases[] = {
      {"a path longer than the wizard takes", longPath, "The mount path is longer than 4095 bytes."},
      {"a user name longer than the wizard takes", longUser, "The user name is longer than 4095 bytes."},
      {"a user name longer than a mount path holds", userTooLong, "The user name is longer than 1023 bytes."},
      {"a proxy password too long for the rest of its user name", proxyTooLong,
       "The proxy password of the user name is longer than 507 bytes."},
      {"a path holding a NUL", nulPath, "The mount path holds a NUL character."},
      {"a password that does not decrypt", badPassword, unreadable},
      {"a new library without media agent", {{23, "/srv/x"}}, agentUnknown},
      {"a new library without mount path", {{3, "ma1"}}, tktest::catalogueText(0x240002C0)},
      {"an unknown media agent", {{3, "ma9"}, {23, "/srv/x"}}, agentUnknown},
      {"a tape library's handle is no disk library", {{2, std::stoll(tapeHandle)}, {23, "/srv/x"}}, agentUnknown},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string xml = configureText(c.fields, 1, 1);
    // A password field whose bytes are no encrypted form.
    const std::string path = "s23=\"/srv/bad-password\"";
    const bool badPassword = xml.find(path) != std::string::npos;
    if (badPassword) xml.insert(xml.find(path) + path.size(), " b31=\"not-encrypted\"");
    testkit::external::journal().reset();
    const long long libraries = count("MMLibrary");
    const Answer a = call(kConfigureId, xml);
    expectRefused(a, c.text);
    if (badPassword) {
      EXPECT_EQ(testkit::external::journal().calls("decryptAndPrepForStorage").at(0).args,
                (std::vector<std::string>{"1", "13", "0"}));
    }
    EXPECT_EQ(count("MMLibrary"), libraries);
    EXPECT_EQ(mountPathColumn("MountPathName"), "/srv/disklib1/mp1");
    EXPECT_EQ(policyFlags(), 0);
    EXPECT_EQ(m_config->GetMagLibList().GetListCount(), 1);
  }
}

// ---------------------------------------------------------------- case B: saving the new library

TEST_F(Configure, ARefusedSaveAnswersItsTextAndLeavesNoLibrary) {
  const struct {
    unsigned code;
    std::string text;
  } cases[] = {{288, tktest::catalogueText(0x24000176)},
               {264, tktest::catalogueText(0x24000176)},
               {0x1F000005, "the disk is on fire"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    testkit::mac::journal().injectFailure("Configure", static_cast<int>(c.code), "the disk is on fire");
    expectRefused(configure({{3, "ma1"}, {23, "/srv/new"}}), c.text);
    EXPECT_EQ(count("MMLibrary"), 2);
    EXPECT_EQ(m_config->GetMagLibList().GetListCount(), 1) << "the new library is not kept";
  }
}

}  // namespace
}  // namespace wiztest
