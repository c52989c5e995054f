// Clients by id or by name, read from APP_Client.
#include "platform/client/ZQClient.h"

#include "platform/client/ClientRows.h"
#include "platform/client/ZQPlatformInfo.h"

struct ZQClient::Row {
  unsigned long id = 0;
  std::string name;
  std::string hostName;
  std::string displayName;
  unsigned long long releaseId = 0;
};

namespace {

constexpr const char* kColumns =
    "SELECT \"id\", IFNULL(\"name\", ''), IFNULL(\"net_hostname\", ''), \"displayName\", IFNULL(\"releaseId\", 0) "
    "FROM \"APP_Client\" ";

// A name matches the client's name, its network host name, or that host
// name's part before the first "." (in that order of preference).
constexpr const char* kByName =
    "WHERE \"name\" = ?1 OR \"net_hostname\" = ?1 OR (instr(\"net_hostname\", '.') > 1 AND "
    "substr(\"net_hostname\", 1, instr(\"net_hostname\", '.') - 1) = ?1 COLLATE NOCASE) "
    "ORDER BY (\"name\" = ?1) DESC, (\"net_hostname\" = ?1) DESC, \"id\" LIMIT 1";

}  // namespace

ZQClient::ZQClient(unsigned long clientId) : m_clientId(clientId) {}

ZQClient::ZQClient(const std::string& name, bool lookupNow, int /*value*/) : m_clientId(0), m_name(name) {
  if (lookupNow) lookup(nullptr);
}

ZQClient::~ZQClient() = default;

int ZQClient::read(const char* call, Row& row) {
  // The texts are made once: a listing asks for one client per row it shows.
  static const std::string kById = std::string(kColumns) + "WHERE \"id\" = ?1";
  static const std::string kByNameSql = std::string(kColumns) + kByName;
  int result = tkclient::scriptedFailure(call);
  if (result == 0) {
    bool found = false;
    auto readRow = [&](const tkdb::RowView& r) {
      found = true;
      row.id = static_cast<unsigned long>(tkclient::integerAt(r, 0));
      row.name = tkclient::textAt(r, 1);
      row.hostName = tkclient::textAt(r, 2);
      row.displayName = tkclient::textAt(r, 3);
      row.releaseId = static_cast<unsigned long long>(tkclient::integerAt(r, 4));
      return static_cast<int>(DB_NO_ROW);  // the first row is the answer: the walk ends
    };
    if (m_name.empty()) {
      result = tkclient::eachRow(kById, {static_cast<long long>(m_clientId)}, readRow);
    } else {
      result = tkclient::eachRow(kByNameSql, {m_name}, readRow);
    }
    if (result == 0 && !found) result = tkclient::kErrorUnknownClient;
    if (result == 0 && !m_name.empty()) m_clientId = row.id;
  }
  if (m_name.empty()) {
    tkclient::journal().record(call, m_clientId, result);
  } else {
    tkclient::journal().record(call, m_name, result);
  }
  return result;
}

unsigned long ZQClient::getClientId() {
  if (m_clientId == 0 && !m_name.empty()) lookup(nullptr);
  return m_clientId;
}

int ZQClient::lookup(void*) {
  Row row;
  return read("lookup", row);
}

int ZQClient::getName(std::string& name, void*) {
  Row row;
  const int result = read("getName", row);
  if (result == 0) name = row.name;
  return result;
}

int ZQClient::getDisplayName(std::string& name, void*) {
  Row row;
  const int result = read("getDisplayName", row);
  name = result != 0 ? std::string() : (row.displayName.empty() ? row.name : row.displayName);
  return result;
}

int ZQClient::getNetworkHostname(std::string& host, void*) {
  Row row;
  const int result = read("getNetworkHostname", row);
  if (result == 0) host = row.hostName;
  return result;
}

int ZQClient::getNetworkHostnameMangled(std::string& host, void*) {
  Row row;
  const int result = read("getNetworkHostnameMangled", row);
  if (result == 0) host = row.hostName;
  return result;
}

int ZQClient::getReleaseId(unsigned long long& releaseId, void*) {
  Row row;
  const int result = read("getReleaseId", row);
  if (result == 0 && row.releaseId != 0) releaseId = row.releaseId;
  return result;
}

int ZQClient::getShortName(std::string& name, void*) {
  Row row;
  const int result = read("getShortName", row);
  if (result == 0) name = row.name;
  return result;
}

std::string ZQClient::getErrorString(int code) {
  switch (code) {
    case 0: return "";
    case tkclient::kErrorUnknownClient: return "The client does not exist.";
    case tkclient::kErrorDatabase: return "The client information could not be read from the database.";
    case tkclient::kErrorUnknownBackupSet: return "The backup set does not exist.";
    case tkclient::kErrorUnknownAppType: return "The application type is not known.";
    default: return "Client information error " + std::to_string(code) + ".";
  }
}

namespace tkclient {

int setDisplayName(unsigned long clientId, const std::string& name) {
  tkdb::Session session;
  const long long id = static_cast<long long>(clientId);
  return session.atomically([&] {
    int rc = session.exec("UPDATE \"APP_Client\" SET \"displayName\" = ?1 WHERE \"id\" = ?2", {name, id});
    if (rc == 0 && session.changes() == 0)
      rc = session.exec("INSERT INTO \"APP_Client\" (\"id\", \"name\", \"displayName\") VALUES (?1, ?2, ?2)",
                        {id, name});
    return rc;
  }) == 0
             ? 0
             : kErrorDatabase;
}

tkjournal::Journal& journal() {
  static tkjournal::Journal j;
  return j;
}

void reset() {
  journal().reset();
  resetPlatformInfo();
}

}  // namespace tkclient
