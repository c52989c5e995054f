// The object model's call behind the credential change of a mount path:
// the user name and password staged on the mount path are written through
// to the database (a stored mount path of a database-backed instance), both
// in one change; the password only when one was given. A refused change
// leaves the mount path as the database holds it.
//
// Journal: "UpdateNameAndPassword" (handle, user name, the password's
// length; never the password); a failure injected into it makes the next
// call fail with its code and text as the mount path's last error.
#include <cstring>
#include <string>
#include <vector>

#include "frame/mac/ZQMACObjects.h"
#include "platform/mac/ZQMACGraph.h"
#include "platform/mac/ZQMACPlatform.h"
#include "platform/mac/ZQMACTableErrors.h"
#include "platform/mmdb/MMMediaConfigDB.h"
#include "platform/mmdb/MMMountPathDB.h"
#include "platform/security/StoredPassword.h"

bool ZQMACMountPath::UpdateNameAndPassword() {
  tkmac::journal().record("UpdateNameAndPassword", GetHandle(), m_sUserName, m_sPassword.size());
  ZQMACMediaConfig* owner = GetOwner();
  const bool stored = owner != nullptr && ZQMACGraph::IsDatabaseBacked(*owner) && m_iId > 0;
  // A refusal leaves the session as the database holds the mount path, as
  // a load would show it: its user name, and no password of its own.
  auto refused = [&] {
    if (stored) {
      MMMountPathDB rows;
      MMMountPath_t row;
      if (rows.getInfo(m_iId, row) == 0) m_sUserName.assign(row.UserName, strnlen(row.UserName, sizeof row.UserName));
      std::memset(row.UserPassword, 0, sizeof row.UserPassword);
      tkpassword::wipe(m_sPassword);
      ForgetChanged(&m_sPassword);
    }
    return false;
  };
  if (tkmac::failed(*this, "UpdateNameAndPassword")) return refused();
  if (owner != nullptr && ZQMACGraph::IsDatabaseBacked(*owner)) {
    if (m_iId < 0) {
      SetLastError(tkmac::kErrorNotStored,
                   "The object is not stored in the configuration database; it cannot be changed there.");
      return false;
    }
    // The password only when one was given: a load leaves it out of the
    // session, and a change of the user name alone keeps the stored one.
    std::vector<MMStoredColumn> settings{{"UserName", m_sUserName}};
    if (IsMarkedChanged(&m_sPassword)) settings.push_back({"UserPassword", m_sPassword});
    MMMediaConfigDB access;
    if (access.storeObject(MMStoredKind::MountPath, m_iId, nullptr, MMMediaConfigDB::kKeepConfigured, settings) != 0) {
      SetLastError(tkmac::modelErrorOf(access), access.lastErrorText());
      return refused();
    }
  }
  ForgetChanged(&m_sPassword);
  ClearLastError();
  return true;
}
