// Updating replication stores (operation 4): each mask bit, all in one
// transaction, the one store a request names, and the telling of the
// block-level replication pairs after the commit: grouped per head proxy,
// machine and group key, each head proxy and group on its own.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/db/DBtable.h"
#include "platform/testkit/blr.h"
#include "platform/testkit/debuglog.h"
#include "tests/ezconfig_rpstore/RPStoreSeed.h"

namespace rpstoretest {
namespace {

// Machines 1 and 2 differ only in their last byte.
const std::string kMachine1 = "00112233445566778899aabbccddee01";
const std::string kMachine2 = "00112233445566778899aabbccddee02";
const std::string kMachine3 = "ffeeddccbbaa99887766554433221100";

class RPStoreUpdate : public RPStoreTest {
 protected:
  void SetUp() override {
    RPStoreTest::SetUp();
    seedRPStoreLibrary(m_db);
    testkit::blr::reset();
  }
  void TearDown() override {
    testkit::blr::reset();
    RPStoreTest::TearDown();
  }
  // Operation 4 on "rplib8" named only, with new limits 11 and 22, a new
  // name and description, and the fixture's window.
  static Request update() {
    Request r;
    r.operation = 4;
    r.library = {{8, "rplib8"}, {37, "new words"}};
    r.store = {{6, 11}, {7, 22}};
    r.window = kWindow;
    return r;
  }
  Answer callWithMask(Request r, long long mask) {
    std::string xml = text(r);
    Req req;
    EXPECT_EQ(req.unserialize(xml), 0);
    req.setint64(Req::kUpdateMask.ordinal, Req::kUpdateMask.tag, mask, Req::kClassHash, Req::kUpdateMask.hash);
    xml.clear();
    EXPECT_EQ(req.serialize(xml), 0);
    return call(xml);
  }
  std::string stores() {
    std::string out;
    for (const auto& row : m_db.query("SELECT RPStoreId, Name, MinSpace, MaxSpace FROM MMRPStoreConfig ORDER BY 1"))
      out += std::to_string(row[0].i) + ":" + row[1].s + ":" + std::to_string(row[2].i) + ":" +
             std::to_string(row[3].i) + " ";
    return out;
  }
  std::string library() {
    return m_db.text("SELECT AliasName || '/' || IFNULL(Descript, '') FROM MMLibrary WHERE LibraryId = 8");
  }
  long long schedules() { return count("MMRPStoreProp", "PropName = 'OffPeak Schedule'"); }
  std::string schedule(int store) {
    return m_db.text("SELECT IFNULL(MAX(PropValue), '') FROM MMRPStoreProp WHERE RPStoreId = ? AND "
                     "PropName = 'OffPeak Schedule'",
                     {store});
  }
  static std::vector<std::string> applied() {
    std::vector<std::string> out;
    for (const auto& c : testkit::blr::journal().calls("applyRepCfg"))
      out.push_back(c.args[0] + " " + c.args[1].substr(30) + " " + c.args[2]);
    return out;
  }
};

TEST_F(RPStoreUpdate, EachMaskBitChangesItsPartAndQueuesTheStoresItTouches) {
  struct Case {
    long long mask;
    std::string stores;
    std::string library;
    long long schedules;
    size_t told;
    std::string schedule801;  // store 801's schedule after the update
  };
  const Case cases[] = {
      {0x01, "800:rplib8:10:20 801:rplib8:30:40 ", "rplib8/old words", 1, 2, ""},
      {0x02, "800:rplib8:10:20 801:rplib8:30:40 ", "rplib8/new words", 1, 0, ""},
      {0x04, "800:rplib8:11:20 801:rplib8:11:40 ", "rplib8/old words", 1, 2, ""},
      {0x08, "800:rplib8:10:22 801:rplib8:30:22 ", "rplib8/old words", 1, 2, ""},
      {0x10, "800:rplib8:10:20 801:rplib8:30:40 ", "rplib8/old words", 2, 2, kWindow},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mask);
    ASSERT_EQ(m_db.exec("UPDATE MMRPStoreConfig SET MinSpace = CASE RPStoreId WHEN 800 THEN 10 ELSE 30 END, "
                        "MaxSpace = CASE RPStoreId WHEN 800 THEN 20 ELSE 40 END"),
              0);
    ASSERT_EQ(m_db.exec("UPDATE MMLibrary SET Descript = 'old words' WHERE LibraryId = 8"), 0);
    ASSERT_EQ(m_db.exec("DELETE FROM MMRPStoreProp WHERE RPStoreId = 801"), 0);
    testkit::blr::reset();
    const Answer a = callWithMask(update(), c.mask);
    ASSERT_TRUE(a.success) << a.xml;
    EXPECT_EQ(stores(), c.stores);
    EXPECT_EQ(library(), c.library);
    EXPECT_EQ(schedules(), c.schedules);
    EXPECT_EQ(schedule(kStoreB), c.schedule801);
    EXPECT_EQ(testkit::blr::journal().count("getPairs"), c.told);
  }
}

TEST_F(RPStoreUpdate, ANewNameRenamesTheStoresAndTheLibrary) {
  Request r = update();
  r.library = {{1, kRpLib}, {8, "renamed"}};
  const Answer a = callWithMask(r, 0x01);
  ASSERT_TRUE(a.success) << a.xml;
  EXPECT_EQ(stores(), "800:renamed:10:20 801:renamed:30:40 ");
  EXPECT_EQ(library(), "renamed/old words");
}

TEST_F(RPStoreUpdate, ANamedStoreIsUpdatedAloneAndToldAlone) {
  Request r = update();
  r.store[1] = kStoreB;
  const Answer a = callWithMask(r, 0x04);
  ASSERT_TRUE(a.success) << a.xml;
  EXPECT_EQ(stores(), "800:rplib8:10:20 801:rplib8:11:40 ");
  const auto reads = testkit::blr::journal().calls("getPairs");
  ASSERT_EQ(reads.size(), 1u);
  EXPECT_EQ(reads[0].args[2], "801");
}

TEST_F(RPStoreUpdate, AFailedStepOrCommitKeepsAndTellsNothing) {
  struct Case {
    const char* name;
    void (*fail)();
    std::string text;
  };
  const std::string failed = catalogue(0x240001BE);
  const Case cases[] = {
      {"start", [] { testkit::db::journal().injectFailure("startTran", 290, "x"); }, "The transaction could not be started (x)"},
      {"store list", [] { testkit::mmdb::failNext("MMRPStoreConfigDB::getRPStoresForLibrary", 1, "x"); }, failed},
      {"store row", [] { testkit::mmdb::failNext("MMRPStoreConfigDB::updateRPStoreConfig", 1, "x"); }, failed},
      {"schedule", [] { testkit::mmdb::failNext("MMMiscDB::setRPStoreProp", 1, "x"); }, failed},
      {"name", [] { testkit::mmdb::failNext("MMLibraryDB::renameLibrary", 1, "x"); }, failed},
      {"description", [] { testkit::mmdb::failNext("MMLibraryDB::setDescription", 1, "x"); }, failed},
      {"commit", [] { testkit::db::journal().injectFailure("commitTran", 254, "x"); }, "The transaction could not be committed (x)"},
  };
  const std::string before = stores() + library() + std::to_string(schedules());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testkit::blr::reset();
    c.fail();
    expectRefused(callWithMask(update(), 0x1F), c.text);
    EXPECT_EQ(stores() + library() + std::to_string(schedules()), before);
    EXPECT_EQ(testkit::blr::journal().count("getPairs"), 0u);
  }
}

