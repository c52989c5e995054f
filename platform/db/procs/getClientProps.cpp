// The client-properties batch of the cursor getClientProps, as this
// database runs it: registered under the cursor's name, it takes the three
// values the batch is formatted with (Tarnfold id, client id, user id; only
// the client id is used) and yields what the batch yields: no row for a
// client id without a client row, else one row of the 49 columns with the
// batch's defaults, NULLs, blank padding and trimming:
//   - attribute columns read the client's current attribute (modified 0);
//     without one they take their default, or NULL where there is none;
//   - text columns the batch keeps in char(255) are cut to 255 characters;
//     those it does not trim (the search and web-client URLs) come back
//     blank-padded to 255, so an absent one is 255 blanks; char(1024)
//     columns are cut to 1,024 characters and trimmed;
//   - r_timezone is the name of the time zone whose id is the integer value
//     of the attribute "timezone id", cut to 255 and trimmed; the empty text
//     (never NULL) when none matches;
//   - r_release is the greatest release name over the client's installation
//     records, r_build the build of its most recent one (NULL without any);
//   - r_snapBackupsMAInstalled and r_ArchiverEnabled are computed as the
//     batch computes them.
// The engine runs it for the cursor in place of the batch's text, with the
// values formatted into the text as its inputs.
#include "Db/Cursor/getClientProps.h"

#include <string>
#include <vector>

#include "platform/db/procs/ProcBodySupport.h"

