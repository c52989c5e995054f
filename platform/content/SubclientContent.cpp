// Subclient content, replication subclients and application type names
// over the subclient tables.
#include "platform/content/SubclientContent.h"

#include "platform/client/ClientRows.h"

using tkclient::integerAt;
using tkclient::queryRows;
using tkclient::scriptedFailure;
using tkclient::textAt;

int ContentQuery::getSCListHavingVolId(int volumeId, std::vector<int>& subclients, void*) {
  int result = scriptedFailure("getSCListHavingVolId");
  tkdb::DbRows rows;
  if (result == 0)
    result = queryRows(
        "SELECT DISTINCT C.\"subclientId\" FROM \"APP_SubclientContent\" C LEFT JOIN \"APP_SubclientInfo\" I ON "
        "I.\"subclientId\" = C.\"subclientId\" WHERE C.\"volumeId\" = ?1 AND IFNULL(I.\"deleted\", 0) = 0 "
        "ORDER BY C.\"subclientId\"",
        {volumeId}, rows);
  if (result == 0) {
    subclients.clear();
    for (const auto& row : rows) subclients.push_back(static_cast<int>(integerAt(row, 0)));
  }
  tkclient::journal().record("getSCListHavingVolId", volumeId, result);
  return result;
}

int Subclient::isDeleted(bool& deleted, void*) {
  int result = scriptedFailure("isDeleted");
  tkdb::DbRows rows;
  if (result == 0)
    result = queryRows(
        "SELECT IFNULL(I.\"deleted\", 0) FROM \"APP_Application\" A LEFT JOIN \"APP_SubclientInfo\" I ON "
        "I.\"subclientId\" = A.\"id\" WHERE A.\"id\" = ?1",
        {m_subclientId}, rows);
  if (result == 0 && rows.empty()) result = tkclient::kErrorUnknownClient;
  if (result == 0) deleted = integerAt(rows.front(), 0) != 0;
  tkclient::journal().record("isDeleted", m_subclientId, result);
  return result;
}

ReplicationSubclientConfiguration::ReplicationSubclientConfiguration(int subclientId) : Subclient(subclientId) {
  m_loadResult = scriptedFailure("ReplicationSubclientConfiguration");
  tkdb::DbRows rows;
  if (m_loadResult == 0)
    m_loadResult = queryRows(
        "SELECT \"volumeId\", \"path\" FROM \"APP_SubclientContent\" WHERE \"subclientId\" = ?1 ORDER BY "
        "\"volumeId\"",
        {subclientId}, rows);
  if (m_loadResult == 0) {
    for (const auto& row : rows) {
      VolItem item;
      item.volumeId = static_cast<int>(integerAt(row, 0));
      item.content.m_entries.push_back(textAt(row, 1));
      m_items.push_back(std::move(item));
    }
  }
  tkclient::journal().record("ReplicationSubclientConfiguration", subclientId, m_loadResult);
}

int ReplicationSubclientConfiguration::getNextVolItem(iterator& it, int& volumeId, BackupContent& content) const {
  if (it == m_items.end()) return 1;
  volumeId = it->volumeId;
  content = it->content;
  ++it;
  return 0;
}

int ReplicationSubclientConfiguration::getReplicationPolicy(int& policyId, void*) {
  int result = scriptedFailure("getReplicationPolicy");
  tkdb::DbRows rows;
  if (result == 0)
    result = queryRows(
        "SELECT IFNULL(I.\"replicationPolicyId\", 0) FROM \"APP_Application\" A LEFT JOIN \"APP_SubclientInfo\" I "
        "ON I.\"subclientId\" = A.\"id\" WHERE A.\"id\" = ?1",
        {getSubclientId()}, rows);
  if (result == 0 && rows.empty()) result = tkclient::kErrorUnknownClient;
  if (result == 0) policyId = static_cast<int>(integerAt(rows.front(), 0));
  tkclient::journal().record("getReplicationPolicy", getSubclientId(), result);
  return result;
}

int AppTypeNameId::GetAppTypeName(std::string& name, void*) {
  m_error.clear();
  int result = scriptedFailure("GetAppTypeName", &m_error);
  tkdb::DbRows rows;
  if (result == 0)
    result = queryRows("SELECT IFNULL(\"name\", '') FROM \"APP_ApplicationType\" WHERE \"id\" = ?1", {m_appTypeId},
                       rows, &m_error);
  if (result == 0 && (rows.empty() || textAt(rows.front(), 0).empty())) {
    result = tkclient::kErrorUnknownAppType;
    m_error = "Application type [" + std::to_string(m_appTypeId) + "] has no name.";
  }
  if (result == 0) name = textAt(rows.front(), 0);
  if (result != 0 && m_error.empty()) m_error = ZQClient::getErrorString(result);
  tkclient::journal().record("GetAppTypeName", m_appTypeId, result);
  return result;
}

namespace tkcontent {

int addSubclient(const SubclientSeed& s) {
  tkdb::Session session;
  return session.atomically([&] {
    int rc = session.exec(
        "INSERT INTO \"APP_Application\" (\"id\", \"clientId\", \"appTypeId\", \"subclientName\") VALUES (?1, ?2, "
        "?3, ?4)",
        {s.id, s.clientId, s.appTypeId, s.name});
    if (rc == 0)
      rc = session.exec(
          "INSERT INTO \"APP_SubclientInfo\" (\"subclientId\", \"backupSetId\", \"deleted\", "
          "\"replicationPolicyId\") VALUES (?1, ?2, ?3, ?4)",
          {s.id, s.backupSetId, s.deleted ? 1 : 0, s.replicationPolicyId});
    return rc;
  }) == 0
             ? 0
             : tkclient::kErrorDatabase;
}

int addContent(int subclientId, int volumeId, const std::string& text) {
  tkdb::Session session;
  return session.exec("INSERT INTO \"APP_SubclientContent\" (\"subclientId\", \"volumeId\", \"path\") VALUES (?1, "
                      "?2, ?3)",
                      {subclientId, volumeId, text}) == 0
             ? 0
             : tkclient::kErrorDatabase;
}

int setAppTypeName(int appTypeId, const std::string& name) {
  tkdb::Session session;
  return session.exec("INSERT OR REPLACE INTO \"APP_ApplicationType\" (\"id\", \"name\") VALUES (?1, ?2)",
                      {appTypeId, name}) == 0
             ? 0
             : tkclient::kErrorDatabase;
}

}  // namespace tkcontent
