// Reading replication stores (operation 8) and a policy's block-level
// replication copy (operation 16): the exact response, by store and by
// library, and each failure with its text.
#include <gtest/gtest.h>

#include <string>

#include "tests/ezconfig_rpstore/RPStoreSeed.h"

namespace rpstoretest {
namespace {

// The answers, as the console reads them: store 800 with its limits and its
// off-peak schedule, or store 801 with its limits, then library 8's part.
constexpr const char* kStoreAAnswer =
    R"(<EVGui_RPStoreLibraryResp><EVGui_RPStoreLibraryInfo tag="1" i1="800" i6="10" i7="20">)"
    R"(<EVGui_IntervalWindow tag="10" days="3" from="01:00" to="02:00"/></EVGui_RPStoreLibraryInfo>)"
    R"(<EVGui_StorageLibraryInfo tag="2" i1="8" s8="rplib8" s37="old words"/></EVGui_RPStoreLibraryResp>)";
constexpr const char* kStoreBAnswer =
    R"(<EVGui_RPStoreLibraryResp><EVGui_RPStoreLibraryInfo tag="1" i1="801" i6="30" i7="40"/>)"
    R"(<EVGui_StorageLibraryInfo tag="2" i1="8" s8="rplib8" s37="old words"/></EVGui_RPStoreLibraryResp>)";

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
};

TEST_F(RPStoreGet, AnswersTheStoresAndTheLibraryExactly) {
  struct Case {
    const char* name;
    Request request;
    std::string xml;
  };
  const Case cases[] = {
      {"by store, with a schedule", get(kStoreA, 0), kStoreAAnswer},
      {"by store, without one", get(kStoreB, 0), kStoreBAnswer},
      {"the store wins over the library", get(kStoreA, kDiskLib), kStoreAAnswer},
      // The last store set stays; it does not inherit the first one's window.
      {"by library id", get(0, kRpLib), kStoreBAnswer},
      {"by library name only", get(0, 0, "rplib8"), kStoreBAnswer},
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
  // Only the copy's id, in the store part.
  EXPECT_EQ(a.xml, R"(<EVGui_RPStoreLibraryResp><EVGui_RPStoreLibraryInfo tag="1" i3="71"/></EVGui_RPStoreLibraryResp>)");

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
