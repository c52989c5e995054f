// The device-path, data-server and transport procedures over seeded device
// paths, in both engine modes, and what the device-path request makes of
// their rows: transport pick, data-server validation (its 64-bit verdict),
// borrowed cloud credentials, the writer update without any output, the
// data-server path and the device-path list; texts longer than the
// request's fields are cut and stay terminated.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "Db/Proc/MMDataServerIPControllerValidation.h"
#include "Db/Proc/MMGetBestFitTransportTypeForGivenMountPath.h"
#include "Db/Proc/MMGetDataServerPath.h"
#include "Db/Proc/MMGetDeviceControllerForSharingCloud.h"
#include "Db/Proc/MMS2GetDevicePathsForMountPath.h"
#include "Db/Proc/MMUpdateWritersForSANDataServerConfiguredMountPath.h"
#include "platform/catalogue/Catalogue.h"
#include "platform/testkit/db.h"
#include "tests/db_procs2/Seed.h"
#include "tests/support/TestDatabase.h"

namespace {

using dbprocs2::Path;

class DevicePaths : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int id : {11, 12, 13, 14}) dbprocs2::addClient(db, id, "ma" + std::to_string(id));
    ASSERT_EQ(0, db.exec("UPDATE APP_Client SET displayName = 'Media Agent 12', servicePack = 7 WHERE id = 12"));
    dbprocs2::addMountPath(db, 100, 5, 50);
    dbprocs2::addMountPath(db, 101, 6, 51, "cloud1", 0, 7);
    dbprocs2::addMountPath(db, 102, 5, 50);
    dbprocs2::addMountPath(db, 103, 5, 53);
    dbprocs2::addMountPath(db, 104, 5, 54);
    dbprocs2::addMountPath(db, 105, 5, 55);
    dbprocs2::addPath(db, {501, 11, 50, 4, "/mnt/d50", "u11", "enc11"});
    dbprocs2::addPath(db, {502, 12, 50, 20, "", "", "", 1, 0});
    dbprocs2::addPath(db, {503, 13, 50, 6, "/mnt/d50b", "", "", 0});
    dbprocs2::addPath(db, {511, 11, 51, 4, "cloud/bucket", "akey", "encsecret"});
    dbprocs2::addCredential(db, 7, "cred7", 900);
    dbprocs2::addPath(db, {512, 14, 51, 4, "cloud/bucket2", "", "", 1, 1, 900});
    dbprocs2::addPath(db, {531, 13, 53, 4, "/mnt/d53", "", "", 0});
    dbprocs2::addPath(db, {541, 11, 54, 20, ""});
    dbprocs2::addPath(db, {551, 11, 55, 4, "/mnt/d55"});
    dbprocs2::addPath(db, {552, 12, 55, 36, ""});
  }
  std::string lastCheck() {
    std::vector<tkjournal::Call> c = testkit::db::journal().calls("valuesClauseCheck");
    return c.empty() ? std::string("(none)") : c.back().args.at(1);
  }
  tktest::TestDatabase db;
};

// --- transport pick ------------------------------------------------------------------

TEST_F(DevicePaths, BestFitTakesTheEnabledReachablePathsTransportFolderAndCredentials) {
  for (int mode : {1, 0}) {
    SCOPED_TRACE(mode);
    DBtable::b_newDBBase = mode;
    MMConfigDeviceControllerInfo record;
    record.deviceAccessType = 2;
    MMCopyText(record.userName, "typed-user");
    BestFitTransport pick = pickBestFitTransport(100, record);
    EXPECT_EQ(BestFit::Picked, pick.outcome);
    EXPECT_EQ(0, pick.result);
    EXPECT_EQ(4, pick.transportBits);
    EXPECT_EQ(6u, record.deviceAccessType);  // OR-ed in
    EXPECT_TRUE(pick.tookFolder);
    EXPECT_TRUE(pick.tookUserAndPassword);
    EXPECT_FALSE(pick.tookCredentialId);
    EXPECT_STREQ("/mnt/d50", record.folder);
    EXPECT_STREQ("u11", record.userName);
    EXPECT_STREQ("enc11", pick.encryptedPassword);  // the caller decrypts it into the entry
    EXPECT_STREQ("", record.password);
    EXPECT_EQ(0u, record.credentialId);
    if (mode == 0) {
      EXPECT_EQ("14", lastCheck());
    }
  }
}

