// The NAS filers that LibNdmpClientAccess talks to, kept in memory: per
// host what the filer accepts and reports, whether it answers at all, and
// how often it was logged in to. Hosts compare without regard to letter
// case. Seeded and read through platform/testkit/ndmp.h; thread-safe (one
// mutex guards all filers).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/journal/Journal.h"
#include "platform/ndmp/NasHostTypes.h"

namespace tkndmp {

// Codes of LibNdmpClientAccess::getLastError.
inline constexpr int kErrorNoConnection = 0x27000073;  // the host does not answer
inline constexpr int kErrorNotAuthenticated = 0x27000074;
inline constexpr int kErrorNotLoggedIn = 0x27000075;
inline constexpr int kErrorFiler = 0x27000076;  // the filer refused a request

struct Filer {
  std::string login;              // the accepted credentials
  std::string encryptedPassword;  // compared as the stored (encrypted) text
  int osType = 0;
  std::string osVersion;
  unsigned int capabilityFlags = 0;
  std::vector<LncaMountPointInfo> mountPoints;
  bool reachable = true;
  // What a failed connection reports (kErrorNoConnection when 0).
  int lastErrorCode = 0;
  std::string lastErrorText;
  int loginCount = 0;  // successful logins so far
  // Logins that still get a session once the credentials are accepted; -1
  // for every one. At 0 the filer authenticates a login and then refuses
  // it a session: connected and authenticated, but not logged in.
  int sessionsLeft = -1;
};

// Adds or replaces the filer of `host` (its login count starts at 0).
void seedFiler(const std::string& host, const Filer& filer);
// A copy of the filer of `host`, if there is one.
std::optional<Filer> filer(const std::string& host);
// Runs `work` on the filer of `host` under the filers' mutex; false when
// there is none.
bool withFiler(const std::string& host, const std::function<void(Filer&)>& work);
void resetFilers();

// Journal of every call: its name with the host, then the arguments (never
// a password). A failure injected into a call's name makes it fail.
tkjournal::Journal& journal();

}  // namespace tkndmp
