// Body of the stored procedure QR_GetDeviceID(clientId, name, alternate).
//
// The device-name id of the client's device whose name is either text
// (letter case aside), the lowest when several match; no row when the
// client has no such device (or a text is NULL).
#include "Db/Proc/QR_GetDeviceID.h"

#include <string>

#include "platform/db/DBSession.h"
#include "platform/db/DBtable.h"

namespace {

constexpr const char* kName = "QR_GetDeviceID";

int body(tkdb::ProcCall& call) {
  if (call.inputs.size() != 3 || call.inputs[0].type != tkdb::DbValue::Type::Int) {
    call.error = std::string(kName) + " takes a client id and two names";
    return DB_ERR_INPUT;
  }
  int code = call.session.query(
      "SELECT deviceNameId FROM SNRVolumeDeviceName WHERE hostId = ?1 AND (deviceName = ?2 OR deviceName = ?3) "
      "ORDER BY deviceNameId LIMIT 1",
      {call.inputs[0], call.inputs[1], call.inputs[2]}, call.rows);
  if (code != DB_OK) call.error = call.session.errorText();
  return code;
}

[[maybe_unused]] const bool kRegistered = [] {
  tkdb::registerProcedure(kName, body);
  return true;
}();

}  // namespace
