// Test control of the client stand-ins (clients, client lists, backup
// sets, client properties, installation facts). Clients live in the
// central database: a test seeds them into its temporary database.
//   tktest::TestDatabase db;
//   testkit::client::reset();
//   testkit::client::addClient({7, "client1", "client1.example.com", 16});
//   testkit::client::setDisplayName(2, "ma1 (media agent)");  // makes the row when missing
//   testkit::client::installPackage(7, 84);
//   testkit::client::addBackupSet({0, 7, 84, 0, "defaultBackupSet", true}, id);
//   journal().calls("getDisplayName")   // client id, result
//   journal().injectFailure("getDisplayName", code, text)  // next lookup fails
#pragma once

#include "platform/client/ClientSeed.h"
#include "platform/client/ZQClient.h"
#include "platform/client/ZQPlatformInfo.h"

namespace testkit::client {

using tkclient::BackupSetSeed;
using tkclient::ClientSeed;
using tkclient::PlatformSettings;

inline int setDisplayName(unsigned long clientId, const std::string& name) {
  return tkclient::setDisplayName(clientId, name);
}
inline int addClient(const ClientSeed& client) { return tkclient::addClient(client); }
inline int installPackage(unsigned long clientId, int appTypeId) {
  return tkclient::installPackage(clientId, appTypeId);
}
inline int addBackupSet(const BackupSetSeed& set, unsigned long long& id) { return tkclient::addBackupSet(set, id); }
inline int setClientFacts(unsigned long clientId, int osId, unsigned long long platformTypes) {
  return tkclient::setClientFacts(clientId, osId, platformTypes);
}
inline int setClientAttribute(unsigned long clientId, const std::string& name, const std::string& value) {
  return tkclient::setClientAttribute(clientId, name, value);
}
inline int addOperatingSystem(int id, const std::string& type, bool isNas) {
  return tkclient::addOperatingSystem(id, type, isNas);
}
inline void setPlatformInfo(const PlatformSettings& settings) { tkclient::setPlatformInfo(settings); }
inline tkjournal::Journal& journal() { return tkclient::journal(); }
// Forgets calls, failures and platform settings (the rows go with the
// test's database).
inline void reset() { tkclient::reset(); }

}  // namespace testkit::client
