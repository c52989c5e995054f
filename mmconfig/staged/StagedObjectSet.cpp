// The record action of the staging-object Set requests (see
// StagedObjectSet.h).
#include "mmconfig/staged/StagedObjectSet.h"

#include "frame/EvMMConfigMgr.h"
#include "frame/MessageInfo.h"
#include "platform/debuglog/EvDebug.h"

namespace tkmm {

SetOutcome StagedObjectSet::apply(const SetRecord& record) {
  std::string text = "Success";
  bool ok = false;
  const std::string refusal = std::move(m_refusal);
  m_refusal.clear();
  switch (record.operation) {
    case kOpAdd:
    case kOpChange:
      if (!refusal.empty())
        text = refusal;
      else
        ok = record.operation == kOpAdd ? add(record.config, text) : change(record.config, text);
      break;
    case kOpRemove: ok = remove(record.config, text); break;
    default:
      EvDebug::Debug(m_tag, "Received invalid operation type [%lu].", static_cast<unsigned long>(record.operation));
      text = "Received invalid operation type";
      break;
  }
  if (!ok) m_anyFailed = true;
  EvMMConfigMgr::sendOperationResponse(m_request.sequenceNumber, m_request.socket, record.operation, ok ? 1 : 0,
                                       text.c_str(), 0);
  return SetOutcome::answered(true, true);
}

bool runStagedSet(MessageInfo* request, const char* tag, StagedObjectSet& handler) {
  const bool result = runSet(request, tag, handler);
  return result && handler.allSucceeded();
}

}  // namespace tkmm
