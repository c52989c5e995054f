// Binding of the stored procedure MMGetDeviceControllerForSharingCloud: an
// existing device path (device controller) of a cloud mount path, whose
// folder and credentials a media agent added to the same cloud storage
// borrows. The device-path request runs it for an addition to a mount path
// of type 7:
//
//   char storedPassword[2048] = {};
//   int result = 0;
//   switch (takeCloudSharingController(mountPathId, record, storedPassword, &result)) {
//     case CloudSharing::Taken: ... record holds the existing controller's values ...
//     case CloudSharing::NoController: ... the entry's own values stay ...
//     case CloudSharing::Failed: ... "DB query to get the device information ..." ...
//   }
//
// The row's texts may hold one character more than the record's fields
// (s1025 into char[1024], s2049 into char[2048]); they are cut to what the
// field holds, and every field stays terminated.
//
// The body is the database's (platform/db/procs/MMGetDeviceControllerForSharingCloud.cpp).
#pragma once

#include "Db/ZQDBProcBinding.h"
#include "platform/mmdb/ZQMMRecords.h"

#define MMGETDEVICECONTROLLERFORSHARINGCLOUD_COLUMNS(COL) \
  COL(o_deviceControllerId, i, 0)                         \
  COL(o_userName, s, 1025)                                \
  COL(o_userPassword, s, 2049)                            \
  COL(o_folder, s, 1025)                                  \
  COL(o_credentialId, i, 0)

inline constexpr ZQDBBindingInfo MMGetDeviceControllerForSharingCloud_info{
    .headerType = ZQDB_HEADER_PROCEDURE,
    .dbName = "MMGetDeviceControllerForSharingCloud",
    .className = "MMGetDeviceControllerForSharingCloud",
    .version = "00010002000200050000",
    .header = "Db/Proc/MMGetDeviceControllerForSharingCloud",
    .line = 412};

struct MMGetDeviceControllerForSharingCloud_t {
  MMGETDEVICECONTROLLERFORSHARINGCLOUD_COLUMNS(ZQDB_FIELD)
  ZQDB_ROW(MMGetDeviceControllerForSharingCloud_t, MMGETDEVICECONTROLLERFORSHARINGCLOUD_COLUMNS)
};

class MMGetDeviceControllerForSharingCloud_t2
    : public ZQDBCatalogue<MMGetDeviceControllerForSharingCloud_t2, MMGetDeviceControllerForSharingCloud_t,
                           MMGetDeviceControllerForSharingCloud_info> {
 public:
  MMGetDeviceControllerForSharingCloud_t2() = default;
  MMGetDeviceControllerForSharingCloud_t2(const MMGetDeviceControllerForSharingCloud_t2&) = delete;
  MMGetDeviceControllerForSharingCloud_t2& operator=(const MMGetDeviceControllerForSharingCloud_t2&) = delete;
};

class MMGetDeviceControllerForSharingCloud
    : public ZQDBProcBinding<MMGetDeviceControllerForSharingCloud_t, MMGetDeviceControllerForSharingCloud_t2,
                             MMGetDeviceControllerForSharingCloud_info> {
 public:
  explicit MMGetDeviceControllerForSharingCloud(DBtran* tran) : ZQDBProcBinding(tran) {}
  // (mount-path id). Text mode: "%d" after a size check of 14.
  void setValues(int mountPathId) { bindInputs(mountPathId); }
  void setZQDBValues(ZQDB_int* mountPathId) { bindValues(mountPathId); }
};

// --- what the callers make of the result ---------------------------------------------

enum class CloudSharing {
  Taken,         // 0: a controller was found; its values went into the record
  NoController,  // 100: none; the record keeps its own values
  Failed,        // anything else: a database failure
};

constexpr CloudSharing cloudSharingOf(int result) {
  return result == 0 ? CloudSharing::Taken : result == DB_NO_ROW ? CloudSharing::NoController : CloudSharing::Failed;
}

// Puts the found controller's folder, user name, password (as stored, that
// is encrypted) and credential id into the record, and the password also
// into the stored-password buffer. o_deviceControllerId is not used.
inline void applyCloudSharingController(const MMGetDeviceControllerForSharingCloud_t& row,
                                        MMDeviceControllerParams& record, char (&storedPassword)[2048]) {
  MMCopyText(record.folder, row.o_folder);
  MMCopyText(record.userName, row.o_userName);
  MMCopyText(record.password, row.o_userPassword);
  MMCopyText(storedPassword, row.o_userPassword);
  record.credentialId = static_cast<uint32_t>(row.o_credentialId);
}

// Runs the procedure for the mount path (no transaction, isolation type 4)
// and applies a found controller to the record.
inline CloudSharing takeCloudSharingController(int mountPathId, MMDeviceControllerParams& record,
                                               char (&storedPassword)[2048], int* result = nullptr) {
  MMGetDeviceControllerForSharingCloud proc(nullptr);
  proc.setIsolationType(4);
  proc.setValues(mountPathId);
  int code = getOneRow(&proc, false, -1, 0);
  if (result != nullptr) *result = code;
  CloudSharing outcome = cloudSharingOf(code);
  if (outcome == CloudSharing::Taken) applyCloudSharingController(*proc.getDataPtr(), record, storedPassword);
  return outcome;
}
