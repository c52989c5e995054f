// Media-management table access: media and media sides.
#include "platform/mmdb/MMMediaDB.h"

#include "platform/db/DBSession.h"
#include "platform/db/DBtable.h"
#include "platform/mmdb/MMLayouts.h"

int MMMediaDB::getInfoByMountPathId(int mountPathId, MMMedia_t& row, DBtran* tran) {
  static constexpr const char* kTag = "MMMediaDB::getInfoByMountPathId";
  if (!beginCall(kTag, mountPathId, mmTranText(tran))) return -1;
  return readOne(kTag, tkmmdb::mediaLayout(),
                 "\"MediaId\" = (SELECT S.\"MediaId\" FROM \"MMMediaSide\" S JOIN \"MMMountPath\" M ON "
                 "M.\"MediaSideId\" = S.\"MediaSideId\" WHERE M.\"MountPathId\" = ?)",
                 {mountPathId}, &row, tran, "No medium for mount path [" + std::to_string(mountPathId) + "].");
}

int MMMediaDB::deleteAllBackupsFromOldMedia(int mediaId, int copyId, bool& mediaEmpty, int& deletedCount,
                                            bool resetMedia, bool auditable, DBtran* tran,
                                            std::vector<ArchDeleteBackupByMedia_t>& deleted) {
  static constexpr const char* kTag = "MMMediaDB::deleteAllBackupsFromOldMedia";
  if (!beginCall(kTag, mediaId, copyId, resetMedia, auditable, mmTranText(tran))) return -1;
  std::vector<ArchDeleteBackupByMedia_t> gone;
  bool empty = false;
  const std::string copyFilter = copyId >= 0 ? " AND \"CopyId\" = ?" : "";
  std::vector<tkdb::DbValue> params{mediaId};
  if (copyId >= 0) params.emplace_back(copyId);
  int rc = atomically(kTag, tran, [&](tkdb::Session& s, Refusal& refusal) -> int {
    tkdb::DbRow row;
    int code = s.queryOne("SELECT 1 FROM \"MMMedia\" WHERE \"MediaId\" = ?", {mediaId}, row);
    if (code == DB_NO_ROW) {
      refusal = {MMS2_ERROR_NOT_FOUND, DB_NO_ROW, "No medium with id [" + std::to_string(mediaId) + "].", true};
      return kRefused;
    }
    if (code != DB_OK) return code;
    tkdb::DbRows rows;
    code = s.query("SELECT \"JobId\", \"AppId\", \"ArchGroupId\", \"CopyId\", \"MediaId\" FROM \"MMMediaBackup\" "
                   "WHERE \"MediaId\" = ?" + copyFilter + " ORDER BY \"JobId\", \"MediaBackupId\"",
                   params, rows);
    if (code != DB_OK) return code;
    for (const tkdb::DbRow& r : rows) {
      ArchDeleteBackupByMedia_t record;
      record.jobId = static_cast<int>(r[0].i);
      record.appId = static_cast<int>(r[1].i);
      record.archGroupId = static_cast<int>(r[2].i);
      record.copyId = static_cast<int>(r[3].i);
      record.mediaId = static_cast<int>(r[4].i);
      gone.push_back(record);
    }
    code = s.exec("DELETE FROM \"MMMediaBackup\" WHERE \"MediaId\" = ?" + copyFilter, params);
    if (code != DB_OK) return code;
    tkdb::DbRow left;
    code = s.queryOne("SELECT COUNT(*) FROM \"MMMediaBackup\" WHERE \"MediaId\" = ?", {mediaId}, left);
    if (code != DB_OK) return code;
    empty = left.empty() || left.front().i == 0;
    if (empty && resetMedia) {
      code = s.exec("UPDATE \"MMMedia\" SET \"DataWritten\" = 0 WHERE \"MediaId\" = ?", {mediaId});
      if (code != DB_OK) return code;
    }
    return 0;
  });
  if (rc != 0) return rc;
  mediaEmpty = empty;
  deletedCount = static_cast<int>(gone.size());
  deleted.insert(deleted.end(), gone.begin(), gone.end());
  return 0;
}

int MMMediaSideDB::getInfo(int mediaSideId, MMMediaSide_t& row, DBtran* tran) {
  static constexpr const char* kTag = "MMMediaSideDB::getInfo";
  if (!beginCall(kTag, mediaSideId, mmTranText(tran))) return -1;
  return readOne(kTag, tkmmdb::mediaSideLayout(), "\"MediaSideId\" = ?", {mediaSideId}, &row, tran,
                 "No media side with id [" + std::to_string(mediaSideId) + "].");
}