TEST_F(RPStoreUpdate, ALimitBeyondThirtyTwoBitsIsRefusedNotCut) {
  Request r = update();
  r.store[6] = 1LL << 32 | 11;
  expectRefused(callWithMask(r, 0x04), catalogue(0x240001BE));
  EXPECT_EQ(stores(), "800:rplib8:10:20 801:rplib8:30:40 ");
  // Not asked for, the limit is not looked at.
  ASSERT_TRUE(callWithMask(r, 0x08).success);
  EXPECT_EQ(stores(), "800:rplib8:10:22 801:rplib8:30:22 ");
}

// A new name goes into the store rows and the library's alias: one longer
// than the alias holds is refused naming the limit, never stored cut.
TEST_F(RPStoreUpdate, ANameLongerThanTheLibraryHoldsIsRefusedNotCut) {
  Request r = update();
  r.library = {{1, kRpLib}, {8, std::string(513, 'n')}};
  expectRefused(callWithMask(r, 0x01), "The library name is longer than 512 bytes.");
  EXPECT_EQ(stores(), "800:rplib8:10:20 801:rplib8:30:40 ");
  r.library = {{1, kRpLib}, {8, std::string(512, 'n')}};
  ASSERT_TRUE(callWithMask(r, 0x01).success);
  const std::string whole(512, 'n');
  EXPECT_EQ(stores(), "800:" + whole + ":10:20 801:" + whole + ":30:40 ");
  EXPECT_EQ(library(), whole + "/old words");
}

