// Binding of the table APP_Credentials: the stored credentials of the
// installation, one row per credential with its name, record type, user
// name, password, description, creation value, enabled flag, flags, GUID
// and a free text of further information.
//
// The storage-library request checks that a credential named in a request
// fits the storage it configures:
//
//   int result = 0;
//   switch (checkCredentialForVendor(credentialId, vendorType, &result)) {
//     case CredentialCheck::LookupFailed: ... DBtable::getErrorStr(result) ...
//     case CredentialCheck::Misfit: ... invalid credential ...
//     case CredentialCheck::Fits: ...
//   }
//
// A credential id without a row fails the lookup as a database error does.
// The row owns credentialInfo and is never copied.
#pragma once

#include "Db/ZQDBProcBinding.h"

#define APP_CREDENTIALS_COLUMNS(COL) \
  COL(credentialId, i, 0)            \
  COL(credentialName, u, 1021)       \
  COL(recordType, i, 0)              \
  COL(userName, u, 1021)             \
  COL(password, s, 801)              \
  COL(description, s, 2049)          \
  COL(created, x, 0)                 \
  COL(enabled, i, 0)                 \
  COL(flags, i, 0)                   \
  COL(credentialGUID, s, 65)         \
  COL(credentialInfo, s, 0)

inline constexpr ZQDBBindingInfo APP_Credentials_info{.headerType = ZQDB_HEADER_TABLE,
                                                      .dbName = "APP_Credentials",
                                                      .className = "APP_Credentials",
                                                      .version = "1.1.2.5",
                                                      .primaryKey = "credentialId",
                                                      .serial = "credentialId",
                                                      .header = "Db/Tbl/APP_Credentials",
                                                      .line = 581};

struct APP_Credentials_t {
  APP_CREDENTIALS_COLUMNS(ZQDB_FIELD)
  ZQDB_ROW(APP_Credentials_t, APP_CREDENTIALS_COLUMNS)
};

class APP_Credentials_t2 : public ZQDBCatalogue<APP_Credentials_t2, APP_Credentials_t, APP_Credentials_info> {
 public:
  APP_Credentials_t2() = default;
  APP_Credentials_t2(const APP_Credentials_t2&) = delete;
  APP_Credentials_t2& operator=(const APP_Credentials_t2&) = delete;
};

class APP_Credentials : public ZQDBTable<APP_Credentials_t, APP_Credentials_t2, APP_Credentials_info> {
 public:
  explicit APP_Credentials(DBtran* tran) : ZQDBTable(tran) {}
};

ZQDB_REGISTER_SCHEMA(APP_Credentials_t, APP_Credentials_info);

// --- what the callers make of a credential ---------------------------------------------

// Whether a credential of this record type may be used with storage of this
// vendor type: vendor type 3 takes record types 4 and 103, every other
// vendor type only its own value plus 100.
inline bool credentialFitsVendor(int recordType, int vendorType) {
  if (vendorType == 3) return recordType == 4 || recordType == 103;
  return static_cast<long long>(recordType) == static_cast<long long>(vendorType) + 100;
}

enum class CredentialCheck {
  Fits,
  Misfit,        // the credential exists but its record type does not fit
  LookupFailed,  // no row, or a database error: the request fails
};

// Reads the credential (no transaction) and checks it against the vendor
// type; `result` gets getOneRow's answer.
inline CredentialCheck checkCredentialForVendor(int credentialId, int vendorType, int* result = nullptr) {
  APP_Credentials credential(nullptr);
  credential.setIsolationType(4);
  credential.setWhere("CredentialId = %d", credentialId);
  int code = getOneRow(&credential, false, -1, 0);
  if (result != nullptr) *result = code;
  if (code != 0) return CredentialCheck::LookupFailed;
  return credentialFitsVendor(credential.getDataPtr()->recordType, vendorType) ? CredentialCheck::Fits
                                                                               : CredentialCheck::Misfit;
}
