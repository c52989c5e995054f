// Drives, drive paths, drive pools and master drive pools, swept through
// the host.
#include <gtest/gtest.h>

#include "tests/host_sweep/Sweep.h"

namespace sweeptest {
namespace {

// TapeLib1's master pool, its drive pools and the drive paths of ma2's pool.
constexpr const char* kPools =
    "libraries\nmaster-pools {h:(library) len 12: 1 \"TapeLib1\"}\ndrive-pools {h:(master drive pool)} master\n";
constexpr const char* kPaths =
    "libraries\nmaster-pools {h:(library) len 12: 1 \"TapeLib1\"}\ndrive-pools {h:(master drive pool)} master\n"
    "drive-paths {h:2 \"DrivePool(ma2)\"}\n";

}  // namespace

std::vector<Row> driveRows() {
  std::vector<Row> rows;
  // Operation 3 on ma2's path of Drive1, one field a row.
  for (const FieldCase& f : std::vector<FieldCase>{
           {"alias", "8252=Tape-A", "tag 8252 (drive alias) len 6: \"Tape-A\""},
           {"description", "11023=s:drive-text", "tag 11023 (drive description) len 10: \"drive-text\""},
           {"path detail", "11024=s:/dev/nst9", "tag 11024 (path detail) len 9: \"/dev/nst9\""}}) {
    rows.push_back({joined("a drive path's ", f.name) + " set by operation 3 reads back",
                    "onMsgSetMMDrive",
                    joined(kPaths, "onMsgSetMMDrive 4001=3 11003=u64:{h:\"Drive1\"} ") + f.sent + " 2052=0",
                    kPaths,
                    {f.seen}});
  }
  // No answer shows a drive path's bus: its row of settings does.
  rows.push_back(
      {"a drive path takes another drive path's bus (operation 3 with 11054)",
       "onMsgSetMMDrive",
       joined(kPaths, "onMsgSetMMDrive 4001=3 11003=u64:{h:\"Drive1\"} 11054=idtext:{h:\"Drive2\"}:x "
                             "2052=0"),
       "",
       {},
       "SELECT group_concat(\"Name\" || '=' || \"Value\", ',') FROM (SELECT * FROM \"MMObjectSetting\" WHERE "
       "\"Kind\" = 6 AND \"ObjectId\" = 2 ORDER BY \"Name\")",
       "ControllerText=bus-b,ControllerType=3,ScsiAddress=9"});
  // Drive2's path on ma2 (path 4) has a bus of its own, no value of it a
  // default, so that a bus value taken from the wrong place shows.
  rows.back().before =
      "INSERT INTO \"MMObjectSetting\" (\"Kind\", \"ObjectId\", \"Name\", \"Value\") VALUES (6, 4, "
      "'ControllerText', 'bus-b'), (6, 4, 'ControllerType', '3'), (6, 4, 'ScsiAddress', '9');";
  // A refused step keeps the steps before it, in the store as in the
  // session: the new alias stands, the bus taken from nothing is refused.
  rows.push_back({"a drive path's alias set before a refused bus (operation 3) is kept as the session keeps it",
                  "onMsgSetMMDrive",
                  joined(kPaths, "onMsgSetMMDrive 4001=3 11003=u64:{h:\"Drive1\"} 8252=Tape-R 11054=idtext:77:x 2052=0"),
                  kPaths,
                  {"tag 8252 (drive alias) len 6: \"Tape-R\""}});
  rows.back().changeExit = 3;
  rows.back().answers = {"The drive path [77] to take the SCSI bus from does not exist."};
  rows.push_back({"an object action on a drive path (operation 12) keeps it",
                  "onMsgSetMMDrive",
                  joined(kPaths, "onMsgSetMMDrive 4001=12 11003=u64:{h:\"Drive1\"} 4108=1 2052=0"),
                  kPaths,
                  {"\"/dev/nst0\"", "\"/dev/nst1\""}});
  // The first vendor of the catalogue the demonstration seeds.
  rows.push_back({"an NDMP drive path added by operation 1 is stored",
                  "onMsgSetMMDrive",
                  "libraries\nonMsgSetMMDrive 4001=1 11073=u64:{h:(library) len 12: 1 \"TapeLib1\"} 11058=filer2 "
                  "2048=idtext:0:ma1 11024=s:/dev/nrst0 11069=0 2052=0",
                  joined(kPools, "drive-paths {h:\"DrivePool(ma1, filer2)\"}"),
                  {"\"filer2\"", "tag 11024 (path detail) len 10: \"/dev/nrst0\"",
                   "tag 8252 (drive alias) len 15: \"Drive0 (filer2)\""},
                  "SELECT COUNT(*) FROM \"MMDrivePath\" WHERE \"PathName\" = '/dev/nrst0'",
                  "1"});
  rows.back().outsideWorld = true;
  // The same under a media agent of the longest name its table holds (511
  // bytes): the new drive pool "DrivePool(<agent>, <server>)" is made to
  // fit its 256 bytes, the agent's name cut before a two-byte character
  // across the limit.
  {
    std::string agent(236, 'a');
    for (int i = 0; i < 137; ++i) agent += "\xC3\xA9";
    agent += 'a';
    rows.push_back({"an NDMP drive path added under a media agent of the longest name stores its pool's name cut to fit",
                    "onMsgSetMMDrive",
                    "libraries\nonMsgSetMMDrive 4001=1 11073=u64:{h:(library) len 12: 1 \"TapeLib1\"} 11058=filer2 "
                    "2048=idtext:0:" + agent + " 11024=s:/dev/nrst0 11069=0 2052=0",
                    "",
                    {},
                    "SELECT \"DrivePoolName\" FROM \"MMDrivePool\" WHERE \"ClientId\" = 7",
                    "DrivePool(" + std::string(236, 'a') + ", filer2)"});
    rows.back().outsideWorld = true;
    rows.back().before = "CREATE TEMP TABLE Agent AS SELECT * FROM \"APP_Client\" WHERE \"name\" = 'ma1'; "
                         "UPDATE Agent SET \"id\" = 7, \"name\" = '" + agent + "', \"net_hostname\" = "
                         "'longagent.example.net', \"displayName\" = 'longagent'; INSERT INTO \"APP_Client\" "
                         "SELECT * FROM Agent; INSERT INTO \"MMHost\" (\"ClientId\") VALUES (7);";
  }
  rows.push_back({"an NDMP drive probed by operation 58 is not stored",
                  "onMsgSetMMDrive",
                  "onMsgSetMMDrive 4001=58 11058=filer2 11024=s:/dev/nrst0 2052=0",
                  "",
                  {},
                  "SELECT COUNT(*) FROM \"MMDrive\" WHERE \"SerialNumber\" = 'NSN0001'",
                  "0"});
  rows.back().outsideWorld = true;
  rows.push_back({"a drive's id set by operation 3 is stored",
                  "onMsgSetMMDrive",
                  joined(kPaths, "onMsgSetMMDrive 4001=3 11003=u64:{h:\"Drive1\"} 11135=s:ACS-0,1,2,3 2052=0"),
                  "",
                  {},
                  "SELECT \"Value\" FROM \"MMObjectSetting\" WHERE \"Name\" = 'DriveIdString'",
                  "ACS-0,1,2,3"});
  // Operation 3 on ma2's drive pool, one field a row.
  for (const FieldCase& f :
       std::vector<FieldCase>{{"name", "8260=s:Pool-X", "tag 8061 (drive pool) len 10: 2 \"Pool-X\""},
                              {"copy manager", "11132=7", "tag 11132 (copy manager) len 4: 7"},
                              {"cost category", "11217=9", "tag 11217 (cost category) len 4: 9"}}) {
    rows.push_back(
        {joined("a drive pool's ", f.name) + " reads back",
         "onMsgSetMMDrivePool",
         joined(kPools, "onMsgSetMMDrivePool 4001=3 11003=u64:{h:2 \"DrivePool(ma2)\"} ") + f.sent + " 2052=0",
         kPools,
         {f.seen}});
  }
  // The copy manager a pool is pointed at is stored (7 for the row above);
  // one never stored, or removed in the same session, is refused naming it.
  for (Row& row : rows)
    if (row.proves == "a drive pool's copy manager reads back")
      row.before = "INSERT INTO \"MMCopyManager\" (\"CopyManagerId\", \"CopyManagerName\", \"ClientId\") "
                   "VALUES (7, 'cm7', 1);";
  const std::string poolCopyManager = joined(kPools, "onMsgSetMMDrivePool 4001=3 11003=u64:{h:2 \"DrivePool(ma2)\"} ");
  rows.push_back({"a drive pool pointed at a copy manager that is not stored is refused",
                  "onMsgSetMMDrivePool",
                  poolCopyManager + "11132=77 2052=0",
                  kPools,
                  {"tag 11132 (copy manager) len 4: 0"}});
  rows.back().keepsNothing = true;
  rows.back().changeExit = 3;
  rows.back().answers = {"The copy manager [77] is not in the configuration; the change naming it was not made."};
  rows.push_back({"a drive pool pointed at a copy manager removed in the same session is refused",
                  "onMsgSetMMDrivePool",
                  "onMsgSetMMCMController 4001=1 4106=2 2048=idtext:0:ma1 11167=3 2052=0\nonMsgGetMMCMDevices\n"
                  "control 2 {h:\"Software copy manager on ma1\"}\n" +
                      poolCopyManager + "11132=1 2052=0",
                  kPools,
                  {"tag 11132 (copy manager) len 4: 0"},
                  "SELECT (SELECT COUNT(*) FROM \"MMCopyManager\") || ',' || IFNULL(\"CopyManagerCtrlId\", 0) FROM "
                  "\"MMDrivePool\" WHERE \"DrivePoolName\" = 'DrivePool(ma2)'",
                  "0,0"});
  rows.back().changeExit = 3;
  rows.back().answers = {"The copy manager [1] is not in the configuration; the change naming it was not made."};
  // A rename before the refused copy manager is kept, as the session keeps
  // it: the answer names only the change that was not made.
  rows.push_back({"a drive pool renamed before a copy manager that is not stored keeps the name",
                  "onMsgSetMMDrivePool",
                  poolCopyManager + "8260=s:PoolRen8 11132=77 2052=0",
                  kPools,
                  {"(drive pool) len 12: 2 \"PoolRen8\"", "tag 11132 (copy manager) len 4: 0"}});
  rows.back().changeExit = 3;
  rows.back().answers = {"The copy manager [77] is not in the configuration; the change naming it was not made."};
  rows.push_back({"a drive pool's proxy host is stored",
                  "onMsgSetMMDrivePool",
                  joined(kPools, "onMsgSetMMDrivePool 4001=3 11003=u64:{h:2 \"DrivePool(ma2)\"} 11019=idtext:0:proxy.example.net "
                      "2052=0"),
                  "",
                  {},
                  "SELECT \"Descript\" FROM \"MMDrivePool\" WHERE \"DrivePoolName\" = 'DrivePool(ma2)'",
                  "proxy.example.net"});
  rows.push_back(
      {"a master pool's name reads back",
       "onMsgSetMMMasterDrivePool",
       joined(kPools, "onMsgSetMMMasterDrivePool 4001=3 11003=u64:{h:(master drive pool)} 8258=s:Master2 2052=0"),
       kPools,
       {"(master drive pool) len 11: 1 \"Master2\""}});
  rows.push_back({"an added master pool reads back configured, as the session showed it",
                  "onMsgAddMasterDrivePool",
                  "libraries\nonMsgAddMasterDrivePool handle={h:(library) len 12: 1 \"TapeLib1\"}\nmaster-pools "
                  "{h:(library) len 12: 1 \"TapeLib1\"}",
                  "libraries\nmaster-pools {h:(library) len 12: 1 \"TapeLib1\"}",
                  {"\"MasterPool(TapeLib1)_2\"", "20 (master drive pool)"}});
  // The master pool's handle in the first word (the high word, the count's
  // place, is 0), the media agent's id in the second word of the stream
  // area.
  rows.push_back(
      {"an added drive pool reads back with its media agent",
       "onMsgAddDrivePool",
       joined(kPools, "onMsgAddDrivePool first={h:(master drive pool)} body=0 body=0 body=2\n") + kPools,
       kPools,
       {"(drive pool) len 20: 5 \"DrivePool(ma2)_2\""}});
  rows.push_back({"an added drive pool shows configured in the session as after a re-read",
                  "onMsgAddDrivePool",
                  joined(kPools, "onMsgAddDrivePool first={h:(master drive pool)} body=0 body=0 body=2"),
                  kPools,
                  {"(drive pool) len 20: 5 \"DrivePool(ma2)_2\""}});
  return rows;
}

const bool kDriveRowsListed =
    listFamily("EveryDriveAndPoolChangeAnsweredSuccessReadsBackAfterAReReadAndARestart", &driveRows);
TEST(HostSweep, EveryDriveAndPoolChangeAnsweredSuccessReadsBackAfterAReReadAndARestart) { sweep(driveRows()); }

}  // namespace sweeptest
