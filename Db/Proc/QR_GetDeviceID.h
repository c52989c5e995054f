// Binding of the stored procedure QR_GetDeviceID: the id under which the
// replication database knows a device of a client, given the client id and
// the device's name. The handler that records the devices configured on a
// client asks it once per device, passing the same name twice:
//
//   int deviceId = 0, result = 0;
//   switch (lookupDeviceId(clientId, name, &deviceId, &result)) {
//     case DeviceIdOutcome::QueryFailed: ... "QR_GetDeviceID::getOneRow failed with Error [%lu] ..." ...
//     case DeviceIdOutcome::NoRow: ... "pDeviceInfo is NULL" ...
//     case DeviceIdOutcome::ZeroId: ... "o_deviceID is Zero" ...
//     case DeviceIdOutcome::Found: ... deviceId ...
//   }
//
// The body is the database's (platform/db/procs/QR_GetDeviceID.cpp).
#pragma once

#include "Db/ZQDBProcBinding.h"

#define QR_GETDEVICEID_COLUMNS(COL) COL(o_deviceID, i, 0)

inline constexpr ZQDBBindingInfo QR_GetDeviceID_info{.headerType = ZQDB_HEADER_PROCEDURE,
                                                     .dbName = "QR_GetDeviceID",
                                                     .className = "QR_GetDeviceID",
                                                     .version = "00010003029400020000",
                                                     .header = "Db/Proc/QR_GetDeviceID",
                                                     .line = __LINE__};

struct QR_GetDeviceID_t {
  QR_GETDEVICEID_COLUMNS(ZQDB_FIELD)
  ZQDB_ROW(QR_GetDeviceID_t, QR_GETDEVICEID_COLUMNS)
};

class QR_GetDeviceID_t2 : public ZQDBCatalogue<QR_GetDeviceID_t2, QR_GetDeviceID_t, QR_GetDeviceID_info> {
 public:
  QR_GetDeviceID_t2() = default;
  QR_GetDeviceID_t2(const QR_GetDeviceID_t2&) = delete;
  QR_GetDeviceID_t2& operator=(const QR_GetDeviceID_t2&) = delete;
};

class QR_GetDeviceID : public ZQDBProcBinding<QR_GetDeviceID_t, QR_GetDeviceID_t2, QR_GetDeviceID_info> {
 public:
  explicit QR_GetDeviceID(DBtran* tran) : ZQDBProcBinding(tran) {}
  // (client id, device name, device name or path). Text mode:
  // "%d,'%s','%s'" after a size check of 24 plus the escaped lengths of
  // the two texts; a quote in a name is doubled inside its quotes.
  void setValues(int clientId, const char* name, const char* alternate) { bindInputs(clientId, name, alternate); }
  void setZQDBValues(ZQDB_int* clientId, ZQDB_string* name, ZQDB_string* alternate) {
    bindValues(clientId, name, alternate);
  }
};

// --- what the callers make of the result ---------------------------------------------

enum class DeviceIdOutcome {
  Found,        // result 0 and a device id other than 0
  QueryFailed,  // a result other than 0 (no row included)
  NoRow,        // result 0 without a row
  ZeroId,       // result 0 with device id 0
};

// Every outcome but Found means the device counts as failed.
inline DeviceIdOutcome deviceIdOutcomeOf(int result, const QR_GetDeviceID_t* row) {
  if (result != 0) return DeviceIdOutcome::QueryFailed;
  if (row == nullptr) return DeviceIdOutcome::NoRow;
  if (row->o_deviceID == 0) return DeviceIdOutcome::ZeroId;
  return DeviceIdOutcome::Found;
}

// Looks the device up by one name (no transaction), passing it twice.
inline DeviceIdOutcome lookupDeviceId(int clientId, const char* name, int* deviceId, int* result = nullptr) {
  QR_GetDeviceID proc(nullptr);
  proc.setValues(clientId, name, name);
  int code = getOneRow(&proc, false, -1, 0);
  if (result != nullptr) *result = code;
  DeviceIdOutcome outcome = deviceIdOutcomeOf(code, proc.getDataPtr());
  if (deviceId != nullptr) *deviceId = outcome == DeviceIdOutcome::Found ? proc.getDataPtr()->o_deviceID : 0;
  return outcome;
}
