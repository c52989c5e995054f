// Body of the stored procedure MMDataServerIPControllerValidation(operation,
// mountPathId, clientId, accessType).
//
// One row, o_ExitCode: 0 when the device path of the media agent may be
// added (operation 1) or removed (operation 3), otherwise the catalogue id
// of the reason (its text in platform/catalogue/texts/devicepaths.cpp).
// The data-server type of an access type is its bit 16, else 32, else
// 128; a path without one reaches the storage directly.
//   Adding a path served through a data server is refused when the media
//   agent already has a path to the mount path's storage, when the mount
//   path is already served through a data server of another type, or when
//   no path reaches the storage directly (no data server could serve it).
//   Adding a direct path is not validated.
//   Removing is refused when the media agent holds the last direct path
//   while paths of other media agents are served through it.
// Other operations are valid.
#include "Db/Proc/MMDataServerIPControllerValidation.h"

#include <string>
#include <vector>

#include "Db/Tbl/MMDeviceController.h"
#include "platform/db/procs/ProcBodySupport.h"

namespace {

constexpr const char* kName = "MMDataServerIPControllerValidation";

constexpr const char* kPathsSql =
    "SELECT ClientId, DeviceAccessType FROM MMDeviceController "
    "WHERE DeviceId IN (SELECT DeviceId FROM MMMountPathToStorageDevice WHERE MountPathId = ?1)";

long long dataServerType(long long access) {
  if ((access & 16) != 0) return 16;
  if ((access & 32) != 0) return 32;
  if ((access & 128) != 0) return 128;
  return 0;
}

long long verdict(long long operation, long long clientId, long long access, const tkdb::DbRows& paths) {
  if (operation == kDataServerPathAdd) {
    const long long type = dataServerType(access);
    if (type == 0) return 0;
    bool direct = false;
    for (const tkdb::DbRow& p : paths) {
      if (p[0].i == clientId) return kDataServerReasonPathExists;
    }
    for (const tkdb::DbRow& p : paths) {
      const long long other = dataServerType(p[1].i);
      if (other != 0 && other != type) return kDataServerReasonTypeMismatch;
      if (other == 0) direct = true;
    }
    return direct ? 0 : kDataServerReasonNoDirectPath;
  }
  if (operation == kDataServerPathRemove) {
    bool mineDirect = false;
    bool otherDirect = false;
    bool otherServed = false;
    for (const tkdb::DbRow& p : paths) {
      const bool isDirect = dataServerType(p[1].i) == 0;
      if (p[0].i == clientId) {
        mineDirect = mineDirect || isDirect;
      } else if (isDirect) {
        otherDirect = true;
      } else {
        otherServed = true;
      }
    }
    return mineDirect && !otherDirect && otherServed ? kDataServerReasonStillServing : 0;
  }
  return 0;
}

int body(tkdb::ProcCall& call) {
  std::vector<long long> in;
  if (!tkprocs::integerInputs(call, kName, 4, "four integers (operation, mount-path id, client id, access type)",
                              in)) {
    return DB_ERR_INPUT;
  }
  tkdb::DbRows paths;
  int code = call.session.query(kPathsSql, {in[1]}, paths);
  if (code != DB_OK) return tkprocs::failed(call, code);
  for (tkdb::DbRow& p : paths) {
    if (p.size() != 2 || p[0].type != tkdb::DbValue::Type::Int) p = {tkdb::DbValue(0), tkdb::DbValue(0)};
    if (p[1].type != tkdb::DbValue::Type::Int) p[1] = tkdb::DbValue(0);
  }
  call.rows.push_back({tkdb::DbValue(verdict(in[0], in[2], in[3], paths))});
  return DB_OK;
}

[[maybe_unused]] const bool kRegistered = tkprocs::registered(kName, body);

}  // namespace
