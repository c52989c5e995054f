// Binding of the stored procedure MMMountpathCredentialAssociation: ties a
// stored credential (APP_Credentials) to a mount path and reports the
// credential it replaced. The storage-library configuration runs it when
// the properties of a mount path carry a credential:
//
//   CredentialAssociation done = associateMountPathCredential(mountPathId, credentialId);
//   if (!done.succeeded) ... "Unable to associate credential[%s] for mountpath[%s].\n" ...
//   switch (done.audit) {
//     case CredentialAssociationAudit::NewCredential: ... 0x55000744 with the new name ...
//     case CredentialAssociationAudit::ReplacedCredential: ... 0x55000745, done.oldName ...
//     case CredentialAssociationAudit::None: break;
//   }
//
// o_result: 0 associated where there was no credential; above 0 associated
// in place of the credential named in o_oldCredentialName; -3 success with
// nothing for the audit record; any other negative value: not associated.
//
// The body is the database's (platform/db/procs/MMMountpathCredentialAssociation.cpp).
#pragma once

#include <string>

#include "Db/ZQDBProcBinding.h"

#define MMMOUNTPATHCREDENTIALASSOCIATION_COLUMNS(COL) \
  COL(o_result, i, 0)                                 \
  COL(o_oldCredentialName, u, 1021)

inline constexpr ZQDBBindingInfo MMMountpathCredentialAssociation_info{
    .headerType = ZQDB_HEADER_PROCEDURE,
    .dbName = "MMMountpathCredentialAssociation",
    .className = "MMMountpathCredentialAssociation",
    .version = "00010001000200020000",
    .header = "Db/Proc/MMMountpathCredentialAssociation",
    .line = 382};

struct MMMountpathCredentialAssociation_t {
  MMMOUNTPATHCREDENTIALASSOCIATION_COLUMNS(ZQDB_FIELD)
  ZQDB_ROW(MMMountpathCredentialAssociation_t, MMMOUNTPATHCREDENTIALASSOCIATION_COLUMNS)
};

class MMMountpathCredentialAssociation_t2
    : public ZQDBCatalogue<MMMountpathCredentialAssociation_t2, MMMountpathCredentialAssociation_t,
                           MMMountpathCredentialAssociation_info> {
 public:
  MMMountpathCredentialAssociation_t2() = default;
  MMMountpathCredentialAssociation_t2(const MMMountpathCredentialAssociation_t2&) = delete;
  MMMountpathCredentialAssociation_t2& operator=(const MMMountpathCredentialAssociation_t2&) = delete;
};

class MMMountpathCredentialAssociation
    : public ZQDBProcBinding<MMMountpathCredentialAssociation_t, MMMountpathCredentialAssociation_t2,
                             MMMountpathCredentialAssociation_info> {
 public:
  explicit MMMountpathCredentialAssociation(DBtran* tran) : ZQDBProcBinding(tran) {}
  // (mount-path id, credential id, entity type). Text mode: "%d,%d,%d"
  // after a size check of 44.
  void setValues(int mountPathId, int credentialId, int entityType) {
    bindInputs(mountPathId, credentialId, entityType);
  }
  void setZQDBValues(ZQDB_int* mountPathId, ZQDB_int* credentialId, ZQDB_int* entityType) {
    bindValues(mountPathId, credentialId, entityType);
  }
};

// --- what the callers make of the result ---------------------------------------------

// The entity type of a mount path.
inline constexpr int kMountPathEntityType = 52;

// o_result -3: the credential was associated already; success, nothing to audit.
inline constexpr int kCredentialAssociationUnchanged = -3;

inline bool credentialAssociationSucceeded(int oResult) {
  return oResult >= 0 || oResult == kCredentialAssociationUnchanged;
}

// The credential entry of the audit record after a success.
enum class CredentialAssociationAudit {
  None,                // -3 (and every failure)
  NewCredential,       // 0: message 0x55000744 with the new credential's name
  ReplacedCredential,  // above 0: message 0x55000745 with the old and the new name
};

inline CredentialAssociationAudit credentialAssociationAuditOf(int oResult) {
  if (oResult == 0) return CredentialAssociationAudit::NewCredential;
  if (oResult > 0) return CredentialAssociationAudit::ReplacedCredential;
  return CredentialAssociationAudit::None;
}

struct CredentialAssociation {
  bool succeeded = false;
  CredentialAssociationAudit audit = CredentialAssociationAudit::None;
  int fetchResult = 0;  // getOneRow's answer
  int oResult = 0;      // o_result of the row read (0 when none was read)
  std::string oldName;  // o_oldCredentialName of the row read
};

// Judges one run: only a row that was read counts. No row (100) or a
// database error is a failure; it is never taken for the "unchanged"
// success that o_result -3 means.
inline CredentialAssociation credentialAssociationOf(int fetchResult, const MMMountpathCredentialAssociation_t* row) {
  CredentialAssociation out;
  out.fetchResult = fetchResult;
  if (fetchResult != 0 || row == nullptr) return out;
  out.oResult = row->o_result;
  out.oldName = row->o_oldCredentialName;
  out.succeeded = credentialAssociationSucceeded(row->o_result);
  if (out.succeeded) out.audit = credentialAssociationAuditOf(row->o_result);
  return out;
}

// Associates the credential with the mount path (no transaction).
inline CredentialAssociation associateMountPathCredential(int mountPathId, int credentialId) {
  MMMountpathCredentialAssociation proc(nullptr);
  proc.setValues(mountPathId, credentialId, kMountPathEntityType);
  int code = getOneRow(&proc, false, -1, 0);
  return credentialAssociationOf(code, proc.getDataPtr());
}
