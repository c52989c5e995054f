// The archive manager stand-in's storage policy for a new disk library: the
// library's master pool (its first, or a new one), a drive pool of the media
// agent in it, the policy with its default copy, the copy's data path to the
// pool and its aging rule; all in one change, so a failure leaves nothing.
#include <string>

#include "platform/archivemgr/ArchiveManagerTK.h"
#include "platform/db/DBSession.h"
#include "platform/db/DBtable.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/mmdb/MMDerivedNames.h"
#include "platform/mmdb/MMLibraryName.h"

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

// The library's pools, the policy, its default copy, data path and aging
// rule in one change. `mediaAgentId` below 0: the library's first drive pool
// (of any agent) serves, else a new one of no agent.
int writePolicy(DBtran* tran, int libraryId, const std::string& libraryName, int mediaAgentId, int flags,
                int& policy, int& copy, std::string& errorText) {
  tkdb::Session session(tran);
  const int rc = session.atomically([&]() -> int {
    tkdb::DbRow row;
    int code = session.queryOne("SELECT 1 FROM \"MMLibrary\" WHERE \"LibraryId\" = ?", {libraryId}, row);
    if (code != DB_OK) return code == DB_NO_ROW ? kErrorNoLibrary : code;
    int master = 0;
    code = firstOrNew(session, "SELECT \"MasterPoolId\" FROM \"MMMasterPool\" WHERE \"LibraryId\" = ? ORDER BY 1 LIMIT 1",
                      {libraryId},
                      "INSERT INTO \"MMMasterPool\" (\"LibraryId\", \"MasterPoolName\", \"MaxDrivesToSwitch\") "
                      "VALUES (?, ?, -1)",
                      {libraryId, tkmmdb::masterPoolName(libraryName)}, master);
    if (code != DB_OK) return code;
    int pool = 0;
    if (mediaAgentId < 0) {
      code = firstOrNew(session,
                        "SELECT \"DrivePoolId\" FROM \"MMDrivePool\" WHERE \"MasterPoolId\" = ? ORDER BY 1 LIMIT 1",
                        {master},
                        "INSERT INTO \"MMDrivePool\" (\"DrivePoolName\", \"DrivePoolEnabled\", \"ClientId\", "
                        "\"MasterPoolId\") VALUES (?, 1, 0, ?)",
                        {tkmmdb::drivePoolName(libraryName), master}, pool);
    } else {
      code = firstOrNew(session,
                        "SELECT \"DrivePoolId\" FROM \"MMDrivePool\" WHERE \"MasterPoolId\" = ? AND \"ClientId\" = ? "
                        "ORDER BY 1 LIMIT 1",
                        {master, mediaAgentId},
                        "INSERT INTO \"MMDrivePool\" (\"DrivePoolName\", \"DrivePoolEnabled\", \"ClientId\", "
                        "\"MasterPoolId\") VALUES (?, 1, ?, ?)",
                        {tkmmdb::drivePoolName(libraryName), mediaAgentId, master}, pool);
    }
    if (code != DB_OK) return code;
    code = session.exec("INSERT INTO \"archGroup\" (\"name\", \"type\", \"flags\", \"defaultCopy\") VALUES (?, 1, ?, 0)",
                        {tkmmdb::storagePolicyName(libraryName), flags});
    if (code != DB_OK) return code;
    policy = static_cast<int>(session.lastInsertId());
    code = session.exec("INSERT INTO \"archGroupCopy\" (\"archGroupId\", \"copy\", \"name\", \"type\", \"flags\", "
                        "\"isActive\", \"dedupeFlags\", \"extendedFlags\") VALUES (?, 1, ?, 1, 0, 1, 0, 0)",
                        {policy, tkmmdb::kPrimaryCopyName});
    if (code != DB_OK) return code;
    copy = static_cast<int>(session.lastInsertId());
    code = session.exec("UPDATE \"archGroup\" SET \"defaultCopy\" = ? WHERE \"id\" = ?", {copy, policy});
    if (code != DB_OK) return code;
    code = session.exec("INSERT INTO \"MMDataPath\" (\"CopyId\", \"DrivePoolId\") VALUES (?, ?)", {copy, pool});
    if (code != DB_OK) return code;
    return session.exec("INSERT INTO \"archAgingRule\" (\"copyId\", \"retentionDays\", \"retentionCycles\", \"flags\") "
                        "VALUES (?, ?, ?, 0)",
                        {copy, ArchiveManagerTK::kDefaultRetentionDays, ArchiveManagerTK::kDefaultRetentionCycles});
  });
  if (rc == DB_OK) {
    EvDebug::Debug(kTag, "Storage policy [%d] writes to library [%d].", policy, libraryId);
    return 0;
  }
  errorText = rc == kErrorNoLibrary ? "No library with id [" + std::to_string(libraryId) + "]."
                                    : std::string("The storage policy could not be written: ") +
                                          DBtable::getErrorStr(rc);
  EvDebug::Error(kTag, "%s", errorText.c_str());
  return rc == kErrorNoLibrary ? kErrorNoLibrary : kErrorDatabase;
}

