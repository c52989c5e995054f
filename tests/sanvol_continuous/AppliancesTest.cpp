// The continuous-replication appliances: listing, add, delete, assignment
// to a SAN volume and the move of a client to another server, with the
// subclient-volume filter and the device-configuration error ids.
#include <gtest/gtest.h>

#include <tuple>

#include "frame/EvEvent.h"
#include "sanvol/continuous/ContinuousControl.h"
#include "tests/sanvol_continuous/ContinuousControlFixture.h"

namespace cctest {
namespace {

class AppliancesTest : public ContinuousTest {
 protected:
  static int32_t seedAppliance(const std::string& name) {
    QRApplianceRecord_t appliance;
    appliance.applianceName = name;
    return testkit::replicadb::seed(appliance);
  }
  static std::vector<std::string> applianceNames() {
    std::vector<std::string> names;
    for (const auto& a : testkit::replicadb::rows<QRApplianceRecord_t>()) names.push_back(a.applianceName);
    return names;
  }
  long long manage(StreamBuilder builder) {
    auto request = stream(std::move(builder));
    return handler.onMsgManageQRAppliance(request.get());
  }
};

TEST_F(AppliancesTest, ListsEachApplianceAsOneRecord) {
  const int32_t a = seedAppliance("qm1");
  const int32_t b = seedAppliance("qm2");
  auto request = simple();
  EXPECT_EQ(handler.onMsgGetQRAppliances(request.get()), 1);
  const auto got = replies();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].messageId, 11707u);
  ASSERT_EQ(tagsOf(got[0]), (Tags{11708, 2052, 11708, 2052}));
  EXPECT_EQ(got[0].items[0].bytes, wordAndText(static_cast<uint32_t>(a), "qm1"));
  EXPECT_EQ(got[0].items[2].bytes, wordAndText(static_cast<uint32_t>(b), "qm2"));
}

TEST_F(AppliancesTest, AddAnswersTheNewIdAfterTheStatus) {
  seedAppliance("old");
  EXPECT_EQ(manage(StreamBuilder().op(1).pair(11708, 99, "qm-new").end()), 1);
  const auto rows = testkit::replicadb::rows<QRApplianceRecord_t>();
  ASSERT_EQ(rows.size(), 2u);
  const auto got = replies();
  ASSERT_EQ(got.size(), 1u);
  ASSERT_EQ(tagsOf(got[0]), (Tags{4001, 2051, 11709}));
  EXPECT_EQ(got[0].items[0].bytes, le32(1));
  EXPECT_EQ(got[0].items[1].bytes, wordAndText(1, "Success"));
  EXPECT_EQ(got[0].items[2].bytes, le32(static_cast<uint32_t>(rows[1].applianceId)));
  EXPECT_EQ(rows[1].applianceName, "qm-new");
}

TEST_F(AppliancesTest, DeleteRemovesTheAppliance) {
  const int32_t id = seedAppliance("qm1");
  EXPECT_EQ(manage(StreamBuilder().op(2).pair(11708, static_cast<uint32_t>(id), "").end()), 1);
  expectSuccess(replies().at(0), 2);
  EXPECT_TRUE(applianceNames().empty());
}

TEST_F(AppliancesTest, AssignmentChangesTheApplianceAndKeepsEveryOtherField) {
  SNRVolumeRecordV4_t volume;
  volume.deviceId = "naa.600";
  volume.lun = 4;
  volume.blockCount = 1 << 20;
  volume.qmProtected = true;
  volume.qmState = 2;
  volume.costCategoryId = 12;
  volume.applianceId = 3;
  volume.fsType = "ext4";
  volume.volumeId = testkit::replicadb::seed(volume);
  EXPECT_EQ(manage(StreamBuilder().op(3).u32(11618, static_cast<uint32_t>(volume.volumeId)).pair(11708, 5, "qm5").end()),
            1);
  expectSuccess(replies().at(0), 3);
  SNRVolumeRecordV4_t stored;
  ASSERT_TRUE(testkit::replicadb::row(volume.volumeId, stored));
  EXPECT_EQ(stored.applianceId, 5);
  EXPECT_EQ(std::tie(stored.deviceId, stored.lun, stored.blockCount, stored.qmProtected, stored.qmState,
                     stored.costCategoryId, stored.fsType),
            std::tie(volume.deviceId, volume.lun, volume.blockCount, volume.qmProtected, volume.qmState,
                     volume.costCategoryId, volume.fsType));
  EXPECT_EQ(dbCalls("UpdateSNRVolume"), (std::vector<Args>{{"3", std::to_string(volume.volumeId), "1024"}}));
}

TEST_F(AppliancesTest, ChangeOfServerMovesTheClientsDevices) {
  agentSession().ConfigureQMDevice("qm-old", "q1", "m1");
  forgetAgentCalls();
  EXPECT_EQ(manage(StreamBuilder().op(15).u32(2009, kClient).text(11715, "qm-old").pair(11708, 6, "qm-new").end()), 1);
  expectSuccess(replies().at(0), 15);
  EXPECT_EQ(agentCalls("DeconfigureQMServer"), (std::vector<Args>{{kHost, "qm-old", "qm-new"}}));
  EXPECT_EQ(testkit::clientvol::agent(kHost).quillmereDevices.count("qm-new"), 1u);
}

