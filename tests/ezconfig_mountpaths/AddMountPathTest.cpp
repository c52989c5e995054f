// Adding a mount path to a disk library (operations 4 and 16384): the
// refusals in their order, the device found or made behind it, the type,
// writers and name of the new mount path, the late failures that keep it,
// and its audit record.
#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>

#include "frame/ZQPassword.h"
#include "platform/mmdb/MMBaseDB.h"
#include "platform/testkit/archivemgr.h"
#include "platform/testkit/clock.h"
#include "tests/ezconfig_mountpaths/MountPathFixture.h"

namespace mountpathtest {
namespace {

constexpr int kAuditAdd = 0x5400006E;

class AddMountPath : public MountPathTest {
 protected:
  // A request to add "/mnt/new" (named "newmp") to the disk library for ma2.
  static Fields add(Fields extra = {}) {
    Fields f{{43, 4}, {1, kDiskLib}, {8, "disklib"}, {7, kMa2}, {3, "ma2"}, {24, "/mnt/new"}, {60, "newmp"}};
    for (auto& [tag, value] : extra) f.insert_or_assign(tag, value);
    return f;
  }
  long long mountPathValue(const std::string& column, const std::string& name = "newmp") {
    return m_db.scalar("SELECT " + column + " FROM MMMountPath WHERE MountPathName = ?", {name});
  }
  long long deviceOf(const std::string& name = "newmp") {
    return m_db.scalar(
        "SELECT D.DeviceId FROM MMMountPathToStorageDevice D JOIN MMMountPath M ON M.MountPathId = D.MountPathId "
        "WHERE M.MountPathName = ?",
        {name});
  }
  // An empty library of its own, in the model as every library is.
  void addLibrary(int id) {
    tktest::insertRows(m_db, "MMLibrary (LibraryId, AliasName, LibraryTypeId)", {{id, "lib" + std::to_string(id), 3}});
  }
  static std::string encrypted(const std::string& plain) {
    char out[2048] = {};
    int length = sizeof out;
    EXPECT_EQ(ZQPassword::encrypt(plain.c_str(), out, &length), 0);
    return std::string(out, static_cast<std::size_t>(length));
  }
};

TEST_F(AddMountPath, AddsTheMountPathOnANewDeviceAndAnswersTheDevice) {
  const Answer a = call(add());
  ASSERT_TRUE(a.success) << a.xml;
  const long long device = deviceOf();
  EXPECT_GT(device, kDevice);
  EXPECT_EQ(a.number(Info::kDeviceId), device);
  EXPECT_EQ(a.string(Info::kMountPathName), "/mnt/new");  // as requested, not as audited
  EXPECT_EQ(mountPathValue("MountPathTypeId"), 4);
  EXPECT_EQ(mountPathValue("NumberOfWriters"), 1000);
  EXPECT_EQ(m_db.text("SELECT Folder FROM MMDeviceController WHERE DeviceId = ? AND ClientId = 2", {device}),
            "/mnt/new");
  EXPECT_EQ(m_db.text("SELECT AliasName FROM MMDevice WHERE DeviceId = ?", {device}),
            "Device#" + std::to_string(device));
  const auto records = auditsOf(kAuditAdd);
  ASSERT_EQ(records.size(), 1u);
  ASSERT_EQ(records[0].params.size(), 2u);
  EXPECT_EQ(records[0].params[0].messageId, 0x550000BF);
  EXPECT_EQ(records[0].params[0].arguments, std::vector<std::string>{"disklib"});
  EXPECT_EQ(records[0].params[1].messageId, 0x550000C4);
  EXPECT_EQ(records[0].params[1].arguments, std::vector<std::string>{"[ma2] /mnt/new"});
}

TEST_F(AddMountPath, ASavedCredentialIsTheThirdAuditParameterAndGoesToTheDevicePath) {
  const Answer a = call(requestWith(add(), {}, [](CNMessageBase& library, CNMessageBase&) {
    setCredential(library, Info::kCredential, 31, "nas-key");
  }));
  ASSERT_TRUE(a.success) << a.xml;
  const auto records = auditsOf(kAuditAdd);
  ASSERT_EQ(records.size(), 1u);
  ASSERT_EQ(records[0].params.size(), 3u);
  EXPECT_EQ(records[0].params[2].messageId, 0x550006DB);
  EXPECT_EQ(records[0].params[2].arguments, std::vector<std::string>{"nas-key"});
}

TEST_F(AddMountPath, RefusalsComeInTheirOrderAndCreateNothing) {
  // Every refusal is armed at once; each request meets the first one left.
  testkit::mmdb::failNext("MMMountPathDB::getListForLibrary", MMS2_ERROR_DATABASE, "list lost");
  tktest::addMountPath(m_db, 41, kDiskLib, kDevice, "/mnt/plain", 0, 0);
  testkit::mmdb::failNext("MMDeviceControllerDB::canAddController", MMS2_ERROR_DATABASE, "no controller");
  testkit::mmdb::failNext("MMHostDB::isPowerManagedMA", MMS2_ERROR_DATABASE, "host lost");
  ASSERT_EQ(m_db.exec("UPDATE MMHost SET IsPowerManaged = 1, IsPoweredOff = 1 WHERE ClientId = 2"), 0);
  testkit::mmdb::failNext("MMDeviceDB::getInfo", MMS2_ERROR_DATABASE, "device lost");
  Fields f = add({{24, ""}, {60, ""}, {8, "nosuch"}, {42, 5}});
  char controllerText[2048];
  MMS2BaseError::getErrorStringForCode(MMS2_ERROR_DATABASE, controllerText, sizeof controllerText, 0);
  struct Step {
    const char* name;
    std::string text;
    std::function<void()> mend;
  };
  const Step steps[] = {
      {"mount paths unread", catalogueText(0x230008B5), [] {}},
      {"a mount path of type 0", catalogueText(0x230008B6),
       [&] { ASSERT_EQ(m_db.exec("UPDATE MMMountPath SET MountPathTypeId = 1 WHERE MountPathId = 41"), 0); }},
      {"neither mount path nor device", catalogueText(0x23000918), [&] { f.insert_or_assign(24, "/mnt/new"); }},
      {"controller check", controllerText, [] {}},
      {"power unread", catalogueText(0x230008B0), [] {}},
      {"powered off", catalogueText(0x200001E8, "ma2"),
       [&] { ASSERT_EQ(m_db.exec("UPDATE MMHost SET IsPoweredOff = 0 WHERE ClientId = 2"), 0); }},
      {"library not in the configuration", catalogueText(0x240000D7, "nosuch"),
       [&] { f.insert_or_assign(8, "disklib"); }},
      {"device unread", catalogueText(0x23000916), [] {}},
      {"vendor", "Provided Vendor of the MountPath does not match with the Vendor for the other MountPaths in the Library",
       [&] { f.insert_or_assign(42, 1); }},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.name);
    expectRefused(call(f), step.text);
    step.mend();
  }
  EXPECT_EQ(count("MMMountPath"), 2);
  EXPECT_EQ(count("MMDevice"), 1);
  EXPECT_TRUE(testkit::mmdb::calls("ZQMMDeviceInfo::addDevice").empty());
  EXPECT_TRUE(auditsOf(kAuditAdd).empty());
  EXPECT_TRUE(call(f).success);  // every refusal mended
}

TEST_F(AddMountPath, TheDeviceTypeChoosesTheMountPathTypeAndWhetherADeviceIsShared) {
  // Devices 61 (type 1000) and 62 (type 1001) that ma3 reaches at "/mnt/new"
  // with the same (empty) credentials.
  tktest::insertRows(m_db, "MMDevice (DeviceId, AliasName, DeviceTypeId)", {{61, "dev61", 1000}, {62, "dev62", 1001}});
  const std::string none = encrypted("");
  tktest::addDevicePath(m_db, {501, kMa3, 61, 6, "/mnt/new", "", none});
  tktest::addDevicePath(m_db, {502, kMa3, 62, 6, "/mnt/new", "", none});
  struct Case {
    int library;
    long long operation;
    long long deviceType;
    int mountPathType;
    bool sharesDevice61;
  };
  const Case cases[] = {
      {7, 4, 0, 4, false}, {8, 16384, 0, 11, false}, {9, 4, 1000, 7, true}, {10, 4, 1001, 4, false},
      {11, 16384, 1001, 11, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.library);
    addLibrary(c.library);
    const std::string name = "mp" + std::to_string(c.library);
    const Answer a = call(add({{43, c.operation}, {1, c.library}, {8, "lib" + std::to_string(c.library)}, {60, name},
                               {42, c.deviceType}}));
    ASSERT_TRUE(a.success) << a.xml;
    EXPECT_EQ(mountPathValue("MountPathTypeId", name), c.mountPathType);
    EXPECT_EQ(deviceOf(name) == 61, c.sharesDevice61);
    if (!c.sharesDevice61) {
      EXPECT_EQ(m_db.scalar("SELECT DeviceTypeId FROM MMDevice WHERE DeviceId = ?", {deviceOf(name)}),
                c.deviceType < 1 ? 1 : c.deviceType);
    }
  }
  EXPECT_EQ(count("MMDeviceController", "DeviceId = 61"), 2);  // ma2 joined ma3 on the shared device
}

TEST_F(AddMountPath, ASharedDeviceIsFoundByItsMediaAgentOrAnotherOne) {
  // Device 61 (type 300) reached by ma3 at "/srv/share", and device 63 that
  // ma2 reaches already at a folder with a quote, by a user with one.
  tktest::insertRows(m_db, "MMDevice (DeviceId, AliasName, DeviceTypeId)", {{61, "dev61", 300}, {63, "dev63", 300}});
  tktest::insertRows(m_db, "MMDevice (DeviceId, AliasName, DeviceTypeId)", {{64, "dev64", 300}});
  tktest::addDevicePath(m_db, {501, kMa3, 61, 6, "/srv/share", "svc", "enc-svc"});
  tktest::addDevicePath(m_db, {503, kMa2, 63, 6, "/mnt/o'share", "o'user", encrypted("")});
  tktest::addDevicePath(m_db, {504, kMa3, 64, 6, "/srv/other", "svc", "enc-svc"});
  struct Case {
    const char* name;
    int library;
    Fields fields;
    long long device;
    std::string folder;  // of ma2's device path afterwards
    bool controllerAdded;
  };
  const Case cases[] = {
      {"ma2 reaches it by folder and user", 7, {{24, "/mnt/o'share"}, {28, "o'user"}}, 63, "/mnt/o'share", false},
      {"named: another agent's folder and credentials", 8, {{55, "dev61"}}, 61, "/srv/share", true},
      {"by id: the request's own folder", 9, {{53, 64}}, 64, "/mnt/new", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    addLibrary(c.library);
    const std::string name = "mp" + std::to_string(c.library);
    Fields f = add({{1, c.library}, {8, "lib" + std::to_string(c.library)}, {60, name}, {42, 300}});
    for (auto& [tag, value] : c.fields) f.insert_or_assign(tag, value);
    const std::size_t added = testkit::mmdb::calls("ZQMMDeviceInfo::addDeviceController").size();
    const Answer a = call(f);
    ASSERT_TRUE(a.success) << a.xml;
    EXPECT_EQ(deviceOf(name), c.device);
    EXPECT_EQ(a.number(Info::kDeviceId), c.device);
    EXPECT_EQ(mountPathValue("MountPathTypeId", name), 7);
    EXPECT_EQ(testkit::mmdb::calls("ZQMMDeviceInfo::addDeviceController").size() - added, c.controllerAdded ? 1u : 0u);
    EXPECT_EQ(m_db.text("SELECT Folder FROM MMDeviceController WHERE ClientId = 2 AND DeviceId = ?", {c.device}),
              c.folder);
  }
  EXPECT_EQ(m_db.text("SELECT UserName FROM MMDeviceController WHERE ClientId = 2 AND DeviceId = 61"), "svc");
  EXPECT_EQ(count("MMDevice"), 4);  // no device was made
}

TEST_F(AddMountPath, MaximumWritersOutsideOneTo999Become1000) {
  const std::pair<long long, long long> cases[] = {{0, 1000}, {1000, 1000}, {-5, 1000}, {999, 999}, {1, 1}};
  for (const auto& [requested, stored] : cases) {
    SCOPED_TRACE(requested);
    const std::string name = "w" + std::to_string(requested);
    ASSERT_TRUE(call(add({{60, name}}), {{64, requested}}).success);
    EXPECT_EQ(mountPathValue("MaxConcurrentWriters", name), stored);
  }
}

TEST_F(AddMountPath, AMountPathWithoutANameGetsSixCharactersAndTheUtcDate) {
  testkit::clock::FakeClock clock(1'700'000'000);  // 2023-11-14 22:13:20 UTC
  std::set<std::string> names;
  for (int i = 0; i < 2; ++i) ASSERT_TRUE(call(add({{60, ""}})).success);
  for (const auto& row : m_db.query("SELECT MountPathName FROM MMMountPath WHERE MountPathId <> 40")) {
    const std::string name = row[0].s;
    EXPECT_TRUE(std::regex_match(name, std::regex("[0-9A-Z]{6}_11\\.14\\.2023_22\\.13"))) << name;
    names.insert(name);
  }
  EXPECT_EQ(names.size(), 2u);  // two names made in one second differ
}

TEST_F(AddMountPath, LateFailuresAnswerTheirCodeAndKeepTheMountPath) {
  struct Case {
    const char* name;
    std::function<void()> arm;
    Fields extra;
    long long code;
    std::string text;
  };
  char distributedText[2048];
  MMS2BaseError::getErrorStringForCode(MMS2_ERROR_DATABASE, distributedText, sizeof distributedText, 0);
  const Case cases[] = {
      {"storage pool", [] { testkit::archivemgr::failNextShare(77, "pool refused"); }, {}, 77,
       catalogueText(0x240001BE)},
      {"storage pool without a code", [] { testkit::archivemgr::failNextShare(0, "pool refused"); }, {}, -1,
       catalogueText(0x240001BE)},
      {"distributed storage",
       [] { testkit::mmdb::failNext("MMMiscDB::setDistributedStorageForMountPath", MMS2_ERROR_DATABASE, "x"); },
       {}, MMS2_ERROR_DATABASE, distributedText},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.arm();
    const std::string name = "late" + std::to_string(++n);
    const std::string xml = requestWith(add({{60, name}}), {}, [](CNMessageBase& library, CNMessageBase&) {
      CNMessageBase& storage = library.getObjectAccessor(true, true, Info::kDistributedStorage.ordinal,
                                                         Info::kDistributedStorage.tag, Info::kClassHash,
                                                         Info::kDistributedStorage.hash, Info::kDistributedStorage.ns,
                                                         Info::kDistributedStorage.cls);
      using D = ZqEntities::DistributedStorageEntity;
      storage.setint64(D::kId.ordinal, D::kId.tag, 12, D::kClassHash, D::kId.hash);
    });
    const Answer a = call(xml);
    EXPECT_FALSE(a.success);
    EXPECT_EQ(a.code, c.code);
    EXPECT_EQ(a.text, c.text);
    EXPECT_EQ(count("MMMountPath", "MountPathName = '" + name + "'"), 1);
  }
  EXPECT_TRUE(auditsOf(kAuditAdd).empty());
}

TEST_F(AddMountPath, TextsThatDoNotFitTheirRecordAreRefusedBeforeAnythingIsMade) {
  const Fields cases[] = {{{28, std::string(1024, 'u')}}, {{24, std::string(1024, 'f')}},
                          {{60, std::string(1024, 'n')}}};
  for (const Fields& extra : cases) {
    const Answer a = call(add(extra));
    EXPECT_FALSE(a.success);
    EXPECT_EQ(a.code, -1);
    EXPECT_NE(a.text.find("longer than 1023 bytes"), std::string::npos) << a.text;
  }
  EXPECT_TRUE(testkit::mmdb::calls("ZQMMDeviceInfo::addDevice").empty());
  EXPECT_EQ(count("MMMountPath"), 1);
  EXPECT_TRUE(call(add({{28, std::string(1023, 'u')}})).success);
}

TEST_F(AddMountPath, TheNextModelLoadSeesTheNewMountPathAndItsAgentGetsADrivePool) {
  addLibrary(7);
  ASSERT_TRUE(call(add({{1, 7}, {8, "lib7"}})).success);
  EXPECT_EQ(count("MMDrivePool", "ClientId = 2 AND MasterPoolId = (SELECT MasterPoolId FROM MMMountPath WHERE "
                                 "MountPathName = 'newmp')"),
            1);
  // Another vendor is refused now: the configuration read holds the new mount path.
  expectRefused(call(add({{1, 7}, {8, "lib7"}, {60, "other"}, {42, 5}})),
                "Provided Vendor of the MountPath does not match with the Vendor for the other MountPaths in the Library");
}

TEST_F(AddMountPath, WithoutADirectorySetTheAgentsRecordedInstallDirectoryGuardsTheFolder) {
  testkit::adapters::reset();
  ASSERT_EQ(m_db.exec("UPDATE APP_Client SET installDirectory = '/opt/tk' WHERE id = 2"), 0);
  expectRefused(call(add({{24, "/opt/tk/data"}})), catalogueText(0x2300093C));
  EXPECT_TRUE(call(add()).success);
}

}  // namespace
}  // namespace mountpathtest
