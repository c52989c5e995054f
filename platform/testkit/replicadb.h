// Test control of the replica database service (platform/replicadb/).
//
//   testkit::replicadb::reset();                 // journal on, no calls, no scripted failures
//   int32_t v = testkit::replicadb::seed(volume);                  // any record kind; its id
//   int32_t d = testkit::replicadb::seedDeviceName(deviceName);    // what QR_GetDeviceID finds
//   testkit::replicadb::failNext("AddSNRDevice", -12, "already there");
//   testkit::replicadb::failCall("QuerySNRDevice", 2, -1, "gone");  // the second call from now
//   ... code under test ...
//   testkit::replicadb::calls("UpdateSNRVolume")   // args: version, ids..., mask
//   std::vector<SNRVolumeRecordV4_t> all = testkit::replicadb::rows<SNRVolumeRecordV4_t>();
//
// Calls are journaled under their operation name ("ReplicationMgr::" in
// front for the replication manager's), with the struct version first and
// then the ids the call carries (the change mask last for masked updates).
// A scripted failure makes the next call of that name fail before it
// touches the database: false, the text as error text, the code as result
// code where the result has one. Seeding and reading run in their own
// transactions on the calling thread's connection; thread-safe.
#pragma once

#include <string>
#include <type_traits>
#include <vector>

#include "platform/db/DBSession.h"
#include "platform/journal/Journal.h"
#include "platform/replicadb/ReplicaCall.h"
#include "platform/replicadb/ReplicaTables.h"

