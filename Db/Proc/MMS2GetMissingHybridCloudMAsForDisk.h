// Binding of the stored procedure MMS2GetMissingHybridCloudMAsForDisk: for
// a cloud library paired with a disk library (hybrid cloud), the device
// paths (device controllers) that media agents of the cloud library still
// lack on the disk library's devices, one row each, rows of one device
// together, with the folder and credentials of an existing device path of
// that device. The automatic sharing of a hybrid cloud adds them, one
// hand-over per device:
//
//   int result = walkMissingHybridCloudControllers(cloudLibraryId,
//       [&](int deviceId, const std::vector<MMConfigDeviceControllerInfo>& records, bool atEnd) {
//         ZQMMDeviceInfo devices(1);
//         if (devices.configDeviceControllerList(deviceId, records) != 0) ... log, go on ...
//       },
//       [&](const MMS2GetMissingHybridCloudMAsForDisk_t& row) { ... log the skipped row ... });
//   if (result != 100) ... "Failed to retrieve hybrid cloud MAs, ..." ...
//
// The row's texts may be one character longer than the record's fields
// (s1025 into char[1024], s2049 into char[2048]): a row whose texts would
// not fit is skipped rather than stored cut.
//
// The body is the database's (platform/db/procs/MMS2GetMissingHybridCloudMAsForDisk.cpp).
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "Db/ZQDBProcBinding.h"
#include "platform/mmdb/ZQMMRecords.h"

#define MMS2GETMISSINGHYBRIDCLOUDMASFORDISK_COLUMNS(COL) \
  COL(o_DeviceId, i, 0)                                  \
  COL(o_Folder, s, 1025)                                 \
  COL(o_UserName, s, 1025)                               \
  COL(o_UserPassword, s, 2049)                           \
  COL(o_CredentialId, i, 0)                              \
  COL(o_DevCtrlEnabled, i, 0)                            \
  COL(o_HostClientId, i, 0)

inline constexpr ZQDBBindingInfo MMS2GetMissingHybridCloudMAsForDisk_info{
    .headerType = ZQDB_HEADER_PROCEDURE,
    .dbName = "MMS2GetMissingHybridCloudMAsForDisk",
    .className = "MMS2GetMissingHybridCloudMAsForDisk",
    .version = "00010001000200010000",
    .header = "Db/Proc/MMS2GetMissingHybridCloudMAsForDisk",
    .line = 434};

struct MMS2GetMissingHybridCloudMAsForDisk_t {
  MMS2GETMISSINGHYBRIDCLOUDMASFORDISK_COLUMNS(ZQDB_FIELD)
  ZQDB_ROW(MMS2GetMissingHybridCloudMAsForDisk_t, MMS2GETMISSINGHYBRIDCLOUDMASFORDISK_COLUMNS)
};

class MMS2GetMissingHybridCloudMAsForDisk_t2
    : public ZQDBCatalogue<MMS2GetMissingHybridCloudMAsForDisk_t2, MMS2GetMissingHybridCloudMAsForDisk_t,
                           MMS2GetMissingHybridCloudMAsForDisk_info> {
 public:
  MMS2GetMissingHybridCloudMAsForDisk_t2() = default;
  MMS2GetMissingHybridCloudMAsForDisk_t2(const MMS2GetMissingHybridCloudMAsForDisk_t2&) = delete;
  MMS2GetMissingHybridCloudMAsForDisk_t2& operator=(const MMS2GetMissingHybridCloudMAsForDisk_t2&) = delete;
};

class MMS2GetMissingHybridCloudMAsForDisk
    : public ZQDBProcBinding<MMS2GetMissingHybridCloudMAsForDisk_t, MMS2GetMissingHybridCloudMAsForDisk_t2,
                             MMS2GetMissingHybridCloudMAsForDisk_info> {
 public:
  explicit MMS2GetMissingHybridCloudMAsForDisk(DBtran* tran) : ZQDBProcBinding(tran) {}
  // (cloud library id). Text mode: "%d" after a size check of 14.
  void setValues(int cloudLibraryId) { bindInputs(cloudLibraryId); }
  void setZQDBValues(ZQDB_int* cloudLibraryId) { bindValues(cloudLibraryId); }
};

