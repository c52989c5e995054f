// The library request and drag and drop under the fault sweep: a session
// loaded from the demonstration installation in the database, then each
// request made once for every platform call failing in turn. Every run must
// end with an answer on the client's socket and leave the database as it
// was or as the clean run left it. An audit record that cannot be written
// is logged and the change it records stands (the rule of every change
// handler): such runs may differ from the clean one in audit rows alone.
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/mac/ZQMACPlatform.h"
#include "platform/mmdb/MMStoredKinds.h"
#include "tests/mmconfig_librarychanges/LibraryChangesFixture.h"
#include "tests/support/DatabaseDump.h"
#include "tests/support/DatabaseSession.h"
#include "tests/support/FaultSweep.h"
#include "tests/support/FileSizeLimit.h"

namespace {

class LibraryFaultSweep : public ::testing::Test {
 protected:
  void SetUp() override {
    libtest::resetStandIns();
    std::string report;
    ASSERT_GT(tkmac::seedDemoInstallation(report), 0) << report;
  }
  void TearDown() override {
    tktest::resetSessionState();
    libtest::resetStandIns();
  }

  void freshSession() {
    libtest::resetStandIns();
    tktest::resetSessionState();
    ZQMACMediaConfig* config = tktest::openDatabaseSession(m_a, libtest::kUser);
    ASSERT_NE(config, nullptr);
    ZQMACLms* tape = config->GetLmsList().GetFirstNode();
    ASSERT_NE(tape, nullptr);
    m_tape = config->GetHandle(tape);
    m_tapeId = tape->GetLibrary() != nullptr ? static_cast<int>(tape->GetLibrary()->GetId()) : 0;
    ZQMACLinkedList<ZQMACDms> paths = tape->GetDmsList();
    m_path = config->GetHandle(paths.GetFirstNode());
    testkit::mmlib::scriptLibraryState(m_tapeId, {});
    testkit::mmlib::scriptIdentification({1, 2});
    testkit::ndmpdetect::scriptNdmpLibrary("filer1", "mc0", {"", "VENDOR-N", "PRODUCT-N", "ID-N", "", 4, 6, 0, ""});
    testkit::ndmpdetect::scriptLibraryServer("ls1", {{"L1", "V1", "P1", "I1", "fw1", 0, 2, 40, "1-40"}});
    m_config = config;
    m_a.replies();
  }

  static bool onlyAuditRows(const std::string& changes) {
    std::istringstream lines(changes);
    std::string line;
    bool any = false;
    while (std::getline(lines, line)) {
      if (line.rfind("table ", 0) != 0) continue;
      any = true;
      if (line.rfind("table AuditTrail", 0) != 0 && line.rfind("table sqlite_sequence", 0) != 0) return false;
    }
    return any;
  }

  tktest::StreamBuilder stream() const {
    return tktest::StreamBuilder().socket(m_a.socket().GetSocketDescriptor()).user(libtest::kUser).sequence(libtest::kSequence);
  }

  // `judged`: tables that `judge` holds to its own rule instead.
  // `commits`: what the clean run may commit (a step kept on purpose when a
  // later one fails commits on its own).
  tktest::SweepReport sweep(const std::function<void()>& request, std::vector<std::string> judged = {},
                            const std::function<std::string()>& judge = nullptr, long commits = 1) {
    tktest::SweepPlan plan;
    plan.commits = commits;
    plan.setup = [&] { freshSession(); };
    plan.request = request;
    plan.judgedTables = std::move(judged);
    tktest::DatabaseDump clean;
    std::set<long> auditOnly;
    plan.check = [&](const tktest::SweepRun& run) -> std::string {
      const tktest::DatabaseDump now = tktest::DatabaseDump::take();
      if (run.k == 0) clean = now;
      else if (now != clean && onlyAuditRows(tktest::DatabaseDump::describeChanges(clean, now))) auditOnly.insert(run.k);
      const std::string judged = judge ? judge() : std::string();
      if (!judged.empty()) return judged;
      return tktest::answeredOnSocket(m_a.replies(), run);
    };
    tktest::SweepReport report = tktest::FaultSweep().run(plan);
    std::vector<std::string> kept;
    for (const std::string& finding : report.findings) {
      bool excused = false;
      for (long k : auditOnly)
        if (finding.rfind("k=" + std::to_string(k) + " (", 0) == 0 && finding.find("half changed") != std::string::npos)
          excused = true;
      if (!excused) kept.push_back(finding);
    }
    report.findings = kept;
    return report;
  }

