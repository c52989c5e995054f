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
// The host's demo and the tests (platform/testkit/security.h) fill it.
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

// The refusal text of the question, or an empty text when it is allowed.
std::string refusal(std::string_view question, long long userId, long long objectId);

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
