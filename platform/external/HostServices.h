// The host services behind EvExternal: a table of login names by user id,
// the automatic-refresh setting, the media agents of each library for the
// refresh notices, and a journal of the notices sent. The host's demo and the
// tests (platform/testkit/external.h) fill it.
#pragma once

#include <string>
#include <vector>

#include "platform/journal/Journal.h"

namespace tkhostsvc {

void setUserLogin(int userId, const std::string& login);
void clearUserLogins();

void setAutoRefresh(bool on);
void setLibraryMediaAgents(int libraryId, const std::vector<int>& mediaAgentIds);
void clearLibraryMediaAgents();

struct RefreshNotice {
  int libraryId = 0;
  int entityType = 0;
  unsigned int guiId = 0;
  std::vector<int> mediaAgentIds;
};
std::vector<RefreshNotice> refreshNotices();
void clearRefreshNotices();

// Calls by name with their arguments ("getUserLogin": user id;
// "decryptAndPrepForStorage": mode, length, result; "getMAsforLibrary":
// library id; "sendAutoRefreshUpdateGUM": library id, entity type, GUI id,
// media-agent ids joined with ","; "isAutoRefreshSet": result). Failures of
// "getUserLogin", "decryptAndPrepForStorage", "getMAsforLibrary" and
// "sendAutoRefreshUpdateGUM" are scriptable.
tkjournal::Journal& journal();

// Forgets logins, settings, notices, calls and failures.
void reset();

}  // namespace tkhostsvc
