// The resource file name of an archive-cluster client, kept in its
// attributes (APP_ClientProp, current rows have modified = 0).
#include <string>

#include "platform/client/ClientRows.h"
#include "platform/client/ZQApplicationType.h"

namespace {

constexpr const char* kAttrResourceFile = "Centera Resource File Name";

// 0 when the client exists, else its error code; read in `session`.
int clientExists(tkdb::Session& session, long long clientId) {
  tkdb::DbRow row;
  const int rc = session.queryOne("SELECT 1 FROM \"APP_Client\" WHERE \"id\" = ?1", {clientId}, row);
  if (rc == 0) return 0;
  return rc == DB_NO_ROW ? tkclient::kErrorUnknownClient : tkclient::kErrorDatabase;
}

}  // namespace

int ApplicationTypeCenteraFS::getCenteraResourceFileName(std::string& name) {
  const long long id = static_cast<long long>(getClientId());
  int result = tkclient::scriptedFailure("getCenteraResourceFileName");
  tkdb::Session session;
  if (result == 0) result = clientExists(session, id);
  tkdb::DbRows rows;
  if (result == 0)
    result = tkclient::queryRows(
        "SELECT IFNULL(\"attrVal\", '') FROM \"APP_ClientProp\" WHERE \"componentNameId\" = ?1 AND \"attrName\" = ?2 "
        "AND \"modified\" = 0 ORDER BY \"id\" DESC LIMIT 1",
        {id, kAttrResourceFile}, rows);
  if (result == 0) name = rows.empty() ? std::string() : tkclient::textAt(rows.front(), 0);
  tkclient::journal().record("getCenteraResourceFileName", id, result);
  return result;
}

int ApplicationTypeCenteraFS::setCenteraResourceFileName(const std::string& name, DBtran* tran) {
  const long long id = static_cast<long long>(getClientId());
  int result = tkclient::scriptedFailure("setCenteraResourceFileName");
  if (result == 0) {
    tkdb::Session session(tran);
    const int rc = session.atomically([&] {
      int step = clientExists(session, id);
      if (step != 0) return step;
      step = session.exec(
          "DELETE FROM \"APP_ClientProp\" WHERE \"componentNameId\" = ?1 AND \"attrName\" = ?2 AND \"modified\" = 0",
          {id, kAttrResourceFile});
      if (step == 0 && !name.empty())
        step = session.exec(
            "INSERT INTO \"APP_ClientProp\" (\"componentNameId\", \"attrName\", \"attrVal\") VALUES (?1, ?2, ?3)",
            {id, kAttrResourceFile, name});
      return step;
    });
    if (rc == tkclient::kErrorUnknownClient) {
      result = rc;
    } else if (rc != 0) {
      result = tkclient::kErrorDatabase;
    }
  }
  tkclient::journal().record("setCenteraResourceFileName", id, name, result);
  return result;
}
