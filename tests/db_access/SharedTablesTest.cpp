// The table access works on the same tables and transactions as the
// bindings: changes persist across calls and objects, a call inside a
// transaction that rolls back leaves nothing behind, a binding's update is
// seen by a later table-access read and the other way round, and client
// text reaches SQL only as bound values.
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "Db/Tbl/MMDrivePool.h"
#include "Db/Tbl/MMLibrary.h"
#include "Db/Tbl/MMMountPath.h"
#include "tests/db_access/AccessFixture.h"

namespace dbaccess {
namespace {

TEST_F(AccessTest, ChangesPersistAcrossCallsAndAcrossObjects) {
  {
    MMMountPathDB writer(&log);
    ASSERT_EQ(0, writer.setMaxWriters(kMP1, 3, nullptr));
    ASSERT_EQ(0, writer.setAttribute(kMP1, 0x100, nullptr));
  }
  MMMountPathDB reader(&log);
  MMMountPath_t row;
  ASSERT_EQ(0, reader.getInfo(kMP1, row, nullptr));
  EXPECT_EQ(3, row.MaxConcurrentWriters);
  EXPECT_EQ(0x100, row.Attribute);
  // And from another thread, on its own connection.
  int writers = 0;
  std::thread other([&] {
    MMMountPathDB there(nullptr);
    MMMountPath_t r;
    if (there.getInfo(kMP1, r, nullptr) == 0) writers = r.MaxConcurrentWriters;
  });
  other.join();
  EXPECT_EQ(3, writers);
}

TEST_F(AccessTest, CallsInsideATransactionThatRollsBackLeaveNothingBehind) {
  {
    DBtran tran;
    ASSERT_EQ(0, tran.startTran());
    MMLibraryDB libraries(&log);
    MMMountPathDB paths(&log);
    MMRPStoreConfigDB stores(&log);
    MMMiscDB misc(&log);
    ASSERT_EQ(0, libraries.renameLibrary(kDiskLib, "Renamed", &tran));
    ASSERT_EQ(0, libraries.setDescription(kDiskLib, "new", &tran));
    ASSERT_EQ(0, paths.setOffline(kMP1, MOUNTPATH_OFFLINE_FOR_DELETION, &tran));
    MMRPStoreConfig_t store;
    std::snprintf(store.Name, sizeof store.Name, "%s", "store");
    store.LibraryId = kDiskLib;
    store.MountPathId = kMP1;
    int id = 0;
    ASSERT_EQ(0, stores.addRPStoreConfig(store, id, &tran));
    ASSERT_EQ(0, misc.setRPStoreProp(id, "OffPeak Schedule", "<w/>", &tran));
    // Inside the transaction the changes are seen, by table access and bindings.
    MMLibrary_t row;
    ASSERT_EQ(0, libraries.getInfo(kDiskLib, row, &tran));
    EXPECT_STREQ("Renamed", row.AliasName);
    MMLibrary table(&tran);
    table.setWhere("LibraryId = %d", kDiskLib);
    ASSERT_EQ(0, getOneRow(&table, false, -1, 0));
    EXPECT_STREQ("Renamed", table.getDataPtr()->AliasName);
    ASSERT_EQ(0, tran.rollbackTran());
  }
  EXPECT_EQ("DiskLib1", db.text("SELECT AliasName FROM MMLibrary WHERE LibraryId = 1"));
  EXPECT_EQ("the disk library", db.text("SELECT Descript FROM MMLibrary WHERE LibraryId = 1"));
  EXPECT_EQ(0, scalar("SELECT IsOffline FROM MMMountPath WHERE MountPathId = 51"));
  EXPECT_EQ(0, scalar("SELECT COUNT(*) FROM MMRPStoreConfig"));
  EXPECT_EQ(0, scalar("SELECT COUNT(*) FROM MMRPStoreProp"));
}

TEST_F(AccessTest, ACallWithoutATransactionJoinsTheThreadsOpenOne) {
  DBtran tran;
  ASSERT_EQ(0, tran.startTran());
  MMMountPathDB paths(&log);
  ASSERT_EQ(0, paths.setMaxWriters(kMP2, 1, nullptr));  // no transaction given
  ZQMMmountPath remover(1);
  ASSERT_EQ(0, remover.delMountPath(kMP2, false));  // the client-info objects too
  ASSERT_EQ(0, tran.rollbackTran());
  EXPECT_EQ(5, scalar("SELECT MaxConcurrentWriters FROM MMMountPath WHERE MountPathId = 52"));
  EXPECT_EQ(2, scalar("SELECT COUNT(*) FROM MMMountPath"));
}

TEST_F(AccessTest, AFailedChangeInsideATransactionUndoesOnlyItselfAndTheTransactionGoesOn) {
  DBtran tran;
  ASSERT_EQ(0, tran.startTran());
  MMLibraryDB libraries(&log);
  ASSERT_EQ(0, libraries.setLibraryTypeId(kTapeLib, 9, &tran));
  run("CREATE TRIGGER refuseLibraryDelete BEFORE DELETE ON MMLibrary BEGIN SELECT RAISE(ABORT, 'kept'); END");
  EXPECT_EQ(-1, libraries.uninstallLibrary(kDiskLib, &tran));
  EXPECT_EQ(2, scalar("SELECT COUNT(*) FROM MMMountPath"));  // the savepoint of the uninstall went back
  ASSERT_EQ(0, tran.commitTran());
  EXPECT_EQ(9, scalar("SELECT LibraryTypeId FROM MMLibrary WHERE LibraryId = 2"));
  EXPECT_EQ(2, scalar("SELECT COUNT(*) FROM MMMountPath"));
}

TEST_F(AccessTest, ABindingUpdateIsSeenByALaterTableAccessRead) {
  // The storage-library request's update of a library through the binding.
  MMLibraryDB libraries(&log);
  MMLibrary_t row;
  ASSERT_EQ(0, libraries.getInfoByAliasName("DiskLib1", row, nullptr));
  ASSERT_TRUE(row.setAliasName("O'Neil's library"));
  row.LowWaterMarkMB = 60;
  row.ExtendedAttributes |= 0x200;
  MMLibrary table(nullptr);
  table.setWhere("LibraryId = %d", row.LibraryId);
  ASSERT_EQ(0, table.rowUpdate("LowWaterMarkMB = %d, WarningWaterMark = %d, ThresholdPercentage = %d, "
                               "ThresholdVariation = %d, ExtendedAttributes = %d, AliasName = '%s'",
                               row.LowWaterMarkMB, row.WarningWaterMark, row.ThresholdPercentage,
                               row.ThresholdVariation, row.ExtendedAttributes, row.AliasName));
  MMLibrary_t again;
  ASSERT_EQ(0, libraries.getInfo(kDiskLib, again, nullptr));
  EXPECT_STREQ("O'Neil's library", again.AliasName);
  EXPECT_EQ(60, again.LowWaterMarkMB);
  EXPECT_EQ(0x201, again.ExtendedAttributes);
  ASSERT_EQ(0, libraries.getInfoByAliasName("o'neil's LIBRARY", again, nullptr));
  EXPECT_EQ(kDiskLib, again.LibraryId);

  // A drive pool's writer limit changed through the binding's table.
  MMDrivePool pool(nullptr);
  pool.setWhere("DrivePoolId = %d", kDrivePool);
  ASSERT_EQ(0, pool.rowUpdate("MaxDrivesToSwitch = %d", 9));
  MMDrivePoolDB pools(&log);
  MMDrivePool_t* rows = nullptr;
  int count = 0;
  ASSERT_EQ(0, pools.getList(kTapeLib, kMA1, rows, count, nullptr));
  ASSERT_EQ(1, count);
  EXPECT_EQ(9, rows[0].MaxDrivesToSwitch);
  MMDrivePoolDB::DeleteList(rows, __FILE__, __LINE__);
}

TEST_F(AccessTest, ATableAccessChangeIsSeenByALaterBindingRead) {
  MMMountPathDB paths(&log);
  ASSERT_EQ(0, paths.setMountPathType(kMP2, MOUNTPATH_TYPE_RP_STORE, nullptr));
  ASSERT_EQ(0, paths.setOffline(kMP2, MOUNTPATH_OFFLINE_BY_USER, nullptr));
  MMMountPath table(nullptr);
  table.setWhere("MountPathId = %d", kMP2);
  ASSERT_EQ(0, getOneRow(&table, false, -1, 0));
  EXPECT_EQ(9, table.getDataPtr()->MountPathTypeId);
  EXPECT_EQ(1, table.getDataPtr()->IsOffline);
  EXPECT_EQ(2, table.getDataPtr()->OfflineReason);

  // A mount path created by the client-info object reads through the binding.
  MMSMountpathInfo info;
  info.libraryId = kEmptyLib;
  info.baseFolder = "Fresh";
  info.deviceId = kDevice;
  info.maxWriters = 3;
  ZQMMmountPath creator(info, 1);
  int id = 0;
  ASSERT_EQ(0, creator.addMountPath(id));
  table.setWhere("MountPathName = '%s' AND LibraryId = %d", "fresh", kEmptyLib);
  ASSERT_EQ(0, getOneRow(&table, false, -1, 0));
  EXPECT_EQ(id, table.getDataPtr()->MountPathId);
  EXPECT_EQ(3, table.getDataPtr()->MaxConcurrentWriters);
}

TEST_F(AccessTest, ClientTextInNamesReachesSqlOnlyAsBoundValues) {
  const std::vector<std::string> names = {
      "O'Neil", "'; DROP TABLE MMLibrary; --", "a''b", "100% \"quoted\" \\ name", "x' OR '1'='1",
  };
  MMLibraryDB libraries(&log);
  MMDeviceDB devices(&log);
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    ASSERT_EQ(0, libraries.renameLibrary(kEmptyLib, name.c_str(), nullptr));
    EXPECT_EQ(name, db.text("SELECT AliasName FROM MMLibrary WHERE LibraryId = 3"));
    MMLibrary_t row;
    ASSERT_EQ(0, libraries.getInfoByAliasName(name.c_str(), row, nullptr));
    EXPECT_EQ(kEmptyLib, row.LibraryId);
    EXPECT_EQ(name, std::string(row.AliasName));
    ASSERT_EQ(0, devices.renameDevice(kDevice, name.c_str(), nullptr));
    MMDevice_t device;
    ASSERT_EQ(0, devices.getInfoByAliasName(name.c_str(), device, nullptr));
    EXPECT_EQ(kDevice, device.DeviceId);
  }
  // Nothing else matched, nothing went.
  EXPECT_EQ(3, scalar("SELECT COUNT(*) FROM MMLibrary"));
  MMLibrary_t row;
  EXPECT_EQ(-1, libraries.getInfoByAliasName("x' OR '1'='1' --", row, nullptr));
  EXPECT_EQ(100, libraries.getDBError());
  // No statement of the table access carries a client text.
  for (const std::string& sql : testkit::db::statements()) {
    EXPECT_EQ(std::string::npos, sql.find("O'Neil")) << sql;
    EXPECT_EQ(std::string::npos, sql.find("DROP TABLE")) << sql;
  }
}

TEST_F(AccessTest, HostAndClientLookupsByNameTakeQuotesToo) {
  run("UPDATE APP_Client SET name = ? WHERE id = 12", {"O'Neil"});
  MMHostDB hosts(&log);
  MMHost_t host;
  ASSERT_EQ(0, hosts.getInfoByClientName("o'neil", host, nullptr));
  EXPECT_EQ(kMA2, host.ClientId);
  MMMiscDB misc(&log);
  APP_Client_t client;
  ASSERT_EQ(0, misc.getClientInfo(kMA2, client, nullptr));
  EXPECT_STREQ("O'Neil", client.name);
}

TEST_F(AccessTest, SeveralThreadsChangeAndReadAtOnce) {
  constexpr int kThreads = 4;
  constexpr int kRounds = 20;
  std::vector<std::thread> threads;
  std::vector<int> failures(kThreads, 0);
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &failures] {
      MMMountPathDB paths(nullptr);
      MMLibraryDB libraries(nullptr);
      for (int i = 0; i < kRounds; ++i) {
        if (paths.setMaxWriters(t % 2 == 0 ? kMP1 : kMP2, i, nullptr) != 0) ++failures[static_cast<size_t>(t)];
        MMLibrary_t row;
        if (libraries.getInfo(kDiskLib, row, nullptr) != 0) ++failures[static_cast<size_t>(t)];
      }
    });
  }
  for (std::thread& th : threads) th.join();
  for (int f : failures) EXPECT_EQ(0, f);
  EXPECT_EQ(kRounds - 1, scalar("SELECT MaxConcurrentWriters FROM MMMountPath WHERE MountPathId = 51"));
  EXPECT_EQ(static_cast<size_t>(kThreads * kRounds), testkit::mmdb::journal().count("MMMountPathDB::setMaxWriters"));
}

}  // namespace
}  // namespace dbaccess
