// Test control of the NAS filers reached over NDMP: seed a filer with what
// it accepts and reports, make it unreachable, read its login count and the
// journal of calls.
//
//   testkit::ndmp::reset();
//   testkit::ndmp::Filer filer;
//   filer.login = "root"; filer.encryptedPassword = "enc:secret"; filer.osType = 2;
//   filer.mountPoints.push_back({"vol0", "/vol/vol0", "", 1048576});
//   testkit::ndmp::seedFiler("filer1", filer);
//   ... the request ...
//   testkit::ndmp::loginCount("filer1")
//   testkit::ndmp::journal().calls("LoginToFiler")   // host, client name, login, port
//   testkit::ndmp::journal().injectFailure("configGetMountPointList", 0, "busy");
#pragma once

#include "platform/ndmp/NdmpFilers.h"

namespace testkit::ndmp {

using tkndmp::Filer;

inline void seedFiler(const std::string& host, const Filer& filer) { tkndmp::seedFiler(host, filer); }
// The filer does not answer; a login reports `code` (0: no connection).
inline void makeUnreachable(const std::string& host, int code = 0, const std::string& text = std::string()) {
  tkndmp::withFiler(host, [&](Filer& f) {
    f.reachable = false;
    f.lastErrorCode = code;
    f.lastErrorText = text;
  });
}
// The filer accepts the credentials of the next `granted` logins with a
// session, then authenticates logins and refuses them one (connected and
// authenticated, but not logged in).
inline void refuseSessions(const std::string& host, int granted = 0) {
  tkndmp::withFiler(host, [&](Filer& f) { f.sessionsLeft = granted; });
}
inline int loginCount(const std::string& host) {
  const auto f = tkndmp::filer(host);
  return f ? f->loginCount : 0;
}
inline tkjournal::Journal& journal() { return tkndmp::journal(); }
// Forgets filers, calls and failures.
inline void reset() {
  tkndmp::resetFilers();
  tkndmp::journal().reset();
}

}  // namespace testkit::ndmp
