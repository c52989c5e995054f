// The return conventions every table-access call keeps: 0 and a filled row
// when found; -1 with MMS2_ERROR_NOT_FOUND and database result 100 when no row
// matched; -1 with MMS2_ERROR_DATABASE and the engine's result when the
// database failed; a scripted failure with its own code and text; and in
// every failure the caller's row untouched.
#include <functional>
#include <string>

#include "tests/db_access/AccessFixture.h"

namespace dbaccess {
namespace {

constexpr int kSentinel = -7;

struct Outcome {
  int rc = 0;
  int code = 0;
  int dbError = 0;
  int id = 0;
  std::string text;
};

struct Lookup {
  const char* call;
  int present;
  int absent;
  int expectedId;  // the id field of the row read for `present`
  std::function<Outcome(int key, MMDebug* log)> run;
};

// A lookup through `Access` into a `Row` whose id field the call fills.
template <class Access, class Row, class Read>
Lookup lookup(const char* call, int present, int absent, int expectedId, int Row::*id, Read read) {
  return {call, present, absent, expectedId, [id, read](int key, MMDebug* log) {
            Access access(log);
            Row row;
            row.*id = kSentinel;
            const int rc = read(access, key, row);
            return Outcome{rc, access.getErrorCode(), access.getDBError(), row.*id, access.lastErrorText()};
          }};
}

const Lookup kLookups[] = {
    lookup<MMLibraryDB>("MMLibraryDB::getInfo", kDiskLib, 99, kDiskLib, &MMLibrary_t::LibraryId,
                        [](auto& a, int k, auto& r) { return a.getInfo(k, r, nullptr); }),
    lookup<MMLibraryDB>("MMLibraryDB::getInfoByMountPathId", kMP2, 99, kDiskLib, &MMLibrary_t::LibraryId,
                        [](auto& a, int k, auto& r) { return a.getInfoByMountPathId(k, r, nullptr); }),
    lookup<MMMountPathDB>("MMMountPathDB::getInfo", kMP1, 99, kMP1, &MMMountPath_t::MountPathId,
                          [](auto& a, int k, auto& r) { return a.getInfo(k, r, nullptr); }),
    lookup<MMDeviceDB>("MMDeviceDB::getInfo", kDevice, 99, kDevice, &MMDevice_t::DeviceId,
                       [](auto& a, int k, auto& r) { return a.getInfo(k, r, nullptr); }),
    lookup<MMDeviceDB>("MMDeviceDB::getInfoByMountPath", kMP1, 99, kDevice, &MMDevice_t::DeviceId,
                       [](auto& a, int k, auto& r) { return a.getInfoByMountPath(k, r, nullptr); }),
    lookup<MMDeviceControllerDB>("MMDeviceControllerDB::getInfo", kCtrlMA2, 99, kCtrlMA2,
                                 &MMDeviceController_t::DeviceControllerId,
                                 [](auto& a, int k, auto& r) { return a.getInfo(k, r, nullptr); }),
    lookup<MMDeviceControllerDB>("MMDeviceControllerDB::getInfoInDB", kCtrlMA1, 99, kCtrlMA1,
                                 &MMDeviceController_t::DeviceControllerId,
                                 [](auto& a, int k, auto& r) { return a.getInfoInDB(k, r, nullptr); }),
    lookup<MMDeviceControllerDB>("MMDeviceControllerDB::getInfoByHstAndDeviceId", kDevice, 99, kCtrlMA2,
                                 &MMDeviceController_t::DeviceControllerId,
                                 [](auto& a, int k, auto& r) {
                                   return a.getInfoByHstAndDeviceId(kMA2, k, r, nullptr);
                                 }),
    lookup<MMMediaDB>("MMMediaDB::getInfoByMountPathId", kMP1, 99, kMedia1, &MMMedia_t::MediaId,
                      [](auto& a, int k, auto& r) { return a.getInfoByMountPathId(k, r, nullptr); }),
    lookup<MMMediaSideDB>("MMMediaSideDB::getInfo", kSide2, 99, kSide2, &MMMediaSide_t::MediaSideId,
                          [](auto& a, int k, auto& r) { return a.getInfo(k, r, nullptr); }),
    lookup<MMLibraryControllerDB>(
        "MMLibraryControllerDB::getInfoByHostAndLibraryId", kTapeLib, kDiskLib, kLibCtrlMA2,
        &MMLibraryController_t::LibraryControllerId,
        [](auto& a, int k, auto& r) { return a.getInfoByHostAndLibraryId(kMA2, k, r, nullptr); }),
    lookup<MMMiscDB>("MMMiscDB::getClientInfo", kMA1, 99, kMA1, &APP_Client_t::id,
                     [](auto& a, int k, auto& r) { return a.getClientInfo(k, r, nullptr); }),
    // Names compare without regard to case.
    lookup<MMHostDB>("MMHostDB::getInfoByClientName", kMA2, kPlainClient, kMA2, &MMHost_t::ClientId,
                     [](auto& a, int k, auto& r) {
                       return a.getInfoByClientName(k == kMA2 ? "MA2" : "desk", r, nullptr);
                     }),
    lookup<MMLibraryDB>(
        "MMLibraryDB::getInfoByAliasName", kDiskLib, 99, kDiskLib, &MMLibrary_t::LibraryId,
        [](auto& a, int k, auto& r) {
          return a.getInfoByAliasName(k == kDiskLib ? "disklib1" : "NoSuchLib", r, nullptr);
        }),
    lookup<MMDeviceDB>(
        "MMDeviceDB::getInfoByAliasName", kDevice, 99, kDevice, &MMDevice_t::DeviceId,
        [](auto& a, int k, auto& r) {
          return a.getInfoByAliasName(k == kDevice ? "DEVICE31" : "Device99", r, nullptr);
        }),
};

class Conventions : public AccessTest, public ::testing::WithParamInterface<Lookup> {};

TEST_P(Conventions, FoundFillsTheRowAndClearsTheError) {
  const Lookup& lookup = GetParam();
  Outcome o = lookup.run(lookup.present, &log);
  EXPECT_EQ(0, o.rc);
  EXPECT_EQ(0, o.code);
  EXPECT_EQ(0, o.dbError);
  EXPECT_EQ(lookup.expectedId, o.id);
  EXPECT_EQ("", o.text);
  ASSERT_EQ(1u, testkit::mmdb::calls(lookup.call).size());
}

TEST_P(Conventions, MissingIsNotFoundWithDatabaseResult100AndTheRowUntouched) {
  const Lookup& lookup = GetParam();
  Outcome o = lookup.run(lookup.absent, &log);
  EXPECT_EQ(-1, o.rc);
  EXPECT_EQ(MMS2_ERROR_NOT_FOUND, o.code);
  EXPECT_EQ(100, o.dbError);
  EXPECT_EQ(kSentinel, o.id);
  EXPECT_FALSE(o.text.empty());
}

TEST_P(Conventions, ADatabaseFailureKeepsTheEnginesResultAndTheRowUntouched) {
  const Lookup& lookup = GetParam();
  testkit::db::journal().injectFailure("exec", DB_ERR_IO, "disk I/O error");
  Outcome o = lookup.run(lookup.present, &log);
  EXPECT_EQ(-1, o.rc);
  EXPECT_EQ(MMS2_ERROR_DATABASE, o.code);
  EXPECT_EQ(DB_ERR_IO, o.dbError);
  EXPECT_EQ(kSentinel, o.id);
  EXPECT_NE(std::string::npos, o.text.find("disk I/O error")) << o.text;
}

TEST_P(Conventions, AFailureOfAnyCodeIsNeverTakenForARow) {
  const Lookup& lookup = GetParam();
  for (int code : {-1, -2, 1, static_cast<int>(DB_NO_ROW)}) {
    SCOPED_TRACE(code);
    testkit::db::journal().injectFailure("exec", code, "injected");
    Outcome o = lookup.run(lookup.present, &log);
    EXPECT_EQ(-1, o.rc);
    EXPECT_EQ(MMS2_ERROR_DATABASE, o.code);
    EXPECT_EQ(code, o.dbError);
    EXPECT_EQ(kSentinel, o.id);
  }
}

TEST_P(Conventions, AScriptedFailureCarriesItsCodeDatabaseResultAndText) {
  const Lookup& lookup = GetParam();
  testkit::mmdb::failNext(lookup.call, 0x2600ABCD, "scripted refusal", 204);
  Outcome o = lookup.run(lookup.present, &log);
  EXPECT_EQ(-1, o.rc);
  EXPECT_EQ(0x2600ABCD, o.code);
  EXPECT_EQ(204, o.dbError);
  EXPECT_EQ("scripted refusal", o.text);
  EXPECT_EQ(kSentinel, o.id);
  // Only the next call fails.
  o = lookup.run(lookup.present, &log);
  EXPECT_EQ(0, o.rc);
  EXPECT_EQ(lookup.expectedId, o.id);
}

INSTANTIATE_TEST_SUITE_P(Lookups, Conventions, ::testing::ValuesIn(kLookups),
                         [](const ::testing::TestParamInfo<Lookup>& info) {
                           std::string name = info.param.call;
                           std::string out;
                           for (char c : name) {
                             if (c != ':') out += c;
                           }
                           return out;
                         });

// ---- lists --------------------------------------------------------------------------------

TEST_F(AccessTest, ListsComeInIdOrderAndAnEmptyListIsNullWithCountZero) {
  MMMountPathDB paths(&log);
  MMMountPath_t* rows = nullptr;
  int count = -1;
  ASSERT_EQ(0, paths.getListForLibrary(kDiskLib, rows, count, nullptr));
  ASSERT_EQ(2, count);
  ASSERT_NE(nullptr, rows);
  EXPECT_EQ(kMP1, rows[0].MountPathId);
  EXPECT_STREQ("MP1", rows[0].MountPathName);
  EXPECT_EQ(kMP2, rows[1].MountPathId);
  EXPECT_EQ(5, rows[1].MaxConcurrentWriters);
  MMMountPathDB::DeleteList(rows, __FILE__, __LINE__);
  EXPECT_EQ(nullptr, rows);

  count = -1;
  ASSERT_EQ(0, paths.getListForLibrary(kEmptyLib, rows, count, nullptr));
  EXPECT_EQ(0, count);
  EXPECT_EQ(nullptr, rows);
}

TEST_F(AccessTest, AFailedListIsNullWithCountZero) {
  MMDeviceControllerDB controllers(&log);
  MMDeviceController_t* rows = reinterpret_cast<MMDeviceController_t*>(&log);  // garbage the call must clear
  int count = 17;
  testkit::db::journal().injectFailure("exec", DB_ERR_BUSY, "locked");
  EXPECT_EQ(-1, controllers.getListByDeviceId(kDevice, rows, count, nullptr));
  EXPECT_EQ(nullptr, rows);
  EXPECT_EQ(0, count);
  EXPECT_EQ(MMS2_ERROR_DATABASE, controllers.getErrorCode());
  EXPECT_EQ(DB_ERR_BUSY, controllers.getDBError());

  rows = reinterpret_cast<MMDeviceController_t*>(&log);
  count = 17;
  testkit::mmdb::failNext("MMDeviceControllerDB::getListByHostId", MMS2_ERROR_DATABASE, "scripted");
  EXPECT_EQ(-1, controllers.getListByHostId(kMA1, rows, count, nullptr));
  EXPECT_EQ(nullptr, rows);
  EXPECT_EQ(0, count);
}

TEST_F(AccessTest, DeleteListReleasesHeapTextsOfEveryRowAndIsJournaledWithTheCallersPlace) {
  // Drive pools own a heap text (Descript): under the leak checker a list
  // that did not release them would fail the test.
  run("INSERT INTO MMDrivePool (DrivePoolId, DrivePoolName, ClientId, MasterPoolId, Descript) VALUES "
      "(92, 'second pool', 11, 22, 'another description')");
  MMDrivePoolDB pools(&log);
  MMDrivePool_t* rows = nullptr;
  int count = 0;
  ASSERT_EQ(0, pools.getList(kTapeLib, kMA1, rows, count, nullptr));
  ASSERT_EQ(2, count);
  EXPECT_EQ(kDrivePool, rows[0].DrivePoolId);
  EXPECT_STREQ("the pool", rows[0].Descript);
  EXPECT_STREQ("another description", rows[1].Descript);
  const int line = __LINE__ + 1;
  MMDrivePoolDB::DeleteList(rows, "caller.cpp", line);
  EXPECT_EQ(nullptr, rows);
  auto calls = testkit::mmdb::calls("MMDrivePoolDB::DeleteList");
  ASSERT_EQ(1u, calls.size());
  EXPECT_EQ((std::vector<std::string>{"caller.cpp", std::to_string(line)}), calls[0].args);
  // A null list is released without harm.
  MMDrivePoolDB::DeleteList(rows, __FILE__, __LINE__);
  EXPECT_EQ(nullptr, rows);
}

TEST_F(AccessTest, EveryListCallHandsBackAnArrayThatItsDeleteListReleases) {
  MMDeviceController_t* controllers = nullptr;
  MMLibraryController_t* libraryControllers = nullptr;
  MMMasterPool_t* masterPools = nullptr;
  MMMountPath_t* paths = nullptr;
  int count = 0;
  MMDeviceControllerDB dc(&log);
  ASSERT_EQ(0, dc.getListByDeviceId(kDevice, controllers, count, nullptr));
  EXPECT_EQ(2, count);
  MMDeviceControllerDB::DeleteList(controllers, __FILE__, __LINE__);
  ASSERT_EQ(0, dc.getListByHostId(kMA2, controllers, count, nullptr));
  ASSERT_EQ(1, count);
  EXPECT_EQ(kCtrlMA2, controllers[0].DeviceControllerId);
  EXPECT_STREQ("/mnt/b", controllers[0].Folder);
  EXPECT_EQ(22, controllers[0].DeviceAccessType);
  MMDeviceControllerDB::DeleteList(controllers, __FILE__, __LINE__);
  MMLibraryControllerDB lc(&log);
  ASSERT_EQ(0, lc.getListByLibraryId(kTapeLib, libraryControllers, count, nullptr));
  ASSERT_EQ(2, count);
  EXPECT_EQ(kLibCtrlMA1, libraryControllers[0].LibraryControllerId);
  EXPECT_STREQ("ctrl ma2", libraryControllers[1].ControllerName);
  MMLibraryControllerDB::DeleteList(libraryControllers, __FILE__, __LINE__);
  MMMasterPoolDB mp(&log);
  ASSERT_EQ(0, mp.getList(kDiskLib, masterPools, count, nullptr));
  ASSERT_EQ(1, count);
  EXPECT_EQ(kDiskPool, masterPools[0].MasterPoolId);
  EXPECT_EQ(25, masterPools[0].MaxDrivesToSwitch);
  MMMasterPoolDB::DeleteList(masterPools, __FILE__, __LINE__);
  MMMountPathDB mps(&log);
  ASSERT_EQ(0, mps.getListForDevice(kDevice, paths, count, nullptr));
  ASSERT_EQ(2, count);
  EXPECT_EQ(kDiskLib, paths[0].LibraryId);
  MMMountPathDB::DeleteList(paths, __FILE__, __LINE__);
  EXPECT_EQ(nullptr, controllers);
  EXPECT_EQ(nullptr, libraryControllers);
  EXPECT_EQ(nullptr, masterPools);
  EXPECT_EQ(nullptr, paths);
  EXPECT_EQ(5u, testkit::mmdb::journal().count("MMDeviceControllerDB::DeleteList") +
                    testkit::mmdb::journal().count("MMLibraryControllerDB::DeleteList") +
                    testkit::mmdb::journal().count("MMMasterPoolDB::DeleteList") +
                    testkit::mmdb::journal().count("MMMountPathDB::DeleteList"));
}

// ---- changes --------------------------------------------------------------------------------

TEST_F(AccessTest, AChangeOfARowThatDoesNotExistIsNotFound) {
  MMMountPathDB paths(&log);
  EXPECT_EQ(-1, paths.setMaxWriters(99, 4, nullptr));
  EXPECT_EQ(MMS2_ERROR_NOT_FOUND, paths.getErrorCode());
  EXPECT_EQ(100, paths.getDBError());
  // The next call starts with a clear error.
  EXPECT_EQ(0, paths.setMaxWriters(kMP1, 4, nullptr));
  EXPECT_EQ(0, paths.getErrorCode());
  EXPECT_EQ(0, paths.getDBError());
  char buffer[64] = "stale";
  EXPECT_STREQ("", paths.getLastError(buffer, sizeof buffer));
}

TEST_F(AccessTest, TheErrorTextIsCutToTheCallersBufferAndTranslated) {
  MMLibraryDB libraries(&log);
  MMLibrary_t row;
  ASSERT_EQ(-1, libraries.getInfo(99, row, nullptr));
  char small[8];
  EXPECT_STREQ("No libr", libraries.getLastError(small, sizeof small));
  char text[2048];
  EXPECT_STREQ("No matching record was found in the database.",
               MMS2BaseError::getErrorStringForCode(libraries.getErrorCode(), text, sizeof text, 0));
  char translated[1025];
  EXPECT_STREQ("No matching record was found in the database.",
               ErrorTrans::getErrorString(MMS2_ERROR_NOT_FOUND, translated, sizeof translated, 0));
  EXPECT_STREQ("The library has no active library controller.",
               ErrorTrans::getErrorString(309, translated, sizeof translated, 0));
  // A code without a text of its own gives the empty text, so that the
  // caller can fall back to its own.
  EXPECT_STREQ("", ErrorTrans::getErrorString(0x7FFF0001, translated, sizeof translated, 0));
  EXPECT_STREQ("", ErrorTrans::getAdvise(MMS2_ERROR_NOT_FOUND, translated, sizeof translated, 0));
  EXPECT_STRNE("", ErrorTrans::getAdvise(ZQMM_ERR_MOUNTPATH_DDB_REFERENCE, translated, sizeof translated, 0));
}

}  // namespace
}  // namespace dbaccess
