// Clients, client lists, backup sets, client properties, subclient content
// and installation facts, answered from the central database.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/client/BackupSet.h"
#include "platform/client/ClientApplicationList.h"
#include "platform/client/ClientProperties.h"
#include "platform/client/ZQClient.h"
#include "platform/client/ZQPlatformInfo.h"
#include "platform/content/SubclientContent.h"
#include "platform/testkit/client.h"
#include "platform/testkit/content.h"
#include "tests/support/TestDatabase.h"

namespace {

using Strings = std::vector<std::string>;
using Ids = std::vector<int>;
using testkit::client::BackupSetSeed;
using testkit::content::SubclientSeed;

BackupSetSeed backupSet(unsigned long clientId, int appTypeId, int instanceId, const std::string& name, bool isDefault) {
  BackupSetSeed seed;
  seed.clientId = clientId;
  seed.appTypeId = appTypeId;
  seed.instanceId = instanceId;
  seed.name = name;
  seed.isDefault = isDefault;
  return seed;
}

SubclientSeed subclient(int id, int clientId, const std::string& name, int backupSetId, int policyId) {
  SubclientSeed seed;
  seed.id = id;
  seed.clientId = clientId;
  seed.appTypeId = 84;
  seed.name = name;
  seed.backupSetId = backupSetId;
  seed.replicationPolicyId = policyId;
  return seed;
}

class ClientInventory : public ::testing::Test {
 protected:
  void SetUp() override {
    testkit::client::reset();
    ASSERT_EQ(0, testkit::client::addClient({2, "tarnkeep", "tk.example.com", 16, ""}));
    ASSERT_EQ(0, testkit::client::addClient({7, "client1", "host1.example.com", 15, "Client One"}));
    ASSERT_EQ(0, testkit::client::addClient({9, "client2", "client2", 14, ""}));
  }
  void TearDown() override { testkit::client::reset(); }

  tktest::TestDatabase m_db;
};

// ---- clients ------------------------------------------------------------------------

TEST_F(ClientInventory, AClientIsFoundByIdNameHostNameOrShortHostName) {
  struct Case {
    const char* label;
    std::string key;  // empty: by id 7
    unsigned long id;
  };
  const std::vector<Case> cases = {
      {"by id", "", 7},
      {"by name", "client1", 7},
      {"by name in other case", "CLIENT1", 7},
      {"by network host name", "host1.example.com", 7},
      {"by the part before the first dot", "host1", 7},
      {"short name in other case", "HOST1", 7},
      {"a name before a host name", "client2", 9},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    std::unique_ptr<ZQClient> client =
        c.key.empty() ? std::make_unique<ZQClient>(7ul) : std::make_unique<ZQClient>(c.key, true, 0);
    EXPECT_EQ(client->lookup(), 0);
    EXPECT_EQ(client->getClientId(), c.id);
    std::string name = "UnknownHost", host, display, mangled;
    unsigned long long release = 0;
    EXPECT_EQ(client->getName(name, nullptr), 0);
    EXPECT_EQ(client->getNetworkHostname(host, nullptr), 0);
    EXPECT_EQ(client->getNetworkHostnameMangled(mangled, nullptr), 0);
    EXPECT_EQ(client->getDisplayName(display, nullptr), 0);
    EXPECT_EQ(client->getReleaseId(release, nullptr), 0);
    if (c.id == 7) {
      EXPECT_EQ(std::tie(name, host, mangled, display, release),
                std::make_tuple("client1", "host1.example.com", "host1.example.com", "Client One", 15ull));
    } else {
      EXPECT_EQ(std::tie(name, display), std::make_tuple("client2", "client2")) << "no display name: the name";
    }
  }
}

TEST_F(ClientInventory, AnUnknownClientFailsWithItsCodeAndLeavesOutputsAlone) {
  ZQClient byId(44ul);
  std::string name = "UnknownHost";
  EXPECT_EQ(byId.lookup(), 0x2A000001);
  EXPECT_EQ(byId.getName(name, nullptr), 0x2A000001);
  EXPECT_EQ(name, "UnknownHost");
  std::string display = "stale";
  EXPECT_EQ(byId.getDisplayName(display, nullptr), 0x2A000001);
  EXPECT_EQ(display, "") << "the display name is emptied";
  ZQClient byName("host", true, 0);
  EXPECT_EQ(byName.getClientId(), 0u);
  ZQClient later("client2", false, 0);
  EXPECT_EQ(later.getClientId(), 9u) << "made without a lookup, resolved when asked";
  EXPECT_EQ(byName.getNetworkHostname(name, nullptr), 0x2A000001);
  EXPECT_EQ(ZQClient::getErrorString(0x2A000001), "The client does not exist.");

  testkit::client::journal().injectFailure("getNetworkHostname", 61, "database busy");
  ZQClient known(7ul);
  EXPECT_EQ(known.getNetworkHostname(name, nullptr), 61);
  const auto calls = testkit::client::journal().calls("getNetworkHostname");
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].args, (Strings{"host", std::to_string(0x2A000001)}));
  EXPECT_EQ(calls[1].args, (Strings{"7", "61"}));
}

