// What the device-path code relies on of the platform: a catalogue text for
// every id it uses, and the message classes of the device-path request
// registered with the numbers the code addresses them by, reading and
// writing a request whole.
#include <gtest/gtest.h>

#include <string>

#include "platform/catalogue/Catalogue.h"
#include "platform/testkit/xml.h"
#include "tests/ezconfig_devicepath/DevicePathFixture.h"

namespace {

TEST(DevicePathPlatform, EveryCatalogueIdHasAText) {
  const unsigned kIds[] = {0x24000343, 0x24000344, 0x24000345, 0x23000C66, 0x23000C67, 0x23000C68, 0x230006AE,
                           0x230001E3, 0x5400020E, 0x5400020D, 0x540000B9, 0x550000BF, 0x550000C4, 0x550000C3,
                           0x550006DB, 0x55000538, 0x55000330, 0x550004AB, 0x550004A4, 0x550004A3, 0x55000472,
                           0x550006A3};
  for (unsigned id : kIds) {
    SCOPED_TRACE(id);
    EXPECT_TRUE(tkcatalogue::has(id));
  }
  EXPECT_EQ("Device [d], media agent [m], path [p]", tkcatalogue::render(0x55000538, 0, {"d", "m", "p"}));
}

TEST(DevicePathPlatform, TheMessageClassesAreRegisteredUnderTheirNumbers) {
  const struct {
    unsigned ns, cls, hash;
    const char* name;
  } kClasses[] = {{13, 812, 0x0D9DA735, "EVGui::MMDevicePathInfoReq"}, {13, 111, 0x0DF8ECA9, "EVGui::MMDevicePathInfo"},
                  {13, 187, 0x0D000003, "EVGui::IdName"},               {13, 673, 0x0D174019, "EVGui::MMDevicePathInfoResp"},
                  {13, 171, 0x0D000002, "EVGui::ErrorInfo"},            {18, 149, 0x12BB1F3A, "ZqEntities::CredentialEntity"}};
  for (const auto& c : kClasses) {
    SCOPED_TRACE(c.name);
    const tkxml::ClassInfoPtr info = tkxml::findClass(c.ns, c.cls);
    ASSERT_NE(nullptr, info);
    EXPECT_EQ(c.hash, info->classHash);
    EXPECT_EQ(c.name, info->name);
  }
  EXPECT_TRUE(tkxml::registryProblems().empty());
}

TEST(DevicePathPlatform, ARequestWithItsPathsAndPasswordsReadsBackWhole) {
  using Req = EVGui::MMDevicePathInfoReq;
  using Info = EVGui::MMDevicePathInfo;
  const long long mismatchesBefore = testkit::xml::mismatchCount();
  Req request;
  ASSERT_EQ(0, request.setint64(Req::kMountPathId.ordinal, Req::kMountPathId.tag, 100, Req::kClassHash,
                                Req::kMountPathId.hash));
  tkxml::MessageList& list =
      request.getlistobject(Req::kInfoList.ordinal, Req::kInfoList.tag, Req::kClassHash, Req::kInfoList.hash);
  Info path = dptest::devicePath({.controllerId = 5, .clientId = 12, .folder = "/f & <g>", .access = 20,
                                  .operation = 2, .drives = 3, .credentialId = 4, .credentialName = "c4"});
  ASSERT_EQ(0, path.setpstringobject(Info::kPassword.ordinal, Info::kPassword.tag, "secret", tkxml::kCipherText,
                                     Info::kClassHash, Info::kPassword.hash));
  list.push_back(path);
  std::string xml;
  ASSERT_EQ(0, request.serialize(xml));
  EXPECT_EQ(std::string::npos, xml.find("secret"));

  Req read;
  ASSERT_EQ(0, read.unserialize(xml));
  EXPECT_TRUE(read == request);
  EXPECT_EQ(100, read.getint64(Req::kMountPathId.tag, Req::kClassHash, Req::kMountPathId.hash));
  const tkxml::MessageList& readList =
      read.getlistobject(Req::kInfoList.ordinal, Req::kInfoList.tag, Req::kClassHash, Req::kInfoList.hash);
  ASSERT_EQ(1u, readList.size());
  EXPECT_EQ("/f & <g>", readList[0].getstring(Info::kFolder.ordinal, Info::kFolder.tag, Info::kClassHash,
                                              Info::kFolder.hash));
  std::string plain;
  EXPECT_TRUE(readList[0]
                  .getpstringobjectByRef(Info::kPassword.ordinal, Info::kPassword.tag, Info::kClassHash,
                                         Info::kPassword.hash)
                  .getPlainPassword(plain));
  EXPECT_EQ("secret", plain);
  EXPECT_EQ(mismatchesBefore, testkit::xml::mismatchCount());
}

}  // namespace