TEST_F(DevicePaths, BestFitWithACredentialIdKeepsUserAndPassword) {
  // The only enabled path of the cloud device that reaches it carries a credential.
  ASSERT_EQ(0, db.exec("UPDATE MMDeviceController SET DeviceAccessible = 0 WHERE DeviceControllerId = 511"));
  MMConfigDeviceControllerInfo record;
  MMCopyText(record.userName, "typed-user");
  MMCopyText(record.password, "typed-secret");
  BestFitTransport pick = pickBestFitTransport(101, record);
  ASSERT_EQ(BestFit::Picked, pick.outcome);
  EXPECT_STREQ("cloud/bucket2", record.folder);
  EXPECT_TRUE(pick.tookCredentialId);
  EXPECT_FALSE(pick.tookUserAndPassword);
  EXPECT_EQ(7u, record.credentialId);
  EXPECT_STREQ("typed-user", record.userName);
  EXPECT_STREQ("typed-secret", record.password);
  EXPECT_STREQ("", pick.encryptedPassword);
}

TEST_F(DevicePaths, BestFitWithoutTransportOrFolderChangesNothing) {
  testkit::db::overrideProcedure("MMGetBestFitTransportTypeForGivenMountPath", {{0, "", "user", "pw", 0}});
  MMConfigDeviceControllerInfo record;
  record.deviceAccessType = 20;
  MMCopyText(record.folder, "/own");
  MMCopyText(record.userName, "own-user");
  BestFitTransport pick = pickBestFitTransport(100, record);
  EXPECT_EQ(BestFit::Picked, pick.outcome);
  EXPECT_EQ(0, pick.transportBits);
  EXPECT_FALSE(pick.tookFolder);
  EXPECT_EQ(20u, record.deviceAccessType);
  EXPECT_STREQ("/own", record.folder);
  EXPECT_STREQ("own-user", record.userName);
}

TEST_F(DevicePaths, BestFitWithoutEnabledPathOrOnAFailureTakesNothing) {
  MMConfigDeviceControllerInfo record;
  record.deviceAccessType = 2;
  BestFitTransport none = pickBestFitTransport(103, record);  // its only path is disabled
  EXPECT_EQ(BestFit::NothingToPick, none.outcome);
  EXPECT_EQ(100, none.result);
  EXPECT_EQ(2u, record.deviceAccessType);
  testkit::db::journal().injectFailure("getOneRow", 204, "locked");
  BestFitTransport failed = pickBestFitTransport(100, record);
  EXPECT_EQ(BestFit::Failed, failed.outcome);
  EXPECT_EQ(204, failed.result);
  EXPECT_EQ(2u, record.deviceAccessType);
  EXPECT_STREQ("", record.folder);
}

// Texts one character longer than the request's fields are cut to fit;
// the field after them is untouched and every text stays terminated.
TEST_F(DevicePaths, LongBestFitTextsAreCutToTheRecordsFields) {
  const std::string folder(1024, 'f');
  const std::string user(1024, 'u');
  const std::string password(2048, 'p');
  testkit::db::overrideProcedure("MMGetBestFitTransportTypeForGivenMountPath", {{8, folder, user, password, 0}});
  for (int mode : {1, 0}) {
    SCOPED_TRACE(mode);
    DBtable::b_newDBBase = mode;
    MMConfigDeviceControllerInfo record;
    record.reserved8 = 0xA5A5A5A5u;
    BestFitTransport pick = pickBestFitTransport(100, record);
    ASSERT_EQ(BestFit::Picked, pick.outcome);
    EXPECT_EQ(1023u, strnlen(record.folder, sizeof record.folder));
    EXPECT_EQ(std::string(1023, 'f'), record.folder);
    EXPECT_EQ(std::string(1023, 'u'), record.userName);
    EXPECT_EQ(2047u, strnlen(pick.encryptedPassword, sizeof pick.encryptedPassword));
    EXPECT_EQ(0xA5A5A5A5u, record.reserved8);
    EXPECT_EQ(8u, record.deviceAccessType);
  }
}

// --- data-server validation -----------------------------------------------------------

struct Verdict {
  const char* what;
  int operation;
  int mountPath;
  int client;
  int access;
  long long reason;
};