TEST_F(ClientInventory, SetDisplayNameWritesTheClientRow) {
  ASSERT_EQ(testkit::client::setDisplayName(7, "First client"), 0);
  ASSERT_EQ(testkit::client::setDisplayName(30, "ma3"), 0);
  EXPECT_EQ(m_db.text("SELECT displayName FROM APP_Client WHERE id = 7"), "First client");
  EXPECT_EQ(m_db.text("SELECT name FROM APP_Client WHERE id = 30"), "ma3");
  std::string display;
  EXPECT_EQ(ZQClient(30ul).getDisplayName(display, nullptr), 0);
  EXPECT_EQ(display, "ma3");
}

// ---- client lists -------------------------------------------------------------------

TEST_F(ClientInventory, ClientListsAreInIdOrderAndByTypeOnlyTheClientsWithThePackage) {
  ClientApplicationList list;
  Ids ids;
  Strings names;
  ASSERT_EQ(list.getClientList(ids, names, 2, nullptr, 2), 0);
  EXPECT_EQ(ids, (Ids{2, 7, 9}));
  EXPECT_EQ(names, (Strings{"tarnkeep", "client1", "client2"}));

  ASSERT_EQ(testkit::client::installPackage(9, 84), 0);
  ASSERT_EQ(testkit::client::installPackage(7, 84), 0);
  ASSERT_EQ(testkit::client::installPackage(7, 53), 0);
  ASSERT_EQ(list.getClientListByAppType(ids, names, 2, 84, nullptr), 0);
  EXPECT_EQ(ids, (Ids{7, 9}));
  EXPECT_EQ(names, (Strings{"client1", "client2"}));
  ASSERT_EQ(list.getClientListByAppType(ids, names, 2, 53, nullptr), 0);
  EXPECT_EQ(ids, (Ids{7}));
  ASSERT_EQ(list.getClientListByAppType(ids, names, 2, 99, nullptr), 0);
  EXPECT_TRUE(ids.empty());

  testkit::client::journal().injectFailure("getClientList", 5, "no database");
  EXPECT_EQ(list.getClientList(ids, names, 2, nullptr, 2), 5);
  EXPECT_EQ(list.getErrorString(), "no database");
  EXPECT_TRUE(ids.empty());
}

// ---- backup sets --------------------------------------------------------------------

TEST_F(ClientInventory, TheDefaultBackupSetIsFoundAmongAClientsSetsOfOneTypeAndInstance) {
  unsigned long long a = 0, b = 0, c = 0, d = 0, e = 0;
  ASSERT_EQ(testkit::client::addBackupSet(backupSet(7, 84, 0, "set-a", false), a), 0);
  ASSERT_EQ(testkit::client::addBackupSet(backupSet(7, 84, 0, "set-b", true), b), 0);
  ASSERT_EQ(testkit::client::addBackupSet(backupSet(7, 84, 1, "other instance", true), c), 0);
  ASSERT_EQ(testkit::client::addBackupSet(backupSet(7, 53, 0, "other type", true), d), 0);
  BackupSetSeed gone = backupSet(7, 84, 0, "deleted", true);
  gone.deleted = true;
  ASSERT_EQ(testkit::client::addBackupSet(gone, e), 0);

  ClientApplicationList list;
  Ids ids;
  Strings names;
  std::vector<bool> defaults;
  ASSERT_EQ(list.getBackupSetList(ids, names, defaults, 7, 84, 0, nullptr, 5), 0);
  EXPECT_EQ(ids, (Ids{static_cast<int>(a), static_cast<int>(b)}));
  EXPECT_EQ(names, (Strings{"set-a", "set-b"}));
  EXPECT_EQ(defaults, (std::vector<bool>{false, true}));

  // The search the FLR handlers make: the first set that says it is the default.
  int found = 0;
  for (int id : ids) {
    bool isDefault = false;
    ASSERT_EQ(BackupSet(static_cast<unsigned long long>(id)).isDefaultBackupSet(isDefault, nullptr), 0);
    if (isDefault) {
      found = id;
      break;
    }
  }
  EXPECT_EQ(found, static_cast<int>(b));
  int defaultId = 0;
  std::string defaultName;
  ASSERT_EQ(list.getDefaultBackupSet(7, 84, defaultId, defaultName, nullptr), 0);
  EXPECT_EQ(std::tie(defaultId, defaultName), std::make_tuple(static_cast<int>(b), std::string("set-b")));
  EXPECT_EQ(list.getDefaultBackupSet(9, 84, defaultId, defaultName, nullptr), 0x2A000003);

  bool flag = true;
  EXPECT_EQ(BackupSet(999).isDefaultBackupSet(flag, nullptr), 0x2A000003);
  EXPECT_TRUE(flag) << "left alone";
}

