// Media-management table access: drives, drive pools and master pools.
#include "platform/mmdb/MMDriveDB.h"

#include "platform/clock/Clock.h"
#include "platform/db/DBSession.h"
#include "platform/db/DBtable.h"
#include "platform/mmdb/MMJournal.h"
#include "platform/mmdb/MMLayouts.h"

namespace {

std::string missingDrive(int driveId) { return "No drive with id [" + std::to_string(driveId) + "]."; }

}  // namespace

// ---- drives ---------------------------------------------------------------------------

int MMDriveDB::resetAllCounters(int driveId, DBtran* tran) {
  static constexpr const char* kTag = "MMDriveDB::resetAllCounters";
  if (!beginCall(kTag, driveId, mmTranText(tran))) return -1;
  return change(kTag,
                "UPDATE \"MMDrive\" SET \"NumRestoresLifeTime\" = 0, \"NumBackupsLifeTime\" = 0, "
                "\"NumMountsLifeTime\" = 0, \"NumSoftErrsSinceClean\" = 0, \"NumSoftErrsLifeTime\" = 0, "
                "\"NumHardErrsSinceClean\" = 0, \"NumHardErrsLifeTime\" = 0, \"MinutesUsedSinceClean\" = 0, "
                "\"MinutesUsedLifeTime\" = 0, \"CleaningRequired\" = 0, \"LastServiceTime\" = ? "
                "WHERE \"DriveId\" = ?",
                {static_cast<long long>(tkclock::now()), driveId}, tran, missingDrive(driveId));
}

int MMDriveDB::resetCleaningCounters(int driveId, DBtran* tran) {
  static constexpr const char* kTag = "MMDriveDB::resetCleaningCounters";
  if (!beginCall(kTag, driveId, mmTranText(tran))) return -1;
  return change(kTag,
                "UPDATE \"MMDrive\" SET \"NumSoftErrsSinceClean\" = 0, \"NumHardErrsSinceClean\" = 0, "
                "\"MinutesUsedSinceClean\" = 0, \"CleaningRequired\" = 0, \"LastCleantime\" = ? "
                "WHERE \"DriveId\" = ?",
                {static_cast<long long>(tkclock::now()), driveId}, tran, missingDrive(driveId));
}

int MMDriveDB::setGood(int driveId, DBtran* tran) {
  static constexpr const char* kTag = "MMDriveDB::setGood";
  if (!beginCall(kTag, driveId, mmTranText(tran))) return -1;
  return change(kTag,
                "UPDATE \"MMDrive\" SET \"DriveBroken\" = 0, \"OfflineReason\" = 0, \"OfflineTimeStamp\" = 0, "
                "\"DriveOfflineReasonEventId\" = 0 WHERE \"DriveId\" = ?",
                {driveId}, tran, missingDrive(driveId));
}

// ---- drive pools -----------------------------------------------------------------------

int MMDrivePoolDB::getList(int libraryId, int clientId, MMDrivePool_t*& rows, int& count, DBtran* tran) {
  static constexpr const char* kTag = "MMDrivePoolDB::getList";
  rows = nullptr;
  count = 0;
  if (!beginCall(kTag, libraryId, clientId, mmTranText(tran))) return -1;
  return readList(kTag, tkmmdb::drivePoolLayout(),
                  "\"ClientId\" = ? AND \"MasterPoolId\" IN (SELECT \"MasterPoolId\" FROM \"MMMasterPool\" WHERE "
                  "\"LibraryId\" = ?)",
                  {clientId, libraryId}, rows, count, tran);
}

void MMDrivePoolDB::DeleteList(MMDrivePool_t*& rows, const char* file, int line) {
  if (tkmmdb::journalOn()) tkmmdb::journal().record("MMDrivePoolDB::DeleteList", tkjournal::args(file, line));
  delete[] rows;
  rows = nullptr;
}

// ---- master pools ----------------------------------------------------------------------

int MMMasterPoolDB::getList(int libraryId, MMMasterPool_t*& rows, int& count, DBtran* tran) {
  static constexpr const char* kTag = "MMMasterPoolDB::getList";
  rows = nullptr;
  count = 0;
  if (!beginCall(kTag, libraryId, mmTranText(tran))) return -1;
  return readList(kTag, tkmmdb::masterPoolLayout(), "\"LibraryId\" = ?", {libraryId}, rows, count, tran);
}

void MMMasterPoolDB::DeleteList(MMMasterPool_t*& rows, const char* file, int line) {
  if (tkmmdb::journalOn()) tkmmdb::journal().record("MMMasterPoolDB::DeleteList", tkjournal::args(file, line));
  delete[] rows;
  rows = nullptr;
}

int MMMasterPoolDB::setMaxSwitchForHost(int masterPoolId, int writers, DBtran* tran) {
  static constexpr const char* kTag = "MMMasterPoolDB::setMaxSwitchForHost";
  if (!beginCall(kTag, masterPoolId, writers, mmTranText(tran))) return -1;
  if (writers < -1) return fail(kTag, MMS2_ERROR_BAD_ARGUMENT, 0, "A writer limit below -1 was given.");
  return change(kTag, "UPDATE \"MMMasterPool\" SET \"MaxDrivesToSwitch\" = ? WHERE \"MasterPoolId\" = ?",
                {writers, masterPoolId}, tran, "No master pool with id [" + std::to_string(masterPoolId) + "].");
}
