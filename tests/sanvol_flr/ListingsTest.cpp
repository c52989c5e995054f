// The consistency-point and snapshot listings, the alternate cache
// partition, consistency-point deletion and the replication sets of paths:
// exact replies, the rows they change, and each failure answer.
#include <gtest/gtest.h>

#include "platform/client/ClientProperties.h"
#include "tests/sanvol_flr/FlrFixture.h"

namespace flrtest {
namespace {

using Listings = FlrTest;

// The items of one consistency point in reply 11805.
std::vector<tkwire::Item> cpItems(int32_t cpId, uint32_t created, uint32_t set, bool isDefault, uint64_t job,
                                  bool f11825, bool f11819, bool f11820) {
  return {{11806, le32(static_cast<uint32_t>(cpId))},
          {11628, le32(created)},
          {8500, le32(set)},
          {8519, wordAndText(isDefault ? 1 : 0, "Default Flag")},
          {2180, le64(job)},
          {11825, le32(f11825)},
          {11819, le32(f11819)},
          {11820, le32(f11820)},
          {2052, le32(0)}};
}

void expectItems(const tkwire::Reply& reply, const std::vector<tkwire::Item>& expected) {
  ASSERT_EQ(reply.items.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(reply.items[i].tag, expected[i].tag);
    EXPECT_EQ(reply.items[i].bytes, expected[i].bytes);
  }
}

// ---------------------------------------------------------------- consistency points

TEST_F(Listings, ConsistencyPointsOfAClientsApplicationAreListedWithTheirDefaultFlag) {
  const unsigned long long set = seedSet(kClient, true);
  const int32_t first = seedCP(static_cast<int32_t>(set), 1700000000, 0x100000005ull);
  const int32_t second = seedCP(static_cast<int32_t>(set), 1700000100, 6, kClient, 84, false, true, false);
  seedCP(static_cast<int32_t>(set), 1, 1, kClient, 33);  // another application
  EXPECT_EQ(handler.onMsgFLRGetCPs(words(kClient, 0, 84).get()), 1);
  const auto got = replies();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].messageId, 11805u);
  EXPECT_EQ(got[0].sequence, kSequence);
  auto expected = cpItems(first, 1700000000, static_cast<uint32_t>(set), true, 0x100000005ull, true, true, false);
  const auto more = cpItems(second, 1700000100, static_cast<uint32_t>(set), true, 6, false, false, true);
  expected.insert(expected.end(), more.begin(), more.end());
  expectItems(got[0], expected);
  const auto asked = testkit::security::journal().calls("canBrowse");
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].args, (std::vector<std::string>{"3", "2", "7", "84", "0", "0", "0", "false", ""}));
  EXPECT_TRUE(logged("EvSANVolMgr::onMsgFLRGetCPs", "Received App Type   = 84"));
}

TEST_F(Listings, ConsistencyPointsOfAnFLRSetAreListedAndAFailedDefaultCheckKeepsTheFlagBefore) {
  const unsigned long long notDefault = seedSet(kClient, false);
  const int32_t first = seedCP(static_cast<int32_t>(notDefault), 10, 1);
  // The second point names a set that is not there: its check fails.
  const int32_t second = seedCP(static_cast<int32_t>(notDefault), 20, 2);
  testkit::replicadb::exec("UPDATE \"FLRConsistencyPoint\" SET \"flrSetId\" = 999 WHERE \"cpId\" = ?", {second});
  EXPECT_EQ(handler.onMsgFLRGetCPs(words(kClient, static_cast<uint32_t>(notDefault), 84).get()), 1);
  // The listing by set asks for the given set only.
  auto got = replies();
  ASSERT_EQ(got.size(), 1u);
  expectItems(got[0], cpItems(first, 10, static_cast<uint32_t>(notDefault), false, 1, true, true, false));
  testkit::replicadb::exec("UPDATE \"FLRConsistencyPoint\" SET \"flrSetId\" = ?", {static_cast<long long>(notDefault)});
  testkit::replicadb::exec("UPDATE \"FLRConsistencyPoint\" SET \"flrSetId\" = 999 WHERE \"cpId\" = ?", {second});
  // By client: the first point's flag (false) goes on to the second.
  EXPECT_EQ(handler.onMsgFLRGetCPs(words(kClient, 0, 84).get()), 1);
  got = replies();
  ASSERT_EQ(got.size(), 1u);
  auto expected = cpItems(first, 10, static_cast<uint32_t>(notDefault), false, 1, true, true, false);
  const auto more = cpItems(second, 20, 999, false, 2, true, true, false);
  expected.insert(expected.end(), more.begin(), more.end());
  expectItems(got[0], expected);
  EXPECT_TRUE(log.contains("returned from isDefaultBackupSet."));
}

