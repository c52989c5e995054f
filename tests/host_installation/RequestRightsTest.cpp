// The host's own rights check, asked of the users table once per request
// before any handler runs: a user the table does not know is refused every
// entry, a user who may change nothing every entry that changes, whoever
// took the configuration lock on the connection; and what an administrator
// changes in the table with SQL counts from the next request on.
#include <gtest/gtest.h>

#include <set>

#include "platform/xml/RPStoreMessages.h"
#include "platform/xml/TaskMessages.h"
#include "tests/host_installation/InstallationFixture.h"
#include "tests/support/DatabaseDump.h"
#include "tests/support/StreamBuilder.h"

namespace {

class HostRequestRights : public installtest::InstallationFixture {
 protected:
  // Every entry of the host's table, in table order.
  std::vector<tkwire::HandlerInfo> entries(int fd) {
    const auto replies = hosttest::sendAndRead(fd, hosttest::streamFrame(tkwire::kListHandlersName, 1));
    EXPECT_EQ(replies.size(), 1u);
    if (replies.size() != 1) return {};
    return tkwire::decodeHandlerList(replies[0]).value_or(std::vector<tkwire::HandlerInfo>{});
  }

  // One request of `user` to the entry: an element stream with only its
  // end, or an XML text of the message the entry takes (the dispatcher: the
  // can-delete question).
  static std::string requestTo(const tkwire::HandlerInfo& entry, uint32_t user, int64_t sequence) {
    if (entry.kind == tkwire::kRequestXml) {
      tkwire::XmlRequest request;
      request.handler = entry.name;
      request.userId = user;
      request.sequence = sequence;
      request.messageId = entry.messageId != 0 ? entry.messageId : EVGui::CanDeleteLibraryMountPathReq::kClassHash;
      request.xml = "<EVGui_Request/>";
      return tkwire::encodeXmlRequest(request);
    }
    tkwire::StreamRequest request;
    request.handler = entry.name;
    request.userId = user;
    request.sequence = sequence;
    request.firstField = tkwire::firstFieldOf(2, 1);
    tkwire::appendU32(request.stream, 2052, 0);
    return tkwire::encodeStreamRequest(request);
  }

  // The host's refusal of an entry's request, to the byte: a status reply
  // for an element-stream entry, the generic response of the message's
  // family for an XML one.
  static void expectRefusal(const std::vector<tkwire::Reply>& replies, const tkwire::HandlerInfo& entry,
                            int64_t sequence, const std::string& reason) {
    if (entry.kind == tkwire::kRequestStream) {
      tktest::expectStatus(replies, sequence, 0, reason);
      return;
    }
    ASSERT_EQ(replies.size(), 1u);
    const std::optional<tkwire::XmlAnswer> answer = tkwire::decodeXmlAnswer(replies[0]);
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(answer->result, 0);
    const uint32_t id = entry.messageId != 0 ? entry.messageId : EVGui::CanDeleteLibraryMountPathReq::kClassHash;
    const char* family = (id >> 24) == 1 ? "ZQGui" : "EVGui";
    EXPECT_EQ(answer->text, std::string("<") + family + "_GenericResp i1=\"-1\" s2=\"" + reason + "\"/>");
  }

