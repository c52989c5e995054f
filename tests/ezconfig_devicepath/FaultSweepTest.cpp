// The audit pass and the automatic hybrid-cloud sharing under the fault
// sweep: each rerun once for every platform call they make, with that call
// failing. Both are best effort, whole step by step: the audit pass writes
// each record whole or not at all and a failed lookup only empties or
// replaces a name; the sharing adds each device path as the clean run did or
// not at all. Nothing else in the database moves.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "platform/db/DBSession.h"
#include "tests/ezconfig_devicepath/DevicePathFixture.h"
#include "tests/support/FaultSweep.h"

namespace {

using namespace dptest;

// A name that a failed lookup may have emptied or replaced.
bool degradedFrom(const std::string& clean, const std::string& run) {
  if (run == clean || run.empty() || run == "Not Available") return true;
  const size_t close = clean.find("] (");
  return close != std::string::npos && run == "[] (" + clean.substr(close + 3);  // the media agent's name
}

// What is wrong with the run's records against the clean run's ("" when sound).
std::string judgeRecords(const std::vector<testkit::audit::Record>& clean,
                         const std::vector<testkit::audit::Record>& run) {
  size_t c = 0;
  size_t missing = 0;
  for (const auto& r : run) {
    while (c < clean.size() && clean[c].operationId != r.operationId) {
      ++c;
      ++missing;
    }
    if (c == clean.size()) return "a record the clean run did not write";
    const auto& k = clean[c++];
    if (r.userId != k.userId || r.entityType != k.entityType || r.entityId != k.entityId)
      return "a record of another user or entity";
    if (r.params.size() != k.params.size()) return "a record with other parameters";
    for (size_t i = 0; i < r.params.size(); ++i) {
      if (r.params[i].messageId != k.params[i].messageId || r.params[i].arguments.size() != k.params[i].arguments.size())
        return "a record with other parameters";
      for (size_t a = 0; a < r.params[i].arguments.size(); ++a) {
        if (!degradedFrom(k.params[i].arguments[a], r.params[i].arguments[a]))
          return "argument '" + r.params[i].arguments[a] + "' where the clean run wrote '" + k.params[i].arguments[a] + "'";
      }
    }
  }
  missing += clean.size() - c;
  if (missing > 1) return std::to_string(missing) + " records lost to one failed call";
  return "";
}

class DevicePathSweep : public DevicePathTest {};

TEST_F(DevicePathSweep, EveryFailingCallOfTheAuditPassLosesAtMostItsOwnRecordOrName) {
  const std::vector<EVGui::MMDevicePathInfo> entries = {
      devicePath({.clientId = 13, .folder = "/new13", .access = 4, .operation = 1, .credentialId = 3,
                  .credentialName = "cred3"}),
      devicePath({.controllerId = 502, .clientId = 12, .folder = "", .access = 10, .operation = 2, .drives = 1200}),
      devicePath({.controllerId = 501, .clientId = 11, .access = 16, .operation = 3}),
      devicePath({.clientId = 12, .operation = 3}),
  };
  const std::vector<EVGui::MMDevicePathInfo> previous = {devicePath({.folder = "", .access = 16, .drives = 5})};
  std::vector<testkit::audit::Record> clean;
  tktest::SweepPlan plan;
  plan.judgedTables = {"AuditTrailRecord", "AuditTrailParam", "AuditTrailArgument", "sqlite_sequence"};
  plan.setup = [&] {
    testkit::audit::reset();
    testkit::mmdb::reset();
    testkit::client::journal().reset();
  };
  plan.request = [&] { pass(entries, previous, {3}); };
  plan.check = [&](const tktest::SweepRun& run) -> std::string {
    const auto records = testkit::audit::records();
    if (run.k == 0) {
      clean = records;
      return clean.size() == 3 ? "" : "the clean run wrote " + std::to_string(clean.size()) + " records";
    }
    return judgeRecords(clean, records);
  };
  const tktest::SweepReport report = tktest::FaultSweep().run(plan);
  EXPECT_TRUE(report.clean()) << report;
  const std::set<std::string> names(report.names.begin(), report.names.end());
  for (const char* call : {"MMDeviceDB::getInfo", "getDisplayName", "guiAudit", "getOneRow"}) {
    EXPECT_TRUE(names.count(call)) << call << "\n" << report;
  }
}

class AutoShareSweep : public tktest::DatabaseTest {
 protected:
  void SetUp() override {
    testkit::mmdb::reset();
    tktest::insertRows(db, "MMLibrary (LibraryId, AliasName)", {{10, "disk-lib"}, {20, "cloud-A"}});
    tktest::insertRows(db, "MMHybridCloudMapping (CloudLibraryId, DiskLibraryId)", {{20, 10}});
    tktest::insertRows(db, "MMDevice (DeviceId, AliasName)", {{70, "d70"}, {71, "d71"}, {80, "cloud"}});
    for (int client : {11, 12, 13}) tktest::insertRows(db, "MMHost (ClientId)", {{client}});
    tktest::addMountPath(db, 1000, 10, 70);
    tktest::addMountPath(db, 1001, 10, 71);
    tktest::addMountPath(db, 2000, 20, 80, "cloud", 0, 7);
    for (int client : {11, 12, 13}) tktest::addDevicePath(db, {800 + client, client, 80, 4, "bucket"});
    tktest::addDevicePath(db, {701, 11, 70, 4, "/disk70", "du", "dp"});
  }
  void TearDown() override { testkit::mmdb::stop(); }

