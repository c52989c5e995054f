// The device-controller records handed to the media-management service:
// their field order and widths, zero fill, copying by value, and the cut
// that MMCopyText reports when a text does not fit.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/mmdb/ZQMMRecords.h"

namespace {

using Params = MMDeviceControllerParams;
using Info = MMConfigDeviceControllerInfo;

// Widths of every field, in record order.
static_assert(sizeof(Params::reserved1) == 4 && std::is_unsigned_v<decltype(Params::reserved1)>);
static_assert(sizeof(Params::clientId) == 4 && std::is_unsigned_v<decltype(Params::clientId)>);
static_assert(sizeof(Params::deviceId) == 4 && std::is_unsigned_v<decltype(Params::deviceId)>);
static_assert(sizeof(Params::deviceControllerId) == 4);
static_assert(sizeof(Params::userName) == 1024);
static_assert(sizeof(Params::password) == 2048);
static_assert(sizeof(Params::folder) == 1024);
static_assert(sizeof(Params::reserved8) == 4);
static_assert(sizeof(Params::deviceAccessType) == 4 && std::is_unsigned_v<decltype(Params::deviceAccessType)>);
static_assert(sizeof(Params::maxDrivesToSwitch) == 4);
static_assert(sizeof(Params::enabled) == 8 && std::is_signed_v<decltype(Params::enabled)>);
static_assert(sizeof(Params::credentialId) == 4 && std::is_unsigned_v<decltype(Params::credentialId)>);
static_assert(sizeof(Info::operation) == 4 && sizeof(Info::reserved14) == 4 && sizeof(Info::reserved15) == 4);
static_assert(sizeof(Info::reserved16) == 8 && std::is_signed_v<decltype(Info::reserved16)>);
// Order of the fields.
static_assert(offsetof(Params, reserved1) == 0);
static_assert(offsetof(Params, clientId) < offsetof(Params, deviceId));
static_assert(offsetof(Params, deviceId) < offsetof(Params, deviceControllerId));
static_assert(offsetof(Params, deviceControllerId) < offsetof(Params, userName));
static_assert(offsetof(Params, folder) + 1024 == offsetof(Params, reserved8));
static_assert(offsetof(Params, reserved8) + 4 == offsetof(Params, deviceAccessType));
static_assert(offsetof(Params, deviceAccessType) + 4 == offsetof(Params, maxDrivesToSwitch));
static_assert(offsetof(Params, maxDrivesToSwitch) < offsetof(Params, enabled));
static_assert(offsetof(Params, enabled) + 8 == offsetof(Params, credentialId));
// Plain records, copied by value.
static_assert(std::is_trivially_copyable_v<Params> && std::is_trivially_copyable_v<Info>);
static_assert(std::is_base_of_v<Params, Info>);

// Offsets inside the list entry (a derived record is not standard layout).
std::size_t offsetIn(const Info& record, const void* field) {
  return static_cast<std::size_t>(static_cast<const char*>(field) - reinterpret_cast<const char*>(&record));
}

bool allZero(const void* bytes, std::size_t size) {
  const unsigned char* p = static_cast<const unsigned char*>(bytes);
  for (std::size_t i = 0; i < size; ++i)
    if (p[i] != 0) return false;
  return true;
}

TEST(DeviceControllerRecords, TheFourEntryFieldsFollowTheWholeControllerRecord) {
  Info record;
  EXPECT_EQ(0u, offsetIn(record, static_cast<const Params*>(&record)));
  EXPECT_EQ(sizeof(Params), offsetIn(record, &record.operation));
  EXPECT_EQ(sizeof(Params) + 4, offsetIn(record, &record.reserved14));
  EXPECT_EQ(sizeof(Params) + 8, offsetIn(record, &record.reserved15));
  EXPECT_EQ(sizeof(Params) + 16, offsetIn(record, &record.reserved16));
  EXPECT_EQ(sizeof(Params) + 24, sizeof(Info));
}

TEST(DeviceControllerRecords, EveryByteOfAFreshRecordIsZeroEvenWhereItsMemoryWasDirty) {
  alignas(Info) unsigned char storage[sizeof(Info)];
  std::memset(storage, 0xA5, sizeof storage);
  Info* record = new (storage) Info();
  EXPECT_TRUE(allZero(storage, sizeof storage));
  record->~Info();

  alignas(Params) unsigned char params[sizeof(Params)];
  std::memset(params, 0x5A, sizeof params);
  new (params) Params();
  EXPECT_TRUE(allZero(params, sizeof params));
}

TEST(DeviceControllerRecords, AListHoldsIndependentCopiesInTheOrderAppended) {
  std::vector<Info> list;
  Info record;
  record.clientId = 12;
  record.deviceControllerId = 501;
  record.deviceAccessType = 20;
  record.operation = MM_DEVICE_CONTROLLER_REMOVE;
  MMCopyText(record.folder, "/first");
  list.push_back(record);
  record.clientId = 13;
  MMCopyText(record.folder, "/second");
  list.push_back(record);
  MMCopyText(record.folder, "/changed later");

  ASSERT_EQ(2u, list.size());
  // A record for removal still carries client, controller and access type.
  EXPECT_EQ(12u, list[0].clientId);
  EXPECT_EQ(501u, list[0].deviceControllerId);
  EXPECT_EQ(20u, list[0].deviceAccessType);
  EXPECT_EQ(3u, list[0].operation);
  EXPECT_STREQ("/first", list[0].folder);
  EXPECT_EQ(13u, list[1].clientId);
  EXPECT_STREQ("/second", list[1].folder);
}

TEST(DeviceControllerRecords, ATextThatDoesNotFitIsCutTerminatedAndReportedAsCut) {
  struct Case {
    const char* what;
    std::string text;
    bool fits;
    std::string stored;
  };
  const std::string euro = "\xE2\x82\xAC";  // three bytes
  const Case kCases[] = {
      {"empty", "", true, ""},
      {"1,023 bytes fit", std::string(1023, 'a'), true, std::string(1023, 'a')},
      {"1,024 bytes are cut to 1,023", std::string(1024, 'a'), false, std::string(1023, 'a')},
      {"far too long", std::string(5000, 'b'), false, std::string(1023, 'b')},
      {"never inside a character", std::string(1021, 'c') + euro, false, std::string(1021, 'c')},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    Params record;
    std::memset(record.folder, 'x', sizeof record.folder);
    EXPECT_EQ(c.fits, MMCopyText(record.folder, c.text.c_str()));
    EXPECT_EQ(c.stored, std::string(record.folder));
    EXPECT_TRUE(allZero(record.folder + c.stored.size(), sizeof record.folder - c.stored.size()));
  }
  Params record;
  EXPECT_FALSE(MMCopyText(record.password, std::string(2048, 'p').c_str()));
  EXPECT_EQ(std::string(2047, 'p'), record.password);
  EXPECT_TRUE(MMCopyText(record.password, std::string(2047, 'p').c_str()));
  EXPECT_TRUE(MMCopyText(record.userName, nullptr));
  EXPECT_STREQ("", record.userName);
}

}  // namespace