// A failure injected into `name`: its code (the database error when 0).
bool injected(const char* name, int& code, std::string& text) {
  tkjournal::Failure failure;
  if (!tkarchivemgr::journal().takeFailure(name, failure)) return false;
  text = failure.text;
  code = failure.code != 0 ? failure.code : kErrorDatabase;
  return true;
}

}  // namespace

int ArchiveManagerTK::CreateStoragePolicyForLibrary(int libraryId, const std::string& libraryName, int mediaAgentId,
                                                     DBtran* tran, int& storagePolicyId, std::string& errorText) {
  tkarchivemgr::journal().record("CreateStoragePolicyForLibrary", libraryId, libraryName, mediaAgentId);
  int code = 0;
  if (injected("CreateStoragePolicyForLibrary", code, errorText)) return code;
  int policy = 0;
  int copy = 0;
  code = writePolicy(tran, libraryId, libraryName, mediaAgentId < 0 ? 0 : mediaAgentId, 0, policy, copy, errorText);
  if (code == 0) storagePolicyId = policy;
  return code;
}

int ArchiveManagerTK::CreateStoragePolicyForLibrary(const CreateStoragePolicyForLibraryArgs_t& args,
                                                     CreateStoragePolicyForLibraryRet_t& result) {
  tkarchivemgr::journal().record("CreateStoragePolicyForLibraryArgs", args.libraryId, args.flags, args.userId);
  result = CreateStoragePolicyForLibraryRet_t{};
  int code = 0;
  if (injected("CreateStoragePolicyForLibraryArgs", code, result.errorText)) {
    result.errorCode = code;
    return code;
  }
  std::string name;
  {
    tkdb::Session session(nullptr);
    tkdb::DbRow row;
    const int rc = session.queryOne(
        std::string("SELECT ") + tkmmdb::kAnsweredNameSql + " FROM \"MMLibrary\" WHERE \"LibraryId\" = ?",
        {args.libraryId}, row);
    if (rc != DB_OK) {
      result.errorCode = rc == DB_NO_ROW ? kErrorNoLibrary : kErrorDatabase;
      result.errorText = rc == DB_NO_ROW ? "No library with id [" + std::to_string(args.libraryId) + "]."
                                         : std::string("The library could not be read: ") + DBtable::getErrorStr(rc);
      return result.errorCode;
    }
    name = row.at(0).s;
  }
  int policy = 0;
  int copy = 0;
  code = writePolicy(nullptr, args.libraryId, name, -1, args.flags, policy, copy, result.errorText);
  result.errorCode = code;
  if (code != 0) return code;
  result.storagePolicyId = policy;
  result.storagePolicyName = tkmmdb::storagePolicyName(name);
  result.copyId = copy;
  result.copyName = tkmmdb::kPrimaryCopyName;
  return 0;
}
