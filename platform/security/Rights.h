// The rights table of the security service stand-in. Every question is
// allowed unless a rule denies it; a rule names the question (or "*" for
// all), the user (or any) and the object the question is about (or any):
//
//   canManageTarnkeep            no object (a rule with an object never matches)
//   canManageMediaAgent          the media agent id
//   canAdminLibrary              the library id
//   canManageClient              the client (host) id
//   userHasRight                 the entity id
//   canBrowse, canRestore        the client id
//   hasPermissionForUserOnEntity the entity id
//   addUserToLibrary             the library id (a denial is the error text)
//
// The tests (platform/testkit/security.h) fill it. The host answers from the
// users table of the central database instead (useUsersTable below).
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/journal/Journal.h"

namespace tksecurity {

inline constexpr long long kAny = -1;

struct Rule {
  std::string question;  // "*" for every question
  long long userId = kAny;
  long long objectId = kAny;
  std::string reason;  // the refusal text; a default one when empty
};

void deny(const std::string& question, long long userId = kAny, long long objectId = kAny,
          const std::string& reason = std::string());
void clearRules();
std::vector<Rule> rules();

// What a question asks of the users table: the kind of entity it is about
// ("Tarnkeep", "MediaAgent", "Library", "Client"), which one (kAny: the
// kind as a whole) and whether the user would change it or only look.
struct Need {
  std::string kind;
  long long entityId = kAny;
  bool change = true;
};
// The need of a question that names its object by id alone.
Need needOf(std::string_view question, long long objectId);

// Where the answers come from: the scripted rules above (the default, what
// the tests script) or the users table (UMUsers, UMUserRights), which the
// host selects at start.
void useUsersTable(bool on);
bool usesUsersTable();
// The users table's answer: a refusal text, or an empty text when the user
// holds the right. A user the table does not know is refused, and so is
// every question while the table cannot be read.
//
// The answers come from a copy of both tables kept in memory and read again
// whenever their stamp has moved: triggers give the stamp a new random value
// at every change of either table, by this process or by anyone with SQL,
// so checking it is one small read. Inside a request the host has begun
// (RequestRights below) even that read is spared: the request's questions
// are answered from the copy the host checked at its start.
std::string tableRefusal(long long userId, const Need& need);

// What the host learns of a request's user once, before any handler runs.
struct RequestUser {
  bool readable = false;   // false: the tables could not be read
  bool known = false;      // the users table holds the user
  bool mayChange = false;  // some right of the user allows a change
  std::string login;
};
// For the life of the object, the calling thread's questions about the users
// table are answered from the copy checked when it was made. A change the
// thread makes itself (tableAddLibraryUser) ends that for the rest of the
// request.
class RequestRights {
 public:
  explicit RequestRights(long long userId);
  ~RequestRights();
  RequestRights(const RequestRights&) = delete;
  RequestRights& operator=(const RequestRights&) = delete;
  const RequestUser& user() const { return m_user; }

 private:
  RequestUser m_user;
};
// The user's login name from the users table; false when the table does
// not know the user (or cannot be read).
bool tableLogin(long long userId, std::string& login);
// Gives the user the right to change the library (addUserToLibrary on the
// users table); 0, or -1 with the reason.
int tableAddLibraryUser(long long userId, long long libraryId, std::string& error);
// Fills an empty users table with the demonstration's users: 1 "admin",
// who may do everything, and 2 "operator", who may look but not change.
// The number of users made (0 when the table held users), or -1 with the
// reason in `report`.
int seedDemoUsers(std::string& report);

// Raises the rights alert (1020, condition 12) about the user, with the
// refusal's reason as its text: what a refused request raises, whether the
// host or a handler refused it.
void sendRefusalAlert(long long userId, const std::string& reason);

// The refusal text of the question, or an empty text when it is allowed.
std::string refusal(std::string_view question, long long userId, long long objectId);
// The same for a question whose need is known (kind, entity, change).
std::string refusal(std::string_view question, long long userId, long long objectId, const Need& need);

// Users associated with libraries by addUserToLibrary: (user id, library id).
std::vector<std::pair<unsigned long, unsigned long>> libraryUsers();
void addLibraryUser(unsigned long userId, unsigned long libraryId);
void clearLibraryUsers();

// Every question with its arguments, by question name. A failure injected
// into a question's name makes the service fail to answer it: the question
// is refused with the failure's text (hasPermissionForUserOnEntity returns
// the failure's code, not allowed, with the text as its error message).
tkjournal::Journal& journal();

}  // namespace tksecurity
