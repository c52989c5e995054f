// The object model's call behind the credential change of a mount path:
// the user name and password staged on the mount path are written through
// to the database (a stored mount path of a database-backed instance), both
// in one change.
//
// Journal: "UpdateNameAndPassword" (handle, user name, the password's
// length; never the password); a failure injected into it makes the next
// call fail with its code and text as the mount path's last error.
#include <string>

#include "frame/mac/ZQMACObjects.h"
#include "platform/mac/ZQMACGraph.h"
#include "platform/mac/ZQMACPlatform.h"
#include "platform/mac/ZQMACTableErrors.h"
#include "platform/mmdb/MMMediaConfigDB.h"

bool ZQMACMountPath::UpdateNameAndPassword() {
  tkmac::journal().record("UpdateNameAndPassword", GetHandle(), m_sUserName, m_sPassword.size());
  if (tkmac::failed(*this, "UpdateNameAndPassword")) return false;
  ZQMACMediaConfig* owner = GetOwner();
  if (owner != nullptr && ZQMACGraph::IsDatabaseBacked(*owner)) {
    if (m_iId < 0) {
      SetLastError(tkmac::kErrorNotStored,
                   "The object is not stored in the configuration database; it cannot be changed there.");
      return false;
    }
    MMMediaConfigDB access;
    if (access.storeObject(MMStoredKind::MountPath, m_iId, nullptr, MMMediaConfigDB::kKeepConfigured,
                           {{"UserName", m_sUserName}, {"UserPassword", m_sPassword}}) != 0) {
      SetLastError(tkmac::modelErrorOf(access), access.lastErrorText());
      return false;
    }
  }
  ClearLastError();
  return true;
}
