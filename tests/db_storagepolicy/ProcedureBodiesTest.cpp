// The bodies of the three list procedures over a seeded installation, and
// the walks the setup wizards and the storage-library request make over
// them, with their where clauses and updates as the handlers write them.
#include <gtest/gtest.h>
#include <strings.h>

#include <string>
#include <vector>

#include "Db/Proc/MMS2getArchGrpNCopyListByLibId.h"
#include "Db/Proc/MMS2getArchGrpNCopyListByLibIdEZ.h"
#include "Db/Proc/MMS2getMountPathListForLibAndMA.h"
#include "Db/Tbl/archGroup.h"
#include "Db/Tbl/archGroupCopy.h"
#include "Db/Tbl/archTask.h"
#include "platform/testkit/db.h"
#include "platform/testkit/debuglog.h"
#include "tests/support/RowFill.h"
#include "tests/support/Seed.h"

namespace {

// Library 1 (tape): master pool 10, drive pools 100 (agent 5) and 101
// (agent 6). Library 2 (disk, threshold 85): master pool 20, drive pool 200
// (agent 5). Library 3: nothing writes to it.
//
// Policy 1 SP_Tape (type 2): copies 11 Primary (pools 100 and 101), 12 Aux (101).
// Policy 2 SP_Tape2 (type 1): copies 21 Primary (100), 22 Secondary (200).
// Policy 3 SP_Disk (type 1): copies 31 Primary (200, dedup store, rule 30
//   days, 2 cycles, flag 8), 32 Dedup2 (200, client-side dedup bit), 33 Plain (no path).
// Policy 4 SP_Half: default copy 41 without a path, copy 42 (200).
// Policy 5 SP_Disk2: copy 51 Primary (200), no rule.
//
// Mount paths of library 2: 501 MP_A on device 801 (/mnt/a for agent 5,
// /mnt/a6 for agent 6), 502 mp_a on device 802 (/mnt/b for agent 5), 503
// MP_C on device 803 (agent 6 only), 505 MP_Offline on device 804 (two
// controllers of agent 5). Mount path 504 MP_Tape belongs to library 1.
class ListProcedures : public tktest::DatabaseTest {
 protected:
  void SetUp() override {
    using tktest::insertRows;
    insertRows(db, "MMLibrary (LibraryId, LibraryName, AliasName, ThresholdPercentage)",
               {{1, "TapeLib", "TapeLib", 0}, {2, "DiskLib", "DiskLib", 85}, {3, "EmptyLib", "EmptyLib", 0}});
    insertRows(db, "MMMasterPool (MasterPoolId, LibraryId)", {{10, 1}, {20, 2}});
    insertRows(db, "MMDrivePool (DrivePoolId, DrivePoolName, MasterPoolId, ClientId)",
               {{100, "pool100", 10, 5}, {101, "pool101", 10, 6}, {200, "pool200", 20, 5}});
    insertRows(db, "archGroup (id, name, type, defaultCopy, flags)",
               {{1, "SP_Tape", 2, 11, 0}, {2, "SP_Tape2", 1, 21, 0}, {3, "SP_Disk", 1, 31, 0}, {4, "SP_Half", 1, 41, 0},
                {5, "SP_Disk2", 1, 51, 0}});
    insertRows(db, "archGroupCopy (id, archGroupId, copy, name, SIDBStoreId, dedupeFlags, sealStoreTaskId)",
               {{11, 1, 11, "Primary", 0, 0, 0}, {12, 1, 12, "Aux", 0, 0, 0}, {21, 2, 21, "Primary", 0, 0, 0},
                {22, 2, 22, "Secondary", 0, 0, 0}, {31, 3, 31, "Primary", 7, 0, 0},
                {32, 3, 32, "Dedup2", 0, 0x40000, 0}, {33, 3, 33, "Plain", 0, 0x80000, 0},
                {41, 4, 41, "Primary", 0, 0, 0}, {42, 4, 42, "Extra", 0, 0, 0}, {51, 5, 51, "Primary", 0, 0, 0}});
    insertRows(db, "MMDataPath (CopyId, DrivePoolId)",
               {{11, 100}, {11, 101}, {12, 101}, {21, 100}, {22, 200}, {31, 200}, {32, 200}, {42, 200}, {51, 200}});
    insertRows(db, "archAgingRule (copyId, retentionDays, retentionCycles, flags)", {{31, 30, 2, 8}});
    insertRows(db, "APP_Client (id, name, net_hostname)",
               {{5, "ma5", "ma5.example.com"}, {6, "ma6", "ma6.example.com"}});
    insertRows(db, "MMDevice (DeviceId, DeviceTypeId)", {{801, 3}, {802, 3}, {803, 4}, {804, 3}});
    insertRows(db, "MMMediaSide (MediaSideId, MediaId)", {{601, 701}});
    insertRows(db, "MMDrive (DriveId, DriveName, MasterPoolId, MediaId)", {{1001, "drive1001", 20, 701}});
    insertRows(db,
               "MMMountPath (MountPathId, MountPathName, LibraryId, MasterPoolId, MediaSideId, MountPathTypeId, "
               "IsEnabled, IsOffline, OfflineReason, MagneticSpaceRsrvInMB, MaxDataToWriteMB)",
               {{501, "MP_A", 2, 20, 601, 1, 1, 0, 0, 2048, 500}, {502, "mp_a", 2, 20, 0, 7, 1, 0, 0, 0, 0},
                {503, "MP_C", 2, 20, 0, 1, 1, 0, 0, 0, 0}, {504, "MP_Tape", 1, 10, 0, 1, 1, 0, 0, 0, 0},
                {505, "MP_Offline", 2, 20, 0, 1, 0, 1, 4, 0, 0}});
    insertRows(db, "MMMountPathToStorageDevice (MountPathId, DeviceId)",
               {{501, 801}, {502, 802}, {503, 803}, {504, 801}, {505, 804}});
    insertRows(db, "MMDeviceController (DeviceControllerId, ClientId, DeviceId, Folder, DeviceControllerEnabled)",
               {{901, 5, 801, "/mnt/a", 1}, {902, 5, 802, "/mnt/b", 1}, {903, 6, 803, "/mnt/c", 1},
                {904, 6, 801, "/mnt/a6", 1}, {906, 5, 804, "/second", 1}, {905, 5, 804, "/first", 1}});
  }
};

// --- MMS2getArchGrpNCopyListByLibId -----------------------------------------------------

struct PolicyCopy {
  int groupId;
  std::string groupName;
  int copyId;
  std::string copyName;
  std::string gName;
  bool operator==(const PolicyCopy&) const = default;
};

std::ostream& operator<<(std::ostream& os, const PolicyCopy& r) {
  return os << "{" << r.groupId << " " << r.groupName << " " << r.copyId << " " << r.copyName << " " << r.gName
            << "}";
}

std::vector<PolicyCopy> policyCopies(int libraryId, int* lastRc = nullptr) {
  MMS2getArchGrpNCopyListByLibId list(nullptr);
  list.setIsolationType(4);
  list.setValues(libraryId);
  std::vector<PolicyCopy> out;
  int count = 0;
  int rc;
  while ((rc = getNextRow(&list, &count, -1, 0)) == 0) {
    const MMS2getArchGrpNCopyListByLibId_t* r = list.getDataPtr();
    out.push_back({r->groupId, r->groupName, r->copyId, r->copyName, r->gName});
  }
  if (lastRc != nullptr) *lastRc = rc;
  return out;
}

TEST_F(ListProcedures, PoliciesAndCopiesOfALibraryInIdOrderInBothModes) {
  tktest::forBothModes([&](int) {
    int rc = 0;
    EXPECT_EQ((std::vector<PolicyCopy>{{1, "SP_Tape", 11, "Primary", "SP_Tape/Primary"},
                                       {1, "SP_Tape", 12, "Aux", "SP_Tape/Aux"},
                                       {2, "SP_Tape2", 21, "Primary", "SP_Tape2/Primary"}}),
              policyCopies(1, &rc));
    EXPECT_EQ(100, rc);
    EXPECT_EQ((std::vector<PolicyCopy>{{2, "SP_Tape2", 22, "Secondary", "SP_Tape2/Secondary"},
                                       {3, "SP_Disk", 31, "Primary", "SP_Disk/Primary"},
                                       {3, "SP_Disk", 32, "Dedup2", "SP_Disk/Dedup2"},
                                       {4, "SP_Half", 42, "Extra", "SP_Half/Extra"},
                                       {5, "SP_Disk2", 51, "Primary", "SP_Disk2/Primary"}}),
              policyCopies(2));
    for (int library : {3, 99, 0, -1}) {
      EXPECT_TRUE(policyCopies(library, &rc).empty()) << library;
      EXPECT_EQ(100, rc);
    }
  });
}

// The tape-library setup wizard: walk the list, read each row's policy by
// id, and take the first whose type is 1.
struct TapePolicy {
  int walkRc = 0;     // result that ended the walk (0 when a policy was found)
  int lookupRc = 0;   // result of the failed policy read, if one failed
  int groupId = 0;
  int copyId = 0;
  std::string groupName;
};

TapePolicy findTapePolicy(int libraryId) {
  TapePolicy found;
  MMS2getArchGrpNCopyListByLibId list(nullptr);
  list.setIsolationType(4);
  list.setValues(libraryId);
  int count = 0;
  while ((found.walkRc = getNextRow(&list, &count, -1, 0)) == 0) {
    const MMS2getArchGrpNCopyListByLibId_t* row = list.getDataPtr();
    ArchGroup policy(nullptr);
    policy.setWhere("id = %d", row->groupId);
    int rc = getOneRow(&policy, false, -1, 0);
    if (rc != 0) {
      found.lookupRc = rc;
      break;
    }
    if (policy.getDataPtr()->type != 1) continue;
    found.groupId = row->groupId;
    found.copyId = row->copyId;
    found.groupName = row->groupName;
    break;
  }
  return found;
}

TEST_F(ListProcedures, TheTapeWizardFindsTheFirstPolicyOfTypeOne) {
  TapePolicy p = findTapePolicy(1);
  EXPECT_EQ(0, p.walkRc);
  EXPECT_EQ(2, p.groupId);
  EXPECT_EQ(21, p.copyId);
  EXPECT_EQ("SP_Tape2", p.groupName);

  p = findTapePolicy(3);
  EXPECT_EQ(100, p.walkRc);
  EXPECT_EQ(0, p.groupId);

  // A failed policy read ends the walk: a later policy of type 1 does not count.
  testkit::db::journal().injectFailure("getOneRow", 204, "locked");
  p = findTapePolicy(1);
  EXPECT_EQ(0, p.walkRc);
  EXPECT_EQ(204, p.lookupRc);
  EXPECT_EQ(0, p.groupId);

  // No policy of type 1: the walk runs to its end.
  ASSERT_EQ(0, db.exec("UPDATE archGroup SET type = 2 WHERE id = 2"));
  p = findTapePolicy(1);
  EXPECT_EQ(100, p.walkRc);
  EXPECT_EQ(0, p.groupId);
}

// --- MMS2getArchGrpNCopyListByLibIdEZ -------------------------------------------------

struct DiskPolicy {
  int id;
  std::string name;
  int dedupCopies;
  int copyId;
  std::string copyName;
  int days;
  int cycles;
  int capacity;
  int autoManage;
  bool operator==(const DiskPolicy&) const = default;
};

std::ostream& operator<<(std::ostream& os, const DiskPolicy& r) {
  return os << "{" << r.id << " " << r.name << " " << r.dedupCopies << " " << r.copyId << " " << r.copyName << " "
            << r.days << " " << r.cycles << " " << r.capacity << " " << r.autoManage << "}";
}

DiskPolicy diskPolicyOf(const MMS2getArchGrpNCopyListByLibIdEZ_t& r) {
  return {r.o_ArchGroupId,  r.o_ArchGroupName,   r.o_NumDedupCopies, r.o_DefaultCopyId,  r.o_DefaultCopyName,
          r.o_RetentionDays, r.o_RetentionCycles, r.o_DiskCapacity,   r.o_AutoManageDisk};
}

std::vector<DiskPolicy> diskPolicies(int libraryId, int flag) {
  MMS2getArchGrpNCopyListByLibIdEZ list(nullptr);
  list.setValues(libraryId, flag);
  std::vector<DiskPolicy> out;
  int count = 0;
  while (getNextRow(&list, &count, -1, 0) == 0) out.push_back(diskPolicyOf(*list.getDataPtr()));
  return out;
}

TEST_F(ListProcedures, DiskPoliciesWhoseDefaultCopyWritesToTheLibrary) {
  std::vector<DiskPolicy> want{{3, "SP_Disk", 2, 31, "Primary", 30, 2, 85, 1},
                               {5, "SP_Disk2", 0, 51, "Primary", 0, 0, 85, 0}};
  EXPECT_EQ(want, diskPolicies(2, 1));
  EXPECT_EQ(want, diskPolicies(2, 0)) << "the switch does not change the rows";
  EXPECT_EQ((std::vector<DiskPolicy>{{1, "SP_Tape", 0, 11, "Primary", 0, 0, 0, 0},
                                     {2, "SP_Tape2", 0, 21, "Primary", 0, 0, 0, 0}}),
            diskPolicies(1, 1));
  EXPECT_TRUE(diskPolicies(3, 1).empty());
  EXPECT_TRUE(diskPolicies(404, 0).empty());
}

// Reporting disk libraries: one object, bound again for each library, one
// row each; the first fetch after a binding runs the procedure afresh.
TEST_F(ListProcedures, OneObjectReportsEveryDiskLibrary) {
  MMS2getArchGrpNCopyListByLibIdEZ list(nullptr);
  struct Case {
    int library;
    int rc;
    int policy;
  } cases[] = {{2, 0, 3}, {1, 0, 1}, {3, 100, 0}, {2, 0, 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.library);
    list.setValues(c.library, 1);
    int count = 0;
    int rc = getNextRow(&list, &count, -1, 0);
    EXPECT_EQ(c.rc, rc);
    if (rc == 0) {
      EXPECT_EQ(c.policy, list.getDataPtr()->o_ArchGroupId);
    }
  }
  EXPECT_EQ(4u, testkit::db::journal().count("procedure"));
}

// Configuring a disk library after a mount path was added: the first row's
// policy gets its flags, and with deduplication copies asked a seal-store
// task, whose id goes into the default copy.
TEST_F(ListProcedures, TheDiskWizardConfiguresThePolicyOfTheFirstRow) {
  MMS2getArchGrpNCopyListByLibIdEZ list(nullptr);
  list.setValues(2, 0);
  int count = 0;
  ASSERT_EQ(0, getNextRow(&list, &count, -1, 0));
  // The handler copies out what it needs before the object goes.
  struct {
    int o_ArchGroupId, o_DefaultCopyId, o_NumDedupCopies;
  } row{list.getDataPtr()->o_ArchGroupId, list.getDataPtr()->o_DefaultCopyId, list.getDataPtr()->o_NumDedupCopies};
  ASSERT_EQ(3, row.o_ArchGroupId);
  ASSERT_EQ(31, row.o_DefaultCopyId);
  ASSERT_GT(row.o_NumDedupCopies, 0);

  ArchGroup policy(nullptr);
  policy.setWhere("id = %d", row.o_ArchGroupId);
  ASSERT_EQ(0, policy.rowUpdate("flags = flags | %d", row.o_NumDedupCopies > 0 ? 544 : 160));

  ArchTask task(nullptr);
  ArchTask_t taskRow;
  task.setValues(&taskRow);
  ASSERT_EQ(0, task.rowInsert(true));
  int taskId = task.getDataPtr()->id;
  ASSERT_GT(taskId, 0);

  ArchGroupCopy copy(nullptr);
  copy.setWhere("id = %d", row.o_DefaultCopyId);
  ASSERT_EQ(0, copy.rowUpdate("dedupeFlags = (dedupeFlags | %d), sealStoreTaskId = %d", 786432, taskId));

  EXPECT_EQ(0x220, db.scalar("SELECT flags FROM archGroup WHERE id = 3"));
  EXPECT_EQ(0xC0000, db.scalar("SELECT dedupeFlags FROM archGroupCopy WHERE id = 31"));
  EXPECT_EQ(taskId, db.scalar("SELECT sealStoreTaskId FROM archGroupCopy WHERE id = 31"));
  EXPECT_EQ(1, db.scalar("SELECT COUNT(*) FROM archTask"));
  // The report afterwards still counts the same two deduplicating copies.
  EXPECT_EQ(2, diskPolicies(2, 1).at(0).dedupCopies);
}

TEST_F(ListProcedures, NamesOfPoliciesAndCopiesComeBackAsStored) {
  ASSERT_EQ(0, db.exec("UPDATE archGroup SET name = ? WHERE id = 3", {"Vault 'North' 100%"}));
  ASSERT_EQ(0, db.exec("UPDATE archGroupCopy SET name = ? WHERE id = 31", {"Primäre Kopie"}));
  std::vector<DiskPolicy> rows = diskPolicies(2, 1);
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ("Vault 'North' 100%", rows[0].name);
  EXPECT_EQ("Primäre Kopie", rows[0].copyName);
}

// --- MMS2getMountPathListForLibAndMA --------------------------------------------------------

std::vector<int> mountPathIds(int libraryId, int mediaAgentId) {
  MMS2getMountPathListForLibAndMA list(nullptr);
  list.setIsolationType(4);
  list.setValues(libraryId, mediaAgentId);
  std::vector<int> ids;
  int count = 0;
  while (getNextRow(&list, &count, -1, 0) == 0) ids.push_back(list.getDataPtr()->o_mountPathId);
  return ids;
}

TEST_F(ListProcedures, MountPathsOfALibraryThatAnAgentReaches) {
  EXPECT_EQ((std::vector<int>{501, 502, 505}), mountPathIds(2, 5));
  EXPECT_EQ((std::vector<int>{501, 503}), mountPathIds(2, 6));
  EXPECT_EQ((std::vector<int>{504}), mountPathIds(1, 5));
  EXPECT_TRUE(mountPathIds(2, 99).empty());
  EXPECT_TRUE(mountPathIds(99, 5).empty());
  EXPECT_TRUE(mountPathIds(3, 5).empty());
}

TEST_F(ListProcedures, AMountPathRowCarriesEveryColumn) {
  MMS2getMountPathListForLibAndMA list(nullptr);
  list.setValues(2, 5);
  int count = 0;
  ASSERT_EQ(0, getNextRow(&list, &count, -1, 0));
  EXPECT_EQ((tkdb::DbRow{501, "MP_A", "/mnt/a", 1, 0, 0, 0, 1, 701, 5, "ma5", "ma5.example.com", 0, 0, 0, 0, 0, 0,
                         0, 1001, 3, 2048, 500, 0}),
            tktest::rowValues(*list.getDataPtr()));

  // 502 has no media side: medium and drive read 0; its type is kept.
  ASSERT_EQ(0, getNextRow(&list, &count, -1, 0));
  EXPECT_EQ(502, list.getDataPtr()->o_mountPathId);
  EXPECT_EQ(7, list.getDataPtr()->o_mountPathType);
  EXPECT_EQ(0, list.getDataPtr()->o_mediaId);
  EXPECT_EQ(0, list.getDataPtr()->o_driveId);

  // 505: offline, disabled, one row although the agent has two controllers
  // for its device; the controller of the lower id gives the folder.
  ASSERT_EQ(0, getNextRow(&list, &count, -1, 0));
  EXPECT_EQ(505, list.getDataPtr()->o_mountPathId);
  EXPECT_EQ(0, list.getDataPtr()->o_isEnabled);
  EXPECT_EQ(1, list.getDataPtr()->o_isOffline);
  EXPECT_EQ(4, list.getDataPtr()->o_offlineReason);
  EXPECT_STREQ("/first", list.getDataPtr()->o_baseFolder);
  EXPECT_EQ(100, getNextRow(&list, &count, -1, 0));
}

TEST_F(ListProcedures, AnAgentWithoutAClientRowStillSeesItsMountPaths) {
  ASSERT_EQ(0, db.exec("DELETE FROM APP_Client"));
  ASSERT_EQ(0, db.exec("DELETE FROM MMDevice"));
  MMS2getMountPathListForLibAndMA list(nullptr);
  list.setValues(2, 6);
  int count = 0;
  ASSERT_EQ(0, getNextRow(&list, &count, -1, 0));
  EXPECT_EQ(501, list.getDataPtr()->o_mountPathId);
  EXPECT_STREQ("/mnt/a6", list.getDataPtr()->o_baseFolder);
  EXPECT_STREQ("", list.getDataPtr()->o_clientName);
  EXPECT_EQ(0, list.getDataPtr()->o_deviceTypeId);
}

// The storage-library request: the first row whose name matches ignoring
// case and, when a folder is given, whose base folder matches too.
struct MountPathMatch {
  int id = 0;
  int type = 0;
};

MountPathMatch findMountPath(int libraryId, int mediaAgentId, const char* name, const char* folder) {
  MountPathMatch m;
  MMS2getMountPathListForLibAndMA list(nullptr);
  list.setIsolationType(4);
  list.setValues(libraryId, mediaAgentId);
  int status = 0;
  while (getNextRow(&list, &status, -1, 0) == 0) {
    const MMS2getMountPathListForLibAndMA_t* row = list.getDataPtr();
    if (strcasecmp(row->o_mountPathName, name) == 0 &&
        (folder[0] == '\0' || strcasecmp(row->o_baseFolder, folder) == 0)) {
      m.id = row->o_mountPathId;
      m.type = row->o_mountPathType;
      break;
    }
  }
  return m;
}

TEST_F(ListProcedures, TheStorageLibraryRequestFindsAMountPathByNameAndFolder) {
  struct Case {
    int agent;
    const char* name;
    const char* folder;
    int id;
    int type;
  } cases[] = {
      {5, "MP_A", "", 501, 1},         // the first of two rows of that name
      {5, "mp_a", "", 501, 1},         // names differ only in letter case
      {5, "MP_A", "/MNT/B", 502, 7},   // the folder picks the second
      {5, "mp_a", "/mnt/a", 501, 1},
      {5, "MP_A", "/mnt/zz", 0, 0},    // no such folder
      {5, "MP_C", "", 0, 0},           // agent 5 does not reach it
      {6, "mp_c", "/MNT/C", 503, 1},
      {6, "MP_A", "/mnt/a", 0, 0},     // agent 6 reaches 501 under /mnt/a6
      {5, "MP_Tape", "", 0, 0},        // another library's mount path
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " " + c.folder);
    MountPathMatch m = findMountPath(2, c.agent, c.name, c.folder);
    EXPECT_EQ(c.id, m.id);
    EXPECT_EQ(c.type, m.type);
  }
}

