// Media-management table access: device controllers.
#include "platform/mmdb/MMDeviceControllerDB.h"

#include "platform/db/DBSession.h"
#include "platform/db/DBtable.h"
#include "platform/mmdb/MMJournal.h"
#include "platform/mmdb/MMLayouts.h"

namespace {

std::string missingController(int id) { return "No device controller with id [" + std::to_string(id) + "]."; }

}  // namespace

int MMDeviceControllerDB::getInfo(int deviceControllerId, MMDeviceController_t& row, DBtran* tran) {
  static constexpr const char* kTag = "MMDeviceControllerDB::getInfo";
  if (!beginCall(kTag, deviceControllerId, mmTranText(tran))) return -1;
  return readOne(kTag, tkmmdb::deviceControllerLayout(), "\"DeviceControllerId\" = ?", {deviceControllerId}, &row,
                 tran, missingController(deviceControllerId));
}

int MMDeviceControllerDB::getInfoInDB(int deviceControllerId, MMDeviceController_t& row, DBtran* tran) {
  static constexpr const char* kTag = "MMDeviceControllerDB::getInfoInDB";
  if (!beginCall(kTag, deviceControllerId, mmTranText(tran))) return -1;
  return readOne(kTag, tkmmdb::deviceControllerLayout(), "\"DeviceControllerId\" = ?", {deviceControllerId}, &row,
                 tran, missingController(deviceControllerId));
}

int MMDeviceControllerDB::getInfoByHstAndDeviceId(int clientId, int deviceId, MMDeviceController_t& row,
                                                  DBtran* tran) {
  static constexpr const char* kTag = "MMDeviceControllerDB::getInfoByHstAndDeviceId";
  if (!beginCall(kTag, clientId, deviceId, mmTranText(tran))) return -1;
  return readOne(kTag, tkmmdb::deviceControllerLayout(), "\"ClientId\" = ? AND \"DeviceId\" = ?", {clientId, deviceId},
                 &row, tran,
                 "No device controller of client [" + std::to_string(clientId) + "] for device [" +
                     std::to_string(deviceId) + "].");
}

int MMDeviceControllerDB::getListByDeviceId(int deviceId, MMDeviceController_t*& rows, int& count, DBtran* tran) {
  static constexpr const char* kTag = "MMDeviceControllerDB::getListByDeviceId";
  rows = nullptr;
  count = 0;
  if (!beginCall(kTag, deviceId, mmTranText(tran))) return -1;
  return readList(kTag, tkmmdb::deviceControllerLayout(), "\"DeviceId\" = ?", {deviceId}, rows, count, tran);
}

int MMDeviceControllerDB::getListByHostId(int clientId, MMDeviceController_t*& rows, int& count, DBtran* tran) {
  static constexpr const char* kTag = "MMDeviceControllerDB::getListByHostId";
  rows = nullptr;
  count = 0;
  if (!beginCall(kTag, clientId, mmTranText(tran))) return -1;
  return readList(kTag, tkmmdb::deviceControllerLayout(), "\"ClientId\" = ?", {clientId}, rows, count, tran);
}

void MMDeviceControllerDB::DeleteList(MMDeviceController_t*& rows, const char* file, int line) {
  if (tkmmdb::journalOn()) tkmmdb::journal().record("MMDeviceControllerDB::DeleteList", tkjournal::args(file, line));
  delete[] rows;
  rows = nullptr;
}

int MMDeviceControllerDB::canAddController(int libraryId, int deviceId, int clientId, DBtran* tran) {
  static constexpr const char* kTag = "MMDeviceControllerDB::canAddController";
  if (!beginCall(kTag, libraryId, deviceId, clientId, mmTranText(tran))) return -1;
  struct Check {
    bool wanted;
    const char* sql;
    int id;
    std::string missing;
  };
  const Check checks[] = {
      {libraryId > 0, "SELECT 1 FROM \"MMLibrary\" WHERE \"LibraryId\" = ?", libraryId,
       "No library with id [" + std::to_string(libraryId) + "]."},
      {deviceId > 0, "SELECT 1 FROM \"MMDevice\" WHERE \"DeviceId\" = ?", deviceId,
       "No device with id [" + std::to_string(deviceId) + "]."},
      {true, "SELECT 1 FROM \"MMHost\" WHERE \"ClientId\" = ?", clientId,
       "Client [" + std::to_string(clientId) + "] is not a media agent."},
  };
  tkdb::Session session(tran);
  for (const Check& check : checks) {
    if (!check.wanted) continue;
    tkdb::DbRow row;
    int rc = session.queryOne(check.sql, {check.id}, row);
    if (rc == DB_NO_ROW) return fail(kTag, MMS2_ERROR_REFERENCE, DB_NO_ROW, check.missing);
    if (rc != DB_OK) return failDatabase(kTag, rc, session, "Could not check the new device controller");
  }
  return 0;
}
