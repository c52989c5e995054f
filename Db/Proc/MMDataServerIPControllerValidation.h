// Binding of the stored procedure MMDataServerIPControllerValidation: the
// database's verdict on adding (operation 1) or removing (operation 3) a
// device path of a media agent to a mount path served through a data
// server. The verdict is o_ExitCode, a signed 64-bit value: 0 when the path
// may be added or removed, otherwise the message-catalogue id of the
// reason, passed on whole. The device-path request asks it per entry:
//
//   long long reason = 0;
//   int result = 0;
//   switch (validateDataServerIPController(operation, mountPathId, clientId, accessType, &reason, &result)) {
//     case DataServerValidation::Valid: break;
//     case DataServerValidation::Refused: ... code 1 with the localised text of `reason` ...
//     case DataServerValidation::Failed: ... "Failed to execute the DataServerIP validation ..." ...
//   }
//
// The body is the database's (platform/db/procs/MMDataServerIPControllerValidation.cpp).
#pragma once

#include "Db/ZQDBProcBinding.h"

#define MMDATASERVERIPCONTROLLERVALIDATION_COLUMNS(COL) COL(o_ExitCode, b, 0)

inline constexpr ZQDBBindingInfo MMDataServerIPControllerValidation_info{
    .headerType = ZQDB_HEADER_PROCEDURE,
    .dbName = "MMDataServerIPControllerValidation",
    .className = "MMDataServerIPControllerValidation",
    .version = "00010001000400080000",
    .header = "Db/Proc/MMDataServerIPControllerValidation",
    .line = 372};

struct MMDataServerIPControllerValidation_t {
  MMDATASERVERIPCONTROLLERVALIDATION_COLUMNS(ZQDB_FIELD)
  ZQDB_ROW(MMDataServerIPControllerValidation_t, MMDATASERVERIPCONTROLLERVALIDATION_COLUMNS)
};

class MMDataServerIPControllerValidation_t2
    : public ZQDBCatalogue<MMDataServerIPControllerValidation_t2, MMDataServerIPControllerValidation_t,
                           MMDataServerIPControllerValidation_info> {
 public:
  MMDataServerIPControllerValidation_t2() = default;
  MMDataServerIPControllerValidation_t2(const MMDataServerIPControllerValidation_t2&) = delete;
  MMDataServerIPControllerValidation_t2& operator=(const MMDataServerIPControllerValidation_t2&) = delete;
};

class MMDataServerIPControllerValidation
    : public ZQDBProcBinding<MMDataServerIPControllerValidation_t, MMDataServerIPControllerValidation_t2,
                             MMDataServerIPControllerValidation_info> {
 public:
  explicit MMDataServerIPControllerValidation(DBtran* tran) : ZQDBProcBinding(tran) {}
  // (operation, mount-path id, media-agent client id, access type). Text
  // mode: "%d,%d,%d,%d" after a size check of 59.
  void setValues(int operation, int mountPathId, int clientId, int accessType) {
    bindInputs(operation, mountPathId, clientId, accessType);
  }
  void setZQDBValues(ZQDB_int* operation, ZQDB_int* mountPathId, ZQDB_int* clientId, ZQDB_int* accessType) {
    bindValues(operation, mountPathId, clientId, accessType);
  }
};

// --- what the callers make of the result ---------------------------------------------

// Operations that are validated.
inline constexpr int kDataServerPathAdd = 1;
inline constexpr int kDataServerPathRemove = 3;

// Access-type bits of the data-server types (16, 32, 128).
inline constexpr int kDataServerAccessMask = 0xB0;

// Reasons the database gives (message-catalogue ids).
// The media agent already has a device path to the mount path's storage.
inline constexpr long long kDataServerReasonPathExists = 0x23000C69;
// The mount path is served through a data server of another type.
inline constexpr long long kDataServerReasonTypeMismatch = 0x23000C6A;
// No media agent reaches the mount path's storage directly to serve it.
inline constexpr long long kDataServerReasonNoDirectPath = 0x23000C6B;
// The path is the last direct one while data-server paths depend on it.
inline constexpr long long kDataServerReasonStillServing = 0x23000C6C;

enum class DataServerValidation {
  Valid,    // a row with o_ExitCode 0, or no row (100)
  Refused,  // a row with o_ExitCode not 0: the reason's catalogue id
  Failed,   // any other result: a database failure
};

inline DataServerValidation dataServerValidationOf(int result, const MMDataServerIPControllerValidation_t* row) {
  if (result == DB_NO_ROW) return DataServerValidation::Valid;
  if (result != 0) return DataServerValidation::Failed;
  if (row == nullptr || row->o_ExitCode == 0) return DataServerValidation::Valid;
  return DataServerValidation::Refused;
}

// Runs the validation (no transaction, isolation type 4); `exitCode` gets
// o_ExitCode when a row was read, else 0.
inline DataServerValidation validateDataServerIPController(int operation, int mountPathId, int clientId, int accessType,
                                                           long long* exitCode = nullptr, int* result = nullptr) {
  MMDataServerIPControllerValidation proc(nullptr);
  proc.setIsolationType(4);
  proc.setValues(operation, mountPathId, clientId, accessType);
  int code = getOneRow(&proc, false, -1, 0);
  if (result != nullptr) *result = code;
  if (exitCode != nullptr) *exitCode = code == 0 ? proc.getDataPtr()->o_ExitCode : 0;
  return dataServerValidationOf(code, proc.getDataPtr());
}
