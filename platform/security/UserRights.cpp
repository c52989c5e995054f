// Rights answered from the users table of the central database (UMUsers and
// UMUserRights, platform/db/schema/UMUsers.cpp): what the host consults, so
// that a user of a real installation is refused as the table says. The
// tests keep the scripted rules of Rights.cpp, which stay the default.
//
// A question is answered by one read on the calling thread's connection
// (joining the thread's open transaction, if any). A table that cannot be
// read refuses: a rights check never grants by failing.
#include <atomic>
#include <string>

#include "platform/db/DBSession.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/security/Rights.h"

namespace tksecurity {
namespace {

std::atomic<bool> g_usersTable{false};

// "media agent [3]", "the installation", ... for the refusal texts.
std::string entityText(const Need& need) {
  std::string kind = need.kind;
  if (need.kind == "Tarnkeep") return "the installation";
  if (need.kind == "MediaAgent") kind = "media agent";
  if (need.kind == "Library") kind = "library";
  if (need.kind == "Client") kind = "client";
  if (need.entityId == kAny) return "every " + kind;
  return kind + " [" + std::to_string(need.entityId) + "]";
}

std::string unknownUser(long long userId) {
  return "User [" + std::to_string(userId) + "] is not a user of this installation.";
}

}  // namespace

void useUsersTable(bool on) { g_usersTable.store(on); }

bool usesUsersTable() { return g_usersTable.load(); }

std::string tableRefusal(long long userId, const Need& need) {
  tkdb::Session session;
  tkdb::DbRow row;
  // The user's login and the best right that covers the entity: NULL when
  // none does, 0 to look, 1 to change.
  const int code = session.queryOne(
      "SELECT u.\"login\", (SELECT MAX(r.\"mayChange\") FROM \"UMUserRights\" r WHERE r.\"userId\" = u.\"id\" "
      "AND (r.\"entityKind\" = '*' OR r.\"entityKind\" = ?) AND (r.\"entityId\" = -1 OR r.\"entityId\" = ?)) "
      "FROM \"UMUsers\" u WHERE u.\"id\" = ?",
      {need.kind, need.entityId, userId}, row);
  if (code == DB_NO_ROW) return unknownUser(userId);
  if (code != 0 || row.size() != 2) {
    EvDebug::Error("tksecurity::tableRefusal", "the rights of user [%lld] could not be read: %s", userId,
                   session.errorText().c_str());
    return "The rights of user [" + std::to_string(userId) + "] could not be read.";
  }
  const std::string& login = row[0].s;
  if (!row[1].isNull() && (row[1].i != 0 || !need.change)) return std::string();
  if (!need.change || row[1].isNull())
    return "User [" + login + "] has no rights on " + entityText(need) + ".";
  return "User [" + login + "] may look at but not change " + entityText(need) + ".";
}

bool tableLogin(long long userId, std::string& login) {
  tkdb::Session session;
  tkdb::DbRow row;
  if (session.queryOne("SELECT \"login\" FROM \"UMUsers\" WHERE \"id\" = ?", {userId}, row) != 0 || row.empty())
    return false;
  login = row[0].s;
  return true;
}

int tableAddLibraryUser(long long userId, long long libraryId, std::string& error) {
  tkdb::Session session;
  tkdb::DbRow row;
  int code = session.queryOne("SELECT 1 FROM \"UMUsers\" WHERE \"id\" = ?", {userId}, row);
  if (code == DB_NO_ROW) {
    error = unknownUser(userId);
    return -1;
  }
  if (code == 0)
    code = session.exec(
        "INSERT INTO \"UMUserRights\" (\"userId\", \"entityKind\", \"entityId\", \"mayChange\") VALUES (?, "
        "'Library', ?, 1) ON CONFLICT (\"userId\", \"entityKind\", \"entityId\") DO UPDATE SET \"mayChange\" = 1",
        {userId, libraryId});
  if (code == 0 || code == DB_NO_ROW) return 0;
  error = "User [" + std::to_string(userId) + "] could not be given the library [" + std::to_string(libraryId) +
          "]: " + session.errorText();
  return -1;
}

int seedDemoUsers(std::string& report) {
  tkdb::Session session;
  int made = 0;
  const int code = session.atomically([&session, &made] {
    tkdb::DbRow row;
    int rc = session.queryOne("SELECT 1 FROM \"UMUsers\" LIMIT 1", {}, row);
    if (rc == 0) return 0;  // the installation has its users
    if (rc != DB_NO_ROW) return rc;
    rc = session.exec(
        "INSERT INTO \"UMUsers\" (\"id\", \"login\") VALUES (1, 'admin'), (2, 'operator'); "
        "INSERT INTO \"UMUserRights\" (\"userId\", \"entityKind\", \"entityId\", \"mayChange\") "
        "VALUES (1, '*', -1, 1), (2, '*', -1, 0);");
    if (rc == 0 || rc == DB_NO_ROW) made = 2;
    return rc == DB_NO_ROW ? 0 : rc;
  });
  if (code != 0) {
    report = "the demonstration users could not be stored: " + session.errorText();
    return -1;
  }
  report = made > 0 ? "users admin (1, may change everything) and operator (2, may look only)" : std::string();
  return made;
}

}  // namespace tksecurity
