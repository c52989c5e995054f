// Every handler of the drive, mount-path and catalogue families under the
// fault sweep: a session loaded from the demonstration installation in the
// database, then each request made once for every platform call failing in
// turn. Every run must end with the request's reply on the client's socket
// (a failure status when the reply cannot be begun; nothing when the failed
// call was the write of the reply), list no more than the clean run, and
// leave the database as it was. The media-type list must be freed in every
// run.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/mac/ZQMACPlatform.h"
#include "tests/mmconfig_drives/DrivesFixture.h"
#include "tests/support/DatabaseSession.h"
#include "tests/support/FaultSweep.h"

namespace {

using drivetest::Handler;
using drivetest::Word;

// The objects of the loaded demonstration installation.
struct Demo {
  unsigned long long lms = 0, master = 0, pool = 0, drive = 0, path = 0, controller = 0, disk = 0, mountPath = 0;
  uint32_t libraryId = 0;
};

class DrivesFaultSweep : public ::testing::Test {
 protected:
  void SetUp() override {
    libtest::resetStandIns();
    testkit::mac::reset();
    testkit::mmlib::reset();
    std::string report;
    ASSERT_GT(tkmac::seedDemoInstallation(report), 0) << report;
  }
  void TearDown() override {
    tktest::resetSessionState();
    testkit::mac::reset();
    testkit::mmlib::reset();
    libtest::resetStandIns();
    ZQMACMediaConfig::m_bCheckSerialNumber = true;
  }

  // A new session of client A on the configuration stored in the database.
  void freshSession() {
    libtest::resetStandIns();
    tktest::resetSessionState();
    ZQMACMediaConfig::m_bCheckSerialNumber = true;
    ZQMACMediaConfig* config = tktest::openDatabaseSession(m_a, kUser);
    ASSERT_NE(config, nullptr);
    ZQMACLms* lms = config->GetLmsList().GetFirstNode();
    ZQMACMagLib* disk = config->GetMagLibList().GetFirstNode();
    ASSERT_NE(lms, nullptr);
    ASSERT_NE(disk, nullptr);
    m_demo.lms = config->GetHandle(lms);
    m_demo.libraryId = lms->GetId();
    m_demo.master = config->GetHandle(lms->GetMasterDrivePoolList().GetFirstNode());
    m_demo.pool = config->GetHandle(lms->GetDrivePoolList().GetFirstNode());
    m_demo.drive = config->GetHandle(lms->GetDriveList().GetFirstNode());
    m_demo.path = config->GetHandle(lms->GetDmsList().GetFirstNode());
    m_demo.controller = config->GetHandle(lms->GetLibControllerList().GetFirstNode());
    m_demo.disk = config->GetHandle(disk);
    m_demo.mountPath = config->GetHandle(disk->GetMountPathList().GetFirstNode());
    m_config = config;
    m_a.replies();
  }

  // The sweep of one Get: the handle and payload words are taken from the
  // demo objects of each run's session.
  tktest::SweepReport sweepGet(Handler handler, uint32_t replyId, std::function<unsigned long long(const Demo&)> handle,
                               std::vector<Word> words, bool listsSomething) {
    tktest::SweepPlan plan;
    size_t cleanItems = 0;
    plan.setup = [&] { freshSession(); };
    plan.request = [&] {
      auto request = m_a.request(libtest::kSequence, 0, kUser);
      request->objectHandle = handle(m_demo);
      for (const Word& w : words)
        request->setPayloadWord(w.position, w.value == kLibraryIdWord ? m_demo.libraryId : w.value);
      (m_mgr.*handler)(request.get());
    };
    plan.check = [&](const tktest::SweepRun& run) -> std::string {
      if (testkit::mmlib::outstandingLists() != 0) return "a media-type list was not freed";
      const std::vector<tkwire::Reply> replies = m_a.replies();
      const tkwire::Reply* reply = nullptr;
      for (const tkwire::Reply& r : replies)
        if (r.messageId == replyId) reply = &r;
      if (reply == nullptr) return tktest::answeredOnSocket(replies, run);
      if (reply->sequence != libtest::kSequence) return "the reply answers another request";
      if (run.k == 0) {
        cleanItems = reply->items.size();
        if (listsSomething && cleanItems == 0) return "the clean run listed nothing";
      } else if (reply->items.size() > cleanItems) {
        return "a failing run listed more than the clean one";
      }
      return "";
    };
    return tktest::FaultSweep().run(plan);
  }

