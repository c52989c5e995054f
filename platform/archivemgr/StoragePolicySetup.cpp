// The archive manager stand-in's storage policy for a new disk library: the
// library's master pool (its first, or a new one), a drive pool of the media
// agent in it, the policy with its default copy, the copy's data path to the
// pool and its aging rule; all in one change, so a failure leaves nothing.
#include <string>

#include "platform/archivemgr/ArchiveManagerTK.h"
#include "platform/db/DBSession.h"
#include "platform/db/DBtable.h"
#include "platform/debuglog/EvDebug.h"

namespace {

constexpr const char* kTag = "ArchiveManagerTK::CreateStoragePolicyForLibrary";
// The archive manager's own error codes.
constexpr int kErrorDatabase = 0x1A000102;
constexpr int kErrorNoLibrary = 0x1A000104;

// The id of the first row `sql` gives, or a new row made by `insert`.
int firstOrNew(tkdb::Session& s, const char* sql, const std::vector<tkdb::DbValue>& keys, const char* insert,
               const std::vector<tkdb::DbValue>& values, int& id) {
  tkdb::DbRow row;
  int code = s.queryOne(sql, keys, row);
  if (code == DB_OK) {
    id = static_cast<int>(row.at(0).i);
    return DB_OK;
  }
  if (code != DB_NO_ROW) return code;
  code = s.exec(insert, values);
  if (code != DB_OK) return code;
  id = static_cast<int>(s.lastInsertId());
  return DB_OK;
}

}  // namespace

int ArchiveManagerTK::CreateStoragePolicyForLibrary(int libraryId, const std::string& libraryName, int mediaAgentId,
                                                     DBtran* tran, int& storagePolicyId, std::string& errorText) {
  tkarchivemgr::journal().record("CreateStoragePolicyForLibrary", libraryId, libraryName, mediaAgentId);
  tkjournal::Failure failure;
  if (tkarchivemgr::journal().takeFailure("CreateStoragePolicyForLibrary", failure)) {
    errorText = failure.text;
    return failure.code != 0 ? failure.code : kErrorDatabase;
  }
  tkdb::Session session(tran);
  int policy = 0;
  const int rc = session.atomically([&]() -> int {
    tkdb::DbRow row;
    int code = session.queryOne("SELECT 1 FROM \"MMLibrary\" WHERE \"LibraryId\" = ?", {libraryId}, row);
    if (code != DB_OK) return code == DB_NO_ROW ? kErrorNoLibrary : code;
    int master = 0;
    code = firstOrNew(session, "SELECT \"MasterPoolId\" FROM \"MMMasterPool\" WHERE \"LibraryId\" = ? ORDER BY 1 LIMIT 1",
                      {libraryId},
                      "INSERT INTO \"MMMasterPool\" (\"LibraryId\", \"MasterPoolName\", \"MaxDrivesToSwitch\") "
                      "VALUES (?, ?, -1)",
                      {libraryId, "MasterPool(" + libraryName + ")"}, master);
    if (code != DB_OK) return code;
    int pool = 0;
    code = firstOrNew(session,
                      "SELECT \"DrivePoolId\" FROM \"MMDrivePool\" WHERE \"MasterPoolId\" = ? AND \"ClientId\" = ? "
                      "ORDER BY 1 LIMIT 1",
                      {master, mediaAgentId},
                      "INSERT INTO \"MMDrivePool\" (\"DrivePoolName\", \"DrivePoolEnabled\", \"ClientId\", "
                      "\"MasterPoolId\") VALUES (?, 1, ?, ?)",
                      {"DrivePool(" + libraryName + ")", mediaAgentId, master}, pool);
    if (code != DB_OK) return code;
    code = session.exec("INSERT INTO \"archGroup\" (\"name\", \"type\", \"flags\", \"defaultCopy\") VALUES (?, 1, 0, 0)",
                        {"SP_" + libraryName});
    if (code != DB_OK) return code;
    policy = static_cast<int>(session.lastInsertId());
    code = session.exec("INSERT INTO \"archGroupCopy\" (\"archGroupId\", \"copy\", \"name\", \"type\", \"flags\", "
                        "\"isActive\", \"dedupeFlags\", \"extendedFlags\") VALUES (?, 1, 'Primary', 1, 0, 1, 0, 0)",
                        {policy});
    if (code != DB_OK) return code;
    const int copy = static_cast<int>(session.lastInsertId());
    code = session.exec("UPDATE \"archGroup\" SET \"defaultCopy\" = ? WHERE \"id\" = ?", {copy, policy});
    if (code != DB_OK) return code;
    code = session.exec("INSERT INTO \"MMDataPath\" (\"CopyId\", \"DrivePoolId\") VALUES (?, ?)", {copy, pool});
    if (code != DB_OK) return code;
    return session.exec("INSERT INTO \"archAgingRule\" (\"copyId\", \"retentionDays\", \"retentionCycles\", \"flags\") "
                        "VALUES (?, ?, ?, 0)",
                        {copy, kDefaultRetentionDays, kDefaultRetentionCycles});
  });
  if (rc != DB_OK) {
    errorText = rc == kErrorNoLibrary ? "No library with id [" + std::to_string(libraryId) + "]."
                                      : std::string("The storage policy could not be written: ") +
                                            DBtable::getErrorStr(rc);
    EvDebug::Error(kTag, "%s", errorText.c_str());
    return rc == kErrorNoLibrary ? kErrorNoLibrary : kErrorDatabase;
  }
  storagePolicyId = policy;
  EvDebug::Debug(kTag, "Storage policy [%d] writes to library [%d].", policy, libraryId);
  return 0;
}
