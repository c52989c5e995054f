// Disk libraries, mount paths, disk devices and volumes, DRU hosts, archive
// clusters and the storage-library and device-path XML requests, swept
// through the host.
#include <gtest/gtest.h>

#include <array>
#include <tuple>

#include "tests/host_sweep/Sweep.h"

namespace sweeptest {
namespace {

constexpr const char* kMountPaths = "libraries\nmount-paths {h:(library) len 12: 2 \"DiskLib1\"}\n";
constexpr const char* kSettingOf = "SELECT \"Value\" FROM \"MMObjectSetting\" WHERE \"Name\" = ";

constexpr const char* kAddDru = "onMsgSetDRUHost 4001=48 11420=idtext:0:dru-a 11425=s:operator 11427=7000 2052=0";
constexpr const char* kAddArchive =
    "onMsgSetCenteraCluster 4001=48 11400=idtext:0:Arc1 11411=s:cas-Arc1 11405=s:ID-Arc1 11406=s:5000 11407=s:4.0 "
    "11408=s:10.0.0.1 2052=0";

constexpr const char* kAddShare =
    "onMsgSetDiskVolume 4001=1 2048=idtext:1:ma1 11041=s://nas1/share 2401=enc:backup 2402=enc:s3cret 2052=0";
// The volumes of the network share's device.
constexpr const char* kShareVolumes = "onMsgGetDiskDevices\nonMsgGetDiskVolumes handle={h:\"DiskDevice_1\"}\n";

// A fourth mount path of DiskLib1 on ma1: mount path 3.
constexpr const char* kAddMp3 = "storage-library 43=4 8=DiskLib1 3=ma1 24=/srv/disklib1/mp3 60=mp3\n";

Row storageLibrary(const std::string& proves, const std::string& change, const std::string& readBack,
                   std::vector<std::string> shows) {
  return {proves, "HandleMMConfigMgrXmlMsg", change, readBack, std::move(shows)};
}

}  // namespace

std::vector<Row> diskRows() {
  std::vector<Row> rows;
  rows.push_back({"a disk library made by the set request reads back",
                  "onMsgSetMMMagneticLibrary",
                  "onMsgSetMMMagneticLibrary 4001=1 8251=s:Disk9 11187=3 2048=idtext:0:ma1 2052=0",
                  "libraries",
                  {"\"Disk9\""}});
  rows.push_back({"a mount path's path set by operation 3 reads back",
                  "onMsgSetMMMountPath",
                  joined(kMountPaths,
                      "onMsgSetMMMountPath 4001=3 11003=u64:{h:1 \"/srv/disklib1/mp1\"} 11041=s:/mnt/renamed 2052=0"),
                  kMountPaths,
                  {"\"/mnt/renamed\""}});
  rows.push_back({"a mount path added by operation 1 reads back",
                  "onMsgSetMMMountPath",
                  "libraries\nonMsgSetMMMountPath 4001=1 11003=u64:{h:(library) len 12: 2 \"DiskLib1\"} 4108=2 "
                  "11041=s:/srv/new 2048=idtext:1:ma1 2401=enc:alice 11185=1 2052=0",
                  kMountPaths,
                  {"\"/srv/new\""},
                  "SELECT \"MountPathTypeId\" || ',' || \"UserName\" FROM \"MMMountPath\" WHERE \"MountPathName\" = "
                  "'/srv/new'",
                  "1,alice"});
  rows.push_back({"a mount path's user name set by operation 3 is stored",
                  "onMsgSetMMMountPath",
                  joined(kMountPaths,
                      "onMsgSetMMMountPath 4001=3 11003=u64:{h:1 \"/srv/disklib1/mp1\"} 2401=enc:bob 2052=0"),
                  "",
                  {},
                  "SELECT \"UserName\" FROM \"MMMountPath\" WHERE \"MountPathId\" = 1",
                  "bob"});
  // A proxy password in a mount path's user name is bounded by what the
  // column of 1,024 bytes leaves it once enciphered: refused naming that.
  rows.push_back({"a mount path's user name whose proxy password would not fit enciphered is refused",
                  "onMsgSetMMMountPath",
                  joined(kMountPaths, "onMsgSetMMMountPath 4001=3 11003=u64:{h:1 \"/srv/disklib1/mp1\"} 2401=enc:u!!p@h:") +
                      std::string(600, 'r') + " 2052=0",
                  "",
                  {},
                  "SELECT COUNT(*) FROM \"MMMountPath\" WHERE \"UserName\" LIKE 'u!!p@h:%'",
                  "0"});
  rows.back().keepsNothing = true;
  rows.back().changeExit = 3;
  rows.back().answers = {"The proxy password of the user name is longer than 508 bytes."};
  rows.push_back({"a DRU host added by operation 48 reads back",
                  "onMsgSetDRUHost",
                  "onMsgSetDRUHost 4001=48 11420=idtext:0:dru-a 11425=s:operator 11427=7000 2052=0",
                  "onMsgGetDRUHostList",
                  {"\"dru-a\""}});
  rows.push_back({"a DRU host's user and port set by operation 3 are stored",
                  "onMsgSetDRUHost",
                  joined(kAddDru, "\nonMsgSetDRUHost 4001=3 11420=idtext:1:dru-a 11425=s:backup 11427=22 2052=0"),
                  "onMsgGetDRUHostList",
                  {"\"dru-a\""},
                  "SELECT \"UserName\" || ',' || \"Port\" FROM \"MMDRUHost\" WHERE \"HostName\" = 'dru-a'",
                  "backup,22"});
  rows.push_back({"a DRU host deleted by operation 2 is gone",
                  "onMsgSetDRUHost",
                  joined(kAddDru, "\nonMsgSetDRUHost 4001=2 11420=idtext:1: 2052=0"),
                  "onMsgGetDRUHostList",
                  {"!\"dru-a\"", "\"<None>\""}});
  rows.push_back({"an archive cluster's values set by operation 3 are stored",
                  "onMsgSetCenteraCluster",
                  joined(kAddArchive,
                      "\nonMsgSetCenteraCluster 4001=3 11400=idtext:1:Arc2 11411=s:cas-Arc2 11405=s:ID-Arc2 "
                      "11406=s:6000 11407=s:5.1 11408=s:10.0.0.2 2052=0"),
                  "onMsgGetCenteraClusterList",
                  {"\"Arc2\""},
                  "SELECT \"ClusterName\" || ',' || \"Version\" FROM \"MMCenteraCluster\"",
                  "cas-Arc2,5.1"});
  rows.push_back({"an archive cluster deleted by operation 2 is gone",
                  "onMsgSetCenteraCluster",
                  joined(kAddArchive, "\nonMsgSetCenteraCluster 4001=2 11400=idtext:1: 2052=0"),
                  "onMsgGetCenteraClusterList",
                  {"!\"Arc1\""}});
  rows.push_back({"an archive cluster added by operation 48 reads back",
                  "onMsgSetCenteraCluster",
                  "onMsgSetCenteraCluster 4001=48 11400=idtext:0:Arc1 11411=s:cas-Arc1 11405=s:ID-Arc1 11406=s:5000 "
                  "11407=s:4.0 11408=s:10.0.0.1 2052=0",
                  "onMsgGetCenteraClusterList",
                  {"\"Arc1\""}});
  rows.push_back(
      {"a disk device's DRU host reads back",
       "onMsgSetDiskDevice",
       "onMsgSetDRUHost 4001=48 11420=idtext:0:dru-a 11425=s:operator 11427=7000 2052=0\n"
       "onMsgGetDRUHostList\nonMsgGetDiskDevices\nonMsgSetDiskDevice 4001=3 11003=u64:{h:\"DiskLib1 device 1\"} "
       "11420={DRU host@\"dru-a\"} 2052=0",
       "onMsgGetDiskDevices",
       {"\"dru-a\""}});
  // A device's name and DRU host are one change: a DRU host that is not
  // known refuses it, and the session gives the name back as the store
  // keeps it.
  rows.push_back({"a disk device's name sent with a DRU host that is not known is given back",
                  "onMsgSetDiskDevice",
                  "onMsgGetDiskDevices\nonMsgSetDiskDevice 4001=3 11003=u64:{h:\"DiskLib1 device 1\"} "
                  "11192=idtext:0:DevRen8 11420=99 2052=0",
                  "onMsgGetDiskDevices",
                  {"!DevRen8", "\"DiskLib1 device 1\""}});
  rows.back().keepsNothing = true;
  rows.back().changeExit = 3;
  rows.back().answers = {"The DRU host 99 is not known."};
  rows.push_back({"a network share keeps its kind and remote-host settings",
                  "onMsgSetDiskVolume",
                  "onMsgSetDiskVolume 4001=1 2048=idtext:1:ma1 11041=s://nas1/share 2401=enc:backup "
                  "2402=enc:s3cret 2052=0",
                  "onMsgGetDiskDevices",
                  {"\"DiskDevice_1\"", "tag 11206 (identification type) len 13: \"Network share\""}});
  rows.push_back({"a network share's path changed by operation 3 reads back",
                  "onMsgSetDiskVolume",
                  joined(kAddShare, "\n") + kShareVolumes +
                      "onMsgSetDiskVolume 4001=3 11003=u64:{h:\"//nas1/share\"} 11041=s://nas1/other 2052=0",
                  kShareVolumes,
                  {"tag 11208 (volume path) len 12: \"//nas1/other\""}});
  // The answer's status carries the device's id (3), which the console
  // names as the device's id: a success.
  rows.push_back({"a network share shared with a further agent (operation 16) is stored for it",
                  "onMsgSetDiskVolume",
                  joined(kAddShare, "\n") + kShareVolumes +
                      "onMsgSetDiskVolume 4001=16 11148=u64:{h:\"DiskDevice_1\"} 2048=idtext:0:ma2 "
                      "11041=s:/srv/shared 2052=0",
                  kShareVolumes,
                  {"tag 2048 (media agent) len 7: 2 \"ma2\""},
                  "",
                  "",
                  "",
                  0});
  rows.push_back(storageLibrary("a mount path added to a disk library reads back (storage-library 4)",
                                "storage-library 43=4 8=DiskLib1 3=ma1 24=/srv/disklib1/mp3 60=mp3", kMountPaths,
                                {"\"mp3\""}));
  rows.push_back(storageLibrary("a shared mount path added reads back (storage-library 16384)",
                                "storage-library 43=16384 8=DiskLib1 3=ma2 24=/srv/disklib1/mp4 60=mp4", kMountPaths,
                                {"\"mp4\""}));
  rows.push_back(storageLibrary(
      "a mount path shared with a second agent is stored (storage-library 64)",
      joined(kAddMp3, "storage-library 43=64 8=DiskLib1 3=ma1 23=3 second.3=ma2 second.24=/mnt/ma2/mp3"), "",
      {}));
  rows.back().rowQuery = "SELECT COUNT(*) FROM \"MMDeviceController\" WHERE \"Folder\" = '/mnt/ma2/mp3'";
  rows.back().rowValue = "1";
  rows.push_back(storageLibrary("a mount path deleted is gone (storage-library 16)",
                                "storage-library 43=16 1=2 8=DiskLib1 7=2 23=2 24=/srv/disklib1/mp2", kMountPaths,
                                {"!\"/srv/disklib1/mp2\"", "\"/srv/disklib1/mp1\""}));
  rows.push_back(storageLibrary("a mount path deleted by force is gone (storage-library 1024)",
                                "storage-library 43=1024 1=2 8=DiskLib1 7=2 23=2 24=/srv/disklib1/mp2", kMountPaths,
                                {"!\"/srv/disklib1/mp2\"", "\"/srv/disklib1/mp1\""}));
  rows.push_back(storageLibrary("a library deleted with delete-enable is gone (storage-library 2)",
                                "storage-library 43=2 8=TapeLib1 request.6=1", "libraries",
                                {"!\"TapeLib1\"", "\"DiskLib1\""}));
  rows.push_back(storageLibrary("a disk library deleted by force is gone (storage-library 8192)",
                                "storage-library 43=8192 8=DiskLib1 request.6=1", "libraries",
                                {"!\"DiskLib1\"", "\"TapeLib1\""}));
  rows.push_back(storageLibrary("a disk library created reads back (storage-library 1)",
                                "storage-library 43=1 8=DiskLib9 3=ma1 24=/srv/disklib9/mp1", "libraries",
                                {"\"DiskLib9\""}));
  // A media agent of the longest name its table holds (511 bytes, a
  // two-byte character across the drive pool's limit): the drive pool
  // named after it is made to fit its column on a character boundary.
  {
    std::string agent(244, 'a');
    for (int i = 0; i < 133; ++i) agent += "\xC3\xA9";
    agent += 'a';
    rows.push_back(storageLibrary("a disk library and a copy manager of the media agent of the longest name read back",
                                  "storage-library 43=1 3=" + agent + " 8=LongAgentLib 24=/srv/longagent/mp1\n"
                                  "onMsgSetMMCMController 4001=1 4106=2 2048=idtext:0:" + agent + " 11167=3 2052=0",
                                  "libraries", {"\"LongAgentLib\""}));
    rows.back().before = "CREATE TEMP TABLE Agent AS SELECT * FROM \"APP_Client\" WHERE \"name\" = 'ma2'; "
                         "UPDATE Agent SET \"id\" = 7, \"name\" = '" + agent + "', \"net_hostname\" = "
                         "'longagent.example.net', \"displayName\" = 'longagent'; INSERT INTO \"APP_Client\" "
                         "SELECT * FROM Agent; INSERT INTO \"MMHost\" (\"ClientId\") VALUES (7);";
    rows.back().rowQuery = "SELECT (SELECT \"DrivePoolName\" FROM \"MMDrivePool\" WHERE \"ClientId\" = 7) || '|' || "
                           "(SELECT \"CopyManagerName\" FROM \"MMCopyManager\" WHERE \"ClientId\" = 7)";
    rows.back().rowValue = "DrivePool(" + std::string(244, 'a') + ")|Software copy manager on " + std::string(230, 'a');
  }
  // Names the system makes of a library's alias, cut on a character
  // boundary to their columns: the medium of a new mount path (300 bytes)
  // and a master pool made for it (256 bytes), the library renamed by
  // another connection and re-read by the session. A two-byte character
  // lies across the medium's limit of DiskLib1's alias, across the master
  // pool's limit of the other library's.
  {
    std::string alias(292, 'a');
    for (int i = 0; i < 54; ++i) alias += "\xC3\xA9";
    rows.push_back({"a mount path added by operation 1 under an alias of 400 bytes stores its medium's name cut to fit",
                    "onMsgSetMMMountPath",
                    "libraries\nstorage-library 43=32 8=DiskLib1 second.8=" + alias +
                        "\ncontrol 70\nonMsgSetMMMountPath 4001=1 11003=u64:{h:(library) len 12: 2 \"DiskLib1\"} 4108=2 "
                        "11041=s:/srv/longalias 2048=idtext:1:ma1 11185=1 2052=0",
                    "",
                    {},
                    "SELECT \"MediaName\" FROM \"MMMedia\" WHERE \"MediaId\" = (SELECT MAX(\"MediaId\") FROM "
                    "\"MMMedia\")",
                    std::string(292, 'a') + " medium"});
  }
  {
    std::string alias(243, 'a');
    for (int i = 0; i < 28; ++i) alias += "\xC3\xA9";
    alias += 'a';
    std::string medium(243, 'a');
    for (int i = 0; i < 25; ++i) medium += "\xC3\xA9";
    rows.push_back({"a mount path added by operation 1 to a library without a master pool under an alias of 300 bytes "
                    "stores the pool's and the medium's names cut to fit",
                    "onMsgSetMMMountPath",
                    "libraries\nstorage-library 43=32 8=NoPool9 second.8=" + alias +
                        "\ncontrol 70\nonMsgSetMMMountPath 4001=1 11003=u64:{h:(library) len 11: 9 \"NoPool9\"} 4108=2 "
                        "11041=s:/srv/nopool9/mp1 2048=idtext:1:ma1 11185=1 2052=0",
                    "",
                    {}});
    rows.back().before = "INSERT INTO \"MMLibrary\" (\"LibraryId\", \"LibraryName\", \"AliasName\", "
                         "\"LibraryTypeId\", \"LibraryEnabled\") VALUES (9, 'NoPool9', 'NoPool9', 3, 1);";
    rows.back().rowQuery = "SELECT (SELECT \"MasterPoolName\" FROM \"MMMasterPool\" WHERE \"LibraryId\" = 9) || '|' || "
                           "(SELECT \"MediaName\" FROM \"MMMedia\" WHERE \"LibraryId\" = 9)";
    rows.back().rowValue = "MasterPool(" + std::string(243, 'a') + ")|" + medium + " medium";
  }
  // A forced deletion whose first write the database refuses (as a full
  // disk refuses it) answers the database's reason and keeps everything.
  rows.push_back(storageLibrary("a disk library deleted by force on a database that refuses the write answers its reason",
                                "storage-library 43=8192 8=DiskLib1 request.6=1", "libraries",
                                {"\"DiskLib1\"", "\"TapeLib1\""}));
  rows.back().before = "CREATE TRIGGER Full BEFORE UPDATE ON \"MMMountPath\" BEGIN "
                       "SELECT RAISE(FAIL, 'database or disk is full'); END;";
  rows.back().changeExit = 3;
  rows.back().keepsNothing = true;
  rows.back().answers = {"The change was not made: The change breaks a key or a constraint of the table (database or "
                         "disk is full)"};
  // Operation 32 of the storage-library request on DiskLib1, one tag a row,
  // read from the library's row.
  for (const FieldCase& t : std::vector<FieldCase>{
           {"writers (tag 65)", "second.65=5",
            "SELECT \"MaxDrivesToSwitch\" FROM \"MMMasterPool\" WHERE \"LibraryId\" = 2", "5"},
           {"low watermark (tag 67, under the warning watermark)", "second.67=40 second.68=60",
            "SELECT \"LowWaterMarkMB\" FROM \"MMLibrary\" WHERE \"LibraryId\" = 2", "40"},
           {"warning watermark (tag 68)", "second.68=60",
            "SELECT \"WarningWaterMark\" FROM \"MMLibrary\" WHERE \"LibraryId\" = 2", "60"},
           {"mount-path usage and its second bit (tags 69, 77)", "second.69=1 second.77=1",
            "SELECT \"ExtendedAttributes\" & 4194305 FROM \"MMLibrary\" WHERE \"LibraryId\" = 2", "4194305"},
           {"data kept from deletion on mount paths (tag 72)", "second.72=1",
            "SELECT \"ExtendedAttributes\" & 262144 FROM \"MMLibrary\" WHERE \"LibraryId\" = 2", "262144"},
           {"managed disk space thresholds (tags 74, 75)", "second.74=80 second.75=20",
            "SELECT \"ThresholdPercentage\" || ',' || \"ThresholdVariation\" FROM \"MMLibrary\" WHERE \"LibraryId\" = "
            "2",
            "80,60"},
           {"bit 0x1000000 (tag 83)", "second.83=1",
            "SELECT \"ExtendedAttributes\" & 16777216 FROM \"MMLibrary\" WHERE \"LibraryId\" = 2", "16777216"},
           {"bit 0x2000000 (tag 84)", "second.84=1",
            "SELECT \"ExtendedAttributes\" & 33554432 FROM \"MMLibrary\" WHERE \"LibraryId\" = 2", "33554432"},
           {"maintenance mark (tag 87)", "second.87=1",
            "SELECT \"ExtendedAttributes\" & 512 FROM \"MMLibrary\" WHERE \"LibraryId\" = 2", "512"}}) {
    Row row = storageLibrary(std::string("a disk library's ") + t.name + " is stored (storage-library 32)",
                             std::string("storage-library 43=32 8=DiskLib1 ") + t.sent, "", {});
    row.rowQuery = t.seen;
    row.rowValue = t.value;
    rows.push_back(row);
  }
  rows.push_back(storageLibrary("a disk library's hybrid-cloud pairing is stored (storage-library 32, tag 86)",
                                "storage-library 43=32 8=DiskLib1 second.86=1", "", {}));
  rows.push_back(storageLibrary("a disk library renamed reads back (storage-library 32, tag 8)",
                                "storage-library 43=32 8=DiskLib1 second.8=DiskLib7", "libraries", {"\"DiskLib7\""}));
  {
    // usePnpWhenBlank is a flag of a type-4 library only.
    Row pnp = storageLibrary("a library's usePnpWhenBlank flag leaves it shown (storage-library 32, tag 73)",
                             "storage-library 43=32 8=DiskLib1 second.73=1", "libraries", {"\"DiskLib1\""});
    pnp.before = "UPDATE \"MMLibrary\" SET \"LibraryTypeId\" = 4 WHERE \"LibraryId\" = 2;";
    pnp.rowQuery = "SELECT \"ExtendedAttributes\" & 8192 FROM \"MMLibrary\" WHERE \"LibraryId\" = 2";
    pnp.rowValue = "8192";
    rows.push_back(pnp);
  }
  // Operation 8 of the storage-library request on mount path 3, one field a
  // row, read from the column of the mount path's row.
  for (const FieldCase& f : std::vector<FieldCase>{
           {"writers", "second.64=5", "\"MaxConcurrentWriters\"", "5"},
           {"reserved space", "second.66=4096", "\"MagneticSpaceRsrvInMB\"", "4096"},
           {"pruning of aged data and its DP settings (tags 76, 85)", "second.76=1 second.85=1", "\"Attribute\" & 264",
            "264"},
           {"space for silo restores (tag 71)", "second.71=1", "\"Attribute\" & 2", "2"},
           {"data-block references prevented (tag 89)", "second.64=0 second.89=1", "\"Attribute\" & 8192", "8192"},
           {"enabled state (tag 96)", "second.96=0", "\"IsEnabled\"", "0"}}) {
    Row row = storageLibrary(
        std::string("a mount path's ") + f.name + " read back (storage-library 8)",
        joined(kAddMp3, "storage-library 43=8 8=DiskLib1 3=ma1 23=3 24=/srv/disklib1/mp3 ") + f.sent, "", {});
    row.rowQuery = std::string("SELECT ") + f.seen + " FROM \"MMMountPath\" WHERE \"MountPathId\" = 3";
    row.rowValue = f.value;
    rows.push_back(row);
  }
  rows.push_back(storageLibrary(
      "a mount path's device renamed reads back (storage-library 8, tag 55)",
      joined(kAddMp3, "storage-library 43=8 8=DiskLib1 3=ma1 23=3 24=/srv/disklib1/mp3 second.55=Renamed-Dev"),
      "onMsgGetDiskDevices", {"\"Renamed-Dev\""}));
  rows.push_back(storageLibrary("an unshared mount path's second agent is gone (storage-library 128)",
                                joined(kAddMp3,
                                    "storage-library 43=64 8=DiskLib1 3=ma1 23=3 second.3=ma2 second.24=/mnt/ma2/mp3\n"
                                    "storage-library 43=128 8=DiskLib1 23=3 3=ma2 24=/mnt/ma2/mp3"),
                                "", {}));
  rows.back().rowQuery = "SELECT COUNT(*) FROM \"MMDeviceController\" WHERE \"Folder\" = '/mnt/ma2/mp3'";
  rows.back().rowValue = "0";
  rows.push_back(storageLibrary("a device volume given to a media agent is stored (storage-library 256)",
                                "storage-library 43=256 3=ma2 55=nas1 24=/mnt/ma2/nas1", "", {}));
  rows.back().rowQuery = "SELECT COUNT(*) FROM \"MMDeviceController\" WHERE \"Folder\" = '/mnt/ma2/nas1'";
  rows.back().rowValue = "1";
  rows.push_back(
      storageLibrary("a vault lock is stored (storage-library 4096)", "storage-library 43=4096 23=1 69=30", "", {}));
  rows.back().rowQuery = joined(kSettingOf, "'VaultLock'");
  rows.back().rowValue = "30";
  rows.push_back(storageLibrary("a cleaned drive is stored (storage-library 512)",
                                "storage-library 43=512 8=TapeLib1 3=ma1 78=Drive1 82=2", "", {}));
  rows.back().rowQuery = "SELECT COUNT(*) FROM \"MMDrive\" WHERE \"DriveName\" = 'Drive1'";
  rows.back().rowValue = "1";
  rows.push_back(storageLibrary("a device path added to a mount path is stored",
                                "device-paths 1 path agent=2 17=1 1=1 "
                                "4=/srv/disklib1/mp1 13=4",
                                "", {}));
  rows.back().rowQuery =
      "SELECT COUNT(*) FROM \"MMDeviceController\" WHERE \"ClientId\" = 2 AND \"Folder\" = "
      "'/srv/disklib1/mp1'";
  rows.back().rowValue = "1";
  rows.push_back(storageLibrary(
      "a device path's folder changed is stored",
      joined(kAddMp3, "device-paths 3 path agent=1 17=2 1=3 2=3 4=/srv/disklib1/mp3-new 13=4"), "", {}));
  rows.back().rowQuery = "SELECT \"Folder\" FROM \"MMDeviceController\" WHERE \"DeviceControllerId\" = 3";
  rows.back().rowValue = "/srv/disklib1/mp3-new";
  // The demonstration's own mount paths: each agent has its drive pool of
  // the library, as a mount path added through the host gets one.
  rows.push_back(storageLibrary("a demonstration mount path's device path folder changed is stored",
                                "device-paths 1 path agent=1 17=2 1=1 2=1 4=/srv/disklib1/mp1-new 13=4", "", {}));
  rows.back().rowQuery = "SELECT \"Folder\" FROM \"MMDeviceController\" WHERE \"DeviceControllerId\" = 1";
  rows.back().rowValue = "/srv/disklib1/mp1-new";
  rows.push_back(storageLibrary(
      "a demonstration mount path's writers and device name read back (storage-library 8)",
      "storage-library 43=8 8=DiskLib1 3=ma1 23=1 24=/srv/disklib1/mp1 second.64=5 second.55=Renamed-Dev",
      "onMsgGetDiskDevices", {"\"Renamed-Dev\""}));
  rows.back().rowQuery = "SELECT \"MaxConcurrentWriters\" FROM \"MMMountPath\" WHERE \"MountPathId\" = 1";
  rows.back().rowValue = "5";
  rows.push_back(storageLibrary("a demonstration mount path shared with a second agent is stored (storage-library 64)",
                                "storage-library 43=64 8=DiskLib1 3=ma1 23=1 second.3=ma2 second.24=/mnt/ma2/mp1",
                                "", {}));
  rows.back().rowQuery = "SELECT COUNT(*) FROM \"MMDeviceController\" WHERE \"Folder\" = '/mnt/ma2/mp1'";
  rows.back().rowValue = "1";
  {
    // Without its agent's drive pool the change is refused, and none of its
    // properties is kept.
    Row refused = storageLibrary(
        "a mount path's property change refused for want of a drive pool keeps nothing (storage-library 8)",
        "storage-library 43=8 8=DiskLib1 3=ma1 23=1 24=/srv/disklib1/mp1 second.64=5 second.55=Renamed-Dev",
        "onMsgGetDiskDevices", {"!\"Renamed-Dev\"", "\"DiskLib1 device 1\""});
    refused.before = "DELETE FROM \"MMDrivePool\" WHERE \"MasterPoolId\" IN (SELECT \"MasterPoolId\" FROM "
                     "\"MMMasterPool\" WHERE \"LibraryId\" = 2);";
    refused.rowQuery = "SELECT \"MaxConcurrentWriters\" FROM \"MMMountPath\" WHERE \"MountPathId\" = 1";
    refused.rowValue = "10";
    refused.changeExit = 3;
    rows.push_back(refused);
  }
  rows.push_back(storageLibrary("a device path removed is gone",
                                "device-paths 1 path agent=2 17=1 1=1 4=/srv/disklib1/mp1 13=4\n"
                                "device-paths 1 path agent=2 17=3 1=1 2=3",
                                "", {}));
  rows.back().rowQuery = "SELECT COUNT(*) FROM \"MMDeviceController\" WHERE \"DeviceId\" = 1";
  rows.back().rowValue = "1";
  rows.push_back(storageLibrary("a mount path's credential is stored (storage-library 8, tag 95)",
                                joined(kAddMp3, "storage-library 43=8 8=DiskLib1 3=ma1 23=3 "
                                                       "24=/srv/disklib1/mp3 second.95=1"),
                                "", {}));
  // Operation 16 gives the share the path it carries, and its volumes
  // follow; a later change of credentials alone moves no path.
  const std::string shareFor2 = std::string(kAddShare) + "\n" + kShareVolumes +
                                "onMsgSetDiskVolume 4001=16 11148=u64:{h:\"DiskDevice_1\"} 2048=idtext:2:ma2 "
                                "11041=/srv/shared 2052=0\n" +
                                kShareVolumes;
  rows.push_back({"operation 16 on a network share keeps the share and its volumes in step", "onMsgSetDiskVolume",
                  shareFor2, kShareVolumes,
                  {"tag 2048 (media agent) len 7: 2 \"ma2\"", "!\"//nas1/share\""}, "", "", "", 0});
  rows.push_back({"a credentials-only change after operation 16 on a share moves no path", "onMsgSetDiskVolume",
                  shareFor2 + "onMsgSetDiskVolume 4001=3 11003=u64:{h:\"//nas1/share\"} 2401=enc:backup2 "
                              "2402=enc:other 2052=0",
                  kShareVolumes, {"tag 2048 (media agent) len 7: 2 \"ma2\"", "!\"//nas1/share\""}, "", "", "", 0});
  // A volume logs in with a stored credential (9819): one the configuration
  // does not hold is refused on every route that sets it, naming it, and
  // none is kept; a stored one is kept on a share's volume as on a plain
  // one (the share keeps the path and the login, its volume the rest).
  const std::string kCredential5 =
      "INSERT INTO \"APP_Credentials\" (\"credentialId\", \"credentialName\") VALUES (5, 'nas-cred');";
  const std::string kDemoVolumes = "onMsgGetDiskDevices\nonMsgGetDiskVolumes handle={h:\"DiskLib1 device 1\"}\n";
  const std::string kShareThen = joined(kAddShare, "\n") + kShareVolumes;
  for (const auto& [route, change, keepsNothing] : std::vector<std::tuple<std::string, std::string, bool>>{
           {"a mount path on a new share (onMsgSetMMMountPath 1)",
            "libraries\nonMsgSetMMMountPath 4001=1 11003=u64:{h:(library) len 12: 2 \"DiskLib1\"} 4108=2 "
            "11041=s:/srv/cred 2048=idtext:1:ma1 11192=idtext:0://nas9/cred 9819=77 2052=0",
            true},
           {"a new network share (onMsgSetDiskVolume 1)",
            "onMsgSetDiskVolume 4001=1 2048=idtext:1:ma1 11041=s://nas1/share 2401=enc:backup 2402=enc:s3cret "
            "9819=77 2052=0",
            true},
           {"a volume's change (onMsgSetDiskVolume 3)",
            kDemoVolumes + "onMsgSetDiskVolume 4001=3 11003=u64:{h:\"/srv/disklib1/mp1\"} 9819=77 2052=0", true},
           {"a share's volume's change (onMsgSetDiskVolume 3)",
            kShareThen + "onMsgSetDiskVolume 4001=3 11003=u64:{h:\"//nas1/share\"} 9819=77 2052=0", false}}) {
    Row refused{"a credential that is not stored is refused on the route of " + route, "onMsgSetDiskVolume", change,
                "", {}, "SELECT COUNT(*) FROM \"MMDeviceController\" WHERE \"CredentialAssocId\" = 77", "0"};
    refused.request = change.find("onMsgSetMMMountPath") != std::string::npos ? "onMsgSetMMMountPath"
                                                                                : "onMsgSetDiskVolume";
    refused.changeExit = 3;
    refused.keepsNothing = keepsNothing;
    refused.answers = {"The credential [77] is not in the configuration; the change naming it was not made."};
    rows.push_back(refused);
  }
  for (const auto& [what, change, readBack, where] : std::vector<std::array<std::string, 4>>{
           {"a volume's stored credential set by operation 3 is kept",
            kDemoVolumes + "onMsgSetDiskVolume 4001=3 11003=u64:{h:\"/srv/disklib1/mp1\"} 9819=5 2052=0",
            kDemoVolumes, "\"DeviceControllerId\" = 1"},
           {"a share's volume's stored credential set by operation 3 is kept",
            kShareThen + "onMsgSetDiskVolume 4001=3 11003=u64:{h:\"//nas1/share\"} 9819=5 2052=0", kShareVolumes,
            "\"Folder\" = '//nas1/share'"}}) {
    Row kept{what, "onMsgSetDiskVolume", change, readBack, {"tag 9819 (credential) len 4: 5"},
             "SELECT \"CredentialAssocId\" FROM \"MMDeviceController\" WHERE " + where, "5"};
    kept.before = kCredential5;
    rows.push_back(kept);
  }
  // A device the request refuses (a name far too long) leaves nothing.
  rows.push_back(storageLibrary("a device volume refused (storage-library 256) keeps nothing",
                                "storage-library 43=256 3=ma2 55=" + std::string(5000, 'n') + " 24=/mnt/ma2/nas1",
                                "onMsgGetDiskDevices", {"!/mnt/ma2/nas1"}));
  rows.back().changeExit = 3;
  rows.back().keepsNothing = true;
  // On a connection whose lock failed: nothing is done.
  for (const auto& [request, change, readBack, name] : std::vector<std::array<std::string, 4>>{
           {"onMsgSetDRUHost", "onMsgSetDRUHost 4001=48 11420=idtext:0:dru-busy 11425=s:operator 11427=7000 2052=0",
            "onMsgGetDRUHostList", "\"dru-busy\""},
           {"onMsgSetCenteraCluster",
            "onMsgSetCenteraCluster 4001=48 11400=idtext:0:ArcBusy 11411=s:cas-b 11405=s:ID-b 11406=s:5000 "
            "11407=s:4.0 11408=s:10.0.0.9 2052=0",
            "onMsgGetCenteraClusterList", "\"ArcBusy\""},
           {"onMsgSetMMMagneticLibrary", "onMsgSetMMMagneticLibrary 4001=1 8251=s:DiskBusy 11187=3 2048=idtext:0:ma1 2052=0",
            "libraries", "\"DiskBusy\""}}) {
    rows.push_back({request + " on a connection whose lock failed does nothing", request, change, readBack,
                    {"!" + name}});
    rows.back().lockFails = true;
    rows.back().keepsNothing = true;
    rows.back().changeExit = 3;
  }
  return rows;
}

const bool kDiskRowsListed = listFamily("EveryDiskChangeAnsweredSuccessReadsBackAfterAReReadAndARestart", &diskRows);
TEST(HostSweep, EveryDiskChangeAnsweredSuccessReadsBackAfterAReReadAndARestart) { sweep(diskRows()); }

}  // namespace sweeptest
