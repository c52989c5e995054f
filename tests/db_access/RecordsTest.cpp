// The row-only records and the client-info records: layouts (the contract
// with the table access), construction defaults, ownership of heap texts,
// and filling every field from the table.
#include <cstddef>
#include <cstring>
#include <set>
#include <string>
#include <type_traits>

#include "Db/Cursor/getClientProps.h"
#include "Db/MMRowRecords.h"
#include "Db/Proc/MMS2GetDevicePathsForMountPath.h"
#include "Db/Proc/MMS2GetMediaAgentList.h"
#include "platform/mmdb/ZQMMRecords.h"
#include "tests/db_access/AccessFixture.h"

namespace dbaccess {
namespace {

// The layouts, checked where the records are used as well as where they are
// declared: the first field, a field after each alignment change, the last
// field and the size.
static_assert(offsetof(MMDevice_t, AliasName) == 4 && offsetof(MMDevice_t, DeviceTypeId) == 528);
static_assert(offsetof(MMDevice_t, DeviceAttribute) == 568 && sizeof(MMDevice_t) == 852);
static_assert(offsetof(MMMediaSide_t, TotalCapacity) == 136 && offsetof(MMMediaSide_t, ExternalGUID) == 229);
static_assert(sizeof(MMMediaSide_t) == 280);
static_assert(offsetof(MMMedia_t, MediaInstallTime) == 568 && offsetof(MMMedia_t, Descript) == 704);
static_assert(offsetof(MMMedia_t, PrivateData) == 784 && sizeof(MMMedia_t) == 904);
static_assert(offsetof(APP_Client_t, net_hostname) == 1031 && offsetof(APP_Client_t, installTime) == 1544);
static_assert(offsetof(APP_Client_t, description) == 2088 && offsetof(APP_Client_t, osName) == 2724);
static_assert(sizeof(APP_Client_t) == 3240 && sizeof(APP_Client_t) - offsetof(APP_Client_t, osName) == 516);
static_assert(offsetof(MMLibraryController_t, ClientId) == 152 && sizeof(MMLibraryController_t) == 216);
static_assert(offsetof(MMHost_t, LastHeartbeatTime) == 24 && offsetof(MMHost_t, Descript) == 4152);
static_assert(sizeof(MMHost_t) == 4176);
static_assert(sizeof(MMDeviceControllerParams) == 4144 && sizeof(MMConfigDeviceControllerInfo) == 4168);
static_assert(sizeof(MMSMountpathInfo) == 112 && sizeof(MMStartStopOnGoingPruningReq) == 96);
// Records are never copied (the ones with heap texts would free them twice).
static_assert(!std::is_copy_constructible_v<MMMedia_t> && !std::is_copy_assignable_v<APP_Client_t>);
static_assert(!std::is_copy_constructible_v<MMHost_t> && !std::is_copy_constructible_v<MMSMountpathInfo>);
// List entries are values.
static_assert(std::is_copy_constructible_v<MMConfigDeviceControllerInfo>);

template <class T>
bool allZero(const T& record, size_t from, size_t to) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(&record);
  for (size_t i = from; i < to; ++i) {
    if (bytes[i] != 0) return false;
  }
  return true;
}

TEST(Records, AListEntryFollowsTheWholeControllerRecord) {
  MMConfigDeviceControllerInfo entry;
  const auto* base = reinterpret_cast<const char*>(&entry);
  EXPECT_EQ(4144, reinterpret_cast<const char*>(&entry.operation) - base);
  EXPECT_EQ(4148, reinterpret_cast<const char*>(&entry.reserved14) - base);
  EXPECT_EQ(4152, reinterpret_cast<const char*>(&entry.reserved15) - base);
  EXPECT_EQ(4160, reinterpret_cast<const char*>(&entry.reserved16) - base);
  EXPECT_EQ(4144u, offsetof(MMDeviceControllerParams, padding_) + sizeof(uint32_t));
}

TEST(Records, NewRecordsHoldZerosEmptyTextsAndNullHeapTexts) {
  MMDevice_t device;
  MMMediaSide_t side;
  MMMedia_t media;
  APP_Client_t client;
  MMLibraryController_t controller;
  MMHost_t host;
  EXPECT_EQ(0, device.DeviceId);
  EXPECT_STREQ("", device.AliasName);
  EXPECT_EQ(0, device.ExtendedAttributes);
  EXPECT_EQ(0, side.TotalCapacity);
  EXPECT_STREQ("", side.ExternalGUID);
  EXPECT_EQ(nullptr, media.Descript);
  EXPECT_EQ(0, media.LastCleanTime);
  EXPECT_EQ(nullptr, client.description);
  EXPECT_STREQ("", client.name);
  EXPECT_STREQ("", client.osName);
  EXPECT_EQ(0, controller.IsActive);
  EXPECT_EQ(nullptr, host.Descript);
  // Every byte of a field is zero, not only the first of a text.
  EXPECT_TRUE(allZero(client, offsetof(APP_Client_t, osName), sizeof client));
  EXPECT_TRUE(allZero(host, offsetof(MMHost_t, ConfigParams), offsetof(MMHost_t, ConfigParams) + 2049));
}

TEST(Records, AHeapTextIsReleasedByItsRecord) {
  // Under the leak checker a record that kept its text would fail the run.
  {
    MMMedia_t media;
    media.Descript = new char[6];
    std::memcpy(media.Descript, "tape", 5);
  }
  {
    APP_Client_t client;
    client.description = new char[2]{'x', '\0'};
    MMHost_t host;
    host.Descript = new char[2]{'y', '\0'};
  }
  MMSMountpathInfo info;
  info.setUserName("user");
  info.setPassword("secret");
  info.setUserName("other");  // the first copy goes
  EXPECT_STREQ("other", info.userName);
  info.setPassword(nullptr);
  EXPECT_EQ(nullptr, info.password);
}

TEST(Records, ControllerRecordsAreZeroFilledAndTextsAlwaysTerminated) {
  MMConfigDeviceControllerInfo entry;
  EXPECT_TRUE(allZero(entry, 0, sizeof entry));
  std::string longFolder(1500, 'f');
  EXPECT_FALSE(MMCopyText(entry.folder, longFolder.c_str()));
  EXPECT_EQ(1023u, std::strlen(entry.folder));
  std::string longPassword(3000, 'p');
  EXPECT_FALSE(MMCopyText(entry.password, longPassword.c_str()));
  EXPECT_EQ(2047u, std::strlen(entry.password));
  EXPECT_TRUE(MMCopyText(entry.userName, "O'Neil"));
  EXPECT_STREQ("O'Neil", entry.userName);
  EXPECT_TRUE(MMCopyText(entry.userName, nullptr));
  EXPECT_STREQ("", entry.userName);
  // A cut never splits a character: 1022 ASCII bytes, then a two-byte one.
  std::string text(1022, 'a');
  text += "\xC3\xA9";
  EXPECT_FALSE(MMCopyText(entry.folder, text.c_str()));
  EXPECT_EQ(1022u, std::strlen(entry.folder));
}

// ---- filled from the table ---------------------------------------------------------------------

// The client record keeps its field names; five of its columns are named
// as the procedures and the cursor read them (displayName, releaseId,
// servicePack, clientDescription, simOperatingSystemId).
TEST_F(AccessTest, EveryFieldOfARecordComesFromItsColumn) {
  run("UPDATE APP_Client SET displayName = 'Agent One', installTime = 1700000000123, clientFlags = -5, "
      "installDirectory = '/opt/tk', domainName = 'example.net', simOperatingSystemId = 31, clientType = 3, "
      "lastContactTime = 9000000000, servicePort = 8400, clientGUID = 'GUID-1', attribute = 2, "
      "osName = 'Linux' WHERE id = 11");
  MMMiscDB misc(&log);
  APP_Client_t client;
  ASSERT_EQ(0, misc.getClientInfo(kMA1, client, nullptr));
  EXPECT_EQ(kMA1, client.id);
  EXPECT_STREQ("ma1", client.name);
  EXPECT_EQ(16, client.versionRelease);
  EXPECT_STREQ("Agent One", client.hostDisplayName);
  EXPECT_STREQ("ma1.example.net", client.net_hostname);
  EXPECT_EQ(1700000000123LL, client.installTime);
  EXPECT_EQ(20, client.versionServicePack);
  EXPECT_EQ(-5, client.clientFlags);
  EXPECT_STREQ("/opt/tk", client.installDirectory);
  ASSERT_NE(nullptr, client.description);
  EXPECT_STREQ("first agent", client.description);
  EXPECT_STREQ("example.net", client.domainName);
  EXPECT_EQ(31, client.osTypeId);
  EXPECT_EQ(3, client.clientType);
  EXPECT_EQ(9000000000LL, client.lastContactTime);
  EXPECT_EQ(8400, client.servicePort);
  EXPECT_STREQ("GUID-1", client.clientGUID);
  EXPECT_EQ(2, client.attribute);
  EXPECT_STREQ("Linux", client.osName);

  MMMediaSideDB sides(&log);
  MMMediaSide_t side;
  ASSERT_EQ(0, sides.getInfo(kSide1, side, nullptr));
  EXPECT_EQ(kMedia1, side.MediaId);
  EXPECT_EQ(5120000, side.TotalCapacity);
  EXPECT_STREQ("side1", side.SideName);

  MMMediaDB media(&log);
  MMMedia_t medium;
  ASSERT_EQ(0, media.getInfoByMountPathId(kMP1, medium, nullptr));
  EXPECT_EQ(kMedia1, medium.MediaId);
  EXPECT_STREQ("media1", medium.MediaName);
  EXPECT_EQ(4096, medium.DataWritten);
  ASSERT_NE(nullptr, medium.Descript);
  EXPECT_STREQ("medium of MP1", medium.Descript);

  MMDeviceDB devices(&log);
  MMDevice_t device;
  ASSERT_EQ(0, devices.getInfoByAliasName("device31", device, nullptr));
  EXPECT_EQ(kDevice, device.DeviceId);
  EXPECT_STREQ("Device31", device.AliasName);
  EXPECT_EQ(2, device.DeviceTypeId);
  EXPECT_EQ(77, device.DeviceAttribute);  // the disk-volume properties item 9640

  MMHostDB hosts(&log);
  MMHost_t host;
  ASSERT_EQ(0, hosts.getInfoByClientName("ma1", host, nullptr));
  EXPECT_EQ(kMA1, host.ClientId);
  ASSERT_NE(nullptr, host.Descript);
  EXPECT_STREQ("host of ma1", host.Descript);
}

// The client table keeps one column per fact: what the table access reads
// into the client record under its own field names is what the stored
// procedures and the client-properties cursor read under the table's.
TEST_F(AccessTest, OneClientColumnPerFactServesTableAccessProceduresAndTheCursor) {
  std::set<std::string> columns;
  for (const tkdb::DbRow& row : db.query("SELECT name FROM pragma_table_info('APP_Client')")) columns.insert(row[0].s);
  for (const char* name : {"displayName", "releaseId", "servicePack", "simOperatingSystemId", "clientDescription",
                           "TkHostName", "clientSkewTime", "jobResultDir", "zqdPort", "evmgrcPort"}) {
    EXPECT_EQ(1u, columns.count(name)) << name;
  }
  for (const char* name : {"hostDisplayName", "versionRelease", "versionServicePack", "osTypeId", "description"}) {
    EXPECT_EQ(0u, columns.count(name)) << name;
  }

  run("UPDATE APP_Client SET displayName = 'Agent One', simOperatingSystemId = 31 WHERE id = 11");
  MMMiscDB misc(&log);
  APP_Client_t client;
  ASSERT_EQ(0, misc.getClientInfo(kMA1, client, nullptr));
  int release = 0;
  int servicePack = 0;
  ASSERT_EQ(0, misc.getMAVersionInfo(kMA1, release, servicePack, nullptr));

  MMS2GetMediaAgentList agents(nullptr);
  agents.setValues(1, kMA1, 0);
  ASSERT_EQ(0, getOneRow(&agents, false, -1, 0));
  const MMS2GetMediaAgentList_t& agent = *agents.getDataPtr();
  EXPECT_STREQ(client.hostDisplayName, agent.o_hostDisplayName);
  EXPECT_STREQ("Agent One", agent.o_hostDisplayName);
  EXPECT_EQ(client.versionRelease, agent.o_ReleaseId);
  EXPECT_EQ(16, agent.o_ReleaseId);
  EXPECT_EQ(release, agent.o_ReleaseId);
  EXPECT_EQ(client.osTypeId, agent.o_SystemOsId);
  EXPECT_EQ(31, agent.o_SystemOsId);

  MMS2GetDevicePathsForMountPath paths(nullptr);
  paths.setValues(kMP1);
  ASSERT_EQ(0, getOneRow(&paths, false, -1, 0));
  const MMS2GetDevicePathsForMountPath_t& path = *paths.getDataPtr();
  EXPECT_EQ(kMA1, path.MAClientId);
  EXPECT_EQ(client.versionServicePack, path.servicePack);
  EXPECT_EQ(servicePack, path.servicePack);
  EXPECT_EQ(20, path.servicePack);
  ASSERT_NE(nullptr, path.MADisplayName);
  EXPECT_STREQ("Agent One", path.MADisplayName);

  GetClientProps props(nullptr);
  props.setValues(2, kMA1, 0);
  ASSERT_EQ(0, getOneRow(&props, false, -1, 0));
  ASSERT_NE(nullptr, client.description);
  EXPECT_STREQ(client.description, props.getDataPtr()->r_desc);
  EXPECT_STREQ("first agent", props.getDataPtr()->r_desc);
}

TEST_F(AccessTest, AReadIntoARecordThatHoldsAHeapTextReplacesIt) {
  MMMediaDB media(&log);
  MMMedia_t medium;
  ASSERT_EQ(0, media.getInfoByMountPathId(kMP1, medium, nullptr));
  ASSERT_NE(nullptr, medium.Descript);
  ASSERT_EQ(0, media.getInfoByMountPathId(kMP2, medium, nullptr));
  EXPECT_EQ(kMedia2, medium.MediaId);
  EXPECT_EQ(nullptr, medium.Descript);  // NULL in the table; the earlier text was released
}

TEST_F(AccessTest, ATextLongerThanItsFieldIsCutOnACharacterAndAWrongValueIsRefused) {
  std::string longName = std::string(511, 'x') + "\xC3\xA9";  // 513 bytes, the last character two bytes
  run("UPDATE MMDevice SET AliasName = ? WHERE DeviceId = 31", {longName});
  MMDeviceDB devices(&log);
  MMDevice_t device;
  ASSERT_EQ(0, devices.getInfo(kDevice, device, nullptr));
  EXPECT_EQ(511u, std::strlen(device.AliasName));
  // A value that does not fit its integer field fails the read and leaves
  // the record alone.
  run("UPDATE MMDevice SET DeviceTypeId = 'lots' WHERE DeviceId = 31");
  device.DeviceId = -3;
  EXPECT_EQ(-1, devices.getInfo(kDevice, device, nullptr));
  EXPECT_EQ(MMS2_ERROR_BAD_VALUE, devices.getErrorCode());
  EXPECT_EQ(-3, device.DeviceId);
  run("UPDATE MMDevice SET DeviceTypeId = 4294967296 WHERE DeviceId = 31");
  EXPECT_EQ(-1, devices.getInfo(kDevice, device, nullptr));
  EXPECT_EQ(MMS2_ERROR_BAD_VALUE, devices.getErrorCode());
}

}  // namespace
}  // namespace dbaccess
