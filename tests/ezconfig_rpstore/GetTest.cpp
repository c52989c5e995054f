// Reading replication stores (operation 8) and a policy's block-level
// replication copy (operation 16): the exact response, by store and by
// library, and each failure with its text.
#include <gtest/gtest.h>

#include <string>

#include "tests/ezconfig_rpstore/RPStoreSeed.h"

namespace rpstoretest {
namespace {

class RPStoreGet : public RPStoreTest {
 protected:
  void SetUp() override {
    RPStoreTest::SetUp();
    seedRPStoreLibrary(m_db);
  }
  static Request get(long long store, long long library, const char* name = nullptr) {
    Request r;
    r.operation = 8;
    if (store != 0) r.store = {{1, store}};
    r.library = {{1, library}};
    if (name != nullptr) r.library[8] = name;
    return r;
  }
  static std::string window() {
    EVGui::IntervalWindow w;
    EXPECT_EQ(w.unserialize(kStoredWindow), 0);
    std::string text;
    EXPECT_EQ(w.serialize(text), 0);
    return text;
  }
  // The response the stores and the library part make, written by the
  // message library itself.
  static std::string expected(long long store, long long minSpace, long long maxSpace, bool withWindow) {
    Resp r;
    CNMessageBase& s = r.getObjectAccessor(true, true, Resp::kStore.ordinal, Resp::kStore.tag, Resp::kClassHash,
                                           Resp::kStore.hash, Resp::kStore.ns, Resp::kStore.cls);
    s.setint64(Store::kRPStoreId.ordinal, Store::kRPStoreId.tag, store, Store::kClassHash, Store::kRPStoreId.hash);
    s.setint64(Store::kMinSpace.ordinal, Store::kMinSpace.tag, minSpace, Store::kClassHash, Store::kMinSpace.hash);
    s.setint64(Store::kMaxSpace.ordinal, Store::kMaxSpace.tag, maxSpace, Store::kClassHash, Store::kMaxSpace.hash);
    if (withWindow) {
      EVGui::IntervalWindow w;
      EXPECT_EQ(w.unserialize(kStoredWindow), 0);
      s.setObjectAccessor(w, Store::kOffPeakSchedule.ordinal, Store::kOffPeakSchedule.tag, Store::kClassHash,
                          Store::kOffPeakSchedule.hash);
    }
    CNMessageBase& l = r.getObjectAccessor(true, true, Resp::kLibrary.ordinal, Resp::kLibrary.tag, Resp::kClassHash,
                                           Resp::kLibrary.hash, Resp::kLibrary.ns, Resp::kLibrary.cls);
    l.setint64(Info::kLibraryId.ordinal, Info::kLibraryId.tag, kRpLib, Info::kClassHash, Info::kLibraryId.hash);
    l.setstring(Info::kLibraryName.ordinal, Info::kLibraryName.tag, "rplib8", Info::kClassHash,
                Info::kLibraryName.hash);
    l.setstring(Info::kDescription.ordinal, Info::kDescription.tag, "old words", Info::kClassHash,
                Info::kDescription.hash);
    std::string xml;
    EXPECT_EQ(r.serialize(xml, false), 0);
    return xml;
  }
};

TEST_F(RPStoreGet, AnswersTheStoresAndTheLibraryExactly) {
  struct Case {
    const char* name;
    Request request;
    std::string xml;
  };
  const Case cases[] = {
      {"by store, with a schedule", get(kStoreA, 0), expected(kStoreA, 10, 20, true)},
      {"by store, without one", get(kStoreB, 0), expected(kStoreB, 30, 40, false)},
      {"the store wins over the library", get(kStoreA, kDiskLib), expected(kStoreA, 10, 20, true)},
      // The last store set stays; it does not inherit the first one's window.
      {"by library id", get(0, kRpLib), expected(kStoreB, 30, 40, false)},
      {"by library name only", get(0, 0, "rplib8"), expected(kStoreB, 30, 40, false)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Answer a = call(c.request);
    EXPECT_EQ(a.xml, c.xml);
  }
}

TEST_F(RPStoreGet, ALibraryWithoutStoresAnswersItsLibraryPart) {
  ASSERT_EQ(m_db.exec("DELETE FROM MMRPStoreConfig"), 0);
  const Answer a = call(get(0, kRpLib));
  ASSERT_TRUE(a.success) << a.xml;
  EXPECT_EQ(a.libraryId, kRpLib);
  EXPECT_EQ(a.xml.find("RPStoreLibraryInfo"), std::string::npos) << a.xml;
}

TEST_F(RPStoreGet, EachFailureAnswersItsText) {
  const std::string unread = catalogue(0x240000F2);
  {
    SCOPED_TRACE("the store row");
    testkit::mmdb::failNext("MMRPStoreConfigDB::getInfo", 1, "x");
    expectRefused(call(get(kStoreA, 0)), unread);
  }
  {
    SCOPED_TRACE("the store list");
    testkit::mmdb::failNext("MMRPStoreConfigDB::getRPStoresForLibrary", 1, "x");
    expectRefused(call(get(0, kRpLib)), unread);
  }
  {
    SCOPED_TRACE("the property");
    testkit::mmdb::failNext("MMMiscDB::getRPStoreProp", 1, "x");
    expectRefused(call(get(kStoreA, 0)), unread);
  }
  {
    SCOPED_TRACE("the library row");
    testkit::mmdb::failNext("MMLibraryDB::getInfo", 1, "x");
    expectRefused(call(get(kStoreA, 0)), unread);
  }
  {
    SCOPED_TRACE("an unknown store");
    expectRefused(call(get(999, 0)), unread);
  }
  {
    SCOPED_TRACE("a property value that does not read");
    ASSERT_EQ(m_db.exec("UPDATE MMRPStoreProp SET PropValue = '<broken'"), 0);
    expectRefused(call(get(kStoreA, 0)), catalogue(0x240001BE));
  }
}

TEST_F(RPStoreGet, TheReplicationCopyOfAPolicy) {
  tktest::insertRows(m_db, "archGroupCopy (id, archGroupId, copy, name, type, flags, isActive, extendedFlags)",
                     {{70, kPolicy, 1, "primary", 1, 0, 1, 0}, {71, kPolicy, 2, "blr", 9, 16384, 1, 0}});
  Request r;
  r.operation = 16;
  r.store = {{2, kPolicy}};
  Answer a = call(r);
  ASSERT_TRUE(a.success) << a.xml;
  Resp copy;
  CNMessageBase& s = copy.getObjectAccessor(true, true, Resp::kStore.ordinal, Resp::kStore.tag, Resp::kClassHash,
                                            Resp::kStore.hash, Resp::kStore.ns, Resp::kStore.cls);
  s.setint64(Store::kReplicationCopyId.ordinal, Store::kReplicationCopyId.tag, 71, Store::kClassHash,
             Store::kReplicationCopyId.hash);
  std::string xml;
  ASSERT_EQ(copy.serialize(xml, false), 0);
  EXPECT_EQ(a.xml, xml);

  r.store = {{2, 31}};
  expectRefused(call(r), catalogue(0x24000141));

  for (long long policy : {0LL, -4LL}) {
    SCOPED_TRACE(policy);
    r.store = {{2, policy}};
    a = call(r);
    ASSERT_TRUE(a.success) << a.xml;
    EXPECT_EQ(a.storeId, 0);
    EXPECT_EQ(a.xml.find("RPStoreLibraryInfo"), std::string::npos) << a.xml;
  }
  EXPECT_EQ(testkit::archivemgr::journal().count("getBlockLevelReplicationCopyForPolicy"), 2u);
}

}  // namespace
}  // namespace rpstoretest
