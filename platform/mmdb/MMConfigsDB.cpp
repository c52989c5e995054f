// Media-management table access: the configuration parameters, over the
// platform table MMConfigs (platform/db/schema/MMConfigs.cpp).
#include "platform/mmdb/MMConfigsDB.h"

#include <climits>
#include <string>

#include "platform/db/DBSession.h"
#include "platform/db/DBValue.h"
#include "platform/db/DBtable.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/journal/Journal.h"

// ---- MMConfigsDB ----

namespace {

// A parameter's value as a whole number: an integer, or a text that the
// engine reads as one whole decimal number. NULL, the empty text and a real,
// which the engine would read as numbers too, are not a parameter's number.
bool numberOf(const tkdb::DbCell& cell, long long& number) {
  const bool whole = cell.type == tkdb::DbValue::Type::Int ||
                     (cell.type == tkdb::DbValue::Type::Text && !cell.text.empty());
  return whole && tkdb::integerOf(cell, number, false);
}

}  // namespace

int MMConfigsDB::getConfigParamValue(const char* name, int& value, DBtran* tran) {
  static constexpr const char* kTag = "MMConfigsDB::getConfigParamValue";
  if (!beginCall(kTag, name, mmTranText(tran))) return getErrorCode();
  if (name == nullptr || name[0] == '\0')
    return setError(MMS2_ERROR_BAD_ARGUMENT, 0, "No configuration parameter name was given.");

  // The value is looked at where the engine holds it: a switch read for
  // every request copies nothing it does not keep.
  tkdb::Session session(tran);
  bool found = false;
  long long number = 0;
  bool usable = false;
  std::string shown;  // an unusable value, for the error
  int code = session.each("SELECT \"value\" FROM \"MMConfigs\" WHERE \"name\" = ?", {tkdb::DbValue(name)},
                          [&](const tkdb::RowView& row) {
                            if (found) return int(DB_OK);  // the first row holds
                            found = true;
                            const tkdb::DbCell cell = row.at(0);
                            usable = numberOf(cell, number) && number >= INT_MIN && number <= INT_MAX;
                            if (!usable) shown = cell.value().describe();
                            return int(DB_OK);
                          });
  if (code == DB_OK && !found) code = DB_NO_ROW;
  if (code == DB_NO_ROW)
    return setError(MMS2_ERROR_NOT_FOUND, DB_NO_ROW, std::string("Configuration parameter [") + name + "] is not set.");
  if (code != DB_OK) {
    std::string text = std::string("Could not read configuration parameter [") + name + "]: " +
                       DBtable::getErrorStr(code);
    if (!session.errorText().empty()) text += " (" + session.errorText() + ")";
    EvDebug::Error(kTag, "%s", text.c_str());
    return setError(MMS2_ERROR_DATABASE, code, text);
  }

  if (!usable) {
    const std::string text = std::string("Configuration parameter [") + name + "] has an unusable value " + shown + ".";
    EvDebug::Error(kTag, "%s", text.c_str());
    return setError(MMS2_ERROR_BAD_VALUE, 0, text);
  }
  value = static_cast<int>(number);
  return MMS2_SUCCESS;
}
