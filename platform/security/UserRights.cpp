// Rights answered from the users table of the central database (UMUsers and
// UMUserRights, platform/db/schema/UMUsers.cpp): what the host consults, so
// that a user of a real installation is refused as the table says. The
// tests keep the scripted rules of Rights.cpp, which stay the default.
//
// The answers come from a copy of both tables (a Snapshot), shared by every
// thread and replaced whole when the tables' stamp (UMUsersStamp, a random
// value the triggers renew at every change) differs from the one the copy
// was read under. Checking the stamp is one small read on the calling
// thread's connection (joining its open transaction, if any); inside a
// request the host has begun, not even that. The schema version, which
// tells a table dropped or altered (that changes no row, so fires no
// trigger), is asked of the engine only when the stamp's statement was
// compiled anew since the thread last asked. A table that cannot be read
// refuses: a rights check never grants by failing.
#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/db/DBSession.h"
#include "platform/db/SchemaFact.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/security/Rights.h"

namespace tksecurity {
namespace {

std::atomic<bool> g_usersTable{false};

struct Right {
  std::string kind;
  long long entityId = kAny;
  bool mayChange = false;
};

struct User {
  std::string login;
  std::vector<Right> rights;
  bool mayChangeSomething = false;
};

// Both tables as they were when `stamp` was read from the database `path`
// under the schema `schema` (a table dropped or altered changes no row, so
// fires no trigger). A copy read without a stamp (the stamp row is missing)
// is never reused.
struct Snapshot {
  std::string path;
  bool stamped = false;
  long long stamp = 0;
  long long schema = 0;
  std::unordered_map<long long, User> users;
};

std::mutex g_mutex;
std::shared_ptr<const Snapshot> g_latest;  // under g_mutex
// The copy the host checked at the start of the calling thread's request.
thread_local std::shared_ptr<const Snapshot> t_request;

std::string textOf(const tkdb::DbCell& cell) {
  if (cell.type == tkdb::DbValue::Type::Int) return std::to_string(cell.i);
  return std::string(cell.text);
}

// Both tables read anew under the stamp read before them: a change that
// lands in between is in the copy already and moves the stamp, so the next
// check reads again.
int readSnapshot(tkdb::Session& session, const Snapshot& key, std::shared_ptr<const Snapshot>& out) {
  auto snapshot = std::make_shared<Snapshot>(key);
  snapshot->path = tkdb::currentDatabasePath();
  int code = session.each("SELECT \"id\", \"login\" FROM \"UMUsers\"", {}, [&](const tkdb::RowView& row) {
    snapshot->users[row.at(0).i].login = textOf(row.at(1));
    return 0;
  });
  if (code != 0) return code;
  code = session.each("SELECT \"userId\", \"entityKind\", \"entityId\", \"mayChange\" FROM \"UMUserRights\"", {},
                      [&](const tkdb::RowView& row) {
                        auto user = snapshot->users.find(row.at(0).i);
                        if (user == snapshot->users.end()) return 0;  // no such user: the right counts for nobody
                        Right right{textOf(row.at(1)), row.at(2).i, row.at(3).i != 0};
                        user->second.mayChangeSomething = user->second.mayChangeSomething || right.mayChange;
                        user->second.rights.push_back(std::move(right));
                        return 0;
                      });
  if (code != 0) return code;
  out = std::move(snapshot);
  return 0;
}

// The schema version the thread's last run of the stamp's query ran under:
// while the runs that follow it are of the same statement, not compiled
// again, the query reads the stamp alone, without asking the engine for the
// version (which costs it a statement of its own).
thread_local tkdb::SchemaFact<long long> t_schema;

// The stamp, and the schema version: read with it when the thread has no
// run to go by, or again when this run does not follow that one.
int readStamp(tkdb::Session& session, Snapshot& key) {
  static const std::string sql =
      "SELECT \"stamp\", CASE WHEN ?1 = 0 THEN NULL ELSE (SELECT \"schema_version\" FROM pragma_schema_version) END "
      "FROM \"UMUsersStamp\" WHERE \"id\" = 1";
  for (bool withSchema : {t_schema.mustAsk(), true}) {
    key.stamped = false;
    std::optional<long long> asked;
    tkdb::StatementMark mark;
    const int code = session.each(sql, {withSchema ? 1 : 0}, [&](const tkdb::RowView& row) {
      key.stamped = true;
      key.stamp = row.at(0).i;
      const tkdb::DbCell schema = row.at(1);
      if (schema.type != tkdb::DbValue::Type::Null) asked = schema.i;
      mark = row.mark();
      return 0;
    });
    if (code != 0 || !key.stamped) {
      t_schema.forget();
      return code;
    }
    const std::optional<long long> schema = t_schema.of(mark, asked);
    if (schema) key.schema = *schema;
    t_schema.settle(mark, schema, !tkdb::threadTransactionOpen());
    if (schema) return 0;
  }
  return 0;
}

// The copy that answers now: the request's, or the latest one after its
// stamp was checked (and read again when it moved). Null when the tables
// cannot be read.
std::shared_ptr<const Snapshot> current() {
  if (t_request) return t_request;
  tkdb::Session session;
  Snapshot key;
  int code = readStamp(session, key);
  if (code == 0 && key.stamped) {
    std::lock_guard<std::mutex> guard(g_mutex);
    if (g_latest && g_latest->stamped && g_latest->stamp == key.stamp && g_latest->schema == key.schema &&
        g_latest->path == tkdb::currentDatabasePath())
      return g_latest;
  }
  std::shared_ptr<const Snapshot> fresh;
  if (code == 0) code = readSnapshot(session, key, fresh);
  if (code != 0) {
    EvDebug::Error("tksecurity::UserRights", "the users table could not be read: %s", session.errorText().c_str());
    return nullptr;
  }
  std::lock_guard<std::mutex> guard(g_mutex);
  g_latest = fresh;
  return fresh;
}

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

std::string unreadable(long long userId) {
  return "The rights of user [" + std::to_string(userId) + "] could not be read.";
}

}  // namespace

void useUsersTable(bool on) { g_usersTable.store(on); }

bool usesUsersTable() { return g_usersTable.load(); }

std::string tableRefusal(long long userId, const Need& need) {
  const std::shared_ptr<const Snapshot> snapshot = current();
  if (!snapshot) return unreadable(userId);
  auto found = snapshot->users.find(userId);
  if (found == snapshot->users.end()) return unknownUser(userId);
  const User& user = found->second;
  // The best right that covers the entity: none, look, or change.
  int best = -1;
  for (const Right& right : user.rights) {
    if (right.kind != "*" && right.kind != need.kind) continue;
    if (right.entityId != kAny && right.entityId != need.entityId) continue;
    best = std::max(best, right.mayChange ? 1 : 0);
  }
  if (best == 1 || (best == 0 && !need.change)) return std::string();
  if (!need.change || best < 0) return "User [" + user.login + "] has no rights on " + entityText(need) + ".";
  return "User [" + user.login + "] may look at but not change " + entityText(need) + ".";
}

bool tableLogin(long long userId, std::string& login) {
  const std::shared_ptr<const Snapshot> snapshot = current();
  if (!snapshot) return false;
  auto found = snapshot->users.find(userId);
  if (found == snapshot->users.end()) return false;
  login = found->second.login;
  return true;
}

RequestRights::RequestRights(long long userId) {
  t_request.reset();
  t_request = current();
  if (!t_request) return;
  m_user.readable = true;
  auto found = t_request->users.find(userId);
  if (found == t_request->users.end()) return;
  m_user.known = true;
  m_user.mayChange = found->second.mayChangeSomething;
  m_user.login = found->second.login;
}

RequestRights::~RequestRights() { t_request.reset(); }

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
  // The thread's own change: its next question reads the stamp again.
  t_request.reset();
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
