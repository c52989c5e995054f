// Media-management table access: the configuration parameters, over the
// platform table MMConfigs (platform/db/schema/MMConfigs.cpp).
#include "platform/mmdb/MMConfigsDB.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>

#include "platform/db/DBSession.h"
#include "platform/db/DBtable.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/journal/Journal.h"

// ---- MMConfigsDB ----

int MMConfigsDB::getConfigParamValue(const char* name, int& value, DBtran* tran) {
  static constexpr const char* kTag = "MMConfigsDB::getConfigParamValue";
  if (!beginCall(kTag, name, mmTranText(tran))) return getErrorCode();
  if (name == nullptr || name[0] == '\0')
    return setError(MMS2_ERROR_BAD_ARGUMENT, 0, "No configuration parameter name was given.");

  tkdb::Session session(tran);
  tkdb::DbRow row;
  const int code =
      session.queryOne("SELECT \"value\" FROM \"MMConfigs\" WHERE \"name\" = ?", {tkdb::DbValue(name)}, row);
  if (code == DB_NO_ROW)
    return setError(MMS2_ERROR_NOT_FOUND, DB_NO_ROW, std::string("Configuration parameter [") + name + "] is not set.");
  if (code != DB_OK) {
    std::string text = std::string("Could not read configuration parameter [") + name + "]: " +
                       DBtable::getErrorStr(code);
    if (!session.errorText().empty()) text += " (" + session.errorText() + ")";
    EvDebug::Error(kTag, "%s", text.c_str());
    return setError(MMS2_ERROR_DATABASE, code, text);
  }

  const tkdb::DbValue& cell = row.empty() ? tkdb::DbValue() : row.front();
  long long number = 0;
  bool usable = false;
  if (cell.type == tkdb::DbValue::Type::Int) {
    number = cell.i;
    usable = true;
  } else if (cell.type == tkdb::DbValue::Type::Text && !cell.s.empty()) {
    // A value written as text: a whole decimal number, nothing else.
    char* end = nullptr;
    errno = 0;
    number = std::strtoll(cell.s.c_str(), &end, 10);
    usable = errno == 0 && end != nullptr && *end == '\0';
  }
  if (!usable || number < INT_MIN || number > INT_MAX) {
    const std::string text = std::string("Configuration parameter [") + name + "] has an unusable value " +
                             cell.describe() + ".";
    EvDebug::Error(kTag, "%s", text.c_str());
    return setError(MMS2_ERROR_BAD_VALUE, 0, text);
  }
  value = static_cast<int>(number);
  return MMS2_SUCCESS;
}
