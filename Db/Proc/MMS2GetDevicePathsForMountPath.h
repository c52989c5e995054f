// Binding of the stored procedure MMS2GetDevicePathsForMountPath: one row
// per device path (device controller) of a mount path, with its state, its
// media agent, folder, user, access bits, data-server path, device and
// stored credential. The library query that collects the data-server types
// of a library's devices walks it per mount path:
//
//   int result = forEachDevicePathOfMountPath(mountPathId,
//       [&](const MMS2GetDevicePathsForMountPath_t& row) {
//         types[row.deviceId] = <data-server type of row.readWriteAccess>;
//       });
//   if (result != 0 && result != 100)
//     ... "Error fetching device list for mount path [%d]. Error [%s]", DBtable::getErrorStr(result) ...
//
// The body is the database's (platform/db/procs/MMS2GetDevicePathsForMountPath.cpp).
#pragma once

#include "Db/ZQDBProcBinding.h"

#define MMS2GETDEVICEPATHSFORMOUNTPATH_COLUMNS(COL) \
  COL(deviceControllerId, i, 0)                     \
  COL(deviceControllerActive, i, 0)                 \
  COL(deviceControllerEnabled, i, 0)                \
  COL(deviceAccessible, i, 0)                       \
  COL(MAClientId, i, 0)                             \
  COL(MAClientName, s, 256)                         \
  COL(deviceControllerPath, s, 1025)                \
  COL(deviceControllerUser, s, 1025)                \
  COL(readWriteAccess, i, 0)                        \
  COL(servicePack, i, 0)                            \
  COL(dataServerPath, s, 1025)                      \
  COL(deviceId, i, 0)                               \
  COL(credentialId, i, 0)                           \
  COL(credentialName, u, 1021)                      \
  COL(MADisplayName, u, 1021)

inline constexpr ZQDBBindingInfo MMS2GetDevicePathsForMountPath_info{.headerType = ZQDB_HEADER_PROCEDURE,
                                                                     .dbName = "MMS2GetDevicePathsForMountPath",
                                                                     .className = "MMS2GetDevicePathsForMountPath",
                                                                     .version = "00010007000200100000",
                                                                     .header = "Db/Proc/MMS2GetDevicePathsForMountPath",
                                                                     .line = 529};

struct MMS2GetDevicePathsForMountPath_t {
  MMS2GETDEVICEPATHSFORMOUNTPATH_COLUMNS(ZQDB_FIELD)
  ZQDB_ROW(MMS2GetDevicePathsForMountPath_t, MMS2GETDEVICEPATHSFORMOUNTPATH_COLUMNS)
};

class MMS2GetDevicePathsForMountPath_t2
    : public ZQDBCatalogue<MMS2GetDevicePathsForMountPath_t2, MMS2GetDevicePathsForMountPath_t,
                           MMS2GetDevicePathsForMountPath_info> {
 public:
  MMS2GetDevicePathsForMountPath_t2() = default;
  MMS2GetDevicePathsForMountPath_t2(const MMS2GetDevicePathsForMountPath_t2&) = delete;
  MMS2GetDevicePathsForMountPath_t2& operator=(const MMS2GetDevicePathsForMountPath_t2&) = delete;
};

class MMS2GetDevicePathsForMountPath
    : public ZQDBProcBinding<MMS2GetDevicePathsForMountPath_t, MMS2GetDevicePathsForMountPath_t2,
                             MMS2GetDevicePathsForMountPath_info> {
 public:
  explicit MMS2GetDevicePathsForMountPath(DBtran* tran) : ZQDBProcBinding(tran) {}
  // (mount-path id). Text mode: "%d" after a size check of 14.
  void setValues(int mountPathId) { bindInputs(mountPathId); }
  void setZQDBValues(ZQDB_int* mountPathId) { bindValues(mountPathId); }
};

// --- what the callers make of the rows ---------------------------------------------

// Runs the procedure for the mount path (no transaction, isolation type 4)
// and calls `perRow` with every row read, in the procedure's order. Returns
// the result that ended the walk: 100 after the last row, anything else a
// database failure (the rows before it were handed on).
template <class PerRow>
int forEachDevicePathOfMountPath(int mountPathId, PerRow perRow) {
  MMS2GetDevicePathsForMountPath proc(nullptr);
  proc.setIsolationType(4);
  proc.setValues(mountPathId);
  int count = 0;
  int code = 0;
  while ((code = getNextRow(&proc, &count, -1, 0)) == 0) {
    const MMS2GetDevicePathsForMountPath_t& row = *proc.getDataPtr();
    perRow(row);
  }
  return code;
}
