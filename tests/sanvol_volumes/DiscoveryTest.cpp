// Volume discovery on a SAN volume host (operations 47 and 58), read off
// the client's socket to the byte, with the client volume service, the NDMP
// host table and the NDMP filers behind.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "platform/mmdb/MMNDMPHostInfoDB.h"
#include "tests/sanvol_volumes/VolumesFixture.h"

namespace volumestest {
namespace {

constexpr const char* kTag = "EvSANVolMgr::onMsgSetSANVolumeHost";
constexpr const char* kCapacityTag = "EvSANVolMgr::GetNetVolumeCapacityFromNDMP";
const std::string kNoReplication[] = {le32(0), "", le32(0)};

ZQSVCClientVolumeInfo volume(const std::string& device, const std::string& id, int type, int64_t blocks,
                             std::vector<std::string> paths = {}) {
  ZQSVCClientVolumeInfo v;
  v.deviceName = device;
  v.idString = id;
  v.fsType = "NTFS";
  v.accessPath = "\\\\?\\Volume{1}";
  v.idType = 3;
  v.lun = 4;
  v.startLba = 63;
  v.blockCount = blocks;
  v.blockSize = 512;
  v.volumeType = type;
  v.devConfigStatus = 1;
  v.caseSensitive = true;
  for (const auto& p : paths) v.mountPoints.push_back({p, false});
  return v;
}

class Discovery : public VolumesTest {
 protected:
  Discovery() {
    addClient(7, "sanhost");
    testkit::clientvol::seedHost("sanhost", 7);
  }

  std::unique_ptr<MessageInfo> discover(uint32_t operation, const std::string& host = "sanhost") {
    return stream(tktest::StreamBuilder().pair(11602, 7, host, true).u32(4105, 9).u32(4106, 2).op(operation).end());
  }
  // An NDMP host entry of the client, written by the table access.
  void addNdmpHost(int clientId, int osType, const char* login, const char* password) {
    MMNDMPHostInfo_t row;
    row.clientId = clientId;
    row.osType = osType;
    std::strcpy(row.login, login);
    std::strcpy(row.password, password);
    int id = 0;
    ASSERT_EQ(MMNDMPHostInfoDB().addNDMPHostInfo(row, id), 0);
  }
  void addFiler(const std::string& host, std::vector<LncaMountPointInfo> mountPoints = {}) {
    testkit::ndmp::Filer filer;
    filer.login = "root";
    filer.encryptedPassword = "enc:pw";
    filer.osType = 2;
    filer.mountPoints = std::move(mountPoints);
    testkit::ndmp::seedFiler(host, filer);
  }
  tkwire::Reply onlyReply() {
    auto replies = client.replies();
    EXPECT_EQ(replies.size(), 1u);
    return replies.empty() ? tkwire::Reply{} : replies[0];
  }
};

TEST_F(Discovery, MountPathsLeaveOutVolumesWithoutMountPoints) {
  testkit::clientvol::seedVolume("sanhost", volume("E:", "id-e", 0, 1000, {"E:\\", "C:\\mnt\\e"}));
  testkit::clientvol::seedVolume("sanhost", volume("F:", "id-f", 0, 2000));
  EXPECT_EQ(handler.onMsgSetSANVolumeHost(discover(47).get()), 1);
  const auto reply = onlyReply();
  EXPECT_EQ(reply.messageId, 11604u);
  EXPECT_EQ(itemsOf(reply), (Items{{11614, le64(1000)}, {11619, le32(512)}, {11796, "E:\\"}, {11796, "C:\\mnt\\e"},
                                   {2052, le32(0)}}));
  // The short name, the filer client id and the request's locale.
  const auto asked = testkit::clientvol::journal().calls("getVolumeList");
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].args, (std::vector<std::string>{"sanhost", "sanhost", "9", "3"}));
}

