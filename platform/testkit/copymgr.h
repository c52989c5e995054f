// Test control of the copy-manager access (platform/copymgr/).
//
//   testkit::copymgr::reset();                       // journal on, no failures
//   int32_t id = testkit::copymgr::seedController(clientId, 6, "filer-cm");
//   testkit::copymgr::journal().injectFailure("getCopyMgrCtrlInfo", 5, "down");
//   testkit::copymgr::journal().calls("getCopyMgrCtrlInfo")  // copy manager id, result
//
// Controllers are rows of the replica database's copy-manager controllers,
// so GetCopyMgrs lists what is seeded here.
#pragma once

#include <string>

#include "platform/copymgr/ZQMMCopyManager.h"
#include "platform/testkit/replicadb.h"

namespace testkit::copymgr {

inline tkjournal::Journal& journal() { return tkcopymgr::journal(); }
// Forgets calls and scripted failures and turns the journal on.
inline void reset() { tkcopymgr::journal().reset(); }

// A controller of a copy manager of `type` on a client; its id (the copy
// manager id), or -1 when it could not be stored.
inline int32_t seedController(int32_t clientId, int32_t type, const std::string& name,
                              const std::string& clientName = std::string()) {
  QRCopyMgrCtrlRecord_t record;
  record.controllerName = name;
  record.item11702 = type;
  record.clientId = clientId;
  record.clientName = clientName;
  return testkit::replicadb::seed(record);
}

}  // namespace testkit::copymgr
