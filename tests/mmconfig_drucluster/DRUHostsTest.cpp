// DRU hosts: the list with its "none" entry, the properties of one host,
// and adding, changing and removing hosts, each read back from a new load.
#include <gtest/gtest.h>

#include <string>

#include "platform/external/Cipher.h"
#include "tests/mmconfig_drucluster/StoredFixture.h"

namespace {

using arctest::Answers;
using arctest::idText;
using arctest::Items;
using arctest::operationResponse;
using tktest::le32;

const std::string kNone = ctltest::text(0x240002F5);

class DRUHosts : public arctest::StoredTest {
 protected:
  Items list() { return get(&EvMMConfigMgr::onMsgGetDRUHostList, 11422, stream()); }
  Items properties(uint32_t id) { return get(&EvMMConfigMgr::onMsgGetDRUHostProperties, 11424, stream().count(id)); }
  Answers setHost(const tktest::StreamBuilder& request, bool expected) {
    return set(&EvMMConfigMgr::onMsgSetDRUHost, request, expected);
  }
  tktest::StreamBuilder addHost(const std::string& name) const {
    return stream()
        .op(48)
        .pair(11420, 0, name)
        .text(11425, "operator")
        .raw(11426, ctltest::encrypted("secret"))
        .u32(11427, 7000)
        .end();
  }
  bool sweepOf(const tktest::StreamBuilder& request) {
    m_report = sweep([&] {
      auto message = request.build();
      m_mgr.onMsgSetDRUHost(message.get());
    });
    return m_report.clean();
  }
  std::string storedPassword(int id) {
    return m_db.text("SELECT UserPassword FROM MMDRUHost WHERE HostId = ?", {id});
  }
  tktest::SweepReport m_report;
};

TEST_F(DRUHosts, TheListStartsWithTheNoneEntryAlsoWhenThereIsNoHost) {
  EXPECT_EQ(list(), (Items{{11420, idText(0, kNone)}}));
  EXPECT_EQ(properties(1), (Items{{2052, le32(0)}}));
}

TEST_F(DRUHosts, AnAddedHostIsStoredAndReadBackWithoutItsPassword) {
  EXPECT_EQ(setHost(addHost("dru-a"), true), (Answers{operationResponse(48, 1, "Success")}));
  freshSession();
  EXPECT_EQ(list(), (Items{{11420, idText(0, kNone)}, {11420, idText(1, "dru-a")}}));
  EXPECT_EQ(properties(1),
            (Items{{11420, idText(1, "dru-a")}, {11425, "operator"}, {11427, le32(7000)}, {2052, le32(0)}}));
  EXPECT_EQ(storedPassword(1), tkcipher::encrypt("secret"));
}

TEST_F(DRUHosts, AChangeTakesOnlyWhatItSendsAndARemovalDeletesTheRow) {
  setHost(addHost("dru-a"), true);
  // A rename alone; an empty user name, no password and a negative port keep theirs.
  EXPECT_EQ(setHost(stream().op(3).pair(11420, 1, "dru-b").text(11425, "").i32(11427, -5).end(), true),
            (Answers{operationResponse(3, 1, "Success")}));
  freshSession();
  EXPECT_EQ(properties(1),
            (Items{{11420, idText(1, "dru-b")}, {11425, "operator"}, {11427, le32(7000)}, {2052, le32(0)}}));
  EXPECT_EQ(storedPassword(1), tkcipher::encrypt("secret"));

  EXPECT_EQ(setHost(stream().op(3).pair(11420, 1, "dru-b").raw(11426, ctltest::encrypted("other")).u32(11427, 22).end(),
                    true),
            (Answers{operationResponse(3, 1, "Success")}));
  freshSession();
  EXPECT_EQ(properties(1),
            (Items{{11420, idText(1, "dru-b")}, {11425, "operator"}, {11427, le32(22)}, {2052, le32(0)}}));
  EXPECT_EQ(storedPassword(1), tkcipher::encrypt("other"));

  EXPECT_EQ(setHost(stream().op(2).pair(11420, 1, "").end(), true), (Answers{operationResponse(2, 1, "Success")}));
  freshSession();
  EXPECT_EQ(list(), (Items{{11420, idText(0, kNone)}}));
  EXPECT_EQ(m_db.scalar("SELECT COUNT(*) FROM MMDRUHost"), 0);
}

TEST_F(DRUHosts, EachAddOfARequestStoresAHostOfItsOwn) {
  EXPECT_EQ(setHost(stream().op(48).pair(11420, 0, "dru-a").end().pair(11420, 0, "dru-b").end(), true),
            (Answers{operationResponse(48, 1, "Success"), operationResponse(48, 1, "Success")}));
  freshSession();
  EXPECT_EQ(list(), (Items{{11420, idText(0, kNone)}, {11420, idText(1, "dru-a")}, {11420, idText(2, "dru-b")}}));
}

TEST_F(DRUHosts, RefusalsAnswerTheirRecordAndTheRequestGoesOnButEndsFalse) {
  setHost(addHost("dru-a"), true);
  setHost(addHost("dru-b"), true);
  const std::string inUse = "A DRU host named [dru-a] exists already.";
  // Unknown ids, a name in use (added or given by a change), an unknown
  // operation, and a record that succeeds after them all.
  const Answers answers = setHost(stream()
                                      .op(2).pair(11420, 9, "x").end()
                                      .op(3).end()
                                      .op(48).pair(11420, 0, "DRU-A").end()
                                      .op(3).pair(11420, 2, "dru-a").u32(11427, 1).end()
                                      .op(7).end()
                                      .op(3).pair(11420, 2, "dru-c").end(),
                                  false);
  EXPECT_EQ(answers, (Answers{operationResponse(2, 0, "DRU Host not found!"),
                              operationResponse(3, 0, "DRU Host not found!"),
                              operationResponse(48, 0, ctltest::text(0x240002F2, "DRU-A", "A DRU host named [DRU-A] exists already.")),
                              operationResponse(3, 0, ctltest::text(0x240002F4, "dru-a", inUse)),
                              operationResponse(7, 0, "Received invalid operation type"),
                              operationResponse(3, 1, "Success")}));
  // The refused change left the host as it was; the last one renamed it
  // and took the port that an earlier record of the request sent.
  freshSession();
  EXPECT_EQ(properties(2),
            (Items{{11420, idText(2, "dru-c")}, {11425, "operator"}, {11427, le32(1)}, {2052, le32(0)}}));
}

TEST_F(DRUHosts, APasswordThatCannotBeDecryptedOrIsEmptyLeavesTheStoredOne) {
  setHost(addHost("dru-a"), true);
  const struct {
    const char* what;
    std::string password;
  } cases[] = {{"not decryptable", std::string("\x01\x02plain", 7)}, {"empty", ctltest::encrypted("")}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(setHost(stream().op(3).pair(11420, 1, "dru-a").raw(11426, c.password).end(), true),
              (Answers{operationResponse(3, 1, "Success")}));
    EXPECT_EQ(storedPassword(1), tkcipher::encrypt("secret"));
  }
}

TEST_F(DRUHosts, ARefusedRemovalKeepsTheHostAsDoesADiskDeviceTiedToIt) {
  setHost(addHost("dru-a"), true);
  testkit::mac::failNext("RemoveDRUHost", 5, "refused by the model");
  EXPECT_EQ(setHost(stream().op(2).pair(11420, 1, "").end(), false),
            (Answers{operationResponse(2, 0, ctltest::text(0x240002F3, "dru-a", "refused by the model"))}));
  ZQMACDiskDevice* device = m_config->GetDiskDeviceList().GetFirstNode();
  ASSERT_NE(device, nullptr);
  ZQMACGraph::SetDRUId(device, 1);
  EXPECT_EQ(setHost(stream().op(2).pair(11420, 1, "").end(), false),
            (Answers{operationResponse(2, 0, ctltest::text(0x240002F3, "dru-a", "The DRU host [dru-a] is in use by the disk device [" + device->GetName() + "]."))}));
  EXPECT_EQ(m_db.scalar("SELECT COUNT(*) FROM MMDRUHost"), 1);
  EXPECT_NE(m_config->FindDBNode<ZQMACHost>(1), nullptr);
}

// Without a password: a password that cannot be decrypted counts as not sent,
// which is a request of its own (tested above).
TEST_F(DRUHosts, EveryFailingCallOfAnAddEndsInAnAnswerAndNoHalfChange) {
  const auto request = stream().op(48).pair(11420, 0, "dru-z").text(11425, "u").u32(11427, 1).end();
  EXPECT_TRUE(sweepOf(request)) << m_report;
}

TEST_F(DRUHosts, EveryFailingCallOfAChangeOrARemovalEndsInAnAnswerAndNoHalfChange) {
  setHost(addHost("dru-a"), true);
  EXPECT_TRUE(sweepOf(stream().op(3).pair(11420, 1, "dru-y").text(11425, "v").end())) << m_report;
  EXPECT_TRUE(sweepOf(stream().op(2).pair(11420, 1, "").end())) << m_report;
}

TEST_F(DRUHosts, EveryFailingCallOfTheListOrThePropertiesEndsInAnAnswerAndChangesNothing) {
  setHost(addHost("dru-a"), true);
  const tktest::SweepReport listing =
      sweepListing([&] { m_mgr.onMsgGetDRUHostList(stream().build().get()); }, 11422);
  EXPECT_TRUE(listing.clean()) << listing;
  const tktest::SweepReport properties =
      sweepListing([&] { m_mgr.onMsgGetDRUHostProperties(stream().count(1).build().get()); }, 11424);
  EXPECT_TRUE(properties.clean()) << properties;
}

}  // namespace
