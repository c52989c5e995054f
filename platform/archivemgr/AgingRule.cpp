// The aging rule and disk threshold of a storage policy (see AgingRule.h).
#include "platform/archivemgr/AgingRule.h"

#include "platform/archivemgr/ArchiveManagerTK.h"
#include "platform/db/DBSession.h"
#include "platform/db/DBtable.h"
#include "platform/debuglog/EvDebug.h"

namespace {

constexpr const char* kTag = "SetAgingRuleAndThreshold";
// The rule's flag bit that the wizards set or clear.
constexpr int kAutoManageDisk = 8;
constexpr int kNoDefaultCopy = -1;

}  // namespace

bool SetAgingRuleAndThreshold(int storagePolicyId, int retentionDays, int retentionCycles, int flags, int libraryId,
                              int threshold) {
  tkarchivemgr::journal().record("SetAgingRuleAndThreshold", storagePolicyId, retentionDays, retentionCycles, flags,
                                 libraryId, threshold);
  tkjournal::Failure failure;
  if (tkarchivemgr::journal().takeFailure("SetAgingRuleAndThreshold", failure)) {
    EvDebug::Error(kTag, "Storage policy [%d]: %s", storagePolicyId, failure.text.c_str());
    return false;
  }
  tkdb::Session session(nullptr);
  const int rc = session.atomically([&]() -> int {
    tkdb::DbRow row;
    int code = session.queryOne(
        "SELECT C.\"id\" FROM \"archGroup\" G JOIN \"archGroupCopy\" C ON C.\"id\" = G.\"defaultCopy\" "
        "WHERE G.\"id\" = ?",
        {storagePolicyId}, row);
    if (code != DB_OK) return code == DB_NO_ROW ? kNoDefaultCopy : code;
    const long long copy = row.at(0).i;
    code = session.exec(
        "INSERT INTO \"archAgingRule\" (\"copyId\", \"retentionDays\", \"retentionCycles\", \"flags\") "
        "VALUES (?1, ?2, ?3, ?4) ON CONFLICT (\"copyId\") DO UPDATE SET \"retentionDays\" = ?2, "
        "\"retentionCycles\" = ?3, \"flags\" = (IFNULL(\"flags\", 0) & ~?5) | ?4",
        {copy, retentionDays, retentionCycles, flags, kAutoManageDisk});
    if (code != DB_OK || libraryId < 1) return code;
    return session.exec("UPDATE \"MMLibrary\" SET \"ThresholdPercentage\" = ? WHERE \"LibraryId\" = ?",
                        {threshold, libraryId});
  });
  if (rc == kNoDefaultCopy) {
    EvDebug::Error(kTag, "Storage policy [%d] has no default copy.", storagePolicyId);
    return false;
  }
  if (rc != DB_OK) {
    EvDebug::Error(kTag, "Storage policy [%d]: %s", storagePolicyId, DBtable::getErrorStr(rc));
    return false;
  }
  return true;
}

int AMAgingRule::lookupAgingRule() {
  tkarchivemgr::journal().record("lookupAgingRule", m_copyId);
  tkjournal::Failure failure;
  if (tkarchivemgr::journal().takeFailure("lookupAgingRule", failure))
    return failure.code != 0 ? failure.code : DB_ERR_GENERAL;
  tkdb::Session session(m_tran);
  tkdb::DbRow row;
  const int rc = session.queryOne(
      "SELECT IFNULL(\"retentionDays\", 0), IFNULL(\"retentionCycles\", 0), IFNULL(\"flags\", 0) "
      "FROM \"archAgingRule\" WHERE \"copyId\" = ?",
      {m_copyId}, row);
  if (rc != DB_OK) return rc;
  m_days = static_cast<int>(row.at(0).i);
  m_cycles = static_cast<int>(row.at(1).i);
  m_flags = static_cast<int>(row.at(2).i);
  return 0;
}
