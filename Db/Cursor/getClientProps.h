// Binding of the cursor getClientProps (class GetClientProps): one fixed
// batch on the management database that yields at most one row of 49
// properties of a client (names, host names, directories, ports,
// encryption and network-retry settings, search URLs, snapshot and
// archiving switches, time-zone name, installed release), gathered from
// the client, client-attribute, platform, time-zone, operating-system,
// update-information, agent-instance-attribute and release tables through
// a temporary table that lives only while the batch runs.
//
// setValues(tarnfoldId, clientId, userId) checks the query size ((length
// of the batch + 36) * 2, the query restarted) and formats the batch with
// the three values, which stand in its variable assignments; only the
// client id changes the result. The NDMP server-properties lookup reads
// the time-zone name from it:
//
//   std::string zone;
//   if (clientTimeZoneName(tarnfoldId, clientId, zone)) ... item 11839 = zone ...
//
// The batch is written in the server database's own dialect, which this
// database cannot run. The engine runs the batch's equivalent instead, the
// body registered under the cursor's name (platform/db/procs/
// getClientProps.cpp), with the three values formatted into the batch as
// its inputs; it yields the same columns, defaults and blank padding, and
// fills the row, the indicators and the catalogue as for any row. The
// cursor is read through the engine's row readers like any object, also
// through a plain DBtable*.
#pragma once

#include <cstring>
#include <string>

#include "Db/ZQDBProcBinding.h"

#define GETCLIENTPROPS_COLUMNS(COL)   \
  COL(r_name, s, 256)                 \
  COL(r_desc, s, 256)                 \
  COL(r_netHostName, s, 256)          \
  COL(r_interface, s, 256)            \
  COL(r_diskFull, i, 0)               \
  COL(r_cacheAging, i, 0)             \
  COL(r_contentProxy, i, 0)           \
  COL(r_jobResultsThresholdMB, i, 0)  \
  COL(r_patchLoc, s, 256)             \
  COL(r_patchLocFlag, i, 0)           \
  COL(r_TkHostName, s, 256)           \
  COL(r_WyvoranInstallDir, s, 256)    \
  COL(r_timezone, s, 511)             \
  COL(r_TkClockSkew, i, 0)            \
  COL(r_restoreAccess, i, 0)          \
  COL(r_drtoolAccess, i, 0)           \
  COL(r_AltCachePrt, s, 256)          \
  COL(r_JobResultsDir, s, 511)        \
  COL(r_release, s, 256)              \
  COL(r_build, s, 256)                \
  COL(r_resourceFileName, s, 256)     \
  COL(r_zqdPort, i, 0)                \
  COL(r_evmgrcPort, i, 0)             \
  COL(r_cipher, i, 0)                 \
  COL(r_keylen, i, 0)                 \
  COL(r_JRusername, s, 256)           \
  COL(r_contentIndexingEnabled, i, 0) \
  COL(r_CDRLogLocation, s, 256)       \
  COL(r_nwErrRetryFlag, i, 0)         \
  COL(r_nwErrRetryFreq, i, 0)         \
  COL(r_nwErrRetryCount, i, 0)        \
  COL(r_isVitualClient, i, 0)         \
  COL(r_physicalNode, i, 0)           \
  COL(r_complianceSearchURL, s, 256)  \
  COL(r_endUserSearchURL, s, 256)     \
  COL(r_AdminURL, s, 256)             \
  COL(r_webServerForSearch, i, 0)     \
  COL(r_proxyForExchange, i, 0)       \
  COL(r_updateCacheAgentId, i, 0)     \
  COL(r_snapShotEngine, i, 0)         \
  COL(r_snapBackupsEnabled, i, 0)     \
  COL(r_snapBackupsMAInstalled, i, 0) \
  COL(r_collectDelegateInfo, i, 0)    \
  COL(r_donotSingleInstance, i, 0)    \
  COL(r_proxyFSClientId, i, 0)        \
  COL(r_globalZoneHostId, i, 0)       \
  COL(r_webSearchServer, s, 256)      \
  COL(r_searchServiceUrl, s, 256)     \
  COL(r_ArchiverEnabled, i, 0)

// One current attribute of the client (modified 0) of the attribute table,
// as text or as an integer.
#define GETCLIENTPROPS_TEXT(NAME)                                                                                      \
  "(SELECT attrVal FROM APP_ClientProp WITH (NOLOCK) WHERE componentNameId = @clientId AND attrName = '" NAME          \
  "' AND modified = 0)"
