// The system facts of a media agent named by its network host name: its
// operating-system id as the client row records it.
#include <string>

#include "platform/db/DBSession.h"
#include "platform/db/DBtable.h"
#include "platform/journal/Journal.h"
#include "platform/mmdb/ZQMMClientInfo.h"

int ZQMMmedAgentInfo::getSystemOSId(int& osId, int& clientId) {
  static constexpr const char* kTag = "ZQMMmedAgentInfo::getSystemOSId";
  if (!beginCall(kTag, m_hostName)) return errorCode();
  tkdb::Session session(nullptr);
  tkdb::DbRow row;
  const int rc = session.queryOne(
      "SELECT IFNULL(\"simOperatingSystemId\", 0), \"id\" FROM \"APP_Client\" WHERE \"net_hostname\" = ?1 "
      "ORDER BY \"id\" LIMIT 1",
      {m_hostName}, row);
  if (rc == DB_NO_ROW)
    return fail(kTag, ZQMM_ERR_MEDIA_AGENT_NOT_FOUND, "No media agent on host [" + m_hostName + "].");
  if (rc != 0) return fail(kTag, ZQMM_ERR_DATABASE, session.errorText());
  long long os = 0;
  long long id = 0;
  tkdb::integerOf(row[0], os, true);
  tkdb::integerOf(row[1], id, true);
  osId = static_cast<int>(os);
  clientId = static_cast<int>(id);
  return 0;
}
