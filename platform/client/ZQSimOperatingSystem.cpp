// The operating-system catalogue read from SimOperatingSystem.
#include "platform/client/ZQSimOperatingSystem.h"

#include "platform/client/ClientRows.h"

int ZQSimOperatingSystem::IsNAS(unsigned int osType, bool& isNas) {
  int result = tkclient::scriptedFailure("IsNAS");
  if (result == 0) {
    tkdb::DbRows rows;
    result = tkclient::queryRows("SELECT \"isNAS\" FROM \"SimOperatingSystem\" WHERE \"id\" = ?1",
                                 {static_cast<long long>(osType)}, rows);
    if (result == 0) isNas = !rows.empty() && tkclient::integerAt(rows.front(), 0) != 0;
  }
  tkclient::journal().record("IsNAS", osType, result);
  return result;
}
