// Test control of the host services behind EvExternal.
//
//   testkit::external::reset();
//   testkit::external::setUserLogin(7, "alice");
//   testkit::external::setAutoRefresh(true);
//   testkit::external::setLibraryMediaAgents(3, {11, 12});
//   ... code under test ...
//   auto notices = testkit::external::refreshNotices();
//
// Journal names are listed in platform/external/HostServices.h.
#pragma once

#include "platform/external/HostServices.h"

namespace testkit::external {

using RefreshNotice = tkhostsvc::RefreshNotice;

inline void setUserLogin(int userId, const std::string& login) { tkhostsvc::setUserLogin(userId, login); }
inline void setAutoRefresh(bool on) { tkhostsvc::setAutoRefresh(on); }
inline void setLibraryMediaAgents(int libraryId, const std::vector<int>& ids) {
  tkhostsvc::setLibraryMediaAgents(libraryId, ids);
}
inline std::vector<RefreshNotice> refreshNotices() { return tkhostsvc::refreshNotices(); }
inline tkjournal::Journal& journal() { return tkhostsvc::journal(); }
inline void reset() { tkhostsvc::reset(); }

}  // namespace testkit::external
