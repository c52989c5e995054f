// Detection from the attached-hardware tables (see ZQMACAttachedHardware.h).
#include "platform/mac/ZQMACAttachedHardware.h"

#include <string>
#include <vector>

#include "frame/mac/ZQMACObjects.h"
#include "platform/db/DBSession.h"
#include "platform/mac/ZQMACGraph.h"
#include "platform/mac/ZQMACPlatform.h"
#include "platform/mac/ZQMACStoredSettings.h"

namespace tkmac {
namespace {

constexpr int kUnstored = -1;  // GetId() 0xFFFFFFFF: never stored
constexpr int kTapeLibraryType = 1;

// One attached unit as its row gives it.
struct Unit {
  long long rowId = 0;
  int driveNumber = 0;
  std::string vendor;
  std::string product;
  std::string serial;
  std::string device;
  unsigned int bus = 0;
  unsigned int target = 0;
  unsigned int lun = 0;
};

struct AttachedLibrary {
  ZQMACMediaAgent* agent = nullptr;
  Unit unit;
  std::vector<Unit> drives;
};

Unit unitOf(const tkdb::DbRow& row) {
  Unit u;
  u.rowId = row[0].i;
  u.driveNumber = static_cast<int>(row[1].i);
  u.vendor = row[2].s;
  u.product = row[3].s;
  u.serial = row[4].s;
  u.device = row[5].s;
  u.bus = static_cast<unsigned int>(row[6].i);
  u.target = static_cast<unsigned int>(row[7].i);
  u.lun = static_cast<unsigned int>(row[8].i);
  return u;
}

// What the listings and warnings show of a unit: "DEMO LTO [SN0101] /dev/nst4".
std::string describe(const Unit& u) { return u.vendor + " " + u.product + " [" + u.serial + "] " + u.device; }

// Marks what a detection describes a controller or a drive path by (its
// descriptions, and a path's detail), as the registry of stored settings
// declares them, so that the object's first store writes them with its row
// and a re-read shows them as this instance does.
void markDescribed(ZQMACInterface& object, MMStoredKind kind) {
  for (const char* name : {setting::kDescription, setting::kDisplayDescription, setting::kAccessPath}) {
    const StoredSettingRow* row = findStoredSetting(kind, name);
    if (row == nullptr) continue;
    const StoredMember member = row->member(object);
    if (member.holder != nullptr) member.holder->MarkChanged(member.address);
  }
}

void setUnit(ZQMACScsiUnit* unit, ZQMACMediaAgent* agent, const Unit& u) {
  ZQMACGraph::SetUnitAddress(unit, ZQMACGraph::UnitAddress{u.device, u.lun, 0, false});
  ZQMACGraph::SetAddressParts(unit, u.bus, u.target);
  ZQMACGraph::SetServerHostName(unit, agent->GetNetHostName());
}

template <class T>
void setIdentity(T* part, const Unit& u) {
  ZQMACGraph::DeviceIdentity identity;
  identity.vendor = u.vendor;
  identity.product = u.product;
  identity.textA = u.serial;
  ZQMACGraph::SetDeviceIdentity(part, identity);
  ZQMACGraph::SetDeviceIdentifier(part, u.serial);
}

ZQMACLms* libraryBySerial(ZQMACMediaConfig& config, const std::string& serial) {
  ZQMACLinkedList<ZQMACLms> list = config.GetLmsList();
  for (ZQMACLms* lms = list.GetFirstNode(); lms != nullptr; lms = list.GetNextNode()) {
    ZQMACLibrary* library = lms->GetLibrary();
    if (library != nullptr && !serial.empty() && library->GetDeviceTextA() == serial) return lms;
  }
  return nullptr;
}

ZQMACDrive* driveBySerial(ZQMACLms* lms, const std::string& serial) {
  ZQMACLinkedList<ZQMACDrive> list = lms->GetDriveList();
  for (ZQMACDrive* drive = list.GetFirstNode(); drive != nullptr; drive = list.GetNextNode())
    if (!serial.empty() && drive->GetDeviceTextA() == serial) return drive;
  return nullptr;
}

template <class T>
bool reachedBy(const ZQMACLinkedList<T>& units, const ZQMACMediaAgent* agent) {
  ZQMACLinkedList<T> list = units;
  for (T* unit = list.GetFirstNode(); unit != nullptr; unit = list.GetNextNode())
    if (unit->GetMediaAgent() == agent) return true;
  return false;
}

// Adds one attached library as the agent sees it; false when the instance
// refuses an object (its last error says why).
bool attach(ZQMACMediaConfig& config, const AttachedLibrary& attached) {
  ZQMACMediaAgent* agent = attached.agent;
  const Unit& u = attached.unit;
  ZQMACLms* lms = libraryBySerial(config, u.serial);
  if (lms == nullptr) {
    const std::string name = u.product + "_" + u.serial;
    lms = ZQMACGraph::AddLms(config, kUnstored, name);
    if (lms == nullptr) return false;
    ZQMACLibrary* library = lms->GetLibrary();
    setIdentity(library, u);
    ZQMACGraph::SetLibraryAlias(library, name);
    ZQMACGraph::SetGeometry(library, ZQMACGraph::LibraryGeometry{1, static_cast<int>(attached.drives.size()), 0,
                                                                 kTapeLibraryType, 0});
    ZQMACGraph::SetLibraryTexts(lms, describe(u), describe(u));
  }
  if (!reachedBy(lms->GetLibControllerList(), agent)) {
    ZQMACLibController* controller = ZQMACGraph::AddLibController(lms, agent, kUnstored, u.device);
    if (controller == nullptr) return false;
    setUnit(controller, agent, u);
    ZQMACGraph::SetTexts(controller, describe(u), describe(u) + " on " + agent->GetName());
    markDescribed(*controller, MMStoredKind::LibraryController);
  }
  for (const Unit& d : attached.drives) {
    ZQMACDrive* drive = driveBySerial(lms, d.serial);
    if (drive == nullptr) {
      drive = ZQMACGraph::AddDrive(lms, kUnstored, lms->GetName() + "_Drive" + std::to_string(d.driveNumber),
                                   d.driveNumber);
      if (drive == nullptr) return false;
      setIdentity(drive, d);
      ZQMACGraph::SetDriveIds(drive, d.serial, std::string());
    }
    if (reachedBy(drive->GetDmsList(), agent)) continue;
    ZQMACDms* path = ZQMACGraph::AddDms(drive, nullptr, agent, kUnstored, d.device);
    if (path == nullptr) return false;
    setUnit(path, agent, d);
    ZQMACGraph::SetPathTexts(path, ZQMACGraph::PathTexts{d.device, describe(d), false});
    ZQMACGraph::SetTexts(path, describe(d), describe(d) + " on " + agent->GetName());
    markDescribed(*path, MMStoredKind::DrivePath);
  }
  return true;
}

}  // namespace

bool attachDetectedHardware(ZQMACMediaConfig& config, const std::vector<std::string>& agentNames, int& libraries,
                            int& drives) {
  libraries = 0;
  drives = 0;
  // Everything is read first, so that a failed read adds nothing.
  std::vector<AttachedLibrary> found;
  tkdb::Session session;
  auto unreadable = [&config, &session](const std::string& name) {
    config.SetLastError(kErrorDatabase, "The hardware attached to media agent [" + name +
                                            "] could not be read: " + session.errorText());
    return false;
  };
  for (const std::string& name : agentNames) {
    ZQMACMediaAgent* agent = config.FindDBNode(name);
    if (agent == nullptr) continue;
    tkdb::DbRows rows;
    int code = session.query(
        "SELECT \"Id\", 0, \"Vendor\", \"Product\", \"SerialNumber\", \"DeviceName\", \"ScsiBus\", \"ScsiTarget\", "
        "\"ScsiLun\" FROM \"MMAttachedLibrary\" WHERE \"ClientId\" = ? ORDER BY \"Id\"",
        {static_cast<long long>(agent->GetId())}, rows);
    if (code != 0 && code != DB_NO_ROW) return unreadable(name);
    for (const tkdb::DbRow& row : rows) {
      AttachedLibrary attached{agent, unitOf(row), {}};
      tkdb::DbRows driveRows;
      code = session.query(
          "SELECT \"Id\", \"DriveNumber\", \"Vendor\", \"Product\", \"SerialNumber\", \"DeviceName\", \"ScsiBus\", "
          "\"ScsiTarget\", \"ScsiLun\" FROM \"MMAttachedDrive\" WHERE \"AttachedLibraryId\" = ? "
          "ORDER BY \"DriveNumber\"",
          {attached.unit.rowId}, driveRows);
      if (code != 0 && code != DB_NO_ROW) return unreadable(name);
      for (const tkdb::DbRow& d : driveRows) attached.drives.push_back(unitOf(d));
      found.push_back(std::move(attached));
    }
  }
  for (const AttachedLibrary& attached : found) {
    if (!attach(config, attached)) return false;
    ++libraries;
    drives += static_cast<int>(attached.drives.size());
  }
  return true;
}

bool hasUnstoredDevice(const ZQMACMediaAgent* agent) {
  if (agent == nullptr) return false;
  ZQMACLinkedList<ZQMACLibController> controllers = agent->GetLibControllerList();
  for (ZQMACLibController* c = controllers.GetFirstNode(); c != nullptr; c = controllers.GetNextNode())
    if (c->GetId() == 0xFFFFFFFFu) return true;
  ZQMACLinkedList<ZQMACDms> paths = agent->GetDmsList();
  for (ZQMACDms* p = paths.GetFirstNode(); p != nullptr; p = paths.GetNextNode())
    if (p->GetId() == 0xFFFFFFFFu) return true;
  return false;
}

int seedDemoAttachedHardware(std::string& report) {
  tkdb::Session session;
  int made = 0;
  const int code = session.atomically([&session, &made] {
    tkdb::DbRow row;
    int rc = session.queryOne("SELECT 1 FROM \"MMAttachedLibrary\" LIMIT 1", {}, row);
    if (rc == 0) return 0;  // the installation lists its hardware already
    if (rc != DB_NO_ROW) return rc;
    rc = session.queryOne("SELECT \"id\" FROM \"APP_Client\" WHERE \"name\" = 'ma2'", {}, row);
    if (rc == DB_NO_ROW) return 0;  // no second media agent to attach it to
    if (rc != 0) return rc;
    const long long agent = row[0].i;
    rc = session.exec(
        "INSERT INTO \"MMAttachedLibrary\" (\"ClientId\", \"Vendor\", \"Product\", \"SerialNumber\", \"DeviceName\", "
        "\"ScsiBus\", \"ScsiTarget\", \"ScsiLun\") VALUES (?, 'DEMO', 'TAPE-4', 'LIB0004', '/dev/sg4', 0, 4, 0)",
        {agent});
    if (rc != 0) return rc;
    const long long library = session.lastInsertId();
    for (int d = 1; d <= 4; ++d) {
      rc = session.exec(
          "INSERT INTO \"MMAttachedDrive\" (\"AttachedLibraryId\", \"DriveNumber\", \"Vendor\", \"Product\", "
          "\"SerialNumber\", \"DeviceName\", \"ScsiBus\", \"ScsiTarget\", \"ScsiLun\") "
          "VALUES (?, ?, 'DEMO', 'LTO', ?, ?, 0, ?, 0)",
          {library, d, "SN010" + std::to_string(d), "/dev/nst" + std::to_string(d + 3), 4 + d});
      if (rc != 0) return rc;
    }
    made = 5;
    return 0;
  });
  if (code != 0) {
    report = "the demonstration hardware could not be stored: " + session.errorText();
    return -1;
  }
  report = made > 0 ? "attached to ma2: tape library DEMO TAPE-4 (LIB0004) with four drives, not configured"
                    : std::string();
  return made;
}

}  // namespace tkmac