TEST_F(Listings, AFailedDefaultCheckOfTheFirstPointSendsTrue) {
  const unsigned long long notDefault = seedSet(kClient, false);
  const int32_t cp = seedCP(static_cast<int32_t>(notDefault), 10, 1);
  testkit::client::journal().injectFailure("isDefaultBackupSet", 9, "set unreadable");
  EXPECT_EQ(handler.onMsgFLRGetCPs(words(kClient, static_cast<uint32_t>(notDefault), 84).get()), 1);
  const auto got = replies();
  ASSERT_EQ(got.size(), 1u);
  expectItems(got[0], cpItems(cp, 10, static_cast<uint32_t>(notDefault), true, 1, true, true, false));
  EXPECT_TRUE(log.contains("Error [9] returned from isDefaultBackupSet."));
}

TEST_F(Listings, NoConsistencyPointsGiveAnEmptyListingByClientAndBySet) {
  for (uint32_t set : {0u, 44u}) {
    SCOPED_TRACE(set);
    EXPECT_EQ(handler.onMsgFLRGetCPs(words(kClient, set, 84).get()), 1);
    const auto got = replies();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].messageId, 11805u);
    EXPECT_TRUE(got[0].items.empty());
  }
}

TEST_F(Listings, ConsistencyPointListingFailuresAreAnsweredEachInItsOwnWay) {
  testkit::security::deny("canBrowse", 3, kClient, "You may not browse client7.");
  EXPECT_EQ(handler.onMsgFLRGetCPs(words(kClient, 0, 84).get()), 0);
  auto got = replies();
  ASSERT_EQ(got.size(), 1u);
  expectFailure(got[0], "You may not browse client7.");
  testkit::security::reset();

  testkit::replicadb::failNext("QueryCPsByClientIdAndAppType", -1, "replica database down");
  EXPECT_EQ(handler.onMsgFLRGetCPs(words(kClient, 0, 84).get()), 0);
  got = replies();
  ASSERT_EQ(got.size(), 1u);
  expectFailure(got[0], catalogueText(0x390000ed));
  EXPECT_TRUE(log.contains("replica database down"));

  testkit::replicadb::failNext("QueryFLRConsistencyPointsByFLRSetId", -1, "set lookup failed");
  EXPECT_EQ(handler.onMsgFLRGetCPs(words(kClient, 12, 84).get()), 0);
  got = replies();
  ASSERT_EQ(got.size(), 1u);
  expectFailure(got[0], "set lookup failed");
}

// ---------------------------------------------------------------- snapshots

TEST_F(Listings, SnapshotsCarryTheirPairsMountPointAndShareOrWhatStandsInForThem) {
  const int32_t cp = seedCP(5, 1, 1);
  const int32_t vss = seedSnapshot(cp, "{vss-1}", 2, "E:");
  const int32_t ontap = seedSnapshot(cp, "ontap-1", 4, "/vol/v1", "filer / vol1", "\\\\filer\\pub");
  const int32_t plain = seedSnapshot(cp, "plain-1", 1, "F:");
  testkit::replicadb::seed(FLRSnapPairRecord_t{-1, vss, 31});
  testkit::replicadb::seed(FLRSnapPairRecord_t{-1, vss, 32});
  seedMountPoint(vss, "X:\\old");
  const int32_t vssMount = seedMountPoint(vss, "X:\\flr");  // the later one wins
  const int32_t share = seedShare(vssMount, "flrshare");
  // A share of a mount point of another consistency point is filed under 0.
  const int32_t other = seedSnapshot(seedCP(5, 2, 2), "other", 2);
  seedShare(seedMountPoint(other, "Y:\\"), "elsewhere");

  EXPECT_EQ(handler.onMsgFLRGetSnaps(words(kClient, 0, static_cast<uint32_t>(cp)).get()), 1);
  const auto got = replies();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].messageId, 11809u);
  const std::vector<tkwire::Item> expected = {
      {11810, le32(vss)}, {11806, le32(cp)}, {2013, le32(31)}, {2013, le32(32)}, {11811, "{vss-1}"},
      {11821, "E:"}, {11812, wordAndText(vssMount, "X:\\flr")}, {11813, wordAndText(share, "flrshare")},
      {11833, le32(2)}, {2052, le32(0)},
      {11810, le32(ontap)}, {11806, le32(cp)}, {11811, "ontap-1"}, {11821, "/vol/v1"},
      {11812, wordAndText(0, "")}, {11813, wordAndText(0xFFFFFFFF, "\\\\filer\\pub")}, {11833, le32(4)},
      {2052, le32(0)},
      {11810, le32(plain)}, {11806, le32(cp)}, {11811, "plain-1"}, {11821, "F:"}, {11812, wordAndText(0, "")},
      {11813, wordAndText(0, "")}, {11833, le32(1)}, {2052, le32(0)}};
  expectItems(got[0], expected);
  EXPECT_TRUE(testkit::security::journal().calls("canBrowse").empty());
}