#define GETCLIENTPROPS_INT(NAME)                                                                                       \
  "(SELECT CONVERT(int, attrVal) FROM APP_ClientProp WITH (NOLOCK) WHERE componentNameId = @clientId AND "             \
  "attrName = '" NAME "' AND modified = 0)"

// The batch. Three integer placeholders, in the variable assignments:
// Tarnfold id, client id, user id.
#define GETCLIENTPROPS_SQL                                                                                             \
  "SET NOCOUNT ON\n"                                                                                                   \
  "DECLARE @tarnfoldId int, @clientId int, @userId int\n"                                                              \
  "SELECT @tarnfoldId = %d, @clientId = %d, @userId = %d\n"                                                            \
  "IF object_id('tempdb.dbo.#CLIENT_PROPS') IS NOT NULL DROP TABLE #CLIENT_PROPS\n"                                    \
  "SELECT name AS r_name, clientDescription AS r_desc, net_hostname AS r_netHostName,\n"                               \
  " CAST('' AS char(255)) AS r_interface, CAST(NULL AS int) AS r_diskFull, CAST(NULL AS int) AS r_cacheAging,\n"       \
  " CAST(NULL AS int) AS r_contentProxy, CAST(0 AS int) AS r_jobResultsThresholdMB,\n"                                 \
  " CAST('' AS char(255)) AS r_patchLoc, CAST(NULL AS int) AS r_patchLocFlag, TkHostName AS r_TkHostName,\n"           \
  " CAST('' AS char(255)) AS r_WyvoranInstallDir, CAST('' AS nvarchar(255)) AS r_timezone,\n"                          \
  " clientSkewTime AS r_TkClockSkew, CAST(NULL AS int) AS r_restoreAccess, CAST(NULL AS int) AS r_drtoolAccess,\n"     \
  " CAST('' AS char(1024)) AS r_AltCachePrt, jobResultDir AS r_JobResultsDir,\n"                                       \
  " CAST('' AS char(1024)) AS r_resourceFileName, zqdPort AS r_zqdPort, evmgrcPort AS r_evmgrcPort,\n"                 \
  " CAST(2 AS int) AS r_cipher, CAST(128 AS int) AS r_keylen, CAST('' AS char(255)) AS r_JRusername,\n"                \
  " CAST(0 AS int) AS r_contentIndexingEnabled, CAST('' AS char(1024)) AS r_CDRLogLocation,\n"                         \
  " CAST(1 AS int) AS r_nwErrRetryFlag, CAST(30 AS int) AS r_nwErrRetryFreq, CAST(40 AS int) AS"                       \
  " r_nwErrRetryCount,\n"                                                                                              \
  " CAST(0 AS int) AS r_isVitualClient, CAST(0 AS int) AS r_physicalNode,\n"                                           \
  " CAST('' AS char(255)) AS r_complianceSearchURL, CAST('' AS char(255)) AS r_endUserSearchURL,\n"                    \
  " CAST('' AS char(255)) AS r_AdminURL, CAST(0 AS int) AS r_webServerForSearch,\n"                                    \
  " CAST(0 AS int) AS r_proxyForExchange, CAST(0 AS int) AS r_updateCacheAgentId,\n"                                   \
  " CAST(0 AS int) AS r_snapShotEngine, CAST(0 AS int) AS r_snapBackupsEnabled,\n"                                     \
  " CAST(0 AS int) AS r_snapBackupsMAInstalled, CAST(0 AS int) AS r_collectDelegateInfo,\n"                            \
  " CAST(0 AS int) AS r_donotSingleInstance, CAST(0 AS int) AS r_proxyFSClientId,\n"                                   \
  " CAST(0 AS int) AS r_globalZoneHostId, CAST('' AS char(255)) AS r_webSearchServer,\n"                               \
  " CAST('' AS char(255)) AS r_searchServiceUrl, CAST(0 AS int) AS r_ArchiverEnabled\n"                                \
  "INTO #CLIENT_PROPS FROM APP_Client WITH (NOLOCK) WHERE id = @clientId\n"                                            \
  "UPDATE #CLIENT_PROPS SET r_interface = " GETCLIENTPROPS_TEXT("VeldrunInterface") "\n"                               \
  "UPDATE #CLIENT_PROPS SET r_diskFull = " GETCLIENTPROPS_INT("DiskFullPercent") "\n"                                  \
  "UPDATE #CLIENT_PROPS SET r_cacheAging = " GETCLIENTPROPS_INT("AgingDays") "\n"                                      \
  "UPDATE #CLIENT_PROPS SET r_contentProxy = " GETCLIENTPROPS_INT("Proxy Content Indexing") "\n"                       \
  "UPDATE #CLIENT_PROPS SET r_jobResultsThresholdMB = ISNULL(" GETCLIENTPROPS_INT("JobResultsThresholdMB") ", 0)\n"    \
  "UPDATE #CLIENT_PROPS SET r_patchLoc = " GETCLIENTPROPS_TEXT("Patch Local Location") "\n"                            \
  "UPDATE #CLIENT_PROPS SET r_patchLocFlag = " GETCLIENTPROPS_INT("Patch Location flag") "\n"                          \
  "UPDATE #CLIENT_PROPS SET r_restoreAccess = " GETCLIENTPROPS_INT("Encrypt: restoreAccess") "\n"                      \
  "UPDATE #CLIENT_PROPS SET r_drtoolAccess = " GETCLIENTPROPS_INT("Encrypt: drToolAccess") "\n"                        \
  "UPDATE #CLIENT_PROPS SET r_AltCachePrt = " GETCLIENTPROPS_TEXT("Alt Cache Partition") "\n"                          \
  "UPDATE #CLIENT_PROPS SET r_resourceFileName = " GETCLIENTPROPS_TEXT("Centera Resource File") "\n"                   \
  "UPDATE #CLIENT_PROPS SET r_cipher = ISNULL(" GETCLIENTPROPS_INT("Encrypt: Type") ", 2)\n"                           \
  "UPDATE #CLIENT_PROPS SET r_keylen = ISNULL(" GETCLIENTPROPS_INT("Encrypt: Key Length") ", 128)\n"                   \
  "UPDATE #CLIENT_PROPS SET r_JRusername = " GETCLIENTPROPS_TEXT("Job Results Dir Username") "\n"                      \
  "UPDATE #CLIENT_PROPS SET r_contentIndexingEnabled = ISNULL("                                                        \
  GETCLIENTPROPS_INT("Content Indexing Enabled") ", 0)\n"                                                              \
  "UPDATE #CLIENT_PROPS SET r_CDRLogLocation = " GETCLIENTPROPS_TEXT("FLR Log Filepath") "\n"                          \
  "UPDATE #CLIENT_PROPS SET r_nwErrRetryFlag = ISNULL(" GETCLIENTPROPS_INT("NW Err Retry Flag") ", 1)\n"               \
  "UPDATE #CLIENT_PROPS SET r_nwErrRetryFreq = ISNULL(" GETCLIENTPROPS_INT("NW Err Retry Frequency") ", 30)\n"         \
  "UPDATE #CLIENT_PROPS SET r_nwErrRetryCount = ISNULL(" GETCLIENTPROPS_INT("NW Err Retry Count") ", 40)\n"            \
  "UPDATE #CLIENT_PROPS SET r_isVitualClient = ISNULL(" GETCLIENTPROPS_INT("Virtual Client") ", 0)\n"                  \
  "UPDATE #CLIENT_PROPS SET r_physicalNode = ISNULL(" GETCLIENTPROPS_INT("Active Physical Node") ", 0)\n"              \
  "UPDATE #CLIENT_PROPS SET r_complianceSearchURL = ISNULL("                                                           \
  GETCLIENTPROPS_TEXT("URL for Compliance Search") ", '')\n"                                                           \
  "UPDATE #CLIENT_PROPS SET r_endUserSearchURL = ISNULL(" GETCLIENTPROPS_TEXT("URL for End-User Search") ", '')\n"     \
  "UPDATE #CLIENT_PROPS SET r_AdminURL = ISNULL(" GETCLIENTPROPS_TEXT("URL for Administrator") ", '')\n"               \
  "UPDATE #CLIENT_PROPS SET r_webServerForSearch = ISNULL(" GETCLIENTPROPS_INT("Web Server for Search") ", 0)\n"       \
  "UPDATE #CLIENT_PROPS SET r_proxyForExchange = ISNULL(" GETCLIENTPROPS_INT("Proxy for Exchange") ", 0)\n"            \
  "UPDATE #CLIENT_PROPS SET r_updateCacheAgentId = ISNULL(" GETCLIENTPROPS_INT("UPDATE CACHE AGENT ID") ", 0)\n"       \
  "UPDATE #CLIENT_PROPS SET r_snapShotEngine = ISNULL(" GETCLIENTPROPS_INT("Snap Shot Engine") ", 0)\n"                \
  "UPDATE #CLIENT_PROPS SET r_snapBackupsEnabled = ISNULL(" GETCLIENTPROPS_INT("Snap Backups Enabled") ", 0)\n"        \
  "UPDATE #CLIENT_PROPS SET r_collectDelegateInfo = ISNULL("                                                           \
  GETCLIENTPROPS_INT("Collect Delegate Information") ", 0)\n"                                                          \
  "UPDATE #CLIENT_PROPS SET r_donotSingleInstance = ISNULL("                                                           \
  GETCLIENTPROPS_INT("Do not Single Instance Email Messages") ", 0)\n"                                                 \
  "UPDATE #CLIENT_PROPS SET r_proxyFSClientId = ISNULL(" GETCLIENTPROPS_INT("Proxy Filesystem Client Id") ", 0)\n"     \
  "UPDATE #CLIENT_PROPS SET r_globalZoneHostId = ISNULL(" GETCLIENTPROPS_INT("Global Zone Host") ", 0)\n"              \
  "UPDATE #CLIENT_PROPS SET r_webSearchServer = ISNULL("                                                               \
  GETCLIENTPROPS_TEXT("Web Search Server For Webclient") ", '')\n"                                                     \
  "UPDATE #CLIENT_PROPS SET r_searchServiceUrl = ISNULL("                                                              \
  GETCLIENTPROPS_TEXT("Web Service URL For Webclient") ", '')\n"                                                       \
  "UPDATE #CLIENT_PROPS SET r_WyvoranInstallDir = (SELECT TOP 1 install_dir FROM APP_Platform WITH (NOLOCK)\n"         \
  " WHERE clientId = @clientId AND platformType = 4)\n"                                                                \
  "UPDATE #CLIENT_PROPS SET r_timezone = ISNULL((SELECT TOP 1 TimeZoneName FROM SchedTimeZone WITH (NOLOCK)\n"         \
  " WHERE TimeZoneID IN (SELECT CONVERT(int, attrVal) FROM APP_ClientProp WITH (NOLOCK)\n"                             \
  " WHERE componentNameId = @clientId AND attrName = 'timezone id' AND modified = 0)), '')\n"                          \
  "UPDATE #CLIENT_PROPS SET r_snapBackupsMAInstalled = CASE WHEN\n"                                                    \
  " EXISTS (SELECT 1 FROM APP_Platform WITH (NOLOCK) WHERE clientId = @clientId AND platformType = 2)\n"               \
  " AND (EXISTS (SELECT 1 FROM patchInfo WITH (NOLOCK) WHERE clientId = @clientId AND AppTypeId = 1071)\n"             \
  "  OR EXISTS (SELECT 1 FROM APP_Client C WITH (NOLOCK), SimOperatingSystem S WITH (NOLOCK)\n"                        \
  "  WHERE C.id = @clientId AND C.simOperatingSystemId = S.id AND S.type <> 'Windows'))\n"                             \
  " AND EXISTS (SELECT 1 FROM APP_Client WITH (NOLOCK) WHERE id = @clientId AND releaseId >= 13)\n"                    \
  " THEN 1 ELSE 0 END\n"                                                                                               \
  "UPDATE #CLIENT_PROPS SET r_ArchiverEnabled = ISNULL((SELECT TOP 1 CONVERT(int, P.attrVal)\n"                        \
  " FROM APP_IDAProp P WITH (NOLOCK) WHERE P.componentNameId IN (SELECT id FROM APP_IDAName WITH (NOLOCK)\n"           \
  " WHERE clientId = @clientId) AND P.attrName = 'Enable Archive' AND P.modified = 0\n"                                \
  " ORDER BY P.attrVal DESC), 0)\n"                                                                                    \
  "SELECT r_name, r_desc, RTRIM(r_netHostName), RTRIM(r_interface), r_diskFull, r_cacheAging, r_contentProxy,\n"       \
  " r_jobResultsThresholdMB, RTRIM(r_patchLoc), r_patchLocFlag, RTRIM(r_TkHostName), RTRIM(r_WyvoranInstallDir),\n"    \
  " RTRIM(r_timezone), r_TkClockSkew, r_restoreAccess, r_drtoolAccess, RTRIM(r_AltCachePrt),"                          \
  " RTRIM(r_JobResultsDir),\n"                                                                                         \
  " (SELECT TOP 1 R.[release] FROM simInstallHistory H WITH (NOLOCK), simAllHalvaneRel R WITH (NOLOCK)\n"              \
  "  WHERE H.clientId = @clientId AND H.releaseId = R.id ORDER BY R.[release] DESC) AS r_release,\n"                   \
  " (SELECT TOP 1 H.build FROM simInstallHistory H WITH (NOLOCK) WHERE H.clientId = @clientId\n"                       \
  "  ORDER BY H.installTime DESC) AS r_build,\n"                                                                       \
  " RTRIM(r_resourceFileName), r_zqdPort, r_evmgrcPort, r_cipher, r_keylen, RTRIM(r_JRusername),\n"                    \
  " r_contentIndexingEnabled, RTRIM(r_CDRLogLocation), r_nwErrRetryFlag, r_nwErrRetryFreq, r_nwErrRetryCount,\n"       \
  " r_isVitualClient, r_physicalNode, r_complianceSearchURL, r_endUserSearchURL, r_AdminURL,\n"                        \
  " r_webServerForSearch, r_proxyForExchange, r_updateCacheAgentId, r_snapShotEngine, r_snapBackupsEnabled,\n"         \
  " r_snapBackupsMAInstalled, r_collectDelegateInfo, r_donotSingleInstance, r_proxyFSClientId,\n"                      \
  " r_globalZoneHostId, r_webSearchServer, r_searchServiceUrl, r_ArchiverEnabled\n"                                    \
  "FROM #CLIENT_PROPS\n"                                                                                               \
  "DROP TABLE #CLIENT_PROPS\n"                                                                                         \
  "SET NOCOUNT OFF\n"

