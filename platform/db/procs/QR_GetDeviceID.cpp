// Body of the stored procedure QR_GetDeviceID(clientId, name, alternate).
//
// The device-name id of the client's device whose name is either text
// (letter case aside), the lowest when several match; no row when the
// client has no such device (or a text is NULL).
#include "Db/Proc/QR_GetDeviceID.h"

#include "platform/db/procs/ProcBodySupport.h"

namespace {

constexpr const char* kName = "QR_GetDeviceID";

int body(tkdb::ProcCall& call) {
  if (call.inputs.size() != 3 || call.inputs[0].type != tkdb::DbValue::Type::Int) {
    return tkprocs::refuse(call, kName, "a client id and two names");
  }
  return tkprocs::answer(call,
                         "SELECT deviceNameId FROM SNRVolumeDeviceName WHERE hostId = ?1 AND (deviceName = ?2 OR "
                         "deviceName = ?3) ORDER BY deviceNameId LIMIT 1",
                         {call.inputs[0], call.inputs[1], call.inputs[2]});
}

[[maybe_unused]] const bool kRegistered = tkprocs::registered(kName, body);

}  // namespace
