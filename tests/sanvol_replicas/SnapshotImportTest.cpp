// Snapshot import on a client (the tool scripted in the loopback remote
// execution service), the source volumes of a snapshot, the clients with
// given packages installed, and whether a subclient has a schedule.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/testkit/db.h"
#include "platform/testkit/events.h"
#include "platform/testkit/network.h"
#include "tests/sanvol_replicas/ReplicaFixture.h"

namespace replicastest {
namespace {

using tktest::StreamBuilder;
using Events = std::vector<std::pair<std::string, int>>;

const std::string kImportTag = "EvSANVolMgr::onMsgImportSnapshotCommand";
const std::string kTool = "ZQSnaptool.exe";
const std::string kImportFailed = "Import operation failed. Check Log file ZQSnapTool.log";

class SnapshotRequests : public ReplicaTest {
 protected:
  SnapshotRequests() {
    testkit::events::reset();
    testkit::network::reset();
  }
  ~SnapshotRequests() override {
    testkit::events::reset();
    testkit::network::reset();
  }
  void SetUp() override {
    testkit::client::addClient({7, "client1", "client1.net", 16, ""});
    testkit::network::addHost("client1.net");
    testkit::network::scriptTool("client1.net", kTool, {});
    testkit::client::setPlatformInfo({1, "tkserver", "tkserver.net", "machine"});
  }
  // An import record with every required element but `leaveOut`.
  static StreamBuilder importRecord(StreamBuilder b, uint32_t leaveOut = 0) {
    if (leaveOut != 11756) b.text(11756, "D:=E:");
    if (leaveOut != 11771) b.pair(11771, 7, "client1", true);
    if (leaveOut != 11772) b.pair(11772, 9, "source1", true);
    return b.u32(4106, 2).end();
  }
  std::vector<tkjournal::Call> runs() const { return testkit::network::journal().calls("ExecRemoteCmdAndWait"); }
  std::string arguments(size_t k) const {
    const auto r = runs();
    return k < r.size() ? r[k].args.at(2) : std::string("(no run)");
  }
  Events events() const {
    Events out;
    for (const auto& e : testkit::events::entries()) out.emplace_back(e.kind + " " + e.arguments.at(0), e.messageId);
    return out;
  }
  void expectStatus(uint32_t status, const std::string& text) {
    const auto replies = client.replies();
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(itemsOf(replies[0]), (Items{{2051, wordAndText(status, text)}}));
  }
};

// ---------------------------------------------------------------- import

TEST_F(SnapshotRequests, AnImportRunsTheToolOnTheClientWithItsArgumentLine) {
  const struct {
    StreamBuilder flags;
    std::string line;
  } cases[] = {
      {StreamBuilder().u64(2180, 0x100000005ull).u32(11755, 1).u32(11831, 3),
       "-j 4294967301 -s D:=E: -o import -cro -clearROflags -client 7 -cn client1"},
      {StreamBuilder().u32(11755, 0), "-j 0 -s D:=E: -o import     -client 7 -cn client1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    testkit::network::journal().reset();
    testkit::events::reset();
    EXPECT_EQ(mgr.onMsgImportSnapshotCommand(stream(importRecord(c.flags)).get()), 1);
    expectStatus(1, "Success");
    ASSERT_EQ(runs().size(), 1u);
    EXPECT_EQ(runs()[0].args, (std::vector<std::string>{"client1.net", kTool, c.line, "tkserver", "120"}));
    EXPECT_EQ(events(), (Events{{"Info source1", 0x39000063}}));
  }
  EXPECT_TRUE(logged(kImportTag, 7, "HostName received, client1, id = 7"));
  EXPECT_TRUE(logged(kImportTag, 7, "Received, Job ID = 4294967301."));
}

TEST_F(SnapshotRequests, ALongMapReachesTheToolWholeAndAFullValueKeeps4103Characters) {
  const std::string longMap(3000, 'm');
  auto b = StreamBuilder().u32(4106, 2).pair(11771, 7, "client1", true).pair(11772, 9, "s", true);
  b.text(11756, longMap).end().text(11756, std::string(4104, 'x')).end();
  EXPECT_EQ(mgr.onMsgImportSnapshotCommand(stream(b).get()), 1);
  EXPECT_EQ(arguments(0), "-j 0 -s " + longMap + " -o import     -client 7 -cn client1");
  EXPECT_EQ(arguments(1), "-j 0 -s " + std::string(4103, 'x') + " -o import     -client 7 -cn client1");
  EXPECT_TRUE(logged(kImportTag, 7, "Received,  Src/Dest Map"));
  EXPECT_TRUE(logged(kImportTag, 7, "Overflow detected in  Src/Dest Map"));
}

TEST_F(SnapshotRequests, AnImportWithoutClientSourceOrMapIsRefusedAndNamesTheSourceInAMajorEvent) {
  const struct {
    uint32_t leaveOut;
    const char* source;
  } cases[] = {{11771, "source1"}, {11772, "Unknown Host"}, {11756, "source1"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.leaveOut);
    testkit::events::reset();
    EXPECT_EQ(mgr.onMsgImportSnapshotCommand(stream(importRecord(StreamBuilder(), c.leaveOut)).get()), 0);
    expectStatus(0, "All information required to process this request was not received");
    EXPECT_EQ(events(), (Events{{std::string("Major ") + c.source, 0x39000062}}));
    EXPECT_TRUE(runs().empty());
  }
}

TEST_F(SnapshotRequests, AFailedRunOrAToolErrorIsAnsweredPlainlyAndLogged) {
  testkit::network::ToolScript failing;
  failing.runCode = 0x37000199;
  failing.runText = "no route %s";
  testkit::network::ToolScript erring;
  erring.exitCode = 5;
  const struct {
    testkit::network::ToolScript script;
    const char* logLine;
  } cases[] = {{failing, "CZqNetwork::attach() to [client1] returned error [no route %s]"},
               {erring, "ZQSnapTool failed to import the Vss shadow. Error Code [5]"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.logLine);
    testkit::events::reset();
    testkit::network::scriptTool("client1.net", kTool, c.script);
    EXPECT_EQ(mgr.onMsgImportSnapshotCommand(stream(importRecord(StreamBuilder()).u32(2052, 0)).get()), 0);
    expectStatus(0, kImportFailed);
    EXPECT_EQ(events(), (Events{{"Major source1", 0x39000062}}));
    EXPECT_TRUE(logged(kImportTag, -1, c.logLine));
  }
}

TEST_F(SnapshotRequests, AnUnknownElementIsLoggedAndASecondRecordRunsAgainWithTheKeptValues) {
  EXPECT_EQ(mgr.onMsgImportSnapshotCommand(stream(importRecord(StreamBuilder()).u32(9999, 1).u64(2180, 12).end()).get()),
            1);
  EXPECT_EQ(client.replies().size(), 2u);
  EXPECT_EQ(arguments(1), "-j 12 -s D:=E: -o import     -client 7 -cn client1");
  EXPECT_TRUE(log.contains(kImportTag, "Has received an unprocessed element type [9999-"));
}

TEST_F(SnapshotRequests, TheLocalNameIsTheServersClientNameOrTheMachineCutAt255) {
  for (unsigned long type : {1ul, 2ul}) {
    SCOPED_TRACE(type);
    testkit::network::journal().reset();
    testkit::client::setPlatformInfo({type, "tkserver", "tkserver.net", std::string(300, 'p')});
    EXPECT_EQ(mgr.onMsgImportSnapshotCommand(stream(importRecord(StreamBuilder())).get()), 1);
    ASSERT_EQ(runs().size(), 1u);
    EXPECT_EQ(runs()[0].args.at(3), type == 1 ? std::string("tkserver") : std::string(255, 'p'));
    client.replies();
  }
}

// ---------------------------------------------------------------- source volumes

TEST_F(SnapshotRequests, TheSnapshotIdAfterItsLastColonSelectsTheSourceVolumesInServiceOrder) {
  for (const auto& [primary, unique] : std::vector<std::pair<int32_t, std::string>>{{11, "u1"}, {12, ""}, {13, "u1"}}) {
    ReplicationVolumeV5Record_t r;
    r.primaryVolumeId = primary;
    r.physicalVolumeId = primary + 10;
    r.replicaText2 = unique;
    testkit::replicadb::seed(r);
  }
  const struct {
    const char* text;
    unsigned long failure;  // 0: listed
    size_t queries;
    Items listed;
  } cases[] = {
      {"", 0x390000ea, 0, {}},
      {"no colon", 0x390000ea, 0, {}},
      {"a:b:u1", 0, 1, {{11632, u32(11)}, {11618, u32(21)}, {2052, u32(0)}, {11632, u32(13)}, {11618, u32(23)},
                        {2052, u32(0)}}},
      {"host:", 0, 1, {{11632, u32(12)}, {11618, u32(22)}, {2052, u32(0)}}},  // the empty unique id
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    testkit::replicadb::reset();
    EXPECT_EQ(mgr.onMsgGetSrcVolumesBySnapId(stream(StreamBuilder().firstWord(2).payloadText(4, c.text)).get()),
              c.failure == 0 ? 1 : 0);
    const auto replies = client.replies();
    ASSERT_EQ(replies.size(), c.failure != 0 ? 2u : 1u);
    EXPECT_EQ(replies.back().messageId, 11753u);
    EXPECT_EQ(itemsOf(replies.back()), c.listed);
    if (c.failure != 0) expectFailure(replies[0], 0x22, catalogueText(c.failure));
    EXPECT_EQ(testkit::replicadb::calls("QueryReplicationVolumeByUniqueSnapId").size(), c.queries);
  }
}

TEST_F(SnapshotRequests, ASnapshotIdFillingTheBodyIsReadToItsEndOnlyAndAServiceFailureIsAnswered) {
  auto msg = stream(StreamBuilder());
  std::memset(msg->payload() + 4, 'x', MessageInfo::kPayloadSize - 4);
  EXPECT_EQ(mgr.onMsgGetSrcVolumesBySnapId(msg.get()), 0);
  expectFailure(client.replies().at(0), 0x22, catalogueText(0x390000ea));

  testkit::replicadb::failNext("QueryReplicationVolumeByUniqueSnapId", -1, "down");
  EXPECT_EQ(mgr.onMsgGetSrcVolumesBySnapId(stream(StreamBuilder().payloadText(4, "a:u1")).get()), 0);
  expectFailure(client.replies().at(0), 0x22, catalogueText(0x390000eb));
  EXPECT_TRUE(logged("EvSANVolMgr::lookupSrcVolumesBySnapId", -1, "down"));
}

// ---------------------------------------------------------------- package hosts

class PackageHosts : public ReplicaTest {
 protected:
  void SetUp() override {
    for (unsigned long id : {4ul, 2ul, 3ul, 1ul}) testkit::client::addClient({id, "c" + std::to_string(id), "", 0, ""});
    const std::pair<unsigned long, int> packages[] = {{1, 10}, {2, 10}, {3, 10}, {2, 20}, {3, 20}, {4, 20}, {4, 30}};
    for (const auto& [client, type] : packages) testkit::client::installPackage(client, type);
    testkit::client::reset();
  }
  static Items hosts(std::initializer_list<int32_t> ids) {
    Items out;
    for (int32_t id : ids) out.push_back({11795, idText(id, "c" + std::to_string(id))});
    out.push_back({2052, u32(0)});
    return out;
  }
  std::unique_ptr<MessageInfo> ask(const std::vector<uint32_t>& types) {
    StreamBuilder b;
    b.u32(4106, 2);
    for (uint32_t t : types) b.u32(11793, t);
    return stream(b.end());
  }
};

TEST_F(PackageHosts, OnlyClientsWithEveryPackageAreListedInAscendingOrder) {
  const struct {
    std::vector<uint32_t> types;
    Items listed;
  } cases[] = {
      {{10}, hosts({1, 2, 3})},
      {{20, 10}, hosts({2, 3})},
      {{10, 30, 20}, hosts({})},  // nothing in common stays nothing
      {{99}, hosts({})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.types.size());
    EXPECT_EQ(mgr.onMsgGetHostsInstalledPackage(ask(c.types).get()), 1);
    const auto replies = client.replies();
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].messageId, 11794u);
    EXPECT_EQ(itemsOf(replies[0]), c.listed);
  }
  // A later record collects the types anew from the ones kept so far.
  auto msg = stream(StreamBuilder().u32(4106, 2).u32(11793, 10).u32(11793, 30).end().u32(11793, 20).end());
  EXPECT_EQ(mgr.onMsgGetHostsInstalledPackage(msg.get()), 1);
  const auto replies = client.replies();
  ASSERT_EQ(replies.size(), 2u);
  EXPECT_EQ(itemsOf(replies[1]), hosts({}));
}

TEST_F(PackageHosts, AMissingElementOrAFailedListIsAnsweredWithItsText) {
  const struct {
    StreamBuilder stream;
    bool failList;
    unsigned long text;
  } cases[] = {
      {StreamBuilder().u32(11793, 10).end(), false, 0x39000089},
      {StreamBuilder().u32(4106, 2).end(), false, 0x39000089},
      {StreamBuilder().u32(4106, 2).u32(11793, 10).u32(11793, 20).end(), true, 0x390000ec},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    if (c.failList) testkit::client::journal().injectFailure("getClientListByAppType", 17, "gone", 1);
    EXPECT_EQ(mgr.onMsgGetHostsInstalledPackage(stream(c.stream).get()), 0);
    const auto replies = client.replies();
    ASSERT_EQ(replies.size(), 1u);
    expectFailure(replies[0], 0x22, catalogueText(c.text));
  }
  EXPECT_TRUE(logged("EvSANVolMgr::onMsgGetHostsInstalledPackage", 0,
                     "Could not get list of clients using app type id 10. [17]"));
}

// ---------------------------------------------------------------- subclient schedules

TEST_F(SnapshotRequests, ASubclientIsCoveredByAnyTaskButTaskOne) {
  ASSERT_EQ(0, db.exec("INSERT INTO TM_AssocEntity (assocType, taskId, subclientId) VALUES "
                       "(1, 5, 10), (1, 1, 11), (1, 1, 12), (1, 7, 12)"));
  const struct {
    int32_t subclient;
    int injected;  // 0: none
    uint32_t covered;
  } cases[] = {{10, 0, 1}, {11, 0, 0}, {12, 0, 1}, {13, 0, 0}, {11, 1004, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.subclient);
    if (c.injected != 0) testkit::db::journal().injectFailure("getOneRow", c.injected, "warning");
    EXPECT_EQ(mgr.onMsgQRSubclientHasSchedule(stream(StreamBuilder().u32(4106, 2).i32(4009, c.subclient).end()).get()),
              1);
    const auto replies = client.replies();
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].messageId, 1024u);
    EXPECT_EQ(itemsOf(replies[0]), (Items{{2051, wordAndText(1, "Success")}, {4300, u32(c.covered)}}));
  }
  EXPECT_EQ(IsQRSubClientCoveredBySchedule(10, nullptr), 1);
}