TEST_F(DevicePaths, ValidationRefusesWithTheReasonsCatalogueIdInBothModes) {
  const Verdict kCases[] = {
      {"served path of the same type beside a direct one", 1, 100, 14, 20, 0},
      {"the agent already has a path", 1, 100, 11, 20, kDataServerReasonPathExists},
      {"another data-server type", 1, 100, 14, 36, kDataServerReasonTypeMismatch},
      {"nothing reaches the storage directly", 1, 104, 14, 20, kDataServerReasonNoDirectPath},
      {"a direct path is not validated", 1, 100, 11, 4, 0},
      {"removing one of two direct paths", 3, 100, 11, 4, 0},
      {"removing the last direct path that serves others", 3, 105, 11, 4, kDataServerReasonStillServing},
      {"removing a served path", 3, 105, 12, 36, 0},
      {"a change is not validated", 2, 105, 11, 4, 0},
  };
  for (int mode : {1, 0}) {
    DBtable::b_newDBBase = mode;
    for (const Verdict& c : kCases) {
      SCOPED_TRACE(std::string(c.what) + " mode " + std::to_string(mode));
      long long reason = -1;
      int result = -1;
      DataServerValidation v =
          validateDataServerIPController(c.operation, c.mountPath, c.client, c.access, &reason, &result);
      EXPECT_EQ(0, result);
      EXPECT_EQ(c.reason, reason);
      EXPECT_EQ(c.reason == 0 ? DataServerValidation::Valid : DataServerValidation::Refused, v);
      if (c.reason != 0) {
        EXPECT_TRUE(tkcatalogue::has(static_cast<uint32_t>(c.reason)));
      }
    }
  }
}

// The verdict is a 64-bit value and goes on whole as the catalogue id.
TEST_F(DevicePaths, TheExitCodeTravelsAs64Bits) {
  const long long big = 0x123456789ALL;
  testkit::db::overrideProcedure("MMDataServerIPControllerValidation", {{big}});
  for (int mode : {1, 0}) {
    SCOPED_TRACE(mode);
    DBtable::b_newDBBase = mode;
    long long reason = 0;
    EXPECT_EQ(DataServerValidation::Refused, validateDataServerIPController(1, 100, 14, 20, &reason));
    EXPECT_EQ(big, reason);
    MMDataServerIPControllerValidation proc(nullptr);
    proc.setValues(1, 100, 14, 20);
    ASSERT_EQ(0, getOneRow(&proc, false, -1, 0));
    EXPECT_EQ(big, proc.getDataPtr()->o_ExitCode);
    if (mode == 1) {
      auto* value = dynamic_cast<ZQDB_int64*>(proc.getCatalogue()->getData().at(0));
      ASSERT_NE(nullptr, value);
      EXPECT_EQ(big, value->getValue());
    }
  }
}

TEST_F(DevicePaths, ValidationWithoutARowIsValidAndAFailureIsNot) {
  testkit::db::overrideProcedure("MMDataServerIPControllerValidation", {});
  long long reason = 5;
  int result = 0;
  EXPECT_EQ(DataServerValidation::Valid, validateDataServerIPController(1, 100, 14, 20, &reason, &result));
  EXPECT_EQ(100, result);
  EXPECT_EQ(0, reason);
  testkit::db::failProcedure("MMDataServerIPControllerValidation", 209, "broken");
  EXPECT_EQ(DataServerValidation::Failed, validateDataServerIPController(1, 100, 14, 20, &reason, &result));
  EXPECT_EQ(209, result);
  EXPECT_EQ(DataServerValidation::Failed, dataServerValidationOf(204, nullptr));
}

TEST_F(DevicePaths, TheFourIntegerClauseHoldsTheWidestValuesIn59) {
  DBtable::b_newDBBase = 0;
  MMDataServerIPControllerValidation proc(nullptr);
  proc.setValues(1, 100, 14, 20);
  EXPECT_EQ("1,100,14,20", proc.getValuesClause());
  EXPECT_EQ("59", lastCheck());
  proc.setValues(INT_MIN, INT_MIN, INT_MIN, INT_MIN);
  EXPECT_EQ("-2147483648,-2147483648,-2147483648,-2147483648", proc.getValuesClause());
  EXPECT_LE(proc.getValuesClause().size(), 59u);
  DBtable::b_newDBBase = 1;
  MMDataServerIPControllerValidation typed(nullptr);
  typed.setValues(1, 100, 14, 20);
  EXPECT_EQ(4u, typed.getBoundInputCount());
  EXPECT_EQ(1, typed.getInputsBound());
  EXPECT_EQ("", typed.getValuesClause());
}

// --- credentials of a cloud mount path ------------------------------------------------

