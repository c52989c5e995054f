// Body of the stored procedure MMMountpathCredentialAssociation(mountPathId,
// credentialId, entityType).
//
// Associates the stored credential with the entity (APP_CredentialAssoc,
// one credential per entity) and answers one row (o_result,
// o_oldCredentialName):
//    0  associated; the entity had no credential before;
//   >0  associated in place of the credential of that id, whose name is
//       o_oldCredentialName (empty when that credential no longer exists);
//   -3  the credential was associated already: nothing changed;
//   -1  no such credential: nothing associated;
//   -2  no mount path (an id below 1): nothing associated.
// The change is atomic: in the caller's transaction, or one of its own.
#include "Db/Proc/MMMountpathCredentialAssociation.h"

#include <string>
#include <vector>

#include "Db/Tbl/APP_Credentials.h"
#include "platform/db/procs/ProcBodySupport.h"

namespace {

constexpr const char* kName = "MMMountpathCredentialAssociation";
constexpr int kNoSuchCredential = -1;
constexpr int kNoMountPath = -2;

tkdb::DbValue textOf(const tkdb::DbRow& row) {
  return row.empty() || row[0].isNull() ? tkdb::DbValue(std::string()) : row[0];
}

int body(tkdb::ProcCall& call) {
  std::vector<long long> in;
  if (!tkprocs::integerInputs(call, kName, 3, "three integers (mount-path id, credential id, entity type)", in)) {
    return DB_ERR_INPUT;
  }
  const long long entityId = in[0];
  const long long credentialId = in[1];
  const long long entityType = in[2];
  tkdb::Session& db = call.session;

  long long result = 0;
  tkdb::DbValue oldName(std::string{});
  int code = db.atomically([&]() -> int {
    if (entityId < 1) {
      result = kNoMountPath;
      return DB_OK;
    }
    tkdb::DbRow found;
    int rc = db.queryOne("SELECT credentialName FROM APP_Credentials WHERE credentialId = ?", {credentialId}, found);
    if (rc == DB_NO_ROW) {
      result = kNoSuchCredential;
      return DB_OK;
    }
    if (rc != DB_OK) return rc;

    tkdb::DbRow assoc;
    rc = db.queryOne(
        "SELECT assocId, credentialId FROM APP_CredentialAssoc WHERE entityType = ? AND entityId = ? "
        "ORDER BY assocId LIMIT 1",
        {entityType, entityId}, assoc);
    if (rc == DB_NO_ROW) {
      result = 0;
      return db.exec("INSERT INTO APP_CredentialAssoc (credentialId, entityType, entityId) VALUES (?, ?, ?)",
                     {credentialId, entityType, entityId});
    }
    if (rc != DB_OK) return rc;
    const long long previous = assoc[1].i;
    if (previous == credentialId) {
      result = kCredentialAssociationUnchanged;
      return DB_OK;
    }
    if (previous > 0) {
      tkdb::DbRow name;
      rc = db.queryOne("SELECT credentialName FROM APP_Credentials WHERE credentialId = ?", {previous}, name);
      if (rc != DB_OK && rc != DB_NO_ROW) return rc;
      if (rc == DB_OK) oldName = textOf(name);
    }
    result = previous > 0 ? previous : 0;
    return db.exec("UPDATE APP_CredentialAssoc SET credentialId = ? WHERE assocId = ?", {credentialId, assoc[0]});
  });
  if (code != DB_OK) return tkprocs::failed(call, code);
  call.rows.push_back({tkdb::DbValue(result), oldName});
  return DB_OK;
}

[[maybe_unused]] const bool kRegistered = tkprocs::registered(kName, body);

}  // namespace
