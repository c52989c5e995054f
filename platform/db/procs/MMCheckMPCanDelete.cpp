// Body of the stored procedure MMCheckMPCanDelete(mountPathId, libraryId, localeId).
//
// One row for a mount path of the library (a library id below 1 matches
// any); no row for an unknown mount path or one of another library. A
// mount-path id of 0 asks about the whole library: one row for a library
// that exists (a library id of 1 or more), answered over all of its mount
// paths together (code 0 for a library without any); no row otherwise.
//   o_errorCode 0 (texts empty and null) when nothing depends on the mount
//   path. Otherwise the bits of what depends on it:
//     2  backups keep data on its media (content to delete first);
//     4  deduplication stores reference its volumes;
//     8  running jobs use its media;
//     1  with any of these: nothing of it needs physical cleanup (no data
//        was ever written on its media side).
//   o_errorString: the reason (catalogue text 0x23000C70, for a whole
//   library 0x23000DA5) in the locale passed; o_JobsListXML: <JobList><Job id="J"/>...</JobList> of the jobs
//   whose backups are on it, null without any; o_SIDBListXML:
//   <SIDBList><SIDB id="S"/>...</SIDBList> of the stores, null without any
//   (the input of MMInsertDeletedMPToDDB).
#include "Db/Proc/MMCheckMPCanDelete.h"

#include <cstdint>
#include <string>
#include <vector>

#include "Db/Tbl/JMJobInfo.h"
#include "Db/Tbl/MMMountPath.h"
#include "platform/catalogue/Catalogue.h"
#include "platform/db/procs/ProcBodySupport.h"

namespace {

constexpr const char* kName = "MMCheckMPCanDelete";
// Its text is the catalogue's (platform/catalogue/texts/mountpathdeletion.cpp).
constexpr uint32_t kReasonInUse = 0x23000C70;
// Its text is in platform/catalogue/texts/ownership.cpp.
constexpr uint32_t kReasonLibraryInUse = 0x23000DA5;

// The mount paths asked about (?1 the mount-path id, ?2 the library id), as
// a condition on MMMountPath P.
constexpr const char* kOneMountPath = "P.MountPathId = ?1 AND (?2 < 1 OR P.LibraryId = ?2)";
constexpr const char* kWholeLibrary = "P.LibraryId = ?2";

int ids(tkdb::Session& db, const std::string& sql, const std::vector<tkdb::DbValue>& params,
        std::vector<long long>& out) {
  out.clear();
  tkdb::DbRows rows;
  int code = db.query(sql, params, rows);
  if (code != DB_OK) return code;
  for (const tkdb::DbRow& row : rows) {
    if (!row.empty() && row[0].type == tkdb::DbValue::Type::Int) out.push_back(row[0].i);
  }
  return DB_OK;
}

int body(tkdb::ProcCall& call) {
  std::vector<long long> in;
  if (!tkprocs::integerInputs(call, kName, 3, "three integers (mount-path id, library id, locale id)", in)) {
    return DB_ERR_INPUT;
  }
  tkdb::Session& db = call.session;
  const bool wholeLibrary = in[0] == 0;
  const std::string scope = wholeLibrary ? kWholeLibrary : kOneMountPath;
  // What is asked about exists: its name, and whether data was ever written
  // on the media side of one of its mount paths.
  tkdb::DbRow subject;
  int code = wholeLibrary
                 ? db.queryOne("SELECT IFNULL(L.AliasName, ''), (SELECT IFNULL(MAX(S.DataWrittenBytes), 0) FROM "
                               "MMMountPath P JOIN MMMediaSide S ON S.MediaSideId = P.MediaSideId WHERE " +
                                   scope + ") FROM MMLibrary L WHERE L.LibraryId = ?2 AND ?2 > 0",
                               {in[0], in[1]}, subject)
                 : db.queryOne("SELECT IFNULL(P.MountPathName, ''), IFNULL(S.DataWrittenBytes, 0) FROM MMMountPath P "
                               "LEFT JOIN MMMediaSide S ON S.MediaSideId = P.MediaSideId WHERE " +
                                   scope,
                               {in[0], in[1]}, subject);
  if (code == DB_NO_ROW) return DB_OK;  // no row: no such mount path in the library, or no such library
  if (code != DB_OK) return tkprocs::failed(call, code);
  const bool written = subject[1].type == tkdb::DbValue::Type::Int && subject[1].i > 0;
  // The media and media sides of the mount paths asked about.
  const std::string media =
      "SELECT S.MediaId FROM MMMountPath P JOIN MMMediaSide S ON S.MediaSideId = P.MediaSideId WHERE " + scope +
      " AND S.MediaId > 0";
  const std::string sides = "SELECT P.MediaSideId FROM MMMountPath P WHERE " + scope + " AND P.MediaSideId > 0";
  const std::vector<tkdb::DbValue> inputs{in[0], in[1]};

  std::vector<long long> backupJobs;
  std::vector<long long> stores;
  std::vector<long long> running;
  long long backups = 0;
  tkdb::DbRow count;
  code = db.queryOne("SELECT COUNT(*) FROM MMMediaBackup WHERE MediaId IN (" + media + ")", inputs, count);
  if (code == DB_OK) backups = count[0].i;
  if (code == DB_OK) {
    code = ids(db, "SELECT DISTINCT JobId FROM MMMediaBackup WHERE MediaId IN (" + media + ") ORDER BY JobId", inputs,
               backupJobs);
  }
  if (code == DB_OK) {
    code = ids(db,
               "SELECT DISTINCT SIDBStoreId FROM MMVolume WHERE MediaSideId IN (" + sides +
                   ") AND SIDBStoreId > 0 ORDER BY SIDBStoreId",
               inputs, stores);
  }
  if (code == DB_OK) {
    code = ids(db,
               "SELECT DISTINCT J.jobId FROM JMJobInfo J WHERE J.jobId IN "
               "(SELECT JobId FROM MMMediaBackup WHERE MediaId IN (" +
                   media + ")) ORDER BY J.jobId",
               inputs, running);
  }
  if (code != DB_OK) return tkprocs::failed(call, code);

  long long errorCode = 0;
  if (backups > 0) errorCode |= kMountPathContentToDelete;
  if (!stores.empty()) errorCode |= kMountPathDDBReferences;
  if (!running.empty()) errorCode |= kMountPathRunningJobs;
  if (errorCode == 0) {
    call.rows.push_back({tkdb::DbValue(0), tkdb::DbValue(std::string()), tkdb::DbValue(), tkdb::DbValue()});
    return DB_OK;
  }
  if (!written && backups == 0) errorCode |= kMountPathNoPhysicalCleanup;
  const uint16_t locale = static_cast<uint16_t>(in[2] < 0 || in[2] > 0xFFFF ? 0 : in[2]);
  std::string reason = tkcatalogue::render(wholeLibrary ? kReasonLibraryInUse : kReasonInUse, locale,
                                           {subject[0].s, std::to_string(backupJobs.size()),
                                            std::to_string(stores.size()), std::to_string(running.size())});
  std::string jobs = tkprocs::writeIdList("JobList", "Job", backupJobs);
  std::string storeList = tkprocs::writeIdList("SIDBList", "SIDB", stores);
  call.rows.push_back({tkdb::DbValue(errorCode), tkdb::DbValue(reason),
                       jobs.empty() ? tkdb::DbValue() : tkdb::DbValue(jobs),
                       storeList.empty() ? tkdb::DbValue() : tkdb::DbValue(storeList)});
  return DB_OK;
}

[[maybe_unused]] const bool kRegistered = tkprocs::registered(kName, body);

}  // namespace
