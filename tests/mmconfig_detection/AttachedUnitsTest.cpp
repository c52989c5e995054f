// Detection of the hardware the attached-hardware tables list, on a session
// loaded from the demonstration installation in the database: each unit
// an agent sees carries the SCSI bus, target and LUN of its row, and a
// drive newly attached to a library the configuration has stored is a new
// device for the agent check's answer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frame/ElementTags.h"
#include "platform/mac/ZQMACPlatform.h"
#include "tests/mmconfig_control/ControlFixture.h"
#include "tests/mmconfig_detection/DetectionFixture.h"
#include "tests/support/DatabaseSession.h"
#include "tests/support/StreamBuilder.h"

namespace {

using ctltest::Message;
using Messages = std::vector<Message>;

constexpr uint32_t kUser = 7;

class AttachedUnits : public ::testing::Test {
 protected:
  void SetUp() override {
    dettest::resetStandIns();
    tktest::resetSessionState();
    std::string report;
    ASSERT_GT(tkmac::seedDemoInstallation(report), 0) << report;
    m_config = tktest::openDatabaseSession(m_a, kUser);
    ASSERT_NE(m_config, nullptr);
    m_a.replies();
  }
  void TearDown() override {
    tktest::resetSessionState();
    dettest::resetStandIns();
  }

  // A library `serial` that ma1 sees at bus 3, target 5, LUN 7, with its
  // drives (number, serial, bus, target, LUN).
  struct Drive {
    int number;
    std::string serial;
    int bus, target, lun;
  };
  void attachToMa1(const std::string& serial, const std::vector<Drive>& drives) {
    ASSERT_EQ(m_db.exec("INSERT INTO \"MMAttachedLibrary\" (\"ClientId\", \"Vendor\", \"Product\", \"SerialNumber\", "
                        "\"DeviceName\", \"ScsiBus\", \"ScsiTarget\", \"ScsiLun\") VALUES ((SELECT \"id\" FROM "
                        "\"APP_Client\" WHERE \"name\" = 'ma1'), 'ACME', 'TL-8', ?, '/dev/sg9', 3, 5, 7)",
                        {serial}),
              0);
    const long long library = m_db.scalar("SELECT MAX(\"Id\") FROM \"MMAttachedLibrary\"");
    for (const Drive& d : drives)
      ASSERT_EQ(m_db.exec("INSERT INTO \"MMAttachedDrive\" (\"AttachedLibraryId\", \"DriveNumber\", \"Vendor\", "
                          "\"Product\", \"SerialNumber\", \"DeviceName\", \"ScsiBus\", \"ScsiTarget\", \"ScsiLun\") "
                          "VALUES (?, ?, 'ACME', 'LTO-8', ?, ?, ?, ?, ?)",
                          {library, d.number, d.serial, "/dev/nst" + std::to_string(d.number + 10), d.bus, d.target,
                           d.lun}),
                0);
  }
  Messages detectMa1(bool keep) {
    tktest::StreamBuilder request = tktest::StreamBuilder()
                                        .socket(m_a.socket().GetSocketDescriptor())
                                        .user(kUser)
                                        .sequence(dettest::kSequence)
                                        .pair(tktag::kMediaAgent, 1, "ma1");
    if (keep) request.u32(tktag::kKeep, 1);
    auto message = request.end().build();
    m_mgr.onMsgMMAutoDetect(message.get());
    return ctltest::messagesOf(m_a.replies(), dettest::kSequence);
  }

  tktest::TestDatabase m_db;
  EvMMConfigMgr m_mgr;
  tktest::Connection m_a;
  ZQMACMediaConfig* m_config = nullptr;
};

TEST_F(AttachedUnits, EachDetectedUnitCarriesTheBusTargetAndLunOfItsRow) {
  attachToMa1("TL8-0009", {{1, "D-0001", 0, 1, 2}, {2, "D-0002", 4, 6, 8}});
  const Messages got = detectMa1(true);
  ASSERT_FALSE(got.empty());
  EXPECT_EQ(got.back(), ctltest::operationResponse(47, 1, "Success"));

  ZQMACMediaAgent* ma1 = m_config->FindDBNode("ma1");
  ASSERT_NE(ma1, nullptr);
  struct Unit {
    std::string text;
    unsigned int bus, target, lun;
  };
  // The units detection made (not stored), controllers first.
  std::vector<Unit> seen;
  auto add = [&](auto* unit) {
    if (unit->GetId() == 0xFFFFFFFFu)
      seen.push_back({unit->GetTextB(false), unit->GetAddressPartA(), unit->GetAddressPartB(), unit->GetAddress()});
  };
  ZQMACLinkedList<ZQMACLibController> controllers = ma1->GetLibControllerList();
  for (ZQMACLibController* c = controllers.GetFirstNode(); c != nullptr; c = controllers.GetNextNode()) add(c);
  ZQMACLinkedList<ZQMACDms> paths = ma1->GetDmsList();
  for (ZQMACDms* p = paths.GetFirstNode(); p != nullptr; p = paths.GetNextNode()) add(p);
  const std::vector<Unit> expected = {
      {"ACME TL-8 [TL8-0009] /dev/sg9 on ma1", 3, 5, 7},
      {"ACME LTO-8 [D-0001] /dev/nst11 on ma1", 0, 1, 2},
      {"ACME LTO-8 [D-0002] /dev/nst12 on ma1", 4, 6, 8},
  };
  ASSERT_EQ(seen.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(expected[i].text);
    EXPECT_EQ(seen[i].text, expected[i].text);
    EXPECT_EQ(seen[i].bus, expected[i].bus);
    EXPECT_EQ(seen[i].target, expected[i].target);
    EXPECT_EQ(seen[i].lun, expected[i].lun);
  }
}

TEST_F(AttachedUnits, ADriveNewlyAttachedToAStoredLibraryIsANewDevice) {
  // The stored TapeLib1 as ma1 sees it, with a drive it did not have.
  ASSERT_EQ(m_db.exec("UPDATE \"MMLibrary\" SET \"SerialNumber\" = 'TL1-SN' WHERE \"LibraryName\" = 'TapeLib1'"), 0);
  m_a.replies();
  tktest::resetSessionState();
  m_config = tktest::openDatabaseSession(m_a, kUser);
  ASSERT_NE(m_config, nullptr);
  m_a.replies();
  attachToMa1("TL1-SN", {{3, "D-NEW", 0, 3, 0}});

  const Messages got = detectMa1(false);
  ASSERT_FALSE(got.empty());
  EXPECT_EQ(got.back(), ctltest::operationResponse(47, 1, ctltest::text(0x24000179)));
  // The new path is the stored library's; no second library was made.
  ZQMACLinkedList<ZQMACLms> libraries = m_config->GetLmsList();
  int named = 0;
  ZQMACLms* stored = nullptr;
  for (ZQMACLms* lms = libraries.GetFirstNode(); lms != nullptr; lms = libraries.GetNextNode())
    if (lms->GetLibrary() != nullptr && lms->GetLibrary()->GetDeviceTextA() == "TL1-SN") {
      ++named;
      stored = lms;
    }
  ASSERT_EQ(named, 1);
  EXPECT_NE(stored->GetId(), 0xFFFFFFFFu);
  int newPaths = 0;
  ZQMACLinkedList<ZQMACDms> paths = stored->GetDmsList();
  for (ZQMACDms* p = paths.GetFirstNode(); p != nullptr; p = paths.GetNextNode())
    if (p->GetId() == 0xFFFFFFFFu) ++newPaths;
  EXPECT_EQ(newPaths, 1);
}

}  // namespace
