// A client (a machine the server knows: media agent, file server, ...) as
// the handlers look it up, by id or by name, answered from the central
// client rows (APP_Client) that the table access reads too.
//
//   ZQClient client(clientId);
//   std::string host;
//   if (client.getNetworkHostname(host, nullptr) != 0) ...
//   ZQClient byName("client1", true, 0);   // by name, network host name or
//                                          // its part before the first "."
//
// Every getter returns 0 on success; on failure an error code
// (kErrorUnknownClient for a client that is not there) and its output is
// left as it was, except getDisplayName, which empties the name. Each call
// is journaled and can be made to fail (platform/testkit/client.h). The
// transaction pointer is accepted: the calls read on the calling thread's
// connection (in its open transaction when there is one).
#pragma once

#include <string>

#include "platform/journal/Journal.h"

class ZQClient {
 public:
  explicit ZQClient(unsigned long clientId);
  // A client by name; with `lookupNow` the name is resolved at once.
  ZQClient(const std::string& name, bool lookupNow, int value);
  virtual ~ZQClient();
  ZQClient(const ZQClient&) = delete;
  ZQClient& operator=(const ZQClient&) = delete;

  // 0 when the client exists.
  int lookup(void* tran = nullptr);
  // The client's id: the one given, or the one its name resolves to (0
  // when no client has that name; a client made by name is looked up here
  // until it resolves).
  unsigned long getClientId();

  int getName(std::string& name, void* tran);
  // The display name; the client's name when it has none. `name` is
  // emptied on failure.
  int getDisplayName(std::string& name, void* tran);
  int getNetworkHostname(std::string& host, void* tran);
  // The network host name as remote sessions address it.
  int getNetworkHostnameMangled(std::string& host, void* tran);
  // The release of the client's software; a client without a recorded
  // release (none, or 0) leaves `releaseId` as the caller preset it.
  int getReleaseId(unsigned long long& releaseId, void* tran);
  // The client's short name: its name as the client services address it.
  int getShortName(std::string& name, void* tran);

  // The text of an error code of these calls.
  static std::string getErrorString(int code);

  // ---- operating system, platforms and components (ClientFacts.cpp)
  // A client by name within a Tarnfold (the installation is one Tarnfold:
  // the id is not used to narrow the search).
  ZQClient(unsigned long tarnfoldId, const std::string& name, bool lookupNow, int value);
  // The id of the client's operating system (SimOperatingSystem.id; 0
  // when not recorded).
  int getOSType(int& osType, void* tran);
  // The platform types installed on the client, OR-ed into one mask (2: a
  // media agent). The flag and the two further arguments are not used.
  int getORdPlatformTypes(unsigned long long& mask, bool flag, void* reserved1, void* reserved2);
  // Whether the component (the package of an application type) is
  // installed on the client.
  int isComponentInstalled(int componentId, bool& installed, void* tran);

 private:
  struct Row;
  // Journals `call`, takes a scripted failure, reads the row.
  int read(const char* call, Row& row);

  unsigned long m_clientId;
  std::string m_name;  // the name it was made with ("" when made by id)
};

namespace tkclient {

// Error code for a client that is not in the table.
inline constexpr int kErrorUnknownClient = 0x2A000001;
// Error code for a failed database read or write.
inline constexpr int kErrorDatabase = 0x2A000002;
// Error code for a backup set that is not there.
inline constexpr int kErrorUnknownBackupSet = 0x2A000003;
// Error code for an application type that has no name.
inline constexpr int kErrorUnknownAppType = 0x2A000004;

// Sets a client's display name, making the client row (named as shown)
// when there is none. 0 or kErrorDatabase.
int setDisplayName(unsigned long clientId, const std::string& name);
// Journal of every call of the client stand-ins (ZQClient, the client
// lists, backup sets, client properties, platform information): the call's
// name with its key (client id, name or set id) and its result. A failure
// injected into a call's name makes the next such call fail with its code.
tkjournal::Journal& journal();
// Forgets calls and failures, and the platform information set by tests.
void reset();

}  // namespace tkclient
