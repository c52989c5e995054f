// Media-management table access: the NDMP host table.
#include "platform/mmdb/MMNDMPHostInfoDB.h"

#include "platform/db/DBSession.h"
#include "platform/db/DBtable.h"
#include "platform/mmdb/MMLayouts.h"

namespace {

std::string missingHost(int id) { return "No NDMP host entry with id [" + std::to_string(id) + "]."; }

// A lookup that found nothing answers 1 rather than -1.
int notFoundAsOne(int rc, const MMS2BaseError& error) {
  if (rc != 0 && error.getErrorCode() == MMS2_ERROR_NDMP_HOST_NOT_FOUND && error.getDBError() == DB_NO_ROW) return 1;
  return rc;
}

}  // namespace

int MMNDMPHostInfoDB::getInfoByClientId(int clientId, MMNDMPHostInfo_t& row, DBtran* tran) {
  static constexpr const char* kTag = "MMNDMPHostInfoDB::getInfoByClientId";
  if (!beginCall(kTag, clientId, mmTranText(tran))) return -1;
  int rc = readOne(kTag, tkmmdb::ndmpHostLayout(), "\"clientId\" = ?", {clientId}, &row, tran,
                   "Client [" + std::to_string(clientId) + "] has no NDMP host entry.", MMS2_ERROR_NDMP_HOST_NOT_FOUND);
  return notFoundAsOne(rc, *this);
}

int MMNDMPHostInfoDB::getInfoByClientIdAndOSType(int clientId, int osType, MMNDMPHostInfo_t& row, DBtran* tran) {
  static constexpr const char* kTag = "MMNDMPHostInfoDB::getInfoByClientIdAndOSType";
  if (!beginCall(kTag, clientId, osType, mmTranText(tran))) return -1;
  int rc = readOne(kTag, tkmmdb::ndmpHostLayout(), "\"clientId\" = ? AND \"osType\" = ?", {clientId, osType}, &row,
                   tran,
                   "Client [" + std::to_string(clientId) + "] has no NDMP host entry of OS type [" +
                       std::to_string(osType) + "].",
                   MMS2_ERROR_NDMP_HOST_NOT_FOUND);
  return notFoundAsOne(rc, *this);
}

int MMNDMPHostInfoDB::addNDMPHostInfo(MMNDMPHostInfo_t& row, int& newId, DBtran* tran) {
  static constexpr const char* kTag = "MMNDMPHostInfoDB::addNDMPHostInfo";
  if (!beginCall(kTag, row.clientId, row.osType, row.listenPort, mmTranText(tran))) return -1;
  const MMLayout& layout = tkmmdb::ndmpHostLayout();
  tkdb::Session session(tran);
  int rc = session.exec(insertSql(layout, "ndmpHostId"), recordValues(layout, &row, "ndmpHostId"));
  if (rc != DB_OK) return failDatabase(kTag, rc, session, "Could not add the NDMP host entry");
  newId = static_cast<int>(session.lastInsertId());
  row.ndmpHostId = newId;
  return 0;
}

int MMNDMPHostInfoDB::setLoginAndPassword(int ndmpHostId, const char* login, const char* password, DBtran* tran) {
  static constexpr const char* kTag = "MMNDMPHostInfoDB::setLoginAndPassword";
  // The password is not journaled.
  if (!beginCall(kTag, ndmpHostId, login, mmTranText(tran))) return -1;
  if (!checkText(kTag, "NDMP login", login, sizeof(MMNDMPHostInfo_t::login) - 1, true)) return -1;
  if (!checkText(kTag, "NDMP password", password, sizeof(MMNDMPHostInfo_t::password) - 1, true)) return -1;
  return change(kTag, "UPDATE \"MMNDMPHostInfo\" SET \"login\" = ?, \"password\" = ? WHERE \"ndmpHostId\" = ?",
                {login, password, ndmpHostId}, tran, missingHost(ndmpHostId));
}

int MMNDMPHostInfoDB::setOSType(int ndmpHostId, int osType, DBtran* tran) {
  static constexpr const char* kTag = "MMNDMPHostInfoDB::setOSType";
  if (!beginCall(kTag, ndmpHostId, osType, mmTranText(tran))) return -1;
  return change(kTag, "UPDATE \"MMNDMPHostInfo\" SET \"osType\" = ? WHERE \"ndmpHostId\" = ?", {osType, ndmpHostId},
                tran, missingHost(ndmpHostId));
}

int MMNDMPHostInfoDB::setFirmwareRevision(int ndmpHostId, const char* firmwareRevision, DBtran* tran) {
  static constexpr const char* kTag = "MMNDMPHostInfoDB::setFirmwareRevision";
  if (!beginCall(kTag, ndmpHostId, firmwareRevision, mmTranText(tran))) return -1;
  if (!checkText(kTag, "firmware revision", firmwareRevision, sizeof(MMNDMPHostInfo_t::firmwareRevision) - 1, true)) {
    return -1;
  }
  return change(kTag, "UPDATE \"MMNDMPHostInfo\" SET \"firmwareRevision\" = ? WHERE \"ndmpHostId\" = ?",
                {firmwareRevision, ndmpHostId}, tran, missingHost(ndmpHostId));
}

int MMNDMPHostInfoDB::setCapabilityFlags(int ndmpHostId, unsigned int flags, DBtran* tran) {
  static constexpr const char* kTag = "MMNDMPHostInfoDB::setCapabilityFlags";
  if (!beginCall(kTag, ndmpHostId, flags, mmTranText(tran))) return -1;
  return change(kTag, "UPDATE \"MMNDMPHostInfo\" SET \"capabilityFlags\" = ? WHERE \"ndmpHostId\" = ?",
                {static_cast<int>(flags), ndmpHostId}, tran, missingHost(ndmpHostId));
}

int MMNDMPHostInfoDB::setListenPort(int ndmpHostId, int port, DBtran* tran) {
  static constexpr const char* kTag = "MMNDMPHostInfoDB::setListenPort";
  if (!beginCall(kTag, ndmpHostId, port, mmTranText(tran))) return -1;
  if (port < 0 || port > 65535) return fail(kTag, MMS2_ERROR_BAD_ARGUMENT, 0, "The port lies outside 0 to 65535.");
  return change(kTag, "UPDATE \"MMNDMPHostInfo\" SET \"listenPort\" = ? WHERE \"ndmpHostId\" = ?", {port, ndmpHostId},
                tran, missingHost(ndmpHostId));
}

int MMNDMPHostInfoDB::deleteNDMPHostInfo(int ndmpHostId, DBtran* tran) {
  static constexpr const char* kTag = "MMNDMPHostInfoDB::deleteNDMPHostInfo";
  if (!beginCall(kTag, ndmpHostId, mmTranText(tran))) return -1;
  tkdb::Session session(tran);
  const int rc = session.exec("DELETE FROM \"MMNDMPHostInfo\" WHERE \"ndmpHostId\" = ?", {ndmpHostId});
  // Callers tell an entry that is still referred to by this text.
  if (rc == DB_ERR_CONSTRAINT)
    return fail(kTag, MMS2_ERROR_REFERENCE, rc,
                "Constraint violation: the NDMP host entry [" + std::to_string(ndmpHostId) +
                    "] is still referred to (" + session.errorText() + ")");
  if (rc != DB_OK) return failDatabase(kTag, rc, session, "The change was not made");
  if (session.changes() == 0) return failQuiet(kTag, MMS2_ERROR_NOT_FOUND, DB_NO_ROW, missingHost(ndmpHostId));
  return 0;
}