TEST_F(ListProcedures, MountPathNamesAndFoldersOfFullLengthComeBackWhole) {
  std::string name(4096, 'm');
  std::string folder = "/" + std::string(1023, 'f');  // the controller's folder holds 1,024 characters
  ASSERT_EQ(0, db.exec("UPDATE MMMountPath SET MountPathName = ? WHERE MountPathId = 503", {name}));
  ASSERT_EQ(0, db.exec("UPDATE MMDeviceController SET Folder = ? WHERE DeviceControllerId = 903", {folder}));
  std::string upperFolder = "/" + std::string(1023, 'F');
  MountPathMatch m = findMountPath(2, 6, std::string(4096, 'M').c_str(), upperFolder.c_str());
  EXPECT_EQ(503, m.id);
  EXPECT_EQ(0, findMountPath(2, 6, std::string(4095, 'm').c_str(), "").id) << "a prefix is no match";
}

// --- bodies refuse calls they cannot answer --------------------------------------------------

TEST_F(ListProcedures, ABodyCalledWithTheWrongInputsRefusesAndSaysWhy) {
  testkit::debuglog::Capture log;
  DBtable::b_newDBBase = 0;
  MMS2getArchGrpNCopyListByLibIdEZ call(nullptr);
  call.valuesClauseCheck(14);
  call.CallDBsprintfWrapper("%d", 2);  // one input where the body takes two
  int count = 0;
  int rc = getNextRow(&call, &count, -1, 0);
  EXPECT_NE(0, rc);
  EXPECT_NE(100, rc);
  EXPECT_TRUE(log.contains("takes two inputs (library id, switch), not 1"));
}

}  // namespace