TEST_F(DevicePaths, ACloudAdditionBorrowsTheExistingPathsFolderAndCredentials) {
  for (int mode : {1, 0}) {
    SCOPED_TRACE(mode);
    DBtable::b_newDBBase = mode;
    MMConfigDeviceControllerInfo record;
    MMCopyText(record.folder, "typed");
    char stored[2048] = {};
    int result = -1;
    EXPECT_EQ(CloudSharing::Taken, takeCloudSharingController(101, record, stored, &result));
    EXPECT_EQ(0, result);
    EXPECT_STREQ("cloud/bucket", record.folder);
    EXPECT_STREQ("akey", record.userName);
    EXPECT_STREQ("encsecret", record.password);  // as stored
    EXPECT_STREQ("encsecret", stored);
    EXPECT_EQ(0u, record.credentialId);
  }
  // With the first path disabled the next one, which has a stored credential, lends.
  ASSERT_EQ(0, db.exec("UPDATE MMDeviceController SET DeviceControllerEnabled = 0 WHERE DeviceControllerId = 511"));
  MMConfigDeviceControllerInfo record;
  char stored[2048] = {};
  EXPECT_EQ(CloudSharing::Taken, takeCloudSharingController(101, record, stored));
  EXPECT_STREQ("cloud/bucket2", record.folder);
  EXPECT_EQ(7u, record.credentialId);
}

TEST_F(DevicePaths, ACloudPathWithoutALenderOrAFailedQueryTakesNothing) {
  MMConfigDeviceControllerInfo record;
  MMCopyText(record.folder, "typed");
  char stored[2048] = {};
  int result = 0;
  EXPECT_EQ(CloudSharing::NoController, takeCloudSharingController(104, record, stored, &result));  // no folder
  EXPECT_EQ(100, result);
  EXPECT_STREQ("typed", record.folder);
  testkit::db::journal().injectFailure("getOneRow", 205, "disk");
  EXPECT_EQ(CloudSharing::Failed, takeCloudSharingController(101, record, stored, &result));
  EXPECT_EQ(205, result);
  EXPECT_STREQ("typed", record.folder);
  EXPECT_STREQ("", stored);
}

TEST_F(DevicePaths, LongCloudCredentialsAreCutToTheRecordsFields) {
  testkit::db::overrideProcedure("MMGetDeviceControllerForSharingCloud",
                                 {{9, std::string(1024, 'u'), std::string(2048, 'p'), std::string(1024, 'f'), 3}});
  MMConfigDeviceControllerInfo record;
  record.reserved8 = 77;
  char stored[2048];
  std::memset(stored, 'x', sizeof stored);
  ASSERT_EQ(CloudSharing::Taken, takeCloudSharingController(101, record, stored));
  EXPECT_EQ(std::string(1023, 'u'), record.userName);
  EXPECT_EQ(std::string(2047, 'p'), record.password);
  EXPECT_EQ(std::string(1023, 'f'), record.folder);
  EXPECT_EQ(std::string(2047, 'p'), std::string(stored));
  EXPECT_EQ(77u, record.reserved8);
  EXPECT_EQ(3u, record.credentialId);
}

// --- writers of a data-server mount path ------------------------------------------------

TEST_F(DevicePaths, WritersOfADataServerMountPathFollowItsEnabledPaths) {
  for (int mode : {1, 0}) {
    SCOPED_TRACE(mode);
    DBtable::b_newDBBase = mode;
    ASSERT_EQ(0, db.exec("UPDATE MMMountPath SET NumberOfWriters = 0"));
    int result = updateWritersForDataServerMountPath(100);
    EXPECT_EQ(100, result);  // no row: run for its effect
    EXPECT_TRUE(writersUpdated(result));
    EXPECT_EQ(2, db.scalar("SELECT NumberOfWriters FROM MMMountPath WHERE MountPathId = 100"));  // 501, 502
    EXPECT_TRUE(writersUpdated(updateWritersForDataServerMountPath(101)));  // no data server: left alone
    EXPECT_EQ(0, db.scalar("SELECT NumberOfWriters FROM MMMountPath WHERE MountPathId = 101"));
    EXPECT_EQ(0, db.scalar("SELECT NumberOfWriters FROM MMMountPath WHERE MountPathId = 103"));
    if (mode == 0) {
      EXPECT_EQ("14", lastCheck());
    }
  }
}

TEST_F(DevicePaths, AFailedWriterUpdateIsOnlyAFailure) {
  testkit::db::journal().injectFailure("getOneRow", 204, "locked");
  int result = updateWritersForDataServerMountPath(100);
  EXPECT_EQ(204, result);
  EXPECT_FALSE(writersUpdated(result));
  EXPECT_TRUE(writersUpdated(0));
  EXPECT_EQ(0, db.scalar("SELECT NumberOfWriters FROM MMMountPath WHERE MountPathId = 100"));
}

// --- data-server path ----------------------------------------------------------------------

