// The application-layer adapters behind AdaptersBase, AdaptersInterfaceDB,
// CredentialMgrHelper and XMLHandler, and the debug-socket classes: small
// tables that tests and the demo fill (platform/testkit/adapters.h), and a
// journal of the calls.
#pragma once

#include <string>

#include "platform/journal/Journal.h"

namespace tkadapters {

// The installation directory of a client (kind 2 of getPlatformInfo); a
// client without one set here answers its APP_Client.installDirectory.
void setInstallDirectory(unsigned long clientId, const std::string& directory);
// Credential names by id, and credential associations.
void setCredentialName(int credentialId, const std::string& name);
void setCredentialAssociation(int assocId, int credentialId, int entityType, int entityId);
// The answer of the service behind XMLHandler::handleXMLReq for a request
// class hash: the response text that replaces the request text. A class
// without an answer gets its request text back unchanged.
void setXmlResponse(unsigned long classHash, const std::string& response);

// Calls: "getPlatformInfo" (client id, kind, time), "getCredentialNameForId"
// (id), "getCredentialIdFromAssocIdForEntity" (assoc id), "handleXMLReq"
// (value, class hash, request text, further text, flags),
// "getActiveApplicationInfo" (client id, application name), "EvSocket" (has
// instance). Each of the first five fails on an injected failure, with the
// text as the adapter's error string.
tkjournal::Journal& journal();

void reset();

}  // namespace tkadapters

namespace tktran {
// TranWrapper calls: "TranWrapper" (name, given transaction or not),
// "ensureTran" (name), "commitIfOwnTran" (name); failures of the last two
// are scriptable.
tkjournal::Journal& journal();
}  // namespace tktran
