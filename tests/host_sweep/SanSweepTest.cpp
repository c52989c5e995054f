// SAN volumes, replicas, snapshots, file-level recovery, continuous
// replication, replication policies and scratch pools, swept through the
// host. The SAN volume host of the demonstration lives in memory, so these
// hosts start with --seed-demo; it leaves a stored configuration alone.
#include <gtest/gtest.h>

#include "tests/host_sweep/Sweep.h"

namespace sweeptest {
namespace {

// The /dev/sdb volume the demonstration's SAN host reports, recorded.
constexpr const char* kRecordSdb =
    "san-discover 101 sanhost1\nonMsgSetSANVolume 11602=idtext:101:sanhost1 11615=scsi-3600a0b800012 11606=3 "
    "11608=u64:0 11619=512 11633=hdr12:0,101,1:/dev/sdb 11607=0 11614=u64:4194304 11613=0 11742=0 11675=ext4 "
    "11653=hdr12:0,101,1:/data 4106=2 4001=48 2052=0";

constexpr const char* kAddGold =
    "onMsgManageReplicationPolicies 4001=1 11642=idtext:0:gold 11644=30 11643=idtext:2: 11645=0 11741=0 2052=0";
constexpr const char* kAddMail =
    "onMsgManageQRUserApps 4001=1 4106=2 11761=84 11760=Mail 11759=mail 11762=resume.sh 11763=suspend.sh 2052=0";

// A SAN volume of the replica tables (volume 1) and a scratch-volume pool
// (pool 1), as the replication service would have written them.
constexpr const char* kVolume =
    "INSERT INTO \"SNRVolume\" (\"deviceId\", \"deviceIdType\", \"volumeType\") VALUES ('v', 2, 1);";
constexpr const char* kPool = "INSERT INTO \"RVScratchVolumePool\" (\"poolName\", \"poolType\") VALUES ('pool', 1);";

// A consistency point of replica set 5 with one snapshot, "snap1".
constexpr const char* kSnapshot =
    "INSERT INTO \"FLRConsistencyPoint\" (\"flrSetId\") VALUES (5); INSERT INTO \"FLRSnapshot\" (\"cpId\", "
    "\"snapName\", \"snapVolumeName\", \"engineType\") VALUES (1, 'snap1', 'E:', 2);";

constexpr const char* kReplica =
    "INSERT INTO \"ReplicationVolume\" (\"replicaId\", \"primaryVolumeId\", \"physicalVolumeId\") VALUES (42, 1, 2);";

Row san(const std::string& proves, const std::string& request, const std::string& change, const std::string& readBack,
        std::vector<std::string> shows) {
  Row row{proves, request, change, readBack, std::move(shows)};
  row.outsideWorld = true;
  return row;
}

}  // namespace

std::vector<Row> sanRows() {
  std::vector<Row> rows;
  rows.push_back(san("a discovered SAN volume host's volumes are not recorded by discovery", "onMsgSetSANVolumeHost",
                     "san-discover 101 sanhost1", "san-volumes 101", {"reply 11604", "!/dev/sdb"}));
  rows.push_back(san("a SAN volume recorded by operation 48 is listed", "onMsgSetSANVolume", kRecordSdb,
                     "san-volumes 101", {"/dev/sdb", "scsi-3600a0b800012"}));
  rows.push_back(
      san("a SAN volume deleted by operation 2 is gone", "onMsgSetSANVolume",
          joined(kRecordSdb, "\nonMsgSetSANVolume 11633=hdr12:1,101,0:/dev/sdb 11618=1 4106=2 4001=2 2052=0"),
          "san-volumes 101", {"reply 11604", "!/dev/sdb"}));
  rows.push_back(
      san("a SAN volume's access path and history name set by operation 3 are stored", "onMsgSetSANVolume",
          joined(kRecordSdb,
              "\nonMsgSetSANVolume 11618=1 11633=hdr12:1,101,0:/dev/sdb 11773=s:/export/b 11724=s:history-b 4106=2 "
              "4001=3 2052=0"),
          "", {}));
  rows.back().rowQuery =
      "SELECT (SELECT \"accessPath\" FROM \"SNRVolumeDeviceNameFull\" WHERE \"volumeId\" = 1) || ',' || "
      "(SELECT \"historyName\" FROM \"QuillmereHistoryName\" WHERE \"volumeId\" = 1)";
  rows.back().rowValue = "/export/b,history-b";
  rows.push_back(san("a SAN volume's access path and history name sent without its device name are refused",
                     "onMsgSetSANVolume",
                     joined(kRecordSdb,
                         "\nonMsgSetSANVolume 11618=1 11773=s:/export/b 11724=s:history-b 11712=1 4106=2 4001=3 2052=0"),
                     "", {}));
  rows.back().rowQuery =
      "SELECT IFNULL((SELECT \"accessPath\" FROM \"SNRVolumeDeviceNameFull\" WHERE \"volumeId\" = 1), '') || ',' || "
      "(SELECT COUNT(*) FROM \"QuillmereHistoryName\")";
  rows.back().rowValue = ",0";
  rows.back().changeExit = 3;
  rows.push_back(san("a snapshot mounted on a volume records its mount point", "onMsgVolumeMountPointCommand",
                     "onMsgVolumeMountPointCommand 11633=hdr12:1,101,0:E: 11653=hdr12:0,101,1:/mnt/snap 11675=NTFS "
                     "4106=2 4001=1 2052=0",
                     "", {}));
  rows.back().before =
      "INSERT INTO \"SNRVolumeDeviceName\" (\"hostId\", \"deviceName\") VALUES (101, 'E:'); INSERT INTO "
      "\"VSSSnapDevice\" (\"deviceNameId\", \"snapshotText1\", \"snapshotText2\") VALUES (1, 'src-dev', '{ssid-1}');";
  rows.back().rowQuery = "SELECT \"deviceNameId\" || ',' || \"mountPath\" FROM \"SNRVolumeMountPoint\"";
  rows.back().rowValue = "1,/mnt/snap";
  rows.push_back(san("a reserved SAN volume is marked reserved", "onMsgReserveSnrVolume",
                     "onMsgReserveSnrVolume 11618=1 4106=2 2052=0", "", {}));
  rows.back().before = kVolume;
  rows.back().rowQuery = "SELECT \"reserved\" FROM \"SNRVolume\" WHERE \"volumeId\" = 1";
  rows.back().rowValue = "1";
  rows.push_back(san("an updated replica keeps its new state", "onMsgUpdateReplica",
                     "onMsgUpdateReplica 4106=2 11626=42 11631=2 11688=2 2052=0", "", {}));
  rows.back().before = kReplica;
  rows.back().rowQuery = "SELECT COUNT(*) FROM \"ReplicationVolume\" WHERE \"replicaId\" = 42";
  rows.back().rowValue = "1";
  rows.push_back(
      san("a released replica is gone", "onMsgReleaseReplica", "onMsgReleaseReplica first=2 count=42", "", {}));
  rows.back().before = kReplica;
  rows.back().rowQuery = "SELECT COUNT(*) FROM \"ReplicationVolume\" WHERE \"replicaId\" = 42";
  rows.back().rowValue = "0";
  rows.push_back(san("a consistency point deleted for file-level recovery is gone with its snapshot",
                     "onMsgManageFLRCP", "onMsgManageFLRCP 4106=2 4001=2 11806=1 2052=0", "", {}));
  rows.back().before = kSnapshot;
  rows.back().rowQuery =
      "SELECT (SELECT COUNT(*) FROM \"FLRConsistencyPoint\") || ',' || (SELECT COUNT(*) FROM "
      "\"FLRSnapshot\")";
  rows.back().rowValue = "0,0";
  rows.push_back(san("a snapshot mounted for file-level recovery records its mount point",
                     "onMsgManageFLRSnapshotMount",
                     "onMsgManageFLRSnapshotMount 4106=2 4001=1 11602=idtext:101:sanhost1 11810=1 11811=s:snap1 "
                     "11812=idtext:0:/mnt/snap1 11821=s:E: 2052=0",
                     "", {}));
  rows.back().before = kSnapshot;
  rows.back().rowQuery = "SELECT \"snapId\" || ',' || \"mountPath\" FROM \"FLRSnapMountPoint\"";
  rows.back().rowValue = "1,/mnt/snap1";
  rows.push_back(san("a mounted snapshot shared for file-level recovery records its share",
                     "onMsgManageFLRSnapshotNetworkShare",
                     "onMsgManageFLRSnapshotNetworkShare 4106=2 4001=1 11602=idtext:101:sanhost1 "
                     "11812=idtext:1:/mnt/snap1 11813=idtext:0:share1 11817=10 2052=0",
                     "", {}));
  rows.back().before = joined(kSnapshot,
                       "INSERT INTO \"FLRSnapMountPoint\" (\"snapId\", \"mountPath\") VALUES (1, '/mnt/snap1');");
  rows.back().rowQuery = "SELECT \"mountPointId\" || ',' || \"shareName\" FROM \"FLRSnapNetworkShare\"";
  rows.back().rowValue = "1,share1";
  rows.push_back(san("a user application added is listed", "onMsgManageQRUserApps", kAddMail, "onMsgGetQRUserApps",
                     {"resume.sh"}));
  rows.push_back(san("a snapshot import is started", "onMsgImportSnapshotCommand",
                     "onMsgImportSnapshotCommand 11756=s:D:=E: 11771=idtext:101:sanhost1 11772=idtext:9:source1 "
                     "4106=2 2052=0",
                     "", {}));
  rows.push_back(san("a device configured for continuous replication is stored configured",
                     "onMsgConfigureDeviceCommand",
                     "onMsgConfigureDeviceCommand 4001=48 11633=hdr12:1,101,0:/dev/sdb 11733=64 11712=1 11736=16 "
                     "11735=1 11780=0 11787=1 2052=0",
                     "", {}));
  rows.back().before = "INSERT INTO \"SNRVolumeDeviceName\" (\"hostId\", \"deviceName\") VALUES (101, '/dev/sdb');";
  rows.back().rowQuery = "SELECT \"deviceConfigured\" FROM \"SNRVolumeDeviceNameFull\"";
  rows.back().rowValue = "1";
  rows.push_back(san("an appliance added is listed", "onMsgManageQRAppliance",
                     "onMsgManageQRAppliance 4001=1 11708=idtext:0:qm1 2052=0", "onMsgGetQRAppliances",
                     {"tag 11708 (appliance) len 7: 1 \"qm1\""}));
  rows.push_back(san("a continuous-replication volume protected is stored", "onMsgManageQuillmereVolume",
                     "onMsgManageQRAppliance 4001=1 11708=idtext:0:qm1 2052=0\nonMsgManageQuillmereVolume 4106=2 "
                     "4001=109 2009=101 11715=qm1 11716=idtext:1:vol1 2052=0",
                     "", {}));
  rows.back().before =
      "INSERT INTO \"SNRVolume\" (\"deviceId\", \"lun\", \"applianceId\", \"fsType\") VALUES "
      "('naa.700', 2, 1, 'xfs');";
  rows.back().rowQuery = "SELECT \"qmProtected\" || ',' || \"qmState\" FROM \"SNRVolume\" WHERE \"volumeId\" = 1";
  rows.back().rowValue = "1,1";
  // The device is configured on the client, which the demonstration keeps
  // in the host's memory and makes anew at each start: after a restart the
  // listing is asked again and is empty, as the client is new.
  rows.push_back(san(
      "a continuous-replication device configured is listed by the client", "onMsgConfigureQuillmereDevice",
      "onMsgManageQRAppliance 4001=1 11708=idtext:0:qm1 2052=0\nonMsgConfigureQuillmereDevice 4001=1 "
      "2009=101 11715=qm1 11721=idtext:4:q1 11721=idtext:1:m-new 2052=0",
      "onMsgGetQuillmereDevices body=101 body=4 body=s:qm1", {"tag 11721 (Quillmere device) len 12: 4 \"q1-m-new\""}));
  rows.back().restartShows = {"reply 11720", "!q1-m-new"};
  rows.push_back(san("a replication policy added is listed", "onMsgManageReplicationPolicies", kAddGold,
                     "onMsgGetReplicationPolicies",
                     {"tag 11642 (replication policy) len 8: 1 \"gold\"", "tag 11644 (retention period) len 4: 30"}));
  rows.push_back(san("a deleted replication policy is gone", "onMsgManageReplicationPolicies",
                     joined(kAddGold, "\nonMsgManageReplicationPolicies 4001=2 11642=idtext:1: 4004=0 2052=0"),
                     "onMsgGetReplicationPolicies", {"!\"gold\""}));
  rows.push_back(san("a deleted appliance is gone", "onMsgManageQRAppliance",
                     "onMsgManageQRAppliance 4001=1 11708=idtext:0:qm1 2052=0\nonMsgManageQRAppliance 4001=2 "
                     "11708=idtext:1:qm1 2052=0",
                     "onMsgGetQRAppliances", {"!\"qm1\""}));
  rows.push_back(san("a deleted user application is gone", "onMsgManageQRUserApps",
                     joined(kAddMail, "\nonMsgManageQRUserApps 4001=2 4106=2 11764=1 2052=0"),
                     "onMsgGetQRUserApps", {"!resume.sh"}));
  rows.push_back(san("a volume's snapshot parameters read back", "onMsgManageVolumeSnapParams",
                     joined(kRecordSdb,
                         "\nonMsgManageVolumeSnapParams 4106=2 4001=1 11618=1 11643=idtext:4:x 11672=21 11674=22 "
                         "11673=23 2052=0"),
                     "onMsgGetVolumeSnapParams first=2 count=1", {"21"}));
  rows.push_back(san("a scratch-volume pool added is stored with its type", "onMsgManageRVScratchVolumePools",
                     "onMsgManageRVScratchVolumePools 4106=2 4001=1 11625=idtext:0:pool1 11740=3 2052=0", "", {}));
  rows.back().rowQuery = "SELECT \"poolName\" || ',' || \"poolType\" FROM \"RVScratchVolumePool\"";
  rows.back().rowValue = "pool1,3";
  rows.push_back(san("a scratch-volume pool renamed by operation 3 is stored", "onMsgManageRVScratchVolumePools",
                     "onMsgManageRVScratchVolumePools 4106=2 4001=3 11625=idtext:1:renamed 2052=0", "", {}));
  rows.back().before = kPool;
  rows.back().rowQuery = "SELECT \"poolName\" FROM \"RVScratchVolumePool\"";
  rows.back().rowValue = "renamed";
  rows.push_back(san("a scratch volume added to a pool is stored", "onMsgManageRVScratchVolumes",
                     "onMsgManageRVScratchVolumes 4106=2 4001=1 11618=1 11625=idtext:1:pool 2052=0", "", {}));
  rows.back().before = std::string(kVolume) + kPool;
  rows.back().rowQuery = "SELECT \"volumeId\" || ',' || \"poolId\" FROM \"RVScratchVolume\"";
  rows.back().rowValue = "1,1";
  // 100,000 volumes of the host before this one: the listing is whole,
  // never cut short, however it is split (or it fails naming the limit).
  rows.push_back(san("a SAN volume recorded beside 100,000 others is listed whole", "onMsgSetSANVolume", kRecordSdb,
                     "san-volumes 101", {"!ends cut short"}));
  rows.back().before =
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 100000) "
      "INSERT INTO \"SNRVolume\" (\"deviceId\", \"deviceIdType\", \"volumeType\") SELECT 'bulk' || i, 2, 1 FROM n; "
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 100000) "
      "INSERT INTO \"SNRVolumeDeviceName\" (\"hostId\", \"deviceName\") SELECT 101, '/dev/bulk' || i FROM n; "
      "INSERT INTO \"SNRVolumeDeviceNameEx\" (\"deviceNameId\", \"volumeId\", \"deviceConfigured\") "
      "SELECT \"deviceNameId\", \"deviceNameId\", 1 FROM \"SNRVolumeDeviceName\";";
  return rows;
}

const bool kSanRowsListed = listFamily("EverySanChangeAnsweredSuccessReadsBackAfterAReReadAndARestart", &sanRows);
TEST(HostSweep, EverySanChangeAnsweredSuccessReadsBackAfterAReReadAndARestart) { sweep(sanRows()); }

}  // namespace sweeptest
