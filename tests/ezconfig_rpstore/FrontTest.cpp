// The front of the replication-store request: every refusal before an
// operation runs, the library lock, and the dispatch of codes without an
// operation.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/testkit/mdlock.h"
#include "tests/ezconfig_rpstore/RPStoreFixture.h"

namespace rpstoretest {
namespace {

class RPStoreFront : public RPStoreTest {};

TEST_F(RPStoreFront, EachRefusalAnswersItsTextAndLeavesNoLockAndNoLibrary) {
  const std::string longName(2048, 'u');
  const std::string longPassword(1024, 'p');
  struct Case {
    const char* name;
    std::function<void(Request&)> setup;
    std::string text;
  };
  const Case cases[] = {
      {"the message library does not initialise",
       [](Request&) { testkit::xml::failNext(testkit::xml::Call::Initialize, 1); }, catalogue(0x23000451)},
      {"an unknown media agent name", [](Request& r) { r.library = {{3, "nobody"}, {8, "rplib"}, {24, "/data/rp1"}}; },
       catalogue(0x230008B0)},
      {"an unknown library name outside creation",
       [](Request& r) {
         r.operation = 32;
         r.library = {{7, kMa2}, {8, "nolib"}};
       },
       catalogue(0x230008B1)},
      {"no right on the media agent",
       [](Request&) { testkit::security::deny("canManageMediaAgent", kAlice, kMa2, "not yours"); },
       catalogue(0x240001EF, "not yours")},
      {"no installation right without per-agent rights",
       [this](Request&) {
         checkRightsPerAgent(false);
         testkit::security::deny("canManageTarnkeep", kAlice, testkit::security::kAny, "no admin");
       },
       catalogue(0x240001EF, "no admin")},
      {"the model does not initialise", [](Request&) { testkit::mac::failNext("Initialize", 5, "model down"); },
       "model down"},
      {"a user name with its proxy password too long", [&](Request& r) { r.library[28] = longName; },
       "The user name is longer than 1023 bytes."},
      {"a password too long", [&](Request& r) { r.library[32] = longPassword; },
       "The password is too long to be stored: a password of at most 1023 bytes fits."},
      {"no installation directory", [](Request&) { testkit::adapters::setInstallDirectory(kMa2, ""); },
       catalogue(0x2300093D)},
      {"inside the installation directory", [](Request& r) { r.library[24] = "/OPT/tarnkeep/rp"; },
       catalogue(0x2300093C)},
      {"device controllers unreadable",
       [](Request&) { testkit::mmdb::failNext("MMDeviceControllerDB::getListByHostId", 1, "db down", 205); },
       catalogue(0x3E000040)},
      {"inside a disk folder of the agent, in other letter case", [](Request& r) { r.library[24] = "/DATA/disk1/rp"; },
       catalogue(0x230011D2)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    freshStandIns();
    checkRightsPerAgent(true);
    Request r = creation();
    c.setup(r);
    expectRefused(call(r), c.text);
    EXPECT_FALSE(EvMMConfigMgr::isConfigLibraryLocked("MAID2"));
    EXPECT_EQ(count("MMLibrary"), 1);
    EXPECT_EQ(testkit::mac::journal().count("AutoConfigLibrary"), 0u);
  }
}

// A name that two libraries answer to (as another writer's SQL may leave
// them) names neither: the request is refused with the lookup's text,
// which names them, and nothing changes.
TEST_F(RPStoreFront, ANameTwoLibrariesAnswerToIsRefusedNamingThem) {
  const struct {
    const char* what;
    const char* twin;  // library 6's name and alias
    const char* name;  // as the request gives it
    long long operation;
    std::string text;
  } rows[] = {
      {"both spelled so, a delete", "disklib", "disklib", 2,
       "The library name [disklib] is the name of the libraries with ids [5] and [6]; give the id of the one meant."},
      {"both spelled so, a copy", "disklib", "disklib", 32,
       "The library name [disklib] is the name of the libraries with ids [5] and [6]; give the id of the one meant."},
      {"both in other cases", "DISKLIB", "Disklib", 4,
       "The library name [Disklib] matches [disklib] and [DISKLIB] in another case; give its exact name."},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    freshStandIns();
    checkRightsPerAgent(true);
    ASSERT_EQ(m_db.exec("DELETE FROM MMLibrary WHERE LibraryId = 6"), 0);
    ASSERT_EQ(m_db.exec("INSERT INTO MMLibrary (LibraryId, LibraryName, AliasName, LibraryTypeId) VALUES (6, ?, ?, 3)",
                        {row.twin, row.twin}),
              0);
    Request r;
    r.operation = row.operation;
    r.library = {{7, kMa2}, {8, row.name}};
    expectRefused(call(r), row.text);
    EXPECT_FALSE(EvMMConfigMgr::isConfigLibraryLocked("MAID2"));
    EXPECT_EQ(count("MMLibrary"), 2);
    EXPECT_EQ(count("MMMountPath"), 1);
    EXPECT_EQ(testkit::mac::journal().count("AutoConfigLibrary"), 0u);
  }
}

TEST_F(RPStoreFront, AnUnreadableRequestIsRefusedNotRunAsOperationZero) {
  expectRefused(call("<EVGui_RPStoreLibraryReq><broken"), catalogue(0x23000452));
}

TEST_F(RPStoreFront, ALockHeldElsewhereRefusesAndStaysWithItsHolder) {
  checkRightsPerAgent(true);
  MDLock* other = EvMMConfigMgr::lockConfigLibrary("MAID2");
  ASSERT_NE(other, nullptr);
  expectRefused(call(creation()), catalogue(0x230008B3));
  EXPECT_TRUE(EvMMConfigMgr::isConfigLibraryLocked("MAID2"));
  EvMMConfigMgr::unlockConfigLibrary(other);
}

TEST_F(RPStoreFront, AnUnknownOperationTakesAndReleasesTheLockAndAnswersAnEmptyResponse) {
  checkRightsPerAgent(true);
  Request r;
  r.operation = 3;
  r.library = {{3, "ma2"}};
  const Answer a = call(r);
  EXPECT_TRUE(a.success) << a.xml;
  EXPECT_EQ(a.libraryId, 0);
  EXPECT_EQ(testkit::mdlock::journal().count("set"), 1u);
  EXPECT_FALSE(EvMMConfigMgr::isConfigLibraryLocked("MAID2"));
}

TEST_F(RPStoreFront, WithoutAnyMediaAgentTheLockKeyIsAgentZeroAndNoAgentRightIsAsked) {
  checkRightsPerAgent(true);
  Request r;
  r.operation = 3;
  const Answer a = call(r);
  EXPECT_TRUE(a.success) << a.xml;
  const auto locks = testkit::mdlock::journal().calls("set");
  ASSERT_EQ(locks.size(), 1u);
  EXPECT_NE(locks[0].args.at(0).find("MAID0"), std::string::npos);
  EXPECT_EQ(testkit::security::journal().count("canManageMediaAgent"), 0u);
}

TEST_F(RPStoreFront, WithoutPerAgentRightsNoLockIsTaken) {
  checkRightsPerAgent(false);
  EXPECT_TRUE(call(creation()).success);
  EXPECT_EQ(testkit::mdlock::journal().count("set"), 0u);
}

TEST_F(RPStoreFront, DataServerAndEmptyFoldersOfTheAgentRefuseNothing) {
  Request r = creation();
  r.library[24] = "/san/rp";
  const Answer a = call(r);
  EXPECT_TRUE(a.success) << a.text;
}

TEST_F(RPStoreFront, CreationWithACopySkipsTheFolderGuards) {
  Request r = creation(64);
  r.library[24] = "/opt/tarnkeep/rp";
  EXPECT_TRUE(call(r).success);
  r = creation(1);
  r.library[8] = "rplib2";
  r.library[24] = "/opt/tarnkeep/rp2";
  expectRefused(call(r), catalogue(0x2300093C));
}

TEST_F(RPStoreFront, TheHostTableReachesTheRequestByItsOwnId) {
  auto message = record();
  std::string buffer = text(creation());
  EXPECT_EQ(m_mgr.HandleMMConfigMgrXmlMsg(message.get(), 0, 0, 0, 0x10D64B786UL, buffer), 0);
  EXPECT_EQ(buffer, text(creation())) << "an id above 32 bits names no handler";
  std::string direct = text(creation());
  EXPECT_EQ(m_mgr.onMsgConfigRPStoreLibrary(message.get(), direct), 0);
  EXPECT_TRUE(decode(direct).success);
  std::string none = "x";
  EXPECT_EQ(m_mgr.onMsgConfigRPStoreLibrary(nullptr, none), 0);
  EXPECT_TRUE(none.empty());
}

}  // namespace
}  // namespace rpstoretest
