// The record of sharing or unsharing a mount path with a media agent: its
// operation and parameters in order, filled but not written, with the
// caller's entity left as it was.
#include <gtest/gtest.h>

#include <string>

#include "frame/EvGuiAudit.h"
#include "tests/ezconfig_devicepath/DevicePathFixture.h"

namespace {

using namespace dptest;

class ShareAudit : public DevicePathTest {
 protected:
  // Builds the record over an entity the caller set, writes it and reads it back.
  testkit::audit::Record build(int shareType, int access, std::string& path, const char* credential,
                               int mountPath = kMountPath) {
    EvGuiAudit audit(nullptr);
    audit.SetEntityParam(ZqEntities::ENTITY_LIBRARY, kLibrary);
    EvMMConfigMgr::buildAuditForMPShare(shareType, access, kUser, audit, "disk-lib", path, 11, mountPath, kLocale,
                                        credential);
    EXPECT_TRUE(testkit::audit::records().empty()) << "the builder wrote the record";
    EXPECT_EQ(ZqEntities::ENTITY_LIBRARY, audit.entityType());
    EXPECT_EQ(kLibrary, audit.entityId());
    EXPECT_EQ(0, audit.guiAudit(0));
    const auto records = testkit::audit::records();
    EXPECT_EQ(1u, records.size());
    return records.empty() ? testkit::audit::Record{} : records.back();
  }
};

// A share (1) or an unshare (3) names library, mount path, agent with path
// and the credential if one is named; another type sets no operation. The
// caller's path and entity stay as they were.
TEST_F(ShareAudit, SharesAndUnsharesNameLibraryMountPathAgentWithPathAndCredential) {
  const struct {
    int shareType;
    int access;
    const char* path;
    const char* credential;
    int operationId;
    const char* agentPath;
  } cases[] = {
      {1, 4, "/mnt/a", "vault-cred", kOpShare, "[ma11] (/mnt/a)"},
      {1, 2, "C:\\mp1", nullptr, kOpShare, "[ma11] (C:\\mp1)"},
      {3, 4, "", nullptr, kOpUnshare, "[ma11] ()"},
      {2, 4, "/p", nullptr, 0, "[ma11] (/p)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.shareType);
    testkit::audit::reset();
    std::string path = c.path;
    const auto record = build(c.shareType, c.access, path, c.credential);
    EXPECT_EQ(c.operationId, record.operationId);
    if (c.operationId != 0) {
      EXPECT_EQ(int(kUser), record.userId);
    }
    EXPECT_EQ(ZqEntities::ENTITY_LIBRARY, record.entityType);
    EXPECT_EQ(kLibrary, record.entityId);
    std::vector<Param> params = {
        {kLibraryParam, {"disk-lib"}}, {kMountPathParam, {"mp-main"}}, {kAgentPathParam, {c.agentPath}}};
    if (c.credential != nullptr) params.push_back({kCredentialParam, {c.credential}});
    EXPECT_EQ(params, paramsOf(record));
    EXPECT_EQ(c.path, path);
  }
}

TEST_F(ShareAudit, AMissingMountPathRowGivesAnEmptyNameAndADebugLine) {
  testkit::debuglog::Capture log;
  std::string path = "/p";
  const auto record = build(1, 4, path, nullptr, 999);
  EXPECT_EQ((Param{kMountPathParam, {""}}), paramsOf(record).at(1));
  EXPECT_TRUE(log.contains("EvMMConfigMgr::buildAuditForMPShare", "Failed to get mount path info for Mount Path Id [999]."));
}

TEST_F(ShareAudit, AFailedMountPathQueryOrAgentLookupOnlyEmptiesTheirNames) {
  testkit::db::journal().injectFailure("getOneRow", 204, "locked");
  testkit::client::journal().injectFailure("getDisplayName", 5, "unknown");
  std::string path = "/p";
  const auto record = build(1, 4, path, nullptr);
  EXPECT_EQ((std::vector<Param>{{kLibraryParam, {"disk-lib"}}, {kMountPathParam, {""}}, {kAgentPathParam, {"[] (/p)"}}}),
            paramsOf(record));
}

TEST_F(ShareAudit, ADataServerTypeTextReplacesTheFolder) {
  std::string path = "/served";
  const auto record = build(1, 32 | 4, path, nullptr);
  EXPECT_EQ("DataServer-SAN", path);
  EXPECT_EQ((Param{kAgentPathParam, {"[ma11] (DataServer-SAN)"}}), paramsOf(record).at(2));
}

TEST_F(ShareAudit, NamesAndPathsThatLookLikeFormatsAreRecordedVerbatim) {
  testkit::client::setDisplayName(11, "%s%n%x");
  std::string path = "%p%s";
  const auto record = build(1, 4, path, "%n");
  EXPECT_EQ((Param{kAgentPathParam, {"[%s%n%x] (%p%s)"}}), paramsOf(record).at(2));
  EXPECT_EQ((Param{kCredentialParam, {"%n"}}), paramsOf(record).at(3));
}

}  // namespace
