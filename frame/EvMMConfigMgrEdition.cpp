// The edition test of the media-management handler class: the global
// parameter "Ostravel" as a number.
#include <climits>
#include <cstdlib>

#include "Db/Tbl/HVGlobalParam.h"
#include "frame/EvMMConfigMgr.h"
#include "platform/db/DBtable.h"
#include "platform/debuglog/EvDebug.h"

namespace {

constexpr const char* kEditionParameter = "Ostravel";

// A signed decimal number after leading blanks, read up to the first
// character that is not a digit; 0 when the text does not start with one.
// A number beyond the 32-bit range is held at the nearest bound.
int editionNumber(const char* text) {
  if (text == nullptr) return 0;
  char* end = nullptr;
  long number = std::strtol(text, &end, 10);
  if (end == text) return 0;
  if (number > INT_MAX) return INT_MAX;
  if (number < INT_MIN) return INT_MIN;
  return static_cast<int>(number);
}

}  // namespace

int EvMMConfigMgr::isOstravel() {
  HVGlobalParam table(nullptr);
  table.setWhere("name = '%s'", kEditionParameter);
  int result = getOneRow(&table, false, -1, 0);
  if (result != 0) {
    if (result != DB_NO_ROW) {
      EvDebug::Error("EvMMConfigMgr::isOstravel", "Failed to read the global parameter [%s]. Error [%s]",
                     kEditionParameter, DBtable::getErrorStr(result));
    }
    return 0;
  }
  return editionNumber(table.getDataPtr()->value);
}