TEST_F(Discovery, AVolumeGroupPlacesTheReplicationItemsByALeadingSlash) {
  testkit::clientvol::seedVolume("sanhost", volume("/dev/sdb", "id-b", 0, 100, {"/mnt/b"}));
  testkit::clientvol::seedVolume("sanhost", volume("E:", "id-e", 1, 200, {"E:\\", "X:\\"}));
  EXPECT_EQ(handler.onMsgSetSANVolumeHost(discover(58).get()), 1);
  const auto reply = onlyReply();
  EXPECT_EQ(reply.messageId, 11604u);
  const Items tail = {{11602, wordAndText(7, "sanhost")}, {11615, "id-b"}, {11675, "NTFS"},
                      {11773, "\\\\?\\Volume{1}"},       {11606, le32(3)},  {11607, le32(4)},
                      {11608, le64(63)},                  {11614, le64(100)}, {11619, le32(512)},
                      {11742, le32(0)},                   {11703, le32(1)},   {2052, le32(0)}};
  Items first = {{11633, hdr12(0xFFFFFFFF, 7, 1, "/dev/sdb")},
                 {11712, kNoReplication[0]},
                 {11724, kNoReplication[1]},
                 {11708, kNoReplication[2]},
                 {11653, hdr12(0xFFFFFFFF, 7, 0, "/mnt/b")}};
  first.insert(first.end(), tail.begin(), tail.end());
  const Items all = itemsOf(reply);
  ASSERT_GT(all.size(), first.size());
  EXPECT_EQ(Items(all.begin(), all.begin() + static_cast<long>(first.size())), first);
  EXPECT_EQ(tagsOf(reply), (Tags{11633, 11712, 11724, 11708, 11653, 11602, 11615, 11675, 11773, 11606, 11607,
                                 11608, 11614, 11619, 11742, 11703, 2052,
                                 11633, 11653, 11712, 11724, 11708, 11653, 11712, 11724, 11708, 11602, 11615,
                                 11675, 11773, 11606, 11607, 11608, 11614, 11619, 11742, 11703, 2052}));
}

TEST_F(Discovery, NasVolumesWithoutASizeAreSizedByTheirFilerOnceAFilerLogin) {
  testkit::client::addClient({42, "filer1", "filer1.example.com", 16, ""});
  addNdmpHost(42, 2, "root", "enc:pw");
  addFiler("filer1.example.com", {{"vol0", "/vol/a", "", 1048576}, {"vol1", "/vol/b", "", 8192}});
  const struct {
    const char* id;
    int type;
  } nasVolumes[] = {{"client42:/vol/a", 5}, {"client42:/VOL/B", 2}, {"client42:/vol/c", 3}, {"client42:/vol/d", 5}};
  for (const auto& v : nasVolumes) testkit::clientvol::seedVolume("sanhost", volume("N:", v.id, v.type, 0));
  EXPECT_EQ(handler.onMsgSetSANVolumeHost(discover(58).get()), 1);
  const auto reply = onlyReply();
  std::vector<std::string> sizes;
  for (const auto& item : reply.items)
    if (item.tag == 11614) sizes.push_back(item.bytes);
  // 1 MiB is 256 blocks; /VOL/B matches /vol/b ignoring case; a type 3
  // volume is not looked up; /vol/d is not on the filer and is left out.
  EXPECT_EQ(sizes, (std::vector<std::string>{le64(256), le64(2), le64(0)}));
  // /vol/b came from the cache; the miss on /vol/d emptied and refilled it.
  EXPECT_EQ(testkit::ndmp::loginCount("filer1.example.com"), 2);
  EXPECT_TRUE(logged(kTag, 6, "Volume client42:/vol/a capacity found thru NDMP"));
}

TEST_F(Discovery, UniqueIdsWithoutAClientNumberAreLeftOutWithTheirLog) {
  const struct {
    const char* id;
    const char* log;
  } cases[] = {
      {"client", "Could not find \":\" in the UniqueId argument [client]"},
      {"ab:/vol/a", "Cannot figure out client id from the unique id [ab:/vol/a]"},
      {"client:/vol/a", "Cannot figure out client id from the unique id [client:/vol/a]"},
      {"clientX:/vol/a", "Cannot figure out client id from the unique id [clientX:/vol/a]"},
      {"client0:/vol/a", "Cannot figure out client id from the unique id [client0:/vol/a]"},
      {"client99999999999:/vol/a", "Cannot figure out client id from the unique id [client99999999999:/vol/a]"},
      {"client42:/vol/a", "Volume's NDMP filer information could not be found [client42:/vol/a]"},
  };
  for (const auto& c : cases) testkit::clientvol::seedVolume("sanhost", volume("N:", c.id, 5, 0));
  EXPECT_EQ(handler.onMsgSetSANVolumeHost(discover(58).get()), 1);
  EXPECT_TRUE(onlyReply().items.empty());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    EXPECT_TRUE(logged(kCapacityTag, -1, c.log));
  }
  EXPECT_TRUE(testkit::ndmp::journal().calls("LoginToFiler").empty());
}