TEST_F(Listings, LongMountPathsAndShareNamesAreCutAt4099CharactersWhileTheRecordsKeepThemWhole) {
  const int32_t cp = seedCP(5, 1, 1);
  const int32_t snap = seedSnapshot(cp, std::string(5000, 'n'), 2);
  const std::string longPath(5000, 'p');
  const int32_t mp = seedMountPoint(snap, longPath);
  seedShare(mp, std::string(4200, 's'));
  EXPECT_EQ(handler.onMsgFLRGetSnaps(words(kClient, 0, static_cast<uint32_t>(cp)).get()), 1);
  const auto got = replies();
  ASSERT_EQ(got.size(), 1u);
  ASSERT_EQ(got[0].items.size(), 8u);
  EXPECT_EQ(got[0].items[2].bytes, std::string(4103, 'n'));
  EXPECT_EQ(got[0].items[4].bytes, wordAndText(mp, std::string(4099, 'p')));
  EXPECT_EQ(got[0].items[5].bytes.size(), 4u + 4099u);
  FLRSnapMountPointRecord_t stored;
  ASSERT_TRUE(testkit::replicadb::row(mp, stored));
  EXPECT_EQ(stored.mountPath, longPath);
}

TEST_F(Listings, AFailedSnapshotLookupIsAnsweredWithItsCatalogueText) {
  testkit::replicadb::failNext("QueryFLRSnapshotsByCPId", -1, "snapshots unreadable");
  EXPECT_EQ(handler.onMsgFLRGetSnaps(words(kClient, 0, 4).get()), 0);
  const auto got = replies();
  ASSERT_EQ(got.size(), 1u);
  expectFailure(got[0], catalogueText(0x390000ee));
}

// ---------------------------------------------------------------- alternate cache partition

TEST_F(Listings, TheAlternateCachePartitionComesWithThePoolsClient) {
  // A pool whose volume is seen by the client.
  AddRVScratchVolPoolV3Args_t pool;
  pool.pool.poolName = "p";
  AddRVScratchVolPoolV3Ret_t added;
  ReplicaDBClient replicaDB(1);
  ASSERT_TRUE(replicaDB.AddRVScratchVolPool(pool, added));
  AddSNRDeviceV5Args_t device;
  device.deviceName.hostId = kClient;
  device.deviceName.deviceName = "/dev/sdb";
  AddSNRDeviceV5Ret_t dev;
  ASSERT_TRUE(replicaDB.AddSNRDevice(device, dev)) << dev.errorText;
  AddRVScratchVolumeArgs_t scratch;
  scratch.poolId = added.poolId;
  scratch.volumeId = dev.volumeId;
  AddRVScratchVolumeRet_t s;
  ASSERT_TRUE(replicaDB.AddRVScratchVol(scratch, s));
  ClientProperties(kClient).setAltCachePartition("D:\\cache", nullptr);

  EXPECT_EQ(handler.onMsgGetAltCachePartitionByPoolId(words(static_cast<uint32_t>(added.poolId)).get()), 1);
  auto got = replies();
  ASSERT_EQ(got.size(), 1u);
  ASSERT_EQ(tagsOf(got[0]), (Tags{2051, 11823}));
  EXPECT_EQ(got[0].items[0].bytes, wordAndText(1, "Success"));
  EXPECT_EQ(got[0].items[1].bytes, wordAndText(kClient, "D:\\cache"));

  testkit::client::journal().injectFailure("getAltCachePartition", 17, "unreadable");
  EXPECT_EQ(handler.onMsgGetAltCachePartitionByPoolId(words(static_cast<uint32_t>(added.poolId)).get()), 0);
  got = replies();
  ASSERT_EQ(got.size(), 1u);
  expectFailure(got[0], catalogueText(0x390000e9));
  EXPECT_TRUE(log.contains("ClientProperties::getAltCachePartition() failed. Err Code = [17]"));
}

