// Library changes, drag and drop, the control request, library controllers,
// detection and the serial-number check, swept through the host.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/host_sweep/Sweep.h"

namespace sweeptest {
namespace {

// The handles of the demonstration's libraries, as `libraries` prints them.
constexpr const char* kTapeLib = "{h:(library) len 12: 1 \"TapeLib1\"}";

// The drive paths of ma1's drive pool of TapeLib1.
constexpr const char* kMa1Paths =
    "libraries\nmaster-pools {h:(library) len 12: 1 \"TapeLib1\"}\ndrive-pools {h:(master drive pool)} master\n"
    "drive-paths {h:1 \"DrivePool(ma1)\"}\n";

// A library of one drive that ma1 sees, attached as an administrator would.
constexpr const char* kAttachToMa1 =
    "INSERT INTO \"MMAttachedLibrary\" (\"ClientId\", \"Vendor\", \"Product\", \"SerialNumber\", \"DeviceName\", "
    "\"ScsiBus\", \"ScsiTarget\", \"ScsiLun\") VALUES ((SELECT \"id\" FROM \"APP_Client\" WHERE \"name\" = 'ma1'), "
    "'DEMO', 'TAPE-2', 'LIB0005', '/dev/sg5', 0, 9, 0); INSERT INTO \"MMAttachedDrive\" (\"AttachedLibraryId\", "
    "\"DriveNumber\", \"Vendor\", \"Product\", \"SerialNumber\", \"DeviceName\") VALUES (last_insert_rowid(), 1, "
    "'DEMO', 'LTO', 'SN0201', '/dev/nst8');";

// The tape-library wizard's listing after a detection on ma2.
constexpr const char* kTapeListing =
    "detect-keep ma2\n--xml 0x01000BBF onMsgEZGetTapeLibrary '<ZQGui_EZGetTapeLibrariesReq/>'\n";

// The rows of the libraries' one name rule: every route that names or
// renames a library, refused with the session's text when the name is one
// another library answers to, and nothing kept. Each route meets two
// clashes: another library's alias in other letter case, and the name of
// a library stored without an alias (as a controller's new library is),
// which `before` makes where the demonstration has none.
void nameRuleRows(std::vector<Row>& rows) {
  struct Route {
    const char* route;
    const char* request;
    // The change, with %s where the name goes (detection takes the name
    // from the library it found).
    std::string change;
    // What must answer to the name for it to clash: the alias clash's SQL
    // (may be empty) and name, the unaliased clash's name.
    const char* aliasBefore;
    const char* aliasName;
    const char* unaliasedName;
  };
  const std::string tapeLib = kTapeLib;
  const Route routes[] = {
      {"the session's rename (operation 3)", "onMsgSetMMLibrary",
       joined("libraries\nchange-library 3 ", tapeLib) + " 8251=\"%s\"", "", "disklib1", "demo tape-9"},
      {"storage-library's change (operation 32)", "HandleMMConfigMgrXmlMsg",
       "storage-library 43=32 8=DiskLib1 second.8=\"%s\"", "", "tapelib1", "demo tape-9"},
      {"storage-library's new disk library (operation 1)", "HandleMMConfigMgrXmlMsg",
       "storage-library 43=1 8=\"%s\" 3=ma2 24=/srv/newlib", "", "tapelib1", "demo tape-9"},
      {"the session's new disk library (operation 1)", "onMsgSetMMMagneticLibrary",
       "onMsgSetMMMagneticLibrary 4001=1 8251=\"%s\" 11187=3 2048=idtext:0:ma1 2052=0", "", "tapelib1",
       "demo tape-9"},
      {"the tape-library wizard's rename", "onMsgEZSetTapeLibraryAliasNameReq",
       joined(kTapeListing,
              "--xml 0x01A8EB4F onMsgEZSetTapeLibraryAliasNameReq '<ZQGui_EZSetTapeLibraryAliasNameReq "
              "i6=\"{handle<\"TapeLib1\"}\" s2=\"%s\"/>'"),
       "", "disklib1", "demo tape-9"},
      {"an IP controller's new library (operation 55)", "onMsgSetMMLibrary",
       "add-ip-controller ma2 ls1.example.net %s LSLIB1 1 4",
       "UPDATE \"MMLibrary\" SET \"AliasName\" = 'demo tape-9' WHERE \"LibraryName\" = 'DiskLib1';", "DEMO TAPE-9",
       "DEMO TAPE-9"},
      {"an NDMP controller's new library (operation 54)", "onMsgSetMMLibrary",
       "add-ndmp-controller ma1 filer2 /dev/robot1 %s NLIB1 1 4",
       "UPDATE \"MMLibrary\" SET \"AliasName\" = 'demo tape-9' WHERE \"LibraryName\" = 'DiskLib1';", "DEMO TAPE-9",
       "DEMO TAPE-9"},
      {"detection's configure (control 48)", "onMsgSetMMControl",
       "detect-keep ma2\ndetected-libraries\ncontrol 48 {h:[LIB0004]}",
       "UPDATE \"MMLibrary\" SET \"AliasName\" = 'tape-4_lib0004' WHERE \"LibraryName\" = 'DiskLib1';",
       "TAPE-4_LIB0004", "TAPE-4_LIB0004"},
  };
  auto fill = [](const std::string& change, const std::string& name) {
    const size_t at = change.find("%s");
    if (at == std::string::npos) return change;
    return change.substr(0, at) + name + change.substr(at + 2);
  };
  for (const Route& r : routes) {
    for (bool unaliased : {false, true}) {
      const std::string name = unaliased ? r.unaliasedName : r.aliasName;
      Row row{joined(unaliased ? "the name of a library without an alias is refused on the route of "
                               : "another library's alias is refused on the route of ",
                     r.route),
              r.request,
              fill(r.change, name),
              "libraries",
              {"\"TapeLib1\"", "\"DiskLib1\""}};
      row.before = unaliased ? "INSERT INTO \"MMLibrary\" (\"LibraryName\", \"AliasName\", \"LibraryTypeId\", "
                               "\"LibraryEnabled\") VALUES ('" + std::string(r.unaliasedName) + "', '', 1, 0);"
                             : r.aliasBefore;
      if (!unaliased && row.before.size() > 0) row.shows = {"\"TapeLib1\""};
      row.keepsNothing = true;
      row.changeExit = 3;
      row.answers = {"The name [" + name + "] is already used by another library."};
      rows.push_back(row);
    }
  }
  // A library renamed to its own name in another letter case answers to no
  // other library's name: every route takes it.
  const struct {
    const char* route;
    const char* request;
    std::string change;
    const char* name;
  } ownName[] = {
      {"the session's rename (operation 3)", "onMsgSetMMLibrary",
       joined("libraries\nchange-library 3 ", tapeLib) + " 8251=tapelib1", "tapelib1"},
      {"the session's disk-library rename (operation 3)", "onMsgSetMMMagneticLibrary",
       "libraries\nonMsgSetMMMagneticLibrary 4001=3 11003=u64:{h:\"DiskLib1\"} 8251=s:disklib1 2052=0", "disklib1"},
      {"storage-library's change (operation 32)", "HandleMMConfigMgrXmlMsg",
       "storage-library 43=32 8=DiskLib1 second.8=disklib1", "disklib1"},
      {"the tape-library wizard's rename", "onMsgEZSetTapeLibraryAliasNameReq",
       joined(kTapeListing,
              "--xml 0x01A8EB4F onMsgEZSetTapeLibraryAliasNameReq '<ZQGui_EZSetTapeLibraryAliasNameReq "
              "i6=\"{handle<\"TapeLib1\"}\" s2=\"TAPELIB1\"/>'"),
       "TAPELIB1"},
  };
  for (const auto& r : ownName) {
    const std::string shown = "\"" + std::string(r.name) + "\"";
    rows.push_back({joined("a library's own name in another letter case is taken on the route of ", r.route),
                    r.request, r.change, "libraries", {shown}});
  }
  // The disk-library wizard names its library itself: it passes over a
  // name another library answers to.
  for (bool unaliased : {false, true}) {
    Row wizard{unaliased ? "the disk-library wizard passes over the name of a library without an alias"
                         : "the disk-library wizard passes over another library's alias",
               "onMsgEZConfigureMagneticLibrary",
               "--xml 0x01000BBC onMsgEZConfigureMagneticLibrary '<ZQGui_EZConfigureMagneticLibraryReq>"
               "<ZQGui_EZMagneticLibrary tag=\"2\" s23=\"/srv/wiz\" s3=\"ma2\"/>"
               "</ZQGui_EZConfigureMagneticLibraryReq>'",
               "libraries",
               {"\"DiskLibrary_2\""},
               "SELECT COUNT(*) FROM \"MMLibrary\" WHERE \"AliasName\" = 'DiskLibrary_1' COLLATE NOCASE OR "
               "(\"AliasName\" = '' AND \"LibraryName\" = 'DiskLibrary_1' COLLATE NOCASE)",
               "1"};
    wizard.before = unaliased ? "INSERT INTO \"MMLibrary\" (\"LibraryName\", \"AliasName\", \"LibraryTypeId\", "
                                "\"LibraryEnabled\") VALUES ('DISKLIBRARY_1', '', 1, 0);"
                              : "UPDATE \"MMLibrary\" SET \"AliasName\" = 'disklibrary_1' WHERE \"LibraryName\" = "
                                "'TapeLib1';";
    rows.push_back(wizard);
  }
  // The same IP controller added twice: the second is refused naming the
  // library, and one library answers to the name.
  Row twice{"an IP controller added twice makes one library and refuses the second",
            "onMsgSetMMLibrary",
            "add-ip-controller ma2 ls1.example.net DEMO TAPE-9 LSLIB1 1 4\n"
            "add-ip-controller ma2 ls1.example.net DEMO TAPE-9 LSLIB1 1 4",
            "libraries",
            {"\"DEMO TAPE-9\""},
            "SELECT COUNT(*) FROM \"MMLibrary\" WHERE \"LibraryName\" = 'DEMO TAPE-9' COLLATE NOCASE OR "
            "\"AliasName\" = 'DEMO TAPE-9' COLLATE NOCASE",
            "1"};
  twice.changeExit = 3;
  twice.answers = {"The name [DEMO TAPE-9] is already used by another library."};
  rows.push_back(twice);
  // A controller's new library has no alias: the storage-library request
  // finds it by the name that blocks every other library from it.
  rows.push_back({"a library without an alias is deleted by its name through the storage-library request",
                  "HandleMMConfigMgrXmlMsg",
                  "add-ip-controller ma2 ls1.example.net DEMO TAPE-9 LSLIB1 1 4\n"
                  "storage-library 43=2 8=\"DEMO TAPE-9\" request.6=1",
                  "libraries",
                  {"\"TapeLib1\""},
                  "SELECT COUNT(*) FROM \"MMLibrary\" WHERE \"LibraryName\" = 'DEMO TAPE-9'",
                  "0"});
}

}  // namespace

std::vector<Row> libraryRows() {
  std::vector<Row> rows;
  const std::string lib = joined("libraries\n", kTapeLib);
  // Operation 3 of the library change, one field a row: the element sent and
  // the line the library's record shows for it.
  for (const FieldCase& f : std::vector<FieldCase>{
           {"alias", "8251=Robot-A", "tag 8251 (alias name) len 7: \"Robot-A\""},
           {"device value", "11010=7", "tag 11010 (device value) len 4: 7"},
           {"unit description", "11006=Unit-A", "tag 11006 (unit description) len 6: \"Unit-A\""},
           {"drive count", "11009=4", "tag 11159 (drive count) len 4: 4"},
           {"door lock", "11164=1", "tag 11164 (door locked) len 4: 1"},
           {"automatic DDS configuration", "11414=1", "tag 11414 (auto-config DDS) len 4: 1"},
           {"automatic failover configuration", "11415=1", "tag 11415 (auto-config failover) len 4: 1"},
           {"ACSLS clean pool", "11430=1", "tag 11430 (ACSLS clean pool) len 4: 1"},
           {"IP drive ids", "11431=1", "tag 11431 (IP drive ids) len 4: 1"},
           {"attribute word", "11416=6", "tag 11416 (attribute) len 4: 6"},
           {"volume range", "11417=VOLRANGE-XYZ", "tag 11417 (volume range) len 12: \"VOLRANGE-XYZ\""},
           {"VTL type", "11432=2", "tag 11432 (VTL type) len 4: 2"}}) {
    rows.push_back({std::string("a library's ") + f.name + " set by operation 3 reads back",
                    "onMsgSetMMLibrary",
                    "libraries\nchange-library 3 " + joined(kTapeLib, " ") + f.sent,
                    "libraries",
                    {f.seen}});
  }
  rows.push_back({"a configured library keeps its bar-code reader flag",
                  "onMsgSetMMLibrary",
                  "libraries\nchange-library 3 " + joined(kTapeLib, " 11177=0"),
                  "libraries",
                  {"tag 11177 (barcode reader) len 4: 1"}});
  rows.push_back({"the first controller takes another controller's bus, type and text (operation 3 with 11007)",
                  "onMsgSetMMLibrary",
                  "detect-keep ma2\ndetected-libraries\nlibraries\nchange-library 3 " + joined(kTapeLib,
                      " 11007=idtext:{first controller@\"TAPE-4_LIB0004\"}:x"),
                  "libraries",
                  {"\"/dev/sg4\"", "tag 11115 (controller type) len 4: 0"}});
  rows.push_back({"an object action (operation 12) keeps the library",
                  "onMsgSetMMLibrary",
                  "libraries\nchange-library 12 " + std::string(kTapeLib),
                  "libraries",
                  {"tag 2049 (library) len 12: 1 \"TapeLib1\""}});
  rows.push_back({"an identification of new media (operation 35) keeps the library",
                  "onMsgSetMMLibrary",
                  "libraries\nchange-library 35 " + std::string(kTapeLib),
                  "libraries",
                  {"tag 2049 (library) len 12: 1 \"TapeLib1\""}});
  // The demonstration has no new media: status 3, "No new media were found".
  rows.back().changeExit = 3;
  rows.push_back({"automatic discovery (operation 84) reads back",
                  "onMsgSetMMLibrary",
                  "libraries\nchange-library 84 " + joined(kTapeLib, " 11178=1"),
                  "libraries",
                  {"tag 11179 (auto discover) len 4: 1"}});
  rows.push_back(
      {"a discovery schedule (operation 85) keeps automatic discovery",
       "onMsgSetMMLibrary",
       "libraries\nchange-library 84 " + joined(kTapeLib, " 11178=1\nlibraries\nchange-library 85 ") + kTapeLib,
       "libraries",
       {"tag 11179 (auto discover) len 4: 1"}});
  rows.push_back({"an IP library controller's library and volume range read back (operation 55)",
                  "onMsgSetMMLibrary",
                  "add-ip-controller ma2 ls1.example.net DEMO TAPE-9 LSLIB1 1 4 11417=VOLRANGE-55",
                  "libraries",
                  {"\"DEMO TAPE-9\"", "tag 11417 (volume range) len 11: \"VOLRANGE-55\""}});
  rows.push_back({"a detected library dropped on nothing is stored",
                  "onMsgMMDragNDrop",
                  "detect-keep ma1\ndetected-drives\ndrag {h:[SN0201]} 0 1",
                  "libraries",
                  {"\"TAPE-2_LIB0005\""},
                  "",
                  "",
                  kAttachToMa1});
  rows.push_back({"a detected library configured through its controller is stored (control 48)",
                  "onMsgSetMMControl",
                  "detect-keep ma2\ndetected-libraries\ncontrol 48 {h:[LIB0004]}",
                  "libraries",
                  {"\"TAPE-4_LIB0004\""}});
  // What the detection described the library, its controller and its
  // drive path by, and the drive's alias its row takes, read back through
  // the library, its controllers, pools, paths and children.
  rows.push_back({"a detected library configured through its controller keeps what detection described (control 48)",
                  "onMsgSetMMControl",
                  "detect-keep ma1\ndetected-libraries\ncontrol 48 {h:[LIB0005]}",
                  "libraries\nonMsgGetMMLibraryControllers handle={h:\"TAPE-2_LIB0005\"}\nlibraries\n"
                  "master-pools {h:\"TAPE-2_LIB0005\"}\ndrive-pools {h:(master drive pool)} master\n"
                  "drive-paths {h:\"DrivePool(ma1)\"}\nlibraries\nchildren {h:\"TAPE-2_LIB0005\"}",
                  {"\"TAPE-2_LIB0005\"", "tag 11031 (description) len 30: \"DEMO TAPE-2 [LIB0005] /dev/sg5\"",
                   "tag 11150 (detail) len 37: \"DEMO TAPE-2 [LIB0005] /dev/sg5 on ma1\"",
                   "tag 11150 (detail) len 34: \"DEMO LTO [SN0201] /dev/nst8 on ma1\"",
                   "tag 8252 (drive alias) len 21: \"TAPE-2_LIB0005_Drive1\""},
                  "",
                  "",
                  kAttachToMa1});
  rows.push_back({"a detected library configured in mode 2 is stored (control 69)",
                  "onMsgSetMMControl",
                  "detect-keep ma2\ndetected-libraries\ncontrol 69 {h:[LIB0004]}",
                  "libraries",
                  {"\"TAPE-4_LIB0004\""}});
  rows.push_back({"a deconfigured library reads back not configured (control 49)",
                  "onMsgSetMMControl",
                  joined("libraries\ncontrol 49 ", kTapeLib),
                  "libraries",
                  {"tag 11116 (icon id) len 4: 11 (tape or optical library, not configured)"}});
  rows.push_back({"a library's long operation keeps the library (control 50)",
                  "onMsgSetMMControl",
                  joined("libraries\ncontrol 50 ", kTapeLib),
                  "libraries",
                  {"tag 2049 (library) len 12: 1 \"TapeLib1\""}});
  rows.push_back({"a disk device's vault lock is stored (control 109)",
                  "onMsgSetMMControl",
                  "onMsgGetDiskDevices\nonMsgSetMMControl 4001=109 11003=u64:{h:\"DiskLib1 device 1\"} 8261=30 2052=0",
                  "",
                  {},
                  "SELECT \"Value\" FROM \"MMObjectSetting\" WHERE \"Name\" = 'VaultLock'",
                  "30"});
  rows.push_back({"a library's credential operation keeps the library (control 105)",
                  "onMsgSetMMControl",
                  joined("libraries\nonMsgSetMMControl 4001=105 11003=u64:", kTapeLib) +
                      " 2048=idtext:0:TapeLib1 2401=enc:backup 2402=enc:s3cret 2052=0",
                  "libraries",
                  {"tag 2049 (library) len 12: 1 \"TapeLib1\""}});
  rows.push_back(
      {"a drive path replaced by another is disabled and the other enabled (control 61)",
       "onMsgSetMMControl",
       joined(kMa1Paths, "onMsgSetMMControl 4001=61 11003=u64:{h:\"Drive1\"} 11148=u64:{h:\"Drive2\"} 2052=0"),
       "",
       {},
       "SELECT group_concat(\"IsEnabled\", ',') FROM (SELECT \"IsEnabled\" FROM \"MMDrivePath\" WHERE "
       "\"ClientId\" = 1 ORDER BY \"DriveId\")",
       "0,1"});
  rows.push_back({"a drive path moved to another host keeps the host (control 118)",
                  "onMsgSetMMControl",
                  joined(kMa1Paths,
                      "onMsgSetMMControl 4001=118 11003=u64:{h:\"Drive2\"} 2048=idtext:0:newhost.example.net 2052=0"),
                  "",
                  {},
                  "SELECT \"Value\" FROM \"MMObjectSetting\" WHERE \"Kind\" = 6 AND \"Name\" = 'ServerHost'",
                  "newhost.example.net"});
  rows.push_back({"an IP controller copied to every shown agent is stored (control 55)",
                  "onMsgSetMMControl",
                  "add-ip-controller ma2 ls1.example.net DEMO TAPE-9 LSLIB1 1 4\ncontrol 70\nlibraries\ncontrol 55 "
                  "{h:\"DEMO TAPE-9\"}",
                  "",
                  {},
                  "SELECT COUNT(*) FROM \"MMLibraryController\" c JOIN \"MMLibrary\" l ON l.\"LibraryId\" = "
                  "c.\"LibraryId\" WHERE l.\"LibraryName\" = 'DEMO TAPE-9'",
                  "2"});
  rows.push_back({"a library controller takes another controller's bus",
                  "onMsgSetMMLibraryController",
                  joined("detect-keep ma2\ndetected-libraries\nlibraries\nonMsgGetMMLibraryControllers handle=",
                         kTapeLib) +
                      "\nonMsgSetMMLibraryController 4001=3 11003=u64:{h:\"/dev/sg1\"} "
                      "11007=idtext:{first controller@\"TAPE-4_LIB0004\"}:x 2052=0",
                  "libraries",
                  {"\"/dev/sg4\"", "tag 11115 (controller type) len 4: 0"}});
  rows.push_back({"a detection stores no library until one is configured",
                  "onMsgMMAutoDetect",
                  "detect-keep ma2",
                  "libraries",
                  {"!TAPE-4_LIB0004", "\"TapeLib1\""}});
  rows.push_back({"an exhaustive detection stores no library until one is configured",
                  "onMsgMMExaustiveDetect",
                  joined("libraries\nonMsgMMExaustiveDetect 11003=u64:", kTapeLib) + " 11053=1 2052=0",
                  "libraries",
                  {"!TAPE-4_LIB0004", "\"TapeLib1\""}});
  // It answers status 2 ("new devices were found"), which the console
  // counts as no plain success.
  rows.back().changeExit = 3;
  {
    Row serial{"the serial-number check is process-wide and starts afresh with the host",
               "onMsgSetMMMediaConfigParam",
               "serial-check off",
               "serial-check",
               {"tag 11077 (check serial number) len 4: 0"}};
    serial.restartShows = {"tag 11077 (check serial number) len 4: 1"};
    rows.push_back(serial);
  }
  rows.push_back({"an IP library controller added on a connection whose lock failed does nothing",
                  "onMsgSetMMLibrary",
                  "add-ip-controller ma2 ls1.example.net DEMO TAPE-9 LSLIB1 1 4 11417=VOLRANGE-BUSY",
                  "libraries",
                  {"!VOLRANGE-BUSY", "!\"DEMO TAPE-9\""}});
  rows.back().lockFails = true;
  rows.back().keepsNothing = true;
  rows.back().changeExit = 3;
  // A settings write the database refuses: the change fails, and the
  // session shows the volume range as it was, as the database keeps it.
  rows.push_back({"a library's volume range whose settings write fails stays as it was in the session",
                  "onMsgSetMMLibrary",
                  "libraries\nchange-library 3 " + std::string(kTapeLib) + " 11417=VOLRANGE-FAIL",
                  "libraries",
                  {"tag 11417 (volume range) len 0:", "!VOLRANGE-FAIL"},
                  "",
                  "",
                  "CREATE TRIGGER \"refuse_settings\" BEFORE INSERT ON \"MMObjectSetting\" BEGIN SELECT "
                  "RAISE(ABORT, 'settings refused'); END; CREATE TRIGGER \"refuse_settings_update\" BEFORE UPDATE "
                  "ON \"MMObjectSetting\" BEGIN SELECT RAISE(ABORT, 'settings refused'); END;",
                  3});
  // A refused step keeps the steps before it, in the store as in the
  // session: the alias stands, the drive count below the last drive is
  // refused.
  rows.push_back({"a library's alias set before a refused drive count (operation 3) is kept as the session keeps it",
                  "onMsgSetMMLibrary",
                  "libraries\nchange-library 3 " + std::string(kTapeLib) + " 8251=TapeRen8 11009=0",
                  "libraries",
                  {"\"TapeRen8\""}});
  rows.back().changeExit = 3;
  rows.back().answers = {"Drive Count should be greater than last used drive number"};
  nameRuleRows(rows);
  return rows;
}

const bool kLibraryRowsListed =
    listFamily("EveryLibraryChangeAnsweredSuccessReadsBackAfterAReReadAndARestart", &libraryRows);
TEST(HostSweep, EveryLibraryChangeAnsweredSuccessReadsBackAfterAReReadAndARestart) { sweep(libraryRows()); }

}  // namespace sweeptest
