// Test control of the security service: the rights table and the journal of
// rights questions.
//
//   testkit::security::reset();                         // everything allowed
//   testkit::security::deny("canManageMediaAgent", 7, 12, "no rights on MA 12");
//   ... code under test ...
//   auto asked = testkit::security::journal().calls("canManageMediaAgent");
//
// useUsersTable(true) answers from the users table of TK_DB instead
// (reset() goes back to the rules).
// Journal arguments are the call's arguments in order, as texts.
// journal().injectFailure("addUserToLibrary", code, text) makes the next
// association fail with that error text; injectFailure("encrypt", ...) makes
// the next ZQPassword::encrypt fail (journaled with the plain text's length
// only). TranWrapper calls ("ensureTran",
// "commitIfOwnTran") are journaled in testkit::adapters.
#pragma once

#include "platform/security/Rights.h"

namespace testkit::security {

using tksecurity::kAny;

inline void deny(const std::string& question, long long userId = kAny, long long objectId = kAny,
                 const std::string& reason = std::string()) {
  tksecurity::deny(question, userId, objectId, reason);
}
inline std::vector<std::pair<unsigned long, unsigned long>> libraryUsers() { return tksecurity::libraryUsers(); }
inline tkjournal::Journal& journal() { return tksecurity::journal(); }
// The users table answers instead of the rules while `on` (the host's
// source; tkhost selects it at start).
inline void useUsersTable(bool on) { tksecurity::useUsersTable(on); }
inline void reset() {
  tksecurity::useUsersTable(false);
  tksecurity::clearRules();
  tksecurity::clearLibraryUsers();
  tksecurity::journal().reset();
}

}  // namespace testkit::security
