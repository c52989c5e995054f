// Seeding the client rows and tables (for the test kit and the host's demo
// seed): clients, installed packages and backup sets. Each returns 0 or an
// error code of platform/client/ZQClient.h.
#pragma once

#include <string>

namespace tkclient {

struct ClientSeed {
  unsigned long id = 0;
  std::string name;
  std::string hostName;
  unsigned long long releaseId = 0;
  std::string displayName;
};
int addClient(const ClientSeed& client);
int installPackage(unsigned long clientId, int appTypeId);

struct BackupSetSeed {
  unsigned long long id = 0;  // 0: the next free id
  unsigned long clientId = 0;
  int appTypeId = 0;
  int instanceId = 0;
  std::string name;
  bool isDefault = false;
  int destinationHostId = 0;
  std::string lockDataUserName;
  std::string lockDataPassword;  // plain; stored enciphered
  bool deleted = false;
};
// The set's id into `id`.
int addBackupSet(const BackupSetSeed& set, unsigned long long& id);

}  // namespace tkclient