TEST_F(SnapshotRequests, AScheduleReadErrorMissingSubclientOrUnknownElementEndsTheRequest) {
  testkit::db::journal().injectFailure("getOneRow", 204, "locked");
  bool covered = true;
  EXPECT_EQ(IsQRSubClientCoveredBySchedule(10, &covered), 0);
  EXPECT_FALSE(covered);
  EXPECT_TRUE(log.contains("IsQRSubClientCoverdBySchedule", "error reading TM_AssocEntity table, error["));

  testkit::db::journal().injectFailure("getOneRow", 204, "locked");
  EXPECT_EQ(mgr.onMsgQRSubclientHasSchedule(stream(StreamBuilder().u32(4009, 10).end()).get()), 0);
  expectFailure(client.replies().at(0), 0x22, catalogueText(0x39000091));
  EXPECT_EQ(mgr.onMsgQRSubclientHasSchedule(stream(StreamBuilder().u32(4106, 2).end()).get()), 0);
  expectFailure(client.replies().at(0), 0x22, catalogueText(0x39000089));
  EXPECT_EQ(mgr.onMsgQRSubclientHasSchedule(stream(StreamBuilder().u32(4009, 10).u32(4001, 1).end()).get()), 0);
  EXPECT_TRUE(client.replies().empty());
}