TEST_F(ClientInventory, LockDataIsStoredEncipheredAndNeverJournaled) {
  BackupSetSeed seed = backupSet(7, 84, 0, "flr", true);
  seed.destinationHostId = 9;
  seed.lockDataUserName = "DOMAIN\\backup";
  seed.lockDataPassword = "pa'ss\"word";
  unsigned long long id = 0;
  ASSERT_EQ(testkit::client::addBackupSet(seed, id), 0);
  const std::string stored = m_db.text("SELECT lockDataPassword FROM APP_BackupSet WHERE id = ?", {static_cast<long long>(id)});
  EXPECT_FALSE(stored.empty());
  EXPECT_EQ(stored.find("pa'ss"), std::string::npos);

  FileReplicationBackupSet set(id);
  int host = 0;
  std::string user, password;
  ASSERT_EQ(set.getDestinationHostId(host, nullptr), 0);
  ASSERT_EQ(set.getLockDataUserName(user, nullptr), 0);
  ASSERT_EQ(set.getLockDataPassword(password, nullptr), 0);
  EXPECT_EQ(std::tie(host, user, password), std::make_tuple(9, std::string("DOMAIN\\backup"), seed.lockDataPassword));
  for (const auto& call : testkit::client::journal().calls())
    for (const auto& arg : call.args) EXPECT_EQ(arg.find("pa'ss"), std::string::npos) << call.name;

  // A stored value the cipher did not make is an error, not a password.
  m_db.exec("UPDATE APP_BackupSet SET lockDataPassword = 'plain' WHERE id = ?", {static_cast<long long>(id)});
  password = "kept";
  EXPECT_EQ(set.getLockDataPassword(password, nullptr), 0x2A000002);
  EXPECT_EQ(password, "kept");
}

// ---- client properties --------------------------------------------------------------

TEST_F(ClientInventory, TheAlternateCachePartitionReadsBackWhatWasSet) {
  ClientProperties properties(7);
  std::string partition = "stale";
  ASSERT_EQ(properties.getAltCachePartition(partition, nullptr), 0);
  EXPECT_EQ(partition, "") << "not set: empty";
  ASSERT_EQ(properties.setAltCachePartition("/cache/alt", nullptr), 0);
  ASSERT_EQ(properties.setAltCachePartition("/cache/alt2", nullptr), 0);
  ASSERT_EQ(properties.getAltCachePartition(partition, nullptr), 0);
  EXPECT_EQ(partition, "/cache/alt2");
  EXPECT_EQ(m_db.scalar("SELECT COUNT(*) FROM APP_ClientProp WHERE componentNameId = 7"), 1);
  ASSERT_EQ(properties.setAltCachePartition("", nullptr), 0);
  ASSERT_EQ(properties.getAltCachePartition(partition, nullptr), 0);
  EXPECT_EQ(partition, "");

  ClientProperties unknown(44);
  EXPECT_EQ(unknown.getAltCachePartition(partition, nullptr), 0x2A000001);
  EXPECT_EQ(unknown.setAltCachePartition("/x", nullptr), 0x2A000001);
  testkit::client::journal().injectFailure("getAltCachePartition", 12, "x");
  EXPECT_EQ(properties.getAltCachePartition(partition, nullptr), 12);
}

// ---- subclient content and type names ------------------------------------------------

