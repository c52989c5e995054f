// Media-management table access: the configuration parameters (table
// MMConfigs). The conventions of the family are in platform/mmdb/MMBaseDB.h;
// this call keeps its own result: the table-access code itself (0 on
// success) rather than -1.
#pragma once

#include "platform/mmdb/MMBaseDB.h"

// The media-management configuration parameters (table MMConfigs), for
// example "MMS2_CONFIG_CHECK_USER_MA_RIGHT" or
// "MMCONFIG_FORCE_DELETE_MP_ENABLED_FLAG".
class MMConfigsDB : public MMTableAccess {
 public:
  explicit MMConfigsDB(MMDebug* log = nullptr) : MMTableAccess(log) {}

  // The integer value of the parameter `name` into `value`: 0 on success.
  // `value` is left alone on failure: MMS2_ERROR_NOT_FOUND (getDBError 100)
  // when the parameter is not set, MMS2_ERROR_BAD_VALUE when its value is
  // NULL or not an integer that fits 32 bits, MMS2_ERROR_DATABASE with the
  // engine's code when the read failed, MMS2_ERROR_BAD_ARGUMENT for a null
  // or empty name.
  int getConfigParamValue(const char* name, int& value, DBtran* tran = nullptr);
};