// --- what the callers make of the rows ---------------------------------------------

// Access types of the device paths that the sharing adds: with the
// existing path's folder and credentials, or without them.
inline constexpr uint32_t kHybridCloudAccessWithCredentials = 4;
inline constexpr uint32_t kHybridCloudAccessWithoutCredentials = 20;

// One row as the record of a device path to add: media agent, device,
// operation 1 (add); with the folder, user name, password (as stored) and
// credential id of the existing path when the row has a credential id
// above 0 or both a user name and a password (access type 4), otherwise
// none of them (access type 20). Everything else stays 0. False when a
// text the record takes would not fit its field (s1025 into char[1024],
// s2049 into char[2048]): the record then holds a cut text, and a path
// with a cut folder or credential must not be added.
inline bool hybridCloudControllerRecordOf(const MMS2GetMissingHybridCloudMAsForDisk_t& row,
                                          MMConfigDeviceControllerInfo& record) {
  record = MMConfigDeviceControllerInfo();
  record.clientId = static_cast<uint32_t>(row.o_HostClientId);
  record.deviceId = static_cast<uint32_t>(row.o_DeviceId);
  record.operation = MM_DEVICE_CONTROLLER_ADD;
  bool fits = true;
  if (row.o_CredentialId > 0 || (row.o_UserName[0] != '\0' && row.o_UserPassword[0] != '\0')) {
    fits = MMCopyText(record.folder, row.o_Folder) && fits;
    fits = MMCopyText(record.userName, row.o_UserName) && fits;
    fits = MMCopyText(record.password, row.o_UserPassword) && fits;
    record.credentialId = static_cast<uint32_t>(row.o_CredentialId);
    record.deviceAccessType = kHybridCloudAccessWithCredentials;
  } else {
    record.deviceAccessType = kHybridCloudAccessWithoutCredentials;
  }
  return fits;
}

// Runs the procedure for the cloud library (no transaction, isolation type
// 4) and hands the records over one device at a time:
// `handOver(deviceId, records, atEnd)`. A row of another device hands over
// what was gathered for the current device; the end of the rows hands over
// what is left (atEnd true). One hand-over per run of adjacent rows of a
// device: devices A, A, B give two. A row without a device (id below 1)
// makes no record: its path could only be added to another device's list.
// A row whose texts would not fit the record makes none either: it goes to
// `skipped(row)` instead (so that no path is stored with a cut folder or
// credential). Returns the result that ended the reading (100 after the
// last row); records read before a failure are still handed over.
template <class HandOver, class Skipped>
int walkMissingHybridCloudControllers(int cloudLibraryId, HandOver handOver, Skipped skipped) {
  MMS2GetMissingHybridCloudMAsForDisk proc(nullptr);
  proc.setIsolationType(4);
  proc.setValues(cloudLibraryId);
  std::vector<MMConfigDeviceControllerInfo> records;
  MMConfigDeviceControllerInfo record;
  int currentDevice = 0;
  int count = 0;
  int code = 0;
  while ((code = getNextRow(&proc, &count, -1, 0)) == 0) {
    const MMS2GetMissingHybridCloudMAsForDisk_t& row = *proc.getDataPtr();
    if (row.o_DeviceId < 1) continue;  // no device to add a path to
    if (!hybridCloudControllerRecordOf(row, record)) {
      skipped(static_cast<const MMS2GetMissingHybridCloudMAsForDisk_t&>(row));
      continue;
    }
    if (!records.empty() && row.o_DeviceId != currentDevice) {
      handOver(currentDevice, static_cast<const std::vector<MMConfigDeviceControllerInfo>&>(records), false);
      records.clear();
    }
    currentDevice = row.o_DeviceId;
    records.push_back(record);
  }
  if (!records.empty()) {
    handOver(currentDevice, static_cast<const std::vector<MMConfigDeviceControllerInfo>&>(records), true);
    records.clear();
  }
  return code;
}

// The same, skipping rows that do not fit without telling anyone.
template <class HandOver>
int walkMissingHybridCloudControllers(int cloudLibraryId, HandOver handOver) {
  return walkMissingHybridCloudControllers(cloudLibraryId, handOver,
                                           [](const MMS2GetMissingHybridCloudMAsForDisk_t&) {});
}