TEST_F(Listings, APoolWithoutAClientAnswersClientZeroAndAnotherLookupErrorIsAFailure) {
  testkit::replicadb::failNext("GetClientIdByPoolId", -19, "no client");
  EXPECT_EQ(handler.onMsgGetAltCachePartitionByPoolId(words(5).get()), 1);
  auto got = replies();
  ASSERT_EQ(got.size(), 1u);
  ASSERT_EQ(tagsOf(got[0]), (Tags{2051, 11823}));
  EXPECT_EQ(got[0].items[1].bytes, le32(0));
  EXPECT_TRUE(testkit::client::journal().calls("getAltCachePartition").empty());

  testkit::replicadb::failNext("GetClientIdByPoolId", -1, "pool table gone");
  EXPECT_EQ(handler.onMsgGetAltCachePartitionByPoolId(words(5).get()), 0);
  got = replies();
  ASSERT_EQ(got.size(), 1u);
  expectFailure(got[0], catalogueText(0x390000e8));
}

// ---------------------------------------------------------------- consistency-point deletion

TEST_F(Listings, TwoDeletionRecordsGetTwoAnswersAndRemoveTheirPointsWithTheirSnapshots) {
  const int32_t a = seedCP(5, 1, 1);
  const int32_t b = seedCP(5, 2, 2);
  const int32_t keep = seedCP(5, 3, 3);
  seedMountPoint(seedSnapshot(a, "s", 2), "M:");
  EXPECT_EQ(handler.onMsgManageFLRCP(stream(StreamBuilder()
                                                .u32(4106, 2)
                                                .op(2)
                                                .u32(11806, static_cast<uint32_t>(a))
                                                .end()
                                                .u32(11806, static_cast<uint32_t>(b))
                                                .end())
                                         .get()),
            1);
  const auto got = replies();
  ASSERT_EQ(got.size(), 2u);
  expectOperation(got[0], 2, 1, "Success");
  expectOperation(got[1], 2, 1, "Success");
  const auto rows = testkit::replicadb::rows<FLRConsistencyPointRecord_t>();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].cpId, keep);
  EXPECT_TRUE(testkit::replicadb::rows<FLRSnapshotRecord_t>().empty());
  EXPECT_TRUE(testkit::replicadb::rows<FLRSnapMountPointRecord_t>().empty());
}

