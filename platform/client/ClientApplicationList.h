// Lists of clients and of a client's backup sets, from the central client
// rows (APP_Client, with the installed packages and backup sets of
// platform/client/ClientTables.cpp).
//
//   ClientApplicationList list;
//   std::vector<int> ids; std::vector<std::string> names;
//   if (list.getClientList(ids, names, tarnfoldId, nullptr, 2) != 0)
//     log(list.getErrorString());
//
// Each call returns 0 or an error code (getErrorString gives the text) and
// fills its lists in ascending id order. The installation is one Tarnfold:
// the Tarnfold id and the kind or instance arguments not named below are
// journaled and do not narrow the lists.
#pragma once

#include <string>
#include <vector>

#include "platform/db/DBValue.h"

class ClientApplicationList {
 public:
  // Every client, with its name.
  int getClientList(std::vector<int>& ids, std::vector<std::string>& names, int tarnfoldId, void* tran, int kind);
  // The clients that have the package of an application type installed.
  int getClientListByAppType(std::vector<int>& ids, std::vector<std::string>& names, int tarnfoldId, int appTypeId,
                             void* tran);
  // A client's backup sets of an application type and instance (deleted
  // ones left out), with their default marks.
  int getBackupSetList(std::vector<int>& ids, std::vector<std::string>& names, std::vector<bool>& defaults,
                       int clientId, int appTypeId, int instanceId, void* tran, int kind);
  // The default backup set of a client's application type (any instance).
  int getDefaultBackupSet(int clientId, int appTypeId, int& backupSetId, std::string& name, void* tran);
  // The subclients of a backup set of an application type (deleted ones
  // left out).
  int getSubclientList(std::vector<int>& ids, std::vector<std::string>& names, int appTypeId, int backupSetId,
                       void* tran, int kind);

  const std::string& getErrorString() const { return m_error; }

 private:
  // Runs an (id, name[, flag]) query into the lists; all or none filled.
  int list(const char* call, const std::string& key, const std::string& sql,
           const std::vector<tkdb::DbValue>& params, std::vector<int>& ids, std::vector<std::string>& names,
           std::vector<bool>* flags = nullptr);

  std::string m_error;
};
