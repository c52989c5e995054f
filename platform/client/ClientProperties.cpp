// Client properties over APP_ClientProp (current rows have modified = 0).
#include "platform/client/ClientProperties.h"

#include "platform/client/ClientRows.h"

namespace {

constexpr const char* kAltCachePartition = "Alternate Cache Partition";

// 0 when the client exists, else its error code.
int clientExists(unsigned long clientId) {
  tkdb::DbRows rows;
  const int rc = tkclient::queryRows("SELECT 1 FROM \"APP_Client\" WHERE \"id\" = ?1",
                                     {static_cast<long long>(clientId)}, rows);
  if (rc != 0) return rc;
  return rows.empty() ? tkclient::kErrorUnknownClient : 0;
}

}  // namespace

int ClientProperties::getAltCachePartition(std::string& partition, void*) {
  int result = tkclient::scriptedFailure("getAltCachePartition");
  if (result == 0) result = clientExists(m_clientId);
  tkdb::DbRows rows;
  if (result == 0)
    result = tkclient::queryRows(
        "SELECT IFNULL(\"attrVal\", '') FROM \"APP_ClientProp\" WHERE \"componentNameId\" = ?1 AND \"attrName\" = ?2 "
        "AND \"modified\" = 0 ORDER BY \"id\" DESC LIMIT 1",
        {static_cast<long long>(m_clientId), kAltCachePartition}, rows);
  if (result == 0) partition = rows.empty() ? std::string() : tkclient::textAt(rows.front(), 0);
  tkclient::journal().record("getAltCachePartition", m_clientId, result);
  return result;
}

int ClientProperties::setAltCachePartition(const std::string& partition, void*) {
  int result = tkclient::scriptedFailure("setAltCachePartition");
  if (result == 0) result = clientExists(m_clientId);
  if (result == 0) {
    tkdb::Session session;
    const long long id = static_cast<long long>(m_clientId);
    const int rc = session.atomically([&] {
      int step = session.exec("DELETE FROM \"APP_ClientProp\" WHERE \"componentNameId\" = ?1 AND \"attrName\" = ?2 AND \"modified\" = 0",
                              {id, kAltCachePartition});
      if (step == 0 && !partition.empty())
        step = session.exec(
            "INSERT INTO \"APP_ClientProp\" (\"componentNameId\", \"attrName\", \"attrVal\") VALUES (?1, ?2, ?3)",
            {id, kAltCachePartition, partition});
      return step;
    });
    if (rc != 0) result = tkclient::kErrorDatabase;
  }
  tkclient::journal().record("setAltCachePartition", m_clientId, partition, result);
  return result;
}

int ClientProperties::isInstalled(int packageId, bool& installed, void*) {
  // Scriptable for every call, or for one client and package.
  int result = tkclient::scriptedFailure("isInstalled");
  if (result == 0)
    result = tkclient::scriptedFailure(
        ("isInstalled:" + std::to_string(m_clientId) + ":" + std::to_string(packageId)).c_str());
  if (result == 0) result = clientExists(m_clientId);
  tkdb::DbRows rows;
  if (result == 0)
    result = tkclient::queryRows(
        "SELECT 1 FROM \"APP_ClientPackage\" WHERE \"clientId\" = ?1 AND \"appTypeId\" = ?2",
        {static_cast<long long>(m_clientId), packageId}, rows);
  if (result == 0) installed = !rows.empty();
  tkclient::journal().record("isInstalled", m_clientId, packageId, result);
  return result;
}

std::string ClientProperties::getErrorString(int code) { return ZQClient::getErrorString(code); }
