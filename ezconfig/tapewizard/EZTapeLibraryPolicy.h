// The storage policy of a tape library as the tape-library wizard finds it:
// the first policy that writes to the library (in the order the policy list
// procedure gives them) whose storage-policy row is of the primary type 1.
// A policy row that cannot be read ends the search; so does a failed list.
// Each outcome is logged as it happens, under the caller's log tag.
//
//   tkezconfig::TapePolicy policy;
//   switch (tkezconfig::findTapePolicy(libraryId, aliasName, tag, policy)) ...
#pragma once

#include <string>

namespace tkezconfig {

struct TapePolicy {
  int groupId = 0;
  std::string groupName;
  int copyId = 0;
  std::string copyName;
};

enum class PolicySearch {
  kFound,         // `policy` holds it
  kRowUnreadable, // a policy row could not be read: `policy` names that policy
  kNone,          // the list ended without a policy of type 1
  kListFailed,    // the list itself failed
};

// `libraryName` names the library in the log lines.
PolicySearch findTapePolicy(int libraryId, const std::string& libraryName, const char* tag, TapePolicy& policy);

}  // namespace tkezconfig