  tktest::TestDatabase m_db;
  tktest::Connection m_a;
  EvMMConfigMgr m_mgr;
  // Operation 54 or 55 for the media agent, with every required element.
  tktest::StreamBuilder addController(uint32_t operation, const std::string& agent) const {
    tktest::StreamBuilder s = stream().op(operation);
    if (operation == 54) s.text(11058, "filer1", true).text(11088, "mc0", true);
    else s.text(11089, "ls1", true);
    return s.pair(2048, 0, agent, true).text(11086, "V1", true).text(11087, "P1", true).text(11031, "I1", true)
        .u32(11008, 1).u32(11009, 2);
  }

  // "" when the session's tape library shows what the store holds of it
  // (a setting not stored reads as the load's default), else the first
  // value that differs.
  std::string libraryAsStored() {
    ZQMACLms* lms = m_config != nullptr ? m_config->FindObject<ZQMACLms>(m_tape) : nullptr;
    if (lms == nullptr || lms->GetLibrary() == nullptr) return "the session lost the library";
    const ZQMACLibrary& library = *lms->GetLibrary();
    const std::string row = " FROM \"MMLibrary\" WHERE \"LibraryId\" = " + std::to_string(m_tapeId);
    auto setting = [&](const char* name, const char* otherwise) {
      const std::string value =
          m_db.text("SELECT \"Value\" FROM \"MMObjectSetting\" WHERE \"Name\" = ? AND \"Kind\" = ? AND "
                    "\"ObjectId\" = ?",
                    {std::string(name), static_cast<int>(MMStoredKind::Library), m_tapeId});
      return value.empty() ? std::string(otherwise) : value;
    };
    auto flag = [](bool on) { return std::string(on ? "1" : "0"); };
    const struct {
      const char* what;
      std::string session;
      std::string stored;
    } values[] = {
        {"alias", library.GetAliasName(), m_db.text("SELECT \"AliasName\"" + row)},
        {"drive count", std::to_string(library.GetDriveCount()), m_db.text("SELECT IFNULL(\"DriveCount\", 0)" + row)},
        {"VTL type", std::to_string(library.GetVTLType()), m_db.text("SELECT IFNULL(\"VTLType\", 0)" + row)},
        {"attribute", std::to_string(library.GetLibAttributeFlag()),
         m_db.text("SELECT IFNULL(\"LibraryAttribute\", 0)" + row)},
        {"door lock", flag(library.GetDoorLockFlag()), setting("DoorLock", "0")},
        {"DDS", flag(library.GetAutoConfigDDSFlag()), setting("AutoConfigDDS", "0")},
        {"IP drive ids", flag(library.GetUseIPDriveIDFlag()), setting("UseIPDriveID", "0")},
        {"volume range", library.GetVolumeRangeString(), setting("VolumeRange", "")},
    };
    for (const auto& v : values)
      if (v.session != v.stored)
        return std::string("the session's ") + v.what + " is [" + v.session + "], the store's [" + v.stored + "]";
    return "";
  }