namespace testkit::replicadb {

// Forgets calls and scripted failures and turns the journal on.
inline void reset() { tkreplicadb::journal().reset(); }
inline tkjournal::Journal& journal() { return tkreplicadb::journal(); }
inline std::vector<tkjournal::Call> calls(const std::string& operation) {
  return tkreplicadb::journal().calls(operation);
}
// The next `times` calls of `operation` fail with the code and text.
inline void failNext(const std::string& operation, int code, const std::string& text, int times = 1) {
  tkreplicadb::journal().injectFailure(operation, code, text, times);
}
// The `nth` call of `operation` from now on (1: the next) fails with the
// code and text; the calls of it before that one go through.
inline void failCall(const std::string& operation, int nth, int code, const std::string& text) {
  if (nth > 0) tkreplicadb::journal().injectFailureAfter(operation, nth - 1, code, text);
}

// The table of a record kind (device names: the joined, read-only view).
template <class R>
const tkreplicadb::RecordTable<R>& tableOf() {
  using namespace tkreplicadb;
  if constexpr (std::is_same_v<R, SNRVolumeRecordV4_t>)
    return volumes();
  else if constexpr (std::is_same_v<R, SNRVolumeDeviceNameV4Record_t>)
    return deviceNames();
  else if constexpr (std::is_same_v<R, SNRVolumeMountPointRecord_t>)
    return mountPoints();
  else if constexpr (std::is_same_v<R, RVScratchVolumeV2Record_t>)
    return scratchVolumes();
  else if constexpr (std::is_same_v<R, RVScratchVolumePoolV3Record_t>)
    return pools();
  else if constexpr (std::is_same_v<R, ReplicationVolumeV5Record_t>)
    return replicas();
  else if constexpr (std::is_same_v<R, ReplicationPolicyV3Record_t>)
    return policies();
  else if constexpr (std::is_same_v<R, SnapEngineInfoV3Record_t>)
    return snapEngines();
  else if constexpr (std::is_same_v<R, VolSnapParamsV2Record_t>)
    return volSnapParams();
  else if constexpr (std::is_same_v<R, QRApplianceRecord_t>)
    return appliances();
  else if constexpr (std::is_same_v<R, QuillmereHistoryNameRecord_t>)
    return historyNames();
  else if constexpr (std::is_same_v<R, QRUserAppDefsRecord_t>)
    return userApps();
  else if constexpr (std::is_same_v<R, QRCopyMgrCtrlRecord_t>)
    return copyManagers();
  else if constexpr (std::is_same_v<R, VEHostRecord_t>)
    return veHosts();
  else if constexpr (std::is_same_v<R, QRVolumeApp_t>)
    return replicaApps();
  else if constexpr (std::is_same_v<R, ApplicationDirsRecord_t>)
    return appDirs();
  else if constexpr (std::is_same_v<R, FLRConsistencyPointRecord_t>)
    return consistencyPoints();
  else if constexpr (std::is_same_v<R, FLRSnapshotRecord_t>)
    return flrSnapshots();
  else if constexpr (std::is_same_v<R, FLRSnapPairRecord_t>)
    return flrSnapPairs();
  else if constexpr (std::is_same_v<R, FLRPairPathRecord_t>)
    return flrPairPaths();
  else if constexpr (std::is_same_v<R, FLRSnapMountPointRecord_t>)
    return flrMountPoints();
  else if constexpr (std::is_same_v<R, FLRSnapNetworkShareRecord_t>)
    return flrShares();
  else if constexpr (std::is_same_v<R, RepSetVolume_t>)
    return repSetVolumes();
  else if constexpr (std::is_same_v<R, RPInfo1Record_t>)
    return recoveryPoints();
  else {
    static_assert(std::is_same_v<R, FanInDetail_t>, "a record kind of the replica database");
    return fanInDetails();
  }
}

// Runs SQL on the calling thread's connection; 0 or the engine's code.
inline int exec(const std::string& sql, const std::vector<tkdb::DbValue>& params = {}) {
  tkdb::Session session;
  return session.exec(sql, params);
}

// Stores a record as it is (an id of -1 is made fresh where the table makes
// ids); its id, or -1 when the database refused it.
template <class R>
int32_t seed(const R& record) {
  static_assert(!std::is_same_v<R, SNRVolumeDeviceNameV4Record_t>, "use seedDeviceName");
  tkdb::Session session;
  int32_t id = -1;
  return tableOf<R>().insert(session, record, id) == 0 ? id : -1;
}

// A device name with all its fields; its new id.
inline int32_t seedDeviceName(const SNRVolumeDeviceNameV4Record_t& record) {
  tkdb::Session session;
  int32_t id = -1;
  int rc = session.atomically([&] {
    int code = session.exec("INSERT INTO \"SNRVolumeDeviceName\" (\"hostId\", \"deviceName\") VALUES (?, ?)",
                            {record.hostId, record.deviceName});
    if (code != 0) return code;
    SNRVolumeDeviceNameV4Record_t stored = record;
    stored.deviceNameId = static_cast<int32_t>(session.lastInsertId());
    id = stored.deviceNameId;
    int32_t ignored = -1;
    return tkreplicadb::deviceNameExtras().insert(session, stored, ignored);
  });
  return rc == 0 ? id : -1;
}

// Records with columns that are no field of theirs.
inline int32_t seedConsistencyPoint(const FLRConsistencyPointRecord_t& cp, int32_t clientId, int32_t appType) {
  int32_t id = seed(cp);
  exec("UPDATE \"FLRConsistencyPoint\" SET \"clientId\" = ?, \"appType\" = ? WHERE \"cpId\" = ?",
       {clientId, appType, id});
  return id;
}
inline void seedRepSetVolume(const RepSetVolume_t& volume, int32_t repSetId) {
  seed(volume);
  exec("UPDATE \"RepSetVolume\" SET \"repSetId\" = ? WHERE rowid = last_insert_rowid()", {repSetId});
}
inline int32_t seedRecoveryPoint(const RPInfo1Record_t& rp, int32_t destClientId, const std::string& volumeName) {
  int32_t id = seed(rp);
  exec("UPDATE \"RPInfo1\" SET \"destClientId\" = ?, \"volumeName\" = ? WHERE \"rpId\" = ?",
       {destClientId, volumeName, id});
  return id;
}
inline void seedFanInDetail(const FanInDetail_t& detail, int32_t rpId) {
  seed(detail);
  exec("UPDATE \"FanInDetail\" SET \"rpId\" = ? WHERE rowid = last_insert_rowid()", {rpId});
}
inline void seedPolicySubclient(int32_t policyId, int32_t subclientId, int32_t appType) {
  exec("INSERT INTO \"QRPolicySubclient\" (\"policyId\", \"subclientId\", \"appType\") VALUES (?, ?, ?)",
       {policyId, subclientId, appType});
}
inline void seedSubclientVolume(int32_t volumeId) {
  exec("INSERT INTO \"QRSubclientVolume\" (\"volumeId\") VALUES (?)", {volumeId});
}
inline void seedVSSSnapDevice(int32_t deviceNameId, const std::string& text1, const std::string& text2) {
  exec(
      "INSERT OR REPLACE INTO \"VSSSnapDevice\" (\"deviceNameId\", \"snapshotText1\", \"snapshotText2\") VALUES "
      "(?, ?, ?)",
      {deviceNameId, text1, text2});
}
// Whether something is mounted on a mount point now.
inline void setMounted(int32_t mountPointId, bool mounted) {
  exec("UPDATE \"SNRVolumeMountPoint\" SET \"mounted\" = ? WHERE \"mountPointId\" = ?",
       {mounted ? 1 : 0, mountPointId});
}

// Every stored record of a kind, in id order.
template <class R>
std::vector<R> rows() {
  tkdb::Session session;
  std::vector<R> out;
  tableOf<R>().select(session, "", {}, out);
  return out;
}
// One record by id; false when there is none.
template <class R>
bool row(long long id, R& out) {
  tkdb::Session session;
  return tableOf<R>().byId(session, id, out) == 0;
}
// Whether ReserveSNRVolume has handed the volume out.
inline bool isReserved(int32_t volumeId) {
  tkdb::Session session;
  tkdb::DbRow r;
  return session.queryOne("SELECT \"reserved\" FROM \"SNRVolume\" WHERE \"volumeId\" = ?", {volumeId}, r) == 0 &&
         r[0].i != 0;
}

}  // namespace testkit::replicadb
