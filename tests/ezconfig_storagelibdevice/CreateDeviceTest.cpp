// Create device (operation 256): the input checks, data-server sharing, the
// media agent and its volumes, the save and the rename of a new device, and
// what the next load of the configuration finds.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/ezconfig_storagelibdevice/StorageLibDeviceFixture.h"

namespace storagelibtest {
namespace {

using tktest::catalogueText;

class CreateDevice : public StorageLibDeviceTest {
 protected:
  // A request of ma3 for the device named `name`.
  Answer create(const std::string& name, Fields extra = {}) {
    Fields fields{{43, 256}, {7, kMa3}, {3, "ma3"}, {55, name}};
    for (auto& [tag, value] : extra) fields[tag] = value;
    return call(fields);
  }
  // Device 60 reached by ma2 on data-server access `access`.
  void shareOnDataServer(int access) {
    m_db.exec("UPDATE MMDeviceController SET DeviceAccessType = " + std::to_string(access) +
              " WHERE DeviceControllerId = 500");
  }
};

// ---------------------------------------------------------------- input

TEST_F(CreateDevice, NamesAndAFolderOrDataServerAccessMustBeGiven) {
  const std::string missing = catalogueText(0x2300091B);
  expectRefused(create("", {{24, "/share"}}), missing);
  expectRefused(call({{43, 256}, {7, kMa3}, {55, "nas1"}, {24, "/share"}}), missing);  // no agent name
  expectRefused(create("nas1", {{54, 4}}), missing);                                  // no folder
  // Access 16 passes without a folder: it is refused later, as a new device.
  expectRefused(create("nas1", {{54, 16}}), catalogueText(0x23000AB0));
  EXPECT_EQ(count("MMDevice"), 1);
}

TEST_F(CreateDevice, NegativeOrOversizedTypesAreOutOfRange) {
  const std::string range = catalogueText(0x2300091C);
  expectRefused(create("nas1", {{24, "/share"}, {59, -1}}), range);
  expectRefused(create("nas1", {{24, "/share"}, {54, -2}}), range);
  expectRefused(create("nas1", {{24, "/share"}, {54, 1LL << 33}}), range);
  EXPECT_TRUE(macCalls("ReadCurrentConfig").empty());
}

// ---------------------------------------------------------------- data-server access

TEST_F(CreateDevice, DataServerAccessSharesOnlyAnExistingDeviceWithoutThePreferredBit) {
  const std::string refused = catalogueText(0x23000AB0);
  expectRefused(create("nas-new", {{54, 16}}), refused);
  expectRefused(create("DEV60", {{54, 24}}), refused);
  EXPECT_EQ(count("MMDeviceController"), 1);
}

TEST_F(CreateDevice, DataServerControllersMustShareABitWithTheRequest) {
  shareOnDataServer(32);
  expectRefused(create("dev60", {{54, 16}, {24, "/ignored"}}), catalogueText(0x23000AB0));
  EXPECT_EQ(count("MMDeviceController"), 1);

  const Answer a = create("dev60", {{54, 48}, {24, "/ignored"}});
  ASSERT_TRUE(a.success) << a.xml;
  EXPECT_EQ(a.number(Info::kDeviceId), kDevice);
  // The folder is cleared for data-server access.
  const tkdb::DbRows rows = m_db.query(
      "SELECT Folder, DeviceAccessType FROM MMDeviceController WHERE ClientId = ? AND DeviceId = ?", {kMa3, kDevice});
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0].s, "");
  EXPECT_EQ(rows[0][1].i, 48);
  ASSERT_EQ(audits().size(), 1u);
  EXPECT_EQ(audits()[0].params[0].arguments, (std::vector<std::string>{"dev60", ""}));
}

TEST_F(CreateDevice, AFailedControllerReadIsADatabaseError) {
  testkit::db::journal().injectFailure("getOneRow", 204, "locked");
  expectRefused(create("dev60", {{54, 16}}), catalogueText(0x23000AB1));
}

// ---------------------------------------------------------------- agent, device and volume

TEST_F(CreateDevice, AnAgentTheConfigurationDoesNotKnowIsRefusedBeforeADeviceIsMade) {
  expectRefused(call({{43, 256}, {7, kMa3}, {3, "nosuch"}, {55, "nas1"}, {24, "/share"}}),
                catalogueText(0x230008B0));
  EXPECT_EQ(count("MMDevice"), 1);
  EXPECT_TRUE(macCalls("AddDiskDevice").empty());
}

TEST_F(CreateDevice, AnAgentThatAlreadyReachesTheDeviceIsRefused) {
  expectRefused(call({{43, 256}, {7, kMa2}, {3, "ma2"}, {55, "dev60"}, {24, "/again"}}), catalogueText(0x2300091D));
  EXPECT_EQ(count("MMDeviceController"), 1);
  EXPECT_TRUE(audits().empty());
}

TEST_F(CreateDevice, ADeviceIdTheConfigurationDoesNotListCreatesNothingAndIsRefused) {
  expectRefused(create("nas1", {{24, "/share"}, {53, 77}}), catalogueText(0x2300091E));
  EXPECT_EQ(count("MMDevice"), 1);
  EXPECT_EQ(count("MMDeviceController"), 1);
  EXPECT_TRUE(audits().empty());
}

