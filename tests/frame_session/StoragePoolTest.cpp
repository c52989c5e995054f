// Sharing the media agents of a mount path into storage pools.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "tests/support/FrameSession.h"
#include "tests/support/TestDatabase.h"

namespace {

using Strings = std::vector<std::string>;

class StoragePool : public tktest::SessionTest {
 protected:
  // Scripts the archive manager's answer: the agents it added, by key.
  static void scriptAdded(const std::string& resultText, const ArchiveManagerTK::SharedMediaAgentMap& added) {
    testkit::archivemgr::ShareResult result;
    result.resultText = resultText;
    result.added = added;
    testkit::archivemgr::scriptShare(result);
  }
  // Shares the agents of mount path 21; the error references start as given.
  bool share(unsigned long userId = 17, const std::string& controllerInfo = "") {
    return EvMMConfigMgr::AddMediaAgentToStoragePool(21, 0x0409, userId, m_code, m_error, controllerInfo);
  }
  // The one audit record written.
  static testkit::audit::Record onlyRecord() {
    const auto records = testkit::audit::records();
    EXPECT_EQ(records.size(), 1u);
    return records.empty() ? testkit::audit::Record{} : records[0];
  }

  // Display names are read from the client rows of this database.
  tktest::TestDatabase m_db;
  int m_code = -5;
  std::string m_error = "untouched";
};

TEST_F(StoragePool, PassesItsArgumentsToTheArchiveManagerAndLeavesTheErrorAloneOnSuccess) {
  const std::string controllerInfo = "<ControllerInfo>\n<Controller id=\"4\"/>\n</ControllerInfo>\n";
  EXPECT_TRUE(share(17, controllerInfo));
  const auto calls = testkit::archivemgr::shareCalls();
  ASSERT_EQ(calls.size(), 1u);
  const auto& c = calls[0];
  EXPECT_EQ(std::tie(c.first, c.second, c.mountPathId, c.name, c.locale, c.userId, c.flag, c.hadTransaction,
                     c.controllerInfo, c.last),
            std::make_tuple(0, 0, 21, std::string(), 0x0409ul, 17ul, false, false, controllerInfo, 0));
  EXPECT_EQ(m_code, -5);
  EXPECT_EQ(m_error, "untouched");
}

TEST_F(StoragePool, NothingAddedStillWritesAnEmptyRecord) {
  scriptAdded("nothing to share", {});
  EXPECT_TRUE(share());
  const auto r = onlyRecord();
  EXPECT_EQ(std::tie(r.operationId, r.userId, r.flags, r.inTransaction), std::make_tuple(0, 0, 0, false));
  EXPECT_TRUE(r.params.empty());
  EXPECT_EQ(testkit::audit::journal().count("setGUIAuditOperation"), 0u);
}

TEST_F(StoragePool, EveryAddedAgentIsAnAuditParameterInKeyAndListOrder) {
  testkit::client::setDisplayName(2, "ma1 (media agent)");
  testkit::client::setDisplayName(3, "ma2 (media agent)");
  testkit::client::setDisplayName(4, "ma3");
  // Inserted out of key order: the map orders them.
  scriptAdded("shared", {{9, {{4, "SP_Silver/Primary"}, {2, "SP_Silver/Primary"}}},
                         {7, {{3, "SP_Gold/Primary"}, {2, "SP_Gold/Primary"}}}});
  EXPECT_TRUE(share());
  const auto record = onlyRecord();
  EXPECT_EQ(record.operationId, 0x540001EF);
  EXPECT_EQ(record.userId, 17);
  const std::vector<Strings> expected = {
      {"ma2 (media agent)", "SP_Gold/Primary", "shared"},
      {"ma1 (media agent)", "SP_Gold/Primary", "shared"},
      {"ma3", "SP_Silver/Primary", "shared"},
      {"ma1 (media agent)", "SP_Silver/Primary", "shared"},
  };
  ASSERT_EQ(record.params.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(i);
    const auto& p = record.params[i];
    EXPECT_EQ(p.messageId, 0x5500056F);
    EXPECT_EQ(p.arguments, expected[i]) << "three text arguments, the earlier ones dropped";
    EXPECT_EQ(p.value1, 0);
    EXPECT_EQ(p.value2, 0);
  }
  // One display-name lookup per agent, by its client id.
  const auto lookups = testkit::client::journal().calls("getDisplayName");
  ASSERT_EQ(lookups.size(), 4u);
  EXPECT_EQ(lookups[0].args[0], "3");
  EXPECT_EQ(lookups[3].args[0], "2");
}

TEST_F(StoragePool, AFailedNameLookupLeavesTheNameEmpty) {
  testkit::client::setDisplayName(2, "ma1");
  scriptAdded("r", {{1, {{2, "pool"}, {99, "pool"}, {-1, "pool"}}}});
  testkit::client::journal().injectFailure("getDisplayName", 55, "lookup failed");
  EXPECT_TRUE(share());
  const auto record = onlyRecord();
  // A scripted failure, an unknown client, a negative id.
  ASSERT_EQ(record.params.size(), 3u);
  for (const auto& p : record.params) EXPECT_EQ(p.arguments, (Strings{"", "pool", "r"}));
  // A negative client id is widened with its sign.
  const auto lookups = testkit::client::journal().calls("getDisplayName");
  ASSERT_EQ(lookups.size(), 3u);
  EXPECT_EQ(lookups[2].args[0], std::to_string(static_cast<unsigned long>(-1L)));
}

TEST_F(StoragePool, AFailureReturnsTheArchiveManagersErrorAndWritesNoRecord) {
  testkit::archivemgr::failNextShare(0x23001234, "The mount path is not used by any storage pool.");
  EXPECT_FALSE(share());
  EXPECT_EQ(m_code, 0x23001234);
  EXPECT_EQ(m_error, "The mount path is not used by any storage pool.");
  EXPECT_TRUE(testkit::audit::records().empty());
  EXPECT_EQ(testkit::audit::journal().count("guiAudit"), 0u);
  EXPECT_EQ(testkit::client::journal().count("getDisplayName"), 0u);
}

TEST_F(StoragePool, TheAuditUserIsTheLow32BitsOfTheUserIdAndAFailedAuditWriteIsNotReported) {
  scriptAdded("", {{1, {{2, "pool"}}}});
  EXPECT_TRUE(share(0x500000005ul));
  EXPECT_EQ(onlyRecord().userId, 5);
  EXPECT_EQ(testkit::archivemgr::shareCalls().at(0).userId, 0x500000005ul) << "the archive manager gets all of it";

  scriptAdded("", {{1, {{2, "pool"}}}});
  testkit::audit::journal().injectFailure("guiAudit", 9, "audit table full");
  EXPECT_TRUE(share());
  EXPECT_EQ(testkit::audit::journal().count("guiAudit"), 2u);
  EXPECT_EQ(m_code, -5);
  EXPECT_EQ(m_error, "untouched");
}

}  // namespace