  // Stands for the demo tape library's id in a payload word.
  static constexpr uint32_t kLibraryIdWord = 0xFEEDFACE;
  static constexpr uint32_t kUser = 7;
  tktest::TestDatabase m_db;
  tktest::Connection m_a;
  EvMMConfigMgr m_mgr;
  Demo m_demo;
  ZQMACMediaConfig* m_config = nullptr;
};

TEST_F(DrivesFaultSweep, EveryFailingCallOfAGetEndsWithItsReplyAndChangesNothing) {
  struct Case {
    const char* name;
    Handler handler;
    uint32_t replyId;
    std::function<unsigned long long(const Demo&)> handle;
    std::vector<Word> words;
    bool listsSomething;
  };
  const auto none = [](const Demo&) { return 0ull; };
  const Case cases[] = {
      {"master pools", &EvMMConfigMgr::onMsgGetMMMasterDrivePools, 11014, [](const Demo& d) { return d.lms; }, {}, true},
      {"master pool", &EvMMConfigMgr::onMsgGetMMMasterDrivePoolProperties, 11014,
       [](const Demo& d) { return d.master; }, {}, true},
      {"pools of the library", &EvMMConfigMgr::onMsgGetMMDrivePools, 11017, [](const Demo& d) { return d.lms; }, {},
       true},
      {"pools of the master pool", &EvMMConfigMgr::onMsgGetMMDrivePools, 11017, [](const Demo& d) { return d.master; },
       {{16, 1}}, true},
      {"pool", &EvMMConfigMgr::onMsgGetMMDrivePoolProperties, 11017, [](const Demo& d) { return d.pool; }, {}, true},
      {"paths of the pool", &EvMMConfigMgr::onMsgGetMMDrives, 11022, [](const Demo& d) { return d.pool; }, {}, true},
      {"short list of the library", &EvMMConfigMgr::onMsgGetMMDrives, 11022, [](const Demo& d) { return d.lms; },
       {{12, 0xFFFFFFFE}}, true},
      {"drive path", &EvMMConfigMgr::onMsgGetMMDriveProperties, 11022, [](const Demo& d) { return d.path; }, {}, true},
      {"drive", &EvMMConfigMgr::onMsgGetMMDriveDeviceProperties, 11227, [](const Demo& d) { return d.drive; }, {},
       true},
      {"children with master pools", &EvMMConfigMgr::onMsgGetMMLibraryChildren, 11047,
       [](const Demo& d) { return d.lms; }, {}, true},
      {"children with drives", &EvMMConfigMgr::onMsgGetMMLibraryChildren, 11047, [](const Demo& d) { return d.lms; },
       {{16, 1}}, true},
      {"empty bays", &EvMMConfigMgr::onMsgGetMMEmptyDrives, 11045, [](const Demo& d) { return d.lms; }, {}, false},
      {"drive ids", &EvMMConfigMgr::onMsgGetDriveIdList, 11224, [](const Demo& d) { return d.controller; }, {}, false},
      {"mount paths", &EvMMConfigMgr::onMsgGetMMMountPaths, 11027, [](const Demo& d) { return d.disk; }, {}, true},
      {"mount path", &EvMMConfigMgr::onMsgGetMMMountPathProperties, 11027, [](const Demo& d) { return d.mountPath; },
       {}, true},
      {"library types", &EvMMConfigMgr::onMsgGetMMLibraryTypes, 11050, none, {}, false},
      {"drive types", &EvMMConfigMgr::onMsgGetMMDriveTypes, 11052, none, {}, false},
      {"drive vendors", &EvMMConfigMgr::onMsgGetMMDriveVendorModelTypes, 11070, none, {}, false},
      {"library vendors", &EvMMConfigMgr::onMsgGetMMLibraryVendors, 11091, none, {{4, 1}}, false},
      {"media types", &EvMMConfigMgr::onMsgGetMMLibraryMediaTypes, 11076, none, {{4, kLibraryIdWord}}, true},
      {"information", &EvMMConfigMgr::onMsgGetMMMediaConfigInfo, 11084, none, {}, true},
      {"parameter", &EvMMConfigMgr::onMsgGetMMMediaConfigParam, 11081, none, {}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const tktest::SweepReport report = sweepGet(c.handler, c.replyId, c.handle, c.words, c.listsSomething);
    EXPECT_TRUE(report.clean()) << report;
    // At least the reply's begin and write fail in turn.
    EXPECT_GE(report.runs, 3) << report;
  }
}

// The drive change stores each step (the drive's description and id, the
// path's access path) among the model's own settings: a refused step keeps
// the steps before it, in the store as in the session, a commit that fails
// keeps none of them in either, and the clean run stores all three.
TEST_F(DrivesFaultSweep, EveryFailingCallOfADriveChangeEndsWithAnAnswerAndTheStoreAsTheSessionKeepsIt) {
  tktest::SweepPlan plan;
  plan.judgedTables = {"MMObjectSetting"};
  plan.setup = [&] { freshSession(); };
  plan.request = [&] {
    auto request = tktest::StreamBuilder()
                       .op(3)
                       .handle(m_demo.path)
                       .text(11023, "drive text")
                       .text(11024, "/dev/nst9")
                       .text(11135, "ACS-0,1,2,3")
                       .end()
                       .socket(m_a.socket().GetSocketDescriptor())
                       .user(kUser)
                       .sequence(libtest::kSequence)
                       .build();
    m_mgr.onMsgSetMMDrive(request.get());
  };
  plan.check = [&](const tktest::SweepRun& run) -> std::string {
    const std::string answered = tktest::answeredOnSocket(m_a.replies(), run);
    if (!answered.empty()) return answered;
    if (run.k == 0 && m_db.scalar("SELECT COUNT(*) FROM \"MMObjectSetting\"") != 3)
      return "the clean run did not store the three values";
    ZQMACDms* path = m_config != nullptr ? m_config->FindObject<ZQMACDms>(m_demo.path) : nullptr;
    if (path == nullptr || path->GetDrive() == nullptr) return "the session lost the drive path";
    const struct {
      const char* name;
      std::string session;
    } values[] = {{"DeviceTextC", path->GetDrive()->GetDeviceTextC()},
                  {"AccessPath", path->GetPathDetail()},
                  {"DriveIdString", path->GetDrive()->GetDriveIdString()}};
    for (const auto& v : values) {
      const std::string stored =
          m_db.text("SELECT \"Value\" FROM \"MMObjectSetting\" WHERE \"Name\" = ?", {std::string(v.name)});
      if (run.k != 0 && stored.empty() && v.session != stored) {
        // Not stored: the session keeps the value the load gave it.
        if (v.session == "drive text" || v.session == "/dev/nst9" || v.session == "ACS-0,1,2,3")
          return std::string("the session shows ") + v.name + " [" + v.session + "], which was not stored";
        continue;
      }
      if (!stored.empty() && v.session != stored)
        return std::string("the session's ") + v.name + " is [" + v.session + "], the store's [" + stored + "]";
    }
    return "";
  };
  const tktest::SweepReport report = tktest::FaultSweep().run(plan);
  EXPECT_TRUE(report.clean()) << report;
}

TEST_F(DrivesFaultSweep, EveryFailingCallOfTheParameterSetEndsWithAnAnswer) {
  tktest::SweepPlan plan;
  plan.setup = [&] { freshSession(); };
  plan.request = [&] {
    auto request = tktest::StreamBuilder()
                       .op(3).u32(11077, 0).end()
                       .socket(m_a.socket().GetSocketDescriptor())
                       .user(kUser)
                       .sequence(libtest::kSequence)
                       .build();
    m_mgr.onMsgSetMMMediaConfigParam(request.get());
  };
  plan.check = [&](const tktest::SweepRun& run) -> std::string {
    const std::vector<tkwire::Reply> replies = m_a.replies();
    const std::string answered = tktest::answeredOnSocket(replies, run);
    if (!answered.empty()) return answered;
    if (run.k == 0 && ZQMACMediaConfig::m_bCheckSerialNumber.load()) return "the clean run did not set the check";
    return "";
  };
  const tktest::SweepReport report = tktest::FaultSweep().run(plan);
  EXPECT_TRUE(report.clean()) << report;
}

}  // namespace

namespace {

TEST_F(DrivesFaultSweep, TheDrivesOfTheDatabaseCarryTheirStoredIdentityAndPathNames) {
  freshSession();
  auto request = m_a.request(libtest::kSequence, 0, kUser);
  request->objectHandle = m_demo.drive;
  EXPECT_TRUE(m_mgr.onMsgGetMMDriveDeviceProperties(request.get()));
  auto replies = m_a.replies();
  ASSERT_EQ(replies.size(), 1u);
  const std::vector<libtest::Expected> items = libtest::itemsOf(replies[0]);
  ASSERT_EQ(items.size(), 16u);  // no IBM-form id: none is stored
  libtest::expectItems(std::vector<libtest::Expected>(items.begin() + 2, items.begin() + 8),
                       {{8252, "Drive1"}, {2281, "DEMO"}, {11032, "LTO"}, {8202, "SN0001"}, {2282, ""}, {11023, ""}});
  EXPECT_EQ(items[0].bytes.substr(4), "Drive1");
  EXPECT_EQ(items[10].bytes, libtest::u32Bytes(1));  // reached by both media agents

  request = m_a.request(libtest::kSequence, 0, kUser);
  request->objectHandle = m_demo.path;
  EXPECT_TRUE(m_mgr.onMsgGetMMDriveProperties(request.get()));
  replies = m_a.replies();
  ASSERT_EQ(replies.size(), 1u);
  const tkwire::Item* path = replies[0].find(11054);
  ASSERT_NE(path, nullptr);
  EXPECT_EQ(path->bytes.substr(4), "/dev/nst0");
}

}  // namespace
