// The XML requests: the replication store, the disk- and tape-library
// wizards, device lists and fan-in recovery points, swept through the host.
#include <gtest/gtest.h>

#include "tests/host_sweep/Sweep.h"

namespace sweeptest {
namespace {

// The tape-library wizard's listing after a detection on ma2: TapeLib1 and
// the detected TAPE-4_LIB0004, with the wizard's handles.
constexpr const char* kTapeListing =
    "detect-keep ma2\n--xml 0x01000BBF onMsgEZGetTapeLibrary '<ZQGui_EZGetTapeLibrariesReq/>'\n";

}  // namespace

std::vector<Row> xmlRows() {
  std::vector<Row> rows;
  rows.push_back({"a replication-store library added reads back",
                  "onMsgConfigRPStoreLibrary",
                  "--xml 0x0D64B786 onMsgConfigRPStoreLibrary '<EVGui_RPStoreLibraryReq i4=\"1\">"
                  "<EVGui_StorageLibraryInfo tag=\"3\" i7=\"2\" s8=\"rplib\" s24=\"/data/rp1\"/>"
                  "<EVGui_RPStoreLibraryInfo tag=\"2\" i6=\"100\" i7=\"4000\"/></EVGui_RPStoreLibraryReq>'",
                  "libraries",
                  {"\"rplib\""},
                  "SELECT \"MinSpace\" || ',' || \"MaxSpace\" FROM \"MMRPStoreConfig\"",
                  "100,4000"});
  rows.push_back({"a disk library made by the wizard keeps its media agent",
                  "onMsgEZConfigureMagneticLibrary",
                  "--xml 0x01000BBC onMsgEZConfigureMagneticLibrary '<ZQGui_EZConfigureMagneticLibraryReq>"
                  "<ZQGui_EZMagneticLibrary tag=\"2\" s23=\"/srv/wiz\" s3=\"ma2\"/>"
                  "</ZQGui_EZConfigureMagneticLibraryReq>'",
                  "libraries",
                  {"\"DiskLibrary_1\"", "tag 2048 (media agent) len 7: 2 \"ma2\""}});
  // A library of an alias of 510 bytes without a mount path or a storage
  // policy: the wizard adds the folder as its first mount path, with the
  // medium (300 bytes) and the device (512 bytes) named after the alias cut
  // before a two-byte character across each limit, then answers that the
  // policy could not be set up, naming what it kept.
  {
    std::string alias(292, 'a');
    for (int i = 0; i < 109; ++i) alias += "\xC3\xA9";
    std::string device(292, 'a');
    for (int i = 0; i < 106; ++i) device += "\xC3\xA9";
    device += " device";
    // Appended one at a time: GCC 12 at -O2 takes a literal appended to a
    // string made just before for a read past the literal.
    std::string medium(292, 'a');
    medium += " medium|";
    medium += device;
    rows.push_back({"a disk library of an alias of 510 bytes given its first mount path by the wizard stores names "
                    "that fit and answers what it kept",
                    "onMsgEZConfigureMagneticLibrary",
                    "onMsgSetMMMagneticLibrary 4001=1 8251=s:WizBare 11187=3 2048=idtext:0:ma2 2052=0\n"
                    "storage-library 43=32 8=WizBare second.8=" + alias + "\ncontrol 70\n"
                    "--xml 0x01000BBC onMsgEZConfigureMagneticLibrary '<ZQGui_EZConfigureMagneticLibraryReq>"
                    "<ZQGui_EZMagneticLibrary tag=\"2\" i2=\"{h:(library) len 11: 3 \"WizBare\"}\" s23=\"/srv/wizlong\"/>"
                    "</ZQGui_EZConfigureMagneticLibraryReq>'",
                    "",
                    {},
                    "SELECT (SELECT \"MediaName\" FROM \"MMMedia\" WHERE \"MediaId\" = (SELECT MAX(\"MediaId\") FROM "
                    "\"MMMedia\")) || '|' || (SELECT \"AliasName\" FROM \"MMDevice\" WHERE \"DeviceId\" = (SELECT "
                    "MAX(\"DeviceId\") FROM \"MMDevice\"))",
                    medium});
    rows.back().changeExit = 3;
    rows.back().answers = {"The storage policy of [" + alias + "] could not be set up. The mount path [/srv/wizlong] and "
                           "the device [" + device + "] it lies on were kept."};
  }
  rows.push_back({"a detected tape library configured by the wizard is stored",
                  "onMsgEZConfigureTapeLibrary",
                  joined(kTapeListing,
                      "--xml 0x01000BC1 onMsgEZConfigureTapeLibrary '<ZQGui_EZConfigureTapeLibraryReq i4=\"1\">"
                      "<ZQGui_EZTapeLibrary tag=\"2\" i2=\"{handle<\"TAPE-4_LIB0004\"}\" i18=\"30\"/>"
                      "</ZQGui_EZConfigureTapeLibraryReq>'"),
                  "libraries",
                  {"\"TAPE-4_LIB0004\"", "!(tape or optical library, not configured)"}});
  // The new library gets the default storage policy, which takes the
  // retention.
  rows.back().rowQuery =
      "SELECT G.\"name\" || ',' || R.\"retentionDays\" FROM \"archGroup\" G JOIN \"archGroupCopy\" C ON "
      "C.\"archGroupId\" = G.\"id\" JOIN \"archAgingRule\" R ON R.\"copyId\" = C.\"id\"";
  rows.back().rowValue = "SP_TAPE-4_LIB0004,30";
  rows.push_back({"a detected drive configured by the wizard stores its library",
                  "onMsgEZConfigureTapeLibraryDrives",
                  joined(kTapeListing,
                      "--xml 0x015845CD onMsgEZConfigureTapeLibraryDrives '<ZQGui_EZConfigureTapeLibraryDrivesReq>"
                      "<list tag=\"2\"><ZQGui_EZTapeDrive i2=\"{handle<\"TAPE-4_LIB0004_Drive1\"}\"/>"
                      "</list></ZQGui_EZConfigureTapeLibraryDrivesReq>'"),
                  "libraries",
                  {"\"TAPE-4_LIB0004\"", "!(tape or optical library, not configured)"}});
  rows.push_back({"a tape library's alias set by the wizard reads back",
                  "onMsgEZSetTapeLibraryAliasNameReq",
                  joined(kTapeListing,
                      "--xml 0x01A8EB4F onMsgEZSetTapeLibraryAliasNameReq '<ZQGui_EZSetTapeLibraryAliasNameReq "
                      "i6=\"{handle<\"TapeLib1\"}\" s2=\"WizTape\"/>'"),
                  "libraries",
                  {"tag 8251 (alias name) len 7: \"WizTape\""}});
  // The devices are configured on the client itself: the configuration
  // records no volume for them.
  rows.push_back({"a device list configured on a client records no SAN volume",
                  "onMsgConfigureDeviceListCommand",
                  "--xml 0x0D00067E onMsgConfigureDeviceListCommand '<EVGui_DKBFConfigureDevicesReq i1=\"101\" "
                  "i2=\"84\"><list tag=\"3\"><EVGui_IdName s2=\"E:\"/></list></EVGui_DKBFConfigureDevicesReq>'",
                  "san-volumes 101",
                  {"reply 11604", "!E:"}});
  rows.back().outsideWorld = true;
  rows.push_back({"a fan-in recovery point deleted (operation 2) is gone",
                  "onMsgManageFanInRP",
                  "--xml 0x0D00041B onMsgManageFanInRP '<EVGui_CDRFanInExecuteRPOperationReq i1=\"1\" i2=\"2\"/>'",
                  "",
                  {},
                  "SELECT COUNT(*) FROM \"FLRConsistencyPoint\"",
                  "0",
                  "INSERT INTO \"FLRConsistencyPoint\" (\"flrSetId\") VALUES (1);"});
  return rows;
}

const bool kXmlRowsListed = listFamily("EveryXmlChangeAnsweredSuccessReadsBackAfterAReReadAndARestart", &xmlRows);
TEST(HostSweep, EveryXmlChangeAnsweredSuccessReadsBackAfterAReReadAndARestart) { sweep(xmlRows()); }

}  // namespace sweeptest
