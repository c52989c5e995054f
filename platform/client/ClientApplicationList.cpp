// Client and backup-set lists over the client tables.
#include "platform/client/ClientApplicationList.h"

#include "platform/client/ClientRows.h"

int ClientApplicationList::list(const char* call, const std::string& key, const std::string& sql,
                                const std::vector<tkdb::DbValue>& params, std::vector<int>& ids,
                                std::vector<std::string>& names, std::vector<bool>* flags) {
  m_error.clear();
  ids.clear();
  names.clear();
  if (flags != nullptr) flags->clear();
  int result = tkclient::scriptedFailure(call, &m_error);
  tkdb::DbRows rows;
  if (result == 0) result = tkclient::queryRows(sql, params, rows, &m_error);
  if (result == 0) {
    for (const auto& row : rows) {
      ids.push_back(static_cast<int>(tkclient::integerAt(row, 0)));
      names.push_back(tkclient::textAt(row, 1));
      if (flags != nullptr) flags->push_back(tkclient::integerAt(row, 2) != 0);
    }
  } else if (m_error.empty()) {
    m_error = ZQClient::getErrorString(result);
  }
  tkclient::journal().record(call, key, result);
  return result;
}

int ClientApplicationList::getClientList(std::vector<int>& ids, std::vector<std::string>& names, int tarnfoldId,
                                         void*, int kind) {
  return list("getClientList", std::to_string(tarnfoldId) + "/" + std::to_string(kind),
              "SELECT \"id\", IFNULL(\"name\", '') FROM \"APP_Client\" ORDER BY \"id\"", {}, ids, names);
}

int ClientApplicationList::getClientListByAppType(std::vector<int>& ids, std::vector<std::string>& names,
                                                  int tarnfoldId, int appTypeId, void*) {
  return list("getClientListByAppType", std::to_string(tarnfoldId) + "/" + std::to_string(appTypeId),
              "SELECT C.\"id\", IFNULL(C.\"name\", '') FROM \"APP_Client\" C WHERE EXISTS (SELECT 1 FROM "
              "\"APP_ClientPackage\" P WHERE P.\"clientId\" = C.\"id\" AND P.\"appTypeId\" = ?1) ORDER BY C.\"id\"",
              {appTypeId}, ids, names);
}

int ClientApplicationList::getBackupSetList(std::vector<int>& ids, std::vector<std::string>& names,
                                            std::vector<bool>& defaults, int clientId, int appTypeId,
                                            int instanceId, void*, int kind) {
  return list("getBackupSetList",
              std::to_string(clientId) + "/" + std::to_string(appTypeId) + "/" + std::to_string(instanceId) + "/" +
                  std::to_string(kind),
              "SELECT \"id\", \"name\", \"isDefault\" FROM \"APP_BackupSet\" WHERE \"clientId\" = ?1 AND "
              "\"appTypeId\" = ?2 AND \"instanceId\" = ?3 AND \"deleted\" = 0 ORDER BY \"id\"",
              {clientId, appTypeId, instanceId}, ids, names, &defaults);
}

int ClientApplicationList::getDefaultBackupSet(int clientId, int appTypeId, int& backupSetId, std::string& name,
                                               void*) {
  std::vector<int> ids;
  std::vector<std::string> names;
  int result = list("getDefaultBackupSet", std::to_string(clientId) + "/" + std::to_string(appTypeId),
                    "SELECT \"id\", \"name\" FROM \"APP_BackupSet\" WHERE \"clientId\" = ?1 AND \"appTypeId\" = ?2 "
                    "AND \"isDefault\" <> 0 AND \"deleted\" = 0 ORDER BY \"id\" LIMIT 1",
                    {clientId, appTypeId}, ids, names);
  if (result == 0 && ids.empty()) {
    result = tkclient::kErrorUnknownBackupSet;
    m_error = "Client [" + std::to_string(clientId) + "] has no default backup set of application type [" +
              std::to_string(appTypeId) + "].";
  }
  if (result == 0) {
    backupSetId = ids.front();
    name = names.front();
  }
  return result;
}

int ClientApplicationList::getSubclientList(std::vector<int>& ids, std::vector<std::string>& names, int appTypeId,
                                            int backupSetId, void*, int kind) {
  return list("getSubclientList",
              std::to_string(appTypeId) + "/" + std::to_string(backupSetId) + "/" + std::to_string(kind),
              "SELECT A.\"id\", IFNULL(A.\"subclientName\", '') FROM \"APP_Application\" A JOIN "
              "\"APP_SubclientInfo\" I ON I.\"subclientId\" = A.\"id\" WHERE A.\"appTypeId\" = ?1 AND "
              "I.\"backupSetId\" = ?2 AND I.\"deleted\" = 0 ORDER BY A.\"id\"",
              {appTypeId, backupSetId}, ids, names);
}
