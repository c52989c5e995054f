// The audit records of adding and deleting mount paths: the operation, the
// user, the entity and each parameter with only its own arguments.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "frame/EvMMConfigMgr.h"
#include "platform/testkit/audit.h"
#include "tests/support/TestDatabase.h"

namespace {

using Param = testkit::audit::Param;

struct Expected {
  int messageId;
  std::vector<std::string> arguments;
};

void expectParams(const testkit::audit::Record& record, const std::vector<Expected>& expected) {
  ASSERT_EQ(record.params.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(record.params[i].messageId, expected[i].messageId);
    EXPECT_EQ(record.params[i].arguments, expected[i].arguments);
  }
}

class MountPathAudit : public ::testing::Test {
 protected:
  void SetUp() override { testkit::audit::reset(); }
  void TearDown() override { testkit::audit::reset(); }
  tktest::TestDatabase m_db;
};

TEST_F(MountPathAudit, AnAddedMountPathIsAuditedWithItsMediaAgentInBrackets) {
  std::string mountPath = "/data/mp1";
  EvMMConfigMgr::auditMountPathAdd(7, "disklib", mountPath, "ma2", nullptr);
  EXPECT_EQ(mountPath, "[ma2] /data/mp1");
  const auto records = testkit::audit::records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].operationId, 0x5400006E);
  EXPECT_EQ(records[0].userId, 7);
  EXPECT_EQ(records[0].entityType, 0);
  expectParams(records[0], {{0x550000BF, {"disklib"}}, {0x550000C4, {"[ma2] /data/mp1"}}});
}

TEST_F(MountPathAudit, ACredentialNameAddsAThirdParameter) {
  std::string mountPath = "/data/mp1";
  EvMMConfigMgr::auditMountPathAdd(7, "disklib", mountPath, "ma2", "cloud-key");
  const auto records = testkit::audit::records();
  ASSERT_EQ(records.size(), 1u);
  expectParams(records[0],
               {{0x550000BF, {"disklib"}}, {0x550000C4, {"[ma2] /data/mp1"}}, {0x550006DB, {"cloud-key"}}});
}

TEST_F(MountPathAudit, ADeletionListsTheMountPathsInIdOrderAndTheForcedLevel) {
  struct Case {
    const char* name;
    std::map<int, std::string> mountPaths;
    HardDeleteLevel level;
    bool force;
    std::vector<Expected> params;
  };
  const std::vector<Case> cases = {
      {"two paths, not forced", {{9, "/b"}, {3, "/a"}}, kHardDeleteMountPath, false,
       {{0x550000BF, {"disklib"}}, {0x550000C4, {"/a"}}, {0x550000C4, {"/b"}}}},
      {"empty map", {}, kHardDeleteMountPath, false, {{0x550000BF, {"disklib"}}}},
      {"forced mount path", {{3, "/a"}}, kHardDeleteMountPath, true,
       {{0x550000BF, {"disklib"}}, {0x550000C4, {"/a"}}, {0x550006F8, {}}}},
      {"forced library, empty map", {}, kHardDeleteLibrary, true, {{0x550000BF, {"disklib"}}, {0x55000723, {}}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testkit::audit::reset();
    EvMMConfigMgr::auditMountPathDel(8, 5, "disklib", c.mountPaths, c.level, c.force);
    const auto records = testkit::audit::records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].operationId, 0x5400006F);
    EXPECT_EQ(records[0].userId, 8);
    EXPECT_EQ(records[0].entityType, 9);
    EXPECT_EQ(records[0].entityId, 5);
    expectParams(records[0], c.params);
  }
}

}  // namespace
