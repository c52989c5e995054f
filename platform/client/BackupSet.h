// A backup set of a client, and a file replication backup set with its
// destination host and the lock-data credentials it runs under, read from
// APP_BackupSet (platform/client/ClientTables.cpp) at each call.
//
//   FileReplicationBackupSet set(flrSetId);
//   std::string user, password;
//   set.getLockDataUserName(user, nullptr);
//   set.getLockDataPassword(password, nullptr);   // plain; stored enciphered
//
// Each call returns 0, or an error code (kErrorUnknownBackupSet for a set
// that is not there) with its output left as it was. The password is kept
// in the cipher's form and is never journaled or logged.
#pragma once

#include <string>

class BackupSet {
 public:
  explicit BackupSet(unsigned long long backupSetId) : m_id(backupSetId) {}
  virtual ~BackupSet() = default;
  BackupSet(const BackupSet&) = delete;
  BackupSet& operator=(const BackupSet&) = delete;

  unsigned long long getBackupSetId() const { return m_id; }
  int isDefaultBackupSet(bool& isDefault, void* tran);

 protected:
  // Reads one column of the set's row as text.
  int readColumn(const char* call, const char* column, std::string& value);

 private:
  unsigned long long m_id;
};

class FileReplicationBackupSet : public BackupSet {
 public:
  explicit FileReplicationBackupSet(unsigned long long backupSetId) : BackupSet(backupSetId) {}

  int getDestinationHostId(int& hostId, void* tran);
  int getLockDataUserName(std::string& userName, void* tran);
  // The password in plain text.
  int getLockDataPassword(std::string& password, void* tran);
};

namespace tkclient {

// Sets the lock data of a backup set: the password is stored enciphered.
// 0, kErrorUnknownBackupSet or kErrorDatabase.
int setLockData(unsigned long long backupSetId, const std::string& userName, const std::string& password);

}  // namespace tkclient