// ---------------------------------------------------------------- fault sweep

TEST_F(SnapshotRequests, EveryFailingPlatformCallEndsInAnAnswerAndChangesNothing) {
  testkit::client::installPackage(7, 10);
  ASSERT_EQ(0, db.exec("INSERT INTO TM_AssocEntity (assocType, taskId, subclientId) VALUES (1, 5, 10)"));
  ReplicationVolumeV5Record_t replica;
  replica.replicaText2 = "u1";
  testkit::replicadb::seed(replica);
  const struct {
    const char* name;
    std::function<void()> request;
    uint32_t listingId;
  } cases[] = {
      {"import", [this] { mgr.onMsgImportSnapshotCommand(stream(importRecord(StreamBuilder())).get()); }, 0},
      {"source volumes",
       [this] { mgr.onMsgGetSrcVolumesBySnapId(stream(StreamBuilder().payloadText(4, "a:u1")).get()); }, 11753},
      {"package hosts",
       [this] { mgr.onMsgGetHostsInstalledPackage(stream(StreamBuilder().u32(4106, 2).u32(11793, 10).end()).get()); },
       11794},
      // The schedule's answer ends with the covered flag, not with the status.
      {"schedule", [this] { mgr.onMsgQRSubclientHasSchedule(stream(StreamBuilder().u32(4009, 10).end()).get()); },
       1024},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const tktest::SweepReport report = sweep(c.request, c.listingId);
    EXPECT_TRUE(report.clean()) << report;
  }
}

}  // namespace
}  // namespace replicastest
