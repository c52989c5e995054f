// Configuring objects that were never stored: a detected tape library (by
// the library itself, or by its controller as drag and drop does) is stored
// whole with the pools it gets, a detected drive joins a stored library, and
// the next load finds them with their links. A refusal, or any call failing
// on the way, leaves no row and no object behind.
#include <memory>
#include <string>
#include <vector>

#include "tests/object_model_db/ModelDatabaseFixture.h"
#include "tests/support/FaultSweep.h"

namespace modeldb {
namespace {

using Detected = testkit::mac::DetectedLibrary;

// What detection put into the session: a library seen by ma2 (client 2)
// with two drives, each reached by ma2, nothing of it stored.
Detected detect(ZQMACMediaConfig& config, const std::string& name = "Detected1") {
  ZQMACMediaAgent* ma2 = config.FindDBNode<ZQMACMediaAgent>(2);
  EXPECT_NE(ma2, nullptr);
  return testkit::mac::addDetectedLibrary(config, ma2, name);
}

class ConfigureNew : public ModelDatabase {
 protected:
  long long count(const char* table) { return db.scalar(std::string("SELECT COUNT(*) FROM ") + table); }
  // The rows of every table a library is stored in.
  std::vector<long long> libraryRows() {
    std::vector<long long> out;
    for (const char* table : {"MMLibrary", "MMLibraryController", "MMMasterPool", "MMDrivePool", "MMDrive",
                              "MMDrivePath", "MMHost"})
      out.push_back(count(table));
    return out;
  }
  static ZQMACLms* libraryNamed(ZQMACMediaConfig& config, const std::string& name) {
    for (ZQMACLms* l : elements(config.GetLmsList()))
      if (l->GetName() == name) return l;
    return nullptr;
  }
};

TEST_F(ConfigureNew, ADetectedLibraryIsStoredWholeWithItsPoolsAndTheNextLoadFindsItsLinks) {
  for (bool byController : {false, true}) {
    SCOPED_TRACE(byController ? "configured by its controller (drag and drop)" : "configured by the library");
    auto config = load();
    const std::string name = byController ? "Dropped1" : "Detected1";
    Detected d = detect(*config, name);
    ZQMACInterface* configured = byController ? static_cast<ZQMACInterface*>(d.controller) : d.lms;
    ASSERT_TRUE(configured->Configure(byController ? 1 : 0)) << configured->GetLastError();

    const int id = static_cast<int>(d.lms->GetId());
    ASSERT_GT(id, 2);
    EXPECT_EQ(static_cast<int>(d.lms->GetLibrary()->GetId()), id);
    EXPECT_EQ(static_cast<int>(d.lms->GetLibControllerNode()->GetId()), id);
    EXPECT_TRUE(d.lms->TestStateA());
    const std::string library = std::to_string(id);
    EXPECT_EQ(db.text("SELECT LibraryName || '|' || LibraryVendor || '|' || LibraryModel || '|' || SerialNumber || "
                      "'|' || FirmwareRevision || '|' || LibraryEnabled || '|' || DriveCount || '|' || LibraryTypeId "
                      "FROM MMLibrary WHERE LibraryId = " + library),
              name + "|ACME|TL4000|SN-" + name + "|fw-2|1|2|1");
    EXPECT_EQ(db.text("SELECT ControllerName || '|' || ClientId || '|' || IsEnabled || '|' || ControllerType FROM "
                      "MMLibraryController WHERE LibraryId = " + library),
              name + " on ma2|2|1|2");
    // The library got a master pool and, for ma2, a drive pool in it.
    EXPECT_EQ(db.text("SELECT M.MasterPoolName || '|' || P.DrivePoolName || '|' || P.ClientId || '|' || "
                      "P.DrivePoolEnabled FROM MMMasterPool M JOIN MMDrivePool P ON P.MasterPoolId = M.MasterPoolId "
                      "WHERE M.LibraryId = " + library),
              "MasterPool(" + name + ")|DrivePool(ma2)|2|1");
    EXPECT_EQ(db.text("SELECT group_concat(D.DriveName || ':' || D.DriveNumber || ':' || D.SerialNumber || ':' || "
                      "D.DriveEnabled || ':' || P.PathName || ':' || P.ClientId || ':' || P.IsEnabled, ',') FROM "
                      "MMDrive D JOIN MMDrivePath P ON P.DriveId = D.DriveId JOIN MMMasterPool M ON M.MasterPoolId = "
                      "D.MasterPoolId WHERE M.LibraryId = " + library + " ORDER BY D.DriveNumber"),
              name + " drive 1:1:SN-" + name + "-1:1:/dev/nst0:2:1," + name + " drive 2:2:SN-" + name +
                  "-2:1:/dev/nst1:2:1");

    // The session's objects took the stored ids and links: a re-read keeps
    // them (handles included) and adds nothing.
    const unsigned long long handle = d.lms->GetHandle();
    const std::size_t objects = config->GetObjectCount();
    ZQMACDrivePool* pool = d.paths[0]->GetDrivePool();
    ASSERT_NE(pool, nullptr);
    EXPECT_EQ(d.paths[1]->GetDrivePool(), pool);
    ASSERT_TRUE(config->ReadCurrentConfig(true)) << config->GetLastError();
    EXPECT_EQ(config->FindObject(handle), d.lms);
    EXPECT_EQ(config->GetObjectCount(), objects);
    EXPECT_EQ(d.paths[0]->GetDrivePool(), pool);

    // Another session finds the library with everything linked.
    auto again = load();
    ZQMACLms* lms = libraryNamed(*again, name);
    ASSERT_NE(lms, nullptr);
    EXPECT_EQ(static_cast<int>(lms->GetId()), id);
    EXPECT_TRUE(lms->TestStateA());
    EXPECT_EQ(lms->GetLibrary()->GetVendor(), "ACME");
    ZQMACMediaAgent* ma2 = again->FindDBNode<ZQMACMediaAgent>(2);
    const auto controllers = elements(lms->GetLibControllerList());
    ASSERT_EQ(controllers.size(), 1u);
    EXPECT_EQ(controllers[0]->GetMediaAgent(), ma2);
    EXPECT_EQ(controllers[0]->GetId(), d.controller->GetId());
    const auto masters = elements(lms->GetMasterDrivePoolList());
    ASSERT_EQ(masters.size(), 1u);
    const auto pools = elements(masters[0]->GetDrivePoolList());
    ASSERT_EQ(pools.size(), 1u);
    EXPECT_EQ(pools[0]->GetMediaAgent(), ma2);
    EXPECT_EQ(pools[0]->GetId(), pool->GetId());
    const auto drives = elements(lms->GetDriveList());
    ASSERT_EQ(drives.size(), 2u);
    for (ZQMACDrive* drive : drives) {
      EXPECT_TRUE(drive->TestStateA());
      const auto paths = elements(drive->GetDmsList());
      ASSERT_EQ(paths.size(), 1u);
      EXPECT_EQ(paths[0]->GetDrivePool(), pools[0]);
      EXPECT_EQ(paths[0]->GetMediaAgent(), ma2);
      EXPECT_TRUE(paths[0]->TestStateA());
    }
  }
}

TEST_F(ConfigureNew, ADetectedDriveJoinsTheStoredLibraryInItsMasterPoolAndThePoolOfItsMediaAgent) {
  auto config = load();
  ZQMACLms* lms = tapeLibrary(*config);
  ASSERT_NE(lms, nullptr);
  ZQMACDrive* drive = ZQMACGraph::AddDrive(lms, -1, "Drive3", 3);
  ZQMACDms* path = ZQMACGraph::AddDms(drive, nullptr, config->FindDBNode<ZQMACMediaAgent>(1), -1, "/dev/nst2");
  const std::size_t objects = config->GetObjectCount();
  ASSERT_TRUE(drive->Configure(3)) << drive->GetLastError();
  EXPECT_EQ(config->GetObjectCount(), objects);  // no pool had to be made
  const std::string id = std::to_string(drive->GetId());
  EXPECT_EQ(db.text("SELECT D.MasterPoolId || '|' || P.DrivePoolId || '|' || P.ClientId || '|' || P.DrivePathId FROM "
                    "MMDrive D JOIN MMDrivePath P ON P.DriveId = D.DriveId WHERE D.DriveId = " + id),
            "1|1|1|" + std::to_string(path->GetId()));
  ASSERT_NE(path->GetDrivePool(), nullptr);
  EXPECT_EQ(path->GetDrivePool(), config->FindObject<ZQMACDrivePool>(path->GetDrivePool()->GetHandle()));
  EXPECT_EQ(path->GetDrivePool()->GetId(), 1u);

  auto again = load();
  ZQMACDrive* loaded = ModelDatabase::drive(*again, static_cast<int>(drive->GetId()));
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->GetName(), "Drive3");
  const auto paths = elements(loaded->GetDmsList());
  ASSERT_EQ(paths.size(), 1u);
  ASSERT_NE(paths[0]->GetDrivePool(), nullptr);
  EXPECT_EQ(paths[0]->GetDrivePool()->GetId(), 1u);
  EXPECT_EQ(paths[0]->GetMediaAgent(), again->FindDBNode<ZQMACMediaAgent>(1));
}

TEST_F(ConfigureNew, ARefusedLibraryLeavesNoRowAndNoObject) {
  struct Case {
    const char* what;
    std::string name;
    void (*change)(ZQMACMediaConfig&, Detected&);
    unsigned int code;
  };
  const Case cases[] = {
      {"a name another library has", "TapeLib1", [](ZQMACMediaConfig&, Detected&) {}, tkmac::kErrorNameInUse},
      {"a drive name too long", "Detected2",
       [](ZQMACMediaConfig&, Detected& d) { ZQMACGraph::SetName(d.drives[1], std::string(1025, 'd')); },
       tkmac::kErrorInvalidValue},
      {"a media agent that is no client",
       "Detected3",
       [](ZQMACMediaConfig& config, Detected& d) {
         auto* agent = new ZQMACMediaAgent("ma9", &config, nullptr);  // the instance owns it
         ZQMACGraph::AddLibController(d.lms, agent, -1, "Detected3 on ma9");
       },
       tkmac::kErrorObjectGone},
  };
  const std::vector<long long> before = libraryRows();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto config = load();
    Detected d = detect(*config, c.name);
    c.change(*config, d);
    const std::size_t objects = config->GetObjectCount();
    EXPECT_FALSE(d.lms->Configure(0));
    EXPECT_EQ(d.lms->GetLastErrorCode(), c.code) << d.lms->GetLastError();
    EXPECT_EQ(libraryRows(), before);
    EXPECT_EQ(config->GetObjectCount(), objects);
    EXPECT_EQ(d.lms->GetId(), 0xFFFFFFFFu);
    EXPECT_FALSE(d.lms->TestStateA());
    EXPECT_EQ(d.paths[0]->GetDrivePool(), nullptr);
    EXPECT_TRUE(elements(d.lms->GetMasterDrivePoolList()).empty());
  }
}

