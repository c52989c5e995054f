// The XML requests: the replication store, the disk- and tape-library
// wizards, device lists and fan-in recovery points, swept through the host.
#include <gtest/gtest.h>

#include "tests/host_sweep/Sweep.h"

namespace sweeptest {

std::vector<Row> xmlRows() {
  std::vector<Row> rows;
  rows.push_back({"a replication-store library added reads back", "onMsgConfigRPStoreLibrary",
                  "--xml 0x0D64B786 onMsgConfigRPStoreLibrary '<EVGui_RPStoreLibraryReq i1=\"1\" s2=\"RPStore1\" "
                  "s3=\"ma1\" s4=\"/srv/rp1\"/>'",
                  "libraries", {"\"RPStore1\""}});
  rows.push_back({"a disk library made by the wizard keeps its media agent", "onMsgEZConfigureMagneticLibrary",
                  "--xml 0x01000BBC onMsgEZConfigureMagneticLibrary '<ZQGui_EZConfigureMagneticLibraryReq>"
                  "<ZQGui_EZMagneticLibrary tag=\"2\" s8=\"WizDisk\" s23=\"/srv/wiz\" s3=\"ma2\"/>"
                  "</ZQGui_EZConfigureMagneticLibraryReq>'",
                  "libraries", {"\"WizDisk\"", "tag 2048 (media agent) len 7: 2 \"ma2\""}});
  rows.push_back({"a tape library configured by the wizard is stored", "onMsgEZConfigureTapeLibrary",
                  "--xml 0x01000BBE onMsgEZConfigureTapeLibrary '<ZQGui_EZConfigureTapeLibraryReq/>'", "libraries",
                  {"\"TapeLib1\""}});
  rows.push_back({"a tape library's drives configured by the wizard are stored", "onMsgEZConfigureTapeLibraryDrives",
                  "--xml 0x01000BC0 onMsgEZConfigureTapeLibraryDrives '<ZQGui_EZConfigureTapeLibraryDrivesReq/>'",
                  "libraries", {"\"TapeLib1\""}});
  rows.push_back({"a tape library's alias set by the wizard reads back", "onMsgEZSetTapeLibraryAliasNameReq",
                  "--xml 0x01A8EB4F onMsgEZSetTapeLibraryAliasNameReq '<ZQGui_EZSetTapeLibraryAliasNameReq i6=\"1\" "
                  "s2=\"WizTape\"/>'",
                  "libraries", {"tag 8251 (alias name) len 7: \"WizTape\""}});
  rows.push_back({"a device list configured for a client is stored", "onMsgConfigureDeviceListCommand",
                  "--xml 0x0D00067E onMsgConfigureDeviceListCommand '<EVGui_DKBFConfigureDevicesReq i1=\"101\" "
                  "i2=\"84\"/>'",
                  "", {}});
  rows.push_back({"a fan-in recovery point operation is stored", "onMsgManageFanInRP",
                  "--xml 0x0D00041B onMsgManageFanInRP '<EVGui_CDRFanInExecuteRPOperationReq i1=\"1\" i2=\"7\" "
                  "s3=\"E:\"/>'",
                  "", {}});
  return rows;
}

TEST(HostSweep, EveryXmlChangeAnsweredSuccessReadsBackAfterAReReadAndARestart) { sweep(xmlRows()); }

}  // namespace sweeptest
