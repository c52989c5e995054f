// The passwords of a database file made by an older build, put once into
// the form passwords are stored in (StoredPassword.h). Such a file keeps,
// beside passwords in that form, clear ones that the mount-path, volume
// and DRU host routes wrote, and a clear password read back as a stored
// one comes out as garbage.
//
// The conversion is one statement of the schema step, registered under the
// name of a view it ends with: a database that has the view has been
// converted, and the statement runs no more. The schema step runs it in its
// transaction, so a file is converted whole or not at all; a statement that
// fails leaves no view, and the next start tries again. On a new database
// it runs once over empty tables.
//
// The statement enciphers through two SQL functions that every connection
// of the process gets as it opens (the engine's automatic extensions, so
// that the connection's own code needs no change):
//   tk_clear_password(text)   1 when the text is a password to convert: not
//                             empty, not in the stored form (isStoredForm:
//                             a stored form is never enciphered again,
//                             whatever bytes it deciphers to), and with a
//                             stored form that fits the column
//   tk_stored_password(text)  its stored form, made by the routes' policy
//                             (storedFormFor)
// A clear password whose stored form would not fit is left as it is, and
// logged with its length only; so is a user name whose proxy password,
// once enciphered, would make the name longer than its column.
//
// Proxy passwords inside user names (tkpassword::proxyPasswordSpan: behind
// the last ":" behind the last "@" behind the last "!!") are converted once
// per file as well, by storeClearProxyPasswords at the host's start: the
// updates and the file's mark, the view MMUserNameProxyPasswordsStored, in
// one transaction, so that a file is converted whole or not at all, and a
// file that carries the mark is not converted again (a name written clear
// into it later by hand stays as written). The mark is a view of its own:
// older builds marked files with MMProxyPasswordsStored that still held
// clear proxy passwords, and such a file is converted once all the same.
// Only a name whose last part is clear is converted; a name whose last part
// is already a stored form stays byte for byte, whatever stands before it
// (a proxy host with a port, an IPv6 address, or any other ":" the user
// wrote; tkpassword::hasClearProxyPassword says why).
//   tk_clear_proxy_password(text, width)  1 when the user name carries a
//                             clear proxy password whose stored form fits,
//                             and the whole stored name its column of
//                             `width` bytes (0: no width)
//   tk_stored_user_name(text)      the name with that password in its
//                             stored form (storedUserNameFor)
// over the mount paths', the device controllers' and the network shares'
// remote-host user names (the last kept among the settings).
#include <sqlite3.h>

#include <string>

#include "Db/Tbl/MMDeviceController.h"
#include "Db/Tbl/MMMountPath.h"
#include "platform/db/DBResult.h"
#include "platform/db/DBSession.h"
#include "platform/db/TextWidth.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/security/StoredPassword.h"

namespace {

constexpr const char* kTag = "tkpassword::upgrade";
constexpr const char* kMarker = "MMPasswordsStored";
// The mark of a file whose user names' proxy passwords have been converted.
constexpr const char* kProxyMarker = "MMUserNameProxyPasswordsStored";

std::string argumentText(sqlite3_value* value) {
  const unsigned char* text = sqlite3_value_text(value);
  if (text == nullptr) return std::string();
  return std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(sqlite3_value_bytes(value)));
}

void clearPassword(sqlite3_context* context, int, sqlite3_value** arguments) {
  std::string text = argumentText(arguments[0]);
  bool clear = !text.empty() && !tkpassword::isStoredForm(text);
  if (clear && text.size() > tkpassword::longestFitting(tkpassword::kPasswordColumnWidth)) {
    EvDebug::Error(kTag, "A clear password of %zu characters is too long to be stored encrypted; it is left as it is.",
                   text.size());
    clear = false;
  }
  tkpassword::wipe(text);
  sqlite3_result_int(context, clear ? 1 : 0);
}

// The stored form of its argument, made by `storedFor` (a password, or a
// user name that carries a proxy password); an SQL error with the policy's
// refusal when it cannot be stored.
template <bool (*storedFor)(const std::string&, std::size_t, std::string&, std::string&)>
void storedText(sqlite3_context* context, int, sqlite3_value** arguments) {
  std::string given = argumentText(arguments[0]);
  std::string stored;
  std::string refusal;
  const bool made = storedFor(given, tkpassword::kPasswordColumnWidth, stored, refusal);
  tkpassword::wipe(given);
  if (!made) {
    sqlite3_result_error(context, refusal.c_str(), -1);
    return;
  }
  sqlite3_result_text(context, stored.c_str(), static_cast<int>(stored.size()), SQLITE_TRANSIENT);
  tkpassword::wipe(stored);
}

