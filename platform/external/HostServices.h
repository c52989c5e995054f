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
// "decryptAndPrepForStorage": mode, length, result; "encryptForTransport":
// length; "getMAsforLibrary": library id; "sendAutoRefreshUpdateGUM":
// library id, entity type, GUI id, media-agent ids joined with ",";
// "isAutoRefreshSet": result; "preProcessXMLStringForPassword": length).
// Failures of every one of them are scriptable: "isAutoRefreshSet" then
// answers false, "encryptForTransport" 0, the others their code (or their
// failure result). The refresh notices, like the journal, are kept only
// while a test records.
tkjournal::Journal& journal();

// Forgets logins, settings, notices, calls and failures.
void reset();

}  // namespace tkhostsvc
