// The NDMP host list over the NDMP host table and the client rows.
#include "platform/mmdb/ZQMMNDMPHostInfo.h"

#include <cstdio>
#include <string>

#include "platform/db/DBSession.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/mmdb/MMJournal.h"

namespace {

constexpr const char* kListCall = "ZQMMNDMPHostInfo::getNDMPHostList";
constexpr const char* kEntryCall = "ZQMMNDMPHostInfo::getNDMPHostInfoByClientIdAndOSType";

constexpr const char* kSelect =
    "SELECT IFNULL(c.\"net_hostname\", ''), n.\"login\", n.\"password\", n.\"listenPort\", n.\"firmwareRevision\", "
    "n.\"osType\", n.\"clientId\", n.\"hostSettingA\", n.\"hostTag\", n.\"capabilityFlags\" "
    "FROM \"MMNDMPHostInfo\" n LEFT JOIN \"APP_Client\" c ON c.\"id\" = n.\"clientId\" ";

template <std::size_t N>
void copyText(char (&field)[N], const tkdb::DbValue& value) {
  std::snprintf(field, N, "%s", value.isNull() ? "" : tkdb::textOf(value).c_str());
}

int32_t numberOf(const tkdb::DbValue& value) {
  long long n = 0;
  return tkdb::integerOf(value, n, true) ? static_cast<int32_t>(n) : 0;
}

void fill(const tkdb::DbRow& row, MMNDMPHostInfoMsg& entry) {
  if (row.size() < 10) return;
  copyText(entry.hostName, row[0]);
  copyText(entry.loginName, row[1]);
  copyText(entry.encryptedPassword, row[2]);
  entry.value1 = numberOf(row[3]);
  copyText(entry.text1, row[4]);
  entry.osType = numberOf(row[5]);
  entry.clientId = numberOf(row[6]);
  entry.value2 = numberOf(row[7]);
  copyText(entry.text2, row[8]);
  entry.value3 = numberOf(row[9]);
}

// Journals the call and takes its scripted failure; false when it fails.
// The arguments are made texts only while the journal is on.
template <class... A>
bool begin(const char* call, const A&... arguments) {
  if (!tkmmdb::journalOn()) return true;
  tkmmdb::journal().record(call, tkmmdb::journalArgs(arguments...));
  tkmmdb::Failure failure;
  if (!tkmmdb::takeFailure(call, failure)) return true;
  EvDebug::Error(call, "%s", failure.text.c_str());
  return false;
}

}  // namespace

ZQMMNDMPHostInfo::ZQMMNDMPHostInfo(int value) : m_value(value) {}

int ZQMMNDMPHostInfo::getNDMPHostList(std::unique_ptr<MMNDMPHostInfoMsg[]>& list) {
  list.reset();
  if (!begin(kListCall)) return -1;
  tkdb::Session session;
  tkdb::DbRows rows;
  const int rc = session.query(std::string(kSelect) + "ORDER BY n.\"ndmpHostId\"", {}, rows);
  if (rc != 0 && rc != DB_NO_ROW) {
    EvDebug::Error(kListCall, "%s", session.errorText().c_str());
    return -1;
  }
  if (rows.empty()) return 0;
  list = std::make_unique<MMNDMPHostInfoMsg[]>(rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) fill(rows[i], list[i]);
  return static_cast<int>(rows.size());
}

int ZQMMNDMPHostInfo::getNDMPHostInfoByClientIdAndOSType(int clientId, int osType, MMNDMPHostInfoMsg& entry) {
  if (!begin(kEntryCall, clientId, osType)) return -1;
  tkdb::Session session;
  tkdb::DbRows rows;
  const int rc = session.query(
      std::string(kSelect) + "WHERE n.\"clientId\" = ? AND n.\"osType\" = ? ORDER BY n.\"ndmpHostId\" LIMIT 1",
      {clientId, osType}, rows);
  if (rc != 0 && rc != DB_NO_ROW) {
    EvDebug::Error(kEntryCall, "%s", session.errorText().c_str());
    return -1;
  }
  if (rows.empty()) return 1;
  entry = MMNDMPHostInfoMsg();
  fill(rows.front(), entry);
  return 0;
}
