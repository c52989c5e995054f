// What the console tells an administrator about the configuration lock, so
// that nobody is left with a lock nobody can name or a "take the lock first"
// that the host then refuses.
//
// The lock is not tied to the connection that took it: it stays held after
// that console exits, until an unlock or a force lock. The host has no
// question that reads the lock's state, so the console asks the lock
// itself, on a connection of its own (never on the connection of the
// session, whose session the question would change):
//   - a lock refused as held names the holder's login;
//   - a lock taken shows that nobody held it: it is released again at once,
//     on that same connection, which ends with the question.
// The advice then fits what the host said: the holder by name with the
// commands that release the lock or take it over, `lock` when nobody holds
// it, and the host's own reason when the user may not take it at all.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "console/CommandLine.h"
#include "wire/WireCodec.h"

namespace tkconsole {

// The lock operations of both forms.
enum LockOperation : uint32_t {
  kLockUnlock = 0,
  kLockLock = 1,
  kLockUnlockAnyway = 2,
  kLockForce = 3,
};

// The operation a lock request of either form asks for; nullopt for any
// other request (or an XML lock request that cannot be read).
std::optional<uint32_t> lockOperationOf(const Request& request);

// The login that a text of the lock names ("... in use by user [admin]. ...",
// "... user [admin] took over ..."); empty when it names nobody.
std::string loginNamedIn(const std::string& text);

// When `reply` refuses the lock `request` asks for because the lock is held
// (either form): the holder's login as the answer names it (empty when it
// names none). Nullopt for any other answer.
std::optional<std::string> lockHeldIn(const Request& request, const tkwire::Reply& reply);

struct LockState {
  enum class Holder { Unknown, ThisConnection, Elsewhere, Nobody };
  Holder holder = Holder::Unknown;
  std::string login;   // Elsewhere: the holder's login, as the host names it
  std::string reason;  // Unknown: the host's answer to the question, if any
};

// Sends a request on the question's connection and returns its answers up
// to its end frame (none when the host could not be asked).
using AskAside = std::function<std::vector<tkwire::Reply>(const Request&)>;

// Asks the host who holds the lock, as the user of `like` (see above).
LockState askLockState(const Request& like, const AskAside& ask);

// The advice texts. `console` is the command that reaches the same host as
// the same user ("tkconsole", with --socket and --user when they were
// given), named in the commands the advice gives.

// Under a request that needed the configuration session and found none;
// `typed` is the request as written (empty: none to name).
std::string adviceWithoutSession(const LockState& state, const std::string& typed, const std::string& console);

// Under a lock (or force lock) that failed for another reason than a lock
// held elsewhere: the lines after it that need a session are not done.
std::string adviceLockFailed();

// Under a request that found no configuration session after a lock on the
// same connection failed with `reason` (the failed answer's text).
std::string adviceAfterFailedLock(const std::string& reason, const std::string& typed);

// Under an unlock that released nothing.
std::string adviceNothingReleased(const LockState& state, const std::string& console);

// Under a lock refused because the lock is held.
std::string adviceLockHeld(const LockState& state, const std::string& console);

// At the end of a console whose connection still holds the lock.
std::string adviceHeldAfterExit(const std::string& console);

}  // namespace tkconsole