inline constexpr ZQDBBindingInfo GetClientProps_info{.headerType = ZQDB_HEADER_CURSOR,
                                                     .dbName = "getClientProps",
                                                     .className = "GetClientProps",
                                                     .header = "Db/Cursor/getClientProps",
                                                     .line = __LINE__};

// Fixed texts and integers only: the row owns nothing.
struct GetClientProps_t {
  GETCLIENTPROPS_COLUMNS(ZQDB_FIELD)
  ZQDB_ROW(GetClientProps_t, GETCLIENTPROPS_COLUMNS)
};

class GetClientProps_t2 : public ZQDBCatalogue<GetClientProps_t2, GetClientProps_t, GetClientProps_info> {
 public:
  GetClientProps_t2() = default;
  GetClientProps_t2(const GetClientProps_t2&) = delete;
  GetClientProps_t2& operator=(const GetClientProps_t2&) = delete;
};

class GetClientProps : public ZQDBCursor<GetClientProps_t, GetClientProps_t2, GetClientProps_info> {
 public:
  explicit GetClientProps(DBtran* tran) : ZQDBCursor(tran) {}

  // Prepares one run of the batch, in both engine modes: the size check,
  // then the batch formatted with the three values. No input is bound and
  // the inputs-bound flag stays 0.
  void setValues(int tarnfoldId, int clientId, int userId) {
    ZQDB_CURSOR_BIND(GETCLIENTPROPS_SQL, tarnfoldId, clientId, userId);
  }
};

// --- what the callers make of the row ---------------------------------------------

// Longest time-zone text the NDMP server-properties reply carries.
inline constexpr size_t kClientTimeZoneReplyMax = 4103;

// The client's time-zone name: runs the cursor without a transaction with
// (Tarnfold id, client id, user 0) and fetches once. True with the name
// (cut to at most 4,103 characters) when that gave a row whose r_timezone
// is not empty; false, with `name` emptied, for no row, a failure or an
// empty name.
inline bool clientTimeZoneName(int tarnfoldId, int clientId, std::string& name) {
  name.clear();
  GetClientProps cursor(nullptr);
  cursor.setValues(tarnfoldId, clientId, 0);
  int status = 0;
  if (getNextRow(&cursor, &status, -1, 0) != 0) return false;
  const char* zone = cursor.getDataPtr()->r_timezone;
  if (zone[0] == '\0') return false;
  name.assign(zone, strnlen(zone, kClientTimeZoneReplyMax));
  return true;
}