TEST_F(AppliancesTest, RefusalsAndFailuresAreAnsweredWithTheirOwnTextsWithoutACatalogueCall) {
  struct Case {
    const char* name;
    StreamBuilder request;
    bool operationReply;
    uint32_t operation;
    std::string text;
  };
  seedAppliance("qm1");
  const Case cases[] = {
      {"change of server without 2009", StreamBuilder().op(15).text(11715, "qm-old").pair(11708, 6, "x").end(), true,
       15, kMissing},
      {"assign without a volume", StreamBuilder().op(3).pair(11708, 6, "x").end(), true, 3, kMissing},
      {"delete of an appliance that is not there", StreamBuilder().op(2).pair(11708, 4242, "x").end(), false, 0,
       "appliance 4242 does not exist"},
      {"client failure", StreamBuilder().op(15).u32(2009, kClient).text(11715, "none").pair(11708, 6, "x").end(), false,
       0, "Reason: Server [none] is not configured on the client."},
      {"another operation", StreamBuilder().op(4).pair(11708, 6, "x").end(), false, 0,
       "Received invalid operation type"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testkit::events::reset();
    EXPECT_EQ(manage(c.request), 0);
    const auto got = replies();
    ASSERT_EQ(got.size(), 1u);
    if (c.operationReply)
      expectOperation(got[0], c.operation, 0, c.text);
    else
      expectFailure(got[0], c.text);
    EXPECT_TRUE(testkit::events::journal().calls("evPrintf").empty());
  }
  EXPECT_TRUE(agentCalls("DeconfigureQMServer").size() == 1u);  // only the client failure reached the client
  EXPECT_EQ(applianceNames(), std::vector<std::string>{"qm1"});
}

TEST_F(AppliancesTest, AnUnknownElementIsSkipped) {
  const int32_t id = seedAppliance("qm1");
  EXPECT_EQ(manage(StreamBuilder().op(2).u32(9999, 1).pair(11708, static_cast<uint32_t>(id), "").end()), 1);
  expectSuccess(replies().at(0), 2);
  EXPECT_TRUE(log.contains("Has received an unprocessed element type [9999-"));
  EXPECT_TRUE(applianceNames().empty());
}

// ---------------------------------------------------------------- the free functions

TEST_F(AppliancesTest, SubclientVolumesKeepsOnlyHeldIdsSortedAndStopsAtAnError) {
  ASSERT_EQ(testkit::content::addSubclient({31, 7, 84, "sc1", 0, 0}), 0);
  ASSERT_EQ(testkit::content::addContent(31, 3, "E:"), 0);
  ASSERT_EQ(testkit::content::addContent(31, 7, "F:"), 0);
  std::vector<int> ids{7, 3, 5};
  EXPECT_TRUE(tksanvol::getVolsContainedInSubClients(ids));
  EXPECT_EQ(ids, (std::vector<int>{3, 7}));

  testkit::client::journal().reset();
  testkit::client::journal().injectFailure("getSCListHavingVolId", tkclient::kErrorDatabase, "down");
  ids = {7, 5, 3};
  EXPECT_FALSE(tksanvol::getVolsContainedInSubClients(ids));
  EXPECT_EQ(ids, (std::vector<int>{7, 5, 3}));
  EXPECT_EQ(testkit::client::journal().calls("getSCListHavingVolId").size(), 1u);
  EXPECT_TRUE(log.contains("Error retrieving a list of associated subclients for volume [7]."));
}

TEST_F(AppliancesTest, DeviceErrorIdsByOperationAndCodeWithTheCodeAsA64BitArgument) {
  struct Case {
    int operation;
    long long code;
    unsigned long id;
    bool codePushed;
  };
  const Case cases[] = {{1, 512, 0x390000fc, false}, {1, 7, 0x390000fd, true},  {2, 512, 0x390000fe, false},
                        {2, -1, 0x390000ff, true},   {3, 512, 0x39000100, false}, {3, 5, 0x39000101, true},
                        {4, 512, 0x39000102, false}, {4, 1LL << 40, 0x39000103, true}, {0, 7, 0x3900008c, false},
                        {5, 512, 0x3900008c, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.operation) + "/" + std::to_string(c.code));
    EvEvent event;
    EXPECT_EQ(tksanvol::buildConfigQRDeviceErrorEvent(event, c.operation, c.code), c.id);
    ASSERT_EQ(event.arguments().Count(), c.codePushed ? 1u : 0u);
    if (c.codePushed) {
      EXPECT_EQ(event.arguments().At(0).type, ArgumentInfo::kInt64);
      EXPECT_EQ(event.arguments().At(0).number, c.code);
    }
  }
}

}  // namespace
}  // namespace cctest
