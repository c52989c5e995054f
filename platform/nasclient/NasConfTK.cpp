// The central server's NAS-client calls over the caller's transaction.
#include "platform/nasclient/NasConfTK.h"

#include <string>

#include "frame/EvMessageContainer.h"
#include "platform/db/DBSession.h"
#include "platform/db/DBtable.h"

namespace tknasclient {
tkjournal::Journal& centralCalls() {
  static tkjournal::Journal j;
  return j;
}
}  // namespace tknasclient

namespace {

std::string textOf(const char* text) { return text != nullptr ? std::string(text) : std::string(); }

void refuse(EvMessageContainer& error, const std::string& host, const std::string& reason) {
  error.SetMessageID(kTextNasClientNotAdded, true);
  error << host.c_str() << reason.c_str();
}

}  // namespace

void AddNasClientTK(CZqNetwork* /*network*/, const ncwAddNasClientV3* request, int /*flags*/, int& clientId,
                    EvMessageContainer& error, DBtran* tran) {
  error.Clear();
  const std::string host = request != nullptr ? textOf(request->hostName) : std::string();
  const long long osType = request != nullptr ? request->osType : 0;
  long long made = -1;
  auto finish = [&] { tknasclient::centralCalls().record("AddNasClientTK", host, osType, made); };
  tkjournal::Failure failure;
  if (tknasclient::centralCalls().takeFailure("AddNasClientTK", failure)) {
    refuse(error, host, failure.text);
    return finish();
  }
  if (host.empty()) {
    refuse(error, host, "no host name was given");
    return finish();
  }
  tkdb::Session session(tran);
  const int rc = session.atomically([&]() -> int {
    tkdb::DbRow row;
    int step = session.queryOne(
        "SELECT \"id\" FROM \"APP_Client\" WHERE \"name\" = ?1 OR \"net_hostname\" = ?1 ORDER BY (\"name\" = ?1) "
        "DESC, \"id\" LIMIT 1",
        {host}, row);
    if (step == DB_OK) {
      made = row.empty() ? -1 : row[0].i;
      return made > 0 ? DB_OK : DB_ERR_CONVERT;
    }
    if (step != DB_NO_ROW) return step;
    // The NDMP kind is no catalogue id: stored as one, the client of
    // filer kind 6 ran whatever system the catalogue numbers 6, and the
    // listings did not take it for a NAS.
    const bool centera = osType == kNdmpOsCentera;
    const long long system = centera ? kCatalogueCenteraOs : kCatalogueFilerOs;
    if (!centera) {
      step = session.exec(
          "INSERT INTO \"SimOperatingSystem\" (\"id\", \"type\", \"isNAS\") VALUES (?1, 'Filer OS', 1) "
          "ON CONFLICT (\"id\") DO NOTHING",
          {system});
      if (step != DB_OK) return step;
    }
    step = session.exec(
        "INSERT INTO \"APP_Client\" (\"name\", \"net_hostname\", \"simOperatingSystemId\") VALUES (?1, ?1, ?2)",
        {host, system});
    if (step != DB_OK) return step;
    made = session.lastInsertId();
    // A NAS-client row left from an earlier client of the same name is
    // taken over by the new client.
    return session.exec(
        "INSERT INTO \"NasClient\" (\"name\") VALUES (?1) ON CONFLICT (\"name\") DO UPDATE SET \"deleted\" = 0",
        {host});
  });
  if (rc != DB_OK) {
    made = -1;
    refuse(error, host, DBtable::getErrorStr(rc) + std::string(session.errorText().empty() ? "" : ": ") +
                            session.errorText());
    return finish();
  }
  clientId = static_cast<int>(made);
  finish();
}

int NasConfTKRemove(const char* clientName, int /*kind*/, DBtran* tran) {
  const std::string name = textOf(clientName);
  int result = NASCONFTK_ERR_OK;
  tkjournal::Failure failure;
  if (tknasclient::centralCalls().takeFailure("NasConfTKRemove", failure)) {
    result = failure.code > 0 ? failure.code : NASCONFTK_ERR_DATABASE;
  } else {
    tkdb::Session session(tran);
    const int rc = session.exec("UPDATE \"NasClient\" SET \"deleted\" = 1 WHERE \"name\" = ?1", {name});
    if (rc != DB_OK) {
      result = NASCONFTK_ERR_DATABASE;
    } else if (session.changes() == 0) {
      result = NASCONFTK_ERR_NO_CLIENT;
    }
  }
  tknasclient::centralCalls().record("NasConfTKRemove", name, result);
  return result;
}
