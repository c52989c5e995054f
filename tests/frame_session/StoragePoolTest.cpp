// Sharing the media agents of a mount path into storage pools.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frame/EvMMConfigMgr.h"
#include "platform/testkit/archivemgr.h"
#include "platform/testkit/audit.h"
#include "platform/testkit/client.h"
#include "tests/frame_session/SessionFixture.h"

namespace {

using Strings = std::vector<std::string>;

class StoragePool : public sessiontest::SessionTest {};

TEST_F(StoragePool, PassesItsArgumentsToTheArchiveManager) {
  int code = -5;
  std::string error = "untouched";
  const std::string controllerInfo = "<ControllerInfo>\n<Controller id=\"4\"/>\n</ControllerInfo>\n";
  EXPECT_TRUE(EvMMConfigMgr::AddMediaAgentToStoragePool(21, 0x0409, 17, code, error, controllerInfo));
  const auto calls = testkit::archivemgr::shareCalls();
  ASSERT_EQ(calls.size(), 1u);
  const auto& call = calls[0];
  EXPECT_EQ(call.first, 0);
  EXPECT_EQ(call.second, 0);
  EXPECT_EQ(call.mountPathId, 21);
  EXPECT_EQ(call.name, "");
  EXPECT_EQ(call.locale, 0x0409u);
  EXPECT_EQ(call.userId, 17u);
  EXPECT_FALSE(call.flag);
  EXPECT_FALSE(call.hadTransaction);
  EXPECT_EQ(call.controllerInfo, controllerInfo);
  EXPECT_EQ(call.last, 0);
  EXPECT_EQ(code, -5) << "a success leaves the error references alone";
  EXPECT_EQ(error, "untouched");
}

TEST_F(StoragePool, NothingAddedStillWritesAnEmptyRecord) {
  testkit::archivemgr::ShareResult result;
  result.resultText = "nothing to share";
  testkit::archivemgr::scriptShare(result);
  int code = 0;
  std::string error;
  EXPECT_TRUE(EvMMConfigMgr::AddMediaAgentToStoragePool(21, 0, 17, code, error, ""));
  const auto records = testkit::audit::records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].operationId, 0);
  EXPECT_EQ(records[0].userId, 0);
  EXPECT_TRUE(records[0].params.empty());
  EXPECT_EQ(records[0].flags, 0);
  EXPECT_FALSE(records[0].inTransaction);
  EXPECT_EQ(testkit::audit::journal().count("setGUIAuditOperation"), 0u);
}

TEST_F(StoragePool, EveryAddedAgentIsAnAuditParameterInKeyAndListOrder) {
  testkit::client::setDisplayName(2, "ma1 (media agent)");
  testkit::client::setDisplayName(3, "ma2 (media agent)");
  testkit::client::setDisplayName(4, "ma3");
  testkit::archivemgr::ShareResult result;
  result.resultText = "shared";
  // Inserted out of key order: the map orders them.
  result.added[9] = {{4, "SP_Silver/Primary"}, {2, "SP_Silver/Primary"}};
  result.added[7] = {{3, "SP_Gold/Primary"}, {2, "SP_Gold/Primary"}};
  testkit::archivemgr::scriptShare(result);

  int code = 0;
  std::string error;
  EXPECT_TRUE(EvMMConfigMgr::AddMediaAgentToStoragePool(21, 0, 17, code, error, ""));
  const auto records = testkit::audit::records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].operationId, 0x540001EF);
  EXPECT_EQ(records[0].userId, 17);
  ASSERT_EQ(records[0].params.size(), 4u);
  const std::vector<Strings> expected = {
      {"ma2 (media agent)", "SP_Gold/Primary", "shared"},
      {"ma1 (media agent)", "SP_Gold/Primary", "shared"},
      {"ma3", "SP_Silver/Primary", "shared"},
      {"ma1 (media agent)", "SP_Silver/Primary", "shared"},
  };
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(i);
    const auto& p = records[0].params[i];
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
  testkit::archivemgr::ShareResult result;
  result.resultText = "r";
  result.added[1] = {{2, "pool"}, {99, "pool"}, {-1, "pool"}};
  testkit::archivemgr::scriptShare(result);
  testkit::client::journal().injectFailure("getDisplayName", 55, "lookup failed");

  int code = 0;
  std::string error;
  EXPECT_TRUE(EvMMConfigMgr::AddMediaAgentToStoragePool(21, 0, 17, code, error, ""));
  const auto records = testkit::audit::records();
  ASSERT_EQ(records.size(), 1u);
  ASSERT_EQ(records[0].params.size(), 3u);
  EXPECT_EQ(records[0].params[0].arguments, (Strings{"", "pool", "r"})) << "scripted failure";
  EXPECT_EQ(records[0].params[1].arguments, (Strings{"", "pool", "r"})) << "unknown client";
  EXPECT_EQ(records[0].params[2].arguments, (Strings{"", "pool", "r"}));
  // A negative client id is widened with its sign.
  const auto lookups = testkit::client::journal().calls("getDisplayName");
  ASSERT_EQ(lookups.size(), 3u);
  EXPECT_EQ(lookups[2].args[0], std::to_string(static_cast<unsigned long>(-1L)));
}

TEST_F(StoragePool, AFailureReturnsTheArchiveManagersErrorAndWritesNoRecord) {
  testkit::archivemgr::failNextShare(0x23001234, "The mount path is not used by any storage pool.");
  int code = 0;
  std::string error;
  EXPECT_FALSE(EvMMConfigMgr::AddMediaAgentToStoragePool(21, 0, 17, code, error, ""));
  EXPECT_EQ(code, 0x23001234);
  EXPECT_EQ(error, "The mount path is not used by any storage pool.");
  EXPECT_TRUE(testkit::audit::records().empty());
  EXPECT_EQ(testkit::audit::journal().count("guiAudit"), 0u);
  EXPECT_EQ(testkit::client::journal().count("getDisplayName"), 0u);
}

TEST_F(StoragePool, TheAuditUserIsTheLow32BitsOfTheUserId) {
  testkit::archivemgr::ShareResult result;
  result.added[1] = {{2, "pool"}};
  testkit::archivemgr::scriptShare(result);
  int code = 0;
  std::string error;
  EXPECT_TRUE(EvMMConfigMgr::AddMediaAgentToStoragePool(21, 0, 0x500000005ul, code, error, ""));
  const auto records = testkit::audit::records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].userId, 5);
  EXPECT_EQ(testkit::archivemgr::shareCalls().at(0).userId, 0x500000005ul) << "the archive manager gets all of it";
}

TEST_F(StoragePool, AFailedAuditWriteIsNotReported) {
  testkit::archivemgr::ShareResult result;
  result.added[1] = {{2, "pool"}};
  testkit::archivemgr::scriptShare(result);
  testkit::audit::journal().injectFailure("guiAudit", 9, "audit table full");
  int code = 0;
  std::string error;
  EXPECT_TRUE(EvMMConfigMgr::AddMediaAgentToStoragePool(21, 0, 17, code, error, ""));
  EXPECT_EQ(testkit::audit::journal().count("guiAudit"), 1u);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(error, "");
}

}  // namespace
