// The audit pass of the device-path request, read back from the audit
// table: one record per accepted entry in request order, share records for
// adding and removing, change records held against each change's own
// previous values.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/ezconfig_devicepath/DevicePathFixture.h"

namespace {

using namespace dptest;

class AuditPass : public DevicePathTest {};

TEST_F(AuditPass, OperationsOneTwoThreeAndAnUnknownOneEachWriteTheirRecordInRequestOrder) {
  const std::vector<EVGui::MMDevicePathInfo> entries = {
      devicePath({.clientId = 13, .folder = "/new13", .access = 4, .operation = 1, .credentialId = 3,
                  .credentialName = "cred3"}),
      devicePath({.controllerId = 501, .clientId = 11, .folder = "/moved", .access = 10, .operation = 2, .drives = 1200,
                  .credentialId = 4, .credentialName = "cred4"}),
      devicePath({.controllerId = 502, .clientId = 12, .access = 16, .operation = 3}),
      devicePath({.clientId = 12, .folder = "/x", .operation = 7}),
  };
  const std::vector<EVGui::MMDevicePathInfo> previous = {
      devicePath({.clientId = 11, .folder = "/direct70", .access = 2, .drives = 5}),
  };
  pass(entries, previous);

  const auto records = testkit::audit::records();
  ASSERT_EQ(4u, records.size());
  for (const auto& r : records) {
    EXPECT_EQ(ZqEntities::ENTITY_MOUNT_PATH, r.entityType);
    EXPECT_EQ(kMountPath, r.entityId);
  }
  EXPECT_EQ(kOpShare, records[0].operationId);
  EXPECT_EQ(int(kUser), records[0].userId);
  EXPECT_EQ((std::vector<Param>{{kLibraryParam, {"disk-lib"}},
                                {kMountPathParam, {"mp-main"}},
                                {kAgentPathParam, {"[ma13] (/new13)"}},
                                {kCredentialParam, {"cred3"}}}),
            paramsOf(records[0]));

  EXPECT_EQ(kOpChange, records[1].operationId);
  EXPECT_EQ(int(kUser), records[1].userId);
  EXPECT_EQ((std::vector<Param>{{kLibraryParam, {"disk-lib"}},
                                {kDevicePathParam, {"dev70", "ma11", "/direct70"}},
                                {kFolderParam, {"/direct70", "/moved"}},
                                {kAccessParam, {"Read/Write", "Preferred Read/Write"}},
                                {kDrivesToUnlimited, {"5"}},
                                {kCredentialChange, {"", "cred4"}}}),
            paramsOf(records[1]));

  EXPECT_EQ(kOpUnshare, records[2].operationId);
  EXPECT_EQ((std::vector<Param>{{kLibraryParam, {"disk-lib"}},
                                {kMountPathParam, {"mp-main"}},
                                {kAgentPathParam, {"[ma12] (DataServer-IP)"}}}),
            paramsOf(records[2]));

  EXPECT_EQ(0, records[3].operationId);  // unknown operation: the entity only
  EXPECT_TRUE(records[3].params.empty());
}

TEST_F(AuditPass, AnAddWithoutACredentialIdNamesNoCredential) {
  pass({devicePath({.clientId = 13, .folder = "/f", .access = 4, .operation = 1, .credentialId = 0,
                    .credentialName = "ignored"})},
       {});
  const auto records = testkit::audit::records();
  ASSERT_EQ(1u, records.size());
  EXPECT_EQ(3u, records[0].params.size());
}

TEST_F(AuditPass, EveryKindOfChangeHasItsOwnParameter) {
  struct Case {
    const char* what;
    Path before;
    Path after;
    std::vector<Param> changes;  // after library and device path
  };
  const Path base{.controllerId = 501, .clientId = 11, .folder = "/direct70", .access = 2, .operation = 2, .drives = 5,
                  .credentialId = 4, .credentialName = "c4"};
  auto with = [&](auto change) {
    Path p = base;
    change(p);
    return p;
  };
  const std::vector<Case> kCases = {
      {"nothing", base, base, {}},
      {"folder letter case", base, with([](Path& p) { p.folder = "/DIRECT70"; }),
       {{kFolderParam, {"/direct70", "/DIRECT70"}}}},
      {"access type", base, with([](Path& p) { p.access = 4; }), {{kAccessParam, {"Read/Write", "Read Only"}}}},
      {"access type to unknown", base, with([](Path& p) { p.access = 16; }), {{kAccessParam, {"Read/Write", "Unknown"}}}},
      {"drives 5 to 1,200", base, with([](Path& p) { p.drives = 1200; }), {{kDrivesToUnlimited, {"5"}}}},
      {"drives 1,200 to 5", with([](Path& p) { p.drives = 1200; }), base, {{kDrivesFromUnlimited, {"5"}}}},
      {"drives 5 to 999", base, with([](Path& p) { p.drives = 999; }), {{kDrives, {"5", "999"}}}},
      {"drives 1,000 to 1,500", with([](Path& p) { p.drives = 1000; }), with([](Path& p) { p.drives = 1500; }), {}},
      {"credential", base, with([](Path& p) { p.credentialId = 9; p.credentialName = "c9"; }),
       {{kCredentialChange, {"c4", "c9"}}}},
      {"credential dropped", base, with([](Path& p) { p.credentialId = 0; p.credentialName = nullptr; }),
       {{kCredentialChange, {"c4", ""}}}},
      {"credential id equal in 32 bits", base, with([](Path& p) { p.credentialId = (1LL << 32) + 4; }), {}},
      {"everything", base,
       with([](Path& p) {
         p.folder = "/x";
         p.access = 12;
         p.drives = 6;
         p.credentialId = 1;
         p.credentialName = "c1";
       }),
       {{kFolderParam, {"/direct70", "/x"}},
        {kAccessParam, {"Read/Write", "Preferred Read Only"}},
        {kDrives, {"5", "6"}},
        {kCredentialChange, {"c4", "c1"}}}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    testkit::audit::reset();
    pass({devicePath(c.after)}, {devicePath(c.before)});
    const auto records = testkit::audit::records();
    ASSERT_EQ(1u, records.size());
    std::vector<Param> expected = {{kLibraryParam, {"disk-lib"}},
                                   {kDevicePathParam, {"dev70", "ma11", c.before.folder}}};
    expected.insert(expected.end(), c.changes.begin(), c.changes.end());
    EXPECT_EQ(expected, paramsOf(records[0]));
  }
}

// Previous values come one per change entry, accepted or not; the cursor
// moves over change entries only, and refused entries get no record.
TEST_F(AuditPass, TheCursorMovesOverChangeEntriesOnlyAndRefusedEntriesAreNotAudited) {
  const std::vector<EVGui::MMDevicePathInfo> entries = {
      devicePath({.controllerId = 502, .clientId = 12, .folder = "/refused", .access = 2, .operation = 2}),
      devicePath({.clientId = 13, .folder = "/added", .access = 4, .operation = 1}),
      devicePath({.controllerId = 502, .clientId = 12, .operation = 3, .credentialId = 0}),
      devicePath({.controllerId = 501, .clientId = 11, .folder = "/second", .access = 2, .operation = 2}),
  };
  const std::vector<EVGui::MMDevicePathInfo> previous = {
      devicePath({.folder = "/prev-of-refused", .access = 2}),
      devicePath({.folder = "/prev-of-second", .access = 2}),
  };
  pass(entries, previous, {0, 2});
  const auto records = testkit::audit::records();
  ASSERT_EQ(2u, records.size());
  EXPECT_EQ(kOpShare, records[0].operationId);
  EXPECT_EQ(kOpChange, records[1].operationId);
  EXPECT_EQ((std::vector<Param>{{kLibraryParam, {"disk-lib"}},
                                {kDevicePathParam, {"dev70", "ma11", "/prev-of-second"}},
                                {kFolderParam, {"/prev-of-second", "/second"}}}),
            paramsOf(records[1]));
}

TEST_F(AuditPass, TheDataServerPathStandsInForAnEmptyOldFolderElseTheNotAvailableText) {
  // Controller 502 is served through a data server: its path is that of the
  // direct path 501 to the same device.
  pass({devicePath({.controllerId = 502, .clientId = 12, .folder = "", .access = 16, .operation = 2})},
       {devicePath({.folder = "", .access = 16})});
  auto records = testkit::audit::records();
  ASSERT_EQ(1u, records.size());
  EXPECT_EQ((Param{kDevicePathParam, {"dev70", "ma12", "/direct70"}}), paramsOf(records[0]).at(1));
  EXPECT_EQ(2u, records[0].params.size());

  // A direct path without a folder has no data-server path.
  testkit::audit::reset();
  pass({devicePath({.controllerId = 501, .clientId = 11, .folder = "", .access = 2, .operation = 2})},
       {devicePath({.folder = "", .access = 2})});
  records = testkit::audit::records();
  ASSERT_EQ(1u, records.size());
  EXPECT_EQ((Param{kDevicePathParam, {"dev70", "ma11", "Not Available"}}), paramsOf(records[0]).at(1));
}

// A failed data-server path lookup does not stop the pass: the record is
// written with the text of 0x230006AE, and the entries after it are audited.
TEST_F(AuditPass, AFailedDataServerPathLookupIsLoggedAndTheRecordStillWritten) {
  testkit::debuglog::Capture log;
  testkit::db::failProcedure("MMGetDataServerPath", 205, "disk I/O");
  pass({devicePath({.controllerId = 502, .clientId = 12, .folder = "", .access = 16, .operation = 2}),
        devicePath({.controllerId = 502, .clientId = 12, .access = 16, .operation = 3})},
       {devicePath({.folder = "", .access = 16})});
  testkit::db::clearProcedureOverrides();
  const auto records = testkit::audit::records();
  ASSERT_EQ(2u, records.size());
  EXPECT_EQ((Param{kDevicePathParam, {"dev70", "ma12", "Not Available"}}), paramsOf(records[0]).at(1));
  EXPECT_EQ(kOpUnshare, records[1].operationId);
  EXPECT_TRUE(log.contains("EvMMConfigMgr::auditDevicePathChanges",
                           "DB query to get the data server path information for device controller id [502] failed "
                           "with error code [205]"));
}

TEST_F(AuditPass, AMissingDeviceRowOnlyEmptiesTheDeviceName) {
  testkit::debuglog::Capture log;
  pass({devicePath({.deviceId = 4242, .controllerId = 501, .clientId = 11, .folder = "/direct70", .access = 2,
                    .operation = 2})},
       {devicePath({.folder = "/direct70", .access = 2})});
  const auto records = testkit::audit::records();
  ASSERT_EQ(1u, records.size());
  EXPECT_EQ((Param{kDevicePathParam, {"", "ma11", "/direct70"}}), paramsOf(records[0]).at(1));
  EXPECT_TRUE(log.contains("EvMMConfigMgr::auditDevicePathChanges", "Failed to get deviceInfo from DB for deviceId[4242]"));
}

TEST_F(AuditPass, AChangeWithoutPreviousValuesIsAuditedWithWhatItNames) {
  pass({devicePath({.controllerId = 501, .clientId = 11, .folder = "/direct70", .access = 2, .operation = 2})}, {});
  const auto records = testkit::audit::records();
  ASSERT_EQ(1u, records.size());
  EXPECT_EQ((std::vector<Param>{{kLibraryParam, {"disk-lib"}}, {kDevicePathParam, {"dev70", "ma11", "Not Available"}}}),
            paramsOf(records[0]));
}

TEST_F(AuditPass, AFailedWriteLosesThatRecordOnly) {
  testkit::audit::journal().injectFailure("guiAudit", -1, "audit store down");
  pass({devicePath({.clientId = 13, .folder = "/a", .access = 4, .operation = 1}),
        devicePath({.controllerId = 502, .clientId = 12, .access = 16, .operation = 3})},
       {});
  const auto records = testkit::audit::records();
  ASSERT_EQ(1u, records.size());
  EXPECT_EQ(kOpUnshare, records[0].operationId);
}

}  // namespace