// Its arguments: the user name and the width of its column (0: none).
void clearProxyPassword(sqlite3_context* context, int, sqlite3_value** arguments) {
  std::string text = argumentText(arguments[0]);
  const sqlite3_int64 width = sqlite3_value_int64(arguments[1]);
  bool clear = tkpassword::hasClearProxyPassword(text);
  if (clear) {
    // The name as it would be stored: its proxy password must fit the
    // password columns, and the whole name its own column; a name that
    // would not fit is left as it is, never cut.
    std::string stored;
    std::string refusal;
    if (!tkpassword::storedUserNameFor(text, tkpassword::kPasswordColumnWidth, stored, refusal)) {
      EvDebug::Error(kTag, "A user name of %zu characters carries a clear proxy password too long to be stored "
                     "encrypted; it is left as it is.", text.size());
      clear = false;
    } else if (width > 0 && stored.size() > static_cast<std::size_t>(width)) {
      EvDebug::Error(kTag, "A user name of %zu characters with a clear proxy password would take %zu characters "
                     "encrypted, more than its column of %lld; it is left as it is.", text.size(), stored.size(),
                     static_cast<long long>(width));
      clear = false;
    }
    tkpassword::wipe(stored);
  }
  tkpassword::wipe(text);
  sqlite3_result_int(context, clear ? 1 : 0);
}

int addFunctions(sqlite3* db, char**, const sqlite3_api_routines*) {
  constexpr int kFlags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_DIRECTONLY;
  struct Function {
    const char* name;
    void (*body)(sqlite3_context*, int, sqlite3_value**);
    int arguments;
  };
  for (const Function& f : {Function{"tk_clear_password", clearPassword, 1},
                            Function{"tk_stored_password", storedText<tkpassword::storedFormFor>, 1},
                            Function{"tk_clear_proxy_password", clearProxyPassword, 2},
                            Function{"tk_stored_user_name", storedText<tkpassword::storedUserNameFor>, 1}})
    if (sqlite3_create_function(db, f.name, f.arguments, kFlags, nullptr, f.body, nullptr, nullptr) != SQLITE_OK)
      return SQLITE_ERROR;
  return SQLITE_OK;
}

std::string conversion() {
  std::string sql;
  for (const char* table : {"MMMountPath", "MMDeviceController", "MMDRUHost"}) {
    const std::string name = std::string("\"") + table + "\"";
    sql += "UPDATE " + name + " SET \"UserPassword\" = tk_stored_password(\"UserPassword\") WHERE "
           "tk_clear_password(\"UserPassword\"); ";
  }
  return sql + "CREATE VIEW IF NOT EXISTS \"" + kMarker + "\" AS SELECT 1 AS \"Stored\"";
}

// The user names that may hold a proxy password, with the width of each
// column (0: the settings' values, which have none). A cheap test of the
// text first: only a name with "!!", "@" and ":" in that order can.
struct UserNames {
  const char* table;
  const char* column;
  const char* where;
  std::size_t width;
};
const UserNames kUserNames[] = {
    {"MMMountPath", "UserName", "", TK_TEXT_WIDTH(MMMountPath_t, UserName)},
    {"MMDeviceController", "UserName", "", TK_TEXT_WIDTH(MMDeviceController_t, UserName)},
    // A share's user name is kept among the settings (RemoteHostUserName),
    // whose values have no width: only its proxy password is bounded, as
    // any password is.
    {"MMObjectSetting", "Value", "\"Name\" = 'RemoteHostUserName' AND ", 0}};

std::string clearProxyPasswordsWhere(const UserNames& names) {
  const std::string column = std::string("\"") + names.column + "\"";
  return std::string(" WHERE ") + names.where + column + " LIKE '%!!%@%:%' AND tk_clear_proxy_password(" + column +
         ", " + std::to_string(names.width) + ")";
}

[[maybe_unused]] const bool kRegistered = [] {
  // The engine calls the entry point with the connection, its error text
  // and its routines, whatever the type it is registered under.
  sqlite3_auto_extension(reinterpret_cast<void (*)()>(&addFunctions));
  tkdb::registerSchema(kMarker, conversion());
  return true;
}();

}  // namespace

namespace tkpassword {

bool storeClearProxyPasswords() {
  tkdb::Session session;
  // A look first, which takes no write lock: a file that carries the mark
  // is not read again.
  const std::string marked = std::string("SELECT EXISTS (SELECT 1 FROM sqlite_master WHERE lower(\"name\") = lower('") +
                             kProxyMarker + "'))";
  tkdb::DbRow row;
  int code = session.queryOne(marked, {}, row);
  if (code == DB_OK && !row.empty() && row[0].i != 0) return true;
  code = session.atomically([&session, &marked]() -> int {
    // Another host on the same file may have converted it meanwhile.
    tkdb::DbRow mark;
    int rc = session.queryOne(marked, {}, mark);
    if (rc != DB_OK) return rc;
    if (!mark.empty() && mark[0].i != 0) return DB_OK;
    for (const UserNames& names : kUserNames) {
      const std::string column = std::string("\"") + names.column + "\"";
      rc = session.exec(std::string("UPDATE \"") + names.table + "\" SET " + column + " = tk_stored_user_name(" +
                        column + ")" + clearProxyPasswordsWhere(names));
      if (rc != DB_OK && rc != DB_NO_ROW) return rc;
    }
    rc = session.exec(std::string("CREATE VIEW IF NOT EXISTS \"") + kProxyMarker + "\" AS SELECT 1 AS \"Stored\"");
    return rc == DB_NO_ROW ? DB_OK : rc;
  });
  if (code == DB_OK) return true;
  EvDebug::Error(kTag, "The clear proxy passwords of the user names could not be stored encrypted: %s",
                 session.errorText().c_str());
  return false;
}

}  // namespace tkpassword