TEST_F(Discovery, AnApplianceMatchedIgnoringCaseIsReadOverNdmpAndGivesNoGroups) {
  addNdmpHost(7, 2, "root", "enc:pw");
  addFiler("sanhost.example.com");
  testkit::clientvol::seedHost("SANHOST.EXAMPLE.COM", 7);
  testkit::clientvol::seedVolume("SANHOST.EXAMPLE.COM", volume("E:", "id-e", 0, 1, {"E:\\"}));
  EXPECT_EQ(handler.onMsgSetSANVolumeHost(discover(58, "SANHOST.EXAMPLE.COM").get()), 1);
  const auto reply = onlyReply();
  EXPECT_EQ(reply.messageId, 11604u);
  EXPECT_TRUE(reply.items.empty());
  EXPECT_EQ(testkit::ndmp::loginCount("sanhost.example.com"), 1);
  EXPECT_EQ(testkit::ndmp::journal().count("LogOffFiler"), 1u);
  EXPECT_TRUE(testkit::clientvol::journal().calls("getVolumeList").empty());
}

TEST_F(Discovery, TheHostsFirstApplianceEntryIsTheOneLoggedInTo) {
  // An entry of another kind and one of another host come first; of the
  // host's two appliance entries the first holds the filer's password.
  addNdmpHost(7, 6, "other", "enc:other");
  testkit::client::addClient({8, "elsewhere", "elsewhere.example.com", 16, ""});
  addNdmpHost(8, 2, "root", "enc:elsewhere");
  addNdmpHost(7, 2, "root", "enc:pw");
  addNdmpHost(7, 2, "root", "enc:wrong");
  addFiler("sanhost.example.com");
  EXPECT_EQ(handler.onMsgSetSANVolumeHost(discover(58, "sanhost.example.com").get()), 1);
  const auto reply = onlyReply();
  EXPECT_EQ(reply.messageId, 11604u);
  EXPECT_TRUE(reply.items.empty());
  EXPECT_EQ(testkit::ndmp::loginCount("sanhost.example.com"), 1);
  EXPECT_EQ(testkit::ndmp::journal().calls("LoginToFiler").size(), 1u);
}

TEST_F(Discovery, EachFailureIsAnsweredWithItsTextAndArgument) {
  const struct {
    const char* name;
    std::function<void()> arrange;
    std::string host;
    unsigned long messageId;
    std::string argument;
    std::string explanation;
  } cases[] = {
      {"short name", [] { testkit::client::journal().injectFailure("getShortName", 5, "gone"); }, "sanhost",
       0x39000090, "sanhost", "Failed to get client name for client id [7]"},
      {"volume list", [] { testkit::clientvol::journal().injectFailure("getVolumeList", 0, "agent down"); },
       "sanhost", 0x39000090, "sanhost", "Volume detection failed for client [sanhost]"},
      {"host list", [] { testkit::mmdb::failNext("ZQMMNDMPHostInfo::getNDMPHostList", -1, "no table"); },
       "sanhost", 0x39000006, "", "Error detected trying to get list of NDMP hosts"},
      {"appliance login",
       [this] {
         addNdmpHost(7, 2, "root", "enc:wrong");
         addFiler("sanhost.example.com");
       },
       "SanHost.example.com", 0x1f000086, "sanhost.example.com",
       "Could not login to Snap Vault appliance SanHost.example.com"},
      {"appliance mount points",
       [this] {
         addNdmpHost(7, 2, "root", "enc:pw");
         addFiler("sanhost.example.com");
         testkit::ndmp::journal().injectFailure("configGetMountPointList", 0, "busy");
       },
       "SanHost.example.com", 0x39000093, "sanhost.example.com",
       "Could not get mount point information from Snap Vault appliance SanHost.example.com"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testkit::ndmp::reset();
    testkit::mmdb::reset();
    testkit::replicadb::exec("DELETE FROM \"MMNDMPHostInfo\"");
    c.arrange();
    EXPECT_EQ(handler.onMsgSetSANVolumeHost(discover(58, c.host).get()), 0);
    const auto reply = onlyReply();
    expectFailure(reply, c.argument.empty() ? tktest::catalogueText(c.messageId)
                                            : tktest::catalogueText(c.messageId, c.argument.c_str()));
    EXPECT_TRUE(logged(kTag, -1, c.explanation));
  }
}

TEST_F(Discovery, ARecordWithoutTheHostOrOperationIsRefusedBeforeAnyServiceCall) {
  handler.onMsgSetSANVolumeHost(stream(tktest::StreamBuilder().u32(4106, 2).op(58).end()).get());
  expectFailure(onlyReply(), tktest::catalogueText(0x39000089));
  handler.onMsgSetSANVolumeHost(stream(tktest::StreamBuilder().pair(11602, 7, "sanhost").end()).get());
  expectFailure(onlyReply(), tktest::catalogueText(0x23000318, 0ul));
  EXPECT_TRUE(testkit::clientvol::journal().calls().empty());
  EXPECT_TRUE(testkit::client::journal().calls().empty());
}

}  // namespace
}  // namespace volumestest