  ZQMACMediaConfig* m_config = nullptr;
  unsigned long long m_tape = 0;
  unsigned long long m_path = 0;
  int m_tapeId = 0;
};

// A refused step keeps what the steps before it changed: the library's
// row and settings are judged against the session, which keeps them too.
TEST_F(LibraryFaultSweep, EveryFailingCallOfALibraryChangeEndsWithAnAnswerAndTheStoreAsTheSessionKeepsIt) {
  const tktest::SweepReport report = sweep(
      [&] {
        auto request = stream().op(3).handle(m_tape).text(8251, "Renamed library", true).u32(11009, 9).u32(11164, 1)
                           .u32(11432, 2).end().op(12).end().build();
        m_mgr.onMsgSetMMLibrary(request.get());
      },
      {"MMLibrary", "MMObjectSetting"}, [&] { return libraryAsStored(); });
  EXPECT_TRUE(report.clean()) << report;
}

TEST_F(LibraryFaultSweep, AChangeThatCannotBeCommittedAnswersTheDatabasesReasonAndKeepsNothing) {
  freshSession();
  const tktest::DatabaseDump before = tktest::DatabaseDump::take();
  {
    // The change's pages stay in memory until the commit writes the log.
    tktest::FileSizeLimit limit(0);
    ASSERT_TRUE(limit.set());
    auto request = stream().op(3).handle(m_tape).text(8251, "Renamed library", true).u32(11009, 9).end().build();
    m_mgr.onMsgSetMMLibrary(request.get());
  }
  EXPECT_EQ(libtest::messagesOf(m_a.replies()),
            (std::vector<libtest::Message>{libtest::operationResponse(
                3, 0, "The transaction could not be committed (disk I/O error: File too large)")}));
  const tktest::DatabaseDump after = tktest::DatabaseDump::take();
  EXPECT_TRUE(after == before) << tktest::DatabaseDump::describeChanges(before, after);
}

TEST_F(LibraryFaultSweep, EveryFailingCallOfALibrarysOwnSettingsOrANewLibrarysVolumeRangeEndsAsTheSessionKeepsIt) {
  // Each setter stores as it sets, in the request's one transaction: a
  // library's change keeps the steps before a refused one, in the store as
  // in the session; a new library is stored whole or not at all.
  const struct {
    std::function<tktest::StreamBuilder()> make;
    bool stepwise;
  } requests[] = {
      {[&] {
         ZQMACLibController* first = m_config->FindObject<ZQMACLms>(m_tape)->GetLibControllerList().GetFirstNode();
         return stream().op(3).handle(m_tape).u32(11007, static_cast<uint32_t>(m_config->GetHandle(first)))
             .u32(11414, 1).u32(11431, 1).u32(11416, 6).text(11417, "VOLRANGE-A", true).u32(11432, 2).end();
       },
       true},
      {[&] { return addController(55, "ma2").text(11417, "VOLRANGE-55", true).end(); }, false},
  };
  for (const auto& r : requests) {
    const tktest::SweepReport report = sweep(
        [&] {
          auto request = r.make().build();
          m_mgr.onMsgSetMMLibrary(request.get());
        },
        r.stepwise ? std::vector<std::string>{"MMLibrary", "MMObjectSetting"} : std::vector<std::string>{},
        r.stepwise ? std::function<std::string()>([&] { return libraryAsStored(); }) : nullptr);
    EXPECT_TRUE(report.clean()) << report;
  }
}

TEST_F(LibraryFaultSweep, EveryFailingCallOfAnIdentificationOrDiscoveryEndsWithAnAnswer) {
  for (uint32_t operation : {35u, 84u, 85u}) {
    SCOPED_TRACE(operation);
    const tktest::SweepReport report = sweep([&] {
      auto request = stream().op(operation).handle(m_tape).pair(2225, 0, "Data cartridge", true).u32(11178, 1).end().build();
      m_mgr.onMsgSetMMLibrary(request.get());
    });
    EXPECT_TRUE(report.clean()) << report;
  }
}

TEST_F(LibraryFaultSweep, EveryFailingCallOfADropThatConfiguresALibraryEndsWithAnAnswer) {
  const tktest::SweepReport report = sweep([&] {
    ASSERT_NE(m_path, 0u);
    auto request = stream().objectHandle(m_path).payloadWord(20, 1).build();
    m_mgr.onMsgMMDragNDrop(request.get());
  });
  EXPECT_TRUE(report.clean()) << report;
}

TEST_F(LibraryFaultSweep, EveryFailingCallOfAControllerAdditionOrProbeEndsWithAnAnswerAndNoHalfChange) {
  // A failed read of the new NDMP controller's library keeps the
  // controller: its library and controller rows are whole or absent.
  const tktest::SweepReport ndmp = sweep(
      [&] {
        auto request = addController(54, "ma2").end().build();
        m_mgr.onMsgSetMMLibrary(request.get());
      },
      {"MMLibrary", "MMLibraryController", "sqlite_sequence"},
      [&]() -> std::string {
        const std::string controllers = m_db.text("SELECT COUNT(*) FROM MMLibraryController");
        const std::string libraries = m_db.text("SELECT COUNT(*) FROM MMLibrary");
        if ((controllers == "1" && libraries == "2") ||
            (controllers == "2" && libraries == "3" &&
             m_db.text("SELECT COUNT(*) FROM MMLibraryController C JOIN MMLibrary L ON L.LibraryId = C.LibraryId "
                       "WHERE C.ControllerName = 'mc0' AND L.LibraryEnabled = 0") == "1"))
          return "";
        return "controllers " + controllers + ", libraries " + libraries;
      },
      2);
  EXPECT_TRUE(ndmp.clean()) << ndmp;
  const std::function<tktest::StreamBuilder()> requests[] = {
      [&] { return addController(55, "ma2").end(); },
      // A probe answers with its record; the last record's answer tells the sweep the request ended.
      [&] {
        return stream().op(58).text(11058, "filer1", true).text(11088, "mc0", true).pair(2048, 0, "ma1", true).end()
            .op(85).handle(m_tape).end();
      },
      [&] { return stream().op(58).text(11089, "ls1", true).end().op(55).pair(2048, 0, "ma1", true).end(); },
  };
  for (const auto& make : requests) {
    const tktest::SweepReport report = sweep([&] {
      auto request = make().build();
      m_mgr.onMsgSetMMLibrary(request.get());
    });
    EXPECT_TRUE(report.clean()) << report;
  }
}

TEST_F(LibraryFaultSweep, AnAddedControllerIsStoredWithItsLibraryAndAReloadKeepsIt) {
  for (uint32_t operation : {54u, 55u}) {
    SCOPED_TRACE(operation);
    // Both add a library of the same name: the one of the first goes, or
    // the second is refused by the name rule.
    ASSERT_EQ(m_db.exec("DELETE FROM MMLibraryController WHERE LibraryId IN (SELECT LibraryId FROM MMLibrary WHERE "
                        "LibraryName = 'V1 P1'); DELETE FROM MMLibrary WHERE LibraryName = 'V1 P1'"),
              0);
    freshSession();
    auto request = addController(operation, "ma2").end().build();
    EXPECT_TRUE(m_mgr.onMsgSetMMLibrary(request.get()));
    EXPECT_EQ(libtest::messagesOf(m_a.replies()), (std::vector<libtest::Message>{libtest::operationResponse(operation, 1, "Success")}));
    ZQMACMediaAgent* agent = m_config->FindDBNode("ma2");
    ASSERT_NE(agent, nullptr);
    ZQMACLinkedList<ZQMACLibController> controllers = agent->GetLibControllerList();
    ZQMACLibController* added = controllers[controllers.GetListCount() - 1];
    ASSERT_NE(added, nullptr);
    EXPECT_NE(added->GetId(), 0xFFFFFFFFu);
    const unsigned long long handle = m_config->GetHandle(added);

    ASSERT_TRUE(m_config->ReadCurrentConfig(true)) << m_config->GetLastError();
    ZQMACLibController* again = m_config->FindObject<ZQMACLibController>(handle);
    ASSERT_EQ(again, added) << "the stored controller keeps its handle";
    ASSERT_NE(again->GetLms(), nullptr);
    EXPECT_EQ(again->GetMediaAgent(), agent);
    EXPECT_EQ(again->GetLibrary()->GetVendor(), operation == 54 ? "VENDOR-N" : "V1");
    EXPECT_FALSE(again->GetLms()->TestStateA()) << "the library is not configured yet";
  }
}

TEST_F(LibraryFaultSweep, AClientThatIsNoMediaAgentYetBecomesOneWithItsFirstController) {
  ASSERT_EQ(m_db.exec("INSERT INTO APP_Client (name, net_hostname, displayName, simOperatingSystemId) "
                      "VALUES ('ma3', 'ma3.example.net', 'ma3', 2)"),
            0);
  freshSession();
  ASSERT_EQ(m_config->FindDBNode("ma3"), nullptr);
  auto request = addController(55, "ma3").end().build();
  EXPECT_TRUE(m_mgr.onMsgSetMMLibrary(request.get()));
  ZQMACMediaAgent* agent = m_config->FindDBNode("ma3");
  ASSERT_NE(agent, nullptr);
  const std::string clientId = m_db.text("SELECT id FROM APP_Client WHERE name = 'ma3'");
  EXPECT_EQ(std::to_string(agent->GetId()), clientId);
  EXPECT_EQ(m_db.text("SELECT COUNT(*) FROM MMHost WHERE ClientId = ?", {std::stoi(clientId)}), "1");
  EXPECT_EQ(m_db.text("SELECT COUNT(*) FROM MMLibraryController WHERE ClientId = ?", {std::stoi(clientId)}), "1");

  ASSERT_TRUE(m_config->ReadCurrentConfig(true)) << m_config->GetLastError();
  EXPECT_EQ(m_config->FindDBNode("ma3"), agent) << "the stored agent keeps its object";
  EXPECT_EQ(agent->GetLibControllerList().GetListCount(), 1);
}

TEST_F(LibraryFaultSweep, AControllerForANameNoClientCarriesIsRefusedAndNothingIsStored) {
  freshSession();
  const tktest::DatabaseDump before = tktest::DatabaseDump::take();
  auto request = addController(55, "no-such-client").end().build();
  EXPECT_FALSE(m_mgr.onMsgSetMMLibrary(request.get()));
  EXPECT_EQ(libtest::messagesOf(m_a.replies()),
            (std::vector<libtest::Message>{libtest::operationResponse(55, 0, "No client is named [no-such-client].")}));
  EXPECT_TRUE(tktest::DatabaseDump::take() == before);
  EXPECT_EQ(m_config->GetIPLibControllerList().GetListCount(), 0);
}

}  // namespace
