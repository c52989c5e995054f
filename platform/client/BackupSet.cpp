// Backup sets over APP_BackupSet.
#include "platform/client/BackupSet.h"

#include "platform/client/ClientRows.h"
#include "platform/external/Cipher.h"

#include <cstdlib>

int BackupSet::readColumn(const char* call, const char* column, std::string& value) {
  int result = tkclient::scriptedFailure(call);
  if (result == 0) {
    tkdb::DbRows rows;
    result = tkclient::queryRows(std::string("SELECT \"") + column + "\" FROM \"APP_BackupSet\" WHERE \"id\" = ?1",
                                 {static_cast<long long>(m_id)}, rows);
    if (result == 0 && rows.empty()) result = tkclient::kErrorUnknownBackupSet;
    if (result == 0) value = tkclient::textAt(rows.front(), 0);
  }
  tkclient::journal().record(call, m_id, result);
  return result;
}

int BackupSet::isDefaultBackupSet(bool& isDefault, void*) {
  std::string value;
  const int result = readColumn("isDefaultBackupSet", "isDefault", value);
  if (result == 0) isDefault = value != "0" && !value.empty();
  return result;
}

int FileReplicationBackupSet::getDestinationHostId(int& hostId, void*) {
  std::string value;
  const int result = readColumn("getDestinationHostId", "destinationHostId", value);
  if (result == 0) hostId = std::atoi(value.c_str());
  return result;
}

int FileReplicationBackupSet::getLockDataUserName(std::string& userName, void*) {
  std::string value;
  const int result = readColumn("getLockDataUserName", "lockDataUserName", value);
  if (result == 0) userName = value;
  return result;
}

int FileReplicationBackupSet::getLockDataPassword(std::string& password, void*) {
  std::string stored;
  int result = readColumn("getLockDataPassword", "lockDataPassword", stored);
  if (result != 0) return result;
  if (stored.empty()) {
    password.clear();
    return 0;
  }
  std::string plain;
  if (!tkcipher::decrypt(stored, plain)) return tkclient::kErrorDatabase;  // not a text the cipher made
  password = std::move(plain);
  return 0;
}

namespace tkclient {

int setLockData(unsigned long long backupSetId, const std::string& userName, const std::string& password) {
  tkdb::Session session;
  const int rc = session.exec(
      "UPDATE \"APP_BackupSet\" SET \"lockDataUserName\" = ?1, \"lockDataPassword\" = ?2 WHERE \"id\" = ?3",
      {userName, password.empty() ? std::string() : tkcipher::encrypt(password),
       static_cast<long long>(backupSetId)});
  if (rc != 0) return kErrorDatabase;
  return session.changes() == 0 ? kErrorUnknownBackupSet : 0;
}

}  // namespace tkclient
