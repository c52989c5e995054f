// Media-management table access: the DRU host table (MMDRUHost), for the
// object model's DRU hosts. Conventions in platform/mmdb/MMBaseDB.h.
//
//   MMDRUHostDB access;
//   std::vector<MMStoredDRUHost> hosts;
//   if (access.loadAll(hosts) != 0) ... access.lastErrorText() ...
//
// A host's name must be 1 to kNameWidth bytes and new among the hosts
// (without regard to letter case): MMS2_ERROR_DUPLICATE_NAME otherwise.
// The password is stored as the caller gives it and never journaled.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/mmdb/MMBaseDB.h"

struct MMStoredDRUHost {
  int id = 0;
  std::string name;
  std::string userName;
  std::string password;
  int port = -1;  // below 0: not set
};

class MMDRUHostDB : public MMTableAccess {
 public:
  static constexpr std::size_t kNameWidth = 255;
  static constexpr std::size_t kUserNameWidth = 1024;
  static constexpr std::size_t kPasswordWidth = 2048;

  explicit MMDRUHostDB(MMDebug* log = nullptr) : MMTableAccess(log) {}

  // Every host in id order; `out` is replaced only on success.
  int loadAll(std::vector<MMStoredDRUHost>& out, DBtran* tran = nullptr);
  // Stores a new host; its id comes back in host.id.
  int insertHost(MMStoredDRUHost& host, DBtran* tran = nullptr);
  // Writes every value of the stored host host.id (MMS2_ERROR_NOT_FOUND
  // when its row is gone).
  int updateHost(const MMStoredDRUHost& host, DBtran* tran = nullptr);
  // Removes the host's row (MMS2_ERROR_NOT_FOUND when it is gone already).
  int removeHost(int id, DBtran* tran = nullptr);

 private:
  bool checkHost(const char* tag, const MMStoredDRUHost& host);
};
