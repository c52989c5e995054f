// The copy-manager access over the copy-manager controller rows.
#include "platform/copymgr/ZQMMCopyManager.h"

#include <cstdio>
#include <string>

#include "platform/db/DBSession.h"

namespace tkcopymgr {

tkjournal::Journal& journal() {
  static tkjournal::Journal instance;
  return instance;
}

}  // namespace tkcopymgr

namespace {

// A text into a fixed field, cut to fit and always terminated.
template <std::size_t N>
void copyText(char (&field)[N], const std::string& text) {
  std::snprintf(field, N, "%s", text.c_str());
}

}  // namespace

int ZQMMCopyManager::getCopyMgrCtrlInfo(uint64_t copyManagerId, MMCopyMgrCtrl& controller) {
  controller = MMCopyMgrCtrl();
  int result = 0;
  tkjournal::Failure failure;
  if (tkcopymgr::journal().takeFailure("getCopyMgrCtrlInfo", failure)) {
    result = failure.code != 0 ? failure.code : -1;
  } else if (copyManagerId > static_cast<uint64_t>(INT32_MAX)) {
    // Ids are 32-bit: a larger one names no controller.
    result = tkcopymgr::kErrorUnknownCopyManager;
  } else {
    tkdb::Session session;
    tkdb::DbRow row;
    result = session.queryOne(
        "SELECT \"controllerId\", \"clientId\", \"item11702\", IFNULL(\"controllerName\", ''), "
        "IFNULL(\"clientName\", '') FROM \"QRCopyMgrCtrl\" WHERE \"controllerId\" = ?",
        {static_cast<long long>(copyManagerId)}, row);
    if (result == DB_NO_ROW) result = tkcopymgr::kErrorUnknownCopyManager;
    if (result == 0) {
      controller.copyManagerId = static_cast<int32_t>(row[0].i);
      controller.clientId = static_cast<int32_t>(row[1].i);
      controller.controllerType = static_cast<int32_t>(row[2].i);
      copyText(controller.controllerName, row[3].s);
      copyText(controller.hostName, row[4].s);
    }
  }
  tkcopymgr::journal().record("getCopyMgrCtrlInfo", copyManagerId, result);
  return result;
}
