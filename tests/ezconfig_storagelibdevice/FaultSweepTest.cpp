// The fault sweep over the device operations: each request is rerun once
// for every platform call it makes with that call failing. Every run
// answers, releases the media agent's lock, and leaves the database as it
// was or as the clean run left it; a run answered with a failure leaves
// every table as it was (the operation's writes are one change). The audit
// record stands alone (its loss does not undo the change): those tables
// are judged here.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/testkit/clock.h"
#include "tests/ezconfig_storagelibdevice/StorageLibDeviceFixture.h"
#include "tests/support/FaultSweep.h"

namespace storagelibtest {
namespace {

using tktest::catalogueText;

const std::vector<std::string> kJudged{"AuditTrailRecord", "AuditTrailParam", "AuditTrailArgument", "sqlite_sequence",
                                       "MMDevice",         "MMDeviceController"};

struct Case {
  const char* name;
  Fields library;
  bool cleanSucceeds;
  const char* setupSql = nullptr;
};

class DeviceSweep : public StorageLibDeviceTest {
 protected:
  // The devices by name in id order, and how many volumes they have.
  std::vector<std::string> deviceNames() {
    std::vector<std::string> names;
    for (const tkdb::DbRow& row : m_db.query("SELECT AliasName FROM MMDevice ORDER BY DeviceId")) names.push_back(row[0].s);
    return names;
  }

  // Every row of every table, by table; the change log aside (the sweep's
  // own restore of the database between runs writes it).
  std::map<std::string, std::string> everyRow() {
    std::map<std::string, std::string> all;
    for (const tkdb::DbRow& t :
         m_db.query("SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite_%' AND "
                    "name <> 'MMConfigChange' ORDER BY name")) {
      std::string& rows = all[t[0].s];
      for (const tkdb::DbRow& row : m_db.query("SELECT * FROM \"" + t[0].s + "\"")) {
        for (const auto& cell : row) rows += cell.s + std::to_string(cell.i) + "|";
        rows += ";";
      }
    }
    return all;
  }
  // The tables whose rows differ from those before the sweep.
  std::string changedSinceBefore() {
    std::string changed;
    const auto now = everyRow();
    for (const auto& [table, rows] : now) {
      auto was = m_beforeRows.find(table);
      if (was == m_beforeRows.end() || was->second != rows) changed += table + " ";
    }
    return changed;
  }

  // Devices and volumes: as before, or as the clean run left them; a
  // failure leaves every row as it was.
  std::string judgeDevices(const Answer& a, const std::vector<std::string>& cleanNames, long long cleanVolumes) {
    if (!a.success) {
      const std::string changed = changedSinceBefore();
      return changed.empty() ? "" : "a failure left rows behind in " + changed + "(" + a.text + ")";
    }
    const std::vector<std::string> names = deviceNames();
    const long long volumes = count("MMDeviceController");
    if (names == m_beforeNames && volumes == m_beforeVolumes) return "";
    if (names == cleanNames && volumes == cleanVolumes) return "";
    std::string listed;
    for (const std::string& n : names) listed += n + " ";
    return "devices left half made: " + listed + "with " + std::to_string(volumes) + " volumes";
  }

  tktest::SweepReport sweep(const Case& c, std::vector<std::string>& cleanNames, long long& cleanVolumes) {
    if (c.setupSql != nullptr) m_db.exec(c.setupSql);
    m_beforeNames = deviceNames();
    m_beforeVolumes = count("MMDeviceController");
    m_beforeRows = everyRow();
    const std::string text = request(c.library);
    std::string buffer;
    long long result = 0;
    tktest::SweepPlan plan;
    plan.judgedTables = kJudged;
    plan.setup = [&] {
      // A drive's cleaning time is the clock's: every run at the same time.
      m_clock.set(1'700'000'000);
      freshStandIns();
      testkit::audit::reset();
    };
    plan.request = [&] {
      auto message = record();
      buffer = text;
      result = m_mgr.HandleMMConfigMgrXmlMsg(message.get(), 0, 0, 0, kMessageId, buffer);
    };
    plan.check = [&](const tktest::SweepRun& run) -> std::string {
      if (EvMMConfigMgr::isConfigLibraryLocked("MAID2")) return "the lock MAID2 is still held";
      if (buffer.empty()) return run.failed("xml.serialize") && result == -1 ? "" : "no answer was written";
      const Answer a = decode(buffer);
      if (!a.success && (a.code != -1 || a.text.empty())) return "the answer does not read: " + buffer;
      if (run.k == 0) {
        if (a.success != c.cleanSucceeds) return "the clean run answered " + buffer;
        cleanNames = deviceNames();
        cleanVolumes = count("MMDeviceController");
        return "";
      }
      if (a.success && !c.cleanSucceeds) return "a failed call turned the answer into success";
      return judgeDevices(a, cleanNames, cleanVolumes);
    };
    return tktest::FaultSweep().run(plan);
  }

  testkit::clock::FakeClock m_clock;
  std::vector<std::string> m_beforeNames;
  long long m_beforeVolumes = 0;
  std::map<std::string, std::string> m_beforeRows;
};

TEST_F(DeviceSweep, EveryFailingCallEndsAnsweredWithNothingHalfMade) {
  const Case cases[] = {
      {"new device", {{43, 256}, {7, kMa3}, {3, "ma3"}, {55, "nas1"}, {24, "/share/nas1"}, {28, "svc"}}, true},
      {"data-server share",
       {{43, 256}, {7, kMa3}, {3, "ma3"}, {55, "dev60"}, {54, 48}},
       true,
       "UPDATE MMDeviceController SET DeviceAccessType = 32"},
      {"unknown device id", {{43, 256}, {7, kMa3}, {3, "ma3"}, {55, "nas1"}, {24, "/x"}, {53, 77}}, false},
      {"vault lock", {{43, 4096}, {7, kMa2}, {23, kMountPath}, {69, 30}}, true},
      {"vault lock in the named library", {{43, 4096}, {7, kMa2}, {8, "disklib"}, {23, kMountPath}, {69, 30}}, true},
      {"drive cleaned", {{43, 512}, {7, kMa2}, {1, kTapeLib}, {8, "tapelib"}, {82, 2}, {78, "O'Neil"}}, true},
      {"no such drive", {{43, 512}, {7, kMa2}, {1, kTapeLib}, {82, 1}, {78, "none"}}, false},
      {"new library on a mount path", {{43, 1}, {7, kMa2}, {3, "ma2"}, {8, "newlib"}, {24, "/mnt/newlib"}}, true},
  };
  std::set<std::string> swept;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> cleanNames;
    long long cleanVolumes = 0;
    const tktest::SweepReport report = sweep(c, cleanNames, cleanVolumes);
    EXPECT_TRUE(report.clean()) << report;
    swept.insert(report.names.begin(), report.names.end());
  }
  for (const char* call : {"ReadCurrentConfig", "AddDiskDevice", "Configure", "MMDeviceDB::renameDevice",
                           "MMMountPathDB::getInfo",
                           "VerifyDevice", "MMDriveDB::resetCleaningCounters", "getOneRow", "guiAudit",
                           "AutoConfigLibrary", "addUserToLibrary"})
    EXPECT_TRUE(swept.count(call)) << call;
}

}  // namespace
}  // namespace storagelibtest
