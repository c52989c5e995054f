// The media-management client library's copy-manager access, as the
// replication-policy handlers use it: the controller record of one copy
// manager.
//
//   ZQMMCopyManager copyManagers(1);
//   MMCopyMgrCtrl controller;
//   if (copyManagers.getCopyMgrCtrlInfo(copyManagerId, controller) != 0) ...
//   ... controller.clientId is the client the copy manager runs on ...
//
// The controllers are those the replica database lists (GetCopyMgrs, the
// QRCopyMgrCtrl rows of the central database): a controller's id is the
// copy manager id, its client the copy manager's client, and the record's
// 11702 value the copy manager type (the value a console sends back with a
// policy as 11741). Read at each call on the calling thread's connection
// (in its open transaction when there is one).
//
// 0 on success; kErrorUnknownCopyManager when no controller has the id, the
// database's code when the read failed, or an injected failure's code
// (platform/testkit/copymgr.h). The record is zeroed first and left zeroed
// on failure. Thread-safe.
#pragma once

#include <cstdint>

#include "platform/journal/Journal.h"
#include "platform/ndmp/NasHostTypes.h"

class ZQMMCopyManager {
 public:
  // The argument selects the library's session kind; every caller passes 1.
  explicit ZQMMCopyManager(int mode) : m_mode(mode) {}

  int getCopyMgrCtrlInfo(uint64_t copyManagerId, MMCopyMgrCtrl& controller);

 private:
  [[maybe_unused]] int m_mode;
};

namespace tkcopymgr {

// No controller has the copy manager id.
inline constexpr int kErrorUnknownCopyManager = 0x2B000001;

// Journal of the calls ("getCopyMgrCtrlInfo": copy manager id, result) and
// their failure script.
tkjournal::Journal& journal();

}  // namespace tkcopymgr
