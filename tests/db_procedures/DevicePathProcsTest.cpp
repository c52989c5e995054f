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
#include "tests/support/RowFill.h"
#include "tests/support/Seed.h"

namespace {

class DevicePaths : public tktest::DatabaseTest {
 protected:
  void SetUp() override {
    for (int id : {11, 12, 13, 14}) tktest::addClient(db, id, "ma" + std::to_string(id));
    ASSERT_EQ(0, db.exec("UPDATE APP_Client SET displayName = 'Media Agent 12', servicePack = 7 WHERE id = 12"));
    tktest::addMountPath(db, 100, 5, 50);
    tktest::addMountPath(db, 101, 6, 51, "cloud1", 0, 7);
    tktest::addMountPath(db, 102, 5, 50);
    tktest::addMountPath(db, 103, 5, 53);
    tktest::addMountPath(db, 104, 5, 54);
    tktest::addMountPath(db, 105, 5, 55);
    tktest::addCredential(db, 7, "cred7", 900);
    for (const tktest::DevicePath& path : std::vector<tktest::DevicePath>{
             {501, 11, 50, 4, "/mnt/d50", "u11", "enc11"}, {502, 12, 50, 20, "", "", "", 1, 0},
             {503, 13, 50, 6, "/mnt/d50b", "", "", 0}, {511, 11, 51, 4, "cloud/bucket", "akey", "encsecret"},
             {512, 14, 51, 4, "cloud/bucket2", "", "", 1, 1, 900}, {531, 13, 53, 4, "/mnt/d53", "", "", 0},
             {541, 11, 54, 20, ""}, {551, 11, 55, 4, "/mnt/d55"}, {552, 12, 55, 36, ""}}) {
      tktest::addDevicePath(db, path);
    }
  }
};

// --- transport pick ------------------------------------------------------------------

TEST_F(DevicePaths, BestFitTakesTheEnabledReachablePathsTransportFolderAndCredentials) {
  tktest::forBothModes([&](int mode) {
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
      EXPECT_EQ("14", tktest::lastValuesCheck());
    }
  });
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

// Without an enabled path, on a failure, or with a row without transport
// and folder, the record keeps what it had.
TEST_F(DevicePaths, BestFitWithoutAPathTransportOrFolderOrOnAFailureTakesNothing) {
  MMConfigDeviceControllerInfo record;
  record.deviceAccessType = 20;
  MMCopyText(record.folder, "/own");
  MMCopyText(record.userName, "own-user");
  BestFitTransport none = pickBestFitTransport(103, record);  // its only path is disabled
  EXPECT_EQ(BestFit::NothingToPick, none.outcome);
  EXPECT_EQ(100, none.result);
  testkit::db::journal().injectFailure("getOneRow", 204, "locked");
  BestFitTransport failed = pickBestFitTransport(100, record);
  EXPECT_EQ(BestFit::Failed, failed.outcome);
  EXPECT_EQ(204, failed.result);
  testkit::db::overrideProcedure("MMGetBestFitTransportTypeForGivenMountPath", {{0, "", "user", "pw", 0}});
  BestFitTransport empty = pickBestFitTransport(100, record);
  EXPECT_EQ(BestFit::Picked, empty.outcome);
  EXPECT_EQ(0, empty.transportBits);
  EXPECT_FALSE(empty.tookFolder);
  EXPECT_EQ(20u, record.deviceAccessType);
  EXPECT_STREQ("/own", record.folder);
  EXPECT_STREQ("own-user", record.userName);
}

// Texts one character longer than the request's fields are cut to fit;
// the field after them is untouched and every text stays terminated.
TEST_F(DevicePaths, LongBestFitTextsAreCutToTheRecordsFields) {
  const std::string folder(1024, 'f');
  const std::string user(1024, 'u');
  const std::string password(2048, 'p');
  testkit::db::overrideProcedure("MMGetBestFitTransportTypeForGivenMountPath", {{8, folder, user, password, 0}});
  tktest::forBothModes([&](int) {
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
  });
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
  tktest::forBothModes([&](int mode) {
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
  });
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
  EXPECT_EQ("59", tktest::lastValuesCheck());
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
  tktest::forBothModes([&](int) {
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
  });
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
  tktest::forBothModes([&](int mode) {
    ASSERT_EQ(0, db.exec("UPDATE MMMountPath SET NumberOfWriters = 0"));
    int result = updateWritersForDataServerMountPath(100);
    EXPECT_EQ(100, result);  // no row: run for its effect
    EXPECT_TRUE(writersUpdated(result));
    EXPECT_EQ(2, db.scalar("SELECT NumberOfWriters FROM MMMountPath WHERE MountPathId = 100"));  // 501, 502
    EXPECT_TRUE(writersUpdated(updateWritersForDataServerMountPath(101)));  // no data server: left alone
    EXPECT_EQ(0, db.scalar("SELECT NumberOfWriters FROM MMMountPath WHERE MountPathId = 101"));
    EXPECT_EQ(0, db.scalar("SELECT NumberOfWriters FROM MMMountPath WHERE MountPathId = 103"));
    if (mode == 0) {
      EXPECT_EQ("14", tktest::lastValuesCheck());
    }
  });
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
  tktest::forBothModes([&](int) {
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
  });
  testkit::db::journal().injectFailure("getOneRow", 204, "locked");
  std::string path = "stale";
  int result = dataServerPathOf(502, path);
  EXPECT_FALSE(dataServerPathRead(result));
  EXPECT_EQ("", path);
}

// --- device paths of a mount path ---------------------------------------------------------

TEST_F(DevicePaths, EveryPathOfTheMountPathWithAllFifteenColumns) {
  tktest::forBothModes([&](int) {
    std::vector<int> ids;
    int result = forEachDevicePathOfMountPath(100, [&](const MMS2GetDevicePathsForMountPath_t& row) {
      ids.push_back(row.deviceControllerId);
      if (row.deviceControllerId == 502) {  // served: the direct path's folder; the display name kept
        EXPECT_EQ((tkdb::DbRow{502, 1, 1, 0, 12, "ma12", "", "", 20, 7, "/mnt/d50", 50, 0, "", "Media Agent 12"}),
                  tktest::rowValues(row));
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
  });
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
