// Media-management table access: mount paths.
#include "platform/mmdb/MMMountPathDB.h"

#include "platform/clock/Clock.h"
#include "platform/db/DBSession.h"
#include "platform/db/DBtable.h"
#include "platform/mmdb/MMJournal.h"
#include "platform/mmdb/MMLayouts.h"

namespace {

std::string missingMountPath(int mountPathId) {
  return "No mount path with id [" + std::to_string(mountPathId) + "].";
}

}  // namespace

int MMMountPathDB::getInfo(int mountPathId, MMMountPath_t& row, DBtran* tran) {
  static constexpr const char* kTag = "MMMountPathDB::getInfo";
  if (!beginCall(kTag, mountPathId, mmTranText(tran))) return -1;
  return readOne(kTag, tkmmdb::mountPathLayout(), "\"MountPathId\" = ?", {mountPathId}, &row, tran,
                 missingMountPath(mountPathId));
}

int MMMountPathDB::getListForLibrary(int libraryId, MMMountPath_t*& rows, int& count, DBtran* tran) {
  static constexpr const char* kTag = "MMMountPathDB::getListForLibrary";
  rows = nullptr;
  count = 0;
  if (!beginCall(kTag, libraryId, mmTranText(tran))) return -1;
  return readList(kTag, tkmmdb::mountPathLayout(), "\"LibraryId\" = ?", {libraryId}, rows, count, tran);
}

int MMMountPathDB::getListForDevice(int deviceId, MMMountPath_t*& rows, int& count, DBtran* tran) {
  static constexpr const char* kTag = "MMMountPathDB::getListForDevice";
  rows = nullptr;
  count = 0;
  if (!beginCall(kTag, deviceId, mmTranText(tran))) return -1;
  return readList(kTag, tkmmdb::mountPathLayout(),
                  "\"MountPathId\" IN (SELECT \"MountPathId\" FROM \"MMMountPathToStorageDevice\" WHERE "
                  "\"DeviceId\" = ?)",
                  {deviceId}, rows, count, tran);
}

void MMMountPathDB::DeleteList(MMMountPath_t*& rows, const char* file, int line) {
  if (tkmmdb::journalOn()) tkmmdb::journal().record("MMMountPathDB::DeleteList", tkjournal::args(file, line));
  delete[] rows;
  rows = nullptr;
}

int MMMountPathDB::getMountPathCountForLibrary(int libraryId, int& count, DBtran* tran) {
  static constexpr const char* kTag = "MMMountPathDB::getMountPathCountForLibrary";
  if (!beginCall(kTag, libraryId, mmTranText(tran))) return -1;
  tkdb::Session session(tran);
  tkdb::DbRow row;
  int rc = session.queryOne("SELECT COUNT(*) FROM \"MMMountPath\" WHERE \"LibraryId\" = ?", {libraryId}, row);
  if (rc != DB_OK) return failDatabase(kTag, rc, session, "Could not count the mount paths of a library");
  count = row.empty() ? 0 : static_cast<int>(row.front().i);
  return 0;
}

int MMMountPathDB::setMaxWriters(int mountPathId, int writers, DBtran* tran) {
  static constexpr const char* kTag = "MMMountPathDB::setMaxWriters";
  if (!beginCall(kTag, mountPathId, writers, mmTranText(tran))) return -1;
  if (writers < 0) return fail(kTag, MMS2_ERROR_BAD_ARGUMENT, 0, "A writer count below 0 was given.");
  return change(kTag, "UPDATE \"MMMountPath\" SET \"MaxConcurrentWriters\" = ? WHERE \"MountPathId\" = ?",
                {writers, mountPathId}, tran, missingMountPath(mountPathId));
}

int MMMountPathDB::setMagneticReserveSpace(int mountPathId, int reserveMB, DBtran* tran) {
  static constexpr const char* kTag = "MMMountPathDB::setMagneticReserveSpace";
  if (!beginCall(kTag, mountPathId, reserveMB, mmTranText(tran))) return -1;
  if (reserveMB < 0) return fail(kTag, MMS2_ERROR_BAD_ARGUMENT, 0, "A reserved space below 0 was given.");
  return change(kTag, "UPDATE \"MMMountPath\" SET \"MagneticSpaceRsrvInMB\" = ? WHERE \"MountPathId\" = ?",
                {reserveMB, mountPathId}, tran, missingMountPath(mountPathId));
}

int MMMountPathDB::setAttribute(int mountPathId, int attribute, DBtran* tran) {
  static constexpr const char* kTag = "MMMountPathDB::setAttribute";
  if (!beginCall(kTag, mountPathId, attribute, mmTranText(tran))) return -1;
  return change(kTag, "UPDATE \"MMMountPath\" SET \"Attribute\" = ? WHERE \"MountPathId\" = ?",
                {attribute, mountPathId}, tran, missingMountPath(mountPathId));
}

int MMMountPathDB::setEnabled(int mountPathId, DBtran* tran) {
  static constexpr const char* kTag = "MMMountPathDB::setEnabled";
  if (!beginCall(kTag, mountPathId, mmTranText(tran))) return -1;
  return change(kTag, "UPDATE \"MMMountPath\" SET \"IsEnabled\" = 1 WHERE \"MountPathId\" = ?", {mountPathId}, tran,
                missingMountPath(mountPathId));
}

int MMMountPathDB::setDisabled(int mountPathId, DBtran* tran) {
  static constexpr const char* kTag = "MMMountPathDB::setDisabled";
  if (!beginCall(kTag, mountPathId, mmTranText(tran))) return -1;
  return change(kTag, "UPDATE \"MMMountPath\" SET \"IsEnabled\" = 0 WHERE \"MountPathId\" = ?", {mountPathId}, tran,
                missingMountPath(mountPathId));
}

int MMMountPathDB::setOnline(int mountPathId, DBtran* tran) {
  static constexpr const char* kTag = "MMMountPathDB::setOnline";
  if (!beginCall(kTag, mountPathId, mmTranText(tran))) return -1;
  return change(kTag,
                "UPDATE \"MMMountPath\" SET \"IsOffline\" = 0, \"OfflineReason\" = 0, \"OffLineTimeStamp\" = 0, "
                "\"MountPathOfflineReasonEventId\" = 0 WHERE \"MountPathId\" = ?",
                {mountPathId}, tran, missingMountPath(mountPathId));
}

int MMMountPathDB::setOffline(int mountPathId, MountPathOfflineReason reason, DBtran* tran) {
  static constexpr const char* kTag = "MMMountPathDB::setOffline";
  if (!beginCall(kTag, mountPathId, static_cast<int>(reason), mmTranText(tran))) return -1;
  const long long now = static_cast<long long>(tkclock::now());
  return change(kTag,
                "UPDATE \"MMMountPath\" SET \"IsOffline\" = 1, \"OfflineReason\" = ?, \"OffLineTimeStamp\" = ? "
                "WHERE \"MountPathId\" = ?",
                {static_cast<int>(reason), now, mountPathId}, tran, missingMountPath(mountPathId));
}

int MMMountPathDB::setMountPathType(int mountPathId, MountPathType type, DBtran* tran) {
  static constexpr const char* kTag = "MMMountPathDB::setMountPathType";
  if (!beginCall(kTag, mountPathId, static_cast<int>(type), mmTranText(tran))) return -1;
  return change(kTag, "UPDATE \"MMMountPath\" SET \"MountPathTypeId\" = ? WHERE \"MountPathId\" = ?",
                {static_cast<int>(type), mountPathId}, tran, missingMountPath(mountPathId));
}