TEST_F(ConfigureNew, EveryFailingCallOfTheConfigurationOfADetectedLibraryLeavesNoRowAndNoObject) {
  std::unique_ptr<ZQMACMediaConfig> config;
  Detected d;
  std::size_t objects = 0;
  bool configured = false;
  tktest::SweepPlan plan;
  plan.setup = [&] {
    config = load();
    d = detect(*config);
    objects = config->GetObjectCount();
  };
  plan.request = [&] { configured = d.lms->Configure(0); };
  plan.check = [&](const tktest::SweepRun&) -> std::string {
    if (configured) {
      if (d.lms->GetId() == 0xFFFFFFFFu || d.paths[1]->GetId() == 0xFFFFFFFFu) return "configured without ids";
      return config->GetObjectCount() == objects + 2 ? "" : "configured without its two pools";
    }
    if (d.lms->GetLastError().empty()) return "refused without a reason";
    if (d.lms->GetId() != 0xFFFFFFFFu || d.drives[0]->GetId() != 0xFFFFFFFFu || d.lms->TestStateA())
      return "refused, but the objects changed";
    if (config->GetObjectCount() != objects || d.paths[0]->GetDrivePool() != nullptr)
      return "refused, but objects made for it stayed";
    return "";
  };
  const tktest::SweepReport report = tktest::FaultSweep().run(plan);
  EXPECT_TRUE(report.clean()) << report;
  config.reset();
}

}  // namespace
}  // namespace modeldb
