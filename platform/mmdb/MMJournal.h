// Test hooks of the media-management table access and the client-info
// objects: the journal of calls with their arguments and the scripted
// failures (code, text and database result) of named calls. Both are off
// until a test turns them on (platform/testkit/mmdb.h); production code
// never does.
#pragma once

#include <string>
#include <type_traits>
#include <vector>

#include "platform/journal/Journal.h"

namespace tkmmdb {

struct Failure {
  int code = 0;
  int dbError = 0;
  std::string text;
};

bool journalOn();
void setJournalOn(bool on);
// Calls are named "Class::method", e.g. "MMLibraryDB::getInfo".
tkjournal::Journal& journal();
// The next `times` calls of `call` fail with the code, text and database result.
void injectFailure(const std::string& call, int code, const std::string& text, int dbError, int times);
// Takes the next scripted failure of `call`, if any (only while the journal is on).
bool takeFailure(const std::string& call, Failure& failure);
// Forgets calls and failures.
void resetTestState();

// The journal texts of a call's arguments: texts or numbers, or one callable
// that makes the texts (for arguments that take work to describe). Called
// only while the journal is on, so production never makes them.
template <class... A>
std::vector<std::string> journalArgs(const A&... values) {
  if constexpr (sizeof...(A) == 1 && (std::is_invocable_v<const A&> && ...)) {
    return (values(), ...);
  } else {
    return tkjournal::args(values...);
  }
}

}  // namespace tkmmdb