TEST_F(ClientInventory, SubclientContentAnswersWhichLiveSubclientsHoldAVolume) {
  ASSERT_EQ(testkit::content::addSubclient(subclient(31, 7, "sc1", 5, 4)), 0);
  ASSERT_EQ(testkit::content::addSubclient(subclient(32, 7, "sc2", 5, 0)), 0);
  SubclientSeed gone = subclient(33, 9, "sc3", 6, 0);
  gone.deleted = true;
  ASSERT_EQ(testkit::content::addSubclient(gone), 0);
  ASSERT_EQ(testkit::content::addContent(31, 12, "1001"), 0);
  ASSERT_EQ(testkit::content::addContent(31, 13, "0"), 0);
  ASSERT_EQ(testkit::content::addContent(32, 12, "1002"), 0);
  ASSERT_EQ(testkit::content::addContent(33, 12, "1003"), 0);

  std::vector<int> subclients = {99};
  ASSERT_EQ(ContentQuery().getSCListHavingVolId(12, subclients, nullptr), 0);
  EXPECT_EQ(subclients, (Ids{31, 32}));
  ASSERT_EQ(ContentQuery().getSCListHavingVolId(77, subclients, nullptr), 0);
  EXPECT_TRUE(subclients.empty());

  ReplicationSubclientConfiguration configuration(31);
  ASSERT_EQ(configuration.loadResult(), 0);
  std::vector<std::pair<int, std::string>> items;
  for (auto it = configuration.begin(); it != configuration.end();) {
    int volumeId = 0;
    BackupContent content;
    ASSERT_EQ(configuration.getNextVolItem(it, volumeId, content), 0);
    items.emplace_back(volumeId, *content.begin());
  }
  EXPECT_EQ(items, (std::vector<std::pair<int, std::string>>{{12, "1001"}, {13, "0"}}));
  int policy = 0;
  ASSERT_EQ(configuration.getReplicationPolicy(policy, nullptr), 0);
  EXPECT_EQ(policy, 4);

  bool deleted = true;
  ASSERT_EQ(Subclient(31).isDeleted(deleted, nullptr), 0);
  EXPECT_FALSE(deleted);
  ASSERT_EQ(Subclient(33).isDeleted(deleted, nullptr), 0);
  EXPECT_TRUE(deleted);
  EXPECT_NE(Subclient(34).isDeleted(deleted, nullptr), 0);

  ClientApplicationList list;
  Ids ids;
  Strings names;
  ASSERT_EQ(list.getSubclientList(ids, names, 84, 5, nullptr, 1), 0);
  EXPECT_EQ(ids, (Ids{31, 32}));
  EXPECT_EQ(names, (Strings{"sc1", "sc2"}));
}

TEST_F(ClientInventory, ApplicationTypeNamesComeFromTheTypeTable) {
  ASSERT_EQ(testkit::content::setAppTypeName(53, "Exchange Database"), 0);
  std::string name;
  AppTypeNameId known(53);
  ASSERT_EQ(known.GetAppTypeName(name, nullptr), 0);
  EXPECT_EQ(name, "Exchange Database");
  AppTypeNameId unknown(54);
  EXPECT_EQ(unknown.GetAppTypeName(name, nullptr), 0x2A000004);
  EXPECT_EQ(unknown.getErrorString(), "Application type [54] has no name.");
  EXPECT_EQ(name, "Exchange Database");
}

TEST_F(ClientInventory, PlatformInfoGivesTheScriptedNamesCutToTheBuffer) {
  testkit::client::setPlatformInfo({1, "tarnkeep_client", "tk.example.com", "phys01"});
  ZQPlatformInfo info;
  EXPECT_EQ(info.getZQPlatformType(), 1ul);
  char buffer[8];
  ASSERT_EQ(info.getTarnkeeperClientName(buffer, sizeof buffer), 0);
  EXPECT_STREQ(buffer, "tarnkee");
  char host[256];
  ASSERT_EQ(info.getTarnkeeperHostName(host, sizeof host), 0);
  EXPECT_STREQ(host, "tk.example.com");
  EXPECT_EQ(info.getPhysicalMachine(), "phys01");
  EXPECT_EQ(info.getTarnkeeperClientName(nullptr, 10), -1);
  testkit::client::journal().injectFailure("getTarnkeeperClientName", 3, "no installation");
  buffer[0] = 'x';
  EXPECT_EQ(info.getTarnkeeperClientName(buffer, sizeof buffer), 3);
  EXPECT_EQ(buffer[0], 'x');
  testkit::client::reset();
  EXPECT_FALSE(ZQPlatformInfo().getPhysicalMachine().empty()) << "defaults to this machine";
}

// ---- threads ------------------------------------------------------------------------

TEST_F(ClientInventory, TwoThreadsReadAndWriteClientsAtOnce) {
  std::atomic<int> bad{0};
  auto reader = [&] {
    for (int i = 0; i < 100; ++i) {
      std::string host;
      ZQClient client("host1", true, 0);
      if (client.getNetworkHostname(host, nullptr) != 0 || host != "host1.example.com") ++bad;
    }
  };
  auto writer = [&] {
    ClientProperties properties(9);
    for (int i = 0; i < 100; ++i) {
      std::string partition;
      if (properties.setAltCachePartition("/p" + std::to_string(i), nullptr) != 0) ++bad;
      if (properties.getAltCachePartition(partition, nullptr) != 0 || partition != "/p" + std::to_string(i)) ++bad;
    }
  };
  std::thread a(reader);
  std::thread b(writer);
  a.join();
  b.join();
  EXPECT_EQ(bad.load(), 0);
}

}  // namespace