TEST_F(CreateDevice, AFailedSaveTakesTheNewDeviceAwayAgain) {
  testkit::mac::journal().injectFailure("Configure", 5, "the volume is refused");
  expectRefused(create("nas1", {{24, "/share"}}), catalogueText(0x2300091E));
  EXPECT_EQ(count("MMDevice"), 1);
  EXPECT_EQ(count("MMDeviceController"), 1);
  EXPECT_TRUE(audits().empty());
}

// A refused rename (injected, or a name too long for its column) rolls
// the whole change back: no device, no volume, no setting of either, and
// no audit; a retry leaves no more than the first try.
TEST_F(CreateDevice, AFailedRenameKeepsNothingOfTheNewDeviceHoweverOftenItIsTried) {
  const long long devices = count("MMDevice");
  const long long volumes = count("MMDeviceController");
  const long long settings = count("MMObjectSetting");
  struct Row {
    const char* name;
    std::string device;
    bool inject;
    std::string text;
  };
  // A name too long for its column is refused naming the limit before
  // anything is written.
  for (const Row& row : std::vector<Row>{
           {"the rename is refused", "nas1", true, catalogueText(0x23000919, "DiskDevice_1")},
           {"a name of 5,000 bytes", std::string(5000, 'n'), false, "The device name is longer than 512 bytes."}}) {
    SCOPED_TRACE(row.name);
    for (int attempt = 0; attempt < 2; ++attempt) {
      if (row.inject) testkit::mmdb::failNext("MMDeviceDB::renameDevice", 5, "rename refused");
      expectRefused(create(row.device, {{24, "/mnt/ma3/nas1"}, {28, "svc"}}), row.text);
      EXPECT_EQ(count("MMDevice"), devices);
      EXPECT_EQ(count("MMDeviceController"), volumes);
      EXPECT_EQ(count("MMObjectSetting"), settings);
      EXPECT_TRUE(audits().empty());
      auto config = load();
      EXPECT_EQ(deviceNamed(*config, "DiskDevice_1"), nullptr);
    }
  }
}

// ---------------------------------------------------------------- success

TEST_F(CreateDevice, ANewDeviceIsSavedNamedAuditedAndFoundByTheNextLoad) {
  const Answer a = create("nas1", {{24, "/share/nas1"}, {28, "svc"}, {59, 3}});
  ASSERT_TRUE(a.success) << a.xml;
  const long long id = a.number(Info::kDeviceId);
  EXPECT_GT(id, kDevice);

  auto config = load();
  ZQMACDiskDevice* device = deviceNamed(*config, "nas1");
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(static_cast<long long>(device->GetId()), id);
  ASSERT_EQ(device->GetVolumeList().GetListCount(), 1);
  ZQMACDiskVolume* volume = device->GetVolumeList().GetFirstNode();
  ASSERT_NE(volume->GetMediaAgent(), nullptr);
  EXPECT_EQ(volume->GetMediaAgent()->GetName(), "ma3");
  EXPECT_EQ(volume->GetVolume(), "/share/nas1");
  EXPECT_EQ(volume->GetUserName(), "svc");
  EXPECT_EQ(volume->GetDeviceAccessType(), 14);  // 0 means 14
  EXPECT_EQ(m_db.scalar("SELECT DeviceTypeId FROM MMDevice WHERE DeviceId = ?", {id}), 3);
  EXPECT_EQ(m_db.scalar("SELECT COUNT(*) FROM MMDeviceController WHERE DeviceId = ? AND ClientId = ?", {id, kMa3}), 1);

  ASSERT_EQ(audits().size(), 1u);
  const std::vector<testkit::audit::Record> written = audits();
  const testkit::audit::Record& record = written[0];
  EXPECT_EQ(record.operationId, 0x540000B5);
  EXPECT_EQ(record.userId, static_cast<int>(kAlice));
  ASSERT_EQ(record.params.size(), 1u);
  EXPECT_EQ(record.params[0].messageId, 0x5500018B);
  EXPECT_EQ(record.params[0].arguments, (std::vector<std::string>{"nas1", "/share/nas1"}));
}

TEST_F(CreateDevice, AnExistingDeviceFoundByNameIgnoringCaseGainsTheAgentsVolume) {
  const Answer a = create("DEV60", {{24, "/mnt/ma3/dev60"}});
  ASSERT_TRUE(a.success) << a.xml;
  EXPECT_EQ(a.number(Info::kDeviceId), kDevice);
  EXPECT_EQ(count("MMDevice"), 1);
  EXPECT_EQ(m_db.scalar("SELECT COUNT(*) FROM MMDeviceController WHERE DeviceId = ?", {kDevice}), 2);
  EXPECT_TRUE(testkit::mmdb::calls("MMDeviceDB::renameDevice").empty());
  ASSERT_EQ(audits().size(), 1u);
  EXPECT_EQ(audits()[0].params[0].arguments, (std::vector<std::string>{"DEV60", "/mnt/ma3/dev60"}));
}

}  // namespace
}  // namespace storagelibtest
