// The hybrid-cloud procedures over seeded libraries, mappings, mount paths
// and device paths, in both engine modes, and what their callers make of
// them: the association names of a disk library, and the device paths a
// hybrid cloud's media agents still lack, handed over one device at a time
// as records whose texts fit their fields.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "Db/Proc/MMGetHybridCloudAssociations.h"
#include "Db/Proc/MMS2GetMissingHybridCloudMAsForDisk.h"
#include "platform/testkit/db.h"
#include "tests/support/RowFill.h"
#include "tests/support/Seed.h"

namespace {

class HybridCloud : public tktest::DatabaseTest {
 protected:
  void SetUp() override {
    ASSERT_EQ(0, db.exec("INSERT INTO MMLibrary (LibraryId, AliasName) VALUES (10, 'disk-lib'), (20, 'cloud-A'), "
                         "(21, 'cloud-B'), (30, 'lonely-cloud')"));
    ASSERT_EQ(0, db.exec("INSERT INTO MMHybridCloudMapping (CloudLibraryId, DiskLibraryId) VALUES (21, 10), (20, 10)"));
    tktest::addMountPath(db, 1000, 10, 70);
    tktest::addMountPath(db, 1001, 10, 71);
    tktest::addMountPath(db, 1002, 10, 70);
    tktest::addMountPath(db, 1003, 10, 72);
    tktest::addMountPath(db, 2000, 20, 80, "cloud", 0, 7);
    for (int client : {11, 12, 13}) tktest::addDevicePath(db, {800 + client, client, 80, 4, "bucket"});
    tktest::addDevicePath(db, {701, 11, 70, 4, "/disk70", "du", "dp"});
    tktest::addCredential(db, 9, "cred9", 950);
    tktest::addDevicePath(db, {711, 12, 71, 4, "/disk71", "", "", 1, 1, 950});
  }
};

// --- associations -----------------------------------------------------------------------

TEST_F(HybridCloud, TheCloudLibrariesOfADiskLibraryJoinedByCommaBlank) {
  tktest::forBothModes([&](int mode) {
    bool found = false;
    std::string names, error;
    EXPECT_TRUE(collectHybridCloudAssociations(10, found, names, error));
    EXPECT_TRUE(found);
    EXPECT_EQ("cloud-A, cloud-B", names);
    EXPECT_EQ("", error);
    if (mode == 0) {
      EXPECT_EQ("14", tktest::lastValuesCheck());
    }
  });
}

TEST_F(HybridCloud, ADiskLibraryWithoutAssociationsEndsAtOnceWith100) {
  bool found = false;
  std::string names, error;
  EXPECT_TRUE(collectHybridCloudAssociations(20, found, names, error));
  EXPECT_FALSE(found);
  EXPECT_EQ("", names);
  MMGetHybridCloudAssociations proc(nullptr);
  proc.setValues(20);
  int count = -1;
  EXPECT_EQ(100, getNextRow(&proc, &count, -1, 0));
  EXPECT_EQ(0, count);
}

TEST_F(HybridCloud, TheLibraryIdIsBoundAsItsLow32Bits) {
  bool found = false;
  std::string names, error;
  EXPECT_TRUE(collectHybridCloudAssociations((1UL << 32) + 10, found, names, error));
  EXPECT_TRUE(found);
  EXPECT_EQ("cloud-A, cloud-B", names);
  std::vector<tkjournal::Call> calls = testkit::db::journal().calls("procedure");
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ((std::vector<std::string>{"MMGetHybridCloudAssociations", "10"}), calls.back().args);
}

TEST_F(HybridCloud, AFailedLookupAppendsTheDatabasesTextAndNeverClearsFound) {
  testkit::db::journal().injectFailure("getNextRow", 204, "locked");
  bool found = true;
  std::string names = "kept", error = "lookup: ";
  EXPECT_FALSE(collectHybridCloudAssociations(10, found, names, error));
  EXPECT_TRUE(found);
  EXPECT_EQ("kept", names);
  EXPECT_EQ(std::string("lookup: ") + DBtable::getErrorStr(204), error);
}

// --- missing device paths, one hand-over per device --------------------------------------

struct HandOver {
  int device;
  std::vector<MMConfigDeviceControllerInfo> records;
  bool atEnd;
};

std::vector<HandOver> walk(int cloudLibraryId, int* result = nullptr) {
  std::vector<HandOver> out;
  int code = walkMissingHybridCloudControllers(
      cloudLibraryId, [&](int device, const std::vector<MMConfigDeviceControllerInfo>& records, bool atEnd) {
        out.push_back({device, records, atEnd});
      });
  if (result != nullptr) *result = code;
  return out;
}

std::vector<unsigned> clientsOf(const HandOver& h) {
  std::vector<unsigned> out;
  for (const MMConfigDeviceControllerInfo& r : h.records) out.push_back(r.clientId);
  return out;
}

TEST_F(HybridCloud, TheMissingPathsOfEachDiskDeviceComeInOneHandOver) {
  tktest::forBothModes([&](int mode) {
    int result = 0;
    std::vector<HandOver> handOvers = walk(20, &result);
    EXPECT_EQ(100, result);
    ASSERT_EQ(3u, handOvers.size());
    EXPECT_EQ(70, handOvers[0].device);
    EXPECT_EQ((std::vector<unsigned>{12, 13}), clientsOf(handOvers[0]));
    EXPECT_FALSE(handOvers[0].atEnd);
    EXPECT_EQ(71, handOvers[1].device);
    EXPECT_EQ((std::vector<unsigned>{11, 13}), clientsOf(handOvers[1]));
    EXPECT_EQ(72, handOvers[2].device);
    EXPECT_EQ((std::vector<unsigned>{11, 12, 13}), clientsOf(handOvers[2]));
    EXPECT_TRUE(handOvers[2].atEnd);

    // Device 70 lends its folder, user and password (access type 4).
    const MMConfigDeviceControllerInfo& a = handOvers[0].records[0];
    EXPECT_EQ(70u, a.deviceId);
    EXPECT_EQ(unsigned(MM_DEVICE_CONTROLLER_ADD), a.operation);
    EXPECT_EQ(4u, a.deviceAccessType);
    EXPECT_STREQ("/disk70", a.folder);
    EXPECT_STREQ("du", a.userName);
    EXPECT_STREQ("dp", a.password);
    EXPECT_EQ(0u, a.credentialId);
    EXPECT_EQ(0u, a.deviceControllerId);
    EXPECT_EQ(0, a.enabled);
    // Device 71's path has a stored credential instead (access type 4).
    const MMConfigDeviceControllerInfo& b = handOvers[1].records[1];
    EXPECT_EQ(4u, b.deviceAccessType);
    EXPECT_STREQ("/disk71", b.folder);
    EXPECT_EQ(9u, b.credentialId);
    // Device 72 has no path to lend (access type 20, nothing else).
    const MMConfigDeviceControllerInfo& c = handOvers[2].records[0];
    EXPECT_EQ(20u, c.deviceAccessType);
    EXPECT_STREQ("", c.folder);
    EXPECT_STREQ("", c.userName);
    EXPECT_EQ(0u, c.credentialId);
    if (mode == 0) {
      EXPECT_EQ("14", tktest::lastValuesCheck());
    }
  });
}

TEST_F(HybridCloud, NoMappingNothingMissingOrAFailedQueryHandsNothingOver) {
  int result = 0;
  EXPECT_TRUE(walk(30, &result).empty());  // no mapping
  EXPECT_EQ(100, result);
  testkit::db::failProcedure("MMS2GetMissingHybridCloudMAsForDisk", 205, "disk");
  EXPECT_TRUE(walk(20, &result).empty());
  EXPECT_EQ(205, result);
  testkit::db::clearProcedureOverrides();
  for (int client : {11, 12, 13}) {
    for (int device : {70, 71, 72}) {
      ASSERT_EQ(0, db.exec("INSERT OR IGNORE INTO MMDeviceController (ClientId, DeviceId, DeviceAccessType) "
                           "SELECT ?1, ?2, 4 WHERE NOT EXISTS (SELECT 1 FROM MMDeviceController WHERE ClientId = ?1 "
                           "AND DeviceId = ?2)",
                           {client, device}));
    }
  }
  EXPECT_TRUE(walk(20, &result).empty());
  EXPECT_EQ(100, result);
}

// Rows of devices A, A, B: two hand-overs, the first when B's row arrives.
TEST_F(HybridCloud, DevicesAABGiveTwoHandOvers) {
  testkit::db::overrideProcedure(
      "MMS2GetMissingHybridCloudMAsForDisk",
      {{7, "/a", "u", "p", 0, 1, 12}, {7, "/a", "u", "p", 0, 1, 13}, {9, "", "", "", 0, 0, 11}});
  std::vector<HandOver> handOvers = walk(20);
  ASSERT_EQ(2u, handOvers.size());
  EXPECT_EQ(7, handOvers[0].device);
  EXPECT_EQ((std::vector<unsigned>{12, 13}), clientsOf(handOvers[0]));
  EXPECT_FALSE(handOvers[0].atEnd);
  EXPECT_EQ(9, handOvers[1].device);
  EXPECT_EQ((std::vector<unsigned>{11}), clientsOf(handOvers[1]));
  EXPECT_TRUE(handOvers[1].atEnd);
  // A device that comes back later is handed over again.
  testkit::db::overrideProcedure("MMS2GetMissingHybridCloudMAsForDisk",
                                 {{7, "", "", "", 0, 1, 12}, {9, "", "", "", 0, 1, 13}, {7, "", "", "", 0, 1, 14}});
  handOvers = walk(20);
  ASSERT_EQ(3u, handOvers.size());
  EXPECT_EQ(7, handOvers[2].device);
}

TEST(HybridCloudRecord, CredentialsAreTakenOnlyWithAnIdOrBothUserAndPassword) {
  struct Case {
    const char* what;
    int credentialId;
    const char* user;
    const char* password;
    unsigned access;
    bool takesFolder;
  };
  const Case kCases[] = {
      {"user and password", 0, "u", "p", 4, true},
      {"a credential id alone", 3, "", "", 4, true},
      {"user without password", 0, "u", "", 20, false},
      {"password without user", 0, "", "p", 20, false},
      {"nothing", 0, "", "", 20, false},
      {"negative id", -1, "", "", 20, false},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    MMS2GetMissingHybridCloudMAsForDisk_t row;
    row.o_DeviceId = 5;
    row.o_HostClientId = 44;
    row.o_CredentialId = c.credentialId;
    row.o_DevCtrlEnabled = 1;
    std::strcpy(row.o_Folder, "/folder");
    std::strcpy(row.o_UserName, c.user);
    std::strcpy(row.o_UserPassword, c.password);
    MMConfigDeviceControllerInfo r;
    EXPECT_TRUE(hybridCloudControllerRecordOf(row, r));
    EXPECT_EQ(44u, r.clientId);
    EXPECT_EQ(5u, r.deviceId);
    EXPECT_EQ(1u, r.operation);
    EXPECT_EQ(c.access, r.deviceAccessType);
    EXPECT_STREQ(c.takesFolder ? "/folder" : "", r.folder);
    EXPECT_STREQ(c.takesFolder ? c.user : "", r.userName);
    EXPECT_STREQ(c.takesFolder ? c.password : "", r.password);
    EXPECT_EQ(c.takesFolder ? static_cast<unsigned>(c.credentialId) : 0u, r.credentialId);
    EXPECT_EQ(0, r.enabled);
    EXPECT_EQ(0u, r.maxDrivesToSwitch);
  }
}

// A path whose folder, user name or password would be cut is not added;
// the texts that just fit are taken whole.
TEST_F(HybridCloud, ARowWhoseTextsWouldBeCutIsSkippedAndTheOthersHandedOver) {
  testkit::db::overrideProcedure(
      "MMS2GetMissingHybridCloudMAsForDisk",
      {{7, std::string(1024, 'f'), "u", "p", 0, 1, 12},
       {7, "/f", std::string(1024, 'u'), "p", 0, 1, 13},
       {7, "/f", "u", std::string(2048, 'p'), 0, 1, 14},
       {7, std::string(1023, 'f'), std::string(1023, 'u'), std::string(2047, 'p'), 0, 1, 15},
       {7, std::string(1024, 'f'), "", "", 0, 1, 16}});  // takes no texts, so nothing is cut
  std::vector<unsigned> skipped;
  std::vector<HandOver> handOvers;
  walkMissingHybridCloudControllers(
      20,
      [&](int device, const std::vector<MMConfigDeviceControllerInfo>& records, bool atEnd) {
        handOvers.push_back({device, records, atEnd});
      },
      [&](const MMS2GetMissingHybridCloudMAsForDisk_t& row) { skipped.push_back(row.o_HostClientId); });
  EXPECT_EQ((std::vector<unsigned>{12, 13, 14}), skipped);
  ASSERT_EQ(1u, handOvers.size());
  EXPECT_EQ((std::vector<unsigned>{15, 16}), clientsOf(handOvers[0]));
  const MMConfigDeviceControllerInfo& r = handOvers[0].records.at(0);
  EXPECT_EQ(std::string(1023, 'f'), r.folder);
  EXPECT_EQ(std::string(1023, 'u'), r.userName);
  EXPECT_EQ(std::string(2047, 'p'), r.password);
  EXPECT_EQ(4u, r.deviceAccessType);
  EXPECT_EQ(20u, handOvers[0].records.at(1).deviceAccessType);
}

// Records read before a failed row are still handed over; the failure is
// the walk's result. A row without a device makes no record.
TEST_F(HybridCloud, ARowFailureAfterSomeRowsStillHandsOverWhatCameBefore) {
  testkit::db::overrideProcedure("MMS2GetMissingHybridCloudMAsForDisk", {{0, "", "", "", 0, 1, 99},
                                                                         {7, "", "", "", 0, 1, 12},
                                                                         {7, "", "", "", 0, 1, "not a number"},
                                                                         {9, "", "", "", 0, 1, 13}});
  int result = 0;
  std::vector<HandOver> handOvers = walk(20, &result);
  EXPECT_EQ(DB_ERR_CONVERT, result);
  ASSERT_EQ(1u, handOvers.size());
  EXPECT_EQ(7, handOvers[0].device);
  EXPECT_EQ((std::vector<unsigned>{12}), clientsOf(handOvers[0]));
  EXPECT_TRUE(handOvers[0].atEnd);
}

}  // namespace
