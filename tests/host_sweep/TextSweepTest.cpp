// Every text a change stores is stored whole or the change is refused: each
// text field of each change request, driven at its column's width (kept
// whole, read back at that length after a re-read and a restart) and one
// byte over it (refused with a text that names the limit, every stored
// table as it was). After each row the sweep also holds every text column
// of the store to its width, whichever column the row names.
#include <gtest/gtest.h>

#include <string>

#include "tests/host_sweep/Sweep.h"

namespace sweeptest {
namespace {

// One text field of a change request: `change` holds '@' where the text
// goes (a text of `width` bytes, or one more, beginning with `prefix`),
// `refusal` is what the change one byte over answers, naming the limit, and
// `stored` reads the length of the longest text of its column.
struct TextField {
  const char* name;
  const char* request;
  std::string change;
  size_t width;
  const char* refusal;
  const char* stored;
  const char* prefix = "";
  bool outsideWorld = false;
  // SQL run on the fresh database first: what the change works on, made
  // there so that a refusal leaves every table as it was.
  const char* before = "";
};

constexpr const char* kStorageLibrary = "HandleMMConfigMgrXmlMsg";

const TextField kFields[] = {
    {"a new disk library's name (storage-library 1, tag 8)", kStorageLibrary,
     "storage-library 43=1 8=@ 3=ma1 24=/srv/wide", 128, "The library name must be 1 to 128 bytes long.", "SELECT MAX(length(\"LibraryName\")) FROM \"MMLibrary\""},
    {"a new disk library's mount path (storage-library 1, tag 24)", kStorageLibrary,
     "storage-library 43=1 8=DiskLibW 3=ma1 24=@", 1024, "The mount path is longer than 1024 bytes.", "SELECT MAX(length(\"MountPathName\")) FROM \"MMMountPath\"",
     "/srv/"},
    {"a new disk library's user name (storage-library 1, tag 28)", kStorageLibrary,
     "storage-library 43=1 8=DiskLibW 3=ma1 24=/srv/wide 28=@", 1023, "The user name is longer than 1023 bytes.",
     "SELECT MAX(length(\"UserName\")) FROM \"MMMountPath\""},
    {"a new disk library's device name (storage-library 1, tag 60)", kStorageLibrary,
     "storage-library 43=1 8=DiskLibW 3=ma1 24=/srv/wide 60=@", 512, "The device name is longer than 512 bytes.",
     "SELECT MAX(length(\"AliasName\")) FROM \"MMDevice\""},
    // Operation 4: tag 24 is the folder of the media agent's controller,
    // tag 60 the mount path's name (its base folder).
    {"an added mount path's folder (storage-library 4, tag 24)", kStorageLibrary,
     "storage-library 43=4 8=DiskLib1 3=ma1 24=@ 60=mpw", 1023, "The mount path is longer than 1023 bytes.",
     "SELECT MAX(length(\"Folder\")) FROM \"MMDeviceController\"", "/srv/"},
    {"an added mount path's base folder (storage-library 4, tag 60)", kStorageLibrary,
     "storage-library 43=4 8=DiskLib1 3=ma1 24=/srv/w 60=@", 1023, "The base folder name is longer than 1023 bytes.",
     "SELECT MAX(length(\"MountPathName\")) FROM \"MMMountPath\""},
    {"a disk library's new name (storage-library 32, tag 8)", kStorageLibrary,
     "storage-library 43=32 8=DiskLib1 second.8=@", 512, "The library name is longer than 512 bytes.", "SELECT MAX(length(\"AliasName\")) FROM \"MMLibrary\""},
    {"a device volume's device name (storage-library 256, tag 55)", kStorageLibrary,
     "storage-library 43=256 3=ma2 55=@ 24=/mnt/ma2/nas1", 512, "The device name is longer than 512 bytes.", "SELECT MAX(length(\"AliasName\")) FROM \"MMDevice\""},
    {"a device volume's folder (storage-library 256, tag 24)", kStorageLibrary,
     "storage-library 43=256 3=ma2 55=nasw 24=@", 1024, "The mount path is longer than 1024 bytes.", "SELECT MAX(length(\"Folder\")) FROM \"MMDeviceController\"",
     "/mnt/"},
    {"a mount path's device renamed (storage-library 8, tag 55)", kStorageLibrary,
     "storage-library 43=8 8=DiskLib1 3=ma1 23=1 24=/srv/disklib1/mp1 second.55=@", 512, "The device name is longer than 512 bytes.",
     "SELECT MAX(length(\"AliasName\")) FROM \"MMDevice\""},
    {"a mount path shared with a second agent (storage-library 64, tag 24)", kStorageLibrary,
     "storage-library 43=64 8=DiskLib1 3=ma1 23=1 second.3=ma2 second.24=@", 1023, "The mount path of the media agent is longer than 1023 bytes.",
     "SELECT MAX(length(\"Folder\")) FROM \"MMDeviceController\"", "/mnt/"},
    {"a device path's folder (device paths, tag 4)", kStorageLibrary,
     "device-paths 1 path agent=2 17=1 1=1 4=@ 13=4", 1023, "The folder of the device path of media agent [2] is longer than 1023 bytes.", "SELECT MAX(length(\"Folder\")) FROM \"MMDeviceController\"",
     "/srv/"},
    {"a device path's user name (device paths, tag 8)", kStorageLibrary,
     "device-paths 1 path agent=2 17=1 1=1 4=/srv/disklib1/mp1 13=4 8=@", 1023, "The user name of the device path of media agent [2] is longer than 1023 bytes.",
     "SELECT MAX(length(\"UserName\")) FROM \"MMDeviceController\""},
    {"a replication-store library's name (tag 8)", "onMsgConfigRPStoreLibrary",
     "--xml 0x0D64B786 onMsgConfigRPStoreLibrary '<EVGui_RPStoreLibraryReq i4=\"1\">"
     "<EVGui_StorageLibraryInfo tag=\"3\" i7=\"2\" s8=\"@\" s24=\"/data/rp1\"/>"
     "<EVGui_RPStoreLibraryInfo tag=\"2\" i6=\"100\" i7=\"4000\"/></EVGui_RPStoreLibraryReq>'",
     128, "The library name must be 1 to 128 bytes long.", "SELECT MAX(length(\"LibraryName\")) FROM \"MMLibrary\""},
    {"a replication-store library's mount path (tag 24)", "onMsgConfigRPStoreLibrary",
     "--xml 0x0D64B786 onMsgConfigRPStoreLibrary '<EVGui_RPStoreLibraryReq i4=\"1\">"
     "<EVGui_StorageLibraryInfo tag=\"3\" i7=\"2\" s8=\"rplib\" s24=\"@\"/>"
     "<EVGui_RPStoreLibraryInfo tag=\"2\" i6=\"100\" i7=\"4000\"/></EVGui_RPStoreLibraryReq>'",
     1024, "The mount path is longer than 1024 bytes.", "SELECT MAX(length(\"MountPathName\")) FROM \"MMMountPath\"", "/data/"},
    {"the disk-library wizard's mount path (tag 23)", "onMsgEZConfigureMagneticLibrary",
     "--xml 0x01000BBC onMsgEZConfigureMagneticLibrary '<ZQGui_EZConfigureMagneticLibraryReq>"
     "<ZQGui_EZMagneticLibrary tag=\"2\" s23=\"@\" s3=\"ma2\"/></ZQGui_EZConfigureMagneticLibraryReq>'",
     1024, "The mount path is longer than 1024 bytes.", "SELECT MAX(length(\"Folder\")) FROM \"MMDeviceController\"", "/srv/"},
    {"the disk-library wizard's user name (tag 27)", "onMsgEZConfigureMagneticLibrary",
     "--xml 0x01000BBC onMsgEZConfigureMagneticLibrary '<ZQGui_EZConfigureMagneticLibraryReq>"
     "<ZQGui_EZMagneticLibrary tag=\"2\" s23=\"/srv/wiz\" s3=\"ma2\" s27=\"@\"/>"
     "</ZQGui_EZConfigureMagneticLibraryReq>'",
     1023, "The user name is longer than 1023 bytes.", "SELECT MAX(length(\"UserName\")) FROM \"MMMountPath\""},
    {"a tape library's alias set by the wizard (tag 2)", "onMsgEZSetTapeLibraryAliasNameReq",
     "detect-keep ma2\n--xml 0x01000BBF onMsgEZGetTapeLibrary '<ZQGui_EZGetTapeLibrariesReq/>'\n"
     "--xml 0x01A8EB4F onMsgEZSetTapeLibraryAliasNameReq '<ZQGui_EZSetTapeLibraryAliasNameReq "
     "i6=\"{handle<\"TapeLib1\"}\" s2=\"@\"/>'",
     512, "The library name is longer than 512 bytes.", "SELECT MAX(length(\"AliasName\")) FROM \"MMLibrary\""},
    {"a disk library's alias set by the set request (tag 8251)", "onMsgSetMMMagneticLibrary",
     "onMsgSetMMMagneticLibrary 4001=1 8251=s:@ 11187=3 2048=idtext:0:ma1 2052=0", 128, "The library name is longer than 128 bytes.",
     "SELECT MAX(length(\"AliasName\")) FROM \"MMLibrary\""},
    {"a DRU host's user (tag 11425)", "onMsgSetDRUHost",
     "onMsgSetDRUHost 4001=48 11420=idtext:0:dru-a 11425=s:@ 11427=7000 2052=0", 1024, "The DRU host [dru-a] could not be added: The DRU host user name is longer than 1024 bytes.",
     "SELECT MAX(length(\"UserName\")) FROM \"MMDRUHost\""},
    {"a mount path's path set by operation 3 (tag 11041)", "onMsgSetMMMountPath",
     "libraries\nmount-paths {h:(library) len 12: 2 \"DiskLib1\"}\n"
     "onMsgSetMMMountPath 4001=3 11003=u64:{h:1 \"/srv/disklib1/mp1\"} 11041=s:@ 2052=0",
     4096, "The mount path name is longer than 4096 bytes.", "SELECT MAX(length(\"MountPathName\")) FROM \"MMMountPath\"", "/mnt/"},
    {"a mount path added by operation 1 (tag 11041)", "onMsgSetMMMountPath",
     "libraries\nonMsgSetMMMountPath 4001=1 11003=u64:{h:(library) len 12: 2 \"DiskLib1\"} 4108=2 "
     "11041=s:@ 2048=idtext:1:ma1 11185=1 2052=0",
     4096, "The mount path is longer than 4096 bytes.", "SELECT MAX(length(\"MountPathName\")) FROM \"MMMountPath\"", "/srv/"},
    {"a mount path's user name set by operation 3 (tag 2401)", "onMsgSetMMMountPath",
     "libraries\nmount-paths {h:(library) len 12: 2 \"DiskLib1\"}\n"
     "onMsgSetMMMountPath 4001=3 11003=u64:{h:1 \"/srv/disklib1/mp1\"} 2401=enc:@ 2052=0",
     1024, "The UserName of a mount path is longer than 1024 bytes.", "SELECT MAX(length(\"UserName\")) FROM \"MMMountPath\""},
    {"an NDMP drive's firmware (operation 1, tag 8202)", "onMsgSetMMDrive",
     "libraries\nonMsgSetMMDrive 4001=1 11073=u64:{h:(library) len 12: 1 \"TapeLib1\"} 11058=filer2 "
     "2048=idtext:0:ma1 11024=s:/dev/nrst0 11069=0 8202=@ 2052=0",
     32, "The drive firmware revision is longer than 32 bytes.", "SELECT MAX(length(\"FirmwareRevision\")) FROM \"MMDrive\"", "", true},
    {"an NDMP drive's serial number (operation 1, tag 2282)", "onMsgSetMMDrive",
     "libraries\nonMsgSetMMDrive 4001=1 11073=u64:{h:(library) len 12: 1 \"TapeLib1\"} 11058=filer2 "
     "2048=idtext:0:ma1 11024=s:/dev/nrst0 11069=0 2282=@ 2052=0",
     32, "The drive serial number is longer than 32 bytes.", "SELECT MAX(length(\"SerialNumber\")) FROM \"MMDrive\""},
    {"a drive's alias set by operation 3 (tag 8252)", "onMsgSetMMDrive",
     "libraries\nmaster-pools {h:(library) len 12: 1 \"TapeLib1\"}\ndrive-pools {h:(master drive pool)} master\n"
     "drive-paths {h:2 \"DrivePool(ma2)\"}\nonMsgSetMMDrive 4001=3 11003=u64:{h:\"Drive1\"} 8252=@ 2052=0",
     4096, "The drive name is longer than 4096 bytes.", "SELECT MAX(length(\"AliasName\")) FROM \"MMDrive\""},
    {"a drive pool's name (tag 8260)", "onMsgSetMMDrivePool",
     "libraries\nmaster-pools {h:(library) len 12: 1 \"TapeLib1\"}\ndrive-pools {h:(master drive pool)} master\n"
     "onMsgSetMMDrivePool 4001=3 11003=u64:{h:2 \"DrivePool(ma2)\"} 8260=s:@ 2052=0",
     256, "The drive pool name is longer than 256 bytes.", "SELECT MAX(length(\"DrivePoolName\")) FROM \"MMDrivePool\""},
    {"a master pool's name (tag 8258)", "onMsgSetMMMasterDrivePool",
     "libraries\nmaster-pools {h:(library) len 12: 1 \"TapeLib1\"}\ndrive-pools {h:(master drive pool)} master\n"
     "onMsgSetMMMasterDrivePool 4001=3 11003=u64:{h:(master drive pool)} 8258=s:@ 2052=0",
     256, "The master pool name is longer than 256 bytes.", "SELECT MAX(length(\"MasterPoolName\")) FROM \"MMMasterPool\""},
    {"a copy manager's name (tag 11119)", "onMsgSetMMCMDevice",
     "onMsgGetMMCMDevices\n"
     "onMsgSetMMCMDevice 4001=3 11003=u64:{h:\"Software copy manager on ma1\"} 11119=idtext:0:@ 2052=0",
     255, "The copy manager name is longer than 255 bytes.", "SELECT MAX(length(\"CopyManagerName\")) FROM \"MMCopyManager\"", "", false,
     "INSERT INTO \"MMCopyManager\" (\"CopyManagerName\", \"ConcurrencyLimit\", \"ClientId\", "
     "\"ControllerName\") VALUES ('Software copy manager on ma1', 3, 1, 'CM on ma1');"},
    {"a tape library's alias set by the set request (tag 8251)", "onMsgSetMMLibrary",
     "libraries\nonMsgSetMMLibrary 4001=3 11003=u64:{h:(library) len 12: 1 \"TapeLib1\"} 8251=s:@ 2052=0", 512, "The library name is longer than 512 bytes.",
     "SELECT MAX(length(\"AliasName\")) FROM \"MMLibrary\""},
    {"a DRU host's name (tag 11420)", "onMsgSetDRUHost",
     "onMsgSetDRUHost 4001=48 11420=idtext:0:@ 11425=s:operator 11427=7000 2052=0", 255, "The DRU host name is longer than 255 bytes.",
     "SELECT MAX(length(\"HostName\")) FROM \"MMDRUHost\""},
    {"an archive cluster's name (tag 11400)", "onMsgSetCenteraCluster",
     "onMsgSetCenteraCluster 4001=48 11400=idtext:0:@ 11411=s:cas-Arc1 11405=s:ID-Arc1 11406=s:5000 11407=s:4.0 "
     "11408=s:10.0.0.1 2052=0",
     255, "The archive cluster's name is longer than 255 bytes.", "SELECT MAX(length(\"Name\")) FROM \"MMCenteraCluster\""},
    {"an archive cluster's cluster name (tag 11411)", "onMsgSetCenteraCluster",
     "onMsgSetCenteraCluster 4001=48 11400=idtext:0:Arc1 11411=s:@ 11405=s:ID-Arc1 11406=s:5000 11407=s:4.0 "
     "11408=s:10.0.0.1 2052=0",
     255, "The archive cluster's cluster name is longer than 255 bytes.", "SELECT MAX(length(\"ClusterName\")) FROM \"MMCenteraCluster\""},
    {"an archive cluster's identity (tag 11405)", "onMsgSetCenteraCluster",
     "onMsgSetCenteraCluster 4001=48 11400=idtext:0:Arc1 11411=s:cas-Arc1 11405=s:@ 11406=s:5000 11407=s:4.0 "
     "11408=s:10.0.0.1 2052=0",
     255, "The archive cluster's identity is longer than 255 bytes.", "SELECT MAX(length(\"ClusterIdentity\")) FROM \"MMCenteraCluster\""},
    {"an archive cluster's version (tag 11407)", "onMsgSetCenteraCluster",
     "onMsgSetCenteraCluster 4001=48 11400=idtext:0:Arc1 11411=s:cas-Arc1 11405=s:ID-Arc1 11406=s:5000 11407=s:@ "
     "11408=s:10.0.0.1 2052=0",
     255, "The archive cluster's version is longer than 255 bytes.", "SELECT MAX(length(\"Version\")) FROM \"MMCenteraCluster\""},
    {"a network share's path (tag 11041)", "onMsgSetDiskVolume",
     "onMsgSetDiskVolume 4001=1 2048=idtext:1:ma1 11041=s:@ 2401=enc:backup 2402=enc:s3cret 2052=0", 1024, "The volume is longer than 1024 bytes.",
     "SELECT MAX(length(\"Folder\")) FROM \"MMDeviceController\"", "//nas1/"},
    {"an NDMP server's firmware (tag 11065)", "onMsgSetMMNDMPServer",
     "onMsgSetMMNDMPServer 4106=2 4001=1 11058=filer2 11062=enc:root 11063=enc:demo 11064=6 11066=10000 "
     "11065=@ 2052=0",
     32, "The firmware revision is longer than 32 bytes.", "SELECT MAX(length(\"firmwareRevision\")) FROM \"MMNDMPHostInfo\"", "", true},
};

std::string textOf(const TextField& f, size_t length) {
  std::string text = f.prefix;
  text.resize(length, 'w');
  return text;
}

std::string filled(const TextField& f, size_t length) {
  std::string change = f.change;  // a copy: the text goes into it
  change.replace(change.find('@'), 1, textOf(f, length));
  return change;
}

}  // namespace

std::vector<Row> textRows() {
  std::vector<Row> rows;
  for (const TextField& f : kFields) {
    Row whole{std::string(f.name) + " at its column's width is stored whole", f.request, filled(f, f.width), "", {}};
    whole.rowQuery = f.stored;
    whole.rowValue = std::to_string(f.width);
    whole.outsideWorld = f.outsideWorld;
    whole.before = f.before;
    rows.push_back(whole);
    Row over{std::string(f.name) + " one byte over its column's width is refused and keeps nothing", f.request,
             filled(f, f.width + 1), "", {}};
    // Nothing longer than the column is stored (and every table is as it was).
    over.rowQuery = std::string("SELECT COALESCE((") + f.stored + "), 0) > " + std::to_string(f.width);
    over.rowValue = "0";
    over.changeExit = 3;
    over.answers = {f.refusal};
    over.keepsNothing = true;
    over.outsideWorld = f.outsideWorld;
    over.before = f.before;
    rows.push_back(over);
  }
  return rows;
}

const bool kTextRowsListed = listFamily("EveryTextAChangeStoresIsKeptWholeAtItsWidthAndRefusedOneByteOver", &textRows);
TEST(HostSweep, EveryTextAChangeStoresIsKeptWholeAtItsWidthAndRefusedOneByteOver) { sweep(textRows()); }

}  // namespace sweeptest