TEST_F(DevicePaths, AServedPathsDataServerPathIsTheDirectPathsFolder) {
  for (int mode : {1, 0}) {
    SCOPED_TRACE(mode);
    DBtable::b_newDBBase = mode;
    std::string path = "stale";
    EXPECT_EQ(0, dataServerPathOf(502, path));
    EXPECT_EQ("/mnt/d50", path);
    EXPECT_EQ(0, dataServerPathOf(501, path));  // a direct path has none
    EXPECT_EQ("", path);
    EXPECT_EQ(0, dataServerPathOf(541, path));  // served, but nothing reaches the device directly
    EXPECT_EQ("", path);
    path = "stale";
    int result = dataServerPathOf(9999, path);
    EXPECT_EQ(100, result);
    EXPECT_TRUE(dataServerPathRead(result));
    EXPECT_EQ("", path);
  }
  testkit::db::journal().injectFailure("getOneRow", 204, "locked");
  std::string path = "stale";
  int result = dataServerPathOf(502, path);
  EXPECT_FALSE(dataServerPathRead(result));
  EXPECT_EQ("", path);
}

// --- device paths of a mount path ---------------------------------------------------------

TEST_F(DevicePaths, EveryPathOfTheMountPathWithAllFifteenColumns) {
  for (int mode : {1, 0}) {
    SCOPED_TRACE(mode);
    DBtable::b_newDBBase = mode;
    std::vector<int> ids;
    int result = forEachDevicePathOfMountPath(100, [&](const MMS2GetDevicePathsForMountPath_t& row) {
      ids.push_back(row.deviceControllerId);
      if (row.deviceControllerId == 502) {
        EXPECT_EQ(1, row.deviceControllerActive);
        EXPECT_EQ(1, row.deviceControllerEnabled);
        EXPECT_EQ(0, row.deviceAccessible);
        EXPECT_EQ(12, row.MAClientId);
        EXPECT_STREQ("ma12", row.MAClientName);
        EXPECT_STREQ("", row.deviceControllerPath);
        EXPECT_STREQ("", row.deviceControllerUser);
        EXPECT_EQ(20, row.readWriteAccess);
        EXPECT_EQ(7, row.servicePack);
        EXPECT_STREQ("/mnt/d50", row.dataServerPath);
        EXPECT_EQ(50, row.deviceId);
        EXPECT_EQ(0, row.credentialId);
        EXPECT_STREQ("", row.credentialName);
        EXPECT_STREQ("Media Agent 12", row.MADisplayName);
      }
      if (row.deviceControllerId == 501) {
        EXPECT_STREQ("/mnt/d50", row.deviceControllerPath);
        EXPECT_STREQ("u11", row.deviceControllerUser);
        EXPECT_STREQ("", row.dataServerPath);
        EXPECT_STREQ("ma11", row.MADisplayName);  // no display name: the name
      }
    });
    EXPECT_EQ(100, result);
    EXPECT_EQ((std::vector<int>{501, 502, 503}), ids);
    forEachDevicePathOfMountPath(101, [&](const MMS2GetDevicePathsForMountPath_t& row) {
      if (row.deviceControllerId != 512) return;
      EXPECT_EQ(7, row.credentialId);
      EXPECT_STREQ("cred7", row.credentialName);
    });
  }
}

// The library query's use: the data-server type of each device; a device
// reached through two mount paths keeps the type of the last row read.
TEST_F(DevicePaths, DataServerTypesOfALibrarysDevices) {
  auto typeOf = [](int access) { return (access & 16) ? 16 : (access & 32) ? 32 : (access & 128) ? 128 : 0; };
  std::map<int, int> types;
  for (int mountPath : {100, 102, 105}) {
    int result = forEachDevicePathOfMountPath(mountPath, [&](const MMS2GetDevicePathsForMountPath_t& row) {
      types[row.deviceId] = typeOf(row.readWriteAccess);
    });
    ASSERT_EQ(100, result);
  }
  EXPECT_EQ((std::map<int, int>{{50, 0}, {55, 32}}), types);  // 503 (direct) is the last path of device 50
  EXPECT_EQ(0, forEachDevicePathOfMountPath(999, [](const MMS2GetDevicePathsForMountPath_t&) { ADD_FAILURE(); }) - 100);
}

TEST_F(DevicePaths, AFailedWalkEndsWithTheDatabasesCode) {
  testkit::db::journal().injectFailure("getNextRow", 205, "disk");
  int rows = 0;
  int result = forEachDevicePathOfMountPath(100, [&](const MMS2GetDevicePathsForMountPath_t&) { ++rows; });
  EXPECT_EQ(205, result);
  EXPECT_EQ(0, rows);
  EXPECT_STRNE("", DBtable::getErrorStr(result));
}

}  // namespace