TEST_F(Listings, DeletionChecksComeInTheirOrder) {
  const struct {
    const char* name;
    StreamBuilder request;
    std::function<void(const tkwire::Reply&)> expect;
  } cases[] = {
      {"no operation", StreamBuilder().u32(4106, 2).u32(11806, 9).end(),
       [](const tkwire::Reply& r) { expectOperation(r, 0, 0, catalogueText(0x39000089)); }},
      {"operation 1", StreamBuilder().op(1).end(),
       [](const tkwire::Reply& r) { expectFailure(r, catalogueText(0x23000318, 1ul)); }},
      {"no Tarnfold id", StreamBuilder().op(2).u32(11806, 9).end(),
       [](const tkwire::Reply& r) { expectOperation(r, 2, 0, catalogueText(0x39000089)); }},
      {"consistency point 0", StreamBuilder().u32(4106, 2).op(2).u32(11806, 0).end(),
       [](const tkwire::Reply& r) { expectOperation(r, 2, 0, catalogueText(0x39000089)); }},
      {"an unknown point", StreamBuilder().u32(4106, 2).op(2).u32(11806, 9).end(),
       [](const tkwire::Reply& r) { expectFailure(r, catalogueText(0x39000088)); }},
      {"an unknown element", StreamBuilder().u32(4106, 2).u32(11999, 1).end(),
       [](const tkwire::Reply& r) { expectFailure(r, catalogueText(0x23000332, 11999u, "unknown")); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(handler.onMsgManageFLRCP(stream(c.request).get()), 0);
    const auto got = replies();
    ASSERT_EQ(got.size(), 1u);
    c.expect(got[0]);
  }
  EXPECT_EQ(handler.onMsgManageFLRCP(nullptr), 0);
}

// ---------------------------------------------------------------- replication sets of paths

TEST_F(Listings, PathsAreLookedUpInTheirSetAndUnknownElementsAreOnlyLogged) {
  testkit::replicadb::seedRepSetVolume(RepSetVolume_t{"C:\\data", "second", "client9", 4, 9}, 30);
  testkit::replicadb::seedRepSetVolume(RepSetVolume_t{"D:\\logs", "", "client9", 5, 9}, 30);
  testkit::replicadb::seedRepSetVolume(RepSetVolume_t{"C:\\data", "x", "clientX", 6, 10}, 31);
  EXPECT_EQ(handler.onMsgFindPathRepSet(stream(StreamBuilder()
                                                   .u32(4106, 2)
                                                   .u32(11808, 30)
                                                   .u32(11999, 5)
                                                   .text(11821, "C:\\data")
                                                   .text(11821, "D:\\logs")
                                                   .end())
                                            .get()),
            1);
  const auto got = replies();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].messageId, 11826u);
  expectItems(got[0], {{11795, wordAndText(9, "client9")}, {4008, "second"}, {4007, le32(4)}, {11821, "C:\\data"},
                       {2052, le32(0)}, {11795, wordAndText(9, "client9")}, {4008, ""}, {4007, le32(5)},
                       {11821, "D:\\logs"}, {2052, le32(0)}});
  EXPECT_TRUE(logged("EvSANVolMgr::onMsgFindVolumeRepSet", "Has received an unprocessed element type [11999-unknown]"));
  const auto calls = testkit::replicadb::calls("FindRepSetByVolume");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].args, (std::vector<std::string>{"1", "30", "2"}));
}

TEST_F(Listings, EachPathLookupRecordEndsItsReplyBeforeTheNextAndThePathsGrow) {
  testkit::replicadb::seedRepSetVolume(RepSetVolume_t{"A:", "", "c", 1, 1}, 30);
  testkit::replicadb::seedRepSetVolume(RepSetVolume_t{"B:", "", "c", 2, 1}, 30);
  EXPECT_EQ(handler.onMsgFindPathRepSet(
                stream(StreamBuilder().u32(4106, 2).u32(11808, 30).text(11821, "A:").end().text(11821, "B:").end())
                    .get()),
            1);
  const auto got = replies();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].items.size(), 5u);
  EXPECT_EQ(got[1].items.size(), 10u) << "the second record looks up both paths";
  // A stream without 2052 begins and ends nothing.
  EXPECT_EQ(handler.onMsgFindPathRepSet(stream(StreamBuilder().u32(4106, 2).u32(11808, 30)).get()), 1);
  EXPECT_TRUE(replies().empty());
}

TEST_F(Listings, PathLookupRefusalsAndFailures) {
  const struct {
    const char* name;
    StreamBuilder request;
    std::string text;
  } cases[] = {
      {"no set id", StreamBuilder().u32(4106, 2).text(11821, "A:").end(), catalogueText(0x39000089)},
      {"set id 0", StreamBuilder().u32(4106, 2).u32(11808, 0).text(11821, "A:").end(), catalogueText(0x39000089)},
      {"no path", StreamBuilder().u32(4106, 2).u32(11808, 30).end(), catalogueText(0x39000089)},
      {"no Tarnfold id", StreamBuilder().u32(11808, 30).text(11821, "A:").end(), catalogueText(0x39000089)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(handler.onMsgFindPathRepSet(stream(c.request).get()), 0);
    const auto got = replies();
    ASSERT_EQ(got.size(), 1u);
    expectFailure(got[0], c.text);
  }
  testkit::replicadb::failNext("FindRepSetByVolume", -1, "sets unreadable");
  EXPECT_EQ(handler.onMsgFindPathRepSet(stream(StreamBuilder().u32(4106, 2).u32(11808, 30).text(11821, "A:").end()).get()),
            0);
  const auto got = replies();
  ASSERT_EQ(got.size(), 1u);
  expectFailure(got[0], catalogueText(0x390000e7));
}

}  // namespace
}  // namespace flrtest