TEST_F(RPStoreUpdate, PairsAreToldPerHeadProxyMachineAndGroupKey) {
  addPair(m_db, 1, kStoreA, kMa3, kMachine1, 3);
  addPair(m_db, 2, kStoreA, kMa3, kMachine2, 1);
  addPair(m_db, 3, kStoreA, kMa3, kMachine1, 1);
  addPair(m_db, 4, kStoreA, kMa2, kMachine3, 5);
  addPair(m_db, 5, kStoreA, kMa3, kMachine1, 3);
  addPair(m_db, 6, kStoreB, kMa2, kMachine3, 5);
  Request r = update();
  r.store[1] = kStoreA;
  testkit::debuglog::Capture log;
  ASSERT_TRUE(callWithMask(r, 0x04).success);
  EXPECT_EQ(applied(), (std::vector<std::string>{"ma2.example.net 00 4", "ma3.example.net 01 3",
                                                 "ma3.example.net 01 1,5", "ma3.example.net 02 2"}));
  EXPECT_EQ(testkit::blr::journal().count("connect"), 2u);
  EXPECT_EQ(testkit::blr::journal().count("disconnect"), 2u);
  EXPECT_FALSE(log.contains("Error while trying to notify"));

  SCOPED_TRACE("one group refused, the others still told");
  testkit::blr::reset();
  log.clear();
  testkit::blr::failOnHost("applyRepCfg", "ma3.example.net");
  const Answer a = callWithMask(r, 0x04);
  ASSERT_TRUE(a.success) << a.xml;
  EXPECT_EQ(applied().size(), 4u);
  EXPECT_TRUE(
      log.contains("Not able to notify pair(s) of the changes in the RP store. Head Proxy Name: [ma3.example.net]"));
  EXPECT_TRUE(log.contains("Affected pairs: [3]"));
  EXPECT_TRUE(log.contains("Error while trying to notify the pairs of changes to RP store with id [800]"));

  SCOPED_TRACE("the first head proxy unreachable, the second still told");
  testkit::blr::reset();
  log.clear();
  testkit::blr::failOnHost("connect", "ma2.example.net");
  ASSERT_TRUE(callWithMask(r, 0x04).success);
  EXPECT_EQ(applied().size(), 3u);
  EXPECT_TRUE(log.contains("Can't connect to head client id [2]"));
  EXPECT_TRUE(log.contains("Error while trying to notify the pairs of changes to RP store with id [800]"));

  SCOPED_TRACE("a head proxy without a host name");
  testkit::blr::reset();
  log.clear();
  ASSERT_EQ(m_db.exec("DELETE FROM APP_Client WHERE id = 2"), 0);
  ASSERT_TRUE(callWithMask(r, 0x04).success);
  EXPECT_EQ(applied().size(), 3u);
  EXPECT_TRUE(log.contains("Can't update pairs on head client id [2]"));
}

TEST_F(RPStoreUpdate, AFailedPairReadOrNoPairsNeverChangeTheAnswer) {
  testkit::debuglog::Capture log;
  Request r = update();
  r.store[1] = kStoreA;
  testkit::blr::journal().injectFailure("getPairs", 5, "service down");
  ASSERT_TRUE(callWithMask(r, 0x08).success);
  EXPECT_TRUE(log.contains("Can't get the list of pairs associated with rp store id [800]. Info: ["));
  EXPECT_TRUE(log.contains("service down"));
  EXPECT_TRUE(log.contains("Error while trying to notify the pairs of changes to RP store with id [800]"));
  EXPECT_EQ(stores(), "800:rplib8:10:22 801:rplib8:30:40 ");

  log.clear();
  ASSERT_TRUE(callWithMask(r, 0x08).success);
  EXPECT_EQ(testkit::blr::journal().count("connect"), 0u);
  EXPECT_FALSE(log.contains("Error while trying to notify"));
}

}  // namespace
}  // namespace rpstoretest
