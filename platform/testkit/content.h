// Test control of the subclient content stand-ins: subclients with their
// backup set, policy and deleted mark, their volume content, and the names
// of application types, seeded into the test's database. Calls are
// journaled in the client journal (platform/testkit/client.h).
//   testkit::content::addSubclient({31, 7, 84, "sc1", backupSetId, 4});
//   testkit::content::addContent(31, 12, "1001");
//   testkit::content::setAppTypeName(84, "File Replication");
#pragma once

#include "platform/client/ZQClient.h"
#include "platform/content/SubclientContent.h"

namespace testkit::content {

using tkcontent::SubclientSeed;

inline int addSubclient(const SubclientSeed& subclient) { return tkcontent::addSubclient(subclient); }
inline int addContent(int subclientId, int volumeId, const std::string& text) {
  return tkcontent::addContent(subclientId, volumeId, text);
}
inline int setAppTypeName(int appTypeId, const std::string& name) { return tkcontent::setAppTypeName(appTypeId, name); }
// The journal these calls share with the client stand-ins.
inline tkjournal::Journal& journal() { return tkclient::journal(); }

}  // namespace testkit::content