  // True when no reply is a refusal of the host's rights check.
  static bool passedTheHost(const std::vector<tkwire::Reply>& replies) {
    for (const tkwire::Reply& reply : replies) {
      const std::optional<tkwire::XmlAnswer> answer = tkwire::decodeXmlAnswer(reply);
      const std::string shown = answer ? answer->text : tkwire::describe(reply);
      if (shown.find("is not a user of this installation") != std::string::npos ||
          shown.find("may not change anything") != std::string::npos)
        return false;
    }
    return true;
  }
};

TEST_F(HostRequestRights, AnUnknownUserIsRefusedEveryEntryAndNothingChanges) {
  const int fd = connect();
  ASSERT_GE(fd, 0);
  const std::vector<tkwire::HandlerInfo> all = entries(fd);
  ASSERT_GT(all.size(), 100u);
  const tktest::DatabaseDump before = tktest::DatabaseDump::take();
  int64_t sequence = 10;
  for (const tkwire::HandlerInfo& entry : all) {
    SCOPED_TRACE(entry.name);
    ++sequence;
    expectRefusal(hosttest::sendAndRead(fd, requestTo(entry, 77, sequence)), entry, sequence,
                  "User [77] is not a user of this installation.");
  }
  const tktest::DatabaseDump after = tktest::DatabaseDump::take();
  EXPECT_EQ(after, before) << tktest::DatabaseDump::describeChanges(before, after);
  // Each refusal raised the rights alert about the user.
  const std::string log = debugLog();
  size_t alerts = 0;
  for (size_t at = log.find("alert [1020] condition [12] for [77]"); at != std::string::npos;
       at = log.find("alert [1020] condition [12] for [77]", at + 1))
    ++alerts;
  EXPECT_EQ(alerts, all.size());
  // The same requests from the administrator pass the host.
  for (const tkwire::HandlerInfo& entry : all) {
    SCOPED_TRACE(entry.name);
    EXPECT_TRUE(passedTheHost(hosttest::sendAndRead(fd, requestTo(entry, 1, ++sequence))));
  }
  ::close(fd);
}

TEST_F(HostRequestRights, TheOperatorIsRefusedEveryChangeAndServedEveryListing) {
  // What a user who may only look is still served; every other entry changes.
  const std::set<std::string> listings{
      "LockMMConfiguration", "onMsgEZGetMagneticLibrary", "onMsgEZGetTapeLibrary", "onMsgGetFanInRP",
      "onMsgGetFanInRPPair", "onMsgFLRDiscoverApps", "onMsgFLRGetCPs", "onMsgFLRGetSnaps", "onMsgFindPathRepSet",
      "onMsgQRSubclientHasSchedule", "onMsgCloudOperation", "onMsgDetectCenteraCluster",
      "HandleMMConfigMgrXmlMsg"};  // with the can-delete question
  const int fd = connect();
  ASSERT_GE(fd, 0);
  const std::vector<tkwire::HandlerInfo> all = entries(fd);
  ASSERT_GT(all.size(), 100u);
  const tktest::DatabaseDump before = tktest::DatabaseDump::take();
  int64_t sequence = 10;
  size_t refused = 0;
  for (const tkwire::HandlerInfo& entry : all) {
    SCOPED_TRACE(entry.name);
    const std::vector<tkwire::Reply> replies = hosttest::sendAndRead(fd, requestTo(entry, 2, ++sequence));
    if (entry.name.rfind("onMsgGet", 0) == 0 || listings.count(entry.name) != 0) {
      EXPECT_TRUE(passedTheHost(replies));
    } else {
      expectRefusal(replies, entry, sequence, "User [operator] may not change anything in this installation.");
      ++refused;
    }
  }
  EXPECT_EQ(refused, 49u);
  // The replication-store request looks or changes by its operation.
  const struct {
    const char* text;
    bool refused;
  } operations[] = {{"<EVGui_RPStoreLibraryReq i4=\"8\"/>", false},
                    {"<EVGui_RPStoreLibraryReq i4=\"16\"/>", false},
                    {"<EVGui_RPStoreLibraryReq i4=\"2\"/>", true},
                    {"<EVGui_RPStoreLibraryReq", true}};
  for (const auto& operation : operations) {
    SCOPED_TRACE(operation.text);
    for (const char* handler : {"HandleMMConfigMgrXmlMsg", "onMsgConfigRPStoreLibrary"}) {
      tkwire::XmlRequest request;
      request.handler = handler;
      request.userId = 2;
      request.sequence = ++sequence;
      request.messageId = EVGui::RPStoreLibraryReq::kClassHash;
      request.xml = operation.text;
      EXPECT_EQ(passedTheHost(hosttest::sendAndRead(fd, tkwire::encodeXmlRequest(request))), !operation.refused);
    }
  }
  const tktest::DatabaseDump after = tktest::DatabaseDump::take();
  EXPECT_EQ(after, before) << tktest::DatabaseDump::describeChanges(before, after);
  ::close(fd);
}

TEST_F(HostRequestRights, ARequestNamingTheOperatorOnAConnectionWhoseLockTheAdministratorTookIsRefused) {
  const int fd = connect();
  ASSERT_GE(fd, 0);
  ASSERT_TRUE(hosttest::takeLock(fd, 1));  // as user 1, the administrator
  const std::vector<unsigned char> policy = tktest::StreamBuilder()
                                                .op(1)
                                                .pair(11642, 0, "gold")
                                                .u32(11644, 30)
                                                .pair(11643, 2, "")
                                                .u32(11645, 0)
                                                .u32(11741, 0)
                                                .end()
                                                .stream();
  auto change = [&](uint32_t user, int64_t sequence) {
    tkwire::StreamRequest request;
    request.handler = "onMsgManageReplicationPolicies";
    request.userId = user;
    request.sequence = sequence;
    request.firstField = tkwire::firstFieldOf(0, 7);
    request.stream.assign(policy.begin(), policy.end());
    return hosttest::sendAndRead(fd, tkwire::encodeStreamRequest(request));
  };
  const tktest::DatabaseDump before = tktest::DatabaseDump::take();
  tktest::expectStatus(change(2, 2), 2, 0, "User [operator] may not change anything in this installation.");
  const tktest::DatabaseDump after = tktest::DatabaseDump::take();
  EXPECT_EQ(after, before) << tktest::DatabaseDump::describeChanges(before, after);
  // The lock's own user, on the same connection, makes the change.
  EXPECT_TRUE(passedTheHost(change(1, 3)));
  EXPECT_NE(tktest::DatabaseDump::take(), before);
  ::close(fd);
}

TEST_F(HostRequestRights, AChangeToTheUsersTableBySqlIsSeenByTheNextRequest) {
  const int fd = connect();
  ASSERT_GE(fd, 0);
  const tkwire::HandlerInfo listing{"onMsgGetMMLibraries", tkwire::kRequestStream, 0};
  const tkwire::HandlerInfo change{"onMsgSetMMLibrary", tkwire::kRequestStream, 0};
  const struct {
    const char* sql;  // what the administrator does before the requests
    const char* listingRefusal;
    const char* changeRefusal;
  } steps[] = {
      {"DELETE FROM \"UMUsers\" WHERE \"id\" = 7", "User [7] is not a user of this installation.", "User [7] is not a user of this installation."},
      {"INSERT INTO \"UMUsers\" (\"id\", \"login\") VALUES (7, 'audit')", nullptr,
       "User [audit] may not change anything in this installation."},
      {"INSERT INTO \"UMUserRights\" (\"userId\", \"entityKind\", \"entityId\", \"mayChange\") VALUES "
       "(7, 'Library', 1, 1)",
       nullptr, nullptr},
      {"UPDATE \"UMUsers\" SET \"login\" = 'auditor' WHERE \"id\" = 7; DELETE FROM \"UMUserRights\" WHERE "
       "\"userId\" = 7",
       nullptr, "User [auditor] may not change anything in this installation."},
      {"DELETE FROM \"UMUsers\" WHERE \"id\" = 7", "User [7] is not a user of this installation.",
       "User [7] is not a user of this installation."},
      // The table replaced by one without triggers: the new row moves no
      // stamp, the schema tells.
      {"ALTER TABLE \"UMUsers\" RENAME TO \"UMUsersBefore\"; CREATE TABLE \"UMUsers\" (\"id\" INTEGER PRIMARY "
       "KEY, \"login\" TEXT NOT NULL UNIQUE); INSERT INTO \"UMUsers\" (\"id\", \"login\") VALUES (7, 'audit')",
       nullptr, "User [audit] may not change anything in this installation."},
      // A table that cannot be read refuses everything; no row changed.
      {"DROP TABLE \"UMUserRights\"", "The rights of user [7] could not be read.",
       "The rights of user [7] could not be read."},
  };
  int64_t sequence = 0;
  for (const auto& step : steps) {
    SCOPED_TRACE(step.sql);
    const int code = m_db.exec(step.sql);
    ASSERT_TRUE(code == 0 || code == 100) << code;
    for (const auto& [entry, refusal] : {std::pair{listing, step.listingRefusal}, {change, step.changeRefusal}}) {
      SCOPED_TRACE(entry.name);
      const std::vector<tkwire::Reply> replies = hosttest::sendAndRead(fd, requestTo(entry, 7, ++sequence));
      if (refusal != nullptr) {
        expectRefusal(replies, entry, sequence, refusal);
      } else {
        EXPECT_TRUE(passedTheHost(replies));
      }
    }
  }
  ::close(fd);
}

}  // namespace
