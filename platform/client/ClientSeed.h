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
// The client's operating system id and its platform types (one APP_Platform
// row per bit of the mask); the client must exist.
int setClientFacts(unsigned long clientId, int osId, unsigned long long platformTypes);
// A current attribute of the client (e.g. "detectMAForNDMP", "timezone id").
int setClientAttribute(unsigned long clientId, const std::string& name, const std::string& value);
// An operating system of the catalogue, with its NAS mark.
int addOperatingSystem(int id, const std::string& type, bool isNas);

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
