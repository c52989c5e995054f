// The operations of the control request (onMsgSetMMControl) that live in
// files of their own: each is a body of the request's operation table,
//
//   {2, true, nullptr, &tkmm::control::removeObject},
//
// called at the end of a record with what the record carries (Record) and
// the operation code. A body answers as the request's own do: it sets the
// client sequence number before its work, resets it on every way out after
// that, and on a failure answers status 0 (or its own status) and ends the
// request.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "frame/AnswerStatus.h"
#include "frame/HandlerSkeleton.h"
#include "frame/ZqEntities.h"
#include "mmconfig/ChangeNotices.h"

class EvExternal;
class ZQMACBase;
class ZQMACInterface;
class ZQMACMediaConfig;
struct MessageInfo;

namespace tkmm::control {

// What one record of the request gives an operation. Element values are
// those in force for the record (they stay from earlier records).
struct Record {
  MessageInfo& request;
  EvExternal& services;
  ZQMACMediaConfig& config;
  ZQMACInterface* object;  // of element 11003; null for none or an unknown handle
  bool hasLibraryId;
  uint32_t libraryId;  // element 4108: audit entity and refresh key (0 when it did not come)
  bool autoRefresh;
  std::vector<int>& mediaAgentIds;  // of the library, for the refresh notice
  bool hasReplacement;
  unsigned long long replacement;  // element 11148
  const std::string& name;         // element 2048 (empty when it did not come)
  const std::string& agentText;    // element 11058 (empty when it did not come)
  bool hasVaultLock;
  uint32_t vaultLock;  // element 8261

  long long sequence() const;
  // Answers the operation with the status and text and resets the client
  // sequence number; the request ends.
  SetOutcome answer(uint32_t operation, AnswerStatus status, const std::string& text) const;
  // Logs the text as an error and answers the failure with it.
  SetOutcome fail(uint32_t operation, const std::string& text) const;
  SetOutcome failWithLastError(uint32_t operation, const ZQMACBase& failing) const;
  // Resets the client sequence number; "Success".
  SetOutcome succeed() const;
  // The refresh notice about the record's library.
  void sendRefreshNotice(ZqEntities::EntityType entity) const;
};

// Status 0 with the text to the requester, the client sequence number
// reset; the request ends. The one failure answer of the whole request.
SetOutcome answerFailure(MessageInfo& request, uint32_t operation, const std::string& text);

using Body = SetOutcome (*)(Record& record, uint32_t operation);

// Audit parameters that name an object: 0x5500018B with its display name
// and text A; 0x550000BE with a drive's device text (empty for another
// object).
AuditParameter objectParameter(ZQMACInterface& object);
AuditParameter driveParameter(ZQMACInterface& object);

// ---- removal and deconfiguration (mmconfig/control/ControlRemoval.cpp) ----
// 2 and 44: the object removed from the session, deconfigured first when
// it is configured (refused while cloud libraries cache data on it).
SetOutcome removeObject(Record& record, uint32_t operation);
// 49 and 126: the object deconfigured; 126 only the parts of a library,
// drive, master drive pool or disk device on media agents shown to the user.
SetOutcome deconfigureObject(Record& record, uint32_t operation);
// 90: the object deconfigured with the force flag, audited before.
SetOutcome deconfigureForced(Record& record, uint32_t operation);

// ---- replacement, host update and vault lock (mmconfig/control/ControlReplacement.cpp) ----
// 39 and 61 (61 keeps the object's settings).
SetOutcome replaceObject(Record& record, uint32_t operation);
// 118: the object moved to the host of element 2048.
SetOutcome updateHost(Record& record, uint32_t operation);
// 109: the vault of the disk device's volume locked for element 8261's days.
SetOutcome lockVault(Record& record, uint32_t operation);

// ---- library controllers (mmconfig/control/ControlControllers.cpp) ----
// 55: an IP library controller for the library on every shown media agent
// that has none, copied from the library's first controller.
SetOutcome addControllersForShownAgents(Record& record, uint32_t operation);

}  // namespace tkmm::control