  // Every device path as a text, without its serial id.
  std::multiset<std::string> paths() {
    std::multiset<std::string> out;
    for (const tkdb::DbRow& row :
         db.query("SELECT ClientId, DeviceId, DeviceAccessType, IFNULL(Folder, ''), IFNULL(UserName, ''), "
                  "IFNULL(UserPassword, ''), DeviceControllerEnabled FROM MMDeviceController")) {
      std::string text;
      for (const tkdb::DbValue& v : row) text += v.describe() + "|";
      out.insert(text);
    }
    return out;
  }
};

TEST_F(AutoShareSweep, EveryFailingCallAddsEachPathAsTheCleanRunDidOrNotAtAll) {
  std::multiset<std::string> before;
  std::multiset<std::string> cleanAdded;
  tktest::SweepPlan plan;
  plan.judgedTables = {"MMDeviceController", "sqlite_sequence"};
  plan.setup = [&] {
    testkit::mmdb::reset();
    before = paths();
  };
  plan.request = [&] { EvMMConfigMgr::autoShareMAsForHybridDisk(20); };
  plan.check = [&](const tktest::SweepRun& run) -> std::string {
    std::multiset<std::string> now = paths();
    for (const std::string& p : before) {
      auto it = now.find(p);
      if (it == now.end()) return "device path " + p + " is gone or changed";
      now.erase(it);
    }
    if (run.k == 0) {
      cleanAdded = now;
      return cleanAdded.size() == 5 ? "" : "the clean run added " + std::to_string(cleanAdded.size()) + " paths";
    }
    for (const std::string& p : now)
      if (cleanAdded.count(p) == 0) return "device path " + p + " that the clean run did not add";
    return "";
  };
  const tktest::SweepReport report = tktest::FaultSweep().run(plan);
  EXPECT_TRUE(report.clean()) << report;
  const std::set<std::string> names(report.names.begin(), report.names.end());
  for (const char* call : {"MMHybridCloudMappingDB::getInfoByCloudLibId", "getNextRow",
                           "ZQMMDeviceInfo::configDeviceControllerList"}) {
    EXPECT_TRUE(names.count(call)) << call << "\n" << report;
  }
}

}  // namespace

namespace {

// The tables a check judges itself are the only ones the sweep lets go: a
// half change anywhere else is still found.
TEST_F(AutoShareSweep, TablesLeftToTheCheckDoNotHideAHalfChangeElsewhere) {
  tktest::SweepPlan plan;
  plan.judgedTables = {"MMDeviceController", "sqlite_sequence"};
  plan.request = [] {
    tkdb::Session session;
    session.exec("INSERT INTO MMLibrary (LibraryId, AliasName) VALUES (90, 'half-1')");
    session.exec("INSERT INTO MMLibrary (LibraryId, AliasName) VALUES (91, 'half-2')");
  };
  const tktest::SweepReport report = tktest::FaultSweep().run(plan);
  EXPECT_TRUE(report.found("the database is half changed")) << report;
}

}  // namespace
