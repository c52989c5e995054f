// The replica listings while another connection holds a write transaction
// open: they read what was committed, at once, and never answer an empty
// list for one they could not read.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <functional>
#include <string>

#include "platform/testkit/db.h"
#include "tests/sanvol_volumes/VolumesFixture.h"

namespace volumestest {
namespace {

// A connection of another process, as an administrator's sqlite3 would
// hold it: BEGIN IMMEDIATE and a row not committed.
class Writer {
 public:
  Writer(const std::string& path, const std::string& uncommitted) {
    EXPECT_EQ(sqlite3_open(path.c_str(), &m_handle), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(m_handle, ("BEGIN IMMEDIATE; " + uncommitted).c_str(), nullptr, nullptr, nullptr),
              SQLITE_OK)
        << sqlite3_errmsg(m_handle);
  }
  ~Writer() {
    sqlite3_exec(m_handle, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(m_handle);
  }
  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;

 private:
  sqlite3* m_handle = nullptr;
};

using Listings = VolumesTest;

TEST_F(Listings, AnotherConnectionsOpenWriteNeitherHoldsUpNorEmptiesAListing) {
  // A listing that waited for the write lock would give up after this
  // and answer a failure (or nothing): the replies would differ.
  testkit::db::setBusyTimeoutMs(300);
  testkit::replicadb::seed(VEHostRecord_t{10, "hostA", true});
  QRApplianceRecord_t appliance;
  appliance.applianceName = "qm1";
  testkit::replicadb::seed(appliance);
  ReplicationPolicyV3Record_t policy;
  policy.policyName = "gold";
  testkit::replicadb::seed(policy);

  struct Row {
    const char* name;
    std::function<long long(EvSANVolMgr&, MessageInfo*)> call;
    uint32_t replyId;
    const char* uncommitted;
  } rows[] = {
      {"SAN volume hosts", [](EvSANVolMgr& h, MessageInfo* m) { return h.onMsgGetSANVolumeHosts(m); }, 11601,
       "INSERT INTO \"VEHost\" (\"hostId\", \"hostName\", \"item11718\") VALUES (99, 'hostZ', 0)"},
      {"QR appliances", [](EvSANVolMgr& h, MessageInfo* m) { return h.onMsgGetQRAppliances(m); }, 11707,
       "INSERT INTO \"QRAppliance\" (\"applianceName\") VALUES ('qmZ')"},
      {"replication policies", [](EvSANVolMgr& h, MessageInfo* m) { return h.onMsgGetReplicationPolicies(m); },
       11641, "INSERT INTO \"ReplicationPolicy\" (\"policyName\") VALUES ('tin')"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    auto run = [&] {
      Connection connection;
      auto request = get(0);
      request->socket = connection.socket();
      EvSANVolMgr listing;
      EXPECT_EQ(row.call(listing, request.get()), 1);
      return connection.replies();
    };
    const auto alone = run();
    ASSERT_EQ(alone.size(), 1u);
    EXPECT_EQ(alone[0].messageId, row.replyId);
    ASSERT_FALSE(alone[0].items.empty());

    Writer writer(db.path(), row.uncommitted);
    const auto meanwhile = run();
    ASSERT_EQ(meanwhile.size(), 1u);
    EXPECT_EQ(meanwhile[0].messageId, row.replyId);
    EXPECT_EQ(itemsOf(meanwhile[0]), itemsOf(alone[0]));
  }
}

}  // namespace
}  // namespace volumestest
