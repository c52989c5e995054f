// Test control of the application-layer adapters, the debug-socket classes
// and the transaction wrapper.
//
//   testkit::adapters::reset();
//   testkit::adapters::setInstallDirectory(12, "/opt/tarnkeep");
//   testkit::adapters::journal().injectFailure("getPlatformInfo", -1, "lookup failed");
//   testkit::adapters::tranJournal().calls("ensureTran");
//
// Journal names are listed in platform/adapters/Adapters.h.
#pragma once

#include "platform/adapters/Adapters.h"

namespace testkit::adapters {

inline void setInstallDirectory(unsigned long clientId, const std::string& directory) {
  tkadapters::setInstallDirectory(clientId, directory);
}
inline void setCredentialName(int credentialId, const std::string& name) {
  tkadapters::setCredentialName(credentialId, name);
}
inline void setCredentialAssociation(int assocId, int credentialId, int entityType, int entityId) {
  tkadapters::setCredentialAssociation(assocId, credentialId, entityType, entityId);
}
inline void setXmlResponse(unsigned long classHash, const std::string& response) {
  tkadapters::setXmlResponse(classHash, response);
}
inline tkjournal::Journal& journal() { return tkadapters::journal(); }
inline tkjournal::Journal& tranJournal() { return tktran::journal(); }
// Forgets tables, calls and failures of the adapters and the transaction wrapper.
inline void reset() { tkadapters::reset(); }

}  // namespace testkit::adapters
