// The client-properties cursor: its batch's size check and placeholders in
// both engine modes, and the rows its equivalent yields over seeded
// clients, attributes, platforms, time zones, systems, updates, agent
// instances and installation records: defaults, NULLs, trimming and blank
// padding, as the NDMP server-properties lookup reads them.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "Db/Cursor/getClientProps.h"
#include "platform/testkit/db.h"
#include "tests/support/RowFill.h"
#include "tests/support/Seed.h"

namespace {

const std::string kBatch = GETCLIENTPROPS_SQL;
const std::string k255Blanks(255, ' ');

size_t countOf(const std::string& text, const std::string& needle) {
  size_t n = 0;
  for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++n;
  return n;
}

// --- the batch --------------------------------------------------------------------------

TEST(ClientPropsBatch, ThreeIntegerPlaceholdersInTheAssignmentsAndNoOtherConversion) {
  EXPECT_EQ(3u, countOf(kBatch, "%"));
  EXPECT_EQ(3u, countOf(kBatch, "%d"));
  EXPECT_NE(std::string::npos, kBatch.find("SELECT @tarnfoldId = %d, @clientId = %d, @userId = %d\n"));
  EXPECT_EQ(0u, kBatch.find("SET NOCOUNT ON\n"));
  EXPECT_EQ(kBatch.size() - std::string("SET NOCOUNT OFF\n").size(), kBatch.rfind("SET NOCOUNT OFF\n"));
  EXPECT_NE(std::string::npos,
            kBatch.find("IF object_id('tempdb.dbo.#CLIENT_PROPS') IS NOT NULL DROP TABLE #CLIENT_PROPS"));
  EXPECT_NE(std::string::npos, kBatch.find("INTO #CLIENT_PROPS FROM APP_Client WITH (NOLOCK) WHERE id = @clientId"));
  EXPECT_NE(std::string::npos, kBatch.find("\nDROP TABLE #CLIENT_PROPS\n"));
  // Only the client id is used by the queries: the others are declared and assigned.
  EXPECT_EQ(2u, countOf(kBatch, "@tarnfoldId"));
  EXPECT_EQ(2u, countOf(kBatch, "@userId"));
  EXPECT_LT(40u, countOf(kBatch, "@clientId"));
}

class ClientProps : public tktest::DatabaseTest {
 protected:
  void SetUp() override {
    ASSERT_EQ(0, db.exec("INSERT INTO SimOperatingSystem (id, type) VALUES (1, 'Windows'), (2, 'Unix')"));
    ASSERT_EQ(0, db.exec("INSERT INTO APP_Client (id, name, clientDescription, net_hostname, TkHostName, "
                         "clientSkewTime, jobResultDir, zqdPort, evmgrcPort, releaseId, simOperatingSystemId) VALUES "
                         "(7, 'client7', 'the seventh  ', 'host7.example.net   ', 'tk.example.net  ', 12, '/jr/7  ', "
                         "8400, 8401, 13, 2), "
                         "(8, 'bare', NULL, 'bare.example.net', 'tk.example.net', 0, '', 8400, 8401, NULL, NULL)"));
  }
  void attribute(int client, const std::string& name, const std::string& value, int modified = 0) {
    ASSERT_EQ(0, db.exec("INSERT INTO APP_ClientProp (componentNameId, attrName, attrVal, modified) "
                         "VALUES (?, ?, ?, ?)",
                         {client, name, value, modified}));
  }
  // Fetches the one row of the client; false when none came.
  bool fetch(GetClientProps& cursor, int client, int tarnfold = 2, int user = 0) {
    cursor.setValues(tarnfold, client, user);
    int status = 0;
    int result = getNextRow(&cursor, &status, -1, 0);
    if (result != 0) return false;
    EXPECT_EQ(1, status);
    EXPECT_EQ(100, getNextRow(&cursor, &status, -1, 0)) << "at most one row";
    return true;
  }
};

TEST_F(ClientProps, SetValuesChecksTheQuerySizeAndFormatsTheBatchInBothModes) {
  tktest::forBothModes([&](int) {
    testkit::db::journal().reset();
    GetClientProps cursor(nullptr);
    cursor.setValues(5, 7, 0);
    std::vector<tkjournal::Call> check = testkit::db::journal().calls("querySizeCheck");
    ASSERT_EQ(1u, check.size());
    EXPECT_EQ((std::vector<std::string>{"getClientProps", std::to_string((kBatch.size() + 36) * 2), "false"}),
              check[0].args);
    EXPECT_TRUE(testkit::db::journal().calls("valuesClauseCheck").empty());
    const std::string& text = cursor.getQueryText();
    EXPECT_NE(std::string::npos, text.find("SELECT @tarnfoldId = 5, @clientId = 7, @userId = 0\n"));
    EXPECT_EQ(kBatch.size() - 6 + 3, text.size());  // three "%d" became "5", "7" and "0"
    EXPECT_EQ(0, cursor.getInputsBound());
    EXPECT_EQ(0u, cursor.getBoundInputCount());
    EXPECT_EQ("", cursor.getValuesClause());

    cursor.setValues(INT_MIN, INT_MAX, -1);  // a new run: the query starts afresh
    EXPECT_EQ(0u, cursor.getQueryText().find("SET NOCOUNT ON"));
    EXPECT_NE(std::string::npos,
              cursor.getQueryText().find("SELECT @tarnfoldId = -2147483648, @clientId = 2147483647, @userId = -1\n"));
    EXPECT_EQ(1u, countOf(cursor.getQueryText(), "SET NOCOUNT ON"));
    EXPECT_LE(cursor.getQueryText().size(), (kBatch.size() + 36) * 2);
  });
}

// The batch's equivalent gets the three values; only the client id counts.
TEST_F(ClientProps, TheEquivalentRunsWithTheThreeValuesAndTheSameRowForAnyTarnfoldOrUser) {
  GetClientProps first(nullptr);
  ASSERT_TRUE(fetch(first, 7, 2, 0));
  std::vector<tkjournal::Call> calls = testkit::db::journal().calls("procedure");
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ((std::vector<std::string>{"getClientProps", "2", "7", "0"}), calls.back().args);
  EXPECT_EQ(3, first.getKind()) << "a cursor throughout";
  GetClientProps other(nullptr);
  ASSERT_TRUE(fetch(other, 7, 99, 123));
  tktest::expectSameRow(*first.getDataPtr(), *other.getDataPtr());
}

TEST_F(ClientProps, AClientWithoutAttributesGetsTheDefaults) {
  tktest::forBothModes([&](int mode) {
    GetClientProps cursor(nullptr);
    ASSERT_TRUE(fetch(cursor, 8));
    const GetClientProps_t& r = *cursor.getDataPtr();
    EXPECT_STREQ("bare", r.r_name);
    EXPECT_EQ(2, r.r_cipher);
    EXPECT_EQ(128, r.r_keylen);
    EXPECT_EQ(1, r.r_nwErrRetryFlag);
    EXPECT_EQ(30, r.r_nwErrRetryFreq);
    EXPECT_EQ(40, r.r_nwErrRetryCount);
    for (int v : {r.r_jobResultsThresholdMB, r.r_contentIndexingEnabled, r.r_isVitualClient, r.r_physicalNode,
                  r.r_webServerForSearch, r.r_proxyForExchange, r.r_updateCacheAgentId, r.r_snapShotEngine,
                  r.r_snapBackupsEnabled, r.r_snapBackupsMAInstalled, r.r_collectDelegateInfo, r.r_donotSingleInstance,
                  r.r_proxyFSClientId, r.r_globalZoneHostId, r.r_ArchiverEnabled}) {
      EXPECT_EQ(0, v);
    }
    for (const char* url :
         {r.r_complianceSearchURL, r.r_endUserSearchURL, r.r_AdminURL, r.r_webSearchServer, r.r_searchServiceUrl}) {
      EXPECT_EQ(k255Blanks, url);  // the empty text blank-filled to the column's width
    }
    EXPECT_STREQ("", r.r_timezone);
    EXPECT_STREQ("", r.r_interface);

    if (mode == 1) {
      // NULL where the table has no default; the time zone is never NULL.
      const long long* ind = cursor.getIndicators();
      auto indicatorOf = [&](const char* column) {
        const ZQDBColumns& c = GetClientProps_t::zqdbColumns();
        for (int i = 0; i < c.count; ++i) {
          if (std::strcmp(c.cols[i].name, column) == 0) return ind[i];
        }
        ADD_FAILURE() << column;
        return 0LL;
      };
      for (const char* column :
           {"r_desc", "r_interface", "r_diskFull", "r_cacheAging", "r_contentProxy", "r_patchLoc", "r_patchLocFlag",
            "r_WyvoranInstallDir", "r_restoreAccess", "r_drtoolAccess", "r_AltCachePrt", "r_release", "r_build",
            "r_resourceFileName", "r_JRusername", "r_CDRLogLocation"}) {
        EXPECT_EQ(ZQDB_NULL_DATA, indicatorOf(column)) << column;
      }
      for (const char* column : {"r_timezone", "r_cipher", "r_keylen", "r_AdminURL", "r_ArchiverEnabled",
                                 "r_snapBackupsMAInstalled", "r_jobResultsThresholdMB"}) {
        EXPECT_NE(ZQDB_NULL_DATA, indicatorOf(column)) << column;
      }
      EXPECT_EQ(255, indicatorOf("r_AdminURL"));
      ZQDBDataTypeBase* desc = cursor.getCatalogue()->columnMap().at("r_desc");
      EXPECT_TRUE(desc->isNull());
      ZQDBDataTypeBase* keylen = cursor.getCatalogue()->columnMap().at("r_keylen");
      ASSERT_NE(nullptr, dynamic_cast<ZQDB_int*>(keylen));
      EXPECT_EQ(128, dynamic_cast<ZQDB_int*>(keylen)->getValue());
    }
  });
}

TEST_F(ClientProps, AttributesClientColumnsAndTheirTrimmingOrPadding) {
  attribute(7, "VeldrunInterface", "eth0   ");
  attribute(7, "DiskFullPercent", "85");
  attribute(7, "agingdays", "30");  // names compare without regard to case
  attribute(7, "Encrypt: Type", "3");
  attribute(7, "Encrypt: Key Length", "256");
  attribute(7, "NW Err Retry Count", "5");
  attribute(7, "URL for Administrator", "http://admin");
  attribute(7, "Web Search Server For Webclient", std::string(300, 'w'));
  attribute(7, "Alt Cache Partition", std::string(1100, 'c'));
  attribute(7, "Job Results Dir Username", "jr-user  ");
  ASSERT_EQ(0, db.exec("INSERT INTO APP_Platform (clientId, platformType, install_dir) VALUES "
                       "(7, 2, '/opt/other'), (7, 4, '/opt/tarn   ')"));
  ASSERT_EQ(0, db.exec("INSERT INTO simAllHalvaneRel (id, release) VALUES (1, '11.0'), (2, '13.2'), (3, '12.9')"));
  ASSERT_EQ(0, db.exec("INSERT INTO simInstallHistory (clientId, releaseId, build, installTime) VALUES "
                       "(7, 2, 'b1302', 100), (7, 3, 'b1290', 300), (7, 1, 'b1100', 200), (8, 2, 'other', 999)"));
  tktest::forBothModes([&](int) {
    GetClientProps cursor(nullptr);
    ASSERT_TRUE(fetch(cursor, 7));
    const GetClientProps_t& r = *cursor.getDataPtr();
    EXPECT_STREQ("client7", r.r_name);
    EXPECT_STREQ("the seventh  ", r.r_desc);  // not trimmed
    EXPECT_STREQ("host7.example.net", r.r_netHostName);
    EXPECT_STREQ("tk.example.net", r.r_TkHostName);
    EXPECT_STREQ("/jr/7", r.r_JobResultsDir);
    EXPECT_EQ(12, r.r_TkClockSkew);
    EXPECT_EQ(8400, r.r_zqdPort);
    EXPECT_EQ(8401, r.r_evmgrcPort);
    EXPECT_STREQ("eth0", r.r_interface);
    EXPECT_EQ(85, r.r_diskFull);
    EXPECT_EQ(30, r.r_cacheAging);
    EXPECT_EQ(3, r.r_cipher);
    EXPECT_EQ(256, r.r_keylen);
    EXPECT_EQ(5, r.r_nwErrRetryCount);
    EXPECT_EQ(30, r.r_nwErrRetryFreq);
    EXPECT_EQ("http://admin" + std::string(255 - 12, ' '), r.r_AdminURL);
    EXPECT_EQ(std::string(255, 'w'), r.r_webSearchServer);  // cut to the column's width
    EXPECT_EQ(std::string(255, 'c'), r.r_AltCachePrt);      // cut to the field
    EXPECT_STREQ("jr-user", r.r_JRusername);
    EXPECT_STREQ("/opt/tarn", r.r_WyvoranInstallDir);  // platform type 4 only
    EXPECT_STREQ("13.2", r.r_release);                 // the greatest release
    EXPECT_STREQ("b1290", r.r_build);                  // the most recent installation
  });
}

TEST_F(ClientProps, AttributesModifiedAreIgnored) {
  attribute(7, "Encrypt: Type", "9", 1);
  attribute(7, "VeldrunInterface", "old", 2);
  attribute(7, "URL for Compliance Search", "http://old", 1);
  GetClientProps cursor(nullptr);
  ASSERT_TRUE(fetch(cursor, 7));
  EXPECT_EQ(2, cursor.getDataPtr()->r_cipher);
  EXPECT_STREQ("", cursor.getDataPtr()->r_interface);
  EXPECT_EQ(k255Blanks, cursor.getDataPtr()->r_complianceSearchURL);
}

TEST_F(ClientProps, ArchivingIsOnWhenAnyInstanceHasIt) {
  ASSERT_EQ(0, db.exec("INSERT INTO APP_IDAName (id, clientId) VALUES (1, 7), (2, 7), (3, 8)"));
  ASSERT_EQ(0, db.exec("INSERT INTO APP_IDAProp (componentNameId, attrName, attrVal, modified) VALUES "
                       "(1, 'Enable Archive', '0', 0), (2, 'Enable Archive', '1', 0), (3, 'Enable Archive', '0', 0), "
                       "(3, 'Enable Archive', '1', 5)"));
  GetClientProps seven(nullptr);
  ASSERT_TRUE(fetch(seven, 7));
  EXPECT_EQ(1, seven.getDataPtr()->r_ArchiverEnabled);
  GetClientProps eight(nullptr);
  ASSERT_TRUE(fetch(eight, 8));
  EXPECT_EQ(0, eight.getDataPtr()->r_ArchiverEnabled);
}

TEST_F(ClientProps, SnapshotBackupsNeedAPlatformOfType2AndANewEnoughRelease) {
  struct Case {
    const char* what;
    int os;
    int release;
    bool platform2;
    bool patch1071;
    int expected;
  };
  const Case kCases[] = {
      {"non-Windows, release 13", 2, 13, true, false, 1},
      {"non-Windows, release 12", 2, 12, true, false, 0},
      {"non-Windows without the platform", 2, 14, false, false, 0},
      {"Windows without the update", 1, 14, true, false, 0},
      {"Windows with update 1071", 1, 13, true, true, 1},
      {"Windows with the update, release 12", 1, 12, true, true, 0},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(0, db.exec("DELETE FROM APP_Platform"));
    ASSERT_EQ(0, db.exec("DELETE FROM patchInfo"));
    ASSERT_EQ(0,
              db.exec("UPDATE APP_Client SET simOperatingSystemId = ?, releaseId = ? WHERE id = 7", {c.os, c.release}));
    if (c.platform2) {
      ASSERT_EQ(0, db.exec("INSERT INTO APP_Platform (clientId, platformType) VALUES (7, 2)"));
    }
    if (c.patch1071) {
      ASSERT_EQ(0, db.exec("INSERT INTO patchInfo (clientId, AppTypeId) VALUES (7, 1071)"));
    }
    GetClientProps cursor(nullptr);
    ASSERT_TRUE(fetch(cursor, 7));
    EXPECT_EQ(c.expected, cursor.getDataPtr()->r_snapBackupsMAInstalled);
  }
}

// A test's override of the cursor's name serves the cursor as it serves a
// procedure; a scripted failure reaches the lookup as no row.
TEST_F(ClientProps, AnOverrideOfTheCursorsNameServesIt) {
  tkdb::DbRow row(GetClientProps_t::kColumnCount);
  row[0] = "scripted";
  row[12] = "Pacific/Auckland";
  testkit::db::overrideProcedure("getClientProps", {row});
  std::string zone;
  EXPECT_TRUE(clientTimeZoneName(2, 4242, zone));
  EXPECT_EQ("Pacific/Auckland", zone);
  std::vector<tkjournal::Call> calls = testkit::db::journal().calls("procedure");
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ((std::vector<std::string>{"getClientProps", "2", "4242", "0"}), calls.back().args);

  testkit::db::failProcedure("getClientProps", 50001, "refused");
  EXPECT_FALSE(clientTimeZoneName(2, 7, zone));
  EXPECT_EQ("", zone);
}

// --- the NDMP server-properties lookup's use ------------------------------------------------

TEST_F(ClientProps, TheTimeZoneNameForTheServerProperties) {
  ASSERT_EQ(0, db.exec("INSERT INTO SchedTimeZone (TimeZoneID, TimeZoneName) VALUES (35, '(UTC+01:00) Amsterdam  ')"));
  attribute(7, "timezone id", "35");
  attribute(8, "timezone id", "77");  // no such time zone
  GetClientProps eight(nullptr);
  ASSERT_TRUE(fetch(eight, 8));
  EXPECT_STREQ("", eight.getDataPtr()->r_timezone);
  EXPECT_EQ(0, eight.getIndicators()[12]) << "the time zone is an empty text, never NULL";
  tktest::forBothModes([&](int) {
    std::string zone = "stale";
    EXPECT_TRUE(clientTimeZoneName(2, 7, zone));
    EXPECT_EQ("(UTC+01:00) Amsterdam", zone);  // trimmed
    EXPECT_FALSE(clientTimeZoneName(2, 8, zone));  // no such zone: empty, no item
    EXPECT_EQ("", zone);
    EXPECT_FALSE(clientTimeZoneName(2, 4242, zone));  // no client row
    testkit::db::journal().injectFailure("getNextRow", 204, "locked");
    zone = "stale";
    EXPECT_FALSE(clientTimeZoneName(2, 7, zone));
    EXPECT_EQ("", zone);
  });
}

}  // namespace
