// Media-management table access: library controllers.
#include "platform/mmdb/MMLibraryControllerDB.h"

#include "platform/db/DBtable.h"
#include "platform/mmdb/MMJournal.h"
#include "platform/mmdb/MMLayouts.h"

int MMLibraryControllerDB::getInfoByHostAndLibraryId(int clientId, int libraryId, MMLibraryController_t& row,
                                                     DBtran* tran) {
  static constexpr const char* kTag = "MMLibraryControllerDB::getInfoByHostAndLibraryId";
  if (!beginCall(kTag, clientId, libraryId, mmTranText(tran))) return -1;
  return readOne(kTag, tkmmdb::libraryControllerLayout(), "\"ClientId\" = ? AND \"LibraryId\" = ?",
                 {clientId, libraryId}, &row, tran,
                 "No library controller of media agent [" + std::to_string(clientId) + "] for library [" +
                     std::to_string(libraryId) + "].");
}

int MMLibraryControllerDB::getInfoForActiveCtrl(int libraryId, MMLibraryController_t& row, DBtran* tran) {
  static constexpr const char* kTag = "MMLibraryControllerDB::getInfoForActiveCtrl";
  if (!beginCall(kTag, libraryId, mmTranText(tran))) return -1;
  return readOne(kTag, tkmmdb::libraryControllerLayout(), "\"LibraryId\" = ? AND \"IsActive\" <> 0", {libraryId},
                 &row, tran, "Library [" + std::to_string(libraryId) + "] has no active library controller.",
                 MMS2_ERROR_NO_ACTIVE_CONTROLLER);
}

int MMLibraryControllerDB::getListByLibraryId(int libraryId, MMLibraryController_t*& rows, int& count,
                                              DBtran* tran) {
  static constexpr const char* kTag = "MMLibraryControllerDB::getListByLibraryId";
  rows = nullptr;
  count = 0;
  if (!beginCall(kTag, libraryId, mmTranText(tran))) return -1;
  return readList(kTag, tkmmdb::libraryControllerLayout(), "\"LibraryId\" = ?", {libraryId}, rows, count, tran);
}

void MMLibraryControllerDB::DeleteList(MMLibraryController_t*& rows, const char* file, int line) {
  if (tkmmdb::journalOn()) tkmmdb::journal().record("MMLibraryControllerDB::DeleteList", tkjournal::args(file, line));
  delete[] rows;
  rows = nullptr;
}
