// What a change request leaves behind besides its answer: the audit record
// of the change, and the notice to consoles that refresh automatically.
//
//   tkmm::writeAuditRecord(0x5400002C, library->GetId(),
//                          {{0x5500018B, {library->GetName(), newName}}});
//   tkmm::sendRefreshNotice(library->GetId(), ZqEntities::ENTITY_LIBRARY, msg->autoRefreshGuiId);
//
// The audit record is written outside any transaction of the caller and is
// made by the user who holds the configuration session
// (EvMMConfigMgr::m_ulUserId). The refresh notice goes out only while
// automatic refresh is on, to the consoles of the media agents of the
// library.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "frame/ZqEntities.h"

namespace tkmm {

// One parameter of an audit record: a message id (0x55...) and its texts.
struct AuditParameter {
  int messageId = 0;
  std::vector<std::string> texts;
};

// Writes one record of operation `operationId` (0x54...) about the entity
// (by default a library and its id), with the parameters in order. True
// when the audit trail took it; a failure is logged (the change stands).
bool writeAuditRecord(int operationId, int entityId, const std::vector<AuditParameter>& parameters,
                      ZqEntities::EntityType entityType = ZqEntities::ENTITY_LIBRARY);

// Tells the consoles that refresh automatically that the entity of the
// library changed (entity 9 a library, 52 a mount path); `guiId` is the
// request's automatic-refresh id.
void sendRefreshNotice(int libraryId, ZqEntities::EntityType entityType, uint32_t guiId);

}  // namespace tkmm
