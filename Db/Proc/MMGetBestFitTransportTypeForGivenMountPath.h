// Binding of the stored procedure MMGetBestFitTransportTypeForGivenMountPath:
// the transport (access-type) bits that suit a mount path, with the folder
// and credentials of a device path that can be reused for it. The
// device-path request asks it for an addition whose entry wants the
// transport picked automatically:
//
//   BestFitTransport pick = pickBestFitTransport(mountPathId, record);
//   switch (pick.outcome) {
//     case BestFit::Picked:
//       if (pick.transportBits > 0) ... "Auto picked transport type is [%d]" ...
//       if (pick.tookFolder) ... "Folder/User credentials retrieved ..." ...
//       if (pick.tookUserAndPassword) ... ZQPassword::decrypt(pick.encryptedPassword) into the entry ...
//       break;
//     case BestFit::NothingToPick: break;
//     case BestFit::Failed: ... "Failed to execute the stored proc to get identify ..." ...
//   }
//
// Texts may be one character longer than the record's fields (s1025 into
// char[1024], s2049 into char[2048]): they are cut to what the field holds
// and every field stays terminated.
//
// The body is the database's (platform/db/procs/MMGetBestFitTransportTypeForGivenMountPath.cpp).
#pragma once

#include <cstdint>

#include "Db/ZQDBProcBinding.h"
#include "platform/mmdb/ZQMMRecords.h"

#define MMGETBESTFITTRANSPORTTYPEFORGIVENMOUNTPATH_COLUMNS(COL) \
  COL(o_TransportType, i, 0)                                    \
  COL(o_Folder, s, 1025)                                        \
  COL(o_UserName, s, 1025)                                      \
  COL(o_UserPassword, s, 2049)                                  \
  COL(o_credentialId, i, 0)

inline constexpr ZQDBBindingInfo MMGetBestFitTransportTypeForGivenMountPath_info{
    .headerType = ZQDB_HEADER_PROCEDURE,
    .dbName = "MMGetBestFitTransportTypeForGivenMountPath",
    .className = "MMGetBestFitTransportTypeForGivenMountPath",
    .version = "00010001000200060000",
    .header = "Db/Proc/MMGetBestFitTransportTypeForGivenMountPath",
    .line = 419};

struct MMGetBestFitTransportTypeForGivenMountPath_t {
  MMGETBESTFITTRANSPORTTYPEFORGIVENMOUNTPATH_COLUMNS(ZQDB_FIELD)
  ZQDB_ROW(MMGetBestFitTransportTypeForGivenMountPath_t, MMGETBESTFITTRANSPORTTYPEFORGIVENMOUNTPATH_COLUMNS)
};

class MMGetBestFitTransportTypeForGivenMountPath_t2
    : public ZQDBCatalogue<MMGetBestFitTransportTypeForGivenMountPath_t2, MMGetBestFitTransportTypeForGivenMountPath_t,
                           MMGetBestFitTransportTypeForGivenMountPath_info> {
 public:
  MMGetBestFitTransportTypeForGivenMountPath_t2() = default;
  MMGetBestFitTransportTypeForGivenMountPath_t2(const MMGetBestFitTransportTypeForGivenMountPath_t2&) = delete;
  MMGetBestFitTransportTypeForGivenMountPath_t2& operator=(const MMGetBestFitTransportTypeForGivenMountPath_t2&) =
      delete;
};

class MMGetBestFitTransportTypeForGivenMountPath
    : public ZQDBProcBinding<MMGetBestFitTransportTypeForGivenMountPath_t,
                             MMGetBestFitTransportTypeForGivenMountPath_t2,
                             MMGetBestFitTransportTypeForGivenMountPath_info> {
 public:
  explicit MMGetBestFitTransportTypeForGivenMountPath(DBtran* tran) : ZQDBProcBinding(tran) {}
  // (mount-path id). Text mode: "%d" after a size check of 14.
  void setValues(int mountPathId) { bindInputs(mountPathId); }
  void setZQDBValues(ZQDB_int* mountPathId) { bindValues(mountPathId); }
};

// --- what the callers make of the result ---------------------------------------------

enum class BestFit {
  Picked,         // 0: a row; what it offers went into the record
  NothingToPick,  // 100: no row; the record is unchanged
  Failed,         // anything else: a database failure
};

constexpr BestFit bestFitOf(int result) {
  return result == 0 ? BestFit::Picked : result == DB_NO_ROW ? BestFit::NothingToPick : BestFit::Failed;
}

struct BestFitTransport {
  BestFit outcome = BestFit::NothingToPick;
  int result = 0;                     // getOneRow's answer
  int transportBits = 0;              // o_TransportType when above 0 (OR-ed into the access type), else 0
  bool tookFolder = false;            // o_Folder was not empty and replaced the folder
  bool tookUserAndPassword = false;   // ... and, without a credential id, the user name and password
  bool tookCredentialId = false;      // ... or, with one (1 or more), the credential id
  char encryptedPassword[2048] = {};  // o_UserPassword as stored, when tookUserAndPassword
};

// Applies one row to the record: the transport bits above 0 are OR-ed into
// the access type; a non-empty folder replaces the folder, and with it,
// when o_credentialId is below 1, the user name (the caller decrypts the
// password kept in `out.encryptedPassword` into the entry), otherwise the
// credential id. An empty folder leaves folder and credentials as they are.
inline void applyBestFitTransport(const MMGetBestFitTransportTypeForGivenMountPath_t& row,
                                  MMDeviceControllerParams& record, BestFitTransport& out) {
  if (row.o_TransportType > 0) {
    out.transportBits = row.o_TransportType;
    record.deviceAccessType |= static_cast<uint32_t>(row.o_TransportType);
  }
  if (row.o_Folder[0] == '\0') return;
  out.tookFolder = true;
  MMCopyText(record.folder, row.o_Folder);
  if (row.o_credentialId < 1) {
    out.tookUserAndPassword = true;
    MMCopyText(record.userName, row.o_UserName);
    MMCopyText(out.encryptedPassword, row.o_UserPassword);
  } else {
    out.tookCredentialId = true;
    record.credentialId = static_cast<uint32_t>(row.o_credentialId);
  }
}

// Runs the procedure for the mount path (no transaction, isolation type 4)
// and applies a row to the record.
inline BestFitTransport pickBestFitTransport(int mountPathId, MMDeviceControllerParams& record) {
  BestFitTransport out;
  MMGetBestFitTransportTypeForGivenMountPath proc(nullptr);
  proc.setIsolationType(4);
  proc.setValues(mountPathId);
  out.result = getOneRow(&proc, false, -1, 0);
  out.outcome = bestFitOf(out.result);
  if (out.outcome == BestFit::Picked) applyBestFitTransport(*proc.getDataPtr(), record, out);
  return out;
}