namespace {

constexpr const char* kName = "getClientProps";

std::string attr(const char* name) {
  return std::string("(SELECT attrVal FROM APP_ClientProp WHERE componentNameId = ?1 AND attrName = '") + name +
         "' AND modified = 0 LIMIT 1)";
}
std::string intAttr(const char* name) { return "CAST(" + attr(name) + " AS INTEGER)"; }
std::string intAttr(const char* name, int otherwise) {
  return "IFNULL(" + intAttr(name) + ", " + std::to_string(otherwise) + ")";
}
// A char(N) column: cut to N characters.
std::string cut(const std::string& value, int width) {
  return "substr(" + value + ", 1, " + std::to_string(width) + ")";
}
// A char(N) column read trimmed.
std::string trimmed(const std::string& value, int width) { return "RTRIM(" + cut(value, width) + ")"; }
// A char(255) column with the default empty text, read untrimmed: padded.
std::string padded(const std::string& value) {
  return cut("IFNULL(" + value + ", '') || '" + std::string(255, ' ') + "'", 255);
}

// A column of the client's row.
std::string col(const char* name) { return std::string("C.") + name; }

// The one select of the batch's equivalent, over the client id (?1); empty
// when it would not yield the cursor's columns.
std::string buildSql() {
  const std::vector<std::string> columns = {
      col("name"),                                 // r_name
      col("clientDescription"),                    // r_desc
      "RTRIM(" + col("net_hostname") + ")",        // r_netHostName
      trimmed(attr("VeldrunInterface"), 255),      // r_interface
      intAttr("DiskFullPercent"),                  // r_diskFull
      intAttr("AgingDays"),                        // r_cacheAging
      intAttr("Proxy Content Indexing"),           // r_contentProxy
      intAttr("JobResultsThresholdMB", 0),         // r_jobResultsThresholdMB
      trimmed(attr("Patch Local Location"), 255),  // r_patchLoc
      intAttr("Patch Location flag"),              // r_patchLocFlag
      "RTRIM(" + col("TkHostName") + ")",          // r_TkHostName
      trimmed("(SELECT install_dir FROM APP_Platform WHERE clientId = ?1 AND platformType = 4 ORDER BY id LIMIT 1)",
              255),  // r_WyvoranInstallDir
      "RTRIM(" +
          cut("IFNULL((SELECT TimeZoneName FROM SchedTimeZone WHERE TimeZoneID IN (SELECT CAST(attrVal AS "
              "INTEGER) FROM APP_ClientProp WHERE componentNameId = ?1 AND attrName = 'timezone id' AND "
              "modified = 0) LIMIT 1), '')",
              255) +
          ")",                                     // r_timezone
      col("clientSkewTime"),                       // r_TkClockSkew
      intAttr("Encrypt: restoreAccess"),           // r_restoreAccess
      intAttr("Encrypt: drToolAccess"),            // r_drtoolAccess
      trimmed(attr("Alt Cache Partition"), 1024),  // r_AltCachePrt
      "RTRIM(" + col("jobResultDir") + ")",        // r_JobResultsDir
      "(SELECT R.\"release\" FROM simInstallHistory H JOIN simAllHalvaneRel R ON R.id = H.releaseId "
      "WHERE H.clientId = ?1 ORDER BY R.\"release\" DESC LIMIT 1)",  // r_release
      "(SELECT H.build FROM simInstallHistory H WHERE H.clientId = ?1 ORDER BY H.installTime DESC LIMIT 1)",  // r_build
      trimmed(attr("Centera Resource File"), 1024),    // r_resourceFileName
      col("zqdPort"),                                  // r_zqdPort
      col("evmgrcPort"),                               // r_evmgrcPort
      intAttr("Encrypt: Type", 2),                     // r_cipher
      intAttr("Encrypt: Key Length", 128),             // r_keylen
      trimmed(attr("Job Results Dir Username"), 255),  // r_JRusername
      intAttr("Content Indexing Enabled", 0),          // r_contentIndexingEnabled
      trimmed(attr("FLR Log Filepath"), 1024),         // r_CDRLogLocation
      intAttr("NW Err Retry Flag", 1),                 // r_nwErrRetryFlag
      intAttr("NW Err Retry Frequency", 30),           // r_nwErrRetryFreq
      intAttr("NW Err Retry Count", 40),               // r_nwErrRetryCount
      intAttr("Virtual Client", 0),                    // r_isVitualClient
      intAttr("Active Physical Node", 0),              // r_physicalNode
      padded(attr("URL for Compliance Search")),       // r_complianceSearchURL
      padded(attr("URL for End-User Search")),         // r_endUserSearchURL
      padded(attr("URL for Administrator")),           // r_AdminURL
      intAttr("Web Server for Search", 0),             // r_webServerForSearch
      intAttr("Proxy for Exchange", 0),                // r_proxyForExchange
      intAttr("UPDATE CACHE AGENT ID", 0),             // r_updateCacheAgentId
      intAttr("Snap Shot Engine", 0),                  // r_snapShotEngine
      intAttr("Snap Backups Enabled", 0),              // r_snapBackupsEnabled
      "CASE WHEN EXISTS (SELECT 1 FROM APP_Platform WHERE clientId = ?1 AND platformType = 2) "
      "AND (EXISTS (SELECT 1 FROM patchInfo WHERE clientId = ?1 AND AppTypeId = 1071) "
      "OR EXISTS (SELECT 1 FROM SimOperatingSystem S WHERE S.id = " +
          col("simOperatingSystemId") +
          " AND S.type <> 'Windows')) "
          "AND IFNULL(" +
          col("releaseId") + ", 0) >= 13 THEN 1 ELSE 0 END",  // r_snapBackupsMAInstalled
      intAttr("Collect Delegate Information", 0),             // r_collectDelegateInfo
      intAttr("Do not Single Instance Email Messages", 0),    // r_donotSingleInstance
      intAttr("Proxy Filesystem Client Id", 0),               // r_proxyFSClientId
      intAttr("Global Zone Host", 0),                         // r_globalZoneHostId
      padded(attr("Web Search Server For Webclient")),        // r_webSearchServer
      padded(attr("Web Service URL For Webclient")),          // r_searchServiceUrl
      "IFNULL((SELECT CAST(P.attrVal AS INTEGER) FROM APP_IDAProp P WHERE P.componentNameId IN "
      "(SELECT id FROM APP_IDAName WHERE clientId = ?1) AND P.attrName = 'Enable Archive' AND P.modified = 0 "
      "ORDER BY P.attrVal DESC LIMIT 1), 0)",  // r_ArchiverEnabled
  };
  if (columns.size() != static_cast<size_t>(GetClientProps_t::kColumnCount)) return std::string();
  std::string sql = "SELECT ";
  for (size_t i = 0; i < columns.size(); ++i) sql += (i == 0 ? "" : ", ") + columns[i];
  sql += " FROM APP_Client C WHERE C.id = ?1";
  return sql;
}

int body(tkdb::ProcCall& call) {
  std::vector<long long> in;
  if (!tkprocs::integerInputs(call, kName, 3, "three integers (Tarnfold id, client id, user id)", in)) {
    return DB_ERR_INPUT;
  }
  static const std::string sql = buildSql();
  if (sql.empty()) {
    call.error = std::string(kName) + ": the batch does not yield the cursor's columns";
    return DB_ERR_PROC;
  }
  return tkprocs::answer(call, sql, {in[1]});
}

[[maybe_unused]] const bool kRegistered = tkprocs::registered(kName, body);

}  // namespace
